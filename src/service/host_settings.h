// The settings a host gives the service object through its setters. They
// last for the object's life; nothing of a read survives into the next but
// these. Texts are the engine's Windows-1252 text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"

namespace zephrin {

class HostSettings {
 public:
  HostSettings() = default;
  HostSettings(const HostSettings&) = delete;
  HostSettings& operator=(const HostSettings&) = delete;

  // Batch mode: turned on by any value, never off again.
  void SetBatch() { m_batch = true; }
  bool batch() const { return m_batch; }

  void SetCurrentYear(int16_t year) { m_currentYear = year; }
  int16_t currentYear() const { return m_currentYear; }

  void SetTaxReturnType(std::string text) { m_taxReturnType = std::move(text); }
  const std::string& taxReturnType() const { return m_taxReturnType; }

  // A jurisdiction list, kept by the kind its beginning shows (without
  // regard to case): "state" or "logic", "ti", "prov". Other texts are dropped.
  void SetJurisdictionList(std::string text);
  const std::string& stateList() const { return m_stateList; }
  const std::string& tiList() const { return m_tiList; }
  const std::string& provinceList() const { return m_provinceList; }

  // Item 1: keep the template folder in the registry; item 2: editor options
  // 1 to 4, only ever set.
  void SetMiscItem(int whichItem, int item);
  bool saveTemplatePath() const { return m_saveTemplatePath; }
  const std::array<bool, 4>& editorOptions() const { return m_editorOptions; }

  void SetCountryOfOperation(std::string id, std::string abbrev, std::string name);
  const std::string& countryId() const { return m_countryId; }
  const std::string& countryAbbrev() const { return m_countryAbbrev; }
  const std::string& countryName() const { return m_countryName; }

  // The country's jurisdictions as XML (UTF-8, as the host sent it).
  void SetCountryJurisdictions(std::string xml) { m_countryJurisdictions = std::move(xml); }
  const std::string& countryJurisdictions() const { return m_countryJurisdictions; }

  // The items of INSURWP, defined by the host: the names as written and the
  // element names made of them. Every ";" ends an item; a last piece without
  // ";" is an item when not empty. At most 19 items of at most 59 characters.
  void SetInsuranceItems(std::string_view list);
  const std::vector<std::string>& insuranceNames() const { return m_insuranceNames; }
  const std::vector<std::string>& insuranceElements() const { return m_insuranceElements; }
  // The same as item lists (ended by an empty entry); nullptr until defined.
  ItemList insuranceNameList() const { return m_namePtrs.empty() ? nullptr : m_namePtrs.data(); }
  ItemList insuranceElementList() const { return m_elementPtrs.empty() ? nullptr : m_elementPtrs.data(); }

 private:
  bool m_batch = false;
  int16_t m_currentYear = 0;
  std::string m_taxReturnType;
  std::string m_stateList, m_tiList, m_provinceList;
  bool m_saveTemplatePath = false;
  std::array<bool, 4> m_editorOptions{};
  std::string m_countryId, m_countryAbbrev, m_countryName;
  std::string m_countryJurisdictions;
  std::vector<std::string> m_insuranceNames, m_insuranceElements;
  std::vector<const char*> m_namePtrs, m_elementPtrs;
};

}  // namespace zephrin
