#include "eval/statement_check.hpp"

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "sql/select_analysis.hpp"
#include "sql/sql_text.hpp"
#include "sql/tef_config.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {


bool is_name_char(char c) noexcept {
  const unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '#' || u >= 0x80;
}

// [schema.][table.]name of a select item, or false when the item is more
// than a name ("*" is handled by the caller).
bool plain_column(std::string_view text, QueryTarget::Column& out) {
  std::vector<std::string> parts(1);
  std::vector<bool> quoted(1, false);
  bool in_quotes = false;
  for (char c : text) {
    if (c == '"') {
      in_quotes = !in_quotes;
      quoted.back() = true;
    } else if (in_quotes) {
      parts.back() += c;
    } else if (c == '.') {
      parts.emplace_back();
      quoted.push_back(false);
    } else if (is_name_char(c)) {
      parts.back() += static_cast<char>(ascii_upper(static_cast<unsigned char>(c)));
    } else {
      return false;
    }
  }
  if (in_quotes || parts.size() > 3) return false;
  for (const std::string& p : parts)
    if (p.empty()) return false;
  out = {};
  out.name = parts.back();
  out.quoted = quoted.back();
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    if (i > 0) out.qualifier += '.';
    out.qualifier += parts[i];
  }
  return true;
}

bool names_table(const QueryTarget& t, std::string_view qualifier, const TableDefinition& table) {
  if (qualifier.empty()) return true;
  const std::size_t dot = qualifier.find('.');
  if (dot == std::string_view::npos)
    return equals_nocase(qualifier, table.table_name) ||
           (!t.alias.empty() && equals_nocase(qualifier, t.alias));
  const std::string_view schema = qualifier.substr(0, dot);
  return (equals_nocase(schema, table.owner) || equals_nocase(schema, t.schema)) &&
         equals_nocase(qualifier.substr(dot + 1), table.table_name);
}

// Analysis of one SELECT text into statement 0; 2001 when it fails.
int analyse(GlobalParams& g, SqlAnalysis& a, std::string_view text) {
  TefConfig config;
  if (prepare_sql_analysis(g, config, a) != 0) return fail(g, MessageCode::kSqlAnalysis);
  std::string reformed, comments;
  if (reform_sql_text(g, config, a, text, reformed, comments) != 0) return fail(g, MessageCode::kSqlAnalysis);
  if (!starts_with_nocase(reformed.substr(0, 15), "SELECT")) return fail(g, MessageCode::kBadArgument, "QUERY");
  // A set of several SELECTs cannot be one table's rows.
  std::vector<ItemSpan> parts;
  std::vector<int> operators;
  if (separate_sql(g, reformed, parts, operators) == 0 && !operators.empty() && operators[0] >= 0) {
    fail(g, MessageCode::kNotSupported, word_code_name(operators[0], true));
    return fail(g, MessageCode::kUnsupportedSql);
  }
  a.statements[0].text = reformed;
  std::size_t pos = 0;
  if (sql_select(g, config, a, reformed, pos) != 0) return fail(g, MessageCode::kSqlAnalysis);
  // Text the analysis left unread would otherwise be ignored unseen.
  if (!trim_blanks_view(std::string_view(reformed).substr(std::min(pos, reformed.size()))).empty())
    return fail(g, MessageCode::kSqlAnalysis);
  if (check_statement(g, a) != 0) return fail(g, MessageCode::kUnsupportedSql);
  return 0;
}

int build_where(GlobalParams& g, const SqlAnalysis& a, CondProgram& p, EvalContext& ctx) {
  const std::vector<std::int32_t>& where = a.statements[0].cond_lists[kClauseWhere];
  return build_cond_program(g, a, where, p, ctx);
}

}  // namespace

