// Whole reads of small jurisdiction data files, through ReadImportFile, each
// compared with the exact expected text in tests/data/jurisdiction/expected/.
//
// Every host code of the jurisdiction family reads a tabular, a listed and a
// DIF file. Set ZEPHRIN_REGENERATE=1 to write the actual texts next to the
// expected ones (as .xml.actual) for review.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

constexpr const char* kState = "state,AL,AK,AZ,CA,NY,TX";
constexpr const char* kStateListed = "state,AL,CA,NY";  // every key listed_every_key.csv's first record lists
constexpr const char* kLogic = "logic,AL,CA,NY,97000000,98000000";
constexpr const char* kStateCodes = "state,01000000,02000000,05000000";
constexpr const char* kProv = "prov,10,Ontario,24,Quebec,48,British Columbia";
constexpr const char* kProvState = "state,Ontario,Quebec,British Columbia,05000000";
constexpr const char* kCategories = "Income,Deduction,CREDIT,Loss";

struct ReadCase {
  const char* name;  // expected/<name>.xml
  const char* code;  // host code, also the built-in template name
  const char* file;
  std::vector<const char*> lists;
  bool batch = false;
  const char* moreInfo = "";
  const char* country = nullptr;  // ID, abbreviation, name
};

std::string RunRead(const ReadCase& c) {
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  if (c.batch) service.SetBatchIndicator(1);
  service.SetCurrentYear(2024);
  service.PutCategoryTypes(kCategories);
  for (const char* list : c.lists) service.FillJurisdictionCaptions(list);
  if (c.country) service.SetCountryOfOperation(c.country, "CA", "Canada");
  std::string result;
  EXPECT_EQ(service.ReadImportFile(test::DataPath(std::string("jurisdiction/") + c.file), c.code, c.code, "ENT-7",
                                   c.moreInfo, result),
            kOk);
  EXPECT_TRUE(ui.messages().empty());
  return result;
}

class JurisdictionRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(JurisdictionRead, MatchesExpectedText) {
  const ReadCase& c = GetParam();
  const std::string result = RunRead(c);
  const std::string expectedPath = test::DataPath(std::string("jurisdiction/expected/") + c.name + ".xml");
  if (std::getenv("ZEPHRIN_REGENERATE")) test::WriteFile(expectedPath + ".actual", result + "\n");
  std::string expected = test::ReadFile(expectedPath);
  if (!expected.empty() && expected.back() == '\n') expected.pop_back();
  EXPECT_EQ(result, expected);
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_buffer(result.data(), result.size())) << "not well-formed: " << result;
}

const ReadCase kCases[] = {
    // State mode: LOGIC, AABAL, TIBAL.
    {"aabal_tabular", "AABAL", "tab_state.csv", {kState}},
    {"aabal_listed", "AABAL", "listed_state.csv", {kState}},
    {"aabal_listed_every_key", "AABAL", "listed_every_key.csv", {kStateListed}},
    {"aabal_dif", "AABAL", "dif_state.dif", {kState}},
    {"logic_tabular", "LOGIC", "tab_state.csv", {kLogic}, false, "more"},
    {"logic_listed", "LOGIC", "listed_state.csv", {kLogic}},
    {"logic_dif", "LOGIC", "dif_state.dif", {kLogic}},
    {"tibal_tabular", "TIBAL", "tab_tibal.csv", {kStateCodes}},
    {"tibal_listed", "TIBAL", "listed_state.csv", {kState}},
    {"tibal_dif", "TIBAL", "dif_tibal.dif", {kStateCodes}},
    // Provincial mode: the province list makes the reader provincial.
    {"apport_tabular", "APPORT", "tab_apport.csv", {kProv}},
    {"apport_listed", "APPORT", "listed_prov.csv", {kProv, kProvState}},
    {"apport_dif", "APPORT", "dif_apport.dif", {kProv}},
    {"loss_tabular", "LOSS", "tab_prov.csv", {kProv}},
    {"loss_listed", "LOSS", "listed_prov.csv", {kProv, kProvState}},
    {"loss_dif", "LOSS", "dif_prov.dif", {kProv}},
    {"credit_tabular", "CREDIT", "tab_prov.csv", {kProv}},
    {"credit_listed", "CREDIT", "listed_prov.csv", {kProv, kProvState}},
    {"credit_dif", "CREDIT", "dif_prov.dif", {kProv}},
    {"amtace_tabular", "AMTACE", "tab_prov.csv", {kProv}},
    {"amtace_listed", "AMTACE", "listed_prov.csv", {kProv, kProvState}},
    {"amtace_dif", "AMTACE", "dif_prov.dif", {kProv}},
    {"cursti_tabular", "CURSTI", "tab_prov.csv", {kProv}},
    {"cursti_listed", "CURSTI", "listed_prov.csv", {kProv, kProvState}},
    {"cursti_dif", "CURSTI", "dif_prov.dif", {kProv}},
    {"ctprcn_tabular", "CTPRCN", "tab_prov.csv", {kProv}},
    {"ctprcn_listed", "CTPRCN", "listed_prov.csv", {kProv, kProvState}},
    {"ctprcn_dif", "CTPRCN", "dif_prov.dif", {kProv}},
    {"catassn_tabular", "CATASSN", "tab_catassn.csv", {kProv, kProvState}},
    {"catassn_listed", "CATASSN", "listed_prov.csv", {kProv, kProvState}},
    {"catassn_dif", "CATASSN", "dif_prov.dif", {kProv, kProvState}},
    // Batch mode: company numbers lead every row.
    {"aabal_tabular_batch", "AABAL", "tab_state_batch.csv", {kState}, true},
    {"loss_tabular_batch", "LOSS", "tab_prov_batch.csv", {kProv}, true},
    {"aabal_listed_batch", "AABAL", "listed_state_batch.csv", {kState}, true},
    // The country column: a header equal to the country abbreviation.
    {"apport_country", "APPORT", "tab_apport_country.csv", {kProv}, false, "", "840"},
    {"amtace_federal", "AMTACE", "tab_amtace_federal.csv", {kProv}, false, "", "840"},
};

