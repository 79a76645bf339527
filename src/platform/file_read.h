// Reading a whole regular file: the one way the engine loads a file it reads
// whole (data files, settings files, the pages of the web front end).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/export.h"
#include "platform/unique_fd.h"

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

// The system's account of a failure, for messages that quote it: its error
// number, and whether it came when the file was read rather than opened. A
// folder opens and then fails to read (EISDIR), as reading one would; a file
// larger than memory fails for want of it (ENOMEM); other files that are not
// regular carry no number (0).
struct FileReadFailure {
  int systemError = 0;
  bool whileReading = false;
};

class OpenFile;

// The bytes of a file: read into memory of their own, or mapped.
//
// A mapped file that another program shortens while it is mapped would kill
// the process (SIGBUS) when a page past its new end is touched. The mapping
// is guarded: such a fault puts zeroed memory in place of the lost pages and
// marks the bytes `lost()`, so that whoever reads them ends with an error
// instead of a crash or a text made from the zeros.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() { Release(); }

  std::string_view view() const { return {m_data ? m_data : "", m_size}; }
  std::size_t size() const { return m_size; }
  // Whether pages of a mapped file were lost because the file shrank.
  bool lost() const;

 private:
  friend FileReadStatus ReadRegularFile(const OpenFile&, FileBytes&, bool, FileReadFailure*);
  void Release();

  char* m_data = nullptr;
  std::size_t m_size = 0;
  bool m_mapped = false;
  int m_guardSlot = -1;  // the guard's slot of a mapping
};

// A regular file kept open to be read piece by piece.
class OpenFile {
 public:
  // Its size when it was opened.
  std::size_t size() const { return m_size; }
  // Reads up to `n` bytes from `offset` on into `out`: the number read (fewer
  // only at the file's end), or -1 when the file cannot be read.
  long long ReadAt(std::size_t offset, char* out, std::size_t n) const;


 private:
  friend FileReadStatus OpenRegularFile(const std::string&, OpenFile&, FileReadFailure*);
  friend FileReadStatus ReadRegularFile(const OpenFile&, FileBytes&, bool, FileReadFailure*);
  UniqueFd m_fd;
  std::size_t m_size = 0;
};

// Opens the regular file at `path` for reading, with the same refusals as
// ReadRegularFile.
[[nodiscard]] FileReadStatus OpenRegularFile(const std::string& path, OpenFile& out, FileReadFailure* failure = nullptr);
// Reads an open file whole, as ReadRegularFile does.
[[nodiscard]] FileReadStatus ReadRegularFile(const OpenFile& file, FileBytes& out, bool map = false,
                                             FileReadFailure* failure = nullptr);

// Reads the regular file at `path` whole, as far as it was when it was opened.
// A folder is kNotRegular, as is a pipe (which is never waited on). With
// `map`, a file of some size is mapped rather than copied (a data file read
// once from start to end gains most from that); it is read when it cannot be.
// A failure is described in `*failure` when that is given.
[[nodiscard]] FileReadStatus ReadRegularFile(const std::string& path, FileBytes& out, bool map = false,
                                             FileReadFailure* failure = nullptr);
// (Exported for the web server, which serves its pages with it.)
[[nodiscard]] ZEPHRIN_API FileReadStatus ReadRegularFile(const std::string& path, std::string& out,
                                                         FileReadFailure* failure = nullptr);

// The memory of this machine, in bytes.
std::size_t PhysicalMemory();

}  // namespace zephrin
