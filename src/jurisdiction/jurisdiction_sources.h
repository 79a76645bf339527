// The sources of jurisdiction files: a comma-separated file's lines, and a
// DIF file's rows after its header, as rows of cleaned cells (blanks and
// control characters gone from both ends, those inside made blanks).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "readers/data_text.h"
#include "readers/row_source.h"

namespace zephrin {

// The lines of a comma-separated jurisdiction file, numbered from 1. The
// in-quotes state starts off on every line; a line read with its line end
// has that line end as its last character; each cell loses one pair of
// quotes. A line that starts with a blank or a control character (or is
// empty but for its line end) is a continuation: in a listed file, a
// jurisdiction line of the record above. At most `maxCells` cells are taken
// from a line.
class JurisdictionLineSource : public RowSource {
 public:
  explicit JurisdictionLineSource(const DataText& text,
                                  std::size_t maxCells = std::numeric_limits<std::size_t>::max())
      : m_lines(text, kJurisdictionCsvLineChars), m_maxCells(maxCells) {}
  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_lines.offset(); }
  std::size_t size() const override { return m_lines.size(); }

 private:
  void ShortPlainCells(std::string_view raw, unsigned commas, Row& row);
  // Out of line: the plain lines' path then saves fewer registers.
  [[gnu::noinline]] void OtherCells(std::string_view raw, bool lineEnd, Row& row);

  LineReader m_lines;
  std::size_t m_maxCells;
  int32_t m_line = 0;
  std::string m_arena;
};

// The rows of a DIF jurisdiction file from `dataPos` (the first "BOT" after
// the header) on, numbered from 1; a row runs to the next "BOT". A cell is a
// number ("0,<value>") or a string (a line of its own, losing two pairs of
// quotes); the cells of the row's first `columns` columns are taken, empty
// ones too.
class JurisdictionDifSource : public RowSource {
 public:
  // A row's cells come from many lines, so the source reads the whole text.
  JurisdictionDifSource(const DataText& text, std::size_t dataPos, int32_t columns)
      : m_lines(text.text(), kJurisdictionDifLineChars, text.hasNul(), dataPos), m_columns(columns) {}
  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_lines.offset(); }
  std::size_t size() const override { return m_lines.size(); }

 private:
  // A cell's text: a view into the data, or cleaned into the arena (which may
  // move while the row is read).
  struct Pending {
    uint32_t column;
    std::string_view text;
    bool inArena;
    std::size_t offset;
  };
  // Reads up to the first "BOT"; false when there is none.
  bool SkipToFirstRow();

  LineReader m_lines;
  int32_t m_columns;
  int32_t m_row = 0;
  enum class State { kFirst, kInRow, kDone } m_state = State::kFirst;
  std::string m_arena;
  std::vector<Pending> m_pending;
};

}  // namespace zephrin
