// The host protocol described by itself: an OpenRPC document of every method
// of the method table, for hosts and tools (`zephrinimport call --describe`).
#pragma once

#include <string>

#include "platform/export.h"

namespace zephrin {

// The document as JSON text, indented by two spaces, with a final line end.
ZEPHRIN_API std::string DescribeHostProtocol();

}  // namespace zephrin
