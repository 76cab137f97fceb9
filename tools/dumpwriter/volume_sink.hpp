// The buffered output of a dump: one file, or several volumes of a fixed
// maximum size that each begin with the header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qln::dumpwriter {

class VolumeSink {
 public:
  // volume_size 0: no limit. Paths beyond the given ones are made from the
  // last: "a.dmp" gives "a_2.dmp", "a_3.dmp" for volumes 2, 3.
  VolumeSink(std::vector<std::string> paths, std::string header, std::uint64_t volume_size);
  ~VolumeSink();
  VolumeSink(const VolumeSink&) = delete;
  VolumeSink& operator=(const VolumeSink&) = delete;

  void write(std::string_view bytes) {
    if (bytes.size() <= buffer_.size() - used_) {
      std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
      used_ += bytes.size();
    } else {
      write_slow(bytes);
    }
  }
  void write_byte(char c) {
    if (used_ == buffer_.size()) flush();
    buffer_[used_++] = c;
  }

  // Pads the last volume with zeros to a multiple of record (0: no padding,
  // never past the volume size) and closes it.
  void close(std::uint32_t record);

  std::uint64_t total_bytes() const { return total_ + used_; }
  const std::vector<std::string>& volumes() const { return written_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  void write_slow(std::string_view bytes);
  void flush();
  void write_out(const char* data, std::size_t size);
  void open_next();
  std::string volume_path(std::size_t index) const;

  std::vector<std::string> paths_;
  std::vector<std::string> written_;
  std::string header_;
  std::uint64_t volume_size_;
  std::uint64_t in_volume_ = 0;
  std::uint64_t total_ = 0;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool closed_ = false;
};

}  // namespace qln::dumpwriter
