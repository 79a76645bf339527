#include "editor/layout_editor.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"

namespace zephrin {
namespace {

using Msgs = std::vector<std::string>;
using Strings = std::vector<std::string>;

constexpr const char* kBlankLines =
    "This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded blank "
    "lines before import.";

// COA positions.
enum Coa { kCompany = 0, kNumber = 1, kCaption = 2, kBalance = 3, kTrc = 4, kTcc = 5 };

// Six lines, four columns: a header line and five accounts.
constexpr const char* kTrialBalance =
    "Number,Caption,TRC,TCC\n1000,Cash,10,100\n1100,Receivables,10,110\n2000,Payables,20,200\n3000,Equity,30,300\n"
    "4000,Sales,40,400\n";
// Three fixed-width lines of 27 characters.
constexpr const char* kFixed =
    "1000 Cash            100.00\n"
    "1100 Receivables     250.00\n"
    "2000 Payables        -75.25\n";

// The messages shown since the last call; every one has the caption "Import".
Msgs Texts(RecordingUserInterface& ui) {
  Msgs out;
  for (const auto& m : ui.TakeMessages()) {
    EXPECT_EQ(m.caption, "Import");
    out.push_back(m.text);
  }
  return out;
}

// Runs the steps of `script`, separated by ";": "select I", "click ROW COL",
// "text START END" (a text selection), "col TEXT" and "len TEXT" (the boxes;
// no TEXT is a cleared box).
void Drive(CCLayout& e, const std::string& script) {
  std::istringstream steps(script);
  for (std::string step; std::getline(steps, step, ';');) {
    std::istringstream words(step);
    std::string op, a, b;
    words >> op >> a >> b;
    if (op == "select") e.SelectItem(std::stoi(a));
    else if (op == "click") e.PlaceFromGridClick(std::stol(a), std::stol(b));
    else if (op == "text") e.PlaceFromTextSelection(std::stoul(a), std::stoul(b));
    else if (op == "col") e.ColumnBoxChanged(a);
    else if (op == "len") e.LengthBoxChanged(a);
    else ADD_FAILURE() << "unknown step: " << step;
  }
}

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
  CCLayout& OpenChart(std::string name = "") { return Open("FCOA", "tb.csv", kTrialBalance, std::move(name)); }
  // A template of the tax rate chart, its jurisdiction placed, named `name`.
  CCLayout& RatesNamed(const std::string& name) {
    CCLayout& e = Open("TAXRATE", "r.csv", "CA,8.84\n");
    e.NameChanged(name);
    Drive(e, "select 1; click 1 1");
    return e;
  }

  // All headers of grid columns 1..n-1.
  Strings Headers() const {
    Strings h;
    for (long c = 1; c < editor->gridCols(); ++c) h.push_back(editor->header(c));
    return h;
  }
  FieldInfo F(int i) const { return editor->fields()[static_cast<std::size_t>(i)]; }

  TempDir dir;
  RecordingUserInterface ui;
  std::unique_ptr<CCLayout> editor;
};

// ---- Pure helpers -------------------------------------------------------------

TEST(ColumnNameTest, LettersThenTwoLettersThenThree) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {0, "A"}, {25, "Z"}, {26, "AA"}, {51, "AZ"}, {52, "BA"}, {77, "BZ"}, {701, "ZZ"}, {702, "AAA"}, {499, "SF"}};
  for (const auto& [c, name] : cases) EXPECT_EQ(ColumnName(c), name) << c;
}

TEST(LineCodesTest, HeaderAccountsAndClosingStates) {
  // header, header, blank, account, account, blank, closing, blank, header, header
  const std::vector<bool> blank = {false, false, true, false, false, true, false, true, false, false};
  EXPECT_EQ(ComputeLineCodes(blank), (std::vector<uint16_t>{0, 1, 240, 224, 224, 255, 0, 255, 0, 1}));
  // Two blanks in the accounts state: the second closes the block.
  EXPECT_EQ(ComputeLineCodes({false, true, true, true, false}), (std::vector<uint16_t>{0, 240, 255, 255, 0}));
}

// ---- Preview loading ----------------------------------------------------------

