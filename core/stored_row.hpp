#pragma once
#include <cstdint>

namespace qln {

// A gathered row keeps the dump's own framing: per column a 16-bit
// little-endian length and that many bytes; a NULL is the length 0xFFFE alone.
inline constexpr std::uint16_t kMaxRowValueLen = 4000;
inline constexpr std::uint16_t kNullLength = 0xFFFE;

}  // namespace qln
