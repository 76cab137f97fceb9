#pragma once
#include <string>
#include <string_view>

namespace qln {

// Platform services kept behind one small interface each.

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int weekday = 0;  // 0 = Sunday
  long nanosecond = 0;
};

LocalTime local_now();

// The user's character set id from the locale (UTF-8 3, Shift_JIS 1, EUC-JP 2).
// The code set written in the locale's name ("ja_JP.SJIS") counts first, so
// a locale the system has not installed still gives its own set.
int detect_os_charset();

// The locale name that rules `category` ("LC_CTYPE", "LC_MESSAGES"): the
// first set of LC_ALL, the category's variable and LANG; empty when none is.
std::string user_locale_name(const char* category);

// The code set part of a locale name ("eucJP" of "ja_JP.eucJP@x"); empty
// when the name has none.
std::string_view codeset_of_locale(std::string_view locale_name);

// The character set id for a locale code-set name such as "UTF-8" or "EUC-JP".
int charset_from_codeset(std::string_view codeset);

// The system's temporary folder (TMPDIR, else /tmp), without a trailing separator.
std::string temp_dir();

// The separator between a folder and a file name.
char path_separator();

}  // namespace qln
