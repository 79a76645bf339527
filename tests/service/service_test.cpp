// The service object: settings, read request errors and bad data files.
#include <gtest/gtest.h>

#include <filesystem>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

TEST(Settings, BatchIndicatorTurnsOnWhateverTheValue) {
  CxmlWrapper s;
  s.SetBatchIndicator(0);
  EXPECT_TRUE(s.settings().batch());
}

TEST(Settings, MiscItems) {
  CxmlWrapper s;
  s.SetMiscItems(1, 1);
  EXPECT_TRUE(s.settings().saveTemplatePath());
  s.SetMiscItems(1, 2);
  EXPECT_FALSE(s.settings().saveTemplatePath());
  s.SetMiscItems(2, 5);
  s.SetMiscItems(3, 1);
  EXPECT_EQ(s.settings().editorOptions(), (std::array<bool, 4>{false, false, false, false}));
  s.SetMiscItems(2, 3);
  s.SetMiscItems(2, 1);
  EXPECT_EQ(s.settings().editorOptions(), (std::array<bool, 4>{true, false, true, false}));
}

TEST(Settings, JurisdictionListsRoutedByTheirBeginning) {
  struct Row {
    const char* text;
    const char* state;
    const char* ti;
    const char* prov;
  };
  const Row rows[] = {
      {"State,AL", "State,AL", "", ""},
      {"logic,97000000", "logic,97000000", "", ""},
      {"tix,ny;1:2", "", "tix,ny;1:2", ""},
      {"PROV,12,Ontario", "", "", "PROV,12,Ontario"},
      {"counties,a", "", "", ""},
      {"", "", "", ""},
  };
  for (const Row& r : rows) {
    CxmlWrapper s;
    s.FillJurisdictionCaptions(r.text);
    EXPECT_EQ(s.settings().stateList(), r.state) << r.text;
    EXPECT_EQ(s.settings().tiList(), r.ti) << r.text;
    EXPECT_EQ(s.settings().provinceList(), r.prov) << r.text;
  }
}

TEST(Settings, InsuranceWorkpaperItems) {
  CxmlWrapper s;
  s.InitInsurWPTemplate("A;;B");
  EXPECT_EQ(s.settings().insuranceNames(), (std::vector<std::string>{"A", "", "B"}));
  s.InitInsurWPTemplate("Premium;1st Year;Loss-Ratio.2;");
  EXPECT_EQ(s.settings().insuranceNames(), (std::vector<std::string>{"Premium", "1st Year", "Loss-Ratio.2"}));
  EXPECT_EQ(s.settings().insuranceElements(), (std::vector<std::string>{"Premium", "_st_Year", "Loss-Ratio.2"}));
}

TEST(Settings, DataFileFormatFromItsName) {
  const std::pair<const char*, std::optional<SourceFormat>> rows[] = {
      {"data.CsV", SourceFormat::kCsv}, {"x.dif", SourceFormat::kDif},        {"x.abc", SourceFormat::kFixedWidth},
      {"x.txt", SourceFormat::kFixedWidth}, {"ab", std::nullopt}, {"a.s", SourceFormat::kFixedWidth},
      {"", std::nullopt}};
  for (const auto& [name, format] : rows) EXPECT_EQ(ReadService::FormatOfName(name), format) << name;
}

// A read through a one-template store in a temporary writable folder.
class ReadRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.file("import.ini"),
                    "[Import:T]\nInfo=COA\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\n");
    ASSERT_TRUE(service.EstablishTemplateStore());
  }
  std::string Read(const std::string& file, const std::string& templ, const std::string& type,
                   const std::string& id = "1") {
    std::string out;
    EXPECT_EQ(service.ReadImportFile(file, templ, type, id, "", out), kOk);
    return out;
  }
  std::string Data(const std::string& name, std::string_view content) {
    test::WriteFile(home.file(name), content);
    return home.file(name);
  }

  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
};

constexpr const char* kUnknown =
    "<Error><Err>Unable to determine the type of import being done. Please try again.</Err></Error>";

