#include "values/sql_value.hpp"

#include <gtest/gtest.h>

#include <string>

#include "core/global_params.hpp"
#include "core/table_definition.hpp"

namespace qln {
namespace {

SqlValue text(std::string_view s) {
  SqlValue v;
  value_set_text(v, s);
  return v;
}
SqlValue bytes(std::string_view s) {
  SqlValue v;
  value_set_bytes(v, s);
  return v;
}
SqlValue number(std::string_view s) {
  SqlValue v;
  EXPECT_EQ(value_set_number(v, s), 0) << s;
  return v;
}
SqlValue date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  SqlValue v;
  value_set_date(v, y, mo, d, h, mi, s);
  return v;
}

TEST(SqlValueSetters, NumberTextIsExact) {
  EXPECT_EQ(number("1.2345678").text, "1.2345678");
  EXPECT_EQ(number("12345678901234567890123").text, "12345678901234567890123");
  EXPECT_EQ(number("-12345678901234567890.123456789012345678").text,
            "-12345678901234567890.123456789012345678");
  EXPECT_EQ(number("+007.50").text, "7.5");
  EXPECT_EQ(number("- 12").text, "-12");
  EXPECT_EQ(number(" 3 ").text, "3");
  EXPECT_EQ(number(".5").text, "0.5");
  EXPECT_EQ(number("-0").text, "-0");
  EXPECT_EQ(number("-0").sign(), -1);
  // Longer than the old 40-byte limit, as a 38-digit negative fraction is.
  std::string long_fraction = "-0." + std::string(37, '1') + "9";
  EXPECT_EQ(number(long_fraction).text, long_fraction);
  std::string tiny = "0." + std::string(129, '0') + "1";
  EXPECT_EQ(number(tiny).text, tiny);
  SqlValue v = number(tiny);
  EXPECT_EQ(v.type, VT_NUMBER);
  EXPECT_EQ(v.length, static_cast<int>(tiny.size()));
}

TEST(SqlValueSetters, NumberSpecialTexts) {
  SqlValue v;
  EXPECT_EQ(value_set_number(v, ""), 0);
  EXPECT_EQ(v.type, VT_NULL);
  EXPECT_EQ(v.length, 0);
  EXPECT_EQ(value_set_number(v, "   "), 0);
  EXPECT_EQ(v.type, VT_NUMBER);
  EXPECT_EQ(v.text, "0");
  for (std::string_view bad : {"1.2.3", "12-", "1e5", "abc", "+-1", "1 2"}) {
    EXPECT_EQ(value_set_number(v, bad), -1) << bad;
    EXPECT_EQ(v.text, "##ERROR##");
    EXPECT_EQ(v.length, -1);
  }
}

TEST(SqlValueSetters, TextLimitAndBytes) {
  SqlValue v;
  value_init(v);
  EXPECT_EQ(value_set_text(v, std::string(4000, 'x')), 0);
  EXPECT_EQ(v.length, 4000);
  EXPECT_EQ(value_set_text(v, std::string(4001, 'x')), -1);
  EXPECT_EQ(v.text, "##ERROR##");
  EXPECT_EQ(v.length, -1);
  EXPECT_EQ(v.type, VT_TEXT);

  std::string raw("a\0b", 3);
  EXPECT_EQ(value_set_bytes(v, raw), 0);
  EXPECT_EQ(v.type, VT_BYTES);
  EXPECT_EQ(v.length, 3);
  SqlValue copy;
  ASSERT_EQ(value_copy(v, copy), 0);
  EXPECT_EQ(copy.text, raw);  // not cut at the inner NUL
  EXPECT_EQ(copy.length, 3);

  value_clear(v);
  EXPECT_EQ(v.type, VT_NULL);
  EXPECT_EQ(v.length, 0);
}

TEST(SqlValueSetters, DatesTimestampsAndCopy) {
  SqlValue d = date(2010, 3, 5, 14, 7, 9);
  EXPECT_EQ(d.text, "2010/03/05 14:07:09");
  EXPECT_EQ(d.length, 19);
  EXPECT_EQ(d.weekday, 5);  // Friday
  SqlValue ts;
  value_set_timestamp(ts, 2011, 12, 31, 23, 59, 59, 123456789);
  EXPECT_EQ(ts.type, VT_TIMESTAMP);
  EXPECT_EQ(ts.text, "2011/12/31 23:59:59.123456789");
  EXPECT_EQ(value_weekday(ts), 6);
  SqlValue copy;
  ASSERT_EQ(value_copy(ts, copy), 0);
  EXPECT_EQ(copy.nanosecond, 123456789);
  EXPECT_EQ(copy.second, 59);
  EXPECT_EQ(value_compare(copy, ts), CMP_EQUAL);

  SqlValue n = number("-12.5");
  ASSERT_EQ(value_copy(n, copy), 0);
  EXPECT_EQ(copy.type, VT_NUMBER);
  EXPECT_EQ(copy.text, "-12.5");
  EXPECT_EQ(value_compare(copy, n), CMP_EQUAL);

  SqlValue odd;
  odd.type = 42;
  ASSERT_EQ(value_copy(odd, copy), -1);
  EXPECT_EQ(copy.text, "-12.5");  // unchanged
}

TEST(SqlValueWeekday, FollowsCalendar) {
  EXPECT_EQ(weekday_of(2026, 12, 7), 1);  // Monday
  EXPECT_EQ(weekday_of(2000, 2, 29), 2);  // Tuesday
  EXPECT_EQ(weekday_of(1752, 9, 14), 4);  // Thursday
  EXPECT_EQ(weekday_of(1751, 1, 1), -1);
  EXPECT_EQ(weekday_of(2010, 13, 1), -1);
  SqlValue t = text("x");
  EXPECT_EQ(value_weekday(t), -1);
}

TEST(SqlValueCompare, Texts) {
  EXPECT_EQ(value_compare(text("AB"), text("AB   ")), CMP_EQUAL);
  EXPECT_EQ(value_compare(bytes("AB"), text("AB   ")), CMP_LESS);
  EXPECT_EQ(value_compare(text("AB   "), bytes("AB")), CMP_GREATER);
  EXPECT_EQ(value_compare(text("AB"), text("AB!")), CMP_LESS);
  EXPECT_EQ(value_compare(text("AB"), text("AB\t")), CMP_GREATER);
  EXPECT_EQ(value_compare(text(""), text("A")), CMP_NONE);
  EXPECT_EQ(value_compare(text(""), text("")), CMP_EQUAL);
  EXPECT_EQ(value_compare(bytes(""), bytes("")), CMP_EQUAL);
  EXPECT_EQ(value_compare(text("\xe0"), text("a")), CMP_GREATER);  // unsigned bytes
  EXPECT_EQ(value_compare(bytes("abc"), bytes("abd")), CMP_LESS);
}

TEST(SqlValueCompare, NumbersExactly) {
  EXPECT_EQ(value_compare(number("0.1"), number("0.10")), CMP_EQUAL);
  EXPECT_EQ(value_compare(number(".1"), number("0.1")), CMP_EQUAL);
  EXPECT_EQ(value_compare(number("-1.5"), number("-1.25")), CMP_LESS);
  EXPECT_EQ(value_compare(number("0.5"), number("0.25")), CMP_GREATER);
  EXPECT_EQ(value_compare(number("1.0000001"), number("1.00000011")), CMP_LESS);
  EXPECT_EQ(value_compare(number("12345678901234567890123456789012345678"),
                          number("12345678901234567890123456789012345677")),
            CMP_GREATER);
  EXPECT_EQ(value_compare(number("18446744073709551617"), number("1")), CMP_GREATER);
  EXPECT_EQ(value_compare(number("-0"), number("0")), CMP_EQUAL);
  // Text against number: the text is read as a number.
  EXPECT_EQ(value_compare(text("10"), number("9")), CMP_GREATER);
  EXPECT_EQ(value_compare(number("9"), bytes("10")), CMP_LESS);
  EXPECT_EQ(value_compare(text(".10"), number("0.1")), CMP_EQUAL);
  EXPECT_EQ(value_compare(text("abc"), number("1")), CMP_NONE);
  EXPECT_EQ(value_compare(number("1"), text("")), CMP_NONE);
  SqlValue null_value;
  EXPECT_EQ(value_compare(null_value, number("1")), CMP_NONE);
  EXPECT_EQ(value_compare(null_value, null_value), CMP_NONE);
}

TEST(SqlValueCompare, DatesAndTimestamps) {
  SqlValue sys;
  value_set_sysdate(sys, 2010, 5, 1, 0, 0, 0);
  EXPECT_EQ(value_compare(date(2010, 5, 1), sys), CMP_EQUAL);
  EXPECT_EQ(value_compare(date(2010, 5, 1), date(2010, 5, 1, 0, 0, 1)), CMP_LESS);
  EXPECT_EQ(value_compare(date(2011, 1, 1), date(2010, 12, 31)), CMP_GREATER);
  EXPECT_EQ(value_compare(date(-50, 1, 1), date(10, 1, 1)), CMP_LESS);

  SqlValue ts0, ts1;
  value_set_timestamp(ts0, 2010, 5, 1, 0, 0, 0, 0);
  value_set_timestamp(ts1, 2010, 5, 1, 0, 0, 0, 1);
  EXPECT_EQ(value_compare(date(2010, 5, 1), ts0), CMP_EQUAL);
  EXPECT_EQ(value_compare(date(2010, 5, 1), ts1), CMP_LESS);
  EXPECT_EQ(value_compare(ts1, ts0), CMP_GREATER);
  EXPECT_EQ(value_compare(ts1, date(2010, 5, 1, 0, 0, 1)), CMP_LESS);

  // An absent component ends the comparison.
  SqlValue partial = date(2010, 5, 1);
  partial.day = -1;
  SqlValue other = date(2010, 5, 9);
  EXPECT_EQ(value_compare(partial, other), CMP_LESS);
  other.day = -1;
  other.hour = 5;
  EXPECT_EQ(value_compare(partial, other), CMP_EQUAL);
  EXPECT_EQ(value_compare(date(2010, 5, 1), partial), CMP_GREATER);

  EXPECT_EQ(value_compare(date(2010, 5, 1), text("2010/05/01 00:00:00")), CMP_NONE);
  EXPECT_EQ(value_compare(number("1"), date(2010, 5, 1)), CMP_NONE);
}

TEST(SqlValueMatch, PercentAtTheEnds) {
  auto match = [](std::string_view s, std::string_view p, int cs = kCharsetSjis) {
    return value_match(text(s), text(p), cs);
  };
  EXPECT_EQ(match("", "%"), 0);
  EXPECT_EQ(match("abc", "%%"), 0);
  EXPECT_EQ(match("A_C", "A_C"), 0);
  EXPECT_EQ(match("ABC", "A_C"), -1);
  EXPECT_EQ(match("ABC", "AB%"), 0);
  EXPECT_EQ(match("ABC", "%BC"), 0);
  EXPECT_EQ(match("ABC", "%B%"), 0);
  EXPECT_EQ(match("ABC", "%D%"), -1);
  EXPECT_EQ(match("ABC", "%A"), -1);
  EXPECT_EQ(match("abc", "ABC"), -1);
  EXPECT_EQ(match("A%C", "A%C"), 0);  // inner % is ordinary
  EXPECT_EQ(match("AXC", "A%C"), -1);
  // Shift_JIS: 0x83 0x5C is one character whose second byte is a backslash;
  // "\" must not match inside it, nor at its end.
  EXPECT_EQ(match("\x83\x5C", "%\\%"), -1);
  EXPECT_EQ(match("\x83\x5C", "%\\"), -1);
  EXPECT_EQ(match("a\\", "%\\"), 0);
  EXPECT_EQ(match("\x83\x5C", "%\\", kCharsetUsAscii), 0);
  // UTF-8 (one three-byte character) found whole.
  EXPECT_EQ(match("x\xe6\x97\xa5y", "%\xe6\x97\xa5%", kCharsetUtf8), 0);
}

TEST(SqlValueArith, NumbersAndConcatenation) {
  SqlValue r;
  auto arith = [&](std::string_view a, int op, std::string_view b) {
    EXPECT_EQ(value_arith(number(a), op, number(b), r), 0);
    return r.text;
  };
  EXPECT_EQ(arith("1.5", kOpAdd, "2"), "3.5");
  EXPECT_EQ(arith("7", kOpDivide, "2"), "3.5");
  EXPECT_EQ(arith("7.5", kOpDivide, "2.5"), "3");
  EXPECT_EQ(arith("1.2345678", kOpMultiply, "10"), "12.345678");
  EXPECT_EQ(arith("9223372036854775807", kOpAdd, "1"), "9223372036854775808");
  EXPECT_EQ(arith("-9223372036854775807", kOpSubtract, "10"), "-9223372036854775817");
  EXPECT_EQ(arith("4294967296", kOpMultiply, "4294967296"), "18446744073709551616");
  EXPECT_EQ(arith("0.1", kOpAdd, "0.2"), "0.3");
  EXPECT_EQ(r.type, VT_NUMBER);

  EXPECT_EQ(value_arith(number("1"), kOpDivide, number("0"), r), -1);
  EXPECT_EQ(r.text, "##ERROR##");
  EXPECT_EQ(value_arith(number("1"), kOpAdd, text("2"), r), -1);

  EXPECT_EQ(value_arith(text("ab"), kOpConcat, bytes("cd"), r), 0);
  EXPECT_EQ(r.type, VT_TEXT);
  EXPECT_EQ(r.text, "abcd");
  SqlValue null_value;
  EXPECT_EQ(value_arith(text("abc"), kOpConcat, null_value, r), -1);
  EXPECT_EQ(r.text, "##ERROR##");
  EXPECT_EQ(value_arith(text(std::string(2000, 'a')), kOpConcat, text(std::string(2001, 'b')), r),
            -1);
  EXPECT_EQ(value_arith(text(std::string(2000, 'a')), kOpConcat, text(std::string(2000, 'b')), r),
            0);
  EXPECT_EQ(r.length, 4000);

  // Results longer than a value holds fail instead of being cut.
  EXPECT_EQ(value_arith(number(std::string(2000, '9')), kOpMultiply, number(std::string(2000, '9')), r),
            0);
  EXPECT_EQ(r.length, 4000);
  EXPECT_EQ(value_arith(number(std::string(2001, '9')), kOpMultiply, number(std::string(2000, '9')), r),
            -1);
  EXPECT_EQ(r.text, "##ERROR##");
  EXPECT_EQ(value_arith(number(std::string(3999, '7')), kOpDivide, number("0.001"), r), -1);
  EXPECT_EQ(value_arith(number("1"), kOpDivide, number(std::string(3000, '3')), r), 0);
  EXPECT_EQ(r.text, "0." + std::string(2999, '0') + "3");  // 3E-3000, then zeros

  // An operator it does not know leaves the result alone.
  value_set_text(r, "keep");
  EXPECT_EQ(value_arith(number("1"), 1, number("2"), r), 0);
  EXPECT_EQ(r.text, "keep");

  // The result may be an operand.
  SqlValue a = number("2");
  EXPECT_EQ(value_arith(a, kOpMultiply, a, a), 0);
  EXPECT_EQ(a.text, "4");
}

TEST(TextUtilities, Examples) {
  auto apply = [](void (*f)(std::string&), std::string s) {
    f(s);
    return s;
  };
  EXPECT_EQ(apply(strip_parens, " ((A)) "), "A");
  EXPECT_EQ(apply(strip_parens, "(A) + (B)"), "A) + (B");
  EXPECT_EQ(apply(strip_parens, "( (x) )"), "x");
  EXPECT_EQ(apply(strip_single_quotes, "'abc'"), "abc");
  EXPECT_EQ(apply(strip_single_quotes, "''"), "");
  EXPECT_EQ(apply(strip_single_quotes, "'a''b'"), "a''b");
  EXPECT_EQ(apply(strip_single_quotes, "'"), "'");
  EXPECT_EQ(apply(strip_trailing_zeros, "1.500"), "1.5");
  EXPECT_EQ(apply(normalize_number_text, "007"), "7");
  EXPECT_EQ(apply(normalize_number_text, "0.50"), ".5");
  EXPECT_EQ(apply(normalize_number_text, "-0.5"), "-.5");
  EXPECT_EQ(apply(normalize_number_text, "1.000"), "1.0");
  EXPECT_EQ(apply(normalize_number_text, "000"), "0");
  EXPECT_EQ(apply(normalize_number_text, "100"), "100");

  EXPECT_TRUE(is_number_text("-1.5"));
  EXPECT_TRUE(is_number_text(""));
  EXPECT_FALSE(is_number_text("1e5"));
  EXPECT_TRUE(is_literal_text("'x'"));
  EXPECT_TRUE(is_literal_text("12"));
  EXPECT_FALSE(is_literal_text("'"));
  EXPECT_FALSE(is_literal_text("NAME"));

  std::string host = ":\"qty\"";
  EXPECT_EQ(bind_name(host), 0);
  EXPECT_EQ(host, ":qty");
  host = ":qty";
  EXPECT_EQ(bind_name(host), 0);
  EXPECT_EQ(host, ":qty");
  host = ":";
  EXPECT_EQ(bind_name(host), -1);
  host = "qty";
  EXPECT_EQ(bind_name(host), -1);
}

TEST(ParseTypeText, ColumnDefinitions) {
  auto check = [](std::string_view in, int type, int first, int second, std::string_view suffix) {
    TypeText t = parse_type_text(in);
    EXPECT_EQ(t.type, type) << in;
    EXPECT_EQ(t.first, first) << in;
    EXPECT_EQ(t.second, second) << in;
    EXPECT_EQ(t.suffix, suffix) << in;
  };
  check("NUMBER(10,2)", kColNumber, 10, 2, "");
  check("number(10, -2)", kColNumber, 10, -2, "");
  check("NUMBER", kColNumber, 0, 0, "");
  check("VARCHAR2(20 BYTE)", kColVarchar2, 20, 0, "");
  check("TIMESTAMP(6) WITH TIME ZONE", kColTimestamp, 6, 0, "WITH TIME ZONE");
  check("TIMESTAMP WITH TIME ZONE", kColTimestamp, 0, 0, "WITH TIME ZONE");
  check("TIMESTAMP(6) WITH LOCAL TIME ZONE", kColTimestamp, 6, 0, "");  // over 16 bytes
  check("CHAR(5)", kColChar, 5, 0, "");
  check("NCHAR(5)", kColNchar, 5, 0, "");
  check("NVARCHAR2(30)", kColNvarchar2, 30, 0, "");
  check("DATE", kColDate, 0, 0, "");
  check("LONG RAW", kColLongRaw, 0, 0, "");
  check("LONG", kColLong, 0, 0, "");
  check("RAW(16)", kColRaw, 16, 0, "");
  check("FLOAT(126)", kColFloat, 126, 0, "");
  check("BLOB", kColBlob, 0, 0, "");
  check("CLOB", kColClob, 0, 0, "");
  check("NCLOB", kColNclob, 0, 0, "");
  check("ROWID", kColRowid, 0, 0, "");
  check("INTERVAL DAY(2) TO SECOND(6)", kColInterval, 0, 0, "");
  check("XMLTYPE", -9, 0, 0, "");
  check("NUMBER(10", kColNumber, 10, 0, "");  // unclosed: the numbers still read
}

}  // namespace
}  // namespace qln
