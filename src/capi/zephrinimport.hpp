// zephrinimport.hpp: a header-only C++ wrapper of the C interface
// (zephrinimport.h), for C++17 and later.
//
//   zephrinimport::Service service;                  // owns a service object
//   service.SetWritableFolder("/srv/imports/alice").value();
//   std::string listing = service.GetTemplateInfo().value();
//   zephrinimport::Read read = service.ReadImportFile("tb.csv", "CHART", "FCOA", "100").value();
//   if (read.outcome == ZEPHRINIMPORT_DOCUMENT) use(read.text);
//
// Every method returns a Result<T>: the value, or the error's code and
// message. Result::value() throws zephrinimport::Error for an error, so a
// host chooses between testing results and catching exceptions. Texts go in
// as std::string_view (a NUL inside one ends it) and come back as
// std::string; a streamed read hands its text to a Sink. The 33 methods of
// the host protocol are typed as `zephrinimport call --describe` lists them;
// Invoke calls any method by name.
//
// The wrapper holds no state of the engine: it calls the C functions only,
// so a host built against it runs with every later 1.x library. Threads: as
// the C interface, a Service's calls are serialised by the library, and a
// Service may be used from several threads at once; its messages() and
// status() are those of the last call that ended, on whichever thread (each
// call's own are in what it returns, for the calls that return a Reply).
#ifndef ZEPHRINIMPORT_HPP
#define ZEPHRINIMPORT_HPP

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zephrinimport.h"

namespace zephrinimport {

// A failed call: its result code (ZEPHRINIMPORT_INVALID_PARAMS, ...) and message.
class Error : public std::runtime_error {
 public:
  Error(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  int code() const noexcept { return m_code; }

 private:
  int m_code;
};

// A value, or the error that stands in its place.
template <class T>
class Result {
 public:
  Result(T value) : m_value(std::move(value)) {}  // NOLINT: a value converts to its result
  static Result Failure(int code, std::string message) { return Result(code, std::move(message)); }

  bool has_value() const noexcept { return m_value.has_value(); }
  explicit operator bool() const noexcept { return has_value(); }
  // The value; throws Error when there is none.
  T& value() & { return Check(), *m_value; }
  const T& value() const& { return Check(), *m_value; }
  T&& value() && { return Check(), std::move(*m_value); }
  T value_or(T other) const { return m_value ? *m_value : std::move(other); }
  T& operator*() { return *m_value; }
  const T& operator*() const { return *m_value; }
  T* operator->() { return &*m_value; }
  const T* operator->() const { return &*m_value; }
  // ZEPHRINIMPORT_OK for a value.
  int error() const noexcept { return m_code; }
  const std::string& message() const noexcept { return m_message; }

 private:
  Result(int code, std::string message) : m_code(code), m_message(std::move(message)) {}
  void Check() const {
    if (!m_value) throw Error(m_code, m_message);
  }
  std::optional<T> m_value;
  int m_code = ZEPHRINIMPORT_OK;
  std::string m_message;
};

template <>
class Result<void> {
 public:
  Result() = default;
  static Result Failure(int code, std::string message) {
    Result r;
    r.m_code = code;
    r.m_message = std::move(message);
    return r;
  }
  bool has_value() const noexcept { return m_code == ZEPHRINIMPORT_OK; }
  explicit operator bool() const noexcept { return has_value(); }
  void value() const {
    if (m_code != ZEPHRINIMPORT_OK) throw Error(m_code, m_message);
  }
  int error() const noexcept { return m_code; }
  const std::string& message() const noexcept { return m_message; }

