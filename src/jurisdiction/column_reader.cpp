// The tabular and DIF shapes of a jurisdiction file: the first row is a header
// row that names each column (a descriptive value, or a jurisdiction); every
// further row is a record, its descriptive cells as elements and each
// jurisdiction column's cell as a JUR amount.
#include "jur_messages.h"
#include "jurisdiction/jurisdiction_read.h"
#include "platform/text.h"
#include "readers/plain_reader.h"

namespace zephrin {

namespace {

using J = JurisdictionCode;

// The element name of a descriptive column of a tabular or DIF file (`k`
// descriptive columns); nullptr for a jurisdiction column.
const char* DescriptiveName(int32_t col, int32_t k, bool batch, bool prov, const JurisdictionTraits& t) {
  const bool provincialNames = prov && t.provincialNames;
  if (col == 0 && k >= 1) {
    if (batch) return "Company_Number";
    if (t.subcategoryNames) return "Subcategory_Description";
    return provincialNames ? "Description" : "Type";
  }
  if (col == 1 && k >= 2) {
    if (!batch) {
      if (t.subcategoryNames) return "Subcategory_Code";
      return provincialNames ? "Import_Code" : "Category";
    }
    if (t.code == J::kTibal) return "Subcategory_Description";
    return provincialNames ? "Description" : "Type";
  }
  if (col == 2 && k == 3) {
    if (!batch) return "Subcategory";
    if (t.code == J::kTibal) return "Subcategory_Code";
    if (t.code == J::kCursti || t.code == J::kCtprcn) return "Import_Code";
    if (provincialNames) return "Import_Code";
    return "Category";
  }
  if (col == 2 && k == 4) return batch ? "Category" : "Subcategory";
  if (col == 3 && k == 4) return "Subcategory";
  return nullptr;
}

}  // namespace

ReadResult JurisdictionRead::ReadColumns(RowSource& source, bool dif, const ReadHooks& hooks) {
  // A tabular file that is empty gives an empty text.
  if (!dif && m_text.rawSize() == 0) return ReadResult::Empty();
  if (dif)
    TraceF("ReadDIFSource: m_nTotalCols=%d, m_nTotalRows=%d, m_nCategoryCol=%d", m_shape.totalCols,
           m_shape.totalRows, m_shape.categoryCol);
  else
    TraceF("ReadTabularSource: file is open and it isn't empty. ImportType=%s", m_req.importType.c_str());
  if (m_req.rootElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
  m_xml.Reserve(hooks.sink ? (std::size_t{2} << 20) : m_text.rawSize() * (dif ? 1 : 4) + 256);
  StartRoot(dif ? JurisdictionShape::kDif : JurisdictionShape::kTabular);

  Record record;
  bool templateWritten = false;
  ProgressTicker progress(hooks);
  Row row;
  while (source.Next(row)) {
    if (!progress.Tick(source)) return CancelledRead();
    m_nLine = row.index;
    if (row.index == 1) {
      // The header row names the columns.
      for (const Cell& cell : row.cells) {
        m_field = cell.text;
        const Header header = ColumnHeader(static_cast<int32_t>(cell.column));
        if (header == Header::kBadName) return ReadResult::Error(jur::WithSupport(jur::kInternal));
        if (header == Header::kNoTable) return ReadResult::Error(jur::WithSupport(jur::kNotLoaded));
      }
      m_headerCells = row.cells.size();
      continue;
    }
    // A DIF cell is whole: only commas split a line's amounts.
    if (!dif) m_splitWatch.Line(row.index, row.cells.size(), row.cells);
    if (!templateWritten) WriteTemplate();
    templateWritten = true;
    EndRecord(record);
    if (m_req.recordElement.empty()) return ReadResult::Error(jur::Message(jur::kCannotDetermine));
    StartRecord(record, row.index);
    for (const Cell& cell : row.cells) {
      m_field = cell.text;
      DataCell(record, static_cast<int32_t>(cell.column), cell.text, dif, ReadableFrom(row.buffer, cell.text));
    }
    if (m_beyondHeaderLine == 0) NoteValueBeyondHeader(row);
  }
  if (m_nLine >= 1 && !templateWritten) WriteTemplate();
  EndRecord(record);
  return Finish(progress, source);
}

// A value in a column past the header's last, which no column takes (a comma
// inside an amount splits it, and the amounts after it move one column on):
// the read says where. The row's cells are in column order, so only its
// last ones need a look.
void JurisdictionRead::NoteValueBeyondHeader(const Row& row) {
  for (auto cell = row.cells.rbegin(); cell != row.cells.rend() && cell->column >= m_columns.size(); ++cell) {
    if (cell->text.empty()) continue;
    m_beyondHeaderLine = row.index;
    return;
  }
}

// ---- The header row ------------------------------------------------------------------

JurisdictionRead::Header JurisdictionRead::ColumnHeader(int32_t col) {
  if (col < 0) return Header::kDone;
  if (static_cast<std::size_t>(col) >= m_columns.size()) m_columns.resize(static_cast<std::size_t>(col) + 1);
  Column& column = m_columns[static_cast<std::size_t>(col)];
  column = Column{};
  if (const char* name = DescriptiveName(col, m_shape.categoryCol, m_req.batch, m_s.provincial, m_traits)) {
    // Descriptive names begin with a capital and keys are lower-case, so no
    // table holds them: each gets its "T" element in the template.
    column.name = name;
    column.tag = XmlTag(name);
    AddTemplateName(name);
    return Header::kDone;
  }
  std::string key;
  AssignJurisdictionKey(key, m_field);
  if (m_traits.code == J::kTibal && !m_s.provincial) key += "000000";
  return JurisdictionHeader(column, std::move(key));
}

// A jurisdiction column: its key is looked up in the table of the mode and
// the import type; an unknown or repeated one is reported.
JurisdictionRead::Header JurisdictionRead::JurisdictionHeader(Column& column, std::string key) {
  bool known = false;
  std::string name, kind;  // parts of a CATASSN key
  if (!m_s.provincial) {
    if (m_s.tables.index.empty()) return Header::kNoTable;
    known = InIndex(key);
  } else if (m_traits.code == J::kAmtace) {
    known = key == "federal" || m_s.countryAbbrev.empty() || key == m_s.countryAbbrev;
  } else if (!(m_traits.code == J::kApport && key == "federal")) {
    if (key == "all states") key = "allstate";
    if (m_s.tables.province.empty()) return Header::kNoTable;
    if (m_traits.code == J::kCatassn) {
      SplitCatassnKey(key, name, kind);
      if (kind != "prov" && m_s.tables.index.empty()) return Header::kNoTable;
      known = kind == "prov" ? m_s.tables.province.count(name) != 0 : InIndex(name);
    } else {
      known = m_s.tables.province.count(key) != 0;
    }
  }
  const bool country = !m_s.countryAbbrev.empty() && key == m_s.countryAbbrev;
  // Unrecognised headers are reported and their column is skipped.
  if (!known && !country) {
    AddLineError("Invalid", m_nLine);
    return Header::kDone;
  }
  // Repeats are reported, and the column stays in use.
  const bool catassnProv = m_s.provincial && m_traits.code == J::kCatassn;
  auto& dups = !m_s.provincial || (catassnProv && kind != "prov") ? m_stateDups : m_provDups;
  if (!dups.insert(key).second && !country && !catassnProv) AddLineError("Duplicate", m_nLine);

  column.name = key;
  column.jurisdiction = true;
  column.countryKey = country;
  column.id = DataId(key);
  if (m_traits.code == J::kCatassn) column.typ = key;
  if (column.typ.empty())
    column.jur = m_xml.PrepareEmpty(m_jurTag, {}, "amt", {{"id", column.id}});
  else
    column.jur = m_xml.PrepareEmpty(m_jurTag, {}, "amt", {{"id", column.id}, {"typ", column.typ}});

  // The template entry: the jurisdiction with its number, or a "T" element
  // for an accepted key no table holds.
  const std::map<std::string, int32_t, std::less<>>* table = &m_s.tables.index;
  std::string_view lookup = key;
  if (m_s.provincial) {
    table = &m_s.tables.province;
    if (m_traits.code == J::kCatassn) {
      lookup = name;
      if (kind != "prov") table = &m_s.tables.index;
    }
  }
  const auto found = table->find(lookup);
  if (country) {
    m_s.countryColumn = true;
    AddTemplateJur(m_s.countryId, key);
  } else if (found != table->end()) {
    AddTemplateJur(jur::Decimal(found->second).view(), key);
  } else {
    const std::string element = "T" + key;
    if (!IsValidXmlName(element)) return Header::kBadName;
    AddTemplateName(key);
  }
  return Header::kDone;
}

// The "id" of a column's JUR elements: the number its table gives the key;
// a key no table holds (an accepted country or "federal" column) keeps the
// key itself.
std::string JurisdictionRead::DataId(const std::string& key) const {
  const auto number = [&](const std::map<std::string, int32_t, std::less<>>& table, std::string_view k) {
    const auto it = table.find(k);
    return it == table.end() ? key : std::to_string(it->second);
  };
  if (!m_s.provincial) {
    if (m_traits.code == J::kAabal || m_traits.code == J::kTibal ||
        (m_traits.code == J::kLogic && key != "inc" && key != "fran"))
      return number(m_s.tables.index, key);
    return key;
  }
  if (m_traits.code == J::kCatassn) {
    std::string name, kind;
    SplitCatassnKey(key, name, kind);
    return kind == "prov" ? number(m_s.tables.province, name) : number(m_s.tables.index, name);
  }
  return number(m_s.tables.province, key);
}

// ---- The template element ----------------------------------------------------------

void JurisdictionRead::AddTemplateName(std::string_view name) {
  // After the first jurisdiction, other entries follow the JURS list.
  XmlWriter& part = m_tmplJurs.bufferSize() != 0 ? m_tmplAfter : m_tmplBefore;
  part.Element(part.Tag("T" + std::string(name)), {}, xml::kText);
}

void JurisdictionRead::AddTemplateJur(std::string_view id, std::string_view name) {
  m_tmplJurs.Start(m_jurTag);
  m_tmplJurs.Attr("id", id);
  m_tmplJurs.Start(m_nameTag);
  m_tmplJurs.Text(name, xml::kText);
  m_tmplJurs.End();
  m_tmplJurs.End();
}

void JurisdictionRead::WriteTemplate() {
  m_xml.Start(m_tmplTag);
  m_xml.Append(m_tmplBefore);
  if (m_tmplJurs.bufferSize() != 0) {
    m_xml.Start(m_jursTag);
    m_xml.Append(m_tmplJurs);
    m_xml.End();
  }
  m_xml.Append(m_tmplAfter);
  m_xml.End();
}

// ---- Data rows ---------------------------------------------------------------------

void JurisdictionRead::DataCell(Record& record, int32_t col, std::string_view cell, bool dif, std::size_t readable) {
  const int32_t k = m_shape.categoryCol;
  if (dif) {
    // A DIF record has a JURS only once a jurisdiction cell holds something.
    if (cell.empty()) return;
    if (col >= k) OpenJurs(record);
  } else if (col == k) {
    m_xml.Start(m_jursTag);
    record.jurs = true;
  }
  if (col < 0 || static_cast<std::size_t>(col) >= m_columns.size()) return;
  const Column& column = m_columns[static_cast<std::size_t>(col)];
  if (column.name.empty()) return;
  if (!column.jurisdiction) {
    m_xml.Start(column.tag);
    if (col == (m_req.batch ? 1 : 0) && !m_s.provincial && m_traits.categoryLookup) CategoryAttribute(cell);
    m_xml.Text(cell, xml::kTextTwice);
    m_xml.End();
    if (!cell.empty()) ++m_valuesWritten;
    return;
  }
  OpenJurs(record);
  std::string_view amount = cell;
  if (m_traits.code == J::kLogic && !m_s.provincial && !cell.empty()) amount = LogicCode(cell);
  if (!amount.empty()) ++m_valuesWritten;
  // The country column gives its amount once a record, under the country's ID.
  if (m_s.provincial && m_traits.code != J::kCatassn && column.countryKey && m_s.countryColumn &&
      !record.countryUsed) {
    record.countryUsed = true;
    m_xml.EmptyElement(m_jurTag, {{"amt", amount}, {"id", m_s.countryId}});
    return;
  }
  // A host code's amount lies elsewhere than the cell.
  m_xml.EmptyElement(column.jur, amount, amount.data() == cell.data() ? readable : 0);
}

void JurisdictionRead::CategoryAttribute(std::string_view cell) {
  if (const int position = m_s.FindCategoryType(cell)) {
    m_xml.Attr("ID", jur::Decimal(position).view());
  } else {
    m_xml.Attr("ID", "0");
    AddLineError("Invalid", m_nLine);
  }
}

}  // namespace zephrin
