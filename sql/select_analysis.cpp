#include "sql/select_analysis.hpp"

#include <algorithm>
#include <new>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "sql/clause_analysis.hpp"
#include "sql/condition_analysis.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t kMaxStopWords = 16;
constexpr std::size_t kMaxStopWordLen = 30;
constexpr std::size_t kMaxFilePathLen = 512;

constexpr std::string_view kStopSelect = "INTO FROM";
constexpr std::string_view kStopInto = "FROM";
constexpr std::string_view kStopFrom = "WHERE START CONNECT GROUP HAVING MODEL ORDER FOR";
constexpr std::string_view kStopWhere = "START CONNECT GROUP HAVING MODEL ORDER FOR WITH";
constexpr std::string_view kStopStart = "CONNECT GROUP HAVING MODEL ORDER FOR WITH";
constexpr std::string_view kStopConnect = "START GROUP HAVING MODEL ORDER FOR WITH";
constexpr std::string_view kStopGroup = "HAVING MODEL ORDER FOR";
constexpr std::string_view kStopHaving = "ORDER FOR";
constexpr std::string_view kStopOrder = "FOR WITH";

SqlStatement& stmt(SqlAnalysis& a, int index) {
  return a.statements[static_cast<std::size_t>(index)];
}

// Lowers the nesting depth however sql_select ends.
struct NestingGuard {
  SqlAnalysis& a;
  ~NestingGuard() { leave_statement(a); }
};

// The next word after `pos`, skipping parentheses; false at the end.
bool next_word(const GlobalParams& g, std::string_view text, std::size_t& pos, std::string& word,
               int& code) {
  int depth = 0;
  while (get_word(g.os_charset, text, pos, word, code, depth) == 0) {
    if (!word.empty()) return true;
  }
  return false;
}

// The next word without consuming it.
bool peek_word(const GlobalParams& g, std::string_view text, std::size_t pos, std::string& word) {
  int code = 0;
  int depth = 0;
  return get_word(g.os_charset, text, pos, word, code, depth) == 0;
}

bool is_join_word(const std::vector<SqlToken>& t, std::size_t j) {
  if (!is_plain(t[j]) || t[j].depth != 0) return false;
  if (j + 1 < t.size() && is_lparen(t[j + 1])) return false;  // LEFT(...) is a function
  for (std::string_view k : {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL"}) {
    if (equals_nocase(t[j].word, k)) return true;
  }
  return false;
}

bool is_word(const SqlToken& t, std::string_view w) { return is_plain(t) && equals_nocase(t.word, w); }

// Start of the ending keyword, from the position just past it.
std::size_t keyword_begin(std::size_t pos, const std::string& end_word) {
  return end_word.empty() ? pos : pos - end_word.size();
}

// One column-table entry for a GROUP BY / ORDER BY item.
int put_list_column(GlobalParams& g, SqlAnalysis& a, std::string_view item, bool order,
                    std::int32_t& index, std::string_view fail_full, std::string_view fail_put) {
  if (a.column_fill >= g.maxp.col_num ||
      static_cast<std::size_t>(a.column_fill) >= a.columns.size()) {
    fail(g, MessageCode::kInternal, fail_full);
    return -22;
  }
  const std::int32_t offset = put_fulltext(a, item);
  if (offset < 0) return fail(g, MessageCode::kInternal, fail_put);
  const std::vector<SqlToken> t = tokenize_sql(g, item);
  SqlColumn c;
  c.text = offset;
  // A plain name, in ORDER BY optionally followed by ASC / DESC / NULLS ...
  std::size_t words = t.size();
  if (order) {
    for (std::size_t j = 1; j < t.size(); ++j) {
      if (is_word(t[j], "ASC") || is_word(t[j], "DESC") || is_word(t[j], "NULLS")) {
        words = j;
        break;
      }
    }
  }
  NameParts n;
  if (words == 1 && is_plain(t[0]) && !is_literal_word(t[0].word) &&
      !is_number_word(t[0].word) && split_name(g.os_charset, t[0].word, n) && n.parts.size() <= 3 &&
      n.parts.back().size() <= kMaxColumnNameLen &&
      (n.parts.size() < 2 || n.parts[n.parts.size() - 2].size() <= kMaxSqlNameLen)) {
    c.column_name = n.parts.back();
    if (n.parts.size() >= 2) c.table_name = n.parts[n.parts.size() - 2];
    c.kind = c.column_name == "*" ? kColumnStar : kColumnReference;
  }
  index = a.column_fill;
  a.columns[static_cast<std::size_t>(index)] = std::move(c);
  ++a.column_fill;
  return 0;
}

// Registers the columns of the records a clause reader has just added (the
// clause lists hold every earlier record too, already checked).
void check_new_conditions(GlobalParams& g, const TefConfig& config, SqlAnalysis& a, int clause,
                          int s, std::size_t before) {
  const auto& all = stmt(a, s).cond_lists[static_cast<std::size_t>(clause)];
  const std::vector<std::int32_t> fresh(all.begin() + static_cast<std::ptrdiff_t>(before),
                                        all.end());
  if (check_condition_column(g, config, a, fresh) != 0) {
    fail(g, MessageCode::kInternal, "check_condition() check_condition_column()");
  }
}

std::size_t clause_size(SqlAnalysis& a, int s, int clause) {
  return stmt(a, s).cond_lists[static_cast<std::size_t>(clause)].size();
}

// "START" was read: WITH, then the condition, analysed as clause 6.
int read_start_with(GlobalParams& g, const TefConfig& config, SqlAnalysis& a, int s,
                    std::string_view text, std::size_t start_begin, std::size_t& pos,
                    std::string& end_word, std::string_view fail_get, std::string_view fail_cond) {
  std::string word;
  int code = 0;
  if (!next_word(g, text, pos, word, code) || !equals_nocase(word, "WITH")) {
    return fail(g, MessageCode::kInternal, fail_get);
  }
  std::string clause;
  int rc = sql_part_lists(g, &stmt(a, s), text, pos, kPartStartWith, clause, end_word, kStopStart);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, fail_cond);
    return rc;
  }
  const std::size_t end = keyword_begin(pos, end_word);
  const std::int32_t offset =
      put_fulltext(a, trim_blanks_view(text.substr(start_begin, end - start_begin)));
  if (offset < 0) return fail(g, MessageCode::kInternal, fail_cond);
  stmt(a, s).start_with_text = offset;
  const std::size_t before = clause_size(a, s, kClauseStart);
  if (analyze_condition(g, kClauseStart, clause, a, s) != 0) return fail(g, MessageCode::kInternal, fail_cond);
  check_new_conditions(g, config, a, kClauseStart, s, before);
  return 0;
}

