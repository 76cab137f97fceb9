#include "sql/condition_analysis.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "core/messages.hpp"
#include "sql/clause_analysis.hpp"
#include "sql/select_analysis.hpp"
#include "sql/sql_text.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

constexpr std::string_view kStepDefault = "analyze_condition() step default:";
constexpr std::size_t npos = std::string_view::npos;

bool is_arith(int code) { return code == kWordConcat || (code >= kWordAdd && code <= kWordDiv); }
bool is_connective(int code) { return code == kWordAnd || code == kWordOr; }
// Words that make a parenthesised group a logical one.
bool is_logic_word(int code) { return (code >= 1 && code < 100) || is_connective(code); }
bool is_list_op(int code) {
  return code == kWordExists || code == kWordNotExists || code == kWordIn ||
         code == kWordNotIn || (code >= kWordSome && code <= kWordLeSome) ||
         (code >= kWordAny && code <= kWordLeAny) || (code >= kWordAll && code <= kWordLeAll);
}
bool is_without_right(int code) {
  return code == kWordIsNull || code == kWordIsNotNull || code == kWordNotNull;
}

bool is_word(const SqlToken& t, std::string_view w) { return is_plain(t) && equals_nocase(t.word, w); }

enum class Group { kLogical, kExpression, kSubquery, kUnclosed };

// Where each "(" and CASE of a clause ends and what each group is, worked
// out in one pass so that deep nesting stays linear.
class ClauseShape {
 public:
  explicit ClauseShape(const std::vector<SqlToken>& t)
      : match_(t.size(), npos), case_end_(t.size(), npos), group_(t.size(), Group::kUnclosed) {
    // The first token after each run of "(".
    std::vector<std::size_t> after_run(t.size() + 1, t.size());
    for (std::size_t j = t.size(); j-- > 0;) after_run[j] = is_lparen(t[j]) ? after_run[j + 1] : j;

    struct Frame {
      std::size_t open;
      bool plain;   // neither a call nor a sub-query
      bool logic = false;
      std::vector<std::size_t> cases;  // open CASE words inside this group
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{npos, true, false, {}});  // the clause itself
    for (std::size_t j = 0; j < t.size(); ++j) {
      Frame& top = stack.back();
      if (is_lparen(t[j])) {
        const std::size_t first = after_run[j + 1];
        const bool sub = first < t.size() && is_word(t[first], "SELECT");
        const bool call = j > 0 && is_plain(t[j - 1]);
        if (sub) group_[j] = Group::kSubquery;
        stack.push_back(Frame{j, !sub && !call, false, {}});
        continue;
      }
      if (is_rparen(t[j])) {
        if (stack.size() < 2) continue;
        Frame done = std::move(stack.back());
        stack.pop_back();
        match_[done.open] = j;
        if (group_[done.open] != Group::kSubquery) {
          group_[done.open] = done.logic ? Group::kLogical : Group::kExpression;
        }
        Frame& parent = stack.back();
        if (done.plain && done.logic && parent.cases.empty()) parent.logic = true;
        continue;
      }
      if (is_word(t[j], "CASE")) {
        top.cases.push_back(j);
      } else if (is_word(t[j], "END") && !top.cases.empty()) {
        case_end_[top.cases.back()] = j;
        top.cases.pop_back();
      } else if (is_logic_word(t[j].code) && top.cases.empty()) {
        top.logic = true;
      }
    }
  }

  std::size_t match(std::size_t open) const { return open < match_.size() ? match_[open] : npos; }
  std::size_t case_end(std::size_t i) const { return i < case_end_.size() ? case_end_[i] : npos; }
  Group group(std::size_t open) const {
    return match(open) == npos ? Group::kUnclosed : group_[open];
  }
  bool subquery(std::size_t open) const {
    return open < group_.size() && group_[open] == Group::kSubquery;
  }
  // A group that stands for a value: an expression or a sub-query.
  bool operand_group(std::size_t open) const {
    const Group k = group(open);
    return k == Group::kExpression || k == Group::kSubquery;
  }

 private:
  std::vector<std::size_t> match_;
  std::vector<std::size_t> case_end_;
  std::vector<Group> group_;
};

// One operand word: a name, literal, call, CASE expression, parenthesised
// expression or sub-query, taken whole.
struct Operand {
  std::string text;
  bool outer_join = false;  // "(+)" followed it
  bool subquery = false;
  bool prefix = false;      // PRIOR, or DATE / TIMESTAMP before a literal
};

