// The review of a read: what the records a read builds hold, checked without
// changing the read. Values their item's kind does not allow, required items
// left empty, account numbers given twice, balances and journal entries that
// do not sum to zero, a header row read as a record, and the read's own
// failure become findings, each with the data file's line; every amount item
// gets its count and exact sums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/value_kinds.h"
#include "platform/decimal.h"
#include "readers/read_plan.h"
#include "result/read_result.h"

namespace zephrin {

struct ReviewFinding {
  long line = 0;        // the data file's line (from 1); 0 when the finding has none
  std::string item;     // the item's key name (UTF-8); "" when it concerns no item
  std::string value;    // the value as read (UTF-8)
  std::string code;     // "not-a-number", "required-missing", ...
  std::string message;  // what is wrong, in words
};

struct ReviewTotal {
  std::string item;
  std::size_t count = 0;
  std::string positive, negative, total;  // exact, at least two decimals
};

struct ReviewReport {
  std::size_t records = 0;
  std::vector<ReviewFinding> findings;
  std::size_t moreFindings = 0;  // findings beyond those listed
  std::vector<ReviewTotal> totals;
};

// At most this many findings are listed; the rest are counted.
inline constexpr std::size_t kMaxListedFindings = 1000;

// What a review of a plan checks besides the plan itself.
// The import types whose balances must sum to zero: trial balances.
inline bool IsTrialBalance(std::string_view importType) {
  return importType == "FCOA" || importType == "PRELIMBAL" || importType == "JEBAL";
}

struct ReviewRules {
  // Per plan item: whether the import requires it (an empty value is then a
  // finding).
  std::vector<bool> required;
  // The balances of the whole file must sum to zero (trial balances).
  bool balancesSumToZero = false;
  // The template's Amounts rule: amounts as accounting software writes
  // them are read as signed decimals (with a decimal comma when it says so);
  // without it an amount must be a plain decimal.
  bool signedAmounts = false;
  bool decimalComma = false;
};

// The account numbers a review has seen, each with the line of its first
// record. Charts usually list their accounts in order: a number that comes
// after every number so far (shorter first, then byte by byte) is new
// without a look anywhere, and joins the ordered run. The others are looked
// for in that run and in an open-addressing table. The numbers' text lies in
// one string: a chart of a million accounts costs a few growing blocks, not
// an allocation per account.
class AccountLines {
 public:
  // The line `account` was first seen on; 0 when it is new, and it is then
  // noted with `line` (from 1).
  long FirstOrNote(std::string_view account, long line);

 private:
  struct Entry {
    std::size_t at = 0;  // where the number's text starts in m_text
    uint32_t size = 0;
    uint32_t line = 0;
  };
  std::string_view TextOf(const Entry& e) const { return std::string_view(m_text).substr(e.at, e.size); }
  Entry Note(std::string_view account, long line);
  // A slot holds 32 bits of a number's hash above the index of its entry
  // plus one (0: a free slot), so that a look that misses reads no entry.
  uint64_t* Find(std::string_view account, uint32_t hash);
  void Grow();

  std::string m_text;
  std::deque<Entry> m_run;  // in order; a deque, so that growing it moves nothing
  std::vector<Entry> m_entries;
  std::vector<uint64_t> m_slots;
};

class ImportReview : public RecordObserver {
 public:
  ImportReview(const ReadPlan& plan, ReviewRules rules);

  void Record(long line) override;
  void Value(std::size_t item, std::string_view value, long line, bool amount) override;
  void Noted(long line, LineNote what) override;

  // The report once the read has ended with `read` (its failure, when it
  // failed, becomes a finding).
  ReviewReport Finish(const ReadResult& read);

  // A report of one finding and no read (the template's kind, a refusal).
  static ReviewReport Refused(ReviewFinding finding);
  // The finding of a read that gave no record: an empty file, or one whose
  // lines all lie before the template's first line.
  static ReviewFinding NothingRead();

 private:
  struct Column {
    std::string name;  // UTF-8
    ValueKind kind = ValueKind::kText;
    bool required = false;
    bool account = false;  // the account number, which a chart holds once
    bool amount = false;
    bool balance = false;  // the balance whose sums must be zero
    std::size_t count = 0;
    Decimal positive, negative;
  };
  // The findings of one record, held until the record ends.
  struct Open {
    long line = 0;
    std::vector<ReviewFinding> findings;
    // Which items wrote a value (only a required item's mark is read).
    std::vector<unsigned char> filled;
    Decimal entrySum;
    bool entryHasAmount = false;
    std::size_t kindValues = 0, kindFailures = 0;
  };
  void CloseRecord();
  void MergeSplitAmounts(const SplitAmounts& split);
  void CheckKind(const Column& c, std::string_view value, long line);
  void Failed(const Column& c, std::string_view value, long line, const char* code, const char* what);
  // Adds an amount to its item's sums (and to the balance and the entry's).
  void Sum(Column& c, const Decimal& amount);
  void Add(ReviewFinding finding);
  void AddAll(std::vector<ReviewFinding>& findings);

  const ReadPlan& m_plan;
  ReviewRules m_rules;
  std::vector<Column> m_columns;
  std::vector<std::size_t> m_required;  // the required items the template places
  ReviewReport m_report;
  Open m_open;
  bool m_recordOpen = false;
  // The first record, held until the second has ended: it may be a header row.
  bool m_holdingFirst = false;
  Open m_first;
  AccountLines m_accounts;
  Decimal m_balance;
  std::string m_balanceItem;
};

// Whether `value` is a date as data files write them (month/day/year or
// year-month-day with "/", "-" or ".", or eight digits).
bool IsDateValue(std::string_view value);
// A year: four digits from 1900 to 2199, or two digits.
bool IsYearValue(std::string_view value);

}  // namespace zephrin
