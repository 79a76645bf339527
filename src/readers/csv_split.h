// The one field splitter of comma-separated lines, with the two policies the
// formats need. A double quote toggles an in-quotes state; a comma outside
// quotes ends a field; quotes stay in the field text (the readers strip them
// later). The splitter never changes the text: fields are views into it.
//
//   plain CSV     the in-quotes state is kept from line to line (an unbalanced
//                 quote carries over); the line's last character ends the last
//                 field, and a comma there is not part of it (no empty field
//                 follows); each field loses its trailing blanks, and, for the
//                 readers that see only printable ASCII, the bytes outside
//                 " " to "~" too (they read as spaces).
//   jurisdiction  the in-quotes state starts off on every line; a line read
//                 with its line end has that line end as its last character,
//                 so "a,b,\n" gives three cells, the last one empty; cells
//                 are handed over untrimmed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/byte_scan.h"
#include "platform/text.h"

namespace zephrin {

// Quote stripping of a value: one pair of surrounding quotes goes; a lone
// quote is empty.
inline std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  if (v.size() == 1 && v[0] == '"') return {};
  return v;
}

namespace csv_split {

// The index of the first double quote or `separator` in [i, end), or `end`.
inline std::size_t NextSpecial(const char* data, std::size_t i, std::size_t end, char separator = ',') {
  const char* const at = scan::FindFirst(
      data + i, data + end,
      [separator](scan::Block v) { return scan::Or(scan::Equal(v, '"'), scan::Equal(v, separator)); },
      [separator](char c) { return c == '"' || c == separator; });
  return static_cast<std::size_t>(at - data);
}

// Whether [p, p + n) holds a byte whose signed value is below 32 (a control
// character, or a byte of 0x80 and above).
inline bool HasControl(const char* p, std::size_t n) {
  return scan::FindFirst(
             p, p + n, [](scan::Block v) { return scan::SignedBelow(v, ' '); },
             [](char c) { return static_cast<signed char>(c) < 32; }) != p + n;
}

// A byte that reads as a blank at the end of a field.
inline bool TrailingBlank(char c, bool outsideIsBlank) {
  const auto u = static_cast<unsigned char>(c);
  return IsBlank(c) || (outsideIsBlank && (u < 0x20 || u > 0x7E));
}
inline std::string_view TrimField(std::string_view f, bool outsideIsBlank) {
  while (!f.empty() && TrailingBlank(f.back(), outsideIsBlank)) f.remove_suffix(1);
  return f;
}

}  // namespace csv_split

// Splits one plain separated line (its trailing blanks already removed) into
// fields numbered from 0, `separator` taking the comma's place (a comma for
// comma-separated files); `field(index, text)` returns false to stop. Returns
// the number of fields, or -1 when `field` stopped the split. An empty line
// gives no field.
template <class FieldFn>
int SplitSeparatedLine(std::string_view line, char separator, bool& inQuotes, bool outsideIsBlank, FieldFn&& field) {
  const char* const data = line.data();
  const std::size_t n = line.size();
  if (n == 0) return 0;
  int index = 0;
  std::size_t start = 0;
  std::size_t i = 0;
  // Every character but the last: the last always ends a field.
  while (true) {
    i = csv_split::NextSpecial(data, i, n - 1, separator);
    if (i == n - 1) break;
    if (data[i] == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes) {
      if (!field(index, csv_split::TrimField(std::string_view(data + start, i - start), outsideIsBlank))) return -1;
      ++index;
      start = i + 1;
    }
    ++i;
  }
  // The last character.
  const char last = data[n - 1];
  if (last == '"') inQuotes = !inQuotes;
  const std::size_t end = last == separator && !inQuotes ? n - 1 : n;
  if (!field(index, csv_split::TrimField(std::string_view(data + start, end - start), outsideIsBlank))) return -1;
  return index + 1;
}

// The same split of a line known to hold no double quote, begun outside
// quotes: every separator but a last one ends a field, found a block at a
// time by one scan of the line. The line is not empty.
template <class FieldFn>
int SplitUnquotedLine(std::string_view line, char separator, bool outsideIsBlank, FieldFn&& field) {
  const char* const data = line.data();
  const std::size_t last = line.size() - 1;
  int index = 0;
  std::size_t start = 0;
  bool stopped = false;
  scan::ForEachByte(data, last, separator, [&](std::size_t at) {
    stopped = !field(index, csv_split::TrimField(std::string_view(data + start, at - start), outsideIsBlank));
    ++index;
    start = at + 1;
    return !stopped;
  });
  if (stopped) return -1;
  const std::size_t end = data[last] == separator ? last : last + 1;
  if (!field(index, csv_split::TrimField(std::string_view(data + start, end - start), outsideIsBlank))) return -1;
  return index + 1;
}

// A comma-separated line, split as above.
template <class FieldFn>
int SplitPlainCsvLine(std::string_view line, bool& inQuotes, bool outsideIsBlank, FieldFn&& field) {
  return SplitSeparatedLine(line, ',', inQuotes, outsideIsBlank, std::forward<FieldFn>(field));
}

// Splits one line of a comma-separated jurisdiction file into cells, handed
// to `cell(index, text)` untrimmed; `cell` returns false to stop. Returns the
// number of cells handed over.
template <class CellFn>
int SplitJurisdictionLine(std::string_view line, bool hadLineEnd, CellFn&& cell) {
  const char* const data = line.data();
  const std::size_t n = line.size();
  bool inQuotes = false;
  int index = 0;
  std::size_t start = 0;
  // Without a line end the line's own last character closes the last cell.
  const std::size_t scanEnd = hadLineEnd || n == 0 ? n : n - 1;
  std::size_t i = 0;
  while (true) {
    i = csv_split::NextSpecial(data, i, scanEnd);
    if (i == scanEnd) break;
    if (data[i] == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes) {
      if (!cell(index++, std::string_view(data + start, i - start))) return index;
      start = i + 1;
    }
    ++i;
  }
  if (hadLineEnd) {
    cell(index++, std::string_view(data + start, n - start));
  } else if (n > 0) {
    const char last = data[n - 1];
    if (last == '"') inQuotes = !inQuotes;
    const std::size_t end = last == ',' && !inQuotes ? n - 1 : n;
    cell(index++, std::string_view(data + start, end - start));
  }
  return index;
}

// A jurisdiction cell as the readers take it: control characters and bytes
// of 0x80 and above are blanks, and blanks are trimmed from both ends. A cell
// that holds such a byte inside is cleaned into `arena` (appended: the caller
// gives the arena room enough that earlier cells stay where they are).
inline std::string_view JurisdictionCellText(std::string_view cell, std::string& arena) {
  const auto isBlankOrControl = [](char c) { return static_cast<signed char>(c) <= 32; };
  while (!cell.empty() && isBlankOrControl(cell.front())) cell.remove_prefix(1);
  while (!cell.empty() && isBlankOrControl(cell.back())) cell.remove_suffix(1);
  if (!csv_split::HasControl(cell.data(), cell.size())) return cell;
  const std::size_t at = arena.size();
  arena.append(cell);
  for (std::size_t i = at; i < arena.size(); ++i)
    if (static_cast<signed char>(arena[i]) < 32) arena[i] = ' ';
  return std::string_view(arena).substr(at);
}

}  // namespace zephrin
