#include "sql/tokenizer.hpp"

#include "core/global_params.hpp"
#include "core/multibyte.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

// The byte at `i`, 0 past the end; a NUL byte ends the text as well.
inline unsigned char at(std::string_view text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

inline bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Only the double-byte Japanese sets have trail bytes that could be taken
// for a delimiter, so only they are read a character at a time.
inline int trail_bytes(int charset, unsigned char c) {
  return (charset == kCharsetSjis || charset == kCharsetEucJp) ? mb_char_length(charset, c) : 0;
}

// Appends the character at `i` (whole, never past the end) and moves `i`
// past it; false when the word would grow beyond kMaxWordLen.
bool take_char(int charset, std::string_view text, std::size_t& i, std::string& word) {
  std::size_t len = 1 + static_cast<std::size_t>(trail_bytes(charset, at(text, i)));
  std::size_t avail = 1;
  while (avail < len && at(text, i + avail) != 0) ++avail;
  if (word.size() + avail > kMaxWordLen) return false;
  word.append(text.data() + i, avail);
  i += avail;
  return true;
}

bool take_byte(char c, std::string& word) {
  if (word.size() + 1 > kMaxWordLen) return false;
  word.push_back(c);
  return true;
}

// Copies a single-quoted literal starting at `i` ('' stays inside it); a
// literal that reaches the end of the text is taken as far as it goes.
bool take_literal(int charset, std::string_view text, std::size_t& i, std::string& word) {
  if (!take_byte('\'', word)) return false;
  ++i;
  for (;;) {
    const unsigned char c = at(text, i);
    if (c == 0) return true;
    if (c == '\'') {
      if (at(text, i + 1) == '\'') {
        if (!take_byte('\'', word) || !take_byte('\'', word)) return false;
        i += 2;
        continue;
      }
      ++i;
      return take_byte('\'', word);
    }
    if (!take_char(charset, text, i, word)) return false;
  }
}

// Copies a double-quoted part up to and including its closing quote.
bool take_quoted(int charset, std::string_view text, std::size_t& i, std::string& word) {
  if (!take_byte('"', word)) return false;
  ++i;
  for (;;) {
    const unsigned char c = at(text, i);
    if (c == 0) return true;
    if (c == '"') {
      ++i;
      return take_byte('"', word);
    }
    if (!take_char(charset, text, i, word)) return false;
  }
}

inline bool is_operator_char(unsigned char c) {
  switch (c) {
    case '=': case '+': case '-': case '*': case '/':
    case '<': case '>': case '!': case '^': case '|':
      return true;
    default:
      return false;
  }
}

// Length of the operator that starts at `i`.
std::size_t operator_length(std::string_view text, std::size_t i) {
  const unsigned char c = at(text, i);
  const unsigned char next = at(text, i + 1);
  switch (c) {
    case '<':
      return (next == '=' || next == '>') ? 2 : 1;
    case '>': case '!': case '^':
      return next == '=' ? 2 : 1;
    case '|':
      return next == '|' ? 2 : 1;
    default:
      return 1;
  }
}

inline bool ends_host_name(unsigned char c) {
  switch (c) {
    case 0: case ' ': case '\t': case '\n': case '(': case ')': case '=': case '!':
    case '+': case '-': case '*': case '/': case '<': case '>': case ',':
      return true;
    default:
      return false;
  }
}

// ":name" or ":"name"" -> ":name".
bool take_host_variable(int charset, std::string_view text, std::size_t& i,
                        std::string& word) {
  if (!take_byte(':', word)) return false;
  ++i;
  while (!ends_host_name(at(text, i))) {
    if (!take_char(charset, text, i, word)) return false;
  }
  if (word.size() >= 3 && word[1] == '"' && word.back() == '"') {
    word.pop_back();
    word.erase(1, 1);
  }
  return true;
}

inline int paren_code(unsigned char c) {
  return c == ',' ? kWordComma : (c == '(' ? kWordLParen : kWordRParen);
}

}  // namespace

