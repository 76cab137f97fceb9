// Data Pump dumps of our own writer: every form of the row stream the real
// dumps show, read back through the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "datapump_test_support.hpp"
#include "dumpwriter/datapump_writer.hpp"
#include "support/temp_dir.hpp"
#include "support/read_capture.hpp"

namespace qln {
namespace {

using namespace test_support;
using namespace dumpwriter;

// Bytes of the large objects of each row, by table column.
class LobTexts : public RowTexts, public DataPumpLobSink {
 public:
  using RowTexts::RowTexts;
  DataPumpLobSink* lob_sink() override { return this; }
  bool wants(int) const override { return true; }
  bool chunk(int col, std::span<const std::uint8_t> b) override {
    lobs[{lines.size() - 1, col}].append(reinterpret_cast<const char*>(b.data()), b.size());
    return true;
  }
  std::map<std::pair<std::size_t, int>, std::string> lobs;
};

struct Opened {
  GlobalParams g;
  DataPumpDump dump;
  int rc = 0;
  explicit Opened(const std::vector<std::string>& files) {
    g.db_charset = kCharsetUtf8;
    g.nls_charset = kCharsetUtf16;
    rc = dump.open(g, files);
  }
  std::vector<std::string> rows(std::string_view owner, std::string_view name, int* result = nullptr) {
    const DataPumpTableEntry* t = find_table(dump, owner, name);
    if (t == nullptr) return {"##MISSING##"};
    RowTexts texts(g, t->table);
    std::int64_t n = 0;
    int r = dump.read_rows(g, table_index(dump, t), texts, n);
    if (result != nullptr) *result = r;
    else EXPECT_EQ(r, 0) << name;
    return texts.lines;
  }
};

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, std::uint32_t ns = 0) {
  DateTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s, t.nanos = ns;
  return t;
}

TableSpec types_table() {
  TableSpec t;
  t.owner = "QUILLON";
  t.name = "TYPES";
  t.columns = {{"ID", "NUMBER(6,0)", true}, {"C", "CHAR(4)"}, {"NC", "NCHAR(3)"}, {"V", "VARCHAR2(20 CHAR)"},
               {"NV", "NVARCHAR2(10)"}, {"D", "DATE"}, {"TS", "TIMESTAMP(3)"},
               {"TZ", "TIMESTAMP(6) WITH TIME ZONE"}, {"LTZ", "TIMESTAMP(6) WITH LOCAL TIME ZONE"},
               {"YM", "INTERVAL YEAR(3) TO MONTH"}, {"DS", "INTERVAL DAY(2) TO SECOND(6)"},
               {"BF", "BINARY_FLOAT"}, {"BD", "BINARY_DOUBLE"}, {"R", "RAW(8)"}, {"CL", "CLOB"},
               {"NCL", "NCLOB"}, {"BL", "BLOB"}, {"F", "FLOAT(126)"}, {"OBJ", "\"MDSYS\".\"SDO_GEOMETRY\""},
               {"J", "JSON"}, {"TZR", "TIMESTAMP(0) WITH TIME ZONE"}, {"TZX", "TIMESTAMP(2) WITH TIME ZONE"}};
  return t;
}

std::vector<Cell> types_row(int id, bool with_lobs) {
  return {Cell::number(std::to_string(id)), Cell::text("ab"), Cell::text("xy"), Cell::text("héllo"),
          Cell::text("日本"), Cell::text("2024-02-29 23:59:58"), Cell::date(at(1999, 12, 31, 1, 2, 3, 456000000)),
          Cell::bytes(encode_timestamp_tz(at(2024, 1, 1, 9, 30, 0, 123456000), 9 * 60)),
          Cell::text("2020-06-30 12:00:00.5"), Cell::bytes(encode_interval_ym(-1, -6)),
          Cell::bytes(encode_interval_ds(3, 4, 5, 6, 700000000)), Cell::bytes(encode_binary_float(-1.5f)),
          Cell::bytes(encode_binary_double(0.1)), Cell::bytes(std::string("\x01\xAB", 2)),
          with_lobs ? Cell::text("clob text") : Cell::null(), with_lobs ? Cell::text("ñ") : Cell::null(),
          with_lobs ? Cell::bytes(std::string(5, '\x7F')) : Cell::null(), Cell::number("-0.25"),
          Cell::bytes("\x01\x02"), Cell::null(),
          // Region zones: UTC by name; one without a known name keeps UTC and its id.
          Cell::bytes(encode_timestamp_tz_region(at(2024, 1, 1, 0, 30), 5121)),
          Cell::bytes(encode_timestamp_tz_region(at(2024, 7, 1, 22, 0, 0, 990000000), 1234))};
}

const std::string kTypesLine =
    "ab  |xy |héllo|日本|2024/02/29 23:59:58|1999/12/31 01:02:03.456000000|2024/01/01 09:30:00.123456 +09:00|"
    "2020/06/30 12:00:00.500000000|-001-06|+03 04:05:06.700000|-1.5|0.1|0x01ab|";

TEST(DataPumpWritten, EveryTypeInEveryRowForm) {
  TempDir dir;
  struct Form {
    DataPumpRelease release;
    bool inline_lobs;
    int per_piece;
    std::size_t split;
  };
  for (const Form f : {Form{DataPumpRelease::v12_1, false, 1, 65520}, Form{DataPumpRelease::v23_6, false, 2, 24396},
                       Form{DataPumpRelease::v12_1, true, 1, 7}, Form{DataPumpRelease::v23_6, true, 2, 3}}) {
    SCOPED_TRACE(f.split);
    const std::string path = dir.file("types.dmp");
    {
      DataPumpOptions o;
      o.release = f.release;
      o.lobs_inline = f.inline_lobs;
      o.lobs_per_piece = f.per_piece;
      o.split_size = f.split;
      o.xml_padding = 20000;  // descriptions over several blocks
      DataPumpWriter w(path, o);
      int t = w.add_table(types_table());
      w.begin_segment(t);
      w.add_row(types_row(1, true));
      w.add_row(types_row(2, false));
      std::vector<Cell> third(22, Cell::null());
      third[0] = Cell::number("3");
      third[16] = Cell::bytes(std::string(100000, 'b'));
      w.add_row(third);
      w.end_segment();
      w.finish();
    }
    Opened d({path});
    ASSERT_EQ(d.rc, 0);
    EXPECT_TRUE(d.dump.damage().empty());
    const DataPumpTableEntry* t = find_table(d.dump, "QUILLON", "TYPES");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->master_rows, 3);
    LobTexts texts(d.g, t->table);
    std::int64_t n = 0;
    ASSERT_EQ(d.dump.read_rows(d.g, table_index(d.dump, t), texts, n), 0);
    ASSERT_EQ(texts.lines.size(), 3u);
    const std::string zones = "|2024/01/01 00:30:00 UTC|2024/07/01 22:00:00.99 UTC region#1234";
    EXPECT_EQ(texts.lines[0], "1|" + kTypesLine + "%%CLOB%%_15|%%NCLOB%%_16|%%BLOB%%_17|-0.25|%%NOT_SUPPORT%%|" + zones);
    EXPECT_EQ(texts.lines[1], "2|" + kTypesLine + "|||-0.25|%%NOT_SUPPORT%%|" + zones);
    EXPECT_EQ(texts.lines[2], "3||||||||||||||||%%BLOB%%_17|||||");
    // Large objects reach the sink whole, CLOB and NCLOB as UTF-16.
    EXPECT_EQ(texts.lobs[std::make_pair(std::size_t{0}, 14)], utf8_to_utf16be("clob text"));
    EXPECT_EQ(texts.lobs[std::make_pair(std::size_t{0}, 15)], utf8_to_utf16be("ñ"));
    EXPECT_EQ(texts.lobs[std::make_pair(std::size_t{0}, 16)], std::string(5, '\x7F'));
    EXPECT_TRUE(texts.lobs[std::make_pair(std::size_t{2}, 16)] == std::string(100000, 'b'));
    EXPECT_EQ(texts.lobs.size(), 4u);
    EXPECT_EQ(create_table_statement(t->table),
              "CREATE TABLE \"QUILLON\".\"TYPES\" (\"ID\" NUMBER(6,0) NOT NULL ENABLE, \"C\" CHAR(4 BYTE), "
              "\"NC\" NCHAR(3), \"V\" VARCHAR2(20 CHAR), \"NV\" NVARCHAR2(10), \"D\" DATE, \"TS\" TIMESTAMP (3), "
              "\"TZ\" TIMESTAMP (6) WITH TIME ZONE, \"LTZ\" TIMESTAMP (6) WITH LOCAL TIME ZONE, "
              "\"YM\" INTERVAL YEAR (3) TO MONTH, \"DS\" INTERVAL DAY (2) TO SECOND (6), \"BF\" BINARY_FLOAT, "
              "\"BD\" BINARY_DOUBLE, \"R\" RAW(8), \"CL\" CLOB, \"NCL\" NCLOB, \"BL\" BLOB, \"F\" FLOAT(126), "
              "\"OBJ\" \"MDSYS\".\"SDO_GEOMETRY\", \"J\" JSON, \"TZR\" TIMESTAMP (0) WITH TIME ZONE, "
              "\"TZX\" TIMESTAMP (2) WITH TIME ZONE)");
    // Every cut of a description is refused without harm; only the whole one reads.
    std::string xml;
    ASSERT_TRUE(read_segment_xml(DumpFile(path), d.dump.segments()[t->segments[0]], xml));
    DataPumpTable parsed;
    std::string why;
    for (std::size_t n = 0; n < xml.size(); n += 1 + n % 7)
      EXPECT_FALSE(parse_table_metadata(std::string_view(xml).substr(0, n), parsed, why)) << n;
    EXPECT_TRUE(parse_table_metadata(xml, parsed, why)) << why;
  }
}

}  // namespace
}  // namespace qln

