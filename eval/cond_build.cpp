#include <algorithm>
#include <string>
#include <vector>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "eval/cond_program.hpp"
#include "eval/sql_functions.hpp"
#include "sql/sql_text.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {


bool is_supported_op(int op) noexcept {
  switch (op) {
    case kWordEq: case kWordNe: case kWordNeAngle: case kWordNeCaret:
    case kWordLt: case kWordLe: case kWordGt: case kWordGe:
    case kWordBetween: case kWordLike: case kWordNotLike:
    case kWordIsNull: case kWordIsNotNull: case kWordIn: case kWordNotIn:
      return true;
    default:
      return false;
  }
}

// The record list read as a stream of predicates, NOTs, connectives and
// the parentheses their depths imply.
enum class Tok { kOpen, kClose, kPredicate, kNot, kAnd, kOr };
struct Token {
  Tok kind;
  int entry = -1;
};

std::vector<Token> token_stream(const SqlAnalysis& a, std::span<const std::int32_t> conds,
                                const std::vector<int>& entry_of) {
  std::vector<Token> out;
  int depth = 0;
  for (std::size_t i = 0; i < conds.size(); ++i) {
    const Condition& c = a.conditions[static_cast<std::size_t>(conds[i])];
    for (; depth < c.level; ++depth) out.push_back({Tok::kOpen});
    if (c.op == kWordNot) {
      out.push_back({Tok::kNot});
      continue;
    }
    out.push_back({Tok::kPredicate, entry_of[i]});
    const bool last = i + 1 == conds.size();
    if (c.next_logic == kWordAnd || c.next_logic == kWordOr) {
      for (; depth > c.next_level && depth > 0; --depth) out.push_back({Tok::kClose});
      out.push_back({c.next_logic == kWordAnd ? Tok::kAnd : Tok::kOr});
    } else if (last) {
      for (; depth > 0; --depth) out.push_back({Tok::kClose});
    }
  }
  for (; depth > 0; --depth) out.push_back({Tok::kClose});
  return out;
}

// OR over AND over NOT over a predicate or a group; emits postfix entries.
class LogicParser {
 public:
  LogicParser(const std::vector<Token>& tokens, std::vector<CondEntry>& predicates,
              std::vector<CondEntry>& out)
      : tokens_(tokens), predicates_(predicates), out_(out) {}

  // 0, -1 for a malformed stream, -2 for nesting beyond the stack.
  int run() {
    const int rc = or_expr();
    if (rc != 0) return rc;
    return at_ == tokens_.size() ? 0 : -1;
  }

 private:
  const std::vector<Token>& tokens_;
  std::vector<CondEntry>& predicates_;
  std::vector<CondEntry>& out_;
  std::size_t at_ = 0;
  int depth_ = 0;

  bool at(Tok t) const { return at_ < tokens_.size() && tokens_[at_].kind == t; }

  void connective(int role) {
    CondEntry e;
    e.kind = kEntryConnective;
    e.role = role;
    out_.push_back(std::move(e));
  }

  int or_expr() {
    int rc = and_expr();
    while (rc == 0 && at(Tok::kOr)) {
      ++at_;
      rc = and_expr();
      if (rc == 0) connective(kWordOr);
    }
    return rc;
  }

  int and_expr() {
    int rc = not_expr();
    while (rc == 0 && at(Tok::kAnd)) {
      ++at_;
      rc = not_expr();
      if (rc == 0) connective(kWordAnd);
    }
    return rc;
  }

  int not_expr() {
    if (++depth_ > kMaxCondPredicates) return -2;
    int rc = 0;
    if (at(Tok::kNot)) {
      ++at_;
      rc = not_expr();
      if (rc == 0) connective(kWordNot);
    } else {
      rc = primary();
    }
    --depth_;
    return rc;
  }

  int primary() {
    if (at(Tok::kPredicate)) {
      out_.push_back(std::move(predicates_[static_cast<std::size_t>(tokens_[at_].entry)]));
      ++at_;
      return 0;
    }
    if (!at(Tok::kOpen)) return -1;
    ++at_;
    const int rc = or_expr();
    if (rc != 0) return rc;
    if (!at(Tok::kClose)) return -1;
    ++at_;
    return 0;
  }
};

// The operand text, trimmed; 1903 when it is too long.
int operand_text(GlobalParams& g, std::string_view text, std::string& out) {
  out.assign(trim_blanks_view(text));
  if (out.size() > kMaxOperandText) return fail(g, MessageCode::kConditionTooLong, out);
  return 0;
}

