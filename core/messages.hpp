#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/global_params.hpp"

namespace qln {

// Copies the table text of `code` into `out`; -1 when the code is unknown.
int lookup_message(int code, std::string& out);

// Formats the message of g.zulcode around `text` and queues it (the caller
// sets zulcode first; 0 queues the text unchanged). Clears zulcode.
int report_error(GlobalParams& g, std::string_view text);

// Sets zulcode, reports, and returns -1: the usual way to fail.
int fail(GlobalParams& g, int code, std::string_view text = {});

// Prints (or shows) the pending messages and clears them with the status codes.
int flush_messages(GlobalParams& g, std::FILE* stream);

// Debug log: one line appended per call; -1 when it cannot be written.
int debug_log(const GlobalParams& g, std::string_view line);
int debug_log_messages(const GlobalParams& g);
int debug_hex_line(const GlobalParams& g, const unsigned char* buffer, std::size_t pos,
                   std::int64_t offset);
std::string debug_log_path(const GlobalParams& g);

}  // namespace qln
