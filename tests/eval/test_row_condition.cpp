#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "eval/cond_program.hpp"
#include "eval/like_match.hpp"
#include "eval/row_conditions.hpp"
#include "eval/statement_check.hpp"

namespace qln {
namespace {

// A value in a hand-built row: NULL, a number text, a text, or a date.
struct Cell {
  enum Kind { kNull, kNumber, kText, kDate, kTimestamp } kind = kNull;
  std::string text;
  int date[7] = {};
};
Cell null() { return {}; }
Cell num(std::string t) { return {Cell::kNumber, std::move(t)}; }
Cell txt(std::string t) { return {Cell::kText, std::move(t)}; }
Cell date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return {Cell::kDate, {}, {y, mo, d, h, mi, s, 0}};
}
Cell stamp(int y, int mo, int d, int h, int mi, int s, int ns) {
  return {Cell::kTimestamp, {}, {y, mo, d, h, mi, s, ns}};
}

SqlValue value_of(const Cell& c) {
  SqlValue v;
  switch (c.kind) {
    case Cell::kNumber: value_set_number(v, c.text); break;
    case Cell::kText: value_set_text(v, c.text); break;
    case Cell::kDate: value_set_date(v, c.date[0], c.date[1], c.date[2], c.date[3], c.date[4], c.date[5]); break;
    case Cell::kTimestamp:
      value_set_timestamp(v, c.date[0], c.date[1], c.date[2], c.date[3], c.date[4], c.date[5], c.date[6]);
      break;
    default: break;
  }
  return v;
}

class RowCondition : public ::testing::Test {
 protected:
  RowCondition() {
    g.os_charset = kCharsetUtf8;
    EXPECT_EQ(malloc_sql_buffer(g, o, a), 0);
    table.owner = "SCOTT";
    table.table_name = "EMP";
    for (auto [name, type] : std::vector<std::pair<const char*, ColumnType>>{
             {"ID", kColNumber}, {"NAME", kColVarchar2}, {"SAL", kColNumber}, {"DEPTNO", kColNumber},
             {"JOB", kColVarchar2}, {"HIRED", kColDate}, {"TS", kColTimestamp}, {"BIG", kColNumber},
             {"Mixed", kColVarchar2}, {"DOC", kColClob}, {"CODE", kColChar}}) {
      ColumnDef c;
      c.name = name;
      c.type = type;
      c.type_text = type == kColClob ? "CLOB" : "X";
      table.columns.push_back(c);
    }
  }

  // ID, NAME, SAL, DEPTNO, JOB, HIRED, TS, BIG, Mixed, DOC.
  void add(std::vector<Cell> cells) {
    std::vector<SqlValue> row;
    for (const Cell& c : cells) row.push_back(value_of(c));
    row.resize(table.columns.size());
    rows.push_back(std::move(row));
  }

  void add_staff() {
    add({num("1"), txt("SMITH"), num("800"), num("20"), txt("CLERK"), date(1980, 12, 17), stamp(1980, 12, 17, 9, 0, 0, 500),
         num("12345678901234567890123")});
    add({num("2"), txt("ALLEN"), num("1600"), num("30"), txt("SALESMAN"), date(1981, 2, 20), stamp(1981, 2, 20, 0, 0, 0, 0),
         num("12345678901234567890124")});
    add({num("3"), txt("WARD"), num("1250"), num("30"), txt("SALESMAN"), date(1981, 2, 22, 15, 30), null(), num("-1")});
    add({num("4"), txt("JONES"), num("2975"), null(), txt("MANAGER"), date(1981, 4, 2), null(), null(), txt("x")});
    add({num("5"), null(), null(), num("10"), txt("A%"), date(1982, 1, 23), null(), num("0.5"), txt("y")});
    add({num("6"), txt("日本語テキスト"), num("3000"), num("10"), null(), null(), null(), num("7")});
  }

  // Compiles a per-table condition; 0 or the first message code.
  int compile(std::string_view cond) {
    g.message_count = 0;
    int rc = prepare_table_condition(g, a, cond, p, ctx);
    if (rc == 0) rc = bind_cond_program(g, p, ctx, table);
    return rc == 0 ? 0 : first_code();
  }

