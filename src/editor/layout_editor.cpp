#include "editor/layout_editor.h"

#include "readers/header_captions.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/format.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

constexpr std::string_view kInvalidColumn = "Invalid column number";
constexpr std::string_view kCreditNeedsSigned =
    "A credit column needs signed amounts: choose \"Signed, 1,234.50\" or \"Signed, 1.234,50\" under Amounts.";
// The largest column a box may name in the fixed-width layout: nCol is 16-bit.
constexpr long kMaxStoredColumn = 65536;

// The number in a numbers-only edit box: its digits, 0 when it is empty or
// holds anything else (as a failed GetDlgItemInt gives).
long BoxNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return 0;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

std::string ColumnName(std::size_t c) {
  // Bijective base 26: A..Z, AA..AZ, BA..ZZ, AAA...
  std::string name;
  std::size_t n = c + 1;
  while (n > 0) {
    const std::size_t r = (n - 1) % 26;
    name.insert(name.begin(), static_cast<char>('A' + r));
    n = (n - 1) / 26;
  }
  return name;
}

std::vector<uint16_t> ComputeLineCodes(const std::vector<bool>& blank) {
  enum class State { Header, Accounts, Closing } state = State::Header;
  uint16_t counter = 0;
  std::vector<uint16_t> codes;
  codes.reserve(blank.size());
  for (const bool b : blank) {
    switch (state) {
      case State::Header:
        if (b) {
          codes.push_back(kLineCodeFirstBlank);
          state = State::Accounts;
        } else {
          codes.push_back(counter++);
        }
        break;
      case State::Accounts:
        if (b) {
          codes.push_back(kLineCodeBlank);
          state = State::Closing;
        } else {
          codes.push_back(kLineCodeAccounts);
        }
        break;
      case State::Closing:
        if (b) {
          codes.push_back(kLineCodeBlank);
          counter = 0;
          state = State::Header;
        } else {
          codes.push_back(0);
        }
        break;
    }
  }
  return codes;
}

CCLayout::CCLayout(LayoutEditorInputs inputs, UserInterface& ui) : m_in(std::move(inputs)), m_ui(ui) {
  if (m_in.layoutLetter != 'S' && m_in.layoutLetter != 'I') m_in.layoutLetter = 'R';
}

void CCLayout::ShowMessage(std::string_view text) { m_ui.ShowMessage("Import", AnsiToUtf8(text), MessageIcon::None); }

void CCLayout::Refuse(std::string_view message, BoxRefusal refusal) {
  ShowMessage(message);
  m_refusal = refusal;
}

void CCLayout::TraceF(const char* format, ...) {
  if (!m_trace) return;
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  m_trace(line);
}

// ---- Set-up -------------------------------------------------------------------

void CCLayout::ApplyHostCode() {
  const HostTypeInfo* t = FindHostType(m_in.hostCode);
  if (t != nullptr) {
    m_nTypeID = t->editorKind;
    m_caption = t->caption;
    m_strLayoutType = t->itemSet;
  } else {
    m_nTypeID = EditorKind::Standard;
    m_caption.clear();
    m_strLayoutType = "COA";
  }
  const CheckGroup group = EditorCheckGroup(m_in.hostCode, m_in.intlKind);
  m_bChartOnly = group == CheckGroup::ChartOnly;
  m_bBalanceOnly = group == CheckGroup::BalanceOnly;
  m_bIntl = m_in.hostCode == "ICA";
  m_bCanModifyIntl = m_in.hostCode == "INTL";
}

void CCLayout::FillKindList() {
  m_kindEntries.clear();
  m_kindSelection = -1;
  m_kindLabel.clear();
  if (m_nTypeID == EditorKind::International) {
    m_kindLabel = "International Set Up";
    const int first = m_bBalanceOnly ? 8 : 0;
    for (int k = first; k < kIntlKindCount; ++k) {
      const IntlKind* kind = FindIntlKind(k);
      m_kindEntries.emplace_back(k, kind != nullptr ? kind->displayName : "");
      if (k == m_in.intlKind) m_kindSelection = static_cast<int>(m_kindEntries.size()) - 1;
    }
    if (m_kindSelection < 0) m_kindSelection = 0;
  } else if (m_bIntl) {
    m_kindLabel = "Jurisdictions";
    m_kindEntries.emplace_back(0, "Int'l");
    m_kindSelection = 0;
  }
}

