#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace qln::test_support {

// A real dump of the shared folder; they are never copied into the repository.
inline std::string real_dump_path(std::string_view name) {
  return std::string(QLN_DUMPS_DIR) + "/" + std::string(name);
}

inline std::string real_dump_missing(const std::string& path) {
  return "skipped: " + path + " is not there; the real dumps are expected in " QLN_DUMPS_DIR
         " (../shared/dumps beside the repository)";
}

}  // namespace qln::test_support

// Skips the test, saying where the real dumps are expected, when `path` is
// not there.
#define QLN_SKIP_WITHOUT_REAL_DUMP(path)                                      \
  if (const std::string qln_real_dump_ = (path); !std::filesystem::exists(qln_real_dump_)) \
  GTEST_SKIP() << ::qln::test_support::real_dump_missing(qln_real_dump_)
