#include "eval/cond_program.hpp"
#include "eval/like_match.hpp"
#include "eval/sql_functions.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {

bool is_textual(const SqlValue& v) noexcept { return v.type == VT_TEXT || v.type == VT_BYTES; }
bool is_date(const SqlValue& v) noexcept {
  return v.type == VT_DATE || v.type == VT_TIMESTAMP || v.type == VT_SYSDATE;
}

// A text operand of arithmetic is read as a number, as the database does.
const SqlValue* as_number(const SqlValue* v, SqlValue& tmp) {
  if (v->type == VT_NUMBER) return v;
  if (!is_textual(*v) || value_set_number(tmp, v->text) != 0 || tmp.type != VT_NUMBER) return nullptr;
  return &tmp;
}

// "||" treats NULL as an empty text and takes numbers by their text.
int concat(const SqlValue& a, const SqlValue& b, SqlValue& out) {
  auto text_of = [](const SqlValue& v, std::string_view& s) {
    if (is_null_value(v)) {
      s = {};
      return true;
    }
    if (v.is_error() || (!is_textual(v) && v.type != VT_NUMBER)) return false;
    s = v.text;
    return true;
  };
  std::string_view sa, sb;
  if (!text_of(a, sa) || !text_of(b, sb) || sa.size() + sb.size() > kMaxValueLen) return -1;
  out.type = VT_TEXT;
  if (&a != &out) out.text.assign(sa);
  out.text.append(sb);
  out.length = static_cast<std::int32_t>(out.text.size());
  if (out.length == 0) value_clear(out);
  return 0;
}

int binary(EvalContext& ctx, const ExprItem& item, SqlValue& out, const SqlValue* a, const SqlValue* b) {
  if (item.code == kWordConcat) return concat(*a, *b, out);
  if (is_null_value(*a) || is_null_value(*b)) return value_clear(out);
  a = as_number(a, ctx.left);
  b = as_number(b, ctx.right);
  if (a == nullptr || b == nullptr) return -1;
  return value_arith(*a, item.code, *b, out) == 0 && !out.is_error() ? 0 : -1;
}

int negate(EvalContext& ctx, SqlValue& out, const SqlValue* a) {
  if (is_null_value(*a)) return value_clear(out);
  a = as_number(a, ctx.left);
  if (a == nullptr || a->is_error()) return -1;
  return value_set_decimal(out, a->number.negated());
}

int call(GlobalParams& g, EvalContext& ctx, const ExprItem& item, SqlValue& out,
         std::span<const SqlValue* const> args) {
  // Every function here gives NULL for a NULL argument.
  for (const SqlValue* v : args)
    if (is_null_value(*v)) return value_clear(out);
  if (ctx.args.size() < args.size()) ctx.args.resize(args.size());
  for (std::size_t i = 0; i < args.size(); ++i)
    if (value_copy(*args[i], ctx.args[i]) != 0) return -1;
  const std::span<const SqlValue> values(ctx.args.data(), args.size());
  return call_function(g, item.function, values, out) == 0 && !out.is_error() ? 0 : -1;
}

CondTruth truth_of(bool b) noexcept { return b ? kCondTrue : kCondFalse; }

CondTruth and3(CondTruth a, CondTruth b) noexcept {
  if (a == kCondFalse || b == kCondFalse) return kCondFalse;
  return a == kCondUnknown || b == kCondUnknown ? kCondUnknown : kCondTrue;
}
CondTruth or3(CondTruth a, CondTruth b) noexcept {
  if (a == kCondTrue || b == kCondTrue) return kCondTrue;
  return a == kCondUnknown || b == kCondUnknown ? kCondUnknown : kCondFalse;
}
CondTruth not3(CondTruth a) noexcept {
  return a == kCondUnknown ? kCondUnknown : (a == kCondTrue ? kCondFalse : kCondTrue);
}

// Texts compared byte for byte; the shorter one is less when it is a
// prefix of the other.
int compare_bytes(std::string_view a, std::string_view b) noexcept {
  const int c = a.compare(b);
  return c < 0 ? CMP_LESS : (c > 0 ? CMP_GREATER : CMP_EQUAL);
}

