#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/conversion.hpp"
#include "support/temp_dir.hpp"
#include "dumpwriter/dump_writer.hpp"

// Conversions driven through the run's typed API alone, as the windowed
// program will: no option text, no streams in records.
namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;
using dw::Cell;

constexpr int kBigRows = 40000;  // a few MB: several progress steps

class ConversionApi : public ::testing::Test {
 protected:
  void SetUp() override {
    dw::DumpWriter w(dump);
    dw::TableSpec big;
    big.name = "BIG";
    big.columns = {{"ID", "NUMBER(10, 0)", true}, {"NOTE", "VARCHAR2(80)"}};
    w.begin_table(big);
    for (int i = 1; i <= kBigRows; ++i)
      w.add_row({Cell::number(std::to_string(i)), Cell::text(std::string(60, 'a' + i % 26))});
    w.end_table();
    dw::TableSpec dual;
    dual.name = "DUAL";
    dual.columns = {{"DUMMY", "VARCHAR2(1)"}};
    w.begin_table(dual);
    w.add_row({Cell::text("X")});
    w.end_table();
    w.finish();
  }

  Request request() const {
    Request r;
    r.volumes = {dump};
    r.bom = false;
    return r;
  }

  test_support::TempDir dir;
  const std::string dump = dir.file("api.dmp");
  CollectingSink sink;
  std::vector<ReadProgress> seen;
};

TEST_F(ConversionApi, ConvertsANamedTableWithProgressAndListsEveryTable) {
  Request r = request();
  r.table = TableSelector::named("DUAL");  // a real table, not the first one
  r.header = true;
  r.out_file = dir.file("dual.csv");
  Results results;
  RunCallbacks cb;
  cb.messages = &sink;
  cb.progress = [&](const ReadProgress& p) { seen.push_back(p); };
  const Status s = run_conversion(r, results, cb);
  ASSERT_TRUE(s.ok()) << s.text();
  EXPECT_EQ(test_support::read_text_file(r.out_file), "DUMMY\nX\n");
  EXPECT_TRUE(sink.entries().empty());
  EXPECT_EQ(results.rows_written, 1);
  ASSERT_EQ(results.tables.size(), 2u);
  EXPECT_EQ(results.tables[0].name, "BIG");
  EXPECT_EQ(results.tables[0].rows, kBigRows);
  EXPECT_EQ(results.dump.kind, DumpKind::kConventional);
  ASSERT_GE(seen.size(), 3u);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_GT(seen[i].bytes_read, seen[i - 1].bytes_read);
    EXPECT_LE(seen[i].bytes_read, seen[i].total_bytes);
    EXPECT_EQ(seen[i].total_bytes, static_cast<std::int64_t>(fs::file_size(dump)));
  }

  // Every table into a folder; a missing table is a failure with its message.
  r.output = OutputKind::kCsvBatch;
  r.out_file.clear();
  r.out_dir = dir.file("batch");
  fs::create_directories(r.out_dir);
  ASSERT_TRUE(run_conversion(r, results, cb).ok());
  EXPECT_EQ(test_support::read_text_file(r.out_dir + "/DUAL.csv"), "DUMMY\nX\n");
  EXPECT_TRUE(fs::exists(r.out_dir + "/BIG.csv"));

  r.output = OutputKind::kCsv;
  r.table = TableSelector::named("NOPE");
  r.out_file = dir.file("nope.csv");
  const Status missing = run_conversion(r, results, cb);
  EXPECT_EQ(missing.code(), MessageCode::kTableNotFound);
  ASSERT_EQ(sink.entries().size(), 1u);
  EXPECT_NE(sink.entries()[0].line.find("NOPE"), std::string::npos);
  EXPECT_FALSE(fs::exists(r.out_file));
}

TEST_F(ConversionApi, ConditionsAndQueriesSelectRowsAndColumns) {
  Request r = request();
  r.out_file = dir.file("where.csv");
  r.conditions = {{"BIG", "ID BETWEEN 10 AND 12 OR ID = 39999", true}};
  Results results;
  RunCallbacks cb;
  cb.messages = &sink;
  ASSERT_TRUE(run_conversion(r, results, cb).ok());
  EXPECT_EQ(test_support::read_file(r.out_file), "10," + std::string(60, 'k') + "\n11," + std::string(60, 'l') +
                                                     "\n12," + std::string(60, 'm') + "\n39999," +
                                                     std::string(60, 'a' + 39999 % 26) + "\n");
  EXPECT_EQ(results.rows_written, 4);

  r.conditions.clear();
  r.query = "SELECT NOTE, ID FROM BIG WHERE ID < 3";
  ASSERT_TRUE(run_conversion(r, results, cb).ok());
  EXPECT_EQ(test_support::read_file(r.out_file), std::string(60, 'b') + ",1\n" + std::string(60, 'c') + ",2\n");

  r.query = "SELECT * FROM BIG WHERE TO_NUMBER(NOTE) > 1";
  const Status failed = run_conversion(r, results, cb);
  EXPECT_EQ(failed.code(), MessageCode::kConditionFailed);
  EXPECT_FALSE(fs::exists(r.out_file));
}

TEST_F(ConversionApi, StopRequestEndsTheReadWithItsMessageAndNoOutput) {
  std::atomic<bool> stop{false};
  RunCallbacks cb;
  cb.messages = &sink;
  cb.stop = &stop;
  cb.progress = [&](const ReadProgress& p) {
    seen.push_back(p);
    if (p.bytes_read > 0) stop = true;
  };
  for (OutputKind kind : {OutputKind::kCsv, OutputKind::kCsvBatch}) {
    Request r = request();
    r.table = TableSelector::first();
    r.output = kind;
    if (kind == OutputKind::kCsv) r.out_file = dir.file("first.csv");
    else r.out_dir = dir.file("stopped");
    fs::create_directories(dir.file("stopped"));
    stop = false;
    Results results;
    const Status s = run_conversion(r, results, cb);
    EXPECT_EQ(s.code(), MessageCode::kStopped);
    EXPECT_TRUE(results.stopped);
    ASSERT_FALSE(sink.entries().empty());
    EXPECT_EQ(sink.entries().back().code, MessageCode::kStopped);
    EXPECT_NE(sink.entries().back().line.find("ZUL-03901"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("first.csv")));
    EXPECT_TRUE(fs::is_empty(dir.file("stopped")));
    // Stopped well before the end of the dump.
    EXPECT_LT(seen.back().bytes_read, seen.back().total_bytes);
  }
}

}  // namespace
}  // namespace qln
