// The sources of the plain formats: a comma-separated file's lines split into
// fields, a DIF file's rows from its data section, a fixed-width file's lines
// cut at the template's positions. Each yields rows of cells for the record
// builder and knows nothing of items, records or documents.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "readers/data_text.h"
#include "readers/row_source.h"

namespace zephrin {

// A comma-separated file, or one whose fields another separator ends (the
// same rules with that separator in the comma's place). A line's trailing
// blanks go; a line of separators alone is empty; a double quote toggles an in-quotes state that carries over to
// the next line; each field loses its trailing blanks (and, when values show
// printable ASCII only, the bytes outside it, which read as blanks). Lines
// before `beginRow` are not read at all.
class CsvSource : public RowSource {
 public:
  CsvSource(const DataText& text, int32_t beginRow, bool printableOnly, char separator = ',')
      : m_lines(text, kPlainLineChars), m_beginRow(beginRow), m_printableOnly(printableOnly), m_separator(separator) {}
  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_lines.offset(); }
  std::size_t size() const override { return m_lines.size(); }
  int templateColumns() const override { return m_maxFields; }
  char splitsAt() const override { return m_separator; }
  std::size_t headerFields() const override { return m_headerFields; }

 private:
  LineReader m_lines;
  int32_t m_beginRow;
  bool m_printableOnly;
  char m_separator;
  int32_t m_index = -1;
  bool m_inQuotes = false;
  int m_maxFields = 0;
  std::size_t m_headerFields = 0;
};

// A file in Data Interchange Format: the header up to "DATA" (its column and
// row counts, exchanged when the spreadsheet mark is there), then rows that
// start at "BOT" and end at a "-1" line. A cell is a number ("0,<value>") or
// a string ("1,0" and a quoted line); cells past the header's column count,
// and empty ones, give no cell of the row, but any value makes the row not
// blank. Rows before `beginRow` are not read.
class DifSource : public RowSource {
 public:
  DifSource(const DataText& text, int32_t beginRow);
  // The header names no rows or no columns, or the file ends inside it:
  // there is nothing to read, and the read gives an empty text.
  bool unusable() const { return m_unusable; }
  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_pos; }
  std::size_t size() const override { return m_window.size(); }
  int templateColumns() const override { return static_cast<int>(m_columns > 0x7fffffffL ? 0x7fffffffL : m_columns); }
  bool endMarkMissing() const override { return !m_unusable && !m_endSeen; }

 private:
  // What reading a row changes: a row read again from its start begins from
  // what was saved before it.
  struct State {
    std::size_t pos;
    int32_t rowIndex;
    long cell;
    bool inRow, startPending, hasValue;
  };
  State Saved() const;
  void Restore(const State& state);
  // How a row's reading ended: with a row, at the end of the text, or at the
  // end of a window too small for the row (`restart` then says where to read
  // it again from).
  enum class RowEnd { kRow, kEnd, kStarved };
  RowEnd ReadRow(Row& row, State& restart);
  // Ends the row under way into `row`.
  void EndRow(Row& row, bool ended);
  void Take(Row& row, std::string_view value, bool number = false);
  // A number cell's line ("0" and more, not blank at its start).
  void TakeNumber(Row& row, std::string_view line);
  // A string cell, its value without quotes and blanks.
  void TakeString(Row& row, std::string_view value);
  // The row's last cell, a number that `kindLine` (the line after it) tells
  // to be #N/A or an error, takes that mark for its text.
  void MarkNumber(Row& row, std::string_view kindLine);
  // Notes the data's end mark, when `line` (one that starts with "E") is it.
  void NoteEnd(std::string_view line);

  TextWindow m_window;
  std::size_t m_pos = 0;    // the text offset where the next line starts
  int32_t m_beginRow;
  long m_columns = 0, m_rows = 0;
  bool m_unusable = false;
  int32_t m_rowIndex = -1;
  bool m_inRow = false;      // a row that is read has started and not ended
  bool m_startPending = false;  // a "BOT" that began the next row was read already
  long m_cell = 0;
  bool m_hasValue = false;
  bool m_endSeen = false;  // the "EOD" line that ends the data was read
  // The row's texts with line breaks in them, joined from their lines (a
  // deque: the texts stay where they are while others join them).
  std::deque<std::string> m_joined;
};

// A fixed-width file: every line a row (from the first line on), its trailing
// blanks gone; its cells are the template's items in item order, each the
// text at the item's start and length with the blanks around it gone, for the
// items that start within the line.
class FixedWidthSource : public RowSource {
 public:
  struct Piece {
    uint16_t start = 0, length = 0;
    bool placed = false;
  };
  FixedWidthSource(const DataText& text, const std::vector<Piece>& pieces);
  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_lines.offset(); }
  std::size_t size() const override { return m_lines.size(); }

 private:
  // A placed piece and the cell it gives.
  struct Cut {
    uint32_t column;
    uint16_t start, length;
  };
  LineReader m_lines;
  std::vector<Cut> m_cuts;
  int32_t m_index = -1;
};

}  // namespace zephrin
