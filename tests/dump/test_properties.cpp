#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/dump_header.hpp"
#include "dump/properties.hpp"
#include "values/charset.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

GlobalParams utf8_params() {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  return g;
}

TEST(Properties, ClassicConventionalLines) {
  GlobalParams g = utf8_params();
  g.db_charset = kCharsetEucJp;
  g.nls_charset = kCharsetUtf16;
  ConvOptions o;
  o.dump_type = kDumpConventional;
  o.exp_mode = 0;
  o.exp_version_str = "10.02.01";
  o.exp_user = "SCOTT";
  o.exp_date = "Mon Jan 1 00:00:00 2007";
  EXPECT_EQ(format_properties(g, o),
            "ファイル種別        エクスポート\n"
            "エクスポートモード  テーブル\n"
            "Oracleバージョン    10.02.01\n"
            "ユーザ名            SCOTT\n"
            "キャラクタセット    EUC\n"
            "NLSキャラクタセット UTF16\n"
            "作成日時            Mon Jan 1 00:00:00 2007\n");
}

TEST(Properties, DirectPathModesAndUnknownKind) {
  GlobalParams g = utf8_params();
  ConvOptions o;
  o.dump_type = kDumpDirect;
  o.exp_mode = 2;
  std::string text = format_properties(g, o);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            "ダンプ種別          ダイレクトモード・エクスポート\n"
            "エクスポートモード  データベース\n");
  EXPECT_NE(text.find("キャラクタセット    Shift_JIS\n"), std::string::npos);

  o.exp_mode = 1;
  EXPECT_NE(format_properties(g, o).find("エクスポートモード  ユーザ\n"), std::string::npos);
  o.exp_mode = -1;
  o.dump_type = kDumpUnknown;
  text = format_properties(g, o);
  EXPECT_EQ(text.rfind("ファイル種別        不明\n", 0), 0u);
  EXPECT_NE(text.find("エクスポートモード  不明\n"), std::string::npos);
  EXPECT_NE(text.find("作成日時            \n"), std::string::npos);
}

TEST(Properties, DataPumpHasFiveLines) {
  GlobalParams g = utf8_params();
  g.db_charset = kCharsetUnknown;
  ConvOptions o;
  o.dump_type = kDumpDataPump;
  o.exp_version_str = "11.02.00.01.00";
  o.exp_user = "HR";
  EXPECT_EQ(format_properties(g, o),
            "ダンプ種別          データポンプ\n"
            "Oracleバージョン    11.02.00.01.00\n"
            "ユーザ名            HR\n"
            "キャラクタセット    UNKNOWN\n"
            "NLSキャラクタセット UTF16\n");
}

TEST(Properties, LabelsFollowTheUsersCharacterSet) {
  GlobalParams g;
  g.os_charset = kCharsetSjis;
  ConvOptions o;
  o.dump_type = kDumpDataPump;
  o.exp_user = "HR";
  std::string text = format_properties(g, o);
  EXPECT_EQ(text.substr(0, 10), "\x83_\x83\x93\x83v\x8E\xED\x95\xCA");  // ダンプ種別
  EXPECT_NE(text.find("\n\x83\x86\x81[\x83U\x96\xBC            HR\n"), std::string::npos);
}

// The real dumps, read and printed as quillon-cli PROPERTY=Y does.
std::string printed_properties(const char* name) {
  GlobalParams g = utf8_params();
  ConvOptions o;
  o.exp_fname = {std::string(QLN_DUMPS_DIR) + "/" + name};
  EXPECT_EQ(read_dmp_header(g, o), 0);
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return {};
  EXPECT_EQ(print_properties(g, o, f), 0);
  std::rewind(f);
  std::string out;
  char buf[512];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  std::fclose(f);
  return out;
}

TEST(Properties, AlphaofficeDump) {
  QLN_SKIP_WITHOUT_REAL_DUMP(test_support::real_dump_path("alphaoffice.dmp"));
  EXPECT_EQ(printed_properties("alphaoffice.dmp"),
            "ファイル種別        エクスポート\n"
            "エクスポートモード  ユーザ\n"
            "Oracleバージョン    12.01.00\n"
            "ユーザ名            ALPHA\n"
            "キャラクタセット    WE8MSWIN1252\n"
            "NLSキャラクタセット UTF16\n"
            "作成日時            Fri Nov 7 15:51:36 2014\n");
}

TEST(Properties, ScottDataPumpDump) {
  QLN_SKIP_WITHOUT_REAL_DUMP(test_support::real_dump_path("scott.dmp"));
  EXPECT_EQ(printed_properties("scott.dmp"),
            "ダンプ種別          データポンプ\n"
            "Oracleバージョン    12.01.00.02.00\n"
            "ユーザ名            SYS\n"
            "キャラクタセット    UTF8\n"
            "NLSキャラクタセット UTF16\n");
}

TEST(Properties, NoStream) {
  GlobalParams g;
  ConvOptions o;
  EXPECT_EQ(print_properties(g, o, nullptr), -1);
}

}  // namespace
}  // namespace qln
