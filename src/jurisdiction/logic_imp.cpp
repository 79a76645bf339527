#include "jurisdiction/logic_imp.h"

namespace zephrin {

void LogicImp::FillJurisdictionCaption(std::string_view list) {
  std::string kind;
  // Token 0 is traced before the entries are stored.
  TokenizeList(list, [&](int pos, std::string_view token) {
    if (pos == 0 && m_trace) m_trace("FillJurisdictionCaption: ii=0, strTemp=" + LowerAscii(token));
  });
  if (m_tables.LoadList(list, /*logicSubstitutions=*/true, &kind)) m_bDoingProv = true;
}

void LogicImp::PutCategoryTypes(std::string_view text) {
  // Stored as the host gives them, looked up without regard to case: a type
  // the host sends in capitals must still match the cell text.
  TokenizeList(text, [&](int pos, std::string_view token) {
    m_categoryTypes[LowerAscii(token)] = pos + 1;
  });
}

int LogicImp::FindCategoryType(std::string_view text) const {
  const auto it = m_categoryTypes.find(LowerAscii(text));
  return it == m_categoryTypes.end() ? 0 : it->second;
}

void LogicImp::SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name) {
  m_strCountryID.assign(id);
  m_strCountryAbbrev = LowerAscii(abbrev);
  m_strCountryName.assign(name);
}

}  // namespace zephrin
