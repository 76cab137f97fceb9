#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/global_params.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/sql_text.hpp"
#include "sql/tef_config.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

bool queued(const GlobalParams& g, std::string_view text) {
  for (int i = 0; i < g.message_count; ++i) {
    if (g.messages[static_cast<std::size_t>(i)].find(text) != std::string::npos) return true;
  }
  return false;
}

class Reform : public ::testing::Test {
 protected:
  Reform() { g.os_charset = kCharsetUtf8; }

  // The reformed text, or "<failed>".
  std::string reform(std::string_view in) {
    std::string out = "untouched";
    std::string comments = "stale";
    analysis.comment_count = 7;
    const int rc = reform_sql_text(g, config, analysis, in, out, comments);
    EXPECT_TRUE(comments.empty());
    EXPECT_EQ(analysis.comment_count, 0);
    return rc == 0 ? out : "<failed>";
  }

  GlobalParams g;
  TefConfig config;
  SqlAnalysis analysis;
};

TEST_F(Reform, WhiteSpaceRunsBecomeOneBlank) {
  EXPECT_EQ(reform("a  b"), "a b");
  EXPECT_EQ(reform("a\t\tb"), "a b");
  EXPECT_EQ(reform("a \t \n  b"), "a b");
  EXPECT_EQ(reform("a\tb"), "a b");
  EXPECT_EQ(reform("a\nb"), "a b");
  // A single blank before a line feed is not a run: both become blanks.
  EXPECT_EQ(reform("a \nb"), "a  b");
  EXPECT_EQ(reform("  \t a = 1 \n"), "a = 1");
  EXPECT_EQ(reform(" \t\n "), "");
}

TEST_F(Reform, CarriageReturns) {
  EXPECT_EQ(reform("a\r b"), "a b");
  EXPECT_EQ(reform("a\r\nb"), "a b");
  EXPECT_EQ(reform("a\rb"), "a\rb");
}

TEST_F(Reform, CommentsAreRemoved) {
  EXPECT_EQ(reform("x -- note\ny"), "x y");
  EXPECT_EQ(reform("x -- note at the end"), "x");
  EXPECT_EQ(reform("x--n\r\ny"), "xy");
  EXPECT_EQ(reform("x /* c */ y"), "x  y");
  EXPECT_EQ(reform("x/* multi\nline */y"), "xy");
  EXPECT_EQ(reform("/*+ FULL(t) */ x"), "/*+ FULL(t) */ x");
  EXPECT_EQ(reform("a - -b"), "a - -b");
}

TEST_F(Reform, QuotedPartsAreCopiedUnchanged) {
  EXPECT_EQ(reform("x = 'a  -- /* b'"), "x = 'a  -- /* b'");
  EXPECT_EQ(reform("\"My  Col\"\t=\t'It''s'"), "\"My  Col\" = 'It''s'");
  EXPECT_EQ(reform("WHERE name = '\t'"), "WHERE name = '\t'");
  EXPECT_EQ(reform("select Ename from Emp"), "select Ename from Emp");
}

TEST_F(Reform, UnclosedQuotesAndCommentsFail) {
  EXPECT_EQ(reform("'a"), "<failed>");
  EXPECT_TRUE(queued(g, "reform_sql_text() unmatch '"));
  EXPECT_TRUE(queued(g, "ZUL-04000"));

  GlobalParams fresh;
  g = fresh;
  EXPECT_EQ(reform("x = \"A"), "<failed>");
  EXPECT_TRUE(queued(g, "reform_sql_text() unmatch \""));

  g = fresh;
  EXPECT_EQ(reform("x /* never closed"), "<failed>");
  EXPECT_TRUE(queued(g, "trim_comment() unmatch comment"));
  g = fresh;
  EXPECT_EQ(reform("x /*"), "<failed>");
  EXPECT_TRUE(queued(g, "trim_comment() unmatch comment"));
  // A quote inside a comment does not count.
  EXPECT_EQ(reform("x -- it's\ny"), "x y");
}

TEST_F(Reform, FullWidthBlankOfTheUsersCharacterSet) {
  EXPECT_EQ(reform("a\xE3\x80\x80" "b"), "a  b");
  EXPECT_EQ(reform("'\xE3\x80\x80'"), "'\xE3\x80\x80'");  // not inside a literal
  g.os_charset = kCharsetSjis;
  EXPECT_EQ(reform("a\x81\x40" "b"), "a  b");
  // 0x81 0x40 as the end of another character is not a blank.
  EXPECT_EQ(reform("\x82\x81\x40"), "\x82\x81@");
  g.os_charset = kCharsetEucJp;
  EXPECT_EQ(reform("a\xA1\xA1" "b"), "a  b");
}

