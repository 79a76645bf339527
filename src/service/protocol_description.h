// The host protocol described by itself, from the method table: an OpenRPC
// document for hosts and tools (`zephrinimport call --describe`), and the
// same as a page for people (docs/protocol.md).
#pragma once

#include <string>

#include "platform/export.h"

namespace zephrin {

// The OpenRPC document as JSON text, indented by two spaces, with a final line end.
ZEPHRIN_API std::string DescribeHostProtocol();
// The protocol's page (Markdown), with a final line end.
std::string DescribeHostProtocolMarkdown();

}  // namespace zephrin
