// The separated-text field splitter against a plain reference of its rules,
// on many generated lines (quotes, separators and odd bytes at every offset of
// the splitter's sixteen-byte steps), for each separator.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "readers/csv_split.h"
#include "readers/separator.h"

namespace zephrin {
namespace {

struct Split {
  std::vector<std::string> fields;
  std::string line;  // after the character replacement
  bool inQuotes = false;
};

// The rules, one character at a time.
Split Reference(std::string line, bool inQuotes, bool replace, char separator) {
  Split out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    const bool separatorHere = line[i] == separator;
    if (replace && (c < 32 || c > 126)) line[i] = ' ';
    if (line[i] == '"') inQuotes = !inQuotes;
    const bool comma = separatorHere && !inQuotes;
    if (!comma && i + 1 != line.size()) continue;
    std::string field = line.substr(start, (comma ? i : line.size()) - start);
    while (!field.empty() && (field.back() == ' ' || (field.back() >= 9 && field.back() <= 13))) field.pop_back();
    out.fields.push_back(field);
    start = i + 1;
  }
  out.line = line;
  out.inQuotes = inQuotes;
  return out;
}

// The splitter leaves the text as it is; the readers write a field's bytes
// outside the printable range as spaces.
std::string Replaced(std::string_view text, bool replace) {
  std::string out(text);
  if (replace)
    for (char& c : out)
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';
  return out;
}

Split Actual(const std::string& line, bool inQuotes, bool replace, char separator = ',') {
  Split out;
  SplitSeparatedLine(line, separator, inQuotes, replace, [&](int index, std::string_view field) {
    EXPECT_EQ(index, static_cast<int>(out.fields.size()));
    out.fields.push_back(Replaced(field, replace));
    return true;
  });
  out.line = Replaced(line, replace);
  out.inQuotes = inQuotes;
  return out;
}

TEST(CsvFields, MatchesTheRulesOnGeneratedLines) {
  std::mt19937 rng(20261207);
  const std::string alphabet = "abcXYZ019 ,,\"\t\x01\x7f\xe9\x80.;;||\t";
  for (int n = 0; n < 8000; ++n) {
    const char separator = SeparatorChar(kSeparators[n % kSeparators.size()]);
    std::string line(rng() % 70, 'a');
    for (char& c : line) c = rng() % 4 ? 'a' + static_cast<char>(rng() % 26) : alphabet[rng() % alphabet.size()];
    const bool inQuotes = rng() % 5 == 0;
    const bool replace = rng() % 7 != 0;
    const Split expected = Reference(line, inQuotes, replace, separator);
    const Split actual = Actual(line, inQuotes, replace, separator);
    ASSERT_EQ(actual.fields, expected.fields) << "line: " << line;
    ASSERT_EQ(actual.line, expected.line) << "line: " << line;
    ASSERT_EQ(actual.inQuotes, expected.inQuotes) << "line: " << line;
  }
}

TEST(CsvFields, EdgeCasesOfTheRules) {
  EXPECT_EQ(Actual("a,b,", false, true).fields, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Actual("a,b,,", false, true).fields, (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(Actual("x,\"1,5\",y", false, true).fields, (std::vector<std::string>{"x", "\"1,5\"", "y"}));
  EXPECT_EQ(Actual("d,e", true, true).fields, (std::vector<std::string>{"d,e"}));
  EXPECT_EQ(Actual("  a  ", false, true).fields, (std::vector<std::string>{"  a"}));
  EXPECT_TRUE(Actual("", false, true).fields.empty());
  EXPECT_EQ(Actual("a;\"1;5\";b,c;", false, true, ';').fields, (std::vector<std::string>{"a", "\"1;5\"", "b,c"}));
  EXPECT_EQ(Actual("a\t\tb", false, false, '\t').fields, (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
}  // namespace zephrin
