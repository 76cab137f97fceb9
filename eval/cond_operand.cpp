#include <algorithm>
#include <string>
#include <vector>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "eval/cond_program.hpp"
#include "eval/sql_functions.hpp"
#include "sql/sql_text.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {

// Nesting of one operand; deeper texts are refused rather than recursed into.
constexpr int kMaxOperandNesting = 200;

struct Word {
  std::string text;
  int code = 0;
  std::size_t begin = 0;  // byte offset in the operand text
};

// Recursive descent over the words of one operand: the usual precedence of
// SQL ("*" "/" over "+" "-" "||", unary signs tightest), items appended in
// postfix order.
class OperandCompiler {
 public:
  OperandCompiler(GlobalParams& g, CondProgram& p, std::string_view text, MessageCode invalid_code)
      : g_(g), p_(p), text_(text), invalid_code_(invalid_code) {}

  int run() {
    if (split() != 0) return invalid();
    if (words_.empty()) return invalid();
    if (expr() != 0) return -1;
    if (at_ < words_.size()) return invalid();
    return 0;
  }

 private:
  GlobalParams& g_;
  CondProgram& p_;
  std::string_view text_;
  MessageCode invalid_code_;
  std::vector<Word> words_;
  std::size_t at_ = 0;
  int nesting_ = 0;
  bool reported_ = false;

  int split() {
    std::size_t pos = 0;
    int depth = 0;
    Word w;
    for (;;) {
      w.begin = pos;
      // get_word skips leading blanks; the word starts after them.
      while (w.begin < text_.size() && (text_[w.begin] == ' ' || text_[w.begin] == '\t')) ++w.begin;
      const int rc = get_word(p_.charset, text_, pos, w.text, w.code, depth);
      if (rc != 0) return trim_blanks_view(text_.substr(std::min(pos, text_.size()))).empty() ? 0 : -1;
      words_.push_back(w);
    }
  }

  int invalid() {
    if (!reported_) {
      reported_ = true;
      fail(g_, invalid_code_, text_);
    }
    return -1;
  }
  int refuse(MessageCode code, std::string_view what) {
    reported_ = true;
    return fail(g_, code, what);
  }

  bool at_code(int code) const { return at_ < words_.size() && words_[at_].code == code; }

  int add(ExprItem item) {
    if (static_cast<int>(p_.items.size()) >= kMaxProgramItems) return invalid();
    p_.items.push_back(std::move(item));
    return 0;
  }

  int expr() {
    if (++nesting_ > kMaxOperandNesting) return invalid();
    if (term() != 0) return -1;
    while (at_code(kWordAdd) || at_code(kWordSub) || at_code(kWordConcat)) {
      const int op = words_[at_++].code;
      if (term() != 0) return -1;
      ExprItem item;
      item.kind = kItemBinary;
      item.code = op;
      if (add(std::move(item)) != 0) return -1;
    }
    --nesting_;
    return 0;
  }

  int term() {
    if (unary() != 0) return -1;
    while (at_code(kWordMul) || at_code(kWordDiv)) {
      const int op = words_[at_++].code;
      if (unary() != 0) return -1;
      ExprItem item;
      item.kind = kItemBinary;
      item.code = op;
      if (add(std::move(item)) != 0) return -1;
    }
    return 0;
  }

  int unary() {
    if (at_code(kWordAdd) || at_code(kWordSub)) {
      const int op = words_[at_++].code;
      if (++nesting_ > kMaxOperandNesting) return invalid();
      if (unary() != 0) return -1;
      --nesting_;
      if (op == kWordAdd) return 0;
      ExprItem item;
      item.kind = kItemUnary;
      item.code = op;
      return add(std::move(item));
    }
    return primary();
  }

  // The text from the "(" at word `open` to its matching ")".
  std::string_view group_text(std::size_t open) const {
    int depth = 0;
    for (std::size_t i = open; i < words_.size(); ++i) {
      if (words_[i].code == kWordLParen) ++depth;
      if (words_[i].code == kWordRParen && --depth == 0)
        return text_.substr(words_[open].begin, words_[i].begin + 1 - words_[open].begin);
    }
    return text_.substr(words_[open].begin);
  }

