#include "editor/layout_editor.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"

namespace zephrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr const char* kBlankLines =
    "This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded blank "
    "lines before import.";

// COA positions.
enum Coa { kCompany = 0, kNumber = 1, kCaption = 2, kBalance = 3, kTrc = 4, kTcc = 5 };

std::vector<std::string> Texts(RecordingUserInterface& ui) {
  std::vector<std::string> out;
  for (const auto& m : ui.TakeMessages()) {
    EXPECT_EQ(m.caption, "Import");
    out.push_back(m.text);
  }
  return out;
}

using Msgs = std::vector<std::string>;

// An editor on a data file written into a fresh folder, driven as the window drives it.
class EditorTest : public ::testing::Test {
 protected:
  std::string Ini() const { return dir.file("import.ini"); }

  LayoutEditorInputs Inputs(std::string host, std::string fileName, std::string_view content,
                            std::string templateName = "") {
    const std::string path = dir.file(fileName);
    WriteFile(path, content);
    LayoutEditorInputs in;
    in.templateName = std::move(templateName);
    in.hostCode = std::move(host);
    in.dataFileName = path;
    in.dataFilePath = path;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(fileName[fileName.size() - 2])));
    in.layoutLetter = c == 'S' || c == 'I' ? c : 'R';
    in.iniPath = Ini();
    return in;
  }

  CCLayout& Open(const LayoutEditorInputs& in, bool expectInit = true) {
    editor = std::make_unique<CCLayout>(in, ui);
    EXPECT_EQ(editor->Initialise(), expectInit);
    return *editor;
  }
  CCLayout& Open(std::string host, std::string fileName, std::string_view content, std::string name = "") {
    return Open(Inputs(std::move(host), std::move(fileName), content, std::move(name)));
  }

  // All headers of grid columns 1..n-1.
  std::vector<std::string> Headers() const {
    std::vector<std::string> h;
    for (long c = 1; c < editor->gridCols(); ++c) h.push_back(editor->header(c));
    return h;
  }
  FieldInfo F(int i) const { return editor->fields()[static_cast<std::size_t>(i)]; }

  TempDir dir;
  RecordingUserInterface ui;
  std::unique_ptr<CCLayout> editor;
};

// Six lines, four columns: a header line and five accounts.
constexpr const char* kTrialBalance =
    "Number,Caption,TRC,TCC\n"
    "1000,Cash,10,100\n"
    "1100,Receivables,10,110\n"
    "2000,Payables,20,200\n"
    "3000,Equity,30,300\n"
    "4000,Sales,40,400\n";

// ---- Pure helpers -------------------------------------------------------------

TEST(ColumnNameTest, LettersThenTwoLettersThenThree) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {0, "A"}, {25, "Z"}, {26, "AA"}, {51, "AZ"}, {52, "BA"}, {77, "BZ"}, {701, "ZZ"}, {702, "AAA"}, {499, "SF"}};
  for (const auto& [c, name] : cases) EXPECT_EQ(ColumnName(c), name) << c;
}

TEST(LineCodesTest, HeaderAccountsAndClosingStates) {
  // header, header, blank, account, account, blank, closing, blank, header, header
  const std::vector<bool> blank = {false, false, true, false, false, true, false, true, false, false};
  const std::vector<uint16_t> expected = {0, 1, 240, 224, 224, 255, 0, 255, 0, 1};
  EXPECT_EQ(ComputeLineCodes(blank), expected);
  // Two blanks in the accounts state: the second closes the block.
  EXPECT_EQ(ComputeLineCodes({false, true, true, true, false}), (std::vector<uint16_t>{0, 240, 255, 255, 0}));
}

// ---- Preview loading ----------------------------------------------------------

TEST_F(EditorTest, CsvPreviewSplitsFieldsAsTheReaderNumbersThem) {
  Open("FCOA", "data.csv",
       "1000,\"Cash, petty\",  ,x\t\n"      // quoted comma; a blank field; a tab becomes a blank
       "\"q\"\"\",last,\n"                   // a last comma is not a field
       ",,,\n"                               // commas only: blank
       "a,b,c,d,e\n");
  CCLayout& e = *editor;
  EXPECT_EQ(e.gridRows(), 5);
  EXPECT_EQ(e.gridCols(), 6);  // five data columns
  EXPECT_EQ(e.cell(1, 1), "1000");
  EXPECT_EQ(e.cell(1, 2), "Cash, petty");
  EXPECT_EQ(e.cell(1, 3), "");
  EXPECT_EQ(e.cell(1, 4), "x");
  EXPECT_EQ(e.cell(2, 1), "q\"\"");
  EXPECT_EQ(e.cell(2, 2), "last");
  EXPECT_EQ(e.cell(2, 3), "");
  EXPECT_EQ(e.cell(3, 1), "");
  EXPECT_EQ(e.cell(4, 5), "e");
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(e.header(0), "");
  EXPECT_TRUE(Texts(ui).empty());
}

