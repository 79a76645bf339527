// zephrinimport serve: the import page, the layout editor and the host
// protocol (POST /rpc) on a local web server, around one service object.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "platform/home_folder.h"
#include "platform/text.h"
#include "server/browser_opener.h"
#include "server/web_server.h"
#include "service/host_protocol.h"

namespace zephrin::cli {

namespace {

struct ServeOptions {
  int port = 0;
  bool open = false;
};

// The host protocol as POST /rpc. One call at a time; a call that waits for
// the user (the editor, a file dialog) keeps the others out, who are told
// after 5 s that the service is busy. A request without its own dialog
// answers has the page answer them.
std::function<std::string(std::string_view)> RpcHandler(HostProtocol& protocol, HubUserInterface& ui,
                                                         CxmlWrapper& service) {
  // The store is found again by each call that establishes it: when its
  // folder cannot be written any more (or can again), the templates move,
  // and the server says so rather than serve another store without a word.
  auto storePath = std::make_shared<std::string>(service.store().path());
  return [&protocol, &ui, &service, storePath](std::string_view body) -> std::string {
    StringSink response;
    HostProtocol::CallOptions call;
    call.wait = std::chrono::seconds(5);
    call.beforeCall = [&](bool carriesAnswers) { ui.SetInteractive(!carriesAnswers); };
    call.afterCall = [&] {
      if (!service.store().located() || service.store().path() == *storePath) return;
      *storePath = service.store().path();
      WarnOfPassedOverFolder(service.store());
      if (service.store().passedOver().empty())
        std::fprintf(stderr, "zephrinimport serve: the template store is %s again\n", ShownOnTerminal(*storePath).c_str());
    };
    protocol.HandleLine(body, response, call);
    ui.SetInteractive(false);
    return response.TakeText();
  };
}

// Serves until SIGINT or SIGTERM; the exit status.
int Serve(const ServeOptions& o) {
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
  service.SetEditorHost(&hub);
  HostProtocol protocol(service, ui);

  std::string info;
  service.GetTemplateInfo(info);  // establishes the template store, as a host does first
  WarnOfPassedOverFolder(service.store());
  std::error_code ec;
  hub.SetRoots({std::filesystem::current_path(ec).string(), HomeFolder(), service.store().folder()});
  // The pages keep their settings in the writable folder, beside the store.
  hub.SetSettingsFolder(service.store().folder());
  // The editor's live preview reads through the service object (its thread
  // waits in EditLayout meanwhile); an EditLayout whose page went away
  // before the editor was shown ends as Cancel.
  hub.SetPreviewReader(PreviewReaderFor(service));
  hub.SetCallerGone(&server::RequestCallerGone);

  // Declared before the server, which tells it when the browser came.
  server::BrowserOpener opener;
  server::WebServerOptions options;
  options.port = o.port;
  options.onTokenAccepted = [&opener] { opener.Reached(); };
  options.webDir = server::DefaultWebDir();
  // Files dropped on the import page go to "uploads" in the writable folder.
  options.uploadsFolder = service.store().folder();
  options.rpc = RpcHandler(protocol, ui, service);
  server::WebServer web(options, hub);
  std::string error;
  if (!web.Start(&error)) {
    Refuse("the server cannot start: " + error);
    return 1;
  }
  // A server whose address cannot be shown can be reached by no one.
  if (!PrintOut("zephrinimport serve: open %s\n", web.Url().c_str()) || !FlushOut()) return 1;
  if (o.open) {
    opener.Open(web.Url(), [] {
      Refuse("no browser could be opened; open the address above by hand.");
      std::fflush(stderr);
    });
  }

  int sig = 0;
  sigwait(&signals, &sig);
  std::fprintf(stderr, "zephrinimport serve: stopping\n");
  hub.Stop();  // an open editor or dialog is cancelled
  web.Stop();
  return 0;
}

}  // namespace

void RegisterServeCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<ServeOptions>();
  auto* cmd = app.add_subcommand(
      "serve",
      "Serves the import page and the layout editor on 127.0.0.1, with the host protocol as POST /rpc, until "
      "interrupted. Prints the address to open; every request needs its token.");
  cmd->add_option("--port", opts->port, "The port to listen on (default: any free port).")
      ->check(WholeNumber(0, 65535, "port"));
  cmd->add_flag("--open", opts->open,
                "Open the address in the desktop's browser, through a private page that forwards to it, so that "
                "the token is on no command line.");
  cmd->callback([opts, &exitCode]() { exitCode = Serve(*opts); });
}

}  // namespace zephrin::cli
