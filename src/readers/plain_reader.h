// A plain read (comma-separated, DIF, fixed-width): the source of the plan's
// format, and the record builder over its rows.
#pragma once

#include <optional>
#include <string_view>

#include "platform/file_read.h"
#include "readers/data_text.h"
#include "readers/read_plan.h"
#include "result/read_result.h"

namespace zephrin {

class HeldSheet;

// Reads the data text by the plan and gives the read's typed outcome.
ReadResult ReadPlainFile(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks);

// Reads the plan's workbook sheet (plan.workbook is not kNone) by the plan; a
// workbook that cannot be read, or has not the sheet, ends with its reason.
ReadResult ReadWorkbookFile(const ReadPlan& plan, const ReadHooks& hooks);
// The same read of the sheet's first rows, held in memory; nullopt when the
// read needs rows past those held, for the caller to read the workbook.
std::optional<ReadResult> ReadHeldSheet(const HeldSheet& sheet, const ReadPlan& plan, const ReadHooks& hooks);

// The outcome of a data file that could not be loaded.
ReadResult LoadFailure(std::string_view dataFile, FileReadStatus status);
// The error of a read whose data file shrank while it was read.
ReadResult ChangedFailure(std::string_view dataFile);
// The error of a read the front end cancelled.
ReadResult CancelledRead();

}  // namespace zephrin
