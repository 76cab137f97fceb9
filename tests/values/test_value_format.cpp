#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "values/value_format.hpp"

namespace qln {
namespace {

using Bytes = std::vector<std::uint8_t>;

ColumnDef column(std::int32_t type, std::int32_t length = 0, std::int32_t scale = 0,
                 std::string type_text = {}) {
  ColumnDef c;
  c.name = "C";
  c.type = type;
  c.length = length;
  c.scale = scale;
  c.type_text = std::move(type_text);
  return c;
}

class ValueFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    g.db_charset = kCharsetUtf8;
    g.nls_charset = kCharsetUtf16;
    o.out_charset = kCharsetUtf8;
  }

  // Decodes `bytes` as the only column of a table of `c`.
  const SqlValue& decode(const ColumnDef& c, const Bytes& bytes) {
    o.table.columns.assign(1, c);
    row.clear();
    EXPECT_EQ(decode_value(g, o, 0, bytes, row), 0);
    EXPECT_EQ(row.size(), 1);
    return row[0];
  }

  std::string number_text(const Bytes& bytes, int scale = 0, bool insert = false) {
    const SqlValue& v = decode(column(kColNumber, 0, scale), bytes);
    std::string out;
    if (v.text[0] == '-') out.push_back('-');
    append_number_text(out, v, scale, insert);
    return out;
  }

  std::string last_message() const {
    return g.message_count > 0 ? g.messages[static_cast<std::size_t>(g.message_count - 1)] : "";
  }

  GlobalParams g;
  ConvOptions o;
  RowValues row;
};

TEST_F(ValueFormat, NumberEncodingsFromTheExamples) {
  const SqlValue& zero = decode(column(kColNumber), {0x80});
  EXPECT_EQ(zero.type, VT_NUMBER);
  EXPECT_EQ(zero.text, "0");
  EXPECT_EQ(zero.text, "0");
  EXPECT_EQ(decode(column(kColNumber), {0xC2, 0x02}).text, "100");
  // Two digit pairs missing at the low end.
  EXPECT_EQ(decode(column(kColNumber), {0xC4, 0x02}).text, "1000000");
  EXPECT_EQ(decode(column(kColNumber), {0xC1, 0x0C, 0x23}).text, "11.34");
  const SqlValue& minus11 = decode(column(kColNumber), {0x3E, 0x5A, 0x66});
  EXPECT_EQ(minus11.text, "-11");
  EXPECT_EQ(decode(column(kColNumber), {0xC0, 0x33}).text, "0.5");
  // Negative without the 102 terminator, as Oracle stores 20 digit bytes.
  EXPECT_EQ(decode(column(kColNumber), {0x3F, 0x33, 0x66}).text, "-0.5");
}

TEST_F(ValueFormat, ExactValuesWhenAConditionMayReadThem) {
  // Without a condition only the (exact) text is filled.
  EXPECT_FALSE(exact_numbers_needed(o));
  set_switch(o.is_condition, true);
  ASSERT_TRUE(exact_numbers_needed(o));
  const Bytes samples[] = {{0x80}, {0xC2, 0x02}, {0x3E, 0x5A, 0x66}, {0xC0, 0x33},
                           {0x80, 0x02}, {0xFF, 0x0B}, {0x3F, 0x33, 0x66}};
  for (const Bytes& b : samples) {
    const SqlValue& v = decode(column(kColNumber), b);
    EXPECT_EQ(v.number.to_text(), v.text);
    Decimal d;
    ASSERT_TRUE(decode_oracle_number(b, d));
    EXPECT_TRUE(d == v.number);
  }
  EXPECT_EQ(decode(column(kColNumber), {0x3E, 0x5A, 0x66}).sign(), -1);
  set_switch(o.is_condition, false);
  o.query = "SELECT * FROM T WHERE A = 1";
  EXPECT_TRUE(exact_numbers_needed(o));
  o.query.clear();
  // Filled later from the text on request.
  SqlValue v = decode(column(kColNumber), {0xC1, 0x0C, 0x23});
  ASSERT_EQ(ensure_exact_number(v), 0);
  EXPECT_EQ(v.number.to_text(), "11.34");
}

