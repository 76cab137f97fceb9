// SQL text through normalisation and the SELECT analysis, both as a whole
// query and as a per-table condition.
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "fuzz_support.hpp"
#include "sql/select_analysis.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"

namespace {

struct Analyser {
  qln::GlobalParams g;
  qln::ConvOptions o;
  qln::TefConfig config;
  qln::SqlAnalysis a;
  Analyser() {
    g.os_charset = qln::kCharsetUtf8;
    if (qln::malloc_sql_buffer(g, o, a) != 0) std::abort();
  }
  void run(std::string_view sql) {
    g.message_count = 0;
    if (qln::prepare_sql_analysis(g, config, a) != 0) return;
    std::size_t pos = 0;
    (void)qln::sql_select(g, config, a, sql, pos);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Analyser analyser;
  if (size < 1) return 0;
  const std::string_view text = qln::fuzz::as_text(data + 1, size - 1);
  analyser.g.os_charset = (data[0] & 1) ? qln::kCharsetSjis : qln::kCharsetUtf8;
  if (data[0] & 2) analyser.run("SELECT * FROM DUAL WHERE " + std::string(text));
  else analyser.run(text);
  return 0;
}
