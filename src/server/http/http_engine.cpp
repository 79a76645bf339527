// The HTTP side of the web server: admission, routes, uploads, the pages,
// over connections read with a deadline for their headers.
#include "server/http_engine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <regex>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "platform/file_read.h"
#include "server/web_access.h"

namespace zephrin::server {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kTokenHeader = "X-Zephrin-Token";

// Once the headers are in, each read and each write may wait this long.
constexpr auto kReadTimeout = 10s;
constexpr auto kWriteTimeout = 10s;
// How many connections may be in their header section at once, and how many
// workers the server has: the difference stays free for requests whose
// headers are complete (the editor's requests while a call waits for it).
constexpr std::size_t kHeaderSlots = 16;
constexpr std::size_t kWorkers = kHeaderSlots + 8;
// How often a connection in its header section looks whether the server stops.
constexpr auto kStopCheck = 200ms;
// How long the rest of a refused request is read and dropped before closing.
constexpr auto kLinger = 1s;

// Milliseconds from now until `until` for poll(), rounded up, at least 0.
int MillisUntil(Clock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

// The slots for connections in their header section. A worker waits for a
// slot before it reads anything of a connection.
class HeaderSlots {
 public:
  // False when the server stops before a slot is free.
  bool Acquire() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_stopping || m_used < kHeaderSlots; });
    if (m_stopping) return false;
    ++m_used;
    return true;
  }
  void Release() {
    {
      std::lock_guard lock(m_mutex);
      --m_used;
    }
    m_cv.notify_one();
  }
  void Stop() {
    {
      std::lock_guard lock(m_mutex);
      m_stopping = true;
      m_stoppingFlag = true;
    }
    m_cv.notify_all();
  }
  bool stopping() const { return m_stoppingFlag; }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::size_t m_used = 0;
  bool m_stopping = false;
  std::atomic<bool> m_stoppingFlag{false};
};

// One connection, read with a deadline for the whole header section (the
// request line included) and with the usual timeout for each read after it.
// The header section ends when the server has parsed the headers; the slot
// it held is then free for another connection.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int sock, HeaderSlots& slots)
      : m_sock(sock), m_slots(slots), m_headerDeadline(Clock::now() + kHeaderDeadline) {}
  ~ConnectionStream() override { HeadersComplete(); }
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  void HeadersComplete() {
    if (!m_inHeaders) return;
    m_inHeaders = false;
    m_slots.Release();
  }

  bool is_readable() const override { return m_off < m_len || WaitReadable(); }
  bool is_writable() const override { return !m_silenced && WaitWritable(); }

  ssize_t read(char* ptr, size_t size) override {
    if (m_off < m_len) return TakeBuffered(ptr, size);
    if (!WaitReadable()) return -1;
    // Small reads (the header lines are read a byte at a time) go through
    // the buffer.
    const bool buffered = size < sizeof m_buf;
    ssize_t n = 0;
    do {
      n = ::recv(m_sock, buffered ? m_buf : ptr, buffered ? sizeof m_buf : size, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0 && m_inHeaders) m_gotBytes = true;
    if (n <= 0 || !buffered) return n;
    m_off = 0;
    m_len = static_cast<std::size_t>(n);
    return TakeBuffered(ptr, size);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (m_silenced || !WaitWritable()) return -1;
    ssize_t n = 0;
    do {
      n = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) Describe(addr, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) Describe(addr, ip, port);
  }
  socket_t socket() const override { return m_sock; }

 private:
  ssize_t TakeBuffered(char* ptr, std::size_t size) {
    const std::size_t n = std::min(size, m_len - m_off);
    std::memcpy(ptr, m_buf + m_off, n);
    m_off += n;
    return static_cast<ssize_t>(n);
  }

  // Waits until there is something to read; false on a timeout, when the
  // header deadline passes, or when the server stops: a request still
  // arriving then (an upload a client sends slowly) is broken off, so that
  // no client keeps a stopped server running.
  bool WaitReadable() const {
    if (m_readFailed) return false;
    const auto readLimit = Clock::now() + kReadTimeout;
    for (;;) {
      const auto now = Clock::now();
      if (now >= readLimit || m_slots.stopping()) return Fail();
      auto until = std::min(readLimit, now + kStopCheck);
      if (m_inHeaders) {
        if (now >= m_headerDeadline) {
          AnswerHeaderTimeout();
          return Fail();
        }
        until = std::min(until, m_headerDeadline);
      }
      pollfd p{m_sock, POLLIN, 0};
      const int r = ::poll(&p, 1, MillisUntil(until));
      if (r > 0) return true;
      if (r < 0 && errno != EINTR) return Fail();
    }
  }

  bool WaitWritable() const {
    const auto limit = Clock::now() + kWriteTimeout;
    for (;;) {
      pollfd p{m_sock, POLLOUT, 0};
      const int r = ::poll(&p, 1, MillisUntil(limit));
      if (r > 0) return true;
      if (r == 0 || errno != EINTR) return false;
    }
  }

  bool Fail() const {
    m_readFailed = true;
    return false;
  }

  // A client that began a request and did not finish its headers in time is
  // told so; one that never sent a byte (a browser's spare connection) is
  // just closed. Nothing else is written on the connection afterwards.
  void AnswerHeaderTimeout() const {
    m_silenced = true;
    if (!m_gotBytes) return;
    static constexpr std::string_view kBody = "Request timeout: the request's headers took too long.\n";
    const std::string answer = "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\n"
                               "Content-Type: text/plain; charset=utf-8\r\nX-Content-Type-Options: nosniff\r\n"
                               "Cache-Control: no-store\r\nContent-Length: " +
                               std::to_string(kBody.size()) + "\r\n\r\n" + std::string(kBody);
    (void)::send(m_sock, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  }

  static void Describe(const sockaddr_storage& addr, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
      const auto& a = reinterpret_cast<const sockaddr_in&>(addr);
      ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
      port = ntohs(a.sin_port);
    } else if (addr.ss_family == AF_INET6) {
      const auto& a = reinterpret_cast<const sockaddr_in6&>(addr);
      ::inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
      port = ntohs(a.sin6_port);
    }
    ip = text;
  }

  int m_sock;
  HeaderSlots& m_slots;
  const Clock::time_point m_headerDeadline;
  bool m_inHeaders = true;
  bool m_gotBytes = false;
  mutable bool m_readFailed = false;
  mutable bool m_silenced = false;
  char m_buf[4096];
  std::size_t m_off = 0;
  std::size_t m_len = 0;
};

