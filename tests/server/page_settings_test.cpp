#include "server/page_settings.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"

namespace zephrin::test {
namespace {

using Json = nlohmann::json;

TEST(PageSettingsTest, TheImportTypeOfATemplateIsRememberedAndForgottenInAFileWrittenWhole) {
  TempDir dir;
  const std::string path = dir.file("pages.json");
  EXPECT_EQ(ReadPageSettings(path), Json::parse(R"({"importTypes":{}})"));
  struct Step {
    const char* name;
    const char* type;
    const char* file;  // the file afterwards
  };
  const Step steps[] = {
      {"GL BOOK", "PRELIMBAL", "{\n  \"importTypes\": {\n    \"GL BOOK\": \"PRELIMBAL\"\n  }\n}\n"},
      {"JE", "FBJ", "{\n  \"importTypes\": {\n    \"GL BOOK\": \"PRELIMBAL\",\n    \"JE\": \"FBJ\"\n  }\n}\n"},
      {"GL BOOK", "FCOA", "{\n  \"importTypes\": {\n    \"GL BOOK\": \"FCOA\",\n    \"JE\": \"FBJ\"\n  }\n}\n"},
      {"GL BOOK", "", "{\n  \"importTypes\": {\n    \"JE\": \"FBJ\"\n  }\n}\n"},
  };
  for (const Step& s : steps) {
    const Json settings = RememberImportType(path, s.name, s.type);
    EXPECT_EQ(ReadFile(path), s.file) << s.name << " " << s.type;
    EXPECT_EQ(settings, ReadPageSettings(path));
  }
  EXPECT_EQ(FolderEntries(dir.path()), (std::set<std::string>{"pages.json", "pages.json.lock"}));
}

// Two servers on one writable folder, each remembering types at once: every
// one of them is kept.
TEST(PageSettingsTest, TwoProcessesRememberingAtOnceLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("pages.json");
  std::vector<pid_t> children;
  for (const char* prefix : {"A", "B"}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < 20; ++i)
        if (RememberImportType(path, prefix + std::to_string(i), "FCOA").contains("error")) ::_exit(1);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ReadPageSettings(path)["importTypes"].size(), 40u);
}

TEST(PageSettingsTest, BadRequestsAndAFileOfAnotherShapeAreRefusedAndWriteNothing) {
  TempDir dir;
  const std::string path = dir.file("pages.json");
  struct Case {
    const char* file;  // nullptr: no file
    std::string name, type;
    const char* error;
  };
  const Case cases[] = {
      {nullptr, "GL", "NOPE", "Unknown import type code: NOPE"},
      {nullptr, "", "FCOA", "The template name is missing or too long."},
      {nullptr, std::string(257, 'N'), "FCOA", "The template name is missing or too long."},
      {"{\"importTypes\": [1]}", "GL", "FCOA", "is not the settings the pages write."},
      {"{\"importTypes\": {\"A\": 1}}", "GL", "FCOA", "is not the settings the pages write."},
      {"not json", "GL", "FCOA", "is not the settings the pages write."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    if (c.file) WriteFile(path, c.file);
    const Json r = RememberImportType(path, c.name, c.type);
    ASSERT_TRUE(r.contains("error")) << c.file;
    EXPECT_NE(r["error"].get<std::string>().find(c.error), std::string::npos) << r["error"];
    EXPECT_EQ(std::filesystem::exists(path) ? ReadFile(path) : "<none>", c.file ? c.file : "<none>");
    if (c.file) {
      EXPECT_EQ(ReadPageSettings(path)["error"], "The page settings file " + path + " is not the settings the pages write.");
    }
  }
}

}  // namespace
}  // namespace zephrin::test
