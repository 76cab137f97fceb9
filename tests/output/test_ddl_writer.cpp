#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "output/ddl_writer.hpp"
#include "support/memory_stream.hpp"
#include "values/charset.hpp"

namespace qln {
namespace {

// Captures what the DDL writer sends to g.out_stream.
class DdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g.out_stream = mem_.emplace().get();
    g.db_charset = kCharsetUtf8;
    o.output_mode = kOutDdl;
  }
  std::string out() { return mem_->text(); }

  std::string formatted(std::string_view statement) {
    format_ddl(g, statement);
    return out();
  }

  // One statement, then the text after it fed in pieces of `step` bytes.
  // Returns what ddl_text answered last; `after` receives the bytes it left.
  int run(std::string_view statement, std::string_view text, std::size_t step,
          std::string* after = nullptr) {
    if (ddl_statement(g, o, st, statement) == 0) {
      if (after) *after = std::string(text);
      return 0;
    }
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t n = std::min(step, text.size() - at);
      std::size_t used = 0;
      const auto* p = reinterpret_cast<const unsigned char*>(text.data() + at);
      const int rc = ddl_text(g, o, st, {p, n}, used);
      at += used;
      if (rc != 0) {
        if (after) *after = std::string(text.substr(at));
        return rc;
      }
      EXPECT_EQ(used, n);
    }
    if (after) after->clear();
    return 0;
  }

  GlobalParams g;
  ConvOptions o;
  DdlState st;

 private:
  std::optional<test_support::MemoryStream> mem_;
};

