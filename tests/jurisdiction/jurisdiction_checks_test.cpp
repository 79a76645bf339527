// Line errors, error documents and bad input of the jurisdiction readers, each
// read end to end through ReadImportFile and checked for its exact outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

constexpr const char* kState = "state,AL,AK,AZ,CA,NY,TX";
constexpr const char* kProv = "prov,10,Ontario,24,Quebec,48,British Columbia";
constexpr const char* kSupport =
    "Please close Internet browser, reboot your workstation and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.</Error>";

std::string Read(const std::string& file, const std::string& code, const std::vector<std::string>& lists,
                 const std::string& id = "X", const std::string& templateName = "", const std::string& moreInfo = "") {
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  service.PutCategoryTypes("Income,Deduction,CREDIT,Loss");
  for (const auto& list : lists) service.FillJurisdictionCaptions(list);
  std::string result;
  service.ReadImportFile(file, templateName.empty() ? code : templateName, code, id, moreInfo, result);
  EXPECT_TRUE(ui.messages().empty());
  return result;
}

std::string Bad(const char* name) { return test::DataPath(std::string("jurisdiction/bad/") + name); }

struct BadCase {
  const char* file;
  const char* code;
  std::vector<std::string> lists;
  std::string expected;
};

class JurisdictionBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(JurisdictionBadInput, GivesExactOutcome) {
  const BadCase& c = GetParam();
  const std::string result = Read(Bad(c.file), c.code, c.lists);
  EXPECT_EQ(result, c.expected);
  if (!result.empty() && result.find("<Error>An internal") != 0 && result.find("<Error>Jurisdictions") != 0) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(result.data(), result.size())) << result;
  }
}

const std::string kTmplAl = "<TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR></JURS></TMPL>";
const std::string kIncome = "<Type ID=\"1\">Income</Type><Category>Sales</Category><Subcategory>Retail</Subcategory>";

const BadCase kBadCases[] = {
    // Short rows write what they hold; cells beyond the header are passed over.
    {"ragged.csv", "AABAL", {kState},
     "<AABALS OBJID=\"X\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
     "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL>"
     "<BAL Line=\"2\">" + kIncome + "<JURS><JUR amt=\"1\" id=\"1\"/></JURS></BAL>"
     "<BAL Line=\"3\">" + kIncome + "<JURS><JUR amt=\"1\" id=\"1\"/><JUR amt=\"2\" id=\"4\"/></JURS></BAL>"
     "<BAL Line=\"4\"><Type ID=\"1\">Income</Type></BAL></AABALS>"},
    // An unknown header and a repeated one: one entry each, on line 1.
    {"header_unknown.csv", "AABAL", {kState},
     "<Error><Err Line=\"1\">Invalid Jurisdiction - Alaska X</Err>"
     "<Err Line=\"1\">Duplicate Jurisdiction - AL</Err></Error>"},
    // Indented lines before the first record line have no record to go to.
    {"listed_orphan.csv", "AABAL", {kState},
     "<Error><Err Line=\"1\">Jurisdiction before any record line - AL</Err>"
     "<Err Line=\"2\">Jurisdiction before any record line - CA</Err></Error>"},
    {"one_indented.csv", "AABAL", {kState},
     "<Error><Err Line=\"1\">Jurisdiction before any record line - AL</Err></Error>"},
    // A reversed record's amounts must be numbers.
    {"listed_amount.csv", "AABAL", {kState},
     "<Error><Err Line=\"2\">Invalid Amount - 12abc</Err><Err Line=\"3\">Invalid Amount - 1,234.50</Err></Error>"},
    // Elsewhere an amount is the cell text, number or not.
    {"tabular_amount.csv", "AABAL", {kState},
     "<AABALS OBJID=\"X\">" + kTmplAl + "<BAL Line=\"2\">" + kIncome +
         "<JURS><JUR amt=\"12abc\" id=\"1\"/></JURS></BAL></AABALS>"},
    {"tabular_category.csv", "AABAL", {kState}, "<Error><Err Line=\"2\">Invalid Jurisdiction - Bogus</Err></Error>"},
    {"listed_type.csv", "AABAL", {kState}, "<Error><Err Line=\"1\">Invalid Type - Bogus </Err></Error>"},
    // A name not in the list, and a name twice under one record (the same
    // name under the next record is fine).
    {"listed_jurisdictions.csv", "AABAL", {kState},
     "<Error><Err Line=\"3\">Invalid Jurisdiction - Texass</Err>"
     "<Err Line=\"4\">Duplicate Jurisdiction - AL</Err></Error>"},
    // An empty file yields no text at all.
    {"empty.csv", "AABAL", {kState}, ""},
    {"header_only.csv", "AABAL", {kState}, "<AABALS OBJID=\"X\">" + kTmplAl + "</AABALS>"},
    {"crlf.csv", "AABAL", {kState},
     "<AABALS OBJID=\"X\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
     "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL><BAL Line=\"2\">" + kIncome +
         "<JURS><JUR amt=\"1\" id=\"1\"/><JUR amt=\"2\" id=\"4\"/></JURS></BAL></AABALS>"},
    // Characters outside the printable ASCII range become blanks.
    {"utf8.csv", "AABAL", {kState},
     "<AABALS OBJID=\"X\">" + kTmplAl +
         "<BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>Qu bec</Category><Subcategory>Retail</Subcategory>"
         "<JURS><JUR amt=\"1\" id=\"1\"/></JURS></BAL></AABALS>"},
    // Control characters inside an amount are blanks and at its ends are
    // trimmed; a long cleaned cell after it leaves the amount as it was.
    {"listed_control.csv", "AABAL", {kState},
     "<AABALS OBJID=\"X\" listed=\"X\"><BAL Line=\"1\">" + kIncome +
         "<JURS><JUR id=\"1\" amt=\"1 2\" T=\"0\"/><JUR id=\"4\" amt=\"3\" T=\"1\"/></JURS></BAL>"
         "<TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
         "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL></AABALS>"},
    // A blank line is a record whose empty type is no category type.
    {"blank_line.csv", "AABAL", {kState}, "<Error><Err Line=\"2\">Invalid Jurisdiction - </Err></Error>"},
    // DIF: cells beyond the announced columns are passed over, fewer rows
    // than announced end at the end of the file.
    {"dif_narrow.dif", "AABAL", {kState},
     "<AABALS OBJID=\"X\"><TMPL><TType/><TCategory/></TMPL>"
     "<BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>Sales</Category></BAL>"
     "<BAL Line=\"3\"><Type ID=\"2\">Deduction</Type><Category>Wages</Category></BAL></AABALS>"},
    // DIF: an empty header cell names its column as a tabular header would.
    {"dif_empty_header.dif", "AABAL", {kState}, "<Error><Err Line=\"1\">Invalid Jurisdiction - </Err></Error>"},
    // DIF without a row count: no usable header, no text.
    {"dif_no_tuples.dif", "AABAL", {kState}, ""},
    // A header that no XML element can be named after.
    {"prov_bad_name.csv", "AMTACE", {kProv},
     std::string("<Error>An internal error occurred creating the XML stream. ") + kSupport},
    // A list that names no jurisdiction: the header has nothing to be found in.
    {"header_only.csv", "AABAL", {"state"},
     std::string("<Error>Jurisdictions were not loaded prior to reading import file. ") + kSupport},
    // Listed, provincial: found in the province list, but the reader needs the state list.
    {"../listed_prov.csv", "LOSS", {kProv},
     std::string("<Error>Jurisdictions were not loaded prior to reading import file.  ") + kSupport},
};

