#include "cli/cli_main.hpp"

int main(int argc, char** argv) { return qln::cli_main(argc, argv); }