TEST_F(EditorTest, CsvQuoteStateCarriesToTheNextLine) {
  // The open quote of line 1 keeps the comma of line 2 inside a field.
  Open("FCOA", "q.csv", "\"open,a\nb,c\"\nd,e\n");
  EXPECT_EQ(editor->cell(1, 1), "\"open,a");
  EXPECT_EQ(editor->cell(2, 1), "b,c\"");
  EXPECT_EQ(editor->cell(3, 2), "e");
}

TEST_F(EditorTest, CsvStopsAfter25BlankLinesWithOneMessage) {
  std::string content = "a,b\n";
  for (int i = 0; i < 40; ++i) content += i % 2 ? ",,\n" : "   \n";
  content += "late,row\n";
  Open("FCOA", "blank.csv", content);
  EXPECT_EQ(Texts(ui), Msgs{kBlankLines});
  EXPECT_EQ(editor->gridRows(), 1 + 1 + 25);
  // 24 blank lines do not stop it.
  std::string ok = "a\n" + std::string(24, '\n') + "b\n";
  Open("FCOA", "ok.csv", ok);
  EXPECT_TRUE(Texts(ui).empty());
  EXPECT_EQ(editor->cell(26, 1), "b");
}

TEST_F(EditorTest, CsvLongLinesArriveInPiecesOfTheReadersBuffer) {
  const std::string line(1 << 20, 'x');
  Open("FCOA", "wide.csv", line + "\nend\n");
  const long pieces = (static_cast<long>(line.size()) + 2698) / 2699;
  EXPECT_EQ(editor->gridRows(), 1 + pieces + 1);
  EXPECT_EQ(editor->cell(1, 1).size(), 2699u);
  EXPECT_EQ(editor->cell(pieces + 1, 1), "end");
}

TEST_F(EditorTest, DifPreviewReadsCountsNumbersAndStrings) {
  const std::string dif =
      "TABLE\n0,1\n\"\"\nVECTORS\n0,3\n\"\"\nTUPLES\n0,2\n\"\"\nDATA\n0,0\n\"\"\n"
      "-1,0\nBOT\n1,0\n\"Acct\"\n0,100.5\nV\n1,0\n\"x\"\n1,0\n\"beyond\"\n"
      "-1,0\nBOT\n1,0\n\"\"\n0,7\nV\n-1,0\nEOD\n";
  Open("FCOA", "t.dif", dif);
  CCLayout& e = *editor;
  EXPECT_EQ(e.gridCols(), 4);
  EXPECT_EQ(e.gridRows(), 3);
  EXPECT_EQ(e.cell(1, 1), "Acct");
  EXPECT_EQ(e.cell(1, 2), "100.5");
  EXPECT_EQ(e.cell(1, 3), "x");
  EXPECT_EQ(e.cell(2, 1), "");
  EXPECT_EQ(e.cell(2, 2), "7");
  // The EXCEL mark swaps the counts: VECTORS then gives the rows.
  const std::string excel =
      "TABLE\n0,1\n\"EXCEL\"\nVECTORS\n0,5\n\"\"\nTUPLES\n0,2\n\"\"\nDATA\n0,0\n\"\"\n-1,0\nBOT\n0,1\nV\n0,2\nV\n0,3\nV\nEOD\n";
  Open("FCOA", "x.dif", excel);
  EXPECT_EQ(editor->gridCols(), 3);
  EXPECT_EQ(editor->cell(1, 2), "2");
  EXPECT_EQ(editor->cell(1, 3), "");
}

TEST_F(EditorTest, DifWith500ColumnsNamesColumnsPastAZ) {
  std::string dif = "TABLE\n0,1\n\"\"\nVECTORS\n0,500\n\"\"\nTUPLES\n0,30\n\"\"\nDATA\n0,0\n\"\"\n";
  for (int r = 0; r < 30; ++r) {
    dif += "-1,0\nBOT\n";
    for (int c = 0; c < 500; ++c) dif += "0," + std::to_string(r * 1000 + c) + "\nV\n";
  }
  dif += "-1,0\nEOD\n";
  Open("FCOA", "wide.dif", dif);
  CCLayout& e = *editor;
  EXPECT_EQ(e.gridCols(), 501);
  EXPECT_EQ(e.header(26), "Z");
  EXPECT_EQ(e.header(27), "AA");
  EXPECT_EQ(e.header(52), "AZ");
  EXPECT_EQ(e.header(53), "BA");
  EXPECT_EQ(e.header(500), "SF");
  EXPECT_EQ(e.cell(30, 500), "29499");
  // An item can be placed in the last column.
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(3, 500);
  EXPECT_EQ(F(kNumber), (FieldInfo{499, 3, 0}));
  EXPECT_EQ(e.header(500), "Account Number");
}

