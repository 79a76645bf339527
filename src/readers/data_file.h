// Loading a data file as engine text.
#pragma once

#include <cstddef>
#include <string>

namespace zephrin {

enum class LoadStatus {
  kLoaded,
  kCannotOpen,  // missing, not a regular file, unreadable
  kTooLarge,    // larger than this machine's memory: a read of it cannot be held
};

// Reads the regular file at `osPath` whole and makes it engine text, as the
// files' home platform read text: a Ctrl-Z byte ends the file, and a file of
// valid UTF-8 is converted to Windows-1252 (see DataFileTextToAnsi).
// `rawSize`, when given, receives the size read from the file.
[[nodiscard]] LoadStatus LoadDataFileText(const std::string& osPath, std::string& text,
                                          std::size_t* rawSize = nullptr);

}  // namespace zephrin
