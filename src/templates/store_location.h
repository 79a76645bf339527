// Where the template store lives: the writable folder and "import.ini" in it.
#pragma once

#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/user_interface.h"

namespace zephrin {

struct StoreLocation {
  std::string writeableFolder;  // without a trailing "/"
  std::string templateFile;     // writeableFolder + "/import.ini"
  bool usingTempFolder = false;
  // The folder the store would have been in, and why it could not be, when
  // a private temporary folder stands in for it (see WriteableFolder).
  std::string passedOver, passedOverReason;
};

// Finds the writable folder (an error when there is none, see
// FindWriteableFolder) and names the store in it. A folder that did not exist
// is seeded with the "import.ini" of the folder named by "TemplatePath" under
// the classes-root import key, unless a store is there already. With
// `saveTemplatePath` the folder is recorded as "TemplatePath" under the
// current user's import key. A failure to seed or record is not reported.
[[nodiscard]] Expected<StoreLocation> EstablishStoreLocation(UserInterface& ui, bool saveTemplatePath);

// Whether the entry `leaf` of the open folder `folderFd` is one of the
// store's own files: the store under any name (a link to it is followed when
// `followLink` is set), its lock file, or a temporary file a write of it
// renames into place. Nothing but the store's writes may write them.
bool IsStoreEntry(int folderFd, const std::string& leaf, bool followLink, const std::string& storePath);
bool NamesStoreFile(const std::string& path, const std::string& storePath);

}  // namespace zephrin
