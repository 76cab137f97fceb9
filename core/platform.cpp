#include "core/platform.hpp"

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string_view>

#ifndef _WIN32
#include <langinfo.h>
#endif

#include "core/global_params.hpp"

namespace qln {

LocalTime local_now() {
  LocalTime t;
  std::timespec ts{};
  if (clock_gettime(CLOCK_REALTIME, &ts) != 0) {
    ts.tv_sec = std::time(nullptr);
    ts.tv_nsec = 0;
  }
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &ts.tv_sec);
#else
  localtime_r(&ts.tv_sec, &tm);
#endif
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

int charset_from_codeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;  // "EUC-JP", "Shift_JIS" and "SJIS" spellings vary
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (name == "SHIFTJIS" || name == "SJIS" || name == "CP932" || name == "WINDOWS31J") {
    return kCharsetSjis;
  }
  if (name == "EUCJP") return kCharsetEucJp;
  return kCharsetUtf8;
}

std::string user_locale_name(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string_view codeset_of_locale(std::string_view locale_name) {
  const std::size_t dot = locale_name.find('.');
  if (dot == std::string_view::npos) return {};
  std::string_view codeset = locale_name.substr(dot + 1);
  return codeset.substr(0, codeset.find('@'));
}

int detect_os_charset() {
#ifdef _WIN32
  return kCharsetSjis;
#else
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
#endif
}

std::string temp_dir() {
#ifdef _WIN32
  const char* dir = std::getenv("TEMP");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "C:\\TEMP";
#else
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
#endif
  while (path.size() > 1 && path.back() == path_separator()) path.pop_back();
  return path;
}

char path_separator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

}  // namespace qln
