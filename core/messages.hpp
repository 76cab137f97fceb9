#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "core/language.hpp"
#include "core/status.hpp"

namespace qln {

// Most bytes of the caller's text that go into one message.
inline constexpr std::size_t kMaxReportTextLen = 80;

// Copies the table text of `code` in `lang` into `out`; -1 when the code is
// unknown.
int lookup_message(int code, std::string& out, Language lang = Language::kJapanese);

// Every code of the message table, ascending.
std::vector<int> message_codes();

// `text` in the user's language and character set.
std::string user_text(const GlobalParams& g, const BilingualText& text);

// The table texts are kept in UTF-8; this gives them in g.os_charset through
// g.message_converter (unchanged for UTF-8 or while no converter is set).
std::string message_text_in_os_charset(const GlobalParams& g, std::string_view utf8_text);

// Formats the message of g.zulcode around `text` and queues it (the caller
// sets zulcode first; 0 queues the text unchanged). Clears zulcode.
int report_error(GlobalParams& g, std::string_view text);

// Sets zulcode, reports, and returns -1: the usual way to fail.
int fail(GlobalParams& g, int code, std::string_view text = {});
inline int fail(GlobalParams& g, MessageCode code, std::string_view text = {}) {
  return fail(g, code_number(code), text);
}

// The failure last reported (its code taken from the newest queued
// message), as a Status; kProcessing when no numbered message is queued.
Status last_failure(const GlobalParams& g);

// Prints the pending messages (windowed: shows the last one through
// g.message_box, or prints it when no box is set) and clears them with the
// status codes.
int flush_messages(GlobalParams& g, std::FILE* stream);

// Debug log: one line appended per call; -1 when it cannot be written.
int debug_log(const GlobalParams& g, std::string_view line);
int debug_log_messages(const GlobalParams& g);
int debug_hex_line(const GlobalParams& g, const unsigned char* buffer, std::size_t pos,
                   std::int64_t offset);
std::string debug_log_path(const GlobalParams& g);

}  // namespace qln
