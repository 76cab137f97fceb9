#pragma once
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

// Opens the own output file of `table_name` when the run needs one (CSV batch
// or per-table conditions) and records it in o.out_fname. 0, or -1 after
// message 1060.
int open_table_output(GlobalParams& g, ConvOptions& o, std::string_view table_name);

// Closes the table output file open_table_output opened last and puts
// standard output back when it was the output. Call at the end of a read and
// before deleting the files of a failed run. 0, or -1 after 3133 when the
// file's last bytes could not be written.
int close_table_output(GlobalParams& g, ConvOptions& o);

}  // namespace qln