TEST_F(EditorTest, DifBlankRowsStopThePreview) {
  std::string dif = "TABLE\n0,1\n\"\"\nVECTORS\n0,2\n\"\"\nTUPLES\n0,40\n\"\"\nDATA\n0,0\n\"\"\n-1,0\nBOT\n0,1\nV\n";
  for (int r = 0; r < 30; ++r) dif += "-1,0\nBOT\n1,0\n\"\"\n";
  dif += "-1,0\nBOT\n0,9\nV\n-1,0\nEOD\n";
  Open("FCOA", "b.dif", dif);
  EXPECT_EQ(Texts(ui), Msgs{kBlankLines});
  EXPECT_EQ(editor->gridRows(), 1 + 1 + 25);
}

TEST_F(EditorTest, FixedWidthPreviewMeasuresLines) {
  Open("FCOA", "gl.prn", "1000  Cash\r\n1100\x01Rec   \r\n\n12345678901234\n");
  CCLayout& e = *editor;
  EXPECT_FALSE(e.gridLayout());
  EXPECT_EQ(e.lineCount(), 5u);  // the empty line after the last line end counts
  EXPECT_EQ(e.line(0), "1000  Cash");
  EXPECT_EQ(e.line(1), "1100 Rec   ");  // a control byte becomes a blank
  EXPECT_EQ(e.longestLine(), 14u);
  EXPECT_EQ(e.LineOfOffset(e.lineStart(3) + 5), 3u);
}

TEST_F(EditorTest, FixedWidthBlankLinesStopMeasuring) {
  std::string text = "short\n";
  for (int i = 0; i < 25; ++i) text += "     \n";
  text += "a much longer line after the blank run\n";
  Open("FCOA", "b.txt", text);
  EXPECT_EQ(Texts(ui), Msgs{kBlankLines});
  EXPECT_EQ(editor->longestLine(), 5u);  // the line after the stop was not measured
}

TEST_F(EditorTest, UnreadableFileShowsTheMessageAndLoadsNoItems) {
  LayoutEditorInputs in = Inputs("FCOA", "gone.csv", "x\n");
  std::filesystem::remove(in.dataFilePath);
  in.dataFileName = "C:\\DATA\\GONE.CSV";
  Open(in, /*expectInit=*/false);
  EXPECT_EQ(Texts(ui), Msgs{"Error opening/reading C:\\DATA\\GONE.CSV"});
  EXPECT_EQ(editor->itemCount(), 0u);
  EXPECT_FALSE(editor->okEnabled());
  editor->Cancel();
  EXPECT_TRUE(editor->ended());
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

// ---- Set-up by host code -----------------------------------------------------------

TEST_F(EditorTest, HostCodeGivesTitleKindListAndLabels) {
  struct Case {
    std::string host;
    int intlKind;
    std::string title;
    std::string kindLabel;
    std::size_t kinds;
    std::string firstKind;
    int selected;
  };
  const std::vector<Case> cases = {
      {"FCOA", 0, "Import Template - Federal Chart of Accounts", "", 0, "", -1},
      {"ICA", 0, "Import Template - International Chart of Accounts", "Jurisdictions", 1, "Int'l", 0},
      {"INTL", 3, "Import Template - International", "International Set Up", 100, "DASTM Chart of Accounts", 3},
      {"INTL", 44, "Import Template - International", "International Set Up", 92, "DASTM Exchange Rate", 36},
      {"NOSUCH", 0, "Import Template - ", "", 0, "", -1},
  };
  for (const Case& c : cases) {
    LayoutEditorInputs in = Inputs(c.host, "k.csv", "a,b\n");
    in.intlKind = c.intlKind;
    CCLayout& e = Open(in);
    EXPECT_EQ(e.title(), c.title) << c.host;
    EXPECT_EQ(e.kindLabel(), c.kindLabel) << c.host;
    EXPECT_EQ(e.kindEntries().size(), c.kinds) << c.host;
    if (c.kinds) {
      EXPECT_EQ(e.kindEntries().front().second, c.firstKind) << c.host;
    }
    EXPECT_EQ(e.kindSelection(), c.selected) << c.host;
  }
}

TEST_F(EditorTest, ItemsAndTheFirstAvailableSelection) {
  // Without batch mode the company number is grey: the second item is current.
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  ASSERT_EQ(e.itemCount(), 10u);
  EXPECT_EQ(e.itemCaption(kNumber), "Account Number");
  EXPECT_FALSE(e.IsItemAvailable(kCompany));
  EXPECT_EQ(e.currentItem(), kNumber);
  // Available items of a federal chart of accounts.
  std::vector<int> available;
  for (int i = 0; i < 10; ++i)
    if (e.IsItemAvailable(i)) available.push_back(i);
  EXPECT_EQ(available, (std::vector<int>{kNumber, kCaption, kTrc, kTcc}));
  // With batch mode the first item is current.
  LayoutEditorInputs in = Inputs("FCOA", "tb.csv", kTrialBalance);
  in.batchMode = true;
  EXPECT_EQ(Open(in).currentItem(), kCompany);
}

TEST_F(EditorTest, ExistingTemplateLoadsItsPlacesAndDropsMissingColumns) {
  WriteFile(Ini(),
            "[Import:GL]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n"
            "TRC=7 2 0\nTCC=3 9 0\n[Import:Layout]\n1=GL\n");
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance, "GL");
  EXPECT_FALSE(e.newTemplate());
  EXPECT_TRUE(e.okEnabled());
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 2, 0}));
  EXPECT_EQ(F(kTrc), FieldInfo{});  // column H is not in this file
  EXPECT_EQ(F(kTcc), (FieldInfo{3, 9, 0}));
  EXPECT_EQ(Headers(), (std::vector<std::string>{"Account Number", "Account Caption", "C", "TCC"}));
  // The boxes show the current item's place.
  EXPECT_EQ(e.colBox(), "1");
  EXPECT_EQ(e.lenBox(), "2");
  // Selecting an item whose start row is past the grid's rows brings it to row 1.
  e.SelectItem(kTcc);
  EXPECT_EQ(F(kTcc), (FieldInfo{3, 1, 0}));
  EXPECT_EQ(e.colBox(), "4");
  EXPECT_EQ(e.lenBox(), "1");
}

