// Generated data files read twice: through the engine, and through the line,
// field and escape rules written out plainly below, one character at a time.
// The records of the two must be the same, for the three plain formats and
// the three jurisdiction shapes.
//
// The files mix what real ones hold and what breaks readers: quotes, commas
// in and out of quotes, entity characters, tabs, control bytes, Windows-1252
// bytes (0x80 to 0x9F too), the same text as UTF-8 (with or without a byte
// order mark), carriage returns alone and before line feeds, NUL and Ctrl-Z
// bytes, and lines longer than the readers' line buffer. Templates with
// signed amounts and a credit column read amounts written every way
// accounting software writes them, and text that is no amount.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

// ---- A record tree, and its canonical text -------------------------------------------

using Attributes = std::vector<std::pair<std::string, std::string>>;
struct Node {
  std::string name;
  Attributes attributes;
  std::string text;
  std::vector<Node> children;
};

std::string Show(const Node& n) {
  std::string s = n.name;
  for (const auto& [k, v] : n.attributes) s += " " + k + "=[" + v + "]";
  if (!n.text.empty()) s += " \"" + n.text + "\"";
  if (n.children.empty()) return s;
  s += " {";
  for (const Node& c : n.children) s += " " + Show(c);
  return s + " }";
}

Node FromXml(const pugi::xml_node& x) {
  Node n{x.name(), {}, x.child_value(), {}};
  for (const pugi::xml_attribute& a : x.attributes()) n.attributes.emplace_back(a.name(), a.value());
  for (const pugi::xml_node& c : x.children())
    if (c.type() == pugi::node_element) n.children.push_back(FromXml(c));
  return n;
}

// ---- Generated text --------------------------------------------------------------------

// A Windows-1252 byte the code page defines no character for (the generator
// avoids those in UTF-8 files).
bool Undefined(unsigned char c) { return c >= 0x80 && c < 0xA0 && test::Cp1252(c) == c; }

std::string Utf8Of(const std::string& ansi) {
  std::string out;
  for (const char c : ansi) out += test::Utf8(test::Cp1252(static_cast<unsigned char>(c)));
  return out;
}

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
std::string StripQuotes(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v == "\"" ? "" : v;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The host's lists the jurisdiction reads get, and the position of a state
// or a category type in them (from 1; 0 when not listed).
constexpr const char* kStates = "state,AL,AK,AZ,CA,NY,TX";
const std::vector<std::string> kStateNames = {"AL", "AK", "AZ", "CA", "NY", "TX"};
constexpr const char* kCategories = "Income,Deduction,CREDIT,Loss";
const std::vector<std::string> kTypes = {"Income", "Deduction", "CREDIT", "Loss"};
int Position(const std::vector<std::string>& list, const std::string& key) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (Lower(list[i]) == Lower(key)) return static_cast<int>(i) + 1;
  return 0;
}

enum class Encoding { kAnsi, kUtf8, kUtf8Bom };

class Generator {
 public:
  explicit Generator(unsigned seed) : m_rng(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  bool Chance(int percent) { return Int(0, 99) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))]; }
  Encoding PickEncoding() { return !Chance(40) ? Encoding::kAnsi : Chance(50) ? Encoding::kUtf8 : Encoding::kUtf8Bom; }

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
        if (!utf8 || !Undefined(c)) return static_cast<char>(c);
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
  // A category or subcategory: never a state's name.
  std::string Description(bool utf8, bool quotes) {
    std::string v = Value(utf8, quotes, false, 12);
    return Position(kStateNames, TrimBlanks(StripQuotes(v))) ? v + "x" : v;
  }
  // A category type, its letters' case mixed, now and then quoted or with blanks after.
  std::string TypeCell(bool quoted) {
    std::string t = Pick(kTypes);
    for (char& c : t)
      if (Chance(30)) c = static_cast<char>(c ^ 0x20);
    if (quoted && Chance(20)) t = "\"" + t + "\"";
    return Chance(20) ? t + "  " : t;
  }
  // An amount: mostly a number, now and then nothing or a short text.
  std::string Amount(bool utf8) {
    const int k = Int(0, 9);
    if (k == 0) return std::string();
    if (k == 1) return Value(utf8, false, false, 4);
    return std::to_string(Int(-99999, 99999)) + (Chance(50) ? "." + std::to_string(Int(0, 99)) : "");
  }
  // Between `lo` and `hi` of the states, in a random order.
  std::vector<std::string> States(int lo, int hi) {
    std::vector<std::string> states = kStateNames;
    std::shuffle(states.begin(), states.end(), std::mt19937(static_cast<unsigned>(Int(0, 1 << 30))));
    states.resize(static_cast<std::size_t>(Int(lo, hi)));
    return states;
  }
  // A line end, and now and then a NUL or a Ctrl-Z in the text, or a run
  // longer than the line buffer.
  std::string LineEnd() { return Chance(30) ? "\r\n" : "\n"; }
  std::string Rare() {
    const int k = Int(0, 299);
    return k == 0 ? std::string(1, '\0') : k == 1 ? "\x1A" : "";
  }
  std::string LongRun() { return std::string(static_cast<std::size_t>(Int(2690, 2710)), 'w'); }

 private:
  std::mt19937 m_rng;
};

// The bytes of a file whose engine text is `ansi`: as it is, or as UTF-8,
// with or without a byte order mark. A Windows-1252 text that happens to be
// UTF-8 as well (as far as a Ctrl-Z leaves it) has a byte changed so that
// it is not.
std::string FileBytes(std::string& ansi, Encoding e) {
  if (e != Encoding::kAnsi) return (e == Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "") + Utf8Of(ansi);
  const auto high = std::find_if(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (high != ansi.end() && ValidUtf8(std::string_view(ansi).substr(0, ansi.find('\x1A')))) *high = '\xFF';
  return ansi;
}

// ---- The rules, written out plainly -------------------------------------------------------

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
  for (std::size_t pos = 0; pos < t.size();) {
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

// A value as a reader writes it, once escaped (as the document's parser
// gives back the twice escaped text); the plain readers write only printable
// ASCII, the others keep DEL.
std::string Escaped(const std::string& v, bool printableOnly = true) {
  std::string out;
  for (char c : v) {
    if (printableOnly ? Outside(c) : static_cast<unsigned char>(c) < 0x20) c = ' ';
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  }
  return out;
}

// CSV fields: a quote flips the in-quotes state; an unquoted comma (or the
// file's other separator) ends a field. A `whole` line (one with its line end, in jurisdiction files) has
// the rest after the last such comma as its last field. Otherwise the last
// character always ends the last field (and is not part of it when it is a
// comma), and an empty line has no fields.
std::vector<std::string> CsvFields(const std::string& line, bool& inQuotes, bool whole, char separator = ',') {
  std::vector<std::string> fields;
  if (line.empty() && !whole) return fields;
  std::string field;
  for (std::size_t i = 0; i < (whole ? line.size() : line.size() - 1); ++i) {
    const char c = line[i];
    if (c == '"') inQuotes = !inQuotes;
    if (c == separator && !inQuotes) fields.push_back(std::exchange(field, ""));
    else field += c;
  }
  if (!whole) {
    const char last = line.back();
    if (last == '"') inQuotes = !inQuotes;
    if (!(last == separator && !inQuotes)) field += last;
  }
  fields.push_back(field);
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

// Jurisdiction cells: the in-quotes state starts off on every line; each
// cell is its text without one pair of quotes.
std::vector<std::string> JurisdictionCells(const Line& line) {
  bool inQuotes = false;
  std::vector<std::string> cells = CsvFields(line.text, inQuotes, line.lineEnd);
  for (std::string& c : cells) c = StripQuotes(CellText(c));
  return cells;
}

// A DIF string's text read from inside its quotes, to a line's end: 0 still
// open, 1 closed by a lone quote with only blanks after it, 2 closed with
// more after it (a quote written twice is the text's own).
int DifQuoteState(const std::string& inside) {
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] != '"') continue;
    if (i + 1 < inside.size() && inside[i + 1] == '"') {
      ++i;
      continue;
    }
    return TrimRightBlanks(inside.substr(i + 1)).empty() ? 1 : 2;
  }
  return 0;
}
bool DifOpen(const std::string& line) { return !line.empty() && line[0] == '"' && DifQuoteState(line.substr(1)) == 0; }

