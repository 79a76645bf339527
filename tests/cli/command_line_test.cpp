// The command line as a person and a pipeline use it: what it refuses and how
// it says so, standard input and output, the type listing, and the examples
// left as they were.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "test_util.h"

namespace zephrin {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

const fs::path kSource = fs::path(ZEPHRIN_TEST_DATA).parent_path().parent_path();

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

// Runs a bash script in `folder`, with the program (or another copy of it)
// as $ZEPHRIN.
Outcome Shell(const TempDir& folder, const std::string& script, const std::string& binary = ZEPHRIN_BINARY) {
  const ScopedEnv program("ZEPHRIN", binary);
  const ScopedEnv source("SCRIPT", script);
  const std::string command = "cd '" + folder.str() + "' && bash -c \"$SCRIPT\" 2>.stderr";
  Outcome r;
  r.out = test::RunCommand(command, &r.exitCode);
  r.err = ReadFile(folder.file(".stderr"));
  fs::remove(folder.file(".stderr"));
  return r;
}

// Runs `zephrinimport ARGS` (ARGS may redirect).
Outcome Cli(const TempDir& folder, const std::string& args) { return Shell(folder, "\"$ZEPHRIN\" " + args); }

// Each test works on its own copy of the examples, which is also the
// writable folder holding the template store.
class CommandLine : public ::testing::Test {
 protected:
  CommandLine() { fs::copy(kSource / "examples", dir.path(), fs::copy_options::recursive); }
  TempDir dir;
  ScopedEnv home{"ZEPHRINIMPORT_HOME", dir.str()};
  ScopedEnv registry{"ZEPHRINIMPORT_REGISTRY", dir.file("registry.ini")};
  ScopedEnv trace{"ZEPHRINIMPORT_TRACE", std::nullopt};
};

TEST_F(CommandLine, RefusalsSayWhatIsWrongOnOneLine) {
  const std::string store = dir.file("import.ini");
  const std::string help = "; zephrinimport help read shows the options\n";
  ASSERT_EQ(symlink("chart.csv", dir.file("link.csv").c_str()), 0);
  ASSERT_EQ(link(dir.file("chart.csv").c_str(), dir.file("hard.csv").c_str()), 0);
  struct Case {
    std::string args;
    int exitCode;
    std::string err;
  } cases[] = {
      {"bogus", 2, "zephrinimport: unknown command \"bogus\"; zephrinimport help lists the commands\n"},
      {"reed chart.csv", 2,
       "zephrinimport: unknown command \"reed\" (did you mean read?); zephrinimport help lists the commands\n"},
      {"help tmplates", 2,
       "zephrinimport: unknown command \"tmplates\" (did you mean templates?); zephrinimport help lists the "
       "commands\n"},
      {"--bogus", 2, "zephrinimport: unknown option \"--bogus\": a command comes first; zephrinimport help lists them\n"},
      {"read chart.csv -t CHART --type fcoa", 2,
       "zephrinimport: unknown import type code \"fcoa\" (did you mean FCOA?); zephrinimport types lists them\n"},
      {"read chart.csv -t CHART --type FCOAX", 2,
       "zephrinimport: unknown import type code \"FCOAX\" (did you mean FCOA?); zephrinimport types lists them\n"},
      {"read chart.csv -t CHART --type BOGUS", 2,
       "zephrinimport: unknown import type code \"BOGUS\"; zephrinimport types lists them\n"},
      {"read chart.csv -t CHART --type FCOA --intl-type 5", 2,
       "zephrinimport: --intl-type is the kind of an international import, which needs --type INTL; FCOA reads no "
       "international kind\n"},
      {"read chart.csv -t CHART --type FCOA --country-jurisdictions chart.csv", 2,
       "zephrinimport: --country-jurisdictions: chart.csv is not an XML document (line 5: no document element "
       "found)\n"},
      {"suggest - --type FCOA <chart.csv", 2, "zephrinimport: suggest reads a data file by its name, not standard input\n"},
      {"review chart.csv -t CHART --type FCOA --intl-type 0", 2,
       "zephrinimport: --intl-type is the kind of an international import, which needs --type INTL; FCOA reads no "
       "international kind\n"},
      {"edit chart.csv --type fcoa", 2,
       "zephrinimport: unknown import type code \"fcoa\" (did you mean FCOA?); zephrinimport types lists them\n"},
      {"read chart.csv -t CHRT --type FCOA", 2,
       "zephrinimport: no template named \"CHRT\" (did you mean CHART?): it is not built in, nor saved in " + store +
           " (zephrinimport templates lists the saved ones; ZEPHRINIMPORT_HOME chooses the folder)\n"},
      {"read nope.csv -t CHART --type FCOA", 1, "zephrinimport: cannot read nope.csv: no such file\n"},
      {"read jurisdiction -t CHART --type FCOA", 1, "zephrinimport: cannot read jurisdiction: it is a folder\n"},
      {"read chart.csv -t CHART --type FCOA --year abc", 2,
       "zephrinimport: --year: the year must be a number from -32768 to 32767, such as 2024 (not \"abc\"); "
       "zephrinimport help read shows the options\n"},
      {"read chart.csv -t CHART --type FCOA --format xlsb", 2,
       "zephrinimport: --format: the format is csv, dif, fixed, xlsx or xls (not \"xlsb\"); zephrinimport help read "
       "shows the options\n"},
      {"read chart.csv -t CHART --type FCOA --separator colon", 2,
       "zephrinimport: --separator: the separator is comma, tab, semicolon or pipe (not \"colon\"); zephrinimport "
       "help read shows the options\n"},
      {"read chart.csv -t CHART --type FCOA --format fixed --separator tab", 2,
       "zephrinimport: --separator reads separated text, and --format fixed reads another kind of file: give one of "
       "the two\n"},
      {"read - -t CHART --type FCOA <chart.csv", 2,
       "zephrinimport: reading standard input needs --format (csv, dif, fixed, xlsx or xls) or --separator\n"},
      // The command line's own words for what CLI11 refuses.
      {"read chart.csv --type FCOA", 2, "zephrinimport: read needs --template" + help},
      {"read --type FCOA -t CHART", 2, "zephrinimport: read needs DATAFILE" + help},
      {"delete-template", 2, "zephrinimport: delete-template needs NAME; zephrinimport help delete-template shows the "
                             "options\n"},
      {"read chart.csv --templte CHART --type FCOA", 2,
       "zephrinimport: unknown option --templte (did you mean --template?)\n"},
      {"read chart.csv -t CHART --Type=FCOA", 2, "zephrinimport: unknown option --Type (did you mean --type?)\n"},
      {"read chart.csv -t CHART --type FCOA --bogus", 2, "zephrinimport: unknown option --bogus" + help},
      {"read chart.csv -t CHART --type FCOA -x", 2, "zephrinimport: unknown option -x" + help},
      {"read chart.csv -t CHART --more-info -x --type FCOA", 2, "zephrinimport: unknown option -x" + help},
      {"read chart.csv -t CHART -t JOURNAL --type FCOA", 2,
       "zephrinimport: --template is given more than once, and takes one value" + help},
      {"read chart.csv --type FCOA -t", 2, "zephrinimport: --template needs a value" + help},
      {"read chart.csv other.csv -t CHART --type FCOA", 2, "zephrinimport: unexpected argument other.csv" + help},
      {"read chart.csv -t CHART --type FCOA --intl-param 2024", 2,
       "zephrinimport: --intl-param needs --intl-type as well" + help},
      {"read chart.csv -t CHART --type FCOA --batch=maybe", 2, "zephrinimport: --batch does not take \"maybe\"" + help},
      {"read chart.csv -t CHART --type INTL --intl-type 100", 2,
       "zephrinimport: --intl-type: the international kind must be a number from 0 to 99 (not \"100\")" + help},
      {"read chart.csv -t CHART --type FCOA --jurisdictions nope.txt", 2,
       "zephrinimport: --jurisdictions: cannot read nope.txt: no such file" + help},
      {"read chart.csv -t CHART --type FCOA --country CA", 2,
       "zephrinimport: --country takes ID,ABBREV,NAME (not \"CA\")" + help},
      {"serve --port 70000", 2,
       "zephrinimport: --port: the port must be a number from 0 to 65535 (not \"70000\"); zephrinimport help serve "
       "shows the options\n"},
      // The text would replace the data it is read from, by any of its names.
      {"read chart.csv -t CHART --type FCOA -o chart.csv", 2, "zephrinimport: --output names the data file itself\n"},
      {"read chart.csv -t CHART --type FCOA -o ./link.csv", 2, "zephrinimport: --output names the data file itself\n"},
      {"read hard.csv -t CHART --type FCOA --output chart.csv", 2,
       "zephrinimport: --output names the data file itself\n"},
      {"read - --format csv -t CHART --type FCOA -o chart.csv <chart.csv", 2,
       "zephrinimport: --output names the data file itself\n"},
      // ... or the users' templates.
      {"read chart.csv -t CHART --type FCOA -o import.ini", 2, "zephrinimport: --output names the template store\n"},
      {"read chart.csv -t CHART --type FCOA -o ./jurisdiction/../import.ini.lock", 2,
       "zephrinimport: --output names the template store\n"},
      {"read chart.csv -t CHART --type FCOA -o .import.ini.tmp-1", 2, "zephrinimport: --output names the template store\n"},
      {"read chart.csv -t CHART --type FCOA -o ''", 2, "zephrinimport: --output needs a file name" + help},
      // A saved template of a kind the import type does not read.
      {"read journal.txt -t JOURNAL --type FCOA", 2,
       "zephrinimport: the template JOURNAL is a JE template, which FCOA does not read; JE templates go with FBJ, "
       "FRJ, FTJ, JEBAL\n"},
      {"read chart.csv -t CHART --type FBJ", 2,
       "zephrinimport: the template CHART is a COA template, which FBJ does not read; COA templates go with FCOA, "
       "PRELIMBAL\n"},
      {"read chart.csv -t CHART --type INTL --intl-type 3", 2,
       "zephrinimport: the template CHART is a COA template, which INTL does not read; COA templates go with FCOA, "
       "PRELIMBAL\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = Cli(dir, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  // Nothing was written over.
  EXPECT_EQ(ReadFile(dir.file("chart.csv")), ReadFile((kSource / "examples/chart.csv").string()));
  EXPECT_EQ(ReadFile(dir.file("import.ini")), ReadFile((kSource / "examples/import.ini").string()));
  EXPECT_EQ(test::FolderEntries(dir.path()), (std::set<std::string>{"chart.csv", "chart.dif", "hard.csv", "import.ini",
                                                                     "journal.txt", "jurisdiction", "link.csv",
                                                                     "trial_balance.csv"}));
}

// A template of a kind no import type takes is refused as well, saying so.
TEST_F(CommandLine, ATemplateOfAKindNoTypeTakesIsRefused) {
  WriteFile(dir.file("import.ini"), "[Import:Layout]\n1=ODD\n[Import:ODD]\nInfo=CAT\nTRC=0 1 0\n");
  const Outcome r = Cli(dir, "read chart.csv -t ODD --type FCOA");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zephrinimport: the template ODD is a CAT template, which FCOA does not read; no import type "
                   "reads CAT templates\n");
}

// Standard output that cannot take the text (a full disk) fails the command,
// whatever it was printing, with one line; and --output that cannot is told
// in the same words as before.
TEST_F(CommandLine, AFailedWriteToStandardOutputFailsTheCommand) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string full = "zephrinimport: cannot write to standard output: No space left on device\n";
  const std::string request = R"({"jsonrpc":"2.0","id":1,"method":"SetCurrentYear","params":[2025]})";
  const std::map<std::string, std::string> cases = {
      {"read chart.csv -t CHART --type FCOA >/dev/full", full},
      {"read chart.csv -t CHART --type FCOA -o - >/dev/full", full},
      {"read - --format csv -t CHART --type FCOA <chart.csv >/dev/full", full},
      {"types >/dev/full", full},
      {"templates >/dev/full", full},
      {"templates --xml >/dev/full", full},
      {"call --describe >/dev/full", full},
      {"call <<<'" + request + "' >/dev/full", full},
      {"serve >/dev/full", full},
      {"help >/dev/full", full},
      {"help read >/dev/full", full},
      {"read --help >/dev/full", full},
      {"--version >/dev/full", full},
      {"read chart.csv -t CHART --type FCOA -o /dev/full", "zephrinimport: cannot write /dev/full: No space left on "
                                                           "device\n"},
  };
  for (const auto& [args, err] : cases) {
    const Outcome r = Cli(dir, args);
    EXPECT_EQ(r.exitCode, 1) << args;
    EXPECT_EQ(r.err, err) << args;
  }
}

// A read that gives no value at all is no import anyone meant: the text is
// written as the engine gives it, standard error says why, and --strict makes
// it a failure. Reads of every reader that give values say nothing.
TEST_F(CommandLine, AReadWithoutAnyValueWarns) {
  WriteFile(dir.file("empty.csv"), "");
  // The start of a program, with the NUL bytes that end its lines.
  WriteFile(dir.file("binary.csv"),
            std::string("\x7f" "ELF\2\1\1\0\0\0\0\0\0\0\0\0\3\0>\0\1\0\0\0\n\0\0\0\0@\0\0\0\n", 34));
  WriteFile(dir.file("short.txt"), " a\n b\n");
  WriteFile(dir.file("header.csv"), "Type,Category,Subcategory,al,ca\n");
  // The same header row as UTF-16 text is text, not binary data.
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("Account,Name,Balance,TRC,TCC\r\n")) utf16 += std::string{c, '\0'};
  WriteFile(dir.file("header16.csv"), utf16);
  WriteFile(dir.file("returns.csv"), "Account,Name,Balance,TRC,TCC\r1000,Cash,5,1,2\r");
  WriteFile(dir.file("split.csv"), "Type,Category,Subcategory,AL,CA\nIncome,Sales,Retail,1,234.50,2\n");
  // Jurisdiction files: a split amount whose line leaves its last cell
  // empty, a value past the header's columns that no split moved there, a
  // listed amount split into the total's cell, an apportionment cut short.
  WriteFile(dir.file("splitend.csv"), "Type,Category,Subcategory,AL,CA\nIncome,Sales,Retail,1,234.50,\n"
                                      "Income,Sales,Fee,5.00,\n");
  // A province named with an accent in the host's list and in the file, in
  // UTF-8 and in Windows-1252.
  WriteFile(dir.file("prov_fr.txt"), "prov,10,Ontario,24,Qu\xC3\xA9" "bec\n");
  WriteFile(dir.file("apport_utf8.csv"), "Ontario,Qu\xC3\xA9" "bec\n0.4,0.6\n");
  WriteFile(dir.file("apport_1252.csv"), "Ontario,Qu\xE9" "bec\n0.4,0.6\n");
  WriteFile(dir.file("beyond.csv"), "Type,Category,Subcategory,AL,CA\nIncome,Sales,Retail,1.00,2.00,3.00\n");
  WriteFile(dir.file("listed.csv"), "Income,Sales,Retail\n  AL,1,234.50\n  CA,500.00,T\n");
  {
    const std::string dif = ReadFile(dir.file("jurisdiction/apportionment.dif"));
    WriteFile(dir.file("cutapport.dif"), dif.substr(0, dif.rfind("-1,0\r\nEOD")));
  }
  // A DIF file cut short: its last row and its end mark are gone.
  {
    const std::string dif = ReadFile(dir.file("chart.dif"));
    WriteFile(dir.file("cut.dif"), dif.substr(0, dif.rfind("-1,0\nBOT")));
  }
  // Lines ended by a carriage return alone read as one: one record of wrong values.
  WriteFile(dir.file("mac.csv"), "Account,Name,Balance,TRC,TCC\n1000,Cash,5,1,2\r2000,Loan,-5,3,4\r");
  WriteFile(dir.file("joined.csv"), "Account,Name,Balance,TRC,TCC\n1000,Cash,5,1,2\n\x1A" "2000,Loan,-5,3,4\n");
  WriteFile(dir.file("tabs.txt"), "1000\tCash 5\n");
  WriteFile(dir.file("odd16.txt"), "\xFF\xFE" "A");
  WriteFile(dir.file("export.xls"), "Account,Name,Balance,TRC,TCC\n1000,Cash,5,1,2\n");
  WriteFile(dir.file("thousands.csv"), "Account,Name,Balance,TRC,TCC\n1000,Cash,1,234.50,1,2\n2000,Loan,-500,3,4\n"
                                       "3000,Fee,(1,000,000),5,6\n4000,Due,5,100,1\n");
  WriteFile(dir.file("inch.csv"), "Account,Name,Balance,TRC,TCC\n1500,Pipe 12\" dia,500.00,101,1\n1510,Valves,2,101,1\n");
  WriteFile(dir.file("book.xlsx"), ReadFile(test::DataPath("workbooks/trial_balance.xlsx")));
  // Templates that start below the sheet's last row, or read columns past its last.
  WriteFile(dir.file("import.ini"), ReadFile(dir.file("import.ini")) +
                                        "[Import:LOW]\nInfo=COA\nAccount_Number=0 100 0\nAccount_Caption=1 100 0\n"
                                        "[Import:WIDE]\nInfo=COA\nAccount_Number=20 2 0\nAccount_Caption=21 2 0\n"
                                        "[Import:NONE]\nInfo=COA\nAccount_Number=0 0 0\n");
  const std::string warning = "zephrinimport: warning: no value was read from ";
  const std::string jur = " -t AABAL --type AABAL --jurisdictions jurisdiction/states.txt --category-types "
                          "jurisdiction/category_types.txt";
  const std::string noRecords = "<FCOA OBJID=\"\"><TMPLT/></FCOA>\n";
  struct Case {
    std::string args;
    int exitCode;
    std::string out, err;
  } cases[] = {
      {"read empty.csv -t CHART --type FCOA", 0, noRecords, warning + "empty.csv: the file is empty\n"},
      {"read empty.csv -t CHART --type FCOA --strict", 1, noRecords, warning + "empty.csv: the file is empty\n"},
      {"read - --format csv -t CHART --type FCOA --strict <empty.csv", 1, noRecords,
       warning + "standard input: the file is empty\n"},
      {"read binary.csv -t CHART --type FCOA", 0,
       "<FCOA OBJID=\"\"><COAS Line=\"1\"><Account_Number/><Account_Caption/><TRC/><TCC/></COAS><TMPLT/></FCOA>\n",
       warning + "binary.csv: it holds binary data\n"},
      {"read returns.csv -t CHART --type FCOA", 0, noRecords,
       warning + "returns.csv: its lines end with a carriage return alone, and only a line feed ends a line\n"},
      {"read header.csv -t CHART --type FCOA", 0, noRecords,
       warning + "header.csv: it has no line from the template's first line on\n"},
      {"read header16.csv -t CHART --type FCOA", 0, noRecords,
       warning + "header16.csv: it has no line from the template's first line on\n"},
      // Every entry is of another kind than FRJ reads.
      {"read journal.txt -t JOURNAL --type FRJ", 0, "<FADJ OBJID=\"\"/>\n",
       warning + "journal.txt: every journal entry in it is of another kind than the import type reads (by the first "
                 "letter of its type)\n"},
      {"read book.xlsx -t LOW --type FCOA", 0, "<FCOA OBJID=\"\"><TMPLT><Account_Number/><Account_Caption/></TMPLT></FCOA>\n",
       warning + "book.xlsx: its sheet has no row from the template's first row on\n"},
      {"read book.xlsx -t WIDE --type FCOA -o out.xml", 0, "",
       warning + "book.xlsx: no cell of the sheet at the template's columns holds a value\n"},
      {"read short.txt -t JOURNAL --type FBJ", 0, "<FADJ OBJID=\"\"/>\n",
       warning + "short.txt: no line holds a value where the template reads: its lines end before the "
                 "template's positions, or are blank there\n"},
      {"read short.txt -t JOURNAL --type FBJ -o out.xml --strict && cat out.xml", 1, "",
       warning + "short.txt: no line holds a value where the template reads: its lines end before the "
                 "template's positions, or are blank there\n"},
      {"read header.csv --id 1" + jur + " -o out.xml; cat out.xml", 0,
       "<AABALS OBJID=\"1\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
       "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL></AABALS>\n",
       warning + "header.csv: no line holds a value where the template reads\n"},
      {"read chart.csv -t NONE --type FCOA -o out.xml", 0, "",
       warning + "chart.csv: the template places no item (every item's position is 0 0 0)\n"},
      // A stray quote joins the lines after it: the text is written, with a word.
      {"read inch.csv -t CHART --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: a double quote opened on line 2 of inch.csv is not closed on it, so the lines after "
       "it are read as one field up to the next double quote (zephrinimport review lists every such line)\n"},
      // So does an amount split at its thousands commas, which moves the fields after it.
      {"read thousands.csv -t CHART --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: line 2 of thousands.csv has 6 fields where the header line has 5: \"1,234.50\" reads as "
       "one amount whose thousands commas split it, which moves the fields after it one column on (1 more line "
       "alike); quote such amounts, or write them without thousands separators (zephrinimport review lists every "
       "such line)\n"},
      {"read mac.csv -t CHART --type FCOA", 0,
       "<FCOA OBJID=\"\"><COAS Line=\"1\"><Account_Number>1000</Account_Number><Account_Caption>Cash</Account_Caption>"
       "<Account_Balance>5</Account_Balance><TRC>1</TRC><TCC>2 2000</TCC></COAS><TMPLT><Account_Number/>"
       "<Account_Caption/><Account_Balance/><TRC/><TCC/></TMPLT></FCOA>\n",
       "zephrinimport: warning: line 2 of mac.csv holds a carriage return that does not end it, as only a line feed "
       "ends a line: what follows it is read as part of that line (a file whose lines end with a carriage return "
       "alone reads as one line)\n"},
      {"read mac.csv -t CHART --type FCOA --format fixed -o out.xml", 0, "",
       "zephrinimport: warning: line 2 of mac.csv holds a carriage return that does not end it, as only a line feed "
       "ends a line: what follows it is read as part of that line (a file whose lines end with a carriage return "
       "alone reads as one line)\n"},
      {"read joined.csv -t CHART --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: line 3 of joined.csv holds a Ctrl-Z, the end-of-file mark of old programs, which ends "
       "the text: what follows it is not read\n"},
      {"read tabs.txt -t CHART --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: line 1 of tabs.txt holds a tab, which fixed-width text counts as one column though an "
       "editor shows it as up to eight: the fields after it are cut elsewhere than they look (zephrinimport review "
       "lists every such line)\n"},
      {"read export.xls -t CHART --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: export.xls is named as an .xls workbook but holds text, which was read as fixed-width "
       "text, as such a name says: if it is separated text, read it with --format csv (and --separator tab for "
       "tabs)\n"},
      {"read export.xls -t CHART --type FCOA --format csv -o out.xml", 0, "", ""},
      // Standard input is read from a copy, which its messages do not name.
      {"read - --format fixed -t CHART --type FCOA <odd16.txt", 1,
       "<Error>The import file standard input is not valid UTF-16 text.</Error>\n",
       "zephrinimport: the read failed: The import file standard input is not valid UTF-16 text.\n"},
      {"read cut.dif -t 'CHART DIF' --type FCOA -o out.xml", 0, "",
       "zephrinimport: warning: cut.dif ends without the end-of-data mark (EOD) that closes a DIF file: it may have "
       "been cut short, and rows after the last one read are missing\n"},
      // A thousands separator splits an amount past the header's last column.
      {"read split.csv" + jur + " --id 1", 0,
       "<AABALS OBJID=\"1\"><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
       "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL><BAL Line=\"2\"><Type ID=\"1\">Income</Type><Category>Sales"
       "</Category><Subcategory>Retail</Subcategory><JURS><JUR amt=\"1\" id=\"1\"/><JUR amt=\"234.50\" id=\"4\"/></JURS>"
       "</BAL></AABALS>\n",
       "zephrinimport: warning: line 2 of split.csv has 6 fields where the header line has 5: \"1,234.50\" reads as "
       "one amount whose thousands commas split it, which moves the fields after it one column on; quote such "
       "amounts, or write them without thousands separators\n"},
      {"read splitend.csv" + jur + " --id 1 -o out.xml", 0, "",
       "zephrinimport: warning: line 2 of splitend.csv has 6 fields where the header line has 5: \"1,234.50\" reads "
       "as one amount whose thousands commas split it, which moves the fields after it one column on; quote such "
       "amounts, or write them without thousands separators\n"},
      {"read beyond.csv" + jur + " --id 1 -o out.xml", 0, "",
       "zephrinimport: warning: line 2 of beyond.csv holds a value past the last column its header row names, which "
       "is not read (a comma inside an amount splits it, and moves the amounts after it one column on)\n"},
      {"read listed.csv" + jur + " --id 1", 0,
       "<AABALS OBJID=\"1\" listed=\"X\"><BAL Line=\"1\"><Type ID=\"1\">Income</Type><Category>Sales</Category>"
       "<Subcategory>Retail</Subcategory><JURS><JUR id=\"1\" amt=\"1\" T=\"0\"/><JUR id=\"4\" amt=\"500.00\" "
       "T=\"1\"/></JURS></BAL><TMPL><TType/><TCategory/><TSubcategory/><JURS><JUR id=\"1\"><Name>al</Name></JUR>"
       "<JUR id=\"4\"><Name>ca</Name></JUR></JURS></TMPL></AABALS>\n",
       "zephrinimport: warning: line 2 of listed.csv has 3 fields where most lines have 2: \"1,234.50\" reads as one "
       "amount whose thousands commas split it, which moves the fields after it one column on; quote such amounts, "
       "or write them without thousands separators\n"},
      {"read cutapport.dif -t APPORT --type APPORT --year 2024 --jurisdictions jurisdiction/provinces.txt -o out.xml",
       0, "",
       "zephrinimport: warning: cutapport.dif ends without the end-of-data mark (EOD) that closes a DIF file: it may "
       "have been cut short, and rows after the last one read are missing\n"},
      {"read apport_utf8.csv -t APPORT --type APPORT --id 1 --year 2024 --jurisdictions prov_fr.txt", 0,
       "<APPORT OBJID=\"1\" YEAR=\"2024\" TYPE=\"PROV\"><TMPL><JURS><JUR id=\"10\"><Name>ontario</Name></JUR>"
       "<JUR id=\"24\"><Name>qu bec</Name></JUR></JURS></TMPL><BAL Line=\"2\"><JURS><JUR amt=\"0.4\" id=\"10\"/>"
       "<JUR amt=\"0.6\" id=\"24\"/></JURS></BAL></APPORT>\n",
       ""},
      {"read apport_1252.csv -t APPORT --type APPORT --id 1 --year 2024 --jurisdictions prov_fr.txt", 0,
       "<APPORT OBJID=\"1\" YEAR=\"2024\" TYPE=\"PROV\"><TMPL><JURS><JUR id=\"10\"><Name>ontario</Name></JUR>"
       "<JUR id=\"24\"><Name>qu bec</Name></JUR></JURS></TMPL><BAL Line=\"2\"><JURS><JUR amt=\"0.4\" id=\"10\"/>"
       "<JUR amt=\"0.6\" id=\"24\"/></JURS></BAL></APPORT>\n",
       ""},
      // A jurisdiction file is comma-separated text or DIF: anything else is refused in words that say so.
      {"read odd16.txt" + jur, 1, "<Error>The import file odd16.txt is not valid UTF-16 text.</Error>\n",
       "zephrinimport: the read failed: The import file odd16.txt is not valid UTF-16 text.\n"},
      {"read book.xlsx" + jur, 1,
       "<Error>The import file book.xlsx is a workbook. A jurisdiction file is read as comma-separated text or DIF: "
       "save its sheet as comma-separated text (CSV) and import that.</Error>\n",
       "zephrinimport: the read failed: The import file book.xlsx is a workbook. A jurisdiction file is read as "
       "comma-separated text or DIF: save its sheet as comma-separated text (CSV) and import that.\n"},
      {"read split.csv --separator semicolon" + jur, 1,
       "<Error><Err>A jurisdiction file is read as comma-separated text or DIF, not with the separator SEMICOLON."
       "</Err></Error>\n",
       "zephrinimport: the read failed: A jurisdiction file is read as comma-separated text or DIF, not with the "
       "separator SEMICOLON.\n"},
      {"read split.csv --format fixed" + jur, 1,
       "<Error><Err>A jurisdiction file is read as comma-separated text or DIF, not as fixed-width text.</Err>"
       "</Error>\n",
       "zephrinimport: the read failed: A jurisdiction file is read as comma-separated text or DIF, not as "
       "fixed-width text.\n"},
      // Values in each reader: no word.
      {"read chart.csv -t CHART --type FCOA --strict -o out.xml", 0, "", ""},
      {"read chart.csv -t CHART --type FCOA --format fixed --strict -o out.xml", 0, "", ""},
      {"read chart.dif -t 'CHART DIF' --type FCOA --strict -o out.xml", 0, "", ""},
      {"read journal.txt -t JOURNAL --type FBJ --strict -o out.xml", 0, "", ""},
      {"read jurisdiction/balances_tabular.csv" + jur + " --strict -o out.xml", 0, "", ""},
      {"read jurisdiction/balances_listed.csv" + jur + " --strict -o out.xml", 0, "", ""},
      {"read jurisdiction/apportionment.dif -t APPORT --type APPORT --year 2024 --jurisdictions "
       "jurisdiction/provinces.txt --strict -o out.xml",
       0, "", ""},
  };
  for (const Case& c : cases) {
    const Outcome r = Shell(dir, "\"$ZEPHRIN\" " + c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
}

// Lists saved by an editor that begins them with a byte order mark read as
// the same lists without one.
TEST_F(CommandLine, SettingFilesWithAByteOrderMarkReadAsWithout) {
  const std::string jur = "jurisdiction/balances_tabular.csv -t AABAL --type AABAL --id 1 ";
  const Outcome plain = Cli(dir, "read " + jur + "--jurisdictions jurisdiction/states.txt --category-types "
                                 "jurisdiction/category_types.txt");
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  WriteFile(dir.file("states.txt"), "\xEF\xBB\xBF" + ReadFile(dir.file("jurisdiction/states.txt")));
  WriteFile(dir.file("types.txt"), "\xEF\xBB\xBF" + ReadFile(dir.file("jurisdiction/category_types.txt")));
  const Outcome marked = Cli(dir, "read " + jur + "--jurisdictions states.txt --category-types types.txt");
  EXPECT_EQ(marked.exitCode, 0) << marked.err;
  EXPECT_EQ(marked.out, plain.out);
}

// A template the index lists without its settings is told as such, not as
// a name that is not there (with itself as the name meant).
TEST_F(CommandLine, AListedTemplateWithoutSettingsIsToldAsSuch) {
  const std::string store = dir.file("import.ini");
  WriteFile(store, "[Import:Layout]\n1=GHOST\n");
  WriteFile(dir.file("a.csv"), "1,2\n");
  const Outcome r = Cli(dir, "read a.csv -t ghost --type FCOA");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zephrinimport: the template \"ghost\" is listed in " + store +
                       " but its settings are not there (no section [Import:GHOST])\n");
  // Settings without the template's kind are there, and said to lack it.
  WriteFile(store, "[Import:NOINFO]\nAccount_Number=0 2 0\n[Import:Layout]\n1=NOINFO\n");
  const Outcome kindless = Cli(dir, "read a.csv -t NOINFO --type FCOA");
  EXPECT_EQ(kindless.exitCode, 2);
  EXPECT_EQ(kindless.err, "zephrinimport: the template \"NOINFO\" in " + store +
                              " does not say what kind of template it is (its section [Import:NOINFO] has no Info key)\n");
}

// A deletion of nothing leaves the store's folder as it was: no lock file.
TEST_F(CommandLine, RefusedDeletionsLeaveNoLockFile) {
  const std::string store = dir.file("import.ini");
  struct Case {
    std::string content;  // of the store; "-" for none
    std::string args, err;
  } cases[] = {
      {"-", "delete-template X", "zephrinimport: no template named X in " + store + "\n"},
      {"-", "forget-file 'ALL FILES'", "zephrinimport: no data files are listed in " + store + "\n"},
      {"", "delete-template X", "zephrinimport: no template named X in " + store + "\n"},
      {"", "delete-template 'ALL TEMPLATES'", "zephrinimport: no templates are saved in " + store + "\n"},
      {"", "forget-file a.csv", "zephrinimport: no data file a.csv is listed in " + store + "\n"},
      {"", "forget-file 'ALL FILES'", "zephrinimport: no data files are listed in " + store + "\n"},
      {"[Import:Layout]\n1=A\n[Import:A]\nInfo=COA\n", "delete-template B",
       "zephrinimport: no template named B in " + store + "\n"},
      {"[Import:FileName]\n1=/D/A.CSV^A\n", "forget-file /d/b.csv",
       "zephrinimport: no data file /d/b.csv is listed in " + store + "\n"},
  };
  for (const Case& c : cases) {
    fs::remove(store);
    if (c.content != "-") WriteFile(store, c.content);
    const std::set<std::string> before = test::FolderEntries(dir.path());
    const Outcome r = Cli(dir, c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(test::FolderEntries(dir.path()), before) << c.args;
    if (c.content != "-") {
      EXPECT_EQ(ReadFile(store), c.content) << c.args;
    }
  }
}

// Another program's port, and one whose listener lets others share it (as
// a server that offers the port to any later one would): neither is ours.
// A store in a folder that cannot be written now is the user's all the same:
// the commands that read it refuse, rather than find no template in the
// empty store the temporary folder holds in its place.
TEST_F(CommandLine, AStoreInAFolderThatCannotBeWrittenIsNotTakenForNone) {
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
  TempDir runtime;
  const ScopedEnv privateFolder("XDG_RUNTIME_DIR", runtime.str());
  const std::string store = dir.file("home");
  fs::create_directory(store);
  fs::copy(dir.file("import.ini"), store + "/import.ini");
  const ScopedEnv readOnlyHome("ZEPHRINIMPORT_HOME", store);
  ASSERT_EQ(chmod(store.c_str(), 0555), 0);
  const std::string refusal = "zephrinimport: the template store " + store + "/import.ini" +
                              " cannot be used: its folder cannot be written (Permission denied), and the store "
                              "used in its place, " + runtime.str() + "/zephrinimport/import.ini, is another one; "
                              "make the folder writable, or let ZEPHRINIMPORT_HOME name a folder you may write\n";
  const std::pair<std::string, int> cases[] = {
      {"templates", 1}, {"suggest chart.csv --type FCOA", 1}, {"read chart.csv -t CHART --type FCOA", 2},
      {"review chart.csv -t CHART --type FCOA", 2}, {"delete-template CHART", 1}};
  for (const auto& [args, exitCode] : cases) {
    const Outcome r = Cli(dir, args);
    EXPECT_EQ(r.exitCode, exitCode) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(r.err, refusal) << args;
  }
  chmod(store.c_str(), 0755);
}

TEST_F(CommandLine, ServeOnAPortInUseSaysSo) {
  for (const char* share : {"", "s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1); "}) {
    const Outcome r = Shell(dir, std::string("exec 3< <(python3 -c 'import socket,sys,time\n"
                                             "s=socket.socket(); ") +
                                     share +
                                     "s.bind((\"127.0.0.1\",0)); s.listen()\n"
                                     "print(s.getsockname()[1], flush=True); time.sleep(30)'); read port <&3; "
                                     "timeout 10 \"$ZEPHRIN\" serve --port $port; echo \"exit $? port $port\"; "
                                     "kill $! 2>/dev/null");
    const std::string port = r.out.substr(r.out.rfind(' ') + 1, r.out.size() - r.out.rfind(' ') - 2);
    EXPECT_EQ(r.out, "exit 1 port " + port + "\n") << share;
    EXPECT_EQ(r.err, "zephrinimport: the server cannot start: cannot listen on 127.0.0.1:" + port + ": Address already in use\n") << share;
  }
}

// The web server's HTTP side is a module loaded when a server starts: a
// program without it still reads, and says why it cannot serve.
TEST_F(CommandLine, AProgramWithoutItsWebModuleReadsAndSaysWhyItCannotServe) {
  const TempDir bin;
  const std::string copy = bin.file("zephrinimport");
  fs::copy_file(ZEPHRIN_BINARY, copy);
  fs::permissions(copy, fs::perms::owner_all);
  const Outcome read = Shell(dir, "\"$ZEPHRIN\" read chart.csv --template CHART --type FCOA --id 100 | head -c 5", copy);
  EXPECT_EQ(read.out, "<FCOA");
  const Outcome serve = Shell(dir, "\"$ZEPHRIN\" serve; echo \"exit $?\"", copy);
  EXPECT_EQ(serve.out, "exit 1\n");
  EXPECT_TRUE(serve.err.starts_with("zephrinimport: the server cannot start: the web module " +
                                    bin.path().parent_path().string() + "/"))
      << serve.err;
  EXPECT_NE(serve.err.find("/zephrinimport/zephrinimport-web.so cannot be loaded ("), std::string::npos) << serve.err;
}

TEST_F(CommandLine, AJurisdictionReadWithoutListsNamesTheOption) {
  const Outcome r = Cli(dir, "read jurisdiction/balances_tabular.csv -t AABAL --type AABAL --id 1");
  EXPECT_EQ(r.exitCode, 1);
  // The engine's own text is unchanged; the command line adds why.
  EXPECT_EQ(r.out, "<Error><Err>No jurisdictions were loaded before reading import file.  Please try again.</Err>"
                   "</Error>\n");
  EXPECT_EQ(r.err,
            "zephrinimport: the read failed: No jurisdictions were loaded before reading import file.  Please try "
            "again.\n"
            "zephrinimport: a jurisdiction read needs the host's jurisdiction lists: give them with --jurisdictions "
            "FILE (as many as needed)\n");
}

TEST_F(CommandLine, AFailedReadNamesEachOfItsErrorsApartWithTheirLinesAndTheTextAHostStores) {
  WriteFile(dir.file("listed_errors.csv"), "  AL,5\nIncome,Sales,Retail\n  Z&<Z>,3\n  AL,1\n  AL,2\n");
  const Outcome r = Cli(dir, "read listed_errors.csv -t AABAL --type AABAL --id 1 --jurisdictions "
                             "jurisdiction/states.txt --category-types jurisdiction/category_types.txt");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "<Error><Err Line=\"1\">Jurisdiction before any record line - AL</Err><Err Line=\"3\">Invalid "
                   "Jurisdiction - Z&amp;amp;&amp;lt;Z&amp;gt;</Err><Err Line=\"5\">Duplicate Jurisdiction - AL</Err></Error>\n");
  EXPECT_EQ(r.err, "zephrinimport: the read failed: line 1: Jurisdiction before any record line - AL; line 3: Invalid "
                   "Jurisdiction - Z&<Z>; line 5: Duplicate Jurisdiction - AL\n");
}

// A copy of standard input that a read killed outright left behind (no
// handler runs on SIGKILL) is removed by the next read that copies its input;
// the copy of a read still running is not.
TEST_F(CommandLine, ACopyOfStandardInputLeftByAKilledReadIsRemovedByTheNext) {
  TempDir tmp;
  ScopedEnv tmpdir{"TMPDIR", tmp.str()};
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string orphan = "zephrinimport-input-" + std::to_string(gone) + "-abcdef";
  const std::string running = "zephrinimport-input-" + std::to_string(getpid()) + "-ghijkl";
  for (const std::string& name : {orphan, running}) {
    fs::create_directory(tmp.path() / name);
    WriteFile((tmp.path() / name / "input-stdin").string(), "a copy");
  }
  const Outcome r = Cli(dir, "read - --format csv -t CHART --type FCOA -o out.xml <chart.csv");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(test::FolderEntries(tmp.path()), std::set<std::string>{running});
}

TEST_F(CommandLine, StandardInputPipesAndTheFormatOptionReadAsTheFileWould) {
  const std::string chart = Cli(dir, "read chart.csv -t CHART --type FCOA --id 7").out;
  const std::string dif = Cli(dir, "read chart.dif -t 'CHART DIF' --type FCOA --id 7").out;
  ASSERT_TRUE(chart.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"1\">")) << chart;
  ASSERT_TRUE(dif.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"1\">")) << dif;
  fs::copy_file(dir.file("chart.csv"), dir.file("chart.data"));
  // Copies of standard input go into TMPDIR and are gone afterwards.
  TempDir tmp;
  ScopedEnv tmpdir{"TMPDIR", tmp.str()};
  const std::map<std::string, std::string> same = {
      {"read - --format csv -t CHART --type FCOA --id 7 -o - <chart.csv", chart},
      {"read /dev/stdin --format csv -t CHART --type FCOA --id 7 <chart.csv", chart},
      {"read chart.data --format csv -t CHART --type FCOA --id 7", chart},
      {"read chart.csv -t CHART --type FCOA --id 7 --output -", chart},
      {"read - --format dif -t 'CHART DIF' --type FCOA --id 7 <chart.dif", dif},
  };
  for (const auto& [args, expected] : same) {
    const Outcome r = Cli(dir, args);
    EXPECT_EQ(r.exitCode, 0) << args << r.err;
    EXPECT_EQ(r.out, expected) << args;
  }
  const Outcome piped = Shell(dir, "cat chart.csv | \"$ZEPHRIN\" read - --format csv -t CHART --type FCOA --id 7");
  EXPECT_EQ(piped.out, chart);
  const Outcome substituted = Cli(dir, "read <(cat chart.csv) --format csv -t CHART --type FCOA --id 7");
  EXPECT_EQ(substituted.out, chart);
  // A named pipe whose writer already waits for a reader: the checks before
  // the read must leave its text to the read.
  const Outcome named = Shell(dir, "mkfifo chart.pipe && { cat chart.csv >chart.pipe & } && sleep 0.3 && "
                                   "timeout 20 \"$ZEPHRIN\" read chart.pipe --format csv -t CHART --type FCOA --id 7");
  EXPECT_EQ(named.exitCode, 0) << named.err;
  EXPECT_EQ(named.out, chart);
  EXPECT_TRUE(test::FolderEntries(tmp.path()).empty());
  // Named as fixed-width, the same file reads by columns.
  const Outcome fixed = Cli(dir, "read chart.csv --format fixed -t CHART --type FCOA --id 7");
  EXPECT_EQ(fixed.exitCode, 0);
  EXPECT_TRUE(fixed.out.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"0\"><Account_Number>Ac</Account_Number>"))
      << fixed.out;
}

