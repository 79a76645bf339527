// The workbook source alone: the rows of workbooks written by two independent
// writers (openpyxl, and LibreOffice converting openpyxl's files) and of
// workbooks made here part by part, every refusal with its exact sentence,
// and the value rules at their edges.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "readers/held_sheet.h"
#include "readers/workbook_source.h"
#include "readers/workbook_values.h"
#include "platform/text.h"
#include "test_util.h"

namespace zephrin {
namespace {

std::string Fixture(const std::string& name) { return test::DataPath("workbooks/" + name); }

// The rows as text, one line a row: its index and its cells in brackets (in
// UTF-8; a long run of one character as "<N x C>"), then any failure. Checks
// what every row must be on the way: cells numbered from 0, the byte count,
// blank rows without cells.
std::string Dump(WorkbookSource& source) {
  std::string out;
  Row row;
  while (source.Next(row)) {
    out += std::to_string(row.index) + ":";
    if (row.blank) out += " (blank)";
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const Cell& cell = row.cells[i];
      EXPECT_EQ(cell.column, i);
      bytes += cell.text.size();
      const bool run = cell.text.size() > 100 && cell.text.find_first_not_of(cell.text[0]) == std::string_view::npos;
      out += " [" + (run ? "<" + std::to_string(cell.text.size()) + " x " + cell.text[0] + ">" : AnsiToUtf8(cell.text)) + "]";
    }
    EXPECT_EQ(bytes, row.textBytes);
    EXPECT_EQ(row.blank, row.cells.empty());
    out += "\n";
  }
  if (source.failure()) out += "failure: " + source.failure()->message + "\n";
  return out;
}

std::string Read(const std::string& path, std::string_view sheet = "") {
  auto source = OpenWorkbookSheet(SniffWorkbook(path), path, "book", sheet);
  if (!source) return "error: " + source.error().message + "\n";
  return Dump(**source);
}

// ---- Workbooks made part by part -----------------------------------------------------

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct Part {
  std::string name, text;
};
using Parts = std::vector<Part>;

void WriteZip(const std::string& path, const Parts& parts) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  for (const Part& p : parts) {
    zip_source_t* src = zip_source_buffer(z, p.text.data(), p.text.size(), 0);
    const zip_int64_t i = zip_file_add(z, p.name.c_str(), src, ZIP_FL_OVERWRITE);
    ASSERT_GE(i, 0);
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_DEFLATE, 9);
  }
  ASSERT_EQ(zip_close(z), 0);
}

// A workbook of one sheet "Data" whose sheetData holds `rows`, with shared
// strings and cell formats (the inside of <sst> and of <styleSheet>) when given.
Parts Book(const std::string& rows, const std::string& strings = "", const std::string& styles = "") {
  const std::string ns = std::string("xmlns=\"") + kMain + "\"";
  const auto relation = [](const char* id, const char* type, const char* target) {
    return "<Relationship Id=\"" + std::string(id) + "\" Type=\"" + kRel + type + "\" Target=\"" + target + "\"/>";
  };
  std::string relations = relation("rId1", "/worksheet", "worksheets/sheet1.xml");
  if (!strings.empty()) relations += relation("rId2", "/sharedStrings", "/xl/sharedStrings.xml");
  if (!styles.empty()) relations += relation("rId3", "/styles", "./styles.xml");
  Parts parts = {
      {"xl/workbook.xml", "<workbook " + ns + " xmlns:r=\"" + kRel +
                              "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + relations +
           "</Relationships>"},
      {"xl/worksheets/sheet1.xml", "<worksheet " + ns + "><sheetData>" + rows + "</sheetData></worksheet>"}};
  if (!strings.empty()) parts.push_back({"xl/sharedStrings.xml", "<sst " + ns + ">" + strings + "</sst>"});
  if (!styles.empty()) parts.push_back({"xl/styles.xml", "<styleSheet " + ns + ">" + styles + "</styleSheet>"});
  return parts;
}

Parts Without(Parts parts, const std::string& name) {
  std::erase_if(parts, [&](const Part& p) { return p.name == name; });
  return parts;
}
Parts With(Parts parts, const std::string& name, std::string text) {
  for (Part& p : parts)
    if (p.name == name) p.text = std::move(text);
  return parts;
}

