// Lines of a data file as the readers see them: the file's home platform read
// text files in text mode, through a line buffer of 2700 bytes. So a carriage
// return before a line feed is dropped, a Ctrl-Z ends the file (done when the
// file is loaded), and a physical line longer than 2699 characters (line feed
// included) arrives as several lines. A line's text ends at a NUL byte, as a
// C string would.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace zephrin {

inline constexpr std::size_t kLineBufferChars = 2699;

class LineSource {
 public:
  // `text` must outlive the source. Carriage returns before line feeds are
  // removed from it in place.
  explicit LineSource(std::string& text);

  // The next line without its line end; false at the end of the file.
  // `hadLineEnd` tells whether a line feed ended it.
  bool Next(std::string_view& line, bool* hadLineEnd = nullptr);
  // Bytes consumed so far (for progress).
  std::size_t offset() const { return m_pos; }
  std::size_t size() const { return m_text.size(); }

 private:
  std::string_view m_text;
  std::size_t m_pos = 0;
  bool m_hasNul = false;  // only then does a line need a search for NUL
};

// Trailing blanks: spaces and the characters with codes 9 to 13.
inline bool IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }
inline std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
inline std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
inline std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

}  // namespace zephrin
