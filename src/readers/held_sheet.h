// The first rows of a workbook sheet, read once and given again to every
// template a suggestion tries. Opening a workbook reads its shared strings
// whole, which costs far more than trying a template on the first records:
// a suggestion among many templates opens each sheet once instead of once a
// template.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "readers/row_source.h"
#include "readers/workbook_source.h"

namespace zephrin {

class HeldSheetSource;

class HeldSheet {
 public:
  // Reads the sheet's rows from its first on, every character kept, up to
  // `maxRows` rows or about `maxBytes` bytes of cell text; a sheet that
  // cannot be opened holds the error its read gives.
  static HeldSheet Read(WorkbookKind kind, const std::string& osPath, std::string_view displayName,
                        std::string_view sheet, std::size_t maxRows, std::size_t maxBytes);

  // Why the sheet could not be opened, when it could not.
  const std::optional<Error>& openError() const { return m_openError; }
  // Whether every row of the sheet is held.
  bool complete() const { return m_complete; }

  // The held rows as the workbook's own source gives them; set its begin
  // row and printable-only setting as for that source.
  HeldSheetSource Source() const;

 private:
  friend class HeldSheetSource;
  struct HeldRow {
    int32_t index = 0;
    bool blank = false;
    uint32_t cells = 0;  // the row's cells, from column A up to its last with a value
    uint32_t firstValue = 0, values = 0;  // its cells with text, in m_values
    int templateColumns = 0;  // the source's count once the row was given
  };
  struct HeldValue {
    uint32_t column = 0;
    uint32_t offset = 0, size = 0;  // in m_text
    bool number = false;           // a number cell's
  };

  std::optional<Error> m_openError;
  std::vector<HeldRow> m_rows;
  std::vector<HeldValue> m_values;
  std::string m_text;
  // Every row of the sheet is held; its failure, when its rows ended with one.
  bool m_complete = false;
  std::optional<Error> m_failure;
};

// The rows of a HeldSheet, each cell trimmed as the workbook's source trims
// it (the rows are held with only their blanks trimmed; a printable-only read
// trims the bytes outside printable ASCII too). When a read needs a row past
// those held while the sheet goes on, the rows end and ranOut() says so.
class HeldSheetSource : public WorkbookSource {
 public:
  explicit HeldSheetSource(const HeldSheet& sheet) : m_sheet(sheet) {}

  bool Next(Row& row) override;
  std::size_t consumed() const override { return m_at; }
  std::size_t size() const override { return m_sheet.m_rows.size(); }
  int templateColumns() const override { return m_columns; }
  bool ranOut() const { return m_ranOut; }

 private:
  void Give(const HeldSheet::HeldRow& held, Row& row) const;

  const HeldSheet& m_sheet;
  std::size_t m_at = 0;
  int m_columns = 0;
  bool m_ranOut = false;
};

}  // namespace zephrin