 private:
  int m_code = ZEPHRINIMPORT_OK;
  std::string m_message;
};

// A message box a call showed.
struct Message {
  std::string caption;
  std::string text;
  zephrinimport_icon icon = ZEPHRINIMPORT_ICON_NONE;
};

// A file dialog a call opens, and the user's choice.
struct FileDialog {
  bool save = false;
  std::string title;
  std::string filter;  // "Comma Delimited(*.csv)|*.csv|..."
  int filterIndex = 1;
  std::string initialFolder;
  std::string initialFileName;
  bool mustExist = false;
  bool overwritePrompt = false;
};
struct FileChoice {
  std::string path;
  int filterIndex = 0;  // 0: the dialog's own
};

// A read's text and what it is.
struct Read {
  std::string text;
  zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
};

// Where a streamed read hands its text. Whole or nothing: Discard() voids
// what Write() received so far (a read that failed after its first piece;
// its final text follows). Write() returns false to stop the read.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(std::string_view piece) = 0;
  virtual void Discard() = 0;
};

// A Sink that keeps the text.
class StringSink : public Sink {
 public:
  bool Write(std::string_view piece) override { return text.append(piece.data(), piece.size()), true; }
  void Discard() override { text.clear(); }
  std::string text;
};

// Bytes read of the file's size; false cancels the read.
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// One argument of Invoke.
struct Arg {
  static Arg String(std::string_view s) { return Arg{{ZEPHRINIMPORT_STRING, s.data(), s.size(), 0}}; }
  static Arg Integer(long long n) { return Arg{{ZEPHRINIMPORT_INTEGER, nullptr, 0, n}}; }
  static Arg Bytes(std::string_view b) { return Arg{{ZEPHRINIMPORT_BYTES, b.data(), b.size(), 0}}; }
  zephrinimport_arg c;
};

// What Invoke returns: the method's value, typed.
struct Reply {
  zephrinimport_kind kind = ZEPHRINIMPORT_NULL;
  std::string text;  // STRING or BYTES
  long long integer = 0;
  int status = 0;
  int outcome = -1;  // a read's outcome; -1 for other methods
  std::vector<Message> messages;
};

// The library's version, "MAJOR.MINOR.PATCH", and as a number.
inline std::string Version() { return zephrinimport_version(); }
inline int VersionNumber() { return zephrinimport_version_number(); }

// A service object of the engine. Movable, not copyable.
class Service {
 public:
  // Throws Error when the object cannot be made.
  Service() : m_state(new State) {
    m_state->service = zephrinimport_create();
    if (!m_state->service) throw Error(ZEPHRINIMPORT_NO_MEMORY, zephrinimport_strerror(ZEPHRINIMPORT_NO_MEMORY));
  }
  Service(Service&&) noexcept = default;
  Service& operator=(Service&&) noexcept = default;
  ~Service() = default;
  zephrinimport_service* get() const noexcept { return m_state->service; }

  // The messages and status of the last call that ended (a copy: another
  // thread's call may replace them meanwhile).
  std::vector<Message> messages() const {
    const std::lock_guard<std::mutex> hold(m_state->last);
    return m_state->messages;
  }
  int status() const {
    const std::lock_guard<std::mutex> hold(m_state->last);
    return m_state->status;
  }

  Result<void> SetWritableFolder(std::string_view folder) {
    return Code(zephrinimport_set_writable_folder(get(), std::string(folder).c_str()));
  }
  // The host's own message boxes and file dialogs (an empty function: none).
  Result<void> OnMessage(std::function<void(const Message&)> show) {
    m_state->showMessage = std::move(show);
    return Callbacks();
  }
  Result<void> OnChooseFile(std::function<std::optional<FileChoice>(const FileDialog&)> choose) {
    m_state->chooseFile = std::move(choose);
    return Callbacks();
  }

  // Any method by name; `answers` (when given) answer its file dialogs, and
  // an empty list given answers every dialog with Cancel.
  Result<Reply> Invoke(std::string_view method, std::initializer_list<Arg> args = {},
                       const std::vector<std::optional<std::string>>* answers = nullptr) {
    std::vector<zephrinimport_arg> c;
    for (const Arg& a : args) c.push_back(a.c);
    std::vector<const char*> given;
    if (answers)
      for (const auto& a : *answers) given.push_back(a ? a->c_str() : nullptr);
    // A list given but empty is still given: the C call tells it from none
    // by the pointer, which an empty vector's data() may leave NULL.
    const char* const noAnswer = nullptr;
    const char* const* list = !answers ? nullptr : given.empty() ? &noAnswer : given.data();
    zephrinimport_reply* raw = nullptr;
    const int code = zephrinimport_invoke(get(), std::string(method).c_str(), c.data(), c.size(), list, given.size(), &raw);
    std::unique_ptr<zephrinimport_reply, void (*)(zephrinimport_reply*)> reply(raw, zephrinimport_reply_free);
    if (code != ZEPHRINIMPORT_OK) {
      const char* message = reply ? zephrinimport_reply_error(reply.get()) : nullptr;
      return Result<Reply>::Failure(code, message ? message : zephrinimport_strerror(code));
    }
    return Typed(reply.get());
  }
  // The JSON form: params as `zephrinimport call` takes them; the result
  // object's JSON. A failure's message() is the error object's JSON
  // ({"code":...,"message":"..."}), as zephrinimport_call gives it.
  Result<std::string> Call(std::string_view method, std::string_view paramsJson) {
    char* out = nullptr;
    const int code = zephrinimport_call(get(), std::string(method).c_str(), std::string(paramsJson).c_str(), &out);
    std::string text = out ? out : "";
    zephrinimport_free(out);
    if (code != ZEPHRINIMPORT_OK) return Result<std::string>::Failure(code, text);
    return text;
  }

