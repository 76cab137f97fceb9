#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qln {

// Removes one pair of enclosing `quote` characters.
std::string strip_quotes(std::string_view text, char quote);

// Index of the first `c` at or after `from` that is a character of its own
// (not a byte inside a multibyte character), or npos.
std::size_t find_single_byte(int charset, std::string_view text, char c, std::size_t from = 0);

// True when the last character of `text` is the single byte `c`.
bool ends_with_single_byte(int charset, std::string_view text, char c);

// The value of a text of decimal digits within the int32 range, else -1.
long long parse_decimal(std::string_view text);

}  // namespace qln
