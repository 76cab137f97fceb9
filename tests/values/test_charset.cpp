#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "values/charset.hpp"

namespace qln {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string converted(CharsetConverter& cv, int from, int to, std::string text) {
  EXPECT_EQ(convert_charset(cv, from, to, text), 0);
  return text;
}

TEST(CharsetNames, OracleNamesMapToIds) {
  EXPECT_EQ(charset_id_from_name("JA16SJIS"), 1);
  EXPECT_EQ(charset_id_from_name("JA16SJISTILDE"), 1);
  EXPECT_EQ(charset_id_from_name("JA16EUCTILDE"), 2);
  EXPECT_EQ(charset_id_from_name("EUC"), 2);
  EXPECT_EQ(charset_id_from_name("AL32UTF8"), 3);
  EXPECT_EQ(charset_id_from_name("UTF8"), 3);
  EXPECT_EQ(charset_id_from_name("AL16UTF16"), 4);
  EXPECT_EQ(charset_id_from_name("US7ASCII"), 10);
  EXPECT_EQ(charset_id_from_name("ZHT32EUC"), 133);
  EXPECT_EQ(charset_id_from_name("WE8MSWIN1252"), 101);
  EXPECT_EQ(charset_id_from_name("EL8PC737"), 100);  // known, not converted
  EXPECT_EQ(charset_id_from_name("AR8ADOS720"), 200);
  EXPECT_EQ(charset_id_from_name("we8mswin1252"), -1);
  EXPECT_EQ(charset_id_from_name("al32utf8"), -1);
  EXPECT_EQ(charset_id_from_name(""), -1);
  EXPECT_EQ(charset_id_from_name("AL32UTF8 "), -1);
}

TEST(CharsetNames, DisplayNames) {
  EXPECT_EQ(charset_display_name(1), "Shift_JIS");
  EXPECT_EQ(charset_display_name(2), "EUC");
  EXPECT_EQ(charset_display_name(3), "UTF8");
  EXPECT_EQ(charset_display_name(4), "UTF16");
  EXPECT_EQ(charset_display_name(10), "US7ASCII");
  EXPECT_EQ(charset_display_name(101), "WE8MSWIN1252");
  EXPECT_EQ(charset_display_name(127), "ZHS16GBK");
  EXPECT_EQ(charset_display_name(100), "UNKNOWN");
  EXPECT_EQ(charset_display_name(-1), "UNKNOWN");
}

TEST(CharsetArithmetic, EucAndShiftJisKanji) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 2, 1, bytes({0xB0, 0xA1})), bytes({0x88, 0x9F}));
  EXPECT_EQ(converted(cv, 1, 2, bytes({0x88, 0x9F})), bytes({0xB0, 0xA1}));
  // Hiragana "a": odd/even lead rows take different trail offsets.
  EXPECT_EQ(converted(cv, 2, 1, bytes({0xA4, 0xA2})), bytes({0x82, 0xA0}));
  EXPECT_EQ(converted(cv, 1, 2, bytes({0x82, 0xA0})), bytes({0xA4, 0xA2}));
  EXPECT_EQ(converted(cv, 2, 1, bytes({0xB1, 0xA1})), bytes({0x89, 0x40}));
  EXPECT_EQ(converted(cv, 1, 2, bytes({0x89, 0x40})), bytes({0xB1, 0xA1}));
}

TEST(CharsetArithmetic, KatakanaAndAscii) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 2, 1, bytes({0x8E, 0xB1})), bytes({0xB1}));
  // Half-width katakana gets its single-shift prefix, so it survives a trip.
  EXPECT_EQ(converted(cv, 1, 2, bytes({0xB1, 0xB2})), bytes({0x8E, 0xB1, 0x8E, 0xB2}));
  EXPECT_EQ(converted(cv, 2, 1, "abc 123\t~"), "abc 123\t~");
  EXPECT_EQ(converted(cv, 1, 2, "abc 123\t~"), "abc 123\t~");
  EXPECT_EQ(converted(cv, 2, 1, bytes({'x', 0xA4, 0xA2, 0x8E, 0xDF, 'y'})),
            bytes({'x', 0x82, 0xA0, 0xDF, 'y'}));
}

