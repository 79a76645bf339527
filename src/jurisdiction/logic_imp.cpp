#include "jurisdiction/logic_imp.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "jurisdiction/jur_messages.h"
#include "platform/format.h"
#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/dif_format.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/result_document.h"

namespace zephrin {

// ---- Host settings ------------------------------------------------------------

void LogicImp::FillJurisdictionCaption(std::string_view list) {
  std::string kind;
  if (m_trace && m_trace->on()) {
    TokenizeList(list, [&](int pos, std::string_view token) {
      if (pos == 0) TraceLine("FillJurisdictionCaption: ii=0, strTemp=" + LowerAscii(token));
    });
  }
  if (m_tables.LoadList(list, /*logicSubstitutions=*/true, &kind)) m_bDoingProv = true;
}

bool LogicImp::LessNoCase::operator()(std::string_view a, std::string_view b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

void LogicImp::PutCategoryTypes(std::string_view text) {
  // Kept as the host gives them and compared without regard to case, so a
  // type sent in capitals matches the cell text whatever its case. A type
  // given twice (in any case) keeps its later position.
  TokenizeList(text, [&](int pos, std::string_view token) {
    const auto it = m_categoryTypes.find(token);
    if (it != m_categoryTypes.end()) it->second = pos + 1;
    else m_categoryTypes.emplace(std::string(token), pos + 1);
  });
}

int LogicImp::FindCategoryType(std::string_view text) const {
  const auto it = m_categoryTypes.find(text);
  return it == m_categoryTypes.end() ? 0 : it->second;
}

void LogicImp::SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name) {
  m_strCountryID.assign(id);
  m_strCountryAbbrev = LowerAscii(abbrev);
  m_strCountryName.assign(name);
}

// ---- Helpers ----------------------------------------------------------------------

void LogicImp::TraceF(const char* format, ...) const {
  if (!m_trace || !m_trace->on()) return;
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  m_trace->Line(line);
}

void LogicImp::BeginRead(const JurisdictionRequest& request) {
  m_req = request;
  m_valuesWritten = 0;
  static constexpr std::pair<std::string_view, Code> kCodes[] = {
      {"LOGIC", Code::LOGIC},   {"AABAL", Code::AABAL},   {"TIBAL", Code::TIBAL},     {"APPORT", Code::APPORT},
      {"LOSS", Code::LOSS},     {"CREDIT", Code::CREDIT}, {"AMTACE", Code::AMTACE},   {"CURSTI", Code::CURSTI},
      {"CATASSN", Code::CATASSN}, {"CTPRCN", Code::CTPRCN}};
  m_code = Code::Other;
  for (const auto& [text, code] : kCodes)
    if (m_req.importType == text) m_code = code;
}

ReadResult LogicImp::Read(const JurisdictionRequest& request, const ReadHooks& hooks) {
  BeginRead(request);
  ReadResult result;
  TraceLine("ReadImportFile: calling AnalyzeSource()");
  if (Analyze(m_shape, result) == 0) {
    TraceLine("ReadImportFile: back from AnalyzeSource");
    switch (m_shape.format) {
      case 0: result = ReadTabularSource(hooks); break;
      case 1: result = ReadDIFSource(hooks); break;
      default: result = ReadListedSource(hooks); break;
    }
  }
  // A file that shrank under the read gave zeros for what it lost.
  if (m_text.lost()) result = ChangedFailure(m_req.dataFile);
  m_text = DataText();
  return result;
}

int32_t LogicImp::AnalyzeSource(const JurisdictionRequest& request, SourceShape& shape, ReadResult& failure) {
  BeginRead(request);
  const int32_t result = Analyze(shape, failure);
  m_text = DataText();
  return result;
}

void LogicImp::SplitCatassnKey(std::string_view key, std::string& name, std::string& kind) {
  const std::size_t blank = key.rfind(' ');
  if (blank == std::string_view::npos) {
    name.assign(key);
    kind.clear();
  } else {
    name.assign(key.substr(0, blank));
    kind.assign(key.substr(blank + 1));
  }
  if (name == "all states") name = "allstate";
  if (kind != "prov" && name.size() == 2) name += "000000";
}

// ---- Analysis -----------------------------------------------------------------------

void LogicImp::HeaderFieldRule(int32_t col) {
  std::string& f = m_strField;
  const std::string_view left = TrimLeft(f);
  f.erase(0, f.size() - left.size());
  if (!f.empty()) {
    f.resize(TrimRight(f).size());
    for (char& c : f)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (col == 0) {
    m_shape.categoryCol = std::max(m_shape.categoryCol, m_req.batch ? 3 : 2);
    if (m_code == Code::APPORT) m_shape.categoryCol = m_req.batch ? 1 : 0;
  } else if (col == 2) {
    if (f == "0") f = "00000000";
    if (!m_bDoingProv && m_code != Code::TIBAL && !InIndex(f))
      m_shape.categoryCol = std::max(m_shape.categoryCol, m_req.batch ? 4 : 3);
  }
}

int32_t LogicImp::Analyze(SourceShape& shape, ReadResult& failure) {
  m_shape = SourceShape{};
  m_nDifRow = m_nRow = m_nCol = 0;
  m_loadStatus = m_text.Load(m_req.dataFileOs);
  if (m_loadStatus != FileReadStatus::kOk) {
    TraceLine("AnalyzeSource: can't open the file");
    failure = ReadResult::Error(
        m_loadStatus == FileReadStatus::kTooLarge
            ? ErrorDocument::ReaderWith(messages::kTooLargeBefore, m_req.dataFile, messages::kTooLargeAfter)
            : ErrorDocument::ReaderWith(messages::kOpenBefore, m_req.dataFile, messages::kOpenAfter));
    TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_shape.totalCols, m_shape.categoryCol);
    shape = m_shape;
    return 1;
  }
  TraceF("AnalyzeSource: file open - m_nFormat=%d", m_shape.format);

  LineReader lines(m_text, kJurisdictionCsvLineChars);
  std::string_view first, second;
  lines.Next(first);
  lines.Next(second);
  if (TrimRight(first) == "TABLE" && TrimRight(second) == "0,1") {
    m_shape.format = 1;
    TraceLine("AnalyzeSource: Calling AnalyzeDIF");
    const int32_t result = AnalyzeDIF(m_shape);
    if (result != 0) failure = ReadResult::Empty();
    shape = m_shape;
    return result;
  }

  lines = LineReader(m_text, kJurisdictionCsvLineChars);
  std::string_view line;
  bool lineEnd = false;
  while (lines.Next(line, lineEnd)) {
    const bool indented = !line.empty() && line[0] == ' ';
    if (!indented) {
      ++m_nRow;
      m_nCol = 0;
      TraceF("AnalyzeSource: nRow=%d, m_nCategoryCol=%d", m_nRow, m_shape.categoryCol);
      SplitJurisdictionLine(line, lineEnd, [&](int, std::string_view field) {
        m_strField.assign(field);
        HeaderFieldRule(m_nCol);
        ++m_nCol;
        return true;
      });
      if (m_nRow >= 2 && m_shape.categoryCol >= 2) break;
      if (m_nRow == 1) continue;
      if (m_code == Code::APPORT && m_shape.categoryCol <= 1) break;
      continue;
    }
    if (m_shape.format != 0) continue;
    TraceLine("AnalyzeSource: checking for valid jurisdictions if indented");
    AssignLower(m_strField, Trim(line.substr(0, line.find(','))));
    if (m_strField == "0") m_strField = "00000000";
    TraceF("AnalyzeSource: jurisdiction=%s", m_strField.c_str());
    bool found;
    if (!m_bDoingProv) {
      found = InIndex(m_strField);
    } else if (m_code != Code::CATASSN) {
      found = m_tables.province.count(m_strField) != 0;
    } else {
      SplitCatassnKey(m_strField, m_name, m_kind);
      found = m_kind == "prov" ? m_tables.province.count(m_name) != 0 : InIndex(m_name);
    }
    if (found) m_shape.format = 2;
  }
  if (m_shape.format == 0) m_shape.totalCols = m_nCol;
  TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_shape.totalCols, m_shape.categoryCol);
  shape = m_shape;
  return 0;
}

