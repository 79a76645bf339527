// Small text helpers the whole engine shares: blanks, trimming, ASCII case
// and splitting at a delimiter.
//
// A blank is a space or one of the characters with codes 9 to 13 (tab, line
// feed, vertical tab, form feed, carriage return), as the engine's home
// platform trimmed text.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin {

// Most characters are above the space, which one comparison tells.
inline constexpr bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= ' ' && (u == ' ' || (u >= 9 && u <= 13));
}

inline std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
inline std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
inline std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

// The same as Trim for text padded with runs of spaces, as fixed-width text
// pads its fields: a run goes eight bytes at a time, the bytes that differ
// from a space found by one bit count (on little-endian machines, where the
// first byte in memory is the lowest). Short texts and texts without
// padding are quicker through Trim.
inline std::string_view TrimPadded(std::string_view s) {
  constexpr uint64_t kEightSpaces = 0x2020202020202020ULL;
  const auto differ = [](const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word ^ kEightSpaces;
  };
  if constexpr (std::endian::native == std::endian::little) {
    while (s.size() >= 8) {
      if (const uint64_t d = differ(s.data() + s.size() - 8); d != 0) {
        s.remove_suffix(static_cast<std::size_t>(std::countl_zero(d)) / 8);
        break;
      }
      s.remove_suffix(8);
    }
    while (s.size() >= 8) {
      if (const uint64_t d = differ(s.data()); d != 0) {
        s.remove_prefix(static_cast<std::size_t>(std::countr_zero(d)) / 8);
        break;
      }
      s.remove_prefix(8);
    }
  }
  return Trim(s);
}

inline constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// ASCII lower- and upper-case copies; other bytes stay as they are.
inline std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}
inline std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}
// The same into `out`, reusing its storage.
inline void AssignLower(std::string& out, std::string_view text) {
  out.assign(text);
  for (char& c : out) c = AsciiLower(c);
}

// Whether `text` is one or more of the digits 0 to 9, and nothing else.
inline bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The start of a number as the C library's atoi reads it: blanks skipped, an
// optional sign, then the digits up to the first other character (none: no
// digits, which reads as 0). How large a number may grow is the caller's.
struct LeadingNumber {
  bool negative = false;
  std::string_view digits;
};
inline LeadingNumber ScanLeadingNumber(std::string_view text) {
  text = TrimLeft(text);
  LeadingNumber number;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    number.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  number.digits = text.substr(0, n);
  return number;
}

// The pieces of `text` between the `delimiter`s, empty ones included: "a,,b"
// gives "a", "", "b", and "" gives one empty piece.
inline std::vector<std::string_view> SplitText(std::string_view text, char delimiter) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(delimiter, start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// UTF-8 text as a terminal may be given it: every control character (C0,
// DEL, and C1 as UTF-8 writes it) becomes a blank, as a read writes it, so
// that a value from a data file or the store cannot move the cursor, clear
// the screen or retitle the window.
inline std::string ShownOnTerminal(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c < 0x20 || c == 0x7F) {
      out[i] = ' ';
    } else if (c == 0xC2 && i + 1 < out.size() && static_cast<unsigned char>(out[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(out[i + 1]) <= 0x9F) {
      out.replace(i, 2, " ");
    }
  }
  return out;
}

}  // namespace zephrin
