#include "dumpwriter/encode.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace qln::dumpwriter {

namespace {

constexpr int kMaxPairs = 20;     // base-100 digits Oracle keeps
constexpr int kMaxExponent = 63;  // keeps the exponent byte within 0x81..0xFF
constexpr std::uint8_t kNegativeEnd = 102;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Splits decimal text into its significant digits (value = 0.digits *
// 10^point). Digits beyond the first kKeep are dropped: rounding to 20
// base-100 digits looks at no more than the first 42.
constexpr std::size_t kKeep = 44;

struct Decimal {
  bool negative = false;
  std::array<char, kKeep> digits{};
  std::size_t count = 0;
  long point = 0;
};

Decimal parse_decimal(std::string_view text) {
  const std::string_view original = text;
  auto bad = [&original](const char* what) { return EncodeError(std::string(what) + ": '" + std::string(original) + "'"); };
  text = trim(text);
  Decimal d;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    d.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  bool seen_point = false;
  bool any_digit = false;
  bool significant = false;
  long before_point = 0;   // digits before the point, from the first significant one
  long zeros_after = 0;    // zeros between the point and the first significant digit
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      any_digit = true;
      if (c != '0') significant = true;
      if (!significant) {
        if (seen_point) ++zeros_after;
        continue;
      }
      if (!seen_point) ++before_point;
      if (d.count < kKeep) d.digits[d.count++] = c;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) throw bad("not a number");
  long exponent = 0;
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') throw bad("not a number");
    std::string_view rest = text.substr(i + 1);
    bool neg_exp = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
      neg_exp = rest.front() == '-';
      rest.remove_prefix(1);
    }
    if (rest.empty() || rest.size() > 6) throw bad("bad exponent");
    for (char c : rest)
      if (!is_digit(c)) throw bad("bad exponent");
    std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
    if (neg_exp) exponent = -exponent;
  }
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  d.point = (before_point > 0 ? before_point : -zeros_after) + exponent;
  return d;
}

int days_in_month(int year, int month) {
  static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month != 2) return days[static_cast<std::size_t>(month - 1)];
  const int y = year < 0 ? -year - 1 : year;  // 1 BC is a leap year like 4 AD
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return leap ? 29 : 28;
}

void check_datetime(const DateTime& v) {
  if (v.year == 0 || v.year < -4712 || v.year > 9999) throw EncodeError("year out of range: " + std::to_string(v.year));
  if (v.month < 1 || v.month > 12) throw EncodeError("month out of range: " + std::to_string(v.month));
  if (v.day < 1 || v.day > days_in_month(v.year, v.month)) throw EncodeError("day out of range: " + std::to_string(v.day));
  if (v.hour < 0 || v.hour > 23 || v.minute < 0 || v.minute > 59 || v.second < 0 || v.second > 59)
    throw EncodeError("time of day out of range");
  if (v.nanos > 999999999u) throw EncodeError("fraction of second out of range");
}

int read_int(std::string_view s, std::size_t& pos, std::size_t min_len, std::size_t max_len) {
  const std::size_t start = pos;
  while (pos < s.size() && is_digit(s[pos]) && pos - start < max_len) ++pos;
  if (pos - start < min_len) throw EncodeError("bad date text: '" + std::string(s) + "'");
  int v = 0;
  std::from_chars(s.data() + start, s.data() + pos, v);
  return v;
}

void expect(std::string_view s, std::size_t& pos, std::string_view accepted) {
  if (pos >= s.size() || accepted.find(s[pos]) == std::string_view::npos)
    throw EncodeError("bad date text: '" + std::string(s) + "'");
  ++pos;
}

}  // namespace

std::string encode_number(std::string_view decimal) {
  const Decimal d = parse_decimal(decimal);
  if (d.count == 0) return std::string(1, '\x80');

  // Align the first digit on a base-100 boundary with a leading 0 if needed.
  const std::size_t lead = d.point % 2 != 0 ? 1 : 0;
  long exponent = (d.point + static_cast<long>(lead)) / 2;
  auto digit = [&](std::size_t k) { return k < lead || k - lead >= d.count ? 0 : d.digits[k - lead] - '0'; };
  std::array<int, kMaxPairs + 1> pairs{};
  std::size_t count = std::min<std::size_t>((d.count + lead + 1) / 2, kMaxPairs + 1);
  for (std::size_t i = 0; i < count; ++i) pairs[i] = digit(2 * i) * 10 + digit(2 * i + 1);

  if (count > static_cast<std::size_t>(kMaxPairs)) {
    // Half away from zero: only the first dropped pair decides.
    const bool round_up = pairs[kMaxPairs] >= 50;
    count = kMaxPairs;
    if (round_up) {
      int i = kMaxPairs - 1;
      for (; i >= 0; --i) {
        if (++pairs[static_cast<std::size_t>(i)] < 100) break;
        pairs[static_cast<std::size_t>(i)] = 0;
      }
      if (i < 0) {  // 99..99 rounded up to 1 followed by zeros
        pairs[0] = 1;
        ++exponent;
      }
    }
    while (count > 0 && pairs[count - 1] == 0) --count;
  }
  if (exponent > kMaxExponent) throw EncodeError("number too large: '" + std::string(decimal) + "'");
  if (exponent < -kMaxExponent) throw EncodeError("number too small: '" + std::string(decimal) + "'");

  std::string out;
  out.reserve(count + 2);
  if (!d.negative) {
    out.push_back(static_cast<char>(0xC0 + exponent));
    for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char>(pairs[i] + 1));
  } else {
    out.push_back(static_cast<char>(0x3F - exponent));
    for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char>(101 - pairs[i]));
    if (count < static_cast<std::size_t>(kMaxPairs)) out.push_back(static_cast<char>(kNegativeEnd));
  }
  return out;
}

