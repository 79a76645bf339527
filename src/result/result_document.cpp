#include "result/result_document.h"

#include <cstring>

namespace zephrin {

void ResultDocument::NoteBadName(std::string_view name) {
  if (m_badName.empty()) m_badName = name.empty() ? std::string("(empty)") : std::string(name);
}

const XmlTag& ResultDocument::TagOf(std::string_view name) {
  for (const XmlTag& tag : m_names)
    if (tag.name == name) return tag;
  return m_names.emplace_back(name);
}

void ResultDocument::Splice(std::size_t pos, std::size_t removeLen, std::string_view insert) {
  m_out.Replace(pos, removeLen, insert);
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

void ResultDocument::StartElement(const XmlTag& tag) {
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  Element e;
  e.tagStart = m_out.size();
  m_out.Append(tag.start);
  e.tagEnd = m_out.size();
  e.end = tag.end;
  m_stack.push_back(e);
}

void ResultDocument::OpenContent(std::size_t depth) {
  Element& e = m_stack[depth];
  if (e.contentOpen) return;
  m_out.Append('>');
  e.contentOpen = true;
}

void ResultDocument::CloseAbove(std::size_t depth) {
  while (m_stack.size() > depth + 1) {
    const Element e = m_stack.back();
    const bool acct = m_acctDepth != 0 && m_stack.size() - 1 == m_acctDepth;
    m_stack.pop_back();
    if (acct) {
      m_acctClosed = true;
      m_acctClosePos = m_out.size();
      m_acctSelfClosed = !e.contentOpen;
      m_acctDepth = 0;
    }
    if (!e.contentOpen) m_out.Append("/>");
    else m_out.Append(e.end);
  }
}

void ResultDocument::AddData(const XmlTag& tag) {
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  m_data = DataElement{};
  m_data.present = true;
  m_data.tagStart = m_out.size();
  m_out.Append(tag.start);
  m_data.tagEnd = m_out.size();
  m_data.end = tag.end;
  m_out.Append("/>");
}

void ResultDocument::SetAttribute(std::size_t tagStart, std::size_t& tagEnd, std::string_view name,
                                  std::string_view value) {
  // Attribute names are the engine's own ("Line", "OBJID", ...).
  if (tagEnd == m_out.size() && std::memchr(m_out.data() + tagStart, ' ', tagEnd - tagStart) == nullptr) {
    // The usual case: the first attribute of the tag just written.
    char* p = m_out.Room(name.size() + 4 + xml::RoomFor(value.size()));
    *p++ = ' ';
    std::memcpy(p, name.data(), name.size());
    p += name.size();
    *p++ = '=';
    *p++ = '"';
    p = xml::EscapeInto(p, value, xml::kAttribute);
    *p++ = '"';
    m_out.Commit(p);
    tagEnd = m_out.size();
    return;
  }
  m_scratch.clear();
  xml::AppendEscaped(m_scratch, value, xml::kAttribute);
  // An attribute already there gets its value replaced. Values hold no raw
  // quote, so ` name="` only ever matches an attribute.
  std::string key;
  key.reserve(name.size() + 3);
  key.push_back(' ');
  key.append(name);
  key.append("=\"");
  const std::string_view tag = m_out.view().substr(tagStart, tagEnd - tagStart);
  const std::size_t found = tag.find(key);
  if (found != std::string_view::npos) {
    const std::size_t valueStart = tagStart + found + key.size();
    const std::size_t valueEnd = m_out.view().find('"', valueStart);
    const std::string value2 = m_scratch;
    Splice(valueStart, valueEnd - valueStart, value2);
    return;
  }
  std::string text = std::move(key);
  text.append(m_scratch);
  text.push_back('"');
  if (tagEnd == m_out.size()) m_out.Append(text);
  else Splice(tagEnd, 0, text);
  tagEnd += text.size();
}

void ResultDocument::InitXML(std::string_view rootName) {
  m_out.clear();
  m_stack.clear();
  m_data = DataElement{};
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_badName.clear();
  m_flushed = 0;
  m_rootFlushed = m_sinkFailed = false;
  m_hasRoot = true;
  m_root = XmlTag(rootName);
  StartElement(m_root);
}

void ResultDocument::SetRootAttribute(std::string_view name, std::string_view value) {
  if (!m_hasRoot || m_rootFlushed) return;
  SetAttribute(m_stack[0].tagStart, m_stack[0].tagEnd, name, value);
}

void ResultDocument::Flush() {
  if (!m_sinkFailed && !m_sink->Write(m_out.view())) m_sinkFailed = true;
  m_flushed += m_out.size();
  m_out.clear();
  m_rootFlushed = true;
  m_stack[0].tagStart = m_stack[0].tagEnd = 0;
}

void ResultDocument::AddMajorNode(const XmlTag& tag) {
  if (!m_hasRoot) return;
  CloseAbove(0);
  OpenContent(0);
  // A new record starts with no current data element or account list.
  m_data = DataElement{};
  m_acctDepth = 0;
  m_acctClosed = false;
  // Nothing before this record changes any more: it can go.
  if (m_sink && m_out.size() >= m_threshold) Flush();
  StartElement(tag);
  m_current = m_stack.size() - 1;
}

void ResultDocument::AddMajorNode(const XmlTag& tag, std::string_view attribute, std::string_view value) {
  if (m_stack.size() == 2 && m_current == 1 && m_stack[0].contentOpen) {
    // The usual case: the last record is the only element open under the
    // root. It is closed, and its place on the stack taken by the new one.
    const Element& last = m_stack[1];
    const std::string_view close = last.contentOpen ? last.end : std::string_view("/>");
    m_out.Commit(CopyShort(m_out.Room(close.size()), close.data(), close.size()));
    m_data = DataElement{};
    m_acctDepth = 0;
    m_acctClosed = false;
    if (m_sink && m_out.size() >= m_threshold) Flush();
    if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
    Element& e = m_stack[1];
    e.tagStart = m_out.size();
    e.end = tag.end;
    e.contentOpen = false;
    char* p = m_out.Room(tag.start.size() + attribute.size() + 4 + xml::RoomFor(value.size()));
    p = CopyShort(p, tag.start.data(), tag.start.size());
    *p++ = ' ';
    p = CopyShort(p, attribute.data(), attribute.size());
    *p++ = '=';
    *p++ = '"';
    p = xml::EscapeInto(p, value, xml::kAttribute);
    *p++ = '"';
    m_out.Commit(p);
    e.tagEnd = m_out.size();
    return;
  }
  AddMajorNode(tag);
  if (m_current == 0) return;
  // The first attribute of the tag just written.
  Element& e = m_stack[m_current];
  char* p = m_out.Room(attribute.size() + 4 + xml::RoomFor(value.size()));
  *p++ = ' ';
  p = CopyShort(p, attribute.data(), attribute.size());
  *p++ = '=';
  *p++ = '"';
  p = xml::EscapeInto(p, value, xml::kAttribute);
  *p++ = '"';
  m_out.Commit(p);
  e.tagEnd = m_out.size();
}

void ResultDocument::SetMajorNodeAttribute(std::string_view name, std::string_view value) {
  if (m_current == 0) return;
  Element& e = m_stack[m_current];
  SetAttribute(e.tagStart, e.tagEnd, name, value);
}

void ResultDocument::AddDataNode(const XmlTag& tag) {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  AddData(tag);
}

void ResultDocument::AddDataNode(std::string_view name) { AddDataNode(TagOf(name)); }

void ResultDocument::WriteDataNode(std::string_view text, const xml::EscapeTable& table) {
  if (!m_data.present) return;
  DataElement& d = m_data;
  const std::size_t end = d.hasText ? d.textEnd + d.end.size() : d.tagEnd + 2;
  if (end == m_out.size()) {
    // The usual case: the element is the last thing written.
    m_out.Truncate(d.tagEnd);
    if (text.empty()) {
      m_out.Append("/>");
      d.hasText = false;
      return;
    }
    char* p = m_out.Room(1 + xml::RoomFor(text.size()) + d.end.size());
    *p++ = '>';
    m_out.Commit(p);
    d.textStart = m_out.size();
    p = xml::EscapeInto(p, text, table);
    m_out.Commit(p);
    d.textEnd = m_out.size();
    m_out.Append(d.end);
    d.hasText = true;
    return;
  }
  // The element lies before others (an account list took it late).
  std::string escaped;
  xml::AppendEscaped(escaped, text, table);
  std::string replacement;
  if (escaped.empty()) {
    replacement = "/>";
  } else {
    replacement.push_back('>');
    replacement.append(escaped);
    replacement.append(d.end);
  }
  const std::size_t tagEnd = d.tagEnd;
  Splice(tagEnd, end - tagEnd, replacement);
  d.hasText = !escaped.empty();
  d.textStart = tagEnd + 1;
  d.textEnd = d.textStart + escaped.size();
}

void ResultDocument::SetDataNodeAttribute(std::string_view name, std::string_view value) {
  if (m_data.present) SetAttribute(m_data.tagStart, m_data.tagEnd, name, value);
}

void ResultDocument::AddMajorChild(std::string_view name) {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  StartElement(TagOf(name));
  m_current = m_stack.size() - 1;
}

void ResultDocument::AddAcctRoot() {
  if (m_current == 0) return;
  CloseAbove(m_current);
  OpenContent(m_current);
  StartElement(TagOf("Acct"));
  m_acctDepth = m_stack.size() - 1;
  m_acctClosed = false;
}

int ResultDocument::AddAcctNode(const XmlTag& tag) {
  if (m_acctDepth != 0) {
    CloseAbove(m_acctDepth);
    OpenContent(m_acctDepth);
    AddData(tag);
    return kAcctOk;
  }
  if (!m_acctClosed) return kAcctNoRoot;
  // The account list was closed by a later sibling: the element goes in at
  // its end, where a document would append it.
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  std::string element = tag.start;
  const std::size_t tagLen = element.size();
  element.append("/>");
  const std::size_t pos = m_acctClosePos;
  std::size_t at = pos;
  if (m_acctSelfClosed) {
    Splice(pos, 2, ">" + element + "</Acct>");
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
  m_data.end = tag.end;
  return kAcctOk;
}

void ResultDocument::AppendClosing(std::string& out) const {
  for (std::size_t i = m_stack.size(); i-- > 0;) {
    if (!m_stack[i].contentOpen) out.append("/>");
    else out.append(m_stack[i].end);
  }
}

std::string ResultDocument::GetXML() const {
  if (!m_hasRoot) return {};
  std::string result(m_out.view());
  AppendClosing(result);
  return result;
}

TextBuffer ResultDocument::TakeXML() {
  if (!m_hasRoot) return {};
  std::string tail;
  AppendClosing(tail);
  m_out.Append(tail);
  TextBuffer result = std::move(m_out);
  m_out = TextBuffer();
  m_stack.clear();
  m_data = DataElement{};
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_hasRoot = false;
  return result;
}

}  // namespace zephrin
