// CCLayout: the layout editor, free of any window. A front end shows its state
// (item list, boxes, grid or text preview, selection) and hands it the user's
// actions; every rule that places, moves or clears an item lives here.
//
// The editor's two number boxes behave as edit controls do: when the editor
// writes one (under m_bSetColAuto), the change notification runs the same
// handler a keystroke runs. In grid layouts the handlers stop early under
// m_bSetColAuto; in the fixed-width layout they do not, so writing the boxes
// can move, clear or refuse the current item there.
//
// Texts inside are the engine's Windows-1252 text; message boxes leave through
// the UserInterface as UTF-8 with the title "Import".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/user_interface.h"
#include "readers/data_text.h"
#include "platform/export.h"

namespace zephrin {

// What EditLayout hands the editor.
struct LayoutEditorInputs {
  std::string templateName;    // empty for a new template
  std::string hostCode;        // the host import type code
  std::string dataFileName;    // as the host passed it (recorded in the store)
  std::string dataFilePath;    // the same file as the file system names it
  std::string taxReturnType;
  int intlKind = 0;            // only for host code "INTL"
  char layoutLetter = 'R';     // 'S' comma-separated, 'I' DIF, 'R' fixed-width
  std::string iniPath;         // the template store file
  bool batchMode = false;
  std::array<bool, 4> options{};  // editor options 1 to 4
  ItemList insurWPItems = nullptr;  // the INSURWP items defined at run time
};

// The letter name of data column c: A..Z, AA..AZ, BA.. and so on.
ZEPHRIN_API std::string ColumnName(std::size_t c);

// Line codes of journal-entry blocks, from a blank/non-blank sequence of lines.
// Header lines count 0, 1, 2 ... (kept to 16 bits, as the store keeps them).
std::vector<uint16_t> ComputeLineCodes(const std::vector<bool>& blank);
inline constexpr uint16_t kLineCodeAccounts = 224;
inline constexpr uint16_t kLineCodeFirstBlank = 240;
inline constexpr uint16_t kLineCodeBlank = 255;

// The longest selection the text preview places.
inline constexpr std::size_t kMaxSelectionLength = 99;
// A start row must fit the store's 16-bit field.
inline constexpr long kMaxStoredRow = 65535;
// Blank lines in a row after which the preview stops.
inline constexpr int kBlankLineStop = 25;
// Characters of the template name.
inline constexpr std::size_t kMaxTemplateNameChars = 64;
// Columns the grid preview shows at most (DIF headers may claim any count).
inline constexpr long kMaxPreviewColumns = 16384;

enum class EditorFocus { None, Grid, ColumnBox, LengthBox, TextPreview, NameBox };

// A box value, click or selection the editor refused: the rule that refused
// it and the largest value that rule allows. The message box the editor shows
// says the same in words.
// How the template's reads write the values of amount items: as written, or
// as signed plain decimals read with a decimal point or a decimal comma.
enum class AmountStyle { kAsWritten, kSigned, kSignedComma };

// The separators of separated text the editor offers, in the order it
// offers them: the character, its stored name, its label.
struct SeparatorChoice {
  char separator;
  std::string_view stored;
  std::string_view label;
};
ZEPHRIN_API const std::vector<SeparatorChoice>& SeparatorChoices();

// The separator of separated text: of comma, tab, semicolon and pipe, the
// one that gives the most of the first 100 lines the same number of fields,
// more than one; comma when none does better.
ZEPHRIN_API char DetectTextSeparator(std::string_view text);

struct BoxRefusal {
  enum class Rule {
    Column,    // a column past the data's last (the Column box)
    StartRow,  // a start row past the grid's last row (the Start Row box)
    Length,    // a length running past the longest line (the Length box)
  };
  Rule rule = Rule::Column;
  long max = 0;
  bool operator==(const BoxRefusal&) const = default;
};

class ZEPHRIN_API CCLayout {
 public:
  CCLayout(LayoutEditorInputs inputs, UserInterface& ui);

  void SetTrace(std::function<void(std::string_view)> trace) { m_trace = std::move(trace); }

  // The dialog's set-up: the host-code table, the template's stored "Info",
  // title and labels, the kind list, the preview, the items, and the boxes.
  // False when the preview could not be loaded (the message is shown); the
  // items are then not loaded and only Cancel remains.
  bool Initialise();

