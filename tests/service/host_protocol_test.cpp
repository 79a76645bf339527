// The host protocol, request line by request line.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "editor/editor_host.h"
#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin {
namespace {

class Protocol : public ::testing::Test {
 protected:
  std::string Call(std::string_view line) {
    auto response = protocol.HandleLine(line);
    return response ? *response : std::string("(no response)");
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
  HostProtocol protocol{service, ui};
};

TEST_F(Protocol, Responses) {
  const std::pair<const char*, const char*> rows[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"SetCurrentYear","params":[2025]})",
       R"({"jsonrpc":"2.0","id":1,"result":{"value":null,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":"a","method":"SetCurrentYear","params":{"args":[2024]}})",
       R"({"jsonrpc":"2.0","id":"a","result":{"value":null,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":2,"method":"ReadImportFile","params":["x.csv","","FCOA","1",""]})",
       R"({"jsonrpc":"2.0","id":2,"result":{"value":"<Error><Err>Unable to determine the type of import being done. Please try again.</Err></Error>","status":0,"messages":[],"outcome":"error"}})"},
      {"{not json", R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: the request is not valid JSON"}})"},
      {"[1,2]", R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid request: not a JSON object"}})"},
      {R"({"jsonrpc":"2.0","id":3,"method":"Nope"})",
       R"({"jsonrpc":"2.0","id":3,"error":{"code":-32601,"message":"Method not found: Nope"}})"},
      {R"({"jsonrpc":"2.0","id":4,"method":"SetCurrentYear","params":[]})",
       R"({"jsonrpc":"2.0","id":4,"error":{"code":-32602,"message":"Invalid params: SetCurrentYear takes 1 parameter, not 0"}})"},
      {R"({"jsonrpc":"2.0","id":5,"method":"SetCurrentYear","params":["2025"]})",
       R"({"jsonrpc":"2.0","id":5,"error":{"code":-32602,"message":"Invalid params: parameter 1 of SetCurrentYear must be an integer from -32768 to 32767"}})"},
      {R"({"jsonrpc":"2.0","id":6,"method":"SetCurrentYear","params":[40000]})",
       R"({"jsonrpc":"2.0","id":6,"error":{"code":-32602,"message":"Invalid params: parameter 1 of SetCurrentYear must be an integer from -32768 to 32767"}})"},
      {R"({"jsonrpc":"2.0","method":"SetCurrentYear","params":[1]})", "(no response)"},
      {R"({"jsonrpc":"1.0","id":7,"method":"SetCurrentYear","params":[1]})",
       R"({"jsonrpc":"2.0","id":7,"error":{"code":-32600,"message":"Invalid request: \"jsonrpc\" must be \"2.0\""}})"},
      {R"({"jsonrpc":"2.0","id":8,"method":"SetImportRights","params":[1,2]})",
       R"({"jsonrpc":"2.0","id":8,"result":{"value":null,"status":0,"messages":[]}})"},
      // Batches are refused whole: none of their requests runs.
      {R"([{"jsonrpc":"2.0","id":9,"method":"SetCurrentYear","params":[1999]}])",
       R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid request: not a JSON object"}})"},
  };
  for (const auto& [request, expected] : rows) EXPECT_EQ(Call(request), expected) << request;
  EXPECT_EQ(service.settings().currentYear(), 1);  // the notification ran too
  // Nesting is bounded before anything recurses over it: a hundred levels are
  // a request like any other, one more is refused (brackets in strings do not
  // count).
  const auto nested = [](int levels) {
    return R"({"jsonrpc":"2.0","id":9,"method":"SetCurrentYear","params":[")" + std::string(200, '[') + R"(",)" +
           std::string(levels - 1, '[') + std::string(levels - 1, ']') + "]}";
  };
  EXPECT_EQ(Call(nested(99)), R"({"jsonrpc":"2.0","id":9,"error":{"code":-32602,"message":"Invalid params: SetCurrentYear takes 1 parameter, not 2"}})");
  EXPECT_EQ(Call(nested(100)),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: the request nests arrays and objects more than 100 deep"}})");
  EXPECT_EQ(Call(nested(100000)),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: the request nests arrays and objects more than 100 deep"}})");
  // So is an object's width, which the parser pays for squared: 10,000
  // members are a request like any other, one more is refused (commas in
  // strings and arrays do not count).
  const auto wide = [](int members) {
    std::string object = R"({"s":",,,,","a":[1,2,3])";
    for (int i = 2; i < members; ++i) object += ",\"k" + std::to_string(i) + "\":1";
    return R"({"jsonrpc":"2.0","id":9,"method":"SetCurrentYear","params":[)" + object + "}]}";
  };
  EXPECT_EQ(Call(wide(10000)),
            R"({"jsonrpc":"2.0","id":9,"error":{"code":-32602,"message":"Invalid params: parameter 1 of SetCurrentYear must be an integer from -32768 to 32767"}})");
  EXPECT_EQ(Call(wide(10001)),
            R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: an object of the request has more than 10000 members"}})");
}

