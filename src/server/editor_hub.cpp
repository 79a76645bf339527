#include "server/editor_hub.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "editor/mapping_suggestions.h"
#include "server/web_access.h"
#include "platform/codepage.h"

namespace zephrin {

namespace {

using Json = nlohmann::json;

constexpr const char* kInstruction =
    "For each import Field below: click the field name, then click the column header in the data grid that "
    "matches that field.";
// Rows or lines one request may fetch.
constexpr long kMaxRowsPerRequest = 2000;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

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

Json BoxLimits(const CCLayout& e);

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
  s["instruction"] = kInstruction;
  s["digitWidths"] = grid ? 8 : 10;

  Json items = Json::array();
  for (std::size_t i = 0; i < e.itemCount(); ++i) {
    const FieldInfo& f = e.fields()[i];
    const bool available = e.IsItemAvailable(static_cast<int>(i));
    const bool selected = static_cast<int>(i) == e.currentItem();
    items.push_back({{"caption", AnsiToUtf8(e.itemCaption(i))},
                     {"lines", CaptionLines(e.itemCaption(i))},
                     {"col", f.placed() ? f.nCol + 1 : 0},
                     {"len", f.nLen},
                     {"available", available},
                     {"selected", selected},
                     {"drawnSelected", selected && available}});
  }
  s["items"] = std::move(items);
  s["current"] = e.currentItem();
  s["canPlace"] = e.currentAvailable();
  s["colBox"] = e.colBox();
  s["lenBox"] = e.lenBox();
  s["focus"] = FocusName(e.focus());
  s["limits"] = BoxLimits(e);

  if (grid) {
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
  s["ended"] = e.ended();
  s["endedOk"] = e.endedWithOk();
  return s;
}

long GetLong(const Json& j, const char* key, long fallback = 0) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number_integer()) return fallback;
  const auto v = j[key].get<int64_t>();
  return static_cast<long>(std::clamp<int64_t>(v, -1'000'000'000LL, 1'000'000'000LL));
}

std::string GetString(const Json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_string()) return {};
  return j[key].get<std::string>();
}

Json ErrorJson(std::string text) { return Json{{"error", std::move(text)}}; }

}  // namespace

// ---- Splitting a dialog filter -----------------------------------------------------

std::vector<std::pair<std::string, std::string>> SplitDialogFilter(std::string_view filter) {
  std::vector<std::pair<std::string, std::string>> out;
  if (filter.empty()) return out;
  // The last character is the separator.
  const char sep = filter.back();
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] == sep) {
      parts.emplace_back(filter.substr(start, i - start));
      start = i + 1;
    }
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
  return out;
}

// ---- The hub -------------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNameMissing = "Please enter a name for the template.";
// Placement steps that Undo can take back.
constexpr std::size_t kMaxUndoSteps = 200;
// How often a waiting editor looks whether its page or its caller has gone.
constexpr auto kLivenessCheck = std::chrono::milliseconds(200);

std::string TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// The positions of every item as a step of the undo list.
struct Step {
  FieldInfoArray fields{};
  int current = -1;
};

// Puts every item back where `saved` has it, through the model's own
// operations, so that the grid's headers follow: Reset, then each placed item
// clicked at its column and start row again; the exact values (line codes
// included) come back last, and the item that was current is selected again.
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
  if (saved.current >= 0) e.SelectItem(saved.current);
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

Json TakeMessagesJson(RecordingUserInterface& ui) {
  Json messages = Json::array();
  for (const auto& m : ui.TakeMessages()) messages.push_back({{"caption", m.caption}, {"text", m.text}});
  return messages;
}

}  // namespace

struct EditorHub::Session {
  unsigned id = 0;
  RecordingUserInterface ui;
  std::unique_ptr<CCLayout> editor;
  std::string owner;  // the page that holds the editor; empty until one takes it over
  Clock::time_point lastSeen{};
  std::vector<Step> undo;
};

struct EditorHub::Dialog {
  unsigned id = 0;
  FileDialogRequest request;
  bool answered = false;
  std::optional<FileDialogResult> result;
};

EditorHub::EditorHub() = default;

