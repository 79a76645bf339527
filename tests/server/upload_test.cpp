// Uploads through the local web server: a file's bytes streamed into the
// uploads folder of the writable folder, named only when whole; every
// refusal (a hostile name, a name taken, too large, a broken stream) leaves
// the folder as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "server/raw_http.h"
#include "server/web_server.h"
#include "test_util.h"

namespace zephrin::server {
namespace {

using namespace std::chrono_literals;
using test::Body;
using test::Exchange;
using test::Socket;
using test::StatusLine;

class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WebServerOptions options;
    options.webDir = ZEPHRIN_WEB_DIR;
    options.maxBodyBytes = 1024;
    options.uploadsFolder = m_dir.str();
    options.rpc = [](std::string_view) { return std::string("{}"); };
    m_server = std::make_unique<WebServer>(options, m_hub);
    std::string error;
    ASSERT_TRUE(m_server->Start(&error)) << error;
  }
  void TearDown() override {
    m_hub.Stop();
    m_server->Stop();
  }

  // The head of an upload, up to and with its blank line.
  std::string Head(std::string_view query, std::string_view more, std::string_view type = "application/octet-stream") {
    return "POST /upload?" + std::string(query) + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_server->port()) +
           "\r\nX-Zephrin-Token: " + m_server->token() + "\r\nContent-Type: " + std::string(type) + "\r\n" +
           std::string(more) + "\r\n";
  }
  std::string Upload(std::string_view query, std::string_view content) {
    return Exchange(m_server->port(), Head(query, "Content-Length: " + std::to_string(content.size()) + "\r\n") +
                                          std::string(content));
  }
  // Every entry of the uploads folder, hidden ones too, with its content.
  std::set<std::string> Entries() const {
    std::set<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.path() / "uploads", ec)) {
      std::ifstream in(e.path(), std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      out.insert(e.path().filename().string() + "=" + text.str());
    }
    return out;
  }

  test::TempDir m_dir;
  EditorHub m_hub;
  std::unique_ptr<WebServer> m_server;
};

TEST_F(UploadTest, KeepsAWholeFileUnderItsName) {
  const std::string response = Upload("name=tb.csv", "a,b\r\n1,2\n");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_EQ(Body(response), R"({"name":"tb.csv","path":")" + m_dir.str() + R"(/uploads/tb.csv","size":9})");
  EXPECT_EQ(Entries(), std::set<std::string>{"tb.csv=a,b\r\n1,2\n"});
}

// A program killed in the middle of an upload leaves its temporary file: the
// next upload removes one that has not changed for ten minutes, and leaves
// a newer one (an upload under way) alone.
TEST_F(UploadTest, TheNextUploadRemovesOneAKilledProgramLeft) {
  std::filesystem::create_directories(m_dir.path() / "uploads");
  const auto left = [&](const char* leaf, std::chrono::minutes age) {
    const std::filesystem::path path = m_dir.path() / "uploads" / leaf;
    std::ofstream(path) << "part";
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
  };
  left(".upload-00000000000000aa", std::chrono::minutes(11));
  left(".upload-00000000000000bb", std::chrono::minutes(2));
  left(".keep-00000000000000cc", std::chrono::minutes(60));
  EXPECT_EQ(StatusLine(Upload("name=tb.csv", "1,2\n")), "HTTP/1.1 200 OK");
  EXPECT_EQ(Entries(), (std::set<std::string>{".upload-00000000000000bb=part", ".keep-00000000000000cc=part",
                                              "tb.csv=1,2\n"}));
}

TEST_F(UploadTest, RefusesAndKeepsNothing) {
  struct Case {
    std::string query, content, status, body;
  };
  const std::string taken = "An upload named \"kept.csv\" is there already.\n";
  const Case cases[] = {
      {"name=..%2Fup.csv", "x", "400 Bad Request", "The file name \"../up.csv\" is refused: it holds a \"/\" or \"\\\".\n"},
      {"name=%2Fetc%2Fpasswd", "x", "400 Bad Request", "The file name \"/etc/passwd\" is refused: it holds a \"/\" or \"\\\".\n"},
      {"name=a%5Cb.csv", "x", "400 Bad Request", "The file name \"a\\b.csv\" is refused: it holds a \"/\" or \"\\\".\n"},
      {"name=..", "x", "400 Bad Request", "The file name \"..\" is refused: it begins with \".\".\n"},
      {"name=.upload-1", "x", "400 Bad Request", "The file name \".upload-1\" is refused: it begins with \".\".\n"},
      {"name=a%0Ab.csv", "x", "400 Bad Request", "The file name \"a\\nb.csv\" is refused: it holds a control character.\n"},
      {"name=" + std::string(201, 'n'), "x", "400 Bad Request",
       "The file name \"" + std::string(40, 'n') + "\" is refused: it is longer than 200 bytes.\n"},
      {"other=1", "x", "400 Bad Request", "The file has no name.\n"},
      {"name=%FF.csv", "x", "400 Bad Request", "The file name is refused: it is not UTF-8 text.\n"},
      {"name=kept.csv", "new", "409 Conflict", taken},
      {"name=big.csv", std::string(1025, 'b'), "413 Payload Too Large",
       "Payload too large: request bodies are limited to 1024 bytes.\n"},
  };
  ASSERT_EQ(StatusLine(Upload("name=kept.csv", "old")), "HTTP/1.1 200 OK");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const std::string response = Upload(c.query, c.content);
    EXPECT_EQ(StatusLine(response), "HTTP/1.1 " + c.status);
    EXPECT_EQ(Body(response), c.body);
    EXPECT_EQ(Entries(), std::set<std::string>{"kept.csv=old"});
  }
  EXPECT_EQ(StatusLine(Upload("name=kept.csv&replace=1", "new")), "HTTP/1.1 200 OK");
  EXPECT_EQ(Entries(), std::set<std::string>{"kept.csv=new"});
}

TEST_F(UploadTest, ABodyOfAnotherKindIsRefused) {
  const std::string response = Exchange(m_server->port(), Head("name=a.csv", "Content-Length: 1\r\n", "application/json") + "x");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 415 Unsupported Media Type");
  EXPECT_EQ(Body(response), "Unsupported media type: an upload must be application/octet-stream.\n");
  EXPECT_EQ(Entries(), std::set<std::string>{});
}

// A stream that ends before its length, or goes on past the limit in
// chunks, leaves no file and no temporary file.
TEST_F(UploadTest, ABrokenOrEndlessStreamLeavesNothing) {
  {
    Socket s(m_server->port());
    ASSERT_TRUE(s.Send(Head("name=cut.csv", "Content-Length: 500\r\n") + std::string(100, 'c')));
    std::this_thread::sleep_for(200ms);
  }
  Socket chunked(m_server->port());
  ASSERT_TRUE(chunked.Send(Head("name=long.csv", "Transfer-Encoding: chunked\r\n")));
  const std::string chunk = "100\r\n" + std::string(256, 'l') + "\r\n";
  for (int i = 0; i < 5; ++i) (void)chunked.Send(chunk);
  const std::string response = chunked.ReadUntilClosed(5s);
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 413 Payload Too Large");
  for (int i = 0; i < 50 && !Entries().empty(); ++i) std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Entries(), std::set<std::string>{});
}

}  // namespace
}  // namespace zephrin::server
