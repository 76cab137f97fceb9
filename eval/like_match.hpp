#pragma once
#include <string_view>

namespace qln {

// SQL LIKE: "%" matches any run of characters (none too), "_" exactly one
// character; every other character matches itself, byte for byte. A
// multibyte character of `charset` counts as one character.
bool like_match(int charset, std::string_view text, std::string_view pattern) noexcept;

}  // namespace qln
