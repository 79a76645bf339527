// zephrinimport review and suggest: their tables, JSON and exit status.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "test_util.h"

// Whether clang's address sanitizer is on (GCC's defines __SANITIZE_ADDRESS__).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPHRIN_CLANG_ASAN 1
#endif
#endif
#ifndef ZEPHRIN_CLANG_ASAN
#define ZEPHRIN_CLANG_ASAN 0
#endif

namespace zephrin {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

const fs::path kSource = fs::path(ZEPHRIN_TEST_DATA).parent_path().parent_path();

struct Outcome {
  int exitCode = -1;
  std::string out;
};

class ReviewCommand : public ::testing::Test {
 protected:
  ReviewCommand() { fs::copy(kSource / "examples", dir.path(), fs::copy_options::recursive); }
  // Runs `zephrinimport ARGS` in the folder (after `prefix`, a command that
  // runs it); standard error goes with the output.
  Outcome Cli(const std::string& args, const std::string& prefix = "") {
    Outcome r;
    r.out = test::RunCommand("cd '" + dir.str() + "' && " + prefix + "'" + ZEPHRIN_BINARY + "' " + args + " 2>&1",
                             &r.exitCode);
    return r;
  }
  TempDir dir;
  ScopedEnv home{"ZEPHRINIMPORT_HOME", dir.str()};
  ScopedEnv registry{"ZEPHRINIMPORT_REGISTRY", dir.file("registry.ini")};
  ScopedEnv trace{"ZEPHRINIMPORT_TRACE", std::nullopt};
};

// A read or a review that runs out of memory ends in the error of a file too
// large to read: no crash, no partial text, and no finding of a record the
// read stopped inside. The process may map 16 MB, a few more than the
// program needs to start: the whole text of this read and the review's
// table of accounts (whose numbers come out of order) outgrow that.
TEST_F(ReviewCommand, OutOfMemoryIsTheFileTooLargeError) {
#if defined(__SANITIZE_ADDRESS__) || ZEPHRIN_CLANG_ASAN
  GTEST_SKIP() << "the address sanitizer maps far more than the limit";
#else
  std::string data = "Account,Description,Balance,TRC,TCC\n";
  for (unsigned i = 0, n = 1; i < 200000; ++i, n = (n * 1103515245u + 12345u) & 0x7FFFFFFF)
    data += std::to_string(n) + ",Account caption of some length,1.00,100,1\n";
  test::WriteFile(dir.file("large.csv"), data);
  const std::string message = "The import file large.csv is too large to read.";
  const std::string limit = "prlimit --as=" + std::to_string(16 << 20) + " ";
  const Outcome whole = Cli("read large.csv -t CHART --type FCOA --id 1", limit);
  EXPECT_EQ(whole.exitCode, 1);
  EXPECT_EQ(whole.out, "<Error>" + message + "</Error>\nzephrinimport: the read failed: " + message + "\n");
  const Outcome review = Cli("review large.csv -t CHART --type PRELIMBAL", limit);
  EXPECT_EQ(review.exitCode, 1);
  EXPECT_EQ(review.out, "records: 0\n\nline  code        item  value  message\n   -  read-error               " + message + "\n");
#endif
}

TEST_F(ReviewCommand, TotalsAndFindingsAsATable) {
  test::WriteFile(dir.file("tb.csv"),
                  "Account,Description,Balance,TRC,TCC\n1000,Cash,15250.00,101,1\n1000,Loan,x,104,2\n");
  // Control characters of a data file reach no terminal: an escape sequence
  // that would retitle the window and clear the screen is shown as blanks.
  test::WriteFile(dir.file("esc.csv"), "h,h,h\n1000,Cash,x\x1b]0;pwned\x07\x1b[2J\n");
  // Files that give the template no record: empty, and a header row alone.
  test::WriteFile(dir.file("empty.csv"), "");
  test::WriteFile(dir.file("header.csv"), "Account,Description,Balance,TRC,TCC\n");
  struct Case {
    std::string args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"review chart.csv -t CHART --type PRELIMBAL", 0,
       "records: 4\n\n"
       "item             count  positive   negative  total\n"
       "Account_Balance      4  23650.50  -23650.50   0.00\n\n"
       "no findings\n"},
      {"review tb.csv -t CHART --type PRELIMBAL", 1,
       "records: 2\n\n"
       "item             count  positive  negative     total\n"
       "Account_Balance      1  15250.00      0.00  15250.00\n\n"
       "line  code               item             value     message\n"
       "   3  duplicate-account  Account_Number   1000      account 1000 is already on line 2\n"
       "   3  not-a-number       Account_Balance  x         \"x\" is not a number\n"
       "   -  out-of-balance     Account_Balance  15250.00  the balances sum to 15250.00, not zero\n"},
      {"review tb.csv -t CHART --type FBJ --json", 1,
       "{\n  \"records\": 0,\n  \"findings\": [\n    {\n      \"line\": 0,\n      \"item\": \"\",\n"
       "      \"value\": \"COA\",\n      \"code\": \"kind-mismatch\",\n      \"message\": \"the template CHART is a "
       "COA template, which FBJ does not read; COA templates go with FCOA, PRELIMBAL\"\n    }\n  ],\n"
       "  \"moreFindings\": 0,\n  \"totals\": []\n}\n"},
      {"review esc.csv -t CHART --type PRELIMBAL", 1,
       "records: 1\n\n"
       "item             count  positive  negative  total\n"
       "Account_Balance      0      0.00      0.00   0.00\n\n"
       "line  code          item             value            message\n"
       "   2  not-a-number  Account_Balance  x ]0;pwned  [2J  \"x ]0;pwned  [2J\" is not a number\n"},
      {"review empty.csv -t CHART --type PRELIMBAL", 1,
       "records: 0\n\n"
       "item             count  positive  negative  total\n"
       "Account_Balance      0      0.00      0.00   0.00\n\n"
       "line  code        item  value  message\n"
       "   -  read-error               the file holds no records the template can read\n"},
      {"review header.csv -t CHART --type PRELIMBAL", 1,
       "records: 0\n\n"
       "item             count  positive  negative  total\n"
       "Account_Balance      0      0.00      0.00   0.00\n\n"
       "line  code        item  value  message\n"
       "   -  read-error               the file holds no records the template can read\n"},
      {"review nothing.csv -t CHART --type FCOA", 2, "zephrinimport: cannot read nothing.csv: no such file\n"},
      // A template that leaves a required item unplaced completes no record;
      // one that takes the tax codes for credits leaves the chart out of balance.
      {"suggest chart.csv --type FCOA", 0,
       "template       score  reasons\n"
       "CHART           0.42  2 of 4 records complete; 3 findings\n"
       "CHART DIF       0.42  2 of 4 records complete; 3 findings\n"
       "TRIAL BALANCE   0.08  0 of 4 records complete; 3 findings; out of balance\n"},
      // A debit-and-credit template is tried with its credit column and signed amounts.
      {"suggest trial_balance.csv --type PRELIMBAL", 0,
       "template       score  reasons\n"
       "TRIAL BALANCE   1.00  39 of 39 records complete\n"
       "CHART           0.39  23 of 39 records complete; 39 findings\n"
       "CHART DIF       0.39  23 of 39 records complete; 39 findings\n"},
      {"suggest chart.csv --type FBJ", 0, "template  score  reasons\nJOURNAL    0.00  0 of 0 records complete\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = Cli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

// A review reads the file as read would with the same options: another
// separator, a workbook's sheet, standard input.
TEST_F(ReviewCommand, TakesTheReadersOptions) {
  const std::string chart = Cli("review chart.csv -t CHART --type PRELIMBAL").out;
  ASSERT_TRUE(chart.starts_with("records: 4\n")) << chart;
  int status = -1;
  test::RunCommand("cd '" + dir.str() + "' && sed 's/,/;/g; s/Receivables; trade/Receivables, trade/' chart.csv >chart.txt",
                   &status);
  ASSERT_EQ(status, 0);
  fs::copy_file(test::DataPath("workbooks/mixed.xlsx"), dir.file("book.xlsx"));
  struct Case {
    std::string args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"review chart.txt --separator semicolon -t CHART --type PRELIMBAL", 0, chart},
      {"review chart.txt --format csv --separator semicolon -t CHART --type PRELIMBAL --json", 0, ""},
      // Standard input, as read takes it.
      {"review - --format csv -t CHART --type PRELIMBAL <chart.csv", 0, chart},
      {"review chart.csv --format xlsx --separator tab -t CHART --type PRELIMBAL", 2,
       "zephrinimport: --separator reads separated text, and --format xlsx reads another kind of file: give one of "
       "the two\n"},
      {"review - -t CHART --type PRELIMBAL <chart.csv", 2,
       "zephrinimport: reading standard input needs --format (csv, dif, fixed, xlsx or xls) or --separator\n"},
      {"review book.xlsx --sheet Summary -t CHART --type PRELIMBAL", 1,
       "records: 0\n\n"
       "item             count  positive  negative  total\n"
       "Account_Balance      0      0.00      0.00   0.00\n\n"
       "line  code        item  value  message\n"
       "   -  read-error               The workbook book.xlsx has no sheet named Summary.\n"},
      // A jurisdiction read gives it nothing to check.
      {"review chart.csv -t AABAL --type AABAL", 2,
       "zephrinimport: review checks the records of saved templates; AABAL is a jurisdiction read, which it does "
       "not check (zephrinimport read shows its text)\n"},
      {"review chart.csv --separator colon -t CHART --type PRELIMBAL", 2,
       "zephrinimport: --separator: the separator is comma, tab, semicolon or pipe (not \"colon\"); zephrinimport "
       "help review shows the options\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = Cli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    if (!c.out.empty()) EXPECT_EQ(r.out, c.out) << c.args;
    else EXPECT_NE(r.out.find("\"records\": 4,"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace zephrin