  int first_code() const {
    if (g.message_count == 0) return -1;
    return std::stoi(g.messages[0].substr(4, 5));
  }
  bool queued(std::string_view part) const {
    for (int i = 0; i < g.message_count; ++i)
      if (g.messages[static_cast<std::size_t>(i)].find(part) != std::string::npos) return true;
    return false;
  }

  // The IDs of the rows the condition selects; "error" when evaluating fails.
  std::string ids(std::string_view cond) {
    const int rc = compile(cond);
    if (rc != 0) return "compile " + std::to_string(rc);
    std::string out;
    for (const auto& row : rows) {
      int truth = 99;
      if (eval_row_condition(g, p, ctx, row, truth) != 0) return "error";
      if (truth == kCondTrue) out += (out.empty() ? "" : ",") + row[0].text;
    }
    return out;
  }

  GlobalParams g;
  ConvOptions o;
  SqlAnalysis a;
  CondProgram p;
  EvalContext ctx;
  TableDefinition table;
  std::vector<std::vector<SqlValue>> rows;
};

TEST_F(RowCondition, NullsFollowThreeValuedLogic) {
  add_staff();
  EXPECT_EQ(ids("DEPTNO != 30"), "1,5,6");           // 4's DEPTNO is NULL: unknown
  EXPECT_EQ(ids("NOT DEPTNO = 30"), "1,5,6");
  EXPECT_EQ(ids("NOT (DEPTNO = 30 AND SAL > 0)"), "1,5,6");  // 4: NOT(unknown AND true)
  EXPECT_EQ(ids("NOT (DEPTNO = 30 OR SAL > 2000)"), "1");   // 5: NOT(false OR unknown)
  EXPECT_EQ(ids("DEPTNO = 30 OR SAL > 2000"), "2,3,4,6");
  EXPECT_EQ(ids("DEPTNO IS NULL OR NAME IS NULL"), "4,5");
  EXPECT_EQ(ids("NOT DEPTNO IS NOT NULL"), "4");
  EXPECT_EQ(ids("DEPTNO = NULL"), "");
  EXPECT_EQ(ids("NAME = ''"), "");                     // an empty text is NULL
  EXPECT_EQ(ids("SAL + 1 > 0"), "1,2,3,4,6");
  EXPECT_EQ(ids("NAME || 'x' = 'x'"), "5");           // NULL || 'x' is 'x'
}

TEST_F(RowCondition, PrecedenceAndParentheses) {
  add_staff();
  EXPECT_EQ(ids("ID = 1 OR ID = 2 AND DEPTNO = 20"), "1");
  EXPECT_EQ(ids("(ID = 1 OR ID = 2) AND DEPTNO = 30"), "2");
  EXPECT_EQ(ids("NOT ID = 1 AND NOT ID = 2 AND ID < 4"), "3");
  EXPECT_EQ(ids("NOT (ID = 1 OR ID = 2) AND ID < 4"), "3");
  EXPECT_EQ(ids("ID = 6 OR ((ID = 1 OR ID = 3) AND (SAL > 1000))"), "3,6");
  EXPECT_EQ(ids("((ID) + 1 = 3)"), "2");
  EXPECT_EQ(ids("ID BETWEEN 1 AND 2 OR ID = 5"), "1,2,5");
  EXPECT_EQ(ids("NOT ID BETWEEN 2 AND 5"), "1,6");
}

TEST_F(RowCondition, ComparisonsBetweenInAndLike) {
  add_staff();
  EXPECT_EQ(ids("SAL BETWEEN 1250 AND 2975"), "2,3,4");
  EXPECT_EQ(ids("DEPTNO IN (10, 20)"), "1,5,6");
  EXPECT_EQ(ids("JOB IN ('CLERK', 'MANAGER')"), "1,4");
  EXPECT_EQ(ids("JOB IN ('A%')"), "5");                 // equality, no pattern
  EXPECT_EQ(ids("DEPTNO NOT IN (10, 20)"), "2,3");
  EXPECT_EQ(ids("DEPTNO NOT IN (10, NULL)"), "");
  EXPECT_EQ(ids("DEPTNO IN (10, NULL)"), "5,6");
  EXPECT_EQ(ids("NAME LIKE 'S%'"), "1");
  EXPECT_EQ(ids("NAME LIKE '_A%'"), "3");
  EXPECT_EQ(ids("NAME LIKE '%N%S'"), "4");
  EXPECT_EQ(ids("NAME LIKE '日本_テ%'"), "6");          // one character per multibyte "_"
  EXPECT_EQ(ids("NAME LIKE '日本__テ%'"), "");
  EXPECT_EQ(ids("NAME NOT LIKE '%A%'"), "1,4,6");       // 5 (NULL) unknown
  EXPECT_EQ(ids("JOB LIKE 'A%'"), "5");
  EXPECT_EQ(ids("SAL LIKE '1%'"), "2,3");               // a number by its text
  EXPECT_EQ(ids("DEPTNO = '30'"), "2,3");               // a number text is read as one
  EXPECT_EQ(ids("SAL >= 1600 AND SAL <> 3000"), "2,4");
  EXPECT_EQ(ids("SAL ^= 800 AND SAL < 1600"), "3");
}

TEST_F(RowCondition, ArithmeticFunctionsAndExactNumbers) {
  add_staff();
  EXPECT_EQ(ids("SAL * 12 > 30000"), "4,6");
  EXPECT_EQ(ids("10 - 3 - 2 = ID"), "5");
  EXPECT_EQ(ids("2 * 3 + 4 = ID + 4 * 1"), "6");
  EXPECT_EQ(ids("-SAL < -2000"), "4,6");
  EXPECT_EQ(ids("(ID) - 1 = 0"), "1");
  EXPECT_EQ(ids("SAL / 4 = 200"), "1");
  EXPECT_EQ(ids("SUBSTR(NAME, 1, 2) = 'AL'"), "2");
  EXPECT_EQ(ids("UPPER(LOWER(NAME)) = NAME AND LENGTH(NAME) = 4"), "3");
  EXPECT_EQ(ids("LENGTH(NAME) = 7"), "6");             // characters, not bytes
  EXPECT_EQ(ids("TO_CHAR(HIRED, 'YYYY') = '1981'"), "2,3,4");
  EXPECT_EQ(ids("BIG = 12345678901234567890123"), "1");
  EXPECT_EQ(ids("BIG > 12345678901234567890123"), "2");
  EXPECT_EQ(ids("BIG < 1"), "3,5");
  EXPECT_EQ(ids("BIG = .5"), "5");
  EXPECT_EQ(ids("ID || NAME = '1SMITH'"), "1");
  EXPECT_EQ(ids("TO_NUMBER('0' || ID) = 3"), "3");
}

TEST_F(RowCondition, DatesAndTimestamps) {
  add_staff();
  EXPECT_EQ(ids("HIRED = TO_DATE('1981-02-20', 'YYYY-MM-DD')"), "2");
  EXPECT_EQ(ids("HIRED > TO_DATE('1981/02/20', 'YYYY/MM/DD') AND HIRED < TO_DATE('1981-02-23', 'YYYY-MM-DD')"), "3");
  EXPECT_EQ(ids("HIRED >= TO_DATE('19810222 15:30', 'YYYYMMDD HH24:MI')"), "3,4,5");
  EXPECT_EQ(ids("TS > TO_DATE('1980-12-17 09:00:00', 'YYYY-MM-DD HH24:MI:SS')"), "1,2");  // 500 ns later
  EXPECT_EQ(ids("TS = TO_DATE('1981-02-20', 'YYYY-MM-DD')"), "2");
  EXPECT_EQ(ids("HIRED < '1981/01/01'"), "1");          // a text read in the date format
  EXPECT_EQ(ids("HIRED < SYSDATE"), "1,2,3,4,5");
}

TEST_F(RowCondition, TrailingBlanksCountExceptBetweenFixedLengthTexts) {
  add({num("1"), txt("AB "), {}, {}, {}, {}, {}, {}, {}, {}, txt("AB  ")});
  add({num("2"), txt("AB"), {}, {}, {}, {}, {}, {}, {}, {}, txt("AB")});
  EXPECT_EQ(ids("NAME = 'AB'"), "2");          // VARCHAR2: byte for byte
  EXPECT_EQ(ids("NAME > 'AB'"), "1");
  EXPECT_EQ(ids("CODE = 'AB'"), "1,2");        // CHAR and a literal: blank-padded
  EXPECT_EQ(ids("CODE IN ('X', 'AB ')"), "1,2");
  EXPECT_EQ(ids("CODE = NAME"), "2");
  EXPECT_EQ(ids("RTRIM(NAME) = 'AB'"), "1,2");
}

TEST_F(RowCondition, NamesAndQualifiers) {
  add_staff();
  EXPECT_EQ(ids("EMP.ID = 1 OR emp.id = 2 OR scott.emp.ID = 3"), "1,2,3");
  EXPECT_EQ(ids("\"Mixed\" = 'x'"), "4");
  EXPECT_EQ(ids("U.ID = 1"), "compile 3104");
  EXPECT_TRUE(queued("ID"));
  EXPECT_EQ(ids("MIXED = 'x'"), "4");                   // unquoted: case ignored
  EXPECT_EQ(ids("\"Mixed\" || 'a' = 'xa'"), "4");
  EXPECT_EQ(ids("\"MIXED\" || 'a' = 'xa'"), "compile 3104");  // quoted: exact
  EXPECT_EQ(ids("NOSUCH = 1"), "compile 3104");
  EXPECT_TRUE(queued("NOSUCH"));
  EXPECT_EQ(ids("DOC = 'a'"), "compile 2102");          // a large object holds a stand-in
  EXPECT_EQ(ids("WHERE ID = 1"), "1");
  EXPECT_EQ(ids("  "), "1,2,3,4,5,6");
}

TEST_F(RowCondition, RefusalsBeforeAnyRow) {
  EXPECT_EQ(compile("NOSUCHFN(ID) = 1"), 2110);
  EXPECT_TRUE(queued("NOSUCHFN"));
  EXPECT_EQ(compile("SUBSTR(NAME) = 1"), 2137);
  EXPECT_EQ(compile("SAL > ANY (1, 2)"), 2111);
  EXPECT_TRUE(queued("> ANY"));
  EXPECT_EQ(compile("ID IN (SELECT ID FROM T)"), 2009);
  EXPECT_TRUE(queued("SELECT ID FROM T"));
  EXPECT_EQ(compile("ID = (SELECT MAX(ID) FROM T)"), 2009);
  EXPECT_EQ(compile("EXISTS (SELECT 1 FROM T)"), 2009);
  EXPECT_EQ(compile("ID = 1 +"), 1906);
  EXPECT_EQ(compile("ID = 1 * * 2"), 1906);
  EXPECT_EQ(compile("ID = :X"), 1906);
  EXPECT_EQ(compile("1 1 = ID"), 1907);
  std::string sum = "ID = 0";
  while (sum.size() <= 4100) sum += " + 1";
  EXPECT_EQ(compile(sum), 1903);
  EXPECT_EQ(compile("ID = 1 ORDER BY ID"), 2106);
  EXPECT_TRUE(queued("ZUL-02199"));
  std::string many = "ID = 0";
  for (int i = 1; i < 30; ++i) many += " OR ID = " + std::to_string(i);
  EXPECT_EQ(compile(many), 0);
  EXPECT_EQ(compile(many + " OR ID = 30"), 1905);
  EXPECT_TRUE(queued("\"30\""));
}

TEST_F(RowCondition, EvaluationErrorsAreNotGuesses) {
  add_staff();
  EXPECT_EQ(ids("TO_NUMBER(NAME) = 1"), "error");
  EXPECT_EQ(ids("NAME = 1"), "error");       // a name is no number
  EXPECT_EQ(ids("NAME + 1 = 2"), "error");
  EXPECT_EQ(ids("HIRED = 1"), "error");
  EXPECT_EQ(ids("ID / 0 = 1"), "error");
  // A NULL never reaches the failing function.
  EXPECT_EQ(ids("ID = 5 AND TO_NUMBER(NAME) = 1"), "");
}

TEST_F(RowCondition, QueryChecksAndSelectList) {
  QueryTarget t;
  auto query = [&](std::string_view sql) {
    g.message_count = 0;
    return prepare_query(g, a, sql, t, p, ctx) == 0 ? 0 : first_code();
  };
  EXPECT_EQ(query("SELECT name, e.sal FROM scott.emp e WHERE e.SAL > 1000"), 0);
  EXPECT_EQ(t.table, "emp");
  ASSERT_EQ(t.columns.size(), 2u);
  std::vector<int> pos;
  ASSERT_EQ(resolve_query_columns(g, t, table, pos), 0);
  EXPECT_EQ(pos, (std::vector<int>{1, 2}));
  ASSERT_EQ(bind_cond_program(g, p, ctx, table), 0);
  add_staff();
  int truth = 99;
  ASSERT_EQ(eval_row_condition(g, p, ctx, rows[1], truth), 0);
  EXPECT_EQ(truth, kCondTrue);
  ASSERT_EQ(eval_row_condition(g, p, ctx, rows[0], truth), 0);
  EXPECT_EQ(truth, kCondFalse);
  // A second context evaluates the same program on its own.
  EvalContext other;
  prepare_eval_context(p, other);
  ASSERT_EQ(eval_row_condition(g, p, other, rows[1], truth), 0);
  EXPECT_EQ(truth, kCondTrue);

  EXPECT_EQ(query("SELECT * FROM EMP"), 0);
  EXPECT_TRUE(t.columns.empty());
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(query("SELECT X.* FROM EMP X"), 0);
  EXPECT_EQ(query("SELECT NOPE FROM EMP"), 0);
  EXPECT_NE(resolve_query_columns(g, t, table, pos), 0);
  EXPECT_TRUE(queued("NOPE"));
  EXPECT_EQ(query("SELECT SAL * 2 FROM EMP"), 2009);
  EXPECT_TRUE(queued("ZUL-02199"));
  EXPECT_EQ(query("SELECT DISTINCT JOB FROM EMP"), 2009);
  EXPECT_EQ(query("SELECT * FROM EMP, DEPT"), 2104);
  EXPECT_EQ(query("SELECT * FROM EMP E JOIN DEPT D ON E.DEPTNO = D.DEPTNO"), 2104);
  EXPECT_EQ(query("SELECT * FROM (SELECT * FROM EMP) V"), 2103);
  EXPECT_EQ(query("SELECT JOB FROM EMP GROUP BY JOB"), 2105);
  EXPECT_EQ(query("SELECT * FROM EMP ORDER BY SAL"), 2106);
  EXPECT_EQ(query("SELECT * FROM EMP HAVING COUNT(*) > 1"), 2107);
  EXPECT_EQ(query("SELECT * FROM EMP CONNECT BY PRIOR ID = MGR"), 2108);
  EXPECT_EQ(query("SELECT * FROM EMP UNION SELECT * FROM EMP"), 2009);
  EXPECT_EQ(query("DELETE FROM EMP"), 3);
  EXPECT_EQ(query("SELECT * FROM EMP WHERE U.SAL > 1"), 0);
  EXPECT_EQ(bind_cond_program(g, p, ctx, table), -1);
}

TEST_F(RowCondition, ConditionsOfARunPerTableAndByQuery) {
  add_staff();
  auto kept = [&](RowConditions& rc) {
    std::string out;
    for (const auto& row : rows) {
      bool keep = false;
      EXPECT_EQ(rc.keep(g, row, keep), 0);
      if (keep) out += row[0].text;
    }
    return out;
  };
  o.is_condition = kYes;
  o.where_statement = {{1, 0, "DEPT", "LOC = 'X'", ""}, {1, 0, "EMP", "SAL > 1000 AND DEPTNO = 30", ""}};
  RowConditions per_table;
  ASSERT_EQ(per_table.prepare(g, o), 0);
  EXPECT_FALSE(per_table.has_query());
  ASSERT_EQ(per_table.start_table(g, table), 0);
  EXPECT_TRUE(per_table.active());
  EXPECT_EQ(kept(per_table), "23");
  ASSERT_NE(per_table.table_entry("emp"), nullptr);
  TableDefinition other = table;
  other.table_name = "SALGRADE";
  ASSERT_EQ(per_table.start_table(g, other), 0);
  EXPECT_FALSE(per_table.active());
  EXPECT_EQ(kept(per_table), "123456");
  // A table whose condition names a column it lacks.
  other.table_name = "DEPT";
  EXPECT_EQ(per_table.start_table(g, other), -1);

  o.query = "SELECT NAME FROM EMP WHERE ID IN (2, 4)";
  RowConditions by_query;
  ASSERT_EQ(by_query.prepare(g, o), 0);
  EXPECT_TRUE(by_query.has_query());
  EXPECT_EQ(by_query.query().table, "EMP");
  ASSERT_EQ(by_query.start_table(g, table), 0);
  EXPECT_EQ(kept(by_query), "24");
  o.query = "SELECT NAME FROM EMP WHERE ID IN (SELECT 1 FROM DUAL)";
  g.message_count = 0;
  EXPECT_EQ(by_query.prepare(g, o), -1);
  EXPECT_EQ(first_code(), 2009);
}

TEST_F(RowCondition, RandomTextsAreRefusedWithAMessageOrEvaluated) {
  add_staff();
  // Predicates of random operand words, now and then a stray word.
  const char* operands[] = {"ID", "NAME", "SAL", "HIRED", "1", "'A%'", "NULL", "'日本'", "1.5e3", "\"ID\"", "X.ID",
                            "EMP.SAL", "SUBSTR(NAME, 1, 2)", "(SAL)", "-ID", "ID + 'x'", "NAME || 1"};
  const char* ops[] = {"=", "<>", ">", "<=", "LIKE", "IN", "BETWEEN", "IS", "+", "*", "||"};
  const char* stray[] = {"(", ")", ",", "AND", "OR", "NOT", "SELECT", "/", "-"};
  std::mt19937 rng(99);
  int compiled = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string cond;
    auto word = [&](auto& list) { cond += std::string(list[rng() % std::size(list)]) + " "; };
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      if (rng() % 5 == 0) cond += "NOT ";
      word(operands);
      word(ops);
      word(operands);
      if (rng() % 8 == 0) word(stray);
      if (n > 1) cond += rng() % 2 ? "AND " : "OR ";
    }
    if (compile(cond) != 0) {
      EXPECT_GT(g.message_count, 0) << cond;
      continue;
    }
    ++compiled;
    for (const auto& row : rows) {
      int truth = 99;
      if (eval_row_condition(g, p, ctx, row, truth) == 0) {
        EXPECT_TRUE(truth == kCondTrue || truth == kCondFalse || truth == kCondUnknown) << cond;
      }
    }
  }
  EXPECT_GT(compiled, 300);
}

