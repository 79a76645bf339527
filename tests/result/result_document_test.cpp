// The result document's serialisation, operation by operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <nlohmann/json.hpp>

#include "result/result_document.h"
#include "test_util.h"

namespace zephrin {
namespace {

// Runs the steps of `script`, separated by ";": "init NAME", "root KEY VALUE",
// "record NAME", "recordAttr KEY VALUE", "child NAME" (a major child), "data
// NAME", "dataAttr KEY VALUE", "write TEXT", "escaped TEXT" (TEXT as the
// engine escapes it, then written), "twice TEXT" (written escaped twice),
// "acctRoot", and "acct NAME" or "noAcct NAME" (an account node that is
// added, or is not for want of an account list).
void Build(ResultDocument& d, std::string_view script) {
  for (std::size_t at = 0; at <= script.size();) {
    const std::size_t end = std::min(script.find(';', at), script.size());
    std::string_view step = script.substr(at, end - at);
    at = end + 1;
    while (step.starts_with(' ')) step.remove_prefix(1);
    const std::string_view op = step.substr(0, step.find(' '));
    const std::string_view arg = op.size() < step.size() ? step.substr(op.size() + 1) : "";
    const std::string_view key = arg.substr(0, arg.find(' ')), value = arg.substr(std::min(key.size() + 1, arg.size()));
    if (op == "init") d.InitXML(arg);
    else if (op == "root") d.SetRootAttribute(key, value);
    else if (op == "record") d.AddMajorNode(arg);
    else if (op == "recordAttr") d.SetMajorNodeAttribute(key, value);
    else if (op == "child") d.AddMajorChild(arg);
    else if (op == "data") d.AddDataNode(arg);
    else if (op == "dataAttr") d.SetDataNodeAttribute(key, value);
    else if (op == "write") d.WriteDataNode(arg);
    else if (op == "escaped") d.WriteDataNode(EscapeXmlText(arg));
    else if (op == "twice") d.WriteDataNode(arg, xml::kTextTwice);
    else if (op == "acctRoot") d.AddAcctRoot();
    else if (op != "acct" && op != "noAcct") ADD_FAILURE() << "unknown step: " << step;
    else EXPECT_EQ(d.AddAcctNode(arg),
                   op == "acct" ? ResultDocument::AcctNode::kAdded : ResultDocument::AcctNode::kNoAccountList)
          << arg;
  }
}

struct Case {
  const char* name;
  const char* script;
  const char* expected;
};

class Serialisation : public ::testing::TestWithParam<Case> {};

// The inside of the JSON string the protocol's JSON writer makes of `text`.
std::string JsonInside(const std::string& text) {
  const std::string quoted = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return quoted.substr(1, quoted.size() - 2);
}

TEST_P(Serialisation, GivesExactText) {
  ResultDocument doc;
  Build(doc, GetParam().script);
  EXPECT_EQ(doc.GetXML(), GetParam().expected);
  // Taking the text out gives the same text.
  EXPECT_EQ(doc.TakeXML().view(), GetParam().expected);
  // Written as a JSON string's inside, it is that text as JSON escapes it.
  ResultDocument json;
  json.SetJsonString(true);
  Build(json, GetParam().script);
  EXPECT_EQ(json.TakeXML().view(), JsonInside(GetParam().expected));
}

const Case kCases[] = {
    {"EmptyRootWithAttributes", "init FCOA; root OBJID 123; root CONUM", R"(<FCOA OBJID="123" CONUM=""/>)"},
    {"RecordsAndEmptyElements", "init R; record COAS; recordAttr Line 1; data A; write x; data B; record COAS",
     R"(<R><COAS Line="1"><A>x</A><B/></COAS><COAS/></R>)"},
    {"TextEscapedOnceAndValuesTwice", "init R; record C; data Stored; escaped A&B<C>; data Fast; twice A&B<C>\"'",
     "<R><C><Stored>A&amp;amp;B&amp;lt;C&amp;gt;</Stored><Fast>A&amp;amp;B&amp;lt;C&amp;gt;\"'</Fast></C></R>"},
    {"AttributeEscaping", "init R; root ID a&b<c>\"d\te", "<R ID=\"a&amp;b&lt;c>&quot;d&#9;e\"/>"},
    {"AttributeReplacedAfterAValueWithABackslash", "init R; root A x\\; root B \\; root A \\y", R"(<R A="\y" B="\"/>)"},
    {"ForbiddenControlsBecomeSpacesAndHighBytesUtf8", "init R; record C; data V; write a\x01\x1F\tb\xE9\x80",
     "<R><C><V>a  \tb\xC3\xA9\xE2\x82\xAC</V></C></R>"},
    {"LineEndsQuotesAndBackslashesAsTheyAre", "init R; record C; data V; write a\r\n\"b\\c\"; data W; twice \\&",
     "<R><C><V>a\r\n\"b\\c\"</V><W>\\&amp;amp;</W></C></R>"},
    {"WriteReplacesTextAndAttributeReplacesValue",
     "init R; record C; recordAttr Line 1; recordAttr Line 2; data V; write old; write new; dataAttr RetType 7",
     R"(<R><C Line="2"><V RetType="7">new</V></C></R>)"},
    {"MajorChildTakesLaterElements",
     "init TAXPAY; record PAY; data Postal_Code; child PayNodes; data Q1_Date; record PAY; data Company_Number",
     "<TAXPAY><PAY><Postal_Code/><PayNodes><Q1_Date/></PayNodes></PAY><PAY><Company_Number/></PAY></TAXPAY>"},
    {"AccountListKeepsItsPlaceAfterOtherElements",
     "init FADJ; record JES; child Accounts; acctRoot; acct Account_Number; data Equity_Ind; acct Account_Balance",
     "<FADJ><JES><Accounts><Acct><Account_Number/><Account_Balance/></Acct><Equity_Ind/></Accounts></JES></FADJ>"},
    {"EmptyAccountListReopenedAfterOtherElements",
     "init FADJ; record JES; child Accounts; acctRoot; data Equity_Ind; acct Account_Number; write 100; acct Account_Balance",
     "<FADJ><JES><Accounts><Acct><Account_Number>100</Account_Number><Account_Balance/></Acct><Equity_Ind/></Accounts>"
     "</JES></FADJ>"},
    // A new record starts without an account list.
    {"AccountNodeWithoutListAddsNothing",
     "init FADJ; record JES; noAcct Account_Number; acctRoot; record JES; noAcct Account_Number",
     "<FADJ><JES><Acct/></JES><JES/></FADJ>"},
    {"RootAttributeAfterRecords", "init R; root A 1; record C; record C; root A 2; root B 3",
     R"(<R A="2" B="3"><C/><C/></R>)"},
    {"InitEmpties", "init A; record X; init B", "<B/>"},
};

INSTANTIATE_TEST_SUITE_P(Document, Serialisation, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResultDocument, InvalidNamesAreReportedNotWritten) {
  ResultDocument doc;
  doc.InitXML("ENTITY");
  doc.AddMajorNode("ENTS");
  doc.AddDataNode("Zip/Postal_Code");
  doc.AddDataNode("1st");
  EXPECT_TRUE(doc.failed());
  EXPECT_EQ(doc.badName(), "Zip/Postal_Code");
}

TEST(ResultDocument, EscapeXmlText) {
  EXPECT_EQ(EscapeXmlText("A&B<C>\"'"), "A&amp;B&lt;C&gt;\"'");
  EXPECT_EQ(EscapeXmlText("&amp;"), "&amp;amp;");
}

// The serialised text of a value, one byte at a time, as a reference for the
// escaper's tables and faster scanning: Windows-1252 written out plainly.
std::string ReferenceText(std::string_view value, bool engineEscape, bool printableOnly = false) {
  std::string out;
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '&') out += engineEscape ? "&amp;amp;" : "&amp;";
    else if (c == '<') out += engineEscape ? "&amp;lt;" : "&lt;";
    else if (c == '>') out += engineEscape ? "&amp;gt;" : "&gt;";
    else if (printableOnly && (c < 32 || c > 126)) out += ' ';
    else if (c < 32 && c != '\t' && c != '\n' && c != '\r') out += ' ';
    else if (c >= 0x80) out += test::Utf8(test::Cp1252(c));
    else out += static_cast<char>(c);
  }
  return out;
}

