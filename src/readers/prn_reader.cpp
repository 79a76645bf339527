// ReadPRN: fixed-width text files, with journal entries whose header spreads
// over several lines.
#include "readers/line_source.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"

namespace zephrin {

namespace {
constexpr uint16_t kAccountLines = 224;
}

void CxmlWrapper::ReadPRN(std::string_view, std::string_view id, std::string_view year, int16_t intlType) {
  std::string text;
  if (!LoadDataFile(text)) return;
  PlainReader r(*this, PlainReader::Format::PRN);
  m_bstrXML.clear();
  if (DoReadInitFunctions(id, year, intlType) != 0) return;
  if (m_bJE && ((m_bChartOnly && m_cJEKind == 'R') || m_bBalanceOnly))
    for (std::size_t i = 4; i <= 16; ++i) m_FieldInfo[i].nLen = 0;
  r.Prepare();

  // Journal-entry state of this reader.
  bool skipEntry = false;
  int entryLine = 0;

  LineSource lines(text);
  std::string_view raw;
  std::string field;
  int lineIndex = -1;

  while (lines.Next(raw)) {
    ++lineIndex;
    r.Progress(lines.offset(), lines.size());
    const std::string_view line = TrimRight(raw);
    r.ResetLine();

    if (line.empty()) {
      if (m_bJE && r.m_recordOpen && ++r.m_blankCount == 3) {
        r.m_blankCount = 0;
        entryLine = 0;
        r.m_recordOpen = false;
        if (!skipEntry) {
          r.m_headerDone = false;
          r.m_balanceWritten = false;
        }
      }
      if (++r.m_blankRun == 1) r.m_firstBlank = lineIndex;
      continue;
    }

    if (!m_bJE) {
      m_doc.AddMajorNode(m_strBeginRootElement);
      if (m_bRecordLines) m_doc.SetMajorNodeAttribute("Line", std::to_string(lineIndex));
    } else if (r.m_recordOpen) {
      if (r.m_headerDone && r.m_blankCount == 2) {
        m_bstrXML = ErrorDocument::Line(lineIndex + 1).Text(messages::kJournalFormat).Take();
        return;
      }
      ++entryLine;
    }

    for (std::size_t j = 0; j < r.m_itemCount; ++j) {
      const FieldInfo& f = m_FieldInfo[j];
      if (!f.placed() || f.nCol >= line.size()) continue;
      if (m_bJE && r.m_recordOpen) {
        const uint16_t code = f.nLineCode;
        const bool read = code < kAccountLines ? (code == entryLine - 1 && r.m_blankCount == 0)
                          : code == kAccountLines ? r.m_blankCount != 0
                                                  : true;
        if (!read) continue;
      }
      const std::string_view slice = Trim(line.substr(f.nCol, f.nLen));
      if (!slice.empty()) {
        field.assign(slice);
        if (!r.m_noCharReplace)
          for (char& c : field)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';
      } else {
        field.clear();
      }

      if (!m_bJE) {
        if (field.empty()) continue;
        m_doc.AddEscapedDataNode(r.m_element[j], PlainReader::StripQuotes(field));
        ++r.m_written;
        switch (r.m_chart[j]) {
          case PlainReader::kChartAcct: r.m_acctnum = true; break;
          case PlainReader::kChartTrc: r.m_trc = true; break;
          case PlainReader::kChartTcc: r.m_tcc = true; break;
          case PlainReader::kChartCapt: r.m_capt = true; break;
          default: break;
        }
        continue;
      }

      // Journal entries.
      const std::string_view item = r.m_itemName[j];
      const bool isNumber = item == "Account_Number";
      const bool isBalance = item == "Account_Balance";
      if (!field.empty()) {
        const bool keyItem = item == "JE_Type" || (m_bDoingBatch && (item == "Company_Number" || item == "CompanyNumber"));
        bool handle = true;
        if (keyItem) {
          const bool accepted = (m_bChartOnly && field[0] == m_cJEKind) || m_bBalanceOnly;
          if (!accepted) {
            skipEntry = true;
            r.m_blankRun = 0;
            handle = false;
          } else {
            skipEntry = false;
            if (!r.m_recordOpen) {
              m_doc.AddMajorNode(m_strBeginRootElement);
              if (m_bRecordLines) m_doc.SetMajorNodeAttribute("Line", std::to_string(lineIndex));
              r.m_recordOpen = true;
              r.m_outFlag.fill(false);
              r.m_outFlag[17] = r.m_outFlag[18] = r.m_outFlag[20] = r.m_outFlag[23] = true;
              ++entryLine;
            }
          }
        }
        if (skipEntry) handle = false;
        if (handle) {
          if (isNumber) {
            if (!r.m_headerDone) {
              if (m_bChartOnly)
                for (std::size_t k = 0; k < r.m_itemCount && k < r.m_outFlag.size(); ++k)
                  if (!r.m_outFlag[k]) m_doc.AddDataNode(r.m_element[k]);
              m_doc.AddMajorChild("Accounts");
            }
            r.m_headerDone = true;
            m_doc.AddAcctRoot();
          }
          const std::string_view name = r.m_element[j];
          if (name == "Account_Number" || name == "Account_Balance" || name == "RTP_Adj_Override" ||
              name == "Transfer_From_Provision") {
            if (!r.AcctNodeMade(m_doc.AddAcctNode(name), messages::kNoAcctTwoBlanks, messages::kInternalPrnAccount))
              return;
          } else {
            m_doc.AddDataNode(name);
          }
          m_doc.WriteDataNodeEscaped(PlainReader::StripQuotes(field));
          ++r.m_written;
          if (!r.m_headerDone || isNumber ||
              (m_bBalanceOnly && (isBalance || item == "RTP_Adj_Override")))
            r.m_outFlag[j] = true;
          if (isBalance) r.m_balanceWritten = true;
        }
      }
      if (skipEntry) continue;
      if (r.m_headerDone && m_bBalanceOnly && !r.m_balanceWritten && isBalance) {
        if (!r.AcctNodeMade(m_doc.AddAcctNode("Account_Balance"), messages::kNoAcctOneBlank,
                            messages::kInternalAccount))
          return;
      }
      if (r.m_headerDone && m_bBalanceOnly) r.m_balanceWritten = false;
    }

    if (!m_bJE) r.CompleteChart();
    // The blank run of this reader: a line that wrote nothing counts, unless
    // its entry is being skipped.
    if (r.m_written == 0) {
      if (!skipEntry && ++r.m_blankRun == 1) r.m_firstBlank = lineIndex;
    } else {
      r.m_blankRun = 0;
    }
    if (r.m_blankRun >= 25) {
      r.FailBlankRun();
      return;
    }
  }
  r.ProgressDone(lines.size());
  r.TakeResult();
}

}  // namespace zephrin
