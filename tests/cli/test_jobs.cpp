#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/jobs.hpp"
#include "core/platform.hpp"
#include "values/charset.hpp"
#include "cli_test_support.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;
using testing_cli::Outcome;
using testing_cli::read_file;
using testing_cli::run_cli;
using testing_cli::split_lines;
using testing_cli::TempDir;

std::size_t count_lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

// Runs the built program in a folder of its own, as a user would.
class JobsProcess : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;
  const std::string real = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

  Outcome run(const std::string& args) { return run_cli(dir, args); }

  // The .csv files the program left in its folder.
  std::vector<std::string> csv_files() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path().extension() == ".csv") v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
};

#define NEED_REAL_DUMP() \
  QLN_SKIP_WITHOUT_REAL_DUMP(real)

struct TableCount {
  const char* name;
  std::size_t rows;
};

constexpr TableCount kAlphaOffice[] = {
    {"ADDRESSES", 119},           {"ADDRESS_USAGES", 25},       {"ALPHA_SERVICES_STATS", 33},
    {"COUNTRY_CODES", 244},       {"COUPON_USAGES", 3},         {"CUSTOMERS", 16},
    {"CUSTOMER_IDENTIFICATIONS", 6}, {"CUSTOMER_INTERESTS", 6}, {"DISCOUNTS", 7},
    {"LOOKUP_CODES", 56},         {"ORDERS", 3},                {"ORDER_ITEMS", 4},
    {"PAYMENT_OPTIONS", 7},       {"PRODUCTS", 57},             {"PRODUCT_CATEGORIES", 20},
    {"PRODUCT_IMAGES", 0},        {"PRODUCT_STOCK_LEVELS", 26}, {"SALES_ORDER_HEADER", 21456},
    {"SALES_ORDER_LINE_ITEM", 21456}};

// ---- the real dump --------------------------------------------------------

TEST_F(JobsProcess, ListingShowsTheNineteenTablesOfAUserExport) {
  NEED_REAL_DUMP();
  const Outcome o = run("FILE=" + real + " LIST=Y");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  std::string expected = "TABLE_NAME\n------------------------------\n";
  for (const TableCount& t : kAlphaOffice) expected += std::string(t.name) + "\n";
  EXPECT_EQ(o.out, expected);
  EXPECT_EQ(o.err, "");
}

TEST_F(JobsProcess, DescriptionShowsColumnsThenIndexes) {
  NEED_REAL_DUMP();
  const Outcome o = run("FILE=" + real + " LIST=Y TABLE=addresses");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::vector<std::string> lines = split_lines(o.out);
  ASSERT_EQ(lines.size(), 2u + 14u + 1u + 2u + 1u) << o.out;
  EXPECT_EQ(lines[0], " カラム                        型");
  EXPECT_EQ(lines[1], "------------------------------ -----------------");
  EXPECT_EQ(lines[2], " ADDRESS_ID                     NUMBER(15)        NOT NULL ENABLE");
  EXPECT_EQ(lines[4], " ADDRESS2                       VARCHAR2(40)");
  EXPECT_EQ(lines[9], " LONGITUDE                      NUMBER");
  EXPECT_EQ(lines[12], " CREATION_DATE                  DATE              NOT NULL ENABLE");
  EXPECT_EQ(lines[16], "");
  EXPECT_EQ(lines[17], "     索引名                         項目名");
  EXPECT_EQ(lines[18], "     ------------------------------ ------------------------------");
  EXPECT_EQ(lines[19], "     ADDRESSES_PK                   ADDRESS_ID");
}

