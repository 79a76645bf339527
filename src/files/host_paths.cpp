// Which paths the file methods accept. The object is scriptable by untrusted
// pages, so a path from the host is taken only when it lies inside the
// writable folder, or when the user chose it in one of this object's file
// dialogs.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

#include "files/file_services.h"
#include "templates/store.h"

namespace zephrin {

namespace {

constexpr const char* kHardLinked = "it has more than one hard link";

// A regular file with a second name may be a file outside the writable
// folder that someone linked into it.
bool IsHardLinked(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink > 1; }

ResolveStatus Refuse(FileServices& service, std::string_view method, std::string_view path, std::string reason) {
  service.tracer().Format("%.*s: refused path %s: %s", static_cast<int>(method.size()), method.data(),
                          PrintablePath(path).c_str(), reason.c_str());
  ResolveStatus status;
  status.kind = ResolveStatus::kRefused;
  status.reason = std::move(reason);
  return status;
}

}  // namespace

void FileServices::RememberPickedPath(std::string_view path) {
  if (path.empty() || IsPickedPath(path)) return;
  m_pickedPaths.emplace_back(path);
}

bool FileServices::IsPickedPath(std::string_view path) const {
  for (const std::string& picked : m_pickedPaths) {
    if (picked == path) return true;
  }
  return false;
}

ResolveStatus ResolveHostPath(FileServices& service, std::string_view method, std::string_view path,
                              PathTarget& out) {
  if (path.find('\0') != std::string_view::npos) return Refuse(service, method, path, "the path holds a NUL character");
  if (service.IsPickedPath(path)) return ResolveAsGiven(std::string(path), out);

  std::string folder;
  if (service.GetWriteableFolderPath(folder) != kOk || folder.empty()) {
    return Refuse(service, method, path, "there is no writable folder");
  }
  std::string_view relative = path;
  if (path.starts_with('/')) {
    std::string prefix = folder;
    if (prefix.back() != '/') prefix.push_back('/');
    if (!path.starts_with(prefix)) return Refuse(service, method, path, "it is outside the writable folder");
    relative.remove_prefix(prefix.size());
  }
  if (std::string bad = CheckRelativeName(relative); !bad.empty()) return Refuse(service, method, path, bad);

  int err = 0;
  UniqueFd root = OpenFolder(folder, err);
  ResolveStatus status;
  if (!root.valid()) {
    status.kind = ResolveStatus::kFailed;
    status.err = err;
    status.reason = "the writable folder cannot be opened";
    return status;
  }
  status = ResolveBeneath(root.get(), relative, out);
  if (status.kind == ResolveStatus::kRefused) return Refuse(service, method, path, status.reason);
  if (status.kind != ResolveStatus::kOk) return status;
  // The entry itself is never followed (every later step uses O_NOFOLLOW or
  // acts on the entry, not on what it points to); refusing a link here says
  // why instead of failing later.
  struct stat st {};
  const bool exists = fstatat(out.folder.get(), out.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISLNK(st.st_mode)) return Refuse(service, method, path, "it is a symbolic link");
  if (exists && IsHardLinked(st)) return Refuse(service, method, path, kHardLinked);
  // The components were taken without their slashes; a name that ends with
  // one never names a file, whatever the entry is.
  if (out.trailingSlash) {
    status.kind = ResolveStatus::kFailed;
    status.err = !exists ? ENOENT : S_ISDIR(st.st_mode) ? EISDIR : ENOTDIR;
    status.reason = "the name ends with \"/\"";
    out = PathTarget();
  }
  return status;
}

bool AcceptOpenedFile(FileServices& service, std::string_view method, std::string_view path,
                      const PathTarget& target, int fd) {
  if (target.followLeaf) return true;  // a path the user picked is taken as it is
  struct stat st {};
  if (fstat(fd, &st) == 0 && IsHardLinked(st)) {
    Refuse(service, method, path, kHardLinked);
    return false;
  }
  return true;
}

}  // namespace zephrin
