#include "files/safe_path.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/errno_text.h"

namespace zephrin {

namespace {

// The non-empty components of a relative name ("a//b/" gives a, b).
std::vector<std::string_view> Components(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= name.size()) {
    std::size_t slash = name.find('/', pos);
    if (slash == std::string_view::npos) slash = name.size();
    if (slash > pos) parts.push_back(name.substr(pos, slash - pos));
    pos = slash + 1;
  }
  return parts;
}

bool IsSymlinkAt(int folderFd, const std::string& name) {
  struct stat st {};
  return fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

std::string CheckRelativeName(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.find('\0') != std::string_view::npos) return "the name holds a NUL character";
  if (name.find_first_of("\r\n") != std::string_view::npos) return "the name holds a line break";
  if (name.front() == '/') return "the name is an absolute path";
  const auto parts = Components(name);
  for (std::string_view part : parts) {
    if (part == "..") return "the name holds a \"..\" component";
    if (part == ".") return "the name holds a \".\" component";
  }
  if (parts.empty()) return "the name is the writable folder itself";
  return {};
}

UniqueFd OpenFolder(const std::string& path, int& err) {
  UniqueFd fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  err = fd.valid() ? 0 : errno;
  return fd;
}

ResolveStatus ResolveBeneath(int rootFd, std::string_view relative, PathTarget& out) {
  ResolveStatus status;
  if (std::string bad = CheckRelativeName(relative); !bad.empty()) {
    status.kind = ResolveStatus::kRefused;
    status.reason = std::move(bad);
    return status;
  }
  const auto parts = Components(relative);
  UniqueFd current(fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  if (!current.valid()) {
    status.kind = ResolveStatus::kFailed;
    status.err = errno;
    status.reason = "the writable folder cannot be opened: " + ErrnoText(status.err);
    return status;
  }
  std::string walked;
  std::string name;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    name.assign(parts[i]);
    if (!walked.empty()) walked += '/';
    walked += name;
    UniqueFd next(openat(current.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      const int err = errno;
      if (IsSymlinkAt(current.get(), name)) {
        status.kind = ResolveStatus::kRefused;
        status.reason = "it leads through the symbolic link " + PrintablePath(walked);
      } else {
        status.kind = ResolveStatus::kFailed;
        status.err = err;
        status.reason = "the folder " + PrintablePath(walked) + " cannot be opened: " + ErrnoText(err);
      }
      return status;
    }
    current = std::move(next);
  }
  out.folder = std::move(current);
  out.leaf.assign(parts.back());
  out.followLeaf = false;
  out.trailingSlash = relative.back() == '/';
  return status;
}

ResolveStatus ResolveAsGiven(const std::string& path, PathTarget& out) {
  ResolveStatus status;
  const std::size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") {
    status.kind = ResolveStatus::kFailed;
    status.err = EISDIR;
    status.reason = "the path names a folder";
    return status;
  }
  int err = 0;
  UniqueFd fd = OpenFolder(folder, err);
  if (!fd.valid()) {
    status.kind = ResolveStatus::kFailed;
    status.err = err;
    status.reason = "the folder " + PrintablePath(folder) + " cannot be opened: " + ErrnoText(err);
    return status;
  }
  out.folder = std::move(fd);
  out.leaf = std::move(leaf);
  out.followLeaf = true;
  out.trailingSlash = false;
  return status;
}

int OpenTarget(const PathTarget& target, int flags, mode_t mode, UniqueFd& out) {
  flags |= O_CLOEXEC;
  if (!target.followLeaf) flags |= O_NOFOLLOW;
  for (;;) {
    int fd = openat(target.folder.get(), target.leaf.c_str(), flags, mode);
    if (fd >= 0) {
      out.reset(fd);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

AtomicWriteStatus WriteFileAtomicallyAt(int folderFd, const std::string& leaf, std::string_view content) {
  AtomicWriteStatus status;
  AtomicFileWriter writer;
  if (writer.Begin(folderFd, leaf) != AtomicFileWriter::Outcome::kOk) {
    status.kind = AtomicWriteStatus::kCreateFailed;
    status.err = writer.err();
    return status;
  }
  // The content in place with its folder not flushed is as good as it gets here.
  const bool written = writer.Write(content);
  if (!written || writer.Commit() == AtomicFileWriter::Outcome::kWriteFailed) {
    status.kind = AtomicWriteStatus::kWriteFailed;
    status.err = writer.err();
  }
  return status;
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