TEST_F(EditorTest, StoredInfoChoosesTheItemSetOfStandardImports) {
  struct Case {
    std::string host, info, layoutType;
  };
  const std::vector<Case> cases = {
      {"FCOA", "TCC", "TCC"}, {"FCOA", "", "COA"}, {"ICA", "", "ICOA"}, {"ICA", "BOGUS", "ICOA"}, {"FBJ", "COA", "JE"}};
  for (const Case& c : cases) {
    WriteFile(Ini(), c.info.empty() ? "[Import:T]\nFsiType=FEDERAL\n" : "[Import:T]\nInfo=" + c.info + "\n");
    EXPECT_EQ(Open(c.host, "tb.csv", kTrialBalance, "T").layoutType(), c.layoutType) << c.host << " " << c.info;
  }
}

// ---- Placing on the grid ---------------------------------------------------------------

TEST_F(EditorTest, GridClickPlacesTheCurrentItem) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 1);  // grid row 2 is data line 2
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 2, 0}));
  EXPECT_EQ(e.header(1), "Account Number");
  EXPECT_EQ(e.colBox(), "1");
  EXPECT_EQ(e.lenBox(), "2");

  struct Click {
    long row, col;
    FieldInfo expected;
  };
  // The header row gives start row 1; the line-number column gives column A.
  const std::vector<Click> clicks = {{0, 3, {2, 1, 0}}, {-1, 2, {1, 1, 0}}, {4, 0, {0, 4, 0}}, {3, -1, {0, 3, 0}}};
  for (const Click& c : clicks) {
    e.PlaceFromGridClick(c.row, c.col);
    EXPECT_EQ(F(kNumber), c.expected) << c.row << "," << c.col;
  }
  EXPECT_TRUE(Texts(ui).empty());
}

TEST_F(EditorTest, MovingAnItemGivesItsOldColumnItsLetterBack) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.PlaceFromGridClick(2, 1);
  e.PlaceFromGridClick(2, 3);
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "Account Number", "D"}));
  // Same column, another row: the header stays.
  e.PlaceFromGridClick(5, 3);
  EXPECT_EQ(F(kNumber), (FieldInfo{2, 5, 0}));
  EXPECT_EQ(e.header(3), "Account Number");
}

TEST_F(EditorTest, ClickingAColumnHeldByAnotherItemTakesItOver) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 1);
  e.SelectItem(kCaption);
  e.PlaceFromGridClick(2, 2);
  e.SelectItem(kTrc);
  e.PlaceFromGridClick(3, 1);  // column A moves to TRC
  EXPECT_EQ(F(kNumber), FieldInfo{});
  EXPECT_EQ(F(kTrc), (FieldInfo{0, 3, 0}));
  EXPECT_EQ(F(kCaption), (FieldInfo{1, 2, 0}));
  EXPECT_EQ(Headers(), (std::vector<std::string>{"TRC", "Account Caption", "C", "D"}));
}

