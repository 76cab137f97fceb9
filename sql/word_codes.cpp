#include "sql/word_codes.hpp"

#include <array>

namespace qln {
namespace {

struct WordEntry {
  std::string_view text;
  int code;
};

// Upper-case spellings; symbols compare exactly, letters without regard to
// case, so one folded comparison serves both.
constexpr std::array<WordEntry, 59> kWordTable{{
    {"=", kWordEq},
    {"IS", kWordIs},
    {"!=", kWordNe},
    {"<>", kWordNeAngle},
    {"^=", kWordNeCaret},
    {"NOT", kWordNot},
    {"<", kWordLt},
    {"<=", kWordLe},
    {">", kWordGt},
    {">=", kWordGe},
    {"BETWEEN", kWordBetween},
    {"LIKE", kWordLike},
    {"NOT LIKE", kWordNotLike},
    {"EXISTS", kWordExists},
    {"NOT EXISTS", kWordNotExists},
    {"IS NULL", kWordIsNull},
    {"IS NOT NULL", kWordIsNotNull},
    {"NOT NULL", kWordNotNull},
    {"IN", kWordIn},
    {"NOT IN", kWordNotIn},
    {"SOME", kWordSome},
    {"= SOME", kWordEqSome},
    {"!= SOME", kWordNeSome},
    {"<> SOME", kWordNeSome},
    {"^= SOME", kWordNeSome},
    {"> SOME", kWordGtSome},
    {"< SOME", kWordLtSome},
    {">= SOME", kWordGeSome},
    {"<= SOME", kWordLeSome},
    {"ANY", kWordAny},
    {"= ANY", kWordEqAny},
    {"!= ANY", kWordNeAny},
    {"<> ANY", kWordNeAny},
    {"^= ANY", kWordNeAny},
    {"> ANY", kWordGtAny},
    {">= ANY", kWordGeAny},
    {"< ANY", kWordLtAny},
    {"<= ANY", kWordLeAny},
    {"ALL", kWordAll},
    {"= ALL", kWordEqAll},
    {"!= ALL", kWordNeAll},
    {"<> ALL", kWordNeAll},
    {"^= ALL", kWordNeAll},
    {"> ALL", kWordGtAll},
    {">= ALL", kWordGeAll},
    {"< ALL", kWordLtAll},
    {"<= ALL", kWordLeAll},
    {"AND", kWordAnd},
    {"OR", kWordOr},
    {"||", kWordConcat},
    {"+", kWordAdd},
    {"-", kWordSub},
    {"*", kWordMul},
    {"/", kWordDiv},
    {"(+)", kWordOuterJoin},
    {"UNION", kWordUnion},
    {"UNIONALL", kWordUnionAll},
    {"INTERSECT", kWordIntersect},
    {"MINUS", kWordMinus},
}};

struct NameEntry {
  int code;
  std::string_view upper;
  std::string_view lower;
};

constexpr std::array<NameEntry, 52> kNameTable{{
    {kWordEq, "=", "="},
    {kWordIs, "IS", "is"},
    {kWordNe, "!=", "!="},
    {kWordNeAngle, "<>", "<>"},
    {kWordNeCaret, "^=", "^="},
    {kWordNot, "NOT", "not"},
    {kWordLt, "<", "<"},
    {kWordLe, "<=", "<="},
    {kWordGt, ">", ">"},
    {kWordGe, ">=", ">="},
    {kWordBetween, "BETWEEN", "between"},
    {kWordLike, "LIKE", "like"},
    {kWordNotLike, "NOT LIKE", "not like"},
    {kWordExists, "EXISTS", "exists"},
    {kWordNotExists, "NOT EXISTS", "not exists"},
    {kWordIsNull, "IS NULL", "is null"},
    {kWordIsNotNull, "IS NOT NULL", "is not null"},
    {kWordNotNull, "NOT NULL", "not null"},
    {kWordIn, "IN", "in"},
    {kWordNotIn, "NOT IN", "not in"},
    {kWordSome, "SOME", "some"},
    {kWordEqSome, "= SOME", "= some"},
    {kWordNeSome, "!= SOME", "!= some"},
    {kWordGtSome, "> SOME", "> some"},
    {kWordLtSome, "< SOME", "< some"},
    {kWordGeSome, ">= SOME", ">= some"},
    {kWordLeSome, "<= SOME", "<= some"},
    {kWordAny, "ANY", "any"},
    {kWordEqAny, "= ANY", "= any"},
    {kWordNeAny, "!= ANY", "!= any"},
    {kWordGtAny, "> ANY", "> any"},
    {kWordGeAny, ">= ANY", ">= any"},
    {kWordLtAny, "< ANY", "< any"},
    {kWordLeAny, "<= ANY", "<= any"},
    {kWordAll, "ALL", "all"},
    {kWordEqAll, "= ALL", "= all"},
    {kWordNeAll, "!= ALL", "!= all"},
    {kWordGtAll, "> ALL", "> all"},
    {kWordGeAll, ">= ALL", ">= all"},
    {kWordLtAll, "< ALL", "< all"},
    {kWordLeAll, "<= ALL", "<= all"},
    {kWordAnd, "AND", "and"},
    {kWordOr, "OR", "or"},
    {kWordConcat, "||", "||"},
    {kWordAdd, "+", "+"},
    {kWordSub, "-", "-"},
    {kWordMul, "*", "*"},
    {kWordDiv, "/", "/"},
    {kWordOuterJoin, "(+)", "(+)"},
    {kWordComma, ",", ","},
    {kWordLParen, "(", "("},
    {kWordRParen, ")", ")"},
}};

constexpr std::array<NameEntry, 7> kNameTableHigh{{
    {kWordEvalNot, "NOT", "not"},
    {kWordEvalAnd, "AND", "and"},
    {kWordEvalOr, "OR", "or"},
    {kWordUnion, "UNION", "union"},
    {kWordUnionAll, "UNION ALL", "union all"},
    {kWordIntersect, "INTERSECT", "intersect"},
    {kWordMinus, "MINUS", "minus"},
}};

constexpr unsigned char fold(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool equal_nocase(std::string_view word, std::string_view upper) noexcept {
  if (word.size() != upper.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (fold(static_cast<unsigned char>(word[i])) != static_cast<unsigned char>(upper[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

int word_code(std::string_view word) noexcept {
  if (word.empty()) return kWordOther;
  const unsigned char first = fold(static_cast<unsigned char>(word.front()));
  if (first < 33 || first > 124) return kWordOther;
  for (const WordEntry& e : kWordTable) {
    if (static_cast<unsigned char>(e.text.front()) == first && equal_nocase(word, e.text)) {
      return e.code;
    }
  }
  return kWordOther;
}

std::string_view word_code_name(int code, bool upper) noexcept {
  for (const NameEntry& e : kNameTable) {
    if (e.code == code) return upper ? e.upper : e.lower;
  }
  for (const NameEntry& e : kNameTableHigh) {
    if (e.code == code) return upper ? e.upper : e.lower;
  }
  return {};
}

}  // namespace qln
