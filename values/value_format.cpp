#include "values/value_format.hpp"

#include "values/extended_types.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/messages.hpp"
#include "core/multibyte.hpp"

namespace qln {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool is_ascii(std::span<const std::uint8_t> bytes) noexcept {
  std::uint8_t any = 0;
  for (std::uint8_t b : bytes) any |= b;
  return (any & 0x80) == 0;
}

// ASCII reads the same in Shift_JIS, EUC-JP and UTF-8, so most values need
// no conversion at all.
bool needs_conversion(int from, int to, std::span<const std::uint8_t> bytes) noexcept {
  if (from == kCharsetUtf8 && to == kCharsetUtf8) return !is_ascii(bytes);  // UTF8 surrogate pairs
  if (from == to || !has_conversion(from) || !has_conversion(to) || to == kCharsetUtf16)
    return false;
  return from == kCharsetUtf16 || !is_ascii(bytes);
}

// Replaces the text of a value just taken from RowValues::next() (empty).
void set_text(SqlValue& v, const char* data, std::size_t n) {
  v.text.append(data, n);
  v.length = static_cast<std::int32_t>(n);
}

void store_converted(RowValues& row, SqlValue& v, int from, int to,
                     std::span<const std::uint8_t> bytes) {
  // UTF-16 bytes written as they are would put NULs into a text file; an
  // output set without conversions gets them as UTF-8 instead.
  if (from == kCharsetUtf16 && !has_conversion(to)) to = kCharsetUtf8;
  set_text(v, reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (needs_conversion(from, to, bytes)) convert_charset(row.converter, from, to, v.text);
  v.length = static_cast<std::int32_t>(v.text.size());
}

// CHAR and NCHAR keep their blanks up to the declared length; a value that
// is already longer (multibyte characters) is never cut.
void decode_char(RowValues& row, SqlValue& v, int from, int to, std::int32_t declared,
                 std::span<const std::uint8_t> bytes) {
  std::size_t unit = from == kCharsetUtf16 ? 2 : 1;
  // Oracle's CHAR holds at most 2000 bytes; a larger length is no reason to
  // pad without end.
  std::size_t want = declared > 0 ? std::min<std::size_t>(static_cast<std::size_t>(declared), 4000) * unit : 0;
  if (bytes.size() >= want) {
    store_converted(row, v, from, to, bytes);
  } else {
    std::string& padded = row.work;
    padded.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (padded.size() < want) {
      if (unit == 2) padded.push_back('\0');
      padded.push_back(' ');
    }
    auto span = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(padded.data()),
                                              padded.size());
    store_converted(row, v, from, to, span);
  }
  v.type = VT_TEXT;
}

constexpr std::array<char, 200> make_two_digits() {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}
constexpr std::array<char, 200> kTwoDigits = make_two_digits();

char* put_two(char* p, int value) noexcept {
  if (value < 0 || value > 99) value = ((value % 100) + 100) % 100;
  std::memcpy(p, &kTwoDigits[static_cast<std::size_t>(2 * value)], 2);
  return p + 2;
}

// The digits of a stored NUMBER, normalised: no leading or trailing zeros;
// value = sign * digits * 10^exponent. False for bytes no NUMBER has.
struct NumberDigits {
  bool negative = false;
  bool zero = false;
  std::array<char, 128 + 16> digits;  // only `count` bytes from `first` are set
  std::size_t first = 0;
  std::size_t count = 0;
  std::int64_t exponent = 0;
};

bool split_oracle_number(std::span<const std::uint8_t> bytes, NumberDigits& out) noexcept {
  if (bytes.empty()) return false;
  std::uint8_t head = bytes[0];
  out.first = 0;
  out.count = 0;
  out.exponent = 0;
  // A lone 0x80 is zero; with digits it is the smallest exponent (1E-130).
  if (head == 0x80 && bytes.size() == 1) {
    out.negative = false;
    out.zero = true;
    return true;
  }
  out.zero = false;
  out.negative = head < 0x80;
  // At most 20 digit bytes in a real value (and a terminator for a negative
  // one); 64 is room enough for anything that still decodes.
  std::size_t end = bytes.size();
  if (out.negative && end > 1 && bytes[end - 1] == 102) --end;
  if (end - 1 > 64) return false;
  std::size_t pairs = end - 1;
  char* d = out.digits.data();
  if (out.negative) {
    for (std::size_t i = 1; i < end; ++i) {
      unsigned pair = 101u - bytes[i];
      if (pair > 99u) return false;
      std::memcpy(d, &kTwoDigits[2 * pair], 2);
      d += 2;
    }
  } else {
    for (std::size_t i = 1; i < end; ++i) {
      unsigned pair = bytes[i] - 1u;
      if (pair > 99u) return false;
      std::memcpy(d, &kTwoDigits[2 * pair], 2);
      d += 2;
    }
  }
  if (pairs == 0) return false;
  std::int64_t exponent100 =
      out.negative ? 0x3E - static_cast<int>(head) : static_cast<int>(head) - 0xC1;
  std::size_t first = 0;
  std::size_t last = 2 * pairs;
  while (first < last && out.digits[first] == '0') ++first;
  if (first == last) {
    out.zero = true;
    return true;
  }
  std::int64_t exponent = 2 * (exponent100 - static_cast<std::int64_t>(pairs) + 1);
  while (out.digits[last - 1] == '0') {
    --last;
    ++exponent;
  }
  out.first = first;
  out.count = last - first;
  out.exponent = exponent;
  return true;
}

// The canonical text of a number as the typed values keep it ("-12.5",
// "0.5", "0"), the same text Decimal::to_text gives.
char* write_number_digits(char* p, const NumberDigits& n) noexcept {
  // The digits were just stored two by two: a wide load of them would wait
  // for those stores, so short runs go byte by byte.
  auto copy = [&p](const char* from, std::size_t count) {
    if (count <= 24) {
      for (std::size_t i = 0; i < count; ++i) p[i] = from[i];
    } else {
      std::memcpy(p, from, count);
    }
    p += count;
  };
  auto zeros = [&p](std::size_t count) {
    if (count <= 16) {
      std::memset(p, '0', 16);
    } else {
      std::memset(p, '0', count);
    }
    p += count;
  };
  const char* digits = n.digits.data() + n.first;
  if (n.negative && !n.zero) *p++ = '-';
  if (n.zero) {
    *p++ = '0';
  } else {
    std::int64_t len = static_cast<std::int64_t>(n.count);
    std::int64_t int_len = len + n.exponent;
    if (n.exponent >= 0) {
      copy(digits, n.count);
      zeros(static_cast<std::size_t>(n.exponent));
    } else if (int_len > 0) {
      copy(digits, static_cast<std::size_t>(int_len));
      *p++ = '.';
      copy(digits + int_len, static_cast<std::size_t>(-n.exponent));
    } else {
      *p++ = '0';
      *p++ = '.';
      zeros(static_cast<std::size_t>(-int_len));
      copy(digits, n.count);
    }
  }
  return p;
}

void set_number_text(SqlValue& v, const NumberDigits& n) {
  // Oracle's exponents keep this within 20 + 130 + 4 bytes; a larger one
  // could only come from a damaged value and has been refused. The slack
  // lets short runs be copied with fixed-size moves.
  char buf[kNumberTextMax];
  set_text(v, buf, static_cast<std::size_t>(write_number_digits(buf, n) - buf));
}

// The canonical text of the usual NUMBER into the value.
bool set_plain_number_text(SqlValue& v, std::span<const std::uint8_t> bytes) noexcept {
  char buf[96];
  char* const end = write_plain_number(buf, bytes);
  if (end == nullptr) return false;
  set_text(v, buf, static_cast<std::size_t>(end - buf));
  return true;
}

void set_date_text(SqlValue& v, bool with_fraction) {
  char buf[48];
  char* p = buf;
  if (v.year >= 0 && v.year <= 9999) {
    p = put_two(p, v.year / 100);
    p = put_two(p, v.year % 100);
  } else {
    // "%04d" of a year before Christ, as the typed values print it.
    int n = std::snprintf(p, 16, "%04d", v.year);
    p += std::clamp(n, 0, 15);
  }
  *p++ = '/';
  p = put_two(p, v.month);
  *p++ = '/';
  p = put_two(p, v.day);
  *p++ = ' ';
  p = put_two(p, v.hour);
  *p++ = ':';
  p = put_two(p, v.minute);
  *p++ = ':';
  p = put_two(p, v.second);
  if (with_fraction) {
    *p++ = '.';
    long ns = v.nanosecond;
    for (int i = 8; i >= 0; --i) {
      p[i] = static_cast<char>('0' + ns % 10);
      ns /= 10;
    }
    p += 9;
  }
  set_text(v, buf, static_cast<std::size_t>(p - buf));
}

void set_date_value(SqlValue& v, std::int32_t type, const OracleDateTime& t, bool with_text) {
  v.type = type;
  v.year = static_cast<std::int16_t>(t.year);
  v.month = static_cast<std::int16_t>(t.month);
  v.day = static_cast<std::int16_t>(t.day);
  v.hour = static_cast<std::int16_t>(t.hour);
  v.minute = static_cast<std::int16_t>(t.minute);
  v.second = static_cast<std::int16_t>(t.second);
  v.nanosecond = static_cast<std::int32_t>(t.nanosecond);
  // Worked out from the date by value_weekday() where a format asks for it.
  v.weekday = -1;
  if (with_text) set_date_text(v, type == VT_TIMESTAMP);
}

bool is_printable(std::uint8_t b) noexcept { return b >= 0x20 && b < 0x7F; }

// LONG, RAW, LONG RAW and ROWID by RAW_FORMAT.
void decode_raw(RowValues& row, SqlValue& v, const GlobalParams& g, const ConvOptions& o,
                std::span<const std::uint8_t> bytes) {
  v.type = VT_BYTES;
  v.text.clear();
  if (o.raw_format == kRawIgnore) {
    v.length = 0;
    return;
  }
  std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(std::max(o.raw_length, 0)));
  if (o.raw_format == kRawAscii) {
    std::string& s = row.work;
    s.clear();
    std::size_t i = 0;
    bool multibyte = false;
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), n);
    while (i < n) {
      std::uint8_t b = bytes[i];
      // Only a whole, valid character of the dump's set is text (half-width
      // katakana are single bytes of Shift_JIS); any other byte would put
      // control codes or broken characters into the file.
      std::size_t len = b >= 0x80 ? valid_char_length(g.db_charset, raw.substr(i)) : 1;
      if (len > 1 || (len == 1 && b >= 0xA1 && b <= 0xDF && g.db_charset == kCharsetSjis)) {
        s.append(raw.substr(i, len));
        i += len;
        multibyte = true;
      } else if (b >= 0xA0 && is_single_byte_set(g.db_charset)) {
        // A letter of a single-byte set is printable as well; it is
        // converted with the multibyte characters.
        s.push_back(static_cast<char>(b));
        multibyte = true;
        ++i;
      } else {
        s.push_back(is_printable(b) ? static_cast<char>(b) : '.');
        ++i;
      }
    }
    v.text.swap(s);
    if (multibyte) {
      int to = output_charset(o);
      if (has_conversion(g.db_charset) && has_conversion(to) && to != kCharsetUtf16 &&
          g.db_charset != kCharsetUtf16 && g.db_charset != to)
        convert_charset(row.converter, g.db_charset, to, v.text);
    }
  } else {
    v.text.reserve(2 + 2 * n);
    v.text.append("0x");
    for (std::size_t i = 0; i < n; ++i) {
      v.text.push_back(kHexDigits[bytes[i] >> 4]);
      v.text.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
  }
  v.length = static_cast<std::int32_t>(v.text.size());
}