TEST_F(EditorTest, UnavailableItemTakesNoPosition) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kBalance);  // balances are grey in a chart import
  EXPECT_EQ(e.currentItem(), kBalance);
  EXPECT_FALSE(e.currentAvailable());
  e.PlaceFromGridClick(2, 2);
  e.ColumnBoxChanged("2");
  e.LengthBoxChanged("3");
  EXPECT_EQ(F(kBalance), FieldInfo{});
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "C", "D"}));
}

TEST_F(EditorTest, GridScrollSelectsRowOneOfTheNewLeftColumn) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.PlaceFromGridClick(4, 2);
  EXPECT_EQ(e.gridSelRow(), 4);
  e.GridScrolled(3);
  EXPECT_EQ(e.gridSelRow(), 1);
  EXPECT_EQ(e.gridSelCol(), 3);
}

TEST_F(EditorTest, ShowSelectedScrollsToBringTheItemsColumnIntoView) {
  std::string wide;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 30; ++c) wide += (c ? "," : "") + std::to_string(c);
    wide += "\n";
  }
  WriteFile(Ini(), "[Import:W]\nInfo=COA\nAccount_Number=20 2 0\nAccount_Caption=1 1 0\n");
  CCLayout& e = Open("FCOA", "w.csv", wide, "W");
  // Columns 1 to 10 are in view; the item's column 21 is right of the current column.
  e.SetGridViewport(1, 10);
  e.SelectItem(kNumber);
  EXPECT_EQ(e.scrollToCol(), 22);  // two columns to its right
  EXPECT_EQ(e.showCellRow(), 2);
  EXPECT_EQ(e.showCellCol(), 21);
  EXPECT_EQ(e.gridSelCol(), 21);
  // Now 15 to 25 are in view; column 2 lies left of the current column: scroll to column 1.
  e.SetGridViewport(15, 25);
  const unsigned seq = e.viewSequence();
  e.SelectItem(kCaption);
  EXPECT_EQ(e.scrollToCol(), 1);
  EXPECT_GT(e.viewSequence(), seq);
  // A visible column needs no scrolling.
  e.SetGridViewport(1, 10);
  e.SelectItem(kCaption);
  EXPECT_EQ(e.scrollToCol(), 0);
}

// ---- The Column and Start Row boxes ------------------------------------------------------

TEST_F(EditorTest, TypingZeroInTheColumnBoxRemovesTheItem) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.PlaceFromGridClick(2, 3);
  e.ColumnBoxChanged("0");
  EXPECT_EQ(F(kNumber), FieldInfo{});
  EXPECT_EQ(e.header(3), "C");
  EXPECT_EQ(e.lenBox(), "0");
  EXPECT_EQ(e.colBox(), "0");
  EXPECT_TRUE(Texts(ui).empty());
}

TEST_F(EditorTest, TypingAColumnMovesAPlacedItem) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kCaption);
  e.PlaceFromGridClick(3, 4);
  e.SelectItem(kNumber);
  e.PlaceFromGridClick(2, 1);
  e.ColumnBoxChanged("");   // the user clears the box: a removal
  e.LengthBoxChanged("2");  // and types the start row again
  e.ColumnBoxChanged("4");
  EXPECT_EQ(F(kNumber), (FieldInfo{3, 2, 0}));
  EXPECT_EQ(F(kCaption), FieldInfo{});  // the duplicate rule
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "C", "Account Number"}));
}

TEST_F(EditorTest, ColumnBoxOnAnUnplacedItemNamesTheColumnUntilAStartRowIsTyped) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kTrc);
  EXPECT_EQ(e.colBox(), "1");
  EXPECT_EQ(e.lenBox(), "0");
  e.ColumnBoxChanged("3");
  EXPECT_EQ(F(kTrc).nLen, 0);
  EXPECT_EQ(e.header(3), "TRC");
  // Typing on moves the caption; it never stands over two columns.
  e.ColumnBoxChanged("");
  e.ColumnBoxChanged("2");
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "TRC", "C", "D"}));
  e.LengthBoxChanged("2");
  EXPECT_EQ(F(kTrc), (FieldInfo{1, 2, 0}));
  // Clearing the start row takes the caption away again.
  e.LengthBoxChanged("");
  EXPECT_EQ(F(kTrc), FieldInfo{});
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "C", "D"}));
}

