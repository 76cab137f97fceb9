#pragma once
#include <string_view>

#include "core/global_params.hpp"
#include "core/table_definition.hpp"

namespace qln {

// The column-definition parser: fills `table` (name, columns, large-object
// count) from a CREATE TABLE statement. 0, or -1 after a reported failure
// (2139 for more than 1000 columns, 2215 for a text it cannot read).
int parse_create_table(GlobalParams& g, std::string_view statement, TableDefinition& table);

// Reads a CREATE [UNIQUE] INDEX statement. 1 when the index is on `table`
// (its name and columns are in `index`), 0 when it is on another table or
// the text is not an index definition.
int parse_create_index(std::string_view statement, std::string_view table, IndexDef& index);

}  // namespace qln
