#include "platform/json_depth.h"
#include "service/host_protocol.h"

#include <cstring>
#include <memory>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base64.h"
#include "platform/byte_scan.h"
#include "platform/codepage.h"
#include "service/method_table.h"
#include "service/review_json.h"

namespace zephrin {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kBusy = -32001;

// JSON text as the protocol writes it: compact, a byte that is not UTF-8 as U+FFFD.
std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string ErrorResponse(const Json& id, int code, const std::string& message) {
  Json r;
  r["jsonrpc"] = "2.0";
  r["id"] = id;
  r["error"] = {{"code", code}, {"message", message}};
  return Dump(r);
}

const char* TypeName(ParamType t) {
  switch (t) {
    case ParamType::String: return "a string";
    case ParamType::Int16: return "an integer from -32768 to 32767";
    case ParamType::Int32: return "an integer from -2147483648 to 2147483647";
    case ParamType::Bytes: return "a base64 string";
  }
  return "?";
}

// One converted argument.
using Arg = std::variant<std::string, int64_t>;

// One argument of type `t`; the error says what it must be.
Expected<Arg> ConvertArg(const MethodInfo& m, std::size_t i, const Json& a) {
  const ParamType t = m.params[i];
  const Error wrong{ErrorCode::kInvalid,
                    "parameter " + std::to_string(i + 1) + " of " + m.name + " must be " + TypeName(t)};
  if (t == ParamType::String) {
    if (!a.is_string()) return wrong;
    return Arg(a.get<std::string>());
  }
  if (t == ParamType::Bytes) {
    if (!a.is_string()) return wrong;
    auto bytes = Base64Decode(a.get_ref<const std::string&>());
    if (!bytes) return wrong;
    return Arg(std::move(*bytes));
  }
  if (!a.is_number_integer()) return wrong;
  int64_t v = 0;
  if (a.is_number_unsigned()) {
    const auto u = a.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return wrong;
    v = static_cast<int64_t>(u);
  } else {
    v = a.get<int64_t>();
  }
  const int64_t lo = t == ParamType::Int16 ? std::numeric_limits<int16_t>::min() : std::numeric_limits<int32_t>::min();
  const int64_t hi = t == ParamType::Int16 ? std::numeric_limits<int16_t>::max() : std::numeric_limits<int32_t>::max();
  if (v < lo || v > hi) return wrong;
  return Arg(v);
}

// The arguments, converted; the error says what is wrong.
Expected<std::vector<Arg>> ConvertArgs(const MethodInfo& m, const Json& args) {
  if (!args.is_array()) return Error{ErrorCode::kInvalid, "params must be an array or an object with \"args\""};
  const std::size_t fewest = m.paramCount - m.optionalParams;
  if (args.size() < fewest || args.size() > m.paramCount) {
    const std::string counts =
        fewest == m.paramCount ? std::to_string(m.paramCount) : std::to_string(fewest) + " to " + std::to_string(m.paramCount);
    return Error{ErrorCode::kInvalid, std::string(m.name) + " takes " + counts + " parameter" +
                                          (m.paramCount == 1 ? "" : "s") + ", not " + std::to_string(args.size())};
  }
  std::vector<Arg> out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    Expected<Arg> arg = ConvertArg(m, i, args[i]);
    if (!arg) return arg.TakeError();
    out.push_back(std::move(*arg));
  }
  return out;
}

const std::string& S(const std::vector<Arg>& a, std::size_t i) { return std::get<std::string>(a[i]); }
int32_t I(const std::vector<Arg>& a, std::size_t i) { return static_cast<int32_t>(std::get<int64_t>(a[i])); }
int16_t I16(const std::vector<Arg>& a, std::size_t i) { return static_cast<int16_t>(std::get<int64_t>(a[i])); }

// A read method's request.
ReadRequest ReadOf(int id, const std::vector<Arg>& a) {
  ReadRequest r;
  r.importFile = S(a, 0);
  r.templateName = S(a, 1);
  r.importType = S(a, 2);
  r.id = S(a, 3);
  if (id == 2) {
    r.moreInfo = S(a, 4);
  } else {
    r.international = true;
    r.intlParam = I16(a, 4);
    r.intlType = I16(a, 5);
  }
  return r;
}

