#include "fuzz_support.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qln::fuzz {

namespace fs = std::filesystem;

const std::string& scratch_dir() {
  static const std::string dir = [] {
    // A memory file system where there is one: every input writes files.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "qln-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    fs::current_path(pattern);
    return pattern;
  }();
  // Registered after the path exists, so it runs before the path goes.
  static const bool cleaned_at_exit = std::atexit([] {
    std::error_code gone;
    fs::current_path("/", gone);
    fs::remove_all(scratch_dir(), gone);
  }) == 0;
  (void)cleaned_at_exit;
  return dir;
}

std::string write_scratch_file(std::string_view name, std::string_view bytes) {
  const std::string path = (fs::path(scratch_dir()) / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void clear_scratch(std::string_view keep) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(scratch_dir(), ec)) {
    if (!keep.empty() && entry.path().filename() == keep) continue;
    fs::remove_all(entry.path(), ec);
  }
}

void silence_stdout() {
  static const bool done = [] {
    std::fflush(stdout);
    const int fd = ::open("/dev/null", O_WRONLY);
    if (fd >= 0) {
      ::dup2(fd, STDOUT_FILENO);
      ::close(fd);
    }
    return true;
  }();
  (void)done;
}

}  // namespace qln::fuzz
