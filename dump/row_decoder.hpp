#pragma once
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/row_reader.hpp"
#include "output/value_format.hpp"

namespace qln {

// Turns a gathered row into one typed value per column of o.table, in table
// order; columns without a value of their own get their placeholder (or
// NULL). Then the filters: with GREP on, `rejected` is set unless a text
// value holds o.grep_text. 0, or -1 after a reported failure.
int decode_row(GlobalParams& g, const ConvOptions& o, const RowBuffer& row, RowValues& values,
               bool& rejected);

}  // namespace qln
