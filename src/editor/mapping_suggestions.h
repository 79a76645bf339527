// Suggested placements for a data file with a header row: an import item goes
// to the column whose header names it. Names are compared without case,
// blanks or punctuation, and a few common abbreviations count as the word
// they stand for ("Acct" for "Account", "Amt" for "Balance", ...).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/export.h"

namespace zephrin {

// The text a name is compared by: its words in lower case, each abbreviation
// replaced by the word it stands for, joined without separators.
// "Acct. No" -> "accountnumber".
std::string MappingKey(std::string_view name);

// An item that may be placed: its caption and key (either may match).
struct MappingCandidate {
  std::string caption;
  std::string key;
};

struct SuggestedMapping {
  std::size_t item;    // index into the candidates
  std::size_t column;  // index into the header cells
};

// Each candidate whose caption or key matches a header cell gets that
// column (in candidate order); then a header that names exactly one of the
// remaining candidates without the first word of its caption, or without a
// last word "Number", gets that one. A column goes to one item at most;
// empty header cells and the columns in `taken` match nothing. Sorted by item.
ZEPHRIN_API std::vector<SuggestedMapping> SuggestMappings(const std::vector<std::string>& headers,
                                              const std::vector<MappingCandidate>& candidates,
                                              const std::vector<bool>& taken = {});

}  // namespace zephrin
