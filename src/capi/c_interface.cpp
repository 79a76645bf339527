// The C interface: a service object with its user interface and host
// protocol, reached through plain functions. Nothing but C types and codes
// crosses it; every failure inside is caught here. The reads are in
// c_reads.cpp, the typed calls in c_invoke.cpp.
#include "platform/json_depth.h"
#include "capi/zephrinimport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "capi/service_object.h"
#include "platform/home_folder.h"

namespace zephrin::capi {
namespace {

// The choices whose file callbacks are under way. A host that keeps a choice
// and answers it after its callback returned (from a dialog of its own that
// ends later) would write into memory that is gone: a choice is answered
// only while it is here, and the lock keeps it from leaving meanwhile.
std::mutex g_choicesLock;
std::vector<const zephrinimport_file_choice*> g_liveChoices;

class LiveChoice {
 public:
  explicit LiveChoice(const zephrinimport_file_choice* choice) : m_choice(choice) {
    const std::lock_guard<std::mutex> hold(g_choicesLock);
    g_liveChoices.push_back(choice);
  }
  ~LiveChoice() {
    const std::lock_guard<std::mutex> hold(g_choicesLock);
    g_liveChoices.erase(std::find(g_liveChoices.begin(), g_liveChoices.end(), m_choice));
  }
  LiveChoice(const LiveChoice&) = delete;
  LiveChoice& operator=(const LiveChoice&) = delete;

 private:
  const zephrinimport_file_choice* m_choice;
};

}  // namespace

void HostUserInterface::ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
  RecordingUserInterface::ShowMessage(caption, text, icon);
  if (!m_message) return;
  const std::string c(caption), t(text);
  m_message(m_userData, c.c_str(), t.c_str(), static_cast<zephrinimport_icon>(static_cast<int>(icon)));
}

std::optional<FileDialogResult> HostUserInterface::ChooseFile(const FileDialogRequest& request) {
  if (m_callCarriesAnswers || !m_chooseFile) return RecordingUserInterface::ChooseFile(request);
  zephrinimport_file_dialog dialog{};
  dialog.save = request.kind == FileDialogRequest::Kind::Save ? 1 : 0;
  dialog.title = request.title.c_str();
  dialog.filter = request.filter.c_str();
  dialog.filter_index = request.filterIndex;
  dialog.initial_folder = request.initialFolder.c_str();
  dialog.initial_file_name = request.initialFileName.c_str();
  dialog.must_exist = request.mustExist ? 1 : 0;
  dialog.overwrite_prompt = request.overwritePrompt ? 1 : 0;
  zephrinimport_file_choice choice{request.filterIndex, std::nullopt};
  {
    const LiveChoice live(&choice);
    m_chooseFile(m_userData, &dialog, &choice);
  }
  return choice.chosen;
}

Call::Call(zephrinimport_service& s) : m_s(s) {
  if (s.owner.load() == std::this_thread::get_id()) return;
  s.lock.lock();
  s.owner.store(std::this_thread::get_id());
  m_entered = true;
  m_folder.emplace(s.folder);
}

Call::~Call() {
  if (!m_entered) return;
  m_folder.reset();
  m_s.owner.store(std::thread::id());
  m_s.lock.unlock();
}

char* Give(std::string_view text) {
  auto* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (!out) return nullptr;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out;
}

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Puts {"code":C,"message":M} in *out (when there is room) and returns C.
int ErrorTo(char** out, int code, const std::string& message) {
  if (out) *out = Give(Dump(Json{{"code", code}, {"message", message}}));
  return code;
}

// The folder as an absolute path, made when missing; "" when it cannot be
// had. Folders made for one that then cannot serve are removed again, so
// that a refusal leaves nothing behind.
std::string UsableFolder(const char* folder) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(folder, ec).lexically_normal();
  if (path.has_relative_path() && path.filename().empty()) path = path.parent_path();  // "a/b/" as "a/b"
  if (ec || path.empty()) return {};
  // The highest folder of the path that is not there yet: what making it makes.
  std::filesystem::path missing;
  for (std::filesystem::path p = path; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
    missing = p;
    if (p == p.parent_path()) break;
  }
  const std::string text = path.string();
  struct stat st {};
  const bool made = missing.empty() || MakeFolders(text, 0700);
  if (made && ::stat(text.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(text.c_str(), W_OK | X_OK) == 0)
    return text;
  if (!missing.empty()) {
    for (std::filesystem::path p = path;; p = p.parent_path()) {
      ::rmdir(p.c_str());  // fails, harmlessly, for a folder not made here or not empty
      if (p == missing || p == p.parent_path()) break;
    }
  }
  return {};
}

}  // namespace