// The elements of an IN list "(a, b, ...)".
int compile_in_list(GlobalParams& g, CondProgram& p, CondEntry& e) {
  std::string_view list = trim_blanks_view(e.right_text);
  if (list.size() < 2 || list.front() != '(' || list.back() != ')')
    return fail(g, MessageCode::kConditionRightInvalid, e.right_text);
  list = list.substr(1, list.size() - 2);
  std::vector<ItemSpan> items;
  if (separate_comma(g, list, items) != 0 || items.empty()) return fail(g, MessageCode::kConditionRightInvalid, e.right_text);
  for (const ItemSpan& item : items) {
    OperandRange range;
    if (compile_operand(g, p, trim_blanks_view(item.of(list)), MessageCode::kConditionRightInvalid, range) != 0) return -1;
    e.list.push_back(range);
  }
  return 0;
}

int compile_predicate(GlobalParams& g, const SqlAnalysis& a, const Condition& c, CondProgram& p,
                      CondEntry& e) {
  e.op = c.op;
  if (operand_text(g, get_fulltext(a, c.left_text), e.left_text) != 0) return -1;
  if (c.right_text >= 0 && operand_text(g, get_fulltext(a, c.right_text), e.right_text) != 0)
    return -1;
  // A sub-query cannot be evaluated on one row: refused, never guessed.
  if (c.right_subquery >= 0) return fail(g, MessageCode::kNotSupported, e.right_text);
  if (c.left_subquery >= 0) return fail(g, MessageCode::kNotSupported, e.left_text);
  if (!is_supported_op(c.op)) {
    return fail(g, MessageCode::kUnsupportedOperator, word_code_name(c.op, true));
  }
  switch (c.op) {
    case kWordBetween: {
      OperandRange low, high;
      std::string bound;
      if (compile_operand(g, p, e.left_text, MessageCode::kConditionLeftInvalid, e.left) != 0) return -1;
      if (operand_text(g, c.left_value, bound) != 0 ||
          compile_operand(g, p, bound, MessageCode::kConditionRightInvalid, low) != 0)
        return -1;
      e.right_text = bound;
      if (operand_text(g, c.right_value, bound) != 0 ||
          compile_operand(g, p, bound, MessageCode::kConditionRightInvalid, high) != 0)
        return -1;
      e.right_text += " AND " + bound;
      e.list = {low, high};
      return 0;
    }
    case kWordIn:
    case kWordNotIn:
      if (compile_operand(g, p, e.left_text, MessageCode::kConditionLeftInvalid, e.left) != 0) return -1;
      return compile_in_list(g, p, e);
    case kWordIsNull:
    case kWordIsNotNull:
      return compile_operand(g, p, e.left_text, MessageCode::kConditionLeftInvalid, e.left);
    default:
      if (compile_operand(g, p, e.right_text, MessageCode::kConditionRightInvalid, e.right) != 0) return -1;
      return compile_operand(g, p, e.left_text, MessageCode::kConditionLeftInvalid, e.left);
  }
}

// A qualifier names the table: its name, the query's alias, or
// schema.table.
bool qualifier_matches(const CondProgram& p, const TableDefinition& t, std::string_view q) {
  if (q.empty()) return true;
  const std::size_t dot = q.find('.');
  if (dot == std::string_view::npos)
    return equals_nocase(q, t.table_name) || (!p.from_alias.empty() && equals_nocase(q, p.from_alias));
  const std::string_view schema = q.substr(0, dot);
  const std::string_view table = q.substr(dot + 1);
  const bool schema_ok = equals_nocase(schema, t.owner) ||
                         (!p.from_schema.empty() && equals_nocase(schema, p.from_schema));
  return schema_ok && equals_nocase(table, t.table_name);
}

int find_column(const TableDefinition& t, const ExprItem& item) {
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const std::string& name = t.columns[i].name;
    if (item.quoted ? name == item.name : equals_nocase(name, item.name)) return static_cast<int>(i);
  }
  return -1;
}

// Columns whose rows hold a stand-in, not the data.
bool is_searchable(const ColumnDef& c) noexcept {
  return !is_large_object_type(c.type) && c.type != kColInterval;
}

