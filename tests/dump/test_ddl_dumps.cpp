#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/read_capture.hpp"
#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "engine/record_run.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;

const std::string kAlpha = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Reads a dump in DDL or column-file output and keeps what went to the
// output stream.
class DumpOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::set_up_for_written_dump(g, o);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  int read(const std::string& file) {
    o.exp_fname = {file};
    o.dump_sizes.clear();
    return test_support::read_dmp_into(g, o, result, out);
  }

  bool has_message(int code, std::string_view text = {}) const {
    return test_support::has_message(g, code, text);
  }

  std::string file(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g;
  ConvOptions o;
  ReadResult result;
  std::string out;
};

class AlphaofficeDdlTest : public DumpOutputTest {
 protected:
  void SetUp() override {
    DumpOutputTest::SetUp();
    o.exp_user = "ALPHA";
    o.output_mode = kOutDdl;
    g.db_charset = 100;
    QLN_SKIP_WITHOUT_REAL_DUMP(kAlpha);
  }
};

TEST_F(AlphaofficeDdlTest, EveryKindWritesTablesIndexesConstraintsAndSources) {
  ASSERT_EQ(read(kAlpha), 0);
  EXPECT_EQ(g.message_count, 0);
  EXPECT_EQ(count_of(out, "CREATE TABLE \""), 19u);
  EXPECT_EQ(count_of(out, "CREATE UNIQUE INDEX \""), 20u);
  EXPECT_EQ(count_of(out, "CREATE SEQUENCE \""), 16u);
  EXPECT_EQ(count_of(out, "CREATE VIEW \"CUSTOMER_INFORMATION\""), 1u);
  EXPECT_EQ(count_of(out, "PROCEDURE update_stats ("), 1u);
  EXPECT_EQ(count_of(out, "FUNCTION calcTPS"), 1u);
  // Check constraints from their pieces; primary keys from ALTER TABLE.
  EXPECT_NE(out.find("ALTER TABLE \"ADDRESS_USAGES\" ADD CONSTRAINT \"ADDRESS_USAGES_CHK_EXPIRED\" "
                     "CHECK (EXPIRED_FLAG in ('Y','N')) ENABLE NOVALIDATE\n;\n\n"),
            std::string::npos);
  EXPECT_EQ(count_of(out, " CHECK ("), 10u);
  EXPECT_NE(out.find("ALTER TABLE \"ADDRESSES\" ADD  CONSTRAINT \"ADDRESSES_PK\" PRIMARY KEY"),
            std::string::npos);
  EXPECT_EQ(out.find("MODIFY DEFAULT\n"), std::string::npos);
  // Trigger text is read over, not written, and no byte of the framing shows.
  EXPECT_EQ(out.find("FOR EACH ROW"), std::string::npos);
  EXPECT_NE(out.find("ALTER TRIGGER \"ASSIGN_CUSTOMER_ID\"  DISABLE\n;\n\n"), std::string::npos);
  for (char c : out) EXPECT_TRUE(c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20) << int(c);
  // A heading laid out one column a line, ended by ";" and an empty line.
  EXPECT_NE(out.find("CREATE TABLE \"PRODUCT_IMAGES\"\n(\n\t\"PRODUCT_IMAGE_ID\" NUMBER(15,0) NOT NULL "
                     "ENABLE,\n"),
            std::string::npos);
  EXPECT_NE(out.find("\t\"OBJECT_VERSION_ID\" NUMBER(15,0) NOT NULL ENABLE\n) \nPCTFREE 10 PCTUSED 40"),
            std::string::npos);
}

TEST_F(AlphaofficeDdlTest, TableKindWritesOnlyTheTables) {
  o.ddl_kinds = kDdlTable;
  ASSERT_EQ(read(kAlpha), 0);
  EXPECT_EQ(count_of(out, "CREATE TABLE \""), 19u);
  EXPECT_EQ(count_of(out, "CREATE "), 19u);
  EXPECT_EQ(count_of(out, "ALTER "), 0u);
  EXPECT_EQ(count_of(out, "PROCEDURE"), 0u);
  // Each statement ends with ";" and an empty line.
  EXPECT_EQ(count_of(out, "\n;\n\n"), 19u);
  EXPECT_EQ(out.substr(out.size() - 4), "\n;\n\n");
}

}  // namespace
}  // namespace qln

