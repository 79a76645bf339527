#include "templates/template_listing.h"

#include <sys/stat.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin {
namespace {


// A store of `count` templates T1, T2, ... (every third one international),
// indexed in that order, each with a data file /D/Fn.CSV; the entries named
// in `skip` are left out, the others keep the order (and the lists are
// numbered from 1 without gaps, as a deletion leaves them).
std::string Numbered(int count, std::initializer_list<int> skipTemplates = {},
                     std::initializer_list<int> skipFiles = {}) {
  auto skipped = [](std::initializer_list<int> skip, int i) {
    return std::find(skip.begin(), skip.end(), i) != skip.end();
  };
  std::string out;
  for (int i = 1; i <= count; ++i) {
    if (skipped(skipTemplates, i)) continue;
    out += "[Import:T" + std::to_string(i) + "]\n";
    out += i % 3 == 0 ? "Info=INTL\nIntlType=KIND " + std::to_string(i) + "\n" : "Info=COA\nFsiType=FEDERAL\n";
  }
  out += "[Import:Layout]\n";
  for (int i = 1, n = 1; i <= count; ++i) {
    if (!skipped(skipTemplates, i)) out += std::to_string(n++) + "=T" + std::to_string(i) + "\n";
  }
  out += "[Import:FileName]\n";
  for (int i = 1, n = 1; i <= count; ++i) {
    if (skipped(skipFiles, i)) continue;
    out += std::to_string(n++) + "=/D/F" + std::to_string(i) + ".CSV^T" + std::to_string(i) + "\n";
  }
  return out;
}

// A service object whose writable folder is a fresh folder (with "&" and "<"
// in its name, which the listing must escape).
class TemplateListingTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string home = dir.str() + "/r&d <home>";
  ScopedEnv homeEnv{"ZEPHRINIMPORT_HOME", home};
  ScopedEnv registryEnv{"ZEPHRINIMPORT_REGISTRY", dir.file("registry.ini")};
  ScopedEnv traceEnv{"ZEPHRINIMPORT_TRACE", std::nullopt};
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};

  std::string Store() const { return home + "/import.ini"; }
  void SetUp() override { ASSERT_TRUE(service.EstablishTemplateStore()); }
  std::string Listing() {
    std::string info;
    EXPECT_EQ(service.GetTemplateInfo(info), kOk);
    return info;
  }
};

TEST_F(TemplateListingTest, ListsTemplatesAndFilesExactly) {
  const std::string longName(300, 'L');
  WriteFile(Store(),
            "[Import:GL BOOK]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\n"
            "[Import:DASTM IMPORT]\nInfo=INTL\nIntlType=DASTM CHART OF ACCOUNTS\n"
            "[Import:CAF\xC9]\nInfo=JE\n"
            "[Import:Layout]\n1=GL BOOK\n2=DASTM IMPORT\n3=R&D <2024>\n4=CAF\xC9\n5=" + longName +
            "\n7=AFTER A GAP\n"
            "[Import:FileName]\n1=C:\\DATA\\TB.CSV^GL BOOK\n2=/DATA/A&B.CSV^R&D <2024>\n3=/DATA/LOOSE.CSV\n"
            "4=/DATA/TWO^CARETS^X\n");
  const std::string expected =
      "<INFO><TEMPLATES>"
      "<TMPL num='1'><imptype>COA</imptype><name>GL BOOK</name></TMPL>"
      "<TMPL num='2'><imptype>DASTM CHART OF ACCOUNTS</imptype><name>DASTM IMPORT</name></TMPL>"
      "<TMPL num='3'><imptype></imptype><name>R&amp;D &lt;2024&gt;</name></TMPL>"
      "<TMPL num='4'><imptype>JE</imptype><name>CAF\xC3\x89</name></TMPL>"
      "<TMPL num='5'><imptype></imptype><name>" + std::string(259, 'L') + "</name></TMPL>"
      "</TEMPLATES><FILENAMES>"
      "<FILES num='1'><fname>C:\\DATA\\TB.CSV</fname><templ>GL BOOK</templ></FILES>"
      "<FILES num='2'><fname>/DATA/A&amp;B.CSV</fname><templ>R&amp;D &lt;2024&gt;</templ></FILES>"
      "<FILES num='3'><fname>/DATA/LOOSE.CSV</fname><templ></templ></FILES>"
      "<FILES num='4'><fname>/DATA/TWO</fname><templ>CARETS^X</templ></FILES>"
      "</FILENAMES><PATHNAME>" + dir.str() + "/r&amp;d &lt;home&gt;</PATHNAME>"
      "<MAX_INTLCOMBO_ITEMS>100</MAX_INTLCOMBO_ITEMS></INFO>";
  EXPECT_EQ(Listing(), expected);
}

