#include "values/sql_value.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/multibyte.hpp"
#include "core/table_definition.hpp"
#include "core/blanks.hpp"

namespace qln {

namespace {

// A fresh value's buffer: most column values are short.
constexpr std::size_t kSmallBuffer = 100;

std::string_view trim_view(std::string_view s) noexcept { return trim_blanks_view(s); }

enum class NumberText { kNumber, kEmpty, kBad };

// Reads a number text: blanks around it and after the sign are allowed
// ("- 12" is -12), one sign before the digits, one point. A blank-only text
// is 0; an empty one is no number at all.
NumberText read_number_text(std::string_view s, Decimal& out) {
  if (s.empty()) return NumberText::kEmpty;
  std::string_view t = trim_view(s);
  if (t.size() > kMaxValueLen) return NumberText::kBad;
  bool negative = false;
  bool seen_sign = false;
  bool seen_digit_or_point = false;
  bool seen_point = false;
  std::string digits;
  std::int64_t fraction_digits = 0;
  std::size_t i = 0;
  while (i < t.size()) {
    char c = t[i];
    if (c == '+' || c == '-') {
      if (seen_sign || seen_digit_or_point) return NumberText::kBad;
      seen_sign = true;
      negative = c == '-';
      t = trim_view(t.substr(i + 1));
      i = 0;
      continue;
    }
    if (c == '.') {
      if (seen_point) return NumberText::kBad;
      seen_point = seen_digit_or_point = true;
    } else if (c >= '0' && c <= '9') {
      seen_digit_or_point = true;
      digits.push_back(c);
      if (seen_point) ++fraction_digits;
    } else {
      return NumberText::kBad;
    }
    ++i;
  }
  return Decimal::from_parts(negative, digits, -fraction_digits, out) ? NumberText::kNumber
                                                                       : NumberText::kBad;
}

// Stores a text of the given type, or the error value when it is too long.
int store_text(SqlValue& v, std::int32_t type, std::string_view s) {
  v.type = type;
  if (s.size() > kMaxValueLen) return value_set_error(v);
  v.text.assign(s);
  v.length = static_cast<std::int32_t>(s.size());
  return 0;
}

// The text up to its first NUL, as the pattern rule reads it.
std::string_view c_text(const SqlValue& v) noexcept {
  std::string_view s = v.text;
  std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool is_date_type(std::int32_t t) noexcept {
  return t == VT_SYSDATE || t == VT_DATE || t == VT_TIMESTAMP;
}

bool is_textual(std::int32_t t) noexcept { return t == VT_TEXT || t == VT_BYTES; }

int cmp_result(int c) noexcept { return c < 0 ? CMP_LESS : (c > 0 ? CMP_GREATER : CMP_EQUAL); }

int compare_padded(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size() && (a.empty() || b.empty())) return CMP_NONE;
  std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char cb = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (ca != cb) return ca < cb ? CMP_LESS : CMP_GREATER;
  }
  return CMP_EQUAL;
}

int compare_unpadded(std::string_view a, std::string_view b) noexcept {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? CMP_LESS : CMP_GREATER;
  }
  if (a.size() == b.size()) return CMP_EQUAL;
  return a.size() < b.size() ? CMP_LESS : CMP_GREATER;
}

int compare_numbers(const SqlValue& a, const SqlValue& b) noexcept {
  if (a.type != VT_NUMBER || b.type != VT_NUMBER || a.is_error() || b.is_error()) return CMP_NONE;
  return cmp_result(Decimal::compare(a.number, b.number));
}

// Reads the text of `t` as a number and compares; the number may be either side.
int compare_number_with_text(const SqlValue& number, const SqlValue& t, bool number_first) {
  if (number.is_error()) return CMP_NONE;
  Decimal d;
  if (read_number_text(t.text, d) != NumberText::kNumber) return CMP_NONE;
  int c = number_first ? Decimal::compare(number.number, d) : Decimal::compare(d, number.number);
  return cmp_result(c);
}

