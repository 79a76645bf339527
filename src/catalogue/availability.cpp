// Which items the layout editor offers for placement.
#include "catalogue/catalogue.h"

namespace zephrin {
namespace {

bool IsOneOf(std::string_view value, ItemList list) {
  for (; (*list)[0] != '\0'; ++list)
    if (value == *list) return true;
  return false;
}

// Standard item sets whose positions 0, 2 and 4 follow their own rules
// instead of the chart of accounts rules.
const char* const kOwnRuleItemSets[] = {
    "IXREF", "TAJXREF", "FCAXREF", "ENTITY", "TAXRATE", "INSURPYDAC", "NAICLINEMAP",
    "M3MAP", "TAXEXP", "TAXPAY", "INSURWP", ""};
// Of those, the ones whose position 0 is always available.
const char* const kCompanyAlways[] = {"ENTITY", "TAXRATE", "M3MAP", "NAICLINEMAP", ""};
// Of those, the ones whose positions 2 and 4 are available at all.
const char* const kSecondFourthAlways[] = {"ENTITY", "TAXRATE", "TAXPAY", "TAXEXP", ""};
// Tax return types that carry the activity items.
const char* const kActivityReturnTypes[] = {"ALL", "1065", "1120S", "1120REIT", ""};

bool OwnRuleItemAvailable(const AvailabilityInput& in, int position) {
  const std::string_view set = in.itemSet;
  switch (position) {
    case 0:
      return IsOneOf(set, kCompanyAlways) || in.batchMode;
    case 2:
    case 4:
      return IsOneOf(set, kSecondFourthAlways);
    default:
      break;
  }
  if (set == "ENTITY") {
    // Binder items are offered only when the host turned their option on.
    if (position == 19 || position == 20) return in.options[2];
    if (position == 22 || position == 23) return in.options[1];
    if (position >= 24 && position <= 26) return in.options[0];
  }
  return true;
}

bool StandardItemAvailable(const AvailabilityInput& in, int position) {
  const std::string_view set = in.itemSet;
  const bool m3bal = set == "M3BAL";
  const bool chart = in.checkGroup == CheckGroup::ChartOnly;
  const bool balance = in.checkGroup == CheckGroup::BalanceOnly;
  const bool activityReturn = IsOneOf(in.taxReturnType, kActivityReturnTypes);
  switch (position) {
    case 0:
      return set == "PK1MAP" || in.batchMode;
    case 2:
      return m3bal || set == "M2BAL" || set == "EXRATE" || set == "PK1MAP" || chart;
    case 3:
      return m3bal || set == "EXRATE" || balance;
    case 4:
      if (set == "M2BAL") return in.batchMode || in.taxReturnType == "1065";
      if (m3bal || set == "EXRATE") return true;
      return chart && !in.ica;
    case 5:
      return m3bal || (chart && !in.ica);
    case 6:
    case 7:
      return m3bal || in.ica;
    case 8:
      return m3bal || activityReturn;
    case 9:
      return m3bal || (!in.ica && activityReturn);
    default:
      return true;
  }
}

bool JournalEntryItemAvailable(const AvailabilityInput& in, int position) {
  const bool chart = in.checkGroup == CheckGroup::ChartOnly;
  const bool balance = in.checkGroup == CheckGroup::BalanceOnly;
  if (position == 0) return in.batchMode;
  if ((position >= 3 && position <= 16) || position == 19 || (position >= 21 && position <= 24))
    return chart;
  if (position == 18) return balance;
  if (position == 20) return in.options[3] && balance;
  return true;
}

}  // namespace

bool IsItemAvailable(const AvailabilityInput& in, int position) {
  switch (in.editorKind) {
    case EditorKind::Standard:
      return IsOneOf(in.itemSet, kOwnRuleItemSets) ? OwnRuleItemAvailable(in, position)
                                                    : StandardItemAvailable(in, position);
    case EditorKind::JournalEntry:
      return JournalEntryItemAvailable(in, position);
    case EditorKind::International:
    case EditorKind::Consolidation:
      if (position == 0)
        return in.checkGroup != CheckGroup::BalanceOnly || in.intlKind == 48 || in.batchMode;
      return true;
    case EditorKind::TaxCategory:
      return true;
  }
  return true;
}

}  // namespace zephrin
