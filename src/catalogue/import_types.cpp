// Host import type codes, built-in template names, record element names and
// begin-row counts.
#include "catalogue/catalogue.h"

namespace zephrin {

const HostTypeInfo kHostTypes[] = {
    {"FBJ", "Chart of Book Adjustments",
     "JE", EditorKind::JournalEntry, CheckGroup::ChartOnly, 'A'},
    {"FRJ", "Chart of Reclass Adjustments",
     "JE", EditorKind::JournalEntry, CheckGroup::ChartOnly, 'R'},
    {"FTJ", "Chart of Tax Adjustments", "JE", EditorKind::JournalEntry, CheckGroup::ChartOnly, 'M'},
    {"FCOA", "Federal Chart of Accounts", "COA", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"TCC", "Chart of TCCs", "TCC", EditorKind::TaxCategory, CheckGroup::ChartOnly, ' '},
    {"PRELIMBAL", "Preliminary Balances",
     "COA", EditorKind::Standard, CheckGroup::BalanceOnly, ' '},
    {"JEBAL", "Adjustment Balances", "JE", EditorKind::JournalEntry, CheckGroup::BalanceOnly, ' '},
    {"ICA", "International Chart of Accounts",
     "ICOA", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    // The check group of INTL depends on the kind (EditorCheckGroup).
    {"INTL", "International", "INTL", EditorKind::International, CheckGroup::BalanceOnly, ' '},
    {"IXREF", "International Accounts Cross Reference",
     "IXREF", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"FCAXREF", "Federal Accounts Cross Reference",
     "FCAXREF", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"TAJXREF", "Tax Adjustments Cross Reference",
     "TAJXREF", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"ENTITY", "Entity", "ENTITY", EditorKind::Standard, CheckGroup::Neither, ' '},
    {"TAXRATE", "Tax Rates", "TAXRATE", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"M3MAP", "Schedule M-3 Mapping", "M3MAP", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"NAICLINEMAP", "NAIC Line Mapping",
     "NAICLINEMAP", EditorKind::Standard, CheckGroup::ChartOnly, ' '},
    {"M3BAL", "Schedule M-3 Balances", "M3BAL", EditorKind::Standard, CheckGroup::BalanceOnly, ' '},
    {"M2BAL", "Schedule M-2 Balances", "M2BAL", EditorKind::Standard, CheckGroup::BalanceOnly, ' '},
    {"TAXEXP", "Tax Expenses", "TAXEXP", EditorKind::Standard, CheckGroup::BalanceOnly, ' '},
    {"TAXPAY", "Tax Payments", "TAXPAY", EditorKind::Standard, CheckGroup::BalanceOnly, ' '},
    {"EXRATE", "Exchange Rates", "EXRATE", EditorKind::Standard, CheckGroup::Neither, ' '},
    {"PK1MAP", "Partnership K1 Mapping", "PK1MAP", EditorKind::Standard, CheckGroup::Neither, ' '},
    {"INSURWP", "Insurance Workpaper", "INSURWP", EditorKind::Standard, CheckGroup::Neither, ' '},
    {"INSURPYDAC", "Insurance", "INSURPYDAC", EditorKind::Standard, CheckGroup::Neither, ' '},
    {"CONSOLMEMBERS", "Consolidation Members",
     "CONSOLMEMBERS", EditorKind::Consolidation, CheckGroup::Neither, ' '},
    {"", "", "", EditorKind::Standard, CheckGroup::Neither, ' '},
};

const HostTypeInfo* FindHostType(std::string_view hostCode) {
  for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t)
    if (hostCode == t->code) return t;
  return nullptr;
}

const char* HostTypeCaption(std::string_view hostCode) {
  const HostTypeInfo* t = FindHostType(hostCode);
  return t != nullptr ? t->caption : "";
}

CheckGroup EditorCheckGroup(std::string_view hostCode, int intlKind) {
  if (hostCode == "INTL") {
    const bool chart = (intlKind >= 0 && intlKind <= 7) || intlKind == 65 || intlKind == 76;
    return chart ? CheckGroup::ChartOnly : CheckGroup::BalanceOnly;
  }
  const HostTypeInfo* t = FindHostType(hostCode);
  return t != nullptr ? t->checkGroup : CheckGroup::Neither;
}

namespace {

struct BeginRowCount {
  const char* code;
  int count;
};
const BeginRowCount kBeginRowCounts[] = {
    {"TCC", 3},      {"CAT", 4},       {"TICAT", 4},       {"CURFEDTI", 4},   {"AMT", 4},
    {"JE", 25},      {"ENTITY", 38},   {"M3CODE", 7},      {"CTDGRP", 3},     {"CTDMAP", 4},
    {"PAAMAP", 4},   {"PK1MAP", 3},    {"TIMAP", 6},       {"TAXEXP", 20},    {"TAXPAY", 15},
    {"EXRATE", 4},   {"M3BAL", 16},    {"M2BAL", 3},       {"INSURWP", 20},   {"INSURPYDAC", 16},
    {"CONSOLMEMBERS", 3},
    {"", 0},
};
constexpr int kDefaultBeginRowCount = 10;

// International kinds by index; every index not listed counts 4 items.
struct IntlBeginRowCount {
  int kind;
  int count;
};
const IntlBeginRowCount kIntlBeginRowCounts[] = {
    {0, 3},  {6, 3},
    {5, 5},  {8, 5},  {23, 5}, {29, 5}, {39, 5}, {41, 5}, {42, 5},
    {14, 7}, {15, 7}, {19, 7}, {20, 7}, {21, 7}, {24, 7}, {28, 7}, {30, 7}, {43, 7},
    {18, 8}, {36, 8},
    {25, 17},
    {26, 9},
    {27, 6}, {44, 6}, {45, 6}, {46, 6},
    {35, 10}, {37, 10}, {38, 10},
    {-1, 0},
};
constexpr int kDefaultIntlBeginRowCount = 4;

}  // namespace

int BeginRowItemCount(std::string_view hostCode) {
  for (const BeginRowCount* r = kBeginRowCounts; r->code[0] != '\0'; ++r)
    if (hostCode == r->code) return r->count;
  return kDefaultBeginRowCount;
}

int IntlBeginRowItemCount(int intlType) {
  for (const IntlBeginRowCount* r = kIntlBeginRowCounts; r->kind >= 0; ++r)
    if (intlType == r->kind) return r->count;
  return kDefaultIntlBeginRowCount;
}

// ---------------------------------------------------------------------------

const BuiltInTemplate kBuiltInTemplates[] = {
    {"CATEGORY", "CAT", "", "", false, false},
    {"TICATEGORY", "TICAT", "", "", false, false},
    {"CURFEDTI", "CURFEDTI", "", "", false, false},
    {"AMT", "AMT", "", "", false, false},
    {"M3CODE", "M3CODE", "", "", false, false},
    {"TIMAP", "TIMAP", "", "", false, false},
    {"CTDGRP", "CTDGRP", "", "", true, false},
    {"CTDMAP", "CTDMAP", "", "", true, false},
    {"PAAMAP", "PAAMAP", "", "", true, false},
    {"PK1MAP", "PK1MAP", "", "", true, false},
    {"AABAL", "AABAL", "AABALS", "BAL", false, false},
    {"TIBAL", "TIBAL", "TIBALS", "BAL", true, false},
    {"LOGIC", "LOGIC", "LOGIC_CHART", "LOGIC", false, true},
    {"APPORT", "APPORT", "APPORT", "BAL", true, false},
    {"LOSS", "LOSS", "LOSS", "BAL", true, false},
    {"CREDIT", "CREDIT", "CREDIT", "BAL", true, false},
    {"AMTACE", "AMTACE", "AMTACE", "BAL", true, false},
    {"CURSTI", "CURSTI", "CURSTI", "BAL", true, false},
    {"CTPRCN", "CTPRCN", "CTPRCN", "BAL", true, false},
    {"CATASSN", "CATASSN", "CATASSN", "CAT", true, false},
    {"", "", "", "", false, false},
};

const BuiltInTemplate* FindBuiltInTemplate(std::string_view templateName) {
  for (const BuiltInTemplate* t = kBuiltInTemplates; t->name[0] != '\0'; ++t)
    if (templateName == t->name) return t;
  return nullptr;
}

namespace {
const char* const kJurisdictionHostCodes[] = {
    "LOGIC", "AABAL", "TIBAL", "APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI", "CATASSN",
    "CTPRCN", ""};
}  // namespace

bool IsJurisdictionHostCode(std::string_view hostCode) {
  for (ItemList c = kJurisdictionHostCodes; (*c)[0] != '\0'; ++c)
    if (hostCode == *c) return true;
  return false;
}

std::vector<KnownTypeCode> KnownTypeCodes() {
  std::vector<KnownTypeCode> codes;
  for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t) {
    const std::string_view kind = t->itemSet;
    codes.push_back({t->code, t->caption,
                     kind == "INTL" ? std::string("INTL (one of the international kinds, --intl-type)")
                                    : std::string(kind)});
  }
  // The jurisdiction codes read through the built-in template of their name;
  // LOGIC and CATASSN read charts, the others balances.
  for (ItemList c = kJurisdictionHostCodes; (*c)[0] != '\0'; ++c) {
    const std::string_view code = *c;
    const bool chart = code == "LOGIC" || code == "CATASSN";
    codes.push_back({*c, chart ? "Jurisdiction chart" : "Jurisdiction balances", "built-in " + std::string(code)});
  }
  // The built-in lists that are not jurisdiction reads go by their template
  // code (PK1MAP is a host code already).
  for (const BuiltInTemplate* b = kBuiltInTemplates; b->name[0] != '\0'; ++b) {
    if (b->rootElement[0] != '\0' || FindHostType(b->layoutType) != nullptr) continue;
    codes.push_back({b->layoutType, "Built-in list " + std::string(b->name), "built-in " + std::string(b->name)});
  }
  return codes;
}

