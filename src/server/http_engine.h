// The HTTP side of the web server, apart from the rest of the program.
//
// The HTTP library brings a TLS library with it, whose set-up costs every
// process that loads it about 10 ms, whether or not it serves anything. So
// the program keeps the HTTP side in a module of its own
// (zephrinimport-web.so), loaded only when a server starts: a `read` never
// pays for it. The tests link the same code into their binary, and the
// program then finds it there without loading anything.
//
// The module and the program are built together; the module answers with
// kHttpModuleAbi, and a module of another build is refused.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/expected.h"
#include "server/web_server_options.h"

namespace zephrin::server {

// An upload under way: its bytes go into a temporary file of the uploads
// folder, which gets the upload's name once it is whole. Dropped before
// Commit, nothing of it stays.
class UploadSink {
 public:
  virtual ~UploadSink() = default;
  [[nodiscard]] virtual Done Write(std::string_view piece) = 0;
  // The path of the upload, once named.
  [[nodiscard]] virtual Expected<std::string> Commit() = 0;
};

// Everything the HTTP side knows of its server.
struct HttpSetup {
  WebServerOptions options;
  std::string token;  // every request must carry it
  // Answers POST /editor: the editor's request body, the response body.
  std::function<std::string(std::string_view body)> editor;
  // Starts the upload `name` (kExists when there is one and `replace` is not
  // set). The program makes it, not the module: the temporary file is then
  // in the program's list of files a signal removes, where a signal that
  // ends the server finds it.
  std::function<Expected<std::unique_ptr<UploadSink>>(std::string_view name, bool replace)> upload;
};

class HttpEngine {
 public:
  virtual ~HttpEngine() = default;
  // Binds 127.0.0.1 at the options' port (0: any free port). The port, or
  // 0 with the reason in `error`.
  virtual int Bind(std::string* error) = 0;
  // Serves on the calling thread until Stop.
  virtual void Listen() = 0;
  // Ends Listen, from another thread; also a Listen that the other thread
  // has not begun yet.
  virtual void Stop() = 0;
};

inline constexpr unsigned kHttpModuleAbi = 1;

struct HttpModule {
  unsigned abi;
  std::unique_ptr<HttpEngine> (*make)(HttpSetup setup);
  // Inside a request handler: whether the client of the request this thread
  // answers has closed its connection.
  bool (*callerGone)();
};

}  // namespace zephrin::server

// The module's one entry point.
extern "C" const zephrin::server::HttpModule* zephrin_http_module();
