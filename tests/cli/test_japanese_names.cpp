#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

#include "cli_test_support.hpp"
#include "core/platform.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "values/charset.hpp"
#include "support/run_command.hpp"

// Japanese file names, a Japanese keyword and Japanese WHERE literals on the
// command line. On Windows the suite runs this twice more: under code page
// 932, where the program works in Shift_JIS, and under code page 65001.
namespace qln {
namespace {

namespace dw = qln::dumpwriter;
namespace fs = std::filesystem;

// The set the program under test works in: Shift_JIS on a Windows whose
// code page is 932, else UTF-8 (or what the locale says).
int user_charset() {
#ifdef _WIN32
  return GetACP() == 932 ? kCharsetSjis : kCharsetUtf8;
#else
  return detect_os_charset();
#endif
}

std::string in_user_set(std::string utf8) {
  CharsetConverter cv;
  convert_charset(cv, kCharsetUtf8, user_charset(), utf8);
  return utf8;
}

// A path from UTF-8 text on every platform.
fs::path utf8_path(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

class JapaneseNames : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  testing_cli::TempDir dir;

  void SetUp() override {
    const std::string plain = dir.file("plain.dmp");
    dw::TableSpec t;
    t.name = "SHOPS";
    t.columns = {{"ID", "NUMBER(4, 0)", true}, {"CITY", "VARCHAR2(40)"}};
    dw::DumpWriter w(plain);
    w.begin_table(t);
    int id = 0;
    for (const char* city : {"東京本店", "大阪支店", "東京駅前", "Nagoya"}) {
      w.add_row({dw::Cell::number(std::to_string(++id)), dw::Cell::text(city)});
    }
    w.end_table();
    w.finish();
    fs::rename(plain, dir.path() / utf8_path("日本語データ.dmp"));
  }

  int run(const std::string& args, std::string& err) {
    const std::string err_file = dir.file("err.txt");
    const int status = test_support::run_command("cd '" + dir.path().string() + "' && '" + QLN_CLI_PATH + "' " +
                                                 args + " >'" + dir.file("out.txt") + "' 2>'" + err_file + "'");
    err = testing_cli::read_file(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(JapaneseNames, FileNamesAndKeywordArriveWhole) {
#ifdef _WIN32
  // The run for one code page says which, so that it cannot pass under another.
  if (const char* want = std::getenv("QLN_EXPECT_CODE_PAGE")) {
    ASSERT_EQ(GetACP(), std::strtoul(want, nullptr, 10));
  }
#endif
  // The names open and create the right files, and the keyword selects
  // exactly the rows that hold it.
  std::string err;
  ASSERT_EQ(run("FILE=日本語データ.dmp TABLE=SHOPS GREP=東京 OUT_CHARSET=UTF8 BOM=N OUT_FILE=結果.csv", err), 0)
      << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(testing_cli::read_file(dir.path() / utf8_path("結果.csv")), "【SHOPS】\n1,東京本店\n3,東京駅前\n");
  // The keyword is looked for in rows already converted to the output set.
  ASSERT_EQ(run("FILE=日本語データ.dmp TABLE=SHOPS GREP=東京 OUT_CHARSET=SJIS OUT_FILE=結果.csv", err), 0) << err;
  std::string rows = "\n1,東京本店\n3,東京駅前\n";
  CharsetConverter cv;
  convert_charset(cv, kCharsetUtf8, kCharsetSjis, rows);
  const std::string sjis = testing_cli::read_file(dir.path() / utf8_path("結果.csv"));
  EXPECT_TRUE(sjis.ends_with(rows)) << sjis;
  EXPECT_EQ(std::count(sjis.begin(), sjis.end(), '\n'), 3);

  // The same through a parameter file of a Japanese name, written in the user's set.
  std::ofstream(dir.path() / utf8_path("条件.par"), std::ios::binary)
      << in_user_set("TABLE=SHOPS GREP=東京 OUT_CHARSET=UTF8 BOM=N OUT_FILE=結果2.csv\n");
  ASSERT_EQ(run("FILE=日本語データ.dmp PARFILE=条件.par", err), 0) << err;
  EXPECT_EQ(testing_cli::read_file(dir.path() / utf8_path("結果2.csv")), "【SHOPS】\n1,東京本店\n3,東京駅前\n");

  // Literals of a condition are compared in the rows' own set, whatever set
  // the output is written in.
  const std::string where = "\"WHERE=[SHOPS]CITY = '大阪支店' OR CITY LIKE '%駅前'\" BOM=N OUT_FILE=条件.csv";
  ASSERT_EQ(run("FILE=日本語データ.dmp OUT_CHARSET=UTF8 " + where, err), 0) << err;
  EXPECT_EQ(testing_cli::read_file(dir.path() / utf8_path("条件.csv")), "2,大阪支店\n3,東京駅前\n");
  ASSERT_EQ(run("FILE=日本語データ.dmp OUT_CHARSET=SJIS " + where, err), 0) << err;
  std::string expected = "2,大阪支店\n3,東京駅前\n";
  convert_charset(cv, kCharsetUtf8, kCharsetSjis, expected);
  EXPECT_EQ(testing_cli::read_file(dir.path() / utf8_path("条件.csv")), expected);

  // A name that is not there comes back in the message as it was given.
  EXPECT_EQ(run("FILE=無い.dmp TABLE=SHOPS", err), 255);
  EXPECT_NE(err.find(in_user_set("ZUL-03100: dumpファイルオープンエラー(\"無い.dmp\")")), std::string::npos) << err;
}

}  // namespace
}  // namespace qln