TEST(CharsetArithmetic, EveryTwoByteEucCodeRoundTrips) {
  CharsetConverter cv;
  for (int e1 = 0xA1; e1 <= 0xFE; ++e1) {
    for (int e2 = 0xA1; e2 <= 0xFE; ++e2) {
      std::string text = bytes({e1, e2});
      std::string sjis = converted(cv, 2, 1, text);
      ASSERT_EQ(sjis.size(), 2u) << e1 << ' ' << e2;
      ASSERT_EQ(converted(cv, 1, 2, sjis), text) << e1 << ' ' << e2;
    }
  }
}

TEST(CharsetArithmetic, AgreesWithTheUnicodeRouteOnStandardRows) {
  // EUC-JP straight to UTF-8 must give what EUC-JP -> Shift_JIS -> UTF-8 gives.
  CharsetConverter cv;
  int compared = 0;
  for (int e1 = 0xA1; e1 <= 0xF4; ++e1) {
    for (int e2 = 0xA1; e2 <= 0xFE; ++e2) {
      std::string direct = converted(cv, 2, 3, bytes({e1, e2}));
      std::string via = converted(cv, 1, 3, converted(cv, 2, 1, bytes({e1, e2})));
      if (direct == "\xEF\xBF\xBD" || via == "\xEF\xBF\xBD") continue;
      ASSERT_EQ(direct, via) << std::hex << e1 << ' ' << e2;
      ++compared;
    }
  }
  EXPECT_GT(compared, 6800);
}

TEST(CharsetArithmetic, ThreeByteEucIsConverted) {
  CharsetConverter cv;
  // IBM extension small roman one exists in code page 932.
  EXPECT_EQ(converted(cv, 2, 1, bytes({'a', 0x8F, 0xF3, 0xF3, 'b'})),
            bytes({'a', 0xFA, 0x40, 'b'}));
  // JIS X 0212 kanji without a Shift_JIS form becomes the replacement.
  EXPECT_EQ(converted(cv, 2, 1, bytes({0x8F, 0xB0, 0xA1, 'z'})), "?z");
  EXPECT_EQ(converted(cv, 2, 3, bytes({0x8F, 0xB0, 0xA1})), "\xE4\xB8\x82");
  EXPECT_EQ(converted(cv, 3, 2, "\xE4\xB8\x82"), bytes({0x8F, 0xB0, 0xA1}));
  EXPECT_EQ(converted(cv, 1, 2, bytes({0xFA, 0x40})), bytes({0x8F, 0xF3, 0xF3}));
}

TEST(CharsetArithmetic, BrokenSequencesBecomeReplacements) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 2, 1, bytes({'a', 0xB0})), "a?");
  EXPECT_EQ(converted(cv, 2, 1, bytes({0xB0, 'x'})), "?x");
  EXPECT_EQ(converted(cv, 2, 1, bytes({0x8E, 'x', 0x8F, 0xB0})), "?x??");
  EXPECT_EQ(converted(cv, 2, 1, bytes({0x80, 0xA0, 0xFF})), "???");
  EXPECT_EQ(converted(cv, 1, 2, bytes({0x82, ' ', 'a'})), "? a");
  EXPECT_EQ(converted(cv, 1, 2, bytes({'a', 0x82})), "a?");
  EXPECT_EQ(converted(cv, 1, 2, bytes({0x80, 0xA0, 0xFD})), "???");
}

