// The local web server driven over real sockets: admission, the deadline for
// a request's header section, and the body limit for every kind of body.
#include "server/web_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "server/raw_http.h"
#include "test_util.h"

namespace zephrin::server {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Body;
using test::Exchange;
using test::HeaderValue;
using test::Socket;
using test::StatusLine;

constexpr std::size_t kMB = 1u << 20;

// A server with a /rpc that answers with the size of the body it was given.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WebServerOptions options;
    options.webDir = ZEPHRIN_WEB_DIR;
    options.rpc = [this](std::string_view body) {
      ++m_rpcCalls;
      m_lastBody = std::string(body);
      return R"({"jsonrpc":"2.0","id":1,"result":)" + std::to_string(body.size()) + "}";
    };
    m_server = std::make_unique<WebServer>(options, m_hub);
    std::string error;
    ASSERT_TRUE(m_server->Start(&error)) << error;
    m_port = m_server->port();
    m_host = "Host: 127.0.0.1:" + std::to_string(m_port) + "\r\n";
  }
  void TearDown() override {
    m_hub.Stop();
    if (m_server) m_server->Stop();
  }

  const std::string& token() const { return m_server->token(); }
  // The start of a POST /rpc with the token, before its body headers.
  std::string RpcHead(std::string_view path = "/rpc") const {
    return "POST " + std::string(path) + " HTTP/1.1\r\n" + m_host + "X-Zephrin-Token: " + token() +
           "\r\nContent-Type: application/json\r\n";
  }

  EditorHub m_hub;
  std::unique_ptr<WebServer> m_server;
  int m_port = 0;
  std::string m_host;
  std::atomic<int> m_rpcCalls{0};
  std::string m_lastBody;
};

// ---- Admission ---------------------------------------------------------------------

