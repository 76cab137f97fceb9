#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <span>

#include "values/cjk_tables.hpp"
#include "values/codepage_converter.hpp"

namespace qln {
namespace {

enum Kind { kNone = 0, kCodePage = 1, kEucJp = 2, kUtf16Be = 3, kEucTw = 4, kEucKr = 5, kGb18030 = 6, kBig5Hkscs = 7 };

constexpr unsigned kCp932 = 932;
constexpr unsigned kCp20932 = 20932;
constexpr unsigned kCpUtf8 = 65001;

using Encoding = CodePageConverter::Encoding;

Encoding encoding_from_name(std::string_view name) noexcept {
  if (name == "CP932") return {kCodePage, kCp932};
  if (name == "EUC-JP-MS") return {kEucJp, kCp932};
  if (name == "UTF-8") return {kCodePage, kCpUtf8};
  if (name == "UTF-16BE") return {kUtf16Be, 1201};
  // Chinese, Korean and Russian sets named as iconv names them. HKSCS has
  // no page of its own: the rows where it differs from 950 come from our
  // table. EUC-TW has none at all: its first two planes are Big5's
  // characters, the others come from our table.
  // EUC-KR is the part of 949 in rows A1-FE; GB18030 is GBK with the
  // characters of its 2005 edition and four-byte sequences for the rest
  // (pages 51949 and 54936 are not everywhere).
  if (name == "GBK") return {kCodePage, 936};
  if (name == "GB18030") return {kGb18030, 936};
  if (name == "EUC-KR") return {kEucKr, 949};
  if (name == "KOI8-R") return {kCodePage, 20866};
  if (name == "EUC-TW") return {kEucTw, 950};
  if (name == "BIG5-HKSCS") return {kBig5Hkscs, 950};
  if (name.starts_with("CP")) return {kCodePage, static_cast<unsigned>(std::atoi(name.data() + 2))};
  if (name.starts_with("ISO-8859-")) {
    const unsigned part = static_cast<unsigned>(std::atoi(name.data() + 9));
    return {kCodePage, part == 15 ? 28605u : 28590u + part};
  }
  return {};
}

bool in_range(unsigned c, unsigned lo, unsigned hi) noexcept { return c >= lo && c <= hi; }

// The Windows tables give the undefined bytes of the 125x pages C1 code
// points where the reference tables have no character at all.
bool is_windows_page(unsigned cp) noexcept { return in_range(cp, 1250, 1258); }

constexpr unsigned kCpBig5 = 950;

// Windows gives the undefined bytes of single-byte pages, and the
// user-defined rows of the double-byte ones, private-use characters the
// reference tables do not have; they keep those of 932 and the Big5 row
// of the ETEN extensions (C6A1-C8FE).
bool is_private_use(unsigned c) noexcept { return in_range(c, 0xE000, 0xF8FF); }
bool lacks_private_use(unsigned cp, unsigned c) noexcept {
  if (cp == kCp932 || cp == kCpUtf8) return false;
  return is_private_use(c) && !(cp == kCpBig5 && in_range(c, 0xF6B1, 0xF848));
}

// Bytes Windows passes through as C1 controls where the reference tables
// have no character.
bool lacks_c1(unsigned cp) noexcept {
  return cp == kCp932 || is_windows_page(cp) || cp == 936 || cp == 949 || cp == 874;
}

// The JIS X 0212 plane places IBM extension characters at 8F F3F3-8F F4FE,
// in this order, and user-defined characters from 8F F5A1 on.
constexpr std::uint16_t kIbmExtension[] = {
    0x2170, 0x2171, 0x2172, 0x2173, 0x2174, 0x2175, 0x2176, 0x2177, 0x2178, 0x2179, 0x2160, 0x2161,
    0x2162, 0x2163, 0x2164, 0x2165, 0x2166, 0x2167, 0x2168, 0x2169, 0xFF07, 0xFF02, 0x3231, 0x2116,
    0x2121, 0x70BB, 0x4EFC, 0x50F4, 0x51EC, 0x5307, 0x5324, 0xFA0E, 0x548A, 0x5759, 0xFA0F, 0xFA10,
    0x589E, 0x5BEC, 0x5CF5, 0x5D53, 0xFA11, 0x5FB7, 0x6085, 0x6120, 0x654E, 0x663B, 0x6665, 0xFA12,
    0xF929, 0x6801, 0xFA13, 0xFA14, 0x6A6B, 0x6AE2, 0x6DF8, 0x6DF2, 0x7028, 0xFA15, 0xFA16, 0x7501,
    0x7682, 0x769E, 0xFA17, 0x7930, 0xFA18, 0xFA19, 0xFA1A, 0xFA1B, 0x7AE7, 0xFA1C, 0xFA1D, 0x7DA0,
    0x7DD6, 0xFA1E, 0x8362, 0xFA1F, 0x85B0, 0xFA20, 0xFA21, 0x8807, 0xFA22, 0x8B7F, 0x8CF4, 0x8D76,
    0xFA23, 0xFA24, 0xFA25, 0x90DE, 0xFA26, 0x9115, 0xFA27, 0xFA28, 0x9592, 0xF9DC, 0xFA29, 0x973B,
    0x974D, 0x9751, 0xFA2A, 0xFA2B, 0xFA2C, 0x999E, 0x9AD9, 0x9B72, 0xFA2D, 0x9ED1};
constexpr unsigned kUserDefined208 = 0xE000;  // F5A1, rows 85-94 of both planes
constexpr unsigned kUserDefined212 = 0xE3AC;  // 8F F5A1
constexpr unsigned kUserDefinedCount = 10 * 94;

struct OneWay {
  std::uint16_t unicode;
  std::uint16_t bytes;  // one byte, or lead and trail
};

// Characters that the reference tables write into code page 932 although
// Windows maps them only best-fit: the JIS forms of the same characters.
constexpr OneWay kCp932Extra[] = {{0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x005C}, {0x00AC, 0x81CA},
                                  {0x2014, 0x815C}, {0x2016, 0x8161}, {0x203E, 0x007E}, {0x2212, 0x817C},
                                  {0x301C, 0x8160}};
// The same for EUC-JP (three bytes: 8F and the two given).
constexpr OneWay kEucExtra[] = {{0x00A5, 0x005C}, {0x2014, 0xA1BD}, {0x203E, 0x007E}};
constexpr std::uint16_t kEucFullwidthBrokenBar = 0xFFE4;  // 8F A2C3
constexpr std::uint16_t kEucFullwidthTilde = 0xFF5E;      // 8F A2B7

// Big5 has four box-drawing characters twice; the reference tables write
// the first of each, Windows the ETEN copy.
constexpr OneWay kBig5Boxes[] = {{0x2550, 0xA2A4}, {0x255E, 0xA2A5}, {0x2561, 0xA2A7}, {0x256A, 0xA2A6}};
// ISO-8859-7 as revised in 2003; code page 28597 keeps the 1987 table.
constexpr unsigned kCpGreek = 28597;
constexpr OneWay kGreek2003[] = {{0x2018, 0xA1}, {0x2019, 0xA2}, {0x20AC, 0xA4}, {0x20AF, 0xA5}, {0x037A, 0xAA}};
constexpr std::uint16_t kGreek1987[] = {0x02BC, 0x02BD};
// ISO-8859-8 has the macron and the direction marks where 28598 has an
// overline and nothing.
constexpr OneWay kHebrewIso[] = {{0x00AF, 0xAF}, {0x200E, 0xFD}, {0x200F, 0xFE}};
constexpr std::uint16_t kHebrewOverline[] = {0x203E};

// Per page: characters the reference tables place that Windows places
// elsewhere or not at all, and characters only Windows gives the page. On
// the single-byte pages the first correct decoding too, byte by byte.
struct PageFixes {
  std::span<const OneWay> extra;
  std::span<const std::uint16_t> foreign;
  bool single_byte = false;
};

PageFixes page_fixes(unsigned cp) noexcept {
  switch (cp) {
    case kCp932: return {kCp932Extra, {}};
    case kCpBig5: return {kBig5Boxes, {}};
    case kCpGreek: return {kGreek2003, kGreek1987, true};
    case 28598: return {kHebrewIso, kHebrewOverline, true};
    default: return {};
  }
}

bool is_foreign(const PageFixes& f, unsigned c) noexcept {
  return std::find(f.foreign.begin(), f.foreign.end(), c) != f.foreign.end();
}

const OneWay* find_unicode(const OneWay* first, const OneWay* last, unsigned c) noexcept {
  const OneWay* hit = std::find_if(first, last, [c](const OneWay& e) { return e.unicode == c; });
  return hit == last ? nullptr : hit;
}

void push_code_point(unsigned c, std::wstring& w) {
  if (c < 0x10000) {
    w.push_back(static_cast<wchar_t>(c));
  } else {
    w.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
    w.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  }
}

// The code point at w[i], a surrogate pair joined (a lone surrogate stays
// itself and converts to nothing); i moves past it.
char32_t next_code_point(const std::wstring& w, std::size_t& i) noexcept {
  const char32_t c = static_cast<unsigned short>(w[i++]);
  if (in_range(c, 0xD800, 0xDBFF) && i < w.size() && in_range(w[i], 0xDC00, 0xDFFF))
    return 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(w[i++]) - 0xDC00);
  return c;
}

// Where `c` stands in `blocks`, the first place found; -1 when nowhere.
long find_in_blocks(std::span<const CodeBlock> blocks, char32_t c) noexcept {
  for (const CodeBlock& b : blocks) {
    const std::size_t at = b.chars.find(c);
    if (at != std::u32string_view::npos) return static_cast<long>(b.first + at);
  }
  return -1;
}

void put_bytes(std::uint16_t bytes, std::string& out) {
  if (bytes > 0xFF) out.push_back(static_cast<char>(bytes >> 8));
  out.push_back(static_cast<char>(bytes & 0xFF));
}

// One character through MultiByteToWideChar, strictly.
bool decode_page(unsigned cp, const char* p, std::size_t n, std::wstring& w) {
  if (n == 0) return true;
  const int len = static_cast<int>(n);
  // Pages corrected byte by byte take undefined bytes too; what Windows
  // makes of them is refused below.
  const PageFixes fixes = page_fixes(cp);
  const DWORD flags = fixes.single_byte ? 0 : MB_ERR_INVALID_CHARS;
  const int need = MultiByteToWideChar(cp, flags, p, len, nullptr, 0);
  if (need <= 0) return false;
  const std::size_t at = w.size();
  w.resize(at + static_cast<std::size_t>(need));
  MultiByteToWideChar(cp, flags, p, len, w.data() + at, need);
  if (fixes.single_byte) {
    if (w.size() != at + n) return false;
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned b = static_cast<unsigned char>(p[i]);
      const auto hit = std::find_if(fixes.extra.begin(), fixes.extra.end(), [b](const OneWay& e) { return e.bytes == b; });
      if (hit != fixes.extra.end()) {
        w[at + i] = static_cast<wchar_t>(hit->unicode);
      } else if ((w[at + i] == L'?' && b != '?') || w[at + i] == 0xFFFD) {
        return false;
      }
    }
  }
  for (std::size_t i = at; i < w.size(); ++i) {
    const unsigned c = w[i];
    if (lacks_private_use(cp, c) || is_foreign(fixes, c)) return false;
  }
  if (lacks_c1(cp)) {
    // Bytes the reference tables leave undefined.
    for (std::size_t i = at; i < w.size(); ++i) {
      const unsigned c = w[i];
      if (in_range(c, 0x80, 0x9F) || (cp == kCp932 && in_range(c, 0xF8F0, 0xF8F3))) return false;
    }
  }
  return true;
}

