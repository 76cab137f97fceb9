#include "output/row_writer.hpp"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "core/platform.hpp"
#include "core/stored_row.hpp"
#include "output/sql_identifiers.hpp"
#include "values/date_text.hpp"

namespace qln {

namespace {

bool ascii_only(std::string_view s) noexcept {
  unsigned char any = 0;
  for (char c : s) any |= static_cast<unsigned char>(c);
  return (any & 0x80) == 0;
}


// Only Shift_JIS has trail bytes that can look like ASCII punctuation.
bool steps_over_multibyte(int charset) noexcept { return charset == kCharsetSjis; }

// A name from the dump (in the database character set) as the output has it.
std::string_view output_name(RowWriter& w, std::string_view name) {
  int to = output_charset(w.o);
  int from = w.g.db_charset;
  if (ascii_only(name) || from == to || !has_conversion(from) || !has_conversion(to) ||
      to == kCharsetUtf16 || from == kCharsetUtf16)
    return name;
  w.name.assign(name);
  convert_charset(w.converter, from, to, w.name);
  return w.name;
}

// Text the user typed (a date format) in the character set of the output.
std::string convert_user_text(RowWriter& w, std::string_view text) {
  std::string out(text);
  int from = w.g.os_charset;
  int to = output_charset(w.o);
  if (!ascii_only(text) && from != to && has_conversion(from) && has_conversion(to) &&
      to != kCharsetUtf16)
    convert_charset(w.converter, from, to, out);
  return out;
}

// Builds the table of bytes that force a CSV field into quotes.
void prepare_special(RowWriter& w) {
  if (w.special_for == w.delimiter && w.special[static_cast<unsigned char>('"')]) return;
  w.special.fill(false);
  for (char c : {w.delimiter, '"', '\n', '\r'}) w.special[static_cast<unsigned char>(c)] = true;
  w.special_for = w.delimiter;
}

// Shift_JIS trail bytes run from 0x40 up, so only a delimiter from there on
// can hide inside a character.
bool steps_for_delimiter(const RowWriter& w, int charset) noexcept {
  return steps_over_multibyte(charset) && static_cast<unsigned char>(w.delimiter) >= 0x40;
}

// True when a CSV field with this text must be enclosed in double quotes.
bool needs_csv_quotes(const RowWriter& w, std::string_view s, int charset) noexcept {
  if (steps_for_delimiter(w, charset)) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (w.special[c]) return true;
      if (c >= 0x80) i += static_cast<std::size_t>(mb_char_length(charset, c));
    }
    return false;
  }
  bool any = false;
  for (char c : s) any |= w.special[static_cast<unsigned char>(c)];
  return any;
}

// Appends `s` with every `quote` byte doubled (and, for MySQL, every
// backslash), stepping over multibyte characters.
template <typename Out>
void append_doubled(Out& out, std::string_view s, char quote, bool backslash, int charset) {
  bool step = steps_over_multibyte(charset);
  if (s.empty()) return;
  // Mostly there is nothing to double: one copy.
  if (!step && std::memchr(s.data(), quote, s.size()) == nullptr &&
      (!backslash || std::memchr(s.data(), '\\', s.size()) == nullptr)) {
    out.append(s);
    return;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (step && u >= 0x80) {
      std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, u));
      n = std::min(n, s.size() - i);
      out.append(s.substr(i, n));
      i += n - 1;
      continue;
    }
    if (c == quote || (backslash && c == '\\')) out.push_back(c);
    out.push_back(c);
  }
}

// "..." with the inner double quotes doubled (a double quote never hides in
// a multibyte character of the output sets).
void append_csv_quoted(LineBuffer& line, std::string_view s) {
  char* d = line.reserve(2 * s.size() + 2);
  if (s.find('"') == std::string_view::npos) {
    // Mostly a delimiter inside: nothing to double.
    *d++ = '"';
    if (!s.empty()) std::memcpy(d, s.data(), s.size());
    d += s.size();
    *d++ = '"';
    line.commit(d);
    return;
  }
  *d++ = '"';
  for (char c : s) {
    if (c == '"') *d++ = '"';
    *d++ = c;
  }
  *d++ = '"';
  line.commit(d);
}

// `readable`: how many bytes from value.data() may be read (at least its size),
// so that a short value can be taken in one wide load.
void append_csv_field(RowWriter& w, std::string_view value, [[maybe_unused]] std::size_t readable, bool trim,
                      bool quote_all, int charset) {
  LineBuffer& line = w.line;
  bool stepping = steps_for_delimiter(w, charset);
  if (stepping && needs_csv_quotes(w, value, charset)) {
    append_csv_quoted(line, value);
    return;
  }
  // TRIM takes the blanks at both ends of a value that is not enclosed for
  // its content. A blank delimiter encloses every value that starts with a
  // blank, so those keep theirs.
  std::string_view s = value;
  if (trim && w.delimiter != ' ') {
    std::size_t lead = 0;
    while (lead < s.size() && s[lead] == ' ') ++lead;
    s.remove_prefix(lead);
    readable -= lead;
  }
  char* p = line.reserve(s.size() + 16 + 2);
  char* d = p;
  if (quote_all) *d++ = '"';
  // Copy and look for bytes that need quotes in one pass.
  const char* src = s.data();
  const std::size_t n = s.size();
  std::size_t i = 0;
  bool special = false;
#if defined(__SSE2__)
  const __m128i delim = _mm_set1_epi8(w.delimiter);
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  int mask = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), x);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, delim), _mm_cmpeq_epi8(x, quote)),
                               _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr)));
    mask |= _mm_movemask_epi8(hit);
  }
  if (i < n && i + 16 <= readable) {
    // The rest in one load; the bytes after the value are copied but not
    // kept, and do not count.
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), x);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, delim), _mm_cmpeq_epi8(x, quote)),
                               _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr)));
    mask |= _mm_movemask_epi8(hit) & ((1 << (n - i)) - 1);
    i = n;
  }
  special = mask != 0;
#endif
  for (; i < n; ++i) {
    char c = src[i];
    d[i] = c;
    special |= w.special[static_cast<unsigned char>(c)];
  }
  if (special && !stepping) {
    append_csv_quoted(line, value);
    return;
  }
  d += n;
  if (trim) {
    while (d > p + (quote_all ? 1 : 0) && d[-1] == ' ') --d;
  }
  if (quote_all) *d++ = '"';
  line.commit(d);
}