namespace qln {
namespace {

// A schema with every kind of object the DDL output knows.
void write_schema(const std::string& file) {
  dw::DumpWriter w(file);
  dw::TableSpec t;
  t.name = "EMP";
  t.columns = {{"ID", "NUMBER(10, 2)", true}, {"NAME", "VARCHAR2(20)"}};
  t.indexes = {{"EMP_NAME_IX", {"NAME"}, false}};
  t.primary_key = {"ID"};
  t.checks = {{"EMP_ID_CHK", "ID > 0"}};
  t.grants = {{"SELECT", "PUBLIC"}};
  w.begin_table(t);
  w.add_row({Cell::number("1"), Cell::text("A")});
  w.end_table();
  w.add_view({"EMP_V", {"ID"}, "SELECT ID FROM EMP"});
  w.add_source({"PROCEDURE", "P1", "PROCEDURE p1 IS\nBEGIN\n  NULL;\nEND;\n"});
  w.add_source({"FUNCTION", "F1", "FUNCTION f1 RETURN NUMBER IS\nBEGIN\n  RETURN 1;\nEND;\n"});
  w.add_source({"PACKAGE", "PK", "PACKAGE pk IS\n  x NUMBER;\nEND;\n"});
  w.finish();
}

class WrittenDdlTest : public DumpOutputTest {
 protected:
  void SetUp() override {
    DumpOutputTest::SetUp();
    o.output_mode = kOutDdl;
    write_schema(path("schema.dmp"));
  }
};

TEST_F(WrittenDdlTest, EveryKind) {
  ASSERT_EQ(read(path("schema.dmp")), 0);
  EXPECT_EQ(g.message_count, 0);
  EXPECT_NE(out.find("CREATE TABLE \"EMP\"\n(\n\t\"ID\" NUMBER(10,2) NOT NULL ENABLE,\n"
                     "\t\"NAME\" VARCHAR2(20)\n) \n"),
            std::string::npos);
  EXPECT_NE(out.find("GRANT SELECT ON \"EMP\" TO \"PUBLIC\"\n;\n\n"), std::string::npos);
  EXPECT_NE(out.find("CREATE INDEX \"EMP_NAME_IX\" ON \"EMP\"\n(\n\t\"NAME\"\n) \n"), std::string::npos);
  EXPECT_NE(out.find("ALTER TABLE \"EMP\" ADD CONSTRAINT \"EMP_ID_CHK\" CHECK (ID > 0) ENABLE NOVALIDATE\n;\n\n"),
            std::string::npos);
  EXPECT_NE(out.find("CREATE VIEW \"EMP_V\"\n(\n\t\"ID\"\n) \nAS\nSELECT ID FROM EMP\n;\n\n"), std::string::npos);
  EXPECT_NE(out.find("PROCEDURE p1 IS\nBEGIN\n  NULL;\nEND;\n"), std::string::npos);
  EXPECT_NE(out.find("FUNCTION f1 RETURN NUMBER IS\n"), std::string::npos);
  EXPECT_NE(out.find("PACKAGE pk IS\n  x NUMBER;\nEND;\n"), std::string::npos);
  EXPECT_EQ(out.find("CREATE FORMAT"), std::string::npos);
  EXPECT_EQ(out.find("CREATE PROCEDURE"), std::string::npos);
}

TEST_F(WrittenDdlTest, ChosenKindsOnly) {
  o.ddl_kinds = kDdlPackage | kDdlView;
  ASSERT_EQ(read(path("schema.dmp")), 0);
  EXPECT_EQ(out,
            "CREATE VIEW \"EMP_V\"\n(\n\t\"ID\"\n) \nAS\nSELECT ID FROM EMP\n;\n\n"
            "PACKAGE pk IS\n  x NUMBER;\nEND;\n\n\n");
}

TEST_F(WrittenDdlTest, RowsAreNotConvertedInDdlOutput) {
  o.table_id = "EMP";
  ASSERT_EQ(read(path("schema.dmp")), 0);
  EXPECT_EQ(result.rows_written, 0);
  EXPECT_EQ(out.find("1,A"), std::string::npos);
}

// Column files from a table whose large objects stand first, in the middle
// and last.
class LobDumpTest : public DumpOutputTest {
 protected:
  void SetUp() override {
    DumpOutputTest::SetUp();
    o.output_mode = kOutLobFiles;
    o.table_id = "DOCS";
    o.lob_table_name = "DOCS";
    o.lob_dir = dir_.string() + "/";
    o.lob_fname1 = "r";
    o.lob_name_col = "ID";
    o.lob_fname2 = ".dat";
    g.db_charset = 100;  // single-byte: CLOB bytes go out as stored
  }

