#include "core/options_init.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "core/core_test_support.hpp"
#include "core/messages.hpp"

namespace qln {
namespace {

using testing_core::read_lines;
using testing_core::ScopedEnv;
using testing_core::ScopedTempDir;

struct CleanEnv {
  ScopedEnv debug{"QLN_DEBUG_MODE", nullptr};
  ScopedEnv date{"NLS_DATE_FORMAT", nullptr};
};

TEST(InitGlobalsAndOptions, FreshStartDefaults) {
  CleanEnv env;
  GlobalParams g;
  ConvOptions o;
  ASSERT_EQ(init_globals_and_options(g, o), 0);

  EXPECT_EQ(g.product_name, "Quillon");
  EXPECT_EQ(g.debug_mode, kNo);
  EXPECT_EQ(g.is_windowed, kNo);
  EXPECT_EQ(g.db_charset, kCharsetSjis);
  EXPECT_EQ(g.nls_charset, kCharsetUtf16);
  EXPECT_TRUE(g.os_charset == kCharsetSjis || g.os_charset == kCharsetEucJp ||
              g.os_charset == kCharsetUtf8);
  EXPECT_EQ(g.out_stream, stdout);
  EXPECT_EQ(g.err_stream, stderr);

  EXPECT_EQ(o.date_format, "YYYY/MM/DD HH24:MI:SS");
  EXPECT_EQ(o.date_printf, "%04d/%02d/%02d %02d:%02d:%02d");
  EXPECT_EQ(o.date_format_kind, 3);
  EXPECT_EQ(o.delimiter, ',');
  EXPECT_EQ(o.raw_length, 20);
  EXPECT_EQ(o.raw_format, kRawHex);
  EXPECT_EQ(o.max_record, -1);
  EXPECT_EQ(o.exp_mode, -1);
  EXPECT_EQ(o.exp_version, 10);
  EXPECT_EQ(o.ddl_kinds, kDdlAll);
  EXPECT_EQ(o.lob_target_col_idx, -1);
  EXPECT_EQ(o.lob_name_col_idx, -1);
  EXPECT_EQ(o.out_charset, g.os_charset);
  EXPECT_EQ(o.settings_fname, "Quillon.ini");
  EXPECT_EQ(o.initial_settings_fname, "Quillon.ini");

  EXPECT_EQ(o.is_unlimited, kYes);
  EXPECT_EQ(o.is_output_bom, kYes);
  for (Switch s : {o.is_tbl_list, o.is_select_list, o.is_first, o.is_preview, o.is_property,
                   o.is_delete_csv, o.is_to_sjis, o.is_condition, o.is_grep, o.is_header,
                   o.is_trim, o.is_quote}) {
    EXPECT_EQ(s, kNo);
  }
  EXPECT_TRUE(std::regex_match(o.start_time,
                               std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})")))
      << o.start_time;
}

TEST(InitGlobalsAndOptions, ResetsAUsedRecordButKeepsTheWorkAreas) {
  CleanEnv env;
  GlobalParams g;
  ConvOptions o;
  ASSERT_EQ(alloc_work_areas(g, o), 0);
  o.is_grep = kYes;
  o.grep_text = "x";
  o.exp_fname = {"a.dmp"};
  o.where_statement.push_back(TableCondition{});
  o.delimiter = '\t';
  o.table.table_name = "EMP";
  g.is_windowed = kYes;
  g.debug_mode = kYes;

  init_globals_and_options(g, o);
  EXPECT_EQ(o.is_grep, kNo);
  EXPECT_TRUE(o.grep_text.empty());
  EXPECT_EQ(o.exp_fname_count(), 0);
  EXPECT_EQ(o.where_count(), 0);
  EXPECT_EQ(o.delimiter, ',');
  EXPECT_TRUE(o.table.table_name.empty());
  EXPECT_EQ(g.is_windowed, kNo);
  EXPECT_EQ(g.debug_mode, kNo);
  EXPECT_GE(o.table.indexes.capacity(), static_cast<std::size_t>(kMaxIndexes));
}

TEST(InitGlobalsAndOptions, SettingsFileBesideTheGivenFolder) {
  CleanEnv env;
  GlobalParams g;
  ConvOptions o;
#ifdef _WIN32
  init_globals_and_options(g, o, "C:\\Quillon");
  EXPECT_EQ(o.settings_fname, "C:\\Quillon\\Quillon.ini");
  EXPECT_EQ(o.initial_settings_fname, o.settings_fname);
  init_globals_and_options(g, o, "C:\\Quillon\\");
  EXPECT_EQ(o.settings_fname, "C:\\Quillon\\Quillon.ini");
  init_globals_and_options(g, o, "C:/Quillon/");
  EXPECT_EQ(o.settings_fname, "C:/Quillon/Quillon.ini");
#else
  init_globals_and_options(g, o, "/opt/quillon");
  EXPECT_EQ(o.settings_fname, "/opt/quillon/Quillon.ini");
  EXPECT_EQ(o.initial_settings_fname, o.settings_fname);
  init_globals_and_options(g, o, "/opt/quillon/");
  EXPECT_EQ(o.settings_fname, "/opt/quillon/Quillon.ini");
#endif
}

TEST(InitGlobalsAndOptions, DebugModeNeedsExactSpelling) {
  ScopedEnv date("NLS_DATE_FORMAT", nullptr);
  const struct {
    const char* value;
    Switch expected;
  } cases[] = {{"ON", kYes}, {"TRUE", kYes}, {"on", kNo}, {"true", kNo},
               {"ON ", kNo}, {"1", kNo},     {"", kNo}};
  for (const auto& c : cases) {
    ScopedEnv debug("QLN_DEBUG_MODE", c.value);
    GlobalParams g;
    ConvOptions o;
    init_globals_and_options(g, o);
    EXPECT_EQ(g.debug_mode, c.expected) << '"' << c.value << '"';
  }
}

TEST(InitGlobalsAndOptions, DebugModeOnlyForThisSystemsRunModes) {
  ScopedEnv debug("QLN_DEBUG_MODE", "ON");
  for (int mode : {41, 42}) {
    GlobalParams g;
    g.run_mode = mode;
    ConvOptions o;
    init_globals_and_options(g, o);
    EXPECT_EQ(g.debug_mode, kYes) << mode;
  }
  GlobalParams g;
  g.run_mode = 0;
  g.product_name = "other";
  ConvOptions o;
  init_globals_and_options(g, o);
  EXPECT_EQ(g.debug_mode, kNo);
  EXPECT_EQ(g.product_name, "other");
  EXPECT_TRUE(o.settings_fname.empty());
}

TEST(InitGlobalsAndOptions, NlsDateFormatReplacesTheFormat) {
  ScopedEnv debug("QLN_DEBUG_MODE", nullptr);
  {
    ScopedEnv date("NLS_DATE_FORMAT", "DD-MON-RR");
    GlobalParams g;
    ConvOptions o;
    init_globals_and_options(g, o);
    EXPECT_EQ(o.date_format, "DD-MON-RR");
    EXPECT_EQ(o.date_format_kind, -1);
    EXPECT_EQ(o.date_printf, "%04d/%02d/%02d %02d:%02d:%02d");
  }
  {
    // Longer than the field takes: kept to its first 79 bytes.
    const std::string long_format = std::string(70, 'Y') + std::string(20, 'D');
    ScopedEnv date("NLS_DATE_FORMAT", long_format.c_str());
    GlobalParams g;
    ConvOptions o;
    init_globals_and_options(g, o);
    EXPECT_EQ(o.date_format, long_format.substr(0, kMaxDateFormatLen));
  }
}

TEST(InitLimits, SmallAndLargeValues) {
  GlobalParams g;
  g.maxp = Limits{0, 0, 0, 0, 0, 0, 0, 0};
  SqlAnalysisLimits a{1, 2, 3, 4};
  ASSERT_EQ(init_limits(g, a, false), 0);
  EXPECT_EQ(g.maxp.col_num, 1000);
  EXPECT_EQ(g.maxp.sql_level_num, 5);
  EXPECT_EQ(g.maxp.table_col_num, 1000);
  EXPECT_EQ(g.maxp.thresh_tblcoln, 666);
  EXPECT_EQ(g.maxp.index_col_num, 1000);
  EXPECT_EQ(g.maxp.thresh_indcoln, 666);
  EXPECT_EQ(g.maxp.buffer_len, 66560);
  EXPECT_EQ(g.maxp.buffer_long_len, 66560);
  EXPECT_EQ(a.sql_limit, 30);
  EXPECT_EQ(a.cond_limit, 1000);
  EXPECT_EQ(a.sql_capacity, 0);
  EXPECT_EQ(a.cond_capacity, 0);

  init_limits(g, a, true);
  EXPECT_EQ(g.maxp.col_num, 3000);
  EXPECT_EQ(g.maxp.sql_level_num, 50);
  EXPECT_EQ(g.maxp.table_col_num, 3000);
  EXPECT_EQ(g.maxp.index_col_num, 3000);
  EXPECT_EQ(g.maxp.thresh_tblcoln, 2000);
  EXPECT_EQ(g.maxp.thresh_indcoln, 2000);
}

TEST(WorkAreas, AllocatedAndReleased) {
  GlobalParams g;
  ConvOptions o;
  ASSERT_EQ(alloc_work_areas(g, o), 0);
  EXPECT_GE(o.table.indexes.capacity(), static_cast<std::size_t>(kMaxIndexes));
  EXPECT_EQ(g.message_count, 0);
  free_work_areas(o);
  EXPECT_EQ(o.table.indexes.capacity(), 0u);
  free_work_areas(o);
}

std::vector<std::string> dumped_lines(const GlobalParams& g, const ConvOptions& o,
                                      const ScopedTempDir& tmp) {
  EXPECT_EQ(dump_options(g, o), 0);
  return read_lines(tmp.file("QLNdebug.log"));
}

TEST(DumpOptions, WritesEveryLineOfAFreshStart) {
  CleanEnv env;
  ScopedTempDir tmp;
  GlobalParams g;
  ConvOptions o;
  init_globals_and_options(g, o);
  SqlAnalysisLimits a;
  init_limits(g, a, false);
  g.os_charset = kCharsetUtf8;

  const std::vector<std::string> expected = {
      "GLOBAL parameters >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      "sqlcode             = 0",
      "rtncode             = 0",
      "zulcode             = 0",
      "run_mode            = 41",
      "db_charset          = 1",
      "os_charset          = 3",
      "maxp.col_num        = 1000",
      "maxp.table_col_num  = 1000",
      "maxp.index_col_num  = 1000",
      "maxp.thresh_tblcoln = 666",
      "maxp.thresh_indcoln = 666",
      "maxp.buffer_len     = 66560",
      "maxp.buffer_long_len= 66560",
      "GLOBAL parameters <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<",
      "XCV options >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      "dbms_type           = 0",
      "dump_type           = 0",
      "output_mode         = 0",
      "read_step           = 0",
      "is_tbl_list         = -1",
      "is_first            = -1",
      "is_preview          = -1",
      "is_delete_csv       = -1",
      "is_to_sjis          = -1",
      "is_output_bom       = 0",
      "is_unlimited        = 0",
      "is_condition        = -1",
      "is_grep             = -1",
      "is_select_list      = -1",
      "select_list         = ||",
      "table_id            = ||",
      "log_fname           = ||",
      "err_fname           = ||",
      "query               = ||",
      "delimiter           = |,|",
      "raw_format          = 0",
      "raw_length          = 20",
      "lob_target_col_name = ||",
      "lob_target_col_idx  = -1",
      "lob_fname1          = ||",
      "lob_fname2          = ||",
      "max_record          = -1",
      "view_program        = 0",
      "view_program_path   = ||",
      "XCV options <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<",
  };
  EXPECT_EQ(dumped_lines(g, o, tmp), expected);
}

TEST(DumpOptions, ListsConditionsAndDumpFilesWithTheirOutputs) {
  CleanEnv env;
  ScopedTempDir tmp;
  GlobalParams g;
  ConvOptions o;
  init_globals_and_options(g, o);
  g.os_charset = kCharsetUtf8;
  o.where_statement.push_back(TableCondition{1, 0, "EMP", "SAL > 1000", ""});
  o.where_statement.push_back(TableCondition{0, 0, "DEPT", "", ""});
  o.exp_fname = {"a.dmp", "b.dmp"};
  o.out_fname = {"a.csv"};
  o.table_id = "EMP";
  o.delimiter = ';';

  const auto lines = dumped_lines(g, o, tmp);
  const auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  const auto where1 = at("where_statement     = [EMP] 1 |SAL > 1000|");
  EXPECT_LT(where1, static_cast<long>(lines.size()));
  EXPECT_EQ(at("where_statement     = [DEPT] 0 ||"), where1 + 1);
  EXPECT_EQ(at("table_id            = |EMP|"), where1 + 2);
  EXPECT_EQ(at("exp_fname           = |a.dmp|"), where1 + 3);
  EXPECT_EQ(at("out_fname           = |a.csv|"), where1 + 4);
  EXPECT_EQ(at("exp_fname           = |b.dmp|"), where1 + 5);
  EXPECT_EQ(at("out_fname           = ||"), where1 + 6);
  EXPECT_EQ(at("log_fname           = ||"), where1 + 7);
  EXPECT_LT(at("delimiter           = |;|"), static_cast<long>(lines.size()));
}

TEST(DumpOptions, LongTextsAreCutToTheLineBufferOnWholeCharacters) {
  CleanEnv env;
  ScopedTempDir tmp;
  GlobalParams g;
  ConvOptions o;
  init_globals_and_options(g, o);
  g.os_charset = kCharsetUtf8;
  // "query               = |" is 23 bytes; 4095 - 23 = 4072 is not a multiple of 3.
  std::string query;
  for (int i = 0; i < 2000; ++i) query += "あ";
  o.query = query;
  const auto lines = dumped_lines(g, o, tmp);
  const std::string head = "query               = |";
  const auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.rfind(head, 0) == 0; });
  ASSERT_NE(it, lines.end());
  EXPECT_EQ(*it, head + query.substr(0, 4071));
}

}  // namespace
}  // namespace qln
