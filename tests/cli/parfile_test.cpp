#include <gtest/gtest.h>

#include <string>

#include "cli/options.hpp"
#include "cli_test_support.hpp"

namespace qln {
namespace {

using testing_cli::msg3;
using testing_cli::Records;
using testing_cli::TempDir;

class Parfile : public ::testing::Test {
 protected:
  Records r;
  TempDir dir;
  int parse(const std::string& text) { return parse_options(r.g, text, r.o); }
  int parse_file(std::string_view content) { return parse("PARFILE=" + dir.write("p.par", content)); }
};

TEST_F(Parfile, OptionsCommentsAndBlankLines) {
  const std::string dump = dir.write("a.dmp", "x");
  ASSERT_EQ(parse_file("# settings for the nightly run\n"
                       "FILE=" + dump + " # the export\n"
                       "\n"
                       "HEADER=Y ; with names\r\n"
                       "  DELIMITER=TAB   \n"
                       "MAX_RECORD=7"),  // no line end at the end
            0);
  EXPECT_EQ(r.o.exp_fname, std::vector<std::string>{dump});
  EXPECT_TRUE(is_on(r.o.is_header));
  EXPECT_EQ(r.o.delimiter, '\t');
  EXPECT_EQ(r.o.max_record, 7);
}

TEST_F(Parfile, SectionsAddTableConditions) {
  ASSERT_EQ(parse_file("[emp][*]\n"
                       "WHERE=SAL > 1000 AND JOB = 'CLERK'\n"
                       "[\"Dept\"][]  # kept, not selected\n"
                       "where = DEPTNO = 10\n"
                       "[BONUS][*]\n"
                       "WHERE=\n"),
            0);
  ASSERT_EQ(r.o.where_count(), 3);
  EXPECT_EQ(r.o.where_statement[0].table_name, "EMP");
  EXPECT_NE(r.o.where_statement[0].is_selected, 0);
  EXPECT_EQ(r.o.where_statement[0].where_text, "SAL > 1000 AND JOB = 'CLERK'");
  EXPECT_EQ(r.o.where_statement[1].table_name, "Dept");
  EXPECT_EQ(r.o.where_statement[1].is_selected, 0);
  EXPECT_EQ(r.o.where_statement[1].where_text, "DEPTNO = 10");
  EXPECT_EQ(r.o.where_statement[2].where_text, "");
  EXPECT_TRUE(r.o.where_statement[2].column_text.empty());
  EXPECT_TRUE(is_on(r.o.is_condition));
}

TEST_F(Parfile, SectionWithoutWhereLineFails) {
  EXPECT_EQ(parse_file("HEADER=Y\n[EMP][*]\n"), -1);
  EXPECT_EQ(r.last_message(), msg3("WHERE"));
  Records r2;
  EXPECT_EQ(parse_options(r2.g, "PARFILE=" + dir.write("q.par", "[EMP][*]\nHEADER=Y\n"), r2.o), -1);
  EXPECT_EQ(r2.last_message(), msg3("WHERE"));
}

TEST_F(Parfile, BadSectionHeaders) {
  for (const std::string& bad : std::vector<std::string>{"[EMP\nWHERE=X=1\n", "[][*]\nWHERE=X=1\n",
                                "[" + std::string(129, 'T') + "][*]\nWHERE=X=1\n"}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, "PARFILE=" + dir.write("b.par", bad), r2.o), -1) << bad;
    EXPECT_EQ(r2.last_message(), msg3("WHERE")) << bad;
  }
}

TEST_F(Parfile, OptionsAreParsedAfterTheSections) {
  // An option line with an error still lets the sections of the file count.
  EXPECT_EQ(parse_file("MODE=BAD\n[EMP][*]\nWHERE=X=1\n"), -1);
  EXPECT_EQ(r.last_message(), msg3("MODE"));
  EXPECT_EQ(r.o.where_count(), 1);
}

TEST_F(Parfile, NestedParameterFiles) {
  const std::string inner = dir.write("inner.par", "TRIM=Y\n[T][*]\nWHERE=A=1\n");
  ASSERT_EQ(parse_file("HEADER=Y\nPARFILE=" + inner + "\nQUOTE=Y\n"), 0);
  EXPECT_TRUE(is_on(r.o.is_header));
  EXPECT_TRUE(is_on(r.o.is_trim));
  EXPECT_TRUE(is_on(r.o.is_quote));
  EXPECT_EQ(r.o.where_count(), 1);
}

TEST_F(Parfile, AFileNamingItselfStops) {
  const std::string path = dir.file("self.par");
  dir.write("self.par", "PARFILE=" + path + "\n");
  EXPECT_EQ(parse("PARFILE=" + path), -1);
  EXPECT_EQ(r.last_message(), msg3("PARFILE"));
}

TEST_F(Parfile, MissingFileIs3010) {
  const std::string missing = dir.file("none.par");
  EXPECT_EQ(parse("PARFILE=" + missing), -1);
  EXPECT_EQ(r.last_message(), "ZUL-03010: パラメータ・ファイル'" + missing + "'をオープンできません。");
  EXPECT_EQ(parse("PARFILE=" + dir.path().string()), -1);
  EXPECT_NE(r.last_message().find("ZUL-03010"), std::string::npos);
  EXPECT_EQ(parse("PARFILE="), -1);
  EXPECT_EQ(r.last_message(), msg3("PARFILE"));
}

TEST_F(Parfile, TooMuchOptionTextIsMessage5) {
  std::string content;
  for (int i = 0; i < 500; ++i) content += "HEADER=Y\n";
  EXPECT_EQ(parse_file(content), -1);
  EXPECT_EQ(r.last_message(), "ZUL-00005: 引数が長すぎます。処理を中断します。");
  EXPECT_EQ(parse_file(std::string(5000, 'x') + "\n"), -1);
}

TEST_F(Parfile, HelpInsideAParameterFileStops) {
  TempDir out_dir;
  const std::string out = out_dir.file("help.txt");
  std::FILE* f = std::fopen(out.c_str(), "w");
  r.g.out_stream = f;
  EXPECT_EQ(parse_file("HELP=Y\n"), kParseStop);
  std::fclose(f);
  r.g.out_stream = stdout;
  EXPECT_NE(testing_cli::read_file(out).find("GREP        検索文字列"), std::string::npos);
}

}  // namespace
}  // namespace qln
