// Generated data files read twice: through the engine, and through the line,
// field and escape rules written out plainly below, one character at a time.
// The records of the two must be the same, for the three plain formats and
// the three jurisdiction shapes.
//
// The files mix what real ones hold and what breaks readers: quotes, commas
// in and out of quotes, entity characters, tabs, control bytes, Windows-1252
// bytes (0x80 to 0x9F too), the same text as UTF-8 (with or without a byte
// order mark), carriage returns alone and before line feeds, NUL and Ctrl-Z
// bytes, and lines longer than the readers' line buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

// ---- A record tree, and its canonical text -------------------------------------------

struct Node {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<Node> children;
};

std::string Show(const Node& n) {
  std::string s = n.name;
  for (const auto& [k, v] : n.attributes) s += " " + k + "=[" + v + "]";
  if (!n.text.empty()) s += " \"" + n.text + "\"";
  if (!n.children.empty()) {
    s += " {";
    for (const Node& c : n.children) s += " " + Show(c);
    s += " }";
  }
  return s;
}

Node FromXml(const pugi::xml_node& x) {
  Node n{x.name(), {}, x.child_value(), {}};
  for (const pugi::xml_attribute& a : x.attributes()) n.attributes.emplace_back(a.name(), a.value());
  for (const pugi::xml_node& c : x.children())
    if (c.type() == pugi::node_element) n.children.push_back(FromXml(c));
  return n;
}

// The records of a read (the template element left out), one per line.
std::vector<std::string> RecordsOf(const std::string& xml, std::string& problem) {
  std::vector<std::string> records;
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!parsed) {
    problem = std::string("not well-formed: ") + parsed.description() + " in " + xml.substr(0, 300);
    return records;
  }
  for (const pugi::xml_node& r : doc.document_element().children()) {
    const std::string name = r.name();
    if (r.type() != pugi::node_element) continue;
    if (name == "TMPL" || name == "TMPLT") continue;
    records.push_back(Show(FromXml(r)));
  }
  return records;
}

// ---- Generated text --------------------------------------------------------------------

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F; 0 where the code
// page defines none (the generator avoids those in UTF-8 files).
constexpr unsigned kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string Utf8Of(const std::string& ansi) {
  std::string out;
  for (const char ch : ansi) {
    const auto c = static_cast<unsigned char>(ch);
    const unsigned cp = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : m_rng(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  bool Chance(int percent) { return Int(0, 99) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))]; }

  // One character of a value. `utf8` files hold only bytes the code page
  // defines; `lineBreaks` allows lone carriage returns.
  char Char(bool utf8, bool quotesAndCommas, bool lineBreaks) {
    const int k = Int(0, 99);
    if (k < 55) return "abcdefghijKLMNOPQRSTuvwxyz0123456789"[Int(0, 35)];
    if (k < 62) return ' ';
    if (k < 65) return '\t';
    if (k < 73) return "&<>'"[Int(0, 3)];
    if (k < 80) return quotesAndCommas ? "\",,"[Int(0, 2)] : '.';
    if (k < 88) {
      for (;;) {
        const auto c = static_cast<unsigned char>(Int(0x80, 0xFF));
        if (!utf8 || c >= 0xA0 || kHigh[c - 0x80] != 0) return static_cast<char>(c);
      }
    }
    if (k < 92) return static_cast<char>(Int(1, 8));
    if (k < 94) return "\x0B\x0C\x1B\x1F\x7F"[Int(0, 4)];
    if (k < 95 && lineBreaks) return '\r';
    return '-';
  }
  std::string Value(bool utf8, bool quotesAndCommas, bool lineBreaks, int maxLen = 10) {
    std::string v;
    const int n = Int(0, maxLen);
    for (int i = 0; i < n; ++i) v += Char(utf8, quotesAndCommas, lineBreaks);
    if (quotesAndCommas && Chance(15)) v = "\"" + v + "\"";
    return v;
  }
  // A line end, and now and then a NUL or a Ctrl-Z in the text.
  std::string LineEnd() { return Chance(30) ? "\r\n" : "\n"; }
  std::string Rare() {
    const int k = Int(0, 299);
    if (k == 0) return std::string(1, '\0');
    if (k == 1) return "\x1A";
    return "";
  }

 private:
  std::mt19937 m_rng;
};

// Whether `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : -1;
    if (n < 0 || i + static_cast<std::size_t>(n) >= s.size() + (n == 0 ? 1 : 0)) return false;
    unsigned cp = n == 0 ? c : c & (0x3F >> n);
    for (int k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(n) + 1;
  }
  return true;
}