int32_t LogicImp::AnalyzeDIF(SourceShape& shape) {
  shape.difDataPos = 0;
  // The header, up to "DATA", then the value and string lines of "DATA" and
  // the first special item.
  LineReader lines(m_text, kJurisdictionDifLineChars);
  const DifHeader header = ReadDifHeader(lines);
  const auto count = [](long v) { return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX)); };
  int32_t vectors = count(header.columns), tuples = count(header.rows);
  std::string_view raw;
  if (header.sawData) {
    if (header.excel) std::swap(vectors, tuples);
    for (int k = 0; k < 3 && lines.Next(raw); ++k) {
    }
  }
  if (vectors == 0 || tuples == 0) return 1;
  shape.totalCols = vectors;
  shape.totalRows = tuples;
  shape.difDataPos = lines.offset();
  m_nDifRow = -1;

  while (lines.Next(raw)) {
    const std::string_view line = TrimRight(raw);
    m_strField.clear();
    bool cell = false;
    if (line == "BOT") {
      m_nCol = 0;
      ++m_nDifRow;
    } else if (line == "EOD") {
      break;
    } else if (!line.empty() && line[0] == '0') {
      cell = true;
      if (line.size() > 1 && line[1] == ',') m_strField.assign(line.substr(2));
    } else if (!line.empty() && line[0] == '1') {
      std::string_view str;
      if (lines.Next(str)) {
        // The line end counts as the line's last character, present or not.
        if (str.size() + 1 < 3) {
          ++m_nCol;
        } else {
          std::string_view v = str.substr(1);
          if (!v.empty() && v.front() == '"') v.remove_prefix(1);
          if (!v.empty() && v.back() == '"') v.remove_suffix(1);
          m_strField.assign(v);
          cell = true;
        }
      }
    }
    if (cell && m_nCol < shape.totalCols) {
      const std::string_view left = TrimLeft(m_strField);
      m_strField.erase(0, m_strField.size() - left.size());
      for (char& c : m_strField)
        if (static_cast<signed char>(c) < 32) c = ' ';
      HeaderFieldRule(m_nCol);
      ++m_nCol;
    }
    if (m_nDifRow > 1 && (shape.categoryCol >= 3 || (m_code == Code::APPORT && shape.categoryCol >= 1))) break;
    if (m_nDifRow + 1 == shape.totalRows) break;
  }
  return 0;
}

