// The file pickers, driven through prepared answers: what the dialogs are
// asked, what is remembered in the store, and the export extension rule.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin {
namespace {


// Answers one dialog with a path and the filter entry the user selected.
class ChoosingUserInterface : public RecordingUserInterface {
 public:
  std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) override {
    requests.push_back(request);
    if (!answer) return std::nullopt;
    return FileDialogResult{*answer, filterIndex};
  }
  std::optional<std::string> answer;
  int filterIndex = 1;
  std::vector<FileDialogRequest> requests;
};

class FilePickersTest : public ::testing::Test, protected test::HomeSandbox {
 protected:
  FilePickersTest() : HomeSandbox(/*traced=*/false) {}
  ChoosingUserInterface ui;
  CxmlWrapper service{&ui};
  std::string Store() const { return home.file("import.ini"); }
};

TEST_F(FilePickersTest, BrowseForImportAsksAndRemembers) {
  WriteFile(Store(), "[Import:CurDir]\nCurDir=/Data/Last Time\n[Import:FileName]\n1=/DATA/OLD.CSV^GL\n");
  ui.answer = "/Data/New Year/tb.csv";
  std::string chosen;
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(chosen, "/Data/New Year/tb.csv");
  ASSERT_EQ(ui.requests.size(), 1u);
  const FileDialogRequest& r = ui.requests[0];
  EXPECT_EQ(r.kind, FileDialogRequest::Kind::Open);
  EXPECT_EQ(r.title, "Select Import File");
  EXPECT_EQ(r.filter,
            "Comma Delimited(*.csv)|*.csv|Data Interchange Format(*.dif)|*.dif|Text Files(*.txt;*.prn)|*.txt;*.prn|");
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_EQ(r.initialFolder, "/Data/Last Time");
  EXPECT_TRUE(r.mustExist);
  // The folder as chosen (not upper-cased); the file once, upper-cased.
  const std::string after =
      "[Import:CurDir]\nCurDir=/Data/New Year\n[Import:FileName]\n1=/DATA/OLD.CSV^GL\n2=/DATA/NEW YEAR/TB.CSV\n";
  EXPECT_EQ(ReadFile(Store()), after);
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(ReadFile(Store()), after);
  // A file listed with its template, chosen in another case, is not added again.
  ui.answer = "/data/old.csv";
  service.BrowseForImport("FCOA", chosen);
  EXPECT_EQ(ReadFile(Store()),
            "[Import:CurDir]\nCurDir=/data\n[Import:FileName]\n1=/DATA/OLD.CSV^GL\n2=/DATA/NEW YEAR/TB.CSV\n");
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FilePickersTest, BrowseForImportFilters) {
  const std::pair<const char*, bool> cases[] = {
      {"ENTITY", false}, {"CAT", false}, {"TIBAL", false}, {"INTL", false}, {"CTPRCN", false},
      {"FCOA", true},    {"JE", true},   {"entity", true}, {"", true},
  };
  for (const auto& [type, withText] : cases) {
    ui.requests.clear();
    std::string chosen;
    service.BrowseForImport(type, chosen);
    ASSERT_EQ(ui.requests.size(), 1u);
    EXPECT_EQ(ui.requests[0].filter,
              std::string("Comma Delimited(*.csv)|*.csv|Data Interchange Format(*.dif)|*.dif|") +
                  (withText ? "Text Files(*.txt;*.prn)|*.txt;*.prn|" : ""))
        << type;
  }
}

TEST_F(FilePickersTest, CancelledBrowseChangesNothing) {
  const std::string store = "[Import:CurDir]\nCurDir=/keep\n";
  WriteFile(Store(), store);
  const ino_t before = test::Inode(Store());
  std::string chosen = "stale";
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(chosen, "");
  EXPECT_EQ(ReadFile(Store()), store);
  EXPECT_EQ(test::Inode(Store()), before);  // not rewritten

  ui.answer.reset();
  EXPECT_EQ(service.SelectExportFile("csv", "report", chosen), kOk);
  EXPECT_EQ(chosen, "");
  EXPECT_EQ(ReadFile(Store()), store);
  EXPECT_EQ(service.SelectExportPDFFile(chosen), kOk);
  EXPECT_EQ(chosen, "");
}

// What the store cannot hold is not remembered: a path with a NUL byte
// names no file and is no choice at all; one with a line break or a "^" is
// a file's, returned, but the store's list cannot hold it.
TEST_F(FilePickersTest, PathsTheStoreCannotHoldAreNotRemembered) {
  const std::string store = "[Import:CurDir]\nCurDir=/keep\n";
  WriteFile(Store(), store);
  const ino_t before = test::Inode(Store());
  std::string chosen = "stale";
  ui.answer = std::string("/data/a\0b.csv", 13);
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(chosen, "");
  ui.answer = "/data/two\nlines.csv";
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(chosen, "/data/two\nlines.csv");
  // A "^" ends a listed file's name: it would be listed cut short, again at
  // every choice, and could never be forgotten.
  ui.answer = "/data/a^b.csv";
  EXPECT_EQ(service.BrowseForImport("FCOA", chosen), kOk);
  EXPECT_EQ(chosen, "/data/a^b.csv");
  EXPECT_EQ(ReadFile(Store()), store);
  EXPECT_EQ(test::Inode(Store()), before);
}

