// zephrinimport call: the host protocol on standard input and output.
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "server/web_server.h"
#include "service/host_protocol.h"

namespace zephrin::cli {

void RegisterCallCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "call",
      "Reads JSON-RPC 2.0 requests from standard input, one per line, runs them in order on one service object and "
      "writes one response line each.");
  cmd->callback([&exitCode]() {
    RecordingUserInterface ui;
    CxmlWrapper service(&ui);
    // EditLayout shows the editor in a browser, on a server started for it.
    server::WebEditorLauncher editor;
    service.m_editorHost = &editor;
    // The editor's live preview reads through this service object.
    editor.SetPreviewReader([&service](const ReadRequest& request) {
      ReadHooks hooks;
      hooks.message = [](std::string_view, std::string_view) {};
      return service.Read(request, hooks);
    });
    HostProtocol protocol(service, ui);
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      if (auto response = protocol.HandleLine(line)) {
        std::cout << *response << '\n';
        std::cout.flush();
      }
    }
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
