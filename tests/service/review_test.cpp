// The review of a read and the best-fitting template, through the service
// object: whole answers against exact texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "service/host_protocol.h"
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
    "[Import:Layout]\n1=TB\n2=TB1\n3=ENT\n4=ADJ\n"
    // Fixed-width, not listed: suggest does not try it.
    "[Import:TBFIX]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 4 0\nAccount_Caption=5 4 0\nAccount_Balance=10 8 0\nTRC=19 1 0\n"
    "TCC=21 1 0\n";

constexpr const char* kHeader = "Acct,Name,Bal,TRC,TCC\n";

class Review : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.file("import.ini"), kStore);
    std::string folder;
    service.GetWriteableFolderPath(folder);
  }
  // The review of `data` read with the template as `type`, and its answer.
  ReviewReport Report(const std::string& data, const char* templateName, const char* type,
                      const char* fileName = "data.csv") {
    test::WriteFile(home.file(fileName), data);
    ReadRequest r;
    r.importFile = home.file(fileName);
    r.templateName = templateName;
    r.importType = type;
    r.id = "1";
    return service.ReviewImport(r);
  }
  std::string Answer(const std::string& data, const char* templateName, const char* type) {
    return ReviewValue(Report(data, templateName, type)).dump();
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
      {"carriage-return", std::string(kHeader) + "1000,Cash,100.10,1,2\r2000,Loan,-100.10,3,4\n", "TB", "FCOA",
       R"({"records":1,"findings":[{"line":2,"item":"","value":"","code":"carriage-return","message":"a carriage )"
       R"(return inside this line does not end it (only a line feed ends a line), so what follows it is read as )"
       R"(part of this line"},{"line":0,"item":"Account_Balance","value":"100.10","code":"out-of-balance","message":)"
       R"("the balances sum to 100.10, not zero"}],"moreFindings":0,)"
       R"("totals":[{"item":"Account_Balance","count":1,"positive":"100.10","negative":"0.00","total":"100.10"}]})"},
      // The split moved TRC and TCC one column on; the line of a small amount
      // before a three-digit code has the usual five fields and is no finding.
      // Known at the end, the split takes its place among the findings by line.
      {"split-amount", std::string(kHeader) + "1000,Cash,-1,234.56,1,2\n2000,Loan,abc,3,4\n3000,Fee,5,100,1\n4000,Due,-5,1,1\n",
       "TB", "FCOA",
       R"({"records":4,"findings":[{"line":2,"item":"","value":"-1,234.56","code":"split-amount","message":"this line )"
       R"(has 6 fields where the header line has 5: \"-1,234.56\" reads as one amount whose thousands commas split it )"
       R"(into fields of their own, which moves the fields after it; quote the amount, or write amounts without )"
       R"(thousands separators"},{"line":3,"item":"Account_Balance","value":"abc","code":"not-a-number","message":)"
       R"("\"abc\" is not a number"},{"line":0,"item":"Account_Balance","value":"-1.00","code":"out-of-balance",)"
       R"("message":"the balances sum to -1.00, not zero"}],"moreFindings":0,"totals":[{"item":"Account_Balance",)"
       R"("count":3,"positive":"5.00","negative":"-6.00","total":"-1.00"}]})"},
      {"split-amount, on the first lines and in a row",
       std::string(kHeader) + "1000,Cash,1,234.50,1,2\n2000,Loan,-2,000,3,4\n3000,Fee,5,1,1\n4000,X,-4,1,1\n5000,Y,0.5,1,1\n",
       "TB", "FCOA",
       R"({"records":5,"findings":[{"line":2,"item":"","value":"1,234.50","code":"split-amount","message":"this line )"
       R"(has 6 fields where the header line has 5: \"1,234.50\" reads as one amount whose thousands commas split it )"
       R"(into fields of their own, which moves the fields after it; quote the amount, or write amounts without )"
       R"(thousands separators"},{"line":3,"item":"","value":"-2,000","code":"split-amount","message":"this line )"
       R"(has 6 fields where the header line has 5: \"-2,000\" reads as one amount whose thousands commas split it )"
       R"(into fields of their own, which moves the fields after it; quote the amount, or write amounts without )"
       R"(thousands separators"},{"line":0,"item":"Account_Balance","value":"0.50","code":"out-of-balance",)"
       R"("message":"the balances sum to 0.50, not zero"}],"moreFindings":0,"totals":[{"item":"Account_Balance",)"
       R"("count":5,"positive":"6.50","negative":"-6.00","total":"0.50"}]})"},
      // A line that ends with its separator has an empty field after it.
      {"split-amount, on a line that ends with an empty field",
       std::string(kHeader) + "1000,Cash,5,1,\n2000,Loan,-5,3,4\n3000,Fee,-1,5,6\n4000,Due,1,234.50,7,\n", "TB", "FCOA",
       R"({"records":4,"findings":[{"line":2,"item":"TCC","value":"","code":"required-missing","message":"TCC is )"
       R"(required and empty"},{"line":5,"item":"","value":"1,234.50","code":"split-amount","message":"this line )"
       R"(has 6 fields where the header line has 5: \"1,234.50\" reads as one amount whose thousands commas split it )"
       R"(into fields of their own, which moves the fields after it; quote the amount, or write amounts without )"
       R"(thousands separators"}],"moreFindings":0,"totals":[{"item":"Account_Balance","count":4,"positive":)"
       R"("6.00","negative":"-6.00","total":"0.00"}]})"},
      // Two codes side by side ("5,100") on a line no longer than the header,
      // and a run past the columns the template reads, move nothing read.
      {"split-amount, not where a line fits its header, nor past the columns read",
       std::string(kHeader) + "1000,Cash,15.00,5,100\n2000,Loan,-5.00,215\n3000,Fee,-10.00,300,2,5,100\n", "TB", "FCOA",
       R"({"records":3,"findings":[{"line":3,"item":"TCC","value":"","code":"required-missing","message":"TCC is )"
       R"(required and empty"}],"moreFindings":0,"totals":[{"item":"Account_Balance","count":3,"positive":"15.00",)"
       R"("negative":"-15.00","total":"0.00"}]})"},
      {"kind-mismatch", std::string(kHeader), "TB", "FBJ",
       R"({"records":0,"findings":[{"line":0,"item":"","value":"COA","code":"kind-mismatch","message":"the template TB is a COA template, which FBJ does not read; COA templates go with FCOA, PRELIMBAL"}],"moreFindings":0,"totals":[]})"},
      {"header-as-record", std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,Loan,-100.10,3,4\n", "TB1", "FCOA",
       R"J({"records":3,"findings":[{"line":1,"item":"Account_Balance","value":"Bal","code":"header-as-record","message":"the first record holds \"Bal\" where the records after it hold valid values: a header row read as a record (the start row is one line too early)"}],"moreFindings":0,)J" +
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

