#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qln {

// Longest word a splitter hands out; a longer one ends the splitting.
inline constexpr std::size_t kMaxWordLen = 4095;

// Return value of get_comment_word for a word that ended at a line feed.
inline constexpr int kCommentWordAtLineEnd = 200;

// Cuts the next word of `text` starting at `pos` (a NUL byte also ends the
// text). On 0 `word` holds the word, `code` its word code and `pos` points
// past what was consumed; "(" / ")" / "," come back as an empty word with
// code 1001 / 1002 / 1000 and "(" / ")" add +1 / -1 to `depth`; a ";" that
// ends the text is dropped. Returns -1 at the end of the text or when a word
// would exceed kMaxWordLen bytes.
// `charset` is the id of the text's character set (only 1 and 2 have
// multibyte characters the splitter must keep whole). Works inside the
// caller's `word` buffer: reserve kMaxWordLen + 1 to avoid allocating.
int get_word(int charset, std::string_view text, std::size_t& pos, std::string& word, int& code,
             int& depth);

// Splitter for option and command-line texts: breaks at blanks, TAB, LF,
// "(", ")", "=" and quotes; quoted parts stay whole; "(" / ")" come back as
// an empty word with code 1001 / 1002, "=" as the word "=" (code 1); every
// other character, "," included, is part of a word.
int get_option_word(int charset, std::string_view text, std::size_t& pos, std::string& word,
                    int& code);

// Splitter for comment texts: breaks at blanks, TAB, LF, ",", "[" and "]",
// no quote handling. A lone "," is the word "," with code 1000, "[" and "]"
// are words of their own (code 0). Returns kCommentWordAtLineEnd instead of
// 0 when the word ended at a line feed.
int get_comment_word(int charset, std::string_view text, std::size_t& pos, std::string& word,
                     int& code);

}  // namespace qln
