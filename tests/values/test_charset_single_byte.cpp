#include <gtest/gtest.h>

#include <string>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "values/charset.hpp"
#include "values/value_format.hpp"

namespace qln {
namespace {

constexpr int kCp1252 = 101;
constexpr int kLatin1 = 102;
constexpr int kLatin9 = 103;
constexpr int kCp1250 = 104;
constexpr int kCp1251 = 105;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string converted(CharsetConverter& cv, int from, int to, std::string text) {
  EXPECT_EQ(convert_charset(cv, from, to, text), 0);
  return text;
}

TEST(SingleByteSets, OracleIdsAndNamesFindTheirSets) {
  EXPECT_EQ(charset_from_oracle_id(178), kCp1252);
  EXPECT_EQ(charset_from_oracle_id(31), kLatin1);
  EXPECT_EQ(charset_from_oracle_id(46), kLatin9);
  EXPECT_EQ(charset_from_oracle_id(170), kCp1250);
  EXPECT_EQ(charset_from_oracle_id(171), kCp1251);
  EXPECT_EQ(charset_from_oracle_id(1), kCharsetUsAscii);
  EXPECT_EQ(charset_from_oracle_id(871), kCharsetUtf8);
  EXPECT_EQ(charset_from_oracle_id(2000), kCharsetUtf16);
  for (unsigned id : {0u, 0xB2B2u, 999u}) EXPECT_EQ(charset_from_oracle_id(id), -1) << id;

  EXPECT_EQ(charset_id_from_name("WE8MSWIN1252"), kCp1252);
  EXPECT_EQ(charset_id_from_name("WE8ISO8859P15"), kLatin9);
  EXPECT_EQ(charset_id_from_name("we8mswin1252"), -1);

  // Every set of the table: its id and name lead back to it, and it converts.
  CharsetConverter cv;
  for (const OracleCharset& set : oracle_charsets()) {
    EXPECT_EQ(charset_from_oracle_id(set.oracle_id), set.id) << set.name;
    EXPECT_EQ(charset_id_from_name(set.name), set.id) << set.name;
    EXPECT_EQ(charset_display_name(set.id), set.name);
    EXPECT_TRUE(has_conversion(set.id)) << set.name;
    std::string out;
    EXPECT_EQ(cv.platform_convert(set.id, kCharsetUtf8, "A\xE9", out), 0) << set.name;
    EXPECT_EQ(out.substr(0, 1), "A") << set.name;
  }
}

TEST(SingleByteSets, RegionIdsPassThrough) {
  EXPECT_EQ(charset_id_from_name("EL8PC737"), 100);
  for (int id : {10, 11, 20, 50, 100, 200, -1}) EXPECT_FALSE(has_conversion(id)) << id;
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 100, kCharsetUtf8, "\xBF"), "\xBF");
  EXPECT_EQ(converted(cv, kCharsetUsAscii, kCharsetUtf8, "\xBF"), "\xBF");
}

TEST(SingleByteSets, Cp1252ToEveryOutputSet) {
  CharsetConverter cv;
  // "¿", "®", "™", "é" and the euro sign, around plain ASCII.
  const std::string text = bytes({'R', 0xBF, 0xAE, 0x99, 0xE9, 0x80, '!'});
  EXPECT_EQ(converted(cv, kCp1252, kCharsetUtf8, text),
            "R\xC2\xBF\xC2\xAE\xE2\x84\xA2\xC3\xA9\xE2\x82\xAC!");
  EXPECT_EQ(converted(cv, kCp1252, kCharsetUtf16, "A\xE9"), bytes({0x00, 'A', 0x00, 0xE9}));
  // Shift_JIS lacks the accented letters: one replacement each. EUC-JP has
  // them in its three-byte JIS X 0212 rows.
  EXPECT_EQ(converted(cv, kCp1252, kCharsetSjis, "caf\xE9."), "caf?.");
  EXPECT_EQ(converted(cv, kCp1252, kCharsetEucJp, "caf\xE9."), "caf\x8F\xAB\xB1.");
  // The same set: the bytes stay as they are.
  EXPECT_EQ(converted(cv, kCp1252, kCp1252, text), text);
  // Bytes that CP1252 leaves undefined are replaced, one by one.
  EXPECT_EQ(converted(cv, kCp1252, kCharsetUtf8, bytes({'a', 0x81, 0x8D, 'b'})),
            "a\xEF\xBF\xBD\xEF\xBF\xBD" "b");
}