// One FROM item without joins.
int analyze_single_table(GlobalParams& g, const TefConfig& config, SqlAnalysis& a, int s,
                         std::string_view item, int depth, int join_type) {
  const std::string_view body = trim_blanks_view(item);
  {
    const SqlStatement& st = stmt(a, s);
    if (st.table_count >= g.maxp.sql_level_num ||
        static_cast<std::size_t>(st.table_count) >= st.tables.size()) {
      return fail(g, MessageCode::kInternal, "analyze_table() num. of tables over");
    }
  }
  SqlTable rec;
  rec.schema = config.default_schema;
  rec.depth = depth;
  rec.join_type = join_type;
  const std::vector<SqlToken> t = tokenize_sql(g, body);
  if (t.empty()) return fail(g, MessageCode::kInternal, "analyze_table() get table name");
  std::size_t j = 0;
  if (is_lparen(t[0])) {
    const std::size_t m = matching_paren(t, 0);
    std::size_t first_word = 1;
    while (first_word < t.size() && is_lparen(t[first_word])) ++first_word;
    if (m == npos || first_word >= m || !is_word(t[first_word], "SELECT")) {
      return fail(g, MessageCode::kInternal, "analyze_table() separate_sql()");
    }
    const std::string inner(body.substr(t[0].end, t[m].begin - t[0].end));
    std::vector<ItemSpan> parts;
    std::vector<int> ops;
    if (separate_sql(g, inner, parts, ops) != 0) {
      return fail(g, MessageCode::kInternal, "analyze_table() separate_sql()");
    }
    const std::int32_t first = a.statement_count;
    if (sql_subquery(g, config, a, inner) != 0) {
      return fail(g, MessageCode::kInternal, "analyze_table() sql_subquery()");
    }
    rec.kind = kTableInlineView;
    rec.subquery = first;
    j = m + 1;
  } else if (is_word(t[0], "TABLE") && t.size() > 1 && is_lparen(t[1])) {
    // A collection expression: TABLE(...).
    const std::size_t m = matching_paren(t, 1);
    if (m == npos) return fail(g, MessageCode::kInternal, "analyze_table() get table name");
    rec.name_as_written = t[0].word;
    rec.table_name = t[0].word;
    j = m + 1;
  } else if (t[0].word.size() >= 2 && t[0].word.front() == '[' && t[0].word.back() == ']') {
    const std::string path = t[0].word.substr(1, t[0].word.size() - 2);
    if (path.size() > kMaxFilePathLen) return fail(g, MessageCode::kInternal, "analyze_table() file_path overflow");
    rec.kind = kTableBracketName;
    rec.name_as_written = path;
    j = 1;
  } else {
    NameParts n;
    if (!is_plain(t[0]) || is_literal_word(t[0].word) || !split_name(g.os_charset, t[0].word, n) ||
        n.parts.size() > 2 ||
        std::any_of(n.parts.begin(), n.parts.end(),
                    [](const std::string& p) { return p.size() > kMaxSqlNameLen || p.empty(); })) {
      return fail(g, MessageCode::kInternal, "analyze_table() get table name");
    }
    rec.table_name = n.parts.back();
    if (n.parts.size() == 2) rec.schema = n.parts.front();
    rec.name_as_written = t[0].word;
    j = 1;
  }
  while (j < t.size()) {
    const SqlToken& tok = t[j];
    if (is_word(tok, "PARTITION") || is_word(tok, "SUBPARTITION")) {
      ++j;
      std::size_t last = j;
      if (j < t.size() && is_lparen(t[j])) {
        last = matching_paren(t, j);
        if (last == npos) return fail(g, MessageCode::kInternal, "analyze_table() invalid table item");
        ++j;
      }
      if (j < t.size() && is_plain(t[j])) {
        const std::string name = strip_one_quoted_name(t[j].word);
        if (name.size() <= kMaxSqlNameLen) rec.partition = name;
      }
      j = std::max(last, j) + 1;
      continue;
    }
    const bool as_of = is_word(tok, "AS") && j + 1 < t.size() && is_word(t[j + 1], "OF");
    if (is_word(tok, "VERSIONS") || is_word(tok, "SAMPLE") || as_of) {
      const std::int32_t offset = put_fulltext(a, body.substr(tok.begin));
      if (offset < 0) return fail(g, MessageCode::kInternal, "analyze_table() put_fulltext()");
      rec.flashback_text = offset;
      break;
    }
    const bool as = is_word(tok, "AS");
    const std::size_t k = as ? j + 1 : j;
    if (k < t.size() && rec.alias.empty() && is_plain(t[k]) && !is_literal_word(t[k].word) &&
        statement_kind(t[k].word) == kStatementOther) {
      const std::string alias = strip_one_quoted_name(t[k].word);
      if (alias.size() <= kMaxSqlNameLen) rec.alias = alias;
      j = k + 1;
      continue;
    }
    // Anything else (UNION, a second alias ...) is not a table item.
    return fail(g, MessageCode::kInternal, "analyze_table() invalid table item");
  }
  rec.text = put_fulltext(a, body);
  if (rec.text < 0) return fail(g, MessageCode::kInternal, "analyze_table() put_fulltext()");
  if (a.table_count >= 0 && static_cast<std::size_t>(a.table_count) < a.tables.size()) {
    a.tables[static_cast<std::size_t>(a.table_count)] = rec;
    ++a.table_count;
  }
  SqlStatement& st = stmt(a, s);
  st.tables[static_cast<std::size_t>(st.table_count)] = std::move(rec);
  ++st.table_count;
  return 0;
}