uint32_t Le32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void PutLe32(std::string& b, std::size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// Makes the archive's headers of `name` say it inflates to `size` bytes.
void UnderstateSize(const std::string& path, const std::string& name, uint32_t size) {
  std::string b = test::ReadFile(path);
  for (const auto& [signature, sizeAt, nameAt] : {std::tuple{"PK\x03\x04", 22, 30}, std::tuple{"PK\x01\x02", 24, 46}})
    for (std::size_t at = b.find(signature); at != std::string::npos; at = b.find(signature, at + 4))
      if (b.compare(at + nameAt, name.size(), name) == 0) PutLe32(b, at + sizeAt, size);
  test::WriteFile(path, b);
}

// Adds a stored entry `name` of `size` bytes to the archive, its data a hole
// of the file (nothing is written for it).
void AddSparseEntry(const std::string& path, const std::string& name, uint32_t size) {
  const std::string b = test::ReadFile(path);
  const std::size_t end = b.rfind("PK\x05\x06");
  const uint32_t directorySize = Le32(b, end + 12), directoryAt = Le32(b, end + 16);
  const auto header = [&](const char* signature, std::size_t fixed, std::size_t sizesAt, std::size_t nameLengthAt) {
    std::string h(signature, 4);
    h.resize(fixed, '\0');
    h[4] = 20;
    PutLe32(h, sizesAt, size);
    PutLe32(h, sizesAt + 4, size);
    h[nameLengthAt] = static_cast<char>(name.size());
    return h + name;
  };
  const std::string local = header("PK\x03\x04", 30, 18, 26);
  std::string central = header("PK\x01\x02", 46, 20, 28);
  PutLe32(central, 42, directoryAt);
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, b.data(), directoryAt), static_cast<ssize_t>(directoryAt));
  ASSERT_EQ(::write(fd, local.data(), local.size()), static_cast<ssize_t>(local.size()));
  const off_t newDirectory = ::lseek(fd, size, SEEK_CUR);
  std::string tail = b.substr(directoryAt, directorySize) + central + b.substr(end);
  tail[directorySize + central.size() + 8] += 1;   // entries on this disk
  tail[directorySize + central.size() + 10] += 1;  // entries in all
  PutLe32(tail, directorySize + central.size() + 12, directorySize + static_cast<uint32_t>(central.size()));
  PutLe32(tail, directorySize + central.size() + 16, static_cast<uint32_t>(newDirectory));
  ASSERT_EQ(::write(fd, tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));
  ::close(fd);
}

class MadeBook : public testing::Test {
 protected:
  std::string Make(const Parts& parts) {
    const std::string path = dir.file("book.xlsx");
    WriteZip(path, parts);
    return path;
  }
  test::TempDir dir;
};

// ---- The fixtures --------------------------------------------------------------------

const std::string kTrialBalance =
    "0: [Account] [Caption] [Balance]\n"
    "1: [1000] [Cash] [15250]\n"
    "2: [1100] [Receivables] [1234.5]\n"
    "3: [2000] [Payables] [-987.25]\n"
    "4: (blank)\n"
    "5: [3000] [Caf\u00e9 \u20ac ?] [0.3]\n"
    "6: [4000] [] [0.0000001]\n"
    "7: [5000] [<2699 x L>] [150000000000000000000]\n";

const std::string kChartDates =
    "0: [Account] [Opened] [Closed at] [Custom] [Time] [Clock] [Plain]\n"
    "1: [1000] [03/31/2024] [12/01/2023 14:05:30] [03/31/2024] [08:30:15] [18:00:00] [45382]\n"
    "2: [1900] [02/28/1900] [] [03/01/1900]\n";

// openpyxl leaves a formula without a cached value; LibreOffice computes it.
const std::string kMixedOpenpyxl =
    "0: [Flag] [Amount] [Twice] [Text] [Error]\n"
    "1: [TRUE] [10] [] [] [#N/A]\n"
    "2: [FALSE] [2.5] [] [] [#DIV/0!]\n"
    "3: [Merged heading] [] [] [after]\n";
const std::string kMixedLibreOffice =
    "0: [Flag] [Amount] [Twice] [Text] [Error]\n"
    "1: [TRUE] [10] [20] [1x] [#N/A]\n"
    "2: [FALSE] [2.5] [5] [] [#DIV/0!]\n"
    "3: [Merged heading] [] [] [after]\n";
// The .xls keeps what LibreOffice wrote: the text formula's result as the
// number 0 (in the first row; the empty text of the second reads empty).
const std::string kMixedXls =
    "0: [Flag] [Amount] [Twice] [Text] [Error]\n"
    "1: [TRUE] [10] [20] [0] [#N/A]\n"
    "2: [FALSE] [2.5] [5] [] [#DIV/0!]\n"
    "3: [Merged heading] [] [] [after]\n";

struct FixtureCase {
  const char* file;
  const char* sheet;
  const std::string* rows;
};

