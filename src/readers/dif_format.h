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
