// `zephrinimport serve --open` as a user runs it: the token never on a
// command line, the page removed once the browser came (or at the latest when
// the server stops), and one line when no browser could be opened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "server/fake_opener.h"
#include "server/raw_http.h"
#include "test_util.h"

namespace zephrin::test {
namespace {

using namespace std::chrono_literals;

const std::string kNoBrowser =
    "zephrinimport: no browser could be opened; open the address above by hand.\n";
const std::string kStopping = "zephrinimport serve: stopping\n";

// `zephrinimport serve --open` in a folder of its own, with exactly the given
// environment, its outputs going to files.
class Serve {
 public:
  Serve(const TempDir& dir, std::vector<std::string> env) : m_out(dir.file("serve.out")), m_err(dir.file("serve.err")) {
    std::filesystem::create_directories(dir.file("home"));
    env.push_back("ZEPHRINIMPORT_HOME=" + dir.file("home"));
    env.push_back("HOME=" + dir.file("home"));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string binary = ZEPHRIN_BINARY;
    std::string serve = "serve", open = "--open";
    char* argv[] = {binary.data(), serve.data(), open.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir.str().c_str());
    if (posix_spawn(&m_pid, binary.c_str(), &actions, nullptr, argv, envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    // The address it prints once it listens.
    const std::regex address(R"(zephrinimport serve: open (http://127\.0\.0\.1:([0-9]+)/\?token=([0-9a-f]+))\n)");
    for (int i = 0; i < 500 && m_pid > 0; ++i) {
      std::smatch m;
      const std::string out = ReadFile(m_out);
      if (std::regex_search(out, m, address)) {
        m_url = m[1];
        m_port = std::stoi(m[2]);
        m_token = m[3];
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
  }
  ~Serve() { Stop(); }

  // Ends the server with `signal` (by default as Ctrl-C would); its exit
  // status.
  int Stop(int signal = SIGTERM) {
    if (m_pid <= 0) return m_status;
    ::kill(m_pid, signal);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
      }
      std::this_thread::sleep_for(10ms);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return m_status = -1;
  }

  const std::string& url() const { return m_url; }
  int port() const { return m_port; }
  const std::string& token() const { return m_token; }
  std::string err() const { return ReadFile(m_err); }

 private:
  std::string m_out, m_err;
  pid_t m_pid = -1;
  int m_status = -1;
  std::string m_url, m_token;
  int m_port = 0;
};

std::string PrivateFolder(const TempDir& dir, const char* name) {
  const std::string path = dir.file(name);
  std::filesystem::create_directories(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

bool IsEmpty(const std::string& folder) { return std::filesystem::is_empty(folder); }

// The opener is handed the page's path alone; the page forwards to the
// address and goes when the browser has come, or when the server stops.
TEST(ServeOpen, HandsTheOpenerAPrivatePageInsteadOfTheAddress) {
  for (const bool browserComes : {true, false}) {
    SCOPED_TRACE(browserComes ? "the browser comes" : "the server stops first");
    TempDir dir;
    const std::string bin = PrivateFolder(dir, "bin");
    const std::string runtime = PrivateFolder(dir, "runtime");
    FakeOpener fake(bin + "/xdg-open", 0);
    Serve serve(dir, {"PATH=" + bin, "DISPLAY=:0", "XDG_RUNTIME_DIR=" + runtime});
    ASSERT_FALSE(serve.url().empty()) << serve.err();
    ASSERT_TRUE(fake.WaitRan()) << serve.err();

    const auto args = fake.args();
    ASSERT_EQ(args.size(), 2u);
    const std::filesystem::path page = args[1];
    EXPECT_EQ(page.parent_path(), runtime);
    EXPECT_EQ(page.extension(), ".html");
    for (const auto& arg : args) EXPECT_EQ(arg.find(serve.token()), std::string::npos) << arg;
    EXPECT_EQ(fake.fileMode(), "600\n");
    EXPECT_EQ(fake.page(), ExpectedPage(serve.url()));
    EXPECT_TRUE(std::filesystem::exists(page));

    if (browserComes) {
      const std::string response =
          Exchange(serve.port(), "GET /?token=" + serve.token() + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                     std::to_string(serve.port()) + "\r\n\r\n");
      EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
      EXPECT_TRUE(WaitGone(page));
    }
    EXPECT_EQ(serve.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(page));
    EXPECT_TRUE(IsEmpty(runtime));
    // Nothing of the opener's own output reaches the user.
    EXPECT_EQ(serve.err(), kStopping);
  }
}

// Without a desktop, without xdg-open, or with an xdg-open that fails: one
// line, and none of xdg-open's own output.
TEST(ServeOpen, SaysOnceThatNoBrowserCouldBeOpened) {
  struct Case {
    const char* name;
    bool desktop;
    bool opener;
    int exitStatus;
  };
  const Case cases[] = {
      {"no desktop", false, true, 0},
      {"no xdg-open", true, false, 0},
      {"xdg-open fails", true, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string bin = PrivateFolder(dir, "bin");
    const std::string runtime = PrivateFolder(dir, "runtime");
    std::optional<FakeOpener> fake;
    if (c.opener) fake.emplace(bin + "/xdg-open", c.exitStatus);
    std::vector<std::string> env = {"PATH=" + bin, "XDG_RUNTIME_DIR=" + runtime};
    if (c.desktop) env.push_back("WAYLAND_DISPLAY=wayland-0");
    Serve serve(dir, env);
    ASSERT_FALSE(serve.url().empty()) << serve.err();
    for (int i = 0; i < 300 && serve.err().empty(); ++i) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(200ms);  // room for a second line, were there one
    EXPECT_EQ(serve.err(), kNoBrowser);
    EXPECT_EQ(serve.Stop(), 0);
    EXPECT_EQ(serve.err(), kNoBrowser + kStopping);
    EXPECT_TRUE(IsEmpty(runtime));
    if (fake) {
      EXPECT_EQ(fake->ran(), c.desktop);
    }
  }
}

// A signal that ends the server in the middle of an upload leaves no part of
// it: a hang-up ends the program at once, which removes its temporary files
// (the upload's too, though the HTTP side that receives it is a module of
// its own); an interrupt stops the server, which breaks the upload off
// rather than wait for a client that sends no more.
TEST(ServeOpen, ASignalThatEndsTheServerLeavesNoPartOfAnUpload) {
  for (const int signal : {SIGHUP, SIGTERM}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    const std::string bin = PrivateFolder(dir, "bin");
    const std::string runtime = PrivateFolder(dir, "runtime");
    Serve serve(dir, {"PATH=" + bin, "XDG_RUNTIME_DIR=" + runtime});
    ASSERT_FALSE(serve.url().empty()) << serve.err();
    Socket client(serve.port());
    ASSERT_TRUE(client.ok());
    ASSERT_TRUE(client.Send("POST /upload?name=partial.csv HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(serve.port()) +
                            "\r\nX-Zephrin-Token: " + serve.token() +
                            "\r\nContent-Type: application/octet-stream\r\nContent-Length: 10000000\r\n\r\n" +
                            std::string(100000, 'x')));
    const std::string uploads = dir.file("home") + "/uploads";
    bool begun = false;
    for (int i = 0; i < 500 && !begun; ++i) {
      std::error_code ec;
      begun = std::filesystem::exists(uploads, ec) && !std::filesystem::is_empty(uploads, ec);
      if (!begun) std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(begun) << serve.err();
    EXPECT_EQ(serve.Stop(signal), signal == SIGHUP ? 128 + SIGHUP : 0);
    EXPECT_TRUE(IsEmpty(uploads));
  }
}

// The template store is found again by each call that establishes it. When
// the writable folder cannot hold it any more, the server says where the
// templates went, and says so again when they are back.
TEST(ServeOpen, SaysWhenTheTemplateStoreMovesToATemporaryFolderAndBack) {
  TempDir dir;
  const std::string bin = PrivateFolder(dir, "bin");
  const std::string runtime = PrivateFolder(dir, "runtime");
  Serve serve(dir, {"PATH=" + bin, "XDG_RUNTIME_DIR=" + runtime});
  ASSERT_FALSE(serve.url().empty()) << serve.err();
  const auto templateInfo = [&] {
    Socket client(serve.port());
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"GetTemplateInfo","params":[]})";
    EXPECT_TRUE(client.Send("POST /rpc HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nX-Zephrin-Token: " +
                            serve.token() + "\r\nContent-Type: application/json\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body));
    return client.ReadUntilClosed(5000ms);
  };
  for (int i = 0; i < 300 && serve.err().empty(); ++i) std::this_thread::sleep_for(10ms);
  const std::string home = dir.file("home");
  EXPECT_NE(templateInfo().find("\"result\""), std::string::npos);
  std::filesystem::rename(home, home + ".away");
  WriteFile(home, "not a folder");
  EXPECT_NE(templateInfo().find("\"result\""), std::string::npos);
  std::filesystem::remove(home);
  std::filesystem::rename(home + ".away", home);
  templateInfo();
  EXPECT_EQ(serve.Stop(), 0);
  EXPECT_EQ(serve.err(), kNoBrowser + "zephrinimport: warning: the folder " + home +
                             " cannot hold the template store (it is not a folder); the store used is " + runtime +
                             "/zephrinimport/import.ini, in a temporary folder the system may clear "
                             "(ZEPHRINIMPORT_HOME chooses the folder)\n"
                             "zephrinimport serve: the template store is " + home + "/import.ini again\n" + kStopping);
}

}  // namespace
}  // namespace zephrin::test
