#include "core/options_init.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <utility>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "core/platform.hpp"

namespace qln {

namespace {

constexpr int kRunModeQuillonLast = 42;
constexpr std::size_t kDumpLineSize = 4096;

bool is_quillon_run_mode(int run_mode) {
  return run_mode >= kRunModeQuillon && run_mode <= kRunModeQuillonLast;
}

// Only the exact spellings switch the log on; "on" does not.
bool debug_requested() {
  const char* v = std::getenv("QLN_DEBUG_MODE");
  if (v == nullptr) return false;
  const std::string_view value = v;
  return value == "ON" || value == "TRUE";
}

// The records are reset whole; the work areas allocated before stay.
void reset_options(ConvOptions& o) {
  std::vector<IndexDef> indexes = std::move(o.table.indexes);
  indexes.clear();
  o = ConvOptions{};
  o.table.indexes = std::move(indexes);
}

std::string settings_path(std::string_view dir) {
  std::string path(dir);
  if (!path.empty() && !is_path_separator(path.back())) path += path_separator();
  path += kSettingsFileName;
  return path;
}

// A dump line has room for kDumpLineSize - 1 bytes; a longer one is cut
// before its first character that would not fit whole.
__attribute__((format(printf, 2, 3))) void log_line(const GlobalParams& g, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return;
  }
  std::string line(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(line.data(), line.size(), format, again);
  va_end(again);
  line.resize(cut_at_char_boundary(g.os_charset, std::string_view(line.data(), n), kDumpLineSize - 1));
  debug_log(g, line);
}

}  // namespace

std::string start_time_text() {
  const LocalTime t = local_now();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

int init_globals_and_options(GlobalParams& g, ConvOptions& o) {
  return init_globals_and_options(g, o, {});
}

int init_globals_and_options(GlobalParams& g, ConvOptions& o, std::string_view settings_dir) {
  reset_options(o);

  g.out_stream = stdout;
  g.err_stream = stderr;
  g.is_windowed = kNo;
  g.db_charset = kCharsetSjis;
  g.nls_charset = kCharsetUtf16;
  g.os_charset = detect_os_charset();
  g.debug_mode = kNo;

  if (is_quillon_run_mode(g.run_mode) && debug_requested()) g.debug_mode = kYes;

  if (const char* nls = std::getenv("NLS_DATE_FORMAT"); nls != nullptr) {
    const std::string_view value = nls;
    o.date_format = value.substr(0, cut_at_char_boundary(g.os_charset, value, kMaxDateFormatLen));
    o.date_format_kind = -1;
  }

  o.out_charset = g.os_charset;
  o.start_time = start_time_text();

  if (is_quillon_run_mode(g.run_mode)) {
    g.product_name = "Quillon";
    o.settings_fname = settings_path(settings_dir);
    o.initial_settings_fname = o.settings_fname;
  }
  return 0;
}

int init_limits(GlobalParams& g, SqlAnalysisLimits& analysis, bool large) {
  Limits& m = g.maxp;
  const std::int32_t columns = large ? 3000 : 1000;
  m.col_num = columns;
  m.sql_level_num = large ? 50 : 5;
  m.table_col_num = columns;
  m.thresh_tblcoln = large ? 2000 : (columns / 3) * 2;
  m.index_col_num = columns;
  m.thresh_indcoln = large ? 2000 : (columns / 3) * 2;
  m.buffer_len = 66560;
  m.buffer_long_len = 66560;

  analysis = SqlAnalysisLimits{};
  return 0;
}

int alloc_work_areas(GlobalParams& g, ConvOptions& o) {
  try {
    o.table.indexes.reserve(kMaxIndexes);
  } catch (const std::bad_alloc&) {
    free_work_areas(o);
    return fail(g, MessageCode::kOutOfMemory);
  } catch (const std::length_error&) {
    free_work_areas(o);
    return fail(g, MessageCode::kOutOfMemory);
  }
  return 0;
}

void free_work_areas(ConvOptions& o) {
  std::vector<IndexDef>().swap(o.table.indexes);
}

int dump_options(const GlobalParams& g, const ConvOptions& o) {
  const Limits& m = g.maxp;
  log_line(g, "GLOBAL parameters >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
  log_line(g, "sqlcode             = %d", g.sqlcode);
  log_line(g, "rtncode             = %d", g.rtncode);
  log_line(g, "zulcode             = %d", g.zulcode);
  log_line(g, "run_mode            = %d", g.run_mode);
  log_line(g, "db_charset          = %d", g.db_charset);
  log_line(g, "os_charset          = %d", g.os_charset);
  log_line(g, "maxp.col_num        = %d", m.col_num);
  log_line(g, "maxp.table_col_num  = %d", m.table_col_num);
  log_line(g, "maxp.index_col_num  = %d", m.index_col_num);
  log_line(g, "maxp.thresh_tblcoln = %d", m.thresh_tblcoln);
  log_line(g, "maxp.thresh_indcoln = %d", m.thresh_indcoln);
  log_line(g, "maxp.buffer_len     = %d", m.buffer_len);
  log_line(g, "maxp.buffer_long_len= %d", m.buffer_long_len);
  log_line(g, "GLOBAL parameters <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");

  log_line(g, "XCV options >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
  log_line(g, "dbms_type           = %d", o.dbms_type);
  log_line(g, "dump_type           = %d", o.dump_type);
  log_line(g, "output_mode         = %d", o.output_mode);
  log_line(g, "read_step           = %d", o.read_step);
  log_line(g, "is_tbl_list         = %d", o.is_tbl_list);
  log_line(g, "is_first            = %d", o.is_first);
  log_line(g, "is_preview          = %d", o.is_preview);
  log_line(g, "is_delete_csv       = %d", o.is_delete_csv);
  log_line(g, "is_to_sjis          = %d", o.is_to_sjis);
  log_line(g, "is_output_bom       = %d", o.is_output_bom);
  log_line(g, "is_unlimited        = %d", o.is_unlimited);
  log_line(g, "is_condition        = %d", o.is_condition);
  log_line(g, "is_grep             = %d", o.is_grep);
  log_line(g, "is_select_list      = %d", o.is_select_list);
  log_line(g, "select_list         = |%s|", o.select_list.c_str());
  for (const TableCondition& w : o.where_statement) {
    log_line(g, "where_statement     = [%s] %d |%s|", w.table_name.c_str(), w.is_selected,
             w.where_text.c_str());
  }
  log_line(g, "table_id            = |%s|", o.table_id.c_str());
  for (std::size_t i = 0; i < o.exp_fname.size(); ++i) {
    log_line(g, "exp_fname           = |%s|", o.exp_fname[i].c_str());
    log_line(g, "out_fname           = |%s|", i < o.out_fname.size() ? o.out_fname[i].c_str() : "");
  }
  log_line(g, "log_fname           = |%s|", o.log_fname.c_str());
  log_line(g, "err_fname           = |%s|", o.err_fname.c_str());
  log_line(g, "query               = |%s|", o.query.c_str());
  log_line(g, "delimiter           = |%c|", o.delimiter);
  log_line(g, "raw_format          = %d", o.raw_format);
  log_line(g, "raw_length          = %d", o.raw_length);
  log_line(g, "lob_target_col_name = |%s|", o.lob_target_col_name.c_str());
  log_line(g, "lob_target_col_idx  = %d", o.lob_target_col_idx);
  log_line(g, "lob_fname1          = |%s|", o.lob_fname1.c_str());
  log_line(g, "lob_fname2          = |%s|", o.lob_fname2.c_str());
  log_line(g, "max_record          = %d", o.max_record);
  log_line(g, "view_program        = %d", o.view_program);
  log_line(g, "view_program_path   = |%s|", o.view_program_path.c_str());
  log_line(g, "XCV options <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
  return 0;
}

}  // namespace qln
