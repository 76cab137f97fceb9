#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/global_params.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

struct Word {
  std::string text;
  int code;
  bool operator==(const Word&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Word& w) {
  return os << "{\"" << w.text << "\", " << w.code << "}";
}

std::vector<Word> split(std::string_view text, int charset = kCharsetUtf8, int* depth_out = nullptr) {
  std::vector<Word> words;
  std::size_t pos = 0;
  std::string word;
  int code = -99;
  int depth = 0;
  while (get_word(charset, text, pos, word, code, depth) == 0) {
    words.push_back({word, code});
    if (words.size() > 1000) break;  // a splitter that stops moving
  }
  if (depth_out) *depth_out = depth;
  return words;
}

TEST(GetWord, OperatorsBetweenNamesAreWordsOfTheirOwn) {
  EXPECT_EQ(split("a>=b"), (std::vector<Word>{{"a", 0}, {">=", kWordGe}, {"b", 0}}));
  EXPECT_EQ(split("x<>y"), (std::vector<Word>{{"x", 0}, {"<>", kWordNeAngle}, {"y", 0}}));
  EXPECT_EQ(split("a||b"), (std::vector<Word>{{"a", 0}, {"||", kWordConcat}, {"b", 0}}));
  EXPECT_EQ(split("a<=b<c!=d^=e>f"),
            (std::vector<Word>{{"a", 0}, {"<=", kWordLe}, {"b", 0}, {"<", kWordLt}, {"c", 0},
                               {"!=", kWordNe}, {"d", 0}, {"^=", kWordNeCaret}, {"e", 0},
                               {">", kWordGt}, {"f", 0}}));
  EXPECT_EQ(split("a+b-c*d/e=f"),
            (std::vector<Word>{{"a", 0}, {"+", kWordAdd}, {"b", 0}, {"-", kWordSub}, {"c", 0},
                               {"*", kWordMul}, {"d", 0}, {"/", kWordDiv}, {"e", 0},
                               {"=", kWordEq}, {"f", 0}}));
  // A lone "|", "!" or "^" is not in the vocabulary.
  EXPECT_EQ(split("a|b"), (std::vector<Word>{{"a", 0}, {"|", 0}, {"b", 0}}));
  EXPECT_EQ(split("! ^"), (std::vector<Word>{{"!", 0}, {"^", 0}}));
}

TEST(GetWord, KeywordIsLookedUpOnlyWhenEndedByBlankParenthesisOrEnd) {
  EXPECT_EQ(split("NOT("), (std::vector<Word>{{"NOT", kWordNot}, {"", kWordLParen}}));
  EXPECT_EQ(split("OR-1"), (std::vector<Word>{{"OR", 0}, {"-", kWordSub}, {"1", 0}}));
  EXPECT_EQ(split("a and b"), (std::vector<Word>{{"a", 0}, {"and", kWordAnd}, {"b", 0}}));
  EXPECT_EQ(split("x or"), (std::vector<Word>{{"x", 0}, {"or", kWordOr}}));
  EXPECT_EQ(split("in,"), (std::vector<Word>{{"in", kWordIn}, {"", kWordComma}}));
  EXPECT_EQ(split("IN'a'"), (std::vector<Word>{{"IN", kWordIn}, {"'a'", 0}}));
}

TEST(GetWord, LiteralsKeepDoubledQuotesAndRunToTheEnd) {
  EXPECT_EQ(split("'It''s'"), (std::vector<Word>{{"'It''s'", 0}}));
  EXPECT_EQ(split("x='a b' AND"),
            (std::vector<Word>{{"x", 0}, {"=", kWordEq}, {"'a b'", 0}, {"AND", kWordAnd}}));
  EXPECT_EQ(split("'open to end"), (std::vector<Word>{{"'open to end", 0}}));
  EXPECT_EQ(split("''"), (std::vector<Word>{{"''", 0}}));
  // A literal that looks like a keyword is still a literal.
  EXPECT_EQ(split("'AND'"), (std::vector<Word>{{"'AND'", 0}}));
  // A quote after other characters ends the word before it.
  EXPECT_EQ(split("ab'c'"), (std::vector<Word>{{"ab", 0}, {"'c'", 0}}));
}

TEST(GetWord, HostVariablesLoseTheirQuotes) {
  EXPECT_EQ(split(":\"qty\""), (std::vector<Word>{{":qty", 0}}));
  EXPECT_EQ(split(":qty"), (std::vector<Word>{{":qty", 0}}));
  EXPECT_EQ(split(":a=:b"), (std::vector<Word>{{":a", 0}, {"=", kWordEq}, {":b", 0}}));
  EXPECT_EQ(split("(:v)"),
            (std::vector<Word>{{"", kWordLParen}, {":v", 0}, {"", kWordRParen}}));
  // A colon inside a word is dropped.
  EXPECT_EQ(split("a:b"), (std::vector<Word>{{"ab", 0}}));
}

TEST(GetWord, DottedAndQuotedNamesStayOneWord) {
  EXPECT_EQ(split("SALES.EMP"), (std::vector<Word>{{"SALES.EMP", 0}}));
  EXPECT_EQ(split("\"SALES\".\"EMP\""), (std::vector<Word>{{"\"SALES\".\"EMP\"", 0}}));
  EXPECT_EQ(split("\"T\".*"), (std::vector<Word>{{"\"T\".*", 0}}));
  EXPECT_EQ(split("\"T\".* ,x"), (std::vector<Word>{{"\"T\".*", 0}, {"", kWordComma}, {"x", 0}}));
  EXPECT_EQ(split("\"S\".EMP.\"C\" = 1"),
            (std::vector<Word>{{"\"S\".EMP.\"C\"", 0}, {"=", kWordEq}, {"1", 0}}));
  EXPECT_EQ(split("\"a b\"=1"), (std::vector<Word>{{"\"a b\"", 0}, {"=", kWordEq}, {"1", 0}}));
  // After a name part the operator ends the word as usual.
  EXPECT_EQ(split("\"T\".A=1"), (std::vector<Word>{{"\"T\".A", 0}, {"=", kWordEq}, {"1", 0}}));
  EXPECT_EQ(split("T.\"A\"=1"), (std::vector<Word>{{"T.\"A\"", 0}, {"=", kWordEq}, {"1", 0}}));
  // A quoted part that is never closed runs to the end.
  EXPECT_EQ(split("\"open"), (std::vector<Word>{{"\"open", 0}}));
  // A double quote after other characters ends the word before it.
  EXPECT_EQ(split("ab\"c\""), (std::vector<Word>{{"ab", 0}, {"\"c\"", 0}}));
}

TEST(GetWord, SemicolonIsDroppedOnlyAtTheEndOfTheText) {
  EXPECT_EQ(split("T;"), (std::vector<Word>{{"T", 0}}));
  EXPECT_EQ(split("T; U"), (std::vector<Word>{{"T;", 0}, {"U", 0}}));
  EXPECT_EQ(split("and;"), (std::vector<Word>{{"and", kWordAnd}}));
  // A lone closing ";" after a literal or a parenthesis ends the text.
  EXPECT_EQ(split("x='a';"), (std::vector<Word>{{"x", 0}, {"=", kWordEq}, {"'a'", 0}}));
  EXPECT_EQ(split("(1) ;"), (std::vector<Word>{{"", kWordLParen}, {"1", 0}, {"", kWordRParen}}));
}

TEST(GetWord, ParenthesesCountDepthAndCommasAreEmptyWords) {
  int depth = 0;
  EXPECT_EQ(split("(", kCharsetUtf8, &depth), (std::vector<Word>{{"", kWordLParen}}));
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(split("f(a,(b))", kCharsetUtf8, &depth),
            (std::vector<Word>{{"f", 0}, {"", kWordLParen}, {"a", 0}, {"", kWordComma},
                               {"", kWordLParen}, {"b", 0}, {"", kWordRParen},
                               {"", kWordRParen}}));
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(split(")", kCharsetUtf8, &depth), (std::vector<Word>{{"", kWordRParen}}));
  EXPECT_EQ(depth, -1);
  EXPECT_EQ(split("a(+)"), (std::vector<Word>{{"a", 0}, {"", kWordLParen}, {"+", kWordAdd},
                                              {"", kWordRParen}}));
}

TEST(GetWord, EndOfTextAndBlanks) {
  EXPECT_TRUE(split("   \t\n ").empty());
  EXPECT_TRUE(split("").empty());
  EXPECT_EQ(split("  a\tb\nc  "), (std::vector<Word>{{"a", 0}, {"b", 0}, {"c", 0}}));
  // A NUL byte ends the text as well.
  EXPECT_EQ(split(std::string_view("a b\0c", 5)), (std::vector<Word>{{"a", 0}, {"b", 0}}));

  std::size_t pos = 0;
  std::string word = "stale";
  int code = 7;
  int depth = 0;
  EXPECT_EQ(get_word(kCharsetUtf8, "  ", pos, word, code, depth), -1);
  pos = 0;
  EXPECT_EQ(get_word(kCharsetUtf8, "ab", pos, word, code, depth), 0);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(get_word(kCharsetUtf8, "ab", pos, word, code, depth), -1);
}

TEST(GetWord, WordsLongerThan4095BytesEndTheSplitting) {
  std::string fits(4095, 'x');
  auto words = split(fits + " y");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text.size(), 4095u);

