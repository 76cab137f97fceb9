#include "dump/volume_reader.hpp"

#include <algorithm>

#include "core/messages.hpp"

namespace qln {

int scan_volume_header(const unsigned char* data, std::size_t n, int& mode,
                       std::int64_t& header_len) {
  mode = -1;
  header_len = 4096;
  std::string word;
  bool mode_found = false;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char c = data[i];
    if ((c >= '0' && c <= '9') || (c >= 0x41 && c <= 0x7A)) {
      if (word.size() < 64) word.push_back(static_cast<char>(c));
      continue;
    }
    if (c != '\n') continue;
    if (!mode_found) {
      if (word == "RTABLES") mode = 0;
      else if (word == "RUSERS") mode = 1;
      else if (word == "RENTIRE") mode = 2;
      mode_found = mode >= 0;
    } else {
      if (word.empty() || word.size() > 18 ||
          !std::all_of(word.begin(), word.end(), [](char d) { return d >= '0' && d <= '9'; }))
        return -1;
      header_len = std::stoll(word);
      return 0;
    }
    word.clear();
  }
  return -1;
}

int VolumeReader::open(GlobalParams& g, const std::vector<std::string>& files,
                       const std::vector<std::int64_t>& sizes, std::int64_t start) {
  close();
  g_ = &g;
  files_ = files;
  sizes_ = sizes;
  if (files_.empty()) return fail(g, MessageCode::kDumpOpen, "");
  sizes_.resize(files_.size(), -1);
  if (file_.open(files_[0]) != 0) return fail(g, MessageCode::kDumpOpen, files_[0]);
  if (sizes_[0] < 0) sizes_[0] = file_.size();
  if (buf_.size() != kBlockSize) buf_.assign(kBlockSize, 0);
  volume_ = 0;
  block_pos_ = start;
  volume_start_ = start;
  done_before_ = 0;
  pos_ = end_ = 0;
  return 0;
}

void VolumeReader::close() noexcept {
  file_.close();
  pos_ = end_ = 0;
  block_pos_ = volume_start_ = done_before_ = 0;
  volume_ = 0;
}

// Loads the next block of the current volume, or moves to the next volume.
int VolumeReader::refill() {
  for (;;) {
    std::int64_t next = block_pos_ + static_cast<std::int64_t>(end_);
    std::int64_t limit = sizes_[static_cast<std::size_t>(volume_)];
    if (file_.is_open() && next < limit) {
      std::size_t want = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(kBlockSize), limit - next));
      std::int64_t got = file_.read_at(next, buf_.data(), want);
      if (got < 0) return fail(*g_, MessageCode::kDumpFormat, "");
      if (got > 0) {
        block_pos_ = next;
        pos_ = 0;
        end_ = static_cast<std::size_t>(got);
        return 1;
      }
      // The file is shorter than its recorded size: its data end here.
      sizes_[static_cast<std::size_t>(volume_)] = next;
      continue;
    }
    if (static_cast<std::size_t>(volume_) + 1 >= files_.size()) return 0;
    int rc = open_next_volume();
    if (rc != 1) return rc;
  }
}

int VolumeReader::open_next_volume() {
  done_before_ += block_pos_ + static_cast<std::int64_t>(end_) - volume_start_;
  file_.close();
  ++volume_;
  const std::string& path = files_[static_cast<std::size_t>(volume_)];
  if (file_.open(path) != 0) return fail(*g_, MessageCode::kDumpOpen, path);
  std::int64_t& size = sizes_[static_cast<std::size_t>(volume_)];
  if (size < 0) size = file_.size();
  std::int64_t got = file_.read_at(0, buf_.data(), kHeaderScanLen);
  if (got <= 0) return fail(*g_, MessageCode::kDumpHeader, "");
  int mode = -1;
  std::int64_t header_len = 0;
  if (scan_volume_header(buf_.data(), static_cast<std::size_t>(got), mode, header_len) != 0)
    return fail(*g_, MessageCode::kDumpHeader, "");
  if (header_len >= 65536) return fail(*g_, MessageCode::kDumpBuffer, "header_buffer");
  block_pos_ = header_len;
  volume_start_ = header_len;
  pos_ = end_ = 0;
  return 1;
}

int VolumeReader::fill() {
  if (pos_ < end_) return 1;
  return refill();
}

int VolumeReader::read_slow(unsigned char* dst, std::size_t n) {
  while (n > 0) {
    if (pos_ == end_) {
      int rc = refill();
      if (rc != 1) return rc;
    }
    std::size_t take = std::min(n, end_ - pos_);
    std::memcpy(dst, buf_.data() + pos_, take);
    pos_ += take;
    dst += take;
    n -= take;
  }
  return 1;
}

int VolumeReader::get_u32(std::uint32_t& v) {
  unsigned char b[4];
  int rc = read(b, 4);
  if (rc == 1)
    v = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
        (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  return rc;
}

int VolumeReader::skip(std::int64_t n) {
  while (n > 0) {
    if (pos_ == end_) {
      int rc = refill();
      if (rc != 1) return rc;
    }
    std::size_t take = static_cast<std::size_t>(
        std::min<std::int64_t>(n, static_cast<std::int64_t>(end_ - pos_)));
    pos_ += take;
    n -= static_cast<std::int64_t>(take);
  }
  return 1;
}

}  // namespace qln
