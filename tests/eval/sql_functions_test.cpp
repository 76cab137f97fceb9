#include "eval/sql_functions.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/platform.hpp"

namespace qln {
namespace {

// Builds arguments: numbers from number texts, everything else as texts.
struct Arg {
  SqlValue v;
  Arg(const char* s) { value_set_text(v, s); }                 // NOLINT: literal texts
  Arg(std::string_view s) { value_set_text(v, s); }            // NOLINT
  Arg(const std::string& s) { value_set_text(v, s); }          // NOLINT
  Arg(int n) { value_set_number(v, std::to_string(n)); }       // NOLINT
  Arg(const SqlValue& value) : v(value) {}                     // NOLINT
};

class SqlFunctions : public ::testing::Test {
 protected:
  GlobalParams g;

  int call(std::string_view name, std::vector<Arg> args, SqlValue& r) {
    std::vector<SqlValue> values;
    for (Arg& a : args) values.push_back(a.v);
    return call_function(g, lookup_function(name), values, r);
  }
  std::string text_of(std::string_view name, std::vector<Arg> args) {
    SqlValue r;
    EXPECT_EQ(call(name, std::move(args), r), 0) << name;
    return r.text;
  }
  bool fails(std::string_view name, std::vector<Arg> args) {
    SqlValue r;
    int rc = call(name, std::move(args), r);
    return rc == -1 && r.text == "##ERROR##";
  }
  static SqlValue date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SqlValue v;
    value_set_date(v, y, mo, d, h, mi, s);
    return v;
  }
};

TEST_F(SqlFunctions, LookupAndArgumentCounts) {
  EXPECT_EQ(lookup_function("to_char"), kFnToChar);
  EXPECT_EQ(lookup_function("Instrb"), kFnInstrb);
  EXPECT_EQ(lookup_function("SYSDATE"), kFnSysdate);
  EXPECT_EQ(lookup_function("NVL"), -1);
  EXPECT_EQ(lookup_function("SUBSTR "), -1);
  EXPECT_EQ(function_name(kFnLpad), "LPAD");

  SqlValue r;
  EXPECT_EQ(call("SUBSTR", {"ABC"}, r), -1);
  EXPECT_EQ(g.message_count, 1);
  EXPECT_NE(g.messages[0].find("ZUL-02137"), std::string::npos);
  EXPECT_NE(g.messages[0].find("SUBSTR"), std::string::npos);
  EXPECT_EQ(call("TO_CHAR", {"a", "b", "c"}, r), -1);
  EXPECT_EQ(call("INSTR", {"a", "b", 1, 1, 1}, r), -1);
  EXPECT_EQ(call("TRIM", {}, r), -1);
  EXPECT_EQ(g.message_count, 4);
  // SYSDATE ignores whatever it is given.
  EXPECT_EQ(call("SYSDATE", {"x", 1}, r), 0);
  EXPECT_EQ(r.type, VT_SYSDATE);
  EXPECT_EQ(g.message_count, 4);
}

TEST_F(SqlFunctions, Substr) {
  EXPECT_EQ(text_of("SUBSTR", {"ABCDEF", 2, 3}), "BCD");
  EXPECT_EQ(text_of("SUBSTR", {"ABCDEF", -2}), "EF");
  EXPECT_EQ(text_of("SUBSTR", {"ABCDEF", 0, 2}), "AB");
  EXPECT_EQ(text_of("SUBSTR", {"ABC", 5}), "");
  EXPECT_EQ(text_of("SUBSTR", {"ABC", -4}), "");
  EXPECT_EQ(text_of("SUBSTR", {"ABC", 1, 0}), "");
  EXPECT_EQ(text_of("SUBSTR", {"ABC", 2, 99}), "BC");
  EXPECT_EQ(text_of("SUBSTR", {"ABC", 2, ""}), "BC");  // empty length: absent
  EXPECT_EQ(text_of("SUBSTR", {"", 1}), "");
  EXPECT_EQ(text_of("SUBSTR", {"ABCDEF", "3", "2"}), "CD");  // numbers given as texts
  EXPECT_TRUE(fails("SUBSTR", {"ABC", "x"}));
  SqlValue r;
  call("SUBSTR", {"ABCDEF", 2, 3}, r);
  EXPECT_EQ(r.type, VT_TEXT);

  // Three two-byte Shift_JIS characters.
  const std::string sjis = "\x82\xa0\x82\xa2\x82\xa4";
  EXPECT_EQ(text_of("SUBSTR", {sjis, 2, 1}), "\x82\xa2");
  EXPECT_EQ(text_of("SUBSTRB", {sjis, 2, 2}), "\xa0\x82");
  EXPECT_EQ(text_of("SUBSTR", {sjis, -1}), "\x82\xa4");
  g.os_charset = kCharsetUtf8;
  EXPECT_EQ(text_of("SUBSTR", {"a\xe6\x97\xa5" "b", 2, 1}), "\xe6\x97\xa5");
}

TEST_F(SqlFunctions, Length) {
  const std::string sjis = "\x82\xa0\x82\xa2\x82\xa4";
  EXPECT_EQ(text_of("LENGTH", {sjis}), "3");
  EXPECT_EQ(text_of("LENGTHB", {sjis}), "6");
  EXPECT_EQ(text_of("LENGTH", {""}), "0");
  SqlValue r;
  call("LENGTH", {"abc"}, r);
  EXPECT_EQ(r.type, VT_NUMBER);
  g.os_charset = kCharsetUtf8;
  EXPECT_EQ(text_of("LENGTH", {"\xe6\x97\xa5\xe6\x9c\xac"}), "2");
}

TEST_F(SqlFunctions, Instr) {
  EXPECT_EQ(text_of("INSTR", {"ABCABC", "B"}), "2");
  EXPECT_EQ(text_of("INSTR", {"ABCABC", "B", 1, 2}), "5");
  EXPECT_EQ(text_of("INSTR", {"ABCABC", "B", -1}), "5");
  EXPECT_EQ(text_of("INSTR", {"ABCABC", "B", -1, 2}), "2");
  EXPECT_EQ(text_of("INSTR", {"ABC", "B", 0}), "0");
  EXPECT_EQ(text_of("INSTR", {"ABC", "D"}), "0");
  EXPECT_EQ(text_of("INSTR", {"ABC", "B", 3}), "0");
  EXPECT_EQ(text_of("INSTR", {"ABCABC", "B", 1, 0}), "2");
  EXPECT_EQ(text_of("INSTR", {"ABC", "", 2}), "2");
  EXPECT_EQ(text_of("INSTR", {"ABC", "BCD"}), "0");
  // Character positions against byte positions; no match inside a character.
  const std::string sjis = "\x82\xa0\x82\xa2\x82\xa4";
  EXPECT_EQ(text_of("INSTR", {sjis, "\x82\xa4"}), "3");
  EXPECT_EQ(text_of("INSTRB", {sjis, "\x82\xa4"}), "5");
  EXPECT_EQ(text_of("INSTR", {"\x83\x5c" "\\", "\\"}), "2");
  EXPECT_EQ(text_of("INSTRB", {"\x83\x5c" "\\", "\\"}), "2");
}

TEST_F(SqlFunctions, Padding) {
  EXPECT_EQ(text_of("LPAD", {"7", 3, "0"}), "007");
  EXPECT_EQ(text_of("LPAD", {"ABCDE", 3}), "ABC");
  EXPECT_EQ(text_of("RPAD", {"AB", 5, "xy"}), "ABxyx");
  EXPECT_EQ(text_of("LPAD", {"AB", 5, "xy"}), "xyxAB");
  EXPECT_EQ(text_of("LPAD", {"AB", 4}), "  AB");
  EXPECT_EQ(text_of("RPAD", {"AB", -4, ""}), "AB  ");
  EXPECT_EQ(text_of("RPAD", {"AB", 0}), "");
  EXPECT_EQ(text_of("RPAD", {"", 2, "*"}), "**");
  EXPECT_EQ(text_of("RPAD", {"A", 4000, "*"}).size(), 4000u);
  EXPECT_TRUE(fails("RPAD", {"A", 4001, "*"}));
  EXPECT_TRUE(fails("LPAD", {"A", 100000}));
  // Shift_JIS characters are not split: what does not fit becomes a blank.
  const std::string sjis = "\x82\xa0\x82\xa2";
  EXPECT_EQ(text_of("LPAD", {sjis, 3}), "\x82\xa0 ");
  EXPECT_EQ(text_of("RPAD", {"A", 4, "\x82\xa0"}), "A\x82\xa0 ");
}

TEST_F(SqlFunctions, Trimming) {
  EXPECT_EQ(text_of("TRIM", {"  AB  "}), "AB");
  EXPECT_EQ(text_of("TRIM", {"\tAB "}), "\tAB");
  EXPECT_EQ(text_of("LTRIM", {"xxAxB", "x"}), "AxB");
  EXPECT_EQ(text_of("RTRIM", {"ABCBB", "CB"}), "A");
  EXPECT_EQ(text_of("LTRIM", {"  A  "}), "A  ");
  EXPECT_EQ(text_of("RTRIM", {"  A  "}), "  A");
  EXPECT_EQ(text_of("RTRIM", {"xxx", "x"}), "");
  // Set characters are whole characters: 0x83 0x5C is not a backslash.
  EXPECT_EQ(text_of("RTRIM", {"A\x83\x5c", "\\"}), "A\x83\x5c");
  EXPECT_EQ(text_of("RTRIM", {"A\x83\x5c\x83\x5c", "\x83\x5c"}), "A");
  EXPECT_EQ(text_of("LTRIM", {"\x82\xa0\x82\xa0" "B", "\x82\xa0"}), "B");
}

TEST_F(SqlFunctions, UpperLower) {
  // abc and full-width A and b in Shift_JIS.
  EXPECT_EQ(text_of("UPPER", {"abc\x82\x60\x82\x82"}), "ABC\x82\x60\x82\x61");
  EXPECT_EQ(text_of("LOWER", {"ABC\x82\x60\x82\x82"}), "abc\x82\x81\x82\x82");
  // A trail byte that looks like a letter stays as it is.
  EXPECT_EQ(text_of("LOWER", {"\x94\x4e"}), "\x94\x4e");
  g.os_charset = kCharsetEucJp;
  EXPECT_EQ(text_of("UPPER", {"a\xa3\xe2"}), "A\xa3\xc2");
  EXPECT_EQ(text_of("LOWER", {"\xa3\xc1"}), "\xa3\xe1");
  g.os_charset = kCharsetUtf8;
  EXPECT_EQ(text_of("UPPER", {"\xef\xbd\x82x"}), "\xef\xbc\xa2X");
  EXPECT_EQ(text_of("LOWER", {"\xef\xbc\xa2X"}), "\xef\xbd\x82x");
  g.os_charset = kCharsetUsAscii;
  EXPECT_EQ(text_of("UPPER", {"a\x82\x82"}), "A\x82\x82");
}

TEST_F(SqlFunctions, ToCharOfDates) {
  SqlValue d = date(2010, 3, 5, 14, 7, 9);
  EXPECT_EQ(text_of("TO_CHAR", {d, "YYYY/MM/DD HH24:MI:SS"}), "2010/03/05 14:07:09");
  EXPECT_EQ(text_of("TO_CHAR", {d, "YY-M1-D1"}), "10-3-5");
  EXPECT_EQ(text_of("TO_CHAR", {d, "yy-m1-d1"}), "10-3-5");
  EXPECT_EQ(text_of("TO_CHAR", {d, "DAY"}), "Fri");
  EXPECT_EQ(text_of("TO_CHAR", {date(2010, 3, 9), "DAY"}), "Tue");
  EXPECT_EQ(text_of("TO_CHAR", {d, "DD MON YYYY"}), "05 Mar 2010");
  EXPECT_EQ(text_of("TO_CHAR", {d, "PM HH12"}), "PM 02");
  EXPECT_EQ(text_of("TO_CHAR", {d, "HH12 PM"}), "14 PM");
  EXPECT_EQ(text_of("TO_CHAR", {d, "HH"}), "14");
  EXPECT_EQ(text_of("TO_CHAR", {d, "Y"}), "Y");
  EXPECT_EQ(text_of("TO_CHAR", {d, "YYYYMMDD"}), "20100305");
  EXPECT_EQ(text_of("TO_CHAR", {date(1999, 1, 1), "YY"}), "99");
  EXPECT_TRUE(fails("TO_CHAR", {d, "AM"}));
  EXPECT_TRUE(fails("TO_CHAR", {d, "DX"}));
  EXPECT_TRUE(fails("TO_CHAR", {d, "S"}));
  EXPECT_TRUE(fails("TO_CHAR", {d, "H"}));
  EXPECT_EQ(text_of("TO_CHAR", {date(1700, 1, 1), "[DAY]"}), "[   ]");
  // JDAY in Shift_JIS: Friday.
  EXPECT_EQ(text_of("TO_CHAR", {d, "JDAY"}), "\x8b\xe0");
  // Multibyte characters of the format are copied whole, even when a byte
  // looks like a letter (0x94 0x4E).
  EXPECT_EQ(text_of("TO_CHAR", {d, "YYYY\x94\x4e"}), "2010\x94\x4e");

  SqlValue ts;
  value_set_timestamp(ts, 2010, 3, 5, 14, 7, 9, 123456789);
  EXPECT_EQ(text_of("TO_CHAR", {ts, "SS.FF"}), "09.12");
  EXPECT_EQ(text_of("TO_CHAR", {ts, "SS.FF6"}), "09.123456");
  EXPECT_EQ(text_of("TO_CHAR", {ts, "FF9"}), "123456789");
  EXPECT_EQ(text_of("TO_CHAR", {ts, "DAY"}), "Fri");
  EXPECT_EQ(text_of("TO_CHAR", {d, "FF3"}), "000");

  // A format that grows past 4,000 bytes fails.
  std::string big;
  for (int i = 0; i < 1100; ++i) big += "JDAY";
  g.os_charset = kCharsetUtf8;
  EXPECT_TRUE(fails("TO_CHAR", {d, big}));
}

TEST_F(SqlFunctions, ToCharOfTextsAndNumbers) {
  EXPECT_EQ(text_of("TO_CHAR", {"20100305", "YYYY/MM/DD"}), "2010/03/05");
  EXPECT_EQ(text_of("TO_CHAR", {"2010-3-5 10:00", "YYYY/MM/DD"}), "2010/03/05");
  EXPECT_EQ(text_of("TO_CHAR", {"2010-03-05", "YYYY/MM/DD"}), "2010/03/05");
  EXPECT_EQ(text_of("TO_CHAR", {"2010.3.5", "D1.M1.YYYY"}), "5.3.2010");
  EXPECT_EQ(text_of("TO_CHAR", {"20100305", "DAY"}), "Fri");
  EXPECT_EQ(text_of("TO_CHAR", {"ABC", "YYYY"}), "ABC");
  EXPECT_EQ(text_of("TO_CHAR", {"1800/01/01", "YYYY"}), "1800/01/01");
  EXPECT_EQ(text_of("TO_CHAR", {"2010", "YYYY"}), "2010");
  EXPECT_EQ(text_of("TO_CHAR", {"201003", "YYYY-MM-DD"}), "2010-03-01");
  // A month of many digits is out of range but must not break the reading.
  EXPECT_TRUE(fails("TO_CHAR", {"2010/99999999999999999999/1", "MON"}));
  EXPECT_EQ(text_of("TO_CHAR", {"2010/99999999999999999999/1", "YYYY"}), "2010");
  SqlValue n;
  value_set_number(n, "-12345678901234567890.5");
  EXPECT_EQ(text_of("TO_CHAR", {n, "YYYY"}), "-12345678901234567890.5");
  SqlValue null_value;
  EXPECT_EQ(text_of("TO_CHAR", {null_value, "YYYY"}), "");
}

TEST_F(SqlFunctions, ToDate) {
  SqlValue r;
  ASSERT_EQ(call("TO_DATE", {"2010/3/5", "YYYY/MM/DD"}, r), 0);
  EXPECT_EQ(r.type, VT_DATE);
  EXPECT_EQ(r.text, "2010/03/05 00:00:00");
  EXPECT_EQ(text_of("TO_DATE", {" 2010-03-05 13:04:59 ", "yyyy-mm-dd hh24:mi:ss"}),
            "2010/03/05 13:04:59");
  EXPECT_EQ(text_of("TO_DATE", {"05-mar-2010", "DD-MON-YYYY"}), "2010/03/05 00:00:00");
  EXPECT_EQ(text_of("TO_DATE", {"5/3", "MM/DD"}).substr(4), "/05/03 00:00:00");
  EXPECT_EQ(text_of("TO_DATE", {"2010/03/05 01:30 PM", "YYYY/MM/DD HH12:MI PM"}),
            "2010/03/05 13:30:00");
  EXPECT_EQ(text_of("TO_DATE", {"2010/03/05 12:30", "YYYY/MM/DD HH12:MI PM"}),
            "2010/03/05 12:30:00");
  EXPECT_EQ(text_of("TO_DATE", {"20100000", "YYYYMMDD"}), "2010/00/01 00:00:00");

  LocalTime now = local_now();
  ASSERT_EQ(call("TO_DATE", {"05", "DD"}, r), 0);
  EXPECT_EQ(r.year, now.year);
  EXPECT_EQ(r.month, now.month);
  EXPECT_EQ(r.day, 5);

  EXPECT_TRUE(fails("TO_DATE", {"05-XYZ-2010", "DD-MON-YYYY"}));
  EXPECT_TRUE(fails("TO_DATE", {"", "YYYY"}));
  EXPECT_TRUE(fails("TO_DATE", {"2010", ""}));
  EXPECT_TRUE(fails("TO_DATE", {std::string(256, '1'), "YYYY"}));
  EXPECT_TRUE(fails("TO_DATE", {"2010", std::string(51, 'Y')}));
  EXPECT_TRUE(fails("TO_DATE", {"ABCD", "YYYY"}));
}

TEST_F(SqlFunctions, ToNumber) {
  SqlValue r;
  ASSERT_EQ(call("TO_NUMBER", {"12345678901234567890123"}, r), 0);
  EXPECT_EQ(r.type, VT_NUMBER);
  EXPECT_EQ(r.text, "12345678901234567890123");
  EXPECT_EQ(text_of("TO_NUMBER", {"-2147483649"}), "-2147483649");
  EXPECT_EQ(text_of("TO_NUMBER", {"1.2345678"}), "1.2345678");
  EXPECT_EQ(text_of("TO_NUMBER", {"007"}), "7");
  EXPECT_EQ(text_of("TO_NUMBER", {123}), "123");
  EXPECT_TRUE(fails("TO_NUMBER", {"12a"}));
  EXPECT_TRUE(fails("TO_NUMBER", {"1.2.3"}));
  EXPECT_TRUE(fails("TO_NUMBER", {"1-2"}));
  EXPECT_TRUE(fails("TO_NUMBER", {date(2010, 1, 1)}));
}

TEST_F(SqlFunctions, Sysdate) {
  SqlValue r;
  ASSERT_EQ(call("SYSDATE", {}, r), 0);
  EXPECT_EQ(r.type, VT_SYSDATE);
  EXPECT_EQ(r.text.size(), 19u);
  LocalTime now = local_now();
  EXPECT_GE(r.year, now.year - 1);
  EXPECT_LE(r.year, now.year);
  EXPECT_GE(r.weekday, 0);
}

TEST_F(SqlFunctions, ResultMayBeAnArgument) {
  std::vector<SqlValue> args(2);
  value_set_text(args[0], "ABCDEF");
  value_set_number(args[1], "3");
  ASSERT_EQ(call_function(g, kFnSubstr, args, args[0]), 0);
  EXPECT_EQ(args[0].text, "CDEF");
}

TEST(DateFormat, Validation) {
  EXPECT_TRUE(is_valid_date_format("YYYY/MM/DD HH24:MI:SS", kCharsetSjis));
  EXPECT_TRUE(is_valid_date_format("DD/MM/YYYY", kCharsetSjis));
  EXPECT_TRUE(is_valid_date_format("yyyy-mm-dd (day)", kCharsetSjis));
  EXPECT_TRUE(is_valid_date_format("", kCharsetSjis));
  EXPECT_FALSE(is_valid_date_format("YYYY/MM/DD AM", kCharsetSjis));
  EXPECT_FALSE(is_valid_date_format("HH:NN", kCharsetSjis));
  SqlValue d;
  value_set_date(d, 1990, 3, 25, 0, 0, 0);
  std::string out;
  ASSERT_EQ(format_date(d, "D1.M1.YYYY DAY", kCharsetSjis, out), 0);
  EXPECT_EQ(out, "25.3.1990 Sun");
  SqlValue t;
  value_set_text(t, "1990/03/25");
  EXPECT_EQ(format_date(t, "YYYY", kCharsetSjis, out), -1);
}

}  // namespace
}  // namespace qln