// The split amounts of a file, as "LINE VALUE (FIELDS: WHERE)" each.
std::string SplitAmounts(const ReviewReport& report) {
  std::string out;
  for (const ReviewFinding& f : report.findings) {
    if (f.code != "split-amount") continue;
    const std::size_t where = f.message.find(" fields where "), colon = f.message.find(':');
    out += (out.empty() ? "" : "; ") + std::to_string(f.line) + " " + f.value + " (" +
           f.message.substr(14, where - 14) + ": " + f.message.substr(where + 14, colon - where - 14) + ")";
  }
  return out;
}

TEST_F(Review, SplitAmountsInTheFormsExportsWriteThem) {
  struct Case {
    std::string data;
    std::string found;
    const char* templateName = "TB";  // TB1 reads from line 1: no header line
  };
  const Case cases[] = {
      // Every line split: the header line says how many fields there are.
      {"A,B,C,D,E\n1000,Cash,1,234.50,1,2\n2000,Loan,-1,234.50,3,4\n",
       "2 1,234.50 (6: the header line has 5); 3 -1,234.50 (6: the header line has 5)"},
      // A currency sign, a CR mark, blanks after the commas between fields.
      {"A,B,C,D,E\n1000,Cash,$1,234.50,1,2\n2000,Loan,1,234.50 CR,3,4\n3000,Fee, 2,000.00 ,5,6\n4000,X,0,1,1\n",
       "2 $1,234.50 (6: the header line has 5); 3 1,234.50 CR (6: the header line has 5); 4 2,000.00 (6: the header line has 5)"},
      // Whole amounts: the fields past the usual ones say how far the amount
      // goes, and the three-digit code after it is none of its groups.
      {"A,B,C,D,E\n1000,Cash,1,234,101,1\n2000,Loan,12,345,678,215,2\n3000,Fee,-5.00,300,3\n",
       "2 1,234 (6: the header line has 5); 3 12,345,678 (7: the header line has 5)"},
      // Amounts split past the columns read make no usual line of theirs.
      {"A,B,C,D,E,F\n1000,Cash,5.00,1,2,1,234.50\n2000,Loan,6.00,3,4,2,100.00\n3000,Fee,7.00,5,6,95.00\n"
       "4000,Due,1,100.00,7,8,900.00\n",
       "5 1,100.00 (7: the header line has 6)"},
      // A run ending in decimals is the amount whole, whatever fields the
      // line leaves out at its end.
      {"A,B,C,D,E\n1000,Cash,2,369,666.01,\n1010,Petty,1,394,947.97,\n2000,Pay,,3,764,613.98\n",
       "2 2,369,666.01 (6: the header line has 5); 3 1,394,947.97 (6: the header line has 5); "
       "4 3,764,613.98 (6: the header line has 5)"},
      // No word: a line as long as its header where the others leave out
      // their empty last fields; codes side by side in a file without a header.
      {"A,B,C,D,E,F\n1000,Cash,1,15250.00\n1010,Petty,1,50.00\n1100,AR,1,250.00,101,1\n2000,AP,2,-9000.00\n", ""},
      {"1000,Cash,15250.00\n1010,Petty,50.00\n1100,AR,250.00,5,100\n2000,AP,-9000.00\n", "", "TB1"},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitAmounts(Report(c.data, c.templateName, "FCOA")), c.found) << c.data;
}

