#include <gtest/gtest.h>

#include <string>

#include "sql/word_codes.hpp"
#include "test_select_analysis_support.hpp"

namespace qln {
namespace {

using testing_support::AnalysisTest;
using SelectAnalysis = AnalysisTest;

TEST_F(SelectAnalysis, ConditionPathStatement) {
  ASSERT_EQ(select("SELECT * FROM DUAL WHERE A = 1"), 0) << all_messages();
  EXPECT_EQ(a.statement_count, 1);
  EXPECT_EQ(a.nesting_depth, 0);
  EXPECT_EQ(st().kw_select, "SELECT");
  EXPECT_EQ(st().kw_from, "FROM");
  EXPECT_EQ(st().kw_where, "WHERE");
  EXPECT_EQ(st().parent, -1);
  ASSERT_EQ(st().select_list.size(), 1u);
  EXPECT_EQ(col(st().select_list[0]).kind, kColumnStar);
  EXPECT_EQ(text(col(st().select_list[0]).text), "*");
  ASSERT_EQ(st().table_count, 1);
  EXPECT_EQ(st().tables[0].table_name, "DUAL");
  EXPECT_EQ(st().tables[0].kind, kTableNamed);
  EXPECT_EQ(st().tables[0].join_type, kJoinNone);
  EXPECT_EQ(text(st().tables[0].text), "DUAL");
  ASSERT_EQ(list().size(), 1u);
  EXPECT_EQ(left(0), "A");
  EXPECT_EQ(right(0), "1");
  EXPECT_EQ(st().where_text, "A = 1");
  EXPECT_EQ(st().select_text, "*");
  EXPECT_EQ(st().table_text, "DUAL");
  EXPECT_EQ(st().rest_text, "");
  EXPECT_EQ(st().set_operator, -1);
  EXPECT_EQ(st().next_statement, -1);
  EXPECT_EQ(g.message_count, 0);
}

TEST_F(SelectAnalysis, LowerCaseLikeUpperCase) {
  ASSERT_EQ(select("select a, b from t x where a > 1 and b is null"), 0) << all_messages();
  ASSERT_EQ(st().select_list.size(), 2u);
  EXPECT_EQ(col(st().select_list[0]).column_name, "a");
  EXPECT_EQ(col(st().select_list[1]).column_name, "b");
  EXPECT_EQ(st().tables[0].table_name, "t");
  EXPECT_EQ(st().tables[0].alias, "x");
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordGt);
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  EXPECT_EQ(rec(1).op, kWordIsNull);
  EXPECT_EQ(st().kw_where, "where");

