// Finding the first byte of interest in a text, sixteen bytes at a time: the
// one scanning loop behind the field splitter, the escapers and the checks
// for control characters.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zephrin::scan {

#ifdef __SSE2__
using Block = __m128i;
inline Block Splat(char c) { return _mm_set1_epi8(c); }
inline Block Equal(Block v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
// Bytes below `c` taken as signed: with c = ' ', the control characters and
// every byte of 0x80 and above.
inline Block SignedBelow(Block v, char c) { return _mm_cmplt_epi8(v, _mm_set1_epi8(c)); }
inline Block Or(Block a, Block b) { return _mm_or_si128(a, b); }
#else
// Without SSE2 the byte test alone runs; the block tests are placeholders.
struct Block {};
inline Block Splat(char) { return {}; }
inline Block Equal(Block, char) { return {}; }
inline Block SignedBelow(Block, char) { return {}; }
inline Block Or(Block, Block) { return {}; }
#endif

// The first byte in [p, end) for which `is(c)` holds, or `end`. `blockIs(v)`
// is the same test on a block of sixteen bytes (0xFF where it holds). The
// last, partial block is loaded whole when it lies within one page (which
// then holds the bytes past the end too; they are masked out), so a short
// text costs one step.
template <class BlockTest, class ByteTest>
#ifdef __SSE2__
__attribute__((no_sanitize("address")))
#endif
inline const char* FindFirst(const char* p, const char* end, BlockTest&& blockIs, ByteTest&& is) {
#ifdef __SSE2__
  while (p < end) {
    const auto left = static_cast<std::size_t>(end - p);
    if (left < 16 && (reinterpret_cast<std::uintptr_t>(p) & 4095) > 4096 - 16) break;  // it would cross a page
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(blockIs(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))));
    if (left < 16) mask &= (1u << left) - 1;
    if (mask != 0) return p + __builtin_ctz(mask);
    if (left <= 16) return end;
    p += 16;
  }
#else
  (void)blockIs;
#endif
  while (p < end && !is(*p)) ++p;
  return p;
}

// The same for texts whose runs are long (a whole document between two
// quotes): 64 bytes a step, with one test of the four blocks together.
template <class BlockTest, class ByteTest>
#ifdef __SSE2__
__attribute__((no_sanitize("address")))
#endif
inline const char* FindFirstInLongRuns(const char* p, const char* end, BlockTest&& blockIs, ByteTest&& is) {
#ifdef __SSE2__
  while (end - p >= 64) {
    const auto* q = reinterpret_cast<const __m128i*>(p);
    const Block any = Or(Or(blockIs(_mm_loadu_si128(q)), blockIs(_mm_loadu_si128(q + 1))),
                         Or(blockIs(_mm_loadu_si128(q + 2)), blockIs(_mm_loadu_si128(q + 3))));
    if (_mm_movemask_epi8(any) != 0) break;
    p += 64;
  }
#endif
  return FindFirst(p, end, blockIs, is);
}

}  // namespace zephrin::scan
