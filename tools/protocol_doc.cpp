// Writes the host protocol's document (docs/protocol.md) from the method
// table: `cmake --build build --target protocol-doc`.
#include <cstdio>
#include <string>

#include "platform/atomic_file.h"
#include "service/protocol_description.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s docs/protocol.md\n", argv[0]);
    return 2;
  }
  const std::string text = zephrin::DescribeHostProtocolMarkdown();
  if (!zephrin::WriteFileAtomically(argv[1], text)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
