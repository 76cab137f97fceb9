#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii.hpp"
#include "core/global_params.hpp"

namespace qln {

// One word of a clause text as the analyser walks it. Parentheses and commas
// come back as in get_word: an empty word with code 1001 / 1002 / 1000.
struct SqlToken {
  std::string word;
  int code = 0;
  std::size_t begin = 0;  // first byte in the text
  std::size_t end = 0;    // one past the last byte
  int depth = 0;          // depth outside the token: "(" and its ")" share it
};

// Cuts `text` into words with get_word in the user's character set
// (g.os_charset). Stops at the end of the text or at a word too long for the
// splitter, exactly where get_word stops.
std::vector<SqlToken> tokenize_sql(const GlobalParams& g, std::string_view text);

// Index of the ")" that closes the "(" at `open`, or npos when it is missing.
std::size_t matching_paren(const std::vector<SqlToken>& tokens, std::size_t open) noexcept;

std::string upper_ascii(std::string_view text);

inline bool is_lparen(const SqlToken& t) noexcept { return t.code == 1001; }
inline bool is_rparen(const SqlToken& t) noexcept { return t.code == 1002; }
inline bool is_comma(const SqlToken& t) noexcept { return t.code == 1000; }
// A name, number, literal or host variable (code 0 and not empty).
inline bool is_plain(const SqlToken& t) noexcept { return t.code == 0 && !t.word.empty(); }

// A single-quoted literal, or a number made only of digits, "+", "-", ".".
bool is_literal_word(std::string_view word) noexcept;
bool is_number_word(std::string_view word) noexcept;

// A column or table reference split at the dots that stand outside double
// quotes, each part with its enclosing quotes removed.
struct NameParts {
  std::vector<std::string> parts;
};
// False when the word is not a name: empty, an operator character, a
// parenthesis or an unclosed quote in it, or an empty part. Multibyte
// characters of `charset` are kept whole.
bool split_name(int charset, std::string_view word, NameParts& out);

// Removes the enclosing double quotes of a text that is one quoted name
// ("A B" -> A B); "T"."C" and other texts stay as they are.
std::string strip_one_quoted_name(std::string_view text);

// Words joined by one blank, as an operand text is kept.
void append_word(std::string& text, std::string_view word);

}  // namespace qln
