#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/owned_file.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

// parse_options' result when the help text or the version was shown: the
// program ends successfully without running anything.
inline constexpr int kParseStop = 1;

inline constexpr std::size_t kMaxArgumentText = 4096;
// How deep parameter files may name further parameter files.
inline constexpr int kMaxParfileDepth = 16;

// Joins the program's arguments, one blank after each. A KEYWORD=value
// argument whose value holds blanks (the shell has already taken its quotes
// away) gets the value enclosed in quotes again, so that it stays one value
// (a FILE list path by path).
// More than kMaxArgumentText bytes: message 5 and an empty text.
int join_arguments(GlobalParams& g, std::span<const std::string> args, std::string& text);

// Opens the file of the last ERRLOG option of `text` as g.err_stream, held
// by `errlog`, before the other options are parsed.
int parse_errlog_option(GlobalParams& g, std::string_view text, ConvOptions& o, OwnedFile& errlog);

// Every keyword the parser takes, as the help shows it.
std::vector<std::string_view> option_keywords();

// Fills the records from an option text: 0, -1 after queueing the message,
// or kParseStop.
int parse_options(GlobalParams& g, std::string_view text, ConvOptions& o);
// The same for the text of a parameter file read at nesting `depth`.
int parse_options(GlobalParams& g, std::string_view text, ConvOptions& o, int depth);

}  // namespace qln
