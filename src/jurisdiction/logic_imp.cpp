#include "jurisdiction/logic_imp.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "jurisdiction/jur_messages.h"
#include "jurisdiction/jur_text.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "readers/dif_format.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "result/result_document.h"

namespace zephrin {

// ---- Host settings ------------------------------------------------------------

void LogicImp::FillJurisdictionCaption(std::string_view list) {
  std::string kind;
  if (m_trace) {
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
  if (!m_trace) return;
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  m_trace(line);
}

bool LogicImp::LoadSource() {
  if (m_loaded) return true;
  m_loadStatus = LoadJurisdictionSource(m_strImportFileOs, m_text, m_rawSize);
  m_loaded = m_loadStatus == LoadStatus::kLoaded;
  return m_loaded;
}

void LogicImp::ReleaseSource() {
  std::string().swap(m_text);
  m_rawSize = 0;
  m_loaded = false;
}

void LogicImp::BeginRead() {
  static constexpr std::pair<std::string_view, Code> kCodes[] = {
      {"LOGIC", Code::LOGIC},   {"AABAL", Code::AABAL},   {"TIBAL", Code::TIBAL},     {"APPORT", Code::APPORT},
      {"LOSS", Code::LOSS},     {"CREDIT", Code::CREDIT}, {"AMTACE", Code::AMTACE},   {"CURSTI", Code::CURSTI},
      {"CATASSN", Code::CATASSN}, {"CTPRCN", Code::CTPRCN}};
  m_code = Code::Other;
  for (const auto& [text, code] : kCodes)
    if (m_strImportType == text) m_code = code;
}

void LogicImp::SetMessage(std::string document) {
  m_strResult = std::move(document);
  ReleaseSource();
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
    m_nCategoryCol = std::max(m_nCategoryCol, m_bDoingBatch ? 3 : 2);
    if (m_code == Code::APPORT) m_nCategoryCol = m_bDoingBatch ? 1 : 0;
  } else if (col == 2) {
    if (f == "0") f = "00000000";
    if (!m_bDoingProv && m_code != Code::TIBAL && !InIndex(f))
      m_nCategoryCol = std::max(m_nCategoryCol, m_bDoingBatch ? 4 : 3);
  }
}

int32_t LogicImp::AnalyzeSource() {
  BeginRead();
  m_nCategoryCol = m_nTotalCols = m_nTotalRows = m_nDifRow = m_nRow = m_nFormat = 0;
  m_nCol = 0;
  m_loaded = false;
  if (!LoadSource()) {
    TraceLine("AnalyzeSource: can't open the file");
    m_strResult = m_loadStatus == LoadStatus::kTooLarge
                      ? ErrorDocument::ReaderWith(messages::kTooLargeBefore, m_strImportFile, messages::kTooLargeAfter)
                      : ErrorDocument::ReaderWith(messages::kOpenBefore, m_strImportFile, messages::kOpenAfter);
    TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_nTotalCols, m_nCategoryCol);
    return 1;
  }
  TraceF("AnalyzeSource: file open - m_nFormat=%d", m_nFormat);

  JurLineSource lines(m_text, kJurCsvLineChars);
  std::string_view first, second;
  lines.Next(first);
  lines.Next(second);
  if (TrimRight(first) == "TABLE" && TrimRight(second) == "0,1") {
    m_nFormat = 1;
    TraceLine("AnalyzeSource: Calling AnalyzeDIF");
    return AnalyzeDIF();
  }

