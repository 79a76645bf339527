// Plain-socket HTTP for the server tests: requests are written byte for byte
// and answers read as they come, so that a test controls every step of a
// connection (a header line at a time, a body that never ends).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace zephrin::test {

class Socket {
 public:
  // Connects to 127.0.0.1:port; ok() tells whether it did.
  explicit Socket(int port) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~Socket() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool ok() const { return m_fd >= 0; }
  int fd() const { return m_fd; }

  // Writes all of `data`; false when the server has gone.
  bool Send(std::string_view data) {
    while (!data.empty()) {
      const ssize_t n = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // Waits up to `limit` for something to read (or for the end of the
  // connection).
  bool WaitReadable(std::chrono::milliseconds limit) {
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(limit.count())) > 0;
  }

  // Everything the server sends until it ends the connection, reading for
  // `limit` at most; *closed tells whether the server ended it in time.
  std::string ReadUntilClosed(std::chrono::milliseconds limit, bool* closed = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::string out;
    if (closed) *closed = false;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !WaitReadable(left)) return out;
      char buf[8192];
      const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
      if (n <= 0) {
        if (closed) *closed = true;
        return out;
      }
      out.append(buf, static_cast<std::size_t>(n));
    }
  }

 private:
  int m_fd = -1;
};

// The status line of a response ("HTTP/1.1 200 OK"); "" when none came.
inline std::string StatusLine(std::string_view response) {
  const auto end = response.find("\r\n");
  return end == std::string_view::npos ? std::string() : std::string(response.substr(0, end));
}

// The body of a response: what follows the blank line after the headers.
inline std::string Body(std::string_view response) {
  const auto at = response.find("\r\n\r\n");
  return at == std::string_view::npos ? std::string() : std::string(response.substr(at + 4));
}

// The value of a response header, "" when absent (names compared exactly).
// A header sent more than once gives its values joined by ", ", as HTTP reads
// repeated headers, so that a doubled header shows.
inline std::string HeaderValue(std::string_view response, std::string_view name) {
  const std::string key = "\r\n" + std::string(name) + ": ";
  const auto head = response.substr(0, response.find("\r\n\r\n"));
  std::string value;
  for (auto at = head.find(key); at != std::string_view::npos; at = head.find(key, at + key.size())) {
    const auto from = at + key.size();
    if (!value.empty()) value += ", ";
    value += head.substr(from, head.find("\r\n", from) - from);
  }
  return value;
}

// One whole request on a fresh connection; the complete response, or what
// came of it within `limit`.
inline std::string Exchange(int port, std::string_view request,
                            std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  Socket s(port);
  if (!s.ok() || !s.Send(request)) return {};
  return s.ReadUntilClosed(limit);
}

}  // namespace zephrin::test