// The bytes of a file whose engine text is `ansi`: as it is, or as UTF-8,
// with or without a byte order mark. A Windows-1252 text that happens to be
// UTF-8 as well (as far as a Ctrl-Z leaves it) has a byte changed so that
// it is not.
enum class Encoding { kAnsi, kUtf8, kUtf8Bom };
std::string FileBytes(std::string ansi, Encoding e, std::string& engineText) {
  if (e == Encoding::kAnsi) {
    const std::string_view read = std::string_view(ansi).substr(0, ansi.find('\x1A'));
    const auto high = std::find_if(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high != ansi.end() && ValidUtf8(read)) *high = '\xFF';
    engineText = ansi;
    return ansi;
  }
  engineText = ansi;
  return (e == Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "") + Utf8Of(ansi);
}

// ---- The rules, written out plainly -------------------------------------------------------

bool Blank(char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool Outside(char c) { return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E; }
std::string TrimRightBlanks(std::string s) {
  while (!s.empty() && Blank(s.back())) s.pop_back();
  return s;
}
std::string TrimBlanks(std::string s) {
  s = TrimRightBlanks(s);
  std::size_t i = 0;
  while (i < s.size() && Blank(s[i])) ++i;
  return s.substr(i);
}

struct Line {
  std::string text;
  bool lineEnd;
};

// The engine text is what comes before the first Ctrl-Z. A carriage return
// just before a line feed is dropped; a line with its line feed takes
// `limit` characters at most, and a longer one comes in pieces of `limit`.
// A line's text ends at a NUL.
std::vector<Line> Lines(std::string text, std::size_t limit) {
  text = text.substr(0, text.find('\x1A'));
  std::string t;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) t += text[i];
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < t.size()) {
    const std::size_t nl = t.find('\n', pos);
    Line line;
    if (nl != std::string::npos && nl - pos + 1 <= limit) {
      line = {t.substr(pos, nl - pos), true};
      pos = nl + 1;
    } else {
      line = {t.substr(pos, std::min(limit, t.size() - pos)), false};
      pos += line.text.size();
    }
    line.text = line.text.substr(0, line.text.find('\0'));
    lines.push_back(line);
  }
  return lines;
}

std::string StripQuotes(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  if (v == "\"") return "";
  return v;
}

