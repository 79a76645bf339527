// The C interface's host callbacks (message boxes, file dialogs), typed calls
// and their replies, result codes, and a writable folder per object.
#include <gtest/gtest.h>

#include <cstdint>


#include <barrier>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capi/zephrinimport.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct ServiceDeleter {
  void operator()(zephrinimport_service* s) const { zephrinimport_destroy(s); }
};
using Service = std::unique_ptr<zephrinimport_service, ServiceDeleter>;
struct ReplyDeleter {
  void operator()(zephrinimport_reply* r) const { zephrinimport_reply_free(r); }
};
using Reply = std::unique_ptr<zephrinimport_reply, ReplyDeleter>;

std::string Take(char* text) {
  std::string out = text ? text : "(null)";
  zephrinimport_free(text);
  return out;
}

std::string Call(zephrinimport_service* s, const char* method, const char* params, int* code = nullptr) {
  char* out = nullptr;
  const int c = zephrinimport_call(s, method, params, &out);
  if (code) *code = c;
  return Take(out);
}

// What the host's callbacks were shown, and what its dialog answers.
struct Host {
  zephrinimport_service* service = nullptr;
  std::vector<std::string> shown;
  std::vector<std::string> dialogs;
  const char* choose = nullptr;  // the path the user picks; nullptr: Cancel
  int reentered = 0;
  zephrinimport_file_choice* kept = nullptr;  // the last dialog's choice, kept past its callback

  static void Message(void* self, const char* caption, const char* text, zephrinimport_icon icon) {
    Host& h = *static_cast<Host*>(self);
    h.shown.push_back(std::string(caption) + ": " + text + " (" + std::to_string(icon) + ")");
    char* out = nullptr;
    h.reentered = zephrinimport_call(h.service, "SetCurrentYear", "[1]", &out);
    zephrinimport_free(out);
  }
  static void Choose(void* self, const zephrinimport_file_dialog* d, zephrinimport_file_choice* choice) {
    Host& h = *static_cast<Host*>(self);
    h.kept = choice;
    const std::string filter = d->filter;
    h.dialogs.push_back(std::string(d->title) + " save=" + std::to_string(d->save) + " index=" +
                        std::to_string(d->filter_index) + " exist=" + std::to_string(d->must_exist) +
                        " csv=" + (filter.find("*.csv") != std::string::npos ? "yes" : "no"));
    if (h.choose) {
      EXPECT_EQ(zephrinimport_choose(choice, h.choose, 0), 0);
    }
  }
};

