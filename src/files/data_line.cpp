#include "files/data_line.h"

#include <algorithm>
#include <memory>

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
  auto pieces = std::make_unique<FilePieces>(file);
  DataLine out;
  long at = 1;
  int c = 0;
  while (at < line && (c = pieces->Next()) >= 0)
    if (c == '\n') ++at;
  if (at < line || (c = pieces->Next()) < 0)
    return Error{ErrorCode::kNotFound, "The data file has no line " + std::to_string(line) + "."};
  for (; c >= 0 && c != '\n'; c = pieces->Next()) {
    if (out.text.size() == kMaxShownLine) {
      out.cut = true;
      break;
    }
    out.text.push_back(static_cast<char>(c));
  }
  if (!out.text.empty() && out.text.back() == '\r') out.text.pop_back();
  // A file in the engine's own code page is shown as the read shows it.
  if (!IsValidUtf8(out.text)) out.text = AnsiToUtf8(out.text);
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
