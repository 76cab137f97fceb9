#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "output/lob_files.hpp"
#include "values/value_format.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;

ColumnDef column(std::string name, std::int32_t type) {
  ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  return c;
}

bool has_message(const GlobalParams& g, int code, std::string_view text = {}) {
  char tag[16];
  std::snprintf(tag, sizeof tag, "%05d", code);
  for (int i = 0; i < g.message_count; ++i) {
    const std::string& m = g.messages[static_cast<std::size_t>(i)];
    if (m.find(tag) != std::string::npos && m.find(text) != std::string::npos) return true;
  }
  return false;
}

std::span<const std::uint8_t> bytes_of(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(LobPattern, SplitsAroundTheColumnName) {
  GlobalParams g;
  ConvOptions o;
  ASSERT_EQ(split_lob_pattern(g, o, "IMG_%ID%.jpg"), 0);
  EXPECT_EQ(o.lob_fname1, "IMG_");
  EXPECT_EQ(o.lob_name_col, "ID");
  EXPECT_EQ(o.lob_fname2, ".jpg");

  ASSERT_EQ(split_lob_pattern(g, o, "plain.bin"), 0);
  EXPECT_EQ(o.lob_fname1, "");
  EXPECT_EQ(o.lob_name_col, "");
  EXPECT_EQ(o.lob_fname2, "");

  ASSERT_EQ(split_lob_pattern(g, o, "%NAME%"), 0);
  EXPECT_EQ(o.lob_fname1, "");
  EXPECT_EQ(o.lob_name_col, "NAME");
  EXPECT_EQ(o.lob_fname2, "");

  EXPECT_EQ(split_lob_pattern(g, o, "x%" + std::string(kMaxNameLen + 1, 'C') + "%"), -1);
  EXPECT_EQ(split_lob_pattern(g, o, "x%" + std::string(kMaxNameLen, 'C') + "%.y"), 0);
}

TEST(LobPattern, MultibyteCharactersAreSteppedOver) {
  GlobalParams g;
  g.os_charset = kCharsetEucJp;
  ConvOptions o;
  // 0xA5 0x25 is no EUC-JP pair ending in "%": 0xA5 leads a two-byte
  // character, so its second byte is never taken for the mark.
  const std::string pattern = std::string("\xA5\x25") + "%ID%";
  ASSERT_EQ(split_lob_pattern(g, o, pattern), 0);
  EXPECT_EQ(o.lob_fname1, "\xA5\x25");
  EXPECT_EQ(o.lob_name_col, "ID");
}

class LobColumnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    o.output_mode = kOutLobFiles;
    o.lob_target_col_name = "DOC";
    table.table_name = "T";
    table.columns = {column("ID", kColNumber), column("RAWLONG", kColLongRaw),
                     column("PIC", kColBlob), column("TXT", kColNclob),
                     column("DOC", kColClob), column("NAME", kColVarchar2)};
  }
  GlobalParams g;
  ConvOptions o;
  TableDefinition table;
  int count = -1;
  int pos = -2;
};

TEST_F(LobColumnsTest, TargetCountsAmongTheLargeObjectSectionColumns) {
  o.lob_name_col = "NAME";
  ASSERT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(count, 3);  // PIC, TXT, DOC; LONG RAW is no such column
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(o.lob_name_col_idx, 5);
}

TEST_F(LobColumnsTest, NamesMatchWithoutRegardToCase) {
  o.lob_target_col_name = "pic";
  o.lob_name_col = "id";
  ASSERT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(o.lob_name_col_idx, 0);
}

TEST_F(LobColumnsTest, OtherTableOrOtherModeFindsNothing) {
  o.lob_table_name = "OTHER";
  ASSERT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(pos, -1);
  o.lob_table_name = "t";
  ASSERT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(pos, 2);
  o.output_mode = kOutCsv;
  ASSERT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(g.message_count, 0);
}

TEST_F(LobColumnsTest, MissingNamingColumnIs3113) {
  o.lob_name_col = "NOPE";
  EXPECT_EQ(find_lob_columns(g, o, table, "T", count, pos), -1);
  EXPECT_TRUE(has_message(g, 3113, "NOPE"));
}

TEST_F(LobColumnsTest, MissingNamingColumnInATableWithoutTheTargetIsNoFailure) {
  o.lob_name_col = "NOPE";
  o.lob_target_col_name = "ABSENT";
  EXPECT_EQ(find_lob_columns(g, o, table, "T", count, pos), 0);
  EXPECT_EQ(pos, -1);
}

