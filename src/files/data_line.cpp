#include "files/data_line.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_read.h"

namespace zephrin {

namespace {

// The bytes of one UTF-8 character starting at text[at] (1 for a byte that
// starts none), so that marks never split a character.
std::size_t CharBytes(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return std::min(n, text.size() - at);
}

MarkedLine Split(std::string_view text, std::size_t from, std::size_t to) {
  return {std::string(text.substr(0, from)), std::string(text.substr(from, to - from)), std::string(text.substr(to))};
}

// The bytes of a regular file in pieces, from its start to its size when it
// was opened: a FIFO or a device is refused before any read, so that nothing
// can block or run on without end.
class FilePieces {
 public:
  explicit FilePieces(const OpenFile& file) : m_file(file) {}
  // The next byte, or -1 at the end (or on a read error).
  int Next() {
    if (m_at == m_held) {
      if (m_offset >= m_file.size()) return -1;
      const long long got = m_file.ReadAt(m_offset, m_piece, std::min(sizeof m_piece, m_file.size() - m_offset));
      if (got <= 0) return -1;
      m_offset += static_cast<std::size_t>(got);
      m_held = static_cast<std::size_t>(got);
      m_at = 0;
    }
    return static_cast<unsigned char>(m_piece[m_at++]);
  }

 private:
  const OpenFile& m_file;
  char m_piece[1 << 16];
  std::size_t m_offset = 0, m_held = 0, m_at = 0;
};

// The code units of a text file one by one: bytes, or pairs of bytes when
// the file is UTF-16 (its byte order mark skipped).
class TextUnits {
 public:
  explicit TextUnits(const OpenFile& file) : m_pieces(std::make_unique<FilePieces>(file)) {
    char head[kUtf16Look];
    const long long got = file.ReadAt(0, head, std::min(sizeof head, file.size()));
    const Utf16Look look = LookForUtf16(std::string_view(head, got > 0 ? static_cast<std::size_t>(got) : 0));
    m_wide = look.order != Utf16Order::kNone;
    m_big = look.order == Utf16Order::kBig;
    for (std::size_t i = 0; i < look.bomBytes; ++i) m_pieces->Next();
  }
  bool wide() const { return m_wide; }
  bool bigEndian() const { return m_big; }
  // The next code unit, or -1 at the end.
  long Next() {
    const int first = m_pieces->Next();
    if (!m_wide || first < 0) return first;
    const int second = m_pieces->Next();
    if (second < 0) return -1;
    return m_big ? first << 8 | second : second << 8 | first;
  }

 private:
  std::unique_ptr<FilePieces> m_pieces;
  bool m_wide = false, m_big = false;
};

// A line's code units as UTF-8: UTF-16 and the engine's own code page are
// shown as the read shows them. A UTF-8 line cut short may end inside a
// character: that character goes, not the whole line's reading as UTF-8.
std::string LineAsUtf8(const std::vector<long>& units, const TextUnits& from, bool cut) {
  std::string bytes;
  for (const long u : units) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    if (!from.wide()) bytes += low;
    else if (from.bigEndian()) bytes += {high, low};
    else bytes += {low, high};
  }
  if (from.wide()) {
    std::string ansi;
    (void)Utf16ToAnsi(bytes, from.bigEndian(), ansi);
    return AnsiToUtf8(ansi);
  }
  if (IsValidUtf8(bytes)) return bytes;
  for (std::size_t drop = 1; cut && drop <= 3 && drop < bytes.size(); ++drop) {
    const std::string_view kept = std::string_view(bytes).substr(0, bytes.size() - drop);
    if (static_cast<unsigned char>(bytes[kept.size()]) >= 0xC0 && IsValidUtf8(kept)) return std::string(kept);
  }
  return AnsiToUtf8(bytes);
}

}  // namespace

Expected<DataLine> ReadDataLine(const std::string& path, long line) {
  if (line < 1) return Error{ErrorCode::kInvalid, "There is no line " + std::to_string(line) + " in a file."};
  OpenFile file;
  FileReadFailure failure;
  if (OpenRegularFile(path, file, &failure) != FileReadStatus::kOk) {
    if (failure.systemError == 0)
      return Error{ErrorCode::kInvalid, "The data file " + path + " cannot be read: it is not a regular file."};
    return Error::SentenceFromErrno(failure.systemError, "The data file " + path + " cannot be read");
  }
  TextUnits units(file);
  long at = 1;
  long c = 0;
  while (at < line && (c = units.Next()) >= 0)
    if (c == '\n') ++at;
  if (at < line || (c = units.Next()) < 0)
    return Error{ErrorCode::kNotFound, "The data file has no line " + std::to_string(line) + "."};
  DataLine out;
  std::vector<long> held;
  for (; c >= 0 && c != '\n'; c = units.Next()) {
    if (held.size() == kMaxShownLine) {
      out.cut = true;
      break;
    }
    held.push_back(c);
  }
  if (!held.empty() && held.back() == '\r') held.pop_back();
  out.text = LineAsUtf8(held, units, out.cut);
  return out;
}

MarkedLine MarkCell(std::string_view text, char separator, std::size_t cell) {
  std::size_t start = 0, index = 0;
  bool quoted = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '"') quoted = !quoted;
    if (i < text.size() && (quoted || text[i] != separator)) continue;
    if (index == cell) return Split(text, start, i);
    ++index;
    start = i + 1;
  }
  return {std::string(text), {}, {}};
}

MarkedLine MarkCharacters(std::string_view text, std::size_t start, std::size_t length) {
  std::size_t from = 0;
  for (std::size_t k = 0; k < start && from < text.size(); ++k) from += CharBytes(text, from);
  if (from >= text.size()) return {std::string(text), {}, {}};
  std::size_t to = from;
  for (std::size_t k = 0; k < length && to < text.size(); ++k) to += CharBytes(text, to);
  return Split(text, from, to);
}

}  // namespace zephrin
