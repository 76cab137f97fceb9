// Oracle's stored forms of NUMBER, DATE and TIMESTAMP values, as an export
// dump carries them. Byte strings are std::string (binary-safe).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qln::dumpwriter {

// A calendar value; year may be negative for BC (no year 0, as in Oracle).
struct DateTime {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::uint32_t nanos = 0;  // fraction of the second, 0 .. 999999999
};

// Every encoder reports a value it cannot encode with this exception.
class EncodeError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Decimal text ("-12.50", "1e-5", "0.000123", up to 40 significant digits)
// to NUMBER bytes: exponent byte plus base-100 digits. Values that need more
// than 20 base-100 digits are rounded half away from zero, as Oracle does.
// Magnitudes outside 1e-128 .. <1e126 throw (the exponent byte 0x80 is
// left to zero).
std::string encode_number(std::string_view decimal);

// 7 bytes: century+100, year+100, month, day, hour+1, minute+1, second+1.
std::string encode_date(const DateTime& value);

// The 7 date bytes, then the nanoseconds big-endian when they are not 0
// (Oracle stores a TIMESTAMP without fraction in 7 bytes).
std::string encode_timestamp(const DateTime& value);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MI:SS" or "YYYY-MM-DD HH:MI:SS.fffffffff"
// ('/' also accepted between the date parts, a leading '-' for BC years).
DateTime parse_datetime(std::string_view text);

// UTF-8 to UTF-16 big-endian, the AL16UTF16 form of national columns.
std::string utf8_to_utf16be(std::string_view utf8);

// CLOB text as a database of the Oracle character set `db_charset_id` stores
// it: a varying-width set (AL32UTF8, UTF8, JA16SJIS, JA16EUC) keeps CLOBs in
// UTF-16 big-endian, so `text` (in that set) is converted; every other set
// keeps its bytes. Text that is not valid in the set throws.
std::string clob_bytes(std::uint16_t db_charset_id, std::string_view text);

}  // namespace qln::dumpwriter
