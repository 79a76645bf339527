// The browser opener of `serve --open`: what the opener program is handed,
// the private page, its removal, and the single failure report.
#include "server/browser_opener.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <optional>

#include "server/fake_opener.h"
#include "test_util.h"

namespace zephrin::server {
namespace {

using namespace std::chrono_literals;
using test::ExpectedPage;
using test::FakeOpener;
using test::WaitGone;

const std::string kUrl = "http://127.0.0.1:4711/?token=0123456789abcdef0123456789abcdef";

std::size_t Entries(const std::string& folder) { return test::FolderEntries(folder).size(); }

// The forwarding pages in a folder.
std::size_t Pages(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    n += e.path().filename().string().starts_with("zephrinimport-open-");
  return n;
}

std::string ModeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "missing";
  char text[8];
  std::snprintf(text, sizeof text, "%o", st.st_mode & 07777);
  return text;
}

// The environment of a desktop session whose runtime folder is `runtime`.
struct Desktop {
  explicit Desktop(const std::string& runtime, const char* display = ":0", const char* wayland = nullptr)
      : m_display("DISPLAY", display ? std::optional<std::string>(display) : std::nullopt),
        m_wayland("WAYLAND_DISPLAY", wayland ? std::optional<std::string>(wayland) : std::nullopt),
        m_runtime("XDG_RUNTIME_DIR", runtime) {}
  ScopedEnv m_display, m_wayland, m_runtime;
};

TEST(BrowserOpener, HandsTheProgramOnlyThePathOfAPrivateForwardingPage) {
  struct Case {
    const char* display;
    const char* wayland;
  };
  for (const Case c : {Case{":0", nullptr}, Case{nullptr, "wayland-0"}}) {
    SCOPED_TRACE(c.display ? "X11" : "Wayland");
    TempDir dir;
    ASSERT_EQ(ModeOf(dir.str()), "700");
    Desktop desktop(dir.str(), c.display, c.wayland);
    FakeOpener fake(dir.file("open"), 0);
    std::atomic<int> failures{0};
    {
      BrowserOpener opener({fake.path(), 60s});
      opener.Open(kUrl, [&] { ++failures; });
      ASSERT_TRUE(fake.WaitRan());
      const auto args = fake.args();
      ASSERT_EQ(args.size(), 2u);
      EXPECT_EQ(args[0], fake.path());
      const std::filesystem::path page = args[1];
      EXPECT_EQ(page.parent_path(), dir.path());
      EXPECT_TRUE(page.filename().string().starts_with("zephrinimport-open-")) << page;
      EXPECT_EQ(page.extension(), ".html");
      EXPECT_EQ(args[1].find("0123456789abcdef"), std::string::npos);
      EXPECT_EQ(fake.fileMode(), "600\n");
      EXPECT_EQ(fake.page(), ExpectedPage(kUrl));
      EXPECT_TRUE(std::filesystem::exists(page));

      opener.Reached();  // the browser came: the page goes at once
      EXPECT_FALSE(std::filesystem::exists(page));
      opener.Reached();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Pages(dir.str()), 0u);
  }
}

// The address sits in two attribute values: what could end or break one is
// escaped there.
TEST(BrowserOpener, ForwardingPageEscapesTheAddressAsAnAttribute) {
  EXPECT_EQ(ForwardingPage(kUrl), ExpectedPage(kUrl));
  EXPECT_EQ(ForwardingPage("http://[::1]:4711/?a=1&b=\"x\"<y>"),
            ExpectedPage("http://[::1]:4711/?a=1&amp;b=&quot;x&quot;&lt;y>"));
}

// Without the browser coming, the page goes when its time is up, or when the
// opener ends before that.
TEST(BrowserOpener, RemovesThePageWhenItsTimeIsUpOrItEnds) {
  for (const auto lifetime : {300ms, 60000ms}) {
    TempDir dir;
    Desktop desktop(dir.str());
    FakeOpener fake(dir.file("open"), 0);
    std::string page;
    {
      BrowserOpener opener({fake.path(), lifetime});
      opener.Open(kUrl, [] {});
      ASSERT_TRUE(fake.WaitRan());
      ASSERT_EQ(fake.args().size(), 2u);
      page = fake.args()[1];
      if (lifetime == 300ms) {
        EXPECT_TRUE(WaitGone(page));
      } else {
        EXPECT_TRUE(std::filesystem::exists(page));
      }
    }
    EXPECT_FALSE(std::filesystem::exists(page));
  }
}

// Without a private runtime folder the page goes into a private folder of
// its own under the temporary folder, removed with it.
TEST(BrowserOpener, MakesAPrivateFolderWhenTheRuntimeFolderIsNotPrivate) {
  TempDir dir;
  const std::string shared = dir.file("shared");
  std::filesystem::create_directory(shared);
  std::filesystem::permissions(shared, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
  const std::string tmp = dir.file("tmp");
  std::filesystem::create_directory(tmp);
  for (const std::optional<std::string>& runtime :
       {std::optional<std::string>(shared), std::optional<std::string>(), std::optional<std::string>("relative")}) {
    SCOPED_TRACE(runtime.value_or("(unset)"));
    ScopedEnv display("DISPLAY", ":0");
    ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime);
    ScopedEnv tmpdir("TMPDIR", tmp);
    FakeOpener fake(dir.file("open"), 0);
    std::filesystem::remove(dir.file("open.log.args"));
    BrowserOpener opener({fake.path(), 60s});
    opener.Open(kUrl, [] {});
    ASSERT_TRUE(fake.WaitRan());
    ASSERT_EQ(fake.args().size(), 2u);
    const std::filesystem::path page = fake.args()[1];
    EXPECT_EQ(page.parent_path().parent_path(), tmp);
    EXPECT_TRUE(page.parent_path().filename().string().starts_with("zephrinimport-")) << page;
    EXPECT_EQ(fake.folderMode(), "700\n");
    EXPECT_EQ(fake.fileMode(), "600\n");
    EXPECT_EQ(fake.page(), ExpectedPage(kUrl));
    opener.Reached();
    EXPECT_EQ(Entries(tmp), 0u);
    EXPECT_EQ(Entries(shared), 0u);
  }
}

// No desktop, no program, or a program that fails: one report, no page left.
TEST(BrowserOpener, ReportsOnceWhenNoBrowserCanBeOpened) {
  struct Case {
    const char* name;
    bool desktop;
    bool program;
    int exitStatus;
  };
  const Case cases[] = {
      {"no desktop", false, true, 0},
      {"no program", true, false, 0},
      {"program fails", true, true, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string runtime = dir.file("runtime");
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    Desktop desktop(runtime, c.desktop ? ":0" : nullptr);
    std::optional<FakeOpener> fake;
    if (c.program) fake.emplace(dir.file("open"), c.exitStatus);
    std::atomic<int> failures{0};
    {
      BrowserOpener opener({dir.file("open"), 60s});
      opener.Open(kUrl, [&] { ++failures; });
      for (int i = 0; i < 300 && failures == 0; ++i) std::this_thread::sleep_for(10ms);
      EXPECT_EQ(failures, 1);
      EXPECT_EQ(Entries(runtime), 0u);
      opener.Reached();
    }
    EXPECT_EQ(failures, 1);
    if (fake) {
      EXPECT_EQ(fake->ran(), c.desktop);
    }
  }
}

}  // namespace
}  // namespace zephrin::server
