#include "platform/profile.h"

#include <algorithm>
#include <unordered_set>

#include "platform/atomic_file.h"
#include "platform/errno_text.h"
#include "platform/file_read.h"
#include "platform/text.h"

namespace zephrin {

namespace {

constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kCr = "\r";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Temporary files of a save older than this were left by a save that died.
constexpr long kStaleTempSeconds = 60;
// The largest profile file read.
constexpr std::size_t kMaxProfileBytes = std::size_t{64} << 20;

// Name comparison of the profile functions: ASCII case ignored, surrounding
// blanks of the name asked for ignored (the stored name is trimmed already).
bool SameName(std::string_view stored, std::string_view wanted) { return EqualsIgnoringCase(stored, Trim(wanted)); }

// A value as a profile-string read gives it: "" when absent, cut to
// kProfileValueMax characters.
std::string ProfileValue(std::optional<std::string_view> value) {
  if (!value) return std::string();
  return std::string(value->substr(0, kProfileValueMax));
}

}  // namespace

std::size_t ProfileNameHash::operator()(std::string_view name) const {
  // FNV-1a over the lower-cased bytes.
  std::size_t h = 14695981039346656037ull;
  for (char c : name) {
    h ^= static_cast<unsigned char>(AsciiLower(c));
    h *= 1099511628211ull;
  }
  return h;
}

bool ProfileNameEqual::operator()(std::string_view a, std::string_view b) const { return EqualsIgnoringCase(a, b); }

ProfileDocument::Line ProfileDocument::MakeLine(std::string text, std::string_view eol) {
  Line line;
  line.text = std::move(text);
  line.eol = eol;
  std::string_view t = line.text;
  std::size_t p = 0;
  while (p < t.size() && IsBlank(t[p])) ++p;
  if (p == t.size() || t[p] == ';') return line;  // blank line or comment

  if (t[p] == '[') {
    // The name runs to the last "]" of the line (to its end when there is none).
    std::size_t close = t.rfind(']');
    std::size_t end = (close == std::string_view::npos || close <= p) ? t.size() : close;
    std::size_t b = p + 1;
    while (b < end && IsBlank(t[b])) ++b;
    while (end > b && IsBlank(t[end - 1])) --end;
    line.kind = Kind::Section;
    line.nameBegin = b;
    line.nameEnd = end;
    return line;
  }

  line.kind = Kind::Entry;
  std::size_t eq = t.find('=', p);
  std::size_t keyEnd = eq == std::string_view::npos ? t.size() : eq;
  while (keyEnd > p && IsBlank(t[keyEnd - 1])) --keyEnd;
  line.nameBegin = p;
  line.nameEnd = keyEnd;
  if (eq == std::string_view::npos) {
    line.valueBegin = line.valueEnd = t.size();
  } else {
    std::size_t vb = eq + 1, ve = t.size();
    while (vb < ve && IsBlank(t[vb])) ++vb;
    while (ve > vb && IsBlank(t[ve - 1])) --ve;
    line.valueBegin = vb;
    line.valueEnd = ve;
  }
  return line;
}

ProfileDocument ProfileDocument::Parse(std::string_view text) {
  ProfileDocument doc;
  if (text.substr(0, kBom.size()) == kBom) {
    doc.m_bom = true;
    text.remove_prefix(kBom.size());
  }
  std::size_t firstLf = text.find('\n');
  doc.m_eol = (firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r') ? kCrlf : kLf;
  // A file whose lines all end in a carriage return alone (as old Mac
  // editors wrote them) is read line by line too, and written back so.
  const bool crOnly = firstLf == std::string_view::npos && text.find('\r') != std::string_view::npos;
  if (crOnly) doc.m_eol = kCr;

  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find(crOnly ? '\r' : '\n', pos);
    if (lf == std::string_view::npos) {
      doc.m_lines.push_back(MakeLine(std::string(text.substr(pos)), std::string_view()));
      break;
    }
    std::size_t end = lf;
    std::string_view eol = crOnly ? kCr : kLf;
    if (!crOnly && end > pos && text[end - 1] == '\r') {
      --end;
      eol = kCrlf;
    }
    doc.m_lines.push_back(MakeLine(std::string(text.substr(pos, end - pos)), eol));
    pos = lf + 1;
  }
  return doc;
}

Expected<ProfileDocument> ProfileDocument::Load(const std::string& path) {
  FileBytes content;
  FileReadFailure failure;
  OpenFile file;
  FileReadStatus status = OpenRegularFile(path, file, &failure);
  // Thousands of templates fill a few megabytes: a file far larger is no
  // store of them (a damaged or a wrong file), and reading it whole for every
  // lookup would cost each read seconds and gigabytes.
  if (status == FileReadStatus::kOk && file.size() > kMaxProfileBytes)
    return Error{ErrorCode::kTooLarge, "Cannot read " + path + ": it is larger than " +
                                           std::to_string(kMaxProfileBytes >> 20) + " MB, more than any store holds."};
  if (status == FileReadStatus::kOk) status = ReadRegularFile(file, content, /*map=*/false, &failure);
  if (status == FileReadStatus::kMissing) return ProfileDocument();  // no file yet: an empty profile
  if (status != FileReadStatus::kOk) {
    const int err = failure.systemError;
    return Error{err != 0 ? CodeOfErrno(err) : ErrorCode::kInvalid,
                 (failure.whileReading ? "Cannot read " : "Cannot open ") + path + ": " +
                     (err != 0 ? ErrnoText(err) : std::string(FileReadReason(status))) + ".",
                 err};
  }
  // UTF-16 text (as some editors save it) read as bytes would give no
  // section, and a write would add single-byte lines to it: refused instead.
  const std::string_view bytes = content.view();
  const std::string_view head = bytes.substr(0, 2);
  if (head == "\xFF\xFE" || head == "\xFE\xFF" || head == std::string_view("[\0", 2) ||
      head == std::string_view("\0[", 2))
    return Error{ErrorCode::kInvalid,
                 "Cannot read " + path + ": it is UTF-16 text, which a template store is not (save it as ANSI or UTF-8)."};
  return Parse(bytes);
}

std::size_t ProfileDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == Kind::Section && SameName(m_lines[i].name(), section)) return i;
  }
  return std::string::npos;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < m_lines.size() && m_lines[i].kind != Kind::Section) ++i;
  return i;
}

