// The errors a person or a host reads from an error document: each entry's
// text as the host finally stores it, and the line it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "result/error_document.h"

namespace zephrin {
namespace {

std::string Shown(const std::vector<ErrorEntry>& entries) {
  std::string out;
  for (const ErrorEntry& e : entries) out += std::to_string(e.line) + ":" + e.text + "|";
  return out;
}

TEST(ErrorEntries, EachFormGivesItsTextsWithTheEnginesSecondEscapingUndone) {
  const struct {
    std::string document, entries;
  } cases[] = {
      {"<Error>Error opening import file /data/R&amp;D/a&lt;b.csv for reading!</Error>",
       "0:Error opening import file /data/R&D/a<b.csv for reading!|"},
      {"<Error Line='4'>Beginning at row 4</Error>", "4:Beginning at row 4|"},
      {"<Error><Err>Invalid import type</Err></Error>", "0:Invalid import type|"},
      {"<Error><Err Line=\"3\">Invalid Jurisdiction - Z&amp;amp;&amp;lt;Z&amp;gt;</Err>"
       "<Err Line=\"5\">Duplicate Jurisdiction - AL</Err></Error>",
       "3:Invalid Jurisdiction - Z&<Z>|5:Duplicate Jurisdiction - AL|"},
      // Line ends become blanks; an unknown reference stays as it is.
      {"<Error>two\nlines &amp;nbsp;</Error>", "0:two lines &nbsp;|"},
      {"<Error/>", ""},
      {"Error opening import file", ""},
      {"<Error>cut", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(ErrorEntriesOf(c.document)), c.entries) << c.document;
}

// A file of many bad lines lists its first thousand errors and counts the
// others in one more entry.
TEST(ErrorEntries, PastAThousandErrorsTheRestAreCounted) {
  ErrorEntries errors;
  for (int32_t line = 1; line <= 1002; ++line) errors.Add(line, "Invalid Jurisdiction - ZZ");
  const std::vector<ErrorEntry> entries = ErrorEntriesOf(errors.Document());
  ASSERT_EQ(entries.size(), 1001u);
  EXPECT_EQ(Shown({entries[999], entries[1000]}),
            "1000:Invalid Jurisdiction - ZZ|0:There are 2 more errors, not listed.|");
  errors.clear();
  errors.Add(7, "Duplicate Jurisdiction - AL");
  EXPECT_EQ(errors.Document(), "<Error><Err Line=\"7\">Duplicate Jurisdiction - AL</Err></Error>");
}

}  // namespace
}  // namespace zephrin
