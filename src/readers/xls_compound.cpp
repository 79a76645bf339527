#include "readers/xls_compound.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/file_read.h"
#include "readers/xls_records.h"

namespace zephrin::workbook {

namespace {

constexpr uint32_t kUnused = 0xFFFFFFFF;      // a slot that lists no sector
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;  // the last sector of a chain
constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr uint32_t kEntryBytes = 128;
constexpr uint32_t kNameBytes = 64;  // a directory entry's name field
constexpr std::size_t kLargestSector = 4096;
constexpr unsigned char kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

using Sector = std::array<unsigned char, kLargestSector>;

// How the walk goes on after a step: on to the next, stopped because FreeXL
// will refuse the document by itself (or read it safely from here), or
// stopped at damage FreeXL would mishandle.
enum class Step { kOn, kLeave, kDamaged };

// A stream as a directory entry lists it.
struct StreamEntry {
  uint32_t start = 0;
  uint32_t size = 0;
};

// A directory entry's name as FreeXL compares it: UTF-16 up to its first
// NUL, in ASCII (any other character as 0x80, which matches no name FreeXL
// looks for). False when FreeXL could not convert the name at all: an odd
// byte count, or a surrogate out of its pair.
bool EntryName(const unsigned char* entry, uint32_t bytes, std::string& name) {
  if (bytes % 2) return false;
  bool ended = false;
  for (uint32_t at = 0; at < bytes; at += 2) {
    const uint32_t unit = LittleEndian(entry + at, 2);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (at + 4 > bytes) return false;
      const uint32_t low = LittleEndian(entry + at + 2, 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      at += 2;
    }
    if (unit == 0) ended = true;
    if (!ended) name.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x80');
  }
  return true;
}

// The compound document as FreeXL will read it: the allocation table from
// the header's slots and the chain of further slot sectors, the first sector
// of the directory, and the workbook stream.
class CompoundWalk {
 public:
  explicit CompoundWalk(const OpenFile& file) : m_file(file) {}
  Step Run();
  const SheetLosses& losses() const { return m_losses; }

 private:
  bool ReadSector(uint32_t sector, unsigned char* out) const;
  Step AddFatSector(uint32_t sector);
  Step ReadMoreSlots(uint32_t sector, uint32_t count);
  Step ReadDirectory(uint32_t sector);
  Step CheckMiniStream() const;
  Step CheckRecords();
  std::string Chain(uint32_t start, uint32_t size) const;