TEST_F(FilePickersTest, SelectExportFileRequest) {
  WriteFile(Store(), "[Export:CurDir]\nCurDir=/Exports/Mixed Case\n");
  std::string info;
  service.GetTemplateInfo(info);  // the store is known from here on
  ui.answer = "/Exports/New/report";
  std::string chosen;
  EXPECT_EQ(service.SelectExportFile("csv,TXT", "default.csv", chosen), kOk);
  ASSERT_EQ(ui.requests.size(), 1u);
  const FileDialogRequest& r = ui.requests[0];
  EXPECT_EQ(r.kind, FileDialogRequest::Kind::Save);
  EXPECT_EQ(r.title, "Select Export File");
  EXPECT_EQ(r.filter, "CSV File (*.csv)|*.csv|TXT File (*.txt)|*.txt|");
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_EQ(r.initialFolder, "/Exports/Mixed Case");
  EXPECT_EQ(r.initialFileName, "default.csv");
  EXPECT_TRUE(r.overwritePrompt);
  EXPECT_EQ(chosen, "/Exports/New/report.csv");
  EXPECT_EQ(ReadFile(Store()), "[Export:CurDir]\nCurDir=/Exports/New\n");
}

struct ExtensionCase {
  const char* types;
  int selected;
  const char* answer;
  const char* expected;
};

TEST_F(FilePickersTest, ExtensionRule) {
  const ExtensionCase cases[] = {
      {"csv,TXT", 1, "/x/report", "/x/report.csv"},
      {"csv,TXT", 2, "/x/report", "/x/report.txt"},
      {"csv,TXT", 1, "/x/report.CSV", "/x/report.CSV"},
      {"csv,TXT", 1, "/x/report.data", "/x/report.data.csv"},
      {"csv,TXT", 1, "/x/report.txt", "/x/report.txt.csv"},
      {"csv,TXT", 2, "/x/report.Txt", "/x/report.Txt"},
      {"csv,TXT", 1, "/x/report.c", "/x/report.c.csv"},
      {"csv,TXT", 1, "/x/report.", "/x/report..csv"},
      {"csv,TXT", 1, "/x.y/report", "/x.y/report.csv"},
      {"xlsx", 1, "/x/book.xlsx", "/x/book.xlsx.xlsx"},  // only three-letter extensions are kept
      {" csv , txt ", 2, "/x/r", "/x/r.txt"},
      {"", 1, "/x/report", "/x/report"},      // no entries: the name stays as chosen
      {"csv", 5, "/x/report", "/x/report"},   // no such entry
      {"csv", 1, "report", "report.csv"},
  };
  for (const ExtensionCase& c : cases) {
    ui.answer = c.answer;
    ui.filterIndex = c.selected;
    std::string chosen;
    EXPECT_EQ(service.SelectExportFile(c.types, "", chosen), kOk);
    EXPECT_EQ(chosen, c.expected) << c.types << " " << c.selected << " " << c.answer;
  }
}

TEST_F(FilePickersTest, SelectExportPDFFile) {
  ui.answer = "/Docs/Return.pdf";
  std::string chosen;
  EXPECT_EQ(service.SelectExportPDFFile(chosen), kOk);
  EXPECT_EQ(chosen, "/Docs/Return.pdf");
  ASSERT_EQ(ui.requests.size(), 1u);
  EXPECT_EQ(ui.requests[0].kind, FileDialogRequest::Kind::Open);
  EXPECT_EQ(ui.requests[0].title, "Select PDF Export File");
  EXPECT_EQ(ui.requests[0].filter, "PDF File(*.pdf)|*.pdf|");
  EXPECT_TRUE(ui.requests[0].overwritePrompt);
  EXPECT_EQ(ui.requests[0].initialFolder, "");
}

