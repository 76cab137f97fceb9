#include "sql/text_pool.hpp"

#include <algorithm>
#include <cstring>
#include <new>

namespace qln {

bool TextPool::allocate() {
  if (allocated()) return true;
  try {
    data_ = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(kUsable) + 1);
  } catch (const std::bad_alloc&) {
    return false;
  }
  fill_ = 0;
  return true;
}

void TextPool::release() noexcept {
  data_.reset();
  fill_ = 0;
}

std::int32_t TextPool::put(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.size() + static_cast<std::size_t>(fill_) > static_cast<std::size_t>(kUsable) - 1) {
    return -1;
  }
  if (!allocate()) return -1;
  const std::int32_t offset = fill_;
  std::copy(text.begin(), text.end(), data_.get() + offset);
  data_[static_cast<std::size_t>(offset) + text.size()] = '\0';
  fill_ = offset + static_cast<std::int32_t>(text.size()) + 1;
  return offset;
}

std::string_view TextPool::get(std::int32_t offset) const noexcept {
  if (offset < 0 || offset >= fill_ || offset >= kUsable) return {};
  const char* start = data_.get() + offset;
  const void* end = std::memchr(start, '\0', static_cast<std::size_t>(fill_ - offset));
  const std::size_t len = end ? static_cast<std::size_t>(static_cast<const char*>(end) - start)
                              : static_cast<std::size_t>(fill_ - offset);
  return {start, len};
}

}  // namespace qln
