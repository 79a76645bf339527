#include "readers/workbook_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/csv_split.h"

namespace zephrin::workbook {

namespace {

// The civil date of a count of days from 1970-01-01 (proleptic Gregorian).
struct CivilDate {
  int64_t year;
  unsigned month, day;
};
CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Days from 1970-01-01 to 1899-12-30, 1899-12-31 and 1904-01-01.
constexpr int64_t k18991230 = -25569;
constexpr int64_t k18991231 = -25568;
constexpr int64_t k19040101 = -24107;

// The date of serial day `day`; the 1900 system counts a 29th of February
// 1900 (day 60) and calls day 0 the 0th of January.
CivilDate DateOfDay(int64_t day, bool date1904) {
  if (date1904) return CivilFromDays(k19040101 + day);
  if (day == 0) return {1900, 1, 0};
  if (day == 60) return {1900, 2, 29};
  return CivilFromDays((day < 60 ? k18991231 : k18991230) + day);
}

void AppendTwoDigits(std::string& out, unsigned v) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

// Skips what a format code shows as it is, from `i`: a quoted text, a
// bracketed part ([Red], [$-409], [h]), an escaped character, a fill or a
// space the width of a character. Returns the index after it, or `i`.
std::size_t SkipLiteral(std::string_view code, std::size_t i) {
  const char c = code[i];
  if (c == '"' || c == '[') {
    const std::size_t end = code.find(c == '"' ? '"' : ']', i + 1);
    return end == std::string_view::npos ? code.size() : end + 1;
  }
  if (c == '\\' || c == '_' || c == '*') return i + 2 <= code.size() ? i + 2 : code.size();
  return i;
}

// Whether a bracketed part is a count of elapsed time: "[h]", "[mm]", "[ss]".
bool ElapsedTime(std::string_view part) {
  if (part.size() < 3 || part.front() != '[' || part.back() != ']') return false;
  const std::string_view inner = part.substr(1, part.size() - 2);
  const char first = AsciiLower(inner.front());
  if (first != 'h' && first != 'm' && first != 's') return false;
  for (const char c : inner)
    if (AsciiLower(c) != first) return false;
  return true;
}

// Whether `code` has `word` at `i`, whatever its case.
bool HasWordAt(std::string_view code, std::size_t i, std::string_view word) {
  return code.size() - i >= word.size() && EqualsIgnoringCase(code.substr(i, word.size()), word);
}

// Decodes the workbook escape "_xHHHH_" at `i` into its character (as UTF-8);
// false when there is none there.
bool DecodeEscape(std::string_view s, std::size_t i, std::string& out) {
  if (s.size() - i < 7 || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  unsigned cp = 0;
  const auto [end, ec] = std::from_chars(s.data() + i + 2, s.data() + i + 6, cp, 16);
  if (ec != std::errc() || end != s.data() + i + 6 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  AppendUtf8(out, cp);
  return true;
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

NumberShape ShapeOfBuiltInFormat(unsigned id) {
  if (id >= 14 && id <= 17) return NumberShape::kDate;
  if (id == 22) return NumberShape::kDateTime;
  if (id == 46) return NumberShape::kElapsed;
  if ((id >= 18 && id <= 21) || id == 45 || id == 47) return NumberShape::kTime;
  return NumberShape::kPlain;
}

NumberShape ShapeOfFormatCode(std::string_view code) {
  bool dayOrYear = false, month = false, time = false, elapsed = false;
  for (std::size_t i = 0; i < code.size();) {
    if (const std::size_t next = SkipLiteral(code, i); next != i) {
      // Elapsed hours, minutes or seconds ("[h]", "[mm]") are a duration.
      elapsed = elapsed || ElapsedTime(code.substr(i, next - i));
      i = next;
      continue;
    }
    // The half-day marks hold an m that is no month.
    if (HasWordAt(code, i, "am/pm")) {
      i += 5;
      continue;
    }
    if (HasWordAt(code, i, "a/p")) {
      i += 3;
      continue;
    }
    switch (AsciiLower(code[i])) {
      case 'd': case 'y': dayOrYear = true; break;
      case 'm': month = true; break;
      case 'h': case 's': time = true; break;
      default: break;
    }
    ++i;
  }
  if (dayOrYear) return time || elapsed ? NumberShape::kDateTime : NumberShape::kDate;
  if (elapsed) return NumberShape::kElapsed;
  if (time) return NumberShape::kTime;
  return month ? NumberShape::kDate : NumberShape::kPlain;
}

void AppendNumber(std::string& out, double value) {
  if (value == 0) value = 0;  // no "-0"
  // The shortest digits that read back as the value, laid out without an
  // exponent: "1.5e+20" is 150000000000000000000, "1e-07" is 0.0000001.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  if (result.ec != std::errc()) return;
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  if (e == std::string_view::npos) return out.append(text), void();  // "inf", "nan"
  std::string_view mantissa = text.substr(0, e);
  if (mantissa.front() == '-') {
    out.push_back('-');
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (const char c : mantissa)
    if (c != '.') digits.push_back(c);
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  // The digits stand for d.ddd x 10^exponent: the point goes after exponent + 1 of them.
  const int point = exponent + 1;
  if (point <= 0) {
    out.append("0.").append(static_cast<std::size_t>(-point), '0').append(digits);
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    out.append(digits).append(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point)).append(".").append(digits, static_cast<std::size_t>(point));
  }
}

bool AppendSerial(std::string& out, double serial, NumberShape shape, bool date1904) {
  // Up to the last second of 9999-12-31 in either system.
  if (!(serial >= 0) || serial >= 2958466.0) return false;
  const auto total = static_cast<int64_t>(std::llround(serial * 86400.0));
  const int64_t day = total / 86400;
  const auto seconds = static_cast<unsigned>(total % 86400);
  if (shape == NumberShape::kElapsed) {
    // Every hour of the duration, 36:00:00 for a day and a half.
    const int64_t hours = total / 3600;
    if (hours < 10) out.push_back('0');
    out += std::to_string(hours);
    out.push_back(':');
    AppendTwoDigits(out, static_cast<unsigned>(total / 60 % 60));
    out.push_back(':');
    AppendTwoDigits(out, static_cast<unsigned>(total % 60));
    return true;
  }
  if (shape != NumberShape::kTime) {
    const CivilDate date = DateOfDay(day, date1904);
    if (date.year > 9999) return false;
    AppendTwoDigits(out, date.month);
    out.push_back('/');
    AppendTwoDigits(out, date.day);
    out.push_back('/');
    AppendTwoDigits(out, static_cast<unsigned>(date.year / 100));
    AppendTwoDigits(out, static_cast<unsigned>(date.year % 100));
    if (shape == NumberShape::kDate) return true;
    out.push_back(' ');
  }
  AppendTwoDigits(out, seconds / 3600);
  out.push_back(':');
  AppendTwoDigits(out, seconds / 60 % 60);
  out.push_back(':');
  AppendTwoDigits(out, seconds % 60);
  return true;
}

void AppendEngineText(std::string& out, std::string_view utf8, bool escapes) {
  std::string decoded;
  if (escapes && utf8.find("_x") != std::string_view::npos) {
    decoded.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i)
      if (utf8[i] != '_' || !DecodeEscape(utf8, i, decoded))
        decoded.push_back(utf8[i]);
      else
        i += 6;
    utf8 = decoded;
  }
  if (IsAscii(utf8))
    out.append(utf8);
  else
    out.append(Utf8ToAnsi(utf8));
}

void FinishCell(std::string& text, std::size_t start) {
  if (text.size() - start > kCellChars) text.resize(start + kCellChars);
  // Only blanks end a cell here: a cell of characters outside printable
  // ASCII still holds a value (its row reaches it), as a field of them does
  // in a comma-separated line.
  const std::string_view cell = csv_split::TrimField(std::string_view(text).substr(start), false);
  text.resize(start + cell.size());
}

// ---- Rows ----------------------------------------------------------------------

void RowAssembler::BeginRow(int32_t index) {
  m_index = index;
  m_text.clear();
  m_slots.clear();
  m_lastValue = -1;
}

void RowAssembler::AddOwnCell(uint32_t column, std::size_t start, bool number) {
  if (m_slots.size() <= column) m_slots.resize(column + 1);
  m_slots[column] = {nullptr, static_cast<uint32_t>(start), static_cast<uint32_t>(m_text.size() - start), number};
  if (m_text.size() > start) m_lastValue = column;
}

void RowAssembler::AddHeldCell(uint32_t column, std::string_view text) {
  if (m_slots.size() <= column) m_slots.resize(column + 1);
  m_slots[column] = {text.data(), 0, static_cast<uint32_t>(text.size())};
  if (!text.empty()) m_lastValue = column;
}

bool RowAssembler::EndRow() {
  m_ready = m_lastValue >= 0;
  return m_ready;
}

bool RowAssembler::Give(Row& row, bool printableOnly) {
  if (!m_ready) return false;
  row.Clear();
  if (m_next < m_index) {
    row.index = m_next++;
    row.blank = true;
    return true;
  }
  row.index = m_index;
  const auto cells = static_cast<std::size_t>(m_lastValue + 1);
  row.cells.reserve(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    const Slot& s = m_slots[c];
    const char* base = s.held ? s.held : m_text.data() + s.offset;
    // The bytes a printable-only read shows as blanks go from the end, as
    // from a comma-separated field.
    const std::string_view text = csv_split::TrimField(std::string_view(base, s.size), printableOnly);
    row.cells.push_back({static_cast<uint32_t>(c), text, s.number});
    row.textBytes += text.size();
  }
  if (static_cast<int>(cells) > m_maxCells) m_maxCells = static_cast<int>(cells);
  m_ready = false;
  m_next = m_index + 1;
  return true;
}

}  // namespace zephrin::workbook
