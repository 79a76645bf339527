// The registry stand-in: one profile file whose section names are key paths
// such as "HKEY_CURRENT_USER\Software\Brenlo\Tallowin\Import" and whose keys are
// the value names. The file is $ZEPHRINIMPORT_REGISTRY when set, else
// $XDG_CONFIG_HOME/zephrinimport/registry.ini, else
// ~/.config/zephrinimport/registry.ini.
#pragma once

#include <string>
#include <string_view>

#include "platform/expected.h"

namespace zephrin {

inline constexpr std::string_view kClassesRootImportKey = "HKEY_CLASSES_ROOT\\Software\\Brenlo\\Tallowin\\Import";
inline constexpr std::string_view kCurrentUserImportKey = "HKEY_CURRENT_USER\\Software\\Brenlo\\Tallowin\\Import";

// The path of the registry file ("" when no home folder can be found).
std::string RegistryFilePath();

// Reads a string value; `out` is "" when the file, key or value is absent.
// Key paths and value names compare without regard to ASCII case. Returns
// true when the value is not empty.
bool ReadRegistryString(std::string_view keyPath, std::string_view valueName, std::string& out);

// Sets a string value, creating the file (and its folder), the key and the
// value when missing. The file is replaced atomically under its lock.
[[nodiscard]] Done WriteRegistryString(std::string_view keyPath, std::string_view valueName, std::string_view value);

}  // namespace zephrin