TEST_F(ServerTest, AdmitsOnlyRequestsWithTokenHostAndOrigin) {
  const std::string t = token();
  const std::string own = "http://127.0.0.1:" + std::to_string(m_port);
  struct Case {
    std::string request;
    std::string status;
    std::string body;
  };
  const Case cases[] = {
      {"GET /?token=" + t + " HTTP/1.1\r\n" + m_host + "\r\n", "HTTP/1.1 200 OK", ""},
      {"GET / HTTP/1.1\r\n" + m_host + "X-Zephrin-Token: " + t + "\r\n\r\n", "HTTP/1.1 200 OK", ""},
      {"GET / HTTP/1.1\r\n" + m_host + "\r\n", "HTTP/1.1 403 Forbidden",
       "Forbidden: the request does not carry this server's token.\n"},
      {"GET /?token=" + t + "0 HTTP/1.1\r\n" + m_host + "\r\n", "HTTP/1.1 403 Forbidden",
       "Forbidden: the request does not carry this server's token.\n"},
      {"GET /?token=" + t + " HTTP/1.1\r\nHost: example.com\r\n\r\n", "HTTP/1.1 403 Forbidden",
       "Forbidden: this server answers to 127.0.0.1 and localhost only.\n"},
      {"GET /?token=" + t + " HTTP/1.1\r\n" + m_host + "Origin: http://example.com\r\n\r\n",
       "HTTP/1.1 403 Forbidden", "Forbidden: requests from other origins are not accepted.\n"},
      {"PUT /?token=" + t + " HTTP/1.1\r\n" + m_host + "Content-Length: 0\r\n\r\n", "HTTP/1.1 405 Method Not Allowed",
       "Method not allowed.\n"},
      {"POST /rpc?token=" + t + " HTTP/1.1\r\n" + m_host + "Origin: " + own +
           "\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\n{}",
       "HTTP/1.1 415 Unsupported Media Type", "Unsupported media type: requests must be application/json.\n"},
      {"GET /nothing.html?token=" + t + " HTTP/1.1\r\n" + m_host + "\r\n", "HTTP/1.1 404 Not Found", "Not found.\n"},
      {RpcHead() + "\r\n", "HTTP/1.1 411 Length Required",
       "Length required: a request body needs a Content-Length.\n"},
      {RpcHead() + "Content-Length: 12abc\r\n\r\n", "HTTP/1.1 400 Bad Request",
       "Bad request: the Content-Length is not a number.\n"},
      {RpcHead() + "Content-Length: 2\r\nContent-Length: 40\r\n\r\n{}", "HTTP/1.1 400 Bad Request",
       "Bad request: the request repeats its Host or Content-Length header.\n"},
      {"GET /?token=" + t + " HTTP/1.1\r\n" + m_host + m_host + "\r\n", "HTTP/1.1 400 Bad Request",
       "Bad request: the request repeats its Host or Content-Length header.\n"},
      {"GET\r\n\r\n", "HTTP/1.1 400 Bad Request", "Bad request: the request is not well-formed HTTP.\n"},
      {"GET /?token=" + t + "&pad=" + std::string(70000, 'x') + " HTTP/1.1\r\n" + m_host + "\r\n",
       "HTTP/1.1 414 URI Too Long", "URI too long: the request's address is too long.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    const std::string response = Exchange(m_port, c.request);
    EXPECT_EQ(StatusLine(response), c.status);
    if (!c.body.empty()) {
      EXPECT_EQ(Body(response), c.body);
    }
    EXPECT_EQ(HeaderValue(response, "Connection"), "close");
    EXPECT_EQ(HeaderValue(response, "X-Content-Type-Options"), "nosniff");
  }
  EXPECT_EQ(m_rpcCalls, 0);
}

// Pages come as they are, even to a browser that takes compressed answers.
TEST_F(ServerTest, PagesCarryTheToken) {
  const std::string response = Exchange(
      m_port, "GET /?token=" + token() + " HTTP/1.1\r\n" + m_host + "Accept-Encoding: gzip, deflate, br\r\n\r\n");
  ASSERT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_EQ(HeaderValue(response, "Content-Encoding"), "");
  EXPECT_EQ(HeaderValue(response, "Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(Body(response).find(token()), std::string::npos);
  EXPECT_EQ(Body(response).find("__TOKEN__"), std::string::npos);
}

// A page is a file of the web folder: a link that stays in it serves its
// target; one that leads out of it serves nothing.
TEST(WebPages, ALinkOutOfTheWebFolderServesNothing) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.file("web"));
  test::WriteFile(dir.file("web/index.html"), "<p>__TOKEN__</p>");
  test::WriteFile(dir.file("secret.txt"), "not a page");
  std::filesystem::create_symlink("index.html", dir.file("web/inside.html"));
  std::filesystem::create_symlink(dir.file("secret.txt"), dir.file("web/outside.css"));
  EditorHub hub;
  WebServerOptions options;
  options.webDir = dir.file("web");
  WebServer server(options, hub);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  const std::string head = " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\nX-Zephrin-Token: " +
                           server.token() + "\r\n\r\n";
  const std::string inside = Exchange(server.port(), "GET /inside.html" + head);
  EXPECT_EQ(StatusLine(inside), "HTTP/1.1 200 OK");
  EXPECT_EQ(Body(inside), "<p>" + server.token() + "</p>");
  const std::string outside = Exchange(server.port(), "GET /outside.css" + head);
  EXPECT_EQ(StatusLine(outside), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Body(outside).find("not a page"), std::string::npos);
  hub.Stop();
  server.Stop();
}

// Bodies within the limit reach /rpc whole, whether sized or chunked.
TEST_F(ServerTest, RpcBodiesArriveWhole) {
  const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"GetTemplateInfo","params":{}})";
  char size[16];
  std::snprintf(size, sizeof size, "%zx", body.size() - 10);
  const std::string requests[] = {
      RpcHead() + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
      RpcHead() + "Transfer-Encoding: chunked\r\n\r\na\r\n" + body.substr(0, 10) + "\r\n" + size + "\r\n" +
          body.substr(10) + "\r\n0\r\n\r\n",
  };
  for (const std::string& request : requests) {
    SCOPED_TRACE(request);
    m_lastBody.clear();
    const std::string response = Exchange(m_port, request);
    EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
    EXPECT_EQ(Body(response), R"({"jsonrpc":"2.0","id":1,"result":)" + std::to_string(body.size()) + "}");
    EXPECT_EQ(m_lastBody, body);
  }
}