// A finding's value is the value as the document holds it: bytes outside
// printable ASCII are blanks there (and at a field's end are trimmed as blanks).
TEST_F(Review, AFindingShowsTheValueAsTheDocumentHoldsIt) {
  const ReviewReport report = Report(std::string(kHeader) + "1000,Cash,\xE9t\xE9 5\xE9,1,2\n", "TB", "FCOA");
  ASSERT_FALSE(report.findings.empty());
  EXPECT_EQ(report.findings[0].code, "not-a-number");
  EXPECT_EQ(report.findings[0].value, " t  5");
  EXPECT_EQ(report.findings[0].message, "\" t  5\" is not a number");
}

// What a read takes as its format says, though a person may mean otherwise:
// a tab counts as one column of fixed-width text, a Ctrl-Z with text after it
// ends the text, a byte that is not UTF-8 makes UTF-8 letters two characters
// each, a name ending in .xls reads as fixed-width text whatever the file
// holds. Each is told once, on its line.
TEST_F(Review, TextTakenAsTheFormatSaysIsTold) {
  const std::string tab = "line 2 tab: a tab in this line counts as one column, as fixed-width text counts it, though "
                          "an editor shows it as up to eight: the fields after it are cut elsewhere than they look";
  const std::string ctrlZ = "line 2 ctrl-z: a Ctrl-Z on this line, the end-of-file mark of old programs, ends the "
                            "text: what follows it is not read (two such files joined into one leave one between them)";
  const std::string named = "line 0 not-a-workbook: the file's name ends in .xls, but it holds text, not a workbook: "
                            "it was read as fixed-width text, as such a name says; an export of separated text named "
                            "so reads as such when the read or the template names its separator";
  const std::string one = "1000 Cash   100.10 1 2\n", two = "2000 Loan  -100.10 3 4\n";
  const struct {
    const char* file;
    std::string data;
    std::string found;
  } cases[] = {
      {"data.prn", one + "2000\tLoan -100.10 3 4\n", tab},
      {"data.prn", one + two + "3000 Fee     0.00 5 6\t\t\n", ""},  // trailing blanks are no column
      {"data.csv", "A,B,C,D,E\n1000,Ca\tsh,100.10,1,2\n", ""},   // a tab is text in separated text
      {"data.prn", one + "\x1A" + two, ctrlZ},
      // Past the first piece of a file read piece by piece (in test builds
      // whose pieces are small).
      {"data.prn", one + two + one + "\x1A" + two, "line 4" + ctrlZ.substr(6)},
      {"data.csv", "A,B,C,D,E\n1000,Cash,100.10,1,2\x1A\n2000,Loan,-100.10,3,4\n", ctrlZ},
      {"data.prn", one + two + "\x1A", ""},  // an old program's file ends with one
      {"data.prn", one + two + "\x1A\r\n\x1A", ""},
      {"data.prn", "1000 Caf\xC3\xA9  100.10 1 2\n2000 L\xF6" "an -100.10 3 4\n",
       "line 2 not-utf8: this line holds a byte that is not UTF-8, in a file of UTF-8 letters besides: the file is "
       "read as Windows-1252, so each of those letters reads as two characters (and in fixed-width text moves the "
       "fields after it); save the file again as UTF-8, or as Windows-1252, whole"},
      {"data.xls", one + two, named},
      {"DATA.XLS", one + two, named},
  };
  for (const auto& c : cases) {
    std::string found;
    for (const ReviewFinding& f : Report(c.data, c.file[5] == 'c' ? "TB" : "TBFIX", "FCOA", c.file).findings)
      if (f.code == "tab" || f.code == "ctrl-z" || f.code == "not-a-workbook" || f.code == "not-utf8")
        found += (found.empty() ? "" : "; ") + ("line " + std::to_string(f.line) + " " + f.code + ": " + f.message);
    EXPECT_EQ(found, c.found) << c.file << " " << c.data;
  }
}

