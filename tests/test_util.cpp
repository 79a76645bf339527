#include "test_util.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

}  // namespace zephrin::test