// Join keywords at `j`: the join type, with `j` moved past JOIN; 0 if none.
int read_join_type(const std::vector<SqlToken>& t, std::size_t& j) {
  auto at = [&](std::size_t k, std::string_view w) { return k < t.size() && is_word(t[k], w); };
  std::size_t k = j;
  int type = 0;
  if (at(k, "NATURAL")) {
    ++k;
    if (at(k, "JOIN")) {
      type = kJoinNatural;
    } else if (at(k, "INNER")) {
      type = kJoinNaturalInner;
      ++k;
    } else if (at(k, "LEFT") || at(k, "RIGHT") || at(k, "FULL")) {
      type = at(k, "LEFT") ? kJoinNaturalLeft : at(k, "RIGHT") ? kJoinNaturalRight : kJoinNaturalFull;
      ++k;
      if (at(k, "OUTER")) ++k;
    } else {
      return 0;
    }
  } else if (at(k, "JOIN")) {
    type = kJoinPlain;
  } else if (at(k, "INNER") || at(k, "CROSS")) {
    type = at(k, "INNER") ? kJoinInner : kJoinCross;
    ++k;
  } else if (at(k, "LEFT") || at(k, "RIGHT") || at(k, "FULL")) {
    type = at(k, "LEFT") ? kJoinLeft : at(k, "RIGHT") ? kJoinRight : kJoinFull;
    ++k;
    if (at(k, "OUTER")) {
      ++type;
      ++k;
    }
  } else {
    return 0;
  }
  if (!at(k, "JOIN")) return 0;
  j = k + 1;
  return type;
}

// First token from `j` at depth 0 that is a join keyword (or, when
// `with_on`, ON / USING); t.size() when none.
std::size_t next_join_boundary(const std::vector<SqlToken>& t, std::size_t j, bool with_on) {
  for (; j < t.size(); ++j) {
    if (t[j].depth != 0) continue;
    if (is_join_word(t, j)) return j;
    if (with_on && (is_word(t[j], "ON") || is_word(t[j], "USING"))) return j;
  }
  return t.size();
}

}  // namespace

int statement_kind(std::string_view word) noexcept {
  static constexpr std::string_view kKinds[] = {"SELECT", "UPDATE", "INSERT",
                                                "DELETE", "MERGE",  "WITH"};
  for (std::size_t k = 0; k < std::size(kKinds); ++k) {
    if (equals_nocase(word, kKinds[k])) return static_cast<int>(k) + 1;
  }
  return kStatementOther;
}