// ---- The header section's deadline ------------------------------------------------

// Eight connections that each send a header line every two seconds leave the
// server free for a ninth, normal request, and are ended themselves at the
// deadline for a header section.
TEST_F(ServerTest, SlowHeadersHoldNoOneElseUp) {
  struct Slow {
    std::string received;
    bool closed = false;
    Clock::duration after{};
  };
  const auto start = Clock::now();
  std::vector<std::future<Slow>> slow;
  for (int i = 0; i < 8; ++i) {
    // One after the other, each with its request line sent, so that all are
    // at the server before the ninth.
    auto s = std::make_shared<Socket>(m_port);
    const auto begun = Clock::now();
    ASSERT_TRUE(s->ok() && s->Send("GET /?token=" + token() + " HTTP/1.1\r\n"));
    std::this_thread::sleep_for(20ms);
    slow.push_back(std::async(std::launch::async, [s, i, begun] {
      Slow result;
      // A header line every two seconds, for twelve seconds at most.
      for (int line = 0; line < 6; ++line) {
        if (s->WaitReadable(2s)) {
          result.received = s->ReadUntilClosed(3s, &result.closed);
          break;
        }
        if (!s->Send("X-Slow-" + std::to_string(i) + "-" + std::to_string(line) + ": x\r\n")) {
          result.closed = true;
          break;
        }
      }
      result.after = Clock::now() - begun;
      return result;
    }));
  }

  Socket ninth(m_port);
  ASSERT_TRUE(ninth.Send("GET /?token=" + token() + " HTTP/1.1\r\n" + m_host + "\r\n"));
  bool closed = false;
  // The bound only catches the ninth waiting for the slow ones.
  const std::string response = ninth.ReadUntilClosed(3s, &closed);
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_TRUE(closed);
  EXPECT_LT(Clock::now() - start, 3500ms) << "the ninth request waited for the slow ones";

  for (auto& f : slow) {
    const Slow s = f.get();
    EXPECT_TRUE(s.closed);
    EXPECT_EQ(StatusLine(s.received), "HTTP/1.1 408 Request Timeout");
    EXPECT_EQ(Body(s.received), "Request timeout: the request's headers took too long.\n");
    EXPECT_GE(s.after, kHeaderDeadline - 100ms);
    EXPECT_LT(s.after, kHeaderDeadline + 2500ms);
  }
  EXPECT_EQ(m_rpcCalls, 0);
}

// A connection that stops in its headers is ended at the deadline, not after
// the read timeout; one that never sent a byte is closed without an answer.
TEST_F(ServerTest, UnfinishedHeadersEndAtTheDeadline) {
  struct Case {
    std::string sent;
    std::string status;
  };
  const Case cases[] = {
      {"GET /?token=" + token() + " HTTP/1.1\r\n" + m_host, "HTTP/1.1 408 Request Timeout"},
      {"", ""},
  };
  std::vector<std::future<std::pair<std::string, Clock::duration>>> ends;
  for (const Case& c : cases) {
    ends.push_back(std::async(std::launch::async, [this, sent = c.sent] {
      Socket s(m_port);
      const auto begun = Clock::now();
      bool closed = false;
      std::string received;
      if (s.ok() && s.Send(sent)) received = s.ReadUntilClosed(kHeaderDeadline + 3s, &closed);
      return std::make_pair(closed ? received : std::string("(not closed)"), Clock::now() - begun);
    }));
  }
  for (std::size_t i = 0; i < ends.size(); ++i) {
    SCOPED_TRACE(cases[i].sent);
    const auto [received, after] = ends[i].get();
    EXPECT_EQ(StatusLine(received), cases[i].status);
    if (cases[i].status.empty()) {
      EXPECT_EQ(received, "");
    }
    EXPECT_GE(after, kHeaderDeadline - 100ms);
    EXPECT_LT(after, kHeaderDeadline + 2500ms);
  }
}

