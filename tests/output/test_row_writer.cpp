#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/stored_row.hpp"
#include "output/row_writer.hpp"
#include "output/sql_identifiers.hpp"
#include "values/value_format.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

ColumnDef column(std::string name, std::int32_t type, std::int32_t length = 0,
                 std::int32_t scale = 0, std::string type_text = {}) {
  ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  c.length = length;
  c.scale = scale;
  c.type_text = std::move(type_text);
  return c;
}

const Bytes kDate = {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C};  // 2011/12/31 23:59:59
const Bytes kStamp = {0x78, 0x6F, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0x07, 0x5B, 0xCD, 0x15};

std::string read_stream(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

// A table, a row of values decoded from bytes (nullopt-like empty vector with
// `null` true for NULL), and a writer that writes into a temporary stream.
class RowWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    g.out_stream = out;
    g.db_charset = kCharsetUtf8;
    o.out_charset = kCharsetUtf8;
    o.row_format = 1;
  }
  void TearDown() override {
    if (out != nullptr) std::fclose(out);
  }

  void table(std::vector<ColumnDef> cols) {
    o.table.table_name = "EMP";
    o.table.columns = std::move(cols);
    order.set_identity(static_cast<int>(o.table.columns.size()));
  }

  // One value per column; an empty byte list is a NULL.
  void set_row(const std::vector<Bytes>& values) {
    row.clear();
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i].empty()) {
        row.add_null();
      } else {
        ASSERT_EQ(decode_value(g, o, static_cast<int>(i), values[i], row), 0);
      }
    }
  }

  std::string csv(const std::vector<Bytes>& values) {
    set_row(values);
    RowWriter w(g, o);
    EXPECT_EQ(write_row(w, o.table, order, row), 0);
    return take();
  }

  std::string insert(std::int32_t dbms, const std::vector<Bytes>& values) {
    o.row_format = 2;
    o.dbms_type = dbms;
    set_row(values);
    RowWriter w(g, o);
    EXPECT_EQ(write_row(w, o.table, order, row), 0);
    return take();
  }

  std::string take() {
    std::string s = read_stream(out);
    std::fclose(out);
    out = std::tmpfile();
    g.out_stream = out;
    return s;
  }

  std::string last_message() const {
    return g.message_count > 0 ? g.messages[static_cast<std::size_t>(g.message_count - 1)] : "";
  }

  GlobalParams g;
  ConvOptions o;
  ColumnOrder order;
  RowValues row;
  std::FILE* out = nullptr;
};

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST_F(RowWriterTest, CsvQuotesOnlyWhatNeedsIt) {
  table({column("A", kColVarchar2, 20), column("B", kColVarchar2, 20), column("C", kColNumber),
         column("D", kColVarchar2, 20)});
  EXPECT_EQ(csv({text("a,b"), text("say \"hi\""), {0xC1, 0x02}, text("x\ny")}),
            "\"a,b\",\"say \"\"hi\"\"\",1,\"x\ny\"\n");
  // A carriage return is quoted as well, so no reader splits the line there.
  EXPECT_EQ(csv({text("a\rb"), text("p"), {0x80}, text("q")}), "\"a\rb\",p,0,q\n");
  set_switch(o.is_quote, true);
  EXPECT_EQ(csv({text("plain"), {}, {0xC1, 0x02}, text("a,b")}), "\"plain\",,1,\"a,b\"\n");
}

TEST_F(RowWriterTest, CsvQuotingFindsSpecialBytesAnywhereInLongValues) {
  table({column("A", kColVarchar2, 100)});
  std::string plain(37, 'x');
  EXPECT_EQ(csv({text(plain)}), plain + "\n");
  for (std::size_t at : {0u, 15u, 16u, 31u, 33u, 36u}) {
    for (char c : {',', '"', '\n'}) {
      std::string v = plain;
      v[at] = c;
      std::string quoted = c == '"' ? v.substr(0, at) + "\"\"" + v.substr(at + 1) : v;
      EXPECT_EQ(csv({text(v)}), "\"" + quoted + "\"\n") << at << " " << int(c);
    }
  }
  set_switch(o.is_trim, true);
  EXPECT_EQ(csv({text(plain + "     ")}), plain + "\n");
}