  // ---- Operations (each one a user action or a step of Initialise) --------
  bool LoadPreview();
  void LoadItems();
  void SelectItem(int index);
  void PlaceFromGridClick(long mouseRow, long mouseCol);
  // Character offsets into the text preview; start may come after end.
  void PlaceFromTextSelection(std::size_t selStart, std::size_t selEnd);
  // The box's text as it stands after the user's edit.
  void ColumnBoxChanged(std::string_view text);
  void LengthBoxChanged(std::string_view text);
  void NameChanged(std::string_view name);
  void Reset();
  // True when the template was saved and the editor closed.
  bool Ok();
  // The template that OK would replace: the name as the store holds it of a
  // saved template with this new template's name (names compare without
  // case); "" when there is none, and always when an existing template is
  // edited, which OK saves in its own place.
  std::string TemplateToReplace() const;
  void Cancel();
  bool IsItemAvailable(int index) const;

  // ---- How the data file is read: sheet, separator, amounts ---------------
  // A workbook shows one sheet at a time; choosing another reloads the grid.
  // Placed items keep their columns where the new grid has them.
  bool workbook() const { return m_workbook; }
  const std::vector<std::string>& sheets() const { return m_sheets; }
  int sheetIndex() const { return m_sheet; }
  void SelectSheet(int index);
  // Separated text (a grid that is no workbook and no DIF file) offers a
  // separator; choosing one reloads the grid as SelectSheet does.
  bool separatorChoice() const { return gridLayout() && m_in.layoutLetter == 'S' && !m_workbook; }
  char separator() const { return m_separator; }
  void SetSeparator(char separator);
  AmountStyle amounts() const { return m_amounts; }
  void SetAmounts(AmountStyle style) { m_amounts = style; }

  // ---- Credit columns of amount items --------------------------------------
  // Whether an item's values are amounts (it may have a credit column).
  bool IsAmountItem(int index) const;
  // The next grid click or text selection places the current item's credit
  // column instead of the item; only for a placed amount item.
  bool StartCreditPlacement();
  void CancelCreditPlacement() { m_creditMode = false; }
  bool creditMode() const { return m_creditMode; }
  const FieldInfoArray& credits() const { return m_credits; }
  // Puts every credit column where `credits` has it (headers follow).
  void SetCredits(const FieldInfoArray& credits);
  // The template's keys beside the positions, as OK saves them: Sheet when
  // not the first, Separator when not comma, Amounts when not as written,
  // and the credit column of each placed item that has one.
  std::vector<std::pair<std::string, std::string>> ExtraKeys() const;

  // The refusal of the last value the editor refused since the last call
  // (nullopt when none), handed over once.
  std::optional<BoxRefusal> TakeRefusal() { return std::exchange(m_refusal, std::nullopt); }

  // ---- What the preview shows (reported by the front end) -----------------
  // Grid: the first and last fully visible scrollable columns (1-based grid columns).
  void SetGridViewport(long leftCol, long rightCol);
  // The grid scrolled: the cell in row 1 of the new left column is selected.
  void GridScrolled(long newLeftCol);
  // Text: the first visible line and how many lines fit.
  void SetTextViewport(long firstLine, long visibleLines);
  // The text preview scrolled (its viewport already set).
  void TextScrolled();

  // ---- State --------------------------------------------------------------
  const LayoutEditorInputs& inputs() const { return m_in; }
  char layoutLetter() const { return m_in.layoutLetter; }
  bool gridLayout() const { return m_in.layoutLetter != 'R'; }
  const std::string& layoutType() const { return m_strLayoutType; }
  bool chartOnly() const { return m_bChartOnly; }
  bool balanceOnly() const { return m_bBalanceOnly; }
  bool intl() const { return m_bIntl; }
  const std::string& caption() const { return m_caption; }
  std::string title() const { return "Import Template - " + m_caption; }
  const std::string& templateName() const { return m_name; }
  bool newTemplate() const { return m_bNewTemplate; }
  bool okEnabled() const { return !m_name.empty() && m_bInitialised; }
  bool initialised() const { return m_bInitialised; }

  // Kind list (206) and its label (207).
  const std::string& kindLabel() const { return m_kindLabel; }
  const std::vector<std::pair<int, std::string>>& kindEntries() const { return m_kindEntries; }
  int kindSelection() const { return m_kindSelection; }  // index into kindEntries, -1 none
  bool kindListVisible() const { return !m_kindEntries.empty(); }

