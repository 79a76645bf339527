// A C++ host of the installed wrapper (zephrinimport.hpp): it reads one file
// whole and streamed, answers a file dialog and shows message boxes itself,
// and meets an error both as a result and as an exception.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <zephrinimport.hpp>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  zephrinimport::Service service;
  service.OnMessage([](const zephrinimport::Message& m) {
    std::printf("message box: %s: %s\n", m.caption.c_str(), m.text.c_str());
  });
  service.OnChooseFile([&](const zephrinimport::FileDialog& d) -> std::optional<zephrinimport::FileChoice> {
    std::printf("dialog: %s\n", d.title.c_str());
    return zephrinimport::FileChoice{argv[1]};
  });
  std::printf("chosen: %s\n", service.BrowseForImport("FCOA").value().c_str());
  // An empty list of answers answers the dialog with Cancel: no dialog shows.
  const std::vector<std::optional<std::string>> none;
  const auto cancelled = service.Invoke("BrowseForImport", {zephrinimport::Arg::String("FCOA")}, &none);
  std::printf("no answers: \"%s\"\n", cancelled.value().text.c_str());

  const zephrinimport::Read read = service.ReadImportFile(argv[1], "CHART", "FCOA", "100").value();
  std::printf("outcome %d\n%s\n", read.outcome, read.text.c_str());
  zephrinimport::StringSink sink;
  int reports = 0;
  const auto streamed = service.StreamImportFile(sink, argv[1], "CHART", "FCOA", "100", "",
                                                 [&](std::uint64_t, std::uint64_t) { return ++reports, true; });
  std::printf("streamed: outcome %d, %s, %s\n", *streamed, sink.text == read.text ? "same text" : "OTHER TEXT",
              reports > 0 ? "progress reported" : "NO PROGRESS");

  const auto bytes = service.ConvertFileToByteArray("none.bin");
  std::printf("bytes: %s, status %d, %zu message(s)\n", bytes.value() ? "some" : "none", service.status(),
              service.messages().size());
  const auto refused = service.Invoke("SetCurrentYear", {zephrinimport::Arg::String("2025")});
  std::printf("refused: %d %s\n", refused.error(), refused.message().c_str());
  try {
    service.Invoke("NoSuchMethod").value();
  } catch (const zephrinimport::Error& e) {
    std::printf("thrown: %d %s\n", e.code(), e.what());
  }
  std::printf("library %s\n", zephrinimport::VersionNumber() >= ZEPHRINIMPORT_VERSION_NUMBER &&
                                       zephrinimport::Version() == ZEPHRINIMPORT_VERSION_STRING
                                   ? "as new as the header"
                                   : "OLDER THAN THE HEADER");
  return 0;
}