  ASSERT_EQ(select("SELECT A, B FROM T AS X WHERE A > 1 AND B IS NULL"), 0);
  EXPECT_EQ(st().tables[0].alias, "X");
  EXPECT_EQ(list().size(), 2u);
}

TEST_F(SelectAnalysis, OptionsAndHint) {
  ASSERT_EQ(select("SELECT DISTINCT A FROM T"), 0);
  EXPECT_EQ(st().option, "DISTINCT");
  ASSERT_EQ(select("SELECT /*+ FULL(T) */ unique all A FROM T"), 0);
  EXPECT_EQ(st().hint, "FULL(T)");
  EXPECT_EQ(st().option, "unique all");
  ASSERT_EQ(st().select_list.size(), 1u);
  ASSERT_EQ(select("SELECT A FROM T"), 0);
  EXPECT_EQ(st().option, "");
  EXPECT_EQ(st().hint, "");
  EXPECT_EQ(select("SELECT /*+ FULL(T) A FROM T"), -1);
  EXPECT_TRUE(queued("sql_select() sql_hint()"));
}

TEST_F(SelectAnalysis, SelectItems) {
  ASSERT_EQ(select("SELECT E.ENAME AS NAME, SAL * 12 ANNUAL, 'x', COUNT(*), UPPER(JOB) FROM EMP E"),
            0)
      << all_messages();
  ASSERT_EQ(st().select_list.size(), 5u);
  const SqlColumn& first = col(st().select_list[0]);
  EXPECT_EQ(first.table_name, "E");
  EXPECT_EQ(first.column_name, "ENAME");
  EXPECT_EQ(text(first.text), "E.ENAME AS NAME");
  EXPECT_EQ(col(st().select_list[1]).column_name, "SAL");
  EXPECT_EQ(text(col(st().select_list[1]).text), "SAL * 12 ANNUAL");
  // A literal still has its entry.
  EXPECT_EQ(col(st().select_list[2]).kind, kColumnOther);
  EXPECT_EQ(text(col(st().select_list[2]).text), "'x'");
  EXPECT_EQ(col(st().select_list[3]).functions, "COUNT");
  EXPECT_EQ(col(st().select_list[4]).functions, "UPPER");
  EXPECT_EQ(a.column_fill, 5);

  // An empty select list is left to the caller's check.
  ASSERT_EQ(select("SELECT FROM T"), 0);
  EXPECT_TRUE(st().select_list.empty());
}

TEST_F(SelectAnalysis, IntoList) {
  ASSERT_EQ(select("SELECT A, B INTO :X, :Y FROM T"), 0) << all_messages();
  EXPECT_EQ(st().kw_into, "INTO");
  EXPECT_EQ(st().kw_from, "FROM");
  ASSERT_EQ(st().into_list.size(), 2u);
  EXPECT_EQ(col(st().into_list[0]).kind, kColumnHostVariable);
  EXPECT_EQ(col(st().into_list[1]).column_name, "Y");
  EXPECT_EQ(st().select_list.size(), 2u);
}

TEST_F(SelectAnalysis, OrderAndGroupClauses) {
  ASSERT_EQ(select("SELECT A FROM T ORDER BY A"), 0);
  ASSERT_EQ(st().order_by_list.size(), 1u);
  EXPECT_EQ(col(st().order_by_list[0]).column_name, "A");
  EXPECT_EQ(st().order_by_text, "A");
  EXPECT_EQ(st().rest_text, "ORDER BY A");

  ASSERT_EQ(select("SELECT A FROM T ORDER SIBLINGS BY T.A DESC NULLS LAST, 2"), 0)
      << all_messages();
  ASSERT_EQ(st().order_by_list.size(), 2u);
  EXPECT_EQ(col(st().order_by_list[0]).table_name, "T");
  EXPECT_EQ(col(st().order_by_list[0]).column_name, "A");
  EXPECT_EQ(text(col(st().order_by_list[0]).text), "T.A DESC NULLS LAST");
  EXPECT_EQ(col(st().order_by_list[1]).column_name, "");
  EXPECT_EQ(g.message_count, 0);

  ASSERT_EQ(select("SELECT DEPTNO, SUM(SAL) FROM EMP WHERE SAL > 0 GROUP BY DEPTNO, JOB "
                   "HAVING SUM(SAL) > 1000 ORDER BY 1"),
            0)
      << all_messages();
  ASSERT_EQ(st().group_by_list.size(), 2u);
  EXPECT_EQ(col(st().group_by_list[1]).column_name, "JOB");
  EXPECT_EQ(st().group_by_text, "DEPTNO, JOB");
  EXPECT_EQ(st().kw_having, "HAVING");
  ASSERT_EQ(list(kClauseHaving).size(), 1u);
  EXPECT_EQ(left(0, kClauseHaving), "SUM(SAL)");
  EXPECT_EQ(st().order_by_list.size(), 1u);
  EXPECT_EQ(list().size(), 1u);

  ASSERT_EQ(select("SELECT A FROM T GROUP BY ROLLUP (A, B)"), 0);
  EXPECT_EQ(st().group_by_list.size(), 2u);
  ASSERT_EQ(select("SELECT A FROM T GROUP BY GROUPING SETS ((A), (B))"), 0);
  EXPECT_EQ(st().group_by_list.size(), 2u);
}

TEST_F(SelectAnalysis, HierarchicalClauses) {
  ASSERT_EQ(select("SELECT EMPNO FROM EMP START WITH MGR IS NULL CONNECT BY PRIOR EMPNO = MGR"), 0)
      << all_messages();
  ASSERT_EQ(list(kClauseStart).size(), 1u);
  EXPECT_EQ(rec(0, kClauseStart).op, kWordIsNull);
  EXPECT_EQ(text(st().start_with_text), "START WITH MGR IS NULL");
  ASSERT_EQ(list(kClauseConnect).size(), 1u);
  EXPECT_EQ(left(0, kClauseConnect), "PRIOR EMPNO");
  EXPECT_EQ(right(0, kClauseConnect), "MGR");

  ASSERT_EQ(select("SELECT EMPNO FROM EMP CONNECT BY NOCYCLE MGR = PRIOR EMPNO START WITH EMPNO = 1"),
            0)
      << all_messages();
  EXPECT_EQ(right(0, kClauseConnect), "PRIOR EMPNO");
  ASSERT_EQ(list(kClauseStart).size(), 1u);
  EXPECT_EQ(text(st().start_with_text), "START WITH EMPNO = 1");

  ASSERT_EQ(select("SELECT A FROM T CONNECT MGR = 1"), 0);
  EXPECT_TRUE(queued("sql_connect_by() after 'CONNECT' word != 'BY'"));
  ASSERT_EQ(select("SELECT A FROM T START EMPNO = 1"), 0);
  EXPECT_TRUE(queued("sql_select() get START WITH"));
}

TEST_F(SelectAnalysis, LaterClauseFailuresDoNotFailTheStatement) {
  ASSERT_EQ(select("SELECT A FROM T FOR SHARE"), 0);
  EXPECT_TRUE(queued("sql_for_update() after 'FOR' word != 'UPDATE'"));
  ASSERT_EQ(select("SELECT A FROM T FOR"), 0);
  EXPECT_TRUE(queued("sql_for_update() get 'UPDATE' after 'FOR'"));
  ASSERT_EQ(select("SELECT A FROM T FOR UPDATE OF A NOWAIT"), 0);
  EXPECT_EQ(st().kw_for_update, "FOR UPDATE");
  EXPECT_EQ(st().for_update_text, "OF A NOWAIT");
  ASSERT_EQ(select("SELECT A FROM T GROUP A"), 0);
  EXPECT_TRUE(queued("sql_group_by() after 'GROUP' word != 'BY'"));
  ASSERT_EQ(select("SELECT A FROM T GROUP BY GROUPING A"), 0);
  EXPECT_TRUE(queued("sql_group_by() after 'GROUPING' word != 'SETS'"));
  ASSERT_EQ(select("SELECT A FROM T ORDER A"), 0);
  EXPECT_TRUE(queued("sql_select_group_by() after 'ORDER' word != 'BY'"));
  ASSERT_EQ(select("SELECT A FROM T ORDER SIBLINGS A"), 0);
  EXPECT_TRUE(queued("sql_select_group_by() after 'ORDER  SIBLINGS' word != 'BY'"));
  ASSERT_EQ(select("SELECT A FROM T HAVING"), 0);
  EXPECT_TRUE(queued("sql_having() get having list"));
  ASSERT_EQ(select("SELECT A FROM T HAVING A ="), 0);
  EXPECT_TRUE(queued("sql_having() analyze_condition()"));

  std::string order = "SELECT A FROM T ORDER BY C0";
  for (int i = 1; i <= 50; ++i) order += ", C" + std::to_string(i);
  ASSERT_EQ(select(order), 0);
  EXPECT_TRUE(queued("sql_order_by() get columns from order by list"));
  std::string group = "SELECT A FROM T GROUP BY C0";
  for (int i = 1; i <= 50; ++i) group += ", C" + std::to_string(i);
  ASSERT_EQ(select(group), 0);
  EXPECT_TRUE(queued("sql_group_by() get columns from group by list"));
}

TEST_F(SelectAnalysis, WithTextAndRest) {
  ASSERT_EQ(select("SELECT A FROM V WHERE A = 1 WITH READ ONLY"), 0);
  EXPECT_EQ(text(st().with_text), "WITH READ ONLY");
  EXPECT_EQ(st().rest_text, "WITH READ ONLY");
  EXPECT_EQ(list().size(), 1u);
  ASSERT_EQ(select("SELECT A FROM T;"), 0);
  EXPECT_EQ(st().tables[0].table_name, "T");
}

TEST_F(SelectAnalysis, TableItems) {
  ASSERT_EQ(select("SELECT * FROM SCOTT.EMP E, \"Sales\".\"Order Lines\" AS L, "
                   "T PARTITION (P1) X, U AS OF TIMESTAMP SYSDATE - 1"),
            0)
      << all_messages();
  ASSERT_EQ(st().table_count, 4);
  EXPECT_EQ(st().tables[0].schema, "SCOTT");
  EXPECT_EQ(st().tables[0].table_name, "EMP");
  EXPECT_EQ(st().tables[0].name_as_written, "SCOTT.EMP");
  EXPECT_EQ(st().tables[0].alias, "E");
  EXPECT_EQ(st().tables[1].schema, "Sales");
  EXPECT_EQ(st().tables[1].table_name, "Order Lines");
  EXPECT_EQ(st().tables[1].alias, "L");
  EXPECT_EQ(st().tables[2].partition, "P1");
  EXPECT_EQ(st().tables[2].alias, "X");
  EXPECT_EQ(st().tables[3].table_name, "U");
  EXPECT_EQ(st().tables[3].alias, "");
  EXPECT_EQ(text(st().tables[3].flashback_text), "AS OF TIMESTAMP SYSDATE - 1");
  EXPECT_EQ(st().tables[0].flashback_text, 0);

  ASSERT_EQ(select("SELECT * FROM T SAMPLE (10)"), 0);
  EXPECT_EQ(text(st().tables[0].flashback_text), "SAMPLE (10)");

  EXPECT_EQ(select("SELECT A FROM T1, T2, T3, T4, T5, T6"), -1);
  EXPECT_TRUE(queued("sql_select() num. of tables over"));
  EXPECT_EQ(select("SELECT A FROM " + std::string(31, 'N')), -1);
  EXPECT_TRUE(queued("analyze_table() get table name"));
  EXPECT_TRUE(queued("sql_select() analyze_table()"));
  EXPECT_EQ(select("SELECT A FROM A.B.C"), -1);
  EXPECT_EQ(select("SELECT A FROM"), -1);
  EXPECT_TRUE(queued("sql_select() get table list"));
  EXPECT_EQ(select("SELECT 1"), -1);
  EXPECT_TRUE(queued("sql_select() get table list"));
}

TEST_F(SelectAnalysis, DefaultSchema) {
  // The preparation clears it; a schema set afterwards is used.
  prepare();
  config.default_schema = "SCOTT";
  std::size_t pos = 0;
  ASSERT_EQ(sql_select(g, config, a, "SELECT * FROM EMP, HR.DEPT", pos), 0);
  EXPECT_EQ(st().tables[0].schema, "SCOTT");
  EXPECT_EQ(st().tables[1].schema, "HR");
  EXPECT_EQ(pos, std::string_view("SELECT * FROM EMP, HR.DEPT").size());
}

TEST_F(SelectAnalysis, SetOperatorAtTheTopIsNotATable) {
  // The driver analyses the whole query with sql_select: a set operator after
  // the table list must not pass as an alias.
  EXPECT_EQ(select("SELECT A FROM T UNION SELECT A FROM U"), -1);
  EXPECT_TRUE(queued("analyze_table() invalid table item"));
  EXPECT_EQ(select("SELECT * FROM T WHERE A = 1 UNION SELECT * FROM U"), -1);
  EXPECT_TRUE(queued("sql_select() get where condition"));
}

TEST_F(SelectAnalysis, FirstWordMustBeSelect) {
  EXPECT_EQ(select("UPDATE T SET A = 1"), -1);
  EXPECT_TRUE(queued("sql_select() first word != 'SELECT'"));
  EXPECT_EQ(a.statement_count, 0);
  EXPECT_EQ(select(""), -1);
  EXPECT_TRUE(queued("sql_select() first word != 'SELECT'"));
  ASSERT_EQ(select("(SELECT A FROM T)"), 0);
  EXPECT_EQ(st().tables[0].table_name, "T");
  prepare();
  std::size_t pos = 100;
  EXPECT_EQ(sql_select(g, config, a, "SELECT A FROM T", pos), -1);
  EXPECT_EQ(a.statement_count, 0);

  ASSERT_EQ(select("SELECT * FROM ((SELECT A FROM T)) V"), 0) << all_messages();
  EXPECT_EQ(st().tables[0].kind, kTableInlineView);
  EXPECT_EQ(st(1).tables[0].table_name, "T");
}

TEST_F(SelectAnalysis, WhereFailureFailsTheStatement) {
  EXPECT_EQ(where("A = 1 AND"), -1);
  EXPECT_TRUE(queued("sql_select() get where condition"));
  EXPECT_EQ(where(""), -1);
  EXPECT_TRUE(queued("sql_select() get where condition"));
  // The analyser stops after A = 1; the run must not go on without B = 2.
  EXPECT_EQ(where("A = 1 B = 2"), -1);
  EXPECT_TRUE(queued("sql_select() get where condition"));
  EXPECT_EQ(where("A = 1 " + std::string(5000, 'X')), -1);
  EXPECT_EQ(where("A NOT BETWEEN 1 AND 2"), -1);
  EXPECT_TRUE(queued("analyze_condition() invalid NOT"));
  EXPECT_TRUE(queued("sql_select() get where condition"));
}

TEST_F(SelectAnalysis, InlineView) {
  ASSERT_EQ(select("SELECT A FROM (SELECT A FROM T) V"), 0) << all_messages();
  EXPECT_EQ(a.statement_count, 2);
  EXPECT_EQ(st().tables[0].kind, kTableInlineView);
  EXPECT_EQ(st().tables[0].subquery, 1);
  EXPECT_EQ(st().tables[0].alias, "V");
  EXPECT_EQ(st(1).parent, 0);
  EXPECT_EQ(st(1).text, "SELECT A FROM T");
  EXPECT_EQ(st(1).tables[0].table_name, "T");
  EXPECT_EQ(a.nesting_depth, 0);

  ASSERT_EQ(select("SELECT * FROM (SELECT A FROM T UNION ALL SELECT B FROM U) AS W WHERE A > 0"),
            0)
      << all_messages();
  EXPECT_EQ(a.statement_count, 3);
  EXPECT_EQ(st().tables[0].alias, "W");
  EXPECT_EQ(st(1).set_operator, kWordUnionAll);
  EXPECT_EQ(st(1).next_statement, 2);
  EXPECT_EQ(st(2).parent, 0);
  EXPECT_EQ(list().size(), 1u);
}

TEST_F(SelectAnalysis, Joins) {
  ASSERT_EQ(select("SELECT * FROM EMP E INNER JOIN DEPT D ON E.DEPTNO = D.DEPTNO "
                   "LEFT OUTER JOIN BONUS B ON B.ENAME = E.ENAME AND B.SAL > 0 "
                   "WHERE E.SAL > 1000"),
            0)
      << all_messages();
  ASSERT_EQ(st().table_count, 3);
  EXPECT_EQ(st().tables[0].alias, "E");
  EXPECT_EQ(st().tables[0].join_type, kJoinNone);
  EXPECT_EQ(st().tables[1].table_name, "DEPT");
  EXPECT_EQ(st().tables[1].alias, "D");
  EXPECT_EQ(st().tables[1].join_type, kJoinInner);
  ASSERT_EQ(st().tables[1].on_list.size(), 1u);
  EXPECT_EQ(st().tables[2].join_type, kJoinLeftOuter);
  ASSERT_EQ(st().tables[2].on_list.size(), 2u);
  EXPECT_EQ(list(kClauseOn).size(), 3u);
  EXPECT_EQ(left(0, kClauseOn), "E.DEPTNO");
  EXPECT_EQ(a.conditions[static_cast<std::size_t>(st().tables[2].on_list[1])].op, kWordGt);
  EXPECT_EQ(st().kw_on, "ON");
  ASSERT_EQ(list().size(), 1u);
  EXPECT_EQ(left(0), "E.SAL");

  ASSERT_EQ(select("SELECT * FROM A NATURAL JOIN B CROSS JOIN C JOIN D USING (ID, NO)"), 0)
      << all_messages();
  ASSERT_EQ(st().table_count, 4);
  EXPECT_EQ(st().tables[1].join_type, kJoinNatural);
  EXPECT_EQ(st().tables[2].join_type, kJoinCross);
  EXPECT_EQ(st().tables[3].join_type, kJoinPlain);
  EXPECT_EQ(text(st().tables[3].using_text), "(ID, NO)");
  EXPECT_EQ(st().kw_using, "USING");

  ASSERT_EQ(select("SELECT * FROM A RIGHT JOIN B ON A.X = B.X FULL OUTER JOIN C ON C.Y = B.Y "
                   "NATURAL LEFT OUTER JOIN D"),
            0)
      << all_messages();
  EXPECT_EQ(st().tables[1].join_type, kJoinRight);
  EXPECT_EQ(st().tables[2].join_type, kJoinFullOuter);
  EXPECT_EQ(st().tables[3].join_type, kJoinNaturalLeft);

  EXPECT_EQ(select("SELECT * FROM A JOIN B ON A.X = B.X JOIN C ON 1 = 1 JOIN D ON 1 = 1 "
                   "JOIN E ON 1 = 1 JOIN F ON 1 = 1"),
            -1);
  EXPECT_TRUE(queued("get_join() num. of tables over"));
  EXPECT_TRUE(queued("analyze_table() get_join()"));

  // Each join's condition is checked once: no doubled columns or sub-queries.
  ASSERT_EQ(select("SELECT * FROM A JOIN B ON A.X = B.X JOIN C ON C.Y IN (SELECT Y FROM D)"), 0)
      << all_messages();
  EXPECT_EQ(a.statement_count, 2);
  EXPECT_EQ(rec(0, kClauseOn).left_cols.size(), 1u);
  EXPECT_EQ(rec(0, kClauseOn).right_cols.size(), 1u);
  EXPECT_EQ(rec(1, kClauseOn).right_subquery, 1);
  // "*", A.X, B.X, C.Y, the sub-query operand and the sub-query's Y.
  EXPECT_EQ(a.column_fill, 6);

  EXPECT_EQ(select("SELECT * FROM A JOIN B ON A.X ="), -1);
  EXPECT_TRUE(queued("get_join() analyze_condition()"));
}

TEST_F(SelectAnalysis, SubqueriesInConditions) {
  ASSERT_EQ(where("DEPTNO IN (SELECT DEPTNO FROM DEPT WHERE LOC = 'NEW YORK') AND SAL > 0"), 0)
      << all_messages();
  ASSERT_EQ(a.statement_count, 2);
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordIn);
  EXPECT_EQ(right(0), "(SELECT DEPTNO FROM DEPT WHERE LOC = 'NEW YORK')");
  EXPECT_EQ(rec(0).right_subquery, 1);
  EXPECT_EQ(rec(0).left_subquery, -1);
  ASSERT_EQ(rec(0).left_cols.size(), 1u);
  EXPECT_EQ(col(rec(0).left_cols[0]).column_name, "DEPTNO");
  EXPECT_EQ(st(1).parent, 0);
  EXPECT_EQ(st(1).tables[0].table_name, "DEPT");
  ASSERT_EQ(list(kClauseWhere, 1).size(), 1u);
  EXPECT_EQ(right(0, kClauseWhere, 1), "'NEW YORK'");
  EXPECT_EQ(rec(1).right_subquery, -1);

