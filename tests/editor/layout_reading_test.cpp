// The layout editor's reading of its data file (a workbook's sheets, the
// separator of separated text) and its amounts (the Amounts choice, credit
// columns), down to the store file OK writes.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/layout_editor.h"
#include "test_util.h"

namespace zephrin {
namespace {

using Strings = std::vector<std::string>;

// COA positions.
enum Coa { kNumber = 1, kCaption = 2, kBalance = 3 };

constexpr const char* kDebitCredit = "No;Caption;Debit;Credit\n1000;Cash;1.234,50;\n2000;Loan;;1.234,50\n";

class ReadingTest : public ::testing::Test {
 protected:
  std::string Ini() const { return dir.file("import.ini"); }
  LayoutEditorInputs Inputs(const std::string& host, const std::string& path, std::string name = "") const {
    LayoutEditorInputs in;
    in.templateName = std::move(name);
    in.hostCode = host;
    in.dataFileName = path;
    in.dataFilePath = path;
    in.layoutLetter = 'S';
    in.iniPath = Ini();
    return in;
  }
  CCLayout& Open(const std::string& host, const std::string& file, std::string_view content, std::string name = "") {
    WriteFile(dir.file(file), content);
    editor = std::make_unique<CCLayout>(Inputs(host, dir.file(file), std::move(name)), ui);
    EXPECT_TRUE(editor->Initialise());
    return *editor;
  }
  Strings Headers() const {
    Strings h;
    for (long c = 1; c < editor->gridCols(); ++c) h.push_back(editor->header(c));
    return h;
  }
  Strings Row(long r) const {
    Strings cells;
    for (long c = 1; c < editor->gridCols(); ++c) cells.emplace_back(editor->cell(r, c));
    return cells;
  }
  // Places the items a balance import needs: number A, balance C from row 2.
  void PlaceBalance(CCLayout& e) {
    for (const auto& [item, col] : {std::pair{kNumber, 1L}, {kBalance, 3L}}) {
      e.SelectItem(item);
      e.PlaceFromGridClick(2, col);
    }
  }
  std::string Saved(const std::string& name, const std::string& body) const {
    return "[Import:" + name + "]\nInfo=COA\nFsiType=FEDERAL\n" + body + "[Import:Layout]\n1=" + test::Upper(name) +
           "\n[Import:FileName]\n1=" + test::Upper(editor->inputs().dataFileName) + "^" + test::Upper(name) + "\n";
  }

  // The texts of the messages shown since the last call.
  Strings Texts() {
    Strings out;
    for (const auto& m : ui.TakeMessages()) out.push_back(m.text);
    return out;
  }

