#include "result/result_document.h"

#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/codepage.h"
#include "platform/memory.h"

namespace zephrin {
namespace {

// Byte classes of the serialiser.
enum : uint8_t { kPlain = 0, kAmp, kLt, kGt, kQuote, kForbidden, kHigh, kWhite };

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 32; ++c) t[c] = kForbidden;
  t['\t'] = t['\n'] = t['\r'] = kWhite;
  t['&'] = kAmp;
  t['<'] = kLt;
  t['>'] = kGt;
  t['"'] = kQuote;
  for (int c = 0x80; c < 256; ++c) t[c] = kHigh;
  return t;
}
constexpr std::array<uint8_t, 256> kClasses = MakeClasses();


// The first byte in [p, end) that the serialiser must look at (not of the
// plain class), or `end`.
inline const char* SkipPlain(const char* p, const char* end) {
#ifdef __SSE2__
  // Sixteen bytes at a time: "&", "<", ">", a quote, or a byte below " "
  // (signed, the bytes of 0x80 and above are below it too). DEL (0x7F) is
  // plain.
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i space = _mm_set1_epi8(' ');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)),
                                     _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, quote)),
                                                  _mm_cmplt_epi8(v, space)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && kClasses[static_cast<unsigned char>(*p)] == kPlain) ++p;
  return p;
}

// memcpy for the short names and values of a record: fixed-size moves that
// overlap instead of a library call (a call costs more than the copy).
inline char* Copy(char* out, const char* in, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::memcpy(out, in, 8);
    std::memcpy(out + n - 8, in + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(out, in, 4);
    std::memcpy(out + n - 4, in + n - 4, 4);
  } else if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
  } else {
    std::memcpy(out, in, n);
  }
  return out + n;
}

// Appends text, escaped for XML, and (with `engineEscape`) with the engine's
// own EscapeXmlText applied first, in one pass.
void AppendEscaped(std::string& out, std::string_view text, bool attribute, bool engineEscape) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    p = SkipPlain(p, end);
    if (p != run) out.append(run, static_cast<std::size_t>(p - run));
    if (p == end) break;
    const auto c = static_cast<unsigned char>(*p++);
    switch (kClasses[c]) {
      case kAmp: out.append(engineEscape ? "&amp;amp;" : "&amp;"); break;
      case kLt: out.append(engineEscape ? "&amp;lt;" : "&lt;"); break;
      case kGt:
        if (engineEscape) out.append("&amp;gt;");
        else if (attribute) out.push_back('>');
        else out.append("&gt;");
        break;
      case kQuote:
        if (attribute) out.append("&quot;");
        else out.push_back('"');
        break;
      case kForbidden: out.push_back(' '); break;
      case kWhite:
        if (!attribute) out.push_back(static_cast<char>(c));
        else if (c == '\t') out.append("&#9;");
        else if (c == '\n') out.append("&#10;");
        else out.append("&#13;");
        break;
      case kHigh: AppendAnsiCharAsUtf8(out, c); break;
      default: out.push_back(static_cast<char>(c)); break;
    }
  }
}

// The same as AppendEscaped for text, written through a pointer into room
// the caller made, up to `limit`. Returns nullptr when the text needs more
// room than there is (only values dense with "&", "<" and ">" do).
char* EscapeTextInto(char* out, char* limit, std::string_view text, bool engineEscape) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    p = SkipPlain(p, end);
    if (p != run) {
      if (limit - out < p - run) return nullptr;
      out = Copy(out, run, static_cast<std::size_t>(p - run));
    }
    if (p == end) break;
    if (limit - out < 9) return nullptr;
    const auto c = static_cast<unsigned char>(*p++);
    const auto put = [&out](std::string_view s) {
      std::memcpy(out, s.data(), s.size());
      out += s.size();
    };
    switch (kClasses[c]) {
      case kAmp: put(engineEscape ? "&amp;amp;" : "&amp;"); break;
      case kLt: put(engineEscape ? "&amp;lt;" : "&lt;"); break;
      case kGt: put(engineEscape ? "&amp;gt;" : "&gt;"); break;
      case kForbidden: *out++ = ' '; break;
      case kHigh: {
        std::string utf8;
        AppendAnsiCharAsUtf8(utf8, c);
        put(utf8);
        break;
      }
      default: *out++ = static_cast<char>(c); break;  // quote, tab, line feed, carriage return
    }
  }
  return out;
}


}  // namespace