TEST_F(TemplateListingTest, ListsALongStoreInOrder) {
  WriteFile(Store(), Numbered(40));
  std::string expected = "<INFO><TEMPLATES>";
  for (int i = 1; i <= 40; ++i) {
    const std::string n = std::to_string(i);
    expected += "<TMPL num='" + n + "'><imptype>" + (i % 3 == 0 ? "KIND " + n : std::string("COA")) +
                "</imptype><name>T" + n + "</name></TMPL>";
  }
  expected += "</TEMPLATES><FILENAMES>";
  for (int i = 1; i <= 40; ++i) {
    const std::string n = std::to_string(i);
    expected += "<FILES num='" + n + "'><fname>/D/F" + n + ".CSV</fname><templ>T" + n + "</templ></FILES>";
  }
  expected += "</FILENAMES><PATHNAME>" + dir.str() +
              "/r&amp;d &lt;home&gt;</PATHNAME><MAX_INTLCOMBO_ITEMS>100</MAX_INTLCOMBO_ITEMS></INFO>";
  EXPECT_EQ(Listing(), expected);
}

TEST_F(TemplateListingTest, MissingStoreListsOnlyTheFolder) {
  EXPECT_EQ(Listing(), "<INFO><PATHNAME>" + dir.str() +
                           "/r&amp;d &lt;home&gt;</PATHNAME><MAX_INTLCOMBO_ITEMS>100</MAX_INTLCOMBO_ITEMS></INFO>");
  // Only files, no index: no TEMPLATES element.
  WriteFile(Store(), "[Import:Layout]\n2=NOT FIRST\n[Import:FileName]\n1=/A.CSV^X\n");
  EXPECT_EQ(Listing(), "<INFO><FILENAMES><FILES num='1'><fname>/A.CSV</fname><templ>X</templ></FILES></FILENAMES>"
                       "<PATHNAME>" + dir.str() +
                           "/r&amp;d &lt;home&gt;</PATHNAME><MAX_INTLCOMBO_ITEMS>100</MAX_INTLCOMBO_ITEMS></INFO>");
}

// A store of three templates, in its parts.
const std::string kTemplates = "[Import:A]\nInfo=COA\n[Import:B]\nInfo=JE\n[Import:C]\nInfo=TCC\n";
const std::string kIndex = "[Import:Layout]\n1=A\n2=B\n3=C\n";
const std::string kFiles = "[Import:FileName]\n1=/D/X.CSV^B\n2=/D/Y.CSV^A\n3=/D/Z.CSV\n";
const std::string kCurDir = "[Import:CurDir]\nCurDir=/D\n";
const std::string kThree = kTemplates + kIndex + kFiles + kCurDir;
// kThree without template B.
const std::string kWithoutB =
    "[Import:A]\nInfo=COA\n[Import:C]\nInfo=TCC\n[Import:Layout]\n1=A\n2=C\n" + kFiles + kCurDir;

struct DeleteCase {
  const char* label;
  bool file;             // DeleteFileName, else DeleteLayout
  std::string name;
  std::string before;
  std::string after;     // "" when the store must stay as it was, not even rewritten
};

class DeleteTest : public TemplateListingTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, ChangesTheStoreByteForByte) {
  const DeleteCase& c = GetParam();
  WriteFile(Store(), c.before);
  const ino_t before = test::Inode(Store());

  EXPECT_EQ(c.file ? service.DeleteFileName(c.name) : service.DeleteLayout(c.name), kOk);

