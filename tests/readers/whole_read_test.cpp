// Whole reads of small data files, each compared with the exact expected text.
//
// Every case is a folder under tests/data/reads/ holding the data file, an
// optional "import.ini" (the template store), an "args" file and "expected.xml".
// The args file has one "key=value" per line:
//   file=<data file name>  template=<name>  type=<host code>  id=<ID>
//   year=<current year>    batch=1          intl-type=<N>      intl-param=<N>
//   more-info=<text>       jurisdictions=<list text> (repeatable)
//   country-jurisdictions=<file name>       insurwp=<item list>
// Set ZEPHRIN_REGENERATE=1 to write the actual texts as expected.xml.actual
// next to the expected ones, for review.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

namespace fs = std::filesystem;

std::multimap<std::string, std::string> ReadArgs(const fs::path& file) {
  std::multimap<std::string, std::string> args;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    args.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return args;
}

std::string Arg(const std::multimap<std::string, std::string>& args, const std::string& key,
                const std::string& fallback = "") {
  const auto it = args.find(key);
  return it == args.end() ? fallback : it->second;
}

std::vector<std::string> Cases() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(test::DataPath("reads")))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class WholeRead : public ::testing::TestWithParam<std::string> {};

TEST_P(WholeRead, MatchesExpectedText) {
  const fs::path dir = test::DataPath("reads/" + GetParam());
  const auto args = ReadArgs(dir / "args");

  // A writable folder of the test's own, holding a copy of the case's store.
  test::ScopedHome home;
  if (fs::exists(dir / "import.ini")) fs::copy_file(dir / "import.ini", home.path() / "import.ini");

  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ASSERT_TRUE(service.EstablishTemplateStore());
  if (Arg(args, "batch") == "1") service.SetBatchIndicator(1);
  if (args.count("year")) service.SetCurrentYear(static_cast<int16_t>(std::stoi(Arg(args, "year"))));
  for (auto [it, end] = args.equal_range("jurisdictions"); it != end; ++it) service.FillJurisdictionCaptions(it->second);
  if (args.count("country-jurisdictions"))
    service.SetCountryJurisdictions(test::ReadFile((dir / Arg(args, "country-jurisdictions")).string()));
  if (args.count("insurwp")) service.InitInsurWPTemplate(Arg(args, "insurwp"));

  const std::string dataFile = (dir / Arg(args, "file")).string();
  std::string result;
  if (args.count("intl-type")) {
    service.ReadIntlImportFile(dataFile, Arg(args, "template"), Arg(args, "type"), Arg(args, "id"),
                               static_cast<int16_t>(std::stoi(Arg(args, "intl-param", "0"))),
                               static_cast<int16_t>(std::stoi(Arg(args, "intl-type"))), result);
  } else {
    service.ReadImportFile(dataFile, Arg(args, "template"), Arg(args, "type"), Arg(args, "id"),
                           Arg(args, "more-info"), result);
  }
  // Paths in messages are the test machine's: make them relative to the case.
  for (std::size_t at; (at = result.find(dir.string() + "/")) != std::string::npos;)
    result.erase(at, dir.string().size() + 1);

  std::string expected = test::ReadFile((dir / "expected.xml").string());
  if (!expected.empty() && expected.back() == '\n') expected.pop_back();
  if (std::getenv("ZEPHRIN_REGENERATE")) test::WriteFile((dir / "expected.xml.actual").string(), result + "\n");
  EXPECT_EQ(result, expected);

  // Whatever a read returns is well-formed XML, or the unrecognised-format text.
  if (result.rfind("<", 0) == 0 && result.find("Error Line='") == std::string::npos) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(result.data(), result.size())) << "not well-formed: " << result;
  }
  if (args.count("message")) {
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].caption + ": " + ui.messages()[0].text, Arg(args, "message"));
  } else {
    EXPECT_TRUE(ui.messages().empty()) << ui.messages()[0].text;
  }
}

INSTANTIATE_TEST_SUITE_P(Reads, WholeRead, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param; });

// The example trial balance, read with its template, gives every account one
// signed balance, and the balances add up to zero to the cent.
TEST(ExampleTrialBalance, BalancesSumToZero) {
  const fs::path examples = fs::path(ZEPHRIN_TEST_DATA).parent_path().parent_path() / "examples";
  test::ScopedHome home;
  fs::copy_file(examples / "import.ini", home.path() / "import.ini");
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ASSERT_TRUE(service.EstablishTemplateStore());
  std::string result;
  service.ReadImportFile((examples / "trial_balance.csv").string(), "TRIAL BALANCE", "PRELIMBAL", "100", "", result);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_buffer(result.data(), result.size())) << result;
  long long cents = 0;
  int accounts = 0;
  for (const pugi::xml_node& record : doc.document_element().children("COAS")) {
    const std::string balance = record.child_value("Account_Balance");
    const std::size_t point = balance.find('.');
    ASSERT_EQ(point + 3, balance.size()) << balance;
    cents += std::stoll(balance.substr(0, point) + balance.substr(point + 1));
    ++accounts;
  }
  EXPECT_EQ(accounts, 39);
  EXPECT_EQ(cents, 0);
  EXPECT_NE(result.find("<Account_Number>1150</Account_Number><Account_Caption>Allowance for doubtful accounts"
                        "</Account_Caption><Account_Balance>-1757868.57</Account_Balance>"),
            std::string::npos);
}

}  // namespace
}  // namespace zephrin
