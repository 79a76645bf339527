// LogicImp: the reader of jurisdiction data files (amounts laid out by state,
// province or other jurisdiction). The service object holds one for its
// life, with the settings the host gives it once: the tables its lists
// loaded (kept read after read), the category types, the country of
// operation. Each read is a JurisdictionRead of its own, made for the read
// and dropped after it.
#pragma once

#include <string_view>

#include "jurisdiction/jurisdiction_read.h"
#include "platform/expected.h"
#include "platform/trace.h"
#include "result/read_result.h"

namespace zephrin {

class LogicImp {
 public:
  // Trace lines go to `trace` when it is on; it must outlive the reader.
  void SetTrace(const Tracer* trace) { m_trace = trace; }

  // ---- Host settings ---------------------------------------------------------
  // Empties the reader's jurisdiction tables, before a read loads the lists
  // the host holds now.
  void ClearJurisdictionTables() {
    m_settings.tables = JurisdictionTables{};
    m_settings.provincial = false;
  }
  // Loads one jurisdiction list into the reader's tables.
  void FillJurisdictionCaption(std::string_view list);
  // Category types: each token stored under its 1-based position, in place
  // of the types given before.
  void PutCategoryTypes(std::string_view text);
  // Country of operation: the abbreviation is kept in lower case.
  void SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name);
  // Position of a category type (compared without regard to case); 0 when unknown.
  int FindCategoryType(std::string_view text) const { return m_settings.FindCategoryType(text); }
  // A province list was loaded once: the reader is in provincial mode for good.
  bool provincialMode() const { return m_settings.provincial; }

  // ---- A read ----------------------------------------------------------------
  // The analysis and the reader for the file's shape.
  ReadResult Read(const JurisdictionRequest& request, const ReadHooks& hooks);
  // The analysis alone: the file's shape, or the outcome that ends the read
  // (the error document of a file that cannot be opened, or the empty text
  // of a DIF file whose header counts nothing).
  Expected<SourceShape> AnalyzeSource(const JurisdictionRequest& request, ReadResult* failure = nullptr);

 private:
  const Tracer* m_trace = nullptr;
  JurisdictionSettings m_settings;
};

}  // namespace zephrin
