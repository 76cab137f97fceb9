#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/read_capture.hpp"
#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "engine/record_run.hpp"
#include "dumpwriter/dump_writer.hpp"

namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;

class ClassicReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::set_up_for_written_dump(g, o);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  dw::DumpOptions options(bool direct = false) const {
    dw::DumpOptions d;
    d.direct_path = direct;
    d.header_len = 8192;
    return d;
  }

  // Runs the reader on `files` and keeps what it wrote to the output stream.
  int read(const std::vector<std::string>& files) {
    o.exp_fname = files;
    o.dump_sizes.clear();
    return test_support::read_dmp_into(g, o, result, out);
  }

  bool has_message(int code) const { return test_support::has_message(g, code); }

  std::vector<std::string> lines() const {
    std::vector<std::string> v;
    std::size_t at = 0;
    while (at < out.size()) {
      std::size_t nl = out.find('\n', at);
      if (nl == std::string::npos) nl = out.size();
      v.push_back(out.substr(at, nl - at));
      at = nl + 1;
    }
    return v;
  }

  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g;
  ConvOptions o;
  ReadResult result;
  std::string out;
};

dw::TableSpec plain_table(const std::string& name = "EMP") {
  dw::TableSpec t;
  t.name = name;
  t.columns = {{"EMPNO", "NUMBER(4, 0)", true},
               {"ENAME", "VARCHAR2(10)"},
               {"HIRED", "DATE"},
               {"CODE", "CHAR(3)"},
               {"SAL", "NUMBER(7, 2)"}};
  return t;
}

void add_plain_rows(dw::DumpWriter& w, int n) {
  for (int i = 1; i <= n; ++i)
    w.add_row({Cell::number(std::to_string(i)), Cell::text("N" + std::to_string(i)),
               Cell::text("2011-12-31 23:59:59"), Cell::text("AB"),
               i % 3 == 0 ? Cell::null() : Cell::number("12.5")});
}

TEST_F(ClassicReaderTest, ConventionalRowsKeepValuesAndNulls) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    w.add_row({Cell::number("7369"), Cell::text("SMITH"), Cell::text("2011-12-31 23:59:59"),
               Cell::text("AB"), Cell::number("800")});
    w.add_row({Cell::number("7499"), Cell::null(), Cell::null(), Cell::null(), Cell::null()});
    w.add_row({Cell::number("7521"), Cell::text("a,\"b\""), Cell::text("1999-01-02"),
               Cell::text("XYZ"), Cell::number("-0.5")});
    w.end_table();
    w.finish();
  }
  o.table_id = "EMP";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(g.zulcode, 0);
  EXPECT_EQ(result.rows_written, 3);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "7369,SMITH,2011/12/31 23:59:59,AB ,800.00",
                         "7499,,,,",
                         "7521,\"a,\"\"b\"\"\",1999/01/02 00:00:00,XYZ,-.50"}));
}

TEST_F(ClassicReaderTest, TableNamesCompareWithoutCaseAndMissingTableIsReported) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 2);
    w.end_table();
    w.finish();
  }
  o.table_id = "emp";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(result.rows_written, 2);

  ConvOptions fresh;
  o = fresh;
  o.exp_version = 12;
  o.table_id = "NOSUCH";
  result = {};
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(g.zulcode, 3103);
  EXPECT_EQ(result.rows_written, 0);
}

TEST_F(ClassicReaderTest, Utf8OutputStartsWithItsSignatureOnlyWhenATableIsFound) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 1);
    w.end_table();
    w.finish();
  }
  o.is_output_bom = kYes;
  o.table_id = "EMP";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(out, "\xEF\xBB\xBF" "1,N1,2011/12/31 23:59:59,AB ,12.50\n");
  o.table_id = "NOSUCH";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(g.zulcode, 3103);
  EXPECT_EQ(out, "");
}

