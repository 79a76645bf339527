// A long file is read through a window as its lines are read: the lines a
// reader gets are those of the whole text settled at once, wherever the first
// byte that is not plain ASCII stands (before, on and after the window's
// edges), and whatever that byte does to the text; a file that shrinks under
// the reader ends its lines and is lost(). A DIF file's rows, which span
// many lines, are those of its whole text too, however wide a row is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "readers/data_text.h"
#include "readers/plain_sources.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct Lines {
  std::vector<std::string> lines;
  std::vector<std::size_t> offsets;
  std::size_t size = 0;
};

Lines ReadLines(LineReader& reader, bool plainScan) {
  Lines out;
  std::string_view line;
  bool end = false, plain = false;
  while (plainScan ? reader.Next(line, end, plain) : reader.Next(line, end)) {
    out.lines.emplace_back(std::string(line) + (end ? "|" : ""));
    out.offsets.push_back(reader.offset());
  }
  out.size = reader.size();
  return out;
}

// Short lines, one of them 2,000 bytes long, past one read window, with `odd`
// put at byte `at` (in place of what was there).
std::string LongFile(std::size_t at, std::string_view odd) {
  std::string text;
  for (int n = 0; text.size() < kReadWindow + 200000; ++n) {
    text += std::to_string(n) + ",Account caption " + std::to_string(n * 7) + ",12.50\r\n";
    if (n == 2000) text += std::string(2000, 'x') + "\n";
  }
  if (at == std::string::npos) at = text.size() - odd.size();
  text.replace(at, odd.size(), odd);
  return text;
}

TEST(DataText, LinesOfALongFileAreThoseOfItsWholeText) {
  const test::TempDir dir;
  const std::string path = dir.file("long.csv");
  const std::vector<std::string_view> odds = {"\xC3\xA9", "\xE9", std::string_view("\0", 1), "\x1A", "\xEF\xBB\xBF",
                                              "\xC3\xA9 \x1A \xE9"};
  const std::size_t w = kReadWindow;
  const std::vector<std::size_t> places = {0, 100, w - 3, w, w + 1, w + 2, w + 5000, w + 150000, std::string::npos};
  int n = 0;
  for (const std::string_view odd : odds) {
    for (const std::size_t at : places) {
      test::WriteFile(path, LongFile(at, odd));
      // Both ways of reading lines, with the longest and the shortest limit.
      const bool plainScan = n % 2 == 0;
      const std::size_t limit = n++ % 3 == 0 ? kJurisdictionDifLineChars : kPlainLineChars;
      SCOPED_TRACE(testing::Message() << "odd byte " << static_cast<int>(static_cast<unsigned char>(odd[0])) << " at "
                                      << at << ", limit " << limit << (plainScan ? ", plain scan" : ""));
      DataText whole, settled;
      ASSERT_EQ(whole.Load(path), FileReadStatus::kOk);
      ASSERT_EQ(settled.Load(path), FileReadStatus::kOk);
      LineReader fromText(whole.text(), limit, whole.hasNul());
      LineReader asRead(settled, limit);
      const Lines expected = ReadLines(fromText, plainScan), actual = ReadLines(asRead, plainScan);
      ASSERT_EQ(actual.lines, expected.lines);
      ASSERT_EQ(actual.offsets, expected.offsets);
      EXPECT_EQ(actual.size, expected.size);
      EXPECT_EQ(settled.text(), whole.text());
      EXPECT_EQ(settled.hasNul(), whole.hasNul());
    }
  }
}

// A reader that starts past the beginning, or past the end, of a long file.
// The UTF-16 bytes of a text of the Basic Multilingual Plane (UTF-8 in).
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (const char16_t c : text) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// How a text is settled: UTF-8 (after a byte-order mark, whatever follows
// it) or Windows-1252, the line of a byte that is not UTF-8 among UTF-8
// letters, and the line of a Ctrl-Z that ends the text before more of it.
TEST(DataText, TheTextAsSettledAndWhatItLeavesOut) {
  const struct {
    std::string bytes, text;
    long notUtf8, ctrlZ;
  } cases[] = {
      {"Caf\xC3\xA9\n", "Caf\xE9\n", 0, 0},
      {"M\xFCller\n", "M\xFCller\n", 0, 0},
      {"\xEF\xBB\xBF" "Caf\xC3\xA9 M\xFCller\n", "Caf\xE9 M\xFCller\n", 0, 0},
      {"Caf\xC3\xA9\nM\xFCller\n", "Caf\xC3\xA9\nM\xFCller\n", 2, 0},
      {"a\nb\x1A\nc\n", "a\nb", 0, 2},
      {"a\nb\n\x1A", "a\nb\n", 0, 0},
      {"a\nb\n\x1A\r\n \x1A", "a\nb\n", 0, 0},
      // UTF-16 without a byte order mark, mostly in another script: its
      // NULs are where its ASCII is, on one side only.
      {Utf16(u"1000 \u5317\u4EAC\u8D38\u6613\u6709\u9650\u516C\u53F8 1\r\n", false),
       "1000 ???????? 1\r\n", 0, 0},
      {Utf16(u"1000 \u5317\u4EAC\u8D38\u6613\u6709\u9650\u516C\u53F8 1\r\n", true),
       "1000 ???????? 1\r\n", 0, 0},
      // Few NULs, or NULs on both sides, are 8-bit text with NULs in it.
      {std::string("ab\0cd\0ef", 8), std::string("ab\0cd\0ef", 8), 0, 0},
  };
  for (const auto& c : cases) {
    DataText text;
    text.Assign(c.bytes);
    EXPECT_EQ(text.text(), c.text) << c.bytes;
    EXPECT_EQ(text.notUtf8Line(), c.notUtf8) << c.bytes;
    EXPECT_EQ(text.ctrlZLine(), c.ctrlZ) << c.bytes;
  }
}