TEST_F(ValueFormat, NumbersBelowOneHundredthAndAtTheExponentLimits) {
  // 0.001 = 10 * 100^-2.
  EXPECT_EQ(decode(column(kColNumber), {0xBF, 0x0B}).text, "0.001");
  // -0.0012 = -(12 * 100^-2).
  EXPECT_EQ(decode(column(kColNumber), {0x40, 101 - 12, 0x66}).text, "-0.0012");
  // 1E-130 shares its exponent byte with zero but carries a digit.
  const SqlValue& tiny = decode(column(kColNumber), {0x80, 0x02});
  EXPECT_EQ(tiny.text, "0." + std::string(129, '0') + "1");
  EXPECT_EQ(decode(column(kColNumber), {0x7F, 100, 0x66}).text,
            "-0." + std::string(129, '0') + "1");
  // 1E125 and -1E125.
  EXPECT_EQ(decode(column(kColNumber), {0xFF, 0x0B}).text, "1" + std::string(125, '0'));
  EXPECT_EQ(decode(column(kColNumber), {0x00, 101 - 10, 0x66}).text,
            "-1" + std::string(125, '0'));
}

TEST_F(ValueFormat, FortyDigitNumbersKeepEveryDigit) {
  Bytes pos = {0xD4};
  Bytes neg = {0x2B};
  const int pairs[] = {12, 34, 56, 78, 90, 12, 34, 56, 78, 90,
                       12, 34, 56, 78, 90, 12, 34, 56, 78, 91};
  for (int p : pairs) {
    pos.push_back(static_cast<std::uint8_t>(p + 1));
    neg.push_back(static_cast<std::uint8_t>(101 - p));
  }
  std::string digits = "1234567890123456789012345678901234567891";
  EXPECT_EQ(decode(column(kColNumber), pos).text, digits);
  EXPECT_EQ(decode(column(kColNumber), neg).text, "-" + digits);
  // The same digits as a fraction: 0.1234...91 = pairs at 100^-1 onwards.
  pos[0] = 0xC0;
  EXPECT_EQ(number_text(pos), "." + digits);
  EXPECT_EQ(number_text(pos, 45), "." + digits + "00000");
}

// Oracle's encoding of sign * digits * 10^exponent (digits without leading or
// trailing zeros), written here independently of the decoder.
Bytes encode_number(bool negative, std::string digits, int exponent) {
  int int_len = static_cast<int>(digits.size()) + exponent;
  if (int_len % 2 != 0) {
    digits.insert(digits.begin(), '0');
    ++int_len;
  }
  if (digits.size() % 2 != 0) digits.push_back('0');
  int exponent100 = int_len / 2 - 1;
  Bytes b;
  b.push_back(static_cast<std::uint8_t>(negative ? 0x3E - exponent100 : 0xC1 + exponent100));
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    int pair = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
    b.push_back(static_cast<std::uint8_t>(negative ? 101 - pair : pair + 1));
  }
  if (negative && digits.size() < 40) b.push_back(102);
  return b;
}

std::string plain_text(bool negative, const std::string& digits, int exponent) {
  int int_len = static_cast<int>(digits.size()) + exponent;
  std::string t = negative ? "-" : "";
  if (exponent >= 0) return t + digits + std::string(static_cast<std::size_t>(exponent), '0');
  if (int_len > 0) {
    return t + digits.substr(0, static_cast<std::size_t>(int_len)) + "." +
           digits.substr(static_cast<std::size_t>(int_len));
  }
  return t + "0." + std::string(static_cast<std::size_t>(-int_len), '0') + digits;
}

TEST_F(ValueFormat, EveryNumberOracleCanStoreComesBackExactly) {
  std::mt19937 rng(20261207);
  for (int i = 0; i < 3000; ++i) {
    int len = std::uniform_int_distribution<int>(1, 40)(rng);
    std::string digits;
    for (int k = 0; k < len; ++k) {
      int lo = (k == 0 || k == len - 1) ? 1 : 0;
      digits.push_back(static_cast<char>('0' + std::uniform_int_distribution<int>(lo, 9)(rng)));
    }
    // Keep the base-100 exponent within Oracle's -65 .. 62 and the digits
    // within 20 pairs.
    int exponent = std::uniform_int_distribution<int>(-130, 125 - len)(rng);
    bool negative = rng() % 2 == 0;
    Bytes bytes = encode_number(negative, digits, exponent);
    ASSERT_LE(bytes.size(), 22u);
    std::string want = plain_text(negative, digits, exponent);
    ASSERT_EQ(decode(column(kColNumber), bytes).text, want) << i;
    set_switch(o.is_condition, true);
    ASSERT_EQ(decode(column(kColNumber), bytes).number.to_text(), want) << i;
    set_switch(o.is_condition, false);
  }
}