  TempDir dir;
  RecordingUserInterface ui;
  std::unique_ptr<CCLayout> editor;
};

TEST(DetectSeparatorTest, TheSeparatorMostLinesAgreeOn) {
  const struct {
    const char* text;
    char separator;
  } cases[] = {
      {"a,b,c\n1,2,3\n", ','},
      {"a;b;c\n1;2,5;3\n4;5;6\n", ';'},
      {"a\tb\n1\t2\r\n3\t4\n", '\t'},
      {"a|b|c\n1|2|3\n", '|'},
      {"a,b;c\n1,2;3\n", ','},           // a tie is the comma's
      {"one\ntwo\n", ','},               // one field everywhere
      {"\"a;b\",c\n\"1;2\",3\n", ','},   // separators in quotes split nothing
      {"", ','},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectTextSeparator(c.text), c.separator) << c.text;
}

TEST_F(ReadingTest, SeparatedTextOpensWithTheDetectedSeparatorAndFollowsTheChoice) {
  CCLayout& e = Open("PRELIMBAL", "tb.csv", kDebitCredit);
  ASSERT_TRUE(e.separatorChoice());
  EXPECT_EQ(e.separator(), ';');
  EXPECT_EQ(Row(2), (Strings{"1000", "Cash", "1.234,50", ""}));
  PlaceBalance(e);
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 4);
  // Comma: one column is left, and the items placed past it lose their places.
  e.SetSeparator(',');
  EXPECT_EQ(Row(2), (Strings{"1000;Cash;1.234", "50;"}));
  EXPECT_EQ(Headers(), (Strings{"A", "B"}));
  EXPECT_FALSE(e.fields()[kBalance].placed());
  EXPECT_FALSE(e.fields()[kNumber].placed());
  e.SetSeparator(';');
  EXPECT_EQ(Headers(), (Strings{"A", "B", "C", "D"}));
  EXPECT_TRUE(ui.TakeMessages().empty());
}

TEST_F(ReadingTest, CreditColumnIsPlacedShownSavedAndTakenBack) {
  CCLayout& e = Open("PRELIMBAL", "tb.csv", kDebitCredit);
  e.NameChanged("DC");
  PlaceBalance(e);
  // No credit column for an item that is no amount.
  e.SelectItem(kCaption);
  EXPECT_FALSE(e.StartCreditPlacement());
  e.SelectItem(kBalance);
  ASSERT_TRUE(e.StartCreditPlacement());
  e.PlaceFromGridClick(2, 4);
  EXPECT_FALSE(e.creditMode());
  EXPECT_EQ(e.credits()[kBalance], (FieldInfo{3, 2, 0}));
  EXPECT_EQ(e.fields()[kBalance], (FieldInfo{2, 2, 0}));
  EXPECT_EQ(Headers(), (Strings{"Account Number", "B", "Account Balance", "Account Balance (credit)"}));
  EXPECT_EQ(e.amounts(), AmountStyle::kSigned);  // a credit column makes amounts signed
  e.SetAmounts(AmountStyle::kSignedComma);

  // An item placed on the credit column takes it.
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 4);
  EXPECT_FALSE(e.credits()[kBalance].placed());
  EXPECT_EQ(Headers(), (Strings{"A", "B", "Account Balance", "Account Number"}));
  e.PlaceFromGridClick(2, 1);
  e.SelectItem(kBalance);
  ASSERT_TRUE(e.StartCreditPlacement());
  e.PlaceFromGridClick(2, 4);
  ASSERT_TRUE(e.Ok());
  EXPECT_EQ(ReadFile(Ini()), Saved("DC",
                                   "Company_Number=0 0 0\nAccount_Number=0 2 0\nAccount_Caption=0 0 0\n"
                                   "Account_Balance=2 2 0\nTRC=0 0 0\nTCC=0 0 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\n"
                                   "Activity_Number=0 0 0\nActivity_Name=0 0 0\nHeaders=NO|DEBIT\nSeparator=SEMICOLON\n"
                                   "Amounts=SIGNED COMMA\nAccount_Balance.Credit=3 2 0\n"));

  // Opened again, the template shows its credit column; Reset clears it.
  CCLayout& again = Open("PRELIMBAL", "tb.csv", kDebitCredit, "DC");
  EXPECT_EQ(again.amounts(), AmountStyle::kSignedComma);
  EXPECT_EQ(again.credits()[kBalance], (FieldInfo{3, 2, 0}));
  EXPECT_EQ(Headers(), (Strings{"Account Number", "B", "Account Balance", "Account Balance (credit)"}));
  again.Reset();
  EXPECT_EQ(again.credits()[kBalance], FieldInfo{});
  EXPECT_EQ(Headers(), (Strings{"A", "B", "C", "D"}));
}