// A fixed-width read has no start row to move: its header line is read as a
// record because it reads every line with text, and the finding says so.
TEST_F(Review, AFixedWidthHeaderLineReadAsARecordIsToldWithoutAStartRow) {
  const ReviewReport report = Report("Acct Name      Bal T C\n1000 Cash   100.10 1 2\n2000 Loan  -100.10 3 4\n",
                                     "TBFIX", "FCOA", "data.prn");
  ASSERT_FALSE(report.findings.empty());
  EXPECT_EQ(report.findings[0].code, "header-as-record");
  EXPECT_EQ(report.findings[0].message,
            "the first record holds \"Bal\" where the records after it hold valid values: a header row read as a "
            "record (a fixed-width read takes every line with text, its header line too)");
}

// Amounts written with a decimal comma are read into plain decimals; the
// review takes those as the read wrote them, and finds only what the rule
// could not read ("1.5" is no amount with a decimal comma).
TEST_F(Review, AmountsTheReadTurnedIntoDecimalsAreNumbers) {
  test::WriteFile(home.file("import.ini"),
                  std::string(kStore) +
                      "[Import:TBC]\nInfo=COA\nFsiType=FEDERAL\nAmounts=SIGNED COMMA\nAccount_Number=0 2 0\n"
                      "Account_Caption=1 2 0\nAccount_Balance=2 2 0\nTRC=3 2 0\nTCC=4 2 0\n");
  EXPECT_EQ(Answer(std::string(kHeader) + "1000,Cash,\"1.234,56\",1,2\n2000,Loan,\"(1.234,56)\",3,4\n3000,Odd,1.5,5,6\n", "TBC",
                   "FCOA"),
            R"({"records":3,"findings":[{"line":4,"item":"Account_Balance","value":"1.5","code":"not-a-number","message":"\"1.5\" is not a number"}],"moreFindings":0,)"
            R"("totals":[{"item":"Account_Balance","count":2,"positive":"1234.56","negative":"-1234.56","total":"0.00"}]})");
}

// An inch mark opens a quote that no later quote closes: every line after it
// is one field, which the review names at the line that opened it.
TEST_F(Review, AQuoteLeftOpenIsFoundWhereItOpened) {
  EXPECT_EQ(Answer(std::string(kHeader) + "1500,Steel pipe 12\" dia,500.00,101,1\n1510,Valves,250.00,101,1\n", "TB", "FCOA"),
            R"({"records":2,"findings":[{"line":2,"item":"","value":"","code":"open-quote","message":"a double quote )"
            R"(opened on this line is not closed on it, so the lines after it are read as one field up to the next )"
            R"(double quote"},{"line":2,"item":"TRC","value":"","code":"required-missing","message":"TRC is required )"
            R"(and empty"},{"line":2,"item":"TCC","value":"","code":"required-missing","message":"TCC is required and )"
            R"(empty"},{"line":3,"item":"Account_Caption","value":"","code":"required-missing","message":"Account )"
            R"(Caption is required and empty"},{"line":3,"item":"TRC","value":"","code":"required-missing","message":)"
            R"("TRC is required and empty"},{"line":3,"item":"TCC","value":"","code":"required-missing","message":)"
            R"("TCC is required and empty"}],"moreFindings":0,"totals":[{"item":"Account_Balance","count":0,)"
            R"("positive":"0.00","negative":"0.00","total":"0.00"}]})");
}

