#include "readers/plain_sources.h"

#include <algorithm>

#include "platform/byte_scan.h"
#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"

namespace zephrin {

namespace {
// Whether a line that is not plain holds a carriage return.
bool HasCarriageReturn(std::string_view line) {
  return line.find('\r') != std::string_view::npos;
}

// The fields of a line that is read no further (a header line), the empty
// one after a separator that ends it included.
std::size_t CountFields(std::string_view line, char separator) {
  if (line.empty()) return 0;
  bool inQuotes = false;
  const int fields = SplitSeparatedLine(line, separator, inQuotes, false, [](int, std::string_view) { return true; });
  return static_cast<std::size_t>(std::max(fields, 0)) + (line.back() == separator && !inQuotes);
}

bool SeparatorsOnly(std::string_view line, char separator) {
  return std::all_of(line.begin(), line.end(), [separator](char c) { return c == separator; });
}
}  // namespace

// ---- Comma-separated ---------------------------------------------------------------

bool CsvSource::Next(Row& row) {
  std::string_view raw;
  bool lineEnd = false, plain = false;
  // A tab-separated line's tabs leave it plain.
  const auto next = [&] {
    return m_separator == '\t' ? m_lines.Next<true>(raw, lineEnd, plain) : m_lines.Next(raw, lineEnd, plain);
  };
  while (next()) {
    if (++m_index < m_beginRow) {
      if (m_index + 1 == m_beginRow) m_headerFields = CountFields(TrimRight(raw), m_separator);
      continue;
    }
    row.Clear();
    row.index = m_index;
    row.buffer = m_lines.buffer();
    row.inBuffer = true;
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
      row.unquoted = true;
      const int fields = SplitUnquotedLine(line, m_separator, m_printableOnly, cell);
      m_maxFields = std::max(m_maxFields, fields);
      row.fields = static_cast<uint32_t>(fields) + (line.back() == m_separator);
      return true;
    }
    // The split's state in locals: the cells it appends could otherwise be
    // this source's own members, as far as the compiler can tell.
    bool inQuotes = m_inQuotes;
    const int fields = SplitSeparatedLine(line, m_separator, inQuotes, m_printableOnly, cell);
    if (inQuotes && !m_inQuotes) row.Note(LineNote::kQuoteLeftOpen);
    if (!plain && HasCarriageReturn(line)) row.Note(LineNote::kCarriageReturn);
    m_inQuotes = inQuotes;
    m_maxFields = std::max(m_maxFields, fields);
    row.fields = static_cast<uint32_t>(std::max(fields, 0)) + (!line.empty() && line.back() == m_separator && !inQuotes);
    return true;
  }
  return false;
}

// ---- Data Interchange Format -----------------------------------------------------------

namespace {

// The lines of a short read below are far shorter than the line limit, so
// the limit never cuts them.
static_assert(kPlainLineChars > 64);

// A line of the text from `at` on, and the bytes it takes up there.
struct TakenLine {
  std::string_view line;
  std::size_t bytes;
};

#ifdef ZEPHRIN_SCAN_SSE2
// The line feeds among the sixteen bytes at `p` (all inside the text), as a
// mask (bit i for p[i]).
inline unsigned LineFeeds(const char* p) {
  return static_cast<unsigned>(
      _mm_movemask_epi8(scan::Equal(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), '\n')));
}
// The same for the 64 bytes at `p`.
inline uint64_t LineFeeds64(const char* p) {
  return uint64_t{LineFeeds(p)} | uint64_t{LineFeeds(p + 16)} << 16 | uint64_t{LineFeeds(p + 32)} << 32 |
         uint64_t{LineFeeds(p + 48)} << 48;
}
#endif

// The line at `at` as LineReader gives it: a line within the first 64 bytes
// is found block by block (a DIF string's line is mostly that short), any
// other by the general reader, which knows the line limit and NULs.
TakenLine TakeLine(const char* at, const char* end, bool hasNul) {
#ifdef ZEPHRIN_SCAN_SSE2
  const std::size_t reach = hasNul ? 0 : std::min<std::size_t>(static_cast<std::size_t>(end - at), 64) / 16 * 16;
  for (std::size_t k = 0; k < reach; k += 16) {
    const unsigned mask = LineFeeds(at + k);
    if (mask == 0) continue;
    const std::size_t n = k + static_cast<std::size_t>(__builtin_ctz(mask));
    // A carriage return before the line feed is no part of the line.
    return {std::string_view(at, n - (n > 0 && at[n - 1] == '\r')), n + 1};
  }
#endif
  LineReader lines(std::string_view(at, static_cast<std::size_t>(end - at)), kPlainLineChars, hasNul);
  TakenLine taken{{}, 0};
  lines.Next(taken.line);
  taken.bytes = lines.offset();
  return taken;
}

