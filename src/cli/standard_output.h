// Standard output, where the commands write what they print. Every write and
// flush is checked: the first failure is kept, later writes are dropped, and
// the program ends with one line on standard error and exit status 1 instead
// of a success that lost the text (a full disk, a closed pipe).
#pragma once

#include <string_view>

namespace zephrin::cli {

// Writes `text`; false when it, or an earlier write, failed.
bool WriteOut(std::string_view text);
// printf to standard output, checked as WriteOut is.
bool PrintOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Flushes standard output; false when that, or an earlier write, failed.
bool FlushOut();
// Whether a write or flush to standard output has failed.
bool OutFailed();
// The end of the program's output: flushes standard output (text CLI11
// printed through std::cout included) and returns `exitCode`, or 1 after the
// line "zephrinimport: cannot write to standard output: REASON" when a write
// failed.
int FinishOutput(int exitCode);

}  // namespace zephrin::cli
