// One read of a jurisdiction data file: made for the read and dropped after
// it, so that nothing of one read can point into another's memory. It uses
// the settings the host gave the reader (its lists' tables, the category
// types, the country of operation), and changes nothing of them but the
// country column flag, which lasts from read to read.
//
// A read runs in two steps: the analysis tells the file's shape (tabular,
// listed or DIF) and how many leading columns are descriptive; then the
// shape's reader writes the document. Line errors gather in an error
// document (Error/Err entries with a Line attribute), which the read returns
// instead of the records when it holds anything. Element texts carry the
// engine's own escaping, so a cell A&B is written as A&amp;amp;B, as the
// plain readers write it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/jurisdiction_tables.h"
#include "catalogue/read_traits.h"
#include "platform/expected.h"
#include "platform/trace.h"
#include "readers/data_text.h"
#include "readers/row_source.h"
#include "readers/split_amounts.h"
#include "result/error_document.h"
#include "result/read_result.h"
#include "result/xml_writer.h"

namespace zephrin {

// Longest ID and more-information text the reader's fields hold.
inline constexpr std::size_t kJurFieldChars = 19;

// What the service hands the reader for one read (engine text).
struct JurisdictionRequest {
  std::string dataFile;    // the data file path, for messages
  std::string dataFileOs;  // the same path as the file system takes it
  std::string importType;  // host code
  int16_t currentYear = 0;
  bool batch = false;
  std::string rootElement, recordElement;
  std::string id;        // at most kJurFieldChars characters
  std::string moreInfo;  // at most kJurFieldChars characters; kept, not read
};

// What the analysis found.
struct SourceShape {
  JurisdictionShape layout = JurisdictionShape::kTabular;
  int32_t categoryCol = 0;  // leading descriptive columns
  int32_t totalCols = 0;
  int32_t totalRows = 0;
  std::size_t difDataPos = 0;  // offset of the first "BOT" of a DIF file
};

// The settings the host gives the jurisdiction reader once, kept for the
// service object's life.
struct JurisdictionSettings {
  // Category types keep the host's text and are compared without regard to case.
  struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  JurisdictionTables tables;
  std::map<std::string, int, LessNoCase> categoryTypes;
  bool provincial = false;       // a province list was loaded (the host never takes one back)
  bool countryColumn = false;    // a header equal to the country abbreviation was accepted (read to read)
  std::string countryId, countryAbbrev, countryName;

  // Position of a category type (without regard to case); 0 when unknown.
  int FindCategoryType(std::string_view text) const;
};

class JurisdictionRead {
 public:
  JurisdictionRead(JurisdictionSettings& settings, const Tracer* trace, const JurisdictionRequest& request);
  JurisdictionRead(const JurisdictionRead&) = delete;
  JurisdictionRead& operator=(const JurisdictionRead&) = delete;

  // The analysis: the file's shape, or the outcome that ends the read (the
  // file cannot be opened: its error document; a DIF header without counts:
  // an empty text).
  [[nodiscard]] bool Analyze(SourceShape& shape, ReadResult& failure);
  // The whole read: the analysis and the reader of the file's shape.
  ReadResult Run(const ReadHooks& hooks);

 private:
  // What a header row made of one column.
  struct Column {
    XmlTag tag;               // a descriptive column's element
    std::string name;         // element name, or jurisdiction key; empty: skipped
    std::string id;           // "id" of the column's JUR elements
    std::string typ;          // a CATASSN column's "typ": its key
    XmlWriter::EmptyPattern jur;  // its JUR element, with the amount to fill in
    bool jurisdiction = false;
    bool countryKey = false;  // the key equals the country abbreviation
  };
  // State of the record being written.
  struct Record {
    bool open = false;
    bool jurs = false;
    bool countryUsed = false;
  };
  // Header results.
  enum class Header { kDone, kBadName, kNoTable };

