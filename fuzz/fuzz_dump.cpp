// Any bytes as a dump file, through every job of quillon-cli: the reader must
// end each with success or a numbered message, never crash or hang.
#include <array>
#include <string>
#include <vector>

#include "cli/cli_main.hpp"
#include "fuzz_support.hpp"

namespace {

// The first input byte picks the job; the rest is the dump.
const std::array<std::vector<std::string>, 8> kJobs = {{
    {"PROPERTY=Y"},
    {"LIST=Y"},
    {"LIST=Y", "TABLE=ORDERS"},
    {"HEADER=Y", "OUT_FILE=out.csv"},
    {"MODE=CSV_BATCH"},
    {"MODE=INSERT", "DBMS=POSTGRESQL", "OUT_FILE=out.sql"},
    {"MODE=DDL", "OUT_FILE=out.ddl"},
    {"LOB_TARGET=DOCUMENTS.BODY", "LOB_DIR=.", "LOB_FILE=doc_%ID%.bin"},
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qln::fuzz;
  if (size < 1) return 0;
  silence_stdout();
  const auto& job = kJobs[data[0] % kJobs.size()];
  const std::string dump = write_scratch_file("in.dmp", as_text(data + 1, size - 1));

  std::vector<std::string> args = {"quillon-cli", "FILE=" + dump};
  args.insert(args.end(), job.begin(), job.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  qln::cli_main(static_cast<int>(args.size()), argv.data());
  clear_scratch("in.dmp");
  return 0;
}
