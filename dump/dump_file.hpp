#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qln {

// A dump file opened for shared reading, with 64-bit positions so that
// dumps larger than 4 GB are read whole. Move-only; closes itself.
class DumpFile {
 public:
  DumpFile() = default;
  explicit DumpFile(const std::string& path) { open(path); }
  ~DumpFile() { close(); }
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;
  DumpFile(DumpFile&& other) noexcept;
  DumpFile& operator=(DumpFile&& other) noexcept;

  // 0, or -1 when the file cannot be opened or is no regular file (a
  // folder, a device, a pipe).
  int open(const std::string& path);
  void close() noexcept;
  bool is_open() const noexcept { return handle_ != kClosed; }

  // The file's size in bytes, -1 on failure.
  std::int64_t size() const noexcept;

  // Reads up to `n` bytes at `pos` without moving the sequential position.
  // Returns the bytes read (fewer only at the end of the file), -1 on failure.
  std::int64_t read_at(std::int64_t pos, void* buffer, std::size_t n) const noexcept;

  // Sequential reading from the current position, which advances.
  std::int64_t read(void* buffer, std::size_t n) noexcept;
  int seek(std::int64_t pos) noexcept;  // 0, or -1 for a negative position
  std::int64_t tell() const noexcept { return pos_; }

 private:
  // A descriptor, or on Windows a HANDLE (whose invalid value is also -1).
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
  std::int64_t pos_ = 0;
};

}  // namespace qln
