#include "service/import_review.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <iterator>
#include <utility>

#include "catalogue/catalogue.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "platform/text.h"
#include "readers/signed_amount.h"
#include "result/error_document.h"

namespace zephrin {
namespace {

int Number(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

bool ValidDay(int year, int month, int day) {
  static constexpr std::array<int, 12> kDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  if (month == 2 && day == 29) return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0 || year < 100);
  return day <= kDays[static_cast<std::size_t>(month - 1)];
}

// An amount as a decimal. One the read already turned into a plain decimal
// is read as that: the Amounts rule read again could refuse its own output (a
// decimal point where the rule wants a comma). Else it is read under the
// template's Amounts rule, or as a plain decimal with blanks around it.
std::optional<Decimal> AmountOf(std::string_view value, bool readAsAmount, const ReviewRules& rules) {
  if (readAsAmount) return Decimal::Parse(value);
  if (!rules.signedAmounts) return Decimal::Parse(Trim(value));
  const std::optional<std::string> plain = SignedAmount(value, rules.decimalComma);
  if (!plain) return std::nullopt;
  return Decimal::Parse(*plain);
}

std::string Quoted(std::string_view value) { return "\"" + std::string(value) + "\""; }

}  // namespace

bool IsDateValue(std::string_view value) {
  const std::string_view v = Trim(value);
  if (v.size() == 8 && AllDigits(v))
    return ValidDay(Number(v.substr(0, 4)), Number(v.substr(4, 2)), Number(v.substr(6, 2))) ||
           ValidDay(Number(v.substr(4, 4)), Number(v.substr(0, 2)), Number(v.substr(2, 2)));
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= v.size(); ++i) {
    if (i == v.size() || v[i] == '/' || v[i] == '-' || v[i] == '.') {
      parts.push_back(v.substr(start, i - start));
      start = i + 1;
    }
  }
  if (parts.size() != 3) return false;
  for (const std::string_view p : parts)
    if (!AllDigits(p) || p.size() > 4) return false;
  if (parts[0].size() == 4) return ValidDay(Number(parts[0]), Number(parts[1]), Number(parts[2]));
  if (parts[2].size() != 4 && parts[2].size() != 2) return false;
  return ValidDay(Number(parts[2]), Number(parts[0]), Number(parts[1]));
}

bool IsYearValue(std::string_view value) {
  const std::string_view v = Trim(value);
  if (!AllDigits(v)) return false;
  if (v.size() == 2) return true;
  return v.size() == 4 && Number(v) >= 1900 && Number(v) <= 2199;
}

namespace {

// The order of the run: shorter numbers first, then byte by byte, which is
// the numbers' own order for account numbers of digits.
bool Before(std::string_view a, std::string_view b) { return a.size() != b.size() ? a.size() < b.size() : a < b; }

}  // namespace

AccountLines::Entry AccountLines::Note(std::string_view account, long line) {
  const Entry e{m_text.size(), static_cast<uint32_t>(account.size()), static_cast<uint32_t>(line)};
  m_text.append(account);
  return e;
}

long AccountLines::FirstOrNote(std::string_view account, long line) {
  // Lines and numbers past four billion (of lines, or of bytes in one number)
  // are not noted.
  if (account.size() > UINT32_MAX || line <= 0 || line > static_cast<long>(UINT32_MAX)) return 0;
  if (m_run.empty() || Before(TextOf(m_run.back()), account)) {
    m_run.push_back(Note(account, line));
    return 0;
  }
  const auto in = std::lower_bound(m_run.begin(), m_run.end(), account,
                                   [&](const Entry& e, std::string_view a) { return Before(TextOf(e), a); });
  if (in != m_run.end() && TextOf(*in) == account) return in->line;
  if (m_entries.size() >= UINT32_MAX - 1) return 0;
  if ((m_entries.size() + 1) * 2 > m_slots.size()) Grow();
  const auto hash = static_cast<uint32_t>(std::hash<std::string_view>{}(account));
  uint64_t* slot = Find(account, hash);
  if (*slot != 0) return m_entries[static_cast<uint32_t>(*slot) - 1].line;
  m_entries.push_back(Note(account, line));
  *slot = static_cast<uint64_t>(hash) << 32 | m_entries.size();
  return 0;
}

// The slot that holds `account`, or the free one where it would go.
uint64_t* AccountLines::Find(std::string_view account, uint32_t hash) {
  const std::size_t mask = m_slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    uint64_t& s = m_slots[i];
    if (s == 0) return &s;
    if (static_cast<uint32_t>(s >> 32) != hash) continue;
    if (TextOf(m_entries[static_cast<uint32_t>(s) - 1]) == account) return &s;
  }
}

