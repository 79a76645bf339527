// The check an .xls passes before FreeXL opens it: small compound documents
// and record streams, sound and damaged in each way FreeXL would mishandle,
// and the damaged ones refused through the workbook source with the usual
// sentence.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "readers/workbook_source.h"
#include "readers/xls_compound.h"
#include "readers/xls_records.h"
#include "test_util.h"

namespace zephrin {
namespace {

using namespace std::string_literals;

constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatMark = 0xFFFFFFFD;

void Put(std::string& bytes, std::size_t at, uint32_t value, int width = 4) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// A directory entry: a name in UTF-16 with its NUL, and its stream.
std::string Entry(std::string_view name, uint32_t start, uint32_t size) {
  std::string entry(128, '\0');
  for (std::size_t i = 0; i < name.size(); ++i) entry[2 * i] = name[i];
  Put(entry, 64, static_cast<uint32_t>(2 * name.size() + 2), 2);
  Put(entry, 116, start);
  Put(entry, 120, size);
  return entry;
}

// A document of 512-byte sectors: the allocation table (sector 0), the
// directory (sector 1: the root, with a mini stream in sectors 2 and 3, and
// the workbook, in sectors 4 and 5), then the streams' sectors.
struct Document {
  std::string header = std::string(512, '\0');
  std::vector<std::string> sectors = std::vector<std::string>(6, std::string(512, '\0'));

  Document() {
    const unsigned char signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) header[i] = static_cast<char>(signature[i]);
    Put(header, 26, 3, 2);
    Put(header, 28, 0xFFFE, 2);
    Put(header, 30, 9, 2);
    Put(header, 32, 6, 2);
    Put(header, 44, 1);
    Put(header, 48, 1);    // the directory's first sector
    Put(header, 56, 4096);  // the mini stream cutoff
    Put(header, 60, kEnd);
    Put(header, 68, kEnd);
    for (int slot = 0; slot < 109; ++slot) Put(header, 76 + 4 * slot, slot == 0 ? 0 : kFree);
    sectors[0].assign(512, '\xFF');
    const uint32_t chain[] = {kFatMark, kEnd, 3, kEnd, 5, kEnd};
    for (int i = 0; i < 6; ++i) Put(sectors[0], 4 * i, chain[i]);
    sectors[1].replace(0, 128, Entry("Root Entry", 2, 1024));
    sectors[1].replace(128, 128, Entry("Workbook", 4, 1000));
  }
  std::string Bytes() const {
    std::string bytes = header;
    for (const std::string& sector : sectors) bytes += sector;
    return bytes;
  }
};

using Damage = void (*)(Document&);

TEST(XlsCompound, DocumentsFreeXlWouldMishandleAreRefused) {
  const struct {
    const char* what;
    Damage damage;
    bool refused;
  } cases[] = {
      {"a sound document", [](Document&) {}, false},
      {"a workbook in the mini stream", [](Document& d) { Put(d.header, 64, 1), Put(d.sectors[1], 128 + 120, 700); },
       false},
      {"a name longer than its field",
       [](Document& d) { Put(d.sectors[1], 128 + 64, 65, 2); }, true},
      {"a name of 64 bytes", [](Document& d) { Put(d.sectors[1], 64, 64, 2); }, false},
      {"slot sectors that loop",
       [](Document& d) {
         Put(d.header, 68, 6), Put(d.header, 72, kFree);
         d.sectors.emplace_back(512, '\xFF');
         Put(d.sectors[6], 508, 6);
       },
       true},
      {"slot sectors as many as the header says",
       [](Document& d) {
         Put(d.header, 68, 6), Put(d.header, 72, 1);
         d.sectors.emplace_back(512, '\xFF');
         Put(d.sectors[6], 508, 6);
       },
       false},
      {"a workbook longer than the file", [](Document& d) { Put(d.sectors[1], 128 + 120, 1u << 30); }, true},
      {"a mini stream longer than the file",
       [](Document& d) { Put(d.header, 64, 1), Put(d.sectors[1], 120, 1u << 30), Put(d.sectors[1], 128 + 120, 700); },
       true},
      {"a workbook longer than its mini stream",
       [](Document& d) { Put(d.header, 64, 1), Put(d.sectors[1], 120, 600), Put(d.sectors[1], 128 + 120, 700); },
       true},
      {"a mini stream's chain past the file's end",
       [](Document& d) { Put(d.header, 64, 1), Put(d.sectors[1], 116, 40), Put(d.sectors[1], 128 + 120, 700); },
       true},
      {"a name that is no UTF-16, which FreeXL refuses itself",
       [](Document& d) { Put(d.sectors[1], 128 + 64, 17, 2), Put(d.sectors[1], 128 + 120, 1u << 30); }, false},
      {"no workbook, which FreeXL refuses itself",
       [](Document& d) { Put(d.sectors[1], 128, 'X', 1), Put(d.sectors[1], 128 + 120, 1u << 30); }, false},
  };
  test::TempDir dir;
  const std::string path = dir.file("book.xls");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Document document;
    c.damage(document);
    test::WriteFile(path, document.Bytes());
    const auto checked = workbook::CheckCompoundDocument(path);
    EXPECT_EQ(checked.ok() ? "" : checked.error().message, c.refused ? "its compound document is damaged" : "");
    if (!c.refused) continue;
    const auto source = OpenWorkbook(WorkbookKind::kXls, path, "book", "");
    ASSERT_FALSE(source.ok());
    EXPECT_EQ(source.error().message, "The workbook book cannot be read: its compound document is damaged.");
  }
}

