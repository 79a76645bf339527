// The review of a read: what the records a read builds hold, checked without
// changing the read. Values their item's kind does not allow, required items
// left empty, account numbers given twice, balances and journal entries that
// do not sum to zero, a header row read as a record, and the read's own
// failure become findings, each with the data file's line; every amount item
// gets its count and exact sums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
struct ReviewRules {
  // Per plan item: whether the import requires it (an empty value is then a
  // finding).
  std::vector<bool> required;
  // The balances of the whole file must sum to zero (trial balances).
  bool balancesSumToZero = false;
  // The decimal separator of amounts is a comma (the template's Amounts rule).
  bool decimalComma = false;
};

// What an item's values must be, for the review.
enum class ReviewKind : uint8_t { kAny, kAmount, kDate, kYear, kWholeNumber };

class ImportReview : public RecordObserver {
 public:
  ImportReview(const ReadPlan& plan, ReviewRules rules);

  void Record(long line) override;
  void Value(std::size_t item, std::string_view value, long line) override;

  // The report once the read has ended with `read` (its failure, when it
  // failed, becomes a finding).
  ReviewReport Finish(const ReadResult& read);

  // A report of one finding and no read (the template's kind, a refusal).
  static ReviewReport Refused(ReviewFinding finding);

 private:
  struct Column {
    std::string name;  // UTF-8
    ReviewKind kind = ReviewKind::kAny;
    bool required = false;
    bool account = false;  // the account number, which a chart holds once
    bool amount = false;
    std::size_t count = 0;
    Decimal positive, negative;
  };
  // The findings of one record, held until the record ends.
  struct Open {
    long line = 0;
    std::vector<ReviewFinding> findings;
    std::vector<bool> filled;
    Decimal entrySum;
    bool entryHasAmount = false;
    std::size_t kindValues = 0, kindFailures = 0;
  };
  void CloseRecord();
  void CheckKind(const Column& c, std::string_view value, long line);
  void Add(ReviewFinding finding);
  void AddAll(std::vector<ReviewFinding>& findings);

  const ReadPlan& m_plan;
  ReviewRules m_rules;
  std::vector<Column> m_columns;
  ReviewReport m_report;
  Open m_open;
  bool m_recordOpen = false;
  // The first record, held until the second has ended: it may be a header row.
  bool m_holdingFirst = false;
  Open m_first;
  std::unordered_map<std::string, long> m_accounts;
  Decimal m_balance;
  std::string m_balanceItem;
};

// Whether `value` is a date as data files write them (month/day/year or
// year-month-day with "/", "-" or ".", or eight digits).
bool IsDateValue(std::string_view value);
// A year: four digits from 1900 to 2199, or two digits.
bool IsYearValue(std::string_view value);

}  // namespace zephrin