TEST_F(CommandLine, SeparatorSheetAndWorkbookFormatChooseTheReader) {
  const std::string chart = Cli(dir, "read chart.csv -t CHART --type FCOA --id 7").out;
  ASSERT_TRUE(chart.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"1\">")) << chart;
  // The chart with semicolons (and its quoted comma kept), and with tabs.
  ASSERT_EQ(Shell(dir, "sed 's/,/;/g; s/Receivables; trade/Receivables, trade/' chart.csv >chart.txt").exitCode, 0);
  ASSERT_EQ(Shell(dir, "tr ',' '\\t' <chart.csv | sed 's/Receivables\\t trade/Receivables, trade/' >tabs.dat").exitCode,
            0);
  const std::string mixed = test::DataPath("workbooks/mixed.xlsx");
  fs::copy_file(mixed, dir.file("book.dat"));
  const std::string firstSheet = Cli(dir, "read '" + mixed + "' -t CHART --type FCOA --id 7").out;
  ASSERT_TRUE(firstSheet.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"1\"><Account_Number>TRUE</Account_Number>"))
      << firstSheet;
  // The sheet's one row lies before the template's first row.
  const std::string totals = "<FCOA OBJID=\"7\"><TMPLT><Account_Number/></TMPLT></FCOA>\n";
  // Trailing tabs are a line's trailing blanks: the last line's two empty
  // fields go with them (its comma-separated twin keeps one).
  std::string tabbed = chart;
  tabbed.replace(tabbed.find("<TRC/><TRC/><TCC/>"), 18, "<TRC/><TCC/>");
  struct Case {
    std::string args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"read chart.txt --separator semicolon -t CHART --type FCOA --id 7", 0, chart},
      {"read - --separator tab -t CHART --type FCOA --id 7 <tabs.dat", 0, tabbed},
      {"read tabs.dat --separator TAB -t CHART --type FCOA --id 7", 0, tabbed},
      // A workbook is known by its bytes whatever its name; --format insists.
      {"read book.dat -t CHART --type FCOA --id 7", 0, firstSheet},
      {"read book.dat --format xlsx -t CHART --type FCOA --id 7", 0, firstSheet},
      {"read - -t CHART --type FCOA --id 7 --format xlsx <book.dat", 0, firstSheet},
      {"read book.dat --separator tab -t CHART --type FCOA --id 7", 0, firstSheet},
      {"read book.dat --sheet totals -t CHART --type FCOA --id 7", 0, totals},
      {"read book.dat --sheet Summary -t CHART --type FCOA --id 7", 1,
       "<Error>The workbook book.dat has no sheet named Summary.</Error>\n"},
      {"read chart.csv --format xls -t CHART --type FCOA --id 7", 1,
       "<Error>The workbook chart.csv cannot be read: it is not an .xls workbook.</Error>\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = Cli(dir, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args << r.err;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

TEST_F(CommandLine, TheProgressBarIsClearedBeforeTheMessageOfAFailedRead) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) to give a terminal";
  // Large enough for the bar; 25 blank lines near the end make the read fail.
  std::string data = "Account,Caption,Balance\n";
  for (int i = 0; data.size() < (5u << 20); ++i) data += std::to_string(1000 + i) + ",Caption of the account,1.00\n";
  data += std::string(30, '\n') + "1,x,2\n";
  test::WriteFile(dir.file("big.csv"), data);
  const Outcome r = Shell(dir, "script -qec '\"$ZEPHRIN\" read big.csv -t CHART --type FCOA -o big.xml' /dev/null");
  const std::size_t bar = r.out.find("\rReading ");
  ASSERT_NE(bar, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("]\r\033[Kzephrinimport: the read failed: Beginning at row", bar), std::string::npos) << r.out;
}

