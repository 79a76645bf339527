// The result document: the XML text a read returns.
//
// The document is written as it is built. Records that are finished (the next
// record has started) are already serialised into the output text; only the
// current record is held as a small tree, so that every builder operation keeps
// its document meaning inside a record (attributes set after text, an element
// appended to an account list that is no longer the last child, text replaced)
// while a million records cost no more than appending their bytes.
//
// Names and values come in as the engine's Windows-1252 text; the output is
// UTF-8. Serialisation is what a host's DOM gives: no XML declaration,
// attributes in double quotes, an empty element as <name/>, nothing between
// elements, "&", "<" and ">" escaped in text, "&", "<" and '"' in attributes.
// Characters that XML 1.0 forbids (control characters other than tab, line
// feed and carriage return) are written as a space, so the output is always
// well-formed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin {

// "amp;" inserted after every "&", then "<" -> "&lt;" and ">" -> "&gt;".
std::string EscapeXmlText(std::string_view text);

// True when `name` is a valid XML element or attribute name (ASCII rules).
bool IsValidXmlName(std::string_view name);

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
  void Reserve(std::size_t bytes) { m_out.reserve(bytes); }

 private:
  struct Span {
    uint32_t off = 0;
    uint32_t len = 0;
  };
  struct Attr {
    Span name, value;
    int32_t next = -1;
  };
  struct Node {
    Span name, text;
    bool escapeText = false;  // text still needs EscapeXmlText
    int32_t firstChild = -1, lastChild = -1, nextSibling = -1;
    int32_t firstAttr = -1;
  };

  Span Store(std::string_view s);
  std::string_view View(Span s) const { return std::string_view(m_pool).substr(s.off, s.len); }
  int32_t NewNode(std::string_view name, int32_t parent);
  void SetAttr(int32_t node, std::string_view name, std::string_view value);
  void CheckName(std::string_view name);
  void FlushRecord();
  void WriteNode(int32_t node);
  void OpenRoot();
  void CloseRoot(std::string& out) const;

  bool m_exists = true;
  bool m_hasRoot = false;
  bool m_rootOpened = false;       // root start tag written to m_out
  std::string m_rootName;
  std::vector<std::pair<std::string, std::string>> m_rootAttrs;
  std::size_t m_rootTagEnd = 0;    // offset in m_out just past the root start tag

  // Current record tree. Node 0 is the record element itself when present.
  std::vector<Node> m_nodes;
  std::vector<Attr> m_attrs;
  std::string m_pool;
  int32_t m_current = -1;          // current record element (record or a major child)
  int32_t m_data = -1;             // current data element
  int32_t m_acct = -1;             // current account list element

  std::string m_out;
  std::size_t m_records = 0;
  std::string m_badName;
};

}  // namespace zephrin