// DIF rows: after "DATA" and three more lines, "BOT" starts a row; a numeric
// cell "0,<value>" (#N/A or #ERROR when the next line says "NA" or "ERROR")
// and a string cell "1,0" with its string on the next line (losing
// `quotePasses` times a leading and a trailing quote) each take one column;
// "-1" ends a row. A plain string (one pass) whose line opens a quote and
// leaves it open goes on, joined by line feeds, to the line that closes it,
// when one does within 64 lines, each line before it ended by its line end
// and none closing it with more after (never in a text with a NUL).
struct DifRow {
  std::vector<std::string> cells;
  std::set<std::size_t> numbers;  // the cells that are numbers, written with a point
  bool ended = false;
  bool value = false;  // a number cell with its comma, or a string cell with text
};
std::vector<DifRow> DifRows(const std::string& text, std::size_t limit, int quotePasses) {
  const std::vector<Line> lines = Lines(text, limit);
  std::size_t i = 0;
  while (i < lines.size() && TrimRightBlanks(lines[i].text) != "DATA") ++i;
  std::vector<DifRow> rows;
  for (i += 4; i < lines.size(); ++i) {
    const std::string line = TrimRightBlanks(lines[i].text);
    if (line == "BOT") {
      rows.emplace_back();
    } else if (rows.empty()) {
    } else if (line.starts_with('0')) {
      const bool number = line.size() > 1 && line[1] == ',';
      rows.back().cells.push_back(number ? line.substr(2) : "");
      rows.back().value = rows.back().value || number;
      const std::string kind = i + 1 < lines.size() ? TrimRightBlanks(lines[i + 1].text) : "";
      if (number && (kind == "NA" || kind == "ERROR")) rows.back().cells.back() = kind == "NA" ? "#N/A" : "#ERROR";
      else rows.back().numbers.insert(rows.back().cells.size() - 1);
    } else if (line.starts_with('1')) {
      std::string s = i + 1 < lines.size() ? lines[++i].text : "";
      if (quotePasses == 1 && text.find('\0') == std::string::npos && DifOpen(s)) {
        std::string joined = s;
        for (std::size_t j = i + 1; j < lines.size() && j < i + 64 && lines[j - 1].lineEnd; ++j) {
          const int quote = DifQuoteState(lines[j].text);
          if (quote == 2) break;
          joined += "\n" + lines[j].text;
          if (quote == 0) continue;
          s = joined.substr(0, limit);
          i = j;
          break;
        }
      }
      for (int pass = 0; pass < quotePasses; ++pass) {
        if (!s.empty() && s.front() == '"') s.erase(0, 1);
        if (!s.empty() && s.back() == '"') s.pop_back();
      }
      rows.back().value = rows.back().value || !TrimBlanks(s).empty();
      rows.back().cells.push_back(s);
    } else if (line.starts_with("-1")) {
      rows.back().ended = true;
    }
  }
  return rows;
}

// ---- Plain formats -------------------------------------------------------------------------

// The items a generated template places, and their elements.
const std::vector<std::pair<const char*, const char*>> kItems = {
    {"Entity_Type", "Entity_Type"}, {"Return_Type", "Return_Type"}, {"Company_Name", "Name"},
    {"City", "City"},               {"State", "State"},             {"Income_Tax_Binder_Name", "Tax_BName"}};

enum class Plain { kCsv, kDif, kFixed };

struct Sample {
  std::string fileName, bytes;
  std::string store;  // empty for the jurisdiction reads, which use built-in templates
  std::vector<std::string> records;  // a read that fails: kFailed alone
  std::string templateName = "GEN", importType = "ENTITY";
};
constexpr const char* kFailed = "(the read fails)";

// The store places every item at its own column (CSV, DIF) or its own piece
// of the line (fixed-width), the first row of data `row`.
struct Placement {
  std::vector<int> column;  // per item
  std::vector<std::pair<int, int>> piece;
  int row = 1;
};

// A separator other than the comma is the template's "Separator".
std::string StoreText(Plain format, const Placement& p, char separator = ',') {
  std::string s = "[Import:GEN]\nInfo=ENTITY\nFsiType=FEDERAL\n";
  if (separator == '\t') s += "Separator=TAB\n";
  if (separator == ';') s += "Separator=SEMICOLON\n";
  for (std::size_t i = 0; i < kItems.size(); ++i)
    s += std::string(kItems[i].first) + "=" +
         (format == Plain::kFixed ? std::to_string(p.piece[i].first) + " " + std::to_string(p.piece[i].second)
                                  : std::to_string(p.column[i]) + " " + std::to_string(p.row)) +
         " 0\n";
  return s + "[Import:Layout]\n1=GEN\n";
}

using Values = std::vector<std::pair<std::size_t, std::string>>;  // item, value

// Every item of column `c` gets the value, in the items' order.
void Place(const Placement& p, std::size_t c, const std::string& value, Values& values) {
  for (std::size_t i = 0; i < kItems.size(); ++i)
    if (p.column[i] == static_cast<int>(c)) values.emplace_back(i, StripQuotes(value));
}

// A record; the fixed-width reader names the elements by the item names.
std::string Record(std::size_t line, const Values& values, bool itemNames = false) {
  Node n{"ENTS", {{"Line", std::to_string(line)}}, "", {}};
  for (const auto& [item, value] : values)
    n.children.push_back({itemNames ? kItems[item].first : kItems[item].second, {}, Escaped(value), {}});
  return Show(n);
}

// A read with 25 records in a row that give no value fails (the sample is
// then not used).
struct BlankRun {
  int run = 0;
  bool TooLong(bool blank) { return (run = blank ? run + 1 : 0) >= 25; }
};

// CSV: every line from the first row of data on is a record; the in-quotes
// state carries over to the next line; trailing blanks and bytes outside the
// printable range leave each field, and each field gives every item of its
// column an element, an empty one too.
bool CsvReference(const std::string& text, const Placement& p, std::vector<std::string>& records, char separator) {
  bool inQuotes = false;
  BlankRun blank;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = static_cast<std::size_t>(p.row - 1); li < lines.size(); ++li) {
    std::string trimmed = TrimRightBlanks(lines[li].text);
    if (std::all_of(trimmed.begin(), trimmed.end(), [&](char c) { return c == separator; })) trimmed.clear();
    Values values;
    bool written = false;
    std::vector<std::string> fields = CsvFields(trimmed, inQuotes, false, separator);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      while (!fields[f].empty() && (Blank(fields[f].back()) || Outside(fields[f].back()))) fields[f].pop_back();
      const std::size_t before = values.size();
      Place(p, f, fields[f], values);
      written = written || (values.size() > before && !fields[f].empty());
    }
    records.push_back(Record(li, values));
    if (blank.TooLong(!written)) return false;
  }
  return true;
}

// DIF: each row from the first row of data on is a record; a cell gives
// elements when it has text without its blanks (a string cell loses its
// quotes first).
bool DifReference(const std::string& text, const Placement& p, std::size_t columns, std::vector<std::string>& records) {
  BlankRun blank;
  const std::vector<DifRow> rows = DifRows(text, 2699, 1);
  for (std::size_t r = static_cast<std::size_t>(p.row - 1); r < rows.size(); ++r) {
    Values values;
    for (std::size_t c = 0; c < rows[r].cells.size() && c < columns; ++c)
      if (const std::string v = TrimBlanks(rows[r].cells[c]); !v.empty()) Place(p, c, v, values);
    records.push_back(Record(r, values));
    if (rows[r].ended && blank.TooLong(values.empty())) return false;
  }
  return true;
}

