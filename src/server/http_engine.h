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

#include "server/web_server_options.h"

namespace zephrin::server {

// Everything the HTTP side knows of its server.
struct HttpSetup {
  WebServerOptions options;
  std::string token;  // every request must carry it
  // Answers POST /editor: the editor's request body, the response body.
  std::function<std::string(std::string_view body)> editor;
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