std::string encode_date(const DateTime& v) {
  check_datetime(v);
  std::string out(7, '\0');
  if (v.year > 0) {
    out[0] = static_cast<char>(100 + v.year / 100);
    out[1] = static_cast<char>(100 + v.year % 100);
  } else {
    const int a = -v.year;
    out[0] = static_cast<char>(100 - a / 100);
    out[1] = static_cast<char>(100 - a % 100);
  }
  out[2] = static_cast<char>(v.month);
  out[3] = static_cast<char>(v.day);
  out[4] = static_cast<char>(v.hour + 1);
  out[5] = static_cast<char>(v.minute + 1);
  out[6] = static_cast<char>(v.second + 1);
  return out;
}

std::string encode_timestamp(const DateTime& v) {
  std::string out = encode_date(v);
  if (v.nanos != 0) {
    out.push_back(static_cast<char>((v.nanos >> 24) & 0xFF));
    out.push_back(static_cast<char>((v.nanos >> 16) & 0xFF));
    out.push_back(static_cast<char>((v.nanos >> 8) & 0xFF));
    out.push_back(static_cast<char>(v.nanos & 0xFF));
  }
  return out;
}

DateTime parse_datetime(std::string_view text) {
  const std::string_view s = trim(text);
  std::size_t pos = 0;
  DateTime v;
  bool bc = false;
  if (!s.empty() && s.front() == '-') {
    bc = true;
    ++pos;
  }
  v.year = read_int(s, pos, 1, 4);
  if (bc) v.year = -v.year;
  expect(s, pos, "-/");
  v.month = read_int(s, pos, 1, 2);
  expect(s, pos, "-/");
  v.day = read_int(s, pos, 1, 2);
  if (pos < s.size()) {
    expect(s, pos, " T");
    v.hour = read_int(s, pos, 1, 2);
    expect(s, pos, ":");
    v.minute = read_int(s, pos, 1, 2);
    expect(s, pos, ":");
    v.second = read_int(s, pos, 1, 2);
    if (pos < s.size()) {
      expect(s, pos, ".");
      const std::size_t start = pos;
      std::uint32_t nanos = 0;
      while (pos < s.size() && is_digit(s[pos]) && pos - start < 9) nanos = nanos * 10 + static_cast<std::uint32_t>(s[pos++] - '0');
      if (pos == start) throw EncodeError("bad date text: '" + std::string(text) + "'");
      for (std::size_t n = pos - start; n < 9; ++n) nanos *= 10;
      v.nanos = nanos;
    }
  }
  if (pos != s.size()) throw EncodeError("bad date text: '" + std::string(text) + "'");
  check_datetime(v);
  return v;
}

std::string utf8_to_utf16be(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto put = [&out](std::uint32_t unit) {
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    out.push_back(static_cast<char>(unit & 0xFF));
  };
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0;
    std::size_t len = 0;
    if (lead < 0x80) { cp = lead; len = 1; }
    else if ((lead & 0xE0) == 0xC0) { cp = lead & 0x1Fu; len = 2; }
    else if ((lead & 0xF0) == 0xE0) { cp = lead & 0x0Fu; len = 3; }
    else if ((lead & 0xF8) == 0xF0) { cp = lead & 0x07u; len = 4; }
    else throw EncodeError("invalid UTF-8");
    if (i + len > utf8.size()) throw EncodeError("truncated UTF-8");
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) throw EncodeError("invalid UTF-8");
      cp = (cp << 6) | (c & 0x3Fu);
    }
    static constexpr std::array<std::uint32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) throw EncodeError("invalid UTF-8");
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
    i += len;
  }
  return out;
}

namespace {

#ifdef _WIN32
// Windows has code pages instead of iconv: 932, and 20932 for EUC-JP.
std::string japanese_to_utf16be(const char* from, std::string_view text) {
  const UINT page = std::string_view(from) == "CP932" ? 932 : 20932;
  const int n = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  const int got = n == 0 ? 0 : MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), n, wide.data(), n);
  if (n != 0 && got <= 0) throw EncodeError(std::string("invalid ") + from + " text");
  std::string out;
  for (int i = 0; i < got; ++i) {
    out.push_back(static_cast<char>((static_cast<unsigned>(wide[static_cast<std::size_t>(i)]) >> 8) & 0xFF));
    out.push_back(static_cast<char>(static_cast<unsigned>(wide[static_cast<std::size_t>(i)]) & 0xFF));
  }
  return out;
}
#else
std::string japanese_to_utf16be(const char* from, std::string_view text) {
  iconv_t cd = iconv_open("UTF-16BE", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw EncodeError(std::string("no conversion from ") + from);
  // Every character of these sets is one UTF-16 unit, at most two per byte.
  std::string out(text.size() * 2, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* at = out.data();
  std::size_t out_left = out.size();
  const std::size_t r = iconv(cd, &in, &in_left, &at, &out_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || in_left != 0) throw EncodeError(std::string("invalid ") + from + " text");
  out.resize(out.size() - out_left);
  return out;
}
#endif

}  // namespace

std::string clob_bytes(std::uint16_t db_charset_id, std::string_view text) {
  switch (db_charset_id) {
    case 873:  // AL32UTF8
    case 871:  // UTF8
      return utf8_to_utf16be(text);
    case 832:  // JA16SJIS
      return japanese_to_utf16be("CP932", text);
    case 830:  // JA16EUC
      return japanese_to_utf16be("EUC-JP", text);
    default:
      return std::string(text);
  }
}

}  // namespace qln::dumpwriter
