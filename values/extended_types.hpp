#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qln {

// Text forms of the Oracle types beyond NUMBER, DATE and TIMESTAMP that a
// dump may carry: TIMESTAMP WITH TIME ZONE, the two INTERVAL types,
// BINARY_FLOAT and BINARY_DOUBLE. Each returns false for bytes that cannot
// be such a value.

// 13 bytes: the time in UTC, nanoseconds, and the zone (an offset, or a
// region id with its top bit set). Written as the local time in
// `date_printf` (six int fields), the fraction cut to `precision` digits,
// then the offset ("+09:00") or the region's name; a region without a known
// name keeps the time in UTC and says so with its id ("UTC region#1234").
bool format_timestamp_tz(std::span<const std::uint8_t> bytes, int precision,
                         const std::string& date_printf, std::string& out);

// The name of a time-zone region id, empty when it is not known.
std::string_view time_zone_region_name(int region) noexcept;

// 5 bytes (years + 2^31, months + 60): "+01-06", years padded to `precision` digits.
bool format_interval_ym(std::span<const std::uint8_t> bytes, int precision, std::string& out);

// 11 bytes (days + 2^31, hours, minutes, seconds + 60, nanoseconds + 2^31):
// "+02 03:04:05.000000", days padded to `day_precision` digits, the fraction
// cut to `fraction_digits` (none for 0).
bool format_interval_ds(std::span<const std::uint8_t> bytes, int day_precision,
                        int fraction_digits, std::string& out);

// 4 or 8 bytes, sign-flipped big-endian IEEE: the shortest text that reads
// back as the same value ("1.5", "1e+30"), or "Inf", "-Inf", "Nan".
bool format_binary_float(std::span<const std::uint8_t> bytes, std::string& out);
bool format_binary_double(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace qln
