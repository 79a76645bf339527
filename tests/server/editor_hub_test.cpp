#include "server/editor_hub.h"

#include <filesystem>
#include <future>
#include <thread>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/web_access.h"
#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin {
namespace {

using Json = nlohmann::json;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

Json Ask(EditorHub& hub, const Json& request) { return Json::parse(hub.HandleRequest(request.dump())); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The service object as `zephrinimport serve` drives it: the host protocol on
// one thread, the page's requests to the hub on another.
class EditLayoutTest : public ::testing::Test {
 protected:
  EditLayoutTest() : env("ZEPHRINIMPORT_HOME", home.str()), ui(hub), service(&ui), protocol(service, ui) {
    service.SetEditorHost(&hub);
  }
  std::string Ini() const { return home.file("import.ini"); }

  // Starts EditLayout on another thread; returns its response line.
  std::future<std::string> StartEdit(const std::string& name, const std::string& type, const std::string& file,
                                     int intlType = 0) {
    const Json req = {{"jsonrpc", "2.0"}, {"id", 7}, {"method", "EditLayout"},
                      {"params", Json::array({name, intlType, type, file})}};
    return std::async(std::launch::async, [this, line = req.dump()] { return *protocol.HandleLine(line); });
  }
  // The editor state once it is open.
  Json OpenState() {
    EXPECT_TRUE(hub.WaitForEditor(5000));
    Json s = Ask(hub, {{"action", "state"}, {"takeMessages", true}});
    EXPECT_TRUE(s["editor"].is_object());
    return s;
  }
  Json Act(unsigned session, Json request) {
    request["session"] = session;
    return Ask(hub, request);
  }

  TempDir home;
  TempDir data;
  ScopedEnv env;
  EditorHub hub;
  HubUserInterface ui;
  CxmlWrapper service;
  HostProtocol protocol;
};

constexpr const char* kRates = "Jurisdiction,Rate\nCA,8.84\nNY,6.5\n";

TEST_F(EditLayoutTest, UnreadableDataFileGivesTheMessageAndNoName) {
  const std::string missing = data.file("none.csv");
  const Json r = Json::parse(StartEdit("", "TAXRATE", missing).get());
  EXPECT_TRUE(r["result"]["value"].is_null());
  EXPECT_EQ(r["result"]["status"], 0);
  ASSERT_EQ(r["result"]["messages"].size(), 1u);
  EXPECT_EQ(r["result"]["messages"][0]["caption"], "Import");
  EXPECT_EQ(r["result"]["messages"][0]["text"], "Error opening/reading " + missing);
  // A folder is no data file either.
  const Json d = Json::parse(StartEdit("", "TAXRATE", data.str()).get());
  EXPECT_TRUE(d["result"]["value"].is_null());
  EXPECT_EQ(d["result"]["messages"][0]["text"], "Error opening/reading " + data.str());
}

TEST_F(EditLayoutTest, OkReturnsTheSavedName) {
  const std::string file = data.file("rates.csv");
  WriteFile(file, kRates);
  auto reply = StartEdit("", "TAXRATE", file);
  const Json s = OpenState();
  const unsigned id = s["editor"]["session"];
  const Json& st = s["editor"];
  EXPECT_EQ(st["title"], "Import Template - Tax Rates");
  EXPECT_EQ(st["numbersHeading"], "Column   Start Row");
  EXPECT_EQ(st["lengthLabel"], "Start Row");
  EXPECT_EQ(st["sourceFile"], file);
  EXPECT_EQ(st["okEnabled"], false);
  EXPECT_EQ(st["nameReadOnly"], false);
  EXPECT_EQ(st["grid"]["headers"], Json::array({"", "A", "B"}));
  EXPECT_EQ(st["grid"]["rows"], 4);

  Json r = Act(id, {{"action", "name"}, {"text", "Rates"}});
  EXPECT_EQ(r["editor"]["okEnabled"], true);
  r = Act(id, {{"action", "ok"}});  // nothing placed: refused
  ASSERT_EQ(r["messages"].size(), 1u);
  EXPECT_EQ(r["messages"][0]["text"],
            "Tax Rate Chart import requires a Jurisdiction. \nPlease modify template to show location of this item.");
  Act(id, {{"action", "select"}, {"index", 1}});
  r = Act(id, {{"action", "click"}, {"row", 2}, {"col", 1}});
  EXPECT_EQ(r["editor"]["grid"]["headers"][1], "Jurisdiction");
  EXPECT_EQ(r["editor"]["items"][1]["col"], 1);
  EXPECT_EQ(r["editor"]["items"][1]["len"], 2);
  r = Act(id, {{"action", "ok"}});
  EXPECT_EQ(r["editor"]["ended"], true);
  const Json done = Json::parse(reply.get());
  EXPECT_EQ(done["result"]["value"], "Rates");
  EXPECT_NE(ReadFile(Ini()).find("[Import:Rates]\nInfo=TAXRATE\nFsiType=FEDERAL\nJurisdiction_Name=0 0 0\n"
                                 "Jurisdiction=0 2 0\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(Ini()).find("1=" + Upper(file) + "^RATES\n"), std::string::npos);
  // The ended session takes no more actions.
  EXPECT_EQ(Act(id, {{"action", "reset"}})["closed"], true);
}

TEST_F(EditLayoutTest, CancelReturnsTheNameOfAnExistingTemplateAndEmptyForANewOne) {
  const std::string file = data.file("rates.csv");
  WriteFile(file, kRates);
  WriteFile(Ini(), "[Import:OLD]\nInfo=TAXRATE\nJurisdiction=0 2 0\n[Import:Layout]\n1=OLD\n");
  auto reply = StartEdit("OLD", "TAXRATE", file);
  Json s = OpenState();
  EXPECT_EQ(s["editor"]["nameReadOnly"], true);
  EXPECT_EQ(s["editor"]["okEnabled"], true);
  EXPECT_EQ(s["editor"]["items"][1]["col"], 1);
  EXPECT_EQ(s["editor"]["items"][1]["len"], 2);
  Act(s["editor"]["session"], {{"action", "cancel"}});
  EXPECT_EQ(Json::parse(reply.get())["result"]["value"], "OLD");
  EXPECT_NE(ReadFile(Ini()).find("[Import:FileName]\n1=" + Upper(file) + "^OLD\n"), std::string::npos);

  auto fresh = StartEdit("", "TAXRATE", file);
  s = OpenState();
  Act(s["editor"]["session"], {{"action", "name"}, {"text", "Typed"}});
  Act(s["editor"]["session"], {{"action", "cancel"}});
  EXPECT_EQ(Json::parse(fresh.get())["result"]["value"], "");
}

TEST_F(EditLayoutTest, InitialisationMessagesReachThePageOnce) {
  const std::string file = data.file("blank.csv");
  WriteFile(file, "a,b\n" + std::string(30, '\n'));
  auto reply = StartEdit("", "FCOA", file);
  ASSERT_TRUE(hub.WaitForEditor(5000));
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["messages"].size(), 0u);  // a page that only looks for dialogs
  Json s = OpenState();
  ASSERT_EQ(s["messages"].size(), 1u);
  EXPECT_EQ(s["messages"][0]["text"],
            "This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded "
            "blank lines before import.");
  EXPECT_EQ(Ask(hub, {{"action", "state"}, {"takeMessages", true}})["messages"].size(), 0u);
  hub.Stop();  // stopping cancels the open editor
  EXPECT_EQ(Json::parse(reply.get())["result"]["value"], "");
}

TEST_F(EditLayoutTest, ItemsCarryWhatTheListDraws) {
  // INSURWP items come from the host; a long caption with ":" takes two lines.
  ASSERT_EQ(service.InitInsurWPTemplate("Schedule P: Losses and loss expenses paid in year;Other;"), kOk);
  const std::string file = data.file("w.prn");
  WriteFile(file, "0001 12.50\n0002  3.75\n");
  auto reply = StartEdit("", "INSURWP", file);
  Json s = OpenState();
  const Json& items = s["editor"]["items"];
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]["lines"], Json::array({"Schedule P:", "Losses and loss expenses paid in year"}));
  EXPECT_EQ(items[1]["lines"], Json::array({"Other"}));
  // INSURWP's first item needs batch mode: grey, and never drawn selected.
  EXPECT_EQ(items[0]["available"], false);
  EXPECT_EQ(s["editor"]["current"], 1);
  const unsigned id = s["editor"]["session"];
  Json r = Act(id, {{"action", "select"}, {"index", 0}});
  EXPECT_EQ(r["editor"]["items"][0]["selected"], true);
  EXPECT_EQ(r["editor"]["items"][0]["drawnSelected"], false);
  EXPECT_EQ(r["editor"]["canPlace"], false);
  EXPECT_EQ(r["editor"]["numbersHeading"], "Column   Length");
  EXPECT_EQ(r["editor"]["lengthLabel"], "Length");
  EXPECT_EQ(r["editor"]["digitWidths"], 10);
  // A text selection given as lines and columns.
  Act(id, {{"action", "select"}, {"index", 1}});
  r = Act(id, {{"action", "textSelect"}, {"start", {{"line", 1}, {"col", 5}}}, {"end", {{"line", 1}, {"col", 10}}},
               {"view", {{"firstLine", 1}, {"visibleLines", 1}}}});
  EXPECT_EQ(r["editor"]["items"][1]["col"], 6);
  EXPECT_EQ(r["editor"]["items"][1]["len"], 5);
  EXPECT_EQ(r["editor"]["text"]["sel"], (Json{{"start", {{"line", 1}, {"col", 5}}}, {"end", {{"line", 1}, {"col", 10}}}}));
  const Json rows = Ask(hub, {{"action", "rows"}, {"session", id}, {"from", 0}, {"count", 5}});
  EXPECT_EQ(rows["rows"], Json::parse(R"([[0,"0001 12.50"],[1,"0002  3.75"],[2,""]])"));
  Act(id, {{"action", "cancel"}});
  reply.get();
}

TEST_F(EditLayoutTest, GridRowsAreFetchedByRange) {
  const std::string file = data.file("rates.csv");
  WriteFile(file, kRates);
  auto reply = StartEdit("", "TAXRATE", file);
  const unsigned id = OpenState()["editor"]["session"];
  const Json rows = Ask(hub, {{"action", "rows"}, {"session", id}, {"from", 2}, {"count", 10}});
  EXPECT_EQ(rows["rows"], Json::parse(R"([[2,[[1,"CA"],[2,"8.84"]]],[3,[[1,"NY"],[2,"6.5"]]]])"));
  // A stale session number acts on nothing.
  EXPECT_EQ(Ask(hub, {{"action", "click"}, {"session", id + 100}, {"row", 1}, {"col", 1}})["closed"], true);
  EXPECT_EQ(Ask(hub, {{"action", "bogus"}, {"session", id}})["error"], "Unknown action: bogus");
  Act(id, {{"action", "cancel"}});
  reply.get();
}

TEST(EditorHubTest, FileDialogsAreAnsweredByThePage) {
  EditorHub hub;
  HubUserInterface ui(hub);
  FileDialogRequest request;
  request.title = "Select Import File";
  request.filter = "Comma Delimited(*.csv)|*.csv|Data Interchange Format(*.dif)|*.dif|";
  request.initialFolder = "/data";
  // Not interactive: the prepared answers serve, as in `zephrinimport call`.
  ui.SetAnswers({std::string("/data/a.csv")});
  EXPECT_EQ(ui.ChooseFile(request)->path, "/data/a.csv");

  ui.SetInteractive(true);
  auto chosen = std::async(std::launch::async, [&] { return ui.ChooseFile(request); });
  Json dialog;
  for (int i = 0; i < 500 && dialog.is_null(); ++i) {
    dialog = Ask(hub, {{"action", "state"}})["dialog"];
    if (dialog.is_null()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(dialog.is_object());
  EXPECT_EQ(dialog["title"], "Select Import File");
  EXPECT_EQ(dialog["filters"], Json::parse(R"j([{"label":"Comma Delimited(*.csv)","patterns":"*.csv"},
                                               {"label":"Data Interchange Format(*.dif)","patterns":"*.dif"}])j"));
  EXPECT_EQ(Ask(hub, {{"action", "answer"}, {"dialog", 999}, {"path", "/x"}})["error"],
            "That file dialog is no longer open.");
  Ask(hub, {{"action", "answer"}, {"dialog", dialog["id"]}, {"path", "/data/b.dif"}, {"filterIndex", 2}});
  const auto result = chosen.get();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->path, "/data/b.dif");
  EXPECT_EQ(result->filterIndex, 2);
  // Cancelled: a null path.
  auto cancelled = std::async(std::launch::async, [&] { return ui.ChooseFile(request); });
  Json d2;
  for (int i = 0; i < 500 && d2.is_null(); ++i) {
    d2 = Ask(hub, {{"action", "state"}})["dialog"];
    if (d2.is_null()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Ask(hub, {{"action", "answer"}, {"dialog", d2["id"]}, {"path", nullptr}});
  EXPECT_FALSE(cancelled.get());
  EXPECT_EQ(SplitDialogFilter("A|*.a|B|*.b;*.c|").size(), 2u);
}

TEST(WebAccessTest, RequestGuards) {
  const std::string token = NewAccessToken();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_NE(token, NewAccessToken());
  EXPECT_TRUE(TokenMatches(token, token));
  EXPECT_FALSE(TokenMatches(token, token.substr(0, 31)));
  EXPECT_FALSE(TokenMatches(token, token.substr(0, 31) + (token[31] == 'a' ? "b" : "a")));
  EXPECT_FALSE(TokenMatches("", ""));

  const std::vector<std::pair<std::string, bool>> hosts = {
      {"127.0.0.1:8123", true}, {"localhost:8123", true}, {"127.0.0.1", false},  {"evil.example:8123", false},
      {"127.0.0.1:812", false}, {"LOCALHOST:8123", false}, {"", false},          {"127.0.0.1:8123.evil", false}};
  for (const auto& [host, ok] : hosts) EXPECT_EQ(HostAllowed(host, 8123), ok) << host;

  const std::vector<std::pair<std::string, bool>> origins = {{"", true},
                                                             {"http://127.0.0.1:8123", true},
                                                             {"http://localhost:8123", true},
                                                             {"null", false},
                                                             {"http://evil.example", false},
                                                             {"https://127.0.0.1:8123", false}};
  for (const auto& [origin, ok] : origins) EXPECT_EQ(OriginAllowed(origin, 8123), ok) << origin;

  EXPECT_TRUE(IsJsonContentType("application/json"));
  EXPECT_TRUE(IsJsonContentType("Application/JSON; charset=utf-8"));
  EXPECT_FALSE(IsJsonContentType("text/plain"));
  EXPECT_FALSE(IsJsonContentType("application/x-www-form-urlencoded"));
  EXPECT_FALSE(IsJsonContentType(""));
}

TEST(WebAccessTest, FolderListingStaysInsideTheRoots) {
  TempDir root, other;
  std::filesystem::create_directories(root.path() / "sub");
  WriteFile(root.file("b.csv"), "x");
  WriteFile(root.file(".hidden"), "x");
  WriteFile(other.file("secret.csv"), "x");
  const auto roots = CanonicalRoots({root.str(), root.str(), "/no/such/folder"});
  ASSERT_EQ(roots.size(), 1u);

  Json l = ListFolder(roots, root.str());
  ASSERT_FALSE(l.contains("error")) << l.dump();
  EXPECT_TRUE(l["parent"].is_null());
  ASSERT_EQ(l["entries"].size(), 2u);
  EXPECT_EQ(l["entries"][0]["name"], "sub");
  EXPECT_EQ(l["entries"][0]["dir"], true);
  EXPECT_EQ(l["entries"][1]["name"], "b.csv");
  EXPECT_EQ(l["entries"][1]["size"], 1);

  EXPECT_EQ(ListFolder(roots, root.file("sub"))["parent"], roots[0]);
  EXPECT_TRUE(ListFolder(roots, other.str()).contains("error"));
  EXPECT_TRUE(ListFolder(roots, root.file("sub/../..")).contains("error"));
  std::filesystem::create_directory_symlink(other.path(), root.path() / "link");
  EXPECT_TRUE(ListFolder(roots, root.file("link")).contains("error"));
  EXPECT_EQ(ListFolder(roots, "")["entries"][0]["path"], roots[0]);
}

}  // namespace
}  // namespace zephrin

namespace zephrin {
namespace {

TEST(EditLayoutWithoutAHostTest, SaysTheEditorCannotBeShown) {
  test::TempDir home, data;
  test::ScopedEnv env("ZEPHRINIMPORT_HOME", home.str());
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  HostProtocol protocol(service, ui);
  test::WriteFile(data.file("r.csv"), "CA,1\n");
  const Json r = Json::parse(*protocol.HandleLine(
      Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "EditLayout"}, {"params", {"", 0, "TAXRATE", data.file("r.csv")}}}
          .dump()));
  EXPECT_TRUE(r["result"]["value"].is_null());
  EXPECT_EQ(r["result"]["messages"][0]["text"], "The layout editor cannot be shown: this front end has no window for it.");
}

}  // namespace
}  // namespace zephrin
