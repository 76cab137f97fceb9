#include "eval/like_match.hpp"

#include "core/multibyte.hpp"

namespace qln {

namespace {

std::size_t char_size(int charset, std::string_view s, std::size_t at) noexcept {
  const std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(s[at])));
  return n < s.size() - at ? n : s.size() - at;  // a cut character ends at the text's end
}

}  // namespace

// Greedy matching with one back-track point: the last "%" seen. On a
// mismatch the text position after that "%" moves on by one character,
// which is enough because a later "%" supersedes every earlier choice.
bool like_match(int charset, std::string_view text, std::string_view pattern) noexcept {
  std::size_t t = 0, p = 0;
  std::size_t star_p = std::string_view::npos, star_t = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      star_p = ++p;
      star_t = t;
      continue;
    }
    if (p < pattern.size()) {
      const std::size_t tn = char_size(charset, text, t);
      if (pattern[p] == '_') {
        t += tn;
        p += char_size(charset, pattern, p);
        continue;
      }
      const std::size_t pn = char_size(charset, pattern, p);
      if (pn == tn && text.compare(t, tn, pattern.substr(p, pn)) == 0) {
        t += tn;
        p += pn;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    star_t += char_size(charset, text, star_t);
    t = star_t;
    p = star_p;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

}  // namespace qln