// Fixed-width: a line with text is a record; each item takes its piece of
// the line, blanks trimmed, and gives an element when text is left.
bool FixedReference(const std::string& text, const Placement& p, std::vector<std::string>& records) {
  BlankRun blank;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string line = TrimRightBlanks(lines[li].text);
    if (line.empty()) {
      ++blank.run;
      continue;
    }
    Values values;
    for (std::size_t item = 0; item < kItems.size(); ++item) {
      const auto [start, width] = p.piece[item];
      if (static_cast<std::size_t>(start) >= line.size()) continue;
      const std::string v = TrimBlanks(line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(width)));
      if (!v.empty()) values.emplace_back(item, StripQuotes(v));
    }
    records.push_back(Record(li, values, /*itemNames=*/true));
    if (blank.TooLong(values.empty())) return false;
  }
  return true;
}

Sample MakePlain(Plain format, Generator& g, char separator = ',') {
  for (;;) {
    const Encoding encoding = g.PickEncoding();
    const bool utf8 = encoding != Encoding::kAnsi;
    Placement p;
    const int columns = g.Int(static_cast<int>(kItems.size()), 9);
    std::vector<int> all(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) all[static_cast<std::size_t>(c)] = c;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
      std::swap(all[i], all[static_cast<std::size_t>(g.Int(static_cast<int>(i), columns - 1))]);
      p.column.push_back(all[i]);
    }
    p.row = g.Int(1, 3);
    int at = 0;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
      const int width = g.Int(1, 8);
      p.piece.emplace_back(at + g.Int(0, 2), width);
      at = p.piece.back().first + width;
    }

    const int lines = g.Int(0, 30);
    std::string ansi = format == Plain::kDif ? test::DifHeader(columns, lines) : "";
    for (int l = 0; l < lines; ++l) {
      if (format == Plain::kCsv) {
        const int fields = g.Int(0, columns + 2);
        for (int f = 0; f < fields; ++f) ansi += (f ? std::string(1, separator) : "") + g.Value(utf8, true, true);
        if (g.Chance(3)) ansi += g.LongRun();
        if (g.Chance(10)) ansi += std::string(2, separator);
        if (g.Chance(10)) ansi += "  ";
      } else if (format == Plain::kFixed) {
        const int n = g.Int(0, at + 6);
        for (int k = 0; k < n; ++k) ansi += g.Chance(70) ? g.Char(utf8, true, true) : ' ';
        if (g.Chance(3)) ansi += g.LongRun();
      } else {
        ansi += "-1,0" + g.LineEnd() + "BOT";
        const int cells = g.Int(0, columns + 2);
        for (int c = 0; c < cells; ++c) {
          ansi += g.LineEnd();
          if (g.Chance(30)) ansi += "0," + g.Value(utf8, false, false, 6) + g.LineEnd() + "V";
          else ansi += "1,0" + g.LineEnd() + "\"" + g.Value(utf8, true, false) + "\"";
          if (g.Chance(2)) ansi += g.LongRun();
        }
      }
      ansi += g.Rare();
      ansi += g.LineEnd();
    }
    if (format == Plain::kDif) ansi += "-1,0\nEOD\n";

    Sample s{format == Plain::kCsv ? "gen.csv" : format == Plain::kDif ? "gen.dif" : "gen.txt",
             FileBytes(ansi, encoding), StoreText(format, p, separator), {}};
    const bool usable = format == Plain::kCsv   ? CsvReference(ansi, p, s.records, separator)
                        : format == Plain::kDif ? DifReference(ansi, p, static_cast<std::size_t>(columns), s.records)
                                                : FixedReference(ansi, p, s.records);
    // A DIF text whose header did not survive (a Ctrl-Z or NUL in it) reads as
    // nothing; such a sample says nothing about the rules.
    if (usable && !(format == Plain::kDif && s.records.empty())) return s;
  }
}

// ---- Signed amounts and credit columns -----------------------------------------------------

// The M3BAL items a generated amount template places: a code, a text and two
// amounts, the first of them with a credit column.
const std::vector<const char*> kAmountItems = {"Company_Number", "Description", "Balance_after_Tax_Reclass",
                                                "Temporary_Difference"};
constexpr std::size_t kCreditItem = 2;
bool IsAmountItem(std::size_t item) { return item >= 2; }

// The forms of a signed amount, as patterns: one sign mark around the number
// at most; the number's thousands separators each followed by three digits.
std::vector<std::pair<std::regex, bool>> AmountForms(bool comma) {
  const std::string number = comma ? R"((\d{1,3}(?:\.\d{3})+|\d*)(?:,(\d*))?)" : R"((\d{1,3}(?:,\d{3})+|\d*)(?:\.(\d*))?)";
  std::vector<std::pair<std::regex, bool>> forms;
  for (const auto& [form, negative] : std::vector<std::pair<std::string, bool>>{
           {number, false}, {"-" + number, true}, {"\\+" + number, false}, {number + "-", true},
           {"\\(" + number + "\\)", true}, {number + "[Cc][Rr]", true}, {number + "[Dd][Rr]", false}})
    forms.emplace_back(std::regex(form), negative);
  return forms;
}

// A value as a signed amount, by the patterns.
std::optional<std::string> ReferenceSigned(const std::string& value, bool comma) {
  static const std::vector<std::pair<std::regex, bool>> kForms[2] = {AmountForms(false), AmountForms(true)};
  // Dollar signs go; blanks between two digits stand for a thousands
  // separator, and the other blanks go.
  std::string v = value;
  v.erase(std::remove(v.begin(), v.end(), '$'), v.end());
  v = std::regex_replace(v, std::regex(R"((\d)[ \t]+(?=\d))"), comma ? "$1." : "$1,");
  v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == ' ' || c == '\t'; }), v.end());
  for (const auto& [form, negative] : kForms[comma ? 1 : 0]) {
    std::smatch m;
    if (!std::regex_match(v, m, form)) continue;
    std::string whole = m[1].str(), fraction = m[2].str();
    whole.erase(std::remove(whole.begin(), whole.end(), comma ? '.' : ','), whole.end());
    if (whole.empty() && fraction.empty()) return std::nullopt;
    const bool zero = (whole + fraction).find_first_not_of('0') == std::string::npos;
    return (negative && !zero ? "-" : "") + (whole.empty() ? "0" : whole) + (fraction.empty() ? "" : "." + fraction);
  }
  return std::nullopt;
}

// A signed plain decimal as a whole number of 10^-decimals.
__int128 Scaled(const std::string& amount, std::size_t decimals) {
  const std::size_t point = amount.find('.');
  const std::size_t own = point == std::string::npos ? 0 : amount.size() - point - 1;
  __int128 n = 0;
  for (const char c : amount)
    if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
  for (std::size_t k = own; k < decimals; ++k) n *= 10;
  return amount[0] == '-' ? -n : n;
}

std::string Difference(const std::string& debit, const std::string& credit) {
  const auto decimalsOf = [](const std::string& a) { return a.find('.') == std::string::npos ? 0 : a.size() - a.find('.') - 1; };
  const std::size_t decimals = std::max(decimalsOf(debit), decimalsOf(credit));
  __int128 n = Scaled(debit, decimals) - Scaled(credit, decimals);
  const bool negative = n < 0;
  std::string digits;
  for (n = negative ? -n : n; n > 0; n /= 10) digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
  digits.insert(0, digits.size() <= decimals ? decimals + 1 - digits.size() : 0, '0');
  std::string out = (negative ? "-" : "") + digits.substr(0, digits.size() - decimals);
  return decimals ? out + "." + digits.substr(digits.size() - decimals) : out;
}

// The text an amount's cell gives the number rules: bytes outside the
// printable range as blanks, one pair of quotes gone.
std::string AmountInput(std::string raw) {
  for (char& c : raw)
    if (Outside(c)) c = ' ';
  return StripQuotes(raw);
}