TEST(LikeMatch, PercentAndUnderscore) {
  EXPECT_TRUE(like_match(kCharsetUtf8, "", "%"));
  EXPECT_TRUE(like_match(kCharsetUtf8, "abc", "a%c"));
  EXPECT_TRUE(like_match(kCharsetUtf8, "abcbc", "%bc"));
  EXPECT_TRUE(like_match(kCharsetUtf8, "aXbYc", "a%b%c"));
  EXPECT_FALSE(like_match(kCharsetUtf8, "abcd", "a%c"));
  EXPECT_TRUE(like_match(kCharsetUtf8, "ab", "__"));
  EXPECT_FALSE(like_match(kCharsetUtf8, "ab", "___"));
  EXPECT_TRUE(like_match(kCharsetUtf8, "日本", "__"));
  EXPECT_TRUE(like_match(kCharsetSjis, "\x93\xfa\x96\x7b", "_\x96\x7b"));  // Shift_JIS 日本
  EXPECT_FALSE(like_match(kCharsetSjis, "\x93\xfa\x96\x7b", "___"));
  // Random texts against a plain recursive matcher.
  std::function<bool(std::string_view, std::string_view)> slow = [&](std::string_view s, std::string_view pat) {
    if (pat.empty()) return s.empty();
    if (pat[0] == '%') return slow(s, pat.substr(1)) || (!s.empty() && slow(s.substr(1), pat));
    if (s.empty()) return false;
    return (pat[0] == '_' || pat[0] == s[0]) && slow(s.substr(1), pat.substr(1));
  };
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::string s, pat;
    for (int n = rng() % 7; n > 0; --n) s += "ab"[rng() % 2];
    for (int n = rng() % 6; n > 0; --n) pat += "ab%_"[rng() % 4];
    EXPECT_EQ(like_match(kCharsetUtf8, s, pat), slow(s, pat)) << s << " LIKE " << pat;
  }
}