int bad_value(GlobalParams& g) { return fail(g, MessageCode::kDumpFormat); }

// An INSERT statement carries the whole value whatever RAW_FORMAT and
// RAW_LENGTH say: LONG as text, RAW as "0x" and hex digits, ROWID as text.
int decode_for_insert(GlobalParams& g, const ConvOptions& o, const ColumnDef& column,
                      std::span<const std::uint8_t> bytes, RowValues& row) {
  if (bytes.empty()) {
    row.add_null();
    return 0;
  }
  SqlValue& v = row.next();
  if (column.type == kColLong) {
    store_converted(row, v, g.db_charset, output_charset(o), bytes);
    v.type = VT_BYTES;
    return 0;
  }
  v.type = VT_BYTES;
  if (column.type == kColRowid && format_rowid(bytes, v.text)) {
    v.length = static_cast<std::int32_t>(v.text.size());
    return 0;
  }
  v.text.clear();
  v.text.reserve(2 + 2 * bytes.size());
  v.text.append("0x");
  for (std::uint8_t b : bytes) {
    v.text.push_back(kHexDigits[b >> 4]);
    v.text.push_back(kHexDigits[b & 0x0F]);
  }
  v.length = static_cast<std::int32_t>(v.text.size());
  return 0;
}

}  // namespace

