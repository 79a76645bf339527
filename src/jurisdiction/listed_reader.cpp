// The listed shape of a jurisdiction file: each record line is followed by
// indented lines, one per jurisdiction, each naming it and giving its amount
// (and "T" for a total). A record line's fourth cell "R" reverses the
// record's amounts (their absolute values with two decimals).
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "jurisdiction/jur_messages.h"
#include "jurisdiction/jurisdiction_read.h"
#include "jurisdiction/jurisdiction_sources.h"
#include "platform/text.h"
#include "readers/plain_reader.h"

namespace zephrin {

namespace {

// A decimal number as the amounts of a reversed record must be: an optional
// sign, digits with an optional point, an optional exponent. Empty text is 0.
bool ParseAmount(std::string_view text, double& value) {
  value = 0;
  if (text.empty()) return true;
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponent;
    if (exponent == 0) return false;
  }
  if (i != text.size()) return false;
  value = std::strtod(std::string(text).c_str(), nullptr);
  return std::isfinite(value);
}

}  // namespace

// The key of each jurisdiction line of a record. Records list their
// jurisdictions mostly in the same order: the n-th line of a record usually
// names what the n-th line of the last record named, so that line's text and
// key are kept by slot and compared first.
class ListedKeyMemo {
 public:
  void NextRecord() { m_slot = 0; }
  // The dense number of the key `text` names; -1 when no table holds it.
  int32_t Find(std::string_view text, const std::unordered_map<std::string, int32_t>& dense) {
    const std::size_t slot = m_slot++;
    if (slot < m_memo.size() && Same(m_memo[slot].first, text)) [[likely]]
      return m_memo[slot].second;
    return Learn(slot, text, dense);
  }

 private:
  // Looks the key up and keeps it in its slot (out of line: the usual find
  // then saves no registers).
  [[gnu::noinline]] int32_t Learn(std::size_t slot, std::string_view text,
                                  const std::unordered_map<std::string, int32_t>& dense) {
    AssignJurisdictionKey(m_key, text);
    const auto it = dense.find(m_key);
    const int32_t id = it == dense.end() ? -1 : it->second;
    if (slot >= m_memo.size()) m_memo.resize(slot + 1);
    m_memo[slot] = {std::string(text), id};
    return id;
  }

  // Keys are a few letters: compared in line, byte by byte.
  static bool Same(const std::string& kept, std::string_view text) {
    if (kept.size() != text.size()) return false;
    if (text.size() > 16) return kept == text;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (kept[i] != text[i]) return false;
    return true;
  }

  std::vector<std::pair<std::string, int32_t>> m_memo;
  std::size_t m_slot = 0;
  std::string m_key;
};

// The keys of the index table, numbered densely (in key order) so that the
// sets of a read are arrays, not trees.
struct JurisdictionRead::ListedKeys {
  std::unordered_map<std::string, int32_t> dense;
  std::vector<const std::string*> key;
  std::vector<std::string> position;  // the key's position, as decimal text
  std::vector<std::string> id;        // the "id" of its JUR elements
  std::vector<uint8_t> listed;        // named by an indented line anywhere in the file
  std::vector<int32_t> listedIds;
  // The key's JUR element, with the amount to fill in: not a total, and a total.
  std::vector<std::array<XmlWriter::EmptyPattern, 2>> jur;
  // The keys a record has listed: those whose stamp is the record's.
  std::vector<uint32_t> seen;
  uint32_t stamp = 1;
  bool reverse = false;
};

