#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/core_test_support.hpp"
#include "core/global_params.hpp"
#include "core/multibyte.hpp"
#include "core/language.hpp"
#include "core/platform.hpp"

namespace qln {
namespace {

TEST(MbCharLength, LeadBytesOfEachSet) {
  const struct {
    int charset;
    unsigned char byte;
    int expected;
  } cases[] = {
      {kCharsetSjis, 0x41, 0},  {kCharsetSjis, 0x80, 0},  {kCharsetSjis, 0x81, 1},
      {kCharsetSjis, 0x9F, 1},  {kCharsetSjis, 0xA0, 0},  {kCharsetSjis, 0xDF, 0},
      {kCharsetSjis, 0xE0, 1},  {kCharsetSjis, 0xFC, 1},  {kCharsetSjis, 0xFD, 0},
      {kCharsetEucJp, 0x8E, 1}, {kCharsetEucJp, 0x8F, 0}, {kCharsetEucJp, 0xA0, 0},
      {kCharsetEucJp, 0xA1, 1}, {kCharsetEucJp, 0xFE, 1}, {kCharsetEucJp, 0xFF, 0},
      {kCharsetUtf8, 0x7F, 0},  {kCharsetUtf8, 0x80, 0},  {kCharsetUtf8, 0xBF, 0},
      {kCharsetUtf8, 0xC0, 1},  {kCharsetUtf8, 0xDF, 1},  {kCharsetUtf8, 0xE0, 2},
      {kCharsetUtf8, 0xEF, 2},  {kCharsetUtf8, 0xF0, 3},  {kCharsetUtf8, 0xF7, 3},
      {kCharsetUtf8, 0xF8, 0},  {kCharsetUtf16, 0x00, 1}, {kCharsetUtf16, 0xD7, 1},
      {kCharsetUtf16, 0xD8, 3}, {kCharsetUtf16, 0xDB, 3}, {kCharsetUtf16, 0xDC, 1},
      {kCharsetUsAscii, 0x82, 0}, {kCharsetUnknown, 0xE3, 0}, {200, 0x82, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mb_char_length(c.charset, c.byte), c.expected)
        << "charset " << c.charset << " byte " << int(c.byte);
  }
}

TEST(CutAtCharBoundary, NeverSplitsACharacter) {
  const std::string utf8 = "abあい";  // 2 + 3 + 3 bytes
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 100), utf8.size());
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 8), 8u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 7), 5u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 5), 5u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 4), 2u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, utf8, 0), 0u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetUtf8, "\xF0\x9F\x98\x80z", 3), 0u);

  const std::string sjis = "a\x82\xA0\x83\x5C";  // a, "あ", "ソ"
  EXPECT_EQ(cut_at_char_boundary(kCharsetSjis, sjis, 4), 3u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetSjis, sjis, 2), 1u);
  EXPECT_EQ(cut_at_char_boundary(kCharsetEucJp, "\xA4\xA2\xA4\xA4", 3), 2u);
  // Single-byte sets cut anywhere.
  EXPECT_EQ(cut_at_char_boundary(kCharsetUsAscii, sjis, 2), 2u);
}

TEST(Platform, CodesetNamesMapToCharsetIds) {
  EXPECT_EQ(charset_from_codeset("UTF-8"), kCharsetUtf8);
  EXPECT_EQ(charset_from_codeset("utf8"), kCharsetUtf8);
  EXPECT_EQ(charset_from_codeset("SHIFT_JIS"), kCharsetSjis);
  EXPECT_EQ(charset_from_codeset("Shift_JIS"), kCharsetSjis);
  EXPECT_EQ(charset_from_codeset("SJIS"), kCharsetSjis);
  EXPECT_EQ(charset_from_codeset("CP932"), kCharsetSjis);
  EXPECT_EQ(charset_from_codeset("WINDOWS-31J"), kCharsetSjis);
  EXPECT_EQ(charset_from_codeset("EUC-JP"), kCharsetEucJp);
  EXPECT_EQ(charset_from_codeset("eucJP"), kCharsetEucJp);
  EXPECT_EQ(charset_from_codeset("ANSI_X3.4-1968"), kCharsetUtf8);
  EXPECT_EQ(charset_from_codeset("ISO-8859-1"), kCharsetUtf8);
  EXPECT_EQ(charset_from_codeset(""), kCharsetUtf8);
}