// What the credit item writes for its row: the debit less the credit, or a
// side as written when it is not a number; both empty: the cell at hand.
std::string DebitLessCredit(const std::string& debit, const std::string& credit, const std::string& here, bool debitComma,
                            bool creditComma) {
  const std::string d = AmountInput(debit), c = AmountInput(credit);
  if (d.empty() && c.empty()) return here;
  const std::optional<std::string> dn = ReferenceSigned(d, debitComma), cn = ReferenceSigned(c, creditComma);
  if (!d.empty() && !dn) return debit;
  if (!c.empty() && !cn) return credit;
  return c.empty() ? *dn : Difference(dn ? *dn : "0", *cn);
}

struct AmountPlacement {
  std::vector<int> column;  // per item; the credit column after them
  std::vector<std::pair<int, int>> piece;
  int row = 1;
  bool comma = false;
};

std::string AmountStore(Plain format, const AmountPlacement& p) {
  std::string s = std::string("[Import:GEN]\nInfo=M3BAL\nFsiType=FEDERAL\nAmounts=") +
                  (p.comma ? "SIGNED COMMA" : "SIGNED") + "\n";
  const auto place = [&](std::size_t k) {
    return format == Plain::kFixed ? std::to_string(p.piece[k].first) + " " + std::to_string(p.piece[k].second)
                                   : std::to_string(p.column[k]) + " " + std::to_string(p.row);
  };
  for (std::size_t i = 0; i < kAmountItems.size(); ++i) s += std::string(kAmountItems[i]) + "=" + place(i) + " 0\n";
  s += std::string(kAmountItems[kCreditItem]) + ".Credit=" + place(kAmountItems.size()) + " 0\n";
  return s + "[Import:Layout]\n1=GEN\n";
}

// One row's record: `cells` maps each column (each piece, fixed-width) to
// its text, for the columns the row has; in column order, each column gives
// the items it feeds their values, the credit item at the first of its two.
// Empty values give elements when `emptyElements`. The columns in `numbers`
// hold numbers written with a decimal point whatever `comma` says.
std::string AmountRecord(std::size_t line, const std::map<int, std::string>& cells, const std::vector<int>& columns,
                         bool comma, bool emptyElements, bool& written, const std::set<int>& numbers = {}) {
  Node n{"BAL", {{"Line", std::to_string(line)}}, "", {}};
  const auto at = [&](int c) { return cells.count(c) ? cells.at(c) : std::string(); };
  const auto commaAt = [&](int c) { return comma && !numbers.count(c); };
  bool creditDone = false;
  for (const auto& [column, text] : cells) {
    for (std::size_t i = 0; i < kAmountItems.size(); ++i) {
      const bool credit = i == kCreditItem && columns[kAmountItems.size()] == column;
      if (columns[i] != column && !credit) continue;
      std::string v = text;
      if (i == kCreditItem) {
        if (std::exchange(creditDone, true)) continue;
        v = DebitLessCredit(at(columns[i]), at(columns[kAmountItems.size()]), text, commaAt(columns[i]),
                            commaAt(columns[kAmountItems.size()]));
      } else if (IsAmountItem(i)) {
        v = ReferenceSigned(AmountInput(text), commaAt(column)).value_or(text);
      }
      if (v.empty() && !emptyElements) continue;
      written = written || !v.empty();
      n.children.push_back({kAmountItems[i], {}, Escaped(StripQuotes(v)), {}});
    }
  }
  return Show(n);
}

// An amount as accounting software writes it, or now and then something else.
std::string AmountText(Generator& g, bool comma, bool quoteSeparators) {
  const int k = g.Int(0, 19);
  if (k == 0) return std::string();
  if (k == 1) return g.Value(false, false, false, 6);
  std::string whole = std::to_string(g.Int(0, g.Chance(50) ? 9999999 : 999));
  if (g.Chance(50))
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3) whole.insert(static_cast<std::size_t>(at), comma ? "." : ",");
  if (g.Chance(5)) whole = whole + (comma ? "." : ",") + "12";  // a separator in the wrong place
  std::string v = whole;
  if (g.Chance(60)) v += (comma ? "," : ".") + std::to_string(g.Int(0, 99)).substr(0, static_cast<std::size_t>(g.Int(1, 2)));
  if (g.Chance(15)) v = "$" + v;
  switch (g.Int(0, 9)) {
    case 0: v = "-" + v; break;
    case 1: v += "-"; break;
    case 2: v = "(" + v + ")"; break;
    case 3: v += g.Chance(50) ? " CR" : "cr"; break;
    case 4: v += " DR"; break;
    case 5: v = "+" + v; break;
    case 6: v = "-" + v + "-"; break;
    default: break;
  }
  if (g.Chance(10)) v.insert(static_cast<std::size_t>(g.Int(0, static_cast<int>(v.size()))), " ");
  if (quoteSeparators && v.find(',') != std::string::npos) v = "\"" + v + "\"";
  return v;
}

// The records of a generated amount file: the rows of its format, as the
// plain formats' references take them, through AmountRecord.
bool AmountReference(Plain format, const std::string& text, const AmountPlacement& p, std::size_t columns,
                     std::vector<std::string>& records) {
  BlankRun blank;
  const std::vector<int> fixedColumns = {0, 1, 2, 3, 6};  // the credit's piece is cut after the items'
  const std::vector<int>& cols = format == Plain::kFixed ? fixedColumns : p.column;
  bool inQuotes = false;
  const std::vector<Line> lines = Lines(text, 2699);
  const std::vector<DifRow> rows = format == Plain::kDif ? DifRows(text, 2699, 1) : std::vector<DifRow>();
  const std::size_t count = format == Plain::kDif ? rows.size() : lines.size();
  for (std::size_t r = format == Plain::kFixed ? 0 : static_cast<std::size_t>(p.row - 1); r < count; ++r) {
    std::map<int, std::string> cells;
    std::set<int> numbers;
    if (format == Plain::kCsv) {
      std::string trimmed = TrimRightBlanks(lines[r].text);
      if (std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c == ','; })) trimmed.clear();
      std::vector<std::string> fields = CsvFields(trimmed, inQuotes, false);
      for (std::size_t f = 0; f < fields.size(); ++f) {
        while (!fields[f].empty() && (Blank(fields[f].back()) || Outside(fields[f].back()))) fields[f].pop_back();
        cells[static_cast<int>(f)] = fields[f];
      }
    } else if (format == Plain::kDif) {
      for (std::size_t c = 0; c < rows[r].cells.size() && c < columns; ++c) {
        if (const std::string v = TrimBlanks(rows[r].cells[c]); !v.empty()) cells[static_cast<int>(c)] = v;
        if (rows[r].numbers.count(c)) numbers.insert(static_cast<int>(c));
      }
    } else {
      const std::string line = TrimRightBlanks(lines[r].text);
      if (line.empty()) {
        ++blank.run;
        continue;
      }
      for (std::size_t k = 0; k < p.piece.size(); ++k) {
        const auto [start, width] = p.piece[k];
        if (static_cast<std::size_t>(start) < line.size())
          cells[cols[k]] = TrimBlanks(line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(width)));
      }
    }
    bool written = false;
    records.push_back(AmountRecord(r, cells, cols, p.comma, format == Plain::kCsv, written, numbers));
    if ((format != Plain::kDif || rows[r].ended) && blank.TooLong(!written)) return false;
  }
  return true;
}

