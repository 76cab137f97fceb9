#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qln {

// Length of the sequence at the start of `bytes` that a conversion step
// skips when it cannot convert it (at least 1, at most `n`).
using SkipLengthFn = std::size_t (*)(const unsigned char* bytes, std::size_t n) noexcept;

// One iconv descriptor for one direction, opened once and reused.
// Move-only; closes itself.
class IconvConverter {
 public:
  IconvConverter() = default;
  IconvConverter(const char* to_code, const char* from_code) noexcept;
  ~IconvConverter();
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;
  IconvConverter(IconvConverter&& other) noexcept;
  IconvConverter& operator=(IconvConverter&& other) noexcept;

  bool is_open() const noexcept;

  // Appends the conversion of `in` to `out`. A sequence that is invalid in
  // the source or missing in the target becomes `replacement`, and `skip`
  // says how many source bytes it spans; the conversion then goes on.
  // Returns 0, or -1 when no descriptor could be opened.
  int convert(std::string_view in, std::string& out, std::string_view replacement,
              SkipLengthFn skip);

 private:
  // Writes out a character the descriptor holds back; false (and reset)
  // when the target cannot hold it.
  bool flush(std::string& out);

  void* cd_ = nullptr;  // iconv_t; nullptr when closed or not available
};

}  // namespace qln
