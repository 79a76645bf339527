// Amounts that thousands commas split: in a comma-separated file an amount
// written "1,234.56" without quotes is two fields, "1" and "234.56", and
// every field after it lands one column on. Such a line has more fields
// than the file's other lines and than its header line names, and two or
// more of its fields in a row read as the groups of one amount: the watch
// below finds those lines as the read goes, for a warning and the review.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "readers/row_source.h"
#include "result/read_result.h"

namespace zephrin {

// The fields `cells` from the first on when they read as one amount that
// thousands commas split ("1", "234.50"), joined again with their commas
// ("1,234.50"); empty when they do not.
std::string JoinedSplitAmount(std::span<const Cell> cells);

class SplitAmountWatch {
 public:
  // Only a split before this column moves a field the read takes.
  void ReadsColumnsBelow(std::size_t columns) { m_columns = columns; }

  // A line of the file that is not blank, split into `fields` fields, whose
  // cells are `cells`. Its cells are looked at only when the count is not
  // the one most lines have so far, or may be a suspect's: a file of even
  // lines without a split pays a comparison per line.
  void Line(long line, std::size_t fields, std::span<const Cell> cells) {
    Count(m_lines, fields);
    if (fields != m_candidate || m_lastSuspect || fields >= m_leastSuspect) [[unlikely]]
      Look(line, fields, cells);
    // The count of most lines, by a running vote: it is the count of more
    // than half of the lines whenever such a count exists.
    if (fields == m_candidate) ++m_votes;
    else if (m_votes == 0) m_candidate = fields, m_votes = 1;
    else --m_votes;
  }

  // The lines with more fields than the header line names (`header`: 0 when
  // there is none) and than the lines without a suspect run mostly have: at
  // most `kMaxListed`, in line order, the others counted. A run that does
  // not end in decimals (as "5,100", which may be two codes side by side) is
  // told of only in a file with a header line.
  SplitAmounts Finish(std::size_t header) const;

  static constexpr std::size_t kMaxListed = 1000;

 private:
  // Lines of more fields than this are counted with it.
  static constexpr std::size_t kMostFields = 4096;
  static void Count(std::vector<std::size_t>& lines, std::size_t fields) {
    const std::size_t n = fields < kMostFields ? fields : kMostFields;
    if (n >= lines.size()) [[unlikely]]
      lines.resize(n + 1);
    ++lines[n];
  }
  void Look(long line, std::size_t fields, std::span<const Cell> cells);

  std::size_t m_columns = std::numeric_limits<std::size_t>::max();
  std::vector<std::size_t> m_lines;     // how many lines have each count of fields
  std::vector<std::size_t> m_suspects;  // how many of them are suspects
  std::size_t m_candidate = 0, m_votes = 0;
  bool m_lastSuspect = false;
  std::size_t m_leastSuspect = std::numeric_limits<std::size_t>::max();  // the fewest fields of a suspect line
  struct Suspect {
    long line;
    std::size_t fields;
    std::vector<std::string> groups;  // the run's fields, as written
    bool decimals;                    // the run ends in decimals
  };
  std::vector<Suspect> m_listed;
  // The suspects past the listed ones, by count of fields: those whose run
  // does not end in decimals, and those whose run does.
  std::vector<std::size_t> m_unlisted[2];
};

}  // namespace zephrin