std::string EscapeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '&') out.append("&amp;");
    else if (c == '<') out.append("&lt;");
    else if (c == '>') out.append("&gt;");
    else out.push_back(c);
  }
  return out;
}

void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute) {
  AppendEscaped(out, text, attribute, false);
}

ResultDocument::ResultDocument() { m_stack.reserve(8); }

void ResultDocument::NoteBadName(std::string_view name) {
  if (m_badName.empty()) m_badName = name.empty() ? std::string("(empty)") : std::string(name);
}

void ResultDocument::Splice(std::size_t pos, std::size_t removeLen, std::string_view insert) {
  m_out.replace(pos, removeLen, insert.data(), insert.size());
  const auto delta = static_cast<std::ptrdiff_t>(insert.size()) - static_cast<std::ptrdiff_t>(removeLen);
  const auto move = [&](std::size_t& offset) {
    if (offset > pos) offset = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) + delta);
  };
  for (Element& e : m_stack) {
    move(e.tagStart);
    move(e.tagEnd);
  }
  if (m_data.present) {
    move(m_data.tagStart);
    move(m_data.tagEnd);
    move(m_data.textStart);
    move(m_data.textEnd);
  }
  if (m_acctClosed) move(m_acctClosePos);
}

void ResultDocument::StartElement(std::string_view name) {
  CheckName(name);
  Element e;
  e.tagStart = m_out.size();
  m_out.push_back('<');
  m_out.append(name);
  e.tagEnd = m_out.size();
  e.nameLen = static_cast<uint32_t>(name.size());
  m_stack.push_back(e);
}

void ResultDocument::OpenContent(std::size_t depth) {
  Element& e = m_stack[depth];
  if (e.closedTag) return;
  m_out.push_back('>');
  e.closedTag = true;
}

void ResultDocument::CloseAbove(std::size_t depth) {
  while (m_stack.size() > depth + 1) {
    const Element e = m_stack.back();
    const bool acct = m_acctDepth != 0 && m_stack.size() - 1 == m_acctDepth;
    m_stack.pop_back();
    if (!e.closedTag) {
      if (acct) {
        m_acctClosed = true;
        m_acctClosePos = m_out.size();
        m_acctSelfClosed = true;
      }
      m_out.append("/>");
    } else {
      if (acct) {
        m_acctClosed = true;
        m_acctClosePos = m_out.size();
        m_acctSelfClosed = false;
      }
      m_out.append("</");
      m_out.append(m_out, e.tagStart + 1, e.nameLen);
      m_out.push_back('>');
    }
    if (acct) m_acctDepth = 0;
  }
}

void ResultDocument::AddData(std::string_view name) {
  CheckName(name);
  m_data = DataElement{};
  m_data.present = true;
  m_data.tagStart = m_out.size();
  m_out.push_back('<');
  m_out.append(name);
  m_data.tagEnd = m_out.size();
  m_data.nameLen = static_cast<uint32_t>(name.size());
  m_out.append("/>");
}

std::size_t ResultDocument::TagNameLength(std::size_t tagStart) const {
  std::size_t i = tagStart + 1;
  while (i < m_out.size() && m_out[i] != ' ' && m_out[i] != '>' && m_out[i] != '/') ++i;
  return i - tagStart - 1;
}

void ResultDocument::SetAttribute(std::size_t tagStart, std::size_t& tagEnd, std::string_view name,
                                  std::string_view value) {
  CheckName(name);
  if (tagEnd == m_out.size() && tagEnd == tagStart + 1 + TagNameLength(tagStart)) {
    // The usual case: the first attribute of the tag just written.
    m_out.push_back(' ');
    m_out.append(name);
    m_out.append("=\"");
    AppendEscaped(m_out, value, true, false);
    m_out.push_back('"');
    tagEnd = m_out.size();
    return;
  }
  m_scratch.clear();
  AppendEscaped(m_scratch, value, true, false);
  // An attribute already there gets its value replaced. Values hold no raw
  // quote, so ` name="` only ever matches an attribute.
  std::string key;
  key.reserve(name.size() + 3);
  key.push_back(' ');
  key.append(name);
  key.append("=\"");
  const std::string_view tag = std::string_view(m_out).substr(tagStart, tagEnd - tagStart);
  const std::size_t found = tag.find(key);
  if (found != std::string_view::npos) {
    const std::size_t valueStart = tagStart + found + key.size();
    const std::size_t valueEnd = m_out.find('"', valueStart);
    const std::string value2 = m_scratch;
    Splice(valueStart, valueEnd - valueStart, value2);
    return;
  }
  std::string text = std::move(key);
  text.append(m_scratch);
  text.push_back('"');
  if (tagEnd == m_out.size()) {
    m_out.append(text);
  } else {
    Splice(tagEnd, 0, text);
  }
  tagEnd += text.size();
}