class ConditionReader {
 public:
  ConditionReader(GlobalParams& g, SqlAnalysis& a, int clause, int statement,
                  std::string_view text)
      : g_(g), a_(a), clause_(clause), statement_(statement), text_(text) {}

  int run();
  // Where the analysis stopped: the end of the text, or the first byte of
  // the words it left unread.
  std::size_t stopped_at() const { return stopped_at_; }

 private:
  enum Step { kContinue, kStop, kFailed };

  Step on_operand(std::size_t& i);
  Step on_arith(std::size_t& i);
  Step on_coded(std::size_t& i);
  Step on_operator(int code, std::size_t& i);
  Step read_list(int code, std::size_t& i);
  Step read_between(std::size_t& i);
  Step connective(int code);
  int read_operand(std::size_t& i, Operand& out);
  int read_phrase(std::size_t i, std::size_t& consumed) const;
  Step store(bool has_right);
  Step store_between(const std::string& lower, const std::string& upper);
  Step store_bare(int op, int level, int next_level);
  int take_record(int level);
  Step finish_record(int idx);
  void clear_pending();
  Step failed(std::string_view text) {
    fail(g_, MessageCode::kInternal, text);
    return kFailed;
  }

  GlobalParams& g_;
  SqlAnalysis& a_;
  int clause_;
  int statement_;
  std::string_view text_;
  std::vector<SqlToken> t_;
  std::unique_ptr<ClauseShape> shape_;

  int state_ = 0;  // 0 left operand, 1 operator seen, 2 right operand, 3 stored
  int depth_ = 0;
  std::string left_;
  std::string right_;
  int left_level_ = 0;
  int op_ = -1;
  int outer_join_ = 0;
  int left_subquery_ = -1;
  int right_subquery_ = -1;
  bool last_plain_ = false;  // the right operand's last word was an operand word
  int pending_ = 0;          // coded word met before any left operand
  int pending_level_ = 0;
  int last_record_ = -1;
  std::size_t stopped_at_ = 0;
};

int ConditionReader::read_operand(std::size_t& i, Operand& out) {
  const SqlToken& tok = t_[i];
  if (is_lparen(tok)) {
    const std::size_t m = shape_->match(i);
    if (m == npos) return -1;
    out.text.assign(text_.substr(tok.begin, t_[m].end - tok.begin));
    out.subquery = shape_->subquery(i);
    i = m + 1;
    return 0;
  }
  if (is_word(tok, "CASE")) {
    const std::size_t e = shape_->case_end(i);
    if (e == npos) return -1;
    out.text.assign(text_.substr(tok.begin, t_[e].end - tok.begin));
    i = e + 1;
    return 0;
  }
  if (is_comma(tok)) {
    out.text = ",";
    ++i;
    return 0;
  }
  if (i + 1 < t_.size() && is_lparen(t_[i + 1])) {
    const std::size_t m = shape_->match(i + 1);
    if (m == npos) return -1;
    if (m == i + 3 && t_[i + 2].code == kWordAdd) {
      // NAME (+): the outer-join mark is kept in the record, not in the text.
      out.text = tok.word;
      out.outer_join = true;
    } else {
      out.text.assign(text_.substr(tok.begin, t_[m].end - tok.begin));
    }
    i = m + 1;
    return 0;
  }
  out.text = tok.word;
  out.prefix = equals_nocase(tok.word, "PRIOR") ||
               ((equals_nocase(tok.word, "DATE") || equals_nocase(tok.word, "TIMESTAMP")) &&
                i + 1 < t_.size() && is_literal_word(t_[i + 1].word));
  ++i;
  return 0;
}

// Code of the longest operator phrase starting at `i` (IS NOT NULL, NOT IN,
// <> ALL ...); `consumed` tells how many words it took.
int ConditionReader::read_phrase(std::size_t i, std::size_t& consumed) const {
  consumed = 1;
  std::string phrase = t_[i].word;
  for (std::size_t j = i + 1; j < t_.size() && j < i + 4; ++j) {
    const SqlToken& next = t_[j];
    if (is_lparen(next) || is_rparen(next) || is_comma(next)) break;
    if (next.code == 0 && !equals_nocase(next.word, "NULL")) break;
    phrase.push_back(' ');
    phrase.append(next.word);
    const int code = word_code(phrase);
    if (code != 0) {
      consumed = j - i + 1;
      return code;
    }
  }
  return t_[i].code;
}