  int primary() {
    if (at_ >= words_.size()) return invalid();
    const Word& w = words_[at_];
    if (w.code == kWordLParen) {
      if (at_ + 1 < words_.size() && equals_nocase(words_[at_ + 1].text, "SELECT"))
        return refuse(MessageCode::kNotSupported, group_text(at_));
      ++at_;
      if (expr() != 0) return -1;
      if (!at_code(kWordRParen)) return invalid();
      ++at_;
      return 0;
    }
    if (w.code != kWordOther || w.text.empty()) return invalid();
    ++at_;
    const char first = w.text.front();
    if (first == '\'') return literal_text(w.text);
    if ((first >= '0' && first <= '9') || first == '.') return literal_number(w.text);
    if (first == ':' || equals_nocase(w.text, "SELECT")) return invalid();
    if (at_code(kWordLParen)) return call(w.text);
    if (equals_nocase(w.text, "NULL")) {
      ExprItem item;
      return add(std::move(item));
    }
    if (equals_nocase(w.text, "SYSDATE")) {
      ExprItem item;
      item.kind = kItemFunction;
      item.name = "SYSDATE";
      item.function = kFnSysdate;
      return add(std::move(item));
    }
    return column(w.text);
  }

  int literal_text(std::string_view word) {
    if (word.size() < 2 || word.back() != '\'') return invalid();
    std::string inner;
    inner.reserve(word.size());
    for (std::size_t i = 1; i + 1 < word.size(); ++i) {
      inner += word[i];
      if (word[i] == '\'' && i + 2 < word.size() && word[i + 1] == '\'') ++i;
    }
    ExprItem item;
    // An empty text is NULL, as in the database.
    if (!inner.empty() && value_set_text(item.value, inner) != 0) return invalid();
    return add(std::move(item));
  }

  int literal_number(std::string_view word) {
    Decimal d;
    if (!Decimal::parse(word, d)) return invalid();
    ExprItem item;
    value_set_decimal(item.value, d);
    return add(std::move(item));
  }

  int call(std::string_view word) {
    std::string name(word);
    for (char& c : name) c = static_cast<char>(ascii_upper(static_cast<unsigned char>(c)));
    const int code = lookup_function(name);
    if (code < 0) return refuse(MessageCode::kUnknownFunction, name);
    ++at_;  // "("
    int args = 0;
    if (at_code(kWordRParen)) {
      ++at_;
    } else {
      for (;;) {
        if (expr() != 0) return -1;
        ++args;
        if (at_code(kWordComma)) {
          ++at_;
          continue;
        }
        if (!at_code(kWordRParen)) return invalid();
        ++at_;
        break;
      }
    }
    int min_args = 0, max_args = 0;
    function_arg_range(code, min_args, max_args);
    if (args < min_args || (max_args >= 0 && args > max_args) || args > kMaxFunctionArgs)
      return refuse(MessageCode::kFunctionArgumentCount, name);
    ExprItem item;
    item.kind = kItemFunction;
    item.name = std::move(name);
    item.function = code;
    item.args = args;
    return add(std::move(item));
  }

  // [schema.]table.]column; a part in double quotes keeps its case.
  int column(std::string_view word) {
    std::vector<std::string> parts(1);
    std::vector<bool> quoted(1, false);
    bool in_quotes = false;
    for (char c : word) {
      if (c == '"') {
        in_quotes = !in_quotes;
        quoted.back() = true;
        continue;
      }
      if (c == '.' && !in_quotes) {
        parts.emplace_back();
        quoted.push_back(false);
        continue;
      }
      parts.back() += quoted.back() ? c : static_cast<char>(ascii_upper(static_cast<unsigned char>(c)));
    }
    if (in_quotes || parts.size() > 3) return invalid();
    for (const std::string& part : parts)
      if (part.empty()) return invalid();
    ExprItem item;
    item.kind = kItemColumn;
    item.name = parts.back();
    item.quoted = quoted.back();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      if (i > 0) item.qualifier += '.';
      item.qualifier += parts[i];
    }
    return add(std::move(item));
  }
};

}  // namespace

int compile_operand(GlobalParams& g, CondProgram& p, std::string_view text, MessageCode invalid_code,
                    OperandRange& range) {
  range.first = static_cast<std::int32_t>(p.items.size());
  OperandCompiler compiler(g, p, text, invalid_code);
  const int rc = compiler.run();
  range.last = static_cast<std::int32_t>(p.items.size());
  return rc;
}

}  // namespace qln