TEST_F(ReadRequestTest, RequestErrors) {
  const std::string file = Data("a.csv", "1,x\n");
  EXPECT_EQ(Read(file, "", "FCOA"), kUnknown);
  EXPECT_EQ(Read(file, "MISSING", "FCOA"), kUnknown);
  EXPECT_EQ(Read(file, "T", ""), kUnknown);
  EXPECT_EQ(Read(file, "MISSING", ""), kUnknown);
  EXPECT_EQ(Read(file, "T", "FCOAFCOAFCOAFCOAFCOA"), kUnknown);  // no code is that long
  EXPECT_EQ(Read("ab", "T", "FCOA"), "NOT A CSV,DIF, TXT or PRN FILE-ab - ");
  EXPECT_EQ(Read(home.file("gone.csv"), "T", "FCOA"),
            "<Error>Error opening import file " + home.file("gone.csv") + " for reading!</Error>");
  EXPECT_EQ(Read(home.str() + "/", "T", "FCOA"),  // a folder, read as fixed width
            "<Error>Error opening import file " + home.str() + "/ for reading!</Error>");
  EXPECT_EQ(Read(file, "LOGIC", "LOGIC"),
            "<Error><Err>No jurisdictions were loaded before reading import file.  Please try again.</Err></Error>");
  std::string out;
  service.ReadIntlImportFile(file, "T", "INTL", "1", 2024, 100, out);
  EXPECT_EQ(out, "<Error><Err>Unknown international import type 100. Please try again.</Err></Error>");
  // Before the store is established no template is found.
  CxmlWrapper fresh(&ui);
  fresh.ReadImportFile(file, "T", "FCOA", "1", "", out);
  EXPECT_EQ(out, kUnknown);
}

TEST_F(ReadRequestTest, BadDataFilesGiveWellFormedAnswers) {
  struct Row {
    const char* name;
    std::string content;
    const char* expected;  // nullptr: only well-formedness is checked
  };
  const std::string longLine(10 << 20, 'x');
  const Row rows[] = {
      {"empty.csv", "", "<PRELIMBAL OBJID=\"1\"><TMPLT/></PRELIMBAL>"},
      {"empty.dif", "", ""},
      {"empty.txt", "", "<PRELIMBAL OBJID=\"1\"/>"},
      {"noend.csv", "7,seven", nullptr},
      {"nul.csv", std::string("1,a\0b,c\n2,d\n", 12), nullptr},
      {"binary.txt", std::string("\x00\x01\xff\xfe\x1b[0m\x7f\x80\n\x01", 13), nullptr},
      {"long.csv", "1," + longLine + "\n2,b\n", nullptr},
      {"long.txt", longLine + "\n", nullptr},
      {"ctrlz.csv", "1,a\n\x1A" "2,b\n", "<PRELIMBAL OBJID=\"1\"><COAS Line=\"0\"><Account_Number>1</Account_Number>"
                                          "<Account_Caption>a</Account_Caption></COAS><TMPLT><Account_Number/>"
                                          "<Account_Caption/></TMPLT></PRELIMBAL>"},
      {"utf8.csv", "\xEF\xBB\xBF" "1,Caf\xC3\xA9\n", "<PRELIMBAL OBJID=\"1\"><COAS Line=\"0\"><Account_Number>1"
                                                      "</Account_Number><Account_Caption>Caf</Account_Caption>"
                                                      "</COAS><TMPLT><Account_Number/><Account_Caption/></TMPLT>"
                                                      "</PRELIMBAL>"},
      {"header.dif", "TABLE\n0,1\n\"\"\nVECTORS\n0,2\n\"\"\nTUPLES\n0,1\n\"\"\nDATA\n0,0\n", ""},
      {"cell.dif", "VECTORS\n0,2\nTUPLES\n0,1\nDATA\n0,0\n\"\"\n-1,0\nBOT\n1,0\n", nullptr},
      {"huge.dif", "VECTORS\n0,99999999999\nTUPLES\n0,1\nDATA\n0,0\n\"\"\n-1,0\nBOT\n0,5\nV\n-1,0\nEOD\n", nullptr},
  };
  for (const Row& r : rows) {
    const std::string out = Read(Data(r.name, r.content), "T", "PRELIMBAL");
    if (r.expected) {
      EXPECT_EQ(out, r.expected) << r.name;
    }
    if (!out.empty()) {
      pugi::xml_document doc;
      EXPECT_TRUE(doc.load_buffer(out.data(), out.size())) << r.name << ": " << out.substr(0, 200);
    }
  }
}

TEST_F(ReadRequestTest, TemplateValuesThatAreNotNumbersReadAsUnplaced) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:T]\nInfo=COA\nAccount_Number=abc\nAccount_Caption=9999 1 0\nTRC=70000 1 0\n");
  EXPECT_EQ(Read(Data("a.csv", "1,x\n"), "T", "PRELIMBAL"),
            "<PRELIMBAL OBJID=\"1\"><COAS Line=\"0\"/><TMPLT/></PRELIMBAL>");
}

TEST_F(ReadRequestTest, NextReadDoesNotReturnThePreviousDocument) {
  EXPECT_NE(Read(Data("a.csv", "1,x\n"), "T", "PRELIMBAL"), "");
  EXPECT_EQ(Read(Data("bad.dif", "DATA\n"), "T", "PRELIMBAL"), "");
}

