// Command-line text and parameter files: the input up to the first NUL is a
// parameter file, the rest the command line. Parsing only: no job runs, so
// nothing the text names is written.
#include <string>

#include "cli/options.hpp"
#include "core/options_init.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qln::fuzz;
  const std::string_view input = as_text(data, size);
  const std::size_t nul = input.find('\0');
  std::string text;
  if (nul != std::string_view::npos) {
    const std::string parfile = write_scratch_file("p.par", input.substr(0, nul));
    text = "PARFILE=" + parfile + " " + std::string(input.substr(nul + 1));
  } else {
    text = std::string(input);
  }
  qln::GlobalParams g;
  qln::ConvOptions o;
  qln::init_globals_and_options(g, o);
  (void)qln::parse_options(g, text, o);
  return 0;
}
