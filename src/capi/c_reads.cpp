// The typed reads of the C interface: the whole text, or the text handed to
// the host in pieces as it is made, with progress and cancelling.
#include <new>
#include <string>

#include "capi/service_object.h"
#include "capi/zephrinimport.h"
#include "result/read_result.h"

namespace zephrin::capi {
namespace {

static_assert(static_cast<int>(ReadOutcome::kDocument) == ZEPHRINIMPORT_DOCUMENT);
static_assert(static_cast<int>(ReadOutcome::kError) == ZEPHRINIMPORT_ERROR);
static_assert(static_cast<int>(ReadOutcome::kEmpty) == ZEPHRINIMPORT_EMPTY);
static_assert(static_cast<int>(ReadOutcome::kUnknownFormat) == ZEPHRINIMPORT_UNKNOWN_FORMAT);
static_assert(static_cast<int>(MessageIcon::Error) == ZEPHRINIMPORT_ICON_ERROR);
static_assert(static_cast<int>(MessageIcon::Information) == ZEPHRINIMPORT_ICON_INFORMATION);

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }

zephrinimport_outcome OutcomeOf(ReadOutcome outcome) {
  return static_cast<zephrinimport_outcome>(static_cast<int>(outcome));
}

// What both read kinds ask: the file, the template, the type and the id.
ReadRequest Request(const char* importFile, const char* templateName, const char* importType, const char* id) {
  ReadRequest r;
  r.importFile = Text(importFile);
  r.templateName = Text(templateName);
  r.importType = Text(importType);
  r.id = Text(id);
  return r;
}

ReadRequest PlainRequest(const char* importFile, const char* templateName, const char* importType, const char* id,
                         const char* moreInfo) {
  ReadRequest r = Request(importFile, templateName, importType, id);
  r.moreInfo = Text(moreInfo);
  return r;
}

ReadRequest IntlRequest(const char* importFile, const char* templateName, const char* importType, const char* id,
                        short intlParam, short intlType) {
  ReadRequest r = Request(importFile, templateName, importType, id);
  r.international = true;
  r.intlParam = intlParam;
  r.intlType = intlType;
  return r;
}

// Runs a read on the object with its messages recorded for
// zephrinimport_read_messages; no dialog of a read takes an answer.
ReadResult RunRead(zephrinimport_service& s, const ReadRequest& request, const ReadHooks& hooks) {
  s.ui.TakeMessages();
  s.ui.SetAnswers({});
  s.lastReadMessages.clear();
  s.lastReadOutcome = -1;
  ReadResult read = s.service.Read(request, hooks);
  s.lastReadMessages = s.ui.TakeMessages();
  s.lastReadOutcome = static_cast<int>(read.outcome);
  return read;
}

int WholeRead(zephrinimport_service* s, const ReadRequest& request, char** xml, zephrinimport_outcome* outcome) {
  if (xml) *xml = nullptr;
  if (!s || !xml) return ZEPHRINIMPORT_INVALID_REQUEST;
  return Guarded([&]() -> int {
    Call call(*s);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    const ReadResult read = RunRead(*s, request, {});
    *xml = Give(read.text.view());
    if (!*xml) return ZEPHRINIMPORT_NO_MEMORY;
    if (outcome) *outcome = OutcomeOf(read.outcome);
    return ZEPHRINIMPORT_OK;
  });
}

// Hands the pieces of a streamed document to the host's write callback, and
// remembers whether any went and whether the host stopped taking them.
class HostSink : public OutputSink {
 public:
  HostSink(zephrinimport_write_fn write, void* userData) : m_write(write), m_userData(userData) {}
  bool Write(std::string_view piece) override {
    if (m_stopped) return false;
    if (piece.empty()) return true;
    if (m_write(m_userData, piece.data(), piece.size()) != 0) m_stopped = true;
    m_handed = true;
    return !m_stopped;
  }
  // The host's "discard what you received", when something was handed; the
  // host may answer it with "stop" as it may any piece.
  void Discard() {
    if (m_handed && m_write(m_userData, nullptr, 0) != 0) m_stopped = true;
    m_handed = false;
  }
  bool stopped() const { return m_stopped; }