// A DIF file closes its data with an "EOD" line: one that ends without it
// may have lost its last rows to a full disk or a broken copy.
TEST_F(Review, ADifFileWithoutItsEndMarkMayBeCutShort) {
  const std::string rows = test::DifHeader(5, 2) +
                           "-1,0\nBOT\n0,1000\nV\n1,0\n\"Cash\"\n0,100.1\nV\n0,1\nV\n0,2\nV\n"
                           "-1,0\nBOT\n0,2000\nV\n1,0\n\"Loan\"\n0,-100.1\nV\n0,3\nV\n0,4\nV\n";
  const std::string answer = R"({"records":2,"findings":[)";
  const std::string cut = R"({"line":0,"item":"","value":"","code":"cut-short","message":"the file ends without )"
                          R"(the end-of-data mark (EOD) that closes a DIF file: it may have been cut short, and )"
                          R"(rows after the last one read are missing"})";
  const std::string totals = R"(],"moreFindings":0,)" + std::string(kBalancedTotals);
  EXPECT_EQ(ReviewValue(Report(rows + "-1,0\nEOD\n", "TB1", "FCOA", "data.dif")).dump(), answer + totals);
  EXPECT_EQ(ReviewValue(Report(rows, "TB1", "FCOA", "data.dif")).dump(), answer + cut + totals);
}

TEST_F(Review, AReadThatFailsIsAFindingWithItsMessage) {
  ReadRequest r;
  r.importFile = home.file("R&D <missing>.csv");
  r.templateName = "TB";
  r.importType = "FCOA";
  EXPECT_EQ(ReviewValue(service.ReviewImport(r)).dump(),
            R"({"records":0,"findings":[{"line":0,"item":"","value":"","code":"read-error","message":"Error opening import file )" +
                home.file("R&D <missing>.csv") + R"( for reading!"}],"moreFindings":0,)"
                R"("totals":[{"item":"Account_Balance","count":0,"positive":"0.00","negative":"0.00","total":"0.00"}]})");
}

// Many accounts, in order and out of it: the ones given again are found
// with their first line, long after the numbers seen have grown past any
// first room, and the sums stay exact.
TEST_F(Review, DuplicatesAmongManyAccountsKeepTheirFirstLine) {
  for (const int step : {1, 7919}) {  // 7919: the numbers in a scrambled order
    const auto account = [&](int i) { return "A" + std::to_string(i * step % 5000); };
    std::string data(kHeader);
    for (int i = 0; i < 5000; ++i) data += account(i) + ",x,0.01,1,2\n";
    data += account(0) + ",x,-25,1,2\n" + account(4999) + ",x,-25,1,2\n  " + account(17) + " ,x,-0.00,1,2\n";
    const ReviewReport report = Report(data, "TB", "FCOA");
    ASSERT_EQ(report.findings.size(), 3u) << step;
    EXPECT_EQ(report.findings[0].message, "account " + account(0) + " is already on line 2");
    EXPECT_EQ(report.findings[1].message, "account " + account(4999) + " is already on line 5001");
    EXPECT_EQ(report.findings[2].message, "account " + account(17) + " is already on line 19");
    ASSERT_EQ(report.totals.size(), 1u);
    EXPECT_EQ(report.totals[0].total, "0.00");
  }
}

TEST_F(Review, AtMostAThousandFindingsAreListedAndTheRestCounted) {
  std::string data(kHeader);
  for (int i = 0; i < 1200; ++i) data += std::to_string(1000 + i) + ",A,x,1,2\n";
  const ReviewReport report = Report(data, "TB", "PRELIMBAL");
  EXPECT_EQ(report.records, 1200u);
  ASSERT_EQ(report.findings.size(), 1000u);
  EXPECT_EQ(report.moreFindings, 200u);
  EXPECT_EQ(report.findings.back().line, 1001);
}

