#include "eval/sql_functions.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "core/platform.hpp"
#include "sql/sql_text.hpp"

namespace qln {

namespace {

struct FunctionInfo {
  std::string_view name;
  int code;
  int min_args;
  int max_args;  // -1: any number (ignored)
};

constexpr FunctionInfo kFunctions[] = {
    {"TO_CHAR", kFnToChar, 2, 2},  {"TO_DATE", kFnToDate, 2, 2},   {"TO_NUMBER", kFnToNumber, 1, 1},
    {"LENGTH", kFnLength, 1, 1},   {"LENGTHB", kFnLengthb, 1, 1},  {"SUBSTR", kFnSubstr, 2, 3},
    {"SUBSTRB", kFnSubstrb, 2, 3}, {"SYSDATE", kFnSysdate, 0, -1}, {"UPPER", kFnUpper, 1, 1},
    {"LOWER", kFnLower, 1, 1},     {"LPAD", kFnLpad, 2, 3},        {"RPAD", kFnRpad, 2, 3},
    {"TRIM", kFnTrim, 1, 1},       {"LTRIM", kFnLtrim, 1, 2},      {"RTRIM", kFnRtrim, 1, 2},
    {"INSTR", kFnInstr, 2, 4},     {"INSTRB", kFnInstrb, 2, 4},
};

constexpr std::string_view kMonthUpper[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const FunctionInfo* find_info(int code) {
  for (const FunctionInfo& f : kFunctions) {
    if (f.code == code) return &f;
  }
  return nullptr;
}

std::size_t char_len(int charset, std::string_view s, std::size_t pos) noexcept {
  std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(s[pos])));
  return std::min(n, s.size() - pos);  // a cut character ends at the text's end
}

// Byte offsets where the characters (or, by_bytes, the bytes) of `s` start,
// followed by s.size().
std::vector<std::size_t> unit_starts(int charset, std::string_view s, bool by_bytes) {
  std::vector<std::size_t> starts;
  starts.reserve(s.size() + 1);
  std::size_t i = 0;
  while (i < s.size()) {
    starts.push_back(i);
    i += by_bytes ? 1 : char_len(charset, s, i);
  }
  starts.push_back(s.size());
  return starts;
}

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// a-z to A-Z outside multibyte characters.
std::string upper_ascii(int charset, std::string_view s) {
  std::string r(s);
  for (std::size_t i = 0; i < r.size();) {
    std::size_t n = char_len(charset, r, i);
    if (n == 1 && r[i] >= 'a' && r[i] <= 'z') r[i] = static_cast<char>(r[i] - 'a' + 'A');
    i += n;
  }
  return r;
}

std::string_view trim_blanks_only(std::string_view s) noexcept {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// An optional argument is absent when missing or empty.
bool present(std::span<const SqlValue> args, std::size_t i) noexcept {
  return i < args.size() && !args[i].text.empty() && args[i].type != VT_NULL;
}

// Numeric argument: sign * integer part (the fraction is dropped). A text
// argument is read as a number first. -1 when it is not a number.
int numeric_arg(const SqlValue& v, std::int64_t& out) {
  constexpr std::int64_t kClamp = std::int64_t{1} << 40;  // far beyond any text length
  Decimal d;
  if (v.type == VT_NUMBER && !v.is_error()) {
    d = v.number;
  } else if (v.type == VT_NULL) {
    d = Decimal{};
  } else if (v.type == VT_TEXT || v.type == VT_BYTES) {
    SqlValue tmp;
    if (value_set_number(tmp, v.text) != 0) return -1;
    d = tmp.number;
  } else {
    return -1;
  }
  std::int64_t n = 0;
  d.to_int64(n);
  out = std::clamp(n, -kClamp, kClamp);
  return 0;
}

int set_count(SqlValue& r, std::int64_t n) { return value_set_decimal(r, Decimal::from_int64(n)); }

// ---- TO_CHAR ----

bool starts(std::string_view s, std::size_t i, std::string_view word) noexcept {
  return s.substr(i, word.size()) == word;
}

// Reads up to `width` digits at text[j]; the value ends at the first non-digit.
bool read_digits(std::string_view text, std::size_t& j, std::size_t width, int& value) {
  std::size_t start = j;
  int v = 0;
  while (j < text.size() && j - start < width && is_digit(text[j])) {
    if (v < 100000) v = v * 10 + (text[j] - '0');  // a long run saturates
    ++j;
  }
  if (j == start) return false;
  value = v;
  return true;
}

// A text starting with a year 1900..3000 read as a date; false when it is not one.
bool text_as_date(std::string_view s, int charset, SqlValue& date) {
  if (s.size() < 4 || !std::all_of(s.begin(), s.begin() + 4, is_digit)) return false;
  int year = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
  if (year < 1900 || year > 3000) return false;
  int month = 0, day = 0;
  // Only a text of digits alone is YYYYMMDD; "2010-03-05" has separators.
  if (std::all_of(s.begin(), s.end(), is_digit)) {
    std::size_t j = 4;
    read_digits(s, j, 2, month);
    j = 6;
    if (j < s.size()) read_digits(s, j, 2, day);
  } else {
    std::size_t j = 5;
    while (j < s.size() && !is_digit(s[j])) ++j;
    if (j < s.size()) read_digits(s, j, s.size(), month);
    while (j < s.size() && !is_digit(s[j])) ++j;
    if (j < s.size()) read_digits(s, j, s.size(), day);
  }
  if (month <= 0) return false;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", year, std::min(month, 9999), std::min(day, 9999));
  return to_date(buf, "YYYY/MM/DD", charset, date) == 0;
}

int fn_to_char(int charset, const SqlValue& v, const SqlValue& format, SqlValue& r) {
  if (v.type == VT_SYSDATE || v.type == VT_DATE || v.type == VT_TIMESTAMP) {
    std::string out;
    if (format_date(v, format.text, charset, out) != 0) return -1;
    return value_set_text(r, out);
  }
  if (v.type == VT_TEXT || v.type == VT_BYTES) {
    SqlValue date;
    if (text_as_date(v.text, charset, date)) {
      std::string out;
      if (format_date(date, format.text, charset, out) != 0) return -1;
      return value_set_text(r, out);
    }
  }
  if (v.is_error()) return -1;
  return value_set_text(r, v.type == VT_NULL ? std::string_view{} : std::string_view(v.text));
}

// ---- character functions ----

int fn_length(int charset, const SqlValue& v, bool by_bytes, SqlValue& r) {
  std::size_t n = by_bytes ? v.text.size() : unit_starts(charset, v.text, false).size() - 1;
  return set_count(r, static_cast<std::int64_t>(n));
}

int fn_substr(int charset, std::span<const SqlValue> args, bool by_bytes, SqlValue& r) {
  std::string_view s = args[0].text;
  std::int64_t pos = 0;
  if (numeric_arg(args[1], pos) != 0) return -1;
  std::int64_t len = -1;
  bool has_len = present(args, 2);
  if (has_len && numeric_arg(args[2], len) != 0) return -1;
  if (s.empty()) return value_set_text(r, {});
  std::vector<std::size_t> st = unit_starts(charset, s, by_bytes);
  std::int64_t count = static_cast<std::int64_t>(st.size()) - 1;
  if (pos == 0) pos = 1;
  if (pos > count || -pos > count) return value_set_text(r, {});
  if (pos < 0) pos += count + 1;
  std::int64_t first = pos - 1;
  std::int64_t last = count;  // one past the last unit taken
  if (has_len) {
    if (len < 1) return value_set_text(r, {});
    last = std::min(count, first + len);
  }
  std::size_t b = st[static_cast<std::size_t>(first)];
  std::size_t e = st[static_cast<std::size_t>(last)];
  return value_set_text(r, s.substr(b, e - b));
}

// Full-width Latin letters change case too; every other multibyte
// character is copied whole.
int fn_case(int charset, const SqlValue& v, bool to_upper, SqlValue& r) {
  std::string s = v.text;
  auto u = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = char_len(charset, s, i);
    if (n == 1) {
      char c = s[i];
      if (to_upper && c >= 'a' && c <= 'z') s[i] = static_cast<char>(c - 'a' + 'A');
      if (!to_upper && c >= 'A' && c <= 'Z') s[i] = static_cast<char>(c - 'A' + 'a');
    } else if (charset == kCharsetSjis && n == 2 && u(i) == 0x82) {
      if (to_upper && u(i + 1) >= 0x81 && u(i + 1) <= 0x9A) s[i + 1] = static_cast<char>(u(i + 1) - 0x21);
      if (!to_upper && u(i + 1) >= 0x60 && u(i + 1) <= 0x79) s[i + 1] = static_cast<char>(u(i + 1) + 0x21);
    } else if (charset == kCharsetEucJp && n == 2 && u(i) == 0xA3) {
      if (to_upper && u(i + 1) >= 0xE1 && u(i + 1) <= 0xFA) s[i + 1] = static_cast<char>(u(i + 1) - 0x20);
      if (!to_upper && u(i + 1) >= 0xC1 && u(i + 1) <= 0xDA) s[i + 1] = static_cast<char>(u(i + 1) + 0x20);
    } else if (charset == kCharsetUtf8 && n == 3 && u(i) == 0xEF) {
      if (to_upper && u(i + 1) == 0xBD && u(i + 2) >= 0x81 && u(i + 2) <= 0x9A) {
        s[i + 1] = static_cast<char>(0xBC);
        s[i + 2] = static_cast<char>(u(i + 2) + 0x20);
      } else if (!to_upper && u(i + 1) == 0xBC && u(i + 2) >= 0xA1 && u(i + 2) <= 0xBA) {
        s[i + 1] = static_cast<char>(0xBD);
        s[i + 2] = static_cast<char>(u(i + 2) - 0x20);
      }
    }
    i += n;
  }
  return value_set_text(r, s);
}

// `count` bytes of the pad repeated, whole characters only; bytes a cut
// character would leave are blanks, so the fill keeps its length.
std::string pad_fill(int charset, std::string_view pad, std::size_t count) {
  std::string fill;
  fill.reserve(count);
  std::size_t i = 0;
  while (fill.size() < count) {
    std::size_t n = char_len(charset, pad, i);
    if (fill.size() + n > count) break;
    fill.append(pad, i, n);
    i += n;
    if (i >= pad.size()) i = 0;
  }
  fill.append(count - fill.size(), ' ');
  return fill;
}

int fn_pad(int charset, std::span<const SqlValue> args, bool left, SqlValue& r) {
  std::int64_t n = 0;
  if (numeric_arg(args[1], n) != 0) return -1;
  n = n < 0 ? -n : n;
  if (n > static_cast<std::int64_t>(kMaxValueLen)) return -1;
  std::size_t want = static_cast<std::size_t>(n);
  std::string_view s = args[0].text;
  std::string_view pad = present(args, 2) ? std::string_view(args[2].text) : std::string_view(" ");
  if (s.size() >= want) {
    // Cut on a whole character; what that leaves short is filled with blanks.
    std::size_t cut = cut_at_char_boundary(charset, s, want);
    std::string out(s.substr(0, cut));
    out.append(want - cut, ' ');
    return value_set_text(r, out);
  }
  std::string fill = pad_fill(charset, pad, want - s.size());
  return value_set_text(r, left ? fill + std::string(s) : std::string(s) + fill);
}

std::vector<std::string_view> split_chars(int charset, std::string_view s) {
  std::vector<std::string_view> chars;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = char_len(charset, s, i);
    chars.push_back(s.substr(i, n));
    i += n;
  }
  return chars;
}

