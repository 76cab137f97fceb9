#include "core/blanks.hpp"

namespace qln {
namespace {

inline bool is_white(unsigned char c) noexcept { return c == ' ' || c == '\t' || c == '\n'; }
inline unsigned char byte_at(std::string_view text, std::size_t i) noexcept {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

}  // namespace

std::string_view trim_blanks_view(std::string_view text) noexcept {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && is_white(byte_at(text, b))) ++b;
  while (e > b && is_white(byte_at(text, e - 1))) --e;
  return text.substr(b, e - b);
}

void trim_blanks(std::string& text) {
  const std::string_view kept = trim_blanks_view(text);
  const std::size_t b = static_cast<std::size_t>(kept.data() - text.data());
  const std::size_t len = kept.size();
  text.erase(b + len);
  text.erase(0, b);
}

void strip_name_quotes(std::string& text) {
  if (text.size() >= 4097 || text.size() < 2) return;
  if (text.front() == '"' && text.back() == '"') {
    text.pop_back();
    text.erase(0, 1);
  }
}

}  // namespace qln
