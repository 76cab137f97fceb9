#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/global_params.hpp"
#include "dump/dump_file.hpp"

namespace qln {

// How many leading bytes of a volume hold its header lines.
inline constexpr std::size_t kHeaderScanLen = 256;

// Finds the export mode (0 tables, 1 users, 2 full) and the header length in a
// volume's first bytes. Words are made of digits and letters; a line feed ends
// a word; every other byte, NUL included, is passed over. 0 when both were
// found, else -1 (mode -1, header length 4096).
int scan_volume_header(const unsigned char* data, std::size_t n, int& mode,
                       std::int64_t& header_len);

// The buffered reader over the volumes of one classic dump. The volumes are
// read as one stream: each further volume continues at its own header length.
// Read calls return 1 after delivering the bytes, 0 at the end of the last
// volume (a request that runs past it delivers nothing usable), and -1 after
// a volume error that has been reported.
class VolumeReader {
 public:
  // The fuzz build reads in small blocks, so that values and marks cross
  // block ends often.
#ifdef QLN_READ_BLOCK_SIZE
  static constexpr std::size_t kBlockSize = QLN_READ_BLOCK_SIZE;
#else
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
#endif

  VolumeReader() = default;
  VolumeReader(const VolumeReader&) = delete;
  VolumeReader& operator=(const VolumeReader&) = delete;

  // Opens the first volume; its data begin at `start`. `sizes` holds the size
  // of every volume (taken from the files when empty). 3100 on failure.
  int open(GlobalParams& g, const std::vector<std::string>& files,
           const std::vector<std::int64_t>& sizes, std::int64_t start);
  void close() noexcept;

  int read(void* dst, std::size_t n) {
    if (end_ - pos_ >= n) {
      std::memcpy(dst, buf_.data() + pos_, n);
      pos_ += n;
      return 1;
    }
    return read_slow(static_cast<unsigned char*>(dst), n);
  }

  int get(unsigned char& b) {
    if (pos_ < end_) {
      b = buf_[pos_++];
      return 1;
    }
    return read_slow(&b, 1);
  }

  int get_u16(std::uint16_t& v) {
    if (end_ - pos_ >= 2) {
      v = static_cast<std::uint16_t>(buf_[pos_] | (buf_[pos_ + 1] << 8));
      pos_ += 2;
      return 1;
    }
    unsigned char b[2];
    int rc = read_slow(b, 2);
    if (rc == 1) v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return rc;
  }

  int get_u32(std::uint32_t& v);

  // Moves on by `n` bytes without copying them.
  int skip(std::int64_t n);

  // The buffered bytes not yet consumed (possibly none); consume() moves on.
  const unsigned char* window() const noexcept { return buf_.data() + pos_; }
  std::size_t window_size() const noexcept { return end_ - pos_; }
  void consume(std::size_t n) noexcept { pos_ += n; }
  // Makes the window non-empty: 1, 0 at the end of the data, -1 on error.
  int fill();

  // Offset of the next byte within its volume, and that volume's index.
  std::int64_t offset() const noexcept {
    return block_pos_ + static_cast<std::int64_t>(pos_);
  }
  int volume_index() const noexcept { return volume_; }
  // Bytes delivered so far across all volumes.
  std::int64_t consumed() const noexcept { return done_before_ + offset() - volume_start_; }

 private:
  int read_slow(unsigned char* dst, std::size_t n);
  int refill();
  int open_next_volume();

  GlobalParams* g_ = nullptr;
  DumpFile file_;
  std::vector<std::string> files_;
  std::vector<std::int64_t> sizes_;
  std::vector<unsigned char> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::int64_t block_pos_ = 0;     // file offset of buf_[0]
  std::int64_t volume_start_ = 0;  // where this volume's data begin
  std::int64_t done_before_ = 0;   // data bytes of earlier volumes
  int volume_ = 0;
};

}  // namespace qln
