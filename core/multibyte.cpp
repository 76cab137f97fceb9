#include "core/multibyte.hpp"

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

}  // namespace qln