  std::size_t itemCount() const { return m_itemCount; }
  ItemList itemKeys() const { return m_keys; }
  const std::string& itemCaption(std::size_t i) const { return m_captions[i]; }
  const FieldInfoArray& fields() const { return m_fields; }
  FieldInfoArray& mutableFields() { return m_fields; }
  int currentItem() const { return m_nCurSel; }
  bool currentAvailable() const { return m_nCurSel >= 0 && IsItemAvailable(m_nCurSel); }

  long colValue() const { return m_Col; }
  const std::string& colBox() const { return m_colBox; }
  const std::string& lenBox() const { return m_lenBox; }
  EditorFocus focus() const { return m_focus; }

  // Grid preview.
  long gridCols() const { return m_gridCols; }                       // data columns + 1
  long gridRows() const { return static_cast<long>(m_rowFirstCell.size()) + 1; }  // data rows + 1
  const std::string& header(long col) const { return m_headers[static_cast<std::size_t>(col)]; }
  // Text of a data cell (grid row >= 1, grid column >= 1); "" when empty.
  std::string_view cell(long row, long col) const;
  // Calls f(gridColumn, text) for each non-empty cell of a grid row.
  template <class F>
  void ForEachCell(long row, F&& f) const {
    if (row < 1 || row >= gridRows()) return;
    const std::size_t b = m_rowFirstCell[static_cast<std::size_t>(row - 1)];
    const std::size_t e = static_cast<std::size_t>(row) < m_rowFirstCell.size()
                              ? m_rowFirstCell[static_cast<std::size_t>(row)] : m_cells.size();
    for (std::size_t i = b; i < e; ++i)
      f(static_cast<long>(m_cells[i].col) + 1, std::string_view(m_cellText).substr(m_cells[i].offset, m_cells[i].len));
  }
  long gridSelRow() const { return m_gridSelRow; }
  long gridSelCol() const { return m_gridSelCol; }
  // Scroll requests of the last "show selected": the column to bring into
  // view (0: none) and the cell to show (row 0: none). Each request bumps the
  // sequence number so that a front end applies it once.
  long scrollToCol() const { return m_scrollToCol; }
  long showCellRow() const { return m_showCellRow; }
  long showCellCol() const { return m_showCellCol; }
  unsigned viewSequence() const { return m_viewSeq; }

  // Fixed-width preview.
  const std::string& text() const { return m_text; }
  std::size_t lineCount() const { return m_lineStart.size(); }
  std::size_t lineStart(std::size_t line) const { return m_lineStart[line]; }
  std::size_t lineLength(std::size_t line) const;
  std::string_view line(std::size_t line) const;
  std::size_t longestLine() const { return m_nLongest; }
  // Line of a character offset.
  std::size_t LineOfOffset(std::size_t offset) const;
  bool hasTextSelection() const { return m_selEnd > m_selStart; }
  std::size_t selStart() const { return m_selStart; }
  std::size_t selEnd() const { return m_selEnd; }
  long scrollToLine() const { return m_scrollToLine; }  // -1: none

  // Journal-entry line codes by preview line (empty outside journal-entry mode).
  const std::vector<uint16_t>& lineCodes() const { return m_lineCodes; }
  uint16_t LineCode(std::size_t line) const {
    return line < m_lineCodes.size() ? m_lineCodes[line] : 0;
  }

  // The end of the session: set by a successful OK or by Cancel.
  bool ended() const { return m_bEnded; }
  bool endedWithOk() const { return m_bEndedOk; }

 private:
  // Dialog set-up pieces.
  void ApplyHostCode();
  void FillKindList();
  bool LoadGridPreviewCsv(const DataText& text);
  // The header captions OK saves with a grid file's template: the header
  // row's cells of the placed columns (see readers/header_captions.h); ""
  // for a text view or a template read from the first row.
  std::string GridHeaderCaptions() const;
  bool LoadGridPreviewDif(const DataText& text);
  void LoadTextPreview(std::string& text);
  void FinishGrid();
  void SetCell(long dataCol, std::string_view text);
  void PlaceFromGridClickOnce(long mouseRow, long mouseCol);
  bool OpenDataFile();
  bool LoadGridPreviewWorkbook();
  void RefreshGrid();
  void ReadStoredReading();
  void LoadStoredAmounts();
  bool PlaceCreditFromGrid(long row, long col);
  bool PlaceCreditFromText(std::size_t line, std::size_t start, std::size_t length);
  void ClearCredit(std::size_t item);
  void DropCreditsAt(uint16_t nCol);
  void DropOrphanCredits();
  void CaptionCredit(std::size_t item);
  bool CreditsNeedSignedAmounts() const;

