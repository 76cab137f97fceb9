#include <gtest/gtest.h>

#include <string>

#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "dump/create_table_parser.hpp"

namespace qln {
namespace {

TEST(CreateTableParser, ReadsTypesLengthsAndTheRest) {
  GlobalParams g;
  TableDefinition t;
  ASSERT_EQ(parse_create_table(
                g,
                "CREATE TABLE \"T\" (\"A\" NUMBER(15, 0) NOT NULL ENABLE, \"B\" VARCHAR2(40 BYTE), "
                "\"C\" TIMESTAMP (6) WITH TIME ZONE, \"D\" CHAR(2) DEFAULT 'x,y' NOT NULL ENABLE, "
                "\"E\" NUMBER, \"F\" LONG RAW, \"G\" INTERVAL DAY (2) TO SECOND (6), "
                "\"H\" \"MDSYS\".\"SDO_GEOMETRY\" , \"I\" CLOB, \"J\" FLOAT(126), \"K\" NUMBER(9, 2), "
                "CONSTRAINT \"T_PK\" PRIMARY KEY (\"A\", \"B\") ENABLE, \"L\" DATE)  PCTFREE 10 "
                "TABLESPACE \"USERS\" LOB (\"I\") STORE AS BASICFILE (ENABLE STORAGE IN ROW)",
                t),
            0);
  EXPECT_EQ(t.table_name, "T");
  ASSERT_EQ(t.columns.size(), 12u);
  const auto& c = t.columns;
  EXPECT_EQ(c[0].type, kColNumber);
  EXPECT_EQ(c[0].precision, 15);
  EXPECT_EQ(c[0].type_text, "NUMBER(15)");
  EXPECT_EQ(c[0].rest, "NOT NULL ENABLE");
  EXPECT_FALSE(c[0].nullable);
  EXPECT_EQ(c[1].type_text, "VARCHAR2(40)");
  EXPECT_TRUE(c[1].nullable);
  EXPECT_EQ(c[2].type, kColTimestampTz);
  EXPECT_EQ(c[2].precision, 6);
  EXPECT_EQ(c[2].rest, "");
  EXPECT_EQ(c[3].type_text, "CHAR(2)");
  EXPECT_EQ(c[3].rest, "DEFAULT 'x,y' NOT NULL ENABLE");
  EXPECT_EQ(c[4].type_text, "NUMBER");
  EXPECT_EQ(c[5].type, kColLongRaw);
  EXPECT_EQ(c[6].type, kColIntervalDs);
  EXPECT_EQ(c[6].rest, "");
  EXPECT_EQ(c[7].name, "H");
  EXPECT_EQ(c[7].type, kColOther);
  EXPECT_EQ(c[8].type, kColClob);
  EXPECT_EQ(c[9].type_text, "FLOAT(126)");
  EXPECT_EQ(c[10].type_text, "NUMBER(9.2)");
  EXPECT_EQ(c[11].name, "L");
  EXPECT_EQ(t.lob_count, 2);  // the CLOB and the object type
}

TEST(CreateTableParser, RefusesBrokenTextAndTooManyColumns) {
  GlobalParams g;
  TableDefinition t;
  EXPECT_EQ(parse_create_table(g, "CREATE TABLE \"T\" (\"A\" NUMBER, \"B\" ", t), -1);
  EXPECT_GT(g.message_count, 0);

  std::string many = "CREATE TABLE \"W\" (";
  for (int i = 0; i < 1001; ++i) many += (i ? ", \"C" : "\"C") + std::to_string(i) + "\" NUMBER";
  many += ")";
  GlobalParams g2;
  EXPECT_EQ(parse_create_table(g2, many, t), -1);
  EXPECT_NE(g2.messages[0].find("02139"), std::string::npos);

  GlobalParams g3;
  EXPECT_EQ(parse_create_table(g3, "CREATE TABLE \"" + std::string(129, 'N') + "\" (\"A\" DATE)", t), -1);

  // Sizes no Oracle column has are damage: padding numbers to a scale of
  // millions once took a gigabyte for a 25 KB dump.
  for (const char* type : {"NUMBER(15,88888888)", "NUMBER(5,-85)", "CHAR(2001)", "VARCHAR2(40000)"}) {
    GlobalParams gs;
    EXPECT_EQ(parse_create_table(gs, std::string("CREATE TABLE \"S\" (\"A\" ") + type + ")", t), -1) << type;
    EXPECT_NE(gs.messages[0].find("02215"), std::string::npos) << type;
  }
  GlobalParams g5;
  EXPECT_EQ(parse_create_table(g5, "CREATE TABLE \"S\" (\"A\" NUMBER(38,127), \"B\" CHAR(2000), \"C\" FLOAT(126))", t), 0);

  // An object table has no column list: no columns, no failure.
  GlobalParams g4;
  EXPECT_EQ(parse_create_table(g4, "CREATE TABLE \"O\" OF \"PERSON_T\"", t), 0);
  EXPECT_TRUE(t.columns.empty());
}

TEST(CreateIndexParser, TakesOnlyIndexesOfTheTable) {
  IndexDef ix;
  EXPECT_EQ(parse_create_index("CREATE UNIQUE INDEX \"EMP_PK\" ON \"EMP\" (\"EMPNO\" , \"ENAME\" DESC )  PCTFREE 10",
                               "EMP", ix),
            1);
  EXPECT_EQ(ix.name, "EMP_PK");
  EXPECT_EQ(ix.columns, (std::vector<std::string>{"EMPNO", "ENAME"}));
  EXPECT_EQ(parse_create_index("CREATE INDEX \"D_IX\" ON \"DEPT\" (\"DEPTNO\" )", "EMP", ix), 0);
}

}  // namespace
}  // namespace qln
