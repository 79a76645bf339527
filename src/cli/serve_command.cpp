// zephrinimport serve: the import page, the layout editor and the host
// protocol (POST /rpc) on a local web server, around one service object.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "platform/home_folder.h"
#include "server/browser_opener.h"
#include "server/web_server.h"
#include "service/host_protocol.h"

namespace zephrin::cli {

namespace {

struct ServeOptions {
  int port = 0;
  bool open = false;
};

// Whether a request names its dialog answers itself (as `call` requests
// do); otherwise the page answers the file dialogs it opens.
bool CarriesAnswers(std::string_view body) {
  const auto j = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
  return j.is_object() && j.contains("params") && j["params"].is_object() && j["params"].contains("answers");
}

std::string BusyResponse(std::string_view body) {
  const auto j = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
  nlohmann::json id = j.is_object() && j.contains("id") ? j["id"] : nlohmann::json(nullptr);
  nlohmann::json r = {{"jsonrpc", "2.0"},
                      {"id", id},
                      {"error", {{"code", -32001}, {"message", "The service is busy: the layout editor or a file "
                                                               "dialog is open."}}}};
  return r.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void RegisterServeCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<ServeOptions>();
  auto* cmd = app.add_subcommand(
      "serve",
      "Serves the import page and the layout editor on 127.0.0.1, with the host protocol as POST /rpc, until "
      "interrupted. Prints the address to open; every request needs its token.");
  cmd->add_option("--port", opts->port, "The port to listen on (default: any free port).")->check(CLI::Range(0, 65535));
  cmd->add_flag("--open", opts->open,
                "Open the address in the desktop's browser, through a private page that forwards to it, so that "
                "the token is on no command line.");
  cmd->callback([opts, &exitCode]() {
    // Signals are taken by this thread alone, so that the server's threads
    // never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    EditorHub hub;
    HubUserInterface ui(hub);
    CxmlWrapper service(&ui);
    service.m_editorHost = &hub;
    HostProtocol protocol(service, ui);
    std::timed_mutex serviceMutex;

    std::string info;
    service.GetTemplateInfo(info);  // establishes the template store, as a host does first
    std::error_code ec;
    hub.SetRoots({std::filesystem::current_path(ec).string(), HomeFolder(), service.m_szWriteableFolder});
    // The editor's live preview reads through the service object (its thread
    // waits in EditLayout meanwhile); an EditLayout whose page went away
    // before the editor was shown ends as Cancel.
    hub.SetPreviewReader([&service](const ReadRequest& request) {
      ReadHooks hooks;
      hooks.message = [](std::string_view, std::string_view) {};
      return service.Read(request, hooks);
    });
    hub.SetCallerGone(&server::RequestCallerGone);

    // Declared before the server, which tells it when the browser came.
    server::BrowserOpener opener;
    server::WebServerOptions options;
    options.port = opts->port;
    options.onTokenAccepted = [&opener] { opener.Reached(); };
    options.webDir = server::DefaultWebDir();
    options.rpc = [&](std::string_view body) -> std::string {
      // One call at a time; a call that waits for the user (the editor, a
      // file dialog) keeps the others out.
      std::unique_lock lock(serviceMutex, std::defer_lock);
      if (!lock.try_lock_for(std::chrono::seconds(5))) return BusyResponse(body);
      ui.SetInteractive(!CarriesAnswers(body));
      auto response = protocol.HandleLine(body);
      ui.SetInteractive(false);
      return response ? *response : std::string();
    };
    server::WebServer web(options, hub);
    std::string error;
    if (!web.Start(&error)) {
      std::fprintf(stderr, "zephrinimport serve: %s\n", error.c_str());
      exitCode = 1;
      return;
    }
    std::printf("zephrinimport serve: open %s\n", web.Url().c_str());
    std::fflush(stdout);
    if (opts->open) {
      opener.Open(web.Url(), [] {
        std::fprintf(stderr, "zephrinimport serve: no browser could be opened; open the address above by hand.\n");
        std::fflush(stderr);
      });
    }

    int sig = 0;
    sigwait(&signals, &sig);
    std::fprintf(stderr, "zephrinimport serve: stopping\n");
    hub.Stop();  // an open editor or dialog is cancelled
    web.Stop();
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
