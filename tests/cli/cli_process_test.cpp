#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "cli_test_support.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

using testing_cli::Outcome;
using testing_cli::read_file;
using testing_cli::run_cli;
using testing_cli::TempDir;

// Runs the built program through the shell, as a user would.
class CliProcess : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;
  Outcome run(const std::string& args) { return run_cli(dir, args); }
};

const std::string kBannerPattern = "Quillon: Release 2\\.9\\.8\\.0 - Production on \\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}";

TEST_F(CliProcess, NoArgumentsShowsBannerAndMessage4AndSucceeds) {
  const Outcome o = run("");
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, "");
  EXPECT_TRUE(std::regex_match(o.err, std::regex("\n" + kBannerPattern +
                                                 "\n\n\nZUL-00004: 引数が指定されていません。処理を中断します。\n\n")))
      << o.err;
}

TEST_F(CliProcess, HelpAndVersionGoToStandardOutput) {
  for (const char* args : {"HELP=Y", "help=y", "--help", "-h"}) {
    const Outcome o = run(args);
    EXPECT_EQ(o.exit_code, 0) << args;
    EXPECT_EQ(o.err, "") << args;
    EXPECT_TRUE(std::regex_search(o.out, std::regex("^\n" + kBannerPattern + "\n\n\n\n\n"))) << args;
    EXPECT_NE(o.out.find("GREP        検索文字列\n"), std::string::npos) << args;
  }
  const Outcome v = run("--version");
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_TRUE(std::regex_match(v.out, std::regex("\n" + kBannerPattern + "\n\n\n"))) << v.out;
}

TEST_F(CliProcess, OptionFailuresEndWith255AndTheMessage) {
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"HEADER=N", "ZUL-00003: 引数が不正です(\"HEADER\")。処理を中断します。\n\n"},
      {"NOSUCH=1", "ZUL-00006: 不明なパラメータ名です(\"NOSUCH\")。処理を中断します。\n\n"},
      {"HEADER=Y", "ZUL-00003: 引数が不正です(\"FILE\")。処理を中断します。\n\n"},
      {"FILE=missing.dmp", "ZUL-03100: dumpファイルオープンエラー(\"missing.dmp\")。処理を中断します。\n\n"},
      {"PARFILE=none.par", "ZUL-03010: パラメータ・ファイル'none.par'をオープンできません。\n\n"},
      {"'QUERY=(DELETE FROM EMP' HEADER=Y", "ZUL-00003: 引数が不正です(\"QUERY\")。処理を中断します。\n\n"},
      {"FILE=" + std::string(4100, 'a'), "ZUL-00005: 引数が長すぎます。処理を中断します。\n\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_EQ(o.exit_code, 255) << c.args.substr(0, 40);
    EXPECT_EQ(o.err, c.err) << c.args.substr(0, 40);
    EXPECT_EQ(o.out, "") << c.args.substr(0, 40);
  }
}

TEST_F(CliProcess, QuotedShellValuesStayOneValue) {
  dir.write("my dump.dmp", "x");
  // The quotes reach the program as part of no argument; the value with its
  // blank must still name the one file (which then fails the missing reader,
  // not the option parser).
  const Outcome o = run("'FILE=my dump.dmp' \"WHERE=[EMP]SAL > 1000\" 'GREP=a b' HEADER=N");
  EXPECT_EQ(o.err, "ZUL-00003: 引数が不正です(\"HEADER\")。処理を中断します。\n\n");
}

TEST_F(CliProcess, ErrorLogReceivesTheMessagesInsteadOfStandardError) {
  const Outcome o = run("ERRLOG=err.log HEADER=N");
  EXPECT_EQ(o.exit_code, 255);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(read_file(dir.file("err.log")), "ZUL-00003: 引数が不正です(\"HEADER\")。処理を中断します。\n\n");
  // A later option fails: the pre-scan has already opened the log.
  const Outcome later = run("HEADER=N ERRLOG='second log.txt'");
  EXPECT_EQ(later.err, "");
  EXPECT_NE(read_file(dir.file("second log.txt")).find("HEADER"), std::string::npos);
}

TEST_F(CliProcess, DumpHeaderIsCheckedBeforeAnyJob) {
  dir.write("text.dmp", "this is no export dump at all\n");
  const Outcome o = run("FILE=text.dmp LIST=Y");
  EXPECT_EQ(o.exit_code, 255);
  EXPECT_EQ(o.err, "ZUL-00011: サポート外のファイルです。処理を中断します。\n\n");
  EXPECT_EQ(o.out, "");
}

TEST_F(CliProcess, PropertiesOfARealDumpEndWithZero) {
  const std::string dump = std::string(QLN_DUMPS_DIR) + "/scott.dmp";
  QLN_SKIP_WITHOUT_REAL_DUMP(dump);
  const Outcome o = run("FILE='" + dump + "' PROPERTY=Y ERRLOG=err.log");
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out.substr(0, o.out.find('\n')), "ダンプ種別          データポンプ");
  EXPECT_NE(o.out.find("ユーザ名            SYS\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("err.log")));
}

TEST_F(CliProcess, EmptyErrorLogIsRemovedAtASuccessfulEnd) {
  const Outcome o = run("ERRLOG=err.log HELP=Y");
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("err.log")));
}

}  // namespace
}  // namespace qln
