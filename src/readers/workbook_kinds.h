// Inside the workbook source: the two kinds of workbook behind
// readers/workbook_source.h, and the words they share.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "readers/workbook_source.h"

namespace zephrin::workbook {

// "The workbook FILE cannot be read: REASON." with the reason's code.
Error Unreadable(std::string_view displayName, const Error& reason);
// "The workbook FILE has no sheet named NAME."
Error NoSheet(std::string_view displayName, std::string_view sheet);
// A sheet name as names are compared: engine text (a name in UTF-8 is
// converted), its letters upper-cased.
std::string SheetKey(std::string_view name);
// The index of the sheet `sheet` among `names` (engine text; "" is the first), or -1.
int FindSheet(const std::vector<std::string>& names, std::string_view sheet);

// An .xlsx or .xlsm workbook.
Expected<std::unique_ptr<WorkbookSource>> OpenXlsx(const std::string& osPath, std::string_view displayName,
                                                   std::string_view sheet);
Expected<std::vector<std::string>> XlsxSheets(const std::string& osPath, std::string_view displayName);

// A legacy .xls workbook.
Expected<std::unique_ptr<WorkbookSource>> OpenXls(const std::string& osPath, std::string_view displayName,
                                                  std::string_view sheet);
Expected<std::vector<std::string>> XlsSheets(const std::string& osPath, std::string_view displayName);

}  // namespace zephrin::workbook