// Ends a connection so that the client gets the whole answer: the server's
// side is shut first, and what the client still sends (the rest of a refused
// body) is read and dropped for a moment, since closing on unread data would
// reset the connection and could destroy the answer on its way.
void CloseGently(int sock, std::chrono::milliseconds linger) {
  ::shutdown(sock, SHUT_WR);
  const auto until = Clock::now() + linger;
  char buf[16384];
  while (Clock::now() < until) {
    pollfd p{sock, POLLIN, 0};
    const int r = ::poll(&p, 1, MillisUntil(until));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    const ssize_t n = ::recv(sock, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
  }
  ::close(sock);
}

// The connection of the request this thread is answering (-1: none).
thread_local int t_requestSocket = -1;

// The server runs each connection itself, over a ConnectionStream, with one
// request per connection: an idle kept-alive connection would hold a worker.
class GuardedServer final : public httplib::Server {
 public:
  GuardedServer() {
    // The library owns the queue it is handed.
    new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  }
  // Connections still in their header section are ended, waiting ones closed.
  void BeginStop() { m_slots.Stop(); }
  // Room for more connections waiting to be accepted than the library's
  // default of five: a page asks for its files all at once.
  void WidenBacklog() {
    if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
  }

 private:
  bool process_and_close_socket(socket_t sock) override {
    bool ok = false;
    if (m_slots.Acquire()) {
      try {
        ConnectionStream stream(sock, m_slots);
        bool connectionClosed = false;
        t_requestSocket = sock;
        // No answer is compressed: over the loopback it saves nothing, and
        // the library's brotli takes minutes over a large import's text.
        ok = process_request(stream, /*close_connection=*/true, connectionClosed, [&stream](httplib::Request& req) {
          stream.HeadersComplete();
          req.headers.erase("Accept-Encoding");
        });
        t_requestSocket = -1;
      } catch (...) {
        t_requestSocket = -1;
        ok = false;
      }
    }
    CloseGently(sock, m_slots.stopping() ? 0ms : std::chrono::milliseconds(kLinger));
    return ok;
  }

  HeaderSlots m_slots;
};

const char* MimeType(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  if (name.ends_with(".svg")) return "image/svg+xml";
  if (name.ends_with(".png")) return "image/png";
  if (name.ends_with(".ico")) return "image/x-icon";
  return "application/octet-stream";
}

// Every answer closes its connection (one request per connection), and the
// library says so in its "Connection" header: a refusal adds none of its own.
void Refuse(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_content(reason + "\n", "text/plain; charset=utf-8");
}

// A Content-Length: its value, or nullopt when it is not a plain decimal
// number (a value too large for 64 bits counts as the largest).
std::optional<std::uint64_t> ParseLength(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || end != text.data() + text.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) return UINT64_MAX;
  if (ec != std::errc()) return std::nullopt;
  return value;
}

