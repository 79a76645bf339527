#include "templates/template_listing.h"

#include <functional>
#include <optional>
#include <utility>

#include <sys/stat.h>

#include "catalogue/catalogue.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "result/xml_writer.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

constexpr std::string_view kAllTemplates = "ALL TEMPLATES";
constexpr std::string_view kAllFiles = "ALL FILES";

// One entry of a numbered list: the value as a profile read gives it (cut to
// 259 characters), which is what is compared and listed, and the whole value,
// which is what a rewrite keeps, so a rewrite never shortens an entry.
struct ListEntry {
  std::string shown;
  std::string whole;
};

// Keys "1", "2", ... up to the first absent (or empty) one.
std::vector<ListEntry> ReadList(const ProfileView& view, std::string_view section) {
  std::vector<ListEntry> entries;
  for (unsigned n = 1;; ++n) {
    const std::string key = std::to_string(n);
    const std::optional<std::string_view> value = view.Find(section, key);
    if (!value || value->empty()) break;
    entries.push_back({std::string(value->substr(0, kProfileValueMax)), std::string(*value)});
  }
  return entries;
}

std::vector<ListEntry> ReadList(const ProfileDocument& doc, std::string_view section) {
  const ProfileView view(doc);
  return ReadList(view, section);
}

// Writes the kept values (upper-cased) under 1, 2, ... and deletes the keys
// above them up to the old length of the list, every copy of each.
void RewriteList(ProfileDocument& doc, std::string_view section, const std::vector<std::string>& kept,
                 std::size_t oldCount) {
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) entries.emplace_back(std::to_string(i + 1), UpperAscii(kept[i]));
  doc.SetKeys(section, entries);
  std::vector<std::string> gone;
  for (std::size_t n = kept.size() + 1; n <= oldCount; ++n) gone.push_back(std::to_string(n));
  doc.DeleteKeys(section, gone);
}

bool StoreExists(const std::string& iniPath) {
  struct stat st {};
  return !iniPath.empty() && lstat(iniPath.c_str(), &st) == 0;
}

}  // namespace

TemplateListing ReadTemplateListing(const std::string& iniPath) {
  TemplateListing listing;
  if (iniPath.empty()) return listing;
  const Expected<ProfileDocument> doc = ProfileDocument::Load(iniPath);
  if (!doc) return listing;
  // One read and one index of the file serve the whole listing.
  const ProfileView view(*doc);
  unsigned n = 0;
  for (const ListEntry& entry : ReadList(view, kLayoutSection)) {
    TemplateListing::Template t;
    t.num = ++n;
    t.name = entry.shown;
    const std::string section = TemplateSection(entry.shown);
    t.type = view.Get(section, "Info");
    if (t.type == "INTL") t.type = view.Get(section, "IntlType");
    listing.templates.push_back(std::move(t));
  }
  n = 0;
  for (const ListEntry& entry : ReadList(view, kFileNameSection)) {
    TemplateListing::DataFile f;
    f.num = ++n;
    const std::size_t caret = entry.shown.find('^');
    f.fileName = entry.shown.substr(0, caret);
    if (caret != std::string::npos) f.templateName = entry.shown.substr(caret + 1);
    f.templateSaved = !f.templateName.empty() && view.HasSection(TemplateSection(f.templateName));
    listing.files.push_back(std::move(f));
  }
  return listing;
}

namespace {

// The tags of a numbered list of the listing text:
// <LIST><ENTRY num='N'><FIRST>text</FIRST><SECOND>text</SECOND></ENTRY>...</LIST>,
// and nothing at all for an empty list.
struct ListTags {
  std::string_view list, entry, first, second;
};

// An element that keeps its end tag when its text is empty, as the listing
// has always written them: <name></name>.
void Element(XmlWriter& w, std::string_view name, std::string_view text, const xml::EscapeTable& table) {
  w.Start(name);
  w.OpenContent(w.depth());
  w.Text(text, table);
  w.End();
}

// `texts(item)` gives the first and second text of an entry.
template <class Item, class Texts>
void WriteList(XmlWriter& w, const ListTags& tags, const std::vector<Item>& items, Texts texts) {
  if (items.empty()) return;
  w.Start(tags.list);
  for (const Item& item : items) {
    const auto [first, second] = texts(item);
    w.Start(tags.entry);
    w.Attr("num", std::to_string(item.num), '\'');
    Element(w, tags.first, first, xml::kText);
    Element(w, tags.second, second, xml::kText);
    w.End();
  }
  w.End();
}

}  // namespace

