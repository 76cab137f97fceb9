// Every pair of character sets on arbitrary bytes: a conversion may replace
// what it cannot map, but never read or write out of bounds.
#include <array>
#include <string>

#include "fuzz_support.hpp"
#include "values/charset.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Oracle ids: Windows Latin, GBK, GB18030, Big5, Korean, Thai, Hebrew,
  // Arabic, KOI8-R, DOS 850 and Oracle's UTF8 (CESU-8).
  static const std::array<int, 16> kSets = {
      qln::kCharsetSjis, qln::kCharsetEucJp, qln::kCharsetUtf8, qln::kCharsetUtf16,
      qln::kCharsetUsAscii, qln::charset_from_oracle_id(178), qln::charset_from_oracle_id(852),
      qln::charset_from_oracle_id(854), qln::charset_from_oracle_id(865),
      qln::charset_from_oracle_id(846), qln::charset_from_oracle_id(41),
      qln::charset_from_oracle_id(175), qln::charset_from_oracle_id(560),
      qln::charset_from_oracle_id(51), qln::charset_from_oracle_id(10),
      qln::charset_from_oracle_id(871)};
  static qln::CharsetConverter cv;
  if (size < 1) return 0;
  const int from = kSets[(data[0] & 0x0F) % kSets.size()];
  const int to = kSets[(data[0] >> 4) % kSets.size()];
  std::string text(qln::fuzz::as_text(data + 1, size - 1));
  (void)qln::convert_charset(cv, from, to, text);
  std::string copy(qln::fuzz::as_text(data + 1, size - 1));
  qln::euc_to_sjis(cv, copy);
  return 0;
}
