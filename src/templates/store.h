// The template store as one object: where "import.ini" lives, and every
// operation on it (look up, load, save, list, delete). Each operation opens
// the file by its path and reads it once; the store keeps nothing of its
// content between calls.
//
// Texts are the engine's Windows-1252 text; the listing text is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "platform/user_interface.h"
#include "templates/template_listing.h"
#include "templates/template_store.h"
#include "platform/export.h"

namespace zephrin {

class ZEPHRIN_API TemplateStore {
 public:
  // Establishes where the store lives, in the writable folder (seeding a new
  // folder from the registry's "TemplatePath", recording it there when
  // `saveTemplatePath` is set). Fails, with the place left as it was, when
  // there is no writable folder.
  [[nodiscard]] Done Locate(UserInterface& ui, bool saveTemplatePath);
  bool located() const { return !m_path.empty(); }
  // The store's file and its folder (file system text); "" until located.
  const std::string& path() const { return m_path; }
  const std::string& folder() const { return m_folder; }
  // When a private temporary folder stands in for the writable folder, which
  // could not be had: that folder and why ("" otherwise).
  const std::string& passedOver() const { return m_passedOver; }
  const std::string& passedOverReason() const { return m_passedOverReason; }

  // A value of the store ("" when absent, and always before it is located).
  std::string Value(std::string_view section, std::string_view key) const;
  // The template code a saved template records ("Info").
  std::string TemplateCode(std::string_view templateName) const { return Value("Import:" + std::string(templateName), "Info"); }
  // Whether the store holds a section of settings for the template (with or
  // without its "Info").
  bool HoldsTemplate(std::string_view templateName) const;

  // Whether the store can be read (a store not yet written can).
  [[nodiscard]] Done Readable() const { return CheckStoreReadable(m_path); }
  // Whether `path` names one of the store's own files (the store under any
  // name, its lock file, a temporary file of its writes).
  bool OwnsFile(const std::string& path) const;

  // The index and the associations.
  TemplateListing List() const { return ReadTemplateListing(m_path); }
  // The listing text a host receives.
  std::string ListingText() const;
  // Deletes a template or "ALL TEMPLATES"; forgets a data file or "ALL FILES".
  [[nodiscard]] Expected<DeleteOutcome> DeleteTemplate(std::string_view name) const;
  [[nodiscard]] Expected<DeleteOutcome> ForgetFile(std::string_view fileName) const;
  // The name as the store has it: as typed when listed so, else upper-cased
  // when listed so (the store upper-cases what it writes), else as typed.
  std::string StoredTemplateName(std::string_view typed) const;
  std::string StoredFileName(std::string_view typed) const;

 private:
  std::string m_path;
  std::string m_folder;
  std::string m_passedOver, m_passedOverReason;
};

}  // namespace zephrin
