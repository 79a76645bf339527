// Pieces of the Data Interchange Format shared by the DIF reader and the
// layout editor's preview.
#pragma once

#include <string_view>

#include "platform/text.h"
#include "readers/data_text.h"

namespace zephrin {

// Decimal conversion of the leading digits, as the C library does it (leading
// blanks, an optional sign); counts beyond 2^31-1 are held there.
long DifLeadingNumber(std::string_view s);

struct DifHeader {
  long columns = 0;     // from "VECTORS"
  long rows = 0;        // from "TUPLES"
  bool excel = false;   // a header line is "EXCEL" in double quotes
  bool sawData = false; // the "DATA" line was reached
};
// Reads the header section up to and including "DATA". The counts are as
// written; swapping them for "EXCEL" files is the caller's step.
DifHeader ReadDifHeader(LineReader& lines);

// The text of a string cell's second line (given without its line end):
// the opening and the closing double quote are dropped where they are there,
// so a line cut at the line limit, or the file's last line without a line
// end, keeps every character it has.
inline std::string_view DifUnquote(std::string_view line) {
  if (!line.empty() && line.front() == '"') line.remove_prefix(1);
  if (!line.empty() && line.back() == '"') line.remove_suffix(1);
  return line;
}

// Where a string cell's text stands at the end of a line, read from inside
// its quotes: a quote written twice is a quote of the text, and one alone
// closes the text. Still open (the text goes on on the next line, as a
// spreadsheet writes a cell of several lines), closed at the line's end
// (blanks may follow), or closed with more after it, which no spreadsheet
// writes: a quote left open by mistake, and that line a cell of its own.
enum class DifQuote { kOpen, kClosed, kBroken };
DifQuote DifQuoteAfter(std::string_view inside);
// A string cell's line that opens its quote and leaves it open. Most lines
// end with a lone quote, which closes the text (or a quote before it did):
// they are told at a look at their end.
inline bool DifStringLeftOpen(std::string_view line) {
  if (line.empty() || line.front() != '"') return false;
  const std::string_view inside = line.substr(1);
  const std::size_t n = inside.size();
  if (n > 0 && inside[n - 1] == '"' && (n == 1 || inside[n - 2] != '"')) return false;
  return DifQuoteAfter(inside) == DifQuote::kOpen;
}
// The most lines a string cell's text spans; a quote no line closes by then
// is taken as left open, as it was.
inline constexpr int kDifStringLines = 64;

// How many of the lines after a string cell's `first` line its text takes:
// when `first` leaves its quote open and one of the lines `next` reads after
// it (next(line) is false at their end) closes it, the lines up to that one,
// which `joined` receives joined by line feeds (cut at the line limit, as
// one long line is); else 0. A line that closes the quote with more after it,
// or a line cut at the line limit (whose rest comes as the next line), says
// the quote was left open by mistake: 0 then. The lines must lie in one
// text, in order.
template <class Next>
int DifStringLinesAfter(std::string_view first, Next&& next, std::string& joined) {
  if (!DifStringLeftOpen(first)) return 0;
  std::string_view more, last = first;
  joined.assign(first);
  for (int k = 1; k < kDifStringLines && next(more); ++k) {
    // The line before ended with its line end (the text goes on after it),
    // not at the line limit (a line as long as the limit is cut before its
    // line end, which comes as a line of its own).
    const char after = last.data()[last.size()];
    if (last.size() >= kPlainLineChars || (after != '\n' && after != '\r')) break;
    const DifQuote quote = DifQuoteAfter(more);
    if (quote == DifQuote::kBroken) break;
    joined.append(1, '\n').append(more);
    last = more;
    if (quote == DifQuote::kOpen) continue;
    if (joined.size() > kPlainLineChars) joined.resize(kPlainLineChars);
    return k;
  }
  joined.clear();
  return 0;
}

// The value of a string cell of the plain DIF reader: the unquoted text with
// its blanks trimmed ("" for an empty string).
inline std::string_view DifStringValue(std::string_view line) { return Trim(DifUnquote(line)); }

// A number cell's second line tells its kind: "V" a value, and "TRUE" and
// "FALSE" a truth (1 or 0). "NA" and "ERROR" say that the spreadsheet cell
// held no number but #N/A or an error such as #DIV/0!, and that the number
// line's 0 only holds its place: such a cell reads as the mark returned
// here, as a workbook's error cell reads as its text, never as a balance of
// 0. Any other line gives "" (the number stands).
inline std::string_view DifNumberMark(std::string_view kindLine) {
  kindLine = TrimRight(kindLine);
  if (kindLine == "NA") return "#N/A";
  if (kindLine == "ERROR") return "#ERROR";
  return {};
}

}  // namespace zephrin
