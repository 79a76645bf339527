// A streaming XML writer with the serialisation of the result documents (no
// declaration, double-quoted attributes, <name/> for an empty element,
// nothing between elements), for documents that are written straight
// through: the jurisdiction readers'. Input is engine text; the output is
// UTF-8, escaped by the tables of xml_escape.h, in a TextBuffer that a
// streamed read hands to its sink piece by piece.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "result/text_buffer.h"
#include "result/xml_escape.h"

namespace zephrin {

class XmlStream {
 public:
  // Hands finished pieces to `sink` once `threshold` bytes gathered, at the
  // points the writer's user marks with MaybeFlush (nullptr: keep it all).
  explicit XmlStream(OutputSink* sink = nullptr, std::size_t threshold = std::size_t{1} << 20)
      : m_sink(sink), m_threshold(threshold) {}

  // Starts an element; `name` must stay valid until its End.
  void Start(std::string_view name) {
    CloseTag();
    m_out.Append('<');
    m_out.Append(name);
    if (m_depth < static_cast<int>(m_stack.size())) m_stack[static_cast<std::size_t>(m_depth)] = name;
    ++m_depth;
    m_tagOpen = true;
  }
  void Attr(std::string_view name, std::string_view value) {
    if (!m_tagOpen) return;
    m_out.Append(' ');
    m_out.Append(name);
    m_out.Append("=\"");
    xml::AppendEscapedTo(m_out, value, xml::kAttribute);
    m_out.Append('"');
  }
  // Element text. With `engineEscape` the engine's escaping is applied first,
  // so the document carries the text the way the host's DOM would serialise
  // an escaped value. Empty text adds nothing.
  void Text(std::string_view text, bool engineEscape) {
    if (text.empty()) return;
    CloseTag();
    xml::AppendEscapedTo(m_out, text, engineEscape ? xml::kTextTwice : xml::kText);
  }
  void End();
  // Prepared XML (serialised already) appended as the next child.
  void Raw(std::string_view xml) {
    if (xml.empty()) return;
    CloseTag();
    m_out.Append(xml);
  }
  // The output, for a prepared element written straight into it: the hot
  // path of the readers, one JUR element per amount.
  TextBuffer& Direct() {
    CloseTag();
    return m_out;
  }
  int depth() const { return m_depth; }
  void EndAll() {
    while (m_depth > 0) End();
  }
  // A point where nothing written so far changes any more: a streamed
  // document may hand it on.
  void MaybeFlush() {
    if (!m_sink || m_out.size() < m_threshold || m_tagOpen) return;
    if (!m_sink->Write(m_out.view())) m_sinkFailed = true;
    m_out.clear();
  }
  // Everything left (a streamed document's rest goes to the sink).
  TextBuffer Take();
  bool sinkFailed() const { return m_sinkFailed; }

 private:
  void CloseTag() {
    if (m_tagOpen) {
      m_out.Append('>');
      m_tagOpen = false;
    }
  }
  TextBuffer m_out;
  OutputSink* m_sink;
  std::size_t m_threshold;
  std::array<std::string_view, 8> m_stack{};
  int m_depth = 0;
  bool m_tagOpen = false;
  bool m_sinkFailed = false;
};

inline void XmlStream::End() {
  if (m_depth == 0) return;
  --m_depth;
  if (m_tagOpen) {
    m_out.Append("/>");
    m_tagOpen = false;
    return;
  }
  m_out.Append("</");
  if (m_depth < static_cast<int>(m_stack.size())) m_out.Append(m_stack[static_cast<std::size_t>(m_depth)]);
  m_out.Append('>');
}

inline TextBuffer XmlStream::Take() {
  if (m_sink) {
    if (!m_sink->Write(m_out.view())) m_sinkFailed = true;
    m_out.clear();
  }
  return std::move(m_out);
}

}  // namespace zephrin