void ConditionReader::clear_pending() {
  left_.clear();
  right_.clear();
  op_ = -1;
  outer_join_ = 0;
  left_subquery_ = -1;
  right_subquery_ = -1;
  last_plain_ = false;
}

// A fresh record at the array's fill; its index, or -1 after reporting.
int ConditionReader::take_record(int level) {
  if (realloc_cond_buffer(g_, a_) != 0) {
    fail(g_, MessageCode::kInternal, "analyze_condition() realloc_cond_buffer()");
    return -1;
  }
  const int idx = a_.condition_fill;
  a_.conditions[static_cast<std::size_t>(idx)].level = level;
  return idx;
}

ConditionReader::Step ConditionReader::finish_record(int idx) {
  int count = 0;
  if (increment_cond_buffer(g_, a_, statement_, clause_, count) != 0) {
    return failed("analyze_condition() increment_cond_buffer()");
  }
  last_record_ = idx;
  return kContinue;
}

ConditionReader::Step ConditionReader::store(bool has_right) {
  const int idx = take_record(left_.empty() ? depth_ : left_level_);
  if (idx < 0) return kFailed;
  Condition& c = a_.conditions[static_cast<std::size_t>(idx)];
  const std::string left = strip_one_quoted_name(trim_blanks_view(left_));
  if (!left.empty() && (c.left_text = put_fulltext(a_, left)) < 0) {
    return failed("analyze_condition() put_fulltext()");
  }
  if (has_right) {
    const std::string right = strip_one_quoted_name(trim_blanks_view(right_));
    if ((c.right_text = put_fulltext(a_, right)) < 0) {
      return failed("analyze_condition()  put_fulltext()");
    }
  }
  c.op = op_;
  c.outer_join = outer_join_;
  c.left_subquery = left_subquery_;
  c.right_subquery = right_subquery_;
  clear_pending();
  state_ = 3;
  return finish_record(idx);
}

ConditionReader::Step ConditionReader::store_between(const std::string& lower,
                                                     const std::string& upper) {
  const int idx = take_record(left_level_);
  if (idx < 0) return kFailed;
  Condition& c = a_.conditions[static_cast<std::size_t>(idx)];
  const std::string left = strip_one_quoted_name(trim_blanks_view(left_));
  if ((c.left_text = put_fulltext(a_, left)) < 0) {
    return failed("analyze_condition() put_fulltext()");
  }
  if ((c.right_text = put_fulltext(a_, "")) < 0) {
    return failed("analyze_condition()  put_fulltext()");
  }
  c.left_value = lower;
  c.right_value = upper;
  c.op = kWordBetween;
  c.outer_join = outer_join_;
  c.left_subquery = left_subquery_;
  clear_pending();
  state_ = 3;
  return finish_record(idx);
}

// A record with an operator and no operands (a stand-alone NOT, or a coded
// word met before any left operand).
ConditionReader::Step ConditionReader::store_bare(int op, int level, int next_level) {
  const int idx = take_record(level);
  if (idx < 0) return kFailed;
  Condition& c = a_.conditions[static_cast<std::size_t>(idx)];
  c.op = op;
  c.next_level = next_level;
  return finish_record(idx);
}

ConditionReader::Step ConditionReader::connective(int code) {
  Condition& c = a_.conditions[static_cast<std::size_t>(last_record_)];
  c.next_logic = code;
  c.next_level = depth_;
  state_ = 0;
  return kContinue;
}

ConditionReader::Step ConditionReader::on_operand(std::size_t& i) {
  if (state_ == 3) return kStop;
  Operand w;
  if (read_operand(i, w) != 0) return failed("analyze_condition() is > idx");
  const int statements_so_far = a_.statement_count;
  switch (state_) {
    case 0:
      if (pending_ != 0) {
        if (store_bare(pending_, pending_level_, pending_level_) == kFailed) return kFailed;
        pending_ = 0;
      }
      if (trim_blanks_view(left_).empty()) left_level_ = depth_;
      append_word(left_, w.text);
      if (w.outer_join) outer_join_ = 21;
      if (w.subquery) left_subquery_ = statements_so_far;
      return kContinue;
    case 1:
    case 2:
      if (state_ == 2 && last_plain_) {
        // Two operand words in a row: the clause ends with this predicate.
        return store(true) == kFailed ? kFailed : kStop;
      }
      append_word(right_, w.text);
      state_ = 2;
      last_plain_ = !w.prefix;
      if (w.outer_join) outer_join_ = 31;
      if (w.subquery) right_subquery_ = statements_so_far;
      return kContinue;
    default:
      return failed(kStepDefault);
  }
}

