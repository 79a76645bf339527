// Small helpers shared by the unit tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view content);
// Path of a file under tests/data.
std::string DataPath(std::string_view name);

}  // namespace zephrin::test
