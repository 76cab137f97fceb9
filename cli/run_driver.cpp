#include "cli/run_driver.hpp"

#include <filesystem>

#include "cli/help.hpp"
#include "cli/options.hpp"
#include "core/language.hpp"
#include "core/platform.hpp"
#include "core/messages.hpp"
#include "values/charset.hpp"

namespace qln {

namespace {


// Only regular files are ever removed: OUT_FILE=/dev/null must survive.
void remove_regular_file(const std::string& path) {
  if (path_kind(path) == PathKind::kRegular) remove_file(path);
}

class WorkAreas {
 public:
  explicit WorkAreas(ConvOptions& o) : o_(o) {}
  ~WorkAreas() { free_work_areas(o_); }
  WorkAreas(const WorkAreas&) = delete;
  WorkAreas& operator=(const WorkAreas&) = delete;

 private:
  ConvOptions& o_;
};

int startup_failure(RunContext& ctx) {
  flush_messages(ctx.g, ctx.g.err_stream);
  return kExitStartupFailed;
}

// Closes the ERRLOG file; one that received nothing is removed.
void close_error_log(RunContext& ctx) {
  if (!ctx.err_log) return;
  std::fflush(ctx.err_log.get());
  const bool empty = std::ftell(ctx.err_log.get()) == 0;
  if (ctx.g.err_stream == ctx.err_log.get()) ctx.g.err_stream = stderr;
  ctx.err_log.reset();
  if (empty) remove_regular_file(ctx.err_log_path);
}

int end_with(RunContext& ctx, JobStatus status) {
  switch (status) {
    case JobStatus::kDone:
      if (ctx.g.message_count > 0) flush_messages(ctx.g, ctx.g.err_stream);
      finish_successful_run(ctx);
      return kExitSuccess;
    case JobStatus::kFailed:
      flush_messages(ctx.g, ctx.g.err_stream);
      finish_failed_run(ctx);
      return kExitJobFailed;
    case JobStatus::kAbort:
      finish_failed_run(ctx);
      return kExitStartupFailed;
  }
  return kExitJobFailed;
}

JobFn select_job(const ConvOptions& o, const Jobs& jobs) {
  if (o.output_mode == kOutDdl) return jobs.ddl;
  if (is_on(o.is_tbl_list)) return o.table_id.empty() ? jobs.list_tables : jobs.describe_table;
  return jobs.convert;
}

}  // namespace

RunContext::~RunContext() {
  if (out_file && g.out_stream == out_file.get()) g.out_stream = stdout;
  if (err_log && g.err_stream == err_log.get()) g.err_stream = stderr;
}

int open_out_file(RunContext& ctx) {
  if (ctx.o.out_file.empty()) return 0;
  // Only a regular file this run created or truncated is recorded for the
  // clean-up of a failed run.
  ctx.out_file.reset(open_output_file(ctx.o, ctx.o.out_file));
  if (!ctx.out_file) return fail(ctx.g, MessageCode::kOpenFile, ctx.o.out_file);
  ctx.g.out_stream = ctx.out_file.get();
  return 0;
}

void prepare_error_log(RunContext& ctx) {
  if (ctx.o.err_fname.empty() || (ctx.err_log && ctx.err_log_path == ctx.o.err_fname)) return;
  close_error_log(ctx);
  ctx.err_log = open_file(ctx.o.err_fname, "w");
  if (!ctx.err_log) return;
  ctx.err_log_path = ctx.o.err_fname;
  ctx.g.err_stream = ctx.err_log.get();
}

void finish_successful_run(RunContext& ctx) { close_error_log(ctx); }

void finish_failed_run(RunContext& ctx) {
  if (ctx.out_file) {
    if (ctx.g.out_stream == ctx.out_file.get()) ctx.g.out_stream = stdout;
    ctx.out_file.reset();
  }
  for (const std::string& path : ctx.o.out_fname) remove_regular_file(path);
  ctx.o.out_fname.clear();
  ctx.o.out_fname_flags.clear();
}

int run_cli(GlobalParams& g, ConvOptions& o, std::span<const std::string> args, const Jobs& jobs) {
  g.run_mode = kRunModeQuillon;
  g.out_stream = stdout;
  g.err_stream = stderr;
  g.is_windowed = kNo;
  g.os_charset = detect_os_charset();
  g.language = detect_language();
  g.message_converter = static_cast<MessageConverter>(&utf8_to_os_charset);
  o.start_time = start_time_text();
  RunContext ctx(g, o);

  if (args.empty()) {
    print_banner(g.err_stream, g, o);
    fail(g, MessageCode::kNoArguments);
    flush_messages(g, g.err_stream);
    return kExitSuccess;
  }

  if (alloc_work_areas(g, o) != 0) return startup_failure(ctx);
  WorkAreas work_areas(o);
  const std::string start_time = o.start_time;
  init_globals_and_options(g, o);
  o.start_time = start_time;
  g.message_converter = static_cast<MessageConverter>(&utf8_to_os_charset);

  std::string text;
  if (join_arguments(g, args, text) != 0) return startup_failure(ctx);
  if (parse_errlog_option(g, text, o, ctx.err_log) != 0) return startup_failure(ctx);
  if (ctx.err_log) ctx.err_log_path = o.err_fname;
  const int parsed = parse_options(g, text, o);
  if (parsed == kParseStop) return end_with(ctx, JobStatus::kDone);
  if (parsed != 0) return startup_failure(ctx);
  init_limits(g, ctx.analysis, false);

  if (o.exp_fname.empty()) {
    fail(g, MessageCode::kBadArgument, "FILE");
    return startup_failure(ctx);
  }
  if (jobs.check_dump(ctx) != JobStatus::kDone) return startup_failure(ctx);
  if (is_on(o.is_property)) return end_with(ctx, jobs.properties(ctx));
  if (o.dump_type != kDumpConventional && o.dump_type != kDumpDirect && o.dump_type != kDumpDataPump) {
    fail(g, MessageCode::kDumpFormat);
    return startup_failure(ctx);
  }
  prepare_error_log(ctx);

  // No table named: the first one, unless table conditions choose them.
  set_switch(o.is_first, !is_on(o.is_condition));
  return end_with(ctx, select_job(o, jobs)(ctx));
}

}  // namespace qln