// The review's request: a read's, with the international kind when given
// for an INTL read.
ReadRequest ReviewOf(const std::vector<Arg>& a) {
  ReadRequest r;
  r.importFile = S(a, 0);
  r.templateName = S(a, 1);
  r.importType = S(a, 2);
  r.id = S(a, 3);
  r.moreInfo = S(a, 4);
  if (a.size() > 5 && r.importType == "INTL") {
    r.international = true;
    r.intlType = I16(a, 5);
  }
  return r;
}

// The extensions: their answers are JSON objects.
Status InvokeExtension(CxmlWrapper& s, int id, const std::vector<Arg>& a, Json& value) {
  if (id == 34) {
    value = ReviewValue(s.ReviewImport(ReviewOf(a)));
    return kOk;
  }
  Expected<std::vector<TemplateSuggestion>> found = s.SuggestTemplates(S(a, 0), S(a, 1));
  if (!found) {
    value = SuggestionsValue({});
    s.ui().ShowMessage("Import", found.error().message, MessageIcon::Error);
    return kFalse;
  }
  value = SuggestionsValue(*found);
  return kOk;
}

// What a read method gives besides its status: its outcome and its text,
// which goes into the answer as it is, with no copy (already escaped as a
// JSON string's inside when `jsonString`).
struct ReadAnswer {
  std::optional<ReadOutcome> outcome;
  TextBuffer text;
  bool jsonString = false;
};

// Runs the method; sets `value` to its retval (null when none or unset).
Status Invoke(CxmlWrapper& s, int id, const std::vector<Arg>& a, Json& value, ReadAnswer& answer) {
  std::string str;
  int32_t n = 0;
  std::optional<std::string> opt;
  Status st = kOk;
  value = nullptr;
  switch (id) {
    case 1: return s.GetTemplateNames();
    case 2:
    case 17: {
      // The document is written as the answer's JSON string takes it, so
      // the answer needs no second pass over it.
      ReadHooks hooks;
      hooks.jsonString = true;
      ReadResult read = s.Read(ReadOf(id, a), hooks);
      answer.outcome = read.outcome;
      answer.text = std::move(read.text);
      answer.jsonString = read.jsonString;
      return kOk;
    }
    case 3: st = s.BrowseForImport(S(a, 0), str); value = str; return st;
    case 4:
      st = s.EditLayout(S(a, 0), I16(a, 1), S(a, 2), S(a, 3), opt);
      if (opt) value = *opt;
      return st;
    case 5: return s.SetImportRights(I(a, 0), I(a, 1));
    case 6: return s.PutCategoryTypes(S(a, 0));
    case 7: return s.SetBatchIndicator(I(a, 0));
    case 8: return s.FillJurisdictionCaptions(S(a, 0));
    case 9: st = s.SelectExportPDFFile(str); value = str; return st;
    case 10: st = s.SelectExportFile(S(a, 0), S(a, 1), str); value = str; return st;
    case 11: st = s.CreateExportFile(S(a, 0), n); value = n; return st;
    case 12: st = s.ExportWriteLine(S(a, 0), n); value = n; return st;
    case 13: st = s.CloseExportFile(n); value = n; return st;
    case 14: st = s.ExportWrite(S(a, 0), n); value = n; return st;
    case 15: return s.DeleteLayout(S(a, 0));
    case 16: st = s.GetTemplateInfo(str); value = str; return st;
    case 18: return s.DeleteFileName(S(a, 0));
    case 19: return s.SetCurrentYear(I16(a, 0));
    case 20: {
      std::optional<int32_t> r;  // left unset when no open file has the name
      st = s.WriteOutputLine(S(a, 0), S(a, 1), r);
      if (r) value = *r;
      return st;
    }
    case 21: st = s.CreateOutputFile(S(a, 0), n); value = n; return st;
    case 22: {
      std::optional<int32_t> r;
      st = s.CloseOutputFile(S(a, 0), r);
      if (r) value = *r;
      return st;
    }
    case 23: return s.SetMiscItems(I(a, 0), I(a, 1));
    case 24: return s.SetCountryOfOperation(S(a, 0), S(a, 1), S(a, 2));
    case 25: return s.SetCountryJurisdictions(S(a, 0));
    case 26: st = s.GetWriteableFolderPath(str); value = str; return st;
    case 27: st = s.CreateFolder(S(a, 0), str); value = str; return st;
    case 28: return s.DeleteFolder(S(a, 0));
    case 29:
      st = s.ConvertFileToByteArray(S(a, 0), opt);
      if (opt) value = Base64Encode(*opt);
      return st;
    case 30: return s.ConvertByteArrayToFile(S(a, 0), S(a, 1));
    case 31: return s.DeleteOITFile(S(a, 0));
    case 32: return s.InitInsurWPTemplate(S(a, 0));
    case 33: return s.TaxReturnType(S(a, 0));
    case 34:
    case 35: return InvokeExtension(s, id, a, value);
    default: return kOk;
  }
}

