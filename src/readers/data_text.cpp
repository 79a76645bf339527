#include "readers/data_text.h"

#include <algorithm>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/codepage.h"
#include "platform/text.h"

namespace zephrin {
namespace {

// What one look at the bytes tells: where a Ctrl-Z ends the text, whether a
// byte of 0x80 and above or a NUL comes before it.
struct Scan {
  std::size_t end;
  bool high = false;
  bool nul = false;
};

Scan ScanBytes(std::string_view bytes, bool binary) {
  const char* const begin = bytes.data();
  const char* const stop = begin + bytes.size();
  const char* p = begin;
  bool high = false, nul = false;
#ifdef __SSE2__
  // Sixty-four bytes a step with one branch: the high bits and NULs are
  // gathered across the whole text, a Ctrl-Z ends the fast part.
  const __m128i ctrlZ = _mm_set1_epi8('\x1A');
  const __m128i zero = _mm_setzero_si128();
  __m128i highBits = _mm_setzero_si128();
  __m128i nuls = _mm_setzero_si128();
  while (stop - p >= 64) {
    const auto* q = reinterpret_cast<const __m128i*>(p);
    _mm_prefetch(p + 32768, _MM_HINT_T0);
    const __m128i a = _mm_loadu_si128(q), b = _mm_loadu_si128(q + 1);
    const __m128i c = _mm_loadu_si128(q + 2), d = _mm_loadu_si128(q + 3);
    const __m128i z = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, ctrlZ), _mm_cmpeq_epi8(b, ctrlZ)),
                                   _mm_or_si128(_mm_cmpeq_epi8(c, ctrlZ), _mm_cmpeq_epi8(d, ctrlZ)));
    if (!binary && _mm_movemask_epi8(z) != 0) break;
    highBits = _mm_or_si128(highBits, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
    const __m128i lows = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    nuls = _mm_or_si128(nuls, _mm_cmpeq_epi8(lows, zero));
    p += 64;
  }
  high = _mm_movemask_epi8(highBits) != 0;
  nul = _mm_movemask_epi8(nuls) != 0;
#endif
  for (; p < stop && (binary || *p != '\x1A'); ++p) {
    high = high || static_cast<unsigned char>(*p) >= 0x80;
    nul = nul || *p == '\0';
  }
  return {static_cast<std::size_t>(p - begin), high, nul};
}

}  // namespace

void DataText::NoteCtrlZ(std::string_view after) const {
  const auto trailing = [](char c) { return c == '\x1A' || c == '\0' || IsBlank(c); };
  if (std::all_of(after.begin(), after.end(), trailing)) return;
  m_ctrlZLine = static_cast<long>(std::count(m_text.begin(), m_text.end(), '\n')) + 1;
}

void DataText::Decide(std::string_view bytes, std::size_t clean) const {
  const Scan scan = ScanBytes(bytes.substr(clean), m_binary);
  m_settled = true;
  m_text = bytes.substr(0, clean + scan.end);
  m_hasNul = scan.nul;
  if (clean + scan.end < bytes.size()) NoteCtrlZ(bytes.substr(clean + scan.end + 1));
  if (!scan.high) return;  // plain ASCII: the text is the file's own bytes
  std::string_view body = m_text;
  const bool bom = body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF";
  if (bom) body.remove_prefix(3);
  // Text that is not UTF-8 is Windows-1252 already. A byte-order mark says
  // UTF-8 whatever follows: a byte that is not (a character pasted from
  // elsewhere) is taken as Windows-1252 then. Without one, UTF-8 letters
  // beside such a byte read as two characters each, which is noted.
  if (const Utf8Look look = LookAtUtf8(body); !bom && look.firstInvalid != std::string_view::npos) {
    if (look.letters) m_notUtf8Line = static_cast<long>(std::count(body.begin(), body.begin() + look.firstInvalid, '\n')) + 1;
    return;
  }
  m_copy = Utf8ToAnsi(body);
  m_text = m_copy;
}

// Bytes in memory that are UTF-16 become engine text first, and every rule
// then reads that. Returns false when they are not UTF-16.
bool DataText::TakeUtf16(std::string_view bytes) {
  const Utf16Look utf16 = LookForUtf16(bytes);
  if (utf16.order == Utf16Order::kNone) return false;
  std::string converted;
  m_invalidUtf16 = !Utf16ToAnsi(bytes.substr(utf16.bomBytes), utf16.order == Utf16Order::kBig, converted);
  m_copy = std::move(converted);
  const Scan scan = ScanBytes(m_copy, m_binary);
  m_text = std::string_view(m_copy).substr(0, scan.end);
  m_hasNul = scan.nul;
  m_settled = true;
  if (scan.end < m_copy.size()) NoteCtrlZ(std::string_view(m_copy).substr(scan.end + 1));
  return true;
}

void DataText::SettleAll() const {
  if (m_settled) return;
  // A streamed file is read whole now; its first m_clean bytes were plain.
  if (ReadRegularFile(m_file, m_bytes, /*map=*/true) != FileReadStatus::kOk || m_bytes.size() != m_rawSize) {
    m_streamLost = true;
    m_settled = true;
    m_text = {};
    return;
  }
  Decide(m_bytes.view(), std::min(m_clean, m_bytes.size()));
}