int fn_trim_set(int charset, std::span<const SqlValue> args, bool left, SqlValue& r) {
  std::string_view set = present(args, 1) ? std::string_view(args[1].text) : std::string_view(" ");
  std::vector<std::string_view> set_chars = split_chars(charset, set);
  std::vector<std::string_view> chars = split_chars(charset, args[0].text);
  auto in_set = [&](std::string_view c) {
    return std::find(set_chars.begin(), set_chars.end(), c) != set_chars.end();
  };
  std::size_t b = 0, e = chars.size();
  if (left) {
    while (b < e && in_set(chars[b])) ++b;
  } else {
    while (e > b && in_set(chars[e - 1])) --e;
  }
  std::string out;
  for (std::size_t i = b; i < e; ++i) out.append(chars[i]);
  return value_set_text(r, out);
}

int fn_instr(int charset, std::span<const SqlValue> args, bool by_bytes, SqlValue& r) {
  std::string_view s = args[0].text;
  std::string_view sub = args[1].text;
  std::int64_t pos = 1;
  if (present(args, 2) && numeric_arg(args[2], pos) != 0) return -1;
  std::int64_t occurrence = 1;
  if (present(args, 3)) {
    if (numeric_arg(args[3], occurrence) != 0) return -1;
    occurrence = occurrence < 0 ? -occurrence : occurrence;
    if (occurrence == 0) occurrence = 1;
  }
  if (pos == 0) return set_count(r, 0);
  std::vector<std::size_t> st = unit_starts(charset, s, by_bytes);
  std::int64_t count = static_cast<std::int64_t>(st.size()) - 1;
  std::int64_t start = pos > 0 ? pos - 1 : count + pos;  // 0-based unit index
  if (start < 0 || start >= count) return set_count(r, 0);
  std::int64_t step = pos > 0 ? 1 : -1;
  std::int64_t seen = 0;
  for (std::int64_t k = start; k >= 0 && k < count; k += step) {
    std::size_t at = st[static_cast<std::size_t>(k)];
    if (s.size() - at >= sub.size() && s.compare(at, sub.size(), sub) == 0 && ++seen == occurrence) {
      return set_count(r, k + 1);
    }
  }
  return set_count(r, 0);
}

