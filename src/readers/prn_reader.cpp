// The fixed-width reader, with journal entries whose header spreads over
// several lines.
#include <charconv>

#include "platform/text.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"

namespace zephrin {

namespace {
constexpr uint16_t kAccountLines = 224;
}

ReadResult ReadFixedWidth(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  PlainReader r(plan, hooks);
  r.Begin();
  ResultDocument& doc = r.m_doc;
  const bool je = plan.je;
  const std::size_t itemCount = plan.items.size();

  // Journal-entry state of this reader.
  bool skipEntry = false;
  int entryLine = 0;

  LineReader lines(text, kPlainLineChars);
  std::string_view raw;
  int lineIndex = -1;
  const auto startRecord = [&]() {
    r.CountRecord();
    doc.AddMajorNode(plan.record);
    if (!plan.fixedWidthLineAttribute) return;
    char buffer[16];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, lineIndex);
    doc.SetMajorNodeAttribute("Line", std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
  };

  while (lines.Next(raw)) {
    ++lineIndex;
    r.Progress(lines.offset(), lines.size());
    if (r.LimitReached() && !(je && r.m_recordOpen)) break;
    const std::string_view line = TrimRight(raw);
    r.ResetLine();

    if (line.empty()) {
      if (je && r.m_recordOpen && ++r.m_blankCount == 3) {
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

    if (!je) {
      startRecord();
    } else if (r.m_recordOpen) {
      if (r.m_headerDone && r.m_blankCount == 2)
        return ReadResult::Error(ErrorDocument::Line(lineIndex + 1).Text(messages::kJournalFormat).Take());
      ++entryLine;
    }

    for (std::size_t j = 0; j < itemCount; ++j) {
      const PlanItem& planItem = plan.items[j];
      const FieldInfo& f = planItem.field;
      if (!f.placed() || f.nCol >= line.size()) continue;
      if (je && r.m_recordOpen) {
        const uint16_t code = f.nLineCode;
        const bool read = code < kAccountLines ? (code == entryLine - 1 && r.m_blankCount == 0)
                          : code == kAccountLines ? r.m_blankCount != 0
                                                  : true;
        if (!read) continue;
      }
      // The field as the file has it; characters outside the printable range
      // are spaces when written.
      const std::string_view field = Trim(line.substr(f.nCol, f.nLen));

      if (!je) {
        if (field.empty()) continue;
        doc.AddEscapedDataNode(planItem.element, PlainReader::StripQuotes(field), r.ValueTable());
        ++r.m_written;
        ++r.m_valuesWritten;
        r.SetChartFlag(planItem.chart);
        continue;
      }

      // Journal entries.
      const std::string_view item = planItem.name;
      const bool isNumber = item == "Account_Number";
      const bool isBalance = item == "Account_Balance";
      if (!field.empty()) {
        const bool keyItem = item == "JE_Type" || (plan.batch && (item == "Company_Number" || item == "CompanyNumber"));
        bool handle = true;
        if (keyItem) {
          const char first = r.Printable(field.substr(0, 1))[0];
          const bool accepted = (plan.chartOnly && first == plan.jeKind) || plan.balanceOnly;
          if (!accepted) {
            skipEntry = true;
            r.m_blankRun = 0;
            handle = false;
          } else {
            skipEntry = false;
            if (!r.m_recordOpen) {
              startRecord();
              r.m_recordOpen = true;
              r.m_outFlag.fill(false);
              for (std::size_t k : kJEPresetItems) r.m_outFlag[k] = true;
              ++entryLine;
            }
          }
        }
        if (skipEntry) handle = false;
        if (handle) {
          if (isNumber) {
            if (!r.m_headerDone) {
              if (plan.chartOnly)
                for (std::size_t k = 0; k < itemCount && k < r.m_outFlag.size(); ++k)
                  if (!r.m_outFlag[k]) doc.AddDataNode(plan.items[k].element);
              doc.AddMajorChild("Accounts");
            }
            r.m_headerDone = true;
            doc.AddAcctRoot();
          }
          const std::string_view name = planItem.element.name;
          if (name == "Account_Number" || name == "Account_Balance" || name == "RTP_Adj_Override" ||
              name == "Transfer_From_Provision") {
            if (!r.AcctNodeMade(doc.AddAcctNode(planItem.element), messages::kNoAcctTwoBlanks)) return r.Failure();
          } else {
            doc.AddDataNode(planItem.element);
          }
          doc.WriteDataNode(PlainReader::StripQuotes(field), r.ValueTable());
          ++r.m_written;
          ++r.m_valuesWritten;
          if ((!r.m_headerDone || isNumber || (plan.balanceOnly && (isBalance || item == "RTP_Adj_Override"))) &&
              j < r.m_outFlag.size())
            r.m_outFlag[j] = true;
          if (isBalance) r.m_balanceWritten = true;
        }
      }
      if (skipEntry) continue;
      if (r.m_headerDone && plan.balanceOnly && !r.m_balanceWritten && isBalance) {
        if (!r.AcctNodeMade(doc.AddAcctNode(plan.accountBalance), messages::kNoAcctOneBlank)) return r.Failure();
      }
      if (r.m_headerDone && plan.balanceOnly) r.m_balanceWritten = false;
    }

    if (!je) r.CompleteChart();
    // The blank run of this reader: a line that wrote nothing counts, unless
    // its entry is being skipped.
    if (r.m_written == 0) {
      if (!skipEntry && ++r.m_blankRun == 1) r.m_firstBlank = lineIndex;
    } else {
      r.m_blankRun = 0;
    }
    if (r.m_blankRun >= 25) return r.BlankRunFailure();
  }
  r.ProgressDone(lines.size());
  return r.TakeResult();
}

}  // namespace zephrin
