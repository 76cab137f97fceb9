// The outputs checked against their rules, through the program as a user
// runs it, on dumps of our own writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_test_support.hpp"
#include "dumpwriter/dump_writer.hpp"

namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;
using testing_cli::Outcome;
using testing_cli::read_file;
using testing_cli::run_cli;
using testing_cli::TempDir;

class OutputRules : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;

  Outcome run(const std::string& args, int seconds = 60) { return run_cli(dir, args, seconds); }

  // A dump of one table with the given rows.
  std::string dump(const dw::TableSpec& table, const std::vector<std::vector<Cell>>& rows,
                   dw::DumpOptions options = {}) {
    const std::string path = dir.file(table.name + ".dmp");
    dw::DumpWriter w(path, options);
    w.begin_table(table);
    for (const auto& row : rows) w.add_row(row);
    w.end_table();
    w.finish();
    return path;
  }
};

dw::TableSpec table(const std::string& name, std::vector<dw::ColumnSpec> columns) {
  dw::TableSpec t;
  t.name = name;
  t.columns = std::move(columns);
  return t;
}

TEST_F(OutputRules, TimestampsKeepTheirDeclaredPrecision) {
  const Cell ts = Cell::text("2011-12-31 23:59:59.123456789");
  const std::string f = dump(table("TS", {{"T9", "TIMESTAMP(9)"}, {"T0", "TIMESTAMP(0)"}, {"T3", "TIMESTAMP (3)"},
                                          {"T6", "TIMESTAMP"}}),
                             {{ts, ts, ts, ts}});
  Outcome o = run("FILE=" + f + " BOM=N");
  EXPECT_EQ(o.out, "2011/12/31 23:59:59.123456789,2011/12/31 23:59:59,2011/12/31 23:59:59.123,"
                   "2011/12/31 23:59:59.123456\n")
      << o.err;
  o = run("FILE=" + f + " MODE=INSERT");
  EXPECT_NE(o.out.find("TO_TIMESTAMP('2011/12/31 23:59:59.123456789','YYYY/MM/DD HH24:MI:SS.FF9'),"
                       "TO_DATE('2011/12/31 23:59:59','YYYY/MM/DD HH24:MI:SS'),"
                       "TO_TIMESTAMP('2011/12/31 23:59:59.123','YYYY/MM/DD HH24:MI:SS.FF3'),"
                       "TO_TIMESTAMP('2011/12/31 23:59:59.123456','YYYY/MM/DD HH24:MI:SS.FF6')"),
            std::string::npos)
      << o.out;
  o = run("FILE=" + f + " LIST=Y TABLE=TS");
  EXPECT_NE(o.out.find(" T9" + std::string(29, ' ') + "TIMESTAMP(9)\n"), std::string::npos) << o.out;
}

// Only printable ASCII and whole characters of the dump's set reach the CSV.
TEST_F(OutputRules, RawAsciiShowsOnlyWholePrintableCharacters) {
  const dw::TableSpec t = table("R", {{"R", "RAW(8)"}, {"ID", "ROWID"}});
  std::string f = dump(t, {{Cell::bytes("\xcd\xef"), Cell::bytes(std::string("\xec\x01\x00", 3))},
                           {Cell::bytes("A\xe3\x81\x82Z"), Cell::bytes("x\x7f\xe3\x81")}});
  Outcome o = run("FILE=" + f + " RAW_FORMAT=ASCII BOM=N");
  EXPECT_EQ(o.out, "..,...\nA\xe3\x81\x82Z,x...\n") << o.err;
  dw::DumpOptions sjis;
  sjis.db_charset_id = 832;
  f = dump(t, {{Cell::bytes("\x82\xa0\x82\x20"), Cell::bytes("\x81")}}, sjis);
  o = run("FILE=" + f + " RAW_FORMAT=ASCII BOM=N");
  EXPECT_EQ(o.out, "\xe3\x81\x82. ,.\n") << o.err;
}

