#include "catalogue/catalogue.h"
#include "catalogue/jurisdiction_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "test_util.h"

namespace zephrin {
namespace {

bool IsXmlName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  return true;
}

// ---------------------------------------------------------------------------
// Item list helpers and captions.

TEST(CatalogueItemList, Captions) {
  EXPECT_EQ(ItemCaption("Account_Number"), "Account Number");
  EXPECT_EQ(ItemCaption("5471 Sch_H_Credit_TRC"), "5471 Sch H Credit TRC");
  EXPECT_EQ(ItemCaption("Transfer from Provision"), "Transfer from Provision");
  EXPECT_EQ(ItemCaption("Sch_M-3_Code"), "Sch M-3 Code");
  EXPECT_EQ(ItemCaption(""), "");
}

// ---------------------------------------------------------------------------
// Host codes.

TEST(CatalogueHostTypes, UnknownCodes) {
  for (const char* code : {"XYZ", "fcoa", "", "FCOA ", "LOGIC"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(FindHostType(code), nullptr);
    EXPECT_STREQ(HostTypeCaption(code), "");
    EXPECT_EQ(EditorCheckGroup(code, 0), CheckGroup::Neither);
  }
}

TEST(CatalogueHostTypes, IntlCheckGroupByKind) {
  for (int kind : {0, 1, 5, 7, 65, 76})
    EXPECT_EQ(EditorCheckGroup("INTL", kind), CheckGroup::ChartOnly) << kind;
  for (int kind : {8, 42, 48, 64, 66, 75, 77, 99})
    EXPECT_EQ(EditorCheckGroup("INTL", kind), CheckGroup::BalanceOnly) << kind;
}

TEST(CatalogueHostTypes, JurisdictionFamily) {
  for (const char* code : {"LOGIC", "AABAL", "TIBAL", "APPORT", "LOSS", "CREDIT", "AMTACE",
                           "CURSTI", "CATASSN", "CTPRCN"})
    EXPECT_TRUE(IsJurisdictionHostCode(code)) << code;
  for (const char* code : {"FCOA", "CAT", "logic", "", "TAXRATE"})
    EXPECT_FALSE(IsJurisdictionHostCode(code)) << code;
}

// ---------------------------------------------------------------------------
// Record element names.

struct RecordCase {
  const char* layoutType;
  const char* element;
  bool lines;
  bool je;
  const char* itemSet;  // whose key list the row selects; "" for none
};

TEST(CatalogueRecordElement, FirstLetterAndWholeCodeRules) {
  // A row found by the code's first letter, then refined by the whole code.
  const RecordCase cases[] = {
      {"AXYZ", "BAL", true, false, "AMT"},           {"COA", "COAS", true, false, "COA"},
      {"IXREF", "COAS", false, false, "IXREF"},      {"EANYTHING", "ENTS", true, false, "ENTITY"},
      {"JXYZ", "JES", false, true, "JE"},            {"TIBAL", "TCCS", true, false, "TCC"},
      {"CONSOLMEMBERS", "Member", true, false, "CONSOLMEMBERS"},
  };  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.layoutType);
    const auto info = LookupRecordElement(c.layoutType);
    ASSERT_TRUE(info.has_value());
    EXPECT_STREQ(info->recordElement, c.element);
    EXPECT_EQ(info->recordLines, c.lines);
    EXPECT_EQ(info->je, c.je);
    const ItemSet* set = FindItemSet(c.itemSet);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(info->items, set->keys);
    EXPECT_EQ(info->jeHeaderItems, c.je ? static_cast<ItemList>(kJEOutputNames) : nullptr);
  }
}

TEST(CatalogueRecordElement, InsuranceWorkpaperItemsComeAtRunTime) {
  const auto info = LookupRecordElement("INSURWP");
  ASSERT_TRUE(info.has_value());
  EXPECT_STREQ(info->recordElement, "INSURANCE");
  EXPECT_TRUE(info->recordLines);
  EXPECT_EQ(info->items, nullptr);
}

TEST(CatalogueRecordElement, CodesWithoutRow) {
  // First letter known but whole code not listed, letters without rows,
  // lower case, empty.
  for (const char* code : {"CXYZ", "FCOA", "INTL", "IC", "MXYZ", "NAIC", "PXYZ", "coa", "jE",
                           "XYZ", "BAL", "", "0"})
    EXPECT_FALSE(LookupRecordElement(code).has_value()) << code;
}