// A value is read in wide loads that may reach past its end into its
// buffer: what lies there never makes the field quoted.
TEST_F(RowWriterTest, CsvBytesAfterAValueDoNotCount) {
  table({column("A", kColVarchar2, 100), column("B", kColVarchar2, 100)});
  for (std::size_t len : {1u, 7u, 15u, 16u, 17u, 30u, 40u}) {
    set_row({text(std::string(len + 20, ',')), text("\"q\"" + std::string(len + 20, '"'))});
    for (int i = 0; i < 2; ++i) {
      SqlValue& v = row[i];
      v.text.replace(0, len, std::string(len, 'v'));
      v.text.resize(len);  // the old bytes stay in the buffer after the value
      v.length = static_cast<std::int32_t>(len);
    }
    RowWriter w(g, o);
    ASSERT_EQ(write_row(w, o.table, order, row), 0);
    EXPECT_EQ(take(), std::string(len, 'v') + "," + std::string(len, 'v') + "\n") << len;
  }
}

TEST_F(RowWriterTest, CsvDelimiterTrimAndNulls) {
  table({column("A", kColChar, 5), column("B", kColVarchar2, 20), column("C", kColVarchar2, 20)});
  o.delimiter = '\t';
  // A comma needs no quotes with a tab delimiter; a tab does.
  EXPECT_EQ(csv({text("AB"), text("a,b"), text("t\tu")}), "AB   \ta,b\t\"t\tu\"\n");
  set_switch(o.is_trim, true);
  o.delimiter = ',';
  EXPECT_EQ(csv({text("AB"), text("x  "), {}}), "AB,x,\n");
  // A value quoted for its content keeps its blanks.
  EXPECT_EQ(csv({text("AB"), text("a,b  "), {}}), "AB,\"a,b  \",\n");
  set_switch(o.is_quote, true);
  EXPECT_EQ(csv({text("AB"), {}, {}}), "\"AB\",,\n");
}

TEST_F(RowWriterTest, CsvNumbersFollowTheDeclaredScale) {
  table({column("P", kColNumber, 7, 2), column("Q", kColNumber, 7, 2), column("R", kColNumber),
         column("F", kColFloat)});
  EXPECT_EQ(csv({{0xC1, 0x06}, {0xC0, 0x33}, {0x3E, 0x5A, 0x66}, {0xC1, 0x02, 0x33}}),
            "5.00,.50,-11,1.5\n");
  EXPECT_EQ(csv({{0x80}, {0x3F, 0x33, 0x66}, {0xC0, 0x33}, {0x80}}), "0.00,-.50,.5,0\n");
  EXPECT_EQ(csv({{0xC1, 0x0C, 0x23}, {0xC2, 0x02}, {0x3F, 0x33, 0x66}, {0xC1, 0x0C, 0x23}}),
            "11.34,100.00,-.5,11.34\n");
}

TEST_F(RowWriterTest, CsvDatesAndTimestamps) {
  table({column("D", kColDate), column("T", kColTimestamp, 0, 0, "TIMESTAMP (6)"),
         column("T3", kColTimestamp, 0, 0, "TIMESTAMP(3)"),
         column("T0", kColTimestamp, 0, 0, "TIMESTAMP(0)")});
  EXPECT_EQ(csv({kDate, kStamp, kStamp, kStamp}),
            "2011/12/31 23:59:59,2011/12/31 23:59:59.123456,2011/12/31 23:59:59.123,"
            "2011/12/31 23:59:59\n");
  set_switch(o.is_quote, true);
  EXPECT_EQ(csv({kDate, {}, {}, {}}), "\"2011/12/31 23:59:59\",,,\n");
  set_switch(o.is_quote, false);
  // Kind 1: no time, so no fraction either.
  o.date_format = "YYYY-MM-DD";
  compile_date_format(g, o);
  EXPECT_EQ(csv({kDate, kStamp, {}, {}}), "2011-12-31,2011-12-31,,\n");
  // Fraction right after the seconds, before any literal tail.
  o.date_format = "YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"";
  compile_date_format(g, o);
  EXPECT_EQ(csv({kDate, kStamp, {}, {}}), "2011-12-31T23:59:59Z,2011-12-31T23:59:59.123456Z,,\n");
  // Years before Christ keep their sign.
  o.date_format = "YYYY/MM/DD";
  compile_date_format(g, o);
  EXPECT_EQ(csv({{53, 88, 1, 1, 1, 1, 1}, {}, {}, {}}), "-4712/01/01,,,\n");
}