TEST_F(JobsProcess, DescriptionOfAMissingTableIs3103AndFails) {
  NEED_REAL_DUMP();
  const std::string kept = dir.write("kept.txt", "before");
  const Outcome o = run("FILE=" + real + " LIST=Y TABLE=NOSUCH OUT_FILE=" + kept);
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("ZUL-03103: 指定されたテーブル(\"NOSUCH\")がdumpファイルから見つかりません。"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(read_file(kept), "before");  // named, never opened: left alone
}

TEST_F(JobsProcess, EveryTableConvertsWithItsRowCount) {
  NEED_REAL_DUMP();
  std::size_t total = 0;
  for (const TableCount& t : kAlphaOffice) {
    const std::string out = dir.file(std::string(t.name) + ".out");
    const Outcome o = run("FILE=" + real + " TABLE=" + t.name + " BOM=N OUT_FILE=" + out);
    EXPECT_EQ(o.exit_code, 0) << t.name << ": " << o.err;
    EXPECT_EQ(o.out, "");
    const std::size_t rows = count_lines(read_file(out));
    EXPECT_EQ(rows, t.rows) << t.name;
    total += rows;
  }
  EXPECT_EQ(total, 43544u);
}

TEST_F(JobsProcess, FirstTableAndItsValuesWithoutATableName) {
  NEED_REAL_DUMP();
  const Outcome o = run("FILE=" + real + " BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(count_lines(o.out), 119u);
  EXPECT_EQ(o.out.rfind("101,1717 Harrison St,,San Francisco,94103,CA,US,-122.413349,37.769262,", 0), 0u)
      << o.out.substr(0, 120);

  const Outcome stats = run("FILE=" + real + " TABLE=ALPHA_SERVICES_STATS BOM=N MAX_RECORD=1 HEADER=Y");
  EXPECT_EQ(stats.exit_code, 0) << stats.err;
  const std::vector<std::string> lines = split_lines(stats.out);
  ASSERT_EQ(lines.size(), 2u) << stats.out;
  EXPECT_NE(lines[0].find("UPDATE_TIMESTAMP"), std::string::npos);
  EXPECT_NE(lines[1].find(",2014/01/15 09:26:22.466"), std::string::npos) << lines[1];
}

TEST_F(JobsProcess, CsvBatchWritesOneFilePerTableIntoTheCurrentFolder) {
  NEED_REAL_DUMP();
  const Outcome o = run("FILE=" + real + " MODE=CSV_BATCH BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, "");
  std::vector<std::string> expected;
  for (const TableCount& t : kAlphaOffice) expected.push_back(std::string(t.name) + ".csv");
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(csv_files(), expected);
  std::size_t total = 0;
  for (const TableCount& t : kAlphaOffice) {
    const std::size_t rows = count_lines(read_file(dir.file(std::string(t.name) + ".csv")));
    EXPECT_EQ(rows, t.rows) << t.name;
    total += rows;
  }
  EXPECT_EQ(total, 43544u);
}

TEST_F(JobsProcess, DdlWritesEveryTableAndDdlTableOnlyTables) {
  NEED_REAL_DUMP();
  const std::string all_path = dir.file("all.sql");
  const Outcome all = run("FILE=" + real + " MODE=DDL OUT_FILE=" + all_path);
  EXPECT_EQ(all.exit_code, 0) << all.err;
  const std::string ddl = read_file(all_path);
  std::size_t tables = 0, statements = 0;
  for (const std::string& line : split_lines(ddl)) {
    if (line.rfind("CREATE TABLE ", 0) == 0) ++tables;
    if (line == ";") ++statements;
  }
  EXPECT_EQ(tables, 19u);
  EXPECT_GT(statements, 19u);  // indexes, sequences, constraints too
  EXPECT_NE(ddl.find("CREATE TABLE \"ADDRESSES\""), std::string::npos);
  EXPECT_NE(ddl.find("CREATE UNIQUE INDEX \"ADDRESSES_PK\""), std::string::npos);
  EXPECT_NE(ddl.find("ALTER TABLE \"ADDRESSES\" ADD  CONSTRAINT \"ADDRESSES_PK\" PRIMARY KEY"), std::string::npos);
  EXPECT_EQ(ddl.substr(ddl.size() - 3), ";\n\n");  // each statement ends with ";" and an empty line

  const Outcome only = run("FILE=" + real + " MODE=DDL DDL=TABLE");
  EXPECT_EQ(only.exit_code, 0) << only.err;
  tables = statements = 0;
  for (const std::string& line : split_lines(only.out)) {
    if (line.rfind("CREATE TABLE ", 0) == 0) ++tables;
    if (line == ";") ++statements;
    EXPECT_EQ(line.find("ALTER TABLE"), std::string::npos) << line;
    EXPECT_EQ(line.find("CREATE SEQUENCE"), std::string::npos) << line;
    EXPECT_EQ(line.find("INDEX"), std::string::npos) << line;
  }
  EXPECT_EQ(tables, 19u);
  EXPECT_EQ(statements, 19u);
  EXPECT_EQ(read_file(all_path), ddl);  // the second run named no OUT_FILE
}

// Conditions are not evaluated by these jobs: they are refused, never dropped.
// A table file that cannot be created stops the run at once (exit code -1),
// with its message and without the files written before it.
TEST_F(JobsProcess, CsvBatchFileThatCannotBeCreatedStopsTheRun) {
  NEED_REAL_DUMP();
  fs::create_directories(dir.file("ADDRESS_USAGES.csv"));
  const Outcome o = run("FILE=" + real + " MODE=CSV_BATCH");
  EXPECT_EQ(o.exit_code, 255);
  EXPECT_NE(o.err.find("ZUL-01060: ファイル(\"ADDRESS_USAGES.csv\")をオープンできません。"), std::string::npos)
      << o.err;
  EXPECT_FALSE(fs::exists(dir.file("ADDRESSES.csv")));
  EXPECT_TRUE(fs::is_directory(dir.file("ADDRESS_USAGES.csv")));
}

TEST_F(JobsProcess, OutFileThatCannotBeOpenedFailsTheJob) {
  NEED_REAL_DUMP();
  const std::string out = dir.file("no/such/folder/out.csv");
  const Outcome o = run("FILE=" + real + " TABLE=ORDERS OUT_FILE=" + out);
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("ZUL-01060"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

// Output that could not be written is a failure, not a shorter success.
TEST_F(JobsProcess, StandardOutputThatCannotBeWrittenFailsTheJob) {
  NEED_REAL_DUMP();
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  for (const char* job : {"TABLE=ORDERS", "LIST=Y", "LIST=Y TABLE=ORDERS", "MODE=DDL"}) {
    const std::string err = dir.file("err.txt");
    const std::string command =
        "'" + std::string(QLN_CLI_PATH) + "' FILE=" + real + " " + job + " >/dev/full 2>'" + err + "'";
    const int status = test_support::run_command(command);
    ASSERT_TRUE(WIFEXITED(status)) << job;
    EXPECT_EQ(WEXITSTATUS(status), 1) << job;
    EXPECT_NE(read_file(err).find("ZUL-03119"), std::string::npos) << job << ": " << read_file(err);
  }
}

// ---- dumps written for the test ---------------------------------------------

dw::TableSpec emp_table(const std::string& name = "EMP") {
  dw::TableSpec t;
  t.name = name;
  t.columns = {{"EMPNO", "NUMBER(4, 0)", true}, {"ENAME", "VARCHAR2(10)"}, {"HIRED", "DATE"},
               {"SAL", "NUMBER(7, 2)"}};
  return t;
}

void add_emp_rows(dw::DumpWriter& w, int n) {
  for (int i = 1; i <= n; ++i)
    w.add_row({Cell::number(std::to_string(i)), Cell::text("N" + std::to_string(i)),
               Cell::text("2011-12-31 23:59:59"), i % 3 == 0 ? Cell::null() : Cell::number("12.5")});
}

// Messages, help, properties and listing labels follow the user's locale:
// Japanese for "ja" (in the locale's own code set, installed or not),
// English for anything else.
TEST_F(JobsProcess, TextsFollowTheUsersLocale) {
  const std::string dump = dir.file("emp.dmp");
  {
    dw::DumpWriter w(dump);
    dw::TableSpec t = emp_table();
    t.indexes = {{"EMP_NAME", {"ENAME"}}};
    w.begin_table(t);
    add_emp_rows(w, 2);
    w.end_table();
    w.finish();
  }
  for (const char* lang : {"en_US.UTF-8", "C.UTF-8", "C"}) {
    testing_cli::ScopedLocale locale(lang);
    const std::string none = run("").err;
    EXPECT_EQ(none.substr(none.find("ZUL")), "ZUL-00004: No arguments were given. Processing is aborted.\n\n");
    EXPECT_EQ(run("FILE=" + dump + " MAX_RECORD=x").err,
              "ZUL-00003: Invalid argument (\"MAX_RECORD\"). Processing is aborted.\n\n") << lang;
    const std::string props = run("FILE=" + dump + " PROPERTY=Y").out;
    EXPECT_EQ(props.substr(0, props.find('\n')), "File type           Export") << lang;
    EXPECT_NE(props.find("\nExport mode         User\nOracle version      "), std::string::npos) << props;
    const std::string described = run("FILE=" + dump + " LIST=Y TABLE=EMP").out;
    EXPECT_EQ(described.substr(0, described.find('\n')), " COLUMN                        TYPE");
    EXPECT_NE(described.find("\n     INDEX_NAME                    COLUMN_NAME\n"), std::string::npos) << described;
    EXPECT_EQ(run("FILE=" + dump + " PREVIEW=Y BOM=N").out.substr(0, 6), "[EMP]\n");
    const std::string all = props + described + run("--help").out + run("FILE=" + dump + " TABLE=NONE").err;
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](char c) { return (c & 0x80) == 0; })) << lang << all;
  }
#ifdef _WIN32
  const char* const japanese[] = {"ja_JP.UTF-8"};  // the code page, not the name, gives the set
#else
  const char* const japanese[] = {"ja_JP.UTF-8", "ja_JP.SJIS", "ja_JP.eucJP"};
#endif
  for (const char* lang : japanese) {
    testing_cli::ScopedLocale locale(lang);
    const int cs = charset_from_codeset(codeset_of_locale(lang));
    const auto in_set = [cs](std::string_view utf8) { return utf8_to_os_charset(cs, utf8); };
    EXPECT_EQ(run("FILE=" + dump + " MAX_RECORD=x").err,
              in_set("ZUL-00003: 引数が不正です(\"MAX_RECORD\")。処理を中断します。\n\n")) << lang;
    const std::string props = run("FILE=" + dump + " PROPERTY=Y").out;
    EXPECT_EQ(props.substr(0, props.find('\n')), in_set("ファイル種別        エクスポート")) << lang;
    EXPECT_NE(run("--help").out.find(in_set("GREP        検索文字列\n")), std::string::npos) << lang;
    EXPECT_EQ(run("FILE=" + dump + " PREVIEW=Y BOM=N OUT_CHARSET=UTF8").out.substr(0, 10), "【EMP】\n") << lang;
  }
}

TEST_F(JobsProcess, InsertStatementsForAWrittenDump) {
  const std::string dump = dir.file("emp.dmp");
  {
    dw::DumpWriter w(dump);
    w.begin_table(emp_table());
    w.add_row({Cell::number("7369"), Cell::text("O'Hara"), Cell::text("1980-12-17 08:30:00"),
               Cell::number("800")});
    w.add_row({Cell::number("7499"), Cell::null(), Cell::null(), Cell::null()});
    w.end_table();
    w.finish();
  }
  const Outcome o = run("FILE=" + dump + " MODE=INSERT BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::vector<std::string> lines = split_lines(o.out);
  ASSERT_EQ(lines.size(), 3u) << o.out;
  EXPECT_EQ(lines[0],
            "INSERT INTO EMP (EMPNO,ENAME,HIRED,SAL) VALUES "
            "(7369,'O''Hara',TO_DATE('1980/12/17 08:30:00','YYYY/MM/DD HH24:MI:SS'),800.0);");
  EXPECT_EQ(lines[1], "INSERT INTO EMP (EMPNO,ENAME,HIRED,SAL) VALUES (7499,NULL,NULL,NULL);");
  EXPECT_EQ(lines[2], "COMMIT;");

  const Outcome pg = run("FILE=" + dump + " MODE=INSERT DBMS=POSTGRESQL BOM=N");
  EXPECT_EQ(pg.exit_code, 0) << pg.err;
  EXPECT_EQ(split_lines(pg.out).front(), "BEGIN;");
  EXPECT_EQ(count_lines(pg.out), 4u);

  // SQL clients refuse a script that starts with a byte-order mark; CSV of
  // the same UTF-8 dump keeps it.
  EXPECT_EQ(run("FILE=" + dump + " MODE=INSERT").out.substr(0, 12), "INSERT INTO ");
  EXPECT_EQ(run("FILE=" + dump + " MODE=INSERT OUT_FILE=emp.sql").exit_code, 0);
  EXPECT_EQ(read_file(dir.file("emp.sql")).substr(0, 12), "INSERT INTO ");
  EXPECT_EQ(run("FILE=" + dump).out.substr(0, 3), "\xEF\xBB\xBF");
}

// LONG and LONG RAW values of any length reach INSERT whole, conventional
// and direct path, a long value last in its row or between others; CSV
// shows what RAW_LENGTH asks of them; one over the statement bound is NULL
// with its column named, never cut.
TEST_F(JobsProcess, LongValuesReachInsertWhole) {
  std::string text;
  for (int i = 0; text.size() < 100000; ++i) text += "row " + std::to_string(i) + " 'q' \\\n";
  text.resize(100000);
  std::string bytes(70001, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  std::string hex;
  for (unsigned char b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  auto quoted = [](std::string t) {
    for (std::size_t at = 0; (at = t.find('\'', at)) != std::string::npos; at += 2) t.insert(at, 1, '\'');
    return "'" + t + "'";
  };
  for (bool direct : {false, true}) {
    const std::string dump = dir.file(direct ? "d.dmp" : "c.dmp");
    {
      dw::DumpOptions opt;
      opt.direct_path = direct;
      opt.long_chunk = 3000;
      dw::DumpWriter w(dump, opt);
      dw::TableSpec t;
      t.name = "NOTES";
      t.columns = {{"ID", "NUMBER(6, 0)"}, {"TAIL", "VARCHAR2(9)"}, {"BODY", "LONG"}};
      w.begin_table(t);
      w.add_row({Cell::number("1"), Cell::text("a"), Cell::text(text)});
      w.add_row({Cell::number("2"), Cell::null(), Cell::text("short")});
      w.add_row({Cell::number("3"), Cell::text("c"), Cell::null()});
      w.end_table();
      t.name = "IMAGES";
      t.columns = {{"ID", "NUMBER(6, 0)"}, {"DATA", "LONG RAW"}, {"NAME", "VARCHAR2(9)"}};
      w.begin_table(t);
      w.add_row({Cell::number("1"), Cell::bytes(bytes), Cell::text("after")});
      w.add_row({Cell::number("2"), Cell::bytes(std::string(17u << 20, 'x')), Cell::text("big")});
      w.end_table();
      w.finish();
    }
    // Compared whole: a failure prints no 100 KB of text.
    const Outcome notes = run("FILE=" + dump + " TABLE=NOTES MODE=INSERT DBMS=POSTGRESQL");
    EXPECT_EQ(notes.exit_code, 0) << notes.err;
    EXPECT_TRUE(notes.out == "BEGIN;\nINSERT INTO NOTES (ID,TAIL,BODY) VALUES (1,'a'," + quoted(text) + ");\n"
                             "INSERT INTO NOTES (ID,TAIL,BODY) VALUES (2,NULL,'short');\n"
                             "INSERT INTO NOTES (ID,TAIL,BODY) VALUES (3,'c',NULL);\nCOMMIT;\n") << direct;
    const Outcome images = run("FILE=" + dump + " TABLE=IMAGES MODE=INSERT DBMS=MYSQL");
    EXPECT_EQ(images.exit_code, 0) << images.err;
    EXPECT_NE(images.err.find("ZUL-03128"), std::string::npos) << images.err;
    EXPECT_NE(images.err.find("IMAGES.DATA"), std::string::npos) << images.err;
    EXPECT_TRUE(images.out == "START TRANSACTION;\nINSERT INTO IMAGES (ID,DATA,NAME) VALUES (1,X'" + hex +
                                  "','after');\nINSERT INTO IMAGES (ID,DATA,NAME) VALUES (2,NULL,'big');\nCOMMIT;\n")
        << direct;
    std::string shown = text.substr(0, 999);
    std::replace(shown.begin(), shown.end(), '\n', '.');
    const Outcome csv = run("FILE=" + dump + " TABLE=NOTES RAW_FORMAT=ASCII RAW_LENGTH=999 BOM=N");
    EXPECT_EQ(split_lines(csv.out).at(0), "1,a," + shown);
  }
}

// Oracle takes 2,000 bytes in one HEXTORAW literal: a longer binary value
// makes its row a PL/SQL block that builds it from such pieces; a LONG RAW
// longer than a PL/SQL variable holds is NULL, said; other rows stay plain.
// DB2 joins long values from pieces its constants take.
TEST_F(JobsProcess, LongLiteralsArePiecedWhereTheDialectLimitsThem) {
  auto hex_of = [](std::size_t n, char b) {
    std::string h;
    for (std::size_t i = 0; i < n; ++i) h += "0123456789abcdef"[static_cast<unsigned char>(b) >> 4],
                                        h += "0123456789abcdef"[b & 15];
    return h;
  };
  const std::string dump = dir.file("bin.dmp");
  {
    dw::DumpWriter w(dump);
    dw::TableSpec t;
    t.name = "IMAGES";
    t.columns = {{"ID", "NUMBER(6, 0)"}, {"DATA", "LONG RAW"}, {"NAME", "VARCHAR2(9)"}};
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::bytes(std::string(32761, '\x5a')), Cell::text("over")});
    w.add_row({Cell::number("2"), Cell::bytes(std::string(4001, '\xa5')), Cell::text("mid")});
    w.end_table();
    t.name = "DOCS";
    t.columns = {{"ID", "NUMBER(6, 0)"}, {"B", "BLOB"}};
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::bytes(std::string(5000, '\x01'))});
    w.add_row({Cell::number("2"), Cell::bytes(std::string(2000, '\x02'))});
    w.end_table();
    t.name = "LOGS";
    t.columns = {{"ID", "NUMBER(6, 0)"}, {"C", "CLOB"}, {"B", "BLOB"}};
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::text(std::string(40000, 'c')), Cell::bytes(std::string(20000, '\x03'))});
    w.end_table();
    w.finish();
  }
  // DB2 takes 32,672 bytes in a string constant, as many hex digits in a binary one.
  const Outcome db2 = run("FILE=" + dump + " TABLE=LOGS MODE=INSERT DBMS=DB2");
  EXPECT_EQ(db2.exit_code, 0) << db2.err;
  EXPECT_TRUE(db2.out == "INSERT INTO LOGS (ID,C,B) VALUES (1,CLOB('" + std::string(16336, 'c') + "')||CLOB('" +
                             std::string(16336, 'c') + "')||CLOB('" + std::string(7328, 'c') + "'),BLOB(X'" +
                             hex_of(16336, 3) + "')||BLOB(X'" + hex_of(3664, 3) + "'));\nCOMMIT;\n")
      << db2.out.substr(0, 300);
  const Outcome images = run("FILE=" + dump + " TABLE=IMAGES MODE=INSERT");
  EXPECT_EQ(images.exit_code, 0) << images.err;
  EXPECT_NE(images.err.find("ZUL-03128"), std::string::npos) << images.err;
  EXPECT_NE(images.err.find("IMAGES.DATA > 32760 bytes"), std::string::npos) << images.err;
  const std::string piece = "HEXTORAW('" + hex_of(2000, '\xa5') + "')";
  EXPECT_TRUE(images.out ==
              "INSERT INTO IMAGES (ID,DATA,NAME) VALUES (1,NULL,'over');\n"
              "DECLARE\n  qln_v1 RAW(32767);\nBEGIN\n  qln_v1 := " + piece + ";\n"
              "  qln_v1 := UTL_RAW.CONCAT(qln_v1, " + piece + ");\n  qln_v1 := UTL_RAW.CONCAT(qln_v1, HEXTORAW('a5'));\n"
              "  INSERT INTO IMAGES (ID,DATA,NAME) VALUES (2,qln_v1,'mid');\nEND;\n/\nCOMMIT;\n")
      << images.out.substr(0, 600);
  const Outcome docs = run("FILE=" + dump + " TABLE=DOCS MODE=INSERT");
  EXPECT_EQ(docs.exit_code, 0) << docs.err;
  const std::string put = "  DBMS_LOB.WRITEAPPEND(qln_v1, ";
  EXPECT_TRUE(docs.out ==
              "DECLARE\n  qln_v1 BLOB;\nBEGIN\n  DBMS_LOB.CREATETEMPORARY(qln_v1, TRUE);\n" +
              put + "2000, HEXTORAW('" + hex_of(2000, 1) + "'));\n" + put + "2000, HEXTORAW('" + hex_of(2000, 1) +
              "'));\n" + put + "1000, HEXTORAW('" + hex_of(1000, 1) + "'));\n"
              "  INSERT INTO DOCS (ID,B) VALUES (1,qln_v1);\n  DBMS_LOB.FREETEMPORARY(qln_v1);\nEND;\n/\n"
              "INSERT INTO DOCS (ID,B) VALUES (2,HEXTORAW('" + hex_of(2000, 2) + "'));\nCOMMIT;\n")
      << docs.out.substr(0, 600);
}