// Three saved templates, each the best fit of one file: the complete records
// decide first, then the findings, then the header captions.
TEST_F(Review, EachFileGetsTheTemplateThatFitsItBest) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:ABC]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
                  "TRC=3 2 0\nTCC=4 2 0\nHeaders=ACCT|NAME|BAL|TRC|TCC\n"
                  "[Import:BAC]\nInfo=COA\nAccount_Number=1 2 0\nAccount_Caption=0 2 0\nAccount_Balance=2 2 0\n"
                  "TRC=3 2 0\nTCC=4 2 0\n"
                  "[Import:ABC2]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
                  // Written by hand, not in the editor's capitals: the case does not matter.
                  "TRC=3 2 0\nTCC=4 2 0\nHeaders=Number|Name|Amount|TRC|TCC\n"
                  "[Import:JE]\nInfo=JE\nJE_Type=0 1 0\n"
                  "[Import:Layout]\n1=ABC\n2=BAC\n3=ABC2\n4=JE\n");
  struct Row {
    const char* data;
    std::string answer;
  };
  const Row rows[] = {
      {"Acct,Name,Bal,TRC,TCC\n1000,Cash,1,1,2\n2000,Loan,-1,3,4\n",
       R"({"templates":[{"name":"ABC","score":1.0,"complete":2,"records":2,"headersMatch":true,"reasons":"2 of 2 records complete; headers match"},)"
       R"({"name":"BAC","score":1.0,"complete":2,"records":2,"headersMatch":null,"reasons":"2 of 2 records complete"},)"
       R"({"name":"ABC2","score":0.9,"complete":2,"records":2,"headersMatch":false,"reasons":"2 of 2 records complete; headers differ"}]})"},
      {"Number,Name,Amount,TRC,TCC\n1000,Cash,1,1,2\n2000,Loan,-1,3,4\n",
       R"({"templates":[{"name":"ABC2","score":1.0,"complete":2,"records":2,"headersMatch":true,"reasons":"2 of 2 records complete; headers match"},)"
       R"({"name":"BAC","score":1.0,"complete":2,"records":2,"headersMatch":null,"reasons":"2 of 2 records complete"},)"
       R"({"name":"ABC","score":0.9,"complete":2,"records":2,"headersMatch":false,"reasons":"2 of 2 records complete; headers differ"}]})"},
      {"Name,Acct,Bal,TRC,TCC\nCash,1000,1,1,2\nLoan,,-1,3,4\n",
       R"({"templates":[{"name":"BAC","score":0.5,"complete":1,"records":2,"headersMatch":null,"reasons":"1 of 2 records complete; 1 finding"},)"
       R"({"name":"ABC","score":0.45,"complete":1,"records":2,"headersMatch":false,"reasons":"1 of 2 records complete; 1 finding; headers differ"},)"
       R"({"name":"ABC2","score":0.45,"complete":1,"records":2,"headersMatch":false,"reasons":"1 of 2 records complete; 1 finding; headers differ"}]})"},
  };
  for (const Row& r : rows) {
    test::WriteFile(home.file("data.csv"), r.data);
    const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(home.file("data.csv"), "FCOA");
    ASSERT_TRUE(found) << found.error().message;
    EXPECT_EQ(SuggestionsValue(*found).dump(), r.answer) << r.data;
  }
  EXPECT_EQ(test::ReadFile(home.file("import.ini")).find("[Import:FileName]"), std::string::npos);  // nothing written
}

// A template that starts one line early reads the header row as a record:
// that record counts as incomplete, so the template that starts right ranks
// first even when no record of the file is complete.
TEST_F(Review, AHeaderRowReadAsARecordLowersTheTemplate) {
  test::WriteFile(home.file("data.csv"), std::string(kHeader) + "1000,,1,1,2\n2000,,-1,3,4\n");
  const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(home.file("data.csv"), "FCOA");
  ASSERT_TRUE(found) << found.error().message;
  EXPECT_EQ(SuggestionsValue(*found).dump(),
            R"({"templates":[{"name":"TB","score":0.0,"complete":0,"records":2,"headersMatch":null,"reasons":"0 of 2 records complete; 2 findings"},)"
            R"({"name":"TB1","score":0.0,"complete":0,"records":3,"headersMatch":null,"reasons":"0 of 3 records complete; 3 findings"}]})");
}

// A template that leaves a required item unplaced completes no record, so
// it never ranks above one that places them all, however few its findings.
TEST_F(Review, ATemplateThatPlacesTooLittleCompletesNoRecord) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:FULL]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
                  "TRC=3 2 0\nTCC=4 2 0\n"
                  "[Import:NUMBER ONLY]\nInfo=COA\nAccount_Number=0 2 0\n"
                  "[Import:Layout]\n1=NUMBER ONLY\n2=FULL\n");
  test::WriteFile(home.file("data.csv"), std::string(kHeader) + "1000,Cash,1,1,2\n2000,,2,1,2\n3000,Loan,-3,1,2\n");
  const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(home.file("data.csv"), "FCOA");
  ASSERT_TRUE(found) << found.error().message;
  EXPECT_EQ(SuggestionsValue(*found).dump(),
            R"({"templates":[{"name":"FULL","score":0.67,"complete":2,"records":3,"headersMatch":null,"reasons":"2 of 3 records complete; 1 finding"},)"
            R"({"name":"NUMBER ONLY","score":0.08,"complete":0,"records":4,"headersMatch":null,"reasons":"0 of 4 records complete; 3 findings"}]})");
}

