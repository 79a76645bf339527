// zephrinimport call: the host protocol on standard input and output.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/standard_output.h"
#include "server/web_server.h"
#include "service/host_protocol.h"
#include "service/protocol_description.h"

namespace zephrin::cli {

namespace {
class StdoutSink : public OutputSink {
 public:
  bool Write(std::string_view piece) override { return WriteOut(piece); }
};
}  // namespace

void RegisterCallCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "call",
      "Reads JSON-RPC 2.0 requests from standard input, one per line, runs them in order on one service object and "
      "writes one response line each.");
  auto describe = std::make_shared<bool>(false);
  cmd->add_flag("--describe", *describe,
                "Print the protocol itself instead: an OpenRPC document (JSON) of every method, its parameters and "
                "result, the dialog answers and the error codes.");
  cmd->callback([&exitCode, describe]() {
    if (*describe) {
      WriteOut(DescribeHostProtocol());
      exitCode = 0;
      return;
    }
    RecordingUserInterface ui;
    CxmlWrapper service(&ui);
    server::WebEditorLauncher editor;
    ShowEditorInBrowser(service, editor);
    HostProtocol protocol(service, ui);
    // Responses go to standard output in pieces, a large text straight from
    // the read's buffer.
    StdoutSink out;
    // A host that cannot be answered gets no further calls run.
    std::string line;
    while (!OutFailed() && std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      if (protocol.HandleLine(line, out)) {
        out.Write("\n");
        FlushOut();
      }
    }
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