Sample MakeAmounts(Plain format, Generator& g) {
  for (;;) {
    AmountPlacement p;
    p.comma = g.Chance(30);
    const int placed = static_cast<int>(kAmountItems.size()) + 1;
    const int columns = g.Int(placed, placed + 2);
    std::vector<int> all(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) all[static_cast<std::size_t>(c)] = c;
    for (std::size_t k = 0; k < static_cast<std::size_t>(placed); ++k) {
      std::swap(all[k], all[static_cast<std::size_t>(g.Int(static_cast<int>(k), columns - 1))]);
      p.column.push_back(all[k]);
    }
    p.row = g.Int(1, 3);
    for (int k = 0, at = 0; k < placed; ++k) {
      p.piece.emplace_back(at + g.Int(0, 2), g.Int(4, 14));
      at = p.piece.back().first + p.piece.back().second;
    }
    const auto amountColumn = [&](int c) {
      return c == p.column[2] || c == p.column[3] || c == p.column[kAmountItems.size()];
    };
    const int lines = g.Int(0, 30);
    std::string ansi = format == Plain::kDif ? test::DifHeader(columns, lines) : "";
    for (int l = 0; l < lines; ++l) {
      if (format == Plain::kCsv) {
        const int fields = g.Int(0, columns + 1);
        for (int f = 0; f < fields; ++f)
          ansi += (f ? "," : "") + (amountColumn(f) ? AmountText(g, p.comma, true) : g.Value(false, true, false));
      } else if (format == Plain::kDif) {
        ansi += "-1,0\nBOT";
        const int cells = g.Int(0, columns + 1);
        for (int c = 0; c < cells; ++c) {
          if (g.Chance(3)) ansi += g.Chance(50) ? "\n0,0\nNA" : "\n0,0\nERROR";
          else if (g.Chance(20)) ansi += "\n0," + std::to_string(g.Int(-99999, 99999)) + ".5\nV";
          else ansi += "\n1,0\n\"" + (amountColumn(c) ? AmountText(g, p.comma, false) : g.Value(false, true, false)) + "\"";
        }
      } else {
        std::string line(static_cast<std::size_t>(p.piece.back().first + p.piece.back().second), ' ');
        for (std::size_t k = 0; k < p.piece.size(); ++k) {
          if (g.Chance(25)) continue;
          const std::string v = k >= 2 ? AmountText(g, p.comma, false) : g.Value(false, true, false);
          line.replace(static_cast<std::size_t>(p.piece[k].first), std::min<std::size_t>(v.size(), p.piece[k].second),
                       v.substr(0, static_cast<std::size_t>(p.piece[k].second)));
        }
        ansi += g.Chance(10) ? std::string() : line;
      }
      ansi += "\n";
    }
    if (format == Plain::kDif) ansi += "-1,0\nEOD\n";
    Sample s{format == Plain::kCsv ? "gen.csv" : format == Plain::kDif ? "gen.dif" : "gen.txt", ansi,
             AmountStore(format, p), {}};
    if (AmountReference(format, ansi, p, static_cast<std::size_t>(columns), s.records) &&
        !(format == Plain::kDif && s.records.empty()))
      return s;
  }
}

// ---- Journal entries -------------------------------------------------------------------------

// The journal-entry items a generated template places: their index in the
// item list, their key and the element written for them. The first four
// belong to an entry's header, the rest to its accounts.
struct JeItem {
  std::size_t index;
  const char* key;
  const char* element;
};
const std::vector<JeItem> kJeItems = {
    {1, "JE_Type", "JE_Type"},          {2, "JE_Number", "JE_Number"},
    {3, "JE_Caption", "JE_Caption"},    {19, "Equity_Ind", "Equity_Ind"},
    {17, "Account_Number", "Account_Number"}, {18, "Account_Balance", "Account_Balance"},
    {20, "RTP_Adj_Override", "RTP_Adj_Override"}, {23, "Transfer from Provision", "Transfer_From_Provision"}};
constexpr std::size_t kJeHeaderItems = 4;
// Every journal-entry element in item order: a chart read gives those of the
// header that no row gave as empty elements before the account list.
const char* const kJeElements[] = {
    "Company_Number", "JE_Type", "JE_Number", "JE_Caption", "Debit_TRC", "Debit_TCC", "Debit_TCC_Caption",
    "Temporary_Permanent_Code", "Credit_TRC", "Credit_TCC", "Credit_TCC_Caption", "Debit_Intl_TRC",
    "Debit_Intl_TCC", "Debit_Intl_TCC_Caption", "Credit_Intl_TRC", "Credit_Intl_TCC", "Credit_Intl_TCC_Caption",
    "Account_Number", "Account_Balance", "Equity_Ind", "RTP_Adj_Override", "PA_Ind", "Special_Ind",
    "Transfer_From_Provision", "PartK1_Ind"};
bool IsAccountItem(std::size_t index) { return index == 17 || index == 18 || index == 20 || index == 23; }

// One journal-entry read's document, built as a tree: records, their
// elements, the "Accounts" list and its "Acct" entries. A chart read (FBJ,
// FRJ) or a balance read (JEBAL).
class JeDocument {
 public:
  explicit JeDocument(bool chart) : m_chart(chart) {}
  bool chart() const { return m_chart; }

  void StartEntry(std::size_t index, bool lineAttribute) {
    m_records.push_back({"JES", {}, "", {}});
    if (lineAttribute) m_records.back().attributes.emplace_back("Line", std::to_string(index));
    m_container.clear();
    m_acct.clear();
    m_out.assign(std::size(kJeElements), false);
    for (std::size_t k : {17, 18, 20, 23}) m_out[k] = true;
  }
  // The header ends: a chart read adds the header elements no row gave, and
  // an "Accounts" list under the current container becomes the container.
  void OpenAccounts() {
    if (m_records.empty()) return;
    if (m_chart)
      for (std::size_t k = 0; k < m_out.size(); ++k)
        if (!m_out[k]) At(m_container).children.push_back({kJeElements[k], {}, "", {}});
    At(m_container).children.push_back({"Accounts", {}, "", {}});
    m_container.push_back(At(m_container).children.size() - 1);
  }
  void AcctRoot() {
    if (m_records.empty()) return;
    At(m_container).children.push_back({"Acct", {}, "", {}});
    m_acct = m_container;
    m_acct.push_back(At(m_container).children.size() - 1);
  }
  // An element of item `index` with its value; false when an account item
  // has no account list to go into. Without a record it goes nowhere.
  bool Element(std::size_t index, const std::string& value, bool mark) {
    if (m_records.empty()) return !IsAccountItem(index);
    Node element{kJeElements[index], {}, Escaped(StripQuotes(value)), {}};
    if (IsAccountItem(index)) {
      if (m_acct.empty()) return false;
      At(m_acct).children.push_back(element);
    } else {
      At(m_container).children.push_back(element);
    }
    if (mark) m_out[index] = true;
    return true;
  }
  std::vector<std::string> Records() const {
    std::vector<std::string> shown;
    for (const Node& r : m_records) shown.push_back(Show(r));
    return shown;
  }

 private:
  // The node at `path` (child indexes) below the current record.
  Node& At(const std::vector<std::size_t>& path) {
    Node* n = &m_records.back();
    for (const std::size_t i : path) n = &n->children[i];
    return *n;
  }

  bool m_chart;
  std::vector<Node> m_records;
  std::vector<std::size_t> m_container;  // where elements go: the record, or its account lists
  std::vector<std::size_t> m_acct;       // the current "Acct" (empty: none)
  std::vector<bool> m_out;
};

// Blocks of rows (comma-separated and DIF files): an entry starts at the
// first row after the last one ended; its header rows, one blank row, then
// its account rows, where each account starts at the first of its two key
// items (number and transfer in a chart read, number and balance in a
// balance read); the third blank row ends it. Leading blank rows are not
// counted. Past the header a chart read keeps the number and the transfer,
// a balance read the number, the balance and the override.
class JeBlocks {
 public:
  explicit JeBlocks(bool chart) : m_doc(chart) {}
  // A row: its values (item position in kJeItems, text) in column order.
  // False when the read fails.
  bool Row(std::size_t index, const std::vector<std::pair<std::size_t, std::string>>& values, bool blank, bool ended) {
    if (!m_open && m_lines == 0) {
      m_doc.StartEntry(index, true);
      m_open = true;
      m_headerDone = false;
    }
    for (const auto& [k, value] : values)
      if (!Field(kJeItems[k].index, value)) return false;
    if (!ended) return true;
    if (blank) {
      if (++m_blanks == 3) m_blanks = m_lines = 0, m_open = m_headerDone = false;
      if (m_lines == 0) m_blanks = 0;
    } else {
      ++m_lines;
    }
    m_number = m_balance = m_transfer = false;
    return !m_run.TooLong(values.empty());
  }
  std::vector<std::string> Records() const { return m_doc.Records(); }

