// What kind of value each import item holds: an amount, a rate, a date, a
// year, a whole number, a code or text. The kinds are data kept beside the
// items in the catalogue's tables; amount rules of a read and the review of
// an import look them up here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "catalogue/catalogue.h"

namespace zephrin {

enum class ValueKind : std::uint8_t { kText, kCode, kAmount, kRate, kDate, kYear, kWholeNumber };

// The kind of item `position` of a catalogue key list (an item set's keys, a
// built-in list or an international kind's keys, as the catalogue hands them
// out); nullopt for a list the catalogue does not hold or a position past
// its end.
std::optional<ValueKind> FindValueKind(ItemList keys, std::size_t position);
// The same, text when the catalogue has no kind for it.
ValueKind ValueKindAt(ItemList keys, std::size_t position);
// The kind of the item with this key name in the list; text when the list
// has no such key or the catalogue has no kind for it.
ValueKind ValueKindOf(ItemList keys, std::string_view keyName);

// The kind in words, for messages: "text", "code", "amount", "rate", "date",
// "year", "whole number".
std::string_view ValueKindName(ValueKind kind);

}  // namespace zephrin