  if (c.after.empty()) {
    EXPECT_EQ(ReadFile(Store()), c.before);
    EXPECT_EQ(test::Inode(Store()), before) << "the store was rewritten for nothing";
  } else {
    EXPECT_EQ(ReadFile(Store()), c.after);
  }
  EXPECT_TRUE(ui.messages().empty());
}

const std::string kLong(300, 'X');

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteTest,
    ::testing::Values(
        DeleteCase{"MiddleTemplate", false, "B", kThree, kWithoutB},
        DeleteCase{"AllTemplatesKeepsFiles", false, "ALL TEMPLATES", kThree, kFiles + kCurDir},
        DeleteCase{"TemplateNotThere", false, "Q", kThree, ""},
        DeleteCase{"AllTemplatesOfEmptyIndex", false, "ALL TEMPLATES", "[Import:FileName]\n1=/A^B\n", ""},
        // Section names compare without case, index values exactly.
        DeleteCase{"OtherCase", false, "b", kThree,
                   "[Import:A]\nInfo=COA\n[Import:C]\nInfo=TCC\n" + kIndex + kFiles + kCurDir},
        DeleteCase{"DuplicateIndexEntries", false, "A", "[Import:Layout]\n1=A\n2=B\n3=A\n[Import:A]\nInfo=COA\n",
                   "[Import:Layout]\n1=B\n"},
        DeleteCase{"GapInIndex", false, "A", "[Import:Layout]\n1=A\n2=B\n4=D\n", "[Import:Layout]\n1=B\n4=D\n"},
        DeleteCase{"KeptValuesUpperCased", false, "B", "[Import:Layout]\n1=a\n2=B\n3=c\n",
                   "[Import:Layout]\n1=A\n2=C\n"},
        DeleteCase{"LongValueKeptWhole", false, "A", "[Import:Layout]\n1=A\n2=" + kLong + "\n",
                   "[Import:Layout]\n1=" + kLong + "\n"},
        DeleteCase{"StoreSectionsAreNoTemplates", false, "FILENAME", kThree, ""},
        DeleteCase{"CrlfStoreStaysCrlf", false, "A", "[Import:A]\r\nInfo=COA\r\n[Import:Layout]\r\n1=A\r\n2=B\r\n",
                   "[Import:Layout]\r\n1=B\r\n"},
        DeleteCase{"MiddleFile", true, "/D/Y.CSV", kThree,
                   kTemplates + kIndex + "[Import:FileName]\n1=/D/X.CSV^B\n2=/D/Z.CSV\n" + kCurDir},
        DeleteCase{"FileWithoutTemplate", true, "/D/Z.CSV", kThree,
                   kTemplates + kIndex + "[Import:FileName]\n1=/D/X.CSV^B\n2=/D/Y.CSV^A\n" + kCurDir},
        DeleteCase{"AllFiles", true, "ALL FILES", kThree, kTemplates + kIndex + kCurDir},
        DeleteCase{"FileNotThere", true, "/D/Q.CSV", kThree, ""},
        DeleteCase{"FileInOtherCase", true, "/d/y.csv", kThree, ""},
        DeleteCase{"DuplicateFiles", true, "/A", "[Import:FileName]\n1=/A^T\n2=/B^T\n3=/A^U\n",
                   "[Import:FileName]\n1=/B^T\n"},
        // Lists long enough for the store to index them.
        DeleteCase{"TemplateOfALongIndex", false, "T7", Numbered(40), Numbered(40, {7})},
        DeleteCase{"LastTemplateOfALongIndex", false, "T40", Numbered(40), Numbered(40, {40})},
        DeleteCase{"AllTemplatesOfALongIndex", false, "ALL TEMPLATES", Numbered(40),
                   Numbered(40).substr(Numbered(40).find("[Import:FileName]"))},
        DeleteCase{"FileOfALongList", true, "/D/F1.CSV", Numbered(40), Numbered(40, {}, {1})},
        DeleteCase{"TemplateNotInALongIndex", false, "T41", Numbered(40), ""}),
    [](const ::testing::TestParamInfo<DeleteCase>& info) { return std::string(info.param.label); });

