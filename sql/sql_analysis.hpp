#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"
#include "core/platform.hpp"
#include "sql/sql_records.hpp"
#include "sql/tef_config.hpp"
#include "sql/text_pool.hpp"

namespace qln {

inline constexpr int kMaxSqlNesting = 10;
inline constexpr int kStatementGrowth = 5;
inline constexpr int kCondGrowth = 100;
inline constexpr std::size_t kStatementTextLen = 66560;
inline constexpr std::size_t kEvalAreaSize = 50048;

// Everything one analysis produces. Arrays are sized once by
// malloc_sql_buffer and grow only within the limits; statements and
// conditions are addressed by index because growth moves them.
struct SqlAnalysis {
  std::vector<SqlStatement> statements;  // size() is the statement capacity
  std::int32_t statement_count = 0;
  std::array<std::int32_t, kMaxSqlNesting> nesting{};  // outermost first
  std::int32_t nesting_depth = 0;
  SqlAnalysisLimits limits;  // sql_limit, cond_limit and the two capacities

  std::vector<SqlTable> tables;  // maxp.sql_level_num + 1 records
  std::int32_t table_count = 0;
  std::vector<Condition> conditions;  // size() is the condition capacity
  std::int32_t condition_fill = 0;
  std::vector<SqlColumn> columns;  // maxp.col_num + 1 entries
  std::int32_t column_fill = 0;
  TextPool fulltext;
  std::vector<std::string> comment_texts;  // never collected in this system
  std::int32_t comment_count = 0;
  std::array<std::vector<unsigned char>, 2> eval_areas;
};

// Text pool of the analysis: offset of the copy or -1 when full; the text at
// an offset, empty for offsets outside the pool.
std::int32_t put_fulltext(SqlAnalysis& analysis, std::string_view text);
std::string_view get_fulltext(const SqlAnalysis& analysis, std::int32_t offset) noexcept;

// Takes the arrays once per run (message 2 when memory runs out).
int malloc_sql_buffer(GlobalParams& g, const ConvOptions& options, SqlAnalysis& analysis);

// Preparation before each analysis: configuration, counts and fills to 0,
// table array and column table zeroed, the first 100 conditions
// re-initialised, statement 0 reset.
int prepare_sql_analysis(GlobalParams& g, TefConfig& config, SqlAnalysis& analysis);

// Clears a statement's texts, keywords and lists (index, parent and kind
// stay); its table array gets maxp.sql_level_num fresh records.
int reset_statement(const GlobalParams& g, SqlStatement& statement);

// Takes the next statement slot for a statement of `kind` whose text is
// `text`, pushes it on the nesting stack and sets `index`. -1 (message 4000)
// beyond 30 statements or 10 nesting levels.
int realloc_sql_buffer(GlobalParams& g, SqlAnalysis& analysis, int kind, std::string_view text,
                       int& index);

// Pops the innermost statement off the nesting stack (sql_select calls it
// when it finishes).
void leave_statement(SqlAnalysis& analysis) noexcept;

// Releases everything; a second call does nothing.
int free_sql_buffer(GlobalParams& g, ConvOptions& options, SqlAnalysis& analysis);

// Current local time as "YYYY/MM/DD HH:MM:SS".
int now_text(std::string& out);
std::string format_time_text(const LocalTime& t);

}  // namespace qln
