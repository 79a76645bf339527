// ReadDIFSource: a jurisdiction file in Data Interchange Format, laid out like
// a tabular file (first row the header, one column per jurisdiction).
#include "jurisdiction/jur_messages.h"
#include "jurisdiction/logic_imp.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"

namespace zephrin {

ReadResult LogicImp::ReadDIFSource(const ReadHooks& hooks) {
  ResetHeader();
  TraceF("ReadDIFSource: m_nTotalCols=%d, m_nTotalRows=%d, m_nCategoryCol=%d", m_shape.totalCols, m_shape.totalRows,
         m_shape.categoryCol);
  if (m_req.rootElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));

  XmlStream xml(hooks.sink);
  xml.Direct().Reserve(hooks.sink ? (std::size_t{2} << 20) : m_text.text().size() + 256);
  StartRoot(xml, m_code == Code::TIBAL || m_code == Code::APPORT || m_code == Code::CATASSN, false);

  Row row;
  bool hasTemplate = false, templateWritten = false;
  int32_t difRow = 0, col = 0;
  LineReader lines(m_text, kJurisdictionDifLineChars, m_shape.difDataPos);
  std::string_view raw;
  m_nLine = 0;
  ProgressTicker progress(hooks);
  while (lines.Next(raw)) {
    if (!progress.Tick(lines.offset(), lines.size())) return ReadResult::Error(kCancelledDocument);
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") {
      ++difRow;
      m_nLine = difRow;
      col = 0;
      if (difRow == 1) {
        hasTemplate = true;
        continue;
      }
      if (!NextRecord(xml, row, difRow, templateWritten)) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
      continue;
    }

    // A cell: a numeric line "0,<value>" or a string line "1,0" followed by
    // the quoted string. Any other line carries no cell.
    std::string_view value;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') value = line.substr(2);
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      // Without its quotes, and then without a further pair of quotes where
      // one is still there.
      if (lines.Next(str)) value = DifUnquote(DifUnquote(str));
    } else {
      continue;
    }

    if (difRow >= 1 && col < m_shape.totalCols) {
      // Characters below 32 become blanks, and the cell is trimmed, as a
      // tabular file's cells are.
      m_field = JurisdictionCellText(value, m_cellScratch);
      if (difRow == 1) {
        // Every header cell names its column, an empty one too (a
        // descriptive column keeps its name; an empty jurisdiction header is
        // reported as a tabular file's would be).
        const int32_t result = ColumnHeader(col);
        if (result == 1) return ReadResult::Error(jur::WithSupport(jur::kInternal));
        if (result == 2) return ReadResult::Error(jur::WithSupport(jur::kNotLoaded));
      } else {
        DataCell(xml, row, col, m_field, /*dif=*/true);
      }
    }
    ++col;
  }
  if (hasTemplate && !templateWritten) xml.Raw(TemplateXml());
  EndRecord(xml, row);
  xml.EndAll();
  progress.Done(lines.size());
  return Finish(xml, hooks);
}

}  // namespace zephrin
