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
  const std::string upper = UpperAscii(Trim(name));
  return upper == "LAYOUT" || upper == "FILENAME" || upper == "CURDIR";
}

bool IsUnsavableTemplateName(std::string_view name) {
  return IsReservedTemplateName(name) || UpperAscii(Trim(name)) == "ALL TEMPLATES";
}

namespace {

// Decimal conversion in the manner of atoi: leading blanks, an optional sign,
// digits up to the first other character; no digits give 0. The result is
// kept to 16 bits, which modular arithmetic gives without overflow.
uint16_t ToUint16(std::string_view text) {
  const LeadingNumber number = ScanLeadingNumber(text);
  uint32_t value = 0;
  for (const char digit : number.digits) value = (value * 10 + static_cast<uint32_t>(digit - '0')) & 0xFFFFu;
  if (number.negative) value = (0x10000u - value) & 0xFFFFu;
  return static_cast<uint16_t>(value);
}

std::size_t FindBlank(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsBlank(text[i])) return i;
  }
  return std::string_view::npos;
}

// A value as a profile read gives it (cut to kProfileValueMax characters).
std::string_view AsRead(std::string_view value) { return value.substr(0, kProfileValueMax); }

// Adds the template name to the "Import:Layout" index unless it is there: the
// scan stops at the first absent number, where a new name goes.
void AddToIndex(ProfileDocument& doc, std::string_view templateName) {
  const std::string upper = UpperAscii(templateName);
  const ListSlot slot = FindListSlot(doc, kLayoutSection, [&](std::string_view value) { return AsRead(value) == upper; });
  if (!slot.found) doc.Set(kLayoutSection, slot.key, upper);
}

// Points the data file's "Import:FileName" entry at the template, adding the
// entry under the first absent number when the file has none.
void AddFileAssociation(ProfileDocument& doc, std::string_view fileName, std::string_view templateName) {
  if (!RememberableFileName(fileName)) return;
  const std::string upperFile = UpperAscii(fileName);
  std::string joined(fileName);
  joined += '^';
  joined += templateName;
  joined = UpperAscii(joined);
  const ListSlot slot =
      FindListSlot(doc, kFileNameSection, [&](std::string_view value) { return FilePart(AsRead(value)) == upperFile; });
  doc.Set(kFileNameSection, slot.key, joined);
}

}  // namespace

ListSlot FindListSlot(const ProfileDocument& doc, std::string_view section,
                      const std::function<bool(std::string_view)>& matches) {
  const ProfileView view(doc);
  ListSlot slot;
  for (unsigned n = 1;; ++n) {
    slot.key = std::to_string(n);
    const std::optional<std::string_view> value = view.Find(section, slot.key);
    if (!value || value->empty()) return slot;
    if (matches(*value)) {
      slot.found = true;
      return slot;
    }
  }
}

bool ReadStoreValue(const std::string& iniPath, std::string_view section, std::string_view key,
                    std::string& out) {
  return ReadProfileString(iniPath, section, key, out);
}

Done CheckStoreReadable(const std::string& iniPath) {
  if (iniPath.empty()) return {};
  Expected<ProfileDocument> doc = ProfileDocument::Load(iniPath);
  if (!doc) return doc.TakeError();
  return {};
}