// ---- Header row --------------------------------------------------------------------

void LogicImp::AddTemplateJur(std::string_view id, std::string_view name) {
  m_tmplHasJurs = true;
  m_tmplJurs.append("<JUR id=\"");
  AppendXmlEscaped(m_tmplJurs, id, true);
  m_tmplJurs.append("\"><Name>");
  AppendXmlEscaped(m_tmplJurs, name, false);
  m_tmplJurs.append("</Name></JUR>");
}

std::string LogicImp::TemplateXml() const {
  if (m_tmplBefore.empty() && !m_tmplHasJurs && m_tmplAfter.empty()) return "<TMPL/>";
  std::string xml = "<TMPL>" + m_tmplBefore;
  if (m_tmplHasJurs) xml += "<JURS>" + m_tmplJurs + "</JURS>";
  xml += m_tmplAfter;
  xml += "</TMPL>";
  return xml;
}

namespace {

// Element name of a descriptive column of a tabular or DIF file; nullptr for a
// jurisdiction column.
const char* DescriptiveName(int32_t col, int32_t k, bool batch, bool prov, std::string_view type) {
  const bool five = type == "LOSS" || type == "CREDIT" || type == "AMTACE" || type == "CURSTI" || type == "CTPRCN";
  const bool subcatTypes = type == "CATASSN" || type == "TIBAL";
  if (col == 0 && k >= 1) {
    if (batch) return "Company_Number";
    if (subcatTypes) return "Subcategory_Description";
    return prov && five ? "Description" : "Type";
  }
  if (col == 1 && k >= 2) {
    if (!batch) {
      if (subcatTypes) return "Subcategory_Code";
      return prov && five ? "Import_Code" : "Category";
    }
    if (type == "TIBAL") return "Subcategory_Description";
    return prov && five ? "Description" : "Type";
  }
  if (col == 2 && k == 3) {
    if (!batch) return "Subcategory";
    if (type == "TIBAL") return "Subcategory_Code";
    if (type == "CURSTI" || type == "CTPRCN") return "Import_Code";
    if (prov && (type == "LOSS" || type == "CREDIT" || type == "AMTACE")) return "Import_Code";
    return "Category";
  }
  if (col == 2 && k == 4) return batch ? "Category" : "Subcategory";
  if (col == 3 && k == 4) return "Subcategory";
  return nullptr;
}

}  // namespace

std::string LogicImp::DataId(const std::string& key) const {
  // A key that no table holds (an accepted country or "federal" column)
  // keeps the key itself as its id.
  const auto number = [&](const std::map<std::string, int32_t, std::less<>>& table, std::string_view k) {
    const auto it = table.find(k);
    return it == table.end() ? key : std::to_string(it->second);
  };
  if (!m_bDoingProv) {
    if (m_code == Code::AABAL || m_code == Code::TIBAL || (m_code == Code::LOGIC && key != "inc" && key != "fran"))
      return number(m_tables.index, key);
    return key;
  }
  if (m_code == Code::CATASSN) {
    std::string name, kind;
    SplitCatassnKey(key, name, kind);
    return kind == "prov" ? number(m_tables.province, name) : number(m_tables.index, name);
  }
  return number(m_tables.province, key);
}