TEST(WorkbookFixtures, EveryWriterGivesTheSameRows) {
  const std::string notes = "0: (blank)\n1: [] [second sheet]\n", totals = "0: [third]\n";
  const std::string dates1904 =
      "0: [Account] [Opened] [Closed at] [Custom] [Time] [Clock] [Plain]\n"
      "1: [1000] [03/31/2024] [12/01/2023 14:05:30] [03/31/2024] [08:30:15] [18:00:00] [45382]\n"
      "2: [1900] [-1402] [] [-1401]\n";
  const FixtureCase cases[] = {
      {"trial_balance.xlsx", "", &kTrialBalance},      {"trial_balance_lo.xlsx", "", &kTrialBalance},
      {"trial_balance.xls", "", &kTrialBalance},       {"chart_dates.xlsx", "", &kChartDates},
      {"chart_dates_lo.xlsx", "chart", &kChartDates},  {"chart_dates.xls", "CHART", &kChartDates},
      {"chart_dates_1904.xlsx", "", &dates1904},       {"mixed.xlsx", "", &kMixedOpenpyxl},
      {"mixed_lo.xlsx", "Accounts", &kMixedLibreOffice}, {"mixed.xls", "", &kMixedXls},
      {"mixed.xlsx", "notes", &notes},                 {"mixed_lo.xlsx", "NOTES", &notes},
      {"mixed.xls", "Notes", &notes},                  {"mixed.xlsx", "TOTALS", &totals},
      {"mixed.xls", "totals", &totals},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " sheet " + c.sheet);
    EXPECT_EQ(Read(Fixture(c.file), c.sheet), *c.rows);
  }
}

// A program that writes formulas without computing them leaves their results
// out: such cells read as empty, and are counted, the first named.
TEST(WorkbookFixtures, FormulasWithoutTheirResultAreCounted) {
  const std::pair<const char*, const char*> cases[] = {{"mixed.xlsx", "3 C2"}, {"mixed_lo.xlsx", "0 "}};
  for (const auto& [file, counted] : cases) {
    auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, Fixture(file), "book", "");
    ASSERT_TRUE(source) << file;
    (void)Dump(**source);
    const UncomputedFormulas found = (*source)->uncomputedFormulas();
    EXPECT_EQ(std::to_string(found.cells) + " " + found.first, counted) << file;
  }
}

TEST(WorkbookFixtures, SheetsComeInWorkbookOrder) {
  for (const char* file : {"mixed.xlsx", "mixed_lo.xlsx", "mixed.xls"}) {
    const std::string path = Fixture(file);
    const auto names = WorkbookSheets(SniffWorkbook(path), path, "book");
    ASSERT_TRUE(names.ok()) << file;
    EXPECT_EQ(*names, (std::vector<std::string>{"Accounts", "Notes", "Totals"})) << file;
  }
}

TEST(WorkbookFixtures, TemplateColumnsAndProgress) {
  for (const char* file : {"chart_dates.xlsx", "chart_dates.xls"}) {
    auto source = OpenWorkbookSheet(SniffWorkbook(Fixture(file)), Fixture(file), "book", "");
    ASSERT_TRUE(source.ok()) << file;
    Row row;
    while ((*source)->Next(row)) EXPECT_LE((*source)->consumed(), (*source)->size());
    EXPECT_EQ((*source)->templateColumns(), 7) << file;
    EXPECT_EQ((*source)->consumed(), (*source)->size()) << file;
    EXPECT_FALSE((*source)->failure()) << file;
  }
}

