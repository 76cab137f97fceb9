#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/format_reader.hpp"
#include "output/row_writer.hpp"
#include "values/value_format.hpp"

namespace qln {

// Formats and writes rows on other threads while the reader goes on
// reading, so that a conversion uses every core. The reader hands over
// either a row's gathered bytes (the common case) or its decoded values
// (swapped, not copied) when it needs them itself, a batch of rows at a
// time. Each batch is formatted by whichever worker takes it (or by the
// reader when every worker is busy), and the batches are written in the
// order they were handed over, so the lines keep the order of the rows. The
// reader waits for the workers (drain) before it touches the output itself:
// table files, header lines, headings, COMMIT. Each worker reports into a
// copy of the global parameters whose messages are moved back when the
// reader waits for it.
class RowPipeline {
 public:
  // Decoded rows keep their values per slot, so their batches stay short.
  static constexpr int kBatchRows = 1024;
  // Gathered rows cost only their bytes, and the threads meet once per
  // batch. A batch is cut when its lines would come to about 1 MB (measured
  // on the batches before), so that each write is one large system call.
  static constexpr int kGatheredRows = 65536;
  static constexpr std::size_t kLineBytes = std::size_t{1} << 20;
  // The first batches are small until one has been measured, and the floor
  // is low: CHAR values stored short but declared wide are padded on output,
  // up to about a thousand times their bytes.
  static constexpr std::size_t kFirstBatchBytes = std::size_t{1} << 12;
  static constexpr std::size_t kMinBatchBytes = std::size_t{1} << 10;
  static constexpr std::size_t kMaxBatchBytes = std::size_t{3} << 19;
  static constexpr std::size_t kTextRoom = kLineBytes + kLineBytes / 2;
  // The most threads THREADS may ask for.
  static constexpr int kMaxThreads = 64;

  RowPipeline(GlobalParams& g, ConvOptions& o);
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Whether a conversion with these options should use it.
  static bool suits(const ConvOptions& o);
  // Threads the conversion runs on: one per core, or THREADS.
  static int thread_count(const ConvOptions& o);

  // Takes the row in `values` (its entries are swapped with a free slot's)
  // to be written for `table` in `order`; both must stay unchanged until the
  // next drain. 0, or -1 when a worker failed (messages moved to g).
  int put(RowValues& values, const TableDefinition& table, const ColumnOrder& order);

  // Takes the gathered bytes of a row of o.table (RowBuffer framing), to be
  // decoded and written later. The table's columns must map one for one to
  // the data, and no filter may need the values. 0 or -1 as for put (or
  // after a message of decoding it here).
  int put_gathered(std::span<const unsigned char> row, const ColumnOrder& order);
  // The same for the first `count` rows of `rows`, copied a batch at a time.
  int put_gathered(const RowBatch& rows, std::size_t count, const ColumnOrder& order);

  // Waits until every row handed over is written. 0, or -1 as for put.
  int drain();

 private:
  struct Batch {
    std::vector<RowValues> rows;       // decoded rows
    std::vector<unsigned char> bytes;  // gathered rows, one after the other
    std::vector<std::size_t> begins;   // where each gathered row begins in `bytes`
    std::vector<std::size_t> ends;     // and where it ends
    LineBuffer text;                   // the lines, once formatted
    bool gathered = false;
    bool formatted = false;
    int count = 0;
    const TableDefinition* table = nullptr;
    const ColumnOrder* order = nullptr;

    void reset() {
      count = 0;
      bytes.clear();
      begins.clear();
      ends.clear();
      text.start = 0;
      text.clear();
      formatted = false;
    }
  };

  // A thread's own writer, decoded row and reporting record.
  struct Worker {
    Worker(GlobalParams& g, ConvOptions& o) : g(g), writer(this->g, o) {
      values.dates_without_text = true;
      this->g.message_count = 0;
      this->g.zulcode = 0;
    }
    GlobalParams g;
    RowWriter writer;
    RowValues values;
    std::thread thread;
  };

  void run(Worker& k);
  template <typename Ready>
  void wait_for(std::unique_lock<std::mutex>& lock, Ready ready);
  bool writable() const;
  void write_next(std::unique_lock<std::mutex>& lock, GlobalParams& g, RowWriter& w);
  int format(GlobalParams& g, RowWriter& w, RowValues& values, Batch& b);
  int start_batch(bool gathered, const TableDefinition& table, const ColumnOrder& order);
  int send_current();
  int collect_failure();
  int failed();

  GlobalParams& g_;
  ConvOptions& o_;
  RowWriter reader_writer_;  // the reader's, for the batches it formats itself
  RowValues reader_values_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<Batch> batches_;
  Batch* current_ = nullptr;

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Batch*> sent_;    // handed over, in row order, until written
  std::deque<Batch*> todo_;    // handed over and not yet formatted
  std::deque<Batch*> free_;    // ready to be filled
  int formatting_ = 0;         // batches being formatted
  bool writing_ = false;       // a worker writes sent_.front()
  bool stop_ = false;
  bool failed_ = false;
  int sleeping_ = 0;           // threads waiting on cv_
  // Bytes of input a gathered batch takes before it is handed over.
  std::atomic<std::size_t> batch_bytes_{kFirstBatchBytes};
  // Bumped under mu_ at every change above, read without it while spinning.
  std::atomic<unsigned> changes_{0};
};

}  // namespace qln
