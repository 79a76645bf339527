// An open file descriptor with one owner, closed when the owner lets it go:
// no path through a function can leave a descriptor open, and a close whose
// failure matters (a written file's) is made where it can be reported. The
// same for the listing of an open folder.
#pragma once

#include <memory>
#include <utility>

#include <dirent.h>
#include <unistd.h>

#include "platform/expected.h"

namespace zephrin {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  int release() { return std::exchange(m_fd, -1); }
  // Closes the descriptor held (if any) and takes `fd`.
  void reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  // Closes the descriptor held, saying whether the close succeeded (a file
  // system may report a lost write only here). Nothing held closes fine.
  [[nodiscard]] Done Close() {
    if (m_fd < 0) return {};
    if (::close(release()) != 0) return Error::FromErrno(errno);
    return {};
  }

 private:
  int m_fd = -1;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// The listing of the open folder `fd`, which it takes over; nullptr (and the
// folder closed) when there can be none.
inline UniqueDir ListFolder(UniqueFd fd) {
  UniqueDir dir(fdopendir(fd.get()));
  if (dir) fd.release();
  return dir;
}

}  // namespace zephrin
