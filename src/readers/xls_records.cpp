#include "readers/xls_records.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "readers/workbook_values.h"

namespace zephrin::workbook {

namespace {

constexpr uint32_t kBof = 0x0809;
constexpr uint32_t kLegacyBof[] = {0x0009, 0x0209, 0x0409};  // the versions 2, 3 and 4
constexpr uint32_t kEof = 0x000A;
constexpr uint32_t kSst = 0x00FC;
constexpr uint32_t kContinue = 0x003C;
constexpr uint32_t kFormat = 0x041E;
constexpr uint32_t kLabel = 0x0204;
constexpr uint32_t kSheet = 0x0085;
constexpr uint32_t kDimension = 0x0200;
constexpr uint32_t kLegacyDimension = 0x0000;  // version 2's
constexpr uint32_t kXf = 0x00E0;
constexpr uint32_t kDateMode = 0x0022;
constexpr uint32_t kFormula = 0x0006;
constexpr uint32_t kString = 0x0207;  // the text a formula's result is, after its FORMULA
constexpr uint32_t kBoolErr = 0x0205;
// The cells of a sheet: 65,536 rows by 256 columns.
constexpr uint32_t kSheetRows = 65536, kSheetColumns = 256;
constexpr uint32_t kLegacyXf[] = {0x0043, 0x0243, 0x0443};  // the versions 2, 3 and 4
// The cells of a legacy workbook: INTEGER, NUMBER, LABEL and BOOLERR of
// version 2; NUMBER, LABEL, BOOLERR and RK of versions 3 and 4.
constexpr uint32_t kLegacyCells2[] = {0x0002, 0x0003, 0x0004, 0x0005};
constexpr uint32_t kLegacyCells[] = {0x0203, 0x0204, 0x0205, 0x027E};
// FreeXL keeps this many cell formats, yet looks up any that a cell names
// among as many as it was given.
constexpr uint32_t kMostFormats = 8192;
constexpr uint64_t kCellBytes = 16;                   // a cell in FreeXL's table
constexpr uint64_t kLargestTable = 256ull << 20;      // FreeXL refuses a larger table
constexpr std::size_t kLargestRecord = 8224;          // FreeXL's record buffer
constexpr uint32_t kMostSharedStrings = 1024 * 1024;  // FreeXL refuses more

uint32_t Little(std::string_view bytes, std::size_t at, int width) {
  return LittleEndian(reinterpret_cast<const unsigned char*>(bytes.data()) + at, width);
}

// How the walk goes on after a record: on, stopped where FreeXL stops or
// refuses by itself, or stopped at what FreeXL would mishandle.
enum class Verdict { kOn, kStop, kUnsafe };

// A record's body, every read checked against its end.
class Body {
 public:
  explicit Body(std::string_view bytes) : m_bytes(bytes) {}
  std::size_t size() const { return m_bytes.size(); }
  bool Holds(uint64_t at, uint64_t bytes) const { return at + bytes <= m_bytes.size(); }
  bool Read(uint64_t at, int width, uint32_t& value) const {
    if (!Holds(at, width)) return false;
    value = Little(m_bytes, at, width);
    return true;
  }
  // The bytes from `at` on, at most `n` of them.
  std::string_view Bytes(uint64_t at, uint64_t n) const {
    return at >= m_bytes.size() ? std::string_view() : m_bytes.substr(at, n);
  }

