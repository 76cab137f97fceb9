#include "core/platform.hpp"

#include <cctype>
#include <string_view>

#include "core/global_params.hpp"

namespace qln {

int charset_from_codeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;  // "EUC-JP", "Shift_JIS" and "SJIS" spellings vary
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (name == "SHIFTJIS" || name == "SJIS" || name == "CP932" || name == "WINDOWS31J") {
    return kCharsetSjis;
  }
  if (name == "EUCJP") return kCharsetEucJp;
  return kCharsetUtf8;
}

}  // namespace qln