std::string MessagesJson(const std::vector<MessageBoxRecord>& records) {
  Json messages = Json::array();
  for (const MessageBoxRecord& m : records)
    messages.push_back({{"caption", m.caption}, {"text", m.text}, {"icon", std::string(MessageIconName(m.icon))}});
  return Dump(messages);
}

int RunRequest(zephrinimport_service& s, const std::string& method, const Json* params, bool carriesAnswers,
               nlohmann::ordered_json& response) {
  Json request;
  request["jsonrpc"] = "2.0";
  request["id"] = 0;
  request["method"] = method;
  if (params) request["params"] = *params;
  std::optional<std::string> line;
  {
    Call call(s);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    s.ui.SetCallCarriesAnswers(carriesAnswers);
    line = s.protocol.HandleLine(Dump(request));
    s.ui.SetCallCarriesAnswers(false);
  }
  if (!line) return ZEPHRINIMPORT_INTERNAL_ERROR;
  response = Json::parse(*line, nullptr, /*allow_exceptions=*/false);
  if (response.is_discarded() || !response.is_object()) return ZEPHRINIMPORT_INTERNAL_ERROR;
  if (response.contains("result")) return ZEPHRINIMPORT_OK;
  return response["error"].value("code", static_cast<int>(ZEPHRINIMPORT_INTERNAL_ERROR));
}

}  // namespace zephrin::capi

using zephrin::capi::Call;
using zephrin::capi::Give;

