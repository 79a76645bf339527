// The record builder: the one place where a plain read's rules live. It takes
// the rows of any source and the read plan, and writes the result document:
// a record per row (or per journal entry), an element per placed item, the
// value rules, the chart record completion, journal entries, the 25 blank
// rows that end a read, the record limit, progress, and the template
// description after the last record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/decimal_counter.h"
#include "readers/csv_split.h"
#include "readers/read_plan.h"
#include "readers/row_source.h"
#include "readers/split_amounts.h"
#include "result/read_result.h"
#include "result/result_document.h"

namespace zephrin {

class RecordBuilder {
 public:
  RecordBuilder(const ReadPlan& plan, const ReadHooks& hooks);
  ~RecordBuilder();
  RecordBuilder(const RecordBuilder&) = delete;
  RecordBuilder& operator=(const RecordBuilder&) = delete;

  // Reads every row of `source` and gives the read's outcome.
  ReadResult Build(RowSource& source);
  // The columns whose cells the plan takes (those before this one).
  std::size_t columnsRead() const { return m_colStart.empty() ? 0 : m_colStart.size() - 1; }

 private:
  // ---- Rows ------------------------------------------------------------------
  // False when the read must end (m_failure then holds its error document).
  bool PlainRow(const Row& row);
  bool BlockRow(const Row& row);
  bool LineCodeRow(const Row& row);
  // Whether another row may be read under the record limit.
  bool MayGoOn() const;
  // Notes what the row's line holds that its reader takes otherwise than a
  // person may mean (a quote left open, a carriage return inside it).
  void NoteLine(const Row& row);

  // ---- Records and fields ----------------------------------------------------
  // Counts a record and tells the observer; false when the read must fail.
  bool BeginRecord(int32_t index) {
    if (m_plan.failWithoutRecordName && m_plan.record.name.empty()) [[unlikely]]
      return NoRecordName();
    ++m_records;
    if (m_hooks.observer) [[unlikely]]
      m_hooks.observer->Record(static_cast<long>(index) + 1);
    return true;
  }
  bool NoRecordName();
  bool StartRecord(int32_t index);
  // A row of plain values (no rule, no journal) as one whole record, written
  // in one go; its elements at `p`, the new end.
  bool PlainRecord(const Row& row);
  char* WritePlainCells(char* p, const Row& row);
  void PreparePlainColumns();
  char* WriteColumnCells(char* p, const Row& row);
  template <bool kInBuffer, bool kUnquoted>
  char* WriteColumnCellsOf(char* p, const Row& row);
  void NoteCells(std::size_t written, unsigned charts);
  void ObservePlainCells(const Row& row);
  // The field pipeline of one item, for a field as the file has it.
  void Field(const PlanItem& item, std::string_view field, bool number = false);
  void FieldWithRule(const PlanItem& item, std::string_view field, bool number);
  // Tells the read's observer of a value written for `item` on the current row.
  void Observe(const PlanItem& item, std::string_view field);
  // One item a column feeds: the item, its index in the plan, and the bit of
  // its chart element (what a plain row notes of it, looked up once per read).
  struct ColumnItem {
    const PlanItem* item;
    uint32_t index;
    uint32_t chartBit;
  };
  // The items a cell feeds, in item order.
  std::span<const ColumnItem> ItemsOf(uint32_t column) const {
    if (column + 1 >= m_colStart.size()) return {};
    return std::span<const ColumnItem>(m_colItems.data() + m_colStart[column], m_colStart[column + 1] - m_colStart[column]);
  }
  // A field with the characters outside " " to "~" as spaces, unless the read
  // keeps every character.
  std::string_view Printable(std::string_view field);
  const xml::EscapeTable& ValueTable() const {
    return m_plan.keepAllCharacters ? xml::kTextTwice : xml::kTextTwicePrintable;
  }

  // ---- Chart records and the blank run ---------------------------------------
  void NoteChart(ChartElement chart);
  // The chart elements the current record lacks, in the order that
  // completes it: `add` is called with each one's tag.
  template <typename Add>
  void ForMissingChart(Add add) const;
  void CompleteChart();
  // Counts a row that wrote no value, or ends the run.
  void NoteBlankRun(int32_t index, bool wroteNothing);
  // The run reached the 25 rows that end a read: false, with the failure set.
  bool BlankRunBelowLimit();

  // ---- Signed amounts --------------------------------------------------------
  struct CreditItem;
  // The texts of the row's debit and credit cells of each item with a credit
  // column.
  void TakeCreditCells(const Row& row);
  // The value an amount item writes for its field: the signed amount, or the
  // field as written when it is not a number. An item with a credit column
  // writes the debit less the credit at the first of its two cells in the
  // row, and nothing (nullopt) at the second.
  // `number`: the field is a workbook's number cell, whose decimal point is a
  // point whatever the template says of written amounts.
  std::optional<std::string_view> AmountField(const PlanItem& item, std::string_view field, bool number);
  std::string_view DebitLessCredit(const CreditItem& c, std::string_view field);

