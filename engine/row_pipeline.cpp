#include "engine/row_pipeline.hpp"

#include <algorithm>
#include <chrono>
#include <utility>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/row_decoder.hpp"

namespace qln {

RowPipeline::RowPipeline(GlobalParams& g, ConvOptions& o) : g_(g), o_(o), reader_writer_(g, o) {
  reader_values_.dates_without_text = true;
  const int threads = thread_count(o);
  // One batch per thread at work, one being written, one being filled, and
  // one waiting.
  batches_.resize(static_cast<std::size_t>(threads) + 3);
  for (Batch& b : batches_) free_.push_back(&b);
  current_ = free_.front();
  free_.pop_front();
  for (int i = 1; i < threads; ++i) workers_.push_back(std::make_unique<Worker>(g, o));
  for (auto& k : workers_) {
    Worker& w = *k;
    w.thread = std::thread([this, &w] { run(w); });
  }
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
    changes_.fetch_add(1, std::memory_order_release);
  }
  cv_.notify_all();
  for (auto& k : workers_)
    if (k->thread.joinable()) k->thread.join();
}

bool RowPipeline::suits(const ConvOptions& o) {
  if (o.read_step != 0) return false;
  if (o.output_mode != kOutCsv && o.output_mode != kOutCsvBatch && o.output_mode != kOutInsert)
    return false;
  return thread_count(o) >= 2;
}

int RowPipeline::thread_count(const ConvOptions& o) {
  // hardware_concurrency() may not know (0): one thread is always right.
  if (o.threads > 0) return std::min(static_cast<int>(o.threads), kMaxThreads);
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

// A batch takes a fraction of a millisecond, not much more than putting a
// thread to sleep and waking it costs on a virtual machine; so a thread that
// has to wait first watches for a change for a while, and only then sleeps.
template <typename Ready>
void RowPipeline::wait_for(std::unique_lock<std::mutex>& lock, Ready ready) {
  if (ready()) return;
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::microseconds(200);
  bool changed = true;
  while (changed && !ready()) {
    const unsigned seen = changes_.load(std::memory_order_acquire);
    lock.unlock();
    changed = false;
    while (!changed) {
      for (int i = 0; i < 64 && !changed; ++i) {
#if defined(__SSE2__)
        _mm_pause();
#endif
        changed = changes_.load(std::memory_order_acquire) != seen;
      }
      if (!changed && Clock::now() > until) break;
    }
    // The other thread announces a change while it still holds the lock:
    // sleeping on the lock would cost a wake-up on its side.
    while (!lock.try_lock()) {
#if defined(__SSE2__)
      _mm_pause();
#endif
    }
  }
  if (ready()) return;
  ++sleeping_;
  cv_.wait(lock, ready);
  --sleeping_;
}

// The oldest batch handed over is formatted and nobody writes it yet.
bool RowPipeline::writable() const {
  return !writing_ && !sent_.empty() && sent_.front()->formatted;
}

// Writes the oldest batch (mu_ held on entry and exit, not while writing).
void RowPipeline::write_next(std::unique_lock<std::mutex>& lock, GlobalParams& g, RowWriter& w) {
  Batch* b = sent_.front();
  sent_.pop_front();
  writing_ = true;
  const bool skip = failed_;
  // The reader does not touch the output while rows are on their way, so the
  // stream may be taken as it is now.
  g.out_stream = g_.out_stream;
  lock.unlock();
  const bool ok = skip || write_text(w, b->text.view()) == 0;
  b->reset();
  // A batch of unusually long lines does not keep its memory.
  if (b->text.data.size() > 2 * kTextRoom) b->text.data = {};
  lock.lock();
  writing_ = false;
  if (!ok) failed_ = true;
  free_.push_back(b);
  changes_.fetch_add(1, std::memory_order_release);
  if (sleeping_ > 0) cv_.notify_all();
}

void RowPipeline::run(Worker& k) {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wait_for(lock, [this] { return stop_ || !todo_.empty() || writable(); });
    if (writable()) {
      write_next(lock, k.g, k.writer);
      continue;
    }
    if (todo_.empty()) return;  // stopped
    Batch* b = todo_.front();
    todo_.pop_front();
    ++formatting_;
    const bool skip = failed_;
    lock.unlock();
    const bool ok = skip || format(k.g, k.writer, k.values, *b) == 0;
    lock.lock();
    --formatting_;
    b->formatted = true;
    if (!ok) failed_ = true;
    changes_.fetch_add(1, std::memory_order_release);
    if (sleeping_ > 0) cv_.notify_all();
  }
}

