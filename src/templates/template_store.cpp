#include "templates/template_store.h"

#include <cstdio>

#include "platform/profile.h"
#include "platform/text.h"

namespace zephrin {

std::string TemplateSection(std::string_view templateName) {
  std::string section("Import:");
  section += templateName;
  return section;
}

bool IsReservedTemplateName(std::string_view name) {
  const std::string upper = ProfileUpper(Trim(name));
  return upper == "LAYOUT" || upper == "FILENAME" || upper == "CURDIR";
}

namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// Decimal conversion in the manner of atoi: leading blanks, an optional sign,
// digits up to the first other character; no digits give 0. The result is
// kept to 16 bits, which modular arithmetic gives without overflow.
uint16_t ToUint16(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = (value * 10 + static_cast<uint32_t>(text[i] - '0')) & 0xFFFFu;
  }
  if (negative) value = (0x10000u - value) & 0xFFFFu;
  return static_cast<uint16_t>(value);
}

std::size_t FindBlank(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsBlank(text[i])) return i;
  }
  return std::string_view::npos;
}

// Adds the template name to the "Import:Layout" index unless it is there: the
// scan stops at the first absent number, where a new name goes.
void AddToIndex(ProfileDocument& doc, std::string_view templateName) {
  const std::string upper = ProfileUpper(templateName);
  std::string key;
  {
    const ProfileView view(doc);
    for (unsigned n = 1;; ++n) {
      key = std::to_string(n);
      const std::string value = view.Get(kLayoutSection, key);
      if (value.empty()) break;
      if (value == upper) return;
    }
  }
  doc.Set(kLayoutSection, key, upper);
}

// Points the data file's "Import:FileName" entry at the template, adding the
// entry under the first absent number when the file has none.
void AddFileAssociation(ProfileDocument& doc, std::string_view fileName, std::string_view templateName) {
  const std::string upperFile = ProfileUpper(fileName);
  std::string joined(fileName);
  joined += '^';
  joined += templateName;
  joined = ProfileUpper(joined);
  std::string key;
  {
    const ProfileView view(doc);
    for (unsigned n = 1;; ++n) {
      key = std::to_string(n);
      const std::string value = view.Get(kFileNameSection, key);
      if (value.empty() || std::string_view(value).substr(0, value.find('^')) == upperFile) break;
    }
  }
  doc.Set(kFileNameSection, key, joined);
}

}  // namespace

bool ReadStoreValue(const std::string& iniPath, std::string_view section, std::string_view key,
                    std::string& out) {
  return ReadProfileString(iniPath, section, key, out);
}

bool WriteStoreValue(const std::string& iniPath, std::string_view section,
                     std::optional<std::string_view> key, std::optional<std::string_view> value,
                     bool upperCase, std::string* error) {
  if (iniPath.empty()) return true;
  return WriteProfileString(iniPath, section, key, value, upperCase, error);
}

FieldInfo ParsePositionValue(std::string_view text) {
  // Each field converts the text left after the previous blank; when there is
  // no further blank nothing is dropped, so "7" gives 7 in all three fields.
  FieldInfo info;
  info.nCol = ToUint16(text);
  if (std::size_t blank = FindBlank(text); blank != std::string_view::npos) text.remove_prefix(blank + 1);
  info.nLen = ToUint16(text);
  if (std::size_t blank = FindBlank(text); blank != std::string_view::npos) text.remove_prefix(blank + 1);
  info.nLineCode = ToUint16(text);
  return info;
}

void LoadTemplate(ItemList keys, FieldInfoArray& fields, const std::string& iniPath,
                  std::string_view templateName) {
  // One read of the file serves every key; a missing or unreadable file
  // reads as an empty store.
  ProfileDocument doc;
  if (!iniPath.empty() && !ProfileDocument::Load(iniPath, doc)) doc = ProfileDocument();
  const ProfileView view(doc);
  const std::string section = TemplateSection(templateName);
  for (std::size_t i = 0; keys && keys[i] && keys[i][0] != '\0' && i < fields.size(); ++i) {
    fields[i] = FieldInfo{};
    if (iniPath.empty()) continue;
    const std::string value = view.Get(section, keys[i]);
    if (!value.empty()) fields[i] = ParsePositionValue(value);
  }
}

bool SaveTemplate(const std::string& iniPath, const SaveTemplateRequest& request, std::string* error) {
  if (iniPath.empty()) {
    SetError(error, "The template could not be saved: the template store's location is not known yet.");
    return false;
  }
  if (IsReservedTemplateName(request.templateName)) {
    SetError(error, "The template name \"" + request.templateName + "\" is reserved.");
    return false;
  }
  if (!request.fields) {
    SetError(error, "The template could not be saved: no item positions were given.");
    return false;
  }
  const std::string section = TemplateSection(request.templateName);
  // Refuse texts that would break the file's lines before anything is written.
  for (std::string_view value : {std::string_view(request.info), std::string_view(request.intlDisplayName),
                                 std::string_view(request.dataFileName)}) {
    std::string bad = CheckProfileTexts(section, std::nullopt, value);
    if (!bad.empty()) {
      SetError(error, "The template could not be saved: " + bad);
      return false;
    }
  }

  return UpdateProfileFile(iniPath, [&](ProfileDocument& doc, std::string*) {
    doc.DeleteSection(section);
    // Every value of the section in one edit of the document.
    std::vector<std::pair<std::string, std::string>> entries;
    entries.emplace_back("Info", ProfileUpper(request.info));
    if (request.international) {
      entries.emplace_back("IntlType", ProfileUpper(request.intlDisplayName));
    } else {
      entries.emplace_back("FsiType", "FEDERAL");
    }
    const FieldInfoArray& fields = *request.fields;
    char buf[32];
    for (std::size_t i = 0; request.keys && request.keys[i] && request.keys[i][0] != '\0' && i < fields.size();
         ++i) {
      std::snprintf(buf, sizeof buf, "%d %d %d", fields[i].nCol, fields[i].nLen, fields[i].nLineCode);
      entries.emplace_back(request.keys[i], buf);
    }
    doc.SetKeys(section, entries);
    AddToIndex(doc, request.templateName);
    AddFileAssociation(doc, request.dataFileName, request.templateName);
    return true;
  }, error);
}

bool RecordFileAssociation(const std::string& iniPath, std::string_view fileName,
                           std::string_view templateName, std::string* error) {
  if (iniPath.empty()) return true;
  std::string bad = CheckProfileTexts(kFileNameSection, std::nullopt, std::string(fileName) + "^" + std::string(templateName));
  if (!bad.empty()) {
    SetError(error, "The file association could not be recorded: " + bad);
    return false;
  }
  return UpdateProfileFile(iniPath, [&](ProfileDocument& doc, std::string*) {
    AddFileAssociation(doc, fileName, templateName);
    return true;
  }, error);
}

}  // namespace zephrin