TEST_F(EditorTest, OutOfRangeBoxValuesAreRefused) {
  struct Case {
    const char* box;  // "col" or "len"
    const char* value;
    const char* message;
  };
  // Six data lines (grid row count 7: a start row of 7 is one too many), four columns.
  const std::vector<Case> cases = {
      {"col", "5", "Invalid column number"},
      {"len", "7", "Invalid row (max. 6)"},
      {"len", "70000", "Invalid row (max. 6)"},
  };
  for (const Case& c : cases) {
    CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
    e.PlaceFromGridClick(2, 2);
    ASSERT_EQ(F(kNumber), (FieldInfo{1, 2, 0}));
    if (std::string(c.box) == "col") e.ColumnBoxChanged(c.value);
    else e.LengthBoxChanged(c.value);
    EXPECT_EQ(Texts(ui), Msgs{c.message}) << c.value;
    EXPECT_EQ(F(kNumber), FieldInfo{}) << c.value;
    EXPECT_EQ(e.colBox(), "0");
    EXPECT_EQ(e.lenBox(), "0");
    EXPECT_EQ(e.header(2), "B");
  }
  // The largest values are accepted.
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.ColumnBoxChanged("4");
  e.LengthBoxChanged("6");
  EXPECT_EQ(F(kNumber), (FieldInfo{3, 6, 0}));
  EXPECT_TRUE(Texts(ui).empty());
}

TEST_F(EditorTest, StartRowZeroClearsTheItem) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.PlaceFromGridClick(3, 2);
  e.LengthBoxChanged("0");
  EXPECT_EQ(F(kNumber), FieldInfo{});
  EXPECT_EQ(e.colBox(), "0");
  EXPECT_EQ(e.header(2), "B");
}

TEST_F(EditorTest, StartRowAppliesTheDuplicateRule) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.SelectItem(kCaption);
  e.PlaceFromGridClick(2, 1);
  e.SelectItem(kNumber);  // unplaced: boxes show column 1 and start row 0
  e.LengthBoxChanged("4");
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 4, 0}));
  EXPECT_EQ(F(kCaption), FieldInfo{});
  EXPECT_EQ(e.header(1), "Account Number");
}

TEST_F(EditorTest, ResetClearsEveryPlaceAndWritesNothing) {
  WriteFile(Ini(), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n");
  const std::string before = ReadFile(Ini());
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance, "GL");
  e.Reset();
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 0, 0}));
  EXPECT_EQ(F(kCaption), (FieldInfo{1, 0, 0}));  // the column stays, unplaced
  EXPECT_EQ(Headers(), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(e.colBox(), "0");
  EXPECT_EQ(e.lenBox(), "0");
  EXPECT_EQ(ReadFile(Ini()), before);
}

// ---- Fixed-width placing ----------------------------------------------------------------

constexpr const char* kFixed =
    "1000 Cash            100.00\n"
    "1100 Receivables     250.00\n"
    "2000 Payables        -75.25\n";

TEST_F(EditorTest, TextSelectionPlacesStartAndLength) {
  CCLayout& e = Open("FCOA", "gl.prn", kFixed);
  e.SelectItem(kCaption);
  const std::size_t line1 = e.lineStart(1);
  e.PlaceFromTextSelection(line1 + 5, line1 + 16);
  EXPECT_EQ(F(kCaption), (FieldInfo{5, 11, 0}));
  EXPECT_EQ(e.colBox(), "6");
  EXPECT_EQ(e.lenBox(), "11");
  EXPECT_TRUE(Texts(ui).empty());
  // A reversed selection is the same selection; an empty one does nothing.
  e.SelectItem(kNumber);
  e.PlaceFromTextSelection(4, 0);
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 4, 0}));
  e.PlaceFromTextSelection(7, 7);
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 4, 0}));
  // Fixed-width items may overlap.
  e.SelectItem(kTrc);
  e.PlaceFromTextSelection(2, 8);
  EXPECT_EQ(F(kTrc), (FieldInfo{2, 6, 0}));
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 4, 0}));
}

TEST_F(EditorTest, LongSelectionsAreCutTo99Characters) {
  std::string text(200, 'x');
  text += "\nshort\n";
  CCLayout& e = Open("FCOA", "long.txt", text);
  e.PlaceFromTextSelection(10, 160);
  EXPECT_EQ(F(kNumber), (FieldInfo{10, 99, 0}));
  EXPECT_EQ(e.selEnd() - e.selStart(), 99u);
  // On a file whose longest line is 30, the cut is 30.
  std::string narrow(30, 'y');
  narrow += "\n" + narrow + "\n";
  CCLayout& n = Open("FCOA", "n.txt", narrow);
  n.PlaceFromTextSelection(0, 45);  // across the line end
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 30, 0}));
}