TEST_F(ValueFormat, NumberTextPadsToTheScaleAndNeverRounds) {
  const Bytes five = {0xC1, 0x06};
  const Bytes half = {0xC0, 0x33};
  const Bytes minus11 = {0x3E, 0x5A, 0x66};
  EXPECT_EQ(number_text(five, 2), "5.00");
  EXPECT_EQ(number_text(five, 2, true), "5.0");
  EXPECT_EQ(number_text(half, 2), ".50");
  EXPECT_EQ(number_text(half, 2, true), ".5");
  EXPECT_EQ(number_text(minus11, 2), "-11.00");
  EXPECT_EQ(number_text(minus11, 0), "-11");
  EXPECT_EQ(number_text(minus11, 0, true), "-11");
  EXPECT_EQ(number_text({0x80}, 2), "0.00");
  EXPECT_EQ(number_text({0x80}, 2, true), ".0");
  EXPECT_EQ(number_text({0x80}), "0");
  // 1.2345678 has more digits than the scale: all are kept.
  EXPECT_EQ(number_text({0xC1, 0x02, 0x18, 0x2E, 0x44, 0x51}, 2), "1.2345678");
  EXPECT_EQ(number_text({0xC1, 0x02, 0x18, 0x2E, 0x44, 0x51}, 0, true), "1.2345678");
  // 1.5 with scale 3; 100 with scale 1 in an INSERT.
  EXPECT_EQ(number_text({0xC1, 0x02, 0x33}, 3), "1.500");
  EXPECT_EQ(number_text({0xC2, 0x02}, 1, true), "100.0");
  // A negative declared scale pads nothing.
  EXPECT_EQ(number_text({0xC2, 0x02}, -2), "100");
}

TEST_F(ValueFormat, DamagedNumbersAreReported) {
  o.table.columns.assign(1, column(kColNumber));
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0xC1, 0x00}, row), -1);
  EXPECT_NE(last_message().find("03102"), std::string::npos);
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0xC1, 0xFF}, row), -1);
  // A lone exponent byte other than zero has no digits.
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0xC1}, row), -1);
  EXPECT_EQ(row.size(), 0);
}

TEST_F(ValueFormat, DatesAndTimestamps) {
  const SqlValue& d = decode(column(kColDate), {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C});
  EXPECT_EQ(d.type, VT_DATE);
  EXPECT_EQ(d.text, "2011/12/31 23:59:59");
  EXPECT_EQ(value_weekday(d), 6);  // a Saturday
  const SqlValue& ts7 = decode(column(kColTimestamp), {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C});
  EXPECT_EQ(ts7.type, VT_TIMESTAMP);
  EXPECT_EQ(ts7.nanosecond, 0);
  const SqlValue& ts = decode(column(kColTimestamp),
                              {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0x07, 0x5B, 0xCD, 0x15});
  EXPECT_EQ(ts.nanosecond, 123456789);
  EXPECT_EQ(ts.text, "2011/12/31 23:59:59.123456789");
  // Thirteen bytes: WITH TIME ZONE, kept in UTC with the offset behind it.
  // 2011-12-31 23:59:59 UTC at +00:00, at +05:30 and at -08:00.
  const Bytes utc = {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0, 0, 0, 1};
  auto zoned = [&](int hours, int minutes) {
    Bytes b = utc;
    b.push_back(static_cast<std::uint8_t>(hours + 20));
    b.push_back(static_cast<std::uint8_t>(minutes + 60));
    return decode(column(kColTimestamp), b).text;
  };
  EXPECT_EQ(zoned(0, 0), "2011/12/31 23:59:59.000000001");
  EXPECT_EQ(zoned(5, 30), "2012/01/01 05:29:59.000000001");
  EXPECT_EQ(zoned(-8, 0), "2011/12/31 15:59:59.000000001");
  // A named region (high bit set) stays in UTC.
  Bytes region = utc;
  region.push_back(0x80 | 0x01);
  region.push_back(0x10);
  EXPECT_EQ(decode(column(kColTimestamp), region).text, "2011/12/31 23:59:59.000000001");
  // Across the start of March in a leap year, and into the year before 1.
  EXPECT_EQ(decode(column(kColTimestamp), {120, 112, 2, 29, 23, 1, 1, 0, 0, 0, 0, 22, 60}).text,
            "2012/03/01 00:00:00.000000000");
  EXPECT_EQ(decode(column(kColTimestamp), {100, 101, 1, 1, 1, 1, 1, 0, 0, 0, 0, 19, 60}).text,
            "-001/12/31 23:00:00.000000000");
}