TEST(SingleByteSets, SameByteDiffersBetweenSets) {
  CharsetConverter cv;
  // 0xA4: currency sign in Latin-1, euro sign in Latin-9; 0xC0 in CP1251 is
  // the Cyrillic capital A, and 0x8A in CP1250 the capital S with caron.
  EXPECT_EQ(converted(cv, kLatin1, kCharsetUtf8, "\xA4"), "\xC2\xA4");
  EXPECT_EQ(converted(cv, kLatin9, kCharsetUtf8, "\xA4"), "\xE2\x82\xAC");
  EXPECT_EQ(converted(cv, kCp1251, kCharsetUtf8, "\xC0"), "\xD0\x90");
  EXPECT_EQ(converted(cv, kCp1250, kCharsetUtf8, "\x8A"), "\xC5\xA0");
  // Cyrillic has a Shift_JIS form.
  EXPECT_EQ(converted(cv, kCp1251, kCharsetSjis, "\xC0"), "\x84\x40");
}

TEST(SingleByteSets, ConversionsIntoASingleByteSet) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, kCharsetUtf8, kCp1252, "\xC3\xA9\xE2\x82\xAC"), "\xE9\x80");
  // Hiragana has no CP1252 form.
  EXPECT_EQ(converted(cv, kCharsetUtf8, kCp1252, "x\xE3\x81\x82y"), "x?y");
  EXPECT_EQ(converted(cv, kCharsetSjis, kLatin1, "\x82\xA0"), "?");
}

TEST(SingleByteSets, OneConverterServesManyPairs) {
  // Descriptors are kept per pair: switching back and forth gives the same
  // result as a fresh converter.
  CharsetConverter cv;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(converted(cv, kCp1252, kCharsetUtf8, "\xE9"), "\xC3\xA9");
    EXPECT_EQ(converted(cv, kCharsetSjis, kCharsetUtf8, "\x82\xA0"), "\xE3\x81\x82");
    EXPECT_EQ(converted(cv, kLatin9, kCharsetUtf8, "\xA4"), "\xE2\x82\xAC");
    EXPECT_EQ(converted(cv, kCharsetUtf8, kCp1251, "\xD0\x90"), "\xC0");
  }
}

// Column texts of a Windows-1252 database as the value formatter gives them.
class SingleByteValues : public ::testing::Test {
 protected:
  void SetUp() override {
    g.db_charset = kCp1252;
    g.nls_charset = kCharsetUtf16;
    o.out_charset = kCharsetUtf8;
  }

  std::string text(std::int32_t type, std::int32_t length, std::string_view bytes) {
    ColumnDef c;
    c.name = "C";
    c.type = type;
    c.length = length;
    o.table.columns.assign(1, c);
    row.clear();
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(decode_value(g, o, 0, {p, bytes.size()}, row), 0);
    return row.size() == 1 ? row[0].text : std::string("<none>");
  }

  GlobalParams g;
  ConvOptions o;
  RowValues row;
};

TEST_F(SingleByteValues, CharacterColumnsReachTheOutputSet) {
  EXPECT_EQ(text(kColVarchar2, 20, "R\xBFUNION"), "R\xC2\xBFUNION");
  EXPECT_EQ(text(kColChar, 4, "\xE9"), "\xC3\xA9   ");
  EXPECT_EQ(text(kColVarchar2, 20, "plain"), "plain");
  o.out_charset = kCharsetSjis;
  EXPECT_EQ(text(kColVarchar2, 20, "caf\xE9"), "caf?");
  // LONG as ASCII text: letters above 0xA0 are kept and converted, control
  // bytes still become dots.
  o.out_charset = kCharsetUtf8;
  o.raw_format = kRawAscii;
  EXPECT_EQ(text(kColLong, 0, "a\xE9\x01\x81" "b"), "a\xC3\xA9..b");
  // A database without a conversion of its own keeps the old dots.
  g.db_charset = kCharsetUsAscii;
  EXPECT_EQ(text(kColLong, 0, "a\xE9"), "a.");
  EXPECT_EQ(text(kColVarchar2, 20, "a\xE9"), "a\xE9");
}

}  // namespace
}  // namespace qln
