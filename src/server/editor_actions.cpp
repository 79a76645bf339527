#include "server/editor_actions.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

#include "editor/mapping_suggestions.h"
#include "platform/codepage.h"

namespace zephrin::hub {

namespace {

constexpr const char* kInstruction =
    "For each import Field below: click the field name, then click the column header in the data grid that "
    "matches that field.";
// A text file has no columns to click: its items are characters picked out of each line.
constexpr const char* kTextInstruction =
    "For each import Field below: click the field name, then select the characters in the data text that hold "
    "that field.";
constexpr const char* kNameMissing = "Please enter a name for the template.";
// The amounts choices as the page names them.
constexpr std::array<std::pair<AmountStyle, std::string_view>, 3> kAmountNames{{
    {AmountStyle::kAsWritten, "asWritten"}, {AmountStyle::kSigned, "signed"}, {AmountStyle::kSignedComma, "signedComma"}}};
// Rows or lines one request may fetch.
constexpr long kMaxRowsPerRequest = 2000;
constexpr std::string_view kDraftPartly =
    "Part of the unsaved work does not fit the data file as it is now: what fits is restored, and the draft is "
    "kept.";
// Placement steps that Undo can take back.
constexpr std::size_t kMaxUndoSteps = 200;

const char* FocusName(EditorFocus f) {
  switch (f) {
    case EditorFocus::Grid: return "grid";
    case EditorFocus::ColumnBox: return "col";
    case EditorFocus::LengthBox: return "len";
    case EditorFocus::TextPreview: return "text";
    case EditorFocus::NameBox: return "name";
    case EditorFocus::None: break;
  }
  return "";
}

// A caption over 40 characters that holds ":" is drawn in two lines, broken
// after the first ":".
Json CaptionLines(const std::string& caption) {
  const std::size_t colon = caption.find(':');
  if (caption.size() <= 40 || colon == std::string::npos) return Json::array({AnsiToUtf8(caption)});
  std::string_view rest = std::string_view(caption).substr(colon + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  return Json::array({AnsiToUtf8(caption.substr(0, colon + 1)), AnsiToUtf8(rest)});
}

Json TextPosition(const CCLayout& e, std::size_t offset) {
  const std::size_t line = e.LineOfOffset(offset);
  return Json{{"line", line}, {"col", offset - e.lineStart(line)}};
}

// The largest value each box takes for the current item, as the model checks them.
Json BoxLimits(const CCLayout& e) {
  if (e.gridLayout())
    return {{"col", std::max(0L, e.gridCols() - 1)}, {"len", std::clamp(e.gridRows() - 1, 0L, kMaxStoredRow)}};
  const long longest = static_cast<long>(e.longestLine());
  long base = std::max(0L, e.colValue() - 1);
  if (e.currentItem() >= 0 && e.fields()[static_cast<std::size_t>(e.currentItem())].placed())
    base = e.fields()[static_cast<std::size_t>(e.currentItem())].nCol;
  return {{"col", std::min(longest, 65536L)}, {"len", std::clamp(longest - base, 0L, kMaxStoredRow)}};
}

Json ItemsJson(const CCLayout& e) {
  Json items = Json::array();
  for (std::size_t i = 0; i < e.itemCount(); ++i) {
    const FieldInfo& f = e.fields()[i];
    const bool available = e.IsItemAvailable(static_cast<int>(i));
    const bool selected = static_cast<int>(i) == e.currentItem();
    const FieldInfo& credit = e.credits()[i];
    items.push_back({{"caption", AnsiToUtf8(e.itemCaption(i))},
                     {"amount", e.IsAmountItem(static_cast<int>(i))},
                     {"credit", credit.placed() ? Json{{"col", credit.nCol + 1}, {"len", credit.nLen}} : Json(nullptr)},
                     {"lines", CaptionLines(e.itemCaption(i))},
                     {"col", f.placed() ? f.nCol + 1 : 0},
                     {"len", f.nLen},
                     {"available", available},
                     {"selected", selected},
                     {"drawnSelected", selected && available}});
  }
  return items;
}

// The grid's or the text's part of the state.
void PreviewStateJson(const CCLayout& e, Json& s) {
  if (e.gridLayout()) {
    Json headers = Json::array();
    for (long c = 0; c < e.gridCols(); ++c) headers.push_back(AnsiToUtf8(e.header(c)));
    s["grid"] = {{"rows", e.gridRows()},
                 {"cols", e.gridCols()},
                 {"headers", std::move(headers)},
                 {"sel", Json::array({e.gridSelRow(), e.gridSelCol()})}};
  } else {
    Json sel = nullptr;
    if (e.hasTextSelection()) sel = {{"start", TextPosition(e, e.selStart())}, {"end", TextPosition(e, e.selEnd())}};
    s["text"] = {{"lines", e.lineCount()}, {"longest", e.longestLine()}, {"sel", std::move(sel)}};
  }
  s["view"] = {{"seq", e.viewSequence()},
               {"scrollToCol", e.scrollToCol()},
               {"showCell", Json::array({e.showCellRow(), e.showCellCol()})},
               {"scrollToLine", e.scrollToLine()}};
}

// How the data file is read: the workbook's sheets, the separator, the
// amounts, and whether a click places a credit column.
void ReadingStateJson(const CCLayout& e, Json& s) {
  Json sheets = Json::array();
  for (const std::string& name : e.sheets()) sheets.push_back(AnsiToUtf8(name));
  s["sheets"] = std::move(sheets);
  s["sheet"] = e.workbook() ? Json(e.sheetIndex()) : Json(nullptr);
  Json separator = nullptr;
  for (const SeparatorChoice& c : SeparatorChoices())
    if (e.separatorChoice() && c.separator == e.separator()) separator = std::string(c.stored);
  s["separator"] = std::move(separator);
  for (const auto& [style, name] : kAmountNames)
    if (style == e.amounts()) s["amounts"] = std::string(name);
  s["creditMode"] = e.creditMode();
}

std::string TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// ---- The handlers ----------------------------------------------------------------------

void Select(ActionContext& c) { c.e.SelectItem(static_cast<int>(GetLong(c.request, "index", -1))); }

void Click(ActionContext& c) { c.e.PlaceFromGridClick(GetLong(c.request, "row", -2), GetLong(c.request, "col", -2)); }

// Positions as line and column; a column past a line's end stops at its end.
void TextSelect(ActionContext& c) {
  CCLayout& e = c.e;
  const auto offset = [&](const char* key) -> std::size_t {
    if (!c.request.contains(key) || e.lineCount() == 0) return 0;
    const long line = std::clamp(GetLong(c.request[key], "line"), 0L, static_cast<long>(e.lineCount()) - 1);
    const auto l = static_cast<std::size_t>(line);
    const std::size_t col = static_cast<std::size_t>(std::max(0L, GetLong(c.request[key], "col")));
    return e.lineStart(l) + std::min(col, e.lineLength(l));
  };
  e.PlaceFromTextSelection(offset("start"), offset("end"));
}

void ColBox(ActionContext& c) { c.e.ColumnBoxChanged(GetString(c.request, "text")); }
void LenBox(ActionContext& c) { c.e.LengthBoxChanged(GetString(c.request, "text")); }
void Name(ActionContext& c) { c.e.NameChanged(GetString(c.request, "text")); }
void Reset(ActionContext& c) { c.e.Reset(); }
void Cancel(ActionContext& c) { c.e.Cancel(); }
void GridScroll(ActionContext& c) { c.e.GridScrolled(GetLong(c.request, "leftCol")); }
void TextScroll(ActionContext& c) { c.e.TextScrolled(); }
// Nothing more: the view is applied before the action, a claim was taken.
void Nothing(ActionContext&) {}

// The name is saved without blanks around it, and a name of blanks alone is
// none. A name the store holds already is saved only once the page has asked
// whether to replace that template ("replace": true); until then the answer
// names the template ("replace": NAME) and nothing is written.
void Ok(ActionContext& c) {
  CCLayout& e = c.e;
  if (!e.newTemplate()) {
    e.Ok();
    return;
  }
  const std::string trimmed = TrimBlanks(e.templateName());
  if (trimmed.empty()) {
    c.ui.ShowMessage("Import", kNameMissing, MessageIcon::None);
    return;
  }
  if (trimmed != e.templateName()) e.NameChanged(AnsiToUtf8(trimmed));
  const bool confirmed = c.request.contains("replace") && c.request["replace"] == true;
  if (const std::string existing = e.TemplateToReplace(); !existing.empty() && !confirmed) {
    c.extra["replace"] = AnsiToUtf8(existing);
    return;
  }
  e.Ok();
}

// The draft another editor left: its sheet or separator first, so that its
// positions fall on the grid they were made on, then the positions, credit
// columns and amounts, and a new template's name. Work that no longer fits
// the data file is left out and said so; the draft then stays for later.
void RestoreDraft(ActionContext& c) {
  if (c.draft == nullptr) return;
  CCLayout& e = c.e;
  const int sheet = e.sheetIndex();
  const char separator = e.separator();
  const bool sameGrid = RestoreDraftReading(*c.draft, e);
  // Steps taken on another grid are no steps of this one.
  if (e.sheetIndex() != sheet || e.separator() != separator) {
    c.undo.clear();
    c.recordStep = false;
  }
  const FieldInfoArray positions = sameGrid ? DraftPositions(*c.draft, e) : FieldInfoArray{};
  // What the placements say on a grid they no longer fit ("Invalid column
  // number") is no word to the user: the restore says what did not fit.
  const std::vector<MessageBoxRecord> earlier = c.ui.TakeMessages();
  RestorePositions(e, Step{positions, c.draft->current, DraftCredits(*c.draft, e), DraftAmounts(*c.draft)});
  (void)c.ui.TakeMessages();
  for (const MessageBoxRecord& m : earlier) c.ui.ShowMessage(m.caption, m.text, m.icon);
  if (e.newTemplate() && !c.draft->templateName.empty()) e.NameChanged(AnsiToUtf8(c.draft->templateName));
  c.draftRestored = true;
  c.draftWhole = HoldsDraft(*c.draft, e);
  if (!c.draftWhole) c.ui.ShowMessage("Import", kDraftPartly, MessageIcon::None);
}

void Undo(ActionContext& c) {
  c.recordStep = false;
  if (c.undo.empty()) return;
  RestorePositions(c.e, c.undo.back());
  c.undo.pop_back();
}

// The header row of a grid: the first row that holds anything, and its cells.
long HeaderRow(const CCLayout& e, std::vector<std::string>& headers) {
  long headerRow = 0;
  for (long r = 1; r < e.gridRows() && headerRow == 0; ++r) {
    e.ForEachCell(r, [&](long c, std::string_view text) {
      headerRow = r;
      if (headers.size() < static_cast<std::size_t>(c)) headers.resize(static_cast<std::size_t>(c));
      headers[static_cast<std::size_t>(c - 1)] = std::string(text);
    });
  }
  return headerRow;
}

// Whether the values below the header in a column write their decimals after
// a comma ("1.234,50", "12,5") more often than after a point.
bool DecimalCommaColumn(const CCLayout& e, long headerRow, long col) {
  int comma = 0, point = 0;
  for (long r = headerRow + 1; r < e.gridRows() && r <= headerRow + 100; ++r) {
    const std::string_view v = e.cell(r, col);
    const std::size_t mark = v.find_last_of(",.");
    if (mark == std::string_view::npos) continue;
    std::size_t digits = 0;
    while (mark + 1 + digits < v.size() && v[mark + 1 + digits] >= '0' && v[mark + 1 + digits] <= '9') ++digits;
    // Three digits after the last mark are thousands, unless another mark
    // comes before it.
    const bool decimals = digits != 3 || v.find_first_of(",.") != mark;
    if (!decimals) continue;
    (v[mark] == ',' ? comma : point)++;
  }
  return comma > point;
}

// The column whose header says debit (or credit) and that no item holds.
long HeaderColumn(const std::vector<std::string>& headers, const std::vector<bool>& taken,
                  std::initializer_list<std::string_view> names) {
  for (std::size_t c = 0; c < headers.size(); ++c) {
    if (c < taken.size() && taken[c]) continue;
    const std::string key = MappingKey(headers[c]);
    for (const std::string_view name : names)
      if (key == name) return static_cast<long>(c) + 1;
  }
  return 0;
}

// Debit and credit columns beside an unplaced balance: the first unplaced
// amount item whose caption says balance goes to the debit column, its
// credit column to the credit column, and the amounts are read signed.
void SuggestDebitCredit(ActionContext& c, const std::vector<std::string>& headers, long headerRow, Json& suggested) {
  CCLayout& e = c.e;
  std::vector<bool> taken(headers.size(), false);
  for (std::size_t i = 0; i < e.itemCount(); ++i)
    if (e.fields()[i].placed() && e.fields()[i].nCol < taken.size()) taken[e.fields()[i].nCol] = true;
  const long debit = HeaderColumn(headers, taken, {"debit", "dr", "debits"});
  const long credit = HeaderColumn(headers, taken, {"credit", "cr", "credits"});
  if (debit == 0 || credit == 0) return;
  for (std::size_t i = 0; i < e.itemCount(); ++i) {
    const int item = static_cast<int>(i);
    if (e.fields()[i].placed() || !e.IsItemAvailable(item) || !e.IsAmountItem(item) ||
        MappingKey(e.itemCaption(i)).find("balance") == std::string::npos)
      continue;
    const bool comma = DecimalCommaColumn(e, headerRow, debit) || DecimalCommaColumn(e, headerRow, credit);
    e.SelectItem(item);
    e.PlaceFromGridClick(headerRow + 1, debit);
    e.SetAmounts(comma ? AmountStyle::kSignedComma : AmountStyle::kSigned);
    if (e.StartCreditPlacement()) e.PlaceFromGridClick(headerRow + 1, credit);
    suggested.push_back({{"item", item},
                         {"caption", AnsiToUtf8(e.itemCaption(i))},
                         {"column", ColumnName(static_cast<std::size_t>(debit - 1))},
                         {"header", AnsiToUtf8(headers[static_cast<std::size_t>(debit - 1)])},
                         {"creditColumn", ColumnName(static_cast<std::size_t>(credit - 1))},
                         {"creditHeader", AnsiToUtf8(headers[static_cast<std::size_t>(credit - 1)])},
                         {"amounts", comma ? "Signed, 1.234,50" : "Signed, 1,234.50"},
                         {"startRow", headerRow + 1}});
    return;
  }
}

// Places unplaced items by the header row of a grid; the answer lists them.
void Suggest(ActionContext& c) {
  CCLayout& e = c.e;
  Json suggested = Json::array();
  std::vector<std::string> headers;
  const long headerRow = e.gridLayout() ? HeaderRow(e, headers) : 0;
  std::vector<bool> taken(headers.size(), false);
  std::vector<MappingCandidate> candidates;
  std::vector<int> candidateItem;
  for (std::size_t i = 0; i < e.itemCount() && headerRow > 0; ++i) {
    const FieldInfo& f = e.fields()[i];
    if (f.placed()) {
      if (f.nCol < taken.size()) taken[f.nCol] = true;
      continue;
    }
    if (!e.IsItemAvailable(static_cast<int>(i))) continue;
    candidates.push_back({e.itemCaption(i), e.itemKeys()[i]});
    candidateItem.push_back(static_cast<int>(i));
  }
  // A start row below the header must be one the grid has.
  if (headerRow > 0 && headerRow + 1 < e.gridRows()) {
    for (const SuggestedMapping& m : SuggestMappings(headers, candidates, taken)) {
      const int item = candidateItem[m.item];
      e.SelectItem(item);
      e.PlaceFromGridClick(headerRow + 1, static_cast<long>(m.column) + 1);
      suggested.push_back({{"item", item},
                           {"caption", AnsiToUtf8(e.itemCaption(static_cast<std::size_t>(item)))},
                           {"column", ColumnName(m.column)},
                           {"header", AnsiToUtf8(headers[m.column])},
                           {"startRow", headerRow + 1}});
    }
    SuggestDebitCredit(c, headers, headerRow, suggested);
    if (!suggested.empty()) e.SelectItem(c.before.current);
  }
  c.extra["suggested"] = std::move(suggested);
}

// One text per row, its cells from column 1 on separated by tabs (cells hold
// printable characters only).
std::string CompactRow(const CCLayout& e, long r) {
  std::string line;
  long at = 1;
  e.ForEachCell(r, [&](long c, std::string_view text) {
    line.append(static_cast<std::size_t>(c - at), '\t');
    line.append(text);
    at = c;
  });
  return AnsiToUtf8(line);
}

void Rows(ActionContext& c) {
  const CCLayout& e = c.e;
  const long from = std::max(0L, GetLong(c.request, "from"));
  const long count = std::clamp(GetLong(c.request, "count"), 0L, kMaxRowsPerRequest);
  const bool compact = c.request.contains("compact") && c.request["compact"] == true;
  Json rows = Json::array();
  if (e.gridLayout()) {
    for (long r = std::max(1L, from); r < std::min(e.gridRows(), from + count); ++r) {
      if (compact) {
        rows.push_back(Json::array({r, CompactRow(e, r)}));
        continue;
      }
      Json cells = Json::array();
      e.ForEachCell(r, [&](long col, std::string_view text) { cells.push_back(Json::array({col, AnsiToUtf8(text)})); });
      rows.push_back(Json::array({r, std::move(cells)}));
    }
  } else {
    const long n = static_cast<long>(e.lineCount());
    for (long l = from; l < std::min(n, from + count); ++l)
      rows.push_back(Json::array({l, AnsiToUtf8(e.line(static_cast<std::size_t>(l)))}));
  }
  c.reply = Json{{"rows", std::move(rows)}};
}

void Preview(ActionContext& c) { c.reply = c.preview(); }

// A new sheet or separator makes a new grid: the steps of the old one are
// no steps of it.
void Sheet(ActionContext& c) {
  c.e.SelectSheet(static_cast<int>(GetLong(c.request, "index", -1)));
  c.undo.clear();
  c.recordStep = false;
}

void Separator(ActionContext& c) {
  const std::string stored = GetString(c.request, "separator");
  for (const SeparatorChoice& choice : SeparatorChoices())
    if (choice.stored == stored) c.e.SetSeparator(choice.separator);
  c.undo.clear();
  c.recordStep = false;
}

void Amounts(ActionContext& c) {
  const std::string name = GetString(c.request, "amounts");
  for (const auto& [style, stored] : kAmountNames)
    if (stored == name) c.e.SetAmounts(style);
}

void Credit(ActionContext& c) {
  c.recordStep = false;
  if (c.request.contains("cancel") && c.request["cancel"] == true) c.e.CancelCreditPlacement();
  else c.e.StartCreditPlacement();
}

constexpr std::array kActions = {
    ActionEntry{"select", &Select},          ActionEntry{"click", &Click, true},
    ActionEntry{"textSelect", &TextSelect, true}, ActionEntry{"colBox", &ColBox, true},
    ActionEntry{"lenBox", &LenBox, true},    ActionEntry{"name", &Name},
    ActionEntry{"reset", &Reset},            ActionEntry{"ok", &Ok},
    ActionEntry{"cancel", &Cancel},          ActionEntry{"gridScroll", &GridScroll},
    ActionEntry{"textScroll", &TextScroll},  ActionEntry{"claim", &Nothing},
    ActionEntry{"view", &Nothing},           ActionEntry{"undo", &Undo},
    ActionEntry{"suggest", &Suggest},        ActionEntry{"rows", &Rows},
    ActionEntry{"preview", &Preview},        ActionEntry{"restoreDraft", &RestoreDraft},
    ActionEntry{"sheet", &Sheet},            ActionEntry{"separator", &Separator},
    ActionEntry{"amounts", &Amounts},        ActionEntry{"credit", &Credit},
};

}  // namespace

// Reset, then each placed item clicked at its column and start row again; the
// exact values (line codes included) come back last, and the item that was
// current is selected again.
void RestorePositions(CCLayout& e, const Step& saved) {
  if (e.gridLayout()) {
    e.Reset();
    for (std::size_t i = 0; i < e.itemCount(); ++i) {
      const FieldInfo& f = saved.fields[i];
      if (!f.placed() || !e.IsItemAvailable(static_cast<int>(i))) continue;
      e.SelectItem(static_cast<int>(i));
      e.PlaceFromGridClick(f.nLen, static_cast<long>(f.nCol) + 1);
    }
  }
  e.mutableFields() = saved.fields;
  if (saved.credits) e.SetCredits(*saved.credits);
  if (saved.amounts) e.SetAmounts(*saved.amounts);
  if (saved.current >= 0) e.SelectItem(saved.current);
}

Step StepOf(const CCLayout& e) { return Step{e.fields(), e.currentItem(), e.credits(), e.amounts()}; }

bool Differs(const CCLayout& e, const Step& step) {
  return e.fields() != step.fields || (step.credits && e.credits() != *step.credits) ||
         (step.amounts && e.amounts() != *step.amounts);
}

Json StateJson(const CCLayout& e, unsigned session) {
  Json s;
  s["session"] = session;
  s["title"] = AnsiToUtf8(e.title());
  s["name"] = AnsiToUtf8(e.templateName());
  s["nameReadOnly"] = !e.newTemplate();
  s["okEnabled"] = e.okEnabled() && !e.ended();
  s["initialised"] = e.initialised();
  s["kindLabel"] = AnsiToUtf8(e.kindLabel());
  s["kindVisible"] = e.kindListVisible();
  Json kinds = Json::array();
  for (const auto& k : e.kindEntries()) kinds.push_back(AnsiToUtf8(k.second));
  s["kinds"] = std::move(kinds);
  s["kindSelected"] = e.kindSelection();
  const bool grid = e.gridLayout();
  s["layout"] = std::string(1, e.layoutLetter());
  s["numbersHeading"] = grid ? "Column   Start Row" : "Column   Length";
  s["lengthLabel"] = grid ? "Start Row" : "Length";
  s["sourceFile"] = AnsiToUtf8(e.inputs().dataFileName);
  s["instruction"] = grid ? kInstruction : kTextInstruction;
  // The import type, which the page names as the reason an item is grey.
  s["importType"] = AnsiToUtf8(e.inputs().hostCode);
  s["digitWidths"] = grid ? 8 : 10;
  s["items"] = ItemsJson(e);
  s["current"] = e.currentItem();
  s["canPlace"] = e.currentAvailable();
  s["colBox"] = e.colBox();
  s["lenBox"] = e.lenBox();
  s["focus"] = FocusName(e.focus());
  s["limits"] = BoxLimits(e);
  PreviewStateJson(e, s);
  ReadingStateJson(e, s);
  s["ended"] = e.ended();
  s["endedOk"] = e.endedWithOk();
  return s;
}

long GetLong(const Json& j, const char* key, long fallback) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number_integer()) return fallback;
  const auto v = j[key].get<int64_t>();
  return static_cast<long>(std::clamp<int64_t>(v, -1'000'000'000LL, 1'000'000'000LL));
}

