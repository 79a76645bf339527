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

  WriteableFolderResult r = FindWriteableFolder(ui);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.path, dir.str() + c.expected);
  EXPECT_FALSE(r.usingTempFolder);
  EXPECT_TRUE(r.folderWasMissing);
  EXPECT_TRUE(r.created);
  EXPECT_EQ(r.createError, "");
  struct stat st {};
  ASSERT_EQ(stat(r.path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // The second time the folder is there.
  r = FindWriteableFolder(ui);
  EXPECT_EQ(r.path, dir.str() + c.expected);
  EXPECT_FALSE(r.folderWasMissing);
  EXPECT_FALSE(r.created);
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

// A ZEPHRINIMPORT_HOME that cannot be made a folder: the temporary folder
// serves instead, and without one the user is told. "plain" is a file, "ro"
// a folder that cannot be written.
TEST(WriteableFolder, FallsBackToTheTemporaryFolder) {
  struct Case {
    const char* home;
    const char* tmp;  // TMPDIR after the sandbox's path
    bool folderWasMissing;
    const char* createError;  // nullptr: no folder at all
  };
  const Case cases[] = {
      {"plain/a/b", "/", true, "Not a directory"},
      {"plain", "", false, ""},
      {"ro/store", "", true, "Permission denied"},
      {"plain/store", "/missing", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.home);
    if (std::string(c.home).starts_with("ro") && geteuid() == 0) continue;  // permissions do not bind the superuser
    TempDir dir;
    WriteFile(dir.file("plain"), "x");
    std::filesystem::create_directory(dir.file("ro"));
    chmod(dir.file("ro").c_str(), 0555);
    ScopedEnv home("ZEPHRINIMPORT_HOME", dir.file(c.home));
    ScopedEnv tmp("TMPDIR", dir.str() + c.tmp);
    RecordingUserInterface ui;
    WriteableFolderResult r = FindWriteableFolder(ui);
    if (!c.createError) {
      EXPECT_FALSE(r.ok);
      ASSERT_EQ(ui.messages().size(), 1u);
      EXPECT_EQ(ui.messages()[0].caption, "Error");
      EXPECT_EQ(ui.messages()[0].text, "Program was unable to find writeable folder path.");
      EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Error);
      continue;
    }
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir.str());
    EXPECT_TRUE(r.usingTempFolder);
    EXPECT_EQ(r.folderWasMissing, c.folderWasMissing);
    EXPECT_FALSE(r.created);
    EXPECT_EQ(r.createError, c.createError);
    EXPECT_TRUE(ui.messages().empty());
    chmod(dir.file("ro").c_str(), 0755);
  }
}

}  // namespace
}  // namespace zephrin