// A number from its canonical text ("-12.5"); `readable`: how many bytes
// from t.data() may be read, so that a short one is taken in one move.
void append_csv_number(RowWriter& w, std::string_view t, std::size_t readable, int scale) {
  const char d = w.delimiter;
  const bool numbers_hold_delimiter = (d >= '0' && d <= '9') || d == '.' || d == '-';
  char* const field = w.line.reserve(number_text_bound(t, scale) + 16 + 2);
  const char* const base = t.data();
  char* p = field;
  char* end = nullptr;
  if (!t.empty() && t[0] == '-') {
    *p++ = '-';
    t.remove_prefix(1);
  }
  if (scale <= 0 && t.size() <= 40) {
    // No padding: the canonical text is the output, "0.5" as ".5".
    if (t.size() > 1 && t[0] == '0' && t[1] == '.') t.remove_prefix(1);
    const std::size_t left = readable - static_cast<std::size_t>(t.data() - base);
    if (t.size() <= 16 && left >= 16) {
      std::memcpy(p, t.data(), 16);
      p += t.size();
    } else {
      for (char c : t) *p++ = c;
    }
    end = p;
  } else {
    end = write_number_text(p, t, scale, false);
  }
  // A delimiter that numbers are written with ("." "-" a digit): the field
  // is quoted so that the line splits back.
  if (numbers_hold_delimiter && std::memchr(field, d, static_cast<std::size_t>(end - field)) != nullptr) {
    std::memmove(field + 1, field, static_cast<std::size_t>(end - field));
    *field = '"';
    end += 1;
    *end++ = '"';
  }
  w.line.commit(end);
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

template <typename Out>
void append_digits(Out& out, long value, int width) {
  if (value >= 0 && value < 100 && width == 2) {
    out.append(std::string_view(&kTwoDigits[static_cast<std::size_t>(2 * value)], 2));
    return;
  }
  if (value >= 0 && value < 10000 && width == 4) {
    char buf[4];
    std::memcpy(buf, &kTwoDigits[static_cast<std::size_t>(2 * (value / 100))], 2);
    std::memcpy(buf + 2, &kTwoDigits[static_cast<std::size_t>(2 * (value % 100))], 2);
    out.append(std::string_view(buf, 4));
    return;
  }
  char buf[24];
  int n = 0;
  unsigned long v = static_cast<unsigned long>(value < 0 ? -value : value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < width) buf[n++] = '0';
  if (value < 0) out.push_back('-');
  while (n > 0) out.push_back(buf[--n]);
}

// The first `precision` digits of the nanoseconds (truncated, never rounded
// into the seconds).
template <typename Out>
void append_fraction(Out& out, long nanosecond, int precision) {
  char buf[9];
  long ns = nanosecond;
  for (int i = 8; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + ns % 10);
    ns /= 10;
  }
  out.append(std::string_view(buf, static_cast<std::size_t>(std::clamp(precision, 0, 9))));
}

// Takes o.date_printf apart into the literal texts around its fields.
void refresh_date_layout(RowWriter& w) {
  if (w.compiled_from == w.o.date_printf && w.date_kind == w.o.date_format_kind &&
      !w.date_literals.empty())
    return;
  w.compiled_from = w.o.date_printf;
  w.date_kind = w.o.date_format_kind;
  w.date_literals.assign(1, std::string{});
  const std::string f = convert_user_text(w, w.o.date_printf);
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '%' && i + 1 < f.size() && f[i + 1] == '%') {
      w.date_literals.back().push_back('%');
      ++i;
    } else if (f.compare(i, 4, "%04d") == 0 || f.compare(i, 4, "%02d") == 0) {
      w.date_literals.emplace_back();
      i += 3;
    } else {
      w.date_literals.back().push_back(f[i]);
    }
  }
  prepare_special(w);
  w.date_literals_need_quotes = false;
  for (const std::string& lit : w.date_literals)
    w.date_literals_need_quotes |= needs_csv_quotes(w, lit, output_charset(w.o));
  // A digit delimiter may stand in the date's own digits: each date's text
  // is looked at.
  w.date_literals_need_quotes |= w.delimiter >= '0' && w.delimiter <= '9';
  // The literals with room for the fields, filled in per value.
  int wanted = w.date_kind == 1 ? 3 : (w.date_kind == 2 ? 5 : 6);
  w.date_fields = std::clamp(std::min(wanted, static_cast<int>(w.date_literals.size()) - 1), 0, 6);
  w.date_template.clear();
  for (int i = 0; i < w.date_fields; ++i) {
    w.date_template.append(w.date_literals[static_cast<std::size_t>(i)]);
    w.date_offsets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
        std::min<std::size_t>(w.date_template.size(), 255));
    w.date_template.append(i == 0 ? "0000" : "00");
  }
  w.date_head = w.date_template.size();
  w.date_template.append(w.date_literals[static_cast<std::size_t>(w.date_fields)]);
  if (w.date_head > 250) w.date_fields = -1;  // too long for the offsets: slow path
}

// The fields of a date or timestamp, from a typed value or straight from
// the stored bytes.
struct DateParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  long nanosecond = 0;
  bool timestamp = false;
};

DateParts parts_of(const SqlValue& v) noexcept {
  return {v.year, v.month, v.day, v.hour, v.minute, v.second, v.nanosecond, v.type == VT_TIMESTAMP};
}

// The common case of a fixed layout and a year of four digits: the template
// is copied and the digits written into it.
bool append_date_by_template(RowWriter& w, LineBuffer& line, const DateParts& v, int precision) {
  if (w.date_fields < 0 || v.year < 0 || v.year > 9999) return false;
  bool fraction = v.timestamp && precision > 0 && w.date_fields == 6;
  const std::string& t = w.date_template;
  char* p = line.reserve(t.size() + 11);
  // Without a fraction the whole template is the line's text.
  std::memcpy(p, t.data(), fraction ? w.date_head : t.size());
  const int parts[] = {v.year, v.month, v.day, v.hour, v.minute, v.second};
  if (w.date_fields > 0) {
    char* at = p + w.date_offsets[0];
    std::memcpy(at, &kTwoDigits[static_cast<std::size_t>(2 * (v.year / 100))], 2);
    std::memcpy(at + 2, &kTwoDigits[static_cast<std::size_t>(2 * (v.year % 100))], 2);
  }
  for (int i = 1; i < w.date_fields; ++i) {
    // The other fields are below 100 already; the division is for safety.
    unsigned value = static_cast<unsigned>(parts[i]);
    if (value > 99) value %= 100;
    std::memcpy(p + w.date_offsets[static_cast<std::size_t>(i)], &kTwoDigits[2 * value], 2);
  }
  p += w.date_head;
  if (fraction) {
    *p++ = '.';
    long ns = v.nanosecond;
    char buf[9];
    for (int i = 8; i >= 0; --i) {
      buf[i] = static_cast<char>('0' + ns % 10);
      ns /= 10;
    }
    int digits = std::clamp(precision, 0, 9);
    std::memcpy(p, buf, static_cast<std::size_t>(digits));
    p += digits;
    std::memcpy(p, t.data() + w.date_head, t.size() - w.date_head);
  }
  p += t.size() - w.date_head;
  line.commit(p);
  return true;
}

