#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdlib>
#include <memory>

#include "core/global_params.hpp"
#include "core/platform.hpp"
#include "core/platform_win.hpp"

namespace qln {
namespace {

constexpr unsigned kShiftJisPage = 932;
constexpr unsigned kUtf8Page = 65001;

struct LocalFreeDeleter {
  void operator()(wchar_t** p) const noexcept { LocalFree(p); }
};

}  // namespace

unsigned user_code_page() { return GetACP() == kShiftJisPage ? kShiftJisPage : kUtf8Page; }

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int n = static_cast<int>(text.size());
  const int need = MultiByteToWideChar(user_code_page(), 0, text.data(), n, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(need > 0 ? need : 0), L'\0');
  if (need > 0) MultiByteToWideChar(user_code_page(), 0, text.data(), n, out.data(), need);
  return out;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = static_cast<int>(text.size());
  const int need = WideCharToMultiByte(user_code_page(), 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(need > 0 ? need : 0), '\0');
  if (need > 0) WideCharToMultiByte(user_code_page(), 0, text.data(), n, out.data(), need, nullptr, nullptr);
  return out;
}

LocalTime local_now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.weekday = st.wDayOfWeek;
  t.nanosecond = static_cast<long>(st.wMilliseconds) * 1000000L;
  return t;
}

int detect_os_charset() { return user_code_page() == kShiftJisPage ? kCharsetSjis : kCharsetUtf8; }

std::string temp_dir() {
  // %TEMP% first, as the debug log has always been found there.
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetEnvironmentVariableW(L"TEMP", buf, MAX_PATH + 2);
  if (n == 0 || n > MAX_PATH + 1) n = GetTempPathW(MAX_PATH + 2, buf);
  std::string path = (n > 0 && n <= MAX_PATH + 1) ? narrow(std::wstring_view(buf, n)) : "C:\\TEMP";
  while (path.size() > 3 && is_path_separator(path.back())) path.pop_back();
  return path;
}

char path_separator() { return '\\'; }

bool is_path_separator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> program_arguments(int, char**) {
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(narrow(wide.get()[i]));
  return args;
}

void write_user_text(std::FILE* stream, std::string_view text) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &mode)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  // The console shows wide text in whatever code page it was set to.
  std::fflush(stream);
  const std::wstring wide = widen(text);
  DWORD written = 0;
  WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

std::FILE* open_named_file(const std::string& path, const char* mode) {
  const std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(widen(path).c_str(), wmode.c_str());
}

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(widen(path)); }

PathKind path_kind(const std::string& path) {
  // Opened without access rights, so that devices such as NUL and CON show
  // what they are and a link is looked at itself.
  HANDLE h = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return PathKind::kNone;
  PathKind kind = PathKind::kOther;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info)) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      kind = PathKind::kOther;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      kind = PathKind::kDirectory;
    } else {
      kind = PathKind::kRegular;
    }
  }
  CloseHandle(h);
  return kind;
}

std::int64_t regular_file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path_kind(path) != PathKind::kRegular ||
      !GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return -1;
  }
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int remove_file(const std::string& path) { return DeleteFileW(widen(path).c_str()) ? 0 : -1; }

std::size_t write_block(std::FILE* stream, const char* data, std::size_t size) {
  return std::fwrite(data, 1, size, stream);
}

}  // namespace qln