// Statements count only from the export mode's first mark on, and row data
// only after a TABLE statement.
TEST_F(ClassicReaderTest, StreamStartsAtTheModesMark) {
  dw::DumpOptions d = options();
  std::string b = dw::build_header(d);
  b += "METRICST\nTABLE \"EARLY\"\nCREATE TABLE \"EARLY\" (\"A\" NUMBER)\n";
  b += "METRICSUtables\n";
  b += "INSERT INTO \"LOOSE\" (\"A\") VALUES (:1)\n";
  b += "TABLE \"T\"\nCREATE TABLE \"T\" (\"A\" NUMBER)\n";
  b += "INSERT INTO \"T\" (\"A\") VALUES (:1)\n";
  b += std::string("\x01\x00\x02\x00\x16\x00", 6);       // one NUMBER column
  b += std::string("\x00\x00\x00\x00", 4);                  // no entries, padding
  b += std::string("\x02\x00\xc1\x02\x00\x00", 6);        // the row 1
  b += std::string("\x02\x00\xc2\x02\x00\x00", 6);        // the row 100
  b += std::string("\xff\xff\n", 3);
  b += "EXIT\nEXIT\n";
  std::ofstream(path("h.dmp"), std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));

  o.read_step = 2;
  o.table_id.clear();
  o.is_first = kYes;
  ASSERT_EQ(read({path("h.dmp")}), 0);
  EXPECT_EQ(out, "TABLE_NAME\n------------------------------\nT\n");
  o.read_step = 0;
  o.table_id = "T";
  ASSERT_EQ(read({path("h.dmp")}), 0);
  EXPECT_EQ(out, "1\n100\n");
}

TEST_F(ClassicReaderTest, PerTableEntriesChooseTablesAndMissingOnesAreReported) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table("T1"));
    add_plain_rows(w, 2);
    w.end_table();
    w.begin_table(plain_table("T2"));
    add_plain_rows(w, 3);
    w.end_table();
    w.finish();
  }
  o.is_condition = kYes;
  TableCondition c2;
  c2.is_selected = 1;
  c2.table_name = "t2";
  o.where_statement = {c2};
  ASSERT_EQ(read({path("a.dmp")}), 0) << g.messages[0];
  EXPECT_EQ(result.rows_written, 3);

  TableCondition gone;
  gone.is_selected = 1;
  gone.table_name = "GONE";
  o.where_statement = {c2, gone};
  EXPECT_EQ(read({path("a.dmp")}), -1);
  EXPECT_TRUE(has_message(3103));
  EXPECT_NE(g.messages[0].find("GONE"), std::string::npos);
}

TEST_F(ClassicReaderTest, FirstTableIsTakenWhenNoneIsNamed) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table("FIRST_T"));
    add_plain_rows(w, 4);
    w.end_table();
    w.begin_table(plain_table("SECOND_T"));
    add_plain_rows(w, 2);
    w.end_table();
    w.finish();
  }
  o.table_id.clear();
  o.is_first = kYes;
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(g.zulcode, 0);
  EXPECT_EQ(result.rows_written, 4);
}

TEST_F(ClassicReaderTest, ChunkedLongColumnsAreCutToRawLength) {
  dw::TableSpec t;
  t.name = "NOTES";
  t.columns = {{"ID", "NUMBER"}, {"BODY", "LONG"}, {"TAIL", "VARCHAR2(5)"}};
  dw::TableSpec last;
  last.name = "RAWS";
  last.columns = {{"ID", "NUMBER"}, {"IMG", "LONG RAW"}};
  std::string big(10000, 'x');
  big.replace(0, 6, "hello!");
  {
    dw::DumpOptions d = options();
    d.long_chunk = 4096;
    dw::DumpWriter w(path("a.dmp"), d);
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::text(big), Cell::text("t1")});
    w.add_row({Cell::number("2"), Cell::null(), Cell::text("t2")});
    w.add_row({Cell::number("3"), Cell::text("ab"), Cell::null()});
    w.end_table();
    // A LONG RAW as the last column: the row ends with the value's chunks.
    w.begin_table(last);
    w.add_row({Cell::number("1"), Cell::bytes(std::string("\xAB\xCD\xEF", 3))});
    w.add_row({Cell::number("2"), Cell::bytes(std::string(70000, '\x01'))});
    w.add_row({Cell::number("3"), Cell::null()});
    w.end_table();
    w.finish();
  }
  o.table_id = "NOTES";
  o.raw_format = kRawAscii;
  o.raw_length = 5;
  ASSERT_EQ(read({path("a.dmp")}), 0) << g.messages[0];
  EXPECT_EQ(lines(), (std::vector<std::string>{"1,hello,t1", "2,,t2", "3,ab,"}));

  o.table_id = "RAWS";
  o.raw_format = kRawHex;
  o.raw_length = 2;
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"1,0xabcd", "2,0x0101", "3,"}));
}