int ResultDocument::InitXML(std::string_view rootName) {
  if (!m_exists) return 1;
  m_out.clear();
  m_stack.clear();
  m_data = DataElement{};
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_records = 0;
  m_badName.clear();
  m_hasRoot = true;
  StartElement(rootName);
  return 0;
}

void ResultDocument::SetRootAttribute(std::string_view name, std::string_view value) {
  if (!m_hasRoot) return;
  SetAttribute(m_stack[0].tagStart, m_stack[0].tagEnd, name, value);
}

void ResultDocument::AddMajorNode(std::string_view name) {
  if (!m_hasRoot) return;
  CloseAbove(0);
  OpenContent(0);
  // A new record starts with no current data element or account list.
  m_data = DataElement{};
  m_acctDepth = 0;
  m_acctClosed = false;
  StartElement(name);
  m_current = m_stack.size() - 1;
  ++m_records;
}

void ResultDocument::SetMajorNodeAttribute(std::string_view name, std::string_view value) {
  if (m_current == 0) return;
  Element& e = m_stack[m_current];
  SetAttribute(e.tagStart, e.tagEnd, name, value);
}

void ResultDocument::AddDataNode(std::string_view name) {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  AddData(name);
}

void ResultDocument::WriteText(std::string_view text, bool engineEscape) {
  if (!m_data.present) return;
  DataElement& d = m_data;
  const std::size_t closeLen = d.nameLen + 3;
  const std::size_t end = d.hasText ? d.textEnd + closeLen : d.tagEnd + 2;
  if (end == m_out.size()) {
    // The usual case: the element is the last thing written.
    m_out.resize(d.tagEnd);
    m_out.push_back('>');
    d.textStart = m_out.size();
    AppendEscaped(m_out, text, false, engineEscape);
    d.textEnd = m_out.size();
    if (d.textEnd == d.textStart) {
      m_out.resize(d.tagEnd);
      m_out.append("/>");
      d.hasText = false;
      return;
    }
    m_out.append("</");
    m_out.append(m_out, d.tagStart + 1, d.nameLen);
    m_out.push_back('>');
    d.hasText = true;
    return;
  }
  // The element lies before others (an account list took it late).
  std::string escaped;
  AppendEscaped(escaped, text, false, engineEscape);
  std::string replacement;
  if (escaped.empty()) {
    replacement = "/>";
  } else {
    replacement.push_back('>');
    replacement.append(escaped);
    replacement.append("</");
    replacement.append(m_out, d.tagStart + 1, d.nameLen);
    replacement.push_back('>');
  }
  const std::size_t tagEnd = d.tagEnd;
  Splice(tagEnd, end - tagEnd, replacement);
  d.hasText = !escaped.empty();
  d.textStart = tagEnd + 1;
  d.textEnd = d.textStart + escaped.size();
}

void ResultDocument::WriteDataNode(std::string_view text) { WriteText(text, false); }

void ResultDocument::AddEscapedDataNode(std::string_view name, std::string_view text) {
  if (m_current == 0) return;
  if (m_stack.size() > m_current + 1) CloseAbove(m_current);
  if (!m_stack[m_current].closedTag) OpenContent(m_current);
  CheckName(name);
  // The hot path of every read: make room once, then write through a pointer.
  // Room: the tags, three bytes for each text byte (plain bytes take one,
  // bytes of 0x80 and above up to three in UTF-8) and one more entity; the
  // rare value that needs more is written again with room for the worst case.
  const std::size_t start = m_out.size();
  std::size_t room = 2 * name.size() + 17 + 3 * text.size();
  for (;;) {
    m_out.resize(start + room);
    if (WriteEscapedElement(start, name, text)) return;
    room = 2 * name.size() + 8 + 9 * text.size();
  }
}

