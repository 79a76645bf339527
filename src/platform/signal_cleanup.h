// What an interrupted run must not leave behind. A temporary file, a private
// folder or a lock file is registered while it exists and this process owns
// it; when SIGINT, SIGTERM or SIGHUP arrives, the handler removes every
// registered file, then every registered folder, and ends the process with
// status 128 + the signal number.
//
// The handler only reads a fixed table and calls unlinkat and _exit, all safe
// inside a signal handler: registering takes no lock and the table never
// moves. A slot is claimed and released with atomic operations, and the
// handler reads only slots that are filled in. When the table is full, or a
// name does not fit, the path is not registered (and so not removed).
#pragma once

#include <signal.h>

#include <string>

#include "platform/export.h"

namespace zephrin {

// One registered path, unregistered (not removed) at destruction.
class ZEPHRIN_API RemovedOnSignal {
 public:
  enum class Kind { kFile, kFolder };

  RemovedOnSignal() = default;
  ~RemovedOnSignal() { Forget(); }
  RemovedOnSignal(RemovedOnSignal&& other) noexcept : m_slot(other.m_slot) { other.m_slot = -1; }
  RemovedOnSignal& operator=(RemovedOnSignal&& other) noexcept;
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  // Registers `name` in the folder open as `folderFd` (which must stay open
  // while it is registered), or, with AT_FDCWD, the path `name` (a relative
  // one is made absolute now). Replaces an earlier registration of this object.
  void Register(int folderFd, const std::string& name, Kind kind);
  // Unregisters: the path is no longer removed on a signal.
  void Forget();

 private:
  int m_slot = -1;
};

// Holds SIGINT, SIGTERM and SIGHUP back while it lives (in the calling
// thread), for a path that is made and then registered: a signal that comes
// between the two steps is handled once both are done, so no moment leaves
// the path made and unregistered. Only for steps that do not wait.
class ZEPHRIN_API SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t m_before;
};

// Installs the handler for SIGINT, SIGTERM and SIGHUP. A signal that is
// ignored when the program starts (SIGHUP under nohup, SIGINT of a background
// job) stays ignored.
ZEPHRIN_API void InstallSignalCleanup();

}  // namespace zephrin