  ASSERT_EQ(where("A <> ALL (SELECT X FROM T)"), 0) << all_messages();
  EXPECT_EQ(rec(0).op, kWordNeAll);
  EXPECT_EQ(rec(0).right_subquery, 1);
  EXPECT_EQ(a.statement_count, 2);

  ASSERT_EQ(where("NOT EXISTS (SELECT 1 FROM DEPT D WHERE D.DEPTNO = E.DEPTNO) OR X = 1"), 0)
      << all_messages();
  ASSERT_EQ(list().size(), 2u);
  EXPECT_EQ(rec(0).op, kWordNotExists);
  EXPECT_EQ(rec(0).left_text, -1);
  EXPECT_EQ(rec(0).right_subquery, 1);
  EXPECT_EQ(rec(0).next_logic, kWordOr);
  EXPECT_EQ(st(1).tables[0].alias, "D");

  ASSERT_EQ(where("SAL > (SELECT AVG(SAL) FROM EMP) AND (SELECT MAX(X) FROM U) = 3"), 0)
      << all_messages();
  ASSERT_EQ(a.statement_count, 3);
  EXPECT_EQ(rec(0).right_subquery, 1);
  EXPECT_EQ(rec(1).left_subquery, 2);
  EXPECT_EQ(left(1), "(SELECT MAX(X) FROM U)");
  EXPECT_EQ(col(st(1).select_list[0]).functions, "AVG");
}

