#include "readers/workbook_zip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "platform/shared_library.h"

namespace zephrin::workbook {

namespace {

// The pieces a part is parsed in.
constexpr std::size_t kChunk = 256 * 1024;

// The zip library's functions that the workbook reader calls. The library
// is loaded with the first workbook, not with the program: it brings a
// cryptography library whose loading would cost every run, CSV reads
// included, a few milliseconds.
struct ZipFunctions {
  decltype(&::zip_fdopen) fdopen;
  decltype(&::zip_discard) discard;
  decltype(&::zip_name_locate) nameLocate;
  decltype(&::zip_stat_init) statInit;
  decltype(&::zip_stat_index) statIndex;
  decltype(&::zip_fopen_index) fopenIndex;
  decltype(&::zip_fread) fread;
  decltype(&::zip_fclose) fclose;
  decltype(&::zip_get_error) getError;
  decltype(&::zip_file_get_error) fileGetError;
  decltype(&::zip_error_code_zip) errorCodeZip;
  decltype(&::zip_error_init_with_code) errorInitWithCode;
  decltype(&::zip_error_strerror) errorStrerror;
  decltype(&::zip_error_fini) errorFini;
};

template <class F>
Done Bind(const SharedLibrary& library, const char* name, F& into) {
  Expected<F> function = library.Function<F>(name);
  if (!function) return function.TakeError();
  into = *function;
  return {};
}

Expected<ZipFunctions> BindZipFunctions() {
  Expected<SharedLibrary> library = SharedLibrary::Open(ZEPHRIN_LIBZIP_SONAME);
  if (!library) return Error{library.error().code, "the zip library " + library.error().message};
  ZipFunctions f{};
  const SharedLibrary& lib = *library;
  for (Done bound : {Bind(lib, "zip_fdopen", f.fdopen), Bind(lib, "zip_discard", f.discard),
                     Bind(lib, "zip_name_locate", f.nameLocate), Bind(lib, "zip_stat_init", f.statInit),
                     Bind(lib, "zip_stat_index", f.statIndex), Bind(lib, "zip_fopen_index", f.fopenIndex),
                     Bind(lib, "zip_fread", f.fread), Bind(lib, "zip_fclose", f.fclose),
                     Bind(lib, "zip_get_error", f.getError), Bind(lib, "zip_file_get_error", f.fileGetError),
                     Bind(lib, "zip_error_code_zip", f.errorCodeZip),
                     Bind(lib, "zip_error_init_with_code", f.errorInitWithCode),
                     Bind(lib, "zip_error_strerror", f.errorStrerror), Bind(lib, "zip_error_fini", f.errorFini)})
    if (!bound) return bound.TakeError();
  return f;
}

// The functions, loaded once for the run (a failure, too, is kept).
const Expected<ZipFunctions>& LoadZip() {
  static const Expected<ZipFunctions> functions = BindZipFunctions();
  return functions;
}

// Once an archive is open, the library is there.
const ZipFunctions& Zip() { return *LoadZip(); }

Error Invalid(std::string reason) { return Error{ErrorCode::kInvalid, std::move(reason)}; }

// The reason libzip gives for a failure, as the engine says it.
Error ZipFailure(int code, std::string_view what) {
  switch (code) {
    case ZIP_ER_NOZIP: return Invalid("it is not a zip archive");
    case ZIP_ER_INCONS: return Invalid("its zip archive is damaged");
    case ZIP_ER_MEMORY: return Error{ErrorCode::kOutOfMemory, "there is not enough memory"};
    case ZIP_ER_NOPASSWD: case ZIP_ER_WRONGPASSWD: return Invalid(std::string(what) + " is encrypted");
    case ZIP_ER_COMPNOTSUPP: case ZIP_ER_ENCRNOTSUPP:
      return Invalid(std::string(what) + " is stored in a way that cannot be read");
    // The library's own words for these need a detail it does not give here.
    case ZIP_ER_ZLIB: case ZIP_ER_COMPRESSED_DATA:
      return Invalid(std::string(what) + " is damaged (its compressed data cannot be inflated)");
    case ZIP_ER_CRC: return Invalid(std::string(what) + " is damaged (its checksum does not match)");
    case ZIP_ER_NOENT: return Invalid(std::string(what) + " is damaged (a part it lists cannot be found)");
    default: break;
  }
  zip_error_t error;
  Zip().errorInitWithCode(&error, code);
  std::string reason = std::string(what) + " is damaged (" + Zip().errorStrerror(&error) + ")";
  Zip().errorFini(&error);
  return Invalid(std::move(reason));
}

}  // namespace

std::string Shown(std::string_view name) {
  constexpr std::size_t kMost = 80;
  std::string out = Utf8ToAnsi(name.substr(0, kMost));
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  if (name.size() > kMost) out += "...";
  return out;
}

// ---- The archive --------------------------------------------------------------

Expected<ZipArchive> ZipArchive::Open(const std::string& osPath) {
  // Never waits on a pipe, and reads only regular files.
  const int fd = ::open(osPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Error::FromErrno(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Invalid("it is not a regular file");
  }
  if (const Expected<ZipFunctions>& loaded = LoadZip(); !loaded) {
    ::close(fd);
    return loaded.error();
  }
  int code = 0;
  struct zip* z = Zip().fdopen(fd, ZIP_RDONLY, &code);
  if (!z) {
    ::close(fd);
    return ZipFailure(code, "the archive");
  }
  return ZipArchive(z);
}

ZipArchive::~ZipArchive() {
  if (m_zip) Zip().discard(m_zip);
}

bool ZipArchive::Has(const std::string& name) const { return Zip().nameLocate(m_zip, name.c_str(), ZIP_FL_NOCASE) >= 0; }

// ---- An entry -----------------------------------------------------------------

Expected<std::unique_ptr<ZipEntry>> ZipEntry::Open(const ZipArchive& archive, const std::string& name) {
  const zip_int64_t index = Zip().nameLocate(archive.m_zip, name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return Invalid(Shown(name) + " is missing");
  zip_stat_t st;
  Zip().statInit(&st);
  if (Zip().statIndex(archive.m_zip, static_cast<zip_uint64_t>(index), 0, &st) != 0)
    return ZipFailure(Zip().errorCodeZip(Zip().getError(archive.m_zip)), Shown(name));
  const uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
  const uint64_t limit =
      std::min(kMaxEntryBytes, std::max(kInflationFloor, compressed > kMaxEntryBytes ? kMaxEntryBytes
                                                                                      : compressed * kMaxInflation));
  const uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  // An entry that says it is larger than it may be is refused before it is read.
  if (size > limit) return TooLarge(name, limit);
  zip_file_t* file = Zip().fopenIndex(archive.m_zip, static_cast<zip_uint64_t>(index), 0);
  if (!file) return ZipFailure(Zip().errorCodeZip(Zip().getError(archive.m_zip)), Shown(name));
  return std::unique_ptr<ZipEntry>(new ZipEntry(file, name, size, limit));
}

ZipEntry::~ZipEntry() { Zip().fclose(m_file); }

Error ZipEntry::TooLarge(const std::string& name, uint64_t limit) {
  if (limit == kMaxEntryBytes) return Error{ErrorCode::kTooLarge, Shown(name) + " inflates past 1 GB"};
  return Error{ErrorCode::kTooLarge,
               Shown(name) + " inflates past " + std::to_string(kMaxInflation) + " times its compressed size"};
}

Expected<std::size_t> ZipEntry::Read(char* into, std::size_t n) {
  // One byte past the limit tells an entry that reaches it from one that passes it.
  const uint64_t room = m_limit - std::min(m_limit, m_read) + 1;
  const zip_int64_t got = Zip().fread(m_file, into, std::min<uint64_t>(n, room));
  if (got < 0) return ZipFailure(Zip().errorCodeZip(Zip().fileGetError(m_file)), Shown(m_name));
  m_read += static_cast<uint64_t>(got);
  if (m_read > m_limit) return TooLarge(m_name, m_limit);
  return static_cast<std::size_t>(got);
}

// ---- XML ----------------------------------------------------------------------

const char* Attribute(const char** attributes, std::string_view name) {
  for (const char** a = attributes; *a; a += 2)
    if (LocalName(*a) == name) return a[1];
  return nullptr;
}

XmlStream::XmlStream(std::unique_ptr<ZipEntry> entry, XmlHandler& handler)
    : m_entry(std::move(entry)), m_handler(handler), m_parser(XML_ParserCreateNS(nullptr, '\x01')) {
  if (!m_parser) return;
  XML_SetUserData(m_parser, this);
  XML_SetElementHandler(m_parser, &XmlStream::OnStart, &XmlStream::OnEnd);
  XML_SetCharacterDataHandler(m_parser, &XmlStream::OnText);
  XML_SetStartDoctypeDeclHandler(m_parser, &XmlStream::OnDoctype);
}

XmlStream::~XmlStream() {
  if (m_parser) XML_ParserFree(m_parser);
}

void XmlStream::OnStart(void* self, const char* name, const char** attributes) {
  static_cast<XmlStream*>(self)->m_handler.Start(LocalName(name), attributes);
}
void XmlStream::OnEnd(void* self, const char* name) { static_cast<XmlStream*>(self)->m_handler.End(LocalName(name)); }
void XmlStream::OnText(void* self, const char* text, int length) {
  static_cast<XmlStream*>(self)->m_handler.Text(text, length);
}
void XmlStream::OnDoctype(void* self, const char*, const char*, const char*, int) {
  auto* stream = static_cast<XmlStream*>(self);
  stream->Abort(Shown(stream->m_entry->name()) + " declares a document type, which no workbook part does");
}

void XmlStream::Suspend() {
  if (XML_StopParser(m_parser, XML_TRUE) == XML_STATUS_OK) m_suspended = true;
}

void XmlStream::Abort(std::string reason) {
  if (m_abort.empty()) m_abort = std::move(reason);
  XML_StopParser(m_parser, XML_FALSE);
}

Error XmlStream::Failure() {
  if (!m_abort.empty()) return Invalid(m_abort);
  if (m_readError) return *m_readError;
  const XML_Error code = XML_GetErrorCode(m_parser);
  if (code == XML_ERROR_NO_MEMORY) return Error{ErrorCode::kOutOfMemory, "there is not enough memory"};
  // Columns are counted from 1, as lines are.
  return Invalid(Shown(m_entry->name()) + " is not well-formed XML (" + XML_ErrorString(code) + " at line " +
                 std::to_string(XML_GetCurrentLineNumber(m_parser)) + ", column " +
                 std::to_string(XML_GetCurrentColumnNumber(m_parser) + 1) + ")");
}

Expected<bool> XmlStream::Run() {
  if (!m_parser) return Error{ErrorCode::kOutOfMemory, "there is not enough memory"};
  if (m_finished) return false;
  if (m_suspended) {
    m_suspended = false;
    const XML_Status status = XML_ResumeParser(m_parser);
    if (status == XML_STATUS_ERROR) return Failure();
    if (m_suspended) return true;
    XML_ParsingStatus parsing;
    XML_GetParsingStatus(m_parser, &parsing);
    if (parsing.parsing == XML_FINISHED) {
      m_finished = true;
      return false;
    }
  }
  while (true) {
    void* buffer = XML_GetBuffer(m_parser, static_cast<int>(kChunk));
    if (!buffer) return Failure();
    const Expected<std::size_t> got = m_entry->Read(static_cast<char*>(buffer), kChunk);
    if (!got) {
      m_readError = got.error();
      return Failure();
    }
    const bool last = *got == 0;
    if (XML_ParseBuffer(m_parser, static_cast<int>(*got), last) == XML_STATUS_ERROR) return Failure();
    if (m_suspended) return true;
    if (last) {
      m_finished = true;
      return false;
    }
  }
}

Done ParsePart(const ZipArchive& archive, const std::string& name, XmlHandler& handler) {
  auto entry = ZipEntry::Open(archive, name);
  if (!entry) return entry.TakeError();
  XmlStream stream(std::move(*entry), handler);
  while (true) {
    const Expected<bool> more = stream.Run();
    if (!more) return more.error();
    if (!*more) return {};
  }
}

}  // namespace zephrin::workbook