TEST_F(RowWriterTest, DateFormatTextOfTheUserComesOutInTheOutputSet) {
  table({column("D", kColDate), column("T", kColTimestamp, 0, 0, "TIMESTAMP (6)")});
  g.os_charset = kCharsetSjis;
  // "YYYY年MM月DD日 ネ" typed in Shift_JIS; the trail byte of ネ is 'l'.
  o.date_format = "YYYY\x94\x4EMM\x8C\x8E" "DD\x93\xFA \x83\x6C";
  compile_date_format(g, o);
  ASSERT_EQ(o.date_format_kind, 1);
  EXPECT_EQ(csv({kDate, {}}),
            "2011\xE5\xB9\xB4" "12\xE6\x9C\x88" "31\xE6\x97\xA5 \xE3\x83\x8D,\n");
  // The same text through TO_CHAR.
  o.date_format = "DD\x93\xFAMM\x8C\x8EYYYY\x94\x4E";
  compile_date_format(g, o);
  ASSERT_EQ(o.date_format_kind, -1);
  EXPECT_EQ(csv({kDate, {}}), "31\xE6\x97\xA5" "12\xE6\x9C\x88" "2011\xE5\xB9\xB4,\n");
}

TEST_F(RowWriterTest, CsvDatesThroughToChar) {
  table({column("D", kColDate), column("T", kColTimestamp, 0, 0, "TIMESTAMP (6)")});
  o.date_format = "DD/MM/YYYY HH24:MI:SS";
  compile_date_format(g, o);
  ASSERT_EQ(o.date_format_kind, -1);
  EXPECT_EQ(csv({kDate, kStamp}), "31/12/2011 23:59:59,31/12/2011 23:59:59.123456\n");
  // A format that puts the delimiter into the text gets the date quoted.
  o.date_format = "DD,MM,YYYY";
  compile_date_format(g, o);
  EXPECT_EQ(csv({kDate, {}}), "\"31,12,2011\",\n");
  o.date_format = "YYYY AM";
  compile_date_format(g, o);
  set_row({kDate, {}});
  RowWriter w(g, o);
  EXPECT_EQ(write_row(w, o.table, order, row), -1);
  EXPECT_NE(last_message().find("02138"), std::string::npos);
  EXPECT_NE(last_message().find("TO_CHAR"), std::string::npos);
}

TEST_F(RowWriterTest, ColumnOrderChoosesAndSkips) {
  table({column("A", kColVarchar2, 5), column("B", kColVarchar2, 5), column("C", kColVarchar2, 5)});
  order.index = {2, -1, 0, 2};
  EXPECT_EQ(csv({text("a"), text("b"), text("c")}), "c,a,c\n");
}

TEST_F(RowWriterTest, OverlongCsvLineIsRefused) {
  table({});
  std::vector<Bytes> values;
  for (int i = 0; i < 1100; ++i) {
    o.table.columns.push_back(column("C" + std::to_string(i), kColVarchar2, 4000));
    values.push_back(Bytes(4000, 'x'));
  }
  order.set_identity(1100);
  set_row(values);
  RowWriter w(g, o);
  EXPECT_EQ(write_row(w, o.table, order, row), -1);
  EXPECT_NE(last_message().find("03129"), std::string::npos);
  EXPECT_NE(last_message().find("4194304"), std::string::npos);
  EXPECT_EQ(take(), "");
}

TEST_F(RowWriterTest, Header) {
  table({column("ID", kColNumber), column("NAME", kColVarchar2, 5), column("ID_X", kColNumber),
         column("IDX", kColNumber)});
  RowWriter w(g, o);
  ASSERT_EQ(write_header(w, o.table, order), 0);
  EXPECT_EQ(take(), "");
  set_switch(o.is_header, true);
  ASSERT_EQ(write_header(w, o.table, order), 0);
  EXPECT_EQ(take(), "\"ID\",NAME,\"ID_X\",IDX\n");
  // A name that holds the delimiter is quoted like a value.
  table({column("A,B", kColNumber), column("Q\"", kColNumber)});
  ASSERT_EQ(write_header(w, o.table, order), 0);
  EXPECT_EQ(take(), "\"A,B\",\"Q\"\"\"\n");
  // No CSV heading in front of INSERT statements.
  o.row_format = 2;
  ASSERT_EQ(write_header(w, o.table, order), 0);
  EXPECT_EQ(take(), "");
}