TEST(CharsetUnicode, ExamplesAndDirectPairs) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 4, 1, bytes({0x00, 0x41, 0x30, 0x42})), bytes({0x41, 0x82, 0xA0}));
  EXPECT_EQ(converted(cv, 1, 3, bytes({0x82, 0xA0, 'A'})), "\xE3\x81\x82" "A");
  EXPECT_EQ(converted(cv, 3, 1, "\xE3\x81\x82" "A"), bytes({0x82, 0xA0, 'A'}));
  EXPECT_EQ(converted(cv, 4, 2, bytes({0x30, 0x42})), bytes({0xA4, 0xA2}));
  EXPECT_EQ(converted(cv, 2, 3, bytes({0xA4, 0xA2, 0x8E, 0xB1})), "\xE3\x81\x82\xEF\xBD\xB1");
  // Characters Shift_JIS lacks survive the pairs that do not need it.
  EXPECT_EQ(converted(cv, 4, 3, bytes({0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00})),
            "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(converted(cv, 4, 2, bytes({0x4E, 0x02})), bytes({0x8F, 0xB0, 0xA1}));
  EXPECT_EQ(converted(cv, 3, 4, "A\xE3\x81\x82"), bytes({0x00, 0x41, 0x30, 0x42}));
}

TEST(CharsetUnicode, UnconvertibleAndInvalidInputIsReplaced) {
  CharsetConverter cv;
  EXPECT_EQ(converted(cv, 3, 1, "a\xC3\xA9z"), "a?z");
  EXPECT_EQ(converted(cv, 3, 2, "\xF0\x9F\x98\x80!"), "?!");
  EXPECT_EQ(converted(cv, 3, 1, "A\xFF" "B"), "A?B");
  EXPECT_EQ(converted(cv, 3, 1, "A\xE3\x81"), "A?");  // cut off at the end
  EXPECT_EQ(converted(cv, 3, 1, "\xE3\x81" "A"), "?A");
  EXPECT_EQ(converted(cv, 1, 3, bytes({'a', 0x82})), "a\xEF\xBF\xBD");
  EXPECT_EQ(converted(cv, 1, 3, bytes({0xA0, 'b'})), "\xEF\xBF\xBD" "b");
  // Lone surrogate and an odd trailing byte.
  EXPECT_EQ(converted(cv, 4, 3, bytes({0xD8, 0x00, 0x00, 0x41, 0x00})),
            "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
  EXPECT_EQ(converted(cv, 4, 1, bytes({0xDC, 0x00, 0x00, 0x42})), "?B");
}

TEST(CharsetUnicode, PairsWithoutConversionLeaveTextAlone) {
  CharsetConverter cv;
  const std::string raw = bytes({0x82, 0xA0, 0xE9, 0x00, 'x'});
  EXPECT_EQ(converted(cv, 1, 1, raw), raw);
  EXPECT_EQ(converted(cv, 3, 3, raw), raw);
  EXPECT_EQ(converted(cv, 100, 3, raw), raw);
  EXPECT_EQ(converted(cv, 10, 1, raw), raw);
  EXPECT_EQ(converted(cv, -1, 3, raw), raw);
  EXPECT_EQ(converted(cv, 3, 200, raw), raw);
  EXPECT_EQ(converted(cv, 3, 1, std::string()), "");
}

TEST(CharsetUnicode, ConverterIsReusedAcrossManyCalls) {
  CharsetConverter cv;
  for (int i = 0; i < 2000; ++i) {
    std::string text = bytes({0x00, 0x41, 0x30, 0x42});
    ASSERT_EQ(convert_charset(cv, 4, 3, text), 0);
    ASSERT_EQ(text, "A\xE3\x81\x82");
    ASSERT_EQ(convert_charset(cv, 3, 1, text), 0);
    ASSERT_EQ(text, bytes({0x41, 0x82, 0xA0}));
  }
  CharsetConverter moved = std::move(cv);
  std::string text = "\xE3\x81\x82";
  EXPECT_EQ(convert_charset(moved, 3, 2, text), 0);
  EXPECT_EQ(text, bytes({0xA4, 0xA2}));
}

// Structural checks of a converted text: what a reader of the target set
// would see as a sequence of whole characters.
bool well_formed(int id, const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  auto in = [](unsigned char b, int lo, int hi) { return b >= lo && b <= hi; };
  for (std::size_t i = 0; i < n;) {
    unsigned char b = p[i];
    std::size_t len = 1;
    if (id == 1) {
      if (in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC)) {
        if (i + 1 >= n || !(in(p[i + 1], 0x40, 0x7E) || in(p[i + 1], 0x80, 0xFC))) return false;
        len = 2;
      } else if (b == 0x80 || b == 0xA0 || b >= 0xFD) {
        return false;
      }
    } else if (id == 2) {
      if (b == 0x8E) {
        if (i + 1 >= n || !in(p[i + 1], 0xA1, 0xDF)) return false;
        len = 2;
      } else if (b == 0x8F) {
        if (i + 2 >= n || !in(p[i + 1], 0xA1, 0xFE) || !in(p[i + 2], 0xA1, 0xFE)) return false;
        len = 3;
      } else if (in(b, 0xA1, 0xFE)) {
        if (i + 1 >= n || !in(p[i + 1], 0xA1, 0xFE)) return false;
        len = 2;
      } else if (b == 0xA0 || b == 0xFF) {
        return false;  // 0x80-0x9F are C1 controls, whole characters of EUC-JP
      }
    } else if (id == 3) {
      if (b >= 0x80) {
        if (in(b, 0xC2, 0xDF)) len = 2;
        else if (in(b, 0xE0, 0xEF)) len = 3;
        else if (in(b, 0xF0, 0xF4)) len = 4;
        else return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
          if (!in(p[i + k], 0x80, 0xBF)) return false;
        }
        if ((b == 0xE0 && p[i + 1] < 0xA0) || (b == 0xED && p[i + 1] > 0x9F) ||
            (b == 0xF0 && p[i + 1] < 0x90) || (b == 0xF4 && p[i + 1] > 0x8F)) {
          return false;
        }
      }
    } else {
      if (i + 2 > n) return false;
      len = 2;
      if (in(b, 0xD8, 0xDB)) {
        if (i + 4 > n || !in(p[i + 2], 0xDC, 0xDF)) return false;
        len = 4;
      } else if (in(b, 0xDC, 0xDF)) {
        return false;
      }
    }
    i += len;
  }
  return true;
}