TEST(ResultDocument, ValuesOfEveryLengthAndMix) {
  std::mt19937 rng(7);
  const std::string alphabet = "abcdefgh ,.&<>\"'\\\t\n\r\x01\x1f\x7f\x80\x81\x8a\x9d\x9f\xa0\xe9\xff";
  for (int n = 0; n < 3000; ++n) {
    // Up to 90 bytes: a value is escaped by one mask up to 64.
    std::string value(rng() % 90, 'a');
    for (char& c : value) c = rng() % 3 ? 'a' + static_cast<char>(rng() % 26) : alphabet[rng() % alphabet.size()];
    const int mode = static_cast<int>(rng() % 4);
    const bool json = rng() % 2 != 0;  // written as a JSON string's inside
    const bool printable = mode == 1 || (mode == 3 && rng() % 2 != 0);
    ResultDocument doc;
    doc.SetJsonString(json);
    doc.InitXML("R");
    const XmlTag record("C");
    if (mode != 3) doc.AddMajorNode(record);
    if (mode == 0) {
      doc.AddDataElement(XmlTag("V"), value, xml::kTextTwice);
    } else if (mode == 3) {
      // The readers' path: a whole record straight into the buffer, the value
      // lying in a buffer that may be read some way past it.
      const std::string buffer = value + std::string(rng() % 24, '<');
      const XmlTag tag("V");
      char* p = doc.WholeRecordRoom(ResultDocument::WholeRecordTagRoom(record, {}) +
                                    ResultDocument::ElementRoom(tag, value.size()));
      const char* content = p = doc.RecordStartAt(p, record);
      p = doc.ElementAt(p, tag, std::string_view(buffer).substr(0, value.size()),
                        printable ? xml::kTextTwicePrintable : xml::kTextTwice, buffer.size());
      doc.CommitRecord(ResultDocument::RecordEndAt(p, record, content));
    } else if (mode == 1) {
      doc.AddDataElement(XmlTag("V"), value, xml::kTextTwicePrintable);
    } else {
      doc.AddDataNode("V");
      doc.WriteDataNode(value);
    }
    const std::string text = ReferenceText(value, mode != 2, printable);
    const std::string expected = text.empty() ? "<R><C><V/></C></R>" : "<R><C><V>" + text + "</V></C></R>";
    ASSERT_EQ(doc.GetXML(), json ? JsonInside(expected) : expected) << "value: " << value;
  }
}