  // ---- Reads --------------------------------------------------------------
  Result<Read> ReadImportFile(std::string_view dataFile, std::string_view templateName, std::string_view importType,
                              std::string_view id, std::string_view moreInfo = {}) {
    char* xml = nullptr;
    Read read;
    const int code = zephrinimport_read_import_file(get(), S(dataFile).c_str(), S(templateName).c_str(),
                                                    S(importType).c_str(), S(id).c_str(), S(moreInfo).c_str(), &xml,
                                                    &read.outcome);
    return WholeRead(code, xml, std::move(read));
  }
  Result<Read> ReadIntlImportFile(std::string_view dataFile, std::string_view templateName,
                                  std::string_view importType, std::string_view id, std::int16_t year,
                                  std::int16_t intlType) {
    char* xml = nullptr;
    Read read;
    const int code = zephrinimport_read_intl_import_file(get(), S(dataFile).c_str(), S(templateName).c_str(),
                                                         S(importType).c_str(), S(id).c_str(), year, intlType, &xml,
                                                         &read.outcome);
    return WholeRead(code, xml, std::move(read));
  }
  Result<zephrinimport_outcome> StreamImportFile(Sink& sink, std::string_view dataFile, std::string_view templateName,
                                                 std::string_view importType, std::string_view id,
                                                 std::string_view moreInfo = {}, Progress progress = {}) {
    Stream stream{sink, std::move(progress)};
    zephrinimport_outcome outcome = ZEPHRINIMPORT_ERROR;
    const int code = zephrinimport_stream_import_file(get(), S(dataFile).c_str(), S(templateName).c_str(),
                                                      S(importType).c_str(), S(id).c_str(), S(moreInfo).c_str(),
                                                      &Stream::Write, &Stream::Report, &stream, &outcome);
    return StreamedRead(code, outcome);
  }
  Result<zephrinimport_outcome> StreamIntlImportFile(Sink& sink, std::string_view dataFile,
                                                     std::string_view templateName, std::string_view importType,
                                                     std::string_view id, std::int16_t year, std::int16_t intlType,
                                                     Progress progress = {}) {
    Stream stream{sink, std::move(progress)};
    zephrinimport_outcome outcome = ZEPHRINIMPORT_ERROR;
    const int code = zephrinimport_stream_intl_import_file(get(), S(dataFile).c_str(), S(templateName).c_str(),
                                                           S(importType).c_str(), S(id).c_str(), year, intlType,
                                                           &Stream::Write, &Stream::Report, &stream, &outcome);
    return StreamedRead(code, outcome);
  }

