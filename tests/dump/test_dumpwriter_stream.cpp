// The dump writer's header, statements, row framing and volumes, checked
// against the real export dump and against the row layout byte by byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dumpwriter/dump_writer.hpp"
#include "support/real_dumps.hpp"

namespace qln::dumpwriter {
namespace {

namespace fs = std::filesystem;

std::string hex(std::string_view spaced) {
  std::string out;
  std::size_t i = 0;
  while (i < spaced.size()) {
    if (spaced[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(std::string(spaced.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return out;
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t count_of(const std::string& hay, std::string_view needle) {
  std::size_t n = 0;
  for (std::size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
  return n;
}

fs::path real_dump() { return fs::path(QLN_DUMPS_DIR) / "alphaoffice.dmp"; }

class DumpWriterStream : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("qln_dumpwriter_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  // The bytes from the INSERT INTO line's end up to the end-of-table mark
  // (and the statement that follows it, since row bytes may hold FF FF 0A).
  static std::string data_block(const std::string& dump, std::string_view table, std::string_view next) {
    const std::size_t insert = dump.find("INSERT INTO \"" + std::string(table) + "\"");
    EXPECT_NE(insert, std::string::npos);
    const std::size_t start = dump.find('\n', insert) + 1;
    const std::size_t end = dump.find(hex("FF FF 0A") + std::string(next), start);
    return dump.substr(start, end - start);
  }

  // A one-table dump; returns its data block.
  std::string one_table(const TableSpec& t, const std::vector<std::vector<Cell>>& rows, DumpOptions o = {}) {
    o.pad_last_record = false;
    {
      DumpWriter w(path("one.dmp"), o);
      w.begin_table(t);
      for (const auto& r : rows) w.add_row(r);
      w.finish();
    }
    return data_block(slurp(path("one.dmp")), t.name, "ENDTABLE\n");
  }

  fs::path dir_;
};

DumpOptions alpha_options() {
  DumpOptions o;
  o.user = "ALPHA";
  o.db_charset_id = 178;
  o.date_text = "Fri Nov 7 15:51:36 2014";
  return o;
}

TableSpec addresses() {
  TableSpec t;
  t.name = "ADDRESSES";
  t.columns = {{"ADDRESS_ID", "NUMBER(15, 0)", true}, {"ADDRESS1", "VARCHAR2(40)", true},
               {"ADDRESS2", "VARCHAR2(40)"},           {"CITY", "VARCHAR2(40)", true},
               {"POSTAL_CODE", "VARCHAR2(12)"},        {"STATE_PROVINCE", "VARCHAR2(40)", true},
               {"COUNTRY_ID", "CHAR(2)", true},        {"LONGITUDE", "NUMBER"},
               {"LATITUDE", "NUMBER"},                 {"CREATED_BY", "VARCHAR2(60)", true},
               {"CREATION_DATE", "DATE", true},        {"LAST_UPDATED_BY", "VARCHAR2(60)", true},
               {"LAST_UPDATE_DATE", "DATE", true},     {"OBJECT_VERSION_ID", "NUMBER(15, 0)", true}};
  t.indexes = {{"ADDRESSES_PK", {"ADDRESS_ID"}, true}};
  t.primary_key_name = "ADDRESSES_PK";
  t.primary_key = {"ADDRESS_ID"};
  return t;
}

TEST_F(DumpWriterStream, MatchesTheRealDump) {
  QLN_SKIP_WITHOUT_REAL_DUMP(real_dump().string());
  const std::string real = slurp(real_dump());
  const DumpOptions o = alpha_options();
  // Header and the session preamble up to the first section mark.
  EXPECT_EQ(build_header(o), real.substr(0, 8192));
  {
    DumpWriter w(path("alpha.dmp"), o);
    w.begin_table(addresses());
    w.add_row({Cell::number("101"), Cell::text("1717 Harrison St"), Cell::null(), Cell::text("San Francisco"),
               Cell::text("94103"), Cell::text("CA"), Cell::text("US"), Cell::number("-122.413349"),
               Cell::number("37.769262"), Cell::text("0"), Cell::text("2014-01-10 13:04:20"), Cell::text("0"),
               Cell::text("2014-01-10 13:04:20"), Cell::number("0")});
    w.end_table();
    TableSpec images;
    images.name = "PRODUCT_IMAGES";
    images.columns = {{"PRODUCT_IMAGE_ID", "NUMBER(15, 0)", true}, {"PRODUCT_ID", "NUMBER(15, 0)", true},
                      {"DEFAULT_VIEW_FLAG", "VARCHAR2(1)", true},  {"DETAIL_IMAGE_ID", "NUMBER(15, 0)"},
                      {"IMAGE", "BLOB", true},                     {"CREATED_BY", "VARCHAR2(60)", true},
                      {"CREATION_DATE", "DATE", true},             {"LAST_UPDATED_BY", "VARCHAR2(60)", true},
                      {"LAST_UPDATE_DATE", "DATE", true},          {"OBJECT_VERSION_ID", "NUMBER(15, 0)", true}};
    w.begin_table(images);
    w.end_table();
    w.finish();
  }
  const std::string mine = slurp(path("alpha.dmp"));
  const std::size_t preamble = real.find("METRICSU\n") + 9;
  EXPECT_EQ(mine.substr(0, preamble), real.substr(0, preamble));
  // TABLE, CREATE TABLE and INSERT INTO statements, descriptors, first row.
  const std::size_t mine_at = mine.find("TABLE \"ADDRESSES\"");
  const std::size_t real_at = real.find("TABLE \"ADDRESSES\"");
  const std::size_t row_end = mine.find(hex("FF FF 0A"), mine_at);
  ASSERT_NE(row_end, std::string::npos);
  EXPECT_EQ(mine.substr(mine_at, row_end - mine_at), real.substr(real_at, row_end - mine_at));
  // Index and primary key statements.
  for (const char* head : {"CREATE UNIQUE INDEX \"ADDRESSES_PK\"", "ALTER TABLE \"ADDRESSES\" ADD  CONSTRAINT"}) {
    const std::size_t a = mine.find(head), b = real.find(head);
    EXPECT_EQ(mine.substr(a, mine.find('\n', a) - a), real.substr(b, real.find('\n', b) - b)) << head;
  }
  // A table with a BLOB: descriptors, per-column name entries, end mark.
  EXPECT_EQ(data_block(mine, "PRODUCT_IMAGES", "ENDTABLE"), data_block(real, "PRODUCT_IMAGES", "CREATE UNIQUE"));
  // The end of the dump and its padding to whole records.
  EXPECT_NE(mine.find("ENDTABLE\nMETRICEU 3\nMETRICEUG0\nEXIT\nEXIT\n"), std::string::npos);
  EXPECT_EQ(mine.size() % 8192, 0u);
  EXPECT_EQ(real.size() % 8192, 0u);
}

TEST_F(DumpWriterStream, HeaderFields) {
  DumpOptions o;
  o.user = "SCOTT";
  o.mode = ExportMode::table;
  o.header_len = 4096;
  o.db_charset_id = 832;  // JA16SJIS
  o.nchar_charset_id = 2000;
  o.direct_path = true;
  o.version = "V10.02.01";
  const std::string h = build_header(o);
  ASSERT_EQ(h.size(), 4096u);
  EXPECT_EQ(h.substr(0, 5), std::string("\x03\x00\x01" "D\n", 5));
  EXPECT_EQ(h.substr(5, 44), "EXPORT:V10.02.01\nDSCOTT\nRTABLES\n4096\n0\n72\n0\n");
  const std::size_t field7 = 5 + 44;
  EXPECT_EQ(h.substr(field7, 6), hex("00 01 03 40 07 D0"));
  // The date ends just before offset 128, where the file label starts.
  EXPECT_EQ(h.substr(128 - o.date_text.size(), o.date_text.size()), o.date_text);
  EXPECT_EQ(h[127 - o.date_text.size()], ' ');
  EXPECT_EQ(h.substr(128, 10), "expdat.dmp");
  EXPECT_EQ(h.find_first_not_of('\0', 138), std::string::npos);

  o.direct_path = false;
  o.mode = ExportMode::full;
  const std::string c = build_header(o);
  EXPECT_EQ(c.substr(3, 7), "EXPORT:");
  EXPECT_NE(c.find("\nRENTIRE\n"), std::string::npos);

  DumpOptions bad;
  bad.header_len = 100;
  EXPECT_THROW(build_header(bad), DumpWriteError);
  bad = DumpOptions{};
  bad.user = std::string(80, 'U');
  EXPECT_THROW(build_header(bad), DumpWriteError);
  bad = DumpOptions{};
  bad.date_text = "nodate";
  EXPECT_THROW(build_header(bad), DumpWriteError);
}

TEST_F(DumpWriterStream, ConventionalAndDirectRows) {
  TableSpec t;
  t.name = "T2";
  t.columns = {{"A", "VARCHAR2(10)"}, {"B", "VARCHAR2(10)"}};
  const std::vector<std::vector<Cell>> rows = {{Cell::text("ABCDE"), Cell::null()},
                                               {Cell::text(""), Cell::bytes("x")}};
  const std::string desc = hex("02 00 01 00 0A 00 69 03 01 00 01 00 0A 00 69 03 01 00 00 00 00 00");
  EXPECT_EQ(one_table(t, rows), desc + hex("05 00") + "ABCDE" + hex("FE FF 00 00 FE FF 01 00") + "x" + hex("00 00"));
  DumpOptions direct;
  direct.direct_path = true;
  EXPECT_EQ(one_table(t, rows, direct), desc + hex("05 00") + "ABCDE" + hex("FE FF FE FF 01 00") + "x");
  EXPECT_EQ(one_table(t, {}), desc);
}

TEST_F(DumpWriterStream, ChunkedLong) {
  DumpOptions o;
  o.long_chunk = 3;
  TableSpec last;
  last.name = "L1";
  last.columns = {{"ID", "NUMBER"}, {"BODY", "LONG"}};
  const std::string head = hex("02 00 02 00 16 00 08 00 00 00 00 00 00 00");
  // A LONG value ends its row when it is the last column: no 0x0000 field.
  EXPECT_EQ(one_table(last, {{Cell::number("1"), Cell::text("xyzab")}, {Cell::number("2"), Cell::null()}}, o),
            head + hex("02 00 C1 02 FD FF 03 00") + "xyz" + hex("02 00") + "ab" + hex("00 00") +
                hex("02 00 C1 03 FE FF 00 00"));
  TableSpec middle;
  middle.name = "L2";
  middle.columns = {{"BODY", "LONG RAW"}, {"ID", "NUMBER"}};
  EXPECT_EQ(one_table(middle, {{Cell::bytes("xyz"), Cell::number("1")}}, o),
            hex("02 00 18 00 00 00 02 00 16 00 00 00 00 00") + hex("FD FF 03 00") + "xyz" +
                hex("00 00 02 00 C1 02 00 00"));
}

TEST_F(DumpWriterStream, LargeObjects) {
  DumpOptions o;
  o.lob_chunk = 4;
  TableSpec t;
  t.name = "DOCS";
  t.columns = {{"ID", "NUMBER"}, {"BODY", "CLOB"}, {"PIC", "BLOB"}};
  const std::string block = one_table(
      t, {{Cell::number("1"), Cell::text("abc"), Cell::null()},
          {Cell::number("2"), Cell::null(), Cell::null()},
          {Cell::number("3"), Cell::text("abcdefghij"), Cell::bytes(std::string("\x00\x01", 2))}},
      o);
  const std::string desc = hex("03 00 02 00 16 00 70 00 48 00 69 03 01 00 71 00 48 00") +
                           hex("03 00 00 00 00 00 00 04") + "BODY" + hex("00 00 03") + "PIC" + hex("00 00");
  ASSERT_EQ(block.substr(0, desc.size()), desc);
  std::size_t at = desc.size();
  auto take = [&](std::size_t n) {
    std::string s = block.substr(at, n);
    at += n;
    return s;
  };
  // Row 1: in-row locator for the CLOB, NULL BLOB, then the section with
  // the one non-NULL object.
  EXPECT_EQ(take(4), hex("02 00 C1 02"));
  EXPECT_EQ(take(2), hex("64 00"));
  take(100);
  EXPECT_EQ(take(2), hex("FE FF"));
  EXPECT_EQ(take(2), hex("01 00"));
  // CLOB text of a UTF-8 database is stored in UTF-16.
  EXPECT_EQ(take(20), hex("FF FF 06 00 00 00 00 00 00 00 04 00 00 61 00 62 02 00 00 63"));
  // Row 2: both NULL, so no section and a normal row end.
  EXPECT_EQ(take(10), hex("02 00 C1 03 FE FF FE FF 00 00"));
  // Row 3: both present; the long CLOB in the long form with its chunks.
  EXPECT_EQ(take(4), hex("02 00 C1 04"));
  EXPECT_EQ(take(2), hex("64 00"));
  take(100);
  EXPECT_EQ(take(2), hex("64 00"));
  take(100);
  EXPECT_EQ(take(2), hex("01 00"));
  EXPECT_EQ(take(10), hex("FF FF 14 00 00 00 00 00 00 00"));
  EXPECT_EQ(take(30), hex("04 00 00 61 00 62 04 00 00 63 00 64 04 00 00 65 00 66 04 00 00 67 00 68 04 00 00 69 00 6A"));
  EXPECT_EQ(take(4), hex("02 00 00 01"));
  EXPECT_EQ(at, block.size());
}

TEST_F(DumpWriterStream, NationalAndFixedText) {
  TableSpec t;
  t.name = "NT";
  t.columns = {{"C", "CHAR(5)"}, {"N", "NCHAR(3)"}, {"V", "NVARCHAR2(4)"}, {"R", "ROWID"}};
  const std::string block =
      one_table(t, {{Cell::text("AB"), Cell::text("ab"), Cell::text("\xE6\x97\xA5"), Cell::text("AAAR3sAAEAAAACXAAA")}});
  EXPECT_EQ(block, hex("04 00 60 00 05 00 69 03 01 00 60 00 06 00 D0 07 02 00 01 00 08 00 D0 07 02 00 45 00 0A 00") +
                       hex("00 00 00 00") + hex("05 00") + "AB   " + hex("06 00 00 61 00 62 00 20") +
                       hex("02 00 65 E5") + hex("0A 00 00 01 1D EC 01 00 00 97 00 00") + hex("00 00"));
}

TEST_F(DumpWriterStream, ObjectColumnEntries) {
  TableSpec t;
  t.name = "SHAPES";
  t.columns = {{"ID", "NUMBER"}, {"GEOM", "\"MDSYS\".\"SDO_GEOMETRY\""}};
  const std::string block = one_table(t, {{Cell::number("1"), Cell::bytes("\x01\x02")}});
  EXPECT_EQ(block, hex("02 00 02 00 16 00 79 00 D0 07 02 00 00 00 00 05") + "MDSYS" + hex("0C") + "SDO_GEOMETRY" +
                       hex("04") + "GEOM" + hex("00 00") + hex("02 00 C1 02 02 00 01 02 00 00"));
}

TEST_F(DumpWriterStream, Partitions) {
  TableSpec t;
  t.name = "SALES";
  t.columns = {{"ID", "NUMBER(10, 0)"}, {"REGION", "VARCHAR2(10)"}};
  t.partitions = {{"P1", "100"}, {"P2", "200"}, {"P3", "MAXVALUE"}};
  {
    DumpWriter w(path("p.dmp"));
    w.begin_table(t);
    w.add_row({Cell::number("10"), Cell::text("N")});
    w.next_partition();
    w.add_row({Cell::number("150"), Cell::text("E")});
    EXPECT_THROW(w.add_row({Cell::number("1")}), DumpWriteError);
    w.end_table();  // P3 is written empty
    w.finish();
  }
  const std::string d = slurp(path("p.dmp"));
  EXPECT_NE(d.find("PARTITION BY RANGE (\"ID\" ) (PARTITION \"P1\" VALUES LESS THAN (100)"), std::string::npos);
  for (const char* p : {"P1", "P2", "P3"}) {
    const std::string stmt = std::string("\nPARTITION \"") + p + "\"\nINSERT INTO \"SALES\" PARTITION (\"" + p +
                             "\") (\"ID\", \"REGION\") VALUES (:1, :2)\n";
    EXPECT_EQ(count_of(d, stmt), 1u) << p;
  }
  EXPECT_EQ(count_of(d, hex("FF FF 0A")), 3u);
  const std::size_t p3 = d.find("PARTITION (\"P3\")");
  EXPECT_EQ(d.substr(d.find('\n', p3) + 1, 12), hex("02 00 02 00 16 00 01 00 0A 00 69 03"));
}

TEST_F(DumpWriterStream, TableStatementsAndObjects) {
  DumpOptions o;
  o.mode = ExportMode::full;
  o.user = "SYSTEM";
  {
    DumpWriter w(path("o.dmp"), o);
    TableSpec t;
    t.owner = "SCOTT";
    t.name = "DEPT";
    t.columns = {{"DEPTNO", "NUMBER(2, 0)", true}, {"DNAME", "VARCHAR2(14)"}};
    t.columns[1].default_text = "'NONE'";
    t.grants = {{"SELECT", "PUBLIC"}};
    t.indexes = {{"DEPT_IX", {"DNAME", "DEPTNO"}, false}};
    t.checks = {{"DEPT_CHK", "DEPTNO > 0"}};
    w.begin_table(t);
    w.end_table();
    t.name = "DEPT2";
    w.begin_table(t);
    w.end_table();
    w.add_view({"V1", {"A", "B"}, "SELECT 1 A, 2 B FROM DUAL"});
    w.add_source({"PROCEDURE", "P1", "PROCEDURE p1 AS\nBEGIN\n  NULL;\nEND;\n"});
    w.add_foreign_key("DEPT2", "ALTER TABLE \"DEPT2\" ADD CONSTRAINT \"FK\" FOREIGN KEY (\"DEPTNO\") REFERENCES \"DEPT\" (\"DEPTNO\") ENABLE");
    EXPECT_THROW(w.begin_table(t), DumpWriteError);
    w.finish();
  }
  const std::string d = slurp(path("o.dmp"));
  EXPECT_EQ(count_of(d, "\nCONNECT SCOTT\nTABLE \"DEPT\"\n"), 1u);
  EXPECT_EQ(count_of(d, "CONNECT "), 1u);
  EXPECT_NE(d.find("CREATE TABLE \"DEPT\" (\"DEPTNO\" NUMBER(2, 0) NOT NULL ENABLE, \"DNAME\" VARCHAR2(14) DEFAULT 'NONE')  PCTFREE"),
            std::string::npos);
  EXPECT_NE(d.find("\nGRANT SELECT ON \"DEPT\" TO \"PUBLIC\"\nCREATE INDEX \"DEPT_IX\" ON \"DEPT\" (\"DNAME\" , \"DEPTNO\" )  PCTFREE"),
            std::string::npos);
  EXPECT_NE(d.find("\nCALTER TABLE\n" + hex("FD FF 16 00") + "ALTER TABLE \"DEPT\" ADD" + hex("16 00") +
                   " CONSTRAINT \"DEPT_CHK\"" + hex("08 00") + " CHECK (" + hex("0A 00") + "DEPTNO > 0" +
                   hex("01 00") + ")" + hex("12 00") + " ENABLE NOVALIDATE" + hex("00 00 0A")),
            std::string::npos);
  EXPECT_NE(d.find("ENDTABLE\nMETRICSEviews\nCREATE VIEW \"V1\" (\"A\",\"B\") AS \n" + hex("19 00") +
                   "SELECT 1 A, 2 B FROM DUAL" + hex("00 00 0A")),
            std::string::npos);
  EXPECT_NE(d.find("CREATE FORMAT71 PROCEDURE \"P1\" \n" + hex("FD FF 07 00") + "CREATE " + hex("10 00") +
                   "PROCEDURE p1 AS\n" + hex("06 00") + "BEGIN\n" + hex("08 00") + "  NULL;\n" + hex("05 00") +
                   "END;\n" + hex("00 00 0A")),
            std::string::npos);
  EXPECT_NE(d.find("METRICSEreferential integrity constraints\nTABLE \"DEPT2\"\nALTER TABLE \"DEPT2\" ADD CONSTRAINT"),
            std::string::npos);
  EXPECT_NE(d.find("\nMETRICEEG0\nEXIT\nEXIT\n"), std::string::npos);
}

TEST_F(DumpWriterStream, RejectsBadValues) {
  DumpWriter w(path("bad.dmp"));
  EXPECT_THROW(w.add_row({Cell::null()}), DumpWriteError);
  TableSpec t;
  t.name = "B";
  t.columns = {{"V", "VARCHAR2(3)"}, {"N", "NUMBER"}, {"D", "DATE"}, {"W", "VARCHAR2(4000)"}};
  w.begin_table(t);
  EXPECT_THROW(w.begin_table(t), DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::text("abcd"), Cell::null(), Cell::null(), Cell::null()}), DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::null(), Cell::text("1x"), Cell::null(), Cell::null()}), DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::null(), Cell::null(), Cell::number("1"), Cell::null()}), DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::null(), Cell::null(), Cell::text("2020-02-30"), Cell::null()}), DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::null(), Cell::null(), Cell::null(), Cell::bytes(std::string(4001, 'x'))}),
               DumpWriteError);
  EXPECT_THROW(w.add_row({Cell::null(), Cell::null(), Cell::null()}), DumpWriteError);
  EXPECT_NO_THROW(w.add_row({Cell::text("abc"), Cell::number("1"), Cell::text("2020-02-29"),
                             Cell::bytes(std::string(4000, 'x'))}));
  w.end_table();
  TableSpec u;
  u.name = "U";
  u.columns = {{"X", "VARCHAR2"}};
  EXPECT_THROW(w.begin_table(u), DumpWriteError);
  u.columns = {{"X", "RAW"}};
  EXPECT_THROW(w.begin_table(u), DumpWriteError);
  w.finish();
  EXPECT_THROW(w.finish(), DumpWriteError);
  // Rows that threw left nothing behind: the table holds the one good row.
  const std::string block = data_block(slurp(path("bad.dmp")), "B", "ENDTABLE");
  const std::size_t descriptors = 2 + 8 + 4 + 4 + 8 + 4;
  const std::size_t row = (2 + 3) + (2 + 2) + (2 + 7) + (2 + 4000) + 2;
  EXPECT_EQ(block.size(), descriptors + row);
  EXPECT_EQ(block.substr(block.size() - 2), hex("00 00"));
}