 private:
  std::string_view m_bytes;
};

// What comes before a text's characters: a flags byte, then a 16-bit count
// of formatting runs and a 32-bit size of phonetic data when the flags say
// so; those runs and that data follow the characters.
struct TextHeader {
  uint32_t bytes = 1;
  bool wide = false;   // two bytes a character, or one
  uint32_t after = 0;  // bytes after the characters (wrapping as FreeXL's sum does)
};

bool ReadTextHeader(const Body& body, uint64_t at, TextHeader& out) {
  uint32_t flags = 0, runs = 0, phonetic = 0;
  if (!body.Read(at, 1, flags)) return false;
  out.wide = flags & 0x01;
  out.bytes = 1;
  if ((flags & 0x08) && !body.Read(at + out.bytes, 2, runs)) return false;
  if (flags & 0x08) out.bytes += 2;
  if ((flags & 0x04) && !body.Read(at + out.bytes, 4, phonetic)) return false;
  if (flags & 0x04) out.bytes += 4;
  out.after = phonetic + runs * 4;
  return true;
}

// A text of `chars` characters whose header starts at `at`: held by the body?
Verdict CheckText(const Body& body, uint64_t at, uint32_t chars) {
  TextHeader header;
  if (!ReadTextHeader(body, at, header)) return Verdict::kUnsafe;
  if (chars == 0) return Verdict::kOn;  // FreeXL refuses it by itself, if it reads it
  const uint64_t bytes = header.wide ? 2ull * chars : chars;
  return body.Holds(at + header.bytes, bytes) ? Verdict::kOn : Verdict::kUnsafe;
}

// The shared strings as FreeXL reads them: from the SST record on through
// the CONTINUE records after it. A string whose characters do not fit in
// its record goes on in the next, after a new flags byte; whatever ran past
// a record's end is skipped at the start of the next.
class SharedStrings {
 public:
  Verdict Start(const Body& body);
  Verdict Continue(const Body& body);

 private:
  Verdict Strings(const Body& body, uint64_t at);

  bool m_started = false;
  uint32_t m_count = 0;
  uint32_t m_index = 0;     // the next string
  uint32_t m_pending = 0;   // characters of a string still to come
  uint32_t m_after = 0;     // what follows the pending string's characters
  uint32_t m_skip = 0;      // to skip at the start of the next string
};

Verdict SharedStrings::Start(const Body& body) {
  // A second table would have FreeXL drop the first without freeing it.
  if (m_started) return Verdict::kUnsafe;
  m_started = true;
  if (!body.Read(4, 4, m_count)) return Verdict::kUnsafe;
  if (m_count > kMostSharedStrings) return Verdict::kStop;
  return Strings(body, 8);
}

Verdict SharedStrings::Continue(const Body& body) {
  uint64_t at = 0;
  if (m_pending > 0) {
    uint32_t flags = 0;
    if (!body.Read(0, 1, flags)) return Verdict::kUnsafe;
    const uint64_t bytes = (flags & 0x01) ? 2ull * m_pending : m_pending;
    // One byte a character is read with a check (FreeXL refuses what is
    // missing), two bytes with none.
    if (!body.Holds(1, bytes)) return (flags & 0x01) ? Verdict::kUnsafe : Verdict::kStop;
    at = 1 + bytes + m_after;
    m_pending = 0;
    m_after = at >= body.size() ? static_cast<uint32_t>(at - body.size()) : 0;
    m_skip = 0;
    ++m_index;
  }
  return Strings(body, at);
}

Verdict SharedStrings::Strings(const Body& body, uint64_t at) {
  for (; m_index < m_count; ++m_index) {
    if (at >= body.size()) return Verdict::kOn;
    at += m_skip;
    uint32_t chars = 0;
    TextHeader header;
    if (!body.Read(at, 2, chars) || !ReadTextHeader(body, at + 2, header)) return Verdict::kUnsafe;
    at += 2 + header.bytes;
    m_after = header.after;
    m_skip = 0;
    const uint64_t bytes = header.wide ? 2ull * chars : chars;
    if (!body.Holds(at, bytes)) {
      const uint64_t held = body.size() - at;
      m_pending = chars - static_cast<uint32_t>(header.wide ? held / 2 : held);
      return Verdict::kOn;
    }
    if (chars == 0) return Verdict::kStop;
    at += bytes + header.after;
    m_skip = at >= body.size() ? static_cast<uint32_t>(at - body.size()) : 0;
  }
  return Verdict::kOn;
}

// A sheet as FreeXL keeps it: where its records start, and the size of
// the cell table it has made for it.
struct SheetTable {
  uint32_t offset = 0;
  uint32_t rows = 0;
  uint16_t columns = 0;
  bool made = false;
};

// The records of a workbook of version 5 or 8 as FreeXL reads them first:
// the texts it copies, and the cell tables it makes. It makes a sheet's
// table at the sheet's DIMENSION record (a second one would replace the
// first without freeing it), and, once all records are read, one more table
// for each sheet that had none (a chart sheet has none), each of the size of
// the last sheet's and each replacing the one before.
class BiffWalk {
 public:
  Verdict Record(std::size_t offset, uint32_t type, const Body& body);
  Verdict Finish();
  SheetLosses TakeLosses() { return std::move(m_losses); }

