// The Data Pump reader as the conversion run drives it.
#include <gtest/gtest.h>

#include "dump/datapump_reader.hpp"
#include "dumpwriter/datapump_writer.hpp"
#include "support/temp_dir.hpp"

namespace qln {
namespace {

using namespace dumpwriter;

// Records the calls; answers as told.
class Recorder final : public DumpVisitor, public LobSink {
 public:
  Walk on_table(const TableInfo& t) override {
    log += "T:" + std::string(t.owner) + "." + std::string(t.name) + (t.definition ? "" : "?") + " ";
    return table_answer;
  }
  Walk on_rows_begin(const RowLayout& l) override {
    log += l.table_column.empty() ? "B " : "B* ";
    return Walk::kContinue;
  }
  Walk on_rows(const RowBatch& rows) override {
    log += "R" + std::to_string(rows.size()) + " ";
    handed += static_cast<int>(rows.size());
    return handed >= skip_after ? (stop ? Walk::kStop : Walk::kSkipRows) : Walk::kContinue;
  }
  void on_table_end(const TableEnd& e) override { log += "E" + std::to_string(e.rows) + (e.complete ? " " : "! "); }
  LobSink* lob_sink() override { return this; }
  bool wants(int) const noexcept override { return true; }
  Status chunk(int col, std::span<const std::uint8_t> b) override {
    log += "L" + std::to_string(col) + ":" + std::to_string(b.size()) + " ";
    return {};
  }
  Status end_row() override {
    log += "/ ";
    return {};
  }
  void on_progress(const ReadProgress& p) override {
    progress_ok = progress_ok && p.bytes_read >= last && p.bytes_read <= p.total_bytes;
    last = p.bytes_read;
  }
  bool stop_requested() const override { return stop_request; }

  std::string log;
  Walk table_answer = Walk::kContinue;
  int handed = 0;
  int skip_after = 1 << 30;
  bool stop = false;
  bool stop_request = false;
  bool progress_ok = true;
  std::int64_t last = 0;
};

TEST(DataPumpReader, WalksTablesRowsAndLargeObjectsForTheRun) {
  test_support::TempDir dir;
  const std::string path = dir.file("r.dmp");
  {
    DataPumpWriter w(path);
    TableSpec t;
    t.owner = "Q";
    t.name = "DOCS";
    t.columns = {{"ID", "NUMBER"}, {"DOC", "BLOB"}};
    const int docs = w.add_table(t);
    t.name = "PLAIN";
    t.columns = {{"ID", "NUMBER"}};
    const int plain = w.add_table(t);
    w.begin_segment(docs);
    w.add_row({Cell::number("1"), Cell::bytes("ab")});
    w.add_row({Cell::number("2"), Cell::null()});
    w.add_row({Cell::number("3"), Cell::bytes("xyz")});
    w.end_segment();
    w.begin_segment(plain);
    for (int i = 0; i < 3000; ++i) w.add_row({Cell::number(std::to_string(i))});
    w.end_segment();
    w.finish();
  }
  GlobalParams g;
  DumpInfo info;
  info.kind = DumpKind::kDataPump;
  info.volumes = {path};
  auto reader = make_format_reader(g, info, {});
  ASSERT_NE(reader, nullptr);

  Recorder all;
  ASSERT_TRUE(reader->read(all).ok());
  // One row per batch with large objects, each followed by its chunks.
  EXPECT_EQ(all.log, "T:Q.DOCS B R1 L1:2 / R1 / R1 L1:3 / E3 T:Q.PLAIN B R1024 R1024 R952 E3000 ");
  EXPECT_TRUE(all.progress_ok);

  // Passed over after the first row: still counted, no chunks of rows not handed.
  Recorder skip;
  skip.skip_after = 1;
  ASSERT_TRUE(reader->read(skip).ok());
  EXPECT_EQ(skip.log, "T:Q.DOCS B R1 L1:2 / E3 T:Q.PLAIN B R1024 E3000 ");

  // A stop ends the read cleanly after the row's large objects.
  Recorder stop;
  stop.skip_after = 1;
  stop.stop = true;
  ASSERT_TRUE(reader->read(stop).ok());
  EXPECT_EQ(stop.log, "T:Q.DOCS B R1 L1:2 / E1 ");

  Recorder asked;
  asked.stop_request = true;
  EXPECT_EQ(reader->read(asked).code(), MessageCode::kStopped);
}

}  // namespace
}  // namespace qln
