#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errno_text.h"

namespace zephrin {

namespace {

// The folder part of a path ("." for a bare file name, "/" for a file in the root).
std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The start of the name of every temporary file of `base`.
std::string TempPrefix(const std::string& base) { return "." + base + ".tmp-"; }

// A file without a name in the folder, to be linked in once it is whole;
// none when the file system cannot make one, or when it could not be named
// later (no /proc to name it through).
UniqueFd OpenUnnamed(int folderFd) {
#ifdef O_TMPFILE
  if (access("/proc/self/fd", X_OK) != 0) return UniqueFd();
  return UniqueFd(openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
#else
  (void)folderFd;
  return UniqueFd();
#endif
}

// A name for the temporary file that no other writer in this or another
// process picks at the same time: pid, a process-wide counter and the clock.
std::string TempName(const std::string& folder, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  unsigned n = counter.fetch_add(1, std::memory_order_relaxed);
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  std::string name = folder;
  if (name.back() != '/') name += '/';
  name += TempPrefix(base);
  name += std::to_string(getpid()) + "-" + std::to_string(n) + "-" +
          std::to_string(static_cast<unsigned long>(ts.tv_nsec));
  return name;
}

// The file a write of `path` replaces: the target of a symbolic link.
// A link whose target does not exist yet names where the target is to be
// made (a target in a missing folder then fails as that folder would): the
// link itself is never replaced by a file.
std::string WrittenPath(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    char resolved[PATH_MAX];
    if (realpath(at.c_str(), resolved)) return resolved;
    const ssize_t n = readlink(at.c_str(), resolved, sizeof resolved - 1);
    if (n <= 0) return at;
    const std::string target(resolved, static_cast<std::size_t>(n));
    at = target.front() == '/' ? target : FolderOf(at) + "/" + target;
  }
  return at;
}

}  // namespace

Done WriteAll(int fd, std::string_view content) {
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return {};
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

void AtomicFileWriter::Abandon() {
  if (m_fd.valid()) {
    m_fd.reset();
    if (!m_temp.empty()) unlinkat(m_folderFd, m_temp.c_str(), 0);
  }
  m_unnamed = false;
  m_temp.clear();
  // After the unlink or the rename: a signal in between finds no file of the name.
  m_onSignal.Forget();
  m_ownFolder.reset();
  m_folderFd = -1;
}

Error AtomicFileWriter::Failure(int err, std::string_view step) const {
  std::string what = "Cannot write " + m_shown;
  if (!step.empty()) what.append(": ").append(step);
  return Error::SentenceFromErrno(err, what);
}

Error AtomicFileWriter::NotBegun() const {
  return Error{ErrorCode::kInternal, "Cannot write " + m_shown + ": the replacement was not begun."};
}

Done AtomicFileWriter::Begin(int folderFd, const std::string& leaf) {
  Abandon();
  m_shown = leaf;
  return BeginIn(folderFd, leaf, "the folder of " + leaf);
}

Done AtomicFileWriter::BeginIn(int folderFd, const std::string& leaf, const std::string& shownFolder) {
  m_folderFd = folderFd;
  m_leaf = leaf;
  struct stat st {};
  m_exists = fstatat(folderFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (m_exists && S_ISDIR(st.st_mode)) return Error{ErrorCode::kInvalid, "Cannot write " + m_shown + ": it is a folder.", EISDIR};
  m_exists = m_exists && S_ISREG(st.st_mode);
  m_mode = m_exists ? (st.st_mode & 07777) : 0;
  // A file its owner made read-only stays as it is: a rename over it would
  // go round that (the superuser, whom permissions do not bind, replaces it).
  if (m_exists && faccessat(folderFd, leaf.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) return Failure(EACCES);
  m_fd = OpenUnnamed(folderFd);
  m_unnamed = m_fd.valid();
  // Else the temporary file is made and registered with the signals held, so
  // that a signal between the two cannot leave it beside the file.
  const SignalsHeld held;
  for (int attempt = 0; attempt < 100 && !m_fd.valid(); ++attempt) {
    m_temp = BaseOf(TempName("/", leaf));
    // A name near the limit of an entry name gets a short temporary name.
    if (m_temp.size() > 250) m_temp = BaseOf(TempName("/", "zephrin"));
    m_fd.reset(openat(folderFd, m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!m_fd.valid() && errno != EEXIST) break;
  }
  if (!m_fd.valid()) {
    return Error::SentenceFromErrno(errno, "Cannot create a temporary file in " + shownFolder);
  }
  if (!m_unnamed) m_onSignal.Register(folderFd, m_temp, RemovedOnSignal::Kind::kFile);
  // The new file takes the owner (where the process may give it, as the
  // superuser may) and the permissions of the one it replaces, so that a
  // store its user keeps stays the user's after the superuser changed it.
  if (m_exists && (st.st_uid != geteuid() || st.st_gid != getegid())) (void)!fchown(m_fd.get(), st.st_uid, st.st_gid);
  if (m_exists && fchmod(m_fd.get(), m_mode) != 0) {
    const Error failed = Failure(errno);
    Abandon();
    return failed;
  }
  return {};
}

Done AtomicFileWriter::Begin(const std::string& pathIn) {
  Abandon();
  m_shown = pathIn;
  // Replace the file a symbolic link points to, not the link itself.
  const std::string path = WrittenPath(pathIn);
  const std::string folder = FolderOf(path);
  UniqueFd own(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!own.valid()) {
    return Error::SentenceFromErrno(errno, "Cannot create a temporary file in " + folder);
  }
  Done begun = BeginIn(own.get(), BaseOf(path), folder);
  if (!begun) {
    Abandon();
    return begun;  // `own` closes the folder
  }
  m_ownFolder = std::move(own);
  return begun;
}

Done AtomicFileWriter::Write(std::string_view piece) {
  if (!m_fd.valid()) return NotBegun();
  if (Done written = WriteAll(m_fd.get(), piece); !written)
    return Failure(written.error().sysErrno, "writing the temporary file failed");
  return {};
}

Done AtomicFileWriter::Restart() {
  if (!m_fd.valid()) return NotBegun();
  if (ftruncate(m_fd.get(), 0) != 0 || lseek(m_fd.get(), 0, SEEK_SET) != 0) return Failure(errno);
  return {};
}

Done AtomicFileWriter::Commit(FolderFlush folderFlush) {
  if (!m_fd.valid()) return NotBegun();
  // Some files (pipes, special file systems) cannot be flushed: taken as they are.
  if (fsync(m_fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
    const Error failed = Failure(errno);
    Abandon();
    return failed;
  }
  if (m_unnamed) {
    if (Done named = NameUnnamed(); !named) {
      Abandon();
      return named;
    }
  }
  if (!m_fd.Close() || renameat(m_folderFd, m_temp.c_str(), m_folderFd, m_leaf.c_str()) != 0) {
    const Error failed = Failure(errno);
    unlinkat(m_folderFd, m_temp.c_str(), 0);
    Abandon();
    return failed;
  }
  // Make the rename itself durable. File systems that cannot flush a folder
  // (EINVAL) are taken as they are.
  Done flushed;
  const UniqueFd folder(openat(m_folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid() && fsync(folder.get()) != 0 && errno != EINVAL && errno != ENOTSUP &&
      folderFlush == FolderFlush::kRequired) {
    flushed = Error::SentenceFromErrno(
        errno, "The new content of " + m_shown + " is in place but its folder could not be flushed");
  }
  Abandon();
  return flushed;
}

// Links the unnamed file into the folder under a temporary name (through
// its /proc entry, which needs no privilege), registered with the signals
// held as a named temporary file is.
Done AtomicFileWriter::NameUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
  const SignalsHeld held;
  for (int attempt = 0; attempt < 100; ++attempt) {
    m_temp = BaseOf(TempName("/", m_leaf));
    if (m_temp.size() > 250) m_temp = BaseOf(TempName("/", "zephrin"));
    if (linkat(AT_FDCWD, self.c_str(), m_folderFd, m_temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      m_onSignal.Register(m_folderFd, m_temp, RemovedOnSignal::Kind::kFile);
      m_unnamed = false;
      return {};
    }
    if (errno != EEXIST) break;
  }
  const Error failed = Failure(errno, "naming the temporary file failed");
  m_temp.clear();
  return failed;
}

Done WriteFileAtomically(const std::string& path, std::string_view content) {
  if (path.empty()) return Error{ErrorCode::kInvalid, "No file name was given."};
  AtomicFileWriter writer;
  if (Done begun = writer.Begin(path); !begun) return begun;
  if (Done written = writer.Write(content); !written) return written;
  return writer.Commit();
}

void RemoveStaleTempFiles(const std::string& pathIn, long minAgeSeconds) {
  if (pathIn.empty()) return;
  const std::string path = WrittenPath(pathIn);
  const std::string folder = FolderOf(path);
  const UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.valid()) RemoveStaleFiles(folderFd.get(), TempPrefix(BaseOf(path)), minAgeSeconds);
}

void RemoveStaleFiles(int folderFdIn, std::string_view prefix, long minAgeSeconds) {
  const UniqueDir dir = ListFolder(UniqueFd(openat(folderFdIn, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
  if (!dir) return;
  const int folderFd = dirfd(dir.get());
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  // The names are taken first, then removed, so the listing never runs over
  // a folder that changes under it.
  std::vector<std::string> stale;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
    struct stat st {};
    if (fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now.tv_sec - st.st_mtim.tv_sec > minAgeSeconds) stale.emplace_back(name);
  }
  for (const std::string& name : stale) unlinkat(folderFd, name.c_str(), 0);
}

Expected<FileLock> FileLock::ForFile(const std::string& path) { return Take(WrittenPath(path) + ".lock"); }

Expected<FileLock> FileLock::Take(const std::string& lockPath) {
  // The path changes under a waiting process only when a holder was ended by
  // a signal; a few tries are plenty.
  FileLock lock;
  for (int attempt = 0; attempt < 100; ++attempt) {
    Expected<bool> locked = lock.TryLock(lockPath);
    if (!locked) return locked.TakeError();
    if (*locked) return lock;
  }
  return Error{ErrorCode::kBusy, "Cannot lock " + lockPath + ": the lock file keeps being replaced."};
}

Expected<bool> FileLock::TryLock(const std::string& lockPath) {
  // Created here, or opened as another process left it.
  UniqueFd fd(open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  const bool created = fd.valid();
  if (!created && errno == EEXIST) {
    fd.reset(open(lockPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT) return false;
  }
  if (!fd.valid()) return Error::SentenceFromErrno(errno, "Cannot open the lock file " + lockPath);
  while (flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return Error::SentenceFromErrno(errno, "Cannot lock " + lockPath);
  }
  // The lock counts only when the path still names the locked file.
  struct stat held {}, named {};
  if (fstat(fd.get(), &held) != 0 || lstat(lockPath.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
      held.st_ino != named.st_ino) {
    return false;
  }
  m_fd = std::move(fd);
  // Removed on a signal only while it is held: a process that locks it
  // after this one checks that it is still in place.
  if (created) m_created.Register(AT_FDCWD, lockPath, RemovedOnSignal::Kind::kFile);
  return true;
}

FileLock::~FileLock() { Release(); }

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::move(other.m_fd)), m_created(std::move(other.m_created)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = std::move(other.m_fd);
    m_created = std::move(other.m_created);
  }
  return *this;
}

void FileLock::Release() {
  // Kept in place once it is no longer held: only a holder may remove it.
  m_created.Forget();
  if (m_fd.valid()) flock(m_fd.get(), LOCK_UN);
  m_fd.reset();
}

}  // namespace zephrin
