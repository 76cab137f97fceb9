#pragma once
// The few POSIX calls the tests use, for the Windows build of the tests.
#ifdef _WIN32
#include <process.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }

// A fresh folder named after `pattern`, whose last six characters are XXXXXX.
inline char* mkdtemp(char* pattern) {
  std::string p(pattern);
  if (p.size() < 6) return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = p.substr(0, p.size() - 6);
    unsigned v = static_cast<unsigned>(_getpid()) * 7919u + static_cast<unsigned>(attempt) * 104729u + static_cast<unsigned>(rand());
    for (int i = 0; i < 6; ++i, v /= 36) name.push_back("abcdefghijklmnopqrstuvwxyz0123456789"[v % 36]);
    std::error_code ec;
    if (std::filesystem::create_directory(name, ec)) {
      name.copy(pattern, name.size());
      return pattern;
    }
  }
  return nullptr;
}
#endif