// The date or timestamp `v` by the compiled date format, a timestamp's
// fraction right after its seconds.
template <typename Out>
int append_formatted_date(RowWriter& w, Out& out, const SqlValue& v, int precision) {
  const ConvOptions& o = w.o;
  bool fraction = v.type == VT_TIMESTAMP && precision > 0;
  if (o.date_format_kind >= 1 && o.date_format_kind <= 3) {
    const long parts[] = {v.year, v.month, v.day, v.hour, v.minute, v.second};
    int wanted = o.date_format_kind == 1 ? 3 : (o.date_format_kind == 2 ? 5 : 6);
    int fields = std::min(wanted, static_cast<int>(w.date_literals.size()) - 1);
    for (int i = 0; i < fields; ++i) {
      out.append(w.date_literals[static_cast<std::size_t>(i)]);
      append_digits(out, parts[i], i == 0 ? 4 : 2);
    }
    if (fraction && fields == 6) {
      out.push_back('.');
      append_fraction(out, v.nanosecond, precision);
    }
    out.append(w.date_literals[static_cast<std::size_t>(fields)]);
    return 0;
  }
  if (w.format_from != o.date_format || w.format_out.empty()) {
    w.format_from = o.date_format;
    w.format_out = convert_user_text(w, o.date_format);
  }
  // Without an FF element of its own, a timestamp's fraction goes right
  // after its seconds: the format is printed in two parts around it.
  const int charset = output_charset(o);
  const std::string_view f = w.format_out;
  const std::size_t cut = fraction ? date_format_fraction_at(f, charset) : std::string_view::npos;
  if (format_date(v, f.substr(0, cut), charset, w.work) != 0)
    return fail(w.g, MessageCode::kFunctionArgument, "TO_CHAR");
  out.append(w.work);
  if (cut != std::string_view::npos) {
    out.push_back('.');
    append_fraction(out, v.nanosecond, precision);
    if (cut < f.size()) {
      if (format_date(v, f.substr(cut), charset, w.work) != 0)
        return fail(w.g, MessageCode::kFunctionArgument, "TO_CHAR");
      out.append(w.work);
    }
  }
  return 0;
}

const ColumnDef* column_at(const TableDefinition& table, int index) noexcept {
  if (index < 0 || static_cast<std::size_t>(index) >= table.columns.size()) return nullptr;
  return &table.columns[static_cast<std::size_t>(index)];
}

const SqlValue* value_at(const RowValues& row, int index) noexcept {
  if (index < 0 || index >= row.count) return nullptr;
  return &row[index];
}

// ----- INSERT -----

// Names are quoted where the dialect needs it (reserved words, lower case,
// other characters).
template <typename Out>
void append_identifier(Out& out, std::string_view name, std::int32_t dbms, int charset) {
  if (!needs_identifier_quotes(dbms, name)) {
    out.append(name);
    return;
  }
  char open = '"', close = '"';
  if (dbms == kDbmsMysql) open = close = '`';
  if (dbms == kDbmsSqlServer) {
    open = '[';
    close = ']';
  }
  out.push_back(open);
  append_doubled(out, name, close, false, charset);
  out.push_back(close);
}

// Column types whose values an INSERT statement cannot carry: they are
// written as NULL, said once per column.
bool unwritable_column_type(std::int32_t t) noexcept {
  switch (t) {
    case kColInterval:
    case kColOther:
    case kColUnset:
      return true;
    default:
      return false;
  }
}

// Oracle takes at most 4000 bytes in one literal: longer text is joined
// from pieces; so one HEXTORAW literal gives at most 2000 bytes.
constexpr std::size_t kOracleLiteralLimit = 4000;
constexpr std::size_t kOracleRawLiteralLimit = kOracleLiteralLimit / 2;

// DB2 takes at most 32,672 bytes in a string constant and as many hex
// digits in a binary one: longer values are joined as CLOB or BLOB.
constexpr std::size_t kDb2LiteralLimit = 32672;

template <typename Out>
void append_quoted_text(Out& out, std::string_view text, bool national,
                        std::int32_t dbms, int charset) {
  const bool db2_long = dbms == kDbmsDb2 && text.size() > kDb2LiteralLimit;
  if ((dbms == kDbmsOracle && text.size() > kOracleLiteralLimit) || db2_long) {
    // Quotes doubled may double a piece: half the limit of the source text.
    const std::size_t piece = (db2_long ? kDb2LiteralLimit : kOracleLiteralLimit) / 2;
    bool first = true;
    while (!text.empty()) {
      std::size_t n = cut_at_char_boundary(charset, text, piece);
      if (n == 0) n = std::min(text.size(), piece);
      if (!first) out.append("||");
      first = false;
      out.append(db2_long ? "CLOB('" : national ? "TO_NCLOB('" : "TO_CLOB('");
      append_doubled(out, text.substr(0, n), '\'', false, charset);
      out.append("')");
      text.remove_prefix(n);
    }
    return;
  }
  if (national && dbms == kDbmsSqlServer) out.push_back('N');
  out.push_back('\'');
  append_doubled(out, text, '\'', dbms == kDbmsMysql, charset);
  out.push_back('\'');
}

// "0x0a1b" (as the reader gives RAW) in the dialect's binary literal.
template <typename Out>
void append_binary(Out& out, std::string_view hex, std::int32_t dbms) {
  if (hex.starts_with("0x")) hex.remove_prefix(2);
  switch (dbms) {
    case kDbmsPostgres:
      out.append("'\\x").append(hex).append("'::bytea");
      return;
    case kDbmsMysql:
      if (hex.empty()) {
        out.append("''");
        return;
      }
      out.append("X'").append(hex).append("'");
      return;
    case kDbmsSqlServer:
      out.append("0x").append(hex);
      return;
    case kDbmsDb2:
      do {
        const std::string_view piece = hex.substr(0, kDb2LiteralLimit);
        hex.remove_prefix(piece.size());
        out.append("BLOB(X'").append(piece).append(hex.empty() ? "')" : "')||");
      } while (!hex.empty());
      return;
    default:
      out.append("HEXTORAW('").append(hex).append("')");
      return;
  }
}

// "2024/01/01 01:00:00.000000 +09:00" or "... Europe/Paris" as each dialect
// reads a time with its zone.
template <typename Out>
void append_timestamp_tz(Out& out, std::string_view text, std::int32_t dbms) {
  std::string iso(text);
  for (std::size_t i = 0; i < iso.size() && i < 10; ++i)
    if (iso[i] == '/') iso[i] = '-';
  switch (dbms) {
    case kDbmsOracle:
      out.append("TO_TIMESTAMP_TZ('").append(text).append("','YYYY/MM/DD HH24:MI:SS.FF TZR')");
      return;
    case kDbmsPostgres:
      out.append("TIMESTAMPTZ '").append(iso).append("'");
      return;
    default:
      out.push_back('\'');
      out.append(iso);
      out.push_back('\'');
      return;
  }
}

