#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "values/decimal.hpp"

namespace qln {

// Value kinds of SqlValue::type.
inline constexpr std::int32_t VT_NULL = 0;
inline constexpr std::int32_t VT_TEXT = 1;
inline constexpr std::int32_t VT_BYTES = 3;
inline constexpr std::int32_t VT_NUMBER = 5;
inline constexpr std::int32_t VT_SYSDATE = 6;
inline constexpr std::int32_t VT_DATE = 7;
inline constexpr std::int32_t VT_TIMESTAMP = 8;

// Results of value_compare.
inline constexpr int CMP_LESS = -9;
inline constexpr int CMP_EQUAL = 0;
inline constexpr int CMP_GREATER = 9;
inline constexpr int CMP_NONE = -1;

// Operator codes understood by value_arith (shared word codes).
inline constexpr int kOpConcat = 200;
inline constexpr int kOpAdd = 300;
inline constexpr int kOpSubtract = 301;
inline constexpr int kOpMultiply = 302;
inline constexpr int kOpDivide = 303;

// The longest text a value holds, and the text of a failed value.
inline constexpr std::size_t kMaxValueLen = 4000;
inline constexpr std::string_view kErrorText = "##ERROR##";

// One typed value. `text` is always the value's text form (for VT_BYTES any
// bytes, inner NULs included); `length` is its byte count, or -1 for the
// error value (text "##ERROR##"). Numbers keep their exact value in `number`;
// dates and timestamps in the date fields (a negative component is absent).
struct SqlValue {
  std::int32_t type = VT_NULL;
  std::string text;
  std::int32_t length = 0;
  Decimal number;
  std::int16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::int32_t nanosecond = 0;
  std::int16_t weekday = -1;  // 0 = Sunday; -1 when not computed

  std::string_view view() const noexcept { return text; }
  bool is_error() const noexcept { return length < 0; }
  int sign() const noexcept { return number.sign(); }
};

int value_init(SqlValue& v);
int value_free(SqlValue& v);
int value_clear(SqlValue& v);

// Setters: 0, or -1 with the error value when the text exceeds 4,000 bytes.
int value_set_text(SqlValue& v, std::string_view s);
int value_set_bytes(SqlValue& v, std::string_view data);
// Number text (blanks around it and after a sign allowed, "- 12" is -12);
// an empty text gives VT_NULL, a blank-only text 0. -1 and the error value
// when `s` is not a number.
int value_set_number(SqlValue& v, std::string_view s);
// An exact number built elsewhere (the row decoder): VT_NUMBER, its text.
int value_set_decimal(SqlValue& v, const Decimal& d);
int value_set_date(SqlValue& v, int y, int mo, int d, int h, int mi, int s);
int value_set_sysdate(SqlValue& v, int y, int mo, int d, int h, int mi, int s);
int value_set_timestamp(SqlValue& v, int y, int mo, int d, int h, int mi, int s, long ns);
// Marks `v` failed: text "##ERROR##", length -1, type kept.
int value_set_error(SqlValue& v);

// dst becomes equal to src; -1 (dst unchanged) for an unknown type.
int value_copy(const SqlValue& src, SqlValue& dst);

// CMP_LESS, CMP_EQUAL, CMP_GREATER, or CMP_NONE for a pair that cannot be
// compared. Dates and timestamps compare with each other; nanoseconds last.
int value_compare(const SqlValue& a, const SqlValue& b);

// LIKE/IN pattern: only a "%" at the very start or end is special. Matches
// begin on whole characters of `charset`. 0 when it matches, -1 when not.
int value_match(const SqlValue& a, const SqlValue& pattern, int charset);

// a op b into result for the codes above; -1 and the error value on
// failure (wrong operand types, division by zero, over-long result).
// Any other op leaves result untouched and returns 0.
int value_arith(const SqlValue& a, int op, const SqlValue& b, SqlValue& result);

// Weekday of a date, sysdate or timestamp (0 = Sunday), or -1.
int value_weekday(const SqlValue& v);
int weekday_of(int year, int month, int day);

// Text utilities.
void strip_parens(std::string& s);
void strip_single_quotes(std::string& s);
void strip_trailing_zeros(std::string& s);
void normalize_number_text(std::string& s);  // "0.50" -> ".5", "1.000" -> "1.0"
bool is_number_text(std::string_view s);
bool is_literal_text(std::string_view s);
int bind_name(std::string& s);               // ":"name"" -> ":name"; -1 if not a host variable

// The type part of a column definition, e.g. "NUMBER(10,2)".
struct TypeText {
  std::int32_t type = -9;  // ColumnType code, -9 when unknown (readers store 99)
  std::int32_t first = 0;  // length or precision
  std::int32_t second = 0; // scale
  std::string suffix;      // e.g. "WITH TIME ZONE", at most 16 bytes
};
TypeText parse_type_text(std::string_view type_text);

}  // namespace qln
