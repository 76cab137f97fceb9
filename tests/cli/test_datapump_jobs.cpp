// quillon-cli on Data Pump dumps: the jobs a user runs, as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_test_support.hpp"
#include "dumpwriter/datapump_writer.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;
using testing_cli::Outcome;
using testing_cli::read_file;
using testing_cli::run_cli;
using testing_cli::TempDir;

class DataPumpJobs : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;
  const std::string scott = std::string(QLN_DUMPS_DIR) + "/scott.dmp";

  Outcome run(const std::string& args) { return run_cli(dir, args); }
};

#define NEED_SCOTT() \
  QLN_SKIP_WITHOUT_REAL_DUMP(scott)

const std::string kBom = "\xEF\xBB\xBF";

TEST_F(DataPumpJobs, ScottListsDescribesAndConverts) {
  NEED_SCOTT();
  Outcome o = run("FILE='" + scott + "' LIST=Y");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, "OWNER                          TABLE_NAME\n"
                   "------------------------------ ------------------------------\n"
                   "SYS                            IMPDP_STATS                   \n"
                   "SCOTT                          DEPT                          \n"
                   "SCOTT                          EMP                           \n"
                   "SCOTT                          SALGRADE                      \n"
                   "SCOTT                          BONUS                         \n");
  o = run("FILE='" + scott + "' LIST=Y TABLE=EMP");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find(" EMPNO                          NUMBER(4)         NOT NULL ENABLE\n"
                       " ENAME                          VARCHAR2(10)\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(" SAL                            NUMBER(7.2)\n"), std::string::npos) << o.out;

  o = run("FILE='" + scott + "' TABLE=EMP OUT_FILE=emp.csv");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::string emp = read_file(dir.file("emp.csv"));
  EXPECT_EQ(std::count(emp.begin(), emp.end(), '\n'), 14);
  EXPECT_TRUE(emp.starts_with(kBom +
                              "7369,SMITH,CLERK,7902,1980/12/17 00:00:00,800.00,,20\n"
                              "7499,ALLEN,SALESMAN,7698,1981/02/20 00:00:00,1600.00,300.00,30\n"))
      << emp;
  EXPECT_NE(emp.find("\n7839,KING,PRESIDENT,,1981/11/17 00:00:00,5000.00,,10\n"), std::string::npos);
  EXPECT_NE(emp.find("\n7844,TURNER,SALESMAN,7698,1981/09/08 00:00:00,1500.00,0.00,30\n"), std::string::npos);
  EXPECT_TRUE(emp.ends_with("\n7934,MILLER,CLERK,7782,1982/01/23 00:00:00,1300.00,,10\n"));

  o = run("FILE='" + scott + "' TABLE=DEPT MODE=INSERT");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  // No byte-order mark: SQL clients refuse a script that starts with one.
  EXPECT_EQ(o.out, std::string() +
                   "INSERT INTO DEPT (DEPTNO,DNAME,LOC) VALUES (10,'ACCOUNTING','NEW YORK');\n"
                   "INSERT INTO DEPT (DEPTNO,DNAME,LOC) VALUES (20,'RESEARCH','DALLAS');\n"
                   "INSERT INTO DEPT (DEPTNO,DNAME,LOC) VALUES (30,'SALES','CHICAGO');\n"
                   "INSERT INTO DEPT (DEPTNO,DNAME,LOC) VALUES (40,'OPERATIONS','BOSTON');\n"
                   "COMMIT;\n");

  o = run("FILE='" + scott + "' MODE=DDL DDL=TABLE");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("CREATE TABLE \"SCOTT\".\"SALGRADE\"\n(\n\t\"GRADE\" NUMBER,\n\t\"LOSAL\" NUMBER,\n"
                       "\t\"HISAL\" NUMBER\n) \n;\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\t\"T1\" TIMESTAMP(6) WITH TIME ZONE,\n"), std::string::npos);
  EXPECT_NE(o.out.find("CREATE TABLE \"SCOTT\".\"BONUS\""), std::string::npos);
  EXPECT_EQ(o.out.find("SYS_EXPORT_SCHEMA_01"), std::string::npos);

  o = run("FILE='" + scott + "' MODE=CSV_BATCH");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  const std::vector<std::pair<std::string, int>> counts = {
      {"BONUS.csv", 0}, {"DEPT.csv", 4}, {"EMP.csv", 14}, {"IMPDP_STATS.csv", 24}, {"SALGRADE.csv", 5}};
  for (const auto& [file, lines] : counts) {
    const std::string text = read_file(dir.file(file));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), lines) << file;
  }
  EXPECT_EQ(read_file(dir.file("SALGRADE.csv")), kBom + "1,700,1200\n2,1201,1400\n3,1401,2000\n4,2001,3000\n5,3001,9999\n");
}

