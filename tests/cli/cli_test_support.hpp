#pragma once
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace qln::testing_cli {

using test_support::read_file;
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

inline std::string msg3(std::string_view keyword) {
  return "ZUL-00003: 引数が不正です(\"" + std::string(keyword) + "\")。処理を中断します。";
}

}  // namespace qln::testing_cli
