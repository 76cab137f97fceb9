#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "core/stored_row.hpp"
#include "dump/format_reader.hpp"
#include "dump/volume_reader.hpp"

namespace qln {

// One row as the classic reader gathers it (`rec_buff`): per column a 16-bit
// little-endian length and that many bytes; a NULL is the length 0xFFFE alone.
#ifdef QLN_ROW_BUFFER_SIZE
inline constexpr std::size_t kRecBuffSize = QLN_ROW_BUFFER_SIZE;  // fuzz build: rows overflow sooner
#else
inline constexpr std::size_t kRecBuffSize = 4194304;
#endif

struct RowBuffer {
  std::vector<unsigned char> data;
  std::size_t used = 0;
  int columns = 0;

  RowBuffer() : data(kRecBuffSize + 1) {}
  void clear() noexcept {
    used = 0;
    columns = 0;
  }
};

// Oracle's own type code and maximum length of one column in the data.
struct ColumnDescriptor {
  std::uint8_t type = 0;
  std::uint16_t max_length = 0;
};

// Descriptor type codes of the columns that carry a large-object section entry.
constexpr bool is_lob_descriptor(std::uint8_t t) noexcept { return t == 112 || t == 113; }
// Types whose descriptor carries four more bytes (character set and form).
constexpr bool descriptor_has_charset(std::uint8_t t) noexcept {
  return t == 1 || t == 64 || t == 96 || t == 112 || t == 208;
}
bool is_accepted_descriptor(std::uint8_t t) noexcept;
// LONG and LONG RAW: values in chunks, which may go to the sink.
constexpr bool is_long_descriptor(std::uint8_t t) noexcept { return t == 8 || t == 24; }

// Rows found whole in the read window by RowReader::scan_rows: offsets into
// `base`, where `used` bytes (the rows and the marks around them) are taken.
struct ScannedRows {
  const unsigned char* base = nullptr;
  std::vector<std::size_t> begins;
  std::vector<std::size_t> ends;
  std::size_t used = 0;
};

// Reads the data of one table after its INSERT INTO statement: the column
// descriptors, then row after row until the end-of-table mark. Any damage,
// including a dump that ends before the mark, is reported (2112, 3102, 3109).
class RowReader {
 public:
  explicit RowReader(GlobalParams& g, VolumeReader& in) : g_(g), in_(in) {}

  // `expected_columns`: the column count of the table's definition, or -1
  // when it is not known. 0 or -1.
  int read_descriptors(int dump_type, int expected_columns);

  // 1: a row is in `row`; 0: the end-of-table mark was read; -1: failure.
  // With `keep` false the values are passed over and only counted.
  int next_row(RowBuffer& row, int raw_length, bool keep = true);

  // The rows after the one read last that lie whole in the read window and
  // hold only short values and NULLs, at most `max_rows`, found in one pass
  // without copying them; none when the table has large-object or LONG
  // columns (their rows need the sink between them) or the next row is
  // unusual. next_row reads what the pass leaves (damage included, so it is
  // reported as always). The window stays as it is until take_scanned().
  void scan_rows(ScannedRows& s, std::size_t max_rows);
  void take_scanned(const ScannedRows& s) noexcept { in_.consume(s.used); }

  // The table whose data follow: damage reports name it.
  void set_table(std::string_view name) { table_.assign(name); }

  // The large-object chunks the sink wants go to it.
  void set_lob_sink(LobSink* sink) noexcept { lob_ = sink; }
  // Reads the large-object section of the row last returned and completes
  // the row's column file. 0 or -1.
  int finish_row();

  const std::vector<ColumnDescriptor>& descriptors() const noexcept { return desc_; }
  int column_count() const noexcept { return static_cast<int>(desc_.size()); }

 private:
  int truncated();
  int corrupt();
  int bad_length(std::uint16_t len);
  int read_name_entries(std::uint16_t count);
  int find_first_row(bool structured);
  int read_chunked_long(RowBuffer& row, int raw_length, bool keep);
  int read_long_form_value(RowBuffer& row, bool keep);
  int read_long_chunk(int column, std::uint16_t length);
  int read_lob_entry(int column);
  int read_lob_long_body(int column);
  int lob_chunk(int column, std::uint16_t length);
  int read_pending_lobs();

  GlobalParams& g_;
  VolumeReader& in_;
  std::vector<ColumnDescriptor> desc_;
  std::vector<bool> lob_column_;
  bool has_lob_ = false;
  bool scannable_ = false;  // no large-object or LONG columns
  bool direct_ = false;
  bool first_field_pending_ = false;
  std::uint16_t first_field_ = 0;
  int pending_lobs_ = 0;
  bool pending_long_first_ = false;
  LobSink* lob_ = nullptr;
  std::string table_;
  std::vector<int> lob_entry_columns_;  // the column of each large-object entry of the row
  std::vector<unsigned char> chunk_;
};

}  // namespace qln
