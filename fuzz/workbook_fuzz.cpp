// libFuzzer target: the workbook source on any input. The first byte picks
// how the file is taken (by what its bytes say, as an .xlsx workbook, as an
// .xls one), which sheet is read (the first, or the second by name) and
// whether the read shows printable ASCII only; the rest is the file. Every row must be as the record builder expects rows, and
// every refusal a sentence about the workbook.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz/fuzz_reader.h"
#include "readers/csv_split.h"
#include "readers/workbook_source.h"
#include "readers/workbook_values.h"

namespace zephrin::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "workbook source: %s\n", what);
  std::abort();
}

inline void RequireRefusal(const Error& error) {
  const std::string& m = error.message;
  Require(m.starts_with("The workbook input ") && m.ends_with(".") && m.find('\n') == std::string::npos,
          "a refusal is not a sentence about the workbook");
}

inline void ReadRows(WorkbookSource& source, bool printableOnly) {
  Row row;
  int32_t next = 0;
  std::size_t most = 0;
  while (source.Next(row)) {
    Require(row.index == next++, "rows are not numbered one after another from 0");
    Require(row.blank == row.cells.empty(), "a blank row has cells, or a row without cells is not blank");
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const std::string_view text = row.cells[i].text;
      Require(row.cells[i].column == i, "cells are not numbered one after another from 0");
      Require(text.size() <= workbook::kCellChars, "a cell is longer than a cell may be");
      Require(csv_split::TrimField(text, printableOnly).size() == text.size(), "a cell keeps a trailing blank");
      bytes += text.size();
    }
    // A cell of bytes a printable-only read shows as blanks holds a value
    // all the same, and may end its row.
    Require(printableOnly || row.cells.empty() || !row.cells.back().text.empty(), "a row ends at an empty cell");
    Require(bytes == row.textBytes, "a row's byte count is wrong");
    most = std::max(most, row.cells.size());
  }
  Require(source.templateColumns() == static_cast<int>(most), "the template columns are not the most cells of a row");
  if (source.failure()) RequireRefusal(*source.failure());
}

inline void ReadWorkbook(const uint8_t* data, size_t size) {
  const std::string path = Home() + "/input";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 1) out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  const uint8_t choice = size ? data[0] : 0;
  static const WorkbookKind kKinds[] = {WorkbookKind::kNone, WorkbookKind::kXlsx, WorkbookKind::kXls};
  WorkbookKind kind = kKinds[(choice & 0x0F) % 3];
  if (kind == WorkbookKind::kNone) kind = SniffWorkbook(path);
  std::string sheet;
  const auto sheets = WorkbookSheets(kind, path, "input");
  if (!sheets) RequireRefusal(sheets.error());
  else if ((choice & 0x10) && sheets->size() > 1) sheet = (*sheets)[1];
  auto source = OpenWorkbookSheet(kind, path, "input", sheet);
  if (!source) return RequireRefusal(source.error());
  Require(sheets.ok(), "a workbook opens whose sheets cannot be listed");
  const bool printableOnly = (choice & 0x20) == 0;
  (*source)->SetPrintableOnly(printableOnly);
  ReadRows(**source, printableOnly);
}

}  // namespace zephrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephrin::fuzz::ReadWorkbook(data, size);
  return 0;
}