// Formats the rows of `b` into b.text: gathered rows are decoded here (plain
// ones go from their bytes to text directly).
int RowPipeline::format(GlobalParams& g, RowWriter& w, RowValues& values, Batch& b) {
  // The lines are built where they stay: the batch lends its buffer to the
  // writer.
  std::swap(w.line, b.text);
  w.line.start = 0;
  w.line.clear();
  // Room for the lines a batch is cut for, taken once rather than grown to.
  if (w.line.data.size() < kTextRoom) w.line.data.resize(kTextRoom);
  w.keep_lines = true;
  int rc = 0;
  if (b.gathered) {
    const bool stored = prepare_stored_rows(w, *b.table, *b.order);
    for (std::size_t i = 0; i < b.ends.size(); ++i) {
      bool rejected = false;
      const std::span<const unsigned char> row(b.bytes.data() + b.begins[i], b.ends[i] - b.begins[i]);
      const int direct = stored ? write_stored_row(w, row, b.bytes.size() - b.ends[i]) : 0;
      if (direct > 0) continue;
      if (direct < 0 || decode_row(g, o_, row, values, rejected) != 0 ||
          (!rejected && write_row(w, *b.table, *b.order, values) != 0)) {
        rc = -1;
        break;
      }
    }
    // The next batches are cut so that their lines come to about kLineBytes.
    if (rc == 0 && !b.bytes.empty() && w.line.start > 0) {
      const double per_byte = static_cast<double>(w.line.start) / static_cast<double>(b.bytes.size());
      const double want = static_cast<double>(kLineBytes) / per_byte;
      batch_bytes_.store(std::clamp(static_cast<std::size_t>(want), kMinBatchBytes, kMaxBatchBytes),
                         std::memory_order_relaxed);
    }
  } else {
    for (int i = 0; i < b.count && rc == 0; ++i)
      rc = write_row(w, *b.table, *b.order, b.rows[static_cast<std::size_t>(i)]);
  }
  w.keep_lines = false;
  w.line.size = w.line.start;
  w.line.start = 0;
  std::swap(w.line, b.text);
  w.line.clear();
  return rc;
}

int RowPipeline::collect_failure() {
  for (auto& k : workers_) {
    GlobalParams& wg = k->g;
    for (int i = 0; i < wg.message_count && g_.message_count < kMaxMessages; ++i)
      g_.messages[static_cast<std::size_t>(g_.message_count++)] = wg.messages[static_cast<std::size_t>(i)];
    wg.message_count = 0;
    if (wg.rtncode != 0) g_.rtncode = wg.rtncode;
  }
  return -1;
}

int RowPipeline::send_current() {
  std::unique_lock<std::mutex> lock(mu_);
  if (current_->count == 0) return failed_ ? -1 : 0;
  if (!failed_ && todo_.size() >= workers_.size()) {
    // Every worker has enough to do for a while: this batch is formatted
    // here. Its messages, if it fails, are in g already.
    lock.unlock();
    if (format(g_, reader_writer_, reader_values_, *current_) != 0) {
      current_->reset();
      return -1;
    }
    lock.lock();
    current_->formatted = true;
  }
  sent_.push_back(current_);
  if (!current_->formatted) todo_.push_back(current_);
  changes_.fetch_add(1, std::memory_order_release);
  if (sleeping_ > 0) cv_.notify_all();
  // Waiting for a free batch, the reader writes the oldest one when it is
  // ready, rather than leave it to a worker busy formatting.
  for (;;) {
    wait_for(lock, [this] { return !free_.empty() || writable(); });
    if (!free_.empty()) break;
    write_next(lock, g_, reader_writer_);
  }
  current_ = free_.front();
  free_.pop_front();
  return failed_ ? -1 : 0;
}

