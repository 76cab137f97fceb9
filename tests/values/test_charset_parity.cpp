#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "values/charset.hpp"

// The conversions of every character of each source set, and of random
// texts, summed up in one digest per pair of sets. The digests were taken
// from the iconv conversions on Linux; the Windows code-page conversions
// must give the same bytes, replacements included.
namespace qln {
namespace {

std::vector<std::string> source_texts(int from) {
  std::vector<std::string> v;
  auto add = [&v](std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    v.push_back(std::move(s));
  };
  for (int b = 0; b < 256; ++b) add({b});
  if (from == kCharsetSjis) {
    for (int l = 0x81; l <= 0xFC; ++l) {
      for (int t = 0x40; t <= 0xFC; ++t) add({l, t});
    }
  } else if (from == kCharsetEucJp) {
    for (int l = 0xA1; l <= 0xFE; ++l) {
      for (int t = 0xA1; t <= 0xFE; ++t) {
        add({l, t});
        add({0x8F, l, t});
      }
    }
    for (int t = 0xA0; t <= 0xE0; ++t) add({0x8E, t});
  } else if (from == kCharsetUtf8 || from == kCharsetUtf16) {
    for (unsigned c = 0x80; c <= 0xFFFF; ++c) {
      if (from == kCharsetUtf16) {
        add({static_cast<int>(c >> 8), static_cast<int>(c & 0xFF)});
      } else if (c < 0x800) {
        add({static_cast<int>(0xC0 | (c >> 6)), static_cast<int>(0x80 | (c & 0x3F))});
      } else {
        add({static_cast<int>(0xE0 | (c >> 12)), static_cast<int>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<int>(0x80 | (c & 0x3F))});
      }
    }
  } else if (is_multibyte_set(from)) {
    const CharWidth width = oracle_charsets()[static_cast<std::size_t>(from - kCharsetOracleFirst)].width;
    for (int l = 0x81; l <= 0xFE; ++l) {
      for (int t = 0x30; t <= 0xFE; ++t) add({l, t});
      // Every plane of EUC-TW in its four-byte form (iconv has 1-7 and 15).
      for (int plane = 0xA1; plane <= 0xB0 && width == CharWidth::kEucTw; ++plane) {
        for (int t = 0xA1; t <= 0xFE; ++t) add({0x8E, plane, l, t});
      }
    }
    // Four-byte GB18030: the BMP part whole, every 7th lead of the rest, cut-off starts.
    for (int a = 0x81; a <= 0xFE && width == CharWidth::kGb; a += a < 0x84 ? 1 : 7) {
      for (int b = 0x30; b <= 0x39; ++b) {
        for (int c = 0x81; c <= 0xFE; ++c) {
          for (int d = 0x30; d <= 0x39; ++d) add({a, b, c, d});
        }
        add({a, b});
        add({a, b, 0x81});
      }
    }
  }
  std::mt19937 rng(1107);
  for (int round = 0; round < 400; ++round) {
    std::string s;
    for (int i = static_cast<int>(rng() % 24); i > 0; --i) s.push_back(static_cast<char>(rng() % 256));
    v.push_back(std::move(s));
  }
  return v;
}

std::uint64_t digest(CharsetConverter& cv, int from, int to) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::string text : source_texts(from)) {
    convert_charset(cv, from, to, text);
    text.push_back('\xFF');  // keeps the texts apart
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  }
  return h;
}

struct Expected {
  int from, to;
  std::uint64_t digest;
};

TEST(CharsetParity, EveryCharacterConvertsAsTheReferenceDoes) {
  const Expected expected[] = {
#include "charset_parity_digests.inc"
  };
  CharsetConverter cv;
  for (const Expected& e : expected) {
    const std::uint64_t d = digest(cv, e.from, e.to);
    EXPECT_EQ(d, e.digest) << "    {" << e.from << ", " << e.to << ", 0x" << std::hex << d << "ull},";
  }
}

// The sets Windows has no code page for, and the ones Oracle converts byte
// by byte where the platforms would join a letter and its mark. Expected
// code points as the published HKSCS-2008, CNS 11643 and Windows tables
// give them, checked against other implementations than iconv (Python's
// HKSCS and Windows codecs, ICU's EUC-TW).
TEST(CharsetParity, TablesOfOurOwn) {
  CharsetConverter cv;
  auto to_utf8 = [&cv](int from, std::string text) {
    EXPECT_EQ(convert_charset(cv, from, kCharsetUtf8, text), 0);
    return text;
  };
  // HKSCS: 8740 U+43F0, 8845 U+2010C, 8862 U+00CA U+0304, 8866 U+00CA,
  // A145 U+2022 (950 has U+2027 there), A440 U+4E00 from the Big5 part.
  EXPECT_EQ(to_utf8(132, "a\x87\x40\x88\x45\x88\x62\x88\x66\xA1\x45\xA4\x40z"),
            "a\xE4\x8F\xB0\xF0\xA0\x84\x8C\xC3\x8A\xCC\x84\xC3\x8A\xE2\x80\xA2\xE4\xB8\x80z");
  // CNS 11643 row 1 cell 1 of planes 3-7 and 15: U+4E28, U+20086,
  // U+200D1, U+2F802, U+20055, U+20002; plane 2 gives U+4E42, 8 nothing.
  EXPECT_EQ(to_utf8(133, "\x8E\xA3\xA1\xA1\x8E\xA4\xA1\xA1\x8E\xA5\xA1\xA1\x8E\xA6\xA1\xA1"
                         "\x8E\xA7\xA1\xA1\x8E\xAF\xA1\xA1\x8E\xA2\xA1\xA1\x8E\xA8\xA1\xA1z"),
            "\xE4\xB8\xA8\xF0\xA0\x82\x86\xF0\xA0\x83\x91\xF0\xAF\xA0\x82\xF0\xA0\x81\x95"
            "\xF0\xA0\x80\x82\xE4\xB9\x82\xEF\xBF\xBDz");
  // Vietnamese A + combining tilde (DE) and A-breve + acute (C3 EC); Hebrew
  // vav + holam (E5 C9): each byte one character, none joined.
  EXPECT_EQ(to_utf8(120, "A\xDE\xC3\xEC\x81z"), "A\xCC\x83\xC4\x82\xCC\x81\xEF\xBF\xBDz");
  EXPECT_EQ(to_utf8(118, "\xE5\xC9\xD9\xA4"), "\xD7\x95\xD6\xB9\xEF\xBF\xBD\xE2\x82\xAA");
  std::string sjis = "A\xDE\xC3";
  EXPECT_EQ(convert_charset(cv, 120, kCharsetSjis, sjis), 0);
  EXPECT_EQ(sjis, "A??");
  // Back: a precomposed letter the set lacks is not taken apart.
  std::string vi = "A\xCC\x83\xC3\x83\xC4\x82";
  EXPECT_EQ(convert_charset(cv, kCharsetUtf8, 120, vi), 0);
  EXPECT_EQ(vi, "A\xDE?\xC3");
}

}  // namespace
}  // namespace qln
