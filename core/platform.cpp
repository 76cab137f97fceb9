#include "core/platform.hpp"

#include <cctype>
#include <cstdlib>
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

std::string user_locale_name(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string_view codeset_of_locale(std::string_view locale_name) {
  const std::size_t dot = locale_name.find('.');
  if (dot == std::string_view::npos) return {};
  std::string_view codeset = locale_name.substr(dot + 1);
  return codeset.substr(0, codeset.find('@'));
}

}  // namespace qln