TEST(DataText, ReaderFromAnOffsetSettlesFromThere) {
  const test::TempDir dir;
  const std::string path = dir.file("long.csv");
  test::WriteFile(path, LongFile(kReadWindow + 100000, "\xC3\xA9"));
  for (const std::size_t start : {std::size_t{150}, kReadWindow + 50000, kReadWindow + 199990, kReadWindow + 300000}) {
    DataText whole, settled;
    ASSERT_EQ(whole.Load(path), FileReadStatus::kOk);
    ASSERT_EQ(settled.Load(path), FileReadStatus::kOk);
    LineReader fromText(whole.text(), kPlainLineChars, whole.hasNul(), start);
    LineReader asRead(settled, kPlainLineChars, start);
    EXPECT_EQ(ReadLines(asRead, false).lines, ReadLines(fromText, false).lines) << start;
  }
}

// A file shortened while its lines are read: the lines end, and the text is
// lost, whether the reader was streaming plain bytes or had yet to meet an
// odd one.
TEST(DataText, FileShortenedUnderTheReaderIsLost) {
  const test::TempDir dir;
  const std::string path = dir.file("long.csv");
  for (const std::size_t odd : {std::string::npos, kReadWindow + 150000}) {
    test::WriteFile(path, LongFile(odd, "\xE9"));
    DataText text;
    ASSERT_EQ(text.Load(path), FileReadStatus::kOk);
    LineReader lines(text, kPlainLineChars);
    std::string_view line;
    ASSERT_TRUE(lines.Next(line));
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    while (lines.Next(line)) {
    }
    EXPECT_TRUE(text.lost()) << odd;
    EXPECT_LT(lines.offset(), kReadWindow + 150000) << odd;
  }
}

// ---- DIF rows through the window ----------------------------------------------------

// A DIF row as a source gives it, with the source's position after it.
std::string RowText(const Row& row, std::size_t consumed) {
  std::string s = std::to_string(row.index) + (row.ended ? " ended" : "") + (row.blank ? " blank" : "") + " @" +
                  std::to_string(consumed) + ":";
  for (const Cell& cell : row.cells) s += " " + std::to_string(cell.column) + "=" + std::string(cell.text);
  return s;
}

std::vector<std::string> DifRows(const DataText& text, int32_t beginRow) {
  DifSource source(text, beginRow);
  std::vector<std::string> rows;
  Row row;
  while (source.Next(row)) rows.push_back(RowText(row, source.consumed()));
  rows.push_back("size " + std::to_string(source.size()) + (source.unusable() ? " unusable" : ""));
  return rows;
}

// 9,000 rows of five cells (past two read windows), one row of 9,000 cells (several
// windows long), `odd` put in a string cell of the row at byte `at` or
// further, and the last row without its end (and the text without its last
// line end) when `cut`.
std::string LongDif(std::size_t at, std::string_view odd, const char* lineEnd, bool cut) {
  std::string text = test::DifHeader(5, 9000);
  const std::string nl = lineEnd;
  for (int n = 0; n < 9000 || text.size() < 2 * kReadWindow + 100000; ++n) {
    text += "-1,0" + nl + "BOT" + nl + "0," + std::to_string(1000 + n) + nl + "V" + nl + "1,0" + nl + "\"Caption " +
            std::to_string(n) + "\"" + nl + "0,12.5" + nl + "V" + nl;
    if (n == 3000)
      for (int k = 0; k < 9000; ++k) text += "1,0" + nl + "\"wide " + std::to_string(k) + "\"" + nl;
    if (text.size() > at && odd.size() > 0) {
      text += "1,0" + nl + "\"" + std::string(odd) + "\"" + nl;
      at = std::string::npos;
    }
  }
  if (!cut) text += "-1,0" + nl + "EOD" + nl;
  else text.pop_back();
  return text;
}

TEST(DataText, DifRowsOfALongFileAreThoseOfItsWholeText) {
  const test::TempDir dir;
  const std::string path = dir.file("long.dif");
  const std::size_t w = kReadWindow;
  const struct {
    std::size_t at;
    std::string_view odd;
    const char* lineEnd;
    bool cut;
    int32_t beginRow;
  } cases[] = {
      {0, "", "\n", false, 0},
      {0, "", "\r\n", true, 0},
      {0, "", "\n", true, 5000},  // rows passed over, past the first windows
      {w - 5, "\xC3\xA9", "\n", false, 1},
      {w + 70000, "\xE9", "\r\n", false, 0},
      {w + 70000, std::string_view("\0", 1), "\n", false, 0},
      {w + 150000, "\x1A", "\n", false, 0},
  };
  for (const auto& c : cases) {
    test::WriteFile(path, LongDif(c.at, c.odd, c.lineEnd, c.cut));
    SCOPED_TRACE(testing::Message() << "odd byte at " << c.at << (c.lineEnd[0] == '\r' ? ", CRLF" : "")
                                    << (c.cut ? ", cut" : "") << ", from row " << c.beginRow);
    DataText whole, streamed;
    ASSERT_EQ(whole.Load(path), FileReadStatus::kOk);
    ASSERT_EQ(streamed.Load(path), FileReadStatus::kOk);
    ASSERT_FALSE(whole.text().empty());  // settled before the source sees it
    const std::vector<std::string> expected = DifRows(whole, c.beginRow), actual = DifRows(streamed, c.beginRow);
    ASSERT_GT(expected.size(), 1000u);
    EXPECT_EQ(actual, expected);
  }
}

}  // namespace
}  // namespace zephrin
