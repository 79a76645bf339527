// Exact decimal numbers of any length, for sums of amounts: no binary
// floating point, so 0.1 + 0.2 is 0.3 and a sum of forty-digit values keeps
// every digit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zephrin {

class Decimal {
 public:
  Decimal() = default;
  // A plain decimal: an optional "-" or "+", digits, and optionally "." and
  // more digits ("-1234.50", "+.5", "7."). nullopt for anything else.
  static std::optional<Decimal> Parse(std::string_view text);

  Decimal& operator+=(const Decimal& other);
  bool negative() const { return m_wide ? m_negative : m_small < 0; }
  bool zero() const { return m_wide ? m_digits.empty() : m_small == 0; }
  // The number with at least `minScale` digits after the point ("1234.50",
  // "-0.30", "12" with 0), as many as it has when more.
  std::string ToString(int minScale = 0) const;

 private:
  // Compares the magnitudes of two numbers of the same scale.
  static int CompareMagnitude(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
  void Rescale(int scale);
  void Trim();
  // Moves the number into its digit form.
  void Widen();
  void AddWide(Decimal other);

  // Numbers of up to 36 digits, which are nearly all amounts and their sums,
  // are held in one integer: `m_small` / 10^`m_scale`. Anything longer, and
  // a sum that would not fit, moves to the digit form for good.
  __extension__ using Small = __int128;
  bool m_wide = false;
  Small m_small = 0;
  int m_scale = 0;
  // The digit form: the sign and the digits of the magnitude, least
  // significant first, without leading zeros (none at all for zero);
  // `m_scale` of them are after the point.
  bool m_negative = false;
  std::vector<uint8_t> m_digits;
};

}  // namespace zephrin
