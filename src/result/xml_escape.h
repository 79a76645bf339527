// The one escaper of every text the engine writes into XML.
//
// A table holds, for each byte of the engine's Windows-1252 text, what it
// becomes in the UTF-8 document: itself (plain bytes, skipped sixteen at a
// time), an entity, its UTF-8 form, or a space. Five tables cover every use:
//
//   kText        element text: "&", "<", ">" as entities
//   kTextTwice   element text of a value the engine escaped first ("&" ->
//                "&amp;amp;"), as a host's document serialises such a value
//   kAttribute   attribute value: "&", "<", '"' and tab, line feed, carriage
//                return as references
//   kTextPrintable, kTextTwicePrintable
//                the same for the readers that show only printable ASCII:
//                every byte outside " " to "~" is a space
//
// Every table writes a control character XML 1.0 forbids as a space, so the
// output is always well-formed.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zephrin::xml {

// What one byte becomes: `len` bytes of `bytes`; len 0 marks a plain byte.
struct Replacement {
  char bytes[10];
  unsigned char len;
};
struct EscapeTable {
  Replacement r[256];
  bool printableOnly;  // DEL and the bytes of 0x80 and above are spaces too
};

extern const EscapeTable kText;
extern const EscapeTable kTextTwice;
extern const EscapeTable kAttribute;
extern const EscapeTable kTextPrintable;
extern const EscapeTable kTextTwicePrintable;

// The most bytes one input byte can become.
inline constexpr std::size_t kMaxExpansion = 9;
// Room to give EscapeInto for `n` input bytes.
inline constexpr std::size_t RoomFor(std::size_t n) { return n * kMaxExpansion + 16; }

// The first byte in [p, end) that a table may change: "&", "<", ">", '"', a
// byte below " " or of 0x80 and above, or DEL.
inline const char* SkipPlain(const char* p, const char* end) {
#ifdef __SSE2__
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i space = _mm_set1_epi8(' ');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)), _mm_cmpeq_epi8(v, gt)),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, del)), _mm_cmplt_epi8(v, space)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c >= 0x7F || c == '&' || c == '<' || c == '>' || c == '"') break;
    ++p;
  }
  return p;
}

// Writes `text` escaped by `table` at `out`, which must have RoomFor(size)
// bytes; returns the new end.
inline char* EscapeInto(char* out, std::string_view text, const EscapeTable& table) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* run = p;
    p = SkipPlain(p, end);
    const auto n = static_cast<std::size_t>(p - run);
    if (n != 0) {
      std::memcpy(out, run, n);
      out += n;
    }
    if (p == end) break;
    const Replacement& r = table.r[static_cast<unsigned char>(*p++)];
    if (r.len == 0) {
      *out++ = p[-1];
    } else {
      std::memcpy(out, r.bytes, sizeof r.bytes);  // the room has 16 bytes to spare
      out += r.len;
    }
  }
  return out;
}

// The same, appended to a string or a buffer.
void AppendEscaped(std::string& out, std::string_view text, const EscapeTable& table);
template <class Buffer>
inline void AppendEscapedTo(Buffer& out, std::string_view text, const EscapeTable& table) {
  out.Commit(EscapeInto(out.Room(RoomFor(text.size())), text, table));
}

// The engine's own escaping of a value before it is written: "amp;" after
// every "&", then "<" -> "&lt;" and ">" -> "&gt;" (engine text in and out).
std::string EscapeEngineText(std::string_view text);
void AppendEngineEscaped(std::string& out, std::string_view text);

}  // namespace zephrin::xml
