// ReadDIF: Data Interchange Format files.
#include "readers/dif_format.h"
#include "readers/line_source.h"
#include "readers/plain_reader.h"

namespace zephrin {


void CxmlWrapper::ReadDIF(std::string_view, std::string_view id, std::string_view year, int16_t intlType) {
  std::string text;
  if (!LoadDataFile(text)) return;
  LineSource lines(text);
  std::string_view raw;

  // The header, up to "DATA" and the three lines after it.
  const DifHeader header = ReadDifHeader(lines);
  long columns = header.columns, rows = header.rows;
  const bool excel = header.excel, sawData = header.sawData;
  bool headerError = false;
  if (sawData) {
    if (excel) std::swap(columns, rows);
    for (int k = 0; k < 3; ++k) {
      if (!lines.Next(raw)) {
        headerError = true;
        break;
      }
    }
  }
  if (headerError || rows == 0 || columns == 0) {
    // No records can be read: the read fails with an empty result text.
    TraceF("ReadDIF: no data (columns=%ld, rows=%ld, header error=%d)", columns, rows, headerError ? 1 : 0);
    m_bstrXML.clear();
    return;
  }

  PlainReader r(*this, PlainReader::Format::DIF);
  m_bstrXML.clear();
  if (DoReadInitFunctions(id, year, intlType) != 0) return;
  if (m_bJE && ((m_bChartOnly && m_cJEKind == 'R') || m_bBalanceOnly))
    for (std::size_t i = 4; i <= 16; ++i) m_FieldInfo[i].nLen = 0;
  r.Prepare();

  int rowIndex = -1;
  bool skip = true;  // lines before the first "BOT" belong to no row
  bool hasValue = false;
  long cell = 0;
  std::string value;

  const auto handleCell = [&]() -> bool {
    if (cell < columns) {
      const std::size_t lead = value.size() - TrimLeft(value).size();
      if (lead < value.size()) {
        // Characters outside the printable range become spaces (after the
        // emptiness test, which sees the cell as the file has it).
        if (!r.m_noCharReplace) {
          for (std::size_t i = lead; i < value.size(); ++i) {
            const auto c = static_cast<unsigned char>(value[i]);
            if (c < 32 || c > 126) value[i] = ' ';
          }
        }
        const std::string_view v = std::string_view(value).substr(lead);
        for (char j : r.ItemsOfColumn(static_cast<std::size_t>(cell))) {
          const auto item = static_cast<std::size_t>(static_cast<unsigned char>(j));
          if (m_bJE) {
            if (!r.JEHandleField(item, v)) return false;
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
      ++rowIndex;
      skip = rowIndex < m_nBeginRow;
      if (!skip) {
        cell = 0;
        r.ResetLine();
        hasValue = false;
        if (!m_bJE) {
          r.StartRecord(rowIndex);
        } else if (!r.m_recordOpen && r.m_lineCount == 0) {
          // The journal-entry record start; blank counting follows at the row's end.
          r.StartRecord(rowIndex);
          r.m_recordOpen = true;
          r.m_outFlag.fill(false);
          r.m_outFlag[17] = r.m_outFlag[18] = r.m_outFlag[20] = r.m_outFlag[23] = true;
        }
      }
      continue;
    }
    if (skip) continue;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') {
        value.assign(line.substr(2));
        hasValue = true;
      } else {
        value.clear();  // no valid number cell: it takes up a cell index only
      }
      if (!handleCell()) return;
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      bool ended = false;
      if (!lines.Next(str, &ended)) {
        ++cell;  // the file ends where the string line should be
        continue;
      }
      value.assign(DifStringValue(str));
      if (value.empty()) {
        ++cell;
        continue;
      }
      hasValue = true;
      if (!handleCell()) return;
    } else if (line.size() >= 2 && line[0] == '-' && line[1] == '1') {
      if (rowIndex < 0) continue;
      if (!m_bJE) {
        r.CompleteChart();
      } else {
        const bool blank = !hasValue;
        if (blank) {
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
      if (r.UpdateBlankRun(rowIndex)) return;
      hasValue = false;
    }
  }
  r.ProgressDone(lines.size());
  r.Finish(static_cast<int>(columns > 0x7fffffffL ? 0x7fffffffL : columns));
}

}  // namespace zephrin
