#include "platform/home_folder.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zephrin {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return WithoutTrailingSlash(home);
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      *found->pw_dir) {
    return WithoutTrailingSlash(found->pw_dir);
  }
  return std::string();
}

std::string XdgBaseFolder(const char* envName, const char* homeRelative) {
  // Relative values are invalid by the base-folder convention and ignored.
  if (const char* value = std::getenv(envName); value && value[0] == '/') return WithoutTrailingSlash(value);
  std::string home = HomeFolder();
  if (home.empty()) return home;
  if (home == "/") home.clear();
  return home + homeRelative;
}

Done MakeFolders(const std::string& path, unsigned mode) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? Done() : Error::FromErrno(ENOTDIR);
  // Create one level at a time, from the first missing one down.
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    std::string level = path.substr(0, pos);
    if (level.empty() || level.back() == '/') continue;
    if (mkdir(level.c_str(), static_cast<mode_t>(mode)) == 0) continue;
    const int err = errno;
    if (err == EEXIST) {
      if (stat(level.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
      return Error::FromErrno(ENOTDIR);
    }
    return Error::FromErrno(err);
  }
  return {};
}

}  // namespace zephrin
