#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "core/global_params.hpp"
#include "core/platform.hpp"

namespace qln {

LocalTime local_now() {
  LocalTime t;
  std::timespec ts{};
  if (clock_gettime(CLOCK_REALTIME, &ts) != 0) {
    ts.tv_sec = std::time(nullptr);
    ts.tv_nsec = 0;
  }
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.weekday = tm.tm_wday;
  t.nanosecond = ts.tv_nsec;
  return t;
}

int detect_os_charset() {
  if (const std::string name = user_locale_name("LC_CTYPE"); !codeset_of_locale(name).empty()) {
    return charset_from_codeset(codeset_of_locale(name));
  }
  // Ask the user's locale, then put the process back as it was: the rest of
  // the engine classifies bytes in the "C" locale.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  int charset = kCharsetUtf8;
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    charset = charset_from_codeset(codeset != nullptr ? codeset : "");
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  return charset;
}

std::string temp_dir() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

char path_separator() { return '/'; }

bool is_path_separator(char c) { return c == '/'; }

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void write_user_text(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::FILE* open_named_file(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(path); }

PathKind path_kind(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return PathKind::kNone;
  if (S_ISREG(st.st_mode)) return PathKind::kRegular;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  return PathKind::kOther;
}

std::int64_t regular_file_size(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

int remove_file(const std::string& path) { return std::remove(path.c_str()) == 0 ? 0 : -1; }

std::size_t write_block(std::FILE* stream, const char* data, std::size_t size) {
  const int fd = fileno(stream);
  // A stream in memory has no file to write past it.
  if (fd < 0) return std::fwrite(data, 1, size, stream);
  if (std::fflush(stream) != 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace qln
