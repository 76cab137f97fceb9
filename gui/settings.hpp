#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"

namespace qln::gui {

enum class ViewProgram : std::int8_t { kNone = -1, kSpreadsheet = 0, kTextEditor = 1, kUser = 2 };
enum class TableMode : std::int8_t { kSelect = 0, kFirst = 1, kPreview = 2 };

// One table section of the file: the table, its condition and its columns.
struct TableCondition {
  std::string table;    // upper case, at most 30 bytes
  std::string where;    // shorter than 4096 bytes
  std::string columns;  // shorter than 32000 bytes, upper case
  bool selected = true;
  bool operator==(const TableCondition&) const = default;
};

inline constexpr std::size_t kMaxConditions = 100;
inline constexpr std::size_t kMaxTableName = 30;
inline constexpr std::size_t kMaxPath = 512;
inline constexpr std::size_t kMaxWhereText = 4095;
inline constexpr std::size_t kMaxColumnText = 31999;
inline constexpr char kDefaultDateFormat[] = "YYYY/MM/DD HH24:MI:SS";

// What the windowed program keeps between runs. Text is UTF-8 in memory;
// the file is converted at its edge.
struct Settings {
  bool header = false;
  bool trim = false;
  bool to_sjis = false;
  std::int32_t max_record = -1;
  std::int32_t preview_saved_max_record = 0;  // max_record as the file had it in preview mode
  bool unlimited = true;
  std::string date_format = kDefaultDateFormat;
  ViewProgram view_program = ViewProgram::kSpreadsheet;
  std::string view_program_path;
  TableMode table_mode = TableMode::kSelect;
  bool preview = false;
  char delimiter = ',';
  bool where_condition = false;
  bool delete_csv = false;
  bool quote = false;
  bool batch_output = false;
  std::uint8_t ddl_kinds = kDdlAll;
  std::string lob_dir;
  std::string lob_file;
  std::string lob_table;
  std::string lob_column;
  std::string grep;
  std::string select_list;
  bool select_list_on = false;
  std::string db_charset;  // an Oracle set name overriding the dump's; empty: the dump's own
  bool debug = false;  // read only, never written
  bool grep_on = false;  // chosen in the main window, not kept in the file
  std::string query;   // a WHERE line outside any section
  std::vector<TableCondition> conditions;  // sorted by table, then condition

  bool operator==(const Settings&) const = default;
};

// The standard file: QLN_INIFILE_PATH when set and shorter than 513 bytes,
// else Quillon.ini in the executable's folder; nothing when that is unknown.
std::optional<std::string> standard_settings_path(const char* env_value, std::string_view exe_dir);

// Applies the lines of a settings text (UTF-8, LF or CR LF) to `s`. The
// conditions in `s` are replaced by those of the text.
void parse_settings(std::string_view text, Settings& s);

// The new text of a settings file: `old_text` (nullopt when there is no file)
// with its known keys replaced, comments and unknown lines kept in place.
// `standard`: every key is written, else only those the file had.
// `with_conditions`: the table sections are written anew from `s`.
std::string render_settings(const std::optional<std::string>& old_text, const Settings& s,
                            bool standard, bool with_conditions);

// Reads a file into `s`: 0, or -1 when it cannot be read (a missing standard
// file is 0 and leaves `s` alone). Shift_JIS, or UTF-8 after a BOM.
int read_settings(Settings& s, const std::string& path, bool named);

// Writes `s` into `path` through a work file that replaces the old file only
// once it is complete: 0, or -1 (the old file is then unchanged). The file
// keeps the encoding it had; a new file is Shift_JIS.
int write_settings(const Settings& s, const std::string& path, bool named, bool with_conditions);

// DDL kinds as the file writes them ("TABLE|INDEX", or "ALL") and reads them.
std::string ddl_kinds_text(std::uint8_t kinds);
std::uint8_t parse_ddl_kinds(std::string_view text);

}  // namespace qln::gui