int sql_part_lists(GlobalParams& g, SqlStatement* statement, std::string_view text,
                   std::size_t& position, int mode, std::string& out, std::string& end_word,
                   std::string_view stop_words) {
  std::vector<std::string_view> stops;
  for (std::size_t p = 0; p < stop_words.size() && stops.size() < kMaxStopWords;) {
    const std::size_t b = stop_words.find_first_not_of(' ', p);
    if (b == npos) break;
    const std::size_t e = std::min(stop_words.find(' ', b), stop_words.size());
    if (e - b <= kMaxStopWordLen) stops.push_back(stop_words.substr(b, e - b));
    p = e;
  }
  end_word.clear();
  out.clear();
  std::size_t i = position;
  int depth = 0;
  std::size_t word_start = npos;
  bool quoted = false;
  bool collected = false;
  std::size_t clause_end = npos;
  std::size_t next = npos;
  // True (and the clause closed) when the word ending at `i` is a stop word.
  auto stop_here = [&](std::size_t word_end) {
    if (word_start == npos || quoted || depth != 0) return false;
    const std::string_view w = text.substr(word_start, word_end - word_start);
    for (std::string_view s : stops) {
      if (equals_nocase(w, s)) {
        clause_end = word_start;
        end_word.assign(w);
        next = word_end;
        return true;
      }
    }
    return false;
  };
  for (;;) {
    if (i >= text.size() || text[i] == '\0') {
      if (!stop_here(i)) {
        if (!collected) return -1;
        clause_end = i;
        next = i;
      }
      break;
    }
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (stop_here(i)) break;
      word_start = npos;
      ++i;
      continue;
    }
    if (c == '(') {
      if (stop_here(i)) break;
      word_start = npos;
      ++depth;
      collected = true;
      ++i;
      continue;
    }
    if (c == ')') {
      word_start = npos;
      if (--depth < 0) {
        clause_end = i;
        next = i;
        break;
      }
      ++i;
      continue;
    }
    if (c == ';' && word_start != npos && depth == 0) {
      if (stop_here(i)) break;
      clause_end = i;
      next = i + 1;
      break;
    }
    collected = true;
    if (c == '\'' || c == '"') {
      if (word_start == npos) word_start = i;
      quoted = true;
      std::size_t end = i;
      const int rc = c == '\'' ? skip_literal(g, text, end) : skip_quoted_name(g, text, end);
      i = rc == 0 && end > i ? end : text.size();
      continue;
    }
    if (word_start == npos) {
      word_start = i;
      quoted = false;
    }
    const std::size_t len =
        1 + static_cast<std::size_t>(mb_char_length(g.os_charset, static_cast<unsigned char>(c)));
    i = std::min(i + len, text.size());
  }
  const std::string_view clause =
      trim_blanks_view(text.substr(position, clause_end - position));
  if (clause.size() >= kMaxClauseLen) return -22;
  out.assign(clause);
  position = next;
  if (statement != nullptr) {
    switch (mode) {
      case kPartSelectList: statement->select_text = out; break;
      case kPartTableList: statement->table_text = out; break;
      case kPartWhere: statement->where_text = out; break;
      case kPartGroupBy: statement->group_by_text = out; break;
      case kPartOrderBy: statement->order_by_text = out; break;
      default: break;
    }
  }
  return 0;
}

int separate_sql(const GlobalParams& g, std::string_view text, std::vector<ItemSpan>& ranges,
                 std::vector<int>& operators) {
  ranges.clear();
  operators.clear();
  const std::vector<SqlToken> t = tokenize_sql(g, text);
  std::size_t first = 0;
  while (first < t.size() && is_lparen(t[first])) ++first;
  const bool select = first < t.size() && is_word(t[first], "SELECT");
  if (!select || !(contains_nocase(g.os_charset, text, "UNION") ||
                   contains_nocase(g.os_charset, text, "INTERSECT") ||
                   contains_nocase(g.os_charset, text, "MINUS"))) {
    ranges.push_back({0, text.size()});
    return 0;
  }
  std::size_t begin = 0;
  auto close_part = [&](std::size_t end) {
    if (trim_blanks_view(text.substr(begin, end - begin)).empty()) return false;
    if (ranges.size() >= kMaxSetParts) return false;
    ranges.push_back({begin, end});
    return true;
  };
  for (std::size_t j = 0; j < t.size(); ++j) {
    const int code = t[j].code;
    if (t[j].depth != 0 ||
        (code != kWordUnion && code != kWordIntersect && code != kWordMinus)) {
      continue;
    }
    int op = code;
    std::size_t after = t[j].end;
    if (code == kWordUnion && j + 1 < t.size() && t[j + 1].code == kWordAll) {
      op = kWordUnionAll;
      after = t[++j].end;
    }
    if (!close_part(t[j].code == kWordAll ? t[j - 1].begin : t[j].begin)) return -1;
    operators.push_back(op);
    begin = after;
  }
  return close_part(text.size()) ? 0 : -1;
}

