#include "result/result_document.h"

#include <array>
#include <cstring>

#include "platform/codepage.h"

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

// Appends text, escaped for XML, and (with `engineEscape`) with the engine's
// own EscapeXmlText applied first, in one pass.
void AppendEscaped(std::string& out, std::string_view text, bool attribute, bool engineEscape) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    while (p < end && kClasses[static_cast<unsigned char>(*p)] == kPlain) ++p;
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

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':'; }
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

void AppendName(std::string& out, std::string_view name) { out.append(name); }

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

bool IsValidXmlName(std::string_view name) {
  if (name.empty() || !IsNameStart(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name.substr(1))
    if (!IsNameChar(static_cast<unsigned char>(c))) return false;
  return true;
}

void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute) {
  AppendEscaped(out, text, attribute, false);
}

ResultDocument::ResultDocument() {
  m_nodes.reserve(64);
  m_attrs.reserve(8);
  m_pool.reserve(1024);
}

ResultDocument::Span ResultDocument::Store(std::string_view s) {
  Span span{static_cast<uint32_t>(m_pool.size()), static_cast<uint32_t>(s.size())};
  m_pool.append(s);
  return span;
}

void ResultDocument::CheckName(std::string_view name) {
  if (m_badName.empty() && !IsValidXmlName(name)) m_badName = name.empty() ? std::string("(empty)") : std::string(name);
}

int32_t ResultDocument::NewNode(std::string_view name, int32_t parent) {
  CheckName(name);
  const auto index = static_cast<int32_t>(m_nodes.size());
  Node node;
  node.name = Store(name);
  m_nodes.push_back(node);
  if (parent >= 0) {
    Node& p = m_nodes[static_cast<std::size_t>(parent)];
    if (p.lastChild >= 0) m_nodes[static_cast<std::size_t>(p.lastChild)].nextSibling = index;
    else p.firstChild = index;
    p.lastChild = index;
  }
  return index;
}

void ResultDocument::SetAttr(int32_t node, std::string_view name, std::string_view value) {
  CheckName(name);
  Node& n = m_nodes[static_cast<std::size_t>(node)];
  int32_t last = -1;
  for (int32_t a = n.firstAttr; a >= 0; a = m_attrs[static_cast<std::size_t>(a)].next) {
    if (View(m_attrs[static_cast<std::size_t>(a)].name) == name) {
      m_attrs[static_cast<std::size_t>(a)].value = Store(value);
      return;
    }
    last = a;
  }
  Attr attr;
  attr.name = Store(name);
  attr.value = Store(value);
  m_attrs.push_back(attr);
  const auto index = static_cast<int32_t>(m_attrs.size() - 1);
  if (last >= 0) m_attrs[static_cast<std::size_t>(last)].next = index;
  else m_nodes[static_cast<std::size_t>(node)].firstAttr = index;
}

int ResultDocument::InitXML(std::string_view rootName) {
  if (!m_exists) return 1;
  m_out.clear();
  m_nodes.clear();
  m_attrs.clear();
  m_pool.clear();
  m_current = m_data = m_acct = -1;
  m_rootAttrs.clear();
  m_rootOpened = false;
  m_rootTagEnd = 0;
  m_records = 0;
  m_badName.clear();
  CheckName(rootName);
  m_rootName.assign(rootName);
  m_hasRoot = true;
  return 0;
}

void ResultDocument::SetRootAttribute(std::string_view name, std::string_view value) {
  if (!m_hasRoot) return;
  CheckName(name);
  bool replaced = false;
  for (auto& [n, v] : m_rootAttrs) {
    if (n == name) {
      v.assign(value);
      replaced = true;
      break;
    }
  }
  if (!replaced) m_rootAttrs.emplace_back(std::string(name), std::string(value));
  if (m_rootOpened) {
    // Rare: the root tag is already out. Rewrite it in place.
    std::string tag;
    tag.push_back('<');
    AppendName(tag, m_rootName);
    for (const auto& [n, v] : m_rootAttrs) {
      tag.push_back(' ');
      tag.append(n);
      tag.append("=\"");
      AppendEscaped(tag, v, true, false);
      tag.push_back('"');
    }
    tag.push_back('>');
    m_out.replace(0, m_rootTagEnd, tag);
    m_rootTagEnd = tag.size();
  }
}

void ResultDocument::OpenRoot() {
  if (m_rootOpened) return;
  std::string tag;
  tag.push_back('<');
  AppendName(tag, m_rootName);
  for (const auto& [n, v] : m_rootAttrs) {
    tag.push_back(' ');
    tag.append(n);
    tag.append("=\"");
    AppendEscaped(tag, v, true, false);
    tag.push_back('"');
  }
  tag.push_back('>');
  m_out.insert(0, tag);
  m_rootTagEnd = tag.size();
  m_rootOpened = true;
}

