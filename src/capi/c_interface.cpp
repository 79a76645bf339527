// The C interface: a service object with its recording user interface and
// host protocol, reached through plain functions. Nothing but C types and
// codes crosses it; every failure inside is caught here.
#include "capi/zephrinimport.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "service/host_protocol.h"
#include "service/xml_wrapper.h"

struct zephrinimport_service {
  zephrin::RecordingUserInterface ui;
  zephrin::CxmlWrapper service{&ui};
  zephrin::HostProtocol protocol{service, ui};
  // Calls on one object run one at a time, typed reads included.
  std::mutex lock;
  std::string lastMessages = "[]";
};

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A copy of `text` for the caller, released with zephrinimport_free.
char* Give(std::string_view text) {
  auto* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (!out) return nullptr;
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out;
}

void Put(char** out, std::string_view text) {
  if (out) *out = Give(text);
}

int ErrorTo(char** out, int code, const std::string& message) {
  Put(out, Dump(Json{{"code", code}, {"message", message}}));
  return code;
}

std::string MessagesJson(zephrin::RecordingUserInterface& ui) {
  Json messages = Json::array();
  for (const zephrin::MessageBoxRecord& m : ui.TakeMessages())
    messages.push_back({{"caption", m.caption}, {"text", m.text}, {"icon", std::string(zephrin::MessageIconName(m.icon))}});
  return Dump(messages);
}

int Read(zephrinimport_service* s, zephrin::ReadRequest request, char** xml, zephrinimport_outcome* outcome) {
  if (xml) *xml = nullptr;
  if (!s || !xml) return ZEPHRINIMPORT_INVALID_REQUEST;
  try {
    std::lock_guard guard(s->lock);
    s->ui.TakeMessages();
    s->ui.SetAnswers({});
    zephrin::ReadResult read = s->service.Read(request);
    const zephrin::ReadOutcome got = read.outcome;
    *xml = Give(read.text.view());
    s->lastMessages = MessagesJson(s->ui);
    if (!*xml) return ZEPHRINIMPORT_INTERNAL_ERROR;
    if (outcome) *outcome = static_cast<zephrinimport_outcome>(static_cast<int>(got));
    return ZEPHRINIMPORT_OK;
  } catch (...) {
    zephrinimport_free(*xml);
    *xml = nullptr;
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }

}  // namespace

static_assert(static_cast<int>(zephrin::ReadOutcome::kDocument) == ZEPHRINIMPORT_DOCUMENT);
static_assert(static_cast<int>(zephrin::ReadOutcome::kError) == ZEPHRINIMPORT_ERROR);
static_assert(static_cast<int>(zephrin::ReadOutcome::kEmpty) == ZEPHRINIMPORT_EMPTY);
static_assert(static_cast<int>(zephrin::ReadOutcome::kUnknownFormat) == ZEPHRINIMPORT_UNKNOWN_FORMAT);

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

const char* zephrinimport_version(void) { return "1.0"; }

int zephrinimport_call(zephrinimport_service* service, const char* method, const char* params_json, char** result_json) {
  if (result_json) *result_json = nullptr;
  try {
    if (!service || !method || !result_json)
      return ErrorTo(result_json, ZEPHRINIMPORT_INVALID_REQUEST, "Invalid request: a service object, a method and a place for the result are needed");
    Json request;
    request["jsonrpc"] = "2.0";
    request["id"] = 0;
    request["method"] = std::string(method);
    if (params_json) {
      Json params = Json::parse(params_json, nullptr, /*allow_exceptions=*/false);
      if (params.is_discarded())
        return ErrorTo(result_json, ZEPHRINIMPORT_PARSE_ERROR, "Parse error: the parameters are not valid JSON");
      request["params"] = std::move(params);
    }
    std::optional<std::string> response;
    {
      std::lock_guard guard(service->lock);
      response = service->protocol.HandleLine(Dump(request));
    }
    if (!response) return ErrorTo(result_json, ZEPHRINIMPORT_INTERNAL_ERROR, "Internal error: no response");
    Json parsed = Json::parse(*response, nullptr, false);
    if (parsed.is_discarded()) return ErrorTo(result_json, ZEPHRINIMPORT_INTERNAL_ERROR, "Internal error: no response");
    if (parsed.contains("result")) {
      Put(result_json, Dump(parsed["result"]));
      return *result_json ? ZEPHRINIMPORT_OK : ZEPHRINIMPORT_INTERNAL_ERROR;
    }
    const Json& error = parsed["error"];
    const int code = error.value("code", static_cast<int>(ZEPHRINIMPORT_INTERNAL_ERROR));
    Put(result_json, Dump(error));
    return code;
  } catch (...) {
    if (result_json) {
      zephrinimport_free(*result_json);
      *result_json = nullptr;
    }
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

namespace {
// What both read functions ask: the file, the template, the type and the id.
zephrin::ReadRequest Request(const char* import_file, const char* template_name, const char* import_type,
                             const char* id) {
  zephrin::ReadRequest r;
  r.importFile = Text(import_file);
  r.templateName = Text(template_name);
  r.importType = Text(import_type);
  r.id = Text(id);
  return r;
}
}  // namespace

int zephrinimport_read_import_file(zephrinimport_service* service, const char* import_file, const char* template_name,
                                   const char* import_type, const char* id, const char* more_info, char** xml,
                                   zephrinimport_outcome* outcome) {
  try {
    zephrin::ReadRequest r = Request(import_file, template_name, import_type, id);
    r.moreInfo = Text(more_info);
    return Read(service, std::move(r), xml, outcome);
  } catch (...) {
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

int zephrinimport_read_intl_import_file(zephrinimport_service* service, const char* import_file,
                                        const char* template_name, const char* import_type, const char* id,
                                        short intl_param, short intl_type, char** xml, zephrinimport_outcome* outcome) {
  try {
    zephrin::ReadRequest r = Request(import_file, template_name, import_type, id);
    r.international = true;
    r.intlParam = intl_param;
    r.intlType = intl_type;
    return Read(service, std::move(r), xml, outcome);
  } catch (...) {
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

int zephrinimport_read_messages(zephrinimport_service* service, char** messages_json) {
  if (messages_json) *messages_json = nullptr;
  if (!service || !messages_json) return ZEPHRINIMPORT_INVALID_REQUEST;
  try {
    std::lock_guard guard(service->lock);
    *messages_json = Give(service->lastMessages);
    return *messages_json ? ZEPHRINIMPORT_OK : ZEPHRINIMPORT_INTERNAL_ERROR;
  } catch (...) {
    return ZEPHRINIMPORT_INTERNAL_ERROR;
  }
}

}  // extern "C"