TEST_F(TemplateListingTest, DeletingWithoutAStoreMakesNoFile) {
  EXPECT_EQ(service.DeleteLayout("A"), kOk);
  EXPECT_EQ(service.DeleteFileName("ALL FILES"), kOk);
  EXPECT_EQ(test::Inode(Store()), 0u);
  EXPECT_EQ(test::Inode(Store() + ".lock"), 0u);
}

TEST_F(TemplateListingTest, HostProtocolListsAndDeletes) {
  WriteFile(Store(), kThree);
  HostProtocol protocol(service, ui);
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":1,"method":"DeleteLayout","params":["C"]})"),
            R"({"jsonrpc":"2.0","id":1,"result":{"value":null,"status":0,"messages":[]}})");
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":2,"method":"DeleteFileName","params":["/D/X.CSV"]})"),
            R"({"jsonrpc":"2.0","id":2,"result":{"value":null,"status":0,"messages":[]}})");
  const std::string response = *protocol.HandleLine(R"({"jsonrpc":"2.0","id":3,"method":"GetTemplateInfo"})");
  EXPECT_EQ(response,
            "{\"jsonrpc\":\"2.0\",\"id\":3,\"result\":{\"value\":\"<INFO><TEMPLATES>"
            "<TMPL num='1'><imptype>COA</imptype><name>A</name></TMPL>"
            "<TMPL num='2'><imptype>JE</imptype><name>B</name></TMPL></TEMPLATES><FILENAMES>"
            "<FILES num='1'><fname>/D/Y.CSV</fname><templ>A</templ></FILES>"
            "<FILES num='2'><fname>/D/Z.CSV</fname><templ></templ></FILES></FILENAMES><PATHNAME>" +
                dir.str() + "/r&amp;d &lt;home&gt;</PATHNAME><MAX_INTLCOMBO_ITEMS>100</MAX_INTLCOMBO_ITEMS>"
                "</INFO>\",\"status\":0,\"messages\":[]}}");
}

// A deletion that cannot write the store (its lock cannot be opened here)
// deletes nothing and says so: an error message and status 1.
TEST_F(TemplateListingTest, ADeletionThatCannotWriteTheStoreIsNoSuccess) {
  WriteFile(Store(), kThree);
  ASSERT_EQ(::mkdir((Store() + ".lock").c_str(), 0755), 0);
  HostProtocol protocol(service, ui);
  const std::string failed = "{\"value\":null,\"status\":1,\"messages\":[{\"caption\":\"\",\"text\":\"The template "
                             "store could not be written: Cannot open the lock file " + Store() + ".lock: Is a directory.\","
                             "\"icon\":\"error\"}]}}";
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":1,"method":"DeleteLayout","params":["C"]})"),
            R"({"jsonrpc":"2.0","id":1,"result":)" + failed);
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":2,"method":"DeleteFileName","params":["ALL FILES"]})"),
            R"({"jsonrpc":"2.0","id":2,"result":)" + failed);
  EXPECT_EQ(ReadFile(Store()), kThree);
}

// ---- The commands a user runs ------------------------------------------------------

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

RunResult RunCli(const TempDir& scratch, const std::string& args) {
  const std::string errFile = scratch.file("stderr.txt");
  RunResult r;
  r.out = test::RunCommand(std::string("'") + ZEPHRIN_BINARY + "' " + args + " 2>'" + errFile + "'", &r.exitCode);
  r.err = ReadFile(errFile);
  return r;
}

class TemplateCommands : public ::testing::Test, protected test::HomeSandbox {
 protected:
  TemplateCommands() : HomeSandbox(/*traced=*/false) {}
  TempDir scratch;
  std::string Store() const { return home.file("import.ini"); }
};

