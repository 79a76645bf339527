// The result document: the XML text a read returns.
//
// The document is written as it is built: every operation appends its bytes
// to the output text at once, and a record costs no more than appending them.
// The few operations that change what is already written (an attribute set
// after an element's text, a text replaced, an element appended to an account
// list that is no longer the last child, a root attribute set late) splice the
// output in place; that only ever touches the current record, except for the
// rare late root attribute.
//
// Names and values come in as the engine's Windows-1252 text; the output is
// UTF-8. Serialisation is what a host's DOM gives: no XML declaration,
// attributes in double quotes, an empty element as <name/>, nothing between
// elements, "&", "<" and ">" escaped in text, "&", "<" and '"' in attributes.
// Characters that XML 1.0 forbids (control characters other than tab, line
// feed and carriage return) are written as a space, so the output is always
// well-formed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin {

// "amp;" inserted after every "&", then "<" -> "&lt;" and ">" -> "&gt;".
std::string EscapeXmlText(std::string_view text);

// Names the engine writes: ASCII letters and "_" to start, then letters,
// digits, "-", "." and "_". A colon is refused too, so that every name is
// also well-formed for a namespace-aware parser (a prefix would need a
// declaration the documents never carry).
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

// True when `name` can be written as an element or attribute name.
inline bool IsValidXmlName(std::string_view name) {
  if (name.empty() || !(xml_name::kClasses.c[static_cast<unsigned char>(name[0])] & xml_name::kStart)) return false;
  for (std::size_t i = 1; i < name.size(); ++i)
    if (!(xml_name::kClasses.c[static_cast<unsigned char>(name[i])] & xml_name::kLater)) return false;
  return true;
}

// Appends `text` to `out` as XML character data (or, with `attribute`, as an
// attribute value), converting Windows-1252 to UTF-8.
void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute);

class ResultDocument {
 public:
  // Outcomes of AddAcctNode.
  static constexpr int kAcctOk = 0;
  static constexpr int kAcctEngineFailure = 1;
  static constexpr int kAcctNoRoot = 2;

  ResultDocument();

  // Whether the document exists. A document that could not be created makes
  // InitXML report 1 (kept for hosts and tests that simulate that failure).
  bool exists() const { return m_exists; }
  void SetExists(bool exists) { m_exists = exists; }

  // Empties the document and makes a root element of that name. 0 on
  // success, 1 when the document does not exist.
  int InitXML(std::string_view rootName);
  void SetRootAttribute(std::string_view name, std::string_view value);
  // A record element under the root; it becomes the current record element.
  void AddMajorNode(std::string_view name);
  void SetMajorNodeAttribute(std::string_view name, std::string_view value);
  // A data element under the current record element.
  void AddDataNode(std::string_view name);
  // Sets the text of the current data element, replacing any text it had.
  void WriteDataNode(std::string_view text);
  // The same with EscapeXmlText applied to `text` first (without building the
  // escaped copy): the hot path of the readers.
  void WriteDataNodeEscaped(std::string_view text);
  void SetDataNodeAttribute(std::string_view name, std::string_view value);
  // AddDataNode(name) followed by WriteDataNodeEscaped(text), in one step.
  void AddEscapedDataNode(std::string_view name, std::string_view text);
  // An element under the current record element that becomes the current
  // record element itself ("Accounts", "PayNodes").
  void AddMajorChild(std::string_view name);
  // An "Acct" element under the current record element; the current account list.
  void AddAcctRoot();
  // A data element under the current account list: kAcctOk, or kAcctNoRoot.
  int AddAcctNode(std::string_view name);

  // The serialised document (UTF-8). The document stays as built.
  std::string GetXML();
  // The serialised document, moved out: the document is empty afterwards.
  std::string TakeXML();

  // The first element or attribute name that was not a valid XML name, if
  // any: such a name makes the read fail instead of giving bad XML.
  bool failed() const { return !m_badName.empty(); }
  const std::string& badName() const { return m_badName; }

  // Number of record elements added since InitXML.
  std::size_t recordCount() const { return m_records; }
  // Size hint for the output text.
  void Reserve(std::size_t bytes);
  // Bytes of output text written so far.
  std::size_t size() const { return m_out.size(); }

 private:
  // An element whose start tag is written: where it starts, where its
  // attributes end (the place of ">" or "/>"), and whether ">" is written.
  struct Element {
    std::size_t tagStart = 0;
    std::size_t tagEnd = 0;
    uint32_t nameLen = 0;
    bool closedTag = false;  // ">" written: children or text follow
  };
  // The current data element: always complete ("<name/>" or
  // "<name>text</name>"), possibly followed by other elements.
  struct DataElement {
    bool present = false;
    std::size_t tagStart = 0, tagEnd = 0;  // tagEnd: position of "/>" or ">"
    std::size_t textStart = 0, textEnd = 0;
    uint32_t nameLen = 0;
    bool hasText = false;
  };

  // Every name is checked by its content, each time it is written: a name
  // is a few bytes, and the table makes the check cheaper than any cache.
  void CheckName(std::string_view name) {
    if (!IsValidXmlName(name)) [[unlikely]] NoteBadName(name);
  }
  void NoteBadName(std::string_view name);
  // Closes the open elements above `depth` (an index of m_stack).
  void CloseAbove(std::size_t depth);
  // Writes ">" after the start tag of the element at `depth` if not yet done.
  void OpenContent(std::size_t depth);
  void StartElement(std::string_view name);
  void AddData(std::string_view name);
  // Writes <name>text</name> (text escaped twice) at `start`, within the
  // room m_out has; false when the room is too small.
  bool WriteEscapedElement(std::size_t start, std::string_view name, std::string_view text);
  void WriteText(std::string_view text, bool engineEscape);
  void SetAttribute(std::size_t tagStart, std::size_t& tagEnd, std::string_view name, std::string_view value);
  // Replaces m_out[pos, pos + removeLen) by `insert`, moving every recorded
  // offset that lies after `pos`.
  void Splice(std::size_t pos, std::size_t removeLen, std::string_view insert);
  void CloseAllInto(std::string& out, bool finalClose);
  std::size_t TagNameLength(std::size_t tagStart) const;

  bool m_exists = true;
  bool m_hasRoot = false;
  std::string m_out;
  std::vector<Element> m_stack;       // open elements: root, record, major children, account list
  std::size_t m_current = 0;          // depth of the current record element (0: none)
  std::size_t m_acctDepth = 0;        // depth of the open account list (0: none open)
  bool m_acctClosed = false;          // the current account list is closed, earlier in the text
  std::size_t m_acctClosePos = 0;     // where a closed account list takes a child
  bool m_acctSelfClosed = false;      // the closed account list was written as <Acct/>
  DataElement m_data;
  std::size_t m_records = 0;
  std::string m_badName;
  std::string m_scratch;
};

}  // namespace zephrin