// "+01-06" and "+02 03:04:05.000000" as each dialect's interval.
template <typename Out>
void append_interval(Out& out, std::string_view text, std::int32_t type,
                     const ColumnDef& c, std::int32_t dbms) {
  const bool ym = type == kColIntervalYm;
  if (dbms == kDbmsOracle) {
    out.append("INTERVAL '").append(text).append("' ");
    if (ym) {
      out.append("YEAR(").append(std::to_string(std::max(c.precision, 1))).append(") TO MONTH");
    } else {
      out.append("DAY(").append(std::to_string(std::max(c.precision, 1)));
      out.append(") TO SECOND(").append(std::to_string(std::clamp(c.scale, 0, 9))).append(")");
    }
    return;
  }
  if (dbms != kDbmsPostgres) {
    out.push_back('\'');
    out.append(text);
    out.push_back('\'');
    return;
  }
  // PostgreSQL: every part carries the sign.
  const char sign = !text.empty() && text[0] == '-' ? '-' : '+';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  const std::size_t cut = text.find(ym ? '-' : ' ');
  out.append("INTERVAL '");
  if (cut == std::string_view::npos) {
    out.push_back(sign);
    out.append(text);
  } else {
    out.push_back(sign);
    out.append(text.substr(0, cut));
    out.append(ym ? " years " : " days ");
    out.push_back(sign);
    out.append(text.substr(cut + 1));
    if (ym) out.append(" months");
  }
  out.push_back('\'');
}

// BINARY_FLOAT and BINARY_DOUBLE: a number, or the dialect's infinity and
// NaN where it has them (NULL elsewhere).
template <typename Out>
void append_binary_number(Out& out, std::string_view text, std::int32_t type,
                          std::int32_t dbms) {
  const bool special = text == "Inf" || text == "-Inf" || text == "Nan";
  if (!special) {
    out.append(text);
    return;
  }
  if (dbms == kDbmsOracle) {
    const char* kind = type == kColBinaryFloat ? "BINARY_FLOAT_" : "BINARY_DOUBLE_";
    if (text == "-Inf") out.push_back('-');
    out.append(kind).append(text == "Nan" ? "NAN" : "INFINITY");
  } else if (dbms == kDbmsPostgres) {
    out.append(text == "Nan" ? "'NaN'" : (text == "Inf" ? "'Infinity'" : "'-Infinity'"));
  } else {
    out.append("NULL");
  }
}

// "2011-12-31 23:59:59" (with `sep` between the date parts); a year before
// Christ gets its sign.
template <typename Out>
void append_date_time(Out& out, const DateParts& v, char sep) {
  append_digits(out, v.year, 4);
  out.push_back(sep);
  append_digits(out, v.month, 2);
  out.push_back(sep);
  append_digits(out, v.day, 2);
  out.push_back(' ');
  append_digits(out, v.hour, 2);
  out.push_back(':');
  append_digits(out, v.minute, 2);
  out.push_back(':');
  append_digits(out, v.second, 2);
}

template <typename Out>
void append_insert_date(Out& out, const DateParts& v, int precision, std::int32_t dbms) {
  bool ts = v.timestamp && precision > 0;
  auto fraction = [&](int max_digits) {
    if (!ts) return;
    out.push_back('.');
    append_fraction(out, v.nanosecond, std::min(precision, max_digits));
  };
  switch (dbms) {
    case kDbmsDb2:
      out.append("TIMESTAMP('");
      append_date_time(out, v, '-');
      fraction(9);
      out.append("')");
      return;
    case kDbmsPostgres: {
      // PostgreSQL counts years before Christ with "BC" and has no sign.
      DateParts shown = v;
      shown.year = v.year < 0 ? -v.year : v.year;
      out.append("TIMESTAMP '");
      append_date_time(out, shown, '-');
      fraction(6);
      if (v.year < 0) out.append(" BC");
      out.push_back('\'');
      return;
    }
    case kDbmsMysql:
      out.append("STR_TO_DATE('");
      append_date_time(out, v, '-');
      fraction(6);
      out.append(ts ? "','%Y-%m-%d %H:%i:%s.%f')" : "','%Y-%m-%d %H:%i:%s')");
      return;
    case kDbmsSqlServer:
      out.append("CONVERT(DATETIME2,'");
      append_date_time(out, v, '-');
      fraction(7);
      out.append(ts ? "',121)" : "',120)");
      return;
    default: {
      const char* year = v.year < 0 ? "SYYYY" : "YYYY";
      out.append(ts ? "TO_TIMESTAMP('" : "TO_DATE('");
      append_date_time(out, v, '/');
      fraction(9);
      out.append("','");
      out.append(year);
      out.append("/MM/DD HH24:MI:SS");
      if (ts) {
        out.append(".FF");
        out.push_back(static_cast<char>('0' + std::min(precision, 9)));
      }
      out.append("')");
      return;
    }
  }
}

}  // namespace

void ColumnOrder::set_identity(int n) {
  index.resize(static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i) index[static_cast<std::size_t>(i)] = i;
  width.clear();
}

int flush_line(RowWriter& w) {
  if (w.line.empty()) return 0;
  if (w.keep_lines) {
    w.line.start = w.line.size;
    return 0;
  }
  return write_text(w, w.line.view());
}

int write_text(RowWriter& w, std::string_view text) {
  if (text.empty()) return 0;
  // Many lines at once (formatted on other threads) go out in one call.
  constexpr std::size_t kBlock = std::size_t{1} << 18;
#if defined(__GLIBC__)
  // One thread writes the output; the stream lock is pure cost.
  std::size_t written = text.size() >= kBlock ? write_block(w.g.out_stream, text.data(), text.size())
                                              : fwrite_unlocked(text.data(), 1, text.size(), w.g.out_stream);
#else
  std::size_t written = text.size() >= kBlock ? write_block(w.g.out_stream, text.data(), text.size())
                                              : std::fwrite(text.data(), 1, text.size(), w.g.out_stream);
#endif
  if (written != text.size()) {
    std::string name = w.o.table_out != nullptr && !w.o.out_fname.empty() ? w.o.out_fname.back()
                                                                           : w.o.out_file;
    if (name.empty()) return fail(w.g, MessageCode::kStdoutWrite);
    return fail(w.g, MessageCode::kFileWrite, name);
  }
  return 0;
}


int write_header(RowWriter& w, const TableDefinition& table, const ColumnOrder& order) {
  const ConvOptions& o = w.o;
  if (!is_on(o.is_header) || o.row_format == 2 || o.output_mode == kOutLobFiles) return 0;
  int charset = output_charset(o);
  prepare_special(w);
  LineBuffer& line = w.line;
  line.clear();
  if (o.row_format == 0 && !order.width.empty()) {
    std::string rule;
    for (int k = 0; k < order.count(); ++k) {
      const ColumnDef* c = column_at(table, order.index[static_cast<std::size_t>(k)]);
      if (c == nullptr) continue;
      std::size_t width =
          static_cast<std::size_t>(k) < order.width.size()
              ? static_cast<std::size_t>(std::max(order.width[static_cast<std::size_t>(k)], 0))
              : c->name.size();
      if (!line.empty()) {
        line.push_back(' ');
        rule.push_back(' ');
      }
      std::string_view name = output_name(w, c->name);
      name = name.substr(0, cut_at_char_boundary(charset, name, width));
      line.append(name);
      for (std::size_t i = name.size(); i < width; ++i) line.push_back(' ');
      rule.append(width, '-');
    }
    while (!line.empty() && line.data[line.size - 1] == ' ') --line.size;
    line.push_back('\n');
    rule.erase(rule.find_last_not_of(' ') + 1);
    line.append(rule);
    line.push_back('\n');
    return flush_line(w);
  }
  bool first = true;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    if (!first) line.push_back(w.delimiter);
    first = false;
    std::string_view name = output_name(w, c->name);
    // A first field "ID" makes spreadsheets take the file for another format.
    bool id_name = name == "ID" || name.starts_with("ID_");
    if (needs_csv_quotes(w, name, charset)) {
      line.push_back('"');
      append_doubled(line, name, '"', false, charset);
      line.push_back('"');
    } else if (id_name) {
      line.push_back('"');
      line.append(name);
      line.push_back('"');
    } else {
      line.append(name);
    }
  }
  line.push_back('\n');
  return flush_line(w);
}

