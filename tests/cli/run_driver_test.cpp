#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/run_driver.hpp"
#include "cli_test_support.hpp"
#include "core/messages.hpp"

namespace qln {
namespace {

using testing_cli::read_file;
using testing_cli::Records;
using testing_cli::TempDir;

// Markers the fake jobs leave in read_step, so a test can tell which ran.
constexpr int kRanProperties = 101, kRanDdl = 102, kRanList = 103, kRanDescribe = 104, kRanConvert = 105;

JobStatus header_ok(RunContext&) { return JobStatus::kDone; }
JobStatus header_fails(RunContext& ctx) {
  fail(ctx.g, 11);
  return JobStatus::kFailed;
}
JobStatus header_says_kind_3(RunContext& ctx) {
  ctx.o.dump_type = 3;
  return JobStatus::kDone;
}
JobStatus mark(RunContext& ctx, int marker) {
  ctx.o.read_step = marker;
  return JobStatus::kDone;
}
JobStatus properties(RunContext& ctx) { return mark(ctx, kRanProperties); }
JobStatus ddl(RunContext& ctx) { return mark(ctx, kRanDdl); }
JobStatus list(RunContext& ctx) { return mark(ctx, kRanList); }
JobStatus describe(RunContext& ctx) { return mark(ctx, kRanDescribe); }

// Writes into OUT_FILE and a batch file, then succeeds or fails.
JobStatus write_outputs(RunContext& ctx) {
  ctx.o.read_step = kRanConvert;
  if (open_out_file(ctx) != 0) return JobStatus::kFailed;
  std::fputs("1,A\n", ctx.g.out_stream);
  if (ctx.o.out_file.empty()) return JobStatus::kDone;  // never write into the working folder
  const std::string batch = ctx.o.out_file + ".batch.csv";
  if (OwnedFile f = open_file(batch, "w")) record_output_file(ctx.o, batch);
  return JobStatus::kDone;
}
JobStatus convert_ok(RunContext& ctx) { return write_outputs(ctx); }
JobStatus convert_fails(RunContext& ctx) {
  if (write_outputs(ctx) != JobStatus::kDone) return JobStatus::kFailed;
  fail(ctx.g, 3900);
  return JobStatus::kFailed;
}
JobStatus convert_aborts(RunContext& ctx) {
  write_outputs(ctx);
  fail(ctx.g, 3102);
  return JobStatus::kAbort;
}

JobStatus convert_fails_early(RunContext& ctx) {
  fail(ctx.g, 3900);
  return JobStatus::kFailed;
}

constexpr Jobs kJobs{header_ok, properties, ddl, list, describe, convert_ok};

class RunDriver : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  Records r;
  TempDir dir;
  std::string dump = dir.write("a.dmp", "dump");
  std::string out = dir.file("out.csv");
  std::string log = dir.file("err.log");

  int run(std::vector<std::string> args, const Jobs& jobs = kJobs) {
    args.insert(args.begin(), "FILE=" + dump);
    return run_cli(r.g, r.o, args, jobs);
  }
};

TEST_F(RunDriver, SuccessKeepsOutputAndRemovesEmptyErrorLog) {
  EXPECT_EQ(run({"OUT_FILE=" + out, "ERRLOG=" + log}), kExitSuccess);
  EXPECT_EQ(r.o.read_step, kRanConvert);
  EXPECT_EQ(read_file(out), "1,A\n");
  EXPECT_TRUE(std::filesystem::exists(out + ".batch.csv"));
  EXPECT_FALSE(std::filesystem::exists(log)) << "an error log that received nothing goes";
  EXPECT_EQ(r.g.out_stream, stdout);
  EXPECT_EQ(r.g.err_stream, stderr);
}

TEST_F(RunDriver, FailedJobDeletesItsOutputsAndEndsWithOne) {
  EXPECT_EQ(run({"OUT_FILE=" + out, "ERRLOG=" + log}, Jobs{header_ok, properties, ddl, list, describe, convert_fails}),
            kExitJobFailed);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(out + ".batch.csv"));
  EXPECT_EQ(read_file(log), "ZUL-03900: 処理中にエラーが発生しました。処理を中断します。\n\n");
}

