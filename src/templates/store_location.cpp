#include "templates/store_location.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/file_read.h"
#include "platform/home_folder.h"
#include "platform/writable_folder.h"
#include "platform/registry.h"
#include "platform/unique_fd.h"

namespace zephrin {

namespace {

constexpr const char* kStoreName = "import.ini";

// The store's file in a folder (given without a trailing "/").
std::string InFolder(const std::string& folder) {
  return folder == "/" ? folder + kStoreName : folder + "/" + kStoreName;
}

// Copies the store of the folder named by "TemplatePath" into a new store,
// unless one is there already. Checked and written under the store's lock so
// that a template saved meanwhile is never overwritten.
void SeedFromTemplatePath(const std::string& templateFile) {
  std::string registered;
  if (!ReadRegistryString(kClassesRootImportKey, "TemplatePath", registered)) return;
  const std::string source = InFolder(WithoutTrailingSlash(std::move(registered)));

  const Expected<FileLock> lock = FileLock::ForFile(templateFile);
  if (!lock) return;
  struct stat st {};
  if (lstat(templateFile.c_str(), &st) == 0) return;
  std::string content;
  if (ReadRegularFile(source, content) != FileReadStatus::kOk) return;
  // A failed copy leaves no store, which reads as empty: nothing to report.
  (void)WriteFileAtomically(templateFile, content);
}

}  // namespace

Expected<StoreLocation> EstablishStoreLocation(UserInterface& ui, bool saveTemplatePath) {
  Expected<WriteableFolder> folder = FindWriteableFolder(ui);
  if (!folder) return folder.TakeError();

  StoreLocation location;
  location.writeableFolder = folder->path;
  location.templateFile = InFolder(folder->path);
  location.usingTempFolder = folder->usingTempFolder;
  location.passedOver = folder->passedOver;
  location.passedOverReason = folder->passedOverReason;

  // Seed the store when the folder is new to us, including when the temporary
  // folder stands in for one that could not be created.
  if (folder->folderWasMissing) SeedFromTemplatePath(location.templateFile);

  if (saveTemplatePath) {
    // As with the registry itself, a failure to record the path is not reported.
    (void)WriteRegistryString(kCurrentUserImportKey, "TemplatePath", location.writeableFolder);
  }
  return location;
}

bool IsStoreEntry(int folderFd, const std::string& leaf, bool followLink, const std::string& storePath) {
  if (storePath.empty()) return false;
  struct stat entry {}, store {};
  if (fstatat(folderFd, leaf.c_str(), &entry, followLink ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
      ::stat(storePath.c_str(), &store) == 0 && entry.st_dev == store.st_dev && entry.st_ino == store.st_ino)
    return true;
  const std::size_t slash = storePath.rfind('/');
  const std::string base = storePath.substr(slash + 1);
  if (base.empty() || (leaf != base && leaf != base + ".lock" && !leaf.starts_with("." + base + ".tmp-"))) return false;
  const std::string storeFolder = slash == std::string::npos ? "." : slash == 0 ? "/" : storePath.substr(0, slash);
  struct stat folder {}, home {};
  return fstat(folderFd, &folder) == 0 && ::stat(storeFolder.c_str(), &home) == 0 && folder.st_dev == home.st_dev &&
         folder.st_ino == home.st_ino;
}

bool NamesStoreFile(const std::string& path, const std::string& storePath) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.valid() && IsStoreEntry(fd.get(), path.substr(slash + 1), true, storePath);
}

}  // namespace zephrin