std::string LimitText(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

enum class BodyRead { Whole, TooLarge, Broken };

// Reads a request body as it arrives, with a length or in chunks, and stops
// as soon as it passes `limit`.
BodyRead ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, std::size_t limit,
                  std::string& body) {
  if (const auto length = ParseLength(req.get_header_value("Content-Length")); length && *length <= limit)
    body.reserve(static_cast<std::size_t>(*length));
  bool tooLarge = false;
  const bool read = reader([&](const char* data, std::size_t n) {
    if (n > limit - body.size()) {
      tooLarge = true;
      return false;
    }
    body.append(data, n);
    return true;
  });
  if (tooLarge) return BodyRead::TooLarge;
  return read ? BodyRead::Whole : BodyRead::Broken;
}

bool CallerGone() {
  const int sock = t_requestSocket;
  if (sock < 0) return false;
  pollfd p{sock, static_cast<short>(POLLIN | POLLRDHUP), 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if ((p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) return true;
  // Readable: either more data (the client is there) or its end.
  char c = 0;
  const ssize_t n = ::recv(sock, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0;
}


// The server's set-up, step by step: the headers of every answer, the
// admission of a request, the routes, the error pages, the port.
class Engine final : public HttpEngine {
 public:
  explicit Engine(HttpSetup setup) : setup(std::move(setup)) {}
  int Bind(std::string* error) override;
  void Listen() override;
  void Stop() override;

 private:
  HttpSetup setup;
  int m_port = 0;
  GuardedServer server;
  std::atomic<bool> listenEnded{false};
  std::string tooLarge;  // the refusal of a body over the limit

  bool editorOnly() const { return !setup.options.rpc; }
  void SetDefaults();
  bool Admit(const httplib::Request& req, httplib::Response& res) const;
  bool AdmitBody(const httplib::Request& req, httplib::Response& res) const;
  void InstallAdmission();
  bool AdmitUpload(const httplib::Request& req, httplib::Response& res) const;
  void ReceiveUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) const;
  bool ReadJsonBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                    std::string& body) const;
  void InstallPosts();
  void ServePage(const httplib::Request& req, httplib::Response& res) const;
  void InstallErrors();
  bool BindPort(std::string* error);
};

void Engine::SetDefaults() {
  const std::size_t maxBody = setup.options.maxBodyBytes;
  tooLarge = "Payload too large: request bodies are limited to " + LimitText(maxBody) + ".";
  server.set_payload_max_length(maxBody);
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"X-Frame-Options", "SAMEORIGIN"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Cache-Control", "no-store"},
                              {"Content-Security-Policy",
                               "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                               "connect-src 'self'; frame-ancestors 'self'; form-action 'none'; base-uri 'none'"}});
}

// Admission, before any routing and before anything of the body is read:
// the Host header (no DNS rebinding), the token, the origin, the method,
// and for a POST its path and its length. False with the refusal in `res`.
bool Engine::Admit(const httplib::Request& req, httplib::Response& res) const {
  // A repeated Host or length would let two readers of one request see two
  // different requests.
  if (req.get_header_value_count("Host") > 1 || req.get_header_value_count("Content-Length") > 1) {
    Refuse(res, 400, "Bad request: the request repeats its Host or Content-Length header.");
    return false;
  }
  if (!HostAllowed(req.get_header_value("Host"), m_port)) {
    Refuse(res, 403, "Forbidden: this server answers to 127.0.0.1 and localhost only.");
    return false;
  }
  std::string token = req.get_header_value(kTokenHeader);
  if (token.empty()) token = req.get_param_value("token");
  if (!TokenMatches(setup.token, token)) {
    Refuse(res, 403, "Forbidden: the request does not carry this server's token.");
    return false;
  }
  if (!OriginAllowed(req.get_header_value("Origin"), m_port) ||
      req.get_header_value("Sec-Fetch-Site") == "cross-site") {
    Refuse(res, 403, "Forbidden: requests from other origins are not accepted.");
    return false;
  }
  if (req.method != "GET" && req.method != "POST" && req.method != "HEAD") {
    Refuse(res, 405, "Method not allowed.");
    return false;
  }
  if (setup.options.onTokenAccepted) setup.options.onTokenAccepted();
  return req.method != "POST" || AdmitBody(req, res);
}

// A POST: its path, and a body of a known length within the limit, or chunked.
bool Engine::AdmitBody(const httplib::Request& req, httplib::Response& res) const {
  const bool upload = req.path == "/upload" && !editorOnly() && !setup.options.uploadsFolder.empty();
  if (req.path != "/editor" && (editorOnly() || req.path != "/rpc") && !upload) {
    Refuse(res, 404, "Not found.");
    return false;
  }
  if (upload && !AdmitUpload(req, res)) return false;
  // The library reads a body in chunks exactly when this header says "chunked".
  const bool chunked = strcasecmp(req.get_header_value("Transfer-Encoding").c_str(), "chunked") == 0;
  if (req.has_header("Content-Length")) {
    const auto length = ParseLength(req.get_header_value("Content-Length"));
    if (!length) {
      Refuse(res, 400, "Bad request: the Content-Length is not a number.");
      return false;
    }
    if (*length > setup.options.maxBodyBytes) {
      Refuse(res, 413, tooLarge);
      return false;
    }
  } else if (!chunked) {
    Refuse(res, 411, "Length required: a request body needs a Content-Length.");
    return false;
  }
  return true;
}

void Engine::InstallAdmission() {
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    return Admit(req, res) ? httplib::Server::HandlerResponse::Unhandled : httplib::Server::HandlerResponse::Handled;
  });
  // A client that asks before sending its body hears the refusal instead of
  // an invitation.
  server.set_expect_100_continue_handler([this](const httplib::Request& req, httplib::Response& res) {
    return Admit(req, res) ? 100 : res.status;
  });
}