std::string GetString(const Json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_string()) return {};
  return j[key].get<std::string>();
}

Json TakeMessagesJson(RecordingUserInterface& ui) {
  Json messages = Json::array();
  for (const auto& m : ui.TakeMessages()) messages.push_back({{"caption", m.caption}, {"text", m.text}});
  return messages;
}

const ActionEntry* FindAction(std::string_view name) {
  const auto it = std::find_if(kActions.begin(), kActions.end(), [&](const ActionEntry& a) { return a.name == name; });
  return it == kActions.end() ? nullptr : &*it;
}

// The model showed the refusal's message and cleared the item; the item gets
// its position back, and the refusal is no step of its own.
void ApplyRefusal(ActionContext& c) {
  CCLayout& e = c.e;
  const std::optional<BoxRefusal> refusal = e.TakeRefusal();
  const int cur = c.before.current;
  if (!refusal || cur < 0 || cur != e.currentItem() || e.colBox() != "0" || e.lenBox() != "0") return;
  if (c.before.fields[static_cast<std::size_t>(cur)].placed() && !e.fields()[static_cast<std::size_t>(cur)].placed())
    RestorePositions(e, c.before);
  c.recordStep = false;
  c.extra["refused"] = {{"box", refusal->rule == BoxRefusal::Rule::Column ? "col" : "len"}, {"max", refusal->max}};
}

// The answer to an editing action: the refusal handled, the step recorded,
// the state and the messages.
Json FinishAction(ActionContext& c, const ActionEntry& entry) {
  Json messages = TakeMessagesJson(c.ui);
  if (entry.placing) ApplyRefusal(c);
  CCLayout& e = c.e;
  if (c.recordStep && Differs(e, c.before) && !e.ended()) {
    c.undo.push_back(c.before);
    if (c.undo.size() > kMaxUndoSteps) c.undo.erase(c.undo.begin());
  }
  Json out = std::move(c.extra);
  out["messages"] = std::move(messages);
  return out;
}

}  // namespace zephrin::hub
