#include "readers/held_sheet.h"

#include "readers/csv_split.h"

namespace zephrin {

bool HeldSheetSource::Next(Row& row) {
  while (m_at < m_sheet.m_rows.size()) {
    const HeldSheet::HeldRow& held = m_sheet.m_rows[m_at++];
    // The workbook's source counts the columns of the rows it passes over too.
    m_columns = held.templateColumns;
    if (held.index < m_beginRow) continue;
    Give(held, row);
    return true;
  }
  if (!m_sheet.m_complete) m_ranOut = true;
  else if (m_sheet.m_failure) m_failure = m_sheet.m_failure;
  return false;
}

void HeldSheetSource::Give(const HeldSheet::HeldRow& held, Row& row) const {
  row.Clear();
  row.index = held.index;
  row.blank = held.blank;
  row.cells.reserve(held.cells);
  const std::string_view text = m_sheet.m_text;
  const HeldSheet::HeldValue* value = m_sheet.m_values.data() + held.firstValue;
  const HeldSheet::HeldValue* const end = value + held.values;
  for (uint32_t c = 0; c < held.cells; ++c) {
    std::string_view cell;
    bool number = false;
    if (value != end && value->column == c) {
      cell = csv_split::TrimField(text.substr(value->offset, value->size), m_printableOnly);
      number = value->number;
      ++value;
    }
    row.cells.push_back({c, cell, number});
    row.textBytes += cell.size();
  }
}

HeldSheet HeldSheet::Read(WorkbookKind kind, const std::string& osPath, std::string_view displayName,
                          std::string_view sheet, std::size_t maxRows, std::size_t maxBytes) {
  HeldSheet held;
  auto source = OpenWorkbookSheet(kind, osPath, displayName, sheet);
  if (!source) {
    held.m_openError = source.TakeError();
    return held;
  }
  WorkbookSource& rows = **source;
  rows.SetPrintableOnly(false);
  Row row;
  while (held.m_rows.size() < maxRows && held.m_text.size() < maxBytes) {
    if (!rows.Next(row)) {
      held.m_complete = true;
      held.m_failure = rows.failure();
      break;
    }
    HeldRow h;
    h.index = row.index;
    h.blank = row.blank;
    h.cells = static_cast<uint32_t>(row.cells.size());
    h.firstValue = static_cast<uint32_t>(held.m_values.size());
    for (const Cell& cell : row.cells) {
      if (cell.text.empty()) continue;
      held.m_values.push_back({cell.column, static_cast<uint32_t>(held.m_text.size()),
                               static_cast<uint32_t>(cell.text.size()), cell.number});
      held.m_text.append(cell.text);
    }
    h.values = static_cast<uint32_t>(held.m_values.size()) - h.firstValue;
    h.templateColumns = rows.templateColumns();
    held.m_rows.push_back(h);
  }
  return held;
}

HeldSheetSource HeldSheet::Source() const { return HeldSheetSource(*this); }

}  // namespace zephrin