void RowValues::grow() { values.emplace_back(); }

void RowValues::add_text(std::string_view text) {
  SqlValue& v = next();
  v.type = VT_TEXT;
  v.text.assign(text);
  v.length = static_cast<std::int32_t>(v.text.size());
}

std::string placeholder_text(std::int32_t type, int position) {
  switch (type) {
    case kColBlob:
      return "%%BLOB%%_" + std::to_string(position);
    case kColClob:
      return "%%CLOB%%_" + std::to_string(position);
    case kColNclob:
      return "%%NCLOB%%_" + std::to_string(position);
    case kColInterval:
    case kColOther:
      return "%%NOT_SUPPORT%%";
    default:
      return {};
  }
}

void add_placeholder(RowValues& row, std::int32_t type, int position) {
  std::string_view head;
  switch (type) {
    case kColBlob:
      head = "%%BLOB%%_";
      break;
    case kColClob:
      head = "%%CLOB%%_";
      break;
    case kColNclob:
      head = "%%NCLOB%%_";
      break;
    case kColInterval:
    case kColOther:
      row.add_text("%%NOT_SUPPORT%%");
      return;
    default:
      row.add_null();
      return;
  }
  // Built in the value's own buffer: a table of large objects meets this
  // once per row.
  SqlValue& v = row.next();
  v.type = VT_TEXT;
  char digits[16];
  int n = std::snprintf(digits, sizeof digits, "%d", position);
  v.text.append(head);
  v.text.append(digits, static_cast<std::size_t>(std::clamp(n, 0, 15)));
  v.length = static_cast<std::int32_t>(v.text.size());
}

