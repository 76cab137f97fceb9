#pragma once
#include <span>
#include <string>

#include "cli/owned_file.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/options_init.hpp"
#include "engine/output_file.hpp"

namespace qln {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitJobFailed = 1;
inline constexpr int kExitStartupFailed = -1;

// How a job ended. kAbort is the reader's "stop at once" (-11).
enum class JobStatus { kDone, kFailed, kAbort };

// The state of one run: the records and the streams this program opened.
// On destruction the records' stream handles are set back to the standard
// streams before the files close.
class RunContext {
 public:
  RunContext(GlobalParams& g, ConvOptions& o) : g(g), o(o) {}
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  GlobalParams& g;
  ConvOptions& o;
  SqlAnalysisLimits analysis;
  OwnedFile err_log;         // the ERRLOG file while it is open
  std::string err_log_path;  // the path err_log was opened with
  OwnedFile out_file;        // the OUT_FILE stream once opened
};

using JobFn = JobStatus (*)(RunContext&);

// The steps that need a dump reader. check_dump recognises the first dump
// file and fills the dump's kind and properties; kFailed ends the start-up.
struct Jobs {
  JobFn check_dump;
  JobFn properties;
  JobFn ddl;
  JobFn list_tables;
  JobFn describe_table;
  JobFn convert;
};

// The whole program: start-up, one job, clean-up; returns the exit code.
int run_cli(GlobalParams& g, ConvOptions& o, std::span<const std::string> args, const Jobs& jobs);

// Opens OUT_FILE as out_stream and records it for the clean-up of a failed
// run (message 1060 when it cannot be opened). Nothing to do without one.
int open_out_file(RunContext& ctx);

// Opens the ERRLOG file named in a parameter file, or keeps the one the
// pre-scan opened.
void prepare_error_log(RunContext& ctx);

// End of a run that succeeded: an ERRLOG file that received nothing goes.
void finish_successful_run(RunContext& ctx);

// End of a run that failed: the output files this run wrote go.
void finish_failed_run(RunContext& ctx);

}  // namespace qln
