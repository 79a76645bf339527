// Folders, file deletion and byte arrays, and the rule that keeps every one of
// the file methods inside the writable folder.
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin {
namespace {

namespace fs = std::filesystem;

// ---- Every refused path, for every method that takes one ------------------------

struct PathMethod {
  const char* name;
  // Runs the method; returns what the host would see (result or status).
  std::function<int(CxmlWrapper&, const std::string&)> call;
  int refusedOutcome;
  // The message shown (caption, text) for a refused path; empty caption and
  // text: none. "%s" stands for the path.
  const char* caption;
  const char* message;
  // The trace line that follows the refusal line ("" when none).
  const char* trace;
};

const PathMethod kPathMethods[] = {
    {"CreateExportFile",
     [](CxmlWrapper& s, const std::string& p) { int32_t r = -1; s.CreateExportFile(p, r); return int(r); }, 0,
     "Export", "Error opening export file %s for writing!", ""},
    {"CreateOutputFile",
     [](CxmlWrapper& s, const std::string& p) { int32_t r = -1; s.CreateOutputFile(p, r); return int(r); }, 0, "",
     "Error opening output file %s for writing!", "CreateOutputFile: found=-1, nextinline=1"},
    {"ConvertFileToByteArray",
     [](CxmlWrapper& s, const std::string& p) {
       std::optional<std::string> bytes;
       const int st = s.ConvertFileToByteArray(p, bytes);
       return bytes ? 99 : st;
     },
     kFalse, "Import", "Unable to open the file",
     "!!!! **** Error opening export file %s for reading! In CxmlWrapper::ConvertFileToByteArray()."},
    {"ConvertByteArrayToFile",
     [](CxmlWrapper& s, const std::string& p) { return int(s.ConvertByteArrayToFile(p, "pwned")); }, kFalse,
     "Import", "Unable to open the file",
     "!!!! **** Error opening export file %s for writing! In CxmlWrapper::ConvertByteArrayToFile()."},
    {"DeleteOITFile", [](CxmlWrapper& s, const std::string& p) { return int(s.DeleteOITFile(p)); }, kFalse, "", "",
     ""},
};

std::string Replace(std::string text, const std::string& path) {
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

std::string Printable(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\0') out += "\\0";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

class FileTransferTest : public ::testing::Test, protected test::HomeSandbox {
 protected:
  TempDir outside;  // must never be touched
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};

  void SetUp() override {
    WriteFile(outside.file("secret.txt"), "secret");
    fs::create_symlink(outside.path(), home.path() / "out-link");
    fs::create_symlink(outside.path() / "secret.txt", home.path() / "file-link");
  }
  static std::set<std::string> Listing(const fs::path& folder) { return test::FolderEntries(folder); }
  // Runs `m` on `path` and checks the failure it reports: its outcome, the
  // trace (after `refusal`, the refusal line, when there is one) and the message.
  void ExpectFailure(const PathMethod& m, const std::string& path, const std::string& refusal = "") {
    ClearTrace();
    ui.TakeMessages();
    EXPECT_EQ(m.call(service, path), m.refusedOutcome);
    EXPECT_EQ(TraceText(), refusal + (*m.trace ? Replace(m.trace, Printable(path)) + "\n" : std::string()));
    const auto messages = ui.TakeMessages();
    if (*m.message) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, m.caption);
      EXPECT_EQ(messages[0].text, Replace(m.message, path));
    } else {
      EXPECT_TRUE(messages.empty());
    }
  }
  void ExpectOutsideUntouched() {
    EXPECT_EQ(Listing(outside.path()), std::set<std::string>{"secret.txt"});
    EXPECT_EQ(ReadFile(outside.file("secret.txt")), "secret");
  }
};

TEST_F(FileTransferTest, EveryRefusedPathGetsTheFailureOutcome) {
  const std::string h = home.str(), outsideName = outside.path().filename().string();
  const std::pair<std::string, const char*> paths[] = {  // the path, why it is refused
      {outside.file("secret.txt"), "it is outside the writable folder"},
      {"/etc/hostname", "it is outside the writable folder"},
      {"../" + outsideName + "/secret.txt", "the name holds a \"..\" component"},
      {h + "/../" + outsideName + "/secret.txt", "the name holds a \"..\" component"},
      {h + "/out-link/secret.txt", "it leads through the symbolic link out-link"},
      {h + "/file-link", "it is a symbolic link"},
      {"file-link", "it is a symbolic link"},
      {h + std::string("/a\0b", 4), "the path holds a NUL character"},
      {"a\nb", "the name holds a line break"},
      {h + "/", "the name is empty"},
      {h + "x/file", "it is outside the writable folder"},  // a prefix of another folder
      // A second name of a file outside the folder, made inside it.
      {h + "/linked.txt", "it has more than one hard link"},
      {"linked.txt", "it has more than one hard link"},
      {"linked.txt/", "it has more than one hard link"},
      {"sub/linked.txt", "it has more than one hard link"},
  };
  fs::create_hard_link(outside.path() / "secret.txt", home.path() / "linked.txt");
  fs::create_directory(home.path() / "sub");
  fs::create_hard_link(outside.path() / "secret.txt", home.path() / "sub" / "linked.txt");
  for (const PathMethod& m : kPathMethods) {
    for (const auto& [path, reason] : paths) {
      SCOPED_TRACE(std::string(m.name) + " " + Printable(path));
      ExpectFailure(m, path, std::string(m.name) + ": refused path " + Printable(path) + ": " + reason + "\n");
      ExpectOutsideUntouched();
    }
  }
  // Nothing was made inside the writable folder either, and no link went.
  EXPECT_EQ(Listing(home.path()), (std::set<std::string>{"file-link", "linked.txt", "out-link", "sub"}));
  EXPECT_EQ(Listing(home.path() / "sub"), std::set<std::string>{"linked.txt"});
  EXPECT_EQ(fs::hard_link_count(outside.path() / "secret.txt"), 3u);
}

// The template store, its lock file and its temporary files are the users'
// work: no method writes or deletes them, under any name of the writable
// folder, and the store stays as it was; reading the store is no harm.
TEST_F(FileTransferTest, TheTemplateStoreIsNoFileOfTheFileMethods) {
  const std::string store = "[Import:Layout]\n1=KEEP\n[Import:KEEP]\nInfo=COA\n";
  WriteFile(home.file("import.ini"), store);
  WriteFile(home.file("import.ini.lock"), "");
  WriteFile(home.file(".import.ini.tmp-1"), "half");
  const std::string names[] = {"import.ini", home.file("import.ini"), "import.ini.lock", ".import.ini.tmp-1",
                               ".import.ini.tmp-2"};
  for (const PathMethod& m : kPathMethods) {
    for (const std::string& name : names) {
      SCOPED_TRACE(std::string(m.name) + " " + name);
      if (std::string_view(m.name) == "ConvertFileToByteArray") continue;
      ExpectFailure(m, name, std::string(m.name) + ": refused path " + name + ": it is a file of the template store\n");
    }
  }
  EXPECT_EQ(ReadFile(home.file("import.ini")), store);
  EXPECT_EQ(ReadFile(home.file(".import.ini.tmp-1")), "half");
  EXPECT_EQ(Listing(home.path()),
            (std::set<std::string>{".import.ini.tmp-1", "file-link", "import.ini", "import.ini.lock", "out-link"}));
  std::optional<std::string> bytes;
  EXPECT_EQ(service.ConvertFileToByteArray("import.ini", bytes), kOk);
  EXPECT_EQ(bytes, store);
}

// A name that ends with "/" names a folder: opening, creating or deleting it
// as a file fails as it does on the file system, and each method answers
// with its outcome of a failed open (no refusal: the name is not outside
// the folder). The file of the name without the slash is left alone.
TEST_F(FileTransferTest, NameWithATrailingSlashFailsAsItsOpenWould) {
  WriteFile(home.file("t.bin"), std::string("t\0bytes", 7));
  WriteFile(home.file("keep.txt"), "keep");
  fs::create_directories(home.path() / "dir" / "sub");
  WriteFile((home.path() / "dir" / "inner.txt").string(), "inner");
  const std::string names[] = {"t.bin/",         "keep.txt/",        "e.csv/",        "t.bin//",
                               home.file("keep.txt/"), "dir/inner.txt/", "dir/", "dir/sub/"};
  const auto before = Listing(home.path());
  for (const PathMethod& m : kPathMethods) {
    for (const std::string& name : names) {
      SCOPED_TRACE(std::string(m.name) + " " + name);
      ExpectFailure(m, name);
      EXPECT_EQ(Listing(home.path()), before);
      EXPECT_EQ(ReadFile(home.file("t.bin")), std::string("t\0bytes", 7));
      EXPECT_EQ(ReadFile(home.file("keep.txt")), "keep");
      EXPECT_EQ(ReadFile((home.path() / "dir" / "inner.txt").string()), "inner");
      EXPECT_EQ(Listing(home.path() / "dir"), (std::set<std::string>{"inner.txt", "sub"}));
    }
  }
  ExpectOutsideUntouched();
}

struct RefusedFolder {
  const char* label;
  std::string name;
  const char* reason;
};

TEST_F(FileTransferTest, EveryRefusedFolderName) {
  const RefusedFolder names[] = {
      {"Empty", "", "the name is empty"},
      {"Absolute", outside.str(), "the name is an absolute path"},
      {"DotDot", "..", "the name holds a \"..\" component"},
      {"DotDotInside", "a/../../x", "the name holds a \"..\" component"},
      {"Dot", ".", "the name holds a \".\" component"},
      {"Slashes", "//", "the name is an absolute path"},
      {"Link", "out-link", "it is a symbolic link"},
      {"ThroughLink", "out-link/new", "it leads through the symbolic link out-link"},
      {"LineBreak", "a\nb", "the name holds a line break"},
      {"Nul", std::string("a\0b", 3), "the name holds a NUL character"},
  };
  for (const RefusedFolder& n : names) {
    SCOPED_TRACE(n.label);
    ClearTrace();
    std::string created = "unchanged";
    EXPECT_EQ(service.CreateFolder(n.name, created), kFalse);
    EXPECT_EQ(created, "");
    EXPECT_EQ(service.DeleteFolder(n.name), kFalse);
    EXPECT_EQ(TraceText(), "CreateFolder: refused folder name " + Printable(n.name) + ": " + n.reason +
                               "\nDeleteFolder: refused folder name " + Printable(n.name) + ": " + n.reason + "\n");
    ExpectOutsideUntouched();
  }
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_EQ(Listing(home.path()), (std::set<std::string>{"file-link", "out-link"}));
}

// ---- Folders ----------------------------------------------------------------------

// A folder by the name of the store or one of its files would stop every
// later change of the store: refused, and nothing made.
TEST_F(FileTransferTest, NoFolderTakesTheNameOfAFileOfTheStore) {
  for (const std::string name : {"import.ini", "import.ini.lock", ".import.ini.tmp-1"}) {
    SCOPED_TRACE(name);
    ClearTrace();
    std::string created = "unchanged";
    EXPECT_EQ(service.CreateFolder(name, created), kFalse);
    EXPECT_EQ(created, "");
    EXPECT_EQ(TraceText(), "CreateFolder: refused folder name " + name + ": it is a file of the template store\n");
    EXPECT_FALSE(fs::exists(home.path() / name));
  }
}

TEST_F(FileTransferTest, CreateFolder) {
  std::string path;
  EXPECT_EQ(service.CreateFolder("exports", path), kOk);
  EXPECT_EQ(path, home.str() + "/exports");
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(service.CreateFolder("exports", path), kOk);  // already there: fine
  EXPECT_EQ(service.CreateFolder("exports/2024", path), kOk);
  EXPECT_EQ(path, home.str() + "/exports/2024");
  EXPECT_TRUE(fs::is_directory(path));
  // A folder name may end with "/".
  EXPECT_EQ(service.CreateFolder("exports/2025/", path), kOk);
  EXPECT_EQ(path, home.str() + "/exports/2025/");
  EXPECT_TRUE(fs::is_directory(home.path() / "exports" / "2025"));
  // A missing parent is not created, and not reported.
  EXPECT_EQ(service.CreateFolder("none/sub", path), kOk);
  EXPECT_EQ(path, home.str() + "/none/sub");
  EXPECT_FALSE(fs::exists(home.path() / "none"));
}

TEST_F(FileTransferTest, DeleteFolderDeletesFilesAndKeepsSubfolders) {
  const fs::path folder = home.path() / "work";
  fs::create_directories(folder / "sub");
  WriteFile((folder / "a.csv").string(), "a");
  WriteFile((folder / "read-only.csv").string(), "r");
  fs::permissions(folder / "read-only.csv", fs::perms::owner_read);
  WriteFile((folder / "sub" / "kept.csv").string(), "k");
  fs::create_symlink(outside.path() / "secret.txt", folder / "link");
  fs::create_symlink(outside.path(), folder / "dir-link");

  int32_t r = 0;
  service.CreateExportFile((folder / "export.csv").string(), r);
  ASSERT_EQ(r, 1);
  service.ExportWriteLine("x", r);

  EXPECT_EQ(service.DeleteFolder("work"), kOk);
  EXPECT_EQ(Listing(folder), std::set<std::string>{"sub"});
  EXPECT_EQ(ReadFile((folder / "sub" / "kept.csv").string()), "k");
  ExpectOutsideUntouched();
  // The export file in it was closed and forgotten.
  service.ExportWriteLine("y", r);
  EXPECT_EQ(r, 0);

  // Without subfolders the folder goes too.
  fs::remove_all(folder / "sub");
  WriteFile((folder / "b.csv").string(), "b");
  EXPECT_EQ(service.DeleteFolder("work/"), kOk);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(service.DeleteFolder("work"), kOk);  // not there: nothing to do
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FileTransferTest, DeleteFolderStopsAtAFileItCannotDelete) {
  const fs::path folder = home.path() / "locked";
  fs::create_directories(folder);
  WriteFile((folder / "a.csv").string(), "a");
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  if (access(folder.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore permissions";
  EXPECT_EQ(service.DeleteFolder("locked"), kOk);
  fs::permissions(folder, fs::perms::owner_all);
  EXPECT_EQ(Listing(folder), std::set<std::string>{"a.csv"});
}

TEST_F(FileTransferTest, DeleteOITFile) {
  WriteFile(home.file("old.pdf"), "x");
  int32_t r = 0;
  service.CreateExportFile(home.file("open.csv"), r);
  EXPECT_EQ(service.DeleteOITFile(home.file("old.pdf")), kOk);
  EXPECT_FALSE(fs::exists(home.file("old.pdf")));
  service.ExportWriteLine("x", r);  // the export file was closed first
  EXPECT_EQ(r, 0);
  EXPECT_EQ(service.DeleteOITFile(home.file("old.pdf")), kFalse);
  EXPECT_EQ(service.DeleteOITFile("open.csv"), kOk);
  std::string path;
  service.CreateFolder("dir", path);
  EXPECT_EQ(service.DeleteOITFile("dir"), kFalse);  // a folder is not a file
  EXPECT_TRUE(fs::is_directory(path));
}

// ---- Byte arrays ---------------------------------------------------------------------

TEST_F(FileTransferTest, FileToByteArray) {
  const std::string bytes("a\0b\r\n\xFF", 6);
  WriteFile(home.file("data.bin"), bytes);
  WriteFile(home.file("empty.bin"), "");
  std::optional<std::string> out;
  EXPECT_EQ(service.ConvertFileToByteArray(home.file("data.bin"), out), kOk);
  EXPECT_EQ(out, bytes);

  std::optional<std::string> kept = std::string("old");
  EXPECT_EQ(service.ConvertFileToByteArray("empty.bin", kept), kFalse);
  EXPECT_EQ(kept, "old");  // an empty file leaves the result as it was

  EXPECT_EQ(service.ConvertFileToByteArray("missing.bin", out), kFalse);
  EXPECT_EQ(service.ConvertFileToByteArray(home.str() + "/", out), kFalse);
  std::string folder;
  service.CreateFolder("dir", folder);
  EXPECT_EQ(service.ConvertFileToByteArray("dir", out), kFalse);
  EXPECT_EQ(TraceText(),
            "CxmlWrapper::ConvertFileToByteArray(). Read 6 bytes from file " + home.file("data.bin") + ".\n"
            "!!!! **** !(ppByteArray && iFileLen > 0) for file empty.bin.  In CxmlWrapper::ConvertFileToByteArray.\n"
            "!!!! **** Error opening export file missing.bin for reading! In CxmlWrapper::ConvertFileToByteArray().\n"
            "ConvertFileToByteArray: refused path " + home.str() + "/: the name is empty\n"
            "!!!! **** Error opening export file " + home.str() +
                "/ for reading! In CxmlWrapper::ConvertFileToByteArray().\n"
            "!!!! **** Error opening export file dir for reading! In CxmlWrapper::ConvertFileToByteArray().\n");
  EXPECT_EQ(ui.messages().size(), 3u);
}

TEST_F(FileTransferTest, ByteArrayToFile) {
  EXPECT_EQ(service.ConvertByteArrayToFile("empty.bin", ""), kOk);
  EXPECT_EQ(ReadFile(home.file("empty.bin")), "");
  EXPECT_TRUE(fs::exists(home.file("empty.bin")));

  WriteFile(home.file("keep-mode.bin"), "old content");
  fs::permissions(home.file("keep-mode.bin"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(service.ConvertByteArrayToFile(home.file("keep-mode.bin"), std::string("n\0w", 3)), kOk);
  EXPECT_EQ(ReadFile(home.file("keep-mode.bin")), std::string("n\0w", 3));
  EXPECT_EQ(fs::status(home.file("keep-mode.bin")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_EQ(service.ConvertByteArrayToFile("no/folder.bin", "x"), kFalse);
  std::string folder;
  service.CreateFolder("dir", folder);
  EXPECT_EQ(service.ConvertByteArrayToFile("dir", "x"), kFalse);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(TraceText(),
            "CxmlWrapper::ConvertByteArrayToFile(). Write 0 bytes to file empty.bin.\n"
            "CxmlWrapper::ConvertByteArrayToFile(). Write 3 bytes to file " + home.file("keep-mode.bin") + ".\n"
            "!!!! **** Error opening export file no/folder.bin for writing! In CxmlWrapper::ConvertByteArrayToFile().\n"
            "!!!! **** Error opening export file dir for writing! In CxmlWrapper::ConvertByteArrayToFile().\n");
  // No temporary file is left behind.
  EXPECT_EQ(Listing(home.path()),
            (std::set<std::string>{"dir", "empty.bin", "file-link", "keep-mode.bin", "out-link"}));
}

TEST_F(FileTransferTest, FailedWriteLeavesTheOldFileWhole) {
  WriteFile(home.file("report.pdf"), "the old report");
  EXPECT_EQ(test::RunInChild([&](std::string&) {
              test::LimitFileSize(1000);
              const Status st = service.ConvertByteArrayToFile(home.file("report.pdf"), std::string(5000, 'n'));
              const auto messages = ui.TakeMessages();
              const bool shown = messages.size() == 1 &&
                                 messages[0].caption == "Import: Error occurred in processing the file." &&
                                 messages[0].text == home.file("report.pdf");
              return st == kFalse && shown ? 0 : 1;
            }),
            0);
  EXPECT_EQ(ReadFile(home.file("report.pdf")), "the old report");
  EXPECT_EQ(Listing(home.path()), (std::set<std::string>{"file-link", "out-link", "report.pdf"}));
  EXPECT_EQ(TraceText(), "CxmlWrapper::ConvertByteArrayToFile(). Exception occured.\n");
}

TEST_F(FileTransferTest, TwoHundredMegabytesBothWays) {
  std::string big(200u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i / 4096);
  ASSERT_EQ(service.ConvertByteArrayToFile("big.bin", big), kOk);
  EXPECT_EQ(fs::file_size(home.file("big.bin")), big.size());
  std::optional<std::string> back;
  ASSERT_EQ(service.ConvertFileToByteArray("big.bin", back), kOk);
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == big);
}

TEST_F(FileTransferTest, ByteArraysTravelAsBase64) {
  HostProtocol protocol(service, ui);
  EXPECT_EQ(*protocol.HandleLine(
                R"({"jsonrpc":"2.0","id":1,"method":"ConvertByteArrayToFile","params":["x.bin","AP9hYg=="]})"),
            R"({"jsonrpc":"2.0","id":1,"result":{"value":null,"status":0,"messages":[]}})");
  EXPECT_EQ(ReadFile(home.file("x.bin")), std::string("\0\xFF" "ab", 4));
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":2,"method":"ConvertFileToByteArray","params":["x.bin"]})"),
            R"({"jsonrpc":"2.0","id":2,"result":{"value":"AP9hYg==","status":0,"messages":[]}})");
  const std::string outsidePath = outside.file("secret.txt");
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":3,"method":"ConvertByteArrayToFile","params":[")" +
                                 outsidePath + R"(","AA=="]})"),
            R"({"jsonrpc":"2.0","id":3,"result":{"value":null,"status":1,"messages":[{"caption":"Import","text":"Unable to open the file","icon":"none"}]}})");
  EXPECT_EQ(*protocol.HandleLine(R"({"jsonrpc":"2.0","id":4,"method":"CreateFolder","params":["new"]})"),
            R"({"jsonrpc":"2.0","id":4,"result":{"value":")" + home.str() +
                R"(/new","status":0,"messages":[]}})");
  ExpectOutsideUntouched();
}

}  // namespace
}  // namespace zephrin