  // Helpers of the rules.
  FieldInfo* Cur() { return m_nCurSel >= 0 ? &m_fields[static_cast<std::size_t>(m_nCurSel)] : nullptr; }
  void ShowMessage(std::string_view text);
  // Shows the message of a refusal and records it.
  void Refuse(std::string_view message, BoxRefusal refusal);
  void TraceF(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void RestoreHeader(uint16_t nCol);
  void CaptionHeader(long gridCol);
  void ApplyDuplicateRule(uint16_t nCol);
  // Writes both boxes under m_bSetColAuto, running their change handlers.
  void WriteBoxes(long col, long len);
  // Writes one box under m_bSetColAuto and runs its change handler.
  void WriteBox(std::string& box, long value, void (CCLayout::*onChange)());
  void WriteColBox(long value) { WriteBox(m_colBox, value, &CCLayout::OnChangeCol); }
  void WriteLenBox(long value) { WriteBox(m_lenBox, value, &CCLayout::OnChangeLen); }
  void OnChangeCol();
  void OnChangeLen();
  // The refusal of an out-of-range box value: the item loses its position.
  void RefuseBoxValue(std::string_view message, BoxRefusal refusal);
  void ShowSelected();
  void ShowSelectedGrid();
  void ShowSelectedText();
  bool ColIsVisible(long col) const;
  void SelectText(std::size_t start, std::size_t end, bool scroll);
  void ClearTextSelection() { m_selStart = m_selEnd = 0; }

  LayoutEditorInputs m_in;
  UserInterface& m_ui;
  std::function<void(std::string_view)> m_trace;

  // Host-code table and template.
  EditorKind m_nTypeID = EditorKind::Standard;
  std::string m_strLayoutType;
  std::string m_caption;
  bool m_bChartOnly = false, m_bBalanceOnly = false, m_bIntl = false, m_bCanModifyIntl = false;
  bool m_bNewTemplate = false;
  bool m_bInitialised = false;
  std::string m_name;
  std::string m_kindLabel;
  std::vector<std::pair<int, std::string>> m_kindEntries;
  int m_kindSelection = -1;

  // Items.
  ItemList m_keys = nullptr;
  std::size_t m_itemCount = 0;
  std::vector<std::string> m_captions;
  FieldInfoArray m_fields{};
  int m_nCurSel = -1;
  long m_Col = 0, m_Len = 0;
  std::string m_colBox, m_lenBox;
  bool m_bSetColAuto = false;
  EditorFocus m_focus = EditorFocus::None;
  std::optional<BoxRefusal> m_refusal;

  // Grid preview: non-empty cells of each data row, their texts in one buffer.
  struct Cell {
    uint32_t col;    // data column
    uint32_t len;
    std::size_t offset;
  };
  std::string m_cellText;
  std::vector<Cell> m_cells;
  std::vector<std::size_t> m_rowFirstCell;  // index of the first cell of each data row
  long m_gridCols = 1;
  std::vector<std::string> m_headers{std::string()};
  long m_gridSelRow = 0, m_gridSelCol = 0;
  long m_viewLeftCol = 1, m_viewRightCol = 0;  // nothing known visible yet

  // Text preview.
  std::string m_text;
  std::vector<std::size_t> m_lineStart;
  std::size_t m_nLongest = 0;
  std::size_t m_selStart = 0, m_selEnd = 0;
  long m_firstVisibleLine = 0, m_visibleLines = 0;

  std::vector<uint16_t> m_lineCodes;

  // How the data file is read.
  bool m_workbook = false;
  int m_workbookKind = 0;  // the WorkbookKind of a workbook
  std::vector<std::string> m_sheets;
  int m_sheet = 0;
  char m_separator = ',';
  std::string m_storedSheet;      // the template's Sheet key, until the sheets are known
  // The template's sheet when the workbook has none of that name: kept as
  // the template's until a sheet is chosen here.
  std::string m_missingSheet;
  std::string m_storedSeparator;  // the template's Separator key
  AmountStyle m_amounts = AmountStyle::kAsWritten;
  FieldInfoArray m_credits{};
  bool m_creditMode = false;

  // Scroll requests.
  long m_scrollToCol = 0, m_showCellRow = 0, m_showCellCol = 0, m_scrollToLine = -1;
  unsigned m_viewSeq = 0;

  bool m_bEnded = false, m_bEndedOk = false;
};

}  // namespace zephrin
