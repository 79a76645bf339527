// Base64 (RFC 4648, with padding): how byte arrays travel in the host protocol.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zephrin {

std::string Base64Encode(std::string_view bytes);
// nullopt when the text is not valid base64 (white space is not accepted).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace zephrin
