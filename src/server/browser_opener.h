// Opens the address of `zephrinimport serve` in the desktop's browser without
// the token ever being on a command line (which every local user can read) or
// in a shared folder: the opener program is handed the path of a private page
// (mode 0600, in the user's runtime folder) that forwards to the address, and
// the page is removed as soon as the browser has reached the server, after a
// minute at the latest, and when the opener ends.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zephrin::server {

// The page that forwards the browser to `url`: a meta refresh, and a script
// for browsers that ignore it.
std::string ForwardingPage(const std::string& url);

class BrowserOpener {
 public:
  struct Options {
    std::string program = "xdg-open";  // looked up on PATH
    std::chrono::milliseconds keepAtMost{60'000};
  };

  BrowserOpener();
  explicit BrowserOpener(Options options);
  ~BrowserOpener();  // removes the page if it is still there
  BrowserOpener(const BrowserOpener&) = delete;
  BrowserOpener& operator=(const BrowserOpener&) = delete;

  // Opens `url` in the browser, once. `onFailure` is called at most once, at
  // once or later on a thread of the opener's, when no browser could be
  // opened: no desktop (neither DISPLAY nor WAYLAND_DISPLAY), the program
  // missing, or the program failing before the browser reached the server.
  // The program's own output is discarded.
  void Open(const std::string& url, std::function<void()> onFailure);

  // The browser has reached the server: the page has done its work. Cheap;
  // may be called from any thread, any number of times.
  void Reached();

 private:
  bool WritePage(const std::string& url);
  void RemovePage();  // with m_mutex held
  void Watch(pid_t child, std::chrono::steady_clock::time_point until);

  Options m_options;
  std::function<void()> m_onFailure;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::atomic<bool> m_reached{false};
  bool m_closing = false;
  std::string m_page;           // the page's path while it exists
  std::string m_createdFolder;  // a private folder made for it, if any
  std::thread m_watcher;
};

}  // namespace zephrin::server
