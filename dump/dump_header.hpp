#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

inline constexpr int kHeaderOpenFailed = -11;  // message 3100 queued
inline constexpr int kHeaderNotDump = -14;     // message 11 queued

// How much of a Data Pump header is searched for the user, the character
// set and the version (the first XML block starts far later).
inline constexpr std::size_t kDpHeaderScanLen = 4096;

// Recognises the first dump file exp_fname[0]: sets dump_type (which may
// stay -1 for a classic header without a date), exp_mode, the version, user
// and date, and db_charset / nls_charset of `g`. 0 when examined;
// kHeaderOpenFailed or kHeaderNotDump, with the message queued, otherwise.
int read_dmp_header(GlobalParams& g, ConvOptions& o);

// Recognises a Data Pump dump: sets dump_type to 2 when it is one, the user
// and version, and `charset` to the id of the character set named in the
// header (-1 unknown). 0 when examined; kHeaderOpenFailed or kHeaderNotDump
// with the message queued.
int check_dpdmp_header(GlobalParams& g, ConvOptions& o, int& charset);

// Finds the export mode line (RTABLES 0, RUSERS 1, RENTIRE 2) and the header
// length on the line after it in the first bytes of a classic volume. NUL
// bytes are skipped like any other byte, since every classic header has one
// at offset 1. `mode` starts at -1 and `header_len` at 4096; 0 when both were
// found, -1 otherwise (also when the length line is not a decimal number).
int get_export_mode(std::string_view header, int& mode, int& header_len);

// Debug log: the first 8192 bytes of the dump file `path` as hex lines of 16
// bytes, between "header block" marker lines.
void debug_header_block(const GlobalParams& g, const std::string& path);

}  // namespace qln