// A value as a reader writes it, once escaped (as the document's parser
// gives back the twice escaped text); the plain readers write only printable
// ASCII, the others keep DEL.
std::string Escaped(const std::string& v, bool printableOnly = true) {
  std::string out;
  for (char c : v) {
    if (printableOnly ? Outside(c) : static_cast<unsigned char>(c) < 0x20) c = ' ';
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

// Plain CSV fields: a quote flips the in-quotes state, which carries over to
// the next line; an unquoted comma ends a field; the last character always
// ends the last one (and is not part of it when it is a comma); trailing
// blanks and bytes outside the printable range leave each field.
std::vector<std::string> PlainCsvFields(const std::string& line, bool& inQuotes) {
  std::vector<std::string> fields;
  if (line.empty()) return fields;
  const auto trim = [](std::string f) {
    while (!f.empty() && (Blank(f.back()) || Outside(f.back()))) f.pop_back();
    return f;
  };
  std::string field;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') inQuotes = !inQuotes;
    if (c == ',' && !inQuotes) {
      fields.push_back(trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  const char last = line.back();
  if (last == '"') inQuotes = !inQuotes;
  if (!(last == ',' && !inQuotes)) field += last;
  fields.push_back(trim(field));
  return fields;
}

// A jurisdiction cell's text: blanks, control bytes and bytes of 0x80 and
// above leave both ends; those inside are blanks.
std::string CellText(std::string c) {
  const auto low = [](char ch) { return static_cast<signed char>(ch) <= 32; };
  while (!c.empty() && low(c.back())) c.pop_back();
  std::size_t i = 0;
  while (i < c.size() && low(c[i])) ++i;
  c = c.substr(i);
  for (char& ch : c)
    if (static_cast<signed char>(ch) < 32) ch = ' ';
  return c;
}

// Jurisdiction cells: the in-quotes state starts off on every line; after a
// line with its line end every comma outside quotes ends a cell, and the rest
// is the last one; a line without one ends as a plain CSV line does. Each
// cell is its text without one pair of quotes.
std::vector<std::string> JurisdictionCells(const Line& line) {
  std::vector<std::string> cells;
  bool inQuotes = false;
  std::string cell;
  const std::size_t n = line.text.size();
  const std::size_t scanEnd = line.lineEnd || n == 0 ? n : n - 1;
  for (std::size_t i = 0; i < scanEnd; ++i) {
    const char c = line.text[i];
    if (c == '"') inQuotes = !inQuotes;
    if (c == ',' && !inQuotes) {
      cells.push_back(cell);
      cell.clear();
    } else {
      cell += c;
    }
  }
  if (line.lineEnd) {
    cells.push_back(cell);
  } else if (n > 0) {
    const char last = line.text.back();
    if (last == '"') inQuotes = !inQuotes;
    if (!(last == ',' && !inQuotes)) cell += last;
    cells.push_back(cell);
  }
  for (std::string& c : cells) c = StripQuotes(CellText(c));
  return cells;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// ---- Plain formats -------------------------------------------------------------------------

// The items a generated template places, and their elements.
struct Item {
  const char* name;
  const char* element;
};
const std::vector<Item> kItems = {{"Entity_Type", "Entity_Type"},
                                  {"Return_Type", "Return_Type"},
                                  {"Company_Name", "Name"},
                                  {"City", "City"},
                                  {"State", "State"},
                                  {"Income_Tax_Binder_Name", "Tax_BName"}};

enum class Plain { kCsv, kDif, kFixed };

struct PlainSample {
  std::string fileName;
  std::string bytes;
  std::string store;
  std::vector<std::string> records;  // expected
};

// The store: every item at its own column (CSV, DIF) or its own piece of
// the line (fixed-width), the first row of data `row`.
struct Placement {
  std::vector<int> column;  // per item
  std::vector<std::pair<int, int>> piece;
  int row = 1;
};

std::string StoreText(Plain format, const Placement& p) {
  std::string s = "[Import:GEN]\nInfo=ENTITY\nFsiType=FEDERAL\n";
  for (std::size_t i = 0; i < kItems.size(); ++i) {
    s += kItems[i].name;
    if (format == Plain::kFixed)
      s += "=" + std::to_string(p.piece[i].first) + " " + std::to_string(p.piece[i].second) + " 0\n";
    else
      s += "=" + std::to_string(p.column[i]) + " " + std::to_string(p.row) + " 0\n";
  }
  return s + "[Import:Layout]\n1=GEN\n";
}

// The items of column `c`, in their order.
std::vector<std::size_t> ItemsAt(const Placement& p, int c) {
  std::vector<std::size_t> items;
  for (std::size_t i = 0; i < kItems.size(); ++i)
    if (p.column[i] == c) items.push_back(i);
  return items;
}

// A record; the fixed-width reader names the elements by the item names.
std::string Record(int line, const std::vector<std::pair<std::size_t, std::string>>& values, bool itemNames = false) {
  Node n{"ENTS", {{"Line", std::to_string(line)}}, "", {}};
  for (const auto& [item, value] : values)
    n.children.push_back({itemNames ? kItems[item].name : kItems[item].element, {}, Escaped(value), {}});
  return Show(n);
}

// The CSV rules: every line from the first row of data on is a record; each
// field gives every item of its column an element, an empty one too. A read
// with 25 lines in a row that give no value fails (the sample is then not used).
bool CsvReference(const std::string& text, const Placement& p, std::vector<std::string>& records) {
  bool inQuotes = false;
  int blankRun = 0;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = 0; li < lines.size(); ++li) {
    if (static_cast<int>(li) < p.row - 1) continue;
    std::string trimmed = TrimRightBlanks(lines[li].text);
    if (std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c == ','; })) trimmed.clear();
    std::vector<std::pair<std::size_t, std::string>> values;
    int written = 0;
    const std::vector<std::string> fields = PlainCsvFields(trimmed, inQuotes);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      for (const std::size_t item : ItemsAt(p, static_cast<int>(f))) {
        if (!fields[f].empty()) ++written;
        values.emplace_back(item, StripQuotes(fields[f]));
      }
    }
    records.push_back(Record(static_cast<int>(li), values));
    blankRun = written == 0 ? blankRun + 1 : 0;
    if (blankRun >= 25) return false;
  }
  return true;
}

// The DIF rules: after "DATA" and three more lines, "BOT" starts a row; a
// numeric cell "0,<value>" and a string cell "1,0" with its quoted string on
// the next line each take one column; a cell gives elements when, without its
// leading blanks, it has text (a string cell loses its quotes and its blanks
// first); "-1" ends a row.
bool DifReference(const std::string& text, const Placement& p, int columns, std::vector<std::string>& records) {
  const std::vector<Line> lines = Lines(text, 2699);
  std::size_t i = 0;
  while (i < lines.size() && TrimRightBlanks(lines[i].text) != "DATA") ++i;
  i += 4;
  int row = -1, cell = 0, written = 0, blankRun = 0;
  bool skip = true;
  std::vector<std::pair<std::size_t, std::string>> values;
  const auto flush = [&]() {
    if (row >= 0 && !skip) records.push_back(Record(row, values));
    values.clear();
  };
  const auto take = [&](std::string value) {
    std::size_t k = 0;
    while (k < value.size() && Blank(value[k])) ++k;
    value = value.substr(k);
    if (cell < columns && !value.empty()) {
      for (const std::size_t item : ItemsAt(p, cell)) {
        values.emplace_back(item, StripQuotes(value));
        ++written;
      }
    }
    ++cell;
  };
  for (; i < lines.size(); ++i) {
    const std::string line = TrimRightBlanks(lines[i].text);
    if (line == "BOT") {
      flush();
      ++row;
      skip = row < p.row - 1;
      cell = 0;
      written = 0;
      continue;
    }
    if (skip) continue;
    if (!line.empty() && line[0] == '0') {
      take(line.size() > 1 && line[1] == ',' ? line.substr(2) : "");
    } else if (!line.empty() && line[0] == '1') {
      if (i + 1 >= lines.size()) {
        ++cell;
        continue;
      }
      std::string s = lines[++i].text;
      if (!s.empty() && s.front() == '"') s.erase(0, 1);
      if (!s.empty() && s.back() == '"') s.pop_back();
      s = TrimBlanks(s);
      if (s.empty()) {
        ++cell;
        continue;
      }
      take(s);
    } else if (line.size() >= 2 && line[0] == '-' && line[1] == '1') {
      if (row < 0) continue;
      blankRun = written == 0 ? blankRun + 1 : 0;
      if (blankRun >= 25) return false;
    }
  }
  flush();
  return true;
}

// The fixed-width rules: a line with text is a record; each item takes its
// piece of the line, blanks trimmed, and gives an element when text is left.
bool FixedReference(const std::string& text, const Placement& p, std::vector<std::string>& records) {
  int blankRun = 0;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string line = TrimRightBlanks(lines[li].text);
    if (line.empty()) {
      ++blankRun;
      continue;
    }
    std::vector<std::pair<std::size_t, std::string>> values;
    for (std::size_t item = 0; item < kItems.size(); ++item) {
      const auto [start, width] = p.piece[item];
      if (static_cast<std::size_t>(start) >= line.size()) continue;
      const std::string v = TrimBlanks(line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(width)));
      if (!v.empty()) values.emplace_back(item, StripQuotes(v));
    }
    records.push_back(Record(static_cast<int>(li), values, /*itemNames=*/true));
    blankRun = values.empty() ? blankRun + 1 : 0;
    if (blankRun >= 25) return false;
  }
  return true;
}

