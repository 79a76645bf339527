// What the three plain readers (comma-separated, DIF, fixed-width) share: the
// per-read tables (element names, which items each column feeds, the value
// rules of each item), the field pipeline, the chart record flags, the blank
// run and the journal-entry state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/xml_wrapper.h"

namespace zephrin {

class PlainReader {
 public:
  enum class Format { CSV, DIF, PRN };
  explicit PlainReader(CxmlWrapper& w, Format format);

  // After DoReadInitFunctions: builds the per-read tables. `prnNames` uses the
  // item names (no element-name tables) as the fixed-width reader does.
  void Prepare();

  // Items (in item order) whose column is `col`.
  std::string_view ItemsOfColumn(std::size_t col) const {
    if (col + 1 >= m_colStart.size()) return {};
    return std::string_view(m_colItems).substr(m_colStart[col], m_colStart[col + 1] - m_colStart[col]);
  }

  // Starts a record with the record attribute of the CSV and DIF readers.
  void StartRecord(int lineIndex);

  // The field pipeline outside journal-entry reads for item j and a non-empty
  // or empty field (CSV makes the element for an empty field too).
  void HandleField(std::size_t j, std::string_view field);
  // Quote stripping: one pair of surrounding quotes; a lone quote is empty.
  static std::string_view StripQuotes(std::string_view v);

  // Chart records.
  void ResetLine() {
    m_acctnum = m_trc = m_tcc = m_capt = false;
    m_written = 0;
  }
  void CompleteChart();

  // Blank run: true when it reached 25 (the error text is then set).
  bool UpdateBlankRun(int lineIndex);
  // Ends the read with the 25-blank-lines message, naming the run's first line.
  void FailBlankRun();

  // Journal entries: the record start and blank counting of one line.
  void JEBeginLine(int lineIndex, bool blank);
  // A non-empty field of item j in a journal-entry read: false when the read
  // must end (the error text is then set).
  bool JEHandleField(std::size_t j, std::string_view field);

  // The outcome of AddAcctNode: true when the element was made; otherwise the
  // read ends with `noAcct` or `engineFailure` as its result.
  bool AcctNodeMade(int result, std::string_view noAcct, std::string_view engineFailure);

  // Ends the read with an error document.
  void Fail(std::string document) { m_w.m_bstrXML = std::move(document); }

  // Once a little of the file is read, reserves the output text it will
  // probably need, so that a large read does not copy its text over and over.
  void EstimateOutput(std::size_t consumed, std::size_t total);
  // Called for every line read: the output estimate, and the service's
  // progress callback now and then.
  void Progress(std::size_t consumed, std::size_t total);
  // The end of the file for the progress callback.
  void ProgressDone(std::size_t total);

  // End of the file: template element and description, then the result text.
  void Finish(int columns);
  // The result text of a read whose document is complete.
  void TakeResult();

  CxmlWrapper& m_w;
  Format m_format;
  std::size_t m_itemCount = 0;
  std::array<std::string_view, kMaxFieldInfo> m_itemName{};
  std::array<std::string_view, kMaxFieldInfo> m_element{};

  // Value rules of each item.
  enum Rule : uint8_t { kNone, kJurIndexPadded, kTaxPayPostal, kTaxExpPostal, kPadAdj, kTaxRateJur, kTaxRateName };
  std::array<uint8_t, kMaxFieldInfo> m_rule{};
  enum Chart : uint8_t { kNoChart, kChartAcct, kChartTrc, kChartTcc, kChartCapt };
  std::array<uint8_t, kMaxFieldInfo> m_chart{};
  bool m_bDoingFCOA = false, m_bDoingTCC = false;
  bool m_noCharReplace = false;  // INTL type 67 keeps every character
  bool m_timapExtra = false;     // TIMAP: fields past the sixth are Subcategory_Code

  int m_written = 0;
  bool m_acctnum = false, m_trc = false, m_tcc = false, m_capt = false;
  int m_blankRun = 0, m_firstBlank = 0;

  // Journal-entry state.
  bool m_recordOpen = false, m_headerDone = false;
  int m_blankCount = 0, m_lineCount = 0;
  std::array<bool, 25> m_outFlag{};
  bool m_balanceWritten = false, m_numberWritten = false, m_transferWritten = false;
  int m_itemJEType = -1;

  // TAXRATE: the held jurisdiction name.
  std::string m_heldJurName;
  // Country jurisdictions list for TAXRATE (CSV): parsed once per read.
  struct CountryJur;
  std::shared_ptr<CountryJur> m_countryJur;
  void LoadCountryJurisdictions();
  std::string LookupCountryJurisdiction(std::string_view name, std::string_view abbrev) const;

 private:
  std::vector<uint32_t> m_colStart;
  std::string m_colItems;  // item indexes as bytes
  bool m_estimated = false;
  std::size_t m_nextProgress = 1 << 20;
};

}  // namespace zephrin
