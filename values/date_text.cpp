#include "values/date_text.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/global_params.hpp"
#include "core/multibyte.hpp"

namespace qln {

namespace {

constexpr std::string_view kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::string_view kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// The weekday as one Japanese character, Sunday first, per character set.
constexpr std::string_view kJdaySjis[] = {"\x93\xfa", "\x8c\x8e", "\x89\xce", "\x90\x85",
                                          "\x96\xd8", "\x8b\xe0", "\x93\x79"};
constexpr std::string_view kJdayEuc[] = {"\xc6\xfc", "\xb7\xee", "\xb2\xd0", "\xbf\xe5",
                                         "\xcc\xda", "\xb6\xe2", "\xc5\xda"};
constexpr std::string_view kJdayUtf8[] = {"\xe6\x97\xa5", "\xe6\x9c\x88", "\xe7\x81\xab",
                                          "\xe6\xb0\xb4", "\xe6\x9c\xa8", "\xe9\x87\x91",
                                          "\xe5\x9c\x9f"};

std::string_view jday_name(int charset, int weekday) {
  switch (charset) {
    case kCharsetEucJp: return kJdayEuc[weekday];
    case kCharsetUtf8: return kJdayUtf8[weekday];
    default: return kJdaySjis[weekday];
  }
}

std::size_t char_len(int charset, std::string_view s, std::size_t pos) noexcept {
  std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(s[pos])));
  return std::min(n, s.size() - pos);  // a cut character ends at the text's end
}

bool is_upper_ascii(char c) noexcept { return c >= 'A' && c <= 'Z'; }

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

bool starts(std::string_view s, std::size_t i, std::string_view word) noexcept {
  return s.substr(i, word.size()) == word;
}

void append_num(std::string& out, const char* fmt, long v) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, fmt, v);
  if (n > 0) out.append(buf, static_cast<std::size_t>(std::min(n, static_cast<int>(sizeof buf) - 1)));
}

int to_char_date(const SqlValue& v, std::string_view format, int charset, std::string& out) {
  std::string f = upper_ascii(charset, format);
  int weekday = value_weekday(v);
  bool pm = false;
  char ns_text[16];
  std::snprintf(ns_text, sizeof ns_text, "%09ld",
                static_cast<long>(std::clamp<std::int32_t>(v.nanosecond, 0, 999999999)));
  out.clear();
  std::size_t i = 0;
  while (i < f.size()) {
    if (out.size() > kMaxValueLen) return -1;
    std::size_t n = char_len(charset, f, i);
    char c = f[i];
    if (c == '"') {
      // Quoted text is printed as written, without its quotes.
      std::size_t end = format.find('"', i + 1);
      if (end == std::string_view::npos) end = format.size();
      out.append(format.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (n > 1 || !is_upper_ascii(c)) {
      out.append(f, i, n);
      i += n;
      continue;
    }
    switch (c) {
      case 'Y':
        if (starts(f, i, "YYYY")) {
          append_num(out, "%04ld", v.year);
          i += 4;
        } else if (starts(f, i, "YY")) {
          append_num(out, "%02ld", ((v.year % 100) + 100) % 100);
          i += 2;
        } else {
          out.push_back('Y');
          i += 1;
        }
        break;
      case 'M':
        if (starts(f, i, "MON")) {
          if (v.month < 1 || v.month > 12) return -1;
          out.append(kMonthNames[v.month - 1]);
          i += 3;
        } else if (starts(f, i, "MM")) {
          append_num(out, "%02ld", v.month);
          i += 2;
        } else if (starts(f, i, "M1")) {
          append_num(out, "%ld", v.month);
          i += 2;
        } else if (starts(f, i, "MI")) {
          append_num(out, "%02ld", v.minute);
          i += 2;
        } else {
          return -1;
        }
        break;
      case 'D':
        if (starts(f, i, "DAY")) {
          out.append(weekday < 0 ? std::string_view("   ") : kDayNames[weekday]);
          i += 3;
        } else if (starts(f, i, "DD")) {
          append_num(out, "%02ld", v.day);
          i += 2;
        } else if (starts(f, i, "D1")) {
          append_num(out, "%ld", v.day);
          i += 2;
        } else {
          return -1;
        }
        break;
      case 'J':
        if (!starts(f, i, "JDAY")) return -1;
        out.append(weekday < 0 ? std::string_view("  ") : jday_name(charset, weekday));
        i += 4;
        break;
      case 'H':
        if (starts(f, i, "HH24")) {
          append_num(out, "%02ld", v.hour);
          i += 4;
        } else if (starts(f, i, "HH12")) {
          append_num(out, "%02ld", pm && v.hour > 12 ? v.hour - 12 : v.hour);
          i += 4;
        } else if (starts(f, i, "HH")) {
          append_num(out, "%02ld", v.hour);
          i += 2;
        } else {
          return -1;
        }
        break;
      case 'S':
        if (!starts(f, i, "SS")) return -1;
        append_num(out, "%02ld", v.second);
        i += 2;
        break;
      case 'F': {
        if (!starts(f, i, "FF")) return -1;
        std::size_t digits = 2;
        i += 2;
        if (i < f.size() && f[i] >= '1' && f[i] <= '9') digits = static_cast<std::size_t>(f[i++] - '0');
        out.append(ns_text, digits);
        break;
      }
      case 'P':
        if (!starts(f, i, "PM")) return -1;
        out.append("PM");
        pm = true;
        i += 2;
        break;
      default:
        return -1;
    }
  }
  return out.size() > kMaxValueLen ? -1 : 0;
}

}  // namespace

int format_date(const SqlValue& date, std::string_view format, int charset, std::string& out) {
  if (date.type != VT_SYSDATE && date.type != VT_DATE && date.type != VT_TIMESTAMP) return -1;
  return to_char_date(date, format, charset, out);
}

std::size_t date_format_fraction_at(std::string_view format, int charset) {
  static constexpr std::string_view kElements[] = {"YYYY", "YY", "MON", "MM", "M1", "MI",
                                                   "DAY",  "DD", "D1",  "JDAY", "HH24", "HH12",
                                                   "HH",   "SS", "FF",  "PM"};
  const std::string f = upper_ascii(charset, format);
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < f.size();) {
    if (f[i] == '"') {
      const std::size_t end = f.find('"', i + 1);
      i = end == std::string::npos ? f.size() : end + 1;
      continue;
    }
    std::size_t n = char_len(charset, f, i);
    for (std::string_view e : kElements) {
      if (n == 1 && starts(f, i, e)) {
        if (e == "FF") return std::string_view::npos;
        if (e == "SS") at = i + e.size();
        n = e.size();
        break;
      }
    }
    i += n;
  }
  return at;
}

bool is_valid_date_format(std::string_view format, int charset) {
  SqlValue probe;
  value_set_date(probe, 1990, 3, 25, 0, 0, 0);
  std::string out;
  return format_date(probe, format, charset, out) == 0;
}

}  // namespace qln
