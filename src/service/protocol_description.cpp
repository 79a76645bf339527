#include "service/protocol_description.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "service/method_table.h"
#include "zephrinimport_version.h"

namespace zephrin {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kIntroduction =
    "JSON-RPC 2.0 requests, one per line, on one service object (zephrinimport call, POST /rpc of zephrinimport "
    "serve, zephrinimport_call of libzephrinimport). A host sets its settings first, then calls GetTemplateInfo "
    "or BrowseForImport, which establish the template store, then reads. params is the array of the method's "
    "parameters in order, or the object of x-answers. Batches (a JSON array of requests) are refused whole with "
    "-32600 \"Invalid request: not a JSON object\".";

constexpr const char* kAnswers =
    "params may be {\"args\": [the parameters in order], \"answers\": [...]}: the user's replies to the file "
    "dialogs the call opens, in order; a string is the chosen path, null is Cancel. A dialog with no answer left "
    "is cancelled.";

struct ErrorCode {
  int code;
  const char* message;
};
constexpr ErrorCode kErrors[] = {
    {-32700, "Parse error: the request is not valid JSON, nests arrays and objects more than 100 deep, or has an "
              "object of more than 10000 members"},
    {-32600, "Invalid request: not a JSON object, a batch, or a bad jsonrpc, id or method member"},
    {-32601, "Method not found: NAME"},
    {-32602, "Invalid params: wrong count or type of parameters, or bad answers"},
    {-32603, "Internal error: a failure inside the engine; the service object stays as it was"},
    {-32001, "The service is busy: the layout editor or a file dialog is open (serve only)"},
};

Json ParamSchema(ParamType t) {
  switch (t) {
    case ParamType::String: return {{"type", "string"}};
    case ParamType::Int16:
      return {{"type", "integer"}, {"minimum", std::numeric_limits<int16_t>::min()}, {"maximum", std::numeric_limits<int16_t>::max()}};
    case ParamType::Int32:
      return {{"type", "integer"}, {"minimum", std::numeric_limits<int32_t>::min()}, {"maximum", std::numeric_limits<int32_t>::max()}};
    case ParamType::Bytes: return {{"type", "string"}, {"contentEncoding", "base64"}};
  }
  return {};
}

Json ValueSchema(ReturnType t) {
  switch (t) {
    case ReturnType::None: return {{"type", "null"}};
    case ReturnType::String: return {{"type", "string"}};
    case ReturnType::Long: return {{"type", "integer"}};
    case ReturnType::Bytes: return {{"type", {"string", "null"}}, {"contentEncoding", "base64"}};
    case ReturnType::OptionalString: return {{"type", {"string", "null"}}};
    case ReturnType::OptionalLong: return {{"type", {"integer", "null"}}};
    case ReturnType::Object: return {{"type", "object"}};
  }
  return {};
}

bool IsRead(const MethodInfo& m) { return m.id == 2 || m.id == 17; }

// The result object of a method: its value, status, messages and (reads) outcome.
Json ResultOf(const MethodInfo& m) {
  Json message = {{"type", "object"}};
  message["properties"] = {{"caption", {{"type", "string"}}},
                           {"text", {{"type", "string"}}},
                           {"icon", {{"type", "string"}, {"enum", {"none", "error", "warning", "information"}}}}};
  Json properties;
  properties["value"] = m.resultSchema ? Json::parse(m.resultSchema) : ValueSchema(m.ret);
  if (m.resultDescription) properties["value"]["description"] = m.resultDescription;
  properties["status"] = {{"type", "integer"}, {"enum", {0, 1}}, {"description", "0: success; 1: success with a false outcome"}};
  properties["messages"] = {{"type", "array"}, {"description", "the message boxes the call showed"}, {"items", message}};
  Json required = {"value", "status", "messages"};
  if (IsRead(m)) {
    properties["outcome"] = {{"type", "string"},
                             {"enum", {"document", "error", "empty", "unknown-format"}},
                             {"description", "what the read's text is"}};
    required.push_back("outcome");
  }
  return {{"name", m.resultName ? m.resultName : "result"},
          {"schema", {{"type", "object"}, {"properties", properties}, {"required", required}}}};
}

Json MethodOf(const MethodInfo& m) {
  Json params = Json::array();
  for (std::size_t i = 0; i < m.paramCount; ++i)
    params.push_back({{"name", m.paramNames[i]},
                      {"description", m.paramDescriptions[i]},
                      {"required", i + m.optionalParams < m.paramCount},
                      {"schema", ParamSchema(m.params[i])}});
  Json method = {{"name", m.name}, {"summary", m.summary}, {"description", m.description}};
  if (m.extension) method["x-extension"] = true;
  method["paramStructure"] = "by-position";
  method["params"] = std::move(params);
  method["result"] = ResultOf(m);
  return method;
}

}  // namespace

