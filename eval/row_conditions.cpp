#include "eval/row_conditions.hpp"

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/switch.hpp"

namespace qln {

int RowConditions::prepare(GlobalParams& g, const ConvOptions& o) {
  tables_.clear();
  current_ = nullptr;
  has_query_ = false;
  if (o.query.empty() && !is_on(o.is_condition)) return 0;
  SqlAnalysis analysis;
  ConvOptions sizing;  // malloc_sql_buffer reads only the limits of g
  if (malloc_sql_buffer(g, sizing, analysis) != 0) return -1;
  int rc = 0;
  if (!o.query.empty()) {
    has_query_ = true;
    auto c = std::make_unique<Compiled>();
    rc = prepare_query(g, analysis, o.query, target_, c->program, ctx_);
    c->table = target_.table;
    tables_.push_back(std::move(c));
  } else if (is_on(o.is_condition)) {
    for (const TableCondition& entry : o.where_statement) {
      auto c = std::make_unique<Compiled>();
      c->table = entry.table_name;
      c->entry = &entry;
      rc = prepare_table_condition(g, analysis, entry.where_text, c->program, ctx_);
      if (rc != 0) break;
      tables_.push_back(std::move(c));
    }
  }
  free_sql_buffer(g, sizing, analysis);
  return rc;
}

const TableCondition* RowConditions::table_entry(std::string_view table) const noexcept {
  if (has_query_) return nullptr;
  for (const auto& c : tables_)
    if (equals_nocase(c->table, table)) return c->entry;
  return nullptr;
}

int RowConditions::start_table(GlobalParams& g, const TableDefinition& table) {
  current_ = nullptr;
  if (has_query_) {
    if (equals_nocase(target_.table, table.table_name)) current_ = tables_.front().get();
  } else {
    for (const auto& c : tables_) {
      if (equals_nocase(c->table, table.table_name)) {
        current_ = c.get();
        break;
      }
    }
  }
  if (current_ == nullptr) return 0;
  return bind_cond_program(g, current_->program, ctx_, table);
}

int RowConditions::keep(GlobalParams& g, std::span<const SqlValue> row, bool& keep) {
  keep = true;
  if (!active()) return 0;
  if (row_charset_ != user_charset_) {
    // Only the columns the condition reads are converted.
    if (converted_.size() < row.size()) converted_.resize(row.size());
    for (const std::int32_t col : current_->program.bound_columns) {
      const auto c = static_cast<std::size_t>(col);
      if (c >= row.size()) continue;
      SqlValue& v = converted_[c];
      value_copy(row[c], v);
      if ((v.type == VT_TEXT || v.type == VT_BYTES) && v.length > 0) {
        if (convert_charset(converter_, row_charset_, user_charset_, v.text) != 0) return -1;
        v.length = static_cast<std::int32_t>(v.text.size());
      }
    }
    row = std::span<const SqlValue>(converted_.data(), row.size());
  }
  int truth = kCondFalse;
  if (eval_row_condition(g, current_->program, ctx_, row, truth) != 0) {
    keep = false;
    return -1;
  }
  keep = truth == kCondTrue;
  return 0;
}

std::span<const std::int32_t> RowConditions::bound_columns() const noexcept {
  if (current_ == nullptr) return {};
  return current_->program.bound_columns;
}

void RowConditions::set_charsets(int row_charset, int user_charset, std::string_view date_format) {
  user_charset_ = user_charset;
  row_charset_ = has_conversion(row_charset) && has_conversion(user_charset) ? row_charset : user_charset;
  for (const auto& c : tables_) {
    c->program.charset = user_charset;
    c->program.date_format.assign(date_format);
  }
}

}  // namespace qln
