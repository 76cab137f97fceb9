#include "cli/jobs.hpp"

#include "core/messages.hpp"

namespace qln {

namespace {

constexpr int kMsgInternal = 4000;

// The dump readers are not part of this build yet: every step that needs
// one says so and fails.
JobStatus unavailable(RunContext& ctx, const char* what) {
  fail(ctx.g, kMsgInternal, what);
  return JobStatus::kFailed;
}

JobStatus check_dump_header(RunContext& ctx) { return unavailable(ctx, "read_dmp_header() not available"); }
JobStatus show_properties(RunContext& ctx) { return unavailable(ctx, "print_properties() not available"); }
JobStatus write_ddl(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus list_tables(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus describe_table(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }
JobStatus convert_rows(RunContext& ctx) { return unavailable(ctx, "read_dmp() not available"); }

}  // namespace

Jobs default_jobs() {
  return Jobs{check_dump_header, show_properties, write_ddl, list_tables, describe_table, convert_rows};
}

}  // namespace qln
