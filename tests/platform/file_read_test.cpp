#include "platform/file_read.h"

#include <cerrno>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace zephrin {
namespace {

using test::TempDir;
using test::WriteFile;

// What a failed read says: its status, the system's error number and
// whether it failed reading rather than opening; and that it hands back
// nothing of the file (nor of what `out` held before).
struct FailureCase {
  const char* name;
  std::function<std::string(const TempDir&)> place;  // makes the thing to read; its path
  FileReadStatus status;
  int systemError;
  bool whileReading;
};

class FileReadFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FileReadFailureTest, SaysWhy) {
  const FailureCase& c = GetParam();
  TempDir dir;
  const std::string path = c.place(dir);
  std::string out = "stale";
  FileReadFailure failure{-1, !c.whileReading};
  EXPECT_EQ(ReadRegularFile(path, out, &failure), c.status);
  EXPECT_EQ(out, "");
  EXPECT_EQ(failure.systemError, c.systemError);
  EXPECT_EQ(failure.whileReading, c.whileReading);
  // Without a place for the account the status is the same.
  EXPECT_EQ(ReadRegularFile(path, out), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileReadFailureTest,
    ::testing::Values(
        FailureCase{"Missing", [](const TempDir& d) { return d.file("none.ini"); }, FileReadStatus::kMissing, ENOENT,
                    false},
        FailureCase{"ThroughAFile",
                    [](const TempDir& d) {
                      WriteFile(d.file("f"), "x");
                      return d.file("f/none.ini");
                    },
                    FileReadStatus::kMissing, ENOTDIR, false},
        FailureCase{"Folder",
                    [](const TempDir& d) {
                      ::mkdir(d.file("sub").c_str(), 0755);
                      return d.file("sub");
                    },
                    FileReadStatus::kNotRegular, EISDIR, true},
        FailureCase{"Fifo",
                    [](const TempDir& d) {
                      ::mkfifo(d.file("pipe").c_str(), 0644);
                      return d.file("pipe");
                    },
                    FileReadStatus::kNotRegular, 0, false},
        FailureCase{"LinkLoop",
                    [](const TempDir& d) {
                      ::symlink(d.file("loop").c_str(), d.file("loop").c_str());
                      return d.file("loop");
                    },
                    FileReadStatus::kFailed, ELOOP, false}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(FileRead, ReadsEveryByteAndLeavesTheAccountAlone) {
  TempDir dir;
  const std::string content("a\0b\r\n\xFF", 6);
  WriteFile(dir.file("data.bin"), content);
  std::string out = "stale";
  FileReadFailure failure{7, true};
  EXPECT_EQ(ReadRegularFile(dir.file("data.bin"), out, &failure), FileReadStatus::kOk);
  EXPECT_EQ(out, content);
  EXPECT_EQ(failure.systemError, 7);
  EXPECT_TRUE(failure.whileReading);
}

}  // namespace
}  // namespace zephrin
