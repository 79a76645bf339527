// The user's home and base folders.
#pragma once

#include <string>

#include "platform/expected.h"
#include "platform/export.h"

namespace zephrin {

// `path` without the slashes at its end ("/" stays as it is).
std::string WithoutTrailingSlash(std::string path);

// $HOME when set and not empty, else the password database's home folder;
// "" when neither gives one.
ZEPHRIN_API std::string HomeFolder();

// An XDG base folder: the environment variable `envName` when it holds an
// absolute path, else the home folder followed by `homeRelative`
// (e.g. "/.config"); "" when there is no home folder. No trailing "/".
std::string XdgBaseFolder(const char* envName, const char* homeRelative);

// Creates a folder and its missing parents (like "mkdir -p"). The error is
// that of the first level that could not be created, in the system's words.
[[nodiscard]] Done MakeFolders(const std::string& path, unsigned mode);

}  // namespace zephrin