INSTANTIATE_TEST_SUITE_P(Family, JurisdictionRead, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Reads on one object share nothing but the host's settings: a jurisdiction
// read, then a plain one, then a jurisdiction read with another list each
// give what a new object with the same settings gives.
TEST(JurisdictionReads, ShareNothingButTheSettings) {
  const std::string tabular = test::DataPath("jurisdiction/tab_state.csv");
  const std::string listed = test::DataPath("jurisdiction/listed_prov.csv");
  const std::string plain = test::DataPath("reads/csv_fcoa/tb.csv");
  test::ScopedHome home;
  test::WriteFile(home.file("import.ini"), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")));
  const auto settle = [](CxmlWrapper& s, std::vector<const char*> lists) {
    s.PutCategoryTypes(kCategories);
    for (const char* list : lists) s.FillJurisdictionCaptions(list);
  };
  const auto read = [](CxmlWrapper& s, const std::string& file, const char* templ, const char* code) {
    std::string out;
    EXPECT_EQ(s.ReadImportFile(file, templ, code, "E", "", out), kOk);
    return out;
  };
  RecordingUserInterface ui;
  CxmlWrapper one(&ui);
  ASSERT_TRUE(one.EstablishTemplateStore());
  settle(one, {kState});
  const std::string first = read(one, tabular, "AABAL", "AABAL");
  const std::string second = read(one, plain, "GL BOOK", "FCOA");
  settle(one, {kProv, kProvState});
  const std::string third = read(one, listed, "APPORT", "APPORT");

  CxmlWrapper fresh(&ui);
  ASSERT_TRUE(fresh.EstablishTemplateStore());
  settle(fresh, {kState});
  EXPECT_EQ(first, read(fresh, tabular, "AABAL", "AABAL"));
  EXPECT_EQ(second, read(fresh, plain, "GL BOOK", "FCOA"));
  CxmlWrapper again(&ui);
  settle(again, {kState, kProv, kProvState});
  EXPECT_EQ(third, read(again, listed, "APPORT", "APPORT"));
  EXPECT_NE(first.find("<AABALS"), std::string::npos);
  EXPECT_NE(second.find("<COAS"), std::string::npos);
  EXPECT_NE(third.find("<APPORT"), std::string::npos);
}

// Lists and category types the host replaces between reads replace the old
// ones in the reads after: an entry of an old list no longer matches, so no
// two columns or types share a number.
TEST(JurisdictionReads, ReplacedListsLeaveNothingBehind) {
  test::ScopedHome home;
  const std::string file = home.file("al.csv");
  test::WriteFile(file, "Type,Category,Subcategory,AL,TX\nIncome,Sales,Retail,100,200\n");
  RecordingUserInterface ui;
  CxmlWrapper s(&ui);
  const auto read = [&] {
    std::string out;
    EXPECT_EQ(s.ReadImportFile(file, "AABAL", "AABAL", "E", "", out), kOk);
    return out;
  };
  s.PutCategoryTypes("Income,Deduction,Credit");
  s.FillJurisdictionCaptions("state,AL,CA,TX");
  EXPECT_EQ(read(),
            "<AABALS OBJID=\"E\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
            "<JUR id=\"3\"><Name>tx</Name></JUR></JURS></TMPL><BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>Sales"
            "</Category><Subcategory>Retail</Subcategory><JURS><JUR amt=\"100\" id=\"1\"/><JUR amt=\"200\" id=\"3\"/>"
            "</JURS></BAL></AABALS>");
  s.FillJurisdictionCaptions("state,TX,NY");
  EXPECT_EQ(read(), "<Error><Err Line=\"1\">Invalid Jurisdiction - AL</Err></Error>");  // AL was 1, TX is now
  s.FillJurisdictionCaptions("state,AL,TX");
  s.PutCategoryTypes("Loss,Other");
  EXPECT_EQ(read(), "<Error><Err Line=\"2\">Invalid Jurisdiction - Income</Err></Error>");  // Income was 1, Loss is now
}

}  // namespace
}  // namespace zephrin
