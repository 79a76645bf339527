// The layout editor's preview of the data file: a grid for comma-separated
// and DIF files, a text for fixed-width files.
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "editor/layout_editor.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/data_text.h"
#include "readers/dif_format.h"

namespace zephrin {

namespace {

constexpr std::string_view kBlankLinesMessage =
    "This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded blank "
    "lines before import.";

bool Printable(unsigned char c) { return c >= 32 && c <= 126; }

}  // namespace

bool CCLayout::LoadPreview() {
  m_cellText.clear();
  m_cells.clear();
  m_rowFirstCell.clear();
  m_gridCols = 1;
  m_text.clear();
  m_lineStart.clear();
  m_nLongest = 0;
  m_lineCodes.clear();

  if (m_workbook) {
    const bool loaded = LoadGridPreviewWorkbook();
    FinishGrid();
    return loaded;
  }
  // The file as the readers see it, so that positions here are theirs; the
  // text preview shows the file in binary, past a Ctrl-Z too.
  DataText text;
  if (text.Load(m_in.dataFilePath, /*binary=*/!gridLayout()) != FileReadStatus::kOk) {
    ShowMessage("Error opening/reading " + m_in.dataFileName);
    FinishGrid();
    return false;
  }
  if (!gridLayout()) {
    std::string copy(text.text());
    LoadTextPreview(copy);
    return true;
  }
  if (m_in.layoutLetter == 'S') LoadGridPreviewCsv(text);
  else LoadGridPreviewDif(text);
  FinishGrid();
  return true;
}

void CCLayout::SetCell(long dataCol, std::string_view text) {
  if (dataCol < 0 || dataCol >= kMaxPreviewColumns - 1) return;
  m_cells.push_back(Cell{static_cast<uint32_t>(dataCol), static_cast<uint32_t>(text.size()), m_cellText.size()});
  const std::size_t at = m_cellText.size();
  m_cellText.append(text);
  // What the grid shows: characters outside the printable range as blanks.
  for (std::size_t i = at; i < m_cellText.size(); ++i)
    if (!Printable(static_cast<unsigned char>(m_cellText[i]))) m_cellText[i] = ' ';
  m_gridCols = std::max(m_gridCols, dataCol + 2);
}

bool CCLayout::LoadGridPreviewCsv(const DataText& text) {
  LineReader lines(text.text(), kPlainLineChars, text.hasNul());
  std::string_view raw;
  bool inQuotes = false;
  int blankRun = 0;
  m_cellText.reserve(text.text().size());
  while (lines.Next(raw)) {
    m_rowFirstCell.push_back(m_cells.size());
    bool any = false;
    SplitSeparatedLine(TrimRight(raw), m_separator, inQuotes, /*outsideIsBlank=*/true, [&](int index, std::string_view field) {
      if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
      if (!field.empty()) {
        SetCell(index, field);
        any = true;
      }
      return true;
    });
    if (any) {
      blankRun = 0;
    } else if (++blankRun == kBlankLineStop) {
      ShowMessage(kBlankLinesMessage);
      break;
    }
  }
  return true;
}

bool CCLayout::LoadGridPreviewDif(const DataText& text) {
  LineReader lines(text.text(), kPlainLineChars, text.hasNul());
  const DifHeader h = ReadDifHeader(lines);
  if (!h.sawData) return true;
  long columns = h.excel ? h.rows : h.columns;
  columns = std::clamp(columns, 0L, kMaxPreviewColumns - 1);
  m_gridCols = columns + 1;

  bool inRow = false, any = false;
  long cell = 0;
  int blankRun = 0;
  // Ends the current row; true when the blank-row stop is reached.
  const auto finishRow = [&]() {
    if (!inRow) return false;
    inRow = false;
    if (any) {
      blankRun = 0;
    } else if (++blankRun == kBlankLineStop) {
      ShowMessage(kBlankLinesMessage);
      return true;
    }
    return false;
  };
  const auto put = [&](std::string_view value) {
    if (cell < columns && !value.empty()) {
      SetCell(cell, value);
      any = true;
    }
    ++cell;
  };

  std::string_view raw;
  // A number's cell was the last put: the line after it may tell that it is
  // #N/A or an error rather than its placeholder 0, as the reader takes it.
  bool afterNumber = false;
  while (lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    const bool numberBefore = std::exchange(afterNumber, false);
    if (line == "BOT") {
      if (finishRow()) return true;
      m_rowFirstCell.push_back(m_cells.size());
      inRow = true;
      any = false;
      cell = 0;
      continue;
    }
    if (!inRow) continue;
    if (line == "EOD") {
      if (finishRow()) return true;
      continue;
    }
    if (!line.empty() && line[0] == '0') {
      // A number: its text after "0,".
      const std::size_t cells = m_cells.size();
      put(line.size() > 1 && line[1] == ',' ? TrimLeft(line.substr(2)) : std::string_view());
      afterNumber = m_cells.size() > cells;
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (!lines.Next(str)) {
        ++cell;
        break;
      }
      // A text with line breaks in it, as the reader takes it.
      std::string joined;
      if (!text.hasNul() && DifStringLeftOpen(str)) {
        LineReader ahead(text.text(), kPlainLineChars, false, lines.offset());
        const int more = DifStringLinesAfter(str, [&](std::string_view& l) { return ahead.Next(l); }, joined);
        for (int k = 0; k < more; ++k) lines.Next(raw);
        if (more > 0) str = joined;
      }
      put(DifStringValue(str));
    } else if (const std::string_view mark = DifNumberMark(line); numberBefore && !mark.empty()) {
      m_cellText.resize(m_cells.back().offset);
      m_cellText.append(mark);
      m_cells.back().len = static_cast<uint32_t>(mark.size());
    }
  }
  finishRow();
  return true;
}

void CCLayout::FinishGrid() {
  if (!gridLayout()) return;
  // Journal-entry grids get one more column after loading.
  if (m_nTypeID == EditorKind::JournalEntry) m_gridCols = std::min(m_gridCols + 1, kMaxPreviewColumns);
  m_headers.assign(static_cast<std::size_t>(m_gridCols), std::string());
  for (long c = 1; c < m_gridCols; ++c) m_headers[static_cast<std::size_t>(c)] = ColumnName(static_cast<std::size_t>(c - 1));
  if (m_nTypeID == EditorKind::JournalEntry) {
    std::vector<bool> blank(m_rowFirstCell.size());
    for (std::size_t r = 0; r < m_rowFirstCell.size(); ++r) {
      const std::size_t end = r + 1 < m_rowFirstCell.size() ? m_rowFirstCell[r + 1] : m_cells.size();
      blank[r] = end == m_rowFirstCell[r];
    }
    m_lineCodes = ComputeLineCodes(blank);
  }
}

void CCLayout::LoadTextPreview(std::string& text) {
  // Line ends as the readers see them: a carriage return before a line feed
  // is dropped. Every other byte outside the printable range becomes a blank,
  // except form feed and Ctrl-Z, which the text keeps.
  std::size_t out = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < n && text[i + 1] == '\n') continue;
    if (!Printable(static_cast<unsigned char>(c)) && c != '\n' && c != '\r' && c != '\f' && c != '\x1A') c = ' ';
    text[out++] = c;
  }
  text.resize(out);
  m_text = std::move(text);

  m_lineStart.push_back(0);
  for (std::size_t i = 0; i < m_text.size(); ++i)
    if (m_text[i] == '\n') m_lineStart.push_back(i + 1);

  const std::size_t lines = m_lineStart.size();
  int blankRun = 0;
  for (std::size_t l = 0; l < lines; ++l) {
    m_nLongest = std::max(m_nLongest, lineLength(l));
    if (!TrimRight(line(l)).empty()) {
      blankRun = 0;
    } else if (++blankRun == kBlankLineStop) {
      ShowMessage(kBlankLinesMessage);
      break;
    }
  }
  if (m_nTypeID == EditorKind::JournalEntry) {
    std::vector<bool> blank(lines);
    for (std::size_t l = 0; l < lines; ++l) blank[l] = TrimRight(line(l)).empty();
    m_lineCodes = ComputeLineCodes(blank);
  }
}

}  // namespace zephrin
