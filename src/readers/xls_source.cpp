// A legacy .xls workbook, read through FreeXL: it loads the sheet's cells
// whole (an .xls sheet holds 65,536 rows at most) and gives each as a
// number, a text, or a date, a date and time or a time it has already
// written out ("2024-03-31", "2024-03-31 14:05:00", "14:05:00"). FreeXL
// gives no formula cell and gives booleans and errors as numbers: those
// cells come from the check of the records made before FreeXL opens the
// file, which keeps them as the workbook holds them.
#include <freexl.h>

#include <algorithm>
#include <charconv>

#include "readers/workbook_kinds.h"
#include "readers/workbook_values.h"
#include "readers/xls_compound.h"

namespace zephrin::workbook {

namespace {

// The grid of an .xls sheet.
constexpr unsigned kXlsRows = 65536;
constexpr unsigned kXlsColumns = 256;

Error Invalid(std::string reason) { return Error{ErrorCode::kInvalid, std::move(reason)}; }

// What FreeXL's failure says, in the engine's words.
Error FreeXlFailure(int code) {
  switch (code) {
    case FREEXL_FILE_NOT_FOUND: return Invalid("it cannot be opened");
    case FREEXL_INSUFFICIENT_MEMORY: return Error{ErrorCode::kOutOfMemory, "there is not enough memory"};
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return Invalid("its compound document holds no workbook (an encrypted workbook holds none)");
    case FREEXL_INVALID_CHARACTER: case FREEXL_UNSUPPORTED_CHARSET:
      return Invalid("its text is in a character set that cannot be read");
    case FREEXL_INVALID_CFBF_HEADER: case FREEXL_CFBF_READ_ERROR: case FREEXL_CFBF_SEEK_ERROR:
    case FREEXL_CFBF_INVALID_SIGNATURE: case FREEXL_CFBF_INVALID_SECTOR_SIZE: case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY: case FREEXL_INVALID_MINI_STREAM: case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
      return Invalid("its compound document is damaged");
    default: return Invalid("its workbook is damaged");
  }
}

// A workbook opened by FreeXL, closed with its owner.
class XlsHandle {
 public:
  ~XlsHandle() {
    if (m_handle) freexl_close(m_handle);
  }
  const void* get() const { return m_handle; }
  const void** out() { return &m_handle; }

 private:
  const void* m_handle = nullptr;
};

Expected<std::vector<std::string>> SheetNames(const void* handle) {
  unsigned count = 0;
  if (const int rc = freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count); rc != FREEXL_OK)
    return FreeXlFailure(rc);
  std::vector<std::string> names;
  for (unsigned i = 0; i < count && i <= 0xFFFF; ++i) {
    const char* name = nullptr;
    if (const int rc = freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name); rc != FREEXL_OK)
      return FreeXlFailure(rc);
    std::string text;
    AppendEngineText(text, name ? name : "");
    names.push_back(std::move(text));
  }
  return names;
}

// Opens the workbook, refusing one that is protected by a password. Gives
// the sheets whose cells FreeXL cannot give.
Expected<SheetLosses> OpenHandle(const std::string& osPath, XlsHandle& handle, bool infoOnly) {
  Expected<SheetLosses> checked = CheckCompoundDocument(osPath);
  if (!checked) return checked;
  const int rc = infoOnly ? freexl_open_info(osPath.c_str(), handle.out()) : freexl_open(osPath.c_str(), handle.out());
  if (rc != FREEXL_OK) return FreeXlFailure(rc);
  unsigned password = 0;
  if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password != FREEXL_BIFF_PLAIN)
    return Invalid("it is protected by a password");
  return checked;
}

// Refuses the sheet at `position` when FreeXL cannot give its cells.
Done CheckSheetKept(const SheetLosses& losses, int position, const std::string& name) {
  if (position == losses.emptied) {
    return Invalid("its sheet " + name +
                   " cannot be read while another sheet has no dimensions (as a chart sheet has none); saved as "
                   ".xlsx it can");
  }
  if (std::find(losses.tableless.begin(), losses.tableless.end(), position) != losses.tableless.end())
    return Invalid("its sheet " + name + " has no dimensions (as a chart sheet has none) and cannot be read");
  return {};
}

// FreeXL's "YYYY-MM-DD[ HH:MM:SS]" as "MM/DD/YYYY[ HH:MM:SS]"; other text as it is.
void AppendFreeXlDate(std::string& out, std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return AppendEngineText(out, text);
  out.append(text.substr(5, 2)).append("/").append(text.substr(8, 2)).append("/").append(text.substr(0, 4));
  out.append(text.substr(10));
}

class XlsSheetSource : public WorkbookSource {
 public:
  XlsSheetSource(std::unique_ptr<XlsHandle> handle, std::string displayName, unsigned rows, unsigned columns,
                 KeptCells kept)
      : m_handle(std::move(handle)),
        m_display(std::move(displayName)),
        m_rowCount(rows),
        m_columns(columns),
        m_kept(std::move(kept)) {}

