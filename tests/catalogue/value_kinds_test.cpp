#include "catalogue/value_kinds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zephrin {
namespace {

// Every key list the catalogue holds: the item sets, the built-in lists and
// the international kinds.
std::vector<std::pair<std::string, ItemList>> AllKeyLists() {
  std::vector<std::pair<std::string, ItemList>> lists;
  for (const ItemSet* s = kItemSets; s->code[0] != '\0'; ++s)
    if (s->keys != nullptr) lists.emplace_back(s->code, s->keys);
  for (const char* code : {"CAT", "TICAT", "TIMAP", "CURFEDTI", "AMT", "M3CODE", "CTDGRP", "CTDMAP", "PAAMAP"})
    lists.emplace_back(code, FindItemSet(code)->keys);
  for (int k = 0; k < kIntlKindCount; ++k) lists.emplace_back("INTL " + std::to_string(k), FindIntlKind(k)->keys);
  return lists;
}

TEST(ValueKinds, EveryItemOfEveryListHasOne) {
  for (const auto& [name, keys] : AllKeyLists()) {
    SCOPED_TRACE(name);
    const char* letters = ValueKindLetters(keys);
    ASSERT_NE(letters, nullptr);
    EXPECT_EQ(std::strlen(letters), ItemCount(keys));
    for (std::size_t i = 0; i < ItemCount(keys); ++i) EXPECT_TRUE(FindValueKind(keys, i).has_value()) << keys[i];
  }
}

ItemList SetKeys(const char* code) { return FindItemSet(code)->keys; }
ItemList IntlKeys(int kind) { return FindIntlKind(kind)->keys; }

TEST(ValueKinds, ItemsHaveTheKindTheirNamesSay) {
  struct Case {
    ItemList keys;
    const char* key;
    ValueKind kind;
  };
  const Case cases[] = {
      {SetKeys("COA"), "Account_Number", ValueKind::kCode},
      {SetKeys("COA"), "Account_Caption", ValueKind::kText},
      {SetKeys("COA"), "Account_Balance", ValueKind::kAmount},
      {SetKeys("ICOA"), "Account_Balance", ValueKind::kAmount},
      {SetKeys("JE"), "JE_Number", ValueKind::kCode},
      {SetKeys("JE"), "Account_Balance", ValueKind::kAmount},
      {SetKeys("JE"), "RTP_Adj_Override", ValueKind::kAmount},
      {SetKeys("JE"), "Sch_M_Credit_TCC_Caption", ValueKind::kText},
      {SetKeys("ENTITY"), "Fiscal_Year_Ending_Date", ValueKind::kDate},
      {SetKeys("ENTITY"), "Income_Tax_Binder_Year", ValueKind::kYear},
      {SetKeys("ENTITY"), "City", ValueKind::kText},
      {SetKeys("TAXRATE"), "Deferred_EOY_Rate", ValueKind::kRate},
      {SetKeys("M3BAL"), "Percent_of_Voting_Stock", ValueKind::kRate},
      {SetKeys("M3BAL"), "Permanent_Difference", ValueKind::kAmount},
      {SetKeys("M2BAL"), "Date", ValueKind::kDate},
      {SetKeys("TAXEXP"), "State_Taxes -_Payments", ValueKind::kAmount},
      {SetKeys("TAXPAY"), "3rd_Quarter_Date", ValueKind::kDate},
      {SetKeys("TAXPAY"), "3rd_Quarter_Payment", ValueKind::kAmount},
      {SetKeys("EXRATE"), "US$/FC", ValueKind::kRate},
      {SetKeys("INSURPYDAC"), "Tenth prior year - 120 mon", ValueKind::kAmount},
      {SetKeys("CURFEDTI"), "RTP_amt", ValueKind::kAmount},
      {SetKeys("CTDGRP"), "Sort", ValueKind::kWholeNumber},
      {IntlKeys(1), "Wt Avg Rate", ValueKind::kRate},
      {IntlKeys(12), "Remittance Date", ValueKind::kDate},
      {IntlKeys(12), "Exchange Rate", ValueKind::kRate},
      {IntlKeys(21), "Interest Paid", ValueKind::kAmount},
      {IntlKeys(35), "Tax Year", ValueKind::kYear},
      {IntlKeys(67), "Number of Employees", ValueKind::kWholeNumber},
      {IntlKeys(67), "Description 10 (Valid for 2016 and later)", ValueKind::kText},
      {IntlKeys(67), "Country Code 10 (Valid for 2016 and later)", ValueKind::kCode},
      {IntlKeys(86), "Tangible Assets", ValueKind::kAmount},
      {IntlKeys(99), "Inclusion Percentage", ValueKind::kRate},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueKindOf(c.keys, c.key), c.kind) << c.key;
}

TEST(ValueKinds, ListsAndKeysTheCatalogueLacksAreText) {
  const char* const ownList[] = {"Account_Balance", ""};
  EXPECT_EQ(FindValueKind(ownList, 0), std::nullopt);
  EXPECT_EQ(ValueKindAt(ownList, 0), ValueKind::kText);
  EXPECT_EQ(FindValueKind(SetKeys("TCC"), 3), std::nullopt);
  EXPECT_EQ(ValueKindOf(SetKeys("COA"), "Account Balance"), ValueKind::kText);
  EXPECT_EQ(ValueKindAt(nullptr, 0), ValueKind::kText);
}

TEST(ValueKinds, NamesInWords) {
  const std::pair<ValueKind, const char*> names[] = {
      {ValueKind::kText, "text"}, {ValueKind::kCode, "code"}, {ValueKind::kAmount, "amount"},
      {ValueKind::kRate, "rate"}, {ValueKind::kDate, "date"}, {ValueKind::kYear, "year"},
      {ValueKind::kWholeNumber, "whole number"}};
  for (const auto& [kind, name] : names) EXPECT_EQ(ValueKindName(kind), name);
}

}  // namespace
}  // namespace zephrin
