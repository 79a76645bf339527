// ReadCSV: comma-separated data files.
#include <sys/stat.h>

#include "readers/csv_fields.h"
#include "readers/line_source.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"

namespace zephrin {

namespace {
bool CommasOnly(std::string_view line) {
  for (char c : line)
    if (c != ',') return false;
  return true;
}

bool DebugMarkerExists(const std::string& folder) {
  if (folder.empty()) return false;
  struct stat st {};
  return ::stat((folder + "/BrenloDebug._me").c_str(), &st) == 0;
}
}  // namespace

void CxmlWrapper::ReadCSV(std::string_view, std::string_view id, std::string_view year, int16_t intlType) {
  // The debug marker file in the writable folder announces every read.
  if (DebugMarkerExists(m_szWriteableFolder)) MessageBox("Read CSV File", "Import", MessageIcon::None);

  std::string text;
  if (!LoadDataFile(text)) return;
  PlainReader r(*this, PlainReader::Format::CSV);
  if (DoReadInitFunctions(id, year, intlType) != 0) {
    m_bstrXML = ErrorDocument::Reader(messages::kInternalCsv);
    return;
  }
  m_bstrXML.clear();
  r.LoadCountryJurisdictions();
  if (m_bJE && ((m_bChartOnly && m_cJEKind == 'R') || m_bBalanceOnly))
    for (std::size_t i = 4; i <= 16; ++i) m_FieldInfo[i].nLen = 0;
  r.Prepare();

  LineSource lines(text);
  std::string_view raw;
  int lineIndex = -1;
  int maxFields = 0;
  bool inQuotes = false;
  while (lines.Next(raw)) {
    ++lineIndex;
    r.Progress(lines.offset(), lines.size());
    if (lineIndex < m_nBeginRow) continue;
    r.ResetLine();
    std::string_view trimmed = TrimRight(raw);
    if (CommasOnly(trimmed)) trimmed = {};

    if (!m_bJE) {
      if (m_strBeginRootElement.empty()) {
        m_bstrXML = ErrorDocument::Reader(messages::kNoRecordElement);
        return;
      }
      r.StartRecord(lineIndex);
    } else {
      if (m_strBeginRootElement.empty() && !r.m_recordOpen && r.m_lineCount == 0) {
        m_bstrXML = ErrorDocument::Reader(messages::kNoRecordElement);
        return;
      }
      r.JEBeginLine(lineIndex, trimmed.empty());
    }

    // One pass: replace characters outside the printable range, track quotes,
    // split at commas outside quotes.
    // The line is split in the file's own buffer (ours to change): characters
    // are replaced in place.
    char* const lineData = const_cast<char*>(trimmed.data());
    const int fieldCount = ForEachCsvField(lineData, trimmed.size(), inQuotes, !r.m_noCharReplace, [&](int fieldIndex, std::string_view field) {
      for (char j : r.ItemsOfColumn(static_cast<std::size_t>(fieldIndex))) {
        const auto item = static_cast<std::size_t>(static_cast<unsigned char>(j));
        if (m_bJE) {
          if (!field.empty() && !r.JEHandleField(item, field)) return false;
        } else {
          r.HandleField(item, field);
        }
      }
      if (r.m_timapExtra && fieldIndex > 5 && !field.empty()) {
        m_doc.AddDataNode("Subcategory_Code");
        m_doc.WriteDataNodeEscaped(PlainReader::StripQuotes(field));
      }
      return true;
    });
    if (fieldCount < 0) return;
    if (!m_bJE) r.CompleteChart();
    if (r.UpdateBlankRun(lineIndex)) return;
    if (fieldCount > maxFields) maxFields = fieldCount;
  }
  r.ProgressDone(lines.size());
  r.Finish(maxFields);
}

}  // namespace zephrin
