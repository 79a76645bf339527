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

// A string cell's line that opens a double quote and leaves it open: a
// spreadsheet's text with a line break in it, whose next lines carry it on
// up to the one that ends with the closing quote (at most kDifStringLines
// lines in all; a quote no line closes by then is left open, as it was).
inline bool DifStringLeftOpen(std::string_view line) {
  line = TrimRight(line);
  return !line.empty() && line.front() == '"' && (line.size() == 1 || line.back() != '"');
}
inline bool DifStringCloses(std::string_view line) {
  line = TrimRight(line);
  return !line.empty() && line.back() == '"';
}
inline constexpr int kDifStringLines = 64;

// How many of the lines after a string cell's `first` line its text takes:
// when `first` leaves its quote open and one of the lines `next` reads after
// it (next(line) is false at their end) closes it, the lines up to that one,
// which `joined` receives joined by line feeds (cut at the line limit, as
// one long line is); else 0. A row's start or end ("BOT", "-1,0") or the
// data's end ("EOD") among them says the quote was left open by mistake,
// and a line cut at the line limit (whose rest comes as the next line) goes
// on no further: 0 then. The lines must lie in one text, in order.
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
    const std::string_view line = TrimRight(more);
    if (line == "BOT" || line == "-1,0" || line == "EOD") break;
    joined.append(1, '\n').append(more);
    last = more;
    if (!DifStringCloses(more)) continue;
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
