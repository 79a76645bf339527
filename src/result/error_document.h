// Error documents: the texts a read returns instead of its records.
//
// Every error document is built here, through the one XML writer, so that
// whatever it carries from the caller or the data file (a path, a template
// or element name, a code, a cell) is escaped the way the result document
// escapes text, and the text always parses. The engine's own wording goes in
// as it is, word for word.
//
// Three forms:
//   request form  <Error><Err>message</Err></Error>   (the read request's checks)
//   reader form   <Error>message</Error>              (the readers)
//   line form     <Error Line='N'>message</Error>     (fixed-width journal entries)
// and the entry list of the jurisdiction readers, <Error><Err Line="N">..</Err>..</Error>.
//
// Pieces come in as engine text (Windows-1252); the document is UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/export.h"

namespace zephrin {

class XmlWriter;

class ZEPHRIN_API ErrorDocument {
 public:
  [[nodiscard]] static ErrorDocument Request();
  [[nodiscard]] static ErrorDocument Reader();
  [[nodiscard]] static ErrorDocument Line(long line);
  ErrorDocument(ErrorDocument&&) noexcept;
  ~ErrorDocument();

  // The engine's own wording, as it is (no markup characters in it).
  ErrorDocument& Text(std::string_view fixed);
  // Text from the caller or the file, escaped.
  ErrorDocument& Value(std::string_view value) { return Text(value); }
  ErrorDocument& Number(long long value);

  // The finished document (UTF-8).
  [[nodiscard]] std::string Take();

  // Shorthands for a fixed message and a message around one value.
  [[nodiscard]] static std::string Reader(std::string_view message) { return Reader().Text(message).Take(); }
  [[nodiscard]] static std::string Request(std::string_view message) { return Request().Text(message).Take(); }
  [[nodiscard]] static std::string ReaderWith(std::string_view before, std::string_view value, std::string_view after) {
    return Reader().Text(before).Value(value).Text(after).Take();
  }

 private:
  ErrorDocument();
  std::unique_ptr<XmlWriter> m_w;
};

// One error of an error document, as a host finally stores it.
struct ErrorEntry {
  long line = 0;     // the line the entry (or the document) names; 0 for none
  std::string text;  // UTF-8, the engine's second escaping undone ("&amp;amp;" -> "&")
};
// The errors of an error document in their order: the text of each element
// that holds no other. Empty when the text is no XML document.
[[nodiscard]] ZEPHRIN_API std::vector<ErrorEntry> ErrorEntriesOf(std::string_view document);

// The error document of the jurisdiction readers: one Err entry, with the
// line it was found on, per problem, in the order reported.
class ErrorEntries {
 public:
  ErrorEntries();
  ~ErrorEntries();
  // The entries a document lists; one more entry counts the others.
  static constexpr std::size_t kMaxListed = 1000;
  // Adds an entry whose text is `text` (engine text, escaped here).
  void Add(int32_t line, std::string_view text);
  bool empty() const { return m_count == 0; }
  void clear();
  // "<Error>" entries "</Error>", or "" when there is none.
  [[nodiscard]] std::string Document() const;

 private:
  std::unique_ptr<XmlWriter> m_entries;
  std::size_t m_count = 0;
};

}  // namespace zephrin