// value_compare of two non-NULL values; a text met by a date is read in the
// program's date format. Texts compare blank-padded only when both are
// fixed-length (CHAR columns, literals), as in the database. -1 for a pair
// that cannot be compared.
int compare(const CondProgram& p, EvalContext& ctx, const SqlValue& l, const SqlValue& r, bool padded,
            int& c) {
  if (l.is_error() || r.is_error()) return -1;
  if (is_date(l) && is_textual(r)) {
    if (to_date(r.text, p.date_format, p.charset, ctx.scratch) != 0) return -1;
    c = value_compare(l, ctx.scratch);
  } else if (is_textual(l) && is_date(r)) {
    if (to_date(l.text, p.date_format, p.charset, ctx.scratch) != 0) return -1;
    c = value_compare(ctx.scratch, r);
  } else if (is_textual(l) && is_textual(r) && !padded) {
    c = compare_bytes(l.text, r.text);
  } else {
    c = value_compare(l, r);
  }
  return c == CMP_NONE ? -1 : 0;
}

// The comparison operators on two operand values.
int compare_truth(const CondProgram& p, EvalContext& ctx, int op, const SqlValue& l,
                  const SqlValue& r, bool padded, CondTruth& t) {
  if (is_null_value(l) || is_null_value(r)) {
    t = kCondUnknown;
    return 0;
  }
  int c = 0;
  if (compare(p, ctx, l, r, padded, c) != 0) return -1;
  switch (op) {
    case kWordEq: t = truth_of(c == CMP_EQUAL); break;
    case kWordNe: case kWordNeAngle: case kWordNeCaret: t = truth_of(c != CMP_EQUAL); break;
    case kWordLt: t = truth_of(c == CMP_LESS); break;
    case kWordLe: t = truth_of(c != CMP_GREATER); break;
    case kWordGt: t = truth_of(c == CMP_GREATER); break;
    case kWordGe: t = truth_of(c != CMP_LESS); break;
    default: return -1;
  }
  return 0;
}

// The text LIKE reads: texts as they are, numbers by their text.
bool like_text(const SqlValue& v) noexcept { return !v.is_error() && (is_textual(v) || v.type == VT_NUMBER); }

int eval_predicate(GlobalParams& g, const CondProgram& p, EvalContext& ctx, const CondEntry& e,
                   std::span<const SqlValue> row, CondTruth& t) {
  if (eval_operand(g, p, ctx, e.left, row) != 0) return -1;
  const SqlValue* l = ctx.result;
  switch (e.op) {
    case kWordIsNull: t = truth_of(is_null_value(*l)); return 0;
    case kWordIsNotNull: t = truth_of(!is_null_value(*l)); return 0;
    case kWordBetween: {
      CondTruth low = kCondUnknown, high = kCondUnknown;
      if (eval_operand(g, p, ctx, e.list[0], row) != 0 ||
          compare_truth(p, ctx, kWordGe, *l, *ctx.result, e.left.fixed_char && e.list[0].fixed_char, low) != 0)
        return -1;
      if (low == kCondFalse) {
        t = kCondFalse;
        return 0;
      }
      if (eval_operand(g, p, ctx, e.list[1], row) != 0 ||
          compare_truth(p, ctx, kWordLe, *l, *ctx.result, e.left.fixed_char && e.list[1].fixed_char, high) != 0)
        return -1;
      t = and3(low, high);
      return 0;
    }
    case kWordIn:
    case kWordNotIn: {
      // Equality with each element: found decides; otherwise a NULL on
      // either side leaves the answer unknown.
      bool unknown = is_null_value(*l);
      bool found = false;
      for (const OperandRange& element : e.list) {
        if (eval_operand(g, p, ctx, element, row) != 0) return -1;
        CondTruth eq = kCondUnknown;
        if (compare_truth(p, ctx, kWordEq, *l, *ctx.result, e.left.fixed_char && element.fixed_char, eq) != 0)
          return -1;
        if (eq == kCondTrue) {
          found = true;
          break;
        }
        if (eq == kCondUnknown) unknown = true;
      }
      t = found ? kCondTrue : (unknown ? kCondUnknown : kCondFalse);
      if (e.op == kWordNotIn) t = not3(t);
      return 0;
    }
    default:
      break;
  }
  if (eval_operand(g, p, ctx, e.right, row) != 0) return -1;
  const SqlValue* r = ctx.result;
  if (e.op == kWordLike || e.op == kWordNotLike) {
    if (is_null_value(*l) || is_null_value(*r)) {
      t = kCondUnknown;
      return 0;
    }
    if (!like_text(*l) || !like_text(*r)) return -1;
    const bool m = like_match(p.charset, l->text, r->text);
    t = truth_of(e.op == kWordLike ? m : !m);
    return 0;
  }
  return compare_truth(p, ctx, e.op, *l, *r, e.left.fixed_char && e.right.fixed_char, t);
}

}  // namespace