int sql_subquery(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                 std::string_view text) {
  std::vector<ItemSpan> parts;
  std::vector<int> ops;
  if (separate_sql(g, text, parts, ops) != 0) {
    return fail(g, MessageCode::kInternal, "sql_subquery() separate_sql()");
  }
  int previous = -1;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const int index = analysis.statement_count;
    std::size_t pos = 0;
    if (sql_select(g, config, analysis, parts[k].of(text), pos) != 0) {
      return fail(g, MessageCode::kInternal, "sql_subquery() sql_select()");
    }
    if (previous >= 0) {
      stmt(analysis, previous).set_operator = ops[k - 1];
      stmt(analysis, previous).next_statement = index;
    }
    previous = index;
  }
  return 0;
}

int analyze_table(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
                  std::string_view item, int /*table_index*/, int depth, int join_type) {
  const std::vector<SqlToken> t = tokenize_sql(g, item);
  std::size_t join = t.size();
  for (std::size_t j = 1; j < t.size(); ++j) {
    if (is_join_word(t, j)) {
      join = j;
      break;
    }
  }
  if (join == t.size()) {
    return analyze_single_table(g, config, analysis, statement, item, depth, join_type);
  }
  const int rc = analyze_single_table(g, config, analysis, statement,
                                      item.substr(0, t[join].begin), depth, join_type);
  if (rc != 0) return rc;
  if (get_join(g, config, analysis, item, t[join].begin, statement, depth) < 0) {
    return fail(g, MessageCode::kInternal, "analyze_table() get_join()");
  }
  return 0;
}

int get_join(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
             std::string_view text, std::size_t position, int statement, int depth) {
  SqlAnalysis& a = analysis;
  const std::string_view body = text.substr(std::min(position, text.size()));
  const std::vector<SqlToken> t = tokenize_sql(g, body);
  auto slice = [&](std::size_t from, std::size_t to) {
    const std::size_t b = from < t.size() ? t[from].begin : body.size();
    const std::size_t e = to < t.size() ? t[to].begin : body.size();
    return body.substr(b, e > b ? e - b : 0);
  };
  int last = 0;
  std::size_t j = 0;
  while (j < t.size()) {
    const int type = read_join_type(t, j);
    if (type == 0) return fail(g, MessageCode::kInternal, "get_join() get join type");
    const std::size_t table_end = next_join_boundary(t, j, true);
    if (stmt(a, statement).table_count >= g.maxp.sql_level_num) {
      return fail(g, MessageCode::kInternal, "get_join() num. of tables over");
    }
    if (analyze_single_table(g, config, a, statement, slice(j, table_end), depth, type) != 0) {
      return fail(g, MessageCode::kInternal, "get_join() analyze_table()");
    }
    const std::size_t joined = static_cast<std::size_t>(stmt(a, statement).table_count - 1);
    j = table_end;
    if (j < t.size() && is_word(t[j], "ON")) {
      stmt(a, statement).kw_on = t[j].word;
      const std::size_t cond_end = next_join_boundary(t, j + 1, false);
      const std::string cond(slice(j + 1, cond_end));
      const std::size_t before = stmt(a, statement).cond_lists[kClauseOn].size();
      if (analyze_condition(g, kClauseOn, cond, a, statement) != 0) {
        return fail(g, MessageCode::kInternal, "get_join() analyze_condition()");
      }
      check_new_conditions(g, config, a, kClauseOn, statement, before);
      SqlStatement& st = stmt(a, statement);
      st.tables[joined].on_list.assign(st.cond_lists[kClauseOn].begin() + static_cast<std::ptrdiff_t>(before),
                                       st.cond_lists[kClauseOn].end());
      j = cond_end;
    } else if (j < t.size() && is_word(t[j], "USING")) {
      stmt(a, statement).kw_using = t[j].word;
      const std::size_t m = j + 1 < t.size() ? matching_paren(t, j + 1) : npos;
      if (m == npos) return fail(g, MessageCode::kInternal, "get_join() get join type");
      const std::string_view cols = body.substr(t[j + 1].begin, t[m].end - t[j + 1].begin);
      const std::int32_t offset = put_fulltext(a, cols);
      if (offset < 0) return fail(g, MessageCode::kInternal, "get_join() put_fulltext()");
      stmt(a, statement).tables[joined].using_text = offset;
      j = m + 1;
    }
    last = type;
  }
  return last;
}

int sql_connect_by(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                   int statement, std::string_view text, std::size_t& position,
                   std::string& end_word) {
  std::string word;
  int code = 0;
  if (!next_word(g, text, position, word, code)) {
    return fail(g, MessageCode::kInternal, "sql_connect_by() get 'BY' after 'CONNECT'");
  }
  if (!equals_nocase(word, "BY")) return fail(g, MessageCode::kInternal, "sql_connect_by() after 'CONNECT' word != 'BY'");
  if (peek_word(g, text, position, word) && equals_nocase(word, "NOCYCLE")) {
    next_word(g, text, position, word, code);
  }
  std::string clause;
  int rc = sql_part_lists(g, &stmt(analysis, statement), text, position, kPartConnectBy, clause,
                          end_word, kStopConnect);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, "sql_connect_by() get CONNECT BY");
    return rc;
  }
  const std::size_t before = clause_size(analysis, statement, kClauseConnect);
  if (analyze_condition(g, kClauseConnect, clause, analysis, statement) != 0) {
    return fail(g, MessageCode::kInternal, "sql_connect_by() get CONNECT BY");
  }
  check_new_conditions(g, config, analysis, kClauseConnect, statement, before);
  if (equals_nocase(end_word, "START")) {
    const std::size_t start = keyword_begin(position, end_word);
    return read_start_with(g, config, analysis, statement, text, start, position, end_word,
                           "sql_connect_by() get start with condition",
                           "sql_connect_by() get start with condition");
  }
  return 0;
}