int write_csv_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                  const RowValues& row) {
  const ConvOptions& o = w.o;
  int charset = output_charset(o);
  bool trim = is_on(o.is_trim);
  bool quote_all = is_on(o.is_quote);
  prepare_special(w);
  if (o.date_format_kind >= 1 && o.date_format_kind <= 3) refresh_date_layout(w);
  LineBuffer& line = w.line;
  line.clear();
  const std::size_t columns = table.columns.size();
  for (std::int32_t idx : order.index) {
    if (idx < 0) continue;
    if (idx < row.count) {
      const SqlValue& v = row[idx];
      switch (v.type) {
        case VT_TEXT:
        case VT_BYTES:
          // A string's buffer holds its capacity and a terminating NUL.
          append_csv_field(w, v.view(), v.text.capacity() + 1, trim, quote_all, charset);
          break;
        case VT_NUMBER: {
          int scale = static_cast<std::size_t>(idx) < columns
                          ? table.columns[static_cast<std::size_t>(idx)].scale
                          : 0;
          // A string's buffer holds its capacity and a terminating NUL.
          append_csv_number(w, v.view(), v.text.capacity() + 1, scale);
          break;
        }
        case VT_SYSDATE:
        case VT_DATE:
        case VT_TIMESTAMP: {
          const ColumnDef* c = column_at(table, idx);
          int precision =
              v.type == VT_TIMESTAMP ? (c != nullptr ? timestamp_precision(*c) : 6) : 0;
          bool kind_fixed = o.date_format_kind >= 1 && o.date_format_kind <= 3;
          // WITH LOCAL TIME ZONE is kept in the database's zone: said after the time.
          const bool zoned = c != nullptr && c->type == kColTimestampLtz && !table.db_timezone.empty();
          if (kind_fixed && !w.date_literals_need_quotes && !zoned) {
            if (quote_all) line.push_back('"');
            if (!append_date_by_template(w, line, parts_of(v), precision) &&
                append_formatted_date(w, line, v, precision) != 0)
              return -1;
            if (quote_all) line.push_back('"');
            break;
          }
          // A date format may carry the delimiter or a quote itself.
          std::string& text = w.name;
          text.clear();
          if (append_formatted_date(w, text, v, precision) != 0) return -1;
          if (zoned) text.append(" ").append(table.db_timezone);
          if (needs_csv_quotes(w, text, charset)) {
            append_csv_quoted(line, text);
          } else if (quote_all) {
            line.push_back('"');
            line.append(text);
            line.push_back('"');
          } else {
            line.append(text);
          }
          break;
        }
        default:
          break;
      }
    }
    line.push_back(w.delimiter);
  }
  if (!line.empty()) --line.size;
  line.push_back('\n');
  if (line.size - line.start >= kMaxCsvLine) {
    line.clear();
    return fail(w.g, MessageCode::kLineTooLong, "4194304");
  }
  return flush_line(w);
}

namespace {

// "INSERT INTO T (A,B) VALUES (": the same for every row of a table, built
// once per table and column order.
const std::string& insert_head(RowWriter& w, const TableDefinition& table,
                               const ColumnOrder& order) {
  std::string& key = w.insert_key_scratch;
  key.assign(table.table_name);
  key.push_back('\0');
  key.append(reinterpret_cast<const char*>(order.index.data()),
             order.index.size() * sizeof(std::int32_t));
  key.append(reinterpret_cast<const char*>(&w.o.dbms_type), sizeof w.o.dbms_type);
  if (key == w.insert_key && !w.insert_head.empty()) return w.insert_head;
  w.insert_key = key;
  const int charset = output_charset(w.o);
  const std::int32_t dbms = w.o.dbms_type;
  std::string& head = w.insert_head;
  head.assign("INSERT INTO ");
  append_identifier(head, output_name(w, table.table_name), dbms, charset);
  head.append(" (");
  bool any = false;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    if (any) head.push_back(',');
    any = true;
    append_identifier(head, output_name(w, c->name), dbms, charset);
  }
  head.append(") VALUES (");
  return head;
}

// The number text of an INSERT value (its sign written already).
void append_insert_number(LineBuffer& out, std::string_view text, int scale) {
  out.commit(write_number_text(out.reserve(number_text_bound(text, scale)), text, scale, true));
}
void append_insert_number(std::string& out, std::string_view text, int scale) {
  const std::size_t at = out.size();
  out.resize(at + number_text_bound(text, scale));
  out.resize(static_cast<std::size_t>(write_number_text(out.data() + at, text, scale, true) - out.data()));
}

template <typename Out>
void append_insert_value(Out& values, const ColumnDef& c, const SqlValue* v,
                         std::int32_t dbms, int charset) {
  const int kind = v == nullptr ? VT_NULL : v->type;
  // A large object the reader never handed keeps its placeholder text.
  const bool lob_missing = is_large_object_type(c.type) && kind == VT_TEXT;
  if (kind == VT_NULL || lob_missing || unwritable_column_type(c.type)) {
    values.append("NULL");
    return;
  }
  switch (c.type) {
    case kColRaw:
    case kColLongRaw:
    case kColBlob:
      append_binary(values, v->view(), dbms);
      return;
    case kColTimestampTz:
      append_timestamp_tz(values, v->view(), dbms);
      return;
    case kColIntervalYm:
    case kColIntervalDs:
      append_interval(values, v->view(), c.type, c, dbms);
      return;
    case kColBinaryFloat:
    case kColBinaryDouble:
      append_binary_number(values, v->view(), c.type, dbms);
      return;
    default:
      break;
  }
  switch (kind) {
    case VT_TEXT:
    case VT_BYTES:
      append_quoted_text(values, v->view(),
                         c.type == kColNchar || c.type == kColNvarchar2 || c.type == kColNclob,
                         dbms, charset);
      break;
    case VT_NUMBER:
      if (!v->text.empty() && v->text[0] == '-') values.push_back('-');
      append_insert_number(values, v->view(), c.scale);
      break;
    case VT_SYSDATE:
    case VT_DATE:
    case VT_TIMESTAMP:
      append_insert_date(values, parts_of(*v), v->type == VT_TIMESTAMP ? timestamp_precision(c) : 0, dbms);
      break;
    default:
      values.append("NULL");
      break;
  }
}

