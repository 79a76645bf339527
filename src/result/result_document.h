// The result document: the XML text a plain read returns, built on the one
// XML writer with the operations the readers think in (a record under the
// root, data elements under the current record, a container that takes the
// record's later elements, a journal entry's account lists).
//
// Every operation writes at once. The few that change what is already
// written (an attribute set after an element's text, a text replaced, an
// element appended to an account list that is no longer the last child, a
// root attribute set late) splice the writer's buffer; that only ever
// touches the current record, except for the rare late root attribute of a
// document kept whole.
//
// A streamed document hands everything before the record being started to
// the sink once a megabyte has gathered, so a read holds one record and a
// little more; a document kept whole stays in its buffer.
//
// Element names are prepared once per read as XmlTags; a name XML cannot
// carry is recorded, and the read then fails with a document that names it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "result/text_buffer.h"
#include "result/xml_escape.h"
#include "result/xml_writer.h"

namespace zephrin {

// "amp;" inserted after every "&", then "<" -> "&lt;" and ">" -> "&gt;".
inline std::string EscapeXmlText(std::string_view text) { return xml::EscapeEngineText(text); }

// Appends `text` to `out` as XML character data (or, with `attribute`, as an
// attribute value), converting Windows-1252 to UTF-8.
inline void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute) {
  xml::AppendEscaped(out, text, attribute ? xml::kAttribute : xml::kText);
}

class ResultDocument {
 public:
  // Outcomes of AddAcctNode.
  enum class AcctNode { kAdded, kNoAccountList };

  ResultDocument();
  ResultDocument(const ResultDocument&) = delete;
  ResultDocument& operator=(const ResultDocument&) = delete;

  // Hands finished pieces to `sink` once `threshold` bytes have gathered
  // (nullptr: keep the whole text).
  void SetSink(OutputSink* sink, std::size_t threshold = std::size_t{1} << 20);
  // Writes the text as the inside of a JSON string (see XmlWriter).
  void SetJsonString(bool on) { m_w.SetJsonString(on); }

  // Empties the document and makes a root element of that name.
  void InitXML(std::string_view rootName);
  void SetRootAttribute(std::string_view name, std::string_view value);
  // A record element under the root; it becomes the current record element.
  void AddMajorNode(const XmlTag& tag);
  void AddMajorNode(std::string_view name) { AddMajorNode(Tag(name)); }
  // A record element with its first attribute, a number (its line), in one step.
  void AddMajorNode(const XmlTag& tag, std::string_view attribute, long long number);
  void SetMajorNodeAttribute(std::string_view name, std::string_view value);
  // A data element (empty for now) under the current record element.
  void AddDataNode(const XmlTag& tag) { AddDataElement(tag, {}, xml::kText); }
  void AddDataNode(std::string_view name) { AddDataNode(Tag(name)); }
  // Sets the text of the current data element, replacing any text it had.
  void WriteDataNode(std::string_view text, const xml::EscapeTable& table = xml::kText) {
    m_w.ReplaceText(m_data, text, table);
  }
  void SetDataNodeAttribute(std::string_view name, std::string_view value);
  // A data element with its text, in one step: AddDataNode and WriteDataNode.
  void AddDataElement(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table);

