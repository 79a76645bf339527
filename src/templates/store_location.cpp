#include "templates/store_location.h"

#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/file_read.h"
#include "platform/home_folder.h"
#include "platform/writable_folder.h"
#include "platform/registry.h"

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

  // Seed the store when the folder is new to us, including when the temporary
  // folder stands in for one that could not be created.
  if (folder->folderWasMissing) SeedFromTemplatePath(location.templateFile);

  if (saveTemplatePath) {
    // As with the registry itself, a failure to record the path is not reported.
    (void)WriteRegistryString(kCurrentUserImportKey, "TemplatePath", location.writeableFolder);
  }
  return location;
}

bool IsStoreFileName(const std::string& storePath, std::string_view leaf) {
  const std::string base = storePath.substr(storePath.rfind('/') + 1);
  return !base.empty() && (leaf == base || leaf == base + ".lock" || leaf.starts_with("." + base + ".tmp-"));
}

bool NamesStoreFile(const std::string& path, const std::string& storePath) {
  const auto same = [](const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  };
  const auto folderOf = [](const std::string& p) {
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : p.substr(0, slash);
  };
  if (storePath.empty()) return false;
  if (same(path, storePath)) return true;
  return IsStoreFileName(storePath, std::string_view(path).substr(path.rfind('/') + 1)) &&
         same(folderOf(path), folderOf(storePath));
}

}  // namespace zephrin
