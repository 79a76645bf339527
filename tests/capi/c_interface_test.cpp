// The C interface: calls by name, typed reads, errors at the boundary, and
// two service objects reading on two threads at once.
#include <gtest/gtest.h>

#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "capi/zephrinimport.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct ServiceDeleter {
  void operator()(zephrinimport_service* s) const { zephrinimport_destroy(s); }
};
using Service = std::unique_ptr<zephrinimport_service, ServiceDeleter>;

// Takes a returned text over, freeing it with the library's function.
std::string Take(char* text) {
  std::string out = text ? text : "(null)";
  zephrinimport_free(text);
  return out;
}

struct Called {
  int code;
  std::string json;
};
Called Call(zephrinimport_service* s, const char* method, const char* params) {
  char* out = nullptr;
  const int code = zephrinimport_call(s, method, params, &out);
  return {code, Take(out)};
}

struct Read {
  int code;
  std::string xml;
  zephrinimport_outcome outcome;
};
Read ReadFile(zephrinimport_service* s, const std::string& file, const char* templ, const char* type, const char* id) {
  char* xml = nullptr;
  zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
  const int code = zephrinimport_read_import_file(s, file.c_str(), templ, type, id, nullptr, &xml, &outcome);
  return {code, Take(xml), outcome};
}

// An expected text of tests/data, without the file's last line end.
std::string Expected(std::string_view name) {
  std::string text = test::ReadFile(test::DataPath(name));
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The result object of a read by name.
std::string ReadResultJson(const std::string& xml, const char* outcome) {
  return R"({"value":)" + nlohmann::json(xml).dump() + R"(,"status":0,"messages":[],"outcome":")" + outcome + "\"}";
}

// A writable folder with the chart of accounts of tests/data/reads/csv_fcoa
// and the exchange rates of tests/data/reads/intl_csv_rates, both templates
// in one store.
class CInterface : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.file("import.ini"), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")) +
                                                 test::ReadFile(test::DataPath("reads/intl_csv_rates/import.ini")));
    test::WriteFile(chart, test::ReadFile(test::DataPath("reads/csv_fcoa/tb.csv")));
    test::WriteFile(rates, test::ReadFile(test::DataPath("reads/intl_csv_rates/rates.csv")));
  }
  test::ScopedHome home;
  const std::string chart = home.file("tb.csv");
  const std::string rates = home.file("rates.csv");
  const std::string chartXml = Expected("reads/csv_fcoa/expected.xml");
  const std::string ratesXml = Expected("reads/intl_csv_rates/expected.xml");
};

TEST_F(CInterface, CallsByNameAnswerAsTheHostProtocol) {
  Service s(zephrinimport_create());
  ASSERT_NE(s, nullptr);
  const std::string browse = R"({"args":["FCOA"],"answers":[")" + chart + R"("]})";
  const std::string deep = std::string(100, '[') + std::string(100, ']');
  const std::string deepest = std::string(99, '[') + std::string(99, ']');  // as deep as they may be
  std::string wide = "[{\"k0\":0";  // an object wider than any may be
  for (int i = 1; i <= 10000; ++i) wide += ",\"k" + std::to_string(i) + "\":0";
  wide += "}]";
  const std::string missing = R"(["/nowhere/x.csv","GL BOOK","FCOA","1",""])";
  const struct {
    const char* method;
    const char* params;
    int code;
    std::string json;
  } rows[] = {
      {"SetCurrentYear", "[2025]", 0, R"({"value":null,"status":0,"messages":[]})"},
      {"SetCurrentYear", R"({"args":[2024]})", 0, R"({"value":null,"status":0,"messages":[]})"},
      {"BrowseForImport", browse.c_str(), 0, R"({"value":")" + chart + R"(","status":0,"messages":[]})"},
      {"BrowseForImport", R"({"args":["FCOA"],"answers":[null]})", 0, R"({"value":"","status":0,"messages":[]})"},
      {"ReadImportFile", missing.c_str(), 0,
       R"({"value":"<Error>Error opening import file /nowhere/x.csv for reading!</Error>","status":0,"messages":[],"outcome":"error"})"},
      {"Nope", "[]", -32601, R"({"code":-32601,"message":"Method not found: Nope"})"},
      {"SetCurrentYear", nullptr, -32602, R"({"code":-32602,"message":"Invalid params: SetCurrentYear takes 1 parameter, not 0"})"},
      {"SetCurrentYear", "[\"2025\"]", -32602,
       R"({"code":-32602,"message":"Invalid params: parameter 1 of SetCurrentYear must be an integer from -32768 to 32767"})"},
      {"SetCurrentYear", "[2025", -32700, R"({"code":-32700,"message":"Parse error: the parameters are not valid JSON"})"},
      {"SetCurrentYear", deep.c_str(), -32700,
       R"({"code":-32700,"message":"Parse error: the parameters nest arrays and objects more than 99 deep"})"},
      {"SetCurrentYear", wide.c_str(), -32700,
       R"({"code":-32700,"message":"Parse error: an object of the parameters has more than 10000 members"})"},
      {"SetCurrentYear", deepest.c_str(), -32602,
       R"({"code":-32602,"message":"Invalid params: parameter 1 of SetCurrentYear must be an integer from -32768 to 32767"})"},
      {"GetTemplateNames", nullptr, 0, R"({"value":null,"status":0,"messages":[]})"},
  };
  for (const auto& row : rows) {
    const Called got = Call(s.get(), row.method, row.params);
    EXPECT_EQ(got.code, row.code) << row.method << " " << (row.params ? row.params : "NULL");
    EXPECT_EQ(got.json, row.json) << row.method << " " << (row.params ? row.params : "NULL");
  }
}

