// The protocol's own description (call --describe) against the method table
// and against what the protocol accepts.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "service/host_protocol.h"
#include "service/method_table.h"
#include "service/protocol_description.h"
#include "test_util.h"
#include "zephrinimport_version.h"

namespace zephrin {
namespace {

using Json = nlohmann::json;

std::string SchemaType(ParamType t) { return t == ParamType::Int16 || t == ParamType::Int32 ? "integer" : "string"; }

TEST(ProtocolDescription, ListsEveryMethodOfTheTableOnce) {
  const Json doc = Json::parse(DescribeHostProtocol());
  EXPECT_EQ(doc["openrpc"], "1.2.6");
  EXPECT_EQ(doc["info"]["title"], "zephrinimport host protocol");
  std::map<std::string, Json> described;
  for (const Json& m : doc["methods"]) EXPECT_TRUE(described.emplace(m["name"], m).second) << m["name"] << " twice";
  int count = 0;
  for (const MethodInfo* m = kMethods; m->name; ++m) {
    count += m->extension ? 0 : 1;
    SCOPED_TRACE(m->name);
    ASSERT_EQ(described.count(m->name), 1u);
    const Json& d = described[m->name];
    ASSERT_EQ(d["params"].size(), m->paramCount);
    EXPECT_EQ(d["summary"], m->summary);
    EXPECT_EQ(d["description"], m->description);
    for (std::size_t i = 0; i < m->paramCount; ++i) {
      EXPECT_EQ(d["params"][i]["name"], m->paramNames[i]);
      EXPECT_EQ(d["params"][i]["description"], m->paramDescriptions[i]);
      EXPECT_EQ(d["params"][i]["schema"]["type"], SchemaType(m->params[i]));
      EXPECT_EQ(d["params"][i]["schema"].contains("contentEncoding"), m->params[i] == ParamType::Bytes);
    }
    EXPECT_EQ(d["result"]["name"], m->resultName ? m->resultName : "result");
    const Json& value = d["result"]["schema"]["properties"]["value"]["type"];
    const std::map<ReturnType, Json> valueTypes = {
        {ReturnType::None, "null"},
        {ReturnType::String, "string"},
        {ReturnType::Long, "integer"},
        {ReturnType::Bytes, Json::array({"string", "null"})},
        {ReturnType::OptionalString, Json::array({"string", "null"})},
        {ReturnType::OptionalLong, Json::array({"integer", "null"})},
        {ReturnType::Object, "object"},
    };
    EXPECT_EQ(value, valueTypes.at(m->ret));
    const bool read = std::string(m->name) == "ReadImportFile" || std::string(m->name) == "ReadIntlImportFile";
    EXPECT_EQ(d["result"]["schema"]["properties"].contains("outcome"), read);
  }
  EXPECT_EQ(count, 33);
  // The extensions beside the 33: the review of a read and the fitting templates.
  EXPECT_EQ(described.size(), 35u);
  EXPECT_EQ(described["ReviewImport"]["x-extension"], true);
  EXPECT_EQ(described["ReviewImport"]["params"][5]["required"], false);
  EXPECT_EQ(described["SuggestTemplates"]["result"]["schema"]["properties"]["value"]["properties"]["templates"]["type"],
            "array");
  EXPECT_EQ(doc["info"]["version"], ZEPHRINIMPORT_VERSION_STRING);

  std::set<int> codes;
  for (const Json& e : doc["x-errors"]) codes.insert(e["code"].get<int>());
  EXPECT_EQ(codes, (std::set<int>{-32700, -32600, -32601, -32602, -32603, -32001}));
  EXPECT_EQ(doc["x-answers"]["schema"]["properties"]["answers"]["items"]["type"], Json::array({"string", "null"}));
}

// The protocol refuses each parameter of the wrong kind exactly where the
// description says what it must be, and a call with one parameter too few.
TEST(ProtocolDescription, AgreesWithWhatTheProtocolAccepts) {
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  HostProtocol protocol(service, ui);
  const Json doc = Json::parse(DescribeHostProtocol());
  for (const Json& m : doc["methods"]) {
    const std::string name = m["name"];
    SCOPED_TRACE(name);
    const std::size_t n = m["params"].size();
    // Every parameter of the described type, but parameter i of the other.
    for (std::size_t i = 0; i < n; ++i) {
      Json args = Json::array();
      for (std::size_t j = 0; j < n; ++j) {
        const bool integer = m["params"][j]["schema"]["type"] == "integer";
        args.push_back(j == i ? (integer ? Json("1") : Json(1)) : (integer ? Json(1) : Json("AA==")));
      }
      const Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", name}, {"params", args}};
      const Json response = Json::parse(*protocol.HandleLine(request.dump()));
      ASSERT_TRUE(response.contains("error")) << response.dump();
      EXPECT_EQ(response["error"]["code"], -32602);
      const std::string message = response["error"]["message"];
      const std::string where = "Invalid params: parameter " + std::to_string(i + 1) + " of " + name + " must be ";
      EXPECT_EQ(message.substr(0, where.size()), where);
      const bool integer = m["params"][i]["schema"]["type"] == "integer";
      EXPECT_EQ(message.find("integer") != std::string::npos, integer) << message;
    }
    if (n > 0) {
      const Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", name}, {"params", Json::array()}};
      const Json response = Json::parse(*protocol.HandleLine(request.dump()));
      std::size_t required = 0;
      for (const Json& p : m["params"]) required += p["required"] == true ? 1 : 0;
      const std::string counts =
          required == n ? std::to_string(n) : std::to_string(required) + " to " + std::to_string(n);
      EXPECT_EQ(response["error"]["message"],
                "Invalid params: " + name + " takes " + counts + " parameter" + (n == 1 ? "" : "s") + ", not 0");
    }
  }
}

// Every method says what it does and what each parameter and its result are,
// in words of its own; the names are readable ones, unique within a method.
TEST(ProtocolDescription, EveryMethodAndParameterIsDescribed) {
  const auto sentence = [](const char* text) { return text && std::string(text).size() >= 12; };
  std::set<std::string> summaries;
  for (const MethodInfo* m = kMethods; m->name; ++m) {
    SCOPED_TRACE(m->name);
    EXPECT_TRUE(sentence(m->summary));
    EXPECT_TRUE(sentence(m->description));
    EXPECT_NE(std::string(m->summary), m->description);
    std::set<std::string> names;
    for (std::size_t i = 0; i < m->paramCount; ++i) {
      ASSERT_NE(m->paramNames[i], nullptr) << i;
      const std::string name = m->paramNames[i];
      EXPECT_TRUE(std::islower(static_cast<unsigned char>(name[0])) && name.find_first_of("_ ") == std::string::npos) << name;
      EXPECT_TRUE(names.insert(name).second) << name << " twice";
      EXPECT_TRUE(sentence(m->paramDescriptions[i])) << name;
    }
    for (std::size_t i = m->paramCount; i < m->paramNames.size(); ++i) EXPECT_EQ(m->paramNames[i], nullptr);
    EXPECT_EQ(m->resultName != nullptr, m->ret != ReturnType::None);
    EXPECT_EQ(m->resultDescription != nullptr, m->ret != ReturnType::None);
    if (m->resultDescription) {
      EXPECT_TRUE(sentence(m->resultDescription));
    }
  }
}

// docs/protocol.md is the table's page as the protocol-doc command writes it.
TEST(ProtocolDescription, TheCommittedPageIsCurrent) {
  const std::string committed = test::ReadFile(std::string(ZEPHRIN_SOURCE_DIR) + "/docs/protocol.md");
  EXPECT_EQ(committed, DescribeHostProtocolMarkdown())
      << "docs/protocol.md is stale: run cmake --build build --target protocol-doc and commit it";
}

TEST(ProtocolDescription, CallDescribePrintsIt) {
  int status = -1;
  EXPECT_EQ(test::RunCommand(std::string(ZEPHRIN_BINARY) + " call --describe </dev/null", &status),
            DescribeHostProtocol());
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace zephrin