bool encode_page_plain(unsigned cp, const wchar_t* w, std::size_t n, std::string& out);

// Code pages whose reference tables hold characters Windows does not:
// those characters are written from the tables, the runs between them
// through WideCharToMultiByte.
bool encode_page(unsigned cp, const wchar_t* w, std::size_t n, std::string& out) {
  const PageFixes fixes = page_fixes(cp);
  if (fixes.extra.empty() && fixes.foreign.empty()) return encode_page_plain(cp, w, n, out);
  std::size_t run = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned c = static_cast<unsigned short>(w[i]);
    const OneWay* hit = find_unicode(fixes.extra.data(), fixes.extra.data() + fixes.extra.size(), c);
    if (hit == nullptr && !is_foreign(fixes, c)) continue;
    if (!encode_page_plain(cp, w + run, i - run, out) || hit == nullptr) return false;
    put_bytes(hit->bytes, out);
    run = i + 1;
  }
  return encode_page_plain(cp, w + run, n - run, out);
}

bool encode_page_plain(unsigned cp, const wchar_t* w, std::size_t n, std::string& out) {
  if (n == 0) return true;
  const int len = static_cast<int>(n);
  BOOL used = FALSE;
  BOOL* used_ptr = cp == kCpUtf8 ? nullptr : &used;
  const DWORD flags = cp == kCpUtf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int need = WideCharToMultiByte(cp, flags, w, len, nullptr, 0, nullptr, used_ptr);
  if (need <= 0 || used) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned c = w[i];
    if (lacks_c1(cp) && (in_range(c, 0x80, 0x9F) || (cp == kCp932 && in_range(c, 0xF8F0, 0xF8F3)))) {
      return false;
    }
    if (lacks_private_use(cp, c)) return false;
  }
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(need));
  WideCharToMultiByte(cp, flags, w, len, out.data() + at, need, nullptr, used_ptr);
  return true;
}

// JIS X 0208 rows between EUC-JP and Shift_JIS.
void euc_pair_to_sjis(unsigned e1, unsigned e2, char* s) noexcept {
  unsigned lead = ((e1 + 1u) / 2u + 0x30u) & 0xFFu;
  if (lead >= 0xA0) lead += 0x40;
  unsigned trail = (e1 & 1u) ? e2 - 0x61u : e2 - 3u;
  if (trail > 0x7E) trail += 1;
  s[0] = static_cast<char>(lead);
  s[1] = static_cast<char>(trail & 0xFFu);
}

