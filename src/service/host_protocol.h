// The host protocol: JSON-RPC 2.0 requests, one per line, run in order on one
// service object. Every front end (`zephrinimport call`, the web server) and
// every end-to-end test reaches the service object this way.
//
// Request:  {"jsonrpc":"2.0","id":1,"method":"SetCurrentYear","params":[2025]}
//           params: the method's inputs in table order, or
//           {"args":[...],"answers":[...]} where answers are the user's replies
//           to the file dialogs the call opens (a path, or null: cancelled).
// Response: {"jsonrpc":"2.0","id":1,"result":{"value":V,"status":S,"messages":[...]}}
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/user_interface.h"
#include "result/text_buffer.h"
#include "service/xml_wrapper.h"
#include "platform/export.h"

namespace zephrin {

class ZEPHRIN_API HostProtocol {
 public:
  // The protocol owns the recording user interface of the service object it
  // drives; `ui` may be a front end's own recording interface.
  HostProtocol(CxmlWrapper& service, RecordingUserInterface& ui) : m_service(service), m_ui(ui) {}

  // Handles one request line. Returns the response line (without a line end),
  // or nullopt for a notification (a request without "id").
  // Never throws: a failure inside the engine answers that request with the
  // JSON-RPC internal error (-32603), and a read that runs out of memory with
  // the error document of a file too large to read.
  std::optional<std::string> HandleLine(std::string_view line);

  struct CallOptions {
    // How long to wait for a call that holds the service object; nullopt:
    // as long as it takes. A caller that waited in vain is answered -32001.
    std::optional<std::chrono::milliseconds> wait;
    // Runs before the method, told whether the request carries its own
    // answers to file dialogs.
    std::function<void(bool carriesAnswers)> beforeCall;
    // Runs after the method, while the service object is still held.
    std::function<void()> afterCall;
  };
  // Handles one request line and writes its response (without a line end)
  // to `out`, a large text straight from the read's buffer. False for a
  // notification (no response). Calls are serialised: one at a time.
  bool HandleLine(std::string_view line, OutputSink& out, const CallOptions& options = {});

 private:
  std::timed_mutex m_lock;
  CxmlWrapper& m_service;
  RecordingUserInterface& m_ui;
};

}  // namespace zephrin
