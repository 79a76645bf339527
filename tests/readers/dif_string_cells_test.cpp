// DIF cells. String cells whose line has no line end (cut at the reader's
// line limit, or the file's last line) keep every character they have: only
// a quote that is there is dropped, in both DIF readers, the plain one and
// the jurisdiction one. In the plain reader, number cells are numbers written
// with a decimal point, and one whose kind line says #N/A or an error is that
// mark, not a 0.
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

// A spreadsheet saved as DIF: a number's second line tells its kind.
const char kMarkedNumbers[] =
    "-1,0\nBOT\n1,0\n\"1000\"\n0,1.234\nV\n-1,0\nBOT\n1,0\n\"2000\"\n0,0\nERROR\n"
    "-1,0\nBOT\n1,0\n\"3000\"\n0,0\nNA\n-1,0\nBOT\n1,0\n\"4000\"\n0,1\nTRUE\n-1,0\nEOD\n";

TEST_F(DifStringCells, PlainReaderTakesNumbersAsNumbersAndMarksAsMarks) {
  // 1.234 is the number 1.234 whatever the template says of written amounts.
  for (const char* amounts : {"", "Amounts=SIGNED\n", "Amounts=SIGNED COMMA\n"}) {
    test::WriteFile(home.file("import.ini"), std::string("[Import:DTB]\nInfo=COA\nFsiType=FEDERAL\n") + amounts +
                                                 "Account_Number=0 1 0\nAccount_Balance=1 1 0\n[Import:Layout]\n1=DTB\n");
    ASSERT_TRUE(service.EstablishTemplateStore());
    EXPECT_EQ(Read(DifHeader(2, 4) + kMarkedNumbers, "DTB", "PRELIMBAL"),
              "<PRELIMBAL OBJID=\"7\"><COAS Line=\"0\"><Account_Number>1000</Account_Number><Account_Balance>1.234"
                  "</Account_Balance></COAS><COAS Line=\"1\"><Account_Number>2000</Account_Number>"
                  "<Account_Balance>#ERROR</Account_Balance></COAS><COAS Line=\"2\"><Account_Number>3000</Account_Number>"
                  "<Account_Balance>#N/A</Account_Balance></COAS><COAS Line=\"3\"><Account_Number>4000</Account_Number>"
                  "<Account_Balance>1</Account_Balance></COAS><TMPLT><Account_Number/><Account_Balance/></TMPLT>"
                  "</PRELIMBAL>")
        << amounts;
  }
}

// A spreadsheet's text with line breaks in it spans lines up to the one that
// closes its quote; the cell after it stays in its column. A quote that no
// line closes before the row's end is a quote left open: its line alone.
TEST_F(DifStringCells, PlainReaderTakesTextWithLineBreaksWhole) {
  test::WriteFile(home.file("import.ini"), "[Import:DTB]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 1 0\n"
                                           "Account_Caption=1 1 0\nAccount_Balance=2 1 0\n[Import:Layout]\n1=DTB\n");
  ASSERT_TRUE(service.EstablishTemplateStore());
  const auto row = [](const char* caption, const char* eol) {
    std::string r = std::string("-1,0\nBOT\n0,1000\nV\n1,0\n") + caption + "\n0,-1234.5\nV\n";
    for (std::size_t at = r.find('\n'); at != std::string::npos; at = r.find('\n', at + std::strlen(eol)))
      r.replace(at, 1, eol);
    return r;
  };
  const struct {
    const char* caption;
    const char* eol;
    const char* read;
  } cases[] = {
      {"\"Smith, J.\n12 Main St\"", "\n", "Smith, J. 12 Main St"},
      {"\"Smith, J.\n12 Main St\n\"", "\r\n", "Smith, J. 12 Main St"},
      {"\"Left open", "\n", "Left open"},
      // A quote written twice is the text's own, at a line's end too; lines
      // like a row's end are text inside the quotes.
      {"\"Per \"\"Memo 12\"\"\nsee B-3\"", "\n", "Per \"\"Memo 12\"\" see B-3"},
      {"\"Rate change\n-1,0\nBOT\npercent\"", "\n", "Rate change -1,0 BOT percent"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Read(DifHeader(3, 1) + row(c.caption, c.eol) + "-1,0\nEOD\n", "DTB", "PRELIMBAL"),
              std::string("<PRELIMBAL OBJID=\"7\"><COAS Line=\"0\"><Account_Number>1000</Account_Number><Account_Caption>") +
                  c.read + "</Account_Caption><Account_Balance>-1234.5</Account_Balance></COAS><TMPLT><Account_Number/>"
                  "<Account_Caption/><Account_Balance/></TMPLT></PRELIMBAL>")
        << c.caption;
  // A quote left open by mistake: the next text cell's line, which closes
  // the quote with more after it, is a cell of its own, and the row reads as
  // before.
  EXPECT_EQ(Read(DifHeader(3, 1) + "-1,0\nBOT\n0,1000\nV\n1,0\n\"Cash in bank\n0,15250\nV\n1,0\n\"101\"\n-1,0\nEOD\n",
                 "DTB", "PRELIMBAL"),
            "<PRELIMBAL OBJID=\"7\"><COAS Line=\"0\"><Account_Number>1000</Account_Number><Account_Caption>Cash in "
            "bank</Account_Caption><Account_Balance>15250</Account_Balance></COAS><TMPLT><Account_Number/>"
            "<Account_Caption/><Account_Balance/></TMPLT></PRELIMBAL>");
}

}  // namespace
}  // namespace zephrin
