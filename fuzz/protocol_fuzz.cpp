// libFuzzer target: the host protocol on any request line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "service/host_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zephrin::RecordingUserInterface ui;
  static zephrin::CxmlWrapper service(&ui);
  static zephrin::HostProtocol protocol(service, ui);
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  // Methods that touch files are left out: the fuzzer must not write around.
  if (line.find("File") != std::string_view::npos || line.find("Folder") != std::string_view::npos ||
      line.find("Export") != std::string_view::npos || line.find("Output") != std::string_view::npos ||
      line.find("Delete") != std::string_view::npos || line.find("Edit") != std::string_view::npos ||
      line.find("Browse") != std::string_view::npos)
    return 0;
  if (auto response = protocol.HandleLine(line)) {
    // Every response is one line of valid JSON.
    if (response->find('\n') != std::string::npos) std::abort();
    if (nlohmann::json::parse(*response, nullptr, false).is_discarded()) std::abort();
  }
  return 0;
}