// One date component: a negative one is absent and ends the comparison.
// Returns 1 when the comparison goes on with the next component.
int compare_component(int a, int b, int& result) noexcept {
  if (a < 0) {
    result = b < 0 ? CMP_EQUAL : CMP_LESS;
    return 0;
  }
  if (b < 0) {
    result = CMP_GREATER;
    return 0;
  }
  if (a != b) {
    result = a < b ? CMP_LESS : CMP_GREATER;
    return 0;
  }
  return 1;
}

int compare_dates(const SqlValue& a, const SqlValue& b) noexcept {
  if (a.year != b.year) return a.year < b.year ? CMP_LESS : CMP_GREATER;
  const int pa[] = {a.month, a.day, a.hour, a.minute, a.second};
  const int pb[] = {b.month, b.day, b.hour, b.minute, b.second};
  int result = CMP_EQUAL;
  for (int i = 0; i < 5; ++i) {
    if (!compare_component(pa[i], pb[i], result)) return result;
  }
  // A date has no fraction of a second, so it sits at nanosecond 0.
  long na = a.type == VT_TIMESTAMP ? a.nanosecond : 0;
  long nb = b.type == VT_TIMESTAMP ? b.nanosecond : 0;
  if (na != nb) return na < nb ? CMP_LESS : CMP_GREATER;
  return CMP_EQUAL;
}

// True when `pos` is where a character of `text` begins.
bool is_char_start(int charset, std::string_view text, std::size_t pos) noexcept {
  std::size_t i = 0;
  while (i < pos) {
    i += 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(text[i])));
  }
  return i == pos;
}

bool contains_at_char(int charset, std::string_view text, std::string_view part) noexcept {
  if (part.empty()) return true;
  std::size_t i = 0;
  while (i + part.size() <= text.size()) {
    if (text.compare(i, part.size(), part) == 0) return true;
    i += 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(text[i])));
  }
  return false;
}

int set_date_fields(SqlValue& v, std::int32_t type, int y, int mo, int d, int h, int mi, int s,
                    long ns) {
  v.type = type;
  v.number = Decimal{};
  v.year = static_cast<std::int16_t>(y);
  v.month = static_cast<std::int16_t>(mo);
  v.day = static_cast<std::int16_t>(d);
  v.hour = static_cast<std::int16_t>(h);
  v.minute = static_cast<std::int16_t>(mi);
  v.second = static_cast<std::int16_t>(s);
  v.nanosecond = static_cast<std::int32_t>(ns);
  v.weekday = static_cast<std::int16_t>(value_weekday(v));
  char buf[96];
  int n = type == VT_TIMESTAMP
              ? std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d.%09ld", y, mo, d, h,
                              mi, s, ns)
              : std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  v.text.assign(buf, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
  v.length = static_cast<std::int32_t>(v.text.size());
  return 0;
}

}  // namespace

int value_init(SqlValue& v) {
  v = SqlValue{};
  v.text.reserve(kSmallBuffer);
  return 0;
}

int value_free(SqlValue& v) {
  v.text.clear();
  v.text.shrink_to_fit();
  v.type = VT_NULL;
  v.length = 0;
  return 0;
}

int value_clear(SqlValue& v) {
  v.type = VT_NULL;
  v.text.clear();
  v.length = 0;
  return 0;
}

int value_set_error(SqlValue& v) {
  v.text.assign(kErrorText);
  v.length = -1;
  return -1;
}

int value_set_text(SqlValue& v, std::string_view s) { return store_text(v, VT_TEXT, s); }

int value_set_bytes(SqlValue& v, std::string_view data) { return store_text(v, VT_BYTES, data); }

int value_set_number(SqlValue& v, std::string_view s) {
  if (s.empty()) {
    value_clear(v);
    return 0;
  }
  v.type = VT_NUMBER;
  Decimal d;
  if (read_number_text(s, d) != NumberText::kNumber) return value_set_error(v);
  return value_set_decimal(v, d);
}

int value_set_decimal(SqlValue& v, const Decimal& d) {
  v.type = VT_NUMBER;
  v.number = d;
  return store_text(v, VT_NUMBER, d.to_text());
}

int value_set_date(SqlValue& v, int y, int mo, int d, int h, int mi, int s) {
  return set_date_fields(v, VT_DATE, y, mo, d, h, mi, s, 0);
}

