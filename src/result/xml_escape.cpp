#include "result/xml_escape.h"

#include <cstdint>

namespace zephrin::xml {
namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F (the five bytes it
// leaves undefined map to the C1 control of the same value).
constexpr uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr Replacement Bytes(const char* s) {
  Replacement r{};
  unsigned char n = 0;
  while (s[n] != '\0') {
    r.bytes[n] = s[n];
    ++n;
  }
  r.len = n;
  return r;
}

constexpr Replacement Utf8Of(unsigned char c) {
  const uint32_t cp = c < 0xA0 ? kHigh[c - 0x80] : c;
  Replacement r{};
  if (cp < 0x800) {
    r.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
    r.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
    r.len = 2;
  } else {
    r.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
    r.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    r.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
    r.len = 3;
  }
  return r;
}

enum class Kind { Text, TextTwice, Attribute, TextUtf8 };

constexpr EscapeTable Make(Kind kind, bool printableOnly) {
  EscapeTable t{};
  t.printableOnly = printableOnly;
  for (int c = 0; c < 0x20; ++c) t.r[c] = Bytes(" ");  // forbidden in XML 1.0
  for (int c = 0x80; c < 0x100; ++c)
    t.r[c] = printableOnly ? Bytes(" ") : kind == Kind::TextUtf8 ? Replacement{} : Utf8Of(static_cast<unsigned char>(c));
  if (printableOnly) {
    t.r[0x7F] = Bytes(" ");
  } else {
    t.r['\t'] = Bytes("\t");
    t.r['\n'] = Bytes("\n");
    t.r['\r'] = Bytes("\r");
  }
  switch (kind) {
    case Kind::Text:
    case Kind::TextUtf8:
      t.r['&'] = Bytes("&amp;");
      t.r['<'] = Bytes("&lt;");
      t.r['>'] = Bytes("&gt;");
      break;
    case Kind::TextTwice:
      t.r['&'] = Bytes("&amp;amp;");
      t.r['<'] = Bytes("&amp;lt;");
      t.r['>'] = Bytes("&amp;gt;");
      break;
    case Kind::Attribute:
      t.r['&'] = Bytes("&amp;");
      t.r['<'] = Bytes("&lt;");
      t.r['"'] = Bytes("&quot;");
      if (!printableOnly) {
        t.r['\t'] = Bytes("&#9;");
        t.r['\n'] = Bytes("&#10;");
        t.r['\r'] = Bytes("&#13;");
      }
      break;
  }
  return t;
}

// The table's twin for a document inside a JSON string: every byte's
// replacement (or the byte itself) with '"' and the backslash escaped, and
// the tab, line feed and carriage return the table keeps as JSON's short
// escapes. (Every other control character is a space in every table.)
constexpr EscapeTable InJson(const EscapeTable& xmlTable) {
  EscapeTable t = xmlTable;
  for (int c = 0; c < 256; ++c) {
    const Replacement& from = xmlTable.r[c];
    const char one[1] = {static_cast<char>(c)};
    const char* bytes = from.len == 0 ? one : from.bytes;
    const unsigned char n = from.len == 0 ? 1 : from.len;
    Replacement to{};
    for (unsigned char k = 0; k < n; ++k) {
      const char b = bytes[k];
      const char escape = b == '"' ? '"' : b == '\\' ? '\\' : b == '\t' ? 't' : b == '\n' ? 'n' : b == '\r' ? 'r' : 0;
      if (escape != 0) to.bytes[to.len++] = '\\';
      to.bytes[to.len++] = escape != 0 ? escape : b;
    }
    // A byte that stays itself stays a plain byte.
    t.r[c] = to.len == 1 && to.bytes[0] == static_cast<char>(c) ? Replacement{} : to;
  }
  return t;
}

constexpr EscapeTable Linked(EscapeTable t, const EscapeTable* inJson) {
  t.inJson = inJson;
  return t;
}

}  // namespace

// Each twin is its own twin, so that asking twice changes nothing.
#define ZEPHRIN_ESCAPE_TABLE(name, kind, printableOnly)                                         \
  constexpr EscapeTable name##InJson = Linked(InJson(Make(kind, printableOnly)), &name##InJson); \
  const EscapeTable name = Linked(Make(kind, printableOnly), &name##InJson)

ZEPHRIN_ESCAPE_TABLE(kText, Kind::Text, false);
ZEPHRIN_ESCAPE_TABLE(kTextTwice, Kind::TextTwice, false);
ZEPHRIN_ESCAPE_TABLE(kAttribute, Kind::Attribute, false);
ZEPHRIN_ESCAPE_TABLE(kTextPrintable, Kind::Text, true);
ZEPHRIN_ESCAPE_TABLE(kTextTwicePrintable, Kind::TextTwice, true);
ZEPHRIN_ESCAPE_TABLE(kTextUtf8, Kind::TextUtf8, false);

#undef ZEPHRIN_ESCAPE_TABLE

char* EscapeInBufferRest(char* out, std::string_view text, std::size_t readable, const EscapeTable& table) {
#ifdef ZEPHRIN_SCAN_SSE2
  if (text.size() <= 64 && readable >= text.size() + 16) return EscapeMasked(out, text.data(), text.size(), table);
#else
  (void)readable;
#endif
  return EscapeInto(out, text, table);
}

void AppendEscaped(std::string& out, std::string_view text, const EscapeTable& table) {
  const std::size_t at = out.size();
  out.resize(at + RoomFor(text.size()));
  char* end = EscapeInto(out.data() + at, text, table);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

void AppendEngineEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '&') out.append("&amp;");
    else if (c == '<') out.append("&lt;");
    else if (c == '>') out.append("&gt;");
    else out.push_back(c);
  }
}

std::string EscapeEngineText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendEngineEscaped(out, text);
  return out;
}

}  // namespace zephrin::xml