TEST_F(EditorTest, FixedWidthBoxesAreBoundByTheLongestLine) {
  CCLayout& e = Open("FCOA", "gl.prn", kFixed);  // longest line: 27
  e.ColumnBoxChanged("28");
  EXPECT_EQ(Texts(ui), Msgs{"Invalid column number"});
  e.ColumnBoxChanged("21");
  e.LengthBoxChanged("8");
  EXPECT_EQ(Texts(ui), Msgs{"Length too long (max. 7)"});
  EXPECT_EQ(F(kNumber), FieldInfo{});
  e.ColumnBoxChanged("21");
  e.LengthBoxChanged("7");
  EXPECT_EQ(F(kNumber), (FieldInfo{20, 7, 0}));
  EXPECT_TRUE(Texts(ui).empty());
  // The current item's characters are selected on the first visible line that holds them.
  e.SetTextViewport(1, 2);
  e.SelectItem(kNumber);
  EXPECT_EQ(e.text().substr(e.selStart(), e.selEnd() - e.selStart()), " 250.00");
}

TEST_F(EditorTest, JournalEntryLineCodesComeWithThePlace) {
  // Two header lines, a blank, two account lines, a blank, a closing line, a blank.
  const std::string je =
      "A  JE001  Accrual\n"
      "   Second header\n"
      "\n"
      "   1000   500.00\n"
      "   2000  -500.00\n"
      "\n"
      "   end\n"
      "\n";
  CCLayout& e = Open("FBJ", "je.prn", je);
  EXPECT_EQ(e.lineCodes(), (std::vector<uint16_t>{0, 1, 240, 224, 224, 255, 0, 255, 240}));
  constexpr int kJeNumber = 2, kAccount = 17;
  e.SelectItem(kJeNumber);
  e.PlaceFromTextSelection(3, 8);
  EXPECT_EQ(F(kJeNumber), (FieldInfo{3, 5, 0}));
  e.SelectItem(kAccount);
  const std::size_t acct = e.lineStart(4) + 3;
  e.PlaceFromTextSelection(acct, acct + 4);
  EXPECT_EQ(F(kAccount), (FieldInfo{3, 4, 224}));
  // The selection shows on the first account line, where code 224 starts.
  EXPECT_EQ(e.selStart(), e.lineStart(3) + 3);
}

TEST_F(EditorTest, JournalEntryGridGetsAnExtraColumnAndLineCodes) {
  CCLayout& e = Open("FBJ", "je.csv", "A,JE1\n,\n1000,5\n,\n");
  EXPECT_EQ(e.gridCols(), 4);  // two data columns and the extra one
  e.SelectItem(17);
  e.PlaceFromGridClick(3, 1);
  EXPECT_EQ(F(17), (FieldInfo{0, 3, 224}));
}

// ---- OK, Cancel and the name ---------------------------------------------------------------

TEST_F(EditorTest, NewTemplateNeedsANameAndTheRequiredItems) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  EXPECT_TRUE(e.newTemplate());
  EXPECT_FALSE(e.okEnabled());
  EXPECT_FALSE(e.Ok());
  e.NameChanged("GL Book");
  EXPECT_TRUE(e.okEnabled());
  e.PlaceFromGridClick(2, 1);
  EXPECT_FALSE(e.Ok());
  EXPECT_EQ(Texts(ui), Msgs{"Chart of Accounts import requires a TRC, a TCC and an Account Caption. \n"
                            "Please modify template to show location of these items."});
  EXPECT_FALSE(e.ended());
  EXPECT_FALSE(std::filesystem::exists(Ini()));
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 2, 0}));  // a refused OK keeps every place

  e.SelectItem(kCaption);
  e.PlaceFromGridClick(2, 2);
  e.SelectItem(kTrc);
  e.PlaceFromGridClick(2, 3);
  e.SelectItem(kTcc);
  e.PlaceFromGridClick(2, 4);
  ASSERT_TRUE(e.Ok());
  EXPECT_TRUE(e.ended());
  EXPECT_EQ(e.templateName(), "GL Book");
  std::string upperPath = e.inputs().dataFileName;
  for (char& c : upperPath) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ReadFile(Ini()),
            "[Import:GL Book]\n"
            "Info=COA\n"
            "FsiType=FEDERAL\n"
            "Company_Number=0 0 0\n"
            "Account_Number=0 2 0\n"
            "Account_Caption=1 2 0\n"
            "Account_Balance=0 0 0\n"
            "TRC=2 2 0\n"
            "TCC=3 2 0\n"
            "Account_Type=0 0 0\n"
            "SIC_Code=0 0 0\n"
            "Activity_Number=0 0 0\n"
            "Activity_Name=0 0 0\n"
            "[Import:Layout]\n"
            "1=GL BOOK\n"
            "[Import:FileName]\n"
            "1=" + upperPath + "^GL BOOK\n");
}

