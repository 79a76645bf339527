// The plain readers (comma-separated, DIF, fixed-width): each takes a read
// plan, the data file's text and the hooks of the front end, and gives the
// read's typed outcome. What the three share lives in PlainReader: the
// column index of the items, the field pipeline, the chart record flags, the
// blank run and the journal-entry state.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "readers/data_text.h"
#include "readers/read_plan.h"
#include "result/read_result.h"
#include "result/result_document.h"

namespace zephrin {

ReadResult ReadCsv(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks);
ReadResult ReadDif(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks);
ReadResult ReadFixedWidth(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks);
// The reader of the plan's format.
ReadResult ReadPlainFile(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks);

// The outcome of a data file that could not be loaded.
ReadResult LoadFailure(const ReadPlan& plan, FileReadStatus status);
// The error of a read whose data file shrank while it was read.
ReadResult ChangedFailure(std::string_view dataFile);

class PlainReader {
 public:
  PlainReader(const ReadPlan& plan, const ReadHooks& hooks);

  // Starts the document: root element and attributes.
  void Begin();

  // Items (in item order) whose column is `col`.
  std::string_view ItemsOfColumn(std::size_t col) const {
    if (col + 1 >= m_colStart.size()) return {};
    return std::string_view(m_colItems).substr(m_colStart[col], m_colStart[col + 1] - m_colStart[col]);
  }
  const PlanItem& Item(std::size_t j) const { return m_plan.items[j]; }

  // Starts a record with the record attribute of the CSV and DIF readers.
  void StartRecord(int lineIndex);
  // The plan's record limit is reached: no further record may start.
  bool LimitReached() const { return m_plan.recordLimit != 0 && m_records >= m_plan.recordLimit; }
  void CountRecord() { ++m_records; }

  // The field pipeline outside journal-entry reads for item j and a field as
  // the file has it (CSV makes the element for an empty field too). A value
  // with no rule, the usual case, is written here at once.
  void HandleField(std::size_t j, std::string_view field) {
    const PlanItem& item = m_plan.items[j];
    if (item.rule != ValueRule::kNone || field.empty()) [[unlikely]] {
      HandleFieldWithRule(j, field);
      return;
    }
    ++m_written;
    ++m_valuesWritten;
    m_doc.AddEscapedDataNode(item.element, StripQuotes(field), ValueTable());
    SetChartFlag(item.chart);
  }
  void HandleFieldWithRule(std::size_t j, std::string_view field);
  // Quote stripping: one pair of surrounding quotes; a lone quote is empty.
  static std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    if (v.size() == 1 && v[0] == '"') return {};
    return v;
  }
  // A field with the characters outside " " to "~" as spaces, unless the read
  // keeps every character (in a scratch buffer when one is changed).
  std::string_view Printable(std::string_view field);
  // The table that escapes a value of the file twice (see xml_escape.h).
  const xml::EscapeTable& ValueTable() const {
    return m_plan.keepAllCharacters ? xml::kTextTwice : xml::kTextTwicePrintable;
  }

  // Chart records.
  enum Chart : uint8_t { kNoChart, kChartAcct, kChartTrc, kChartTcc, kChartCapt };
  void ResetLine() {
    m_acctnum = m_trc = m_tcc = m_capt = false;
    m_written = 0;
  }
  void SetChartFlag(uint8_t chart) {
    switch (chart) {
      case kChartAcct: m_acctnum = true; break;
      case kChartTrc: m_trc = true; break;
      case kChartTcc: m_tcc = true; break;
      case kChartCapt: m_capt = true; break;
      default: break;
    }
  }
  void CompleteChart();

  // Blank run: true when it reached 25 (the read then fails).
  bool UpdateBlankRun(int lineIndex);
  ReadResult BlankRunFailure() const;

  // Journal entries: the record start and blank counting of one line.
  void JEStartRecord(int lineIndex);
  void JEBeginLine(int lineIndex, bool blank);
  // A non-empty field of item j in a journal-entry read: false when the read
  // must end (m_failure is then set).
  bool JEHandleField(std::size_t j, std::string_view field, bool twoBlanksMessage);

  // Ends the read with an error document.
  bool Fail(std::string document) {
    m_failure = std::move(document);
    return false;
  }
  // The outcome of AddAcctNode: true when the element was made.
  bool AcctNodeMade(int result, std::string_view noAcct);

  // Called for every line read: the output estimate and the progress hook.
  void Progress(std::size_t consumed, std::size_t total) {
    if (consumed >= m_progressAt) ProgressStep(consumed, total);
  }
  void ProgressDone(std::size_t total);

  // End of the file: template element and description, then the outcome.
  ReadResult Finish(int columns);
  // The outcome of a read whose document is complete, or of its failure.
  ReadResult TakeResult();
  ReadResult Failure() { return ReadResult::Error(m_failure); }

  const ReadPlan& m_plan;
  const ReadHooks& m_hooks;
  ResultDocument m_doc;
  std::string m_failure;

  int m_written = 0;           // values written on the current line
  std::size_t m_valuesWritten = 0;  // values written by the whole read
  bool m_acctnum = false, m_trc = false, m_tcc = false, m_capt = false;
  int m_blankRun = 0, m_firstBlank = 0;

  // Journal-entry state.
  bool m_recordOpen = false, m_headerDone = false;
  int m_blankCount = 0, m_lineCount = 0;
  std::array<bool, 25> m_outFlag{};
  bool m_balanceWritten = false, m_numberWritten = false, m_transferWritten = false;

  // TAXRATE: the held jurisdiction name.
  std::string m_heldJurName;
  void LoadCountryJurisdictions();

 private:
  std::string LookupCountryJurisdiction(std::string_view name, std::string_view abbrev) const;
  struct CountryJur;
  std::shared_ptr<CountryJur> m_countryJur;
  std::vector<uint32_t> m_colStart;
  std::string m_colItems;  // item indexes as bytes
  std::string m_scratch, m_valueScratch;
  std::size_t m_records = 0;
  bool m_estimated = false;
  ProgressTicker m_progress{m_hooks};
  // The offset at which Progress has something to do next.
  std::size_t m_progressAt = std::size_t{256} << 10;
  void ProgressStep(std::size_t consumed, std::size_t total);
};

}  // namespace zephrin
