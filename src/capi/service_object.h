// The service object behind the C interface: the engine's service object, its
// host protocol, the user interface that records message boxes and hands them
// and file dialogs to the host's callbacks, and the object's own writable
// folder. Internal to the library.
#pragma once

#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "capi/zephrinimport.h"
#include "platform/user_interface.h"
#include "platform/writable_folder.h"
#include "service/host_protocol.h"
#include "service/xml_wrapper.h"

struct zephrinimport_reply {
  struct Message {
    std::string caption;
    std::string text;
    zephrinimport_icon icon = ZEPHRINIMPORT_ICON_NONE;
  };
  zephrinimport_kind kind = ZEPHRINIMPORT_NULL;
  std::string text;
  long long integer = 0;
  int status = 0;
  int outcome = -1;
  std::vector<Message> messages;
  std::optional<std::string> error;
};

struct zephrinimport_file_choice {
  int filterIndex = 1;  // the dialog's own, kept when the host gives none
  std::optional<zephrin::FileDialogResult> chosen;
};

namespace zephrin::capi {

// Records every message box (for the results' "messages") and gives it to
// the host's message callback too; answers file dialogs from the call's
// answers when it carries some, else from the host's file callback, else
// cancels them.
class HostUserInterface : public RecordingUserInterface {
 public:
  void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
  std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) override;

  void SetCallbacks(zephrinimport_message_fn message, zephrinimport_choose_file_fn chooseFile, void* userData) {
    m_message = message;
    m_chooseFile = chooseFile;
    m_userData = userData;
  }
  // Whether the coming call carries its own answers.
  void SetCallCarriesAnswers(bool carries) { m_callCarriesAnswers = carries; }

 private:
  zephrinimport_message_fn m_message = nullptr;
  zephrinimport_choose_file_fn m_chooseFile = nullptr;
  void* m_userData = nullptr;
  bool m_callCarriesAnswers = false;
};

}  // namespace zephrin::capi

struct zephrinimport_service {
  zephrin::capi::HostUserInterface ui;
  zephrin::CxmlWrapper service{&ui};
  zephrin::HostProtocol protocol{service, ui};
  // The object's own writable folder ("" : the environment's).
  std::string folder;
  // The last typed read's message boxes and outcome (-1: none yet).
  std::vector<zephrin::MessageBoxRecord> lastReadMessages;
  int lastReadOutcome = -1;

  // Calls on one object run one at a time; `owner` is the thread of the call
  // that runs, so that a callback that calls the object again is refused
  // instead of waiting for itself.
  std::mutex lock;
  std::atomic<std::thread::id> owner{};
};

namespace zephrin::capi {

// Holds a service object for one call: its lock, and its writable folder for
// the calls of this thread. `entered()` is false when the calling thread is
// inside a call on the object already (a callback calling back).
class Call {
 public:
  explicit Call(zephrinimport_service& s);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  bool entered() const { return m_entered; }

 private:
  zephrinimport_service& m_s;
  bool m_entered = false;
  std::optional<WritableFolderScope> m_folder;
};

// Runs the body of an entry point so that no exception crosses the
// interface: running out of memory is ZEPHRINIMPORT_NO_MEMORY, any other
// failure ZEPHRINIMPORT_INTERNAL_ERROR.
template <class Body>
int Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ZEPHRINIMPORT_NO_MEMORY;
  } catch (...) {
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

// A copy of `text` for the caller, released with zephrinimport_free (nullptr
// when there is no memory for it).
char* Give(std::string_view text);
// The JSON array a result's "messages" holds.
std::string MessagesJson(const std::vector<MessageBoxRecord>& messages);
// Runs one request of the host protocol on the object (params: nullptr for
// none) and parses its response into `response`. Returns ZEPHRINIMPORT_OK for
// a result, the error's code for an error, ZEPHRINIMPORT_BUSY when the
// calling thread is inside a call on the object already.
int RunRequest(zephrinimport_service& s, const std::string& method, const nlohmann::ordered_json* params,
               bool carriesAnswers, nlohmann::ordered_json& response);

}  // namespace zephrin::capi
