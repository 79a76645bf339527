// The editor's sessions as the hub keeps them beside the model: who holds an
// editor and what ends it, undo and refused values, names, suggested
// placements and the live preview.
#include <atomic>
#include <future>
#include <string>

#include "server/editor_fixture.h"

namespace zephrin::test {
namespace {

using namespace std::chrono_literals;
using EditorSessionTest = EditorHubFixture;

constexpr const char* kChart = "Acct No,Description,Amt,TRC\n1000,Cash,15.00,101\n2000,Bank & Co,20.50,102\n";

TEST_F(EditorSessionTest, TheEditorEndsAsCancelWhenItsPageGoesQuiet) {
  const std::string file = Data("rates.csv", "CA,8.84\nNY,6.5\n");
  WriteFile(Ini(), "[Import:OLD]\nInfo=TAXRATE\nJurisdiction=0 1 0\n[Import:Layout]\n1=OLD\n");
  hub.SetPageTimeout(300ms);
  auto reply = StartEdit("OLD", "TAXRATE", file);
  const unsigned id = Open();
  // Requests without a page (a tool's) hold nothing; a page's claim does.
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["held"], false);
  EXPECT_EQ(Act(id, {{"action", "claim"}, {"page", "p1"}})["editor"]["session"], id);
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["held"], true);
  // Beats keep it open past the timeout.
  for (int i = 0; i < 6; ++i) {
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Act(id, {{"action", "beat"}, {"page", "p1"}})["ok"], true);
  }
  EXPECT_EQ(reply.wait_for(0ms), std::future_status::timeout);
  // Silence ends it as Cancel: the name of the existing template, its file recorded.
  ASSERT_EQ(reply.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(reply.get()["result"]["value"], "OLD");
  EXPECT_NE(ReadFile(Ini()).find("[Import:FileName]\n1=" + Upper(file) + "^OLD\n"), std::string::npos);
  // The hub holds no editor any more, and says how the last one ended.
  const Json s = Ask(hub, {{"action", "state"}});
  EXPECT_TRUE(s["editor"].is_null());
  EXPECT_EQ(s["last"], (Json{{"session", id}, {"ok", false}}));
  EXPECT_EQ(Act(id, {{"action", "rows"}, {"from", 0}, {"count", 5}})["closed"], true);
}

TEST_F(EditorSessionTest, OnlyThePageThatHoldsTheEditorEndsItByLeaving) {
  auto reply = StartEdit("", "TAXRATE", Data("rates.csv", "CA,8.84\n"));
  const unsigned id = Open();
  Act(id, {{"action", "claim"}, {"page", "first"}});
  // Another page takes it over; the first page's requests are then refused.
  Act(id, {{"action", "claim"}, {"page", "second"}});
  const Json stale = Act(id, {{"action", "leave"}, {"page", "first"}});
  EXPECT_EQ(stale["closed"], true);
  EXPECT_EQ(stale["takenOver"], true);
  EXPECT_EQ(reply.wait_for(300ms), std::future_status::timeout);
  EXPECT_EQ(Act(id, {{"action", "leave"}, {"page", "second"}})["closed"], true);
  ASSERT_EQ(reply.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(reply.get()["result"]["value"], "");
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["last"]["ok"], false);
}