EditorHub::~EditorHub() { Stop(); }

void EditorHub::SetOnEditorOpen(std::function<void()> onOpen) {
  std::lock_guard lock(m_mutex);
  m_onOpen = std::move(onOpen);
}

void EditorHub::SetRoots(std::vector<std::string> roots) {
  std::lock_guard lock(m_mutex);
  m_roots = CanonicalRoots(roots);
}

void EditorHub::SetPreviewReader(PreviewReader reader) {
  std::lock_guard lock(m_mutex);
  m_previewReader = std::move(reader);
}

void EditorHub::SetCallerGone(std::function<bool()> callerGone) {
  std::lock_guard lock(m_mutex);
  m_callerGone = std::move(callerGone);
}

void EditorHub::SetPageTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(m_mutex);
  m_pageTimeout = timeout;
}

void EditorHub::Stop() {
  std::lock_guard lock(m_mutex);
  m_stopping = true;
  m_cv.notify_all();
}

bool EditorHub::WaitForEditor(int timeoutMs) {
  std::unique_lock lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_session != nullptr; });
}

std::string EditorHub::RunEditor(const LayoutEditorInputs& inputs,
                                 const std::function<void(std::string_view)>& trace) {
  std::unique_lock lock(m_mutex);
  // One editor at a time: a second caller waits for the first to end.
  m_cv.wait(lock, [&] { return m_session == nullptr || m_stopping; });
  auto session = std::make_unique<Session>();
  session->id = ++m_nextId;
  session->editor = std::make_unique<CCLayout>(inputs, session->ui);
  session->editor->SetTrace(trace);
  CCLayout& editor = *session->editor;
  editor.Initialise();
  if (m_stopping) {
    editor.Cancel();
    return editor.templateName();
  }
  Session* const current = session.get();
  m_session = std::move(session);
  m_cv.notify_all();
  if (m_onOpen) {
    const auto onOpen = m_onOpen;
    lock.unlock();
    onOpen();
    lock.lock();
  }
  // The editor ends with OK or Cancel, when the hub stops, when the page
  // that holds it goes away, or when its caller goes before a page took it.
  while (!editor.ended() && !m_stopping) {
    m_cv.wait_for(lock, kLivenessCheck);
    if (editor.ended() || m_stopping) break;
    if (!current->owner.empty()) {
      if (Clock::now() - current->lastSeen > m_pageTimeout) break;
    } else if (m_callerGone && m_callerGone()) {
      break;
    }
  }
  if (!editor.ended()) editor.Cancel();
  // A preview read still running uses the service object: it ends first.
  m_cv.wait(lock, [&] { return m_previewsRunning == 0; });
  std::string name = editor.templateName();
  m_lastSession = current->id;
  m_lastOk = editor.endedWithOk();
  m_session.reset();
  m_cv.notify_all();
  lock.unlock();
#if defined(__GLIBC__)
  // The preview of a large file leaves much free memory behind: give it back.
  malloc_trim(0);
#endif
  return name;
}

std::optional<FileDialogResult> EditorHub::AskFile(const FileDialogRequest& request) {
  std::unique_lock lock(m_mutex);
  m_cv.wait(lock, [&] { return m_dialog == nullptr || m_stopping; });
  if (m_stopping) return std::nullopt;
  m_dialog = std::make_unique<Dialog>();
  m_dialog->id = ++m_nextId;
  m_dialog->request = request;
  Dialog* dialog = m_dialog.get();
  m_cv.notify_all();
  m_cv.wait(lock, [&] { return dialog->answered || m_stopping; });
  std::optional<FileDialogResult> result = dialog->answered ? dialog->result : std::nullopt;
  m_dialog.reset();
  m_cv.notify_all();
  return result;
}

