#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/blanks.hpp"
#include "core/global_params.hpp"

namespace qln {

struct SqlAnalysis;
struct TefConfig;

// Most items separate_comma hands out.
inline constexpr std::size_t kMaxCommaItems = 1000;

// One item of a comma-separated list: the bytes [begin, end) of the text.
struct ItemSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view of(std::string_view text) const noexcept {
    return text.substr(begin, end - begin);
  }
};

// Normalises a raw SQL text into one line: comments removed, runs of white
// space folded, full-width blanks of the user's character set (g.os_charset)
// turned into two blanks, quoted parts kept unchanged, the result cut to
// g.maxp.buffer_long_len bytes (at a whole character) and trimmed. Letter
// case is kept. `comments` is left empty and the analysis' comment count set
// to 0. Fails (message 4000) on an unclosed quote or comment.
int reform_sql_text(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                    std::string_view in, std::string& out, std::string& comments);

// a-z to A-Z in place, except inside quotes and multibyte characters
// (g.os_charset); -1 when a quote is not closed.
int fold_upper_outside_quotes(const GlobalParams& g, std::string& text);

// If text[pos] is a single quote, moves `pos` just past the closing quote
// ('' inside is an escaped quote); -1 (pos unchanged) when not closed. Any
// other byte at `pos` leaves it unchanged and gives 0.
int skip_literal(const GlobalParams& g, std::string_view text, std::size_t& pos) noexcept;

// The same for a double-quoted name (no doubling rule).
int skip_quoted_name(const GlobalParams& g, std::string_view text, std::size_t& pos) noexcept;

// Splits `text` at the commas outside quotes and parentheses. An empty text
// gives no items; a text ending in a separating comma has no empty last
// item. -1 on an unclosed quote or more than kMaxCommaItems items.
int separate_comma(const GlobalParams& g, std::string_view text, std::vector<ItemSpan>& items);

// Small text utilities. Those that take `charset` keep its multibyte
// characters whole (callers pass g.os_charset).


// Substring test without regard to the case of a-z.
bool contains_nocase(int charset, std::string_view text, std::string_view part);

// Deletes every double quote outside multibyte characters.
void remove_double_quotes(int charset, std::string& text);

// Deletes each "(" before the first character other than blank, TAB or "("
// (blanks and TABs stay); true when one was deleted.
bool strip_leading_parens(std::string& text);

// True for a single-quoted literal of at least two bytes whose first inner
// byte starts a multibyte character.
bool literal_begins_multibyte(int charset, std::string_view text) noexcept;

// True when any multibyte character occurs.
bool has_multibyte(int charset, std::string_view text) noexcept;

// Number of characters, a multibyte character counting once.
std::size_t char_count(int charset, std::string_view text) noexcept;

}  // namespace qln