// The hex digits of a binary value too long for one HEXTORAW literal in
// Oracle SQL; empty for any other value.
std::string_view oracle_long_binary(const ColumnDef& c, const SqlValue* v) noexcept {
  if (v == nullptr || v->type == VT_NULL) return {};
  if (c.type != kColBlob && c.type != kColLongRaw && c.type != kColRaw) return {};
  std::string_view hex = v->view();
  if (hex.starts_with("0x")) hex.remove_prefix(2);
  return hex.size() > 2 * kOracleRawLiteralLimit ? hex : std::string_view();
}

// A row with such values is one PL/SQL block: each value is built in a
// variable from literals Oracle takes (a temporary BLOB by WRITEAPPEND, a
// RAW by UTL_RAW.CONCAT) and the INSERT names the variables.
void append_oracle_block(std::string& out, const TableDefinition& table, const ColumnOrder& order,
                         const RowValues& row, std::string_view head, int charset) {
  std::string declare = "DECLARE\n", body = "BEGIN\n", values, free;
  int n = 0;
  bool any = false;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    if (any) values.push_back(',');
    any = true;
    const SqlValue* v = value_at(row, idx);
    std::string_view hex = oracle_long_binary(*c, v);
    if (hex.empty()) {
      append_insert_value(values, *c, v, kDbmsOracle, charset);
      continue;
    }
    const std::string var = "qln_v" + std::to_string(++n);
    const bool lob = c->type == kColBlob;
    declare.append("  ").append(var).append(lob ? " BLOB;\n" : " RAW(32767);\n");
    if (lob) body.append("  DBMS_LOB.CREATETEMPORARY(").append(var).append(", TRUE);\n");
    for (bool first = true; !hex.empty(); first = false) {
      const std::string_view piece = hex.substr(0, 2 * kOracleRawLiteralLimit);
      hex.remove_prefix(piece.size());
      if (lob) {
        body.append("  DBMS_LOB.WRITEAPPEND(").append(var).append(", ");
        body.append(std::to_string(piece.size() / 2)).append(", HEXTORAW('").append(piece).append("'));\n");
      } else if (first) {
        body.append("  ").append(var).append(" := HEXTORAW('").append(piece).append("');\n");
      } else {
        body.append("  ").append(var).append(" := UTL_RAW.CONCAT(").append(var);
        body.append(", HEXTORAW('").append(piece).append("'));\n");
      }
    }
    if (lob) free.append("  DBMS_LOB.FREETEMPORARY(").append(var).append(");\n");
    values.append(var);
  }
  out.append(declare).append(body).append("  ").append(head).append(values).append(");\n");
  out.append(free).append("END;\n/\n");
}

}  // namespace

int write_insert_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                     const RowValues& row) {
  const int charset = output_charset(w.o);
  const std::int32_t dbms = w.o.dbms_type;
  LineBuffer& line = w.line;
  line.clear();
  if (dbms == kDbmsOracle) {
    for (std::int32_t idx : order.index) {
      const ColumnDef* c = column_at(table, idx);
      if (c == nullptr || oracle_long_binary(*c, value_at(row, idx)).empty()) continue;
      std::string& block = w.work;
      block.clear();
      append_oracle_block(block, table, order, row, insert_head(w, table, order), charset);
      line.append(block);
      return flush_line(w);
    }
  }
  line.append(insert_head(w, table, order));
  bool any = false;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    if (any) line.push_back(',');
    any = true;
    append_insert_value(line, *c, value_at(row, idx), dbms, charset);
  }
  if (!any) {
    line.clear();
    return 0;
  }
  line.append(");\n");
  return flush_line(w);
}

namespace {

// MySQL counts a name's length in characters.
std::size_t name_length(std::string_view name, std::int32_t dbms, int charset) {
  if (dbms != kDbmsMysql || charset != kCharsetUtf8) return name.size();
  std::size_t n = 0;
  for (char c : name) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace

int begin_insert_table(RowWriter& w, const TableDefinition& table, const ColumnOrder& order) {
  const std::int32_t dbms = w.o.dbms_type;
  const int charset = output_charset(w.o);
  const std::size_t limit = identifier_limit(dbms);
  std::string comments;
  auto check_length = [&](std::string_view name) {
    std::string_view shown = output_name(w, name);
    if (name_length(shown, dbms, charset) <= limit) return;
    w.g.zulcode = code_number(MessageCode::kNameTooLong);
    report_error(w.g, std::string(shown));
  };
  check_length(table.table_name);
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    check_length(c->name);
    if (!unwritable_column_type(c->type)) continue;
    const std::string name = table.table_name + "." + c->name;
    if (!c->nullable) return fail(w.g, MessageCode::kNotNullUnwritable, name);
    w.g.zulcode = code_number(MessageCode::kColumnWrittenAsNull);
    report_error(w.g, name);
    comments.append("-- ").append(output_name(w, c->name));
    comments.append(": values of this type cannot be written; NULL is written instead\n");
  }
  if (!w.transaction_open) {
    w.transaction_open = true;
    comments.insert(0, begin_transaction(dbms));
  }
  return write_text(w, comments);
}

int write_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
              const RowValues& row) {
  if (w.o.output_mode == kOutLobFiles) return 0;
  if (w.o.row_format == 2) return write_insert_row(w, table, order, row);
  return write_csv_row(w, table, order, row);
}

namespace {

// Room a column's value may take in a line besides twice its stored size:
// the longest number text, a date with its literals, quotes and separator.
std::size_t stored_column_bound(const RowWriter& w, const StoredColumn& c) {
  constexpr std::size_t kSeparatorAndQuotes = 4;
  switch (c.kind) {
    case StoredColumn::kCsvText:
    case StoredColumn::kInsertText:
      return 2 * c.length + kSeparatorAndQuotes + 16;
    case StoredColumn::kPlainNumber:
    case StoredColumn::kCsvNumber:
    case StoredColumn::kInsertNumber:
      return kNumberTextMax + static_cast<std::size_t>(std::max(c.scale, 0)) + kSeparatorAndQuotes + 16;
    case StoredColumn::kCsvDate:
    case StoredColumn::kCsvTimestamp:
      return std::max(w.date_template.size() + 11, StoredLayout::kCsvDateRoom) + kSeparatorAndQuotes;
    case StoredColumn::kInsertDate:
    case StoredColumn::kInsertTimestamp:
      return 128;
  }
  return 0;
}

// The INSERT text of a DATE with every field zero, and where its digits
// start: each row copies it and writes the digits in place. False when the
// dialect's form is not "YYYY?MM?DD HH:MI:SS" between fixed texts.
bool prepare_insert_date(StoredLayout& l) {
  std::string t;
  append_insert_date(t, DateParts{}, 0, l.dbms);
  const std::size_t at = t.find("0000");
  if (at == std::string::npos || t.size() < at + 19 || t.compare(at + 10, 9, " 00:00:00") != 0) return false;
  l.date_template = std::move(t);
  l.date_at = at;
  return true;
}

// The CSV date layout as one padded template (see append_date_by_template).
void prepare_csv_date(const RowWriter& w, StoredLayout& l) {
  l.csv_date_fields = -1;
  if (w.date_fields < 0 || w.date_template.size() > l.csv_date.size()) return;
  l.csv_date.fill(0);
  std::memcpy(l.csv_date.data(), w.date_template.data(), w.date_template.size());
  l.csv_date_size = w.date_template.size();
  l.csv_date_at = w.date_offsets;
  l.csv_date_fields = w.date_fields;
}

}  // namespace