TEST_F(OutputRules, ViewStatementsEndLikeEveryOther) {
  const std::string f = dir.file("v.dmp");
  {
    dw::DumpWriter w(f);
    w.begin_table(table("EMP", {{"ID", "NUMBER"}}));
    w.end_table();
    w.add_view({"EMP_V", {"ID"}, "SELECT ID FROM EMP"});
    w.finish();
  }
  const Outcome o = run("FILE=" + f + " MODE=DDL 'DDL=VIEW|TABLE'");
  const std::string view = "\n;\n\nCREATE VIEW \"EMP_V\"\n(\n\t\"ID\"\n) \nAS\nSELECT ID FROM EMP\n;\n\n";
  ASSERT_GT(o.out.size(), view.size()) << o.err;
  EXPECT_EQ(o.out.substr(o.out.size() - view.size()), view);
}

// Also what the writer stores for the CLOB of a multibyte database: the
// text reads back as it was written.
TEST_F(OutputRules, LobFilesOfAPatternWithoutColumnAreNamedByTheFirstColumn) {
  const std::string body = "日本語の本文, text";
  const std::string f = dump(table("DOCS", {{"ID", "NUMBER"}, {"BODY", "CLOB"}}),
                             {{Cell::number("1"), Cell::text(body)}, {Cell::number("3"), Cell::text("three")}});
  fs::create_directories(dir.file("out"));
  const Outcome o = run("FILE=" + f + " LOB_TARGET=DOCS.BODY LOB_DIR=out LOB_FILE=clob.txt");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.file("out"))) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(test_support::read_file(dir.file("out/1")), body);
  EXPECT_EQ(test_support::read_file(dir.file("out/3")), "three");
}

TEST_F(OutputRules, TrimRemovesBlanksAtBothEnds) {
  const std::string f = dump(table("T", {{"A", "VARCHAR2(10)"}, {"B", "CHAR(4)"}}),
                             {{Cell::text("  x y  "), Cell::text(" z")}});
  EXPECT_EQ(run("FILE=" + f + " BOM=N").out, "  x y  , z  \n");
  EXPECT_EQ(run("FILE=" + f + " BOM=N TRIM=Y").out, "x y,z\n");
  EXPECT_EQ(run("FILE=" + f + " BOM=N TRIM=Y QUOTE=Y").out, "\"x y\",\"z\"\n");
}

// Every field that holds the delimiter is quoted, so the line splits back.
TEST_F(OutputRules, NumbersHoldingTheDelimiterAreQuoted) {
  const std::string f = dump(table("N", {{"A", "NUMBER"}, {"B", "VARCHAR2(10)"}, {"C", "NUMBER(7,2)"}}),
                             {{Cell::number("10"), Cell::text("NORTH"), Cell::number("100.5")},
                              {Cell::number("-7"), Cell::text("a-b"), Cell::number("-0.25")}});
  EXPECT_EQ(run("FILE=" + f + " BOM=N DELIMITER=.").out, "10.NORTH.\"100.50\"\n-7.a-b.\"-.25\"\n");
  EXPECT_EQ(run("FILE=" + f + " BOM=N DELIMITER=-").out, "10-NORTH-100.50\n\"-7\"-\"a-b\"-\"-.25\"\n");
  EXPECT_EQ(run("FILE=" + f + " BOM=N DELIMITER=0").out, "\"10\"0NORTH0\"100.50\"\n-70a-b0-.25\n");
}

TEST_F(OutputRules, DescriptionPadsNamesByDisplayWidth) {
  const std::string f = dump(table("D", {{"部署名", "VARCHAR2(10)", true}, {"ID", "NUMBER"}}), {});
  const Outcome o = run("FILE=" + f + " LIST=Y TABLE=D");
  EXPECT_NE(o.out.find("\n 部署名" + std::string(25, ' ') + "VARCHAR2(10)      NOT NULL"), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("\n ID" + std::string(29, ' ') + "NUMBER\n"), std::string::npos) << o.out;
}

