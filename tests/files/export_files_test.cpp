// Export and output files: what reaches the disk, byte for byte, and the
// results, messages and trace lines of every outcome.
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {


class ExportFilesTest : public ::testing::Test, protected test::HomeSandbox {
 protected:
  RecordingUserInterface ui;
  std::unique_ptr<CxmlWrapper> service = std::make_unique<CxmlWrapper>(&ui);

  int32_t Create(std::string_view name) {
    int32_t r = -7;
    EXPECT_EQ(service->CreateOutputFile(name, r), kOk);
    return r;
  }
  int32_t Write(std::string_view name, std::string_view line) {
    std::optional<int32_t> r = -7;  // left as passed when no entry matches
    EXPECT_EQ(service->WriteOutputLine(name, line, r), kOk);
    return r.value_or(-99);
  }
  int32_t Close(std::string_view name) {
    std::optional<int32_t> r = -7;
    EXPECT_EQ(service->CloseOutputFile(name, r), kOk);
    return r.value_or(-99);
  }
};

TEST_F(ExportFilesTest, ExportFileIsWrittenInTextMode) {
  int32_t r = -1;
  ASSERT_EQ(service->CreateExportFile(home.file("out.csv"), r), kOk);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(service->ExportWriteLine("a,b", r), kOk);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(service->ExportWrite("no end;", r), kOk);
  EXPECT_EQ(r, 1);
  service->ExportWrite("two\nlines\r\n", r);  // every "\n" becomes CR LF, a CR before it stays
  service->ExportWriteLine("caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD", r);  // to Windows-1252
  EXPECT_EQ(r, 1);
  service->ExportWriteLine("", r);
  EXPECT_EQ(service->CloseExportFile(r), kOk);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(ReadFile(home.file("out.csv")), "a,b\r\nno end;two\r\nlines\r\r\ncaf\xE9 \x80 ?\r\n\r\n");

  // A new export file empties an existing one; closing twice is harmless.
  service->CreateExportFile(home.file("out.csv"), r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(service->CloseExportFile(r), kOk);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(ReadFile(home.file("out.csv")), "");
  EXPECT_EQ(service->CloseExportFile(r), kOk);
  EXPECT_EQ(r, 1);

  // Writing with no export file open fails.
  service->ExportWriteLine("x", r);
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(ExportFilesTest, ReplacedAndLeftOpenExportFilesKeepTheirLines) {
  int32_t r = 0;
  service->CreateExportFile(home.file("first.csv"), r);
  service->ExportWriteLine("1", r);
  service->CreateExportFile(home.file("second.csv"), r);
  service->ExportWriteLine("2", r);
  EXPECT_EQ(ReadFile(home.file("first.csv")), "1\r\n");
  service->CreateOutputFile(home.file("log.txt"), r);
  std::optional<int32_t> written;
  service->WriteOutputLine(home.file("log.txt"), "left open", written);
  service.reset();  // teardown closes what is open
  EXPECT_EQ(ReadFile(home.file("second.csv")), "2\r\n");
  EXPECT_EQ(ReadFile(home.file("log.txt")), "left open\r\n");
}

TEST_F(ExportFilesTest, OpenFailures) {
  int32_t r = -1;
  EXPECT_EQ(service->CreateExportFile("", r), kOk);
  EXPECT_EQ(r, 0);
  const std::string missing = home.file("no/such/folder/x.csv");
  service->CreateExportFile(missing, r);
  EXPECT_EQ(r, 0);
  service->CreateExportFile(home.file("no/such/folder/x_rejected.csv"), r);
  EXPECT_EQ(r, 0);
  service->CreateExportFile(home.file("no/such/folder/x_REJECTED.csv"), r);
  EXPECT_EQ(r, 0);
  service->CreateExportFile(home.str(), r);  // a folder
  EXPECT_EQ(r, 0);
  r = -1;
  EXPECT_EQ(service->CreateOutputFile("", r), kOk);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Create(home.file("no/such/out_rejected.csv")), 0);
  EXPECT_EQ(Create(home.file("no/such/out.txt")), 0);

  const auto messages = ui.TakeMessages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].caption, "Export");
  EXPECT_EQ(messages[0].text, "Error opening export file " + missing + " for writing!");
  EXPECT_EQ(messages[0].icon, MessageIcon::None);
  EXPECT_EQ(messages[1].text, "Error opening export file " + home.file("no/such/folder/x_REJECTED.csv") + " for writing!");
  EXPECT_EQ(messages[2].text, "Error opening export file " + home.str() + " for writing!");
  EXPECT_EQ(messages[3].caption, "");
  EXPECT_EQ(messages[3].text, "Error opening output file " + home.file("no/such/out.txt") + " for writing!");
  EXPECT_EQ(messages[3].icon, MessageIcon::Warning);
  EXPECT_EQ(TraceText(),
            "CreateExportFile: refused path " + home.str() + ": it is outside the writable folder\n"
            "CreateOutputFile: found=-1, nextinline=1\n"
            "CreateOutputFile: found=-1, nextinline=1\n");
}