// Random conditions over three nullable numbers, compared with a direct
// evaluation of the same tree in three-valued logic.
struct Node {
  enum Kind { kPred, kAnd, kOr, kNot } kind = kPred;
  int column = 0, op = 0, k = 0;
  std::unique_ptr<Node> a, b;
};

int eval_tree(const Node& n, const int* v) {  // 1 true, 0 false, -1 unknown
  switch (n.kind) {
    case Node::kAnd: {
      int x = eval_tree(*n.a, v), y = eval_tree(*n.b, v);
      return (x == 0 || y == 0) ? 0 : (x == 1 && y == 1 ? 1 : -1);
    }
    case Node::kOr: {
      int x = eval_tree(*n.a, v), y = eval_tree(*n.b, v);
      return (x == 1 || y == 1) ? 1 : (x == 0 && y == 0 ? 0 : -1);
    }
    case Node::kNot: {
      int x = eval_tree(*n.a, v);
      return x < 0 ? -1 : 1 - x;
    }
    default: break;
  }
  const int x = v[n.column];
  if (n.op == 4) return x < 0 ? 1 : 0;  // IS NULL
  if (x < 0) return -1;
  switch (n.op) {
    case 0: return x == n.k;
    case 1: return x != n.k;
    case 2: return x < n.k;
    case 3: return x >= n.k;
    case 5: return x >= n.k && x <= n.k + 1;
    default: return x == n.k || x == n.k + 2 ? 1 : -1;  // IN (k, NULL, k + 2)
  }
}