namespace qln {
namespace {

using namespace test_support;
using namespace dumpwriter;

TableSpec table_of(std::string owner, std::string name, std::vector<ColumnSpec> columns) {
  TableSpec t;
  t.owner = std::move(owner);
  t.name = std::move(name);
  t.columns = std::move(columns);
  return t;
}

std::string hex_run(std::string_view byte, int n) {
  std::string out = "0x";
  for (int i = 0; i < n; ++i) out += byte;
  return out;
}

std::vector<std::string> table_names(const DataPumpDump& d) {
  std::vector<std::string> out;
  for (const DataPumpTableEntry& t : d.tables())
    out.push_back(t.owner + "." + t.name + ":" + std::to_string(t.master_rows) + "/" +
                  std::to_string(t.segments.size()));
  return out;
}

// Partitions of one table between other tables' segments, over two files;
// two owners with one table name; 128-byte and quoted names; an empty table.
TEST(DataPumpWritten, TablesFromSegmentsInterleavedOverFiles) {
  TempDir dir;
  const std::string long_name(128, 'N');
  const std::vector<std::string> files = {dir.file("a.dmp"), dir.file("b.dmp")};
  for (DataPumpRelease release : {DataPumpRelease::v12_1, DataPumpRelease::v23_6}) {
    {
      DataPumpOptions o;
      o.release = release;
      DataPumpWriter w(files, o);
      TableSpec sales = table_of("A", "SALES", {{"ID", "NUMBER(4)"}, {"REGION", "VARCHAR2(10)"}});
      sales.partitions = {{"P1"}, {"P2"}, {"P3"}};
      const int s = w.add_table(sales);
      const int other = w.add_table(table_of("B", "SALES", {{"X", "VARCHAR2(5)"}}));
      const int odd = w.add_table(table_of(long_name, "Q\"T<&>", {{long_name, "NUMBER"}}));
      w.add_table(table_of("A", "EMPTY", {{"X", "NUMBER"}}));
      w.begin_segment(s, "P1");
      w.add_row({Cell::number("1"), Cell::text("north")});
      w.add_row({Cell::number("2"), Cell::null()});
      w.end_segment();
      w.begin_segment(other);
      w.add_row({Cell::text("b1")});
      w.end_segment();
      w.begin_segment(s, "P2");  // a partition without rows
      w.end_segment();
      w.next_volume();
      w.begin_segment(odd);
      w.add_row({Cell::number("7")});
      w.end_segment();
      w.begin_segment(s, "P3");
      w.add_row({Cell::number("3"), Cell::text("south")});
      w.end_segment();
      w.finish();
    }
    Opened d(files);
    ASSERT_EQ(d.rc, 0);
    EXPECT_TRUE(d.dump.damage().empty());
    EXPECT_EQ(table_names(d.dump), (std::vector<std::string>{"A.SALES:3/3", "B.SALES:1/1",
                                                             long_name + ".Q\"T<&>:1/1", "A.EMPTY:0/0"}));
    EXPECT_EQ(find_table(d.dump, "A", "SALES")->partitions, (std::vector<std::string>{"P1", "P2", "P3"}));
    EXPECT_EQ(d.rows("A", "SALES"), (std::vector<std::string>{"1|north", "2|", "3|south"}));
    EXPECT_EQ(d.rows("B", "SALES"), (std::vector<std::string>{"b1"}));
    EXPECT_EQ(d.rows(long_name, "Q\"T<&>"), (std::vector<std::string>{"7"}));
    EXPECT_EQ(find_table(d.dump, long_name, "Q\"T<&>")->table.definition.columns[0].name, long_name);
    EXPECT_EQ(d.rows("A", "EMPTY"), std::vector<std::string>{});
    // An empty table is described by the master table alone.
    EXPECT_EQ(create_table_statement(find_table(d.dump, "A", "EMPTY")->table),
              "CREATE TABLE \"A\".\"EMPTY\" (\"X\" NUMBER)");

    // Without its second file the dump lacks the master table; without its
    // first, rows the master table counts: both are named.
    Opened first({files[0]});
    ASSERT_EQ(first.rc, 0);
    EXPECT_EQ(first.rows("A", "SALES"), (std::vector<std::string>{"1|north", "2|"}));
    EXPECT_EQ(first.dump.damage(), std::vector<std::string>{"SYS.SYS_EXPORT_SCHEMA_01 missing"});
    Opened second({files[1]});
    ASSERT_EQ(second.rc, 0);
    int result = 0;
    EXPECT_EQ(second.rows("A", "SALES", &result), (std::vector<std::string>{"3|south"}));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(has_message(second.g, 3112, "A.SALES 1/3 rows"));
  }
}

// Columns described in an order other than the rows', hidden, invisible
// and virtual columns, an XMLTYPE's unlisted storage, over 255 columns.
TEST(DataPumpWritten, ValuesFindTheirColumns) {
  TempDir dir;
  const std::string path = dir.file("cols.dmp");
  TableSpec t = table_of("Q", "COLS",
                     {{"A", "NUMBER"}, {"B", "VARCHAR2(5)"}, {"DOC", "CLOB"}, {"C", "NUMBER"},
                      {"HIDDEN_ATTR", "NUMBER"}, {"INVIS", "VARCHAR2(5)"}, {"VIRT", "NUMBER"},
                      {"X", "XMLTYPE"}, {"L", "LONG"}});
  DataPumpTableExtras e;
  e.segcol = {3, 1, 2, 4, 5, 6, 0, 0, 7};
  e.col_num = {1, 2, 3, 4, 0, 0, 5, 6, 7};
  e.property = {0, 0, 0, 0, 32 | 1, 32 | 0x400000000ULL, 65544, 0, 0};
  e.col_list_reversed = true;
  TableSpec wide = table_of("Q", "WIDE", {});
  for (int i = 0; i < 300; ++i) wide.columns.push_back({"C" + std::to_string(i), "VARCHAR2(4000)"});
  {
    DataPumpOptions o;
    o.split_size = 1000;
    DataPumpWriter w(path, o);
    const int c = w.add_table(t, e);
    w.begin_segment(c);
    w.add_row({Cell::number("1"), Cell::text("b"), Cell::text("doc"), Cell::number("3"), Cell::number("99"),
               Cell::text("inv"), Cell::number("5"), Cell::bytes("<x/>"), Cell::text(std::string(9000, 'L'))});
    w.add_row({Cell::number("2"), Cell::null(), Cell::null(), Cell::null(), Cell::null(), Cell::null(),
               Cell::null(), Cell::null(), Cell::null()});
    w.end_segment();
    const int ww = w.add_table(wide);
    w.begin_segment(ww);
    std::vector<Cell> cells(300, Cell::null());
    cells[0] = Cell::text("first");
    cells[254] = Cell::text(std::string(3000, 'x'));
    cells[280] = Cell::text("late");
    w.add_row(cells);
    w.end_segment();
    w.finish();
  }
  Opened d({path});
  ASSERT_EQ(d.rc, 0);
  const DataPumpTableEntry* cols = find_table(d.dump, "Q", "COLS");
  std::string names;
  for (const ColumnDef& c : cols->table.definition.columns) names += c.name + ",";
  // Shown: the visible columns by column number, the invisible one last;
  // not the hidden attribute, not the virtual column.
  EXPECT_EQ(names, "A,B,DOC,C,X,L,INVIS,");
  // A LONG shows its first bytes.
  EXPECT_EQ(d.rows("Q", "COLS"), (std::vector<std::string>{"1|b|%%CLOB%%_3|3|%%NOT_SUPPORT%%|" + hex_run("4c", 20) + "|inv",
                                                           "2||||%%NOT_SUPPORT%%||"}));
  std::vector<std::string> wide_rows = d.rows("Q", "WIDE");
  ASSERT_EQ(wide_rows.size(), 1u);
  EXPECT_EQ(wide_rows[0], "first" + std::string(254, '|') + std::string(3000, 'x') + std::string(26, '|') + "late" +
                              std::string(19, '|'));
}

}  // namespace
}  // namespace qln