void AccountLines::Grow() {
  std::vector<uint64_t> old = std::exchange(m_slots, std::vector<uint64_t>(std::max<std::size_t>(64, m_slots.size() * 2)));
  const std::size_t mask = m_slots.size() - 1;
  for (const uint64_t s : old) {
    if (s == 0) continue;
    std::size_t i = (s >> 32) & mask;
    while (m_slots[i] != 0) i = (i + 1) & mask;
    m_slots[i] = s;
  }
}

ImportReview::ImportReview(const ReadPlan& plan, ReviewRules rules) : m_plan(plan), m_rules(std::move(rules)) {
  m_columns.resize(plan.items.size());
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
    const PlanItem& item = plan.items[j];
    Column& c = m_columns[j];
    c.name = AnsiToUtf8(item.name);
    c.kind = ValueKindAt(plan.keys, j);
    c.required = j < m_rules.required.size() && m_rules.required[j] && item.field.placed();
    if (c.required) m_required.push_back(j);
    c.account = item.role == ItemRole::kAccountNumber && plan.journal == JournalLayout::kNone;
    c.amount = c.kind == ValueKind::kAmount && item.field.placed();
    if (item.role == ItemRole::kAccountBalance && m_balanceItem.empty()) {
      m_balanceItem = c.name;
      c.balance = true;
    }
    // A required item the template does not place is missing from every record.
    if (j < m_rules.required.size() && m_rules.required[j] && !item.field.placed())
      Add({0, c.name, "", "required-missing", "the template does not place " + ItemCaption(c.name) +
                                                   ", which every record requires"});
  }
  m_open.filled.assign(m_columns.size(), 0);
}

void ImportReview::Record(long line) {
  if (m_recordOpen) CloseRecord();
  m_recordOpen = true;
  ++m_report.records;
  m_open.line = line;
}

namespace {

constexpr std::string_view kTabSaid =
    "a tab in this line counts as one column, as fixed-width text counts it, though an editor shows it as up to "
    "eight: the fields after it are cut elsewhere than they look";
constexpr std::string_view kCtrlZSaid =
    "a Ctrl-Z on this line, the end-of-file mark of old programs, ends the text: what follows it is not read (two "
    "such files joined into one leave one between them)";
constexpr std::string_view kNotUtf8Said =
    "this line holds a byte that is not UTF-8, in a file of UTF-8 letters besides: the file is read as "
    "Windows-1252, so each of those letters reads as two characters (and in fixed-width text moves the fields "
    "after it); save the file again as UTF-8, or as Windows-1252, whole";
constexpr std::string_view kNotAWorkbookSaid =
    "the file's name ends in .xls, but it holds text, not a workbook: it was read as fixed-width text, as such a "
    "name says; an export of separated text named so reads as such when the read or the template names its "
    "separator";

}  // namespace

// A quote left open joins the next lines into one field, a carriage return
// that ends no line joins what follows it to the line, and a tab moves a
// fixed-width line's fields: their values are not where the template looks
// for them, which the record's other findings may not make plain.
void ImportReview::Noted(long line, LineNote what) {
  ReviewFinding f{line, "", "", "", ""};
  switch (what) {
    case LineNote::kQuoteLeftOpen:
      f.code = "open-quote";
      f.message = "a double quote opened on this line is not closed on it, so the lines after it are read as one "
                  "field up to the next double quote";
      break;
    case LineNote::kCarriageReturn:
      f.code = "carriage-return";
      f.message = "a carriage return inside this line does not end it (only a line feed ends a line), so what "
                  "follows it is read as part of this line";
      break;
    case LineNote::kTab:
      f.code = "tab";
      f.message = std::string(kTabSaid);
      break;
  }
  if (m_recordOpen) m_open.findings.push_back(std::move(f));
  else Add(std::move(f));
}

void ImportReview::Value(std::size_t item, std::string_view value, long line, bool readAsAmount) {
  if (item >= m_columns.size()) return;
  Column& c = m_columns[item];
  m_open.filled[item] = 1;
  if (c.kind == ValueKind::kAmount) {
    // Read once: for the check of its kind and for the sums.
    std::optional<Decimal> amount = AmountOf(value, readAsAmount, m_rules);
    ++m_open.kindValues;
    if (!amount) Failed(c, value, line, "not-a-number", " is not a number");
    else if (c.amount) Sum(c, *amount);
  } else if (c.kind != ValueKind::kText && c.kind != ValueKind::kCode) {
    CheckKind(c, value, line);
  }
  if (c.account) {
    if (const long first = m_accounts.FirstOrNote(Trim(value), line); first != 0)
      m_open.findings.push_back({line, c.name, AnsiToUtf8(value), "duplicate-account",
                                 "account " + AnsiToUtf8(Trim(value)) + " is already on line " +
                                     std::to_string(first)});
  }
}

