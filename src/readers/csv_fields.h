// Field splitting of comma-separated lines, shared by the CSV reader and the
// layout editor's preview so that both number the fields alike.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "readers/line_source.h"

namespace zephrin {

// Splits one line (trailing blanks already removed) into fields numbered from
// 0. With `replaceChars`, characters outside " " to "~" become blanks, in place.
// A double quote toggles `inQuotes`, which the caller keeps from line to line;
// a comma outside quotes ends a field; the last character ends the last field,
// and a comma there is not part of it (no empty field follows it). Each field
// reaches `f(index, field)` with its trailing blanks removed; `f` returns false
// to stop. Returns the number of fields, or -1 when `f` stopped the split.
namespace csv_detail {
// Byte classes of the field splitter: plain, outside the printable range,
// double quote, comma.
enum : unsigned char { kPlain = 0, kOutside = 1, kQuote = 2, kComma = 3 };
struct ByteClasses {
  unsigned char c[256];
  constexpr ByteClasses() : c() {
    for (int i = 0; i < 256; ++i) c[i] = (i < 32 || i > 126) ? kOutside : kPlain;
    c[static_cast<unsigned char>('"')] = kQuote;
    c[static_cast<unsigned char>(',')] = kComma;
  }
};
inline constexpr ByteClasses kByteClasses{};

// The index of the first byte in [i, end) that is not plain, or `end`.
inline std::size_t SkipPlain(const char* data, std::size_t i, std::size_t end) {
#ifdef __SSE2__
  // Sixteen bytes at a time: a quote, a comma, or a byte outside " " to "~"
  // (signed, the bytes of 0x80 and above are below " ").
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i tilde = _mm_set1_epi8('~');
  while (i + 16 <= end) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, comma)),
                                         _mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpgt_epi8(v, tilde)));
    const int mask = _mm_movemask_epi8(special);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    i += 16;
  }
#endif
  while (i < end && kByteClasses.c[static_cast<unsigned char>(data[i])] == kPlain) ++i;
  return i;
}
}  // namespace csv_detail

template <class F>
int ForEachCsvField(char* const data, const std::size_t n, bool& inQuotes, bool replaceChars, F&& f) {
  using namespace csv_detail;
  int fieldIndex = 0;
  std::size_t fieldStart = 0;
  std::size_t i = 0;
  while (i < n) {
    // Plain characters neither split nor change anything: skip them in a run
    // (the last character always ends a field, so the run stops before it).
    i = SkipPlain(data, i, n - 1);
    char& c = data[i];
    const unsigned char cls = kByteClasses.c[static_cast<unsigned char>(c)];
    if (cls == kOutside && replaceChars) c = ' ';
    if (cls == kQuote) inQuotes = !inQuotes;
    const bool comma = cls == kComma && !inQuotes;
    if (!comma && i + 1 != n) {
      ++i;
      continue;
    }
    const std::size_t fieldEnd = comma ? i : n;
    if (!f(fieldIndex, TrimRight(std::string_view(data + fieldStart, fieldEnd - fieldStart)))) return -1;
    fieldStart = i + 1;
    ++fieldIndex;
    ++i;
  }
  return fieldIndex;
}

template <class F>
int ForEachCsvField(std::string& line, bool& inQuotes, bool replaceChars, F&& f) {
  return ForEachCsvField(line.data(), line.size(), inQuotes, replaceChars, std::forward<F>(f));
}

}  // namespace zephrin
