#include "readers/split_amounts.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"

namespace zephrin {
namespace {

// The first digits of an amount: one to three digits, after a minus sign or
// an opening parenthesis.
bool LeadingGroup(std::string_view field) {
  if (!field.empty() && (field.front() == '-' || field.front() == '(')) field.remove_prefix(1);
  return field.size() <= 3 && AllDigits(field);
}

// A group of three digits after a thousands comma: alone, or the last one,
// followed by decimals, a closing parenthesis or a trailing minus sign.
// `last` says whether it is the last (anything after the digits makes it so).
bool ThousandsGroup(std::string_view field, bool& last) {
  if (field.size() < 3 || !AllDigits(field.substr(0, 3))) return false;
  std::string_view rest = field.substr(3);
  last = !rest.empty();
  if (!rest.empty() && (rest.back() == ')' || rest.back() == '-')) rest.remove_suffix(1);
  if (!rest.empty() && rest.front() == '.') rest.remove_prefix(1);
  return rest.empty() || AllDigits(rest);
}

// The fields [begin, end) of the line's first run that reads as one amount
// split at its commas, preferring one that ends in decimals (or a closing
// parenthesis, or a minus sign): "40,400" may be two codes side by side,
// "1,000.00" is an amount. An empty run when there is none.
std::pair<std::size_t, std::size_t> SplitRun(std::span<const Cell> cells) {
  std::pair<std::size_t, std::size_t> first{0, 0};
  for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
    if (!LeadingGroup(cells[i].text)) continue;
    bool last = false;
    std::size_t j = i + 1;
    for (; j < cells.size() && cells[j].column == cells[j - 1].column + 1 && !last; ++j)
      if (!ThousandsGroup(cells[j].text, last)) break;
    if (j == i + 1) continue;
    if (last) return {i, j};
    if (first.second == 0) first = {i, j};
  }
  return first;
}

}  // namespace

void SplitAmountWatch::Grow(std::size_t fields) { m_lines.resize(std::min(fields, kMostFields) + 1); }

void SplitAmountWatch::Look(long line, std::size_t fields, std::span<const Cell> cells) {
  const auto [begin, end] = SplitRun(cells);
  m_lastSuspect = end != 0;
  if (!m_lastSuspect) return;
  if (m_suspects.size() >= kMaxListed) {
    const std::size_t counted = std::min(fields, kMostFields);
    if (counted >= m_unlisted.size()) m_unlisted.resize(counted + 1);
    ++m_unlisted[counted];
    return;
  }
  std::string amount(cells[begin].text);
  for (std::size_t k = begin + 1; k < end; ++k) amount.append(",").append(cells[k].text);
  m_suspects.push_back({line, fields, std::move(amount)});
}

SplitAmounts SplitAmountWatch::Finish() const {
  SplitAmounts out;
  if (m_lines.empty()) return out;
  // The larger count wins a tie: no line is told of when it is unclear
  // which lines are the usual ones.
  for (std::size_t n = 0; n < m_lines.size(); ++n)
    if (m_lines[n] != 0 && m_lines[n] >= m_lines[out.usualFields]) out.usualFields = n;
  for (const SplitAmount& s : m_suspects)
    if (s.fields > out.usualFields) out.lines.push_back(s);
  for (std::size_t n = out.usualFields + 1; n < m_unlisted.size(); ++n) out.more += m_unlisted[n];
  return out;
}

}  // namespace zephrin