TEST_F(EditorTest, GridPreviewsSplitFieldsAsTheReaderNumbersThem) {
  struct Cell {
    long row, col;
    std::string text;
  };
  struct Case {
    const char* file;
    std::string content;
    long rows, cols;
    std::vector<Cell> cells;
  };
  const std::string dif = test::DifHeader(3, 2) + "-1,0\nBOT\n1,0\n\"Acct\"\n0,100.5\n"
                          "V\n1,0\n\"x\"\n1,0\n\"beyond\"\n-1,0\nBOT\n1,0\n\"\"\n0,7\nV\n-1,0\nEOD\n";
  const Case cases[] = {
      // A quoted comma; a blank field; a tab becomes a blank; a last comma is not a field; commas only: blank.
      {"data.csv", "1000,\"Cash, petty\",  ,x\t\n\"q\"\"\",last,\n,,,\na,b,c,d,e\n", 5, 6,
       {{1, 1, "1000"}, {1, 2, "Cash, petty"}, {1, 3, ""}, {1, 4, "x"}, {2, 1, "q\"\""}, {2, 2, "last"}, {2, 3, ""},
        {3, 1, ""}, {4, 5, "e"}}},
      // The open quote of line 1 keeps the comma of line 2 inside a field.
      {"q.csv", "\"open,a\nb,c\"\nd,e\n", 4, 3, {{1, 1, "\"open,a"}, {2, 1, "b,c\""}, {3, 2, "e"}}},
      // Counts, numbers and strings; a value past the vector count is dropped.
      {"t.dif", dif, 3, 4, {{1, 1, "Acct"}, {1, 2, "100.5"}, {1, 3, "x"}, {2, 1, ""}, {2, 2, "7"}}},
      // A number marked as #N/A or an error shows the mark, not its 0.
      {"e.dif", test::DifHeader(2, 2) + "-1,0\nBOT\n0,0\nERROR\n0,0\nNA\n-1,0\nBOT\n0,1\nTRUE\n0,0\nV\n-1,0\nEOD\n", 3, 3,
       {{1, 1, "#ERROR"}, {1, 2, "#N/A"}, {2, 1, "1"}, {2, 2, "0"}}},
      // The EXCEL mark swaps the counts: VECTORS then gives the rows.
      {"x.dif",
       "TABLE\n0,1\n\"EXCEL\"\nVECTORS\n0,5\n\"\"\nTUPLES\n0,2\n\"\"\nDATA\n0,0\n\"\"\n-1,0\nBOT\n0,1\nV\n0,2\nV\n0,3\n"
       "V\nEOD\n",
       2, 3, {{1, 2, "2"}, {1, 3, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CCLayout& e = Open("FCOA", c.file, c.content);
    EXPECT_EQ(e.gridRows(), c.rows);
    EXPECT_EQ(e.gridCols(), c.cols);
    for (const Cell& cell : c.cells) EXPECT_EQ(e.cell(cell.row, cell.col), cell.text) << cell.row << "," << cell.col;
    EXPECT_EQ(e.header(0), "");
    EXPECT_TRUE(Texts(ui).empty());
  }
  EXPECT_EQ(Headers(), (Strings{"A", "B"}));
}

// Each preview stops at the 25th blank line in a row, with one message; the
// grid keeps those lines, fixed-width text measures nothing after them.
TEST_F(EditorTest, TwentyFiveBlankLinesStopThePreview) {
  std::string csv = "a,b\n";
  for (int i = 0; i < 40; ++i) csv += i % 2 ? ",,\n" : "   \n";
  std::string dif = test::DifHeader(2, 40) + "-1,0\nBOT\n0,1\nV\n";
  for (int r = 0; r < 30; ++r) dif += "-1,0\nBOT\n1,0\n\"\"\n";
  std::string text = "short\n";
  for (int i = 0; i < 25; ++i) text += "     \n";
  const std::pair<const char*, std::string> cases[] = {{"blank.csv", csv + "late,row\n"},
                                                       {"b.dif", dif + "-1,0\nBOT\n0,9\nV\n-1,0\nEOD\n"},
                                                       {"b.txt", text + "a much longer line after the blank run\n"}};
  for (const auto& [file, content] : cases) {
    SCOPED_TRACE(file);
    CCLayout& e = Open("FCOA", file, content);
    EXPECT_EQ(Texts(ui), Msgs{kBlankLines});
    if (e.gridLayout()) {
      EXPECT_EQ(e.gridRows(), 1 + 1 + 25);
    } else {
      EXPECT_EQ(e.longestLine(), 5u);
    }
  }
  // 24 blank lines do not stop it.
  Open("FCOA", "ok.csv", "a\n" + std::string(24, '\n') + "b\n");
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

TEST_F(EditorTest, DifWith500ColumnsNamesColumnsPastAZAndPlacesInTheLast) {
  std::string dif = test::DifHeader(500, 30);
  for (int r = 0; r < 30; ++r) {
    dif += "-1,0\nBOT\n";
    for (int c = 0; c < 500; ++c) dif += "0," + std::to_string(r * 1000 + c) + "\nV\n";
  }
  CCLayout& e = Open("FCOA", "wide.dif", dif + "-1,0\nEOD\n");
  EXPECT_EQ(e.gridCols(), 501);
  EXPECT_EQ(e.header(500), "SF");
  EXPECT_EQ(e.cell(30, 500), "29499");
  Drive(e, "click 3 500");
  EXPECT_EQ(F(kNumber), (FieldInfo{499, 3, 0}));
  EXPECT_EQ(e.header(500), "Account Number");
}

TEST_F(EditorTest, FixedWidthPreviewMeasuresLines) {
  CCLayout& e = Open("FCOA", "gl.prn", "1000  Cash\r\n1100\x01Rec   \r\n\n12345678901234\n");
  EXPECT_FALSE(e.gridLayout());
  EXPECT_EQ(e.lineCount(), 5u);  // the empty line after the last line end counts
  EXPECT_EQ(e.line(0), "1000  Cash");
  EXPECT_EQ(e.line(1), "1100 Rec   ");  // a control byte becomes a blank
  EXPECT_EQ(e.longestLine(), 14u);
  EXPECT_EQ(e.LineOfOffset(e.lineStart(3) + 5), 3u);
}

TEST_F(EditorTest, UnreadableFileShowsTheMessageAndLoadsNoItems) {
  LayoutEditorInputs in = Inputs("FCOA", "gone.csv", "x\n");
  std::filesystem::remove(in.dataFilePath);
  in.dataFileName = "C:\\DATA\\GONE.CSV";
  CCLayout& e = Open(in, /*expectInit=*/false);
  EXPECT_EQ(Texts(ui), Msgs{"Error opening/reading C:\\DATA\\GONE.CSV"});
  EXPECT_EQ(e.itemCount(), 0u);
  EXPECT_FALSE(e.okEnabled());
  e.Cancel();
  EXPECT_TRUE(e.ended());
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

// ---- Set-up by host code -----------------------------------------------------------

TEST_F(EditorTest, HostCodeGivesTitleKindListAndLabels) {
  struct Case {
    std::string host;
    int intlKind;
    std::string title, kindLabel;
    std::size_t kinds;
    std::string firstKind;
    int selected;
  };
  const Case cases[] = {
      {"FCOA", 0, "Import Template - Federal Chart of Accounts", "", 0, "", -1},
      {"ICA", 0, "Import Template - International Chart of Accounts", "Jurisdictions", 1, "Int'l", 0},
      {"INTL", 3, "Import Template - International", "International Set Up", 100, "DASTM Chart of Accounts", 3},
      {"INTL", 44, "Import Template - International", "International Set Up", 92, "DASTM Exchange Rate", 36},
      {"NOSUCH", 0, "Import Template - ", "", 0, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host + " " + std::to_string(c.intlKind));
    LayoutEditorInputs in = Inputs(c.host, "k.csv", "a,b\n");
    in.intlKind = c.intlKind;
    CCLayout& e = Open(in);
    EXPECT_EQ(e.title(), c.title);
    EXPECT_EQ(e.kindLabel(), c.kindLabel);
    EXPECT_EQ(e.kindEntries().size(), c.kinds);
    EXPECT_EQ(c.kinds ? e.kindEntries().front().second : "", c.firstKind);
    EXPECT_EQ(e.kindSelection(), c.selected);
  }
}

TEST_F(EditorTest, ItemsAndTheFirstAvailableSelection) {
  // Without batch mode the company number is grey: the second item is current.
  CCLayout& e = OpenChart();
  ASSERT_EQ(e.itemCount(), 10u);
  EXPECT_EQ(e.itemCaption(kNumber), "Account Number");
  EXPECT_EQ(e.currentItem(), kNumber);
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
            "[Import:GL]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nTRC=7 2 0\n"
            "TCC=3 9 0\n[Import:Layout]\n1=GL\n");
  CCLayout& e = OpenChart("GL");
  EXPECT_FALSE(e.newTemplate());
  EXPECT_TRUE(e.okEnabled());
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 2, 0}));
  EXPECT_EQ(F(kTrc), FieldInfo{});  // column H is not in this file
  EXPECT_EQ(F(kTcc), (FieldInfo{3, 9, 0}));
  EXPECT_EQ(Headers(), (Strings{"Account Number", "Account Caption", "C", "TCC"}));
  // The boxes show the current item's place.
  EXPECT_EQ(e.colBox() + " " + e.lenBox(), "1 2");
  // Selecting an item whose start row is past the grid's rows brings it to row 1.
  e.SelectItem(kTcc);
  EXPECT_EQ(F(kTcc), (FieldInfo{3, 1, 0}));
  EXPECT_EQ(e.colBox() + " " + e.lenBox(), "4 1");
}

TEST_F(EditorTest, StoredInfoChoosesTheItemSetOfStandardImports) {
  const std::array<std::string, 3> cases[] = {
      {"FCOA", "TCC", "TCC"}, {"FCOA", "", "COA"}, {"ICA", "", "ICOA"}, {"ICA", "BOGUS", "ICOA"}, {"FBJ", "COA", "JE"}};
  for (const auto& [host, info, layoutType] : cases) {
    WriteFile(Ini(), info.empty() ? "[Import:T]\nFsiType=FEDERAL\n" : "[Import:T]\nInfo=" + info + "\n");
    EXPECT_EQ(Open(host, "tb.csv", kTrialBalance, "T").layoutType(), layoutType) << host << " " << info;
  }
}

// ---- Placing: clicks, the Column and Start Row boxes, text selections -------------------

struct Script {
  const char* name;
  const char* steps;
  std::vector<std::pair<int, FieldInfo>> fields;  // items and their places afterwards
  Strings headers;                                // of the grid's data columns; none for text
  Msgs messages = {};
  const char* boxes = nullptr;                    // "COL LEN" as the boxes show them, when checked
  bool fixedWidth = false;                        // on kFixed (the longest line 27) instead of kTrialBalance
};

class PlacingTest : public EditorTest, public ::testing::WithParamInterface<Script> {};

TEST_P(PlacingTest, LeavesThePlacesHeadersAndBoxes) {
  const Script& s = GetParam();
  CCLayout& e = s.fixedWidth ? Open("FCOA", "gl.prn", kFixed) : OpenChart();
  Drive(e, s.steps);
  for (const auto& [item, place] : s.fields) EXPECT_EQ(F(item), place) << "item " << item;
  EXPECT_EQ(Headers(), s.headers);
  EXPECT_EQ(Texts(ui), s.messages);
  if (s.boxes) {
    EXPECT_EQ(e.colBox() + " " + e.lenBox(), s.boxes);
  }
}

const Strings kLetters = {"A", "B", "C", "D"};
const Msgs kInvalidRow = {"Invalid row (max. 6)"};

INSTANTIATE_TEST_SUITE_P(
    Scripts, PlacingTest,
    ::testing::Values(
        // Grid row 2 is data line 2; the header row gives start row 1; the line-number column gives column A.
        Script{"GridClick", "click 2 1", {{kNumber, {0, 2, 0}}}, {"Account Number", "B", "C", "D"}, {}, "1 2"},
        Script{"HeaderRowClick", "click 0 3", {{kNumber, {2, 1, 0}}}, {"A", "B", "Account Number", "D"}},
        Script{"ClickAboveTheGrid", "click -1 2", {{kNumber, {1, 1, 0}}}, {"A", "Account Number", "C", "D"}},
        Script{"LineNumberColumnClick", "click 4 0", {{kNumber, {0, 4, 0}}}, {"Account Number", "B", "C", "D"}},
        Script{"ClickLeftOfTheGrid", "click 3 -1", {{kNumber, {0, 3, 0}}}, {"Account Number", "B", "C", "D"}},
        // Moving an item gives its old column its letter back; another row of the same column keeps the header.
        Script{"MovedItem", "click 2 1; click 2 3; click 5 3", {{kNumber, {2, 5, 0}}}, {"A", "B", "Account Number", "D"}},
        Script{"ColumnHeldByAnotherItemIsTakenOver", "select 1; click 2 1; select 2; click 2 2; select 4; click 3 1",
               {{kNumber, {}}, {kTrc, {0, 3, 0}}, {kCaption, {1, 2, 0}}}, {"TRC", "Account Caption", "C", "D"}},
        // Balances are grey in a chart import: they take no position.
        Script{"UnavailableItem", "select 3; click 2 2; col 2; len 3", {{kBalance, {}}}, kLetters},
        Script{"ColumnZeroRemoves", "click 2 3; col 0", {{kNumber, {}}}, kLetters, {}, "0 0"},
        Script{"StartRowZeroClears", "click 3 2; len 0", {{kNumber, {}}}, kLetters, {}, "0 0"},
        // The user clears the Column box (a removal), types the start row again, then a column.
        Script{"TypedColumnMovesAPlacedItem", "select 2; click 3 4; select 1; click 2 1; col; len 2; col 4",
               {{kNumber, {3, 2, 0}}, {kCaption, {}}}, {"A", "B", "C", "Account Number"}},  // the duplicate rule
        Script{"StartRowAppliesTheDuplicateRule", "select 2; click 2 1; select 1; len 4",
               {{kNumber, {0, 4, 0}}, {kCaption, {}}}, {"Account Number", "B", "C", "D"}},
        // An unplaced item shows column 1; a typed column is named in the header until a start row is typed,
        // and the caption never stands over two columns.
        Script{"UnplacedItemBoxes", "select 4", {{kTrc, {}}}, kLetters, {}, "1 0"},
        Script{"TypedColumnOfAnUnplacedItem", "select 4; col 3", {{kTrc, {2, 0, 0}}}, {"A", "B", "TRC", "D"}},
        Script{"RetypedColumnThenStartRow", "select 4; col 3; col; col 2; len 2", {{kTrc, {1, 2, 0}}},
               {"A", "TRC", "C", "D"}},
        Script{"ClearedStartRowTakesTheCaptionAway", "select 4; col 3; col; col 2; len 2; len", {{kTrc, {}}}, kLetters},
        // Six data lines (a start row of 7 is one too many), four columns; the largest values are taken.
        Script{"ColumnTooLarge", "click 2 2; col 5", {{kNumber, {}}}, kLetters, {"Invalid column number"}, "0 0"},
        Script{"StartRowTooLarge", "click 2 2; len 7", {{kNumber, {}}}, kLetters, kInvalidRow, "0 0"},
        Script{"StartRowFarTooLarge", "click 2 2; len 70000", {{kNumber, {}}}, kLetters, kInvalidRow, "0 0"},
        Script{"LargestValues", "col 4; len 6", {{kNumber, {3, 6, 0}}}, {"A", "B", "C", "Account Number"}},
        // Fixed width: a selection gives start and length (line 1 starts at offset 28); a reversed selection is the
        // same selection, an empty one does nothing, and items may overlap.
        Script{.name = "TextSelection", .steps = "select 2; text 33 44", .fields = {{kCaption, {5, 11, 0}}},
               .headers = {}, .boxes = "6 11", .fixedWidth = true},
        Script{.name = "ReversedEmptyAndOverlappingSelections", .steps = "text 4 0; text 7 7; select 4; text 2 8",
               .fields = {{kNumber, {0, 4, 0}}, {kTrc, {2, 6, 0}}}, .headers = {}, .fixedWidth = true},
        // The boxes are bound by the longest line.
        Script{.name = "FixedWidthColumnTooLarge", .steps = "col 28", .fields = {{kNumber, {}}}, .headers = {},
               .messages = {"Invalid column number"}, .fixedWidth = true},
        Script{.name = "FixedWidthLengthTooLong", .steps = "col 21; len 8", .fields = {{kNumber, {}}}, .headers = {},
               .messages = {"Length too long (max. 7)"}, .fixedWidth = true},
        Script{.name = "FixedWidthLongestLength", .steps = "col 21; len 7", .fields = {{kNumber, {20, 7, 0}}},
               .headers = {}, .fixedWidth = true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorTest, ARefusalNamesTheRuleThatRefusedAndItsRange) {
  using Rule = BoxRefusal::Rule;
  struct Case {
    const char* steps;
    bool fixedWidth;
    std::optional<BoxRefusal> refusal;
  };
  const Case cases[] = {
      {"click 2 2; col 5", false, BoxRefusal{Rule::Column, 4}},
      {"click 2 2; len 7", false, BoxRefusal{Rule::StartRow, 6}},
      {"col 28", true, BoxRefusal{Rule::Column, 27}},
      {"col 21; len 8", true, BoxRefusal{Rule::Length, 7}},
      {"col 21; len 7", true, std::nullopt},
      {"click 2 2; col 4", false, std::nullopt},
  };
  for (const Case& c : cases) {
    CCLayout& e = c.fixedWidth ? Open("FCOA", "gl.prn", kFixed) : OpenChart();
    Drive(e, c.steps);
    EXPECT_EQ(e.TakeRefusal(), c.refusal) << c.steps;
    EXPECT_EQ(e.TakeRefusal(), std::nullopt) << c.steps;  // handed over once
    ui.TakeMessages();
  }
  // A click below the rows the store can hold, and a selection right of its columns.
  std::string tall;
  for (int i = 0; i < 65537; ++i) tall += "1\n";
  Open("FCOA", "tall.csv", tall).PlaceFromGridClick(65537, 1);
  EXPECT_EQ(editor->TakeRefusal(), (BoxRefusal{Rule::StartRow, 65535}));
  Open("FCOA", "wide.txt", std::string(70000, 'x') + "\n").PlaceFromTextSelection(66000, 66001);
  EXPECT_EQ(editor->TakeRefusal(), (BoxRefusal{Rule::Column, 65536}));
}

TEST_F(EditorTest, OkWouldReplaceASavedTemplateOfTheSameNameButNotTheOneEdited) {
  WriteFile(Ini(), "[Import:Chart]\nInfo=COA\n[Import:Loose]\nInfo=COA\n[Import:All Templates]\nInfo=COA\n"
                   "[Import:Layout]\n1=CHART\n2=ALL TEMPLATES\n[Import:FileName]\n1=A.CSV^CHART\n[Import:CurDir]\nCurDir=/tmp\n");
  const std::pair<std::string, std::string> cases[] = {
      {"chart", "CHART"}, {"CHART", "CHART"}, {"loose", "loose"}, {"Charts", ""}, {"", ""},
      // The store's own sections are no templates, and a deletion takes "ALL
      // TEMPLATES" as every one: OK refuses their names.
      {"Layout", ""}, {"filename", ""}, {"CurDir", ""}, {"all templates", ""}};
  for (const auto& [typed, replaced] : cases) {
    CCLayout& e = OpenChart();
    e.NameChanged(typed);
    EXPECT_EQ(e.TemplateToReplace(), replaced) << typed;
  }
  EXPECT_EQ(OpenChart("CHART").TemplateToReplace(), "");
  const std::string none = dir.file("none/import.ini");
  LayoutEditorInputs in = Inputs("FCOA", "tb.csv", kTrialBalance);
  in.iniPath = none;
  CCLayout& e = Open(in);
  e.NameChanged("chart");
  EXPECT_EQ(e.TemplateToReplace(), "");
}

TEST_F(EditorTest, SelectedFixedWidthItemShowsOnTheFirstVisibleLineThatHoldsIt) {
  CCLayout& e = Open("FCOA", "gl.prn", kFixed);
  Drive(e, "col 21; len 7");
  e.SetTextViewport(1, 2);
  e.SelectItem(kNumber);
  EXPECT_EQ(e.text().substr(e.selStart(), e.selEnd() - e.selStart()), " 250.00");
}

TEST_F(EditorTest, LongSelectionsAreCutTo99CharactersOrTheLongestLine) {
  CCLayout& e = Open("FCOA", "long.txt", std::string(200, 'x') + "\nshort\n");
  e.PlaceFromTextSelection(10, 160);
  EXPECT_EQ(F(kNumber), (FieldInfo{10, 99, 0}));
  EXPECT_EQ(e.selEnd() - e.selStart(), 99u);
  const std::string narrow(30, 'y');
  Open("FCOA", "n.txt", narrow + "\n" + narrow + "\n").PlaceFromTextSelection(0, 45);  // across the line end
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 30, 0}));
}

