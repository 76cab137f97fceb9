// The dump writer's value encoders against bytes Oracle wrote.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "dumpwriter/encode.hpp"

namespace qln::dumpwriter {
namespace {

std::string hex(std::string_view spaced) {
  std::string out;
  for (std::size_t i = 0; i + 1 < spaced.size() + 1;) {
    while (i < spaced.size() && spaced[i] == ' ') ++i;
    if (i >= spaced.size()) break;
    out.push_back(static_cast<char>(std::stoi(std::string(spaced.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return out;
}

// Independent reading of NUMBER bytes back into plain decimal text.
std::string decode_number(const std::string& b) {
  const auto e = static_cast<unsigned char>(b[0]);
  if (e == 0x80) return "0";
  const bool negative = e < 0x80;
  const int pairs_before_point = negative ? 0x3F - e : e - 0xC0;
  std::string digits;
  for (std::size_t i = 1; i < b.size(); ++i) {
    const auto c = static_cast<unsigned char>(b[i]);
    if (negative && c == 102) break;
    const int v = negative ? 101 - c : c - 1;
    digits += static_cast<char>('0' + v / 10);
    digits += static_cast<char>('0' + v % 10);
  }
  long point = 2L * pairs_before_point;
  while (static_cast<long>(digits.size()) < point) digits += '0';
  std::string out;
  if (point <= 0) {
    out = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else {
    out = digits.substr(0, static_cast<std::size_t>(point));
    if (static_cast<long>(digits.size()) > point) out += "." + digits.substr(static_cast<std::size_t>(point));
  }
  // Normalise: no leading zeros before the point, no trailing fraction zeros.
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  std::size_t lead = 0;
  while (lead + 1 < out.size() && out[lead] == '0' && out[lead + 1] != '.') ++lead;
  out.erase(0, lead);
  return negative ? "-" + out : out;
}

TEST(DumpWriterNumber, KnownEncodings) {
  EXPECT_EQ(encode_number("0"), hex("80"));
  EXPECT_EQ(encode_number("-0.000"), hex("80"));
  EXPECT_EQ(encode_number("100"), hex("C2 02"));
  EXPECT_EQ(encode_number("11.34"), hex("C1 0C 23"));
  EXPECT_EQ(encode_number("-11"), hex("3E 5A 66"));
  EXPECT_EQ(encode_number("0.5"), hex("C0 33"));
  EXPECT_EQ(encode_number("1000000"), hex("C4 02"));
  EXPECT_EQ(encode_number("1"), hex("C1 02"));
  EXPECT_EQ(encode_number("-1"), hex("3E 64 66"));
  // Values of the ADDRESSES and ALPHA_SERVICES_STATS rows of the real dump.
  EXPECT_EQ(encode_number("101"), hex("C2 02 02"));
  EXPECT_EQ(encode_number("-122.413349"), hex("3D 64 4F 3C 44 34 66"));
  EXPECT_EQ(encode_number("37.769262"), hex("C1 26 4D 5D 3F"));
  EXPECT_EQ(encode_number("118521"), hex("C3 0C 56 16"));
}

TEST(DumpWriterNumber, TextForms) {
  EXPECT_EQ(encode_number("1e-5"), hex("BE 0B"));
  EXPECT_EQ(encode_number("1E+2"), hex("C2 02"));
  EXPECT_EQ(encode_number(" +0011.3400 "), hex("C1 0C 23"));
  EXPECT_EQ(encode_number(".5"), hex("C0 33"));
  EXPECT_EQ(encode_number("5."), hex("C1 06"));
  EXPECT_EQ(encode_number("-0.001"), hex("40 5B 66"));
  for (const char* bad : {"", "-", "abc", "1.2.3", "1e", "1e+", "--1", "1,5", "0x10", "1e1234567"})
    EXPECT_THROW(encode_number(bad), EncodeError) << bad;
}

TEST(DumpWriterNumber, FortyDigitsAndRounding) {
  // 40 significant digits fill 20 base-100 digits: kept exactly, and a
  // negative value of full length carries no terminator byte.
  const std::string forty = "1234567890123456789012345678901234567890";
  const std::string pos = encode_number(forty);
  EXPECT_EQ(pos.size(), 21u);
  EXPECT_EQ(decode_number(pos), forty);
  const std::string neg = encode_number("-" + forty);
  EXPECT_EQ(neg.size(), 21u);
  EXPECT_EQ(decode_number(neg), "-" + forty);
  EXPECT_EQ(decode_number(encode_number("0.000000000000000000000000000000000012345678901234567890123456789012345")),
            "0.000000000000000000000000000000000012345678901234567890123456789012345");
  // Beyond 20 base-100 digits Oracle rounds half away from zero.
  EXPECT_EQ(decode_number(encode_number("1234567890123456789012345678901234567890.5")),
            "1234567890123456789012345678901234567891");
  EXPECT_EQ(decode_number(encode_number("-1234567890123456789012345678901234567890.49")), "-" + forty);
  EXPECT_EQ(encode_number("9999999999999999999999999999999999999999.5"), hex("D5 02"));
}

TEST(DumpWriterNumber, Range) {
  EXPECT_EQ(encode_number("9.99e125").front(), '\xFF');
  EXPECT_THROW(encode_number("1e126"), EncodeError);
  EXPECT_THROW(encode_number("-1e126"), EncodeError);
  EXPECT_EQ(encode_number("1e-128"), hex("81 02"));
  EXPECT_THROW(encode_number("1e-129"), EncodeError);
}

TEST(DumpWriterNumber, RandomRoundTrip) {
  std::mt19937_64 rng(7);
  for (int n = 0; n < 3000; ++n) {
    const int int_digits = static_cast<int>(rng() % 20);
    const int frac_digits = static_cast<int>(rng() % (40 - int_digits > 18 ? 18 : 40 - int_digits));
    std::string text = rng() % 2 ? "-" : "";
    std::string int_part;
    for (int i = 0; i < int_digits; ++i) int_part += static_cast<char>('0' + rng() % 10);
    std::string frac_part;
    for (int i = 0; i < frac_digits; ++i) frac_part += static_cast<char>('0' + rng() % 10);
    text += (int_part.empty() ? "0" : int_part) + (frac_part.empty() ? "" : "." + frac_part);
    // The expected text: normalised like decode_number.
    std::string expect = int_part;
    while (!expect.empty() && expect.front() == '0') expect.erase(0, 1);
    if (expect.empty()) expect.push_back('0');
    while (!frac_part.empty() && frac_part.back() == '0') frac_part.pop_back();
    if (!frac_part.empty()) expect += "." + frac_part;
    if (expect != "0" && text.front() == '-') expect = "-" + expect;
    EXPECT_EQ(decode_number(encode_number(text)), expect) << text;
  }
}

TEST(DumpWriterDate, KnownEncodings) {
  EXPECT_EQ(encode_date({2011, 12, 31, 23, 59, 59, 0}), hex("78 6F 0C 1F 18 3C 3C"));
  EXPECT_EQ(encode_date({2014, 1, 10, 13, 4, 20, 0}), hex("78 72 01 0A 0E 05 15"));  // real dump
  EXPECT_EQ(encode_date({2000, 1, 1, 0, 0, 0, 0}), hex("78 64 01 01 01 01 01"));
  EXPECT_EQ(encode_date({-4712, 1, 1, 0, 0, 0, 0}), hex("35 58 01 01 01 01 01"));
  EXPECT_EQ(encode_date({-1, 12, 31, 0, 0, 0, 0}), hex("64 63 0C 1F 01 01 01"));
  EXPECT_EQ(encode_date({9999, 12, 31, 23, 59, 59, 0}), hex("C7 C7 0C 1F 18 3C 3C"));
}

TEST(DumpWriterDate, Validation) {
  EXPECT_THROW(encode_date({2023, 2, 29, 0, 0, 0, 0}), EncodeError);
  EXPECT_NO_THROW(encode_date({2024, 2, 29, 0, 0, 0, 0}));
  EXPECT_THROW(encode_date({1900, 2, 29, 0, 0, 0, 0}), EncodeError);
  EXPECT_NO_THROW(encode_date({2000, 2, 29, 0, 0, 0, 0}));
  EXPECT_THROW(encode_date({0, 1, 1, 0, 0, 0, 0}), EncodeError);
  EXPECT_THROW(encode_date({10000, 1, 1, 0, 0, 0, 0}), EncodeError);
  EXPECT_THROW(encode_date({2020, 13, 1, 0, 0, 0, 0}), EncodeError);
  EXPECT_THROW(encode_date({2020, 4, 31, 0, 0, 0, 0}), EncodeError);
  EXPECT_THROW(encode_date({2020, 1, 1, 24, 0, 0, 0}), EncodeError);
  EXPECT_THROW(encode_date({2020, 1, 1, 0, 60, 0, 0}), EncodeError);
  EXPECT_THROW(encode_timestamp({2020, 1, 1, 0, 0, 0, 1000000000}), EncodeError);
}

TEST(DumpWriterTimestamp, FractionOnlyWhenPresent) {
  // ALPHA_SERVICES_STATS.UPDATE_TIMESTAMP of the real dump's first row.
  EXPECT_EQ(encode_timestamp({2014, 1, 15, 9, 26, 22, 466000000}), hex("78 72 01 0F 0A 1B 17 1B C6 98 80"));
  EXPECT_EQ(encode_timestamp({2014, 1, 15, 9, 26, 22, 0}), hex("78 72 01 0F 0A 1B 17"));
  EXPECT_EQ(encode_timestamp({2014, 1, 15, 9, 26, 22, 1}), hex("78 72 01 0F 0A 1B 17 00 00 00 01"));
}

TEST(DumpWriterDate, ParseText) {
  const DateTime a = parse_datetime("2014-01-15 09:26:22.466");
  EXPECT_EQ(encode_timestamp(a), hex("78 72 01 0F 0A 1B 17 1B C6 98 80"));
  const DateTime b = parse_datetime("1999/12/31");
  EXPECT_EQ(encode_date(b), hex("77 C7 0C 1F 01 01 01"));
  const DateTime c = parse_datetime("-0044-03-15 12:00:00");
  EXPECT_EQ(c.year, -44);
  EXPECT_EQ(parse_datetime("2026-12-07T04:00:00.123456789").nanos, 123456789u);
  for (const char* bad : {"", "2014", "2014-01", "2014-13-01", "2014-01-01 25:00:00", "2014-01-01 10:00",
                          "2014-01-01 10:00:00.", "2014-01-01 10:00:00.1234567890", "2014-01-01x"})
    EXPECT_THROW(parse_datetime(bad), EncodeError) << bad;
}

TEST(DumpWriterText, Utf16) {
  EXPECT_EQ(utf8_to_utf16be("A"), hex("00 41"));
  EXPECT_EQ(utf8_to_utf16be("\xE6\x97\xA5"), hex("65 E5"));
  EXPECT_EQ(utf8_to_utf16be("\xC3\xA9"), hex("00 E9"));
  EXPECT_EQ(utf8_to_utf16be("\xF0\x9F\x98\x80"), hex("D8 3D DE 00"));
  for (const char* bad : {"\xC0\x80", "\x80", "\xE6\x97", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
    EXPECT_THROW(utf8_to_utf16be(bad), EncodeError);
}

}  // namespace
}  // namespace qln::dumpwriter
