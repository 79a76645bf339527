// What a process ended by SIGINT, SIGTERM or SIGHUP removes: the files and
// folders registered at that moment, and nothing else; and the lock files it
// held, without ever letting two processes hold one lock. A signal held back
// while a file is made and registered is handled after both.
#include "platform/signal_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "test_util.h"

namespace zephrin {
namespace {

namespace fs = std::filesystem;
using Kind = RemovedOnSignal::Kind;

TEST(SignalCleanup, RemovesWhatIsRegisteredWhenASignalEndsTheProcess) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    const int status = test::RunInChild([&](std::string&) {
      InstallSignalCleanup();
      for (const char* name : {"kept.txt", "forgotten.txt", "relative.txt", "moved.txt"})
        WriteFile(dir.file(name), "x");
      fs::create_directory(dir.file("folder"));
      WriteFile(dir.file("folder/inside.txt"), "x");
      RemovedOnSignal folder, inside, forgotten, relative, moved;
      folder.Register(AT_FDCWD, dir.file("folder"), Kind::kFolder);
      const int dirFd = open(dir.str().c_str(), O_RDONLY | O_DIRECTORY);
      inside.Register(dirFd, "folder/inside.txt", Kind::kFile);
      forgotten.Register(AT_FDCWD, dir.file("forgotten.txt"), Kind::kFile);
      forgotten.Forget();
      // A relative name is the file it names when registered.
      if (chdir(dir.str().c_str()) != 0) return 1;
      relative.Register(AT_FDCWD, "relative.txt", Kind::kFile);
      if (chdir("/") != 0) return 1;
      RemovedOnSignal first;
      first.Register(AT_FDCWD, dir.file("moved.txt"), Kind::kFile);
      moved = std::move(first);
      raise(sig);
      return 0;
    });
    EXPECT_EQ(status, 128 + sig);
    EXPECT_EQ(test::FolderEntries(dir.path()), (std::set<std::string>{"forgotten.txt", "kept.txt"})) << sig;
  }
}

// A signal that comes while signals are held, between a file's making and its
// registration, is handled once the hold ends: the file is removed, and
// nothing else.
TEST(SignalCleanup, ASignalWhileHeldIsHandledWhenTheHoldEnds) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    const int status = test::RunInChild([&](std::string&) {
      InstallSignalCleanup();
      RemovedOnSignal made;
      {
        const SignalsHeld held;
        WriteFile(dir.file("made.txt"), "x");
        raise(sig);
        made.Register(AT_FDCWD, dir.file("made.txt"), Kind::kFile);
        WriteFile(dir.file("went-on.txt"), "x");
      }
      WriteFile(dir.file("after.txt"), "x");
      return 0;
    });
    EXPECT_EQ(status, 128 + sig);
    EXPECT_EQ(test::FolderEntries(dir.path()), (std::set<std::string>{"went-on.txt"})) << sig;
  }
}

// Under nohup, or as a background job, a signal the program starts with
// ignored stays ignored.
TEST(SignalCleanup, ASignalIgnoredAtTheStartStaysIgnored) {
  TempDir dir;
  const int status = test::RunInChild([&](std::string&) {
    signal(SIGHUP, SIG_IGN);
    InstallSignalCleanup();
    WriteFile(dir.file("a.txt"), "x");
    RemovedOnSignal file;
    file.Register(AT_FDCWD, dir.file("a.txt"), Kind::kFile);
    raise(SIGHUP);
    return 7;
  });
  EXPECT_EQ(status, 7);
  EXPECT_EQ(test::FolderEntries(dir.path()), std::set<std::string>{"a.txt"});
}

// A child that takes the lock, says so on `ready`, and holds it until a
// signal ends it.
pid_t HoldLock(const std::string& path, int ready) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  InstallSignalCleanup();
  const Expected<FileLock> lock = FileLock::Take(path);
  const char said = lock ? 'L' : 'F';
  if (write(ready, &said, 1) != 1) _exit(1);
  for (;;) pause();
}

char Heard(int ready) {
  char said = 0;
  return read(ready, &said, 1) == 1 ? said : 0;
}

// Whether the process has the file open.
bool HasOpen(pid_t pid, const std::string& path) {
  std::error_code ec;
  for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code link;
    if (fs::read_symlink(it->path(), link) == path) return true;
  }
  return false;
}

int EndWith(pid_t pid, int sig) {
  kill(pid, sig);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileLock, AHolderEndedByASignalLeavesTheLockToOneProcessAtATime) {
  TempDir dir;
  const std::string path = dir.file("a.ini.lock");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t first = HoldLock(path, ready[1]);
  ASSERT_EQ(Heard(ready[0]), 'L');
  // The second waits on the file the first created.
  const pid_t second = HoldLock(path, ready[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!HasOpen(second, path) && std::chrono::steady_clock::now() < deadline) usleep(1000);
  ASSERT_TRUE(HasOpen(second, path));
  EXPECT_EQ(EndWith(first, SIGTERM), 128 + SIGTERM);
  // The first removed its lock file; the second locked the path anew ...
  ASSERT_EQ(Heard(ready[0]), 'L');
  ASSERT_TRUE(fs::exists(path));
  // ... so that a third process finds it held.
  const int fd = open(path.c_str(), O_RDWR);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(errno, EWOULDBLOCK);
  close(fd);
  // The second created the file it holds, and removes it too.
  EXPECT_EQ(EndWith(second, SIGINT), 128 + SIGINT);
  EXPECT_EQ(test::FolderEntries(dir.path()), std::set<std::string>{});
  close(ready[0]);
  close(ready[1]);
}

// A lock file another process left in place stays where it is.
TEST(FileLock, ALockFileFoundInPlaceIsKept) {
  TempDir dir;
  const std::string path = dir.file("a.ini.lock");
  WriteFile(path, "");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = HoldLock(path, ready[1]);
  ASSERT_EQ(Heard(ready[0]), 'L');
  EXPECT_EQ(EndWith(holder, SIGHUP), 128 + SIGHUP);
  EXPECT_EQ(test::FolderEntries(dir.path()), std::set<std::string>{"a.ini.lock"});
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
}  // namespace zephrin
