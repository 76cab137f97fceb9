#pragma once
#include <string_view>

namespace qln {

// Oracle names and SQL keywords compare without regard to letter case, and
// only ASCII letters fold: bytes of multibyte characters never change.
constexpr unsigned char ascii_upper(unsigned char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

constexpr bool equals_nocase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(static_cast<unsigned char>(a[i])) != ascii_upper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

constexpr bool starts_with_nocase(std::string_view s, std::string_view prefix) noexcept {
  return s.size() >= prefix.size() && equals_nocase(s.substr(0, prefix.size()), prefix);
}

}  // namespace qln
