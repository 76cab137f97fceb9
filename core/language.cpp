#include "core/language.hpp"

#include <cctype>
#include <cstdlib>

#include "core/platform.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qln {

namespace {

bool starts_with_word(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

}  // namespace

Language language_of_locale(std::string_view locale_name) {
  // "ja", "ja_JP", "ja_JP.eucJP", "ja.SJIS", "japanese" (older systems)
  if (starts_with_word(locale_name, "japanese")) return Language::kJapanese;
  if (!starts_with_word(locale_name, "ja")) return Language::kEnglish;
  if (locale_name.size() == 2) return Language::kJapanese;
  const char next = locale_name[2];
  return next == '_' || next == '.' || next == '@' ? Language::kJapanese : Language::kEnglish;
}

Language detect_language() {
  if (const char* forced = std::getenv("QLN_LANG"); forced != nullptr && *forced != '\0') {
    const std::string_view f = forced;
    if (starts_with_word(f, "ja")) return Language::kJapanese;
    if (starts_with_word(f, "en")) return Language::kEnglish;
  }
  const std::string name = user_locale_name("LC_MESSAGES");
  if (!name.empty()) return language_of_locale(name);
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese
                                                                    : Language::kEnglish;
#else
  return Language::kEnglish;
#endif
}

}  // namespace qln