TEST_F(MadeBook, SniffingReadsTheContentNotTheName) {
  const std::string csv = dir.file("book.xlsx.csv");
  test::WriteFile(csv, "a,b\n");
  const std::string other = dir.file("other.zip");
  WriteZip(other, {{"word/document.xml", "<w/>"}});
  // Archives that are no workbook, or that lost their directory (a copy cut
  // short, before or after its workbook part), are read as workbooks, which
  // say what is wrong: as text their bytes would give records of noise.
  std::string damaged = test::ReadFile(Fixture("mixed.xlsx"));
  damaged.resize(damaged.size() - 30);
  test::WriteFile(dir.file("damaged"), damaged);
  test::WriteFile(dir.file("cut"), test::ReadFile(Fixture("mixed.xlsx")).substr(0, 100));
  ::mkfifo(dir.file("pipe").c_str(), 0644);
  const std::pair<std::string, WorkbookKind> cases[] = {
      {Fixture("trial_balance.xlsx"), WorkbookKind::kXlsx}, {Fixture("trial_balance.xls"), WorkbookKind::kXls},
      {csv, WorkbookKind::kNone},  {other, WorkbookKind::kXlsx}, {dir.file("cut"), WorkbookKind::kXlsx},
      {dir.file("damaged"), WorkbookKind::kXlsx}, {dir.file("missing"), WorkbookKind::kNone},
      {dir.str(), WorkbookKind::kNone}, {dir.file("pipe"), WorkbookKind::kNone},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(SniffWorkbook(path), kind) << path;
}

// ---- Values and rows of made workbooks ---------------------------------------------------

const std::string kStyles =
    "<numFmts><numFmt numFmtId=\"164\" formatCode=\"[h]:mm:ss\"/><numFmt numFmtId=\"165\" formatCode=\"dd/mm/yyyy hh:mm\"/>"
    "<numFmt numFmtId=\"166\" formatCode=\"0.00&quot; days&quot;\"/><numFmt numFmtId=\"167\" formatCode=\"mmm\"/>"
    "<numFmt numFmtId=\"168\" formatCode=\"[Red]\\d\\a\\y 0\"/></numFmts>"
    "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
    "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"22\"/><xf numFmtId=\"18\"/><xf numFmtId=\"47\"/>"
    "<xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"166\"/><xf numFmtId=\"167\"/><xf numFmtId=\"168\"/>"
    "<xf numFmtId=\"4\"/></cellXfs>";

const std::string kStrings =
    "<si><t>plain</t></si>"
    "<si><r><t>Ri</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">ch  </t></r><rPh><t>reading</t></rPh></si>"
    "<si><t>Caf&#233; &#x2713; a_x0009_b_x005F_x</t></si>";

TEST_F(MadeBook, ValuesReadAsTheWorkbookShowsThem) {
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45382</v></c><c r=\"B1\" s=\"2\"><v>45382.5</v></c>"
      "<c r=\"C1\" s=\"3\"><v>0.25</v></c><c r=\"D1\" s=\"4\"><v>0.0001</v></c><c r=\"E1\" s=\"5\"><v>1.5</v></c>"
      "<c r=\"F1\" s=\"6\"><v>45382.75</v></c><c r=\"G1\" s=\"7\"><v>3</v></c><c r=\"H1\" s=\"8\"><v>45382</v></c>"
      "<c r=\"I1\" s=\"9\"><v>7</v></c><c r=\"J1\" s=\"10\"><v>1234567.891</v></c><c r=\"K1\" s=\"99\"><v>2</v></c>"
      "<c r=\"L1\" s=\"1\"><v>-1</v></c><c r=\"M1\" s=\"1\"><v>n/a</v></c></row>"
      "<row r=\"2\"><c r=\"A2\" t=\"b\"><v>1</v></c><c r=\"B2\" t=\"e\"><v>#REF!</v></c>"
      "<c r=\"C2\" t=\"str\"><f>UPPER(\"abc\")</f><v>ABC </v></c><c r=\"D2\" t=\"inlineStr\"><is><t>in</t></is></c>"
      "<c r=\"E2\" t=\"inlineStr\"><is><r><t>ri</t></r><r><t>ch</t></r></is></c>"
      "<c r=\"F2\" t=\"d\"><v>2024-03-31T06:00:00</v></c><c r=\"G2\" t=\"d\" s=\"2\"><v>2024-03-31T06:00:00</v></c>"
      "<c r=\"H2\"><f>A1</f></c><c r=\"I2\" t=\"s\"><v>1</v></c><c r=\"J2\" t=\"s\"><v>2</v></c>"
      "<c r=\"K2\" t=\"b\"><v>0</v></c></row>"
      "<row r=\"4\"><c><v>1</v></c><c t=\"s\"><v>0</v></c></row>"
      "<row><c r=\"C5\"><v>-0</v></c><c r=\"D5\" t=\"inlineStr\"><is><t>  \t</t></is></c></row>"
      "<row r=\"7\"><c r=\"A7\" s=\"1\"/><c r=\"B7\" t=\"s\"><v>0</v></c></row>"
      "<row r=\"9\"><c r=\"A9\" s=\"1\"/></row>";
  EXPECT_EQ(Dump(**OpenWorkbookSheet(WorkbookKind::kXlsx, Make(Book(rows, kStrings, kStyles)), "book", "")),
            "0: [03/31/2024] [03/31/2024 12:00:00] [06:00:00] [00:00:09] [36:00:00] [03/31/2024 18:00:00] [3] "
            "[03/31/2024] [7] [1234567.891] [2] [-1] [n/a]\n"
            "1: [TRUE] [#REF!] [ABC] [in] [rich] [03/31/2024] [03/31/2024 06:00:00] [] [Rich] "
            "[Caf\u00e9 ? a\tb_x] [FALSE]\n"
            "2: (blank)\n"
            "3: [1] [plain]\n"
            "4: [] [] [0]\n"
            "5: (blank)\n"
            "6: [] [plain]\n");
}

TEST_F(MadeBook, PrefixesAndTheStrictNamespaceReadAlike) {
  const std::string strict = "http://purl.oclc.org/ooxml/spreadsheetml/main";
  const Parts parts = With(Book(""), "xl/worksheets/sheet1.xml",
                           "<x:worksheet xmlns:x=\"" + strict + "\"><x:sheetData><x:row r=\"2\"><x:c r=\"B2\" t=\"inlineStr\">"
                           "<x:is><x:t>strict</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>");
  EXPECT_EQ(Dump(**OpenWorkbookSheet(WorkbookKind::kXlsx, Make(parts), "book", "")), "0: (blank)\n1: [] [strict]\n");
}

// A sheet of many rows is streamed: the rows come whole, in order, and the
// cut of a long cell is exact.
TEST_F(MadeBook, LongSheetsAndLongCells) {
  std::string rows;
  for (int r = 1; r <= 200; ++r)
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r) +
            "</v></c><c r=\"XFD" + std::to_string(r) + "\" t=\"inlineStr\"><is><t>" + std::string(r == 2 ? 5000 : 1, 'w') +
            "</t></is></c></row>";
  auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, Make(Book(rows)), "book", "");
  ASSERT_TRUE(source.ok());
  Row row;
  int count = 0;
  while ((*source)->Next(row)) {
    ASSERT_EQ(row.index, count);
    ASSERT_EQ(row.cells.size(), 16384u);
    EXPECT_EQ(row.cells[0].text, std::to_string(count + 1));
    EXPECT_EQ(row.cells[16383].text, std::string(count == 1 ? 2699 : 1, 'w'));
    ++count;
  }
  EXPECT_EQ(count, 200);
  EXPECT_FALSE((*source)->failure());
  EXPECT_EQ((*source)->templateColumns(), 16384);
}