TEST_F(SelectAnalysis, SubqueryFailureInWhereIsReportedOnly) {
  ASSERT_EQ(where("A IN (SELECT X FROM T UNION)"), 0);
  EXPECT_TRUE(queued("analyze_expression() separate_sql()"));
  ASSERT_EQ(where("A IN (SELECT X FROM)"), 0);
  EXPECT_TRUE(queued("sql_subquery() sql_select()"));
  EXPECT_TRUE(queued("check_condition() check_condition_column()"));
}

TEST_F(SelectAnalysis, RealisticPerTableConditions) {
  ASSERT_EQ(where("(\"EMP\".\"SAL\" + NVL(COMM, 0)) * 12 >= 30000 AND "
                  "(JOB IN ('CLERK', 'ANALYST') OR HIREDATE BETWEEN "
                  "TO_DATE('1981/01/01', 'YYYY/MM/DD') AND TO_DATE('1981/12/31', 'YYYY/MM/DD')) "
                  "AND UPPER(ENAME) LIKE 'S%'"),
            0)
      << all_messages();
  ASSERT_EQ(list().size(), 4u);
  EXPECT_EQ(left(0), "(\"EMP\".\"SAL\" + NVL(COMM, 0)) * 12");
  EXPECT_EQ(rec(0).op, kWordGe);
  EXPECT_EQ(rec(0).level, 0);
  EXPECT_EQ(rec(0).next_logic, kWordAnd);
  ASSERT_EQ(rec(0).left_cols.size(), 2u);
  EXPECT_EQ(col(rec(0).left_cols[0]).table_name, "EMP");
  EXPECT_EQ(col(rec(0).left_cols[0]).column_name, "SAL");
  EXPECT_EQ(col(rec(0).left_cols[1]).functions, "NVL");
  EXPECT_EQ(rec(1).op, kWordIn);
  EXPECT_EQ(rec(1).level, 1);
  EXPECT_EQ(rec(1).next_logic, kWordOr);
  EXPECT_EQ(rec(2).op, kWordBetween);
  EXPECT_EQ(rec(2).level, 1);
  EXPECT_EQ(rec(2).left_value, "TO_DATE('1981/01/01', 'YYYY/MM/DD')");
  EXPECT_EQ(rec(2).next_logic, kWordAnd);
  EXPECT_EQ(rec(2).next_level, 0);
  EXPECT_TRUE(rec(2).right_cols.empty());
  EXPECT_EQ(left(3), "UPPER(ENAME)");
  EXPECT_EQ(col(rec(3).left_cols.at(0)).functions, "UPPER");
  EXPECT_EQ(rec(3).level, 0);

  ASSERT_EQ(where("A BETWEEN (SELECT MIN(X) FROM T) AND 5"), 0) << all_messages();
  EXPECT_TRUE(rec(0).right_cols.empty());
  ASSERT_EQ(where("A BETWEEN LO AND HI"), 0);
  ASSERT_EQ(rec(0).right_cols.size(), 2u);
  EXPECT_EQ(col(rec(0).right_cols[0]).column_name, "LO");
  EXPECT_EQ(col(rec(0).right_cols[1]).column_name, "HI");
  EXPECT_EQ(col(rec(0).right_cols[1]).kind, kColumnBetweenBound);

  g.os_charset = kCharsetSjis;
  // "社員名" and "営業部" in Shift_JIS.
  const std::string name = "\x8E\xD0\x88\xF5\x96\xBC";
  const std::string dept = "'\x89\x63\x8B\xC6\x95\x94'";
  ASSERT_EQ(where(name + " = " + dept + " AND \"" + name + "\" IS NOT NULL"), 0) << all_messages();
  EXPECT_EQ(left(0), name);
  EXPECT_EQ(right(0), dept);
  EXPECT_EQ(left(1), name);
  EXPECT_EQ(col(rec(0).left_cols.at(0)).column_name, name);
}

