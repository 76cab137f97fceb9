#include <gtest/gtest.h>

#include <string>

#include "sql/word_codes.hpp"
#include "test_select_analysis_support.hpp"

namespace qln {
namespace {

using testing_support::AnalysisTest;
using ConditionAnalysis = AnalysisTest;

TEST_F(ConditionAnalysis, SinglePredicate) {
  ASSERT_EQ(condition("A = 1"), 0);
  ASSERT_EQ(list().size(), 1u);
  EXPECT_EQ(left(0), "A");
  EXPECT_EQ(rec(0).op, kWordEq);
  EXPECT_EQ(right(0), "1");
  EXPECT_EQ(rec(0).level, 0);
  EXPECT_EQ(rec(0).next_logic, -1);
  EXPECT_EQ(rec(0).outer_join, 0);
  EXPECT_EQ(rec(0).left_flags, "0000000000000000");
  EXPECT_EQ(a.condition_fill, 1);
}

TEST_F(ConditionAnalysis, ConnectivesAndDepths) {
  ASSERT_EQ(condition("A = 1 AND (B = 2 OR C = 3)"), 0);
  ASSERT_EQ(list().size(), 3u);
  EXPECT_EQ(rec(0).level, 0);
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  EXPECT_EQ(rec(0).next_level, 0);
  EXPECT_EQ(left(1), "B");
  EXPECT_EQ(rec(1).level, 1);
  EXPECT_EQ(rec(1).next_logic, kWordOr);
  EXPECT_EQ(rec(1).next_level, 1);
  EXPECT_EQ(left(2), "C");
  EXPECT_EQ(rec(2).level, 1);
  EXPECT_EQ(rec(2).next_logic, -1);

  ASSERT_EQ(condition("((SAL > 1000 AND (DEPTNO = 10 OR DEPTNO = 20)) OR JOB = 'CLERK')"), 0);
  ASSERT_EQ(list().size(), 4u);
  EXPECT_EQ(rec(0).level, 2);
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  EXPECT_EQ(rec(0).next_level, 2);
  EXPECT_EQ(rec(1).level, 3);
  EXPECT_EQ(rec(1).next_level, 3);
  EXPECT_EQ(rec(2).level, 3);
  EXPECT_EQ(rec(2).next_logic, kWordOr);
  EXPECT_EQ(rec(2).next_level, 1);
  EXPECT_EQ(left(3), "JOB");
  EXPECT_EQ(right(3), "'CLERK'");
  EXPECT_EQ(rec(3).level, 1);
}

TEST_F(ConditionAnalysis, StandAloneNot) {
  ASSERT_EQ(condition("NOT A = 1"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordNot);
  EXPECT_EQ(rec(0).left_text, -1);
  EXPECT_EQ(rec(0).right_text, -1);
  EXPECT_EQ(rec(0).next_logic, -1);
  EXPECT_EQ(left(1), "A");
  EXPECT_EQ(rec(1).op, kWordEq);

  ASSERT_EQ(condition("A = 1 AND NOT (B = 2 OR C = 3)"), 0);
  ASSERT_EQ(list().size(), 4u);
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  EXPECT_EQ(rec(1).op, kWordNot);
  EXPECT_EQ(rec(1).level, 0);
  EXPECT_EQ(rec(1).next_level, 0);
  EXPECT_EQ(rec(2).level, 1);
  EXPECT_EQ(rec(3).level, 1);
}

TEST_F(ConditionAnalysis, OperatorPhrases) {
  ASSERT_EQ(condition("A IS NOT NULL"), 0);
  EXPECT_EQ(rec(0).op, kWordIsNotNull);
  EXPECT_EQ(rec(0).right_text, -1);

  ASSERT_EQ(condition("a is null or b is not null"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordIsNull);
  EXPECT_EQ(rec(0).next_logic, kWordOr);
  EXPECT_EQ(left(1), "b");
  EXPECT_EQ(rec(1).op, kWordIsNotNull);

  ASSERT_EQ(condition("NAME LIKE 'A%' AND NAME NOT LIKE '%Z'"), 0);
  EXPECT_EQ(rec(0).op, kWordLike);
  EXPECT_EQ(rec(1).op, kWordNotLike);
  EXPECT_EQ(right(1), "'%Z'");

  for (auto [cond, op] : {std::pair<const char*, int>{"A != 1", kWordNe}, {"A <> 1", kWordNeAngle},
                          {"A ^= 1", kWordNeCaret}, {"A < 1", kWordLt}, {"A <= 1", kWordLe},
                          {"A > 1", kWordGt}, {"A >= 1", kWordGe}, {"A>=1", kWordGe}}) {
    ASSERT_EQ(condition(cond), 0) << cond;
    EXPECT_EQ(rec(0).op, op) << cond;
    EXPECT_EQ(left(0), "A") << cond;
    EXPECT_EQ(right(0), "1") << cond;
  }
  // A sign after an operator is part of the right operand, not a phrase.
  ASSERT_EQ(condition("A = -1 OR B = - 2"), 0);
  EXPECT_EQ(right(0), "- 1");
  EXPECT_EQ(rec(0).next_logic, kWordOr);
  EXPECT_EQ(right(1), "- 2");
  // NULL on the right of "=" stays an operand.
  ASSERT_EQ(condition("A = NULL"), 0);
  EXPECT_EQ(rec(0).op, kWordEq);
  EXPECT_EQ(right(0), "NULL");
}

TEST_F(ConditionAnalysis, Between) {
  ASSERT_EQ(condition("A BETWEEN 1 AND 5"), 0);
  ASSERT_EQ(list().size(), 1u);
  EXPECT_EQ(rec(0).op, kWordBetween);
  EXPECT_EQ(left(0), "A");
  EXPECT_EQ(right(0), "");
  EXPECT_EQ(rec(0).left_value, "1");
  EXPECT_EQ(rec(0).right_value, "5");

  // Inside OR, and closed by the group it stands in.
  ASSERT_EQ(condition("X = 1 OR SAL BETWEEN 1000 AND 2000 OR Y = 2"), 0);
  ASSERT_EQ(list().size(), 3u);
  EXPECT_EQ(rec(1).left_value, "1000");
  EXPECT_EQ(rec(1).right_value, "2000");
  EXPECT_EQ(rec(1).next_logic, kWordOr);
  EXPECT_EQ(rec(1).next_level, 0);
  EXPECT_EQ(left(2), "Y");

  ASSERT_EQ(condition("(SAL BETWEEN 1000 AND 2000) OR (D BETWEEN 'a' AND 'b' AND E = 1)"), 0);
  ASSERT_EQ(list().size(), 3u);
  EXPECT_EQ(rec(0).level, 1);
  EXPECT_EQ(rec(0).right_value, "2000");
  EXPECT_EQ(rec(0).next_logic, kWordOr);
  EXPECT_EQ(rec(0).next_level, 0);
  EXPECT_EQ(rec(1).left_value, "'a'");
  EXPECT_EQ(rec(1).right_value, "'b'");
  EXPECT_EQ(rec(1).next_logic, kWordAnd);
  EXPECT_EQ(rec(1).next_level, 1);
  EXPECT_EQ(left(2), "E");

  // Bounds with parentheses, calls and arithmetic stay whole.
  ASSERT_EQ(condition("HIREDATE BETWEEN TO_DATE('2020/01/01', 'YYYY/MM/DD') AND SYSDATE - 1"), 0);
  EXPECT_EQ(rec(0).left_value, "TO_DATE('2020/01/01', 'YYYY/MM/DD')");
  EXPECT_EQ(rec(0).right_value, "SYSDATE - 1");
  ASSERT_EQ(condition("A BETWEEN (1) AND (2 + 3)"), 0);
  EXPECT_EQ(rec(0).left_value, "(1)");
  EXPECT_EQ(rec(0).right_value, "(2 + 3)");
}

TEST_F(ConditionAnalysis, ListOperators) {
  ASSERT_EQ(condition("A IN (1, 2)"), 0);
  EXPECT_EQ(rec(0).op, kWordIn);
  EXPECT_EQ(right(0), "(1, 2)");
  ASSERT_EQ(condition("DEPTNO IN ( 10,20 , 30 ) AND JOB NOT IN ('A', 'B')"), 0);
  EXPECT_EQ(right(0), "(10,20 , 30)");
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  EXPECT_EQ(rec(1).op, kWordNotIn);
  EXPECT_EQ(right(1), "('A', 'B')");
  ASSERT_EQ(condition("(A) IN (1)"), 0);
  EXPECT_EQ(left(0), "(A)");
  EXPECT_EQ(rec(0).level, 0);
  ASSERT_EQ(condition("(A, B) IN ((1, 2), (3, 4))"), 0);
  EXPECT_EQ(left(0), "(A, B)");
  EXPECT_EQ(right(0), "((1, 2), (3, 4))");

  for (auto [cond, op] : {std::pair<const char*, int>{"A = ANY (1, 2)", kWordEqAny},
                          {"A > SOME (1)", kWordGtSome}, {"A <> ALL (1)", kWordNeAll},
                          {"A != ALL (1)", kWordNeAll}, {"A <= ANY (1)", kWordLeAny}}) {
    ASSERT_EQ(condition(cond), 0) << cond;
    EXPECT_EQ(rec(0).op, op) << cond;
  }
}

TEST_F(ConditionAnalysis, OuterJoinMarks) {
  ASSERT_EQ(condition("A (+) = B"), 0);
  EXPECT_EQ(rec(0).outer_join, 21);
  EXPECT_EQ(left(0), "A");
  EXPECT_EQ(right(0), "B");
  ASSERT_EQ(condition("E.DEPTNO = D.DEPTNO(+) AND D.LOC(+) = 'NY'"), 0);
  EXPECT_EQ(rec(0).outer_join, 31);
  EXPECT_EQ(right(0), "D.DEPTNO");
  EXPECT_EQ(rec(1).outer_join, 21);
  EXPECT_EQ(left(1), "D.LOC");
}

TEST_F(ConditionAnalysis, OperandsStayWhole) {
  ASSERT_EQ(condition("UPPER(TRIM(NAME)) = 'X'"), 0);
  EXPECT_EQ(left(0), "UPPER(TRIM(NAME))");
  ASSERT_EQ(condition("SUBSTR(NAME, 1, 2) = 'AB'"), 0);
  EXPECT_EQ(left(0), "SUBSTR(NAME, 1, 2)");
  // Parentheses of an expression belong to the operand.
  ASSERT_EQ(condition("(SAL + 100) * 2 > 3000"), 0);
  EXPECT_EQ(left(0), "(SAL + 100) * 2");
  EXPECT_EQ(rec(0).level, 0);
  ASSERT_EQ(condition("((SAL + 100) * 2 > 3000)"), 0);
  EXPECT_EQ(left(0), "(SAL + 100) * 2");
  EXPECT_EQ(rec(0).level, 1);
  ASSERT_EQ(condition("NVL(COMM, 0) + SAL >= 2000 AND FIRST || ' ' || LAST = 'A B'"), 0);
  EXPECT_EQ(left(0), "NVL(COMM, 0) + SAL");
  EXPECT_EQ(left(1), "FIRST || ' ' || LAST");
  ASSERT_EQ(condition("-A > 1"), 0);
  EXPECT_EQ(left(0), "- A");
  ASSERT_EQ(condition("CASE WHEN A = 1 THEN 'x' ELSE 'y' END = 'x' AND B = 2"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(left(0), "CASE WHEN A = 1 THEN 'x' ELSE 'y' END");
  ASSERT_EQ(condition("A = CASE B WHEN 1 THEN 2 END"), 0);
  EXPECT_EQ(right(0), "CASE B WHEN 1 THEN 2 END");
  ASSERT_EQ(condition("A = :qty AND B = :\"Name\""), 0);
  EXPECT_EQ(right(0), ":qty");
  EXPECT_EQ(right(1), ":Name");
  ASSERT_EQ(condition("HIREDATE >= DATE '2020-01-01' AND T < TIMESTAMP '2020-01-01 10:00:00'"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(right(0), "DATE '2020-01-01'");
  EXPECT_EQ(right(1), "TIMESTAMP '2020-01-01 10:00:00'");
  ASSERT_EQ(condition("A = 'It''s' AND B = 'a AND b'"), 0);
  EXPECT_EQ(right(0), "'It''s'");
  EXPECT_EQ(right(1), "'a AND b'");
}

TEST_F(ConditionAnalysis, QuotedNames) {
  ASSERT_EQ(condition("\"Emp Name\" = 'x' AND \"T\".\"COL\" = 1 AND X = \"Y\""), 0);
  EXPECT_EQ(left(0), "Emp Name");
  EXPECT_EQ(left(1), "\"T\".\"COL\"");
  EXPECT_EQ(right(2), "Y");
}

TEST_F(ConditionAnalysis, JapaneseLiteralsInUtf8) {
  g.os_charset = kCharsetUtf8;
  ASSERT_EQ(condition("氏名 = '山田　太郎' AND 住所 LIKE '東京都%'"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(left(0), "氏名");
  EXPECT_EQ(right(0), "'山田　太郎'");
  EXPECT_EQ(left(1), "住所");
  EXPECT_EQ(rec(1).op, kWordLike);
  EXPECT_EQ(right(1), "'東京都%'");
}

TEST_F(ConditionAnalysis, ShiftJisBytesStayWhole) {
  g.os_charset = kCharsetSjis;
  g.db_charset = kCharsetUtf8;  // the text is the user's, not the dump's
  // "ポト" (0x83 0x7C 0x83 0x67): the first trail byte is "|".
  const std::string name = "\x83\x7C\x83\x67";
  // "表示" (0x95 0x5C 0x8E 0xA6): a trail byte 0x5C.
  const std::string lit = "'\x95\x5C\x8E\xA6'";
  ASSERT_EQ(condition(name + " = " + lit + " OR " + name + " IN (" + lit + ", 'x')"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(left(0), name);
  EXPECT_EQ(right(0), lit);
  EXPECT_EQ(rec(0).next_logic, kWordOr);
  EXPECT_EQ(rec(1).op, kWordIn);
  EXPECT_EQ(right(1), "(" + lit + ", 'x')");

  std::vector<std::int32_t> cols;
  bool sub = false;
  ASSERT_EQ(analyze_expression(g, config, a, "T." + name, cols, sub), 0);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(col(cols[0]).table_name, "T");
  EXPECT_EQ(col(cols[0]).column_name, name);
}

TEST_F(ConditionAnalysis, TwoOperandWordsEndTheClause) {
  std::size_t unread = 0;
  prepare();
  ASSERT_EQ(analyze_condition(g, kClauseWhere, "A = B C", a, 0, &unread), 0);
  ASSERT_EQ(list().size(), 1u);
  EXPECT_EQ(left(0), "A");
  EXPECT_EQ(right(0), "B");
  EXPECT_EQ(unread, 6u);
  prepare();
  ASSERT_EQ(analyze_condition(g, kClauseWhere, "A = 1 B = 2", a, 0, &unread), 0);
  EXPECT_EQ(list().size(), 1u);
  EXPECT_EQ(unread, 6u);
  prepare();
  ASSERT_EQ(analyze_condition(g, kClauseWhere, "A IN (1) (B = 2)", a, 0, &unread), 0);
  EXPECT_EQ(unread, 9u);
  prepare();
  ASSERT_EQ(analyze_condition(g, kClauseWhere, "A = 1 ", a, 0, &unread), 0);
  EXPECT_EQ(unread, 5u);
  // PRIOR does not count as an operand of its own.
  ASSERT_EQ(condition("MGR = PRIOR EMPNO", kClauseConnect), 0);
  EXPECT_EQ(right(0, kClauseConnect), "PRIOR EMPNO");
  ASSERT_EQ(condition("PRIOR EMPNO = MGR", kClauseConnect), 0);
  EXPECT_EQ(left(0, kClauseConnect), "PRIOR EMPNO");
}

TEST_F(ConditionAnalysis, IncompleteClausesFailWithoutMessage) {
  for (const char* cond : {"", "   ", "A = 1 AND", "A =", "A", "NOT", "A = 1 OR NOT"}) {
    EXPECT_EQ(condition(cond), -1) << cond;
    EXPECT_EQ(g.message_count, 0) << cond << all_messages();
  }
}

TEST_F(ConditionAnalysis, FailureTexts) {
  struct Case {
    const char* cond;
    const char* text;
  };
  for (const Case& c : {
           Case{"A NOT BETWEEN 1 AND 2", "analyze_condition() invalid NOT"},
           Case{"A IN 1", "analyze_condition() get_operator_lists()"},
           Case{"A IN (1, 2", "analyze_condition() get_operator_lists()"},
           Case{"A BETWEEN 1", "analyze_condition() get_between()"},
           Case{"A BETWEEN 1 OR 2", "analyze_condition() get_between()"},
           Case{"A BETWEEN 1 AND", "analyze_condition() get_between()"},
           Case{"A = UPPER(B", "analyze_condition() is > idx"},
           Case{"(A = 1 OR B = 2", "analyze_condition() is > idx"},
           Case{"A = (SELECT X FROM T", "analyze_condition() is > idx2"},
           Case{"A = 1 = 2", "analyze_condition() step default:"},
           Case{"A = 1)", "analyze_condition() step default:"},
           Case{"A = 1 AND OR B = 2", "analyze_condition() step default:"},
           Case{"A = (B = 1)", "analyze_condition() step default:"},
       }) {
    EXPECT_EQ(condition(c.cond), -1) << c.cond;
    EXPECT_TRUE(queued(c.text)) << c.cond << "\n" << all_messages();
    EXPECT_TRUE(queued("ZUL-04000")) << c.cond;
  }
}

TEST_F(ConditionAnalysis, PendingWordBecomesABareRecord) {
  // An operator before any left operand is kept as a record of its own.
  ASSERT_EQ(condition("= A = 1"), 0);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordEq);
  EXPECT_EQ(rec(0).left_text, -1);
  EXPECT_EQ(rec(0).right_text, -1);
  EXPECT_EQ(left(1), "A");
  EXPECT_EQ(right(1), "1");
  // A connective there is refused.
  EXPECT_EQ(condition("AND A = 1"), -1);
  EXPECT_TRUE(queued("analyze_condition() step default:"));
}

TEST_F(ConditionAnalysis, ClauseListLimit) {
  std::string cond = "A0 = 0";
  for (int i = 1; i < 300; ++i) cond += " AND A" + std::to_string(i) + " = " + std::to_string(i);
  ASSERT_EQ(condition(cond), 0);
  EXPECT_EQ(list().size(), 300u);
  EXPECT_EQ(a.conditions.size(), 300u);  // grown in steps of 100
  EXPECT_EQ(a.limits.cond_capacity, 300);
  EXPECT_EQ(left(299), "A299");

  EXPECT_EQ(condition(cond + " AND B = 1"), -1);
  EXPECT_TRUE(queued("increment_cond_buffer() over where_cond_ct")) << all_messages();
  EXPECT_TRUE(queued("analyze_condition() increment_cond_buffer()"));

  prepare();
  std::string having = "A0 = 0";
  for (int i = 1; i < 301; ++i) having += " AND A = 1";
  EXPECT_EQ(analyze_condition(g, kClauseHaving, having, a, 0), -1);
  EXPECT_TRUE(queued("increment_cond_buffer() over having_cond_ct"));
}

TEST_F(ConditionAnalysis, AnalysisWideRecordLimit) {
  std::string cond = "A = 1";
  for (int i = 1; i < 250; ++i) cond += " OR A = 1";
  prepare();
  for (int clause : {kClauseWhere, kClauseHaving, kClauseStart, kClauseConnect}) {
    ASSERT_EQ(analyze_condition(g, clause, cond, a, 0), 0) << clause;
  }
  EXPECT_EQ(a.condition_fill, 1000);
  EXPECT_EQ(a.conditions.size(), 1000u);
  EXPECT_EQ(analyze_condition(g, kClauseOn, "B = 2", a, 0), -1);
  EXPECT_TRUE(queued("realloc_cond_buffer() over cond_limit")) << all_messages();
  EXPECT_TRUE(queued("analyze_condition() realloc_cond_buffer()"));
  EXPECT_EQ(a.condition_fill, 1000);
}

TEST_F(ConditionAnalysis, StaleRecordsAreRenewed) {
  std::string cond = "A = 1";
  for (int i = 1; i < 150; ++i) cond += " AND B BETWEEN 1 AND 2";
  ASSERT_EQ(condition(cond), 0);
  ASSERT_EQ(a.conditions.size(), 200u);
  // A second analysis reuses the grown slots beyond the first 100.
  std::string plain = "A = 1";
  for (int i = 1; i < 150; ++i) plain += " AND C = 3";
  ASSERT_EQ(condition(plain), 0);
  EXPECT_EQ(rec(120).op, kWordEq);
  EXPECT_EQ(rec(120).left_value, "");
  EXPECT_EQ(rec(120).right_value, "");
}

TEST_F(ConditionAnalysis, IncrementRefusesUnknownClause) {
  int count = 0;
  EXPECT_EQ(increment_cond_buffer(g, a, 0, 8, count), -1);
  EXPECT_EQ(increment_cond_buffer(g, a, 0, -1, count), -1);
  EXPECT_EQ(g.message_count, 0);
  ASSERT_EQ(realloc_cond_buffer(g, a), 0);
  ASSERT_EQ(increment_cond_buffer(g, a, 0, kClauseDelete, count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(list(kClauseDelete).size(), 1u);
}

// analyze_expression: the columns of one operand.
class ExpressionColumns : public AnalysisTest {
 protected:
  std::vector<std::int32_t> cols;
  bool sub = false;
  int analyze(std::string_view text) {
    prepare();
    return analyze_expression(g, config, a, text, cols, sub);
  }
};

TEST_F(ExpressionColumns, NamesFunctionsAndSkippedWords) {
  ASSERT_EQ(analyze("UPPER(TRIM(E.NAME)) || 'x' || SCOTT.EMP.JOB || 12.5 || -3"), 0);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(col(cols[0]).kind, kColumnReference);
  EXPECT_EQ(col(cols[0]).table_name, "E");
  EXPECT_EQ(col(cols[0]).column_name, "NAME");
  EXPECT_EQ(col(cols[0]).functions, "UPPER TRIM");
  EXPECT_EQ(col(cols[1]).table_name, "EMP");
  EXPECT_EQ(col(cols[1]).column_name, "JOB");
  EXPECT_EQ(col(cols[1]).functions, "");
  EXPECT_EQ(text(col(cols[0]).text), "UPPER(TRIM(E.NAME)) || 'x' || SCOTT.EMP.JOB || 12.5 || -3");
  EXPECT_FALSE(sub);
  EXPECT_EQ(a.column_fill, 2);

  ASSERT_EQ(analyze("NVL(COMM, 0) + SAL AS TOTAL"), 0);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(col(cols[0]).column_name, "COMM");
  EXPECT_EQ(col(cols[0]).functions, "NVL");
  EXPECT_EQ(col(cols[1]).column_name, "SAL");
  EXPECT_EQ(col(cols[1]).functions, "");

  ASSERT_EQ(analyze("\"My Col\" ALIAS"), 0);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(col(cols[0]).column_name, "My Col");

  ASSERT_EQ(analyze("CASE WHEN A = 1 THEN B ELSE NULL END"), 0);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(col(cols[0]).column_name, "A");
  EXPECT_EQ(col(cols[1]).column_name, "B");
}

TEST_F(ExpressionColumns, StarsAndHostVariables) {
  ASSERT_EQ(analyze("*"), 0);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(col(cols[0]).kind, kColumnStar);
  EXPECT_EQ(col(cols[0]).column_name, "*");

  ASSERT_EQ(analyze("COUNT(*)"), 0);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(col(cols[0]).kind, kColumnStar);
  EXPECT_EQ(col(cols[0]).functions, "COUNT");

  ASSERT_EQ(analyze("E.*"), 0);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(col(cols[0]).kind, kColumnStar);
  EXPECT_EQ(col(cols[0]).table_name, "E");

  ASSERT_EQ(analyze("A * B / 2"), 0);
  EXPECT_EQ(cols.size(), 2u);

  ASSERT_EQ(analyze(":qty"), 0);
  EXPECT_TRUE(cols.empty());
  EXPECT_EQ(a.columns[0].kind, kColumnHostVariable);
  EXPECT_EQ(a.column_fill, 0);
}

TEST_F(ExpressionColumns, Limits) {
  std::string many = "C0";
  for (int i = 1; i <= 300; ++i) many += " + C" + std::to_string(i);
  EXPECT_EQ(analyze(many), -1);
  EXPECT_TRUE(queued("analyze_expression() column_ct over MAX_COLUMNS_COND"));

  g.maxp.col_num = 3;
  a = SqlAnalysis{};
  prepare();
  cols.clear();
  EXPECT_EQ(analyze_expression(g, config, a, "A + B + C + D", cols, sub), -22);
  EXPECT_TRUE(queued("analyze_expression() Col buffer over"));
  EXPECT_EQ(a.column_fill, 3);
}

TEST_F(ExpressionColumns, BetweenBounds) {
  prepare();
  a.tables[0].table_name = "EMP";
  a.tables[1].table_name = "DEPT";
  a.tables[1].alias = "D";
  a.table_count = 2;
  cols.clear();
  ASSERT_EQ(check_between_column(g, a, "D.LO + 1", cols), 0);
  ASSERT_EQ(check_between_column(g, a, "TRUNC(EMP.HI) - :X - 'Z'", cols), 0);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(col(cols[0]).kind, kColumnBetweenBound);
  EXPECT_EQ(col(cols[0]).column_name, "LO");
  EXPECT_EQ(col(cols[0]).table_idx, 1);
  EXPECT_EQ(col(cols[1]).column_name, "HI");
  EXPECT_EQ(col(cols[1]).table_idx, 0);

  std::string many = "C0";
  for (int i = 1; i <= 300; ++i) many += " + C" + std::to_string(i);
  cols.clear();
  EXPECT_EQ(check_between_column(g, a, many, cols), -22);
  EXPECT_TRUE(queued("check_between_column() num. of columns over MAX_COLUMNS_COND"));
}

}  // namespace
}  // namespace qln
