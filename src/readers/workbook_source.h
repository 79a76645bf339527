// Excel workbooks as a source of rows: a sheet of an .xlsx or .xlsm workbook
// (a zip archive of XML parts, the sheet streamed a piece at a time) or of a
// legacy .xls workbook (a compound document). A sheet is a grid, read as a
// comma-separated file of the same grid would be: a row per sheet row from
// row 1 up to the last row that holds a value, and a cell per column from A
// up to the row's last cell that holds a value. Each cell's text is its value
// as the workbook shows it (see readers/workbook_values.h) in engine text.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "readers/row_source.h"

namespace zephrin {

enum class WorkbookKind { kNone, kXlsx, kXls };

// What the first bytes of a file say: a zip archive holding xl/workbook.xml
// (or, when the archive is too damaged to list, whose bytes name that part),
// or a compound document (the signature D0 CF 11 E0 A1 B1 1A E1). A file that
// cannot be opened, or is not a regular file, is kNone.
WorkbookKind SniffWorkbook(const std::string& osPath);

// The rows of one sheet. A failure found while the rows are read (a sheet
// malformed half-way) ends the rows: Next gives false and failure() says why.
class WorkbookSource : public RowSource {
 public:
  const std::optional<Error>& failure() const { return m_failure; }
  // Whether a cell's trailing bytes outside printable ASCII go from its text
  // as its trailing blanks do (the reads that show only printable ASCII),
  // as they go from a comma-separated field. On unless set off.
  void SetPrintableOnly(bool on) { m_printableOnly = on; }
  // Rows before this index are not given, as a comma-separated file's lines
  // before the template's first row are not read.
  void SetBeginRow(int32_t index) { m_beginRow = index; }
  // The columns the read takes cells of (those before this one): a cell
  // past them, or before the begin row, is no concern of the read's.
  void SetColumnsRead(std::size_t columns) { m_columnsRead = columns; }

 protected:
  // Whether the read takes the cell at `row` (an index) and `column`.
  bool TakesCell(int64_t row, std::size_t column) const { return row >= m_beginRow && column < m_columnsRead; }
  std::optional<Error> m_failure;
  bool m_printableOnly = true;
  int32_t m_beginRow = 0;
  std::size_t m_columnsRead = static_cast<std::size_t>(-1);
};

// Opens the sheet `sheet` (compared without regard to case; "" = the first
// sheet in the workbook's order). The Error's message is the whole sentence a
// person reads, with `displayName` for FILE: "The workbook FILE has no sheet
// named NAME." (ErrorCode::kNotFound) or "The workbook FILE cannot be read:
// REASON." (ErrorCode::kInvalid, or kTooLarge for a part that inflates past
// what a workbook's may). Sheet names are engine text; a `sheet` in UTF-8 is
// taken as well.
Expected<std::unique_ptr<WorkbookSource>> OpenWorkbookSheet(WorkbookKind kind, const std::string& osPath,
                                                            std::string_view displayName, std::string_view sheet);
Expected<std::unique_ptr<RowSource>> OpenWorkbook(WorkbookKind kind, const std::string& osPath,
                                                  std::string_view displayName, std::string_view sheet);

// The sheets' names in workbook order (for the editor's tabs), in engine text.
Expected<std::vector<std::string>> WorkbookSheets(WorkbookKind kind, const std::string& osPath,
                                                   std::string_view displayName);

}  // namespace zephrin
