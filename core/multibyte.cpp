#include "core/multibyte.hpp"

#include <cstdint>

#include "core/global_params.hpp"

namespace qln {

int mb_char_length(int charset, unsigned char lead) noexcept {
  switch (charset) {
    case kCharsetSjis:
      return ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 1 : 0;
    case kCharsetEucJp:
      return ((lead >= 0xA1 && lead <= 0xFE) || lead == 0x8E) ? 1 : 0;
    case kCharsetUtf8:
      if (lead >= 0xC0 && lead <= 0xDF) return 1;
      if (lead >= 0xE0 && lead <= 0xEF) return 2;
      if (lead >= 0xF0 && lead <= 0xF7) return 3;
      return 0;
    case kCharsetUtf16:
      return (lead >= 0xD8 && lead <= 0xDB) ? 3 : 1;
    default:
      return 0;
  }
}

std::size_t cut_at_char_boundary(int charset, std::string_view text, std::size_t max_bytes) noexcept {
  if (text.size() <= max_bytes) return text.size();
  std::size_t pos = 0;
  while (pos < max_bytes) {
    const std::size_t next =
        pos + 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(text[pos])));
    if (next > max_bytes) break;
    pos = next;
  }
  return pos;
}

namespace {

bool in(unsigned char c, unsigned char lo, unsigned char hi) noexcept { return c >= lo && c <= hi; }

// Whether a UTF-8 sequence of `n` bytes is the shortest form of a code point
// that is no surrogate.
bool valid_utf8(std::string_view s, std::size_t n) noexcept {
  const auto b0 = static_cast<unsigned char>(s[0]);
  const auto b1 = static_cast<unsigned char>(s[1]);
  for (std::size_t i = 1; i < n; ++i)
    if (!in(static_cast<unsigned char>(s[i]), 0x80, 0xBF)) return false;
  if (n == 2) return b0 >= 0xC2;
  if (n == 3) return !(b0 == 0xE0 && b1 < 0xA0) && !(b0 == 0xED && b1 > 0x9F);
  return b0 <= 0xF4 && !(b0 == 0xF0 && b1 < 0x90) && !(b0 == 0xF4 && b1 > 0x8F);
}

std::uint32_t utf8_code_point(std::string_view s, std::size_t n) noexcept {
  std::uint32_t cp = static_cast<unsigned char>(s[0]) & (0x7Fu >> n);
  for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3Fu);
  return cp;
}

// East Asian wide and full-width characters.
bool is_wide(std::uint32_t cp) noexcept {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x20000 && cp <= 0x3FFFD);
}

}  // namespace

std::size_t valid_char_length(int charset, std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (charset == kCharsetUtf16) return 1;
  const std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, lead));
  if (n == 1) {
    // A byte that only ever starts or continues a character is no character.
    return charset == kCharsetUtf8 && lead >= 0x80 ? 0 : 1;
  }
  if (n > text.size()) return 0;
  const auto trail = static_cast<unsigned char>(text[1]);
  switch (charset) {
    case kCharsetSjis:
      return in(trail, 0x40, 0x7E) || in(trail, 0x80, 0xFC) ? n : 0;
    case kCharsetEucJp:
      return (lead == 0x8E ? in(trail, 0xA1, 0xDF) : in(trail, 0xA1, 0xFE)) ? n : 0;
    case kCharsetUtf8:
      return valid_utf8(text, n) ? n : 0;
    default:
      return n;
  }
}

std::size_t display_width(int charset, std::string_view text) noexcept {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = valid_char_length(charset, text.substr(i));
    if (n <= 1) {
      width += 1;
      i += 1;
      continue;
    }
    if (charset == kCharsetUtf8) {
      width += is_wide(utf8_code_point(text.substr(i), n)) ? 2 : 1;
    } else {
      // Half-width katakana of EUC-JP take two bytes but one column.
      width += charset == kCharsetEucJp && static_cast<unsigned char>(text[i]) == 0x8E ? 1 : 2;
    }
    i += n;
  }
  return width;
}

}  // namespace qln
