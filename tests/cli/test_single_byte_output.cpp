#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "cli_test_support.hpp"
#include "support/real_dumps.hpp"
#include "support/run_command.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;
using testing_cli::read_file;
using testing_cli::TempDir;

// Offset of the first byte that is not part of well-formed UTF-8, or npos.
std::size_t first_invalid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return i;
    }
    if (i + need >= s.size()) return i;
    for (std::size_t k = 1; k <= need; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return i;
    }
    i += need + 1;
  }
  return std::string_view::npos;
}

// The line of `csv` that starts with `prefix`, without its line feed.
std::string line_starting(const std::string& csv, std::string_view prefix) {
  std::size_t at = 0;
  while (at < csv.size()) {
    std::size_t nl = csv.find('\n', at);
    if (nl == std::string::npos) nl = csv.size();
    std::string_view line(csv.data() + at, nl - at);
    if (line.starts_with(prefix)) return std::string(line);
    at = nl + 1;
  }
  return {};
}

class WindowsLatinDump : public ::testing::Test {
 protected:
  testing_cli::ScopedLocale locale;  // the Japanese texts
  TempDir dir;
  const std::string real = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

  int run(const std::string& args) {
    const std::string command = "cd '" + dir.path().string() + "' && '" + QLN_CLI_PATH + "' " +
                                args + " >/dev/null 2>'" + dir.file("stderr.txt") + "'";
    const int status = test_support::run_command(command);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST(Utf8Check, FindsBrokenSequences) {
  EXPECT_EQ(first_invalid_utf8("abc \xC2\xBF \xE2\x84\xA2 \xF0\x9F\x98\x80"), std::string_view::npos);
  EXPECT_EQ(first_invalid_utf8("R\xBFUNION"), 1u);
  EXPECT_EQ(first_invalid_utf8("ab\xC3"), 2u);
  EXPECT_EQ(first_invalid_utf8("\xE2\x84"), 0u);
  EXPECT_EQ(first_invalid_utf8("\xC0\x80"), 0u);
  EXPECT_EQ(first_invalid_utf8("\xED\xA0\x80"), 0u);
}

TEST_F(WindowsLatinDump, EveryTableBecomesValidUtf8) {
  QLN_SKIP_WITHOUT_REAL_DUMP(real);
  ASSERT_EQ(run("FILE=" + real + " MODE=CSV_BATCH OUT_CHARSET=UTF8"), 0)
      << read_file(dir.file("stderr.txt"));
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    if (e.path().extension() != ".csv") continue;
    ++files;
    const std::string csv = read_file(e.path().string());
    const std::size_t bad = first_invalid_utf8(csv);
    EXPECT_EQ(bad, std::string_view::npos)
        << e.path().filename() << " at " << bad << ": "
        << (bad == std::string_view::npos ? std::string() : csv.substr(bad > 20 ? bad - 20 : 0, 40));
  }
  EXPECT_EQ(files, 19);

  const std::string countries = read_file(dir.file("COUNTRY_CODES.csv"));
  EXPECT_EQ(line_starting(countries, "RE,").substr(0, 12), "RE,R\xC2\xBFUNION,") << countries.size();
  // The Windows-1252 "¿" of the product names too.
  const std::string products = read_file(dir.file("PRODUCTS.csv"));
  EXPECT_NE(products.find("Clip-Rite\xC2\xBF"), std::string::npos);
}

TEST_F(WindowsLatinDump, ShiftJisOutputReplacesWhatItLacks) {
  QLN_SKIP_WITHOUT_REAL_DUMP(real);
  ASSERT_EQ(run("FILE=" + real + " TABLE=COUNTRY_CODES OUT_FILE=cc.csv OUT_CHARSET=SJIS"), 0)
      << read_file(dir.file("stderr.txt"));
  const std::string csv = read_file(dir.file("cc.csv"));
  EXPECT_EQ(line_starting(csv, "RE,").substr(0, 10), "RE,R?UNION") << csv.size();
  EXPECT_EQ(csv.find('\xBF'), std::string::npos);
}

}  // namespace
}  // namespace qln