std::string FormatTemplateInfo(const TemplateListing& listing, std::string_view folder) {
  XmlWriter w;
  w.Start("INFO");
  WriteList(w, {"TEMPLATES", "TMPL", "imptype", "name"}, listing.templates, [](const TemplateListing::Template& t) {
    return std::pair<std::string_view, std::string_view>(t.type, t.name);
  });
  WriteList(w, {"FILENAMES", "FILES", "fname", "templ"}, listing.files, [](const TemplateListing::DataFile& f) {
    return std::pair<std::string_view, std::string_view>(f.fileName, f.templateName);
  });
  Element(w, "PATHNAME", folder, xml::kTextUtf8);
  Element(w, "MAX_INTLCOMBO_ITEMS", std::to_string(kIntlKindCount), xml::kText);
  return w.Take().TakeString();
}

namespace {

// Takes a template, or every one, out of the document; true when it changed.
bool RemoveTemplate(ProfileDocument& doc, std::string_view name) {
  const std::vector<ListEntry> index = ReadList(doc, kLayoutSection);
  if (name == kAllTemplates) {
    std::vector<std::string> sections;
    sections.reserve(index.size() + 1);
    for (const ListEntry& entry : index) {
      if (!IsReservedTemplateName(entry.shown)) sections.push_back(TemplateSection(entry.shown));
    }
    sections.emplace_back(kLayoutSection);
    return doc.DeleteSections(sections);
  }
  bool changed = false;
  if (!IsReservedTemplateName(name)) changed = doc.DeleteSections({TemplateSection(name)});
  // The index is rewritten only when it names the template, so a name that
  // is not there leaves every entry as it was.
  std::vector<std::string> kept;
  bool listed = false;
  for (const ListEntry& entry : index) {
    if (entry.shown == name) listed = true;
    else kept.push_back(entry.whole);
  }
  if (listed) RewriteList(doc, kLayoutSection, kept, index.size());
  return changed || listed;
}

// Takes the associations of a data file, or all of them, out of the
// document; true when it changed.
bool RemoveFileAssociation(ProfileDocument& doc, std::string_view fileName) {
  if (fileName == kAllFiles) return doc.DeleteSections({std::string(kFileNameSection)});
  const std::vector<ListEntry> entries = ReadList(doc, kFileNameSection);
  std::vector<std::string> kept;
  bool changed = false;
  for (const ListEntry& entry : entries) {
    if (FilePart(entry.shown) == fileName) changed = true;
    else kept.push_back(entry.whole);
  }
  if (changed) RewriteList(doc, kFileNameSection, kept, entries.size());
  return changed;
}

// A deletion under the store's lock. Whether there is anything to delete is
// decided first from the store as it is, so that a deletion of nothing takes
// no lock and leaves no lock file behind; under the lock the store is read
// again and the deletion decides anew.
Expected<DeleteOutcome> DeleteUnderLock(const std::string& iniPath,
                                        const std::function<bool(ProfileDocument&)>& remove) {
  if (!StoreExists(iniPath)) return DeleteOutcome::kNotThere;
  if (Expected<ProfileDocument> current = ProfileDocument::Load(iniPath); current && !remove(*current))
    return DeleteOutcome::kNotThere;
  bool changed = false;
  const Done written = UpdateProfileFile(iniPath, [&](ProfileDocument& doc) { changed = remove(doc); });
  if (!written) return written.error();
  return changed ? DeleteOutcome::kDeleted : DeleteOutcome::kNotThere;
}

}  // namespace

Expected<DeleteOutcome> DeleteTemplateFromStore(const std::string& iniPath, std::string_view name) {
  return DeleteUnderLock(iniPath, [name](ProfileDocument& doc) { return RemoveTemplate(doc, name); });
}

Expected<DeleteOutcome> DeleteFileAssociation(const std::string& iniPath, std::string_view fileName) {
  return DeleteUnderLock(iniPath, [fileName](ProfileDocument& doc) { return RemoveFileAssociation(doc, fileName); });
}

}  // namespace zephrin
