// One line of a data file, for a person to look at (the line a review
// finding names), with the cell or the characters of one item marked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/expected.h"

namespace zephrin {

// The most of a line that is handed back, in bytes; the rest is cut off.
inline constexpr std::size_t kMaxShownLine = 4096;

struct DataLine {
  std::string text;   // the line without its line break, as UTF-8
  bool cut = false;   // the line was longer than kMaxShownLine
};

// Line `line` (1-based) of the file at `path`. A line past the end, a line
// number below 1 and a file that cannot be read are errors in words.
[[nodiscard]] Expected<DataLine> ReadDataLine(const std::string& path, long line);

// The line in three parts: before the marked piece, the piece, after it.
struct MarkedLine {
  std::string before, marked, after;
};

// Marks cell `cell` (0-based) of a line of cells parted by `separator`, a
// cell in double quotes holding separators of its own; nothing is marked
// when the line has fewer cells.
MarkedLine MarkCell(std::string_view text, char separator, std::size_t cell);

// Marks `length` characters from character `start` (0-based): the piece a
// fixed-width template reads; nothing when the line is shorter.
MarkedLine MarkCharacters(std::string_view text, std::size_t start, std::size_t length);

}  // namespace zephrin
