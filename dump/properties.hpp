#pragma once
#include <cstdio>
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

// The property lines of the dump whose header read_dmp_header has read:
// labels in g.os_charset, values as the header gave them.
std::string format_properties(const GlobalParams& g, const ConvOptions& o);

// Writes format_properties to `stream`; 0, or -1 when the write fails.
int print_properties(const GlobalParams& g, const ConvOptions& o, std::FILE* stream);

}  // namespace qln
