#include "readers/data_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/memory.h"

namespace zephrin {

namespace {

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // Read the whole file; a file that grows while it is read is read as far as
  // it was when the read began.
  text.reserve(static_cast<std::size_t>(st.st_size));
  AdviseHugePages(text.data(), text.capacity());
  text.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      text.clear();
      return false;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(done);
  return true;
}


}  // namespace

bool LoadDataFileText(const std::string& osPath, std::string& text, std::size_t* rawSize) {
  if (!ReadWholeFile(osPath, text)) return false;
  if (rawSize) *rawSize = text.size();
  if (const void* eof = std::memchr(text.data(), '\x1A', text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(eof) - text.data()));
  DataFileTextToAnsi(text);
  return true;
}

}  // namespace zephrin
