#pragma once
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

// Reads a parameter file: its table sections become table conditions and
// the other lines are parsed as options. Returns parse_options' result.
int read_parameter_file(GlobalParams& g, ConvOptions& o, const std::string& path, int depth);

// The table name of "[NAME]..." or of a WHERE value: upper-cased unless it
// is written in double quotes. -1 after message 3 "WHERE".
int table_name_of(GlobalParams& g, std::string_view bracketed, std::string& name, std::size_t& after);

// Appends one per-table condition; -1 after message 3 "WHERE".
int add_table_condition(GlobalParams& g, ConvOptions& o, std::string name, bool selected,
                        std::string_view where_text);

}  // namespace qln
