#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/global_params.hpp"
#include "engine/record_run.hpp"
#include "support/memory_stream.hpp"

namespace qln::test_support {

// The records as the header reader leaves them for a user-mode UTF-8 dump
// of the project's dump writer, with CSV rows and no BOM.
inline void set_up_for_written_dump(GlobalParams& g, ConvOptions& o) {
  o.exp_version = 12;
  o.exp_mode = 1;
  o.exp_user = "QUILLON";
  o.out_charset = kCharsetUtf8;
  o.is_output_bom = kNo;
  o.row_format = 1;
  g.db_charset = kCharsetUtf8;
}

// Runs the classic reader with its output stream caught in `out`.
inline int read_dmp_into(GlobalParams& g, ConvOptions& o, ReadResult& result, std::string& out) {
  MemoryStream mem;
  g.out_stream = mem.get();
  const int rc = run_records(g, o, result);
  out = mem.text();
  g.out_stream = stdout;
  return rc;
}

// Whether a message of `code` holding `text` is queued.
inline bool has_message(const GlobalParams& g, int code, std::string_view text = {}) {
  char tag[16];
  std::snprintf(tag, sizeof tag, "%05d", code);
  for (int i = 0; i < g.message_count; ++i) {
    const std::string& m = g.messages[static_cast<std::size_t>(i)];
    if (m.find(tag) != std::string::npos && m.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace qln::test_support
