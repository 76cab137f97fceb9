#include "cli/option_text.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/multibyte.hpp"

namespace qln {

namespace {

std::size_t char_size(int charset, std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  return std::min<std::size_t>(1 + static_cast<std::size_t>(mb_char_length(charset, lead)), text.size() - pos);
}

}  // namespace

std::string strip_quotes(std::string_view text, char quote) {
  if (text.size() >= 2 && text.front() == quote && text.back() == quote) {
    return std::string(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

std::size_t find_single_byte(int charset, std::string_view text, char c, std::size_t from) {
  for (std::size_t i = 0; i < text.size(); i += char_size(charset, text, i)) {
    if (i >= from && text[i] == c) return i;
  }
  return std::string_view::npos;
}

bool ends_with_single_byte(int charset, std::string_view text, char c) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += char_size(charset, text, i)) last = i;
  return last != std::string_view::npos && last == text.size() - 1 && text[last] == c;
}

long long parse_decimal(std::string_view text) {
  if (text.empty() || text.size() > 10) return -1;
  long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n > std::numeric_limits<std::int32_t>::max() ? -1 : n;
}

}  // namespace qln
