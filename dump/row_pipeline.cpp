#include "dump/row_pipeline.hpp"

#include <utility>

namespace qln {

RowPipeline::RowPipeline(GlobalParams& g, ConvOptions& o)
    : g_(g), o_(o), wg_(g), writer_(wg_, o), batches_(kBatches) {
  for (Batch& b : batches_) {
    b.rows.resize(kBatchRows);
    free_.push_back(&b);
  }
  current_ = free_.front();
  free_.pop_front();
  wg_.message_count = 0;
  wg_.zulcode = 0;
  thread_ = std::thread([this] { run(); });
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool RowPipeline::suits(const ConvOptions& o) {
  if (o.read_step != 0) return false;
  if (o.output_mode != kOutCsv && o.output_mode != kOutCsvBatch && o.output_mode != kOutInsert)
    return false;
  return std::thread::hardware_concurrency() >= 2;
}

void RowPipeline::run() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    cv_.wait(lock, [this] { return stop_ || !full_.empty(); });
    if (full_.empty()) return;
    Batch* b = full_.front();
    full_.pop_front();
    busy_ = true;
    const bool skip = failed_;
    lock.unlock();
    bool ok = true;
    if (!skip) {
      // The reader does not touch the output while rows are on their way,
      // so the stream may be taken as it is now.
      wg_.out_stream = g_.out_stream;
      for (int i = 0; i < b->count && ok; ++i)
        ok = write_row(writer_, *b->table, *b->order, b->rows[static_cast<std::size_t>(i)]) == 0;
    }
    b->count = 0;
    lock.lock();
    busy_ = false;
    if (!ok) failed_ = true;
    free_.push_back(b);
    cv_.notify_all();
  }
}

int RowPipeline::collect_failure() {
  for (int i = 0; i < wg_.message_count && g_.message_count < kMaxMessages; ++i)
    g_.messages[static_cast<std::size_t>(g_.message_count++)] = wg_.messages[static_cast<std::size_t>(i)];
  wg_.message_count = 0;
  if (wg_.rtncode != 0) g_.rtncode = wg_.rtncode;
  return -1;
}

int RowPipeline::send_current() {
  std::unique_lock<std::mutex> lock(mu_);
  if (current_->count > 0) {
    full_.push_back(current_);
    cv_.notify_all();
    cv_.wait(lock, [this] { return !free_.empty(); });
    current_ = free_.front();
    free_.pop_front();
  }
  return failed_ ? -1 : 0;
}

int RowPipeline::put(RowValues& values, const TableDefinition& table, const ColumnOrder& order) {
  if (current_->count > 0 && (current_->table != &table || current_->order != &order)) {
    if (send_current() != 0) return drain();
  }
  RowValues& slot = current_->rows[static_cast<std::size_t>(current_->count++)];
  std::swap(slot.values, values.values);
  slot.count = values.count;
  values.count = 0;
  current_->table = &table;
  current_->order = &order;
  if (current_->count == kBatchRows && send_current() != 0) return drain();
  return 0;
}

int RowPipeline::drain() {
  send_current();
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait(lock, [this] { return full_.empty() && !busy_; });
  if (!failed_) return 0;
  lock.unlock();
  return collect_failure();
}

}  // namespace qln
