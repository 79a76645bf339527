// The analysis of a jurisdiction file: its shape (tabular, listed or DIF), how
// many leading columns are descriptive, and its measures.
#include <algorithm>
#include <climits>

#include "jurisdiction/jurisdiction_read.h"
#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"

namespace zephrin {

bool JurisdictionRead::Analyze(SourceShape& shape, ReadResult& failure) {
  m_shape = SourceShape{};
  const FileReadStatus status = m_text.Load(m_req.dataFileOs);
  if (status != FileReadStatus::kOk) {
    TraceLine("AnalyzeSource: can't open the file");
    failure = LoadFailure(m_req.dataFile, status);
    TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_shape.totalCols, m_shape.categoryCol);
    shape = m_shape;
    return false;
  }
  // A file that looked like UTF-16 but is not is refused, as a plain read
  // refuses it: what could be converted of it is no list of amounts.
  if (m_text.invalidUtf16()) {
    failure = ReadResult::Error(
        ErrorDocument::ReaderWith(messages::kNotUtf16Before, m_req.dataFile, messages::kNotUtf16After));
    shape = m_shape;
    return false;
  }
  TraceF("AnalyzeSource: file open - m_nFormat=%d", 0);
  LineReader lines(m_text, kJurisdictionCsvLineChars);
  // A line lasts until the next is read: the first is kept as a copy.
  std::string_view line;
  const std::string first(lines.Next(line) ? TrimRight(line) : std::string_view());
  const bool table = first == "TABLE" && lines.Next(line) && TrimRight(line) == "0,1";
  bool analysed = true;
  if (table) {
    m_shape.layout = JurisdictionShape::kDif;
    TraceLine("AnalyzeSource: Calling AnalyzeDIF");
    analysed = AnalyzeDif();
    if (!analysed) failure = ReadResult::Empty();
  } else {
    AnalyzeLines();
  }
  shape = m_shape;
  return analysed;
}

// The first two rows of a comma-separated file decide the descriptive
// columns; an indented line that names a known jurisdiction makes the file
// listed.
void JurisdictionRead::AnalyzeLines() {
  LineReader lines(m_text, kJurisdictionCsvLineChars);
  std::string_view line;
  bool lineEnd = false;
  int32_t row = 0, col = 0;
  std::string field;
  while (lines.Next(line, lineEnd)) {
    if (line.empty() || line[0] != ' ') {
      ++row;
      col = 0;
      TraceF("AnalyzeSource: nRow=%d, m_nCategoryCol=%d", row, m_shape.categoryCol);
      SplitJurisdictionLine(line, lineEnd, [&](int, std::string_view cell) {
        field.assign(cell);
        HeaderFieldRule(col++, field);
        return true;
      });
      if (row >= 2 && m_shape.categoryCol >= 2) break;
      if (row == 1) continue;
      if (m_traits.code == JurisdictionCode::kApport && m_shape.categoryCol <= 1) break;
      continue;
    }
    if (m_shape.layout == JurisdictionShape::kTabular && KnownListedLine(line))
      m_shape.layout = JurisdictionShape::kListed;
  }
  if (m_shape.layout == JurisdictionShape::kTabular) m_shape.totalCols = col;
  TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_shape.totalCols, m_shape.categoryCol);
}

// Whether an indented line names a known jurisdiction before its first comma.
bool JurisdictionRead::KnownListedLine(std::string_view line) {
  TraceLine("AnalyzeSource: checking for valid jurisdictions if indented");
  std::string key;
  AssignLower(key, Trim(line.substr(0, line.find(','))));
  if (key == "0") key = "00000000";
  TraceF("AnalyzeSource: jurisdiction=%s", key.c_str());
  if (!m_s.provincial) return InIndex(key);
  if (m_traits.code != JurisdictionCode::kCatassn) return m_s.tables.province.count(key) != 0;
  std::string name, kind;
  SplitCatassnKey(key, name, kind);
  return kind == "prov" ? m_s.tables.province.count(name) != 0 : InIndex(name);
}

// The descriptive columns a header (or first data) row tells: its first
// column makes two (three with a company number), a third that names no
// jurisdiction makes three (four).
void JurisdictionRead::HeaderFieldRule(int32_t col, std::string& f) {
  const std::string_view left = TrimLeft(f);
  f.erase(0, f.size() - left.size());
  if (!f.empty()) {
    f.resize(TrimRight(f).size());
    for (char& c : f) c = AsciiLower(c);
  }
  const bool apport = m_traits.code == JurisdictionCode::kApport;
  if (col == 0) {
    m_shape.categoryCol = std::max(m_shape.categoryCol, m_req.batch ? 3 : 2);
    if (apport) m_shape.categoryCol = m_req.batch ? 1 : 0;
  } else if (col == 2) {
    if (f == "0") f = "00000000";
    if (!m_s.provincial && m_traits.code != JurisdictionCode::kTibal && !InIndex(f))
      m_shape.categoryCol = std::max(m_shape.categoryCol, m_req.batch ? 4 : 3);
  }
}

// A DIF file: the header's counts, and its first rows for the descriptive
// columns. False when the header counts no rows or no columns.
bool JurisdictionRead::AnalyzeDif() {
  // The header, up to "DATA", then the value and string lines of "DATA" and
  // the first special item.
  LineReader lines(m_text.text(), kJurisdictionDifLineChars, m_text.hasNul());
  const DifHeader header = ReadDifHeader(lines);
  const auto count = [](long v) { return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX)); };
  int32_t vectors = count(header.columns), tuples = count(header.rows);
  std::string_view raw;
  if (header.sawData) {
    if (header.excel) std::swap(vectors, tuples);
    for (int k = 0; k < 3 && lines.Next(raw); ++k) {
    }
  }
  if (vectors == 0 || tuples == 0) return false;
  m_shape.totalCols = vectors;
  m_shape.totalRows = tuples;
  m_shape.difDataPos = lines.offset();
  int32_t difRow = -1, col = 0;
  std::string field;
  while (lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    field.clear();
    bool cell = false;
    if (line == "BOT") {
      col = 0;
      ++difRow;
    } else if (line == "EOD") {
      break;
    } else if (!line.empty() && line[0] == '0') {
      cell = true;
      if (line.size() > 1 && line[1] == ',') field.assign(line.substr(2));
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (lines.Next(str)) {
        // The line end counts as the line's last character, present or not.
        if (str.size() + 1 < 3) {
          ++col;
        } else {
          std::string_view v = str.substr(1);
          if (!v.empty() && v.front() == '"') v.remove_prefix(1);
          if (!v.empty() && v.back() == '"') v.remove_suffix(1);
          field.assign(v);
          cell = true;
        }
      }
    }
    if (cell && col < m_shape.totalCols) {
      field.erase(0, field.size() - TrimLeft(field).size());
      for (char& c : field)
        if (static_cast<signed char>(c) < 32) c = ' ';
      HeaderFieldRule(col++, field);
    }
    if (difRow > 1 && (m_shape.categoryCol >= 3 ||
                       (m_traits.code == JurisdictionCode::kApport && m_shape.categoryCol >= 1)))
      break;
    if (difRow + 1 == m_shape.totalRows) break;
  }
  return true;
}

}  // namespace zephrin
