#pragma once

namespace qln {

// The upper halves of the Hebrew and Vietnamese Windows sets, byte by byte
// (the lower halves are ASCII); 0xFFFF marks a byte that is no character.
// Both platforms decode and encode these sets through them: the platforms
// join a letter and its combining mark into one character, Oracle does not.
extern const char16_t kCp1255High[128];
extern const char16_t kCp1258High[128];

}  // namespace qln