namespace qln {
namespace {

using namespace test_support;
using namespace dumpwriter;

void write_small_dump(const std::string& path, DataPumpRelease release, bool inline_lobs) {
  DataPumpOptions o;
  o.release = release;
  o.split_size = 7;
  o.lobs_inline = inline_lobs;
  DataPumpWriter w(path, o);
  TableSpec t;
  t.owner = "Q";
  t.name = "T";
  t.columns = {{"ID", "NUMBER"}, {"S", "VARCHAR2(40)"}, {"C", "CLOB"}, {"B", "BLOB"}};
  const int n = w.add_table(t);
  w.begin_segment(n);
  w.add_row({Cell::number("1"), Cell::text("a value split over pieces"), Cell::text("lob"), Cell::null()});
  w.add_row({Cell::number("2"), Cell::null(), Cell::null(), Cell::null()});
  w.add_row({Cell::number("3"), Cell::text("x"), Cell::null(), Cell::bytes("0123456789")});
  w.end_segment();
  w.finish();
}

// The dump cut at every byte of a table's rows: the intact rows come, then
// a numbered message; nothing hangs or crashes, and no cut goes unnoticed.
TEST(DataPumpWritten, CutAtEveryByteOfTheRows) {
  TempDir dir;
  for (DataPumpRelease release : {DataPumpRelease::v12_1, DataPumpRelease::v23_6}) {
    for (bool inline_lobs : {false, true}) {
      const std::string whole = dir.file("whole.dmp");
      write_small_dump(whole, release, inline_lobs);
      std::string bytes = read_file(whole);
      Opened full({whole});
      ASSERT_EQ(full.rc, 0);
      const DataPumpSegment seg = full.dump.segments()[full.dump.tables()[0].segments[0]];
      const std::vector<std::string> all = full.rows("Q", "T");
      ASSERT_EQ(all.size(), 3u);
      std::int64_t rows_end = seg.rows_offset;
      while (static_cast<unsigned char>(bytes[static_cast<std::size_t>(rows_end)]) != 0 || rows_end < seg.rows_offset + 40)
        ++rows_end;  // the rows end where zero padding begins (no row piece starts with 0)
      for (std::int64_t cut = seg.rows_offset; cut <= rows_end; ++cut) {
        SCOPED_TRACE(cut);
        const std::string path = dir.write("cut.dmp", std::string_view(bytes).substr(0, static_cast<std::size_t>(cut)));
        Opened d({path});
        ASSERT_EQ(d.rc, 0);
        int result = 0;
        std::vector<std::string> rows = d.rows("Q", "T", &result);
        ASSERT_LE(rows.size(), all.size());
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), all.begin()));
        // Always named: the cut rows, or the master table that is lost.
        EXPECT_FALSE(d.dump.damage().empty());
        if (release == DataPumpRelease::v12_1 && cut < rows_end) {
          EXPECT_EQ(result, -1);
          EXPECT_TRUE(has_message(d.g, 3112, "Q.T "));
        }
      }
    }
  }
}