TEST_F(ReadingTest, RefusedCreditColumnsAndOkWithoutSignedAmountsWriteNothing) {
  CCLayout& e = Open("PRELIMBAL", "tb.csv", kDebitCredit);
  e.NameChanged("DC");
  PlaceBalance(e);
  e.SelectItem(kBalance);
  ASSERT_TRUE(e.StartCreditPlacement());
  e.PlaceFromGridClick(2, 3);  // its own column
  EXPECT_EQ(Texts(), Strings{"The credit column must be another column than the item's own."});
  EXPECT_FALSE(e.credits()[kBalance].placed());
  ASSERT_TRUE(e.StartCreditPlacement());
  e.PlaceFromGridClick(2, 4);
  e.SetAmounts(AmountStyle::kAsWritten);
  EXPECT_FALSE(e.Ok());
  EXPECT_EQ(Texts(),
            Strings{"A credit column needs signed amounts: choose \"Signed, 1,234.50\" or \"Signed, 1.234,50\" under "
                    "Amounts."});
  EXPECT_FALSE(std::filesystem::exists(Ini()));
  // Clearing the item takes its credit column with it.
  e.ColumnBoxChanged("0");
  EXPECT_FALSE(e.credits()[kBalance].placed());
  EXPECT_EQ(Headers(), (Strings{"Account Number", "B", "C", "D"}));
}

// A template edited on a workbook without its sheet is shown on the first
// sheet, with a word, and keeps its sheet unless another is chosen: OK with
// nothing changed must not move it to a sheet it never read.
TEST_F(ReadingTest, AWorkbookWithoutTheTemplatesSheetKeepsTheSheetUnlessOneIsChosen) {
  std::filesystem::copy_file(test::DataPath("workbooks/mixed.xlsx"), dir.file("book.xlsx"));
  WriteFile(Ini(), "[Import:BOOK]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=1 2 0\nSheet=BALANCES\n"
                   "[Import:Layout]\n1=BOOK\n");
  editor = std::make_unique<CCLayout>(Inputs("FCOA", dir.file("book.xlsx"), "BOOK"), ui);
  CCLayout& e = *editor;
  ASSERT_TRUE(e.Initialise());
  EXPECT_EQ(e.sheetIndex(), 0);
  const auto messages = ui.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "The workbook " + dir.file("book.xlsx") +
                                  " has no sheet named BALANCES, which the template reads: its first sheet is shown, "
                                  "and the template keeps reading BALANCES unless another sheet is chosen here.");
  EXPECT_EQ(e.ExtraKeys(), (std::vector<std::pair<std::string, std::string>>{{"Sheet", "BALANCES"}}));
  e.SelectSheet(1);
  EXPECT_EQ(e.ExtraKeys(), (std::vector<std::pair<std::string, std::string>>{{"Sheet", "NOTES"}}));
  e.SelectSheet(0);
  EXPECT_TRUE(e.ExtraKeys().empty());
}

TEST_F(ReadingTest, AWorkbookShowsItsSheetsAndSavesTheOneChosen) {
  const std::string book = test::DataPath("workbooks/mixed.xlsx");
  std::filesystem::copy_file(book, dir.file("book.xlsx"));
  editor = std::make_unique<CCLayout>(Inputs("FCOA", dir.file("book.xlsx")), ui);
  CCLayout& e = *editor;
  ASSERT_TRUE(e.Initialise());
  ASSERT_TRUE(e.workbook());
  EXPECT_FALSE(e.separatorChoice());
  EXPECT_EQ(e.sheets(), (Strings{"Accounts", "Notes", "Totals"}));
  EXPECT_EQ(Row(1), (Strings{"Flag", "Amount", "Twice", "Text", "Error"}));
  EXPECT_EQ(Row(2), (Strings{"TRUE", "10", "", "", "#N/A"}));  // formulas without a saved value are empty
  e.SelectSheet(1);
  EXPECT_EQ(Headers(), (Strings{"A", "B"}));
  EXPECT_EQ(Row(2), (Strings{"", "second sheet"}));
  e.NameChanged("BOOK");
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 2);
  EXPECT_EQ(e.ExtraKeys(), (std::vector<std::pair<std::string, std::string>>{{"Sheet", "NOTES"}}));
  e.SelectSheet(0);
  EXPECT_TRUE(e.ExtraKeys().empty());  // the first sheet is the default
  EXPECT_TRUE(ui.TakeMessages().empty());
}

}  // namespace
}  // namespace zephrin
