#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/table_definition.hpp"
#include "engine/record_run.hpp"

namespace qln::gui {

// One visible row of the table dialog and the table-list entry behind it.
struct TableRow {
  std::size_t entry = 0;
  std::string name;
  std::int64_t rows = 0;  // a table followed by its partitions: their sum
};

// What the name filter compares with: the typed text upper-cased outside
// quotes, blanks at both ends removed.
std::string filter_key(std::string_view typed);

// The rows whose upper-cased name begins with the filter key, in list order.
std::vector<TableRow> table_rows(const std::vector<TableListEntry>& tables, std::string_view typed);

// The names of the checked columns, in table order.
std::vector<std::string> chosen_columns(const std::vector<ColumnDef>& columns, const std::vector<bool>& checked);

}  // namespace qln::gui
