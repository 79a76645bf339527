// The block scan against a byte-by-byte one: every length around the block
// sizes, a byte of interest at every place and none, in a buffer whose
// neighbours hold bytes of interest too (a scan that strays past its range
// finds them, and AddressSanitizer sees the read when the range is a heap
// block of its own). Trimming space-padded text eight bytes at a time gives
// what trimming byte by byte gives.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "platform/byte_scan.h"
#include "platform/text.h"

namespace zephrin {
namespace {

const char* Scan(const char* p, const char* end) {
  return scan::FindFirst(
      p, end, [](scan::Block v) { return scan::Or(scan::Equal(v, ','), scan::SignedBelow(v, ' ')); },
      [](char c) { return c == ',' || static_cast<signed char>(c) < ' '; });
}

TEST(ByteScan, FindsTheFirstByteOfInterestAtEveryLengthAndPlace) {
  for (std::size_t n = 0; n <= 70; ++n) {
    for (std::size_t hit = 0; hit <= n; ++hit) {  // hit == n: none in range
      for (const char second : {'a', ','}) {
        auto range = std::make_unique<char[]>(n + 1);  // n bytes in range and a ',' right after them
        for (std::size_t i = 0; i < n; ++i) range[i] = static_cast<char>('a' + i % 26);
        range[n] = ',';
        if (hit < n) range[hit] = '\x01';
        if (hit + 1 < n) range[hit + 1] = second;  // a later byte of interest changes nothing
        const char* got = Scan(range.get(), range.get() + n);
        ASSERT_EQ(got - range.get(), static_cast<std::ptrdiff_t>(hit)) << "length " << n << ", hit at " << hit;
      }
    }
  }
}

// Every comma of a range, in order, at every length and for many mixes;
// the same buffer holds a comma right after the range.
TEST(ByteScan, VisitsEveryCommaOnce) {
  std::mt19937 rng(7);
  for (std::size_t n = 0; n <= 70; ++n) {
    for (int mix = 0; mix < 40; ++mix) {
      auto range = std::make_unique<char[]>(n + 1);
      std::vector<std::size_t> expected, got;
      for (std::size_t i = 0; i < n; ++i) {
        range[i] = rng() % 3 == 0 ? ',' : 'a';
        if (range[i] == ',') expected.push_back(i);
      }
      range[n] = ',';
      scan::ForEachByte(range.get(), n, ',', [&](std::size_t i) {
        got.push_back(i);
        return true;
      });
      ASSERT_EQ(got, expected) << "length " << n;
    }
  }
}

TEST(TrimPadded, IsTrimForEveryRunOfBlanksOnEitherSide) {
  // Runs of spaces around the lengths of a word, other blanks among them
  // and at their inner end, and a text of blanks only; each in a heap block
  // of its own, with non-blank neighbours a stray read would take in.
  const std::string_view blanks[] = {"", " ", "\t", " \t ", "\r\n", std::string_view("\v\f ", 3)};
  const std::string_view middles[] = {"", "x", "a b", "0.00", "Account caption & co", "\x01y\x7f"};
  for (std::size_t left = 0; left <= 20; ++left) {
    for (std::size_t right = 0; right <= 20; ++right) {
      for (const std::string_view inner : blanks) {
        for (const std::string_view middle : middles) {
          const std::string text = std::string(left, ' ') + std::string(inner) + std::string(middle) +
                                   std::string(inner) + std::string(right, ' ');
          auto block = std::make_unique<char[]>(text.size() + 2);
          block[0] = 'L';
          std::copy(text.begin(), text.end(), block.get() + 1);
          block[text.size() + 1] = 'R';
          const std::string_view view(block.get() + 1, text.size());
          ASSERT_EQ(TrimPadded(view), Trim(view)) << left << " " << right << " [" << text << "]";
        }
      }
    }
  }
}

}  // namespace
}  // namespace zephrin
