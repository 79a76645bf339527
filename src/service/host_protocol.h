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

#include <optional>
#include <string>
#include <string_view>

#include "platform/user_interface.h"
#include "service/xml_wrapper.h"

namespace zephrin {

class HostProtocol {
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

 private:
  std::optional<std::string> HandleRequest(std::string_view line);
  CxmlWrapper& m_service;
  RecordingUserInterface& m_ui;
};

}  // namespace zephrin
