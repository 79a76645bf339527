// Inside the .xls source: a check of the workbook's records made before
// FreeXL reads them.
//
// FreeXL takes the length of a text in a record (a cell's label, a number
// format, a shared string and its formatting runs) as the record gives it
// and copies that many bytes, whether the record holds them or not; and it
// makes a sheet's cell table again for each DIMENSION record (in a legacy
// workbook, also for one after a cell), dropping the one before; and it
// keeps 8,192 cell formats but looks up any a cell names.
// The check follows the records as FreeXL does and finds a text that would
// run past its record, tables made again and again, or too many formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin::workbook {

// The unsigned number of `bytes` bytes (at most 4) at `at`, least
// significant first, as every number in an .xls is stored.
inline uint32_t LittleEndian(const unsigned char* at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

// A cell that FreeXL does not give as the workbook holds it: the result a
// formula kept (FreeXL gives no formula cell), or a boolean or an error
// (which FreeXL gives as the number 1 or 0, or as the error's code). Its
// text lies in KeptCells' own text.
struct KeptCell {
  uint32_t sheet = 0;  // the sheet's position
  uint32_t row = 0;
  uint32_t column = 0;
  uint32_t textAt = 0, textSize = 0;
  bool number = false;  // a formula's number result, as its cell's format shows it
};
// The kept cells of every sheet, in the order of their records.
class KeptCells {
 public:
  void Add(uint32_t sheet, uint32_t row, uint32_t column, std::string_view text, bool number);
  // The cells of one sheet, by row and then column; of a cell given twice,
  // the last.
  KeptCells Of(uint32_t sheet) const;
  const std::vector<KeptCell>& cells() const { return m_cells; }
  std::string_view text(const KeptCell& cell) const { return std::string_view(m_text).substr(cell.textAt, cell.textSize); }

 private:
  std::vector<KeptCell> m_cells;
  std::string m_text;
};

// The sheets (by their position) whose cells FreeXL cannot give. When a
// sheet has no dimensions (a chart sheet has none), FreeXL makes its cell
// table in place of the last sheet's: that sheet loses its cells, and the
// sheet without dimensions has no table (unless it is the last itself).
// Beside them, the cells FreeXL gives otherwise than the workbook holds them.
struct SheetLosses {
  int emptied = -1;           // the last sheet, when it lost its cells; or -1
  std::vector<int> tableless;  // the sheets without dimensions and without a table
  KeptCells kept;
};

// What the records of a compound document's workbook stream hold for FreeXL.
struct RecordsFinding {
  // A text that would be read past its record, a second table for a sheet,
  // more tables for sheets without dimensions than one table's worth, or
  // more than 8,192 cell formats.
  bool unsafe = false;
  SheetLosses losses;
};
// The records of `stream`, from its first record.
RecordsFinding WalkRecords(std::string_view stream);
// Whether `head` (a file's first bytes) starts a legacy workbook's records.
bool StartsLegacyWorkbook(std::string_view head);
// WalkRecords(...).unsafe for a legacy workbook of one sheet, which is a stream of
// records by itself (`file` from its first byte).
bool LegacyRecordsUnsafe(std::string_view file);

}  // namespace zephrin::workbook
