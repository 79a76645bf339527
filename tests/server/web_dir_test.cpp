// Where the server finds its pages: $ZEPHRINIMPORT_WEB, the installed folder
// beside the program, or the source tree's.
#include <gtest/gtest.h>

#include <filesystem>

#include "server/web_server.h"
#include "test_util.h"

namespace zephrin::server {
namespace {

TEST(WebDir, InstalledPagesLieBesideTheProgram) {
  test::TempDir root;
  std::filesystem::create_directories(root.path() / "usr/bin");
  std::filesystem::create_directories(root.path() / "usr/share/zephrinimport/web");
  std::filesystem::create_directories(root.path() / "build/share/zephrinimport/web");  // no index.html
  test::WriteFile(root.file("usr/share/zephrinimport/web/index.html"), "<html></html>");
  const struct {
    std::string executable;
    std::string expected;
  } rows[] = {
      {root.file("usr/bin/zephrinimport"), root.file("usr/share/zephrinimport/web")},
      {root.file("build/bin/zephrinimport"), ""},  // a folder without the start page is not the pages
      {root.file("elsewhere/zephrinimport"), ""},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(InstalledWebDir(row.executable), row.expected) << row.executable;
}

TEST(WebDir, EnvironmentOverridesEverything) {
  {
    test::ScopedEnv env("ZEPHRINIMPORT_WEB", "/some/pages");
    EXPECT_EQ(DefaultWebDir(), "/some/pages");
  }
  test::ScopedEnv unset("ZEPHRINIMPORT_WEB", std::nullopt);
  // The test program is not installed: the source tree's pages.
  EXPECT_EQ(DefaultWebDir(), ZEPHRIN_WEB_DIR);
}

}  // namespace
}  // namespace zephrin::server
