#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/dump_header.hpp"
#include "dump/properties.hpp"
#include "values/charset.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;

constexpr int kCp1252 = 101;
constexpr int kLatin1 = 102;
constexpr int kCp1251 = 105;

class SingleByteHeaders : public ::testing::Test {
 protected:

  int read_header(const std::string& name, const std::string& content) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    o_.exp_fname = {p.string()};
    g_ = GlobalParams{};
    g_.os_charset = kCharsetUtf8;
    return read_dmp_header(g_, o_);
  }

  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g_;
  ConvOptions o_;
};

// A classic user-mode header as exp writes it, with the two 16-bit Oracle
// set ids (database, national) in the binary field and `date` ending at 127.
std::string classic_header(unsigned db_id, unsigned nls_id,
                           const std::string& date = "Fri Nov  7 15:51:36 2014") {
  std::string h = std::string("\x03\x00\x01", 3) + "EXPORT:V12.01.00\nDALPHA\nRUSERS\n8192\n0\n72\n0\n";
  for (int b : {0x00, 0x01, static_cast<int>(db_id >> 8), static_cast<int>(db_id & 0xFF),
                static_cast<int>(nls_id >> 8), static_cast<int>(nls_id & 0xFF)})
    h.push_back(static_cast<char>(b));
  h += std::string(9, '\0') + "\n";
  h += std::string(128 - h.size() - date.size(), ' ') + date + "expdat.dmp";
  h.resize(8192, '\0');
  return h;
}

// A Data Pump header naming `charset`, with its XML block.
std::string dp_header(const std::string& charset) {
  std::string h("\x04\x01\x37\x30\xC7\xD4\x00\x67", 8);
  h.resize(64, '\0');
  for (const std::string& s : {std::string("\"HR\""), charset, std::string("LBB EMHEAD"),
                               std::string("11.02.00.00.00")}) {
    h += s;
    h.push_back('\0');
  }
  h.resize(4096, '\0');
  h.replace(512 + 4, 11, "xml version");
  return h;
}

TEST_F(SingleByteHeaders, ClassicSetsAreToldByTheirWholeId) {
  struct Case {
    unsigned db_id, nls_id;
    int db, nls;
  } cases[] = {
      {178, 2000, kCp1252, kCharsetUtf16},  // WE8MSWIN1252 / AL16UTF16
      {31, 2000, kLatin1, kCharsetUtf16},   // WE8ISO8859P1
      {171, 871, kCp1251, kCharsetUtf8},    // CL8MSWIN1251 / UTF8
      {1, 2000, kCharsetUsAscii, kCharsetUtf16},
      // An id outside the table is told by its low byte alone, as before.
      {0x03B2, 2000, kCharsetUsAscii, kCharsetUtf16},
      {0x011F, 2000, kCharsetUsAscii, kCharsetUtf16},
      {0x0333, 2000, kCharsetEucJp, kCharsetUtf16},
      {852, 871, 127, kCharsetUtf8},    // ZHS16GBK / UTF8
      {846, 2000, 135, kCharsetUtf16},  // KO16MSWIN949
      {51, 2000, 125, kCharsetUtf16},   // CL8KOI8R, not EUC-JP by its low byte
      {832, 2000, kCharsetSjis, kCharsetUtf16},  // JA16SJIS
      {830, 2000, kCharsetEucJp, kCharsetUtf16},  // JA16EUC
      {873, 2000, kCharsetUtf8, kCharsetUtf16},   // AL32UTF8
  };
  for (const Case& c : cases) {
    ASSERT_EQ(read_header("c.dmp", classic_header(c.db_id, c.nls_id)), 0);
    EXPECT_EQ(g_.db_charset, c.db) << c.db_id;
    EXPECT_EQ(g_.nls_charset, c.nls) << c.nls_id;
    EXPECT_EQ(o_.dump_type, kDumpConventional);
  }
}

TEST_F(SingleByteHeaders, ClassicDateInASingleByteSetReachesTheUserConverted) {
  ASSERT_EQ(read_header("d.dmp", classic_header(178, 2000, "Ven 7 f\xE9v 15:51:36 2014")), 0);
  EXPECT_EQ(g_.db_charset, kCp1252);
  EXPECT_EQ(o_.exp_date, "Ven 7 f\xC3\xA9v 15:51:36 2014");
}

TEST_F(SingleByteHeaders, DataPumpSetNames) {
  ASSERT_EQ(read_header("w.dmp", dp_header("WE8MSWIN1252")), 0);
  EXPECT_EQ(o_.dump_type, kDumpDataPump);
  EXPECT_EQ(g_.db_charset, kCp1252);
  EXPECT_EQ(o_.exp_version_str, "11.02.00.00.00");

  ASSERT_EQ(read_header("l.dmp", dp_header("WE8ISO8859P1")), 0);
  EXPECT_EQ(g_.db_charset, kLatin1);

  ASSERT_EQ(read_header("p.dmp", dp_header("WE8PC850")), 0);
  EXPECT_EQ(g_.db_charset, 122);
  // Known names without a set of their own keep their region id.
  ASSERT_EQ(read_header("e.dmp", dp_header("EL8PC737")), 0);
  EXPECT_EQ(g_.db_charset, 100);
  // DB_CHARSET wins over the declared set, in both dump kinds.
  o_.db_charset_override = kCharsetSjis;
  ASSERT_EQ(read_header("o.dmp", dp_header("US7ASCII")), 0);
  EXPECT_EQ(g_.db_charset, kCharsetSjis);
  ASSERT_EQ(read_header("c.dmp", classic_header(1, 2000)), 0);
  EXPECT_EQ(g_.db_charset, kCharsetSjis);
  o_.db_charset_override = kCharsetUnknown;
  ASSERT_EQ(read_header("a.dmp", dp_header("AL32UTF8")), 0);
  EXPECT_EQ(g_.db_charset, kCharsetUtf8);
}

TEST_F(SingleByteHeaders, RealWindowsLatinDumpShowsItsOracleName) {
  const std::string path = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";
  QLN_SKIP_WITHOUT_REAL_DUMP(path);
  o_.exp_fname = {path};
  g_.os_charset = kCharsetUtf8;
  ASSERT_EQ(read_dmp_header(g_, o_), 0);
  EXPECT_EQ(g_.db_charset, kCp1252);
  EXPECT_EQ(g_.nls_charset, kCharsetUtf16);
  const std::string props = format_properties(g_, o_);
  EXPECT_NE(props.find("キャラクタセット    WE8MSWIN1252\n"), std::string::npos) << props;
  EXPECT_NE(props.find("NLSキャラクタセット UTF16\n"), std::string::npos) << props;
}

}  // namespace
}  // namespace qln
