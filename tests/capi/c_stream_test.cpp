// The C interface's streamed reads: the pieces make the whole text, a read
// that fails after its first piece tells the host to discard them, progress
// cancels, and a host that stops taking the text stops the read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capi/zephrinimport.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct ServiceDeleter {
  void operator()(zephrinimport_service* s) const { zephrinimport_destroy(s); }
};
using Service = std::unique_ptr<zephrinimport_service, ServiceDeleter>;

// What a host's callbacks saw: the text since the last discard, how many
// pieces and discards came, the progress reports, and when to stop.
struct Host {
  std::string text;
  int pieces = 0;
  int discards = 0;
  std::vector<unsigned long long> reports;
  int stopAtPiece = 0;     // the write that answers "stop" (0: none)
  bool stopAtDiscard = false;   // the discard answers "stop"
  bool cancelOnPieces = false;  // progress cancels once a piece has come
  bool cancelAtEnd = false;     // progress cancels at its last report

  static int Write(void* self, const char* piece, size_t size) {
    Host& h = *static_cast<Host*>(self);
    if (!piece) {
      ++h.discards;
      h.text.clear();
      return h.stopAtDiscard ? 1 : 0;
    }
    h.text.append(piece, size);
    return ++h.pieces == h.stopAtPiece ? 1 : 0;
  }
  static int Progress(void* self, unsigned long long done, unsigned long long total) {
    Host& h = *static_cast<Host*>(self);
    h.reports.push_back(done);
    EXPECT_LE(done, total);
    return (h.cancelOnPieces && h.pieces > 0) || (h.cancelAtEnd && done == total) ? 0 : 1;
  }
};

std::string WholeText(zephrinimport_service* s, const std::string& file, zephrinimport_outcome* outcome) {
  char* xml = nullptr;
  EXPECT_EQ(zephrinimport_read_import_file(s, file.c_str(), "GL BOOK", "FCOA", "7", nullptr, &xml, outcome), 0);
  std::string text = xml ? xml : "";
  zephrinimport_free(xml);
  return text;
}

class CStream : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.file("import.ini"), test::ReadFile(test::DataPath("reads/csv_fcoa/import.ini")));
    // About 1.3 MB, which reads into more than one piece of text.
    std::string rows = "Account,Caption,TRC,Unused,Balance\n";
    for (int i = 0; i < 40000; ++i) rows += std::to_string(100000 + i) + ",Account number " + std::to_string(i) + ",101,x,12.50\n";
    test::WriteFile(big, rows);
    test::WriteFile(small, test::ReadFile(test::DataPath("reads/csv_fcoa/tb.csv")));
    ASSERT_EQ(zephrinimport_call(s.get(), "GetTemplateInfo", "[]", &listing), 0);
    zephrinimport_free(listing);
  }
  int Stream(const std::string& file, Host& host, zephrinimport_outcome* outcome, bool progress = true) {
    return zephrinimport_stream_import_file(s.get(), file.c_str(), "GL BOOK", "FCOA", "7", nullptr, &Host::Write,
                                            progress ? &Host::Progress : nullptr, &host, outcome);
  }
  test::ScopedHome home;
  const std::string big = home.file("big.csv");
  const std::string small = home.file("tb.csv");
  Service s{zephrinimport_create()};
  char* listing = nullptr;
};

