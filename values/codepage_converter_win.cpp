#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "values/codepage_converter.hpp"

namespace qln {
namespace {

enum Kind { kNone = 0, kCodePage = 1, kEucJp = 2, kUtf16Be = 3 };

constexpr unsigned kCp932 = 932;
constexpr unsigned kCp20932 = 20932;
constexpr unsigned kCpUtf8 = 65001;

using Encoding = CodePageConverter::Encoding;

Encoding encoding_from_name(std::string_view name) noexcept {
  if (name == "CP932") return {kCodePage, kCp932};
  if (name == "EUC-JP-MS") return {kEucJp, kCp932};
  if (name == "UTF-8") return {kCodePage, kCpUtf8};
  if (name == "UTF-16BE") return {kUtf16Be, 1201};
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

// Windows gives the undefined bytes of single-byte pages private-use stand-ins.
bool is_single_byte_page(unsigned cp) noexcept { return cp != kCp932 && cp != kCpUtf8; }
bool is_private_use(unsigned c) noexcept { return in_range(c, 0xE000, 0xF8FF); }

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

// ISO-8859-7 as revised in 2003; code page 28597 keeps the 1987 table.
constexpr unsigned kCpGreek = 28597;
constexpr OneWay kGreek2003[] = {{0x2018, 0xA1}, {0x2019, 0xA2}, {0x20AC, 0xA4}, {0x20AF, 0xA5}, {0x037A, 0xAA}};

const OneWay* find_unicode(const OneWay* first, const OneWay* last, unsigned c) noexcept {
  const OneWay* hit = std::find_if(first, last, [c](const OneWay& e) { return e.unicode == c; });
  return hit == last ? nullptr : hit;
}

void put_bytes(std::uint16_t bytes, std::string& out) {
  if (bytes > 0xFF) out.push_back(static_cast<char>(bytes >> 8));
  out.push_back(static_cast<char>(bytes & 0xFF));
}

// One character through MultiByteToWideChar, strictly.
bool decode_page(unsigned cp, const char* p, std::size_t n, std::wstring& w) {
  if (n == 0) return true;
  const int len = static_cast<int>(n);
  // The Greek page is corrected below, byte by byte.
  const DWORD flags = cp == kCpGreek ? 0 : MB_ERR_INVALID_CHARS;
  const int need = MultiByteToWideChar(cp, flags, p, len, nullptr, 0);
  if (need <= 0) return false;
  const std::size_t at = w.size();
  w.resize(at + static_cast<std::size_t>(need));
  MultiByteToWideChar(cp, flags, p, len, w.data() + at, need);
  if (is_single_byte_page(cp)) {
    if (cp == kCpGreek) {
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = static_cast<unsigned char>(p[i]);
        for (const OneWay& e : kGreek2003) {
          if (e.bytes == b) w[at + i] = static_cast<wchar_t>(e.unicode);
        }
      }
    }
    for (std::size_t i = at; i < w.size(); ++i) {
      const unsigned c = w[i];
      if (is_private_use(c) || (cp == kCpGreek && (c == 0x02BC || c == 0x02BD))) return false;
    }
  }
  if (cp == kCp932 || is_windows_page(cp)) {
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
  const OneWay* first = nullptr;
  const OneWay* last = nullptr;
  if (cp == kCp932) {
    first = std::begin(kCp932Extra);
    last = std::end(kCp932Extra);
  } else if (cp == kCpGreek) {
    first = std::begin(kGreek2003);
    last = std::end(kGreek2003);
  } else {
    return encode_page_plain(cp, w, n, out);
  }
  std::size_t run = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned c = static_cast<unsigned short>(w[i]);
    const OneWay* hit = find_unicode(first, last, c);
    if (hit == nullptr && !(cp == kCpGreek && (c == 0x02BC || c == 0x02BD))) continue;
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
    if ((cp == kCp932 || is_windows_page(cp)) && (in_range(c, 0x80, 0x9F) || (cp == kCp932 && in_range(c, 0xF8F0, 0xF8F3)))) {
      return false;
    }
    if (is_single_byte_page(cp) && is_private_use(c)) return false;
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
    default: return decode_page(e.code_page, p, n, w);
  }
}

bool encode(const Encoding& e, const std::wstring& w, std::string& out) {
  const std::size_t at = out.size();
  bool ok = true;
  if (e.kind == kEucJp) {
    for (std::size_t i = 0; ok && i < w.size(); ++i) ok = encode_euc_char(w[i], out);
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
