#pragma once
#include "cli/run_driver.hpp"

namespace qln {

// The jobs as this build provides them.
Jobs default_jobs();

}  // namespace qln