  std::string too_long(4096, 'x');
  EXPECT_TRUE(split(too_long).empty());
  EXPECT_EQ(split("a " + too_long).size(), 1u);
  EXPECT_TRUE(split("'" + too_long + "'").empty());
  EXPECT_TRUE(split(":" + too_long).empty());
}

TEST(GetWord, DoubleByteCharactersAreKeptWhole) {
  // Shift_JIS "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: the trail byte is a
  // backslash, and "[" / "|" also occur as trail bytes.
  const std::string so = "\x83\x5C";
  const std::string pipe_trail = "\x83\x7C";  // trail byte is "|"
  EXPECT_EQ(split(so + pipe_trail + "=1", kCharsetSjis),
            (std::vector<Word>{{so + pipe_trail, 0}, {"=", kWordEq}, {"1", 0}}));
  EXPECT_EQ(split("'" + so + "'", kCharsetSjis), (std::vector<Word>{{"'" + so + "'", 0}}));
  // In EUC-JP a kana is two high bytes.
  const std::string kana = "\xA5\xA2";
  EXPECT_EQ(split(kana + " " + kana, kCharsetEucJp),
            (std::vector<Word>{{kana, 0}, {kana, 0}}));
  // UTF-8 text is carried byte for byte.
  EXPECT_EQ(split("名前='値'", kCharsetUtf8),
            (std::vector<Word>{{"名前", 0}, {"=", kWordEq}, {"'値'", 0}}));
  // A lead byte at the very end is not read past.
  EXPECT_EQ(split("a\x83", kCharsetSjis), (std::vector<Word>{{"a\x83", 0}}));
}