TEST_F(TemplateCommands, TableOfADozenTemplates) {
  std::string store;
  const char* types[] = {"COA", "JE", "TCC", "ENTITY", "TAXRATE", "EXRATE"};
  std::string index = "[Import:Layout]\n";
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "TEMPLATE " + std::to_string(i);
    store += "[Import:" + name + "]\nInfo=" + types[i % 6] + "\nFsiType=FEDERAL\n";
    index += std::to_string(i) + "=" + name + "\n";
  }
  store += "[Import:DASTM]\nInfo=INTL\nIntlType=DASTM CHART OF ACCOUNTS\n";
  store += index + "13=DASTM\n";
  store += "[Import:FileName]\n1=/DATA/T1.CSV^TEMPLATE 1\n2=/DATA/T1B.CSV^TEMPLATE 1\n3=/DATA/CAF\xC9.CSV^DASTM\n"
           "4=/DATA/OLD.CSV^GONE\n5=/DATA/NONE.CSV\n6=/DATA/LOST.CSV^UNLISTED\n";
  store += "[Import:UNLISTED]\nInfo=COA\n";
  WriteFile(Store(), store);

  RunResult r = RunCli(scratch, "templates");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Template store: " + Store() + "\n"
            "\n"
            "NAME         IMPORT TYPE              DATA FILES\n"
            "TEMPLATE 1   JE                       /DATA/T1.CSV\n"
            "                                      /DATA/T1B.CSV\n"
            "TEMPLATE 2   TCC                      -\n"
            "TEMPLATE 3   ENTITY                   -\n"
            "TEMPLATE 4   TAXRATE                  -\n"
            "TEMPLATE 5   EXRATE                   -\n"
            "TEMPLATE 6   COA                      -\n"
            "TEMPLATE 7   JE                       -\n"
            "TEMPLATE 8   TCC                      -\n"
            "TEMPLATE 9   ENTITY                   -\n"
            "TEMPLATE 10  TAXRATE                  -\n"
            "TEMPLATE 11  EXRATE                   -\n"
            "TEMPLATE 12  COA                      -\n"
            "DASTM        DASTM CHART OF ACCOUNTS  /DATA/CAF\xC3\x89.CSV\n"
            "\n"
            "Data files whose template is not in the list:\n"
            "  /DATA/OLD.CSV   (template GONE, not saved)\n"
            "  /DATA/NONE.CSV  (no template)\n"
            "  /DATA/LOST.CSV  (template UNLISTED, saved but not listed)\n"
            "\n"
            "13 templates, 6 data files.\n");

  // --xml prints the listing text a host receives.
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  std::string info;
  service.GetTemplateInfo(info);
  r = RunCli(scratch, "templates --xml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, info + "\n");
}

// Control characters in the store (a data file chosen under a name that
// holds one) reach no terminal.
TEST_F(TemplateCommands, ControlCharactersAreShownAsBlanks) {
  WriteFile(Store(), "[Import:T\x1b[2J]\nInfo=COA\n[Import:Layout]\n1=T\x1b[2J\n[Import:FileName]\n1=/A\x07.CSV^T\x1b[2J\n");
  const RunResult r = RunCli(scratch, "templates");
  EXPECT_EQ(r.out, "Template store: " + Store() + "\n\nNAME   IMPORT TYPE  DATA FILES\nT [2J  COA          /A .CSV\n"
                   "\n1 template, 1 data file.\n");
}

TEST_F(TemplateCommands, EmptyStore) {
  RunResult r = RunCli(scratch, "templates");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Template store: " + Store() + "\nNo templates are saved.\n");
}

