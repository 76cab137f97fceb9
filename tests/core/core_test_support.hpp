#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/memory_stream.hpp"
#include "support/temp_dir.hpp"
#include "support/scoped_env.hpp"

namespace qln::testing_core {

using test_support::ScopedEnv;

// The variable that names the temporary folder, and the separator in paths.
#ifdef _WIN32
inline constexpr const char* kTempDirVariable = "TEMP";
inline constexpr const char* kSeparator = "\\";
#else
inline constexpr const char* kTempDirVariable = "TMPDIR";
inline constexpr const char* kSeparator = "/";
#endif

// A fresh folder that the temporary-folder variable points at, removed afterwards.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qln-core-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    env_.emplace(kTempDirVariable, path_.c_str());
  }
  ~ScopedTempDir() {
    env_.reset();
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + kSeparator + name; }

 private:
  std::string path_;
  std::optional<ScopedEnv> env_;
};

inline std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(test_support::read_text_file(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

using test_support::MemoryStream;

}  // namespace qln::testing_core