// Writes `text` as the inside of a JSON string, escaped as the protocol's
// JSON writer escapes (quote, backslash and control characters; UTF-8 as it
// is, a byte that is not UTF-8 as U+FFFD), in pieces through `out`.
bool WriteJsonStringBody(OutputSink& out, std::string_view text) {
  // Pieces of 64 KiB, with room for one more escape past the mark.
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  std::unique_ptr<char[]> buffer(new char[kPiece + 16]);
  char* const start = buffer.get();
  char* o = start;
  const auto flush = [&]() {
    const bool ok = out.Write(std::string_view(start, static_cast<std::size_t>(o - start)));
    o = start;
    return ok;
  };
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    // A run of bytes that stand as they are, copied a piece at a time.
    const char* const run = scan::FindFirstInLongRuns(
        p, end,
        [](scan::Block v) { return scan::Or(scan::SignedBelow(v, ' '), scan::Or(scan::Equal(v, '"'), scan::Equal(v, '\\'))); },
        [](char c) { return static_cast<signed char>(c) < 0x20 || c == '"' || c == '\\'; });
    while (p < run) {
      const auto n = std::min(static_cast<std::size_t>(run - p), kPiece - static_cast<std::size_t>(o - start));
      std::memcpy(o, p, n);
      o += n;
      p += n;
      if (o - start == static_cast<std::ptrdiff_t>(kPiece) && !flush()) return false;
    }
    if (p == end) break;
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      // A UTF-8 sequence: copied when whole and valid.
      const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
      const auto left = static_cast<std::size_t>(end - p);
      if (len != 0 && len <= left && IsValidUtf8(std::string_view(p, len))) {
        std::memcpy(o, p, len);
        o += len;
        p += len;
      } else {
        std::memcpy(o, "\xEF\xBF\xBD", 3);
        o += 3;
        ++p;
      }
    } else {
      const char* escape = nullptr;
      switch (c) {
        case '"': escape = "\\\""; break;
        case '\\': escape = "\\\\"; break;
        case '\b': escape = "\\b"; break;
        case '\f': escape = "\\f"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\r"; break;
        case '\t': escape = "\\t"; break;
        default: break;
      }
      if (escape) {
        o[0] = escape[0];
        o[1] = escape[1];
        o += 2;
      } else {
        o += std::snprintf(o, 8, "\\u%04x", c);
      }
      ++p;
    }
    if (o - start >= static_cast<std::ptrdiff_t>(kPiece) && !flush()) return false;
  }
  return o == start || flush();
}

// A response: its JSON, with a read's text (when there is one) written
// between `head` and `tail` as a JSON string.
struct Reply {
  std::string head;
  bool bigValue = false;
  TextBuffer big;
  bool bigEscaped = false;  // `big` is a JSON string's inside already
  std::string tail;

  bool WriteTo(OutputSink& out) const {
    if (!out.Write(head)) return false;
    if (bigValue) {
      if (!out.Write("\"")) return false;
      if (!(bigEscaped ? out.Write(big.view()) : WriteJsonStringBody(out, big.view()))) return false;
      if (!out.Write("\"")) return false;
    }
    return out.Write(tail);
  }
  static Reply Plain(std::string json) {
    Reply r;
    r.head = std::move(json);
    return r;
  }
};

// The request's "id" (null when it has none). Refused when the request is no
// JSON object, or its id neither a string, a number nor null.
Expected<Json> RequestId(const Json& request) {
  if (!request.is_object()) return Error{ErrorCode::kInvalid, "Invalid request: not a JSON object"};
  if (!request.contains("id")) return Json(nullptr);
  const Json& id = request["id"];
  if (!(id.is_string() || id.is_number() || id.is_null()))
    return Error{ErrorCode::kInvalid, "Invalid request: \"id\" must be a string, a number or null"};
  return id;
}

