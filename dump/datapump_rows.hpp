#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dump/datapump_metadata.hpp"
#include "dump/dump_file.hpp"

namespace qln {

// Buffered reading of one file between two offsets, with 64-bit positions.
class SegmentInput {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
  // Readable bytes past the data, so that short values can be moved in
  // fixed-size steps.
  static constexpr std::size_t kSlack = 64;

  explicit SegmentInput(const DumpFile& file)
      : file_(file), buf_(std::make_unique<std::uint8_t[]>(kBufferSize + kSlack)) {}

  // Reading starts at `pos` and never passes `limit`.
  void start(std::int64_t pos, std::int64_t limit) noexcept;
  // Makes at least `n` (at most 65,542) bytes readable; false when the limit
  // or the file's end comes first, or a read fails (read_failed()).
  bool ensure(std::size_t n) {
    return end_ - pos_ >= n || refill(n);
  }
  const std::uint8_t* data() const noexcept { return buf_.get() + pos_; }
  std::size_t available() const noexcept { return end_ - pos_; }
  void consume(std::size_t n) noexcept { pos_ += n; }
  std::int64_t position() const noexcept { return base_ + static_cast<std::int64_t>(pos_); }
  std::int64_t limit() const noexcept { return limit_; }
  bool read_failed() const noexcept { return failed_; }
  void seek(std::int64_t pos) noexcept;

 private:
  bool refill(std::size_t n);

  const DumpFile& file_;
  std::unique_ptr<std::uint8_t[]> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::int64_t base_ = 0;  // file offset of buf_[0]
  std::int64_t limit_ = 0;
  bool failed_ = false;
};

// Where the large-object bytes of a row go when they are wanted.
class DataPumpLobSink {
 public:
  virtual ~DataPumpLobSink() = default;
  virtual bool wants(int table_column) const = 0;
  // false ends the walk (the sink has reported why)
  virtual bool chunk(int table_column, std::span<const std::uint8_t> bytes) = 0;
};

// Turns the row pieces of one segment into rows of the shared framing: per
// value a 16-bit little-endian length and the bytes, NULL = 0xFFFE alone.
//
// A piece is a flag byte, a 2-byte length of the whole piece when flag &
// 0x30, a value count, then the values: 0xFF NULL, a length byte up to 250,
// or 0xFE and a 2-byte length. Flags: 0x08 first piece of a row, 0x04 last,
// 0x02 the first value continues the previous piece's last, 0x01 the last
// value goes on in the next piece. Values come in segment order with the
// large objects last; a row leaves out its trailing NULL values.
//
// The rows written hold one value per column of the table's definition, in
// its order, every row all of them: large objects as NULL or an empty value
// (their bytes go to a sink), an object whose attributes are stored apart
// as an empty value, LONG and LONG RAW cut to 4,000 bytes.
class RowFramer {
 public:
  RowFramer(const DataPumpTable& table, SegmentInput& in, std::int64_t rows_end, bool length_known);

  // Appends the next row to `out`. 1: a row; 0: the rows ended; -1: the
  // rows are damaged or cut (why() says where).
  int next_row(std::vector<unsigned char>& out);
  // Walks the row read last once more and hands the bytes of its large
  // objects that `sink` wants to it; the input is left after the row.
  // 0, or -1 (why() set when the dump was at fault).
  int stream_lobs(DataPumpLobSink& sink);

  bool has_lobs() const noexcept { return has_lobs_; }
  std::int64_t rows() const noexcept { return rows_; }
  const std::string& why() const noexcept { return why_; }

 private:
  template <bool kStream>
  int walk_row(std::vector<unsigned char>* out, DataPumpLobSink* sink);
  void new_entry(const std::vector<unsigned char>& target) {
    if (reorder_) entry_at_.push_back(target.size());
  }
  void put_in_column_order(std::vector<unsigned char>& out) const;
  bool frame_whole_row(std::vector<unsigned char>& out);
  int damaged(const char* what, std::int64_t at);

  const DataPumpTable& table_;
  SegmentInput& in_;
  std::int64_t rows_end_;
  bool length_known_;
  std::vector<int> kept_index_;  // per arriving value: its place in the row written, -1 none
  std::vector<int> kept_columns_;
  std::vector<int> kept_of_column_;  // per definition column: its value among the kept, -1 none
  bool reorder_ = false;              // kept values are not the columns in order
  bool simple_ = false;               // every value is its column's, in order, none cut
  std::vector<unsigned char> scratch_;
  std::vector<std::size_t> entry_at_;
  std::vector<std::uint8_t> cut_long_;  // per arriving value: a LONG kept to 4,000 bytes
  bool has_lobs_ = false;
  std::int64_t row_start_ = 0;
  std::int64_t row_end_ = 0;
  std::int64_t rows_ = 0;
  std::string why_;
};

}  // namespace qln