void sjis_pair_to_euc(unsigned lead, unsigned t, std::string& out) {
  if (t >= 0x80) t -= 1;
  const unsigned trail = (t < 158) ? t + 94 + 3 : t + 3;
  unsigned l = (lead < 0xE0) ? 2u * lead - 128u : 2u * lead;
  if (t > 157) l += 1;
  l += 31;
  out.push_back(static_cast<char>(l & 0xFFu));
  out.push_back(static_cast<char>(trail & 0xFFu));
}

bool decode_euc(const unsigned char* p, std::size_t n, std::wstring& w) {
  for (std::size_t i = 0; i < n;) {
    const unsigned b = p[i];
    const std::size_t left = n - i;
    if (b < 0x80 || (in_range(b, 0x80, 0x9F) && b != 0x8E && b != 0x8F)) {
      w.push_back(static_cast<wchar_t>(b));
      i += 1;
    } else if (b == 0x8E) {
      if (left < 2 || !in_range(p[i + 1], 0xA1, 0xDF)) return false;
      w.push_back(static_cast<wchar_t>(0xFF61 + (p[i + 1] - 0xA1)));
      i += 2;
    } else if (b == 0x8F) {
      if (left < 3 || !in_range(p[i + 1], 0xA1, 0xFE) || !in_range(p[i + 2], 0xA1, 0xFE)) return false;
      const unsigned row = p[i + 1], cell = p[i + 2];
      if (row == 0xF3 || row == 0xF4) {
        const unsigned index = row == 0xF3 ? cell - 0xF3 : 12 + cell - 0xA1;
        if (row == 0xF3 && cell < 0xF3) return false;
        w.push_back(static_cast<wchar_t>(kIbmExtension[index]));
      } else if (row == 0xA2 && (cell == 0xB7 || cell == 0xC3)) {
        w.push_back(static_cast<wchar_t>(cell == 0xB7 ? kEucFullwidthTilde : kEucFullwidthBrokenBar));
      } else if (row >= 0xF5) {
        w.push_back(static_cast<wchar_t>(kUserDefined212 + (row - 0xF5) * 94 + (cell - 0xA1)));
      } else {
        // Code page 20932 writes the JIS X 0212 plane as two bytes, the second below 0x80.
        const char pair[2] = {static_cast<char>(row), static_cast<char>(cell & 0x7F)};
        const std::size_t at = w.size();
        if (!decode_page(kCp20932, pair, 2, w) || w.size() != at + 1) return false;
      }
      i += 3;
    } else if (in_range(b, 0xF5, 0xFE)) {
      if (left < 2 || !in_range(p[i + 1], 0xA1, 0xFE)) return false;
      w.push_back(static_cast<wchar_t>(kUserDefined208 + (b - 0xF5) * 94 + (p[i + 1] - 0xA1)));
      i += 2;
    } else if (in_range(b, 0xA1, 0xFE)) {
      if (left < 2 || !in_range(p[i + 1], 0xA1, 0xFE)) return false;
      char sjis[2];
      euc_pair_to_sjis(b, p[i + 1], sjis);
      if (!decode_page(kCp932, sjis, 2, w)) return false;
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool encode_euc_char(wchar_t wc, std::string& out) {
  const unsigned c = static_cast<unsigned short>(wc);
  if (c < 0x80 || (in_range(c, 0x80, 0x9F) && c != 0x8E && c != 0x8F)) {
    out.push_back(static_cast<char>(c));
    return true;
  }
  if (in_range(c, 0xFF61, 0xFF9F)) {
    out.push_back('\x8E');
    out.push_back(static_cast<char>(0xA1 + (c - 0xFF61)));
    return true;
  }
  if (in_range(c, 0xD800, 0xDFFF)) return false;
  if (in_range(c, kUserDefined208, kUserDefined212 + kUserDefinedCount - 1)) {
    const bool plane2 = c >= kUserDefined212;
    const unsigned k = c - (plane2 ? kUserDefined212 : kUserDefined208);
    if (plane2) out.push_back('\x8F');
    out.push_back(static_cast<char>(0xF5 + k / 94));
    out.push_back(static_cast<char>(0xA1 + k % 94));
    return true;
  }
  if (const OneWay* hit = find_unicode(std::begin(kEucExtra), std::end(kEucExtra), c)) {
    put_bytes(hit->bytes, out);
    return true;
  }
  if (c == kEucFullwidthBrokenBar) {
    out.append("\x8F\xA2\xC3");
    return true;
  }
  std::string sjis;
  if (encode_page_plain(kCp932, &wc, 1, sjis) && sjis.size() == 2) {
    const unsigned lead = static_cast<unsigned char>(sjis[0]);
    if (lead < 0xF0) {
      sjis_pair_to_euc(lead, static_cast<unsigned char>(sjis[1]), out);
      return true;
    }
    const auto* end = std::end(kIbmExtension);
    const auto* hit = std::find(std::begin(kIbmExtension), end, c);
    if (hit != end) {
      const auto index = static_cast<unsigned>(hit - std::begin(kIbmExtension));
      out.push_back('\x8F');
      out.push_back(static_cast<char>(index < 12 ? 0xF3 : 0xF4));
      out.push_back(static_cast<char>(index < 12 ? 0xF3 + index : 0xA1 + index - 12));
      return true;
    }
  }
  std::string plane;
  if (encode_page(kCp20932, &wc, 1, plane) && plane.size() == 2) {
    const unsigned b1 = static_cast<unsigned char>(plane[0]), b2 = static_cast<unsigned char>(plane[1]);
    if (!in_range(b1, 0xA1, 0xFE)) return false;
    if (b2 < 0x80) {
      out.push_back('\x8F');
      out.push_back(static_cast<char>(b1));
      out.push_back(static_cast<char>(b2 | 0x80));
    } else {
      out.push_back(static_cast<char>(b1));
      out.push_back(static_cast<char>(b2));
    }
    return true;
  }
  return false;
}

// EUC-TW: CNS 11643 planes 1 and 2 hold Big5's characters, mostly in the
// same order, so runs of cells map onto runs of Big5 codes (counted from
// 0x8140, 157 to a lead byte); the few characters Big5 lacks map straight
// to Unicode. Cells are counted from plane 1 row 1 cell 1, 94 to a row.
// The rarer planes 3-7 and 15 have no Windows counterpart: they come from
// our table.
struct CodeRun {
  std::uint16_t from;
  std::uint32_t to;
  std::uint16_t count;
};

constexpr CodeRun kCnsToBig5[] = {
    {0, 5024, 5}, {6, 5030, 15}, {21, 5047, 2}, {24, 5046, 1}, {29, 5053, 44}, {73, 5098, 1},
    {74, 5097, 1}, {75, 5099, 21}, {98, 5122, 1}, {100, 5124, 27}, {127, 5152, 1}, {128, 5151, 1},
    {130, 5154, 14}, {146, 5170, 2}, {148, 5173, 1}, {149, 5172, 1}, {150, 5174, 4}, {155, 5045, 1},
    {156, 5180, 78}, {282, 5258, 29}, {312, 5288, 1}, {314, 5290, 142}, {3290, 5495, 1412},
    {4702, 6908, 424}, {5126, 6907, 1}, {5127, 7332, 1876}, {7003, 9595, 1}, {7004, 9208, 387},
    {7391, 9596, 525}, {7916, 10310, 1}, {7917, 10121, 105}, {8023, 10227, 83}, {8106, 10311, 84},
    {8190, 10541, 1}, {8191, 10395, 54}, {8245, 10450, 1}, {8246, 10449, 1}, {8247, 10451, 90},
    {8337, 10542, 354}, {8836, 11304, 10}, {8846, 11315, 33}, {8879, 11396, 1}, {8880, 11348, 48},
    {8928, 11397, 46}, {8974, 11610, 1}, {8975, 11443, 167}, {9142, 11611, 1840}, {10982, 14098, 1},
    {10983, 13452, 108}, {11091, 13561, 537}, {11628, 13451, 1}, {11629, 14099, 100},
    {11729, 13560, 1}, {11730, 14199, 399}, {12129, 14599, 1637}, {13766, 16785, 1},
    {13767, 16236, 146}, {13913, 16923, 1}, {13914, 16382, 287}, {14201, 17532, 1},
    {14202, 16669, 116}, {14318, 16786, 137}, {14455, 16924, 104}, {14559, 17449, 1},
    {14560, 17028, 222}, {14782, 17251, 198}, {14980, 17450, 82}, {15062, 17533, 86},
    {15148, 17250, 1}, {15149, 17619, 8}, {15157, 17628, 153}, {15310, 17782, 56}, {15366, 18138, 1},
    {15367, 17838, 113}, {15480, 17627, 1}, {15481, 17951, 142}, {15623, 17781, 1},
    {15624, 18093, 45}, {15669, 18139, 71}, {15740, 18404, 1}, {15741, 18210, 194},
    {15935, 18405, 490}, {16425, 18938, 1}, {16426, 18895, 43}, {16469, 18939, 1},
    {16470, 18941, 11}, {16481, 18940, 1}, {16482, 18952, 4},
};
constexpr CodeRun kCnsToUnicode[] = {
    {5, 0x30FB, 1}, {23, 0xFE32, 1}, {96, 0x203E, 1}, {129, 0x223C, 1}, {144, 0x2641, 1},
    {145, 0x2609, 1}, {154, 0x2016, 1}, {470, 0x2460, 10}, {480, 0x2474, 10}, {490, 0x2170, 10},
    {571, 0x4EA0, 1}, {578, 0x51AB, 1}, {583, 0x52F9, 1}, {3102, 0x2400, 32}, {3134, 0x2421, 1},
    {8022, 0x5F5E, 1},
};

constexpr unsigned kCnsPlaneCells = 94 * 94;

// The run holding `code` on its `from` side (runs in `from` order), or on
// its `to` side.
const CodeRun* find_from(const CodeRun* first, const CodeRun* last, unsigned code) noexcept {
  const CodeRun* hit = std::upper_bound(first, last, code, [](unsigned c, const CodeRun& r) { return c < r.from; });
  if (hit == first) return nullptr;
  --hit;
  return code < static_cast<unsigned>(hit->from + hit->count) ? hit : nullptr;
}

const CodeRun* find_to(const CodeRun* first, const CodeRun* last, unsigned code) noexcept {
  const CodeRun* hit =
      std::find_if(first, last, [code](const CodeRun& r) { return code >= r.to && code < r.to + r.count; });
  return hit == last ? nullptr : hit;
}

bool decode_cns_cell(unsigned cell, std::wstring& w) {
  if (cell >= 2 * kCnsPlaneCells) {
    const char32_t c = block_char(cns_planes_beyond_big5(), cell);
    if (c == 0 || c == kNoCharacter) return false;
    push_code_point(c, w);
    return true;
  }
  if (const CodeRun* r = find_from(std::begin(kCnsToUnicode), std::end(kCnsToUnicode), cell)) {
    w.push_back(static_cast<wchar_t>(r->to + (cell - r->from)));
    return true;
  }
  const CodeRun* r = find_from(std::begin(kCnsToBig5), std::end(kCnsToBig5), cell);
  if (r == nullptr) return false;
  const unsigned index = r->to + (cell - r->from);
  const unsigned trail = index % 157;
  const char big5[2] = {static_cast<char>(0x81 + index / 157),
                        static_cast<char>(trail < 63 ? 0x40 + trail : 0xA1 + trail - 63)};
  const std::size_t at = w.size();
  return decode_page(950, big5, 2, w) && w.size() == at + 1;
}

bool decode_euc_tw(const unsigned char* p, std::size_t n, std::wstring& w) {
  for (std::size_t i = 0; i < n;) {
    const unsigned b = p[i];
    if (b < 0x80) {
      w.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    unsigned plane = 1;
    if (b == 0x8E) {
      if (n - i < 4 || !in_range(p[i + 1], 0xA1, 0xB0)) return false;
      plane = p[i + 1] - 0xA0u;
      i += 2;
    }
    if (n - i < 2 || !in_range(p[i], 0xA1, 0xFE) || !in_range(p[i + 1], 0xA1, 0xFE)) return false;
    if (!decode_cns_cell((plane - 1) * kCnsPlaneCells + (p[i] - 0xA1u) * 94 + (p[i + 1] - 0xA1u), w))
      return false;
    i += 2;
  }
  return true;
}

void put_cns_cell(unsigned cell, std::string& out) {
  if (cell >= kCnsPlaneCells) {
    out.push_back('\x8E');
    out.push_back(static_cast<char>(0xA1 + cell / kCnsPlaneCells));
  }
  const unsigned in_plane = cell % kCnsPlaneCells;
  out.push_back(static_cast<char>(0xA1 + in_plane / 94));
  out.push_back(static_cast<char>(0xA1 + in_plane % 94));
}

bool encode_euc_tw_char(wchar_t wc, std::string& out) {
  const unsigned c = static_cast<unsigned short>(wc);
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return true;
  }
  if (in_range(c, 0xD800, 0xDFFF)) return false;
  unsigned cell = 0;
  if (const CodeRun* hit = find_to(std::begin(kCnsToUnicode), std::end(kCnsToUnicode), c)) {
    cell = hit->from + (c - hit->to);
  } else {
    std::string big5;
    if (!encode_page(950, &wc, 1, big5) || big5.size() != 2) return false;
    const unsigned lead = static_cast<unsigned char>(big5[0]), trail = static_cast<unsigned char>(big5[1]);
    const unsigned index = (lead - 0x81) * 157 + (trail < 0x80 ? trail - 0x40 : trail - 0xA1 + 63);
    const CodeRun* run = find_to(std::begin(kCnsToBig5), std::end(kCnsToBig5), index);
    if (run == nullptr) return false;
    cell = run->from + (index - run->to);
  }
  // Only a cell that reads back as the character is written.
  std::wstring back;
  if (!decode_cns_cell(cell, back) || back.size() != 1 || back[0] != wc) return false;
  put_cns_cell(cell, out);
  return true;
}

// Planes 1 and 2 first: iconv writes a character they share with a later
// plane there.
bool encode_euc_tw(const std::wstring& w, std::string& out) {
  for (std::size_t i = 0; i < w.size();) {
    const std::size_t at = i;
    const char32_t c = next_code_point(w, i);
    if (c < 0x10000 && encode_euc_tw_char(w[at], out)) continue;
    const long cell = c == kNoCharacter ? -1 : find_in_blocks(cns_planes_beyond_big5(), c);
    if (cell < 0) return false;
    put_cns_cell(static_cast<unsigned>(cell), out);
  }
  return true;
}

// Big5-HKSCS: code page 950 but for the lead rows our table holds whole.
bool is_big5_trail(unsigned b) noexcept { return in_range(b, 0x40, 0x7E) || in_range(b, 0xA1, 0xFE); }

unsigned big5_index(unsigned lead, unsigned trail) noexcept {
  return (lead - 0x81) * 157 + (trail < 0x80 ? trail - 0x40 : trail - 0xA1 + 63);
}

void put_big5(unsigned index, std::string& out) {
  const unsigned trail = index % 157;
  out.push_back(static_cast<char>(0x81 + index / 157));
  out.push_back(static_cast<char>(trail < 63 ? 0x40 + trail : 0xA1 + trail - 63));
}

// A code of the table: its character, or the letter and mark it stands for.
bool push_hkscs_char(char32_t c, unsigned code, std::wstring& w) {
  if (c != kNoCharacter) {
    push_code_point(c, w);
    return true;
  }
  for (const CodePairChars& pair : hkscs_two_characters()) {
    if (pair.code != code) continue;
    push_code_point(pair.first, w);
    push_code_point(pair.second, w);
    return true;
  }
  return false;
}

bool decode_big5_hkscs(const unsigned char* p, std::size_t n, std::wstring& w) {
  std::size_t run = 0;  // bytes from here on decode as in 950
  for (std::size_t i = 0; i < n;) {
    if (!in_range(p[i], 0x81, 0xFE) || i + 1 == n || !is_big5_trail(p[i + 1])) {
      ++i;
      continue;
    }
    const char32_t c = block_char(hkscs_blocks(), big5_index(p[i], p[i + 1]));
    if (c != 0) {
      if (!decode_page(kCpBig5, reinterpret_cast<const char*>(p + run), i - run, w) ||
          !push_hkscs_char(c, (p[i] << 8) | p[i + 1], w))
        return false;
      run = i + 2;
    }
    i += 2;
  }
  return decode_page(kCpBig5, reinterpret_cast<const char*>(p + run), n - run, w);
}

// A letter and mark HKSCS has as one code, at w[i]; i moves past them.
const CodePairChars* hkscs_pair_at(const std::wstring& w, std::size_t& i) noexcept {
  if (i + 1 >= w.size()) return nullptr;
  for (const CodePairChars& pair : hkscs_two_characters()) {
    if (w[i] == static_cast<wchar_t>(pair.first) && w[i + 1] == static_cast<wchar_t>(pair.second)) {
      i += 2;
      return &pair;
    }
  }
  return nullptr;
}

// A code of 950 that HKSCS decodes alike.
bool outside_hkscs_rows(const std::string& code) noexcept {
  if (code.size() != 2) return code.size() == 1;
  return block_char(hkscs_blocks(), big5_index(static_cast<unsigned char>(code[0]),
                                               static_cast<unsigned char>(code[1]))) == 0;
}

// One character: the code iconv writes where HKSCS has it twice, a code of
// 950 that HKSCS reads back alike, else the table's.
bool encode_hkscs_char(char32_t c, const wchar_t* wc, std::string& out) {
  const auto preferred = hkscs_preferred_codes();
  const auto hit = std::find_if(preferred.begin(), preferred.end(), [c](const CharCode& e) { return e.c == c; });
  if (hit != preferred.end()) {
    put_bytes(hit->code, out);
    return true;
  }
  std::string big5;
  if (c < 0x10000 && encode_page(kCpBig5, wc, 1, big5) && outside_hkscs_rows(big5)) {
    out += big5;
    return true;
  }
  const long index = c == kNoCharacter ? -1 : find_in_blocks(hkscs_blocks(), c);
  if (index < 0) return false;
  put_big5(static_cast<unsigned>(index), out);
  return true;
}

bool encode_big5_hkscs(const std::wstring& w, std::string& out) {
  for (std::size_t i = 0; i < w.size();) {
    if (const CodePairChars* pair = hkscs_pair_at(w, i)) {
      put_bytes(pair->code, out);
      continue;
    }
    const std::size_t at = i;
    if (!encode_hkscs_char(next_code_point(w, i), &w[at], out)) return false;
  }
  return true;
}

// EUC-KR: the rows of 949 whose bytes are both A1-FE; C1 controls pass.
// The 2002 edition added the postal-code circle at A2E8; the won sign is
// written as its full-width form.
constexpr OneWay kKsc2002{0x327E, 0xA2E8};
constexpr OneWay kWonSign{0x20A9, 0xA3DC};

bool decode_euc_kr(const unsigned char* p, std::size_t n, std::wstring& w) {
  for (std::size_t i = 0; i < n;) {
    if (p[i] < 0xA0) {
      w.push_back(static_cast<wchar_t>(p[i++]));
      continue;
    }
    const std::size_t at = w.size();
    if (n - i >= 2 && p[i] == kKsc2002.bytes >> 8 && p[i + 1] == (kKsc2002.bytes & 0xFF)) {
      w.push_back(static_cast<wchar_t>(kKsc2002.unicode));
    } else if (n - i < 2 || !in_range(p[i], 0xA1, 0xFE) || !in_range(p[i + 1], 0xA1, 0xFE) ||
        !decode_page(949, reinterpret_cast<const char*>(p + i), 2, w) || w.size() != at + 1)
      return false;
    i += 2;
  }
  return true;
}

bool encode_euc_kr_char(wchar_t wc, std::string& out) {
  const unsigned c = static_cast<unsigned>(wc);
  if (c < 0xA0 || c == kKsc2002.unicode || c == kWonSign.unicode) {
    put_bytes(c < 0xA0 ? static_cast<std::uint16_t>(c) : c == kWonSign.unicode ? kWonSign.bytes : kKsc2002.bytes, out);
    return true;
  }
  const std::size_t at = out.size();
  if (!encode_page(949, &wc, 1, out)) return false;
  const bool fits = out.size() == at + 1 ? static_cast<unsigned char>(out[at]) < 0x80
                                          : out.size() == at + 2 && in_range(static_cast<unsigned char>(out[at]), 0xA1, 0xFE) &&
                                                in_range(static_cast<unsigned char>(out[at + 1]), 0xA1, 0xFE);
  if (!fits) out.resize(at);
  return fits;
}

// GB18030: two-byte characters as code page 936 has them but for those its
// 2005 edition gave real characters; four-byte sequences count up through
// the rest of the BMP in runs, and linearly from 90308130 through the
// supplementary planes.
constexpr CodeRun kGbPairs[] = {
    {0xA2E3, 0x20AC, 1}, {0xA6D9, 0xFE10, 1}, {0xA6DA, 0xFE12, 1}, {0xA6DB, 0xFE11, 1},
    {0xA6DC, 0xFE13, 4}, {0xA6EC, 0xFE17, 2}, {0xA6F3, 0xFE19, 1}, {0xA8BC, 0x1E3F, 1},
    {0xA8BF, 0x1F9, 1}, {0xA989, 0x303E, 1}, {0xA98A, 0x2FF0, 12}, {0xFE50, 0x2E81, 1},
    {0xFE51, 0x20087, 1}, {0xFE52, 0x20089, 1}, {0xFE53, 0x200CC, 1}, {0xFE54, 0x2E84, 1},
    {0xFE55, 0x3473, 1}, {0xFE56, 0x3447, 1}, {0xFE57, 0x2E88, 1}, {0xFE58, 0x2E8B, 1},
    {0xFE59, 0x9FB4, 1}, {0xFE5A, 0x359E, 1}, {0xFE5B, 0x361A, 1}, {0xFE5C, 0x360E, 1},
    {0xFE5D, 0x2E8C, 1}, {0xFE5E, 0x2E97, 1}, {0xFE5F, 0x396E, 1}, {0xFE60, 0x3918, 1},
    {0xFE61, 0x9FB5, 1}, {0xFE62, 0x39CF, 1}, {0xFE63, 0x39DF, 1}, {0xFE64, 0x3A73, 1},
    {0xFE65, 0x39D0, 1}, {0xFE66, 0x9FB6, 2}, {0xFE68, 0x3B4E, 1}, {0xFE69, 0x3C6E, 1},
    {0xFE6A, 0x3CE0, 1}, {0xFE6B, 0x2EA7, 1}, {0xFE6C, 0x215D7, 1}, {0xFE6D, 0x9FB8, 1},
    {0xFE6E, 0x2EAA, 1}, {0xFE6F, 0x4056, 1}, {0xFE70, 0x415F, 1}, {0xFE71, 0x2EAE, 1},
    {0xFE72, 0x4337, 1}, {0xFE73, 0x2EB3, 1}, {0xFE74, 0x2EB6, 2}, {0xFE76, 0x2298F, 1},
    {0xFE77, 0x43B1, 1}, {0xFE78, 0x43AC, 1}, {0xFE79, 0x2EBB, 1}, {0xFE7A, 0x43DD, 1},
    {0xFE7B, 0x44D6, 1}, {0xFE7C, 0x4661, 1}, {0xFE7D, 0x464C, 1}, {0xFE7E, 0x9FB9, 1},
    {0xFE80, 0x4723, 1}, {0xFE81, 0x4729, 1}, {0xFE82, 0x477C, 1}, {0xFE83, 0x478D, 1},
    {0xFE84, 0x2ECA, 1}, {0xFE85, 0x4947, 1}, {0xFE86, 0x497A, 1}, {0xFE87, 0x497D, 1},
    {0xFE88, 0x4982, 2}, {0xFE8A, 0x4985, 2}, {0xFE8C, 0x499F, 1}, {0xFE8D, 0x499B, 1},
    {0xFE8E, 0x49B7, 1}, {0xFE8F, 0x49B6, 1}, {0xFE90, 0x9FBA, 1}, {0xFE91, 0x241FE, 1},
    {0xFE92, 0x4CA3, 1}, {0xFE93, 0x4C9F, 3}, {0xFE96, 0x4C77, 1}, {0xFE97, 0x4CA2, 1},
    {0xFE98, 0x4D13, 7}, {0xFE9F, 0x4DAE, 1}, {0xFEA0, 0x9FBB, 1},
};
constexpr CodeRun kGbFourByteBmp[] = {
    {0, 0x0080, 36}, {36, 0x00A5, 2}, {38, 0x00A9, 7}, {45, 0x00B2, 5}, {50, 0x00B8, 31},
    {81, 0x00D8, 8}, {89, 0x00E2, 6}, {95, 0x00EB, 1}, {96, 0x00EE, 4}, {100, 0x00F4, 3},
    {103, 0x00F8, 1}, {104, 0x00FB, 1}, {105, 0x00FD, 4}, {109, 0x0102, 17}, {126, 0x0114, 7},
    {133, 0x011C, 15}, {148, 0x012C, 24}, {172, 0x0145, 3}, {175, 0x0149, 4}, {179, 0x014E, 29},
    {208, 0x016C, 98}, {306, 0x01CF, 1}, {307, 0x01D1, 1}, {308, 0x01D3, 1}, {309, 0x01D5, 1},
    {310, 0x01D7, 1}, {311, 0x01D9, 1}, {312, 0x01DB, 1}, {313, 0x01DD, 28}, {341, 0x01FA, 87},
    {428, 0x0252, 15}, {443, 0x0262, 101}, {544, 0x02C8, 1}, {545, 0x02CC, 13}, {558, 0x02DA, 183},
    {741, 0x03A2, 1}, {742, 0x03AA, 7}, {749, 0x03C2, 1}, {750, 0x03CA, 55}, {805, 0x0402, 14},
    {819, 0x0450, 1}, {820, 0x0452, 6637}, {7457, 0xE7C7, 1}, {7458, 0x1E40, 464}, {7922, 0x2011, 2},
    {7924, 0x2017, 1}, {7925, 0x201A, 2}, {7927, 0x201E, 7}, {7934, 0x2027, 9}, {7943, 0x2031, 1},
    {7944, 0x2034, 1}, {7945, 0x2036, 5}, {7950, 0x203C, 112}, {8062, 0x20AD, 86}, {8148, 0x2104, 1},
    {8149, 0x2106, 3}, {8152, 0x210A, 12}, {8164, 0x2117, 10}, {8174, 0x2122, 62}, {8236, 0x216C, 4},
    {8240, 0x217A, 22}, {8262, 0x2194, 2}, {8264, 0x219A, 110}, {8374, 0x2209, 6}, {8380, 0x2210, 1},
    {8381, 0x2212, 3}, {8384, 0x2216, 4}, {8388, 0x221B, 2}, {8390, 0x2221, 2}, {8392, 0x2224, 1},
    {8393, 0x2226, 1}, {8394, 0x222C, 2}, {8396, 0x222F, 5}, {8401, 0x2238, 5}, {8406, 0x223E, 10},
    {8416, 0x2249, 3}, {8419, 0x224D, 5}, {8424, 0x2253, 13}, {8437, 0x2262, 2}, {8439, 0x2268, 6},
    {8445, 0x2270, 37}, {8482, 0x2296, 3}, {8485, 0x229A, 11}, {8496, 0x22A6, 25},
    {8521, 0x22C0, 82}, {8603, 0x2313, 333}, {8936, 0x246A, 10}, {8946, 0x249C, 100},
    {9046, 0x254C, 4}, {9050, 0x2574, 13}, {9063, 0x2590, 3}, {9066, 0x2596, 10}, {9076, 0x25A2, 16},
    {9092, 0x25B4, 8}, {9100, 0x25BE, 8}, {9108, 0x25C8, 3}, {9111, 0x25CC, 2}, {9113, 0x25D0, 18},
    {9131, 0x25E6, 31}, {9162, 0x2607, 2}, {9164, 0x260A, 54}, {9218, 0x2641, 1},
    {9219, 0x2643, 2110}, {11329, 0x2E82, 2}, {11331, 0x2E85, 3}, {11334, 0x2E89, 2},
    {11336, 0x2E8D, 10}, {11346, 0x2E98, 15}, {11361, 0x2EA8, 2}, {11363, 0x2EAB, 3},
    {11366, 0x2EAF, 4}, {11370, 0x2EB4, 2}, {11372, 0x2EB8, 3}, {11375, 0x2EBC, 14},
    {11389, 0x2ECB, 293}, {11682, 0x2FFC, 4}, {11686, 0x3004, 1}, {11687, 0x3018, 5},
    {11692, 0x301F, 2}, {11694, 0x302A, 20}, {11714, 0x303F, 2}, {11716, 0x3094, 7},
    {11723, 0x309F, 2}, {11725, 0x30F7, 5}, {11730, 0x30FF, 6}, {11736, 0x312A, 246},
    {11982, 0x322A, 7}, {11989, 0x3232, 113}, {12102, 0x32A4, 234}, {12336, 0x3390, 12},
    {12348, 0x339F, 2}, {12350, 0x33A2, 34}, {12384, 0x33C5, 9}, {12393, 0x33CF, 2},
    {12395, 0x33D3, 2}, {12397, 0x33D6, 113}, {12510, 0x3448, 43}, {12553, 0x3474, 298},
    {12851, 0x359F, 111}, {12962, 0x360F, 11}, {12973, 0x361B, 765}, {13738, 0x3919, 85},
    {13823, 0x396F, 96}, {13919, 0x39D1, 14}, {13933, 0x39E0, 147}, {14080, 0x3A74, 218},
    {14298, 0x3B4F, 287}, {14585, 0x3C6F, 113}, {14698, 0x3CE1, 885}, {15583, 0x4057, 264},
    {15847, 0x4160, 471}, {16318, 0x4338, 116}, {16434, 0x43AD, 4}, {16438, 0x43B2, 43},
    {16481, 0x43DE, 248}, {16729, 0x44D7, 373}, {17102, 0x464D, 20}, {17122, 0x4662, 193},
    {17315, 0x4724, 5}, {17320, 0x472A, 82}, {17402, 0x477D, 16}, {17418, 0x478E, 441},
    {17859, 0x4948, 50}, {17909, 0x497B, 2}, {17911, 0x497E, 4}, {17915, 0x4984, 1},
    {17916, 0x4987, 20}, {17936, 0x499C, 3}, {17939, 0x49A0, 22}, {17961, 0x49B8, 703},
    {18664, 0x4C78, 39}, {18703, 0x4CA4, 111}, {18814, 0x4D1A, 148}, {18962, 0x4DAF, 81},
    {19043, 0x9FA6, 14}, {19065, 0x9FBC, 14404}, {33469, 0xE76C, 1}, {33470, 0xE7C8, 1},
    {33471, 0xE7E7, 13}, {33484, 0xE815, 1}, {33485, 0xE819, 5}, {33490, 0xE81F, 7},
    {33497, 0xE827, 4}, {33501, 0xE82D, 4}, {33505, 0xE833, 8}, {33513, 0xE83C, 7},
    {33520, 0xE844, 16}, {33536, 0xE856, 14}, {33550, 0xE865, 4295}, {37845, 0xF92D, 76},
    {37921, 0xF97A, 27}, {37948, 0xF996, 81}, {38029, 0xF9E8, 9}, {38038, 0xF9F2, 26},
    {38064, 0xFA10, 1}, {38065, 0xFA12, 1}, {38066, 0xFA15, 3}, {38069, 0xFA19, 6},
    {38075, 0xFA22, 1}, {38076, 0xFA25, 2}, {38078, 0xFA2A, 998}, {39086, 0xFE1A, 22},
    {39108, 0xFE32, 1}, {39109, 0xFE45, 4}, {39113, 0xFE53, 1}, {39114, 0xFE58, 1},
    {39115, 0xFE67, 1}, {39116, 0xFE6C, 149}, {39265, 0xFF5F, 129}, {39394, 0xFFE6, 26},
};

constexpr unsigned kGbFourByteBmpEnd = 39420;  // sequences 81308130-8439FE39
constexpr unsigned kGbSupplementaryFirst = 189000;  // 90308130

unsigned gb_linear(const unsigned char* p) noexcept {
  return (((p[0] - 0x81u) * 10 + (p[1] - 0x30u)) * 126 + (p[2] - 0x81u)) * 10 + (p[3] - 0x30u);
}

bool decode_gb_pair(unsigned lead, unsigned trail, std::wstring& w) {
  const unsigned code = (lead << 8) | trail;
  if (const CodeRun* r = find_from(std::begin(kGbPairs), std::end(kGbPairs), code)) {
    push_code_point(r->to + (code - r->from), w);
    return true;
  }
  // The page's user-defined rows are the same private-use characters.
  const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t c = 0;
  if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, pair, 2, &c, 1) != 1) return false;
  w.push_back(c);
  return true;
}

bool decode_gb18030(const unsigned char* p, std::size_t n, std::wstring& w) {
  for (std::size_t i = 0; i < n;) {
    const unsigned b = p[i];
    const std::size_t left = n - i;
    if (b < 0x80) {
      w.push_back(static_cast<wchar_t>(b));
      ++i;
    } else if (!in_range(b, 0x81, 0xFE) || left < 2) {
      return false;
    } else if (in_range(p[i + 1], 0x30, 0x39)) {
      if (left < 4 || !in_range(p[i + 2], 0x81, 0xFE) || !in_range(p[i + 3], 0x30, 0x39)) return false;
      const unsigned linear = gb_linear(p + i);
      if (linear >= kGbSupplementaryFirst) {
        if (linear - kGbSupplementaryFirst > 0xFFFFF) return false;
        push_code_point(0x10000 + linear - kGbSupplementaryFirst, w);
      } else {
        const CodeRun* r = linear < kGbFourByteBmpEnd
                               ? find_from(std::begin(kGbFourByteBmp), std::end(kGbFourByteBmp), linear)
                               : nullptr;
        if (r == nullptr) return false;
        w.push_back(static_cast<wchar_t>(r->to + (linear - r->from)));
      }
      i += 4;
    } else {
      if (p[i + 1] < 0x40 || p[i + 1] == 0x7F || p[i + 1] == 0xFF || !decode_gb_pair(b, p[i + 1], w)) return false;
      i += 2;
    }
  }
  return true;
}

void put_gb_four(unsigned linear, std::string& out) {
  const char bytes[4] = {static_cast<char>(0x81 + linear / 12600), static_cast<char>(0x30 + linear / 1260 % 10),
                         static_cast<char>(0x81 + linear / 10 % 126), static_cast<char>(0x30 + linear % 10)};
  out.append(bytes, 4);
}

bool encode_gb18030(const std::wstring& w, std::string& out) {
  for (std::size_t i = 0; i < w.size(); ++i) {
    unsigned c = static_cast<unsigned short>(w[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (in_range(c, 0xD800, 0xDBFF) && i + 1 < w.size() && in_range(w[i + 1], 0xDC00, 0xDFFF)) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(w[++i]) - 0xDC00);
    } else if (in_range(c, 0xD800, 0xDFFF)) {
      return false;
    }
    if (const CodeRun* r = find_to(std::begin(kGbPairs), std::end(kGbPairs), c)) {
      put_bytes(static_cast<std::uint16_t>(r->from + (c - r->to)), out);
      continue;
    }
    if (c >= 0x10000) {
      put_gb_four(kGbSupplementaryFirst + c - 0x10000, out);
      continue;
    }
    // A pair of 936 only when it reads back as the same character.
    const wchar_t wc = static_cast<wchar_t>(c);
    char pair[2];
    BOOL used = FALSE;
    std::wstring back;
    if (WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wc, 1, pair, 2, nullptr, &used) == 2 && !used &&
        decode_gb_pair(static_cast<unsigned char>(pair[0]), static_cast<unsigned char>(pair[1]), back) &&
        back.size() == 1 && back[0] == wc) {
      out.append(pair, 2);
      continue;
    }
    const CodeRun* r = find_to(std::begin(kGbFourByteBmp), std::end(kGbFourByteBmp), c);
    if (r == nullptr) return false;
    put_gb_four(r->from + (c - r->to), out);
  }
  return true;
}