// A dump cut short ends with the message and leaves no output behind.
TEST_F(DataPumpJobs, ACutDumpFailsWithoutOutput) {
  NEED_SCOTT();
  const std::string bytes = read_file(scott);
  for (std::size_t size : {std::size_t{0x10000 + 0x17b0 + 40}, std::size_t{200000}, bytes.size() - 4096}) {
    std::ofstream(dir.file("cut.dmp"), std::ios::binary) << bytes.substr(0, size);
    const Outcome o = run("FILE=cut.dmp TABLE=DEPT OUT_FILE=dept.csv");
    EXPECT_EQ(o.exit_code, 1) << size;
    EXPECT_NE(o.err.find("ZUL-03112"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(dir.file("dept.csv")));
  }
}

// Two files of one export; partitions between other tables; column files;
// a refused table.
TEST_F(DataPumpJobs, WrittenDumpsOverTwoFiles) {
  namespace dw = dumpwriter;
  const std::string a = dir.file("a.dmp"), b = dir.file("b.dmp");
  {
    dw::DataPumpWriter w({a, b}, {});
    dw::TableSpec sales;
    sales.owner = "Q";
    sales.name = "SALES";
    sales.columns = {{"ID", "NUMBER(4)"}, {"DOC", "BLOB"}};
    const int s = w.add_table(sales);
    dw::TableSpec packed;
    packed.owner = "Q";
    packed.name = "PACKED";
    packed.columns = {{"X", "NUMBER"}};
    dw::DataPumpTableExtras extras;
    extras.compressed = true;
    const int p = w.add_table(packed, extras);
    w.begin_segment(s, "P1");
    w.add_row({dw::Cell::number("1"), dw::Cell::bytes("one")});
    w.end_segment();
    w.begin_segment(p);
    w.add_row({dw::Cell::number("9")});
    w.end_segment();
    w.next_volume();
    w.begin_segment(s, "P2");
    w.add_row({dw::Cell::number("2"), dw::Cell::bytes(std::string(70000, 't'))});
    w.add_row({dw::Cell::number("3"), dw::Cell::null()});
    w.end_segment();
    w.finish();
  }
  Outcome o = run("FILE=a.dmp,b.dmp TABLE=SALES");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, kBom + "1,%%BLOB%%_2\n2,%%BLOB%%_2\n3,\n");
  fs::create_directory(dir.file("lobs"));
  o = run("FILE=a.dmp,b.dmp LOB_TARGET=SALES.DOC LOB_DIR=lobs LOB_FILE=%ID%.bin");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("lobs/1.bin")), "one");
  EXPECT_EQ(read_file(dir.file("lobs/2.bin")), std::string(70000, 't'));
  EXPECT_FALSE(fs::exists(dir.file("lobs/3.bin")));
  // The refused table is named; the other table still converts.
  o = run("FILE=a.dmp,b.dmp MODE=CSV_BATCH");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.err.find("ZUL-02009"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("Q.PACKED"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir.file("PACKED.csv")));
  EXPECT_EQ(read_file(dir.file("SALES.csv")), kBom + "1,%%BLOB%%_2\n2,%%BLOB%%_2\n3,\n");
  // A file given twice would double rows: named.
  o = run("FILE=a.dmp,b.dmp,b.dmp TABLE=SALES OUT_FILE=s.csv");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("Q.SALES 5/3 rows"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir.file("s.csv")));
  // Without its first file, rows the export wrote are missing: named.
  o = run("FILE=b.dmp TABLE=SALES OUT_FILE=s.csv");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("Q.SALES 2/3 rows"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir.file("s.csv")));
}

