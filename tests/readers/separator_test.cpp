// The separator guess of the layout editor, and the separators' names.
#include <gtest/gtest.h>

#include <string>

#include "readers/separator.h"

namespace zephrin {
namespace {

struct DetectCase {
  const char* what;
  std::string text;
  Separator expected;
};

std::string Lines(const std::string& line, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += line + "\r\n";
  return out;
}

TEST(DetectSeparator, PicksTheSeparatorMostLinesAgreeOn) {
  const DetectCase cases[] = {
      {"commas", "a,b,c\n1,2,3\n", Separator::kComma},
      {"tabs", "Account\tName\tBalance\n1000\tCash, petty\t15250\n", Separator::kTab},
      {"semicolons with decimal commas", "Account;Name;Balance\n1000;Cash;1234,50\n2000;Bank;-17,25\n",
       Separator::kSemicolon},
      {"pipes", "1000|Cash|5\n2000|Bank, main|7\n", Separator::kPipe},
      {"a quoted separator stays in its field", "\"a;b\",c\n\"d;e\",f\n", Separator::kComma},
      {"a tie goes to the comma", "a,b\nc;d\n", Separator::kComma},
      {"one field a line is no separator", "abc\ndef\n", Separator::kComma},
      {"empty text", "", Separator::kComma},
      {"the most agreeing lines, not the most fields", "a|b|c|d|e\na;b\nc;d\ne;f\ng|h\n", Separator::kSemicolon},
      {"only the first 100 lines count", Lines("a;b", 30) + Lines("a,b", 70) + Lines("c;d", 100),
       Separator::kComma},
      {"more lines for tabs than commas", Lines("a\tb,c", 3) + Lines("a\tb", 2) + "x,y\n", Separator::kTab},
  };
  for (const DetectCase& c : cases) EXPECT_EQ(DetectSeparator(c.text), c.expected) << c.what;
}

TEST(DetectSeparator, NamesReadInAnyCaseAndWriteUpperCased) {
  for (Separator s : kSeparators) {
    const std::string name(SeparatorName(s));
    EXPECT_EQ(SeparatorNamed(name), s);
    std::string lower = name;
    for (char& ch : lower) ch = static_cast<char>(ch - 'A' + 'a');
    EXPECT_EQ(SeparatorNamed(lower), s);
  }
  EXPECT_EQ(SeparatorName(Separator::kSemicolon), "SEMICOLON");
  for (const char* bad : {"", "COLON", "TABS", ";", "COMMA "}) EXPECT_EQ(SeparatorNamed(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace zephrin
