#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"

namespace qln::testing_cli {

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("qln_cli_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(std::string_view name) const { return (path_ / name).string(); }
  std::string write(std::string_view name, std::string_view content) const {
    const std::string p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Records as the program has them after start-up, with UTF-8 user text.
struct Records {
  GlobalParams g;
  ConvOptions o;
  Records() {
    init_globals_and_options(g, o);
    g.os_charset = kCharsetUtf8;
    o.out_charset = kCharsetUtf8;
  }
  std::string last_message() const {
    return g.message_count > 0 ? g.messages[static_cast<std::size_t>(g.message_count - 1)] : std::string();
  }
};

inline std::string msg3(std::string_view keyword) {
  return "ZUL-00003: 引数が不正です(\"" + std::string(keyword) + "\")。処理を中断します。";
}

}  // namespace qln::testing_cli
