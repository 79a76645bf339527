// Amounts as accounting software writes them ("(1,234.50)", "500.00-",
// "1.234,50", "$ 75 CR"), read as signed plain decimals ("-1234.50"), and the
// difference of a debit and a credit column worked on the digits themselves.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zephrin {

// The value as a signed plain decimal, or nullopt when it is not a number.
// Blanks and dollar signs go; thousands separators go (commas when the
// decimal mark is a point, points when `decimalComma` says it is a comma,
// and blanks between digits in either; each separator is followed by three
// digits, so blanks inside the fraction make no number); the decimal mark is written
// as ".". A leading or trailing minus, brackets around the value or a
// trailing "CR" make it negative ("DR" and a leading "+" are positive; at
// most one of these marks). The digits stay as written: nothing is rounded
// and no zero is added, except a "0" before a mark with no digit ahead of
// it (".5" gives "0.5"). A zero is never negative.
std::optional<std::string> SignedAmount(std::string_view value, bool decimalComma);

// A cell's value as SignedAmount reads it; a number cell (a DIF file's, as
// its format writes numbers) has a decimal point whatever the template says,
// and may carry an exponent ("1.5E+20", "1E-07"), written out exactly
// ("150000000000000000000", "0.0000001").
std::optional<std::string> SignedCellAmount(std::string_view value, bool number, bool decimalComma);

// `debit` minus `credit`, both signed plain decimals as SignedAmount gives
// them, exactly: the result keeps the larger number of decimals of the two,
// its whole part has no leading zeros, and a zero is never negative.
std::string AmountDifference(std::string_view debit, std::string_view credit);

}  // namespace zephrin