  lines = JurLineSource(m_text, kJurCsvLineChars);
  std::string_view line;
  bool lineEnd = false;
  while (lines.Next(line, lineEnd)) {
    const bool indented = !line.empty() && line[0] == ' ';
    if (!indented) {
      ++m_nRow;
      m_nCol = 0;
      TraceF("AnalyzeSource: nRow=%d, m_nCategoryCol=%d", m_nRow, m_nCategoryCol);
      SplitCells(Mutable(line), line.size(), lineEnd, /*replaceControls=*/false, [&](int, std::string_view field) {
        m_strField.assign(field);
        HeaderFieldRule(m_nCol);
        ++m_nCol;
        return true;
      });
      if (m_nRow >= 2 && m_nCategoryCol >= 2) break;
      if (m_nRow == 1) continue;
      if (m_code == Code::APPORT && m_nCategoryCol <= 1) break;
      continue;
    }
    if (m_nFormat != 0) continue;
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
    if (found) m_nFormat = 2;
  }
  if (m_nFormat == 0) m_nTotalCols = m_nCol;
  TraceF("AnalyzeSource: m_nTotalCols=%d, m_nCategoryCol=%d", m_nTotalCols, m_nCategoryCol);
  return 0;
}

int32_t LogicImp::AnalyzeDIF() {
  m_nDifDataPos = 0;

  // The header, up to "DATA", read as the plain DIF reader reads it. Its lines
  // are short, so the plain readers' longer line buffer makes no difference
  // there (and the text's line ends are already what that source expects).
  LineSource headerLines(m_text);
  const DifHeader header = ReadDifHeader(headerLines);
  const auto count = [](long v) { return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX)); };
  int32_t vectors = count(header.columns), tuples = count(header.rows);
  JurLineSource lines(m_text, kJurDifLineChars, headerLines.offset());
  std::string_view raw;
  if (header.sawData) {
    // The value and string lines of "DATA" and the first special item.
    if (header.excel) std::swap(vectors, tuples);
    for (int k = 0; k < 3 && lines.Next(raw); ++k) {
    }
  }
  if (vectors == 0 || tuples == 0) return 1;
  m_nTotalCols = vectors;
  m_nTotalRows = tuples;
  m_nDifDataPos = lines.offset();
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
    if (cell && m_nCol < m_nTotalCols) {
      const std::string_view left = TrimLeft(m_strField);
      m_strField.erase(0, m_strField.size() - left.size());
      for (char& c : m_strField)
        if (static_cast<signed char>(c) < 32) c = ' ';
      HeaderFieldRule(m_nCol);
      ++m_nCol;
    }
    if (m_nDifRow > 1 && (m_nCategoryCol >= 3 || (m_code == Code::APPORT && m_nCategoryCol >= 1))) break;
    if (m_nDifRow + 1 == m_nTotalRows) break;
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

  if (const char* name = DescriptiveName(col, m_nCategoryCol, m_bDoingBatch, m_bDoingProv, m_strImportType)) {
    // Descriptive names begin with a capital and keys are lower-case, so no
    // table holds them: each gets its "T" element in the template.
    column.name = name;
    (m_tmplHasJurs ? m_tmplAfter : m_tmplBefore).append("<T").append(name).append("/>");
    return 0;
  }

  // 1. The key.
  std::string key;
  AssignJurisdictionKey(key, m_field);
  if (m_code == Code::TIBAL && !m_bDoingProv) key += "000000";

  // 2. Is it known?
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

  // 3. Unrecognised headers are reported and their column is skipped.
  if (!known && !country) {
    AddLineError("Invalid", m_nLine);
    return 0;
  }

  // 4. Repeats are reported, and the column stays in use.
  const bool catassnProv = m_bDoingProv && m_code == Code::CATASSN;
  auto& dups = !m_bDoingProv || (catassnProv && kind != "prov") ? m_stateDups : m_provDups;
  if (!dups.insert(key).second && !country && !catassnProv) AddLineError("Duplicate", m_nLine);

  // 5. The column map.
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

  // 6. The template entry.
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
  AppendEngineEscaped(m_scratch, m_field);
  m_errors.Add(line, m_scratch);
}

void LogicImp::FinishResult(std::string& data) {
  m_strErrors = m_errors.Document();
  m_strResult = m_strErrors.empty() ? std::move(data) : m_strErrors;
  ReleaseSource();
}

}  // namespace zephrin
