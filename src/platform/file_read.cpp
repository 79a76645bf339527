#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/memory.h"

namespace zephrin {

std::size_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return SIZE_MAX;
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
}

std::string_view FileReadReason(FileReadStatus status) {
  switch (status) {
    case FileReadStatus::kOk: return "";
    case FileReadStatus::kMissing: return "no such file";
    case FileReadStatus::kNotRegular: return "it is not a regular file";
    case FileReadStatus::kDenied: return "permission denied";
    case FileReadStatus::kFailed: return "it cannot be read";
    case FileReadStatus::kTooLarge: return "it is larger than this machine's memory";
  }
  return "";
}

namespace {

FileReadStatus FromErrno(int err) {
  if (err == ENOENT || err == ENOTDIR) return FileReadStatus::kMissing;
  if (err == EACCES || err == EPERM) return FileReadStatus::kDenied;
  if (err == EISDIR) return FileReadStatus::kNotRegular;
  return FileReadStatus::kFailed;
}

// Opens `path` for reading as a regular file; sets `size`.
FileReadStatus OpenRegular(const std::string& path, int& fd, std::size_t& size) {
  // O_NONBLOCK: a FIFO named as a file must not hang the call.
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return FromErrno(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return FromErrno(err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return FileReadStatus::kNotRegular;
  }
  size = static_cast<std::size_t>(st.st_size);
  if (size >= PhysicalMemory()) {
    ::close(fd);
    return FileReadStatus::kTooLarge;
  }
  return FileReadStatus::kOk;
}

// Reads up to `size` bytes into `data`; the number read, or -1.
long long ReadAll(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;  // the file shrank meanwhile: what is there is what is read
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long long>(done);
}

}  // namespace

FileReadStatus ReadRegularFile(const std::string& path, FileBytes& out) {
  out = FileBytes();
  int fd = -1;
  std::size_t size = 0;
  if (const FileReadStatus status = OpenRegular(path, fd, size); status != FileReadStatus::kOk) return status;
  // Memory of its own, not zero-filled first: the read fills it.
  char* data = static_cast<char*>(std::malloc(size + 1));
  if (!data) {
    ::close(fd);
    return FileReadStatus::kTooLarge;
  }
  out.data.reset(data);
  AdviseHugePages(data, size);
  const long long got = ReadAll(fd, data, size);
  ::close(fd);
  if (got < 0) {
    out = FileBytes();
    return FileReadStatus::kFailed;
  }
  out.size = static_cast<std::size_t>(got);
  return FileReadStatus::kOk;
}

FileReadStatus ReadRegularFile(const std::string& path, std::string& out) {
  out.clear();
  FileBytes bytes;
  const FileReadStatus status = ReadRegularFile(path, bytes);
  if (status == FileReadStatus::kOk) out.assign(bytes.view());
  return status;
}

}  // namespace zephrin