bool decode_utf16be(const unsigned char* p, std::size_t n, std::wstring& w) {
  if (n % 2 != 0) return false;
  for (std::size_t i = 0; i < n; i += 2) {
    const unsigned c = (static_cast<unsigned>(p[i]) << 8) | p[i + 1];
    if (in_range(c, 0xD800, 0xDBFF)) {
      if (i + 4 > n) return false;
      const unsigned low = (static_cast<unsigned>(p[i + 2]) << 8) | p[i + 3];
      if (!in_range(low, 0xDC00, 0xDFFF)) return false;
      w.push_back(static_cast<wchar_t>(c));
      w.push_back(static_cast<wchar_t>(low));
      i += 2;
    } else if (in_range(c, 0xDC00, 0xDFFF)) {
      return false;
    } else {
      w.push_back(static_cast<wchar_t>(c));
    }
  }
  return true;
}

bool decode(const Encoding& e, const char* p, std::size_t n, std::wstring& w) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  switch (e.kind) {
    case kEucJp: return decode_euc(u, n, w);
    case kUtf16Be: return decode_utf16be(u, n, w);
    case kEucTw: return decode_euc_tw(u, n, w);
    case kBig5Hkscs: return decode_big5_hkscs(u, n, w);
    case kEucKr: return decode_euc_kr(u, n, w);
    case kGb18030: return decode_gb18030(u, n, w);
    default: return decode_page(e.code_page, p, n, w);
  }
}

