#include "core/messages.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/core_test_support.hpp"

namespace qln {
namespace {

using testing_core::MemoryStream;
using testing_core::read_lines;
using testing_core::ScopedTempDir;

GlobalParams utf8_globals() {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  return g;
}

std::string report(GlobalParams& g, int code, std::string_view text) {
  g.zulcode = code;
  report_error(g, text);
  return g.messages[static_cast<std::size_t>(g.message_count - 1)];
}

TEST(MessageTable, LooksUpTextsByCode) {
  std::string text;
  ASSERT_EQ(lookup_message(3100, text), 0);
  EXPECT_EQ(text, "dumpファイルオープンエラー(\"%s\")。処理を中断します。");
  ASSERT_EQ(lookup_message(2113, text), 0);
  EXPECT_EQ(text, "日付書式が不正です。デフォルト値(\"YYYY/MM/DD HH24:MI:SS\")を設定します。");
  ASSERT_EQ(lookup_message(1, text), 0);
  EXPECT_EQ(text, "%s初期化エラー。処理を中断します。");
  ASSERT_EQ(lookup_message(4000, text), 0);
  EXPECT_EQ(text, "内部処理エラー(\"%s\")。");

  text = "unchanged";
  EXPECT_EQ(lookup_message(13, text), -1);
  EXPECT_EQ(lookup_message(0, text), -1);
  EXPECT_EQ(lookup_message(4001, text), -1);
  EXPECT_EQ(lookup_message(-1, text), -1);
  EXPECT_EQ(text, "unchanged");
}

// Every message has a Japanese and an English text, each with at most one
// place for the caller's text, and both with the same number of places.
TEST(MessageTable, EveryCodeHasBothTexts) {
  const std::vector<int> codes = message_codes();
  EXPECT_EQ(codes.size(), 183u);
  for (const int code : codes) {
    std::string ja, en;
    ASSERT_EQ(lookup_message(code, ja, Language::kJapanese), 0) << code;
    ASSERT_EQ(lookup_message(code, en, Language::kEnglish), 0) << code;
    EXPECT_FALSE(ja.empty()) << code;
    EXPECT_FALSE(en.empty()) << code << " has no English text";
    EXPECT_NE(ja, en) << code;
    EXPECT_TRUE(std::all_of(en.begin(), en.end(), [](char c) { return (c & 0x80) == 0; })) << code << ": " << en;
    const auto places = [](const std::string& t) {
      const auto first = t.find("%s");
      if (first == std::string::npos) return 0;
      return t.find("%s", first + 2) == std::string::npos ? 1 : 2;
    };
    EXPECT_LE(places(ja), 1) << code;
    EXPECT_EQ(places(en), places(ja)) << code << ": " << en;
  }
}

TEST(ReportError, EnglishTextsAroundTheCallersText) {
  GlobalParams g = utf8_globals();
  g.language = Language::kEnglish;
  EXPECT_EQ(report(g, 3100, "a.dmp"), "ZUL-03100: Dump file open error (\"a.dmp\"). Processing is aborted.");
  EXPECT_EQ(report(g, 3, "MAX_RECORD"), "ZUL-00003: Invalid argument (\"MAX_RECORD\"). Processing is aborted.");
  EXPECT_EQ(report(g, 2, ""), "ZUL-00002: Out of memory. Processing is aborted.");
  EXPECT_EQ(user_text(g, {"テーブル", "Table"}), "Table");
  g.language = Language::kJapanese;
  EXPECT_EQ(user_text(g, {"テーブル", "Table"}), "テーブル");
}

TEST(ReportError, FillsTheCallersTextBetweenPrefixAndSuffix) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(report(g, 3100, "a.dmp"),
            "ZUL-03100: dumpファイルオープンエラー(\"a.dmp\")。処理を中断します。");
  EXPECT_EQ(report(g, 1, "InitInstance() "),
            "ZUL-00001: InitInstance() 初期化エラー。処理を中断します。");
  EXPECT_EQ(report(g, 2132, "512"), "ZUL-02132: 必要なビットマップレコード長は(512byte)以上です。");
  EXPECT_EQ(g.zulcode, 0);
  EXPECT_EQ(g.message_count, 3);
}

TEST(ReportError, TextWithoutPlaceholderGetsTheCallersTextAppended) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(report(g, 2, ""), "ZUL-00002: メモリ不足です。処理を中断します。");
  EXPECT_EQ(report(g, 2, "x"), "ZUL-00002: メモリ不足です。処理を中断します。x");
}

TEST(ReportError, UnknownCodeStillGivesALine) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(report(g, 13, "what"), "ZUL-00013: what");
  EXPECT_EQ(report(g, 99999, ""), "ZUL-99999: ");
  EXPECT_EQ(g.zulcode, 0);
}

