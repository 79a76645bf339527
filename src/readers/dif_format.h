// Pieces of the Data Interchange Format shared by the DIF reader and the
// layout editor's preview.
#pragma once

#include <string_view>

#include "readers/line_source.h"

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
DifHeader ReadDifHeader(LineSource& lines);

// The value of a string cell's second line: the text inside the surrounding
// double quotes, blanks trimmed; "" when the line (with its line end) is
// shorter than four characters.
inline std::string_view DifStringValue(std::string_view line) {
  if (line.size() + 1 < 4) return {};
  return Trim(line.substr(1, line.size() - 2));
}

}  // namespace zephrin
