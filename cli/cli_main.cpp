#include "cli/cli_main.hpp"

#include <string>
#include <vector>

#include "cli/jobs.hpp"
#include "core/platform.hpp"
#include "cli/run_driver.hpp"

namespace qln {

int cli_main(int argc, char** argv) {
  const std::vector<std::string> args = program_arguments(argc, argv);
  GlobalParams g;
  ConvOptions o;
  return run_cli(g, o, args, default_jobs());
}

}  // namespace qln