void ImportReview::Sum(Column& c, const Decimal& amount) {
  ++c.count;
  (amount.negative() ? c.negative : c.positive) += amount;
  if (c.balance) {
    m_balance += amount;
    if (m_plan.journal != JournalLayout::kNone) {
      m_open.entrySum += amount;
      m_open.entryHasAmount = true;
    }
  }
}

void ImportReview::Failed(const Column& c, std::string_view value, long line, const char* code, const char* what) {
  ++m_open.kindFailures;
  const std::string shown = AnsiToUtf8(value);
  m_open.findings.push_back({line, c.name, shown, code, Quoted(shown) + what});
}

void ImportReview::CheckKind(const Column& c, std::string_view value, long line) {
  ++m_open.kindValues;
  switch (c.kind) {
    case ValueKind::kRate:
      if (!Decimal::Parse(Trim(value))) Failed(c, value, line, "not-a-number", " is not a number");
      break;
    case ValueKind::kWholeNumber:
      if (!AllDigits(Trim(value))) Failed(c, value, line, "not-a-number", " is not a whole number");
      break;
    case ValueKind::kDate:
      if (!IsDateValue(value)) Failed(c, value, line, "not-a-date", " is not a date");
      break;
    case ValueKind::kYear:
      if (!IsYearValue(value)) Failed(c, value, line, "not-a-year", " is not a year");
      break;
    default: break;
  }
}

void ImportReview::Add(ReviewFinding finding) {
  if (m_report.findings.size() < kMaxListedFindings) m_report.findings.push_back(std::move(finding));
  else ++m_report.moreFindings;
}

void ImportReview::AddAll(std::vector<ReviewFinding>& findings) {
  for (ReviewFinding& f : findings) Add(std::move(f));
  findings.clear();
}

void ImportReview::CloseRecord() {
  m_recordOpen = false;
  for (const std::size_t j : m_required)
    if (!m_open.filled[j])
      m_open.findings.push_back({m_open.line, m_columns[j].name, "", "required-missing",
                                 ItemCaption(m_columns[j].name) + " is required and empty"});
  if (m_plan.journal != JournalLayout::kNone && m_open.entryHasAmount && !m_open.entrySum.zero()) {
    const std::string difference = m_open.entrySum.ToString(2);
    m_open.findings.push_back({m_open.line, m_balanceItem, difference, "out-of-balance",
                               "the journal entry's amounts sum to " + difference + ", not zero"});
  }
  if (m_report.records == 1) {
    // The first record waits for the second: a header row read as data shows
    // only beside records that hold valid values.
    m_first = std::move(m_open);
    m_holdingFirst = true;
  } else {
    if (m_holdingFirst) {
      m_holdingFirst = false;
      const bool header = m_first.kindValues > 0 && m_first.kindFailures == m_first.kindValues &&
                          m_open.kindValues > m_open.kindFailures;
      if (header) {
        const ReviewFinding& firstFailure = m_first.findings.front();
        // A fixed-width read takes every line with text: it has no start row.
        const char* why = m_plan.format == SourceFormat::kFixedWidth
                              ? "(a fixed-width read takes every line with text, its header line too)"
                              : "(the start row is one line too early)";
        ReviewFinding f{m_first.line, firstFailure.item, firstFailure.value, "header-as-record",
                        "the first record holds " + Quoted(firstFailure.value) +
                            " where the records after it hold valid values: a header row read as a record " + why};
        std::erase_if(m_first.findings, [](const ReviewFinding& x) {
          return x.code == "not-a-number" || x.code == "not-a-date" || x.code == "not-a-year";
        });
        m_first.findings.insert(m_first.findings.begin(), std::move(f));
      }
      AddAll(m_first.findings);
    }
    AddAll(m_open.findings);
  }
  m_open.findings.clear();
  // The next record starts with no item filled and no entry sum; a record
  // held back as the first took its marks with it.
  if (m_open.filled.size() != m_columns.size()) m_open.filled.assign(m_columns.size(), 0);
  else
    for (const std::size_t j : m_required) m_open.filled[j] = 0;
  if (m_open.entryHasAmount) m_open.entrySum = Decimal();
  m_open.entryHasAmount = false;
  m_open.kindValues = m_open.kindFailures = 0;
}

