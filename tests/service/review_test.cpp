// The review of a read and the best-fitting template, through the service
// object: whole answers against exact texts.
#include <gtest/gtest.h>

#include "service/review_json.h"
#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

// Templates of a chart of accounts (header on line 1, records from line 2;
// read from line 1), an entity and journal-entry balances.
constexpr const char* kStore =
    "[Import:TB]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
    "TRC=3 2 0\nTCC=4 2 0\n"
    "[Import:TB1]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\nAccount_Balance=2 1 0\n"
    "TRC=3 1 0\nTCC=4 1 0\n"
    "[Import:ENT]\nInfo=ENTITY\nFsiType=FEDERAL\nEntity_Type=0 1 0\nReturn_Type=1 1 0\nCompany_Name=2 1 0\n"
    "Fiscal_Year_Beginning_Date=3 1 0\nIncome_Tax_Binder_Year=4 1 0\n"
    "[Import:ADJ]\nInfo=JE\nFsiType=FEDERAL\nJE_Type=0 1 0\nJE_Number=1 1 0\nJE_Caption=2 1 0\n"
    "Account_Number=3 1 0\nAccount_Balance=4 1 0\n"
    "[Import:Layout]\n1=TB\n2=TB1\n3=ENT\n4=ADJ\n";

constexpr const char* kHeader = "Acct,Name,Bal,TRC,TCC\n";

class Review : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.file("import.ini"), kStore);
    std::string folder;
    service.GetWriteableFolderPath(folder);
  }
  // The review's answer for `data` read with the template as `type`.
  std::string Answer(const std::string& data, const char* templateName, const char* type) {
    test::WriteFile(home.file("data.csv"), data);
    ReadRequest r;
    r.importFile = home.file("data.csv");
    r.templateName = templateName;
    r.importType = type;
    r.id = "1";
    return ReviewValue(service.ReviewImport(r)).dump();
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
};

constexpr const char* kBalancedTotals =
    R"("totals":[{"item":"Account_Balance","count":2,"positive":"100.10","negative":"-100.10","total":"0.00"}]})";

TEST_F(Review, EachFindingOnAFileMadeForIt) {
  struct Row {
    const char* name;
    std::string data;
    const char* templateName;
    const char* type;
    std::string answer;
  };
  const Row rows[] = {
      {"clean", std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,Loan,-100.10,3,4\n", "TB", "FCOA",
       R"({"records":2,"findings":[],"moreFindings":0,)" + std::string(kBalancedTotals)},
      {"not-a-number", std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,Loan,abc,3,4\n", "TB", "FCOA",
       R"({"records":2,"findings":[{"line":3,"item":"Account_Balance","value":"abc","code":"not-a-number","message":"\"abc\" is not a number"},)"
       R"({"line":0,"item":"Account_Balance","value":"100.10","code":"out-of-balance","message":"the balances sum to 100.10, not zero"}],"moreFindings":0,)"
       R"("totals":[{"item":"Account_Balance","count":1,"positive":"100.10","negative":"0.00","total":"100.10"}]})"},
      {"required-missing", std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,,-100.10,3,4\n", "TB", "FCOA",
       R"({"records":2,"findings":[{"line":3,"item":"Account_Caption","value":"","code":"required-missing","message":"Account Caption is required and empty"}],"moreFindings":0,)" +
           std::string(kBalancedTotals)},
      {"duplicate-account", std::string(kHeader) + "1000,Cash,100.10,1,2\n1000,Loan,-100.10,3,4\n", "TB", "FCOA",
       R"({"records":2,"findings":[{"line":3,"item":"Account_Number","value":"1000","code":"duplicate-account","message":"account 1000 is already on line 2"}],"moreFindings":0,)" +
           std::string(kBalancedTotals)},
      {"kind-mismatch", std::string(kHeader), "TB", "FBJ",
       R"({"records":0,"findings":[{"line":0,"item":"","value":"COA","code":"kind-mismatch","message":"the template TB is a COA template, which FBJ does not read; COA templates go with FCOA, PRELIMBAL"}],"moreFindings":0,"totals":[]})"},
      {"header-as-record", std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,Loan,-100.10,3,4\n", "TB1", "FCOA",
       R"({"records":3,"findings":[{"line":1,"item":"Account_Balance","value":"Bal","code":"header-as-record","message":"the first record holds \"Bal\" where the records after it hold valid values: a header row read as a record (the start row is one line too early)"}],"moreFindings":0,)" +
           std::string(kBalancedTotals)},
      {"not-a-date, not-a-year", "C,1120,Acme,2025-01-31,2025\nS,1120S,Beta,2025-02-30,25x\n", "ENT", "ENTITY",
       R"({"records":2,"findings":[{"line":2,"item":"Fiscal_Year_Beginning_Date","value":"2025-02-30","code":"not-a-date","message":"\"2025-02-30\" is not a date"},)"
       R"({"line":2,"item":"Income_Tax_Binder_Year","value":"25x","code":"not-a-year","message":"\"25x\" is not a year"}],"moreFindings":0,"totals":[]})"},
      {"out-of-balance journal entry", "A,J1,First\n\n,,,1000,5.00\n,,,2000,7.5\n\n\nA,J2,Second\n\n,,,1000,1\n,,,2000,-1\n", "ADJ", "JEBAL",
       R"({"records":2,"findings":[{"line":1,"item":"Account_Balance","value":"12.50","code":"out-of-balance","message":"the journal entry's amounts sum to 12.50, not zero"}],"moreFindings":0,)"
       R"("totals":[{"item":"Account_Balance","count":4,"positive":"13.50","negative":"-1.00","total":"12.50"}]})"},
  };
  for (const Row& r : rows) EXPECT_EQ(Answer(r.data, r.templateName, r.type), r.answer) << r.name;
}

TEST_F(Review, AReadThatFailsIsAFindingWithItsMessage) {
  ReadRequest r;
  r.importFile = home.file("missing.csv");
  r.templateName = "TB";
  r.importType = "FCOA";
  EXPECT_EQ(ReviewValue(service.ReviewImport(r)).dump(),
            R"({"records":0,"findings":[{"line":0,"item":"","value":"","code":"read-error","message":"Error opening import file )" +
                home.file("missing.csv") + R"( for reading!"}],"moreFindings":0,"totals":[]})");
}

TEST_F(Review, AtMostAThousandFindingsAreListedAndTheRestCounted) {
  std::string data(kHeader);
  for (int i = 0; i < 1200; ++i) data += std::to_string(1000 + i) + ",A,x,1,2\n";
  test::WriteFile(home.file("data.csv"), data);
  ReadRequest r;
  r.importFile = home.file("data.csv");
  r.templateName = "TB";
  r.importType = "PRELIMBAL";
  const ReviewReport report = service.ReviewImport(r);
  EXPECT_EQ(report.records, 1200u);
  ASSERT_EQ(report.findings.size(), 1000u);
  EXPECT_EQ(report.moreFindings, 200u);
  EXPECT_EQ(report.findings.back().line, 1001);
}

}  // namespace
}  // namespace zephrin