int32_t LogicImp::ColumnHeader(int32_t col) {
  if (col < 0) return 0;
  if (static_cast<std::size_t>(col) >= m_columns.size()) m_columns.resize(static_cast<std::size_t>(col) + 1);
  Column& column = m_columns[static_cast<std::size_t>(col)];
  column = Column{};

  if (const char* name = DescriptiveName(col, m_shape.categoryCol, m_req.batch, m_bDoingProv, m_req.importType)) {
    // Descriptive names begin with a capital and keys are lower-case, so no
    // table holds them: each gets its "T" element in the template.
    column.name = name;
    (m_tmplHasJurs ? m_tmplAfter : m_tmplBefore).append("<T").append(name).append("/>");
    return 0;
  }

  // The key.
  std::string key;
  AssignJurisdictionKey(key, m_field);
  if (m_code == Code::TIBAL && !m_bDoingProv) key += "000000";

  // Is it known?
  bool known = false;
  std::string name, kind;  // parts of a CATASSN key
  if (!m_bDoingProv) {
    if (m_tables.index.empty()) return 2;
    known = InIndex(key);
  } else if (m_code == Code::AMTACE) {
    known = key == "federal" || m_strCountryAbbrev.empty() || key == m_strCountryAbbrev;
  } else if (!(m_code == Code::APPORT && key == "federal")) {
    if (key == "all states") key = "allstate";
    if (m_tables.province.empty()) return 2;
    if (m_code == Code::CATASSN) {
      SplitCatassnKey(key, name, kind);
      if (kind == "prov") {
        known = m_tables.province.count(name) != 0;
      } else {
        if (m_tables.index.empty()) return 2;
        known = InIndex(name);
      }
    } else {
      known = m_tables.province.count(key) != 0;
    }
  }
  const bool country = !m_strCountryAbbrev.empty() && key == m_strCountryAbbrev;

  // Unrecognised headers are reported and their column is skipped.
  if (!known && !country) {
    AddLineError("Invalid", m_nLine);
    return 0;
  }

  // Repeats are reported, and the column stays in use.
  const bool catassnProv = m_bDoingProv && m_code == Code::CATASSN;
  auto& dups = !m_bDoingProv || (catassnProv && kind != "prov") ? m_stateDups : m_provDups;
  if (!dups.insert(key).second && !country && !catassnProv) AddLineError("Duplicate", m_nLine);

  // The column map.
  column.name = key;
  column.jurisdiction = true;
  column.countryKey = country;
  column.id = DataId(key);
  AppendXmlEscaped(column.idXml, column.id, true);
  if (m_code == Code::CATASSN) {
    column.typXml = " typ=\"";
    AppendXmlEscaped(column.typXml, key, true);
    column.typXml.push_back('"');
  }
  column.tailXml = "\" id=\"" + column.idXml + "\"" + column.typXml + "/>";

  // The template entry.
  const std::map<std::string, int32_t, std::less<>>* table = &m_tables.index;
  std::string_view lookup = key;
  if (m_bDoingProv) {
    table = &m_tables.province;
    if (m_code == Code::CATASSN) {
      lookup = name;
      if (kind != "prov") table = &m_tables.index;
    }
  }
  const auto found = table->find(lookup);
  if (country) {
    m_bCountryColumn = true;
    AddTemplateJur(m_strCountryID, key);
  } else if (found != table->end()) {
    AddTemplateJur(jur::Decimal(found->second).view(), key);
  } else {
    const std::string element = "T" + key;
    if (!IsValidXmlName(element)) return 1;
    (m_tmplHasJurs ? m_tmplAfter : m_tmplBefore).append("<").append(element).append("/>");
  }
  return 0;
}

void LogicImp::AddLineError(std::string_view message, int32_t line) {
  m_scratch.assign(message);
  m_scratch.append(" Jurisdiction - ");
  xml::AppendEngineEscaped(m_scratch, m_field);
  m_errors.Add(line, m_scratch);
}

void LogicImp::ResetHeader() {
  m_stateDups.clear();
  m_provDups.clear();
  m_errors.clear();
  m_tmplBefore.clear();
  m_tmplJurs.clear();
  m_tmplAfter.clear();
  m_tmplHasJurs = false;
  m_columns.clear();
}

ReadResult LogicImp::Finish(XmlStream& xml, const ReadHooks& hooks) {
  if (!m_errors.empty()) return ReadResult::Error(m_errors.Document());
  ReadResult result;
  result.outcome = ReadOutcome::kDocument;
  result.text = xml.Take();
  result.valuesWritten = m_valuesWritten;
  if (hooks.sink) result.text = TextBuffer();
  return result;
}

}  // namespace zephrin