// Damaged bytes anywhere after the header: never a crash or a hang.
TEST(DataPumpWritten, DamagedBytesEndCleanly) {
  TempDir dir;
  const std::string whole = dir.file("whole.dmp");
  write_small_dump(whole, DataPumpRelease::v23_6, false);
  const std::string bytes = read_file(whole);
  std::mt19937 rnd(7);
  constexpr std::size_t kSegments = 3 * 4096;  // after the header and metadata blocks
  for (int i = 0; i < 300; ++i) {
    std::string b = bytes;
    for (int k = 0; k < 1 + i % 4; ++k) {
      const std::size_t at = kSegments + rnd() % (b.size() - kSegments);
      b[at] = static_cast<char>(rnd());
    }
    Opened d({dir.write("bad.dmp", b)});
    if (d.rc != 0) continue;
    for (std::size_t t = 0; t < d.dump.tables().size(); ++t) {
      RowTexts texts(d.g, d.dump.tables()[t].table);
      std::int64_t n = 0;
      const int r = d.dump.read_rows(d.g, t, texts, n);
      EXPECT_TRUE(r == 0 || (r == -1 && d.g.message_count > 0));
    }
  }
}

// Compressed and encrypted tables are refused by name; the others convert.
TEST(DataPumpWritten, CompressedAndEncryptedTablesAreRefused) {
  TempDir dir;
  const std::string path = dir.file("secret.dmp");
  {
    DataPumpWriter w(path);
    TableSpec t;
    t.owner = "Q";
    t.columns = {{"X", "NUMBER"}};
    for (const char* name : {"PACKED", "SECRET", "PLAIN"}) {
      t.name = name;
      DataPumpTableExtras e;
      e.compressed = t.name == "PACKED";
      e.encrypted = t.name == "SECRET";
      const int n = w.add_table(t, e);
      w.begin_segment(n);
      w.add_row({Cell::number("1")});
      w.end_segment();
    }
    w.finish();
  }
  Opened d({path});
  ASSERT_EQ(d.rc, 0);
  int result = 0;
  EXPECT_TRUE(d.rows("Q", "PACKED", &result).empty());
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(has_message(d.g, 2009, "Q.PACKED"));
  EXPECT_TRUE(d.rows("Q", "SECRET", &result).empty());
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(has_message(d.g, 2009, "Q.SECRET"));
  EXPECT_EQ(d.rows("Q", "PLAIN"), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace qln
