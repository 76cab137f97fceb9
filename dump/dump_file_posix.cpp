#include "dump/dump_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

static_assert(sizeof(off_t) >= 8, "dump files need 64-bit offsets");

namespace qln {
namespace {

int fd_of(std::intptr_t handle) noexcept { return static_cast<int>(handle); }

}  // namespace

int DumpFile::open(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  // A dump is read twice and by position: a device or a pipe (which may
  // never end) is no dump file.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  handle_ = fd;
  pos_ = 0;
  return 0;
}

void DumpFile::close() noexcept {
  if (is_open()) ::close(fd_of(handle_));
  handle_ = kClosed;
  pos_ = 0;
}

std::int64_t DumpFile::size() const noexcept {
  if (!is_open()) return -1;
  struct stat st {};
  if (::fstat(fd_of(handle_), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::int64_t DumpFile::read_at(std::int64_t pos, void* buffer, std::size_t n) const noexcept {
  if (!is_open() || pos < 0) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  // pread may return short counts (pipes, signals); only 0 means the end.
  while (done < n) {
    ssize_t got = ::pread(fd_of(handle_), out + done, n - done, static_cast<off_t>(pos + static_cast<std::int64_t>(done)));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace qln
