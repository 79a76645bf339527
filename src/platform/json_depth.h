// A bound on how deeply a JSON text nests its arrays and objects. The JSON
// library parses any depth, but copying, comparing or writing a value
// recurses once a level: a request of a few kilobytes of brackets would
// overflow the stack. Every JSON text from outside is measured first.
#pragma once

#include <cstddef>
#include <string_view>

namespace zephrin {

// Deeper than any text of the engine's own nests.
inline constexpr int kMaxJsonDepth = 100;

// Hands `look` each character of `text` outside its strings, until `look`
// returns true; returns whether it did. The text need not be valid JSON.
template <class Look>
bool AnyOutsideStrings(std::string_view text, Look&& look) {
  bool inString = false, escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (look(c)) {
      return true;
    }
  }
  return false;
}

// Whether `text` opens more than `limit` arrays and objects inside one
// another (brackets inside strings do not count).
inline bool JsonNestsDeeper(std::string_view text, int limit = kMaxJsonDepth) {
  int depth = 0;
  return AnyOutsideStrings(text, [&](char c) {
    if (c == '[' || c == '{') return ++depth > limit;
    if ((c == ']' || c == '}') && depth > 0) --depth;
    return false;
  });
}

// More members than any object of the engine's own has. The JSON type that
// keeps an object's members in their order finds each new name by a look
// through the names before it, so one object of many members costs their
// count squared: a request of a megabyte would take seconds.
inline constexpr std::size_t kMaxJsonMembers = 10000;

// Whether an object in `text` has more than `limit` members (commas inside
// strings do not count). Call it on a text that does not nest deeper than
// kMaxJsonDepth.
inline bool JsonObjectWiderThan(std::string_view text, std::size_t limit = kMaxJsonMembers) {
  // Per open array or object: whether it is an object, and its commas.
  struct Open {
    bool object;
    std::size_t commas;
  } open[kMaxJsonDepth + 1];
  int depth = 0;
  bool deeper = false;  // measured by JsonNestsDeeper
  const bool wider = AnyOutsideStrings(text, [&](char c) {
    if (c == '[' || c == '{') {
      if (depth > kMaxJsonDepth) return deeper = true;
      open[depth++] = {c == '{', 0};
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    } else if (c == ',' && depth > 0 && open[depth - 1].object) {
      return ++open[depth - 1].commas >= limit;
    }
    return false;
  });
  return wider && !deeper;
}

}  // namespace zephrin
