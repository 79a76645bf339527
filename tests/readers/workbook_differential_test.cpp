// Workbooks against separated text: random grids (strings with &, <, quotes,
// separators inside quotes and letters outside ASCII, numbers, dates, times,
// booleans, empty cells, missing rows) are written as a workbook by an
// independent writer (libxlsxwriter) and as the separated text the workbook
// value rules give, and both are read through the same template to the same
// document. Built only where libxlsxwriter is installed.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "readers/separator.h"
#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

enum class Kind { kEmpty, kString, kNumber, kDate, kDateTime, kBoolean };

struct GridCell {
  Kind kind = Kind::kEmpty;
  std::string text;  // the string, or the text the value rules give (UTF-8)
  double number = 0;
  lxw_datetime when{};
  bool flag = false;
};
using Grid = std::vector<std::vector<GridCell>>;  // an empty row is a row missing from the sheet

constexpr int kColumns = 7;

std::string RandomString(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {"a", "Z", "7", " ", "&", "<", ">", "'", "\xC3\xA9", "\xC3\xBC",
                                                  "\xC5\x81", "\xE2\x82\xAC", "x&y", "a<b", ".", "-"};
  std::string s;
  const int length = 1 + static_cast<int>(rng() % 8);
  // A quoted piece may hold any separator; its quotes stay balanced, as
  // separated text needs them.
  const int quotedAt = rng() % 4 == 0 ? static_cast<int>(rng() % (length + 1)) : -1;
  for (int i = 0; i <= length; ++i) {
    if (i == quotedAt) s += "\"p,q;r|s\tt\"";
    if (i < length) s += pieces[rng() % pieces.size()];
  }
  return s;
}

GridCell RandomCell(std::mt19937& rng) {
  GridCell c;
  c.kind = static_cast<Kind>(rng() % 6);
  char buffer[64];
  switch (c.kind) {
    case Kind::kEmpty: break;
    case Kind::kString: c.text = RandomString(rng); break;
    case Kind::kNumber: {
      const int whole = static_cast<int>(rng() % 2000001) - 1000000;
      c.number = rng() % 2 ? whole : whole / (rng() % 2 ? 100.0 : 8.0);
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, c.number, std::chars_format::fixed).ptr;
      c.text.assign(buffer, end);
      if (c.text == "-0") c.text = "0";
      break;
    }
    case Kind::kDate:
    case Kind::kDateTime: {
      c.when = {static_cast<int>(1901 + rng() % 199), static_cast<uint8_t>(1 + rng() % 12),
                static_cast<uint8_t>(1 + rng() % 28), 0, 0, 0};
      std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", c.when.month, c.when.day, c.when.year);
      c.text = buffer;
      if (c.kind == Kind::kDateTime) {
        c.when.hour = static_cast<uint8_t>(rng() % 24);
        c.when.min = static_cast<uint8_t>(rng() % 60);
        c.when.sec = static_cast<double>(rng() % 60);
        std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", c.when.hour, c.when.min, static_cast<int>(c.when.sec));
        c.text += buffer;
      }
      break;
    }
    case Kind::kBoolean:
      c.flag = rng() % 2 == 0;
      c.text = c.flag ? "TRUE" : "FALSE";
      break;
  }
  return c;
}

Grid RandomGrid(std::mt19937& rng) {
  Grid grid(1 + rng() % 18);
  for (std::size_t r = 0; r < grid.size(); ++r) {
    // Some rows are missing from the sheet (never the last).
    if (r + 1 < grid.size() && rng() % 6 == 0) continue;
    grid[r].resize(1 + rng() % kColumns);
    for (GridCell& cell : grid[r]) cell = RandomCell(rng);
    // A row ends at its last cell that holds a value.
    while (!grid[r].empty() && grid[r].back().kind == Kind::kEmpty) grid[r].pop_back();
  }
  while (!grid.empty() && grid.back().empty()) grid.pop_back();
  return grid;
}

void WriteWorkbook(const std::string& path, const Grid& grid) {
  lxw_workbook* book = workbook_new(path.c_str());
  ASSERT_NE(book, nullptr);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "mm/dd/yyyy");
  lxw_format* dateTime = workbook_add_format(book);
  format_set_num_format(dateTime, "mm/dd/yyyy hh:mm:ss");
  for (std::size_t r = 0; r < grid.size(); ++r) {
    for (std::size_t col = 0; col < grid[r].size(); ++col) {
      const GridCell& c = grid[r][col];
      const auto row = static_cast<lxw_row_t>(r);
      const auto column = static_cast<lxw_col_t>(col);
      lxw_datetime when = c.when;
      switch (c.kind) {
        case Kind::kEmpty: break;
        case Kind::kString: worksheet_write_string(sheet, row, column, c.text.c_str(), nullptr); break;
        case Kind::kNumber: worksheet_write_number(sheet, row, column, c.number, nullptr); break;
        case Kind::kDate: worksheet_write_datetime(sheet, row, column, &when, date); break;
        case Kind::kDateTime: worksheet_write_datetime(sheet, row, column, &when, dateTime); break;
        case Kind::kBoolean: worksheet_write_boolean(sheet, row, column, c.flag, nullptr); break;
      }
    }
  }
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

std::string SeparatedText(const Grid& grid, char separator) {
  std::string text;
  for (const auto& row : grid) {
    for (std::size_t col = 0; col < row.size(); ++col) {
      if (col) text += separator;
      text += row[col].text;
    }
    text += "\r\n";
  }
  return text;
}

std::string Read(CxmlWrapper& service, const std::string& dataFile) {
  std::string result;
  service.ReadImportFile(dataFile, "GRID", "FCOA", "1", "", result);
  return result;
}

TEST(WorkbookDifferential, RandomGridsReadAsTheirSeparatedText) {
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ASSERT_TRUE(service.EstablishTemplateStore());
  std::mt19937 rng(20261208);
  int withRecords = 0;
  for (int n = 0; n < 150; ++n) {
    const Separator separator = kSeparators[n % kSeparators.size()];
    test::WriteFile(home.file("import.ini"),
                    "[Import:GRID]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 1 0\n"
                    "Account_Caption=1 1 0\nAccount_Balance=0 0 0\nTRC=2 1 0\nTCC=3 1 0\nAccount_Type=0 0 0\n"
                    "SIC_Code=4 1 0\nActivity_Number=5 1 0\nActivity_Name=6 1 0\nSeparator=" +
                        std::string(SeparatorName(separator)) + "\n[Import:Layout]\n1=GRID\n");
    const Grid grid = RandomGrid(rng);
    WriteWorkbook(home.file("grid.xlsx"), grid);
    test::WriteFile(home.file("grid.txt"), SeparatedText(grid, SeparatorChar(separator)));
    const std::string fromText = Read(service, home.file("grid.txt"));
    ASSERT_EQ(Read(service, home.file("grid.xlsx")), fromText) << "grid " << n << ":\n"
                                                               << SeparatedText(grid, '|');
    if (fromText.find("<COAS") != std::string::npos) ++withRecords;
  }
  // The grids are read, not refused alike.
  EXPECT_GT(withRecords, 140);
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
}  // namespace zephrin