int sql_group_by(GlobalParams& g, const TefConfig& /*config*/, SqlAnalysis& analysis,
                 int statement, std::string_view text, std::size_t& position,
                 std::string& end_word) {
  std::string word;
  int code = 0;
  if (!next_word(g, text, position, word, code)) {
    return fail(g, MessageCode::kInternal, "sql_group_by() get 'BY' after 'GROUP'");
  }
  if (!equals_nocase(word, "BY")) return fail(g, MessageCode::kInternal, "sql_group_by() after 'GROUP' word != 'BY'");
  if (!peek_word(g, text, position, word)) {
    return fail(g, MessageCode::kInternal, "sql_group_by() get word after 'GROUP BY'");
  }
  bool grouped = false;
  if (equals_nocase(word, "GROUPING")) {
    next_word(g, text, position, word, code);
    if (!next_word(g, text, position, word, code)) {
      return fail(g, MessageCode::kInternal, "sql_group_by() get word after 'GROUP BY GROUPING'");
    }
    if (!equals_nocase(word, "SETS")) {
      return fail(g, MessageCode::kInternal, "sql_group_by() after 'GROUPING' word != 'SETS'");
    }
    grouped = true;
  } else if (equals_nocase(word, "ROLLUP") || equals_nocase(word, "CUBE")) {
    next_word(g, text, position, word, code);
    grouped = true;
  }
  std::string list;
  int rc = sql_part_lists(g, &stmt(analysis, statement), text, position, kPartGroupBy, list,
                          end_word, kStopGroup);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, "sql_group_by() get group by list");
    return rc;
  }
  if (grouped && list.size() >= 2 && list.front() == '(' && list.back() == ')') {
    const std::vector<SqlToken> t = tokenize_sql(g, list);
    if (!t.empty() && matching_paren(t, 0) == t.size() - 1) list = list.substr(1, list.size() - 2);
  }
  std::vector<ItemSpan> items;
  if (separate_comma(g, list, items) != 0 ||
      items.size() > static_cast<std::size_t>(kMaxOrderGroupItems)) {
    return fail(g, MessageCode::kInternal, "sql_group_by() get columns from group by list");
  }
  for (const ItemSpan& span : items) {
    const std::string item(trim_blanks_view(span.of(list)));
    std::int32_t index = 0;
    rc = put_list_column(g, analysis, item, false, index, "sql_group_by() num. of columns over",
                         "sql_group_by() put_fulltext()");
    if (rc != 0) return rc;
    stmt(analysis, statement).group_by_list.push_back(index);
  }
  return 0;
}

int sql_having(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
               std::string_view text, std::size_t& position, std::string& end_word) {
  std::string list;
  int rc = sql_part_lists(g, &stmt(analysis, statement), text, position, kPartConnectBy, list,
                          end_word, kStopHaving);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, "sql_having() get having list");
    return rc;
  }
  std::vector<ItemSpan> items;
  if (separate_comma(g, list, items) != 0) {
    return fail(g, MessageCode::kInternal, "sql_having() get columns from having list");
  }
  const std::size_t before = clause_size(analysis, statement, kClauseHaving);
  for (const ItemSpan& span : items) {
    if (analyze_condition(g, kClauseHaving, span.of(list), analysis, statement) != 0) {
      return fail(g, MessageCode::kInternal, "sql_having() analyze_condition()");
    }
  }
  check_new_conditions(g, config, analysis, kClauseHaving, statement, before);
  return 0;
}

int sql_order_by(GlobalParams& g, const TefConfig& /*config*/, SqlAnalysis& analysis,
                 int statement, std::string_view text, std::size_t& position,
                 std::string& end_word) {
  std::string word;
  int code = 0;
  if (!next_word(g, text, position, word, code)) {
    return fail(g, MessageCode::kInternal, "sql_select_group_by() get 'BY' after 'ORDER'");
  }
  if (equals_nocase(word, "SIBLINGS")) {
    if (!next_word(g, text, position, word, code)) {
      return fail(g, MessageCode::kInternal, "sql_select_group_by() get word after 'ORDER SIBLINGS'");
    }
    if (!equals_nocase(word, "BY")) {
      return fail(g, MessageCode::kInternal, "sql_select_group_by() after 'ORDER  SIBLINGS' word != 'BY'");
    }
  } else if (!equals_nocase(word, "BY")) {
    return fail(g, MessageCode::kInternal, "sql_select_group_by() after 'ORDER' word != 'BY'");
  }
  std::string list;
  int rc = sql_part_lists(g, &stmt(analysis, statement), text, position, kPartOrderBy, list,
                          end_word, kStopOrder);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, "sql_order_by() get order by list");
    return rc;
  }
  std::vector<ItemSpan> items;
  if (separate_comma(g, list, items) != 0 ||
      items.size() > static_cast<std::size_t>(kMaxOrderGroupItems)) {
    return fail(g, MessageCode::kInternal, "sql_order_by() get columns from order by list");
  }
  for (const ItemSpan& span : items) {
    const std::string item(trim_blanks_view(span.of(list)));
    std::int32_t index = 0;
    rc = put_list_column(g, analysis, item, true, index, "sql_order_by() SQL->col buffer over",
                         "sql_order_by() put_fulltext()");
    if (rc != 0) return rc;
    stmt(analysis, statement).order_by_list.push_back(index);
  }
  return 0;
}

