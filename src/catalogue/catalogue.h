// The import type catalogue: host codes, template codes, record element names,
// begin-row counts, item sets, international kinds and the required-item check.
//
// Every fixed table is data: static arrays of texts ended by an empty entry ("").
// An item list is passed around as `ItemList`, a pointer to the first entry of
// such an array; `ItemCount` walks it to the empty entry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "platform/export.h"

namespace zephrin {

// A list of texts ended by an empty entry ("").
using ItemList = const char* const*;

// Number of entries before the terminating empty entry (0 for nullptr).
std::size_t ItemCount(ItemList list);
// Entry i, or "" when i is at or past the terminating entry (or list is nullptr).
const char* ItemAt(ItemList list, std::size_t i);

// The position of one import item in a template.
struct FieldInfo {
  uint16_t nCol = 0;
  uint16_t nLen = 0;
  uint16_t nLineCode = 0;
  bool placed() const { return nLen != 0; }
  bool operator==(const FieldInfo&) const = default;
};
inline constexpr std::size_t kMaxFieldInfo = 38;
using FieldInfoArray = std::array<FieldInfo, kMaxFieldInfo>;

// ---------------------------------------------------------------------------
// Host import type codes (what the host passes as pImportType).

enum class EditorKind : int { Standard = 0, JournalEntry = 1, TaxCategory = 2, International = 3, Consolidation = 4 };
enum class CheckGroup : int { Neither = 0, ChartOnly = 1, BalanceOnly = 2 };

struct HostTypeInfo {
  const char* code;        // "FCOA"
  const char* caption;     // "Federal Chart of Accounts"
  const char* itemSet;     // item set the editor uses: "COA", "JE", ...
  EditorKind editorKind;
  CheckGroup checkGroup;   // for INTL: chart-only for kinds 0-7, 65, 76, else balance-only
  char jeKind;             // 'A', 'R', 'M' for FBJ/FRJ/FTJ, else ' '
};

// Table of the known host codes, ended by an entry whose code is "".
ZEPHRIN_API extern const HostTypeInfo kHostTypes[];
// The entry for a host code (exact comparison), or nullptr when unknown.
const HostTypeInfo* FindHostType(std::string_view hostCode);
// The caption of a host code; "" when unknown.
const char* HostTypeCaption(std::string_view hostCode);
// Check group of the editor for a host code and international kind.
CheckGroup EditorCheckGroup(std::string_view hostCode, int intlKind);

// Begin-row item count N by host code (10 for unknown codes); INTL by intlType.
int BeginRowItemCount(std::string_view hostCode);
int IntlBeginRowItemCount(int intlType);

// ---------------------------------------------------------------------------
// Built-in template names (template names that need no template store).

struct BuiltInTemplate {
  const char* name;          // "CATEGORY"
  const char* layoutType;    // "CAT"
  const char* rootElement;   // for the jurisdiction reader; "" when none
  const char* recordElement; // for the jurisdiction reader; "" when none
  bool handsYear;            // hands the current year to the jurisdiction reader
  bool handsMoreInfo;        // hands pMoreInfo (LOGIC)
};
extern const BuiltInTemplate kBuiltInTemplates[];
ZEPHRIN_API const BuiltInTemplate* FindBuiltInTemplate(std::string_view templateName);

// Host codes read by the jurisdiction reader (LOGIC, AABAL, TIBAL, APPORT, ...).
ZEPHRIN_API bool IsJurisdictionHostCode(std::string_view hostCode);

// Every import type code the catalogue knows, for a person to choose from: the
// host codes, the jurisdiction codes, and the codes of the built-in lists
// (CAT for CATEGORY, ...). `templates` says which templates go with it: the
// kind a saved template records ("COA", "JE", ...) or a built-in name.
struct KnownTypeCode {
  std::string code;
  std::string caption;
  std::string templates;
};
ZEPHRIN_API std::vector<KnownTypeCode> KnownTypeCodes();
// The host codes that take a saved template of a kind (its "Info": "COA",
// "JE", "INTL", ...): those whose item set is that kind, in table order.
// Empty for a kind no host code takes.
ZEPHRIN_API std::vector<std::string> TypesTakingKind(std::string_view kind);

// ---------------------------------------------------------------------------
// Record element names by template code.

struct RecordElementInfo {
  const char* recordElement;  // "COAS"
  bool recordLines;           // m_bRecordLines
  bool je;                    // m_bJE
  ItemList items;             // import item table (key names); nullptr for INSURWP (runtime)
  ItemList jeHeaderItems;     // journal-entry output names (J rows), else nullptr
};
// Lookup by first letter then whole code, as the record element table says.
// nullopt when the code matches no row.
std::optional<RecordElementInfo> LookupRecordElement(std::string_view layoutType);

// ---------------------------------------------------------------------------
// Item sets.

struct ItemSet {
  const char* code;   // "COA", "JE", ...
  ItemList keys;      // key names
  ItemList elements;  // element names, or nullptr when they equal the key names
  const char* kinds;  // the value kind of each key, one letter each (see value_kinds.h)
};
extern const ItemSet kItemSets[];
// The item set for a code (exact comparison); nullptr when unknown.
// Also knows the built-in lists: CAT, TICAT, TIMAP, CURFEDTI, AMT, M3CODE, CTDGRP, CTDMAP, PAAMAP.
const ItemSet* FindItemSet(std::string_view code);
// Like FindItemSet, but only the item sets of kItemSets (the ones a template's
// stored "Info" may select in the editor), not the built-in lists.
const ItemSet* FindEditorItemSet(std::string_view code);

// Journal-entry items: key names and output names (25 each).
extern const char* const kJEItems[];
extern const char* const kJEOutputNames[];

// Element-name tables of the readers for ENTITY, TAXPAY, TAXEXP, EXRATE, PK1MAP,
// INSURPYDAC (INSURWP is built at run time). nullptr for every other host code.
ItemList ReaderElementNames(std::string_view hostCode);

// The caption of an item: key name with every "_" replaced by a blank.
std::string ItemCaption(std::string_view keyName);

// The value-kind letters kept beside a key list of the catalogue (an item
// set, a built-in list or an international kind), found by the list itself;
// nullptr for a list the catalogue does not hold (INSURWP's, made at run
// time). value_kinds.h reads them.
const char* ValueKindLetters(ItemList keys);

// ---------------------------------------------------------------------------
// International kinds (100 of them, index 0 to 99).

inline constexpr int kIntlKindCount = 100;
struct IntlKind {
  const char* typeName;     // root attribute TYPE: "DASTMCOA"
  const char* displayName;  // "DASTM Chart of Accounts"
  ItemList keys;            // key names (captions with blanks)
  ItemList elements;        // element names, parallel to keys
  const char* kinds;        // the value kind of each key, one letter each (see value_kinds.h)
};
extern const IntlKind kIntlKinds[kIntlKindCount + 1];  // ended by an entry of nullptrs
// The kind for an index; nullptr when outside 0..99.
ZEPHRIN_API const IntlKind* FindIntlKind(int index);
// The index whose display name, upper-cased, equals `upperName`; -1 when none.
int FindIntlKindByStoredName(std::string_view upperName);

// ---------------------------------------------------------------------------
// Required-item check run by the editor's OK.

struct RequiredCheckInput {
  std::string_view hostCode;   // host import type code
  std::string_view itemSet;    // item set code in use ("COA", "ICOA", "JE", ...)
  CheckGroup checkGroup;
  bool batchMode = false;
  int intlKind = 0;            // for host code INTL
  ItemList keys = nullptr;     // the item list in use
  const FieldInfoArray* fields = nullptr;
};
// Fails (kInvalid) with the message to show (title "Import") when the
// template lacks an item the import requires.
[[nodiscard]] Done CheckRequiredItems(const RequiredCheckInput& in);

// ---------------------------------------------------------------------------
// Item availability in the editor.

struct AvailabilityInput {
  EditorKind editorKind = EditorKind::Standard;
  std::string_view itemSet;
  CheckGroup checkGroup = CheckGroup::Neither;
  bool batchMode = false;
  bool ica = false;                    // host code ICA (m_bIntl in the editor)
  std::string_view taxReturnType;
  std::array<bool, 4> options{};       // editor options 1 to 4
  int intlKind = 0;
};
bool IsItemAvailable(const AvailabilityInput& in, int position);

}  // namespace zephrin