TEST_F(ClassicReaderTest, LargeObjectsShowPlaceholdersAndKeepLaterColumnsInPlace) {
  dw::TableSpec t;
  t.name = "DOCS";
  t.columns = {{"ID", "NUMBER"}, {"BODY", "CLOB"}, {"NAME", "VARCHAR2(10)"},
               {"PIC", "BLOB"}, {"SHAPE", "\"MDSYS\".\"SDO_GEOMETRY\""}, {"N", "NUMBER"}};
  {
    dw::DumpOptions d = options();
    d.lob_chunk = 1000;
    dw::DumpWriter w(path("a.dmp"), d);
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::text("short"), Cell::text("one"), Cell::bytes("\x01\x02"),
               Cell::bytes("geo"), Cell::number("10")});
    w.add_row({Cell::number("2"), Cell::null(), Cell::text("two"), Cell::null(), Cell::null(),
               Cell::number("20")});
    w.add_row({Cell::number("3"), Cell::text(std::string(5000, 'c')), Cell::text("three"),
               Cell::null(), Cell::bytes("geo"), Cell::number("30")});
    w.add_row({Cell::number("4"), Cell::null(), Cell::text("four"),
               Cell::bytes(std::string(2500, '\x07')), Cell::null(), Cell::number("40")});
    w.end_table();
    w.begin_table(plain_table("AFTER"));
    add_plain_rows(w, 1);
    w.end_table();
    w.finish();
  }
  o.table_id = "DOCS";
  ASSERT_EQ(read({path("a.dmp")}), 0) << g.messages[0];
  EXPECT_EQ(result.rows_written, 4);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "1,%%CLOB%%_2,one,%%BLOB%%_4,%%NOT_SUPPORT%%,10",
                         "2,,two,,,20",
                         "3,%%CLOB%%_2,three,,%%NOT_SUPPORT%%,30",
                         "4,,four,%%BLOB%%_4,,40"}));

  // The table after it is still found, so the large-object sections were
  // read exactly.
  o.table_id = "AFTER";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(result.rows_written, 1);
}

// A long column last and large objects before it: the row has no end mark,
// the large objects of the row follow the long value directly.
TEST_F(ClassicReaderTest, LongColumnLastWithLargeObjects) {
  dw::TableSpec t;
  t.name = "MIXED";
  t.columns = {{"ID", "NUMBER"}, {"PIC", "BLOB"}, {"NOTE", "LONG"}};
  {
    dw::DumpWriter w(path("m.dmp"), options());
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::bytes("\x01"), Cell::text("first")});
    w.add_row({Cell::number("2"), Cell::null(), Cell::text("second")});
    w.add_row({Cell::number("3"), Cell::bytes("\x02\x03"), Cell::null()});
    w.end_table();
    w.finish();
  }
  o.table_id = "MIXED";
  o.raw_format = kRawAscii;
  ASSERT_EQ(read({path("m.dmp")}), 0) << g.messages[0];
  EXPECT_EQ(lines(), (std::vector<std::string>{"1,%%BLOB%%_2,first", "2,,second", "3,%%BLOB%%_2,"}));
}

TEST_F(ClassicReaderTest, DirectPathRowsEndWithoutMark) {
  dw::TableSpec lobs;
  lobs.name = "WITH_LOB";
  lobs.columns = {{"ID", "NUMBER"}, {"BODY", "CLOB"}};
  {
    dw::DumpWriter w(path("d.dmp"), options(true));
    w.begin_table(plain_table());
    add_plain_rows(w, 50);
    w.end_table();
    w.begin_table(lobs);
    w.add_row({Cell::number("1"), Cell::text("x")});
    w.add_row({Cell::number("2"), Cell::null()});
    w.end_table();
    w.finish();
  }
  o.dump_type = kDumpDirect;
  o.table_id = "EMP";
  ASSERT_EQ(read({path("d.dmp")}), 0) << g.messages[0];
  ASSERT_EQ(result.rows_written, 50);
  EXPECT_EQ(lines()[2], "3,N3,2011/12/31 23:59:59,AB ,");
  o.table_id = "WITH_LOB";
  ASSERT_EQ(read({path("d.dmp")}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"1,%%CLOB%%_2", "2,"}));
}

