// The real Data Pump dump of the SCOTT schema (expdp 12.1).
#include <gtest/gtest.h>

#include <filesystem>

#include "datapump_test_support.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

using namespace test_support;

const std::string kScott = std::string(QLN_DUMPS_DIR) + "/scott.dmp";

class DataPumpScott : public ::testing::Test {
 protected:
  void SetUp() override {
    QLN_SKIP_WITHOUT_REAL_DUMP(kScott);
    g.db_charset = kCharsetUtf8;
    ASSERT_EQ(dump.open(g, {kScott}), 0);
  }
  std::vector<std::string> rows_of(std::string_view owner, std::string_view name) {
    const DataPumpTableEntry* t = find_table(dump, owner, name);
    EXPECT_NE(t, nullptr) << name;
    if (t == nullptr) return {};
    RowTexts texts(g, t->table);
    std::int64_t n = 0;
    EXPECT_EQ(dump.read_rows(g, table_index(dump, t), texts, n), 0);
    EXPECT_EQ(n, static_cast<std::int64_t>(texts.lines.size()));
    return texts.lines;
  }
  GlobalParams g;
  DataPumpDump dump;
};

TEST_F(DataPumpScott, HeaderSegmentsAndTables) {
  EXPECT_EQ(dump.header().format, 4);
  EXPECT_EQ(dump.header().charset_id, 873);
  EXPECT_EQ(dump.header().charset_name, "AL32UTF8");
  EXPECT_EQ(dump.header().version_text, "12.01.00.02.00");
  EXPECT_EQ(dump.header().master_owner, "SYS");
  EXPECT_EQ(dump.header().master_name, "SYS_EXPORT_SCHEMA_01");
  EXPECT_TRUE(dump.master_found());
  EXPECT_TRUE(dump.damage().empty());
  EXPECT_EQ(dump.segments().size(), 5u);
  std::vector<std::string> names;
  for (const auto& t : dump.tables())
    names.push_back(t.owner + "." + t.name + ":" + std::to_string(t.master_rows) + (t.described ? "" : "?"));
  // The master table is no table of the dump; BONUS is empty, so only the
  // master table names and describes it.
  EXPECT_EQ(names, (std::vector<std::string>{"SYS.IMPDP_STATS:-1", "SCOTT.DEPT:4", "SCOTT.EMP:14",
                                             "SCOTT.SALGRADE:5", "SCOTT.BONUS:0"}));
  EXPECT_EQ(create_table_statement(find_table(dump, "SCOTT", "BONUS")->table),
            "CREATE TABLE \"SCOTT\".\"BONUS\" (\"ENAME\" VARCHAR2(10 BYTE), \"JOB\" VARCHAR2(9 BYTE), "
            "\"SAL\" NUMBER, \"COMM\" NUMBER)");
}

TEST_F(DataPumpScott, DescribesEmpWithItsTypes) {
  const DataPumpTableEntry* emp = find_table(dump, "SCOTT", "EMP");
  ASSERT_NE(emp, nullptr);
  std::string cols;
  for (const ColumnDef& c : emp->table.definition.columns) cols += c.name + " " + c.type_text + (c.nullable ? "," : " NN,");
  EXPECT_EQ(cols, "EMPNO NUMBER(4) NN,ENAME VARCHAR2(10),JOB VARCHAR2(9),MGR NUMBER(4),HIREDATE DATE,"
                  "SAL NUMBER(7.2),COMM NUMBER(7.2),DEPTNO NUMBER(2),");
  EXPECT_EQ(create_table_statement(emp->table),
            "CREATE TABLE \"SCOTT\".\"EMP\" (\"EMPNO\" NUMBER(4,0) NOT NULL ENABLE, \"ENAME\" VARCHAR2(10 BYTE), "
            "\"JOB\" VARCHAR2(9 BYTE), \"MGR\" NUMBER(4,0), \"HIREDATE\" DATE, \"SAL\" NUMBER(7,2), "
            "\"COMM\" NUMBER(7,2), \"DEPTNO\" NUMBER(2,0))");
  const DataPumpTableEntry* stats = find_table(dump, "SYS", "IMPDP_STATS");
  ASSERT_NE(stats, nullptr);
  EXPECT_EQ(stats->table.definition.columns[24].type_text, "TIMESTAMP(6) WITH TIME ZONE");
  EXPECT_EQ(stats->table.definition.columns[29].type_text, "CLOB");
}

TEST_F(DataPumpScott, RowsHoldTheDemoValues) {
  EXPECT_EQ(rows_of("SCOTT", "DEPT"),
            (std::vector<std::string>{"10|ACCOUNTING|NEW YORK", "20|RESEARCH|DALLAS", "30|SALES|CHICAGO",
                                      "40|OPERATIONS|BOSTON"}));
  std::vector<std::string> emp = rows_of("SCOTT", "EMP");
  ASSERT_EQ(emp.size(), 14u);
  EXPECT_EQ(emp.front(), "7369|SMITH|CLERK|7902|1980/12/17 00:00:00|800||20");
  EXPECT_EQ(emp[1], "7499|ALLEN|SALESMAN|7698|1981/02/20 00:00:00|1600|300|30");
  EXPECT_EQ(emp[8], "7839|KING|PRESIDENT||1981/11/17 00:00:00|5000||10");
  EXPECT_EQ(emp[9], "7844|TURNER|SALESMAN|7698|1981/09/08 00:00:00|1500|0|30");
  EXPECT_EQ(emp.back(), "7934|MILLER|CLERK|7782|1982/01/23 00:00:00|1300||10");
  EXPECT_EQ(rows_of("SCOTT", "SALGRADE"),
            (std::vector<std::string>{"1|700|1200", "2|1201|1400", "3|1401|2000", "4|2001|3000", "5|3001|9999"}));
  // Rows with their large object in a piece of its own, and rows without it.
  std::vector<std::string> stats = rows_of("SYS", "IMPDP_STATS");
  EXPECT_EQ(stats.size(), 24u);
  std::int64_t n = 0;
  RowTexts none(g, find_table(dump, "SCOTT", "BONUS")->table);
  EXPECT_EQ(dump.read_rows(g, table_index(dump, find_table(dump, "SCOTT", "BONUS")), none, n), 0);
  EXPECT_EQ(n, 0);
}

}  // namespace
}  // namespace qln
