#include "values/extended_types.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "values/value_format.hpp"

namespace qln {
namespace {

std::uint32_t be32(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void append_padded(std::string& out, long long v, int width) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%0*lld", width < 1 ? 1 : (width > 18 ? 18 : width), v);
  out.append(buf, static_cast<std::size_t>(n > 0 ? n : 0));
}

// ".123456" cut to `digits` (0-9) of the nanoseconds; nothing for 0.
void append_fraction(std::string& out, long nanos, int digits) {
  if (digits <= 0) return;
  if (digits > 9) digits = 9;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%09ld", nanos);
  out.push_back('.');
  out.append(buf, static_cast<std::size_t>(digits));
}

}  // namespace

std::string_view time_zone_region_name(int region) noexcept {
  // Only regions whose id is known for certain get a name: a wrong name
  // would move the time.
  switch (region) {
    case 5121:
      return "UTC";
    default:
      return {};
  }
}

bool format_timestamp_tz(std::span<const std::uint8_t> bytes, int precision,
                         const std::string& date_printf, std::string& out) {
  OracleDateTime t;
  if (bytes.size() != 13 || !decode_oracle_date(bytes, t)) return false;
  const bool region = (bytes[11] & 0x80) != 0;
  const int region_id = ((bytes[11] & 0x7F) << 6) | (bytes[12] >> 2);
  std::string_view name = region ? time_zone_region_name(region_id) : std::string_view{};
  char buf[96];
  int n = std::snprintf(buf, sizeof buf, date_printf.c_str(), t.year, t.month, t.day, t.hour,
                        t.minute, t.second);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return false;
  out.assign(buf, static_cast<std::size_t>(n));
  append_fraction(out, t.nanosecond, precision);
  out.push_back(' ');
  if (!region) {
    int offset = (bytes[11] - 20) * 60 + (bytes[12] - 60);
    out.push_back(offset < 0 ? '-' : '+');
    if (offset < 0) offset = -offset;
    append_padded(out, offset / 60, 2);
    out.push_back(':');
    append_padded(out, offset % 60, 2);
  } else if (!name.empty()) {
    out.append(name);
  } else {
    // The time stays in UTC, since the region's rules are not known here.
    out.append("UTC region#");
    out.append(std::to_string(region_id));
  }
  return true;
}

bool format_interval_ym(std::span<const std::uint8_t> bytes, int precision, std::string& out) {
  if (bytes.size() != 5) return false;
  const long long years = static_cast<long long>(be32(bytes.data())) - 0x80000000LL;
  const int months = bytes[4] - 60;
  if (months < -11 || months > 11 || (years > 0 && months < 0) || (years < 0 && months > 0))
    return false;
  const bool negative = years < 0 || months < 0;
  out.assign(1, negative ? '-' : '+');
  append_padded(out, years < 0 ? -years : years, precision > 0 ? precision : 2);
  out.push_back('-');
  append_padded(out, months < 0 ? -months : months, 2);
  return true;
}

bool format_interval_ds(std::span<const std::uint8_t> bytes, int day_precision,
                        int fraction_digits, std::string& out) {
  if (bytes.size() != 11) return false;
  const long long days = static_cast<long long>(be32(bytes.data())) - 0x80000000LL;
  const int hours = bytes[4] - 60, minutes = bytes[5] - 60, seconds = bytes[6] - 60;
  const long long nanos = static_cast<long long>(be32(bytes.data() + 7)) - 0x80000000LL;
  if (hours < -23 || hours > 23 || minutes < -59 || minutes > 59 || seconds < -59 || seconds > 59 ||
      nanos < -999999999 || nanos > 999999999)
    return false;
  const bool negative = days < 0 || hours < 0 || minutes < 0 || seconds < 0 || nanos < 0;
  const bool positive = days > 0 || hours > 0 || minutes > 0 || seconds > 0 || nanos > 0;
  if (negative && positive) return false;
  auto mag = [](long long v) { return v < 0 ? -v : v; };
  out.assign(1, negative ? '-' : '+');
  append_padded(out, mag(days), day_precision > 0 ? day_precision : 2);
  out.push_back(' ');
  append_padded(out, mag(hours), 2);
  out.push_back(':');
  append_padded(out, mag(minutes), 2);
  out.push_back(':');
  append_padded(out, mag(seconds), 2);
  append_fraction(out, static_cast<long>(mag(nanos)), fraction_digits);
  return true;
}

namespace {

template <typename Float, typename Bits>
bool format_binary(std::span<const std::uint8_t> bytes, std::string& out) {
  if (bytes.size() != sizeof(Bits)) return false;
  Bits bits = 0;
  for (std::uint8_t b : bytes) bits = static_cast<Bits>((bits << 8) | b);
  // Oracle flips the sign bit of a positive value and every bit of a
  // negative one, so that the bytes sort as the numbers do.
  constexpr Bits kSign = Bits{1} << (sizeof(Bits) * 8 - 1);
  bits = (bits & kSign) != 0 ? static_cast<Bits>(bits ^ kSign) : static_cast<Bits>(~bits);
  const Float v = std::bit_cast<Float>(bits);
  if (std::isnan(v)) {
    out = "Nan";
  } else if (std::isinf(v)) {
    out = v < 0 ? "-Inf" : "Inf";
  } else {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    if (r.ec != std::errc()) return false;
    out.assign(buf, r.ptr);
  }
  return true;
}

}  // namespace

bool format_binary_float(std::span<const std::uint8_t> bytes, std::string& out) {
  return format_binary<float, std::uint32_t>(bytes, out);
}

bool format_binary_double(std::span<const std::uint8_t> bytes, std::string& out) {
  return format_binary<double, std::uint64_t>(bytes, out);
}

}  // namespace qln