// Refused unless the request says "jsonrpc": "2.0" and names its method.
Done CheckEnvelope(const Json& request) {
  if (!request.contains("jsonrpc") || request["jsonrpc"] != "2.0")
    return Error{ErrorCode::kInvalid, "Invalid request: \"jsonrpc\" must be \"2.0\""};
  if (!request.contains("method") || !request["method"].is_string())
    return Error{ErrorCode::kInvalid, "Invalid request: \"method\" must be a string"};
  return {};
}

// The user's replies to the file dialogs, from params' "answers".
Expected<std::vector<std::optional<std::string>>> ReadAnswers(const Json& list) {
  if (!list.is_array()) return Error{ErrorCode::kInvalid, "Invalid params: \"answers\" must be an array"};
  std::vector<std::optional<std::string>> answers;
  for (const Json& answer : list) {
    if (answer.is_null()) answers.emplace_back(std::nullopt);
    else if (answer.is_string()) answers.emplace_back(answer.get<std::string>());
    else return Error{ErrorCode::kInvalid, "Invalid params: each answer must be a string or null"};
  }
  return answers;
}

// What a request hands its method: the arguments, and the answers to the
// file dialogs it opens when it brings its own.
struct CallParams {
  std::vector<Arg> args;
  std::vector<std::optional<std::string>> answers;
  bool carriesAnswers = false;
};

// Parameters: an array, or {"args": [...], "answers": [...]}.
Expected<CallParams> ReadParams(const MethodInfo& method, const Json& request) {
  CallParams call;
  Json args = Json::array();
  if (request.contains("params")) {
    const Json& params = request["params"];
    if (params.is_array()) {
      args = params;
    } else if (params.is_object()) {
      for (const auto& [key, val] : params.items()) {
        if (key != "args" && key != "answers")
          return Error{ErrorCode::kInvalid, "Invalid params: unknown member \"" + key + "\""};
      }
      if (params.contains("args")) args = params["args"];
      if (params.contains("answers")) {
        call.carriesAnswers = true;
        auto answers = ReadAnswers(params["answers"]);
        if (!answers) return answers.TakeError();
        call.answers = std::move(*answers);
      }
    } else {
      return Error{ErrorCode::kInvalid, "Invalid params: params must be an array or an object"};
    }
  }
  Expected<std::vector<Arg>> converted = ConvertArgs(method, args);
  if (!converted) return Error{ErrorCode::kInvalid, "Invalid params: " + converted.error().message};
  call.args = std::move(*converted);
  return call;
}

// The answer to a request that is not run: none to a notification.
std::optional<Reply> Answer(bool hasId, std::string response) {
  if (!hasId) return std::nullopt;
  return Reply::Plain(std::move(response));
}

// Runs the method with the request's arguments and dialog answers, and makes
// its response from what it returned and the message boxes it showed (none
// for a notification: `id` is nullptr).
std::optional<Reply> RunCall(CxmlWrapper& service, RecordingUserInterface& ui, const MethodInfo& method,
                             CallParams params, const Json* id) {
  ui.TakeMessages();
  ui.SetAnswers(std::move(params.answers));
  Json value;
  Status status = kOk;
  ReadAnswer read;  // a read's text, written straight into the response
  try {
    status = Invoke(service, method.id, params.args, value, read);
  } catch (const std::exception& e) {
    // (A read that runs out of memory answers with its own outcome.)
    ui.SetAnswers({});
    if (!id) return std::nullopt;
    return Reply::Plain(ErrorResponse(*id, kInternalError, "Internal error: " + ErrorOfException(e).message));
  }
  ui.SetAnswers({});

  Json messages = Json::array();
  for (const MessageBoxRecord& m : ui.TakeMessages())
    messages.push_back({{"caption", m.caption}, {"text", m.text}, {"icon", std::string(MessageIconName(m.icon))}});

  if (!id) return std::nullopt;
  // {"jsonrpc":"2.0","id":ID,"result":{"value":V,"status":S,"messages":[...],"outcome":O}}
  Reply r;
  r.head = R"({"jsonrpc":"2.0","id":)" + Dump(*id) + R"(,"result":{"value":)";
  if (read.outcome && value.is_null()) {
    r.bigValue = true;
    r.big = std::move(read.text);
    r.bigEscaped = read.jsonString;
  } else {
    r.head += Dump(value);
  }
  r.tail = R"(,"status":)" + std::to_string(static_cast<int>(status)) + R"(,"messages":)" + Dump(messages);
  // The read methods say what their text is: "document", "error", "empty"
  // or "unknown-format", so that no host need look at the text to tell.
  if (read.outcome) r.tail += R"(,"outcome":")" + std::string(OutcomeName(*read.outcome)) + "\"";
  r.tail += "}}";
  return r;
}

