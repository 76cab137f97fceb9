#include "cli/progress.hpp"

#include <gtest/gtest.h>

#include <string>

#include "cli_test_support.hpp"

namespace qln {
namespace {

using testing_cli::read_file;
using testing_cli::TempDir;

RunProgress progress_at(std::int64_t read, std::int64_t total, std::string_view table, std::int64_t rows) {
  RunProgress p;
  p.bytes_read = read;
  p.total_bytes = total;
  p.table = table;
  p.rows = rows;
  return p;
}

TEST(Progress, LineAndSummaryTexts) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  g.language = Language::kEnglish;
  const RunProgress p = progress_at(250'000'000, 1'000'000'000, "SALES", 12345);
  EXPECT_EQ(progress_text(g, p, 2.0), " 25%    125.0 MB/s  SALES  12345 rows");
  const std::vector<WrittenTable> written = {{"EMP", 14, ""}, {"DEPT", 4, "DEPT.csv"}};
  EXPECT_EQ(summary_text(g, written),
            "EMP                                    14 rows  (standard output)\n"
            "DEPT                                    4 rows  DEPT.csv\n");
  g.language = Language::kJapanese;
  EXPECT_EQ(progress_text(g, p, 2.0), " 25%    125.0 MB/s  SALES  12345行");
  EXPECT_EQ(summary_text(g, {{"EMP", 14, ""}}), "EMP                                    14行  (標準出力)\n");
}

// Redrawn at most four times a second over the old line, cleared at the end.
TEST(Progress, OneRefreshedLineClearedAtTheEnd) {
  TempDir dir;
  const std::string path = dir.file("err.txt");
  GlobalParams g;
  g.language = Language::kEnglish;
  {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ProgressLine line(g, f);
    line.update_at(progress_at(500'000, 4'000'000, "A_LONG_TABLE", 5), 0.1);  // a short read shows nothing
    line.update_at(progress_at(1'000'000, 4'000'000, "A_LONG_TABLE", 10), 0.25);
    line.update_at(progress_at(2'000'000, 4'000'000, "A_LONG_TABLE", 20), 0.4);  // too soon
    line.update_at(progress_at(3'000'000, 4'000'000, "B", 30), 0.5);
    line.clear();
    std::fclose(f);
  }
  const std::string first = "\r 25%      4.0 MB/s  A_LONG_TABLE  10 rows";
  const std::string second = " 75%      6.0 MB/s  B  30 rows";
  const std::string expected = first + "\r" + second + std::string(first.size() - 1 - second.size(), ' ') +
                               "\r" + std::string(second.size(), ' ') + "\r";
  EXPECT_EQ(read_file(path), expected);
  EXPECT_FALSE(progress_wanted(kNo));
  EXPECT_TRUE(progress_wanted(kYes));
}

}  // namespace
}  // namespace qln
