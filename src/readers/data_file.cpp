#include "readers/data_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/memory.h"

namespace zephrin {

namespace {

// The memory of this machine: a file larger than that cannot be read whole,
// nor its result text held.
uint64_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return UINT64_MAX;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

// Reads a whole regular file.
LoadStatus ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LoadStatus::kCannotOpen;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return LoadStatus::kCannotOpen;
  }
  if (static_cast<uint64_t>(st.st_size) >= PhysicalMemory()) {
    ::close(fd);
    return LoadStatus::kTooLarge;
  }
  // Read the whole file; a file that grows while it is read is read as far as
  // it was when the read began.
  try {
    text.reserve(static_cast<std::size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return LoadStatus::kTooLarge;
  }
  AdviseHugePages(text.data(), text.capacity());
  text.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      text.clear();
      return LoadStatus::kCannotOpen;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(done);
  return LoadStatus::kLoaded;
}


}  // namespace

LoadStatus LoadDataFileText(const std::string& osPath, std::string& text, std::size_t* rawSize) {
  if (const LoadStatus status = ReadWholeFile(osPath, text); status != LoadStatus::kLoaded) return status;
  if (rawSize) *rawSize = text.size();
  if (const void* eof = std::memchr(text.data(), '\x1A', text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(eof) - text.data()));
  DataFileTextToAnsi(text);
  return LoadStatus::kLoaded;
}

}  // namespace zephrin