PlainSample MakePlain(Plain format, Generator& g) {
  for (;;) {
    const bool utf8 = g.Chance(40);
    const Encoding encoding = !utf8 ? Encoding::kAnsi : g.Chance(50) ? Encoding::kUtf8 : Encoding::kUtf8Bom;
    Placement p;
    const int columns = g.Int(static_cast<int>(kItems.size()), 9);
    std::vector<int> all(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) all[static_cast<std::size_t>(c)] = c;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
      const int k = g.Int(static_cast<int>(i), columns - 1);
      std::swap(all[i], all[static_cast<std::size_t>(k)]);
      p.column.push_back(all[i]);
    }
    p.row = g.Int(1, 3);
    int at = 0;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
      const int width = g.Int(1, 8);
      p.piece.emplace_back(at + g.Int(0, 2), width);
      at = p.piece.back().first + width;
    }

    std::string ansi;
    const int lines = g.Int(0, 30);
    if (format == Plain::kDif) {
      ansi = "TABLE\n0,1\n\"\"\nVECTORS\n0," + std::to_string(columns) + "\n\"\"\nTUPLES\n0," +
             std::to_string(lines) + "\n\"\"\nDATA\n0,0\n\"\"\n";
    }
    for (int l = 0; l < lines; ++l) {
      if (format == Plain::kCsv) {
        const int fields = g.Int(0, columns + 2);
        for (int f = 0; f < fields; ++f) {
          if (f) ansi += ',';
          ansi += g.Value(utf8, true, true);
        }
        if (g.Chance(3)) ansi += std::string(static_cast<std::size_t>(g.Int(2690, 2710)), 'w');
        if (g.Chance(10)) ansi += ",,";
        if (g.Chance(10)) ansi += "  ";
      } else if (format == Plain::kFixed) {
        const int n = g.Int(0, at + 6);
        for (int k = 0; k < n; ++k) ansi += g.Chance(70) ? g.Char(utf8, true, true) : ' ';
        if (g.Chance(3)) ansi += std::string(static_cast<std::size_t>(g.Int(2690, 2710)), 'w');
      } else {
        ansi += "-1,0" + g.LineEnd() + "BOT";
        const int cells = g.Int(0, columns + 2);
        for (int c = 0; c < cells; ++c) {
          ansi += g.LineEnd();
          if (g.Chance(30)) ansi += "0," + g.Value(utf8, false, false, 6) + g.LineEnd() + "V";
          else ansi += "1,0" + g.LineEnd() + "\"" + g.Value(utf8, true, false) + "\"";
          if (g.Chance(2)) ansi += std::string(static_cast<std::size_t>(g.Int(2690, 2710)), 'w');
        }
      }
      ansi += g.Rare();
      ansi += g.LineEnd();
    }
    if (format == Plain::kDif) ansi += "-1,0\nEOD\n";

    PlainSample s;
    std::string text;
    s.bytes = FileBytes(ansi, encoding, text);
    s.fileName = format == Plain::kCsv ? "gen.csv" : format == Plain::kDif ? "gen.dif" : "gen.txt";
    s.store = StoreText(format, p);
    bool usable = false;
    if (format == Plain::kCsv) usable = CsvReference(text, p, s.records);
    if (format == Plain::kDif) usable = DifReference(text, p, columns, s.records);
    if (format == Plain::kFixed) usable = FixedReference(text, p, s.records);
    // A DIF text whose header did not survive (a Ctrl-Z or NUL in it) reads as
    // nothing; such a sample says nothing about the rules.
    if (usable && !(format == Plain::kDif && s.records.empty())) return s;
  }
}

