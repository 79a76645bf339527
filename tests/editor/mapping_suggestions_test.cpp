#include "editor/mapping_suggestions.h"

#include <gtest/gtest.h>

namespace zephrin {
namespace {

TEST(MappingSuggestionsTest, KeysIgnoreCaseBlanksAndPunctuationAndKnowAbbreviations) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Account Number", "accountnumber"}, {"Account_Number", "accountnumber"}, {"ACCT. NO", "accountnumber"},
      {"acct#", "account"},                {"Desc", "caption"},                {"Amt", "balance"},
      {"Amount", "balance"},               {"  T.R.C.  ", "trc"},               {"", ""},
      {"--", ""},                          {"AcctNo", "acctno"},               {"Co Num", "companynumber"}};
  for (const auto& [name, key] : cases) EXPECT_EQ(MappingKey(name), key) << name;
}

TEST(MappingSuggestionsTest, EachMatchingItemGetsOneColumn) {
  const std::vector<MappingCandidate> items = {{"Account Number", "Account_Number"},
                                               {"Account Caption", "Account_Caption"},
                                               {"Account Balance", "Account_Balance"},
                                               {"TRC", "TRC"},
                                               {"Activity Number", "Activity_Number"}};
  struct Case {
    std::vector<std::string> headers;
    std::vector<bool> taken;
    std::vector<std::pair<std::size_t, std::size_t>> expected;  // item, column
  };
  const Case cases[] = {
      // Whole names first; "Amount" after "Balance" finds the balance taken.
      {{"Acct No", "", "Description", "Balance", "Amount", "trc", "Other"}, {}, {{0, 0}, {1, 2}, {2, 3}, {3, 5}}},
      {{"Account_Number", "ACCOUNT CAPTION"}, {}, {{0, 0}, {1, 1}}},
      // "Account" names the account's number; "Activity" the activity's.
      {{"Activity", "Account", "Desc", "Amt"}, {}, {{0, 1}, {1, 2}, {2, 3}, {4, 0}}},
      // "Number" names two items: neither is taken.
      {{"Number", "Caption"}, {}, {{1, 1}}},
      // A column already holding an item is not offered.
      {{"Acct No", "Desc"}, {true, false}, {{1, 1}}},
      {{"Code", "Total"}, {}, {}},
  };
  for (const Case& c : cases) {
    const auto got = SuggestMappings(c.headers, items, c.taken);
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (const auto& m : got) pairs.emplace_back(m.item, m.column);
    EXPECT_EQ(pairs, c.expected) << c.headers[0];
  }
}

}  // namespace
}  // namespace zephrin