bool CCLayout::Initialise() {
  m_nCurSel = -1;
  ApplyHostCode();
  if (m_in.templateName.empty()) {
    m_bNewTemplate = true;
    m_name.clear();
  } else {
    m_bNewTemplate = false;
    // The name box holds 64 characters; its text update reads the name back.
    m_name = m_in.templateName.substr(0, kMaxTemplateNameChars);
    if (m_nTypeID == EditorKind::Standard) {
      std::string info;
      ReadStoreValue(m_in.iniPath, TemplateSection(m_name), "Info", info);
      const ItemSet* set = FindEditorItemSet(info);
      m_strLayoutType = set != nullptr ? info : (m_bIntl ? "ICOA" : "COA");
    }
  }
  FillKindList();
  if (!OpenDataFile()) {
    FinishGrid();
    return false;
  }
  if (!LoadPreview()) return false;
  LoadItems();
  const FieldInfo* f = Cur();
  WriteBoxes(f != nullptr && f->placed() ? f->nCol + 1 : 0, f != nullptr ? f->nLen : 0);
  TraceF("ImportType=%s, m_nTypeID=%d, m_strLayoutType=%s, m_bIntl=%d, m_bChartOnly=%d, m_bBalanceOnly=%d, "
         "m_bCanModifyIntl=%d",
         m_in.hostCode.c_str(), static_cast<int>(m_nTypeID), m_strLayoutType.c_str(), m_bIntl ? 1 : 0,
         m_bChartOnly ? 1 : 0, m_bBalanceOnly ? 1 : 0, m_bCanModifyIntl ? 1 : 0);
  if (gridLayout()) m_focus = EditorFocus::Grid;
  m_bInitialised = true;
  return true;
}

void CCLayout::LoadItems() {
  const ItemSet* set = nullptr;
  switch (m_nTypeID) {
    case EditorKind::JournalEntry: m_strLayoutType = "JE"; break;
    case EditorKind::TaxCategory: m_strLayoutType = "TCC"; break;
    case EditorKind::Consolidation: m_strLayoutType = "CONSOLMEMBERS"; break;
    case EditorKind::International: m_strLayoutType = "INTL"; break;
    case EditorKind::Standard:
      if (FindEditorItemSet(m_strLayoutType) == nullptr) m_strLayoutType = m_bIntl ? "ICOA" : "COA";
      break;
  }
  if (m_nTypeID == EditorKind::International) {
    const IntlKind* kind = FindIntlKind(m_in.intlKind);
    m_keys = kind != nullptr ? kind->keys : nullptr;
  } else if (m_strLayoutType == "INSURWP") {
    m_keys = m_in.insurWPItems;
  } else {
    set = FindEditorItemSet(m_strLayoutType);
    m_keys = set != nullptr ? set->keys : nullptr;
  }
  m_itemCount = std::min(ItemCount(m_keys), kMaxFieldInfo);
  m_captions.clear();
  for (std::size_t i = 0; i < m_itemCount; ++i) m_captions.push_back(ItemCaption(m_keys[i]));

  m_fields = FieldInfoArray{};
  if (!m_bNewTemplate && m_itemCount > 0) LoadTemplate(m_keys, m_fields, m_in.iniPath, m_name);

  if (gridLayout()) {
    for (std::size_t i = 0; i < m_itemCount; ++i) {
      FieldInfo& f = m_fields[i];
      if (!f.placed()) continue;
      if (m_gridCols <= static_cast<long>(f.nCol) + 1) {
        f = FieldInfo{};  // its column is not in this file
        continue;
      }
      m_headers[f.nCol + 1u] = m_captions[i];
    }
  }
  LoadStoredAmounts();

  m_nCurSel = -1;
  if (m_itemCount > 0) m_nCurSel = (!IsItemAvailable(0) && m_itemCount > 1) ? 1 : 0;
}

bool CCLayout::IsItemAvailable(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_itemCount) return false;
  AvailabilityInput in;
  in.editorKind = m_nTypeID;
  in.itemSet = m_strLayoutType;
  in.checkGroup = m_bChartOnly ? CheckGroup::ChartOnly : m_bBalanceOnly ? CheckGroup::BalanceOnly : CheckGroup::Neither;
  in.batchMode = m_in.batchMode;
  in.ica = m_bIntl;
  in.taxReturnType = m_in.taxReturnType;
  in.options = m_in.options;
  in.intlKind = m_in.intlKind;
  return zephrin::IsItemAvailable(in, index);
}