TEST_F(CommandLine, HelpAndTheTypeListing) {
  const Outcome alone = Cli(dir, "");
  EXPECT_EQ(alone.exitCode, 0);
  EXPECT_TRUE(alone.out.find("Usage: zephrinimport [OPTIONS] SUBCOMMAND") != std::string::npos) << alone.out;
  EXPECT_EQ(Cli(dir, "help").out, alone.out);
  const Outcome read = Cli(dir, "help read");
  EXPECT_EQ(read.exitCode, 0);
  EXPECT_TRUE(read.out.find("Usage: zephrinimport read [OPTIONS] DATAFILE") != std::string::npos) << read.out;
  EXPECT_TRUE(read.out.find("--format") != std::string::npos);
  // "help help", which a usage error of help points to, shows the help command's own.
  const Outcome help = Cli(dir, "help help");
  EXPECT_EQ(help.exitCode, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("Shows the commands, or the options of COMMAND.\nUsage: zephrinimport help [OPTIONS] [COMMAND]\n"))
      << help.out;

  const Outcome types = Cli(dir, "types");
  EXPECT_EQ(types.exitCode, 0);
  EXPECT_TRUE(types.out.starts_with("CODE           CAPTION                                 TEMPLATES\n"
                                    "FBJ            Chart of Book Adjustments               JE\n"))
      << types.out;
  EXPECT_TRUE(types.out.find("\nAABAL          Jurisdiction balances                   built-in AABAL\n") !=
              std::string::npos);
  EXPECT_TRUE(types.out.find("\nCAT            Built-in list CATEGORY                  built-in CATEGORY\n") !=
              std::string::npos);
  // The bash completion offers exactly the codes the program knows.
  const Outcome completion = Shell(dir, "source '" + (kSource / "packaging/zephrinimport.bash").string() +
                                        "'; _zephrinimport_types \"$ZEPHRIN\" | tr '\\n' ' '");
  std::string codes;
  for (const KnownTypeCode& known : KnownTypeCodes()) codes += known.code + " ";
  EXPECT_EQ(completion.out, codes);
}

TEST_F(CommandLine, TheExampleScriptLeavesTheExamplesAsTheyWere) {
  TempDir tree;
  for (const char* part : {"examples", "scripts"})
    fs::copy(kSource / part, tree.path() / part, fs::copy_options::recursive);
  const std::set<std::string> before = test::FolderEntries(tree.path() / "examples");
  const std::string store = ReadFile((tree.path() / "examples/import.ini").string());
  const Outcome r = Shell(tree, "ZEPHRIN_BINARY=\"$ZEPHRIN\" bash scripts/example");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("<FCOA OBJID=\"100\"><COAS Line=\"1\"><Account_Number>1000</Account_Number>"))
      << r.out;
  EXPECT_EQ(test::FolderEntries(tree.path() / "examples"), before);
  EXPECT_EQ(ReadFile((tree.path() / "examples/import.ini").string()), store);
}

}  // namespace
}  // namespace zephrin
