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

#include "platform/expected.h"
#include "platform/unique_fd.h"

namespace zephrin {

// A path the rules refuse (an absolute or ".." name, a symbolic link on the
// way, a name outside the writable folder, ...) is an error of code kDenied
// that no system call gave: it carries no error number, and its message is
// the reason in words. A path the system fails to open is an error with the
// system's number.
inline Error Refusal(std::string reason) { return Error{ErrorCode::kDenied, std::move(reason)}; }
inline bool IsRefusal(const Error& error) { return error.code == ErrorCode::kDenied && error.sysErrno == 0; }

// Whether `name`, taken relative to a folder, may be used; the refusal says why.
// Refused: an empty name, a NUL or a line break anywhere, an absolute name, a
// "." or ".." component, and a name that comes down to the folder itself.
[[nodiscard]] Done CheckRelativeName(std::string_view name);

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

// Opens a folder by its path (links followed): the root the walks start from.
[[nodiscard]] Expected<UniqueFd> OpenFolder(const std::string& path);

// Resolves `relative` (which must pass CheckRelativeName) beneath the open
// folder `rootFd`: opens each folder on the way with O_NOFOLLOW and hands back
// the last one with the final name (and whether a "/" followed it). A
// component that is a symbolic link is refused; a missing folder on the way
// is a failure.
[[nodiscard]] Expected<PathTarget> ResolveBeneath(int rootFd, std::string_view relative);

// The folder and name of a path as given, with links followed: for paths the
// user chose in a file dialog.
[[nodiscard]] Expected<PathTarget> ResolveAsGiven(const std::string& path);

// Opens the entry (O_NOFOLLOW unless the target allows following it); the
// flags are those of open(2), O_CLOEXEC is added.
[[nodiscard]] Expected<UniqueFd> OpenTarget(const PathTarget& target, int flags, mode_t mode);

// A path for trace lines and messages: control characters are written as
// \n, \r, \t, \0 or \xHH, so one path stays on one line.
std::string PrintablePath(std::string_view path);

}  // namespace zephrin
