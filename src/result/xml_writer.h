// The one XML writer of the engine: every XML text it returns (result
// documents, error documents, the jurisdiction readers' documents, the
// template listing) is written through it.
//
// The text is written as it is built, straight into an output buffer, with
// the serialisation hosts know from their DOM: no XML declaration, attributes
// in double quotes (single quotes where a legacy text has them), an empty
// element as <name/>, nothing between elements. Input is the engine's
// Windows-1252 text, escaped by the tables of xml_escape.h; the output is
// UTF-8 and always well-formed.
//
// A writer with a sink hands what is finished to it once a megabyte has
// gathered (at the points its user marks with MaybeFlush), so a streamed
// document holds little more than the part still open. The rare change to
// text already written (an attribute set late, an element appended to a list
// that is no longer last) splices the buffer in place; offsets recorded
// with Track follow such a splice.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <initializer_list>
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

// An element name prepared once for a read: its start ("<name") and end
// ("</name>") as bytes, and whether XML can carry it.
struct XmlTag {
  // The start and the end are also kept at the head of a block of kBlock
  // bytes when they fit, so that the hot path writes either as one copy of
  // the whole block, with no branch on its length.
  static constexpr std::size_t kBlock = 32;
  using Block = std::array<char, kBlock>;

  // Puts `bytes` at the head of `block`, as much of them as fits; the number put.
  static std::size_t ToBlock(std::string_view bytes, Block& block) {
    return bytes.copy(block.data(), std::min(bytes.size(), kBlock));
  }

  XmlTag() = default;
  explicit XmlTag(std::string_view name) : name(name), valid(IsValidXmlName(name)) {
    start.reserve(name.size() + 1);
    start.push_back('<');
    start.append(name);
    end.reserve(name.size() + 3);
    end.append("</").append(name).push_back('>');
    ToBlock(start, startBlock);
    ToBlock(end, endBlock);
  }
  std::string name;
  std::string start;
  std::string end;
  bool valid = false;
  Block startBlock{}, endBlock{};
};

// The start tag of a record element with a number attribute (its line), up
// to the attribute's value: `<name attribute=`, prepared once for a read.
struct NumberedTag {
  NumberedTag(const XmlTag& element, std::string_view attribute) : tag(&element) {
    head.append(element.start).append(" ").append(attribute).append("=");
    XmlTag::ToBlock(head, headBlock);
  }
  const XmlTag* tag;
  std::string head;
  XmlTag::Block headBlock{};
};

// An element of a record whose three tags are prepared once for a read, each
// at the head of a block copied whole: `<name>`, `<name/>` and `</name>`.
// `whole` is false when the name is not one XML can carry, or when a tag does
// not fit its block: such an element is written the usual way.
struct PreparedElement {
  PreparedElement() = default;
  explicit PreparedElement(const XmlTag& tag) {
    const std::string open = tag.start + ">", empty = tag.start + "/>";
    whole = tag.valid && empty.size() <= XmlTag::kBlock && tag.end.size() <= XmlTag::kBlock;
    if (!whole) return;
    openLen = static_cast<uint8_t>(XmlTag::ToBlock(open, openBlock));
    emptyLen = static_cast<uint8_t>(XmlTag::ToBlock(empty, emptyBlock));
    closeLen = static_cast<uint8_t>(XmlTag::ToBlock(tag.end, closeBlock));
  }
  XmlTag::Block openBlock{}, emptyBlock{}, closeBlock{};
  uint8_t openLen = 0, emptyLen = 0, closeLen = 0;
  bool whole = false;
};

// Writes a tag's start or end (`bytes`, with its `block`) at `p`, which has
// XmlTag::kBlock bytes to spare past it; returns the end.
inline char* CopyTagAt(char* p, const std::string& bytes, const XmlTag::Block& block) {
  if (bytes.size() <= XmlTag::kBlock) [[likely]] {
    std::memcpy(p, block.data(), XmlTag::kBlock);
    return p + bytes.size();
  }
  return CopyShort(p, bytes.data(), bytes.size());
}

// Where a complete element lies in the text: its start tag up to the place of
// ">" or "/>", and its text.
struct ElementSpan {
  bool present = false;
  std::size_t tagStart = 0, tagEnd = 0;
  std::size_t textStart = 0, textEnd = 0;
  std::string_view end;  // "</name>"
  bool hasText = false;
  // The end of the whole element.
  std::size_t End() const { return hasText ? textEnd + end.size() : tagEnd + 2; }
};