Done WriteStoreValue(const std::string& iniPath, std::string_view section, std::optional<std::string_view> key,
                     std::optional<std::string_view> value, bool upperCase) {
  if (iniPath.empty()) return {};
  return WriteProfileString(iniPath, section, key, value, upperCase);
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

std::string CreditKey(std::string_view itemKey) { return std::string(itemKey) + ".Credit"; }

void LoadTemplate(ItemList keys, FieldInfoArray& fields, const std::string& iniPath,
                  std::string_view templateName, TemplateAmounts* amounts) {
  // One read of the file serves every key; a missing or unreadable file
  // reads as an empty store.
  Expected<ProfileDocument> doc = iniPath.empty() ? ProfileDocument() : ProfileDocument::Load(iniPath);
  if (!doc) doc = ProfileDocument();
  const ProfileView view(*doc);
  const std::string section = TemplateSection(templateName);
  for (std::size_t i = 0; keys && keys[i] && keys[i][0] != '\0' && i < fields.size(); ++i) {
    fields[i] = FieldInfo{};
    if (iniPath.empty()) continue;
    const std::string value = view.Get(section, keys[i]);
    if (!value.empty()) fields[i] = ParsePositionValue(value);
  }
  if (amounts == nullptr) return;
  *amounts = TemplateAmounts{};
  if (iniPath.empty()) return;
  amounts->amounts = view.Get(section, "Amounts");
  for (std::size_t i = 0; keys && keys[i][0] != '\0' && i < amounts->credits.size(); ++i) {
    const std::string value = view.Get(section, CreditKey(keys[i]));
    if (!value.empty()) amounts->credits[i] = ParsePositionValue(value);
  }
}

namespace {

// What a save refuses before anything is written: no store yet, a reserved
// name, no positions, texts that would break the file's lines.
Done CheckSave(const std::string& iniPath, const SaveTemplateRequest& request, const std::string& section) {
  if (iniPath.empty())
    return Error{ErrorCode::kNotFound,
                 "The template could not be saved: the template store's location is not known yet."};
  if (IsUnsavableTemplateName(request.templateName))
    return Error{ErrorCode::kInvalid, "The template name \"" + request.templateName + "\" is reserved."};
  if (!request.fields)
    return Error{ErrorCode::kInvalid, "The template could not be saved: no item positions were given."};
  for (std::string_view value : {std::string_view(request.info), std::string_view(request.intlDisplayName),
                                 std::string_view(request.dataFileName)}) {
    if (Done fit = CheckProfileTexts(section, std::nullopt, value); !fit)
      return Error{ErrorCode::kInvalid, "The template could not be saved: " + fit.error().message};
  }
  for (const auto& [key, value] : request.extraKeys) {
    if (Done fit = CheckProfileTexts(section, key, value); !fit)
      return Error{ErrorCode::kInvalid, "The template could not be saved: " + fit.error().message};
  }
  return {};
}

// The template's section: its code, its kind, and the position of every item.
void WriteTemplateSection(ProfileDocument& doc, const SaveTemplateRequest& request, const std::string& section) {
  // A hand-edited store may hold the section twice: every copy goes, or the
  // keys of a later copy that this save does not write would stay with it.
  doc.DeleteSections({section});
  // Every value of the section in one edit of the document.
  std::vector<std::pair<std::string, std::string>> entries;
  entries.emplace_back("Info", UpperAscii(request.info));
  if (request.international) {
    entries.emplace_back("IntlType", UpperAscii(request.intlDisplayName));
  } else {
    entries.emplace_back("FsiType", "FEDERAL");
  }
  const FieldInfoArray& fields = *request.fields;
  char buf[32];
  for (std::size_t i = 0; request.keys && request.keys[i] && request.keys[i][0] != '\0' && i < fields.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%d %d %d", fields[i].nCol, fields[i].nLen, fields[i].nLineCode);
    entries.emplace_back(request.keys[i], buf);
  }
  if (!request.headers.empty()) entries.emplace_back("Headers", UpperAscii(request.headers));
  for (const auto& [key, value] : request.extraKeys) entries.emplace_back(key, UpperAscii(value));
  doc.SetKeys(section, entries);
}

}  // namespace

Done SaveTemplate(const std::string& iniPath, const SaveTemplateRequest& request) {
  const std::string section = TemplateSection(request.templateName);
  if (Done fit = CheckSave(iniPath, request, section); !fit) return fit;
  return UpdateProfileFile(iniPath, [&](ProfileDocument& doc) {
    WriteTemplateSection(doc, request, section);
    AddToIndex(doc, request.templateName);
    AddFileAssociation(doc, request.dataFileName, request.templateName);
  });
}

Done RecordFileAssociation(const std::string& iniPath, std::string_view fileName, std::string_view templateName) {
  if (iniPath.empty() || !RememberableFileName(fileName)) return {};
  const std::string entry = std::string(fileName) + "^" + std::string(templateName);
  if (Done fit = CheckProfileTexts(kFileNameSection, std::nullopt, entry); !fit)
    return Error{ErrorCode::kInvalid, "The file association could not be recorded: " + fit.error().message};
  return UpdateProfileFile(iniPath, [&](ProfileDocument& doc) { AddFileAssociation(doc, fileName, templateName); });
}

}  // namespace zephrin