  std::string big(char c) const {
    std::string s;
    for (int i = 0; i < 1000; ++i) s.push_back(static_cast<char>(c + i % 7));
    return s;
  }

  // PIC BLOB, ID, DOC CLOB, NAME, LAST BLOB; a LONG RAW as well.
  void write_docs(std::uint32_t lob_chunk = 32768) {
    dw::DumpOptions opt;
    opt.lob_chunk = lob_chunk;
    opt.db_charset_id = 178;  // WE8MSWIN1252: CLOBs keep their bytes
    dw::DumpWriter w(path("docs.dmp"), opt);
    dw::TableSpec other;
    other.name = "OTHER";
    other.columns = {{"X", "NUMBER"}, {"PIC", "BLOB"}};
    w.begin_table(other);
    w.add_row({Cell::number("5"), Cell::bytes("other table")});
    w.end_table();
    dw::TableSpec t;
    t.name = "DOCS";
    t.columns = {{"PIC", "BLOB"}, {"ID", "NUMBER"}, {"DOC", "CLOB"},
                 {"NAME", "VARCHAR2(20)"}, {"LAST", "BLOB"}};
    w.begin_table(t);
    w.add_row({Cell::bytes(std::string("p1\0\xFF", 4)), Cell::number("1"), Cell::text("doc one"),
               Cell::text("keep"), Cell::bytes("last1")});
    w.add_row({Cell::null(), Cell::number("2"), Cell::text("doc two"), Cell::text("drop"),
               Cell::bytes("last2")});
    w.add_row({Cell::bytes(big('a')), Cell::number("3"), Cell::null(), Cell::text("keep"),
               Cell::bytes(big('A'))});
    w.add_row({Cell::bytes("p4"), Cell::number("4"), Cell::text(big('k')), Cell::text("keep"),
               Cell::null()});
    w.end_table();
    w.finish();
  }

  std::vector<std::string> files() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().extension() == ".dat") v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
};

TEST_F(LobDumpTest, FirstColumnTarget) {
  write_docs();
  o.lob_target_col_name = "PIC";
  ASSERT_EQ(read(path("docs.dmp")), 0) << (g.message_count ? g.messages[0] : "");
  EXPECT_EQ(files(), (std::vector<std::string>{"r1.dat", "r3.dat", "r4.dat"}));
  EXPECT_EQ(file("r1.dat"), std::string("p1\0\xFF", 4));
  EXPECT_EQ(file("r3.dat"), big('a'));
  EXPECT_EQ(file("r4.dat"), "p4");
  EXPECT_EQ(out, "");  // nothing but files
}

TEST_F(LobDumpTest, MiddleColumnTarget) {
  write_docs();
  o.lob_target_col_name = "DOC";
  ASSERT_EQ(read(path("docs.dmp")), 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"r1.dat", "r2.dat", "r4.dat"}));
  EXPECT_EQ(file("r1.dat"), "doc one");
  EXPECT_EQ(file("r2.dat"), "doc two");
  EXPECT_EQ(file("r4.dat"), big('k'));
}

