// LogicImp: the reader of jurisdiction data files (amounts laid out by state,
// province or other jurisdiction). The service object holds one for its
// life: its tables keep what the host's lists loaded, read after read.
//
// A read runs in two steps: AnalyzeSource tells the file's shape (tabular,
// listed or DIF) and how many leading columns are descriptive, and one of
// ReadTabularSource, ReadListedSource and ReadDIFSource writes the result.
//
// The data document is written while the file is read (streamed to the
// read's sink when it has one); line errors gather in an error document
// (Error/Err entries with a Line attribute), which the read returns instead
// of the records when it holds anything. Element texts carry the engine's own
// escaping, so a cell A&B is serialised as A&amp;amp;B, as the plain readers
// write it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/jurisdiction_tables.h"
#include "platform/trace.h"
#include "readers/data_text.h"
#include "result/error_document.h"
#include "result/read_result.h"
#include "result/xml_stream.h"

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
  int32_t format = 0;       // 0 tabular, 1 DIF, 2 listed
  int32_t categoryCol = 0;  // leading descriptive columns
  int32_t totalCols = 0;
  int32_t totalRows = 0;
  std::size_t difDataPos = 0;  // offset of the first "BOT" of a DIF file
};

class LogicImp {
 public:
  // Trace lines go to `trace` when it is on; it must outlive the reader.
  void SetTrace(const Tracer* trace) { m_trace = trace; }

  // ---- Host settings ---------------------------------------------------------
  // Loads one jurisdiction list into the reader's tables.
  void FillJurisdictionCaption(std::string_view list);
  // Category types: each token stored under its 1-based position.
  void PutCategoryTypes(std::string_view text);
  // Country of operation: the abbreviation is kept in lower case.
  void SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name);
  // Position of a category type (compared without regard to case); 0 when unknown.
  int FindCategoryType(std::string_view text) const;
  // A province list was loaded once: the reader is in provincial mode for good.
  bool provincialMode() const { return m_bDoingProv; }

  // ---- A read ----------------------------------------------------------------
  // The analysis and the reader for the file's shape.
  ReadResult Read(const JurisdictionRequest& request, const ReadHooks& hooks);
  // The analysis alone: 0 when the file was analysed, 1 when it cannot be
  // opened (`failure` is then its error document) or its DIF header is
  // unusable (an empty outcome).
  int32_t AnalyzeSource(const JurisdictionRequest& request, SourceShape& shape, ReadResult& failure);

 private:
  // Category types keep the host's text and are compared without regard to case.
  struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // What a header row made of one column.
  struct Column {
    std::string name;         // element name, or jurisdiction key; empty: skipped
    std::string id;           // "id" of the column's JUR elements
    std::string idXml;        // the same, escaped for an attribute
    std::string typXml;       // ' typ="<key>"' of a CATASSN column
    std::string tailXml;      // what follows a JUR's amount: '" id="<id>"' typ '/>'
    bool jurisdiction = false;
    bool countryKey = false;  // the key equals the country abbreviation
  };
  // Import type codes the rules tell apart.
  enum class Code { Other, LOGIC, AABAL, TIBAL, APPORT, LOSS, CREDIT, AMTACE, CURSTI, CATASSN, CTPRCN };
  // State of the record being written.
  struct Row {
    bool open = false;
    bool jurs = false;
    bool countryUsed = false;
  };

  void TraceLine(std::string_view line) const {
    if (m_trace) m_trace->Line(line);
  }
  void TraceF(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  void BeginRead(const JurisdictionRequest& request);
  int32_t Analyze(SourceShape& shape, ReadResult& failure);
  int32_t AnalyzeDIF(SourceShape& shape);
  ReadResult ReadTabularSource(const ReadHooks& hooks);
  ReadResult ReadListedSource(const ReadHooks& hooks);
  ReadResult ReadDIFSource(const ReadHooks& hooks);

  // Handles the header cell in the current field text for column `col`:
  // 0 done, 1 the document cannot take the column (a name XML cannot carry),
  // 2 the table the header must be looked up in is empty.
  int32_t ColumnHeader(int32_t col);
  // Appends an Err entry "<message> Jurisdiction - <current field text>".
  void AddLineError(std::string_view message, int32_t line);

  void HeaderFieldRule(int32_t col);
  bool InIndex(std::string_view key) const { return m_tables.index.find(key) != m_tables.index.end(); }
  // Splits a CATASSN key at its last blank; "all states" as name is "allstate",
  // and a two-character name not of kind "prov" gets "000000".
  static void SplitCatassnKey(std::string_view key, std::string& name, std::string& kind);
  std::string DataId(const std::string& key) const;
  void AddTemplateJur(std::string_view id, std::string_view name);
  std::string TemplateXml() const;
  void ResetHeader();

  void StartRoot(XmlStream& xml, bool yearAndType, bool listed);
  void StartRecord(XmlStream& xml, Row& row, int32_t line);
  // Ends the previous record and starts the next one, writing the template
  // element first when it is not out yet. False when no record element is known.
  bool NextRecord(XmlStream& xml, Row& row, int32_t line, bool& templateWritten);
  void EndRecord(XmlStream& xml, Row& row);
  void DataCell(XmlStream& xml, Row& row, int32_t col, std::string_view cell, bool dif);
  // The outcome at the end of the file: the error document when it holds
  // anything, else the data document.
  ReadResult Finish(XmlStream& xml, const ReadHooks& hooks);

  const Tracer* m_trace = nullptr;
  std::map<std::string, int, LessNoCase> m_categoryTypes;

  // ---- Tables --------------------------------------------------------------------
  JurisdictionTables m_tables;
  bool m_bDoingProv = false;
  bool m_bCountryColumn = false;  // a header equal to the country abbreviation was accepted
  std::string m_strCountryID, m_strCountryAbbrev, m_strCountryName;

  // ---- State of the current read -------------------------------------------------
  JurisdictionRequest m_req;
  Code m_code = Code::Other;
  DataText m_text;
  FileReadStatus m_loadStatus = FileReadStatus::kFailed;
  SourceShape m_shape;
  int32_t m_nLine = 0;        // line (or DIF row) count of the read
  int32_t m_nCol = 0;         // column counter of the analysis
  int32_t m_nRow = 0;         // row counter of the analysis
  int32_t m_nDifRow = 0;
  std::string m_strField;     // current field text of the analysis
  std::string_view m_field;   // current field text of the readers

  std::vector<Column> m_columns;
  std::set<std::string, std::less<>> m_stateDups, m_provDups;

  // The template element: children before its JURS, the JURS content, children after.
  std::string m_tmplBefore, m_tmplJurs, m_tmplAfter;
  bool m_tmplHasJurs = false;
  ErrorEntries m_errors;      // Err entries of the error document
  std::size_t m_valuesWritten = 0;  // descriptive values and amounts written by the read
  std::string m_scratch, m_cellScratch, m_key, m_name, m_kind;
};

}  // namespace zephrin
