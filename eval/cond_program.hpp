#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "core/message_codes.hpp"
#include "core/table_definition.hpp"
#include "values/sql_value.hpp"
#include "sql/sql_analysis.hpp"

namespace qln {

// A WHERE clause compiled once and evaluated on every row of a table.
//
// Operands are postfix item lists; predicates and the connectives between
// them form a postfix program. Evaluation follows SQL: a comparison with a
// NULL operand is unknown, AND / OR / NOT use three-valued logic, and a row
// is selected only when the whole condition is true.

// Kinds of ExprItem.
enum ExprItemKind : std::int32_t {
  kItemColumn = 2,
  kItemLiteral = 12,
  kItemFunction = 13,
  kItemBinary = 10,
  kItemUnary = 11,
};

struct ExprItem {
  std::int32_t kind = kItemLiteral;
  std::int32_t code = 0;      // operator code of a binary or unary item
  std::string name;           // column or function name
  std::string qualifier;      // what stood before the column name, may be empty
  bool quoted = false;        // a quoted column name matches exactly
  std::int32_t column = -1;   // bound column position
  std::int32_t function = -1; // function code
  std::int32_t args = 0;      // arguments of a function item
  SqlValue value;             // the literal
};

// The items [first, last) of the program's item list.
struct OperandRange {
  std::int32_t first = 0;
  std::int32_t last = 0;
  // Set by binding: the operand is a text literal or a CHAR / NCHAR column.
  // Two such texts compare blank-padded, any other pair byte for byte.
  bool fixed_char = false;
};

enum CondEntryKind : std::int32_t { kEntryConnective = 1, kEntryPredicate = 10 };

struct CondEntry {
  std::int32_t kind = kEntryPredicate;
  std::int32_t role = -1;  // connectives: 100 AND, 101 OR, 6 NOT
  std::int32_t op = -1;    // predicate operator (word code)
  std::string left_text;   // operand texts, kept for messages
  std::string right_text;
  OperandRange left;
  OperandRange right;              // comparisons and LIKE
  std::vector<OperandRange> list;  // IN elements; BETWEEN: lower, upper bound
};

// Truth values of evaluation.
enum CondTruth : int { kCondFalse = -1, kCondTrue = 0, kCondUnknown = 1 };

struct CondProgram {
  std::int32_t mode = 0;  // 0: predicates joined only by AND; -1: postfix with OR / NOT
  std::vector<CondEntry> entries;
  std::vector<ExprItem> items;
  std::vector<std::int32_t> bound_columns;  // distinct positions the items read
  // Qualifiers a column may carry besides the table's own name: the FROM
  // item's alias and schema of a query.
  std::string from_alias;
  std::string from_schema;
  // Character set of the row texts and literals (characters for LIKE "_",
  // SUBSTR and friends) and the format a text compared with a date is read in.
  std::int32_t charset = kCharsetUtf8;
  std::string date_format = "YYYY/MM/DD HH24:MI:SS";
  bool bound = false;

  bool empty() const noexcept { return entries.empty(); }
};

// Work areas of evaluation, allocated once and reused for every row: the
// program itself is only read while rows are evaluated, so each thread that
// evaluates rows has a context of its own.
struct EvalContext {
  std::vector<SqlValue> values;  // per item: the result of an operator or call
  std::vector<const SqlValue*> stack;
  std::vector<SqlValue> args;
  std::vector<signed char> truth;
  SqlValue left, right, scratch;
  const SqlValue* result = nullptr;  // eval_operand's result
};

// Sizes a context for a built program (build and bind do it for the context
// they are given).
void prepare_eval_context(const CondProgram& p, EvalContext& ctx);

// Limits.
inline constexpr int kMaxCondPredicates = 30;
inline constexpr std::size_t kMaxOperandText = 4096;  // bytes; longer is 1903
inline constexpr int kMaxProgramItems = 1000;

// Compiles the WHERE predicates `conds` (indices into a.conditions, in text
// order) into `p`. 0, or -1 after its message: 1903 operand too long, 1905
// more than 30 predicates, 1906 / 1907 right / left operand invalid, 2009 a
// sub-query (named), 2110 unknown function, 2111 operator not supported,
// 2137 wrong argument count.
int build_cond_program(GlobalParams& g, const SqlAnalysis& a, std::span<const std::int32_t> conds,
                       CondProgram& p, EvalContext& ctx);

// Appends the postfix items of one operand text to p.items; `range` receives
// them. 0, or -1 with the message `invalid_code` (1906 or 1907)
// unless a more precise one applies (2009, 2110, 2137).
int compile_operand(GlobalParams& g, CondProgram& p, std::string_view text, MessageCode invalid_code,
                    OperandRange& range);

// Resolves column names against `table` (case-insensitive, a quoted name
// exactly; a qualifier must name the table, its alias or schema.table).
// 0, or -1 after 3104 with the column name. May be called again for another
// table.
int bind_cond_program(GlobalParams& g, CondProgram& p, EvalContext& ctx,
                      const TableDefinition& table);

// Evaluates one operand on `row`; ctx.result points at the value (owned by
// the row, the program or the context). 0, or -1 when it could not be
// computed (a function failed, arithmetic on a text...).
int eval_operand(GlobalParams& g, const CondProgram& p, EvalContext& ctx, OperandRange range,
                 std::span<const SqlValue> row);

// Evaluates the condition on a row of decoded values in table order.
// `truth` is kCondTrue, kCondFalse or kCondUnknown; a row is selected only
// when it is kCondTrue. -1 when evaluation failed (the caller reports 3200).
int eval_row_condition(GlobalParams& g, const CondProgram& p, EvalContext& ctx,
                       std::span<const SqlValue> row, int& truth);

// Releases the program's items and entries.
void free_cond_program(CondProgram& p);

// Whether a value counts as NULL in a condition: NULL or an empty text.
inline bool is_null_value(const SqlValue& v) noexcept {
  return v.type == VT_NULL || ((v.type == VT_TEXT || v.type == VT_BYTES) && v.length == 0);
}

}  // namespace qln
