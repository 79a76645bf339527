#include "platform/atomic_file.h"

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace zephrin {
namespace {


std::set<std::string> Entries(const TempDir& dir) { return test::FolderEntries(dir.path()); }

TEST(AtomicFile, WritesNewAndReplacesOld) {
  TempDir dir;
  std::string path = dir.file("a.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "first"));
  EXPECT_EQ(ReadFile(path), "first");
  ASSERT_TRUE(WriteFileAtomically(path, std::string("se\0cond", 7)));
  EXPECT_EQ(ReadFile(path), std::string("se\0cond", 7));
  ASSERT_TRUE(WriteFileAtomically(path, ""));
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(Entries(dir), std::set<std::string>{"a.txt"});
}

// The replaced file keeps its permissions; a link is kept, its target replaced.
TEST(AtomicFile, KeepsThePermissionsAndTheLink) {
  TempDir dir;
  std::string path = dir.file("a.txt");
  WriteFile(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  WriteFile(dir.file("real.txt"), "old");
  ASSERT_EQ(symlink(dir.file("real.txt").c_str(), dir.file("link.txt").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(dir.file("link.txt"), "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
  EXPECT_EQ(ReadFile(dir.file("real.txt")), "new");
  // A link to a file not made yet makes it; a link into a missing folder
  // fails as that folder does; the link itself is never replaced.
  ASSERT_EQ(symlink("later.txt", dir.file("ahead.txt").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(dir.file("ahead.txt"), "made"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("ahead.txt")));
  EXPECT_EQ(ReadFile(dir.file("later.txt")), "made");
  ASSERT_EQ(symlink(dir.file("none/x.txt").c_str(), dir.file("nowhere.txt").c_str()), 0);
  EXPECT_EQ(FailureOf(WriteFileAtomically(dir.file("nowhere.txt"), "x")),
            "Cannot create a temporary file in " + dir.file("none") + ": No such file or directory.");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("nowhere.txt")));
}

// A file made read-only is refused, not replaced by a rename, for a user the
// permissions bind; the superuser's change keeps the file's owner.
TEST(AtomicFile, KeepsAReadOnlyFileAndTheOwner) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);  // a folder the other user may write
  const std::string path = dir.file("import.ini");
  WriteFile(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  }
  std::string failure;
  EXPECT_EQ(test::RunInChild(
                [&](std::string& text) {
                  if (root && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
                  text = FailureOf(WriteFileAtomically(path, "new")).value_or("written");
                  return 0;
                },
                &failure),
            0);
  EXPECT_EQ(failure, "Cannot write " + path + ": Permission denied.");
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(Entries(dir), std::set<std::string>{"import.ini"});
  if (!root) return;
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(path), "new");
}

TEST(AtomicFile, FailuresGiveReasons) {
  TempDir dir;
  EXPECT_EQ(FailureOf(WriteFileAtomically(dir.file("none/a.txt"), "x")),
            "Cannot create a temporary file in " + dir.file("none") + ": No such file or directory.");
  std::filesystem::create_directory(dir.file("sub"));
  EXPECT_EQ(FailureOf(WriteFileAtomically(dir.file("sub"), "x")), "Cannot write " + dir.file("sub") + ": it is a folder.");
  EXPECT_EQ(FailureOf(WriteFileAtomically("", "x")), "No file name was given.");
}

// A write cut short by the file size limit leaves the old file and no
// temporary file behind.
TEST(AtomicFile, FailedWriteLeavesOldFile) {
  TempDir dir;
  std::string path = dir.file("a.txt");
  WriteFile(path, "the old content");
  std::string error;
  EXPECT_EQ(test::RunInChild(
                [&](std::string& message) {
                  test::LimitFileSize(8);
                  const Done written = WriteFileAtomically(path, std::string(100, 'n'));
                  if (!written) message = written.error().message;
                  return written ? 1 : 0;
                },
                &error),
            0);
  EXPECT_EQ(error, "Cannot write " + path + ": writing the temporary file failed: File too large.");
  EXPECT_EQ(ReadFile(path), "the old content");
  EXPECT_EQ(Entries(dir), std::set<std::string>{"a.txt"});
}

// Until the commit the new content has no name in the folder: a process
// killed mid-write (SIGKILL, which no handler sees) leaves nothing behind.
TEST(AtomicFile, AProcessKilledMidWriteLeavesNothing) {
  TempDir dir;
  const int probe = open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe < 0) GTEST_SKIP() << "the file system makes no unnamed files";
  close(probe);
  const std::string path = dir.file("a.txt");
  WriteFile(path, "old");
  const int status = test::RunInChild([&](std::string&) {
    AtomicFileWriter writer;
    if (!writer.Begin(path) || !writer.Write(std::string(1 << 20, 'n'))) return 1;
    if (test::FolderEntries(dir.path()) != std::set<std::string>{"a.txt"}) return 2;
    raise(SIGKILL);
    return 3;
  });
  EXPECT_NE(status, 1);
  EXPECT_NE(status, 2);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(Entries(dir), std::set<std::string>{"a.txt"});
  // A writer that commits leaves the new file alone, named as the target.
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Begin(path));
  ASSERT_TRUE(writer.Write("new"));
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(Entries(dir), std::set<std::string>{"a.txt"});
}

TEST(AtomicFile, LockFileIsCreatedAndLocksExclude) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  const Expected<FileLock> lock = FileLock::ForFile(path);
  ASSERT_TRUE(lock) << lock.error().message;
  EXPECT_TRUE(std::filesystem::exists(path + ".lock"));

  // Another process cannot take the lock while this one holds it.
  EXPECT_EQ(test::RunInChild([&](std::string&) {
              const int fd = open((path + ".lock").c_str(), O_RDWR);
              return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1;
            }),
            0);

  EXPECT_EQ(FailureOf(FileLock::Take(dir.file("none/a.lock"))),
            "Cannot open the lock file " + dir.file("none/a.lock") + ": No such file or directory.");

  // Two links to one file, whose writes both go to it, take its one lock.
  std::filesystem::create_directories(dir.file("shared"));
  WriteFile(dir.file("shared/store.ini"), "");
  for (const char* home : {"hA", "hB"}) {
    std::filesystem::create_directories(dir.file(home));
    ASSERT_EQ(symlink("../shared/store.ini", dir.file(std::string(home) + "/import.ini").c_str()), 0);
  }
  {
    const Expected<FileLock> held = FileLock::ForFile(dir.file("hA/import.ini"));
    ASSERT_TRUE(held) << held.error().message;
    EXPECT_EQ(test::RunInChild([&](std::string&) {
                const int fd = open(dir.file("shared/store.ini.lock").c_str(), O_RDWR);
                return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1;
              }),
              0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("hA/import.ini.lock")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("hB/import.ini.lock")));
}

}  // namespace
}  // namespace zephrin
