#include "server/page_files.h"

#include <algorithm>
#include <cctype>

#include "catalogue/catalogue.h"
#include "files/data_line.h"
#include "files/upload_folder.h"
#include "platform/codepage.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

using Json = nlohmann::json;

Json ErrorJson(std::string text) { return Json{{"error", std::move(text)}}; }

std::string StringOf(const Json& j, const char* key) {
  return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

long LongOf(const Json& j, const char* key) {
  return j.contains(key) && j[key].is_number_integer() ? j[key].get<long>() : 0;
}

Json UploadsJson(const UploadFolder& folder) {
  Expected<std::vector<UploadEntry>> list = folder.List();
  if (!list) return ErrorJson(list.error().message);
  Json out = Json::array();
  for (const UploadEntry& e : *list) out.push_back({{"name", e.name}, {"size", e.size}, {"path", e.path}});
  return Json{{"uploads", std::move(out)}, {"folder", folder.path()}};
}

// The separator a template's "Separator" key names (comma when it names none).
char SeparatorOf(const std::string& value) {
  if (value == "TAB") return '\t';
  if (value == "SEMICOLON") return ';';
  if (value == "PIPE") return '|';
  return ',';
}

// Whether the reads of a file take it as cells rather than as fixed-width lines.
bool IsGridFile(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
  return !(path.ends_with(".txt") || path.ends_with(".prn"));
}

Json DataLineJson(const Json& request, const std::string& writableFolder) {
  const std::string file = StringOf(request, "file");
  const long number = LongOf(request, "line");
  Expected<DataLine> line = ReadDataLine(file, number);
  if (!line) return ErrorJson(line.error().message);
  MarkedLine marked{line->text, {}, {}};
  const std::string ini = writableFolder.empty() ? std::string() : writableFolder + "/import.ini";
  const std::string section = "Import:" + Utf8ToAnsi(StringOf(request, "template"));
  std::string value;
  if (ReadStoreValue(ini, section, Utf8ToAnsi(StringOf(request, "item")), value)) {
    const FieldInfo at = ParsePositionValue(value);
    std::string separator;
    (void)ReadStoreValue(ini, section, "Separator", separator);
    if (at.placed())
      marked = IsGridFile(file) ? MarkCell(line->text, SeparatorOf(separator), at.nCol)
                                : MarkCharacters(line->text, at.nCol, at.nLen);
  }
  return Json{{"line", number}, {"before", marked.before}, {"marked", marked.marked},
              {"after", marked.after}, {"cut", line->cut}};
}

// The element names a read writes for a type's items, each with its caption.
Json CaptionsJson(const std::string& type, long intlKind) {
  Json captions = Json::object();
  const auto add = [&](ItemList keys, ItemList elements) {
    for (std::size_t i = 0; i < ItemCount(keys); ++i) {
      const char* element = elements != nullptr ? ItemAt(elements, i) : ItemAt(keys, i);
      captions[AnsiToUtf8(element)] = AnsiToUtf8(ItemCaption(ItemAt(keys, i)));
    }
  };
  if (type == "INTL") {
    if (const IntlKind* kind = FindIntlKind(static_cast<int>(intlKind))) add(kind->keys, kind->elements);
  } else if (const HostTypeInfo* info = FindHostType(type)) {
    if (const ItemSet* set = FindItemSet(info->itemSet)) add(set->keys, set->elements);
  }
  return Json{{"captions", std::move(captions)}};
}

}  // namespace

bool IsPageFilesAction(const std::string& action) {
  return action == "uploads" || action == "removeUpload" || action == "dataLine" || action == "captions";
}

Json PageFilesAction(const std::string& action, const Json& request, const std::string& writableFolder) {
  if (action == "captions") return CaptionsJson(StringOf(request, "type"), LongOf(request, "intlKind"));
  if (action == "dataLine") return DataLineJson(request, writableFolder);
  if (writableFolder.empty()) return ErrorJson("This server keeps no uploads.");
  const UploadFolder folder(writableFolder);
  if (action == "removeUpload") {
    if (Done removed = folder.Remove(StringOf(request, "name")); !removed) return ErrorJson(removed.error().message);
  }
  return UploadsJson(folder);
}

}  // namespace zephrin