// Whatever the outcome, what the host holds at the end is the text the
// whole read returns.
TEST_F(CStream, ThePiecesMakeTheWholeText) {
  const struct {
    std::string file;
    zephrinimport_outcome outcome;
    bool severalPieces;
  } rows[] = {
      {big, ZEPHRINIMPORT_DOCUMENT, true},
      {small, ZEPHRINIMPORT_DOCUMENT, false},
      {home.file("missing.csv"), ZEPHRINIMPORT_ERROR, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    zephrinimport_outcome whole = ZEPHRINIMPORT_EMPTY, streamed = ZEPHRINIMPORT_EMPTY;
    const std::string expected = WholeText(s.get(), row.file, &whole);
    Host host;
    EXPECT_EQ(Stream(row.file, host, &streamed), ZEPHRINIMPORT_OK);
    EXPECT_EQ(streamed, row.outcome);
    EXPECT_EQ(whole, row.outcome);
    EXPECT_EQ(host.text, expected);
    EXPECT_EQ(host.discards, 0);
    EXPECT_EQ(host.pieces > 1, row.severalPieces) << host.pieces;
  }
}

TEST_F(CStream, ProgressCancelsAndTheHostDiscardsWhatCame) {
  Host host;
  host.cancelOnPieces = true;
  zephrinimport_outcome outcome = ZEPHRINIMPORT_DOCUMENT;
  EXPECT_EQ(Stream(big, host, &outcome), ZEPHRINIMPORT_OK);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_ERROR);
  ASSERT_GE(host.pieces, 2) << "the read was to be cancelled after its first piece";
  EXPECT_EQ(host.discards, 1);
  EXPECT_EQ(host.text, "<Error>The import was cancelled.</Error>");
  char* messages = nullptr;
  EXPECT_EQ(zephrinimport_read_messages(s.get(), &messages), 0);
  EXPECT_STREQ(messages, "[]");
  zephrinimport_free(messages);

  // The object reads again as before, and progress runs from 0 to the size.
  Host again;
  EXPECT_EQ(Stream(big, again, &outcome), ZEPHRINIMPORT_OK);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_DOCUMENT);
  EXPECT_EQ(again.text, WholeText(s.get(), big, nullptr));
  ASSERT_GE(again.reports.size(), 2u);
  EXPECT_EQ(again.reports.back(), test::ReadFile(big).size());
}

// The last report cancels too, on a file too small for any other report
// and on one whose document has begun to go out.
TEST_F(CStream, TheLastProgressReportCancelsToo) {
  for (const std::string& file : {small, big}) {
    SCOPED_TRACE(file);
    Host host;
    host.cancelAtEnd = true;
    zephrinimport_outcome outcome = ZEPHRINIMPORT_DOCUMENT;
    EXPECT_EQ(Stream(file, host, &outcome), ZEPHRINIMPORT_OK);
    EXPECT_EQ(outcome, ZEPHRINIMPORT_ERROR);
    EXPECT_EQ(host.text, "<Error>The import was cancelled.</Error>");
    EXPECT_EQ(host.reports.back(), test::ReadFile(file).size());
    EXPECT_EQ(host.discards, file == big ? 1 : 0);
  }
}

TEST_F(CStream, AHostThatStopsTakingTheTextStopsTheRead) {
  Host host;
  host.stopAtPiece = 1;
  zephrinimport_outcome outcome = ZEPHRINIMPORT_DOCUMENT;
  EXPECT_EQ(Stream(big, host, &outcome, /*progress=*/false), ZEPHRINIMPORT_WRITE_STOPPED);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_ERROR);
  EXPECT_EQ(host.pieces, 1);  // nothing more after "stop"
  EXPECT_EQ(host.discards, 0);
  Host small1;
  small1.stopAtPiece = 1;
  EXPECT_EQ(Stream(small, small1, &outcome), ZEPHRINIMPORT_WRITE_STOPPED);
  // "Stop" in answer to the discard of a read that failed stops it too: the
  // final text does not follow.
  Host atDiscard;
  atDiscard.cancelOnPieces = true;
  atDiscard.stopAtDiscard = true;
  EXPECT_EQ(Stream(big, atDiscard, &outcome), ZEPHRINIMPORT_WRITE_STOPPED);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_ERROR);
  EXPECT_EQ(atDiscard.discards, 1);
  EXPECT_EQ(atDiscard.text, "");
  Host again;
  EXPECT_EQ(Stream(small, again, &outcome), ZEPHRINIMPORT_OK);
  EXPECT_EQ(again.text, WholeText(s.get(), small, nullptr));
}

TEST_F(CStream, MissingArgumentsAreRefused) {
  zephrinimport_outcome outcome = ZEPHRINIMPORT_DOCUMENT;
  Host host;
  EXPECT_EQ(zephrinimport_stream_import_file(s.get(), small.c_str(), "GL BOOK", "FCOA", "7", nullptr, nullptr, nullptr,
                                             &host, &outcome),
            ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(outcome, ZEPHRINIMPORT_ERROR);
  EXPECT_EQ(zephrinimport_stream_intl_import_file(nullptr, small.c_str(), "RATES", "INTL", "7", 2024, 1, &Host::Write,
                                                  nullptr, &host, nullptr),
            ZEPHRINIMPORT_INVALID_REQUEST);
  EXPECT_EQ(host.pieces, 0);
}

}  // namespace
}  // namespace zephrin