// ---------------------------------------------------------------------------
// Item sets.

TEST(CatalogueItemSets, EverySetIsConsistent) {
  for (const ItemSet* s = kItemSets; s->code[0] != '\0'; ++s) {
    SCOPED_TRACE(s->code);
    EXPECT_EQ(FindItemSet(s->code), s);
    EXPECT_EQ(FindEditorItemSet(s->code), s);
    if (s->keys == nullptr) {
      EXPECT_STREQ(s->code, "INSURWP");  // the only list defined at run time
      continue;
    }
    const std::size_t n = ItemCount(s->keys);
    EXPECT_GT(n, 0u);
    EXPECT_LE(n, 34u);
    std::set<std::string> unique;
    for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(unique.insert(s->keys[i]).second) << s->keys[i];
    ItemList elements = s->elements != nullptr ? s->elements : s->keys;
    EXPECT_EQ(ItemCount(elements), n);
    for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(IsXmlName(elements[i])) << elements[i];
  }
}

TEST(CatalogueItemSets, IrregularKeysKeepTheirStoredSpelling) {
  // Saved templates use these keys as written; a "tidier" spelling would
  // lose the placements of every template that has them.
  EXPECT_STREQ(kJEItems[14], "5471 Sch_H_Credit_TRC");
  EXPECT_STREQ(kJEItems[23], "Transfer from Provision");
  EXPECT_STREQ(ItemAt(FindItemSet("TAXEXP")->keys, 2), "State_Taxes -_Payments");
  EXPECT_STREQ(ItemAt(FindItemSet("EXRATE")->keys, 4), "US$/RFC (2015 and later)");
}
// ---------------------------------------------------------------------------
// International kinds.

TEST(CatalogueIntlKinds, KeysAreUniqueAndElementsAreXmlNames) {
  for (int k = 0; k < kIntlKindCount; ++k) {
    SCOPED_TRACE(k);
    const IntlKind* kind = FindIntlKind(k);
    ASSERT_NE(kind, nullptr);
    const std::size_t n = ItemCount(kind->keys);
    EXPECT_EQ(ItemCount(kind->elements), n);
    EXPECT_LE(n, 34u);  // a template's fields hold 34 placements
    // The first data row is searched among the first N items.
    if (k != 50) {
      EXPECT_GE(n, static_cast<std::size_t>(IntlBeginRowItemCount(k)));
    }
    std::set<std::string> keys;
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(keys.insert(kind->keys[i]).second) << kind->keys[i];
      EXPECT_TRUE(IsXmlName(kind->elements[i])) << kind->elements[i];
    }
  }
  EXPECT_EQ(FindIntlKind(-1), nullptr);
  EXPECT_EQ(FindIntlKind(100), nullptr);
}

TEST(CatalogueIntlKinds, StoredNames) {
  EXPECT_EQ(FindIntlKindByStoredName("INTERCOMPANY PAYMENTS - RRI"), 42);
  EXPECT_EQ(FindIntlKindByStoredName("DASTM CHART OF ACCOUNTS"), 0);
  EXPECT_EQ(FindIntlKindByStoredName("960(C) REDUCTION OF DEEMED PAID TAXES (OVERRIDE)"), 68);
  // Repeated display names resolve to their first kind.
  EXPECT_EQ(FindIntlKindByStoredName("FOREIGN TAXES PAID OR ACCRUED"), 25);
  EXPECT_EQ(FindIntlKindByStoredName("SOURCE CODE"), 2);
  EXPECT_EQ(FindIntlKindByStoredName("Exchange Rate"), -1);
  EXPECT_EQ(FindIntlKindByStoredName("EXCHANGE RATE "), -1);
  EXPECT_EQ(FindIntlKindByStoredName(""), -1);
}

// ---------------------------------------------------------------------------
// Required-item check.

constexpr const char* kThese = ". \nPlease modify template to show location of these items.";
constexpr const char* kThis = ". \nPlease modify template to show location of this item.";

