#include <gtest/gtest.h>

#include <string>

#include "dumpwriter/datapump_writer.hpp"
#include "dumpwriter/dump_writer.hpp"
#include "core/language.hpp"
#include "dump/dump_header.hpp"
#include "dump/properties.hpp"
#include "engine/conversion.hpp"
#include "support/temp_dir.hpp"
#include "values/charset.hpp"

// Dumps of databases in every character set, converted to each output set.
// The expected texts are literal bytes, encoded by hand-checked tables
// outside this program.
namespace qln {
namespace {

namespace dw = qln::dumpwriter;
using dw::Cell;

struct SetCase {
  unsigned oracle_id;
  const char* stored;  // in the database's set
  const char* utf8;
  const char* sjis;
  const char* euc;
};

constexpr SetCase kCases[] = {
      {852, "\xD6\xD0\xCE\xC4\xC3\xC7 x", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xBB\xAC x", "\x92\x86\x95\xB6? x", "\xC3\xE6\xCA\xB8? x"},  // ZHS16GBK
      {854, "\xD6\xD0\xCE\xC4\x95" "2\x83" "7!", "\xE4\xB8\xAD\xE6\x96\x87\xF0\xA0\x80\x8B!", "\x92\x86\x95\xB6?!", "\xC3\xE6\xCA\xB8?!"},  // ZHS32GB18030
      {850, "\xD6\xD0\xB9\xFA", "\xE4\xB8\xAD\xE5\x9B\xBD", "\x92\x86\x8D\x91", "\xC3\xE6\xB9\xF1"},  // ZHS16CGB231280
      {865, "\xBBO\xC6W", "\xE8\x87\xBA\xE7\x81\xA3", "\xE4i\xE0s", "\xE7\xCA\xDF\xD4"},  // ZHT16BIG5
      {867, "\xBBO\xA5_", "\xE8\x87\xBA\xE5\x8C\x97", "\xE4i\x96k", "\xE7\xCA\xCB\xCC"},  // ZHT16MSWIN950
      {868, "\xAD\xBB\xB4\xE4\x87\x40", "\xE9\xA6\x99\xE6\xB8\xAF\xE4\x8F\xB0", "\x8D\x81\x8D`?", "\xB9\xE1\xB9\xC1?"},  // ZHT16HKSCS
      {860, "\xC4\xA1\x8E\xA3\xA1\xA1", "\xE4\xB8\x80\xE4\xB8\xA8", "\x88\xEA\xFA" "h", "\xB0\xEC\x8F\xB0\xA9"},  // ZHT32EUC (932 writes U+4E28 at FA68)
      {840, "\xC7\xD1\xB1\xB9\xBE\xEE", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "???", "???"},  // KO16KSC5601
      {846, "\xC7\xD1\xB1\xB9 \x8C" "c", "\xED\x95\x9C\xEA\xB5\xAD \xEB\x98\xA0", "?? ?", "?? ?"},  // KO16MSWIN949
      {41, "\xC0\xD2\xC9\xD2\xE4\xB7\xC2", "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2\xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2", "???????", "???????"},  // TH8TISASCII
      {175, "\xF2\xE1\xF8\xE9\xFA\xE5\xC9", "\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA\xD7\x95\xD6\xB9", "???????", "???????"},  // IW8MSWIN1255
      {38, "\xF9\xEC\xE5\xED", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "????", "????"},  // IW8ISO8859P8
      {560, "\xDA\xD1\xC8\xED", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A", "????", "????"},  // AR8MSWIN1256
      {36, "\xD3\xE4\xC7\xE5", "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", "????", "????"},  // AR8ISO8859P6
      {45, "\xD0\xE0" "A\xDE", "\xC4\x90\xC3\xA0" "A\xCC\x83", "??A?", "\x8F\xA9\xA2\x8F\xAB\xA2" "A?"},  // VN8MSWIN1258
      {51, "\xF0\xD2\xC9\xD7\xC5\xD4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\x84P\x84\x82\x84y\x84r\x84u\x84\x84", "\xA7\xB1\xA7\xE2\xA7\xDA\xA7\xD3\xA7\xD6\xA7\xE4"},  // CL8KOI8R
      {152, "\x8C\xA8\xE0", "\xD0\x9C\xD0\xB8\xD1\x80", "\x84M\x84y\x84\x82", "\xA7\xAE\xA7\xDA\xA7\xE2"},  // RU8PC866
      {4, "\x80\xAB", "\xC3\x87\xC2\xBD", "??", "\x8F\xAA\xAE?"},  // US8PC437
      {10, "\xA5\x9B", "\xC3\x91\xC3\xB8", "??", "\x8F\xAA\xD0\x8F\xA9\xCC"},  // WE8PC850
      {150, "\x9D\xA2" "d\xAB", "\xC5\x81\xC3\xB3" "d\xC5\xBA", "??d?", "\x8F\xA9\xA8\x8F\xAB\xD1" "d\x8F\xAB\xF5"},  // EE8PC852
      {47, "\xC0\xFE", "\xC4\x84\xC5\xBE", "??", "\x8F\xAA\xA8\x8F\xAB\xF6"},  // BLT8ISO8859P13
      {873, "\xE6\x97\xA5\xE6\x9C\xAC\xF0\xA0\x80\x8B", "\xE6\x97\xA5\xE6\x9C\xAC\xF0\xA0\x80\x8B", "\x93\xFA\x96{?", "\xC6\xFC\xCB\xDC?"},  // AL32UTF8
};

class CharsetDumps : public ::testing::Test {
 protected:
  std::string convert(const std::string& dump, int out_charset, int db_charset = kCharsetUnknown) {
    Request r;
    r.volumes = {dump};
    r.bom = false;
    r.out_charset = out_charset;
    r.db_charset = db_charset;
    r.out_file = dir.file("out.csv");
    Results results;
    const Status s = run_conversion(r, results);
    EXPECT_TRUE(s.ok()) << s.text();
    return test_support::read_text_file(r.out_file);
  }

  std::string classic(unsigned db_id, unsigned nchar_id, const std::vector<dw::ColumnSpec>& cols,
                      std::initializer_list<Cell> row) {
    dw::DumpOptions opt;
    opt.db_charset_id = static_cast<std::uint16_t>(db_id);
    opt.nchar_charset_id = static_cast<std::uint16_t>(nchar_id);
    const std::string path = dir.file("c" + std::to_string(db_id) + ".dmp");
    dw::DumpWriter w(path, opt);
    dw::TableSpec t;
    t.name = "T";
    t.columns = cols;
    w.begin_table(t);
    w.add_row(row);
    w.end_table();
    w.finish();
    return path;
  }

  test_support::TempDir dir;
};

TEST_F(CharsetDumps, EverySetToUtf8ShiftJisAndEucJp) {
  for (const SetCase& c : kCases) {
    const std::string dump = classic(c.oracle_id, 2000, {{"S", "VARCHAR2(100)"}}, {Cell::text(c.stored)});
    EXPECT_EQ(convert(dump, kCharsetUtf8), std::string(c.utf8) + "\n") << c.oracle_id;
    EXPECT_EQ(convert(dump, kCharsetSjis), std::string(c.sjis) + "\n") << c.oracle_id;
    EXPECT_EQ(convert(dump, kCharsetEucJp), std::string(c.euc) + "\n") << c.oracle_id;
  }
}

TEST_F(CharsetDumps, DataPumpNamesTheSet) {
  for (const SetCase& c : kCases) {
    const int set = charset_from_oracle_id(c.oracle_id);
    ASSERT_NE(set, kCharsetUnknown) << c.oracle_id;
    dw::DataPumpOptions opt;
    opt.charset_id = static_cast<std::uint16_t>(c.oracle_id);
    opt.charset_name = std::string(charset_display_name(set));
    const std::string dump = dir.file("dp.dmp");
    dw::DataPumpWriter w(dump, opt);
    dw::TableSpec t;
    t.name = "T";
    t.columns = {{"S", "VARCHAR2(100)"}};
    w.begin_table(t);
    w.add_row({Cell::text(c.stored)});
    w.end_table();
    w.finish();
    EXPECT_EQ(convert(dump, kCharsetUtf8), std::string(c.utf8) + "\n") << opt.charset_name;
  }
}

TEST_F(CharsetDumps, Cesu8PairsBecomeOneCharacter) {
  // U+2000B as Oracle's UTF8 stores it: two three-byte surrogates.
  const std::string dump = classic(871, 2000, {{"S", "VARCHAR2(40)"}},
                                   {Cell::bytes("a\xED\xA1\x80\xED\xB0\x8B" "b\xE6\x97\xA5")});
  EXPECT_EQ(convert(dump, kCharsetUtf8), "a\xF0\xA0\x80\x8B" "b\xE6\x97\xA5\n");
  EXPECT_EQ(convert(dump, kCharsetSjis), "a?b\x93\xFA\n");
  EXPECT_EQ(convert(dump, kCharsetEucJp), "a?b\xC6\xFC\n");
}

TEST_F(CharsetDumps, NationalColumnsUseTheNationalSet) {
  // A Windows-1252 database: Korean in NVARCHAR2/NCHAR would be lost if
  // read through the database set.
  for (unsigned nchar_id : {2000u, 871u}) {
    const std::string dump =
        classic(178, nchar_id, {{"N", "NVARCHAR2(20)"}, {"C", "NCHAR(3)"}, {"V", "VARCHAR2(10)"}},
                {Cell::text("\xED\x95\x9C\xEA\xB5\xAD"), Cell::text("\xE6\x97\xA5"),
                 Cell::text("caf\xE9")});
    EXPECT_EQ(convert(dump, kCharsetUtf8), "\xED\x95\x9C\xEA\xB5\xAD,\xE6\x97\xA5  ,caf\xC3\xA9\n")
        << nchar_id;
    EXPECT_EQ(convert(dump, kCharsetSjis), "??,\x93\xFA  ,caf?\n") << nchar_id;
  }
}

TEST_F(CharsetDumps, DataPumpNationalSetComesFromTheDescriptions) {
  // A Windows-1252 database: its national columns, in UTF8 or AL16UTF16 as
  // the descriptions say, and an NCLOB (UTF-16 in both) reach every output
  // whole, and PROPERTY names the national set.
  for (const std::string ncharset : {"UTF8", "AL16UTF16"}) {
    dw::DataPumpOptions opt;
    opt.charset_id = 178;
    opt.charset_name = "WE8MSWIN1252";
    opt.ncharset_name = ncharset;
    const std::string dump = dir.file("n" + ncharset + ".dmp");
    {
      dw::DataPumpWriter w(dump, opt);
      dw::TableSpec t;
      t.name = "T";
      t.columns = {{"ID", "NUMBER(4)"}, {"N", "NVARCHAR2(20)"}, {"C", "NCHAR(3)"}, {"V", "VARCHAR2(10)"},
                   {"L", "NCLOB"}};
      w.begin_table(t);
      w.add_row({Cell::number("7"), Cell::text("\xED\x95\x9C\xEA\xB5\xAD"), Cell::text("\xE6\x97\xA5"),
                 Cell::text("caf\xE9"), Cell::text("\xE6\x9D\xB1 \xF0\xA0\x80\x8B")});
      w.end_table();
      w.finish();
    }
    GlobalParams g;
    g.language = Language::kEnglish;
    ConvOptions o;
    o.exp_fname = {dump};
    ASSERT_EQ(read_dmp_header(g, o), 0);
    EXPECT_NE(format_properties(g, o).find("NLS character set   " + std::string(ncharset == "UTF8" ? "UTF8" : "UTF16")),
              std::string::npos) << format_properties(g, o);

    EXPECT_EQ(convert(dump, kCharsetSjis).substr(0, 15), "7,??,\x93\xFA  ,caf?,") << ncharset;
    Request r;
    r.volumes = {dump};
    r.out_charset = kCharsetSjis;
    r.output = OutputKind::kLobFiles;
    r.lob = {"T", "L", dir.file(""), "n_%ID%.txt"};
    Results results;
    const Status s = run_conversion(r, results);
    ASSERT_TRUE(s.ok()) << s.text();
    EXPECT_EQ(test_support::read_file(dir.file("n_7.txt")), "\x93\x8C ?") << ncharset;
    std::filesystem::remove(dir.file("n_7.txt"));
  }
}

TEST_F(CharsetDumps, DeclaredSetOverriddenAndBrokenBytesKeepTheirNeighbours) {
  // A US7ASCII database holding Shift_JIS text.
  const std::string ascii = classic(1, 2000, {{"S", "VARCHAR2(20)"}}, {Cell::text("\x93\xFA\x96\x7B")});
  EXPECT_EQ(convert(ascii, kCharsetUtf8, kCharsetSjis), "\xE6\x97\xA5\xE6\x9C\xAC\n");
  // GBK: a byte that is no character, a lead byte before a space and one
  // cut off at the end each become one replacement; nothing else is lost.
  const std::string gbk = classic(852, 2000, {{"S", "VARCHAR2(20)"}}, {Cell::text("a\xFF" "b\xD6 c\xD6")});
  EXPECT_EQ(convert(gbk, kCharsetUtf8), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD c\xEF\xBF\xBD\n");
  EXPECT_EQ(convert(gbk, kCharsetSjis), "a?b? c?\n");
}

}  // namespace
}  // namespace qln