// A shared string far longer than a cell reads as its first 2,699
// characters, however they are written (escapes, letters outside ASCII,
// blanks at the cut), as the whole string would.
TEST_F(MadeBook, HugeSharedStringsReadAsTheirCell) {
  std::string escaped;
  for (int i = 0; i < 3000; ++i) escaped += "_x0041_";
  const std::string strings = "<si><t>" + std::string(200000, 'a') + "Z</t></si><si><t>" + escaped + "</t></si>" +
                              "<si><t>" + std::string(2690, 'b') + std::string(100000, ' ') + "c</t></si>" +
                              "<si><t>" + std::string(5000, 'x') + "</t><t>" + std::string(30000, 'y') + "</t></si>";
  const std::string rows = R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>)"
                           R"(<c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row>)";
  auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, Make(Book(rows, strings)), "book", "");
  ASSERT_TRUE(source.ok());
  Row row;
  ASSERT_TRUE((*source)->Next(row));
  ASSERT_EQ(row.cells.size(), 4u);
  EXPECT_EQ(row.cells[0].text, std::string(2699, 'a'));
  EXPECT_EQ(row.cells[1].text, std::string(2699, 'A'));
  EXPECT_EQ(row.cells[2].text, std::string(2690, 'b'));
  EXPECT_EQ(row.cells[3].text, std::string(2699, 'x'));
}

// ---- Refusals ------------------------------------------------------------------------

struct Refusal {
  const char* what;
  Parts parts;
  std::string sheet;
  ErrorCode code;
  std::string message;
};

TEST_F(MadeBook, DamagedAndHostileWorkbooksAreRefusedWithTheirReason) {
  const std::string row1 = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  const std::string sheet1 = "xl/worksheets/sheet1.xml";
  const std::string prefix = "The workbook book cannot be read: ";
  const std::string bomb = "<!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                           "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><sst><si><t>&c;</t></si></sst>";
  const std::vector<Refusal> cases = {
      {"no workbook part", Without(Book(row1), "xl/workbook.xml"), "", ErrorCode::kInvalid,
       prefix + "xl/workbook.xml is missing."},
      {"no relationships", Without(Book(row1), "xl/_rels/workbook.xml.rels"), "", ErrorCode::kInvalid,
       prefix + "xl/_rels/workbook.xml.rels is missing."},
      {"no sheet part", Without(Book(row1), sheet1), "", ErrorCode::kInvalid, prefix + "xl/worksheets/sheet1.xml is missing."},
      {"no strings part", Without(Book(row1, "<si/>"), "xl/sharedStrings.xml"), "", ErrorCode::kInvalid,
       prefix + "xl/sharedStrings.xml is missing."},
      {"malformed workbook part", With(Book(row1), "xl/workbook.xml", "<workbook><sheets></workbook>"), "",
       ErrorCode::kInvalid, prefix + "xl/workbook.xml is not well-formed XML (mismatched tag at line 1, column 21)."},
      {"zip bomb", With(Book(""), sheet1, std::string(20 << 20, ' ')), "", ErrorCode::kTooLarge,
       prefix + "xl/worksheets/sheet1.xml inflates past 100 times its compressed size."},
      {"entity bomb", With(Book(row1, "<si/>"), "xl/sharedStrings.xml", bomb), "", ErrorCode::kInvalid,
       prefix + "xl/sharedStrings.xml declares a document type, which no workbook part does."},
      {"no sheets", With(Book(row1), "xl/workbook.xml", "<workbook><sheets/></workbook>"), "", ErrorCode::kInvalid,
       prefix + "it holds no sheet."},
      {"no such sheet", Book(row1), "Summary", ErrorCode::kNotFound, "The workbook book has no sheet named Summary."},
      {"chart sheet",
       With(Book(row1), "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"rId1\" Type=\"" + std::string(kRel) + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"),
       "", ErrorCode::kInvalid, prefix + "its sheet Data is a chart sheet, which holds no cells."},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    const auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, Make(c.parts), "book", c.sheet);
    ASSERT_FALSE(source.ok());
    EXPECT_EQ(source.error().code, c.code);
    EXPECT_EQ(source.error().message, c.message);
  }
  // A sheet whose compressed bytes were damaged on the way ends with words,
  // not with the compression library's empty detail.
  std::string rows;
  for (int r = 1; r <= 2000; ++r)
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r * 7919) + "</v></c></row>";
  std::string bytes = test::ReadFile(Make(Book(rows)));
  const std::size_t at = bytes.find(sheet1);
  ASSERT_NE(at, std::string::npos);
  for (std::size_t k = at + 3000; k < at + 3100; ++k) bytes[k] = static_cast<char>(bytes[k] ^ 0x55);
  test::WriteFile(dir.file("book.xlsx"), bytes);
  auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, dir.file("book.xlsx"), "book", "");
  ASSERT_TRUE(source.ok());
  const std::string read = Dump(**source);
  EXPECT_EQ(read.substr(read.find("failure: ")),
            "failure: " + prefix + sheet1 + " is damaged (its compressed data cannot be inflated).\n");
}

