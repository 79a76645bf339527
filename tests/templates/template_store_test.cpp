#include "templates/template_store.h"

#include <chrono>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/profile.h"
#include "test_util.h"

namespace zephrin {
namespace {


// The chart-of-accounts item keys, kept here so these tests stand apart from
// the catalogue.
const char* const kCoaKeys[] = {"Company_Number", "Account_Number", "Account_Caption", "Account_Balance", "TRC", "TCC",
                                "Account_Type", "SIC_Code", "Activity_Number", "Activity_Name", ""};

// Account_Number in column A from row 2, Account_Caption in column B, Account_Balance in column E.
FieldInfoArray GlBookFields() {
  FieldInfoArray f{};
  f[1] = {0, 2, 0};
  f[2] = {1, 2, 0};
  f[3] = {4, 2, 0};
  return f;
}

SaveTemplateRequest CoaRequest(std::string name, const FieldInfoArray& fields, std::string dataFile) {
  return {std::move(name), "COA", false, "", kCoaKeys, &fields, std::move(dataFile), "", {}};
}

const char* const kGlBookFile =
    "[Import:GL BOOK]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n"
    "Account_Balance=4 2 0\nTRC=0 0 0\nTCC=0 0 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\nActivity_Number=0 0 0\n"
    "Activity_Name=0 0 0\n[Import:Layout]\n1=GL BOOK\n[Import:FileName]\n1=C:\\DATA\\TB.CSV^GL BOOK\n";

std::string SectionText(const std::string& file, std::string_view header) {
  std::size_t b = file.find(header);
  if (b == std::string::npos) return "";
  std::size_t e = file.find("\n[", b + 1);
  return file.substr(b, e == std::string::npos ? std::string::npos : e + 1 - b);
}

// A store in a fresh folder.
class TemplateStore : public ::testing::Test {
 protected:
  Done Save(std::string name, const FieldInfoArray& fields, std::string dataFile) {
    return SaveTemplate(ini, CoaRequest(std::move(name), fields, std::move(dataFile)));
  }
  FieldInfoArray Load(std::string_view name) {
    FieldInfoArray loaded{};
    LoadTemplate(kCoaKeys, loaded, ini, name);
    return loaded;
  }
  TempDir dir;
  const std::string ini = dir.file("import.ini");
  const FieldInfoArray gl = GlBookFields();
};

TEST_F(TemplateStore, WorkedExampleByteForByte) {
  ASSERT_EQ(FailureOf(Save("GL BOOK", gl, "C:\\DATA\\TB.CSV")), std::nullopt);
  EXPECT_EQ(ReadFile(ini), kGlBookFile);
  FieldInfoArray loaded{};
  loaded.fill(FieldInfo{9, 9, 9});
  LoadTemplate(kCoaKeys, loaded, ini, "gl book");
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(loaded[i], gl[i]) << kCoaKeys[i];
  EXPECT_EQ(loaded[10], (FieldInfo{9, 9, 9}));  // past the item list: untouched
}

TEST_F(TemplateStore, LowerCaseValuesAreStoredUpperCased) {
  SaveTemplateRequest r = CoaRequest("Gl Book", gl, "c:\\data\\tb.csv");
  r.info = "coa";
  ASSERT_TRUE(SaveTemplate(ini, r));
  const std::string file = ReadFile(ini);
  // Section names are written as given; values upper-cased.
  EXPECT_EQ(file.substr(0, 35), "[Import:Gl Book]\nInfo=COA\nFsiType=F");
  EXPECT_EQ(SectionText(file, "[Import:Layout]"), "[Import:Layout]\n1=GL BOOK\n");
  EXPECT_EQ(SectionText(file, "[Import:FileName]"), "[Import:FileName]\n1=C:\\DATA\\TB.CSV^GL BOOK\n");
}

TEST_F(TemplateStore, InternationalTemplateAndUnplacedItems) {
  const char* const keys[] = {"Account Number", "US$/FC", ""};
  const FieldInfoArray none{};
  SaveTemplateRequest r{"DASTM", "INTL", true, "DASTM Chart of Accounts", keys, &none, "/home/u/dastm.txt", "", {}};
  ASSERT_TRUE(SaveTemplate(ini, r));
  EXPECT_EQ(ReadFile(ini), "[Import:DASTM]\nInfo=INTL\nIntlType=DASTM CHART OF ACCOUNTS\nAccount Number=0 0 0\n"
                           "US$/FC=0 0 0\n[Import:Layout]\n1=DASTM\n[Import:FileName]\n1=/HOME/U/DASTM.TXT^DASTM\n");
}

TEST_F(TemplateStore, SavingAgainReplacesTheSectionAndKeepsTheIndexEntry) {
  FieldInfoArray a = gl, b{};
  b[1] = {3, 1, 0};
  ASSERT_TRUE(Save("A", a, "a.csv"));
  ASSERT_TRUE(Save("B", b, "b.csv"));
  a[9] = {2, 7, 1};
  ASSERT_TRUE(Save("a", a, "a.csv"));
  const std::string file = ReadFile(ini);
  EXPECT_EQ(SectionText(file, "[Import:Layout]"), "[Import:Layout]\n1=A\n2=B\n");
  EXPECT_EQ(SectionText(file, "[Import:FileName]"), "[Import:FileName]\n1=A.CSV^A\n2=B.CSV^B\n");
  // One section for A, now last, with the new positions.
  EXPECT_EQ(file.find("[Import:A]"), std::string::npos);
  EXPECT_NE(file.find("[Import:a]\nInfo=COA\n"), std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 20), "Activity_Name=2 7 1\n");
  EXPECT_EQ(Load("A"), a);
}

TEST_F(TemplateStore, SavingReplacesEveryCopyOfTheSection) {
  // A store edited by hand holds A twice; the later copy has keys a save of
  // A does not write, which would change how A reads if they stayed.
  WriteFile(ini, "[Import:A]\nInfo=COA\nAccount_Number=0 2 0\n[Import:B]\nInfo=COA\n"
                 "[Import:a]\nAccount_Number=4 9 0\nSeparator=PIPE\nAmounts=SIGNED\n[Import:Layout]\n1=A\n2=B\n");
  ASSERT_TRUE(Save("A", gl, ""));
  const std::string file = ReadFile(ini);
  EXPECT_EQ(file.substr(0, 55), "[Import:B]\nInfo=COA\n[Import:Layout]\n1=A\n2=B\n[Import:A]\n");
  EXPECT_EQ(file.find("PIPE"), std::string::npos);
  EXPECT_EQ(file.find("SIGNED"), std::string::npos);
  EXPECT_EQ(Load("A"), gl);
}

TEST_F(TemplateStore, AFileNameWithACaretIsNotListed) {
  ASSERT_TRUE(Save("A", gl, "/d/a^b.csv"));
  ASSERT_TRUE(RecordFileAssociation(ini, "/d/c^d.csv", "A"));
  const std::string file = ReadFile(ini);
  EXPECT_EQ(file.find("[Import:FileName]"), std::string::npos) << file;
  EXPECT_EQ(SectionText(file, "[Import:Layout]"), "[Import:Layout]\n1=A\n");
}

TEST_F(TemplateStore, OneAssociationPerDataFileNamingTheLaterTemplate) {
  ASSERT_TRUE(Save("OTHER", gl, "/d/other.csv"));
  ASSERT_TRUE(Save("FIRST", gl, "/d/TB.csv"));
  ASSERT_TRUE(Save("second", gl, "/D/tb.CSV"));  // the same file in another case is the same entry
  EXPECT_EQ(SectionText(ReadFile(ini), "[Import:FileName]"), "[Import:FileName]\n1=/D/OTHER.CSV^OTHER\n2=/D/TB.CSV^SECOND\n");
  ASSERT_TRUE(RecordFileAssociation(ini, "/d/tb.csv", "Third"));
  ASSERT_TRUE(RecordFileAssociation(ini, "/d/new.csv", "Third"));
  EXPECT_EQ(SectionText(ReadFile(ini), "[Import:FileName]"),
            "[Import:FileName]\n1=/D/OTHER.CSV^OTHER\n2=/D/TB.CSV^THIRD\n3=/D/NEW.CSV^THIRD\n");
}

// How a save of template `name` for data file `file` (or, without a name, the
// association of the file with template T) finds its index entries.
TEST_F(TemplateStore, IndexAndFileListEntries) {
  struct Case {
    const char* label;
    std::string before, name, file, after;  // after: the sections Layout and FileName
  };
  // Lists long enough for the store to index them.
  std::string layout = "[Import:Layout]\n", files = "[Import:FileName]\n";
  for (int i = 1; i <= 30; ++i) {
    layout += std::to_string(i) + "=T" + std::to_string(i) + "\n";
    files += std::to_string(i) + "=/D/F" + std::to_string(i) + ".CSV^T" + std::to_string(i) + "\n";
  }
  std::string files25 = files;
  files25.replace(files25.find("20=/D/F20.CSV^T20"), 17, "20=/D/F20.CSV^T25");
  const Case cases[] = {
      // A file without a template: the whole value is the file name.
      {"NoCaret", "[Import:FileName]\n1=/D/A.CSV\n", "", "/d/a.csv", "[Import:FileName]\n1=/D/A.CSV^T\n"},
      // "3=C" lies past the gap, so C is added again under 2; the same for /Y.CSV.
      {"ScansStopAtTheFirstGap", "[Import:Layout]\n1=A\n3=C\n[Import:FileName]\n1=/X.CSV^A\n3=/Y.CSV^C\n", "C",
       "/y.csv", "[Import:Layout]\n1=A\n3=C\n2=C\n[Import:FileName]\n1=/X.CSV^A\n3=/Y.CSV^C\n2=/Y.CSV^C\n"},
      {"EmptyValueCountsAsAbsent", "[Import:Layout]\n1=A\n2=\n3=B\n", "B", "/b.csv",
       "[Import:Layout]\n1=A\n2=B\n3=B\n[Import:FileName]\n1=/B.CSV^B\n"},
      // A name already listed far down keeps its entry; a new one goes under the first free number.
      {"LongListedName", layout + files, "t25", "/d/f20.csv", layout + files25},
      {"LongNewName", layout + files, "NEW", "/D/NEW.CSV", layout + "31=NEW\n" + files + "31=/D/NEW.CSV^NEW\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile(ini, c.before);
    ASSERT_TRUE(c.name.empty() ? RecordFileAssociation(ini, c.file, "T") : Save(c.name, FieldInfoArray{}, c.file));
    const std::string file = ReadFile(ini);
    EXPECT_EQ(SectionText(file, "[Import:Layout]") + SectionText(file, "[Import:FileName]"), c.after);
  }
}

TEST_F(TemplateStore, CrlfStoreStaysCrlf) {
  WriteFile(ini, "[Import:CurDir]\r\nCurDir=C:\\DATA\r\n");
  ASSERT_TRUE(Save("GL BOOK", gl, "C:\\DATA\\TB.CSV"));
  std::string expected = "[Import:CurDir]\r\nCurDir=C:\\DATA\r\n";
  for (const char* p = kGlBookFile; *p; ++p) expected += *p == '\n' ? "\r\n" : std::string(1, *p);
  EXPECT_EQ(ReadFile(ini), expected);
}

TEST_F(TemplateStore, ReadAndWriteValues) {
  std::string out = "stale";
  EXPECT_FALSE(ReadStoreValue(ini, "Import:CurDir", "CurDir", out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(WriteStoreValue(ini, "Import:CurDir", "CurDir", "/home/u/data", true));
  EXPECT_TRUE(ReadStoreValue(ini, "import:curdir", "curdir", out));
  EXPECT_EQ(out, "/HOME/U/DATA");
  EXPECT_TRUE(WriteStoreValue(ini, "Import:CurDir", "CurDir", std::string(280, 'v'), false));
  EXPECT_TRUE(ReadStoreValue(ini, "Import:CurDir", "CurDir", out));
  EXPECT_EQ(out, std::string(259, 'v'));
  EXPECT_TRUE(WriteStoreValue(ini, "Import:CurDir", "CurDir", std::nullopt, false));
  EXPECT_EQ(ReadFile(ini), "[Import:CurDir]\n");
  EXPECT_TRUE(WriteStoreValue(ini, "Import:CurDir", std::nullopt, std::nullopt, false));
  EXPECT_EQ(ReadFile(ini), "");
  // An empty store path reads nothing and writes nothing.
  out = "stale";
  EXPECT_FALSE(ReadStoreValue("", "Import:CurDir", "CurDir", out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(WriteStoreValue("", "Import:CurDir", "CurDir", "x", true));
  EXPECT_TRUE(RecordFileAssociation("", "a", "b"));
}

TEST_F(TemplateStore, LoadFromMissingStoreOrTemplateGivesZeros) {
  FieldInfoArray fields{};
  fields.fill(FieldInfo{1, 2, 3});
  LoadTemplate(kCoaKeys, fields, ini, "GL BOOK");
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(fields[i], FieldInfo{});
  fields.fill(FieldInfo{1, 2, 3});
  LoadTemplate(kCoaKeys, fields, "", "GL BOOK");
  EXPECT_EQ(fields[0], FieldInfo{});
  WriteFile(ini, "[Import:T]\nAccount_Number=x\nTRC=12\n");
  fields = Load("T");
  EXPECT_EQ(fields[1], FieldInfo{});
  EXPECT_EQ(fields[4], (FieldInfo{12, 12, 12}));
  EXPECT_EQ(fields[5], FieldInfo{});
}

struct PositionCase {
  const char* text;
  FieldInfo expected;
};

class PositionValueTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionValueTest, Parses) {
  EXPECT_EQ(ParsePositionValue(GetParam().text), GetParam().expected) << "\"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PositionValueTest,
    ::testing::Values(PositionCase{"0 2 0", {0, 2, 0}}, PositionCase{"12 80 3", {12, 80, 3}},
                      PositionCase{"7", {7, 7, 7}},           // one number fills all three
                      PositionCase{"12 5", {12, 5, 5}},       // no third blank: the rest again
                      PositionCase{"", {0, 0, 0}}, PositionCase{"abc", {0, 0, 0}},
                      PositionCase{"+5 -1 x", {5, 65535, 0}},  // sign, kept to 16 bits
                      PositionCase{"65537 70000 65535", {1, 4464, 65535}},
                      PositionCase{"3x 4y 5z", {3, 4, 5}},    // conversion stops at a non-digit
                      PositionCase{"4  9 1", {4, 9, 9}},      // the second blank is the next one found
                      PositionCase{"1\t2 3", {1, 2, 3}},      // a tab is a blank too
                      PositionCase{"99999999999999999999 1 2", {65535, 1, 2}}));

TEST_F(TemplateStore, RefusalsLeaveTheStoreAlone) {
  ASSERT_TRUE(Save("GL BOOK", gl, "C:\\DATA\\TB.CSV"));
  const std::pair<SaveTemplateRequest, std::string> cases[] = {
      {CoaRequest("Layout", gl, "x.csv"), "The template name \"Layout\" is reserved."},
      {CoaRequest(" filename ", gl, "x.csv"), "The template name \" filename \" is reserved."},
      {CoaRequest("CurDir", gl, "x.csv"), "The template name \"CurDir\" is reserved."},
      // Deleting it would delete every template.
      {CoaRequest("All Templates", gl, "x.csv"), "The template name \"All Templates\" is reserved."},
      {CoaRequest("A\nB", gl, "x.csv"), "The template could not be saved: The section name contains a line break."},
      {CoaRequest(std::string("A\0B", 3), gl, "x.csv"),
       "The template could not be saved: The section name contains a control character."},
      {CoaRequest("A", gl, "x\r.csv"), "The template could not be saved: The value contains a line break."},
      {SaveTemplateRequest{"A", "COA", false, "", kCoaKeys, nullptr, "x.csv", "", {}},
       "The template could not be saved: no item positions were given."},
  };
  for (const auto& [request, message] : cases) EXPECT_EQ(FailureOf(SaveTemplate(ini, request)), message);
  EXPECT_EQ(FailureOf(SaveTemplate("", CoaRequest("A", gl, "x.csv"))),
            "The template could not be saved: the template store's location is not known yet.");
  EXPECT_EQ(ReadFile(ini), kGlBookFile);
}

// ---------------------------------------------------------------------------
// Failures, crashes and concurrent writers.

TEST_F(TemplateStore, FileSizeLimitLeavesOldStore) {
  ASSERT_TRUE(Save("GL BOOK", gl, "C:\\DATA\\TB.CSV"));
  std::string error;
  const int code = test::RunInChild(
      [&](std::string& text) {
        test::LimitFileSize(100);
        const Done saved = Save("SECOND", gl, "/d/second.csv");
        if (!saved) text = saved.error().message;
        return saved ? 1 : 0;
      },
      &error);
  EXPECT_EQ(code, 0);  // the save failed
  EXPECT_EQ(error, "Cannot write " + ini + ": writing the temporary file failed: File too large.");
  EXPECT_EQ(ReadFile(ini), kGlBookFile);
  EXPECT_EQ(test::FolderEntries(dir.path()), (std::set<std::string>{"import.ini", "import.ini.lock"}));
}

TEST_F(TemplateStore, ReadOnlyFolderLeavesOldStore) {
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
  ASSERT_TRUE(Save("GL BOOK", gl, "C:\\DATA\\TB.CSV"));
  ASSERT_EQ(chmod(dir.str().c_str(), 0555), 0);
  const Done saved = Save("SECOND", gl, "/d/second.csv");
  EXPECT_FALSE(WriteStoreValue(ini, "Import:CurDir", "CurDir", "/x", true));
  chmod(dir.str().c_str(), 0755);
  EXPECT_EQ(FailureOf(saved), "Cannot create a temporary file in " + dir.str() + ": Permission denied.");
  EXPECT_EQ(ReadFile(ini), kGlBookFile);
}

TEST_F(TemplateStore, MissingFolderFailsWithReason) {
  const std::string gone = dir.file("gone/import.ini");
  const std::string noLock = "Cannot open the lock file " + gone + ".lock: No such file or directory.";
  EXPECT_EQ(FailureOf(SaveTemplate(gone, CoaRequest("GL BOOK", gl, "/a.csv"))), noLock);
  EXPECT_EQ(FailureOf(RecordFileAssociation(gone, "/a.csv", "GL BOOK")), noLock);
  EXPECT_EQ(FailureOf(WriteStoreValue(gone, "Import:CurDir", "CurDir", "/x", true)), noLock);
}

// A writer killed at any moment leaves the store whole: the old content or the new.
TEST_F(TemplateStore, KilledWriterLeavesOldOrNewContent) {
  const FieldInfoArray& x = gl;
  FieldInfoArray y = gl;
  y[4] = {11, 3, 0};
  y[9] = {12, 3, 2};
  // After two saves the section order is settled; each later save of X or Y
  // gives one of these two files.
  ASSERT_TRUE(Save("GL BOOK", y, "C:\\DATA\\TB.CSV"));
  ASSERT_TRUE(Save("GL BOOK", y, "C:\\DATA\\TB.CSV"));
  const std::string stateY = ReadFile(ini);
  ASSERT_TRUE(Save("GL BOOK", x, "C:\\DATA\\TB.CSV"));
  const std::string stateX = ReadFile(ini);
  ASSERT_NE(stateX, stateY);

  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delayUs(0, 3000);
  int sawX = 0, sawY = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 150 && std::chrono::steady_clock::now() - start < std::chrono::seconds(6); ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (unsigned n = 0;; ++n) {
        if (!Save("GL BOOK", n % 2 ? x : y, "C:\\DATA\\TB.CSV")) _exit(3);
      }
    }
    usleep(static_cast<useconds_t>(delayUs(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

    std::string now = ReadFile(ini);
    ASSERT_TRUE(now == stateX || now == stateY) << "round " << round << ":\n" << now;
    (now == stateX ? sawX : sawY)++;
    EXPECT_EQ(Load("GL BOOK"), now == stateX ? x : y);
  }
  EXPECT_GT(sawX + sawY, 20);
  // The store is still usable for writing after all those kills.
  ASSERT_TRUE(Save("GL BOOK", x, "C:\\DATA\\TB.CSV"));
  EXPECT_EQ(ReadFile(ini), stateX);
}

// Two processes saving templates at once lose nothing: each save is a new
// template, so a lost update would show as a missing section or entry.
TEST_F(TemplateStore, TwoWritersLoseNothing) {
  const FieldInfoArray& a = gl;
  FieldInfoArray b{};
  b[0] = {5, 6, 7};
  constexpr int kSaves = 40;
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  auto writer = [&](const std::string& name, const FieldInfoArray& fields) {
    pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      char c;
      (void)!read(gate[0], &c, 1);  // both start when the gate closes
      for (int i = 0; i < kSaves; ++i) {
        std::string n = name + "-" + std::to_string(i);
        if (!Save(n, fields, "/data/" + n + ".csv")) _exit(3);
        if (!WriteStoreValue(ini, "Import:CurDir", "CurDir", n, true)) _exit(4);
      }
      _exit(0);
    }
    return pid;
  };
  const pid_t p1 = writer("ALPHA", a), p2 = writer("BETA", b);
  close(gate[0]);
  close(gate[1]);
  ASSERT_GT(p1, 0);
  ASSERT_GT(p2, 0);
  for (pid_t pid : {p1, p2}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  const Expected<ProfileDocument> loaded = ProfileDocument::Load(ini);
  ASSERT_TRUE(loaded);
  const ProfileDocument& doc = *loaded;
  std::set<std::string> index, files, expectedIndex, expectedFiles;
  for (int n = 1; n <= 2 * kSaves; ++n) {
    index.insert(doc.Get("Import:Layout", std::to_string(n)));
    files.insert(doc.Get("Import:FileName", std::to_string(n)));
  }
  EXPECT_FALSE(doc.Find("Import:Layout", std::to_string(2 * kSaves + 1)));
  EXPECT_FALSE(doc.Find("Import:FileName", std::to_string(2 * kSaves + 1)));
  for (const char* name : {"ALPHA", "BETA"}) {
    for (int i = 0; i < kSaves; ++i) {
      std::string n = std::string(name) + "-" + std::to_string(i);
      expectedIndex.insert(n);
      expectedFiles.insert("/DATA/" + n + ".CSV^" + n);
      EXPECT_EQ(Load(n), name[0] == 'A' ? a : b) << n;
    }
  }
  EXPECT_EQ(index, expectedIndex);
  EXPECT_EQ(files, expectedFiles);
}

}  // namespace
}  // namespace zephrin