// The JSON body of a POST, read in pieces; false with the refusal in `res`.
bool Engine::ReadJsonBody(const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader, std::string& body) const {
  if (!IsJsonContentType(req.get_header_value("Content-Type"))) {
    Refuse(res, 415, "Unsupported media type: requests must be application/json.");
    return false;
  }
  switch (ReadBody(req, reader, setup.options.maxBodyBytes, body)) {
    case BodyRead::Whole:
      return true;
    case BodyRead::TooLarge:
      Refuse(res, 413, tooLarge);
      return false;
    case BodyRead::Broken:
      break;
  }
  Refuse(res, 400, "Bad request: the request body could not be read.");
  return false;
}

// A POST to /upload carries a file's bytes as they are.
bool Engine::AdmitUpload(const httplib::Request& req, httplib::Response& res) const {
  if (strcasecmp(req.get_header_value("Content-Type").c_str(), "application/octet-stream") != 0) {
    Refuse(res, 415, "Unsupported media type: an upload must be application/octet-stream.");
    return false;
  }
  return true;
}

// Streams an upload into the uploads folder: named only once it is whole,
// nothing left when it is refused, too large or broken off.
void Engine::ReceiveUpload(const httplib::Request& req, httplib::Response& res,
                                    const httplib::ContentReader& reader) const {
  const std::string name = req.get_param_value("name");
  Expected<std::unique_ptr<UploadSink>> begun = setup.upload(name, req.get_param_value("replace") == "1");
  if (!begun) {
    Refuse(res, begun.error().code == ErrorCode::kExists ? 409 : begun.error().code == ErrorCode::kInvalid ? 400 : 500,
           begun.error().message);
    return;
  }
  UploadSink& writer = **begun;
  const std::size_t limit = setup.options.maxBodyBytes;
  std::size_t received = 0;
  std::optional<Error> failed;
  bool tooLarge = false;
  const bool read = reader([&](const char* data, std::size_t n) {
    if (n > limit - received) {
      tooLarge = true;
      return false;
    }
    received += n;
    if (Done written = writer.Write(std::string_view(data, n)); !written) {
      failed = written.TakeError();
      return false;
    }
    return true;
  });
  if (tooLarge) return Refuse(res, 413, this->tooLarge);
  if (failed) return Refuse(res, 500, failed->message);
  if (!read) return Refuse(res, 400, "Bad request: the upload was broken off; nothing of it was kept.");
  Expected<std::string> path = writer.Commit();
  if (!path) return Refuse(res, path.error().code == ErrorCode::kExists ? 409 : 500, path.error().message);
  const nlohmann::json answer{{"name", name}, {"path", *path}, {"size", received}};
  res.set_content(answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "application/json");
}