TEST_F(OutputRules, DebugLogHoldsTheOptionsAndTheHeaderBlock) {
  const std::string f = dump(table("T", {{"A", "NUMBER"}}), {{Cell::number("1")}});
  const Outcome o = run("FILE=" + f + " DEBUG=Y BOM=N");
  EXPECT_EQ(o.out, "1\n") << o.err;
  const std::string log = read_file(dir.file("QLNdebug.log"));
  for (const char* line : {"GLOBAL parameters >>>", "maxp.col_num        = 1000", "XCV options >>>",
                           "exp_fname           = |" , "XCV options <<<", "read_dmp() start ---",
                           "header block >>>", "\n00000000  03 ", "\n00001FF0  ", "header block <<<"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log.substr(0, 2000);
  EXPECT_EQ(log.find("\n00002000  "), std::string::npos);  // the first 8192 bytes only
}

TEST_F(OutputRules, DateFormatElementsAfterTheSecondsAreFormatted) {
  const Cell when = Cell::text("2011-12-31 23:59:59.5");
  const std::string f = dump(table("W", {{"D", "DATE"}, {"T", "TIMESTAMP(3)"}}), {{when, when}});
  EXPECT_EQ(run("FILE=" + f + " BOM=N 'DATE_FORMAT=YYYY/MM/DD HH24:MI:SS DAY'").out,
            "2011/12/31 23:59:59 Sat,2011/12/31 23:59:59.500 Sat\n");
  EXPECT_EQ(run("FILE=" + f + " BOM=N DATE_FORMAT=HH24:MI:SS.FF2").out, "23:59:59.00,23:59:59.50\n");
}

// Input without end never makes the program wait or grow.
TEST_F(OutputRules, EndlessInputIsRefused) {
  if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero here";
  Outcome o = run("PARFILE=/dev/zero", 10);
  EXPECT_EQ(o.exit_code, 255);
  EXPECT_EQ(o.err, "ZUL-00005: 引数が長すぎます。処理を中断します。\n\n");
  o = run("FILE=/dev/zero PROPERTY=Y", 10);
  EXPECT_EQ(o.exit_code, 255);
  EXPECT_EQ(o.err, "ZUL-03100: dumpファイルオープンエラー(\"/dev/zero\")。処理を中断します。\n\n");
}

TEST_F(OutputRules, QuotesProtectCommentCharactersInParameterFiles) {
  const std::string f = dump(table("T", {{"A", "VARCHAR2(10)"}}), {{Cell::text("x")}});
  dir.write("p.par", "FILE=" + f + "  # the dump\nOUT_FILE=\"a#b;c.csv\" ; where it goes\nBOM=N\n");
  const Outcome o = run("PARFILE=p.par");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("a#b;c.csv")), "x\n");
}

// Each table of a batch is converted on its own: its limit and its file.
TEST_F(OutputRules, CsvBatchAppliesMaxRecordAndGrepToEveryTableInItsOwnFile) {
  const std::string f = dir.file("two.dmp");
  {
    dw::DumpWriter w(f);
    for (const char* name : {"A", "B"}) {
      w.begin_table(table(name, {{"N", "NUMBER"}, {"S", "VARCHAR2(10)"}}));
      for (int i = 1; i <= 3; ++i) w.add_row({Cell::number(std::to_string(i)), Cell::text(i == 2 ? "x" : "y")});
      w.end_table();
    }
    w.begin_table(table("E", {{"N", "NUMBER"}, {"S", "VARCHAR2(10)"}}));
    w.end_table();
    w.finish();
  }
  // An empty table's file: the byte-order mark, then the header line.
  Outcome o = run("FILE=" + f + " MODE=CSV_BATCH HEADER=Y");
  EXPECT_EQ(read_file(dir.file("E.csv")), "\xEF\xBB\xBFN,S\n");
  o = run("FILE=" + f + " MODE=CSV_BATCH MAX_RECORD=2 BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("A.csv")), "1,y\n2,x\n");
  EXPECT_EQ(read_file(dir.file("B.csv")), "1,y\n2,x\n");
  o = run("FILE=" + f + " MODE=CSV_BATCH GREP=x BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(read_file(dir.file("A.csv")), "2,x\n");
  EXPECT_EQ(read_file(dir.file("B.csv")), "2,x\n");
  // A search over every table into one output: the limit is per table too.
  o = run("FILE=" + f + " GREP=y MAX_RECORD=1 BOM=N");
  EXPECT_EQ(o.out, "【A】\n1,y\n【B】\n1,y\n【E】\n") << o.err;
}

}  // namespace
}  // namespace qln