std::unique_ptr<Node> random_tree(std::mt19937& rng, int depth) {
  auto n = std::make_unique<Node>();
  const int pick = depth == 0 ? 0 : static_cast<int>(rng() % 5);
  if (pick <= 1) {
    n->column = static_cast<int>(rng() % 3);
    n->op = static_cast<int>(rng() % 7);
    n->k = static_cast<int>(rng() % 4);
    return n;
  }
  n->kind = pick == 2 ? Node::kAnd : pick == 3 ? Node::kOr : Node::kNot;
  n->a = random_tree(rng, depth - 1);
  if (n->kind != Node::kNot) n->b = random_tree(rng, depth - 1);
  return n;
}

// Parentheses only where precedence needs them, and sometimes more.
std::string print_tree(const Node& n, std::mt19937& rng) {
  auto wrap = [&](const Node& c, bool needed) {
    std::string s = print_tree(c, rng);
    return needed || rng() % 4 == 0 ? "(" + s + ")" : s;
  };
  switch (n.kind) {
    case Node::kAnd: return wrap(*n.a, n.a->kind == Node::kOr) + " AND " + wrap(*n.b, n.b->kind == Node::kOr);
    case Node::kOr: return wrap(*n.a, false) + " OR " + wrap(*n.b, false);
    case Node::kNot: return "NOT " + wrap(*n.a, n.a->kind == Node::kAnd || n.a->kind == Node::kOr);
    default: break;
  }
  const std::string c = std::string(1, static_cast<char>('A' + n.column));
  const std::string k = std::to_string(n.k);
  switch (n.op) {
    case 0: return c + " = " + k;
    case 1: return c + " != " + k;
    case 2: return c + " < " + k;
    case 3: return k + " <= " + c;
    case 4: return c + " IS NULL";
    case 5: return c + " BETWEEN " + k + " AND " + std::to_string(n.k + 1);
    default: return c + " IN (" + k + ", NULL, " + std::to_string(n.k + 2) + ")";
  }
}