std::string DescribeHostProtocol() {
  Json doc;
  doc["openrpc"] = "1.2.6";
  doc["info"] = {{"title", "zephrinimport host protocol"},
                 {"version", ZEPHRINIMPORT_VERSION_STRING},
                 {"description", kIntroduction}};
  doc["x-answers"] = {
      {"description", kAnswers},
      {"schema",
       {{"type", "object"},
        {"properties",
         {{"args", {{"type", "array"}}}, {"answers", {{"type", "array"}, {"items", {{"type", {"string", "null"}}}}}}}},
        {"additionalProperties", false}}}};
  doc["x-errors"] = Json::array();
  for (const ErrorCode& e : kErrors) doc["x-errors"].push_back({{"code", e.code}, {"message", e.message}});
  Json methods = Json::array();
  for (const MethodInfo* m = kMethods; m->name; ++m) methods.push_back(MethodOf(*m));
  doc["methods"] = std::move(methods);
  return doc.dump(2) + "\n";
}

namespace {

const char* TypeWord(ParamType t) {
  switch (t) {
    case ParamType::String: return "string";
    case ParamType::Int16: return "integer, -32768 to 32767";
    case ParamType::Int32: return "integer, 32 bits";
    case ParamType::Bytes: return "string, base64";
  }
  return "";
}

const char* ValueWord(ReturnType t) {
  switch (t) {
    case ReturnType::None: return "null";
    case ReturnType::String: return "string";
    case ReturnType::Long: return "integer";
    case ReturnType::Bytes: return "string (base64) or null";
    case ReturnType::OptionalString: return "string or null";
    case ReturnType::OptionalLong: return "integer or null";
    case ReturnType::Object: return "object";
  }
  return "";
}

// A table cell: a "|" in the text would end it.
std::string Cell(std::string text) {
  for (std::size_t at = text.find('|'); at != std::string::npos; at = text.find('|', at + 2)) text.replace(at, 1, "\\|");
  return text;
}

void MarkdownMethod(const MethodInfo& m, std::string& out) {
  out += "### " + std::string(m.name) + "\n\n" + m.summary + "\n\n" + m.description + "\n\n";
  if (m.paramCount == 0) {
    out += "Parameters: none (`[]`).\n\n";
  } else {
    out += "| # | parameter | type | what it is |\n|---|---|---|---|\n";
    for (std::size_t i = 0; i < m.paramCount; ++i)
      out += "| " + std::to_string(i + 1) + " | `" + m.paramNames[i] + "` | " + TypeWord(m.params[i]) +
             (i + m.optionalParams >= m.paramCount ? ", optional" : "") + " | " + Cell(m.paramDescriptions[i]) +
             " |\n";
    out += "\n";
  }
  out += "Result value: ";
  out += m.resultName ? "`" + std::string(m.resultName) + "`, " + ValueWord(m.ret) + ": " + m.resultDescription
                      : std::string("null.");
  if (IsRead(m)) out += " The result also holds `outcome`: `document`, `error`, `empty` or `unknown-format`.";
  out += "\n\n";
}

}  // namespace

std::string DescribeHostProtocolMarkdown() {
  std::string out =
      "# The zephrinimport host protocol\n\n"
      "<!-- Made from the method table (src/service/method_table.cpp) by `cmake --build build --target "
      "protocol-doc`; a test fails when it is stale. Do not edit by hand. -->\n\n"
      "Version " ZEPHRINIMPORT_VERSION_STRING ". " +
      std::string(kIntroduction) + "\n\n" +
      "```\n"
      "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"SetCurrentYear\",\"params\":[2025]}\n"
      "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{\"value\":null,\"status\":0,\"messages\":[]}}\n"
      "```\n\n"
      "Every result holds `value` (what the method returns), `status` (0: success; 1: success with a false "
      "outcome) and `messages` (the message boxes the call showed: `caption`, `text`, `icon`); the two reads add "
      "`outcome`.\n\n"
      "## File dialogs\n\n" +
      std::string(kAnswers) +
      "\n\n## Errors\n\n| code | message |\n|---|---|\n";
  for (const ErrorCode& e : kErrors) out += "| " + std::to_string(e.code) + " | " + Cell(e.message) + " |\n";
  out += "\n## Methods\n\nIn slot order; `zephrinimport call --describe` gives the same as an OpenRPC document.\n\n";
  for (const MethodInfo* m = kMethods; m->name; ++m)
    if (!m->extension) MarkdownMethod(*m, out);
  bool extensions = false;
  for (const MethodInfo* m = kMethods; m->name; ++m) {
    if (!m->extension) continue;
    if (!extensions) out += "## Extensions\n\nMethods this engine adds to the 33.\n\n";
    extensions = true;
    MarkdownMethod(*m, out);
  }
  out.pop_back();  // one line end at the end
  return out;
}

}  // namespace zephrin
