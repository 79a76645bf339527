// ReadDIFSource: a jurisdiction file in Data Interchange Format, laid out like
// a tabular file (first row the header, one column per jurisdiction).
#include "jurisdiction/jur_messages.h"
#include "jurisdiction/jur_text.h"
#include "jurisdiction/logic_imp.h"
#include "platform/memory.h"
#include "readers/dif_format.h"

namespace zephrin {

void LogicImp::ReadDIFSource() {
  BeginRead();
  m_strResult.clear();
  m_strErrors.clear();
  m_stateDups.clear();
  m_provDups.clear();
  m_errors.clear();
  m_tmplBefore.clear();
  m_tmplJurs.clear();
  m_tmplAfter.clear();
  m_tmplHasJurs = false;
  m_columns.clear();
  TraceF("ReadDIFSource: m_nTotalCols=%d, m_nTotalRows=%d, m_nCategoryCol=%d", m_nTotalCols, m_nTotalRows,
         m_nCategoryCol);
  if (!LoadSource()) {
    ReleaseSource();
    return;
  }
  if (m_strRootElement.empty()) {
    SetMessage(jur::Message(jur::kCannotDetermine));
    return;
  }

  std::string out;
  out.reserve(m_text.size() + 256);
  AdviseHugePages(out.data(), out.capacity());
  XmlStream xml(out);
  StartRoot(xml, m_code == Code::TIBAL || m_code == Code::APPORT || m_code == Code::CATASSN, false);

  Row row;
  bool hasTemplate = false, templateWritten = false;
  int32_t difRow = 0, col = 0;
  JurLineSource lines(m_text, kJurDifLineChars, m_nDifDataPos);
  std::string_view raw;
  m_nLine = 0;
  while (lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    if (line == "BOT") {
      ++difRow;
      m_nLine = difRow;
      col = 0;
      if (difRow == 1) {
        hasTemplate = true;
        continue;
      }
      if (!NextRecord(xml, row, difRow, templateWritten)) return;
      continue;
    }

    // A cell: a numeric line "0,<value>" or a string line "1,0" followed by
    // the quoted string. Any other line carries no cell.
    std::string_view value;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') value = line.substr(2);
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (lines.Next(str)) {
        // Without its quotes, and then without a further pair of quotes
        // where one is still there.
        value = DifUnquote(DifUnquote(str));
      }
    } else {
      continue;
    }

    if (difRow >= 1 && col < m_nTotalCols) {
      // Characters below 32 become blanks, and the cell is trimmed, as a
      // tabular file's cells are.
      if (!value.empty()) {
        char* p = Mutable(value);
        for (std::size_t i = 0; i < value.size(); ++i)
          if (static_cast<signed char>(p[i]) < 32) p[i] = ' ';
      }
      m_field = Trim(value);
      if (difRow == 1) {
        // Every header cell names its column, an empty one too (a
        // descriptive column keeps its name; an empty jurisdiction header is
        // reported as a tabular file's would be).
        const int32_t result = ColumnHeader(col);
        if (result == 1) {
          SetMessage(jur::WithSupport(jur::kInternal));
          return;
        }
        if (result == 2) {
          SetMessage(jur::WithSupport(jur::kNotLoaded));
          return;
        }
      } else {
        DataCell(xml, row, col, m_field, /*dif=*/true);
      }
    }
    ++col;
  }
  if (hasTemplate && !templateWritten) xml.Raw(TemplateXml());
  EndRecord(xml, row);
  xml.EndAll();
  FinishResult(out);
}

}  // namespace zephrin
