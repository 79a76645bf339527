#include "server/page_files.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "files/data_line.h"
#include "files/upload_folder.h"
#include "platform/codepage.h"
#include "readers/separator.h"
#include "readers/workbook_source.h"
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

// Whether member `key` is text; a request whose member is something else is
// refused by name rather than read as "".
bool IsText(const Json& j, const char* key) { return j.contains(key) && j[key].is_string(); }

Json UploadsJson(const UploadFolder& folder) {
  Expected<std::vector<UploadEntry>> list = folder.List();
  if (!list) return ErrorJson(list.error().message);
  Json out = Json::array();
  for (const UploadEntry& e : *list) out.push_back({{"name", e.name}, {"size", e.size}, {"path", e.path}});
  return Json{{"uploads", std::move(out)}, {"folder", folder.path()}};
}

// Whether the reads of a file take it as cells rather than as fixed-width lines.
bool IsGridFile(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
  return !(path.ends_with(".txt") || path.ends_with(".prn"));
}

// Row `number` (1-based) of the template's sheet of a workbook, its cells
// parted by tabs, the cell of column `col` (0-based) marked when `mark`.
Expected<MarkedLine> WorkbookLine(WorkbookKind kind, const std::string& file, const std::string& sheet, long number,
                                  bool mark, std::size_t col) {
  Expected<std::unique_ptr<RowSource>> source = OpenWorkbook(kind, file, file, sheet);
  if (!source) return source.error();
  Row row;
  bool found = false;
  while (!found && (*source)->Next(row)) found = row.index + 1L == number;
  if (const auto* book = dynamic_cast<const WorkbookSource*>(source->get()); book && book->failure())
    return *book->failure();
  if (!found) return Error{ErrorCode::kNotFound, "The data file has no line " + std::to_string(number) + "."};
  std::vector<std::string> cells;
  for (const Cell& cell : row.cells) {
    if (cells.size() <= cell.column) cells.resize(cell.column + 1);
    cells[cell.column] = AnsiToUtf8(cell.text);
  }
  MarkedLine out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    // The tab before a cell goes with what comes before it.
    if (i > 0) (!mark || i <= col ? out.before : out.after) += '\t';
    (!mark || i < col ? out.before : i == col ? out.marked : out.after) += cells[i];
  }
  return out;
}

// The line a review finding names, with the item's cell or characters marked
// as the template places it; a workbook's line is the row of its sheet.
Json DataLineJson(const Json& request, const std::string& writableFolder) {
  const std::string file = StringOf(request, "file");
  const bool whole = request.contains("line") && (request["line"].is_number_integer() &&
                                                  (!request["line"].is_number_unsigned() ||
                                                   request["line"].get<uint64_t>() <= 0x7fffffffu));
  if (!whole) return ErrorJson("The request's \"line\" is not a line number.");
  const long number = LongOf(request, "line");
  const std::string ini = writableFolder.empty() ? std::string() : writableFolder + "/import.ini";
  const std::string section = "Import:" + Utf8ToAnsi(StringOf(request, "template"));
  std::string value, separator, sheet;
  const FieldInfo at = ReadStoreValue(ini, section, Utf8ToAnsi(StringOf(request, "item")), value)
                           ? ParsePositionValue(value)
                           : FieldInfo{};
  const bool placed = at.placed();
  (void)ReadStoreValue(ini, section, "Separator", separator);
  (void)ReadStoreValue(ini, section, "Sheet", sheet);
  bool cut = false;
  Expected<MarkedLine> marked = MarkedLine{};
  if (const WorkbookKind kind = SniffWorkbook(file); kind != WorkbookKind::kNone && number >= 1) {
    marked = WorkbookLine(kind, file, sheet, number, placed, at.nCol);
  } else {
    Expected<DataLine> line = ReadDataLine(file, number);
    if (!line) return ErrorJson(line.error().message);
    cut = line->cut;
    const Separator parts = SeparatorNamed(separator).value_or(Separator::kComma);
    // A template's separator makes any file separated text, as it does for a
    // read (a tab-separated ".txt" among them).
    const bool grid = !separator.empty() || IsGridFile(file);
    marked = !placed ? MarkedLine{line->text, {}, {}}
             : grid  ? MarkCell(line->text, SeparatorChar(parts), at.nCol)
                     : MarkCharacters(line->text, at.nCol, at.nLen);
  }
  if (!marked) return ErrorJson(marked.error().message);
  return Json{{"line", number}, {"before", marked->before}, {"marked", marked->marked},
              {"after", marked->after}, {"cut", cut}};
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
    if (!IsText(request, "name")) return ErrorJson("The request's \"name\" is not a file name.");
    if (Done removed = folder.Remove(StringOf(request, "name")); !removed) return ErrorJson(removed.error().message);
  }
  return UploadsJson(folder);
}

}  // namespace zephrin
