// LogicImp: the reader of jurisdiction data files (amounts laid out by state,
// province or other jurisdiction). The service object holds one for its life.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "jurisdiction/jurisdiction_tables.h"

namespace zephrin {

class LogicImp {
 public:
  using TraceFn = std::function<void(std::string_view)>;

  // Trace lines go to `trace` when it is set.
  void SetTrace(TraceFn trace) { m_trace = std::move(trace); }

  // Loads one jurisdiction list into the reader's tables.
  void FillJurisdictionCaption(std::string_view list);
  // Category types: each token stored under its 1-based position.
  void PutCategoryTypes(std::string_view text);
  // Country of operation: the abbreviation is kept in lower case.
  void SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name);

  // Position of a category type (compared without regard to case); 0 when unknown.
  int FindCategoryType(std::string_view text) const;

  JurisdictionTables m_tables;
  bool m_bDoingProv = false;
  std::map<std::string, int, std::less<>> m_categoryTypes;  // lower-cased text -> position
  std::string m_strCountryID, m_strCountryAbbrev, m_strCountryName;

 private:
  TraceFn m_trace;
};

}  // namespace zephrin
