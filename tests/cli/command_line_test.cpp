// The command line as a person and a pipeline use it: what it refuses and how
// it says so, standard input and output, the type listing, and the examples
// left as they were.
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

// Runs a bash script in `folder`, with the program as $ZEPHRIN.
Outcome Shell(const TempDir& folder, const std::string& script) {
  const ScopedEnv program("ZEPHRIN", ZEPHRIN_BINARY);
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
      {"read chart.csv -t CHART --type FCOA --format xls", 2,
       "zephrinimport: --format: the format is csv, dif or fixed (not \"xls\"); zephrinimport help read shows the "
       "options\n"},
      {"read - -t CHART --type FCOA <chart.csv", 2,
       "zephrinimport: reading standard input needs --format csv, dif or fixed\n"},
      {"read chart.csv --type FCOA", 2,
       "zephrinimport: --template is required; zephrinimport help read shows the options\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = Cli(dir, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

TEST_F(CommandLine, ServeOnAPortInUseSaysSo) {
  const Outcome r = Shell(dir, "exec 3< <(python3 -c 'import socket,sys,time\n"
                               "s=socket.socket(); s.bind((\"127.0.0.1\",0)); s.listen()\n"
                               "print(s.getsockname()[1], flush=True); time.sleep(30)'); read port <&3; "
                               "\"$ZEPHRIN\" serve --port $port; echo \"exit $? port $port\"; kill $! 2>/dev/null");
  const std::string port = r.out.substr(r.out.rfind(' ') + 1, r.out.size() - r.out.rfind(' ') - 2);
  EXPECT_EQ(r.out, "exit 1 port " + port + "\n");
  EXPECT_EQ(r.err, "zephrinimport: the server cannot start: cannot listen on 127.0.0.1:" + port + "\n");
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
  EXPECT_TRUE(test::FolderEntries(tmp.path()).empty());
  // Named as fixed-width, the same file reads by columns.
  const Outcome fixed = Cli(dir, "read chart.csv --format fixed -t CHART --type FCOA --id 7");
  EXPECT_EQ(fixed.exitCode, 0);
  EXPECT_TRUE(fixed.out.starts_with("<FCOA OBJID=\"7\"><COAS Line=\"0\"><Account_Number>Ac</Account_Number>"))
      << fixed.out;
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
