#include "jurisdiction/jurisdiction_sources.h"

#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"

namespace zephrin {

bool JurisdictionLineSource::NextLine(Row& row) {
  std::string_view raw;
  bool lineEnd = false, plain = false;
  if (!m_lines.Next(raw, lineEnd, plain)) return false;
  row.Clear();
  row.index = ++m_line;
  row.buffer = m_lines.buffer();
  row.continuation = raw.empty() ? lineEnd : static_cast<signed char>(raw[0]) <= 32;
  if (plain) {
    // A plain line has its line end, no quotes and no control characters:
    // every comma ends a cell, and a cell's cleaning is the trimming of its
    // blanks, which can only be spaces.
    std::size_t start = 0, cells = 0, bytes = 0;
    const std::size_t maxCells = m_maxCells;
    const char* const data = raw.data();
    const auto cell = [&](std::size_t end) {
      std::size_t from = start, to = end;
      while (from < to && data[from] == ' ') ++from;
      while (to > from && data[to - 1] == ' ') --to;
      row.cells.push_back({static_cast<uint32_t>(cells++), std::string_view(data + from, to - from)});
      bytes += to - from;
      start = end + 1;
      return cells < maxCells;
    };
    scan::ForEachByte(raw.data(), raw.size(), ',', cell);
    if (cells < maxCells) cell(raw.size());
    row.textBytes = bytes;
    return true;
  }
  OtherCells(raw, lineEnd, row);
  return true;
}

// Any other line: cleaned cells go into the arena, which has room for the
// whole line, so that the cells before stay where they are.
void JurisdictionLineSource::OtherCells(std::string_view raw, bool lineEnd, Row& row) {
  m_arena.clear();
  m_arena.reserve(raw.size());
  SplitJurisdictionLine(raw, lineEnd, [&](int index, std::string_view cell) {
    const std::string_view text = StripQuotes(JurisdictionCellText(cell, m_arena));
    row.cells.push_back({static_cast<uint32_t>(index), text});
    row.textBytes += text.size();
    return row.cells.size() < m_maxCells;
  });
}

bool JurisdictionDifSource::SkipToFirstRow() {
  std::string_view raw, str;
  while (m_lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") return true;
    if (line == "EOD") m_endSeen = true;
    if (!line.empty() && line[0] == '1') (void)m_lines.Next(str);  // a string cell's line is its own
  }
  return false;
}

bool JurisdictionDifSource::Next(Row& row) {
  if (m_state == State::kFirst) m_state = SkipToFirstRow() ? State::kInRow : State::kDone;
  if (m_state == State::kDone) return false;
  row.Clear();
  row.index = ++m_row;
  m_arena.clear();
  m_pending.clear();
  uint32_t column = 0;
  std::string_view raw;
  for (;;) {
    if (!m_lines.Next(raw)) {
      m_state = State::kDone;
      break;
    }
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") break;  // the next row begins
    if (line == "EOD") m_endSeen = true;
    // A cell: a number "0,<value>", or a string "1,0" followed by its
    // quoted line. Any other line carries no cell.
    std::string_view value;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') value = line.substr(2);
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (m_lines.Next(str)) value = DifUnquote(DifUnquote(str));
    } else {
      continue;
    }
    if (static_cast<int32_t>(column) < m_columns) {
      const std::size_t at = m_arena.size();
      const std::string_view text = JurisdictionCellText(value, m_arena);
      const bool inArena = m_arena.size() != at;
      m_pending.push_back({column, text, inArena, at});
    }
    ++column;
  }
  for (const Pending& p : m_pending) {
    const std::string_view text = p.inArena ? std::string_view(m_arena).substr(p.offset, p.text.size()) : p.text;
    row.cells.push_back({p.column, text});
    row.textBytes += text.size();
  }
  return true;
}

}  // namespace zephrin
