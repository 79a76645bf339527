#include "editor/editor_draft.h"

#include <string>

#include <gtest/gtest.h>

#include "test_util.h"

namespace zephrin {
namespace {

using test::TempDir;

EditorDraft Sample() {
  EditorDraft d;
  d.dataFile = "/data/t\xc3\xa9st.csv";
  d.importType = "INTL";
  d.intlKind = 5;
  d.templateName = "Caf\xe9";  // Windows-1252 inside, UTF-8 in the file
  d.newTemplate = false;
  d.current = 1;
  d.positions = {{"B_Key", FieldInfo{3, 2, 224}}, {"A_Key", FieldInfo{}}};
  return d;
}

TEST(EditorDraftTest, ADraftIsWrittenWholeAndReadsBackAsItWas) {
  TempDir dir;
  const std::string path = dir.file("drafts/one.json");
  std::string error;
  const Done written = WriteDraft(path, Sample());
  ASSERT_TRUE(written) << written.error().message;
  EXPECT_EQ(test::ReadFile(path),
            "{\n  \"dataFile\": \"/data/t\xc3\xa9st.csv\",\n  \"importType\": \"INTL\",\n  \"intlKind\": 5,\n"
            "  \"template\": \"Caf\xc3\xa9\",\n  \"newTemplate\": false,\n  \"current\": 1,\n  \"positions\": {\n"
            "    \"B_Key\": \"3 2 224\",\n    \"A_Key\": \"0 0 0\"\n  }\n}\n");
  const std::optional<EditorDraft> back = ReadDraft(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(DraftText(*back), DraftText(Sample()));
  EXPECT_EQ(back->templateName, "Caf\xe9");
  EXPECT_EQ(test::FolderEntries(dir.path() / "drafts"), (std::set<std::string>{"one.json"}));
  EXPECT_FALSE(ReadDraft(dir.file("drafts/none.json")));
}

TEST(EditorDraftTest, TextsThatAreNoWholeDraftAreRefused) {
  const std::string good = DraftText(Sample());
  const auto without = [&](const std::string& from, const std::string& to, std::string t = {}) {
    if (t.empty()) t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  const std::string cases[] = {
      "", "[]", "not json", good.substr(0, good.size() / 2),
      without("\"intlKind\": 5", "\"intlKind\": \"5\""),
      without("\"newTemplate\": false,\n", ""),
      without("\"3 2 224\"", "\"3 2\""),
      without("\"3 2 224\"", "\"3 2 65536\""),
      without("\"3 2 224\"", "\"3  2 224\""),
      without("\"3 2 224\"", "\"-3 2 224\""),
      without("\"3 2 224\"", "[3, 2, 224]"),
  };
  const std::string withKeys = without("\n}\n", ",\n  \"keys\": {\"Sheet\": \"TB\"}\n}\n");
  const std::string badKeys[] = {without("\"TB\"", "1", withKeys), without("{\"Sheet\": \"TB\"}", "[]", withKeys)};
  for (const std::string& text : cases) EXPECT_FALSE(ParseDraft(text)) << text;
  for (const std::string& text : badKeys) EXPECT_FALSE(ParseDraft(text)) << text;
  // A draft written before drafts kept template keys has none to restore.
  ASSERT_TRUE(ParseDraft(good));
  EXPECT_FALSE(ParseDraft(good)->keys);
  ASSERT_TRUE(ParseDraft(withKeys));
  EXPECT_EQ(ParseDraft(withKeys)->keys, (std::vector<std::pair<std::string, std::string>>{{"Sheet", "TB"}}));
}

TEST(EditorDraftTest, EachDataFileAndImportTypeHasADraftFileOfItsOwnBesideTheStore) {
  LayoutEditorInputs in;
  in.iniPath = "/home/u/.local/share/zephrinimport/import.ini";
  in.dataFilePath = "/data/my file (1).csv";
  in.hostCode = "FCOA";
  const std::string path = DraftPath(in);
  EXPECT_TRUE(path.starts_with("/home/u/.local/share/zephrinimport/drafts/my_file__1_.csv.FCOA.")) << path;
  EXPECT_TRUE(path.ends_with(".json")) << path;
  LayoutEditorInputs other = in;
  other.dataFilePath = "/elsewhere/my file (1).csv";
  EXPECT_NE(DraftPath(other), path);
  other = in;
  other.hostCode = "PRELIMBAL";
  EXPECT_NE(DraftPath(other), path);
  other = in;
  other.hostCode = "INTL";
  other.intlKind = 3;
  EXPECT_NE(DraftPath(other).find(".INTL3."), std::string::npos);
  EXPECT_EQ(DraftPath(in), path);
  in.iniPath.clear();
  EXPECT_EQ(DraftPath(in), "");
}

}  // namespace
}  // namespace zephrin