// Fields with the named keys of `keys` placed.
FieldInfoArray Placed(ItemList keys, std::initializer_list<std::string_view> names) {
  FieldInfoArray fields{};
  for (std::size_t i = 0; i < ItemCount(keys); ++i)
    for (std::string_view name : names)
      if (name == keys[i]) fields[i] = FieldInfo{static_cast<uint16_t>(i), 2, 0};
  return fields;
}

FieldInfoArray AllPlaced(ItemList keys) {
  FieldInfoArray fields{};
  for (std::size_t i = 0; i < ItemCount(keys); ++i) fields[i] = FieldInfo{0, 1, 0};
  return fields;
}

struct RequiredCase {
  const char* name;
  const char* host;
  bool batch;
  std::initializer_list<std::string_view> placed;
  std::optional<std::string> expected;
};

std::optional<std::string> RunCheck(const char* host, bool batch,
                                    std::initializer_list<std::string_view> placed) {
  const HostTypeInfo* t = FindHostType(host);
  const char* setCode = t != nullptr ? t->itemSet : "COA";
  ItemList keys = FindItemSet(setCode)->keys;
  const FieldInfoArray fields = Placed(keys, placed);
  RequiredCheckInput in{host, setCode, EditorCheckGroup(host, 0), batch, 0, keys, &fields};
  return FailureOf(CheckRequiredItems(in));
}

TEST(CatalogueRequired, StandardRules) {
  using S = std::string;
  const RequiredCase cases[] = {
      {"batch without company", "FCOA", true, {"Account_Number", "Account_Caption", "TRC", "TCC"},
       S("Batch Import requires a Company Number.  Please modify template to show location of this field.")},
      {"batch rule comes first", "PRELIMBAL", true, {},
       S("Batch Import requires a Company Number.  Please modify template to show location of this field.")},
      {"batch with everything", "FCOA", true,
       {"Company_Number", "Account_Number", "Account_Caption", "TRC", "TCC"}, std::nullopt},
      {"chart only account number", "FCOA", false, {"Account_Number"},
       S("Chart of Accounts import requires a TRC, a TCC and an Account Caption") + kThese},
      {"chart nothing", "FCOA", false, {},
       S("Chart of Accounts import requires an Account Number, a TRC, a TCC and an Account Caption") + kThese},
      {"chart one missing", "FCOA", false, {"Account_Number", "TRC", "TCC"},
       S("Chart of Accounts import requires an Account Caption") + kThis},
      {"chart complete", "FCOA", false, {"Account_Number", "Account_Caption", "TRC", "TCC"}, std::nullopt},
      {"tax rate", "TAXRATE", false, {"Jurisdiction_Name"}, S("Tax Rate Chart import requires a Jurisdiction") + kThis},
      {"tax rate complete", "TAXRATE", false, {"Jurisdiction"}, std::nullopt},
      {"tcc", "TCC", false, {}, S("Chart of TCC import requires a TRC, a TCC and a TCC Caption") + kThese},
      {"international chart", "ICA", false, {"TRC", "TCC"},
       S("Chart of Accounts import requires an Account Number, an Account Type and an Account Caption") + kThese},
      {"journal chart", "FBJ", false, {},
       S("Chart of Adjustment import requires an Account Number, a JE Caption, a JE Type and a JE Number") + kThese},
      {"journal chart only number", "FTJ", false, {"Account_Number", "JE_Caption", "JE_Type"},
       S("Chart of Adjustment import requires a JE Number") + kThis},
      {"international xref", "IXREF", false, {"Federal_Account_Caption"},
       S("Chart of Accounts import requires a Federal Account Number and an International Account Number") + kThese},
      {"federal xref", "FCAXREF", false, {},
       S("Fed COA Xref requires a Prior Year Account Number and a Current Year Account Number") + kThese},
      {"adjustment xref", "TAJXREF", false, {"Prior_Year_Tax_Adjustment_Number"},
       S("TAX Adjustment Xref requires a Current Year Adjustment Number") + kThis},
      {"m3 map", "M3MAP", false, {},
       S("Chart of Accounts import requires an Account Number and a Schedule M-3 Code") + kThese},
      {"naic map", "NAICLINEMAP", false, {},
       S("NAIC Reconciliation Chart import requires a NAIC Map Code and an Account Number") + kThese},
      {"naic map code only", "NAICLINEMAP", false, {"Account_Number"},
       S("NAIC Reconciliation Chart import requires a NAIC Map Code") + kThis},
      {"preliminary balances", "PRELIMBAL", false, {"Account_Caption"},
       S("Balance import requires an Account Number and a Balance Amount") + kThese},
      {"preliminary balances complete", "PRELIMBAL", false, {"Account_Number", "Account_Balance"}, std::nullopt},
      {"journal balances", "JEBAL", false, {"Account_Balance"},
       S("Balance import requires an Account Number, a JE Type and a JE Number") + kThese},
      {"m3 balances", "M3BAL", false, {"Company_Name"},
       S("Account Detail import requires a Schedule M-3 Code") + kThis},
      {"m3 balances nothing", "M3BAL", false, {},
       S("Account Detail import requires a Schedule M-3 Code and a Company Name") + kThese},
      {"m2 balances nothing", "M2BAL", false, {}, std::nullopt},
      {"tax payments nothing", "TAXPAY", false, {}, std::nullopt},
      {"tax expenses nothing", "TAXEXP", false, {}, std::nullopt},
      {"entity nothing", "ENTITY", false, {},
       S("Entity import requires the Company Name, the Entity Type and the Return Type") + kThese},
      {"entity return type", "ENTITY", false, {"Company_Name", "Entity_Type"},
       S("Entity import requires the Return Type") + kThis},
      {"entity complete", "ENTITY", false, {"Company_Name", "Entity_Type", "Return_Type"}, std::nullopt},
      {"neither group", "EXRATE", false, {}, std::nullopt},
      {"unknown host", "NOSUCH", false, {}, std::nullopt},
  };
  for (const RequiredCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunCheck(c.host, c.batch, c.placed), c.expected);
  }
}

