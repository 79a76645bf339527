#include "templates/store.h"

#include <algorithm>
#include <vector>

#include "platform/profile.h"
#include "platform/text.h"
#include "templates/store_location.h"

namespace zephrin {

namespace {
// The name as listed: as typed, else upper-cased, else the first listed
// name that differs from it only in case (a list edited by hand keeps its
// own spelling, which the deletion must match), else as typed.
std::string AsListed(const std::vector<std::string>& listed, std::string_view typed) {
  if (std::find(listed.begin(), listed.end(), typed) != listed.end()) return std::string(typed);
  std::string upper = UpperAscii(typed);
  if (std::find(listed.begin(), listed.end(), upper) != listed.end()) return upper;
  const auto sameLetters = [typed](const std::string& name) { return EqualsIgnoringCase(name, typed); };
  if (const auto it = std::find_if(listed.begin(), listed.end(), sameLetters); it != listed.end()) return *it;
  return std::string(typed);
}
}  // namespace

Done TemplateStore::Locate(UserInterface& ui, bool saveTemplatePath) {
  Expected<StoreLocation> location = EstablishStoreLocation(ui, saveTemplatePath);
  if (!location) return location.TakeError();
  m_folder = location->writeableFolder;
  m_path = location->templateFile;
  m_passedOver = location->passedOver;
  m_passedOverReason = location->passedOverReason;
  return {};
}

std::string TemplateStore::Value(std::string_view section, std::string_view key) const {
  std::string value;
  ReadStoreValue(m_path, section, key, value);
  return value;
}

bool TemplateStore::HoldsTemplate(std::string_view templateName) const {
  if (m_path.empty()) return false;
  const Expected<ProfileDocument> doc = ProfileDocument::Load(m_path);
  return doc && doc->HasSection(TemplateSection(templateName));
}

std::string TemplateStore::ListingText() const { return FormatTemplateInfo(List(), m_folder); }

Expected<DeleteOutcome> TemplateStore::DeleteTemplate(std::string_view name) const {
  return DeleteTemplateFromStore(m_path, name);
}

Expected<DeleteOutcome> TemplateStore::ForgetFile(std::string_view fileName) const {
  return DeleteFileAssociation(m_path, fileName);
}

std::string TemplateStore::StoredTemplateName(std::string_view typed) const {
  std::vector<std::string> names;
  for (const auto& t : List().templates) names.push_back(t.name);
  return AsListed(names, typed);
}

std::string TemplateStore::StoredFileName(std::string_view typed) const {
  std::vector<std::string> names;
  for (const auto& f : List().files) names.push_back(f.fileName);
  return AsListed(names, typed);
}

bool TemplateStore::OwnsFile(const std::string& path) const { return NamesStoreFile(path, m_path); }

}  // namespace zephrin