int get_word(int charset, std::string_view text, std::size_t& pos, std::string& word, int& code,
             int& depth) {
  word.clear();
  code = kWordOther;
  std::size_t i = pos;
  bool quoted_dot = false;  // last byte is the "." right after a quoted part

  auto finish = [&](bool look_up) {
    pos = i;
    code = look_up ? word_code(word) : kWordOther;
    return 0;
  };

  for (;;) {
    const unsigned char c = at(text, i);
    if (c == 0) {
      pos = i;
      if (word.empty()) return -1;
      // A closing ";" is no word of its own.
      if (word.back() == ';') word.pop_back();
      if (word.empty()) return -1;
      code = word_code(word);
      return 0;
    }
    if (is_blank(c)) {
      if (!word.empty()) return finish(true);
      ++i;
      continue;
    }
    if (c == ',' || c == '(' || c == ')') {
      if (!word.empty()) return finish(true);
      code = paren_code(c);
      if (c == '(') ++depth;
      if (c == ')') --depth;
      pos = i + 1;
      return 0;
    }
    if (c == '\'') {
      if (!word.empty()) return finish(true);
      if (!take_literal(charset, text, i, word)) return -1;
      return finish(false);
    }
    if (c == '"') {
      // A quoted part opens a word, or continues one right after a ".".
      if (!word.empty() && word.back() != '.') return finish(true);
      if (!take_quoted(charset, text, i, word)) return -1;
      if (at(text, i) != '.') return finish(false);
      if (!take_byte('.', word)) return -1;
      ++i;
      quoted_dot = true;
      continue;
    }
    if (c == ':') {
      if (word.empty()) {
        if (!take_host_variable(charset, text, i, word)) return -1;
        return finish(false);
      }
      ++i;  // a colon inside a word is dropped
      continue;
    }
    if (is_operator_char(c)) {
      if (!word.empty()) {
        // "T".* stays one word; otherwise the operator ends the word.
        if (quoted_dot && (c == '=' || c == '+' || c == '-' || c == '*' || c == '/')) {
          if (!take_byte(static_cast<char>(c), word)) return -1;
          ++i;
          return finish(false);
        }
        return finish(false);
      }
      const std::size_t len = operator_length(text, i);
      word.assign(text.data() + i, len);
      i += len;
      return finish(true);
    }
    if (!take_char(charset, text, i, word)) return -1;
    quoted_dot = false;
  }
}

int get_option_word(int charset, std::string_view text, std::size_t& pos, std::string& word,
                    int& code) {
  word.clear();
  code = kWordOther;
  std::size_t i = pos;
  auto finish = [&] {
    pos = i;
    code = word_code(word);
    return 0;
  };
  for (;;) {
    const unsigned char c = at(text, i);
    if (c == 0) {
      if (!word.empty()) return finish();
      pos = i;
      return -1;
    }
    if (is_blank(c)) {
      if (!word.empty()) return finish();
      ++i;
      continue;
    }
    if (c == '(' || c == ')') {
      if (!word.empty()) return finish();
      code = paren_code(c);
      pos = i + 1;
      return 0;
    }
    if (c == '=') {
      if (!word.empty()) return finish();
      word.push_back('=');
      ++i;
      return finish();
    }
    if (c == '\'' || c == '"') {
      if (!word.empty()) return finish();
      const bool ok = c == '\'' ? take_literal(charset, text, i, word)
                                : take_quoted(charset, text, i, word);
      if (!ok) return -1;
      pos = i;
      code = kWordOther;
      return 0;
    }
    if (!take_char(charset, text, i, word)) return -1;
  }
}

int get_comment_word(int charset, std::string_view text, std::size_t& pos, std::string& word,
                     int& code) {
  word.clear();
  code = kWordOther;
  std::size_t i = pos;
  for (;;) {
    const unsigned char c = at(text, i);
    if (c == 0) {
      pos = i;
      if (word.empty()) return -1;
      code = word_code(word);
      return 0;
    }
    if (is_blank(c)) {
      if (word.empty()) {
        ++i;
        continue;
      }
      pos = i;
      code = word_code(word);
      return c == '\n' ? kCommentWordAtLineEnd : 0;
    }
    if (c == ',' || c == '[' || c == ']') {
      if (word.empty()) {
        word.push_back(static_cast<char>(c));
        code = c == ',' ? kWordComma : kWordOther;
        pos = i + 1;
        return 0;
      }
      pos = i;
      code = word_code(word);
      return 0;
    }
    if (!take_char(charset, text, i, word)) return -1;
  }
}

}  // namespace qln
