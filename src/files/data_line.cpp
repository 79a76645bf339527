#include "files/data_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/codepage.h"

namespace zephrin {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

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

}  // namespace

Expected<DataLine> ReadDataLine(const std::string& path, long line) {
  if (line < 1) return Error{ErrorCode::kInvalid, "There is no line " + std::to_string(line) + " in a file."};
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
  if (!file) return Error::SentenceFromErrno(errno, "The data file " + path + " cannot be read");
  DataLine out;
  long at = 1;
  int c = 0;
  while (at < line && (c = std::getc(file.get())) != EOF)
    if (c == '\n') ++at;
  if (at < line || (c = std::getc(file.get())) == EOF)
    return Error{ErrorCode::kNotFound, "The data file has no line " + std::to_string(line) + "."};
  for (; c != EOF && c != '\n'; c = std::getc(file.get())) {
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