// A data file's name with a NUL names no file: the part before the NUL, a
// file that is there, is not read (with the format the whole name tells).
TEST_F(Protocol, ADataFileNameWithANulIsNoFile) {
  test::WriteFile(home.file("import.ini"), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")));
  test::WriteFile(home.file("tb.csv"), test::ReadFile(test::DataPath("reads/csv_fcoa/tb.csv")));
  Call(R"({"jsonrpc":"2.0","id":1,"method":"GetTemplateInfo","params":[]})");
  EXPECT_EQ(Call(R"({"jsonrpc":"2.0","id":2,"method":"ReadImportFile","params":[")" + home.file("tb.csv") +
                 R"(\u0000.txt","GL BOOK","FCOA","1",""]})"),
            R"({"jsonrpc":"2.0","id":2,"result":{"value":"<Error>Error opening import file )" + home.file("tb.csv") +
                R"( .txt for reading!</Error>","status":0,"messages":[],"outcome":"error"}})");
}

TEST_F(Protocol, TextCrossesTheInterfaceAsUtf8) {
  Call(R"({"jsonrpc":"2.0","id":1,"method":"TaxReturnType","params":["Caf\u00e9 \u4e2d"]})");
  EXPECT_EQ(service.settings().taxReturnType(), "Caf\xE9 ?");
}

TEST_F(Protocol, ResultsTheMethodLeavesUnsetAreNull) {
  const std::string log = home.file("log.txt");
  const std::pair<std::string, std::string> rows[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"WriteOutputLine","params":["nope.txt","x"]})",
       R"({"jsonrpc":"2.0","id":1,"result":{"value":null,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":2,"method":"CloseOutputFile","params":[""]})",
       R"({"jsonrpc":"2.0","id":2,"result":{"value":null,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":3,"method":"CloseOutputFile","params":["nope.txt"]})",
       R"({"jsonrpc":"2.0","id":3,"result":{"value":null,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":4,"method":"CreateOutputFile","params":[")" + log + R"("]})",
       R"({"jsonrpc":"2.0","id":4,"result":{"value":1,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":5,"method":"WriteOutputLine","params":[")" + log + R"(","x"]})",
       R"({"jsonrpc":"2.0","id":5,"result":{"value":1,"status":0,"messages":[]}})"},
      {R"({"jsonrpc":"2.0","id":6,"method":"CloseOutputFile","params":[")" + log + R"("]})",
       R"({"jsonrpc":"2.0","id":6,"result":{"value":1,"status":0,"messages":[]}})"},
  };
  for (const auto& [request, expected] : rows) EXPECT_EQ(Call(request), expected) << request;
}

// An editor window that fails the way a broken front end could.
class FailingEditor : public EditorHost {
 public:
  explicit FailingEditor(bool outOfMemory) : m_outOfMemory(outOfMemory) {}
  std::string RunEditor(const LayoutEditorInputs&, const std::function<void(std::string_view)>&) override {
    if (m_outOfMemory) throw std::bad_alloc();
    throw std::runtime_error("the window went away");
  }

