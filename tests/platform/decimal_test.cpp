// Exact decimal sums: every digit kept, whatever the length.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/decimal.h"
#include "platform/decimal_counter.h"

namespace zephrin {
namespace {

std::string Sum(const std::vector<const char*>& values, int minScale) {
  Decimal sum;
  for (const char* v : values) {
    const std::optional<Decimal> d = Decimal::Parse(v);
    if (!d) return std::string("not a number: ") + v;
    sum += *d;
  }
  return sum.ToString(minScale);
}

TEST(Decimal, SumsAreExact) {
  struct Row {
    std::vector<const char*> values;
    int minScale;
    const char* sum;
  };
  const Row rows[] = {
      {{"0.1", "0.2"}, 0, "0.3"},
      {{"0.1", "0.2"}, 2, "0.30"},
      {{"125.50", "-40"}, 2, "85.50"},
      {{"-40", "125.50"}, 2, "85.50"},
      {{"100.10", "-100.10"}, 2, "0.00"},
      {{"-0.5", "-0.25"}, 0, "-0.75"},
      {{"1", "-1.001"}, 0, "-0.001"},
      {{"+.5", "7."}, 0, "7.5"},
      {{"999.99", "0.01"}, 2, "1000.00"},
      {{"-000", "0.000"}, 1, "0.000"},
      {{"1234567890123456789012345678901234567890.12", "8765432109876543210987654321098765432109.88"}, 2,
       "10000000000000000000000000000000000000000.00"},
      {{"1234567890123456789012345678901234567890", "-1234567890123456789012345678901234567889.99"}, 2, "0.01"},
      {{}, 2, "0.00"},
      // Nineteen digits (the most a 64-bit word is built from) and twenty.
      {{"9999999999999999999", "1"}, 0, "10000000000000000000"},
      {{"-99999999999999999.99", "99999999999999999999"}, 0, "99899999999999999999.01"},
      // Thirty-six digits and more, and sums whose decimals no longer fit
      // the fast integer form.
      {{"999999999999999999999999999999999999", "0.00001"}, 0, "999999999999999999999999999999999999.00001"},
      {{"0.00001", "-999999999999999999999999999999999999"}, 0, "-999999999999999999999999999999999998.99999"},
      {{"12345678901234567890123456789012345678", "-2", "0.5"}, 1, "12345678901234567890123456789012345676.5"},
  };
  for (const Row& r : rows) EXPECT_EQ(Sum(r.values, r.minScale), r.sum) << r.values.size();
}

TEST(Decimal, SumsPastTheLargestIntegerStayExact) {
  const std::string nines(36, '9');
  for (const char* sign : {"", "-"}) {
    const std::vector<std::string> copies(200, sign + nines);
    std::vector<const char*> values;
    for (const std::string& v : copies) values.push_back(v.c_str());
    EXPECT_EQ(Sum(values, 2), std::string(sign) + "199999999999999999999999999999999999800.00");
  }
}

TEST(Decimal, OnlyPlainDecimalsParse) {
  for (const char* bad : {"", "-", ".", "1.2.3", "1,5", " 1", "1 ", "1e5", "abc", "--1", "12-", "0x10"})
    EXPECT_FALSE(Decimal::Parse(bad)) << bad;
}

// Lines counted up by one, with the carries into a new digit, and numbers
// that jump, go back or are negative, against the library's formatting.
TEST(DecimalCounter, DigitsOfEveryNumberInTurn) {
  std::vector<long long> numbers;
  for (long long n = 0; n <= 1200; ++n) numbers.push_back(n);
  for (const long long n : {99998LL, 99999LL, 100000LL, 100001LL, 7LL, 8LL, -3LL, -2LL, -1LL, 0LL, 1LL, 5LL, 4LL, 4LL,
                            9999999999LL, 10000000000LL, LLONG_MAX - 1, LLONG_MAX, 0LL, LLONG_MIN, LLONG_MIN + 1, 10LL})
    numbers.push_back(n);
  DecimalCounter counter;
  for (const long long n : numbers) ASSERT_EQ(counter.Digits(n), std::to_string(n));
}

}  // namespace
}  // namespace zephrin
