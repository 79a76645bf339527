// Base64 (RFC 4648, with padding): how byte arrays travel in the host protocol.
#pragma once

#include <string>
#include <string_view>

#include "platform/expected.h"

namespace zephrin {

std::string Base64Encode(std::string_view bytes);
// The bytes of base64 text; kInvalid when the text is not valid base64
// (white space is not accepted).
[[nodiscard]] Expected<std::string> Base64Decode(std::string_view text);

}  // namespace zephrin
