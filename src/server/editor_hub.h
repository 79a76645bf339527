// EditorHub: the layout editor and the file dialogs as a web page shows them.
//
// The thread that runs a service method (EditLayout, or a method that asks
// for a file) blocks in the hub; the page polls the hub, shows what waits
// (the editor or a file dialog), and sends the user's actions, each of which
// is applied to the editor model under the hub's lock. The hub answers with
// the editor's whole state, so the page only draws and never decides.
//
// Requests and answers are JSON texts:
//   {"action":"state","takeMessages":B}      -> {"editor":STATE|null,"dialog":DIALOG|null,"messages":[...]}
//   {"action":"select","session":N,"index":I} and the other editor actions
//   {"action":"rows","session":N,"from":R,"count":C}
//   {"action":"list","dir":PATH}             -> a folder listing for a file dialog
//   {"action":"catalogue"}                   -> the import types and international kinds
//   {"action":"answer","dialog":N,"path":P|null,"filterIndex":I}
//   {"action":"pageSettings"}                -> {"importTypes":{TEMPLATE:CODE,...}} (pages.json)
//   {"action":"rememberType","template":T,"type":CODE|""} -> the same, after keeping (or forgetting) T's type
// and the import page's uploads, data-file lines and item captions
// (server/page_files.h).
// Editor actions may carry "view": the preview's visible part, applied first.
//
// An open editor belongs to the page that shows it. A page takes it over with
//   {"action":"claim","session":N,"page":P}
// and from then on every request that carries "page":P (the page's polls, a
// {"action":"beat"} of its heartbeat) tells the hub it is still there. When
// it goes quiet for longer than the page timeout, or says
//   {"action":"leave","session":N,"page":P}
// as it goes away, the editor ends as Cancel would, and when its positions
// or other template keys differ from those it opened with they are kept as a
// draft (editor_draft.h).
// The state of the next editor of the same data file, import type and
// template then carries "draft":{"template","newTemplate","placed"}, and
//   {"action":"restoreDraft","session":N}
// puts the draft's sheet or separator, positions, credit columns, amounts
// (and a new template's name) back and removes it, unless part of it no
// longer fits the data file; saving the template removes it too. A request of another
// page ("page" naming another) answers {"closed":true,"takenOver":true}.
// Before any page has taken it over, the editor ends the same way when the
// caller of EditLayout has gone (SetCallerGone).
//
// Beside the editor model's own actions the hub offers:
//   {"action":"undo","session":N}       the positions before the last placement, clearing, Reset or Suggest
//   {"action":"suggest","session":N}     places unplaced items by the header row of a grid
//   {"action":"preview","session":N}     the records the unsaved template gives for the first lines
//   {"action":"rows",...,"compact":true} grid rows as [R,"cell\tcell\t..."] from column 1 on
// A box value or a drag that the model refuses shows its message, and the
// item keeps the position it had (the model clears it; the hub puts it back
// through the model's operations); the answer names the box and its range:
// "refused":{"box":"col"|"len","max":M}. The state says whether the
// positions differ from those the editor opened with ("unsaved"). OK on a new
// template named as a saved one answers "replace":NAME and saves nothing;
// {"action":"ok","replace":true} saves over it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor/editor_host.h"
#include "platform/user_interface.h"
#include "result/read_result.h"
#include "service/read_service.h"

namespace zephrin {

class EditorHub : public EditorHost {
 public:
  EditorHub();
  ~EditorHub() override;
  EditorHub(const EditorHub&) = delete;
  EditorHub& operator=(const EditorHub&) = delete;

  // EditorHost: blocks until the page ends the editor (or the hub stops,
  // which cancels it).
  std::string RunEditor(const LayoutEditorInputs& inputs,
                        const std::function<void(std::string_view)>& trace) override;

  // A file dialog answered by the page; nullopt when cancelled or stopped.
  std::optional<FileDialogResult> AskFile(const FileDialogRequest& request);

  // One request of the page.
  std::string HandleRequest(std::string_view body);

  // Cancels what waits and every later editor or dialog at once.
  void Stop();

  // Called (under no lock) each time an editor has opened.
  void SetOnEditorOpen(std::function<void()> onOpen);
  // Folders whose files a file dialog may list.
  void SetRoots(std::vector<std::string> roots);
  // The writable folder, where the pages keep their settings ("pages.json");
  // without one the pages keep none.
  void SetSettingsFolder(std::string folder);

  // For tests: wait until an editor is open (true) or the time is up.
  bool WaitForEditor(int timeoutMs);

  // Reads the editor's unsaved template through the service object that owns
  // the editor, for the live preview; installed by the code that owns the
  // service. Empty: the editor has no preview.
  using PreviewReader = std::function<ReadResult(const ReadRequest&)>;
  void SetPreviewReader(PreviewReader reader);
  // Whether the caller of EditLayout has gone away. Asked on the thread that
  // runs RunEditor (the caller's own thread), while no page holds the editor.
  void SetCallerGone(std::function<bool()> callerGone);
  // How long the page that holds an editor may stay silent (default 6 s).
  void SetPageTimeout(std::chrono::milliseconds timeout);

  // The records a preview shows at most.
  static constexpr std::size_t kPreviewRecords = 20;

 private:
  struct Session;
  struct Dialog;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::unique_ptr<Session> m_session;
  std::unique_ptr<Dialog> m_dialog;
  unsigned m_nextId = 0;
  bool m_stopping = false;
  std::function<void()> m_onOpen;
  std::vector<std::string> m_roots;
  PreviewReader m_previewReader;
  std::function<bool()> m_callerGone;
  std::chrono::milliseconds m_pageTimeout{6000};
  int m_previewsRunning = 0;
  // How the last editor ended, for the page that asked for it.
  unsigned m_lastSession = 0;
  bool m_lastOk = false;

  std::string m_settingsFolder;

  void WaitForEnd(std::unique_lock<std::mutex>& lock, Session& session);
  void OfferDraft(Session& session);
  void RemoveDraft(Session& session);
  void EndUnattended(Session& session);
  nlohmann::json SessionState(const Session& session) const;
  nlohmann::json PageSettingsAction(const std::string& action, const nlohmann::json& request) const;
  nlohmann::json AnswerDialog(const nlohmann::json& request);
  nlohmann::json StateReply(const nlohmann::json& request, bool yours);
  std::string EditorAction(std::unique_lock<std::mutex>& lock, const std::string& action, const nlohmann::json& request);
  nlohmann::json RunPreview(std::unique_lock<std::mutex>& lock, Session& session);
};

// The service object's user interface under the web server: message boxes
// are recorded for the protocol's response; file dialogs are recorded and
// answered from the request's answers, or, for an interactive request,
// shown by the page through the hub.
class HubUserInterface : public RecordingUserInterface {
 public:
  explicit HubUserInterface(EditorHub& hub) : m_hub(hub) {}
  void SetInteractive(bool interactive) { m_interactive = interactive; }
  std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) override;

 private:
  EditorHub& m_hub;
  bool m_interactive = false;
};

// The filter text of a file dialog ("Label|*.a;*.b|Label|*.c|") as pairs.
std::vector<std::pair<std::string, std::string>> SplitDialogFilter(std::string_view filter);

}  // namespace zephrin
