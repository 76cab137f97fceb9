#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "output/row_writer.hpp"
#include "output/value_format.hpp"

namespace qln {

// Writes decoded rows on a second thread while the reader goes on decoding,
// so that a conversion uses two cores. The reader hands over each row's
// values (swapped, not copied) and waits for the writer (drain) before it
// touches the output itself: table files, header lines, headings, COMMIT.
// The writer thread reports into a copy of the global parameters whose
// messages are moved back when the reader waits for it.
class RowPipeline {
 public:
  static constexpr int kBatchRows = 256;
  static constexpr int kBatches = 3;

  RowPipeline(GlobalParams& g, ConvOptions& o);
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Whether a conversion with these options should use it.
  static bool suits(const ConvOptions& o);

  // Takes the row in `values` (its entries are swapped with a free slot's)
  // to be written for `table` in `order`; both must stay unchanged until the
  // next drain. 0, or -1 when the writer failed (messages moved to g).
  int put(RowValues& values, const TableDefinition& table, const ColumnOrder& order);

  // Waits until every row handed over is written. 0, or -1 as for put.
  int drain();

 private:
  struct Batch {
    std::vector<RowValues> rows;
    int count = 0;
    const TableDefinition* table = nullptr;
    const ColumnOrder* order = nullptr;
  };

  void run();
  int send_current();
  int collect_failure();

  GlobalParams& g_;
  ConvOptions& o_;
  GlobalParams wg_;    // the writer thread's reporting record
  RowWriter writer_;   // used on the writer thread only
  std::vector<Batch> batches_;
  Batch* current_ = nullptr;

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Batch*> full_;   // waiting to be written
  std::deque<Batch*> free_;   // ready to be filled
  bool busy_ = false;         // the writer holds a batch
  bool stop_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace qln