bool decode_oracle_number(std::span<const std::uint8_t> bytes, Decimal& out) {
  NumberDigits n;
  if (!split_oracle_number(bytes, n)) return false;
  if (n.zero) {
    out = Decimal{};
    return true;
  }
  return Decimal::from_parts(n.negative, std::string_view(n.digits.data() + n.first, n.count),
                             n.exponent, out);
}

bool exact_numbers_needed(const ConvOptions& o) noexcept {
  return is_on(o.is_condition) || !o.query.empty();
}

int ensure_exact_number(SqlValue& v) {
  if (v.type != VT_NUMBER) return 0;
  return Decimal::parse(v.view(), v.number) ? 0 : -1;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t days_from_civil(std::int64_t y, int m, int d) noexcept {
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, int& y, int& m, int& d) noexcept {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Oracle has no year 0: -1 is the year before 1.
void shift_minutes(OracleDateTime& t, int minutes) noexcept {
  std::int64_t astro_year = t.year < 0 ? t.year + 1 : t.year;
  std::int64_t total = (days_from_civil(astro_year, t.month, t.day) * 24 + t.hour) * 60 +
                       t.minute + minutes;
  std::int64_t days = total >= 0 ? total / 1440 : -((-total + 1439) / 1440);
  std::int64_t in_day = total - days * 1440;
  int y = 0;
  civil_from_days(days, y, t.month, t.day);
  t.year = y <= 0 ? y - 1 : y;
  t.hour = static_cast<int>(in_day / 60);
  t.minute = static_cast<int>(in_day % 60);
}

// Inlined where each value of a row is decoded; decode_oracle_date() is the
// same for everyone else.
[[gnu::always_inline]] inline bool take_oracle_date(std::span<const std::uint8_t> bytes,
                                                    OracleDateTime& out) {
  // 7 bytes for a DATE and a TIMESTAMP(0); 11 with nanoseconds; 13 when a
  // time zone follows.
  if (bytes.size() < 7 || (bytes.size() > 7 && bytes.size() < 11)) return false;
  // Century and year of century are both stored plus 100, so one rule gives
  // years after Christ and the negative years before Him (53 88 is -4712).
  out.year = (bytes[0] - 100) * 100 + (bytes[1] - 100);
  out.month = bytes[2];
  out.day = bytes[3];
  out.hour = bytes[4] - 1;
  out.minute = bytes[5] - 1;
  out.second = bytes[6] - 1;
  out.nanosecond = 0;
  // Oracle checks every component when it stores a date; anything else is
  // damage, not a date to write.
  if (out.month < 1 || out.month > 12 || out.day < 1 || out.day > 31 || out.hour < 0 ||
      out.hour > 23 || out.minute < 0 || out.minute > 59 || out.second < 0 || out.second > 59 ||
      bytes[0] < 53 || bytes[0] > 199 || bytes[1] < 1 || bytes[1] > 199)
    return false;
  if (bytes.size() >= 11) {
    std::uint32_t ns = (static_cast<std::uint32_t>(bytes[7]) << 24) |
                       (static_cast<std::uint32_t>(bytes[8]) << 16) |
                       (static_cast<std::uint32_t>(bytes[9]) << 8) | bytes[10];
    if (ns > 999999999u) return false;
    out.nanosecond = static_cast<long>(ns);
  }
  // WITH TIME ZONE keeps the time in UTC and the zone behind it. An offset
  // zone gives back the time as it was written; a named region would need
  // the zone rules, so its value stays in UTC.
  if (bytes.size() >= 13 && (bytes[11] & 0x80) == 0) {
    int offset = (bytes[11] - 20) * 60 + (bytes[12] - 60);
    if (offset < -15 * 60 || offset > 15 * 60) return false;
    if (offset != 0) shift_minutes(out, offset);
  }
  return true;
}

// The types whose values are written as text of their own form.
int decode_extended_value(GlobalParams& g, const ConvOptions& o, const ColumnDef& column,
                          std::span<const std::uint8_t> bytes, RowValues& row) {
  if (bytes.empty()) {
    row.add_null();
    return 0;
  }
  std::string& text = row.work;
  bool ok = false;
  switch (column.type) {
    case kColTimestampTz: {
      static const std::string kDefault = "%04d/%02d/%02d %02d:%02d:%02d";
      // INSERT statements read the value back in one fixed form.
      const bool own_format = o.date_format_kind == 3 && o.row_format != 2;
      ok = format_timestamp_tz(bytes, timestamp_precision(column),
                               own_format ? o.date_printf : kDefault, text);
      break;
    }
    case kColIntervalYm:
      ok = format_interval_ym(bytes, column.precision, text);
      break;
    case kColIntervalDs:
      ok = format_interval_ds(bytes, column.precision, column.scale, text);
      break;
    case kColBinaryFloat:
      ok = format_binary_float(bytes, text);
      break;
    default:
      ok = format_binary_double(bytes, text);
      break;
  }
  if (!ok) return bad_value(g);
  row.add_text(text);
  return 0;
}

}  // namespace

bool decode_oracle_date(std::span<const std::uint8_t> bytes, OracleDateTime& out) {
  return take_oracle_date(bytes, out);
}

int decode_value(GlobalParams& g, const ConvOptions& o, int col,
                 std::span<const std::uint8_t> bytes, RowValues& row) {
  // Compared in bytes: the column count would take a division.
  const auto* const first = reinterpret_cast<const char*>(o.table.columns.data());
  const auto* const end =
      reinterpret_cast<const char*>(o.table.columns.data() + o.table.columns.size());
  if (col < 0 || static_cast<std::size_t>(col) * sizeof(ColumnDef) >=
                     static_cast<std::size_t>(end - first))
    return fail(g, MessageCode::kInternal, "decode_value() column index");
  const ColumnDef& column = o.table.columns[static_cast<std::size_t>(col)];
  switch (column.type) {
    case kColChar:
    case kColNchar: {
      SqlValue& v = row.next();
      int from = column.type == kColChar ? g.db_charset : g.nls_charset;
      decode_char(row, v, from, output_charset(o), column.length, bytes);
      return 0;
    }
    case kColVarchar2:
    case kColNvarchar2: {
      SqlValue& v = row.next();
      int from = column.type == kColVarchar2 ? g.db_charset : g.nls_charset;
      store_converted(row, v, from, output_charset(o), bytes);
      v.type = VT_BYTES;
      return 0;
    }
    case kColNumber:
    case kColFloat: {
      if (bytes.empty()) {
        row.add_null();
        return 0;
      }
      if (!exact_numbers_needed(o)) {
        SqlValue& v = row.next();
        if (set_plain_number_text(v, bytes)) {
          v.type = VT_NUMBER;
          if (!v.number.is_zero()) v.number = Decimal{};
          return 0;
        }
        --row.count;
      }
      NumberDigits n;
      if (!split_oracle_number(bytes, n)) return bad_value(g);
      SqlValue& v = row.next();
      v.type = VT_NUMBER;
      set_number_text(v, n);
      // The exact value costs more than the rest of the row; only a
      // condition reads it.
      if (!exact_numbers_needed(o)) {
        if (!v.number.is_zero()) v.number = Decimal{};
      } else {
        if (n.zero) {
          v.number = Decimal{};
        } else if (!Decimal::from_parts(n.negative,
                                        std::string_view(n.digits.data() + n.first, n.count),
                                        n.exponent, v.number)) {
          row.count--;
          return bad_value(g);
        }
      }
      return 0;
    }
    case kColTimestampTz:
    case kColIntervalYm:
    case kColIntervalDs:
    case kColBinaryFloat:
    case kColBinaryDouble:
      return decode_extended_value(g, o, column, bytes, row);
    case kColTimestampLtz:
    case kColDate:
    case kColTimestamp: {
      OracleDateTime t;
      if (!take_oracle_date(bytes, t) || (column.type == kColDate && bytes.size() != 7))
        return bad_value(g);
      set_date_value(row.next(), column.type == kColDate ? VT_DATE : VT_TIMESTAMP, t,
                     !row.dates_without_text);
      return 0;
    }
    case kColBlob:
    case kColClob:
    case kColNclob:
    case kColInterval:
    case kColOther:
      add_placeholder(row, column.type, row.count + 1);
      return 0;
    case kColLong:
    case kColRaw:
    case kColLongRaw:
    case kColRowid:
      if (o.row_format == 2) return decode_for_insert(g, o, column, bytes, row);
      decode_raw(row, row.next(), g, o, bytes);
      return 0;
    default:
      return fail(g, MessageCode::kInternal, "decode_value() column type");
  }
}

char* write_other_number(char* out, std::span<const std::uint8_t> bytes) noexcept {
  NumberDigits n;
  if (!split_oracle_number(bytes, n)) return nullptr;
  return write_number_digits(out, n);
}

bool text_needs_conversion(int from, int to, std::span<const std::uint8_t> bytes) noexcept {
  if (from == kCharsetUtf16 && !has_conversion(to)) to = kCharsetUtf8;
  return needs_conversion(from, to, bytes);
}

int compile_date_format(GlobalParams& g, ConvOptions& o) {
  static constexpr std::array<std::string_view, 6> kTokens = {"YYYY", "MM", "DD",
                                                              "HH24", "MI", "SS"};
  // Upper case outside double-quoted literals; quoted text is printed as it
  // stands, without its quotes.
  const std::string& format = o.date_format;
  std::string printf_text;
  int next = 0;
  bool ok = true;
  std::size_t i = 0;
  while (i < format.size() && ok) {
    char c = format[i];
    if (c == '"') {
      std::size_t end = format.find('"', i + 1);
      if (end == std::string::npos) end = format.size();
      for (std::size_t k = i + 1; k < end; ++k) {
        if (format[k] == '%') printf_text.push_back('%');
        printf_text.push_back(format[k]);
      }
      i = end + 1;
      continue;
    }
    // A character of the user's set is literal text, whatever its bytes.
    std::size_t more = static_cast<std::size_t>(mb_char_length(g.os_charset, static_cast<unsigned char>(c)));
    if (more > 0) {
      printf_text.append(format, i, more + 1);
      i += more + 1;
      continue;
    }
    int matched = -1;
    for (int t = 0; t < static_cast<int>(kTokens.size()); ++t) {
      std::string_view token = kTokens[static_cast<std::size_t>(t)];
      if (format.size() - i < token.size()) continue;
      bool same = true;
      for (std::size_t k = 0; k < token.size() && same; ++k) {
        char f = format[i + k];
        if (f >= 'a' && f <= 'z') f = static_cast<char>(f - 'a' + 'A');
        same = f == token[k];
      }
      if (same) {
        matched = t;
        break;
      }
    }
    if (matched < 0) {
      // Any other element (DAY, MON, FF, ...) is TO_CHAR's to print.
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        ok = false;
        break;
      }
      if (c == '%') printf_text.push_back('%');
      char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      printf_text.push_back(u);
      ++i;
      continue;
    }
    if (matched != next) {
      ok = false;
      break;
    }
    printf_text.append(matched == 0 ? "%04d" : "%02d");
    i += kTokens[static_cast<std::size_t>(matched)].size();
    ++next;
  }
  int kind = -1;
  if (ok) {
    if (next == 3) kind = 1;
    if (next == 5) kind = 2;
    if (next == 6) kind = 3;
  }
  o.date_format_kind = kind;
  if (kind < 0) {
    o.date_printf.clear();
  } else {
    o.date_printf = std::move(printf_text);
  }
  return 0;
}