TEST(WordCode, VocabularyIgnoresLetterCase) {
  EXPECT_EQ(word_code("is not null"), kWordIsNotNull);
  EXPECT_EQ(word_code("Is Null"), kWordIsNull);
  EXPECT_EQ(word_code("UNION ALL"), 0);
  EXPECT_EQ(word_code("unionall"), kWordUnionAll);
  EXPECT_EQ(word_code("union"), kWordUnion);
  EXPECT_EQ(word_code("Intersect"), kWordIntersect);
  EXPECT_EQ(word_code("minus"), kWordMinus);
  EXPECT_EQ(word_code("not in"), kWordNotIn);
  EXPECT_EQ(word_code("NOT LIKE"), kWordNotLike);
  EXPECT_EQ(word_code("not exists"), kWordNotExists);
  EXPECT_EQ(word_code("not null"), kWordNotNull);
  EXPECT_EQ(word_code("between"), kWordBetween);
  EXPECT_EQ(word_code("(+)"), kWordOuterJoin);
  EXPECT_EQ(word_code("||"), kWordConcat);
  // Phrases need single blanks.
  EXPECT_EQ(word_code("IS  NULL"), 0);
  EXPECT_EQ(word_code("ISNULL"), 0);
}

TEST(WordCode, ComparisonPhrasesWithSomeAnyAll) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"= SOME", 61}, {"!= SOME", 62}, {"<> SOME", 62}, {"^= SOME", 62}, {"> SOME", 63},
      {"< SOME", 64}, {">= SOME", 65}, {"<= SOME", 66}, {"= ANY", 71},   {"!= any", 72},
      {"<> ANY", 72}, {"^= ANY", 72},  {"> ANY", 73},   {">= ANY", 74},  {"< ANY", 75},
      {"<= ANY", 76}, {"= ALL", 81},   {"!= ALL", 82},  {"<> all", 82},  {"^= ALL", 82},
      {"> ALL", 83},  {">= ALL", 84},  {"< ALL", 85},   {"<= ALL", 86},  {"some", 60},
      {"any", 70},    {"all", 80},
  };
  for (const auto& [text, code] : cases) EXPECT_EQ(word_code(text), code) << text;
}

TEST(WordCode, OtherWordsGiveZero) {
  EXPECT_EQ(word_code(""), 0);
  EXPECT_EQ(word_code("SAL"), 0);
  EXPECT_EQ(word_code("1000"), 0);
  EXPECT_EQ(word_code(","), 0);
  EXPECT_EQ(word_code("("), 0);
  EXPECT_EQ(word_code("~"), 0);
  EXPECT_EQ(word_code("\xE3\x81\x82"), 0);
  EXPECT_EQ(word_code("ANDX"), 0);
  EXPECT_EQ(word_code("AN"), 0);
}

