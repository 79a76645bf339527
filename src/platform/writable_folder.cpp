#include "platform/writable_folder.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/errno_text.h"
#include "platform/home_folder.h"

namespace zephrin {

namespace {

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(path.c_str(), W_OK | X_OK) == 0;
}

// Why a folder that is no writable folder is none.
std::string WhyNotWritable(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return ErrnoText(errno);
  if (!S_ISDIR(st.st_mode)) return "it is not a folder";
  return access(path.c_str(), W_OK | X_OK) == 0 ? std::string() : ErrnoText(errno);
}

// The folder of the service object the current thread calls, when it has one.
thread_local const std::string* t_objectFolder = nullptr;

// The folder the engine prefers: the object's own, else $ZEPHRINIMPORT_HOME,
// else the user's data folder.
std::string PreferredFolder() {
  if (t_objectFolder && !t_objectFolder->empty()) return WithoutTrailingSlash(*t_objectFolder);
  if (const char* home = std::getenv("ZEPHRINIMPORT_HOME"); home && *home) return WithoutTrailingSlash(home);
  std::string base = XdgBaseFolder("XDG_DATA_HOME", "/.local/share");
  if (base.empty()) return base;
  return base + "/zephrinimport";
}

// The private stand-in for the preferred folder: $XDG_RUNTIME_DIR/zephrinimport
// when the session has a runtime folder, else zephrinimport-UID in the
// temporary folder ($TMPDIR, else /tmp).
std::string PrivateFallbackFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
    return WithoutTrailingSlash(runtime) + "/zephrinimport";
  const char* tmp = std::getenv("TMPDIR");
  const std::string temp = WithoutTrailingSlash(tmp && *tmp ? tmp : "/tmp");
  return (temp == "/" ? std::string() : temp) + "/zephrinimport-" + std::to_string(geteuid());
}

// A folder only this user can change: a folder itself (not a link to one),
// owned by the user, writable by no one else.
bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

WritableFolderScope::WritableFolderScope(const std::string& folder) : m_previous(t_objectFolder) {
  // An object without a folder of its own uses the environment's, even when
  // it is called from inside a call of an object that has one.
  t_objectFolder = folder.empty() ? nullptr : &folder;
}

WritableFolderScope::~WritableFolderScope() { t_objectFolder = m_previous; }

Expected<WriteableFolder> FindWriteableFolder(UserInterface& ui) {
  WriteableFolder result;
  std::string preferred = PreferredFolder();
  if (!preferred.empty()) {
    struct stat st {};
    if (stat(preferred.c_str(), &st) != 0) {
      result.folderWasMissing = true;
      // Created private to the user: it holds the user's templates.
      if (Done made = MakeFolders(preferred, 0700); made) {
        result.created = true;
      } else {
        result.createError = ErrnoText(made.error().sysErrno);
      }
    }
    if (IsWritableFolder(preferred)) {
      result.path = preferred;
      return result;
    }
  }

  // A private folder of the user's serves when the preferred one cannot be
  // had (a service account's home that does not exist, say). Never the
  // shared temporary folder itself: any local user could plant a store there
  // first, or put a link in its place.
  const std::string fallback = PrivateFallbackFolder();
  if (!fallback.empty()) {
    // Made when missing; whatever stands there already must pass the check.
    (void)mkdir(fallback.c_str(), 0700);
    if (IsPrivateFolder(fallback)) {
      result.path = fallback;
      result.usingTempFolder = true;
      result.passedOver = preferred;
      if (!preferred.empty()) result.passedOverReason = result.createError.empty() ? WhyNotWritable(preferred) : result.createError;
      return result;
    }
  }
  static constexpr const char* kNoFolder = "Program was unable to find writeable folder path.";
  ui.ShowMessage("Error", kNoFolder, MessageIcon::Error);
  return Error{ErrorCode::kNotFound, kNoFolder};
}

}  // namespace zephrin
