// The comma-separated reader.
#include <algorithm>

#include "platform/text.h"
#include "readers/csv_split.h"
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

// The usual read: no journal entries, no value rules, no extra columns.
// Each line's elements are written straight into room made once for the line.
ReadResult ReadPlainValues(const ReadPlan& plan, const DataText& text, PlainReader& r) {
  const bool outsideIsBlank = !plan.keepAllCharacters;
  const xml::EscapeTable& table = r.ValueTable();
  // Room for a line: every placed item's tags, and its column's text as many
  // times as items take that column.
  std::size_t tagBytes = 0, perColumn = 1;
  for (const PlanItem& item : plan.items) {
    if (!item.field.placed()) continue;
    tagBytes += ResultDocument::ElementRoom(item.element, 0);
    perColumn = std::max(perColumn, r.ItemsOfColumn(item.field.nCol).size());
  }
  ResultDocument& doc = r.m_doc;
  LineReader lines(text, kPlainLineChars);
  std::string_view raw;
  int lineIndex = -1;
  int maxFields = 0;
  bool inQuotes = false;
  while (lines.Next(raw)) {
    ++lineIndex;
    r.Progress(lines.offset(), lines.size());
    if (lineIndex < plan.beginRow) continue;
    if (r.LimitReached()) break;
    r.ResetLine();
    std::string_view trimmed = TrimRight(raw);
    if (CommasOnly(trimmed)) trimmed = {};
    if (plan.record.name.empty()) return ReadResult::Error(ErrorDocument::Reader(messages::kNoRecordElement));
    r.StartRecord(lineIndex);
    char* p = doc.RecordRoom(tagBytes + perColumn * xml::RoomFor(trimmed.size()));
    const int fieldCount = SplitPlainCsvLine(trimmed, inQuotes, outsideIsBlank, [&](int fieldIndex, std::string_view field) {
      for (char j : r.ItemsOfColumn(static_cast<std::size_t>(fieldIndex))) {
        const PlanItem& item = r.Item(static_cast<std::size_t>(static_cast<unsigned char>(j)));
        if (!field.empty()) {
          ++r.m_written;
          ++r.m_valuesWritten;
          r.SetChartFlag(item.chart);
        }
        p = doc.WriteElementAt(p, item.element, PlainReader::StripQuotes(field), table);
      }
      return true;
    });
    doc.CommitRecord(p);
    r.CompleteChart();
    if (r.UpdateBlankRun(lineIndex)) return r.BlankRunFailure();
    if (fieldCount > maxFields) maxFields = fieldCount;
  }
  r.ProgressDone(lines.size());
  return r.Finish(maxFields);
}

}  // namespace

ReadResult ReadCsv(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  PlainReader r(plan, hooks);
  r.Begin();
  r.LoadCountryJurisdictions();
  const bool je = plan.je;
  const bool plain = !je && !plan.timapExtraColumns &&
                     std::all_of(plan.items.begin(), plan.items.end(),
                                 [](const PlanItem& item) { return item.rule == ValueRule::kNone; });
  if (plain) return ReadPlainValues(plan, text, r);
  const bool outsideIsBlank = !plan.keepAllCharacters;

  LineReader lines(text, kPlainLineChars);
  std::string_view raw;
  int lineIndex = -1;
  int maxFields = 0;
  bool inQuotes = false;
  while (lines.Next(raw)) {
    ++lineIndex;
    r.Progress(lines.offset(), lines.size());
    if (lineIndex < plan.beginRow) continue;
    if (r.LimitReached() && !(je && (r.m_recordOpen || r.m_lineCount != 0))) break;
    r.ResetLine();
    std::string_view trimmed = TrimRight(raw);
    if (CommasOnly(trimmed)) trimmed = {};

    if (!je) {
      if (plan.record.name.empty()) return ReadResult::Error(ErrorDocument::Reader(messages::kNoRecordElement));
      r.StartRecord(lineIndex);
    } else {
      if (plan.record.name.empty() && !r.m_recordOpen && r.m_lineCount == 0)
        return ReadResult::Error(ErrorDocument::Reader(messages::kNoRecordElement));
      r.JEBeginLine(lineIndex, trimmed.empty());
    }

    const int fieldCount = SplitPlainCsvLine(trimmed, inQuotes, outsideIsBlank, [&](int fieldIndex, std::string_view field) {
      for (char j : r.ItemsOfColumn(static_cast<std::size_t>(fieldIndex))) {
        const auto item = static_cast<std::size_t>(static_cast<unsigned char>(j));
        if (je) {
          if (!field.empty() && !r.JEHandleField(item, field, /*twoBlanksMessage=*/false)) return false;
        } else {
          r.HandleField(item, field);
        }
      }
      // TIMAP: every field from the seventh on is one more category code.
      if (plan.timapExtraColumns && fieldIndex > 5 && !field.empty())
        r.m_doc.AddEscapedDataNode(plan.subcategoryCode, PlainReader::StripQuotes(field), r.ValueTable());
      return true;
    });
    if (fieldCount < 0) return r.Failure();
    if (!je) r.CompleteChart();
    if (r.UpdateBlankRun(lineIndex)) return r.BlankRunFailure();
    if (fieldCount > maxFields) maxFields = fieldCount;
  }
  r.ProgressDone(lines.size());
  return r.Finish(maxFields);
}

}  // namespace zephrin
