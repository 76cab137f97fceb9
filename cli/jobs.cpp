#include "cli/jobs.hpp"

#include <cstdio>
#include <string_view>

#include "cli/progress.hpp"
#include "core/messages.hpp"
#include "dump/dump_header.hpp"
#include "engine/conversion.hpp"
#include "dump/properties.hpp"
#include "values/charset.hpp"

namespace qln {

namespace {


// The header reader queues its own message (3100, 11 or another).
JobStatus check_dump_header(RunContext& ctx) {
  return read_dmp_header(ctx.g, ctx.o) == 0 ? JobStatus::kDone : JobStatus::kFailed;
}

JobStatus show_properties(RunContext& ctx) {
  if (print_properties(ctx.g, ctx.o, stdout) == 0) return JobStatus::kDone;
  fail(ctx.g, std::ferror(stdout) != 0 ? MessageCode::kStdoutWrite : MessageCode::kProcessing);
  return JobStatus::kFailed;
}

// What the run's Status means for the job.
JobStatus job_status(RunContext& ctx, const Status& s, const Results& results) {
  if (s.ok()) return JobStatus::kDone;
  if (results.abort) {
    // The program ends at once, but the reason must reach the user.
    flush_messages(ctx.g, ctx.g.err_stream);
    return JobStatus::kAbort;
  }
  return JobStatus::kFailed;
}

JobStatus run(RunContext& ctx, Job job) {
  Results results;
  if (!progress_wanted(ctx.o.progress)) return job_status(ctx, run_job(ctx.g, ctx.o, job, results), results);
  Status s;
  {
    ProgressLine line(ctx.g, stderr);
    RunControl control{[&line](const RunProgress& p) { line.update(p); }, nullptr};
    s = run_job(ctx.g, ctx.o, job, results, &control);
  }
  if (s.ok() && job == Job::kConvert && !results.written.empty()) {
    const std::string summary = summary_text(ctx.g, results.written);
    std::fwrite(summary.data(), 1, summary.size(), stderr);
    std::fflush(stderr);
  }
  return job_status(ctx, s, results);
}

JobStatus write_ddl(RunContext& ctx) { return run(ctx, Job::kConvert); }

JobStatus list_tables(RunContext& ctx) { return run(ctx, Job::kListTables); }

JobStatus describe_table(RunContext& ctx) {
  // Table conditions without a table name: nothing to describe but the list.
  if (ctx.o.table_id.empty()) return list_tables(ctx);
  return run(ctx, Job::kDescribeTable);
}

JobStatus convert_rows(RunContext& ctx) { return run(ctx, Job::kConvert); }

}  // namespace

Jobs default_jobs() {
  return Jobs{check_dump_header, show_properties, write_ddl, list_tables, describe_table, convert_rows};
}

}  // namespace qln
