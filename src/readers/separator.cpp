#include "readers/separator.h"

#include <algorithm>
#include <map>

#include "platform/text.h"
#include "readers/csv_split.h"
#include "readers/data_text.h"

namespace zephrin {

namespace {

struct SeparatorNameRow {
  Separator separator;
  std::string_view name;
};
constexpr SeparatorNameRow kNames[] = {{Separator::kComma, "COMMA"},
                                       {Separator::kTab, "TAB"},
                                       {Separator::kSemicolon, "SEMICOLON"},
                                       {Separator::kPipe, "PIPE"}};

constexpr int kDetectLines = 100;

// How many of the lines split by `separator` into the field count most of
// them share, counting only counts above one.
int AgreeingLines(std::string_view text, Separator separator) {
  LineReader lines(text, kPlainLineChars, /*hasNul=*/false);
  std::map<int, int> linesWithCount;
  bool inQuotes = false;
  std::string_view line;
  for (int n = 0; n < kDetectLines && lines.Next(line); ++n) {
    const std::string_view trimmed = TrimRight(line);
    int fields = SplitSeparatedLine(trimmed, SeparatorChar(separator), inQuotes, /*outsideIsBlank=*/false,
                                    [](int, std::string_view) { return true; });
    // A line that ends with the separator has an empty last field (an export
    // whose last column is empty on that line), which the count includes.
    if (!inQuotes && !trimmed.empty() && trimmed.back() == SeparatorChar(separator)) ++fields;
    if (fields > 1) ++linesWithCount[fields];
  }
  int most = 0;
  for (const auto& [count, number] : linesWithCount) most = std::max(most, number);
  return most;
}

}  // namespace

std::string_view SeparatorName(Separator s) {
  for (const SeparatorNameRow& row : kNames)
    if (row.separator == s) return row.name;
  return kNames[0].name;
}

std::optional<Separator> SeparatorNamed(std::string_view name) {
  for (const SeparatorNameRow& row : kNames)
    if (EqualsIgnoringCase(name, row.name)) return row.separator;
  return std::nullopt;
}

Separator DetectSeparator(std::string_view firstLines) {
  Separator best = Separator::kComma;
  int bestLines = AgreeingLines(firstLines, best);
  for (Separator candidate : kSeparators) {
    if (candidate == Separator::kComma) continue;
    const int agreeing = AgreeingLines(firstLines, candidate);
    if (agreeing > bestLines) {
      best = candidate;
      bestLines = agreeing;
    }
  }
  return best;
}

}  // namespace zephrin
