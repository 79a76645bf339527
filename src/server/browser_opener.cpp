#include "server/browser_opener.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "result/xml_escape.h"
#include "server/web_access.h"

extern char** environ;

namespace zephrin::server {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool HasDesktop() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return true;
  }
  return false;
}

// A folder only this user can enter: a directory (not a link to one) of
// theirs that no one else may read, write or search.
bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && path.front() == '/' && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Starts `program page` in a process group of its own (so that an interrupt
// of the server spares the browser), with the signals the server blocks or
// ignores back to normal, none of the server's descriptors, and its input
// and output on /dev/null. The child's pid, or -1.
pid_t Spawn(const std::string& program, const std::string& page) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  const char* argv[] = {program.c_str(), page.c_str(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, &attr, const_cast<char* const*>(argv), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

std::string ForwardingPage(const std::string& url) {
  // The address goes into two attribute values, escaped as any attribute.
  std::string u;
  xml::AppendEscaped(u, url, xml::kAttribute);
  return "<!DOCTYPE html>\n"
         "<html lang=\"en\">\n"
         "<head>\n"
         "<meta charset=\"utf-8\">\n"
         "<meta name=\"referrer\" content=\"no-referrer\">\n"
         "<meta http-equiv=\"refresh\" content=\"0; url=" + u + "\">\n"
         "<title>zephrinimport</title>\n"
         "</head>\n"
         "<body>\n"
         "<p><a id=\"go\" href=\"" + u + "\">Open zephrinimport</a></p>\n"
         "<script>window.location.replace(document.getElementById(\"go\").href);</script>\n"
         "</body>\n"
         "</html>\n";
}

BrowserOpener::BrowserOpener() : BrowserOpener(Options()) {}

BrowserOpener::BrowserOpener(Options options) : m_options(std::move(options)) {}

BrowserOpener::~BrowserOpener() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
    RemovePage();
  }
  m_cv.notify_all();
  if (m_watcher.joinable()) m_watcher.join();
}

void BrowserOpener::Open(const std::string& url, std::function<void()> onFailure) {
  m_onFailure = std::move(onFailure);
  const auto fail = [this] {
    if (m_onFailure) m_onFailure();
  };
  if (!HasDesktop()) return fail();
  std::unique_lock lock(m_mutex);
  if (!WritePage(url)) {
    lock.unlock();
    return fail();
  }
  const pid_t child = Spawn(m_options.program, m_page);
  if (child < 0) {
    RemovePage();
    lock.unlock();
    return fail();
  }
  const auto until = Clock::now() + m_options.keepAtMost;
  m_watcher = std::thread([this, child, until] { Watch(child, until); });
}

void BrowserOpener::Reached() {
  if (m_reached.load(std::memory_order_relaxed)) return;
  {
    std::lock_guard lock(m_mutex);
    m_reached = true;
    RemovePage();
  }
  m_cv.notify_all();
}

bool BrowserOpener::WritePage(const std::string& url) {
  std::string folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && IsPrivateFolder(runtime)) {
    folder = runtime;
  } else {
    std::error_code ec;
    std::string templ = (std::filesystem::temp_directory_path(ec) / "zephrinimport-XXXXXX").string();
    if (ec || ::mkdtemp(templ.data()) == nullptr) return false;  // made with mode 0700
    folder = m_createdFolder = templ;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string path = folder + "/zephrinimport-open-" + NewAccessToken().substr(0, 16) + ".html";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    m_page = path;
    const std::string page = ForwardingPage(url);
    bool written = ::fchmod(fd, 0600) == 0;
    for (std::size_t at = 0; written && at < page.size();) {
      const ssize_t n = ::write(fd, page.data() + at, page.size() - at);
      if (n < 0 && errno == EINTR) continue;
      written = n > 0;
      if (written) at += static_cast<std::size_t>(n);
    }
    written = ::close(fd) == 0 && written;
    if (written) return true;
    break;
  }
  RemovePage();
  return false;
}

void BrowserOpener::RemovePage() {
  if (!m_page.empty()) ::unlink(m_page.c_str());
  m_page.clear();
  if (!m_createdFolder.empty()) ::rmdir(m_createdFolder.c_str());
  m_createdFolder.clear();
}

// Waits for the opener program to end, and removes the page when its time is
// up. A program that fails before the browser reached the server means that
// no browser could be opened.
void BrowserOpener::Watch(pid_t child, Clock::time_point until) {
  bool reaped = false;
  std::unique_lock lock(m_mutex);
  while (!m_closing) {
    if (!reaped) {
      int status = 0;
      const pid_t r = ::waitpid(child, &status, WNOHANG);
      if (r == child || (r < 0 && errno == ECHILD)) {
        reaped = true;
        const bool failed = r == child && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        if (failed && !m_reached) {
          RemovePage();
          lock.unlock();
          if (m_onFailure) m_onFailure();
          lock.lock();
        }
      }
    }
    if (Clock::now() >= until) RemovePage();
    if (reaped && m_page.empty()) return;
    // Quick turns while the program may still fail; slow ones while it only
    // remains to reap it.
    m_cv.wait_for(lock, m_page.empty() ? 1000ms : 50ms);
  }
}

}  // namespace zephrin::server