TEST(CatalogueRequired, NoFieldsMeansNothingPlaced) {
  RequiredCheckInput in{"FCOA", "COA", CheckGroup::ChartOnly, false, 0,
                        FindItemSet("COA")->keys, nullptr};
  EXPECT_EQ(FailureOf(CheckRequiredItems(in)),
            std::string("Chart of Accounts import requires an Account Number, a TRC, a TCC and "
                        "an Account Caption") + kThese);
  in.keys = nullptr;
  FieldInfoArray all = AllPlaced(FindItemSet("COA")->keys);
  in.fields = &all;  // placed records but no names to find them by
  EXPECT_FALSE(CheckRequiredItems(in));
}

TEST(CatalogueRequired, ItemSetDecidesTheChartSlots) {
  // A chart-only import whose template stores another item set is held to
  // that set's slots and message.
  ItemList keys = FindItemSet("TCC")->keys;
  const FieldInfoArray fields = Placed(keys, {"TRC", "TCC"});
  RequiredCheckInput in{"FCOA", "TCC", CheckGroup::ChartOnly, false, 0, keys, &fields};
  EXPECT_EQ(FailureOf(CheckRequiredItems(in)), std::string("Chart of TCC import requires a TCC Caption") + kThis);
}

struct IntlCase {
  int kind;
  std::vector<int> placed;  // positions
  std::optional<std::string> expected;
};

TEST(CatalogueRequired, InternationalRule) {
  using S = std::string;
  const IntlCase cases[] = {
      {44, {0, 1, 2}, S("Intercompany Receipts - Rent requires Amount") + kThis},
      {45, {}, S("Intercompany Receipts - Royalties requires Payor Entity and FPHCI Indicator and Amount") + kThese},
      {46, {1, 2, 3}, std::nullopt},
      {1, {1, 2, 3}, S("Exchange Rate requires Country Abbreviation") + kThis},
      {1, {0}, std::nullopt},
      {2, {}, S("Source Code requires Source Code and Description and FTC Type") + kThese},
      {2, {0, 2}, S("Source Code requires Description") + kThis},
      {41, {0, 2}, S("Intercompany Payments - Dividends requires Recipient Entity and Payor Amount") + kThese},
      {42, {}, S("Intercompany Payments - RRI requires Recipient Entity and at least one of the following "
         "columns: Interest Paid, Rent Paid, or Royalties Paid") + kThese},
      {42, {1}, S("Intercompany Payments - RRI requires at least one of the following columns: Interest "
         "Paid, Rent Paid, or Royalties Paid") + kThis},
      {42, {3}, S("Intercompany Payments - RRI requires Recipient Entity") + kThis},
      {42, {1, 4}, std::nullopt},
      {43, {1, 4}, S("Intercompany Receipts - Dividends requires Date Paid and FPHCI Indicator") + kThese},
      {47, {0}, S("Sourcing Workpaper - Trial Balance Overrides requires Account and Override Amount") + kThese},
      {0, {}, std::nullopt},
      {50, {}, std::nullopt},
      {67, {}, std::nullopt},
      {99, {}, std::nullopt},
  };
  for (const IntlCase& c : cases) {
    SCOPED_TRACE(c.kind);
    FieldInfoArray fields{};
    for (int p : c.placed) fields[static_cast<std::size_t>(p)] = FieldInfo{0, 3, 0};
    // Batch mode and the check group play no part in international templates.
    RequiredCheckInput in{"INTL", "INTL", EditorCheckGroup("INTL", c.kind), true, c.kind,
                          kIntlKinds[c.kind].keys, &fields};
    EXPECT_EQ(FailureOf(CheckRequiredItems(in)), c.expected);
  }
}

