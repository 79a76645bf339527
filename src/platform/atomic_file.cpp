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

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

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
std::string WrittenPath(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
  }
  return path;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool WriteAll(int fd, std::string_view content, int& err) {
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

void AtomicFileWriter::Abandon() {
  if (m_fd >= 0) {
    close(m_fd);
    m_fd = -1;
    unlinkat(m_folderFd, m_temp.c_str(), 0);
  }
  // After the unlink or the rename: a signal in between finds no file of the name.
  m_onSignal.Forget();
  if (m_ownFolderFd >= 0) {
    close(m_ownFolderFd);
    m_ownFolderFd = -1;
  }
  m_folderFd = -1;
}

AtomicFileWriter::Outcome AtomicFileWriter::Begin(int folderFd, const std::string& leaf) {
  Abandon();
  m_folderFd = folderFd;
  m_leaf = leaf;
  struct stat st {};
  m_exists = fstatat(folderFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (m_exists && S_ISDIR(st.st_mode)) {
    m_err = EISDIR;
    return Outcome::kCreateFailed;
  }
  m_exists = m_exists && S_ISREG(st.st_mode);
  m_mode = m_exists ? (st.st_mode & 07777) : 0;
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    m_temp = BaseOf(TempName("/", leaf));
    // A name near the limit of an entry name gets a short temporary name.
    if (m_temp.size() > 250) m_temp = BaseOf(TempName("/", "zephrin"));
    m_fd = openat(folderFd, m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno != EEXIST) break;
  }
  if (m_fd < 0) {
    m_err = errno;
    return Outcome::kCreateFailed;
  }
  m_onSignal.Register(folderFd, m_temp, RemovedOnSignal::Kind::kFile);
  // The new file takes the permissions of the one it replaces.
  if (m_exists && fchmod(m_fd, m_mode) != 0) {
    m_err = errno;
    Abandon();
    return Outcome::kWriteFailed;
  }
  return Outcome::kOk;
}

AtomicFileWriter::Outcome AtomicFileWriter::Begin(const std::string& pathIn) {
  Abandon();
  // Replace the file a symbolic link points to, not the link itself.
  const std::string path = WrittenPath(pathIn);
  const std::string folder = FolderOf(path);
  m_ownFolderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_ownFolderFd < 0) {
    m_err = errno;
    return Outcome::kCreateFailed;
  }
  const int own = m_ownFolderFd;
  m_ownFolderFd = -1;  // Begin(fd, ...) must not close it
  const Outcome outcome = Begin(own, BaseOf(path));
  m_ownFolderFd = own;
  if (outcome != Outcome::kOk) Abandon();
  return outcome;
}

bool AtomicFileWriter::Write(std::string_view piece) {
  if (m_fd < 0) return false;
  return WriteAll(m_fd, piece, m_err);
}

bool AtomicFileWriter::Restart() {
  if (m_fd < 0) return false;
  if (ftruncate(m_fd, 0) != 0 || lseek(m_fd, 0, SEEK_SET) != 0) {
    m_err = errno;
    return false;
  }
  return true;
}

