#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qln {

// An exact decimal number: sign, a string of significant decimal digits and a
// power of ten. It holds every Oracle NUMBER (up to 40 significant digits,
// 1E-130 up to 9.99...E125) without loss, and more: the only limits are the
// exponent bounds below and the memory the digits take.
//
// Value = (negative ? -1 : +1) * digits * 10^exponent, where `digits` is read
// as an integer. The stored form is normalised: no leading or trailing zeros
// in `digits`; zero has empty digits and exponent 0. A zero may keep its minus
// sign (the text "-0" reads back as "-0"); it still compares equal to 0.
class Decimal {
 public:
  // Bounds of the exponent of the lowest and the highest digit. Far beyond
  // Oracle's range; they only keep runaway arithmetic finite.
  static constexpr std::int64_t kMaxExponent = 100000;

  // Significant digits a quotient is rounded to (half away from zero).
  static constexpr int kDivisionDigits = 40;

  Decimal() = default;  // 0

  // value = sign * digits * 10^exponent. `digits` holds only '0'..'9'
  // (leading and trailing zeros are fine, an empty text is 0).
  // False (and `out` untouched) for another character or an exponent out of
  // bounds. Example: from_parts(false, "1234", -2) is 12.34.
  static bool from_parts(bool negative, std::string_view digits, std::int64_t exponent,
                         Decimal& out);

  // Base-100 digits as Oracle stores them, most significant first, each 0..99:
  // value = sign * sum(pairs[i] * 100^(exponent100 - i)).
  // For a positive stored NUMBER, exponent100 = byte0 - 0xC1 and the pairs are
  // the digit bytes minus 1; for a negative one, exponent100 = 0x3E - byte0 and
  // the pairs are 101 minus the digit bytes (the 102 terminator not included).
  // So bytes C1 0C 23 give from_base100(false, {11, 34}, 0) = 11.34 and
  // C0 33 give from_base100(false, {50}, -1) = 0.5. False for a pair above 99.
  static bool from_base100(bool negative, std::span<const std::uint8_t> pairs,
                           std::int64_t exponent100, Decimal& out);

  static Decimal from_int64(std::int64_t v);

  // Strict number text: [+|-] digits [. digits] [(E|e) [+|-] digits], at least
  // one digit before or after the point, no blanks. False (out untouched)
  // otherwise. "-0" and "-0.00" give a negative zero.
  static bool parse(std::string_view text, Decimal& out);

  bool is_zero() const noexcept { return digits_.empty(); }
  bool is_negative() const noexcept { return negative_; }  // true for "-0" too
  int sign() const noexcept { return negative_ ? -1 : 1; }
  const std::string& digits() const noexcept { return digits_; }
  std::int64_t exponent() const noexcept { return exponent_; }
  // Digits after the point (0 for integers).
  std::int64_t scale() const noexcept { return exponent_ < 0 ? -exponent_ : 0; }
  bool is_integer() const noexcept { return exponent_ >= 0; }

  // Canonical text: optional "-", integer digits ("0" when none), then "." and
  // the fraction digits without trailing zeros. 0.5 -> "0.5", -12 -> "-12",
  // a negative zero -> "-0". Never uses exponent notation.
  std::string to_text() const;

  // The magnitude only (no sign). With leading_zero false a value below 1
  // starts with the point (".5"; zero stays "0"). The fraction is padded with
  // zeros to at least min_fraction_digits (an integer then gets a point):
  // 5 with 2 -> "5.00", 0.5 with (false, 2) -> ".50".
  std::string magnitude_text(bool leading_zero = true, int min_fraction_digits = 0) const;

  // Rounded to `fraction_digits` digits after the point, half away from zero.
  Decimal rounded(std::int64_t fraction_digits) const;

  Decimal negated() const;
  Decimal abs() const;

  // Integer part, truncated toward zero; false when it does not fit (then
  // `out` is the nearest int64).
  bool to_int64(std::int64_t& out) const noexcept;

  // -1, 0 or 1 by numeric value (a negative zero equals zero).
  static int compare(const Decimal& a, const Decimal& b) noexcept;

  // Exact sum, difference and product. False when the result's exponent
  // would leave the bounds. A zero result is positive.
  static bool add(const Decimal& a, const Decimal& b, Decimal& out);
  static bool subtract(const Decimal& a, const Decimal& b, Decimal& out);
  static bool multiply(const Decimal& a, const Decimal& b, Decimal& out);

  // a / b rounded to `digits` significant digits (exact quotients such as
  // 7 / 2 = 3.5 come out exact). False for b = 0.
  static bool divide(const Decimal& a, const Decimal& b, Decimal& out,
                     int digits = kDivisionDigits);

  friend bool operator==(const Decimal& a, const Decimal& b) noexcept {
    return compare(a, b) == 0;
  }

 private:
  bool negative_ = false;
  std::string digits_;          // '0'..'9', most significant first
  std::int64_t exponent_ = 0;   // power of ten of the last digit

  void normalise();
};

}  // namespace qln