// ---- Headers and the duplicate rule --------------------------------------------

void CCLayout::RestoreHeader(uint16_t nCol) {
  const std::size_t c = static_cast<std::size_t>(nCol) + 1;
  if (c < m_headers.size()) m_headers[c] = ColumnName(nCol);
}

void CCLayout::CaptionHeader(long gridCol) {
  if (m_nCurSel < 0 || gridCol < 1 || gridCol >= m_gridCols) return;
  const std::string& caption = m_captions[static_cast<std::size_t>(m_nCurSel)];
  // An item's caption stands over one column at most: a column the Column
  // box named before a start row was typed gets its letter name back.
  for (long c = 1; c < m_gridCols; ++c)
    if (c != gridCol && m_headers[static_cast<std::size_t>(c)] == caption) RestoreHeader(static_cast<uint16_t>(c - 1));
  m_headers[static_cast<std::size_t>(gridCol)] = caption;
}

void CCLayout::ApplyDuplicateRule(uint16_t nCol) {
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    if (static_cast<int>(i) == m_nCurSel) continue;
    if (m_fields[i].placed() && m_fields[i].nCol == nCol) m_fields[i] = FieldInfo{};
  }
  DropCreditsAt(nCol);
}

// ---- Selection ---------------------------------------------------------------------

void CCLayout::SelectItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_itemCount) return;
  if (index != m_nCurSel) m_creditMode = false;
  m_nCurSel = index;
  FieldInfo* f = Cur();
  m_Col = f->nCol + 1;
  if (gridLayout() && f->nLen > gridRows()) f->nLen = 1;
  m_Len = f->nLen;
  TraceF("OnSelchangeList: calling ShowSelected-m_Col=%ld, m_nCurSel=%d, m_pInfo->nCol=%d, m_pInfo->nLen=%d", m_Col,
         m_nCurSel, f->nCol, f->nLen);
  WriteBoxes(m_Col, m_Len);
  DropOrphanCredits();
  ShowSelected();
}

// ---- Placing -------------------------------------------------------------------------

void CCLayout::PlaceFromGridClick(long mouseRow, long mouseCol) {
  PlaceFromGridClickOnce(mouseRow, mouseCol);
  DropOrphanCredits();
}

void CCLayout::PlaceFromGridClickOnce(long mouseRow, long mouseCol) {
  TraceF("OnClickVsflexgrid: begin- MouseRow=%ld, MouseCol=%ld", mouseRow, mouseCol);
  if (!gridLayout() || mouseRow >= gridRows() || mouseCol >= m_gridCols || mouseRow < -1 || mouseCol < -1) return;
  // The grid itself makes the clicked data cell current.
  if (mouseRow >= 1 && mouseCol >= 1) {
    m_gridSelRow = mouseRow;
    m_gridSelCol = mouseCol;
  }
  if (!currentAvailable()) return;
  long row = mouseRow, col = mouseCol;
  if (row == -1) row = 0;
  if (col == -1 || col == 0) col = 1;
  if (row > 0) --row;
  if (col >= m_gridCols) return;  // a grid without data columns
  if (row + 1 > kMaxStoredRow) {
    char text[64];
    std::snprintf(text, sizeof text, "Invalid row (max. %ld)", kMaxStoredRow);
    Refuse(text, {BoxRefusal::Rule::StartRow, kMaxStoredRow});
    return;
  }
  if (m_creditMode) {
    PlaceCreditFromGrid(row, col);
    return;
  }
  FieldInfo* f = Cur();
  const auto newCol = static_cast<uint16_t>(col - 1);
  const auto newLen = static_cast<uint16_t>(row + 1);
  if (f->placed() && f->nCol == newCol && f->nLen == newLen) return;
  if (f->placed() && f->nCol != newCol) {
    RestoreHeader(f->nCol);
    *f = FieldInfo{};
  }
  f->nCol = newCol;
  f->nLen = newLen;
  f->nLineCode = m_nTypeID == EditorKind::JournalEntry ? LineCode(static_cast<std::size_t>(row)) : 0;
  CaptionHeader(col);
  m_Col = col;
  m_Len = row + 1;
  WriteBoxes(col, row + 1);
  ApplyDuplicateRule(newCol);
}