ConditionReader::Step ConditionReader::on_arith(std::size_t& i) {
  const std::string& sign = t_[i].word;
  ++i;
  switch (state_) {
    case 0:
      if (trim_blanks_view(left_).empty()) left_level_ = depth_;
      append_word(left_, sign);
      return kContinue;
    case 1:
    case 2:
      append_word(right_, sign);
      state_ = 2;
      last_plain_ = false;
      return kContinue;
    default:
      return failed(kStepDefault);
  }
}

ConditionReader::Step ConditionReader::read_list(int code, std::size_t& i) {
  if (i >= t_.size() || !is_lparen(t_[i])) return failed("analyze_condition() get_operator_lists()");
  const std::size_t m = shape_->match(i);
  if (m == npos) return failed("analyze_condition() get_operator_lists()");
  right_ = "(";
  right_.append(trim_blanks_view(text_.substr(t_[i].end, t_[m].begin - t_[i].end)));
  right_.push_back(')');
  if (shape_->subquery(i)) right_subquery_ = a_.statement_count;
  op_ = code;
  i = m + 1;
  return store(true);
}

ConditionReader::Step ConditionReader::read_between(std::size_t& i) {
  std::string lower;
  std::string upper;
  // The lower bound runs to the AND at the BETWEEN's depth.
  for (;;) {
    if (i >= t_.size()) return failed("analyze_condition() get_between()");
    const SqlToken& tok = t_[i];
    if (tok.code == kWordAnd) break;
    if (is_arith(tok.code)) {
      append_word(lower, tok.word);
      ++i;
      continue;
    }
    const bool operand =
        is_plain(tok) || is_comma(tok) || (is_lparen(tok) && shape_->operand_group(i));
    if (!operand) return failed("analyze_condition() get_between()");
    Operand w;
    if (read_operand(i, w) != 0) return failed("analyze_condition() get_between()");
    append_word(lower, w.text);
  }
  ++i;  // AND
  // The upper bound ends before a coded word, a ")" closing an enclosing
  // group, or a second operand word; those are read again by the caller.
  bool after_operand = false;
  while (i < t_.size()) {
    const SqlToken& tok = t_[i];
    if (is_arith(tok.code)) {
      append_word(upper, tok.word);
      after_operand = false;
      ++i;
      continue;
    }
    const bool operand =
        (is_plain(tok) && !after_operand) ||
        (is_lparen(tok) && !after_operand && shape_->operand_group(i));
    if (!operand) break;
    Operand w;
    if (read_operand(i, w) != 0) return failed("analyze_condition() get_between()");
    append_word(upper, w.text);
    after_operand = !w.prefix;
  }
  if (trim_blanks_view(lower).empty() || trim_blanks_view(upper).empty() ||
      lower.size() >= kMaxBoundTextLen || upper.size() >= kMaxBoundTextLen) {
    return failed("analyze_condition() get_between()");
  }
  return store_between(lower, upper);
}

ConditionReader::Step ConditionReader::on_operator(int code, std::size_t& i) {
  if (code == kWordNot) return failed("analyze_condition() invalid NOT");
  if (is_connective(code) || code >= 100) return failed(kStepDefault);
  if (code == kWordBetween) return read_between(i);
  if (is_list_op(code)) return read_list(code, i);
  if (is_without_right(code)) {
    op_ = code;
    return store(false);
  }
  op_ = code;
  state_ = 1;
  return kContinue;
}

ConditionReader::Step ConditionReader::on_coded(std::size_t& i) {
  std::size_t consumed = 1;
  const int code = read_phrase(i, consumed);
  i += consumed;
  switch (state_) {
    case 0:
      if (!trim_blanks_view(left_).empty()) return on_operator(code, i);
      if (code == kWordNot) return store_bare(kWordNot, depth_, depth_);
      if (code == kWordExists || code == kWordNotExists) {
        left_level_ = depth_;
        return read_list(code, i);
      }
      if (pending_ != 0 || is_connective(code)) return failed(kStepDefault);
      pending_ = code;
      pending_level_ = depth_;
      return kContinue;
    case 2:
      if (!is_connective(code)) return failed(kStepDefault);
      if (store(true) == kFailed) return kFailed;
      return connective(code);
    case 3:
      if (!is_connective(code)) return failed(kStepDefault);
      return connective(code);
    default:
      return failed(kStepDefault);
  }
}