// An archive's sizes are its writer's word: an entry inflates only as far as
// its compressed size allows, whatever its headers say.
TEST_F(MadeBook, ArchiveBombsAreStoppedWhateverTheHeadersSay) {
  const std::string sheet1 = "xl/worksheets/sheet1.xml";
  const std::string rows = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  const std::string understated = Make(With(Book(rows), sheet1, "<worksheet><sheetData>" + rows + "</sheetData>" +
                                                                    std::string(8 << 20, ' ') + "</worksheet>"));
  UnderstateSize(understated, sheet1, 300);
  auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, understated, "book", "");
  ASSERT_TRUE(source.ok());
  EXPECT_EQ(Dump(**source), "0: [1]\nfailure: The workbook book cannot be read: xl/worksheets/sheet1.xml inflates past "
                            "100 times its compressed size.\n");
  EXPECT_EQ((*source)->failure()->code, ErrorCode::kTooLarge);

  const std::string huge = Make(Without(Book(rows), sheet1));
  AddSparseEntry(huge, sheet1, 1536u << 20);
  const auto refused = OpenWorkbookSheet(WorkbookKind::kXlsx, huge, "book", "");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().code, ErrorCode::kTooLarge);
  EXPECT_EQ(refused.error().message, "The workbook book cannot be read: xl/worksheets/sheet1.xml inflates past 1 GB.");
}

// A template keeps a sheet's name without the blanks at its ends: the one
// sheet whose name is the same without them is read; an exact name first.
TEST_F(MadeBook, ASheetIsFoundByItsNameWithoutTheBlanksAtItsEnds) {
  const auto book = [&](const std::string& names) {
    std::string sheets;
    for (const std::string_view name : SplitText(names, '|'))
      sheets += "<sheet name=\"" + std::string(name) + "\" sheetId=\"1\" r:id=\"rId1\"/>";
    return Make(With(Book("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"), "xl/workbook.xml",
                     std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>" + sheets +
                         "</sheets></workbook>"));
  };
  const struct {
    const char* names;
    const char* wanted;
    const char* found;
  } cases[] = {
      {"Cover|Balances ", "Balances", "0: [1]\n"},
      {"Cover| Balances", "BALANCES ", "0: [1]\n"},
      {"Balances|Balances ", "Balances", "0: [1]\n"},
      {"Balances |Balances  ", "Balances", "The workbook book has no sheet named Balances."},
  };
  for (const auto& c : cases) {
    auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, book(c.names), "book", c.wanted);
    EXPECT_EQ(source.ok() ? Dump(**source) : source.error().message, c.found) << c.names;
  }
}

// Some writers give cell references in small letters.
TEST_F(MadeBook, CellReferencesInSmallLettersAreRead) {
  auto source = OpenWorkbookSheet(WorkbookKind::kXlsx,
                                  Make(Book("<row r=\"1\"><c r=\"a1\"><v>1</v></c><c r=\"c1\"><v>3</v></c></row>"
                                            "<row r=\"2\"><c r=\"aB2\"><v>28</v></c></row>")),
                                  "book", "");
  ASSERT_TRUE(source.ok());
  std::string columnsAToAA;
  for (int i = 0; i < 27; ++i) columnsAToAA += " []";
  EXPECT_EQ(Dump(**source), "0: [1] [] [3]\n1:" + columnsAToAA + " [28]\n");
}

