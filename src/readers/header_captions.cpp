#include "readers/header_captions.h"

#include <algorithm>

#include "platform/text.h"

namespace zephrin {

std::vector<std::string> SplitHeaderLine(std::string_view line, char separator) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    else if (c == separator && !quoted) cells.emplace_back();
    else if (c != '\r' && c != '\n') cells.back() += c;
  }
  return cells;
}

std::string HeaderCaptions(const std::vector<std::string>& cells, std::vector<uint32_t> columns) {
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  std::string out;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) out += '|';
    if (columns[k] < cells.size()) out += UpperAscii(Trim(cells[columns[k]]));
  }
  return out;
}

}  // namespace zephrin