TEST_F(LobDumpTest, LastColumnTargetAfterNullObjects) {
  write_docs();
  o.lob_target_col_name = "LAST";
  ASSERT_EQ(read(path("docs.dmp")), 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"r1.dat", "r2.dat", "r3.dat"}));
  EXPECT_EQ(file("r1.dat"), "last1");
  EXPECT_EQ(file("r2.dat"), "last2");
  EXPECT_EQ(file("r3.dat"), big('A'));
}

TEST_F(LobDumpTest, ObjectsInManyChunks) {
  write_docs(64);
  o.lob_target_col_name = "LAST";
  ASSERT_EQ(read(path("docs.dmp")), 0);
  EXPECT_EQ(file("r3.dat"), big('A'));
  o.lob_target_col_name = "DOC";
  ASSERT_EQ(read(path("docs.dmp")), 0);
  EXPECT_EQ(file("r4.dat"), big('k'));
}

TEST_F(LobDumpTest, RowsRejectedByGrepWriteNoFile) {
  write_docs();
  o.lob_target_col_name = "LAST";
  o.is_grep = kYes;
  o.grep_text = "keep";
  ASSERT_EQ(read(path("docs.dmp")), 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"r1.dat", "r3.dat"}));
}

TEST_F(LobDumpTest, FileNamedAfterTheFirstColumnWithoutPattern) {
  write_docs();
  o.lob_target_col_name = "DOC";
  o.lob_name_col.clear();
  o.lob_fname1.clear();
  o.lob_fname2 = ".dat";
  o.lob_table_name.clear();
  ASSERT_EQ(read(path("docs.dmp")), 0);
  // The first column is the BLOB itself: its placeholder names the files,
  // the later one numbered instead of overwriting the first.
  EXPECT_EQ(files(), (std::vector<std::string>{"%%BLOB%%_1.dat", "%%BLOB%%_1_2.dat"}));
  EXPECT_EQ(file("%%BLOB%%_1.dat"), "doc one");
  EXPECT_EQ(file("%%BLOB%%_1_2.dat"), big('k'));
}

TEST_F(LobDumpTest, OtherTableNamedIs3113) {
  write_docs();
  o.lob_target_col_name = "DOC";
  o.lob_table_name = "OTHER";
  EXPECT_EQ(read(path("docs.dmp")), -1);
  EXPECT_TRUE(has_message(3113, "DOC"));
  EXPECT_TRUE(files().empty());
}

TEST_F(LobDumpTest, TargetThatIsNoLargeObjectIs3113) {
  write_docs();
  o.lob_target_col_name = "NAME";
  EXPECT_EQ(read(path("docs.dmp")), -1);
  EXPECT_TRUE(has_message(3113, "NAME"));
  EXPECT_TRUE(files().empty());
}

TEST_F(LobDumpTest, MissingNamingColumnIs3113) {
  write_docs();
  o.lob_target_col_name = "DOC";
  o.lob_name_col = "NOPE";
  EXPECT_EQ(read(path("docs.dmp")), -1);
  EXPECT_TRUE(has_message(3113, "NOPE"));
}

TEST_F(LobDumpTest, ClobOfAMultibyteDatabaseIsWrittenAsOutputText) {
  g.db_charset = kCharsetUtf8;
  dw::DumpWriter w(path("u.dmp"));
  dw::TableSpec t;
  t.name = "DOCS";
  t.columns = {{"ID", "NUMBER"}, {"DOC", "CLOB"}};
  w.begin_table(t);
  // The database keeps the CLOB as UTF-16 big-endian: "aあ".
  w.add_row({Cell::number("7"), Cell::bytes(std::string("\x00\x61\x30\x42", 4))});
  w.end_table();
  w.finish();
  o.lob_target_col_name = "DOC";
  ASSERT_EQ(read(path("u.dmp")), 0);
  EXPECT_EQ(file("r7.dat"), "a\xE3\x81\x82");
}

}  // namespace
}  // namespace qln
