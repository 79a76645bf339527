// Finding the first byte of interest in a text, sixteen bytes at a time: the
// one scanning loop behind the field splitter, the escapers and the checks
// for control characters.
//
// A scan reads nothing outside [p, end): whole blocks are loaded while
// sixteen bytes are left, and the last partial block is put together in
// registers from loads inside the range. A host that runs the library under
// a memory checker or a sanitizer sees no read past the end of any buffer.
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
// The bytes of `a` that are not in `b`.
inline Block AndNot(Block a, Block b) { return _mm_andnot_si128(b, a); }

// The bytes of a short tail [p, p + n), 0 < n < 16, for which the block test
// holds, as a mask (bit i for p[i]). The tail's bytes go into a block by
// loads into registers: two overlapping words cover any length, so no byte
// outside the range is read, and nothing is stored and loaded back (a block
// stored in pieces and then loaded whole waits for the stores, which costs
// more than the test itself on short values).
template <class BlockTest>
inline unsigned TailMask(const char* p, std::size_t n, BlockTest&& blockIs) {
  const auto maskOf = [&](uint64_t high, uint64_t low) {
    return static_cast<unsigned>(_mm_movemask_epi8(
        blockIs(_mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low)))));
  };
  if (n >= 8) {
    // Lanes 0-7 hold p[0, 8), lanes 8-15 hold p[n - 8, n).
    uint64_t low, high;
    std::memcpy(&low, p, 8);
    std::memcpy(&high, p + n - 8, 8);
    const unsigned mask = maskOf(high, low);
    return (mask & 0xFFu) | (mask >> 8) << (n - 8);
  }
  if (n >= 4) {
    // Lanes 0-3 hold p[0, 4), lanes 4-7 hold p[n - 4, n); the rest are zeros.
    uint32_t low, high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + n - 4, 4);
    const unsigned mask = maskOf(0, low | (static_cast<uint64_t>(high) << 32));
    return (mask & 0xFu) | ((mask >> 4) & 0xFu) << (n - 4);
  }
  // Lanes 0, 1 and 2 hold p[0], p[n / 2] and p[n - 1]: every byte of one to
  // three, in order.
  const auto byte = [&](std::size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
  const unsigned mask = maskOf(0, byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16);
  return (mask & 1u) | ((mask >> 1) & 1u) << (n / 2) | ((mask >> 2) & 1u) << (n - 1);
}

// The first byte of a short tail [p, p + n), 0 < n < 16, for which the block
// test holds, or p + n.
template <class BlockTest>
inline const char* FindInTail(const char* p, std::size_t n, BlockTest&& blockIs) {
  const unsigned mask = TailMask(p, n, blockIs);
  return mask != 0 ? p + __builtin_ctz(mask) : p + n;
}
#else
// Without SSE2 the byte test alone runs; the block tests are placeholders.
struct Block {};
inline Block Splat(char) { return {}; }
inline Block Equal(Block, char) { return {}; }
inline Block SignedBelow(Block, char) { return {}; }
inline Block Or(Block, Block) { return {}; }
inline Block AndNot(Block, Block) { return {}; }
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
  return FindInTail(p, static_cast<std::size_t>(end - p), blockIs);
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

// Calls `at(i)` for every i in [0, n) where p[i] is `c`, in order, until
// `at` returns false: for runs with many such bytes (the commas of a long
// line), one test a block and one step a byte found.
template <class Fn>
inline void ForEachByte(const char* p, std::size_t n, char c, Fn&& at) {
  std::size_t base = 0;
#ifdef ZEPHRIN_SCAN_SSE2
  for (; n - base >= 16; base += 16) {
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(Equal(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + base)), c)));
    for (; mask != 0; mask &= mask - 1)
      if (!at(base + static_cast<std::size_t>(__builtin_ctz(mask)))) return;
  }
  if (base == n) return;
  for (unsigned mask = TailMask(p + base, n - base, [c](Block v) { return Equal(v, c); }); mask != 0; mask &= mask - 1)
    if (!at(base + static_cast<std::size_t>(__builtin_ctz(mask)))) return;
#else
  for (; base < n; ++base)
    if (p[base] == c && !at(base)) return;
#endif
}

}  // namespace zephrin::scan
