#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "values/value_format.hpp"

namespace qln {

// Most output columns (a select list may name a column more than once).
inline constexpr int kMaxOutputColumns = 2000;
// A CSV line must stay below this many bytes.
inline constexpr std::size_t kMaxCsvLine = 4194304;

// Which table columns are written, in output order. A negative index is
// skipped. `width` is the column's width in the fixed-length heading.
struct ColumnOrder {
  std::vector<std::int32_t> index;
  std::vector<std::int32_t> width;

  // 0, 1, ..., n-1.
  void set_identity(int n);
  int count() const noexcept { return static_cast<int>(index.size()); }
};

// The bytes of the line being built. Writers reserve room for the worst case
// of a value and then write through a plain pointer, so the per-byte work is
// a copy and no size check.
struct LineBuffer {
  std::vector<char> data;
  std::size_t size = 0;
  std::size_t start = 0;  // where the line being built begins (finished lines before it)

  void clear() noexcept { size = start; }
  bool empty() const noexcept { return size == start; }
  std::string_view view() const noexcept { return {data.data() + start, size - start}; }
  // Room for `extra` more bytes at the end; returns where they start.
  char* reserve(std::size_t extra) {
    if (size + extra > data.size()) [[unlikely]]
      grow(extra);
    return data.data() + size;
  }
  [[gnu::noinline]] void grow(std::size_t extra) { data.resize(std::max(size + extra, 2 * data.size())); }
  void commit(const char* end) noexcept { size = static_cast<std::size_t>(end - data.data()); }
  LineBuffer& append(std::string_view s) {
    char* p = reserve(s.size());
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    size += s.size();
    return *this;
  }
  void push_back(char c) {
    *reserve(1) = c;
    ++size;
  }
};

// How write_stored_row writes one column of a table: the kind says which
// of the run's options apply, decided once per table.
struct StoredColumn {
  enum Kind : std::uint8_t {
    kCsvText,      // VARCHAR2 and CHAR in CSV
    kInsertText,   // VARCHAR2 and CHAR in INSERT
    kPlainNumber,  // NUMBER whose canonical text is the output
    kCsvNumber,    // NUMBER padded to its scale, or in quotes, in CSV
    kInsertNumber, // NUMBER padded to its scale in INSERT
    kCsvDate,      // DATE by the fixed layout
    kCsvTimestamp, // TIMESTAMP by the fixed layout
    kInsertDate,   // DATE in INSERT, from a template
    kInsertTimestamp,
  };
  Kind kind = kCsvText;
  int scale = 0;           // NUMBER
  std::size_t length = 0;  // CHAR: blank-padded to this many bytes (0: VARCHAR2)
  int precision = 0;       // TIMESTAMP: fraction digits
  bool timestamp = false;
};

// What write_stored_row needs of the run's options, taken once per table.
struct StoredLayout {
  std::vector<StoredColumn> columns;
  std::size_t bound = 0;  // most bytes a row writes besides twice its own size
  bool csv = true;
  bool trim = false;
  bool quote_all = false;
  bool stepping = false;  // a multibyte output set whose characters may hide the quote or delimiter
  bool mysql = false;     // backslashes are doubled in INSERT text
  char separator = ',';
  int charset = 0;        // output
  int from = 0;           // stored text
  std::int32_t dbms = 0;
  std::string date_template;  // INSERT: a DATE of zeros, the digits filled in
  std::size_t date_at = 0;    // where its year begins
  // CSV: the date layout's template, padded so that it is copied in one
  // fixed-size move, with where each field goes; kNoCsvDate when too long.
  static constexpr std::size_t kCsvDateRoom = 48;
  std::array<char, kCsvDateRoom> csv_date{};
  std::size_t csv_date_size = 0;
  std::array<std::uint8_t, 6> csv_date_at{};
  int csv_date_fields = -1;
};

// The writers' state for one run: the records they read and the buffers they
// build lines in, kept from row to row so that writing a row allocates
// nothing once the buffers have grown.
struct RowWriter {
  RowWriter(GlobalParams& g, ConvOptions& o) : g(g), o(o), delimiter(o.delimiter) {}

  GlobalParams& g;
  ConvOptions& o;
  char delimiter;

  LineBuffer line;   // the line being built
  std::string work;  // scratch for one value
  std::string name;  // scratch for one column or table name
  CharsetConverter converter;  // names to the output character set
  // o.date_printf taken apart once (refreshed when it changes).
  std::string compiled_from;
  std::vector<std::string> date_literals;  // text before each field, then the tail
  bool date_literals_need_quotes = false;
  int date_kind = 0;                 // the kind the layout was built for
  std::string date_template;         // literals with zeros where the fields go
  std::array<std::uint8_t, 6> date_offsets{};
  int date_fields = 0;
  std::size_t date_head = 0;         // template bytes up to the last field's end
  std::string format_from;           // o.date_format ...
  std::string format_out;            // ... in the output character set
  std::array<bool, 256> special{};  // bytes that make a CSV field need quotes
  char special_for = 0;             // the delimiter `special` was built for
  // When set, finished lines stay in `line`, one after the other, instead of
  // being written (rows formatted on one thread and written on another).
  bool keep_lines = false;
  // INSERT: the statement head of the table being written, and what it was
  // built for.
  std::string insert_head;
  std::string insert_key;
  std::string insert_key_scratch;
  // The dialect's transaction is open (written before the first table).
  bool transaction_open = false;
  // When rows are written straight from their stored bytes.
  StoredLayout stored;
};


// The header line of a table (nothing when o.is_header is off). 0 or -1.
int write_header(RowWriter& w, const TableDefinition& table, const ColumnOrder& order);

// Writes one row by o.row_format (1 CSV, 2 INSERT); nothing in column-file
// output. 0, or -1 after a message (3129 over-long line, 2138 TO_CHAR,
// 3133 write error).
int write_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
              const RowValues& row);
int write_csv_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                  const RowValues& row);
int write_insert_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                     const RowValues& row);

// Rows written straight from the bytes the reader gathered (the dump's own
// framing), without typed values between: the plain column types, every
// column in table order, CSV (dates by a fixed layout) or INSERT.
// prepare_stored_rows says whether rows of `table` in `order` can go this
// way with the run's options, and makes ready for them. write_stored_row
// then writes one row as write_row would after decoding it: 1; 0 with
// nothing written for a row it leaves to the decoder (text to convert, an
// unusual or damaged value); -1 as write_row.
// `readable`: bytes after the row's end that may be read (not used), so
// that short values are taken in whole vector loads.
bool prepare_stored_rows(RowWriter& w, const TableDefinition& table, const ColumnOrder& order);
int write_stored_row(RowWriter& w, std::span<const unsigned char> row, std::size_t readable = 0);

// Before a table's INSERT statements: the transaction's opening statement
// (first table only), a warning and a comment per column whose values
// cannot be written (NULL instead), a warning per name over the dialect's
// length limit. -1 (3137) when such a column is NOT NULL: rows that could
// never load are not written.
int begin_insert_table(RowWriter& w, const TableDefinition& table, const ColumnOrder& order);

// Writes the built line (w.line) to g.out_stream in one call (or keeps it
// when w.keep_lines is set); 3133 on failure.
int flush_line(RowWriter& w);
// Writes `text` to g.out_stream in one call; 3133 on failure.
int write_text(RowWriter& w, std::string_view text);

}  // namespace qln
