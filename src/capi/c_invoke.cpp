// Methods by name with typed arguments, and the reply a host reads without
// parsing JSON. The call goes through the host protocol, so its checks, its
// answers and its results are those of every other front end.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "capi/service_object.h"
#include "capi/zephrinimport.h"
#include "platform/base64.h"
#include "service/method_table.h"

namespace zephrin::capi {
namespace {

using Json = nlohmann::ordered_json;

Json ArgumentsOf(const zephrinimport_arg* args, std::size_t count) {
  Json out = Json::array();
  for (std::size_t i = 0; i < count; ++i) {
    const zephrinimport_arg& a = args[i];
    const std::string_view bytes = a.data ? std::string_view(a.data, a.size) : std::string_view();
    // The kind is read as the integer a host may have put there: a value
    // outside the enumeration is no kind, and is refused below as a null.
    static_assert(sizeof(a.kind) == sizeof(int));
    int kind = 0;
    std::memcpy(&kind, &a.kind, sizeof kind);
    switch (kind) {
      case ZEPHRINIMPORT_STRING: out.push_back(std::string(bytes)); break;
      case ZEPHRINIMPORT_INTEGER: out.push_back(a.integer); break;
      case ZEPHRINIMPORT_BYTES: out.push_back(Base64Encode(bytes)); break;
      default: out.push_back(nullptr); break;  // refused by the method's parameter check
    }
  }
  return out;
}

zephrinimport_icon IconNamed(const std::string& name) {
  if (name == "error") return ZEPHRINIMPORT_ICON_ERROR;
  if (name == "warning") return ZEPHRINIMPORT_ICON_WARNING;
  if (name == "information") return ZEPHRINIMPORT_ICON_INFORMATION;
  return ZEPHRINIMPORT_ICON_NONE;
}

int OutcomeNamed(const std::string& name) {
  if (name == "document") return ZEPHRINIMPORT_DOCUMENT;
  if (name == "error") return ZEPHRINIMPORT_ERROR;
  if (name == "empty") return ZEPHRINIMPORT_EMPTY;
  return ZEPHRINIMPORT_UNKNOWN_FORMAT;
}

// The result object of a response, typed. A byte array travels as base64 and
// arrives decoded.
void FillReply(const MethodInfo* method, const Json& result, zephrinimport_reply& reply) {
  const Json& value = result["value"];
  if (value.is_string()) {
    reply.kind = ZEPHRINIMPORT_STRING;
    reply.text = value.get<std::string>();
    if (method && method->ret == ReturnType::Bytes) {
      reply.kind = ZEPHRINIMPORT_BYTES;
      Expected<std::string> bytes = Base64Decode(reply.text);
      reply.text = bytes ? std::move(bytes).value() : std::string();
    }
  } else if (value.is_number_integer()) {
    reply.kind = ZEPHRINIMPORT_INTEGER;
    reply.integer = value.get<long long>();
  } else if (value.is_object()) {
    // The extensions answer with an object: its JSON text, as the protocol writes it.
    reply.kind = ZEPHRINIMPORT_JSON;
    reply.text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  reply.status = result.value("status", 0);
  if (result.contains("outcome")) reply.outcome = OutcomeNamed(result["outcome"].get<std::string>());
  for (const Json& m : result["messages"])
    reply.messages.push_back({m.value("caption", ""), m.value("text", ""), IconNamed(m.value("icon", ""))});
}

int Invoke(zephrinimport_service& s, const char* method, const zephrinimport_arg* args, std::size_t count,
           const char* const* answers, std::size_t answerCount, zephrinimport_reply& reply) {
  Json params = ArgumentsOf(args, count);
  if (answers) {
    Json given = Json::array();
    for (std::size_t i = 0; i < answerCount; ++i) given.push_back(answers[i] ? Json(answers[i]) : Json(nullptr));
    params = Json{{"args", std::move(params)}, {"answers", std::move(given)}};
  }
  Json response;
  const int code = RunRequest(s, method, &params, answers != nullptr, response);
  if (code == ZEPHRINIMPORT_OK) {
    FillReply(FindMethod(method), response["result"], reply);
  } else if (response.is_object() && response.contains("error")) {
    reply.error = response["error"].value("message", "");
  } else {
    reply.error = zephrinimport_strerror(code);
  }
  return code;
}

}  // namespace
}  // namespace zephrin::capi

extern "C" {

int zephrinimport_invoke(zephrinimport_service* service, const char* method, const zephrinimport_arg* args,
                         size_t count, const char* const* answers, size_t answer_count, zephrinimport_reply** reply) {
  if (reply) *reply = nullptr;
  if (!service || !method || !reply || (count > 0 && !args) || (answer_count > 0 && !answers))
    return ZEPHRINIMPORT_INVALID_REQUEST;
  // Bytes said to be there that are not, or more than any memory holds: a
  // host's mistake, not an empty text or a failure of the engine.
  for (size_t i = 0; i < count; ++i)
    if ((!args[i].data && args[i].size > 0) || args[i].size > static_cast<size_t>(PTRDIFF_MAX))
      return ZEPHRINIMPORT_INVALID_REQUEST;
  return zephrin::capi::Guarded([&]() -> int {
    auto made = std::make_unique<zephrinimport_reply>();
    const int code = zephrin::capi::Invoke(*service, method, args, count, answers, answer_count, *made);
    *reply = made.release();
    return code;
  });
}

zephrinimport_kind zephrinimport_reply_kind(const zephrinimport_reply* reply) {
  return reply ? reply->kind : ZEPHRINIMPORT_NULL;
}

const char* zephrinimport_reply_text(const zephrinimport_reply* reply, size_t* size) {
  const bool text = reply && (reply->kind == ZEPHRINIMPORT_STRING || reply->kind == ZEPHRINIMPORT_BYTES ||
                              reply->kind == ZEPHRINIMPORT_JSON);
  if (size) *size = text ? reply->text.size() : 0;
  return text ? reply->text.c_str() : nullptr;
}

long long zephrinimport_reply_integer(const zephrinimport_reply* reply) {
  return reply && reply->kind == ZEPHRINIMPORT_INTEGER ? reply->integer : 0;
}

int zephrinimport_reply_status(const zephrinimport_reply* reply) { return reply ? reply->status : 0; }

int zephrinimport_reply_outcome(const zephrinimport_reply* reply) { return reply ? reply->outcome : -1; }

size_t zephrinimport_reply_message_count(const zephrinimport_reply* reply) {
  return reply ? reply->messages.size() : 0;
}

int zephrinimport_reply_message(const zephrinimport_reply* reply, size_t index, const char** caption, const char** text,
                                zephrinimport_icon* icon) {
  if (!reply || index >= reply->messages.size()) return ZEPHRINIMPORT_INVALID_REQUEST;
  const zephrinimport_reply::Message& m = reply->messages[index];
  if (caption) *caption = m.caption.c_str();
  if (text) *text = m.text.c_str();
  if (icon) *icon = m.icon;
  return ZEPHRINIMPORT_OK;
}

const char* zephrinimport_reply_error(const zephrinimport_reply* reply) {
  return reply && reply->error ? reply->error->c_str() : nullptr;
}

void zephrinimport_reply_free(zephrinimport_reply* reply) { delete reply; }

int zephrinimport_last_read(zephrinimport_service* service, zephrinimport_reply** reply) {
  if (reply) *reply = nullptr;
  if (!service || !reply) return ZEPHRINIMPORT_INVALID_REQUEST;
  return zephrin::capi::Guarded([&]() -> int {
    auto made = std::make_unique<zephrinimport_reply>();
    zephrin::capi::Call call(*service);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    made->outcome = service->lastReadOutcome;
    for (const zephrin::MessageBoxRecord& m : service->lastReadMessages)
      made->messages.push_back({m.caption, m.text, static_cast<zephrinimport_icon>(static_cast<int>(m.icon))});
    *reply = made.release();
    return ZEPHRINIMPORT_OK;
  });
}

}  // extern "C"