// A jurisdiction line: its amount for the record above, under the key's id.
// The source numbers a line's cells 0, 1, 2, ...: the key, the amount, and
// "T" for a total. It is compiled into the reading loop; its errors, which
// name the line's key, are out of line.
[[gnu::always_inline]] inline void JurisdictionRead::JurisdictionLine(const Row& row, Record& record,
                                                                       ListedKeys& keys, int32_t lineKey) {
  const std::vector<Cell>& cells = row.cells;
  if (cells.empty()) return;
  if (!record.open || lineKey < 0) [[unlikely]] {
    UnplacedLine(cells[0].text, record.open);
    return;
  }
  uint32_t& seen = keys.seen[static_cast<std::size_t>(lineKey)];
  if (seen == keys.stamp) [[unlikely]]
    KeyError("Duplicate", cells[0].text);
  else
    seen = keys.stamp;
  if (cells.size() < 2) return;
  std::string_view amount = cells[1].text;
  const bool total = cells.size() > 2 && (cells[2].text == "T" || cells[2].text == "t");
  if (cells.size() > 2 && !total) [[unlikely]]
    NoteListedSplit(row);
  if (keys.reverse || m_traits.code == JurisdictionCode::kLogic) [[unlikely]]
    amount = AdjustedAmount(amount, keys.reverse);
  OpenJurs(record);
  if (!amount.empty()) ++m_valuesWritten;
  m_xml.EmptyElement(keys.jur[static_cast<std::size_t>(lineKey)][total ? 1 : 0], amount, ReadableFrom(row.buffer, amount));
}

// A jurisdiction line whose amount runs on into the cell where a total's
// "T" goes ("  AL,1,234.50"): thousands commas split it, and only its first
// digits are read.
void JurisdictionRead::NoteListedSplit(const Row& row) {
  const std::span<const Cell> cells(row.cells);
  std::string amount = JoinedSplitAmount(cells.subspan(1));
  if (amount.empty()) return;
  m_listedSplits.usualFields = 2;
  if (m_listedSplits.lines.size() >= SplitAmountWatch::kMaxListed) {
    ++m_listedSplits.more;
    return;
  }
  m_listedSplits.lines.push_back({row.index, cells.size(), std::move(amount)});
}

// A jurisdiction line with nothing to hold its amount (the file must start
// with a record line), or with a key the index table does not know.
void JurisdictionRead::UnplacedLine(std::string_view key, bool recordOpen) {
  if (recordOpen) {
    KeyError("Invalid", key);
    return;
  }
  m_scratch.assign("Jurisdiction before any record line - ");
  xml::AppendEngineEscaped(m_scratch, key);
  m_errors.Add(m_nLine, m_scratch);
}

void JurisdictionRead::KeyError(std::string_view message, std::string_view key) {
  m_field = key;
  AddLineError(message, m_nLine);
}