// WITH LOCAL TIME ZONE values are the database zone's time: CSV says which
// zone, as the dump names it; a zone text that is no zone is left out.
TEST_F(DataPumpJobs, LocalTimeZoneValuesCarryTheDatabaseZone) {
  namespace dw = dumpwriter;
  for (const std::string zone : {"Europe/Paris", "+09:00", "+09:00,\"x"}) {
    const std::string path = dir.file("z.dmp");
    {
      dw::DataPumpOptions opt;
      opt.db_timezone = zone;
      dw::DataPumpWriter w({path}, opt);
      dw::TableSpec t;
      t.owner = "Q";
      t.name = "TIMES";
      t.columns = {{"L", "TIMESTAMP(3) WITH LOCAL TIME ZONE"}, {"T", "TIMESTAMP(3)"}};
      w.begin_segment(w.add_table(t));
      w.add_row({dw::Cell::text("2024-03-01 12:00:00.25"), dw::Cell::text("2024-03-01 12:00:00.25")});
      w.add_row({dw::Cell::null(), dw::Cell::null()});
      w.end_segment();
      w.finish();
    }
    const std::string shown = zone.find(',') == std::string::npos ? " " + zone : "";
    Outcome o = run("FILE=z.dmp TABLE=TIMES BOM=N");
    EXPECT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(o.out, "2024/03/01 12:00:00.250" + shown + ",2024/03/01 12:00:00.250\n,\n") << zone;
    o = run("FILE=z.dmp TABLE=TIMES MODE=INSERT DBMS=POSTGRESQL");
    EXPECT_NE(o.out.find("(TIMESTAMP '2024-03-01 12:00:00.250',TIMESTAMP '2024-03-01 12:00:00.250')"),
              std::string::npos) << o.out;
  }
}

// The sample dump of qln-mkdump written as a classic export and in both
// Data Pump forms converts to the very same files, and to the same INSERT
// statements, long values whole (only the Data Pump dumps know the
// database zone that WITH LOCAL TIME ZONE values are written in).
TEST_F(DataPumpJobs, SameRowsSameOutputAsClassic) {
  const std::string mkdump = std::string(QLN_BINARY_DIR) + "/qln-mkdump";
  if (!fs::exists(mkdump)) GTEST_SKIP() << "no qln-mkdump in " << QLN_BINARY_DIR;
  std::map<std::string, std::string> first;
  for (const std::string form : {"", "--datapump", "--datapump23"}) {
    const std::string folder = dir.file("out" + form);
    fs::create_directory(folder);
    ASSERT_EQ(std::system(("'" + mkdump + "' " + form + " --every-kind --rows 300 '" + folder + "/s.dmp' >/dev/null").c_str()), 0);
    const Outcome o = run("FILE=" + folder + "/s.dmp MODE=CSV_BATCH");
    ASSERT_EQ(o.exit_code, 0) << o.err;
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path().extension() == ".csv") {
        if (e.path().filename() != "MixedCase_Kinds.csv") files[e.path().filename().string()] = read_file(e.path());
        fs::remove(e.path());
      }
    EXPECT_EQ(files.size(), 7u) << form;
    for (const char* table : {"NOTES", "RAW_IMAGES", "MixedCase_Kinds"}) {
      const Outcome sql = run("FILE=" + folder + "/s.dmp MODE=INSERT DBMS=POSTGRESQL TABLE=" + table);
      EXPECT_EQ(sql.exit_code, 0) << sql.err;
      files[table] = sql.out;
    }
    // The LONG of 100,000 bytes, its quotes doubled.
    const std::string& kinds = files["MixedCase_Kinds"];
    const std::size_t from = kinds.find("'line 0 of LONG");
    const std::size_t to = kinds.find("',", from);
    ASSERT_NE(to, std::string::npos) << form;
    const std::string body = kinds.substr(from + 1, to - from - 1);
    EXPECT_EQ(body.size() - static_cast<std::size_t>(std::count(body.begin(), body.end(), '\'')) / 2, 100000u) << form;
    if (first.empty()) first = files;
    else EXPECT_TRUE(files == first) << form;
  }
}

}  // namespace
}  // namespace qln
