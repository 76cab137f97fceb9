#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "sql/condition_analysis.hpp"
#include "sql/select_analysis.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"

namespace qln::testing_support {

// One prepared analysis record, as the run driver holds it.
class AnalysisTest : public ::testing::Test {
 protected:
  AnalysisTest() { g.os_charset = kCharsetUtf8; }

  void SetUp() override { prepare(); }

  void prepare() {
    if (!a.fulltext.allocated()) {
      ASSERT_EQ(malloc_sql_buffer(g, o, a), 0);
    }
    ASSERT_EQ(prepare_sql_analysis(g, config, a), 0);
    g.message_count = 0;
    for (auto& m : g.messages) m.clear();
  }

  // The run driver's road: a fresh analysis of one SELECT text.
  int select(std::string_view sql) {
    prepare();
    std::size_t pos = 0;
    return sql_select(g, config, a, sql, pos);
  }

  // A per-table condition, analysed the way the condition path does.
  int where(std::string_view cond) {
    return select(std::string("SELECT * FROM DUAL WHERE ") + std::string(cond));
  }

  // Only the condition analyser, on statement 0 of a fresh analysis.
  int condition(std::string_view cond, int clause = kClauseWhere) {
    prepare();
    return analyze_condition(g, clause, cond, a, 0);
  }

  const SqlStatement& st(int s = 0) const { return a.statements.at(static_cast<std::size_t>(s)); }
  const std::vector<std::int32_t>& list(int clause = kClauseWhere, int s = 0) const {
    return st(s).cond_lists.at(static_cast<std::size_t>(clause));
  }
  const Condition& rec(std::size_t k, int clause = kClauseWhere, int s = 0) const {
    return a.conditions.at(static_cast<std::size_t>(list(clause, s).at(k)));
  }
  // A pool text, or "<none>" for -1.
  std::string text(std::int32_t offset) const {
    return offset < 0 ? "<none>" : std::string(get_fulltext(a, offset));
  }
  std::string left(std::size_t k, int clause = kClauseWhere, int s = 0) const {
    return text(rec(k, clause, s).left_text);
  }
  std::string right(std::size_t k, int clause = kClauseWhere, int s = 0) const {
    return text(rec(k, clause, s).right_text);
  }
  const SqlColumn& col(std::int32_t index) const {
    return a.columns.at(static_cast<std::size_t>(index));
  }

  bool queued(std::string_view part) const {
    for (int i = 0; i < g.message_count; ++i) {
      if (g.messages[static_cast<std::size_t>(i)].find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::string all_messages() const {
    std::string out;
    for (int i = 0; i < g.message_count; ++i) out += g.messages[static_cast<std::size_t>(i)] + "\n";
    return out;
  }

  GlobalParams g;
  ConvOptions o;
  TefConfig config;
  SqlAnalysis a;
};

}  // namespace qln::testing_support
