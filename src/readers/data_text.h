// A data file as every reader sees it: the one text source of the plain
// readers, the jurisdiction readers and the layout editor's preview.
//
// The files' home platform read them as text files: a Ctrl-Z byte ends the
// file, a carriage return before a line feed is dropped, and lines come
// through a fixed buffer, so a physical line longer than the buffer arrives
// as several lines. A line's text ends at a NUL byte, as a C string's does.
// A file that is valid UTF-8 (with or without a byte order mark), or UTF-16
// (a byte order mark in either order, or NULs in nine of ten odd or even
// positions of its first 4 KB), is made Windows-1252, the engine's own text;
// any other file is taken as Windows-1252 already.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/byte_scan.h"
#include "platform/file_read.h"

namespace zephrin {

// Line limits, line feed included: the plain readers' buffer, and the
// jurisdiction readers' buffers for comma-separated and DIF lines.
inline constexpr std::size_t kPlainLineChars = 2699;
inline constexpr std::size_t kJurisdictionCsvLineChars = 1399;
inline constexpr std::size_t kJurisdictionDifLineChars = 259;

// Bytes a line reader of a long file holds at a time (beyond one line), and
// the size from which a file is read that way rather than held whole. Test
// builds may make them small and move the window into memory of its own at
// every line, so that a line kept past the next one is a use after free.
#ifdef ZEPHRIN_SMALL_READ_WINDOWS
inline constexpr std::size_t kReadWindow = 64;
inline constexpr bool kFreshReadWindows = true;
#else
inline constexpr std::size_t kReadWindow = std::size_t{256} << 10;
inline constexpr bool kFreshReadWindows = false;
#endif

class DataText {
 public:
  // Opens the file at `osPath`. Read as text, a Ctrl-Z ends it; read in
  // binary (as the fixed-width preview shows a file), it does not.
  [[nodiscard]] FileReadStatus Load(const std::string& osPath, bool binary = false);
  // Takes bytes already in memory (copied).
  void Assign(std::string_view bytes, bool binary = false);

  // The engine text: up to the first Ctrl-Z, converted when the file was UTF-8.
  std::string_view text() const {
    SettleAll();
    return m_text;
  }
  // The size of the file as it was read.
  std::size_t rawSize() const { return m_rawSize; }
  bool hasNul() const {
    SettleAll();
    return m_hasNul;
  }
  // Whether the file shrank while it was read, so that part of the text
  // stands for bytes that are gone.
  bool lost() const { return m_streamLost || m_bytes.lost(); }
  // The line (from 1) on which a Ctrl-Z ended the text while more text
  // followed it (an old program's end-of-file mark in the middle of a file,
  // where two files were joined, say); 0 when none did. A file read piece by
  // piece to its end held no Ctrl-Z, and is not read again to say so.
  long ctrlZLine() const { return m_settled ? m_ctrlZLine : 0; }
  // The line (from 1) of the first byte that is not UTF-8 in a text that
  // holds UTF-8 letters besides, without a byte-order mark: the text is read
  // as Windows-1252, each of those letters as two characters; 0 otherwise.
  long notUtf8Line() const { return m_settled ? m_notUtf8Line : 0; }
  // Whether the file looked like UTF-16 but is not (an odd number of bytes,
  // a surrogate without its partner): the text is then what could be
  // converted, and a read refuses the file.
  bool invalidUtf16() const { return m_invalidUtf16; }

 private:
  friend class TextWindow;

  // A long file is not held whole: its readers read it piece by piece
  // through windows of their own (TextWindow). As long as its bytes are plain ASCII (no
  // byte of 0x80 and above, no NUL, no Ctrl-Z) they are the engine text
  // whatever the rest of the file holds. The first byte of another kind
  // settles the text: the file is read whole, and where a Ctrl-Z ends it,
  // whether it holds a NUL and whether it is UTF-8 to convert are decided on
  // all of it, as for a short file.
  bool streaming() const { return !m_settled; }
  // Bytes from the file's start known to be plain ASCII.
  std::size_t cleanBytes() const { return m_clean; }
  // Reads `n` bytes of a streamed file from `offset` into `out`: the number
  // read when they are plain ASCII; kOdd when they are not; kEnded when the
  // file shrank or could not be read (the text is then lost()).
  static constexpr long long kOdd = -2, kEnded = -1;
  long long ReadPlain(std::size_t offset, char* out, std::size_t n) const;
  void SettleAll() const;
  // Settles the text from `bytes`, whose first `clean` bytes are plain ASCII.
  void Decide(std::string_view bytes, std::size_t clean) const;
  // Notes the line of a Ctrl-Z at the end of m_text, when `after` (the
  // bytes after it) holds more than blanks and other Ctrl-Z.
  void NoteCtrlZ(std::string_view after) const;
  bool TakeUtf16(std::string_view bytes);
  // The size of the text, or of the file while it is streamed.
  std::size_t sizeEstimate() const { return m_settled ? m_text.size() : m_rawSize; }