// Progress and the closing summary go to standard error when it is a
// terminal or PROGRESS=Y; otherwise standard error stays as it was.
TEST_F(JobsProcess, ProgressAndSummaryOnlyWhenAsked) {
  const std::string dump = dir.file("emp.dmp");
  {
    dw::DumpWriter w(dump);
    w.begin_table(emp_table());
    add_emp_rows(w, 40000);
    w.end_table();
    w.begin_table(emp_table("DEPT"));
    add_emp_rows(w, 3);
    w.end_table();
    w.finish();
  }
  testing_cli::ScopedLocale english("en_US.UTF-8");
  const Outcome shown = run("FILE=" + dump + " PROGRESS=Y OUT_FILE=emp.csv");
  EXPECT_EQ(shown.exit_code, 0) << shown.err;
  const std::string summary = "EMP                                 40000 rows  emp.csv\n";
  ASSERT_GE(shown.err.size(), summary.size());
  EXPECT_EQ(shown.err.substr(shown.err.size() - summary.size()), summary);
  // A line drawn during the read is cleared before the summary.
  if (shown.err.size() > summary.size()) {
    EXPECT_EQ(shown.err[shown.err.size() - summary.size() - 1], '\r');
  }

  const Outcome batch = run("FILE=" + dump + " PROGRESS=Y MODE=CSV_BATCH");
  EXPECT_NE(batch.err.find("EMP                                 40000 rows  EMP.csv\n"
                           "DEPT                                    3 rows  DEPT.csv\n"),
            std::string::npos) << batch.err;
  for (const char* quiet : {" PROGRESS=N", ""}) {
    const Outcome o = run("FILE=" + dump + " OUT_FILE=emp.csv" + quiet);
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_EQ(o.err, "") << quiet;
    EXPECT_EQ(count_lines(read_file(dir.file("emp.csv"))), 40000u);
  }
}