TEST_F(MadeBook, ASheetMalformedHalfWayEndsTheRowsWithItsReason) {
  const std::string good = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\"><v>2</v></c></row>";
  const std::string given = "0: [1]\n1: [] [2]\nfailure: The workbook book cannot be read: ";
  const std::pair<std::string, std::string> cases[] = {
      {good + "<row r=\"3\"><c r=\"XFE3\"><v>3</v></c></row>", "the cell reference XFE3 is outside the grid."},
      {good + "<row r=\"3\"><c r=\"3A\"><v>3</v></c></row>", "the cell reference 3A is outside the grid."},
      {good + "<row r=\"1048577\"><c><v>3</v></c></row>", "the sheet's row 1048577 is outside the grid."},
      {good + "<row r=\"1\"><c><v>3</v></c></row>", "the sheet's row 1 comes after row 2."},
      {good + "<row r=\"3\"><c r=\"B3\"><v>3</v></c><c r=\"A3\"><v>3</v></c></row>", "the sheet's cell A3 is out of order."},
      {good + "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>7</v></c></row>", "the cell A3 refers to shared string 7, which is not there."},
      {good + "<row r=\"3\"><c r=\"A3\" t=\"s\"/></row>", "the cell A3 is a shared string cell that names no shared string."},
      {good + "<row r=\"3\"><c r=\"A3\"><v>3</v></c></rw>",
       "xl/worksheets/sheet1.xml is not well-formed XML (mismatched tag at line 1, column 202)."},
  };
  for (const auto& [rows, reason] : cases) {
    SCOPED_TRACE(reason);
    auto source = OpenWorkbookSheet(WorkbookKind::kXlsx, Make(Book(rows)), "book", "");
    ASSERT_TRUE(source.ok());
    EXPECT_EQ(Dump(**source), given + reason + "\n");
    Row row;
    EXPECT_FALSE((*source)->Next(row));
  }
}

// A sheet's rows held once give, for every begin row and both trims, what
// the workbook's own source gives, its failure too; past the rows held the
// held source says it ran out instead of ending the sheet.
TEST_F(MadeBook, HeldRowsAreTheSheetsRowsAgain) {
  const std::string halfWay = Make(Book("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\u00e9 </t></is></c></row>"
                                        "<row r=\"3\"><c r=\"C3\"><v>2</v></c></row><row r=\"2\"/>"));
  const std::pair<std::string, std::string> books[] = {
      {Fixture("trial_balance.xlsx"), ""}, {Fixture("mixed.xls"), "notes"}, {Fixture("chart_dates.xlsx"), ""}, {halfWay, ""}};
  for (const auto& [path, sheet] : books) {
    const HeldSheet held = HeldSheet::Read(SniffWorkbook(path), path, "book", sheet, 100, 1 << 20);
    ASSERT_FALSE(held.openError()) << path;
    for (const int32_t begin : {0, 1, 3})
      for (const bool printable : {true, false}) {
        SCOPED_TRACE(path + " from row " + std::to_string(begin) + (printable ? " printable" : ""));
        auto own = OpenWorkbookSheet(SniffWorkbook(path), path, "book", sheet);
        ASSERT_TRUE(own.ok());
        (*own)->SetBeginRow(begin);
        (*own)->SetPrintableOnly(printable);
        HeldSheetSource again = held.Source();
        again.SetBeginRow(begin);
        again.SetPrintableOnly(printable);
        EXPECT_EQ(Dump(again), Dump(**own));
        EXPECT_EQ(again.templateColumns(), (*own)->templateColumns());
        EXPECT_FALSE(again.ranOut());
      }
  }
  const HeldSheet first = HeldSheet::Read(WorkbookKind::kXlsx, Fixture("trial_balance.xlsx"), "book", "", 2, 1 << 20);
  HeldSheetSource cut = first.Source();
  Row row;
  EXPECT_TRUE(cut.Next(row) && cut.Next(row));
  EXPECT_FALSE(cut.Next(row));
  EXPECT_TRUE(cut.ranOut());
  EXPECT_FALSE(cut.failure());
  const HeldSheet none = HeldSheet::Read(WorkbookKind::kXls, Fixture("mixed.xls"), "book", "Budget", 100, 1 << 20);
  ASSERT_TRUE(none.openError());
  EXPECT_EQ(none.openError()->message, "The workbook book has no sheet named Budget.");
}

