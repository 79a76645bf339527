#include "service/host_settings.h"

#include "platform/text.h"

namespace zephrin {

void HostSettings::SetJurisdictionList(std::string text) {
  const std::string lower = LowerAscii(std::string_view(text).substr(0, 5));
  if (lower.starts_with("state") || lower.starts_with("logic")) m_stateList = std::move(text);
  else if (lower.starts_with("ti")) m_tiList = std::move(text);
  else if (lower.starts_with("prov")) m_provinceList = std::move(text);
}

void HostSettings::SetMiscItem(int whichItem, int item) {
  if (whichItem == 1) m_saveTemplatePath = item == 1;
  else if (whichItem == 2 && item >= 1 && item <= 4) m_editorOptions[static_cast<std::size_t>(item - 1)] = true;
}

void HostSettings::SetCountryOfOperation(std::string id, std::string abbrev, std::string name) {
  m_countryId = std::move(id);
  m_countryAbbrev = std::move(abbrev);
  m_countryName = std::move(name);
}

void HostSettings::SetInsuranceItems(std::string_view text) {
  m_insuranceNames.clear();
  m_insuranceElements.clear();
  // Every ";" ends an item: the piece after the last one counts only when
  // it is not empty.
  std::vector<std::string_view> pieces = SplitText(text, ';');
  if (pieces.back().empty()) pieces.pop_back();
  m_insuranceNames.assign(pieces.begin(), pieces.end());
  // The lists hold at most 19 items of at most 59 characters; more is cut.
  if (m_insuranceNames.size() > 19) m_insuranceNames.resize(19);
  for (auto& name : m_insuranceNames) {
    if (name.size() > 59) name.resize(59);
    // A character that may not stand in an element name becomes "_".
    std::string element = name;
    for (std::size_t i = 0; i < element.size(); ++i) {
      const char c = element[i];
      const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
      const bool later = letter || (c >= '0' && c <= '9') || c == '-' || c == '.';
      if (i == 0 ? !letter : !later) element[i] = '_';
    }
    m_insuranceElements.push_back(std::move(element));
  }
  m_namePtrs.clear();
  m_elementPtrs.clear();
  for (const auto& n : m_insuranceNames) m_namePtrs.push_back(n.c_str());
  for (const auto& e : m_insuranceElements) m_elementPtrs.push_back(e.c_str());
  m_namePtrs.push_back("");
  m_elementPtrs.push_back("");
}

}  // namespace zephrin