  OpenFile m_file;  // a streamed file
  bool m_binary = false;
  std::size_t m_rawSize = 0;
  bool m_invalidUtf16 = false;
  // What is settled; the text lives in the file's bytes or in m_copy.
  mutable FileBytes m_bytes;
  mutable std::string m_copy;  // assigned bytes, or converted text
  mutable std::string_view m_text;
  mutable std::size_t m_clean = 0;
  mutable bool m_settled = true;
  mutable bool m_hasNul = false;
  mutable bool m_streamLost = false;
  mutable long m_ctrlZLine = 0;
  mutable long m_notUtf8Line = 0;
};

// A data text's bytes from some offset on, as its readers see them: while
// the file is streamed, a window of them read from the file, moved on and
// grown as the reader asks; once the text is settled (or for text already in
// memory), the whole text. Bytes seen through the window stay valid until
// the next MoveTo.
class TextWindow {
 public:
  // Text in memory: the window is all of it.
  TextWindow(std::string_view text, bool hasNul) : m_bytes(text), m_hasNul(hasNul) {}
  // A data file's text from byte `start` on. A start past the bytes known to
  // be plain takes the settled text: only those bytes read the same whatever
  // follows.
  TextWindow(const DataText& text, std::size_t start);

  std::string_view bytes() const { return m_bytes; }
  // The text offset of the window's first byte.
  std::size_t base() const { return m_base; }
  // Whether the window runs to the end of the text.
  bool final() const { return m_final; }
  // Whether the window may still move (in test builds: whether it has moved
  // or may move at all).
  bool moves() const { return !m_final || (kFreshReadWindows && m_buffer != nullptr); }
  bool hasNul() const { return m_hasNul; }
  // The size of the text (of the file, while it is streamed).
  std::size_t size() const { return m_source ? m_source->sizeEstimate() : m_bytes.size(); }
  // Makes the window start at text offset `at` (at or past its start) and
  // hold `capacity` bytes from there, or all the text has left. The window
  // becomes the whole text when the text is settled by then, or when the
  // bytes read now are not plain ASCII.
  void MoveTo(std::size_t at, std::size_t capacity);

 private:
  void UseWholeText();

  const DataText* m_source = nullptr;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_capacity = 0;
  std::string_view m_bytes;
  std::size_t m_base = 0;
  bool m_final = true;
  bool m_hasNul = false;
};

// The lines of a text with a line limit, from byte `start` on.
class LineReader {
 public:
  LineReader(std::string_view text, std::size_t limit, bool hasNul, std::size_t start = 0)
      : m_window(text, hasNul), m_text(text), m_limit(limit), m_hasNul(hasNul),
        m_pos(start < text.size() ? start : text.size()) {}
  // The lines of a data file. A line lasts until the next one is read: a
  // reader that keeps lines longer reads `text.text()` instead.
  LineReader(const DataText& text, std::size_t limit, std::size_t start = 0);