std::size_t ProfileDocument::FindKey(std::size_t header, std::string_view key) const {
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (m_lines[i].kind == Kind::Entry && SameName(m_lines[i].name(), key)) return i;
  }
  return std::string::npos;
}

std::optional<std::string_view> ProfileDocument::Find(std::string_view section, std::string_view key) const {
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::nullopt;
  std::size_t i = FindKey(header, key);
  if (i == std::string::npos) return std::nullopt;
  return m_lines[i].value();
}

std::string ProfileDocument::Get(std::string_view section, std::string_view key) const {
  return ProfileValue(Find(section, key));
}

bool ProfileDocument::HasSection(std::string_view section) const {
  return FindSection(section) != std::string::npos;
}

void ProfileDocument::InsertLine(std::size_t at, std::string text) {
  // The line before the new one gets a line end if it had none (last line).
  if (at > 0 && m_lines[at - 1].eol.empty()) m_lines[at - 1].eol = m_eol;
  std::string_view eol = m_eol;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), MakeLine(std::move(text), eol));
}

void ProfileDocument::ReplaceValue(Line& line, std::string_view value) {
  // The key stays as the file spells it; what follows the "=" is replaced.
  const std::string& old = line.text;
  const std::size_t eq = old.find('=', line.nameBegin);
  std::string entry = eq == std::string::npos ? old + "=" : old.substr(0, eq + 1);
  entry += value;
  line = MakeLine(std::move(entry), line.eol);
}

std::size_t ProfileDocument::AppendSection(std::string_view section) {
  std::string head;
  head.reserve(section.size() + 2);
  head += '[';
  head += section;
  head += ']';
  InsertLine(m_lines.size(), std::move(head));
  return m_lines.size() - 1;
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string entry;
  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    AppendSection(section);
    entry.append(key).append("=").append(value);
    InsertLine(m_lines.size(), std::move(entry));
    return;
  }
  std::size_t i = FindKey(header, key);
  if (i != std::string::npos) {
    ReplaceValue(m_lines[i], value);
    return;
  }
  // A new key goes after the last non-blank line of its section, so blank
  // lines that separate it from the next section stay where they are.
  std::size_t at = SectionEnd(header);
  while (at > header + 1 && Trim(m_lines[at - 1].text).empty()) --at;
  entry.append(key).append("=").append(value);
  InsertLine(at, std::move(entry));
}

