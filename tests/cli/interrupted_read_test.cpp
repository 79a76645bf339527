// A read ended by SIGINT, SIGTERM or SIGHUP removes what it made (its copy of
// standard input, the temporary file of its output) and leaves the output
// file as it was, whenever the signal comes.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "test_util.h"

namespace zephrin {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ZEPHRIN_TEST_DATA).parent_path().parent_path() / "examples";

// The first file under `folder` (searched to any depth) whose name starts
// with `prefix`.
std::optional<fs::path> FindFile(const fs::path& folder, const std::string& prefix) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().starts_with(prefix) && it->is_regular_file(ec)) return it->path();
  }
  return std::nullopt;
}

// Waits until a file of the name holds at least `bytes`; false after 30 s.
bool WaitForFile(const fs::path& folder, const std::string& prefix, std::uintmax_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    const std::optional<fs::path> file = FindFile(folder, prefix);
    if (file && fs::file_size(*file, ec) >= bytes && !ec) return true;
  }
  return false;
}

// Waits until process `pid` holds open, for writing its output into
// `folder`, a file of at least `bytes`: the output's temporary file, which
// has no name in the folder while it is written (where the file system can
// make such a file). False after 30 s.
bool WaitForOutput(pid_t pid, const fs::path& folder, std::uintmax_t bytes) {
  const std::string inFolder = folder.string() + "/";
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    for (fs::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code linkEc, sizeEc;
      const std::string target = fs::read_symlink(it->path(), linkEc).string();
      if (linkEc || !target.starts_with(inFolder) || target == inFolder + "out.xml") continue;
      if (fs::file_size(it->path(), sizeEc) >= bytes && !sizeEc) return true;
    }
  }
  return false;
}

// `zephrinimport read - ...` with standard input from `fd`, standard error into
// `errFile`, and every signal as a new process has it.
pid_t StartRead(int fd, const std::string& output, const std::string& errFile) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(fd, STDIN_FILENO);
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int null = open("/dev/null", O_WRONLY);
  dup2(err, STDERR_FILENO);
  dup2(null, STDOUT_FILENO);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
  execl(ZEPHRIN_BINARY, ZEPHRIN_BINARY, "read", "-", "--format", "csv", "-t", "CHART", "--type", "FCOA", "-o",
        output.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

// Writes all of `data` to `fd` (the read takes it as it comes).
void Feed(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n <= 0) return;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

TEST(InterruptedRead, LeavesNothingBehindWheneverTheSignalComes) {
  // About 8 MB of records: a text of some 35 MB, long enough to be caught
  // being written.
  std::string data = "Account,Caption,Balance,TRC,TCC\n";
  for (int i = 0; data.size() < (8u << 20); ++i)
    data += std::to_string(100000 + i) + ",Caption of account " + std::to_string(i) + "," + std::to_string(i) +
            ".25,101,1\n";
  struct Moment {
    const char* label;
    int sig;
    std::size_t fed;       // bytes of standard input given before the signal (all: the pipe is closed)
    const char* watched;   // the file whose growth chooses the moment ("output": the output's)
    std::uintmax_t bytes;  // how much it holds then
  } moments[] = {
      {"the copy of standard input begun", SIGINT, 0, "input-stdin", 0},
      {"1 MB of standard input copied", SIGHUP, 1u << 20, "input-stdin", 1u << 20},
      {"the output begun", SIGTERM, data.size(), "output", 0},
      {"1 MB of output written", SIGINT, data.size(), "output", 1u << 20},
      {"4 MB of output written", SIGHUP, data.size(), "output", 4u << 20},
  };
  const auto oldPipe = signal(SIGPIPE, SIG_IGN);  // a read ended early leaves its input pipe unread
  for (const Moment& m : moments) {
    TempDir home, out, tmp, logs;
    fs::copy_file(kExamples / "import.ini", home.path() / "import.ini");
    WriteFile(out.file("out.xml"), "the output of an earlier read");
    ScopedEnv homeEnv("ZEPHRINIMPORT_HOME", home.str());
    ScopedEnv registry("ZEPHRINIMPORT_REGISTRY", logs.file("registry.ini"));
    ScopedEnv tmpdir("TMPDIR", tmp.str());

    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);  // the program keeps no write end open
    const pid_t pid = StartRead(input[0], out.file("out.xml"), logs.file("stderr"));
    close(input[0]);
    Feed(input[1], std::string_view(data).substr(0, m.fed));
    if (m.fed == data.size()) close(input[1]);
    const bool reached = std::string_view(m.watched) == "input-stdin" ? WaitForFile(tmp.path(), m.watched, m.bytes)
                                                                      : WaitForOutput(pid, out.path(), m.bytes);
    kill(pid, reached ? m.sig : SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (m.fed != data.size()) close(input[1]);

    ASSERT_TRUE(reached) << m.label;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + m.sig) << m.label << ": status " << status;
    EXPECT_EQ(test::FolderEntries(out.path()), std::set<std::string>{"out.xml"}) << m.label;
    EXPECT_EQ(ReadFile(out.file("out.xml")), "the output of an earlier read") << m.label;
    EXPECT_EQ(test::FolderEntries(tmp.path()), std::set<std::string>{}) << m.label;
    EXPECT_EQ(test::FolderEntries(home.path()), std::set<std::string>{"import.ini"}) << m.label;
    EXPECT_EQ(ReadFile(logs.file("stderr")), "") << m.label;
  }
  signal(SIGPIPE, oldPipe);
}

}  // namespace
}  // namespace zephrin