TEST_F(EditorSessionTest, AnEditorNoPageTookEndsWhenItsCallerHasGone) {
  const std::string file = Data("rates.csv", "CA,8.84\n");
  std::atomic<bool> gone{false};
  hub.SetCallerGone([&] { return gone.load(); });
  auto reply = StartEdit("", "TAXRATE", file);
  Open();
  EXPECT_EQ(reply.wait_for(300ms), std::future_status::timeout);
  gone = true;
  ASSERT_EQ(reply.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(reply.get()["result"]["value"], "");

  // Once a page holds it, the caller's going no longer ends it.
  gone = false;
  auto second = StartEdit("", "TAXRATE", file);
  const unsigned id = Open();
  Act(id, {{"action", "claim"}, {"page", "p"}});
  gone = true;
  EXPECT_EQ(second.wait_for(400ms), std::future_status::timeout);
  Act(id, {{"action", "cancel"}});
  EXPECT_EQ(second.get()["result"]["value"], "");
}

TEST_F(EditorSessionTest, UndoTakesBackPlacementsClearingAndReset) {
  auto reply = StartEdit("", "FCOA", Data("chart.csv", kChart));
  const unsigned id = Open();
  EXPECT_EQ(Act(id, {{"action", "state"}})["editor"]["canUndo"], false);
  Place(id, 1, 2, 1);
  Json r = Place(id, 2, 3, 2);
  const Json placed = Positions(r);
  EXPECT_EQ(placed[1], Json::array({1, 2}));
  EXPECT_EQ(placed[2], Json::array({2, 3}));
  EXPECT_EQ(r["editor"]["canUndo"], true);
  // Clearing through the Start Row box, then Reset.
  Act(id, {{"action", "lenBox"}, {"text", "0"}});
  r = Act(id, {{"action", "reset"}});
  EXPECT_EQ(Positions(r)[1], Json::array({0, 0}));
  EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "A", "B", "C", "D"}));
  r = Act(id, {{"action", "undo"}});  // Reset taken back
  EXPECT_EQ(Positions(r)[1], Json::array({1, 2}));
  EXPECT_EQ(Positions(r)[2], Json::array({0, 0}));
  EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "Account Number", "B", "C", "D"}));
  r = Act(id, {{"action", "undo"}});  // the clearing taken back
  EXPECT_EQ(Positions(r), placed);
  EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "Account Number", "Account Caption", "C", "D"}));
  EXPECT_EQ(r["editor"]["current"], 2);
  r = Act(id, {{"action", "undo"}});
  EXPECT_EQ(Positions(r)[2], Json::array({0, 0}));
  r = Act(id, {{"action", "undo"}});
  EXPECT_EQ(Positions(r)[1], Json::array({0, 0}));
  EXPECT_EQ(r["editor"]["canUndo"], false);
  EXPECT_EQ(Positions(Act(id, {{"action", "undo"}})), Positions(r));  // nothing left: nothing changes
  Cancel(id, reply);
}

TEST_F(EditorSessionTest, ARefusedValueKeepsThePositionAndNamesTheRange) {
  auto reply = StartEdit("", "FCOA", Data("chart.csv", kChart));
  const unsigned id = Open();
  Place(id, 1, 2, 1);
  struct Case {
    const char* action;
    const char* text;
    const char* message;
    Json refused;
  };
  const Case cases[] = {
      {"lenBox", "9", "Invalid row (max. 3)", {{"box", "len"}, {"max", 3}}},
      {"colBox", "7", "Invalid column number", {{"box", "col"}, {"max", 4}}},
  };
  for (const Case& c : cases) {
    const Json r = Act(id, {{"action", c.action}, {"text", c.text}});
    ASSERT_EQ(r["messages"].size(), 1u) << c.action;
    EXPECT_EQ(r["messages"][0]["text"], c.message);
    EXPECT_EQ(r["refused"], c.refused);
    EXPECT_EQ(Positions(r)[1], Json::array({1, 2})) << c.action;
    EXPECT_EQ(r["editor"]["colBox"], "1");
    EXPECT_EQ(r["editor"]["lenBox"], "2");
    EXPECT_EQ(r["editor"]["grid"]["headers"][1], "Account Number");
    EXPECT_EQ(r["editor"]["canUndo"], true);
  }
  // A refusal is no step: one undo clears the placement.
  EXPECT_EQ(Positions(Act(id, {{"action", "undo"}}))[1], Json::array({0, 0}));
  Cancel(id, reply);
}

TEST_F(EditorSessionTest, ADragOntoTheNextLineKeepsThePreviousSelection) {
  auto reply = StartEdit("", "FBJ", Data("je.prn", "A JE001 Year-end accrual\n  1000      500.00\n"));
  const unsigned id = Open();
  Act(id, {{"action", "select"}, {"index", 1}});
  Json r = SelectText(id, 0, 2, 0, 7);
  EXPECT_EQ(Positions(r)[1], Json::array({3, 5}));
  r = SelectText(id, 0, 8, 1, 20);
  ASSERT_EQ(r["messages"].size(), 1u);
  EXPECT_EQ(r["messages"][0]["text"], "Length too long (max. 16)");
  EXPECT_EQ(r["refused"], (Json{{"box", "len"}, {"max", 16}}));
  EXPECT_EQ(Positions(r)[1], Json::array({3, 5}));
  EXPECT_EQ(r["editor"]["text"]["sel"], Span(0, 2, 0, 7));
  Cancel(id, reply);
}

