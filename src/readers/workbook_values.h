// The value rules of workbook cells, shared by the two workbook sources: how
// a number, a date or a time reads as text, which number formats show dates,
// and how a cell's text is finished (engine text, cut, trailing blanks gone).
// A workbook row is assembled here too, so that both sources hand the record
// builder the same kind of rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "readers/row_source.h"

namespace zephrin::workbook {

// A cell's text is cut at this many characters, as a comma-separated line is.
inline constexpr std::size_t kCellChars = 2699;
// The grid of a sheet: columns A to XFD, rows 1 to 1,048,576.
inline constexpr uint32_t kMaxColumns = 16384;
inline constexpr uint32_t kMaxRows = 1048576;

// How a number format shows a number.
enum class NumberShape : uint8_t {
  kPlain,     // the number itself
  kDate,      // MM/DD/YYYY
  kDateTime,  // MM/DD/YYYY HH:MM:SS
  kTime,      // HH:MM:SS
  kElapsed,   // HH:MM:SS with the hours of all its days: a duration ("[h]:mm:ss")
};

// The shape of a built-in number format: 14 to 17 dates, 22 a date and time,
// 18 to 21, 45 and 47 times, 46 a duration; every other one plain.
NumberShape ShapeOfBuiltInFormat(unsigned id);
// The shape of a format's code. The letters d, m and y outside quotes,
// brackets and escapes make a date, h and s a time; a code with a time and
// neither d nor y (say "h:mm") shows a time alone, its m being minutes.
NumberShape ShapeOfFormatCode(std::string_view code);

// Appends the shortest plain decimal text that reads back as `value`
// (15250 -> "15250", 1234.5 -> "1234.5", 1e-7 -> "0.0000001"); never an
// exponent or a thousands separator. Negative zero is "0".
void AppendNumber(std::string& out, double value);

// Appends a serial day number as the shape shows it, in the 1900 date system
// (day 60 is the 29th of February 1900, which that system counts) or the 1904
// one; a time is rounded to the second. False, with nothing appended, when the
// serial is no date of years 1900 (or 1904) to 9999.
bool AppendSerial(std::string& out, double serial, NumberShape shape, bool date1904);

// Appends UTF-8 text as engine text (Windows-1252; a character it lacks is
// "?"). With `escapes`, the workbook escapes of characters ("_x000D_") are
// read as the characters they stand for.
void AppendEngineText(std::string& out, std::string_view utf8, bool escapes = false);

// Finishes a cell's text, the bytes of `text` from `start` on: cut at
// kCellChars, then its trailing blanks gone (bytes outside printable ASCII
// count as blanks there, as at the end of a comma-separated field).
void FinishCell(std::string& text, std::size_t start);

// The rows of a sheet as the record builder takes them: every row from the
// first up to the last that holds a value (a row without one reads blank),
// each with a cell for every column from A up to its last cell that holds a
// value. The source adds a row's cells, then ends it; a row with a value is
// then ready, after the blank rows that come before it.
class RowAssembler {
 public:
  // Starts the row of index `index` (the sheet row less one).
  void BeginRow(int32_t index);
  // The text of the row under way, for a cell's text to be appended to.
  std::string& text() { return m_text; }
  // A cell whose finished text is `text()` from `start` on; `number` when it
  // is a number cell's value.
  void AddOwnCell(uint32_t column, std::size_t start, bool number = false);
  // A cell whose text is held elsewhere (a shared string), valid as long as the source.
  void AddHeldCell(uint32_t column, std::string_view text);
  // Ends the row: true when it holds a value and is ready.
  bool EndRow();
  // Gives the next row (a blank one, or the ready row); false when none is
  // waiting. With `printableOnly` a cell's trailing bytes outside printable
  // ASCII go as its trailing blanks do.
  bool Give(Row& row, bool printableOnly);
  // The most cells of a row given so far.
  int templateColumns() const { return m_maxCells; }

 private:
  struct Slot {
    const char* held = nullptr;  // the text of a held cell, or null for an own cell
    uint32_t offset = 0, size = 0;
    bool number = false;
  };
  std::string m_text;
  std::vector<Slot> m_slots;
  int32_t m_index = 0;
  int32_t m_next = 0;  // the index of the next row to give
  int64_t m_lastValue = -1;
  bool m_ready = false;
  int m_maxCells = 0;
};

}  // namespace zephrin::workbook
