// The hand-off of the jurisdiction family to the jurisdiction reader: the
// list check, the template names, the host protocol and the command line.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "service/host_protocol.h"
#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

constexpr const char* kNoLists =
    "<Error><Err>No jurisdictions were loaded before reading import file.  Please try again.</Err></Error>";
constexpr const char* kNotLoaded =
    "<Error>Jurisdictions were not loaded prior to reading import file. Please close Internet browser, reboot your "
    "workstation and try again.\nIf the problem occurs again, contact Ostrevar Calvenor support.</Error>";

std::string Data(const char* name) { return test::DataPath(std::string("jurisdiction/") + name); }

std::string Expected(const char* name) {
  std::string text = test::ReadFile(Data("expected/") + name);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

struct ListCheckCase {
  const char* code;
  const char* list;  // the one list set, or nullptr
  const char* expected;
};

class ListCheck : public ::testing::TestWithParam<ListCheckCase> {};

TEST_P(ListCheck, NeedsTheListOfItsCode) {
  const ListCheckCase& c = GetParam();
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  if (c.list) service.FillJurisdictionCaptions(c.list);
  std::string result;
  service.ReadImportFile(Data("bad/header_only.csv"), c.code, c.code, "X", "", result);
  EXPECT_EQ(result, c.expected);
}

const ListCheckCase kListChecks[] = {
    {"LOGIC", nullptr, kNoLists},
    {"AABAL", nullptr, kNoLists},
    {"AABAL", "prov,1,Ontario", kNoLists},
    // TIBAL needs no list of its own: the reader runs and finds its table empty.
    {"TIBAL", nullptr, kNotLoaded},
    {"APPORT", nullptr, kNoLists},
    {"APPORT", "state,AL", kNoLists},
    {"LOSS", "state,AL", kNoLists},
    {"CREDIT", "state,AL", kNoLists},
    {"AMTACE", "state,AL", kNoLists},
    {"CURSTI", "state,AL", kNoLists},
    {"CATASSN", "state,AL", kNoLists},
    {"CTPRCN", "ti,AL;1:2", kNoLists},
    // The needed list set: the read goes on to the reader.
    {"AABAL", "state,AL", "<AABALS OBJID=\"X\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR></JURS></TMPL></AABALS>"},
    {"LOGIC", "logic,AL", "<LOGIC_CHART OBJID=\"X\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR></JURS></TMPL></LOGIC_CHART>"},
};

INSTANTIATE_TEST_SUITE_P(Codes, ListCheck, ::testing::ValuesIn(kListChecks), [](const auto& info) {
  return std::to_string(info.index) + "_" + info.param.code;
});

TEST(JurisdictionHandoff, TemplateWithoutElementNamesCannotBeRead) {
  // CATEGORY is built in but names no elements for the jurisdiction reader.
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  service.FillJurisdictionCaptions("state,AL");
  std::string result;
  service.ReadImportFile(Data("bad/header_only.csv"), "CATEGORY", "AABAL", "X", "", result);
  EXPECT_EQ(result,
            "<Error>Cannot determine the type of import being done. Please select a different import file and try "
            "again.\nIf the problem occurs again, contact Ostrevar Calvenor support.</Error>");
}

TEST(JurisdictionHandoff, ServiceObjectReadsAgainAfterAFailure) {
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  service.SetCurrentYear(2024);
  service.PutCategoryTypes("Income,Deduction,CREDIT,Loss");
  service.FillJurisdictionCaptions("state,AL,AK,AZ,CA,NY,TX");
  std::string first, failed, second;
  service.ReadImportFile(Data("tab_state.csv"), "AABAL", "AABAL", "ENT-7", "", first);
  service.ReadImportFile(Data("bad/header_unknown.csv"), "AABAL", "AABAL", "ENT-7", "", failed);
  service.ReadImportFile(Data("tab_state.csv"), "AABAL", "AABAL", "ENT-7", "", second);
  EXPECT_EQ(first, Expected("aabal_tabular.xml"));
  EXPECT_NE(failed.find("Invalid Jurisdiction - Alaska X"), std::string::npos);
  EXPECT_EQ(second, first);
}

TEST(JurisdictionHandoff, TraceNamesTheSteps) {
  test::TempDir dir;
  test::ScopedEnv env("ZEPHRINIMPORT_TRACE", dir.file("trace.txt"));
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  service.FillJurisdictionCaptions("state,AL,AK,AZ,CA,NY,TX");
  std::string result;
  service.ReadImportFile(Data("tab_state.csv"), "AABAL", "AABAL", "X", "", result);
  const std::string trace = test::ReadFile(dir.file("trace.txt"));
  for (const char* line : {"FillJurisdictionCaption: ii=0, strTemp=state\n", "ReadImportFile: calling AnalyzeSource()\n",
                           "AnalyzeSource: file open - m_nFormat=0\n", "AnalyzeSource: nRow=2, m_nCategoryCol=3\n",
                           "AnalyzeSource: m_nTotalCols=6, m_nCategoryCol=3\n",
                           "ReadImportFile: back from AnalyzeSource\n",
                           "ReadTabularSource: file is open and it isn't empty. ImportType=AABAL\n"})
    EXPECT_NE(trace.find(line), std::string::npos) << line;
}

TEST(JurisdictionHandoff, HostProtocolCarriesTheRead) {
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  HostProtocol protocol(service, ui);
  for (const char* request :
       {R"({"jsonrpc":"2.0","id":1,"method":"SetCurrentYear","params":[2024]})",
        R"({"jsonrpc":"2.0","id":2,"method":"PutCategoryTypes","params":["Income,Deduction,CREDIT,Loss"]})",
        R"({"jsonrpc":"2.0","id":3,"method":"FillJurisdictionCaptions","params":["state,AL,AK,AZ,CA,NY,TX"]})"})
    ASSERT_TRUE(protocol.HandleLine(request));
  const std::string path = Data("listed_state.csv");
  const auto response = protocol.HandleLine(R"({"jsonrpc":"2.0","id":4,"method":"ReadImportFile","params":[")" + path +
                                            R"(","AABAL","AABAL","ENT-7",""]})");
  ASSERT_TRUE(response);
  EXPECT_NE(response->find("\"value\":" + nlohmann::json(Expected("aabal_listed.xml")).dump()), std::string::npos)
      << *response;
}

TEST(JurisdictionCommandLine, ReadTakesTheJurisdictionSettingsFromFiles) {
  test::TempDir dir;
  test::WriteFile(dir.file("prov.txt"), "prov,10,Ontario,24,Quebec,48,British Columbia\n");
  test::WriteFile(dir.file("cats.txt"), "Income,Deduction,CREDIT,Loss\r\n");
  int status = -1;
  const std::string out =
      test::RunCommand(std::string(ZEPHRIN_BINARY) + " read " + Data("tab_apport_country.csv") +
                     " -t APPORT --type APPORT --id ENT-7 --year 2024 --jurisdictions " + dir.file("prov.txt") +
                     " --category-types " + dir.file("cats.txt") + " --country 840,CA,Canada 2>&1",
                 &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, Expected("apport_country.xml") + "\n");
}

TEST(JurisdictionCommandLine, CountryNeedsThreeParts) {
  int status = -1;
  const std::string out =
      test::RunCommand(std::string(ZEPHRIN_BINARY) + " read x.csv -t APPORT --type APPORT --country CA 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("--country takes ID,ABBREV,NAME"), std::string::npos) << out;
}

}  // namespace
}  // namespace zephrin
