// Journal entries: one record per entry, its header items as elements of the
// record and each account line an "Acct" of its "Accounts" list. Two layouts:
// blocks of rows (header rows, one blank row, account rows, two blank rows
// that end the entry) and the lines of a fixed-width file, where each item's
// line code says on which line of the entry it stands.
#include "readers/reader_messages.h"
#include "readers/record_builder.h"
#include "result/error_document.h"

namespace zephrin {

namespace {

constexpr uint16_t kAccountLines = 224;  // line code of the account lines


}  // namespace

void RecordBuilder::StartEntry(int32_t index) {
  (void)StartRecord(index);
  m_recordOpen = true;
  m_outFlag.fill(false);
  for (std::size_t k : kJEPresetItems) m_outFlag[k] = true;
}

void RecordBuilder::CountEntryRow(bool blank) {
  if (blank) {
    if (++m_blankCount == 3) {
      m_blankCount = m_lineCount = 0;
      m_recordOpen = m_headerDone = false;
    }
    // Blank rows before an entry's first row are not counted.
    if (m_blankCount > 0 && m_lineCount == 0) m_blankCount = 0;
  } else {
    ++m_lineCount;
  }
  m_balanceWritten = m_numberWritten = m_transferWritten = false;
}

void RecordBuilder::OpenAccounts() {
  if (m_plan.chartOnly) {
    for (std::size_t k = 0; k < m_plan.items.size() && k < m_outFlag.size(); ++k)
      if (!m_outFlag[k]) m_doc.AddDataNode(m_plan.items[k].element);
  }
  m_doc.AddMajorChild("Accounts");
}

bool RecordBuilder::AccountElement(const XmlTag& tag, std::string_view noList) {
  if (m_doc.AddAcctNode(tag) == ResultDocument::AcctNode::kAdded) return true;
  return Fail(ErrorDocument::Reader(noList));
}

// ---- Blocks of rows ---------------------------------------------------------------

bool RecordBuilder::BlockRow(const Row& row) {
  if (!m_recordOpen && m_lineCount == 0) {
    if (m_plan.failWithoutRecordName && m_plan.record.name.empty())
      return Fail(ErrorDocument::Reader(messages::kNoRecordElement));
    StartEntry(row.index);
  }
  m_line = row.index;
  m_written = 0;
  if (!m_creditItems.empty()) TakeCreditCells(row);
  for (const Cell& cell : row.cells) {
    if (cell.text.empty()) continue;
    for (const ColumnItem& c : ItemsOf(cell.column))
      if (!EntryField(*c.item, c.index, cell.text, cell.number)) return false;
  }
  if (!row.ended) return true;
  CountEntryRow(row.blank);
  NoteBlankRun(row.index, m_written == 0);
  return BlankRunBelowLimit();
}

bool RecordBuilder::EntryField(const PlanItem& item, std::size_t j, std::string_view field, bool number) {
  if (item.rule == ValueRule::kSignedAmount) {
    const std::optional<std::string_view> amount = AmountField(item, field, number);
    if (!amount) return true;
    field = *amount;
  }
  ++m_written;
  const bool isNumber = item.role == ItemRole::kAccountNumber;
  const bool isTransfer = item.role == ItemRole::kTransfer;
  const bool isBalance = item.role == ItemRole::kAccountBalance;
  // The row after the entry's one blank row, and every row after it, are
  // account rows: each starts an account at the first of its two key fields.
  if (m_blankCount == 1 && m_recordOpen) {
    if (!m_headerDone) OpenAccounts();
    m_headerDone = true;
    if (m_plan.chartOnly && ((isNumber && !m_transferWritten) || (isTransfer && !m_numberWritten)))
      m_doc.AddAcctRoot();
    else if (m_plan.balanceOnly && ((isNumber && !m_balanceWritten) || (isBalance && !m_numberWritten)))
      m_doc.AddAcctRoot();
  }
  const bool write = !m_headerDone || (m_plan.chartOnly && (isNumber || isTransfer)) ||
                     (!m_plan.chartOnly && m_plan.balanceOnly &&
                      (isNumber || isBalance || item.role == ItemRole::kRtpAdjOverride));
  if (!write) return true;
  if (IsAccountField(item.role)) {
    if (!AccountElement(item.element, m_plan.noAccountList)) return false;
  } else {
    m_doc.AddDataNode(item.element);
  }
  m_doc.WriteDataNode(StripQuotes(field), ValueTable());
  ++m_values;
  if (m_hooks.observer) Observe(item, field);
  if (j < m_outFlag.size()) m_outFlag[j] = true;
  if (isBalance) m_balanceWritten = true;
  if (isNumber) m_numberWritten = true;
  if (isTransfer) m_transferWritten = true;
  return true;
}

// ---- Lines of a fixed-width file ------------------------------------------------------

bool RecordBuilder::LineCodeRow(const Row& row) {
  m_line = row.index;
  m_written = 0;
  if (row.blank) {
    // The third blank line of an entry ends it.
    if (m_recordOpen && ++m_blankCount == 3) {
      m_blankCount = m_entryLine = 0;
      m_recordOpen = false;
      if (!m_skipEntry) m_headerDone = m_balanceWritten = false;
    }
    NoteBlankRun(row.index, true);
    return true;
  }
  if (m_recordOpen) {
    // A line after the accounts and only one blank line breaks the layout.
    if (m_headerDone && m_blankCount == 2)
      return Fail(ErrorDocument::Line(row.index + 1).Text(messages::kJournalFormat).Take());
    ++m_entryLine;
  }
  if (!m_creditItems.empty()) TakeCreditCells(row);
  for (const Cell& cell : row.cells) {
    // The cells after the items' own are their credit columns.
    const std::size_t j = cell.column < m_plan.items.size() ? cell.column : cell.column - m_plan.items.size();
    const PlanItem& item = m_plan.items[j];
    if (m_recordOpen) {
      const uint16_t code = item.field.nLineCode;
      const bool read = code < kAccountLines ? (code == m_entryLine - 1 && m_blankCount == 0)
                        : code == kAccountLines ? m_blankCount != 0
                                                : true;
      if (!read) continue;
    }
    if (!LineCodeField(item, j, cell.text, cell.number, row.index)) return false;
  }
  // A line that wrote nothing counts for the blank run, unless its entry is
  // being skipped.
  if (!(m_written == 0 && m_skipEntry)) NoteBlankRun(row.index, m_written == 0);
  return BlankRunBelowLimit();
}

bool RecordBuilder::LineCodeField(const PlanItem& item, std::size_t j, std::string_view field, bool number,
                                  int32_t index) {
  if (item.rule == ValueRule::kSignedAmount) {
    const std::optional<std::string_view> amount = AmountField(item, field, number);
    if (!amount) return true;
    field = *amount;
  }
  const bool isNumber = item.role == ItemRole::kAccountNumber;
  const bool isBalance = item.role == ItemRole::kAccountBalance;
  if (!field.empty()) {
    bool handle = true;
    // The entry's key says whether it is of the kind being read.
    if (item.role == ItemRole::kJEType || (m_plan.batch && item.role == ItemRole::kCompanyNumber)) {
      const char first = Printable(field.substr(0, 1))[0];
      if (!((m_plan.chartOnly && first == m_plan.jeKind) || m_plan.balanceOnly)) {
        m_skipEntry = m_passedOverEntries = true;
        m_blankRun = 0;
        handle = false;
      } else {
        m_skipEntry = false;
        if (!m_recordOpen) {
          StartEntry(index);
          ++m_entryLine;
        }
      }
    }
    if (m_skipEntry) handle = false;
    if (handle) {
      if (isNumber) {
        if (!m_headerDone) OpenAccounts();
        m_headerDone = true;
        m_doc.AddAcctRoot();
      }
      if (IsAccountField(item.role)) {
        if (!AccountElement(item.element, messages::kNoAcctTwoBlanks)) return false;
      } else {
        m_doc.AddDataNode(item.element);
      }
      m_doc.WriteDataNode(StripQuotes(field), ValueTable());
      ++m_written;
      ++m_values;
      if (m_hooks.observer) Observe(item, field);
      if ((!m_headerDone || isNumber || (m_plan.balanceOnly && (isBalance || item.role == ItemRole::kRtpAdjOverride))) &&
          j < m_outFlag.size())
        m_outFlag[j] = true;
      if (isBalance) m_balanceWritten = true;
    }
  }
  if (m_skipEntry) return true;
  // A balance read gives every account line long enough to reach the
  // balance an "Account_Balance", empty when the line has none there.
  if (m_headerDone && m_plan.balanceOnly && !m_balanceWritten && isBalance &&
      !AccountElement(m_plan.accountBalance, messages::kNoAcctOneBlank))
    return false;
  if (m_headerDone && m_plan.balanceOnly) m_balanceWritten = false;
  return true;
}

}  // namespace zephrin