// Two templates that differ in their amounts alone complete every record
// alike; the one that reads "1,500" as 1.500 leaves a trial balance out of
// balance, and ranks below the one that balances it (the store lists it
// first). A sheet whose rows are all read is judged alike.
TEST_F(Review, ATrialBalanceReadWholeRanksTheTemplateThatBalancesIt) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:EURO]\nInfo=COA\nAmounts=SIGNED COMMA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n"
                  "Account_Balance=2 2 0\n[Import:US]\nInfo=COA\nAmounts=SIGNED\nAccount_Number=0 2 0\n"
                  "Account_Caption=1 2 0\nAccount_Balance=2 2 0\n[Import:Layout]\n1=EURO\n2=US\n");
  test::WriteFile(home.file("data.csv"), "Acct,Desc,Amount\n1000,Cash,\"1,500\"\n2000,Payables,\"(1,000)\"\n3000,Equity,(500)\n");
  test::WriteFile(home.file("data.xlsx"),
                  test::ReadFile(std::string(ZEPHRIN_TEST_DATA) + "/workbooks/amounts_as_text.xlsx"));
  for (const char* file : {"data.csv", "data.xlsx"}) {
    const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(home.file(file), "PRELIMBAL");
    ASSERT_TRUE(found) << found.error().message;
    EXPECT_EQ(SuggestionsValue(*found).dump(),
              R"({"templates":[{"name":"US","score":1.0,"complete":3,"records":3,"headersMatch":null,"reasons":"3 of 3 records complete"},)"
              R"({"name":"EURO","score":0.89,"complete":3,"records":3,"headersMatch":null,"reasons":"3 of 3 records complete; 1 finding; out of balance"}]})")
        << file;
  }
  // A sheet of more rows than the trial reads is not judged by the sum of
  // those it read (they sum to 200 here).
  test::WriteFile(home.file("long.xlsx"), test::ReadFile(std::string(ZEPHRIN_TEST_DATA) + "/workbooks/many_rows.xlsx"));
  const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(home.file("long.xlsx"), "PRELIMBAL");
  ASSERT_TRUE(found) << found.error().message;
  EXPECT_EQ(SuggestionsValue(*found).dump(),
            R"({"templates":[{"name":"EURO","score":1.0,"complete":200,"records":200,"headersMatch":null,"reasons":"200 of 200 records complete"},)"
            R"({"name":"US","score":1.0,"complete":200,"records":200,"headersMatch":null,"reasons":"200 of 200 records complete"}]})");
}

// A workbook is tried on its sheet's rows, not on its zipped bytes as text;
// its seven rows are all read, so its sum counts.
TEST_F(Review, AWorkbookIsTriedOnItsSheet) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:BOOK]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=2 2 0\n"
                  "[Import:FAR]\nInfo=COA\nAccount_Number=7 2 0\nAccount_Caption=8 2 0\nAccount_Balance=9 2 0\n"
                  "[Import:Layout]\n1=FAR\n2=BOOK\n");
  const std::string book = home.file("book.xlsx");
  test::WriteFile(book, test::ReadFile(std::string(ZEPHRIN_TEST_DATA) + "/workbooks/trial_balance.xlsx"));
  const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(book, "FCOA");
  ASSERT_TRUE(found) << found.error().message;
  EXPECT_EQ(SuggestionsValue(*found).dump(),
            R"({"templates":[{"name":"BOOK","score":0.05,"complete":0,"records":7,"headersMatch":null,"reasons":"0 of 7 records complete; 6 findings; out of balance"},)"
            R"({"name":"FAR","score":0.0,"complete":0,"records":7,"headersMatch":null,"reasons":"0 of 7 records complete; 16 findings"}]})");
  // Formulas saved without their results read as empty, and the review says
  // so of those the template reads (C2 and C3: BOOK reads columns A to C;
  // D2's formula is no concern of it).
  const ReviewReport uncomputed =
      Report(test::ReadFile(std::string(ZEPHRIN_TEST_DATA) + "/workbooks/mixed.xlsx"), "BOOK", "FCOA", "mixed.xlsx");
  ASSERT_FALSE(uncomputed.findings.empty());
  EXPECT_EQ(uncomputed.findings.back().code, "formula-without-value");
  EXPECT_EQ(uncomputed.findings.back().value, "C2");
  EXPECT_EQ(uncomputed.findings.back().message,
            "cell C2 holds a formula whose result the workbook does not keep, so it reads as empty (1 more cell "
            "alike): the program that wrote the workbook did not compute its formulas; open it in a spreadsheet "
            "program and save it again");
  // A workbook cut short fits no template, and says why as its read does.
  const std::string cut = home.file("cut.xlsx");
  test::WriteFile(cut, test::ReadFile(book).substr(0, 3000));
  const Expected<std::vector<TemplateSuggestion>> none = service.SuggestTemplates(cut, "FCOA");
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().message, "The workbook " + cut + " cannot be read: it is not a zip archive.");
}

