#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qln {

// Platform services kept behind one small interface each; the POSIX and the
// Windows implementations live in platform_posix.cpp and platform_win.cpp.
//
// Every narrow text that names a file (arguments, paths) is in the user's
// character set, the one detect_os_charset() gives.

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int weekday = 0;  // 0 = Sunday
  long nanosecond = 0;
};

LocalTime local_now();

// The user's character set id: from the locale (UTF-8 3, Shift_JIS 1,
// EUC-JP 2), on Windows from the active code page (932 Shift_JIS, any other
// UTF-8). The code set written in the locale's name ("ja_JP.SJIS") counts
// first, so a locale the system has not installed still gives its own set.
int detect_os_charset();

// The locale name that rules `category` ("LC_CTYPE", "LC_MESSAGES"): the
// first set of LC_ALL, the category's variable and LANG; empty when none is.
std::string user_locale_name(const char* category);

// The code set part of a locale name ("eucJP" of "ja_JP.eucJP@x"); empty
// when the name has none.
std::string_view codeset_of_locale(std::string_view locale_name);

// The character set id for a locale code-set name such as "UTF-8" or "EUC-JP".
int charset_from_codeset(std::string_view codeset);

// The system's temporary folder (TMPDIR or /tmp; on Windows %TEMP%), without
// a trailing separator.
std::string temp_dir();

// The separator between a folder and a file name, and whether a byte is one
// (Windows takes '/' as well as '\\'; callers with multibyte names check
// that the byte is a whole character).
char path_separator();
bool is_path_separator(char c);

// The program's arguments after its name, in the user's character set. On
// Windows they come from the wide command line, so that names the ANSI code
// page cannot hold still arrive when the user's set is UTF-8.
std::vector<std::string> program_arguments(int argc, char** argv);

// Writes text of the user's character set to `stream`. A console shows it in
// its own code page; files and pipes receive the bytes unchanged.
void write_user_text(std::FILE* stream, std::string_view text);

// Files by name. Text modes ("w", "a") end lines with CR LF on Windows.
std::FILE* open_named_file(const std::string& path, const char* mode);

// Writes a large block to `stream` in as few system calls as the system
// allows, past the stream's small buffer (flushed first). The bytes
// written, as fwrite counts them.
std::size_t write_block(std::FILE* stream, const char* data, std::size_t size);

// A name as the standard library's file streams take it (wide on Windows).
std::filesystem::path native_path(const std::string& path);

// What a name refers to; a symbolic link is never taken for its target.
enum class PathKind { kNone, kRegular, kDirectory, kOther };
PathKind path_kind(const std::string& path);

// The size of a regular file, -1 for anything else.
std::int64_t regular_file_size(const std::string& path);

// 0, or -1 when the file could not be removed.
int remove_file(const std::string& path);

}  // namespace qln
