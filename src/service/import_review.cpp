#include "service/import_review.h"

#include <array>

#include <pugixml.hpp>

#include "catalogue/catalogue.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace zephrin {
namespace {

bool Contains(std::string_view name, std::string_view part) {
  return LowerAscii(name).find(part) != std::string::npos;
}

// The kind of an item's values, by what its name says it holds.
ReviewKind KindOfItem(std::string_view name) {
  if (Contains(name, "balance") || Contains(name, "amount")) return ReviewKind::kAmount;
  if (Contains(name, "date")) return ReviewKind::kDate;
  if (name.ends_with("Year")) return ReviewKind::kYear;
  return ReviewKind::kAny;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

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

// An amount as a decimal: blanks around it dropped, a decimal comma read as
// a point.
std::optional<Decimal> AmountOf(std::string_view value, bool decimalComma) {
  const std::string_view trimmed = Trim(value);
  if (!decimalComma) return Decimal::Parse(trimmed);
  std::string text(trimmed);
  for (char& c : text)
    if (c == ',') c = '.';
  return Decimal::Parse(text);
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

ImportReview::ImportReview(const ReadPlan& plan, ReviewRules rules) : m_plan(plan), m_rules(std::move(rules)) {
  m_columns.resize(plan.items.size());
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
    const PlanItem& item = plan.items[j];
    Column& c = m_columns[j];
    c.name = AnsiToUtf8(item.name);
    c.kind = KindOfItem(item.name);
    c.required = j < m_rules.required.size() && m_rules.required[j] && item.field.placed();
    c.account = item.role == ItemRole::kAccountNumber && plan.journal == JournalLayout::kNone;
    c.amount = c.kind == ReviewKind::kAmount && item.field.placed();
    if (item.role == ItemRole::kAccountBalance && m_balanceItem.empty()) m_balanceItem = c.name;
    // A required item the template does not place is missing from every record.
    if (j < m_rules.required.size() && m_rules.required[j] && !item.field.placed())
      Add({0, c.name, "", "required-missing", "the template does not place " + ItemCaption(c.name) +
                                                   ", which every record requires"});
  }
  m_open.filled.assign(m_columns.size(), false);
}

void ImportReview::Record(long line) {
  if (m_recordOpen) CloseRecord();
  m_recordOpen = true;
  ++m_report.records;
  m_open.line = line;
}

void ImportReview::Value(std::size_t item, std::string_view value, long line) {
  if (item >= m_columns.size()) return;
  Column& c = m_columns[item];
  m_open.filled[item] = true;
  if (c.kind != ReviewKind::kAny) CheckKind(c, value, line);
  if (c.amount) {
    if (std::optional<Decimal> amount = AmountOf(value, m_rules.decimalComma)) {
      ++c.count;
      (amount->negative() ? c.negative : c.positive) += *amount;
      if (c.name == m_balanceItem) {
        m_balance += *amount;
        m_open.entrySum += *amount;
        m_open.entryHasAmount = true;
      }
    }
  }
  if (c.account) {
    const std::string account(Trim(value));
    const auto [at, added] = m_accounts.emplace(account, line);
    if (!added)
      m_open.findings.push_back({line, c.name, AnsiToUtf8(value), "duplicate-account",
                                 "account " + AnsiToUtf8(account) + " is already on line " +
                                     std::to_string(at->second)});
  }
}

void ImportReview::CheckKind(const Column& c, std::string_view value, long line) {
  ++m_open.kindValues;
  const char* code = nullptr;
  const char* what = nullptr;
  switch (c.kind) {
    case ReviewKind::kAmount:
      if (!AmountOf(value, m_rules.decimalComma)) code = "not-a-number", what = " is not a number";
      break;
    case ReviewKind::kWholeNumber:
      if (!AllDigits(Trim(value))) code = "not-a-number", what = " is not a whole number";
      break;
    case ReviewKind::kDate:
      if (!IsDateValue(value)) code = "not-a-date", what = " is not a date";
      break;
    case ReviewKind::kYear:
      if (!IsYearValue(value)) code = "not-a-year", what = " is not a year";
      break;
    case ReviewKind::kAny: break;
  }
  if (!code) return;
  ++m_open.kindFailures;
  const std::string shown = AnsiToUtf8(value);
  m_open.findings.push_back({line, c.name, shown, code, Quoted(shown) + what});
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
  for (std::size_t j = 0; j < m_columns.size(); ++j) {
    const Column& c = m_columns[j];
    if (c.required && !m_open.filled[j])
      m_open.findings.push_back({m_open.line, c.name, "", "required-missing",
                                 ItemCaption(c.name) + " is required and empty"});
  }
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
        ReviewFinding f{m_first.line, firstFailure.item, firstFailure.value, "header-as-record",
                        "the first record holds " + Quoted(firstFailure.value) +
                            " where the records after it hold valid values: a header row read as a record "
                            "(the start row is one line too early)"};
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
  m_open.filled.assign(m_columns.size(), false);
  m_open.entrySum = Decimal();
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
  pugi::xml_document doc;
  if (read.outcome == ReadOutcome::kError && doc.load_buffer(text.data(), text.size())) {
    const pugi::xml_node root = doc.document_element();
    f.line = root.attribute("Line").as_int();
    const pugi::xml_node entry = root.child("Err");
    if (entry) {
      if (f.line == 0) f.line = entry.attribute("Line").as_int();
      f.message = entry.child_value();
    } else {
      f.message = root.child_value();
    }
  } else if (read.outcome == ReadOutcome::kEmpty) {
    f.message = "the file holds no records the template can read";
  } else {
    f.message = std::string(text);
  }
  return f;
}

}  // namespace

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
  for (const Column& c : m_columns) {
    if (!c.amount) continue;
    Decimal total = c.positive;
    total += c.negative;
    m_report.totals.push_back({c.name, c.count, c.positive.ToString(2), c.negative.ToString(2), total.ToString(2)});
  }
  return std::move(m_report);
}

ReviewReport ImportReview::Refused(ReviewFinding finding) {
  ReviewReport report;
  report.findings.push_back(std::move(finding));
  return report;
}

}  // namespace zephrin
