#include "platform/decimal.h"

#include <algorithm>

namespace zephrin {
namespace {

// The most digits the integer form takes from a text: 10^36 is well below
// the integer's limit of about 1.7 * 10^38.
constexpr std::size_t kSmallDigits = 36;

}  // namespace

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.m_negative = text[i++] == '-';
  bool digits = false, point = false;
  std::string_view intPart, fracPart;
  const std::size_t intStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  intPart = text.substr(intStart, i - intStart);
  if (i < text.size() && text[i] == '.') {
    point = true;
    const std::size_t fracStart = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
    fracPart = text.substr(fracStart, i - fracStart);
  }
  if (!digits || i != text.size()) return std::nullopt;
  (void)point;
  d.m_scale = static_cast<int>(fracPart.size());
  if (intPart.size() + fracPart.size() <= kSmallDigits) {
    const auto accumulate = [&](auto v) {
      for (const std::string_view part : {intPart, fracPart})
        for (const char c : part) v = v * 10 + static_cast<unsigned>(c - '0');
      return v;
    };
    // Up to 19 digits fit a 64-bit word, which is cheaper to build.
    d.m_small = intPart.size() + fracPart.size() <= 19 ? static_cast<Small>(accumulate(uint64_t{0}))
                                                      : accumulate(Small{0});
    if (d.m_negative) d.m_small = -d.m_small;
    d.m_negative = false;
    return d;
  }
  d.m_wide = true;
  d.m_digits.reserve(intPart.size() + fracPart.size());
  for (auto it = fracPart.rbegin(); it != fracPart.rend(); ++it) d.m_digits.push_back(static_cast<uint8_t>(*it - '0'));
  for (auto it = intPart.rbegin(); it != intPart.rend(); ++it) d.m_digits.push_back(static_cast<uint8_t>(*it - '0'));
  d.Trim();
  return d;
}

void Decimal::Trim() {
  while (!m_digits.empty() && m_digits.back() == 0) m_digits.pop_back();
  if (m_digits.empty()) m_negative = false;
}

void Decimal::Widen() {
  if (m_wide) return;
  m_wide = true;
  m_negative = m_small < 0;
  // The magnitude's digits, taken without negating the value (the most
  // negative integer has no positive twin).
  m_digits.clear();
  for (Small v = m_small; v != 0; v /= 10) {
    const int digit = static_cast<int>(v % 10);
    m_digits.push_back(static_cast<uint8_t>(digit < 0 ? -digit : digit));
  }
  m_small = 0;
}

void Decimal::Rescale(int scale) {
  if (scale <= m_scale) return;
  if (!m_wide) {
    Small v = m_small;
    bool fits = true;
    for (int k = m_scale; k < scale && fits; ++k) fits = !__builtin_mul_overflow(v, Small{10}, &v);
    if (fits) {
      m_small = v;
      m_scale = scale;
      return;
    }
    Widen();
  }
  if (!m_digits.empty()) m_digits.insert(m_digits.begin(), static_cast<std::size_t>(scale - m_scale), 0);
  m_scale = scale;
}

int Decimal::CompareMagnitude(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t k = a.size(); k-- > 0;)
    if (a[k] != b[k]) return a[k] < b[k] ? -1 : 1;
  return 0;
}

Decimal& Decimal::operator+=(const Decimal& other) {
  if (other.zero()) {
    Rescale(other.m_scale);  // the sum shows as many decimals as its terms
    return *this;
  }
  if (!m_wide && !other.m_wide) {
    Small sum;
    if (m_scale == other.m_scale && !__builtin_add_overflow(m_small, other.m_small, &sum)) {
      m_small = sum;  // the usual sum: amounts of the same decimals
      return *this;
    }
    Decimal b = other;
    const int scale = std::max(m_scale, b.m_scale);
    Rescale(scale);
    b.Rescale(scale);
    if (!m_wide && !b.m_wide && !__builtin_add_overflow(m_small, b.m_small, &sum)) {
      m_small = sum;
      return *this;
    }
    AddWide(std::move(b));
    return *this;
  }
  AddWide(other);
  return *this;
}

void Decimal::AddWide(Decimal b) {
  Widen();
  b.Widen();
  const int scale = std::max(m_scale, b.m_scale);
  Rescale(scale);
  b.Rescale(scale);
  if (zero()) {
    m_negative = b.m_negative;
    m_digits = std::move(b.m_digits);
    return;
  }
  std::vector<uint8_t>& a = m_digits;
  if (m_negative == b.m_negative) {
    // Same sign: the magnitudes add.
    a.resize(std::max(a.size(), b.m_digits.size()) + 1, 0);
    int carry = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      const int sum = a[k] + (k < b.m_digits.size() ? b.m_digits[k] : 0) + carry;
      a[k] = static_cast<uint8_t>(sum % 10);
      carry = sum / 10;
    }
  } else {
    // Opposite signs: the smaller magnitude comes off the larger, whose sign stays.
    if (CompareMagnitude(a, b.m_digits) < 0) {
      std::swap(a, b.m_digits);
      m_negative = b.m_negative;
    }
    int borrow = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      int diff = a[k] - (k < b.m_digits.size() ? b.m_digits[k] : 0) - borrow;
      borrow = diff < 0 ? 1 : 0;
      a[k] = static_cast<uint8_t>(diff + borrow * 10);
    }
  }
  Trim();
}

std::string Decimal::ToString(int minScale) const {
  if (!m_wide) {
    Decimal wide = *this;
    wide.Widen();
    return wide.ToString(minScale);
  }
  const int scale = std::max(m_scale, minScale);
  const std::size_t fracDigits = static_cast<std::size_t>(scale);
  const std::size_t shift = static_cast<std::size_t>(scale - m_scale);
  // Digit k of the number at `scale` (least significant first).
  const auto digit = [&](std::size_t k) -> char {
    if (k < shift) return '0';
    const std::size_t d = k - shift;
    return d < m_digits.size() ? static_cast<char>('0' + m_digits[d]) : '0';
  };
  const std::size_t total = std::max(m_digits.size() + shift, fracDigits + 1);
  std::string out;
  if (m_negative) out += '-';
  for (std::size_t k = total; k-- > 0;) {
    out += digit(k);
    if (k == fracDigits && fracDigits > 0) out += '.';
  }
  return out;
}

}  // namespace zephrin
