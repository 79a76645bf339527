#include "platform/json_depth.h"
#include "server/editor_hub.h"

#include "result/error_document.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "editor/editor_draft.h"
#include "server/editor_actions.h"
#include "server/page_files.h"
#include "server/page_settings.h"
#include "server/web_access.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace zephrin {

namespace {

using Json = nlohmann::json;
using hub::GetLong;
using hub::GetString;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json ErrorJson(std::string text) { return Json{{"error", std::move(text)}}; }

// The import types and international kinds, for the page's choices.
Json CatalogueJson() {
  Json types = Json::array();
  for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t)
    types.push_back({{"code", t->code}, {"caption", AnsiToUtf8(t->caption)}, {"itemSet", t->itemSet}});
  Json kinds = Json::array();
  for (int k = 0; k < kIntlKindCount; ++k) {
    const IntlKind* kind = FindIntlKind(k);
    kinds.push_back(kind != nullptr ? AnsiToUtf8(kind->displayName) : std::string());
  }
  return Json{{"types", std::move(types)}, {"intlKinds", std::move(kinds)}};
}

Json DialogJson(unsigned id, const FileDialogRequest& r) {
  Json filters = Json::array();
  for (const auto& [label, patterns] : SplitDialogFilter(r.filter)) filters.push_back({{"label", label}, {"patterns", patterns}});
  return {{"id", id},
          {"kind", r.kind == FileDialogRequest::Kind::Save ? "save" : "open"},
          {"title", r.title},
          {"filters", std::move(filters)},
          {"filterIndex", r.filterIndex},
          {"initialFolder", r.initialFolder},
          {"initialFileName", r.initialFileName},
          {"mustExist", r.mustExist}};
}

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
using hub::Step;

// How often a waiting editor looks whether its page or its caller has gone.
constexpr auto kLivenessCheck = std::chrono::milliseconds(200);

}  // namespace

