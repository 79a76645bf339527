#include "readers/plain_reader.h"

#include <algorithm>

#include "readers/held_sheet.h"
#include "readers/plain_sources.h"
#include "readers/reader_messages.h"
#include "readers/record_builder.h"
#include "readers/workbook_source.h"
#include "result/error_document.h"

namespace zephrin {

namespace {

std::vector<FixedWidthSource::Piece> PiecesOf(const ReadPlan& plan) {
  std::vector<FixedWidthSource::Piece> pieces;
  pieces.reserve(plan.items.size());
  for (const PlanItem& item : plan.items) pieces.push_back({item.field.nCol, item.field.nLen, item.field.placed()});
  // The items' credit columns, when there are any, are cut after them.
  if (std::none_of(plan.items.begin(), plan.items.end(), [](const PlanItem& item) { return item.credit.placed(); }))
    return pieces;
  for (const PlanItem& item : plan.items) pieces.push_back({item.credit.nCol, item.credit.nLen, item.credit.placed()});
  return pieces;
}

ReadResult Build(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  RecordBuilder builder(plan, hooks);
  switch (plan.format) {
    case SourceFormat::kCsv: {
      CsvSource source(text, plan.beginRow, !plan.keepAllCharacters, plan.separator);
      return builder.Build(source);
    }
    case SourceFormat::kDif: {
      DifSource source(text, plan.beginRow);
      // No records can be read: the read gives an empty text.
      if (source.unusable()) return ReadResult::Empty();
      return builder.Build(source);
    }
    case SourceFormat::kFixedWidth: {
      FixedWidthSource source(text, PiecesOf(plan));
      return builder.Build(source);
    }
  }
  return ReadResult::Empty();
}

}  // namespace

ReadResult ReadPlainFile(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  if (text.invalidUtf16())
    return ReadResult::Error(ErrorDocument::ReaderWith(messages::kNotUtf16Before, plan.dataFile, messages::kNotUtf16After));
  ReadResult result = Build(plan, text, hooks);
  // A file that shrank under the read gave zeros for what it lost.
  if (text.lost()) return ChangedFailure(plan.dataFile);
  result.ctrlZLine = text.ctrlZLine();
  result.notUtf8Line = text.notUtf8Line();
  result.textNamedAsWorkbook = plan.textNamedAsWorkbook;
  return result;
}

namespace {

// The records of a workbook sheet's rows; a sheet found damaged half-way
// ends the read with the reason, not with the records before it.
ReadResult BuildSheet(const ReadPlan& plan, WorkbookSource& source, const ReadHooks& hooks) {
  source.SetPrintableOnly(!plan.keepAllCharacters);
  source.SetBeginRow(plan.beginRow);
  RecordBuilder builder(plan, hooks);
  source.SetColumnsRead(builder.columnsRead());
  ReadResult result = builder.Build(source);
  if (const std::optional<Error>& failure = source.failure())
    return ReadResult::Error(ErrorDocument::Reader(failure->message));
  return result;
}

}  // namespace

ReadResult ReadWorkbookFile(const ReadPlan& plan, const ReadHooks& hooks) {
  auto source = OpenWorkbookSheet(plan.workbook, plan.dataFileOs, plan.dataFile, plan.sheet);
  if (!source) return ReadResult::Error(ErrorDocument::Reader(source.error().message));
  return BuildSheet(plan, **source, hooks);
}

std::optional<ReadResult> ReadHeldSheet(const HeldSheet& sheet, const ReadPlan& plan, const ReadHooks& hooks) {
  if (const std::optional<Error>& error = sheet.openError()) return ReadResult::Error(ErrorDocument::Reader(error->message));
  HeldSheetSource source = sheet.Source();
  ReadResult result = BuildSheet(plan, source, hooks);
  if (source.ranOut()) return std::nullopt;
  return result;
}

ReadResult ChangedFailure(std::string_view dataFile) {
  return ReadResult::Error(ErrorDocument::ReaderWith(messages::kChangedBefore, dataFile, messages::kChangedAfter));
}

ReadResult CancelledRead() { return ReadResult::Error(ErrorDocument::Reader(messages::kCancelled)); }

ReadResult LoadFailure(std::string_view dataFile, FileReadStatus status) {
  if (status == FileReadStatus::kTooLarge)
    return ReadResult::Error(ErrorDocument::ReaderWith(messages::kTooLargeBefore, dataFile, messages::kTooLargeAfter));
  return ReadResult::Error(ErrorDocument::ReaderWith(messages::kOpenBefore, dataFile, messages::kOpenAfter));
}

}  // namespace zephrin
