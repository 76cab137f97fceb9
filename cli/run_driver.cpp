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

// Prints the queued messages to the error stream. When the ERRLOG file
// cannot take them (a full disk), they go to standard error with the reason.
void report_messages(RunContext& ctx) {
  GlobalParams& g = ctx.g;
  if (!ctx.err_log || g.err_stream != ctx.err_log.get()) {
    flush_messages(g, g.err_stream);
    return;
  }
  const auto messages = g.messages;
  const int count = g.message_count;
  flush_messages(g, g.err_stream);
  if (std::fflush(ctx.err_log.get()) == 0 && std::ferror(ctx.err_log.get()) == 0) return;
  g.messages = messages;
  g.message_count = count;
  g.err_stream = stderr;
  ctx.err_log.reset();
  fail(g, MessageCode::kFileWrite, ctx.err_log_path);
  flush_messages(g, stderr);
}

int startup_failure(RunContext& ctx) {
  report_messages(ctx);
  return kExitStartupFailed;
}

// ERRLOG must not be the dump or OUT_FILE: refused before a byte goes to it.
bool error_log_collides(const ConvOptions& o, const std::string& path) {
  return is_dump_volume(o, path) || (!o.out_file.empty() && same_file(path, o.out_file));
}

// The ERRLOG file the pre-scan opened (without truncating it) becomes the
// run's, emptied, once the options show it is neither the dump nor an output.
int claim_error_log(RunContext& ctx, const std::string& named) {
  if (!ctx.err_log) {
    if (!named.empty()) fail(ctx.g, MessageCode::kErrlogOpen, named);
    return 0;
  }
  if (error_log_collides(ctx.o, ctx.err_log_path)) {
    if (ctx.g.err_stream == ctx.err_log.get()) ctx.g.err_stream = stderr;
    ctx.err_log.reset();
    return fail(ctx.g, MessageCode::kSameFile, ctx.err_log_path);
  }
  // Opened again, now emptied.
  const bool current = ctx.g.err_stream == ctx.err_log.get();
  if (current) ctx.g.err_stream = stderr;
  ctx.err_log.reset();
  ctx.err_log = open_file(ctx.err_log_path, "w");
  ctx.g.err_stream = current && ctx.err_log ? ctx.err_log.get() : stderr;
  if (!ctx.err_log) fail(ctx.g, MessageCode::kErrlogOpen, ctx.err_log_path);
  return 0;
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
      if (ctx.g.message_count > 0) report_messages(ctx);
      finish_successful_run(ctx);
      return kExitSuccess;
    case JobStatus::kFailed:
      report_messages(ctx);
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

int prepare_error_log(RunContext& ctx) {
  if (ctx.o.err_fname.empty() || (ctx.err_log && ctx.err_log_path == ctx.o.err_fname)) return 0;
  close_error_log(ctx);
  if (error_log_collides(ctx.o, ctx.o.err_fname)) return fail(ctx.g, MessageCode::kSameFile, ctx.o.err_fname);
  ctx.err_log = open_file(ctx.o.err_fname, "w");
  if (!ctx.err_log) {
    fail(ctx.g, MessageCode::kErrlogOpen, ctx.o.err_fname);
    return 0;
  }
  ctx.err_log_path = ctx.o.err_fname;
  ctx.g.err_stream = ctx.err_log.get();
  return 0;
}

void finish_successful_run(RunContext& ctx) {
  if (ctx.out_file) {
    if (ctx.g.out_stream == ctx.out_file.get()) ctx.g.out_stream = stdout;
    ctx.out_file.reset();
  }
  std::string failed;
  if (commit_output_files(ctx.o, failed) != 0) {
    fail(ctx.g, MessageCode::kFileWrite, failed);
    flush_messages(ctx.g, ctx.g.err_stream);
    remove_output_files(ctx.o);
  }
  close_error_log(ctx);
}

void finish_failed_run(RunContext& ctx) {
  if (ctx.out_file) {
    if (ctx.g.out_stream == ctx.out_file.get()) ctx.g.out_stream = stdout;
    ctx.out_file.reset();
  }
  // What this run wrote goes; files that were there before stay as they were.
  remove_output_files(ctx.o);
  close_error_log(ctx);
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
  const std::string named_log = o.err_fname;
  const int parsed = parse_options(g, text, o);
  if (claim_error_log(ctx, named_log) != 0) return startup_failure(ctx);
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
  if (prepare_error_log(ctx) != 0) return startup_failure(ctx);

  // No table named: the first one, unless table conditions choose them.
  set_switch(o.is_first, !is_on(o.is_condition));
  return end_with(ctx, select_job(o, jobs)(ctx));
}

}  // namespace qln