 private:
  bool Field(std::size_t index, const std::string& value) {
    const bool number = index == 17, balance = index == 18, transfer = index == 23, override = index == 20;
    const bool chart = m_doc.chart();
    if (m_blanks == 1) {
      if (!m_headerDone) m_doc.OpenAccounts();
      m_headerDone = true;
      if (chart ? (number && !m_transfer) || (transfer && !m_number) : (number && !m_balance) || (balance && !m_number))
        m_doc.AcctRoot();
    }
    const bool keep = !m_headerDone || (chart ? number || transfer : number || balance || override);
    if (!keep) return true;
    if (!m_doc.Element(index, value, true)) return false;
    m_balance = m_balance || balance;
    m_number = m_number || number;
    m_transfer = m_transfer || transfer;
    return true;
  }

  JeDocument m_doc;
  bool m_open = false, m_headerDone = false;
  int m_blanks = 0, m_lines = 0;
  bool m_number = false, m_balance = false, m_transfer = false;
  BlankRun m_run;
};

// The rows of a block layout file, as cells by column ("" for none).
using JeRows = std::vector<std::vector<std::string>>;

// Entries of header rows, one blank row and account rows, two blank rows
// apart; now and then a blank row more or less, leading blanks, a value in
// the wrong part, or a row that is blank but for its blanks.
JeRows JeEntries(Generator& g, bool utf8, const std::vector<int>& column, int columns, bool quotes) {
  JeRows rows;
  const auto row = [&](bool header) {
    std::vector<std::string> cells(static_cast<std::size_t>(columns));
    for (std::size_t k = 0; k < kJeItems.size(); ++k)
      if (((k < kJeHeaderItems) == header ? g.Chance(70) : g.Chance(1)))
        cells[static_cast<std::size_t>(column[k])] = g.Value(utf8, quotes, false, 6);
    rows.push_back(cells);
  };
  const auto blanks = [&](int n) {
    n += g.Chance(10) ? (g.Chance(50) ? 1 : -1) : 0;
    for (int i = 0; i < n; ++i) rows.push_back(std::vector<std::string>(g.Chance(20) ? 2 : 0, g.Chance(50) ? "" : " "));
  };
  if (g.Chance(20)) blanks(1);
  for (int e = g.Int(0, 5); e > 0; --e) {
    for (int h = g.Int(1, 2); h > 0; --h) row(true);
    blanks(1);
    for (int a = g.Int(0, 4); a > 0; --a) row(false);
    blanks(2);
  }
  return rows;
}

// A template of the journal-entry items at the given columns, from the first row.
std::string JeStore(const std::vector<int>& column) {
  std::string s = "[Import:GJE]\nInfo=JE\nFsiType=FEDERAL\n";
  for (std::size_t k = 0; k < kJeItems.size(); ++k)
    s += std::string(kJeItems[k].key) + "=" + std::to_string(column[k]) + " 1 0\n";
  return s + "[Import:Layout]\n1=GJE\n";
}

// The values of a row's fields or cells, in column order, for the items at `column`.
std::vector<std::pair<std::size_t, std::string>> JeValues(const std::vector<std::string>& fields,
                                                          const std::vector<int>& column) {
  std::vector<std::pair<std::size_t, std::string>> values;
  for (std::size_t f = 0; f < fields.size(); ++f)
    for (std::size_t k = 0; k < kJeItems.size(); ++k)
      if (column[k] == static_cast<int>(f) && !fields[f].empty()) values.emplace_back(k, fields[f]);
  return values;
}

std::vector<std::string> JeCsvReference(const std::string& text, const std::vector<int>& column, bool chart) {
  JeBlocks blocks(chart);
  bool inQuotes = false;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = 0; li < lines.size(); ++li) {
    std::string trimmed = TrimRightBlanks(lines[li].text);
    if (std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c == ','; })) trimmed.clear();
    std::vector<std::string> fields = CsvFields(trimmed, inQuotes, false);
    for (std::string& f : fields)
      while (!f.empty() && (Blank(f.back()) || Outside(f.back()))) f.pop_back();
    if (!blocks.Row(li, JeValues(fields, column), trimmed.empty(), true)) return {kFailed};
  }
  return blocks.Records();
}

std::vector<std::string> JeDifReference(const std::string& text, const std::vector<int>& column, std::size_t columns,
                                        bool chart) {
  JeBlocks blocks(chart);
  const std::vector<DifRow> rows = DifRows(text, 2699, 1);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < rows[r].cells.size() && c < columns; ++c) cells.push_back(TrimBlanks(rows[r].cells[c]));
    if (!blocks.Row(r, JeValues(cells, column), !rows[r].value, rows[r].ended)) return {kFailed};
  }
  return blocks.Records();
}

// The lines of a fixed-width file: each item at its start and length, read
// on the line of the entry its line code names (0 and 1: the header's first
// and second line; 224: every account line; above: any line).
struct JePiece {
  std::size_t start, length;
  int code;
};
const JePiece kJePieces[] = {{0, 1, 0}, {2, 4, 0}, {2, 10, 1}, {14, 2, 300}, {2, 6, 224}, {9, 8, 224}, {18, 2, 224}, {21, 1, 224}};

// A fixed-width file's entries: a line with the entry's kind (the first
// character) that starts it, its other header lines, one blank line, account
// lines, two blank lines. An entry of another kind than a chart read's is
// passed over; a balance read takes every kind and gives every account line
// that reaches the balance a balance element, empty when it has none; a line
// after the accounts and only one blank line fails the read.
std::vector<std::string> JeFixedReference(const std::string& text, bool chart, char kind) {
  std::vector<std::size_t> order(kJeItems.size());  // the cells come in item order
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) { return kJeItems[a].index < kJeItems[b].index; });
  JeDocument doc(chart);
  bool open = false, headerDone = false, skip = false, balanceWritten = false;
  int blanks = 0, entryLine = 0, run = 0;
  const std::vector<Line> lines = Lines(text, 2699);
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string line = TrimRightBlanks(lines[li].text);
    if (line.empty()) {
      if (open && ++blanks == 3) {
        blanks = entryLine = 0;
        open = false;
        if (!skip) headerDone = balanceWritten = false;
      }
      ++run;
      continue;
    }
    if (open && headerDone && blanks == 2) return {kFailed};
    if (open) ++entryLine;
    int written = 0;
    for (const std::size_t k : order) {
      const JePiece& piece = kJePieces[k];
      if (piece.start >= line.size()) continue;
      const int code = piece.code;
      if (open && !(code < 224 ? code == entryLine - 1 && blanks == 0 : code == 224 ? blanks != 0 : true)) continue;
      const std::size_t index = kJeItems[k].index;
      const bool number = index == 17, balance = index == 18;
      const std::string value = TrimBlanks(line.substr(piece.start, piece.length));
      if (!value.empty()) {
        if (index == 1) {
          const char first = Outside(value[0]) ? ' ' : value[0];
          skip = chart && first != kind;
          if (skip) run = 0;
          if (!skip && !open) {
            doc.StartEntry(li, false);
            open = true;
            ++entryLine;
          }
        }
        if (!skip) {
          if (number) {
            if (!headerDone) doc.OpenAccounts();
            headerDone = true;
            doc.AcctRoot();
          }
          if (!doc.Element(index, value, !headerDone || number || (!chart && (balance || index == 20)))) return {kFailed};
          ++written;
          balanceWritten = balanceWritten || balance;
        }
      }
      if (skip) continue;
      if (headerDone && !chart && !balanceWritten && balance && !doc.Element(18, "", false)) return {kFailed};
      if (headerDone && !chart) balanceWritten = false;
    }
    if (!(written == 0 && skip)) run = written == 0 ? run + 1 : 0;
    if (run >= 25) return {kFailed};
  }
  return doc.Records();
}