TEST_F(EditorSessionTest, TheNameIsSavedTrimmedAndABlankNameIsRefused) {
  const std::string file = Data("rates.csv", "CA,8.84\n");
  auto reply = StartEdit("", "TAXRATE", file);
  const unsigned id = Open();
  Place(id, 1, 1, 1);
  Act(id, {{"action", "name"}, {"text", "   "}});
  Json r = Act(id, {{"action", "ok"}});
  ASSERT_EQ(r["messages"].size(), 1u);
  EXPECT_EQ(r["messages"][0]["text"], "Please enter a name for the template.");
  EXPECT_EQ(r["editor"]["ended"], false);
  EXPECT_FALSE(std::filesystem::exists(Ini()) && ReadFile(Ini()).find("[Import:") != std::string::npos);
  Act(id, {{"action", "name"}, {"text", "  Lead and trail "}});
  r = Act(id, {{"action", "ok"}});
  EXPECT_EQ(r["editor"]["ended"], true);
  EXPECT_EQ(reply.get()["result"]["value"], "Lead and trail");
  const std::string store = ReadFile(Ini());
  EXPECT_EQ(store.find("[Import:Lead and trail]\nInfo=TAXRATE\n"), 0u) << store;
  EXPECT_NE(store.find("[Import:Layout]\n1=LEAD AND TRAIL\n"), std::string::npos) << store;
  EXPECT_EQ(Ask(hub, {{"action", "state"}})["last"]["ok"], true);
  // The saved template reads back.
  std::string xml;
  service.ReadImportFile(file, "LEAD AND TRAIL", "TAXRATE", "1", "", xml);
  EXPECT_EQ(xml.rfind("<Error>", 0), std::string::npos) << xml;
}

TEST_F(EditorSessionTest, SuggestPlacesItemsByTheHeaderRowInOneUndoStep) {
  auto reply = StartEdit("", "FCOA", Data("chart.csv", kChart));
  const unsigned id = Open();
  Json r = Act(id, {{"action", "suggest"}});
  EXPECT_EQ(r["suggested"], Json::parse(R"([
    {"item":1,"caption":"Account Number","column":"A","header":"Acct No","startRow":2},
    {"item":2,"caption":"Account Caption","column":"B","header":"Description","startRow":2},
    {"item":4,"caption":"TRC","column":"D","header":"TRC","startRow":2}])"));
  EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "Account Number", "Account Caption", "C", "TRC"}));
  EXPECT_EQ(r["editor"]["current"], 1);
  // Items a chart import takes no value for (grey) are never placed: the
  // company number and the balance; a second Suggest finds nothing more.
  EXPECT_EQ(r["editor"]["items"][3]["available"], false);
  EXPECT_EQ(Positions(r)[0], Json::array({0, 0}));
  EXPECT_EQ(Positions(r)[3], Json::array({0, 0}));
  EXPECT_EQ(Act(id, {{"action", "suggest"}})["suggested"], Json::array());
  r = Act(id, {{"action", "undo"}});
  for (const Json& p : Positions(r)) EXPECT_EQ(p, Json::array({0, 0}));
  EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "A", "B", "C", "D"}));
  EXPECT_EQ(r["editor"]["canUndo"], false);
  Cancel(id, reply);
}

TEST_F(EditorSessionTest, ThePreviewReadsTheUnsavedTemplateAndLeavesTheStoreAlone) {
  std::atomic<int> reads{0};
  hub.SetPreviewReader([&](const ReadRequest& request) {
    ++reads;
    ReadHooks quiet;
    quiet.message = [](std::string_view, std::string_view) {};
    return service.Read(request, quiet);
  });
  auto reply = StartEdit("", "FCOA", Data("chart.csv", kChart));
  const unsigned id = Open();
  const std::string before = std::filesystem::exists(Ini()) ? ReadFile(Ini()) : "";
  Act(id, {{"action", "suggest"}});
  Json p = Act(id, {{"action", "preview"}})["preview"];
  EXPECT_EQ(p["session"], id);
  EXPECT_EQ(p["outcome"], "document");
  EXPECT_EQ(p["text"],
            "<FCOA OBJID=\"\"><COAS Line=\"1\"><Account_Number>1000</Account_Number><Account_Caption>Cash"
            "</Account_Caption><TRC>101</TRC><TCC/></COAS><COAS Line=\"2\"><Account_Number>2000</Account_Number>"
            "<Account_Caption>Bank &amp;amp; Co</Account_Caption><TRC>102</TRC><TCC/></COAS><TMPLT>"
            "<Account_Number/><Account_Caption/><TRC/></TMPLT></FCOA>");
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(std::filesystem::exists(Ini()) ? ReadFile(Ini()) : "", before);
  Cancel(id, reply);
  // Without a reader there is no preview.
  EditorHub bare;
  EXPECT_TRUE(Ask(bare, {{"action", "preview"}, {"session", 1}})["closed"] == true);
}

}  // namespace
}  // namespace zephrin::test