bool ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return false;
  std::size_t i = FindKey(header, key);
  if (i == std::string::npos) return false;
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

bool ProfileDocument::DeleteSection(std::string_view section) {
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return false;
  std::size_t end = SectionEnd(header);
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                m_lines.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

void ProfileDocument::SetKeys(std::string_view section,
                              const std::vector<std::pair<std::string, std::string>>& entries) {
  if (entries.empty()) return;
  std::size_t header = FindSection(section);
  if (header == std::string::npos) header = AppendSection(section);
  const std::size_t end = SectionEnd(header);
  // The keys the section has (the first line of each name), and the lines
  // this call adds, which go where Set would put them one after the other.
  std::unordered_map<std::string_view, std::size_t, ProfileNameHash, ProfileNameEqual> existing;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (m_lines[i].kind == Kind::Entry) existing.emplace(m_lines[i].name(), i);
  }
  std::size_t at = end;
  while (at > header + 1 && Trim(m_lines[at - 1].text).empty()) --at;
  std::vector<Line> added;
  std::unordered_map<std::string, std::size_t, ProfileNameHash, ProfileNameEqual> addedIndex;
  for (const auto& [key, value] : entries) {
    const std::string_view wanted = Trim(key);
    if (auto it = existing.find(wanted); it != existing.end()) {
      ReplaceValue(m_lines[it->second], value);
    } else if (auto jt = addedIndex.find(wanted); jt != addedIndex.end()) {
      ReplaceValue(added[jt->second], value);
    } else {
      std::string entry;
      entry.reserve(key.size() + 1 + value.size());
      entry.append(key).append("=").append(value);
      added.push_back(MakeLine(std::move(entry), m_eol));
      addedIndex.emplace(std::string(added.back().name()), added.size() - 1);
    }
  }
  if (added.empty()) return;
  if (at > 0 && m_lines[at - 1].eol.empty()) m_lines[at - 1].eol = m_eol;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
}

std::size_t ProfileDocument::DeleteKeys(std::string_view section, const std::vector<std::string>& keys) {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos || keys.empty()) return 0;
  std::unordered_set<std::string_view, ProfileNameHash, ProfileNameEqual> names;
  for (const std::string& key : keys) names.insert(Trim(key));
  const std::size_t end = SectionEnd(header);
  std::size_t out = header + 1;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (m_lines[i].kind == Kind::Entry && names.contains(m_lines[i].name())) continue;
    if (out != i) m_lines[out] = std::move(m_lines[i]);
    ++out;
  }
  const std::size_t removed = end - out;
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(out),
                m_lines.begin() + static_cast<std::ptrdiff_t>(end));
  return removed;
}

bool ProfileDocument::DeleteSections(const std::vector<std::string>& sections) {
  if (sections.empty()) return false;
  std::unordered_set<std::string_view, ProfileNameHash, ProfileNameEqual> names;
  for (const std::string& section : sections) names.insert(Trim(section));
  bool dropping = false;  // inside a section that goes
  bool any = false;
  std::size_t out = 0;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == Kind::Section) {
      dropping = names.contains(m_lines[i].name());
      any = any || dropping;
    }
    if (dropping) continue;
    if (out != i) m_lines[out] = std::move(m_lines[i]);
    ++out;
  }
  m_lines.resize(out);
  return any;
}

void ProfileDocument::Write(std::string_view section, std::optional<std::string_view> key,
                            std::optional<std::string_view> value, bool upperCase) {
  if (!key) {
    DeleteSection(section);
  } else if (!value) {
    DeleteKey(section, *key);
  } else if (upperCase) {
    Set(section, *key, UpperAscii(*value));
  } else {
    Set(section, *key, *value);
  }
}