ReadResult JurisdictionRead::ReadListed(const ReadHooks& hooks) {
  // The jurisdiction index table is what every jurisdiction line is read against.
  if (m_s.tables.index.empty()) return ReadResult::Error(jur::WithSupport(jur::kNotLoadedListed));
  ListedKeys keys;
  FindListedKeys(keys);
  PrepareListedElements(keys);
  if (m_text.rawSize() == 0) return ReadResult::Empty();
  TraceLine("ReadListedSource: file is open and it isn't empty");
  m_errors.clear();
  if (m_req.rootElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
  m_xml.Reserve(hooks.sink ? (std::size_t{2} << 20) : m_text.rawSize() * 3 + 256);
  StartRoot(JurisdictionShape::kListed);

  Record record;
  JurisdictionLineSource source(m_text);
  ProgressTicker progress(hooks);
  ListedKeyMemo memo;
  Row row;
  while (source.Next(row)) {
    if (!progress.Tick(source)) return CancelledRead();
    m_nLine = row.index;
    if (!row.continuation) {
      memo.NextRecord();
      if (!RecordLine(row, record, keys)) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
      continue;
    }
    const int32_t lineKey = row.cells.empty() ? -1 : memo.Find(row.cells[0].text, keys.dense);
    JurisdictionLine(row, record, keys, lineKey);
  }
  // The end of the file completes the last record.
  if (record.jurs) {
    TraceLine("check jur at end");
    ZeroFill(keys);
  }
  EndRecord(record);
  WriteListedTemplate(keys);
  return Finish(progress, source);
}

// The first pass: which known keys head indented lines anywhere (they make
// the template's list), and the key of every indented line.
void JurisdictionRead::FindListedKeys(ListedKeys& keys) {
  const std::size_t count = m_s.tables.index.size();
  keys.dense.reserve(count * 2);
  for (const auto& [key, position] : m_s.tables.index) {
    keys.dense.emplace(key, static_cast<int32_t>(keys.key.size()));
    keys.key.push_back(&key);
    keys.position.push_back(std::to_string(position));
    const bool numbered = m_traits.code == JurisdictionCode::kAabal ||
                          (m_traits.code == JurisdictionCode::kLogic && key != "inc" && key != "fran");
    keys.id.push_back(numbered ? keys.position.back() : key);
  }
  keys.listed.assign(count, 0);
  keys.seen.assign(count, 0);
  if (m_text.rawSize() == 0) return;
  m_shape.totalCols = m_shape.categoryCol;
  ListedKeyMemo memo;
  std::string key;
  JurisdictionLineSource source(m_text, /*maxCells=*/1);
  Row row;
  // Once every key of the table is listed, the rest of the file can add
  // nothing (unless the trace tells of every line): the pass ends there.
  std::size_t listed = 0;
  const bool traced = m_trace && m_trace->on();
  while ((listed < count || traced) && source.Next(row)) {
    if (!row.continuation) {
      memo.NextRecord();
      continue;
    }
    if (row.cells.empty()) continue;
    const std::string_view text = row.cells[0].text;
    const int32_t id = memo.Find(text, keys.dense);
    if (traced) {
      AssignJurisdictionKey(key, text);
      TraceF("strnode=%s", key.c_str());
    }
    if (id >= 0 && !keys.listed[static_cast<std::size_t>(id)]) {
      keys.listed[static_cast<std::size_t>(id)] = 1;
      ++listed;
      TraceLine("added to AllListedJurisdictions");
    }
  }
  for (std::size_t id = 0; id < count; ++id)
    if (keys.listed[id]) keys.listedIds.push_back(static_cast<int32_t>(id));
}

// A record line: the record's descriptive cells (the type with its
// position among the category types), and whether it is reversed. False
// when no record element is known.
bool JurisdictionRead::RecordLine(const Row& row, Record& record, ListedKeys& keys) {
  static const XmlTag kPlain[] = {XmlTag("Type"), XmlTag("Category"), XmlTag("Subcategory")};
  static const XmlTag kBatch[] = {XmlTag("Company_Number"), XmlTag("Type"), XmlTag("Category"), XmlTag("Subcategory")};
  const XmlTag* names = m_req.batch ? kBatch : kPlain;
  const uint32_t nameCount = m_req.batch && m_shape.categoryCol < 4 ? 3 : m_req.batch ? 4 : 3;
  const uint32_t typeCol = m_req.batch ? 1 : 0;
  for (const Cell& cell : row.cells) {
    m_field = cell.text;
    if (m_trace && m_trace->on())
      TraceF("Delimiter=%u, m_nCategoryCol=%d, data=%.*s", cell.column, m_shape.categoryCol,
             static_cast<int>(m_field.size()), m_field.data());
    if (cell.column == 0) {
      if (record.jurs) ZeroFill(keys);
      EndRecord(record);
      if (m_req.recordElement.empty()) return false;
      StartRecord(record, m_nLine);
      keys.reverse = false;
    }
    if (cell.column < nameCount) {
      m_xml.Start(names[cell.column]);
      if (cell.column == typeCol) {
        ++keys.stamp;
        if (const int position = m_s.FindCategoryType(m_field)) {
          m_xml.Attr("ID", jur::Decimal(position).view());
        } else {
          m_xml.Attr("ID", "0");
          m_scratch.assign("Invalid Type - ");
          xml::AppendEngineEscaped(m_scratch, m_field);
          m_scratch.push_back(' ');
          m_errors.Add(m_nLine, m_scratch);
        }
      }
      m_xml.Text(m_field, xml::kTextTwice);
      m_xml.End();
      if (!m_field.empty()) ++m_valuesWritten;
    } else if (cell.column == nameCount) {
      if (m_field == "r" || m_field == "R") keys.reverse = true;
      if (m_trace && m_trace->on())
        TraceF("delimiter=%u, data=%.*s, bReverse=%d", cell.column, static_cast<int>(m_field.size()), m_field.data(),
               keys.reverse ? 1 : 0);
    }
  }
  return true;
}

// An amount as a logic read writes it (a logic code), and as a reversed
// record writes it: its absolute value with two decimals. A reversed amount
// must be a number; anything else is reported and written as it stands.
std::string_view JurisdictionRead::AdjustedAmount(std::string_view amount, bool reverse) {
  if (m_traits.code == JurisdictionCode::kLogic && !amount.empty()) amount = LogicCode(amount);
  if (!reverse) return amount;
  double value = 0;
  if (!ParseAmount(amount, value)) {
    std::string message = "Invalid Amount - ";
    xml::AppendEngineEscaped(message, amount);
    m_errors.Add(m_nLine, message);
    return amount;
  }
  char formatted[512];
  const int n = std::snprintf(formatted, sizeof formatted, "%.2f", std::fabs(value));
  TraceLine("bReverse is on");
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof formatted) return amount;
  m_amount.assign(formatted, static_cast<std::size_t>(n));
  return m_amount;
}