TEST(CHostCallbacks, DialogsAndMessageBoxesGoToTheHost) {
  test::ScopedHome home;
  Service s(zephrinimport_create());
  Host host;
  host.service = s.get();
  ASSERT_EQ(zephrinimport_set_callbacks(s.get(), &Host::Message, &Host::Choose, &host), 0);
  const std::string data = home.file("tb.csv");
  test::WriteFile(data, "a,b\n");

  host.choose = data.c_str();
  EXPECT_EQ(Call(s.get(), "BrowseForImport", R"(["FCOA"])"), R"({"value":")" + data + R"(","status":0,"messages":[]})");
  host.choose = nullptr;
  EXPECT_EQ(Call(s.get(), "BrowseForImport", R"(["FCOA"])"), R"({"value":"","status":0,"messages":[]})");
  // A call that carries its own answers is answered from them.
  EXPECT_EQ(Call(s.get(), "BrowseForImport", (R"({"args":["FCOA"],"answers":[")" + data + R"("]})").c_str()),
            R"({"value":")" + data + R"(","status":0,"messages":[]})");
  EXPECT_EQ(host.dialogs, std::vector<std::string>(2, "Select Import File save=0 index=1 exist=1 csv=yes"));
  // A choice answered after its callback returned is gone: refused, and
  // nothing is written where it was.
  EXPECT_EQ(zephrinimport_choose(host.kept, data.c_str(), 1), ZEPHRINIMPORT_INVALID_REQUEST);

  // A message box is shown by the host and recorded in the result; a call
  // from inside the callback is refused, not left waiting for itself.
  EXPECT_EQ(Call(s.get(), "ConvertFileToByteArray", R"(["none.bin"])"),
            R"({"value":null,"status":1,"messages":[{"caption":"Import","text":"Unable to open the file","icon":"none"}]})");
  EXPECT_EQ(host.shown, std::vector<std::string>{"Import: Unable to open the file (0)"});
  EXPECT_EQ(host.reentered, ZEPHRINIMPORT_BUSY);

  ASSERT_EQ(zephrinimport_set_callbacks(s.get(), nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Call(s.get(), "BrowseForImport", R"(["FCOA"])"), R"({"value":"","status":0,"messages":[]})");
  EXPECT_EQ(host.dialogs.size(), 2u);
  EXPECT_EQ(zephrinimport_choose(nullptr, "x", 0), ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(zephrinimport_set_callbacks(nullptr, nullptr, nullptr, nullptr), ZEPHRINIMPORT_INVALID_REQUEST);
}

// A reply as one line: kind, value, status, outcome, messages, error.
std::string Describe(const zephrinimport_reply* r) {
  size_t size = 0;
  const char* text = zephrinimport_reply_text(r, &size);
  std::string out = "kind=" + std::to_string(zephrinimport_reply_kind(r)) + " value=" +
                    (text ? "[" + std::string(text, size) + "]" : std::to_string(zephrinimport_reply_integer(r))) +
                    " status=" + std::to_string(zephrinimport_reply_status(r)) +
                    " outcome=" + std::to_string(zephrinimport_reply_outcome(r));
  for (size_t i = 0; i < zephrinimport_reply_message_count(r); ++i) {
    const char *caption = nullptr, *message = nullptr;
    zephrinimport_icon icon = ZEPHRINIMPORT_ICON_NONE;
    EXPECT_EQ(zephrinimport_reply_message(r, i, &caption, &message, &icon), 0);
    out += std::string(" message=") + caption + ":" + message + ":" + std::to_string(icon);
  }
  EXPECT_EQ(zephrinimport_reply_message(r, zephrinimport_reply_message_count(r), nullptr, nullptr, nullptr),
            ZEPHRINIMPORT_INVALID_REQUEST);
  if (const char* error = zephrinimport_reply_error(r)) out += std::string(" error=") + error;
  return out;
}

TEST(CInvoke, TypedArgumentsAndReplies) {
  test::ScopedHome home;
  Service s(zephrinimport_create());
  const std::string bytes("a\0b\xff", 4);
  const zephrinimport_arg year{ZEPHRINIMPORT_INTEGER, nullptr, 0, 2025};
  const zephrinimport_arg file{ZEPHRINIMPORT_STRING, "x.bin", 5, 0};
  const zephrinimport_arg content{ZEPHRINIMPORT_BYTES, bytes.data(), bytes.size(), 0};
  const zephrinimport_arg toWrite[] = {file, content};
  const zephrinimport_arg name{ZEPHRINIMPORT_STRING, "OUT.TXT", 7, 0};
  const zephrinimport_arg line[] = {name, file};
  const zephrinimport_arg missing{ZEPHRINIMPORT_STRING, "/nowhere/x.csv", 14, 0};
  const zephrinimport_arg read[] = {missing, {ZEPHRINIMPORT_STRING, "T", 1, 0}, {ZEPHRINIMPORT_STRING, "FCOA", 4, 0},
                                    {ZEPHRINIMPORT_STRING, "1", 1, 0}, {ZEPHRINIMPORT_STRING, "", 0, 0}};
  // A kind outside the enumeration, as a host's stray integer puts it there.
  zephrinimport_arg noKind = file;
  const int stray = 77;
  std::memcpy(&noKind.kind, &stray, sizeof stray);
  const struct {
    const char* method;
    const zephrinimport_arg* args;
    size_t count;
    int code;
    std::string reply;
  } rows[] = {
      {"SetCurrentYear", &year, 1, 0, "kind=0 value=0 status=0 outcome=-1"},
      {"GetWriteableFolderPath", nullptr, 0, 0, "kind=1 value=[" + home.str() + "] status=0 outcome=-1"},
      {"ConvertByteArrayToFile", toWrite, 2, 0, "kind=0 value=0 status=0 outcome=-1"},
      {"ConvertFileToByteArray", &file, 1, 0, "kind=3 value=[" + bytes + "] status=0 outcome=-1"},
      {"CreateOutputFile", &name, 1, 0, "kind=2 value=1 status=0 outcome=-1"},
      {"WriteOutputLine", line, 2, 0, "kind=2 value=1 status=0 outcome=-1"},
      {"CloseOutputFile", &file, 1, 0, "kind=0 value=0 status=0 outcome=-1"},
      {"ReadImportFile", read, 5, 0,
       "kind=1 value=[<Error><Err>Unable to determine the type of import being done. Please try again.</Err></Error>] "
       "status=0 outcome=1"},
      {"ConvertFileToByteArray", &missing, 1, 0,
       "kind=0 value=0 status=1 outcome=-1 message=Import:Unable to open the file:0"},
      {"SetCurrentYear", &file, 1, ZEPHRINIMPORT_INVALID_PARAMS,
       "kind=0 value=0 status=0 outcome=-1 error=Invalid params: parameter 1 of SetCurrentYear must be an integer from "
       "-32768 to 32767"},
      {"CreateOutputFile", &noKind, 1, ZEPHRINIMPORT_INVALID_PARAMS,
       "kind=0 value=0 status=0 outcome=-1 error=Invalid params: parameter 1 of CreateOutputFile must be a string"},
      {"Nope", nullptr, 0, ZEPHRINIMPORT_METHOD_NOT_FOUND, "kind=0 value=0 status=0 outcome=-1 error=Method not found: Nope"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.method);
    zephrinimport_reply* raw = nullptr;
    EXPECT_EQ(zephrinimport_invoke(s.get(), row.method, row.args, row.count, nullptr, 0, &raw), row.code);
    Reply reply(raw);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(Describe(reply.get()), row.reply);
  }
  EXPECT_EQ(test::ReadFile(home.file("OUT.TXT")), "x.bin\r\n");

  // Answers go with the call; NULL among them is Cancel.
  const char* answers[] = {nullptr};
  const zephrinimport_arg type{ZEPHRINIMPORT_STRING, "FCOA", 4, 0};
  zephrinimport_reply* raw = nullptr;
  EXPECT_EQ(zephrinimport_invoke(s.get(), "BrowseForImport", &type, 1, answers, 1, &raw), 0);
  EXPECT_EQ(Describe(Reply(raw).get()), "kind=1 value=[] status=0 outcome=-1");
  EXPECT_EQ(zephrinimport_invoke(s.get(), "SetCurrentYear", nullptr, 1, nullptr, 0, &raw), ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(raw, nullptr);
  const zephrinimport_arg noBytes{ZEPHRINIMPORT_STRING, nullptr, 5, 0};
  EXPECT_EQ(zephrinimport_invoke(s.get(), "CreateOutputFile", &noBytes, 1, nullptr, 0, &raw), ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(raw, nullptr);
  const zephrinimport_arg endless{ZEPHRINIMPORT_STRING, "abc", SIZE_MAX, 0};  // more than any memory holds
  EXPECT_EQ(zephrinimport_invoke(s.get(), "PutCategoryTypes", &endless, 1, nullptr, 0, &raw), ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(zephrinimport_invoke(nullptr, "SetCurrentYear", &year, 1, nullptr, 0, &raw), ZEPHRINIMPORT_INVALID_REQUEST);
  zephrinimport_reply_free(nullptr);
  EXPECT_EQ(zephrinimport_reply_text(nullptr, nullptr), nullptr);
}

TEST(CResultCodes, EveryCodeHasItsText) {
  const struct {
    int code;
    const char* text;
  } rows[] = {
      {ZEPHRINIMPORT_OK, "Success"},
      {ZEPHRINIMPORT_PARSE_ERROR, "The parameters are not valid JSON"},
      {ZEPHRINIMPORT_INVALID_REQUEST,
       "An argument is missing or out of range (a service object, a method name, a place for the result)"},
      {ZEPHRINIMPORT_METHOD_NOT_FOUND, "There is no method of that name"},
      {ZEPHRINIMPORT_INVALID_PARAMS, "The parameters or answers are of the wrong count or type"},
      {ZEPHRINIMPORT_INTERNAL_ERROR, "A failure inside the engine; the service object stays as it was"},
      {ZEPHRINIMPORT_BUSY, "The service object is busy: a call on it is still running"},
      {ZEPHRINIMPORT_WRITE_STOPPED, "The host's write callback stopped the read; what it was handed is void"},
      {ZEPHRINIMPORT_NO_MEMORY, "There is no memory for the result"},
      {ZEPHRINIMPORT_BAD_FOLDER, "The folder cannot be made, or is not a folder this process can write in"},
      {1, "Unknown result code"},
  };
  for (const auto& row : rows) EXPECT_STREQ(zephrinimport_strerror(row.code), row.text) << row.code;
}

// Two objects, each with a folder of its own, keep two stores, on two
// threads at once, whatever ZEPHRINIMPORT_HOME says.
TEST(CWritableFolder, EachObjectKeepsItsOwnStore) {
  test::ScopedHome environment;
  test::TempDir a, b;
  const std::string ini = test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini"));
  test::WriteFile(a.file("import.ini"), ini);
  test::WriteFile(b.file("tb.csv"), test::ReadFile(test::DataPath("reads/csv_fcoa/tb.csv")));
  std::barrier start(2);
  std::string listingA, listingB, readB, deletedA;
  std::thread first([&] {
    Service s(zephrinimport_create());
    EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), a.str().c_str()), 0);
    start.arrive_and_wait();
    listingA = Call(s.get(), "GetTemplateInfo", "[]");
    Call(s.get(), "DeleteLayout", R"(["GL BOOK"])");
    deletedA = Call(s.get(), "GetTemplateInfo", "[]");
  });
  std::thread second([&] {
    Service s(zephrinimport_create());
    EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), (b.str() + "/new/").c_str()), 0);
    start.arrive_and_wait();
    listingB = Call(s.get(), "GetTemplateInfo", "[]");
    readB = Call(s.get(), "ReadImportFile", (R"([")" + b.file("tb.csv") + R"(","GL BOOK","FCOA","1",""])").c_str());
  });
  first.join();
  second.join();
  EXPECT_NE(listingA.find("<name>GL BOOK</name>"), std::string::npos) << listingA;
  EXPECT_NE(listingA.find("<PATHNAME>" + a.str() + "</PATHNAME>"), std::string::npos) << listingA;
  EXPECT_EQ(deletedA.find("<name>GL BOOK</name>"), std::string::npos) << deletedA;
  EXPECT_EQ(listingB.find("<name>"), std::string::npos) << listingB;
  EXPECT_NE(listingB.find("<PATHNAME>" + b.str() + "/new</PATHNAME>"), std::string::npos) << listingB;
  EXPECT_NE(readB.find("Unable to determine the type of import being done."), std::string::npos) << readB;
  EXPECT_EQ(test::FolderEntries(environment.path()), std::set<std::string>{});

  Service s(zephrinimport_create());
  const std::string file = a.file("import.ini");
  EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), file.c_str()), ZEPHRINIMPORT_BAD_FOLDER);
  EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), (file + "/sub").c_str()), ZEPHRINIMPORT_BAD_FOLDER);
  EXPECT_EQ(zephrinimport_set_writable_folder(nullptr, a.str().c_str()), ZEPHRINIMPORT_INVALID_REQUEST);
  // A store established already moves with the folder; NULL returns to the environment's.
  Call(s.get(), "GetTemplateInfo", "[]");
  EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), b.str().c_str()), 0);
  EXPECT_NE(Call(s.get(), "GetTemplateInfo", "[]").find("<PATHNAME>" + b.str() + "</PATHNAME>"), std::string::npos);
  EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), nullptr), 0);
  EXPECT_NE(Call(s.get(), "GetWriteableFolderPath", "[]").find(environment.str()), std::string::npos);
}

