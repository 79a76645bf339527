// A stand-in for the desktop's opener program: a shell script that writes
// down what it was given (its arguments, the mode of the file and of its
// folder, the file's content), says something on both outputs, and exits
// with a chosen status.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace zephrin::test {

class FakeOpener {
 public:
  // Writes the script as `path`; its records go next to it.
  FakeOpener(const std::string& path, int exitStatus) : m_path(path), m_log(path + ".log") {
    WriteFile(path,
              "#!/bin/sh\n"
              "PATH=/usr/bin:/bin\n"
              "log='" + m_log + "'\n"
              "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$log.args.part\"\n"
              "stat -c %a \"$1\" > \"$log.mode\"\n"
              "stat -c %a \"$(dirname \"$1\")\" > \"$log.foldermode\"\n"
              "cat \"$1\" > \"$log.page\"\n"
              "echo 'opener output'\n"
              "echo 'opener complaint' >&2\n"
              "mv \"$log.args.part\" \"$log.args\"\n"
              "exit " + std::to_string(exitStatus) + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

  const std::string& path() const { return m_path; }
  bool ran() const { return std::filesystem::exists(m_log + ".args"); }
  // Waits (five seconds at most) for the script to have run.
  bool WaitRan() const {
    for (int i = 0; i < 500 && !ran(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ran();
  }
  // Its arguments, $0 first.
  std::vector<std::string> args() const {
    std::vector<std::string> out;
    const std::string text = ReadFile(m_log + ".args");
    for (std::size_t at = 0; at < text.size();) {
      const auto end = text.find('\n', at);
      out.push_back(text.substr(at, end - at));
      at = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
  }
  std::string fileMode() const { return ReadFile(m_log + ".mode"); }
  std::string folderMode() const { return ReadFile(m_log + ".foldermode"); }
  std::string page() const { return ReadFile(m_log + ".page"); }

 private:
  std::string m_path;
  std::string m_log;
};

// Waits (three seconds at most) for `path` to be gone.
inline bool WaitGone(const std::string& path) {
  for (int i = 0; i < 300 && std::filesystem::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !std::filesystem::exists(path);
}

// The forwarding page for `url`, as the browser must get it.
inline std::string ExpectedPage(const std::string& url) {
  return "<!DOCTYPE html>\n"
         "<html lang=\"en\">\n"
         "<head>\n"
         "<meta charset=\"utf-8\">\n"
         "<meta name=\"referrer\" content=\"no-referrer\">\n"
         "<meta http-equiv=\"refresh\" content=\"0; url=" + url + "\">\n"
         "<title>zephrinimport</title>\n"
         "</head>\n"
         "<body>\n"
         "<p><a id=\"go\" href=\"" + url + "\">Open zephrinimport</a></p>\n"
         "<script>window.location.replace(document.getElementById(\"go\").href);</script>\n"
         "</body>\n"
         "</html>\n";
}

}  // namespace zephrin::test