class XmlWriter {
 public:
  explicit XmlWriter(OutputSink* sink = nullptr, std::size_t threshold = std::size_t{1} << 20)
      : m_sink(sink), m_threshold(threshold) {
    m_stack.reserve(8);
  }
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Where finished pieces go, once `threshold` bytes have gathered (nullptr:
  // the whole text stays in the writer).
  void SetSink(OutputSink* sink, std::size_t threshold = std::size_t{1} << 20) {
    m_sink = sink;
    m_threshold = threshold;
  }
  // Writes the text as the inside of a JSON string from here on: the bytes
  // a JSON text escapes come escaped, by each table's twin and as "\"" for
  // an attribute's double quotes.
  void SetJsonString(bool on) { m_json = on; }
  bool jsonString() const { return m_json; }

  // ---- Elements --------------------------------------------------------------
  // Starts an element (its start tag stays open for attributes); `tag` must
  // stay valid until the element ends. A name XML cannot carry is recorded
  // (see badName) and written as it is.
  void Start(const XmlTag& tag);
  // Starts an element with its first attribute, a whole number, in one write.
  void Start(const XmlTag& tag, std::string_view attribute, long long number);
  // Starts an element of a name given as text; the writer keeps its tag.
  void Start(std::string_view name) { Start(Tag(name)); }
  // The tag of a name given as text, kept for the writer's life.
  const XmlTag& Tag(std::string_view name);
  // An attribute of the innermost open element (replacing one of the same
  // name), escaped; `quote` is '"' or, for the texts that have it, '\''.
  void Attr(std::string_view name, std::string_view value, char quote = '"') {
    if (!m_stack.empty() && !m_stack.back().handedOn)
      SetAttributeAt(m_stack.back().tagStart, m_stack.back().tagEnd, name, value, quote);
  }
  // An attribute of the open element at `depth` (1: the outermost), unless
  // its start tag was handed to the sink already.
  void AttrAt(std::size_t depth, std::string_view name, std::string_view value) {
    Open& e = m_stack[depth - 1];
    if (!e.handedOn) SetAttributeAt(e.tagStart, e.tagEnd, name, value);
  }
  // Text of the innermost open element, escaped by `table`.
  void Text(std::string_view text, const xml::EscapeTable& table);
  // Ends the innermost open element; EndTo ends the elements above `depth`.
  void End();
  void EndTo(std::size_t depth);
  void EndAll() { EndTo(0); }
  // A whole element under the innermost open one: <name>text</name>, or
  // <name/> for no text. Returns where it lies, for a later change.
  ElementSpan Element(const XmlTag& tag, std::string_view text, const xml::EscapeTable& table);
  ElementSpan Element(std::string_view name, std::string_view text, const xml::EscapeTable& table) {
    return Element(Tag(name), text, table);
  }
  // An empty element with its attributes, in one go: <name a="v" .../>.
  struct Attribute {
    std::string_view name, value;
  };
  void EmptyElement(const XmlTag& tag, std::initializer_list<Attribute> attributes);
  // An empty element whose attributes are all known but one, prepared once
  // (in this writer's escaping) and then written many times: `head` runs
  // from "<name" to the varying attribute's opening quote, `tail` from its
  // closing quote to "/>".
  struct EmptyPattern {
    std::string head, tail;
    XmlTag::Block headBlock{}, tailBlock{};  // the same at the head of a block, when they fit
    bool inBlocks = false;                   // both fit
    uint8_t headLen = 0, tailLen = 0;
  };
  EmptyPattern PrepareEmpty(const XmlTag& tag, std::initializer_list<Attribute> before, std::string_view varying,
                            std::initializer_list<Attribute> after);
  // Writes a prepared element with `value` (escaped) as its varying
  // attribute; `readable` as for ElementAt.
  // (In line, from the blocks: jurisdiction files write one for each amount.)
  void EmptyElement(const EmptyPattern& pattern, std::string_view value, std::size_t readable = 0) {
    if (!pattern.inBlocks) [[unlikely]] {
      LongEmptyElement(pattern, value, readable);
      return;
    }
    char* p = OpenContentAt(m_out.Room(2 * XmlTag::kBlock + 1 + xml::RoomFor(value.size())));
    std::memcpy(p, pattern.headBlock.data(), XmlTag::kBlock);
    p = xml::EscapeInBuffer(p + pattern.headLen, value, readable, Table(xml::kAttribute));
    std::memcpy(p, pattern.tailBlock.data(), XmlTag::kBlock);
    m_out.Commit(p + pattern.tailLen);
  }
  // A finished piece of XML written by another writer, as the next child.
  void Append(const XmlWriter& fragment);

  std::size_t depth() const { return m_stack.size(); }
  // Whether the element at `depth` (1: the outermost) has content yet.
  bool HasContent(std::size_t depth) const { return m_stack[depth - 1].contentOpen; }
  // Ends the start tag of the element at `depth` (content follows it).
  void OpenContent(std::size_t depth);

  // ---- Changes to what is written --------------------------------------------
  // Sets an attribute on a start tag that lies at [tagStart, tagEnd).
  void SetAttributeAt(std::size_t tagStart, std::size_t& tagEnd, std::string_view name, std::string_view value,
                      char quote = '"');
  // Replaces the text of a complete element.
  void ReplaceText(ElementSpan& element, std::string_view text, const xml::EscapeTable& table);
  // Replaces out[pos, pos + removed) by `insert`; every open element and
  // every tracked offset after `pos` moves with it.
  void Splice(std::size_t pos, std::size_t removed, std::string_view insert);
  // Puts an empty element `tag` last in the content of `parent`, an element
  // already ended whose end tag starts at `pos` (or whose "/>" is at `pos`,
  // when `selfClosed`: it gets content and an end tag). Where the new
  // element starts.
  std::size_t InsertEmptyChild(std::size_t pos, bool selfClosed, const XmlTag& parent, const XmlTag& tag);
  // Offsets that a splice must move (they must outlive the writer's use).
  void Track(std::size_t* offset) { m_tracked.push_back(offset); }

  // ---- The hot path: prepared bytes written straight into the buffer ---------
  // Room for `n` bytes; write into it, then Commit the end.
  char* Room(std::size_t n) { return m_out.Room(n); }
  void Commit(const char* end) { m_out.Commit(end); }
  // Ends the innermost start tag at `p` when it is still open; the new end.
  char* OpenContentAt(char* p) {
    if (!m_stack.empty() && !m_stack.back().contentOpen) {
      *p++ = '>';
      m_stack.back().contentOpen = true;
    }
    return p;
  }
  // Writes <name>text</name> (or <name/>) at `p`, which has ElementRoom
  // bytes; returns the end.
  // `readable` bytes of the text's buffer may be read from its start (see
  // xml::EscapeInBuffer; 0 when nothing is known past its end).
  char* ElementAt(char* p, const XmlTag& tag, std::string_view text, const xml::EscapeTable& table,
                  std::size_t readable = 0) {
    if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
    p = CopyTagAt(p, tag.start, tag.startBlock);
    if (text.empty()) {
      *p++ = '/';
      *p++ = '>';
      return p;
    }
    *p++ = '>';
    p = xml::EscapeInBuffer(p, text, readable, Table(table));
    return CopyTagAt(p, tag.end, tag.endBlock);
  }
  // The same for a prepared element (whose `whole` is true), with `table`
  // as this writer uses it (Table).
  static char* ElementAt(char* p, const PreparedElement& e, std::string_view text, const xml::EscapeTable& table,
                         std::size_t readable) {
    if (text.empty()) {
      std::memcpy(p, e.emptyBlock.data(), XmlTag::kBlock);
      return p + e.emptyLen;
    }
    std::memcpy(p, e.openBlock.data(), XmlTag::kBlock);
    p = xml::EscapeInBuffer(p + e.openLen, text, readable, table);
    std::memcpy(p, e.closeBlock.data(), XmlTag::kBlock);
    return p + e.closeLen;
  }
  // The table as this writer uses it (its JSON twin in a JSON string).
  const xml::EscapeTable& Table(const xml::EscapeTable& table) const { return m_json ? *table.inJson : table; }
  static std::size_t ElementRoom(const XmlTag& tag, std::size_t n) {
    return tag.start.size() + tag.end.size() + 2 + xml::RoomFor(n) + XmlTag::kBlock;
  }
  // A whole element with content, written at `p` under the innermost open
  // element, whose content must be open: StartTagAt writes "<name", then
  // NumberAttributeAt may add an attribute, then comes ">" and the content;
  // EndTagAt ends it, as "/>" in place of that ">" when no content followed
  // it (`content` is where the content began). WholeTagRoom bytes are enough
  // for all but the content.
  char* StartTagAt(char* p, const XmlTag& tag) {
    if (!tag.valid) [[unlikely]] NoteBadName(tag.name);
    return CopyTagAt(p, tag.start, tag.startBlock);
  }
  // ` name="digits"`, the digits (and sign) of a number, which need no
  // escaping in any table.
  char* NumberAttributeAt(char* p, std::string_view name, std::string_view digits) const;
  // `<name attribute="digits"`, from the tag prepared for it; when 16 bytes
  // may be read from the digits' start, they are copied as one block.
  char* NumberedStartAt(char* p, const NumberedTag& tag, std::string_view digits, std::size_t readable) {
    if (!tag.tag->valid) [[unlikely]] NoteBadName(tag.tag->name);
    p = QuoteAt(CopyTagAt(p, tag.head, tag.headBlock), '"');
    if (digits.size() <= 16 && readable >= 16) {
      std::memcpy(p, digits.data(), 16);
      p += digits.size();
    } else {
      p = CopyShort(p, digits.data(), digits.size());
    }
    return QuoteAt(p, '"');
  }
  static char* EndTagAt(char* p, const XmlTag& tag, const char* content) {
    if (p == content) {
      p[-1] = '/';
      *p++ = '>';
      return p;
    }
    return CopyTagAt(p, tag.end, tag.endBlock);
  }
  static std::size_t WholeTagRoom(const XmlTag& tag, std::string_view attribute) {
    return tag.start.size() + attribute.size() + kNumberAttributeRoom + 1 + tag.end.size() + XmlTag::kBlock;
  }

  // ---- Output ----------------------------------------------------------------
  // Starts over: nothing written, nothing open.
  void Clear() {
    m_out.clear();
    m_stack.clear();
    m_flushed = 0;
    m_sinkFailed = false;
    m_badName.clear();
  }
  // A point where nothing written so far changes any more: a writer with a
  // sink hands it on once the threshold is reached. The outermost start tag
  // must be ended by then.
  void MaybeFlush() {
    if (m_sink && m_out.size() >= m_threshold) Flush();
  }
  // Ends every open element and hands over what was not streamed yet (with a
  // sink: everything goes there, and the text returned is empty).
  TextBuffer Take();
  // The text so far with every open element ended, the writer unchanged.
  std::string Peek() const;
  std::size_t size() const { return m_flushed + m_out.size(); }
  std::size_t bufferSize() const { return m_out.size(); }
  void Reserve(std::size_t bytes) { m_out.Reserve(bytes); }
  // Whether anything was handed to the sink yet (the start of the text is
  // then no longer in the buffer).
  bool flushed() const { return m_flushed != 0; }
  bool sinkFailed() const { return m_sinkFailed; }

  // A name XML cannot carry was written: the text must not be used.
  bool failed() const { return !m_badName.empty(); }
  const std::string& badName() const { return m_badName; }
  void NoteBadName(std::string_view name) {
    if (m_badName.empty()) m_badName = name.empty() ? std::string("(empty)") : std::string(name);
  }

 private:
  // Room for the spaces, quotes and digits of a number attribute.
  static constexpr std::size_t kNumberAttributeRoom = 32;
  struct Open {
    std::size_t tagStart = 0;
    std::size_t tagEnd = 0;  // where ">" or "/>" goes
    std::string_view end;    // "</name>"
    bool contentOpen = false;
    bool handedOn = false;   // its start tag went to the sink: no attribute can follow
  };
  void Flush();
  // EmptyElement for a pattern longer than its blocks.
  void LongEmptyElement(const EmptyPattern& pattern, std::string_view value, std::size_t readable);
  // Pushes `tag` as the innermost open element and writes "<name" with
  // `room` more bytes after it; CloseStartTag commits what was written
  // there (its attributes) and marks where ">" or "/>" goes.
  char* OpenStartTag(const XmlTag& tag, std::size_t room);
  void CloseStartTag(const char* end);
  // Writes an attribute's quote at `p` (two bytes at the most).
  char* QuoteAt(char* p, char quote) const {
    if (m_json && quote == '"') *p++ = '\\';
    *p++ = quote;
    return p;
  }
  // Writes ` name="value"` (the value escaped) at `p`, which has
  // AttributeRoom bytes; returns the end.
  char* AttributeAt(char* p, const Attribute& a) const {
    *p++ = ' ';
    p = CopyShort(p, a.name.data(), a.name.size());
    *p++ = '=';
    p = QuoteAt(p, '"');
    p = xml::EscapeInto(p, a.value, Table(xml::kAttribute));
    return QuoteAt(p, '"');
  }
  static std::size_t AttributeRoom(const Attribute& a) { return a.name.size() + 6 + xml::RoomFor(a.value.size()); }

  TextBuffer m_out;
  std::vector<Open> m_stack;
  std::vector<std::size_t*> m_tracked;
  std::deque<XmlTag> m_names;  // few per read; a deque keeps them in place
  OutputSink* m_sink;
  std::size_t m_threshold;
  std::size_t m_flushed = 0;
  bool m_sinkFailed = false;
  bool m_json = false;
  std::string m_badName;
  std::string m_scratch;
};

}  // namespace zephrin