int ConditionReader::run() {
  t_ = tokenize_sql(g_, text_);
  shape_ = std::make_unique<ClauseShape>(t_);
  std::size_t i = 0;
  stopped_at_ = t_.empty() ? 0 : t_.back().end;
  while (i < t_.size()) {
    const SqlToken& tok = t_[i];
    const std::size_t at = tok.begin;
    Step step = kContinue;
    if (is_lparen(tok)) {
      const Group kind = shape_->group(i);
      if (kind == Group::kUnclosed) {
        step = failed(shape_->subquery(i) ? "analyze_condition() is > idx2"
                                          : "analyze_condition() is > idx");
      } else if (kind == Group::kLogical) {
        if (state_ == 3) {
          stopped_at_ = at;
          return 0;
        }
        if (state_ != 0 || !trim_blanks_view(left_).empty()) {
          step = failed(kStepDefault);
        } else {
          depth_ = tok.depth + 1;
          ++i;
        }
      } else {
        step = on_operand(i);
      }
    } else if (is_rparen(tok)) {
      if (tok.depth < 0 || state_ == 1 || (state_ == 0 && !trim_blanks_view(left_).empty())) {
        step = failed(kStepDefault);
      } else {
        depth_ = tok.depth;
        ++i;
      }
    } else if (is_plain(tok) || is_comma(tok)) {
      step = on_operand(i);
    } else if (is_arith(tok.code)) {
      step = on_arith(i);
    } else {
      step = on_coded(i);
    }
    if (step == kFailed) return -1;
    if (step == kStop) {
      stopped_at_ = at;
      return 0;
    }
  }
  if (state_ == 2) return store(true) == kFailed ? -1 : 0;
  return state_ == 3 ? 0 : -1;
}

// Column-table entry for one reference; -1 / -22 after reporting.
struct ColumnSink {
  GlobalParams& g;
  SqlAnalysis& a;
  std::vector<std::int32_t>& cols;
  std::int32_t text = -1;
  std::string_view over_text;  // more than kMaxColumnsCond in one operand
  std::string_view full_text;  // column table full
  int over_rc = -1;

  int add(int kind, const std::string& table, const std::string& column,
          const std::string& functions, std::int32_t& index) {
    if (cols.size() >= static_cast<std::size_t>(kMaxColumnsCond)) {
      fail(g, MessageCode::kInternal, over_text);
      return over_rc;
    }
    if (a.column_fill >= g.maxp.col_num ||
        static_cast<std::size_t>(a.column_fill) >= a.columns.size()) {
      fail(g, MessageCode::kInternal, full_text);
      return -22;
    }
    index = a.column_fill;
    SqlColumn& c = a.columns[static_cast<std::size_t>(index)];
    c = SqlColumn{};
    c.text = text;
    c.kind = kind;
    c.table_name = table;
    c.column_name = column;
    c.functions = functions;
    cols.push_back(index);
    ++a.column_fill;
    return 0;
  }
};

bool is_skipped_keyword(std::string_view w) {
  for (std::string_view k : {"NULL", "CASE", "WHEN", "THEN", "ELSE", "END", "DISTINCT", "PRIOR",
                             "SYSDATE", "SYSTIMESTAMP"}) {
    if (equals_nocase(w, k)) return true;
  }
  return false;
}

// Table and column of a reference, false when it is not a usable name.
bool column_parts(int charset, std::string_view word, std::string& table, std::string& column) {
  NameParts n;
  if (!split_name(charset, word, n) || n.parts.size() > 3) return false;
  column = n.parts.back();
  table = n.parts.size() >= 2 ? n.parts[n.parts.size() - 2] : std::string();
  if (column.size() > kMaxColumnNameLen || table.size() > kMaxSqlNameLen) return false;
  for (std::size_t k = 0; k + 2 < n.parts.size(); ++k) {
    if (n.parts[k].size() > kMaxSqlNameLen) return false;
  }
  return true;
}

std::string functions_text(const std::vector<std::pair<int, std::string>>& calls) {
  std::string out;
  for (const auto& call : calls) {
    std::string next = out;
    append_word(next, call.second);
    if (next.size() > kMaxFunctionsLen) break;
    out = std::move(next);
  }
  return out;
}