// A COLUMN entry that names no column of the converted table is refused,
// with nothing written; runs over every table leave such names out.
TEST_F(JobsProcess, ColumnNamingNoColumnIs3104) {
  const std::string dump = dir.file("emp.dmp");
  {
    dw::DumpWriter w(dump);
    w.begin_table(emp_table());
    add_emp_rows(w, 3);
    w.end_table();
    w.begin_table(emp_table("DEPT"));
    add_emp_rows(w, 1);
    w.end_table();
    w.finish();
  }
  for (const char* list : {"-NOPE", "ENAME,NOPE", "NOPE"}) {
    const Outcome o = run("FILE=" + dump + " TABLE=EMP COLUMN=" + list + " OUT_FILE=out.csv");
    EXPECT_EQ(o.exit_code, 1) << list;
    EXPECT_EQ(o.err, "ZUL-03104: 指定されたカラム(\"NOPE\")が存在しません。\n\n") << list;
    EXPECT_FALSE(fs::exists(dir.file("out.csv"))) << list;
  }
  const Outcome ok = run("FILE=" + dump + " TABLE=EMP COLUMN=-sal,-hired BOM=N");
  EXPECT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_EQ(ok.out.substr(0, ok.out.find('\n')), "1,N1");
  const Outcome batch = run("FILE=" + dump + " MODE=CSV_BATCH COLUMN=-NOPE,-SAL BOM=N");
  EXPECT_EQ(batch.exit_code, 0) << batch.err;
  EXPECT_EQ(read_file(dir.file("DEPT.csv")), "1,N1,2011/12/31 23:59:59\n");
}