extern "C" {

zephrinimport_service* zephrinimport_create(void) {
  try {
    return new zephrinimport_service();
  } catch (...) {
    return nullptr;
  }
}

void zephrinimport_destroy(zephrinimport_service* service) {
  try {
    // Ownership passes back from the host here.
    std::unique_ptr<zephrinimport_service> owned(service);
  } catch (...) {
  }
}

void zephrinimport_free(char* text) { std::free(text); }

const char* zephrinimport_version(void) { return ZEPHRINIMPORT_VERSION_STRING; }

int zephrinimport_version_number(void) { return ZEPHRINIMPORT_VERSION_NUMBER; }

const char* zephrinimport_strerror(int code) {
  switch (code) {
    case ZEPHRINIMPORT_OK: return "Success";
    case ZEPHRINIMPORT_PARSE_ERROR: return "The parameters are not valid JSON";
    case ZEPHRINIMPORT_INVALID_REQUEST:
      return "An argument is missing or out of range (a service object, a method name, a place for the result)";
    case ZEPHRINIMPORT_METHOD_NOT_FOUND: return "There is no method of that name";
    case ZEPHRINIMPORT_INVALID_PARAMS: return "The parameters or answers are of the wrong count or type";
    case ZEPHRINIMPORT_INTERNAL_ERROR: return "A failure inside the engine; the service object stays as it was";
    case ZEPHRINIMPORT_BUSY: return "The service object is busy: a call on it is still running";
    case ZEPHRINIMPORT_WRITE_STOPPED: return "The host's write callback stopped the read; what it was handed is void";
    case ZEPHRINIMPORT_NO_MEMORY: return "There is no memory for the result";
    case ZEPHRINIMPORT_BAD_FOLDER: return "The folder cannot be made, or is not a folder this process can write in";
    default: return "Unknown result code";
  }
}

int zephrinimport_set_writable_folder(zephrinimport_service* service, const char* folder) {
  if (!service) return ZEPHRINIMPORT_INVALID_REQUEST;
  return zephrin::capi::Guarded([&]() -> int {
    // A busy object is refused before anything is made on disk.
    Call call(*service);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    const std::string path = folder && *folder ? zephrin::capi::UsableFolder(folder) : std::string();
    if (folder && *folder && path.empty()) return ZEPHRINIMPORT_BAD_FOLDER;
    std::string previous = std::move(service->folder);
    service->folder = path;
    // A store established already moves to the new folder; when it cannot,
    // the object keeps its folder and store.
    if (!service->service.store().path().empty() && !service->service.EstablishTemplateStore()) {
      service->folder = std::move(previous);
      (void)service->service.EstablishTemplateStore();
      return ZEPHRINIMPORT_BAD_FOLDER;
    }
    return ZEPHRINIMPORT_OK;
  });
}

int zephrinimport_set_callbacks(zephrinimport_service* service, zephrinimport_message_fn message,
                                zephrinimport_choose_file_fn choose_file, void* user_data) {
  if (!service) return ZEPHRINIMPORT_INVALID_REQUEST;
  Call call(*service);
  if (!call.entered()) return ZEPHRINIMPORT_BUSY;
  service->ui.SetCallbacks(message, choose_file, user_data);
  return ZEPHRINIMPORT_OK;
}

int zephrinimport_choose(zephrinimport_file_choice* choice, const char* path, int filter_index) {
  if (!choice || !path) return ZEPHRINIMPORT_INVALID_REQUEST;
  try {
    const std::lock_guard<std::mutex> hold(zephrin::capi::g_choicesLock);
    const auto& live = zephrin::capi::g_liveChoices;
    if (std::find(live.begin(), live.end(), choice) == live.end()) return ZEPHRINIMPORT_INVALID_REQUEST;
    choice->chosen = zephrin::FileDialogResult{path, filter_index > 0 ? filter_index : choice->filterIndex};
    return ZEPHRINIMPORT_OK;
  } catch (...) {
    return ZEPHRINIMPORT_NO_MEMORY;
  }
}

int zephrinimport_call(zephrinimport_service* service, const char* method, const char* params_json, char** result_json) {
  using Json = nlohmann::ordered_json;
  if (result_json) *result_json = nullptr;
  try {
    if (!service || !method || !result_json)
      return zephrin::capi::ErrorTo(result_json, ZEPHRINIMPORT_INVALID_REQUEST,
                                    "Invalid request: a service object, a method and a place for the result are needed");
    std::optional<Json> params;
    if (params_json) {
      // The parameters go into a request, which nests one level more.
      constexpr int kMaxParamsDepth = zephrin::kMaxJsonDepth - 1;
      if (zephrin::JsonNestsDeeper(params_json, kMaxParamsDepth))
        return zephrin::capi::ErrorTo(result_json, ZEPHRINIMPORT_PARSE_ERROR,
                                      "Parse error: the parameters nest arrays and objects more than " +
                                          std::to_string(kMaxParamsDepth) + " deep");
      if (zephrin::JsonObjectWiderThan(params_json))
        return zephrin::capi::ErrorTo(result_json, ZEPHRINIMPORT_PARSE_ERROR,
                                      "Parse error: an object of the parameters has more than " +
                                          std::to_string(zephrin::kMaxJsonMembers) + " members");
      params = Json::parse(params_json, nullptr, /*allow_exceptions=*/false);
      if (params->is_discarded())
        return zephrin::capi::ErrorTo(result_json, ZEPHRINIMPORT_PARSE_ERROR,
                                      "Parse error: the parameters are not valid JSON");
    }
    const bool answers = params && params->is_object() && params->contains("answers");
    Json response;
    const int code = zephrin::capi::RunRequest(*service, method, params ? &*params : nullptr, answers, response);
    if (code == ZEPHRINIMPORT_BUSY)
      return zephrin::capi::ErrorTo(result_json, code, "The service object is busy: a call on it is still running");
    if (!response.is_object()) return zephrin::capi::ErrorTo(result_json, code, "Internal error: no response");
    *result_json = Give(zephrin::capi::Dump(code == ZEPHRINIMPORT_OK ? response["result"] : response["error"]));
    return *result_json ? code : ZEPHRINIMPORT_NO_MEMORY;
  } catch (const std::bad_alloc&) {
    zephrinimport_free(result_json ? *result_json : nullptr);
    if (result_json) *result_json = nullptr;
    return ZEPHRINIMPORT_NO_MEMORY;
  } catch (...) {
    zephrinimport_free(result_json ? *result_json : nullptr);
    if (result_json) *result_json = nullptr;
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

int zephrinimport_read_messages(zephrinimport_service* service, char** messages_json) {
  if (messages_json) *messages_json = nullptr;
  if (!service || !messages_json) return ZEPHRINIMPORT_INVALID_REQUEST;
  try {
    Call call(*service);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    *messages_json = Give(zephrin::capi::MessagesJson(service->lastReadMessages));
    return *messages_json ? ZEPHRINIMPORT_OK : ZEPHRINIMPORT_NO_MEMORY;
  } catch (...) {
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

}  // extern "C"