// A folder refused makes nothing on disk: not the folders on the way to a
// name too long to make, nor any folder while the object is busy.
TEST(CWritableFolder, ARefusedFolderLeavesNothingMade) {
  test::TempDir dir;
  Service s(zephrinimport_create());
  const std::string tooLong = dir.str() + "/a/b/" + std::string(300, 'x');
  EXPECT_EQ(zephrinimport_set_writable_folder(s.get(), tooLong.c_str()), ZEPHRINIMPORT_BAD_FOLDER);
  EXPECT_EQ(test::FolderEntries(dir.path()), std::set<std::string>{});
  struct Busy {
    zephrinimport_service* s;
    std::string folder;
    int code = 0;
  } busy{s.get(), dir.str() + "/made/in/callback"};
  const auto write = [](void* self, const char*, size_t) {
    Busy& b = *static_cast<Busy*>(self);
    if (b.code == 0) b.code = zephrinimport_set_writable_folder(b.s, b.folder.c_str());
    return 0;
  };
  test::ScopedHome home;
  test::WriteFile(home.file("tb.csv"), "a,b\n1,2\n");
  EXPECT_EQ(zephrinimport_stream_import_file(s.get(), home.file("tb.csv").c_str(), "X", "FCOA", "1", nullptr, write,
                                             nullptr, &busy, nullptr),
            0);
  EXPECT_EQ(busy.code, ZEPHRINIMPORT_BUSY);
  EXPECT_EQ(test::FolderEntries(dir.path()), std::set<std::string>{});
}

