#include "platform/signal_cleanup.h"

#include <atomic>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace zephrin {

namespace {

enum SlotState : int { kFree = 0, kFilling = 1, kSet = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  int folderFd = AT_FDCWD;
  bool folder = false;
  char name[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' state without a lock");

// Enough for every temporary file and lock of one process at a time, a
// server's included.
constexpr int kSlots = 64;
Slot g_slots[kSlots];

// Removes the registered files, then the registered folders (which hold
// some of the files), and ends the process.
extern "C" void OnTerminatingSignal(int sig) {
  for (const bool folders : {false, true}) {
    for (Slot& slot : g_slots) {
      if (slot.state.load(std::memory_order_acquire) == kSet && slot.folder == folders)
        unlinkat(slot.folderFd, slot.name, folders ? AT_REMOVEDIR : 0);
    }
  }
  _exit(128 + sig);
}

// The absolute form of a relative path (the folder may change before a signal).
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return {};
  return std::string(cwd) + "/" + path;
}

}  // namespace

RemovedOnSignal& RemovedOnSignal::operator=(RemovedOnSignal&& other) noexcept {
  if (this != &other) {
    Forget();
    m_slot = other.m_slot;
    other.m_slot = -1;
  }
  return *this;
}

void RemovedOnSignal::Register(int folderFd, const std::string& nameIn, Kind kind) {
  Forget();
  const std::string name = folderFd == AT_FDCWD ? Absolute(nameIn) : nameIn;
  if (name.empty() || name.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = g_slots[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
    slot.folderFd = folderFd;
    slot.folder = kind == Kind::kFolder;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.state.store(kSet, std::memory_order_release);
    m_slot = i;
    return;
  }
}

void RemovedOnSignal::Forget() {
  if (m_slot < 0) return;
  g_slots[m_slot].state.store(kFree, std::memory_order_release);
  m_slot = -1;
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, sig);
  pthread_sigmask(SIG_BLOCK, &held, &m_before);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }

void InstallSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  sigemptyset(&action.sa_mask);
  // One handler runs at a time: another of the signals waits until it ends
  // the process.
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}

}  // namespace zephrin