// ---------------------------------------------------------------------------
// Availability.

// Whether items 0 to count - 1 are available: "1" or "0" each.
std::string Availability(const AvailabilityInput& in, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += IsItemAvailable(in, i) ? '1' : '0';
  return out;
}

AvailabilityInput Standard(std::string_view set, CheckGroup group, bool batch = false,
                           std::string_view returnType = "") {
  AvailabilityInput in;
  in.itemSet = set;
  in.checkGroup = group;
  in.batchMode = batch;
  in.taxReturnType = returnType;
  return in;
}

TEST(CatalogueAvailability, ChartOfAccounts) {
  // Company, number, caption, balance, TRC, TCC, type, SIC, activity number, activity name.
  EXPECT_EQ(Availability(Standard("COA", CheckGroup::ChartOnly), 10), "0110110000");
  EXPECT_EQ(Availability(Standard("COA", CheckGroup::ChartOnly, true, "1120S"), 10), "1110110011");
  EXPECT_EQ(Availability(Standard("COA", CheckGroup::BalanceOnly), 10), "0101000000");
  AvailabilityInput ica = Standard("ICOA", CheckGroup::ChartOnly, false, "ALL");
  ica.ica = true;
  EXPECT_EQ(Availability(ica, 10), "0110001110");
  // Unknown and built-in sets follow the same rules.
  EXPECT_EQ(Availability(Standard("", CheckGroup::Neither, false, "1120"), 10), "0100000000");
}

TEST(CatalogueAvailability, BalanceSetsWithOwnExceptions) {
  // The company number needs batch mode.
  EXPECT_EQ(Availability(Standard("M3BAL", CheckGroup::BalanceOnly), 17), "0" + std::string(16, '1'));
  AvailabilityInput m3Ica = Standard("M3BAL", CheckGroup::ChartOnly, true);
  m3Ica.ica = true;
  EXPECT_EQ(Availability(m3Ica, 17), std::string(17, '1'));
  EXPECT_EQ(Availability(Standard("M2BAL", CheckGroup::BalanceOnly), 5), "01110");
  EXPECT_EQ(Availability(Standard("M2BAL", CheckGroup::BalanceOnly, false, "1065"), 5), "01111");
  EXPECT_EQ(Availability(Standard("M2BAL", CheckGroup::BalanceOnly, true), 5), "11111");
  EXPECT_EQ(Availability(Standard("EXRATE", CheckGroup::Neither), 5), "01111");
  EXPECT_EQ(Availability(Standard("PK1MAP", CheckGroup::Neither), 3), "111");
}