  // The next line without its line end; false at the end of the text.
  // `hadLineEnd` tells whether a line feed ended it.
  bool Next(std::string_view& line, bool& hadLineEnd) {
    if (NeedsRefill()) Refill();
    if (m_pos >= m_text.size()) return false;
    const char* start = m_text.data() + m_pos;
    const std::size_t remaining = m_text.size() - m_pos;
    // One byte more than the limit: a carriage return before the line feed
    // takes no room in the buffer.
    const std::size_t window = remaining < m_limit + 1 ? remaining : m_limit + 1;
    const char* const nl = scan::FindFirst(
        start, start + window, [](scan::Block v) { return scan::Equal(v, '\n'); }, [](char c) { return c == '\n'; });
    std::size_t len = m_limit < remaining ? m_limit : remaining;
    hadLineEnd = false;
    if (nl != start + window) {
      const auto at = static_cast<std::size_t>(nl - start);
      const std::size_t text = at > 0 && start[at - 1] == '\r' ? at - 1 : at;
      if (text + 1 <= m_limit) {
        len = text;
        hadLineEnd = true;
        m_pos += at + 1;
      } else {
        m_pos += len;
      }
    } else {
      m_pos += len;
    }
    if (m_hasNul)
      if (const void* nul = std::memchr(start, '\0', len))
        len = static_cast<std::size_t>(static_cast<const char*>(nul) - start);
    line = std::string_view(start, len);
    return true;
  }
  bool Next(std::string_view& line) {
    bool end = false;
    return Next(line, end);
  }
  // The next line as Next gives it, and whether it is plain: no double quote
  // and no byte below 32 as signed (a control character or a byte of 0x80 and
  // above) in it, tabs aside when `kTabs` (the tabs of a tab-separated line
  // are its separators, not text). A plain line ended by a line feed is found
  // by the same scan that finds its end; any other line is read again by Next.
  template <bool kTabs = false>
  bool Next(std::string_view& line, bool& hadLineEnd, bool& plain) {
    plain = false;
    if (NeedsRefill()) Refill();
    if (m_pos >= m_text.size()) return false;
    const char* start = m_text.data() + m_pos;
    const std::size_t remaining = m_text.size() - m_pos;
    const std::size_t window = remaining < m_limit + 1 ? remaining : m_limit + 1;
    const auto notPlain = [](scan::Block v) {
      if constexpr (kTabs) return scan::AndNot(NotPlain(v), scan::Equal(v, '\t'));
      else return NotPlain(v);
    };
    const char* const at = scan::FindFirst(start, start + window, notPlain, [](char c) {
      return (static_cast<signed char>(c) < 32 && (!kTabs || c != '\t')) || c == '"';
    });
    const auto len = static_cast<std::size_t>(at - start);
    std::size_t lineEnd = 0;  // bytes of the line end
    if (at != start + window) {
      if (*at == '\n') lineEnd = 1;
      else if (*at == '\r' && len + 1 < window && at[1] == '\n') lineEnd = 2;
    }
    if (lineEnd == 0 || len + 1 > m_limit) return Next(line, hadLineEnd);
    plain = true;
    hadLineEnd = true;
    m_pos += len + lineEnd;
    line = std::string_view(start, len);
    return true;
  }
  // The next line when sixteen bytes from its start are in the text and it
  // ends among them with a bare line feed, holding no double quote and no
  // byte below 32 as signed (a plain line of up to fifteen bytes, within the
  // limit): the one look at those bytes that finds its end also finds its
  // `separator`s, given as a mask (bit i for line[i]). False, with nothing
  // read, for any other line, which Next then reads.
  bool NextShortPlain(std::string_view& line, char separator, unsigned& separators) {
#ifdef ZEPHRIN_SCAN_SSE2
    if (NeedsRefill()) Refill();
    if (m_text.size() - m_pos < 16) return false;
    const char* const start = m_text.data() + m_pos;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start));
    const auto special = static_cast<unsigned>(_mm_movemask_epi8(NotPlain(v)));
    if (special == 0) return false;
    const auto len = static_cast<unsigned>(__builtin_ctz(special));
    if (start[len] != '\n' || len + 1 > m_limit) return false;
    separators = static_cast<unsigned>(_mm_movemask_epi8(scan::Equal(v, separator))) & ((1u << len) - 1);
    m_pos += len + 1;
    line = std::string_view(start, len);
    return true;
#else
    (void)line, (void)separator, (void)separators;
    return false;
#endif
  }
  // The text the lines of the last Next lie in (the window, or the whole
  // text): valid until the next Next.
  std::string_view buffer() const { return m_text; }
  // Bytes of the text consumed so far.
  std::size_t offset() const { return m_base + m_pos; }
  // The size of the text (of the file, while it is streamed).
  std::size_t size() const { return m_window.size(); }

 private:
  // The bytes that end a plain line's scan: a double quote, or a byte below
  // 32 as signed (a control character, the line feed among them, or a byte
  // of 0x80 and above).
  static scan::Block NotPlain(scan::Block v) { return scan::Or(scan::SignedBelow(v, ' '), scan::Equal(v, '"')); }
  // Whether the next line, as long as the limit allows, may reach past the
  // window (in test builds: whether there is a window to move at all).
  bool NeedsRefill() const {
    if constexpr (kFreshReadWindows) return m_window.moves();
    return m_pos >= m_refillFrom;
  }
  // Moves the window on (or over to the settled text) so that the next line,
  // as long as the limit allows, is in it.
  void Refill();
  void TakeWindow(std::size_t at);

  TextWindow m_window;
  std::size_t m_base = 0;  // the text's offset of m_text's first byte
  // The first position from which the longest line may reach past m_text
  // (never, when m_text runs to the end of the text).
  std::size_t m_refillFrom = static_cast<std::size_t>(-1);
  std::string_view m_text;
  std::size_t m_limit;
  bool m_hasNul;
  std::size_t m_pos;
};

}  // namespace zephrin
