// The header captions saved with a template of a grid file (its "Headers"
// key): the header row's cells of the columns the template places, in column
// order, blanks around each dropped, upper-cased like every stored value,
// joined by "|". A file whose header row gives the same text is laid out as
// the template expects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin {

// The cells of a header line of a separated file: quotes around a cell
// dropped, a separator inside quotes kept.
std::vector<std::string> SplitHeaderLine(std::string_view line, char separator = ',');

// The captions of `columns` (0-based, any order, repeats allowed) among
// `cells`; a column past the row's end gives an empty caption.
std::string HeaderCaptions(const std::vector<std::string>& cells, std::vector<uint32_t> columns);

}  // namespace zephrin