void Engine::InstallPosts() {
  if (!setup.options.uploadsFolder.empty() && !editorOnly()) {
    server.Post("/upload", [this](const httplib::Request& req, httplib::Response& res,
                                  const httplib::ContentReader& reader) { ReceiveUpload(req, res, reader); });
  }
  if (!editorOnly()) {
    server.Post("/rpc", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
      std::string body;
      if (!ReadJsonBody(req, res, reader, body)) return;
      const std::string response = setup.options.rpc(body);
      if (response.empty()) {
        res.status = 204;
        return;
      }
      res.set_content(response, "application/json");
    });
  }
  server.Post("/editor", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    std::string body;
    if (!ReadJsonBody(req, res, reader, body)) return;
    res.set_content(setup.editor(body), "application/json");
  });
  // The pages: a fixed set of plain names in the web folder.
  server.Get(R"(/([A-Za-z0-9_-]*(\.(html|js|css|svg|png))?))",
             [this](const httplib::Request& req, httplib::Response& res) { ServePage(req, res); });
}

void Engine::ServePage(const httplib::Request& req, httplib::Response& res) const {
  std::string name = req.matches[1];
  if (name.empty()) name = editorOnly() ? "editor.html" : "index.html";
  if (name.find('.') == std::string::npos || (editorOnly() && name == "index.html")) {
    Refuse(res, 404, "Not found.");
    return;
  }
  // A page is a file of the web folder: a link in it that leads out of the
  // folder serves nothing.
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::canonical(setup.options.webDir, ec);
  const std::filesystem::path page = ec ? std::filesystem::path() : std::filesystem::canonical(folder / name, ec);
  std::string body;
  if (ec || page.parent_path() != folder || ReadRegularFile(page.string(), body) != FileReadStatus::kOk) {
    Refuse(res, 404, "Not found.");
    return;
  }
  // The pages carry the token into their own requests.
  if (name.ends_with(".html")) {
    for (std::size_t at = body.find("__TOKEN__"); at != std::string::npos; at = body.find("__TOKEN__", at))
      body.replace(at, 9, setup.token);
  }
  res.set_content(body, MimeType(name));
}

void Engine::InstallErrors() {
  server.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413) res.set_content(tooLarge + "\n", "text/plain; charset=utf-8");
    else if (res.status == 404) res.set_content("Not found.\n", "text/plain; charset=utf-8");
    else if (res.status == 400) res.set_content("Bad request: the request is not well-formed HTTP.\n", "text/plain; charset=utf-8");
    else if (res.status == 414) res.set_content("URI too long: the request's address is too long.\n", "text/plain; charset=utf-8");
    else res.set_content("Error " + std::to_string(res.status) + ".\n", "text/plain; charset=utf-8");
  });
}

bool Engine::BindPort(std::string* error) {
  // The port is this server's alone: the library's default would let a
  // second server listen on it too, and the two would share the requests
  // (each refusing the other's token). Reusing an address whose last
  // connections are still closing is all a restart needs.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  const int wanted = setup.options.port;
  if (wanted == 0) {
    m_port = server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
      if (error) *error = "cannot listen on 127.0.0.1";
      return false;
    }
  } else {
    errno = 0;
    if (!server.bind_to_port("127.0.0.1", wanted)) {
      // Why, when the system said: most often another program holds the port.
      const int why = errno;
      if (error)
        *error = "cannot listen on 127.0.0.1:" + std::to_string(wanted) + (why != 0 ? ": " + std::string(std::strerror(why)) : "");
      return false;
    }
    m_port = wanted;
  }
  server.WidenBacklog();
  return true;
}

int Engine::Bind(std::string* error) {
  SetDefaults();
  InstallAdmission();
  InstallPosts();
  InstallErrors();
  return BindPort(error) ? m_port : 0;
}

void Engine::Listen() {
  server.listen_after_bind();
  listenEnded = true;
}

void Engine::Stop() {
  server.BeginStop();
  // The library's stop() only acts on a server that runs: wait until it does
  // (or until it gave up) so that a Stop right after Listen began is not lost.
  while (!server.is_running() && !listenEnded) std::this_thread::sleep_for(1ms);
  server.stop();
}

std::unique_ptr<HttpEngine> MakeEngine(HttpSetup setup) { return std::make_unique<Engine>(std::move(setup)); }

}  // namespace
}  // namespace zephrin::server

extern "C" __attribute__((visibility("default"))) const zephrin::server::HttpModule* zephrin_http_module() {
  static const zephrin::server::HttpModule module{zephrin::server::kHttpModuleAbi, &zephrin::server::MakeEngine,
                                                  &zephrin::server::CallerGone};
  return &module;
}
