#include "catalogue/read_traits.h"

#include <utility>
#include <vector>

namespace zephrin {
namespace {

using G = ReadGroup;
using T = TemplateElement;
using C = ChartKind;
using V = ValueRule;

// A row of the table: what differs from a chart read with no rules.
struct HostRow {
  const char* code;
  const char* readAs = nullptr;
  char jeKind = ' ';
  G group = G::kChart;
  bool jurisdiction = false, lineFromOne = false, sourceIdAttribute = false, describesWithNames = false;
  T templateElement = T::kTmplt;
  C chart = C::kNone;
  bool timapExtraColumns = false;
  const char* elementNames = nullptr;  // the host code whose element-name table the row uses
  HostReadTraits::Rule rules[2] = {};
};

const HostRow kHostRows[] = {
    {.code = "FBJ", .readAs = "FADJ", .jeKind = 'A'},
    {.code = "FRJ", .readAs = "FADJ", .jeKind = 'R'},
    {.code = "FTJ", .readAs = "FADJ", .jeKind = 'M'},
    {.code = "PRELIMBAL", .group = G::kBalance},
    {.code = "JEBAL", .group = G::kBalance},
    {.code = "LOGIC", .jurisdiction = true},
    {.code = "AABAL", .group = G::kBalance, .jurisdiction = true},
    {.code = "TIBAL", .group = G::kBalance, .jurisdiction = true},
    {.code = "APPORT", .group = G::kBalance, .jurisdiction = true},
    {.code = "LOSS", .group = G::kBalance, .jurisdiction = true},
    {.code = "CREDIT", .group = G::kBalance, .jurisdiction = true},
    {.code = "AMTACE", .group = G::kBalance, .jurisdiction = true},
    {.code = "CURSTI", .group = G::kBalance, .jurisdiction = true},
    {.code = "CATASSN", .jurisdiction = true},
    {.code = "CTPRCN", .group = G::kBalance, .jurisdiction = true},
    {.code = "FCOA", .chart = C::kAccounts},
    {.code = "TCC", .chart = C::kTaxCategoryCodes},
    {.code = "ENTITY", .group = G::kNeither, .describesWithNames = true, .templateElement = T::kTmpl,
     .elementNames = "ENTITY"},
    {.code = "TAXPAY", .describesWithNames = true, .elementNames = "TAXPAY", .rules = {{"Postal_Code", V::kTaxPayPostal}}},
    {.code = "TAXEXP", .describesWithNames = true, .elementNames = "TAXEXP", .rules = {{"Postal_Code", V::kTaxExpPostal}}},
    {.code = "EXRATE", .lineFromOne = true, .describesWithNames = true, .elementNames = "EXRATE"},
    {.code = "PK1MAP", .lineFromOne = true, .describesWithNames = true, .elementNames = "PK1MAP",
     .rules = {{"Adj_Number", V::kPadAdj}}},
    {.code = "INSURWP", .describesWithNames = true},  // its element names come with its items, at run time
    {.code = "INSURPYDAC", .describesWithNames = true, .elementNames = "INSURPYDAC"},
    {.code = "CONSOLMEMBERS", .sourceIdAttribute = true, .templateElement = T::kNone},
    {.code = "CTDGRP", .lineFromOne = true},
    {.code = "PAAMAP", .lineFromOne = true},
    {.code = "CTDMAP", .lineFromOne = true, .rules = {{"Adj_Number", V::kPadAdj}}},
    {.code = "TIMAP", .timapExtraColumns = true, .rules = {{"Jurisdiction", V::kJurIndexPadded}}},
    {.code = "TAXRATE", .rules = {{"Jurisdiction", V::kTaxRateJur}, {"Jurisdiction_Name", V::kTaxRateName}}},
};

HostReadTraits TraitsOf(const HostRow& row) {
  return {row.code,       row.readAs,          row.jeKind,
          row.group,      row.jurisdiction,    row.lineFromOne,
          row.sourceIdAttribute, row.describesWithNames, row.templateElement,
          row.chart,      row.timapExtraColumns, row.elementNames ? ReaderElementNames(row.elementNames) : nullptr,
          {row.rules[0], row.rules[1]}};
}

}  // namespace

const HostReadTraits& FindHostReadTraits(std::string_view hostCode) {
  static const std::vector<HostReadTraits> kTraits = [] {
    std::vector<HostReadTraits> traits;
    for (const HostRow& row : kHostRows) traits.push_back(TraitsOf(row));
    return traits;
  }();
  static const HostReadTraits kDefault = TraitsOf(HostRow{""});
  for (const HostReadTraits& t : kTraits)
    if (hostCode == t.code) return t;
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

namespace zephrin {

const JurisdictionTraits& FindJurisdictionTraits(std::string_view hostCode) {
  using J = JurisdictionCode;
  // code, provinces, states, YEAR and TYPE (tabular, DIF, listed), provincial names, subcategory names, lookup
  static constexpr std::pair<std::string_view, JurisdictionTraits> kCodes[] = {
      {"LOGIC", {J::kLogic, false, true, {false, false, false}, false, false, true}},
      {"AABAL", {J::kAabal, false, true, {false, false, false}, false, false, true}},
      {"TIBAL", {J::kTibal, false, false, {true, true, true}, false, true, false}},
      {"APPORT", {J::kApport, true, false, {true, true, true}, false, false, true}},
      {"LOSS", {J::kLoss, true, false, {true, false, false}, true, false, false}},
      {"CREDIT", {J::kCredit, true, false, {true, false, false}, true, false, false}},
      {"AMTACE", {J::kAmtace, true, false, {true, false, false}, true, false, false}},
      {"CURSTI", {J::kCursti, true, false, {false, false, false}, true, false, true}},
      {"CATASSN", {J::kCatassn, true, false, {true, true, false}, false, true, true}},
      {"CTPRCN", {J::kCtprcn, true, false, {true, false, false}, true, false, false}},
  };
  static constexpr JurisdictionTraits kOther = {J::kNone, false, false, {false, false, false}, false, false, true};
  for (const auto& [code, traits] : kCodes)
    if (code == hostCode) return traits;
  return kOther;
}

}  // namespace zephrin
