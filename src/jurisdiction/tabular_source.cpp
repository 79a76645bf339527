// ReadTabularSource: a comma-separated jurisdiction file with one column per
// jurisdiction; and the record writing it shares with ReadDIFSource.
#include "jurisdiction/jur_messages.h"
#include "jurisdiction/jur_text.h"
#include "jurisdiction/logic_imp.h"
#include "platform/memory.h"
#include "readers/plain_reader.h"
#include "result/result_document.h"

namespace zephrin {

void LogicImp::StartRoot(XmlStream& xml, bool yearAndType, bool listed) {
  xml.Start(m_strRootElement);
  xml.Attr("OBJID", m_szID);
  if (yearAndType) {
    xml.Attr("YEAR", jur::Decimal(m_nCurrentYear).view());
    xml.Attr("TYPE", m_bDoingProv ? "PROV" : "TAX");
  }
  if (m_bDoingBatch) xml.Attr("CONUM", "");
  if (listed) xml.Attr("listed", "X");
}

bool LogicImp::NextRecord(XmlStream& xml, Row& row, int32_t line, bool& templateWritten) {
  if (!templateWritten) {
    xml.Raw(TemplateXml());
    templateWritten = true;
  }
  EndRecord(xml, row);
  if (m_strRecordElement.empty()) {
    SetMessage(jur::Message(jur::kCannotDetermine));
    return false;
  }
  StartRecord(xml, row, line);
  return true;
}

void LogicImp::StartRecord(XmlStream& xml, Row& row, int32_t line) {
  xml.Start(m_strRecordElement);
  xml.Attr("Line", jur::Decimal(line).view());
  row = Row{};
  row.open = true;
}

void LogicImp::EndRecord(XmlStream& xml, Row& row) {
  if (!row.open) return;
  if (row.jurs) xml.End();
  xml.End();
  row = Row{};
}

void LogicImp::DataCell(XmlStream& xml, Row& row, int32_t col, std::string_view cell, bool dif) {
  const int32_t k = m_nCategoryCol;
  if (dif) {
    // A DIF record has a JURS only once a jurisdiction cell holds something.
    if (cell.empty()) return;
    if (col >= k && !row.jurs) {
      xml.Start("JURS");
      row.jurs = true;
    }
  } else if (col == k) {
    xml.Start("JURS");
    row.jurs = true;
  }
  if (col < 0 || static_cast<std::size_t>(col) >= m_columns.size()) return;
  const Column& column = m_columns[static_cast<std::size_t>(col)];
  if (column.name.empty()) return;

  if (!column.jurisdiction) {
    xml.Start(column.name);
    const bool categoryColumn = col == (m_bDoingBatch ? 1 : 0);
    if (categoryColumn && !m_bDoingProv && m_code != Code::LOSS && m_code != Code::CREDIT && m_code != Code::AMTACE &&
        m_code != Code::TIBAL && m_code != Code::CTPRCN) {
      if (const int position = FindCategoryType(cell)) {
        xml.Attr("ID", jur::Decimal(position).view());
      } else {
        xml.Attr("ID", "0");
        AddLineError("Invalid", m_nLine);
      }
    }
    xml.Text(cell, /*engineEscape=*/true);
    xml.End();
    return;
  }

  if (!row.jurs) {
    xml.Start("JURS");
    row.jurs = true;
  }
  std::string_view amount = cell;
  if (m_code == Code::LOGIC && !m_bDoingProv && !cell.empty()) {
    // Logic codes: upper case, and X, N, D, B stand for 1 to 4.
    m_scratch.assign(cell);
    for (char& c : m_scratch)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (m_scratch == "X") m_scratch = "1";
    else if (m_scratch == "N") m_scratch = "2";
    else if (m_scratch == "D") m_scratch = "3";
    else if (m_scratch == "B") m_scratch = "4";
    amount = m_scratch;
  }
  // <JUR amt="..." id="..." typ="..."/>, written in one go.
  std::string& out = xml.Direct();
  out.append("<JUR amt=\"");
  AppendXmlEscaped(out, amount, true);
  out.append("\" id=\"");
  if (m_bDoingProv && m_code != Code::CATASSN && column.countryKey && m_bCountryColumn && !row.countryUsed) {
    AppendXmlEscaped(out, m_strCountryID, true);
    row.countryUsed = true;
  } else {
    out.append(column.idXml);
  }
  out.push_back('"');
  out.append(column.typXml);
  out.append("/>");
}

void LogicImp::ReadTabularSource() {
  BeginRead();
  m_strResult.clear();
  m_strErrors.clear();
  m_stateDups.clear();
  m_provDups.clear();
  if (!LoadSource() || m_rawSize == 0) {
    ReleaseSource();
    return;
  }
  TraceF("ReadTabularSource: file is open and it isn't empty. ImportType=%s", m_strImportType.c_str());
  m_errors.clear();
  m_tmplBefore.clear();
  m_tmplJurs.clear();
  m_tmplAfter.clear();
  m_tmplHasJurs = false;
  m_columns.clear();
  if (m_strRootElement.empty()) {
    SetMessage(jur::Message(jur::kCannotDetermine));
    return;
  }

  std::string out;
  out.reserve(m_text.size() * 4 + 256);  // untouched capacity costs no memory
  AdviseHugePages(out.data(), out.capacity());
  XmlStream xml(out);
  StartRoot(xml,
            m_code == Code::TIBAL || m_code == Code::APPORT || m_code == Code::CATASSN || m_code == Code::CREDIT ||
                m_code == Code::LOSS || m_code == Code::AMTACE || m_code == Code::CTPRCN,
            false);

  Row row;
  bool templateWritten = false;
  int32_t headerResult = 0;
  JurLineSource lines(m_text, kJurCsvLineChars);
  std::string_view raw;
  bool lineEnd = false;
  m_nLine = 0;
  while (lines.Next(raw, lineEnd)) {
    ++m_nLine;
    const bool header = m_nLine == 1;
    if (!header) {
      if (!NextRecord(xml, row, m_nLine, templateWritten)) return;
    }
    SplitCells(Mutable(raw), raw.size(), lineEnd, /*replaceControls=*/true, [&](int col, std::string_view cell) {
      m_field = PlainReader::StripQuotes(Trim(cell));
      if (header) {
        headerResult = ColumnHeader(col);
        return headerResult == 0;
      }
      DataCell(xml, row, col, m_field, /*dif=*/false);
      return true;
    });
    if (headerResult == 1) {
      SetMessage(jur::WithSupport(jur::kInternal));
      return;
    }
    if (headerResult == 2) {
      SetMessage(jur::WithSupport(jur::kNotLoaded));
      return;
    }
  }
  if (m_nLine >= 1 && !templateWritten) xml.Raw(TemplateXml());
  EndRecord(xml, row);
  xml.EndAll();
  FinishResult(out);
}

}  // namespace zephrin
