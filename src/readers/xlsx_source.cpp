// An .xlsx (or .xlsm) workbook: xl/workbook.xml names the sheets in order,
// its relationships (xl/_rels/workbook.xml.rels) give each sheet's part and
// those of the shared strings and the styles. The styles tell which cells
// show dates; the shared strings are read whole into one buffer; the sheet
// is streamed, a row at a time.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/workbook_kinds.h"
#include "readers/workbook_values.h"
#include "readers/workbook_zip.h"

namespace zephrin::workbook {

namespace {

Error Invalid(std::string reason) { return Error{ErrorCode::kInvalid, std::move(reason)}; }

bool ParseUnsigned(std::string_view text, uint64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// A relationship's target as a part name: relative to xl/ unless it starts
// at the root, its "." and ".." steps resolved.
std::string PartOfTarget(std::string_view target) {
  std::string joined = target.starts_with('/') ? std::string(target.substr(1)) : "xl/" + std::string(target);
  std::vector<std::string_view> steps;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
  }
  std::string part;
  for (const std::string_view step : steps) {
    if (!part.empty()) part += '/';
    part.append(step);
  }
  return part;
}

// The column of a cell reference's letters ("A1" -> 0; some writers use
// small letters, "a1"), and whether the reference is one of the grid's cells.
bool ColumnOfReference(std::string_view ref, uint32_t& column) {
  std::size_t i = 0;
  uint64_t c = 0;
  for (char letter; i < ref.size() && i < 4 && (letter = AsciiUpper(ref[i])) >= 'A' && letter <= 'Z'; ++i)
    c = c * 26 + static_cast<uint64_t>(letter - 'A' + 1);
  uint64_t row = 0;
  if (i == 0 || c > kMaxColumns || !ParseUnsigned(ref.substr(i), row) || row == 0 || row > kMaxRows) return false;
  column = static_cast<uint32_t>(c - 1);
  return true;
}

std::string ColumnName(uint32_t column) {
  std::string name;
  for (uint32_t c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
  return name;
}

// ---- xl/workbook.xml ------------------------------------------------------------

struct SheetEntry {
  std::string name;  // engine text
  std::string relation;
};

class WorkbookPart : public XmlHandler {
 public:
  std::vector<SheetEntry> sheets;
  bool date1904 = false;

  void Start(const char* name, const char** attributes) override {
    if (std::strcmp(name, "workbookPr") == 0) {
      const char* d = Attribute(attributes, "date1904");
      date1904 = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
    } else if (std::strcmp(name, "sheet") == 0) {
      const char* sheetName = Attribute(attributes, "name");
      const char* id = Attribute(attributes, "id");
      sheets.push_back({Utf8ToAnsi(sheetName ? sheetName : ""), id ? id : ""});
    }
  }
  void End(const char*) override {}
  void Text(const char*, int) override {}
};

// ---- xl/_rels/workbook.xml.rels ---------------------------------------------------

class Relationships : public XmlHandler {
 public:
  std::unordered_map<std::string, std::string> parts;  // by relationship id
  std::unordered_map<std::string, bool> chartSheets;    // by relationship id: a chart sheet's
  std::string sharedStrings, styles;

  void Start(const char* name, const char** attributes) override {
    if (std::strcmp(name, "Relationship") != 0) return;
    const char* id = Attribute(attributes, "Id");
    const char* target = Attribute(attributes, "Target");
    const char* mode = Attribute(attributes, "TargetMode");
    if (!id || !target || (mode && std::strcmp(mode, "External") == 0)) return;
    std::string part = PartOfTarget(target);
    const std::string_view type = Attribute(attributes, "Type") ? Attribute(attributes, "Type") : "";
    if (type.ends_with("/sharedStrings")) sharedStrings = part;
    if (type.ends_with("/styles")) styles = part;
    if (type.ends_with("/chartsheet")) chartSheets.emplace(id, true);
    parts.emplace(id, std::move(part));
  }
  void End(const char*) override {}
  void Text(const char*, int) override {}
};

// ---- xl/styles.xml ----------------------------------------------------------------

// The number shape of each cell format (a cell's "s" attribute is its index).
class Styles : public XmlHandler {
 public:
  std::vector<NumberShape> Shapes() const {
    std::vector<NumberShape> shapes;
    shapes.reserve(m_formatOfXf.size());
    for (const unsigned id : m_formatOfXf) {
      const auto custom = m_custom.find(id);
      shapes.push_back(custom != m_custom.end() ? custom->second : ShapeOfBuiltInFormat(id));
    }
    return shapes;
  }

  void Start(const char* name, const char** attributes) override {
    uint64_t id = 0;
    const char* idText = Attribute(attributes, "numFmtId");
    const bool hasId = idText && ParseUnsigned(idText, id) && id <= 0xFFFF;
    if (std::strcmp(name, "numFmt") == 0 && hasId) {
      const char* code = Attribute(attributes, "formatCode");
      m_custom[static_cast<unsigned>(id)] = ShapeOfFormatCode(code ? code : "");
    } else if (std::strcmp(name, "cellXfs") == 0) {
      m_inCellXfs = true;
    } else if (m_inCellXfs && std::strcmp(name, "xf") == 0) {
      m_formatOfXf.push_back(hasId ? static_cast<unsigned>(id) : 0);
    }
  }
  void End(const char* name) override {
    if (std::strcmp(name, "cellXfs") == 0) m_inCellXfs = false;
  }
  void Text(const char*, int) override {}

 private:
  std::unordered_map<unsigned, NumberShape> m_custom;
  std::vector<unsigned> m_formatOfXf;
  bool m_inCellXfs = false;
};

// ---- xl/sharedStrings.xml ----------------------------------------------------------

// The shared strings, finished as cell texts, in one buffer.
class SharedStrings : public XmlHandler {
 public:
  std::size_t count() const { return m_starts.size(); }
  std::string_view at(std::size_t i) const {
    const std::size_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_text.size();
    return std::string_view(m_text).substr(m_starts[i], end - m_starts[i]);
  }

  void Start(const char* name, const char**) override {
    if (std::strcmp(name, "si") == 0) {
      m_inItem = true;
      m_item.clear();
    } else if (std::strcmp(name, "rPh") == 0) {
      ++m_phonetic;
    } else if (m_inItem && m_phonetic == 0 && std::strcmp(name, "t") == 0) {
      m_collect = true;
    }
  }
  void End(const char* name) override {
    if (std::strcmp(name, "t") == 0) {
      m_collect = false;
    } else if (std::strcmp(name, "rPh") == 0) {
      if (m_phonetic > 0) --m_phonetic;
    } else if (std::strcmp(name, "si") == 0 && m_inItem) {
      // A string's runs are joined; its phonetic reading is left out.
      m_inItem = false;
      const std::size_t start = m_text.size();
      AppendEngineText(m_text, m_item, true);
      FinishCell(m_text, start);
      m_starts.push_back(start);
    }
  }
  void Text(const char* text, int length) override {
    // A string's text is cut at kCellChars characters once finished, and no
    // character comes from more than seven bytes (an "_xHHHH_" escape): what
    // lies past eight bytes a character cannot change it, and is not held,
    // so that one huge string costs no more memory than a cell.
    constexpr std::size_t kHeld = 8 * kCellChars;
    if (m_collect && m_item.size() < kHeld)
      m_item.append(text, std::min(static_cast<std::size_t>(length), kHeld - m_item.size()));
  }

 private:
  std::string m_text;
  std::vector<std::size_t> m_starts;
  std::string m_item;
  bool m_inItem = false, m_collect = false;
  int m_phonetic = 0;
};

// ---- The sheet ---------------------------------------------------------------------

enum class CellType : uint8_t { kNumber, kShared, kInline, kFormulaText, kBoolean, kErrorText, kIsoDate };

CellType TypeOf(const char* t) {
  if (!t) return CellType::kNumber;
  const std::string_view type = t;
  if (type == "s") return CellType::kShared;
  if (type == "inlineStr") return CellType::kInline;
  if (type == "str") return CellType::kFormulaText;
  if (type == "b") return CellType::kBoolean;
  if (type == "e") return CellType::kErrorText;
  if (type == "d") return CellType::kIsoDate;
  return CellType::kNumber;
}

// An ISO 8601 date and time ("2024-03-31T14:05:00") as a serial day of the
// 1900 system; false when it is none.
bool SerialOfIsoDate(std::string_view text, double& serial) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const auto num = [&](std::size_t at, std::size_t n, unsigned& v) {
    if (text.size() < at + n) return false;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + n, v);
    return ec == std::errc() && end == text.data() + at + n;
  };
  if (!num(0, 4, y) || text.size() < 10 || text[4] != '-' || !num(5, 2, mo) || text[7] != '-' || !num(8, 2, d))
    return false;
  if (text.size() >= 19 && text[10] == 'T' && !(num(11, 2, h) && num(14, 2, mi) && num(17, 2, s))) return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1900) return false;
  // Days from 1899-12-30 (the count from 1970 of the civil date, moved).
  const int yy = static_cast<int>(mo <= 2 ? y - 1 : y);
  const int era = yy / 400;
  const unsigned yoe = static_cast<unsigned>(yy - era * 400);
  const unsigned doy = (153 * (mo > 2 ? mo - 3 : mo + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = static_cast<int64_t>(era) * 146097 + doe - 719468 + 25569;
  serial = static_cast<double>(days < 61 ? days - 1 : days) + (h * 3600 + mi * 60 + s) / 86400.0;
  return true;
}

class XlsxSheetSource : public WorkbookSource, private XmlHandler {
 public:
  XlsxSheetSource(ZipArchive archive, std::string displayName) : m_archive(std::move(archive)), m_display(std::move(displayName)) {}

  // Reads the workbook's parts the sheet needs and opens the sheet.
  Done Prepare(const Relationships& relations, const std::string& sheetPart, bool date1904);

  bool Next(Row& row) override;
  std::size_t consumed() const override { return static_cast<std::size_t>(m_stream->entry().consumed()); }
  std::size_t size() const override {
    return static_cast<std::size_t>(std::max(m_stream->entry().size(), m_stream->entry().consumed()));
  }
  int templateColumns() const override { return m_rows.templateColumns(); }
  UncomputedFormulas uncomputedFormulas() const override { return m_uncomputed; }

 private:
  void Start(const char* name, const char** attributes) override;
  void End(const char* name) override;
  void Text(const char* text, int length) override {
    if (m_collect) m_value.append(text, static_cast<std::size_t>(length));
  }
  void StartRow(const char** attributes);
  void StartCell(const char** attributes);
  void EndCell();
  // Appends the cell's value as text; true when it is written as a number.
  bool AppendValue(std::string& out);

  ZipArchive m_archive;
  std::string m_display;
  SharedStrings m_strings;
  std::vector<NumberShape> m_shapes;
  bool m_date1904 = false;
  std::unique_ptr<XmlStream> m_stream;
  RowAssembler m_rows;
  bool m_done = false;

  // Where the parse is.
  bool m_inData = false, m_inRow = false, m_inCell = false, m_inInline = false, m_collect = false;
  int m_phonetic = 0;
  uint64_t m_lastRow = 0;   // the sheet row of the last row element
  uint32_t m_nextColumn = 0;
  // The cell under way.
  uint32_t m_column = 0;
  CellType m_type = CellType::kNumber;
  NumberShape m_shape = NumberShape::kPlain;
  std::string m_value;
  // The cell has a formula, and a value (its result, or inline text).
  bool m_formula = false, m_valued = false;
  UncomputedFormulas m_uncomputed;
};

Done XlsxSheetSource::Prepare(const Relationships& relations, const std::string& sheetPart, bool date1904) {
  m_date1904 = date1904;
  // The parts of strings and styles are where the relationships say, or
  // where writers put them.
  const auto partOf = [&](const std::string& named, const char* usual) {
    return !named.empty() ? named : (m_archive.Has(usual) ? std::string(usual) : std::string());
  };
  if (const std::string styles = partOf(relations.styles, "xl/styles.xml"); !styles.empty()) {
    Styles handler;
    if (Done parsed = ParsePart(m_archive, styles, handler); !parsed) return parsed;
    m_shapes = handler.Shapes();
  }
  if (const std::string strings = partOf(relations.sharedStrings, "xl/sharedStrings.xml"); !strings.empty())
    if (Done parsed = ParsePart(m_archive, strings, m_strings); !parsed) return parsed;
  auto entry = ZipEntry::Open(m_archive, sheetPart);
  if (!entry) return entry.TakeError();
  m_stream = std::make_unique<XmlStream>(std::move(*entry), static_cast<XmlHandler&>(*this));
  return {};
}

bool XlsxSheetSource::Next(Row& row) {
  while (!m_failure) {
    if (m_rows.Give(row, m_printableOnly)) {
        if (row.index < m_beginRow) continue;
        return true;
      }
    if (m_done) return false;
    const Expected<bool> more = m_stream->Run();
    if (!more) m_failure = Unreadable(m_display, more.error());
    else if (!*more) m_done = true;
  }
  return false;
}

void XlsxSheetSource::Start(const char* name, const char** attributes) {
  if (m_inCell) {
    if (std::strcmp(name, "v") == 0) {
      m_collect = m_valued = true;
    } else if (std::strcmp(name, "f") == 0) {
      m_formula = true;
    } else if (std::strcmp(name, "is") == 0) {
      m_inInline = m_valued = true;
    } else if (std::strcmp(name, "rPh") == 0) {
      ++m_phonetic;
    } else if (m_inInline && m_phonetic == 0 && std::strcmp(name, "t") == 0) {
      m_collect = true;
    }
  } else if (m_inRow && std::strcmp(name, "c") == 0) {
    StartCell(attributes);
  } else if (m_inData && std::strcmp(name, "row") == 0) {
    StartRow(attributes);
  } else if (std::strcmp(name, "sheetData") == 0) {
    m_inData = true;
  }
}

void XlsxSheetSource::End(const char* name) {
  if (m_inCell) {
    if (std::strcmp(name, "c") == 0) {
      EndCell();
    } else if (std::strcmp(name, "v") == 0 || std::strcmp(name, "t") == 0) {
      m_collect = false;
    } else if (std::strcmp(name, "is") == 0) {
      m_inInline = false;
    } else if (std::strcmp(name, "rPh") == 0 && m_phonetic > 0) {
      --m_phonetic;
    }
  } else if (m_inRow && std::strcmp(name, "row") == 0) {
    m_inRow = false;
    // A row that holds a value is handed over before the parse goes on.
    if (m_rows.EndRow()) m_stream->Suspend();
  } else if (std::strcmp(name, "sheetData") == 0) {
    m_inData = false;
  }
}

void XlsxSheetSource::StartRow(const char** attributes) {
  uint64_t number = m_lastRow + 1;
  if (const char* r = Attribute(attributes, "r"); r && (!ParseUnsigned(r, number) || number == 0 || number > kMaxRows))
    return m_stream->Abort("the sheet's row " + Shown(r) + " is outside the grid");
  if (number > kMaxRows) return m_stream->Abort("the sheet has rows past the grid's last");
  if (number <= m_lastRow)
    return m_stream->Abort("the sheet's row " + std::to_string(number) + " comes after row " + std::to_string(m_lastRow));
  m_lastRow = number;
  m_rows.BeginRow(static_cast<int32_t>(number - 1));
  m_nextColumn = 0;
  m_inRow = true;
}

void XlsxSheetSource::StartCell(const char** attributes) {
  const char* r = nullptr;
  const char* t = nullptr;
  const char* s = nullptr;
  for (const char** a = attributes; *a; a += 2) {
    if ((*a)[0] == '\0' || (*a)[1] != '\0') continue;
    if ((*a)[0] == 'r') r = a[1];
    else if ((*a)[0] == 't') t = a[1];
    else if ((*a)[0] == 's') s = a[1];
  }
  uint32_t column = m_nextColumn;
  if (r && !ColumnOfReference(r, column)) return m_stream->Abort("the cell reference " + Shown(r) + " is outside the grid");
  if (column >= kMaxColumns) return m_stream->Abort("the sheet has cells past the grid's last column");
  if (column < m_nextColumn)
    return m_stream->Abort("the sheet's cell " + ColumnName(column) + std::to_string(m_lastRow) + " is out of order");
  m_nextColumn = column + 1;
  m_column = column;
  m_type = TypeOf(t);
  // A cell without a style has the first.
  uint64_t style = 0;
  if (s && !ParseUnsigned(s, style)) style = m_shapes.size();
  m_shape = style < m_shapes.size() ? m_shapes[style] : NumberShape::kPlain;
  m_value.clear();
  m_inCell = true;
  m_formula = m_valued = false;
}

void XlsxSheetSource::EndCell() {
  m_inCell = m_collect = m_inInline = false;
  m_phonetic = 0;
  // A formula's result is its value; only a text result may be empty (a
  // program that does not compute formulas writes none, or an empty one).
  if (m_formula && (!m_valued || (m_type != CellType::kFormulaText && Trim(m_value).empty())) &&
      TakesCell(static_cast<int64_t>(m_lastRow) - 1, m_column) && ++m_uncomputed.cells == 1)
    m_uncomputed.first = ColumnName(m_column) + std::to_string(m_lastRow);
  if (m_type == CellType::kShared) {
    uint64_t index = 0;
    if (Trim(m_value).empty())
      return m_stream->Abort("the cell " + ColumnName(m_column) + std::to_string(m_lastRow) +
                             " is a shared string cell that names no shared string");
    if (!ParseUnsigned(Trim(m_value), index) || index >= m_strings.count())
      return m_stream->Abort("the cell " + ColumnName(m_column) + std::to_string(m_lastRow) + " refers to shared string " +
                             Shown(Trim(m_value)) + ", which is not there");
    return m_rows.AddHeldCell(m_column, m_strings.at(index));
  }
  std::string& text = m_rows.text();
  const std::size_t start = text.size();
  const bool number = AppendValue(text);
  FinishCell(text, start);
  m_rows.AddOwnCell(m_column, start, number);
}

bool XlsxSheetSource::AppendValue(std::string& out) {
  const std::string_view value = Trim(m_value);
  switch (m_type) {
    case CellType::kInline: case CellType::kFormulaText: return AppendEngineText(out, m_value, true), false;
    case CellType::kErrorText: return AppendEngineText(out, value), false;
    case CellType::kBoolean:
      if (value == "1" || value == "0") return out.append(value == "1" ? "TRUE" : "FALSE"), false;
      return AppendEngineText(out, value), false;
    case CellType::kIsoDate: {
      double serial = 0;
      if (SerialOfIsoDate(value, serial) &&
          AppendSerial(out, serial, m_shape == NumberShape::kPlain ? NumberShape::kDate : m_shape, false))
        return false;
      return AppendEngineText(out, value), false;
    }
    case CellType::kNumber: case CellType::kShared: break;
  }
  if (value.empty()) return false;
  double number = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(number))
    return AppendEngineText(out, value), false;
  if (m_shape != NumberShape::kPlain && AppendSerial(out, number, m_shape, m_date1904)) return false;
  AppendNumber(out, number);
  return true;
}

// The workbook's sheets and date system.
Expected<WorkbookPart> ReadWorkbookPart(const ZipArchive& archive) {
  WorkbookPart workbook;
  if (Done parsed = ParsePart(archive, "xl/workbook.xml", workbook); !parsed) return parsed.TakeError();
  return workbook;
}

}  // namespace