TEST_F(JobsProcess, OptionsReachTheConversion) {
  const std::string dump = dir.file("emp.dmp");
  {
    dw::DumpWriter w(dump);
    w.begin_table(emp_table());
    add_emp_rows(w, 10);
    w.end_table();
    w.finish();
  }
  Outcome o = run("FILE=" + dump + " TABLE=EMP HEADER=Y DELIMITER=TAB MAX_RECORD=3 BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(split_lines(o.out),
            (std::vector<std::string>{"EMPNO\tENAME\tHIRED\tSAL", "1\tN1\t2011/12/31 23:59:59\t12.50",
                                      "2\tN2\t2011/12/31 23:59:59\t12.50", "3\tN3\t2011/12/31 23:59:59\t"}))
      << o.out;

  o = run("FILE=" + dump + " COLUMN=ENAME GREP=N1 BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("N1\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("N10\n"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("N2\n"), std::string::npos) << o.out;

  o = run("FILE=" + dump + " TABLE=EMP");
  EXPECT_EQ(o.out.rfind("\xEF\xBB\xBF" "1,N1,", 0), 0u);  // UTF-8 output starts with a BOM
}

TEST_F(JobsProcess, TwoVolumesReadAsOneDump) {
  dw::DumpOptions opt;
  opt.volume_size = 16384;
  std::vector<std::string> volumes;
  {
    dw::DumpWriter w(std::vector<std::string>{dir.file("v1.dmp"), dir.file("v2.dmp"), dir.file("v3.dmp")}, opt);
    w.begin_table(emp_table());
    add_emp_rows(w, 600);
    w.end_table();
    volumes = w.finish().volumes;
  }
  ASSERT_GE(volumes.size(), 2u);
  std::string list;
  for (const std::string& v : volumes) list += (list.empty() ? "" : ",") + v;
  const Outcome o = run("FILE=" + list + " BOM=N");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(count_lines(o.out), 600u);
  EXPECT_NE(o.out.find("600,N600,"), std::string::npos);
}

// A full-database export lists owners; 128-byte names are listed and
// described whole, and still leave a blank before the next field.
TEST_F(JobsProcess, LongNamesInListingAndDescription) {
  const std::string long_table(128, 'T');
  const std::string long_column(128, 'C');
  const std::string dump = dir.file("full.dmp");
  {
    dw::DumpOptions opt;
    opt.mode = dw::ExportMode::full;
    dw::DumpWriter w(dump, opt);
    dw::TableSpec a = emp_table();
    a.owner = "SCOTT";
    a.indexes = {{"EMP_IX", {"EMPNO", "ENAME"}, false}};
    w.begin_table(a);
    add_emp_rows(w, 2);
    w.end_table();
    dw::TableSpec b;
    b.owner = "HR";
    b.name = long_table;
    b.columns = {{long_column, "VARCHAR2(5)"}, {"ID", "NUMBER", true}};
    w.begin_table(b);
    w.add_row({Cell::text("x"), Cell::number("1")});
    w.end_table();
    w.finish();
  }
  Outcome o = run("FILE=" + dump + " LIST=Y");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out,
            "OWNER                          TABLE_NAME\n"
            "------------------------------ ------------------------------\n"
            "SCOTT                          EMP                           \n"
            "HR                             " + long_table + "\n");

  o = run("FILE=" + dump + " LIST=Y TABLE=" + long_table);
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::vector<std::string> lines = split_lines(o.out);
  ASSERT_GE(lines.size(), 4u) << o.out;
  EXPECT_EQ(lines[2], " " + long_column + " VARCHAR2(5)");
  EXPECT_EQ(lines[3], " ID                             NUMBER            NOT NULL ENABLE");

  o = run("FILE=" + dump + " LIST=Y TABLE=EMP");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::vector<std::string> emp = split_lines(o.out);
  ASSERT_GE(emp.size(), 2u);
  EXPECT_EQ(emp[emp.size() - 2], "     EMP_IX                         EMPNO");
  EXPECT_EQ(emp[emp.size() - 1], "                                    ENAME");
}