TEST(Platform, DetectingTheCharsetLeavesTheProcessLocaleAlone) {
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  testing_core::ScopedEnv all("LC_ALL", "C.UTF-8");
  EXPECT_EQ(detect_os_charset(), kCharsetUtf8);
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);
}

#ifndef _WIN32
// Language and code set come from the locale's name, so a Japanese locale
// the system has not installed still works.
TEST(Platform, LanguageAndCharsetFromTheLocaleVariables) {
  struct Case {
    const char* lang;
    Language language;
    int charset;
  };
  const Case cases[] = {
      {"ja_JP.UTF-8", Language::kJapanese, kCharsetUtf8}, {"ja_JP.SJIS", Language::kJapanese, kCharsetSjis},
      {"ja_JP.eucJP", Language::kJapanese, kCharsetEucJp}, {"ja.SJIS@x", Language::kJapanese, kCharsetSjis},
      {"en_US.UTF-8", Language::kEnglish, kCharsetUtf8},  {"C.UTF-8", Language::kEnglish, kCharsetUtf8},
      {"C", Language::kEnglish, kCharsetUtf8},            {"POSIX", Language::kEnglish, kCharsetUtf8},
      {"jam_JM.UTF-8", Language::kEnglish, kCharsetUtf8},
  };
  for (const Case& c : cases) {
    test_support::ScopedLocale locale(c.lang);
    EXPECT_EQ(detect_language(), c.language) << c.lang;
    EXPECT_EQ(detect_os_charset(), c.charset) << c.lang;
  }
  test_support::ScopedLocale locale("en_US.UTF-8");
  {
    testing_core::ScopedEnv messages("LC_MESSAGES", "ja_JP.eucJP");
    EXPECT_EQ(detect_language(), Language::kJapanese);
    EXPECT_EQ(detect_os_charset(), kCharsetUtf8);  // LC_CTYPE is LANG's
    testing_core::ScopedEnv all("LC_ALL", "C");  // LC_ALL rules both
    EXPECT_EQ(detect_language(), Language::kEnglish);
  }
  {
    testing_core::ScopedEnv forced("QLN_LANG", "ja");
    EXPECT_EQ(detect_language(), Language::kJapanese);
    testing_core::ScopedEnv messages("LC_ALL", "ja_JP.UTF-8");
    testing_core::ScopedEnv english("QLN_LANG", "en");
    EXPECT_EQ(detect_language(), Language::kEnglish);
  }
}

#endif

#ifdef _WIN32
TEST(Platform, TempDirFromTheEnvironment) {
  {
    testing_core::ScopedEnv env("TEMP", "D:\\work\\tmp\\");
    EXPECT_EQ(temp_dir(), "D:\\work\\tmp");
  }
  {
    testing_core::ScopedEnv env("TEMP", "D:/tmp/");
    EXPECT_EQ(temp_dir(), "D:/tmp");
  }
  {
    testing_core::ScopedEnv env("TEMP", nullptr);
    const std::string fallback = temp_dir();
    EXPECT_FALSE(fallback.empty());
    EXPECT_FALSE(is_path_separator(fallback.back())) << fallback;
  }
  EXPECT_EQ(path_separator(), '\\');
  EXPECT_TRUE(is_path_separator('/'));
}
#else
TEST(Platform, TempDirFromTheEnvironment) {
  {
    testing_core::ScopedEnv env("TMPDIR", "/var/tmp/q/");
    EXPECT_EQ(temp_dir(), "/var/tmp/q");
  }
  {
    testing_core::ScopedEnv env("TMPDIR", nullptr);
    EXPECT_EQ(temp_dir(), "/tmp");
  }
  {
    testing_core::ScopedEnv env("TMPDIR", "");
    EXPECT_EQ(temp_dir(), "/tmp");
  }
  EXPECT_EQ(path_separator(), '/');
  EXPECT_FALSE(is_path_separator('\\'));
}
#endif

TEST(Platform, LocalNowIsAPlausibleDate) {
  const LocalTime t = local_now();
  EXPECT_GE(t.year, 2000);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_LE(t.second, 60);
  EXPECT_GE(t.nanosecond, 0);
  EXPECT_LT(t.nanosecond, 1'000'000'000);
}

}  // namespace
}  // namespace qln