void CCLayout::PlaceFromTextSelection(std::size_t selStart, std::size_t selEnd) {
  if (gridLayout() || !currentAvailable()) return;
  if (selStart > selEnd) std::swap(selStart, selEnd);
  selStart = std::min(selStart, m_text.size());
  selEnd = std::min(selEnd, m_text.size());
  if (selStart == selEnd) return;
  const std::size_t line = LineOfOffset(selStart);
  const std::size_t start = selStart - m_lineStart[line];
  const std::size_t end = selEnd - m_lineStart[line];
  if (start >= static_cast<std::size_t>(kMaxStoredColumn)) {
    Refuse(kInvalidColumn, {BoxRefusal::Rule::Column, std::min(static_cast<long>(m_nLongest), kMaxStoredColumn)});
    return;
  }
  std::size_t length = end - start;
  const std::size_t limit = std::min(m_nLongest, kMaxSelectionLength);
  if (length > limit) {
    length = limit;
    selEnd = selStart + length;
  }
  m_selStart = selStart;
  m_selEnd = selEnd;
  if (m_creditMode) {
    PlaceCreditFromText(line, start, length);
    return;
  }
  FieldInfo* f = Cur();
  f->nCol = static_cast<uint16_t>(start);
  f->nLen = static_cast<uint16_t>(length);
  if (m_nTypeID == EditorKind::JournalEntry) f->nLineCode = LineCode(line);
  m_Col = static_cast<long>(start) + 1;
  m_Len = static_cast<long>(length);
  WriteBoxes(m_Col, m_Len);
}

// ---- The number boxes ----------------------------------------------------------------

void CCLayout::WriteBox(std::string& box, long value, void (CCLayout::*onChange)()) {
  const bool saved = m_bSetColAuto;
  m_bSetColAuto = true;
  box = std::to_string(value);
  (this->*onChange)();
  m_bSetColAuto = saved;
}

void CCLayout::WriteBoxes(long col, long len) {
  WriteColBox(col);
  WriteLenBox(len);
}

void CCLayout::ColumnBoxChanged(std::string_view text) {
  m_colBox.assign(text);
  OnChangeCol();
  DropOrphanCredits();
}

void CCLayout::LengthBoxChanged(std::string_view text) {
  m_lenBox.assign(text);
  OnChangeLen();
  DropOrphanCredits();
}

void CCLayout::RefuseBoxValue(std::string_view message, BoxRefusal refusal) {
  Refuse(message, refusal);
  if (FieldInfo* f = Cur()) {
    // The column's header is given back too, so that no header names an
    // item that no longer sits there.
    if (gridLayout() && f->placed()) RestoreHeader(f->nCol);
    *f = FieldInfo{};
  }
  WriteBoxes(0, 0);
  ClearTextSelection();
}

void CCLayout::OnChangeCol() {
  const long value = BoxNumber(m_colBox);
  TraceF("OnChangeCol: col=%ld, m_Len=%ld, m_nCurSel=%d, m_bSetColAuto=%d", value, m_Len, m_nCurSel,
         m_bSetColAuto ? 1 : 0);
  const long max = gridLayout() ? m_gridCols - 1 : std::min(static_cast<long>(m_nLongest), kMaxStoredColumn);
  if (value > max) {
    RefuseBoxValue(kInvalidColumn, {BoxRefusal::Rule::Column, max});
    return;
  }
  m_Col = value;
  if (gridLayout() && m_bSetColAuto) return;
  FieldInfo* f = Cur();
  // Unavailable items take no position, whichever way it is given.
  if (f == nullptr || !currentAvailable()) return;

  bool handled = false;
  if (gridLayout()) {
    const bool changed2zero = value == 0 && f->placed();
    if (f->placed() && (static_cast<long>(f->nCol) != m_Col - 1 || changed2zero)) {
      RestoreHeader(f->nCol);
      if (changed2zero) m_Len = 0;
      *f = FieldInfo{};
      if (value != 0) {
        f->nCol = static_cast<uint16_t>(m_Col - 1);
        f->nLen = static_cast<uint16_t>(m_Len);
        CaptionHeader(m_Col);
        ApplyDuplicateRule(f->nCol);
      }
      if (changed2zero) WriteLenBox(0);
      handled = true;
    } else if (m_Col != 0) {
      ApplyDuplicateRule(static_cast<uint16_t>(m_Col - 1));
    }
  }
  if (!handled) {
    if (m_Col != 0) {
      f->nCol = static_cast<uint16_t>(m_Col - 1);
      if (f->nLen == 0 && m_Len != 0) f->nLen = static_cast<uint16_t>(m_Len);
    } else {
      f->nLen = 0;
      m_Len = 0;
    }
    if (gridLayout() && m_Col != 0) CaptionHeader(m_Col);
  }
  if (m_Len != 0) {
    ShowSelected();
    m_focus = EditorFocus::ColumnBox;
  }
}

