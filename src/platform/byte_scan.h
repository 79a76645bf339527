// Finding the first byte of interest in a text, sixteen bytes at a time: the
// one scanning loop behind the field splitter, the escapers and the checks
// for control characters.
//
// A scan reads nothing outside [p, end): whole blocks are loaded while
// sixteen bytes are left, and the last partial block is copied into a block
// of the scan's own first. A host that runs the library under a memory
// checker or a sanitizer sees no read past the end of any buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(ZEPHRIN_NO_SIMD)
#define ZEPHRIN_SCAN_SSE2 1
#include <emmintrin.h>
#endif

namespace zephrin {

// Copies a short run without a library call: two overlapping moves cover
// any length up to 32 (names, tags, most values and a scan's last partial
// block are that short).
inline char* CopyShort(char* out, const char* in, std::size_t n) {
  if (n <= 16) {
    if (n >= 8) {
      std::memcpy(out, in, 8);
      std::memcpy(out + n - 8, in + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(out, in, 4);
      std::memcpy(out + n - 4, in + n - 4, 4);
    } else {
      for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    }
  } else if (n <= 32) {
    std::memcpy(out, in, 16);
    std::memcpy(out + n - 16, in + n - 16, 16);
  } else {
    std::memcpy(out, in, n);
  }
  return out + n;
}

}  // namespace zephrin

namespace zephrin::scan {

#ifdef ZEPHRIN_SCAN_SSE2
using Block = __m128i;
inline Block Splat(char c) { return _mm_set1_epi8(c); }
inline Block Equal(Block v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
// Bytes below `c` taken as signed: with c = ' ', the control characters and
// every byte of 0x80 and above.
inline Block SignedBelow(Block v, char c) { return _mm_cmplt_epi8(v, _mm_set1_epi8(c)); }
inline Block Or(Block a, Block b) { return _mm_or_si128(a, b); }

// The last `n` (< 16) bytes of a range as a block, the rest of it zero. The
// copy moves at most two overlapping words, so a short tail costs about what
// one load would.
inline Block LoadTail(const char* p, std::size_t n) {
  alignas(16) char b[16] = {};
  CopyShort(b, p, n);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(b));
}
#else
// Without SSE2 the byte test alone runs; the block tests are placeholders.
struct Block {};
inline Block Splat(char) { return {}; }
inline Block Equal(Block, char) { return {}; }
inline Block SignedBelow(Block, char) { return {}; }
inline Block Or(Block, Block) { return {}; }
#endif

// The first byte in [p, end) for which `is(c)` holds, or `end`. `blockIs(v)`
// is the same test on a block of sixteen bytes (0xFF where it holds); the
// zeros that fill a tail block are masked out, whatever the test says of them.
template <class BlockTest, class ByteTest>
inline const char* FindFirst(const char* p, const char* end, BlockTest&& blockIs, ByteTest&& is) {
#ifdef ZEPHRIN_SCAN_SSE2
  (void)is;
  while (end - p >= 16) {
    const auto mask =
        static_cast<unsigned>(_mm_movemask_epi8(blockIs(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
  if (p == end) return end;
  const auto left = static_cast<std::size_t>(end - p);
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(blockIs(LoadTail(p, left)))) & ((1u << left) - 1);
  return mask != 0 ? p + __builtin_ctz(mask) : end;
#else
  (void)blockIs;
  while (p < end && !is(*p)) ++p;
  return p;
#endif
}

// The same for texts whose runs are long (a whole document between two
// quotes): 64 bytes a step, with one test of the four blocks together.
template <class BlockTest, class ByteTest>
inline const char* FindFirstInLongRuns(const char* p, const char* end, BlockTest&& blockIs, ByteTest&& is) {
#ifdef ZEPHRIN_SCAN_SSE2
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
