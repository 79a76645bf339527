// Small helpers shared by the unit tests.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/expected.h"

namespace zephrin::test {

// A fresh temporary folder, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::string str() const { return m_path.string(); }
  // path() / name as a string.
  std::string file(std::string_view name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// Sets (or, with nullopt, unsets) an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// A fresh folder that ZEPHRINIMPORT_HOME names for the scope.
class ScopedHome : public TempDir {
 public:
  ScopedHome() : m_env("ZEPHRINIMPORT_HOME", str()) {}

 private:
  ScopedEnv m_env;
};

// A writable folder away from the user's own settings, for a fixture to derive
// from: ZEPHRINIMPORT_HOME names `home`, and the registry file and (when traced)
// the trace file lie in `logs`.
struct HomeSandbox {
  explicit HomeSandbox(bool traced = true);
  std::string TraceText() const;
  void ClearTrace() const;

  TempDir home, logs;
  ScopedEnv homeEnv, registryEnv, traceEnv;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view content);
// Path of a file under tests/data.
std::string DataPath(std::string_view name);

// The names in `folder` (not those in its subfolders).
std::set<std::string> FolderEntries(const std::filesystem::path& folder);
// The file's inode number, 0 when it is missing. A store rewritten renames a
// new file over the old one, so an unchanged number means "not rewritten".
ino_t Inode(const std::string& path);
// `s` with its ASCII letters upper-cased, as the store keeps data file names.
std::string Upper(std::string s);
// The Unicode code point of a Windows-1252 byte (the five bytes the code page
// leaves undefined stand for the C1 controls of their value), and the UTF-8
// bytes of a code point below 0x10000.
unsigned Cp1252(unsigned char c);
std::string Utf8(unsigned cp);
// The start of a DIF file of `columns` columns and `rows` rows, up to its data.
std::string DifHeader(int columns, int rows);

// Runs `command` through the shell; its standard output. `status`, when
// given, receives its exit status (-1 when it did not run or end).
std::string RunCommand(const std::string& command, int* status = nullptr);
// Runs `body` in a forked child process. Returns the child's exit status (the
// body's result; 128 + the signal when it was killed); `out`, when given,
// receives the text the body put into its argument.
int RunInChild(const std::function<int(std::string&)>& body, std::string* out = nullptr);
// For a child process: file writes past `bytes` fail with EFBIG (SIGXFSZ is
// ignored) - a full disk.
void LimitFileSize(std::size_t bytes);

// What a test compares of a step that may fail: nullopt when it succeeded,
// else the error's message.
template <class T>
std::optional<std::string> FailureOf(const Expected<T>& result) {
  if (result) return std::nullopt;
  return result.error().message;
}

}  // namespace zephrin::test

// The tests live in namespace zephrin and use these without the prefix.
namespace zephrin {
using test::FailureOf;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;
}  // namespace zephrin