// A record: its type, its size and its body.
std::string Record(uint32_t type, std::string_view body) {
  std::string record(4, '\0');
  Put(record, 0, type, 2);
  Put(record, 2, static_cast<uint32_t>(body.size()), 2);
  return record.append(body);
}

std::string Le(uint32_t value, int width) {
  std::string bytes(width, '\0');
  Put(bytes, 0, value, width);
  return bytes;
}

// A version 8 stream: its BOF, then `records`.
std::string Stream(std::string_view records) {
  return Record(0x0809, Le(0x0600, 2) + std::string(14, '\0')).append(records);
}

// The shared strings record with `count` strings, and its body.
std::string Sst(uint32_t count, std::string_view strings) {
  return Record(0x00FC, Le(count, 4) + Le(count, 4) + std::string(strings));
}

TEST(XlsRecords, TextsThatRunPastTheirRecordAreFound) {
  const std::string label = Le(0, 2) + Le(0, 2) + Le(15, 2);  // row, column, format
  const struct {
    const char* what;
    std::string stream;
    bool overrun;
  } cases[] = {
      {"a label", Stream(Record(0x0204, label + Le(3, 2) + "\0abc"s)), false},
      {"a label longer than its record", Stream(Record(0x0204, label + Le(4, 2) + "\0abc"s)), true},
      {"a label of two-byte characters", Stream(Record(0x0204, label + Le(2, 2) + "\1a\0b\0"s)), false},
      {"a label of two-byte characters past its record", Stream(Record(0x0204, label + Le(3, 2) + "\1a\0b\0c"s)),
       true},
      {"a label record cut before its length", Stream(Record(0x0204, label)), true},
      {"a number format", Stream(Record(0x041E, Le(164, 2) + Le(4, 2) + "\0yyyy"s)), false},
      {"a number format past its record", Stream(Record(0x041E, Le(164, 2) + Le(0xFFFF, 2) + "\0yyyy"s)), true},
      {"shared strings", Stream(Sst(2, Le(2, 2) + "\0ab"s + Le(1, 2) + "\1c\0"s)), false},
      {"a shared string continued", Stream(Sst(1, Le(4, 2) + "\0ab"s) + Record(0x003C, "\0cd"s)), false},
      {"a shared string continued in two-byte characters",
       Stream(Sst(1, Le(4, 2) + "\0ab"s) + Record(0x003C, "\1c\0d\0"s)), false},
      {"a continued string longer than the next record",
       Stream(Sst(1, Le(4, 2) + "\0ab"s) + Record(0x003C, "\1c\0"s)), true},
      {"formatting runs past the record, then another string",
       Stream(Sst(2, Le(1, 2) + "\x08"s + Le(0x4000, 2) + "a" + Le(1, 2) + "\0b"s)), false},
      {"formatting runs past the next record",
       Stream(Sst(2, Le(1, 2) + "\x08"s + Le(0x4000, 2) + "a") + Record(0x003C, Le(1, 2) + "\0b"s)), true},
      {"a string header past its record", Stream(Sst(1, Le(1, 2))), true},
      {"a second table", Stream(Sst(0, "") + Sst(0, "")), true},
      {"records after the stream's end", Stream(Record(0, "") + Record(0x0204, label + Le(9, 2))), false},
      {"a version 5 label", Record(0x0809, Le(0x0500, 2) + std::string(6, '\0')) + Record(0x0204, label + Le(3, 2) + "abc"),
       false},
      {"a version 5 label past its record",
       Record(0x0809, Le(0x0500, 2) + std::string(6, '\0')) + Record(0x0204, label + Le(4, 2) + "abc"), true},
      {"no BOF first, which FreeXL refuses itself", Record(0x0204, label + Le(9, 2)), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(workbook::WalkRecords(c.stream).unsafe, c.overrun);
  }
}

// A version 8 workbook stream: the globals naming a sheet for each of
// `sheets`, then each sheet's records between its BOF and EOF.
// The sheets are named A, B, C ...
// `globals` go before the sheets' names.
std::string Book(const std::vector<std::string>& sheets, const std::string& globalRecords = "") {
  const std::string bof = Record(0x0809, Le(0x0600, 2) + std::string(14, '\0'));
  const std::string eof = Record(0x000A, "");
  const std::size_t sheetRecord = 4 + 4 + 2 + 3;
  std::size_t offset = bof.size() + globalRecords.size() + sheets.size() * sheetRecord + eof.size();
  std::string globals = bof + globalRecords, substreams;
  for (const std::string& records : sheets) {
    const char name = static_cast<char>('A' + &records - sheets.data());
    globals += Record(0x0085, Le(static_cast<uint32_t>(offset), 4) + Le(0, 2) + "\x01\x00"s + name);
    const std::string substream = bof + records + eof;
    substreams += substream;
    offset += substream.size();
  }
  return globals + eof + substreams;
}

std::string Dimension(uint32_t rows, uint32_t columns) {
  return Record(0x0200, Le(0, 4) + Le(rows, 4) + Le(0, 2) + Le(columns, 2) + Le(0, 2));
}

TEST(XlsRecords, CellTablesMadeAgainAreFound) {
  const std::string chart;  // a sheet of no DIMENSION, as a chart sheet
  const std::pair<std::string, bool> cases[] = {
      {Book({Dimension(3, 2), Dimension(10, 5)}), false},
      {Book({Dimension(3, 2) + Dimension(3, 2)}), true},
      {Book({Dimension(3, 2), Dimension(10, 5) + Dimension(3, 2)}), true},
      // Tables for the sheets without dimensions, the size of the last sheet's.
      {Book({chart, Dimension(65536, 200)}), false},
      {Book({chart, chart, Dimension(65536, 200)}), true},
      {Book({chart, chart, chart, Dimension(1000, 20)}), false},
  };
  for (const auto& [stream, found] : cases) EXPECT_EQ(workbook::WalkRecords(stream).unsafe, found);
}

TEST(XlsRecords, MoreCellFormatsThanFreeXlKeepsAreFound) {
  std::string formats;
  for (int i = 0; i < 8192; ++i) formats += Record(0x00E0, std::string(20, '\0'));
  EXPECT_FALSE(workbook::WalkRecords(Stream(formats)).unsafe);
  EXPECT_TRUE(workbook::WalkRecords(Stream(formats + Record(0x00E0, std::string(20, '\0')))).unsafe);
  std::string legacy = Record(0x0409, std::string(6, '\0'));
  for (int i = 0; i < 8193; ++i) legacy += Record(0x0443, std::string(12, '\0'));
  EXPECT_TRUE(workbook::LegacyRecordsUnsafe(legacy));
}

TEST(XlsRecords, LegacyRecordsFreeXlWouldMishandleAreRefused) {
  const std::string label = Le(0, 2) + Le(0, 2) + Le(15, 2);
  const std::string bof4 = Record(0x0409, std::string(6, '\0'));
  const std::pair<std::string, bool> cases[] = {
      {bof4 + Record(0x0204, label + "\x03\x00"s + "abc") + Record(0x000A, ""), false},
      {bof4 + Record(0x0204, label + "\xFF\xFF"s + "abc") + Record(0x000A, ""), true},
      {bof4 + Record(0x000A, "") + Record(0x0204, label + "\xFF\xFF"s + "abc"), false},
      // Version 2 gives a label's length in one byte, which FreeXL's buffer holds.
      {Record(0x0009, std::string(4, '\0')) + Record(0x0204, label + "\xFF\xFF"s + "abc"), false},
      // Each DIMENSION makes the table again.
      {bof4 + Record(0x0200, std::string(10, '\0')) + Record(0x0200, std::string(10, '\0')), true},
      {Record(0x0009, std::string(4, '\0')) + Record(0x0000, std::string(8, '\0')) + Record(0x0000, ""), true},
      {bof4 + Record(0x0200, std::string(10, '\0')) + Record(0x000A, "") + Record(0x0200, ""), false},
      // A cell before any DIMENSION has the table made from the cells ahead;
      // a DIMENSION after it makes it again (and one this large crashed FreeXL).
      {bof4 + Record(0x0203, "") + Record(0x0200, Le(0xCFD0, 2) + Le(0xE011, 2) + Le(0xB1A1, 2) + Le(0xE11A, 2) + Le(0, 2)), true},
      {bof4 + Record(0x027E, std::string(10, '\0')) + Record(0x0200, std::string(10, '\0')), true},
      {Record(0x0009, std::string(4, '\0')) + Record(0x0002, std::string(9, '\0')) + Record(0x0000, std::string(8, '\0')), true},
      // A cell of another version is no cell, and cells after the DIMENSION are the usual order.
      {bof4 + Record(0x0003, std::string(15, '\0')) + Record(0x0200, std::string(10, '\0')), false},
      {bof4 + Record(0x0200, std::string(10, '\0')) + Record(0x0203, std::string(14, '\0')) + Record(0x000A, ""), false},
      {bof4 + Record(0x0205, std::string(8, '\0')) + Record(0x000A, ""), false},
  };
  test::TempDir dir;
  const std::string path = dir.file("book.xls");
  for (const auto& [bytes, refused] : cases) {
    test::WriteFile(path, bytes);
    EXPECT_EQ(workbook::LegacyRecordsUnsafe(bytes), refused);
    const auto checked = workbook::CheckCompoundDocument(path);
    EXPECT_EQ(checked.ok() ? "" : checked.error().message, refused ? "its compound document is damaged" : "");
  }
}

TEST(XlsCompound, RecordsArePassedInTheWorkbookStream) {
  test::TempDir dir;
  const std::string path = dir.file("book.xls");
  for (const bool mini : {false, true}) {
    Document document;
    const std::string stream = Stream(Record(0x041E, Le(164, 2) + Le(0xFFFF, 2) + "\0yyyy"s));
    std::string& sector = document.sectors[mini ? 2 : 4];
    sector.replace(0, stream.size(), stream);
    if (mini) Put(document.header, 64, 1), Put(document.sectors[1], 128 + 120, 700);
    test::WriteFile(path, document.Bytes());
    const auto source = OpenWorkbook(WorkbookKind::kXls, path, "book", "");
    ASSERT_FALSE(source.ok());
    EXPECT_EQ(source.error().message, "The workbook book cannot be read: its compound document is damaged.");
  }
}

// FreeXL makes a table for a sheet without dimensions (a chart sheet) in
// place of the last sheet's, whose cells it loses: reading either of those
// sheets is refused with the reason; the others read.
TEST(XlsCompound, TheSheetFreeXlEmptiesIsRefused) {
  const std::string number = Record(0x0203, Le(0, 2) + Le(1, 2) + Le(15, 2) + "\0\0\0\0\0\0\xF8\x3F"s);
  const std::string data = Dimension(1, 2) + number;
  const auto losses = [](const std::string& stream) {
    const workbook::SheetLosses found = workbook::WalkRecords(stream).losses;
    std::string text = std::to_string(found.emptied);
    for (const int sheet : found.tableless) text += " " + std::to_string(sheet);
    return text;
  };
  EXPECT_EQ(losses(Book({"", data})), "1 0");
  EXPECT_EQ(losses(Book({data, ""})), "-1");  // the last sheet makes its own table
  EXPECT_EQ(losses(Book({data, data})), "-1");
  EXPECT_EQ(losses(Book({"", data, "", data})), "3 0 2");

  Document document;
  const std::string stream = Book({data, "", data});
  document.sectors[4].replace(0, stream.size(), stream);
  test::TempDir dir;
  const std::string path = dir.file("book.xls");
  test::WriteFile(path, document.Bytes());
  const std::pair<const char*, const char*> refusals[] = {
      {"C", "its sheet C cannot be read while another sheet has no dimensions (as a chart sheet has none); saved as "
            ".xlsx it can."},
      {"B", "its sheet B has no dimensions (as a chart sheet has none) and cannot be read."},
  };
  for (const auto& [sheet, reason] : refusals) {
    const auto refused = OpenWorkbook(WorkbookKind::kXls, path, "book", sheet);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, std::string("The workbook book cannot be read: ") + reason);
  }
  auto source = OpenWorkbook(WorkbookKind::kXls, path, "book", "A");
  ASSERT_TRUE(source.ok()) << source.error().message;
  Row row;
  ASSERT_TRUE((*source)->Next(row));
  ASSERT_EQ(row.cells.size(), 2u);
  EXPECT_EQ(row.cells[1].text, "1.5");
  EXPECT_FALSE((*source)->Next(row));
}