std::string EditorHub::HandleRequest(std::string_view body) {
  const Json request = Json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
  if (!request.is_object()) return Dump(ErrorJson("The request is not a JSON object."));
  const std::string action = GetString(request, "action");

  std::unique_lock lock(m_mutex);
  Json out;

  if (action == "list") return Dump(ListFolder(m_roots, GetString(request, "dir")));
  if (action == "catalogue") {
    // The import types and international kinds, for the page's choices.
    Json types = Json::array();
    for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t)
      types.push_back({{"code", t->code}, {"caption", AnsiToUtf8(t->caption)}, {"itemSet", t->itemSet}});
    Json kinds = Json::array();
    for (int k = 0; k < kIntlKindCount; ++k) {
      const IntlKind* kind = FindIntlKind(k);
      kinds.push_back(kind != nullptr ? AnsiToUtf8(kind->displayName) : std::string());
    }
    return Dump(Json{{"types", std::move(types)}, {"intlKinds", std::move(kinds)}});
  }

  if (action == "answer") {
    if (!m_dialog || GetLong(request, "dialog", -1) != static_cast<long>(m_dialog->id))
      return Dump(ErrorJson("That file dialog is no longer open."));
    m_dialog->answered = true;
    if (request.contains("path") && request["path"].is_string() && !request["path"].get<std::string>().empty())
      m_dialog->result = FileDialogResult{request["path"].get<std::string>(),
                                          static_cast<int>(GetLong(request, "filterIndex", m_dialog->request.filterIndex))};
    m_cv.notify_all();
    return Dump(Json{{"ok", true}});
  }

  // A request of the page that holds the editor says it is still there.
  const std::string page = GetString(request, "page");
  const bool forSession = m_session && GetLong(request, "session", -1) == static_cast<long>(m_session->id);
  if (forSession && !page.empty() && page == m_session->owner) m_session->lastSeen = Clock::now();

  if (action == "state") {
    out["editor"] = m_session ? StateJson(*m_session->editor, m_session->id) : Json(nullptr);
    if (m_session) out["editor"]["canUndo"] = !m_session->undo.empty();
    out["held"] = m_session && !m_session->owner.empty();
    out["yours"] = forSession && !page.empty() && page == m_session->owner;
    out["last"] = m_lastSession != 0 ? Json{{"session", m_lastSession}, {"ok", m_lastOk}} : Json(nullptr);
    // The editor's page takes the messages its set-up showed; other pages
    // that only look for dialogs leave them.
    Json messages = Json::array();
    if (m_session && request.contains("takeMessages") && request["takeMessages"] == true)
      messages = TakeMessagesJson(m_session->ui);
    out["messages"] = std::move(messages);
    if (m_dialog) {
      const FileDialogRequest& r = m_dialog->request;
      Json filters = Json::array();
      for (const auto& [label, patterns] : SplitDialogFilter(r.filter)) filters.push_back({{"label", label}, {"patterns", patterns}});
      out["dialog"] = {{"id", m_dialog->id},
                       {"kind", r.kind == FileDialogRequest::Kind::Save ? "save" : "open"},
                       {"title", r.title},
                       {"filters", std::move(filters)},
                       {"filterIndex", r.filterIndex},
                       {"initialFolder", r.initialFolder},
                       {"initialFileName", r.initialFileName},
                       {"mustExist", r.mustExist}};
    } else {
      out["dialog"] = nullptr;
    }
    return Dump(out);
  }

  const Json closed = Json{{"editor", nullptr}, {"messages", Json::array()}, {"closed", true}};
  if (!forSession || m_session->editor->ended()) return Dump(closed);
  Session& session = *m_session;
  if (action == "claim") {
    if (page.empty()) return Dump(ErrorJson("A claim names the page."));
    session.owner = page;
    session.lastSeen = Clock::now();
  } else if (!page.empty() && !session.owner.empty() && page != session.owner) {
    Json taken = closed;
    taken["takenOver"] = true;
    return Dump(taken);
  }
  if (action == "leave") {
    session.editor->Cancel();
    m_cv.notify_all();
    return Dump(closed);
  }
  if (action == "beat") return Dump(Json{{"ok", true}});
  return EditorAction(lock, action, request);
}

