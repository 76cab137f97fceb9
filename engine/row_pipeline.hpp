#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "output/row_writer.hpp"
#include "values/value_format.hpp"

namespace qln {

// Writes rows on a second thread while the reader goes on reading, so that
// a conversion uses two cores. The reader hands over either a row's gathered
// bytes (the common case) or its decoded values (swapped, not copied) when
// it needs them itself. Gathered rows are decoded and formatted by the
// writer, or by the reader itself when the writer is behind, so that the
// work is shared; either way the lines go out in the order of the rows. The
// reader waits for the writer (drain) before it touches the output itself:
// table files, header lines, headings, COMMIT. The writer thread reports into
// a copy of the global parameters whose messages are moved back when the
// reader waits for it.
class RowPipeline {
 public:
  // Decoded rows keep their values per slot, so their batches stay short.
  static constexpr int kBatchRows = 1024;
  // Gathered rows cost only their bytes: a batch of about 512 KB of them
  // makes lines for writes of about 1 MB, and the threads meet once per
  // batch. Four batches keep both threads busy and memory small.
  static constexpr int kGatheredRows = 16384;
  static constexpr std::size_t kBatchBytes = std::size_t{1} << 19;
  static constexpr int kBatches = 4;

  RowPipeline(GlobalParams& g, ConvOptions& o);
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Whether a conversion with these options should use it.
  static bool suits(const ConvOptions& o);
  // Threads rows are decoded and formatted on: the cores, capped by THREADS.
  static int thread_count(const ConvOptions& o);

  // Takes the row in `values` (its entries are swapped with a free slot's)
  // to be written for `table` in `order`; both must stay unchanged until the
  // next drain. 0, or -1 when the writer failed (messages moved to g).
  int put(RowValues& values, const TableDefinition& table, const ColumnOrder& order);

  // Takes the gathered bytes of a row of o.table (RowBuffer framing), to be
  // decoded and written later. The table's columns must map one for one to
  // the data, and no filter may need the values. 0 or -1 as for put (or
  // after a message of decoding it here).
  int put_gathered(std::span<const unsigned char> row, const ColumnOrder& order);

  // Waits until every row handed over is written. 0, or -1 as for put.
  int drain();

 private:
  struct Batch {
    std::vector<RowValues> rows;       // decoded rows
    std::vector<unsigned char> bytes;  // gathered rows, one after the other
    std::vector<std::size_t> ends;     // the end of each gathered row in `bytes`
    LineBuffer text;                   // the lines, when formatted already
    bool gathered = false;
    bool formatted = false;
    int count = 0;
    const TableDefinition* table = nullptr;
    const ColumnOrder* order = nullptr;

    void reset() {
      count = 0;
      bytes.clear();
      ends.clear();
      text.start = 0;
      text.clear();
      formatted = false;
    }
  };

  void run();
  template <typename Ready>
  void wait_for(std::unique_lock<std::mutex>& lock, Ready ready);
  bool write_batch(Batch& b);
  int format_gathered(GlobalParams& g, RowWriter& w, RowValues& values, Batch& b);
  int start_batch(bool gathered, const TableDefinition& table, const ColumnOrder& order);
  int send_current();
  int collect_failure();
  int failed();

  GlobalParams& g_;
  ConvOptions& o_;
  GlobalParams wg_;    // the writer thread's reporting record
  RowWriter writer_;   // used on the writer thread only
  RowValues values_;   // the writer's decoded row
  RowWriter reader_writer_;  // the reader's, for the batches it formats
  RowValues reader_values_;
  std::vector<Batch> batches_;
  Batch* current_ = nullptr;

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Batch*> full_;   // waiting to be written
  std::deque<Batch*> free_;   // ready to be filled
  bool busy_ = false;         // the writer holds a batch
  bool stop_ = false;
  bool failed_ = false;
  int sleeping_ = 0;          // threads waiting on cv_
  int writer_work_ = 0;       // batches handed over that the writer formats
  // Bumped under mu_ at every change above, read without it while spinning.
  std::atomic<unsigned> changes_{0};
  std::thread thread_;
};

}  // namespace qln
