#pragma once
#include <span>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/row_reader.hpp"
#include "values/value_format.hpp"

namespace qln {

// The table column of each value of the data, when the data do not carry the
// table's columns one for one (a virtual column is defined but not
// exported). Empty `table_col`: one for one.
struct DataColumns {
  std::vector<int> table_col;  // per value of the data
  std::vector<int> data_pos;   // per table column, -1 when the data lack it
  RowValues scratch;

  void clear() {
    table_col.clear();
    data_pos.clear();
  }
};

// Turns a gathered row into one typed value per column of o.table, in table
// order; columns without a value of their own get their placeholder (or
// NULL). Then the filters: with GREP on, `rejected` is set unless a text
// value holds o.grep_text. 0, or -1 after a reported failure.
int decode_row(GlobalParams& g, const ConvOptions& o, const RowBuffer& row, RowValues& values,
               bool& rejected, DataColumns* columns = nullptr);
// The same for the bytes of a gathered row kept elsewhere.
int decode_row(GlobalParams& g, const ConvOptions& o, std::span<const unsigned char> row,
               RowValues& values, bool& rejected, DataColumns* columns = nullptr);

// Only the columns `wanted` marks (per table column, the data one for one
// with the table) are decoded; the others stay NULL. For a row filter that
// reads a few columns of a row the writer decodes again anyway. No GREP.
int decode_row_columns(GlobalParams& g, const ConvOptions& o, std::span<const unsigned char> row,
                       RowValues& values, const std::vector<char>& wanted);

}  // namespace qln
