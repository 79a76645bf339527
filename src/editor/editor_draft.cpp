#include "platform/json_depth.h"
#include "editor/editor_draft.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/file_read.h"
#include "platform/text.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

// Members stay in the order they were written.
using OrderedJson = nlohmann::ordered_json;

// A draft is a few hundred bytes; anything far larger is no draft.
constexpr std::size_t kMaxDraftBytes = 1u << 20;
// Characters of the data file's name kept in a draft's file name.
constexpr std::size_t kMaxNameChars = 40;

// FNV-1a: a stable number of the data file and import type, so that two
// files of the same name in different folders have drafts of their own.
uint32_t KeyHash(std::string_view text) {
  uint32_t h = 2166136261u;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

// Letters, digits, ".", "-" and "_" as they are; anything else as "_".
std::string SafeName(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, kMaxNameChars)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '-' || c == '_';
    out += plain ? c : '_';
  }
  return out;
}

std::string PositionText(const FieldInfo& f) {
  return std::to_string(f.nCol) + " " + std::to_string(f.nLen) + " " + std::to_string(f.nLineCode);
}

// "COL LEN CODE": three numbers of 0 to 65535 separated by one blank each.
std::optional<FieldInfo> ParsePosition(std::string_view text) {
  uint16_t v[3] = {};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (p == end || *p++ != ' ')) return std::nullopt;
    const auto [next, ec] = std::from_chars(p, end, v[i]);
    if (ec != std::errc() || next == p) return std::nullopt;
    p = next;
  }
  if (p != end) return std::nullopt;
  FieldInfo f;
  f.nCol = v[0];
  f.nLen = v[1];
  f.nLineCode = v[2];
  return f;
}

bool HasMembers(const OrderedJson& j) {
  return j.is_object() && j.contains("dataFile") && j["dataFile"].is_string() && j.contains("importType") &&
         j["importType"].is_string() && j.contains("intlKind") && j["intlKind"].is_number_integer() &&
         j.contains("template") && j["template"].is_string() && j.contains("newTemplate") &&
         j["newTemplate"].is_boolean() && j.contains("current") && j["current"].is_number_integer() &&
         j.contains("positions") && j["positions"].is_object() && (!j.contains("keys") || j["keys"].is_object());
}

// The value of a key of the draft's template keys; "" when it has none.
std::string KeyValue(const std::vector<std::pair<std::string, std::string>>& keys, std::string_view name) {
  for (const auto& [key, value] : keys)
    if (key == name) return value;
  return {};
}

}  // namespace

EditorDraft DraftOf(const CCLayout& e) {
  EditorDraft d;
  d.dataFile = e.inputs().dataFilePath;
  d.importType = e.inputs().hostCode;
  d.intlKind = e.inputs().intlKind;
  d.templateName = e.templateName();
  d.newTemplate = e.newTemplate();
  d.current = e.currentItem();
  for (std::size_t i = 0; i < e.itemCount(); ++i) d.positions.emplace_back(e.itemKeys()[i], e.fields()[i]);
  d.keys = e.ExtraKeys();
  return d;
}

std::string DraftPath(const LayoutEditorInputs& in) {
  if (in.iniPath.empty()) return {};
  std::string type = in.hostCode;
  if (in.hostCode == "INTL") type += std::to_string(in.intlKind);
  const std::string key = in.dataFilePath + '\n' + type;
  char hash[9];
  std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(KeyHash(key)));
  const std::filesystem::path file(in.dataFilePath);
  const std::string name = SafeName(file.filename().string()) + "." + SafeName(type) + "." + hash + ".json";
  return (std::filesystem::path(in.iniPath).parent_path() / "drafts" / name).string();
}

std::string DraftText(const EditorDraft& draft) {
  OrderedJson positions = OrderedJson::object();
  for (const auto& [key, f] : draft.positions) positions[key] = PositionText(f);
  OrderedJson j = {{"dataFile", draft.dataFile},
                         {"importType", AnsiToUtf8(draft.importType)},
                         {"intlKind", draft.intlKind},
                         {"template", AnsiToUtf8(draft.templateName)},
                         {"newTemplate", draft.newTemplate},
                         {"current", draft.current},
                         {"positions", std::move(positions)}};
  if (draft.keys) {
    OrderedJson keys = OrderedJson::object();
    for (const auto& [key, value] : *draft.keys) keys[key] = AnsiToUtf8(value);
    j["keys"] = std::move(keys);
  }
  return j.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

std::optional<EditorDraft> ParseDraft(std::string_view text) {
  const OrderedJson j = JsonNestsDeeper(text) || JsonObjectWiderThan(text) ? OrderedJson(OrderedJson::value_t::discarded)
                                              : OrderedJson::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (!HasMembers(j)) return std::nullopt;
  EditorDraft d;
  d.dataFile = j["dataFile"].get<std::string>();
  d.importType = Utf8ToAnsi(j["importType"].get<std::string>());
  d.intlKind = static_cast<int>(std::clamp<int64_t>(j["intlKind"].get<int64_t>(), -1, 100));
  d.templateName = Utf8ToAnsi(j["template"].get<std::string>());
  d.newTemplate = j["newTemplate"].get<bool>();
  d.current = static_cast<int>(std::clamp<int64_t>(j["current"].get<int64_t>(), -1, static_cast<int64_t>(kMaxFieldInfo)));
  for (const auto& [key, value] : j["positions"].items()) {
    if (!value.is_string()) return std::nullopt;
    const std::optional<FieldInfo> f = ParsePosition(value.get<std::string>());
    if (!f) return std::nullopt;
    d.positions.emplace_back(key, *f);
  }
  if (!j.contains("keys")) return d;
  d.keys.emplace();
  for (const auto& [key, value] : j["keys"].items()) {
    if (!value.is_string()) return std::nullopt;
    d.keys->emplace_back(key, Utf8ToAnsi(value.get<std::string>()));
  }
  return d;
}

Done WriteDraft(const std::string& path, const EditorDraft& draft) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return Error{ErrorCode::kIo, "cannot make the folder of " + path + ": " + ec.message(), ec.value()};
  return WriteFileAtomically(path, DraftText(draft));
}

