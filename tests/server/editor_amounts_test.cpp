// The editor hub's separator, amounts and credit-column actions, and Suggest
// on a trial balance written in debit and credit columns.
#include <string>

#include <gtest/gtest.h>

#include "editor_fixture.h"

namespace zephrin::test {
namespace {

class EditorAmountsTest : public EditorHubFixture {};

TEST_F(EditorAmountsTest, SuggestPlacesDebitAndCreditBesideTheBalanceAndUndoTakesThemBack) {
  const struct {
    const char* file;
    const char* content;
    const char* amounts;
    const char* label;
  } cases[] = {
      {"tb.csv", "Acct No,Description,Dr,Cr\n1000,Cash,\"1,234.50\",\n2000,Loan,,\"1,234.50\"\n", "signed",
       "Signed, 1,234.50"},
      {"tb.csv", "Acct No;Description;Debit;Credit\n1000;Cash;1.234,50;\n2000;Loan;;12,5\n", "signedComma",
       "Signed, 1.234,50"},
  };
  for (const auto& c : cases) {
    auto reply = StartEdit("", "PRELIMBAL", Data(c.file, c.content));
    const unsigned id = Open();
    Json r = Act(id, {{"action", "suggest"}});
    EXPECT_EQ(r["suggested"].back(), Json::parse(std::string(R"({"item":3,"caption":"Account Balance","column":"C",
      "header":")") + (c.amounts == std::string("signed") ? "Dr" : "Debit") +
                                                 R"(","creditColumn":"D","creditHeader":")" +
                                                 (c.amounts == std::string("signed") ? "Cr" : "Credit") +
                                                 R"(","amounts":")" + c.label + R"(","startRow":2})"));
    EXPECT_EQ(r["editor"]["grid"]["headers"],
              Json::array({"", "Account Number", "B", "Account Balance", "Account Balance (credit)"}));
    EXPECT_EQ(r["editor"]["items"][3]["credit"], Json::parse(R"({"col":4,"len":2})"));
    EXPECT_EQ(r["editor"]["amounts"], c.amounts);
    EXPECT_EQ(r["editor"]["unsaved"], true);
    r = Act(id, {{"action", "undo"}});
    EXPECT_EQ(r["editor"]["grid"]["headers"], Json::array({"", "A", "B", "C", "D"}));
    EXPECT_EQ(r["editor"]["items"][3]["credit"], nullptr);
    EXPECT_EQ(r["editor"]["amounts"], "asWritten");
    EXPECT_EQ(r["editor"]["unsaved"], false);
    Cancel(id, reply);
  }
}

TEST_F(EditorAmountsTest, SeparatorAmountsAndCreditActionsShowInTheState) {
  auto reply = StartEdit("", "PRELIMBAL", Data("tb.csv", "No|Name|Debit|Credit\n1|Cash|5|\n"));
  const unsigned id = Open();
  Json r = Act(id, {{"action", "view"}});
  EXPECT_EQ(r["editor"]["separator"], "PIPE");
  EXPECT_EQ(r["editor"]["sheet"], nullptr);
  EXPECT_EQ(r["editor"]["grid"]["cols"], 5);
  r = Place(id, 3, 2, 3);
  r = Act(id, {{"action", "credit"}});
  EXPECT_EQ(r["editor"]["creditMode"], true);
  r = Act(id, {{"action", "credit"}, {"cancel", true}});
  EXPECT_EQ(r["editor"]["creditMode"], false);
  r = Act(id, {{"action", "amounts"}, {"amounts", "signedComma"}});
  EXPECT_EQ(r["editor"]["amounts"], "signedComma");
  EXPECT_EQ(r["editor"]["canUndo"], true);
  // Another separator is another grid: the placed column is gone, and so are the steps.
  r = Act(id, {{"action", "separator"}, {"separator", "COMMA"}});
  EXPECT_EQ(r["editor"]["separator"], "COMMA");
  EXPECT_EQ(r["editor"]["grid"]["cols"], 2);
  EXPECT_EQ(r["editor"]["items"][3]["col"], 0);
  EXPECT_EQ(r["editor"]["canUndo"], false);
  // An unknown separator changes nothing.
  r = Act(id, {{"action", "separator"}, {"separator", "COLON"}});
  EXPECT_EQ(r["editor"]["separator"], "COMMA");
  Cancel(id, reply);
}

TEST_F(EditorAmountsTest, TheLivePreviewReadsTheUnsavedAmountsAndCreditColumn) {
  hub.SetPreviewReader([&](const ReadRequest& request) {
    ReadHooks quiet;
    quiet.message = [](std::string_view, std::string_view) {};
    return service.Read(request, quiet);
  });
  auto reply = StartEdit("", "PRELIMBAL", Data("tb.csv", "No,Debit,Credit\n1000,\"1,234.50\",\n2000,,(5.5)\n"));
  const unsigned id = Open();
  Act(id, {{"action", "suggest"}});
  Json p = Act(id, {{"action", "preview"}})["preview"];
  EXPECT_EQ(p["outcome"], "document");
  // The credit "(5.5)" is a negative credit: the balance is 0 less -5.5.
  EXPECT_EQ(p["text"],
            "<PRELIMBAL OBJID=\"\"><COAS Line=\"1\"><Account_Number>1000</Account_Number><Account_Balance>1234.50"
            "</Account_Balance></COAS><COAS Line=\"2\"><Account_Number>2000</Account_Number><Account_Balance>5.5"
            "</Account_Balance></COAS><TMPLT><Account_Number/><Account_Balance/></TMPLT></PRELIMBAL>");
  Cancel(id, reply);
}

}  // namespace
}  // namespace zephrin::test