  const OpenFile& m_file;
  uint32_t m_sectorSize = 512;
  uint64_t m_fileSectors = 0;
  std::vector<uint32_t> m_fat;
  uint64_t m_fatSectors = 0;
  uint32_t m_miniCutoff = 0;
  StreamEntry m_root;
  StreamEntry m_workbook;
  SheetLosses m_losses;
};

// A whole sector, at the offset FreeXL seeks to (its arithmetic is 32 bits
// wide and wraps).
bool CompoundWalk::ReadSector(uint32_t sector, unsigned char* out) const {
  const uint32_t offset = (sector + 1) * m_sectorSize;
  return m_file.ReadAt(offset, reinterpret_cast<char*>(out), m_sectorSize) == static_cast<long long>(m_sectorSize);
}

// Appends one sector of the allocation table. More table sectors than the
// file holds sectors can only come from slot sectors that loop.
Step CompoundWalk::AddFatSector(uint32_t sector) {
  if (++m_fatSectors > m_fileSectors + kHeaderFatSlots) return Step::kDamaged;
  Sector block;
  if (!ReadSector(sector, block.data())) return Step::kLeave;
  for (uint32_t at = 0; at < m_sectorSize; at += 4) m_fat.push_back(LittleEndian(&block[at], 4));
  return Step::kOn;
}

// The slots past the header's 109: `count` sectors of slots, each one's last
// slot naming the next. FreeXL reads them until it has read `count` or meets
// an end of chain; a sector it cannot read ends them, and FreeXL goes on with
// the table it has.
Step CompoundWalk::ReadMoreSlots(uint32_t sector, uint32_t count) {
  const uint32_t slots = m_sectorSize / 4;
  Sector block;
  for (uint64_t blocks = 1;; ++blocks) {
    if (blocks > m_fileSectors) return Step::kDamaged;  // more slot sectors than sectors: a loop
    if (!ReadSector(sector, block.data())) return Step::kOn;
    bool ended = false;
    for (uint32_t i = 0; i < slots && !ended; ++i) {
      const uint32_t value = LittleEndian(&block[4 * i], 4);
      if (value == kEndOfChain) ended = true;
      else if (i == slots - 1) sector = value;
      else if (value != kUnused) {
        const Step added = AddFatSector(value);
        if (added == Step::kDamaged) return added;
        if (added == Step::kLeave) return Step::kOn;
      }
    }
    if (blocks == count) return Step::kOn;
    if (ended) return Step::kLeave;  // fewer than the header says: FreeXL refuses
  }
}

// The first sector of the directory, entry by entry until the workbook.
Step CompoundWalk::ReadDirectory(uint32_t sector) {
  Sector block;
  if (!ReadSector(sector, block.data())) return Step::kLeave;
  for (uint32_t at = 0; at < m_sectorSize; at += kEntryBytes) {
    const unsigned char* entry = &block[at];
    const uint32_t nameBytes = LittleEndian(entry + kNameBytes, 2);
    // FreeXL converts as many bytes as the length says, from its buffer.
    if (nameBytes > kNameBytes) return Step::kDamaged;
    std::string name;
    if (!EntryName(entry, nameBytes, name)) return Step::kLeave;
    const StreamEntry stream{LittleEndian(entry + 116, 4), LittleEndian(entry + 120, 4)};
    if (name == "Root Entry") m_root = stream;
    if (name == "Workbook" || name == "Book") {
      m_workbook = stream;
      return Step::kOn;
    }
  }
  return Step::kLeave;
}

// A small workbook lies in the mini stream, which FreeXL copies whole, in
// the size the root entry gives, following the root's chain; when a sector
// of that chain cannot be read or has no table entry, it drops the copy
// without freeing it. It then reads the workbook from the copy, as far as
// the workbook's size, whatever the copy's size.
Step CompoundWalk::CheckMiniStream() const {
  if (m_root.size > m_file.size() || m_workbook.size > m_root.size) return Step::kDamaged;
  Sector block;
  uint32_t sector = m_root.start;
  for (uint64_t copied = 0; copied < m_root.size; copied += m_sectorSize) {
    if (!ReadSector(sector, block.data()) || sector >= m_fat.size()) return Step::kDamaged;
    if (m_fat[sector] == kEndOfChain) break;
    sector = m_fat[sector];
  }
  return Step::kOn;
}

// The bytes of the chain from `start`, as far as `size`: as far as FreeXL
// reads a stream.
std::string CompoundWalk::Chain(uint32_t start, uint32_t size) const {
  std::string bytes;
  Sector block;
  for (uint32_t sector = start; bytes.size() < size; sector = m_fat[sector]) {
    if (!ReadSector(sector, block.data())) break;
    bytes.append(reinterpret_cast<const char*>(block.data()), m_sectorSize);
    if (sector >= m_fat.size() || m_fat[sector] == kEndOfChain) break;
  }
  if (bytes.size() > size) bytes.resize(size);
  return bytes;
}

// The workbook's records. A small workbook is read from the start of the
// mini stream.
Step CompoundWalk::CheckRecords() {
  const bool mini = m_workbook.size <= m_miniCutoff;
  std::string stream = mini ? Chain(m_root.start, m_root.size) : Chain(m_workbook.start, m_workbook.size);
  if (mini && stream.size() > m_workbook.size) stream.resize(m_workbook.size);
  const RecordsFinding finding = WalkRecords(stream);
  m_losses = finding.losses;
  return finding.unsafe ? Step::kDamaged : Step::kOn;
}

Step CompoundWalk::Run() {
  std::array<unsigned char, kHeaderBytes> header{};
  if (m_file.ReadAt(0, reinterpret_cast<char*>(header.data()), kHeaderBytes) != static_cast<long long>(kHeaderBytes))
    return Step::kLeave;
  if (std::memcmp(header.data(), kSignature, sizeof kSignature) != 0) return Step::kLeave;
  const uint32_t shift = LittleEndian(&header[30], 2);
  if (shift != 9 && shift != 12) return Step::kLeave;
  m_sectorSize = 1u << shift;
  m_fileSectors = m_file.size() / m_sectorSize;
  for (std::size_t slot = 0; slot < kHeaderFatSlots; ++slot) {
    const uint32_t sector = LittleEndian(&header[76 + 4 * slot], 4);
    if (sector == kUnused) continue;
    if (const Step added = AddFatSector(sector); added != Step::kOn) return added;
  }
  if (const uint32_t more = LittleEndian(&header[72], 4); more > 0) {
    if (const Step read = ReadMoreSlots(LittleEndian(&header[68], 4), more); read != Step::kOn) return read;
  }
  // FreeXL takes the header's mini stream cutoff only when there is a mini table.
  m_miniCutoff = LittleEndian(&header[64], 4) > 0 ? LittleEndian(&header[56], 4) : 0;
  if (m_fat.empty()) return Step::kLeave;
  if (const Step read = ReadDirectory(LittleEndian(&header[48], 4)); read != Step::kOn) return read;
  if (m_workbook.size <= m_miniCutoff) {
    if (const Step mini = CheckMiniStream(); mini != Step::kOn) return mini;
  } else if (m_workbook.size > m_file.size()) {
    return Step::kDamaged;  // it would loop through its chain as far as its size
  }
  return CheckRecords();
}

}  // namespace

Expected<SheetLosses> CheckCompoundDocument(const std::string& osPath) {
  OpenFile file;
  if (OpenRegularFile(osPath, file) != FileReadStatus::kOk) return SheetLosses{};
  const Error damaged{ErrorCode::kInvalid, "its compound document is damaged"};
  char head[sizeof kSignature] = {};
  if (file.ReadAt(0, head, sizeof head) == static_cast<long long>(sizeof head) &&
      std::memcmp(head, kSignature, sizeof kSignature) == 0) {
    CompoundWalk walk(file);
    if (walk.Run() == Step::kDamaged) return damaged;
    return walk.losses();
  }
  // Not a compound document: FreeXL takes it for a legacy workbook, which
  // starts with its first record; anything else is no .xls workbook at all.
  if (!StartsLegacyWorkbook(std::string_view(head, sizeof head)))
    return Error{ErrorCode::kInvalid, "it is not an .xls workbook"};
  FileBytes bytes;
  if (ReadRegularFile(file, bytes, true) == FileReadStatus::kOk && LegacyRecordsUnsafe(bytes.view())) return damaged;
  return SheetLosses{};
}

}  // namespace zephrin::workbook
