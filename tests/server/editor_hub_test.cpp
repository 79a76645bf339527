#include "server/editor_hub.h"

#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "server/editor_fixture.h"
#include "server/web_access.h"

namespace zephrin::test {
namespace {

using EditLayoutTest = EditorHubFixture;

constexpr const char* kRates = "Jurisdiction,Rate\nCA,8.84\nNY,6.5\n";

TEST_F(EditLayoutTest, UnreadableDataFileGivesTheMessageAndNoName) {
  // A missing file, and a folder, which is no data file either.
  for (const std::string& path : {data.file("none.csv"), data.str()}) {
    const Json r = StartEdit("", "TAXRATE", path).get()["result"];
    EXPECT_TRUE(r["value"].is_null());
    EXPECT_EQ(r["status"], 0);
    EXPECT_EQ(r["messages"], (Json::array({{{"caption", "Import"}, {"text", "Error opening/reading " + path},
                                            {"icon", "none"}}})));
  }
}

TEST_F(EditLayoutTest, OkReturnsTheSavedName) {
  const std::string file = Data("rates.csv", kRates);
  auto reply = StartEdit("", "TAXRATE", file);
  const Json s = OpenState()["editor"];
  const unsigned id = s["session"];
  EXPECT_EQ(s["title"], "Import Template - Tax Rates");
  EXPECT_EQ(s["numbersHeading"], "Column   Start Row");
  EXPECT_EQ(s["lengthLabel"], "Start Row");
  EXPECT_EQ(s["sourceFile"], file);
  EXPECT_EQ(s["okEnabled"], false);
  EXPECT_EQ(s["nameReadOnly"], false);
  EXPECT_EQ(s["grid"]["headers"], Json::array({"", "A", "B"}));
  EXPECT_EQ(s["grid"]["rows"], 4);

  EXPECT_EQ(Act(id, {{"action", "name"}, {"text", "Rates"}})["editor"]["okEnabled"], true);
  Json r = Act(id, {{"action", "ok"}});  // nothing placed: refused
  ASSERT_EQ(r["messages"].size(), 1u);
  EXPECT_EQ(r["messages"][0]["text"],
            "Tax Rate Chart import requires a Jurisdiction. \nPlease modify template to show location of this item.");
  r = Place(id, 1, 2, 1);
  EXPECT_EQ(r["editor"]["grid"]["headers"][1], "Jurisdiction");
  EXPECT_EQ(Positions(r)[1], Json::array({1, 2}));
  EXPECT_EQ(Act(id, {{"action", "ok"}})["editor"]["ended"], true);
  EXPECT_EQ(reply.get()["result"]["value"], "Rates");
  const std::string store = ReadFile(Ini());
  EXPECT_NE(store.find("[Import:Rates]\nInfo=TAXRATE\nFsiType=FEDERAL\nJurisdiction_Name=0 0 0\nJurisdiction=0 2 0\n"),
            std::string::npos);
  EXPECT_NE(store.find("1=" + Upper(file) + "^RATES\n"), std::string::npos);
  // The ended session takes no more actions.
  EXPECT_EQ(Act(id, {{"action", "reset"}})["closed"], true);
}

TEST_F(EditLayoutTest, CancelReturnsTheNameOfAnExistingTemplateAndEmptyForANewOne) {
  const std::string file = Data("rates.csv", kRates);
  WriteFile(Ini(), "[Import:OLD]\nInfo=TAXRATE\nJurisdiction=0 2 0\n[Import:Layout]\n1=OLD\n");
  auto reply = StartEdit("OLD", "TAXRATE", file);
  const Json s = OpenState();
  EXPECT_EQ(s["editor"]["nameReadOnly"], true);
  EXPECT_EQ(s["editor"]["okEnabled"], true);
  EXPECT_EQ(Positions(s)[1], Json::array({1, 2}));
  Act(s["editor"]["session"], {{"action", "cancel"}});
  EXPECT_EQ(reply.get()["result"]["value"], "OLD");
  EXPECT_NE(ReadFile(Ini()).find("[Import:FileName]\n1=" + Upper(file) + "^OLD\n"), std::string::npos);

  auto fresh = StartEdit("", "TAXRATE", file);
  const unsigned id = Open();
  Act(id, {{"action", "name"}, {"text", "Typed"}});
  Act(id, {{"action", "cancel"}});
  EXPECT_EQ(fresh.get()["result"]["value"], "");
}

TEST_F(EditLayoutTest, InitialisationMessagesReachThePageOnce) {
  auto reply = StartEdit("", "FCOA", Data("blank.csv", "a,b\n" + std::string(30, '\n')));
  ASSERT_TRUE(hub.WaitForEditor(5000));
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["messages"].size(), 0u);  // a page that only looks for dialogs
  const Json s = OpenState();
  ASSERT_EQ(s["messages"].size(), 1u);
  EXPECT_EQ(s["messages"][0]["text"],
            "This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded "
            "blank lines before import.");
  EXPECT_EQ(Ask(hub, {{"action", "state"}, {"takeMessages", true}})["messages"].size(), 0u);
  hub.Stop();  // stopping cancels the open editor
  EXPECT_EQ(reply.get()["result"]["value"], "");
}

TEST_F(EditLayoutTest, ItemsCarryWhatTheListDraws) {
  // INSURWP items come from the host; a long caption with ":" takes two lines.
  ASSERT_EQ(service.InitInsurWPTemplate("Schedule P: Losses and loss expenses paid in year;Other;"), kOk);
  auto reply = StartEdit("", "INSURWP", Data("w.prn", "0001 12.50\n0002  3.75\n"));
  const Json s = OpenState();
  const Json& items = s["editor"]["items"];
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]["lines"], Json::array({"Schedule P:", "Losses and loss expenses paid in year"}));
  EXPECT_EQ(items[1]["lines"], Json::array({"Other"}));
  // INSURWP's first item needs batch mode: grey, and never drawn selected.
  EXPECT_EQ(items[0]["available"], false);
  EXPECT_EQ(s["editor"]["current"], 1);
  const unsigned id = s["editor"]["session"];
  Json r = Act(id, {{"action", "select"}, {"index", 0}})["editor"];
  EXPECT_EQ(r["items"][0]["selected"], true);
  EXPECT_EQ(r["items"][0]["drawnSelected"], false);
  EXPECT_EQ(r["canPlace"], false);
  EXPECT_EQ(r["numbersHeading"], "Column   Length");
  EXPECT_EQ(r["lengthLabel"], "Length");
  EXPECT_EQ(r["digitWidths"], 10);
  // A text selection given as lines and columns.
  Act(id, {{"action", "select"}, {"index", 1}});
  Json request = Span(1, 5, 1, 10);
  request.update({{"action", "textSelect"}, {"view", {{"firstLine", 1}, {"visibleLines", 1}}}});
  r = Act(id, request);
  EXPECT_EQ(Positions(r)[1], Json::array({6, 5}));
  EXPECT_EQ(r["editor"]["text"]["sel"], Span(1, 5, 1, 10));
  EXPECT_EQ(Act(id, {{"action", "rows"}, {"from", 0}, {"count", 5}})["rows"],
            Json::parse(R"([[0,"0001 12.50"],[1,"0002  3.75"],[2,""]])"));
  Cancel(id, reply);
}

