#include "result/result_document.h"

namespace zephrin {

ResultDocument::ResultDocument() {
  for (std::size_t* offset : {&m_data.tagStart, &m_data.tagEnd, &m_data.textStart, &m_data.textEnd, &m_acctClosePos})
    m_w.Track(offset);
}

void ResultDocument::SetSink(OutputSink* sink, std::size_t threshold) { m_w.SetSink(sink, threshold); }

const XmlTag& ResultDocument::Tag(std::string_view name) { return m_w.Tag(name); }

void ResultDocument::CloseTo(std::size_t depth) {
  while (m_w.depth() > depth) {
    if (m_acctDepth != 0 && m_w.depth() == m_acctDepth) {
      // An account list that ends may still take children: its place is kept.
      m_acctClosed = true;
      m_acctClosePos = m_w.bufferSize();
      m_acctSelfClosed = !m_w.HasContent(m_acctDepth);
      m_acctDepth = 0;
    }
    m_w.End();
  }
}

void ResultDocument::InitXML(std::string_view rootName) {
  m_w.Clear();
  m_data = ElementSpan{};
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_hasRoot = true;
  m_root = XmlTag(rootName);
  m_w.Start(m_root);
}

void ResultDocument::SetRootAttribute(std::string_view name, std::string_view value) {
  if (m_hasRoot) m_w.AttrAt(1, name, value);
}

void ResultDocument::ReopenRoot() {
  CloseTo(1);
  m_w.OpenContent(1);
}

void ResultDocument::AddMajorNode(const XmlTag& tag) {
  if (!m_hasRoot) return;
  EndRecords();
  m_w.Start(tag);
  m_current = m_w.depth();
}

void ResultDocument::AddMajorNode(const XmlTag& tag, std::string_view attribute, long long number) {
  if (!m_hasRoot) return;
  EndRecords();
  m_w.Start(tag, attribute, number);
  m_current = m_w.depth();
}

void ResultDocument::SetMajorNodeAttribute(std::string_view name, std::string_view value) {
  if (m_current != 0) m_w.AttrAt(m_current, name, value);
}

void ResultDocument::AddDataElement(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table) {
  if (m_current == 0) return;
  CloseTo(m_current);
  m_data = m_w.Element(tag, text, table);
}

void ResultDocument::SetDataNodeAttribute(std::string_view name, std::string_view value) {
  if (m_data.present) m_w.SetAttributeAt(m_data.tagStart, m_data.tagEnd, name, value);
}

void ResultDocument::AddMajorChild(std::string_view name) {
  if (m_current == 0) return;
  CloseTo(m_current);
  m_w.Start(name);
  m_current = m_w.depth();
}

void ResultDocument::AddAcctRoot() {
  if (m_current == 0) return;
  CloseTo(m_current);
  m_w.Start(m_acct);
  m_acctDepth = m_w.depth();
  m_acctClosed = false;
}

ResultDocument::AcctNode ResultDocument::AddAcctNode(const XmlTag& tag) {
  if (m_acctDepth != 0) {
    CloseTo(m_acctDepth);
    m_data = m_w.Element(tag, {}, xml::kText);
    return AcctNode::kAdded;
  }
  if (!m_acctClosed) return AcctNode::kNoAccountList;
  // The account list was closed by a later sibling: the element goes in at
  // its end, where a document would append it.
  const std::size_t at = m_w.InsertEmptyChild(m_acctClosePos, m_acctSelfClosed, m_acct, tag);
  m_acctSelfClosed = false;
  m_acctClosePos = at + tag.start.size() + 2;
  m_data = ElementSpan{};
  m_data.present = true;
  m_data.tagStart = at;
  m_data.tagEnd = at + tag.start.size();
  m_data.textStart = m_data.textEnd = m_data.tagEnd + 1;
  m_data.end = tag.end;
  return AcctNode::kAdded;
}

std::string ResultDocument::GetXML() const { return m_hasRoot ? m_w.Peek() : std::string(); }

TextBuffer ResultDocument::TakeXML() {
  if (!m_hasRoot) return {};
  m_hasRoot = false;
  m_current = m_acctDepth = 0;
  m_acctClosed = false;
  m_data = ElementSpan{};
  return m_w.Take();
}

}  // namespace zephrin
