// The import page's own requests: a line of a data file with the cell or the
// characters of an item marked, the uploads listed and removed, and the
// captions of a read's elements.
#include "server/page_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "files/data_line.h"
#include "test_util.h"

namespace zephrin {
namespace {

using Json = nlohmann::json;

void Write(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(PageFilesTest, DataLineMarksTheItemsCell) {
  test::TempDir dir;
  Write(dir.file("import.ini"),
        "[Import:GRID]\nInfo=COA\nAccount_Number=1 2 0\n[Import:SEMI]\nInfo=COA\nSeparator=SEMICOLON\n"
        "Account_Number=2 1 0\n[Import:FIXED]\nInfo=COA\nAccount_Number=4 4 0\n[Import:NOTES]\nInfo=COA\nSheet=NOTES\n"
        "Account_Number=1 2 0\n[Import:TABS]\nInfo=COA\nSeparator=TAB\nAccount_Number=2 2 0\n");
  Write(dir.file("tb.csv"), "Number,Caption\r\n\"Cash, petty\",1000,12.50\n");
  Write(dir.file("tb.txt"), "\xc3\xa9t\xc3\xa9 1000 x\n");
  Write(dir.file("semi.csv"), "a;b;c\n");
  Write(dir.file("tabs.txt"), "1200\tReceivables\tx1\n");
  // UTF-16 text and workbooks show their line as a read sees it, never their bytes.
  Write(dir.file("u16.csv"), std::string("\xff\xfe" "N\0o\0\r\0\n\0\xe9\0,\0" "1\0\r\0\n\0", 18));
  std::filesystem::copy_file(test::DataPath("workbooks/trial_balance.xlsx"), dir.file("tb.xlsx"));
  std::filesystem::copy_file(test::DataPath("workbooks/mixed.xlsx"), dir.file("mixed.xlsx"));
  // A long UTF-8 line cut inside a character loses that character only.
  Write(dir.file("long.csv"), std::string(kMaxShownLine - 1, 'a') + "\xc3\xa9\n");
  struct Case {
    std::string file, templ;
    long line;
    std::string answer;
  };
  const Case cases[] = {
      {"tb.csv", "GRID", 2, R"({"after":",12.50","before":"\"Cash, petty\",","cut":false,"line":2,"marked":"1000"})"},
      {"tb.csv", "GRID", 1, R"({"after":"","before":"Number,","cut":false,"line":1,"marked":"Caption"})"},
      {"semi.csv", "SEMI", 1, R"({"after":"","before":"a;b;","cut":false,"line":1,"marked":"c"})"},
      // A ".txt" file its template splits at tabs is marked by cell, as it is read.
      {"tabs.txt", "TABS", 1, R"({"after":"","before":"1200\tReceivables\t","cut":false,"line":1,"marked":"x1"})"},
      {"tb.txt", "FIXED", 1, R"({"after":" x","before":"été ","cut":false,"line":1,"marked":"1000"})"},
      {"tb.csv", "NONE", 1, R"({"after":"","before":"Number,Caption","cut":false,"line":1,"marked":""})"},
      {"u16.csv", "GRID", 2, R"({"after":"","before":"é,","cut":false,"line":2,"marked":"1"})"},
      {"tb.xlsx", "GRID", 2, R"({"after":"\t15250","before":"1000\t","cut":false,"line":2,"marked":"Cash"})"},
      {"mixed.xlsx", "NOTES", 2, R"({"after":"","before":"\t","cut":false,"line":2,"marked":"second sheet"})"},
      {"tb.xlsx", "GRID", 99, R"({"error":"The data file has no line 99."})"},
      {"long.csv", "NONE", 1, R"({"after":"","before":")" + std::string(kMaxShownLine - 1, 'a') +
                                  R"(","cut":true,"line":1,"marked":""})"},
      {"tb.csv", "GRID", 3, R"({"error":"The data file has no line 3."})"},
      {"tb.csv", "GRID", 0, R"({"error":"There is no line 0 in a file."})"},
      {"gone.csv", "GRID", 1, R"({"error":"The data file )" + dir.file("gone.csv") + R"( cannot be read: No such file or directory."})"},
      // No FIFO, device or folder is read: they could block the page's
      // requests, or never end.
      {"fifo.csv", "GRID", 1, R"({"error":"The data file )" + dir.file("fifo.csv") + R"( cannot be read: it is not a regular file."})"},
      {"uploads", "GRID", 1, R"({"error":"The data file )" + dir.file("uploads") + R"( cannot be read: Is a directory."})"},
  };
  ASSERT_EQ(::mkfifo(dir.file("fifo.csv").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("uploads"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.templ);
    const Json request{{"file", dir.file(c.file)}, {"line", c.line}, {"template", c.templ}, {"item", "Account_Number"}};
    EXPECT_EQ(PageFilesAction("dataLine", request, dir.str()).dump(), c.answer);
  }
  for (const Json& line : {Json("2"), Json(1e30), Json(99999999999ull), Json(nullptr)}) {
    const Json request{{"file", dir.file("tb.csv")}, {"line", line}, {"template", "GRID"}};
    EXPECT_EQ(PageFilesAction("dataLine", request, dir.str()).dump(),
              R"({"error":"The request's \"line\" is not a line number."})") << line;
  }
  const Json zero{{"file", "/dev/zero"}, {"line", 2}, {"template", "GRID"}, {"item", "Account_Number"}};
  EXPECT_EQ(PageFilesAction("dataLine", zero, dir.str()).dump(),
            R"({"error":"The data file /dev/zero cannot be read: it is not a regular file."})");
}

TEST(PageFilesTest, UploadsAreListedAndRemovedByPlainNameOnly) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.file("uploads"));
  Write(dir.file("uploads/b.csv"), "12");
  Write(dir.file("uploads/.upload-1"), "half");
  Write(dir.file("keep.csv"), "k");
  const std::string folder = dir.file("uploads");
  const std::string listed = R"({"folder":")" + folder + R"(","uploads":[{"name":"b.csv","path":")" + folder +
                             R"(/b.csv","size":2}]})";
  EXPECT_EQ(PageFilesAction("uploads", Json::object(), dir.str()).dump(), listed);
  EXPECT_EQ(PageFilesAction("removeUpload", Json{{"name", "../keep.csv"}}, dir.str()).dump(),
            R"({"error":"The file name \"../keep.csv\" is refused: it holds a \"/\" or \"\\\"."})");
  EXPECT_EQ(PageFilesAction("removeUpload", Json{{"name", 5}}, dir.str()).dump(),
            R"({"error":"The request's \"name\" is not a file name."})");
  EXPECT_EQ(PageFilesAction("removeUpload", Json{{"name", "c.csv"}}, dir.str()).dump(),
            R"({"error":"There is no upload named \"c.csv\"."})");
  EXPECT_TRUE(std::filesystem::exists(dir.file("keep.csv")));
  EXPECT_EQ(PageFilesAction("removeUpload", Json{{"name", "b.csv"}}, dir.str()).dump(),
            R"({"folder":")" + folder + R"(","uploads":[]})");
}

TEST(PageFilesTest, CaptionsNameTheElementsOfAType) {
  const Json coa = PageFilesAction("captions", Json{{"type", "FCOA"}}, "")["captions"];
  EXPECT_EQ(coa["Account_Number"], "Account Number");
  EXPECT_EQ(coa.size(), 10u);
  const Json je = PageFilesAction("captions", Json{{"type", "FBJ"}}, "")["captions"];
  EXPECT_EQ(je["Debit_TRC"], "Sch M Debit TRC");
  EXPECT_EQ(PageFilesAction("captions", Json{{"type", "NOPE"}}, "").dump(), R"({"captions":{}})");
}

}  // namespace
}  // namespace zephrin