TEST_F(ClassicReaderTest, SeveralVolumesReadAsOneDump) {
  std::vector<std::string> volumes;
  {
    dw::DumpOptions d = options();
    d.volume_size = 9000;  // 8192 header bytes, the rest data: many volumes
    dw::DumpWriter w(path("v.dmp"), d);
    w.begin_table(plain_table());
    add_plain_rows(w, 300);
    w.end_table();
    volumes = w.finish().volumes;
  }
  ASSERT_GT(volumes.size(), 3u);
  o.table_id = "EMP";
  ASSERT_EQ(read(volumes), 0) << g.messages[0];
  EXPECT_EQ(result.rows_written, 300);
  auto l = lines();
  ASSERT_EQ(l.size(), 300u);
  EXPECT_EQ(l[299], "300,N300,2011/12/31 23:59:59,AB ,");

  // A missing volume is an open error, not a short table.
  std::vector<std::string> missing = volumes;
  missing[1] = path("nowhere.dmp");
  g = GlobalParams{};
  EXPECT_EQ(read(missing), -1);
  EXPECT_TRUE(has_message(3100));
}

TEST_F(ClassicReaderTest, PartitionsAreAllTheTablesRows) {
  dw::TableSpec t = plain_table("SALES");
  t.partitions = {{"P1", "10"}, {"P2", "20"}, {"P3", "MAXVALUE"}};
  {
    dw::DumpWriter w(path("p.dmp"), options());
    w.begin_table(t);
    add_plain_rows(w, 3);
    w.next_partition();
    w.add_row({Cell::number("15"), Cell::text("mid"), Cell::null(), Cell::null(), Cell::null()});
    w.next_partition();
    w.add_row({Cell::number("25"), Cell::text("hi"), Cell::null(), Cell::null(), Cell::null()});
    w.end_table();
    w.finish();
  }
  o.table_id = "SALES";
  ASSERT_EQ(read({path("p.dmp")}), 0) << g.messages[0];
  EXPECT_EQ(result.rows_written, 5);
  EXPECT_EQ(lines().back(), "25,hi,,,");

  o.table_id = "+P2";
  ASSERT_EQ(read({path("p.dmp")}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"15,mid,,,"}));
  o.table_id = "+P2";

  o.read_step = 2;
  o.table_id.clear();
  o.is_first = kYes;
  ASSERT_EQ(read({path("p.dmp")}), 0);
  ASSERT_EQ(result.tables.size(), 4u);
  EXPECT_EQ(result.tables[0].name, "SALES");
  EXPECT_EQ(result.tables[1].name, "+P1");
  EXPECT_EQ(result.tables[1].rows, 3);
  EXPECT_EQ(result.tables[2].rows, 1);
  EXPECT_EQ(result.tables[3].rows, 1);
}

TEST_F(ClassicReaderTest, LongNamesAreKept) {
  const std::string table(128, 'T');
  const std::string column = std::string(127, 'C') + "1";
  dw::TableSpec t;
  t.name = table;
  t.columns = {{column, "VARCHAR2(5)"}, {"X", "NUMBER"}};
  {
    dw::DumpWriter w(path("n.dmp"), options());
    w.begin_table(t);
    w.add_row({Cell::text("v"), Cell::number("1")});
    w.end_table();
    w.finish();
  }
  o.read_step = 2;
  o.table_id.clear();
  o.is_first = kYes;
  ASSERT_EQ(read({path("n.dmp")}), 0);
  EXPECT_EQ(out, "TABLE_NAME\n------------------------------\n" + table + "\n");

  o.read_step = 1;
  o.table_id = table;
  ASSERT_EQ(read({path("n.dmp")}), 0);
  ASSERT_EQ(o.table.columns.size(), 2u);
  EXPECT_EQ(o.table.columns[0].name, column);

  o.read_step = 0;
  o.is_header = kYes;
  ASSERT_EQ(read({path("n.dmp")}), 0);
  EXPECT_EQ(out, column + ",X\nv,1\n");
}