  // ---- Journal entries -------------------------------------------------------
  void StartEntry(int32_t index);
  // Blank rows counted in an entry: the third ends it.
  void CountEntryRow(bool blank);
  // Ends the header of an entry: its missing header items as empty elements
  // (chart reads), then the "Accounts" list.
  void OpenAccounts();
  bool EntryField(const PlanItem& item, std::size_t j, std::string_view field, bool number);
  bool LineCodeField(const PlanItem& item, std::size_t j, std::string_view field, bool number, int32_t index);
  bool AccountElement(const XmlTag& tag, std::string_view noList);

  // ---- The end ---------------------------------------------------------------
  bool Fail(std::string document);
  ReadResult Finish(int templateColumns);
  // Tells the front end how far the read is; false when it cancelled it.
  bool Progress(const RowSource& source) {
    // Most rows end here, on one question to the source.
    return source.consumed() < m_progress.next() || ReportProgress(source);
  }
  bool ReportProgress(const RowSource& source);

  const ReadPlan& m_plan;
  const ReadHooks& m_hooks;
  ResultDocument m_doc;
  std::string m_failure;

  // Which items each column feeds: m_colItems[m_colStart[c] ..
  // m_colStart[c + 1]).
  std::vector<uint32_t> m_colStart;
  std::vector<ColumnItem> m_colItems;
  bool m_plainValues = false;    // no rule, no journal, no extra column: rows go in one step
  // The plain records of a plan whose columns feed one item each, with tags
  // that can be prepared: each column's element, indexed by column (an
  // empty list when the plan is not of that kind).
  struct PlainColumn {
    PreparedElement element;
    uint32_t chartBit = 0;
    bool fed = false;  // an item takes the column
  };
  std::vector<PlainColumn> m_plainColumns;
  // A plain record's room: its tags, every placed item's and the chart
  // completion's (with no text), and its cells' text as many times as items take it.
  std::size_t m_recordBytes = 0, m_perColumn = 1;
  NumberedTag m_numberedRecord;  // the record's start tag with its line attribute
  DecimalCounter m_lineDigits;   // the line attribute's digits

  // The current row: its index in the file, and the values it wrote.
  int32_t m_line = 0;
  int m_written = 0;
  bool m_acctnum = false, m_trc = false, m_tcc = false, m_capt = false;
  // The run of rows that wrote nothing.
  int m_blankRun = 0;
  int32_t m_firstBlank = 0;

  // Journal entries.
  bool m_recordOpen = false, m_headerDone = false;
  int m_blankCount = 0, m_lineCount = 0;
  std::array<bool, 25> m_outFlag{};
  bool m_balanceWritten = false, m_numberWritten = false, m_transferWritten = false;
  bool m_skipEntry = false;  // line-code layout: the entry is not of the kind read
  bool m_passedOverEntries = false;  // an entry was passed over as not of the kind read
  int m_entryLine = 0;       // line-code layout: the entry's non-blank lines so far

  // TAXRATE: the jurisdiction name held for later rows, and the country's list.
  std::string m_heldJurName;
  struct CountryList;
  std::unique_ptr<CountryList> m_country;
  void LoadCountryList();
  std::string CountryId(std::string_view name, std::string_view abbrev) const;

  // The items with a credit column, and the texts of their cells in the row.
  struct CreditItem {
    std::size_t item = 0;
    bool placed = false;  // the item's own column is placed
    uint32_t debitColumn = 0, creditColumn = 0;
    std::string_view debit, credit;
    bool debitNumber = false, creditNumber = false;  // workbook number cells
    bool done = false;    // written in this row
  };
  std::vector<CreditItem> m_creditItems;
  std::string m_amount;
  // The last AmountField read its field as an amount (m_amount holds it), as
  // opposed to giving the field as written; what the observer is told.
  bool m_amountRead = false;

  std::string m_scratch;
  std::size_t m_records = 0;
  std::size_t m_rows = 0;  // the rows the source gave
  long m_quoteLeftOpenLine = 0;  // the first row's line that ended inside a quote it opened
  long m_carriageReturnLine = 0;  // the first row's line with a carriage return inside it
  long m_tabLine = 0;             // the first fixed-width line with a tab
  bool m_endMarkMissing = false;  // the data ended without its format's end mark
  UncomputedFormulas m_formulas;  // the source's cells of a formula without its result
  std::size_t m_values = 0;
  bool m_estimated = false;
  ProgressTicker m_progress;
  SplitAmountWatch m_splitAmounts;
  std::size_t m_headerFields = 0;  // the source's header line's fields
};

}  // namespace zephrin