INSTANTIATE_TEST_SUITE_P(Files, JurisdictionBadInput, ::testing::ValuesIn(kBadCases), [](const auto& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.file;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// Lines are read 1399 characters at a time: the rest of a longer line is the
// next line, numbered as such. A NUL byte ends its line.
TEST(JurisdictionBadInput, LongLinesComeInPiecesAndANulEndsTheLine) {
  test::TempDir dir;
  static constexpr char kNul[] = "Type,Category,Subcategory,AL\nIncome,Sales,Retail,1\0,2,3\n";
  const std::pair<std::string, std::string> cases[] = {
      {"Type,Category,Subcategory,AL\nIncome,Sales," + std::string(1399 - 13, 'x') + "Retail,1\n",
       "<Error><Err Line=\"3\">Invalid Jurisdiction - Retail</Err></Error>"},
      {std::string(kNul, sizeof kNul - 1),
       "<AABALS OBJID=\"X\">" + kTmplAl + "<BAL Line=\"2\">" + kIncome +
           "<JURS><JUR amt=\"1\" id=\"1\"/></JURS></BAL></AABALS>"},
  };
  for (const auto& [text, expected] : cases) {
    test::WriteFile(dir.file("data.csv"), text);
    EXPECT_EQ(Read(dir.file("data.csv"), "AABAL", {kState}), expected);
  }
}

// ---- The 19-character fields ---------------------------------------------------

TEST(JurisdictionLimits, IdOfNineteenCharactersIsTakenLongerIsRefused) {
  const std::string file = Bad("header_only.csv");
  EXPECT_EQ(Read(file, "AABAL", {kState}, std::string(19, '7')),
            "<AABALS OBJID=\"" + std::string(19, '7') + "\">" + kTmplAl + "</AABALS>");
  EXPECT_EQ(Read(file, "AABAL", {kState}, std::string(20, '7')),
            "<Error><Err>The ID is longer than 19 characters. Please try again.</Err></Error>");
}

TEST(JurisdictionLimits, MoreInfoIsCheckedOnlyWhereItIsHandedOver) {
  const std::string file = Bad("header_only.csv");
  const std::string tooLong(20, 'm');
  EXPECT_EQ(Read(file, "LOGIC", {"logic,AL"}, "X", "LOGIC", tooLong),
            "<Error><Err>The more-information text is longer than 19 characters. Please try again.</Err></Error>");
  EXPECT_EQ(Read(file, "LOGIC", {"logic,AL"}, "X", "LOGIC", std::string(19, 'm')),
            "<LOGIC_CHART OBJID=\"X\">" + kTmplAl + "</LOGIC_CHART>");
  // AABAL's template does not hand the text over.
  EXPECT_EQ(Read(file, "AABAL", {kState}, "X", "AABAL", tooLong), "<AABALS OBJID=\"X\">" + kTmplAl + "</AABALS>");
}

}  // namespace
}  // namespace zephrin
