// Text at the interface. Inside, the engine works on 8-bit Windows-1252 text,
// the code page its data files come from; everything that crosses an interface
// (protocol, command line, result text) is UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace zephrin {

// UTF-8 to Windows-1252. A character that Windows-1252 lacks becomes "?";
// invalid UTF-8 bytes are taken as Windows-1252 bytes.
ZEPHRIN_API std::string Utf8ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
ZEPHRIN_API std::string AnsiToUtf8(std::string_view ansi);
// Appends the UTF-8 form of one Windows-1252 byte.
// Appends a character of the Basic Multilingual Plane (below U+10000) as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);
void AppendAnsiCharAsUtf8(std::string& out, unsigned char c);

// UTF-16 code units (little- or big-endian, no byte order mark) to
// Windows-1252, appended to `out`; a character that Windows-1252 lacks
// becomes "?". False, with `out` partly filled, for an odd number of bytes or
// a surrogate without its partner.
bool Utf16ToAnsi(std::string_view bytes, bool bigEndian, std::string& out);

// How a text's bytes say they are UTF-16: by a byte order mark, or, without
// one, by NULs in at least nine of ten odd (little-endian) or even
// (big-endian) positions of their first 4 KB, as ASCII text in UTF-16 has;
// or by NULs in a fifth of those positions (at least 8) and hardly any in the
// others, as text mostly in another script has.
enum class Utf16Order { kNone, kLittle, kBig };
struct Utf16Look {
  Utf16Order order = Utf16Order::kNone;
  std::size_t bomBytes = 0;  // the byte order mark's bytes to skip
};
// The bytes looked at when there is no byte order mark.
inline constexpr std::size_t kUtf16Look = 4096;
Utf16Look LookForUtf16(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// How far bytes are UTF-8: the offset of the first byte that is no part of a
// well-formed character (npos when every byte is), and whether they hold a
// well-formed character of two bytes or more (a letter outside ASCII).
struct Utf8Look {
  std::size_t firstInvalid = std::string_view::npos;
  bool letters = false;
};
Utf8Look LookAtUtf8(std::string_view bytes);

}  // namespace zephrin
