#include "readers/signed_amount.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zephrin {
namespace {

struct AmountCase {
  const char* value;
  bool decimalComma;
  std::optional<std::string> signedAmount;
};

TEST(SignedAmount, WritesEachFormAsAPlainSignedDecimal) {
  const std::optional<std::string> none;
  const AmountCase cases[] = {
      // Already plain, and the digits as written.
      {"1234.50", false, "1234.50"},
      {"-1234.50", false, "-1234.50"},
      {"+75", false, "75"},
      {"007", false, "007"},
      {"1,234.5", false, "1234.5"},
      {".5", false, "0.5"},
      {"500.", false, "500"},
      // Thousands separators, blanks and the dollar sign.
      {"2,369,666.01", false, "2369666.01"},
      {"$1,234.50", false, "1234.50"},
      {" $ 1,234.50 ", false, "1234.50"},
      {"1 234.50", false, "1234.50"},
      {"1 234 567.5", false, "1234567.5"},
      // The ways of writing a negative amount.
      {"(1,234.50)", false, "-1234.50"},
      {"($1,234.50)", false, "-1234.50"},
      {"500.00-", false, "-500.00"},
      {"500.00 -", false, "-500.00"},
      {"-$75", false, "-75"},
      {"$-75", false, "-75"},
      {"1,234.50 CR", false, "-1234.50"},
      {"1,234.50cr", false, "-1234.50"},
      {"1,234.50 DR", false, "1234.50"},
      {"1,234.50Dr", false, "1234.50"},
      // A zero is never negative.
      {"(0.00)", false, "0.00"},
      {"-0", false, "0"},
      {"0.00 CR", false, "0.00"},
      // A decimal comma: points and blanks separate thousands.
      {"1.234,50", true, "1234.50"},
      {"1 234,50", true, "1234.50"},
      {"-1.234.567,5", true, "-1234567.5"},
      {"(1.234,50)", true, "-1234.50"},
      {"1234,50-", true, "-1234.50"},
      {"12", true, "12"},
      // Not numbers: kept as written by the caller.
      {"", false, none},
      {"$", false, none},
      {"()", false, none},
      {"abc", false, none},
      {"12a", false, none},
      {"1e5", false, none},
      {"1.2.3", false, none},
      {"1.234,50", false, none},
      {"1,234.50", true, none},
      {"1,23", false, none},
      {"1234,567.00", false, none},
      {",123", false, none},
      {"1,,234", false, none},
      {"0,125", false, none},
      {"0,000,001", false, none},
      {"0.125", true, none},
      {"012,345.00", false, none},
      {"-(500)", false, none},
      {"(500)-", false, none},
      {"-500 CR", false, none},
      {"--5", false, none},
      {"5-5", false, none},
      {"CR", false, none},
      {".", false, none},
      // Blanks between digits separate thousands, or the value is two figures.
      {"1,234.50  12", false, none},
      {"1234.50 12", false, none},
      {"12 34.50", false, none},
      {"12 34,50", true, none},
      {"7 1,5", true, none},
      {"1 234,5 0", true, none},
  };
  for (const AmountCase& c : cases)
    EXPECT_EQ(SignedAmount(c.value, c.decimalComma), c.signedAmount) << '"' << c.value << '"' << c.decimalComma;
}

// A DIF number cell has a decimal point under either Amounts rule, and a
// spreadsheet writes very large and very small values with an exponent.
TEST(SignedAmount, ANumberCellWithAnExponentIsWrittenOutExactly) {
  const std::optional<std::string> none;
  const struct {
    const char* value;
    std::optional<std::string> signedAmount;
  } cases[] = {
      {"1.5E+20", "150000000000000000000"}, {"1E-07", "0.0000001"}, {"-2.5e3", "-2500"},
      {"1.25E1", "12.5"},   {"1.2345E2", "123.45"}, {"0E0", "0"},   {"-0.0E5", "0"},
      {"1234.5", "1234.5"}, {"1E999", none},        {"1E", none},   {"E5", none},
      {"1.2.3E1", none},    {"1E+-2", none},
  };
  for (const auto& c : cases)
    for (const bool comma : {false, true})
      EXPECT_EQ(SignedCellAmount(c.value, true, comma), c.signedAmount) << c.value << comma;
  // A text cell with an exponent is no amount, as before.
  EXPECT_EQ(SignedCellAmount("1E5", false, false), none);
}

TEST(AmountDifference, SubtractsExactlyKeepingTheLongerFraction) {
  struct Case {
    const char* debit;
    const char* credit;
    const char* difference;
  };
  const Case cases[] = {
      {"500.00", "0", "500.00"},
      {"0", "500.00", "-500.00"},
      {"1234.5", "0.25", "1234.25"},
      {"0.1", "0.3", "-0.2"},
      {"100", "100.00", "0.00"},
      {"-5", "-5", "0"},
      {"-5", "5", "-10"},
      {"5", "-5", "10"},
      {"999.99", "-0.01", "1000.00"},
      {"0.01", "1000", "-999.99"},
      {"007", "2", "5"},
      {"123456789012345678901234567890.12", "0.13", "123456789012345678901234567889.99"},
      {"1", "123456789012345678901234567890", "-123456789012345678901234567889"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AmountDifference(c.debit, c.credit), c.difference) << c.debit << " - " << c.credit;
}

}  // namespace
}  // namespace zephrin