  // ---- The host protocol's methods, typed ---------------------------------------
  Result<void> GetTemplateNames() { return None(Invoke("GetTemplateNames")); }
  Result<std::string> BrowseForImport(std::string_view importType) {
    return Text(Invoke("BrowseForImport", {Arg::String(importType)}));
  }
  Result<std::optional<std::string>> EditLayout(std::string_view templateName, std::int16_t intlType,
                                                std::string_view importType, std::string_view dataFile) {
    return OptionalText(Invoke("EditLayout", {Arg::String(templateName), Arg::Integer(intlType),
                                              Arg::String(importType), Arg::String(dataFile)}));
  }
  Result<void> SetImportRights(std::int32_t right, std::int32_t value) {
    return None(Invoke("SetImportRights", {Arg::Integer(right), Arg::Integer(value)}));
  }
  Result<void> PutCategoryTypes(std::string_view types) { return None(Invoke("PutCategoryTypes", {Arg::String(types)})); }
  Result<void> SetBatchIndicator(std::int32_t value) { return None(Invoke("SetBatchIndicator", {Arg::Integer(value)})); }
  Result<void> FillJurisdictionCaptions(std::string_view list) {
    return None(Invoke("FillJurisdictionCaptions", {Arg::String(list)}));
  }
  Result<std::string> SelectExportPDFFile() { return Text(Invoke("SelectExportPDFFile")); }
  Result<std::string> SelectExportFile(std::string_view fileTypes, std::string_view defaultFileName) {
    return Text(Invoke("SelectExportFile", {Arg::String(fileTypes), Arg::String(defaultFileName)}));
  }
  Result<std::int32_t> CreateExportFile(std::string_view path) {
    return Integer(Invoke("CreateExportFile", {Arg::String(path)}));
  }
  Result<std::int32_t> ExportWriteLine(std::string_view line) {
    return Integer(Invoke("ExportWriteLine", {Arg::String(line)}));
  }
  Result<std::int32_t> CloseExportFile() { return Integer(Invoke("CloseExportFile")); }
  Result<std::int32_t> ExportWrite(std::string_view text) { return Integer(Invoke("ExportWrite", {Arg::String(text)})); }
  Result<void> DeleteLayout(std::string_view templateName) {
    return None(Invoke("DeleteLayout", {Arg::String(templateName)}));
  }
  Result<std::string> GetTemplateInfo() { return Text(Invoke("GetTemplateInfo")); }
  Result<void> DeleteFileName(std::string_view dataFile) { return None(Invoke("DeleteFileName", {Arg::String(dataFile)})); }
  Result<void> SetCurrentYear(std::int16_t year) { return None(Invoke("SetCurrentYear", {Arg::Integer(year)})); }
  Result<std::optional<std::int32_t>> WriteOutputLine(std::string_view path, std::string_view line) {
    return OptionalInteger(Invoke("WriteOutputLine", {Arg::String(path), Arg::String(line)}));
  }
  Result<std::int32_t> CreateOutputFile(std::string_view path) {
    return Integer(Invoke("CreateOutputFile", {Arg::String(path)}));
  }
  Result<std::optional<std::int32_t>> CloseOutputFile(std::string_view path) {
    return OptionalInteger(Invoke("CloseOutputFile", {Arg::String(path)}));
  }
  Result<void> SetMiscItems(std::int32_t item, std::int32_t value) {
    return None(Invoke("SetMiscItems", {Arg::Integer(item), Arg::Integer(value)}));
  }
  Result<void> SetCountryOfOperation(std::string_view id, std::string_view abbreviation, std::string_view name) {
    return None(Invoke("SetCountryOfOperation", {Arg::String(id), Arg::String(abbreviation), Arg::String(name)}));
  }
  Result<void> SetCountryJurisdictions(std::string_view xml) {
    return None(Invoke("SetCountryJurisdictions", {Arg::String(xml)}));
  }
  Result<std::string> GetWriteableFolderPath() { return Text(Invoke("GetWriteableFolderPath")); }
  Result<std::string> CreateFolder(std::string_view folder) { return Text(Invoke("CreateFolder", {Arg::String(folder)})); }
  Result<void> DeleteFolder(std::string_view folder) { return None(Invoke("DeleteFolder", {Arg::String(folder)})); }
  // The file's bytes; nullopt when it cannot be read.
  Result<std::optional<std::string>> ConvertFileToByteArray(std::string_view path) {
    return OptionalText(Invoke("ConvertFileToByteArray", {Arg::String(path)}));
  }
  Result<void> ConvertByteArrayToFile(std::string_view path, std::string_view bytes) {
    return None(Invoke("ConvertByteArrayToFile", {Arg::String(path), Arg::Bytes(bytes)}));
  }
  Result<void> DeleteOITFile(std::string_view path) { return None(Invoke("DeleteOITFile", {Arg::String(path)})); }
  Result<void> InitInsurWPTemplate(std::string_view items) {
    return None(Invoke("InitInsurWPTemplate", {Arg::String(items)}));
  }
  Result<void> TaxReturnType(std::string_view type) { return None(Invoke("TaxReturnType", {Arg::String(type)})); }

 private:
  // Kept at one address for the callbacks, however the Service moves.
  struct State {
    zephrinimport_service* service = nullptr;
    mutable std::mutex last;  // guards the last call's messages and status
    std::vector<Message> messages;
    int status = 0;
    std::function<void(const Message&)> showMessage;
    std::function<std::optional<FileChoice>(const FileDialog&)> chooseFile;
    ~State() { zephrinimport_destroy(service); }
  };
  struct Stream {
    Sink& sink;
    Progress progress;
    static int Write(void* self, const char* piece, size_t size) {
      Sink& sink = static_cast<Stream*>(self)->sink;
      try {
        if (!piece) return sink.Discard(), 0;
        return sink.Write(std::string_view(piece, size)) ? 0 : 1;
      } catch (...) {
        return 1;
      }
    }
    static int Report(void* self, unsigned long long done, unsigned long long total) {
      const Progress& progress = static_cast<Stream*>(self)->progress;
      try {
        return !progress || progress(done, total) ? 1 : 0;
      } catch (...) {
        return 0;
      }
    }
  };

  static std::string S(std::string_view text) { return std::string(text); }
  static Result<void> Code(int code) {
    if (code == ZEPHRINIMPORT_OK) return {};
    return Result<void>::Failure(code, zephrinimport_strerror(code));
  }