TEST_F(SelectAnalysis, SubquerySplitsSetOperators) {
  prepare();
  ASSERT_EQ(sql_subquery(g, config, a, "SELECT A FROM T UNION SELECT A FROM U"), 0)
      << all_messages();
  EXPECT_EQ(a.statement_count, 2);
  EXPECT_EQ(st(0).set_operator, kWordUnion);
  EXPECT_EQ(st(0).next_statement, 1);
  EXPECT_EQ(st(1).set_operator, -1);
  EXPECT_EQ(st(1).next_statement, -1);
  EXPECT_EQ(st(1).text, "SELECT A FROM U");

  prepare();
  EXPECT_EQ(sql_subquery(g, config, a, "SELECT A FROM T UNION"), -1);
  EXPECT_TRUE(queued("sql_subquery() separate_sql()"));
}

TEST(SeparateSql, Parts) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  std::vector<ItemSpan> r;
  std::vector<int> ops;
  const std::string_view text =
      "SELECT A FROM T UNION ALL (SELECT B FROM U WHERE C IN (SELECT C FROM V MINUS SELECT D FROM "
      "W)) intersect SELECT 'UNION' FROM X minus SELECT E FROM Y";
  ASSERT_EQ(separate_sql(g, text, r, ops), 0);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].of(text), "SELECT A FROM T ");
  EXPECT_EQ(r[1].of(text),
            " (SELECT B FROM U WHERE C IN (SELECT C FROM V MINUS SELECT D FROM W)) ");
  EXPECT_EQ(r[2].of(text), " SELECT 'UNION' FROM X ");
  EXPECT_EQ(r[3].of(text), " SELECT E FROM Y");
  EXPECT_EQ(ops, (std::vector<int>{kWordUnionAll, kWordIntersect, kWordMinus}));

  ASSERT_EQ(separate_sql(g, "SELECT A FROM MINUSES", r, ops), 0);
  EXPECT_EQ(r.size(), 1u);
  EXPECT_TRUE(ops.empty());
  ASSERT_EQ(separate_sql(g, "UPDATE T UNION X", r, ops), 0);
  EXPECT_EQ(r.size(), 1u);

  EXPECT_EQ(separate_sql(g, "SELECT A FROM T UNION UNION SELECT B FROM U", r, ops), -1);
  std::string many = "SELECT 0 FROM T";
  for (int i = 1; i < 30; ++i) many += " UNION SELECT 1 FROM T";
  ASSERT_EQ(separate_sql(g, many, r, ops), 0);
  EXPECT_EQ(r.size(), 30u);
  EXPECT_EQ(separate_sql(g, many + " UNION SELECT 1 FROM T", r, ops), -1);
}

