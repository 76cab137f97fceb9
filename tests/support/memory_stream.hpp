#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qln::test_support {

// Collects what a function writes to a stdio stream, byte for byte (a
// binary temporary file where there is no open_memstream).
class MemoryStream {
 public:
#ifdef _WIN32
  MemoryStream() : stream_(std::tmpfile()) {}
#else
  MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
#endif
  ~MemoryStream() {
    if (stream_ != nullptr) std::fclose(stream_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  std::FILE* get() const { return stream_; }
  std::string text() {
    std::fflush(stream_);
#ifdef _WIN32
    std::string out;
    std::rewind(stream_);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, stream_)) > 0;) out.append(chunk, n);
    std::fseek(stream_, 0, SEEK_END);
    return out;
#else
    return std::string(data_, size_);
#endif
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_;
};

}  // namespace qln::test_support
