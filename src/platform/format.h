// printf-style formatting into a std::string, for trace lines and messages.
#pragma once

#include <cstdarg>
#include <string>

namespace zephrin {

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zephrin