std::vector<std::string> TypesTakingKind(std::string_view kind) {
  std::vector<std::string> codes;
  for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t)
    if (kind == t->itemSet) codes.emplace_back(t->code);
  return codes;
}

// ---------------------------------------------------------------------------

namespace {

// One row of the record element table. A row matches when the first letter of
// the template code is one of `letters` and, unless `code` is empty ("any"),
// the whole code equals `code`. Rows are tried in order.
struct RecordElementRow {
  const char* letters;
  const char* code;
  const char* recordElement;
  bool recordLines;
  bool je;
  const char* itemSet;  // item set code that supplies the import items
};

const RecordElementRow kRecordElementRows[] = {
    {"A", "", "BAL", true, false, "AMT"},
    {"CFI", "COA", "COAS", true, false, "COA"},
    {"CFI", "ICOA", "COAS", true, false, "ICOA"},
    {"CFI", "CAT", "CATS", true, false, "CAT"},
    {"CFI", "IXREF", "COAS", false, false, "IXREF"},
    {"CFI", "FCAXREF", "COAS", false, false, "FCAXREF"},
    {"CFI", "CURFEDTI", "BAL", true, false, "CURFEDTI"},
    {"CFI", "CTDGRP", "CTDGROUPING", true, false, "CTDGRP"},
    {"CFI", "CTDMAP", "CTDMAPPING", true, false, "CTDMAP"},
    {"CFI", "CONSOLMEMBERS", "Member", true, false, "CONSOLMEMBERS"},
    {"CFI", "INSURWP", "INSURANCE", true, false, "INSURWP"},
    {"CFI", "INSURPYDAC", "InsurancePriorYrDAC", true, false, "INSURPYDAC"},
    {"E", "EXRATE", "EXCHANGERATES", true, false, "EXRATE"},
    {"E", "", "ENTS", true, false, "ENTITY"},
    {"J", "", "JES", false, true, "JE"},
    {"M", "M3CODE", "CODE", true, false, "M3CODE"},
    {"M", "M3MAP", "MAP", true, false, "M3MAP"},
    {"M", "M3BAL", "BAL", true, false, "M3BAL"},
    {"M", "M2BAL", "BAL", true, false, "M2BAL"},
    {"N", "NAICLINEMAP", "MAP", true, false, "NAICLINEMAP"},
    {"P", "PAAMAP", "PAAMAPPING", true, false, "PAAMAP"},
    {"P", "PK1MAP", "PK1MAPPING", true, false, "PK1MAP"},
    {"T", "TICAT", "CATS", true, false, "TICAT"},
    {"T", "TAJXREF", "COAS", false, false, "TAJXREF"},
    {"T", "TAXRATE", "RATE", true, false, "TAXRATE"},
    {"T", "TIMAP", "MAPS", true, false, "TIMAP"},
    {"T", "TAXEXP", "EXP", true, false, "TAXEXP"},
    {"T", "TAXPAY", "PAY", true, false, "TAXPAY"},
    {"T", "", "TCCS", true, false, "TCC"},
    {"", "", "", false, false, ""},
};

}  // namespace

std::optional<RecordElementInfo> LookupRecordElement(std::string_view layoutType) {
  if (layoutType.empty()) return std::nullopt;
  const char first = layoutType.front();
  for (const RecordElementRow* r = kRecordElementRows; r->letters[0] != '\0'; ++r) {
    if (std::string_view(r->letters).find(first) == std::string_view::npos) continue;
    if (r->code[0] != '\0' && layoutType != r->code) continue;
    const ItemSet* set = FindItemSet(r->itemSet);
    RecordElementInfo info{r->recordElement, r->recordLines, r->je,
                           set != nullptr ? set->keys : nullptr, nullptr};
    if (r->je) info.jeHeaderItems = kJEOutputNames;
    return info;
  }
  return std::nullopt;
}

}  // namespace zephrin