TEST_F(ReadRequestTest, DebugMarkerAnnouncesCommaSeparatedReads) {
  test::WriteFile(home.file("BrenloDebug._me"), "");
  Read(Data("a.csv", "1,x\n"), "T", "PRELIMBAL");
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].caption, "Import");
  EXPECT_EQ(ui.messages()[0].text, "Read CSV File");
}

TEST(Trace, LinesGoToTheNamedFileOnly) {
  test::TempDir dir;
  const std::string file = dir.file("trace.log");
  {
    test::ScopedEnv trace("ZEPHRINIMPORT_TRACE", file);
    test::ScopedEnv home("ZEPHRINIMPORT_HOME", dir.str());
    RecordingUserInterface ui;
    CxmlWrapper s(&ui);
    std::string out;
    s.ReadImportFile(dir.file("a.csv"), "", "FCOA", "1", "", out);
    s.TraceF("GetBeginRow: nMax=%d, m_strImportType=%s", 10, "FCOA");
  }
  EXPECT_EQ(test::ReadFile(file),
            "ReadImportFile: top\nReadImportFile: no template specified\nGetBeginRow: nMax=10, m_strImportType=FCOA\n");
  {
    test::ScopedEnv trace("ZEPHRINIMPORT_TRACE", std::nullopt);
    CxmlWrapper s;
    EXPECT_FALSE(s.TraceOn());
  }
}

// A preliminary balance read of `file` through a chart template held by the
// caller, with Account_Number in column A.
ReadRequest HeldChartRead(const std::string& file) {
  ReadRequest request;
  request.importFile = file;
  request.importType = "PRELIMBAL";
  request.id = "1";
  request.heldTemplate.emplace();
  request.heldTemplate->layoutType = "COA";
  request.heldTemplate->fields[1] = {0, 1, 0};
  return request;
}

TEST(HeldTemplate, ReadsTheFirstRecordsWithoutTheStore) {
  test::ScopedHome home;
  test::WriteFile(home.file("tb.csv"), "1000,Cash\n2000,Bank\n3000,Loans\n");
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ReadRequest request = HeldChartRead(home.file("tb.csv"));
  request.heldTemplate->fields[2] = {1, 1, 0};  // Account_Caption in column B
  request.recordLimit = 2;
  const ReadResult result = service.Read(request);
  EXPECT_EQ(result.outcome, ReadOutcome::kDocument);
  EXPECT_EQ(result.text.view(),
            "<PRELIMBAL OBJID=\"1\"><COAS Line=\"0\"><Account_Number>1000</Account_Number><Account_Caption>Cash"
            "</Account_Caption></COAS><COAS Line=\"1\"><Account_Number>2000</Account_Number><Account_Caption>Bank"
            "</Account_Caption></COAS><TMPLT><Account_Number/><Account_Caption/></TMPLT></PRELIMBAL>");
  EXPECT_FALSE(std::filesystem::exists(home.file("import.ini")));
}

// The editor's preview reads its unsaved Amounts choice and credit column.
TEST(HeldTemplate, ReadsItsSignedAmountsAndCreditColumn) {
  test::ScopedHome home;
  test::WriteFile(home.file("tb.csv"), "1000,\"1.234,50\",\n2000,,\"(12,5)\"\n");
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ReadRequest request = HeldChartRead(home.file("tb.csv"));
  request.templateName = "DRAFT";
  request.heldTemplate->fields[3] = {1, 1, 0};  // Account_Balance in column B
  request.heldTemplate->amounts.credits[3] = {2, 1, 0};  // its credit in column C
  const struct {
    const char* amounts;
    const char* text;
  } cases[] = {
      {"SIGNED COMMA",
       "<PRELIMBAL OBJID=\"1\"><COAS Line=\"0\"><Account_Number>1000</Account_Number><Account_Balance>1234.50"
       "</Account_Balance></COAS><COAS Line=\"1\"><Account_Number>2000</Account_Number><Account_Balance>12.5"
       "</Account_Balance></COAS><TMPLT><Account_Number/><Account_Balance/></TMPLT></PRELIMBAL>"},
      {"", "<Error><Err>The template DRAFT places a credit column for Account Balance, which needs signed amounts."
           "</Err></Error>"},
  };
  for (const auto& c : cases) {
    request.heldTemplate->amounts.amounts = c.amounts;
    EXPECT_EQ(service.Read(request).text.view(), c.text) << c.amounts;
  }
  EXPECT_FALSE(std::filesystem::exists(home.file("import.ini")));
}

}  // namespace
}  // namespace zephrin
