// DIF string cells whose line has no line end (cut at the reader's line limit,
// or the file's last line) keep every character they have: only a quote that
// is there is dropped. Both DIF readers, the plain one and the jurisdiction one.
#include <gtest/gtest.h>

#include <string>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

using test::DifHeader;

class DifStringCells : public ::testing::Test {
 protected:
  std::string Read(std::string_view content, const char* templ, const char* type) {
    test::WriteFile(home.file("cells.dif"), content);
    std::string result;
    service.ReadImportFile(home.file("cells.dif"), templ, type, "7", "", result);
    return result;
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
};

TEST_F(DifStringCells, PlainReaderKeepsTheCharactersOfACutLine) {
  // A string line of 3,002 characters arrives as a piece of 2,699 (the
  // opening quote and 2,698 x) and a rest that is no cell.
  const std::string x(3000, 'x');
  const std::string cut = Read(DifHeader(1, 1) + "-1,0\nBOT\n1,0\n\"" + x + "\"\n-1,0\nEOD\n", "CATEGORY", "CAT");
  EXPECT_EQ(cut, "<CAT OBJID=\"7\"><CATS Line=\"0\"><Type>" + x.substr(0, 2698) +
                     "</Type></CATS><TMPLT><Type/></TMPLT></CAT>");
}

TEST_F(DifStringCells, PlainReaderKeepsTheLastLineWithoutALineEnd) {
  const struct {
    const char* last;
    const char* value;
  } cases[] = {{"\"Cash\"", "Cash"}, {"\"Cash", "Cash"}, {"\"C", "C"}, {"\"\"", nullptr}};
  for (const auto& c : cases) {
    const std::string result = Read(DifHeader(1, 1) + "-1,0\nBOT\n1,0\n" + c.last, "CATEGORY", "CAT");
    const std::string record =
        c.value ? std::string("<CATS Line=\"0\"><Type>") + c.value + "</Type></CATS>" : "<CATS Line=\"0\"/>";
    EXPECT_EQ(result, "<CAT OBJID=\"7\">" + record + "<TMPLT><Type/></TMPLT></CAT>") << c.last;
  }
}

TEST_F(DifStringCells, JurisdictionReaderKeepsTheCharactersOfACutLine) {
  service.FillJurisdictionCaptions("state,AL,CA");
  service.PutCategoryTypes("Income");
  // The category cell's line holds 302 characters: the reader takes pieces of
  // 259, so the cell keeps the 258 characters after its opening quote.
  const std::string x(300, 'x');
  const std::string dif = DifHeader(3, 2) +
                          "-1,0\nBOT\n1,0\n\"Type\"\n1,0\n\"Category\"\n1,0\n\"AL\"\n"
                          "-1,0\nBOT\n1,0\n\"Income\"\n1,0\n\"" + x + "\"\n0,5\nV\n-1,0\nEOD\n";
  EXPECT_EQ(Read(dif, "AABAL", "AABAL"),
            "<AABALS OBJID=\"7\"><TMPL><TType/><TCategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR></JURS></TMPL>"
            "<BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>" + x.substr(0, 258) +
                "</Category><JURS><JUR amt=\"5\" id=\"1\"/></JURS></BAL></AABALS>");
}

TEST_F(DifStringCells, JurisdictionReaderKeepsTheLastLineWithoutALineEnd) {
  service.FillJurisdictionCaptions("state,AL,CA");
  service.PutCategoryTypes("Income");
  const std::string dif = DifHeader(3, 2) +
                          "-1,0\nBOT\n1,0\n\"Type\"\n1,0\n\"Category\"\n1,0\n\"AL\"\n"
                          "-1,0\nBOT\n1,0\n\"Income\"\n1,0\n\"Sales";
  EXPECT_EQ(Read(dif, "AABAL", "AABAL"),
            "<AABALS OBJID=\"7\"><TMPL><TType/><TCategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR></JURS></TMPL>"
            "<BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>Sales</Category></BAL></AABALS>");
}

}  // namespace
}  // namespace zephrin