int value_set_sysdate(SqlValue& v, int y, int mo, int d, int h, int mi, int s) {
  return set_date_fields(v, VT_SYSDATE, y, mo, d, h, mi, s, 0);
}

int value_set_timestamp(SqlValue& v, int y, int mo, int d, int h, int mi, int s, long ns) {
  return set_date_fields(v, VT_TIMESTAMP, y, mo, d, h, mi, s, ns);
}

int value_copy(const SqlValue& src, SqlValue& dst) {
  switch (src.type) {
    case VT_NULL:
    case VT_TEXT:
    case VT_BYTES:
    case VT_NUMBER:
    case VT_SYSDATE:
    case VT_DATE:
    case VT_TIMESTAMP:
      break;
    default:
      return -1;
  }
  if (&src == &dst) return 0;
  dst.type = src.type;
  dst.text.assign(src.text);  // keeps dst's buffer when it is large enough
  dst.length = src.length;
  dst.number = src.number;
  dst.year = src.year;
  dst.month = src.month;
  dst.day = src.day;
  dst.hour = src.hour;
  dst.minute = src.minute;
  dst.second = src.second;
  dst.nanosecond = src.nanosecond;
  dst.weekday = src.weekday;
  return 0;
}

int value_compare(const SqlValue& a, const SqlValue& b) {
  if (a.type == VT_TEXT && b.type == VT_TEXT) return compare_padded(a.text, b.text);
  if (is_textual(a.type) && is_textual(b.type)) return compare_unpadded(a.text, b.text);
  if (a.type == VT_NUMBER && b.type == VT_NUMBER) return compare_numbers(a, b);
  if (a.type == VT_NUMBER && is_textual(b.type)) return compare_number_with_text(a, b, true);
  if (is_textual(a.type) && b.type == VT_NUMBER) return compare_number_with_text(b, a, false);
  if (is_date_type(a.type) && is_date_type(b.type)) return compare_dates(a, b);
  return CMP_NONE;
}

int value_match(const SqlValue& a, const SqlValue& pattern, int charset) {
  std::string_view s = c_text(a);
  std::string_view p = c_text(pattern);
  bool lead = !p.empty() && p.front() == '%';
  bool trail = p.size() >= 2 && p.back() == '%';
  if (p == "%") trail = true;
  bool ok = false;
  if (lead && !trail) {
    std::string_view tail = p.substr(1);
    ok = s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0 &&
         is_char_start(charset, s, s.size() - tail.size());
  } else if (lead && trail) {
    std::string_view mid = p.size() >= 2 ? p.substr(1, p.size() - 2) : std::string_view{};
    ok = contains_at_char(charset, s, mid);
  } else if (trail) {
    std::string_view head = p.substr(0, p.size() - 1);
    ok = s.substr(0, head.size()) == head;
  } else {
    ok = s == p;
  }
  return ok ? 0 : -1;
}

int value_arith(const SqlValue& a, int op, const SqlValue& b, SqlValue& result) {
  if (op == kOpConcat) {
    if (!is_textual(a.type) || !is_textual(b.type) || a.is_error() || b.is_error() ||
        a.text.size() + b.text.size() > kMaxValueLen) {
      return value_set_error(result);
    }
    std::string joined;
    joined.reserve(a.text.size() + b.text.size());
    joined.append(a.text).append(b.text);
    return store_text(result, VT_TEXT, joined);
  }
  if (op < kOpAdd || op > kOpDivide) return 0;
  if (a.type != VT_NUMBER || b.type != VT_NUMBER || a.is_error() || b.is_error()) {
    return value_set_error(result);
  }
  Decimal r;
  bool ok = false;
  switch (op) {
    case kOpAdd: ok = Decimal::add(a.number, b.number, r); break;
    case kOpSubtract: ok = Decimal::subtract(a.number, b.number, r); break;
    case kOpMultiply: ok = Decimal::multiply(a.number, b.number, r); break;
    default: ok = Decimal::divide(a.number, b.number, r); break;
  }
  if (!ok) return value_set_error(result);
  return value_set_decimal(result, r);
}