TEST_F(JobsProcess, ColumnFilesForALargeObjectTarget) {
  const std::string dump = dir.file("docs.dmp");
  {
    dw::DumpWriter w(dump);
    dw::TableSpec other;
    other.name = "OTHER";
    other.columns = {{"X", "NUMBER"}, {"PIC", "BLOB"}};
    w.begin_table(other);
    w.add_row({Cell::number("5"), Cell::bytes("other table")});
    w.end_table();
    dw::TableSpec t;
    t.name = "DOCS";
    t.columns = {{"PIC", "BLOB"}, {"ID", "NUMBER"}, {"NAME", "VARCHAR2(20)"}, {"LAST", "BLOB"}};
    w.begin_table(t);
    w.add_row({Cell::bytes(std::string("p1\0\xFF", 4)), Cell::number("1"), Cell::text("a"), Cell::bytes("last1")});
    w.add_row({Cell::null(), Cell::number("2"), Cell::text("b"), Cell::null()});
    w.add_row({Cell::bytes("p3"), Cell::number("3"), Cell::text("c"), Cell::bytes(std::string(70000, 'z'))});
    w.end_table();
    dw::TableSpec empty;
    empty.name = "NO_ROWS";
    empty.columns = {{"ID", "NUMBER"}, {"IMAGE", "BLOB"}};
    w.begin_table(empty);
    w.end_table();
    w.finish();
  }
  // A folder that is not there has its own message, before anything is read.
  Outcome missing = run("FILE=" + dump + " LOB_TARGET=DOCS.LAST LOB_DIR=" + dir.file("lobs"));
  EXPECT_EQ(missing.exit_code, 1);
#ifdef _WIN32
  const std::string separator = "\\";
#else
  const std::string separator = "/";
#endif
  EXPECT_EQ(missing.err, "ZUL-03142: バイナリファイル出力フォルダ(\"" + dir.file("lobs") + separator +
                             "\")が存在しません。処理を中断します。\n\n");
  fs::create_directories(dir.file("lobs"));
  // A table without rows has the column but nothing to write: no files, no failure.
  Outcome none = run("FILE=" + dump + " LOB_TARGET=NO_ROWS.IMAGE LOB_DIR=" + dir.file("lobs"));
  EXPECT_EQ(none.exit_code, 0) << none.err;
  EXPECT_EQ(none.err, "");
  EXPECT_TRUE(fs::is_empty(dir.file("lobs")));
  // No TABLE: the target's table is the one converted, not the first one.
  Outcome o = run("FILE=" + dump + " LOB_TARGET=DOCS.LAST LOB_DIR=" + dir.file("lobs") + " LOB_FILE=r%ID%.dat");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(test_support::read_file(dir.file("lobs/r1.dat")), "last1");
  EXPECT_FALSE(fs::exists(dir.file("lobs/r2.dat")));
  EXPECT_EQ(test_support::read_file(dir.file("lobs/r3.dat")), std::string(70000, 'z'));

  o = run("FILE=" + dump + " LOB_TARGET=DOCS.PIC LOB_DIR=" + dir.file("lobs") + " LOB_FILE=p%ID%.dat");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(test_support::read_file(dir.file("lobs/p1.dat")), std::string("p1\0\xFF", 4));
  EXPECT_EQ(test_support::read_file(dir.file("lobs/p3.dat")), "p3");

  for (const char* target : {"DOCS.NAME", "DOCS.NOPE", "NOPE.PIC"}) {
    o = run("FILE=" + dump + " LOB_TARGET=" + target + " LOB_DIR=" + dir.file("lobs"));
    EXPECT_EQ(o.exit_code, 1) << target;
    EXPECT_NE(o.err.find("ZUL-03113"), std::string::npos) << target << o.err;
  }
}

