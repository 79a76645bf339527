// The comma-separated reader.
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
}  // namespace

ReadResult ReadCsv(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  PlainReader r(plan, hooks);
  r.Begin();
  r.LoadCountryJurisdictions();
  const bool je = plan.je;
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
