#include "result/xml_writer.h"

#include <charconv>
#include <cstring>

namespace zephrin {

const XmlTag& XmlWriter::Tag(std::string_view name) {
  for (const XmlTag& tag : m_names)
    if (tag.name == name) return tag;
  return m_names.emplace_back(name);
}

void XmlWriter::OpenContent(std::size_t depth) {
  Open& e = m_stack[depth - 1];
  if (e.contentOpen) return;
  m_out.Append('>');
  e.contentOpen = true;
}

char* XmlWriter::OpenStartTag(const XmlTag& tag, std::size_t room) {
  if (!m_stack.empty()) OpenContent(m_stack.size());
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  Open e;
  e.tagStart = m_out.size();
  e.end = tag.end;
  m_stack.push_back(e);
  return CopyShort(m_out.Room(tag.start.size() + room), tag.start.data(), tag.start.size());
}

void XmlWriter::CloseStartTag(const char* end) {
  m_out.Commit(end);
  m_stack.back().tagEnd = m_out.size();
}

void XmlWriter::Start(const XmlTag& tag) { CloseStartTag(OpenStartTag(tag, 0)); }

void XmlWriter::Start(const XmlTag& tag, std::string_view attribute, long long number) {
  char digits[24];
  const char* const end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  CloseStartTag(NumberAttributeAt(OpenStartTag(tag, attribute.size() + kNumberAttributeRoom), attribute,
                                  std::string_view(digits, static_cast<std::size_t>(end - digits))));
}

char* XmlWriter::NumberAttributeAt(char* p, std::string_view name, std::string_view digits) const {
  *p++ = ' ';
  p = CopyShort(p, name.data(), name.size());
  *p++ = '=';
  p = QuoteAt(p, '"');
  p = CopyShort(p, digits.data(), digits.size());
  return QuoteAt(p, '"');
}

void XmlWriter::Text(std::string_view text, const xml::EscapeTable& table) {
  if (text.empty()) return;
  if (!m_stack.empty()) OpenContent(m_stack.size());
  xml::AppendEscapedTo(m_out, text, Table(table));
}

void XmlWriter::End() {
  if (m_stack.empty()) return;
  const Open& e = m_stack.back();
  m_out.Append(e.contentOpen ? e.end : std::string_view("/>"));
  m_stack.pop_back();
}

void XmlWriter::EndTo(std::size_t depth) {
  while (m_stack.size() > depth) End();
}

ElementSpan XmlWriter::Element(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table) {
  if (!m_stack.empty()) OpenContent(m_stack.size());
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  // One reservation for the whole element, then writes through a pointer.
  ElementSpan span;
  const std::size_t start = m_out.size();
  char* const base = m_out.Room(ElementRoom(tag, text.size())) - start;
  char* p = CopyShort(base + start, tag.start.data(), tag.start.size());
  span.present = true;
  span.tagStart = start;
  span.tagEnd = static_cast<std::size_t>(p - base);
  span.end = tag.end;
  if (text.empty()) {
    *p++ = '/';
    *p++ = '>';
    span.textStart = span.textEnd = span.tagEnd + 1;
  } else {
    *p++ = '>';
    span.textStart = static_cast<std::size_t>(p - base);
    p = xml::EscapeInto(p, text, Table(table));
    span.textEnd = static_cast<std::size_t>(p - base);
    span.hasText = true;
    p = CopyShort(p, tag.end.data(), tag.end.size());
  }
  m_out.Commit(p);
  return span;
}

void XmlWriter::LongEmptyElement(const EmptyPattern& pattern, std::string_view value, std::size_t readable) {
  char* p = m_out.Room(pattern.head.size() + pattern.tail.size() + 1 + xml::RoomFor(value.size()) + XmlTag::kBlock);
  p = OpenContentAt(p);
  p = CopyTagAt(p, pattern.head, pattern.headBlock);
  p = xml::EscapeInBuffer(p, value, readable, Table(xml::kAttribute));
  p = CopyTagAt(p, pattern.tail, pattern.tailBlock);
  m_out.Commit(p);
}

void XmlWriter::EmptyElement(const XmlTag& tag, std::initializer_list<Attribute> attributes) {
  if (!m_stack.empty()) OpenContent(m_stack.size());
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  std::size_t room = tag.start.size() + 2;
  for (const Attribute& a : attributes) room += AttributeRoom(a);
  char* p = CopyShort(m_out.Room(room), tag.start.data(), tag.start.size());
  for (const Attribute& a : attributes) p = AttributeAt(p, a);
  *p++ = '/';
  *p++ = '>';
  m_out.Commit(p);
}

XmlWriter::EmptyPattern XmlWriter::PrepareEmpty(const XmlTag& tag, std::initializer_list<Attribute> before,
                                                std::string_view varying, std::initializer_list<Attribute> after) {
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  // The varying attribute is written with an empty value; the pattern is cut
  // between its quotes.
  std::string text(tag.start);
  const auto append = [&](const Attribute& a) {
    const std::size_t at = text.size();
    text.resize(at + AttributeRoom(a));
    text.resize(static_cast<std::size_t>(AttributeAt(text.data() + at, a) - text.data()));
  };
  for (const Attribute& a : before) append(a);
  append({varying, {}});
  char quote[2];
  const std::size_t cut = text.size() - static_cast<std::size_t>(QuoteAt(quote, '"') - quote);
  for (const Attribute& a : after) append(a);
  text.append("/>");
  EmptyPattern pattern{text.substr(0, cut), text.substr(cut)};
  XmlTag::ToBlock(pattern.head, pattern.headBlock);
  XmlTag::ToBlock(pattern.tail, pattern.tailBlock);
  pattern.inBlocks = pattern.head.size() <= XmlTag::kBlock && pattern.tail.size() <= XmlTag::kBlock;
  pattern.headLen = static_cast<uint8_t>(pattern.inBlocks ? pattern.head.size() : 0);
  pattern.tailLen = static_cast<uint8_t>(pattern.inBlocks ? pattern.tail.size() : 0);
  return pattern;
}

void XmlWriter::Append(const XmlWriter& fragment) {
  if (fragment.failed()) NoteBadName(fragment.badName());
  if (fragment.m_out.empty()) return;
  if (!m_stack.empty()) OpenContent(m_stack.size());
  m_out.Append(fragment.m_out.view());
}

std::size_t XmlWriter::InsertEmptyChild(std::size_t pos, bool selfClosed, const XmlTag& parent, const XmlTag& tag) {
  if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
  std::string piece;
  if (selfClosed) piece.push_back('>');
  piece.append(tag.start).append("/>");
  if (selfClosed) piece.append(parent.end);
  Splice(pos, selfClosed ? 2 : 0, piece);
  return selfClosed ? pos + 1 : pos;
}

void XmlWriter::Splice(std::size_t pos, std::size_t removed, std::string_view insert) {
  m_out.Replace(pos, removed, insert);
  const auto delta = static_cast<std::ptrdiff_t>(insert.size()) - static_cast<std::ptrdiff_t>(removed);
  const auto move = [&](std::size_t& offset) {
    if (offset > pos) offset = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) + delta);
  };
  for (Open& e : m_stack) {
    move(e.tagStart);
    move(e.tagEnd);
  }
  for (std::size_t* offset : m_tracked) move(*offset);
}

