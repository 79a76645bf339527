// What the editor hub does so that work is never lost without a word: OK on
// the name of a saved template asks first, and the unsaved work of an editor
// whose page went away is kept as a draft that the next editor of the same
// file and import type offers back.
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "server/editor_fixture.h"

namespace zephrin::test {
namespace {

using namespace std::chrono_literals;
using HubDraftTest = EditorHubFixture;

constexpr const char* kChart = "Acct No,Description,Amt,TRC\n1000,Cash,15.00,101\n2000,Bank,20.50,102\n";
constexpr const char* kStore = "[Import:CHART]\nInfo=TAXRATE\nJurisdiction=0 1 0\n[Import:Layout]\n1=CHART\n";

TEST_F(HubDraftTest, OkOnTheNameOfASavedTemplateAsksBeforeItReplacesIt) {
  const std::string file = Data("rates.csv", "CA,8.84\nNY,6.5\n");
  WriteFile(Ini(), kStore);
  auto reply = StartEdit("", "TAXRATE", file);
  const unsigned id = Open();
  Place(id, 1, 2, 1);
  Act(id, {{"action", "name"}, {"text", " chart "}});
  Json r = Act(id, {{"action", "ok"}});
  EXPECT_EQ(r["replace"], "CHART");
  EXPECT_EQ(r["messages"], Json::array());
  EXPECT_EQ(r["editor"]["ended"], false);
  EXPECT_EQ(ReadFile(Ini()), kStore);
  r = Act(id, {{"action", "ok"}, {"replace", true}});
  EXPECT_EQ(r["editor"]["ended"], true);
  EXPECT_FALSE(r.contains("replace"));
  EXPECT_EQ(reply.get()["result"]["value"], "chart");
  EXPECT_EQ(ReadFile(Ini()), "[Import:Layout]\n1=CHART\n[Import:chart]\nInfo=TAXRATE\nFsiType=FEDERAL\n"
                             "Jurisdiction_Name=0 0 0\nJurisdiction=0 2 0\nCurrent_EOY_Rate=0 0 0\nDeferred_BOY_Rate=0 0 0\n"
                             "Deferred_EOY_Rate=0 0 0\n[Import:FileName]\n1=" +
                                 Upper(file) + "^CHART\n");
  // The template being edited is saved in its place without a question.
  auto again = StartEdit("CHART", "TAXRATE", file);
  const unsigned second = Open();
  Place(second, 1, 1, 1);
  r = Act(second, {{"action", "ok"}});
  EXPECT_FALSE(r.contains("replace"));
  EXPECT_EQ(r["editor"]["ended"], true);
  again.get();
}

TEST_F(HubDraftTest, APageThatGoesAwayLeavesADraftThatTheNextEditorRestores) {
  const std::string file = Data("chart.csv", kChart);
  auto reply = StartEdit("", "FCOA", file);
  unsigned id = Open();
  Act(id, {{"action", "claim"}, {"page", "p"}});
  EXPECT_EQ(Act(id, {{"action", "name"}, {"text", "Half"}})["editor"]["unsaved"], false);
  Place(id, 1, 2, 1);
  EXPECT_EQ(Place(id, 2, 3, 2)["editor"]["unsaved"], true);
  const Json placed = Positions(Act(id, {{"action", "view"}}));
  Act(id, {{"action", "leave"}, {"page", "p"}});
  EXPECT_EQ(reply.get()["result"]["value"], "");

  const std::filesystem::path drafts = home.path() / "drafts";
  ASSERT_EQ(FolderEntries(drafts).size(), 1u);
  const std::string name = *FolderEntries(drafts).begin();
  EXPECT_TRUE(name.starts_with("chart.csv.FCOA.") && name.ends_with(".json")) << name;
  EXPECT_EQ(ReadFile((drafts / name).string()),
            "{\n  \"dataFile\": \"" + file + "\",\n  \"importType\": \"FCOA\",\n  \"intlKind\": 0,\n"
            "  \"template\": \"Half\",\n  \"newTemplate\": true,\n  \"current\": 2,\n  \"positions\": {\n"
            "    \"Company_Number\": \"0 0 0\",\n    \"Account_Number\": \"0 2 0\",\n"
            "    \"Account_Caption\": \"1 3 0\",\n    \"Account_Balance\": \"0 0 0\",\n    \"TRC\": \"0 0 0\",\n"
            "    \"TCC\": \"0 0 0\",\n    \"Account_Type\": \"0 0 0\",\n    \"SIC_Code\": \"0 0 0\",\n"
            "    \"Activity_Number\": \"0 0 0\",\n    \"Activity_Name\": \"0 0 0\"\n  },\n  \"keys\": {}\n}\n");
  EXPECT_FALSE(std::filesystem::exists(Ini()) && ReadFile(Ini()).find("[Import:") != std::string::npos);

  // The next editor of the file offers it; restoring gives the work back and
  // removes the draft.
  reply = StartEdit("", "FCOA", file);
  id = Open();
  Json s = Act(id, {{"action", "view"}})["editor"];
  EXPECT_EQ(s["draft"], (Json{{"template", "Half"}, {"newTemplate", true}, {"placed", 2}}));
  EXPECT_EQ(s["unsaved"], false);
  s = Act(id, {{"action", "restoreDraft"}})["editor"];
  EXPECT_EQ(Positions(Json{{"editor", s}}), placed);
  EXPECT_EQ(s["grid"]["headers"], Json::array({"", "Account Number", "Account Caption", "C", "D"}));
  EXPECT_EQ(s["name"], "Half");
  EXPECT_EQ(s["current"], 2);
  EXPECT_EQ(s["unsaved"], true);
  EXPECT_EQ(s["canUndo"], true);
  EXPECT_TRUE(s["draft"].is_null());
  EXPECT_TRUE(FolderEntries(drafts).empty());
  // Cancel drops the work as the user asked: no draft.
  Cancel(id, reply);
  EXPECT_TRUE(FolderEntries(drafts).empty());
}

TEST_F(HubDraftTest, ADraftIsOfferedToItsOwnTemplateOnlyAndGoesWhenThatTemplateIsSaved) {
  const std::string file = Data("rates.csv", "CA,8.84\nNY,6.5\n");
  WriteFile(Ini(), kStore);
  hub.SetPageTimeout(300ms);
  // An edit of CHART whose page falls silent.
  auto reply = StartEdit("CHART", "TAXRATE", file);
  unsigned id = Open();
  Act(id, {{"action", "claim"}, {"page", "p"}});
  Place(id, 1, 2, 1);
  ASSERT_EQ(reply.wait_for(5s), std::future_status::ready);
  reply.get();
  const std::filesystem::path drafts = home.path() / "drafts";
  ASSERT_EQ(FolderEntries(drafts).size(), 1u);

  // A new template on the same file and type is not CHART's work.
  reply = StartEdit("", "TAXRATE", file);
  id = Open();
  EXPECT_TRUE(Act(id, {{"action", "view"}})["editor"]["draft"].is_null());
  Cancel(id, reply);
  // Nor is another import type's.
  reply = StartEdit("CHART", "FCOA", file);
  id = Open();
  EXPECT_TRUE(Act(id, {{"action", "view"}})["editor"]["draft"].is_null());
  Cancel(id, reply);
  ASSERT_EQ(FolderEntries(drafts).size(), 1u);

  // CHART's editor offers it; saved without restoring it, the draft goes.
  reply = StartEdit("chart", "TAXRATE", file);
  id = Open();
  EXPECT_EQ(Act(id, {{"action", "view"}})["editor"]["draft"], (Json{{"template", "CHART"}, {"newTemplate", false}, {"placed", 1}}));
  EXPECT_EQ(Act(id, {{"action", "ok"}})["editor"]["ended"], true);
  reply.get();
  EXPECT_TRUE(FolderEntries(drafts).empty());
}

// A draft keeps how the file was read and the amounts too: the sheet of a
// workbook, the amounts style and the credit columns come back with the
// positions. Work that no longer fits the file is restored as far as it fits,
// said so, and kept.
TEST_F(HubDraftTest, ADraftBringsBackTheSheetAmountsAndCreditColumnsOrSaysWhatNoLongerFits) {
  const std::string book = data.file("book.xlsx");
  std::filesystem::copy_file(DataPath("workbooks/mixed.xlsx"), book);
  const std::string tb = Data("tb.csv", "No,Name,Debit,Credit\n1000,Cash,5,\n2000,Loan,,7\n");
  const std::filesystem::path drafts = home.path() / "drafts";
  // Leaves a new template's editor of `file` after `work`; the state it had.
  const auto leaveAfter = [&](const std::string& file, const std::function<void(unsigned)>& work) {
    auto reply = StartEdit("", "PRELIMBAL", file);
    const unsigned id = Open();
    Act(id, {{"action", "claim"}, {"page", "p"}});
    work(id);
    const Json s = Act(id, {{"action", "view"}})["editor"];
    Act(id, {{"action", "leave"}, {"page", "p"}});
    reply.get();
    return s;
  };
  const auto restore = [&](const std::string& file) {
    auto reply = StartEdit("", "PRELIMBAL", file);
    const unsigned id = Open();
    const Json r = Act(id, {{"action", "restoreDraft"}});
    Cancel(id, reply);
    return r;
  };
  const auto same = [](const Json& a, const Json& b) {
    for (const char* key : {"items", "sheet", "amounts", "separator"}) EXPECT_EQ(a[key], b[key]) << key;
    EXPECT_EQ(a["grid"]["headers"], b["grid"]["headers"]);
  };

  const Json onNotes = leaveAfter(book, [&](unsigned id) {
    Act(id, {{"action", "sheet"}, {"index", 1}});
    Place(id, 1, 2, 2);
    Act(id, {{"action", "amounts"}, {"amounts", "signedComma"}});
  });
  ASSERT_EQ(FolderEntries(drafts).size(), 1u);
  EXPECT_NE(ReadFile((drafts / *FolderEntries(drafts).begin()).string())
                .find("\"keys\": {\n    \"Sheet\": \"NOTES\",\n    \"Amounts\": \"SIGNED COMMA\"\n  }"),
            std::string::npos);
  Json r = restore(book);
  EXPECT_EQ(r["messages"], Json::array());
  same(r["editor"], onNotes);
  EXPECT_EQ(r["editor"]["sheet"], 1);
  EXPECT_TRUE(FolderEntries(drafts).empty());

  const Json withCredit = leaveAfter(tb, [&](unsigned id) {
    Place(id, 1, 2, 1);
    Place(id, 3, 2, 3);
    Act(id, {{"action", "credit"}});
    Act(id, {{"action", "click"}, {"row", 2}, {"col", 4}});
  });
  ASSERT_EQ(withCredit["items"][3]["credit"], Json::parse(R"({"col":4,"len":2})"));
  r = restore(tb);
  EXPECT_EQ(r["messages"], Json::array());
  same(r["editor"], withCredit);
  EXPECT_EQ(r["editor"]["amounts"], "signed");
  EXPECT_TRUE(FolderEntries(drafts).empty());

  // The sheet is gone from the workbook: nothing is placed on another sheet,
  // and the draft stays.
  leaveAfter(book, [&](unsigned id) {
    Act(id, {{"action", "sheet"}, {"index", 1}});
    Place(id, 1, 2, 2);
  });
  std::filesystem::copy_file(DataPath("workbooks/trial_balance.xlsx"), book,
                             std::filesystem::copy_options::overwrite_existing);
  r = restore(book);
  EXPECT_EQ(r["messages"], Json::array({Json{{"caption", "Import"},
                                             {"text", "Part of the unsaved work does not fit the data file as it is "
                                                      "now: what fits is restored, and the draft is kept."}}}));
  EXPECT_EQ(r["editor"]["items"][1]["col"], 0);
  EXPECT_EQ(FolderEntries(drafts).size(), 1u);

  // Nor does a page that goes away right after such a restore put a draft of
  // what fitted in the place of the fuller one; a file emptied meanwhile says
  // the same, and nothing of the placements it no longer fits.
  const std::string kept = ReadFile((drafts / *FolderEntries(drafts).begin()).string());
  const Json emptied = Json::array({Json{{"caption", "Import"},
                                         {"text", "Part of the unsaved work does not fit the data file as it is now: "
                                                  "what fits is restored, and the draft is kept."}}});
  leaveAfter(book, [&](unsigned id) { EXPECT_EQ(Act(id, {{"action", "restoreDraft"}})["messages"], emptied); });
  EXPECT_EQ(ReadFile((drafts / *FolderEntries(drafts).begin()).string()), kept);
  leaveAfter(tb, [&](unsigned id) { Place(id, 1, 2, 1); });
  WriteFile(tb, "");
  leaveAfter(tb, [&](unsigned id) { EXPECT_EQ(Act(id, {{"action", "restoreDraft"}})["messages"], emptied); });
  EXPECT_EQ(FolderEntries(drafts).size(), 2u);
}

// Cancel at the offer keeps a new template's draft for later: saving another
// new template on the same file does not take it away.
TEST_F(HubDraftTest, ADraftKeptForLaterOutlivesAnotherTemplateSavedOnItsFile) {
  const std::string file = Data("rates.csv", "CA,8.84\nNY,6.5\n");
  auto reply = StartEdit("", "TAXRATE", file);
  unsigned id = Open();
  Act(id, {{"action", "claim"}, {"page", "p"}});
  Act(id, {{"action", "name"}, {"text", "Draft A"}});
  Place(id, 1, 2, 1);
  Act(id, {{"action", "leave"}, {"page", "p"}});
  reply.get();
  const std::filesystem::path drafts = home.path() / "drafts";
  ASSERT_EQ(FolderEntries(drafts).size(), 1u);

  reply = StartEdit("", "TAXRATE", file);
  id = Open();
  EXPECT_EQ(Act(id, {{"action", "view"}})["editor"]["draft"]["template"], "Draft A");
  Place(id, 1, 2, 1);
  Act(id, {{"action", "name"}, {"text", "Other"}});
  EXPECT_EQ(Act(id, {{"action", "ok"}})["editor"]["ended"], true);
  EXPECT_EQ(reply.get()["result"]["value"], "Other");
  EXPECT_EQ(FolderEntries(drafts).size(), 1u);

  // Saved under its own name, the draft's template needs it no more.
  reply = StartEdit("", "TAXRATE", file);
  id = Open();
  Place(id, 1, 2, 1);
  Act(id, {{"action", "name"}, {"text", "draft a"}});
  EXPECT_EQ(Act(id, {{"action", "ok"}})["editor"]["ended"], true);
  reply.get();
  EXPECT_TRUE(FolderEntries(drafts).empty());
}

}  // namespace
}  // namespace zephrin::test
