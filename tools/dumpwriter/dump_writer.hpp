// A streaming writer of classic export dumps (conventional and direct path,
// one or several volumes), for tests and benchmarks.
//
//   DumpWriter w("t.dmp");
//   w.begin_table({.owner = "SCOTT", .name = "EMP",
//                  .columns = {{"EMPNO", "NUMBER(4, 0)"}, {"ENAME", "VARCHAR2(10)"}}});
//   w.add_row({Cell::number("7369"), Cell::text("SMITH")});
//   w.end_table();
//   w.finish();
//
// Misuse and values that do not fit their column throw DumpWriteError
// (a row that throws is not written); I/O failures too.
//
// Data layout after each INSERT INTO line, as Oracle 12c writes it:
//   u16 n, n descriptors, u16 entry count (n when the table has large-object
//   or object-type columns, else 0), per column three 1-byte-length names
//   (type owner, type name, column name), u16 0;
//   rows: per column u16 length + bytes, 0xFFFE NULL, 0xFFFD + LONG chunks
//   ended by a 0 chunk; then 0x0000, or nothing in direct path, or nothing
//   when the row's last column is a non-NULL LONG, or 0x0001 + one entry per
//   non-NULL large object (u16 length + bytes, or 0xFFFF, u32 total, u32 0,
//   chunks); 0xFFFF '\n' ends the table (or partition).
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dumpwriter/column_layout.hpp"
#include "dumpwriter/dump_options.hpp"
#include "dumpwriter/encode.hpp"

namespace qln::dumpwriter {

struct PartitionSpec {
  std::string name;
  std::string bound = "MAXVALUE";  // VALUES LESS THAN (<bound>)
};

struct IndexSpec {
  std::string name;
  std::vector<std::string> columns;
  bool unique = false;
};

struct CheckSpec {
  std::string name;
  std::string condition;  // e.g. GENDER in ('M','F')
};

struct GrantSpec {
  std::string privilege = "SELECT";
  std::string grantee = "PUBLIC";
};

struct TableSpec {
  std::string owner;  // empty: the exporting user
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<PartitionSpec> partitions;  // non-empty: range-partitioned table
  std::string partition_key;              // column of PARTITION BY RANGE; default the first
  std::vector<IndexSpec> indexes;
  std::string primary_key_name;           // with primary_key: ALTER TABLE ... PRIMARY KEY
  std::vector<std::string> primary_key;
  std::vector<CheckSpec> checks;          // written as CALTER TABLE blocks
  std::vector<GrantSpec> grants;
};

struct ViewSpec {
  std::string name;
  std::vector<std::string> columns;
  std::string query;  // the text after AS
};

struct SourceSpec {
  std::string kind = "PROCEDURE";  // PROCEDURE, FUNCTION, PACKAGE, PACKAGE BODY
  std::string name;
  std::string text;  // source after CREATE, lines separated by '\n'
};

// One value of a row. What the bytes become depends on the column:
//   null    NULL (in-row 0xFFFE; a NULL large object has no LOB entry)
//   text    CHAR/VARCHAR2/LONG/CLOB: the bytes as given (database character
//           set; CHAR is blank-padded; CLOB of a varying-width set is stored
//           in UTF-16, see clob_bytes); NCHAR/NVARCHAR2/NCLOB: UTF-8 turned
//           into the national character set; NUMBER/FLOAT: decimal text;
//           DATE/TIMESTAMP: parse_datetime text; RAW/LONG RAW/BLOB: bytes
//   bytes   stored verbatim in-row (any column), or the LOB/LONG content
//   number  decimal text for NUMBER/FLOAT
//   date    DATE or TIMESTAMP columns
class Cell {
 public:
  enum class Kind : std::uint8_t { null, text, bytes, number, date };

  Cell() = default;
  static Cell null() { return Cell(); }
  static Cell text(std::string s) { return Cell(Kind::text, std::move(s)); }
  static Cell bytes(std::string b) { return Cell(Kind::bytes, std::move(b)); }
  static Cell number(std::string decimal) { return Cell(Kind::number, std::move(decimal)); }
  static Cell date(const DateTime& d) {
    Cell c(Kind::date, {});
    c.when = d;
    return c;
  }

  Kind kind = Kind::null;
  std::string data;
  DateTime when;

 private:
  Cell(Kind k, std::string d) : kind(k), data(std::move(d)) {}
};

struct WriteStats {
  std::uint64_t bytes = 0;   // all volumes, headers and padding included
  std::uint64_t rows = 0;    // all tables
  std::vector<std::string> volumes;
};

class VolumeSink;

// Extended ROWID text (18 characters of Oracle's base-64) to its 10 stored
// bytes; throws DumpWriteError for any other text.
std::string encode_rowid(std::string_view text);

class DumpWriter {
 public:
  // With options.volume_size set, further volumes take the next paths; when
  // they run out, names are made from the last one: a.dmp -> a_2.dmp, a_3.dmp.
  explicit DumpWriter(std::string path, DumpOptions options = {});
  DumpWriter(std::vector<std::string> paths, DumpOptions options);
  ~DumpWriter();  // finishes when finish() was not called (errors swallowed)
  DumpWriter(const DumpWriter&) = delete;
  DumpWriter& operator=(const DumpWriter&) = delete;

  const DumpOptions& options() const { return options_; }

  // TABLE, CREATE TABLE, INSERT INTO and the column descriptors; for a
  // partitioned table the first partition's PARTITION statement goes first.
  void begin_table(const TableSpec& table);
  // One value per column, in column order.
  void add_row(std::span<const Cell> cells);
  void add_row(std::initializer_list<Cell> cells) { add_row(std::span<const Cell>(cells.begin(), cells.size())); }
  // Ends the current partition's rows and starts the next partition.
  void next_partition();
  // End-of-table mark (remaining partitions are written empty), then the
  // table's indexes, primary key, grants and check constraints.
  void end_table();

  // Objects after the tables, each in its section of the dump.
  void add_view(const ViewSpec& view);
  void add_source(const SourceSpec& source);
  void add_foreign_key(std::string_view table, std::string_view constraint_text);
  // A whole statement line of the current section, written as given plus '\n'.
  void add_statement(std::string_view text);

  // Closing sections, EXIT lines, padding; closes the files.
  WriteStats finish();

  std::uint64_t rows_in_table() const { return table_rows_; }
  // Bytes handed to the volumes so far, headers included.
  std::uint64_t bytes_written() const;

 private:
  struct TableState;
  void write_preamble();
  void start_data_block(std::size_t partition);
  void end_data_block();
  void close_tables();
  void open_section(std::string_view title);
  void close_section();
  void put(std::string_view bytes);
  void put_u16(std::uint16_t v);
  void put_line(std::string_view text);
  void put_chunks(std::string_view text, std::size_t chunk);
  void write_value(std::size_t column, const Cell& cell, bool& ended_by_long);
  void require_open(const char* what) const;

  DumpOptions options_;
  char mode_letter_ = 'U';
  std::unique_ptr<VolumeSink> sink_;
  std::unique_ptr<TableState> table_;
  std::string scratch_;
  std::string row_;
  std::string lob_entries_;
  std::string current_owner_;
  std::string section_;
  bool any_table_ = false;
  bool tables_closed_ = false;
  bool finished_ = false;
  std::uint64_t table_rows_ = 0;
  std::uint64_t total_rows_ = 0;
  std::uint64_t objects_ = 0;
  std::uint64_t lob_serial_ = 0;
};

}  // namespace qln::dumpwriter
