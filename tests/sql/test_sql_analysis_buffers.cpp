#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/platform.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"
#include "sql/text_pool.hpp"
#include "sql/word_codes.hpp"

namespace qln {
namespace {

bool queued(const GlobalParams& g, std::string_view text) {
  for (int i = 0; i < g.message_count; ++i) {
    if (g.messages[static_cast<std::size_t>(i)].find(text) != std::string::npos) return true;
  }
  return false;
}

class Buffers : public ::testing::Test {
 protected:
  Buffers() {
    EXPECT_EQ(malloc_sql_buffer(g, options, analysis), 0);
    EXPECT_EQ(prepare_sql_analysis(g, config, analysis), 0);
  }
  ~Buffers() override { free_sql_buffer(g, options, analysis); }

  // Takes a slot for a sub-query and leaves it again, like a finished SELECT.
  int add_statement(std::string_view text) {
    int index = -1;
    if (realloc_sql_buffer(g, analysis, kStatementSelect, text, index) != 0) return -1;
    leave_statement(analysis);
    return index;
  }

  GlobalParams g;
  ConvOptions options;
  TefConfig config;
  SqlAnalysis analysis;
};

TEST_F(Buffers, FreshAnalysisHasItsArraysAndLimits) {
  EXPECT_EQ(analysis.statements.size(), 5u);
  EXPECT_EQ(analysis.limits.sql_capacity, 5);
  EXPECT_EQ(analysis.limits.sql_limit, 30);
  EXPECT_EQ(analysis.conditions.size(), 100u);
  EXPECT_EQ(analysis.limits.cond_capacity, 100);
  EXPECT_EQ(analysis.limits.cond_limit, 1000);
  EXPECT_EQ(analysis.tables.size(), 6u);
  EXPECT_EQ(analysis.columns.size(), 1001u);
  EXPECT_EQ(analysis.statement_count, 0);
  EXPECT_EQ(analysis.nesting_depth, 0);
  EXPECT_TRUE(analysis.comment_texts.empty());
  const SqlStatement& s = analysis.statements[0];
  EXPECT_EQ(s.tables.size(), 5u);
  EXPECT_EQ(s.tables[0].text, -1);
  EXPECT_EQ(s.tables[0].kind, -1);
  EXPECT_EQ(s.tables[0].subquery, -1);
  EXPECT_EQ(s.with_text, -1);
  EXPECT_EQ(s.start_with_text, -1);
  EXPECT_EQ(s.set_operator, -1);
  EXPECT_EQ(s.next_statement, -1);
  const Condition& c = analysis.conditions[99];
  EXPECT_EQ(c.reserved, -1);
  EXPECT_EQ(c.left_text, -1);
  EXPECT_EQ(c.op, -1);
  EXPECT_EQ(c.next_logic, -1);
  EXPECT_EQ(c.left_flags, "0000000000000000");
  EXPECT_EQ(c.right_flags, "0000000000000000");
}

TEST_F(Buffers, ThirtyStatementsFitTheThirtyFirstFails) {
  int first = -1;
  ASSERT_EQ(realloc_sql_buffer(g, analysis, kStatementSelect, "SELECT 1 FROM DUAL", first), 0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(analysis.statements[0].parent, -1);
  for (int i = 1; i < 30; ++i) {
    ASSERT_EQ(add_statement("(SELECT X FROM T)"), i);
    EXPECT_EQ(analysis.statements[static_cast<std::size_t>(i)].parent, 0);
  }
  EXPECT_EQ(analysis.statement_count, 30);
  EXPECT_EQ(analysis.statements.size(), 30u);
  EXPECT_EQ(g.message_count, 0);
  EXPECT_EQ(add_statement("SELECT Y FROM U"), -1);
  EXPECT_TRUE(queued(g, "realloc_sql_buffer() num. of SQL over"));
  EXPECT_TRUE(queued(g, "ZUL-04000"));
  EXPECT_EQ(analysis.statement_count, 30);
}

TEST_F(Buffers, NestingElevenDeepFails) {
  int index = -1;
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(realloc_sql_buffer(g, analysis, kStatementSelect, "SELECT 1 FROM DUAL", index), 0);
    EXPECT_EQ(index, i);
    EXPECT_EQ(analysis.statements[static_cast<std::size_t>(i)].parent, i - 1);
  }
  EXPECT_EQ(analysis.nesting_depth, 10);
  EXPECT_EQ(realloc_sql_buffer(g, analysis, kStatementSelect, "SELECT 2 FROM DUAL", index), -1);
  EXPECT_TRUE(queued(g, "realloc_sql_buffer() num. of SQL nest over"));
  EXPECT_EQ(analysis.statement_count, 10);
  // Once the innermost finishes, a sibling may be added under statement 8.
  leave_statement(analysis);
  ASSERT_EQ(realloc_sql_buffer(g, analysis, kStatementSelect, "SELECT 3 FROM DUAL", index), 0);
  EXPECT_EQ(index, 10);
  EXPECT_EQ(analysis.statements[10].parent, 8);
}

TEST_F(Buffers, GrowthKeepsEarlierStatements) {
  analysis.statements[0].text = "SELECT A FROM (SELECT A FROM T)";
  int index = -1;
  ASSERT_EQ(realloc_sql_buffer(g, analysis, kStatementSelect, analysis.statements[0].text, index),
            0);
  for (int i = 1; i < 5; ++i) {
    ASSERT_EQ(add_statement(" ((SELECT " + std::to_string(i) + " FROM T) "), i);
    analysis.statements[static_cast<std::size_t>(i)].where_text = "W" + std::to_string(i);
    analysis.statements[static_cast<std::size_t>(i)].cond_lists[kClauseWhere].push_back(i);
  }
  EXPECT_EQ(analysis.statements.size(), 5u);
  // The new statement's text may come from a statement the growth moves.
  analysis.statements[4].work_text = "(SELECT 5)";
  ASSERT_EQ(add_statement(analysis.statements[4].work_text), 5);
  EXPECT_EQ(analysis.statements[5].text, "SELECT 5)");
  EXPECT_EQ(analysis.statements.size(), 10u);
  EXPECT_EQ(analysis.limits.sql_capacity, 10);
  EXPECT_EQ(analysis.statements[0].text, "SELECT A FROM (SELECT A FROM T)");
  for (int i = 1; i < 5; ++i) {
    const SqlStatement& s = analysis.statements[static_cast<std::size_t>(i)];
    EXPECT_EQ(s.text, "SELECT " + std::to_string(i) + " FROM T)");
    EXPECT_EQ(s.where_text, "W" + std::to_string(i));
    ASSERT_EQ(s.cond_lists[kClauseWhere].size(), 1u);
    EXPECT_EQ(s.index, i);
  }
  EXPECT_EQ(analysis.statements[5].tables.size(), 5u);
  EXPECT_EQ(analysis.statements[5].tables[4].kind, -1);
}

TEST_F(Buffers, PreparationResetsForTheNextAnalysisAndReusesSlots) {
  for (int i = 0; i < 7; ++i) ASSERT_GE(add_statement("SELECT 1 FROM T"), 0);
  analysis.statements[0].where_text = "old";
  analysis.statements[0].tables[0].alias = "X";
  analysis.statements[0].tables[0].kind = kTableInlineView;
  analysis.conditions[3].op = kWordLike;
  ASSERT_GE(put_fulltext(analysis, "old text"), 0);
  analysis.column_fill = 3;
  analysis.columns[2].column_name = "C";
  analysis.condition_fill = 4;

  ASSERT_EQ(prepare_sql_analysis(g, config, analysis), 0);
  EXPECT_EQ(analysis.statement_count, 0);
  EXPECT_EQ(analysis.statements.size(), 10u);  // slots stay allocated
  EXPECT_EQ(analysis.column_fill, 0);
  EXPECT_EQ(analysis.condition_fill, 0);
  EXPECT_EQ(analysis.fulltext.fill(), 0);
  EXPECT_EQ(analysis.columns[2].column_name, "");
  EXPECT_EQ(analysis.conditions[3].op, -1);
  EXPECT_EQ(analysis.statements[0].where_text, "");
  EXPECT_EQ(analysis.statements[0].tables[0].alias, "");
  EXPECT_EQ(analysis.statements[0].tables[0].kind, -1);
  EXPECT_EQ(analysis.tables[0].kind, 0);  // the analysis-wide array is zeroed
}

TEST_F(Buffers, ResetStatementKeepsItsPlaceButClearsTheRest) {
  SqlStatement s;
  s.index = 4;
  s.parent = 2;
  s.kind = kStatementSelect;
  s.text = "SELECT";
  s.kw_where = "WHERE";
  s.select_list = {1, 2};
  s.cond_lists[kClauseHaving] = {7};
  s.group_by_list = {3};
  s.with_text = 12;
  s.set_operator = kWordUnion;
  s.next_statement = 5;
  s.table_count = 2;
  ASSERT_EQ(reset_statement(g, s), 0);
  EXPECT_EQ(s.index, 4);
  EXPECT_EQ(s.parent, 2);
  EXPECT_EQ(s.kind, kStatementSelect);
  EXPECT_TRUE(s.text.empty());
  EXPECT_TRUE(s.kw_where.empty());
  EXPECT_TRUE(s.select_list.empty());
  EXPECT_TRUE(s.cond_lists[kClauseHaving].empty());
  EXPECT_TRUE(s.group_by_list.empty());
  EXPECT_EQ(s.with_text, -1);
  EXPECT_EQ(s.set_operator, -1);
  EXPECT_EQ(s.next_statement, -1);
  EXPECT_EQ(s.table_count, 0);
  EXPECT_EQ(s.tables.size(), 5u);
}

TEST_F(Buffers, FreeTwiceIsHarmlessAndMallocAgainWorks) {
  ASSERT_GE(add_statement("SELECT 1 FROM T"), 0);
  EXPECT_EQ(free_sql_buffer(g, options, analysis), 0);
  EXPECT_TRUE(analysis.statements.empty());
  EXPECT_FALSE(analysis.fulltext.allocated());
  EXPECT_EQ(free_sql_buffer(g, options, analysis), 0);
  EXPECT_EQ(g.message_count, 0);
  ASSERT_EQ(malloc_sql_buffer(g, options, analysis), 0);
  EXPECT_EQ(analysis.statements.size(), 5u);
  EXPECT_EQ(put_fulltext(analysis, "x"), 0);
}

TEST(TextPool, OffsetsAndLimits) {
  SqlAnalysis a;
  EXPECT_EQ(put_fulltext(a, "EMP"), 0);
  EXPECT_EQ(put_fulltext(a, ""), 4);
  EXPECT_EQ(put_fulltext(a, "SAL > 1000"), 5);
  EXPECT_EQ(get_fulltext(a, 0), "EMP");
  EXPECT_EQ(get_fulltext(a, 4), "");
  EXPECT_EQ(get_fulltext(a, 5), "SAL > 1000");
  EXPECT_EQ(get_fulltext(a, 1), "MP");
  EXPECT_EQ(get_fulltext(a, -1), "");
  EXPECT_EQ(get_fulltext(a, 655360), "");
  EXPECT_EQ(get_fulltext(a, 1000), "");  // beyond the fill
  // Text after a NUL is not stored.
  EXPECT_EQ(put_fulltext(a, std::string_view("ab\0cd", 5)), 16);
  EXPECT_EQ(get_fulltext(a, 16), "ab");
  EXPECT_EQ(a.fulltext.fill(), 19);
}

TEST(TextPool, FillsUpToTheLastByte) {
  TextPool pool;
  const std::string big(655359 - 10, 'x');
  ASSERT_EQ(pool.put(big), 0);
  const std::string_view first = pool.get(0);
  EXPECT_EQ(pool.put(std::string(10, 'y')), -1);  // 10 + 655,350 > 655,359
  EXPECT_EQ(pool.put(std::string(9, 'y')), 655350);
  EXPECT_EQ(pool.fill(), 655360);
  EXPECT_EQ(pool.get(655350), "yyyyyyyyy");
  EXPECT_EQ(pool.put(""), -1);
  EXPECT_EQ(first.size(), big.size());  // earlier views stay valid
  EXPECT_EQ(first.front(), 'x');
  pool.clear();
  EXPECT_EQ(pool.get(0), "");
  EXPECT_EQ(pool.put("z"), 0);
}

TEST(TefConfig, DefaultsAndEnvironment) {
  ::unsetenv("TEF_CONF");
  ::unsetenv("TEF_LOG");
  ::unsetenv("TEF_DEBUG");
  ::unsetenv("TEF_TEMP");
  GlobalParams g;
  TefConfig c;
  c.analysis_mode = 3;
  c.default_schema = "SCOTT";
  c.comment_words = {"x"};
  c.collect_comments = kYes;
  ASSERT_EQ(init_tef_config(g, c), 0);
  EXPECT_EQ(c.analysis_mode, 0);
  EXPECT_TRUE(c.default_schema.empty());
  EXPECT_TRUE(c.comment_words.empty());
  EXPECT_TRUE(c.comment_words_other.empty());
  EXPECT_FALSE(is_on(c.collect_comments));
  EXPECT_EQ(c.csv_fname, "tef.csv");
  EXPECT_EQ(c.separator, "    ");
  EXPECT_EQ(g.tef_conf_fname, "");
  EXPECT_EQ(g.tef_log_fname, "tef.log");
  EXPECT_EQ(g.tef_log_switch, 1);
  EXPECT_EQ(g.tef_debug_fname, "");
  EXPECT_EQ(g.tef_temp_fname, "tef.tmp");

  ::setenv("TEF_CONF", "/etc/tef.conf", 1);
  ::setenv("TEF_LOG", "/tmp/a.log", 1);
  ::setenv("TEF_DEBUG", "/tmp/d.log", 1);
  ::setenv("TEF_TEMP", "/tmp/t.tmp", 1);
  ASSERT_EQ(init_tef_config(g, c), 0);
  EXPECT_EQ(g.tef_conf_fname, "/etc/tef.conf");
  EXPECT_EQ(g.tef_log_fname, "/tmp/a.log");
  EXPECT_EQ(g.tef_debug_fname, "/tmp/d.log");
  EXPECT_EQ(g.tef_temp_fname, "/tmp/t.tmp");
  // A configuration path already set is kept.
  ::setenv("TEF_CONF", "/other.conf", 1);
  ::unsetenv("TEF_LOG");
  ASSERT_EQ(init_tef_config(g, c), 0);
  EXPECT_EQ(g.tef_conf_fname, "/etc/tef.conf");
  EXPECT_EQ(g.tef_log_fname, "tef.log");
  ::unsetenv("TEF_CONF");
  ::unsetenv("TEF_DEBUG");
  ::unsetenv("TEF_TEMP");
}

TEST(NowText, Format) {
  LocalTime t;
  t.year = 2011;
  t.month = 3;
  t.day = 5;
  t.hour = 9;
  t.minute = 7;
  t.second = 2;
  EXPECT_EQ(format_time_text(t), "2011/03/05 09:07:02");
  std::string now;
  ASSERT_EQ(now_text(now), 0);
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})"))) << now;
}

}  // namespace
}  // namespace qln
