#pragma once
#include <string>

#include "cli/run_driver.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"

namespace qln {

// The jobs as this build provides them.
Jobs default_jobs();

// The description of one table as LIST=Y TABLE=X prints it: its columns with
// their types (and constraint texts), then its indexes with their columns.
// Labels are given in the user's character set.
std::string format_table_definition(const GlobalParams& g, const TableDefinition& table);

}  // namespace qln
