#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qln {

// Records an analysis produces. Text offsets refer to the analysis' text
// pool (`fulltext`); -1 means "no text".

inline constexpr int kMaxColumnsCond = 300;        // columns per operand
inline constexpr int kMaxCondPerClause = 300;      // records per clause list
inline constexpr int kMaxOrderGroupItems = 50;     // GROUP BY / ORDER BY items
inline constexpr int kMaxStatementColumns = 1000;  // select list, into list
inline constexpr std::size_t kMaxBoundTextLen = 4096;  // BETWEEN bound texts, exclusive
inline constexpr std::size_t kMaxKeywordLen = 31;
inline constexpr std::size_t kMaxSqlNameLen = 30;  // schema, table, alias, partition
inline constexpr std::size_t kMaxColumnNameLen = 61;
inline constexpr std::size_t kMaxFunctionsLen = 49;  // kept while shorter than 50
inline constexpr const char* kInitialCondFlags = "0000000000000000";

// Clause numbers of the per-clause condition lists.
enum ClauseKind : int {
  kClauseWhere = 0,
  kClauseUpdateSet = 1,
  kClauseSet = 2,
  kClauseHaving = 3,
  kClauseOn = 4,
  kClauseDelete = 5,
  kClauseStart = 6,
  kClauseConnect = 7,
};
inline constexpr int kClauseCount = 8;

enum StatementKind : int {
  kStatementOther = -1,
  kStatementSelect = 1,
  kStatementUpdate = 2,
  kStatementInsert = 3,
  kStatementDelete = 4,
  kStatementMerge = 5,
  kStatementWith = 6,
};

enum TableKind : int {
  kTableNamed = -1,
  kTableInlineView = 10,
  kTableBracketName = 100,
};

enum JoinType : int {
  kJoinNone = 0,
  kJoinPlain = 1,
  kJoinInner = 2,
  kJoinLeft = 20,
  kJoinLeftOuter = 21,
  kJoinRight = 30,
  kJoinRightOuter = 31,
  kJoinFull = 40,
  kJoinFullOuter = 41,
  kJoinCross = 50,
  kJoinNatural = 61,
  kJoinNaturalInner = 62,
  kJoinNaturalLeft = 63,
  kJoinNaturalRight = 64,
  kJoinNaturalFull = 65,
};

// Column kinds of SqlColumn::kind.
enum ColumnKind : int {
  kColumnOther = 0,
  kColumnBetweenBound = 1,
  kColumnStar = 2,
  kColumnHostVariable = 4,
  kColumnReference = 5,
};

// One predicate. A default-constructed record is in its initialised state.
// Parentheses are not records: `level` and `next_level` carry the depths.
// By operator: BETWEEN keeps its bounds in left_value / right_value with an
// empty right_text; IN / EXISTS / ANY / SOME / ALL keep "(list)" or
// "(SELECT ...)" as right_text; IS [NOT] NULL, a stand-alone NOT (left and
// right -1) and EXISTS (left -1) have no right or left operand. Operand texts
// have "(+)" removed (see outer_join) and a lone quoted name unquoted.
struct Condition {
  std::int32_t reserved = -1;
  std::int32_t level = 0;  // depth at which the left operand starts
  std::int32_t left_text = -1;
  std::int32_t left_subquery = -1;
  std::vector<std::int32_t> left_cols;  // column-table indices; size() is left_col_ct
  std::string left_value;               // BETWEEN lower bound
  std::string left_flags = kInitialCondFlags;
  std::int32_t op = -1;          // word code of the operator phrase
  std::int32_t outer_join = 0;   // 21 left operand had (+), 31 right one
  std::int32_t reserved2 = 0;
  std::int32_t right_text = -1;
  std::int32_t right_subquery = -1;
  std::vector<std::int32_t> right_cols;  // size() is right_col_ct
  std::string right_value;               // BETWEEN upper bound
  std::string right_flags = kInitialCondFlags;
  std::int32_t next_logic = -1;  // 100 AND, 101 OR
  std::int32_t next_level = 0;
};

// One entry of the column table. Default-constructed = zeroed.
struct SqlColumn {
  std::int32_t text = 0;  // offset of the operand or select item
  std::int32_t kind = kColumnOther;
  std::int32_t table_idx = 0;
  std::int32_t subquery = 0;
  std::string table_name;   // qualifier as written, at most kMaxSqlNameLen
  std::string column_name;  // at most kMaxColumnNameLen
  std::string other_name;   // left empty by the analyser
  std::string functions;    // upper case, blank-separated
};

// One FROM item. Default-constructed = the state a statement reset leaves.
struct SqlTable {
  std::int32_t text = -1;  // offset of the item text
  std::int32_t depth = 0;
  std::int32_t kind = -1;  // TableKind
  std::string schema;
  std::string name_as_written;
  std::string alias;
  std::string table_name;
  std::string partition;
  std::vector<std::int32_t> on_list;  // condition indices of the join's ON
  std::int32_t using_text = 0;
  std::int32_t flashback_text = 0;  // VERSIONS / AS OF / SAMPLE text, 0 = none
  std::int32_t subquery = -1;       // first statement of an inline view
  std::int32_t join_type = kJoinNone;
};

// One analysed SELECT.
struct SqlStatement {
  // Set by realloc_sql_buffer; kept by reset_statement.
  std::int32_t index = 0;
  std::int32_t parent = -1;
  std::int32_t kind = kStatementOther;

  std::string text;       // the statement text (at most 66,560 bytes)
  std::string work_text;  // second buffer of the same size for the analyser

  // Clause keywords as met, each at most kMaxKeywordLen bytes.
  std::string kw_select;
  std::string kw_from;  // the word that ended the select list
  std::string kw_into;
  std::string kw_on;
  std::string kw_using;
  std::string kw_where;
  std::string kw_having;
  std::string kw_for_update;

  std::string option;  // DISTINCT / UNIQUE / ALL as written; empty = none
  std::string hint;    // inner text of /*+ ... */
  std::string select_text;
  std::vector<std::int32_t> select_list;  // column-table indices
  std::vector<std::int32_t> into_list;
  std::string table_text;
  std::vector<SqlTable> tables;  // maxp.sql_level_num records
  std::int32_t table_count = 0;
  std::string group_by_text;
  std::string where_text;
  std::string order_by_text;
  std::string rest_text;
  std::string for_update_text;
  std::array<std::vector<std::int32_t>, kClauseCount> cond_lists;  // by ClauseKind
  std::vector<std::int32_t> group_by_list;
  std::vector<std::int32_t> order_by_list;
  std::int32_t with_text = -1;
  std::int32_t start_with_text = -1;
  std::int32_t set_operator = -1;  // 3000..3003 when another part follows
  std::int32_t next_statement = -1;
};

}  // namespace qln
