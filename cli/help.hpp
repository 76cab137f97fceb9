#pragma once
#include <cstdio>
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

inline constexpr const char* kProductVersion = "2.9.8.0";

// "Quillon: Release 2.9.8.0 - Production on <start time>\n\n"
std::string banner_text(const GlobalParams& g, const ConvOptions& o);

// The banner framed by line feeds, as the program shows it at start-up.
void print_banner(std::FILE* stream, const GlobalParams& g, const ConvOptions& o);

// The help text, written to out_stream.
int print_help(GlobalParams& g, const ConvOptions& o);

}  // namespace qln