TEST_F(LobColumnsTest, TargetThatIsNoLargeObjectIs3113) {
  o.lob_table_name = "T";
  o.lob_target_col_name = "RAWLONG";
  EXPECT_EQ(find_lob_columns(g, o, table, "T", count, pos), -1);
  EXPECT_TRUE(has_message(g, 3113, "RAWLONG"));
}

TEST(LobPath, ValueBetweenPrefixAndSuffix) {
  ConvOptions o;
  o.out_charset = kCharsetUtf8;
  o.lob_dir = "/out/";
  o.lob_fname1 = "IMG_";
  o.lob_fname2 = ".jpg";
  o.lob_name_col_idx = 1;
  RowValues row;
  row.add_text("1");
  row.add_text("  photo 7 ");
  std::string path;
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, "/out/IMG_photo 7.jpg");

  o.lob_name_col_idx = -1;  // no naming column: the first column
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, "/out/IMG_1.jpg");
  o.lob_name_col_idx = 1001;
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, "/out/IMG_1.jpg");
}

TEST(LobPath, ValueCannotLeaveTheFolder) {
  ConvOptions o;
  o.out_charset = kCharsetUtf8;
  o.lob_dir = "/out/";
  o.lob_name_col_idx = 0;
  RowValues row;
  row.add_text("../../etc/passwd");
  std::string path;
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, "/out/______etc_passwd");
  row.clear();
  row.add_text("C:\\x\\...y");
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, "/out/C__x___.y");
}

TEST(LobPath, ShiftJisTrailBytesAreNoSeparators) {
  ConvOptions o;
  o.out_charset = kCharsetSjis;
  o.lob_name_col_idx = 0;
  RowValues row;
  const std::string hyo = "\x95\x5C";  // a kanji whose trail byte is a backslash
  row.add_text(hyo + "\\a");
  std::string path;
  ASSERT_EQ(make_lob_path(o, row, path), 0);
  EXPECT_EQ(path, hyo + "_a");
}

TEST(LobPath, PathLongerThanThePathLimitFails) {
  ConvOptions o;
  o.lob_dir = std::string(kMaxPathLen - 3, 'd');
  o.lob_name_col_idx = 0;
  RowValues row;
  row.add_text("abc");
  std::string path;
  EXPECT_EQ(make_lob_path(o, row, path), 0);
  row.clear();
  row.add_text("abcd");
  EXPECT_EQ(make_lob_path(o, row, path), -1);
}

class LobWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    o.output_mode = kOutLobFiles;
    o.out_charset = kCharsetUtf8;
    o.lob_dir = dir_.string() + "/";
    o.lob_fname1 = "f_";
    o.lob_fname2 = ".bin";
    o.lob_name_col = "ID";
    o.lob_target_col_name = "B";
    table.table_name = "T";
    table.columns = {column("ID", kColNumber), column("A", kColClob), column("B", kColBlob)};
  }

  std::string file(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool exists(const std::string& name) const { return fs::exists(dir_ / name); }

  void row(std::string_view id) {
    values.clear();
    values.add_text(id);
    values.add_text("%%CLOB%%_2");
    values.add_text("%%BLOB%%_3");
  }

  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g;
  ConvOptions o;
  TableDefinition table;
  RowValues values;
  LobFileWriter w{[](const std::string& p) { return std::fopen(p.c_str(), "wb"); }};
};

TEST_F(LobWriterTest, ChunksOfTheTargetGoToTheRowsFile) {
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  EXPECT_EQ(w.target_column(), 2);
  EXPECT_EQ(o.lob_target_col_idx, 1);
  const std::string bin("\x00\x01\xFF\r\n", 5);

  row("1");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of("clob text")), 0);  // not the target
  ASSERT_EQ(w.write_chunk(g, 2, bytes_of(bin)), 0);
  ASSERT_EQ(w.write_chunk(g, 2, bytes_of("tail")), 0);
  ASSERT_EQ(w.end_row(g), 0);

  row("2");  // NULL target: no chunk, no file
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.end_row(g), 0);

  row("3");  // rejected row
  ASSERT_EQ(w.begin_row(g, o, values, false), 0);
  EXPECT_FALSE(w.wants(2));
  ASSERT_EQ(w.write_chunk(g, 2, bytes_of("no")), 0);
  ASSERT_EQ(w.end_row(g), 0);

  row("4");  // an empty value still has its (empty) file
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 2, {}), 0);
  ASSERT_EQ(w.end_row(g), 0);

  EXPECT_EQ(file("f_1.bin"), bin + "tail");
  EXPECT_FALSE(exists("f_2.bin"));
  EXPECT_FALSE(exists("f_3.bin"));
  EXPECT_TRUE(exists("f_4.bin"));
  EXPECT_EQ(file("f_4.bin"), "");
  EXPECT_EQ(w.finish(g, o), 0);
  EXPECT_EQ(g.message_count, 0);
}