int sql_for_update(GlobalParams& g, const TefConfig& /*config*/, SqlAnalysis& analysis,
                   int statement, std::string_view text, std::size_t& position,
                   std::string& end_word) {
  const std::size_t for_begin = keyword_begin(position, end_word);
  const std::string for_word(text.substr(for_begin, position - for_begin));
  std::string word;
  int code = 0;
  if (!next_word(g, text, position, word, code)) {
    return fail(g, MessageCode::kInternal, "sql_for_update() get 'UPDATE' after 'FOR'");
  }
  if (!equals_nocase(word, "UPDATE")) {
    return fail(g, MessageCode::kInternal, "sql_for_update() after 'FOR' word != 'UPDATE'");
  }
  SqlStatement& st = stmt(analysis, statement);
  st.kw_for_update = for_word + " " + word;
  st.for_update_text.assign(trim_blanks_view(text.substr(std::min(position, text.size()))));
  position = text.size();
  end_word.clear();
  return 0;
}

int sql_select(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
               std::string_view text, std::size_t& position) {
  SqlAnalysis& a = analysis;
  const std::size_t start = std::min(position, text.size());
  std::size_t pos = start;
  std::string word;
  int code = 0;
  if (!next_word(g, text, pos, word, code) || !equals_nocase(word, "SELECT")) {
    return fail(g, MessageCode::kInternal, "sql_select() first word != 'SELECT'");
  }
  int s = 0;
  try {
    if (realloc_sql_buffer(g, a, kStatementSelect, text.substr(start), s) != 0) return -1;
    NestingGuard guard{a};
    {
      SqlStatement& st = stmt(a, s);
      st.kw_select = word;
      if (s == 0 && st.text.empty()) st.text.assign(trim_blanks_view(text.substr(start)));
    }

    // An optimiser hint directly after SELECT.
    std::size_t q = pos;
    while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
    if (text.substr(q, 3) == "/*+") {
      const std::size_t close = text.find("*/", q + 3);
      if (close == npos) return fail(g, MessageCode::kInternal, "sql_select() sql_hint()");
      stmt(a, s).hint.assign(trim_blanks_view(text.substr(q + 3, close - q - 3)));
      pos = close + 2;
    }

    // Select options.
    for (;;) {
      std::size_t p = pos;
      int depth = 0;
      if (get_word(g.os_charset, text, p, word, code, depth) != 0) break;
      if (!equals_nocase(word, "ALL") && !equals_nocase(word, "DISTINCT") &&
          !equals_nocase(word, "UNIQUE")) {
        break;
      }
      append_word(stmt(a, s).option, word);
      pos = p;
    }

    std::string list;
    std::string end_word;
    if (sql_part_lists(g, &stmt(a, s), text, pos, kPartSelectList, list, end_word, kStopSelect) != 0) {
      return fail(g, MessageCode::kInternal, "sql_select() sql_part_lists()");
    }
    stmt(a, s).kw_from = end_word;
    std::vector<ItemSpan> items;
    if (separate_comma(g, list, items) != 0) return fail(g, MessageCode::kInternal, "sql_select() separate_comma()");

    if (equals_nocase(end_word, "INTO")) {
      stmt(a, s).kw_into = end_word;
      std::string into;
      if (sql_part_lists(g, &stmt(a, s), text, pos, kPartIntoList, into, end_word, kStopInto) != 0) {
        return fail(g, MessageCode::kInternal, "sql_select() get host values list");
      }
      stmt(a, s).kw_from = end_word;
      std::vector<ItemSpan> vars;
      if (separate_comma(g, into, vars) != 0) {
        return fail(g, MessageCode::kInternal, "sql_select() get host var from into_columns list");
      }
      for (const ItemSpan& span : vars) {
        const std::string_view var = trim_blanks_view(span.of(into));
        if (a.column_fill >= g.maxp.col_num ||
            static_cast<std::size_t>(a.column_fill) >= a.columns.size()) {
          fail(g, MessageCode::kInternal, "sql_select() num. of columns over");
          return -22;
        }
        SqlColumn c;
        c.text = put_fulltext(a, var);
        if (c.text < 0) return fail(g, MessageCode::kInternal, "sql_select() put_fulltext()");
        c.kind = !var.empty() && var.front() == ':' ? kColumnHostVariable : kColumnOther;
        c.column_name.assign(var.substr(!var.empty() && var.front() == ':' ? 1 : 0));
        a.columns[static_cast<std::size_t>(a.column_fill)] = std::move(c);
        stmt(a, s).into_list.push_back(a.column_fill);
        ++a.column_fill;
      }
    }

    for (const ItemSpan& span : items) {
      const std::string item(trim_blanks_view(span.of(list)));
      if (item.empty()) continue;
      const std::int32_t index = a.column_fill;
      std::vector<std::int32_t> cols;
      bool sub = false;
      const int rc = analyze_expression(g, config, a, item, cols, sub);
      if (rc != 0) {
        fail(g, MessageCode::kInternal, "sql_select() analyze_expression");
        return rc;
      }
      if (cols.empty()) {
        if (a.column_fill >= g.maxp.col_num ||
            static_cast<std::size_t>(a.column_fill) >= a.columns.size()) {
          fail(g, MessageCode::kInternal, "sql_select() num. of columns over");
          return -22;
        }
        a.columns[static_cast<std::size_t>(index)] = SqlColumn{};
        ++a.column_fill;
      }
      const std::int32_t offset = put_fulltext(a, item);
      if (offset < 0) return fail(g, MessageCode::kInternal, "sql_select() put_fulltext()");
      a.columns[static_cast<std::size_t>(index)].text = offset;
      stmt(a, s).select_list.push_back(index);
    }

    if (!equals_nocase(end_word, "FROM")) return fail(g, MessageCode::kInternal, "sql_select() get table list");
    std::string tables;
    if (sql_part_lists(g, &stmt(a, s), text, pos, kPartTableList, tables, end_word, kStopFrom) != 0) {
      return fail(g, MessageCode::kInternal, "sql_select() get table list");
    }
    std::vector<ItemSpan> table_items;
    if (separate_comma(g, tables, table_items) != 0) {
      return fail(g, MessageCode::kInternal, "sql_select() get tables from tables list");
    }
    const int depth = a.nesting_depth - 1;
    for (const ItemSpan& span : table_items) {
      if (stmt(a, s).table_count >= g.maxp.sql_level_num) {
        return fail(g, MessageCode::kInternal, "sql_select() num. of tables over");
      }
      if (analyze_table(g, config, a, s, span.of(tables), stmt(a, s).table_count, depth, 0) != 0) {
        return fail(g, MessageCode::kInternal, "sql_select() analyze_table()");
      }
    }

    if (equals_nocase(end_word, "WHERE")) {
      stmt(a, s).kw_where = end_word;
      std::string where;
      std::size_t unread = 0;
      if (sql_part_lists(g, &stmt(a, s), text, pos, kPartWhere, where, end_word, kStopWhere) != 0 ||
          analyze_condition(g, kClauseWhere, where, a, s, &unread) != 0) {
        return fail(g, MessageCode::kInternal, "sql_select() get where condition");
      }
      // Words after the last predicate would otherwise be dropped unseen,
      // and the rows selected by part of the condition.
      if (!trim_blanks_view(std::string_view(where).substr(std::min(unread, where.size()))).empty()) {
        return fail(g, MessageCode::kInternal, "sql_select() get where condition");
      }
      check_condition(g, config, a, kClauseWhere, s);
    }

    if (!end_word.empty()) {
      stmt(a, s).rest_text.assign(trim_blanks_view(text.substr(keyword_begin(pos, end_word))));
    }
    // The later clauses; their failures are reported but do not fail the
    // statement.
    while (!end_word.empty()) {
      const std::size_t begin = keyword_begin(pos, end_word);
      int rc = 0;
      if (equals_nocase(end_word, "START")) {
        rc = read_start_with(g, config, a, s, text, begin, pos, end_word,
                             "sql_select() get START WITH", "sql_select() get start with condition");
      } else if (equals_nocase(end_word, "CONNECT")) {
        rc = sql_connect_by(g, config, a, s, text, pos, end_word);
      } else if (equals_nocase(end_word, "GROUP")) {
        rc = sql_group_by(g, config, a, s, text, pos, end_word);
      } else if (equals_nocase(end_word, "HAVING")) {
        stmt(a, s).kw_having = end_word;
        rc = sql_having(g, config, a, s, text, pos, end_word);
      } else if (equals_nocase(end_word, "ORDER")) {
        rc = sql_order_by(g, config, a, s, text, pos, end_word);
      } else if (equals_nocase(end_word, "FOR")) {
        rc = sql_for_update(g, config, a, s, text, pos, end_word);
      } else if (equals_nocase(end_word, "WITH")) {
        const std::int32_t offset = put_fulltext(a, trim_blanks_view(text.substr(begin)));
        if (offset >= 0) stmt(a, s).with_text = offset;
        pos = text.size();
        break;
      } else {
        break;  // MODEL: kept in the rest text only
      }
      if (rc != 0) break;
    }
    position = pos;
    return 0;
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
}

}  // namespace qln
