// What a read does differently by its codes, as data: one row per host code
// (the code the host passes) and one per template code (the code the
// template records), read once when a read is planned. Readers never compare
// codes; they follow the plan built from these rows.
#pragma once

#include <cstdint>
#include <string_view>

#include "catalogue/catalogue.h"

namespace zephrin {

// Which of the read flags (chart-only, balance-only) a host code sets.
enum class ReadGroup : uint8_t { kChart, kBalance, kNeither };
// The value rule of one item, applied after the engine's escaping.
enum class ValueRule : uint8_t {
  kNone,
  kJurIndexPadded,  // "000000" appended, then the jurisdiction index
  kTaxExpPostal,    // the same, and the record's later elements go into PayNodes
  kTaxPayPostal,    // the jurisdiction index; PayNodes
  kTaxPayPostalRetType,  // the same, and the TI code as RetType (comma-separated files)
  kPadAdj,          // padded on the left with "0" to 4 characters
  kTaxRateJur,      // the province number
  kTaxRateJurNamed, // the same, or the country list's ID for the held name, which is JurName (comma-separated files)
  kTaxRateName,     // held for later Jurisdiction items, never written (comma-separated files)
  kSignedAmount,    // an amount written as a signed plain decimal (the template asks for signed amounts)
};
// The chart records that get empty elements for what a line lacks.
enum class ChartKind : uint8_t { kNone, kAccounts, kTaxCategoryCodes };
// The chart record element an item gives (a record that lacks one gets it empty).
enum class ChartElement : uint8_t { kNone, kAccountNumber, kTrc, kTcc, kCaption };
ChartElement ChartElementOf(ChartKind chart, std::string_view itemName);

// What an item is to the rules that single items out: the journal entries'
// key and account items.
enum class ItemRole : uint8_t {
  kOther,
  kCompanyNumber,   // "Company_Number", "CompanyNumber": an entry's key in batch mode
  kJEType,          // "JE_Type": an entry's key
  kAccountNumber,   // starts an account of an entry
  kAccountBalance,
  kRtpAdjOverride,
  kTransfer,        // "Transfer from Provision"
};
ItemRole ItemRoleOf(std::string_view itemName);
// The four account fields of a journal entry go into its account list.
inline bool IsAccountField(ItemRole role) {
  return role == ItemRole::kAccountNumber || role == ItemRole::kAccountBalance || role == ItemRole::kRtpAdjOverride ||
         role == ItemRole::kTransfer;
}
// The element after the last record that describes the template.
enum class TemplateElement : uint8_t { kTmplt, kTmpl, kNone };

struct HostReadTraits {
  const char* code;
  const char* readAs;          // the code the read goes on with (FBJ, FRJ, FTJ: "FADJ"), nullptr: itself
  char jeKind;                 // ' ', or 'A', 'R', 'M'
  ReadGroup group;
  bool jurisdiction;           // read by the jurisdiction reader
  bool lineFromOne;            // the record's line attribute counts from 1
  bool sourceIdAttribute;      // the record attribute is "SourceId", not "Line"
  bool describesWithNames;     // template description: element names, item names as text
  TemplateElement templateElement;
  ChartKind chart;
  bool timapExtraColumns;      // CSV fields from the seventh on become Subcategory_Code
  ItemList elementNames;       // the element-name table of the CSV and DIF readers
  struct Rule {
    const char* item;
    ValueRule rule;
  } rules[2];
};
// The row of a host code (after FBJ, FRJ, FTJ became FADJ, for the rules); a
// row of defaults for a code the catalogue does not know.
const HostReadTraits& FindHostReadTraits(std::string_view hostCode);

// The host codes of the jurisdiction family, and what each reads differently.
enum class JurisdictionCode : uint8_t {
  kNone, kLogic, kAabal, kTibal, kApport, kLoss, kCredit, kAmtace, kCursti, kCatassn, kCtprcn
};
// The shapes of a jurisdiction file.
enum class JurisdictionShape : uint8_t { kTabular, kDif, kListed };
struct JurisdictionTraits {
  JurisdictionCode code;
  bool needsProvinces;       // the host's province list must be set
  bool needsStates;          // the host's state list must be set
  bool yearAndType[3];       // the root gets YEAR and TYPE, by shape (tabular, DIF, listed)
  bool provincialNames;      // LOSS, CREDIT, AMTACE, CURSTI, CTPRCN: descriptive columns named for provinces
  bool subcategoryNames;     // CATASSN, TIBAL: descriptive columns named as subcategories
  bool categoryLookup;       // the category column's text is looked up among the category types
};
const JurisdictionTraits& FindJurisdictionTraits(std::string_view hostCode);

// How the root element carries the host's ID.
enum class RootId : uint8_t { kObjId, kSplitObjIdParent, kNone };
// The jurisdiction list the plain readers' lookups need before the read.
enum class NeededList : uint8_t { kNone, kState, kProvince, kTi };
// Fixed layouts of the built-in templates (no store needed).
enum class FixedLayout : uint8_t { kNone, kCategory, kTimap, kCurfedti, kM3code, kCtdgrp, kCtdmap };

struct LayoutReadTraits {
  const char* code;
  const char* rootName;        // nullptr: the host code names the root
  RootId rootId;
  bool keepsIdWithoutPlus;     // the split form's OBJID when the ID holds no "+"
  bool objIdOutsideBatch;      // the split form without "+" outside batch mode has an OBJID
  bool batchMarker;            // batch mode: Batch="1" instead of an empty CONUM
  bool year;                   // YEAR attribute with the current year
  NeededList list;
  FixedLayout layout;
};
const LayoutReadTraits& FindLayoutReadTraits(std::string_view layoutType);

// Journal entries: the items a chart-only reclass or a balance read does not
// read, and the account fields whose output flag starts set in every record.
inline constexpr std::size_t kJESuppressedFirst = 4, kJESuppressedLast = 16;
inline constexpr std::size_t kJEPresetItems[] = {17, 18, 20, 23};
inline constexpr std::size_t kJEItemCount = 25;

// International kinds: records of kinds above 51 count lines from 1; kind 67
// keeps every character of its values.
inline constexpr bool IntlLineFromOne(int kind) { return kind > 51; }
inline constexpr bool IntlKeepsAllCharacters(int kind) { return kind == 67; }
// International reads of kinds above 7 read balances, the others charts.
inline constexpr bool IntlReadsBalances(int kind) { return kind > 7; }

}  // namespace zephrin
