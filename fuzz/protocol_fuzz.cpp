// libFuzzer target: the host protocol on any request line, and reads through
// it. An input that starts with byte 0x01 is a data file read by
// `ReadImportFile` as a host asks for it (the next byte picks the format and
// the layout); any other input is a request line as it stands.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_reader.h"
#include "service/host_protocol.h"

namespace {

// Every response is one line of valid JSON; returns it parsed.
nlohmann::json CheckedResponse(const std::string& response) {
  if (response.find('\n') != std::string::npos) std::abort();
  nlohmann::json parsed = nlohmann::json::parse(response, nullptr, false);
  if (parsed.is_discarded()) std::abort();
  return parsed;
}

void ReadThroughProtocol(zephrin::HostProtocol& protocol, const uint8_t* data, size_t size) {
  const uint8_t choice = size > 1 ? data[1] : 0;
  static const char* const kExtensions[] = {".csv", ".dif", ".txt"};
  static const char* const kLayouts[][2] = {{"COA", "FCOA"}, {"JE", "FBJ"}, {"PAY", "TAXPAY"}, {"CATEGORY", "CAT"}};
  const std::string path = zephrin::fuzz::Home() + "/protocol" + kExtensions[choice % 3];
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size > 2) std::fwrite(data + 2, 1, size - 2, f);
    std::fclose(f);
  }
  const auto& layout = kLayouts[(choice >> 2) % 4];
  const std::string request = nlohmann::json{{"jsonrpc", "2.0"}, {"id", 7}, {"method", "ReadImportFile"},
                                             {"params", {path, layout[0], layout[1], "1", ""}}}
                                  .dump();
  const auto response = protocol.HandleLine(request);
  if (!response) std::abort();
  const nlohmann::json parsed = CheckedResponse(*response);
  // The text inside the answer is one a host's loader takes.
  const auto& value = parsed["result"]["value"];
  if (!value.is_string()) std::abort();
  if (const std::string problem = zephrin::fuzz::ReadOutcomeProblem(value.get<std::string>()); !problem.empty()) {
    std::fprintf(stderr, "not well-formed (%s): %s\n", problem.c_str(), response->c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zephrin::RecordingUserInterface ui;
  static zephrin::CxmlWrapper service(&ui);
  static zephrin::HostProtocol protocol(service, ui);
  if (size > 0 && data[0] == 0x01) {
    setenv("ZEPHRINIMPORT_HOME", zephrin::fuzz::Home().c_str(), 1);
    static const bool established = service.EstablishTemplateStore().ok();
    (void)established;
    ReadThroughProtocol(protocol, data, size);
    return 0;
  }
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  // Other methods that touch files are left out: the fuzzer must not write around.
  if (line.find("File") != std::string_view::npos || line.find("Folder") != std::string_view::npos ||
      line.find("Export") != std::string_view::npos || line.find("Output") != std::string_view::npos ||
      line.find("Delete") != std::string_view::npos || line.find("Edit") != std::string_view::npos ||
      line.find("Browse") != std::string_view::npos)
    return 0;
  if (auto response = protocol.HandleLine(line)) CheckedResponse(*response);
  return 0;
}