TEST_F(ExportFilesTest, OutputFileTable) {
  // Names relative to the writable folder, so that the upper-case one is
  // upper-case throughout.
  const std::string lower = "log.txt";
  const std::string upper = "LOG.TXT";
  // The table keeps names upper-cased; a lower-case name never matches them,
  // so it opens a second entry for the same file.
  EXPECT_EQ(Create(lower), 1);
  EXPECT_EQ(Create(lower), 1);
  EXPECT_EQ(Create(upper), 0);
  auto messages = ui.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "");
  EXPECT_EQ(messages[0].text, "This output file is already open: " + upper);
  EXPECT_EQ(messages[0].icon, MessageIcon::Warning);

  EXPECT_EQ(Write(lower, "both"), 1);  // written to both entries
  EXPECT_EQ(Close(upper), 1);          // closes the later entry only
  EXPECT_EQ(Write(lower, "first only"), 1);
  messages = ui.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "");
  EXPECT_EQ(messages[0].text, "This file " + lower + " has already been closed and the line cannot be written.");
  EXPECT_EQ(Close(lower), 1);  // the later entry again: it stays closed
  EXPECT_EQ(Write("other.txt", "x"), -7);  // no entry: result as passed
  EXPECT_EQ(Close("other.txt"), -7);
  EXPECT_EQ(Close(""), -7);
  std::optional<int32_t> r = -7;
  EXPECT_EQ(service->WriteOutputLine("", "x", r), kOk);
  EXPECT_EQ(r, -7);
  messages = ui.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Import");
  EXPECT_EQ(messages[0].text, "The file name is needed for output files.");

  // Both entries wrote "both", the first also "first only", each line added
  // at the end of the one file (never over another's, never past a gap).
  service.reset();
  EXPECT_EQ(ReadFile(home.file("log.txt")), "both\r\nboth\r\nfirst only\r\n");
  EXPECT_EQ(TraceText(),
            "CreateOutputFile: found=-1, nextinline=1\n"
            "CreateOutputFile: found=-1, nextinline=2\n"
            "CreateOutputFile: found=2, nextinline=-1\n"
            "CloseOutputFile: found=1\n"
            "CloseOutputFile: found=2\n"
            "WriteOutputLine: file handle NULL, file already closed\n"
            "CloseOutputFile: found=1\n"
            "CloseOutputFile: found=2\n"
            "CloseOutputFile: filename other.txt not found, cannot close\n");
}

// A name created again while its first entry has lines: the second open
// empties the file, and the first entry's next line follows on from there
// instead of leaving NUL bytes where the emptied lines were.
TEST_F(ExportFilesTest, ANameCreatedAgainLeavesNoGap) {
  EXPECT_EQ(Create("out.txt"), 1);
  EXPECT_EQ(Write("out.txt", "first line"), 1);
  EXPECT_EQ(Create("out.txt"), 1);
  EXPECT_EQ(Write("out.txt", "x"), 1);
  EXPECT_EQ(Close("out.txt"), 1);
  EXPECT_EQ(Close("out.txt"), 1);
  EXPECT_EQ(ReadFile(home.file("out.txt")), "x\r\nx\r\n");
}

TEST_F(ExportFilesTest, UpperCaseNameCannotBeCreatedAgainAfterClosing) {
  const std::string upper = "OUT.TXT";
  EXPECT_EQ(Create(upper), 1);
  EXPECT_EQ(Close(upper), 1);
  EXPECT_EQ(Create(upper), 0);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text, "This output file is already open: " + upper);
}

TEST_F(ExportFilesTest, TenMegabyteLine) {
  std::string line(10u << 20, 'x');
  line[5] = '\n';
  int32_t r = 0;
  service->CreateExportFile("big.csv", r);  // relative: inside the writable folder
  ASSERT_EQ(r, 1);
  service->ExportWriteLine(line, r);
  EXPECT_EQ(r, 1);
  service->CloseExportFile(r);
  EXPECT_EQ(r, 1);
  const std::string written = ReadFile(home.file("big.csv"));
  ASSERT_EQ(written.size(), line.size() + 3);
  EXPECT_EQ(written.substr(0, 8), "xxxxx\r\nx");
  EXPECT_EQ(written.substr(written.size() - 3), "x\r\n");
}

TEST_F(ExportFilesTest, DeletedOutputFileReportsTheLoss) {
  const std::string name = home.file("gone.txt");
  EXPECT_EQ(Create(name), 1);
  EXPECT_EQ(Write(name, "line"), 1);
  ASSERT_EQ(unlink(name.c_str()), 0);
  EXPECT_EQ(Close(name), 0);

  int32_t r = 0;
  service->CreateExportFile(home.file("gone.csv"), r);
  service->ExportWriteLine("line", r);
  ASSERT_EQ(unlink(home.file("gone.csv").c_str()), 0);
  EXPECT_EQ(service->CloseExportFile(r), kFalse);
  EXPECT_EQ(r, 0);
}

// A full disk, played by a file size limit in a child process (SIGXFSZ
// ignored, so the write fails with EFBIG instead of killing the child).
TEST_F(ExportFilesTest, FullDiskFailsTheWriteAndTheClose) {
  EXPECT_EQ(test::RunInChild([&](std::string&) {
    test::LimitFileSize(100);
    int code = 0;
    int32_t r = -1;
    service->CreateExportFile(home.file("full.csv"), r);
    if (r != 1) code |= 1;
    service->ExportWriteLine(std::string(60, 'a'), r);
    if (r != 1) code |= 2;
    service->ExportWriteLine(std::string(60, 'b'), r);  // crosses the limit
    if (r != 0) code |= 4;
    service->ExportWriteLine("c", r);
    Status st = service->CloseExportFile(r);
    if (r != 0 || st != kFalse) code |= 8;  // the file is not whole

    service->CreateOutputFile(home.file("full.txt"), r);
    std::optional<int32_t> out;
    service->WriteOutputLine(home.file("full.txt"), std::string(200, 'o'), out);
    if (out != 0) code |= 16;
    service->CloseOutputFile(home.file("full.txt"), out);
    if (out != 0) code |= 32;
    return code;
  }), 0);
  EXPECT_EQ(ReadFile(home.file("full.csv")).substr(0, 62), std::string(60, 'a') + "\r\n");
}

}  // namespace
}  // namespace zephrin
