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
  const __m128i ctrlZ = _mm_set1_epi8('\x1A');
  const __m128i zero = _mm_setzero_si128();
  __m128i highBits = _mm_setzero_si128();
  __m128i nuls = _mm_setzero_si128();
  while (stop - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (!binary && _mm_movemask_epi8(_mm_cmpeq_epi8(v, ctrlZ)) != 0) break;
    highBits = _mm_or_si128(highBits, v);
    nuls = _mm_or_si128(nuls, _mm_cmpeq_epi8(v, zero));
    p += 16;
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

void DataText::Prepare(std::string_view bytes, bool binary) {
  m_rawSize = bytes.size();
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