namespace {

// The read's failure as a finding: the message of its error document, and
// the line the document names.
ReviewFinding ReadFailure(const ReadResult& read) {
  ReviewFinding f;
  f.code = "read-error";
  const std::string_view text = read.text.view();
  std::vector<ErrorEntry> entries;
  if (read.outcome == ReadOutcome::kError) entries = ErrorEntriesOf(text);
  if (!entries.empty()) {
    f.line = entries.front().line;
    f.message = std::move(entries.front().text);
  } else if (read.outcome == ReadOutcome::kEmpty) {
    f = ImportReview::NothingRead();
  } else {
    f.message = std::string(text);
  }
  return f;
}

}  // namespace

// The split amounts are known once every line is counted: they join the
// findings by their lines, before those of the whole file.
void ImportReview::MergeSplitAmounts(const SplitAmounts& amounts) {
  if (amounts.lines.empty() && amounts.more == 0) return;
  std::vector<ReviewFinding> split;
  for (const SplitAmount& s : amounts.lines)
    split.push_back({s.line, "", s.amount, "split-amount",
                     Format("this line has %zu fields where %s: \"%s\" reads as one amount whose "
                            "thousands commas split it into fields of their own, which moves the fields after it; "
                            "quote the amount, or write amounts without thousands separators",
                            s.fields, amounts.Usual().c_str(), s.amount.c_str())});
  std::vector<ReviewFinding> merged;
  merged.reserve(m_report.findings.size() + split.size());
  const auto byLine = [](const ReviewFinding& a, const ReviewFinding& b) {
    return (a.line == 0 ? LONG_MAX : a.line) < (b.line == 0 ? LONG_MAX : b.line);
  };
  std::merge(std::make_move_iterator(m_report.findings.begin()), std::make_move_iterator(m_report.findings.end()),
             std::make_move_iterator(split.begin()), std::make_move_iterator(split.end()), std::back_inserter(merged),
             byLine);
  m_report.moreFindings += amounts.more;
  if (merged.size() > kMaxListedFindings) {
    m_report.moreFindings += merged.size() - kMaxListedFindings;
    merged.resize(kMaxListedFindings);
  }
  m_report.findings = std::move(merged);
}

ReviewReport ImportReview::Finish(const ReadResult& read) {
  if (m_recordOpen) CloseRecord();
  if (m_holdingFirst) AddAll(m_first.findings);
  m_holdingFirst = false;
  if (read.outcome != ReadOutcome::kDocument) {
    Add(ReadFailure(read));
  } else if (m_rules.balancesSumToZero && m_plan.journal == JournalLayout::kNone && !m_balanceItem.empty() &&
             !m_balance.zero()) {
    const std::string difference = m_balance.ToString(2);
    Add({0, m_balanceItem, difference, "out-of-balance", "the balances sum to " + difference + ", not zero"});
  }
  MergeSplitAmounts(read.splitAmounts);
  if (read.uncomputedFormulas.cells != 0)
    Add({0, "", read.uncomputedFormulas.first, "formula-without-value", read.uncomputedFormulas.Said()});
  if (read.ctrlZLine != 0) Add({read.ctrlZLine, "", "", "ctrl-z", std::string(kCtrlZSaid)});
  if (read.notUtf8Line != 0) Add({read.notUtf8Line, "", "", "not-utf8", std::string(kNotUtf8Said)});
  if (read.textNamedAsWorkbook) Add({0, "", "", "not-a-workbook", std::string(kNotAWorkbookSaid)});
  if (read.endMarkMissing)
    Add({0, "", "", "cut-short",
         "the file ends without the end-of-data mark (EOD) that closes a DIF file: it may have been cut short, "
         "and rows after the last one read are missing"});
  for (const Column& c : m_columns) {
    if (!c.amount) continue;
    Decimal total = c.positive;
    total += c.negative;
    m_report.totals.push_back({c.name, c.count, c.positive.ToString(2), c.negative.ToString(2), total.ToString(2)});
  }
  return std::move(m_report);
}

ReviewFinding ImportReview::NothingRead() {
  ReviewFinding f;
  f.code = "read-error";
  f.message = "the file holds no records the template can read";
  return f;
}

ReviewReport ImportReview::Refused(ReviewFinding finding) {
  ReviewReport report;
  report.findings.push_back(std::move(finding));
  return report;
}

}  // namespace zephrin