// An object without a folder of its own, called from inside a call of one
// that has one (from its write callback), keeps the environment's store:
// the outer object's folder does not leak into it.
TEST(CWritableFolder, AnObjectCalledFromAnothersCallbackKeepsItsOwnStore) {
  test::ScopedHome environment;
  test::TempDir own;
  test::WriteFile(own.file("import.ini"), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")));
  test::WriteFile(own.file("tb.csv"), test::ReadFile(test::DataPath("reads/csv_fcoa/tb.csv")));
  Service outer(zephrinimport_create()), inner(zephrinimport_create());
  ASSERT_EQ(zephrinimport_set_writable_folder(outer.get(), own.str().c_str()), 0);
  struct Seen {
    zephrinimport_service* inner;
    std::string folder;
  } seen{inner.get(), ""};
  const auto write = [](void* self, const char*, size_t) {
    Seen& s = *static_cast<Seen*>(self);
    if (s.folder.empty()) s.folder = Call(s.inner, "GetWriteableFolderPath", "[]");
    return 0;
  };
  ASSERT_EQ(zephrinimport_stream_import_file(outer.get(), own.file("tb.csv").c_str(), "GL BOOK", "FCOA", "1", nullptr,
                                             write, nullptr, &seen, nullptr),
            0);
  EXPECT_NE(seen.folder.find(environment.str()), std::string::npos) << seen.folder;
  EXPECT_EQ(seen.folder.find(own.str()), std::string::npos) << seen.folder;
  // Its deletion then reaches the environment's store, not the other one's.
  Call(inner.get(), "DeleteLayout", R"(["GL BOOK"])");
  EXPECT_EQ(test::ReadFile(own.file("import.ini")), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")));
}

}  // namespace
}  // namespace zephrin
