// The plain DIF reader's lines end where a line feed is, whatever their
// length and wherever they lie in the text: a carriage return before the
// line feed is no part of the line, a number's "V" line is read as any other
// line, and the text may end anywhere in a cell.
#include <gtest/gtest.h>

#include <string>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

class DifLineEnds : public ::testing::Test {
 protected:
  // The one record of a one-column file whose first row is `row`.
  std::string Read(const std::string& row) {
    test::WriteFile(home.file("lines.dif"), test::DifHeader(1, 1) + "-1,0\nBOT\n" + row);
    std::string result;
    service.ReadImportFile(home.file("lines.dif"), "CATEGORY", "CAT", "7", "", result);
    return result;
  }
  static std::string Record(const char* value) {
    const std::string record =
        value ? std::string("<CATS Line=\"0\"><Type>") + value + "</Type></CATS>" : "<CATS Line=\"0\"/>";
    return "<CAT OBJID=\"7\">" + record + "<TMPLT><Type/></TMPLT></CAT>";
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
};

TEST_F(DifLineEnds, StringLinesOfEveryShortLength) {
  // Lengths around sixteen, thirty-two and sixty-four bytes, with and without
  // a carriage return, followed by more lines and by none.
  for (const char* end : {"\n", "\r\n"}) {
    for (std::size_t length = 1; length <= 70; ++length) {
      const std::string x(length, 'x');
      const std::string line = "\"" + x + "\"";
      EXPECT_EQ(Read("1,0" + std::string(end) + line + end + "-1,0\nEOD\n"), Record(x.c_str()))
          << length << " " << (end[0] == '\r' ? "CRLF" : "LF");
      EXPECT_EQ(Read("1,0" + std::string(end) + line), Record(x.c_str())) << length << " at the end";
    }
  }
}

TEST_F(DifLineEnds, RowsAndEnds) {
  // A string line of 2,700 characters arrives cut at 2,699; one of 2,698
  // whose carriage return would make 2,699 arrives whole.
  const std::string x2698(2698, 'x'), x2697(2697, 'x');
  const struct {
    std::string row;
    const char* value;  // no value: a row without cells
  } cases[] = {
      {"0,12\nV\n-1,0\nEOD\n", "12"},
      {"0,12\r\nV\r\n-1,0\r\nEOD\r\n", "12"},
      {"0,12\nV", "12"},
      {"0,12\nV\r", "12"},
      {"0,12\nV \n-1,0\n", "12"},
      {"0,12\nVV\n-1,0\n", "12"},
      {"0,12  \n-1,0\n", "12"},
      {"0,12\n1,0\n\"more\"\n-1,0\n", "12"},
      {"0,12\nV\n1,0\n\"more\"\n-1,0\n", "12"},
      {"\n\n  \r\n1,0\n\"Cash\"\n-1,0\n", "Cash"},
      {"1,0\n\"\"\n0,12\nV\n-1,0\n", nullptr},
      {"1,0\r\n\"" + x2698 + "\"\r\n-1,0\r\n", x2698.c_str()},
      {"1,0\n\"" + x2697 + "\r\n-1,0\n", x2697.c_str()},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.row), Record(c.value)) << c.row.substr(0, 40);
}

}  // namespace
}  // namespace zephrin
