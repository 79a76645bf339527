// How the layout editor reads its data file beside the positions: the sheet
// of a workbook, the separator of separated text, and the template's keys
// that record both.
#include <algorithm>
#include <array>
#include <cstdio>

#include "editor/layout_editor.h"
#include "platform/text.h"
#include "readers/separator.h"
#include "readers/workbook_source.h"
#include "templates/template_store.h"

namespace zephrin {

const std::vector<SeparatorChoice>& SeparatorChoices() {
  static const std::vector<SeparatorChoice> choices{
      {',', "COMMA", "Comma"}, {'\t', "TAB", "Tab"}, {';', "SEMICOLON", "Semicolon"}, {'|', "PIPE", "Pipe"}};
  return choices;
}

char DetectTextSeparator(std::string_view text) { return SeparatorChar(DetectSeparator(text)); }

// The template's Sheet and Separator, read before the preview loads.
void CCLayout::ReadStoredReading() {
  m_storedSheet.clear();
  m_storedSeparator.clear();
  if (m_bNewTemplate) return;
  const std::string section = TemplateSection(m_name);
  ReadStoreValue(m_in.iniPath, section, "Sheet", m_storedSheet);
  ReadStoreValue(m_in.iniPath, section, "Separator", m_storedSeparator);
}

// What the data file is: a workbook opens as a grid of its sheets, whatever
// its name says; separated text gets the template's separator, or the one
// its lines show.
bool CCLayout::OpenDataFile() {
  ReadStoredReading();
  const WorkbookKind kind = SniffWorkbook(m_in.dataFilePath);
  m_workbook = kind != WorkbookKind::kNone;
  m_workbookKind = static_cast<int>(kind);
  if (m_workbook) {
    m_in.layoutLetter = 'S';
    Expected<std::vector<std::string>> sheets = WorkbookSheets(kind, m_in.dataFilePath, m_in.dataFileName);
    if (!sheets) {
      ShowMessage(sheets.error().message);
      return false;
    }
    m_sheets = std::move(*sheets);
    m_sheet = 0;
    m_missingSheet = m_storedSheet.empty() ? std::string() : UpperAscii(m_storedSheet);
    for (std::size_t i = 0; i < m_sheets.size(); ++i)
      if (UpperAscii(m_sheets[i]) == UpperAscii(m_storedSheet)) {
        m_sheet = static_cast<int>(i);
        m_missingSheet.clear();
      }
    // Shown on another sheet, the template must not move to it unasked.
    if (!m_missingSheet.empty())
      ShowMessage("The workbook " + m_in.dataFileName + " has no sheet named " + m_storedSheet +
                  ", which the template reads: its first sheet is shown, and the template keeps reading " +
                  m_storedSheet + " unless another sheet is chosen here.");
    return true;
  }
  if (!separatorChoice()) return true;
  for (const SeparatorChoice& c : SeparatorChoices())
    if (UpperAscii(m_storedSeparator) == c.stored) m_separator = c.separator;
  if (m_storedSeparator.empty()) {
    DataText text;
    if (text.Load(m_in.dataFilePath) == FileReadStatus::kOk) m_separator = DetectTextSeparator(text.text());
  }
  return true;
}

bool CCLayout::LoadGridPreviewWorkbook() {
  const std::string sheet = m_sheets.empty() ? std::string() : m_sheets[static_cast<std::size_t>(m_sheet)];
  Expected<std::unique_ptr<RowSource>> source =
      OpenWorkbook(static_cast<WorkbookKind>(m_workbookKind), m_in.dataFilePath, m_in.dataFileName, sheet);
  if (!source) {
    ShowMessage(source.error().message);
    return false;
  }
  Row row;
  int blankRun = 0;
  while ((*source)->Next(row)) {
    // Rows the sheet leaves out are blank rows of the grid.
    while (static_cast<long>(m_rowFirstCell.size()) < row.index) m_rowFirstCell.push_back(m_cells.size());
    m_rowFirstCell.push_back(m_cells.size());
    bool any = false;
    for (const zephrin::Cell& cell : row.cells) {
      if (cell.text.empty()) continue;
      SetCell(static_cast<long>(cell.column), cell.text);
      any = true;
    }
    blankRun = any ? 0 : blankRun + 1;
    if (blankRun >= kBlankLineStop) break;
  }
  if (const auto* workbook = dynamic_cast<const WorkbookSource*>(source->get()); workbook && workbook->failure()) {
    ShowMessage(workbook->failure()->message);
    return false;
  }
  return true;
}

// The grid again after a new sheet or separator: items and credit columns
// whose columns the new grid lacks lose their places, the others keep them.
void CCLayout::RefreshGrid() {
  m_creditMode = false;
  LoadPreview();
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    FieldInfo& f = m_fields[i];
    if (f.placed() && static_cast<long>(f.nCol) + 1 >= m_gridCols) f = FieldInfo{};
    if (f.placed()) m_headers[f.nCol + 1u] = m_captions[i];
    if (!f.placed()) m_credits[i] = FieldInfo{};
  }
  SetCredits(m_credits);
  const FieldInfo* f = Cur();
  m_Col = f != nullptr && f->placed() ? f->nCol + 1 : 0;
  m_Len = f != nullptr ? f->nLen : 0;
  WriteBoxes(m_Col, m_Len);
}

void CCLayout::SelectSheet(int index) {
  if (!m_workbook || index < 0 || static_cast<std::size_t>(index) >= m_sheets.size()) return;
  // A sheet chosen here is the template's.
  m_missingSheet.clear();
  if (index == m_sheet) return;
  m_sheet = index;
  RefreshGrid();
}

void CCLayout::SetSeparator(char separator) {
  const auto& choices = SeparatorChoices();
  const bool known = std::any_of(choices.begin(), choices.end(), [&](const auto& c) { return c.separator == separator; });
  if (!separatorChoice() || !known || separator == m_separator) return;
  m_separator = separator;
  RefreshGrid();
}

std::vector<std::pair<std::string, std::string>> CCLayout::ExtraKeys() const {
  std::vector<std::pair<std::string, std::string>> keys;
  if (m_workbook && !m_missingSheet.empty()) keys.emplace_back("Sheet", m_missingSheet);
  else if (m_workbook && m_sheet > 0) keys.emplace_back("Sheet", UpperAscii(m_sheets[static_cast<std::size_t>(m_sheet)]));
  if (separatorChoice() && m_separator != ',')
    for (const SeparatorChoice& c : SeparatorChoices())
      if (c.separator == m_separator) keys.emplace_back("Separator", std::string(c.stored));
  if (m_amounts == AmountStyle::kSigned) keys.emplace_back("Amounts", "SIGNED");
  if (m_amounts == AmountStyle::kSignedComma) keys.emplace_back("Amounts", "SIGNED COMMA");
  char buf[32];
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    const FieldInfo& c = m_credits[i];
    if (!m_fields[i].placed() || !c.placed()) continue;
    std::snprintf(buf, sizeof buf, "%d %d %d", c.nCol, c.nLen, c.nLineCode);
    keys.emplace_back(std::string(m_keys[i]) + ".Credit", buf);
  }
  return keys;
}

}  // namespace zephrin
