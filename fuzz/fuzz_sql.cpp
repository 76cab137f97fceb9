// SQL text through normalisation and the SELECT analysis, both as a whole
// query and as a per-table condition; with bit 4 of the first byte, as a
// query compiled into a condition program, bound to a table and evaluated
// on a row. The column capacity is cut to 64: its limit is met by short
// inputs, and the analysis no longer spends most of its time clearing the
// entries of a thousand columns for every input.
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"
#include "eval/row_conditions.hpp"
#include "fuzz_support.hpp"
#include "sql/select_analysis.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"

namespace {

constexpr std::int32_t kColumns = 64;

struct Analyser {
  qln::GlobalParams g;
  qln::ConvOptions o;
  qln::TefConfig config;
  qln::SqlAnalysis a;
  Analyser() {
    g.os_charset = qln::kCharsetUtf8;
    g.maxp.col_num = kColumns;
    if (qln::malloc_sql_buffer(g, o, a) != 0) std::abort();
  }
  void run(std::string_view sql) {
    g.message_count = 0;
    if (qln::prepare_sql_analysis(g, config, a) != 0) return;
    std::size_t pos = 0;
    (void)qln::sql_select(g, config, a, sql, pos);
  }
};

// The table every compiled query is bound to, and one row of it.
struct Table {
  qln::TableDefinition def;
  std::vector<qln::SqlValue> row = std::vector<qln::SqlValue>(4);
  Table() {
    def.table_name = "T";
    const struct {
      const char* name;
      std::int32_t type;
    } cols[] = {{"ID", qln::kColNumber}, {"NAME", qln::kColVarchar2}, {"D", qln::kColDate}, {"N", qln::kColNumber}};
    for (const auto& c : cols) {
      qln::ColumnDef col;
      col.name = c.name;
      col.type = c.type;
      col.length = 20;
      def.columns.push_back(col);
    }
    qln::value_set_number(row[0], "7");
    qln::value_set_text(row[1], "ab c%");
    qln::value_set_date(row[2], 2020, 2, 29, 23, 59, 58);
  }
};

void compile_and_evaluate(std::string_view sql, int os_charset) {
  static Table table;
  qln::GlobalParams g;
  qln::ConvOptions o;
  qln::init_globals_and_options(g, o);
  g.os_charset = os_charset;
  g.maxp.col_num = kColumns;
  o.query = std::string(sql);
  qln::RowConditions conditions;
  if (conditions.prepare(g, o) != 0) return;
  conditions.set_charsets(qln::kCharsetUtf8, os_charset, o.date_format);
  if (conditions.start_table(g, table.def) != 0) return;
  bool keep = false;
  (void)conditions.keep(g, table.row, keep);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Analyser analyser;
  if (size < 1) return 0;
  const std::string_view text = qln::fuzz::as_text(data + 1, size - 1);
  analyser.g.os_charset = (data[0] & 1) ? qln::kCharsetSjis : qln::kCharsetUtf8;
  if (data[0] & 4) compile_and_evaluate(std::string("SELECT * FROM T WHERE ") + std::string(text), analyser.g.os_charset);
  else if (data[0] & 2) analyser.run("SELECT * FROM DUAL WHERE " + std::string(text));
  else analyser.run(text);
  return 0;
}