TEST_F(CInterface, ReadsByNameAndTypedGiveTheSameText) {
  Service s(zephrinimport_create());
  ASSERT_EQ(Call(s.get(), "GetTemplateInfo", "[]").code, 0);  // establishes the store
  const Read typed = ReadFile(s.get(), chart, "GL BOOK", "FCOA", "123");
  EXPECT_EQ(typed.code, 0);
  EXPECT_EQ(typed.xml, chartXml);
  EXPECT_EQ(typed.outcome, ZEPHRINIMPORT_DOCUMENT);
  const std::string params = R"([")" + chart + R"(","GL BOOK","FCOA","123",""])";
  EXPECT_EQ(Call(s.get(), "ReadImportFile", params.c_str()).json, ReadResultJson(chartXml, "document"));
  EXPECT_EQ(Take([&] {
              char* m = nullptr;
              EXPECT_EQ(zephrinimport_read_messages(s.get(), &m), 0);
              return m;
            }()),
            "[]");

  char* xml = nullptr;
  zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
  EXPECT_EQ(zephrinimport_read_intl_import_file(s.get(), rates.c_str(), "RATES", "INTL", "77", 2024, 1, &xml, &outcome), 0);
  EXPECT_EQ(Take(xml), ratesXml);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_DOCUMENT);

  const Read missing = ReadFile(s.get(), home.file("none.csv"), "GL BOOK", "FCOA", "1");
  EXPECT_EQ(missing.code, 0);
  EXPECT_EQ(missing.xml, "<Error>Error opening import file " + home.file("none.csv") + " for reading!</Error>");
  EXPECT_EQ(missing.outcome, ZEPHRINIMPORT_ERROR);
}

TEST_F(CInterface, MissingArgumentsAreRefusedWithoutACrash) {
  char* out = reinterpret_cast<char*>(1);
  EXPECT_EQ(zephrinimport_call(nullptr, "SetCurrentYear", "[1]", &out), ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(Take(out),
            R"({"code":-32600,"message":"Invalid request: a service object, a method and a place for the result are needed"})");
  EXPECT_EQ(zephrinimport_call(nullptr, "SetCurrentYear", "[1]", nullptr), ZEPHRINIMPORT_INVALID_REQUEST);
  zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
  EXPECT_EQ(zephrinimport_read_import_file(nullptr, "a.csv", "T", "FCOA", "1", nullptr, &out, &outcome),
            ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(zephrinimport_read_messages(nullptr, &out), ZEPHRINIMPORT_INVALID_REQUEST);
  zephrinimport_destroy(nullptr);
  zephrinimport_free(nullptr);
  EXPECT_STREQ(zephrinimport_version(), ZEPHRINIMPORT_VERSION_STRING);
  EXPECT_EQ(zephrinimport_version_number(), ZEPHRINIMPORT_VERSION_NUMBER);
}

TEST_F(CInterface, TwoServiceObjectsReadOnTwoThreadsAtOnce) {
  constexpr int kRounds = 25;
  std::barrier start(2);
  std::vector<std::string> chartProblems, ratesProblems;
  std::thread a([&] {
    Service s(zephrinimport_create());
    Call(s.get(), "GetTemplateInfo", "[]");
    const std::string params = R"([")" + chart + R"(","GL BOOK","FCOA","123",""])";
    const std::string byName = ReadResultJson(chartXml, "document");
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i) {
      const Read r = ReadFile(s.get(), chart, "GL BOOK", "FCOA", "123");
      if (r.code != 0 || r.xml != chartXml || r.outcome != ZEPHRINIMPORT_DOCUMENT) chartProblems.push_back(r.xml);
      const Called c = Call(s.get(), "ReadImportFile", params.c_str());
      if (c.code != 0 || c.json != byName) chartProblems.push_back(c.json);
    }
  });
  std::thread b([&] {
    Service s(zephrinimport_create());
    Call(s.get(), "GetTemplateInfo", "[]");
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i) {
      char* xml = nullptr;
      zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
      const int code =
          zephrinimport_read_intl_import_file(s.get(), rates.c_str(), "RATES", "INTL", "77", 2024, 1, &xml, &outcome);
      const std::string text = Take(xml);
      if (code != 0 || text != ratesXml || outcome != ZEPHRINIMPORT_DOCUMENT) ratesProblems.push_back(text);
    }
  });
  a.join();
  b.join();
  EXPECT_EQ(chartProblems.size(), 0u) << chartProblems.front();
  EXPECT_EQ(ratesProblems.size(), 0u) << ratesProblems.front();
}

}  // namespace
}  // namespace zephrin
