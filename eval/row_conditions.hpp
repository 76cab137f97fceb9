#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "eval/cond_program.hpp"
#include "eval/statement_check.hpp"
#include "values/charset.hpp"
#include "values/sql_value.hpp"

namespace qln {

// The row conditions of one conversion: the QUERY's WHERE, or each table's
// own WHERE, compiled before the dump is read and bound to each table as
// it is met. A table without a condition keeps every row.
class RowConditions {
 public:
  RowConditions() = default;
  RowConditions(const RowConditions&) = delete;
  RowConditions& operator=(const RowConditions&) = delete;

  // Compiles o.query when given, else every entry of o.where_statement
  // (when o.is_condition is on). 0, or -1 after the messages.
  int prepare(GlobalParams& g, const ConvOptions& o);

  bool has_query() const noexcept { return has_query_; }
  const QueryTarget& query() const noexcept { return target_; }
  // Whether any table has a condition of its own (not the query's).
  bool has_table_conditions() const noexcept { return !tables_.empty(); }
  // The table-condition entry for a table name (case ignored), or nullptr.
  const TableCondition* table_entry(std::string_view table) const noexcept;

  // Binds the condition that applies to `table` (the query's, or the
  // table's own). 0, or -1 after 3104 / 2102.
  int start_table(GlobalParams& g, const TableDefinition& table);
  // Whether rows of the current table are tested at all.
  bool active() const noexcept { return current_ != nullptr && !current_->program.empty(); }

  // Evaluates the current table's condition on a row in table column
  // order: `keep` is true only when the condition is true. -1 when the
  // evaluation failed: the caller reports 3200 and ends the conversion.
  int keep(GlobalParams& g, std::span<const SqlValue> row, bool& keep);

  // The current table's program, for evaluation in a context of another
  // thread (prepare_eval_context); nullptr when rows are not tested.
  const CondProgram* program() const noexcept { return active() ? &current_->program : nullptr; }

  // The condition's column positions (rows may decode only these first).
  std::span<const std::int32_t> bound_columns() const noexcept;

  // The character set the row texts come in and the user's (that of the
  // condition texts): the texts a condition reads are converted to the
  // user's when they differ. The format a text compared with a date is read
  // in.
  void set_charsets(int row_charset, int user_charset, std::string_view date_format);

 private:
  struct Compiled {
    std::string table;
    const TableCondition* entry = nullptr;
    CondProgram program;
  };

  bool has_query_ = false;
  QueryTarget target_;
  std::vector<std::unique_ptr<Compiled>> tables_;  // the query's alone, or one per table
  Compiled* current_ = nullptr;
  EvalContext ctx_;
  int row_charset_ = kCharsetUnknown;
  int user_charset_ = kCharsetUnknown;
  CharsetConverter converter_;
  std::vector<SqlValue> converted_;  // the row with its read texts converted
};

}  // namespace qln
