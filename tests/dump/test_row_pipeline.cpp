#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/read_capture.hpp"
#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "engine/record_run.hpp"
#include "dumpwriter/dump_writer.hpp"

// Tables long enough for many batches of rows between the reader and the
// writer thread, so that both threads format some of them.
namespace qln {
namespace {

namespace dw = qln::dumpwriter;
using dw::Cell;

class RowPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::set_up_for_written_dump(g, o);
    o.table_id = "BIG";
  }

  std::string path(const std::string& name) const { return (tmp_.path() / name).string(); }

  void write_dump(int rows, int bad_row = -1) {
    dw::DumpOptions d;
    d.header_len = 8192;
    dw::DumpWriter w(path("a.dmp"), d);
    dw::TableSpec t;
    t.name = "BIG";
    t.columns = {{"ID", "NUMBER(10, 0)", true},
                 {"NAME", "VARCHAR2(40)"},
                 {"AMOUNT", "NUMBER(9, 2)"},
                 {"AT", "DATE"},
                 {"NOTE", "VARCHAR2(60)"}};
    w.begin_table(t);
    for (int i = 1; i <= rows; ++i) {
      // 0xC1 0xFF: a NUMBER digit byte no number has.
      Cell amount = i == bad_row ? Cell::bytes("\xC1\xFF")
                                 : (i % 7 == 0 ? Cell::null() : Cell::number(std::to_string(i % 1000) + ".5"));
      w.add_row({Cell::number(std::to_string(i)), Cell::text("name " + std::to_string(i)), amount,
                 Cell::text("2020-02-29 12:34:56"),
                 Cell::text(i % 3 == 0 ? "with, comma" : "plain")});
    }
    w.end_table();
    w.finish();
  }

  static std::string expected_line(int i) {
    std::string amount = i % 7 == 0 ? "" : std::to_string(i % 1000) + ".50";
    if (amount.rfind("0.", 0) == 0) amount.erase(0, 1);
    return std::to_string(i) + ",name " + std::to_string(i) + "," + amount +
           ",2020/02/29 12:34:56," + (i % 3 == 0 ? "\"with, comma\"" : "plain");
  }

  int read() {
    o.exp_fname = {path("a.dmp")};
    return test_support::read_dmp_into(g, o, result, out);
  }

  bool has_message(int code) const { return test_support::has_message(g, code); }

  test_support::TempDir tmp_;
  GlobalParams g;
  ConvOptions o;
  ReadResult result;
  std::string out;
};

TEST_F(RowPipelineTest, EveryRowComesOutOnceAndInOrder) {
  // Batches of about 1 MB: enough rows for several of them. One thread
  // (THREADS=1), all cores and more threads than cores give the same lines.
  constexpr int kRows = 150000;
  write_dump(kRows);
  for (int threads : {0, 1, 4}) {
    SCOPED_TRACE(threads);
    g = GlobalParams{};
    o = ConvOptions{};
    test_support::set_up_for_written_dump(g, o);
    o.table_id = "BIG";
    o.threads = threads;
    result = ReadResult{};
    out.clear();
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(result.rows_written, kRows);
    std::size_t at = 0;
    for (int i = 1; i <= kRows; ++i) {
      std::size_t nl = out.find('\n', at);
      ASSERT_NE(nl, std::string::npos) << "row " << i;
      ASSERT_EQ(out.substr(at, nl - at), expected_line(i));
      at = nl + 1;
    }
    EXPECT_EQ(at, out.size());
  }
}

TEST_F(RowPipelineTest, InsertOutputOfManyBatches) {
  write_dump(50000);
  o.row_format = 2;
  o.output_mode = kOutInsert;
  o.threads = 3;
  ASSERT_EQ(read(), 0);
  std::size_t lines = 0;
  for (char c : out) lines += c == '\n';
  EXPECT_EQ(lines, 50001u);  // the rows and COMMIT
  EXPECT_NE(out.find("VALUES (49999,'name 49999',999.5,TO_DATE('2020/02/29 12:34:56'"), std::string::npos);
  EXPECT_EQ(out.rfind("COMMIT;\n"), out.size() - 8);
}

