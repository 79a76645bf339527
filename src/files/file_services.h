// What the file services of the service object share: the open export file,
// the table of output files, and the rule for the paths a host may name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/safe_path.h"

namespace zephrin {

class CxmlWrapper;

// An export or output file, written as the original platform's text mode
// wrote it: the host's text in engine text (Windows-1252), every "\n" written
// as CR LF. Each write goes straight to the file, so a write that fails is
// reported by the call that made it, and nothing waits in a buffer.
class TextFile {
 public:
  explicit TextFile(UniqueFd fd) : m_fd(std::move(fd)) {}
  ~TextFile() { Close(); }
  TextFile(TextFile&&) = default;
  TextFile& operator=(TextFile&&) = delete;

  // Writes `text` (UTF-8), followed by the line end when `lineEnd` is set.
  // `scratch` is a buffer the caller keeps, so writing allocates nothing once
  // it has grown. True when every byte reached the file.
  bool Write(std::string_view text, bool lineEnd, std::string& scratch);
  // Flushes the file to disk and closes it. True when every write succeeded
  // and the file is safely on disk under its name (false when it was deleted
  // meanwhile, or the flush or the close failed). True when already closed.
  bool Close();
  bool isOpen() const { return m_fd.valid(); }

 private:
  UniqueFd m_fd;
  bool m_failed = false;  // a write lost data: the file is not whole
};

// The export file and the output files of one service object. Files still
// open when the table is destroyed are flushed and closed.
class FileTable {
 public:
  struct OutputFile {
    std::string upperName;           // the name as created, ASCII upper-cased
    std::optional<TextFile> file;    // empty once closed; the entry stays
  };

  std::optional<TextFile> exportFile;
  std::vector<OutputFile> outputs;
  std::string scratch;  // the conversion buffer of every write
};

// Resolves a path the host gave a file method. Accepted are a name inside the
// writable folder (absolute, or relative to that folder) and a path that a
// file picker of this service object returned. Inside the writable folder an
// entry that is a symbolic link, or a regular file with more than one hard
// link (which may be a file outside the folder), is refused. A refusal is
// traced as "<method>: refused path <path>: <reason>". A name that ends with
// "/" comes back as a failure (ENOTDIR, EISDIR or ENOENT, as opening it as a
// file would fail), not a refusal.
ResolveStatus ResolveHostPath(CxmlWrapper& service, std::string_view method, std::string_view path,
                              PathTarget& out);

// For a file opened through ResolveHostPath: false when it is one the file
// methods refuse (a regular file inside the writable folder that has more
// than one hard link, as it may have become after the path was resolved),
// the refusal traced as ResolveHostPath traces it.
bool AcceptOpenedFile(CxmlWrapper& service, std::string_view method, std::string_view path,
                      const PathTarget& target, int fd);

}  // namespace zephrin