TEST_F(DumpWriterStream, LongNames) {
  // Names of up to 128 bytes, as Oracle 12.2 and later allow.
  const std::string table(128, 'T'), column(128, 'C'), owner(128, 'O');
  TableSpec t;
  t.owner = owner;
  t.name = table;
  t.columns = {{column, "NUMBER"}, {"DOC", "CLOB"}};
  {
    DumpWriter w(path("n.dmp"));
    w.begin_table(t);
    w.add_row({Cell::number("1"), Cell::null()});
    w.finish();
  }
  const std::string d = slurp(path("n.dmp"));
  EXPECT_NE(d.find("\nCONNECT " + owner + "\nTABLE \"" + table + "\"\nCREATE TABLE \"" + table + "\" (\"" + column +
                   "\" NUMBER, \"DOC\" CLOB)"),
            std::string::npos);
  EXPECT_EQ(data_block(d, table, "ENDTABLE"),
            hex("02 00 02 00 16 00 70 00 48 00 69 03 01 00 02 00 00 00 00 00 00 03") + "DOC" + hex("00 00") +
                hex("02 00 C1 02 FE FF 00 00"));
}

TEST_F(DumpWriterStream, Volumes) {
  auto write = [&](const std::string& name, std::uint64_t volume_size) {
    DumpOptions o;
    o.volume_size = volume_size;
    o.header_len = 4096;
    DumpWriter w(path(name.c_str()), o);
    TableSpec t;
    t.name = "V";
    t.columns = {{"ID", "NUMBER"}, {"TXT", "VARCHAR2(100)"}};
    for (int i = 0; i < 2; ++i) {
      t.name = i == 0 ? "V0" : "V1";
      w.begin_table(t);
      for (int r = 0; r < 500; ++r)
        w.add_row({Cell::number(std::to_string(r)), Cell::text(std::string(static_cast<std::size_t>(r % 90), 'q'))});
      w.end_table();
    }
    return w.finish();
  };
  const WriteStats one = write("single.dmp", 0);
  ASSERT_EQ(one.volumes.size(), 1u);
  const WriteStats many = write("multi.dmp", 10000);
  ASSERT_GT(many.volumes.size(), 3u);
  EXPECT_EQ(many.volumes[1], path("multi_2.dmp"));
  const std::string single = slurp(path("single.dmp"));
  const std::string header = single.substr(0, 4096);
  std::string joined;
  for (std::size_t i = 0; i < many.volumes.size(); ++i) {
    const std::string v = slurp(many.volumes[i]);
    EXPECT_EQ(v.substr(0, 4096), header) << i;
    if (i + 1 < many.volumes.size()) EXPECT_EQ(v.size(), 10000u) << i;
    else EXPECT_LE(v.size(), 10000u);
    joined += v.substr(4096);
  }
  // The volumes continue one stream; only the final padding may differ.
  const std::string stream = single.substr(4096);
  const std::size_t end = stream.find("EXIT\nEXIT\n") + 10;
  EXPECT_EQ(joined.substr(0, end), stream.substr(0, end));
  EXPECT_EQ(joined.find_first_not_of('\0', end), std::string::npos);
  EXPECT_EQ(single.size() % 4096, 0u);
  EXPECT_EQ(many.rows, 1000u);

  DumpOptions tiny;
  tiny.volume_size = 8192;  // no room after the header
  EXPECT_THROW(DumpWriter(path("tiny.dmp"), tiny), DumpWriteError);
  EXPECT_THROW(DumpWriter((dir_ / "missing" / "x.dmp").string()), DumpWriteError);
}

}  // namespace
}  // namespace qln::dumpwriter
