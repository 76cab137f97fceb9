#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "values/iconv_converter.hpp"

namespace qln {

// One direction of conversion through the Windows code pages, the
// counterpart of IconvConverter where iconv is not there: it takes the same
// names and gives the same results and replacements. EUC-JP is done by
// JIS X 0208 arithmetic over code page 932, its JIS X 0212 plane through
// code page 20932, and UTF-16 big-endian by swapping bytes.
class CodePageConverter {
 public:
  // One of the encoding kinds below plus its code page.
  struct Encoding {
    int kind = 0;
    unsigned code_page = 0;
  };

  CodePageConverter() = default;
  CodePageConverter(const char* to_code, const char* from_code) noexcept;
  CodePageConverter(CodePageConverter&&) noexcept = default;
  CodePageConverter& operator=(CodePageConverter&&) noexcept = default;
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  bool is_open() const noexcept { return from_.kind != 0 && to_.kind != 0; }

  // As IconvConverter::convert.
  int convert(std::string_view in, std::string& out, std::string_view replacement, SkipLengthFn skip);

 private:
  Encoding from_;
  Encoding to_;
  std::wstring wide_;  // reused between calls
};

}  // namespace qln