// A FORMULA record at row 0 (or `row`), `column`, cell format `xf`, with
// its eight bytes of result and no formula tokens.
std::string Formula(uint32_t column, uint32_t xf, const std::string& result, uint32_t row = 0) {
  return Record(0x0006, Le(row, 2) + Le(column, 2) + Le(xf, 2) + result + std::string(8, '\0'));
}
std::string NumberResult(double value) {
  std::string bytes(8, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}
// The result of another kind: a text (0, in the STRING record after it), a
// boolean (1), an error (2) or an empty text (3).
std::string OtherResult(uint32_t kind, uint32_t value) { return Le(kind, 1) + "\0"s + Le(value, 1) + "\0\0\0\xFF\xFF"s; }
std::string BoolErr(uint32_t column, uint32_t value, bool error) {
  return Record(0x0205, Le(1, 2) + Le(column, 2) + Le(15, 2) + Le(value, 1) + Le(error, 1));
}

// FreeXL gives no formula cell, and a boolean or an error as a number: the
// records' walk keeps those cells as the workbook holds them, a formula's
// number shown as its cell format shows it, and the sheet reads them.
TEST(XlsRecords, FormulaResultsBooleansAndErrorsReadAsTheWorkbookHoldsThem) {
  const auto xf = [](uint32_t format) { return Record(0x00E0, Le(0, 2) + Le(format, 2) + std::string(16, '\0')); };
  const std::string globals = xf(0) + xf(14) + xf(164) +
                              Record(0x041E, Le(164, 2) + Le(16, 2) + "\0yyyy-mm-dd hh:mm"s);
  const std::string sheet =
      Dimension(2, 9) + Formula(0, 0, NumberResult(1234.5)) + Formula(1, 1, NumberResult(45382)) +
      Formula(2, 2, NumberResult(45382.5)) + Formula(3, 0, OtherResult(0, 0)) + Record(0x0207, Le(6, 2) + "\0M\xFCller"s) +
      Formula(4, 0, OtherResult(1, 1)) + Formula(5, 0, OtherResult(2, 0x07)) + Formula(6, 0, OtherResult(3, 0)) +
      Formula(7, 1, NumberResult(-0.000001)) +
      // Row 2: booleans and errors, and a cell whose last record holds.
      BoolErr(0, 0, false) + BoolErr(1, 0x2A, true) + BoolErr(2, 1, false) + Formula(2, 0, NumberResult(7), 1);
  const std::string stream = Book({sheet}, globals);
  ASSERT_LE(stream.size(), 1000u);
  Document document;
  document.sectors[4].replace(0, std::min<std::size_t>(stream.size(), 512), stream.substr(0, 512));
  if (stream.size() > 512) document.sectors[5].replace(0, stream.size() - 512, stream.substr(512));
  test::TempDir dir;
  const std::string path = dir.file("book.xls");
  test::WriteFile(path, document.Bytes());
  auto source = OpenWorkbook(WorkbookKind::kXls, path, "book", "");
  ASSERT_TRUE(source.ok()) << source.error().message;
  std::string rows;
  for (Row row; (*source)->Next(row);) {
    rows += std::to_string(row.index) + ":";
    for (const Cell& cell : row.cells) rows += " [" + std::string(cell.text) + (cell.number ? "#]" : "]");
    rows += "\n";
  }
  EXPECT_EQ(rows,
            "0: [1234.5#] [03/31/2024] [03/31/2024 12:00:00] [M\xFCller] [TRUE] [#DIV/0!] [] [-0.000001#]\n"
            "1: [FALSE] [#N/A] [7#]\n");
}

}  // namespace
}  // namespace zephrin
