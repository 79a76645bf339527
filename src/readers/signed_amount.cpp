#include "readers/signed_amount.h"

#include <algorithm>
#include <charconv>

namespace zephrin {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The value without its blanks and dollar signs. Blanks between two digits
// separate thousands: they become `separator`, so that the grouping rule
// holds for them as for the separator itself ("1 234,50" is 1234.50, but
// "1,234.50  12", two figures side by side, is no amount of 1234.5012).
std::string Compact(std::string_view value, char separator) {
  std::string s;
  s.reserve(value.size());
  bool blanks = false;
  for (const char c : value) {
    if (c == ' ' || c == '\t') {
      blanks = true;
      continue;
    }
    if (c == '$') continue;
    if (blanks && IsDigit(c) && !s.empty() && IsDigit(s.back())) s.push_back(separator);
    blanks = false;
    s.push_back(c);
  }
  return s;
}

// Takes the sign marks off `s`: false when there is more than one.
bool TakeSign(std::string& s, bool& negative) {
  int marks = 0;
  if (s.size() >= 2 && Upper(s[s.size() - 1]) == 'R' &&
      (Upper(s[s.size() - 2]) == 'C' || Upper(s[s.size() - 2]) == 'D')) {
    negative = Upper(s[s.size() - 2]) == 'C';
    s.resize(s.size() - 2);
    ++marks;
  }
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    s = s.substr(1, s.size() - 2);
    negative = true;
    ++marks;
  }
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.erase(0, 1);
    ++marks;
  }
  if (!s.empty() && s.back() == '-') {
    s.pop_back();
    negative = true;
    ++marks;
  }
  return marks <= 1;
}

// The whole part's digits, its thousands separators gone: each separator
// follows one to three digits and is followed by exactly three. nullopt when
// the text is not so written.
std::optional<std::string> WholeDigits(std::string_view whole, char separator) {
  std::string digits;
  std::size_t group = 0;
  bool grouped = false;
  for (const char c : whole) {
    if (IsDigit(c)) {
      digits.push_back(c);
      ++group;
    } else if (c == separator && group != 0 && (grouped ? group == 3 : group <= 3)) {
      grouped = true;
      group = 0;
    } else {
      return std::nullopt;
    }
  }
  if (grouped && group != 3) return std::nullopt;
  // Grouped thousands never start with a zero: "0,125" is no amount of 125
  // (more likely a decimal comma the template does not expect).
  if (grouped && digits[0] == '0') return std::nullopt;
  return digits;
}

}  // namespace

std::optional<std::string> SignedAmount(std::string_view value, bool decimalComma) {
  const char mark = decimalComma ? ',' : '.';
  std::string s = Compact(value, decimalComma ? '.' : ',');
  bool negative = false;
  if (!TakeSign(s, negative)) return std::nullopt;
  const std::size_t at = s.find(mark);
  std::optional<std::string> whole =
      WholeDigits(std::string_view(s).substr(0, std::min(at, s.size())), decimalComma ? '.' : ',');
  if (!whole) return std::nullopt;
  const std::string_view fraction = at == std::string::npos ? std::string_view() : std::string_view(s).substr(at + 1);
  if (!std::all_of(fraction.begin(), fraction.end(), IsDigit)) return std::nullopt;
  if (whole->empty() && fraction.empty()) return std::nullopt;
  const bool zero = std::all_of(whole->begin(), whole->end(), [](char c) { return c == '0'; }) &&
                    std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
  std::string out = negative && !zero ? "-" : "";
  out += whole->empty() ? "0" : *whole;
  if (!fraction.empty()) out.append(".").append(fraction);
  return out;
}

