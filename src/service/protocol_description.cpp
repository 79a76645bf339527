#include "service/protocol_description.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "service/method_table.h"

namespace zephrin {
namespace {

using Json = nlohmann::ordered_json;

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
  }
  return {};
}

bool IsRead(const MethodInfo& m) { return m.id == 2 || m.id == 17; }

}  // namespace

std::string DescribeHostProtocol() {
  Json doc;
  doc["openrpc"] = "1.2.6";
  doc["info"] = {
      {"title", "zephrinimport host protocol"},
      {"version", "1.0"},
      {"description",
       "JSON-RPC 2.0 requests, one per line, on one service object (zephrinimport call, POST /rpc of zephrinimport "
       "serve, zephrinimport_call of libzephrinimport). A host sets its settings first, then calls GetTemplateInfo "
       "or BrowseForImport, which establish the template store, then reads. params is the array of the method's "
       "parameters in order, or the object of x-answers. Batches (a JSON array of requests) are refused whole with "
       "-32600 \"Invalid request: not a JSON object\"."}};
  doc["x-answers"] = {
      {"description",
       "params may be {\"args\": [the parameters in order], \"answers\": [...]}: the user's replies to the file "
       "dialogs the call opens, in order; a string is the chosen path, null is Cancel. A dialog with no answer left "
       "is cancelled."},
      {"schema",
       {{"type", "object"},
        {"properties",
         {{"args", {{"type", "array"}}}, {"answers", {{"type", "array"}, {"items", {{"type", {"string", "null"}}}}}}}},
        {"additionalProperties", false}}}};
  doc["x-errors"] = Json::array({
      {{"code", -32700}, {"message", "Parse error: the request is not valid JSON"}},
      {{"code", -32600}, {"message", "Invalid request: not a JSON object, a batch, or a bad jsonrpc, id or method member"}},
      {{"code", -32601}, {"message", "Method not found: NAME"}},
      {{"code", -32602}, {"message", "Invalid params: wrong count or type of parameters, or bad answers"}},
      {{"code", -32603}, {"message", "Internal error: a failure inside the engine; the service object stays as it was"}},
      {{"code", -32001}, {"message", "The service is busy: the layout editor or a file dialog is open (serve only)"}},
  });

  Json methods = Json::array();
  for (const MethodInfo* m = kMethods; m->name; ++m) {
    Json params = Json::array();
    for (std::size_t i = 0; i < m->paramCount; ++i)
      params.push_back({{"name", m->paramNames[i]}, {"required", true}, {"schema", ParamSchema(m->params[i])}});
    Json message = {{"type", "object"}};
    message["properties"] = {{"caption", {{"type", "string"}}},
                             {"text", {{"type", "string"}}},
                             {"icon", {{"type", "string"}, {"enum", {"none", "error", "warning", "information"}}}}};
    Json properties;
    properties["value"] = ValueSchema(m->ret);
    properties["status"] = {{"type", "integer"}, {"enum", {0, 1}}, {"description", "0: success; 1: success with a false outcome"}};
    properties["messages"] = {{"type", "array"}, {"description", "the message boxes the call showed"}, {"items", message}};
    Json required = {"value", "status", "messages"};
    if (IsRead(*m)) {
      properties["outcome"] = {{"type", "string"}, {"enum", {"document", "error", "empty", "unknown-format"}}};
      required.push_back("outcome");
    }
    Json method = {{"name", m->name}, {"paramStructure", "by-position"}, {"params", params}};
    method["result"] = {{"name", m->resultName ? m->resultName : "result"},
                        {"schema", {{"type", "object"}, {"properties", properties}, {"required", required}}}};
    methods.push_back(std::move(method));
  }
  doc["methods"] = std::move(methods);
  return doc.dump(2) + "\n";
}

}  // namespace zephrin