std::string le16(unsigned v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// [length][bytes] pieces ended by a zero length.
std::string pieces(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += le16(static_cast<unsigned>(p.size())) + std::string(p);
  return s + le16(0);
}

TEST_F(DdlTest, TableHeadingOneColumnALine) {
  EXPECT_EQ(formatted("CREATE TABLE \"T\" (\"A\" NUMBER, \"B\" VARCHAR2(10)) PCTFREE 10"),
            "CREATE TABLE \"T\"\n(\n\t\"A\" NUMBER,\n\t\"B\" VARCHAR2(10)\n) \nPCTFREE 10\n");
}

TEST_F(DdlTest, NestedParenthesesStayOnTheColumnLine) {
  EXPECT_EQ(formatted("CREATE TABLE \"T\" (\"P\" NUMBER(10, 2) NOT NULL ENABLE, "
                      "\"Q\" TIMESTAMP (6) DEFAULT SYSTIMESTAMP)"),
            "CREATE TABLE \"T\"\n(\n\t\"P\" NUMBER(10,2) NOT NULL ENABLE,\n"
            "\t\"Q\" TIMESTAMP(6) DEFAULT SYSTIMESTAMP\n) \n");
}

TEST_F(DdlTest, IndexStorageClauseOpensItsOwnBlock) {
  EXPECT_EQ(formatted("CREATE UNIQUE INDEX \"I\" ON \"T\" (\"A\" , \"B\" )  PCTFREE 10 "
                      "STORAGE(INITIAL 65536 NEXT 1048576) TABLESPACE \"USERS\" LOGGING"),
            "CREATE UNIQUE INDEX \"I\" ON \"T\"\n(\n\t\"A\",\n\t\"B\"\n) \n"
            "PCTFREE 10 STORAGE\n(\n\tINITIAL 65536 NEXT 1048576\n) \n"
            "TABLESPACE \"USERS\" LOGGING\n");
}

TEST_F(DdlTest, StarIsWrittenWithoutBlankAndQualifiedNamesStayWhole) {
  EXPECT_EQ(formatted("CREATE VIEW \"V\" AS SELECT * FROM \"S\".\"T\""),
            "CREATE VIEW \"V\" AS SELECT *FROM \"S\".\"T\"\n");
}

TEST_F(DdlTest, AWordTooLongForTheSplitterKeepsTheRestOfTheStatement) {
  const std::string literal = "'" + std::string(5000, 'x') + "'";
  const std::string text = formatted("CREATE TABLE \"T\" (\"A\" VARCHAR2(10) DEFAULT " + literal + ")");
  EXPECT_EQ(text, "CREATE TABLE \"T\"\n(\n\"A\" VARCHAR2(10) DEFAULT " + literal + ")\n");
}

TEST_F(DdlTest, StatementsByKind) {
  o.ddl_kinds = kDdlAll;
  run("CREATE TABLE \"T\" (\"A\" NUMBER)", {}, 1);
  run("CREATE SEQUENCE \"S\" MINVALUE 1", {}, 1);
  run("CREATE SYNONYM \"Y\" FOR \"T\"", {}, 1);
  run("GRANT SELECT ON \"T\" TO \"PUBLIC\"", {}, 1);
  run("REVOKE SELECT ON \"T\" FROM \"X\"", {}, 1);
  run("ALTER TABLE \"T\" MODIFY DEFAULT", {}, 1);
  run("ALTER TABLE \"T\" MODIFY (\"A\" DEFAULT 1)", {}, 1);
  run("CREATE TYPE \"OBJ\" AS OBJECT (A NUMBER)", {}, 1);
  run("CREATE FORMAT71 PROCEDURE \"P\" ", {}, 1);
  run("CREATE LIBRARY \"L\" AS '/lib/x.so'", {}, 1);
  run("TABLE \"T\"", {}, 1);
  EXPECT_EQ(out(),
            "CREATE TABLE \"T\"\n(\n\t\"A\" NUMBER\n) \n;\n\n"
            "CREATE SEQUENCE \"S\" MINVALUE 1\n;\n\n"
            "CREATE SYNONYM \"Y\" FOR \"T\"\n;\n\n"
            "GRANT SELECT ON \"T\" TO \"PUBLIC\"\n;\n\n"
            "REVOKE SELECT ON \"T\" FROM \"X\"\n;\n\n"
            "ALTER TABLE \"T\" MODIFY (\"A\" DEFAULT 1)\n;\n\n"
            "CREATE LIBRARY \"L\" AS '/lib/x.so'\n;\n\n");
}

TEST_F(DdlTest, TableKindAloneLeavesGrantsAlterationsAndConstraintsOut) {
  o.ddl_kinds = kDdlTable;
  run("CREATE TABLE \"T\" (\"A\" NUMBER)", {}, 1);
  run("CREATE UNIQUE INDEX \"I\" ON \"T\" (\"A\" )", {}, 1);
  run("GRANT SELECT ON \"T\" TO \"PUBLIC\"", {}, 1);
  run("ALTER TABLE \"T\" ADD CONSTRAINT \"PK\" PRIMARY KEY (\"A\")", {}, 1);
  std::string after;
  const std::string text = "\xFD\xFF" + pieces({"ALTER TABLE \"T\" ADD", " CHECK (A > 0)"}) + "\nNEXT";
  EXPECT_EQ(run("CALTER TABLE", text, 7, &after), 1);
  EXPECT_EQ(after, "\nNEXT");  // the constraint's bytes were taken all the same
  EXPECT_EQ(out(), "CREATE TABLE \"T\"\n(\n\t\"A\" NUMBER\n) \n;\n\n");
}

TEST_F(DdlTest, GlobalTemporaryTableCountsAsIndexKind) {
  o.ddl_kinds = kDdlTable;
  run("CREATE GLOBAL TEMPORARY TABLE \"G\" (\"A\" NUMBER)", {}, 1);
  EXPECT_EQ(out(), "");
  o.ddl_kinds = kDdlIndex;
  run("CREATE GLOBAL TEMPORARY TABLE \"G\" (\"A\" NUMBER)", {}, 1);
  EXPECT_EQ(out(), "CREATE GLOBAL TEMPORARY TABLE \"G\"\n(\n\t\"A\" NUMBER\n) \n;\n\n");
}

// The constraint bytes as a 12c export writes them (ADDRESS_USAGES of the
// real demo dump).
TEST_F(DdlTest, ConstraintTextJoinsItsPieces) {
  const std::string text = "\xFD\xFF" +
                           pieces({"ALTER TABLE \"ADDRESS_USAGES\" ADD",
                                   " CONSTRAINT \"ADDRESS_USAGES_CHK_EXPIRED\"", " CHECK (",
                                   "EXPIRED_FLAG in ('Y','N')", ")", " ENABLE NOVALIDATE"}) +
                           "\nANALSTATS";
  for (std::size_t step : {std::size_t{1}, std::size_t{3}, text.size()}) {
    DdlTest::TearDown();
    DdlTest::SetUp();
    std::string after;
    ASSERT_EQ(run("CALTER TABLE", text, step, &after), 1) << step;
    EXPECT_EQ(after, "\nANALSTATS");
    EXPECT_EQ(out(),
              "ALTER TABLE \"ADDRESS_USAGES\" ADD CONSTRAINT \"ADDRESS_USAGES_CHK_EXPIRED\" "
              "CHECK (EXPIRED_FLAG in ('Y','N')) ENABLE NOVALIDATE\n;\n\n")
        << step;
  }
}

TEST_F(DdlTest, ConstraintPieceOfMoreThan255Bytes) {
  const std::string cond = "A IN (" + std::string(300, '1') + ")";
  const std::string text = "\xFD\xFF" + pieces({"ALTER TABLE \"T\" ADD", " CHECK (", cond, ")"});
  ASSERT_EQ(run("CALTER TABLE", text, 64), 1);
  EXPECT_EQ(out(), "ALTER TABLE \"T\" ADD CHECK (" + cond + ")\n;\n\n");
}

// A stored procedure: the statement scanner stopped inside the length of
// the piece after "CREATE ", so the statement is "CREATE " and its low byte.
std::string procedure_statement(std::string_view first_line) {
  return "CREATE " + std::string(1, static_cast<char>(first_line.size()));
}

TEST_F(DdlTest, ProcedureWrittenFromItsProcedureLine) {
  const std::string l1 = "PROCEDURE update_stats (\n";
  const std::string l2 = "    n IN NUMBER) AS\n";
  const std::string l3 = "BEGIN NULL;\n";
  const std::string l4 = "END;\n";
  const std::string text = l1 + le16(static_cast<unsigned>(l2.size())) + l2 +
                           le16(static_cast<unsigned>(l3.size())) + l3 +
                           le16(static_cast<unsigned>(l4.size())) + l4 + le16(0) + "\nALTER";
  o.ddl_kinds = kDdlProcedure;
  std::string after;
  ASSERT_EQ(run(procedure_statement(l1), text, 5, &after), 1);
  EXPECT_EQ(after, "\nALTER");
  EXPECT_EQ(out(), "PROCEDURE update_stats (\n    n IN NUMBER) AS\nBEGIN NULL;\nEND;\n\n\n");
}

TEST_F(DdlTest, PackageOnlyWithItsOwnKind) {
  const std::string l1 = "package body p is\n";
  const std::string l2 = "END;\n";
  const std::string text = l1 + le16(static_cast<unsigned>(l2.size())) + l2 + le16(0);
  o.ddl_kinds = kDdlProcedure | kDdlFunction | kDdlView;
  ASSERT_EQ(run(procedure_statement(l1), text, 100), 1);
  EXPECT_EQ(out(), "");
  o.ddl_kinds = kDdlPackage;
  ASSERT_EQ(run(procedure_statement(l1), text, 100), 1);
  EXPECT_EQ(out(), "package body p is\nEND;\n\n\n");
}

TEST_F(DdlTest, TriggerSourceIsReadOverButNotWritten) {
  const std::string l1 = "TRIGGER T1 BEFORE INSERT ON T\n";
  const std::string text = l1 + le16(4) + "END;" + le16(0) + "\nNEXT";
  std::string after;
  ASSERT_EQ(run(procedure_statement(l1), text, 3, &after), 1);
  EXPECT_EQ(after, "\nNEXT");
  EXPECT_EQ(out(), "");
}

TEST_F(DdlTest, SourceLineLongerThan255Bytes) {
  const std::string l1 = "FUNCTION f RETURN NUMBER IS\n";
  const std::string l2 = "  x VARCHAR2(400) := '" + std::string(300, 'y') + "';\n";
  const std::string text = l1 + le16(static_cast<unsigned>(l2.size())) + l2 + le16(0);
  o.ddl_kinds = kDdlFunction;
  ASSERT_EQ(run(procedure_statement(l1), text, 1), 1);
  EXPECT_EQ(out(), l1 + l2 + "\n\n");
}

TEST_F(DdlTest, FirstPieceOfTenBytesEndsTheStatementAtItsLength) {
  // The low byte 0x0A is a line feed: the statement is "CREATE " alone and
  // the high byte comes first in the text.
  const std::string l1 = "PACKAGE p\n";
  const std::string text = std::string(1, '\0') + l1 + le16(5) + "END;\n" + le16(0);
  o.ddl_kinds = kDdlPackage;
  ASSERT_EQ(run("CREATE ", text, 2), 1);
  EXPECT_EQ(out(), "PACKAGE p\nEND;\n\n\n");
}

TEST_F(DdlTest, ViewHeadingThenItsText) {
  const std::string query = "SELECT A, B\nFROM T";
  const std::string text = pieces({query}) + "\nMETRICEU";
  std::string after;
  ASSERT_EQ(run("CREATE VIEW \"V\" (\"A\",\"B\") AS ", text, 4, &after), 1);
  EXPECT_EQ(after, "\nMETRICEU");
  EXPECT_EQ(out(), "CREATE VIEW \"V\"\n(\n\t\"A\",\n\t\"B\"\n) \nAS\nSELECT A, B\nFROM T\n;\n\n");
}

TEST_F(DdlTest, ViewInSeveralPiecesAndWithoutItsKind) {
  const std::string text = pieces({"SELECT A ", "FROM T"});
  ASSERT_EQ(run("CREATE VIEW \"V\" AS ", text, 100), 1);
  EXPECT_EQ(out(), "CREATE VIEW \"V\" AS\nSELECT A FROM T\n;\n\n");
  DdlTest::TearDown();
  DdlTest::SetUp();
  o.ddl_kinds = kDdlTable;
  ASSERT_EQ(run("CREATE VIEW \"V\" AS ", text, 100), 1);
  EXPECT_EQ(out(), "");
}

TEST_F(DdlTest, SourceWithoutKnownFramingFollowsTheByteRules) {
  // Each line feed is followed by a length byte (dropped) and a NUL (passed
  // over); two NUL bytes end the text.
  const std::string text = std::string("FUNCTION f RETURN NUMBER IS\n") + "\x0A" + '\0' +
                           "BEGIN RETURN 1; END;\n" + '\0' + '\0' + "\nNEXT";
  o.ddl_kinds = kDdlFunction;
  std::string after;
  ASSERT_EQ(run("CREATE OR REPLACE ", text, 2, &after), 1);
  EXPECT_EQ(after, "\nNEXT");
  EXPECT_EQ(out(), "FUNCTION f RETURN NUMBER IS\nBEGIN RETURN 1; END;\n\n\n");
}

TEST_F(DdlTest, LineLongerThanTheWordLimitIsMessage3109) {
  g.maxp.buffer_long_len = 64;
  const std::string line(100, 'z');
  const std::string text = pieces({"SELECT ", line});
  EXPECT_EQ(run("CREATE VIEW \"V\" AS ", text, 1000), -1);
  ASSERT_GE(g.message_count, 1);
  EXPECT_NE(g.messages[0].find("03109"), std::string::npos);
  EXPECT_NE(g.messages[0].find("word"), std::string::npos);
}

TEST_F(DdlTest, DataEndingInsideAViewWritesWhatWasRead) {
  const std::string text = le16(30) + "SELECT A\nFROM";
  EXPECT_EQ(run("CREATE VIEW \"V\" AS ", text, 100), 0);
  ddl_text_end(g, st);
  EXPECT_EQ(out(), "CREATE VIEW \"V\" AS\nSELECT A\nFROM\n");
  EXPECT_EQ(st.text, DdlState::Text::kNone);
}

// A Windows-1252 database: headings, plain statements, stored and
// constraint texts all come out in the output set; Japanese sets are
// written as the dump holds them.
TEST_F(DdlTest, SingleByteDatabaseTextInTheOutputSet) {
  g.db_charset = single_byte_set_from_oracle_id(178);
  o.out_charset = kCharsetUtf8;
  ASSERT_EQ(run("CREATE TABLE \"CAF\xC9\" (\"N\xBA\" NUMBER)", {}, 1), 0);
  ASSERT_EQ(run("GRANT SELECT ON \"CAF\xC9\" TO \"PUBLIC\"", {}, 1), 0);
  EXPECT_EQ(out(),
            "CREATE TABLE \"CAF\xC3\x89\"\n(\n\t\"N\xC2\xBA\" NUMBER\n) \n;\n\n"
            "GRANT SELECT ON \"CAF\xC3\x89\" TO \"PUBLIC\"\n;\n\n");

  DdlTest::TearDown();
  DdlTest::SetUp();
  g.db_charset = single_byte_set_from_oracle_id(178);
  o.out_charset = kCharsetSjis;
  const std::string view = pieces({"SELECT '\x80' E\nFROM T"});
  ASSERT_EQ(run("CREATE VIEW \"V\xE9\" AS ", view, 3), 1);
  const std::string check = "\xFD\xFF" + pieces({"ALTER TABLE \"T\" ADD CHECK (A <> '\xBF')"});
  ASSERT_EQ(run("CALTER TABLE", check, 5), 1);
  EXPECT_EQ(out(), "CREATE VIEW \"V?\" AS\nSELECT '?' E\nFROM T\n;\n\n"
                   "ALTER TABLE \"T\" ADD CHECK (A <> '?')\n;\n\n");

  DdlTest::TearDown();
  DdlTest::SetUp();
  g.db_charset = kCharsetSjis;
  o.out_charset = kCharsetUtf8;
  ASSERT_EQ(run("GRANT SELECT ON \"\x82\xA0\" TO \"PUBLIC\"", {}, 1), 0);
  EXPECT_EQ(out(), "GRANT SELECT ON \"\x82\xA0\" TO \"PUBLIC\"\n;\n\n");
}

}  // namespace
}  // namespace qln
