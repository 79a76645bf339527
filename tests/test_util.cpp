#include "test_util.h"

#include <cctype>
#include <csignal>
#include <cstdio>
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

unsigned Cp1252(unsigned char c) {
  static constexpr unsigned kHigh[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                         0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                         0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
  return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
}

std::string Utf8(unsigned cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp < 0x800) return {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
  return {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
          static_cast<char>(0x80 | (cp & 0x3F))};
}

std::string DifHeader(int columns, int rows) {
  return "TABLE\n0,1\n\"\"\nVECTORS\n0," + std::to_string(columns) + "\n\"\"\nTUPLES\n0," + std::to_string(rows) +
         "\n\"\"\nDATA\n0,0\n\"\"\n";
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  if (status) *status = -1;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int result = ::pclose(pipe);
  if (status && WIFEXITED(result)) *status = WEXITSTATUS(result);
  return out;
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
