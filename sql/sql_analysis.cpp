#include "sql/sql_analysis.hpp"

#include <algorithm>
#include <cstdio>
#include <new>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "sql/sql_text.hpp"

namespace qln {
namespace {

constexpr int kInitialStatements = 5;
constexpr int kInitialConditions = 100;

std::size_t level_count(const GlobalParams& g) {
  return static_cast<std::size_t>(std::max(g.maxp.sql_level_num, 0));
}

// The analysis-wide table records start all zero.
SqlTable zeroed_table() {
  SqlTable t;
  t.text = 0;
  t.kind = 0;
  t.subquery = 0;
  return t;
}

void sync_capacities(SqlAnalysis& a) {
  a.limits.sql_capacity = static_cast<std::int32_t>(a.statements.size());
  a.limits.cond_capacity = static_cast<std::int32_t>(a.conditions.size());
}

// Throws std::bad_alloc when memory runs out.
void allocate_arrays(const GlobalParams& g, SqlAnalysis& a) {
  a.statements.assign(kInitialStatements, SqlStatement{});
  for (SqlStatement& s : a.statements) reset_statement(g, s);
  a.conditions.assign(kInitialConditions, Condition{});
  a.condition_fill = 0;
  a.tables.assign(level_count(g) + 1, zeroed_table());
  a.table_count = 0;
  a.columns.assign(static_cast<std::size_t>(std::max(g.maxp.col_num, 0)) + 1, SqlColumn{});
  a.column_fill = 0;
  if (!a.fulltext.allocate()) throw std::bad_alloc();
  a.fulltext.clear();
  a.comment_texts.clear();
  a.comment_count = 0;
  for (auto& area : a.eval_areas) area.assign(kEvalAreaSize, 0);
  a.statement_count = 0;
  a.nesting_depth = 0;
  sync_capacities(a);
}

}  // namespace

std::int32_t put_fulltext(SqlAnalysis& analysis, std::string_view text) {
  return analysis.fulltext.put(text);
}

std::string_view get_fulltext(const SqlAnalysis& analysis, std::int32_t offset) noexcept {
  return analysis.fulltext.get(offset);
}

int malloc_sql_buffer(GlobalParams& g, const ConvOptions& /*options*/, SqlAnalysis& analysis) {
  try {
    allocate_arrays(g, analysis);
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
  return 0;
}

int prepare_sql_analysis(GlobalParams& g, TefConfig& config, SqlAnalysis& analysis) {
  init_tef_config(g, config);
  try {
    if (!analysis.fulltext.allocated() || analysis.statements.empty()) {
      allocate_arrays(g, analysis);
    }
    analysis.statement_count = 0;
    analysis.nesting_depth = 0;
    analysis.table_count = 0;
    analysis.column_fill = 0;
    analysis.condition_fill = 0;
    analysis.fulltext.clear();
    std::fill(analysis.tables.begin(), analysis.tables.end(), zeroed_table());
    std::fill(analysis.columns.begin(), analysis.columns.end(), SqlColumn{});
    const std::size_t fresh =
        std::min(analysis.conditions.size(), static_cast<std::size_t>(kInitialConditions));
    std::fill_n(analysis.conditions.begin(), fresh, Condition{});
    reset_statement(g, analysis.statements.front());
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
  return 0;
}

int reset_statement(const GlobalParams& g, SqlStatement& s) {
  s.text.clear();
  s.work_text.clear();
  for (std::string* kw : {&s.kw_select, &s.kw_from, &s.kw_into, &s.kw_on, &s.kw_using,
                          &s.kw_where, &s.kw_having, &s.kw_for_update}) {
    kw->clear();
  }
  s.option.clear();
  s.hint.clear();
  s.select_text.clear();
  s.select_list.clear();
  s.into_list.clear();
  s.table_text.clear();
  s.tables.assign(level_count(g), SqlTable{});
  s.table_count = 0;
  s.group_by_text.clear();
  s.where_text.clear();
  s.order_by_text.clear();
  s.rest_text.clear();
  s.for_update_text.clear();
  for (auto& list : s.cond_lists) list.clear();
  s.group_by_list.clear();
  s.order_by_list.clear();
  s.with_text = -1;
  s.start_with_text = -1;
  s.set_operator = -1;
  s.next_statement = -1;
  return 0;
}

int realloc_sql_buffer(GlobalParams& g, SqlAnalysis& analysis, int kind, std::string_view text,
                       int& index) {
  SqlAnalysis& a = analysis;
  if (a.statement_count >= a.limits.sql_limit) {
    return fail(g, MessageCode::kInternal, "realloc_sql_buffer() num. of SQL over");
  }
  if (a.nesting_depth >= kMaxSqlNesting) {
    return fail(g, MessageCode::kInternal, "realloc_sql_buffer() num. of SQL nest over");
  }
  try {
    // `text` may point into a statement that growth is about to move.
    const std::string text_copy(text);
    if (static_cast<std::int32_t>(a.statements.size()) <= a.statement_count) {
      if (static_cast<std::int32_t>(a.statements.size()) >= a.limits.sql_limit) {
        return fail(g, MessageCode::kInternal, "realloc_sql_buffer() num. of sql_limit over");
      }
      const std::size_t old_size = a.statements.size();
      a.statements.resize(old_size + kStatementGrowth);
      for (std::size_t i = old_size; i < a.statements.size(); ++i) {
        reset_statement(g, a.statements[i]);
      }
      sync_capacities(a);
    }
    const int idx = a.statement_count;
    SqlStatement& s = a.statements[static_cast<std::size_t>(idx)];
    s.index = idx;
    s.parent = a.nesting_depth > 0 ? a.nesting[static_cast<std::size_t>(a.nesting_depth - 1)] : -1;
    s.kind = kind;
    if (idx > 0) {
      reset_statement(g, s);
      s.text = text_copy;
      strip_leading_parens(s.text);
      trim_blanks(s.text);
      s.text.resize(cut_at_char_boundary(g.os_charset, s.text, kStatementTextLen));
    }
    a.nesting[static_cast<std::size_t>(a.nesting_depth)] = idx;
    ++a.nesting_depth;
    ++a.statement_count;
    index = idx;
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
  return 0;
}

void leave_statement(SqlAnalysis& analysis) noexcept {
  if (analysis.nesting_depth > 0) --analysis.nesting_depth;
}

int free_sql_buffer(GlobalParams& /*g*/, ConvOptions& /*options*/, SqlAnalysis& analysis) {
  if (!analysis.fulltext.allocated()) return 0;
  analysis.fulltext.release();
  std::vector<SqlStatement>().swap(analysis.statements);
  std::vector<SqlTable>().swap(analysis.tables);
  std::vector<SqlColumn>().swap(analysis.columns);
  std::vector<Condition>().swap(analysis.conditions);
  std::vector<std::string>().swap(analysis.comment_texts);
  for (auto& area : analysis.eval_areas) std::vector<unsigned char>().swap(area);
  analysis.statement_count = 0;
  analysis.nesting_depth = 0;
  analysis.table_count = 0;
  analysis.condition_fill = 0;
  analysis.column_fill = 0;
  analysis.comment_count = 0;
  sync_capacities(analysis);
  return 0;
}

std::string format_time_text(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

int now_text(std::string& out) {
  out = format_time_text(local_now());
  return 0;
}

}  // namespace qln