TEST_F(RowPipelineTest, BadValueFarIntoTheTableFailsTheRun) {
  for (int bad : {1, 30000, 60000}) {
    write_dump(60000, bad);
    g = GlobalParams{};
    g.db_charset = kCharsetUtf8;
    o.threads = bad == 30000 ? 4 : 0;
    EXPECT_EQ(read(), -1) << bad;
    EXPECT_TRUE(has_message(3102)) << bad;
  }
}

// Random rows, some long enough to cross the reader's window at changing
// places: read in place and formatted from their bytes, on one thread or
// several and up to MAX_RECORD, they come out as decoded rows do (an always
// true condition on one thread takes the decoding way).
TEST_F(RowPipelineTest, RandomRowsComeOutAsDecodedRowsDo) {
  std::mt19937 rnd(42);
  auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  auto text = [&](int max) {
    static const std::string kChars = "ab ,\"'.5-\n\rZ";
    std::string t(static_cast<std::size_t>(1 + pick(max)), 'x');
    for (char& c : t) c = kChars[static_cast<std::size_t>(pick(static_cast<int>(kChars.size())))];
    return t;
  };
  constexpr int kRows = 30000;
  {
    dw::DumpOptions d;
    d.header_len = 8192;
    dw::DumpWriter w(path("a.dmp"), d);
    dw::TableSpec t;
    t.name = "BIG";
    t.columns = {{"ID", "NUMBER(10, 0)", true}, {"NAME", "VARCHAR2(4000)"}, {"AMOUNT", "NUMBER(9, 2)"},
                 {"CODE", "CHAR(5)"},           {"AT", "DATE"},           {"X", "NUMBER"}};
    w.begin_table(t);
    for (int i = 1; i <= kRows; ++i) {
      auto maybe = [&](Cell c) { return pick(9) == 0 ? Cell::null() : c; };
      const std::string x = (pick(2) ? "-" : "") + std::to_string(pick(100000)) + (pick(2) ? "" : "." + std::to_string(1 + pick(999)));
      w.add_row({Cell::number(std::to_string(i)), maybe(Cell::text(text(pick(50) == 0 ? 4000 : 30))),
                 maybe(Cell::number(std::to_string(pick(10000)) + "." + std::to_string(pick(10)))),
                 maybe(Cell::text(text(5))), maybe(Cell::text("2020-02-29 12:34:56")), maybe(Cell::number(x))});
    }
    w.end_table();
    w.finish();
  }
  for (int row_format : {1, 2}) {
    auto convert = [&](int threads, int max_record, bool typed) {
      g = GlobalParams{};
      o = ConvOptions{};
      test_support::set_up_for_written_dump(g, o);
      o.table_id = "BIG";
      o.threads = threads;
      o.row_format = row_format;
      if (row_format == 2) o.output_mode = kOutInsert;
      if (max_record > 0) {
        o.max_record = max_record;
        o.is_unlimited = kNo;
      }
      if (typed) {
        o.is_condition = kYes;
        o.where_statement = {TableCondition{1, 0, "BIG", "ID > 0", ""}};
      }
      result = ReadResult{};
      out.clear();
      EXPECT_EQ(read(), 0) << (g.message_count > 0 ? g.messages[0] : "");
      return out;
    };
    const std::string typed = convert(1, 0, true);
    ASSERT_GT(typed.size(), static_cast<std::size_t>(kRows) * 20);
    for (int threads : {1, 2, 3}) {
      SCOPED_TRACE(std::to_string(row_format) + " " + std::to_string(threads));
      EXPECT_TRUE(convert(threads, 0, false) == typed);
      // MAX_RECORD: the statements up to the limit, and COMMIT (CSV lines
      // may hold line feeds, so INSERT is the one counted).
      if (row_format == 1) continue;
      const int limit = 1 + pick(kRows - 1);
      std::size_t cut = 0;
      for (int i = 0; i < limit; ++i) cut = typed.find(");\n", cut) + 3;
      EXPECT_TRUE(convert(threads, limit, false) == typed.substr(0, cut) + "COMMIT;\n") << limit;
    }
  }
}

}  // namespace
}  // namespace qln
