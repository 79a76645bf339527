// Reading a whole regular file: the one way the engine loads a file it reads
// whole (data files, settings files, the pages of the web front end).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace zephrin {

enum class FileReadStatus {
  kOk,
  kMissing,     // no such file (or a folder on the way is missing)
  kNotRegular,  // a folder, a device, a pipe ...
  kDenied,      // no permission
  kFailed,      // any other failure to open or read
  kTooLarge,    // larger than this machine's memory: nothing that reads it whole could keep it
};

// Why a file could not be read, in words ("no such file", "it is a folder", ...).
std::string_view FileReadReason(FileReadStatus status);

// Bytes read from a file, in memory of their own (released with std::free).
struct FileBytes {
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> data;
  std::size_t size = 0;
  std::string_view view() const { return {data ? data.get() : "", size}; }
};

// Reads the regular file at `path` whole, as far as it was when it was opened.
// A folder is kNotRegular, as is a pipe (which is never waited on).
[[nodiscard]] FileReadStatus ReadRegularFile(const std::string& path, FileBytes& out);
[[nodiscard]] FileReadStatus ReadRegularFile(const std::string& path, std::string& out);

// The memory of this machine, in bytes.
std::size_t PhysicalMemory();

}  // namespace zephrin
