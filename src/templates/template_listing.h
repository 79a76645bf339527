// The saved templates and the data files associated with them: the listing
// the host shows, and the deletion of templates and associations.
//
// Store texts are the engine's Windows-1252 text; the listing text is UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "platform/export.h"

namespace zephrin {

struct TemplateListing {
  struct Template {
    unsigned num = 0;     // key in "Import:Layout"
    std::string type;     // "Info", or "IntlType" for an international template
    std::string name;     // the index value
  };
  struct DataFile {
    unsigned num = 0;            // key in "Import:FileName"
    std::string fileName;        // before the first "^" (the whole entry without one)
    std::string templateName;    // after the first "^" ("" without one)
    bool templateSaved = false;  // the store holds that template's settings
  };
  std::vector<Template> templates;
  std::vector<DataFile> files;
};

// Reads the index and the associations, each from key "1" up to the first
// absent key. A missing or unreadable store lists as empty.
ZEPHRIN_API TemplateListing ReadTemplateListing(const std::string& iniPath);

// The listing text: INFO with TEMPLATES, FILENAMES, PATHNAME and
// MAX_INTLCOMBO_ITEMS, every value XML-escaped. `folder` is UTF-8.
std::string FormatTemplateInfo(const TemplateListing& listing, std::string_view folder);

// What a deletion that could write the store found: something of the name
// (now deleted), or nothing. A store that could not be written is an error.
enum class DeleteOutcome { kDeleted, kNotThere };

// Deletes a template (its section and its index entry; the index is renumbered
// from 1), or every template of the index with "ALL TEMPLATES". Names compare
// exactly. When nothing of that name is there the store is not written.
[[nodiscard]] Expected<DeleteOutcome> DeleteTemplateFromStore(const std::string& iniPath, std::string_view name);

// Deletes the associations of a data file (renumbered from 1), or all of them
// with "ALL FILES". Names compare exactly with the file part of each entry.
[[nodiscard]] Expected<DeleteOutcome> DeleteFileAssociation(const std::string& iniPath, std::string_view fileName);

}  // namespace zephrin
