// The separators a separated-text file may use in the comma's place, their
// names as templates and the command line write them, and the guess the
// layout editor makes when it opens a separated-text file.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace zephrin {

enum class Separator : char { kComma = ',', kTab = '\t', kSemicolon = ';', kPipe = '|' };

// Every separator, the comma first (it wins a tie).
inline constexpr std::array<Separator, 4> kSeparators = {Separator::kComma, Separator::kTab, Separator::kSemicolon,
                                                         Separator::kPipe};

inline constexpr char SeparatorChar(Separator s) { return static_cast<char>(s); }

// "COMMA", "TAB", "SEMICOLON" or "PIPE".
std::string_view SeparatorName(Separator s);
// The separator a name stands for, in any case ("tab", "TAB"); nullopt for
// any other text.
std::optional<Separator> SeparatorNamed(std::string_view name);

// The separator of a text, from its first 100 lines: for each separator, the
// most lines that split into one same number of fields, more than one; the
// separator with the most such lines wins, the comma on a tie (and when no
// separator splits any line).
Separator DetectSeparator(std::string_view firstLines);

}  // namespace zephrin