// Makes the current batch one for rows of this kind, table and order.
int RowPipeline::start_batch(bool gathered, const TableDefinition& table,
                             const ColumnOrder& order) {
  if (current_->count > 0 && (current_->gathered != gathered || current_->table != &table ||
                              current_->order != &order)) {
    if (send_current() != 0) return failed();
  }
  current_->gathered = gathered;
  current_->table = &table;
  current_->order = &order;
  return 0;
}

int RowPipeline::put(RowValues& values, const TableDefinition& table, const ColumnOrder& order) {
  if (start_batch(false, table, order) != 0) return -1;
  if (current_->rows.size() < static_cast<std::size_t>(kBatchRows))
    current_->rows.resize(kBatchRows);
  RowValues& slot = current_->rows[static_cast<std::size_t>(current_->count++)];
  std::swap(slot.values, values.values);
  slot.count = values.count;
  values.count = 0;
  if (current_->count == kBatchRows && send_current() != 0) return failed();
  return 0;
}

int RowPipeline::put_gathered(std::span<const unsigned char> row, const ColumnOrder& order) {
  if (start_batch(true, o_.table, order) != 0) return -1;
  std::vector<unsigned char>& bytes = current_->bytes;
  current_->begins.push_back(bytes.size());
  bytes.insert(bytes.end(), row.begin(), row.end());
  current_->ends.push_back(bytes.size());
  ++current_->count;
  if ((current_->count == kGatheredRows ||
       bytes.size() >= batch_bytes_.load(std::memory_order_relaxed)) &&
      send_current() != 0)
    return failed();
  return 0;
}

int RowPipeline::put_gathered(const RowBatch& rows, std::size_t count, const ColumnOrder& order) {
  std::size_t i = 0;
  while (i < count) {
    if (start_batch(true, o_.table, order) != 0) return -1;
    Batch& b = *current_;
    // As many rows as the batch takes, at least one, copied in one piece
    // with the marks between them.
    const std::size_t budget = batch_bytes_.load(std::memory_order_relaxed);
    const std::size_t from = rows.begin(i);
    const std::size_t room = budget > b.bytes.size() ? budget - b.bytes.size() : 0;
    const std::size_t* const ends = rows.ends.data();
    std::size_t j = static_cast<std::size_t>(std::upper_bound(ends + i, ends + count, from + room) - ends);
    j = std::clamp(j, i + 1, i + static_cast<std::size_t>(kGatheredRows - b.count));
    const std::size_t at = b.bytes.size();
    b.bytes.insert(b.bytes.end(), rows.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                   rows.bytes.begin() + static_cast<std::ptrdiff_t>(ends[j - 1]));
    const std::size_t first = b.ends.size();
    b.begins.resize(first + (j - i));
    b.ends.resize(first + (j - i));
    std::size_t* const bb = b.begins.data() + first;
    std::size_t* const be = b.ends.data() + first;
    for (std::size_t k = i; k < j; ++k) {
      bb[k - i] = rows.begin(k) - from + at;
      be[k - i] = ends[k] - from + at;
    }
    b.count += static_cast<int>(j - i);
    i = j;
    if ((b.count == kGatheredRows || b.bytes.size() >= budget) && send_current() != 0) return failed();
  }
  return 0;
}

// After a failure here or on a worker: once the workers are done, their
// messages join those of this thread.
int RowPipeline::failed() {
  drain();
  return -1;
}

int RowPipeline::drain() {
  // A batch this thread failed to format has its messages in g already.
  const bool sent = send_current() == 0;
  std::unique_lock<std::mutex> lock(mu_);
  wait_for(lock, [this] { return sent_.empty() && !writing_; });
  if (!failed_) return sent ? 0 : -1;
  lock.unlock();
  return collect_failure();
}

}  // namespace qln
