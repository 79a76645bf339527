#include "platform/writable_folder.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/errno_text.h"
#include "platform/home_folder.h"

namespace zephrin {

namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(path.c_str(), W_OK | X_OK) == 0;
}

// The folder the engine prefers: $ZEPHRINIMPORT_HOME, else the user's data folder.
std::string PreferredFolder() {
  if (const char* home = std::getenv("ZEPHRINIMPORT_HOME"); home && *home) return WithoutTrailingSlash(home);
  std::string base = XdgBaseFolder("XDG_DATA_HOME", "/.local/share");
  if (base.empty()) return base;
  return base + "/zephrinimport";
}

}  // namespace

WriteableFolderResult FindWriteableFolder(UserInterface& ui) {
  WriteableFolderResult result;
  std::string preferred = PreferredFolder();
  if (!preferred.empty()) {
    struct stat st {};
    if (stat(preferred.c_str(), &st) != 0) {
      result.folderWasMissing = true;
      // Created private to the user: it holds the user's templates.
      int err = MakeFolders(preferred, 0700);
      if (err == 0) {
        result.created = true;
      } else {
        result.createError = ErrnoText(err);
      }
    }
    if (IsWritableFolder(preferred)) {
      result.ok = true;
      result.path = preferred;
      return result;
    }
  }

  // The temporary folder serves when the preferred one cannot be had.
  const char* tmp = std::getenv("TMPDIR");
  std::string temp = WithoutTrailingSlash(tmp && *tmp ? tmp : "/tmp");
  if (IsWritableFolder(temp)) {
    result.ok = true;
    result.path = temp;
    result.usingTempFolder = true;
    return result;
  }
  ui.ShowMessage("Error", "Program was unable to find writeable folder path.", MessageIcon::Error);
  result.ok = false;
  return result;
}

}  // namespace zephrin
