// The trace sink. When the environment variable ZEPHRINIMPORT_TRACE names a
// file, each trace line is appended to it as one line; otherwise the trace
// service counts as missing and tracing is off.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string_view>

namespace zephrin {

class TraceSink {
 public:
  // The sink named by ZEPHRINIMPORT_TRACE, or nullptr when tracing is off
  // (variable unset or empty, or the file cannot be opened).
  static std::unique_ptr<TraceSink> FromEnvironment();
  // A sink that appends to `path`; nullptr when it cannot be opened.
  static std::unique_ptr<TraceSink> Open(const char* path);

  ~TraceSink();
  TraceSink(const TraceSink&) = delete;
  TraceSink& operator=(const TraceSink&) = delete;

  void Write(std::string_view line);

 private:
  explicit TraceSink(std::FILE* file) : m_file(file) {}
  std::FILE* m_file;
};

// The trace of one service object: the two call forms, a literal line or a
// line formatted first; nothing is written (or formatted) when tracing is off.
class Tracer {
 public:
  Tracer() = default;
  explicit Tracer(std::unique_ptr<TraceSink> sink) : m_sink(std::move(sink)) {}
  bool on() const { return m_sink != nullptr; }
  void Line(std::string_view line) const {
    if (m_sink) m_sink->Write(line);
  }
  void Format(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  // The same for a caller that takes the arguments of a format of its own.
  void FormatV(const char* format, std::va_list args) const __attribute__((format(printf, 2, 0)));

 private:
  std::unique_ptr<TraceSink> m_sink;
};

}  // namespace zephrin