// Numbered records, started in one step and left open or written whole, empty
// or not, among records of the other kind.
TEST(ResultDocument, RecordsNumberedInOneStep) {
  for (const bool json : {false, true}) {
    for (const bool whole : {false, true}) {
      ResultDocument doc;
      doc.SetJsonString(json);
      doc.InitXML("R");
      const XmlTag record("C"), value("V");  // a record's tag lasts as long as its element
      for (const long long line : {1LL, 0LL, -7LL, 2147483647LL}) {
        const std::string_view text = line > 0 ? "x" : "";
        if (!whole) {
          doc.AddMajorNode(record, "Line", line);
          if (!text.empty()) doc.AddDataElement(value, text, xml::kText);
          continue;
        }
        char* p = doc.WholeRecordRoom(ResultDocument::WholeRecordTagRoom(record, "Line") +
                                      ResultDocument::ElementRoom(value, text.size()));
        // The digits in a buffer that may be read past them, or not.
        const std::string digits = std::to_string(line), buffer = digits + std::string(16, '9');
        const std::size_t readable = line > 0 ? buffer.size() : digits.size();
        const char* content = p =
            doc.RecordStartAt(p, NumberedTag(record, "Line"), std::string_view(buffer).substr(0, digits.size()), readable);
        if (!text.empty()) p = doc.ElementAt(p, value, text, xml::kText);
        doc.CommitRecord(ResultDocument::RecordEndAt(p, record, content));
      }
      doc.AddMajorNode("TMPL");
      const std::string expected =
          R"(<R><C Line="1"><V>x</V></C><C Line="0"/><C Line="-7"/><C Line="2147483647"><V>x</V></C><TMPL/></R>)";
      EXPECT_EQ(doc.GetXML(), json ? JsonInside(expected) : expected) << "json " << json << ", whole " << whole;
    }
  }
}

TEST(ResultDocument, ValuesDenseWithEntitiesGetTheRoomTheyNeed) {
  const std::string values[] = {std::string(40, '&'), std::string(17, '<') + std::string(30, 'a'),
                                "&&&&&&&&&&&&" + std::string(5, 'b') + "&&", std::string(25, '\xe9') + "&&&"};
  for (const std::string& value : values) {
    ResultDocument doc;
    doc.InitXML("R");
    doc.AddMajorNode("C");
    doc.AddDataElement(XmlTag("Name"), value, xml::kTextTwice);
    EXPECT_EQ(doc.GetXML(), "<R><C><Name>" + ReferenceText(value, true) + "</Name></C></R>");
  }
}

}  // namespace
}  // namespace zephrin
