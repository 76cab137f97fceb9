#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/switch.hpp"
#include "core/table_definition.hpp"

namespace qln {

// Limits the user can see.
inline constexpr int kMaxDumpFiles = 99;
inline constexpr int kMaxTableConditions = 100;
inline constexpr std::size_t kMaxPathLen = 512;
inline constexpr std::size_t kMaxWhereLen = 4096;
inline constexpr std::size_t kMaxColumnTextLen = 32000;
inline constexpr std::size_t kMaxGrepLen = 4096;
inline constexpr std::size_t kMaxSelectListLen = 32000;
inline constexpr std::size_t kMaxQueryLen = 66560;
inline constexpr std::size_t kMaxDateFormatLen = 79;

enum OutputMode : std::int32_t {
  kOutCsv = 0,
  kOutCsvBatch = 1,
  kOutInsert = 20,
  kOutDdl = 30,
  kOutLobFiles = 40,
};

enum DumpType : std::int32_t {
  kDumpUnknown = -1,
  kDumpConventional = 0,
  kDumpDirect = 1,
  kDumpDataPump = 2,
};

enum RawFormat : std::int32_t { kRawHex = 0, kRawAscii = 1, kRawIgnore = 9 };

enum DdlKind : std::uint8_t {
  kDdlTable = 0x01,
  kDdlIndex = 0x02,
  kDdlView = 0x04,
  kDdlSequence = 0x08,
  kDdlSynonym = 0x10,
  kDdlFunction = 0x20,
  kDdlProcedure = 0x40,
  kDdlPackage = 0x80,
  kDdlAll = 0xFF,
};

// The kinds as DDL= and the settings file name them, in the order written back.
struct DdlKindName {
  std::string_view name;
  std::uint8_t bit;
};
inline constexpr std::array<DdlKindName, 8> kDdlKindNames = {{{"TABLE", kDdlTable},
                                                             {"INDEX", kDdlIndex},
                                                             {"VIEW", kDdlView},
                                                             {"SEQUENCE", kDdlSequence},
                                                             {"SYNONYM", kDdlSynonym},
                                                             {"PACKAGE", kDdlPackage},
                                                             {"FUNCTION", kDdlFunction},
                                                             {"PROCEDURE", kDdlProcedure}}};

struct TableCondition {
  std::int32_t is_selected = 0;  // nonzero: selected ("[*]")
  std::int32_t not_found = 0;
  std::string table_name;
  std::string where_text;   // at most kMaxWhereLen bytes
  std::string column_text;  // at most kMaxColumnTextLen bytes
};

// The progress line shows when standard error is a terminal, unless forced.
inline constexpr Switch kProgressOnTerminal = 1;

struct ConvOptions {
  std::int32_t dbms_type = 0;
  std::int32_t dump_type = kDumpConventional;
  std::int32_t exp_mode = -1;
  std::int32_t exp_version = 10;
  std::string exp_version_str;
  std::string exp_user;
  std::string exp_date;
  std::int32_t output_mode = kOutCsv;
  std::uint8_t ddl_kinds = kDdlAll;
  std::int32_t table_mode = 0;
  std::int32_t read_step = 0;
  Switch is_tbl_list = kNo;
  Switch is_select_list = kNo;
  Switch is_first = kNo;
  Switch is_preview = kNo;
  Switch is_property = kNo;
  Switch is_delete_csv = kNo;
  Switch is_to_sjis = kNo;
  Switch is_output_bom = kYes;
  Switch is_unlimited = kYes;
  Switch is_condition = kNo;
  Switch is_grep = kNo;
  Switch is_header = kNo;
  Switch is_trim = kNo;
  Switch is_quote = kNo;
  Switch progress = kProgressOnTerminal;  // PROGRESS=Y|N forces it
  std::int32_t row_format = 0;  // 1 CSV, 2 INSERT
  char delimiter = ',';
  std::string grep_text;
  std::string select_list;
  std::string table_id;
  TableDefinition table;  // the current-table definition; table_id is its name
  std::vector<TableCondition> where_statement;  // at most kMaxTableConditions
  std::string query;
  std::string settings_fname;
  std::string log_fname;
  std::string err_fname;
  std::string initial_settings_fname;
  std::vector<std::string> exp_fname;  // at most kMaxDumpFiles
  std::string out_file;  // OUT_FILE as given; recorded in out_fname once opened
  std::vector<std::string> out_fname;  // output files of this run
  std::vector<std::int32_t> out_fname_flags;
  std::FILE* table_out = nullptr;  // a table's own output file, opened by open_table_output
  std::int32_t out_charset = 0;  // set to os_charset at start-up
  // DB_CHARSET: the set the database really stored its text in, when it
  // differs from the one the dump declares; -1 = the dump's own.
  std::int32_t db_charset_override = -1;
  std::vector<std::int64_t> dump_sizes;
  std::int64_t dump_total_size = 0;
  std::int32_t max_record = -1;
  std::int32_t preview_saved_max_record = 0;
  std::int32_t raw_format = kRawHex;
  std::int32_t raw_length = 20;
  // Threads that decode and format rows at most (THREADS); 0: one per core.
  std::int32_t threads = 0;
  std::string lob_table_name;
  std::string lob_target_col_name;
  std::int32_t lob_target_col_idx = -1;
  std::string lob_dir;
  std::string lob_fname;
  std::string lob_fname1;
  std::string lob_fname2;
  std::string lob_name_col;
  std::int32_t lob_name_col_idx = -1;
  std::int32_t view_program = 0;
  std::string view_program_path;
  std::string start_time;  // "YYYY/MM/DD HH:MM:SS"
  std::int32_t date_format_kind = 3;
  std::string date_format = "YYYY/MM/DD HH24:MI:SS";
  std::string date_printf = "%04d/%02d/%02d %02d:%02d:%02d";

  int where_count() const noexcept { return static_cast<int>(where_statement.size()); }
  int exp_fname_count() const noexcept { return static_cast<int>(exp_fname.size()); }
  int out_fname_count() const noexcept { return static_cast<int>(out_fname.size()); }
};

}  // namespace qln
