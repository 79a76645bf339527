#include "platform/file_read.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/unique_fd.h"

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

// Records a failure for the caller that asked for it; returns `status`.
FileReadStatus Fail(FileReadStatus status, FileReadFailure* failure, int err, bool whileReading) {
  if (failure) *failure = FileReadFailure{err, whileReading};
  return status;
}

// Opens `path` for reading as a regular file; sets `size`.
FileReadStatus OpenRegular(const std::string& path, UniqueFd& fd, std::size_t& size, FileReadFailure* failure) {
  // A name with a NUL names no file: the system would open the part before it.
  if (path.find('\0') != std::string::npos) return Fail(FileReadStatus::kMissing, failure, ENOENT, false);
  // O_NONBLOCK: a FIFO named as a file must not hang the call.
  UniqueFd opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!opened.valid()) {
    const int err = errno;
    return Fail(FromErrno(err), failure, err, false);
  }
  struct stat st {};
  if (::fstat(opened.get(), &st) != 0) {
    const int err = errno;
    return Fail(FromErrno(err), failure, err, false);
  }
  if (!S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return Fail(FileReadStatus::kNotRegular, failure, EISDIR, true);
    return Fail(FileReadStatus::kNotRegular, failure, 0, false);
  }
  size = static_cast<std::size_t>(st.st_size);
  if (size >= PhysicalMemory()) return Fail(FileReadStatus::kTooLarge, failure, ENOMEM, true);
  fd = std::move(opened);
  return FileReadStatus::kOk;
}

}  // namespace

// ---- The guard of mapped files ---------------------------------------------------------

namespace {

// The mappings the guard knows: start and length, and whether a page was lost.
// A signal handler reads them, so they are lock-free atomics in a fixed table;
// a read finds a free slot or reads its file instead of mapping it.
struct GuardSlot {
  std::atomic<std::uintptr_t> start{0};
  std::atomic<std::size_t> length{0};
  std::atomic<bool> lost{false};
};
constexpr int kGuardSlots = 64;
GuardSlot g_slots[kGuardSlots];
struct sigaction g_previous {};

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (GuardSlot& slot : g_slots) {
    const std::uintptr_t start = slot.start.load(std::memory_order_acquire);
    const std::size_t length = slot.length.load(std::memory_order_acquire);
    if (start == 0 || address < start || address >= start + length) continue;
    // Zeroed memory in place of the faulting page and every page after it
    // (a file that shrank lost them all); the access then goes on.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = address & ~(page - 1);
    if (::mmap(reinterpret_cast<void*>(from), start + length - from, PROT_READ | PROT_WRITE,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
      break;  // nothing to put there: the fault is not ours to mend
    slot.lost.store(true, std::memory_order_release);
    return;
  }
  // Not a guarded mapping: what was there before decides.
  if (g_previous.sa_flags & SA_SIGINFO) {
    if (g_previous.sa_sigaction != nullptr) g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
    return;
  }
  // The default action: the faulting access runs again and ends the process.
  ::signal(sig, SIG_DFL);
}

bool InstallGuard() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &g_previous) == 0;
  }();
  return installed;
}

int TakeGuardSlot(const char* data, std::size_t length) {
  for (int i = 0; i < kGuardSlots; ++i) {
    std::uintptr_t expected = 0;
    GuardSlot& slot = g_slots[i];
    // The length first: a handler that sees the start sees a length that covers it.
    if (slot.start.load(std::memory_order_relaxed) != 0) continue;
    slot.lost.store(false, std::memory_order_relaxed);
    slot.length.store(length, std::memory_order_release);
    if (slot.start.compare_exchange_strong(expected, reinterpret_cast<std::uintptr_t>(data), std::memory_order_acq_rel))
      return i;
  }
  return -1;
}

// Files smaller than this are read: mapping them saves nothing.
constexpr std::size_t kMapAtLeast = std::size_t{256} << 10;

}  // namespace

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    Release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_mapped = std::exchange(other.m_mapped, false);
    m_guardSlot = std::exchange(other.m_guardSlot, -1);
  }
  return *this;
}

bool FileBytes::lost() const {
  return m_guardSlot >= 0 && g_slots[m_guardSlot].lost.load(std::memory_order_acquire);
}

void FileBytes::Release() {
  if (m_mapped) {
    // Out of the guard first: the address may be mapped again at once.
    if (m_guardSlot >= 0) {
      g_slots[m_guardSlot].start.store(0, std::memory_order_release);
      g_slots[m_guardSlot].length.store(0, std::memory_order_release);
    }
    ::munmap(m_data, m_size);
  } else {
    std::free(m_data);
  }
  m_data = nullptr;
  m_size = 0;
  m_mapped = false;
  m_guardSlot = -1;
}

long long OpenFile::ReadAt(std::size_t offset, char* out, std::size_t n) const {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(m_fd.get(), out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long long>(done);
}

FileReadStatus OpenRegularFile(const std::string& path, OpenFile& out, FileReadFailure* failure) {
  out = OpenFile();
  UniqueFd fd;
  std::size_t size = 0;
  if (const FileReadStatus status = OpenRegular(path, fd, size, failure); status != FileReadStatus::kOk) return status;
  out.m_fd = std::move(fd);
  out.m_size = size;
  return FileReadStatus::kOk;
}

FileReadStatus ReadRegularFile(const OpenFile& file, FileBytes& out, bool map, FileReadFailure* failure) {
  out = FileBytes();
  const std::size_t size = file.m_size;
  if (map && size >= kMapAtLeast && InstallGuard()) {
    // Populated at once: the reader goes through every page anyway.
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.m_fd.get(), 0);
    if (mapped != MAP_FAILED) {
      const int slot = TakeGuardSlot(static_cast<char*>(mapped), size);
      if (slot >= 0) {
        out.m_data = static_cast<char*>(mapped);
        out.m_size = size;
        out.m_mapped = true;
        out.m_guardSlot = slot;
        return FileReadStatus::kOk;
      }
      ::munmap(mapped, size);  // every slot taken: read it instead
    }
  }
  // Memory of its own, not zero-filled first: the read fills it.
  char* data = static_cast<char*>(std::malloc(size + 1));
  if (!data) return Fail(FileReadStatus::kTooLarge, failure, ENOMEM, true);
  out.m_data = data;
  const long long got = file.ReadAt(0, data, size);
  const int readError = errno;
  if (got < 0) {
    out = FileBytes();
    return Fail(FileReadStatus::kFailed, failure, readError, true);
  }
  out.m_size = static_cast<std::size_t>(got);
  return FileReadStatus::kOk;
}

FileReadStatus ReadRegularFile(const std::string& path, FileBytes& out, bool map, FileReadFailure* failure) {
  OpenFile file;
  if (const FileReadStatus status = OpenRegularFile(path, file, failure); status != FileReadStatus::kOk) {
    out = FileBytes();
    return status;
  }
  return ReadRegularFile(file, out, map, failure);
}

FileReadStatus ReadRegularFile(const std::string& path, std::string& out, FileReadFailure* failure) {
  out.clear();
  FileBytes bytes;
  const FileReadStatus status = ReadRegularFile(path, bytes, /*map=*/false, failure);
  if (status == FileReadStatus::kOk) out.assign(bytes.view());
  return status;
}

}  // namespace zephrin
