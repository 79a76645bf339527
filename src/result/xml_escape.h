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
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "result/text_buffer.h"

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

// The bytes no table changes.
struct PlainBytes {
  bool plain[256];
  constexpr PlainBytes() : plain() {
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '&' && c != '<' && c != '>' && c != '"';
  }
};
inline constexpr PlainBytes kPlainBytes{};

// The first byte in [p, end) that a table may change: "&", "<", ">", '"', a
// byte below " " or of 0x80 and above, or DEL. Sixteen bytes at a time; the
// last, partial block is loaded whole when it lies within one page (which
// always holds the bytes beyond the end too), with the bytes past the end
// masked out, so a short value costs one step.
#if defined(__SSE2__)
__attribute__((no_sanitize("address")))
#endif
inline const char* SkipPlain(const char* p, const char* end) {
#ifdef __SSE2__
  // '"' and "&" are the bytes that "| 0x04" makes "&"; "<" and ">" the ones
  // that "| 0x02" makes ">".
  const __m128i four = _mm_set1_epi8(0x04);
  const __m128i two = _mm_set1_epi8(0x02);
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i space = _mm_set1_epi8(' ');
  while (p < end) {
    const auto left = static_cast<std::size_t>(end - p);
    if (left < 16 && (reinterpret_cast<std::uintptr_t>(p) & 4095) > 4096 - 16) break;  // the block would cross a page
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, four), amp), _mm_cmpeq_epi8(_mm_or_si128(v, two), gt)),
        _mm_or_si128(_mm_cmpeq_epi8(v, del), _mm_cmplt_epi8(v, space)));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (left < 16) mask &= (1u << left) - 1;
    if (mask != 0) return p + __builtin_ctz(mask);
    if (left <= 16) return end;
    p += 16;
  }
#endif
  while (p < end && kPlainBytes.plain[static_cast<unsigned char>(*p)]) ++p;
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
    out = CopyShort(out, run, static_cast<std::size_t>(p - run));
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