TEST_F(EditorTest, InternationalTemplateStoresItsKind) {
  LayoutEditorInputs in = Inputs("INTL", "x.csv", "US,1.0\n");
  in.intlKind = 1;  // Exchange Rate: needs the country abbreviation
  CCLayout& e = Open(in);
  e.NameChanged("Rates");
  EXPECT_FALSE(e.Ok());
  EXPECT_EQ(Texts(ui), Msgs{"Exchange Rate requires Country Abbreviation. \n"
                            "Please modify template to show location of this item."});
  e.SelectItem(0);
  e.PlaceFromGridClick(1, 1);
  ASSERT_TRUE(e.Ok());
  const std::string ini = ReadFile(Ini());
  EXPECT_NE(ini.find("[Import:Rates]\nInfo=INTL\nIntlType=EXCHANGE RATE\nCountry Abbreviation=0 1 0\n"),
            std::string::npos)
      << ini;
}

TEST_F(EditorTest, NameIsCutTo64Characters) {
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance);
  e.NameChanged(std::string(65, 'N'));
  EXPECT_EQ(e.templateName(), std::string(64, 'N'));
}

TEST_F(EditorTest, NamesTheStoreCannotHoldAreRefusedAndHarmNothing) {
  WriteFile(Ini(), "[Import:Layout]\n1=KEEP\n");
  const std::string before = ReadFile(Ini());
  for (const std::string name : {"two\nlines", "Layout"}) {
    CCLayout& e = Open("TAXRATE", "r.csv", "CA,8.84\n");
    e.NameChanged(name);
    e.SelectItem(1);  // Jurisdiction
    e.PlaceFromGridClick(1, 1);
    EXPECT_FALSE(e.Ok()) << name;
    EXPECT_EQ(Texts(ui).size(), 1u) << name;
    EXPECT_FALSE(e.ended());
    EXPECT_EQ(ReadFile(Ini()), before);
  }
  // "]" and "=" in a name are held by the store and read back.
  CCLayout& e = Open("TAXRATE", "r.csv", "CA,8.84\n");
  e.NameChanged("A]B=C");
  e.SelectItem(1);
  e.PlaceFromGridClick(1, 1);
  ASSERT_TRUE(e.Ok()) << testing::PrintToString(Texts(ui));
  CCLayout& again = Open("TAXRATE", "r.csv", "CA,8.84\n", "A]B=C");
  EXPECT_EQ(again.fields()[1], (FieldInfo{0, 1, 0}));
}

TEST_F(EditorTest, CancelRecordsTheAssociationOfAnExistingTemplateOnly) {
  WriteFile(Ini(), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\n[Import:Layout]\n1=GL\n");
  CCLayout& e = Open("FCOA", "tb.csv", kTrialBalance, "GL");
  e.PlaceFromGridClick(4, 3);  // placed, but Cancel saves no place
  e.Cancel();
  EXPECT_TRUE(e.ended());
  EXPECT_FALSE(e.endedWithOk());
  EXPECT_EQ(e.templateName(), "GL");
  std::string upperPath = e.inputs().dataFileName;
  for (char& c : upperPath) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ReadFile(Ini()), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\n[Import:Layout]\n1=GL\n"
                             "[Import:FileName]\n1=" + upperPath + "^GL\n");

  const std::string before = ReadFile(Ini());
  CCLayout& n = Open("FCOA", "tb.csv", kTrialBalance);
  n.NameChanged("Typed");
  n.Cancel();
  EXPECT_EQ(n.templateName(), "");
  EXPECT_EQ(ReadFile(Ini()), before);
}

TEST_F(EditorTest, DataFileThatVanishesAfterLoadingStillSaves) {
  LayoutEditorInputs in = Inputs("TAXRATE", "r.csv", "CA,8.84\nNY,6.5\n");
  CCLayout& e = Open(in);
  std::filesystem::remove(in.dataFilePath);
  e.NameChanged("Rates");
  e.SelectItem(1);
  e.PlaceFromGridClick(1, 1);
  EXPECT_TRUE(e.Ok());
  EXPECT_NE(ReadFile(Ini()).find("Jurisdiction=0 1 0"), std::string::npos);
}

TEST_F(EditorTest, HundredThousandLinesLoadQuickly) {
  std::string big;
  big.reserve(3'000'000);
  for (int i = 1; i <= 100'000; ++i) big += std::to_string(i) + ",Account " + std::to_string(i) + ",10\n";
  const auto start = std::chrono::steady_clock::now();
  CCLayout& e = Open("FCOA", "big.csv", big);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(e.gridRows(), 100'001);
  EXPECT_EQ(e.cell(100'000, 2), "Account 100000");
  EXPECT_LT(took, std::chrono::seconds(10));
  // A start row beyond the store's 16-bit field is refused.
  e.PlaceFromGridClick(70'001, 1);
  EXPECT_EQ(Texts(ui), Msgs{"Invalid row (max. 65535)"});
  EXPECT_EQ(F(kNumber), FieldInfo{});
  e.PlaceFromGridClick(65'535, 1);
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 65535, 0}));
}

}  // namespace
}  // namespace zephrin
