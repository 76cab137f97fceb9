#include "cli/cli_main.hpp"

#include <cstdio>

namespace qln {

int cli_main(int, char**) {
  std::printf("\nQuillon: Release 2.9.8.0 - Production\n\n");
  return 0;
}

}  // namespace qln