void CCLayout::OnChangeLen() {
  m_Len = BoxNumber(m_lenBox);
  TraceF("OnChangeLen: m_Len=%ld, m_Col=%ld, m_bSetColAuto=%d", m_Len, m_Col, m_bSetColAuto ? 1 : 0);
  if (gridLayout() && m_bSetColAuto) return;
  if (m_Col == 0) m_Col = BoxNumber(m_colBox);
  FieldInfo* f = Cur();
  if (f == nullptr || !currentAvailable()) return;

  if (m_Len == 0 && m_Col > 0) {
    const bool wasPlaced = f->placed();
    const uint16_t oldCol = f->nCol;
    const long boxCol = m_Col;
    *f = FieldInfo{};
    m_Col = 0;
    WriteColBox(0);
    if (gridLayout()) {
      // The header of the item's column, or of the column the box named when
      // the item had only been shown there.
      if (wasPlaced) {
        RestoreHeader(oldCol);
      } else if (boxCol < m_gridCols &&
                 m_headers[static_cast<std::size_t>(boxCol)] == m_captions[static_cast<std::size_t>(m_nCurSel)]) {
        RestoreHeader(static_cast<uint16_t>(boxCol - 1));
      }
    }
  } else if (m_Len != 0 && m_Col != 0) {
    long max;
    if (gridLayout()) {
      max = std::min(gridRows() - 1, kMaxStoredRow);
    } else {
      const long room = static_cast<long>(m_nLongest) - static_cast<long>(f->nCol);
      max = std::min(std::max(room, 0L), kMaxStoredRow);
    }
    if (m_Len > max) {
      char text[64];
      std::snprintf(text, sizeof text, gridLayout() ? "Invalid row (max. %ld)" : "Length too long (max. %ld)", max);
      RefuseBoxValue(text, {gridLayout() ? BoxRefusal::Rule::StartRow : BoxRefusal::Rule::Length, max});
      return;
    }
    if (gridLayout()) ApplyDuplicateRule(f->nCol);
    f->nLen = static_cast<uint16_t>(m_Len);
    if (gridLayout()) CaptionHeader(static_cast<long>(f->nCol) + 1);
  }
  if (m_Len != 0) {
    ShowSelected();
    m_focus = EditorFocus::LengthBox;
  }
}

// ---- Name, Reset, OK, Cancel ------------------------------------------------------------

void CCLayout::NameChanged(std::string_view name) {
  if (!m_bNewTemplate) return;
  m_name = Utf8ToAnsi(name).substr(0, kMaxTemplateNameChars);
}

void CCLayout::Reset() {
  if (gridLayout())
    for (long c = 1; c < m_gridCols; ++c) m_headers[static_cast<std::size_t>(c)] = ColumnName(static_cast<std::size_t>(c - 1));
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    m_fields[i].nLen = 0;
    m_fields[i].nLineCode = 0;
  }
  m_credits = FieldInfoArray{};
  m_creditMode = false;
  m_Col = m_Len = 0;
  WriteBoxes(0, 0);
  ClearTextSelection();
}