TEST_F(MadeBook, FilesThatAreNoWorkbookAreRefused) {
  const std::string text = dir.file("text.xlsx");
  test::WriteFile(text, "Account,Balance\n1000,5\n");
  ::mkfifo(dir.file("pipe").c_str(), 0644);
  // A real .xls whose first directory entry claims a name of 65,535 bytes
  // (a name holds 64 at most).
  const std::string longName = dir.file("long_name.xls");
  std::string bytes = test::ReadFile(Fixture("trial_balance.xls"));
  const auto little = [&](std::size_t at) { return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8; };
  const std::size_t directory = (little(48) + 1u) << little(30);
  bytes[directory + 64] = bytes[directory + 65] = '\xFF';
  test::WriteFile(longName, bytes);
  const std::string prefix = "The workbook book cannot be read: ";
  const std::tuple<WorkbookKind, std::string, std::string> cases[] = {
      {WorkbookKind::kXlsx, text, prefix + "it is not a zip archive."},
      {WorkbookKind::kXls, text, prefix + "it is not an .xls workbook."},
      {WorkbookKind::kXls, longName, prefix + "its compound document is damaged."},
      {WorkbookKind::kXlsx, dir.file("pipe"), prefix + "it is not a regular file."},
      {WorkbookKind::kXls, dir.str(), prefix + "it is not a regular file."},
      {WorkbookKind::kXlsx, dir.file("missing.xlsx"), prefix + "No such file or directory."},
      {WorkbookKind::kNone, text, prefix + "it is not a workbook."},
      {WorkbookKind::kXls, Fixture("mixed.xls"), "The workbook book has no sheet named Summary."},
  };
  for (const auto& [kind, path, message] : cases) {
    SCOPED_TRACE(message);
    const auto source = OpenWorkbook(kind, path, "book", "Summary");
    ASSERT_FALSE(source.ok());
    EXPECT_EQ(source.error().message, message);
    const auto sheets = WorkbookSheets(kind, path, "book");
    if (message.starts_with(prefix)) {
      EXPECT_EQ(sheets.ok() ? "" : sheets.error().message, message);
    }
  }
}

// ---- The value rules at their edges ------------------------------------------------------

TEST(WorkbookValues, NumbersAreTheShortestPlainDecimal) {
  const std::pair<double, const char*> cases[] = {
      {15250, "15250"},   {1234.5, "1234.5"}, {-987.25, "-987.25"}, {0.1 + 0.2, "0.30000000000000004"},
      {1e-7, "0.0000001"}, {-0.0, "0"},       {1.5e20, "150000000000000000000"}, {123456789.125, "123456789.125"},
  };
  for (const auto& [value, text] : cases) {
    std::string out;
    workbook::AppendNumber(out, value);
    EXPECT_EQ(out, text);
  }
}

TEST(WorkbookValues, SerialDaysInBothDateSystems) {
  using workbook::NumberShape;
  struct Case {
    double serial;
    NumberShape shape;
    bool date1904;
    const char* text;  // null: no date
  };
  const Case cases[] = {
      {0, NumberShape::kDate, false, "01/00/1900"},         {1, NumberShape::kDate, false, "01/01/1900"},
      {59, NumberShape::kDate, false, "02/28/1900"},        {60, NumberShape::kDate, false, "02/29/1900"},
      {61, NumberShape::kDate, false, "03/01/1900"},        {0, NumberShape::kDate, true, "01/01/1904"},
      {45382.999999, NumberShape::kDateTime, false, "04/01/2024 00:00:00"},
      {2958465.5, NumberShape::kTime, false, "12:00:00"},   {2958465, NumberShape::kDate, false, "12/31/9999"},
      {2958466, NumberShape::kDate, false, nullptr},        {-1, NumberShape::kTime, false, nullptr},
      // A duration counts every hour of its days.
      {1.5, NumberShape::kElapsed, false, "36:00:00"},      {0.25, NumberShape::kElapsed, false, "06:00:00"},
      {4000.5, NumberShape::kElapsed, true, "96012:00:00"}, {-0.5, NumberShape::kElapsed, false, nullptr},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(workbook::AppendSerial(out, c.serial, c.shape, c.date1904), c.text != nullptr) << c.serial;
    EXPECT_EQ(out, c.text ? c.text : "") << c.serial;
  }
}

TEST(WorkbookValues, FormatCodesThatShowDatesAndTimes) {
  using workbook::NumberShape;
  const std::pair<const char*, NumberShape> cases[] = {
      {"General", NumberShape::kPlain},        {"#,##0.00", NumberShape::kPlain},
      {"0.00\" days\"", NumberShape::kPlain},  {"[Red]0;[Blue]-0", NumberShape::kPlain},
      {"\\d\\a\\y 0", NumberShape::kPlain},    {"_(* #,##0_)", NumberShape::kPlain},
      {"yyyy-mm-dd", NumberShape::kDate},      {"[$-409]mmmm d, yyyy", NumberShape::kDate},
      {"mmm", NumberShape::kDate},             {"d/m/yy h:mm", NumberShape::kDateTime},
      {"h:mm AM/PM", NumberShape::kTime},      {"[h]:mm", NumberShape::kElapsed},
      {"mm:ss", NumberShape::kTime},           {"[ss]", NumberShape::kElapsed},
      {"[h]:mm:ss", NumberShape::kElapsed},    {"d/m/yy [h]:mm", NumberShape::kDateTime},
  };
  for (const auto& [code, shape] : cases) EXPECT_EQ(workbook::ShapeOfFormatCode(code), shape) << code;
}

}  // namespace
}  // namespace zephrin
