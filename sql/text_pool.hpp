#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

namespace qln {

// The text pool of one analysis: texts are appended NUL-terminated and
// referred to by byte offset. The storage is taken once at its full size, so
// views returned by get() stay valid until clear() or release(); it is not
// cleared (only what put() wrote is ever read), as an analysis uses little.
class TextPool {
 public:
  static constexpr std::int32_t kUsable = 655360;

  // Takes the storage; false when it cannot be had.
  bool allocate();
  void release() noexcept;
  bool allocated() const noexcept { return data_ != nullptr; }
  void clear() noexcept { fill_ = 0; }
  std::int32_t fill() const noexcept { return fill_; }

  // Offset of the stored copy (the text up to its first NUL); -1 when it
  // does not fit in what is left of the pool.
  std::int32_t put(std::string_view text);
  // The text at `offset`; empty for any offset outside the stored texts.
  std::string_view get(std::int32_t offset) const noexcept;

 private:
  std::unique_ptr<char[]> data_;
  std::int32_t fill_ = 0;
};

}  // namespace qln
