#include "values/iconv_converter.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace qln {
namespace {

constexpr std::size_t kIconvFailed = static_cast<std::size_t>(-1);

iconv_t as_iconv(void* cd) noexcept { return static_cast<iconv_t>(cd); }

}  // namespace

IconvConverter::IconvConverter(const char* to_code, const char* from_code) noexcept {
  iconv_t cd = iconv_open(to_code, from_code);
  cd_ = (cd == reinterpret_cast<iconv_t>(-1)) ? nullptr : static_cast<void*>(cd);
}

IconvConverter::~IconvConverter() {
  if (cd_ != nullptr) iconv_close(as_iconv(cd_));
}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : cd_(std::exchange(other.cd_, nullptr)) {}

IconvConverter& IconvConverter::operator=(IconvConverter&& other) noexcept {
  if (this != &other) {
    if (cd_ != nullptr) iconv_close(as_iconv(cd_));
    cd_ = std::exchange(other.cd_, nullptr);
  }
  return *this;
}

bool IconvConverter::is_open() const noexcept { return cd_ != nullptr; }

int IconvConverter::convert(std::string_view in, std::string& out, std::string_view replacement,
                            SkipLengthFn skip) {
  if (cd_ == nullptr) return -1;
  iconv_t cd = as_iconv(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);

  // iconv's prototype takes char** for input it never writes.
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char chunk[4096];
  for (;;) {
    char* dst = chunk;
    std::size_t dst_left = sizeof chunk;
    std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    int err = (rc == kIconvFailed) ? errno : 0;
    out.append(chunk, static_cast<std::size_t>(dst - chunk));
    if (rc != kIconvFailed) break;
    if (err == E2BIG) continue;
    if (err == EILSEQ || err == EINVAL) {
      // A character held back for a combining mark comes out first, so
      // that the replacement keeps its place after it. EINVAL is a
      // sequence cut off by the end of the text.
      if (!flush(out)) out.append(replacement);
      out.append(replacement);
      std::size_t n = (err == EINVAL)
                          ? src_left
                          : std::clamp<std::size_t>(
                                skip(reinterpret_cast<const unsigned char*>(src), src_left), 1,
                                src_left);
      src += n;
      src_left -= n;
      if (src_left == 0) break;
      continue;
    }
    return -1;
  }
  // Big5-HKSCS holds a letter back for a combining mark it may join (Ê with
  // a macron is one code) until the end; one the target cannot hold still
  // leaves its replacement.
  if (!flush(out)) out.append(replacement);
  return 0;
}

bool IconvConverter::flush(std::string& out) {
  iconv_t cd = as_iconv(cd_);
  char chunk[64];
  char* dst = chunk;
  std::size_t dst_left = sizeof chunk;
  const bool flushed = iconv(cd, nullptr, nullptr, &dst, &dst_left) != kIconvFailed;
  out.append(chunk, static_cast<std::size_t>(dst - chunk));
  if (!flushed) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return flushed;
}

}  // namespace qln