TEST_F(RowWriterTest, FixedLengthHeading) {
  table({column("EMPNO", kColNumber), column("NAME", kColVarchar2, 5)});
  set_switch(o.is_header, true);
  o.row_format = 0;
  order.width = {3, 6};
  RowWriter w(g, o);
  ASSERT_EQ(write_header(w, o.table, order), 0);
  EXPECT_EQ(take(), "EMP NAME\n--- ------\n");
}

class InsertTest : public RowWriterTest {
 protected:
  void SetUp() override {
    RowWriterTest::SetUp();
    table({column("NAME", kColVarchar2, 20), column("SAL", kColNumber, 7, 2),
           column("HIRED", kColDate), column("TS", kColTimestamp, 0, 0, "TIMESTAMP (6)"),
           column("COMM", kColNumber), column("NC", kColNchar, 2), column("NV", kColNvarchar2, 9),
           column("F", kColFloat), column("PIC", kColBlob), column("NOTE", kColLong),
           column("R", kColRaw, 4)});
    values = {text("O'Neil"), {0xC1, 0x06}, kDate, kStamp, {}, {0x00, 0x41}, {0x00, 0x42},
              {0xC0, 0x33}, {1}, text("long"), {0xAB}};
  }
  static constexpr const char* kColumns =
      "INSERT INTO EMP (NAME,SAL,HIRED,TS,COMM,NC,NV,F,PIC,NOTE,R) VALUES (";
  std::vector<Bytes> values;
};

TEST_F(InsertTest, Oracle) {
  EXPECT_EQ(insert(0, values),
            std::string(kColumns) +
                "'O''Neil',5.0,TO_DATE('2011/12/31 23:59:59','YYYY/MM/DD HH24:MI:SS'),"
                "TO_TIMESTAMP('2011/12/31 23:59:59.123456','YYYY/MM/DD HH24:MI:SS.FF6'),"
                "NULL,'A ','B',.5,NULL,'long',HEXTORAW('ab'));\n");
  // Before Christ the year carries its sign.
  values[2] = {53, 88, 1, 1, 1, 1, 1};
  EXPECT_NE(insert(0, values).find("TO_DATE('-4712/01/01 00:00:00','SYYYY/MM/DD HH24:MI:SS')"),
            std::string::npos);
}

TEST_F(InsertTest, Db2) {
  EXPECT_EQ(insert(3, values), std::string(kColumns) +
                                   "'O''Neil',5.0,TIMESTAMP('2011-12-31 23:59:59'),"
                                   "TIMESTAMP('2011-12-31 23:59:59.123456'),NULL,'A ','B',.5,NULL,'long',"
                                   "BLOB(X'ab'));\n");
}

TEST_F(InsertTest, PostgreSql) {
  EXPECT_EQ(insert(4, values), std::string(kColumns) +
                                   "'O''Neil',5.0,TIMESTAMP '2011-12-31 23:59:59',"
                                   "TIMESTAMP '2011-12-31 23:59:59.123456',NULL,'A ','B',.5,NULL,'long',"
                                   "'\\xab'::bytea);\n");
  values[2] = {53, 88, 1, 1, 1, 1, 1};
  EXPECT_NE(insert(4, values).find("TIMESTAMP '4712-01-01 00:00:00 BC'"), std::string::npos);
}

TEST_F(InsertTest, MySql) {
  values[0] = text("C:\\tmp 'x'");
  EXPECT_EQ(insert(5, values),
            std::string(kColumns) +
                "'C:\\\\tmp ''x''',5.0,STR_TO_DATE('2011-12-31 23:59:59','%Y-%m-%d %H:%i:%s'),"
                "STR_TO_DATE('2011-12-31 23:59:59.123456','%Y-%m-%d %H:%i:%s.%f'),NULL,'A ','B',"
                ".5,NULL,'long',X'ab');\n");
}

TEST_F(InsertTest, SqlServer) {
  EXPECT_EQ(insert(6, values), std::string(kColumns) +
                                   "'O''Neil',5.0,CONVERT(DATETIME2,'2011-12-31 23:59:59',120),"
                                   "CONVERT(DATETIME2,'2011-12-31 23:59:59.123456',121),NULL,"
                                   "N'A ',N'B',.5,NULL,'long',0xab);\n");
}

