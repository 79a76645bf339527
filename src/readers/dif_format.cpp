#include "readers/dif_format.h"

namespace zephrin {

long DifLeadingNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 0x7fffffffLL) v = 0x7fffffffLL;  // counts beyond this are no real file's
  }
  return static_cast<long>(negative ? -v : v);
}

DifHeader ReadDifHeader(LineReader& lines) {
  constexpr std::string_view kExcelMark = "\"EXCEL\"";
  DifHeader h;
  std::string_view raw;
  while (lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    if (line == "DATA") {
      h.sawData = true;
      break;
    }
    if (line == kExcelMark) {
      h.excel = true;
    } else if (line == "VECTORS" || line == "TUPLES") {
      // The line is gone once the next is read.
      long& count = line == "VECTORS" ? h.columns : h.rows;
      std::string_view numbers;
      if (!lines.Next(numbers)) break;
      const std::size_t comma = numbers.find(',');
      if (comma != std::string_view::npos) count = DifLeadingNumber(numbers.substr(comma + 1));
    }
  }
  return h;
}

DifQuote DifQuoteAfter(std::string_view inside) {
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] != '"') continue;
    if (i + 1 < inside.size() && inside[i + 1] == '"') {
      ++i;
      continue;
    }
    return TrimRight(inside.substr(i + 1)).empty() ? DifQuote::kClosed : DifQuote::kBroken;
  }
  return DifQuote::kOpen;
}

}  // namespace zephrin
