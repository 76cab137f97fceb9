#include "output/value_format.hpp"

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
  if (from == to || !has_conversion(from) || !has_conversion(to) || to == kCharsetUtf16)
    return false;
  return from == kCharsetUtf16 || !is_ascii(bytes);
}

void store_converted(RowValues& row, SqlValue& v, int from, int to,
                     std::span<const std::uint8_t> bytes) {
  v.text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (needs_conversion(from, to, bytes)) convert_charset(row.converter, from, to, v.text);
  v.length = static_cast<std::int32_t>(v.text.size());
}

// CHAR and NCHAR keep their blanks up to the declared length; a value that
// is already longer (multibyte characters) is never cut.
void decode_char(RowValues& row, SqlValue& v, int from, int to, std::int32_t declared,
                 std::span<const std::uint8_t> bytes) {
  std::size_t unit = from == kCharsetUtf16 ? 2 : 1;
  std::size_t want = declared > 0 ? static_cast<std::size_t>(declared) * unit : 0;
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

// The canonical text of a number as the typed values keep it ("-12.5", "0.5").
void set_number_text(SqlValue& v) {
  v.text.clear();
  const Decimal& d = v.number;
  if (d.is_negative()) v.text.push_back('-');
  if (d.is_zero()) {
    v.text.push_back('0');
  } else {
    const std::string& digits = d.digits();
    std::int64_t n = static_cast<std::int64_t>(digits.size());
    std::int64_t e = d.exponent();
    std::int64_t int_len = n + e;
    if (e >= 0) {
      v.text.append(digits);
      v.text.append(static_cast<std::size_t>(e), '0');
    } else if (int_len > 0) {
      v.text.append(digits, 0, static_cast<std::size_t>(int_len));
      v.text.push_back('.');
      v.text.append(digits, static_cast<std::size_t>(int_len));
    } else {
      v.text.append("0.");
      v.text.append(static_cast<std::size_t>(-int_len), '0');
      v.text.append(digits);
    }
  }
  v.length = static_cast<std::int32_t>(v.text.size());
}

void append_two(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + (value / 10) % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

// "%04d"-style year as the typed values print it.
void append_year_printf(std::string& out, int year) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%04d", year);
  out.append(buf, static_cast<std::size_t>(std::max(n, 0)));
}

void set_date_text(SqlValue& v, bool with_fraction) {
  v.text.clear();
  if (v.year >= 0 && v.year <= 9999) {
    append_two(v.text, v.year / 100);
    append_two(v.text, v.year % 100);
  } else {
    append_year_printf(v.text, v.year);
  }
  v.text.push_back('/');
  append_two(v.text, v.month);
  v.text.push_back('/');
  append_two(v.text, v.day);
  v.text.push_back(' ');
  append_two(v.text, v.hour);
  v.text.push_back(':');
  append_two(v.text, v.minute);
  v.text.push_back(':');
  append_two(v.text, v.second);
  if (with_fraction) {
    v.text.push_back('.');
    char buf[10];
    long ns = v.nanosecond;
    for (int i = 8; i >= 0; --i) {
      buf[i] = static_cast<char>('0' + ns % 10);
      ns /= 10;
    }
    v.text.append(buf, 9);
  }
  v.length = static_cast<std::int32_t>(v.text.size());
}

void set_date_value(SqlValue& v, std::int32_t type, const OracleDateTime& t) {
  v.type = type;
  v.year = static_cast<std::int16_t>(t.year);
  v.month = static_cast<std::int16_t>(t.month);
  v.day = static_cast<std::int16_t>(t.day);
  v.hour = static_cast<std::int16_t>(t.hour);
  v.minute = static_cast<std::int16_t>(t.minute);
  v.second = static_cast<std::int16_t>(t.second);
  v.nanosecond = static_cast<std::int32_t>(t.nanosecond);
  v.weekday = static_cast<std::int16_t>(
      t.month >= 1 && t.month <= 12 ? weekday_of(t.year, t.month, t.day) : -1);
  set_date_text(v, type == VT_TIMESTAMP);
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
    while (i < n) {
      std::uint8_t b = bytes[i];
      std::size_t more = static_cast<std::size_t>(mb_char_length(g.db_charset, b));
      if (more > 0 && i + more < n) {
        s.append(reinterpret_cast<const char*>(bytes.data() + i), more + 1);
        i += more + 1;
        multibyte = true;
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

int bad_value(GlobalParams& g) { return fail(g, 3102); }

}  // namespace

SqlValue& RowValues::next() {
  if (static_cast<std::size_t>(count) == values.size()) values.emplace_back();
  SqlValue& v = values[static_cast<std::size_t>(count++)];
  value_clear(v);
  return v;
}

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
  std::string text = placeholder_text(type, position);
  if (text.empty()) {
    row.add_null();
  } else {
    row.add_text(text);
  }
}

bool decode_oracle_number(std::span<const std::uint8_t> bytes, Decimal& out) {
  if (bytes.empty()) return false;
  std::uint8_t head = bytes[0];
  // A lone 0x80 is zero; with digits it is the smallest exponent (1E-130).
  if (head == 0x80 && bytes.size() == 1) {
    out = Decimal{};
    return true;
  }
  // At most 20 base-100 digits follow the exponent byte (21 with the
  // terminator of a negative value); room for a few more costs nothing.
  std::array<std::uint8_t, 64> pairs{};
  std::size_t count = 0;
  bool negative = head < 0x80;
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    std::uint8_t b = bytes[i];
    if (negative && b == 102) break;
    int pair = negative ? 101 - b : b - 1;
    if (pair < 0 || pair > 99 || count == pairs.size()) return false;
    pairs[count++] = static_cast<std::uint8_t>(pair);
  }
  if (count == 0) return false;
  std::int64_t exponent100 = negative ? 0x3E - static_cast<int>(head) : static_cast<int>(head) - 0xC1;
  return Decimal::from_base100(negative, std::span<const std::uint8_t>(pairs.data(), count),
                               exponent100, out);
}

bool decode_oracle_date(std::span<const std::uint8_t> bytes, OracleDateTime& out) {
  // 7 bytes for a DATE and a TIMESTAMP(0); 11 with nanoseconds; 13 when a
  // time zone follows (not kept).
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
  if (bytes.size() >= 11) {
    std::uint32_t ns = (static_cast<std::uint32_t>(bytes[7]) << 24) |
                       (static_cast<std::uint32_t>(bytes[8]) << 16) |
                       (static_cast<std::uint32_t>(bytes[9]) << 8) | bytes[10];
    if (ns > 999999999u) return false;
    out.nanosecond = static_cast<long>(ns);
  }
  return true;
}

int decode_value(GlobalParams& g, const ConvOptions& o, int col,
                 std::span<const std::uint8_t> bytes, RowValues& row) {
  if (col < 0 || static_cast<std::size_t>(col) >= o.table.columns.size())
    return fail(g, 4000, "decode_value() column index");
  const ColumnDef& column = o.table.columns[static_cast<std::size_t>(col)];
  int to = output_charset(o);
  switch (column.type) {
    case kColChar:
    case kColNchar: {
      SqlValue& v = row.next();
      int from = column.type == kColChar ? g.db_charset : g.nls_charset;
      decode_char(row, v, from, to, column.length, bytes);
      return 0;
    }
    case kColVarchar2:
    case kColNvarchar2: {
      SqlValue& v = row.next();
      int from = column.type == kColVarchar2 ? g.db_charset : g.nls_charset;
      store_converted(row, v, from, to, bytes);
      v.type = VT_BYTES;
      return 0;
    }
    case kColNumber:
    case kColFloat: {
      if (bytes.empty()) {
        row.add_null();
        return 0;
      }
      SqlValue& v = row.next();
      if (!decode_oracle_number(bytes, v.number)) {
        row.count--;
        return bad_value(g);
      }
      v.type = VT_NUMBER;
      set_number_text(v);
      return 0;
    }
    case kColDate:
    case kColTimestamp: {
      OracleDateTime t;
      if (!decode_oracle_date(bytes, t) || (column.type == kColDate && bytes.size() != 7))
        return bad_value(g);
      set_date_value(row.next(), column.type == kColDate ? VT_DATE : VT_TIMESTAMP, t);
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
      decode_raw(row, row.next(), g, o, bytes);
      return 0;
    default:
      return fail(g, 4000, "decode_value() column type");
  }
}

int compile_date_format(GlobalParams& g, ConvOptions& o) {
  (void)g;
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

void append_number_text(std::string& out, const SqlValue& v, int scale, bool insert_style) {
  const Decimal& d = v.number;
  std::size_t start = out.size();
  std::size_t pad = scale > 0 ? static_cast<std::size_t>(scale) : 0;
  if (d.is_zero()) {
    out.push_back('0');
    if (pad > 0) {
      out.push_back('.');
      out.append(pad, '0');
    }
  } else {
    const std::string& digits = d.digits();
    std::int64_t n = static_cast<std::int64_t>(digits.size());
    std::int64_t e = d.exponent();
    std::int64_t int_len = n + e;
    std::size_t frac_len = 0;
    if (e >= 0) {
      out.append(digits);
      out.append(static_cast<std::size_t>(e), '0');
      if (pad > 0) out.push_back('.');
    } else if (int_len > 0) {
      out.append(digits, 0, static_cast<std::size_t>(int_len));
      out.push_back('.');
      out.append(digits, static_cast<std::size_t>(int_len));
      frac_len = static_cast<std::size_t>(-e);
    } else {
      out.push_back('.');
      out.append(static_cast<std::size_t>(-int_len), '0');
      out.append(digits);
      frac_len = static_cast<std::size_t>(-e);
    }
    if (frac_len < pad) out.append(pad - frac_len, '0');
  }
  if (insert_style) {
    // Leading zero of a zero with a scale, and trailing zeros after the
    // point down to one digit: "0.00" -> ".0", "5.00" -> "5.0".
    std::size_t point = out.find('.', start);
    if (point != std::string::npos) {
      std::size_t keep = out.find_last_not_of('0');
      if (keep == point) keep = point + 1;
      out.resize(keep + 1);
      if (point == start + 1 && out[start] == '0') out.erase(start, 1);
    }
  }
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
