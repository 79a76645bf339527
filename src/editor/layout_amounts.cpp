// The layout editor's amounts: how the template writes amount values, and the
// credit column an amount item may have beside its own (debit) column.
#include "catalogue/value_kinds.h"
#include "editor/layout_editor.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

constexpr std::string_view kCreditSuffix = " (credit)";
constexpr std::string_view kOwnColumn = "The credit column must be another column than the item's own.";

}  // namespace

bool CCLayout::IsAmountItem(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_itemCount || m_keys == nullptr) return false;
  return ValueKindAt(m_keys, static_cast<std::size_t>(index)) == ValueKind::kAmount;
}

// The template's Amounts key and credit columns (an existing template only).
void CCLayout::LoadStoredAmounts() {
  m_amounts = AmountStyle::kAsWritten;
  m_credits = FieldInfoArray{};
  m_creditMode = false;
  if (m_bNewTemplate || m_in.iniPath.empty()) return;
  const Expected<ProfileDocument> doc = ProfileDocument::Load(m_in.iniPath);
  if (!doc) return;
  const ProfileView view(*doc);
  const std::string section = TemplateSection(m_name);
  const std::string amounts = UpperAscii(view.Get(section, "Amounts"));
  if (amounts == "SIGNED") m_amounts = AmountStyle::kSigned;
  if (amounts == "SIGNED COMMA") m_amounts = AmountStyle::kSignedComma;
  FieldInfoArray credits{};
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    const std::string value = view.Get(section, std::string(m_keys[i]) + ".Credit");
    if (!value.empty() && IsAmountItem(static_cast<int>(i))) credits[i] = ParsePositionValue(value);
  }
  SetCredits(credits);
}

bool CCLayout::StartCreditPlacement() {
  const FieldInfo* f = Cur();
  m_creditMode = f != nullptr && f->placed() && currentAvailable() && IsAmountItem(m_nCurSel);
  return m_creditMode;
}

void CCLayout::CaptionCredit(std::size_t item) {
  const FieldInfo& c = m_credits[item];
  if (!gridLayout() || !c.placed()) return;
  if (static_cast<long>(c.nCol) + 1 >= m_gridCols) {
    m_credits[item] = FieldInfo{};
    return;
  }
  m_headers[c.nCol + 1u] = m_captions[item] + std::string(kCreditSuffix);
}

void CCLayout::ClearCredit(std::size_t item) {
  const FieldInfo c = m_credits[item];
  m_credits[item] = FieldInfo{};
  if (!gridLayout() || !c.placed()) return;
  for (std::size_t i = 0; i < m_itemCount; ++i)
    if (m_fields[i].placed() && m_fields[i].nCol == c.nCol) return;  // the column names an item now
  RestoreHeader(c.nCol);
}

// An item placed on a column takes it from any credit column there (the
// item's caption is over it already).
void CCLayout::DropCreditsAt(uint16_t nCol) {
  for (std::size_t i = 0; i < m_itemCount; ++i)
    if (m_credits[i].placed() && m_credits[i].nCol == nCol) m_credits[i] = FieldInfo{};
}

// Credit columns of items that lost their own place go with it.
void CCLayout::DropOrphanCredits() {
  for (std::size_t i = 0; i < m_itemCount; ++i)
    if (m_credits[i].placed() && !m_fields[i].placed()) ClearCredit(i);
}

void CCLayout::SetCredits(const FieldInfoArray& credits) {
  for (std::size_t i = 0; i < m_itemCount; ++i) ClearCredit(i);
  for (std::size_t i = 0; i < m_itemCount; ++i) {
    if (!credits[i].placed() || !m_fields[i].placed()) continue;
    m_credits[i] = credits[i];
    CaptionCredit(i);
  }
}

// A credit column makes the template's amounts signed (a debit less a credit
// is a signed number).
bool CCLayout::PlaceCreditFromGrid(long row, long col) {
  m_creditMode = false;
  const auto item = static_cast<std::size_t>(m_nCurSel);
  const auto nCol = static_cast<uint16_t>(col - 1);
  if (m_fields[item].nCol == nCol) {
    ShowMessage(kOwnColumn);
    return false;
  }
  ClearCredit(item);
  // The column is the credit's alone: an item or another credit there loses it.
  ApplyDuplicateRule(nCol);
  DropOrphanCredits();
  DropCreditsAt(nCol);
  m_credits[item] = FieldInfo{nCol, static_cast<uint16_t>(row + 1),
                              m_nTypeID == EditorKind::JournalEntry ? LineCode(static_cast<std::size_t>(row)) : uint16_t{0}};
  CaptionCredit(item);
  if (m_amounts == AmountStyle::kAsWritten) m_amounts = AmountStyle::kSigned;
  return true;
}

bool CCLayout::PlaceCreditFromText(std::size_t line, std::size_t start, std::size_t length) {
  m_creditMode = false;
  const auto item = static_cast<std::size_t>(m_nCurSel);
  m_credits[item] = FieldInfo{static_cast<uint16_t>(start), static_cast<uint16_t>(length),
                              m_nTypeID == EditorKind::JournalEntry ? LineCode(line) : uint16_t{0}};
  if (m_amounts == AmountStyle::kAsWritten) m_amounts = AmountStyle::kSigned;
  return true;
}

bool CCLayout::CreditsNeedSignedAmounts() const {
  if (m_amounts != AmountStyle::kAsWritten) return false;
  for (std::size_t i = 0; i < m_itemCount; ++i)
    if (m_fields[i].placed() && m_credits[i].placed()) return true;
  return false;
}

}  // namespace zephrin
