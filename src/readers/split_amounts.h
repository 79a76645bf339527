// Amounts that thousands commas split: in a comma-separated file an amount
// written "1,234.56" without quotes is two fields, "1" and "234.56", and
// every field after it lands one column on. Such a line has more fields
// than the file's other lines, and two or more of its fields in a row read
// as the groups of one amount: the watch below finds those lines as the
// read goes, for a warning and the review.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "readers/row_source.h"
#include "result/read_result.h"

namespace zephrin {

class SplitAmountWatch {
 public:
  // A line of the file that is not blank, split into `fields` fields, whose
  // cells are `cells`. Its cells are looked at only when the count is not
  // the one most lines have so far (or the line before was a suspect): a
  // file of even lines pays a comparison per line.
  void Line(long line, std::size_t fields, std::span<const Cell> cells) {
    Count(fields);
    if (fields != m_candidate || m_lastSuspect) [[unlikely]]
      Look(line, fields, cells);
    // The count of most lines, by a running vote: it is the count of more
    // than half of the lines whenever such a count exists.
    if (fields == m_candidate) ++m_votes;
    else if (m_votes == 0) m_candidate = fields, m_votes = 1;
    else --m_votes;
  }
  // The lines with more fields than most lines have, in line order: at most
  // `kMaxListed`, the others counted in `more`.
  SplitAmounts Finish() const;

  static constexpr std::size_t kMaxListed = 1000;

 private:
  void Count(std::size_t fields) {
    if (fields >= m_lines.size()) [[unlikely]]
      Grow(fields);
    ++m_lines[fields < kMostFields ? fields : kMostFields];
  }
  void Grow(std::size_t fields);
  void Look(long line, std::size_t fields, std::span<const Cell> cells);
  // Lines of more fields than this are counted with it.
  static constexpr std::size_t kMostFields = 4096;
  std::vector<std::size_t> m_lines;  // how many lines have each count of fields
  std::size_t m_candidate = 0, m_votes = 0;
  bool m_lastSuspect = false;
  std::vector<SplitAmount> m_suspects;
  std::vector<std::size_t> m_unlisted;  // suspects past the listed ones, by count of fields
};

}  // namespace zephrin