TEST(PartLists, StopWordsDepthAndQuotes) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  SqlStatement s;
  std::string out;
  std::string end;
  const std::string_view text = "A, F(X FROM Y), 'FROM' \"FROM\" FROMAGE from(T) WHERE B";
  std::size_t pos = 0;
  ASSERT_EQ(sql_part_lists(g, &s, text, pos, kPartSelectList, out, end, "INTO FROM"), 0);
  EXPECT_EQ(out, "A, F(X FROM Y), 'FROM' \"FROM\" FROMAGE");
  EXPECT_EQ(end, "from");
  EXPECT_EQ(s.select_text, out);
  EXPECT_EQ(text.substr(pos, 3), "(T)");

  pos = 0;
  ASSERT_EQ(sql_part_lists(g, &s, "T1, T2) REST", pos, kPartTableList, out, end, "WHERE"), 0);
  EXPECT_EQ(out, "T1, T2");
  EXPECT_EQ(end, "");
  EXPECT_EQ(pos, 6u);
  EXPECT_EQ(s.table_text, "T1, T2");

  pos = 0;
  ASSERT_EQ(sql_part_lists(g, nullptr, "A = 1; B", pos, kPartWhere, out, end, "ORDER"), 0);
  EXPECT_EQ(out, "A = 1");
  pos = 0;
  ASSERT_EQ(sql_part_lists(g, nullptr, "T WHERE", pos, kPartTableList, out, end, "WHERE"), 0);
  EXPECT_EQ(out, "T");
  EXPECT_EQ(end, "WHERE");
  pos = 0;
  ASSERT_EQ(sql_part_lists(g, nullptr, "FROM T", pos, kPartSelectList, out, end, "FROM"), 0);
  EXPECT_EQ(out, "");
  pos = 0;
  EXPECT_EQ(sql_part_lists(g, nullptr, "   ", pos, kPartWhere, out, end, "ORDER"), -1);
  const std::string huge(kMaxClauseLen, 'x');
  pos = 0;
  EXPECT_EQ(sql_part_lists(g, nullptr, huge, pos, kPartWhere, out, end, "ORDER"), -22);
}