TEST(CatalogueAvailability, SetsWithOwnRules) {
  EXPECT_EQ(Availability(Standard("IXREF", CheckGroup::ChartOnly), 5), "01010");
  EXPECT_EQ(Availability(Standard("IXREF", CheckGroup::ChartOnly, true), 5), "11010");
  EXPECT_EQ(Availability(Standard("TAXRATE", CheckGroup::ChartOnly), 5), "11111");
  EXPECT_EQ(Availability(Standard("TAXPAY", CheckGroup::BalanceOnly), 6), "011111");
  EXPECT_EQ(Availability(Standard("M3MAP", CheckGroup::ChartOnly), 2), "11");
  EXPECT_EQ(Availability(Standard("INSURPYDAC", CheckGroup::Neither), 6), "010101");

  // The entity's binders: by the options, items 19 to 26 (21 always).
  AvailabilityInput entity = Standard("ENTITY", CheckGroup::Neither);
  EXPECT_EQ(Availability(entity, 27), std::string(19, '1') + "00100000");
  entity.options = {true, false, false, false};  // option 1
  std::string a = Availability(entity, 27);
  EXPECT_EQ(a.substr(19, 2) + a.substr(22), "0000111");
  entity.options = {false, true, false, false};  // option 2
  a = Availability(entity, 27);
  EXPECT_EQ(a.substr(19, 2) + a.substr(22, 3), "00110");
  entity.options = {false, false, true, false};  // option 3
  a = Availability(entity, 27);
  EXPECT_EQ(a.substr(19, 2) + a[22] + a[24], "1100");
}

TEST(CatalogueAvailability, JournalEntries) {
  AvailabilityInput in;
  in.editorKind = EditorKind::JournalEntry;
  in.itemSet = "JE";
  in.checkGroup = CheckGroup::ChartOnly;
  EXPECT_EQ(Availability(in, 25), "0" + std::string(17, '1') + "0101111");
  in.checkGroup = CheckGroup::BalanceOnly;
  in.batchMode = true;
  EXPECT_EQ(Availability(in, 25), "111" + std::string(14, '0') + "11000000");
  in.options[3] = true;
  EXPECT_TRUE(IsItemAvailable(in, 20));
  in.checkGroup = CheckGroup::ChartOnly;
  EXPECT_FALSE(IsItemAvailable(in, 20));
}

TEST(CatalogueAvailability, InternationalConsolidationAndTaxCategories) {
  AvailabilityInput in;
  in.editorKind = EditorKind::International;
  in.checkGroup = CheckGroup::BalanceOnly;
  in.intlKind = 42;
  EXPECT_FALSE(IsItemAvailable(in, 0));
  EXPECT_TRUE(IsItemAvailable(in, 1));
  in.intlKind = 48;
  EXPECT_TRUE(IsItemAvailable(in, 0));
  in.intlKind = 42;
  in.batchMode = true;
  EXPECT_TRUE(IsItemAvailable(in, 0));
  in.batchMode = false;
  in.checkGroup = CheckGroup::ChartOnly;
  EXPECT_TRUE(IsItemAvailable(in, 0));

  in.editorKind = EditorKind::Consolidation;
  in.checkGroup = CheckGroup::Neither;
  EXPECT_TRUE(IsItemAvailable(in, 0));

  in.editorKind = EditorKind::TaxCategory;
  in.checkGroup = CheckGroup::BalanceOnly;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsItemAvailable(in, i));
}

// A host's list is split at every comma: what leads a token up to a byte
// above the blank (blanks, control bytes, bytes of 0x80 and above) is
// skipped, and empty tokens keep their positions; numbers read as atoi reads
// them, kept to 32 bits.
TEST(CatalogueJurisdictionLists, TokensAndNumbers) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "0[]"},
      {"state", "0[state]"},
      {"state, AL,\t\xA0 AK ", "0[state]1[AL]2[AK ]"},
      {"ti,,x;1,", "0[ti]1[]2[x;1]3[]"},
  };
  for (const auto& [list, expected] : cases) {
    SCOPED_TRACE(list);
    std::string tokens;
    TokenizeList(list, [&](int pos, std::string_view token) {
      tokens += std::to_string(pos) + "[" + std::string(token) + "]";
    });
    EXPECT_EQ(tokens, expected);
  }
  JurisdictionTables tables;
  tables.LoadTIList("ti,ny; 3:-7,ca;+4x:99999999999,tx;5");
  EXPECT_EQ(tables.FindJurIndex("NY") + " " + tables.FindTIJurCode("ny"), "3 -7");
  EXPECT_EQ(tables.FindJurIndex("ca") + " " + tables.FindTIJurCode("CA"), "4 2147483647");
  EXPECT_EQ(tables.FindJurIndex("tx") + " " + tables.FindTIJurCode("tx"), "5 0");
}

}  // namespace
}  // namespace zephrin
