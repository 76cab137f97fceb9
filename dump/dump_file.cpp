#include "dump/dump_file.hpp"

#include <utility>

// What both platforms' dump files share; opening and reading are in
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

}  // namespace qln
