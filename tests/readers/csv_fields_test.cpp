// The separated-text field splitter against a plain reference of its rules,
// on many generated lines (quotes, separators and odd bytes at every offset of
// the splitter's sixteen-byte steps), for each separator.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jurisdiction/jurisdiction_sources.h"
#include "readers/csv_split.h"
#include "readers/data_text.h"
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
    // A line without quotes, begun outside them, splits the same by the scan
    // that knows it has none.
    if (!inQuotes && !line.empty() && line.find('"') == std::string::npos) {
      std::vector<std::string> unquoted;
      const int count = SplitUnquotedLine(line, separator, replace, [&](int index, std::string_view field) {
        EXPECT_EQ(index, static_cast<int>(unquoted.size()));
        unquoted.push_back(Replaced(field, replace));
        return true;
      });
      ASSERT_EQ(unquoted, expected.fields) << "line: " << line;
      ASSERT_EQ(count, static_cast<int>(expected.fields.size())) << "line: " << line;
    }
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

// The lines the line reader gives when short plain lines are taken with their
// separators first (and every other line as Next gives it), with the mask of
// each short line's separators as positions; false when a short line's mask
// is not where its separators are.
bool ReadShortFirst(LineReader& reader, std::vector<std::string>& lines, std::vector<std::size_t>& offsets) {
  std::string_view line;
  unsigned separators = 0;
  bool end = false, plain = false;
  for (;;) {
    if (reader.NextShortPlain(line, ';', separators)) {
      unsigned expected = 0;
      for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == ';') expected |= 1u << i;
      if (separators != expected || line.size() > 15) return false;
      lines.emplace_back(std::string(line) + "|");
    } else if (reader.Next(line, end, plain)) {
      lines.emplace_back(std::string(line) + (end ? "|" : ""));
    } else {
      return true;
    }
    offsets.push_back(reader.offset());
  }
}

// A jurisdiction file's lines: the line reader that also tells plain lines
// (found in one scan) gives the lines the plain line reader gives, and so
// does it when it takes short plain lines with their separators first; the
// cells of a plain line, trimmed of blanks, are those the full cleaning gives,
// numbered from 0.
TEST(JurisdictionLines, PlainLinesReadAsTheFullRulesReadThem) {
  std::mt19937 rng(20261208);
  const std::string alphabet = "ab  ,,,\"\r\n\n\t\x01\xe9\x80";
  for (int n = 0; n < 3000; ++n) {
    std::string text(rng() % 90, 'a');
    for (char& c : text) c = rng() % 3 ? 'a' + static_cast<char>(rng() % 26) : alphabet[rng() % alphabet.size()];
    const std::size_t limit = std::size_t{1} + rng() % 40;
    LineReader general(text, limit, false), fast(text, limit, false);
    std::string_view a, b;
    bool endA = false, endB = false, plain = false;
    while (general.Next(a, endA)) {
      ASSERT_TRUE(fast.Next(b, endB, plain)) << text;
      ASSERT_EQ(a, b) << text;
      ASSERT_EQ(endA, endB) << text;
      ASSERT_EQ(general.offset(), fast.offset()) << text;
      if (plain) {
        EXPECT_TRUE(endA && a.find_first_of("\"\r\t\x01\xe9\x80\n") == std::string_view::npos) << text;
      }
    }
    ASSERT_FALSE(fast.Next(b, endB, plain)) << text;

    // The same lines with short plain lines taken first, separators ";" here.
    std::string semicolons = text;
    for (char& c : semicolons)
      if (c == ',') c = ';';
    LineReader plainReader(semicolons, limit, false), shortReader(semicolons, limit, false);
    std::vector<std::string> expectedLines, shortLines;
    std::vector<std::size_t> expectedOffsets, shortOffsets;
    for (std::string_view line; plainReader.Next(line, endA, plain);) {
      expectedLines.emplace_back(std::string(line) + (endA ? "|" : ""));
      expectedOffsets.push_back(plainReader.offset());
    }
    ASSERT_TRUE(ReadShortFirst(shortReader, shortLines, shortOffsets)) << text;
    ASSERT_EQ(shortLines, expectedLines) << text;
    ASSERT_EQ(shortOffsets, expectedOffsets) << text;

    DataText data;
    data.Assign(text, /*binary=*/true);
    // At most a few cells of a line, or all of them.
    const std::size_t maxCells = n % 2 ? std::size_t{1} + rng() % 3 : std::size_t{1000};
    JurisdictionLineSource source(data, maxCells);
    LineReader lines(data, kJurisdictionCsvLineChars);
    Row row;
    std::string_view line;
    bool lineEnd = false;
    std::string arena;
    while (source.Next(row)) {
      ASSERT_TRUE(lines.Next(line, lineEnd));
      std::vector<std::string> expected, actual;
      arena.clear();
      arena.reserve(line.size());
      SplitJurisdictionLine(line, lineEnd, [&](int, std::string_view cell) {
        expected.emplace_back(StripQuotes(JurisdictionCellText(cell, arena)));
        return expected.size() < maxCells;
      });
      for (const Cell& cell : row.cells) {
        ASSERT_EQ(cell.column, actual.size()) << text;
        actual.emplace_back(cell.text);
      }
      ASSERT_EQ(actual, expected) << text;
    }
  }
}

}  // namespace
}  // namespace zephrin