// ---- The body limit -----------------------------------------------------------------

// Sends a chunked body of `total` bytes as fast as the server takes it,
// watching for an answer all along; returns the answer and how much of the
// body had been sent when it came.
std::pair<std::string, std::size_t> SendChunkedUntilAnswered(Socket& s, std::size_t total) {
  const std::string data(64 * 1024, 'x');
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  const std::string chunk = size + data + "\r\n";
  ::fcntl(s.fd(), F_SETFL, ::fcntl(s.fd(), F_GETFL) | O_NONBLOCK);
  std::size_t sent = 0;      // body bytes
  std::size_t inChunk = 0;   // of the current chunk on the wire
  const auto end = Clock::now() + 20s;
  while (Clock::now() < end) {
    pollfd p{s.fd(), static_cast<short>(POLLIN | (sent < total ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 1000) <= 0) continue;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) break;
    const ssize_t n = ::send(s.fd(), chunk.data() + inChunk, chunk.size() - inChunk, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) break;
    inChunk += static_cast<std::size_t>(n);
    if (inChunk == chunk.size()) {
      inChunk = 0;
      sent += data.size();
      if (sent >= total) (void)::send(s.fd(), "0\r\n\r\n", 5, MSG_NOSIGNAL);
    }
  }
  ::fcntl(s.fd(), F_SETFL, ::fcntl(s.fd(), F_GETFL) & ~O_NONBLOCK);
  return {s.ReadUntilClosed(5s), sent};
}

// A 200 MB chunked POST is refused once the 64 MB limit is passed, not read
// to its end; a POST elsewhere is refused before its body is read at all.
TEST_F(ServerTest, ChunkedBodiesOverTheLimitAreRefusedWhileArriving) {
  struct Case {
    std::string path;
    std::string status;
    std::string body;
  };
  const Case cases[] = {
      {"/rpc", "HTTP/1.1 413 Payload Too Large", "Payload too large: request bodies are limited to 64 MB.\n"},
      {"/editor", "HTTP/1.1 413 Payload Too Large", "Payload too large: request bodies are limited to 64 MB.\n"},
      {"/elsewhere", "HTTP/1.1 404 Not Found", "Not found.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Socket s(m_port);
    ASSERT_TRUE(s.Send(RpcHead(c.path) + "Transfer-Encoding: chunked\r\n\r\n"));
    const auto [response, sent] = SendChunkedUntilAnswered(s, 200 * kMB);
    EXPECT_EQ(StatusLine(response), c.status);
    EXPECT_EQ(Body(response), c.body);
    // What the kernel buffers between the two ends is the margin.
    EXPECT_LT(sent, 64 * kMB + 16 * kMB);
  }
  EXPECT_EQ(m_rpcCalls, 0);
}

// A Content-Length over the limit is answered at once, without waiting for
// a body, and without inviting it with "100 Continue".
TEST_F(ServerTest, OversizedContentLengthIsAnsweredAtOnce) {
  const std::string heads[] = {
      RpcHead() + "Content-Length: 209715200\r\n\r\n",
      RpcHead() + "Content-Length: 209715200\r\nExpect: 100-continue\r\n\r\n",
      RpcHead("/editor") + "Content-Length: 67108865\r\n\r\n",
  };
  for (const std::string& head : heads) {
    SCOPED_TRACE(head);
    Socket s(m_port);
    ASSERT_TRUE(s.Send(head));
    bool closed = false;
    // Well under the ten-second read timeout: this only catches a wait for the body.
    const std::string response = s.ReadUntilClosed(4s, &closed);
    EXPECT_EQ(StatusLine(response), "HTTP/1.1 413 Payload Too Large");
    EXPECT_EQ(Body(response), "Payload too large: request bodies are limited to 64 MB.\n");
    EXPECT_TRUE(closed);
  }
  EXPECT_EQ(m_rpcCalls, 0);
}

}  // namespace
}  // namespace zephrin::server