TEST_F(LobWriterTest, EqualNamesRecreateTheFile) {
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  for (std::string_view content : {"first, longer", "second"}) {
    row("same");
    ASSERT_EQ(w.begin_row(g, o, values, true), 0);
    ASSERT_EQ(w.write_chunk(g, 2, bytes_of(content)), 0);
    ASSERT_EQ(w.end_row(g), 0);
  }
  EXPECT_EQ(file("f_same.bin"), "second");
}

TEST_F(LobWriterTest, NothingWrittenIs3113AtTheEnd) {
  o.lob_table_name = "OTHER";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  row("1");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 2, bytes_of("x")), 0);
  ASSERT_EQ(w.end_row(g), 0);
  EXPECT_FALSE(exists("f_1.bin"));
  EXPECT_EQ(w.finish(g, o), -1);
  EXPECT_TRUE(has_message(g, 3113, "B"));
}

TEST_F(LobWriterTest, UnopenableFileIs3131) {
  o.lob_dir = (dir_ / "missing").string() + "/";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  row("1");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  EXPECT_EQ(w.write_chunk(g, 2, bytes_of("x")), -1);
  EXPECT_TRUE(has_message(g, 3131));
}

TEST_F(LobWriterTest, ClobOfAMultibyteDatabaseBecomesOutputText) {
  g.db_charset = kCharsetUtf8;
  o.lob_target_col_name = "A";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  EXPECT_EQ(w.target_column(), 1);
  // "aあ😀" in UTF-16BE, cut inside the code unit of "あ" and inside the
  // surrogate pair.
  const std::string utf16("\x00\x61\x30\x42\xD8\x3D\xDE\x00", 8);
  row("9");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of(utf16.substr(0, 3))), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of(utf16.substr(3, 3))), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of(utf16.substr(6))), 0);
  ASSERT_EQ(w.end_row(g), 0);
  EXPECT_EQ(file("f_9.bin"), "a\xE3\x81\x82\xF0\x9F\x98\x80");
}

TEST_F(LobWriterTest, ClobOfASingleByteDatabaseKeepsItsBytes) {
  g.db_charset = 100;  // WE8MSWIN1252: no conversion of its own
  o.lob_target_col_name = "A";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  row("9");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of("caf\xE9")), 0);
  ASSERT_EQ(w.end_row(g), 0);
  EXPECT_EQ(file("f_9.bin"), "caf\xE9");
}

TEST_F(LobWriterTest, ClobOfAWindowsLatinDatabaseBecomesOutputText) {
  g.db_charset = charset_from_oracle_id(178);  // WE8MSWIN1252
  o.lob_target_col_name = "A";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  row("9");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  // Every byte is a whole character, so chunks may end anywhere.
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of("caf\xE9 ")), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of("\x80\xBF")), 0);
  ASSERT_EQ(w.end_row(g), 0);
  EXPECT_EQ(file("f_9.bin"), "caf\xC3\xA9 \xE2\x82\xAC\xC2\xBF");
}

TEST_F(LobWriterTest, NclobToShiftJis) {
  g.nls_charset = kCharsetUtf16;
  g.db_charset = 100;
  o.is_to_sjis = kYes;
  table.columns[1].type = kColNclob;
  o.lob_target_col_name = "A";
  ASSERT_EQ(w.begin_table(g, o, table), 0);
  row("9");
  ASSERT_EQ(w.begin_row(g, o, values, true), 0);
  ASSERT_EQ(w.write_chunk(g, 1, bytes_of(std::string("\x00\x41\x30\x42", 4))), 0);
  ASSERT_EQ(w.end_row(g), 0);
  EXPECT_EQ(file("f_9.bin"), "A\x82\xA0");
}

}  // namespace
}  // namespace qln
