#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "engine/output_file.hpp"
#include "engine/table_output.hpp"
#include "support/temp_dir.hpp"

// The run's output files: one per table where the run wants them, and the
// clean-up of a failed run.
namespace qln {
namespace {

namespace fs = std::filesystem;
using test_support::read_text_file;

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qln_writer_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    o.log_fname = (dir / "dump.csv").string();
    o.out_charset = kCharsetUtf8;
    o.output_mode = kOutCsvBatch;
  }
  void TearDown() override {
    close_table_output(g, o);
    fs::remove_all(dir);
  }
  GlobalParams g;
  ConvOptions o;
  fs::path dir;
};

TEST_F(OutputFiles, BatchOpensOneFilePerTableWithBom) {
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  ASSERT_NE(g.out_stream, stdout);
  std::fputs("a\n", g.out_stream);
  ASSERT_EQ(open_table_output(g, o, "DEPT"), 0);
  std::fputs("b\n", g.out_stream);
  ASSERT_EQ(close_table_output(g, o), 0);
  EXPECT_EQ(g.out_stream, stdout);
  EXPECT_EQ(read_text_file(dir / "EMP.csv"), "\xEF\xBB\xBF" "a\n");
  EXPECT_EQ(read_text_file(dir / "DEPT.csv"), "\xEF\xBB\xBF" "b\n");
  ASSERT_EQ(o.out_fname.size(), 2u);
  EXPECT_EQ(o.out_fname[0], (dir / "EMP.csv").string());
  // No signature in front of text that is not UTF-8, nor when it is off.
  o.out_charset = kCharsetSjis;
  ASSERT_EQ(open_table_output(g, o, "SJ"), 0);
  set_switch(o.is_output_bom, false);
  o.out_charset = kCharsetUtf8;
  ASSERT_EQ(open_table_output(g, o, "NOBOM"), 0);
  ASSERT_EQ(close_table_output(g, o), 0);
  EXPECT_EQ(fs::file_size(dir / "SJ.csv"), 0u);
  EXPECT_EQ(fs::file_size(dir / "NOBOM.csv"), 0u);
}

TEST_F(OutputFiles, ATableNameMetTwiceGetsASecondFile) {
  // A full export holds SCOTT.EMP and HR.EMP: the second must not truncate the first.
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  std::fputs("scott\n", g.out_stream);
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  std::fputs("hr\n", g.out_stream);
  ASSERT_EQ(close_table_output(g, o), 0);
  EXPECT_EQ(read_text_file(dir / "EMP.csv"), "\xEF\xBB\xBF" "scott\n");
  EXPECT_EQ(read_text_file(dir / "EMP_2.csv"), "\xEF\xBB\xBF" "hr\n");
  EXPECT_EQ(o.out_fname.size(), 2u);
}

TEST_F(OutputFiles, TableNamesStayInTheFolder) {
  ASSERT_EQ(open_table_output(g, o, "../X/Y"), 0);
  ASSERT_EQ(close_table_output(g, o), 0);
  EXPECT_TRUE(fs::exists(dir / ".._X_Y.csv"));
}

TEST_F(OutputFiles, SingleOutputRunsOpenNothing) {
  // The command-line program: no output path, one output for all rows.
  o.log_fname.clear();
  o.output_mode = kOutCsv;
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  EXPECT_EQ(g.out_stream, stdout);
  EXPECT_TRUE(o.out_fname.empty());
  o.output_mode = kOutInsert;
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  EXPECT_TRUE(o.out_fname.empty());
  // Per-table conditions: only tables with an entry get a file.
  o.log_fname = (dir / "dump.csv").string();
  o.output_mode = kOutCsv;
  set_switch(o.is_condition, true);
  o.where_statement.push_back(TableCondition{1, 1, "emp", "", ""});
  ASSERT_EQ(open_table_output(g, o, "DEPT"), 0);
  EXPECT_TRUE(o.out_fname.empty());
  ASSERT_EQ(open_table_output(g, o, "EMP"), 0);
  EXPECT_EQ(o.where_statement[0].not_found, 0);
  EXPECT_EQ(o.out_fname.size(), 1u);
}

TEST_F(OutputFiles, OpenFailureIsReported) {
  o.log_fname = (dir / "missing" / "dump.csv").string();
  EXPECT_EQ(open_table_output(g, o, "EMP"), -1);
  EXPECT_EQ(g.out_stream, stdout);
  ASSERT_GT(g.message_count, 0);
  EXPECT_NE(g.messages[0].find("01060"), std::string::npos);
  EXPECT_TRUE(o.out_fname.empty());
}

TEST_F(OutputFiles, OnlyRegularFilesThisRunWroteAreRemoved) {
  fs::path mine = dir / "mine.csv";
  fs::path other = dir / "other.csv";
  std::ofstream(other) << "keep";
  std::FILE* f = open_output_file(o, mine.string());
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::FILE* null = open_output_file(o, test_support::kNullDevice);
  ASSERT_NE(null, nullptr);
  std::fclose(null);
  ASSERT_EQ(o.out_fname.size(), 1u);
  remove_output_files(o);
  EXPECT_FALSE(fs::exists(mine));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(o.out_fname.empty());
#ifndef _WIN32
  EXPECT_TRUE(fs::exists("/dev/null"));
  // A symbolic link is opened through but never removed.
  fs::path target = dir / "target.csv";
  fs::path link = dir / "link.csv";
  std::ofstream(target) << "t";
  fs::create_symlink(target, link);
  f = open_output_file(o, link.string());
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(o.out_fname.empty());
  remove_output_files(o);
  EXPECT_TRUE(fs::is_symlink(link));
#endif
  // A truncated existing file counts as written by this run.
  f = open_output_file(o, other.string());
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(o.out_fname.size(), 1u);
}

}  // namespace
}  // namespace qln
