#include "sql/clause_analysis.hpp"

#include <algorithm>

#include "core/multibyte.hpp"
#include "sql/tokenizer.hpp"

namespace qln {

std::vector<SqlToken> tokenize_sql(const GlobalParams& g, std::string_view text) {
  std::vector<SqlToken> tokens;
  std::string word;
  word.reserve(kMaxWordLen + 1);
  std::size_t pos = 0;
  int depth = 0;
  for (;;) {
    std::size_t start = pos;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t' || text[start] == '\n')) {
      ++start;
    }
    const int before = depth;
    int code = 0;
    if (get_word(g.os_charset, text, pos, word, code, depth) != 0) break;
    SqlToken t;
    t.word = word;
    t.code = code;
    t.begin = start;
    t.end = pos;
    t.depth = code == 1002 ? depth : before;
    tokens.push_back(std::move(t));
  }
  return tokens;
}

std::size_t matching_paren(const std::vector<SqlToken>& tokens, std::size_t open) noexcept {
  if (open >= tokens.size() || !is_lparen(tokens[open])) return std::string_view::npos;
  const int depth = tokens[open].depth;
  for (std::size_t i = open + 1; i < tokens.size(); ++i) {
    if (is_rparen(tokens[i]) && tokens[i].depth == depth) return i;
    if (tokens[i].depth < depth) break;
  }
  return std::string_view::npos;
}


std::string upper_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool is_literal_word(std::string_view word) noexcept {
  return word.size() >= 2 && word.front() == '\'' && word.back() == '\'';
}

bool is_number_word(std::string_view word) noexcept {
  if (word.empty()) return false;
  bool digit = false;
  for (char c : word) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return digit;
}

bool split_name(int charset, std::string_view word, NameParts& out) {
  out.parts.clear();
  std::string part;
  bool quoted_part = false;
  std::size_t i = 0;
  while (i < word.size()) {
    const char c = word[i];
    if (c == '"') {
      const std::size_t close = word.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      part.append(word.substr(i + 1, close - i - 1));
      quoted_part = true;
      i = close + 1;
      continue;
    }
    if (c == '.') {
      if (part.empty() && !quoted_part) return false;
      out.parts.push_back(std::move(part));
      part.clear();
      quoted_part = false;
      ++i;
      continue;
    }
    switch (c) {
      case '(': case ')': case '\'': case '=': case '<': case '>': case '!': case '^':
      case '|': case '+': case '-': case '/': case ',': case ' ':
        return false;
      default:
        break;
    }
    // A multibyte character is taken whole: its trail byte may look like "|".
    const std::size_t len = std::min<std::size_t>(
        1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(c))),
        word.size() - i);
    part.append(word.substr(i, len));
    i += len;
  }
  if (part.empty() && !quoted_part) return false;
  out.parts.push_back(std::move(part));
  return true;
}

std::string strip_one_quoted_name(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.find('"', 1) == text.size() - 1) {
    return std::string(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

void append_word(std::string& text, std::string_view word) {
  if (!text.empty()) text.push_back(' ');
  text.append(word);
}

}  // namespace qln
