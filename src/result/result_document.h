// The result document: the XML text a plain read returns.
//
// The document is written as it is built: every operation appends its bytes
// to the output buffer at once, so a record costs no more than writing it.
// The few operations that change what is already written (an attribute set
// after an element's text, a text replaced, an element appended to an account
// list that is no longer the last child, a root attribute set late) splice
// the buffer in place; that only ever touches the current record, except for
// the rare late root attribute of a document kept whole.
//
// A streamed document hands everything before the record being started to an
// OutputSink once a megabyte has gathered, so a read holds one record and a
// little more; a document kept whole stays in its buffer.
//
// Names and values come in as the engine's Windows-1252 text; the output is
// UTF-8. Serialisation is what a host's DOM gives: no XML declaration,
// attributes in double quotes, an empty element as <name/>, nothing between
// elements (see xml_escape.h for the escaping). Element names are prepared
// once per read as XmlTags; a name XML cannot carry is recorded, not written,
// and the read then fails with a document that names it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "result/text_buffer.h"
#include "result/xml_escape.h"

namespace zephrin {

// True when `name` can be written as an element or attribute name: ASCII
// letters and "_" to start, then letters, digits, "-", "." and "_". A colon is
// refused too, so every name is also well-formed for a namespace-aware parser
// (a prefix would need a declaration the documents never carry).
namespace xml_name {
inline constexpr unsigned char kStart = 1, kLater = 2;
struct Classes {
  unsigned char c[256];
  constexpr Classes() : c() {
    for (int i = 'A'; i <= 'Z'; ++i) c[i] = kStart | kLater;
    for (int i = 'a'; i <= 'z'; ++i) c[i] = kStart | kLater;
    c[static_cast<unsigned char>('_')] = kStart | kLater;
    for (int i = '0'; i <= '9'; ++i) c[i] = kLater;
    c[static_cast<unsigned char>('-')] = kLater;
    c[static_cast<unsigned char>('.')] = kLater;
  }
};
inline constexpr Classes kClasses{};
}  // namespace xml_name

inline bool IsValidXmlName(std::string_view name) {
  if (name.empty() || !(xml_name::kClasses.c[static_cast<unsigned char>(name[0])] & xml_name::kStart)) return false;
  for (std::size_t i = 1; i < name.size(); ++i)
    if (!(xml_name::kClasses.c[static_cast<unsigned char>(name[i])] & xml_name::kLater)) return false;
  return true;
}

// An element name prepared for writing: its start ("<name") and end
// ("</name>") as bytes, and whether XML can carry it.
struct XmlTag {
  XmlTag() = default;
  explicit XmlTag(std::string_view name) : name(name), valid(IsValidXmlName(name)) {
    start.reserve(name.size() + 1);
    start.push_back('<');
    start.append(name);
    end.reserve(name.size() + 3);
    end.append("</").append(name).push_back('>');
  }
  std::string name;
  std::string start;
  std::string end;
  bool valid = false;
};

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
  static constexpr int kAcctOk = 0;
  static constexpr int kAcctNoRoot = 2;

  ResultDocument() { m_stack.reserve(8); }

  // Hands finished pieces to `sink` once `threshold` bytes have gathered
  // (nullptr: keep the whole text).
  void SetSink(OutputSink* sink, std::size_t threshold = std::size_t{1} << 20) {
    m_sink = sink;
    m_threshold = threshold;
  }

  // Empties the document and makes a root element of that name.
  void InitXML(std::string_view rootName);
  void SetRootAttribute(std::string_view name, std::string_view value);
  // A record element under the root; it becomes the current record element.
  void AddMajorNode(const XmlTag& tag);
  void AddMajorNode(std::string_view name) { AddMajorNode(TagOf(name)); }
  // A record element with its first attribute (its line), in one step.
  void AddMajorNode(const XmlTag& tag, std::string_view attribute, std::string_view value);
  void SetMajorNodeAttribute(std::string_view name, std::string_view value);
  // A data element (empty for now) under the current record element.
  void AddDataNode(const XmlTag& tag);
  void AddDataNode(std::string_view name);
  // Sets the text of the current data element, replacing any text it had.
  void WriteDataNode(std::string_view text, const xml::EscapeTable& table = xml::kText);
  void SetDataNodeAttribute(std::string_view name, std::string_view value);
  // AddDataNode(tag) followed by WriteDataNode(text, table), in one step: the
  // hot path of the readers.
  void AddEscapedDataNode(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table) {
    if (m_current == 0) return;
    if (m_stack.size() > m_current + 1) CloseAbove(m_current);
    if (!m_stack[m_current].contentOpen) OpenContent(m_current);
    if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
    WriteDataElement(tag, text, table);
  }
  void AddEscapedDataNode(std::string_view name, std::string_view text,
                          const xml::EscapeTable& table = xml::kTextTwice) {
    AddEscapedDataNode(TagOf(name), text, table);
  }
  // Room for `n` bytes of data elements written straight into the current
  // record (the hot path of the comma-separated reader for plain values):
  // write them with WriteElementAt, then commit the end. nullptr when no
  // record is open.
  char* RecordRoom(std::size_t n) {
    if (m_current == 0) return nullptr;
    if (m_stack.size() > m_current + 1) CloseAbove(m_current);
    m_data = DataElement{};  // what is written this way takes no later change
    return m_out.Room(n + 1);
  }
  // Before the first element written into that room: ends the record's
  // start tag when it is not ended yet.
  char* OpenRecordAt(char* p) {
    Element& e = m_stack[m_current];
    if (!e.contentOpen) {
      *p++ = '>';
      e.contentOpen = true;
    }
    return p;
  }
  void CommitRecord(const char* end) { m_out.Commit(end); }
  // Writes <name>text</name> (or <name/>) at `p`, which has room for it;
  // returns the end. A name XML cannot carry is recorded, as elsewhere.
  char* WriteElementAt(char* p, const XmlTag& tag, std::string_view text, const xml::EscapeTable& table) {
    if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
    p = OpenRecordAt(p);
    p = CopyShort(p, tag.start.data(), tag.start.size());
    if (text.empty()) {
      *p++ = '/';
      *p++ = '>';
      return p;
    }
    *p++ = '>';
    p = xml::EscapeInto(p, text, table);
    return CopyShort(p, tag.end.data(), tag.end.size());
  }
  // The room WriteElementAt needs at most for `tag` and `n` bytes of text.
  static std::size_t ElementRoom(const XmlTag& tag, std::size_t n) {
    return tag.start.size() + tag.end.size() + 2 + xml::RoomFor(n);
  }