Sample MakeFixedJournal(Generator& g) {
  const Encoding encoding = g.PickEncoding();
  const bool utf8 = encoding != Encoding::kAnsi;
  const bool chart = g.Chance(60);
  const char kind = g.Chance(50) ? 'A' : 'R';
  std::string ansi;
  const auto line = [&](std::initializer_list<std::size_t> items) {
    std::string l(22, ' ');
    for (const std::size_t k : items) {
      if (!g.Chance(80)) continue;
      const JePiece& p = kJePieces[k];
      for (std::size_t i = 0; i < p.length; ++i)
        if (g.Chance(80)) l[p.start + i] = k == 0 ? "AARRM-"[g.Int(0, 5)] : g.Char(utf8, true, false);
    }
    if (g.Chance(15)) l.resize(static_cast<std::size_t>(g.Int(0, 22)));
    ansi += l + g.Rare() + g.LineEnd();
  };
  const auto blanks = [&](int n) {
    n += g.Chance(10) ? (g.Chance(50) ? 1 : -1) : 0;
    for (int i = 0; i < n; ++i) ansi += (g.Chance(20) ? "   " : "") + g.LineEnd();
  };
  if (g.Chance(10)) blanks(1);
  for (int e = g.Int(0, 5); e > 0; --e) {
    line({0, 1, 3});
    for (int h = g.Int(0, 2); h > 0; --h) line({2, 3});
    blanks(1);
    for (int a = g.Int(0, 4); a > 0; --a) line({4, 5, 6, 7, 3});
    blanks(2);
  }
  std::string store = "[Import:GJE]\nInfo=JE\nFsiType=FEDERAL\n";
  for (std::size_t k = 0; k < kJeItems.size(); ++k)
    store += std::string(kJeItems[k].key) + "=" + std::to_string(kJePieces[k].start) + " " +
             std::to_string(kJePieces[k].length) + " " + std::to_string(kJePieces[k].code) + "\n";
  Sample s{"je.txt", FileBytes(ansi, encoding), store + "[Import:Layout]\n1=GJE\n", {}};
  s.templateName = "GJE";
  s.importType = chart ? (kind == 'A' ? "FBJ" : "FRJ") : "JEBAL";
  s.records = JeFixedReference(ansi, chart, kind);
  return s;
}

Sample MakeJournal(Plain format, Generator& g) {
  const Encoding encoding = g.PickEncoding();
  const bool utf8 = encoding != Encoding::kAnsi;
  const bool chart = g.Chance(50);
  const int columns = g.Int(static_cast<int>(kJeItems.size()), 10);
  std::vector<int> all(static_cast<std::size_t>(columns)), column;
  for (int c = 0; c < columns; ++c) all[static_cast<std::size_t>(c)] = c;
  for (std::size_t k = 0; k < kJeItems.size(); ++k) {
    std::swap(all[k], all[static_cast<std::size_t>(g.Int(static_cast<int>(k), columns - 1))]);
    column.push_back(all[k]);
  }
  JeRows rows = JeEntries(g, utf8, column, columns, format == Plain::kCsv);
  if (rows.empty()) rows.emplace_back();  // (a DIF file without rows reads as nothing)
  std::string ansi;
  if (format == Plain::kCsv) {
    for (const auto& cells : rows) {
      for (std::size_t c = 0; c < cells.size(); ++c) ansi += (c ? "," : "") + cells[c];
      ansi += g.Rare() + g.LineEnd();
    }
  } else {
    ansi = test::DifHeader(columns, static_cast<int>(rows.size()));
    for (const auto& cells : rows) {
      ansi += "-1,0" + g.LineEnd() + "BOT" + g.LineEnd();
      for (const std::string& cell : cells) {
        if (g.Chance(20)) ansi += "0," + cell + g.LineEnd() + "V" + g.LineEnd();
        else ansi += "1,0" + g.LineEnd() + "\"" + cell + "\"" + g.LineEnd();
      }
    }
    ansi += "-1,0\nEOD\n";
  }
  Sample s{format == Plain::kCsv ? "je.csv" : "je.dif", FileBytes(ansi, encoding), JeStore(column), {}};
  s.templateName = "GJE";
  s.importType = chart ? "FBJ" : "JEBAL";
  s.records = format == Plain::kCsv ? JeCsvReference(ansi, column, chart)
                                    : JeDifReference(ansi, column, static_cast<std::size_t>(columns), chart);
  return s;
}

// ---- Jurisdiction shapes -------------------------------------------------------------------

enum class Shape { kTabular, kListed, kDif };

// A cell of column `c` of a tabular or DIF record: the three descriptive ones
// (the category type with its position; the text as the engine escapes it,
// once, as the parser gives it back), then a JURS entry with the cell as the
// amount for the state the header names.
void AddEntry(Node& rec, Attributes attributes) {
  if (rec.children.empty() || rec.children.back().name != "JURS") rec.children.push_back({"JURS", {}, "", {}});
  rec.children.back().children.push_back({"JUR", std::move(attributes), "", {}});
}
void AddCell(Node& rec, std::size_t c, const std::string& cell, const std::vector<std::string>& header) {
  static const char* const kNames[] = {"Type", "Category", "Subcategory"};
  if (c >= 3) return AddEntry(rec, {{"amt", cell}, {"id", std::to_string(Position(kStateNames, header[c]))}});
  Node n{kNames[c], {}, Escaped(cell, /*printableOnly=*/false), {}};
  if (c == 0) n.attributes.emplace_back("ID", std::to_string(Position(kTypes, cell)));
  rec.children.push_back(n);
}

// Tabular: the first line names the columns; every further line is a record.
std::vector<std::string> TabularReference(const std::string& text, const std::vector<std::string>& header) {
  std::vector<std::string> records;
  const std::vector<Line> lines = Lines(text, 1399);
  for (std::size_t li = 1; li < lines.size(); ++li) {
    Node rec{"BAL", {{"Line", std::to_string(li + 1)}}, "", {}};
    const std::vector<std::string> cells = JurisdictionCells(lines[li]);
    for (std::size_t c = 0; c < cells.size() && c < header.size(); ++c) AddCell(rec, c, cells[c], header);
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
      if (const int position = Position(kStateNames, key)) listed[key] = position;
    }
  std::vector<std::string> records;
  Node rec;
  bool open = false, reverse = false;
  std::map<std::string, bool> seen;
  const auto close = [&]() {
    if (!open) return;
    if (!rec.children.empty() && rec.children.back().name == "JURS")
      for (const auto& [key, position] : listed)
        if (!seen[key]) AddEntry(rec, {{"id", std::to_string(position)}, {"amt", "0"}, {"T", "0"}});
    records.push_back(Show(rec));
  };
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::vector<std::string> cells = JurisdictionCells(lines[li]);
    if (!indented(lines[li])) {
      close();
      rec = Node{"BAL", {{"Line", std::to_string(li + 1)}}, "", {}};
      open = true;
      reverse = cells.size() > 3 && (cells[3] == "r" || cells[3] == "R");
      seen.clear();
      for (std::size_t c = 0; c < cells.size() && c < 3; ++c) AddCell(rec, c, cells[c], {});
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
    AddEntry(rec, {{"id", std::to_string(Position(kStateNames, key))}, {"amt", amount}, {"T", total ? "1" : "0"}});
  }
  close();
  return records;
}

