#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "eval/cond_program.hpp"
#include "sql/sql_analysis.hpp"

namespace qln {

// Rejects what statement 0 of an analysis holds but a conversion cannot
// run: a select option (2009 with it), no select list (2204), several
// tables or a join (2104), an inline view (2103), GROUP BY (2105), ORDER BY
// (2106), HAVING (2107), START WITH / CONNECT BY (2108), and set operators,
// INTO, FOR UPDATE, WITH, partitions, flashback and any other clause (2009
// naming it). 0, or -1 after the message (the caller adds 2199).
int check_statement(GlobalParams& g, const SqlAnalysis& a);

// What a query converts: the FROM table and the columns its select list
// names, in order (empty when it selects every column with "*").
struct QueryTarget {
  std::string schema;
  std::string table;
  std::string alias;
  struct Column {
    std::string qualifier;
    std::string name;
    bool quoted = false;
  };
  std::vector<Column> columns;
};

// Reads the target of a checked statement 0. A select item other than "*",
// "T.*" or a column name (with its qualifier) is refused with 2009 naming
// it: the output holds the stored values only.
int query_target(GlobalParams& g, const SqlAnalysis& a, QueryTarget& target);

// The table positions of the target's columns, in select-list order; empty
// for "*". 3104 naming a column the table lacks.
int resolve_query_columns(GlobalParams& g, const QueryTarget& target, const TableDefinition& table,
                          std::vector<int>& positions);

// The whole preparation of a QUERY text before the dump is read: analysed
// (2001 when the analyser fails; message 3 "QUERY" when it is no SELECT),
// checked (then 2199), its target read and its WHERE compiled into `p`
// (aliases and schema kept for binding). 0 or -1 after the messages.
int prepare_query(GlobalParams& g, SqlAnalysis& a, std::string_view query, QueryTarget& target,
                  CondProgram& p, EvalContext& ctx);

// The same for one table's condition text, analysed as
// "SELECT * FROM DUAL WHERE " + text. A blank text leaves `p` empty (every
// row). A leading WHERE keyword is accepted.
int prepare_table_condition(GlobalParams& g, SqlAnalysis& a, std::string_view where, CondProgram& p,
                            EvalContext& ctx);

}  // namespace qln
