// The local web server of `zephrinimport serve`, and the editor-only server
// that `call` and `edit` start when EditLayout needs a window.
//
// It listens on 127.0.0.1 only. Every request must carry the server's random
// token (query parameter "token" or header "X-Zephrin-Token") and a Host
// header naming 127.0.0.1 or localhost with the server's port; a request
// from another origin is refused; these checks run before any routing.
// POST bodies must be application/json and are bounded, whether they come
// with a length or in chunks. The one exception is POST /upload?name=NAME
// (&replace=1 to replace an upload of that name): a file's bytes as
// application/octet-stream, within the same limit, streamed into the
// uploads folder (files/upload_folder.h); it answers
// {"name":NAME,"path":PATH,"size":N} or a refusal in words.
//
// A request must complete its header section, request line included, within
// kHeaderDeadline of the server taking up its connection, or the connection is
// ended; only a bounded number of connections may be in their header section
// at once, and the server has more workers than that, so that clients that
// are slow to send their headers never hold up the others.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/editor_hub.h"
#include "server/web_server_options.h"

namespace zephrin::server {

class HttpEngine;

class WebServer {
 public:
  WebServer(WebServerOptions options, EditorHub& hub);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds and starts serving on a thread of its own; false with a reason.
  bool Start(std::string* error);
  void Stop();
  int port() const { return m_port; }
  const std::string& token() const { return m_token; }
  // The address of a page, token included.
  std::string Url(std::string_view page = "") const;

 private:
  std::unique_ptr<HttpEngine> m_engine;
  WebServerOptions m_options;
  EditorHub& m_hub;
  std::string m_token;
  int m_port = 0;
  std::thread m_thread;
};

// Inside a request handler: whether the client of the request this thread
// answers has closed its connection (a page that was closed or reloaded
// while its call waits). False outside a handler.
bool RequestCallerGone();

// The folder of the pages: $ZEPHRINIMPORT_WEB when set, else the installed
// one beside the running program (<exe dir>/../share/zephrinimport/web),
// else the source tree's, built in.
std::string DefaultWebDir();
// The installed pages' folder for a program at `executable`; empty when
// there is none (no index.html).
std::string InstalledWebDir(const std::string& executable);

// An EditorHost for front ends without a server of their own: on the first
// EditLayout it starts a server for the editor alone, and each time an editor
// opens it prints the editor's address on standard error.
class WebEditorLauncher : public EditorHost {
 public:
  WebEditorLauncher();
  ~WebEditorLauncher() override;
  std::string RunEditor(const LayoutEditorInputs& inputs,
                        const std::function<void(std::string_view)>& trace) override;
  // The live preview's reads, through the service object that owns the editor.
  void SetPreviewReader(EditorHub::PreviewReader reader);

 private:
  EditorHub m_hub;
  std::unique_ptr<WebServer> m_server;
  bool m_failed = false;
};

}  // namespace zephrin::server
