#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"
#include "support/run_command.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace qln::testing_cli {

// The program's text outputs, lines ended by LF whatever the platform.
inline std::string read_file(const std::filesystem::path& path) { return test_support::read_text_file(path); }
using test_support::ScopedLocale;
using test_support::TempDir;

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

// The lines of a text, without their line feeds.
inline std::vector<std::string> split_lines(const std::string& s) {
  std::vector<std::string> v;
  std::size_t at = 0;
  while (at < s.size()) {
    std::size_t nl = s.find('\n', at);
    if (nl == std::string::npos) nl = s.size();
    v.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  return v;
}

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// The variable that names the folder of the debug log.
#ifdef _WIN32
inline constexpr const char* kTempDirVariable = "TEMP";
#else
inline constexpr const char* kTempDirVariable = "TMPDIR";
#endif

// Runs the built program through the shell in `dir`, as a user would, with
// the debug log there too; a run that does not end in `seconds` counts as hung.
inline Outcome run_cli(const TempDir& dir, const std::string& args, int seconds = 240) {
  const std::string here = dir.path().string();
  const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
  const std::string command = "cd '" + here + "' && " + kTempDirVariable + "='" + here + "' timeout " +
                              std::to_string(seconds) + " '" + QLN_CLI_PATH + "' " + args + " >'" + out + "' 2>'" +
                              err + "'";
  const int status = test_support::run_command(command);
  Outcome o;
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = read_file(out);
  o.err = read_file(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return o;
}

inline std::string msg3(std::string_view keyword) {
  return "ZUL-00003: 引数が不正です(\"" + std::string(keyword) + "\")。処理を中断します。";
}

}  // namespace qln::testing_cli