// Room for a line at the line limit, its line end included.
constexpr std::size_t kLineRoom = kPlainLineChars + 2;

// The lines of the data section, exactly as a LineReader over the whole text
// with the plain line limit gives them. Most DIF lines are a few bytes: one
// look at 64 bytes finds the ends of several, which the lines after it take
// one by one from the look's mask, without the general reader's bookkeeping
// for long lines. A reader lives in one call of DifSource::Next, so that its
// position stays in a register while cells are stored. Over a window that is
// not the text's last, a line that may reach past the window's end is not
// read: the reader says it is starved instead.
class DifLines {
 public:
  DifLines(std::string_view text, std::size_t pos, bool hasNul, bool final)
      : m_at(text.data() + pos), m_end(text.data() + text.size()), m_hasNul(hasNul), m_final(final),
        m_quickEnd(hasNul || text.size() < 64 ? text.data() : m_end - 63),
        m_safeEnd(final ? m_end : text.size() < kLineRoom ? text.data() : m_end - kLineRoom) {}
  // The next line without its line end; false at the end of the text, or
  // when starved.
  bool Next(std::string_view& line) {
#ifdef ZEPHRIN_SCAN_SSE2
    if (m_feeds == 0 && m_at < m_quickEnd) {
      m_block = m_at;
      m_feeds = LineFeeds64(m_at);
    }
    if (m_feeds != 0) {
      const char* feed = m_block + __builtin_ctzll(m_feeds);
      m_feeds &= m_feeds - 1;
      const auto n = static_cast<std::size_t>(feed - m_at);
      // A carriage return before the line feed is no part of the line.
      line = std::string_view(m_at, n - (n > 0 && feed[-1] == '\r'));
      m_at = feed + 1;
      return true;
    }
#endif
    if (m_at >= m_safeEnd) [[unlikely]] {
      m_starved = !m_final;
      return false;
    }
    const TakenLine taken = TakeLine(m_at, m_end, m_hasNul);
    line = taken.line;
    m_at += taken.bytes;
    return true;
  }
  // Passes over the next line when it is `c` alone, ended by a line feed
  // (as a number's "V" line is), without a look for its end.
  void SkipLineOf(char c) {
    if (m_end - m_at >= 2 && m_at[0] == c && m_at[1] == '\n') {
      m_at += 2;
      // When the look holds any line feed from the line on, its first is
      // the one passed over.
      m_feeds &= m_feeds - 1;
    }
  }
  // Bytes of the text left after the lines read.
  std::size_t remaining() const { return static_cast<std::size_t>(m_end - m_at); }
  // Whether the last Next found no line because the window ends too soon.
  bool starved() const { return m_starved; }

 private:
  const char* m_at;
  const char* m_end;
  bool m_hasNul;
  bool m_final;
  bool m_starved = false;
  // 64 bytes from any point before this one are inside the text (and the
  // text has no NULs).
  const char* m_quickEnd;
  // A line from any point before this one ends inside the window, or is cut
  // at the line limit there.
  const char* m_safeEnd;
  // The last look: the 64 bytes at m_block, whose line feeds from m_at on
  // are the bits of m_feeds.
  const char* m_block = nullptr;
  uint64_t m_feeds = 0;
};

// A string cell's text that spans lines, joined into `joined` (`text` then
// names it, and `lines` is past them); or its first line alone; or not yet
// known, the window ending before a line that may close it.
enum class Joined { kAlone, kJoined, kStarved };
Joined JoinLines(DifLines& lines, std::string_view& text, std::string& joined) {
  DifLines ahead = lines;
  if (DifStringLinesAfter(text, [&](std::string_view& line) { return ahead.Next(line); }, joined) == 0)
    return ahead.starved() ? Joined::kStarved : Joined::kAlone;
  lines = ahead;
  text = joined;
  return Joined::kJoined;
}

}  // namespace

