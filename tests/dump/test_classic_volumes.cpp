#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "core/global_params.hpp"
#include "dump/volume_reader.hpp"

namespace qln {
namespace {

namespace fs = std::filesystem;

std::string header(int len, const char* mode = "RUSERS") {
  std::string h = std::string("\x03\x00\x01", 3) + "EXPORT:V12.01.00\nDSCOTT\n" + mode + "\n" +
                  std::to_string(len) + "\n0\n";
  h.resize(static_cast<std::size_t>(len), '\0');
  return h;
}

class VolumeReaderTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  test_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  GlobalParams g;
};

TEST(VolumeHeader, FindsModeAndLengthPastNulBytes) {
  std::string h = header(8192, "RTABLES");
  int mode = -1;
  std::int64_t len = 0;
  ASSERT_EQ(scan_volume_header(reinterpret_cast<const unsigned char*>(h.data()), 256, mode, len), 0);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(len, 8192);
  h = header(300, "RSOMETHING");
  EXPECT_EQ(scan_volume_header(reinterpret_cast<const unsigned char*>(h.data()), 256, mode, len), -1);
  EXPECT_EQ(mode, -1);
}

TEST_F(VolumeReaderTest, ContinuesAtEachVolumesHeaderLength) {
  // Data 0..9 in the first volume, 10..19 in the second behind a longer header.
  std::string d1, d2;
  for (int i = 0; i < 10; ++i) d1.push_back(static_cast<char>(i));
  for (int i = 10; i < 20; ++i) d2.push_back(static_cast<char>(i));
  std::vector<std::string> files = {write("a.dmp", header(256) + d1), write("b.dmp", header(512) + d2)};
  VolumeReader in;
  ASSERT_EQ(in.open(g, files, {}, 256), 0);
  unsigned char buf[8];
  ASSERT_EQ(in.read(buf, 8), 1);
  EXPECT_EQ(buf[7], 7);
  std::uint16_t v = 0;
  ASSERT_EQ(in.get_u16(v), 1);  // bytes 8 and 9
  EXPECT_EQ(v, 0x0908);
  ASSERT_EQ(in.get_u16(v), 1);  // 10 and 11, from the second volume
  EXPECT_EQ(v, 0x0B0A);
  EXPECT_EQ(in.volume_index(), 1);
  EXPECT_EQ(in.offset(), 514);
  EXPECT_EQ(in.consumed(), 12);
  ASSERT_EQ(in.skip(6), 1);
  unsigned char b = 0;
  ASSERT_EQ(in.get(b), 1);
  EXPECT_EQ(b, 18);
  // A request that runs past the last volume delivers nothing usable.
  EXPECT_EQ(in.read(buf, 2), 0);
}

TEST_F(VolumeReaderTest, BadFurtherVolumesAreReported) {
  std::vector<std::string> files = {write("a.dmp", header(256) + "xy"), write("b.dmp", "not a dump")};
  VolumeReader in;
  ASSERT_EQ(in.open(g, files, {}, 256), 0);
  unsigned char buf[4];
  EXPECT_EQ(in.read(buf, 4), -1);
  EXPECT_NE(g.messages[0].find("03101"), std::string::npos);

  GlobalParams g2;
  files[1] = (dir_ / "missing.dmp").string();
  VolumeReader in2;
  ASSERT_EQ(in2.open(g2, files, {}, 256), 0);
  EXPECT_EQ(in2.read(buf, 4), -1);
  EXPECT_NE(g2.messages[0].find("03100"), std::string::npos);
}

}  // namespace
}  // namespace qln
