#include "values/charset.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>

#include "values/byte_tables.hpp"

namespace qln {
namespace {

struct NameId {
  std::string_view name;
  int id;
};

constexpr NameId kCharsetNames[] = {
    {"JA16SJIS", 1}, {"JA16SJISTILDE", 1},
    {"JA16EUC", 2}, {"JA16EUCTILDE", 2}, {"EUC", 2},
    {"AL32UTF8", 3}, {"UTF8", 3},
    {"AL16UTF16", 4},
    {"US7ASCII", 10},
    {"US8PC437", 11},
    {"KO16KSC5601", 20}, {"KO16MSWIN949", 20},
    {"TH8TISASCII", 30},
    {"VN8MSWIN1258", 40},
    {"ZHS16CGB231280", 50}, {"ZHS16GBK", 50}, {"ZHS32GB18030", 50}, {"ZHT16BIG5", 50},
    {"ZHT16HKSCS", 50}, {"ZHT16MSWIN950", 50}, {"ZHT32EUC", 50},
    {"BLT8CP921", 100}, {"BLT8ISO8859P13", 100}, {"BLT8MSWIN1257", 100}, {"BLT8PC775", 100},
    {"CEL8ISO8859P14", 100}, {"CL8ISO8859P5", 100}, {"CL8KOI8R", 100}, {"CL8KOI8U", 100},
    {"CL8MSWIN1251", 100}, {"EE8ISO8859P2", 100}, {"EL8ISO8859P7", 100}, {"ET8MSWIN923", 100},
    {"EE8MSWIN1250", 100}, {"EL8MSWIN1253", 100}, {"EL8PC737", 100}, {"EE8PC852", 100},
    {"LT8MSWIN921", 100}, {"NE8ISO8859P10", 100}, {"NEE8ISO8859P4", 100}, {"RU8PC866", 100},
    {"SE8ISO8859P3", 100}, {"WE8ISO8859P1", 100}, {"WE8ISO8859P15", 100},
    {"WE8MSWIN1252", 100}, {"WE8PC850", 100}, {"WE8PC858", 100},
    {"AR8ADOS720", 200}, {"AR8ASMO8X", 200}, {"AR8ISO8859P6", 200}, {"AR8MSWIN1256", 200},
    {"AZ8ISO8859P9E", 200}, {"IW8ISO8859P8", 200}, {"IW8MSWIN1255", 200},
    {"TR8MSWIN1254", 200}, {"TR8PC857", 200}, {"WE8ISO8859P9", 200},
};

// Platform names of ids 1-4. EUC-JP-MS agrees with code page 932 on the
// NEC and IBM extensions, so both Japanese sets map alike.
constexpr const char* kPlatformNames[] = {"CP932", "EUC-JP-MS", "UTF-8", "UTF-16BE"};

// Every Oracle set with a conversion of its own: our id (kCharsetOracleFirst
// upwards, in order), the 16-bit id of the classic header, the name Data Pump
// metadata uses, the iconv name and the Windows code page (0: none there).
// Ids checked against a second source: 178 WE8MSWIN1252 and 2000 AL16UTF16
// as the classic header of a real dump carries them (alphaoffice.dmp), 873
// AL32UTF8 and 2000 as the Oracle driver for Node.js (oracledb 26.0) and
// python-oracledb 1.2 declare them. Neither driver, nor the TNS dissector
// of Wireshark 4.0, has a table of the other ids: those, from Oracle's
// NLS_CHARSET_ID numbering, are checked against no second source yet.
constexpr OracleCharset kOracleSets[] = {
    {101, 178, "WE8MSWIN1252", "CP1252", 1252, CharWidth::kSingle},
    {102, 31, "WE8ISO8859P1", "ISO-8859-1", 28591, CharWidth::kSingle},
    {103, 46, "WE8ISO8859P15", "ISO-8859-15", 28605, CharWidth::kSingle},
    {104, 170, "EE8MSWIN1250", "CP1250", 1250, CharWidth::kSingle},
    {105, 171, "CL8MSWIN1251", "CP1251", 1251, CharWidth::kSingle},
    {106, 32, "EE8ISO8859P2", "ISO-8859-2", 28592, CharWidth::kSingle},
    {107, 35, "CL8ISO8859P5", "ISO-8859-5", 28595, CharWidth::kSingle},
    {108, 37, "EL8ISO8859P7", "ISO-8859-7", 28597, CharWidth::kSingle},
    {109, 174, "EL8MSWIN1253", "CP1253", 1253, CharWidth::kSingle},
    {110, 179, "BLT8MSWIN1257", "CP1257", 1257, CharWidth::kSingle},
    {111, 177, "TR8MSWIN1254", "CP1254", 1254, CharWidth::kSingle},
    {112, 39, "WE8ISO8859P9", "ISO-8859-9", 28599, CharWidth::kSingle},
    {113, 33, "SE8ISO8859P3", "ISO-8859-3", 28593, CharWidth::kSingle},
    {114, 34, "NEE8ISO8859P4", "ISO-8859-4", 28594, CharWidth::kSingle},
    {115, 36, "AR8ISO8859P6", "ISO-8859-6", 28596, CharWidth::kSingle},
    {116, 38, "IW8ISO8859P8", "ISO-8859-8", 28598, CharWidth::kSingle},
    {117, 47, "BLT8ISO8859P13", "ISO-8859-13", 28603, CharWidth::kSingle},
    {118, 175, "IW8MSWIN1255", "CP1255", 1255, CharWidth::kSingle, kCp1255High},
    {119, 560, "AR8MSWIN1256", "CP1256", 1256, CharWidth::kSingle},
    {120, 45, "VN8MSWIN1258", "CP1258", 1258, CharWidth::kSingle, kCp1258High},
    {121, 4, "US8PC437", "CP437", 437, CharWidth::kSingle},
    {122, 10, "WE8PC850", "CP850", 850, CharWidth::kSingle},
    {123, 150, "EE8PC852", "CP852", 852, CharWidth::kSingle},
    {124, 152, "RU8PC866", "CP866", 866, CharWidth::kSingle},
    {125, 51, "CL8KOI8R", "KOI8-R", 20866, CharWidth::kSingle},
    // Oracle's Thai set carries the Windows additions (euro, quotes).
    {126, 41, "TH8TISASCII", "CP874", 874, CharWidth::kSingle},
    {127, 852, "ZHS16GBK", "GBK", 936, CharWidth::kGb},
    {128, 854, "ZHS32GB18030", "GB18030", 54936, CharWidth::kGb},
    // GB2312 in EUC form is a subset of GBK; one decoder keeps both platforms alike.
    {129, 850, "ZHS16CGB231280", "GBK", 936, CharWidth::kDouble},
    // Big5 as code page 950 decodes it on both platforms.
    {130, 865, "ZHT16BIG5", "CP950", 950, CharWidth::kDouble},
    {131, 867, "ZHT16MSWIN950", "CP950", 950, CharWidth::kDouble},
    {132, 868, "ZHT16HKSCS", "BIG5-HKSCS", 950, CharWidth::kDouble},
    {133, 860, "ZHT32EUC", "EUC-TW", 0, CharWidth::kEucTw},
    {134, 840, "KO16KSC5601", "EUC-KR", 51949, CharWidth::kEuc},
    {135, 846, "KO16MSWIN949", "CP949", 949, CharWidth::kDouble},
};

static_assert(std::size(kOracleSets) ==
              static_cast<std::size_t>(kCharsetOracleLast - kCharsetOracleFirst + 1));

constexpr bool oracle_ids_in_order() {
  int expected = kCharsetOracleFirst;
  for (const auto& set : kOracleSets) {
    if (set.id != expected++) return false;
  }
  return true;
}
static_assert(oracle_ids_in_order());

// The Japanese and Unicode sets keep their own ids; the same table form
// lets one lookup serve the header's 16-bit id and the metadata's name.
constexpr OracleCharset kFamilySets[] = {
    {kCharsetUsAscii, 1, "US7ASCII", "ASCII", 20127, CharWidth::kSingle},
    {kCharsetSjis, 832, "JA16SJIS", "CP932", 932, CharWidth::kDouble},
    {kCharsetSjis, 838, "JA16SJISTILDE", "CP932", 932, CharWidth::kDouble},
    {kCharsetEucJp, 830, "JA16EUC", "EUC-JP-MS", 20932, CharWidth::kDouble},
    {kCharsetEucJp, 837, "JA16EUCTILDE", "EUC-JP-MS", 20932, CharWidth::kDouble},
    {kCharsetUtf8, 871, "UTF8", "UTF-8", 65001, CharWidth::kDouble},
    {kCharsetUtf8, 873, "AL32UTF8", "UTF-8", 65001, CharWidth::kDouble},
    {kCharsetUtf16, 2000, "AL16UTF16", "UTF-16BE", 1201, CharWidth::kDouble},
};

const char16_t* byte_table(int id) noexcept {
  return is_oracle_set(id) ? kOracleSets[id - kCharsetOracleFirst].byte_table : nullptr;
}

template <typename Match>
const OracleCharset* find_set(Match match) noexcept {
  for (const auto& set : kOracleSets)
    if (match(set)) return &set;
  for (const auto& set : kFamilySets)
    if (match(set)) return &set;
  return nullptr;
}

const char* platform_name(int id) noexcept {
  return id <= kCharsetUtf16 ? kPlatformNames[id - 1]
                             : kOracleSets[id - kCharsetOracleFirst].iconv_name;
}

constexpr bool in_range(unsigned char b, unsigned char lo, unsigned char hi) noexcept {
  return b >= lo && b <= hi;
}

constexpr bool is_sjis_lead(unsigned char b) noexcept {
  return in_range(b, 0x81, 0x9F) || in_range(b, 0xE0, 0xFC);
}
constexpr bool is_sjis_trail(unsigned char b) noexcept {
  return in_range(b, 0x40, 0x7E) || in_range(b, 0x80, 0xFC);
}
constexpr bool is_euc_byte(unsigned char b) noexcept { return in_range(b, 0xA1, 0xFE); }

// How many bytes an unconvertible sequence spans, per source set. A valid
// but unmappable character is skipped whole; a broken one as far as it goes.
std::size_t skip_sjis(const unsigned char* p, std::size_t n) noexcept {
  return (n >= 2 && is_sjis_lead(p[0]) && is_sjis_trail(p[1])) ? 2 : 1;
}

std::size_t skip_euc(const unsigned char* p, std::size_t n) noexcept {
  if (p[0] == 0x8F) return (n >= 3 && is_euc_byte(p[1]) && is_euc_byte(p[2])) ? 3 : 1;
  if (p[0] == 0x8E) return (n >= 2 && in_range(p[1], 0xA1, 0xDF)) ? 2 : 1;
  return (n >= 2 && is_euc_byte(p[0]) && is_euc_byte(p[1])) ? 2 : 1;
}

std::size_t skip_utf8(const unsigned char* p, std::size_t n) noexcept {
  unsigned char b = p[0];
  std::size_t need = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (in_range(b, 0xC2, 0xDF)) {
    need = 1;
  } else if (in_range(b, 0xE0, 0xEF)) {
    need = 2;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (in_range(b, 0xF0, 0xF4)) {
    need = 3;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 1;
  }
  // Maximal valid prefix: one replacement per broken sequence.
  std::size_t len = 1;
  while (len <= need && len < n) {
    unsigned char c = p[len];
    bool ok = (len == 1) ? in_range(c, lo, hi) : in_range(c, 0x80, 0xBF);
    if (!ok) break;
    ++len;
  }
  return len;
}

std::size_t skip_utf16(const unsigned char* p, std::size_t n) noexcept {
  if (n < 2) return n;
  bool high = in_range(p[0], 0xD8, 0xDB);
  bool low_next = n >= 4 && in_range(p[2], 0xDC, 0xDF);
  return (high && low_next) ? 4 : 2;
}

std::size_t skip_single_byte(const unsigned char*, std::size_t) noexcept { return 1; }

// Big5, Korean and GB2312 sets: a lead byte takes a trail byte with it only
// when that byte can be one, so a following ASCII character is never eaten.
std::size_t skip_double(const unsigned char* p, std::size_t n) noexcept {
  return (n >= 2 && in_range(p[0], 0x81, 0xFE) && in_range(p[1], 0x40, 0xFE) && p[1] != 0x7F)
             ? 2 : 1;
}

// EUC-KR: both bytes A1-FE; the C1 bytes before them are characters.
std::size_t skip_euc_pair(const unsigned char* p, std::size_t n) noexcept {
  return (n >= 2 && is_euc_byte(p[0]) && is_euc_byte(p[1])) ? 2 : 1;
}

std::size_t skip_gb(const unsigned char* p, std::size_t n) noexcept {
  if (n >= 4 && in_range(p[0], 0x81, 0xFE) && in_range(p[1], 0x30, 0x39) &&
      in_range(p[2], 0x81, 0xFE) && in_range(p[3], 0x30, 0x39))
    return 4;
  return skip_double(p, n);
}

std::size_t skip_euc_tw(const unsigned char* p, std::size_t n) noexcept {
  if (p[0] == 0x8E)
    return (n >= 4 && in_range(p[1], 0xA1, 0xB0) && is_euc_byte(p[2]) && is_euc_byte(p[3])) ? 4
                                                                                         : 1;
  return (n >= 2 && is_euc_byte(p[0]) && is_euc_byte(p[1])) ? 2 : 1;
}

SkipLengthFn skip_fn(int id) noexcept {
  switch (id) {
    case kCharsetSjis: return skip_sjis;
    case kCharsetEucJp: return skip_euc;
    case kCharsetUtf8: return skip_utf8;
    case kCharsetUtf16: return skip_utf16;
    default: break;
  }
  switch (kOracleSets[id - kCharsetOracleFirst].width) {
    case CharWidth::kDouble: return skip_double;
    case CharWidth::kEuc: return skip_euc_pair;
    case CharWidth::kGb: return skip_gb;
    case CharWidth::kEucTw: return skip_euc_tw;
    case CharWidth::kSingle: break;
  }
  return skip_single_byte;
}

void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code point of the UTF-8 character at `p` (up to three bytes, as the
// tables need), or 0xFFFF when it is broken or longer; `len` its length.
char32_t utf8_char(const unsigned char* p, std::size_t n, std::size_t& len) noexcept {
  len = skip_utf8(p, n);
  if (p[0] < 0x80) return p[0];
  const std::size_t need = in_range(p[0], 0xC2, 0xDF) ? 2 : in_range(p[0], 0xE0, 0xEF) ? 3 : 0;
  if (len != need) return 0xFFFF;
  char32_t c = p[0] & (need == 2 ? 0x1Fu : 0x0Fu);
  for (std::size_t i = 1; i < len; ++i) c = (c << 6) | (p[i] & 0x3Fu);
  return c;
}

// Each byte on its own, so that a letter and the mark after it stay two
// characters; a byte that is no character becomes U+FFFD.
void decode_by_table(const char16_t* high, std::string_view in, std::string& utf8) {
  for (const char ch : in) {
    const auto b = static_cast<unsigned char>(ch);
    const char32_t c = b < 0x80 ? b : high[b - 0x80];
    if (c == 0xFFFF) {
      utf8.append(replacement_char(kCharsetUtf8));
    } else {
      append_utf8(c, utf8);
    }
  }
}

// The reverse: a character the set lacks, or a broken sequence as far as
// it goes, becomes "?"; nothing is decomposed into letter and mark.
void encode_by_table(const char16_t* high, std::string_view utf8, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t i = 0, len = 0; i < utf8.size(); i += len) {
    const char32_t c = utf8_char(p + i, utf8.size() - i, len);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const char16_t* end = high + 128;
    const char16_t* hit = c == 0xFFFF ? end : std::find(high, end, static_cast<char16_t>(c));
    if (hit != end) {
      out.push_back(static_cast<char>(0x80 + (hit - high)));
    } else {
      out.append(replacement_char(kCharsetUsAscii));
    }
  }
}

// Converts one character through the platform into `out` (replacing on
// failure); the Japanese arithmetic uses it for what JIS X 0208 lacks.
void convert_one(CharsetConverter& cv, int from, int to, std::string_view ch, std::string& out) {
  std::size_t before = out.size();
  if (cv.platform_convert(from, to, ch, out) != 0) {
    out.resize(before);
    out.append(replacement_char(to));
  }
}

}  // namespace

int charset_id_from_name(std::string_view name) noexcept {
  if (const OracleCharset* set = find_set([name](const OracleCharset& c) { return c.name == name; }))
    return set->id;
  for (const auto& entry : kCharsetNames) {
    if (entry.name == name) return entry.id;
  }
  return kCharsetUnknown;
}

int charset_from_oracle_id(unsigned oracle_id) noexcept {
  const OracleCharset* set =
      find_set([oracle_id](const OracleCharset& c) { return c.oracle_id == oracle_id; });
  return set != nullptr ? set->id : kCharsetUnknown;
}

bool is_multibyte_set(int id) noexcept {
  return is_oracle_set(id) && kOracleSets[id - kCharsetOracleFirst].width != CharWidth::kSingle;
}

std::span<const OracleCharset> oracle_charsets() noexcept { return kOracleSets; }

bool is_single_byte_set(int id) noexcept {
  return is_oracle_set(id) && kOracleSets[id - kCharsetOracleFirst].width == CharWidth::kSingle;
}

std::string_view charset_display_name(int id) noexcept {
  switch (id) {
    case kCharsetSjis: return "Shift_JIS";
    case kCharsetEucJp: return "EUC";
    case kCharsetUtf8: return "UTF8";
    case kCharsetUtf16: return "UTF16";
    case kCharsetUsAscii: return "US7ASCII";
    default:
      return is_oracle_set(id) ? kOracleSets[id - kCharsetOracleFirst].name : "UNKNOWN";
  }
}

std::string_view replacement_char(int id) noexcept {
  switch (id) {
    case kCharsetUtf8: return "\xEF\xBF\xBD";
    case kCharsetUtf16: return std::string_view("\xFF\xFD", 2);
    default: return "?";
  }
}

int output_charset(const ConvOptions& o) noexcept {
  return is_on(o.is_to_sjis) ? static_cast<int>(kCharsetSjis) : o.out_charset;
}

PlatformConverter& CharsetConverter::descriptor(int from, int to) {
  for (Direction& d : descriptors_)
    if (d.from == from && d.to == to) return d.converter;
  descriptors_.push_back({from, to, PlatformConverter(platform_name(to), platform_name(from))});
  return descriptors_.back().converter;
}

int CharsetConverter::platform_convert(int from, int to, std::string_view in, std::string& out) {
  if (!has_conversion(from) || !has_conversion(to) || from == to) return -1;
  const char16_t* from_table = byte_table(from);
  const char16_t* to_table = byte_table(to);
  if (from_table == nullptr && to_table == nullptr)
    return descriptor(from, to).convert(in, out, replacement_char(to), skip_fn(from));
  // Through UTF-8, the side with a table of ours by hand.
  std::string& utf8 = via_utf8_;
  utf8.clear();
  if (from_table != nullptr) {
    decode_by_table(from_table, in, utf8);
  } else if (from == kCharsetUtf8) {
    utf8 = in;
  } else if (descriptor(from, kCharsetUtf8).convert(in, utf8, replacement_char(kCharsetUtf8),
                                                    skip_fn(from)) != 0) {
    return -1;
  }
  if (to_table != nullptr) {
    encode_by_table(to_table, utf8, out);
    return 0;
  }
  if (to == kCharsetUtf8) {
    out += utf8;
    return 0;
  }
  return descriptor(kCharsetUtf8, to).convert(utf8, out, replacement_char(to), skip_utf8);
}

void euc_to_sjis(CharsetConverter& cv, std::string& text) {
  // The result is never longer than the source, so it is written in place.
  auto* buf = reinterpret_cast<unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::string& one = cv.scratch();
  std::size_t w = 0;
  std::size_t r = 0;
  while (r < n) {
    unsigned char e1 = buf[r];
    if (e1 < 0x80) {
      buf[w++] = e1;
      ++r;
    } else if (e1 == 0x8E && r + 1 < n && in_range(buf[r + 1], 0xA1, 0xDF)) {
      buf[w++] = buf[r + 1];
      r += 2;
    } else if (e1 == 0x8F && r + 2 < n && is_euc_byte(buf[r + 1]) && is_euc_byte(buf[r + 2])) {
      one.clear();
      convert_one(cv, kCharsetEucJp, kCharsetSjis,
                  std::string_view(text.data() + r, 3), one);
      for (char c : one) buf[w++] = static_cast<unsigned char>(c);
      r += 3;
    } else if (is_euc_byte(e1) && r + 1 < n && is_euc_byte(buf[r + 1])) {
      unsigned char e2 = buf[r + 1];
      unsigned lead = ((e1 + 1u) / 2u + 0x30u) & 0xFFu;
      if (lead >= 0xA0) lead += 0x40;
      unsigned trail = (e1 & 1u) ? e2 - 0x61u : e2 - 3u;
      if (trail > 0x7E) trail += 1;
      buf[w++] = static_cast<unsigned char>(lead);
      buf[w++] = static_cast<unsigned char>(trail);
      r += 2;
    } else {
      buf[w++] = '?';
      ++r;
    }
  }
  text.resize(w);
}

void sjis_to_euc(CharsetConverter& cv, std::string& text) {
  const auto* buf = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::string& out = cv.scratch();
  out.clear();
  out.reserve(n + n / 2 + 1);
  std::size_t r = 0;
  while (r < n) {
    unsigned char lead = buf[r];
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++r;
    } else if (in_range(lead, 0xA1, 0xDF)) {
      // Half-width katakana needs its single-shift prefix in EUC-JP.
      out.push_back('\x8E');
      out.push_back(static_cast<char>(lead));
      ++r;
    } else if (is_sjis_lead(lead) && r + 1 < n && is_sjis_trail(buf[r + 1])) {
      if (lead >= 0xF0) {
        // User-defined and IBM extension rows lie outside the arithmetic.
        convert_one(cv, kCharsetSjis, kCharsetEucJp, std::string_view(text.data() + r, 2), out);
      } else {
        unsigned t = buf[r + 1];
        if (t >= 0x80) t -= 1;
        unsigned trail = (t < 158) ? t + 94 + 3 : t + 3;
        unsigned l = (lead < 0xE0) ? 2u * lead - 128u : 2u * lead;
        if (t > 157) l += 1;
        l += 31;
        out.push_back(static_cast<char>(l & 0xFFu));
        out.push_back(static_cast<char>(trail & 0xFFu));
      }
      r += 2;
    } else {
      out.push_back('?');
      ++r;
    }
  }
  text.swap(out);
}

namespace {

int platform_in_place(CharsetConverter& cv, int from, int to, std::string& text) {
  std::string& out = cv.scratch();
  out.clear();
  if (cv.platform_convert(from, to, text, out) != 0) return -1;
  text.swap(out);
  return 0;
}

}  // namespace

void join_surrogate_pairs(std::string& text) {
  std::size_t r = text.find('\xED');
  if (r == std::string::npos) return;
  auto* buf = reinterpret_cast<unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t w = r;
  while (r < n) {
    if (r + 6 <= n && buf[r] == 0xED && in_range(buf[r + 1], 0xA0, 0xAF) &&
        in_range(buf[r + 2], 0x80, 0xBF) && buf[r + 3] == 0xED &&
        in_range(buf[r + 4], 0xB0, 0xBF) && in_range(buf[r + 5], 0x80, 0xBF)) {
      const unsigned high = ((buf[r + 1] & 0x0Fu) << 6) | (buf[r + 2] & 0x3Fu);
      const unsigned low = ((buf[r + 4] & 0x0Fu) << 6) | (buf[r + 5] & 0x3Fu);
      const unsigned cp = 0x10000u + (high << 10) + low;
      buf[w++] = static_cast<unsigned char>(0xF0u | (cp >> 18));
      buf[w++] = static_cast<unsigned char>(0x80u | ((cp >> 12) & 0x3Fu));
      buf[w++] = static_cast<unsigned char>(0x80u | ((cp >> 6) & 0x3Fu));
      buf[w++] = static_cast<unsigned char>(0x80u | (cp & 0x3Fu));
      r += 6;
    } else {
      buf[w++] = buf[r++];
    }
  }
  text.resize(w);
}

int convert_charset(CharsetConverter& cv, int from, int to, std::string& text) {
  if (from == kCharsetUtf8) join_surrogate_pairs(text);
  if (from == to || !has_conversion(from) || !has_conversion(to)) return 0;
  if (from == kCharsetEucJp && to == kCharsetSjis) {
    euc_to_sjis(cv, text);
    return 0;
  }
  if (from == kCharsetSjis && to == kCharsetEucJp) {
    sjis_to_euc(cv, text);
    return 0;
  }
  return platform_in_place(cv, from, to, text);
}

int sjis_to_utf8(CharsetConverter& cv, std::string& text) {
  return platform_in_place(cv, kCharsetSjis, kCharsetUtf8, text);
}

int utf8_to_sjis(CharsetConverter& cv, std::string& text) {
  return platform_in_place(cv, kCharsetUtf8, kCharsetSjis, text);
}

int utf16_to_sjis(CharsetConverter& cv, std::string& text) {
  return platform_in_place(cv, kCharsetUtf16, kCharsetSjis, text);
}

int write_utf8_bom(std::FILE* file) noexcept {
  static constexpr unsigned char kBom[] = {0xEF, 0xBB, 0xBF};
  if (file == nullptr) return -1;
  return std::fwrite(kBom, 1, sizeof kBom, file) == sizeof kBom ? 0 : -1;
}

std::string utf8_to_os_charset(CharsetConverter& cv, int os_charset, std::string_view utf8) {
  std::string text(utf8);
  if (convert_charset(cv, kCharsetUtf8, os_charset, text) != 0) return std::string(utf8);
  return text;
}

std::string utf8_to_os_charset(int os_charset, std::string_view utf8) {
  CharsetConverter cv;
  return utf8_to_os_charset(cv, os_charset, utf8);
}

}  // namespace qln