// Lower/upper-case word in the analysis-wide table array; 0 when absent.
std::int32_t table_position(const SqlAnalysis& a, std::string_view qualifier) {
  if (qualifier.empty()) return 0;
  const std::size_t n = std::min(a.tables.size(), static_cast<std::size_t>(std::max(a.table_count, 0)));
  for (std::size_t k = 0; k < n; ++k) {
    if (equals_nocase(a.tables[k].table_name, qualifier) ||
        equals_nocase(a.tables[k].alias, qualifier)) {
      return static_cast<std::int32_t>(k);
    }
  }
  return 0;
}

}  // namespace

int realloc_cond_buffer(GlobalParams& g, SqlAnalysis& analysis) {
  SqlAnalysis& a = analysis;
  const std::size_t fill = static_cast<std::size_t>(std::max(a.condition_fill, 0));
  if (fill >= a.conditions.size()) {
    if (a.conditions.size() >= static_cast<std::size_t>(a.limits.cond_limit)) {
      return fail(g, MessageCode::kInternal, "realloc_cond_buffer() over cond_limit");
    }
    const std::size_t grown = std::min(a.conditions.size() + kCondGrowth,
                                       static_cast<std::size_t>(a.limits.cond_limit));
    try {
      a.conditions.resize(grown);
    } catch (const std::bad_alloc&) {
      return fail(g, MessageCode::kInternal, "realloc_cond_buffer() realloc Condition");
    }
    a.limits.cond_capacity = static_cast<std::int32_t>(a.conditions.size());
    if (fill >= a.conditions.size()) return fail(g, MessageCode::kInternal, "realloc_cond_buffer() over cond_limit");
  }
  // A slot left over from an earlier analysis starts fresh.
  a.conditions[fill] = Condition{};
  return 0;
}

int increment_cond_buffer(GlobalParams& g, SqlAnalysis& analysis, int statement, int clause,
                          int& count) {
  static constexpr std::string_view kOver[kClauseCount] = {
      "increment_cond_buffer() over where_cond_ct",  "increment_cond_buffer() over set_cond_ct",
      "increment_cond_buffer() over set_cond_ct",    "increment_cond_buffer() over having_cond_ct",
      "increment_cond_buffer() over on_cond_ct",     "increment_cond_buffer() over delete_cond_ct",
      "increment_cond_buffer() over start_cond_ct",  "increment_cond_buffer() over connect_cond_ct",
  };
  if (clause < 0 || clause >= kClauseCount || statement < 0 ||
      statement >= static_cast<int>(analysis.statements.size())) {
    return -1;
  }
  auto& list = analysis.statements[static_cast<std::size_t>(statement)]
                   .cond_lists[static_cast<std::size_t>(clause)];
  if (list.size() >= static_cast<std::size_t>(kMaxCondPerClause)) {
    return fail(g, MessageCode::kInternal, kOver[clause]);
  }
  if (analysis.condition_fill >= analysis.limits.cond_limit) {
    return fail(g, MessageCode::kInternal, "increment_cond_buffer() cond_ct >= MAX_CONDITION");
  }
  list.push_back(analysis.condition_fill);
  ++analysis.condition_fill;
  ++count;
  return 0;
}

