#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/sql_text.hpp"
#include "sql/tef_config.hpp"

namespace qln {

// Most parts one set expression (UNION / INTERSECT / MINUS) is split into.
inline constexpr std::size_t kMaxSetParts = 30;
// A clause text of this many bytes or more is refused (-22).
inline constexpr std::size_t kMaxClauseLen = 66560;

// Modes of sql_part_lists; those that keep a copy name the statement field.
enum PartListMode : int {
  kPartSelectList = 0,  // select_text
  kPartIntoList = 1,
  kPartTableList = 3,  // table_text
  kPartWhere = 4,      // where_text
  kPartGroupBy = 5,    // group_by_text
  kPartStartWith = 6,
  kPartConnectBy = 7,  // also HAVING
  kPartOrderBy = 13,   // order_by_text
};

// Analyses the SELECT statement that starts at `position` of `text` into a
// new statement of the analysis (and further statements for its
// sub-queries). On success `position` is where the analysis stopped.
// 0, or -1 after message 4000 (message 2 when memory runs out).
int sql_select(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
               std::string_view text, std::size_t& position);

// Splits `text` at its set operators and analyses each part with
// sql_select; every part but the last gets its set operator and the index of
// the statement that follows it.
int sql_subquery(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                 std::string_view text);

// Splits a SELECT text at the UNION / UNION ALL / INTERSECT / MINUS that
// stand outside parentheses; operators[i] is the operator after part i
// (3000..3003). A text without them is one part. -1 (no message) for more
// than kMaxSetParts parts or an empty part.
int separate_sql(const GlobalParams& g, std::string_view text, std::vector<ItemSpan>& ranges,
                 std::vector<int>& operators);

// Analyses one FROM item (a table, an inline view, or a chain of joins) into
// table records of statement `statement`.
int analyze_table(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
                  std::string_view item, int table_index, int depth, int join_type);

// Reads the joins of `text` from `position` (just after the first table,
// which the caller has recorded) and analyses each joined table and its ON
// condition. The last join type, or -1.
int get_join(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
             std::string_view text, std::size_t position, int statement, int depth);

// Copies the clause text from `position` up to the first of `stop_words`
// (blank-separated, matched without regard to case at parenthesis depth 0)
// into `out`, trimmed; `end_word` receives the stop word as written ("" when
// the clause ended at the end of the text, at a ")" closing an enclosing
// group or at a ";") and `position` moves past it. Some modes keep a copy in
// the statement. -1 when nothing at all was left, -22 for a clause of
// kMaxClauseLen bytes or more.
int sql_part_lists(GlobalParams& g, SqlStatement* statement, std::string_view text,
                   std::size_t& position, int mode, std::string& out, std::string& end_word,
                   std::string_view stop_words);

// Clause readers, called with `position` just after their keyword; on return
// `position` / `end_word` tell where the next clause starts. 0, -1 or -22.
int sql_connect_by(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                   int statement, std::string_view text, std::size_t& position,
                   std::string& end_word);
int sql_group_by(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
                 std::string_view text, std::size_t& position, std::string& end_word);
int sql_having(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
               std::string_view text, std::size_t& position, std::string& end_word);
int sql_order_by(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int statement,
                 std::string_view text, std::size_t& position, std::string& end_word);
int sql_for_update(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                   int statement, std::string_view text, std::size_t& position,
                   std::string& end_word);

// Statement kind of a keyword: SELECT 1, UPDATE 2, INSERT 3, DELETE 4,
// MERGE 5, WITH 6, any other word -1.
int statement_kind(std::string_view word) noexcept;

}  // namespace qln