int weekday_of(int year, int month, int day) {
  static constexpr int kMonthTable[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (year < 1752 || month < 1 || month > 12 || day < 1 || day > 31) return -1;
  int y = month < 3 ? year - 1 : year;
  return (y + y / 4 - y / 100 + y / 400 + kMonthTable[month - 1] + day) % 7;
}

int value_weekday(const SqlValue& v) {
  if (!is_date_type(v.type)) return -1;
  return weekday_of(v.year, v.month, v.day);
}

void strip_parens(std::string& s) {
  for (;;) {
    trim_blanks(s);
    if (s.size() < 2 || s.front() != '(' || s.back() != ')') return;
    s = s.substr(1, s.size() - 2);
  }
}

void strip_single_quotes(std::string& s) {
  if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') s = s.substr(1, s.size() - 2);
}

void strip_trailing_zeros(std::string& s) {
  std::size_t last = s.find_last_not_of('0');
  s.resize(last == std::string::npos ? 0 : last + 1);
}

void normalize_number_text(std::string& s) {
  std::size_t start = (!s.empty() && s.front() == '-') ? 1 : 0;
  std::size_t first = s.find_first_not_of('0', start);
  s.erase(start, (first == std::string::npos ? s.size() : first) - start);
  std::size_t point = s.find('.');
  if (point != std::string::npos) {
    std::size_t keep = point + 2;  // the first digit after the point stays
    while (s.size() > keep && s.back() == '0') s.pop_back();
  }
  if (s.size() == start) s.push_back('0');
}

bool is_number_text(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
}

bool is_literal_text(std::string_view s) {
  if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') return true;
  return is_number_text(s);
}

int bind_name(std::string& s) {
  if (s.size() < 2 || s.front() != ':') return -1;
  std::string name = s.substr(1);
  strip_name_quotes(name);
  s = ":" + name;
  return 0;
}

TypeText parse_type_text(std::string_view type_text) {
  struct Prefix {
    std::string_view word;
    std::int32_t code;
  };
  static constexpr Prefix kPrefixes[] = {
      {"NUMBER", kColNumber},     {"CHAR", kColChar},        {"NCHAR", kColNchar},
      {"VARCHAR", kColVarchar2},  {"NVARCHAR", kColNvarchar2}, {"DATE", kColDate},
      {"TIMESTAMP", kColTimestamp}, {"BLOB", kColBlob},      {"CLOB", kColClob},
      {"NCLOB", kColNclob},       {"LONG RAW", kColLongRaw}, {"RAW", kColRaw},
      {"LONG", kColLong},         {"FLOAT", kColFloat},      {"INTERVAL", kColInterval},
      {"ROWID", kColRowid},
  };
  std::string upper(type_text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string_view u = trim_view(upper);
  TypeText r;
  std::size_t pos = 0;
  for (const Prefix& p : kPrefixes) {
    if (u.substr(0, p.word.size()) == p.word) {
      r.type = p.code;
      pos = p.word.size();
      break;
    }
  }
  if (r.type == -9) return r;

  auto read_number = [&](std::size_t& i, std::size_t end) {
    while (i < end && u[i] == ' ') ++i;
    bool negative = false;
    if (i < end && (u[i] == '-' || u[i] == '+')) negative = u[i++] == '-';
    std::int64_t n = 0;
    while (i < end && u[i] >= '0' && u[i] <= '9') {
      if (n < 1000000000) n = n * 10 + (u[i] - '0');
      ++i;
    }
    return static_cast<std::int32_t>(negative ? -n : n);
  };

  std::size_t mark = u.find_first_of("( ", pos);
  std::string_view rest;
  if (mark != std::string_view::npos && u[mark] == '(') {
    std::size_t close = u.find(')', mark);
    std::size_t end = close == std::string_view::npos ? u.size() : close;
    std::size_t comma = u.find(',', mark);
    std::size_t i = mark + 1;
    if (comma != std::string_view::npos && comma < end) {
      r.first = read_number(i, comma);
      i = comma + 1;
      r.second = read_number(i, end);
    } else {
      r.first = read_number(i, end);
    }
    if (close != std::string_view::npos) rest = u.substr(close + 1);
  } else if (mark != std::string_view::npos) {
    rest = u.substr(mark + 1);
  }
  rest = trim_view(rest);
  if (!rest.empty() && rest.size() <= 16) r.suffix = std::string(rest);
  return r;
}

}  // namespace qln
