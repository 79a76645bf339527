// libFuzzer target: the template store's INI parser and writer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  zephrin::ProfileDocument doc = zephrin::ProfileDocument::Parse(text);
  (void)doc.Get("Import:Layout", "1");
  doc.Write("Import:Layout", "1", "A NAME", true);
  doc.Write("Import:X", std::nullopt, std::nullopt, false);
  // Writing a document back and parsing it again keeps what was written.
  const std::string once = doc.Serialise();
  const zephrin::ProfileDocument again = zephrin::ProfileDocument::Parse(once);
  if (again.Get("Import:Layout", "1") != "A NAME") std::abort();
  return 0;
}