TEST_F(ValueFormat, YearsBeforeChrist) {
  // -4712-01-01, the earliest Oracle date, is stored 53 88.
  const SqlValue& d = decode(column(kColDate), {53, 88, 1, 1, 1, 1, 1});
  EXPECT_EQ(d.year, -4712);
  EXPECT_EQ(d.month, 1);
  // 1 BC is year -1: century 100, year of century 99.
  EXPECT_EQ(decode(column(kColDate), {100, 99, 12, 31, 1, 1, 1}).year, -1);
  EXPECT_EQ(decode(column(kColDate), {100, 101, 1, 1, 1, 1, 1}).year, 1);
}

TEST_F(ValueFormat, DamagedDatesAreReported) {
  o.table.columns.assign(1, column(kColDate));
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C}, row), -1);
  EXPECT_NE(last_message().find("03102"), std::string::npos);
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0}, row), -1);
  // Month 13, hour 24 and minute 60 are no date.
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0D, 0x1F, 0x18, 0x3C, 0x3C}, row), -1);
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x1F, 0x19, 0x3C, 0x3C}, row), -1);
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3D, 0x3C}, row), -1);
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x00, 0x18, 0x3C, 0x3C}, row), -1);
  EXPECT_EQ(row.size(), 0);
  o.table.columns.assign(1, column(kColTimestamp));
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0, 0}, row), -1);
  // More nanoseconds than a second has.
  EXPECT_EQ(decode_value(g, o, 0, Bytes{0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0x3B, 0x9A,
                                        0xCA, 0x00},
                         row),
            -1);
}

TEST_F(ValueFormat, CharacterColumns) {
  const SqlValue& c = decode(column(kColChar, 5), {'A', 'B'});
  EXPECT_EQ(c.type, VT_TEXT);
  EXPECT_EQ(c.text, "AB   ");
  // A value longer in bytes than the declared length (multibyte) is kept whole.
  const SqlValue& wide = decode(column(kColChar, 2), {0xE3, 0x81, 0x82, 0xE3, 0x81, 0x84});
  EXPECT_EQ(wide.text, "\xE3\x81\x82\xE3\x81\x84");
  const SqlValue& vc = decode(column(kColVarchar2, 10), {'x', 'y'});
  EXPECT_EQ(vc.type, VT_BYTES);
  EXPECT_EQ(vc.text, "xy");
  // NVARCHAR2 in UTF-16 comes out in the output character set.
  EXPECT_EQ(decode(column(kColNvarchar2, 10), {0x00, 0x41, 0x30, 0x42}).text, "A\xE3\x81\x82");
  // An output set without conversions still gets no UTF-16 bytes.
  o.out_charset = kCharsetUsAscii;
  EXPECT_EQ(decode(column(kColNvarchar2, 10), {0x00, 0x41, 0x00, 0x42}).text, "AB");
  o.out_charset = kCharsetUtf8;
  // NCHAR(3) in UTF-16 is padded by characters.
  EXPECT_EQ(decode(column(kColNchar, 3), {0x00, 0x41}).text, "A  ");
}

TEST_F(ValueFormat, TextIsConvertedToTheOutputCharacterSet) {
  o.out_charset = kCharsetSjis;
  EXPECT_EQ(decode(column(kColVarchar2, 10), {0xE3, 0x81, 0x82}).text, "\x82\xA0");
  o.out_charset = kCharsetUtf8;
  set_switch(o.is_to_sjis, true);
  EXPECT_EQ(decode(column(kColVarchar2, 10), {0xE3, 0x81, 0x82}).text, "\x82\xA0");
  set_switch(o.is_to_sjis, false);
  EXPECT_EQ(decode(column(kColVarchar2, 10), {0xE3, 0x81, 0x82}).text, "\xE3\x81\x82");
}

TEST_F(ValueFormat, RawFormats) {
  const Bytes raw = {0xAB, 0xCD, 0xEF};
  o.raw_length = 2;
  EXPECT_EQ(decode(column(kColRaw), raw).text, "0xabcd");
  o.raw_length = 20;
  EXPECT_EQ(decode(column(kColRaw), raw).text, "0xabcdef");
  // Longer than 256 bytes with a long raw_length: nothing is lost.
  o.raw_length = 999;
  Bytes big(300, 0x01);
  EXPECT_EQ(decode(column(kColLongRaw), big).text.size(), 2u + 600u);
  o.raw_format = kRawIgnore;
  const SqlValue& ignored = decode(column(kColRaw), raw);
  EXPECT_EQ(ignored.type, VT_BYTES);
  EXPECT_EQ(ignored.text, "");
  o.raw_format = kRawAscii;
  o.raw_length = 20;
  EXPECT_EQ(decode(column(kColLong), {'a', 0x01, 'b', 0x7F, 'c'}).text, "a.b.c");
  // Whole multibyte characters of the database set are kept, a cut one is not.
  EXPECT_EQ(decode(column(kColLong), {'a', 0xE3, 0x81, 0x82}).text, "a\xE3\x81\x82");
  o.raw_length = 3;
  EXPECT_EQ(decode(column(kColLong), {'a', 0xE3, 0x81, 0x82}).text, "a..");
}