TEST_F(ClassicReaderTest, FullExportListsOwnersAndSelectsByOwner) {
  {
    dw::DumpOptions d = options();
    d.mode = dw::ExportMode::full;
    dw::DumpWriter w(path("f.dmp"), d);
    dw::TableSpec a = plain_table("EMP");
    a.owner = "SCOTT";
    w.begin_table(a);
    add_plain_rows(w, 2);
    w.end_table();
    dw::TableSpec b = plain_table("EMP");
    b.owner = "HR";
    w.begin_table(b);
    add_plain_rows(w, 5);
    w.end_table();
    w.finish();
  }
  o.exp_mode = 2;
  o.read_step = 2;
  o.table_id.clear();
  o.is_first = kYes;
  ASSERT_EQ(read({path("f.dmp")}), 0);
  EXPECT_EQ(out,
            "OWNER                          TABLE_NAME\n"
            "------------------------------ ------------------------------\n"
            "SCOTT                          EMP                           \n"
            "HR                             EMP                           \n");

  o.read_step = 0;
  o.table_id = "HR.EMP";
  ASSERT_EQ(read({path("f.dmp")}), 0);
  EXPECT_EQ(result.rows_written, 5);
}

TEST_F(ClassicReaderTest, DescribePassFillsColumnsAndIndexes) {
  dw::TableSpec t = plain_table();
  t.indexes = {{"EMP_PK", {"EMPNO"}, true}, {"EMP_IX", {"ENAME", "HIRED"}, false}};
  dw::TableSpec other = plain_table("DEPT");
  other.indexes = {{"DEPT_PK", {"EMPNO"}, true}};
  {
    dw::DumpWriter w(path("i.dmp"), options());
    w.begin_table(t);
    add_plain_rows(w, 3);
    w.end_table();
    w.begin_table(other);
    w.end_table();
    w.finish();
  }
  o.read_step = 1;
  o.table_id = "EMP";
  ASSERT_EQ(read({path("i.dmp")}), 0);
  EXPECT_EQ(g.zulcode, 0);
  EXPECT_EQ(o.table.table_name, "EMP");
  ASSERT_EQ(o.table.columns.size(), 5u);
  EXPECT_EQ(o.table.columns[0].type_text, "NUMBER(4)");
  EXPECT_FALSE(o.table.columns[0].nullable);
  EXPECT_EQ(o.table.columns[4].type_text, "NUMBER(7.2)");
  ASSERT_EQ(o.table.indexes.size(), 2u);
  EXPECT_EQ(o.table.indexes[0].name, "EMP_PK");
  EXPECT_EQ(o.table.indexes[1].columns, (std::vector<std::string>{"ENAME", "HIRED"}));
}

TEST_F(ClassicReaderTest, MaxRecordStopsAndCsvBatchWritesAFilePerTable) {
  {
    dw::DumpWriter w(path("b.dmp"), options());
    w.begin_table(plain_table("T1"));
    add_plain_rows(w, 10);
    w.end_table();
    w.begin_table(plain_table("T2"));
    add_plain_rows(w, 3);
    w.end_table();
    w.begin_table(plain_table("T3"));
    w.end_table();
    w.finish();
  }
  o.table_id = "T1";
  o.is_unlimited = kNo;
  o.max_record = 4;
  ASSERT_EQ(read({path("b.dmp")}), 0);
  EXPECT_EQ(result.rows_written, 4);

  ConvOptions fresh;
  o = fresh;
  o.exp_version = 12;
  o.output_mode = kOutCsvBatch;
  o.row_format = 1;
  o.is_header = kYes;
  o.table_id.clear();
  o.is_first = kYes;
  auto cwd = fs::current_path();
  fs::current_path(dir_);
  int rc = read({path("b.dmp")});
  fs::current_path(cwd);
  ASSERT_EQ(rc, 0) << g.messages[0];
  EXPECT_EQ(result.rows_written, 13);
  auto count_lines = [&](const char* name) {
    std::ifstream f(dir_ / name);
    return static_cast<int>(std::count(std::istreambuf_iterator<char>(f), {}, '\n'));
  };
  EXPECT_EQ(count_lines("T1.csv"), 11);
  EXPECT_EQ(count_lines("T2.csv"), 4);
  EXPECT_EQ(count_lines("T3.csv"), 1);  // the header of an empty table
}