  Result<void> Callbacks() {
    const bool message = static_cast<bool>(m_state->showMessage), choose = static_cast<bool>(m_state->chooseFile);
    return Code(zephrinimport_set_callbacks(get(), message ? &ShowMessage : nullptr, choose ? &ChooseFile : nullptr,
                                            m_state.get()));
  }
  static void ShowMessage(void* state, const char* caption, const char* text, zephrinimport_icon icon) {
    try {
      static_cast<State*>(state)->showMessage(Message{caption, text, icon});
    } catch (...) {
    }
  }
  static void ChooseFile(void* state, const zephrinimport_file_dialog* d, zephrinimport_file_choice* choice) {
    try {
      const FileDialog dialog{d->save != 0,     d->title,           d->filter,          d->filter_index,
                              d->initial_folder, d->initial_file_name, d->must_exist != 0, d->overwrite_prompt != 0};
      if (std::optional<FileChoice> chosen = static_cast<State*>(state)->chooseFile(dialog))
        zephrinimport_choose(choice, chosen->path.c_str(), chosen->filterIndex);
    } catch (...) {
    }
  }

  Result<Reply> Typed(const zephrinimport_reply* raw) {
    Reply reply;
    reply.kind = zephrinimport_reply_kind(raw);
    size_t size = 0;
    if (const char* text = zephrinimport_reply_text(raw, &size)) reply.text.assign(text, size);
    reply.integer = zephrinimport_reply_integer(raw);
    reply.status = zephrinimport_reply_status(raw);
    reply.outcome = zephrinimport_reply_outcome(raw);
    for (size_t i = 0; i < zephrinimport_reply_message_count(raw); ++i) {
      const char* caption = "";
      const char* text = "";
      zephrinimport_icon icon = ZEPHRINIMPORT_ICON_NONE;
      zephrinimport_reply_message(raw, i, &caption, &text, &icon);
      reply.messages.push_back(Message{caption, text, icon});
    }
    {
      const std::lock_guard<std::mutex> hold(m_state->last);
      m_state->messages = reply.messages;
      m_state->status = reply.status;
    }
    return reply;
  }
  Result<Read> WholeRead(int code, char* xml, Read read) {
    if (xml) read.text = xml;
    zephrinimport_free(xml);
    LastReadMessages();
    if (code != ZEPHRINIMPORT_OK) return Result<Read>::Failure(code, zephrinimport_strerror(code));
    return read;
  }
  Result<zephrinimport_outcome> StreamedRead(int code, zephrinimport_outcome outcome) {
    LastReadMessages();
    if (code != ZEPHRINIMPORT_OK) return Result<zephrinimport_outcome>::Failure(code, zephrinimport_strerror(code));
    return outcome;
  }
  // A typed read's message boxes.
  void LastReadMessages() {
    zephrinimport_reply* raw = nullptr;
    if (zephrinimport_last_read(get(), &raw) != ZEPHRINIMPORT_OK) return;
    std::unique_ptr<zephrinimport_reply, void (*)(zephrinimport_reply*)> reply(raw, zephrinimport_reply_free);
    (void)Typed(reply.get());
  }

  template <class T>
  static Result<T> Fail(const Result<Reply>& r) {
    return Result<T>::Failure(r.error(), r.message());
  }
  static Result<void> None(const Result<Reply>& r) {
    return r ? Result<void>() : Result<void>::Failure(r.error(), r.message());
  }
  static Result<std::string> Text(Result<Reply> r) {
    if (!r) return Fail<std::string>(r);
    return std::move(r->text);
  }
  static Result<std::optional<std::string>> OptionalText(Result<Reply> r) {
    if (!r) return Fail<std::optional<std::string>>(r);
    if (r->kind == ZEPHRINIMPORT_NULL) return std::optional<std::string>();
    return std::optional<std::string>(std::move(r->text));
  }
  static Result<std::int32_t> Integer(const Result<Reply>& r) {
    if (!r) return Fail<std::int32_t>(r);
    return static_cast<std::int32_t>(r->integer);
  }
  static Result<std::optional<std::int32_t>> OptionalInteger(Result<Reply> r) {
    if (!r) return Fail<std::optional<std::int32_t>>(r);
    if (r->kind == ZEPHRINIMPORT_NULL) return std::optional<std::int32_t>();
    return std::optional<std::int32_t>(static_cast<std::int32_t>(r->integer));
  }

  std::unique_ptr<State> m_state;
};

}  // namespace zephrinimport

#endif  // ZEPHRINIMPORT_HPP
