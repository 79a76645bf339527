// Crash-safe file replacement and the advisory lock that serialises
// read-modify-write sequences of one file across processes.
#pragma once

#include <string>
#include <string_view>

#include "platform/expected.h"
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
  // Whether a commit fails when the new content is in place but its folder
  // could not be flushed (so that the rename might not survive a crash of
  // the system).
  enum class FolderFlush { kRequired, kBestEffort };

  AtomicFileWriter() = default;
  // Abandons an uncommitted replacement: the temporary file is removed.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Starts replacing `leaf` of the open folder `folderFd` (kept open by the
  // caller until Commit). A leaf that is a folder fails with EISDIR.
  [[nodiscard]] Done Begin(int folderFd, const std::string& leaf);
  // Starts replacing `path`; a symbolic link is followed and its target replaced.
  [[nodiscard]] Done Begin(const std::string& path);
  // Appends a piece.
  [[nodiscard]] Done Write(std::string_view piece);
  // Drops everything written so far.
  [[nodiscard]] Done Restart();
  // Flushes, renames over the target, flushes the folder.
  [[nodiscard]] Done Commit(FolderFlush folderFlush = FolderFlush::kRequired);

  // Every error says what failed in words that name the target (the path as
  // given to Begin, or the leaf), and carries the system's error number.

 private:
  Done BeginIn(int folderFd, const std::string& leaf, const std::string& shownFolder);
  // The error of a failed step: "Cannot write TARGET[: step]: the system's words."
  Error Failure(int err, std::string_view step = {}) const;
  Error NotBegun() const;
  void Abandon();
  // Gives the unnamed temporary file a name in the folder, for the rename.
  Done NameUnnamed();
  int m_folderFd = -1;     // the target's folder (this writer's own, or the caller's)
  UniqueFd m_ownFolder;    // the folder this writer opened itself
  UniqueFd m_fd;           // the temporary file
  // The temporary file has no name until the commit (where the file system
  // can make such a file): a process killed before then, even by SIGKILL,
  // leaves nothing behind.
  bool m_unnamed = false;
  std::string m_leaf, m_temp;
  std::string m_shown;     // the target as errors name it
  bool m_exists = false;
  unsigned m_mode = 0;
  RemovedOnSignal m_onSignal;  // the temporary file
};

// Writes `content` to a temporary file in the target's folder, flushes it to
// disk, renames it over `path` and flushes the folder, so that `path` holds
// either its old content or the new one whatever happens. An existing
// target's permissions are kept (a new file gets 0666 less the umask); a
// symbolic link is followed and its target replaced. On failure the temporary
// file is removed and the target is left as it was.
[[nodiscard]] Done WriteFileAtomically(const std::string& path, std::string_view content);

// Removes what writes of `path` that were killed mid-way left behind: its
// temporary files (".import.ini.tmp-*" next to "import.ini"; next to the
// target when `path` is a symbolic link) that were last changed more than
// `minAgeSeconds` ago, so that a write still under way is never disturbed.
// Meant for a holder of the file's lock. Failures are ignored: a file that
// cannot be removed now is tried again by the next write.
void RemoveStaleTempFiles(const std::string& path, long minAgeSeconds);
// The same for the regular files of the open folder `folderFd` whose names
// begin with `prefix` (and go on after it).
void RemoveStaleFiles(int folderFd, std::string_view prefix, long minAgeSeconds);

// Writes all of `content` to `fd`, going on after interrupted writes.
[[nodiscard]] ZEPHRIN_API Done WriteAll(int fd, std::string_view content);

// An exclusive advisory lock (flock) on a separate lock file, e.g.
// "import.ini.lock" next to "import.ini" (next to its target when it is a
// symbolic link), held from construction until
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
  // Locks `lockPath`, waiting for another holder to release it.
  [[nodiscard]] static Expected<FileLock> Take(const std::string& lockPath);
  // The lock for a file: path + ".lock", beside the file a symbolic link
  // leads to (so that writers through two links to one file, whose writes
  // go there, take one lock).
  [[nodiscard]] static Expected<FileLock> ForFile(const std::string& path);

  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  FileLock() = default;
  // One attempt: true when locked, false when the path changed meanwhile.
  Expected<bool> TryLock(const std::string& lockPath);
  void Release();
  UniqueFd m_fd;
  RemovedOnSignal m_created;  // the lock file, when this process created it
};

}  // namespace zephrin
