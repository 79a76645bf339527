#include "platform/registry.h"

#include <cstdlib>

#include "platform/errno_text.h"
#include "platform/home_folder.h"
#include "platform/profile.h"

namespace zephrin {

std::string RegistryFilePath() {
  if (const char* path = std::getenv("ZEPHRINIMPORT_REGISTRY"); path && *path) return path;
  std::string base = XdgBaseFolder("XDG_CONFIG_HOME", "/.config");
  if (base.empty()) return base;
  return base + "/zephrinimport/registry.ini";
}

bool ReadRegistryString(std::string_view keyPath, std::string_view valueName, std::string& out) {
  out.clear();
  const std::string path = RegistryFilePath();
  if (path.empty()) return false;
  const Expected<ProfileDocument> doc = ProfileDocument::Load(path);
  if (!doc) return false;
  // Registry values are not limited to a profile buffer: the whole value.
  if (auto value = doc->Find(keyPath, valueName)) out = *value;
  return !out.empty();
}

Done WriteRegistryString(std::string_view keyPath, std::string_view valueName, std::string_view value) {
  const std::string path = RegistryFilePath();
  if (path.empty()) return Error{ErrorCode::kNotFound, "No home folder to keep the registry file in."};
  if (Done fit = CheckProfileTexts(keyPath, valueName, value); !fit) return fit;
  if (std::size_t slash = path.find_last_of('/'); slash != std::string::npos && slash > 0) {
    const std::string folder = path.substr(0, slash);
    if (Done made = MakeFolders(folder, 0700); !made)
      return Error::SentenceFromErrno(made.error().sysErrno, "Cannot create the folder " + folder);
  }
  return WriteProfileString(path, keyPath, valueName, value, false);
}

}  // namespace zephrin
