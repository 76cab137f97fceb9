#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/language.hpp"
#include "core/switch.hpp"

namespace qln {

// Character-set ids shared by every part of the engine.
enum CharsetId : std::int32_t {
  kCharsetUnknown = -1,
  kCharsetSjis = 1,
  kCharsetEucJp = 2,
  kCharsetUtf8 = 3,
  kCharsetUtf16 = 4,
  kCharsetUsAscii = 10,
};

inline constexpr int kRunModeQuillon = 41;
inline constexpr int kMaxMessages = 32;
inline constexpr int kMessageSize = 257;  // one queued message, NUL included

struct Limits {
  std::int32_t col_num = 1000;
  std::int32_t sql_level_num = 5;
  std::int32_t table_col_num = 1000;
  std::int32_t thresh_tblcoln = 666;
  std::int32_t index_col_num = 1000;
  std::int32_t thresh_indcoln = 666;
  std::int32_t buffer_len = 66560;
  std::int32_t buffer_long_len = 66560;
};

struct GlobalParams;

// Turns a message text kept in UTF-8 into `charset`; the front end sets it once
// the character-set converters are linked in (messages stay UTF-8 without it).
using MessageConverter = std::string (*)(int charset, std::string_view utf8_text);

// Shows one message to the user of the windowed program.
using MessageBoxHook = void (*)(const GlobalParams& g, std::string_view text);

struct GlobalParams {
  std::string product_name = "Quillon";
  std::int32_t run_mode = kRunModeQuillon;
  Switch debug_mode = kNo;
  std::int32_t db_charset = kCharsetSjis;
  std::int32_t nls_charset = kCharsetUtf16;
  std::int32_t os_charset = kCharsetSjis;
  // Front ends set it from the user's locale (detect_language()).
  Language language = Language::kJapanese;
  Switch is_windowed = kNo;
  std::FILE* out_stream = stdout;
  std::FILE* err_stream = stderr;
  Limits maxp;
  std::array<std::string, kMaxMessages> messages;
  std::int32_t message_count = 0;
  std::int32_t sqlcode = 0;
  std::int32_t rtncode = 0;
  std::int32_t zulcode = 0;

  // Analyser file names set from the TEF_* environment variables.
  std::string tef_conf_fname;
  std::string tef_log_fname;
  std::int32_t tef_log_switch = 0;
  std::string tef_debug_fname;
  std::string tef_temp_fname;

  MessageConverter message_converter = nullptr;
  MessageBoxHook message_box = nullptr;
};

inline bool debug_on(const GlobalParams& g) noexcept { return is_on(g.debug_mode); }
inline bool windowed(const GlobalParams& g) noexcept { return is_on(g.is_windowed); }

}  // namespace qln