TEST_F(ClassicReaderTest, InsertOutputEndsWithCommit) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 2);
    w.end_table();
    w.finish();
  }
  o.table_id = "EMP";
  o.output_mode = kOutInsert;
  o.row_format = 2;
  ASSERT_EQ(read({path("a.dmp")}), 0);
  auto l = lines();
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0].rfind("INSERT INTO EMP", 0), 0u) << l[0];
  EXPECT_EQ(l[2], "COMMIT;");
}

TEST_F(ClassicReaderTest, GrepKeepsMatchingRowsOnly) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 12);
    w.end_table();
    w.finish();
  }
  o.table_id = "EMP";
  o.is_grep = kYes;
  o.grep_text = "N1";
  ASSERT_EQ(read({path("a.dmp")}), 0);
  EXPECT_EQ(result.rows_written, 4);  // N1, N10, N11, N12
}

// Rows are written on a second thread; a failure there still ends the read
// with its message.
TEST_F(ClassicReaderTest, WriteFailureIsReported) {
  {
    dw::DumpWriter w(path("a.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 2000);
    w.end_table();
    w.finish();
  }
  std::ofstream(path("ro.txt")) << "";
  std::FILE* ro = std::fopen(path("ro.txt").c_str(), "r");
  ASSERT_NE(ro, nullptr);
  o.exp_fname = {path("a.dmp")};
  o.table_id = "EMP";
  g.out_stream = ro;
  EXPECT_EQ(run_records(g, o, result), -1);
  std::fclose(ro);
  EXPECT_GT(g.message_count, 0);
}

// A column the table defines but the data do not carry (a virtual column)
// stays empty; the others keep their places.
TEST_F(ClassicReaderTest, DataColumnsAreMatchedByName) {
  dw::TableSpec t;
  t.name = "V";
  t.columns = {{"A", "NUMBER"}, {"B", "VARCHAR2(5)"}};
  {
    dw::DumpWriter w(path("v.dmp"), options());
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::text("x")});
    w.add_row({Cell::number("2"), Cell::null()});
    w.end_table();
    w.finish();
  }
  std::ifstream f(path("v.dmp"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), {});
  auto patched = [&](const std::string& from, const std::string& to) {
    std::string b = bytes;
    std::size_t at = b.find(from);
    EXPECT_NE(at, std::string::npos);
    b.replace(at, from.size(), to);
    std::ofstream(path("p.dmp"), std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    return path("p.dmp");
  };
  o.table_id = "V";
  o.is_header = kYes;
  ASSERT_EQ(read({patched("(\"A\" NUMBER, ", "(\"A\" NUMBER, \"AV\" NUMBER GENERATED ALWAYS AS (\"A\"+1) VIRTUAL, ")}), 0)
      << g.messages[0];
  EXPECT_EQ(lines(), (std::vector<std::string>{"A,AV,B", "1,,x", "2,,"}));

  g = GlobalParams{};
  EXPECT_EQ(read({patched("INSERT INTO \"V\" (\"A\", \"B\")", "INSERT INTO \"V\" (\"A\", \"Q\")")}), -1);
  EXPECT_TRUE(has_message(3102));
}

// Random tables of every column kind, written with random chunk sizes, in
// one or several volumes, conventional or direct: every row comes back whole
// and in its place (its first and last column).
TEST_F(ClassicReaderTest, RandomTablesComeBackRowForRow) {
  std::uint32_t seed = 2024;
  auto next = [&](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  const char* kinds[] = {"NUMBER", "VARCHAR2(30)", "CHAR(4)", "DATE", "TIMESTAMP (6)", "RAW(8)",
                         "CLOB", "BLOB", "NUMBER(9, 2)", "NVARCHAR2(10)"};
  for (int round = 0; round < 6; ++round) {
    dw::DumpOptions d = options(round % 3 == 2);
    d.long_chunk = 1 + next(300);
    d.lob_chunk = 1 + next(400);
    if (round % 2 == 1) d.volume_size = 8192 + 500 + next(3000);
    std::vector<dw::TableSpec> table_specs;
    std::vector<int> counts;
    std::vector<std::string> files;
    {
      dw::DumpWriter w(path("r" + std::to_string(round) + ".dmp"), d);
      for (int t = 0; t < 3; ++t) {
        dw::TableSpec table_spec;
        table_spec.name = "R" + std::to_string(t);
        table_spec.columns.push_back({"ID", "NUMBER"});
        const int extra = 1 + static_cast<int>(next(6));
        for (int c = 0; c < extra; ++c)
          table_spec.columns.push_back({"C" + std::to_string(c), kinds[next(10)]});
        if (next(2) == 0) table_spec.columns.push_back({"L", next(2) ? "LONG" : "LONG RAW"});
        table_spec.columns.push_back({"TAG", "VARCHAR2(12)"});
        const int rows = static_cast<int>(next(40));
        w.begin_table(table_spec);
        for (int r = 0; r < rows; ++r) {
          std::vector<Cell> cells;
          cells.push_back(Cell::number(std::to_string(r + 1)));
          for (std::size_t c = 1; c + 1 < table_spec.columns.size(); ++c) {
            const std::string& type = table_spec.columns[c].type;
            if (next(4) == 0) {
              cells.push_back(Cell::null());
            } else if (type.rfind("NUMBER", 0) == 0) {
              cells.push_back(Cell::number(std::to_string(next(100000)) + ".25"));
            } else if (type == "DATE" || type.rfind("TIMESTAMP", 0) == 0) {
              cells.push_back(Cell::text("2020-02-29 12:34:56.5"));
            } else if (type == "CLOB" || type == "LONG") {
              cells.push_back(Cell::text(std::string(next(900), 'x')));
            } else if (type == "BLOB" || type == "LONG RAW" || type == "RAW(8)") {
              cells.push_back(Cell::bytes(std::string(type == "RAW(8)" ? 1 + next(8) : next(900), '\x5a')));
            } else if (type == "CHAR(4)") {
              cells.push_back(Cell::text("ab"));
            } else {
              cells.push_back(Cell::text("v,\"" + std::to_string(next(1000))));
            }
          }
          cells.push_back(Cell::text("t" + std::to_string(r + 1)));
          w.add_row(cells);
        }
        w.end_table();
        table_specs.push_back(table_spec);
        counts.push_back(rows);
      }
      files = w.finish().volumes;
    }
    for (std::size_t t = 0; t < table_specs.size(); ++t) {
      g = GlobalParams{};
      o.dump_type = d.direct_path ? kDumpDirect : kDumpConventional;
      o.table_id = table_specs[t].name;
      ASSERT_EQ(read(files), 0) << "round " << round << " table " << t << ": " << g.messages[0];
      ASSERT_EQ(result.rows_written, counts[t]) << "round " << round << " table " << t;
      auto l = lines();
      ASSERT_EQ(static_cast<int>(l.size()), counts[t]);
      for (int r = 0; r < counts[t]; ++r) {
        const std::string id = std::to_string(r + 1);
        EXPECT_EQ(l[static_cast<std::size_t>(r)].rfind(id + ",", 0), 0u) << l[static_cast<std::size_t>(r)];
        const std::string tail = ",t" + id;
        EXPECT_EQ(l[static_cast<std::size_t>(r)].substr(l[static_cast<std::size_t>(r)].size() - tail.size()), tail)
            << "round " << round << " table " << t << ": " << l[static_cast<std::size_t>(r)];
      }
    }
  }
}

// Every cut of a dump inside a table's data ends with 3102 and a failure,
// never with a shorter table reported as success.
TEST_F(ClassicReaderTest, TruncatedDumpIsAFormatError) {
  {
    dw::DumpOptions d = options();
    d.pad_last_record = false;
    dw::DumpWriter w(path("full.dmp"), d);
    dw::TableSpec t = plain_table();
    t.columns.push_back({"NOTE", "LONG"});
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::text("A"), Cell::null(), Cell::text("X"), Cell::number("1"),
               Cell::text(std::string(300, 'n'))});
    w.add_row({Cell::number("2"), Cell::text("B"), Cell::null(), Cell::text("Y"), Cell::number("2"),
               Cell::null()});
    w.end_table();
    w.finish();
  }
  std::ifstream f(path("full.dmp"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), {});
  std::size_t insert = bytes.find("INSERT INTO \"EMP\"");
  std::size_t data = bytes.find('\n', insert) + 1;
  std::size_t end = bytes.find("\xFF\xFF", data + 40);
  ASSERT_NE(end, std::string::npos);
  o.table_id = "EMP";
  for (std::size_t cut = data; cut <= end + 1; ++cut) {
    std::ofstream(path("cut.dmp"), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(cut));
    g = GlobalParams{};
    int rc = read({path("cut.dmp")});
    ASSERT_EQ(rc, -1) << "cut at " << cut - data;
    ASSERT_TRUE(has_message(3102)) << "cut at " << cut - data;
  }
}

