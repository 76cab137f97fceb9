#include "dumpwriter/volume_sink.hpp"

#include <algorithm>
#include <charconv>

#include "dumpwriter/dump_options.hpp"

namespace qln::dumpwriter {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

VolumeSink::VolumeSink(std::vector<std::string> paths, std::string header, std::uint64_t volume_size)
    : paths_(std::move(paths)), header_(std::move(header)), volume_size_(volume_size), buffer_(kBufferSize) {
  if (paths_.empty()) throw DumpWriteError("no dump file name");
  if (volume_size_ != 0 && volume_size_ <= header_.size())
    throw DumpWriteError("volume size must exceed the header length");
  open_next();
}

VolumeSink::~VolumeSink() {
  if (!closed_ && file_) {
    // Best effort: an unfinished dump still gets the bytes it was given.
    if (used_ != 0) std::fwrite(buffer_.data(), 1, used_, file_.get());
  }
}

std::string VolumeSink::volume_path(std::size_t index) const {
  if (index < paths_.size()) return paths_[index];
  const std::string& last = paths_.back();
  const std::size_t slash = last.find_last_of('/');
  const std::size_t dot = last.find_last_of('.');
  char suffix_buf[24] = {'_'};
  const auto end = std::to_chars(suffix_buf + 1, suffix_buf + sizeof suffix_buf, index + 1).ptr;
  const std::string suffix(suffix_buf, end);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return last + suffix;
  return last.substr(0, dot) + suffix + last.substr(dot);
}

void VolumeSink::open_next() {
  const std::string path = volume_path(written_.size());
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) throw DumpWriteError("cannot create " + path);
  written_.push_back(path);
  if (std::fwrite(header_.data(), 1, header_.size(), file_.get()) != header_.size())
    throw DumpWriteError("write failed on " + path);
  in_volume_ = header_.size();
  total_ += header_.size();
}

void VolumeSink::write_out(const char* data, std::size_t size) {
  while (size > 0) {
    if (volume_size_ != 0 && in_volume_ >= volume_size_) {
      if (std::fclose(file_.release()) != 0) throw DumpWriteError("close failed on " + written_.back());
      open_next();
    }
    std::size_t take = size;
    if (volume_size_ != 0) take = static_cast<std::size_t>(std::min<std::uint64_t>(size, volume_size_ - in_volume_));
    if (std::fwrite(data, 1, take, file_.get()) != take) throw DumpWriteError("write failed on " + written_.back());
    data += take;
    size -= take;
    in_volume_ += take;
    total_ += take;
  }
}

void VolumeSink::flush() {
  if (used_ == 0) return;
  const std::size_t n = used_;
  used_ = 0;
  write_out(buffer_.data(), n);
}

void VolumeSink::write_slow(std::string_view bytes) {
  flush();
  if (bytes.size() >= buffer_.size()) {
    write_out(bytes.data(), bytes.size());
  } else {
    std::copy(bytes.begin(), bytes.end(), buffer_.begin());
    used_ = bytes.size();
  }
}

void VolumeSink::close(std::uint32_t record) {
  if (closed_) return;
  flush();
  if (record != 0) {
    std::uint64_t pad = (record - in_volume_ % record) % record;
    if (volume_size_ != 0) pad = std::min(pad, volume_size_ - in_volume_);
    const std::string zeros(static_cast<std::size_t>(pad), '\0');
    if (pad != 0 && std::fwrite(zeros.data(), 1, zeros.size(), file_.get()) != zeros.size())
      throw DumpWriteError("write failed on " + written_.back());
    in_volume_ += pad;
    total_ += pad;
  }
  closed_ = true;
  if (std::fclose(file_.release()) != 0) throw DumpWriteError("close failed on " + written_.back());
}

}  // namespace qln::dumpwriter