AtomicFileWriter::Outcome AtomicFileWriter::Commit() {
  if (m_fd < 0) return Outcome::kWriteFailed;
  // Some files (pipes, special file systems) cannot be flushed: taken as they are.
  if (fsync(m_fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
    m_err = errno;
    Abandon();
    return Outcome::kWriteFailed;
  }
  const int rc = close(m_fd);
  m_fd = -1;
  if (rc != 0 || renameat(m_folderFd, m_temp.c_str(), m_folderFd, m_leaf.c_str()) != 0) {
    m_err = errno;
    unlinkat(m_folderFd, m_temp.c_str(), 0);
    Abandon();
    return Outcome::kWriteFailed;
  }
  // Make the rename itself durable. File systems that cannot flush a folder
  // (EINVAL) are taken as they are.
  Outcome outcome = Outcome::kOk;
  const int dfd = openat(m_folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    if (fsync(dfd) != 0 && errno != EINVAL && errno != ENOTSUP) {
      m_err = errno;
      outcome = Outcome::kNotFlushed;
    }
    close(dfd);
  }
  Abandon();
  return outcome;
}

bool WriteFileAtomically(const std::string& pathIn, std::string_view content, std::string* error) {
  if (pathIn.empty()) {
    SetError(error, "No file name was given.");
    return false;
  }
  AtomicFileWriter writer;
  switch (writer.Begin(pathIn)) {
    case AtomicFileWriter::Outcome::kOk: break;
    case AtomicFileWriter::Outcome::kCreateFailed:
      if (writer.err() == EISDIR) SetError(error, "Cannot write " + pathIn + ": it is a folder.");
      else SetError(error, "Cannot create a temporary file in " + FolderOf(WrittenPath(pathIn)) + ": " +
                               ErrnoText(writer.err()) + ".");
      return false;
    default:
      SetError(error, "Cannot write " + pathIn + ": " + ErrnoText(writer.err()) + ".");
      return false;
  }
  if (!writer.Write(content)) {
    SetError(error, "Cannot write " + pathIn + ": writing the temporary file failed: " + ErrnoText(writer.err()) + ".");
    return false;
  }
  switch (writer.Commit()) {
    case AtomicFileWriter::Outcome::kOk: return true;
    case AtomicFileWriter::Outcome::kNotFlushed:
      SetError(error, "The new content of " + pathIn + " is in place but its folder could not be flushed: " +
                          ErrnoText(writer.err()) + ".");
      return false;
    default:
      SetError(error, "Cannot write " + pathIn + ": " + ErrnoText(writer.err()) + ".");
      return false;
  }
}

void RemoveStaleTempFiles(const std::string& pathIn, long minAgeSeconds) {
  if (pathIn.empty()) return;
  const std::string path = WrittenPath(pathIn);
  const std::string folder = FolderOf(path);
  const std::string prefix = TempPrefix(BaseOf(path));
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return;
  std::unique_ptr<DIR, DirCloser> dir(fdopendir(folderFd));
  if (!dir) {
    close(folderFd);
    return;
  }
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

FileLock::FileLock(const std::string& lockPath) {
  // The path changes under a waiting process only when a holder was ended by
  // a signal; a few tries are plenty.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int outcome = TryLock(lockPath);
    if (outcome != 0) return;
  }
  m_error = "Cannot lock " + lockPath + ": the lock file keeps being replaced.";
}

int FileLock::TryLock(const std::string& lockPath) {
  // Created here, or opened as another process left it.
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  const bool created = fd >= 0;
  if (!created && errno == EEXIST) {
    fd = open(lockPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return 0;
  }
  if (fd < 0) {
    m_error = "Cannot open the lock file " + lockPath + ": " + ErrnoText(errno) + ".";
    return -1;
  }
  while (flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    m_error = "Cannot lock " + lockPath + ": " + ErrnoText(errno) + ".";
    close(fd);
    return -1;
  }
  // The lock counts only when the path still names the locked file.
  struct stat held {}, named {};
  if (fstat(fd, &held) != 0 || lstat(lockPath.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
      held.st_ino != named.st_ino) {
    close(fd);
    return 0;
  }
  m_fd = fd;
  // Removed on a signal only while it is held: a process that locks it
  // after this one checks that it is still in place.
  if (created) m_created.Register(AT_FDCWD, lockPath, RemovedOnSignal::Kind::kFile);
  return 1;
}

FileLock::~FileLock() { Release(); }

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(other.m_fd), m_error(std::move(other.m_error)), m_created(std::move(other.m_created)) {
  other.m_fd = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = other.m_fd;
    m_error = std::move(other.m_error);
    m_created = std::move(other.m_created);
    other.m_fd = -1;
  }
  return *this;
}

void FileLock::Release() {
  // Kept in place once it is no longer held: only a holder may remove it.
  m_created.Forget();
  if (m_fd >= 0) {
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
  }
}

}  // namespace zephrin
