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
  std::string path = RegistryFilePath();
  ProfileDocument doc;
  if (path.empty() || !ProfileDocument::Load(path, doc)) return false;
  // Registry values are not limited to a profile buffer: the whole value.
  if (auto value = doc.Find(keyPath, valueName)) out = *value;
  return !out.empty();
}

bool WriteRegistryString(std::string_view keyPath, std::string_view valueName, std::string_view value,
                         std::string* error) {
  std::string path = RegistryFilePath();
  if (path.empty()) {
    if (error) *error = "No home folder to keep the registry file in.";
    return false;
  }
  std::string bad = CheckProfileTexts(keyPath, valueName, value);
  if (!bad.empty()) {
    if (error) *error = bad;
    return false;
  }
  if (std::size_t slash = path.find_last_of('/'); slash != std::string::npos && slash > 0) {
    std::string folder = path.substr(0, slash);
    if (int err = MakeFolders(folder, 0700); err != 0) {
      if (error) *error = "Cannot create the folder " + folder + ": " + ErrnoText(err) + ".";
      return false;
    }
  }
  return WriteProfileString(path, keyPath, valueName, value, false, error);
}

}  // namespace zephrin
