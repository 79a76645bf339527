#include "templates/store_location.h"

#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/file_read.h"
#include "platform/writable_folder.h"
#include "platform/registry.h"

namespace zephrin {

namespace {

constexpr const char* kStoreName = "import.ini";

// Copies the store of the folder named by "TemplatePath" into a new store,
// unless one is there already. Checked and written under the store's lock so
// that a template saved meanwhile is never overwritten.
void SeedFromTemplatePath(const std::string& templateFile) {
  std::string folder;
  if (!ReadRegistryString(kClassesRootImportKey, "TemplatePath", folder)) return;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string source = folder == "/" ? folder + kStoreName : folder + "/" + kStoreName;

  FileLock lock = FileLock::ForFile(templateFile);
  if (!lock.locked()) return;
  struct stat st {};
  if (lstat(templateFile.c_str(), &st) == 0) return;
  std::string content;
  if (ReadRegularFile(source, content) != FileReadStatus::kOk) return;
  // A failed copy leaves no store, which reads as empty: nothing to report.
  WriteFileAtomically(templateFile, content);
}

}  // namespace

std::optional<StoreLocation> EstablishStoreLocation(UserInterface& ui, bool saveTemplatePath) {
  WriteableFolderResult folder = FindWriteableFolder(ui);
  if (!folder.ok) return std::nullopt;

  StoreLocation location;
  location.writeableFolder = folder.path;
  location.templateFile = folder.path == "/" ? folder.path + kStoreName : folder.path + "/" + kStoreName;
  location.usingTempFolder = folder.usingTempFolder;

  // Seed the store when the folder is new to us, including when the temporary
  // folder stands in for one that could not be created.
  if (folder.folderWasMissing) SeedFromTemplatePath(location.templateFile);

  if (saveTemplatePath) {
    // As with the registry itself, a failure to record the path is not reported.
    WriteRegistryString(kCurrentUserImportKey, "TemplatePath", location.writeableFolder);
  }
  return location;
}

}  // namespace zephrin
