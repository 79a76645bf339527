#include "templates/store_location.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry.h"
#include "test_util.h"

namespace zephrin {
namespace {


// A sandbox: the folder variables, the registry file and the temporary folder
// all point into one temporary folder.
class StoreLocationTest : public ::testing::Test {
 protected:
  StoreLocationTest()
      : m_home("ZEPHRINIMPORT_HOME", m_dir.file("store")),
        m_xdg("XDG_DATA_HOME", std::nullopt),
        m_runtime("XDG_RUNTIME_DIR", std::nullopt),
        m_registry("ZEPHRINIMPORT_REGISTRY", m_dir.file("registry.ini")),
        m_tmp("TMPDIR", m_dir.file("tmp")) {
    std::filesystem::create_directory(m_dir.file("tmp"));
    std::filesystem::create_directory(m_dir.file("old"));
    WriteFile(m_dir.file("old/import.ini"), "[Import:Layout]\r\n1=OLD\r\n");
  }
  void SetTemplatePath(const std::string& folder) {
    WriteFile(m_dir.file("registry.ini"),
              "[HKEY_CLASSES_ROOT\\Software\\Brenlo\\Tallowin\\Import]\nTemplatePath=" + folder + "\n");
  }

  TempDir m_dir;
  ScopedEnv m_home, m_xdg, m_runtime, m_registry, m_tmp;
  RecordingUserInterface m_ui;
};

TEST_F(StoreLocationTest, NewFolderIsSeededFromTemplatePath) {
  SetTemplatePath(m_dir.file("old") + "/");
  auto location = EstablishStoreLocation(m_ui, false);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->writeableFolder, m_dir.file("store"));
  EXPECT_EQ(location->templateFile, m_dir.file("store") + "/import.ini");
  EXPECT_FALSE(location->usingTempFolder);
  EXPECT_EQ(ReadFile(location->templateFile), "[Import:Layout]\r\n1=OLD\r\n");
  EXPECT_TRUE(m_ui.messages().empty());
  // Not asked to: the registry is left as it was.
  EXPECT_EQ(ReadFile(m_dir.file("registry.ini")),
            "[HKEY_CLASSES_ROOT\\Software\\Brenlo\\Tallowin\\Import]\nTemplatePath=" + m_dir.file("old") + "/\n");
}

// No registry value, a value naming a folder without a store, or a folder
// already there: nothing is seeded.
TEST_F(StoreLocationTest, NothingToSeedFromOrFolderThere) {
  for (const std::string& path : {std::string(), m_dir.file("tmp"), m_dir.file("old")}) {
    std::filesystem::remove_all(m_dir.file("store"));
    if (!path.empty()) SetTemplatePath(path);
    if (path == m_dir.file("old")) std::filesystem::create_directory(m_dir.file("store"));
    auto location = EstablishStoreLocation(m_ui, false);
    ASSERT_TRUE(location);
    EXPECT_FALSE(std::filesystem::exists(location->templateFile)) << path;
  }
  EXPECT_TRUE(m_ui.messages().empty());
}

// A folder that cannot be made: a private folder of the user's stands in,
// without a word (the shared temporary folder itself never does).
TEST_F(StoreLocationTest, UncreatableFolderFallsBackToAPrivateFolder) {
  WriteFile(m_dir.file("plain"), "x");
  ScopedEnv home("ZEPHRINIMPORT_HOME", m_dir.file("plain") + "/store");
  SetTemplatePath(m_dir.file("old"));
  const std::string own = m_dir.file("tmp") + "/zephrinimport-" + std::to_string(geteuid());
  std::filesystem::create_directory(own);
  chmod(own.c_str(), 0700);
  WriteFile(own + "/import.ini", "[Import:Layout]\n1=KEEP\n");
  auto location = EstablishStoreLocation(m_ui, false);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->writeableFolder, own);
  EXPECT_EQ(location->templateFile, own + "/import.ini");
  EXPECT_TRUE(location->usingTempFolder);
  EXPECT_TRUE(m_ui.messages().empty());
  EXPECT_FALSE(std::filesystem::exists(m_dir.file("tmp/import.ini")));
  // A store already there is never overwritten.
  EXPECT_EQ(ReadFile(location->templateFile), "[Import:Layout]\n1=KEEP\n");

  // Without one, the private folder standing in for the new folder is seeded.
  std::filesystem::remove(location->templateFile);
  location = EstablishStoreLocation(m_ui, false);
  ASSERT_TRUE(location);
  EXPECT_EQ(ReadFile(location->templateFile), "[Import:Layout]\r\n1=OLD\r\n");
}

TEST_F(StoreLocationTest, NoFolderAtAll) {
  WriteFile(m_dir.file("plain"), "x");
  ScopedEnv home("ZEPHRINIMPORT_HOME", m_dir.file("plain") + "/store");
  ScopedEnv tmp("TMPDIR", m_dir.file("no-such-tmp"));
  EXPECT_FALSE(EstablishStoreLocation(m_ui, true));
  EXPECT_EQ(m_ui.messages().size(), 1u);  // the folder finder's, as its own test has it
  EXPECT_FALSE(std::filesystem::exists(m_dir.file("registry.ini")));
}

TEST_F(StoreLocationTest, SaveTemplatePathRecordsTheFolder) {
  SetTemplatePath(m_dir.file("old"));
  auto location = EstablishStoreLocation(m_ui, true);
  ASSERT_TRUE(location);
  EXPECT_EQ(ReadFile(m_dir.file("registry.ini")),
            "[HKEY_CLASSES_ROOT\\Software\\Brenlo\\Tallowin\\Import]\nTemplatePath=" + m_dir.file("old") + "\n"
            "[HKEY_CURRENT_USER\\Software\\Brenlo\\Tallowin\\Import]\nTemplatePath=" + m_dir.file("store") + "\n");
  std::string out;
  EXPECT_TRUE(ReadRegistryString(kCurrentUserImportKey, "TemplatePath", out));
  EXPECT_EQ(out, location->writeableFolder);
}

}  // namespace
}  // namespace zephrin