std::string ProfileDocument::Serialise() const {
  std::size_t size = m_bom ? kBom.size() : 0;
  for (const Line& line : m_lines) size += line.text.size() + line.eol.size();
  std::string out;
  out.reserve(size);
  if (m_bom) out += kBom;
  for (const Line& line : m_lines) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

// ---- ProfileView ----------------------------------------------------------------

namespace {
// Sections with more entries than this get an index of their keys.
constexpr std::size_t kIndexedSection = 16;
}  // namespace

ProfileView::ProfileView(const ProfileDocument& doc) : m_doc(doc) {
  const auto& lines = doc.m_lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != ProfileDocument::Kind::Section) continue;
    if (!m_sections.empty()) m_sections.back().end = i;
    // Only the first section of a name is ever found.
    m_sectionIndex.emplace(lines[i].name(), m_sections.size());
    m_sections.push_back(Section{i, lines.size(), std::nullopt});
  }
  for (auto& [name, slot] : m_sectionIndex) {
    Section& s = m_sections[slot];
    if (s.end - s.header - 1 <= kIndexedSection) continue;
    s.keys.emplace();
    s.keys->reserve(s.end - s.header - 1);
    for (std::size_t i = s.header + 1; i < s.end; ++i) {
      if (lines[i].kind == ProfileDocument::Kind::Entry) s.keys->emplace(lines[i].name(), i);
    }
  }
}

std::optional<std::string_view> ProfileView::Find(std::string_view section, std::string_view key) const {
  const auto it = m_sectionIndex.find(Trim(section));
  if (it == m_sectionIndex.end()) return std::nullopt;
  const Section& s = m_sections[it->second];
  const auto& lines = m_doc.m_lines;
  key = Trim(key);
  if (s.keys) {
    const auto k = s.keys->find(key);
    if (k == s.keys->end()) return std::nullopt;
    return lines[k->second].value();
  }
  for (std::size_t i = s.header + 1; i < s.end; ++i) {
    if (lines[i].kind == ProfileDocument::Kind::Entry && SameName(lines[i].name(), key)) return lines[i].value();
  }
  return std::nullopt;
}

std::string ProfileView::Get(std::string_view section, std::string_view key) const {
  return ProfileValue(Find(section, key));
}

bool ProfileView::HasSection(std::string_view section) const {
  return m_sectionIndex.contains(Trim(section));
}

bool ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string& out) {
  out.clear();
  if (path.empty()) return false;
  const Expected<ProfileDocument> doc = ProfileDocument::Load(path);
  if (!doc) return false;
  out = doc->Get(section, key);
  return !out.empty();
}

Done CheckProfileTexts(std::string_view section, std::optional<std::string_view> key,
                       std::optional<std::string_view> value) {
  auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  auto refuse = [](const char* why) { return Error{ErrorCode::kInvalid, why}; };
  // A name with a control character (a NUL, an escape; a tab aside) cannot be
  // typed again to read or delete what it names, and a NUL cuts it short.
  auto hasControl = [](std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
  };
  if (hasBreak(section)) return refuse("The section name contains a line break.");
  if (hasControl(section)) return refuse("The section name contains a control character.");
  if (key) {
    if (hasBreak(*key)) return refuse("The key name contains a line break.");
    if (hasControl(*key)) return refuse("The key name contains a control character.");
    if (key->find('=') != std::string_view::npos) return refuse("The key name contains \"=\".");
    std::string_view k = Trim(*key);
    if (!k.empty() && (k.front() == '[' || k.front() == ';')) return refuse("The key name begins with \"[\" or \";\".");
  }
  if (value && hasBreak(*value)) return refuse("The value contains a line break.");
  if (value && value->find('\0') != std::string_view::npos) return refuse("The value contains a NUL character.");
  return {};
}

Done UpdateProfileFile(const std::string& path, const std::function<void(ProfileDocument&)>& edit) {
  const Expected<FileLock> lock = FileLock::ForFile(path);
  if (!lock) return lock.error();
  // A save killed before its rename left its temporary file; no save of this
  // file runs while the lock is held, and a minute keeps clear of any writer
  // that does not take it.
  RemoveStaleTempFiles(path, kStaleTempSeconds);
  Expected<ProfileDocument> doc = ProfileDocument::Load(path);
  if (!doc) return doc.TakeError();
  // Parsing keeps every byte, so the serialised form of the untouched
  // document is the file as it was: compare to skip writes that change nothing.
  const std::string before = doc->Serialise();
  edit(*doc);
  const std::string after = doc->Serialise();
  if (after == before) return {};
  return WriteFileAtomically(path, after);
}

Done WriteProfileString(const std::string& path, std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value, bool upperCase) {
  if (Done fit = CheckProfileTexts(section, key, value); !fit) return fit;
  return UpdateProfileFile(path, [&](ProfileDocument& doc) { doc.Write(section, key, value, upperCase); });
}

}  // namespace zephrin
