#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "support/temp_dir.hpp"
#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/dump_file.hpp"
#include "dump/dump_header.hpp"
#include "values/charset.hpp"
#include "support/real_dumps.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

class HeaderFiles : public ::testing::Test {
 protected:

  std::string write(const std::string& name, const std::string& content) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

  int read_header(const std::string& path) {
    o_.exp_fname = {path};
    return read_dmp_header(g_, o_);
  }

  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g_;
  ConvOptions o_;
};

struct ClassicLayout {
  std::string before_magic = bytes({0x00, 0x01});
  std::string version = ":V12.01.00";
  std::string user = "DALPHA";
  std::string mode = "RUSERS";
  std::string charsets = bytes({0x00, 0x01, 0x00, 0xB2, 0x07, 0xD0});
  std::string date = "Fri Nov  7 15:51:36 2014";
  std::size_t date_end = 127;  // the date's last byte, as exp writes it
};

// A classic header laid out like the ones exp writes: fields ended by line
// feeds, the binary charset field, then blanks and a date ending at 127.
std::string classic_header(const ClassicLayout& s) {
  std::string h = "\x03" + s.before_magic + "EXPORT" + s.version + "\n" + s.user + "\n" + s.mode +
                  "\n8192\n0\n72\n0\n" + s.charsets + std::string(9, '\0') + "\n";
  if (!s.date.empty() && h.size() + s.date.size() <= s.date_end + 1) {
    h += std::string(s.date_end + 1 - h.size() - s.date.size(), ' ');
    h += s.date;
    h += "expdat.dmp";
  }
  h.resize(8192, '\0');
  return h;
}

// A Data Pump header: the given NUL-separated strings from offset 64, and
// an XML block at `xml_at` (0 for none).
std::string dp_header(const std::vector<std::string>& strings, std::size_t xml_at,
                      std::size_t size = 16384) {
  std::string h = bytes({0x04, 0x01, 0x37, 0x30, 0xC7, 0xD4, 0x00, 0x67});
  h.resize(64, '\0');
  for (const auto& s : strings) {
    h += s;
    h.push_back('\0');
  }
  h.resize(size, '\0');
  if (xml_at != 0) h.replace(xml_at, 21, "xml version=\"1.0\"?><");
  return h;
}

TEST_F(HeaderFiles, ClassicUserExportWithZeroHighByteCharset) {
  ASSERT_EQ(read_header(write("a.dmp", classic_header({}))), 0);
  EXPECT_EQ(o_.dump_type, kDumpConventional);
  EXPECT_EQ(o_.exp_mode, 1);
  EXPECT_EQ(o_.exp_version_str, "12.01.00");
  EXPECT_EQ(o_.exp_version, 12);
  EXPECT_EQ(o_.exp_user, "ALPHA");
  EXPECT_EQ(o_.exp_date, "Fri Nov  7 15:51:36 2014");
  EXPECT_EQ(g_.db_charset, charset_from_oracle_id(178));  // WE8MSWIN1252
  EXPECT_EQ(g_.nls_charset, kCharsetUtf16);
}

TEST_F(HeaderFiles, ClassicCharsetBytesClassified) {
  struct Case {
    int db_byte, nls_byte, db, nls;
  } cases[] = {
      {0x69, 0xD0, 3, 4},  {0x40, 0x01, 1, 10}, {0x3F, 0x62, 2, 3},
      {0x01, 0xDF, 10, 4}, {0x70, 0x30, 10, 2}, {0x4F, 0x4A, 1, 1},
  };
  for (const auto& c : cases) {
    ClassicLayout s;
    s.charsets = bytes({0x00, 0x01, 0x03, c.db_byte, 0x07, c.nls_byte});
    g_ = GlobalParams{};
    ASSERT_EQ(read_header(write("c.dmp", classic_header(s))), 0);
    EXPECT_EQ(g_.db_charset, c.db) << c.db_byte;
    EXPECT_EQ(g_.nls_charset, c.nls) << c.nls_byte;
    EXPECT_EQ(o_.dump_type, kDumpConventional);
  }
}

