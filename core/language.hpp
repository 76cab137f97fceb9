#pragma once
#include <cstdint>
#include <string_view>

namespace qln {

// The language of every text the user reads: messages, help, labels.
enum class Language : std::uint8_t { kJapanese, kEnglish };

// One user-visible text in both languages (UTF-8).
struct BilingualText {
  std::string_view ja;
  std::string_view en;
  constexpr std::string_view in(Language lang) const noexcept {
    return lang == Language::kJapanese ? ja : en;
  }
};

// The language a locale name such as "ja_JP.SJIS", "en_US.UTF-8" or "C" asks
// for: Japanese for "ja", English for anything else.
Language language_of_locale(std::string_view locale_name);

// The user's language: QLN_LANG (ja|en) forces it; otherwise the first set
// of LC_ALL, LC_MESSAGES and LANG decides (on Windows the user's interface
// language).
Language detect_language();

}  // namespace qln