char* write_number_text(char* out, std::string_view text, int scale, bool insert_style) noexcept {
  // Numbers are short: plain loops beat library calls here.
  std::size_t pad = scale > 0 ? static_cast<std::size_t>(scale) : 0;
  const char* s = text.data();
  std::size_t n = text.size();
  std::size_t i = 0;
  if (n > 0 && (s[0] == '-' || s[0] == '+')) i = 1;
  std::size_t int_start = i;
  char* p = out;
  // The integer digits are copied while the point is looked for.
  while (i < n && s[i] != '.') *p++ = s[i++];
  std::size_t int_end = i;
  bool has_frac = i + 1 < n;
  bool zero_int = int_end == int_start || (int_end == int_start + 1 && s[int_start] == '0');
  if (has_frac && zero_int) {
    // A value below one starts with the point: ".5".
    p = out;
  } else if (int_end == int_start) {
    *p++ = '0';
  }
  std::size_t frac_len = 0;
  if (has_frac) {
    *p++ = '.';
    for (std::size_t k = int_end + 1; k < n; ++k) *p++ = s[k];
    frac_len = n - int_end - 1;
  } else if (pad > 0) {
    *p++ = '.';
  }
  for (; frac_len < pad; ++frac_len) *p++ = '0';
  if (insert_style && (has_frac || pad > 0)) {
    // Trailing zeros after the point down to one digit ("5.00" -> "5.0"),
    // and the leading zero of a zero with a scale ("0.00" -> ".0").
    char* dot = out;
    while (*dot != '.') ++dot;
    while (p > dot + 2 && p[-1] == '0') --p;
    if (dot == out + 1 && out[0] == '0') {
      for (char* q = out; q + 1 < p; ++q) *q = q[1];
      --p;
    }
  }
  return p;
}

void append_number_text(std::string& out, const SqlValue& v, int scale, bool insert_style) {
  std::size_t at = out.size();
  out.resize(at + number_text_bound(v.view(), scale));
  char* end = write_number_text(out.data() + at, v.view(), scale, insert_style);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

int timestamp_precision(const ColumnDef& column) {
  const std::string& t = column.type_text;
  std::size_t open = t.find('(');
  if (open != std::string::npos) {
    std::size_t i = open + 1;
    while (i < t.size() && t[i] == ' ') ++i;
    int p = 0;
    bool any = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      p = p * 10 + (t[i] - '0');
      if (p > 9) break;
      any = true;
      ++i;
    }
    if (any && p <= 9) return p;
  }
  return 6;
}

}  // namespace qln