 private:
  Verdict Text(uint32_t type, const Body& body) const;
  Verdict Dimension(const Body& body);
  // What cell formats need to show a formula's number (see KeptCell).
  void Format(uint32_t type, const Body& body);
  NumberShape ShapeOf(uint32_t xf) const;
  void KeepCell(uint32_t type, const Body& body);
  void KeepFormula(uint32_t row, uint32_t column, uint32_t xf, const Body& body);
  void KeepString(const Body& body);

  int m_version = 0;
  bool m_inSubstream = false;  // between a BOF and its EOF
  uint32_t m_previous = 0;
  SharedStrings m_strings;
  std::vector<SheetTable> m_sheets;
  std::size_t m_active = kNone;  // the sheet whose substream is being read
  uint32_t m_formats = 0;
  std::vector<uint16_t> m_xfFormats;              // each cell format's number format
  std::map<uint32_t, NumberShape> m_codeShapes;  // the number formats the workbook writes out
  bool m_date1904 = false;
  // A formula whose text result comes in the STRING record after it.
  bool m_textPending = false;
  uint32_t m_pendingRow = 0, m_pendingColumn = 0;
  SheetLosses m_losses;
  static constexpr std::size_t kNone = SIZE_MAX;
};

Verdict BiffWalk::Record(std::size_t offset, uint32_t type, const Body& body) {
  if (type == kContinue) return m_previous == kSst ? m_strings.Continue(body) : Verdict::kOn;
  m_previous = type;
  if (!m_inSubstream) {
    // Every substream starts with a BOF; the first gives the version, each
    // other one the sheet whose records follow.
    if (type != kBof) return Verdict::kStop;
    m_inSubstream = true;
    if (m_version == 0) {
      uint32_t bof = 0;
      if (!body.Read(0, 2, bof) || (bof != 0x0500 && bof != 0x0600)) return Verdict::kStop;
      m_version = bof == 0x0500 ? 5 : 8;
      return Verdict::kOn;
    }
    m_active = kNone;
    for (std::size_t i = 0; i < m_sheets.size() && m_active == kNone; ++i)
      if (m_sheets[i].offset == offset) m_active = i;
    return Verdict::kOn;
  }
  if (type == kEof) m_inSubstream = false;
  if (type == kSst) return m_strings.Start(body);
  if (type == kSheet) {
    uint32_t sheetOffset = 0;
    if (!body.Read(0, 4, sheetOffset)) return Verdict::kUnsafe;
    m_sheets.push_back({sheetOffset, 0, 0, false});
    return Verdict::kOn;
  }
  if (type == kDimension) return Dimension(body);
  if (type == kXf && ++m_formats > kMostFormats) return Verdict::kUnsafe;
  Format(type, body);
  if (m_active != kNone) KeepCell(type, body);
  return Text(type, body);
}

Verdict BiffWalk::Dimension(const Body& body) {
  uint32_t rows = 0, columns = 0;
  const bool read = m_version == 8 ? body.Read(4, 4, rows) && body.Read(10, 2, columns)
                                   : body.Read(2, 2, rows) && body.Read(6, 2, columns);
  if (!read) return Verdict::kUnsafe;
  if (m_active == kNone) return Verdict::kOn;
  SheetTable& sheet = m_sheets[m_active];
  if (sheet.made) return Verdict::kUnsafe;
  if (kCellBytes * rows * columns > kLargestTable) return Verdict::kStop;
  sheet = {sheet.offset, rows, static_cast<uint16_t>(columns), true};
  return Verdict::kOn;
}

// The tables FreeXL makes, after the records, for the sheets that have none:
// more than one table's worth is refused.
// When the last sheet had its table, with its cells, the first of those
// tables takes its place: that sheet reads empty.
Verdict BiffWalk::Finish() {
  uint64_t made = 0;
  const bool filled = m_active != kNone && m_sheets[m_active].made;
  for (std::size_t i = 0; i < m_sheets.size(); ++i) {
    SheetTable& sheet = m_sheets[i];
    if (sheet.made) continue;
    ++sheet.rows;
    ++sheet.columns;
    if (m_active == kNone) return Verdict::kOn;  // FreeXL refuses the workbook
    const uint64_t bytes = kCellBytes * m_sheets[m_active].rows * m_sheets[m_active].columns;
    if (bytes > kLargestTable) return Verdict::kOn;
    made += bytes;
    if (made > kLargestTable) return Verdict::kUnsafe;
    sheet.made = true;
    if (filled) m_losses.emptied = static_cast<int>(m_active);
    if (i != m_active) m_losses.tableless.push_back(static_cast<int>(i));
  }
  return Verdict::kOn;
}

// The text of `chars` characters from `at`, as engine text: two bytes a
// character (UTF-16), or one, of Latin-1 in a version 8 workbook and of the
// workbook's code page (taken as Windows-1252) in a version 5 one. What runs
// past the record is left out.
std::string BiffText(const Body& body, uint64_t at, uint32_t chars, bool wide, int version) {
  std::string text;
  if (wide) {
    (void)Utf16ToAnsi(body.Bytes(at, 2ull * chars), false, text);
    return text;
  }
  const std::string_view bytes = body.Bytes(at, chars);
  if (version != 8) return std::string(bytes);
  std::string utf16;
  for (const char c : bytes) utf16.append({c, '\0'});
  (void)Utf16ToAnsi(utf16, false, text);
  return text;
}

// The words of an error cell's code, as a spreadsheet shows them.
std::string_view ErrorText(uint32_t code) {
  static constexpr std::pair<uint32_t, std::string_view> kErrors[] = {
      {0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
      {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"},
  };
  for (const auto& [value, text] : kErrors)
    if (value == code) return text;
  return "#N/A";
}

// The cell formats' number formats, the codes of the workbook's own number
// formats and its date system: what shows a formula's number as a date.
void BiffWalk::Format(uint32_t type, const Body& body) {
  uint32_t value = 0;
  if (type == kXf && body.Read(2, 2, value)) m_xfFormats.push_back(static_cast<uint16_t>(value));
  if (type == kDateMode) m_date1904 = body.Read(0, 2, value) && value == 1;
  if (type != kFormat || !body.Read(0, 2, value)) return;
  uint32_t chars = 0;
  TextHeader header;
  if (m_version == 8 && body.Read(2, 2, chars) && ReadTextHeader(body, 4, header))
    m_codeShapes[value] = ShapeOfFormatCode(BiffText(body, 4 + header.bytes, chars, header.wide, 8));
  else if (m_version != 8 && body.Read(2, 1, chars))
    m_codeShapes[value] = ShapeOfFormatCode(BiffText(body, 3, chars, false, m_version));
}

NumberShape BiffWalk::ShapeOf(uint32_t xf) const {
  if (xf >= m_xfFormats.size()) return NumberShape::kPlain;
  const uint32_t format = m_xfFormats[xf];
  const auto code = m_codeShapes.find(format);
  return code != m_codeShapes.end() ? code->second : ShapeOfBuiltInFormat(format);
}

// A formula's result, a boolean or an error in the sheet being walked.
void BiffWalk::KeepCell(uint32_t type, const Body& body) {
  if (type == kString) return KeepString(body);
  if (type != kFormula && type != kBoolErr) return;
  m_textPending = false;
  uint32_t row = 0, column = 0, xf = 0;
  if (!body.Read(0, 2, row) || !body.Read(2, 2, column) || !body.Read(4, 2, xf)) return;
  if (row >= kSheetRows || column >= kSheetColumns) return;
  if (type == kFormula) return KeepFormula(row, column, xf, body);
  uint32_t value = 0, isError = 0;
  if (!body.Read(6, 1, value) || !body.Read(7, 1, isError)) return;
  m_losses.kept.Add(static_cast<uint32_t>(m_active), row, column,
                    isError ? ErrorText(value) : value ? "TRUE" : "FALSE", false);
}

// A formula's result is a number, unless its last two bytes are FF FF: its
// first byte then says what it is (a text, which the next STRING record
// holds; a boolean; an error; an empty text).
void BiffWalk::KeepFormula(uint32_t row, uint32_t column, uint32_t xf, const Body& body) {
  const auto sheet = static_cast<uint32_t>(m_active);
  uint32_t tail = 0, kind = 0, value = 0;
  if (!body.Read(12, 2, tail) || !body.Read(6, 1, kind) || !body.Read(8, 1, value)) return;
  if (tail != 0xFFFF) {
    const std::string_view bytes = body.Bytes(6, 8);
    double number = 0;
    std::memcpy(&number, bytes.data(), sizeof number);
    std::string text;
    const NumberShape shape = ShapeOf(xf);
    const bool shown = shape != NumberShape::kPlain && AppendSerial(text, number, shape, m_date1904);
    if (!shown) AppendNumber(text, number);
    m_losses.kept.Add(sheet, row, column, text, !shown);
    return;
  }
  switch (kind) {
    case 0:
      m_textPending = true;
      m_pendingRow = row;
      m_pendingColumn = column;
      return;
    case 1: return m_losses.kept.Add(sheet, row, column, value ? "TRUE" : "FALSE", false);
    case 2: return m_losses.kept.Add(sheet, row, column, ErrorText(value), false);
    default: return m_losses.kept.Add(sheet, row, column, "", false);
  }
}

void BiffWalk::KeepString(const Body& body) {
  if (!std::exchange(m_textPending, false)) return;
  uint32_t chars = 0;
  TextHeader header;
  std::string text;
  if (!body.Read(0, 2, chars)) return;
  if (m_version != 8) text = BiffText(body, 2, chars, false, m_version);
  else if (ReadTextHeader(body, 2, header)) text = BiffText(body, 2 + header.bytes, chars, header.wide, 8);
  else return;
  m_losses.kept.Add(static_cast<uint32_t>(m_active), m_pendingRow, m_pendingColumn, text, false);
}

// The texts FreeXL copies from a record, held by the record?
Verdict BiffWalk::Text(uint32_t type, const Body& body) const {
  uint32_t chars = 0;
  if (type == kFormat && m_version == 8) {
    if (!body.Read(2, 2, chars)) return Verdict::kUnsafe;
    return CheckText(body, 4, chars);
  }
  if (type == kLabel) {
    if (!body.Read(6, 2, chars)) return Verdict::kUnsafe;
    if (m_version == 8) return CheckText(body, 8, chars);
    return body.Holds(8, chars) ? Verdict::kOn : Verdict::kUnsafe;
  }
  return Verdict::kOn;
}

}  // namespace

RecordsFinding WalkRecords(std::string_view stream) {
  BiffWalk walk;
  for (std::size_t at = 0; at + 4 <= stream.size();) {
    const uint32_t type = Little(stream, at, 2);
    const uint32_t size = Little(stream, at + 2, 2);
    // FreeXL's ends: an empty record of type 0, a record too long for its
    // buffer, or one past the stream's end.
    if ((type == 0 && size == 0) || size > kLargestRecord || at + 4 + size > stream.size()) break;
    const Verdict verdict = walk.Record(at, type, Body(stream.substr(at + 4, size)));
    if (verdict == Verdict::kUnsafe) return {true, {}};
    if (verdict == Verdict::kStop) return {};
    at += 4 + size;
  }
  if (walk.Finish() == Verdict::kUnsafe) return {true, {}};
  return {false, walk.TakeLosses()};
}

void KeptCells::Add(uint32_t sheet, uint32_t row, uint32_t column, std::string_view text, bool number) {
  m_cells.push_back({sheet, row, column, static_cast<uint32_t>(m_text.size()), static_cast<uint32_t>(text.size()),
                     number});
  m_text.append(text);
}

KeptCells KeptCells::Of(uint32_t sheet) const {
  std::vector<KeptCell> cells;
  for (const KeptCell& cell : m_cells)
    if (cell.sheet == sheet) cells.push_back(cell);
  const auto place = [](const KeptCell& a, const KeptCell& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  };
  std::stable_sort(cells.begin(), cells.end(), place);
  // Of a cell given twice, the last record holds.
  KeptCells once;
  for (const KeptCell& cell : cells) {
    if (!once.m_cells.empty() && !place(once.m_cells.back(), cell)) once.m_cells.pop_back();
    once.Add(cell.sheet, cell.row, cell.column, text(cell), cell.number);
  }
  return once;
}

bool StartsLegacyWorkbook(std::string_view head) {
  if (head.size() < 4) return false;
  const uint32_t bof = Little(head, 0, 2);
  return bof == kLegacyBof[0] || bof == kLegacyBof[1] || bof == kLegacyBof[2];
}

bool LegacyRecordsUnsafe(std::string_view file) {
  if (!StartsLegacyWorkbook(file)) return false;
  const uint32_t bof = Little(file, 0, 2);
  // A label of version 2 gives its length in one byte, which its record's
  // buffer always holds; versions 3 and 4 give it in two.
  const bool wideLengths = bof != kLegacyBof[0];
  // Each DIMENSION record has FreeXL add a sheet and make the first sheet's
  // table again, without freeing the one before; so has the first cell
  // before any DIMENSION (the table then fits the cells ahead). A table made
  // again loses the cells read into the one before, and one too large to be
  // made leaves FreeXL with a sheet whose table it no longer has.
  const uint32_t dimension = wideLengths ? kDimension : kLegacyDimension;
  const auto& cells = wideLengths ? kLegacyCells : kLegacyCells2;
  const uint32_t xf = kLegacyXf[bof == kLegacyBof[0] ? 0 : bof == kLegacyBof[1] ? 1 : 2];
  bool dimensioned = false;
  uint32_t formats = 0;
  for (std::size_t at = 4 + Little(file, 2, 2); at + 4 <= file.size();) {
    const uint32_t type = Little(file, at, 2);
    const uint32_t size = Little(file, at + 2, 2);
    at += 4;
    if (type == kEof) return false;
    if (type == dimension && std::exchange(dimensioned, true)) return true;
    if (std::find(std::begin(cells), std::end(cells), type) != std::end(cells)) dimensioned = true;
    if (type == xf && ++formats > kMostFormats) return true;
    if (type == kLabel && wideLengths) {
      if (size > kLargestRecord || at + size > file.size()) return false;  // FreeXL cannot read it
      const Body body(file.substr(at, size));
      uint32_t chars = 0;
      if (!body.Read(6, 2, chars) || !body.Holds(8, chars)) return true;
    }
    at += size;
  }
  return false;
}

}  // namespace zephrin::workbook