// A path the user chose may lie outside the writable folder; the file methods
// then take it, and only it.
TEST_F(FilePickersTest, PickedPathsAreAccepted) {
  const std::string target = logs.file("export");
  ui.answer = target;
  std::string chosen;
  service.SelectExportFile("csv", "", chosen);
  ASSERT_EQ(chosen, target + ".csv");
  int32_t r = 0;
  EXPECT_EQ(service.CreateExportFile(chosen, r), kOk);
  EXPECT_EQ(r, 1);
  service.ExportWriteLine("a;b", r);
  service.CloseExportFile(r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(ReadFile(chosen), "a;b\r\n");
  std::optional<std::string> bytes;
  EXPECT_EQ(service.ConvertFileToByteArray(chosen, bytes), kOk);
  EXPECT_EQ(bytes, "a;b\r\n");
  // The path without the extension the rule added was never returned.
  EXPECT_EQ(service.CreateExportFile(target, r), kOk);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(service.DeleteOITFile(chosen), kOk);
  EXPECT_EQ(service.DeleteOITFile(chosen), kFalse);
}

TEST_F(FilePickersTest, ThroughTheHostProtocol) {
  RecordingUserInterface recording;
  CxmlWrapper hosted(&recording);
  HostProtocol protocol(hosted, recording);
  EXPECT_EQ(*protocol.HandleLine(
                R"({"jsonrpc":"2.0","id":1,"method":"SelectExportFile","params":{"args":["csv,txt",""],"answers":["/out/list"]}})"),
            R"({"jsonrpc":"2.0","id":1,"result":{"value":"/out/list.csv","status":0,"messages":[]}})");
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":2,"method":"BrowseForImport","params":["FCOA"]})"),
            R"({"jsonrpc":"2.0","id":2,"result":{"value":"","status":0,"messages":[]}})");
  EXPECT_EQ(*protocol.HandleLine(
                R"({"jsonrpc":"2.0","id":3,"method":"BrowseForImport","params":{"args":["FCOA"],"answers":["/in/tb.csv"]}})"),
            R"({"jsonrpc":"2.0","id":3,"result":{"value":"/in/tb.csv","status":0,"messages":[]}})");
  // The first SelectExportFile ran before anything established the store.
  EXPECT_EQ(ReadFile(Store()), "[Import:CurDir]\nCurDir=/in\n[Import:FileName]\n1=/IN/TB.CSV\n");
  EXPECT_EQ(*protocol.HandleLine(
                R"({"jsonrpc":"2.0","id":4,"method":"SelectExportFile","params":{"args":["csv",""],"answers":["/out/list"]}})"),
            R"({"jsonrpc":"2.0","id":4,"result":{"value":"/out/list.csv","status":0,"messages":[]}})");
  EXPECT_EQ(ReadFile(Store()),
            "[Import:CurDir]\nCurDir=/in\n[Import:FileName]\n1=/IN/TB.CSV\n[Export:CurDir]\nCurDir=/out\n");
}

// Until BrowseForImport or GetTemplateInfo has run, the store is not known:
// SelectExportFile neither reads nor writes it, and does not make it known,
// so a read of a stored template in the same process still finds none.
TEST_F(FilePickersTest, SelectExportFileDoesNotEstablishTheStore) {
  const std::string store = "[Export:CurDir]\nCurDir=/Exports/Before\n[Import:GL]\nInfo=COA\nFsiType=FEDERAL\n"
                            "Account_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
                            "[Import:Layout]\n1=GL\n";
  WriteFile(Store(), store);
  const std::string data = home.file("tb.csv");
  WriteFile(data, "Account,Caption,Balance\n1000,Cash,15.00\n");
  const std::string requests =
      R"({"jsonrpc":"2.0","id":1,"method":"SelectExportFile","params":{"args":["csv",""],"answers":["/out/list"]}})"
      "\n"
      R"({"jsonrpc":"2.0","id":2,"method":"ReadImportFile","params":[")" + data + R"(","GL","FCOA","100",""]})" "\n";
  const std::string unknown =
      "<Error><Err>Unable to determine the type of import being done. Please try again.</Err></Error>";
  WriteFile(logs.file("requests.txt"), requests);
  const std::string command = std::string("'") + ZEPHRIN_BINARY + "' call <'" + logs.file("requests.txt") +
                              "' >'" + logs.file("responses.txt") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(logs.file("responses.txt")),
            R"({"jsonrpc":"2.0","id":1,"result":{"value":"/out/list.csv","status":0,"messages":[]}})" "\n"
            R"({"jsonrpc":"2.0","id":2,"result":{"value":")" + unknown + R"(","status":0,"messages":[],"outcome":"error"}})" "\n");
  EXPECT_EQ(ReadFile(Store()), store);

  // The dialog was not pointed at the remembered folder either; the same
  // object finds the template once the store is established.
  ui.answer = "/out/list";
  std::string chosen;
  EXPECT_EQ(service.SelectExportFile("csv", "", chosen), kOk);
  ASSERT_EQ(ui.requests.size(), 1u);
  EXPECT_EQ(ui.requests[0].initialFolder, "");
  std::string out;
  service.ReadImportFile(data, "GL", "FCOA", "100", "", out);
  EXPECT_EQ(out, unknown);
  EXPECT_EQ(ReadFile(Store()), store);
  std::string info;
  service.GetTemplateInfo(info);
  service.ReadImportFile(data, "GL", "FCOA", "100", "", out);
  EXPECT_EQ(out,
            "<FCOA OBJID=\"100\"><COAS Line=\"1\"><Account_Number>1000</Account_Number>"
            "<Account_Caption>Cash</Account_Caption><Account_Balance>15.00</Account_Balance><TRC/><TCC/></COAS>"
            "<TMPLT><Account_Number/><Account_Caption/><Account_Balance/></TMPLT></FCOA>");
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
}  // namespace zephrin