long long DataText::ReadPlain(std::size_t offset, char* out, std::size_t n) const {
  const long long got = m_file.ReadAt(offset, out, n);
  if (got < 0 || (static_cast<std::size_t>(got) < n && offset + static_cast<std::size_t>(got) < m_rawSize)) {
    m_streamLost = true;  // the file shrank, or cannot be read any more
    return kEnded;
  }
  const auto count = static_cast<std::size_t>(got);
  const Scan scan = ScanBytes(std::string_view(out, count), m_binary);
  if (scan.high || scan.nul || scan.end != count) return kOdd;
  if (offset <= m_clean) m_clean = std::max(m_clean, offset + count);
  return got;
}

FileReadStatus DataText::Load(const std::string& osPath, bool binary) {
  *this = DataText();
  m_binary = binary;
  const FileReadStatus status = OpenRegularFile(osPath, m_file);
  if (status != FileReadStatus::kOk) return status;
  m_rawSize = m_file.size();
  if (m_rawSize > kReadWindow) {
    char head[kUtf16Look];
    const long long got = m_file.ReadAt(0, head, std::min(sizeof head, m_rawSize));
    if (got >= 0 && LookForUtf16(std::string_view(head, static_cast<std::size_t>(got))).order == Utf16Order::kNone) {
      m_settled = false;  // streamed
      return status;
    }
  }
  if (const FileReadStatus read = ReadRegularFile(m_file, m_bytes, /*map=*/true); read != FileReadStatus::kOk)
    return read;
  m_file = OpenFile();
  m_rawSize = m_bytes.size();
  if (!TakeUtf16(m_bytes.view())) Decide(m_bytes.view(), 0);
  return status;
}

void DataText::Assign(std::string_view bytes, bool binary) {
  *this = DataText();
  m_binary = binary;
  m_rawSize = bytes.size();
  m_copy.assign(bytes);
  if (!TakeUtf16(m_copy)) Decide(m_copy, 0);
}

// ---- Lines -----------------------------------------------------------------------------

TextWindow::TextWindow(const DataText& text, std::size_t start) : m_source(&text) {
  if (!text.streaming() || start > text.cleanBytes()) {
    UseWholeText();
    return;
  }
  m_base = start;
  m_final = false;
}

void TextWindow::UseWholeText() {
  m_bytes = m_source->text();
  m_hasNul = m_source->hasNul();
  m_base = 0;
  m_final = true;
  m_buffer.reset();
  m_capacity = 0;
}

void TextWindow::MoveTo(std::size_t at, std::size_t capacity) {
  if (m_source == nullptr) return;      // text in memory: the window is all of it
  if (!m_source->streaming()) {         // settled meanwhile, by this reader or another
    if (m_buffer || !m_final) UseWholeText();
    return;
  }
  // The bytes of the window from `at` on (read and checked already) move to
  // the front of the buffer, which grows when asked for more.
  const std::size_t keep = m_base + m_bytes.size() - at;
  const char* const kept = m_bytes.data() + (at - m_base);
  capacity = std::max(capacity, keep);
  if (!m_buffer || kFreshReadWindows || capacity > m_capacity) {
    auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    if (keep > 0) std::memcpy(buffer.get(), kept, keep);
    m_buffer = std::move(buffer);
    m_capacity = capacity;
  } else if (keep > 0) {
    std::memmove(m_buffer.get(), kept, keep);
  }
  m_base = at;
  m_bytes = std::string_view(m_buffer.get(), keep);
  if (m_final) return;  // moved only, to new memory
  const std::size_t fileAt = at + keep;
  const std::size_t rawSize = m_source->m_rawSize;
  const std::size_t want = std::min(m_capacity - keep, rawSize - std::min(fileAt, rawSize));
  long long got = m_source->ReadPlain(fileAt, m_buffer.get() + keep, want);
  if (got == DataText::kOdd) {
    m_source->SettleAll();
    UseWholeText();
    return;
  }
  if (got == DataText::kEnded) got = 0;  // the read ends; the text is lost()
  m_bytes = std::string_view(m_buffer.get(), keep + static_cast<std::size_t>(got));
  m_final = fileAt + static_cast<std::size_t>(got) >= rawSize || static_cast<std::size_t>(got) < want;
}

LineReader::LineReader(const DataText& text, std::size_t limit, std::size_t start)
    : m_window(text, start), m_limit(limit), m_hasNul(false), m_pos(0) {
  TakeWindow(start);
}

// Takes what the window holds, the next line at text offset `at`.
void LineReader::TakeWindow(std::size_t at) {
  m_text = m_window.bytes();
  m_hasNul = m_window.hasNul();
  m_base = m_window.base();
  if (m_window.final()) m_refillFrom = static_cast<std::size_t>(-1);
  else m_refillFrom = m_text.size() >= m_limit + 2 ? m_text.size() - m_limit - 1 : 0;
  m_pos = std::min(at - std::min(at, m_base), m_text.size());
}

void LineReader::Refill() {
  const std::size_t at = offset();
  m_window.MoveTo(at, m_limit + 2 + kReadWindow);
  TakeWindow(at);
}

}  // namespace zephrin
