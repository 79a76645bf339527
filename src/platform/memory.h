// Memory for the large buffers of the engine: advice for those of a read (the
// data file and the result text), and buffers of a size from outside.
#pragma once

#include <cstddef>
#include <string>

#include "platform/expected.h"

namespace zephrin {

// Asks the system to back the 2 MB-aligned part of [data, data + bytes) with
// huge pages, so that filling a buffer of many megabytes costs a few hundred
// page faults instead of tens of thousands. Advice only: buffers under 8 MB
// are left alone, and nothing changes when the system does not take it.
void AdviseHugePages(void* data, std::size_t bytes);

// Makes `text` `size` bytes long (NUL bytes, to be overwritten): the one
// place where a buffer of a size from outside (a file's length) is had
// without an exception; kOutOfMemory or kTooLarge when it cannot be.
[[nodiscard]] Done SizeText(std::string& text, std::size_t size);

}  // namespace zephrin