Expected<std::unique_ptr<WorkbookSource>> OpenXlsx(const std::string& osPath, std::string_view displayName,
                                                   std::string_view sheet) {
  auto archive = ZipArchive::Open(osPath);
  if (!archive) return Unreadable(displayName, archive.error());
  auto workbook = ReadWorkbookPart(*archive);
  if (!workbook) return Unreadable(displayName, workbook.error());
  std::vector<std::string> names;
  for (const SheetEntry& s : workbook->sheets) names.push_back(s.name);
  const int found = FindSheet(names, sheet);
  if (found < 0) {
    if (sheet.empty()) return Unreadable(displayName, Invalid("it holds no sheet"));
    return NoSheet(displayName, sheet);
  }
  Relationships relations;
  if (Done parsed = ParsePart(*archive, "xl/_rels/workbook.xml.rels", relations); !parsed)
    return Unreadable(displayName, parsed.error());
  const SheetEntry& chosen = workbook->sheets[static_cast<std::size_t>(found)];
  const auto part = relations.parts.find(chosen.relation);
  if (part == relations.parts.end())
    return Unreadable(displayName, Invalid("the part of the sheet " + Shown(chosen.name) + " is not named"));
  // A chart sheet holds a chart, no cells: read as a sheet it would give no rows.
  if (relations.chartSheets.count(chosen.relation) != 0)
    return Unreadable(displayName, Invalid("its sheet " + Shown(chosen.name) + " is a chart sheet, which holds no cells"));
  auto source = std::make_unique<XlsxSheetSource>(std::move(*archive), std::string(displayName));
  if (Done ready = source->Prepare(relations, part->second, workbook->date1904); !ready)
    return Unreadable(displayName, ready.error());
  return std::unique_ptr<WorkbookSource>(std::move(source));
}

Expected<std::vector<std::string>> XlsxSheets(const std::string& osPath, std::string_view displayName) {
  auto archive = ZipArchive::Open(osPath);
  if (!archive) return Unreadable(displayName, archive.error());
  auto workbook = ReadWorkbookPart(*archive);
  if (!workbook) return Unreadable(displayName, workbook.error());
  std::vector<std::string> names;
  for (SheetEntry& s : workbook->sheets) names.push_back(std::move(s.name));
  return names;
}

}  // namespace zephrin::workbook
