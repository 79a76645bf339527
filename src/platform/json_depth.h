// A bound on how deeply a JSON text nests its arrays and objects. The JSON
// library parses any depth, but copying, comparing or writing a value
// recurses once a level: a request of a few kilobytes of brackets would
// overflow the stack. Every JSON text from outside is measured first.
#pragma once

#include <string_view>

namespace zephrin {

// Deeper than any text of the engine's own nests.
inline constexpr int kMaxJsonDepth = 100;

// Whether `text` opens more than `limit` arrays and objects inside one
// another (brackets inside strings do not count). The text need not be
// valid JSON.
inline bool JsonNestsDeeper(std::string_view text, int limit = kMaxJsonDepth) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

}  // namespace zephrin