void XmlWriter::SetAttributeAt(std::size_t tagStart, std::size_t& tagEnd, std::string_view name,
                               std::string_view value, char quote) {
  // Attribute names are the engine's own ("Line", "OBJID", ...).
  if (tagEnd == m_out.size() && std::memchr(m_out.data() + tagStart, ' ', tagEnd - tagStart) == nullptr) {
    // The usual case: the first attribute of the tag just written.
    char* p = m_out.Room(name.size() + 6 + xml::RoomFor(value.size()));
    *p++ = ' ';
    p = CopyShort(p, name.data(), name.size());
    *p++ = '=';
    p = QuoteAt(p, quote);
    p = xml::EscapeInto(p, value, Table(xml::kAttribute));
    p = QuoteAt(p, quote);
    m_out.Commit(p);
    tagEnd = m_out.size();
    return;
  }
  m_scratch.clear();
  xml::AppendEscaped(m_scratch, value, Table(xml::kAttribute));
  char quoted[2];
  const std::string_view quoteText(quoted, static_cast<std::size_t>(QuoteAt(quoted, quote) - quoted));
  // An attribute already there gets its value replaced. Values hold no raw
  // quote, so ` name="` only ever matches an attribute, and the value ends
  // at the next quote.
  std::string key;
  key.reserve(name.size() + 4);
  key.push_back(' ');
  key.append(name);
  key.push_back('=');
  key.append(quoteText);
  const std::string_view tag = m_out.view().substr(tagStart, tagEnd - tagStart);
  if (const std::size_t found = tag.find(key); found != std::string_view::npos) {
    const std::size_t valueStart = tagStart + found + key.size();
    const std::size_t valueEnd = m_out.view().find(quoteText, valueStart);
    const std::string replacement = m_scratch;
    Splice(valueStart, valueEnd - valueStart, replacement);
    return;
  }
  std::string text = std::move(key);
  text.append(m_scratch);
  text.append(quoteText);
  if (tagEnd == m_out.size()) m_out.Append(text);
  else Splice(tagEnd, 0, text);
  tagEnd += text.size();
}

void XmlWriter::ReplaceText(ElementSpan& d, std::string_view text, const xml::EscapeTable& table) {
  if (!d.present) return;
  const std::size_t end = d.End();
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
    p = xml::EscapeInto(p, text, Table(table));
    m_out.Commit(p);
    d.textEnd = m_out.size();
    m_out.Append(d.end);
    d.hasText = true;
    return;
  }
  // The element lies before others (an account list took it late).
  std::string escaped;
  xml::AppendEscaped(escaped, text, Table(table));
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

void XmlWriter::Flush() {
  // Only between elements: every open start tag must be ended.
  for (const Open& e : m_stack)
    if (!e.contentOpen) return;
  if (!m_sinkFailed && !m_sink->Write(m_out.view())) m_sinkFailed = true;
  m_flushed += m_out.size();
  m_out.clear();
  for (Open& e : m_stack) {
    e.tagStart = e.tagEnd = 0;
    e.handedOn = true;
  }
}

TextBuffer XmlWriter::Take() {
  EndAll();
  if (m_sink) {
    if (!m_sinkFailed && !m_sink->Write(m_out.view())) m_sinkFailed = true;
    m_flushed += m_out.size();
    m_out.clear();
  }
  return std::move(m_out);
}

std::string XmlWriter::Peek() const {
  std::string text(m_out.view());
  for (std::size_t i = m_stack.size(); i-- > 0;) text.append(m_stack[i].contentOpen ? m_stack[i].end : "/>");
  return text;
}

}  // namespace zephrin