TEST(ReportError, ZeroCodeQueuesTheTextAlone) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(report(g, 0, "plain notice"), "plain notice");
}

TEST(ReportError, FailSetsTheCodeAndReturnsFailure) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(fail(g, 3, "TABLE"), -1);
  ASSERT_EQ(g.message_count, 1);
  EXPECT_EQ(g.messages[0], "ZUL-00003: 引数が不正です(\"TABLE\")。処理を中断します。");
  EXPECT_EQ(g.zulcode, 0);
}

TEST(ReportError, CallersTextStopsAtFirstLineFeed) {
  GlobalParams g = utf8_globals();
  EXPECT_EQ(report(g, 0, "first\nsecond"), "first");
  EXPECT_EQ(report(g, 4000, "f() step\nmore"), "ZUL-04000: 内部処理エラー(\"f() step\")。");
}

TEST(ReportError, CallersTextIsCutAtEightyBytesOfWholeCharacters) {
  GlobalParams g = utf8_globals();
  const std::string eighty(80, 'a');
  EXPECT_EQ(report(g, 0, eighty + "bcd"), eighty);
  EXPECT_EQ(report(g, 0, eighty), eighty);

  // A three-byte character over bytes 79-81 is left out whole.
  const std::string seventy_eight(78, 'a');
  EXPECT_EQ(report(g, 0, seventy_eight + "あい"), seventy_eight);
  EXPECT_EQ(report(g, 0, std::string(77, 'a') + "あい"), std::string(77, 'a') + "あ");

  // Shift_JIS: a two-byte character over bytes 80-81.
  g.os_charset = kCharsetSjis;
  const std::string sjis_a = "\x82\xA0";
  EXPECT_EQ(report(g, 0, std::string(79, 'a') + sjis_a + sjis_a), std::string(79, 'a'));
  EXPECT_EQ(report(g, 0, std::string(78, 'a') + sjis_a + sjis_a), std::string(78, 'a') + sjis_a);
  // 0x5C trails a lead byte in Shift_JIS; it is not a separate character.
  const std::string so = "\x83\x5C";
  EXPECT_EQ(report(g, 0, std::string(79, 'a') + so), std::string(79, 'a'));
}

TEST(ReportError, KeepsTheThirtyTwoNewestMessages) {
  GlobalParams g = utf8_globals();
  for (int i = 1; i <= 33; ++i) {
    g.zulcode = 0;
    report_error(g, "m" + std::to_string(i));
  }
  ASSERT_EQ(g.message_count, kMaxMessages);
  EXPECT_EQ(g.messages.front(), "m2");
  EXPECT_EQ(g.messages.back(), "m33");
  for (int i = 0; i < kMaxMessages; ++i) EXPECT_EQ(g.messages[i], "m" + std::to_string(i + 2));
}

std::string shout(int charset, std::string_view text) {
  return "<" + std::to_string(charset) + ":" + std::string(text) + ">";
}

TEST(ReportError, TableTextGoesThroughTheConverterWhenUserTextIsNotUtf8) {
  GlobalParams g;
  g.os_charset = kCharsetSjis;
  g.message_converter = &shout;
  EXPECT_EQ(report(g, 3100, "a.dmp"),
            "ZUL-03100: <1:dumpファイルオープンエラー(\">a.dmp<1:\")。処理を中断します。>");

  g.os_charset = kCharsetUtf8;
  EXPECT_EQ(report(g, 2, ""), "ZUL-00002: メモリ不足です。処理を中断します。");
}

TEST(FlushMessages, ConsoleWritesEachMessageThenOneEmptyLine) {
  GlobalParams g = utf8_globals();
  fail(g, 8);
  fail(g, 13, "x");
  g.sqlcode = 5;
  g.rtncode = -1;
  g.zulcode = 7;
  MemoryStream out;
  EXPECT_EQ(flush_messages(g, out.get()), 0);
  EXPECT_EQ(out.text(),
            "ZUL-00008: FILEとOUT_FILEで指定されたファイル数が一致しません。 \n"
            "ZUL-00013: x\n"
            "\n");
  EXPECT_EQ(g.message_count, 0);
  EXPECT_EQ(g.sqlcode, 0);
  EXPECT_EQ(g.rtncode, 0);
  EXPECT_EQ(g.zulcode, 0);
}

TEST(FlushMessages, ConsoleWithNothingPendingWritesOneEmptyLine) {
  GlobalParams g = utf8_globals();
  MemoryStream out;
  flush_messages(g, out.get());
  EXPECT_EQ(out.text(), "\n");
}