  void TraceLine(std::string_view line) const {
    if (m_trace) m_trace->Line(line);
  }
  void TraceF(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  // ---- Analysis (source_analysis.cpp) ------------------------------------------
  void AnalyzeLines();
  bool AnalyzeDif();
  void HeaderFieldRule(int32_t col, std::string& field);
  bool KnownListedLine(std::string_view line);
  bool InIndex(std::string_view key) const { return m_s.tables.index.count(key) != 0; }

  // ---- Tabular and DIF shapes (column_reader.cpp) ------------------------------------
  ReadResult ReadColumns(RowSource& source, bool dif, const ReadHooks& hooks);
  Header ColumnHeader(int32_t col);
  Header JurisdictionHeader(Column& column, std::string key);
  void AddTemplateJur(std::string_view id, std::string_view name);
  void AddTemplateName(std::string_view name);
  void WriteTemplate();
  // `readable`: how far the cell's buffer may be read from the cell's start.
  void DataCell(Record& record, int32_t col, std::string_view cell, bool dif, std::size_t readable);
  void CategoryAttribute(std::string_view cell);
  void NoteValueBeyondHeader(const Row& row);
  std::string DataId(const std::string& key) const;

  // ---- Listed shape (listed_reader.cpp) --------------------------------------------
  ReadResult ReadListed(const ReadHooks& hooks);
  struct ListedKeys;
  void FindListedKeys(ListedKeys& keys);
  void PrepareListedElements(ListedKeys& keys);
  bool RecordLine(const Row& row, Record& record, ListedKeys& keys);
  void JurisdictionLine(const Row& row, Record& record, ListedKeys& keys, int32_t lineKey);
  [[gnu::noinline]] void UnplacedLine(std::string_view key, bool recordOpen);
  [[gnu::noinline]] void KeyError(std::string_view message, std::string_view key);
  std::string_view AdjustedAmount(std::string_view amount, bool reverse);
  void ZeroFill(ListedKeys& keys);
  void WriteListedTemplate(const ListedKeys& keys);

  // ---- Records and the outcome (jurisdiction_read.cpp) ------------------------------
  void StartRoot(JurisdictionShape shape);
  void StartRecord(Record& record, int32_t line);
  void EndRecord(Record& record);
  // Opens the record's JURS element before its first amount.
  void OpenJurs(Record& record) {
    if (record.jurs) return;
    m_xml.Start(m_jursTag);
    record.jurs = true;
  }
  // Appends an Err entry "<message> Jurisdiction - <current field text>".
  void AddLineError(std::string_view message, int32_t line);
  // A logic code as the documents carry it: upper case, and X, N, D, B as
  // 1 to 4 (held in m_scratch).
  std::string_view LogicCode(std::string_view cell);
  ReadResult Finish(ProgressTicker& progress, const RowSource& source);
  static void SplitCatassnKey(std::string_view key, std::string& name, std::string& kind);

  JurisdictionSettings& m_s;
  const Tracer* m_trace;
  JurisdictionRequest m_req;
  const JurisdictionTraits& m_traits;
  DataText m_text;
  SourceShape m_shape;

  XmlWriter m_xml;
  XmlTag m_record, m_jursTag{"JURS"}, m_jurTag{"JUR"}, m_nameTag{"Name"}, m_tmplTag{"TMPL"};
  int32_t m_nLine = 0;        // line (or DIF row) of the read
  std::string_view m_field;   // the current cell's text
  std::vector<Column> m_columns;
  // The first line with a value in a column past the header row's last,
  // which no column takes (0: none).
  int32_t m_beyondHeaderLine = 0;
  // Amounts that thousands commas split into two cells or more: the lines of
  // a tabular file with more cells than its header row names, and listed
  // lines whose amount runs on into the cell after it.
  SplitAmountWatch m_splitWatch;
  std::size_t m_headerCells = 0;
  SplitAmounts m_listedSplits;
  void NoteListedSplit(const Row& row);
  std::set<std::string, std::less<>> m_stateDups, m_provDups;
  // The template element: children before its JURS, the JURS content, children after.
  XmlWriter m_tmplBefore, m_tmplJurs, m_tmplAfter;
  ErrorEntries m_errors;      // Err entries of the error document
  std::size_t m_valuesWritten = 0;
  std::string m_scratch;
  std::string m_amount;       // a reversed record's amount, as written
};

}  // namespace zephrin