TEST_F(HeaderFiles, DateIsConvertedToTheUsersCharacterSet) {
  ClassicLayout s;
  s.charsets = bytes({0x00, 0x01, 0x03, 0x40, 0x07, 0xD0});
  s.date = bytes({0x82, 0xA0}) + " 7 15:51:36 2014";
  g_.os_charset = kCharsetUtf8;
  ASSERT_EQ(read_header(write("j.dmp", classic_header(s))), 0);
  EXPECT_EQ(g_.db_charset, kCharsetSjis);
  EXPECT_EQ(o_.exp_date, "\xE3\x81\x82 7 15:51:36 2014");

  // Longer once converted: cut to what the field holds, on a whole character.
  s.date = bytes({0x82, 0xA0, 0x82, 0xA0, 0x82, 0xA0, 0x82, 0xA0, 0x82, 0xA0, 0x82, 0xA0}) +
           " 7 15:51:36 2014";
  ASSERT_EQ(read_header(write("k.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.exp_date, "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82"
                         "\xE3\x81\x82\xE3\x81\x82 7 15:51:36 2");
  EXPECT_EQ(o_.dump_type, kDumpConventional);
}

TEST_F(HeaderFiles, ClassicCharsetFieldWithoutNulKeepsItsBytes) {
  ClassicLayout s;
  s.charsets = bytes({0x01, 0x01, 0x03, 0x69, 0x07, 0xD0});
  ASSERT_EQ(read_header(write("n.dmp", classic_header(s))), 0);
  EXPECT_EQ(g_.db_charset, kCharsetUtf8);
  EXPECT_EQ(g_.nls_charset, kCharsetUtf16);
  EXPECT_EQ(o_.exp_date, "Fri Nov  7 15:51:36 2014");
}

TEST_F(HeaderFiles, DirectPathAndModes) {
  ClassicLayout s;
  s.before_magic = bytes({0x00, 0x01, 'D', '\n'});
  s.mode = "RTABLES";
  ASSERT_EQ(read_header(write("d.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.dump_type, kDumpDirect);
  EXPECT_EQ(o_.exp_mode, 0);
  s.before_magic = bytes({'D', '\n', 0x01});  // before offset 3: not looked at
  ASSERT_EQ(read_header(write("d2.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.dump_type, kDumpConventional);

  s = ClassicLayout{};
  s.mode = "RENTIRE";
  s.version = ":V09.02.00";
  ASSERT_EQ(read_header(write("e.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.dump_type, kDumpConventional);
  EXPECT_EQ(o_.exp_mode, 2);
  EXPECT_EQ(o_.exp_version, 9);
  EXPECT_EQ(o_.exp_version_str, "09.02.00");

  s.mode = "RSOMETHING";
  ASSERT_EQ(read_header(write("f.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.exp_mode, -1);
}

TEST_F(HeaderFiles, ClassicWithoutDateIsOfUnknownKind) {
  ClassicLayout s;
  s.date.clear();
  ASSERT_EQ(read_header(write("u.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.dump_type, kDumpUnknown);
  EXPECT_EQ(o_.exp_user, "ALPHA");
  EXPECT_EQ(g_.db_charset, charset_from_oracle_id(178));
  EXPECT_EQ(o_.exp_date, "");

  // A date longer than 30 characters is not kept, but the kind is known.
  s = ClassicLayout{};
  s.date = "Friday November 7th 15:51:36 2014";
  ASSERT_EQ(read_header(write("l.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.dump_type, kDumpConventional);
  EXPECT_EQ(o_.exp_date, "");
}

TEST_F(HeaderFiles, ShortAndOverlongClassicHeaders) {
  // Cut before the charset field: the defaults stay.
  std::string h = classic_header({});
  h.resize(44);
  g_.db_charset = 1;
  ASSERT_EQ(read_header(write("s.dmp", h)), 0);
  EXPECT_EQ(o_.dump_type, kDumpUnknown);
  EXPECT_EQ(g_.db_charset, kCharsetSjis);
  EXPECT_EQ(g_.nls_charset, kCharsetUtf16);
  EXPECT_EQ(o_.exp_user, "ALPHA");

  ClassicLayout s;
  s.user = "D" + std::string(40, 'U');
  ASSERT_EQ(read_header(write("o.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.exp_user, std::string(31, 'U'));
}

TEST_F(HeaderFiles, MagicTooLateOrMissingIsNoDump) {
  ClassicLayout s;
  s.before_magic = std::string(31, '\x01');  // "EXPORT:" at offset 32
  ASSERT_EQ(read_header(write("late.dmp", classic_header(s))), kHeaderNotDump);
  EXPECT_EQ(o_.dump_type, kDumpUnknown);
  ASSERT_EQ(g_.message_count, 1);
  EXPECT_NE(g_.messages[0].find("ZUL-00011"), std::string::npos);

  g_ = GlobalParams{};
  EXPECT_EQ(read_header(write("text.dmp", "hello, world\n")), kHeaderNotDump);
  EXPECT_EQ(read_header(write("empty.dmp", "")), kHeaderNotDump);
  EXPECT_EQ(g_.message_count, 2);
}

TEST_F(HeaderFiles, MissingFileIsOpenFailure) {
  const std::string path = (dir_ / "nosuch.dmp").string();
  EXPECT_EQ(read_header(path), kHeaderOpenFailed);
  ASSERT_EQ(g_.message_count, 1);
  EXPECT_NE(g_.messages[0].find("ZUL-03100"), std::string::npos);
  EXPECT_NE(g_.messages[0].find(path), std::string::npos);
  EXPECT_EQ(read_header(dir_.string()), kHeaderOpenFailed);  // a folder
}

TEST_F(HeaderFiles, DataPumpWithLbbMarker) {
  auto h = dp_header({"\"SCOTT\".\"SYS_EXPORT_TABLE_01\"", "x86_64/Linux", "JA16SJISTILDE",
                      "LBB EMB", "11.02.00.01.00"},
                     512 + 4 * 256 + 4);
  ASSERT_EQ(read_header(write("dp.dmp", h)), 0);
  EXPECT_EQ(o_.dump_type, kDumpDataPump);
  EXPECT_EQ(o_.exp_user, "SCOTT");
  EXPECT_EQ(o_.exp_version_str, "11.02.00.01.00");
  EXPECT_EQ(g_.db_charset, kCharsetSjis);
  EXPECT_EQ(g_.nls_charset, kCharsetUtf16);
}

TEST_F(HeaderFiles, DataPumpFieldsBeyond512BytesWithoutLbb) {
  auto h = dp_header({"\"HR\".\"J\""}, 0);
  h.replace(674, 8, "AL32UTF8");
  h.replace(856, 14, "12.01.00.02.00");
  h.replace(920, 6, "1.2.3.");  // a later dotted string is not the version
  h.replace(512 + 4, 11, "xml version");
  ASSERT_EQ(read_header(write("dp12.dmp", h)), 0);
  EXPECT_EQ(o_.dump_type, kDumpDataPump);
  EXPECT_EQ(o_.exp_user, "HR");
  EXPECT_EQ(o_.exp_version_str, "12.01.00.02.00");
  EXPECT_EQ(g_.db_charset, kCharsetUtf8);
}

TEST_F(HeaderFiles, DataPumpUnknownCharsetAndMisplacedXml) {
  auto h = dp_header({"\"A\"", "WE8MSWIN1252X", "10.2"}, 512 + 256 + 4);
  int charset = 0;
  o_.exp_fname = {write("u.dmp", h)};
  ASSERT_EQ(check_dpdmp_header(g_, o_, charset), 0);
  EXPECT_EQ(charset, -1);
  EXPECT_EQ(o_.dump_type, kDumpDataPump);
  EXPECT_EQ(o_.exp_version_str, "");  // one point only

  // The XML mark is looked for only at 4 bytes into each 256-byte block.
  auto off = dp_header({"\"A\"", "AL32UTF8"}, 512 + 256 + 5);
  ASSERT_EQ(read_header(write("off.dmp", off)), kHeaderNotDump);
  EXPECT_EQ(o_.dump_type, kDumpUnknown);
}

TEST_F(HeaderFiles, HeaderFieldsDoNotLeakIntoTheNextFile) {
  ASSERT_EQ(read_header(write("a.dmp", classic_header({}))), 0);
  ClassicLayout s;
  s.user = "D";
  s.mode = "R";
  s.date.clear();
  ASSERT_EQ(read_header(write("b.dmp", classic_header(s))), 0);
  EXPECT_EQ(o_.exp_user, "");
  EXPECT_EQ(o_.exp_mode, -1);
  EXPECT_EQ(o_.exp_date, "");
}

TEST_F(HeaderFiles, RandomHeadersNeverOverflowTheFields) {
  std::mt19937 rng(873);
  std::uniform_int_distribution<int> byte(0, 255), pick(0, 9);
  const char alphabet[] = {'\0', '\n', ' ', 'D', 'A', '.', '1', '"', 'R', '\x03'};
  for (int round = 0; round < 200; ++round) {
    std::string h(1400, '\0');
    for (auto& c : h) c = static_cast<char>(round % 2 ? byte(rng) : alphabet[pick(rng)]);
    if (round % 4 < 2) h.replace(0, 10, std::string("\x03\x00\x01" "EXPORT:", 10));
    g_ = GlobalParams{};
    g_.os_charset = round % 3 == 0 ? kCharsetUtf8 : kCharsetSjis;
    int rc = read_header(write("r.dmp", h));
    ASSERT_TRUE(rc == 0 || rc == kHeaderNotDump) << round;
    EXPECT_LE(o_.exp_user.size(), 31u);
    EXPECT_LE(o_.exp_version_str.size(), 31u);
    EXPECT_LE(o_.exp_date.size(), 31u);
    EXPECT_GE(o_.dump_type, kDumpUnknown);
    EXPECT_LE(o_.dump_type, kDumpDirect);
  }
}

TEST(ExportMode, ModeThenHeaderLength) {
  int mode = 0, len = 0;
  EXPECT_EQ(get_export_mode(":V10.02.01\nDSCOTT\nRUSERS\n8192\n0\n", mode, len), 0);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(len, 8192);

  const std::string real = bytes({0x03, 0x00, 0x01}) + "EXPORT:V12.01.00\nDALPHA\nRENTIRE\n16384\n";
  EXPECT_EQ(get_export_mode(real, mode, len), 0);
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(len, 16384);

  // Bytes outside 0-9 and A-z are skipped without ending the word.
  EXPECT_EQ(get_export_mode("RTA-BLES\n40 96\n", mode, len), 0);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(len, 4096);
}

TEST(ExportMode, MissingOrBadLines) {
  int mode = 0, len = 0;
  EXPECT_EQ(get_export_mode("RUSERS\n8192", mode, len), -1);  // no line end
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(len, 4096);
  EXPECT_EQ(get_export_mode(":V10\nDSCOTT\nRPARTIAL\n8192\n", mode, len), -1);
  EXPECT_EQ(mode, -1);
  EXPECT_EQ(get_export_mode("", mode, len), -1);
  EXPECT_EQ(get_export_mode("RUSERS\nABC\n", mode, len), -1);
  EXPECT_EQ(len, 4096);
  EXPECT_EQ(get_export_mode("RUSERS\n99999999999999999999\n", mode, len), 0);
  EXPECT_EQ(len, INT_MAX);
}

// The real dumps of the shared folder.
class RealDumps : public ::testing::Test {
 protected:
  void SetUp() override {
    QLN_SKIP_WITHOUT_REAL_DUMP(dump("alphaoffice.dmp"));
    QLN_SKIP_WITHOUT_REAL_DUMP(dump("scott.dmp"));
  }
  static std::string dump(const char* name) { return std::string(QLN_DUMPS_DIR) + "/" + name; }
  GlobalParams g;
  ConvOptions o;
};

TEST_F(RealDumps, AlphaofficeClassicHeader) {
  o.exp_fname = {dump("alphaoffice.dmp")};
  ASSERT_EQ(read_dmp_header(g, o), 0);
  EXPECT_EQ(o.dump_type, kDumpConventional);
  EXPECT_EQ(o.exp_mode, 1);
  EXPECT_EQ(o.exp_version_str, "12.01.00");
  EXPECT_EQ(o.exp_version, 12);
  EXPECT_EQ(o.exp_user, "ALPHA");
  EXPECT_EQ(o.exp_date, "Fri Nov 7 15:51:36 2014");
  EXPECT_EQ(g.db_charset, charset_from_oracle_id(178));
  EXPECT_EQ(g.nls_charset, kCharsetUtf16);

  DumpFile f(dump("alphaoffice.dmp"));
  ASSERT_TRUE(f.is_open());
  std::string first(100, '\0');
  ASSERT_EQ(f.read(first.data(), first.size()), 100);
  int mode = 0, len = 0;
  EXPECT_EQ(get_export_mode(first, mode, len), 0);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(len, 8192);
}

TEST_F(RealDumps, ScottDataPumpHeader) {
  o.exp_fname = {dump("scott.dmp")};
  ASSERT_EQ(read_dmp_header(g, o), 0);
  EXPECT_EQ(o.dump_type, kDumpDataPump);
  EXPECT_EQ(o.exp_version_str, "12.01.00.02.00");
  EXPECT_EQ(o.exp_user, "SYS");
  EXPECT_EQ(g.db_charset, kCharsetUtf8);
  EXPECT_EQ(g.nls_charset, kCharsetUtf16);
  EXPECT_EQ(g.message_count, 0);
}

TEST_F(RealDumps, FileAccessReadsAtPositions) {
  DumpFile f(dump("scott.dmp"));
  ASSERT_TRUE(f.is_open());
  EXPECT_EQ(f.size(), 380928);
  char mark[12] = {};
  EXPECT_EQ(f.read_at(49156, mark, 11), 11);
  EXPECT_STREQ(mark, "xml version");
  EXPECT_EQ(f.tell(), 0);
  EXPECT_EQ(f.seek(380920), 0);
  char tail[16];
  EXPECT_EQ(f.read(tail, sizeof tail), 8);
  EXPECT_EQ(f.read(tail, sizeof tail), 0);
  EXPECT_EQ(f.seek(-1), -1);
  DumpFile moved = std::move(f);
  EXPECT_FALSE(f.is_open());
  EXPECT_EQ(moved.read_at(674, mark, 8), 8);
  EXPECT_EQ(std::string(mark, 8), "AL32UTF8");
}

}  // namespace
}  // namespace qln
