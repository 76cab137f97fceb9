#pragma once
#include <cstdint>
#include <span>
#include <string_view>

// Characters Windows has no code page for (built on Windows only).
namespace qln {

// Consecutive codes from `first` on and what each decodes to; kNoCharacter
// for a code that is none.
struct CodeBlock {
  std::uint32_t first;
  std::u32string_view chars;
};
inline constexpr char32_t kNoCharacter = 0xFFFF;

// A code that decodes to two characters (a letter and its combining mark).
struct CodePairChars {
  std::uint16_t code;
  char32_t first;
  char32_t second;
};

// Big5-HKSCS, whole lead rows where it differs from code page 950, by Big5
// index ((lead - 0x81) * 157 + trail's place among 40-7E, A1-FE). The codes
// of two characters are kNoCharacter there and listed apart.
std::span<const CodeBlock> hkscs_blocks() noexcept;
std::span<const CodePairChars> hkscs_two_characters() noexcept;

// A character and the code it is written as.
struct CharCode {
  char32_t c;
  std::uint16_t code;
};
// The characters found at more than one code whose code to write is not
// the first the blocks hold (box drawing: the copies at F9xx), in order.
std::span<const CharCode> hkscs_preferred_codes() noexcept;

// CNS 11643 planes 3-7 and 15 of EUC-TW by cell, counted from plane 1 row 1
// cell 1, 94 to a row and 94 * 94 to a plane.
std::span<const CodeBlock> cns_planes_beyond_big5() noexcept;

// What `index` decodes to in `blocks`: 0 when no block holds it.
inline char32_t block_char(std::span<const CodeBlock> blocks, std::uint32_t index) noexcept {
  for (const CodeBlock& b : blocks) {
    if (index >= b.first && index - b.first < b.chars.size()) return b.chars[index - b.first];
  }
  return 0;
}

}  // namespace qln