// The header is read line by line; the data section through a window that
// holds each row's lines whole.
DifSource::DifSource(const DataText& text, int32_t beginRow) : m_window(std::string_view(), false), m_beginRow(beginRow) {
  LineReader lines(text, kPlainLineChars);
  const DifHeader header = ReadDifHeader(lines);
  m_columns = header.columns;
  m_rows = header.rows;
  if (header.sawData) {
    if (header.excel) std::swap(m_columns, m_rows);
    // The value and string lines of "DATA", and the "-1" before the first row.
    std::string_view raw;
    for (int k = 0; k < 3; ++k)
      if (!lines.Next(raw)) m_unusable = true;
  }
  m_pos = lines.offset();
  // Without a column no cell can be placed (a negative count holds none either).
  if (m_rows == 0 || m_columns <= 0) m_unusable = true;
  m_window = TextWindow(text, m_pos);
}

void DifSource::EndRow(Row& row, bool ended) {
  row.ended = ended;
  row.blank = !m_hasValue;
  m_inRow = false;
}

inline void DifSource::Take(Row& row, std::string_view value, bool number) {
  // Leading blanks go; an empty cell, and one past the header's columns, give
  // no cell of the row.
  if (m_cell < m_columns) {
    const std::string_view v = TrimLeft(value);
    if (!v.empty()) {
      row.cells.push_back({static_cast<uint32_t>(m_cell), v, number});
      row.textBytes += v.size();
    }
  }
  ++m_cell;
}

inline void DifSource::TakeNumber(Row& row, std::string_view line) {
  // Without its comma a number takes up a cell and gives no value.
  const bool valid = line.size() > 1 && line[1] == ',';
  m_hasValue = m_hasValue || valid;
  // A number is written with a decimal point whatever the template says of
  // the amounts a person writes.
  Take(row, valid ? TrimRight(line.substr(2)) : std::string_view(), true);
}

// A line after a number's line that is not its usual "V" may say that the
// number is #N/A or an error: when the row's last cell is that number (the
// line right before), it takes the mark. The lines read only get here when
// the "V" is not there, so a usual file pays nothing for it.
void DifSource::MarkNumber(Row& row, std::string_view kindLine) {
  if (row.cells.empty()) return;
  Cell& last = row.cells.back();
  if (!last.number || static_cast<long>(last.column) + 1 != m_cell) return;
  const std::string_view mark = DifNumberMark(kindLine);
  if (mark.empty()) return;
  last.text = mark;
  last.number = false;
  row.textBytes += mark.size();
  row.inBuffer = false;  // the mark's text is not in the window
}

void DifSource::NoteEnd(std::string_view line) {
  if (TrimRight(line) == "EOD") m_endSeen = true;
}

inline void DifSource::TakeString(Row& row, std::string_view value) {
  if (value.empty()) {
    ++m_cell;
    return;
  }
  m_hasValue = true;
  Take(row, value);
}

// A row's cells lie in the window, so every line of the row must be in it: a
// row that reaches past the window's end is read again from its start (or
// from the last line outside a row that is read) with the window moved
// there, and grown to twice its size when it started there already.
bool DifSource::Next(Row& row) {
  const std::string_view held = m_window.bytes();
  bool move = kFreshReadWindows ? m_window.moves() : !m_window.final() && m_pos + kLineRoom > m_window.base() + held.size();
  std::size_t capacity = kLineRoom + kReadWindow;
  for (;;) {
    if (move) m_window.MoveTo(m_pos, capacity);
    State restart = Saved();
    const RowEnd end = ReadRow(row, restart);
    if (end != RowEnd::kStarved) return end == RowEnd::kRow;
    Restore(restart);
    // A window that starts where the row does is too small for it.
    if (m_pos == m_window.base()) capacity = 2 * std::max(capacity, m_window.bytes().size());
    move = true;
  }
}

DifSource::State DifSource::Saved() const { return {m_pos, m_rowIndex, m_cell, m_inRow, m_startPending, m_hasValue}; }

void DifSource::Restore(const State& state) {
  m_pos = state.pos;
  m_rowIndex = state.rowIndex;
  m_cell = state.cell;
  m_inRow = state.inRow;
  m_startPending = state.startPending;
  m_hasValue = state.hasValue;
}