TEST_F(Review, TheProtocolAnswersBothExtensions) {
  HostProtocol protocol(service, ui);
  test::WriteFile(home.file("data.csv"), std::string(kHeader) + "1000,Cash,100.10,1,2\n2000,Loan,-100.10,3,4\n");
  ASSERT_EQ(mkfifo(home.file("pipe.csv").c_str(), 0600), 0);
  const std::string file = home.file("data.csv");
  const std::pair<std::string, std::string> rows[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"ReviewImport","params":[")" + file + R"(","TB","FCOA","1",""]})",
       R"({"jsonrpc":"2.0","id":1,"result":{"value":{"records":2,"findings":[],"moreFindings":0,)" +
           std::string(kBalancedTotals) + R"(,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":2,"method":"ReviewImport","params":[")" + file + R"(","TB","FCOA","1","",0]})",
       R"({"jsonrpc":"2.0","id":2,"result":{"value":{"records":2,"findings":[],"moreFindings":0,)" +
           std::string(kBalancedTotals) + R"(,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":3,"method":"ReviewImport","params":[")" + file + R"(","TB"]})",
       R"({"jsonrpc":"2.0","id":3,"error":{"code":-32602,"message":"Invalid params: ReviewImport takes 5 to 6 parameters, not 2"}})"},
      {R"({"jsonrpc":"2.0","id":4,"method":"SuggestTemplates","params":[")" + home.file("none.csv") + R"(","FCOA"]})",
       R"({"jsonrpc":"2.0","id":4,"result":{"value":{"templates":[]},"status":1,"messages":[{"caption":"Import","text":"Unable to open the file )" +
           home.file("none.csv") + R"(.","icon":"error"}]}})"},
      // A pipe is no file to try templates on: nothing waits for its writer.
      {R"({"jsonrpc":"2.0","id":6,"method":"SuggestTemplates","params":[")" + home.file("pipe.csv") + R"(","FCOA"]})",
       R"({"jsonrpc":"2.0","id":6,"result":{"value":{"templates":[]},"status":1,"messages":[{"caption":"Import","text":"Unable to open the file )" +
           home.file("pipe.csv") + R"(.","icon":"error"}]}})"},
      {R"({"jsonrpc":"2.0","id":5,"method":"SuggestTemplates","params":[")" + file + R"(","NOPE"]})",
       R"({"jsonrpc":"2.0","id":5,"result":{"value":{"templates":[]},"status":1,"messages":[{"caption":"Import","text":"Unknown import type NOPE.","icon":"error"}]}})"},
      // A code read through a built-in template is known, with no saved template to rank.
      {R"({"jsonrpc":"2.0","id":7,"method":"SuggestTemplates","params":[")" + file + R"(","AABAL"]})",
       R"({"jsonrpc":"2.0","id":7,"result":{"value":{"templates":[]},"status":1,"messages":[{"caption":"Import","text":"AABAL is read with the built-in AABAL template; no saved template can read it, so there is none to suggest.","icon":"error"}]}})"},
      // A jurisdiction read is not checked: no clean review of no record.
      {R"({"jsonrpc":"2.0","id":8,"method":"ReviewImport","params":[")" + file + R"(","AABAL","AABAL","1",""]})",
       R"({"jsonrpc":"2.0","id":8,"result":{"value":{"records":0,"findings":[{"line":0,"item":"","value":"","code":"read-error",)"
       R"J("message":"AABAL is a jurisdiction read, which the review does not check (ReadImportFile gives its text)"}],)J"
       R"("moreFindings":0,"totals":[]},"status":0,"messages":[]}})"},
  };
  for (const auto& [request, answer] : rows) EXPECT_EQ(protocol.HandleLine(request).value_or(""), answer) << request;
}

}  // namespace
}  // namespace zephrin