// A request line: its envelope checked, its method found, its parameters
// converted, then run.
std::optional<Reply> HandleRequest(CxmlWrapper& service, RecordingUserInterface& ui, std::string_view line,
                                   const HostProtocol::CallOptions& options) {
  if (JsonNestsDeeper(line))
    return Reply::Plain(ErrorResponse(nullptr, kParseError, "Parse error: the request nests arrays and objects "
                                                            "more than " + std::to_string(kMaxJsonDepth) + " deep"));
  if (JsonObjectWiderThan(line))
    return Reply::Plain(ErrorResponse(nullptr, kParseError, "Parse error: an object of the request has more than " +
                                                                std::to_string(kMaxJsonMembers) + " members"));
  const Json request = Json::parse(line.begin(), line.end(), nullptr, /*allow_exceptions=*/false);
  if (request.is_discarded()) return Reply::Plain(ErrorResponse(nullptr, kParseError, "Parse error: the request is not valid JSON"));
  const Expected<Json> id = RequestId(request);
  if (!id) return Reply::Plain(ErrorResponse(nullptr, kInvalidRequest, id.error().message));
  if (const Done envelope = CheckEnvelope(request); !envelope)
    return Reply::Plain(ErrorResponse(*id, kInvalidRequest, envelope.error().message));

  // From here on a notification (a request without "id") gets no answer.
  const bool hasId = request.contains("id");
  const std::string& name = request["method"].get_ref<const std::string&>();
  const MethodInfo* method = FindMethod(name);
  if (!method) return Answer(hasId, ErrorResponse(*id, kMethodNotFound, "Method not found: " + name));
  Expected<CallParams> params = ReadParams(*method, request);
  if (!params) return Answer(hasId, ErrorResponse(*id, kInvalidParams, params.error().message));

  if (options.beforeCall) options.beforeCall(params->carriesAnswers);
  std::optional<Reply> reply = RunCall(service, ui, *method, std::move(*params), hasId ? &*id : nullptr);
  if (options.afterCall) options.afterCall();
  return reply;
}

}  // namespace

std::optional<std::string> HostProtocol::HandleLine(std::string_view line) {
  StringSink sink;
  if (!HandleLine(line, sink)) return std::nullopt;
  return sink.TakeText();
}

bool HostProtocol::HandleLine(std::string_view line, OutputSink& out, const CallOptions& options) {
  // One call at a time on the service object; a caller that cannot wait is
  // told the service is busy.
  std::unique_lock lock(m_lock, std::defer_lock);
  if (options.wait) {
    if (!lock.try_lock_for(*options.wait)) {
      const Json request = JsonNestsDeeper(line) || JsonObjectWiderThan(line) ? Json() : Json::parse(line.begin(), line.end(), nullptr, false);
      const Json id = request.is_object() && request.contains("id") ? request["id"] : Json(nullptr);
      out.Write(ErrorResponse(id, kBusy, "The service is busy: the layout editor or a file dialog is open."));
      return true;
    }
  } else {
    lock.lock();
  }
  // The one place where a failure inside the engine stops: the request gets
  // an internal error, the service object stays as it is, and the next
  // request runs.
  std::optional<Reply> reply;
  try {
    reply = HandleRequest(m_service, m_ui, line, options);
  } catch (const std::exception& e) {
    m_ui.SetAnswers({});
    reply = Reply::Plain(ErrorResponse(nullptr, kInternalError, std::string("Internal error: ") + e.what()));
  } catch (...) {
    m_ui.SetAnswers({});
    reply = Reply::Plain(ErrorResponse(nullptr, kInternalError, "Internal error"));
  }
  if (!reply) return false;
  reply->WriteTo(out);
  return true;
}

}  // namespace zephrin
