#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"

namespace qln {

// Most Condition records one analysis may hold come from limits.cond_limit;
// the array grows in steps of kCondGrowth up to it.

// Analyses one condition clause (WHERE, ON, HAVING, START WITH, CONNECT BY)
// into Condition records appended to analysis.conditions, their indices to
// the list `clause` of statement `statement`. 0, or -1: after message 4000
// for the failures the analyser can name, without a message of its own when
// the clause is empty or ends in an operator or a connective. A predicate
// followed by a further operand word ends the clause there; `stopped_at`
// (when given) receives the byte offset of the first word left unread, the
// end of the text when every word was taken.
int analyze_condition(GlobalParams& g, int clause, std::string_view text, SqlAnalysis& analysis,
                      int statement, std::size_t* stopped_at = nullptr);

// Makes sure a record exists at analysis.condition_fill, growing the array by
// kCondGrowth records up to the condition limit; the record there is fresh.
int realloc_cond_buffer(GlobalParams& g, SqlAnalysis& analysis);

// Adds the record at the current fill to the clause list, then raises the
// fill and `count`.
int increment_cond_buffer(GlobalParams& g, SqlAnalysis& analysis, int statement, int clause,
                          int& count);

// Registers the columns (and analyses the sub-queries) of every operand of
// the clause's records.
int check_condition(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis, int clause,
                    int statement);
int check_condition_column(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                           const std::vector<std::int32_t>& list);

// Registers the columns of one operand text in the column table; `cols`
// receives their indices, `has_subquery` whether the operand held a
// sub-query (analysed with sql_subquery). 0, -1, or -22 when the column table
// is full.
int analyze_expression(GlobalParams& g, const TefConfig& config, SqlAnalysis& analysis,
                       std::string_view text, std::vector<std::int32_t>& cols,
                       bool& has_subquery);

// Registers the columns of one BETWEEN bound as kind 1, appending to `cols`.
// 0 or -22.
int check_between_column(GlobalParams& g, SqlAnalysis& analysis, std::string_view text,
                         std::vector<std::int32_t>& cols);

}  // namespace qln
