// How a web server is set up: its port, its pages, its limits, and what it
// answers besides the pages.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zephrin::server {

// The longest a client may take over the header section of a request.
inline constexpr std::chrono::seconds kHeaderDeadline{5};

struct WebServerOptions {
  int port = 0;                     // 0: any free port
  std::string webDir;               // where the pages are
  std::size_t maxBodyBytes = 64u << 20;
  // Answers one host-protocol request (the body of POST /rpc); empty: no /rpc.
  // Returns the response line, or "" for a notification.
  std::function<std::string(std::string_view body)> rpc;
  // The writable folder whose "uploads" folder takes POST /upload; empty:
  // no uploads.
  std::string uploadsFolder;
  // Called, on one of the server's threads, for every request that carries
  // the token; empty: nothing.
  std::function<void()> onTokenAccepted;
};

}  // namespace zephrin::server
