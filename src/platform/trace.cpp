#include "platform/trace.h"

#include <cstdarg>
#include <cstdlib>

#include "platform/format.h"

namespace zephrin {

std::unique_ptr<TraceSink> TraceSink::FromEnvironment() {
  const char* path = std::getenv("ZEPHRINIMPORT_TRACE");
  if (!path || !*path) return nullptr;
  return Open(path);
}

std::unique_ptr<TraceSink> TraceSink::Open(const char* path) {
  std::FILE* file = std::fopen(path, "a");
  if (!file) return nullptr;
  return std::unique_ptr<TraceSink>(new TraceSink(file));
}

TraceSink::~TraceSink() { std::fclose(m_file); }

void TraceSink::Write(std::string_view line) {
  // One line per trace call; embedded line ends are kept as they are.
  std::fwrite(line.data(), 1, line.size(), m_file);
  std::fputc('\n', m_file);
  std::fflush(m_file);
}

void Tracer::Format(const char* format, ...) const {
  if (!m_sink) return;
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void Tracer::FormatV(const char* format, std::va_list args) const {
  if (m_sink) m_sink->Write(zephrin::FormatV(format, args));
}

}  // namespace zephrin