std::string EditorHub::EditorAction(std::unique_lock<std::mutex>& lock, const std::string& action,
                                    const Json& request) {
  Session& session = *m_session;
  CCLayout& e = *session.editor;
  Json out;

  if (request.contains("view") && request["view"].is_object()) {
    const Json& v = request["view"];
    if (e.gridLayout()) e.SetGridViewport(GetLong(v, "leftCol", 1), GetLong(v, "rightCol", 0));
    else e.SetTextViewport(GetLong(v, "firstLine"), GetLong(v, "visibleLines"));
  }

  if (action == "rows") {
    const long from = std::max(0L, GetLong(request, "from"));
    const long count = std::clamp(GetLong(request, "count"), 0L, kMaxRowsPerRequest);
    const bool compact = request.contains("compact") && request["compact"] == true;
    Json rows = Json::array();
    if (e.gridLayout()) {
      for (long r = std::max(1L, from); r < std::min(e.gridRows(), from + count); ++r) {
        if (compact) {
          // One text per row, its cells from column 1 on separated by tabs
          // (cells hold printable characters only).
          std::string line;
          long at = 1;
          e.ForEachCell(r, [&](long c, std::string_view text) {
            line.append(static_cast<std::size_t>(c - at), '\t');
            line.append(text);
            at = c;
          });
          rows.push_back(Json::array({r, AnsiToUtf8(line)}));
          continue;
        }
        Json cells = Json::array();
        e.ForEachCell(r, [&](long c, std::string_view text) { cells.push_back(Json::array({c, AnsiToUtf8(text)})); });
        rows.push_back(Json::array({r, std::move(cells)}));
      }
    } else {
      const long n = static_cast<long>(e.lineCount());
      for (long l = from; l < std::min(n, from + count); ++l)
        rows.push_back(Json::array({l, AnsiToUtf8(e.line(static_cast<std::size_t>(l)))}));
    }
    return Dump(Json{{"rows", std::move(rows)}});
  }

  if (action == "preview") {
    if (!m_previewReader) return Dump(Json{{"preview", nullptr}});
    const LayoutEditorInputs& in = e.inputs();
    ReadRequest read;
    read.importFile = in.dataFilePath;
    read.templateName = AnsiToUtf8(e.templateName());
    read.importType = AnsiToUtf8(in.hostCode);
    read.format = static_cast<SourceFormat>(e.layoutLetter());
    if (in.hostCode == "INTL") {
      read.international = true;
      read.intlType = static_cast<int16_t>(in.intlKind);
    }
    read.heldTemplate = ReadRequest::HeldTemplate{e.layoutType(), e.fields()};
    read.recordLimit = kPreviewRecords;
    const unsigned id = session.id;
    const PreviewReader reader = m_previewReader;
    // The read runs outside the lock, so that the page's other requests go on;
    // the editor's session waits for it before it ends.
    ++m_previewsRunning;
    lock.unlock();
    ReadResult result;
    try {
      result = reader(read);
    } catch (...) {
      result = ReadResult::Error("<Error>The preview could not be read.</Error>");
    }
    lock.lock();
    --m_previewsRunning;
    m_cv.notify_all();
    return Dump(Json{{"preview", {{"session", id},
                                  {"outcome", std::string(OutcomeName(result.outcome))},
                                  {"text", std::string(result.text.view())}}}});
  }

  const Step before{e.fields(), e.currentItem()};
  bool recordStep = true;
  Json suggested;
  if (action == "select") e.SelectItem(static_cast<int>(GetLong(request, "index", -1)));
  else if (action == "click") e.PlaceFromGridClick(GetLong(request, "row", -2), GetLong(request, "col", -2));
  else if (action == "textSelect") {
    // Positions as line and column; a column past a line's end stops at its end.
    const auto offset = [&](const char* key) -> std::size_t {
      if (!request.contains(key) || e.lineCount() == 0) return 0;
      const long line = std::clamp(GetLong(request[key], "line"), 0L, static_cast<long>(e.lineCount()) - 1);
      const auto l = static_cast<std::size_t>(line);
      const std::size_t col = static_cast<std::size_t>(std::max(0L, GetLong(request[key], "col")));
      return e.lineStart(l) + std::min(col, e.lineLength(l));
    };
    e.PlaceFromTextSelection(offset("start"), offset("end"));
  } else if (action == "colBox") e.ColumnBoxChanged(GetString(request, "text"));
  else if (action == "lenBox") e.LengthBoxChanged(GetString(request, "text"));
  else if (action == "name") e.NameChanged(GetString(request, "text"));
  else if (action == "reset") e.Reset();
  else if (action == "ok") {
    // The name is saved without blanks around it, and a name of blanks
    // alone is none.
    if (e.newTemplate()) {
      const std::string trimmed = TrimBlanks(e.templateName());
      if (trimmed.empty()) {
        session.ui.ShowMessage("Import", kNameMissing, MessageIcon::None);
      } else {
        if (trimmed != e.templateName()) e.NameChanged(AnsiToUtf8(trimmed));
        e.Ok();
      }
    } else {
      e.Ok();
    }
  } else if (action == "cancel") e.Cancel();
  else if (action == "gridScroll") e.GridScrolled(GetLong(request, "leftCol"));
  else if (action == "textScroll") e.TextScrolled();
  else if (action == "claim" || action == "view") {
    // Nothing more: the view is applied above, a claim was taken.
  } else if (action == "undo") {
    recordStep = false;
    if (!session.undo.empty()) {
      RestorePositions(e, session.undo.back());
      session.undo.pop_back();
    }
  } else if (action == "suggest") {
    suggested = Json::array();
    if (e.gridLayout()) {
      // The header row: the first row that holds anything.
      long headerRow = 0;
      std::vector<std::string> headers;
      for (long r = 1; r < e.gridRows() && headerRow == 0; ++r) {
        e.ForEachCell(r, [&](long c, std::string_view text) {
          headerRow = r;
          if (headers.size() < static_cast<std::size_t>(c)) headers.resize(static_cast<std::size_t>(c));
          headers[static_cast<std::size_t>(c - 1)] = std::string(text);
        });
      }
      std::vector<bool> taken(headers.size(), false);
      std::vector<MappingCandidate> candidates;
      std::vector<int> candidateItem;
      for (std::size_t i = 0; i < e.itemCount(); ++i) {
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
        if (!suggested.empty()) e.SelectItem(before.current);
      }
    }
  } else return Dump(ErrorJson("Unknown action: " + action));

  Json messages = TakeMessagesJson(session.ui);
  // A refused box value or drag: the model showed its message and cleared
  // the item; the item gets its position back.
  const int cur = before.current;
  if (!messages.empty() && cur >= 0 && cur == e.currentItem() && e.colBox() == "0" && e.lenBox() == "0" &&
      (action == "colBox" || action == "lenBox" || action == "textSelect" || action == "click")) {
    const std::string text = messages.back()["text"].get<std::string>();
    const bool colRefused = text == "Invalid column number";
    const bool lenRefused = text.starts_with("Invalid row") || text.starts_with("Length too long");
    if (colRefused || lenRefused) {
      if (before.fields[static_cast<std::size_t>(cur)].placed() && !e.fields()[static_cast<std::size_t>(cur)].placed())
        RestorePositions(e, before);
      recordStep = false;
      // The range of the value tried: a length's depends on where it starts,
      // and the message names it.
      long max = BoxLimits(e)["col"].get<long>();
      if (lenRefused) {
        const std::size_t at = text.find("(max. ");
        max = at == std::string::npos ? 0 : std::strtol(text.c_str() + at + 6, nullptr, 10);
      }
      out["refused"] = {{"box", colRefused ? "col" : "len"}, {"max", max}};
    }
  }
  if (recordStep && e.fields() != before.fields && !e.ended()) {
    session.undo.push_back(before);
    if (session.undo.size() > kMaxUndoSteps) session.undo.erase(session.undo.begin());
  }
  if (!suggested.is_null()) out["suggested"] = std::move(suggested);

  out["editor"] = StateJson(e, session.id);
  out["editor"]["canUndo"] = !session.undo.empty();
  out["messages"] = std::move(messages);
  if (e.ended()) m_cv.notify_all();
  return Dump(out);
}

// ---- The user interface of the service under the server --------------------------------

std::optional<FileDialogResult> HubUserInterface::ChooseFile(const FileDialogRequest& request) {
  if (!m_interactive) return RecordingUserInterface::ChooseFile(request);
  return m_hub.AskFile(request);
}

}  // namespace zephrin