// A dump cut inside its row data: a numbered message, failure, and none of
// the run's output files left behind.
class TruncatedDump : public JobsProcess {
 protected:
  void SetUp() override {
    const std::string full = dir.file("full.dmp");
    {
      dw::DumpOptions opt;
      opt.pad_last_record = false;
      dw::DumpWriter w(full, opt);
      w.begin_table(emp_table("FIRST"));
      add_emp_rows(w, 50);
      w.end_table();
      w.begin_table(emp_table("SECOND"));
      add_emp_rows(w, 3000);
      w.end_table();
      w.finish();
    }
    const std::string bytes = read_file(full);
    const std::size_t second = bytes.find("INSERT INTO \"SECOND\"");
    ASSERT_NE(second, std::string::npos);
    cut = dir.write("cut.dmp", bytes.substr(0, second + (bytes.size() - second) / 2));
  }

  static bool format_error(const std::string& err) {
    return err.find("ZUL-03102") != std::string::npos || err.find("ZUL-03109") != std::string::npos;
  }

  std::string cut;
};

TEST_F(TruncatedDump, ConversionFailsAndItsOutputFileGoes) {
  const std::string out = dir.file("second.csv");
  const Outcome o = run("FILE=" + cut + " TABLE=SECOND OUT_FILE=" + out);
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_TRUE(format_error(o.err)) << o.err;
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(TruncatedDump, CsvBatchKeepsOnlyTheCompleteTable) {
  const Outcome o = run("FILE=" + cut + " MODE=CSV_BATCH");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("ZUL-03102: dumpファイル書式エラー(\"SECOND\")"), std::string::npos) << o.err;
  EXPECT_EQ(csv_files(), std::vector<std::string>{"FIRST.csv"});
}