int check_statement(GlobalParams& g, const SqlAnalysis& a) {
  if (a.statement_count < 1 || a.statements.empty()) return fail(g, MessageCode::kNoColumns);
  const SqlStatement& st = a.statements[0];
  if (!st.option.empty()) return fail(g, MessageCode::kNotSupported, st.option);
  if (st.select_list.empty()) return fail(g, MessageCode::kNoColumns);
  if (!st.into_list.empty()) return fail(g, MessageCode::kNotSupported, "INTO");
  if (st.table_count != 1) return fail(g, MessageCode::kSeveralTables);
  const SqlTable& table = st.tables[0];
  if (table.join_type != kJoinNone) return fail(g, MessageCode::kSeveralTables);
  if (table.kind == kTableInlineView || table.subquery >= 0) return fail(g, MessageCode::kSubquery);
  if (table.kind != kTableNamed) return fail(g, MessageCode::kNotSupported, get_fulltext(a, table.text));
  if (!table.partition.empty()) return fail(g, MessageCode::kNotSupported, "PARTITION");
  if (table.flashback_text > 0) return fail(g, MessageCode::kNotSupported, get_fulltext(a, table.flashback_text));
  if (!st.group_by_list.empty() || !st.group_by_text.empty()) return fail(g, MessageCode::kGroupBy);
  if (!st.order_by_list.empty() || !st.order_by_text.empty()) return fail(g, MessageCode::kOrderBy);
  if (!st.kw_having.empty() || !st.cond_lists[kClauseHaving].empty()) return fail(g, MessageCode::kHaving);
  if (st.start_with_text >= 0 || !st.cond_lists[kClauseStart].empty() ||
      !st.cond_lists[kClauseConnect].empty())
    return fail(g, MessageCode::kStartWith);
  if (st.set_operator >= 0) return fail(g, MessageCode::kNotSupported, word_code_name(st.set_operator, true));
  if (!st.kw_for_update.empty()) return fail(g, MessageCode::kNotSupported, st.kw_for_update);
  if (st.with_text >= 0) return fail(g, MessageCode::kNotSupported, "WITH");
  // Whatever else follows (MODEL, a clause the analyser only kept as text).
  if (!st.rest_text.empty()) return fail(g, MessageCode::kNotSupported, st.rest_text);
  return 0;
}

int query_target(GlobalParams& g, const SqlAnalysis& a, QueryTarget& target) {
  const SqlStatement& st = a.statements[0];
  const SqlTable& table = st.tables[0];
  target = {};
  target.schema = table.schema;
  target.table = table.table_name;
  target.alias = table.alias;
  bool star = false;
  for (const std::int32_t index : st.select_list) {
    const std::string_view item =
        trim_blanks_view(get_fulltext(a, a.columns[static_cast<std::size_t>(index)].text));
    QueryTarget::Column c;
    const bool table_star = item.size() > 2 && item.substr(item.size() - 2) == ".*" &&
                            plain_column(item.substr(0, item.size() - 2), c);
    if (item == "*" || table_star) {
      star = true;
      continue;
    }
    if (!plain_column(item, c)) return fail(g, MessageCode::kNotSupported, item);
    target.columns.push_back(std::move(c));
  }
  // "*" beside named columns would write some columns twice.
  if (star && !target.columns.empty()) return fail(g, MessageCode::kNotSupported, st.select_text);
  return 0;
}

int resolve_query_columns(GlobalParams& g, const QueryTarget& target, const TableDefinition& table,
                          std::vector<int>& positions) {
  positions.clear();
  for (const QueryTarget::Column& c : target.columns) {
    int found = -1;
    if (names_table(target, c.qualifier, table)) {
      for (std::size_t i = 0; i < table.columns.size() && found < 0; ++i) {
        const std::string& name = table.columns[i].name;
        if (c.quoted ? name == c.name : equals_nocase(name, c.name)) found = static_cast<int>(i);
      }
    }
    if (found < 0) return fail(g, MessageCode::kColumnNotFound, c.name);
    positions.push_back(found);
  }
  return 0;
}

int prepare_query(GlobalParams& g, SqlAnalysis& a, std::string_view query, QueryTarget& target,
                  CondProgram& p, EvalContext& ctx) {
  free_cond_program(p);
  if (analyse(g, a, query) != 0) return -1;
  if (query_target(g, a, target) != 0) return fail(g, MessageCode::kUnsupportedSql);
  if (build_where(g, a, p, ctx) != 0) return -1;
  p.from_alias = target.alias;
  p.from_schema = target.schema;
  return 0;
}

int prepare_table_condition(GlobalParams& g, SqlAnalysis& a, std::string_view where, CondProgram& p,
                            EvalContext& ctx) {
  free_cond_program(p);
  std::string_view text = trim_blanks_view(where);
  if (starts_with_nocase(text, "WHERE") && (text.size() == 5 || text[5] == ' ' || text[5] == '('))
    text = trim_blanks_view(text.substr(5));
  if (text.empty()) return 0;
  std::string sql = "SELECT * FROM DUAL WHERE ";
  sql += text;
  if (analyse(g, a, sql) != 0) return -1;
  return build_where(g, a, p, ctx);
}

}  // namespace qln