// Damaged bytes anywhere in a table's data end the read one way or the
// other, never with a crash or a hang.
TEST_F(ClassicReaderTest, DamagedDataNeverCrashes) {
  {
    dw::DumpOptions d = options();
    d.lob_chunk = 100;
    dw::DumpWriter w(path("full.dmp"), d);
    dw::TableSpec t = plain_table();
    t.columns.push_back({"DOC", "CLOB"});
    t.columns.push_back({"NOTE", "LONG"});
    w.begin_table(t);
    for (int i = 0; i < 20; ++i)
      w.add_row({Cell::number(std::to_string(i)), Cell::text("A"), Cell::null(), Cell::text("X"),
                 Cell::number("1.5"), i % 2 ? Cell::null() : Cell::text(std::string(250, 'd')),
                 Cell::text(std::string(static_cast<std::size_t>(i * 7), 'n'))});
    w.end_table();
    w.begin_table(plain_table("NEXT"));
    add_plain_rows(w, 3);
    w.end_table();
    w.finish();
  }
  std::ifstream f(path("full.dmp"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), {});
  const std::size_t data = bytes.find('\n', bytes.find("INSERT INTO \"EMP\"")) + 1;
  const std::size_t end = bytes.find("CREATE TABLE \"NEXT\"");
  std::uint32_t seed = 12345;
  auto next = [&]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  o.table_id = "EMP";
  for (int round = 0; round < 300; ++round) {
    std::string b = bytes;
    const int changes = 1 + static_cast<int>(next() % 3);
    for (int k = 0; k < changes; ++k) {
      const std::size_t at = data + next() % (end - data);
      b[at] = static_cast<char>(next() & 0xFF);
    }
    std::ofstream(path("bad.dmp"), std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    g = GlobalParams{};
    const int rc = read({path("bad.dmp")});
    ASSERT_TRUE(rc == 0 || rc == -1) << "round " << round;
    if (rc == -1) {
      ASSERT_GT(g.message_count, 0) << "round " << round;
    }
  }
}

TEST_F(ClassicReaderTest, CorruptDataIsReported) {
  {
    dw::DumpWriter w(path("full.dmp"), options());
    w.begin_table(plain_table());
    add_plain_rows(w, 2);
    w.end_table();
    w.finish();
  }
  std::ifstream f(path("full.dmp"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), {});
  const std::size_t data = bytes.find('\n', bytes.find("INSERT INTO \"EMP\"")) + 1;
  auto run_with = [&](const std::string& b) {
    std::ofstream(path("bad.dmp"), std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    g = GlobalParams{};
    o.table_id = "EMP";
    return read({path("bad.dmp")});
  };

  std::string b = bytes;
  b[data] = 4;  // four descriptors for a five-column table
  EXPECT_EQ(run_with(b), -1);
  EXPECT_TRUE(has_message(3102));

  b = bytes;
  b[data + 2] = 0x65;  // a type code the reader does not know
  EXPECT_EQ(run_with(b), -1);
  EXPECT_TRUE(has_message(2112));
  EXPECT_NE(g.messages[0].find("65"), std::string::npos);

  // The first value's length made 5000: no longer a length.
  b = bytes;
  const std::size_t first_value = b.find(std::string("\x00\x00\x00\x00", 4), data) + 4;
  b[first_value] = static_cast<char>(0x88);
  b[first_value + 1] = 0x13;
  EXPECT_EQ(run_with(b), -1);
  EXPECT_TRUE(has_message(3102));
}

}  // namespace
}  // namespace qln
