#include "platform/format.h"

#include <cstdio>

namespace zephrin {

std::string FormatV(const char* format, va_list args) {
  char buffer[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(n));
  std::string text(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return text;
}

}  // namespace zephrin
