// Where the template store lives: the writable folder and "import.ini" in it.
#pragma once

#include <string>

#include "platform/expected.h"
#include "platform/user_interface.h"

namespace zephrin {

struct StoreLocation {
  std::string writeableFolder;  // without a trailing "/"
  std::string templateFile;     // writeableFolder + "/import.ini"
  bool usingTempFolder = false;
};

// Finds the writable folder (an error when there is none, see
// FindWriteableFolder) and names the store in it. A folder that did not exist
// is seeded with the "import.ini" of the folder named by "TemplatePath" under
// the classes-root import key, unless a store is there already. With
// `saveTemplatePath` the folder is recorded as "TemplatePath" under the
// current user's import key. A failure to seed or record is not reported.
[[nodiscard]] Expected<StoreLocation> EstablishStoreLocation(UserInterface& ui, bool saveTemplatePath);

}  // namespace zephrin