TEST_F(RunDriver, FailedJobNeverDeletesWhatIsNotARegularFile) {
  EXPECT_EQ(run({std::string("OUT_FILE=") + test_support::kNullDevice, "ERRLOG=" + log},
                Jobs{header_ok, properties, ddl, list, describe, convert_fails}),
            kExitJobFailed);
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::exists("/dev/null"));
#endif
}

TEST_F(RunDriver, FileNamedButNeverOpenedStays) {
  const std::string existing = dir.write("keep.csv", "old");
  EXPECT_EQ(run({"OUT_FILE=" + existing, "ERRLOG=" + log},
                Jobs{header_ok, properties, ddl, list, describe, convert_fails_early}),
            kExitJobFailed);
  EXPECT_EQ(read_file(existing), "old");
}

TEST_F(RunDriver, AbortDeletesOutputsWithoutFlushing) {
  EXPECT_EQ(run({"OUT_FILE=" + out, "ERRLOG=" + log}, Jobs{header_ok, properties, ddl, list, describe, convert_aborts}),
            kExitStartupFailed);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(read_file(log), "");
}

TEST_F(RunDriver, JobSelection) {
  struct Case {
    std::vector<std::string> args;
    int marker;
  };
  const Case cases[] = {
      {{"LIST=Y"}, kRanList},       {{"LIST=Y", "TABLE=emp"}, kRanDescribe}, {{"MODE=DDL"}, kRanDdl},
      {{"PROPERTY=Y", "MODE=DDL"}, kRanProperties}, {{"TABLE=EMP"}, kRanConvert},
  };
  for (const Case& c : cases) {
    Records fresh;
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "FILE=" + dump);
    EXPECT_EQ(run_cli(fresh.g, fresh.o, args, kJobs), kExitSuccess) << c.args[0];
    EXPECT_EQ(fresh.o.read_step, c.marker) << c.args[0];
  }
}

TEST_F(RunDriver, FirstTableUnlessConditionsAreInForce) {
  ASSERT_EQ(run({"LIST=Y"}), kExitSuccess);
  EXPECT_EQ(r.o.table_id, "");
  EXPECT_TRUE(is_on(r.o.is_first));
  Records with_where;
  const std::vector<std::string> args = {"FILE=" + dump, "WHERE=[EMP]SAL > 1", "ERRLOG=" + log};
  ASSERT_EQ(run_cli(with_where.g, with_where.o, args, kJobs), kExitSuccess);
  EXPECT_EQ(with_where.o.table_id, "");
  EXPECT_FALSE(is_on(with_where.o.is_first));
  EXPECT_EQ(with_where.o.read_step, kRanConvert);
}

TEST_F(RunDriver, StartUpFailures) {
  EXPECT_EQ(run({"ERRLOG=" + log}, Jobs{header_fails, properties, ddl, list, describe, convert_ok}),
            kExitStartupFailed);
  EXPECT_EQ(read_file(log), "ZUL-00011: サポート外のファイルです。処理を中断します。\n\n");

  Records r2;
  EXPECT_EQ(run_cli(r2.g, r2.o, std::vector<std::string>{"FILE=" + dump, "ERRLOG=" + log},
                    Jobs{header_says_kind_3, properties, ddl, list, describe, convert_ok}),
            kExitStartupFailed);
  EXPECT_EQ(read_file(log), "ZUL-03102: dumpファイル書式エラー。処理を中断します。\n\n");

  Records r3;
  EXPECT_EQ(run_cli(r3.g, r3.o, std::vector<std::string>{"HEADER=Y", "ERRLOG=" + log}, kJobs), kExitStartupFailed);
  EXPECT_EQ(read_file(log), "ZUL-00003: 引数が不正です(\"FILE\")。処理を中断します。\n\n");
}

TEST_F(RunDriver, ErrorLogNamedInAParameterFile) {
  const std::string par = dir.write("p.par", "ERRLOG=" + log + "\n");
  EXPECT_EQ(run({"PARFILE=" + par, "OUT_FILE=" + out}, Jobs{header_ok, properties, ddl, list, describe, convert_fails}), kExitJobFailed);
  EXPECT_EQ(read_file(log), "ZUL-03900: 処理中にエラーが発生しました。処理を中断します。\n\n");
}

}  // namespace
}  // namespace qln
