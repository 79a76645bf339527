// The check an .xls passes before FreeXL opens it: small compound documents,
// sound and damaged in each way FreeXL would mishandle, and the damaged ones
// refused through the workbook source with the usual sentence.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "readers/workbook_source.h"
#include "readers/xls_compound.h"
#include "test_util.h"

namespace zephrin {
namespace {

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
    const Done checked = workbook::CheckCompoundDocument(path);
    EXPECT_EQ(checked.ok() ? "" : checked.error().message, c.refused ? "its compound document is damaged" : "");
    if (!c.refused) continue;
    const auto source = OpenWorkbook(WorkbookKind::kXls, path, "book", "");
    ASSERT_FALSE(source.ok());
    EXPECT_EQ(source.error().message, "The workbook book cannot be read: its compound document is damaged.");
  }
}

}  // namespace
}  // namespace zephrin