bool prepare_stored_rows(RowWriter& w, const TableDefinition& table, const ColumnOrder& order) {
  const ConvOptions& o = w.o;
  StoredLayout& l = w.stored;
  l.columns.clear();
  const std::size_t n = table.columns.size();
  if (o.output_mode == kOutLobFiles || n == 0 || order.index.size() != n || !order.width.empty())
    return false;
  for (std::size_t i = 0; i < n; ++i)
    if (order.index[i] != static_cast<std::int32_t>(i)) return false;
  l.csv = o.row_format != 2;
  l.trim = is_on(o.is_trim);
  l.quote_all = is_on(o.is_quote);
  l.charset = output_charset(o);
  l.from = w.g.db_charset;
  l.dbms = o.dbms_type;
  l.mysql = l.dbms == kDbmsMysql;
  l.separator = l.csv ? w.delimiter : ',';
  bool dates = !l.csv;
  // CSV numbers without padding are their canonical text, unless the
  // delimiter is a character numbers are written with.
  const char d = w.delimiter;
  const bool plain_numbers = !l.csv || !((d >= '0' && d <= '9') || d == '.' || d == '-');
  if (l.csv) {
    prepare_special(w);
    l.stepping = steps_for_delimiter(w, l.charset);
    if (o.date_format_kind >= 1 && o.date_format_kind <= 3) {
      refresh_date_layout(w);
      dates = !w.date_literals_need_quotes;
      prepare_csv_date(w, l);
    }
  } else {
    l.stepping = steps_over_multibyte(l.charset);
    dates = prepare_insert_date(l);
  }
  for (const ColumnDef& c : table.columns) {
    StoredColumn s;
    switch (c.type) {
      case kColVarchar2:
      case kColChar:
        s.kind = l.csv ? StoredColumn::kCsvText : StoredColumn::kInsertText;
        if (c.type == kColChar) s.length = c.length > 0 ? static_cast<std::size_t>(std::min(c.length, 4000)) : 0;
        break;
      case kColNumber:
      case kColFloat:
        s.scale = c.scale;
        if (plain_numbers && c.scale <= 0) {
          s.kind = StoredColumn::kPlainNumber;
        } else {
          s.kind = l.csv ? StoredColumn::kCsvNumber : StoredColumn::kInsertNumber;
        }
        break;
      case kColDate:
        if (!dates) return false;
        s.kind = l.csv ? StoredColumn::kCsvDate : StoredColumn::kInsertDate;
        break;
      case kColTimestamp:
        if (!dates) return false;
        s.kind = l.csv ? StoredColumn::kCsvTimestamp : StoredColumn::kInsertTimestamp;
        s.timestamp = true;
        s.precision = timestamp_precision(c);
        break;
      default:
        return false;
    }
    l.columns.push_back(s);
  }
  l.bound = 2;  // the line's end
  if (!l.csv) l.bound += insert_head(w, table, order).size() + 3;
  for (const StoredColumn& c : l.columns) l.bound += stored_column_bound(w, c);
  return true;
}

namespace {

// Bits of copy_looking's answer.
constexpr unsigned kSpecialByte = 1;  // one of the bytes looked for
constexpr unsigned kHighByte = 2;     // a byte above 0x7F

// Copies `n` bytes to `dst` (room for n + 16) and says whether any of them
// is one of a..d or above 0x7F. `readable`: bytes of `src` that may be
// read (at least n), so that a short value takes one vector load.
inline unsigned copy_looking(char* dst, const unsigned char* src, std::size_t n, [[maybe_unused]] std::size_t readable,
                             char a, char b, char c, char d) {
  std::size_t i = 0;
  unsigned found = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
  auto look = [&](std::size_t at, int keep) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + at), x);
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                     _mm_or_si128(_mm_cmpeq_epi8(x, vc), _mm_cmpeq_epi8(x, vd)));
    if (_mm_movemask_epi8(hit) & keep) found |= kSpecialByte;
    if (_mm_movemask_epi8(x) & keep) found |= kHighByte;
  };
  for (; i + 16 <= n; i += 16) look(i, 0xFFFF);
  if (i < n && i + 16 <= readable) {
    // The bytes after the value are copied but not kept, and do not count.
    look(i, (1 << (n - i)) - 1);
    i = n;
  }
#endif
  for (; i < n; ++i) {
    const char x = static_cast<char>(src[i]);
    dst[i] = x;
    if (x == a || x == b || x == c || x == d) found |= kSpecialByte;
    if (src[i] >= 0x80) found |= kHighByte;
  }
  return found;
}

// A NUMBER's canonical text at `q`, "0.5" as ".5"; null for bytes no
// NUMBER has.
inline char* put_plain_number(char* q, std::span<const std::uint8_t> bytes) {
  if (char* e = write_plain_number(q, bytes)) return e;
  char* const e = write_other_number(q, bytes);
  if (e == nullptr) return nullptr;
  char* const zero = q + (q[0] == '-' ? 1 : 0);
  if (e - zero > 1 && zero[0] == '0' && zero[1] == '.') {
    std::memmove(zero, zero + 1, static_cast<std::size_t>(e - zero - 1));
    return e - 1;
  }
  return e;
}

// The fields of a DATE's 7 bytes with the checks of decode_oracle_date,
// when its year has four digits: year, month, day, hour, minute, second.
// False for what the general way is to judge.
inline bool plain_date(const std::uint8_t* b, unsigned (&f)[6]) {
  f[1] = b[2];
  f[2] = b[3];
  f[3] = b[4] - 1u;
  f[4] = b[5] - 1u;
  f[5] = b[6] - 1u;
  if (f[1] - 1 > 11 || f[2] - 1 > 30 || f[3] > 23 || f[4] > 59 || f[5] > 59 || b[0] < 53 || b[0] > 199 ||
      b[1] < 1 || b[1] > 199)
    return false;
  const int year = (b[0] - 100) * 100 + (b[1] - 100);
  f[0] = static_cast<unsigned>(year);
  return year >= 0 && year <= 9999;
}

inline void put_two_digits(char* at, unsigned v) { std::memcpy(at, &kTwoDigits[2 * v], 2); }

// A DATE of the CSV layout straight from its bytes; null when the general
// way is to write it.
inline char* put_csv_date(char* p, const StoredLayout& l, const std::uint8_t* b) {
  unsigned f[6];
  if (l.csv_date_fields < 0 || !plain_date(b, f)) return nullptr;
  std::memcpy(p, l.csv_date.data(), StoredLayout::kCsvDateRoom);
  if (l.csv_date_fields > 0) {
    put_two_digits(p + l.csv_date_at[0], f[0] / 100);
    put_two_digits(p + l.csv_date_at[0] + 2, f[0] % 100);
  }
  for (int i = 1; i < l.csv_date_fields; ++i) put_two_digits(p + l.csv_date_at[static_cast<std::size_t>(i)], f[i]);
  return p + l.csv_date_size;
}

