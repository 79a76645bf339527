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
//   kTextUtf8    element text that is UTF-8 already (a folder's path): its
//                bytes of 0x80 and above pass as they are
//
// Each table has a twin for a document written as the inside of a JSON
// string (the host protocol's answer): the same bytes with '"', the backslash and the
// line ends and tabs it keeps escaped as JSON escapes them, so that the
// answer needs no second pass over the document.
//
// Every table writes a control character XML 1.0 forbids as a space, so the
// output is always well-formed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/byte_scan.h"
#include "result/text_buffer.h"

namespace zephrin::xml {

// What one byte becomes: `len` bytes of `bytes`; len 0 marks a plain byte.
struct Replacement {
  char bytes[10];
  unsigned char len;
};
struct EscapeTable {
  Replacement r[256];
  bool printableOnly;  // DEL and the bytes of 0x80 and above are spaces too
  // The same table for a document written inside a JSON string.
  const EscapeTable* inJson;
};

extern const EscapeTable kText;
extern const EscapeTable kTextTwice;
extern const EscapeTable kAttribute;
extern const EscapeTable kTextPrintable;
extern const EscapeTable kTextTwicePrintable;
extern const EscapeTable kTextUtf8;

// The most bytes one input byte can become.
inline constexpr std::size_t kMaxExpansion = 9;
// Room to give EscapeInto for `n` input bytes.
inline constexpr std::size_t RoomFor(std::size_t n) { return n * kMaxExpansion + 16; }

// The bytes no table changes.
struct PlainBytes {
  bool plain[256];
  constexpr PlainBytes() : plain() {
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\\';
  }
};
inline constexpr PlainBytes kPlainBytes{};

// The bytes of a block that a table may change: "&", "<", ">", '"', a
// backslash, a byte below " " or of 0x80 and above, or DEL.
inline scan::Block MayChange(scan::Block v) {
  // '"' and "&" are the bytes that "| 0x04" makes "&"; "<" and ">" the ones
  // that "| 0x02" makes ">".
  return scan::Or(scan::Or(scan::Equal(scan::Or(v, scan::Splat(0x04)), '&'),
                           scan::Equal(scan::Or(v, scan::Splat(0x02)), '>')),
                  scan::Or(scan::Or(scan::Equal(v, 0x7F), scan::Equal(v, '\\')), scan::SignedBelow(v, ' ')));
}

// The first byte in [p, end) that a table may change.
inline const char* SkipPlain(const char* p, const char* end) {
  return scan::FindFirst(
      p, end, [](scan::Block v) { return MayChange(v); },
      [](char c) { return !kPlainBytes.plain[static_cast<unsigned char>(c)]; });
}

// Writes what `table` makes of the byte `c` at `out`, which has room for a
// whole replacement (the room of an escaped text has 16 bytes to spare);
// returns the new end.
inline char* ReplaceAt(char* out, char c, const EscapeTable& table) {
  const Replacement& r = table.r[static_cast<unsigned char>(c)];
  if (r.len == 0) {
    *out = c;
    return out + 1;
  }
  std::memcpy(out, r.bytes, sizeof r.bytes);
  return out + r.len;
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
    out = ReplaceAt(out, *p++, table);
  }
  return out;
}

#ifdef ZEPHRIN_SCAN_SSE2
// A text of at most 64 bytes whose buffer may be read 16 bytes past its end:
// one mask of the whole text marks the bytes to change, and the runs between
// them are copied sixteen bytes at a time (the room's 16 spare bytes take
// what a last block writes past a run).
inline char* EscapeMasked(char* out, const char* p, std::size_t n, const EscapeTable& table) {
  const auto block = [](const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  uint64_t mask = 0;
  for (std::size_t k = 0; k < n; k += 16)
    mask |= uint64_t{static_cast<unsigned>(_mm_movemask_epi8(MayChange(block(p + k))))} << k;
  if (n < 64) mask &= (uint64_t{1} << n) - 1;
  std::size_t from = 0;
  while (true) {
    const std::size_t to = mask == 0 ? n : static_cast<std::size_t>(__builtin_ctzll(mask));
    for (std::size_t k = from; k < to; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k - from)), block(p + k));
    out += to - from;
    if (to == n) return out;
    out = ReplaceAt(out, p[to], table);
    from = to + 1;
    mask &= mask - 1;
  }
}
#endif

// What EscapeInBuffer does not copy whole, escaped (see below).
char* EscapeInBufferRest(char* out, std::string_view text, std::size_t readable, const EscapeTable& table);

// The same as EscapeMasked and EscapeInto for a text whose buffer may be read `readable` bytes from the
// text's start (the rest of a line, say): a text of at most sixteen bytes
// with sixteen readable is tested and, when no byte of it changes, copied as
// one block, with no branch on its length; one of at most 64 bytes with 16
// more readable is escaped by its mask. `out` needs RoomFor(size) bytes.
// The short text that no table changes is the usual value: it is tested and
// copied where the value is written, and anything else is escaped out of line
// by EscapeInBufferRest.
inline char* EscapeInBuffer(char* out, std::string_view text, std::size_t readable, const EscapeTable& table) {
#ifdef ZEPHRIN_SCAN_SSE2
  const std::size_t n = text.size();
  if (n <= 16 && readable >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
    const auto inText = static_cast<unsigned>((uint64_t{1} << n) - 1);
    if ((static_cast<unsigned>(_mm_movemask_epi8(MayChange(v))) & inText) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);  // the room has 16 bytes to spare
      return out + n;
    }
  }
#endif
  return EscapeInBufferRest(out, text, readable, table);
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
