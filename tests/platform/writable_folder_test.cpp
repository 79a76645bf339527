#include "platform/writable_folder.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace zephrin {
namespace {


struct FolderCase {
  const char* name;
  std::optional<std::string> home;     // ZEPHRINIMPORT_HOME, relative to the sandbox
  std::optional<std::string> xdgData;  // XDG_DATA_HOME ("rel:..." for a relative value)
  std::string expected;                // relative to the sandbox
};

class WriteableFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(WriteableFolderTest, PicksTheFolderAndCreatesIt) {
  const FolderCase& c = GetParam();
  TempDir dir;
  auto inSandbox = [&](const std::optional<std::string>& v) -> std::optional<std::string> {
    if (!v) return std::nullopt;
    if (v->rfind("rel:", 0) == 0) return v->substr(4);
    return dir.str() + *v;
  };
  ScopedEnv home("ZEPHRINIMPORT_HOME", inSandbox(c.home));
  ScopedEnv xdg("XDG_DATA_HOME", inSandbox(c.xdgData));
  ScopedEnv userHome("HOME", dir.str() + "/user");
  ScopedEnv tmp("TMPDIR", dir.str());
  RecordingUserInterface ui;

  Expected<WriteableFolder> r = FindWriteableFolder(ui);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->path, dir.str() + c.expected);
  EXPECT_FALSE(r->usingTempFolder);
  EXPECT_TRUE(r->folderWasMissing);
  EXPECT_TRUE(r->created);
  EXPECT_EQ(r->createError, "");
  struct stat st {};
  ASSERT_EQ(stat(r->path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // The second time the folder is there.
  r = FindWriteableFolder(ui);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->path, dir.str() + c.expected);
  EXPECT_FALSE(r->folderWasMissing);
  EXPECT_FALSE(r->created);
  EXPECT_TRUE(ui.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteableFolderTest,
    ::testing::Values(
        FolderCase{"HomeVariableFirst", "/own/store", "/xdg", "/own/store"},
        FolderCase{"TrailingSlashesDropped", "/own/store//", std::nullopt, "/own/store"},
        FolderCase{"DataHome", std::nullopt, "/xdg", "/xdg/zephrinimport"},
        FolderCase{"RelativeDataHomeIgnored", std::nullopt, "rel:xdg", "/user/.local/share/zephrinimport"},
        FolderCase{"UserHome", std::nullopt, std::nullopt, "/user/.local/share/zephrinimport"}),
    [](const auto& info) { return std::string(info.param.name); });

// A ZEPHRINIMPORT_HOME that cannot be made a folder: a private folder of the
// user's serves instead, made with mode 0700 in the session's runtime folder
// or the temporary folder, and without one the user is told. "plain" is a
// file, "ro" a folder that cannot be written.
TEST(WriteableFolder, FallsBackToAPrivateFolder) {
  struct Case {
    const char* home;
    const char* tmp;      // TMPDIR after the sandbox's path
    const char* runtime;  // XDG_RUNTIME_DIR after the sandbox's path; nullptr: unset
    const char* expected; // after the sandbox's path; nullptr: no folder at all
    bool folderWasMissing;
    const char* createError;
  };
  const std::string own = "/zephrinimport-" + std::to_string(geteuid());
  const Case cases[] = {
      {"plain/a/b", "/", nullptr, own.c_str(), true, "Not a directory"},
      {"plain", "", nullptr, own.c_str(), false, ""},
      {"ro/store", "", nullptr, own.c_str(), true, "Permission denied"},
      {"plain/store", "", "/run", "/run/zephrinimport", true, "Not a directory"},
      {"plain/store", "/missing", nullptr, nullptr, true, "Not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.home);
    if (std::string(c.home).starts_with("ro") && geteuid() == 0) continue;  // permissions do not bind the superuser
    TempDir dir;
    WriteFile(dir.file("plain"), "x");
    std::filesystem::create_directory(dir.file("ro"));
    std::filesystem::create_directory(dir.file("run"));
    chmod(dir.file("ro").c_str(), 0555);
    ScopedEnv home("ZEPHRINIMPORT_HOME", dir.file(c.home));
    ScopedEnv tmp("TMPDIR", dir.str() + c.tmp);
    ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime ? std::optional<std::string>(dir.str() + c.runtime) : std::nullopt);
    RecordingUserInterface ui;
    const Expected<WriteableFolder> r = FindWriteableFolder(ui);
    if (!c.expected) {
      EXPECT_EQ(FailureOf(r), "Program was unable to find writeable folder path.");
      ASSERT_EQ(ui.messages().size(), 1u);
      EXPECT_EQ(ui.messages()[0].caption, "Error");
      EXPECT_EQ(ui.messages()[0].text, "Program was unable to find writeable folder path.");
      EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Error);
      continue;
    }
    ASSERT_TRUE(r);
    EXPECT_EQ(r->path, dir.str() + c.expected);
    EXPECT_TRUE(r->usingTempFolder);
    EXPECT_EQ(r->folderWasMissing, c.folderWasMissing);
    EXPECT_FALSE(r->created);
    EXPECT_EQ(r->createError, c.createError);
    EXPECT_TRUE(ui.messages().empty());
    struct stat st {};
    ASSERT_EQ(lstat(r->path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    chmod(dir.file("ro").c_str(), 0755);
  }
}

// A stand-in folder that someone else may have planted is never used: a link
// (even to a folder of the user's), a folder of another user, a folder others
// may write. The read then has no writable folder, and says so.
TEST(WriteableFolder, RefusesAPlantedStandIn) {
  enum Plant { kLink, kOtherOwner, kGroupWritable, kWorldWritable };
  for (const Plant plant : {kLink, kOtherOwner, kGroupWritable, kWorldWritable}) {
    SCOPED_TRACE(static_cast<int>(plant));
    if (plant == kOtherOwner && geteuid() != 0) continue;  // only the superuser can give a folder away
    TempDir dir;
    WriteFile(dir.file("plain"), "x");
    const std::string standIn = dir.str() + "/zephrinimport-" + std::to_string(geteuid());
    std::filesystem::create_directory(dir.file("mine"));
    chmod(dir.file("mine").c_str(), 0700);
    if (plant == kLink) {
      std::filesystem::create_directory_symlink(dir.file("mine"), standIn);
    } else {
      std::filesystem::create_directory(standIn);
      chmod(standIn.c_str(), plant == kGroupWritable ? 0770 : plant == kWorldWritable ? 0777 : 0700);
      if (plant == kOtherOwner) {
        ASSERT_EQ(chown(standIn.c_str(), 65534, 65534), 0);
      }
    }
    ScopedEnv home("ZEPHRINIMPORT_HOME", dir.file("plain") + "/store");
    ScopedEnv tmp("TMPDIR", dir.str());
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    RecordingUserInterface ui;
    const Expected<WriteableFolder> r = FindWriteableFolder(ui);
    EXPECT_FALSE(r);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Program was unable to find writeable folder path.");
    EXPECT_FALSE(std::filesystem::exists(dir.file("mine/import.ini")));
  }
}

}  // namespace
}  // namespace zephrin