TEST_F(SelectAnalysis, StatementLimits) {
  // 29 scalar sub-queries in the select list: 30 statements in all.
  std::string items = "(SELECT 1 FROM DUAL)";
  for (int i = 1; i < 29; ++i) items += ", (SELECT 1 FROM DUAL)";
  ASSERT_EQ(select("SELECT " + items + " FROM T"), 0) << all_messages();
  EXPECT_EQ(a.statement_count, 30);
  EXPECT_EQ(a.statements.size(), 30u);
  EXPECT_EQ(col(st().select_list[28]).subquery, 29);
  EXPECT_EQ(select("SELECT " + items + ", (SELECT 1 FROM DUAL) FROM T"), -1);
  EXPECT_TRUE(queued("realloc_sql_buffer() num. of SQL over"));
  EXPECT_TRUE(queued("sql_select() analyze_expression"));

  // Inline views nested: ten statements deep are fine, eleven are not.
  auto nested = [](int depth) {
    std::string sql = "SELECT A FROM T";
    for (int i = 1; i < depth; ++i) sql = "SELECT A FROM (" + sql + ") V";
    return sql;
  };
  ASSERT_EQ(select(nested(10)), 0) << all_messages();
  EXPECT_EQ(a.statement_count, 10);
  EXPECT_EQ(st(9).parent, 8);
  EXPECT_EQ(select(nested(11)), -1);
  EXPECT_TRUE(queued("realloc_sql_buffer() num. of SQL nest over"));
}

