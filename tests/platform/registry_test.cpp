#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_util.h"

namespace zephrin {
namespace {


TEST(Registry, FileLocationPrecedence) {
  TempDir dir;
  ScopedEnv home("HOME", dir.str());
  {
    ScopedEnv reg("ZEPHRINIMPORT_REGISTRY", dir.file("reg.ini"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("cfg"));
    EXPECT_EQ(RegistryFilePath(), dir.file("reg.ini"));
  }
  ScopedEnv reg("ZEPHRINIMPORT_REGISTRY", std::nullopt);
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("cfg") + "/");
    EXPECT_EQ(RegistryFilePath(), dir.file("cfg") + "/zephrinimport/registry.ini");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");  // not absolute: ignored
    EXPECT_EQ(RegistryFilePath(), dir.str() + "/.config/zephrinimport/registry.ini");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(RegistryFilePath(), dir.str() + "/.config/zephrinimport/registry.ini");
}

TEST(Registry, WriteCreatesFolderAndFileThenReads) {
  TempDir dir;
  ScopedEnv reg("ZEPHRINIMPORT_REGISTRY", std::nullopt);
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("cfg"));
  std::string out = "stale";
  EXPECT_FALSE(ReadRegistryString(kCurrentUserImportKey, "TemplatePath", out));
  EXPECT_EQ(out, "");

  EXPECT_EQ(FailureOf(WriteRegistryString(kCurrentUserImportKey, "TemplatePath", "/home/u/Templates")), std::nullopt);
  std::string path = dir.file("cfg") + "/zephrinimport/registry.ini";
  EXPECT_EQ(ReadFile(path),
            "[HKEY_CURRENT_USER\\Software\\Brenlo\\Tallowin\\Import]\n"
            "TemplatePath=/home/u/Templates\n");
  ASSERT_TRUE(WriteRegistryString(kClassesRootImportKey, "TemplatePath", "/opt/t"));
  ASSERT_TRUE(WriteRegistryString(kCurrentUserImportKey, "TemplatePath", "/srv/New Place"));
  EXPECT_EQ(ReadFile(path),
            "[HKEY_CURRENT_USER\\Software\\Brenlo\\Tallowin\\Import]\n"
            "TemplatePath=/srv/New Place\n"
            "[HKEY_CLASSES_ROOT\\Software\\Brenlo\\Tallowin\\Import]\n"
            "TemplatePath=/opt/t\n");

  // Key paths and value names are found in any case.
  EXPECT_TRUE(ReadRegistryString("hkey_classes_root\\software\\brenlo\\tallowin\\import", "templatepath", out));
  EXPECT_EQ(out, "/opt/t");
  // Values are not cut.
  const std::string longPath = "/" + std::string(400, 'd');
  ASSERT_TRUE(WriteRegistryString(kClassesRootImportKey, "TemplatePath", longPath));
  ASSERT_TRUE(ReadRegistryString(kClassesRootImportKey, "TemplatePath", out));
  EXPECT_EQ(out, longPath);
}

TEST(Registry, UnwritableLocationFailsWithReason) {
  TempDir dir;
  WriteFile(dir.file("plain"), "x");
  ScopedEnv reg("ZEPHRINIMPORT_REGISTRY", dir.file("plain") + "/sub/reg.ini");
  EXPECT_EQ(FailureOf(WriteRegistryString(kCurrentUserImportKey, "TemplatePath", "/x")),
            "Cannot create the folder " + dir.file("plain") + "/sub: Not a directory.");
  EXPECT_EQ(ReadFile(dir.file("plain")), "x");
}

}  // namespace
}  // namespace zephrin
