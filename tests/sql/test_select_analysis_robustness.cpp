#include <gtest/gtest.h>

#include <random>
#include <string>

#include "test_select_analysis_support.hpp"

namespace qln {
namespace {

using testing_support::AnalysisTest;
using AnalysisRobustness = AnalysisTest;

// Texts built from the analyser's own vocabulary, in every order: each ends
// in success or a failure return, never in a crash, and leaves the nesting
// stack empty.
TEST_F(AnalysisRobustness, ArbitraryWordSequences) {
  static const char* const kWords[] = {
      "SELECT", "FROM",  "WHERE", "A",     "T.B",   "'x'",   "1",      "(",      ")",
      ",",      "=",     "<>",    "AND",   "OR",    "NOT",   "IN",     "BETWEEN", "IS",
      "NULL",   "LIKE",  "EXISTS", "ALL",  "ANY",   "(+)",   "CASE",   "WHEN",    "THEN",
      "END",    "UPPER(", "+",    "||",    "JOIN",  "ON",    "USING",  "GROUP",   "BY",
      "ORDER",  "HAVING", "UNION", "START", "WITH",  "CONNECT", "PRIOR", "FOR",    "*",
      ":h",     "\"Q\"", "DUAL",  "LEFT",  "AS",    "DISTINCT", "-"};
  constexpr int kRounds = 800;
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> len(1, 24);
  for (int round = 0; round < kRounds; ++round) {
    std::string text = round % 2 == 0 ? "SELECT * FROM DUAL WHERE" : "SELECT";
    const int n = len(rng);
    for (int k = 0; k < n; ++k) {
      text += ' ';
      text += kWords[pick(rng)];
    }
    const int rc = select(text);
    EXPECT_TRUE(rc == 0 || rc == -1 || rc == -22) << text;
    EXPECT_EQ(a.nesting_depth, 0) << text;
    EXPECT_LE(a.statement_count, 30) << text;
  }
}

TEST_F(AnalysisRobustness, DeepParenthesesStayQuick) {
  const int depth = 20000;
  std::string cond(depth, '(');
  cond += "A = 1";
  cond += std::string(depth, ')');
  ASSERT_EQ(where(cond), 0) << all_messages();
  EXPECT_EQ(rec(0).level, depth);

  std::string expr(depth, '(');
  expr += "A";
  expr += std::string(depth, ')');
  ASSERT_EQ(where(expr + " = 1"), 0) << all_messages();
  EXPECT_EQ(rec(0).level, 0);
}

}  // namespace
}  // namespace qln
