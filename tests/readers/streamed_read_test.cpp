// A document streamed in pieces is byte for byte the document kept whole, for
// every reader; and `read --output` writes it whole or not at all.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct Case {
  const char* name;
  const char* file;
  const char* templ;
  const char* type;
  std::string (*content)();
};

std::string Repeat(int n, const std::function<std::string(int)>& line) {
  std::string s;
  for (int i = 0; i < n; ++i) s += line(i);
  return s;
}

const Case kCases[] = {
    {"csv", "big.csv", "T", "FCOA",
     [] { return Repeat(40000, [](int i) { return std::to_string(1000 + i) + ",Caption & co " + std::to_string(i) + ",7\n"; }); }},
    {"csv_taxpay", "pay.csv", "PAY", "TAXPAY",
     [] { return Repeat(30000, [](int i) { return "C" + std::to_string(i) + ",NY,100,2024-01-01\n"; }); }},
    {"csv_journal", "je.csv", "JE", "FBJ",
     [] { return Repeat(15000, [](int i) { return "A,J" + std::to_string(i) + ",Entry\n\n,,,1000,5\n,,,2000,-5\n\n\n"; }); }},
    {"dif", "big.dif", "T", "FCOA",
     [] {
       return test::DifHeader(3, 30000) +
              Repeat(30000, [](int i) { return "-1,0\nBOT\n0," + std::to_string(i) + "\nV\n1,0\n\"Name <" + std::to_string(i) + ">\"\n0,3\nV\n"; }) +
              "-1,0\nEOD\n";
     }},
    {"fixed", "big.txt", "FIXED", "FCOA",
     [] { return Repeat(40000, [](int i) { return std::to_string(100000 + i) + "  Caption " + std::to_string(i) + "\n"; }); }},
    {"tabular", "jur.csv", "AABAL", "AABAL",
     [] { return "Type,Category,Subcategory,AL,CA\n" + Repeat(30000, [](int i) { return "Income,S" + std::to_string(i) + ",R,1,2\n"; }); }},
    {"listed", "listed.csv", "AABAL", "AABAL",
     [] { return Repeat(20000, [](int i) { return "Income,S" + std::to_string(i) + ",R\n  AL,1\n  CA,2\n"; }); }},
};

// A read of a case's file through a service object of its own, in a fresh
// writable folder that holds the templates the cases name.
struct CaseRead {
  explicit CaseRead(const Case& c) {
    test::WriteFile(home.file("import.ini"),
                    "[Import:T]\nInfo=COA\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\nTRC=2 1 0\n"
                    "[Import:PAY]\nInfo=TAXPAY\nCompany_Number=0 1 0\nPostal_Code=1 1 0\nPrior_Year_Overpayment=2 1 0\n"
                    "1st_Quarter_Date=3 1 0\n"
                    "[Import:JE]\nInfo=JE\nJE_Type=0 1 0\nJE_Number=1 1 0\nJE_Caption=2 1 0\nAccount_Number=3 1 0\n"
                    "Transfer from Provision=4 1 0\n"
                    "[Import:FIXED]\nInfo=COA\nAccount_Number=0 6 0\nAccount_Caption=8 20 0\n");
    test::WriteFile(home.file(c.file), c.content());
    EXPECT_TRUE(service.EstablishTemplateStore());
    service.FillJurisdictionCaptions("state,AL,CA");
    service.FillJurisdictionCaptions("ti,ny;3:7");
    service.PutCategoryTypes("Income");
    request.importFile = home.file(c.file);
    request.templateName = c.templ;
    request.importType = c.type;
    request.id = "9";
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
  ReadRequest request;
};

class StreamedRead : public ::testing::TestWithParam<Case> {};

TEST_P(StreamedRead, IsTheDocumentKeptWhole) {
  CaseRead r(GetParam());
  const ReadResult whole = r.service.Read(r.request);
  ASSERT_EQ(whole.outcome, ReadOutcome::kDocument) << whole.text.view().substr(0, 300);
  StringSink sink;
  ReadHooks hooks;
  hooks.sink = &sink;
  const ReadResult streamed = r.service.Read(r.request, hooks);
  EXPECT_EQ(streamed.outcome, ReadOutcome::kDocument);
  EXPECT_EQ(streamed.text.size(), 0u);
  EXPECT_GT(sink.pieces(), 1u);  // it did go in pieces
  EXPECT_TRUE(sink.text() == whole.text.view()) << "streamed and whole texts differ";
}

INSTANTIATE_TEST_SUITE_P(Readers, StreamedRead, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A data file that another program shortens while it is read: the read ends
// with an error, never a crash and never a document made of what was lost.
TEST(ShrinkingFile, EndsTheReadWithAnError) {
  for (const Case& c : {kCases[0], kCases[5]}) {
    SCOPED_TRACE(c.name);
    CaseRead r(c);
    const std::string& file = r.request.importFile;
    ReadHooks hooks;
    StringSink sink;
    hooks.sink = &sink;
    bool cut = false;
    hooks.progress = [&](std::size_t, std::size_t) {
      if (!cut) {
        EXPECT_EQ(::truncate(file.c_str(), 0), 0);
      }
      cut = true;
      return true;
    };
    const ReadResult result = r.service.Read(r.request, hooks);
    ASSERT_TRUE(cut);
    EXPECT_EQ(result.outcome, ReadOutcome::kError);
    EXPECT_EQ(result.text.view(), "<Error>The import file " + file + " changed while it was read. Please try again.</Error>");
    // The same object reads the file again once it is whole.
    test::WriteFile(file, c.content());
    EXPECT_EQ(r.service.Read(r.request).outcome, ReadOutcome::kDocument);
  }
}

// A front end's progress hook that answers false cancels the read, in every
// reader: the read ends with its error document, and the object reads again.
TEST(CancelledRead, EndsWithItsErrorDocument) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CaseRead r(c);
    ReadHooks hooks;
    StringSink sink;
    hooks.sink = &sink;
    int calls = 0;
    hooks.progress = [&](std::size_t, std::size_t) { return ++calls < 1; };
    const ReadResult result = r.service.Read(r.request, hooks);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result.outcome, ReadOutcome::kError);
    EXPECT_EQ(result.text.view(), "<Error>The import was cancelled.</Error>");
    EXPECT_EQ(r.service.Read(r.request).outcome, ReadOutcome::kDocument);
  }
}