 private:
  zephrinimport_write_fn m_write;
  void* m_userData;
  bool m_handed = false;
  bool m_stopped = false;
};

int StreamedRead(zephrinimport_service* s, const ReadRequest& request, zephrinimport_write_fn write,
                 zephrinimport_progress_fn progress, void* userData, zephrinimport_outcome* outcome) {
  if (outcome) *outcome = ZEPHRINIMPORT_ERROR;
  if (!s || !write) return ZEPHRINIMPORT_INVALID_REQUEST;
  return Guarded([&]() -> int {
    Call call(*s);
    if (!call.entered()) return ZEPHRINIMPORT_BUSY;
    HostSink sink(write, userData);
    ReadHooks hooks;
    hooks.sink = &sink;
    // A host that stopped taking the text cancels the rest of the read too.
    hooks.progress = [&](std::size_t done, std::size_t total) {
      return !sink.stopped() && (!progress || progress(userData, done, total) != 0);
    };
    const ReadResult read = RunRead(*s, request, hooks);
    if (sink.stopped()) return ZEPHRINIMPORT_WRITE_STOPPED;
    // Pieces of a document that then failed are void; the final text follows.
    if (read.outcome != ReadOutcome::kDocument) sink.Discard();
    if (sink.stopped()) return ZEPHRINIMPORT_WRITE_STOPPED;
    if (!read.text.empty() && !sink.Write(read.text.view())) return ZEPHRINIMPORT_WRITE_STOPPED;
    if (outcome) *outcome = OutcomeOf(read.outcome);
    return ZEPHRINIMPORT_OK;
  });
}

}  // namespace
}  // namespace zephrin::capi

using namespace zephrin::capi;

extern "C" {

int zephrinimport_read_import_file(zephrinimport_service* service, const char* import_file, const char* template_name,
                                   const char* import_type, const char* id, const char* more_info, char** xml,
                                   zephrinimport_outcome* outcome) {
  try {
    return WholeRead(service, PlainRequest(import_file, template_name, import_type, id, more_info), xml, outcome);
  } catch (...) {
    return ZEPHRINIMPORT_NO_MEMORY;
  }
}

int zephrinimport_read_intl_import_file(zephrinimport_service* service, const char* import_file,
                                        const char* template_name, const char* import_type, const char* id,
                                        short intl_param, short intl_type, char** xml, zephrinimport_outcome* outcome) {
  try {
    return WholeRead(service, IntlRequest(import_file, template_name, import_type, id, intl_param, intl_type), xml,
                     outcome);
  } catch (...) {
    return ZEPHRINIMPORT_NO_MEMORY;
  }
}

int zephrinimport_stream_import_file(zephrinimport_service* service, const char* import_file, const char* template_name,
                                     const char* import_type, const char* id, const char* more_info,
                                     zephrinimport_write_fn write, zephrinimport_progress_fn progress, void* user_data,
                                     zephrinimport_outcome* outcome) {
  try {
    return StreamedRead(service, PlainRequest(import_file, template_name, import_type, id, more_info), write, progress,
                        user_data, outcome);
  } catch (...) {
    return ZEPHRINIMPORT_NO_MEMORY;
  }
}

int zephrinimport_stream_intl_import_file(zephrinimport_service* service, const char* import_file,
                                          const char* template_name, const char* import_type, const char* id,
                                          short intl_param, short intl_type, zephrinimport_write_fn write,
                                          zephrinimport_progress_fn progress, void* user_data,
                                          zephrinimport_outcome* outcome) {
  try {
    return StreamedRead(service, IntlRequest(import_file, template_name, import_type, id, intl_param, intl_type),
                        write, progress, user_data, outcome);
  } catch (...) {
    return ZEPHRINIMPORT_NO_MEMORY;
  }
}

}  // extern "C"