bool encode(const Encoding& e, const std::wstring& w, std::string& out) {
  const std::size_t at = out.size();
  bool ok = true;
  if (e.kind == kGb18030) {
    ok = encode_gb18030(w, out);
  } else if (e.kind == kEucTw) {
    ok = encode_euc_tw(w, out);
  } else if (e.kind == kBig5Hkscs) {
    ok = encode_big5_hkscs(w, out);
  } else if (e.kind == kEucJp || e.kind == kEucKr) {
    const auto one = e.kind == kEucJp ? encode_euc_char : encode_euc_kr_char;
    for (std::size_t i = 0; ok && i < w.size(); ++i) ok = one(w[i], out);
  } else if (e.kind == kUtf16Be) {
    for (wchar_t c : w) {
      out.push_back(static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF));
      out.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
    }
  } else {
    ok = encode_page(e.code_page, w.data(), w.size(), out);
  }
  if (!ok) out.resize(at);
  return ok;
}

// Whether `n` bytes at the end of a text are the start of a character cut
// off by that end; the whole rest then counts as one broken character.
bool is_cut_off(const Encoding& e, const unsigned char* p, std::size_t n) noexcept {
  if (e.kind == kEucJp) {
    if (n == 1) return in_range(p[0], 0x8E, 0x8F) || in_range(p[0], 0xA1, 0xFE);
    return n == 2 && p[0] == 0x8F && in_range(p[1], 0xA1, 0xFE);
  }
  if (e.kind == kUtf16Be) return n == 1 || (n == 3 && in_range(p[0], 0xD8, 0xDB));
  if (e.kind == kEucTw) {
    if (p[0] != 0x8E) return n == 1 && in_range(p[0], 0xA1, 0xFE);
    return n == 1 || (n <= 3 && in_range(p[1], 0xA1, 0xB0) && (n == 2 || in_range(p[2], 0xA1, 0xFE)));
  }
  if (e.kind == kGb18030 && in_range(n, 2, 3)) {
    return in_range(p[0], 0x81, 0xFE) && in_range(p[1], 0x30, 0x39);
  }
  if (e.code_page == kCpUtf8 && n >= 2) {
    // A lead byte, of the longer forms too, and only continuation bytes after it.
    const unsigned b = p[0];
    const std::size_t need = b >= 0xFC ? 6 : b >= 0xF8 ? 5 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    if (!in_range(b, 0xC0, 0xFD) || n >= need) return false;
    for (std::size_t i = 1; i < n; ++i) {
      if (!in_range(p[i], 0x80, 0xBF)) return false;
    }
    return true;
  }
  return false;
}

}  // namespace

CodePageConverter::CodePageConverter(const char* to_code, const char* from_code) noexcept
    : from_(encoding_from_name(from_code)), to_(encoding_from_name(to_code)) {
  for (const Encoding* e : {&from_, &to_}) {
    if (e->kind == kCodePage && !IsValidCodePage(e->code_page)) {
      from_ = {};
      to_ = {};
      break;
    }
  }
}

int CodePageConverter::convert(std::string_view in, std::string& out, std::string_view replacement,
                               SkipLengthFn skip) {
  if (!is_open()) return -1;
  // Whole text at once when nothing in it needs replacing.
  wide_.clear();
  if (decode(from_, in.data(), in.size(), wide_) && encode(to_, wide_, out)) return 0;

  // Otherwise character by character, as far as `skip` says one reaches.
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t pos = 0;
  while (pos < n) {
    const std::size_t len = std::clamp<std::size_t>(skip(p + pos, n - pos), 1, n - pos);
    wide_.clear();
    if (decode(from_, in.data() + pos, len, wide_) && encode(to_, wide_, out)) {
      pos += len;
      continue;
    }
    out.append(replacement);
    pos = is_cut_off(from_, p + pos, n - pos) ? n : pos + len;
  }
  return 0;
}

}  // namespace qln
