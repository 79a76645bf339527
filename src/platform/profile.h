// Profile (INI) files: an in-memory document that is loaded once, queried and
// edited, and written back once, with the usual profile-string rules:
//   - section and key names compare without regard to ASCII case, and with
//     their surrounding blanks ignored;
//   - a missing file, section or key reads as absent;
//   - writing a key creates the section (appended at the end of the file) and
//     the key (appended at the end of its section); an existing key's value is
//     replaced in place, every other line staying as it was;
//   - deleting a key removes its line; deleting a section removes its header
//     and every line up to the next section header.
// Line ends (LF or CRLF) of an existing file are kept; new lines take the style
// of the file's first line end, and a new file is written with LF.
//
// Texts are 8-bit (Windows-1252 in the template store); nothing is converted.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/expected.h"

namespace zephrin {

// Values come back cut to this many characters, as from a 260-character buffer.
inline constexpr std::size_t kProfileValueMax = 259;

// Section and key names as hash keys: ASCII case ignored. The names hashed
// and compared are trimmed already.
struct ProfileNameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const;
};
struct ProfileNameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

class ProfileView;

class ProfileDocument {
 public:
  ProfileDocument() = default;

  // Parses file content. Never fails: lines that are neither section headers
  // nor "key=value" are kept and take part as keys without a value.
  static ProfileDocument Parse(std::string_view text);

  // Loads a file. A missing file gives an empty document; any other failure
  // to read is an error ("Cannot open PATH: why." or "Cannot read PATH: why.").
  [[nodiscard]] static Expected<ProfileDocument> Load(const std::string& path);

  // The value of a key, whole and with its surrounding blanks removed; nullopt
  // when the section or key is absent.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  // The value as a profile-string read gives it: "" when absent, cut to
  // kProfileValueMax characters.
  std::string Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;

  // Sets a key's value, creating the section and key when missing.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes the first key of that name in the section; false when absent.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes the first section of that name; false when absent.
  bool DeleteSection(std::string_view section);

  // Edits of many names at once, each one pass over the document whatever
  // the number of names; the outcome is that of the single edits in turn.
  // Set for every entry in order (keys must pass CheckProfileTexts).
  void SetKeys(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);
  // Removes every key of these names from the first section of that name
  // (DeleteKey until it finds none, for each name); the number of lines removed.
  std::size_t DeleteKeys(std::string_view section, const std::vector<std::string>& keys);
  // Removes every section of these names (DeleteSection until it finds none,
  // for each name); true when any was there.
  bool DeleteSections(const std::vector<std::string>& sections);

  // The profile-string write: no key deletes the section, no value deletes
  // the key, else the value (ASCII upper-cased when asked) is set.
  void Write(std::string_view section, std::optional<std::string_view> key,
             std::optional<std::string_view> value, bool upperCase);

  std::string Serialise() const;
  bool usesCrlf() const { return m_eol == "\r\n"; }

 private:
  enum class Kind { Other, Section, Entry };
  struct Line {
    std::string text;   // without its line end
    std::string_view eol;  // "", "\n" or "\r\n" (static storage)
    Kind kind = Kind::Other;
    // Section: the name; Entry: the key and the value span in `text`.
    std::size_t nameBegin = 0, nameEnd = 0;
    std::size_t valueBegin = 0, valueEnd = 0;
    std::string_view name() const { return std::string_view(text).substr(nameBegin, nameEnd - nameBegin); }
    std::string_view value() const { return std::string_view(text).substr(valueBegin, valueEnd - valueBegin); }
  };

  static Line MakeLine(std::string text, std::string_view eol);
  // Gives an entry line a new value.
  static void ReplaceValue(Line& line, std::string_view value);
  // Index of the section header, or npos.
  std::size_t FindSection(std::string_view section) const;
  // One past the last line of the section that starts at `header`.
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  void InsertLine(std::size_t at, std::string text);
  // Adds the header of a new section at the end; its line's index.
  std::size_t AppendSection(std::string_view section);

  std::vector<Line> m_lines;
  bool m_bom = false;           // a UTF-8 byte order mark before the first line
  std::string_view m_eol = "\n";

  friend class ProfileView;
};

// A read-only index of a document, made in one pass over it: each lookup
// then costs the same however large the file is, so that an operation on the
// whole store (listing every template, reading a numbered list of thousands
// of entries) reads the file once and scans it once. Lookups answer exactly
// as the document's own (the first section of a name, the first key of a
// name in it). The document must outlive the view and stay unchanged while
// the view is in use.
class ProfileView {
 public:
  explicit ProfileView(const ProfileDocument& doc);
  ProfileView(const ProfileView&) = delete;
  ProfileView& operator=(const ProfileView&) = delete;

  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  std::string Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;

 private:
  using NameIndex = std::unordered_map<std::string_view, std::size_t, ProfileNameHash, ProfileNameEqual>;
  struct Section {
    std::size_t header = 0;  // line of the header
    std::size_t end = 0;     // one past its last line
    // Key name -> line, for sections long enough to be worth it; shorter
    // sections are scanned.
    std::optional<NameIndex> keys;
  };
  const ProfileDocument& m_doc;
  NameIndex m_sectionIndex;        // name -> position in m_sections (first of the name)
  std::vector<Section> m_sections;
};

// Reads a value as a profile-string read does: `out` becomes the value cut to
// kProfileValueMax characters, "" when the file, section or key is absent.
// Returns true when the value is not empty.
bool ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string& out);

// One locked read-modify-write of a profile file: takes the advisory lock
// next to the file, loads it, lets `edit` change the document, and writes the
// file atomically when its content changed. The file's folder must exist.
[[nodiscard]] Done UpdateProfileFile(const std::string& path, const std::function<void(ProfileDocument&)>& edit);

// The profile-string write as one locked, atomic change of the file.
[[nodiscard]] Done WriteProfileString(const std::string& path, std::string_view section,
                                      std::optional<std::string_view> key, std::optional<std::string_view> value,
                                      bool upperCase);

// Names and values that would break the line structure of the file (line
// breaks anywhere, "=" or a leading "[" or ";" in a key, "]" is allowed in a
// section name) are refused by the writers (kInvalid, with the reason).
[[nodiscard]] Done CheckProfileTexts(std::string_view section, std::optional<std::string_view> key,
                                     std::optional<std::string_view> value);

}  // namespace zephrin