bool ResultDocument::WriteEscapedElement(std::size_t start, std::string_view name, std::string_view text) {
  char* const base = m_out.data();
  char* const limit = base + m_out.size();
  char* p = base + start;
  *p++ = '<';
  p = Copy(p, name.data(), name.size());
  DataElement& d = m_data;
  d = DataElement{};
  d.present = true;
  d.tagStart = start;
  d.tagEnd = static_cast<std::size_t>(p - base);
  d.nameLen = static_cast<uint32_t>(name.size());
  *p++ = '>';
  d.textStart = static_cast<std::size_t>(p - base);
  p = EscapeTextInto(p, limit - name.size() - 3, text, true);
  if (!p) return false;
  d.textEnd = static_cast<std::size_t>(p - base);
  if (d.textEnd == d.textStart) {
    p = base + d.tagEnd;
    *p++ = '/';
    *p++ = '>';
  } else {
    d.hasText = true;
    *p++ = '<';
    *p++ = '/';
    p = Copy(p, name.data(), name.size());
    *p++ = '>';
  }
  m_out.resize(static_cast<std::size_t>(p - base));
  return true;
}

void ResultDocument::Reserve(std::size_t bytes) {
  m_out.reserve(bytes);
  AdviseHugePages(m_out.data(), m_out.capacity());
}

void ResultDocument::WriteDataNodeEscaped(std::string_view text) { WriteText(text, true); }

void ResultDocument::SetDataNodeAttribute(std::string_view name, std::string_view value) {
  if (m_data.present) SetAttribute(m_data.tagStart, m_data.tagEnd, name, value);
}

void ResultDocument::AddMajorChild(std::string_view name) {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  StartElement(name);
  m_current = m_stack.size() - 1;
}

void ResultDocument::AddAcctRoot() {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  StartElement("Acct");
  m_acctDepth = m_stack.size() - 1;
  m_acctClosed = false;
}

int ResultDocument::AddAcctNode(std::string_view name) {
  if (m_acctDepth != 0) {
    CloseAbove(m_acctDepth);
    OpenContent(m_acctDepth);
    AddData(name);
    return kAcctOk;
  }
  if (!m_acctClosed) return kAcctNoRoot;
  // The account list was closed by a later sibling: the element goes in at
  // its end, where a document would append it.
  CheckName(name);
  std::string element = "<";
  element.append(name);
  const std::size_t tagLen = element.size();
  element.append("/>");
  const std::size_t pos = m_acctClosePos;
  std::size_t at = pos;
  if (m_acctSelfClosed) {
    std::string text = ">" + element + "</Acct>";
    Splice(pos, 2, text);
    at = pos + 1;
    m_acctSelfClosed = false;
  } else {
    Splice(pos, 0, element);
  }
  m_acctClosePos = at + element.size();
  m_data = DataElement{};
  m_data.present = true;
  m_data.tagStart = at;
  m_data.tagEnd = at + tagLen;
  m_data.nameLen = static_cast<uint32_t>(name.size());
  return kAcctOk;
}

void ResultDocument::CloseAllInto(std::string& out, bool) {
  for (std::size_t i = m_stack.size(); i-- > 0;) {
    const Element& e = m_stack[i];
    if (!e.closedTag) {
      out.append("/>");
    } else {
      out.append("</");
      out.append(m_out, e.tagStart + 1, e.nameLen);
      out.push_back('>');
    }
  }
}

std::string ResultDocument::GetXML() {
  if (!m_hasRoot) return {};
  std::string result = m_out;
  CloseAllInto(result, false);
  return result;
}

std::string ResultDocument::TakeXML() {
  if (!m_hasRoot) return {};
  std::string tail;
  CloseAllInto(tail, true);
  m_out.append(tail);
  std::string result = std::move(m_out);
  m_out = std::string();
  m_stack.clear();
  m_data = DataElement{};
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_hasRoot = false;
  m_records = 0;
  return result;
}

}  // namespace zephrin