// A DATE of an INSERT statement from the dialect's template; null as above.
inline char* put_insert_date(char* p, const StoredLayout& l, const std::uint8_t* b) {
  unsigned f[6];
  if (!plain_date(b, f)) return nullptr;
  const std::string& tpl = l.date_template;
  std::memcpy(p, tpl.data(), tpl.size());
  char* const at = p + l.date_at;
  put_two_digits(at, f[0] / 100);
  put_two_digits(at + 2, f[0] % 100);
  put_two_digits(at + 5, f[1]);
  put_two_digits(at + 8, f[2]);
  put_two_digits(at + 11, f[3]);
  put_two_digits(at + 14, f[4]);
  put_two_digits(at + 17, f[5]);
  return p + tpl.size();
}

// The date or timestamp a stored value holds; false when its bytes are none
// (a DATE is always 7 bytes).
bool stored_date(std::span<const std::uint8_t> bytes, const StoredColumn& c, DateParts& d) {
  OracleDateTime t;
  if (!decode_oracle_date(bytes, t) || (!c.timestamp && bytes.size() != 7)) return false;
  d = DateParts{t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanosecond, c.timestamp};
  return true;
}

}  // namespace

// One row from its stored bytes. The line's worst case is reserved once, so
// values are written through a plain pointer; the rarer forms go through
// the writers' own helpers (which reserve for themselves) and the pointer
// is taken again after them.
int write_stored_row(RowWriter& w, std::span<const unsigned char> row, std::size_t readable) {
  const StoredLayout& l = w.stored;
  LineBuffer& line = w.line;
  line.clear();
  const unsigned char* const src = row.data();
  const std::size_t used = row.size();
  const std::size_t room = used + readable;
  char* p = line.reserve(l.bound + 2 * used);
  auto leave = [&line] {
    line.clear();
    return 0;
  };
  // Hands the line to a helper that appends to it, and takes it back.
  auto helper = [&line, &p](auto&& append) {
    line.commit(p);
    append();
    p = line.data.data() + line.size;
  };
  if (!l.csv) {
    std::memcpy(p, w.insert_head.data(), w.insert_head.size());
    p += w.insert_head.size();
  }
  const char sep = l.separator;
  std::size_t at = 0;
  for (const StoredColumn& c : l.columns) {
    // Fewer values than columns: the decoder's rules fill the rest.
    if (at + 2 > used) return leave();
    const std::size_t len = static_cast<std::size_t>(src[at] | (src[at + 1] << 8));
    at += 2;
    if (len == kNullLength) {
      if (!l.csv) {
        std::memcpy(p, "NULL", 4);
        p += 4;
      }
      *p++ = sep;
      continue;
    }
    if (len > kMaxRowValueLen || at + len > used) return leave();
    const std::span<const std::uint8_t> bytes(src + at, len);
    at += len;
    switch (c.kind) {
      case StoredColumn::kPlainNumber: {
        char* const e = put_plain_number(p, bytes);
        if (e == nullptr) return leave();
        p = e;
        break;
      }
      case StoredColumn::kCsvText: {
        char* const field = p;
        if (l.quote_all) *p++ = '"';
        const unsigned found =
            copy_looking(p, bytes.data(), len, room - (at - len), sep, '"', '\n', '\r');
        // ASCII reads the same in every output set but UTF-16.
        if (((found & kHighByte) || l.from == kCharsetUtf16) &&
            text_needs_conversion(l.from, l.charset, bytes))
          return leave();
        if (!(found & kSpecialByte) && !l.trim && !l.stepping && len >= c.length) {
          p += len;
          if (l.quote_all) *p++ = '"';
          break;
        }
        p = field;
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), len);
        std::size_t text_room = room - (at - len);
        if (len < c.length) {
          w.work.assign(text);
          w.work.append(c.length - len, ' ');
          text = w.work;
          text_room = w.work.capacity() + 1;
        }
        helper([&] { append_csv_field(w, text, text_room, l.trim, l.quote_all, l.charset); });
        break;
      }
      case StoredColumn::kInsertText: {
        *p++ = '\'';
        const char backslash = l.mysql ? '\\' : '\'';
        const unsigned found = copy_looking(p, bytes.data(), len, room - (at - len), '\'', backslash, '\'', '\'');
        if (((found & kHighByte) || l.from == kCharsetUtf16) &&
            text_needs_conversion(l.from, l.charset, bytes))
          return leave();
        if (!(found & kSpecialByte) && !(l.stepping && (found & kHighByte)) && len >= c.length) {
          p += len;
          *p++ = '\'';
          break;
        }
        --p;
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), len);
        if (len < c.length) {
          w.work.assign(text);
          w.work.append(c.length - len, ' ');
          text = w.work;
        }
        helper([&] { append_quoted_text(line, text, false, l.dbms, l.charset); });
        break;
      }
      case StoredColumn::kCsvNumber:
      case StoredColumn::kInsertNumber: {
        char buf[kNumberTextMax];
        const char* const e = write_stored_number(buf, bytes);
        if (e == nullptr) return leave();
        const std::string_view t(buf, static_cast<std::size_t>(e - buf));
        if (c.kind == StoredColumn::kCsvNumber) {
          helper([&] { append_csv_number(w, t, sizeof buf, c.scale); });
        } else {
          if (t[0] == '-') *p++ = '-';
          p = write_number_text(p, t, c.scale, true);
        }
        break;
      }
      case StoredColumn::kCsvDate:
        if (len == 7 && !l.quote_all) {
          if (char* const e = put_csv_date(p, l, bytes.data())) {
            p = e;
            break;
          }
        }
        [[fallthrough]];
      case StoredColumn::kCsvTimestamp: {
        DateParts d;
        if (!stored_date(bytes, c, d)) return leave();
        if (l.quote_all) *p++ = '"';
        bool ok = true;
        helper([&] { ok = append_date_by_template(w, line, d, c.timestamp ? c.precision : 0); });
        if (!ok) return leave();
        if (l.quote_all) *p++ = '"';
        break;
      }
      case StoredColumn::kInsertDate:
        if (len == 7) {
          if (char* const e = put_insert_date(p, l, bytes.data())) {
            p = e;
            break;
          }
        }
        [[fallthrough]];
      case StoredColumn::kInsertTimestamp: {
        DateParts d;
        if (!stored_date(bytes, c, d)) return leave();
        helper([&] { append_insert_date(line, d, c.timestamp ? c.precision : 0, l.dbms); });
        break;
      }
    }
    *p++ = sep;
  }
  // More values than columns: the decoder's rules.
  if (at != used) return leave();
  --p;
  if (l.csv) {
    *p++ = '\n';
  } else {
    std::memcpy(p, ");\n", 3);
    p += 3;
  }
  line.commit(p);
  if (l.csv && line.size - line.start >= kMaxCsvLine) return leave();
  return flush_line(w) == 0 ? 1 : -1;
}

}  // namespace qln
