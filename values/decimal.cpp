#include "values/decimal.hpp"

#include <algorithm>
#include <limits>
#include <vector>

namespace qln {

namespace {

bool all_digits(std::string_view s) noexcept {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Magnitude comparison of two digit strings read as integers (no leading zeros).
int compare_integers(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string strip_leading_zeros(std::string s) {
  std::size_t i = s.find_first_not_of('0');
  if (i == std::string::npos) return {};
  s.erase(0, i);
  return s;
}

std::string add_integers(std::string_view a, std::string_view b) {
  std::string r;
  r.reserve(std::max(a.size(), b.size()) + 1);
  int carry = 0;
  std::size_t i = a.size(), j = b.size();
  while (i > 0 || j > 0 || carry) {
    int d = carry;
    if (i > 0) d += a[--i] - '0';
    if (j > 0) d += b[--j] - '0';
    r.push_back(static_cast<char>('0' + d % 10));
    carry = d / 10;
  }
  std::reverse(r.begin(), r.end());
  return strip_leading_zeros(std::move(r));
}

// a - b for a >= b.
std::string subtract_integers(std::string_view a, std::string_view b) {
  std::string r;
  r.reserve(a.size());
  int borrow = 0;
  std::size_t i = a.size(), j = b.size();
  while (i > 0) {
    int d = (a[--i] - '0') - borrow;
    if (j > 0) d -= b[--j] - '0';
    borrow = d < 0 ? 1 : 0;
    if (d < 0) d += 10;
    r.push_back(static_cast<char>('0' + d));
  }
  std::reverse(r.begin(), r.end());
  return strip_leading_zeros(std::move(r));
}

std::string multiply_integers(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return {};
  std::vector<std::uint32_t> acc(a.size() + b.size(), 0);
  for (std::size_t i = a.size(); i-- > 0;) {
    std::uint32_t da = static_cast<std::uint32_t>(a[i] - '0');
    if (da == 0) continue;
    std::uint32_t carry = 0;
    for (std::size_t j = b.size(); j-- > 0;) {
      std::uint32_t& cell = acc[i + j + 1];
      std::uint32_t t = cell + da * static_cast<std::uint32_t>(b[j] - '0') + carry;
      cell = t % 10;
      carry = t / 10;
    }
    std::size_t k = i;
    while (carry) {
      std::uint32_t t = acc[k] + carry;
      acc[k] = t % 10;
      carry = t / 10;
      if (k == 0) break;
      --k;
    }
  }
  std::string r(acc.size(), '0');
  for (std::size_t i = 0; i < acc.size(); ++i) r[i] = static_cast<char>('0' + acc[i]);
  return strip_leading_zeros(std::move(r));
}

// Adds one unit in the last place of a digit string; may grow it by a digit.
std::string increment(std::string s) {
  std::size_t i = s.size();
  while (i > 0) {
    --i;
    if (s[i] != '9') {
      ++s[i];
      return s;
    }
    s[i] = '0';
  }
  s.insert(s.begin(), '1');
  return s;
}

bool exponent_in_bounds(std::int64_t exponent, std::size_t digit_count) noexcept {
  return exponent >= -Decimal::kMaxExponent &&
         exponent + static_cast<std::int64_t>(digit_count) <= Decimal::kMaxExponent;
}

}  // namespace

void Decimal::normalise() {
  std::size_t lead = digits_.find_first_not_of('0');
  if (lead == std::string::npos) {
    digits_.clear();
    exponent_ = 0;
    return;
  }
  digits_.erase(0, lead);
  std::size_t last = digits_.find_last_not_of('0');
  std::size_t trailing = digits_.size() - last - 1;
  digits_.resize(last + 1);
  exponent_ += static_cast<std::int64_t>(trailing);
}

bool Decimal::from_parts(bool negative, std::string_view digits, std::int64_t exponent,
                         Decimal& out) {
  if (!all_digits(digits)) return false;
  Decimal d;
  d.negative_ = negative;
  d.digits_.assign(digits);
  d.exponent_ = exponent;
  d.normalise();
  if (!d.is_zero() && !exponent_in_bounds(d.exponent_, d.digits_.size())) return false;
  out = std::move(d);
  return true;
}

bool Decimal::from_base100(bool negative, std::span<const std::uint8_t> pairs,
                           std::int64_t exponent100, Decimal& out) {
  std::string digits;
  digits.reserve(pairs.size() * 2);
  for (std::uint8_t p : pairs) {
    if (p > 99) return false;
    digits.push_back(static_cast<char>('0' + p / 10));
    digits.push_back(static_cast<char>('0' + p % 10));
  }
  if (exponent100 < -kMaxExponent || exponent100 > kMaxExponent) return false;
  std::int64_t count = static_cast<std::int64_t>(pairs.size());
  return from_parts(negative, digits, 2 * (exponent100 - count + 1), out);
}

Decimal Decimal::from_int64(std::int64_t v) {
  Decimal d;
  d.negative_ = v < 0;
  // Unsigned magnitude so that the lowest int64 has one too.
  std::uint64_t m = d.negative_ ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  d.digits_ = std::to_string(m);
  d.normalise();
  if (d.is_zero()) d.negative_ = false;
  return d;
}

bool Decimal::parse(std::string_view text, Decimal& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t int_start = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  std::string_view int_digits = text.substr(int_start, i - int_start);
  std::string_view frac_digits;
  if (i < text.size() && text[i] == '.') {
    std::size_t frac_start = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    frac_digits = text.substr(frac_start, i - frac_start);
  }
  if (int_digits.empty() && frac_digits.empty()) return false;
  std::int64_t exp10 = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool exp_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    std::size_t exp_start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (exp10 > kMaxExponent) return false;
      exp10 = exp10 * 10 + (text[i] - '0');
      ++i;
    }
    if (i == exp_start) return false;
    if (exp_negative) exp10 = -exp10;
  }
  if (i != text.size()) return false;
  std::string digits;
  digits.reserve(int_digits.size() + frac_digits.size());
  digits.append(int_digits);
  digits.append(frac_digits);
  return from_parts(negative, digits, exp10 - static_cast<std::int64_t>(frac_digits.size()), out);
}

std::string Decimal::magnitude_text(bool leading_zero, int min_fraction_digits) const {
  std::string r;
  std::size_t n = digits_.size();
  std::int64_t frac = exponent_ < 0 ? -exponent_ : 0;
  if (is_zero()) {
    r = "0";
  } else if (exponent_ >= 0) {
    r = digits_;
    r.append(static_cast<std::size_t>(exponent_), '0');
  } else if (static_cast<std::int64_t>(n) > frac) {
    std::size_t int_len = n - static_cast<std::size_t>(frac);
    r.append(digits_, 0, int_len);
    r.push_back('.');
    r.append(digits_, int_len, std::string::npos);
  } else {
    if (leading_zero) r.push_back('0');
    r.push_back('.');
    r.append(static_cast<std::size_t>(frac) - n, '0');
    r.append(digits_);
  }
  if (min_fraction_digits > frac) {
    if (frac == 0) r.push_back('.');
    r.append(static_cast<std::size_t>(min_fraction_digits - frac), '0');
  }
  return r;
}

std::string Decimal::to_text() const {
  std::string m = magnitude_text(true, 0);
  return negative_ ? "-" + m : m;
}

Decimal Decimal::rounded(std::int64_t fraction_digits) const {
  if (is_zero() || exponent_ >= -fraction_digits) return *this;
  // Digits to drop from the end so that the last kept one sits at 10^-fraction_digits.
  std::int64_t drop = -fraction_digits - exponent_;
  Decimal r;
  r.negative_ = negative_;
  if (drop > static_cast<std::int64_t>(digits_.size())) {
    return Decimal{};  // far below half a unit: 0
  }
  std::size_t keep = digits_.size() - static_cast<std::size_t>(drop);
  std::string kept = digits_.substr(0, keep);
  bool up = digits_[keep] >= '5';
  if (up) kept = increment(std::move(kept));
  r.digits_ = std::move(kept);
  r.exponent_ = -fraction_digits;
  r.normalise();
  if (r.is_zero()) r.negative_ = false;
  return r;
}

Decimal Decimal::negated() const {
  Decimal r = *this;
  r.negative_ = !negative_;
  return r;
}

Decimal Decimal::abs() const {
  Decimal r = *this;
  r.negative_ = false;
  return r;
}

bool Decimal::to_int64(std::int64_t& out) const noexcept {
  constexpr std::uint64_t kLimitPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t limit = negative_ ? kLimitPositive + 1 : kLimitPositive;
  std::uint64_t m = 0;
  bool fits = true;
  if (!is_zero()) {
    std::int64_t int_len = static_cast<std::int64_t>(digits_.size()) + exponent_;
    for (std::int64_t i = 0; i < int_len && fits; ++i) {
      std::uint64_t d = i < static_cast<std::int64_t>(digits_.size())
                            ? static_cast<std::uint64_t>(digits_[static_cast<std::size_t>(i)] - '0')
                            : 0;
      if (m > (limit - d) / 10) {
        fits = false;
        m = limit;
      } else {
        m = m * 10 + d;
      }
    }
  }
  if (negative_) {
    out = m == kLimitPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                  : -static_cast<std::int64_t>(m);
  } else {
    out = static_cast<std::int64_t>(m);
  }
  return fits;
}

int Decimal::compare(const Decimal& a, const Decimal& b) noexcept {
  int sa = a.is_zero() ? 0 : a.sign();
  int sb = b.is_zero() ? 0 : b.sign();
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  // Same sign: compare magnitudes by the position of the leading digit first.
  std::int64_t lead_a = a.exponent_ + static_cast<std::int64_t>(a.digits_.size());
  std::int64_t lead_b = b.exponent_ + static_cast<std::int64_t>(b.digits_.size());
  int mag = 0;
  if (lead_a != lead_b) {
    mag = lead_a < lead_b ? -1 : 1;
  } else {
    std::size_t n = std::min(a.digits_.size(), b.digits_.size());
    int c = a.digits_.compare(0, n, b.digits_, 0, n);
    if (c != 0) {
      mag = c < 0 ? -1 : 1;
    } else if (a.digits_.size() != b.digits_.size()) {
      mag = a.digits_.size() < b.digits_.size() ? -1 : 1;
    }
  }
  return sa > 0 ? mag : -mag;
}

bool Decimal::add(const Decimal& a, const Decimal& b, Decimal& out) {
  if (a.is_zero() || b.is_zero()) {
    Decimal r = a.is_zero() ? b : a;
    if (r.is_zero()) r.negative_ = false;
    out = std::move(r);
    return true;
  }
  std::int64_t e = std::min(a.exponent_, b.exponent_);
  std::string da = a.digits_;
  std::string db = b.digits_;
  da.append(static_cast<std::size_t>(a.exponent_ - e), '0');
  db.append(static_cast<std::size_t>(b.exponent_ - e), '0');
  Decimal r;
  r.exponent_ = e;
  if (a.negative_ == b.negative_) {
    r.digits_ = add_integers(da, db);
    r.negative_ = a.negative_;
  } else {
    int c = compare_integers(da, db);
    if (c == 0) {
      out = Decimal{};
      return true;
    }
    r.digits_ = c > 0 ? subtract_integers(da, db) : subtract_integers(db, da);
    r.negative_ = c > 0 ? a.negative_ : b.negative_;
  }
  r.normalise();
  if (r.is_zero()) r.negative_ = false;
  if (!r.is_zero() && !exponent_in_bounds(r.exponent_, r.digits_.size())) return false;
  out = std::move(r);
  return true;
}

bool Decimal::subtract(const Decimal& a, const Decimal& b, Decimal& out) {
  return add(a, b.negated(), out);
}

bool Decimal::multiply(const Decimal& a, const Decimal& b, Decimal& out) {
  if (a.is_zero() || b.is_zero()) {
    out = Decimal{};
    return true;
  }
  Decimal r;
  r.negative_ = a.negative_ != b.negative_;
  r.digits_ = multiply_integers(a.digits_, b.digits_);
  r.exponent_ = a.exponent_ + b.exponent_;
  r.normalise();
  if (!exponent_in_bounds(r.exponent_, r.digits_.size())) return false;
  out = std::move(r);
  return true;
}

bool Decimal::divide(const Decimal& a, const Decimal& b, Decimal& out, int digits) {
  if (b.is_zero()) return false;
  if (a.is_zero()) {
    out = Decimal{};
    return true;
  }
  if (digits < 1) digits = 1;
  // Scale the dividend so that the integer quotient has at least digits + 1
  // digits; the extra one decides the rounding.
  std::int64_t shift = static_cast<std::int64_t>(b.digits_.size()) -
                       static_cast<std::int64_t>(a.digits_.size()) + digits + 1;
  if (shift < 0) shift = 0;
  std::string dividend = a.digits_;
  dividend.append(static_cast<std::size_t>(shift), '0');
  const std::string& divisor = b.digits_;

  // Schoolbook long division, one decimal digit at a time.
  std::string quotient;
  quotient.reserve(dividend.size());
  std::string rem;
  for (char c : dividend) {
    if (!(rem.empty() && c == '0')) rem.push_back(c);
    int q = 0;
    while (compare_integers(rem, divisor) >= 0) {
      rem = subtract_integers(rem, divisor);
      ++q;
    }
    if (!(quotient.empty() && q == 0)) quotient.push_back(static_cast<char>('0' + q));
  }
  std::int64_t exponent = a.exponent_ - b.exponent_ - shift;
  if (static_cast<int>(quotient.size()) > digits) {
    std::size_t drop = quotient.size() - static_cast<std::size_t>(digits);
    bool up = quotient[static_cast<std::size_t>(digits)] >= '5';
    quotient.resize(static_cast<std::size_t>(digits));
    if (up) quotient = increment(std::move(quotient));
    exponent += static_cast<std::int64_t>(drop);
  }
  Decimal r;
  r.negative_ = a.negative_ != b.negative_;
  r.digits_ = std::move(quotient);
  r.exponent_ = exponent;
  r.normalise();
  if (r.is_zero()) r.negative_ = false;
  if (!r.is_zero() && !exponent_in_bounds(r.exponent_, r.digits_.size())) return false;
  out = std::move(r);
  return true;
}

}  // namespace qln
