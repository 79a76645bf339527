// The required-item check the layout editor runs before it saves a template.
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

namespace zephrin {
namespace {

constexpr std::string_view kBatchMessage =
    "Batch Import requires a Company Number.  Please modify template to show location of this "
    "field.";
constexpr std::string_view kEndingLead = ". \nPlease modify template to show location of ";
constexpr std::string_view kOneItem = "this item.";
constexpr std::string_view kSeveralItems = "these items.";

// Requirement slots of the chart-only rule. An empty name means the slot is
// met in advance.
struct ChartSlots {
  const char* itemSet;
  const char* account;
  const char* second;
  const char* third;
  const char* caption;
};
const ChartSlots kChartSlots[] = {
    {"COA", "Account_Number", "TRC", "TCC", "Account_Caption"},
    {"ICOA", "Account_Number", "Account_Type", "", "Account_Caption"},
    {"TCC", "", "TRC", "TCC", "TCC_Caption"},
    {"JE", "Account_Number", "", "", "JE_Caption"},
    {"IXREF", "Federal_Account_Number", "", "Intl_Account_Number", ""},
    {"FCAXREF", "Prior_Year_Federal_Account_Number", "", "Current_Year_Federal_Account_Number", ""},
    {"TAJXREF", "Prior_Year_Tax_Adjustment_Number", "", "Current_Year_Tax_Adjustment_Number", ""},
    {"TAXRATE", "", "", "", "Jurisdiction"},
    {"M3MAP", "Account_Number", "Sch_M-3_Code", "", ""},
    {"NAICLINEMAP", "Account_Number", "", "", ""},
    {"", "", "", "", ""},
};

// Item sets the table does not name are held to the chart of accounts slots.
const ChartSlots& SlotsFor(std::string_view itemSet) {
  for (const ChartSlots* s = kChartSlots; s->itemSet[0] != '\0'; ++s)
    if (itemSet == s->itemSet) return *s;
  return kChartSlots[0];
}

struct TextByItemSet {
  const char* itemSet;
  const char* text;
};

// Openings of the chart-only message; the entry with an empty item set is the
// text for every other item set.
const TextByItemSet kChartOpenings[] = {
    {"TCC", "Chart of TCC import requires "},
    {"JE", "Chart of Adjustment import requires "},
    {"TAJXREF", "TAX Adjustment Xref requires "},
    {"FCAXREF", "Fed COA Xref requires "},
    {"TAXRATE", "Tax Rate Chart import requires "},
    {"NAICLINEMAP", "NAIC Reconciliation Chart import requires "},
    {"", "Chart of Accounts import requires "},
};
const TextByItemSet kAccountSlotNames[] = {
    {"FCAXREF", "a Prior Year Account Number"},
    {"TAJXREF", "a Prior Year Adjustment Number"},
    {"IXREF", "a Federal Account Number"},
    {"", "an Account Number"},
};
const TextByItemSet kSecondSlotNames[] = {
    {"ICOA", "an Account Type"},
    {"M3MAP", "a Schedule M-3 Code"},
    {"", "a TRC"},
};
const TextByItemSet kThirdSlotNames[] = {
    {"FCAXREF", "a Current Year Account Number"},
    {"TAJXREF", "a Current Year Adjustment Number"},
    {"IXREF", "an International Account Number"},
    {"", "a TCC"},
};
const TextByItemSet kCaptionSlotNames[] = {
    {"TCC", "a TCC Caption"},
    {"JE", "a JE Caption"},
    {"TAXRATE", "a Jurisdiction"},
    {"", "an Account Caption"},
};

const char* TextFor(const TextByItemSet* table, std::string_view itemSet) {
  for (; table->itemSet[0] != '\0'; ++table)
    if (itemSet == table->itemSet) return table->text;
  return table->text;
}

// Required items of the international kinds, by position in the kind's list.
// Kind 42 also needs at least one of its positions 2 to 4 (handled apart).
struct IntlRequirement {
  int kind;
  int positions[4];  // ended by -1
};
const IntlRequirement kIntlRequirements[] = {
    {1, {0, -1}},
    {2, {0, 1, 2, -1}},
    {41, {1, 2, 3, -1}},
    {42, {1, -1}},
    {43, {1, 2, 3, 4}},
    {44, {1, 2, 3, -1}},
    {45, {1, 2, 3, -1}},
    {46, {1, 2, 3, -1}},
    {47, {1, 2, -1}},
    {-1, {-1}},
};
constexpr int kRriPaymentKind = 42;
constexpr std::string_view kRriAtLeastOne =
    "at least one of the following columns: Interest Paid, Rent Paid, or Royalties Paid";

class Placement {
 public:
  explicit Placement(const RequiredCheckInput& in) : m_keys(in.keys), m_fields(in.fields) {}

  // True when an item of this key name is in the list and placed.
  bool Has(std::string_view key) const {
    if (m_fields == nullptr) return false;
    const std::size_t n = ItemCount(m_keys);
    for (std::size_t i = 0; i < n && i < kMaxFieldInfo; ++i)
      if (key == m_keys[i] && (*m_fields)[i].placed()) return true;
    return false;
  }
  bool HasPosition(int position) const {
    return m_fields != nullptr && position >= 0 &&
           static_cast<std::size_t>(position) < kMaxFieldInfo &&
           (*m_fields)[static_cast<std::size_t>(position)].placed();
  }