TEST_F(Reform, LongTextsAreCutAtAWholeCharacter) {
  g.maxp.buffer_long_len = 10;
  EXPECT_EQ(reform("0123456789ABC"), "0123456789");
  // "あ" is three bytes: it would straddle the limit.
  EXPECT_EQ(reform("012345678\xE3\x81\x82"), "012345678");
  EXPECT_EQ(reform("01234567  "), "01234567");
}

TEST_F(Reform, ReformedQueryIsReadyForTheSplitter) {
  const std::string text = reform(
      "SELECT *\r\n  FROM emp e -- all rows\r\n"
      "WHERE e.sal>=1000 /* raise */ AND\te.\"Name\" <> 'O''Neil  x';");
  EXPECT_EQ(text,
            "SELECT *  FROM emp e WHERE e.sal>=1000  AND e.\"Name\" <> 'O''Neil  x';");
  std::vector<std::string> words;
  std::vector<int> codes;
  std::size_t pos = 0;
  std::string word;
  int code = 0;
  int depth = 0;
  while (get_word(g.os_charset, text, pos, word, code, depth) == 0) {
    words.push_back(word);
    codes.push_back(code);
  }
  EXPECT_EQ(words, (std::vector<std::string>{"SELECT", "*", "FROM", "emp", "e", "WHERE", "e.sal",
                                             ">=", "1000", "AND", "e.\"Name\"", "<>",
                                             "'O''Neil  x'"}));
  EXPECT_EQ(codes[1], kWordMul);
  EXPECT_EQ(codes[7], kWordGe);
  EXPECT_EQ(codes[9], kWordAnd);
  EXPECT_EQ(codes[11], kWordNeAngle);
}

class Text : public ::testing::Test {
 protected:
  Text() { g.os_charset = kCharsetUtf8; }
  GlobalParams g;
};

TEST_F(Text, FoldUpperLeavesQuotedPartsAlone) {
  std::string s = "select a, 'abc''d', \"Mixed\" from t where x = 'é'";
  EXPECT_EQ(fold_upper_outside_quotes(g, s), 0);
  EXPECT_EQ(s, "SELECT A, 'abc''d', \"Mixed\" FROM T WHERE X = 'é'");
  std::string open = "a 'b";
  EXPECT_EQ(fold_upper_outside_quotes(g, open), -1);
  std::string open_name = "a \"b";
  EXPECT_EQ(fold_upper_outside_quotes(g, open_name), -1);
  // a-z bytes inside a Shift_JIS character are trail bytes, not letters.
  g.os_charset = kCharsetSjis;
  std::string sjis = "a\x83\x61z";
  EXPECT_EQ(fold_upper_outside_quotes(g, sjis), 0);
  EXPECT_EQ(sjis, "A\x83\x61Z");
}

TEST_F(Text, SkipLiteralAndQuotedName) {
  std::size_t pos = 2;
  EXPECT_EQ(skip_literal(g, "x 'It''s' y", pos), 0);
  EXPECT_EQ(pos, 9u);
  pos = 0;
  EXPECT_EQ(skip_literal(g, "x", pos), 0);
  EXPECT_EQ(pos, 0u);
  pos = 0;
  EXPECT_EQ(skip_literal(g, "'abc''", pos), -1);
  EXPECT_EQ(pos, 0u);
  pos = 0;
  EXPECT_EQ(skip_literal(g, "''x", pos), 0);
  EXPECT_EQ(pos, 2u);
  pos = 0;
  EXPECT_EQ(skip_quoted_name(g, "\"a\"\"b\"", pos), 0);
  EXPECT_EQ(pos, 3u);  // no doubling rule for names
  pos = 0;
  EXPECT_EQ(skip_quoted_name(g, "\"ab", pos), -1);
  // Double-byte characters are stepped over whole.
  g.os_charset = kCharsetSjis;
  pos = 0;
  EXPECT_EQ(skip_literal(g, "'\x83\x5C'", pos), 0);
  EXPECT_EQ(pos, 4u);
}

std::vector<std::string> items_of(const GlobalParams& g, std::string_view text, int* rc = nullptr) {
  std::vector<ItemSpan> items;
  const int r = separate_comma(g, text, items);
  if (rc) *rc = r;
  std::vector<std::string> out;
  for (const ItemSpan& it : items) out.emplace_back(it.of(text));
  return out;
}