TEST(CharsetRobustness, RandomBytesGiveWellFormedText) {
  CharsetConverter cv;
  std::mt19937 rng(20141107);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 48);
  for (int round = 0; round < 300; ++round) {
    std::string source;
    for (int i = length(rng); i > 0; --i) source.push_back(static_cast<char>(byte(rng)));
    for (int from = 1; from <= 4; ++from) {
      for (int to = 1; to <= 4; ++to) {
        if (from == to) continue;
        std::string text = source;
        ASSERT_EQ(convert_charset(cv, from, to, text), 0);
        ASSERT_TRUE(well_formed(to, text)) << from << "->" << to << " round " << round;
      }
    }
  }
}

TEST(CharsetOutput, Utf8BomAndMessageText) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(write_utf8_bom(f), 0);
  std::rewind(f);
  unsigned char got[4] = {};
  EXPECT_EQ(std::fread(got, 1, sizeof got, f), 3u);
  EXPECT_EQ(got[0], 0xEF);
  EXPECT_EQ(got[1], 0xBB);
  EXPECT_EQ(got[2], 0xBF);
  std::fclose(f);
  EXPECT_EQ(write_utf8_bom(nullptr), -1);

  const std::string msg = "ユーザ名 A";
  EXPECT_EQ(utf8_to_os_charset(3, msg), msg);
  EXPECT_EQ(utf8_to_os_charset(-1, msg), msg);
  EXPECT_EQ(utf8_to_os_charset(1, msg), bytes({0x83, 0x86, 0x81, 0x5B, 0x83, 0x55, 0x96, 0xBC, ' ', 'A'}));
  EXPECT_EQ(utf8_to_os_charset(2, msg), bytes({0xA5, 0xE6, 0xA1, 0xBC, 0xA5, 0xB6, 0xCC, 0xBE, ' ', 'A'}));
  MessageConverter hook = &utf8_to_os_charset;
  EXPECT_EQ(hook(1, "A"), "A");
}

TEST(CharsetOutput, RunOutputCharset) {
  ConvOptions o;
  o.out_charset = 3;
  EXPECT_EQ(output_charset(o), 3);
  set_switch(o.is_to_sjis, true);
  EXPECT_EQ(output_charset(o), 1);
}

}  // namespace
}  // namespace qln