  // A whole record written straight into the buffer (the plain readers' path,
  // a record nothing is added to later): WholeRecordRoom ends the records
  // before it and gives room for `n` bytes; RecordStartAt writes the start
  // tag up to its ">", ElementAt the elements, RecordEndAt the end; then
  // CommitRecord. The room takes WholeRecordTagRoom bytes for the tags. The
  // document must have its root.
  char* WholeRecordRoom(std::size_t n) {
    EndRecords();
    m_current = 0;
    return m_w.Room(n);
  }
  char* RecordStartAt(char* p, const XmlTag& tag) {
    p = m_w.StartTagAt(p, tag);
    *p++ = '>';
    return p;
  }
  // With its first attribute, a number given by its digits (its line), of
  // whose buffer `readable` bytes may be read from their start.
  char* RecordStartAt(char* p, const NumberedTag& tag, std::string_view digits, std::size_t readable = 0) {
    p = m_w.NumberedStartAt(p, tag, digits, readable);
    *p++ = '>';
    return p;
  }
  // <name>text</name>, or <name/>; `readable` as for XmlWriter::ElementAt.
  char* ElementAt(char* p, const XmlTag& tag, std::string_view text, const xml::EscapeTable& table,
                  std::size_t readable = 0) {
    return m_w.ElementAt(p, tag, text, table, readable);
  }
  // The same for a prepared element, with `table` as TableInUse gives it.
  static char* ElementAt(char* p, const PreparedElement& e, std::string_view text, const xml::EscapeTable& table,
                         std::size_t readable) {
    return XmlWriter::ElementAt(p, e, text, table, readable);
  }
  // The table the document escapes by in place of `table`.
  const xml::EscapeTable& TableInUse(const xml::EscapeTable& table) const { return m_w.Table(table); }
  // `content` is what RecordStartAt returned.
  static char* RecordEndAt(char* p, const XmlTag& tag, const char* content) {
    return XmlWriter::EndTagAt(p, tag, content);
  }
  static std::size_t WholeRecordTagRoom(const XmlTag& tag, std::string_view attribute) {
    return XmlWriter::WholeTagRoom(tag, attribute);
  }
  static std::size_t ElementRoom(const XmlTag& tag, std::size_t n) { return XmlWriter::ElementRoom(tag, n); }
  void CommitRecord(const char* end) { m_w.Commit(end); }

  // An element under the current record element that becomes the current
  // record element itself ("Accounts", "PayNodes").
  void AddMajorChild(std::string_view name);
  // An "Acct" element under the current record element; the current account list.
  void AddAcctRoot();
  // A data element under the current account list.
  [[nodiscard]] AcctNode AddAcctNode(const XmlTag& tag);
  [[nodiscard]] AcctNode AddAcctNode(std::string_view name) { return AddAcctNode(Tag(name)); }

  // The serialised document (UTF-8), closed; the document stays as built.
  std::string GetXML() const;
  // Closes the document and hands its text over (what was not streamed yet;
  // with a sink the rest goes there and the text is empty).
  TextBuffer TakeXML();

  // A name that XML cannot carry was asked for: the read must fail.
  bool failed() const { return m_w.failed(); }
  const std::string& badName() const { return m_w.badName(); }
  // A piece could not be handed to the sink.
  bool sinkFailed() const { return m_w.sinkFailed(); }

  // Size hint for the output text.
  void Reserve(std::size_t bytes) { m_w.Reserve(bytes); }
  // Bytes written so far (streamed pieces included).
  std::size_t size() const { return m_w.size(); }

 private:
  // A tag for a name given as text, kept for the document's life.
  const XmlTag& Tag(std::string_view name);
  // Ends the elements above `depth`, noting where an account list ends.
  void CloseTo(std::size_t depth);
  // Ends the record elements under the root, before a new one starts.
  void EndRecords() {
    // Between whole records the document already stands under the root, its
    // content open: most records skip the closing.
    if (m_w.depth() != 1 || !m_w.HasContent(1)) ReopenRoot();
    // A new record starts with no current data element or account list.
    if (m_data.present) m_data = ElementSpan{};
    m_acctDepth = 0;
    m_acctClosed = false;
    // Nothing before this record changes any more: it can go.
    m_w.MaybeFlush();
  }
  // Ends every element under the root and opens the root's content.
  void ReopenRoot();

  XmlWriter m_w;
  bool m_hasRoot = false;
  XmlTag m_root;
  XmlTag m_acct{"Acct"};
  std::size_t m_current = 0;          // depth of the current record element (0: none)
  std::size_t m_acctDepth = 0;        // depth of the open account list (0: none open)
  bool m_acctClosed = false;          // the current account list is closed, earlier in the text
  std::size_t m_acctClosePos = 0;     // where a closed account list takes a child
  bool m_acctSelfClosed = false;      // the closed account list was written as <Acct/>
  ElementSpan m_data;                 // the current data element
};

}  // namespace zephrin
