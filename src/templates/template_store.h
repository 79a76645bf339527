// The template store "import.ini": profile-string access, template load and
// save, the "Import:Layout" index and the "Import:FileName" associations.
//
// Every change is written to a temporary file in the same folder, flushed and
// renamed over the old file, under an advisory lock held for the whole
// read-modify-write sequence, so the file on disk is always the old or the new
// one and two processes saving at once lose nothing.
//
// Paths are the file system's (UTF-8); section, key and value texts are the
// engine's Windows-1252 text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/expected.h"

namespace zephrin {

// The store's own sections: the index of templates and the data files'
// associations.
inline constexpr std::string_view kLayoutSection = "Import:Layout";
inline constexpr std::string_view kFileNameSection = "Import:FileName";

class ProfileDocument;

// The section that holds a template: "Import:" and its name.
std::string TemplateSection(std::string_view templateName);

// The file part of an "Import:FileName" entry: what comes before its first "^".
inline std::string_view FilePart(std::string_view entry) { return entry.substr(0, entry.find('^')); }
// Whether a data file's name can be listed with its template: an entry is
// split at its first "^", so a name holding one would be read back cut short
// (and never found again); a line break would break the store's lines. Such a
// file is read as any other, only not remembered.
inline bool RememberableFileName(std::string_view name) { return name.find_first_of("^\r\n") == std::string_view::npos; }

// A place in a numbered list of the store ("1", "2", ... up to the first
// absent or empty entry): the key of the first entry whose whole value
// `matches` accepts (found), or else the first absent number, where a new
// entry goes.
struct ListSlot {
  std::string key;
  bool found = false;
};
ListSlot FindListSlot(const ProfileDocument& doc, std::string_view section,
                      const std::function<bool(std::string_view)>& matches);

// Whether a template of this name would have one of the store's own sections
// as its section ("Layout", "FileName", "CurDir", in any case, blanks around
// ignored): such a name is never saved, nor its section deleted.
bool IsReservedTemplateName(std::string_view name);
// Whether a template may not be saved under this name: a reserved name, or
// "ALL TEMPLATES" (in any case, blanks around ignored), which a deletion
// takes as every template.
bool IsUnsavableTemplateName(std::string_view name);

// Reads a value with an empty default into a 260-character buffer: longer
// values come back cut to 259 characters. `out` is always replaced ("" when
// absent). Returns true when the value read is not empty. An empty ini path
// returns false without reading.
bool ReadStoreValue(const std::string& iniPath, std::string_view section, std::string_view key,
                    std::string& out);

// Whether the store's file can be read: a missing file is an empty store, a
// file that cannot be opened or read is the error. The lookups above read
// such a file as absent, as a host's calls have always seen it; a person's
// commands ask first, so that they never call a template missing, or the
// store empty, when it could not be read.
[[nodiscard]] Done CheckStoreReadable(const std::string& iniPath);

// Writes a value. Does nothing (and succeeds) when the ini path is empty. When
// a value is given and `upperCase` is set, it is upper-cased first. No key
// deletes the section; no value deletes the key.
[[nodiscard]] Done WriteStoreValue(const std::string& iniPath, std::string_view section,
                                   std::optional<std::string_view> key, std::optional<std::string_view> value,
                                   bool upperCase);

// Parses "nCol nLen nLineCode" as the store writes it (see the parsing rules:
// decimal conversion with leading blanks skipped and an optional sign, stopping
// at the first non-digit, kept to 16 bits).
FieldInfo ParsePositionValue(std::string_view text);

// What a template says of its amounts beside its items' places: the value
// of its "Amounts" key ("" when absent; "SIGNED" and "SIGNED COMMA" are
// known) and each item's credit column, stored under the item's key followed
// by ".Credit" as a place is (unplaced when absent).
struct TemplateAmounts {
  std::string amounts;
  FieldInfoArray credits{};
};
// The key of an item's credit column.
std::string CreditKey(std::string_view itemKey);

// For each key of `keys` until its empty entry: zero the record, read the key
// from section "Import:" + templateName, and parse it when found. With
// `amounts`, the template's amount keys too, from the same read of the store.
void LoadTemplate(ItemList keys, FieldInfoArray& fields, const std::string& iniPath,
                  std::string_view templateName, TemplateAmounts* amounts = nullptr);

struct SaveTemplateRequest {
  std::string templateName;
  std::string info;             // the template's import type code ("COA", "INTL", ...)
  bool international = false;   // write "IntlType" instead of "FsiType"
  std::string intlDisplayName;  // the international kind's display name
  ItemList keys = nullptr;
  const FieldInfoArray* fields = nullptr;
  std::string dataFileName;     // recorded as the file association
  std::string headers;          // the header captions of a grid file ("Headers"; "": none written)
  // Keys written after the items' positions, in this order (the data file's
  // sheet and separator, the amounts, credit columns); none by default.
  std::vector<std::pair<std::string, std::string>> extraKeys;
};
// The whole save sequence (delete section, Info, FsiType/IntlType, every item,
// index, file association) as one atomic change of the file. The error says
// what stopped it in words for the user.
[[nodiscard]] Done SaveTemplate(const std::string& iniPath, const SaveTemplateRequest& request);

// Records "F^T" (upper-cased) under "Import:FileName", replacing the entry of
// the same file name or adding one under the first absent number. Does
// nothing (and succeeds) when the ini path is empty.
[[nodiscard]] Done RecordFileAssociation(const std::string& iniPath, std::string_view fileName,
                                         std::string_view templateName);

}  // namespace zephrin