namespace {

// The largest exponent written out: a value beyond is no amount anyway.
constexpr int kMaxExponent = 400;

// A number with an exponent as a plain decimal, its digits shifted exactly;
// any other text as it is (SignedAmount then judges it).
std::string WithoutExponent(std::string_view text) {
  const std::size_t e = text.find_first_of("eE");
  if (e == std::string_view::npos) return std::string(text);
  std::string_view mantissa = text.substr(0, e), power = text.substr(e + 1);
  std::string sign;
  if (!mantissa.empty() && (mantissa[0] == '-' || mantissa[0] == '+')) {
    if (mantissa[0] == '-') sign = "-";
    mantissa.remove_prefix(1);
  }
  if (!power.empty() && power[0] == '+') {
    power.remove_prefix(1);
    if (power.empty() || !IsDigit(power[0])) return std::string(text);
  }
  int exponent = 0;
  const auto [end, ec] = std::from_chars(power.data(), power.data() + power.size(), exponent);
  if (ec != std::errc() || end != power.data() + power.size() || exponent > kMaxExponent || exponent < -kMaxExponent)
    return std::string(text);
  const std::size_t point = mantissa.find('.');
  std::string digits(mantissa.substr(0, point));
  if (point != std::string_view::npos) digits += mantissa.substr(point + 1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) return std::string(text);
  const long whole = static_cast<long>(point == std::string_view::npos ? mantissa.size() : point) + exponent;
  if (whole <= 0) return sign + "0." + std::string(static_cast<std::size_t>(-whole), '0') + digits;
  const auto at = static_cast<std::size_t>(whole);
  if (at >= digits.size()) digits.append(at - digits.size(), '0');
  std::string out = digits.substr(0, at);
  // The whole part without the zeros ahead of it ("00.5E2" is 50).
  out.erase(0, std::min(out.find_first_not_of('0'), out.size() - 1));
  if (at < digits.size()) out.append(".").append(digits.substr(at));
  return sign + out;
}

}  // namespace

std::optional<std::string> SignedCellAmount(std::string_view value, bool number, bool decimalComma) {
  if (!number) return SignedAmount(value, decimalComma);
  return SignedAmount(WithoutExponent(value), false);
}

namespace {

// A signed plain decimal as its sign and its digits, the decimal point
// taken out and the fraction padded with zeros to `decimals` digits.
struct Digits {
  bool negative = false;
  std::string digits;
};

Digits Scaled(std::string_view amount, std::size_t decimals) {
  Digits d;
  if (!amount.empty() && amount.front() == '-') {
    d.negative = true;
    amount.remove_prefix(1);
  }
  const std::size_t point = amount.find('.');
  const std::size_t own = point == std::string_view::npos ? 0 : amount.size() - point - 1;
  for (const char c : amount)
    if (c != '.') d.digits.push_back(c);
  d.digits.append(decimals - own, '0');
  return d;
}

std::size_t Decimals(std::string_view amount) {
  const std::size_t point = amount.find('.');
  return point == std::string_view::npos ? 0 : amount.size() - point - 1;
}

// a + b or a - b of two digit strings of the same length (a >= b for a
// difference); the result has the same length.
std::string AddDigits(const std::string& a, const std::string& b, bool subtract) {
  std::string out(a.size(), '0');
  int carry = 0;
  for (std::size_t i = a.size(); i-- > 0;) {
    int d = (a[i] - '0') + (subtract ? -(b[i] - '0') : (b[i] - '0')) + carry;
    carry = d < 0 ? -1 : d > 9 ? 1 : 0;
    d -= carry * 10;
    out[i] = static_cast<char>('0' + d);
  }
  if (carry > 0) out.insert(out.begin(), '1');
  return out;
}

}  // namespace

std::string AmountDifference(std::string_view debit, std::string_view credit) {
  const std::size_t decimals = std::max(Decimals(debit), Decimals(credit));
  Digits a = Scaled(debit, decimals), b = Scaled(credit, decimals);
  b.negative = !b.negative;  // a - b is a + (-b)
  const std::size_t width = std::max(a.digits.size(), b.digits.size());
  a.digits.insert(0, width - a.digits.size(), '0');
  b.digits.insert(0, width - b.digits.size(), '0');
  Digits sum;
  if (a.negative == b.negative) {
    sum = {a.negative, AddDigits(a.digits, b.digits, false)};
  } else if (a.digits >= b.digits) {
    sum = {a.negative, AddDigits(a.digits, b.digits, true)};
  } else {
    sum = {b.negative, AddDigits(b.digits, a.digits, true)};
  }
  std::string& d = sum.digits;
  d.insert(0, decimals + 1 > d.size() ? decimals + 1 - d.size() : 0, '0');
  std::string whole = d.substr(0, d.size() - decimals);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  const bool zero = d.find_first_not_of('0') == std::string::npos;
  std::string out = sum.negative && !zero ? "-" : "";
  out += whole;
  if (decimals > 0) out.append(".").append(d, d.size() - decimals, decimals);
  return out;
}

}  // namespace zephrin