std::string last_box_text;
int box_calls = 0;
void record_box(const GlobalParams&, std::string_view text) {
  last_box_text = text;
  ++box_calls;
}

TEST(FlushMessages, WindowedShowsOnlyTheLastMessage) {
  GlobalParams g = utf8_globals();
  g.is_windowed = kYes;
  fail(g, 0 + 13, "first");
  fail(g, 13, "last");
  MemoryStream out;
  flush_messages(g, out.get());
  EXPECT_EQ(out.text(), "ZUL-00013: last\n");
  EXPECT_EQ(g.message_count, 0);

  g.message_box = &record_box;
  box_calls = 0;
  fail(g, 13, "one");
  fail(g, 13, "two");
  MemoryStream unused;
  flush_messages(g, unused.get());
  EXPECT_EQ(box_calls, 1);
  EXPECT_EQ(last_box_text, "ZUL-00013: two");
  EXPECT_EQ(unused.text(), "");

  flush_messages(g, unused.get());
  EXPECT_EQ(box_calls, 1);
}

TEST(DebugLog, PathFollowsTheRunMode) {
  ScopedTempDir tmp;
  GlobalParams g;
  g.run_mode = 41;
  EXPECT_EQ(debug_log_path(g), tmp.file("QLNdebug.log"));
  g.run_mode = 42;
  EXPECT_EQ(debug_log_path(g), tmp.file("QLNdebug.log"));
  g.run_mode = 0;
  EXPECT_EQ(debug_log_path(g), tmp.file("TEFdebug.log"));
  g.run_mode = 43;
  EXPECT_EQ(debug_log_path(g), "");
  EXPECT_EQ(debug_log(g, "dropped"), -1);
}

TEST(DebugLog, AppendsOneLinePerCall) {
  ScopedTempDir tmp;
  GlobalParams g;
  EXPECT_EQ(debug_log(g, "one"), 0);
  EXPECT_EQ(debug_log(g, "two"), 0);
  EXPECT_EQ(read_lines(tmp.file("QLNdebug.log")), (std::vector<std::string>{"one", "two"}));
}

TEST(DebugLog, MissingFolderDropsTheLine) {
  testing_core::ScopedEnv env(testing_core::kTempDirVariable, "/nonexistent-qln-folder/sub");
  GlobalParams g;
  EXPECT_EQ(debug_log(g, "lost"), -1);
}

TEST(DebugLog, PendingMessagesAreWrittenBetweenMarkers) {
  ScopedTempDir tmp;
  GlobalParams g = utf8_globals();
  debug_log_messages(g);
  EXPECT_TRUE(read_lines(tmp.file("QLNdebug.log")).empty());

  fail(g, 2);
  fail(g, 0, "note");
  EXPECT_EQ(debug_log_messages(g), 0);
  EXPECT_EQ(read_lines(tmp.file("QLNdebug.log")),
            (std::vector<std::string>{
                "error message >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
                "ZUL-00002: メモリ不足です。処理を中断します。",
                "note",
                "error message <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<",
            }));
  EXPECT_EQ(g.message_count, 2);
}

TEST(DebugLog, HexLineLayout) {
  ScopedTempDir tmp;
  GlobalParams g;
  g.db_charset = kCharsetSjis;
  const unsigned char block[] = {
      0xFF, 0xFF,                                      // before pos
      'A',  'b',  0x00, 0x0A, 0x82, 0xA0, 0x7F, ' ',  // NUL, LF, Shift_JIS "あ", DEL
      0x82, 0x20, 0x9F, 0x40, 'z',  0x01, '~',  0x82,  // lead without follower; lead as last byte
  };
  EXPECT_EQ(debug_hex_line(g, block, 2, 0x1'0000'ABCDLL), 0);
  const std::string expected =
      "0000ABCD  41 62 00 0A 82 A0 7F 20 82 20 9F 40 7A 01 7E 82   "
      "Ab..\x82\xA0. . \x9F\x40z.~.";
  EXPECT_EQ(read_lines(tmp.file("QLNdebug.log")), std::vector<std::string>{expected});
}

TEST(DebugLog, HexLineTreatsHighBytesAsSingleForSingleByteSets) {
  ScopedTempDir tmp;
  GlobalParams g;
  g.db_charset = kCharsetUsAscii;
  unsigned char block[16];
  for (int i = 0; i < 16; ++i) block[i] = static_cast<unsigned char>(0x80 + i);
  debug_hex_line(g, block, 0, 16);
  EXPECT_EQ(read_lines(tmp.file("QLNdebug.log")),
            std::vector<std::string>{
                "00000010  80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F   ................"});
}

}  // namespace
}  // namespace qln