// A line is told by its first character: "BOT", a number's "0", a string's
// "1" and an end's "-1" start with one that is not blank, so a line that
// starts otherwise (a blank one too) is none of them, and only the rest of a
// number's line and the "BOT" need their trailing blanks gone.
DifSource::RowEnd DifSource::ReadRow(Row& row, State& restart) {
  row.Clear();
  if (!m_joined.empty()) m_joined.clear();
  const std::string_view text = m_window.bytes();
  row.buffer = text;
  row.inBuffer = true;
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
  DifLines lines(text, m_pos - m_window.base(), m_window.hasNul(), m_window.final());
  // The position goes back to the source whenever the call returns.
  const auto keep = [&](RowEnd end) {
    m_pos = m_window.base() + text.size() - lines.remaining();
    return end;
  };
  std::string_view line;
  while (lines.Next(line)) {
    if (line.empty()) continue;
    const char first = line[0];
    if (first == 'B' && TrimRight(line) == "BOT") {
      ++m_rowIndex;
      if (m_inRow) {
        // A row that no "-1" line ended: it ends here, unended.
        EndRow(row, false);
        m_startPending = true;
        return keep(RowEnd::kRow);
      }
      begin();
    } else if (!m_inRow) {
      // Outside a row that is read, only a "BOT" counts, and the end mark.
      if (first == 'E') NoteEnd(line);
    } else if (first == '0') {
      TakeNumber(row, line);
      // The line after a number tells its kind, nearly always "V" (a value).
      lines.SkipLineOf('V');
    } else if (first == '1') {
      std::string_view str;
      if (lines.Next(str)) {
        // A text with line breaks in it goes on to the line that closes its
        // quote; the row is read again in a larger window when that line may
        // lie past this one's end.
        if (DifStringLeftOpen(str) && !m_window.hasNul()) [[unlikely]] {
          const Joined joined = JoinLines(lines, str, m_joined.emplace_back());
          if (joined == Joined::kStarved) return RowEnd::kStarved;
          // The joined text is not in the window.
          if (joined == Joined::kJoined) row.inBuffer = false;
        }
        TakeString(row, DifStringValue(str));
      } else if (lines.starved()) {
        return RowEnd::kStarved;
      }
      else ++m_cell;  // the file ends where the string line should be
    } else if (first == '-' && line.size() >= 2 && line[1] == '1') {
      EndRow(row, true);
      return keep(RowEnd::kRow);
    } else if (first == 'N' || first == 'E') {
      MarkNumber(row, line);
      if (first == 'E') NoteEnd(line);
    }
    // Rows passed over are not read again when the window must grow.
    if (!m_inRow) [[unlikely]] {
      keep(RowEnd::kEnd);
      restart = Saved();
    }
  }
  if (lines.starved()) return RowEnd::kStarved;
  if (!m_inRow) return keep(RowEnd::kEnd);
  EndRow(row, false);
  return keep(RowEnd::kRow);
}

// ---- Fixed-width ------------------------------------------------------------------------

FixedWidthSource::FixedWidthSource(const DataText& text, const std::vector<Piece>& pieces)
    : m_lines(text, kPlainLineChars) {
  for (std::size_t j = 0; j < pieces.size(); ++j)
    if (pieces[j].placed) m_cuts.push_back({static_cast<uint32_t>(j), pieces[j].start, pieces[j].length});
}

bool FixedWidthSource::Next(Row& row) {
  std::string_view raw;
  bool lineEnd = false, plain = false;
  if (!m_lines.Next(raw, lineEnd, plain)) return false;
  row.Clear();
  row.index = ++m_index;
  row.buffer = m_lines.buffer();
  row.inBuffer = true;
  row.unquoted = plain;
  const std::string_view line = TrimRight(raw);
  row.blank = line.empty();
  if (row.blank) return true;
  if (!plain) [[unlikely]] {
    if (HasCarriageReturn(line)) row.Note(LineNote::kCarriageReturn);
    if (line.find('\t') != std::string_view::npos) row.Note(LineNote::kTab);
  }
  std::size_t bytes = 0;
  for (const Cut& cut : m_cuts) {
    if (cut.start >= line.size()) continue;
    const std::string_view text = TrimPadded(line.substr(cut.start, cut.length));
    row.cells.push_back({cut.column, text});
    bytes += text.size();
  }
  row.textBytes = bytes;
  return true;
}

}  // namespace zephrin
