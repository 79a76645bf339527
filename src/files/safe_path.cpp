#include "files/safe_path.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace zephrin {

namespace {

// The non-empty components of a relative name ("a//b/" gives a, b).
std::vector<std::string_view> Components(std::string_view name) {
  std::vector<std::string_view> parts = SplitText(name, '/');
  std::erase(parts, std::string_view());
  return parts;
}

bool IsSymlinkAt(int folderFd, const std::string& name) {
  struct stat st {};
  return fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// A folder that cannot be opened, in words that name it.
Error FolderFailure(std::string_view shown, int err) {
  return Error::FromErrno(err, "the folder " + PrintablePath(shown) + " cannot be opened");
}

}  // namespace

Done CheckRelativeName(std::string_view name) {
  if (name.empty()) return Refusal("the name is empty");
  if (name.find('\0') != std::string_view::npos) return Refusal("the name holds a NUL character");
  if (name.find_first_of("\r\n") != std::string_view::npos) return Refusal("the name holds a line break");
  if (name.front() == '/') return Refusal("the name is an absolute path");
  const auto parts = Components(name);
  for (std::string_view part : parts) {
    if (part == "..") return Refusal("the name holds a \"..\" component");
    if (part == ".") return Refusal("the name holds a \".\" component");
  }
  if (parts.empty()) return Refusal("the name is the writable folder itself");
  return {};
}

Expected<UniqueFd> OpenFolder(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return FolderFailure(path, errno);
  return fd;
}

Expected<PathTarget> ResolveBeneath(int rootFd, std::string_view relative) {
  if (Done fit = CheckRelativeName(relative); !fit) return fit.TakeError();
  const auto parts = Components(relative);
  UniqueFd current(fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  if (!current.valid()) return Error::FromErrno(errno, "the writable folder cannot be opened");
  std::string walked;
  std::string name;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    name.assign(parts[i]);
    if (!walked.empty()) walked += '/';
    walked += name;
    UniqueFd next(openat(current.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      const int err = errno;
      if (IsSymlinkAt(current.get(), name)) return Refusal("it leads through the symbolic link " + PrintablePath(walked));
      return FolderFailure(walked, err);
    }
    current = std::move(next);
  }
  PathTarget out;
  out.folder = std::move(current);
  out.leaf.assign(parts.back());
  out.trailingSlash = relative.back() == '/';
  return out;
}

Expected<PathTarget> ResolveAsGiven(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") return Error{ErrorCode::kInvalid, "the path names a folder", EISDIR};
  Expected<UniqueFd> fd = OpenFolder(folder);
  if (!fd) return fd.TakeError();
  PathTarget out;
  out.folder = std::move(*fd);
  out.leaf = std::move(leaf);
  out.followLeaf = true;
  return out;
}

Expected<UniqueFd> OpenTarget(const PathTarget& target, int flags, mode_t mode) {
  flags |= O_CLOEXEC;
  if (!target.followLeaf) flags |= O_NOFOLLOW;
  for (;;) {
    UniqueFd fd(openat(target.folder.get(), target.leaf.c_str(), flags, mode));
    if (fd.valid()) return fd;
    if (errno != EINTR) return Error::FromErrno(errno);
  }
}

std::string PrintablePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
      out.push_back(c);
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", u);
        out += buf;
      }
    }
  }
  return out;
}

}  // namespace zephrin