// A store that is there but cannot be read is told as such: not listed as
// empty, nor its templates called missing.
TEST_F(TemplateCommands, UnreadableStoreIsNotAnEmptyOne) {
  ASSERT_EQ(::mkdir(Store().c_str(), 0755), 0);
  WriteFile(scratch.file("chart.csv"), "1000,Cash\n");
  const std::string failure = "zephrinimport: the template store could not be read: Cannot read " + Store() +
                              ": Is a directory.\n";
  const struct {
    std::string args;
    int exitCode;
  } cases[] = {
      {"templates", 1},
      {"read '" + scratch.file("chart.csv") + "' -t CHART --type FCOA", 1},
      {"review '" + scratch.file("chart.csv") + "' -t CHART --type FCOA", 2},
      {"suggest '" + scratch.file("chart.csv") + "' --type FCOA", 1},
      {"edit '" + scratch.file("chart.csv") + "' -t CHART --type FCOA", 1},
      {"edit '" + scratch.file("chart.csv") + "' --type FCOA", 1},
  };
  for (const auto& c : cases) {
    const RunResult r = RunCli(scratch, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(r.err, failure) << c.args;
  }
}

// A ZEPHRINIMPORT_HOME that cannot hold the store is no silent move of the
// templates into the temporary folder.
TEST_F(TemplateCommands, AFolderThatCannotHoldTheStoreIsToldOf) {
  WriteFile(scratch.file("not-a-folder"), "");
  const std::string errFile = scratch.file("stderr.txt");
  int status = -1;
  const std::string out = test::RunCommand("env -u XDG_RUNTIME_DIR TMPDIR='" + scratch.path().string() + "' ZEPHRINIMPORT_HOME='" +
                                               scratch.file("not-a-folder") + "' '" + ZEPHRIN_BINARY + "' templates 2>'" +
                                               errFile + "'",
                                           &status);
  const std::string fallback = scratch.path().string() + "/zephrinimport-" + std::to_string(geteuid());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "Template store: " + fallback + "/import.ini\nNo templates are saved.\n");
  EXPECT_EQ(ReadFile(errFile), "zephrinimport: warning: the folder " + scratch.file("not-a-folder") +
                                   " cannot hold the template store (it is not a folder); the store used is " + fallback +
                                   "/import.ini, in a temporary folder the system may clear (ZEPHRINIMPORT_HOME chooses "
                                   "the folder)\n");
}

TEST_F(TemplateCommands, DeleteAndForgetSayWhenNothingIsThere) {
  WriteFile(Store(), kThree);
  RunResult r = RunCli(scratch, "delete-template b");  // typed in lower case, stored upper-cased
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Deleted template B.\n");
  EXPECT_EQ(ReadFile(Store()), kWithoutB);

  const ino_t before = test::Inode(Store());
  r = RunCli(scratch, "delete-template B");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "zephrinimport: no template named B in " + Store() + "\n");
  r = RunCli(scratch, "forget-file /d/q.csv");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "zephrinimport: no data file /d/q.csv is listed in " + Store() + "\n");
  EXPECT_EQ(test::Inode(Store()), before);
  EXPECT_EQ(ReadFile(Store()), kWithoutB);

  r = RunCli(scratch, "forget-file /d/x.csv");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Forgot data file /D/X.CSV.\n");
  EXPECT_EQ(ReadFile(Store()), "[Import:A]\nInfo=COA\n[Import:C]\nInfo=TCC\n[Import:Layout]\n1=A\n2=C\n"
                               "[Import:FileName]\n1=/D/Y.CSV^A\n2=/D/Z.CSV\n" + kCurDir);

  // A list edited by hand in lower case: the entry goes with its section.
  WriteFile(Store(), "[Import:Layout]\n1=chart\n2=tb\n[Import:chart]\nInfo=COA\n[Import:tb]\nInfo=COA\n"
                     "[Import:FileName]\n1=/d/t.csv^tb\n");
  r = RunCli(scratch, "delete-template TB");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Deleted template tb.\n");
  EXPECT_EQ(ReadFile(Store()), "[Import:Layout]\n1=CHART\n[Import:chart]\nInfo=COA\n[Import:FileName]\n1=/d/t.csv^tb\n");
  r = RunCli(scratch, "forget-file /D/T.CSV");
  EXPECT_EQ(r.out, "Forgot data file /d/t.csv.\n");
  EXPECT_EQ(ReadFile(Store()), "[Import:Layout]\n1=CHART\n[Import:chart]\nInfo=COA\n[Import:FileName]\n");

  EXPECT_EQ(RunCli(scratch, "delete-template").exitCode, 2);
  EXPECT_EQ(RunCli(scratch, "delete-template ''").exitCode, 2);
  EXPECT_EQ(RunCli(scratch, "forget-file").exitCode, 2);
}

}  // namespace
}  // namespace zephrin