TEST_F(Text, SeparateCommaAtTopLevelOnly) {
  EXPECT_EQ(items_of(g, "a, f(b, c), 'x,y', \"p,q\""),
            (std::vector<std::string>{"a", " f(b, c)", " 'x,y'", " \"p,q\""}));
  EXPECT_TRUE(items_of(g, "").empty());
  EXPECT_EQ(items_of(g, "a,"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(items_of(g, ",a"), (std::vector<std::string>{"", "a"}));
  EXPECT_EQ(items_of(g, "a,,b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(items_of(g, "single"), (std::vector<std::string>{"single"}));
  int rc = 0;
  items_of(g, "a, 'b", &rc);
  EXPECT_EQ(rc, -1);
}

TEST_F(Text, SeparateCommaStopsBeyondAThousandItems) {
  std::string list;
  for (int i = 0; i < 1000; ++i) list += (i ? ",x" : "x");
  int rc = -5;
  EXPECT_EQ(items_of(g, list, &rc).size(), 1000u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(items_of(g, list + ",", &rc).size(), 1000u);
  EXPECT_EQ(rc, 0);
  items_of(g, list + ",y", &rc);
  EXPECT_EQ(rc, -1);
}

TEST(TextUtilities, TrimAndQuotes) {
  std::string s = " \t a b \n";
  trim_blanks(s);
  EXPECT_EQ(s, "a b");
  s = " \t\n ";
  trim_blanks(s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(trim_blanks_view("  x  "), "x");

  s = "\"EMP\"";
  strip_name_quotes(s);
  EXPECT_EQ(s, "EMP");
  s = "\"\"";
  strip_name_quotes(s);
  EXPECT_EQ(s, "");
  s = "\"";
  strip_name_quotes(s);
  EXPECT_EQ(s, "\"");
  s = "\"EMP";
  strip_name_quotes(s);
  EXPECT_EQ(s, "\"EMP");
  s = "\"" + std::string(4095, 'x') + "\"";  // 4,097 bytes: left alone
  strip_name_quotes(s);
  EXPECT_EQ(s.size(), 4097u);

  s = "\"A\".\"B\"";
  remove_double_quotes(kCharsetUtf8, s);
  EXPECT_EQ(s, "A.B");
}

TEST(TextUtilities, LeadingParentheses) {
  std::string s = " ( (SELECT (1)";
  EXPECT_TRUE(strip_leading_parens(s));
  EXPECT_EQ(s, "  SELECT (1)");
  s = "SELECT (1)";
  EXPECT_FALSE(strip_leading_parens(s));
  EXPECT_EQ(s, "SELECT (1)");
  s = "(((";
  EXPECT_TRUE(strip_leading_parens(s));
  EXPECT_EQ(s, "");
}

TEST(TextUtilities, ContainsNoCase) {
  EXPECT_TRUE(contains_nocase(kCharsetUtf8, "select a from t union select", "UNION"));
  EXPECT_TRUE(contains_nocase(kCharsetUtf8, "x", ""));
  EXPECT_FALSE(contains_nocase(kCharsetUtf8, "uni on", "union"));
  EXPECT_FALSE(contains_nocase(kCharsetUtf8, "ab", "abc"));
  // Never matches from the middle of a Shift_JIS character.
  EXPECT_FALSE(contains_nocase(kCharsetSjis, "\x83\x61", "A"));
  EXPECT_TRUE(contains_nocase(kCharsetSjis, "\x83\x61" "a", "A"));
}

TEST(TextUtilities, MultibyteQuestions) {
  EXPECT_TRUE(literal_begins_multibyte(kCharsetUtf8, "'\xE3\x81\x82'"));
  EXPECT_FALSE(literal_begins_multibyte(kCharsetUtf8, "'a\xE3\x81\x82'"));
  EXPECT_FALSE(literal_begins_multibyte(kCharsetUtf8, "\xE3\x81\x82"));
  EXPECT_FALSE(literal_begins_multibyte(kCharsetUtf8, "'"));
  EXPECT_TRUE(has_multibyte(kCharsetUtf8, "ab\xC3\xA9"));
  EXPECT_FALSE(has_multibyte(kCharsetUtf8, "abc"));
  EXPECT_TRUE(has_multibyte(kCharsetSjis, "\x82\xA0"));
  EXPECT_EQ(char_count(kCharsetUtf8, "a\xE3\x81\x82" "b\xC3\xA9"), 4u);
  EXPECT_EQ(char_count(kCharsetSjis, "\x82\xA0\x82\xA2x"), 3u);
  EXPECT_EQ(char_count(kCharsetUtf8, ""), 0u);
  // A lead byte at the end counts once and is not read past.
  EXPECT_EQ(char_count(kCharsetUtf8, "a\xE3"), 2u);
}

}  // namespace
}  // namespace qln
