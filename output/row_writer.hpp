#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "output/value_format.hpp"

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

// The writers' state for one run: the records they read and the buffers they
// build lines in, kept from row to row so that writing a row allocates
// nothing once the buffers have grown.
struct RowWriter {
  RowWriter(GlobalParams& g, ConvOptions& o) : g(g), o(o), delimiter(o.delimiter) {}

  GlobalParams& g;
  ConvOptions& o;
  char delimiter;

  std::string line;  // the line being built
  std::string work;  // scratch for one value
  std::string name;  // scratch for one column or table name
  CharsetConverter converter;  // names to the output character set
  // o.date_printf taken apart once (refreshed when it changes).
  std::string compiled_from;
  std::vector<std::string> date_literals;  // text before each field, then the tail
};

// Opens the own output file of `table_name` when the run needs one (CSV batch
// or per-table conditions) and records it in o.out_fname. 0, or -1 after
// message 1060.
int open_table_output(GlobalParams& g, ConvOptions& o, std::string_view table_name);

// Closes the table output file open_table_output opened last and puts
// standard output back when it was the output. Call at the end of a read and
// before deleting the files of a failed run. 0, or -1 after 3133 when the
// file's last bytes could not be written.
int close_table_output(GlobalParams& g, ConvOptions& o);

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

// Writes the built line (w.line) to g.out_stream in one call; 3133 on failure.
int flush_line(RowWriter& w);

}  // namespace qln