// DIF: the first row names the columns; each further row is a record; a
// cell with text gives its element (string cells lose two pairs of quotes),
// an empty one nothing.
std::vector<std::string> DifJurisdictionReference(const std::string& text, const std::vector<std::string>& header) {
  const std::vector<DifRow> rows = DifRows(text, 259, 2);
  std::vector<std::string> records;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    Node rec{"BAL", {{"Line", std::to_string(r + 1)}}, "", {}};
    for (std::size_t c = 0; c < rows[r].cells.size() && c < header.size(); ++c)
      if (const std::string cell = CellText(rows[r].cells[c]); !cell.empty()) AddCell(rec, c, cell, header);
    records.push_back(Show(rec));
  }
  return records;
}

Sample MakeJurisdiction(Shape shape, Generator& g) {
  const Encoding encoding = g.PickEncoding();
  const bool utf8 = encoding != Encoding::kAnsi;
  std::vector<std::string> header = {"Type", "Category", "Subcategory"};
  for (const std::string& s : g.States(1, 6)) header.push_back(g.Chance(30) ? Lower(s) : s);
  // (a DIF file of a header row alone is not read as one: the shape needs a data row)
  const int records = g.Int(shape == Shape::kDif ? 1 : 0, 25);
  std::string ansi;
  if (shape == Shape::kTabular) {
    for (std::size_t c = 0; c < header.size(); ++c) ansi += (c ? "," : "") + header[c];
    ansi += g.LineEnd();
    for (int r = 0; r < records; ++r) {
      ansi += g.TypeCell(true);
      const int cells = g.Int(0, static_cast<int>(header.size()) + 1);
      for (int c = 1; c < cells; ++c) ansi += "," + (c < 3 ? g.Description(utf8, true) : g.Amount(utf8));
      if (g.Chance(5)) ansi += g.Rare();
      ansi += g.LineEnd();
    }
  } else if (shape == Shape::kListed) {
    for (int r = 0; r < records; ++r) {
      const bool reverse = g.Chance(20);
      ansi += g.TypeCell(true) + "," + g.Description(utf8, true) + "," + g.Description(utf8, true);
      if (reverse) ansi += g.Chance(50) ? ",R" : ",r";
      ansi += g.LineEnd();
      const std::vector<std::string> mine = g.States(r == 0 ? 1 : 0, 4);
      for (std::size_t k = 0; k < mine.size(); ++k) {
        // The first record's first state line is indented with blanks, as
        // the shape's detection wants; others with a tab now and then.
        ansi += (r == 0 && k == 0) || g.Chance(70) ? "  " : "\t";
        ansi += g.Chance(30) ? Lower(mine[k]) : mine[k];
        std::string a = g.Amount(utf8);
        if (reverse) a = std::to_string(g.Int(-9999, 9999)) + (g.Chance(50) ? ".5" : "");
        ansi += "," + a;
        if (g.Chance(20)) ansi += g.Chance(50) ? ",T" : ",t";
        ansi += g.LineEnd();
      }
    }
  } else {
    ansi = test::DifHeader(static_cast<int>(header.size()), records + 1) + "-1,0\nBOT\n";
    const auto stringCell = [&](const std::string& text) { ansi += "1,0" + g.LineEnd() + "\"" + text + "\"" + g.LineEnd(); };
    for (const std::string& h : header) stringCell(h);
    for (int r = 0; r < records; ++r) {
      ansi += "-1,0" + g.LineEnd() + "BOT" + g.LineEnd();
      stringCell(g.TypeCell(false));
      const int cells = g.Int(0, static_cast<int>(header.size()) + 1);
      for (int c = 1; c < cells; ++c) {
        if (c >= 3 && g.Chance(40)) ansi += "0," + std::to_string(g.Int(-999, 999)) + g.LineEnd() + "V" + g.LineEnd();
        else stringCell(c < 3 ? g.Description(utf8, false) : g.Amount(utf8));
      }
    }
    ansi += "-1,0\nEOD\n";
  }
  Sample s{shape == Shape::kDif ? "gen.dif" : "gen.csv", FileBytes(ansi, encoding), "", {}};
  s.records = shape == Shape::kTabular ? TabularReference(ansi, header)
              : shape == Shape::kListed ? ListedReference(ansi)
                                        : DifJurisdictionReference(ansi, header);
  return s;
}

// ---- The runs ----------------------------------------------------------------------------

struct Case {
  const char* name;
  unsigned seed;
  Sample (*make)(Generator&);
};

class Differential : public ::testing::TestWithParam<Case> {};

TEST_P(Differential, EngineAndPlainRulesAgree) {
  test::ScopedHome home;
  Generator g(GetParam().seed);
  for (int sample = 0; sample < 300; ++sample) {
    const Sample s = GetParam().make(g);
    test::WriteFile(home.file(s.fileName), s.bytes);
    RecordingUserInterface ui;
    CxmlWrapper service(&ui);
    std::string result;
    if (s.store.empty()) {
      service.PutCategoryTypes(kCategories);
      service.FillJurisdictionCaptions(kStates);
      ASSERT_EQ(service.ReadImportFile(home.file(s.fileName), "AABAL", "AABAL", "E", "", result), kOk);
      if (s.records.empty() && result.empty()) continue;  // no record line: an empty text
    } else {
      test::WriteFile(home.file("import.ini"), s.store);
      ASSERT_TRUE(service.EstablishTemplateStore());
      service.SetBatchIndicator(1);
      const bool amounts = s.store.find("Info=M3BAL") != std::string::npos;
      ASSERT_EQ(service.ReadImportFile(home.file(s.fileName), s.templateName, amounts ? "M3BAL" : s.importType, "9", "", result), kOk);
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(result.data(), result.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    ASSERT_TRUE(parsed) << "sample " << sample << ": " << parsed.description() << " in " << result.substr(0, 300);
    std::vector<std::string> records;  // the template element left out
    if (std::string(doc.document_element().name()) == "Error") records.push_back(kFailed);
    else for (const pugi::xml_node& r : doc.document_element().children())
      if (r.type() == pugi::node_element && std::string(r.name()) != "TMPL" && std::string(r.name()) != "TMPLT")
        records.push_back(Show(FromXml(r)));
    ASSERT_EQ(records.size(), s.records.size()) << "sample " << sample << "\n" << result;
    for (std::size_t r = 0; r < records.size(); ++r)
      ASSERT_EQ(records[r], s.records[r]) << "sample " << sample << ", record " << r << "\n" << result;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, Differential,
    ::testing::Values(Case{"csv", 20261207u, [](Generator& g) { return MakePlain(Plain::kCsv, g); }},
                      Case{"tab_separated", 20261213u, [](Generator& g) { return MakePlain(Plain::kCsv, g, '\t'); }},
                      Case{"semicolon_separated", 20261214u,
                           [](Generator& g) { return MakePlain(Plain::kCsv, g, ';'); }},
                      Case{"dif", 20261208u, [](Generator& g) { return MakePlain(Plain::kDif, g); }},
                      Case{"fixed", 20261209u, [](Generator& g) { return MakePlain(Plain::kFixed, g); }},
                      Case{"csv_journal", 20261210u, [](Generator& g) { return MakeJournal(Plain::kCsv, g); }},
                      Case{"dif_journal", 20261211u, [](Generator& g) { return MakeJournal(Plain::kDif, g); }},
                      Case{"fixed_journal", 20261212u, MakeFixedJournal},
                      Case{"tabular", 7122026u, [](Generator& g) { return MakeJurisdiction(Shape::kTabular, g); }},
                      Case{"listed", 7122027u, [](Generator& g) { return MakeJurisdiction(Shape::kListed, g); }},
                      Case{"jurisdiction_dif", 7122028u,
                           [](Generator& g) { return MakeJurisdiction(Shape::kDif, g); }},
                      Case{"csv_amounts", 20261220u, [](Generator& g) { return MakeAmounts(Plain::kCsv, g); }},
                      Case{"dif_amounts", 20261221u, [](Generator& g) { return MakeAmounts(Plain::kDif, g); }},
                      Case{"fixed_amounts", 20261222u, [](Generator& g) { return MakeAmounts(Plain::kFixed, g); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephrin
