#include "readers/line_source.h"

namespace zephrin {

LineSource::LineSource(std::string& text) {
  // Drop every carriage return that stands before a line feed, in one pass.
  if (text.find("\r\n") != std::string::npos) {
    std::size_t out = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') continue;
      text[out++] = text[i];
    }
    text.resize(out);
  }
  m_text = text;
  m_hasNul = std::memchr(text.data(), '\0', text.size()) != nullptr;
}

bool LineSource::Next(std::string_view& line, bool* hadLineEnd) {
  if (m_pos >= m_text.size()) return false;
  const std::size_t remaining = m_text.size() - m_pos;
  const std::size_t window = remaining < kLineBufferChars ? remaining : kLineBufferChars;
  const char* start = m_text.data() + m_pos;
  const void* nl = std::memchr(start, '\n', window);
  std::size_t len;
  bool ended = false;
  if (nl) {
    len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
    m_pos += len + 1;
    ended = true;
  } else {
    len = window;
    m_pos += len;
  }
  line = std::string_view(start, len);
  if (!m_hasNul) {
    // Nothing more to do.
  } else if (const void* nul = std::memchr(start, '\0', len)) line = std::string_view(start, static_cast<std::size_t>(static_cast<const char*>(nul) - start));
  if (hadLineEnd) *hadLineEnd = ended;
  return true;
}

}  // namespace zephrin