  // An element under the current record element that becomes the current
  // record element itself ("Accounts", "PayNodes").
  void AddMajorChild(std::string_view name);
  // An "Acct" element under the current record element; the current account list.
  void AddAcctRoot();
  // A data element under the current account list: kAcctOk, or kAcctNoRoot.
  int AddAcctNode(const XmlTag& tag);
  int AddAcctNode(std::string_view name) { return AddAcctNode(TagOf(name)); }

  // The serialised document (UTF-8), closed; the document stays as built.
  std::string GetXML() const;
  // Closes the document and hands its text over (what was not streamed yet);
  // the document is empty afterwards.
  TextBuffer TakeXML();

  // A name that XML cannot carry was asked for: the read must fail.
  bool failed() const { return !m_badName.empty(); }
  const std::string& badName() const { return m_badName; }
  // A piece could not be handed to the sink.
  bool sinkFailed() const { return m_sinkFailed; }

  // Size hint for the output text.
  void Reserve(std::size_t bytes) { m_out.Reserve(bytes); }
  // Bytes written so far (streamed pieces included).
  std::size_t size() const { return m_flushed + m_out.size(); }

 private:
  // An element whose start tag is written: where it starts, where its
  // attributes end (the place of ">" or "/>"), and whether ">" is written.
  struct Element {
    std::size_t tagStart = 0;
    std::size_t tagEnd = 0;
    std::string_view end;  // "</name>": from a tag of the read or of m_names
    bool contentOpen = false;
  };
  // The current data element: always complete ("<name/>" or
  // "<name>text</name>"), possibly followed by other elements.
  struct DataElement {
    bool present = false;
    std::size_t tagStart = 0, tagEnd = 0;  // tagEnd: position of "/>" or ">"
    std::size_t textStart = 0, textEnd = 0;
    std::string_view end;
    bool hasText = false;
  };

  void NoteBadName(std::string_view name);
  // A tag for a name given as text, kept for the read.
  const XmlTag& TagOf(std::string_view name);
  void CloseAbove(std::size_t depth);
  void OpenContent(std::size_t depth);
  void StartElement(const XmlTag& tag);
  void AddData(const XmlTag& tag);
  void WriteDataElement(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table);
  void SetAttribute(std::size_t tagStart, std::size_t& tagEnd, std::string_view name, std::string_view value);
  // Replaces m_out[pos, pos + removeLen) by `insert`, moving every recorded
  // offset that lies after `pos`.
  void Splice(std::size_t pos, std::size_t removeLen, std::string_view insert);
  void AppendClosing(std::string& out) const;
  // Hands what is written so far to the sink (between records only).
  void Flush();

  bool m_hasRoot = false;
  TextBuffer m_out;
  XmlTag m_root;
  std::vector<Element> m_stack;       // open elements: root, record, major children, account list
  std::size_t m_current = 0;          // depth of the current record element (0: none)
  std::size_t m_acctDepth = 0;        // depth of the open account list (0: none open)
  bool m_acctClosed = false;          // the current account list is closed, earlier in the text
  std::size_t m_acctClosePos = 0;     // where a closed account list takes a child
  bool m_acctSelfClosed = false;      // the closed account list was written as <Acct/>
  DataElement m_data;
  std::string m_badName;
  std::deque<XmlTag> m_names;         // tags of names given as text (a few per read; stay in place)
  OutputSink* m_sink = nullptr;
  std::size_t m_threshold = 0;
  std::size_t m_flushed = 0;          // bytes handed to the sink
  bool m_rootFlushed = false;         // the root's start tag went to the sink
  bool m_sinkFailed = false;
  std::string m_scratch;
};

inline void ResultDocument::WriteDataElement(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table) {
  // One reservation for the whole element, then writes through a pointer.
  const std::size_t start = m_out.size();
  char* const base = m_out.Room(tag.start.size() + tag.end.size() + 2 + xml::RoomFor(text.size())) - start;
  char* p = CopyShort(base + start, tag.start.data(), tag.start.size());
  DataElement& d = m_data;
  d.present = true;
  d.tagStart = start;
  d.tagEnd = static_cast<std::size_t>(p - base);
  d.end = tag.end;
  if (text.empty()) {
    *p++ = '/';
    *p++ = '>';
    d.textStart = d.textEnd = d.tagEnd + 1;
    d.hasText = false;
  } else {
    *p++ = '>';
    d.textStart = static_cast<std::size_t>(p - base);
    p = xml::EscapeInto(p, text, table);
    d.textEnd = static_cast<std::size_t>(p - base);
    d.hasText = true;
    p = CopyShort(p, tag.end.data(), tag.end.size());
  }
  m_out.Commit(p);
}

}  // namespace zephrin