std::optional<EditorDraft> ReadDraft(const std::string& path) {
  std::string text;
  if (path.empty() || ReadRegularFile(path, text) != FileReadStatus::kOk || text.size() > kMaxDraftBytes)
    return std::nullopt;
  return ParseDraft(text);
}

bool DraftFits(const EditorDraft& draft, const CCLayout& e) {
  const LayoutEditorInputs& in = e.inputs();
  if (draft.dataFile != in.dataFilePath || draft.importType != in.hostCode || draft.intlKind != in.intlKind)
    return false;
  if (draft.newTemplate || e.newTemplate()) return draft.newTemplate == e.newTemplate();
  return UpperAscii(draft.templateName) == UpperAscii(e.templateName());
}

FieldInfoArray DraftPositions(const EditorDraft& draft, const CCLayout& e) {
  FieldInfoArray fields{};
  for (std::size_t i = 0; i < e.itemCount(); ++i) {
    for (const auto& [key, f] : draft.positions) {
      if (key != e.itemKeys()[i]) continue;
      if (!e.gridLayout() || !f.placed() || static_cast<long>(f.nCol) + 1 < e.gridCols()) fields[i] = f;
      break;
    }
  }
  return fields;
}

bool RestoreDraftReading(const EditorDraft& draft, CCLayout& e) {
  if (!draft.keys) return true;
  if (e.workbook()) {
    const std::string sheet = UpperAscii(KeyValue(*draft.keys, "Sheet"));
    std::size_t i = 0;
    while (i < e.sheets().size() && !(sheet.empty() ? i == 0 : UpperAscii(e.sheets()[i]) == sheet)) ++i;
    if (i == e.sheets().size()) return false;
    e.SelectSheet(static_cast<int>(i));
  }
  if (e.separatorChoice()) {
    const std::string stored = UpperAscii(KeyValue(*draft.keys, "Separator"));
    char separator = ',';
    for (const SeparatorChoice& c : SeparatorChoices())
      if (c.stored == stored) separator = c.separator;
    e.SetSeparator(separator);
  }
  return true;
}

std::optional<FieldInfoArray> DraftCredits(const EditorDraft& draft, const CCLayout& e) {
  if (!draft.keys) return std::nullopt;
  FieldInfoArray credits{};
  for (std::size_t i = 0; i < e.itemCount(); ++i) {
    const std::string value = KeyValue(*draft.keys, std::string(e.itemKeys()[i]) + ".Credit");
    if (!value.empty() && e.IsAmountItem(static_cast<int>(i))) credits[i] = ParsePositionValue(value);
  }
  return credits;
}

std::optional<AmountStyle> DraftAmounts(const EditorDraft& draft) {
  if (!draft.keys) return std::nullopt;
  const std::string amounts = UpperAscii(KeyValue(*draft.keys, "Amounts"));
  if (amounts == "SIGNED") return AmountStyle::kSigned;
  if (amounts == "SIGNED COMMA") return AmountStyle::kSignedComma;
  return AmountStyle::kAsWritten;
}

bool HoldsDraft(const EditorDraft& draft, const CCLayout& e) {
  for (const auto& [key, f] : draft.positions) {
    if (!f.placed()) continue;
    std::size_t i = 0;
    while (i < e.itemCount() && key != e.itemKeys()[i]) ++i;
    if (i == e.itemCount() || e.fields()[i] != f) return false;
  }
  if (!draft.keys) return true;
  auto wanted = *draft.keys;
  auto held = e.ExtraKeys();
  // The sheet's name is compared without case, as the editor chooses it.
  for (auto* keys : {&wanted, &held}) {
    for (auto& [key, value] : *keys)
      if (key == "Sheet") value = UpperAscii(value);
    std::sort(keys->begin(), keys->end());
  }
  return wanted == held;
}

}  // namespace zephrin