TEST_F(SelectAnalysis, StatementArrayGrowthKeepsContents) {
  a = SqlAnalysis{};
  ASSERT_EQ(select("SELECT (SELECT B1 FROM U1), (SELECT B2 FROM U2), (SELECT B3 FROM U3), "
                   "(SELECT B4 FROM U4), (SELECT B5 FROM U5) FROM T"),
            0)
      << all_messages();
  EXPECT_EQ(a.statement_count, 6);
  EXPECT_EQ(a.statements.size(), 10u);
  for (int s = 1; s <= 5; ++s) {
    EXPECT_EQ(st(s).tables[0].table_name, "U" + std::to_string(s));
    EXPECT_EQ(col(st(s).select_list[0]).column_name, "B" + std::to_string(s));
    EXPECT_EQ(st(s).parent, 0);
  }
  EXPECT_EQ(st(0).tables[0].table_name, "T");
}

TEST(StatementKind, Keywords) {
  EXPECT_EQ(statement_kind("select"), 1);
  EXPECT_EQ(statement_kind("UPDATE"), 2);
  EXPECT_EQ(statement_kind("Insert"), 3);
  EXPECT_EQ(statement_kind("DELETE"), 4);
  EXPECT_EQ(statement_kind("MERGE"), 5);
  EXPECT_EQ(statement_kind("WITH"), 6);
  EXPECT_EQ(statement_kind("SELECTS"), -1);
}

}  // namespace
}  // namespace qln