 private:
  bool m_outOfMemory;
};

TEST_F(Protocol, AFailureInsideTheEngineAnswersThatRequestAlone) {
  test::WriteFile(home.file("tb.csv"), "1,2\n");
  const std::string edit =
      R"({"jsonrpc":"2.0","id":1,"method":"EditLayout","params":["",0,"FCOA",")" + home.file("tb.csv") + R"("]})";
  for (const bool outOfMemory : {false, true}) {
    FailingEditor editor(outOfMemory);
    service.SetEditorHost(&editor);
    EXPECT_EQ(Call(edit), std::string(R"({"jsonrpc":"2.0","id":1,"error":{"code":-32603,"message":"Internal error: )") +
                              (outOfMemory ? "out of memory" : "the window went away") + R"("}})");
    service.SetEditorHost(nullptr);
    // The next request runs on the same object.
    EXPECT_EQ(Call(R"({"jsonrpc":"2.0","id":2,"method":"SetCurrentYear","params":[2030]})"),
              R"({"jsonrpc":"2.0","id":2,"result":{"value":null,"status":0,"messages":[]}})");
  }
}

TEST_F(Protocol, ReadTextsAreWrittenAsTheJsonWriterWouldWriteThem) {
  // A missing file whose name holds what JSON escapes: the error document
  // carries it, and the response is the JSON writer's own text.
  const std::string file = home.file("tab\tquote\"back\\slash\x01" "caf\xC3\xA9\xE2\x82\xAC.csv");
  const std::string request = nlohmann::json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "ReadImportFile"},
                                             {"params", {file, "CATEGORY", "CAT", "1", ""}}}
                                  .dump();
  const std::string response = Call(request);
  const auto parsed = nlohmann::ordered_json::parse(response);
  EXPECT_EQ(parsed.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace), response);
  ReadRequest r;
  r.importFile = file;
  r.templateName = "CATEGORY";
  r.importType = "CAT";
  r.id = "1";
  EXPECT_EQ(parsed["result"]["value"].get<std::string>(), service.Read(r).text.view());
  EXPECT_EQ(parsed["result"]["outcome"], "error");
}

// An editor window the test closes when it wants.
class HeldEditor : public EditorHost {
 public:
  std::string RunEditor(const LayoutEditorInputs&, const std::function<void(std::string_view)>&) override {
    std::unique_lock lock(m_mutex);
    m_open = true;
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return m_closed; });
    return "T";
  }
  void WaitOpen() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_open; });
  }
  void Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_cv.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_open = false, m_closed = false;
};

TEST_F(Protocol, ACallThatCannotWaitForTheServiceIsToldItIsBusy) {
  test::WriteFile(home.file("tb.csv"), "1,2\n");
  HeldEditor editor;
  service.SetEditorHost(&editor);
  StringSink first;
  std::thread editing([&] {
    protocol.HandleLine(R"({"jsonrpc":"2.0","id":1,"method":"EditLayout","params":["",0,"FCOA",")" +
                            home.file("tb.csv") + R"("]})",
                        first);
  });
  editor.WaitOpen();
  StringSink second;
  HostProtocol::CallOptions options;
  options.wait = std::chrono::milliseconds(50);
  protocol.HandleLine(R"({"jsonrpc":"2.0","id":2,"method":"SetCurrentYear","params":[2030]})", second, options);
  EXPECT_EQ(second.text(), R"({"jsonrpc":"2.0","id":2,"error":{"code":-32001,"message":"The service is busy: the layout editor or a file dialog is open."}})");
  editor.Close();
  editing.join();
  EXPECT_EQ(first.text(), R"({"jsonrpc":"2.0","id":1,"result":{"value":"T","status":0,"messages":[]}})");
  service.SetEditorHost(nullptr);
}

}  // namespace
}  // namespace zephrin
