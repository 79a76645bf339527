#include "readers/plain_sources.h"

#include <algorithm>

#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"

namespace zephrin {

namespace {
bool SeparatorsOnly(std::string_view line, char separator) {
  return std::all_of(line.begin(), line.end(), [separator](char c) { return c == separator; });
}
}  // namespace

// ---- Comma-separated ---------------------------------------------------------------

bool CsvSource::Next(Row& row) {
  std::string_view raw;
  bool lineEnd = false, plain = false;
  while (m_lines.Next(raw, lineEnd, plain)) {
    if (++m_index < m_beginRow) continue;
    row.Clear();
    row.index = m_index;
    row.buffer = m_lines.buffer();
    std::string_view line = TrimRight(raw);
    if (SeparatorsOnly(line, m_separator)) line = {};
    row.blank = line.empty();
    row.textBytes = line.size();
    const auto cell = [&](int index, std::string_view field) {
      row.cells.push_back({static_cast<uint32_t>(index), field});
      return true;
    };
    // A plain line (no quote, no control character) outside quotes needs no
    // quote state.
    if (plain && !m_inQuotes && !line.empty()) {
      m_maxFields = std::max(m_maxFields, SplitUnquotedLine(line, m_separator, m_printableOnly, cell));
      return true;
    }
    // The split's state in locals: the cells it appends could otherwise be
    // this source's own members, as far as the compiler can tell.
    bool inQuotes = m_inQuotes;
    const int fields = SplitSeparatedLine(line, m_separator, inQuotes, m_printableOnly, cell);
    m_inQuotes = inQuotes;
    m_maxFields = std::max(m_maxFields, fields);
    return true;
  }
  return false;
}

// ---- Data Interchange Format -----------------------------------------------------------

// A row's cells come from many lines, so the source reads the whole text.
DifSource::DifSource(const DataText& text, int32_t beginRow)
    : m_lines(text.text(), kPlainLineChars, text.hasNul()), m_beginRow(beginRow) {
  const DifHeader header = ReadDifHeader(m_lines);
  m_columns = header.columns;
  m_rows = header.rows;
  if (header.sawData) {
    if (header.excel) std::swap(m_columns, m_rows);
    // The value and string lines of "DATA", and the "-1" before the first row.
    std::string_view raw;
    for (int k = 0; k < 3; ++k)
      if (!m_lines.Next(raw)) m_unusable = true;
  }
  if (m_rows == 0 || m_columns == 0) m_unusable = true;
}

void DifSource::EndRow(Row& row, bool ended) {
  row.ended = ended;
  row.blank = !m_hasValue;
  m_inRow = false;
}

void DifSource::Take(Row& row, std::string_view value) {
  // Leading blanks go; an empty cell, and one past the header's columns, give
  // no cell of the row.
  if (m_cell < m_columns) {
    const std::string_view v = TrimLeft(value);
    if (!v.empty()) {
      row.cells.push_back({static_cast<uint32_t>(m_cell), v});
      row.textBytes += v.size();
    }
  }
  ++m_cell;
}

bool DifSource::Next(Row& row) {
  row.Clear();
  row.buffer = m_lines.buffer();
  const auto begin = [&]() {
    // Rows before the begin row are passed over line by line.
    if (m_rowIndex < m_beginRow) return;
    m_inRow = true;
    m_cell = 0;
    m_hasValue = false;
    row.index = m_rowIndex;
  };
  if (m_startPending) {
    m_startPending = false;
    begin();
  }
  std::string_view raw;
  while (m_lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") {
      ++m_rowIndex;
      if (m_inRow) {
        // A row that no "-1" line ended: it ends here, unended.
        EndRow(row, false);
        m_startPending = true;
        return true;
      }
      begin();
      continue;
    }
    if (!m_inRow || line.empty()) continue;
    if (line[0] == '0') {
      // A number; without its comma it takes up a cell and gives no value.
      const bool valid = line.size() > 1 && line[1] == ',';
      m_hasValue = m_hasValue || valid;
      Take(row, valid ? line.substr(2) : std::string_view());
    } else if (line[0] == '1') {
      std::string_view str;
      if (!m_lines.Next(str)) {
        ++m_cell;  // the file ends where the string line should be
        continue;
      }
      const std::string_view value = DifStringValue(str);
      if (value.empty()) {
        ++m_cell;
        continue;
      }
      m_hasValue = true;
      Take(row, value);
    } else if (line.size() >= 2 && line[0] == '-' && line[1] == '1') {
      EndRow(row, true);
      return true;
    }
  }
  if (!m_inRow) return false;
  EndRow(row, false);
  return true;
}

// ---- Fixed-width ------------------------------------------------------------------------

bool FixedWidthSource::Next(Row& row) {
  std::string_view raw;
  if (!m_lines.Next(raw)) return false;
  row.Clear();
  row.index = ++m_index;
  row.buffer = m_lines.buffer();
  const std::string_view line = TrimRight(raw);
  row.blank = line.empty();
  for (std::size_t j = 0; j < m_pieces.size() && !row.blank; ++j) {
    const Piece& p = m_pieces[j];
    if (!p.placed || p.start >= line.size()) continue;
    const std::string_view text = Trim(line.substr(p.start, p.length));
    row.cells.push_back({static_cast<uint32_t>(j), text});
    row.textBytes += text.size();
  }
  return true;
}

}  // namespace zephrin