TEST_F(InsertTest, NamesOracleQuotedAreQuoted) {
  table({column("lower", kColNumber), column("A B", kColNumber)});
  o.table.table_name = "My\"Tab";
  EXPECT_EQ(insert(0, {{0xC1, 0x02}, {0x80}}),
            "INSERT INTO \"My\"\"Tab\" (\"lower\",\"A B\") VALUES (1,0);\n");
  EXPECT_EQ(insert(5, {{0xC1, 0x02}, {0x80}}),
            "INSERT INTO `My\"Tab` (`lower`,`A B`) VALUES (1,0);\n");
  EXPECT_EQ(insert(6, {{0xC1, 0x02}, {0x80}}),
            "INSERT INTO [My\"Tab] ([lower],[A B]) VALUES (1,0);\n");
}

// A large object the reader did not hand over is NULL, never its placeholder.
TEST_F(InsertTest, LargeObjectNotHandedIsNull) {
  table({column("PIC", kColBlob)});
  EXPECT_EQ(insert(0, {{1}}), "INSERT INTO EMP (PIC) VALUES (NULL);\n");
}

TEST_F(RowWriterTest, ShiftJisTrailBytesAreNotEscaped) {
  // 0x95 0x5C is one Shift_JIS character whose trail byte is a backslash.
  o.out_charset = kCharsetSjis;
  g.db_charset = kCharsetSjis;
  table({column("A", kColVarchar2, 10)});
  EXPECT_EQ(insert(5, {{0x95, 0x5C, '\\'}}), "INSERT INTO EMP (A) VALUES ('\x95\x5C\\\\');\n");
}

TEST_F(RowWriterTest, ColumnFileOutputWritesNoRows) {
  table({column("A", kColVarchar2, 10)});
  o.output_mode = kOutLobFiles;
  EXPECT_EQ(csv({text("x")}), "");
}

// Every dialect: names quoted where it needs them, zones, intervals and
// binary values in its own literals; a column that cannot be written is
// NULL with a warning, or fails the table when it is NOT NULL.
TEST_F(RowWriterTest, InsertCarriesEveryKindInEachDialect) {
  table({column("SELECT", kColTimestampTz, 0, 6, "TIMESTAMP(6) WITH TIME ZONE"),
         column("Mixed", kColIntervalYm), column("A$B", kColIntervalDs, 0, 6), column("R", kColRaw, 4),
         column("ID", kColNumber)});
  o.table.table_name = "T";
  o.table.columns[1].precision = 2;
  o.table.columns[2].precision = 2;
  const std::vector<Bytes> v = {{120, 124, 1, 1, 2, 1, 1, 0, 0, 0, 0, 20, 60},
                                {0x80, 0, 0, 1, 66},
                                {0x80, 0, 0, 2, 63, 64, 65, 0x80, 0, 0, 0},
                                {0x00, 0xFF},
                                {0xC1, 0x02}};
  EXPECT_EQ(insert(kDbmsOracle, v),
            "INSERT INTO T (\"SELECT\",\"Mixed\",A$B,R,ID) VALUES (TO_TIMESTAMP_TZ('2024/01/01 01:00:00.000000 "
            "+00:00','YYYY/MM/DD HH24:MI:SS.FF TZR'),INTERVAL '+01-06' YEAR(2) TO MONTH,INTERVAL "
            "'+02 03:04:05.000000' DAY(2) TO SECOND(6),HEXTORAW('00ff'),1);\n");
  EXPECT_EQ(insert(kDbmsPostgres, v),
            "INSERT INTO T (\"SELECT\",\"Mixed\",\"A$B\",R,ID) VALUES (TIMESTAMPTZ '2024-01-01 01:00:00.000000 "
            "+00:00',INTERVAL '+01 years +06 months',INTERVAL '+02 days +03:04:05.000000','\\x00ff'::bytea,1);\n");
  EXPECT_EQ(insert(kDbmsMysql, v),
            "INSERT INTO T (`SELECT`,`Mixed`,`A$B`,R,ID) VALUES ('2024-01-01 01:00:00.000000 +00:00',"
            "'+01-06','+02 03:04:05.000000',X'00ff',1);\n");
  EXPECT_NE(insert(kDbmsSqlServer, v).find("([SELECT],[Mixed],[A$B],R,ID) VALUES ("), std::string::npos);
  EXPECT_NE(insert(kDbmsDb2, v).find("BLOB(X'00ff')"), std::string::npos);
  EXPECT_FALSE(needs_identifier_quotes(kDbmsPostgres, "ORDER_ID"));
  EXPECT_TRUE(needs_identifier_quotes(kDbmsMysql, "INTERVAL"));
  EXPECT_FALSE(needs_identifier_quotes(kDbmsOracle, "INTERVAL"));

  // Object columns: NULL, said once in the file and in a message.
  table({column("ID", kColNumber), column("GEOM", kColOther),
         column(std::string(70, 'N'), kColNumber)});
  o.row_format = 2;
  o.dbms_type = kDbmsPostgres;
  RowWriter w(g, o);
  ASSERT_EQ(begin_insert_table(w, o.table, order), 0);
  EXPECT_EQ(take(), "BEGIN;\n-- GEOM: values of this type cannot be written; NULL is written instead\n");
  EXPECT_NE(g.messages[0].find("ZUL-03128"), std::string::npos) << g.messages[0];
  EXPECT_NE(last_message().find("ZUL-03127"), std::string::npos) << last_message();
  o.table.columns[1].nullable = false;
  EXPECT_EQ(begin_insert_table(w, o.table, order), -1);
  EXPECT_NE(last_message().find("ZUL-03137"), std::string::npos);
  EXPECT_EQ(take(), "");
}

