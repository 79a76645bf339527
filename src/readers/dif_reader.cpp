// The Data Interchange Format reader.
#include "platform/text.h"
#include "readers/dif_format.h"
#include "readers/plain_reader.h"

namespace zephrin {

ReadResult ReadDif(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  LineReader lines(text, kPlainLineChars);
  std::string_view raw;

  // The header, up to "DATA" and the three lines after it.
  const DifHeader header = ReadDifHeader(lines);
  long columns = header.columns, rows = header.rows;
  bool headerError = false;
  if (header.sawData) {
    if (header.excel) std::swap(columns, rows);
    for (int k = 0; k < 3; ++k) {
      if (!lines.Next(raw)) {
        headerError = true;
        break;
      }
    }
  }
  // No records can be read: the read gives an empty text.
  if (headerError || rows == 0 || columns == 0) return ReadResult::Empty();

  PlainReader r(plan, hooks);
  r.Begin();
  const bool je = plan.je;

  int rowIndex = -1;
  bool skip = true;  // lines before the first "BOT" belong to no row
  bool hasValue = false;
  long cell = 0;
  std::string_view value;

  const auto handleCell = [&]() -> bool {
    if (cell < columns) {
      // Leading blanks go; an empty cell makes no element. Characters outside
      // the printable range are spaces when written.
      const std::string_view v = TrimLeft(value);
      if (!v.empty()) {
        for (char j : r.ItemsOfColumn(static_cast<std::size_t>(cell))) {
          const auto item = static_cast<std::size_t>(static_cast<unsigned char>(j));
          if (je) {
            if (!r.JEHandleField(item, v, /*twoBlanksMessage=*/true)) return false;
          } else {
            r.HandleField(item, v);
          }
        }
      }
    }
    ++cell;
    return true;
  };

  while (lines.Next(raw)) {
    r.Progress(lines.offset(), lines.size());
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") {
      if (r.LimitReached() && !(je && (r.m_recordOpen || r.m_lineCount != 0))) break;
      ++rowIndex;
      skip = rowIndex < plan.beginRow;
      if (!skip) {
        cell = 0;
        r.ResetLine();
        hasValue = false;
        if (!je) {
          r.StartRecord(rowIndex);
        } else if (!r.m_recordOpen && r.m_lineCount == 0) {
          // The journal-entry record start; blank counting follows at the row's end.
          r.JEStartRecord(rowIndex);
        }
      }
      continue;
    }
    if (skip) continue;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') {
        value = line.substr(2);
        hasValue = true;
      } else {
        value = {};  // no valid number cell: it takes up a cell index only
      }
      if (!handleCell()) return r.Failure();
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (!lines.Next(str)) {
        ++cell;  // the file ends where the string line should be
        continue;
      }
      value = DifStringValue(str);
      if (value.empty()) {
        ++cell;
        continue;
      }
      hasValue = true;
      if (!handleCell()) return r.Failure();
    } else if (line.size() >= 2 && line[0] == '-' && line[1] == '1') {
      if (rowIndex < 0) continue;
      if (!je) {
        r.CompleteChart();
      } else {
        if (!hasValue) {
          if (++r.m_blankCount == 3) {
            r.m_blankCount = r.m_lineCount = 0;
            r.m_recordOpen = r.m_headerDone = false;
          }
          if (r.m_blankCount > 0 && r.m_lineCount == 0) r.m_blankCount = 0;
        } else {
          ++r.m_lineCount;
        }
        r.m_balanceWritten = r.m_numberWritten = r.m_transferWritten = false;
      }
      if (r.UpdateBlankRun(rowIndex)) return r.BlankRunFailure();
      hasValue = false;
    }
  }
  r.ProgressDone(lines.size());
  return r.Finish(static_cast<int>(columns > 0x7fffffffL ? 0x7fffffffL : columns));
}

}  // namespace zephrin
