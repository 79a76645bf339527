#include "test_util.h"

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zephrin::test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "zephrin-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  m_path = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only entries removable before removing the tree.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
  if (const char* old = std::getenv(name)) m_old = old;
  if (value) setenv(name, value->c_str(), 1);
  else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (m_old) setenv(m_name.c_str(), m_old->c_str(), 1);
  else unsetenv(m_name.c_str());
}

HomeSandbox::HomeSandbox(bool traced)
    : homeEnv("ZEPHRINIMPORT_HOME", home.str()),
      registryEnv("ZEPHRINIMPORT_REGISTRY", logs.file("registry.ini")),
      traceEnv("ZEPHRINIMPORT_TRACE", traced ? std::optional(logs.file("trace.txt")) : std::nullopt) {}

std::string HomeSandbox::TraceText() const { return ReadFile(logs.file("trace.txt")); }
void HomeSandbox::ClearTrace() const { WriteFile(logs.file("trace.txt"), ""); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string DataPath(std::string_view name) { return std::string(ZEPHRIN_TEST_DATA) + "/" + std::string(name); }

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int RunInChild(const std::function<int(std::string&)>& body, std::string* out) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    close(fds[0]);
    std::string text;
    const int code = body(text);
    (void)!write(fds[1], text.data(), text.size());
    _exit(code);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void LimitFileSize(std::size_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  const struct rlimit limit {bytes, bytes};
  setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace zephrin::test