bool CCLayout::Ok() {
  if (m_bEnded || !okEnabled()) return false;
  RequiredCheckInput check;
  check.hostCode = m_in.hostCode;
  check.itemSet = m_strLayoutType;
  check.checkGroup = m_bChartOnly ? CheckGroup::ChartOnly : m_bBalanceOnly ? CheckGroup::BalanceOnly : CheckGroup::Neither;
  check.batchMode = m_in.batchMode;
  check.intlKind = m_in.intlKind;
  check.keys = m_keys;
  check.fields = &m_fields;
  if (const Done required = CheckRequiredItems(check); !required) {
    ShowMessage(required.error().message);
    return false;
  }
  if (CreditsNeedSignedAmounts()) {
    ShowMessage(kCreditNeedsSigned);
    return false;
  }
  SaveTemplateRequest save;
  save.templateName = m_name;
  save.info = m_strLayoutType;
  save.international = m_nTypeID == EditorKind::International;
  if (save.international) {
    const IntlKind* kind = FindIntlKind(m_in.intlKind);
    save.intlDisplayName = kind != nullptr ? kind->displayName : "";
  }
  save.keys = m_keys;
  save.fields = &m_fields;
  save.dataFileName = m_in.dataFileName;
  save.headers = GridHeaderCaptions();
  save.extraKeys = ExtraKeys();
  if (const Done saved = SaveTemplate(m_in.iniPath, save); !saved) {
    ShowMessage(saved.error().message.empty() ? std::string("The template could not be saved.") : saved.error().message);
    return false;
  }
  m_bEnded = m_bEndedOk = true;
  return true;
}

std::string CCLayout::GridHeaderCaptions() const {
  if (!gridLayout()) return {};
  // The header row is the row above the first one read: the smallest start
  // row of the items placed beyond the first column, less one (as a read
  // finds its first row).
  long startRow = 0;
  std::vector<uint32_t> columns;
  for (std::size_t i = 0; i < ItemCount(m_keys) && i < m_fields.size(); ++i) {
    const FieldInfo& f = m_fields[i];
    if (!f.placed()) continue;
    columns.push_back(f.nCol);
    if (f.nCol != 0 && (startRow == 0 || f.nLen < startRow)) startRow = f.nLen;
  }
  const long headerRow = startRow - 1;
  if (headerRow < 1 || headerRow >= gridRows()) return {};
  std::vector<std::string> cells(static_cast<std::size_t>(std::max(gridCols() - 1, 0L)));
  ForEachCell(headerRow, [&](long col, std::string_view text) {
    if (col >= 1 && static_cast<std::size_t>(col) <= cells.size()) cells[static_cast<std::size_t>(col - 1)] = text;
  });
  return HeaderCaptions(cells, columns);
}

std::string CCLayout::TemplateToReplace() const {
  // A reserved name names the store's own sections, no template, and "ALL
  // TEMPLATES" every one: OK refuses them, so there is nothing to ask about
  // replacing.
  if (!m_bNewTemplate || m_name.empty() || m_in.iniPath.empty() || IsUnsavableTemplateName(m_name)) return {};
  const Expected<ProfileDocument> doc = ProfileDocument::Load(m_in.iniPath);
  if (!doc) return {};
  const ProfileView view(*doc);
  const std::string upper = UpperAscii(m_name);
  for (unsigned n = 1;; ++n) {
    const std::string listed = view.Get(kLayoutSection, std::to_string(n));
    if (listed.empty()) break;
    if (UpperAscii(listed) == upper) return listed;
  }
  // A section the index does not list is replaced all the same.
  return view.HasSection(TemplateSection(m_name)) ? m_name : std::string();
}

void CCLayout::Cancel() {
  if (m_bEnded) return;
  if (!m_bNewTemplate) {
    if (const Done recorded = RecordFileAssociation(m_in.iniPath, m_in.dataFileName, m_name); !recorded)
      TraceF("OnCancel: %s", recorded.error().message.c_str());
  } else {
    m_name.clear();
  }
  m_bEnded = true;
}

// ---- Showing the current item ----------------------------------------------------------

bool CCLayout::ColIsVisible(long col) const {
  if (col == 0) return true;
  return m_viewRightCol >= m_viewLeftCol && col >= m_viewLeftCol && col <= m_viewRightCol;
}

void CCLayout::SetGridViewport(long leftCol, long rightCol) {
  m_viewLeftCol = leftCol;
  m_viewRightCol = rightCol;
}

void CCLayout::GridScrolled(long newLeftCol) {
  if (!gridLayout() || gridRows() < 2 || newLeftCol < 1 || newLeftCol >= m_gridCols) return;
  m_gridSelRow = 1;
  m_gridSelCol = newLeftCol;
}