// Random rows written straight from their stored bytes and through typed
// values give the same text under every option set; rows the direct way
// leaves (text to convert, damage) come out with nothing written.
TEST_F(RowWriterTest, StoredRowsWriteAsDecodedRowsDo) {
  table({column("S", kColVarchar2, 20), column("C", kColChar, 6), column("N", kColNumber, 10, 0),
         column("M", kColNumber, 9, 3), column("F", kColFloat), column("D", kColDate),
         column("T", kColTimestamp, 0, 0, "TIMESTAMP(3)")});
  std::mt19937 rnd(15);
  auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  auto number = [&] {
    Bytes b;
    if (pick(12) == 0) return Bytes{0x80};
    if (pick(25) == 0) return Bytes{0xC1, 0xFF};  // no NUMBER has it
    const bool negative = pick(2) == 0;
    const int exp100 = pick(14) - 4;
    const int pairs = 1 + pick(5);
    b.push_back(static_cast<std::uint8_t>(negative ? 0x3E - exp100 : 0xC1 + exp100));
    for (int i = 0; i < pairs; ++i) {
      int pair = pick(100);
      if ((i == 0 || i == pairs - 1) && pair == 0) pair = 1 + pick(99);
      b.push_back(static_cast<std::uint8_t>(negative ? 101 - pair : pair + 1));
    }
    if (negative) b.push_back(102);
    return b;
  };
  auto text = [&](int max) {
    static const std::string kChars = "ab ,\"'.5-\t\nZ";
    Bytes b;
    for (int n = pick(max) + 1; n > 0; --n) b.push_back(static_cast<std::uint8_t>(kChars[static_cast<std::size_t>(pick(static_cast<int>(kChars.size())))]));
    if (pick(15) == 0) b.insert(b.end(), {0xE3, 0x81, 0x82});  // a character to convert
    return b;
  };
  auto date = [&](std::size_t size) {
    Bytes b = {static_cast<std::uint8_t>(pick(8) == 0 ? 90 : 119 + pick(2)), static_cast<std::uint8_t>(1 + pick(99)),
               static_cast<std::uint8_t>(1 + pick(12)), static_cast<std::uint8_t>(1 + pick(28)),
               static_cast<std::uint8_t>(1 + pick(24)), static_cast<std::uint8_t>(1 + pick(60)),
               static_cast<std::uint8_t>(1 + pick(60))};
    for (std::size_t i = 7; i < size; ++i) b.push_back(static_cast<std::uint8_t>(i == 7 ? pick(50) : pick(256)));
    return b;
  };
  struct Setting {
    std::int32_t row_format;
    char delimiter;
    bool trim, quote;
    std::int32_t dbms;
    const char* date_format;
    int out_charset;
  };
  const Setting settings[] = {
      {1, ',', false, false, 0, "YYYY/MM/DD HH24:MI:SS", kCharsetUtf8},
      {1, '\t', true, false, 0, "YYYY-MM-DD", kCharsetUtf8},
      {1, '.', false, true, 0, "YYYY/MM/DD HH24:MI", kCharsetUtf8},
      {1, '-', true, true, 0, "YYYY/MM/DD HH24:MI:SS", kCharsetSjis},
      {1, ' ', true, false, 0, "YYYY.MM.DD", kCharsetUtf8},
      {1, ';', false, true, 0, "YYYY\"T\"MM/DD HH24:MI:SS", kCharsetUtf8},
      {2, ',', false, false, kDbmsOracle, "YYYY/MM/DD", kCharsetUtf8},
      {2, ',', false, false, kDbmsMysql, "YYYY/MM/DD", kCharsetSjis},
      {2, ',', false, false, kDbmsPostgres, "YYYY/MM/DD", kCharsetUtf8},
      {2, ',', false, false, kDbmsSqlServer, "YYYY/MM/DD", kCharsetUtf8},
      {2, ',', false, false, kDbmsDb2, "YYYY/MM/DD", kCharsetUtf8}};
  for (const Setting& s : settings) {
    SCOPED_TRACE(std::string(1, s.delimiter) + s.date_format + std::to_string(s.dbms));
    o.row_format = s.row_format;
    o.delimiter = s.delimiter;
    o.is_trim = s.trim ? kYes : kNo;
    o.is_quote = s.quote ? kYes : kNo;
    o.dbms_type = s.dbms;
    o.out_charset = s.out_charset;
    o.date_format = s.date_format;
    ASSERT_EQ(compile_date_format(g, o), 0);
    RowWriter direct(g, o), typed(g, o);
    direct.keep_lines = typed.keep_lines = true;
    ASSERT_TRUE(prepare_stored_rows(direct, o.table, order));
    int written = 0, left = 0;
    for (int r = 0; r < 400; ++r) {
      const std::vector<Bytes> values = {text(pick(4) == 0 ? 40 : 12), text(4), number(), number(), number(), date(7),
                                         date(pick(2) == 0 ? 7 : 11)};
      Bytes stored;
      bool decodes = true;
      row.clear();
      for (std::size_t i = 0; i < values.size(); ++i) {
        const bool null = pick(9) == 0;
        const std::size_t n = null ? kNullLength : values[i].size();
        stored.push_back(static_cast<std::uint8_t>(n & 0xFF));
        stored.push_back(static_cast<std::uint8_t>(n >> 8));
        if (null) {
          row.add_null();
          continue;
        }
        stored.insert(stored.end(), values[i].begin(), values[i].end());
        const int messages = g.message_count;
        decodes = decodes && decode_value(g, o, static_cast<int>(i), values[i], row) == 0;
        g.message_count = messages;
      }
      const std::size_t before = direct.line.size;
      // Rows inside a batch: bytes after the row may be read, never written.
      const std::size_t after = static_cast<std::size_t>(pick(20));
      const std::size_t row_size = stored.size();
      for (std::size_t i = 0; i < after; ++i) stored.push_back(static_cast<std::uint8_t>(pick(2) == 0 ? '"' : 0x80 + pick(128)));
      const int rc = write_stored_row(direct, std::span<const std::uint8_t>(stored.data(), row_size), after);
      ASSERT_GE(rc, 0);
      if (rc == 0) {
        ++left;
        ASSERT_EQ(direct.line.size, before);
        if (!decodes) continue;
        ASSERT_EQ(write_row(direct, o.table, order, row), 0);
      } else {
        ++written;
        ASSERT_TRUE(decodes);
      }
      ASSERT_EQ(write_row(typed, o.table, order, row), 0);
      ASSERT_EQ(direct.line.view(), typed.line.view());
      ASSERT_EQ(std::string_view(direct.line.data.data(), direct.line.start),
                std::string_view(typed.line.data.data(), typed.line.start));
    }
    EXPECT_GT(written, 200);
    EXPECT_GT(left, 20);
  }
  // Dates whose text may hold the delimiter, columns in another order, or of
  // a type the direct way does not know leave the whole table to the decoder.
  o.row_format = 1;
  o.delimiter = '5';
  RowWriter w(g, o);
  EXPECT_FALSE(prepare_stored_rows(w, o.table, order));
  o.delimiter = ',';
  RowWriter comma(g, o);
  EXPECT_TRUE(prepare_stored_rows(comma, o.table, order));
  std::swap(order.index[0], order.index[1]);
  EXPECT_FALSE(prepare_stored_rows(comma, o.table, order));
  table({column("R", kColRaw, 4)});
  EXPECT_FALSE(prepare_stored_rows(comma, o.table, order));
}

}  // namespace
}  // namespace qln
