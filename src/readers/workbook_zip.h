// The zip container of an .xlsx workbook and its XML parts: an archive opened
// through libzip, its entries read in pieces under the limits that keep an
// archive bomb out, and a streaming XML parser (expat) over an entry. Errors
// here carry the reason alone ("xl/workbook.xml is missing"); the workbook
// source makes the sentence a person reads.
#pragma once

#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/expected.h"

struct zip;
struct zip_file;

namespace zephrin::workbook {

// An entry may inflate to 100 times its compressed size (past its first
// mebibyte, which any entry may fill), and never past 1 GB.
inline constexpr uint64_t kMaxInflation = 100;
inline constexpr uint64_t kInflationFloor = 1u << 20;
inline constexpr uint64_t kMaxEntryBytes = 1u << 30;

// A part name or reference fit for a message: engine text, printable, short.
std::string Shown(std::string_view name);

class ZipArchive {
 public:
  // Opens the archive at `osPath` (a regular file) for reading.
  static Expected<ZipArchive> Open(const std::string& osPath);
  ZipArchive(ZipArchive&& other) noexcept : m_zip(other.m_zip) { other.m_zip = nullptr; }
  ZipArchive& operator=(ZipArchive&&) = delete;
  ~ZipArchive();

  // Whether the archive holds the part `name` (compared without regard to case).
  bool Has(const std::string& name) const;

 private:
  friend class ZipEntry;
  explicit ZipArchive(struct zip* z) : m_zip(z) {}
  struct zip* m_zip;
};

// One entry of an archive, read from start to end.
class ZipEntry {
 public:
  static Expected<std::unique_ptr<ZipEntry>> Open(const ZipArchive& archive, const std::string& name);
  ~ZipEntry();
  ZipEntry(const ZipEntry&) = delete;
  ZipEntry& operator=(const ZipEntry&) = delete;

  // Reads up to `n` bytes; 0 at the end. A damaged entry, or one that
  // inflates past its limit, is an error.
  Expected<std::size_t> Read(char* into, std::size_t n);
  // Bytes read so far, and the size the archive declares (for progress).
  uint64_t consumed() const { return m_read; }
  uint64_t size() const { return m_size; }
  const std::string& name() const { return m_name; }

 private:
  static Error TooLarge(const std::string& name, uint64_t limit);
  ZipEntry(struct zip_file* f, std::string name, uint64_t size, uint64_t limit)
      : m_file(f), m_name(std::move(name)), m_size(size), m_limit(limit) {}
  struct zip_file* m_file;
  std::string m_name;
  uint64_t m_size;
  uint64_t m_limit;
  uint64_t m_read = 0;
};

// What an XML part's reader does with the elements: names come as their local
// names (whatever their prefix or namespace), attributes as expat gives them
// (name, value, ..., null), and the text between tags in pieces.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(const char* name, const char** attributes) = 0;
  virtual void End(const char* name) = 0;
  virtual void Text(const char* text, int length) = 0;
};

// The local name of an element or attribute as the parser gives it.
inline const char* LocalName(const char* name) {
  const char* local = name;
  for (const char* p = name; *p; ++p)
    if (*p == '\x01') local = p + 1;
  return local;
}
// The value of the attribute of local name `name`, or null.
const char* Attribute(const char** attributes, std::string_view name);

// An XML part streamed through expat: parsed a piece at a time, and able to
// stop after any element (Suspend, from a handler) and go on later. A part
// that declares a document type is refused (no workbook part does, and its
// entities are where an entity bomb would be).
class XmlStream {
 public:
  XmlStream(std::unique_ptr<ZipEntry> entry, XmlHandler& handler);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Parses until a handler suspends the parse (true) or the part ends (false).
  Expected<bool> Run();
  // From a handler: stop after this element, to go on at the next Run.
  void Suspend();
  // From a handler: end the parse with this reason.
  void Abort(std::string reason);
  const ZipEntry& entry() const { return *m_entry; }

 private:
  Error Failure();
  static void OnStart(void* self, const char* name, const char** attributes);
  static void OnEnd(void* self, const char* name);
  static void OnText(void* self, const char* text, int length);
  static void OnDoctype(void* self, const char*, const char*, const char*, int);

  std::unique_ptr<ZipEntry> m_entry;
  XmlHandler& m_handler;
  XML_Parser m_parser;
  bool m_suspended = false;
  bool m_finished = false;
  std::string m_abort;
  std::optional<Error> m_readError;
};

// Parses a whole part through `handler`.
Done ParsePart(const ZipArchive& archive, const std::string& name, XmlHandler& handler);

}  // namespace zephrin::workbook
