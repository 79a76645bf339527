// Which paths the file methods accept. The object is scriptable by untrusted
// pages, so a path from the host is taken only when it lies inside the
// writable folder, or when the user chose it in one of this object's file
// dialogs.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

#include "files/file_services.h"
#include "templates/store.h"
#include "templates/store_location.h"

namespace zephrin {

namespace {

constexpr const char* kHardLinked = "it has more than one hard link";
constexpr const char* kStoreFile = "it is a file of the template store";

// A regular file with a second name may be a file outside the writable
// folder that someone linked into it.
bool IsHardLinked(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink > 1; }

Error Refuse(FileServices& service, std::string_view method, std::string_view path, std::string reason) {
  service.tracer().Format("%.*s: refused path %s: %s", static_cast<int>(method.size()), method.data(),
                          PrintablePath(path).c_str(), reason.c_str());
  return Refusal(std::move(reason));
}

// Whether the entry is one of the template store's own files, which the
// file methods never write or delete: the store is the users' work, written
// only whole and under its lock.
bool IsStoreFile(const TemplateStore& store, const PathTarget& target) {
  return store.located() && IsStoreEntry(target.folder.get(), target.leaf, target.followLeaf, store.path());
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

Expected<PathTarget> ResolveHostPath(FileServices& service, std::string_view method, std::string_view path,
                                     HostPathUse use) {
  if (path.find('\0') != std::string_view::npos) return Refuse(service, method, path, "the path holds a NUL character");
  const bool writes = use == HostPathUse::kWrite;
  if (writes && !service.m_store.located()) service.m_locateStore();
  if (service.IsPickedPath(path)) {
    Expected<PathTarget> picked = ResolveAsGiven(std::string(path));
    if (writes && picked && IsStoreFile(service.m_store, *picked)) return Refuse(service, method, path, kStoreFile);
    return picked;
  }

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
  if (Done fit = CheckRelativeName(relative); !fit) return Refuse(service, method, path, fit.error().message);

  const Expected<UniqueFd> root = OpenFolder(folder);
  if (!root) return Error{root.error().code, "the writable folder cannot be opened", root.error().sysErrno};
  Expected<PathTarget> resolved = ResolveBeneath(root->get(), relative);
  if (!resolved) {
    if (IsRefusal(resolved.error())) return Refuse(service, method, path, resolved.error().message);
    return resolved;
  }
  const PathTarget& out = *resolved;
  // The entry itself is never followed (every later step uses O_NOFOLLOW or
  // acts on the entry, not on what it points to); refusing a link here says
  // why instead of failing later.
  struct stat st {};
  const bool exists = fstatat(out.folder.get(), out.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISLNK(st.st_mode)) return Refuse(service, method, path, "it is a symbolic link");
  if (exists && IsHardLinked(st)) return Refuse(service, method, path, kHardLinked);
  if (writes && IsStoreFile(service.m_store, out)) return Refuse(service, method, path, kStoreFile);
  // The components were taken without their slashes; a name that ends with
  // one never names a file, whatever the entry is.
  if (out.trailingSlash) {
    const int err = !exists ? ENOENT : S_ISDIR(st.st_mode) ? EISDIR : ENOTDIR;
    return Error{CodeOfErrno(err), "the name ends with \"/\"", err};
  }
  return resolved;
}

Done AcceptOpenedFile(FileServices& service, std::string_view method, std::string_view path,
                      const PathTarget& target, int fd) {
  if (target.followLeaf) return {};  // a path the user picked is taken as it is
  struct stat st {};
  if (fstat(fd, &st) == 0 && IsHardLinked(st)) return Refuse(service, method, path, kHardLinked);
  return {};
}

}  // namespace zephrin