TEST_F(TruncatedDump, AnOutputThatIsNoRegularFileSurvives) {
  const Outcome o = run("FILE=" + cut + " TABLE=SECOND OUT_FILE=" + test_support::kNullDevice);
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_TRUE(format_error(o.err)) << o.err;
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
#endif
}

// An export that stopped inside a table: what lies before the cut is whole,
// the cut is said.
TEST_F(TruncatedDump, ListingDdlAndEarlierTablesSucceedWithTheCutSaid) {
  for (const std::string& job : {"MODE=DDL OUT_FILE=" + dir.file("cut.sql"), std::string("LIST=Y"),
                                 "TABLE=FIRST OUT_FILE=" + dir.file("first.csv")}) {
    const Outcome o = run("FILE=" + cut + " " + job);
    EXPECT_EQ(o.exit_code, 0) << job;
    EXPECT_TRUE(format_error(o.err)) << o.err;
    EXPECT_NE(o.err.find("ZUL-03114"), std::string::npos) << o.err;
  }
  EXPECT_NE(read_file(dir.file("cut.sql")).find("CREATE TABLE \"SECOND\""), std::string::npos);
  const std::string first = read_file(dir.file("first.csv"));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 50);
}

// A real export that stopped between two tables: every table before the
// cut converts, and the missing end is said.
TEST_F(JobsProcess, RealDumpCutBetweenTablesKeepsWhatItHolds) {
  NEED_REAL_DUMP();
  const std::string bytes = read_file(real);
  const std::size_t next = bytes.find("TABLE \"SALES_ORDER_HEADER\"");
  ASSERT_NE(next, std::string::npos);
  const std::string cut = dir.write("cut.dmp", bytes.substr(0, next));
  for (const char* job : {" MODE=CSV_BATCH", " LIST=Y"}) {
    const Outcome o = run("FILE=" + cut + job);
    EXPECT_EQ(o.exit_code, 0) << job;
    EXPECT_NE(o.err.find("ZUL-03114"), std::string::npos) << o.err;
  }
  EXPECT_EQ(csv_files().size(), 17u);
}

TEST(TableDefinitionText, EmptyTableAndIndexWithoutColumns) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  TableDefinition t;
  EXPECT_EQ(format_table_definition(g, t), "");
  t.indexes.push_back({"IX", {}});
  t.columns.push_back({});
  t.columns[0].name = "A";
  t.columns[0].type_text = "TIMESTAMP WITH LOCAL TZ";
  t.columns[0].rest = "NOT NULL";
  EXPECT_EQ(format_table_definition(g, t),
            " カラム                        型\n"
            "------------------------------ -----------------\n"
            " A                              TIMESTAMP WITH LOCAL TZ NOT NULL\n"
            "\n"
            "     索引名                         項目名\n"
            "     ------------------------------ ------------------------------\n"
            "     IX                             \n");
}

}  // namespace
}  // namespace qln