int analyze_condition(GlobalParams& g, int clause, std::string_view text, SqlAnalysis& analysis,
                      int statement, std::size_t* stopped_at) {
  try {
    ConditionReader reader(g, analysis, clause, statement, text);
    const int rc = reader.run();
    if (stopped_at != nullptr) *stopped_at = reader.stopped_at();
    return rc;
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
}

int check_condition(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int clause,
                    int statement) {
  if (clause < 0 || clause >= kClauseCount || statement < 0 ||
      statement >= static_cast<int>(analysis.statements.size())) {
    return -1;
  }
  const std::vector<std::int32_t> list = analysis.statements[static_cast<std::size_t>(statement)]
                                             .cond_lists[static_cast<std::size_t>(clause)];
  const int rc = check_condition_column(g, config, analysis, list);
  if (rc != 0) {
    fail(g, MessageCode::kInternal, "check_condition() check_condition_column()");
    return rc;
  }
  return 0;
}

int check_condition_column(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                           const std::vector<std::int32_t>& list) {
  for (const std::int32_t idx : list) {
    if (idx < 0 || idx >= analysis.condition_fill) continue;
    const auto at = [&analysis, idx]() -> Condition& {
      return analysis.conditions[static_cast<std::size_t>(idx)];
    };
    // Sub-queries may grow the arrays, so nothing is held across the calls.
    const std::string left(get_fulltext(analysis, at().left_text));
    std::vector<std::int32_t> cols;
    bool sub = false;
    std::int32_t before = analysis.statement_count;
    int rc = analyze_expression(g, config, analysis, left, cols, sub);
    if (rc != 0) {
      fail(g, MessageCode::kInternal, "check_condition_column() analyze_expression()");
      return rc;
    }
    at().left_cols = cols;
    if (sub) at().left_subquery = before;

    cols.clear();
    if (at().op == kWordBetween) {
      const std::string lower = at().left_value;
      const std::string upper = at().right_value;
      rc = check_between_column(g, analysis, lower, cols);
      if (rc == 0) rc = check_between_column(g, analysis, upper, cols);
      if (rc != 0) {
        fail(g, MessageCode::kInternal, "check_condition_column() check_between_column()");
        return rc;
      }
      at().right_cols = cols;
      continue;
    }
    const std::string right(get_fulltext(analysis, at().right_text));
    sub = false;
    before = analysis.statement_count;
    rc = analyze_expression(g, config, analysis, right, cols, sub);
    if (rc != 0) {
      fail(g, MessageCode::kInternal, "check_condition_column() analyze_expression()");
      return rc;
    }
    at().right_cols = cols;
    if (sub) at().right_subquery = before;
  }
  return 0;
}

namespace {

int expression_columns(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                       std::string_view text, std::vector<std::int32_t>& cols,
                       bool& has_subquery);

}  // namespace

int analyze_expression(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                       std::string_view text, std::vector<std::int32_t>& cols,
                       bool& has_subquery) {
  try {
    return expression_columns(g, config, analysis, text, cols, has_subquery);
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kInternal, "analyze_expression() malloc_long_words()");
  }
}