int fn_to_number(const SqlValue& v, SqlValue& r) {
  if (v.type == VT_NUMBER) return v.is_error() ? -1 : value_copy(v, r);
  if (v.type != VT_NULL && v.type != VT_TEXT && v.type != VT_BYTES) return -1;
  if (v.text.find('.') == std::string::npos && !is_number_text(v.text)) return -1;
  return value_set_number(r, v.type == VT_NULL ? std::string_view{} : std::string_view(v.text));
}

int fn_sysdate(SqlValue& r) {
  LocalTime t = local_now();
  return value_set_sysdate(r, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

int dispatch(const GlobalParams& g, int code, std::span<const SqlValue> args, SqlValue& r) {
  const int cs = g.os_charset;
  switch (code) {
    case kFnToChar: return fn_to_char(cs, args[0], args[1], r);
    case kFnToDate: return to_date(args[0].text, args[1].text, cs, r);
    case kFnToNumber: return fn_to_number(args[0], r);
    case kFnLength: return fn_length(cs, args[0], false, r);
    case kFnLengthb: return fn_length(cs, args[0], true, r);
    case kFnSubstr: return fn_substr(cs, args, false, r);
    case kFnSubstrb: return fn_substr(cs, args, true, r);
    case kFnSysdate: return fn_sysdate(r);
    case kFnUpper: return fn_case(cs, args[0], true, r);
    case kFnLower: return fn_case(cs, args[0], false, r);
    case kFnLpad: return fn_pad(cs, args, true, r);
    case kFnRpad: return fn_pad(cs, args, false, r);
    case kFnTrim: return value_set_text(r, trim_blanks_only(args[0].text));
    case kFnLtrim: return fn_trim_set(cs, args, true, r);
    case kFnRtrim: return fn_trim_set(cs, args, false, r);
    case kFnInstr: return fn_instr(cs, args, false, r);
    case kFnInstrb: return fn_instr(cs, args, true, r);
    default: return -1;
  }
}

}  // namespace

int lookup_function(std::string_view name) {
  std::string upper = upper_ascii(kCharsetUnknown, name);
  for (const FunctionInfo& f : kFunctions) {
    if (f.name == upper) return f.code;
  }
  return -1;
}

std::string_view function_name(int code) {
  const FunctionInfo* f = find_info(code);
  return f ? f->name : std::string_view{};
}

bool function_arg_range(int code, int& min_args, int& max_args) {
  const FunctionInfo* f = find_info(code);
  if (f == nullptr) return false;
  min_args = f->min_args;
  max_args = f->max_args;
  return true;
}

int call_function(GlobalParams& g, int code, std::span<const SqlValue> args, SqlValue& result) {
  const FunctionInfo* f = find_info(code);
  if (f == nullptr) return value_set_error(result);
  int count = static_cast<int>(args.size());
  if (count < f->min_args || (f->max_args >= 0 && count > f->max_args)) {
    value_set_error(result);
    return fail(g, MessageCode::kFunctionArgumentCount, f->name);
  }
  // The result may be one of the arguments: build it apart first.
  SqlValue r;
  if (dispatch(g, code, args, r) != 0 || r.is_error()) return value_set_error(result);
  return value_copy(r, result);
}

int to_date(std::string_view text, std::string_view format, int charset, SqlValue& result) {
  std::string t = upper_ascii(charset, trim_blanks_view(text));
  std::string f = upper_ascii(charset, trim_blanks_view(format));
  if (t.empty() || t.size() > 255 || f.empty() || f.size() > 50) return value_set_error(result);
  int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
  bool pm = false;
  std::size_t i = 0, j = 0;
  // A numeric element with text left must find a digit there; past the end
  // of the text the component stays unset.
  auto numeric = [&](std::size_t width, int& field) {
    if (j >= t.size()) return true;
    return read_digits(t, j, width, field);
  };
  while (i < f.size()) {
    bool ok = true;
    if (starts(f, i, "YYYY")) {
      ok = numeric(4, year);
      i += 4;
    } else if (starts(f, i, "MON")) {
      if (j < t.size()) {
        std::string_view name = std::string_view(t).substr(j, 3);
        auto it = std::find(std::begin(kMonthUpper), std::end(kMonthUpper), name);
        if (it == std::end(kMonthUpper)) return value_set_error(result);
        month = static_cast<int>(it - std::begin(kMonthUpper)) + 1;
        j += 3;
      }
      i += 3;
    } else if (starts(f, i, "MM")) {
      ok = numeric(2, month);
      i += 2;
    } else if (starts(f, i, "DD")) {
      ok = numeric(2, day);
      i += 2;
    } else if (starts(f, i, "HH24") || starts(f, i, "HH12")) {
      ok = numeric(2, hour);
      i += 4;
    } else if (starts(f, i, "HH")) {
      ok = numeric(2, hour);
      i += 2;
    } else if (starts(f, i, "MI")) {
      ok = numeric(2, minute);
      i += 2;
    } else if (starts(f, i, "SS")) {
      ok = numeric(2, second);
      i += 2;
    } else if (starts(f, i, "PM")) {
      pm = true;
      i += 2;
    } else {
      i += char_len(charset, f, i);
      if (j < t.size()) j += char_len(charset, t, j);
    }
    if (!ok) return value_set_error(result);
  }
  if (year < 0 || month < 0) {
    LocalTime now = local_now();
    if (year < 0) year = now.year;
    if (month < 0) month = now.month;
  }
  if (day < 1) day = 1;
  if (hour < 0) hour = 0;
  if (minute < 0) minute = 0;
  if (second < 0) second = 0;
  if (pm && hour < 12) hour += 12;
  return value_set_date(result, year, month, day, hour, minute, second);
}

}  // namespace qln