  bool Next(Row& row) override {
    while (!m_failure) {
      if (m_rows.Give(row, m_printableOnly)) {
        if (row.index < m_beginRow) continue;
        return true;
      }
      if (m_row >= m_rowCount) return false;
      ReadRow(m_row++);
    }
    return false;
  }
  // Progress counts rows.
  std::size_t consumed() const override { return m_row; }
  std::size_t size() const override { return m_rowCount; }
  int templateColumns() const override { return m_rows.templateColumns(); }

 private:
  void ReadRow(unsigned r) {
    m_rows.BeginRow(static_cast<int32_t>(r));
    const std::vector<KeptCell>& kept = m_kept.cells();
    while (m_nextKept < kept.size() && kept[m_nextKept].row < r) ++m_nextKept;
    for (unsigned c = 0; c < m_columns; ++c) {
      // A formula's result, a boolean or an error, as the workbook holds it.
      if (m_nextKept < kept.size() && kept[m_nextKept].row == r && kept[m_nextKept].column == c) {
        const KeptCell& cell = kept[m_nextKept++];
        std::string& text = m_rows.text();
        const std::size_t start = text.size();
        text.append(m_kept.text(cell));
        FinishCell(text, start);
        m_rows.AddOwnCell(c, start, cell.number);
        continue;
      }
      FreeXL_CellValue value{};
      if (const int rc = freexl_get_cell_value(m_handle->get(), r, static_cast<unsigned short>(c), &value);
          rc != FREEXL_OK) {
        m_failure = Unreadable(m_display, FreeXlFailure(rc));
        return;
      }
      if (value.type == FREEXL_CELL_NULL) continue;
      std::string& text = m_rows.text();
      const std::size_t start = text.size();
      AppendValue(text, value);
      FinishCell(text, start);
      m_rows.AddOwnCell(c, start, value.type == FREEXL_CELL_INT || value.type == FREEXL_CELL_DOUBLE);
    }
    m_rows.EndRow();
  }

  static void AppendValue(std::string& out, const FreeXL_CellValue& value) {
    switch (value.type) {
      case FREEXL_CELL_INT: {
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, value.value.int_value);
        out.append(digits, result.ptr);
        return;
      }
      case FREEXL_CELL_DOUBLE: return AppendNumber(out, value.value.double_value);
      case FREEXL_CELL_DATE: case FREEXL_CELL_DATETIME:
        return AppendFreeXlDate(out, value.value.text_value ? value.value.text_value : "");
      case FREEXL_CELL_TIME: case FREEXL_CELL_TEXT: case FREEXL_CELL_SST_TEXT:
        return AppendEngineText(out, value.value.text_value ? value.value.text_value : "");
      default: return;
    }
  }

  std::unique_ptr<XlsHandle> m_handle;
  std::string m_display;
  unsigned m_rowCount, m_columns;
  unsigned m_row = 0;
  RowAssembler m_rows;
  KeptCells m_kept;  // the sheet's own
  std::size_t m_nextKept = 0;
};

}  // namespace

Expected<std::unique_ptr<WorkbookSource>> OpenXls(const std::string& osPath, std::string_view displayName,
                                                  std::string_view sheet) {
  auto handle = std::make_unique<XlsHandle>();
  const Expected<SheetLosses> losses = OpenHandle(osPath, *handle, false);
  if (!losses) return Unreadable(displayName, losses.error());
  auto names = SheetNames(handle->get());
  if (!names) return Unreadable(displayName, names.error());
  const int found = FindSheet(*names, sheet);
  if (found < 0) {
    if (sheet.empty()) return Unreadable(displayName, Invalid("it holds no sheet"));
    return NoSheet(displayName, sheet);
  }
  // Rather than rows without cells, or a cell FreeXL cannot give, a refusal
  // that says why.
  if (Done lost = CheckSheetKept(*losses, found, (*names)[found]); !lost) return Unreadable(displayName, lost.error());
  unsigned rows = 0;
  unsigned short columns = 0;
  int rc = freexl_select_active_worksheet(handle->get(), static_cast<unsigned short>(found));
  if (rc == FREEXL_OK) rc = freexl_worksheet_dimensions(handle->get(), &rows, &columns);
  if (rc != FREEXL_OK) return Unreadable(displayName, FreeXlFailure(rc));
  if (rows > kXlsRows || columns > kXlsColumns)
    return Unreadable(displayName, Invalid("the sheet's dimensions are outside the grid"));
  return std::unique_ptr<WorkbookSource>(
      std::make_unique<XlsSheetSource>(std::move(handle), std::string(displayName), rows, columns,
                                       losses->kept.Of(static_cast<uint32_t>(found))));
}

Expected<std::vector<std::string>> XlsSheets(const std::string& osPath, std::string_view displayName) {
  XlsHandle handle;
  if (const auto opened = OpenHandle(osPath, handle, true); !opened) return Unreadable(displayName, opened.error());
  auto names = SheetNames(handle.get());
  if (!names) return Unreadable(displayName, names.error());
  return names;
}

}  // namespace zephrin::workbook