int eval_operand(GlobalParams& g, const CondProgram& p, EvalContext& ctx, OperandRange range,
                 std::span<const SqlValue> row) {
  if (ctx.values.size() < p.items.size()) return -1;
  auto& stack = ctx.stack;
  stack.clear();
  for (std::int32_t i = range.first; i < range.last; ++i) {
    const ExprItem& item = p.items[static_cast<std::size_t>(i)];
    SqlValue& out = ctx.values[static_cast<std::size_t>(i)];
    switch (item.kind) {
      case kItemColumn:
        if (item.column < 0 || static_cast<std::size_t>(item.column) >= row.size()) return -1;
        stack.push_back(&row[static_cast<std::size_t>(item.column)]);
        break;
      case kItemLiteral:
        stack.push_back(&item.value);
        break;
      case kItemUnary:
        if (stack.empty() || negate(ctx, out, stack.back()) != 0) return -1;
        stack.back() = &out;
        break;
      case kItemBinary: {
        if (stack.size() < 2) return -1;
        const SqlValue* b = stack.back();
        stack.pop_back();
        if (binary(ctx, item, out, stack.back(), b) != 0) return -1;
        stack.back() = &out;
        break;
      }
      case kItemFunction: {
        const std::size_t n = static_cast<std::size_t>(item.args);
        if (stack.size() < n) return -1;
        if (call(g, ctx, item, out, std::span<const SqlValue* const>(stack.data() + stack.size() - n, n)) != 0)
          return -1;
        stack.resize(stack.size() - n);
        stack.push_back(&out);
        break;
      }
      default:
        return -1;
    }
  }
  if (stack.size() != 1) return -1;
  ctx.result = stack.back();
  return 0;
}

int eval_row_condition(GlobalParams& g, const CondProgram& p, EvalContext& ctx,
                       std::span<const SqlValue> row, int& truth) {
  truth = kCondFalse;
  if (!p.bound) return p.entries.empty() ? (truth = kCondTrue, 0) : -1;
  if (p.mode == 0) {
    // Only ANDs: the first predicate that is not true decides.
    CondTruth t = kCondTrue;
    for (const CondEntry& e : p.entries) {
      if (e.kind != kEntryPredicate) continue;
      if (eval_predicate(g, p, ctx, e, row, t) != 0) return -1;
      if (t != kCondTrue) break;
    }
    truth = t;
    return 0;
  }
  auto& stack = ctx.truth;
  stack.clear();
  for (const CondEntry& e : p.entries) {
    if (e.kind == kEntryPredicate) {
      CondTruth t = kCondUnknown;
      if (eval_predicate(g, p, ctx, e, row, t) != 0) return -1;
      stack.push_back(static_cast<signed char>(t));
      continue;
    }
    if (e.role == kWordNot) {
      if (stack.empty()) return -1;
      stack.back() = static_cast<signed char>(not3(static_cast<CondTruth>(stack.back())));
      continue;
    }
    if (stack.size() < 2) return -1;
    const CondTruth b = static_cast<CondTruth>(stack.back());
    stack.pop_back();
    const CondTruth a = static_cast<CondTruth>(stack.back());
    stack.back() = static_cast<signed char>(e.role == kWordAnd ? and3(a, b) : or3(a, b));
  }
  if (stack.size() != 1) return -1;
  truth = stack.back();
  return 0;
}

}  // namespace qln
