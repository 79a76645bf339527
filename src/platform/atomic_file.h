// Crash-safe file replacement and the advisory lock that serialises
// read-modify-write sequences of one file across processes.
#pragma once

#include <string>
#include <string_view>

#include "platform/export.h"
#include "platform/signal_cleanup.h"
#include "platform/unique_fd.h"

namespace zephrin {

// The one way the engine replaces a file: the new content goes to a
// temporary file in the target's folder, is flushed to disk and renamed over
// the target, and the folder is flushed, so that the target holds its old
// content or the new one whatever happens. The content may come in pieces
// (a streamed document), and may be started over (a read that fails after
// it began writing replaces its records with its error document). A signal
// that ends the process meanwhile removes the temporary file
// (platform/signal_cleanup.h).
class ZEPHRIN_API AtomicFileWriter {
 public:
  enum class Outcome {
    kOk,
    kCreateFailed,   // the temporary file could not be made (the target's folder, its rights ...)
    kWriteFailed,    // writing, flushing or renaming failed; the target is as it was
    kNotFlushed,     // the new content is in place, but its folder could not be flushed
  };

  AtomicFileWriter() = default;
  // Abandons an uncommitted replacement: the temporary file is removed.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Starts replacing `leaf` of the open folder `folderFd` (kept open by the
  // caller until Commit). A leaf that is a folder fails with EISDIR.
  [[nodiscard]] Outcome Begin(int folderFd, const std::string& leaf);
  // Starts replacing `path`; a symbolic link is followed and its target replaced.
  [[nodiscard]] Outcome Begin(const std::string& path);
  // Appends a piece; false (with err() set) when it could not be written.
  bool Write(std::string_view piece);
  // Drops everything written so far.
  bool Restart();
  // Flushes, renames over the target, flushes the folder.
  [[nodiscard]] Outcome Commit();
  // The error number of the last failure.
  int err() const { return m_err; }

 private:
  void Abandon();
  int m_folderFd = -1;     // the target's folder (this writer's own, or the caller's)
  UniqueFd m_ownFolder;    // the folder this writer opened itself
  UniqueFd m_fd;           // the temporary file
  std::string m_leaf, m_temp;
  bool m_exists = false;
  unsigned m_mode = 0;
  int m_err = 0;
  RemovedOnSignal m_onSignal;  // the temporary file
};

// Writes `content` to a temporary file in the target's folder, flushes it to
// disk, renames it over `path` and flushes the folder, so that `path` holds
// either its old content or the new one whatever happens. An existing
// target's permissions are kept (a new file gets 0666 less the umask); a
// symbolic link is followed and its target replaced. On failure the temporary
// file is removed, the target is left as it was, and false is returned with
// the reason in *error (when given).
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error = nullptr);

// Removes what writes of `path` that were killed mid-way left behind: its
// temporary files (".import.ini.tmp-*" next to "import.ini"; next to the
// target when `path` is a symbolic link) that were last changed more than
// `minAgeSeconds` ago, so that a write still under way is never disturbed.
// Meant for a holder of the file's lock. Failures are ignored: a file that
// cannot be removed now is tried again by the next write.
void RemoveStaleTempFiles(const std::string& path, long minAgeSeconds);

// Writes all of `content` to `fd`, going on after interrupted writes. On
// failure returns false with the error number in `err`.
ZEPHRIN_API bool WriteAll(int fd, std::string_view content, int& err);

// An exclusive advisory lock (flock) on a separate lock file, e.g.
// "import.ini.lock" next to "import.ini", held from construction until
// destruction. The lock file is created when missing and left in place, so
// every process locks the same file; only a signal that ends the process
// while it holds a lock file it created removes that file
// (platform/signal_cleanup.h). A process that waited for such a file finds
// that its path no longer names the file it locked, and locks the path
// anew. A symbolic link in its place is not followed: the lock then cannot
// be taken. Locks of two objects conflict even within one process, so a
// holder must not lock the same file again.
class FileLock {
 public:
  FileLock() = default;
  // Locks `lockPath`, waiting for another holder to release it.
  explicit FileLock(const std::string& lockPath);
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return m_fd.valid(); }
  // Why the lock could not be taken ("" when locked).
  const std::string& error() const { return m_error; }

  // The lock for a file: path + ".lock".
  static FileLock ForFile(const std::string& path) { return FileLock(path + ".lock"); }

 private:
  // One attempt: 1 locked, 0 the path changed meanwhile, -1 failed.
  int TryLock(const std::string& lockPath);
  void Release();
  UniqueFd m_fd;
  std::string m_error;
  RemovedOnSignal m_created;  // the lock file, when this process created it
};

}  // namespace zephrin
