// Paths the host hands the file services, opened the way the file system will
// open them.
//
// A name inside the writable folder is never looked up by path: the writable
// folder is opened once, and every folder on the way down is opened relative
// to the one before it with O_NOFOLLOW, so a symbolic link (planted before or
// during the call) cannot lead anywhere, and "..", absolute names and empty
// names are refused before anything is opened. The last step (open, create,
// delete, rename) is made relative to the folder that holds the entry, with
// the *at() calls, so there is no gap between checking a path and using it.
#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/unique_fd.h"

namespace zephrin {

// Why `name`, taken relative to a folder, is refused: "" when it is fine.
// Refused: an empty name, a NUL or a line break anywhere, an absolute name, a
// "." or ".." component, and a name that comes down to the folder itself.
std::string CheckRelativeName(std::string_view name);

// An entry to act on: the folder that holds it, opened, and its name there.
struct PathTarget {
  UniqueFd folder;
  std::string leaf;
  // The entry itself may be a symbolic link to follow (a path the user picked
  // in a file dialog); entries inside the writable folder never are.
  bool followLeaf = false;
  // The name ended with "/" (or "//"): it names a folder, and an open of it
  // as a file fails as the file system fails it (ENOTDIR for a file). The
  // leaf is the last component without the slashes.
  bool trailingSlash = false;
};

// Outcome of resolving a path.
struct ResolveStatus {
  enum Kind { kOk, kRefused, kFailed } kind = kOk;
  std::string reason;  // why it was refused or failed ("" when ok)
  int err = 0;         // errno of a failure
};

// Opens a folder by its path (links followed): the root the walks start from.
UniqueFd OpenFolder(const std::string& path, int& err);

// Resolves `relative` (which must pass CheckRelativeName) beneath the open
// folder `rootFd`: opens each folder on the way with O_NOFOLLOW and hands back
// the last one with the final name (and whether a "/" followed it). A
// component that is a symbolic link is refused; a missing folder on the way
// is a failure.
ResolveStatus ResolveBeneath(int rootFd, std::string_view relative, PathTarget& out);

// The folder and name of a path as given, with links followed: for paths the
// user chose in a file dialog.
ResolveStatus ResolveAsGiven(const std::string& path, PathTarget& out);

// Opens the entry (O_NOFOLLOW unless the target allows following it); the
// flags are those of open(2), O_CLOEXEC is added. Returns 0 or the errno.
int OpenTarget(const PathTarget& target, int flags, mode_t mode, UniqueFd& out);

// Writes `content` to a temporary file in `folderFd`, flushes it, and renames
// it over `leaf`, so the entry holds its old content or the new one whatever
// happens; an existing file keeps its permissions. On failure the temporary
// file is removed and the entry is left as it was.
struct AtomicWriteStatus {
  enum Kind { kOk, kCreateFailed, kWriteFailed } kind = kOk;
  int err = 0;
};
AtomicWriteStatus WriteFileAtomicallyAt(int folderFd, const std::string& leaf, std::string_view content);

// A path for trace lines and messages: control characters are written as
// \n, \r, \t, \0 or \xHH, so one path stays on one line.
std::string PrintablePath(std::string_view path);

}  // namespace zephrin
