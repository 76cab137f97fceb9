#include "cli/jobs.hpp"

#include "core/messages.hpp"
#include "dump/dump_header.hpp"
#include "dump/properties.hpp"

namespace qln {

namespace {

constexpr int kMsgInternal = 4000;
constexpr int kMsgProcessing = 3900;

// The table readers are not part of this build yet: every job that needs
// one says so and fails.
JobStatus unavailable(RunContext& ctx, const char* what) {
  fail(ctx.g, kMsgInternal, what);
  return JobStatus::kFailed;
}

// The header reader queues its own message (3100, 11 or another).
JobStatus check_dump_header(RunContext& ctx) {
  return read_dmp_header(ctx.g, ctx.o) == 0 ? JobStatus::kDone : JobStatus::kFailed;
}

JobStatus show_properties(RunContext& ctx) {
  if (print_properties(ctx.g, ctx.o, stdout) == 0) return JobStatus::kDone;
  fail(ctx.g, kMsgProcessing);
  return JobStatus::kFailed;
}

JobStatus write_ddl(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus list_tables(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus describe_table(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus convert_rows(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }

}  // namespace

Jobs default_jobs() {
  return Jobs{check_dump_header, show_properties, write_ddl, list_tables, describe_table, convert_rows};
}

}  // namespace qln