TEST(WordCodeName, SpellingsInBothCases) {
  EXPECT_EQ(word_code_name(kWordIsNotNull, true), "IS NOT NULL");
  EXPECT_EQ(word_code_name(kWordIsNotNull, false), "is not null");
  EXPECT_EQ(word_code_name(kWordUnionAll, true), "UNION ALL");
  EXPECT_EQ(word_code_name(kWordUnionAll, false), "union all");
  EXPECT_EQ(word_code_name(kWordNeSome, true), "!= SOME");
  EXPECT_EQ(word_code_name(kWordNeAny, false), "!= any");
  EXPECT_EQ(word_code_name(kWordNeAll, true), "!= ALL");
  EXPECT_EQ(word_code_name(kWordEvalNot, false), "not");
  EXPECT_EQ(word_code_name(kWordEvalAnd, true), "AND");
  EXPECT_EQ(word_code_name(kWordEvalOr, false), "or");
  EXPECT_EQ(word_code_name(kWordConcat, true), "||");
  EXPECT_EQ(word_code_name(kWordOuterJoin, false), "(+)");
  EXPECT_EQ(word_code_name(kWordComma, false), ",");
  EXPECT_EQ(word_code_name(0, true), "");
  EXPECT_EQ(word_code_name(11, true), "");
  EXPECT_EQ(word_code_name(-1, false), "");
}

TEST(WordCodeName, EveryNamedCodeReadsBackToItself) {
  for (int code = 1; code < 4000; ++code) {
    const std::string_view upper = word_code_name(code, true);
    if (upper.empty() || code >= 1000) continue;
    EXPECT_EQ(word_code(upper), code) << upper;
    EXPECT_EQ(word_code(word_code_name(code, false)), code) << upper;
  }
  EXPECT_EQ(word_code(word_code_name(kWordIntersect, false)), kWordIntersect);
}

std::vector<Word> split_options(std::string_view text) {
  std::vector<Word> words;
  std::size_t pos = 0;
  std::string word;
  int code = 0;
  while (get_option_word(kCharsetUtf8, text, pos, word, code) == 0 && words.size() < 100) {
    words.push_back({word, code});
  }
  return words;
}

TEST(GetOptionWord, CommasAndOperatorsAreOrdinary) {
  EXPECT_EQ(split_options("TABLE=(EMP,DEPT) ROWS=10"),
            (std::vector<Word>{{"TABLE", 0}, {"=", kWordEq}, {"", kWordLParen}, {"EMP,DEPT", 0},
                               {"", kWordRParen}, {"ROWS", 0}, {"=", kWordEq}, {"10", 0}}));
  EXPECT_EQ(split_options("FILE=\"my dump.dmp\" WHERE='a<>b'"),
            (std::vector<Word>{{"FILE", 0}, {"=", kWordEq}, {"\"my dump.dmp\"", 0},
                               {"WHERE", 0}, {"=", kWordEq}, {"'a<>b'", 0}}));
  EXPECT_EQ(split_options("a+b:c"), (std::vector<Word>{{"a+b:c", 0}}));
  EXPECT_EQ(split_options("x and"), (std::vector<Word>{{"x", 0}, {"and", kWordAnd}}));
  EXPECT_TRUE(split_options(" \t\n").empty());
  EXPECT_TRUE(split_options(std::string(4096, 'x')).empty());
}

TEST(GetCommentWord, LineEndsAndSeparators) {
  const std::string_view text = "TABLE [EMP],DEPT\nnext";
  std::size_t pos = 0;
  std::string word;
  int code = 0;
  std::vector<std::pair<std::string, int>> got;  // word, return value
  std::vector<int> codes;
  for (int rc; (rc = get_comment_word(kCharsetUtf8, text, pos, word, code)) != -1;) {
    got.emplace_back(word, rc);
    codes.push_back(code);
    if (got.size() > 20) break;
  }
  const std::vector<std::pair<std::string, int>> want = {
      {"TABLE", 0}, {"[", 0}, {"EMP", 0}, {"]", 0}, {",", 0}, {"DEPT", kCommentWordAtLineEnd},
      {"next", 0}};
  EXPECT_EQ(got, want);
  ASSERT_EQ(codes.size(), want.size());
  EXPECT_EQ(codes[4], kWordComma);
  // No quote handling inside comments.
  pos = 0;
  ASSERT_EQ(get_comment_word(kCharsetUtf8, "'a b'", pos, word, code), 0);
  EXPECT_EQ(word, "'a");
}

}  // namespace
}  // namespace qln
