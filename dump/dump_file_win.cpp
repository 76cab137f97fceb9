#include <windows.h>

#include <algorithm>
#include <utility>

#include "core/platform_win.hpp"
#include "dump/dump_file.hpp"

namespace qln {
namespace {

HANDLE handle_of(std::intptr_t h) noexcept { return reinterpret_cast<HANDLE>(h); }

// ReadFile takes a 32-bit count.
constexpr std::size_t kMaxReadChunk = 1u << 30;

}  // namespace

int DumpFile::open(const std::string& path) {
  close();
  // Shared reading: the export may still be open in another program.
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return -1;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  pos_ = 0;
  return 0;
}

void DumpFile::close() noexcept {
  if (is_open()) CloseHandle(handle_of(handle_));
  handle_ = kClosed;
  pos_ = 0;
}

std::int64_t DumpFile::size() const noexcept {
  LARGE_INTEGER size{};
  if (!is_open() || !GetFileSizeEx(handle_of(handle_), &size)) return -1;
  return static_cast<std::int64_t>(size.QuadPart);
}

std::int64_t DumpFile::read_at(std::int64_t pos, void* buffer, std::size_t n) const noexcept {
  if (!is_open() || pos < 0) return -1;
  LARGE_INTEGER at{};
  at.QuadPart = pos;
  if (!SetFilePointerEx(handle_of(handle_), at, nullptr, FILE_BEGIN)) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const DWORD want = static_cast<DWORD>(std::min(n - done, kMaxReadChunk));
    DWORD got = 0;
    if (!ReadFile(handle_of(handle_), out + done, want, &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace qln
