// The sources of jurisdiction files: a comma-separated file's lines, and a
// DIF file's rows after its header, as rows of cleaned cells (blanks and
// control characters gone from both ends, those inside made blanks).
#pragma once

#include <algorithm>
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
  // A short plain line, the usual line, is read in line where the reader
  // calls this; any other line by NextLine.
  bool Next(Row& row) override {
    std::string_view raw;
    unsigned commas = 0;
    if (m_lines.NextShortPlain(raw, ',', commas)) {
      ShortPlainCells(raw, commas, row);
      return true;
    }
    return NextLine(row);
  }
  std::size_t consumed() const override { return m_lines.offset(); }
  std::size_t size() const override { return m_lines.size(); }

 private:
  void ShortPlainCells(std::string_view raw, unsigned commas, Row& row);
  [[gnu::noinline]] bool NextLine(Row& row);
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
  // Whether the rows ended without the "EOD" that closes a whole file.
  bool endMarkMissing() const override { return !m_endSeen; }

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
  bool m_endSeen = false;
  std::string m_arena;
  std::vector<Pending> m_pending;
};

// A short plain line, whose commas are known: each cell's cleaning is the
// trimming of its spaces, found by one more look at the line's sixteen bytes
// (which NextShortPlain saw were in the text).
inline void JurisdictionLineSource::ShortPlainCells(std::string_view raw, unsigned commas, Row& row) {
  row.Clear();
  row.index = ++m_line;
  row.buffer = m_lines.buffer();
  row.continuation = raw.empty() || static_cast<signed char>(raw[0]) <= 32;
  const char* const data = raw.data();
  const auto n = static_cast<unsigned>(raw.size());
  // Bit i: data[i] is a space; the bits past the line are not.
#ifdef ZEPHRIN_SCAN_SSE2
  const unsigned spaces = static_cast<unsigned>(_mm_movemask_epi8(
                              scan::Equal(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), ' '))) &
                          ((1u << n) - 1);
#else
  unsigned spaces = 0;
  for (unsigned i = 0; i < n; ++i) spaces |= data[i] == ' ' ? 1u << i : 0u;
#endif
  unsigned start = 0;
  std::size_t bytes = 0;
  const std::size_t maxCells = m_maxCells;
  for (uint32_t index = 0;; ++index) {
    const unsigned end = commas != 0 ? static_cast<unsigned>(__builtin_ctz(commas)) : n;
    // The first byte from `start` on that is no space, and the run of spaces
    // that ends at `end`.
    const unsigned from = std::min(end, start + static_cast<unsigned>(__builtin_ctz(~spaces >> start)));
    const unsigned to = from == end ? end : end - static_cast<unsigned>(__builtin_clz(~(spaces << (32 - end))));
    row.cells.push_back({index, std::string_view(data + from, to - from)});
    bytes += to - from;
    if (commas == 0 || index + 1 >= maxCells) break;
    commas &= commas - 1;
    start = end + 1;
  }
  row.textBytes = bytes;
}

}  // namespace zephrin