TEST_F(EditLayoutTest, GridRowsAreFetchedByRangeWholeOrCompact) {
  auto reply = StartEdit("", "TAXRATE", Data("rates.csv", kRates));
  unsigned id = Open();
  EXPECT_EQ(Act(id, {{"action", "rows"}, {"from", 2}, {"count", 10}})["rows"],
            Json::parse(R"([[2,[[1,"CA"],[2,"8.84"]]],[3,[[1,"NY"],[2,"6.5"]]]])"));
  // A stale session number acts on nothing.
  EXPECT_EQ(Act(id + 100, {{"action", "click"}, {"row", 1}, {"col", 1}})["closed"], true);
  EXPECT_EQ(Act(id, {{"action", "bogus"}})["error"], "Unknown action: bogus");
  Cancel(id, reply);
  // With no editor open, as with one.
  EXPECT_EQ(Act(id, {{"action", "bogus"}})["error"], "Unknown action: bogus");
  EXPECT_EQ(Act(id, {{"action", 5}})["error"], "The request names no action.");
  EXPECT_EQ(Json::parse(hub.HandleRequest(std::string(101, '[') + std::string(101, ']')))["error"],
            "The request nests arrays and objects more than 100 deep.");
  EXPECT_EQ(Json::parse(hub.HandleRequest("[1]"))["error"], "The request is not a JSON object.");
  // Compact rows carry each row as one text.
  reply = StartEdit("", "FCOA", Data("gaps.csv", "a,,c\n,,\n,b\n"));
  id = Open();
  EXPECT_EQ(Act(id, {{"action", "rows"}, {"from", 0}, {"count", 10}, {"compact", true}})["rows"],
            Json::parse(R"([[1,"a\t\tc"],[2,""],[3,"\tb"]])"));
  Cancel(id, reply);
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
  // The dialog the page is shown, once it is open.
  const auto shown = [&] {
    Json dialog;
    for (int i = 0; i < 500 && dialog.is_null(); ++i) {
      if ((dialog = Ask(hub, {{"action", "state"}})["dialog"]).is_null())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return dialog;
  };
  auto chosen = std::async(std::launch::async, [&] { return ui.ChooseFile(request); });
  const Json dialog = shown();
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
  Ask(hub, {{"action", "answer"}, {"dialog", shown()["id"]}, {"path", nullptr}});
  EXPECT_FALSE(cancelled.get());
  EXPECT_EQ(SplitDialogFilter("A|*.a|B|*.b;*.c|").size(), 2u);
}

TEST(EditorHubTest, ThePagesKeepTheirSettingsInTheFolderTheyAreGiven) {
  EditorHub hub;
  const Json remember = {{"action", "rememberType"}, {"template", "GL BOOK"}, {"type", "PRELIMBAL"}};
  EXPECT_EQ(Ask(hub, {{"action", "pageSettings"}}), Json::parse(R"({"importTypes":{}})"));
  EXPECT_EQ(Ask(hub, remember), (Json{{"error", "The pages keep no settings here."}}));
  TempDir dir;
  hub.SetSettingsFolder(dir.str());
  EXPECT_EQ(Ask(hub, remember), Json::parse(R"({"importTypes":{"GL BOOK":"PRELIMBAL"}})"));
  EXPECT_EQ(Ask(hub, {{"action", "pageSettings"}}), Json::parse(R"({"importTypes":{"GL BOOK":"PRELIMBAL"}})"));
  EXPECT_EQ(ReadFile(dir.file("pages.json")), "{\n  \"importTypes\": {\n    \"GL BOOK\": \"PRELIMBAL\"\n  }\n}\n");
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
      {"127.0.0.1:8123", true},  {"localhost:8123", true}, {"127.0.0.1", true},        {"LOCALHOST:8123", true},
      {"LocalHost", true},       {"evil.example:8123", false}, {"127.0.0.1:812", false}, {"localhost:", false},
      {"", false},               {"127.0.0.1:8123.evil", false}, {"localhost.evil", false}, {":8123", false},
      {"127.0.0.1:08123", false}, {"localhost:8123:8123", false}};
  for (const auto& [host, ok] : hosts) EXPECT_EQ(HostAllowed(host, 8123), ok) << host;

  const std::vector<std::pair<std::string, bool>> origins = {
      {"", true},       {"http://127.0.0.1:8123", true}, {"http://localhost:8123", true},
      {"null", false},  {"http://evil.example", false},  {"https://127.0.0.1:8123", false},
      {"http://LOCALHOST:8123", true}, {"HTTP://LocalHost:8123", true}, {"http://localhost:8124", false}};
  for (const auto& [origin, ok] : origins) EXPECT_EQ(OriginAllowed(origin, 8123), ok) << origin;

  const std::vector<std::pair<std::string, bool>> types = {{"application/json", true},
                                                           {"Application/JSON; charset=utf-8", true},
                                                           {"text/plain", false},
                                                           {"application/x-www-form-urlencoded", false},
                                                           {"", false}};
  for (const auto& [type, ok] : types) EXPECT_EQ(IsJsonContentType(type), ok) << type;
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

TEST(EditLayoutWithoutAHostTest, SaysTheEditorCannotBeShown) {
  ScopedHome home;
  TempDir data;
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  HostProtocol protocol(service, ui);
  WriteFile(data.file("r.csv"), "CA,1\n");
  const Json r = Json::parse(*protocol.HandleLine(
      Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "EditLayout"}, {"params", {"", 0, "TAXRATE", data.file("r.csv")}}}
          .dump()));
  EXPECT_TRUE(r["result"]["value"].is_null());
  EXPECT_EQ(r["result"]["messages"][0]["text"], "The layout editor cannot be shown: this front end has no window for it.");
}

}  // namespace
}  // namespace zephrin::test