struct PlainCase {
  const char* name;
  Plain format;
};

class PlainDifferential : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainDifferential, EngineAndPlainRulesAgree) {
  test::TempDir home;
  test::ScopedEnv env("ZEPHRINIMPORT_HOME", home.str());
  Generator g(20261207u + static_cast<unsigned>(GetParam().format));
  for (int sample = 0; sample < 300; ++sample) {
    const PlainSample s = MakePlain(GetParam().format, g);
    test::WriteFile(home.file("import.ini"), s.store);
    test::WriteFile(home.file(s.fileName), s.bytes);
    RecordingUserInterface ui;
    CxmlWrapper service(&ui);
    ASSERT_TRUE(service.EstablishTemplateStore());
    service.SetBatchIndicator(1);
    std::string result;
    ASSERT_EQ(service.ReadImportFile(home.file(s.fileName), "GEN", "ENTITY", "9", "", result), kOk);
    std::string problem;
    const std::vector<std::string> records = RecordsOf(result, problem);
    ASSERT_EQ(problem, "") << "sample " << sample;
    ASSERT_EQ(records.size(), s.records.size()) << "sample " << sample << "\n" << result;
    for (std::size_t r = 0; r < records.size(); ++r)
      ASSERT_EQ(records[r], s.records[r]) << "sample " << sample << ", record " << r;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PlainDifferential,
                         ::testing::Values(PlainCase{"csv", Plain::kCsv}, PlainCase{"dif", Plain::kDif},
                                           PlainCase{"fixed", Plain::kFixed}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Jurisdiction shapes -------------------------------------------------------------------

constexpr const char* kStates = "state,AL,AK,AZ,CA,NY,TX";
const std::vector<std::string> kStateNames = {"AL", "AK", "AZ", "CA", "NY", "TX"};
constexpr const char* kCategories = "Income,Deduction,CREDIT,Loss";
const std::vector<std::string> kTypes = {"Income", "Deduction", "CREDIT", "Loss"};

// The position of a state in the list, and of a category type (from 1).
int StatePosition(const std::string& key) {
  for (std::size_t i = 0; i < kStateNames.size(); ++i)
    if (Lower(kStateNames[i]) == Lower(key)) return static_cast<int>(i) + 1;
  return 0;
}
int TypePosition(const std::string& text) {
  for (std::size_t i = 0; i < kTypes.size(); ++i)
    if (Lower(kTypes[i]) == Lower(text)) return static_cast<int>(i) + 1;
  return 0;
}

enum class Shape { kTabular, kListed, kDif };

// A descriptive cell of a record: the category type with its position, or
// the text as the engine escapes it, once (as the parser gives it back).
Node Descriptive(const std::string& name, const std::string& cell) {
  Node n{name, {}, "", {}};
  if (name == "Type") n.attributes.emplace_back("ID", std::to_string(TypePosition(cell)));
  n.text = Escaped(cell, /*printableOnly=*/false);
  return n;
}

// Text of a generated cell: no line breaks; type cells are a category type.
std::string TypeCell(Generator& g, bool quoted) {
  std::string t = g.Pick(kTypes);
  for (char& c : t)
    if (g.Chance(30)) c = static_cast<char>(c ^ 0x20);
  if (quoted && g.Chance(20)) t = "\"" + t + "\"";
  return g.Chance(20) ? t + "  " : t;
}

// Tabular: the first line names the columns (three descriptive ones, then a
// state per column); every further line is a record whose cells, from the
// fourth on, are JURS entries with the cell as the amount.
std::vector<std::string> TabularReference(const std::string& text, const std::vector<std::string>& header) {
  std::vector<std::string> records;
  const std::vector<Line> lines = Lines(text, 1399);
  static const char* const kNames[] = {"Type", "Category", "Subcategory"};
  for (std::size_t li = 1; li < lines.size(); ++li) {
    Node rec{"BAL", {{"Line", std::to_string(li + 1)}}, "", {}};
    const std::vector<std::string> cells = JurisdictionCells(lines[li]);
    for (std::size_t c = 0; c < cells.size() && c < header.size(); ++c) {
      if (c < 3) {
        rec.children.push_back(Descriptive(kNames[c], cells[c]));
        continue;
      }
      if (rec.children.back().name != "JURS") rec.children.push_back({"JURS", {}, "", {}});
      rec.children.back().children.push_back(
          {"JUR", {{"amt", cells[c]}, {"id", std::to_string(StatePosition(header[c]))}}, "", {}});
    }
    if (cells.size() > 3 && rec.children.back().name != "JURS") rec.children.push_back({"JURS", {}, "", {}});
    records.push_back(Show(rec));
  }
  return records;
}

// Listed: a line that starts with a blank or control byte names a state and
// its amount (and "T" for a total) for the record above it; the other lines
// are records (a fourth cell "R" reverses the amounts: absolute values with
// two decimals). A record that lists states gets a zero entry for each state
// any record lists and it does not, in key order.
std::vector<std::string> ListedReference(const std::string& text) {
  const std::vector<Line> lines = Lines(text, 1399);
  const auto indented = [](const Line& l) {
    return l.text.empty() ? l.lineEnd : static_cast<signed char>(l.text[0]) <= 32;
  };
  std::map<std::string, int> listed;  // key -> position
  for (const Line& l : lines)
    if (indented(l)) {
      const std::string key = Lower(JurisdictionCells(l)[0]);
      if (const int position = StatePosition(key)) listed[key] = position;
    }
  std::vector<std::string> records;
  Node rec;
  bool open = false, reverse = false;
  std::map<std::string, bool> seen;
  const auto close = [&]() {
    if (!open) return;
    if (!rec.children.empty() && rec.children.back().name == "JURS")
      for (const auto& [key, position] : listed)
        if (!seen[key])
          rec.children.back().children.push_back(
              {"JUR", {{"id", std::to_string(position)}, {"amt", "0"}, {"T", "0"}}, "", {}});
    records.push_back(Show(rec));
  };
  static const char* const kNames[] = {"Type", "Category", "Subcategory"};
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::vector<std::string> cells = JurisdictionCells(lines[li]);
    if (!indented(lines[li])) {
      close();
      rec = Node{"BAL", {{"Line", std::to_string(li + 1)}}, "", {}};
      open = true;
      reverse = cells.size() > 3 && (cells[3] == "r" || cells[3] == "R");
      seen.clear();
      for (std::size_t c = 0; c < cells.size() && c < 3; ++c) rec.children.push_back(Descriptive(kNames[c], cells[c]));
      continue;
    }
    const std::string key = Lower(cells[0]);
    seen[key] = true;
    if (cells.size() < 2) continue;
    std::string amount = cells[1];
    if (reverse) {
      char formatted[64];
      std::snprintf(formatted, sizeof formatted, "%.2f", std::fabs(std::strtod(amount.c_str(), nullptr)));
      amount = formatted;
    }
    const bool total = cells.size() > 2 && (cells[2] == "T" || cells[2] == "t");
    if (rec.children.empty() || rec.children.back().name != "JURS") rec.children.push_back({"JURS", {}, "", {}});
    rec.children.back().children.push_back(
        {"JUR", {{"id", std::to_string(StatePosition(key))}, {"amt", amount}, {"T", total ? "1" : "0"}}, "", {}});
  }
  close();
  return records;
}

// DIF: the first row names the columns; each further row is a record; a
// cell with text gives its element (string cells lose two pairs of quotes),
// an empty one nothing; the entries start with the first state column's cell.
std::vector<std::string> DifJurisdictionReference(const std::string& text, const std::vector<std::string>& header) {
  const std::vector<Line> lines = Lines(text, 259);
  std::size_t i = 0;
  while (i < lines.size() && TrimRightBlanks(lines[i].text) != "DATA") ++i;
  i += 4;
  static const char* const kNames[] = {"Type", "Category", "Subcategory"};
  std::vector<std::string> records;
  Node rec;
  int row = 0, col = 0;
  for (; i < lines.size(); ++i) {
    const std::string line = TrimRightBlanks(lines[i].text);
    if (line == "BOT") {
      if (row >= 2) records.push_back(Show(rec));
      ++row;
      col = 0;
      rec = Node{"BAL", {{"Line", std::to_string(row)}}, "", {}};
      continue;
    }
    std::string value;
    if (!line.empty() && line[0] == '0') {
      if (line.size() > 1 && line[1] == ',') value = line.substr(2);
    } else if (!line.empty() && line[0] == '1') {
      if (i + 1 < lines.size()) {
        value = lines[++i].text;
        for (int pass = 0; pass < 2; ++pass) {
          if (!value.empty() && value.front() == '"') value.erase(0, 1);
          if (!value.empty() && value.back() == '"') value.pop_back();
        }
      }
    } else {
      continue;
    }
    const int c = col++;
    if (row < 2 || c >= static_cast<int>(header.size())) continue;
    const std::string cell = CellText(value);
    if (cell.empty()) continue;
    if (c < 3) {
      rec.children.push_back(Descriptive(kNames[c], cell));
      continue;
    }
    if (rec.children.empty() || rec.children.back().name != "JURS") rec.children.push_back({"JURS", {}, "", {}});
    rec.children.back().children.push_back(
        {"JUR", {{"amt", cell}, {"id", std::to_string(StatePosition(header[static_cast<std::size_t>(c)]))}}, "", {}});
  }
  if (row >= 2) records.push_back(Show(rec));
  return records;
}

struct JurisdictionSample {
  std::string fileName, bytes;
  std::vector<std::string> records;
};

JurisdictionSample MakeJurisdiction(Shape shape, Generator& g) {
  const bool utf8 = g.Chance(40);
  const Encoding encoding = !utf8 ? Encoding::kAnsi : g.Chance(50) ? Encoding::kUtf8 : Encoding::kUtf8Bom;
  // The text of a category or subcategory: never a state's name.
  const auto describe = [&](bool quotes) {
    std::string v = g.Value(utf8, quotes, false, 12);
    return StatePosition(TrimBlanks(StripQuotes(v))) ? v + "x" : v;
  };
  std::vector<std::string> states = kStateNames;
  std::shuffle(states.begin(), states.end(), std::mt19937(static_cast<unsigned>(g.Int(0, 1 << 30))));
  states.resize(static_cast<std::size_t>(g.Int(1, 6)));
  std::vector<std::string> header = {"Type", "Category", "Subcategory"};
  for (const std::string& s : states) header.push_back(g.Chance(30) ? Lower(s) : s);
  // (a DIF file of a header row alone is not read as one: the shape needs a data row)
  const int records = g.Int(shape == Shape::kDif ? 1 : 0, 25);
  std::string ansi;
  JurisdictionSample s;
  const auto amount = [&]() {
    const int k = g.Int(0, 9);
    if (k == 0) return std::string();
    if (k == 1) return g.Value(utf8, false, false, 4);
    return std::to_string(g.Int(-99999, 99999)) + (g.Chance(50) ? "." + std::to_string(g.Int(0, 99)) : "");
  };

  if (shape == Shape::kTabular) {
    for (std::size_t c = 0; c < header.size(); ++c) ansi += (c ? "," : "") + header[c];
    ansi += g.LineEnd();
    for (int r = 0; r < records; ++r) {
      ansi += TypeCell(g, true);
      const int cells = g.Int(0, static_cast<int>(header.size()) + 1);
      for (int c = 1; c < cells; ++c) ansi += "," + (c < 3 ? describe(true) : amount());
      if (g.Chance(5)) ansi += g.Rare();
      ansi += g.LineEnd();
    }
    s.fileName = "gen.csv";
  } else if (shape == Shape::kListed) {
    for (int r = 0; r < records; ++r) {
      const bool reverse = g.Chance(20);
      ansi += TypeCell(g, true) + "," + describe(true) + "," + describe(true);
      if (reverse) ansi += g.Chance(50) ? ",R" : ",r";
      ansi += g.LineEnd();
      std::vector<std::string> mine = kStateNames;
      std::shuffle(mine.begin(), mine.end(), std::mt19937(static_cast<unsigned>(g.Int(0, 1 << 30))));
      mine.resize(static_cast<std::size_t>(g.Int(r == 0 ? 1 : 0, 4)));
      for (std::size_t k = 0; k < mine.size(); ++k) {
        // The first record's first state line is indented with blanks, as
        // the shape's detection wants; others with a tab now and then.
        ansi += (r == 0 && k == 0) || g.Chance(70) ? "  " : "\t";
        ansi += g.Chance(30) ? Lower(mine[k]) : mine[k];
        std::string a = amount();
        if (reverse) a = std::to_string(g.Int(-9999, 9999)) + (g.Chance(50) ? ".5" : "");
        ansi += "," + a;
        if (g.Chance(20)) ansi += g.Chance(50) ? ",T" : ",t";
        ansi += g.LineEnd();
      }
    }
    s.fileName = "gen.csv";
  } else {
    ansi = "TABLE\n0,1\n\"\"\nVECTORS\n0," + std::to_string(header.size()) + "\n\"\"\nTUPLES\n0," +
           std::to_string(records + 1) + "\n\"\"\nDATA\n0,0\n\"\"\n";
    const auto stringCell = [&](const std::string& text) { ansi += "1,0" + g.LineEnd() + "\"" + text + "\"" + g.LineEnd(); };
    ansi += "-1,0\nBOT\n";
    for (const std::string& h : header) stringCell(h);
    for (int r = 0; r < records; ++r) {
      ansi += "-1,0" + g.LineEnd() + "BOT" + g.LineEnd();
      stringCell(TypeCell(g, false));
      const int cells = g.Int(0, static_cast<int>(header.size()) + 1);
      for (int c = 1; c < cells; ++c) {
        if (c >= 3 && g.Chance(40)) ansi += "0," + std::to_string(g.Int(-999, 999)) + g.LineEnd() + "V" + g.LineEnd();
        else stringCell(c < 3 ? describe(false) : amount());
      }
    }
    ansi += "-1,0\nEOD\n";
    s.fileName = "gen.dif";
  }

  std::string text;
  s.bytes = FileBytes(ansi, encoding, text);
  if (shape == Shape::kTabular) s.records = TabularReference(text, header);
  if (shape == Shape::kListed) s.records = ListedReference(text);
  if (shape == Shape::kDif) s.records = DifJurisdictionReference(text, header);
  return s;
}

struct ShapeCase {
  const char* name;
  Shape shape;
};

class JurisdictionDifferential : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(JurisdictionDifferential, EngineAndPlainRulesAgree) {
  test::TempDir dir;
  Generator g(7122026u + static_cast<unsigned>(GetParam().shape));
  for (int sample = 0; sample < 300; ++sample) {
    const JurisdictionSample s = MakeJurisdiction(GetParam().shape, g);
    test::WriteFile(dir.file(s.fileName), s.bytes);
    RecordingUserInterface ui;
    CxmlWrapper service(&ui);
    service.PutCategoryTypes(kCategories);
    service.FillJurisdictionCaptions(kStates);
    std::string result;
    ASSERT_EQ(service.ReadImportFile(dir.file(s.fileName), "AABAL", "AABAL", "E", "", result), kOk);
    if (s.records.empty() && result.empty()) continue;  // no record line: an empty text
    std::string problem;
    const std::vector<std::string> records = RecordsOf(result, problem);
    ASSERT_EQ(problem, "") << "sample " << sample;
    ASSERT_EQ(records.size(), s.records.size()) << "sample " << sample << "\n" << result;
    for (std::size_t r = 0; r < records.size(); ++r)
      ASSERT_EQ(records[r], s.records[r]) << "sample " << sample << ", record " << r << "\n" << result;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, JurisdictionDifferential,
                         ::testing::Values(ShapeCase{"tabular", Shape::kTabular}, ShapeCase{"listed", Shape::kListed},
                                           ShapeCase{"dif", Shape::kDif}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephrin
