// Text handling of the jurisdiction readers: loading a data file, its lines,
// the splitting of comma-separated lines into cells and a small streaming XML
// writer.
//
// Lines follow the plain readers' text-mode rules (a carriage return before a
// line feed is dropped, a Ctrl-Z ends the file, a NUL ends a line's text); the
// one difference is the line buffer: comma-separated lines arrive in pieces of
// at most 1399 characters and DIF lines in pieces of at most 259, so the limit
// is a parameter here.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "readers/data_file.h"
#include "readers/line_source.h"
#include "readers/csv_fields.h"

namespace zephrin {

inline constexpr std::size_t kJurCsvLineChars = 1399;
inline constexpr std::size_t kJurDifLineChars = 259;

// Loads a data file as engine text (Windows-1252, Ctrl-Z cut, carriage returns
// before line feeds dropped); `rawSize` gets the size of the file on disk.
[[nodiscard]] LoadStatus LoadJurisdictionSource(const std::string& osPath, std::string& text, std::size_t& rawSize);

class JurLineSource {
 public:
  // Reads `text` from byte `start` on, in pieces of at most `limit` characters.
  JurLineSource(std::string_view text, std::size_t limit, std::size_t start = 0)
      : m_text(text), m_limit(limit), m_pos(start < text.size() ? start : text.size()) {}

  // The next line without its line end; false at the end of the text.
  // `hadLineEnd` tells whether a line feed ended it.
  bool Next(std::string_view& line, bool& hadLineEnd);
  bool Next(std::string_view& line) {
    bool end = false;
    return Next(line, end);
  }
  std::size_t offset() const { return m_pos; }

 private:
  std::string_view m_text;
  std::size_t m_limit;
  std::size_t m_pos;
};

// True for a byte the readers take as a blank once characters below 32 are
// replaced: a control character, a byte of 0x80 and above, or a space.
inline bool IsBlankOrControl(char c) { return static_cast<signed char>(c) <= 32; }

// Splits one line of a comma-separated jurisdiction file into cells.
//
// A double quote toggles an in-quotes state (which starts off on every line);
// a cell ends at a comma outside quotes or at the line's last character, where
// it runs to the end of the line, except that a comma there outside quotes is
// not part of it. A line read with its line end has that line end as its last
// character, so "a,b,\n" gives three cells, the last one empty.
//
// With `replaceControls` every byte whose signed value is below 32 becomes a
// blank, in place. `cell(index, text)` is called for each cell with its text
// untrimmed; it returns false to stop the split. Returns the number of cells.
template <class CellFn>
int SplitCells(char* line, std::size_t n, bool hadLineEnd, bool replaceControls, CellFn&& cell) {
  bool inQuotes = false;
  int index = 0;
  std::size_t start = 0;
  // Without a line end the line's own last character closes the last cell.
  const std::size_t scanEnd = hadLineEnd || n == 0 ? n : n - 1;
  for (std::size_t i = 0; i < scanEnd; ++i) {
    // Plain characters (the plain CSV reader's class) change nothing here.
    i = csv_detail::SkipPlain(line, i, scanEnd);
    if (i == scanEnd) break;
    char& c = line[i];
    if (replaceControls && static_cast<signed char>(c) < 32) c = ' ';
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (c == ',' && !inQuotes) {
      if (!cell(index++, std::string_view(line + start, i - start))) return index;
      start = i + 1;
    }
  }
  if (hadLineEnd) {
    cell(index++, std::string_view(line + start, n - start));
  } else if (n > 0) {
    char& c = line[n - 1];
    if (replaceControls && static_cast<signed char>(c) < 32) c = ' ';
    if (c == '"') inQuotes = !inQuotes;
    const std::size_t end = c == ',' && !inQuotes ? n - 1 : n;
    cell(index++, std::string_view(line + start, end - start));
  }
  return index;
}

// Lower-cases ASCII letters of `text` into `out` (reusing its storage).
void AssignLower(std::string& out, std::string_view text);
// The jurisdiction key of a text: lower-cased, trailing blanks removed, and
// "0" made "00000000".
void AssignJurisdictionKey(std::string& out, std::string_view text);

// The engine's escaping of element text ("&" -> "&amp;", "<" -> "&lt;",
// ">" -> "&gt;"), appended to `out`.
void AppendEngineEscaped(std::string& out, std::string_view text);

// A streaming XML writer with the serialisation of the result documents: no
// declaration, double-quoted attributes, <name/> for an empty element, nothing
// between elements. Input is engine text; the output is UTF-8.
class XmlStream {
 public:
  explicit XmlStream(std::string& out) : m_out(out) {}

  // Starts an element; `name` must stay valid until its End.
  void Start(std::string_view name);
  void Attr(std::string_view name, std::string_view value);
  // Element text. With `engineEscape` the engine's escaping is applied first,
  // so the document carries the text the way the host's DOM would serialise
  // an escaped value. Empty text adds nothing.
  void Text(std::string_view text, bool engineEscape);
  void End();
  // Prepared XML (serialised already) appended as the next child.
  void Raw(std::string_view xml);
  // The output, for a prepared element written straight into it: the hot
  // path of the readers, one JUR element per amount.
  std::string& Direct() {
    CloseTag();
    return m_out;
  }
  int depth() const { return m_depth; }
  // Closes every open element.
  void EndAll() {
    while (m_depth > 0) End();
  }

 private:
  void CloseTag() {
    if (m_tagOpen) {
      m_out.push_back('>');
      m_tagOpen = false;
    }
  }
  std::string& m_out;
  std::array<std::string_view, 8> m_stack{};
  int m_depth = 0;
  bool m_tagOpen = false;
  std::string m_scratch;
};

}  // namespace zephrin