// The JUR elements of every key: an AABAL one says whether it is a total.
void JurisdictionRead::PrepareListedElements(ListedKeys& keys) {
  const bool aabal = m_traits.code == JurisdictionCode::kAabal;
  keys.jur.resize(keys.id.size());
  for (std::size_t i = 0; i < keys.id.size(); ++i) {
    for (const int total : {0, 1}) {
      if (aabal)
        keys.jur[i][total] = m_xml.PrepareEmpty(m_jurTag, {{"id", keys.id[i]}}, "amt", {{"T", total ? "1" : "0"}});
      else
        keys.jur[i][total] = m_xml.PrepareEmpty(m_jurTag, {{"id", keys.id[i]}}, "amt", {});
    }
  }
}

// An AABAL record that lists jurisdictions gets a zero amount for each
// jurisdiction any record lists and it does not.
void JurisdictionRead::ZeroFill(ListedKeys& keys) {
  TraceLine("checking on all jurisdictions");
  if (m_traits.code != JurisdictionCode::kAabal) return;
  TraceLine("it is AABAL");
  const bool traced = m_trace && m_trace->on();
  for (const int32_t id : keys.listedIds) {
    const auto index = static_cast<std::size_t>(id);
    if (traced) TraceF("Looking for jurisdiction %s", keys.key[index]->c_str());
    if (keys.seen[index] == keys.stamp) continue;
    TraceLine("jur not found");
    // An AABAL key's id is its position.
    m_xml.EmptyElement(keys.jur[index][0], "0");
  }
}

// The template element, after the last record: the descriptive columns and
// every jurisdiction the file lists.
void JurisdictionRead::WriteListedTemplate(const ListedKeys& keys) {
  m_xml.Start(m_tmplTag);
  if (m_req.batch) m_xml.Element(m_xml.Tag("TCompany_Number"), {}, xml::kText);
  for (const char* name : {"TType", "TCategory", "TSubcategory"}) m_xml.Element(m_xml.Tag(name), {}, xml::kText);
  m_xml.Start(m_jursTag);
  for (const int32_t id : keys.listedIds) {
    m_xml.Start(m_jurTag);
    m_xml.Attr("id", keys.position[static_cast<std::size_t>(id)]);
    m_xml.Start(m_nameTag);
    m_xml.Text(*keys.key[static_cast<std::size_t>(id)], xml::kText);
    m_xml.End();
    m_xml.End();
  }
}

}  // namespace zephrin
