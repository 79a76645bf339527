#include "platform/profile.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace zephrin {
namespace {


// ---------------------------------------------------------------------------
// Reads.

struct ReadCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;  // what Find gives
};

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

// The document and the read-only view of it answer alike; and so they do when
// twenty keys come first in section [A], making it a long one (the view
// indexes the keys of long sections, and scans short ones).
TEST_P(ProfileReadTest, Finds) {
  const ReadCase& c = GetParam();
  std::vector<std::string> texts = {c.text};
  if (c.text.starts_with("[A]\n")) {
    std::string text = "[A]\n";
    for (int i = 0; i < 20; ++i) text += "filler" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    texts.push_back(text + c.text.substr(4));
  }
  for (const std::string& text : texts) {
    ProfileDocument doc = ProfileDocument::Parse(text);
    const ProfileView view(doc);
    for (const auto& found : {doc.Find(c.section, c.key), view.Find(c.section, c.key)}) {
      ASSERT_EQ(found.has_value(), c.expected.has_value()) << text;
      if (found) {
        EXPECT_EQ(std::string(*found), *c.expected) << text;
      }
    }
    EXPECT_EQ(view.HasSection(c.section), doc.HasSection(c.section));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileReadTest,
    ::testing::Values(
        ReadCase{"Plain", "[A]\nk=v\n", "A", "k", "v"},
        ReadCase{"SectionCase", "[Import:Gl Book]\nInfo=COA\n", "IMPORT:GL BOOK", "Info", "COA"},
        ReadCase{"KeyCase", "[A]\nAccount_Number=0 2 0\n", "A", "ACCOUNT_NUMBER", "0 2 0"},
        ReadCase{"NonAsciiCaseIsExact", "[A]\n\xE9t\xE9=1\n", "A", "\xC9T\xC9", std::nullopt},
        ReadCase{"MissingSection", "[A]\nk=v\n", "B", "k", std::nullopt},
        ReadCase{"MissingKey", "[A]\nk=v\n", "A", "j", std::nullopt},
        ReadCase{"KeyOfOtherSection", "[A]\nx=1\n[B]\nk=v\n", "A", "k", std::nullopt},
        ReadCase{"BlanksAroundEverything", "  [ A ]  \n  k  =  v w  \n", "A", "k", "v w"},
        ReadCase{"BlanksInQuery", "[A]\n  k  =  v w  \n", " A ", " k\t", "v w"},
        ReadCase{"ValueWithEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
        ReadCase{"KeyWithoutEquals", "[A]\nlonely\n", "A", "lonely", ""},
        ReadCase{"CommentIsNoKey", "[A]\n;k=v\n", "A", ";k", std::nullopt},
        ReadCase{"KeyBeforeAnySection", "k=v\n[A]\n", "A", "k", std::nullopt},
        ReadCase{"FirstDuplicateKeyWins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        ReadCase{"Crlf", "[A]\r\nk=v\r\n", "A", "k", "v"},
        ReadCase{"NoFinalLineEnd", "[A]\nk=v", "A", "k", "v"},
        ReadCase{"BracketInSectionName", "[Import:A]B]\nk=v\n", "Import:A]B", "k", "v"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        ReadCase{"FirstSectionOfANameIsTheOne", "[A]\nx=1\n[a]\nk=v\n", "A", "k", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileRead, ValuesAreCutTo259Characters) {
  std::string longValue(300, 'x');
  longValue[258] = 'y';
  ProfileDocument doc = ProfileDocument::Parse("[A]\nk=" + longValue + "\n");
  EXPECT_EQ(doc.Find("A", "k")->size(), 300u);
  std::string got = doc.Get("A", "k");
  EXPECT_EQ(got.size(), 259u);
  EXPECT_EQ(got.back(), 'y');
}

TEST(ProfileRead, FileReads) {
  TempDir dir;
  std::string out = "stale";
  EXPECT_FALSE(ReadProfileString(dir.file("missing.ini"), "A", "k", out));
  EXPECT_EQ(out, "");
  out = "stale";
  EXPECT_FALSE(ReadProfileString("", "A", "k", out));
  EXPECT_EQ(out, "");
  // A path through a regular file reads as missing.
  WriteFile(dir.file("f"), "x");
  EXPECT_FALSE(ReadProfileString(dir.file("f/import.ini"), "A", "k", out));

  WriteFile(dir.file("a.ini"), "[A]\nk=v\nempty=\n");
  EXPECT_TRUE(ReadProfileString(dir.file("a.ini"), "a", "K", out));
  EXPECT_EQ(out, "v");
  out = "stale";
  EXPECT_FALSE(ReadProfileString(dir.file("a.ini"), "A", "empty", out));
  EXPECT_EQ(out, "");
}

// A store that is not there loads as an empty one; one that cannot be read
// fails with the system's reason, and a change to it writes nothing.
TEST(ProfileFile, LoadFailuresSayWhy) {
  TempDir dir;
  WriteFile(dir.file("f"), "x");
  ASSERT_EQ(::mkdir(dir.file("folder.ini").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(dir.file("loop.ini").c_str(), dir.file("loop.ini").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.file("pipe.ini").c_str(), 0644), 0);
  // Sparse: 65 MB that take no room.
  WriteFile(dir.file("huge.ini"), "");
  ASSERT_EQ(::truncate(dir.file("huge.ini").c_str(), 65 << 20), 0);
  // UTF-16 as editors save it, with a byte order mark and without one.
  const std::string utf16 = std::string("\xFF\xFE[\0S\0]\0\n\0", 10);
  WriteFile(dir.file("utf16.ini"), utf16);
  WriteFile(dir.file("utf16be.ini"), std::string("\0[\0S\0]\0\n", 8));
  const auto utf16Error = [&](const char* name) {
    return "Cannot read " + dir.file(name) + ": it is UTF-16 text, which a template store is not (save it as ANSI or UTF-8).";
  };
  struct Case {
    std::string path;
    bool loads;
    std::string error;
  };
  const Case cases[] = {
      {dir.file("missing.ini"), true, ""},
      {dir.file("f/import.ini"), true, ""},
      {dir.file("folder.ini"), false, "Cannot read " + dir.file("folder.ini") + ": Is a directory."},
      {dir.file("loop.ini"), false, "Cannot open " + dir.file("loop.ini") + ": Too many levels of symbolic links."},
      {dir.file("pipe.ini"), false, "Cannot open " + dir.file("pipe.ini") + ": it is not a regular file."},
      {dir.file("huge.ini"), false, "Cannot read " + dir.file("huge.ini") + ": it is larger than 64 MB, more than any store holds."},
      {dir.file("utf16.ini"), false, utf16Error("utf16.ini")},
      {dir.file("utf16be.ini"), false, utf16Error("utf16be.ini")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Expected<ProfileDocument> doc = ProfileDocument::Load(c.path);
    EXPECT_EQ(doc.ok(), c.loads);
    if (c.loads) {
      EXPECT_EQ(doc->Serialise(), "");
      continue;
    }
    EXPECT_EQ(doc.error().message, c.error);
    EXPECT_EQ(FailureOf(WriteProfileString(c.path, "S", "k", "v", false)), c.error);
  }
  EXPECT_EQ(test::FolderEntries(dir.path()),
            (std::set<std::string>{"f", "folder.ini", "folder.ini.lock", "huge.ini", "huge.ini.lock", "loop.ini",
                                   "loop.ini.lock", "pipe.ini", "pipe.ini.lock", "utf16.ini", "utf16.ini.lock",
                                   "utf16be.ini", "utf16be.ini.lock"}));
  EXPECT_EQ(test::ReadFile(dir.file("utf16.ini")), utf16);
}

// ---------------------------------------------------------------------------
// Edits: the file's bytes after one profile-string write.

struct EditCase {
  const char* name;
  std::string before;
  const char* section;
  std::optional<std::string> key;
  std::optional<std::string> value;
  bool upperCase;
  std::string after;
};

class ProfileEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(ProfileEditTest, Writes) {
  const EditCase& c = GetParam();
  ProfileDocument doc = ProfileDocument::Parse(c.before);
  std::optional<std::string_view> key, value;
  if (c.key) key = *c.key;
  if (c.value) value = *c.value;
  doc.Write(c.section, key, value, c.upperCase);
  EXPECT_EQ(doc.Serialise(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileEditTest,
    ::testing::Values(
        EditCase{"NewFile", "", "Import:Layout", "1", "gl book", true, "[Import:Layout]\n1=GL BOOK\n"},
        EditCase{"AsGiven", "", "Sec", "Key", "Mixed Case", false, "[Sec]\nKey=Mixed Case\n"},
        EditCase{"UpperCaseAsciiOnly", "", "S", "k", "caf\xE9 \xFF ok-1", true, "[S]\nk=CAF\xE9 \xFF OK-1\n"},
        EditCase{"ReplaceIgnoringCase", "[Sec]\nKey=1\n", "SEC", "KEY", "2", false, "[Sec]\nKey=2\n"},
        EditCase{"ReplaceInPlaceKeepsOtherLines",
                 "; top\n[A]\n  a = 1 \n\nx=y\n[B]\na=1\n", "a", "A", "9", false,
                 "; top\n[A]\n  a =9\n\nx=y\n[B]\na=1\n"},
        EditCase{"ReplaceKeyWithoutEquals", "[A]\nlonely\n", "A", "lonely", "v", false, "[A]\nlonely=v\n"},
        EditCase{"NewSectionAtEnd", "[A]\na=1\n", "B", "b", "2", false, "[A]\na=1\n[B]\nb=2\n"},
        EditCase{"NewSectionAfterTrailingBlankLine", "[A]\na=1\n\n", "B", "b", "2", false,
                 "[A]\na=1\n\n[B]\nb=2\n"},
        EditCase{"NewKeyAtEndOfItsSection", "[A]\na=1\n\n[B]\nb=1\n", "A", "c", "3", false,
                 "[A]\na=1\nc=3\n\n[B]\nb=1\n"},
        EditCase{"NewKeyInEmptySection", "[A]\n[B]\n", "a", "k", "v", false, "[A]\nk=v\n[B]\n"},
        EditCase{"NoFinalLineEnd", "[A]\na=1", "A", "b", "2", false, "[A]\na=1\nb=2\n"},
        EditCase{"NoFinalLineEndNewSection", "[A]\na=1", "B", "b", "2", false, "[A]\na=1\n[B]\nb=2\n"},
        EditCase{"CrlfKept", "[A]\r\na=1\r\n", "B", "b", "2", false, "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
        EditCase{"CrlfReplace", "[A]\r\na=1\r\nb=2\r\n", "A", "a", "x", false, "[A]\r\na=x\r\nb=2\r\n"},
        // Lines that end in a carriage return alone are lines, and new ones end so.
        EditCase{"CrOnlyReplace", "[A]\ra=1\rb=2\r", "A", "a", "x", false, "[A]\ra=x\rb=2\r"},
        EditCase{"CrOnlyNewSection", "[A]\ra=1", "B", "b", "2", false, "[A]\ra=1\r[B]\rb=2\r"},
        EditCase{"DeleteKey", "[A]\na=1\nb=2\n", "A", "A", std::nullopt, false, "[A]\nb=2\n"},
        EditCase{"DeleteLastKeyKeepsHeader", "[A]\na=1\n[B]\n", "A", "a", std::nullopt, false, "[A]\n[B]\n"},
        EditCase{"DeleteMissingKey", "[A]\na=1\n", "A", "z", std::nullopt, false, "[A]\na=1\n"},
        EditCase{"DeleteSection", "[A]\na=1\n[B]\nb=2\n; about C\n[C]\nc=3\n", "b", std::nullopt,
                 std::nullopt, false, "[A]\na=1\n[C]\nc=3\n"},
        EditCase{"DeleteLastSection", "[A]\na=1\n[B]\nb=2", "B", std::nullopt, std::nullopt, false,
                 "[A]\na=1\n"},
        EditCase{"DeleteMissingSection", "[A]\na=1\n", "Z", std::nullopt, std::nullopt, false, "[A]\na=1\n"},
        EditCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\na=1\n", "A", "a", "2", false,
                 "\xEF\xBB\xBF[A]\na=2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Edits of many names at once: the file's bytes afterwards, which are those
// of the single edits made one after the other, and what the edit answers.
enum class Many { kSetKeys, kDeleteKeys, kDeleteSections };
using Entries = std::vector<std::pair<std::string, std::string>>;

struct ManyEditCase {
  const char* name;
  std::string before;
  Many op;
  std::string section;  // kDeleteSections: none
  Entries entries;      // the keys (and values) or the sections
  std::size_t answer;   // the keys deleted, or whether sections were
  std::string after;
};

class ProfileManyEditTest : public ::testing::TestWithParam<ManyEditCase> {};

TEST_P(ProfileManyEditTest, Writes) {
  const ManyEditCase& c = GetParam();
  ProfileDocument many = ProfileDocument::Parse(c.before), single = ProfileDocument::Parse(c.before);
  std::vector<std::string> names;
  for (const auto& [name, value] : c.entries) names.push_back(name);
  if (c.op == Many::kSetKeys) many.SetKeys(c.section, c.entries);
  const std::size_t answer = c.op == Many::kDeleteKeys        ? many.DeleteKeys(c.section, names)
                             : c.op == Many::kDeleteSections ? std::size_t{many.DeleteSections(names)}
                                                             : 0;
  EXPECT_EQ(answer, c.answer);
  EXPECT_EQ(many.Serialise(), c.after);
  for (const auto& [name, value] : c.entries) {
    if (c.op == Many::kSetKeys) single.Set(c.section, name, value);
    while (c.op == Many::kDeleteKeys && single.DeleteKey(c.section, name)) {
    }
    while (c.op == Many::kDeleteSections && single.DeleteSection(name)) {
    }
  }
  EXPECT_EQ(single.Serialise(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileManyEditTest,
    ::testing::Values(
        ManyEditCase{"SetKeysReplacesInPlaceAndAddsInOrder", "[A]\n k =1\n\n[B]\nn=0\n", Many::kSetKeys, "a",
                     {{"K", "2"}, {"n", "3"}, {"m", "4"}, {"N", "5"}}, 0, "[A]\n k =2\nn=5\nm=4\n\n[B]\nn=0\n"},
        ManyEditCase{"SetKeysMakesTheSection", "[A]\na=1", Many::kSetKeys, "B", {{"x", "1"}, {"y", "2"}}, 0,
                     "[A]\na=1\n[B]\nx=1\ny=2\n"},
        ManyEditCase{"SetKeysOfNothingMakesNoSection", "[A]\na=1\n", Many::kSetKeys, "B", {}, 0, "[A]\na=1\n"},
        ManyEditCase{"SetKeysInTheFirstSectionOfTheName", "[A]\r\nk=1\r\n[a]\r\nk=2\r\n", Many::kSetKeys, "a",
                     {{"k", "3"}, {"j", "4"}}, 0, "[A]\r\nk=3\r\nj=4\r\n[a]\r\nk=2\r\n"},
        ManyEditCase{"DeleteKeysEveryCopy", "[A]\n1=x\n2=y\n3=z\n 2 =w\n; note\n[B]\n2=b\n[a]\n3=c\n",
                     Many::kDeleteKeys, "A", {{"2", ""}, {"3", ""}, {"4", ""}}, 3,
                     "[A]\n1=x\n; note\n[B]\n2=b\n[a]\n3=c\n"},
        ManyEditCase{"DeleteKeysOfAMissingSection", "[A]\n1=x\n", Many::kDeleteKeys, "B", {{"1", ""}}, 0,
                     "[A]\n1=x\n"},
        ManyEditCase{"DeleteSectionsEveryCopy", "top\n[A]\na=1\n[B]\nb=1\n[a]\na=2\n\n[C]\n[D]\nd=1",
                     Many::kDeleteSections, "", {{"a", ""}, {" C ", ""}, {"E", ""}}, 1, "top\n[B]\nb=1\n[D]\nd=1"},
        ManyEditCase{"DeleteSectionsNoneThere", "[A]\na=1\n", Many::kDeleteSections, "", {{"B", ""}}, 0,
                     "[A]\na=1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileDocument, ParseAndSerialiseKeepEveryByte) {
  for (std::string text : {std::string(""), std::string("\n\n"), std::string("[A]\r\nk=v\nx\r\n  ; c \n"),
                           std::string("junk\n[A]\nk = v \t\n\n"), std::string("[A"),
                           std::string("\xEF\xBB\xBF[A]\r\n"), std::string("[A]\rk=v\r\r x \r")}) {
    EXPECT_EQ(ProfileDocument::Parse(text).Serialise(), text);
  }
}

TEST(ProfileDocument, LineEndStyleComesFromTheFile) {
  EXPECT_TRUE(ProfileDocument::Parse("[A]\r\n").usesCrlf());
  EXPECT_FALSE(ProfileDocument::Parse("[A]\n").usesCrlf());
  EXPECT_FALSE(ProfileDocument::Parse("").usesCrlf());
  // Carriage returns alone end lines only in a file without a line feed: in
  // one with them, a carriage return inside a line stays part of it.
  EXPECT_EQ(ProfileView(ProfileDocument::Parse("[A]\rk=v\r")).Get("A", "k"), "v");
  EXPECT_EQ(ProfileView(ProfileDocument::Parse("[A]\nk=v\rw\n")).Get("A", "k"), "v\rw");
  // The first line end decides for lines added later; existing lines keep theirs.
  ProfileDocument doc = ProfileDocument::Parse("[A]\r\na=1\nb=2\r\n");
  doc.Set("A", "c", "3");
  EXPECT_EQ(doc.Serialise(), "[A]\r\na=1\nb=2\r\nc=3\r\n");
}

// ---------------------------------------------------------------------------
// Writes to files.

TEST(ProfileFile, WriteCreatesFileAndKeepsLineEnds) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  ASSERT_TRUE(WriteProfileString(path, "S", "k", "v", false));
  EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");

  WriteFile(path, "[S]\r\nk=v\r\n");
  ASSERT_TRUE(WriteProfileString(path, "S", "j", "w", true));
  EXPECT_EQ(ReadFile(path), "[S]\r\nk=v\r\nj=W\r\n");
  ASSERT_TRUE(WriteProfileString(path, "S", std::nullopt, std::nullopt, false));
  EXPECT_EQ(ReadFile(path), "");
}

// Deleting from a missing file creates nothing; a write that changes nothing
// does not rewrite the file.
TEST(ProfileFile, WritesThatChangeNothingTouchNothing) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  EXPECT_TRUE(WriteProfileString(path, "S", "k", std::nullopt, false));
  EXPECT_TRUE(WriteProfileString(path, "S", std::nullopt, std::nullopt, false));
  EXPECT_EQ(test::Inode(path), 0u);
  WriteFile(path, "[S]\nk=v\n");
  const ino_t before = test::Inode(path);
  EXPECT_TRUE(WriteProfileString(path, "s", "K", "v", false));
  EXPECT_EQ(test::Inode(path), before);
}

struct BadTextCase {
  const char* name;
  std::string section;
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::string message;
};

class ProfileBadTextTest : public ::testing::TestWithParam<BadTextCase> {};

TEST_P(ProfileBadTextTest, IsRefusedAndNothingChanges) {
  const BadTextCase& c = GetParam();
  TempDir dir;
  std::string path = dir.file("a.ini");
  WriteFile(path, "[S]\nk=v\n");
  std::optional<std::string_view> key, value;
  if (c.key) key = *c.key;
  if (c.value) value = *c.value;
  EXPECT_EQ(FailureOf(WriteProfileString(path, c.section, key, value, false)), c.message);
  EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileBadTextTest,
    ::testing::Values(
        BadTextCase{"SectionBreak", "S\n[X]", "k", "v", "The section name contains a line break."},
        BadTextCase{"KeyBreak", "S", "k\r", "v", "The key name contains a line break."},
        BadTextCase{"SectionNul", std::string("A\0B", 3), "k", "v", "The section name contains a control character."},
        BadTextCase{"SectionEscape", "A\x1b", "k", "v", "The section name contains a control character."},
        BadTextCase{"KeyNul", "S", std::string("k\0", 2), "v", "The key name contains a control character."},
        BadTextCase{"ValueNul", "S", "k", std::string("a\0b", 3), "The value contains a NUL character."},
        BadTextCase{"KeyEquals", "S", "a=b", "v", "The key name contains \"=\"."},
        BadTextCase{"KeyBracket", "S", " [X", "v", "The key name begins with \"[\" or \";\"."},
        BadTextCase{"KeyComment", "S", ";c", "v", "The key name begins with \"[\" or \";\"."},
        BadTextCase{"ValueBreak", "S", "k", "a\nb=c", "The value contains a line break."}),
    [](const auto& info) { return std::string(info.param.name); });

// A save killed between creating its temporary file and renaming it leaves
// the file behind; the next save, holding the lock, removes those older than
// a minute, and nothing else.
TEST(ProfileFile, SaveRemovesTemporaryFilesThatKilledSavesLeft) {
  TempDir dir;
  const std::string path = dir.file("import.ini");
  WriteFile(path, "[S]\nk=v\n");
  auto age = [&](const std::string& name, int seconds) {
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file(name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << name;
  };
  for (const char* name : {".import.ini.tmp-4242-0-17", ".import.ini.tmp-4242-1-18", ".import.ini.tmp-9-0-1",
                           ".other.ini.tmp-4242-0-17", "import.ini.tmp-4242-0-17"}) {
    WriteFile(dir.file(name), "left");
  }
  age(".import.ini.tmp-4242-0-17", 3600);
  age(".import.ini.tmp-4242-1-18", 90);
  age(".import.ini.tmp-9-0-1", 30);  // a save under way, perhaps one without the lock
  age(".other.ini.tmp-4242-0-17", 3600);
  age("import.ini.tmp-4242-0-17", 3600);
  std::filesystem::create_directory(dir.file(".import.ini.tmp-folder"));
  age(".import.ini.tmp-folder", 3600);
  ASSERT_EQ(symlink(dir.file("import.ini").c_str(), dir.file(".import.ini.tmp-link").c_str()), 0);
  age(".import.ini.tmp-link", 3600);

  // A save that cannot take the lock removes nothing.
  ASSERT_EQ(symlink("elsewhere", dir.file("import.ini.lock").c_str()), 0);
  EXPECT_FALSE(WriteProfileString(path, "S", "k", "w", false));
  EXPECT_TRUE(std::filesystem::exists(dir.file(".import.ini.tmp-4242-0-17")));
  ASSERT_EQ(unlink(dir.file("import.ini.lock").c_str()), 0);

  ASSERT_TRUE(WriteProfileString(path, "S", "k", "w", false));
  EXPECT_EQ(ReadFile(path), "[S]\nk=w\n");
  EXPECT_EQ(test::FolderEntries(dir.path()), (std::set<std::string>{".import.ini.tmp-9-0-1", ".import.ini.tmp-folder",
                                          ".import.ini.tmp-link", ".other.ini.tmp-4242-0-17", "import.ini",
                                          "import.ini.lock", "import.ini.tmp-4242-0-17"}));
}

// The lock file is never reached through a symbolic link: a link in its
// place (to a file or to nothing) stops the save, which creates and changes
// nothing where the link points.
TEST(ProfileFile, LockFileLinkIsNotFollowed) {
  TempDir dir, outside;
  const std::string path = dir.file("import.ini");
  WriteFile(path, "[S]\nk=v\n");
  WriteFile(outside.file("victim"), "victim");
  for (const std::string& target : {outside.file("victim"), outside.file("made-by-lock")}) {
    SCOPED_TRACE(target);
    unlink((path + ".lock").c_str());
    ASSERT_EQ(symlink(target.c_str(), (path + ".lock").c_str()), 0);
    EXPECT_EQ(FailureOf(WriteProfileString(path, "S", "k", "w", false)),
              "Cannot open the lock file " + path + ".lock: Too many levels of symbolic links.");
    EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
  }
  EXPECT_EQ(test::FolderEntries(outside.path()), std::set<std::string>{"victim"});
  EXPECT_EQ(ReadFile(outside.file("victim")), "victim");
}

}  // namespace
}  // namespace zephrin
