#pragma once
#include <array>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "values/platform_converter.hpp"

namespace qln {

// Oracle character-set name to our id (exact, case-sensitive); -1 unknown.
int charset_id_from_name(std::string_view name) noexcept;

// "Shift_JIS", "EUC", "UTF8", "UTF16"; Oracle's name for the other sets we
// know ("WE8MSWIN1252"); "UNKNOWN" for the rest.
std::string_view charset_display_name(int id) noexcept;

// Oracle sets converted through the platform besides the Japanese and
// Unicode ones (WE8MSWIN1252, ZHS16GBK and the like). Their ids lie apart
// from the region ids the name table gives for sets without a conversion.
inline constexpr int kCharsetOracleFirst = 101;
inline constexpr int kCharsetOracleLast = 135;

constexpr bool is_oracle_set(int id) noexcept {
  return id >= kCharsetOracleFirst && id <= kCharsetOracleLast;
}

// How a set's characters are built, which tells how far an unconvertible
// sequence reaches.
enum class CharWidth : unsigned char { kSingle, kDouble, kEuc, kGb, kEucTw };

struct OracleCharset {
  int id;                  // ours
  unsigned oracle_id;      // 16-bit id in the classic header
  std::string_view name;   // Oracle's name
  const char* iconv_name;
  unsigned code_page;      // Windows; 0 when Windows has none
  CharWidth width;
  // Bytes 80-FF of a set both platforms convert byte by byte through our
  // own table, as Oracle does (values/byte_tables.hpp); null for the rest.
  const char16_t* byte_table = nullptr;
};

// The sets with ids kCharsetOracleFirst.. in id order.
std::span<const OracleCharset> oracle_charsets() noexcept;

bool is_single_byte_set(int id) noexcept;
// The Chinese and Korean sets of the table (the Japanese ones are ids 1, 2).
bool is_multibyte_set(int id) noexcept;

// Our id of a 16-bit Oracle character-set id (any set we convert, US7ASCII
// included); -1 when it is none of them.
int charset_from_oracle_id(unsigned oracle_id) noexcept;

// True for the ids with conversions: 1 Shift_JIS, 2 EUC-JP, 3 UTF-8,
// 4 UTF-16 and the Oracle sets above.
constexpr bool has_conversion(int id) noexcept {
  return (id >= 1 && id <= 4) || is_oracle_set(id);
}

// Oracle's UTF8 stores a supplementary character as two three-byte
// surrogates; joins each such pair into its four-byte UTF-8 form, in place.
void join_surrogate_pairs(std::string& text);

// What a character that cannot be converted becomes in the target set.
std::string_view replacement_char(int id) noexcept;

// The character set a run writes: Shift_JIS when TO_SJIS is on.
int output_charset(const ConvOptions& o) noexcept;

// Conversions between the ids with conversions. One converter belongs to whoever owns the run;
// it opens each platform conversion once and keeps it, so converting in a
// per-value loop costs no set-up. Not thread-safe (one per thread).
class CharsetConverter {
 public:
  CharsetConverter() = default;
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;
  CharsetConverter(CharsetConverter&&) noexcept = default;
  CharsetConverter& operator=(CharsetConverter&&) noexcept = default;

  // Platform conversion of `in` from `from` to `to` (two ids with
  // conversions), appended to `out`; invalid or unmappable characters become
  // the target's replacement.
  // -1 when the platform has no such conversion.
  int platform_convert(int from, int to, std::string_view in, std::string& out);

  // Scratch space the in-place conversions swap with the caller's text.
  std::string& scratch() noexcept { return scratch_; }

 private:
  PlatformConverter& descriptor(int from, int to);

  // The directions opened so far (a run uses one or two): every row's
  // values own a converter, so it must cost nothing until it is used.
  struct Direction {
    int from = 0;
    int to = 0;
    PlatformConverter converter;
  };
  std::vector<Direction> descriptors_;
  std::string scratch_;
  std::string via_utf8_;  // the sets converted by our own tables go through UTF-8
};

// Converts `text` in place from id `from` to id `to`. Equal ids, and ids
// without conversions (ASCII, region ids, foreign sets, unknown), leave it
// unchanged. Never stops on bad input: invalid sequences become the
// target's replacement character. Returns 0, or -1 (text unchanged) when the
// platform conversion is unavailable.
int convert_charset(CharsetConverter& cv, int from, int to, std::string& text);

// EUC-JP to Shift_JIS and back by JIS X 0208 byte arithmetic; three-byte
// (0x8F) and Shift_JIS extension characters go through the platform.
void euc_to_sjis(CharsetConverter& cv, std::string& text);
void sjis_to_euc(CharsetConverter& cv, std::string& text);

int sjis_to_utf8(CharsetConverter& cv, std::string& text);
int utf8_to_sjis(CharsetConverter& cv, std::string& text);
int utf16_to_sjis(CharsetConverter& cv, std::string& text);  // big-endian source

// Writes EF BB BF; 0, or -1 when the write fails.
int write_utf8_bom(std::FILE* file) noexcept;

// Messages and labels are kept as UTF-8 and printed in the user's character
// set: returns `utf8` converted to `os_charset` (unchanged for UTF-8 and for
// ids without conversions). The second form fits GlobalParams::message_converter.
std::string utf8_to_os_charset(CharsetConverter& cv, int os_charset, std::string_view utf8);
std::string utf8_to_os_charset(int os_charset, std::string_view utf8);

}  // namespace qln
