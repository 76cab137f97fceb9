#include "values/decimal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qln {
namespace {

Decimal num(std::string_view text) {
  Decimal d;
  EXPECT_TRUE(Decimal::parse(text, d)) << text;
  return d;
}

std::string add(std::string_view a, std::string_view b) {
  Decimal r;
  EXPECT_TRUE(Decimal::add(num(a), num(b), r));
  return r.to_text();
}
std::string sub(std::string_view a, std::string_view b) {
  Decimal r;
  EXPECT_TRUE(Decimal::subtract(num(a), num(b), r));
  return r.to_text();
}
std::string mul(std::string_view a, std::string_view b) {
  Decimal r;
  EXPECT_TRUE(Decimal::multiply(num(a), num(b), r));
  return r.to_text();
}
std::string quo(std::string_view a, std::string_view b) {
  Decimal r;
  EXPECT_TRUE(Decimal::divide(num(a), num(b), r));
  return r.to_text();
}

TEST(Decimal, ParsesAndPrintsWithoutLosingDigits) {
  EXPECT_EQ(num("1.2345678").to_text(), "1.2345678");
  EXPECT_EQ(num("12345678901234567890123").to_text(), "12345678901234567890123");
  EXPECT_EQ(num("-0.000000000000000000000000000001").to_text(),
            "-0.000000000000000000000000000001");
  EXPECT_EQ(num("+007.50").to_text(), "7.5");
  EXPECT_EQ(num(".5").to_text(), "0.5");
  EXPECT_EQ(num("5.").to_text(), "5");
  EXPECT_EQ(num("100").to_text(), "100");
  EXPECT_EQ(num("0.000").to_text(), "0");
  EXPECT_EQ(num("-0").to_text(), "-0");
  EXPECT_EQ(num("-0.00").to_text(), "-0");
  // 38 significant digits, integer and fraction.
  EXPECT_EQ(num("12345678901234567890123456789012345678").to_text(),
            "12345678901234567890123456789012345678");
  EXPECT_EQ(num("-0.12345678901234567890123456789012345678").to_text(),
            "-0.12345678901234567890123456789012345678");
  EXPECT_EQ(num("1234567890123456789.0123456789012345678901").to_text(),
            "1234567890123456789.0123456789012345678901");
}

TEST(Decimal, HoldsOracleExtremes) {
  Decimal tiny = num("1E-130");
  EXPECT_EQ(tiny.to_text(), "0." + std::string(129, '0') + "1");
  Decimal huge = num("9.99E125");
  EXPECT_EQ(huge.to_text(), "999" + std::string(123, '0'));
  EXPECT_EQ(Decimal::compare(tiny, Decimal{}), 1);
  EXPECT_EQ(Decimal::compare(huge.negated(), tiny.negated()), -1);
  // Largest Oracle NUMBER: 40 nines times 10^86.
  Decimal max = num(std::string(40, '9') + "E86");
  EXPECT_EQ(max.to_text(), std::string(40, '9') + std::string(86, '0'));
  EXPECT_EQ(max.to_text().size(), 126u);
}

TEST(Decimal, RejectsMalformedText) {
  Decimal d = num("42");
  for (std::string_view bad : {"", "-", ".", "1.2.3", "12-", "1e", "e5", " 1", "1 ", "abc",
                               "1E999999999", "++1"}) {
    EXPECT_FALSE(Decimal::parse(bad, d)) << bad;
  }
  EXPECT_EQ(d.to_text(), "42");  // untouched on failure
}

TEST(Decimal, FromPartsAndBase100) {
  Decimal d;
  ASSERT_TRUE(Decimal::from_parts(false, "001234000", -5, d));
  EXPECT_EQ(d.to_text(), "12.34");
  ASSERT_TRUE(Decimal::from_parts(true, "5", 3, d));
  EXPECT_EQ(d.to_text(), "-5000");
  EXPECT_FALSE(Decimal::from_parts(false, "12a", 0, d));

  // Stored NUMBER bytes C1 0C 23: 11.34.
  std::vector<std::uint8_t> pairs = {11, 34};
  ASSERT_TRUE(Decimal::from_base100(false, pairs, 0, d));
  EXPECT_EQ(d.to_text(), "11.34");
  // C2 02: 100 (trailing pairs not stored).
  pairs = {1};
  ASSERT_TRUE(Decimal::from_base100(false, pairs, 1, d));
  EXPECT_EQ(d.to_text(), "100");
  // C4 02: 1000000.
  ASSERT_TRUE(Decimal::from_base100(false, pairs, 3, d));
  EXPECT_EQ(d.to_text(), "1000000");
  // C0 33: 0.5.
  pairs = {50};
  ASSERT_TRUE(Decimal::from_base100(false, pairs, -1, d));
  EXPECT_EQ(d.to_text(), "0.5");
  // 3E 5A 66: -11.
  pairs = {11};
  ASSERT_TRUE(Decimal::from_base100(true, pairs, 0, d));
  EXPECT_EQ(d.to_text(), "-11");
  // Exponent byte 0x80 + 1 with pair 01: 1E-130.
  pairs = {1};
  ASSERT_TRUE(Decimal::from_base100(false, pairs, -65, d));
  EXPECT_EQ(d, num("1E-130"));
  pairs = {100};
  EXPECT_FALSE(Decimal::from_base100(false, pairs, 0, d));
}

TEST(Decimal, ComparesByValue) {
  EXPECT_EQ(Decimal::compare(num("0.1"), num("0.10")), 0);
  EXPECT_EQ(Decimal::compare(num(".1"), num("0.10")), 0);
  EXPECT_EQ(Decimal::compare(num("-0"), num("0")), 0);
  EXPECT_EQ(Decimal::compare(num("-1.5"), num("-1.25")), -1);
  EXPECT_EQ(Decimal::compare(num("0.5"), num("0.25")), 1);
  EXPECT_EQ(Decimal::compare(num("99"), num("100")), -1);
  EXPECT_EQ(Decimal::compare(num("-99"), num("-100")), 1);
  EXPECT_EQ(Decimal::compare(num("12345678901234567890123456789012345678"),
                             num("12345678901234567890123456789012345679")),
            -1);
  EXPECT_EQ(Decimal::compare(num("1.00000000000000000000000000000000000001"), num("1")), 1);
  EXPECT_EQ(Decimal::compare(num("-0.001"), num("0")), -1);
}

TEST(Decimal, ExactArithmetic) {
  EXPECT_EQ(add("1.5", "2"), "3.5");
  EXPECT_EQ(add("0.1", "0.2"), "0.3");
  EXPECT_EQ(add("-5", "5"), "0");
  EXPECT_EQ(add("-0.25", "0.2"), "-0.05");
  EXPECT_EQ(add("99999999999999999999999999999999999999", "1"),
            "100000000000000000000000000000000000000");
  EXPECT_EQ(add("1E-130", "1"), "1." + std::string(129, '0') + "1");
  EXPECT_EQ(sub("1", "0.0000001"), "0.9999999");
  EXPECT_EQ(sub("-3", "4.5"), "-7.5");
  EXPECT_EQ(mul("9223372036854775807", "10"), "92233720368547758070");
  EXPECT_EQ(mul("-1.5", "1.5"), "-2.25");
  EXPECT_EQ(mul("0", "-7"), "0");
  EXPECT_EQ(mul("123456789.123456789", "987654321.987654321"),
            "121932631356500531.347203169112635269");
}

TEST(Decimal, DivisionLikeOracle) {
  EXPECT_EQ(quo("7", "2"), "3.5");
  EXPECT_EQ(quo("7.5", "2.5"), "3");
  EXPECT_EQ(quo("-1", "8"), "-0.125");
  EXPECT_EQ(quo("1", "3"), "0." + std::string(40, '3'));
  EXPECT_EQ(quo("2", "3"), "0." + std::string(39, '6') + "7");
  EXPECT_EQ(quo("-2", "3"), "-0." + std::string(39, '6') + "7");
  EXPECT_EQ(quo("1E-130", "10"), "0." + std::string(130, '0') + "1");
  EXPECT_EQ(quo("10", "4E-5"), "250000");
  Decimal r;
  EXPECT_FALSE(Decimal::divide(num("1"), num("0"), r));
  EXPECT_FALSE(Decimal::divide(num("0"), num("-0"), r));
}

TEST(Decimal, TextForms) {
  EXPECT_EQ(num("0.5").magnitude_text(false), ".5");
  EXPECT_EQ(num("-0.5").magnitude_text(false), ".5");
  EXPECT_EQ(num("0.5").magnitude_text(false, 2), ".50");
  EXPECT_EQ(num("5").magnitude_text(true, 2), "5.00");
  EXPECT_EQ(num("1.25").magnitude_text(true, 1), "1.25");
  EXPECT_EQ(num("0").magnitude_text(false), "0");
  EXPECT_EQ(num("0.05").magnitude_text(false), ".05");
}

TEST(Decimal, RoundingAndIntegers) {
  EXPECT_EQ(num("1.2345678").rounded(6).to_text(), "1.234568");
  EXPECT_EQ(num("0.9999995").rounded(6).to_text(), "1");
  EXPECT_EQ(num("-2.5").rounded(0).to_text(), "-3");
  EXPECT_EQ(num("0.0004").rounded(2).to_text(), "0");
  EXPECT_EQ(num("0.005").rounded(2).to_text(), "0.01");
  std::int64_t n = 0;
  EXPECT_TRUE(num("-12.9").to_int64(n));
  EXPECT_EQ(n, -12);
  EXPECT_TRUE(num("9223372036854775807").to_int64(n));
  EXPECT_EQ(n, INT64_MAX);
  EXPECT_TRUE(num("-9223372036854775808").to_int64(n));
  EXPECT_EQ(n, INT64_MIN);
  EXPECT_FALSE(num("9223372036854775808").to_int64(n));
  EXPECT_EQ(n, INT64_MAX);
  EXPECT_TRUE(num("1E-130").to_int64(n));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Decimal::from_int64(INT64_MIN).to_text(), "-9223372036854775808");
}

}  // namespace
}  // namespace qln
