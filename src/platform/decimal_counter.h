// The decimal digits of a number that mostly grows by one from call to call
// (a record's line): the next number's digits are the last ones with one
// added, a carry at a time, instead of a division per digit.
#pragma once

#include <charconv>
#include <cstddef>
#include <string_view>

namespace zephrin {

class DecimalCounter {
 public:
  // Bytes that may be read from the start of the digits Digits gives.
  static constexpr std::size_t kReadable = 16;
  // The digits of `n` (with its sign), valid until the next call.
  std::string_view Digits(long long n) {
    if (m_set && n >= 1 && n - 1 == m_value) Increment();
    else Set(n);
    m_value = n;
    return std::string_view(m_text + m_begin, kSize - m_begin);
  }

 private:
  static constexpr std::size_t kSize = 24;  // a long long's 20 characters and more

  void Set(long long n) {
    char digits[kSize];
    const char* const end = std::to_chars(digits, digits + kSize, n).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    m_begin = kSize - length;
    for (std::size_t i = 0; i < length; ++i) m_text[m_begin + i] = digits[i];
    m_set = true;
  }
  // Adds one to the non-negative number held: nines turn to zeros from the
  // right, and the first other digit goes up (a "1" before them all when
  // every digit was a nine).
  void Increment() {
    std::size_t i = kSize;
    while (i > m_begin && m_text[i - 1] == '9') m_text[--i] = '0';
    if (i > m_begin) {
      ++m_text[i - 1];
      return;
    }
    m_text[--m_begin] = '1';
  }

  // The digits end at kSize; the bytes after them let kReadable bytes be
  // read from the start of any number's digits.
  char m_text[kSize + kReadable] = {};
  std::size_t m_begin = kSize;
  long long m_value = 0;
  bool m_set = false;
};

}  // namespace zephrin
