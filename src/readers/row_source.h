// What a data file is to the record builder: rows of cells. A source turns a
// file's text into rows and nothing else; the builder applies the read plan
// to them, the same way for every format. A new input format is a new source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "result/read_result.h"

namespace zephrin {

// One cell of a row: its column (a comma-separated field's index, a DIF
// cell's, a workbook's column) and its text as the format gives it. A
// workbook's number cell says so: its text is the number as the workbook
// holds it, with a decimal point whatever the template's amount settings
// say of the text a person writes.
struct Cell {
  Cell() = default;
  Cell(uint32_t column_, std::string_view text_, bool number_ = false) : column(column_), number(number_), text(text_) {}
  uint32_t column = 0;
  bool number = false;  // beside the column, in the room it leaves
  std::string_view text;
};

// How many bytes of `buffer` may be read from `text`'s start (0 when the
// text does not lie in it).
inline std::size_t ReadableFrom(std::string_view buffer, std::string_view text) {
  const auto at = reinterpret_cast<std::uintptr_t>(text.data());
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const std::uintptr_t end = begin + buffer.size();
  return at >= begin && at <= end ? end - at : 0;
}

struct Row {
  // The row's index in the file, counted from 0: its line, or its DIF row.
  int32_t index = 0;
  // The cells in column order (views that stay valid until the next row).
  std::vector<Cell> cells;
  // A blank row, as journal entries count them: an empty line, or a DIF row
  // without a value.
  bool blank = false;
  // The row was closed as its format closes a row (a DIF row by its "-1"
  // line); a row cut short by the end of the file is not.
  bool ended = true;
  // An upper bound of the bytes of all the cells' texts.
  std::size_t textBytes = 0;
  // The row belongs to the one above it (a listed jurisdiction file's
  // indented lines).
  bool continuation = false;
  // The buffer the cells' texts lie in, when the source knows it: a cell's
  // text may then be read as whole blocks past its end, up to the buffer's.
  std::string_view buffer;
  // What the source knows of every cell of the row, so that the builder need
  // not ask of each: its text lies in `buffer`; it holds no double quote
  // (a line without one), so no quotes are stripped from it.
  bool inBuffer = false;
  bool unquoted = false;
  // What the row's line holds that its reader takes as the format says,
  // though a person may have meant otherwise, as bits of LineNote: a line
  // that ends inside a double quote it opened (its fields after it join the
  // lines below up to the next double quote, as a stray inch mark does); a
  // carriage return that does not end the line (a file whose lines end with
  // a carriage return alone reads as one long line).
  uint8_t notes = 0;
  // How many fields the line split into, the empty one after a separator
  // that ends the line included (which gives no cell); 0 for a source that
  // does not split lines.
  uint32_t fields = 0;
  void Note(LineNote what) { notes |= static_cast<uint8_t>(1u << static_cast<unsigned>(what)); }
  bool Noted(LineNote what) const { return (notes >> static_cast<unsigned>(what) & 1u) != 0; }

  void Clear() {
    cells.clear();
    blank = false;
    ended = true;
    textBytes = 0;
    continuation = false;
    buffer = {};
    inBuffer = false;
    unquoted = false;
    notes = 0;
    fields = 0;
  }
};

class RowSource {
 public:
  virtual ~RowSource() = default;
  // The next row; false at the end of the data.
  virtual bool Next(Row& row) = 0;
  // Bytes of the text consumed so far, and in all (for progress).
  virtual std::size_t consumed() const = 0;
  virtual std::size_t size() const = 0;
  // How many columns the template description after the last record covers:
  // the most fields of a line, or the columns a header announces.
  virtual int templateColumns() const { return 0; }
  // The data ended without the mark its format closes it with (a DIF file's
  // "EOD"): the file may have been cut short, losing rows after the last one
  // read. Asked once the source has given its last row.
  virtual bool endMarkMissing() const { return false; }
  // The cells read so far that hold a formula without its result, which
  // read as empty (a workbook's).
  virtual UncomputedFormulas uncomputedFormulas() const { return {}; }
  // The separator the source splits each line into fields at; 0 for a
  // source whose cells are not fields of a split line.
  virtual char splitsAt() const { return 0; }
  // How many fields the line before the first one read (a header line)
  // split into; 0 when there is none, or it is blank.
  virtual std::size_t headerFields() const { return 0; }
};

}  // namespace zephrin