void ResultDocument::WriteNode(int32_t index) {
  const Node& n = m_nodes[static_cast<std::size_t>(index)];
  m_out.push_back('<');
  const std::string_view name = View(n.name);
  m_out.append(name);
  for (int32_t a = n.firstAttr; a >= 0; a = m_attrs[static_cast<std::size_t>(a)].next) {
    const Attr& attr = m_attrs[static_cast<std::size_t>(a)];
    m_out.push_back(' ');
    m_out.append(View(attr.name));
    m_out.append("=\"");
    AppendEscaped(m_out, View(attr.value), true, false);
    m_out.push_back('"');
  }
  if (n.firstChild < 0 && n.text.len == 0) {
    m_out.append("/>");
    return;
  }
  m_out.push_back('>');
  if (n.text.len) AppendEscaped(m_out, View(n.text), false, n.escapeText);
  for (int32_t c = n.firstChild; c >= 0; c = m_nodes[static_cast<std::size_t>(c)].nextSibling) WriteNode(c);
  m_out.append("</");
  m_out.append(name);
  m_out.push_back('>');
}

void ResultDocument::FlushRecord() {
  if (m_nodes.empty()) return;
  OpenRoot();
  WriteNode(0);
  m_nodes.clear();
  m_attrs.clear();
  m_pool.clear();
  m_current = m_data = m_acct = -1;
}

void ResultDocument::AddMajorNode(std::string_view name) {
  if (!m_hasRoot) return;
  FlushRecord();
  m_current = NewNode(name, -1);
  ++m_records;
}

void ResultDocument::SetMajorNodeAttribute(std::string_view name, std::string_view value) {
  if (m_current >= 0) SetAttr(m_current, name, value);
}

void ResultDocument::AddDataNode(std::string_view name) {
  if (m_current < 0) return;
  m_data = NewNode(name, m_current);
}

void ResultDocument::WriteDataNode(std::string_view text) {
  if (m_data < 0) return;
  const Span span = Store(text);
  Node& n = m_nodes[static_cast<std::size_t>(m_data)];
  n.text = span;
  n.escapeText = false;
}

void ResultDocument::WriteDataNodeEscaped(std::string_view text) {
  if (m_data < 0) return;
  const Span span = Store(text);
  Node& n = m_nodes[static_cast<std::size_t>(m_data)];
  n.text = span;
  n.escapeText = true;
}

void ResultDocument::SetDataNodeAttribute(std::string_view name, std::string_view value) {
  if (m_data >= 0) SetAttr(m_data, name, value);
}

void ResultDocument::AddMajorChild(std::string_view name) {
  if (m_current < 0) return;
  m_current = NewNode(name, m_current);
}

void ResultDocument::AddAcctRoot() {
  if (m_current < 0) return;
  m_acct = NewNode("Acct", m_current);
}

int ResultDocument::AddAcctNode(std::string_view name) {
  if (m_acct < 0) return kAcctNoRoot;
  m_data = NewNode(name, m_acct);
  return kAcctOk;
}

void ResultDocument::CloseRoot(std::string& out) const {
  out.append("</");
  out.append(m_rootName);
  out.push_back('>');
}

std::string ResultDocument::GetXML() {
  if (!m_hasRoot) return {};
  // Serialise without disturbing the current record: the document stays as built.
  std::string saved = m_out;
  const bool wasOpened = m_rootOpened;
  const std::size_t savedTagEnd = m_rootTagEnd;
  if (!m_nodes.empty()) {
    OpenRoot();
    WriteNode(0);
  }
  std::string result;
  if (!m_rootOpened) {
    result.push_back('<');
    result.append(m_rootName);
    for (const auto& [n, v] : m_rootAttrs) {
      result.push_back(' ');
      result.append(n);
      result.append("=\"");
      AppendEscaped(result, v, true, false);
      result.push_back('"');
    }
    result.append("/>");
  } else {
    result = std::move(m_out);
    CloseRoot(result);
  }
  m_out = std::move(saved);
  m_rootOpened = wasOpened;
  m_rootTagEnd = savedTagEnd;
  return result;
}

std::string ResultDocument::TakeXML() {
  if (!m_hasRoot) return {};
  FlushRecord();
  std::string result;
  if (!m_rootOpened) {
    result = GetXML();
  } else {
    CloseRoot(m_out);
    result = std::move(m_out);
  }
  m_out = std::string();
  m_hasRoot = false;
  m_rootOpened = false;
  m_rootAttrs.clear();
  m_records = 0;
  return result;
}

}  // namespace zephrin
