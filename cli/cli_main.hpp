#pragma once

namespace qln {

// The whole quillon-cli program; returns the process exit code.
int cli_main(int argc, char** argv);

}  // namespace qln
