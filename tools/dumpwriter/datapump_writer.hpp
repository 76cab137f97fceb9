// A streaming writer of Data Pump dumps, for tests and benchmarks.
//
//   DataPumpWriter w("t.dmp");
//   int emp = w.add_table({.owner = "SCOTT", .name = "EMP", .columns = {...}});
//   w.begin_segment(emp);
//   w.add_row({Cell::number("7369"), Cell::text("SMITH")});
//   w.end_segment();
//   w.finish();  // the export job's master table, then the files are closed
//
// Layout (numbers big-endian, 4096-byte blocks): block 0 the header
// (format, character-set id at 0x27, "OWNER"."MASTER" at 0x43, the
// character-set name at 0x2A2, the version at 0x358), compressed metadata
// blocks beginning "KGC", then per segment a block beginning ff ff 24 24,
// 2 bytes, the pairs (length, offset from the block) of the description
// (its length counting a 2-byte character-set prefix) and of the rows (0 in
// the 23.6 form), a trailer pair in the 12.1 form, a zero pair; the XML at
// block + 0x1000; the rows from the next 8-byte boundary. The 23.6 form ends
// with a block that begins like a segment but leads to no XML, and a copy
// of the header.
//
// Rows are pieces: a flag (0x08 first, 0x04 last, 0x02 continues the last
// value of the previous piece, 0x01 the last value goes on), a 2-byte piece
// length when the piece is a whole row of a table without large objects
// or LONG (flag 0x3C), a value count, then the values (0xFF NULL, a length
// byte up to 250, or 0xFE and 2 bytes). Values come by segment column with
// the large objects last; trailing NULLs are left out; values over the
// split size go on in the next piece; more than 255 values take several
// pieces. Large objects have pieces of their own (NULL: 00 01 ff), or come
// inline with the other values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dumpwriter/dump_writer.hpp"

namespace qln::dumpwriter {

enum class DataPumpRelease { v12_1, v23_6 };

struct DataPumpOptions {
  DataPumpRelease release = DataPumpRelease::v12_1;
  std::uint16_t charset_id = 873;
  std::string charset_name = "AL32UTF8";
  std::string ncharset_name = "AL16UTF16";  // or UTF8; NCLOBs are UTF-16 in both
  std::string db_timezone = "+00:00";
  std::string master_owner = "SYS";
  std::string master_name = "SYS_EXPORT_SCHEMA_01";
  bool write_master = true;
  bool lobs_inline = false;       // unloaded through an external table
  int lobs_per_piece = 1;         // large objects in one piece of their own (1 or 2)
  std::size_t split_size = 65520; // the most bytes of one value in one piece
  std::size_t xml_padding = 0;    // hex digits of an FDO element: long descriptions
};

// What a table's description says beyond its columns.
struct DataPumpTableExtras {
  // Per column: segment column number (0: not stored); empty: 1, 2, ...
  // An XMLTYPE column with number 0 has its cell written after all the
  // other values, as the storage that the column list does not list.
  std::vector<int> segcol;
  std::vector<std::uint64_t> property;  // per column; empty: 0
  std::vector<int> col_num;             // per column; empty: 1, 2, ...
  bool col_list_reversed = false;       // the column list in reverse order
  bool compressed = false;              // rows written as "KGC" and noise
  bool encrypted = false;               // an ENCRYPTION element, rows noise
};

struct DataPumpStats {
  std::uint64_t bytes = 0;
  std::uint64_t rows = 0;
  std::vector<std::string> volumes;
};

class DataPumpWriter {
 public:
  explicit DataPumpWriter(std::string path, DataPumpOptions options = {});
  // Further volumes take the next paths when next_volume() is called.
  DataPumpWriter(std::vector<std::string> paths, DataPumpOptions options);
  ~DataPumpWriter();
  DataPumpWriter(const DataPumpWriter&) = delete;
  DataPumpWriter& operator=(const DataPumpWriter&) = delete;

  // Declares a table; its rows come in segments. A table without any
  // segment is an empty table: only the master table names it.
  int add_table(const TableSpec& table, DataPumpTableExtras extras = {});
  // A segment of table `table` (its partition `partition`) begins.
  void begin_segment(int table, std::string_view partition = {});
  // One cell per column of the table, in column order.
  void add_row(std::span<const Cell> cells);
  void add_row(std::initializer_list<Cell> cells) { add_row(std::span<const Cell>(cells.begin(), cells.size())); }
  void end_segment();
  // The next file of the dump, with its own header.
  void next_volume();

  // As the classic writer: add_table and a segment per partition.
  void begin_table(const TableSpec& table) {
    int t = add_table(table);
    begin_segment(t, table.partitions.empty() ? std::string_view{} : table.partitions.front().name);
  }
  void next_partition();
  void end_table() { end_segment(); }

  // The master table (and the 23.6 trailer); closes the files.
  DataPumpStats finish();
  std::uint64_t bytes_written() const;

 private:
  struct Table;
  struct Column;
  struct Segment;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  void open_volume();
  void close_volume();
  void put(std::string_view bytes);
  void pad_to(std::uint64_t multiple);
  void patch(std::uint64_t at, std::string_view bytes);
  void write_segment_head(const Table& t);
  void write_piece(std::uint8_t flag, const std::vector<std::string_view>& values,
                   const std::vector<bool>& nulls, bool with_length, bool long_lengths);
  void write_row(const Table& t, const std::vector<std::string>& values, const std::vector<bool>& nulls);
  std::string encode_cell(const Column& c, const Cell& cell) const;
  void write_master();
  // 871 when the national set is UTF8, else 2000 (AL16UTF16).
  int national_id() const { return options_.ncharset_name == "UTF8" ? 871 : 2000; }

  DataPumpOptions options_;
  std::vector<std::string> paths_;
  std::vector<std::string> written_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint64_t offset_ = 0;  // in the current volume
  std::uint64_t total_before_ = 0;
  std::vector<std::unique_ptr<Table>> tables_;
  std::unique_ptr<Segment> segment_;
  struct MasterRow {
    std::string schema, name, partition;
    std::uint64_t rows = 0;
  };
  std::vector<MasterRow> master_rows_;
  std::uint64_t rows_ = 0;
  bool finished_ = false;
  bool writing_master_ = false;
};

// Stored forms of the types only Data Pump dumps carry in these tests.
// Offset zone: local time and minutes east of UTC; region zone: the time in UTC.
std::string encode_timestamp_tz(const DateTime& local, int offset_minutes);
std::string encode_timestamp_tz_region(const DateTime& utc, int region_id);
std::string encode_interval_ym(int years, int months);
std::string encode_interval_ds(long long days, int hours, int minutes, int seconds, long nanos);
std::string encode_binary_float(float v);
std::string encode_binary_double(double v);

}  // namespace qln::dumpwriter
