#include "readers/data_text.h"

#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/codepage.h"

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
    _mm_prefetch(p + 2048, _MM_HINT_T0);
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

// How a file's bytes say they are UTF-16: by a byte order mark, or, without
// one, by NULs in at least nine of ten odd (little-endian) or even
// (big-endian) positions of their first 4 KB, as ASCII text in UTF-16 has.
enum class Utf16Order { kNone, kLittle, kBig };
struct Utf16Look {
  Utf16Order order = Utf16Order::kNone;
  std::size_t bomBytes = 0;
};

constexpr std::size_t kUtf16Look = 4096;

Utf16Look LookForUtf16(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return {Utf16Order::kLittle, 2};
  if (bytes.starts_with("\xFE\xFF")) return {Utf16Order::kBig, 2};
  const std::string_view head = bytes.substr(0, kUtf16Look);
  if (head.size() < 2) return {};
  std::size_t nulsAt[2] = {0, 0};
  for (std::size_t i = 0; i < head.size(); ++i)
    if (head[i] == '\0') ++nulsAt[i % 2];
  const std::size_t evenPositions = (head.size() + 1) / 2, oddPositions = head.size() / 2;
  if (nulsAt[1] * 10 >= oddPositions * 9) return {Utf16Order::kLittle, 0};
  if (nulsAt[0] * 10 >= evenPositions * 9) return {Utf16Order::kBig, 0};
  return {};
}

}  // namespace

void DataText::Prepare(std::string_view bytes, bool binary) {
  m_rawSize = bytes.size();
  m_invalidUtf16 = false;
  if (const Utf16Look utf16 = LookForUtf16(bytes); utf16.order != Utf16Order::kNone) {
    // UTF-16 text becomes engine text first; every rule then reads that.
    std::string converted;
    m_invalidUtf16 = !Utf16ToAnsi(bytes.substr(utf16.bomBytes), utf16.order == Utf16Order::kBig, converted);
    m_copy = std::move(converted);
    const Scan scan = ScanBytes(m_copy, binary);
    m_text = std::string_view(m_copy).substr(0, scan.end);
    m_hasNul = scan.nul;
    return;
  }
  const Scan scan = ScanBytes(bytes, binary);
  m_text = bytes.substr(0, scan.end);
  m_hasNul = scan.nul;
  if (!scan.high) return;  // plain ASCII: the text is the file's own bytes
  std::string_view body = m_text;
  const bool bom = body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF";
  if (bom) body.remove_prefix(3);
  if (!IsValidUtf8(body)) return;  // Windows-1252 already, a leading BOM's bytes included
  m_copy = Utf8ToAnsi(body);
  m_text = m_copy;
}

FileReadStatus DataText::Load(const std::string& osPath, bool binary) {
  m_copy.clear();
  m_text = {};
  m_rawSize = 0;
  m_hasNul = false;
  const FileReadStatus status = ReadRegularFile(osPath, m_bytes, /*map=*/true);
  if (status != FileReadStatus::kOk) return status;
  Prepare(m_bytes.view(), binary);
  return status;
}

void DataText::Assign(std::string_view bytes, bool binary) {
  m_bytes = FileBytes();
  m_copy.assign(bytes);
  Prepare(m_copy, binary);
}

}  // namespace zephrin
