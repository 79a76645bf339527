// Memory for buffers of a size from outside.
#pragma once

#include <cstddef>
#include <string>

#include "platform/expected.h"

namespace zephrin {

// Makes `text` `size` bytes long (NUL bytes, to be overwritten): the one
// place where a buffer of a size from outside (a file's length) is had
// without an exception; kOutOfMemory or kTooLarge when it cannot be.
[[nodiscard]] Done SizeText(std::string& text, std::size_t size);

}  // namespace zephrin
