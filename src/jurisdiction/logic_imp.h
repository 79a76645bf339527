// LogicImp: the reader of jurisdiction data files (amounts laid out by state,
// province or other jurisdiction). The service object holds one for its life.
//
// A read runs in three steps, driven by the service object: it hands over the
// file, the import type code and the element names, AnalyzeSource tells the
// file's shape (tabular, listed or DIF) and how many leading columns are
// descriptive, and one of ReadTabularSource, ReadListedSource and
// ReadDIFSource builds the result text.
//
// The documents are written as text while the file is read: the data document
// in one pass, the error document (Error/Err entries with a Line attribute) as
// entries are reported. Their serialisation is the result documents' (see
// XmlStream); element texts carry the engine's own escaping, so a cell A&B is
// serialised as A&amp;amp;B, as the plain readers write it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "jurisdiction/jurisdiction_tables.h"
#include "readers/data_file.h"
#include "result/error_document.h"

namespace zephrin {

class XmlStream;

// Longest ID and more-information text the reader's fields hold.
inline constexpr std::size_t kJurFieldChars = 19;

class LogicImp {
 public:
  using TraceFn = std::function<void(std::string_view)>;

  // Trace lines go to `trace` when it is set.
  void SetTrace(TraceFn trace) { m_trace = std::move(trace); }

  // ---- Host settings ---------------------------------------------------------
  // Loads one jurisdiction list into the reader's tables.
  void FillJurisdictionCaption(std::string_view list);
  // Category types: each token stored under its 1-based position.
  void PutCategoryTypes(std::string_view text);
  // Country of operation: the abbreviation is kept in lower case.
  void SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name);

  // Position of a category type (compared without regard to case); 0 when unknown.
  int FindCategoryType(std::string_view text) const;

  // ---- Values handed over for one read (engine text) -------------------------
  std::string m_strImportFile;    // the data file path, for messages
  std::string m_strImportFileOs;  // the same path as the file system takes it
  std::string m_strImportType;    // host code
  int16_t m_nCurrentYear = 0;
  bool m_bDoingBatch = false;
  std::string m_strRootElement, m_strRecordElement;
  std::string m_szID;        // at most kJurFieldChars characters
  std::string m_szMoreInfo;  // at most kJurFieldChars characters; kept, not read

  // ---- Analysis and readers --------------------------------------------------
  // 0 when the file was analysed, 1 when it cannot be opened (the result text
  // is then the error document) or its DIF header is unusable (empty text).
  int32_t AnalyzeSource();
  int32_t AnalyzeDIF();
  void ReadTabularSource();
  void ReadListedSource();
  void ReadDIFSource();

  // Handles the header cell in the current field text for column `col`:
  // 0 done, 1 the document cannot take the column (a name XML cannot carry),
  // 2 the table the header must be looked up in is empty.
  int32_t ColumnHeader(int32_t col);
  // Appends an Err entry "<message> Jurisdiction - <current field text>".
  void AddLineError(std::string_view message, int32_t line);

  // Frees the loaded data file (a read keeps it from analysis to the end).
  void ReleaseSource();

  // ---- Results (UTF-8) ---------------------------------------------------------
  std::string m_strResult;  // the result text the read returns
  std::string m_strErrors;  // the error document's XML ("" when nothing was reported)

  // ---- State of the current read -----------------------------------------------
  int32_t m_nFormat = 0;       // 0 tabular, 1 DIF, 2 listed
  int32_t m_nCategoryCol = 0;  // leading descriptive columns
  int32_t m_nTotalCols = 0;
  int32_t m_nTotalRows = 0;
  std::size_t m_nDifDataPos = 0;  // offset of the first "BOT" of a DIF file

  // ---- Tables --------------------------------------------------------------------
  JurisdictionTables m_tables;
  bool m_bDoingProv = false;
  bool m_bCountryColumn = false;  // a header equal to the country abbreviation was accepted
  std::string m_strCountryID, m_strCountryAbbrev, m_strCountryName;

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
    if (m_trace) m_trace(line);
  }
  void TraceF(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  bool LoadSource();
  char* Mutable(std::string_view piece) { return m_text.data() + (piece.data() - m_text.data()); }
  void BeginRead();
  void HeaderFieldRule(int32_t col);
  bool InIndex(std::string_view key) const { return m_tables.index.find(key) != m_tables.index.end(); }
  // Splits a CATASSN key at its last blank; "all states" as name is "allstate",
  // and a two-character name not of kind "prov" gets "000000".
  static void SplitCatassnKey(std::string_view key, std::string& name, std::string& kind);
  std::string DataId(const std::string& key) const;
  void AddTemplateJur(std::string_view id, std::string_view name);
  std::string TemplateXml() const;

  void StartRoot(XmlStream& xml, bool yearAndType, bool listed);
  void StartRecord(XmlStream& xml, Row& row, int32_t line);
  // Ends the previous record and starts the next one, writing the template
  // element first when it is not out yet. False (with the message set) when
  // no record element is known.
  bool NextRecord(XmlStream& xml, Row& row, int32_t line, bool& templateWritten);
  void EndRecord(XmlStream& xml, Row& row);
  void DataCell(XmlStream& xml, Row& row, int32_t col, std::string_view cell, bool dif);
  void FinishResult(std::string& data);
  // Ends the read with an error document (UTF-8).
  void SetMessage(std::string document);

  TraceFn m_trace;
  std::map<std::string, int, LessNoCase> m_categoryTypes;

  std::string m_text;         // the data file, engine text
  std::size_t m_rawSize = 0;  // its size on disk
  bool m_loaded = false;
  LoadStatus m_loadStatus = LoadStatus::kCannotOpen;

  Code m_code = Code::Other;
  int32_t m_nLine = 0;        // line (or DIF row) count of the read
  int32_t m_nCol = 0;         // column counter of the analysis
  int32_t m_nRow = 0;         // row counter of the analysis
  int32_t m_nDifRow = 0;
  std::string m_strField;     // current field text of the analysis
  std::string_view m_field;   // current field text of the readers (into m_text)

  std::vector<Column> m_columns;
  std::set<std::string, std::less<>> m_stateDups, m_provDups;
  std::set<std::string, std::less<>> m_allListed;

  // The template element: children before its JURS, the JURS content, children after.
  std::string m_tmplBefore, m_tmplJurs, m_tmplAfter;
  bool m_tmplHasJurs = false;
  ErrorEntries m_errors;      // Err entries of the error document
  std::string m_scratch, m_key, m_name, m_kind;
};

}  // namespace zephrin
