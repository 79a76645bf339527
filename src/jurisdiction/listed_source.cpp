// ReadListedSource: a comma-separated jurisdiction file in which each record
// line is followed by indented lines, one per jurisdiction and its amount.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "jurisdiction/jur_messages.h"
#include "jurisdiction/logic_imp.h"
#include "platform/text.h"
#include "readers/csv_split.h"
#include "result/result_document.h"

namespace zephrin {
namespace {

// A decimal number as the amounts of a reversed record must be: an optional
// sign, digits with an optional point, an optional exponent. Empty text is 0.
bool ParseAmount(std::string_view text, std::string& buffer, double& value) {
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
  buffer.assign(text);
  value = std::strtod(buffer.c_str(), nullptr);
  return std::isfinite(value);
}

bool IsBlankOrControl(char c) { return static_cast<signed char>(c) <= 32; }

}  // namespace

ReadResult LogicImp::ReadListedSource(const ReadHooks& hooks) {
  // The jurisdiction index table is what every jurisdiction line is read against.
  if (m_tables.index.empty()) return ReadResult::Error(jur::WithSupport(jur::kNotLoadedListed));

  // Each key of the index table gets a dense number (in key order), so that
  // the per-record set and the listed set are arrays, not trees.
  const std::size_t keyCount = m_tables.index.size();
  std::unordered_map<std::string, int32_t> dense;
  dense.reserve(keyCount * 2);
  std::vector<const std::string*> denseKey;
  std::vector<std::string> densePosition;
  denseKey.reserve(keyCount);
  densePosition.reserve(keyCount);
  for (const auto& [key, position] : m_tables.index) {
    dense.emplace(key, static_cast<int32_t>(denseKey.size()));
    denseKey.push_back(&key);
    densePosition.push_back(std::to_string(position));
  }
  const auto findKey = [&](const std::string& key) {
    const auto it = dense.find(key);
    return it == dense.end() ? -1 : it->second;
  };

  // AllListedJurisdictions: the known keys that head indented lines anywhere.
  std::vector<uint8_t> listed(keyCount, 0);
  std::string_view raw;
  bool lineEnd = false;
  // Records list their jurisdictions mostly in the same order: the n-th line
  // of a record usually names what the n-th line of the last record named.
  struct Memo {
    std::string cell;
    int32_t id = -1;
  };
  std::vector<Memo> memo;
  std::size_t slot = 0;
  const auto resolve = [&](std::string_view cell) {
    if (slot < memo.size() && std::string_view(memo[slot].cell) == cell) return memo[slot++].id;
    AssignJurisdictionKey(m_key, cell);
    const int32_t id = findKey(m_key);
    if (slot >= memo.size()) memo.resize(slot + 1);
    memo[slot].cell.assign(cell);
    memo[slot++].id = id;
    return id;
  };

  // The key of every jurisdiction line, in file order, for the data pass.
  std::vector<int32_t> lineKeys;
  if (m_text.rawSize() > 0) {
    m_shape.totalCols = m_shape.categoryCol;
    LineReader lines(m_text, kJurisdictionCsvLineChars);
    while (lines.Next(raw, lineEnd)) {
      if (raw.empty() ? !lineEnd : !IsBlankOrControl(raw[0])) {
        slot = 0;
        continue;
      }
      lineKeys.push_back(-1);
      SplitJurisdictionLine(raw, lineEnd, [&](int, std::string_view cell) {
        const std::string_view text = StripQuotes(JurisdictionCellText(cell, m_cellScratch));
        const int32_t id = resolve(text);
        lineKeys.back() = id;
        if (m_trace && m_trace->on()) {
          AssignJurisdictionKey(m_key, text);
          TraceF("strnode=%s", m_key.c_str());
        }
        if (id >= 0 && !listed[static_cast<std::size_t>(id)]) {
          listed[static_cast<std::size_t>(id)] = 1;
          TraceLine("added to AllListedJurisdictions");
        }
        return false;  // only the first cell matters here
      });
    }
  }
  // Each key's JUR element up to its amount: <JUR id="..." amt="
  std::vector<std::string> jurStart(keyCount);
  for (std::size_t index = 0; index < keyCount; ++index) {
    std::string& start = jurStart[index];
    start = "<JUR id=\"";
    const std::string& key = *denseKey[index];
    if (m_code == Code::AABAL || (m_code == Code::LOGIC && key != "inc" && key != "fran"))
      start += densePosition[index];
    else
      xml::AppendEscaped(start, key, xml::kAttribute);
    start += "\" amt=\"";
  }
  std::vector<int32_t> listedIds;
  for (std::size_t id = 0; id < keyCount; ++id)
    if (listed[id]) listedIds.push_back(static_cast<int32_t>(id));

  // The data document.
  if (m_text.rawSize() == 0) return ReadResult::Empty();
  TraceLine("ReadListedSource: file is open and it isn't empty");
  m_errors.clear();
  if (m_req.rootElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
  XmlStream xml(hooks.sink);
  xml.Direct().Reserve(hooks.sink ? (std::size_t{2} << 20) : m_text.text().size() * 3 + 256);
  StartRoot(xml, m_code == Code::TIBAL || m_code == Code::APPORT, /*listed=*/true);

  // Record line columns.
  static constexpr const char* kPlain[] = {"Type", "Category", "Subcategory"};
  static constexpr const char* kBatch4[] = {"Company_Number", "Type", "Category", "Subcategory"};
  static constexpr const char* kBatch3[] = {"Company_Number", "Type", "Category"};
  const char* const* names = kPlain;
  int32_t nameCount = 3;
  if (m_req.batch) {
    names = m_shape.categoryCol >= 4 ? kBatch4 : kBatch3;
    nameCount = m_shape.categoryCol >= 4 ? 4 : 3;
  }
  const int32_t reverseCol = nameCount;
  const int32_t typeCol = m_req.batch ? 1 : 0;

  Row row;
  bool reverse = false;
  // The per-record set of keys seen: a key is in it when its stamp is the
  // current one; emptying the set is a new stamp.
  std::vector<uint32_t> seen(keyCount, 0);
  uint32_t stamp = 1;
  std::string amountText, numberBuffer, laterScratch;
  char formatted[512];

  const auto zeroFill = [&]() {
    TraceLine("checking on all jurisdictions");
    if (m_code != Code::AABAL) return;
    TraceLine("it is AABAL");
    for (const int32_t id : listedIds) {
      const auto index = static_cast<std::size_t>(id);
      if (m_trace && m_trace->on()) TraceF("Looking for jurisdiction %s", denseKey[index]->c_str());
      if (seen[index] == stamp) continue;
      TraceLine("jur not found");
      xml.Start("JUR");
      xml.Attr("id", densePosition[index]);
      xml.Attr("amt", "0");
      xml.Attr("T", "0");
      xml.End();
    }
  };

  LineReader lines(m_text, kJurisdictionCsvLineChars);
  m_nLine = 0;
  std::size_t nextLineKey = 0;
  bool stop = false;
  ProgressTicker progress(hooks);
  while (!stop && lines.Next(raw, lineEnd)) {
    if (!progress.Tick(lines.offset(), lines.size())) return ReadResult::Error(kCancelledDocument);
    ++m_nLine;
    const bool indented = raw.empty() ? lineEnd : IsBlankOrControl(raw[0]);
    if (!indented) {
      // A record line.
      SplitJurisdictionLine(raw, lineEnd, [&](int col, std::string_view cell) {
        m_field = StripQuotes(JurisdictionCellText(cell, m_cellScratch));
        if (m_trace && m_trace->on())
          TraceF("Delimiter=%d, m_nCategoryCol=%d, data=%.*s", col, m_shape.categoryCol,
                 static_cast<int>(m_field.size()), m_field.data());
        if (col == 0) {
          if (row.jurs) zeroFill();
          EndRecord(xml, row);
          if (m_req.recordElement.empty()) {
            stop = true;
            return false;
          }
          StartRecord(xml, row, m_nLine);
          reverse = false;
        }
        if (col < nameCount) {
          xml.Start(names[col]);
          if (col == typeCol) {
            ++stamp;
            if (const int position = FindCategoryType(m_field)) {
              xml.Attr("ID", jur::Decimal(position).view());
            } else {
              xml.Attr("ID", "0");
              m_scratch.assign("Invalid Type - ");
              xml::AppendEngineEscaped(m_scratch, m_field);
              m_scratch.push_back(' ');
              m_errors.Add(m_nLine, m_scratch);
            }
          }
          xml.Text(m_field, /*engineEscape=*/true);
          xml.End();
          if (!m_field.empty()) ++m_valuesWritten;
        } else if (col == reverseCol) {
          if (m_field == "r" || m_field == "R") reverse = true;
          if (m_trace && m_trace->on())
            TraceF("delimiter=%d, data=%.*s, bReverse=%d", col, static_cast<int>(m_field.size()), m_field.data(),
                   reverse ? 1 : 0);
        }
        return true;
      });
      if (stop) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
      continue;
    }

    // A jurisdiction line. Its JUR is written once the line is read, when
    // its "T" marker is known.
    int32_t keyId = -1;
    const int32_t lineKey = nextLineKey < lineKeys.size() ? lineKeys[nextLineKey++] : -1;
    bool hasAmount = false, total = false;
    std::string_view amount;
    SplitJurisdictionLine(raw, lineEnd, [&](int col, std::string_view cell) {
      if (col == 0) {
        // The key was found in the first pass; the text is needed for a message only.
        const auto text = [&]() { m_field = StripQuotes(JurisdictionCellText(cell, m_cellScratch)); };
        if (!row.open) {
          // Nothing to hold the amount: the file must start with a record line.
          text();
          m_scratch.assign("Jurisdiction before any record line - ");
          xml::AppendEngineEscaped(m_scratch, m_field);
          m_errors.Add(m_nLine, m_scratch);
          return false;
        }
        keyId = lineKey;
        if (keyId < 0) {
          text();
          AddLineError("Invalid", m_nLine);
        } else if (seen[static_cast<std::size_t>(keyId)] == stamp) {
          text();
          AddLineError("Duplicate", m_nLine);
        } else {
          seen[static_cast<std::size_t>(keyId)] = stamp;
        }
        return true;
      }
      if (keyId < 0) return false;
      // The amount may live in the cell scratch until the line ends, so the
      // cells after it are cleaned in a scratch of their own.
      const std::string_view text =
          StripQuotes(JurisdictionCellText(cell, col == 1 ? m_cellScratch : laterScratch));
      if (col == 1) {
        hasAmount = true;
        amount = text;
        if (m_code == Code::LOGIC && !amount.empty()) {
          amountText.assign(amount);
          for (char& c : amountText)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
          if (amountText == "X") amountText = "1";
          else if (amountText == "N") amountText = "2";
          else if (amountText == "D") amountText = "3";
          else if (amountText == "B") amountText = "4";
          amount = amountText;
        }
        if (reverse) {
          double value = 0;
          if (ParseAmount(amount, numberBuffer, value)) {
            const int n = std::snprintf(formatted, sizeof formatted, "%.2f", std::fabs(value));
            if (n > 0 && static_cast<std::size_t>(n) < sizeof formatted) amount = std::string_view(formatted, static_cast<std::size_t>(n));
            TraceLine("bReverse is on");
          } else {
            // A reversed amount must be a number; anything else would turn into 0.00.
            m_scratch.assign("Invalid Amount - ");
            xml::AppendEngineEscaped(m_scratch, amount);
            m_errors.Add(m_nLine, m_scratch);
          }
        }
      } else if (col == 2 && !text.empty()) {
        if (text == "T" || text == "t") total = true;
      }
      return true;
    });
    if (keyId >= 0 && hasAmount) {
      if (!row.jurs) {
        xml.Start("JURS");
        row.jurs = true;
      }
      if (!amount.empty()) ++m_valuesWritten;
      // <JUR id="..." amt="..." T="..."/>, written in one go.
      const std::string& start = jurStart[static_cast<std::size_t>(keyId)];
      const std::string_view end = m_code != Code::AABAL ? "\"/>" : total ? "\" T=\"1\"/>" : "\" T=\"0\"/>";
      TextBuffer& o = xml.Direct();
      char* p = o.Room(start.size() + xml::RoomFor(amount.size()) + end.size());
      p = CopyShort(p, start.data(), start.size());
      p = xml::EscapeInto(p, amount, xml::kAttribute);
      p = CopyShort(p, end.data(), end.size());
      o.Commit(p);
    }
  }

  // The end of the file completes the last record.
  if (row.jurs) {
    TraceLine("check jur at end");
    zeroFill();
  }
  EndRecord(xml, row);

  // The template element, after the last record.
  xml.Start("TMPL");
  if (m_req.batch) {
    xml.Start("TCompany_Number");
    xml.End();
  }
  for (const char* name : {"TType", "TCategory", "TSubcategory"}) {
    xml.Start(name);
    xml.End();
  }
  xml.Start("JURS");
  for (const int32_t id : listedIds) {
    xml.Start("JUR");
    xml.Attr("id", densePosition[static_cast<std::size_t>(id)]);
    xml.Start("Name");
    xml.Text(*denseKey[static_cast<std::size_t>(id)], /*engineEscape=*/false);
    xml.End();
    xml.End();
  }
  xml.EndAll();
  progress.Done(lines.size());
  return Finish(xml, hooks);
}

}  // namespace zephrin