TEST_F(EditorTest, ResetClearsEveryPlaceAndWritesNothing) {
  WriteFile(Ini(), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n");
  const std::string before = ReadFile(Ini());
  CCLayout& e = OpenChart("GL");
  e.Reset();
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 0, 0}));
  EXPECT_EQ(F(kCaption), (FieldInfo{1, 0, 0}));  // the column stays, unplaced
  EXPECT_EQ(Headers(), kLetters);
  EXPECT_EQ(e.colBox() + " " + e.lenBox(), "0 0");
  EXPECT_EQ(ReadFile(Ini()), before);
}

TEST_F(EditorTest, GridScrollSelectsRowOneOfTheNewLeftColumn) {
  CCLayout& e = OpenChart();
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

// ---- Journal entries ----------------------------------------------------------------

TEST_F(EditorTest, JournalEntryLineCodesComeWithThePlace) {
  // Two header lines, a blank, two account lines, a blank, a closing line, a blank.
  CCLayout& e = Open("FBJ", "je.prn", "A  JE001  Accrual\n   Second header\n\n   1000   500.00\n   2000  -500.00\n\n"
                                      "   end\n\n");
  EXPECT_EQ(e.lineCodes(), (std::vector<uint16_t>{0, 1, 240, 224, 224, 255, 0, 255, 240}));
  constexpr int kJeNumber = 2, kAccount = 17;
  Drive(e, "select 2; text 3 8");
  EXPECT_EQ(F(kJeNumber), (FieldInfo{3, 5, 0}));
  e.SelectItem(kAccount);
  const std::size_t acct = e.lineStart(4) + 3;
  e.PlaceFromTextSelection(acct, acct + 4);
  EXPECT_EQ(F(kAccount), (FieldInfo{3, 4, 224}));
  // The selection shows on the first account line, where code 224 starts.
  EXPECT_EQ(e.selStart(), e.lineStart(3) + 3);
  // A grid gets an extra column, and the line codes too.
  CCLayout& g = Open("FBJ", "je.csv", "A,JE1\n,\n1000,5\n,\n");
  EXPECT_EQ(g.gridCols(), 4);  // two data columns and the extra one
  Drive(g, "select 17; click 3 1");
  EXPECT_EQ(F(kAccount), (FieldInfo{0, 3, 224}));
}

// ---- OK, Cancel and the name ---------------------------------------------------------------

TEST_F(EditorTest, NewTemplateNeedsANameAndTheRequiredItems) {
  CCLayout& e = OpenChart();
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

  Drive(e, "select 2; click 2 2; select 4; click 2 3; select 5; click 2 4");
  ASSERT_TRUE(e.Ok());
  EXPECT_TRUE(e.ended());
  EXPECT_EQ(e.templateName(), "GL Book");
  EXPECT_EQ(ReadFile(Ini()),
            "[Import:GL Book]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n"
            "Account_Caption=1 2 0\nAccount_Balance=0 0 0\nTRC=2 2 0\nTCC=3 2 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\n"
            "Activity_Number=0 0 0\nActivity_Name=0 0 0\n"
            // The header row's captions of the placed columns, for SuggestTemplates.
            "Headers=NUMBER|CAPTION|TRC|TCC\n[Import:Layout]\n1=GL BOOK\n[Import:FileName]\n1=" +
                test::Upper(e.inputs().dataFileName) + "^GL BOOK\n");
}

TEST_F(EditorTest, InternationalTemplateStoresItsKind) {
  LayoutEditorInputs in = Inputs("INTL", "x.csv", "US,1.0\n");
  in.intlKind = 1;  // Exchange Rate: needs the country abbreviation
  CCLayout& e = Open(in);
  e.NameChanged("Rates");
  EXPECT_FALSE(e.Ok());
  EXPECT_EQ(Texts(ui), Msgs{"Exchange Rate requires Country Abbreviation. \n"
                            "Please modify template to show location of this item."});
  Drive(e, "select 0; click 1 1");
  ASSERT_TRUE(e.Ok());
  const std::string ini = ReadFile(Ini());
  EXPECT_NE(ini.find("[Import:Rates]\nInfo=INTL\nIntlType=EXCHANGE RATE\nCountry Abbreviation=0 1 0\n"),
            std::string::npos)
      << ini;
}

TEST_F(EditorTest, NamesAreCutTo64AndNamesTheStoreCannotHoldAreRefusedAndHarmNothing) {
  OpenChart().NameChanged(std::string(65, 'N'));
  EXPECT_EQ(editor->templateName(), std::string(64, 'N'));

  WriteFile(Ini(), "[Import:Layout]\n1=KEEP\n");
  const std::string before = ReadFile(Ini());
  for (const std::string name : {"two\nlines", "Layout"}) {
    CCLayout& e = RatesNamed(name);
    EXPECT_FALSE(e.Ok()) << name;
    EXPECT_EQ(Texts(ui).size(), 1u) << name;
    EXPECT_FALSE(e.ended());
    EXPECT_EQ(ReadFile(Ini()), before);
  }
  // "]" and "=" in a name are held by the store and read back.
  ASSERT_TRUE(RatesNamed("A]B=C").Ok()) << testing::PrintToString(Texts(ui));
  EXPECT_EQ(Open("TAXRATE", "r.csv", "CA,8.84\n", "A]B=C").fields()[1], (FieldInfo{0, 1, 0}));
}

TEST_F(EditorTest, CancelRecordsTheAssociationOfAnExistingTemplateOnly) {
  WriteFile(Ini(), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\n[Import:Layout]\n1=GL\n");
  CCLayout& e = OpenChart("GL");
  e.PlaceFromGridClick(4, 3);  // placed, but Cancel saves no place
  e.Cancel();
  EXPECT_TRUE(e.ended());
  EXPECT_FALSE(e.endedWithOk());
  EXPECT_EQ(e.templateName(), "GL");
  EXPECT_EQ(ReadFile(Ini()), "[Import:GL]\nInfo=COA\nAccount_Number=0 2 0\n[Import:Layout]\n1=GL\n"
                             "[Import:FileName]\n1=" + test::Upper(e.inputs().dataFileName) + "^GL\n");

  const std::string before = ReadFile(Ini());
  CCLayout& n = OpenChart();
  n.NameChanged("Typed");
  n.Cancel();
  EXPECT_EQ(n.templateName(), "");
  EXPECT_EQ(ReadFile(Ini()), before);
}

TEST_F(EditorTest, DataFileThatVanishesAfterLoadingStillSaves) {
  CCLayout& e = RatesNamed("Rates");
  std::filesystem::remove(e.inputs().dataFilePath);
  EXPECT_TRUE(e.Ok());
  EXPECT_NE(ReadFile(Ini()).find("Jurisdiction=0 1 0"), std::string::npos);
}

TEST_F(EditorTest, HundredThousandLinesLoadWithoutHanging) {
  std::string big;
  big.reserve(3'000'000);
  for (int i = 1; i <= 100'000; ++i) big += std::to_string(i) + ",Account " + std::to_string(i) + ",10\n";
  const auto start = std::chrono::steady_clock::now();
  CCLayout& e = Open("FCOA", "big.csv", big);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(e.gridRows(), 100'001);
  EXPECT_EQ(e.cell(100'000, 2), "Account 100000");
  // A start row beyond the store's 16-bit field is refused.
  e.PlaceFromGridClick(70'001, 1);
  EXPECT_EQ(Texts(ui), Msgs{"Invalid row (max. 65535)"});
  EXPECT_EQ(F(kNumber), FieldInfo{});
  e.PlaceFromGridClick(65'535, 1);
  EXPECT_EQ(F(kNumber), (FieldInfo{0, 65535, 0}));
}

}  // namespace
}  // namespace zephrin
