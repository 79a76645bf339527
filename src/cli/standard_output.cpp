#include "cli/standard_output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/checks.h"
#include "platform/errno_text.h"

namespace zephrin::cli {

namespace {

// The error number of the first failed write; 0 while none failed.
int g_outError = 0;

bool Failed(int err) {
  if (g_outError == 0) g_outError = err != 0 ? err : EIO;
  return false;
}

}  // namespace

bool WriteOut(std::string_view text) {
  if (g_outError != 0) return false;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) return Failed(errno);
  return true;
}

bool PrintOut(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return WriteOut(text);
}

bool FlushOut() {
  if (g_outError != 0) return false;
  errno = 0;
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || std::cout.bad()) return Failed(errno);
  return true;
}

bool OutFailed() { return g_outError != 0; }

int FinishOutput(int exitCode) {
  if (FlushOut()) return exitCode;
  Refuse("cannot write to standard output: " + ErrnoText(g_outError));
  return 1;
}

}  // namespace zephrin::cli