TEST_F(RowCondition, RandomConditionsMatchADirectEvaluation) {
  table.columns.clear();
  for (const char* name : {"A", "B", "C"}) {
    ColumnDef c;
    c.name = name;
    c.type = kColNumber;
    table.columns.push_back(c);
  }
  for (int x = -1; x < 4; ++x)
    for (int y = -1; y < 4; ++y)
      for (int z = -1; z < 4; ++z) {
        std::vector<SqlValue> row(3);
        const int v[3] = {x, y, z};
        for (int i = 0; i < 3; ++i)
          if (v[i] >= 0) value_set_number(row[static_cast<std::size_t>(i)], std::to_string(v[i]));
        rows.push_back(std::move(row));
      }
  std::mt19937 rng(2024);
  for (int round = 0; round < 400; ++round) {
    const auto tree = random_tree(rng, 1 + round % 4);
    const std::string cond = print_tree(*tree, rng);
    ASSERT_EQ(compile(cond), 0) << cond;
    for (const auto& row : rows) {
      int v[3];
      for (int i = 0; i < 3; ++i)
        v[i] = row[static_cast<std::size_t>(i)].type == VT_NULL ? -1 : std::stoi(row[static_cast<std::size_t>(i)].text);
      int truth = 99;
      ASSERT_EQ(eval_row_condition(g, p, ctx, row, truth), 0) << cond;
      ASSERT_EQ(truth == kCondTrue, eval_tree(*tree, v) == 1)
          << cond << " on A=" << v[0] << " B=" << v[1] << " C=" << v[2];
    }
  }
}

}  // namespace
}  // namespace qln
