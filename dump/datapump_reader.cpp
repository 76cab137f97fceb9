#include "dump/datapump_reader.hpp"

#include "core/messages.hpp"
#include "dump/datapump_dump.hpp"
#include "values/charset.hpp"

namespace qln {
namespace {

constexpr std::int64_t kProgressStep = std::int64_t{1} << 20;

// Hands a table's rows to the visitor, and its large objects to the sink.
class VisitorRows final : public DataPumpRowConsumer, public DataPumpLobSink {
 public:
  VisitorRows(DumpVisitor& v, const TableDefinition& def, std::int64_t& progress, std::int64_t total)
      : v_(v), def_(def), progress_(progress), total_(total), sink_(v.lob_sink()) {}

  bool begin_segment(const DataPumpSegment& s) override {
    if (!begun_) {
      begun_ = true;
      const Walk w = v_.on_rows_begin(RowLayout{});
      if (w == Walk::kStop) {
        stopped_ = true;
        return false;
      }
      keep_ = w == Walk::kContinue;
    }
    progress_ += s.rows_offset - s.block;
    return !stopped_;
  }

  bool rows(std::span<const unsigned char> bytes, std::span<const std::size_t> ends) override {
    progress_ += static_cast<std::int64_t>(bytes.size());
    handed_ = keep_;
    if (keep_) {
      const RowBatch batch{bytes, ends, static_cast<int>(def_.columns.size()), {}};
      const Walk w = v_.on_rows(batch);
      if (w == Walk::kStop) stopped_ = true;
      if (w == Walk::kSkipRows) keep_ = false;
    }
    if (progress_ >= next_progress_) {
      next_progress_ = progress_ + kProgressStep;
      v_.on_progress({std::min(progress_, total_), total_, 0});
      if (v_.stop_requested()) stop_request_ = true;
    }
    return !stopped_ && !stop_request_;
  }

  // Large objects go to the sink only for rows it was handed.
  DataPumpLobSink* lob_sink() override { return sink_ != nullptr && keep_ ? this : nullptr; }
  bool wants(int column) const override { return handed_ && sink_->wants(column); }
  bool chunk(int column, std::span<const std::uint8_t> bytes) override {
    lob_status_ = sink_->chunk(column, bytes);
    return lob_status_.ok();
  }
  bool lob_row_done() override {
    if (!handed_) return true;
    handed_ = false;
    lob_status_ = sink_->end_row();
    return lob_status_.ok();
  }

  bool stopped() const noexcept { return stopped_; }
  bool stop_request() const noexcept { return stop_request_; }
  const Status& lob_status() const noexcept { return lob_status_; }

 private:
  DumpVisitor& v_;
  const TableDefinition& def_;
  std::int64_t& progress_;
  std::int64_t total_;
  std::int64_t next_progress_ = 0;
  LobSink* sink_;
  Status lob_status_;
  bool begun_ = false;
  bool keep_ = false;
  bool handed_ = false;  // the row read last went to the visitor
  bool stopped_ = false;
  bool stop_request_ = false;
};

}  // namespace

Status DataPumpReader::read(DumpVisitor& v) {
  g_.zulcode = 0;
  DataPumpDump dump;
  if (info_.volumes.empty()) return Status::failure(MessageCode::kDumpOpen, "");
  if (dump.open(g_, info_.volumes) != 0) return last_failure(g_);
  if (info_.volume_sizes.size() != info_.volumes.size()) {
    info_.volume_sizes.clear();
    for (const std::string& f : info_.volumes) {
      DumpFile file;
      info_.volume_sizes.push_back(file.open(f) == 0 ? file.size() : 0);
    }
  }
  info_.total_size = 0;
  for (const std::int64_t size : info_.volume_sizes) info_.total_size += size;
  std::int64_t progress = 0;
  v.on_progress({0, info_.total_size, 0});
  const auto& tables = dump.tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (v.stop_requested()) return Status::failure(MessageCode::kStopped);
    const DataPumpTableEntry& t = tables[i];
    const TableDefinition* def = t.described ? &t.table.definition : nullptr;
    const Walk w = v.on_table(TableInfo{t.owner, t.name, {}, def});
    if (w == Walk::kStop) return {};
    if (def != nullptr && v.wants_statements()) v.on_statement(create_table_statement(t.table));
    if (def == nullptr) {
      // Rows wanted of a table nothing describes: the reason is told.
      if (w == Walk::kContinue) {
        fail(g_, MessageCode::kDumpRead, t.owner + "." + t.name + " description missing");
        return last_failure(g_);
      }
      v.on_table_end({0, true});
      continue;
    }
    // National columns are in the set the table's description names.
    if (const int n = charset_id_from_name(t.table.ncharset); n == kCharsetUtf8 || n == kCharsetUtf16)
      g_.nls_charset = n;
    VisitorRows rows(v, *def, progress, info_.total_size);
    std::int64_t count = 0;
    const int rc = dump.read_rows(g_, i, rows, count);
    if (rc < 0) {
      v.on_table_end({count, false});
      if (!rows.lob_status().ok()) return rows.lob_status();
      // A refused table is named; the other tables still convert.
      if (t.refusal != DataPumpRefusal::kNone) continue;
      return last_failure(g_);
    }
    v.on_table_end({count, true});
    if (rows.stop_request()) return Status::failure(MessageCode::kStopped);
    if (rows.stopped()) return {};
  }
  if (dump.report_damage(g_) != 0) return last_failure(g_);
  return {};
}

}  // namespace qln
