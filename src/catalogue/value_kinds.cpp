#include "catalogue/value_kinds.h"

#include <cstring>

namespace zephrin {

namespace {

struct KindLetter {
  char letter;
  ValueKind kind;
  std::string_view name;
};
constexpr KindLetter kKindLetters[] = {
    {'T', ValueKind::kText, "text"},   {'C', ValueKind::kCode, "code"},
    {'A', ValueKind::kAmount, "amount"}, {'R', ValueKind::kRate, "rate"},
    {'D', ValueKind::kDate, "date"},   {'Y', ValueKind::kYear, "year"},
    {'N', ValueKind::kWholeNumber, "whole number"},
};

}  // namespace

std::optional<ValueKind> FindValueKind(ItemList keys, std::size_t position) {
  const char* letters = ValueKindLetters(keys);
  if (letters == nullptr || position >= std::strlen(letters)) return std::nullopt;
  for (const KindLetter& k : kKindLetters)
    if (k.letter == letters[position]) return k.kind;
  return std::nullopt;
}

ValueKind ValueKindAt(ItemList keys, std::size_t position) {
  return FindValueKind(keys, position).value_or(ValueKind::kText);
}

ValueKind ValueKindOf(ItemList keys, std::string_view keyName) {
  const std::size_t n = ItemCount(keys);
  for (std::size_t i = 0; i < n; ++i)
    if (keyName == keys[i]) return ValueKindAt(keys, i);
  return ValueKind::kText;
}

std::string_view ValueKindName(ValueKind kind) {
  for (const KindLetter& k : kKindLetters)
    if (k.kind == kind) return k.name;
  return "text";
}

}  // namespace zephrin
