#pragma once
#include <array>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "values/sql_value.hpp"
#include "values/charset.hpp"

namespace qln {

// The typed values of one row, one per column in table order. The values
// (and their text buffers) are kept from row to row: clear() only resets the
// count, so a steady stream of rows allocates nothing.
struct RowValues {
  std::vector<SqlValue> values;
  int count = 0;
  std::string work;            // conversion scratch, reused
  CharsetConverter converter;  // text to the output character set
  // For rows that only the CSV and INSERT writers read: they format dates
  // and timestamps from the fields, so the values get no text.
  bool dates_without_text = false;

  void clear() noexcept { count = 0; }
  int size() const noexcept { return count; }
  const SqlValue& operator[](int i) const noexcept { return values[static_cast<std::size_t>(i)]; }
  SqlValue& operator[](int i) noexcept { return values[static_cast<std::size_t>(i)]; }

  // The next entry, emptied to VT_NULL; its buffer is reused.
  SqlValue& next() {
    // Compared as pointers: the size would take a division.
    if (values.data() + count == values.data() + values.size()) grow();
    SqlValue& v = values[static_cast<std::size_t>(count++)];
    v.type = VT_NULL;
    v.text.clear();
    v.length = 0;
    return v;
  }
  void add_null() { next(); }
  // One more value (once per column of the widest table).
  [[gnu::cold]] void grow();
  // A VT_TEXT entry such as a placeholder; no character-set conversion.
  void add_text(std::string_view text);
};

// Text a column that has no value of its own gets (large objects and types
// the engine does not read), or empty for a plain NULL. `position` is 1-based.
// "%%BLOB%%_3", "%%NOT_SUPPORT%%", ...
std::string placeholder_text(std::int32_t type, int position);
// Appends that placeholder (or a NULL) to `row`.
void add_placeholder(RowValues& row, std::int32_t type, int position);

// Turns the stored bytes of column `col` of o.table into one more entry of
// `row` (text converted to the output character set, numbers exact, dates and
// timestamps by their components). -1 for a column type it does not handle,
// and 3102 for bytes that cannot be the column's type (a DATE that is not 7
// bytes, a NUMBER with a bad digit).
int decode_value(GlobalParams& g, const ConvOptions& o, int col,
                 std::span<const std::uint8_t> bytes, RowValues& row);

// Fills o.date_printf and o.date_format_kind from o.date_format: kinds 1, 2, 3
// for YYYY MM DD [HH24 MI [SS]] in that order with separators that are no
// letters (or quoted text), -1 for every other format (formatted through
// TO_CHAR at output).
int compile_date_format(GlobalParams& g, ConvOptions& o);

// Decoding helpers for the Oracle encodings (also used by the tests and the
// Data Pump reader). Each returns false for bytes that are no such value.
bool decode_oracle_number(std::span<const std::uint8_t> bytes, Decimal& out);

// "00" to "99", two characters each.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}();

// The canonical text of the usual NUMBER, an integer or a decimal of at
// least 1 with up to 21 digit pairs, written pair by pair straight from the
// bytes. Null for anything else (the general path's to do).
inline char* write_plain_number(char* p, std::span<const std::uint8_t> bytes) noexcept {
  const std::size_t size = bytes.size();
  if (size < 2) return nullptr;
  const unsigned head = bytes[0];
  const bool negative = head < 0x80;
  std::size_t end = size;
  if (negative && bytes[end - 1] == 102) --end;
  const std::size_t pairs = end - 1;
  const int exponent100 = negative ? 0x3E - static_cast<int>(head) : static_cast<int>(head) - 0xC1;
  if (pairs == 0 || pairs > 21 || exponent100 < 0 || exponent100 > 20) return nullptr;
  // Pair i is 101 - b for a negative number, b - 1 otherwise.
  const unsigned base = negative ? 101u : 1u;
  auto pair_at = [&](std::size_t i) noexcept {
    const unsigned b = bytes[i + 1];
    return negative ? base - b : b - base;
  };
  const unsigned lead = pair_at(0);
  if (lead == 0 || lead > 99) return nullptr;
  if (negative) *p++ = '-';
  if (lead < 10) {
    *p++ = static_cast<char>('0' + lead);
  } else {
    std::memcpy(p, &kDigitPairs[2 * lead], 2);
    p += 2;
  }
  const std::size_t int_pairs = static_cast<std::size_t>(exponent100) + 1;
  for (std::size_t i = 1; i < int_pairs; ++i) {
    const unsigned pair = i < pairs ? pair_at(i) : 0u;
    if (pair > 99) return nullptr;
    std::memcpy(p, &kDigitPairs[2 * pair], 2);
    p += 2;
  }
  if (pairs > int_pairs) {
    char* const point = p;
    *p++ = '.';
    for (std::size_t i = int_pairs; i < pairs; ++i) {
      const unsigned pair = pair_at(i);
      if (pair > 99) return nullptr;
      std::memcpy(p, &kDigitPairs[2 * pair], 2);
      p += 2;
    }
    while (p[-1] == '0') --p;
    if (p - 1 == point) p = point;
  }
  return p;
}

// The canonical text of a stored NUMBER ("-12.5", "0.5", "0", as the typed
// values keep it) into `out`, which has room for kNumberTextMax bytes; its
// end, or null for bytes no NUMBER has.
inline constexpr std::size_t kNumberTextMax = 352;
char* write_other_number(char* out, std::span<const std::uint8_t> bytes) noexcept;
inline char* write_stored_number(char* out, std::span<const std::uint8_t> bytes) noexcept {
  if (char* end = write_plain_number(out, bytes)) return end;
  return write_other_number(out, bytes);
}

// Whether text stored in `from` changes on its way to output in `to`.
bool text_needs_conversion(int from, int to, std::span<const std::uint8_t> bytes) noexcept;

struct OracleDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  long nanosecond = 0;
};
bool decode_oracle_date(std::span<const std::uint8_t> bytes, OracleDateTime& out);

// Number text for output, from the canonical text of a VT_NUMBER value
// ("-12.5"): the magnitude (no sign) with every stored digit, a value below 1
// starting with the point (".5"), the fraction padded with zeros to `scale`
// digits (an integer gets "." and `scale` zeros), never rounded. With
// `insert_style`, trailing zeros after the point are removed down to one
// digit ("5.00" -> "5.0"). The caller writes the "-" (the text starts with
// it for a negative value).
void append_number_text(std::string& out, const SqlValue& v, int scale, bool insert_style);
// The same into a buffer of at least number_text_bound() bytes; returns the end.
inline std::size_t number_text_bound(std::string_view text, int scale) noexcept {
  return text.size() + static_cast<std::size_t>(scale > 0 ? scale : 0) + 2;
}
char* write_number_text(char* out, std::string_view text, int scale, bool insert_style) noexcept;

// Whether decode_value fills the exact Decimal of numbers (SqlValue::number):
// only when a condition may read it (per-table conditions or a QUERY);
// otherwise it is left at zero. The text of a number is always exact, and
// ensure_exact_number() fills the Decimal from it for a caller that needs the
// value otherwise (-1 for a bad text).
bool exact_numbers_needed(const ConvOptions& o) noexcept;
int ensure_exact_number(SqlValue& v);

// Fractional digits a TIMESTAMP column is written with: its declared
// precision, 6 when none is declared.
int timestamp_precision(const ColumnDef& column);

}  // namespace qln
