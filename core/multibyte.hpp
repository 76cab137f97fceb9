#pragma once
#include <cstddef>
#include <string_view>

namespace qln {

// How many more bytes belong to the character that `lead` starts in the
// given character set (0 for a single-byte character).
int mb_char_length(int charset, unsigned char lead) noexcept;

// The longest prefix of `text` of at most `max_bytes` that ends on a whole
// character of `charset`.
std::size_t cut_at_char_boundary(int charset, std::string_view text, std::size_t max_bytes) noexcept;

// The bytes of the whole, valid character of `charset` that `text` starts
// with: 1 for a single-byte character, 0 when the text is empty or starts
// with a lead byte that is cut off or followed by bytes that cannot trail it.
std::size_t valid_char_length(int charset, std::string_view text) noexcept;

// The columns `text` takes on screen: two for a full-width character.
std::size_t display_width(int charset, std::string_view text) noexcept;

}  // namespace qln