namespace {

int expression_columns(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                       std::string_view text, std::vector<std::int32_t>& cols,
                       bool& has_subquery) {
  SqlAnalysis& a = analysis;
  cols.clear();
  has_subquery = false;
  const std::int32_t offset = put_fulltext(a, text);
  if (offset < 0) return fail(g, MessageCode::kInternal, "analyze_expression() put_fulltext()");
  if (a.column_fill >= 0 && static_cast<std::size_t>(a.column_fill) < a.columns.size()) {
    a.columns[static_cast<std::size_t>(a.column_fill)].text = offset;
  }
  ColumnSink sink{g, a, cols, offset, "analyze_expression() column_ct over MAX_COLUMNS_COND",
                  "analyze_expression() Col buffer over", -1};
  std::int32_t index = 0;
  if (trim_blanks_view(text) == "*") return sink.add(kColumnStar, "", "*", "", index);

  const std::vector<SqlToken> t = tokenize_sql(g, text);
  std::vector<std::pair<int, std::string>> calls;  // depth of the call's "(", name
  bool after_operand = false;  // a further name here is an alias
  for (std::size_t j = 0; j < t.size(); ++j) {
    const SqlToken& tok = t[j];
    if (is_rparen(tok)) {
      while (!calls.empty() && calls.back().first >= tok.depth) calls.pop_back();
      after_operand = true;
      continue;
    }
    if (tok.word.empty() || is_comma(tok)) {
      after_operand = false;
      continue;
    }
    if (tok.code == kWordMul) {
      const bool counted = j >= 2 && is_lparen(t[j - 1]) && is_word(t[j - 2], "COUNT");
      if (counted) {
        const int rc = sink.add(kColumnStar, "", "*", functions_text(calls), index);
        if (rc != 0) return rc;
      }
      after_operand = counted;
      continue;
    }
    if (tok.code != 0) {
      after_operand = false;
      continue;
    }
    if (tok.word.back() == '.' && j + 1 < t.size() && t[j + 1].code == kWordMul &&
        t[j + 1].begin == tok.end) {
      // T.* comes as "T." and "*".
      std::string table;
      std::string column;
      if (column_parts(g.os_charset, tok.word.substr(0, tok.word.size() - 1), table, column)) {
        const int rc = sink.add(kColumnStar, column, "*", functions_text(calls), index);
        if (rc != 0) return rc;
      }
      ++j;
      after_operand = true;
      continue;
    }
    if (equals_nocase(tok.word, "AS")) {
      ++j;  // the alias
      after_operand = true;
      continue;
    }
    if (is_literal_word(tok.word) || is_number_word(tok.word)) {
      after_operand = true;
      continue;
    }
    if (j + 1 < t.size() && is_lparen(t[j + 1])) {
      calls.emplace_back(t[j + 1].depth, upper_ascii(tok.word));
      after_operand = false;
      continue;
    }
    if (tok.word.front() == ':') {
      if (static_cast<std::size_t>(a.column_fill) < a.columns.size()) {
        a.columns[static_cast<std::size_t>(a.column_fill)].kind = kColumnHostVariable;
      }
      after_operand = true;
      continue;
    }
    if (equals_nocase(tok.word, "SELECT")) {
      // The sub-query runs to the ")" that closes the group around it.
      std::size_t end = text.size();
      std::size_t close = t.size();
      if (j > 0 && is_lparen(t[j - 1])) {
        close = matching_paren(t, j - 1);
        if (close == npos) return fail(g, MessageCode::kInternal, "analyze_expression() is > bidx");
        end = t[close].begin;
      }
      std::int32_t entry = 0;
      int rc = sink.add(kColumnOther, "", "", functions_text(calls), entry);
      if (rc != 0) return rc;
      const std::string sub(text.substr(tok.begin, end - tok.begin));
      std::vector<ItemSpan> parts;
      std::vector<int> ops;
      if (separate_sql(g, sub, parts, ops) != 0) {
        return fail(g, MessageCode::kInternal, "analyze_expression() separate_sql()");
      }
      if (sql_subquery(g, config, a, sub) != 0) {
        return fail(g, MessageCode::kInternal, "analyze_expression() sql_subquery()");
      }
      a.columns[static_cast<std::size_t>(entry)].subquery = a.statement_count - 1;
      has_subquery = true;
      if (close >= t.size()) break;
      j = close - 1;  // the ")" itself closes the calls around it
      continue;
    }
    if (is_skipped_keyword(tok.word)) {
      after_operand = equals_nocase(tok.word, "END") || equals_nocase(tok.word, "NULL") ||
                      equals_nocase(tok.word, "SYSDATE") || equals_nocase(tok.word, "SYSTIMESTAMP");
      continue;
    }
    if ((equals_nocase(tok.word, "DATE") || equals_nocase(tok.word, "TIMESTAMP")) &&
        j + 1 < t.size() && is_literal_word(t[j + 1].word)) {
      after_operand = false;
      continue;
    }
    if (after_operand) continue;  // an alias written without AS
    std::string table;
    std::string column;
    if (!column_parts(g.os_charset, tok.word, table, column)) continue;
    const int kind = column == "*" ? kColumnStar : kColumnReference;
    const int rc = sink.add(kind, table, column, functions_text(calls), index);
    if (rc != 0) return rc;
    after_operand = true;
  }
  return 0;
}

}  // namespace

int check_between_column(GlobalParams& g, SqlAnalysis& analysis, std::string_view text,
                         std::vector<std::int32_t>& cols) {
  SqlAnalysis& a = analysis;
  ColumnSink sink{g, a, cols, -1, "check_between_column() num. of columns over MAX_COLUMNS_COND",
                  "check_between_column() num. of columns over", -22};
  const std::vector<SqlToken> t = tokenize_sql(g, text);
  for (std::size_t j = 0; j < t.size(); ++j) {
    const SqlToken& tok = t[j];
    if (is_word(tok, "SELECT") && j > 0 && is_lparen(t[j - 1])) {
      // A sub-query bound: its names are not columns of this statement.
      const std::size_t close = matching_paren(t, j - 1);
      if (close == npos) break;
      j = close;
      continue;
    }
    if (!is_plain(tok) || tok.word.front() == ':' || is_literal_word(tok.word) ||
        is_number_word(tok.word) || is_skipped_keyword(tok.word)) {
      continue;
    }
    if (j + 1 < t.size() && is_lparen(t[j + 1])) continue;  // a function name
    std::string table;
    std::string column;
    if (!column_parts(g.os_charset, tok.word, table, column)) continue;
    if (sink.text < 0 && (sink.text = put_fulltext(a, text)) < 0) sink.text = -1;
    std::int32_t index = 0;
    const int rc = sink.add(kColumnBetweenBound, table, column, "", index);
    if (rc != 0) return rc;
    a.columns[static_cast<std::size_t>(index)].table_idx = table_position(a, table);
  }
  return 0;
}

}  // namespace qln