 private:
  ItemList m_keys;
  const FieldInfoArray* m_fields;
};

std::string Ending(std::size_t missing) {
  std::string text(kEndingLead);
  text += missing == 1 ? kOneItem : kSeveralItems;
  return text;
}

// A check that fails: the message tells what the template lacks.
Error Missing(std::string message) { return Error{ErrorCode::kInvalid, std::move(message)}; }

// "a", "a and b", "a, b and c".
std::string Listed(std::string_view opening, const std::vector<const char*>& items) {
  std::string text(opening);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  text += Ending(items.size());
  return text;
}

Done CheckIntl(const RequiredCheckInput& in) {
  const IntlKind* kind = FindIntlKind(in.intlKind);
  if (kind == nullptr) return {};
  const IntlRequirement* req = kIntlRequirements;
  while (req->kind >= 0 && req->kind != in.intlKind) ++req;
  if (req->kind < 0) return {};

  const Placement placed(in);
  std::string text;
  std::size_t missing = 0;
  auto add = [&](std::string_view what) {
    text += missing == 0 ? " requires " : " and ";
    text += what;
    ++missing;
  };
  for (int p : req->positions) {
    if (p < 0) break;
    if (!placed.HasPosition(p)) add(ItemAt(kind->keys, static_cast<std::size_t>(p)));
  }
  if (in.intlKind == kRriPaymentKind && !placed.HasPosition(2) && !placed.HasPosition(3) &&
      !placed.HasPosition(4))
    add(kRriAtLeastOne);
  if (missing == 0) return {};
  return Missing(kind->displayName + text + Ending(missing));
}

Done CheckBalanceOnly(const RequiredCheckInput& in, const Placement& placed) {
  std::vector<const char*> missing;
  const bool m3bal = in.hostCode == "M3BAL";
  const bool noAccount =
      m3bal || in.hostCode == "M2BAL" || in.hostCode == "TAXPAY" || in.hostCode == "TAXEXP";
  if (!noAccount) {
    if (!placed.Has("Account_Number")) missing.push_back("an Account Number");
    if (!placed.Has("Account_Balance")) missing.push_back("a Balance Amount");
  }
  if (m3bal) {
    if (!placed.Has("Sch_M-3_Code")) missing.push_back("a Schedule M-3 Code");
    if (!placed.Has("Company_Name")) missing.push_back("a Company Name");
  }
  if (in.itemSet == "JE") {
    if (!placed.Has("JE_Type")) missing.push_back("a JE Type");
    if (!placed.Has("JE_Number")) missing.push_back("a JE Number");
  }
  if (missing.empty()) return {};
  return Missing(Listed(m3bal ? "Account Detail import requires " : "Balance import requires ", missing));
}

Done CheckChartOnly(const RequiredCheckInput& in, const Placement& placed) {
  const ChartSlots& slots = SlotsFor(in.itemSet);
  auto unmet = [&](const char* key) { return key[0] != '\0' && !placed.Has(key); };
  std::vector<const char*> missing;
  if (in.itemSet == "NAICLINEMAP" && !placed.Has("NAIC_Map_Code"))
    missing.push_back("a NAIC Map Code");
  if (unmet(slots.account)) missing.push_back(TextFor(kAccountSlotNames, in.itemSet));
  if (unmet(slots.second)) missing.push_back(TextFor(kSecondSlotNames, in.itemSet));
  if (unmet(slots.third)) missing.push_back(TextFor(kThirdSlotNames, in.itemSet));
  if (unmet(slots.caption)) missing.push_back(TextFor(kCaptionSlotNames, in.itemSet));
  if (in.itemSet == "JE") {
    if (!placed.Has("JE_Type")) missing.push_back("a JE Type");
    if (!placed.Has("JE_Number")) missing.push_back("a JE Number");
  }
  if (missing.empty()) return {};
  return Missing(Listed(TextFor(kChartOpenings, in.itemSet), missing));
}

Done CheckEntity(const Placement& placed) {
  std::vector<const char*> missing;
  if (!placed.Has("Company_Name")) missing.push_back("the Company Name");
  if (!placed.Has("Entity_Type")) missing.push_back("the Entity Type");
  if (!placed.Has("Return_Type")) missing.push_back("the Return Type");
  if (missing.empty()) return {};
  return Missing(Listed("Entity import requires ", missing));
}

}  // namespace

Done CheckRequiredItems(const RequiredCheckInput& in) {
  if (in.hostCode == "INTL") return CheckIntl(in);

  const Placement placed(in);
  if (in.batchMode && !placed.Has("Company_Number")) return Missing(std::string(kBatchMessage));
  if (in.checkGroup == CheckGroup::BalanceOnly) {
    if (Done met = CheckBalanceOnly(in, placed); !met) return met;
  }
  if (in.checkGroup == CheckGroup::ChartOnly) {
    if (Done met = CheckChartOnly(in, placed); !met) return met;
  }
  if (in.itemSet == "ENTITY") return CheckEntity(placed);
  return {};
}

}  // namespace zephrin
