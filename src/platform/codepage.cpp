#include "platform/codepage.h"

#include <array>
#include <cstdint>

namespace zephrin {
namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F.
constexpr std::array<uint16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char CodePointToAnsi(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighTable.size(); ++i)
    if (kHighTable[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, uint32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) { cp = b0; return 1; }
  std::size_t len;
  uint32_t min;
  if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

void AppendAnsiCharAsUtf8(std::string& out, unsigned char c) {
  AppendUtf8(out, c < 0x80 ? c : (c < 0xA0 ? kHighTable[c - 0x80] : c));
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) AppendAnsiCharAsUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const std::size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      out.push_back(utf8[i]);
      ++i;
    } else {
      out.push_back(CodePointToAnsi(cp));
      i += len;
    }
  }
  return out;
}

bool Utf16ToAnsi(std::string_view bytes, bool bigEndian, std::string& out) {
  if (bytes.size() % 2 != 0) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t units = bytes.size() / 2;
  const auto unit = [p, bigEndian](std::size_t i) -> uint32_t {
    return bigEndian ? (uint32_t{p[2 * i]} << 8) | p[2 * i + 1] : (uint32_t{p[2 * i + 1]} << 8) | p[2 * i];
  };
  out.reserve(out.size() + units);
  for (std::size_t i = 0; i < units; ++i) {
    const uint32_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      out.push_back(CodePointToAnsi(u));
      continue;
    }
    // A high surrogate and the low one after it are one character beyond
    // the first plane, which Windows-1252 lacks.
    if (u > 0xDBFF || i + 1 == units) return false;
    const uint32_t low = unit(++i);
    if (low < 0xDC00 || low > 0xDFFF) return false;
    out.push_back('?');
  }
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    // Fast path over plain ASCII.
    if (static_cast<unsigned char>(bytes[i]) < 0x80) { ++i; continue; }
    uint32_t cp = 0;
    const std::size_t len = DecodeUtf8(bytes, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

Utf8Look LookAtUtf8(std::string_view bytes) {
  Utf8Look look;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const std::size_t len = DecodeUtf8(bytes, i, cp);
    if (len == 0 && look.firstInvalid == std::string_view::npos) look.firstInvalid = i;
    if (len != 0) look.letters = true;
    if (look.letters && look.firstInvalid != std::string_view::npos) break;
    i += len == 0 ? 1 : len;
  }
  return look;
}

Utf16Look LookForUtf16(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return {Utf16Order::kLittle, 2};
  if (bytes.starts_with("\xFE\xFF")) return {Utf16Order::kBig, 2};
  const std::string_view head = bytes.substr(0, kUtf16Look);
  if (head.size() < 2) return {};
  std::size_t nulsAt[2] = {0, 0};
  for (std::size_t i = 0; i < head.size(); ++i)
    if (head[i] == '\0') ++nulsAt[i % 2];
  const std::size_t evenPositions = (head.size() + 1) / 2, oddPositions = head.size() / 2;
  if (nulsAt[1] * 10 >= oddPositions * 9) return {Utf16Order::kLittle, 0};
  if (nulsAt[0] * 10 >= evenPositions * 9) return {Utf16Order::kBig, 0};
  // Text mostly in another script (Chinese, say) has NULs only where its
  // ASCII digits and blanks are, all on one side: at least a fifth of that
  // side's positions, and hardly any on the other (a character whose code
  // ends in 00 puts one there).
  const auto oneSided = [](std::size_t nuls, std::size_t positions, std::size_t others) {
    return nuls >= 8 && nuls * 5 >= positions && others * 16 <= nuls;
  };
  if (oneSided(nulsAt[1], oddPositions, nulsAt[0])) return {Utf16Order::kLittle, 0};
  if (oneSided(nulsAt[0], evenPositions, nulsAt[1])) return {Utf16Order::kBig, 0};
  return {};
}

}  // namespace zephrin
