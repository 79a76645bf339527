#include "readers/split_amounts.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"

namespace zephrin {
namespace {

// The first digits of an amount: one to three digits, after a minus sign,
// an opening parenthesis or a currency sign.
bool LeadingGroup(std::string_view field) {
  field = Trim(field);
  if (!field.empty() && (field.front() == '-' || field.front() == '(')) field.remove_prefix(1);
  if (!field.empty() && field.front() == '$') field.remove_prefix(1);
  return field.size() <= 3 && AllDigits(field);
}

// A group of three digits after a thousands comma: alone, or the last one,
// followed by decimals, a closing parenthesis or a trailing minus sign, and
// by CR or DR. `last` says whether it must be the last (anything after the
// digits makes it so), `decimals` whether decimals follow.
bool ThousandsGroup(std::string_view field, bool& last, bool& decimals) {
  field = Trim(field);
  if (field.size() < 3 || !AllDigits(field.substr(0, 3))) return false;
  std::string_view rest = field.substr(3);
  last = !rest.empty();
  if (rest.size() >= 2) {
    const std::string_view mark = rest.substr(rest.size() - 2);
    if (EqualsIgnoringCase(mark, "CR") || EqualsIgnoringCase(mark, "DR")) rest = TrimRight(rest.substr(0, rest.size() - 2));
  }
  if (!rest.empty() && (rest.back() == ')' || rest.back() == '-')) rest.remove_suffix(1);
  decimals = !rest.empty() && rest.front() == '.';
  if (decimals) rest.remove_prefix(1);
  return rest.empty() || AllDigits(rest);
}

struct Run {
  std::size_t begin = 0, end = 0;  // end 0: none
  bool decimals = false;
  bool beyond = false;  // a run starts past the columns read (it moves nothing read)
};

// The line's first run of fields that reads as one amount split at its
// commas and starts where the read takes fields, preferring one that ends in
// decimals: "40,400" may be two codes side by side, "1,000.00" is an amount.
// Whether a run starts past those columns is noted too: its line is no
// usual line either.
Run SplitRun(std::span<const Cell> cells, std::size_t columns) {
  Run first;
  for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
    if (!LeadingGroup(cells[i].text)) continue;
    bool last = false, decimals = false;
    std::size_t j = i + 1;
    for (; j < cells.size() && cells[j].column == cells[j - 1].column + 1 && !last; ++j)
      if (!ThousandsGroup(cells[j].text, last, decimals)) break;
    if (j == i + 1) continue;
    if (cells[i].column >= columns) {
      first.beyond = true;
      break;
    }
    if (decimals) return {i, j, true, first.beyond};
    if (first.end == 0) first = {i, j, false, false};
  }
  return first;
}

}  // namespace

std::string JoinedSplitAmount(std::span<const Cell> cells) {
  if (cells.size() < 2 || !LeadingGroup(cells[0].text)) return {};
  std::string amount(Trim(cells[0].text));
  bool last = false, decimals = false;
  std::size_t j = 1;
  for (; j < cells.size() && !last && ThousandsGroup(cells[j].text, last, decimals); ++j)
    amount.append(",").append(Trim(cells[j].text));
  return j == 1 ? std::string() : amount;
}

void SplitAmountWatch::Look(long line, std::size_t fields, std::span<const Cell> cells) {
  const Run run = SplitRun(cells, m_columns);
  m_lastSuspect = run.end != 0 || run.beyond;
  if (!m_lastSuspect) return;
  Count(m_suspects, fields);
  m_leastSuspect = std::min(m_leastSuspect, fields);
  if (run.end == 0) return;
  if (m_listed.size() >= kMaxListed) return Count(m_unlisted[run.decimals ? 1 : 0], fields);
  Suspect s{line, fields, {}, run.decimals};
  for (std::size_t k = run.begin; k < run.end; ++k) s.groups.emplace_back(Trim(cells[k].text));
  m_listed.push_back(std::move(s));
}

SplitAmounts SplitAmountWatch::Finish(std::size_t header) const {
  SplitAmounts out;
  if (m_suspects.empty()) return out;
  // The count most lines without a suspect run have (the larger one of a
  // tie: no line is told of when it is unclear which lines are the usual
  // ones); the header's when every line has one.
  std::size_t usual = 0, most = 0;
  for (std::size_t n = 0; n < m_lines.size(); ++n) {
    const std::size_t plain = m_lines[n] - (n < m_suspects.size() ? m_suspects[n] : 0);
    if (plain != 0 && plain >= most) usual = n, most = plain;
  }
  // A line no longer than its header may be whole where the other lines
  // leave out their empty last fields: only a longer one tells.
  out.fromHeader = header > 0 && header >= usual;
  if (out.fromHeader) usual = header;
  if (usual == 0) return out;
  out.usualFields = usual;
  // A run without decimals may be codes side by side: only beside a header.
  const auto told = [&](std::size_t fields, bool decimals) {
    return fields > usual && (decimals || header > 0);
  };
  for (const Suspect& s : m_listed) {
    if (!told(s.fields, s.decimals)) continue;
    // A run that ends in decimals is the amount whole. Of one that does not,
    // the fields the line has beyond the usual ones are the commas it
    // spans: a three-digit code after it is no group of it.
    const std::size_t groups = s.decimals ? s.groups.size() : std::min(s.groups.size(), s.fields - usual + 1);
    std::string amount = s.groups[0];
    for (std::size_t k = 1; k < groups; ++k) amount.append(",").append(s.groups[k]);
    out.lines.push_back({s.line, s.fields, std::move(amount)});
  }
  for (const bool decimals : {false, true}) {
    const std::vector<std::size_t>& unlisted = m_unlisted[decimals ? 1 : 0];
    for (std::size_t n = 0; n < unlisted.size(); ++n)
      if (told(n, decimals)) out.more += unlisted[n];
  }
  return out;
}

}  // namespace zephrin
