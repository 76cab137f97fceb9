#pragma once
#include <string_view>

namespace qln {

// The numeric vocabulary shared by the tokenizer, the analyser and the
// evaluator. Multi-word operators are matched as their words joined by one
// blank ("IS NOT NULL"); UNION ALL is the single word "UNIONALL".
enum WordCode : int {
  kWordOther = 0,  // name, number, literal, host variable
  kWordEq = 1,
  kWordIs = 2,
  kWordNe = 3,       // !=
  kWordNeAngle = 4,  // <>
  kWordNeCaret = 5,  // ^=
  kWordNot = 6,
  kWordLt = 7,
  kWordLe = 8,
  kWordGt = 9,
  kWordGe = 10,
  kWordBetween = 12,
  kWordLike = 20,
  kWordNotLike = 29,
  kWordExists = 30,
  kWordNotExists = 39,
  kWordIsNull = 40,
  kWordIsNotNull = 41,
  kWordNotNull = 49,
  kWordIn = 50,
  kWordNotIn = 59,
  kWordSome = 60,
  kWordEqSome = 61,
  kWordNeSome = 62,
  kWordGtSome = 63,
  kWordLtSome = 64,
  kWordGeSome = 65,
  kWordLeSome = 66,
  kWordAny = 70,
  kWordEqAny = 71,
  kWordNeAny = 72,
  kWordGtAny = 73,
  kWordGeAny = 74,
  kWordLtAny = 75,
  kWordLeAny = 76,
  kWordAll = 80,
  kWordEqAll = 81,
  kWordNeAll = 82,
  kWordGtAll = 83,
  kWordGeAll = 84,
  kWordLtAll = 85,
  kWordLeAll = 86,
  kWordAnd = 100,
  kWordOr = 101,
  kWordConcat = 200,  // ||
  kWordAdd = 300,
  kWordSub = 301,
  kWordMul = 302,
  kWordDiv = 303,
  kWordOuterJoin = 400,  // (+)
  kWordComma = 1000,     // set by get_word itself, never by word_code
  kWordLParen = 1001,
  kWordRParen = 1002,
  kWordEvalNot = 2000,  // logical nodes of the evaluator
  kWordEvalAnd = 2001,
  kWordEvalOr = 2002,
  kWordUnion = 3000,
  kWordUnionAll = 3001,
  kWordIntersect = 3002,
  kWordMinus = 3003,
};

// The code of a word or operator phrase; 0 when it is not in the vocabulary.
// Keywords match regardless of letter case. Allocation-free.
int word_code(std::string_view word) noexcept;

// The spelling of a code, upper case when `upper`, lower case otherwise
// (62/72/82 in the "!=" form, 3001 as "UNION ALL"); empty for unknown codes.
std::string_view word_code_name(int code, bool upper) noexcept;

}  // namespace qln