struct EditorHub::Session {
  unsigned id = 0;
  RecordingUserInterface ui;
  std::unique_ptr<CCLayout> editor;
  std::function<void(std::string_view)> trace;
  FieldInfoArray opened{};  // the positions the editor opened with
  std::vector<std::pair<std::string, std::string>> openedKeys;  // and its other keys
  std::optional<EditorDraft> draft;  // the draft this editor may restore
  // The work as a partial restore of the draft left it: a draft of that
  // alone would replace the fuller one kept.
  std::string partlyRestored;
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

void EditorHub::SetSettingsFolder(std::string folder) {
  std::lock_guard lock(m_mutex);
  m_settingsFolder = std::move(folder);
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
  session->trace = trace;
  CCLayout& editor = *session->editor;
  const bool ready = editor.Initialise();
  session->opened = editor.fields();
  session->openedKeys = editor.ExtraKeys();
  if (ready) OfferDraft(*session);
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
  WaitForEnd(lock, *current);
  // A preview read still running uses the service object: it ends first.
  m_cv.wait(lock, [&] { return m_previewsRunning == 0; });
  // A saved template needs its draft no more; the draft of another new
  // template, which the user kept for later, stays.
  if (editor.endedWithOk() && current->draft &&
      UpperAscii(current->draft->templateName) == UpperAscii(editor.templateName()))
    RemoveDraft(*current);
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

// The editor ends with OK or Cancel, when the hub stops, when the page that
// holds it goes away, or when its caller goes before a page took it; ended
// any other way than by OK or Cancel, its unsaved work is kept as a draft.
void EditorHub::WaitForEnd(std::unique_lock<std::mutex>& lock, Session& session) {
  const CCLayout& editor = *session.editor;
  while (!editor.ended() && !m_stopping) {
    m_cv.wait_for(lock, kLivenessCheck);
    if (editor.ended() || m_stopping) break;
    if (!session.owner.empty()) {
      if (Clock::now() - session.lastSeen > m_pageTimeout) break;
    } else if (m_callerGone && m_callerGone()) {
      break;
    }
  }
  if (!editor.ended()) EndUnattended(session);
}

// A draft that another editor left for this data file, import type and template.
void EditorHub::OfferDraft(Session& session) {
  const CCLayout& editor = *session.editor;
  std::optional<EditorDraft> draft = ReadDraft(DraftPath(editor.inputs()));
  if (draft && DraftFits(*draft, editor)) session.draft = std::move(draft);
}

void EditorHub::RemoveDraft(Session& session) {
  session.draft.reset();
  std::error_code ec;
  std::filesystem::remove(DraftPath(session.editor->inputs()), ec);
}

// The page went away (or the hub stops): the work is kept as a draft when it
// is not saved, and the editor ends as Cancel would.
void EditorHub::EndUnattended(Session& session) {
  CCLayout& editor = *session.editor;
  const bool changed = editor.fields() != session.opened || editor.ExtraKeys() != session.openedKeys;
  // Nothing done since a partial restore: the draft kept holds more.
  const bool onlyRestored = !session.partlyRestored.empty() && DraftText(DraftOf(editor)) == session.partlyRestored;
  if (changed && !onlyRestored) {
    const std::string path = DraftPath(editor.inputs());
    const Done kept = path.empty() ? Done(Error{ErrorCode::kNotFound, "the template store's folder is not known"})
                                   : WriteDraft(path, DraftOf(editor));
    if (!kept && session.trace)
      session.trace("EditorHub: the editor's unsaved work could not be kept as a draft: " + kept.error().message);
  }
  editor.Cancel();
  m_cv.notify_all();
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
  if (JsonNestsDeeper(body))
    return Dump(ErrorJson("The request nests arrays and objects more than " + std::to_string(kMaxJsonDepth) + " deep."));
  const Json request = Json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
  if (!request.is_object()) return Dump(ErrorJson("The request is not a JSON object."));
  const std::string action = GetString(request, "action");

  std::unique_lock lock(m_mutex);
  if (action == "list") return Dump(ListFolder(m_roots, GetString(request, "dir")));
  if (action == "catalogue") return Dump(CatalogueJson());
  if (action == "answer") return Dump(AnswerDialog(request));
  if (action == "pageSettings" || action == "rememberType") return Dump(PageSettingsAction(action, request));
  if (IsPageFilesAction(action)) return Dump(PageFilesAction(action, request, m_settingsFolder));

  // A request of the page that holds the editor says it is still there.
  const std::string page = GetString(request, "page");
  const bool forSession = m_session && GetLong(request, "session", -1) == static_cast<long>(m_session->id);
  const bool yours = forSession && !page.empty() && page == m_session->owner;
  if (yours) m_session->lastSeen = Clock::now();
  if (action == "state") return Dump(StateReply(request, yours));

  // An action no one knows is told as such, editor or not: "closed" would
  // send the page looking for an editor that has nothing to do with it.
  if (action != "claim" && action != "leave" && action != "beat" && hub::FindAction(action) == nullptr)
    return Dump(ErrorJson(action.empty() ? std::string("The request names no action.") : "Unknown action: " + action));
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
    EndUnattended(session);
    return Dump(closed);
  }
  if (action == "beat") return Dump(Json{{"ok", true}});
  return EditorAction(lock, action, request);
}

Json EditorHub::AnswerDialog(const Json& request) {
  if (!m_dialog || GetLong(request, "dialog", -1) != static_cast<long>(m_dialog->id))
    return ErrorJson("That file dialog is no longer open.");
  m_dialog->answered = true;
  if (request.contains("path") && request["path"].is_string() && !request["path"].get<std::string>().empty())
    m_dialog->result = FileDialogResult{request["path"].get<std::string>(),
                                        static_cast<int>(GetLong(request, "filterIndex", m_dialog->request.filterIndex))};
  m_cv.notify_all();
  return Json{{"ok", true}};
}

Json EditorHub::StateReply(const Json& request, bool yours) {
  Json out;
  out["editor"] = m_session ? SessionState(*m_session) : Json(nullptr);
  out["held"] = m_session && !m_session->owner.empty();
  out["yours"] = yours;
  out["last"] = m_lastSession != 0 ? Json{{"session", m_lastSession}, {"ok", m_lastOk}} : Json(nullptr);
  // The editor's page takes the messages its set-up showed; other pages
  // that only look for dialogs leave them.
  Json messages = Json::array();
  if (m_session && request.contains("takeMessages") && request["takeMessages"] == true)
    messages = hub::TakeMessagesJson(m_session->ui);
  out["messages"] = std::move(messages);
  out["dialog"] = m_dialog ? DialogJson(m_dialog->id, m_dialog->request) : Json(nullptr);
  return out;
}

std::string EditorHub::EditorAction(std::unique_lock<std::mutex>& lock, const std::string& action,
                                    const Json& request) {
  Session& session = *m_session;
  CCLayout& e = *session.editor;
  if (request.contains("view") && request["view"].is_object()) {
    const Json& v = request["view"];
    if (e.gridLayout()) e.SetGridViewport(GetLong(v, "leftCol", 1), GetLong(v, "rightCol", 0));
    else e.SetTextViewport(GetLong(v, "firstLine"), GetLong(v, "visibleLines"));
  }
  const hub::ActionEntry* entry = hub::FindAction(action);
  if (entry == nullptr) return Dump(ErrorJson("Unknown action: " + action));
  // Only a refusal of this action counts.
  (void)e.TakeRefusal();
  hub::ActionContext c{e, request, session.ui, session.undo, hub::StepOf(e),
                       [&] { return RunPreview(lock, session); }, session.draft ? &*session.draft : nullptr};
  entry->handler(c);
  if (c.reply) return Dump(*c.reply);
  // A draft restored whole has served: the work is the editor's again.
  if (c.draftRestored && c.draftWhole) RemoveDraft(session);
  if (c.draftRestored && !c.draftWhole) session.partlyRestored = DraftText(DraftOf(e));
  Json out = hub::FinishAction(c, *entry);
  out["editor"] = SessionState(session);
  if (e.ended()) m_cv.notify_all();
  return Dump(out);
}

// The editor's state with what the hub keeps beside it: whether Undo has
// steps, whether the positions differ from those the editor opened with, and
// the draft it may restore.
Json EditorHub::SessionState(const Session& session) const {
  const CCLayout& e = *session.editor;
  Json s = hub::StateJson(e, session.id);
  s["canUndo"] = !session.undo.empty();
  s["unsaved"] = (e.fields() != session.opened || e.ExtraKeys() != session.openedKeys) && !e.ended();
  Json draft = nullptr;
  if (session.draft) {
    const auto placed = std::count_if(session.draft->positions.begin(), session.draft->positions.end(),
                                      [](const auto& p) { return p.second.placed(); });
    draft = {{"template", AnsiToUtf8(session.draft->templateName)},
             {"newTemplate", session.draft->newTemplate},
             {"placed", placed}};
  }
  s["draft"] = std::move(draft);
  return s;
}

// The pages' settings, without a folder none.
Json EditorHub::PageSettingsAction(const std::string& action, const Json& request) const {
  if (m_settingsFolder.empty())
    return action == "pageSettings" ? Json{{"importTypes", Json::object()}} : ErrorJson("The pages keep no settings here.");
  const std::string path = m_settingsFolder + "/pages.json";
  if (action == "pageSettings") return ReadPageSettings(path);
  return RememberImportType(path, GetString(request, "template"), GetString(request, "type"));
}

namespace {

// The editor's unsaved template as a read takes it: positions, amounts and
// credit columns, and the data file's keys.
ReadRequest::HeldTemplate HeldTemplateOf(const CCLayout& e) {
  ReadRequest::HeldTemplate held;
  held.layoutType = e.layoutType();
  held.fields = e.fields();
  for (const auto& [key, value] : e.ExtraKeys()) {
    if (key == "Amounts") held.amounts.amounts = value;
    else if (key == "Sheet") held.sheet = UpperAscii(value);
    else if (key == "Separator") held.separator = UpperAscii(value);
  }
  for (std::size_t i = 0; i < e.itemCount(); ++i)
    if (e.fields()[i].placed()) held.amounts.credits[i] = e.credits()[i];
  return held;
}

}  // namespace

// The records the unsaved template gives for the first lines. The read runs
// outside the lock, so that the page's other requests go on; the editor's
// session waits for it before it ends.
Json EditorHub::RunPreview(std::unique_lock<std::mutex>& lock, Session& session) {
  if (!m_previewReader) return Json{{"preview", nullptr}};
  const CCLayout& e = *session.editor;
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
  read.heldTemplate = HeldTemplateOf(e);
  read.recordLimit = kPreviewRecords;
  const unsigned id = session.id;
  const PreviewReader reader = m_previewReader;
  ++m_previewsRunning;
  lock.unlock();
  ReadResult result;
  try {
    result = reader(read);
  } catch (...) {
    result = ReadResult::Error(ErrorDocument::Reader("The preview could not be read."));
  }
  lock.lock();
  --m_previewsRunning;
  m_cv.notify_all();
  return Json{{"preview", {{"session", id},
                           {"outcome", std::string(OutcomeName(result.outcome))},
                           {"text", std::string(result.text.view())}}}};
}

// ---- The user interface of the service under the server --------------------------------

std::optional<FileDialogResult> HubUserInterface::ChooseFile(const FileDialogRequest& request) {
  if (!m_interactive) return RecordingUserInterface::ChooseFile(request);
  return m_hub.AskFile(request);
}

}  // namespace zephrin
