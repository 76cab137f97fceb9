#pragma once
#include <string>

#include "cli/run_driver.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "engine/conversion.hpp"

namespace qln {

// The jobs as this build provides them.
Jobs default_jobs();

}  // namespace qln
