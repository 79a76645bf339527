#include "catalogue/read_traits.h"

#include <utility>

namespace zephrin {
namespace {

using G = ReadGroup;
using T = TemplateElement;
using C = ChartKind;
using V = ValueRule;

constexpr HostReadTraits kDefault = {"", nullptr, ' ', G::kChart, false, false, false, false, T::kTmplt,
                                     C::kNone, false, nullptr, {}};

// The rows that differ from the default (a chart read with no rules).
constexpr auto Row(const char* code) {
  HostReadTraits r = kDefault;
  r.code = code;
  return r;
}

struct Rows {
  HostReadTraits rows[40];
  int count = 0;
  constexpr void Add(const HostReadTraits& r) { rows[count++] = r; }
};

// The journal-entry codes (read as FADJ), the balance codes and the codes
// the jurisdiction reader reads.
void AddGroupRows(Rows& t) {
  for (const char* code : {"FBJ", "FRJ", "FTJ"}) {
    HostReadTraits r = Row(code);
    r.readAs = "FADJ";
    r.jeKind = code[1] == 'B' ? 'A' : code[1] == 'R' ? 'R' : 'M';
    t.Add(r);
  }
  for (const char* code : {"PRELIMBAL", "JEBAL"}) {
    HostReadTraits r = Row(code);
    r.group = G::kBalance;
    t.Add(r);
  }
  for (const char* code : {"LOGIC", "AABAL", "TIBAL", "APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI", "CATASSN",
                           "CTPRCN"}) {
    HostReadTraits r = Row(code);
    r.jurisdiction = true;
    const std::string_view c = code;
    if (c != "LOGIC" && c != "CATASSN") r.group = G::kBalance;
    t.Add(r);
  }
}

// The charts, and the codes whose records name their items with element
// names of their own.
void AddNamedRows(Rows& t) {
  HostReadTraits r = Row("FCOA");
  r.chart = C::kAccounts;
  t.Add(r);
  r = Row("TCC");
  r.chart = C::kTaxCategoryCodes;
  t.Add(r);
  r = Row("ENTITY");
  r.group = G::kNeither;
  r.templateElement = T::kTmpl;
  r.describesWithNames = true;
  r.elementNames = ReaderElementNames("ENTITY");
  t.Add(r);
  r = Row("TAXPAY");
  r.describesWithNames = true;
  r.elementNames = ReaderElementNames("TAXPAY");
  r.rules[0] = {"Postal_Code", V::kTaxPayPostal};
  t.Add(r);
  r = Row("TAXEXP");
  r.describesWithNames = true;
  r.elementNames = ReaderElementNames("TAXEXP");
  r.rules[0] = {"Postal_Code", V::kTaxExpPostal};
  t.Add(r);
  r = Row("EXRATE");
  r.describesWithNames = true;
  r.lineFromOne = true;
  r.elementNames = ReaderElementNames("EXRATE");
  t.Add(r);
  r = Row("PK1MAP");
  r.describesWithNames = true;
  r.lineFromOne = true;
  r.elementNames = ReaderElementNames("PK1MAP");
  r.rules[0] = {"Adj_Number", V::kPadAdj};
  t.Add(r);
  r = Row("INSURWP");  // its element names come with its items, at run time
  r.describesWithNames = true;
  t.Add(r);
  r = Row("INSURPYDAC");
  r.describesWithNames = true;
  r.elementNames = ReaderElementNames("INSURPYDAC");
  t.Add(r);
}

// The lists and maps with rules of their own: the source's id, line
// numbers from one, value rules.
void AddRuleRows(Rows& t) {
  HostReadTraits r = Row("CONSOLMEMBERS");
  r.sourceIdAttribute = true;
  r.templateElement = T::kNone;
  t.Add(r);
  for (const char* code : {"CTDGRP", "PAAMAP"}) {
    r = Row(code);
    r.lineFromOne = true;
    t.Add(r);
  }
  r = Row("CTDMAP");
  r.lineFromOne = true;
  r.rules[0] = {"Adj_Number", V::kPadAdj};
  t.Add(r);
  r = Row("TIMAP");
  r.timapExtraColumns = true;
  r.rules[0] = {"Jurisdiction", V::kJurIndexPadded};
  t.Add(r);
  r = Row("TAXRATE");
  r.rules[0] = {"Jurisdiction", V::kTaxRateJur};
  r.rules[1] = {"Jurisdiction_Name", V::kTaxRateName};
  t.Add(r);
}

}  // namespace

const HostReadTraits& FindHostReadTraits(std::string_view hostCode) {
  static const Rows kRows = [] {
    Rows t;
    AddGroupRows(t);
    AddNamedRows(t);
    AddRuleRows(t);
    return t;
  }();
  for (int i = 0; i < kRows.count; ++i)
    if (hostCode == kRows.rows[i].code) return kRows.rows[i];
  return kDefault;
}

namespace {

using R = RootId;
using L = NeededList;
using F = FixedLayout;

constexpr LayoutReadTraits kLayoutDefault = {"", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kNone};

const LayoutReadTraits kLayouts[] = {
    {"CONSOLMEMBERS", "Members", R::kNone, true, true, false, false, L::kNone, F::kNone},
    {"IXREF", nullptr, R::kSplitObjIdParent, false, true, false, false, L::kNone, F::kNone},
    {"FCAXREF", nullptr, R::kSplitObjIdParent, false, true, false, false, L::kNone, F::kNone},
    {"TAJXREF", nullptr, R::kSplitObjIdParent, false, true, false, false, L::kNone, F::kNone},
    {"INSURWP", nullptr, R::kSplitObjIdParent, true, false, true, true, L::kNone, F::kNone},
    {"INSURPYDAC", nullptr, R::kSplitObjIdParent, true, true, false, true, L::kNone, F::kNone},
    {"TAXEXP", nullptr, R::kObjId, true, true, false, true, L::kState, F::kNone},
    {"TAXPAY", nullptr, R::kObjId, true, true, false, true, L::kTi, F::kNone},
    {"M3MAP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kNone},
    {"NAICLINEMAP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kNone},
    {"PK1MAP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kNone},
    {"CTDGRP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kCtdgrp},
    {"CTDMAP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kCtdmap},
    {"PAAMAP", nullptr, R::kObjId, true, true, false, true, L::kNone, F::kCtdmap},
    {"TAXRATE", nullptr, R::kObjId, true, true, false, false, L::kProvince, F::kNone},
    {"TIMAP", nullptr, R::kObjId, true, true, false, false, L::kState, F::kTimap},
    {"CAT", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kCategory},
    {"TICAT", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kCategory},
    {"CURFEDTI", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kCurfedti},
    {"AMT", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kCurfedti},
    {"M3CODE", nullptr, R::kObjId, true, true, false, false, L::kNone, F::kM3code},
};

}  // namespace

const LayoutReadTraits& FindLayoutReadTraits(std::string_view layoutType) {
  for (const LayoutReadTraits& t : kLayouts)
    if (layoutType == t.code) return t;
  return kLayoutDefault;
}

}  // namespace zephrin

namespace zephrin {

ChartElement ChartElementOf(ChartKind chart, std::string_view item) {
  using E = ChartElement;
  struct Entry {
    ChartKind chart;
    std::string_view item;
    E element;
  };
  static constexpr Entry kEntries[] = {
      {ChartKind::kAccounts, "Account_Number", E::kAccountNumber}, {ChartKind::kAccounts, "TRC", E::kTrc},
      {ChartKind::kAccounts, "TCC", E::kTcc},          {ChartKind::kAccounts, "Account_Caption", E::kCaption},
      {ChartKind::kTaxCategoryCodes, "TRC", E::kTrc},  {ChartKind::kTaxCategoryCodes, "TCC", E::kTcc},
      {ChartKind::kTaxCategoryCodes, "TCC_Caption", E::kCaption},
  };
  for (const Entry& e : kEntries)
    if (e.chart == chart && e.item == item) return e.element;
  return E::kNone;
}

ItemRole ItemRoleOf(std::string_view item) {
  static constexpr std::pair<std::string_view, ItemRole> kRoles[] = {
      {"Company_Number", ItemRole::kCompanyNumber},   {"CompanyNumber", ItemRole::kCompanyNumber},
      {"JE_Type", ItemRole::kJEType},                 {"Account_Number", ItemRole::kAccountNumber},
      {"Account_Balance", ItemRole::kAccountBalance}, {"RTP_Adj_Override", ItemRole::kRtpAdjOverride},
      {"Transfer from Provision", ItemRole::kTransfer},
  };
  for (const auto& [name, role] : kRoles)
    if (name == item) return role;
  return ItemRole::kOther;
}

}  // namespace zephrin