// The command line's --output: the document, or the error document alone.
TEST(ReadOutput, WholeOrNothing) {
  test::TempDir home;
  const std::string bin = ZEPHRIN_BINARY;
  test::WriteFile(home.file("import.ini"), "[Import:T]\nInfo=COA\nAccount_Number=0 1 0\n");
  // Good records first, then 25 blank lines: the read fails after it wrote records.
  std::string data = Repeat(30000, [](int i) { return std::to_string(i) + "\n"; }) + std::string(30, '\n') + "x\n";
  test::WriteFile(home.file("data.csv"), data);
  test::WriteFile(home.file("out.xml"), "old");
  // `read data.csv` with the options given; its exit status.
  const auto read = [&](const std::string& options) {
    const std::string command = "cd " + home.str() + " && ZEPHRINIMPORT_HOME=. " + bin +
                                " read data.csv --template T --type PRELIMBAL " + options;
    return WEXITSTATUS(std::system(command.c_str()));
  };
  EXPECT_EQ(read("--output out.xml 2>err.txt"), 1);
  EXPECT_EQ(test::ReadFile(home.file("out.xml")),
            "<Error>Beginning at row 30001, there are at least 25 contiguous blank lines.\nPlease correct import "
            "file and try again.</Error>\n");
  // A good read replaces the file with the whole document, as standard output shows it.
  test::WriteFile(home.file("data.csv"), Repeat(30000, [](int i) { return std::to_string(i) + "\n"; }));
  EXPECT_EQ(read("--output out.xml 2>err.txt"), 0);
  EXPECT_EQ(read("> stdout.xml"), 0);
  EXPECT_EQ(test::ReadFile(home.file("out.xml")), test::ReadFile(home.file("stdout.xml")));
  // A device named as the output is written, never replaced.
  EXPECT_EQ(read("--output /dev/stdout > device.xml"), 0);
  EXPECT_EQ(test::ReadFile(home.file("device.xml")), test::ReadFile(home.file("stdout.xml")));
  // A folder that is not there: the read is refused before it starts.
  EXPECT_EQ(read("--output missing/out.xml 2>err.txt"), 1);
  EXPECT_EQ(test::ReadFile(home.file("err.txt")), "zephrinimport: cannot write missing/out.xml: No such file or directory\n");
}

}  // namespace
}  // namespace zephrin
