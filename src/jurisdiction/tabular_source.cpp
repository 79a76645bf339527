// ReadTabularSource: a comma-separated jurisdiction file with one column per
// jurisdiction; and the record writing it shares with ReadDIFSource.
#include "jurisdiction/jur_messages.h"
#include "jurisdiction/logic_imp.h"
#include "readers/csv_split.h"
#include "result/result_document.h"

namespace zephrin {

void LogicImp::StartRoot(XmlStream& xml, bool yearAndType, bool listed) {
  xml.Start(m_req.rootElement);
  xml.Attr("OBJID", m_req.id);
  if (yearAndType) {
    xml.Attr("YEAR", jur::Decimal(m_req.currentYear).view());
    xml.Attr("TYPE", m_bDoingProv ? "PROV" : "TAX");
  }
  if (m_req.batch) xml.Attr("CONUM", "");
  if (listed) xml.Attr("listed", "X");
}

bool LogicImp::NextRecord(XmlStream& xml, Row& row, int32_t line, bool& templateWritten) {
  if (!templateWritten) {
    xml.Raw(TemplateXml());
    templateWritten = true;
  }
  EndRecord(xml, row);
  if (m_req.recordElement.empty()) return false;
  StartRecord(xml, row, line);
  return true;
}

void LogicImp::StartRecord(XmlStream& xml, Row& row, int32_t line) {
  xml.MaybeFlush();
  xml.Start(m_req.recordElement);
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
  const int32_t k = m_shape.categoryCol;
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
    const bool categoryColumn = col == (m_req.batch ? 1 : 0);
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
    if (!cell.empty()) ++m_valuesWritten;
    return;
  }

  if (!row.jurs) {
    xml.Start("JURS");
    row.jurs = true;
  }
  std::string_view amount = cell;
  if (m_code == Code::LOGIC && !m_bDoingProv && !cell.empty()) {
    // Logic codes: upper case, and X, N, D, B stand for 1 to 4.
    m_scratch = UpperAscii(cell);
    if (m_scratch == "X") m_scratch = "1";
    else if (m_scratch == "N") m_scratch = "2";
    else if (m_scratch == "D") m_scratch = "3";
    else if (m_scratch == "B") m_scratch = "4";
    amount = m_scratch;
  }
  if (!amount.empty()) ++m_valuesWritten;
  // <JUR amt="..." id="..." typ="..."/>, written in one go.
  TextBuffer& out = xml.Direct();
  constexpr std::string_view kStart = "<JUR amt=\"";
  if (m_bDoingProv && m_code != Code::CATASSN && column.countryKey && m_bCountryColumn && !row.countryUsed) {
    out.Append(kStart);
    xml::AppendEscapedTo(out, amount, xml::kAttribute);
    out.Append("\" id=\"");
    xml::AppendEscapedTo(out, m_strCountryID, xml::kAttribute);
    row.countryUsed = true;
    out.Append('"');
    out.Append(column.typXml);
    out.Append("/>");
    return;
  }
  char* p = out.Room(kStart.size() + xml::RoomFor(amount.size()) + column.tailXml.size());
  p = CopyShort(p, kStart.data(), kStart.size());
  p = xml::EscapeInto(p, amount, xml::kAttribute);
  p = CopyShort(p, column.tailXml.data(), column.tailXml.size());
  out.Commit(p);
}

ReadResult LogicImp::ReadTabularSource(const ReadHooks& hooks) {
  ResetHeader();
  // A file that is empty gives an empty text.
  if (m_text.rawSize() == 0) return ReadResult::Empty();
  TraceF("ReadTabularSource: file is open and it isn't empty. ImportType=%s", m_req.importType.c_str());
  if (m_req.rootElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));

  XmlStream xml(hooks.sink);
  xml.Direct().Reserve(hooks.sink ? (std::size_t{2} << 20) : m_text.text().size() * 4 + 256);
  StartRoot(xml,
            m_code == Code::TIBAL || m_code == Code::APPORT || m_code == Code::CATASSN || m_code == Code::CREDIT ||
                m_code == Code::LOSS || m_code == Code::AMTACE || m_code == Code::CTPRCN,
            false);

  Row row;
  bool templateWritten = false;
  int32_t headerResult = 0;
  LineReader lines(m_text, kJurisdictionCsvLineChars);
  std::string_view raw;
  bool lineEnd = false;
  m_nLine = 0;
  ProgressTicker progress(hooks);
  while (lines.Next(raw, lineEnd)) {
    if (!progress.Tick(lines.offset(), lines.size())) return ReadResult::Error(kCancelledDocument);
    ++m_nLine;
    const bool header = m_nLine == 1;
    if (!header && !NextRecord(xml, row, m_nLine, templateWritten))
      return ReadResult::Error(jur::Message(jur::kCannotDetermine));
    SplitJurisdictionLine(raw, lineEnd, [&](int col, std::string_view cell) {
      m_field = StripQuotes(JurisdictionCellText(cell, m_cellScratch));
      if (header) {
        headerResult = ColumnHeader(col);
        return headerResult == 0;
      }
      DataCell(xml, row, col, m_field, /*dif=*/false);
      return true;
    });
    if (headerResult == 1) return ReadResult::Error(jur::WithSupport(jur::kInternal));
    if (headerResult == 2) return ReadResult::Error(jur::WithSupport(jur::kNotLoaded));
  }
  if (m_nLine >= 1 && !templateWritten) xml.Raw(TemplateXml());
  EndRecord(xml, row);
  xml.EndAll();
  progress.Done(lines.size());
  return Finish(xml, hooks);
}

}  // namespace zephrin