void CCLayout::SetTextViewport(long firstLine, long visibleLines) {
  m_firstVisibleLine = std::max(0L, firstLine);
  m_visibleLines = std::max(0L, visibleLines);
}

void CCLayout::ShowSelected() {
  if (gridLayout()) ShowSelectedGrid();
  else ShowSelectedText();
}

void CCLayout::ShowSelectedGrid() {
  const FieldInfo* f = Cur();
  if (f == nullptr) return;
  const long col = static_cast<long>(f->nCol) + 1;
  TraceF("ShowSelected: ColIsVisible(%ld)", col);
  if (!f->placed() || col >= m_gridCols) return;
  m_scrollToCol = 0;
  if (!ColIsVisible(col)) {
    long scroll;
    if (col < m_gridSelCol) {
      scroll = f->nCol <= 2 ? 1 : static_cast<long>(f->nCol) - 1;
    } else {
      scroll = static_cast<long>(f->nCol) + 2 < m_gridCols ? static_cast<long>(f->nCol) + 2 : col;
    }
    if (!ColIsVisible(scroll)) m_scrollToCol = scroll;
  }
  const long row = std::min<long>(f->nLen, gridRows() - 1);
  m_showCellRow = row;
  m_showCellCol = col;
  m_gridSelRow = row;
  m_gridSelCol = col;
  ++m_viewSeq;
}

void CCLayout::ShowSelectedText() {
  const FieldInfo* f = Cur();
  if (f == nullptr) return;
  const std::size_t n = lineCount();
  const auto matches = [&](std::size_t l) { return LineCode(l) == f->nLineCode && lineLength(l) > f->nCol; };
  long found = -1;
  const auto first = static_cast<std::size_t>(m_firstVisibleLine);
  for (std::size_t l = first; l < n && found < 0; ++l)
    if (matches(l)) found = static_cast<long>(l);
  for (std::size_t l = std::min(first, n); l-- > 0 && found < 0;)
    if (matches(l)) found = static_cast<long>(l);
  m_focus = EditorFocus::TextPreview;
  if (found >= 0 && f->placed()) {
    const auto l = static_cast<std::size_t>(found);
    const std::size_t start = m_lineStart[l] + f->nCol;
    const std::size_t end = std::min(start + f->nLen, m_lineStart[l] + lineLength(l));
    SelectText(start, end, true);
  } else {
    ClearTextSelection();
  }
}

void CCLayout::SelectText(std::size_t start, std::size_t end, bool scroll) {
  m_selStart = start;
  m_selEnd = end;
  if (scroll) {
    m_scrollToLine = static_cast<long>(LineOfOffset(start));
    ++m_viewSeq;
  }
}

void CCLayout::TextScrolled() {
  const FieldInfo* f = Cur();
  if (gridLayout() || f == nullptr || !hasTextSelection()) return;
  const std::size_t n = lineCount();
  const auto first = static_cast<std::size_t>(m_firstVisibleLine);
  const std::size_t last = std::min(n, first + static_cast<std::size_t>(m_visibleLines));
  for (std::size_t l = first; l < last; ++l) {
    if (LineCode(l) == f->nLineCode && lineLength(l) > f->nCol) {
      const std::size_t start = m_lineStart[l] + f->nCol;
      SelectText(start, std::min(start + f->nLen, m_lineStart[l] + lineLength(l)), false);
      return;
    }
  }
}

// ---- Text preview lines ------------------------------------------------------------------

std::size_t CCLayout::lineLength(std::size_t l) const {
  const std::size_t b = m_lineStart[l];
  const std::size_t e = l + 1 < m_lineStart.size() ? m_lineStart[l + 1] - 1 : m_text.size();
  return e - b;
}

std::string_view CCLayout::line(std::size_t l) const {
  return std::string_view(m_text).substr(m_lineStart[l], lineLength(l));
}

std::size_t CCLayout::LineOfOffset(std::size_t offset) const {
  if (m_lineStart.empty()) return 0;
  const auto it = std::upper_bound(m_lineStart.begin(), m_lineStart.end(), offset);
  return static_cast<std::size_t>(it - m_lineStart.begin()) - 1;
}

std::string_view CCLayout::cell(long row, long col) const {
  std::string_view found;
  ForEachCell(row, [&](long c, std::string_view text) {
    if (c == col) found = text;
  });
  return found;
}

}  // namespace zephrin