TEST_F(ValueFormat, PlaceholdersAndUnknownTypes) {
  o.table.columns = {column(kColNumber), column(kColBlob), column(kColInterval)};
  row.clear();
  ASSERT_EQ(decode_value(g, o, 0, Bytes{0xC1, 0x02}, row), 0);
  ASSERT_EQ(decode_value(g, o, 1, Bytes{1, 2, 3}, row), 0);
  ASSERT_EQ(decode_value(g, o, 2, Bytes{1}, row), 0);
  EXPECT_EQ(row[1].text, "%%BLOB%%_2");
  EXPECT_EQ(row[2].text, "%%NOT_SUPPORT%%");
  EXPECT_EQ(placeholder_text(kColClob, 4), "%%CLOB%%_4");
  EXPECT_EQ(placeholder_text(kColNclob, 1), "%%NCLOB%%_1");
  EXPECT_EQ(placeholder_text(kColVarchar2, 1), "");
  o.table.columns = {column(kColUnset)};
  EXPECT_EQ(decode_value(g, o, 0, Bytes{1}, row), -1);
  EXPECT_NE(last_message().find("04000"), std::string::npos);
}

TEST_F(ValueFormat, RowValuesAreReusedAcrossRows) {
  o.table.columns.assign(1, column(kColVarchar2, 200));
  Bytes long_text(150, 'x');
  ASSERT_EQ(decode_value(g, o, 0, long_text, row), 0);
  const char* buffer = row[0].text.data();
  row.clear();
  ASSERT_EQ(decode_value(g, o, 0, Bytes{'y'}, row), 0);
  EXPECT_EQ(row[0].text, "y");
  EXPECT_EQ(row[0].text.data(), buffer);
  row.add_null();
  EXPECT_EQ(row[1].type, VT_NULL);
  EXPECT_EQ(row.size(), 2);
}

TEST(CompileDateFormat, Levels) {
  GlobalParams g;
  ConvOptions o;
  auto compile = [&](const std::string& f) {
    o.date_format = f;
    EXPECT_EQ(compile_date_format(g, o), 0);
    return o.date_format_kind;
  };
  EXPECT_EQ(compile("YYYY/MM/DD HH24:MI:SS"), 3);
  EXPECT_EQ(o.date_printf, "%04d/%02d/%02d %02d:%02d:%02d");
  EXPECT_EQ(compile("YYYY-MM-DD"), 1);
  EXPECT_EQ(o.date_printf, "%04d-%02d-%02d");
  EXPECT_EQ(compile("yyyy.mm.dd hh24:mi"), 2);
  EXPECT_EQ(o.date_printf, "%04d.%02d.%02d %02d:%02d");
  EXPECT_EQ(compile("YYYYMMDDHH24MISS"), 3);
  EXPECT_EQ(o.date_printf, "%04d%02d%02d%02d%02d%02d");
  // Out of order, or ending in the middle: handed to TO_CHAR.
  EXPECT_EQ(compile("DD/MM/YYYY"), -1);
  EXPECT_EQ(o.date_printf, "");
  EXPECT_EQ(compile("YYYY/MM/DD HH24"), -1);
  EXPECT_EQ(compile("YYYY/MM"), -1);
  // A quoted literal is printed without its quotes; a percent sign stays one.
  EXPECT_EQ(compile("YYYY\"y\"MM\"m\"DD\"%\""), 1);
  EXPECT_EQ(o.date_printf, "%04dy%02dm%02d%%");
}

TEST(TimestampPrecision, FromTheDeclaredType) {
  EXPECT_EQ(timestamp_precision(column(kColTimestamp, 0, 0, "TIMESTAMP (6)")), 6);
  EXPECT_EQ(timestamp_precision(column(kColTimestamp, 0, 0, "TIMESTAMP(3)")), 3);
  EXPECT_EQ(timestamp_precision(column(kColTimestamp, 0, 0, "TIMESTAMP (0) WITH TIME ZONE")), 0);
  EXPECT_EQ(timestamp_precision(column(kColTimestamp, 0, 0, "TIMESTAMP")), 6);
  EXPECT_EQ(timestamp_precision(column(kColTimestamp)), 6);
}

}  // namespace
}  // namespace qln