bool is_fixed_char(const CondProgram& p, const TableDefinition& t, const OperandRange& r) {
  if (r.last - r.first != 1) return false;
  const ExprItem& item = p.items[static_cast<std::size_t>(r.first)];
  if (item.kind == kItemLiteral) return item.value.type == VT_TEXT;
  if (item.kind != kItemColumn || item.column < 0) return false;
  const std::int32_t type = t.columns[static_cast<std::size_t>(item.column)].type;
  return type == kColChar || type == kColNchar;
}

}  // namespace

int build_cond_program(GlobalParams& g, const SqlAnalysis& a, std::span<const std::int32_t> conds,
                       CondProgram& p, EvalContext& ctx) {
  free_cond_program(p);
  // Condition texts are the user's.
  p.charset = g.os_charset;
  if (conds.empty()) return 0;
  std::vector<CondEntry> predicates;
  std::vector<int> entry_of(conds.size(), -1);
  for (std::size_t i = 0; i < conds.size(); ++i) {
    const std::size_t index = static_cast<std::size_t>(conds[i]);
    if (index >= a.conditions.size()) return fail(g, MessageCode::kInternal, "build_cond_program() condition index");
    const Condition& c = a.conditions[index];
    if (c.op == kWordNot) continue;
    if (static_cast<int>(predicates.size()) >= kMaxCondPredicates)
      return fail(g, MessageCode::kConditionTooComplex, std::to_string(kMaxCondPredicates));
    CondEntry e;
    if (compile_predicate(g, a, c, p, e) != 0) {
      free_cond_program(p);
      return -1;
    }
    entry_of[i] = static_cast<int>(predicates.size());
    predicates.push_back(std::move(e));
  }
  const std::vector<Token> tokens = token_stream(a, conds, entry_of);
  LogicParser parser(tokens, predicates, p.entries);
  const int rc = parser.run();
  if (rc != 0) {
    free_cond_program(p);
    if (rc == -2) return fail(g, MessageCode::kConditionTooComplex, std::to_string(kMaxCondPredicates));
    return fail(g, MessageCode::kInternal, "build_cond_program() connectives");
  }
  p.mode = 0;
  for (const CondEntry& e : p.entries)
    if (e.kind == kEntryConnective && e.role != kWordAnd) p.mode = -1;
  prepare_eval_context(p, ctx);
  return 0;
}

void prepare_eval_context(const CondProgram& p, EvalContext& ctx) {
  ctx.values.resize(p.items.size());
  ctx.stack.reserve(p.items.size() + 1);
  ctx.truth.reserve(p.entries.size() + 1);
  ctx.args.resize(kMaxFunctionArgs);
}

int bind_cond_program(GlobalParams& g, CondProgram& p, EvalContext& ctx,
                      const TableDefinition& table) {
  p.bound = false;
  p.bound_columns.clear();
  for (ExprItem& item : p.items) {
    if (item.kind == kItemFunction && item.function == kFnSysdate) {
      // One clock reading for the whole run, as the database takes one per
      // statement.
      SqlValue now;
      if (call_function(g, kFnSysdate, {}, now) != 0) return fail(g, MessageCode::kProcessing);
      item.kind = kItemLiteral;
      value_copy(now, item.value);
      continue;
    }
    if (item.kind != kItemColumn) continue;
    const int col = qualifier_matches(p, table, item.qualifier) ? find_column(table, item) : -1;
    if (col < 0) return fail(g, MessageCode::kColumnNotFound, item.name);
    const ColumnDef& def = table.columns[static_cast<std::size_t>(col)];
    if (!is_searchable(def)) return fail(g, MessageCode::kColumnNotSearchable, def.type_text);
    item.column = col;
    if (std::find(p.bound_columns.begin(), p.bound_columns.end(), col) == p.bound_columns.end())
      p.bound_columns.push_back(col);
  }
  for (CondEntry& e : p.entries) {
    if (e.kind != kEntryPredicate) continue;
    e.left.fixed_char = is_fixed_char(p, table, e.left);
    e.right.fixed_char = is_fixed_char(p, table, e.right);
    for (OperandRange& r : e.list) r.fixed_char = is_fixed_char(p, table, r);
  }
  prepare_eval_context(p, ctx);
  p.bound = true;
  return 0;
}

void free_cond_program(CondProgram& p) {
  p.entries.clear();
  p.items.clear();
  p.bound_columns.clear();
  p.mode = 0;
  p.bound = false;
}

}  // namespace qln
