#include "dump/dump_file.hpp"

#include <utility>

// What both platforms' dump files share; opening and positioned reads are in
// dump_file_posix.cpp and dump_file_win.cpp.
namespace qln {

DumpFile::DumpFile(DumpFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)), pos_(std::exchange(other.pos_, 0)) {}

DumpFile& DumpFile::operator=(DumpFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kClosed);
    pos_ = std::exchange(other.pos_, 0);
  }
  return *this;
}

std::int64_t DumpFile::read(void* buffer, std::size_t n) noexcept {
  std::int64_t got = read_at(pos_, buffer, n);
  if (got > 0) pos_ += got;
  return got;
}

int DumpFile::seek(std::int64_t pos) noexcept {
  if (pos < 0) return -1;
  pos_ = pos;
  return 0;
}

}  // namespace qln
