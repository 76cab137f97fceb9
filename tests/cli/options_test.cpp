#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.hpp"
#include "cli_test_support.hpp"

namespace qln {
namespace {

using testing_cli::msg3;
using testing_cli::Records;
using testing_cli::TempDir;

class ParseOptions : public ::testing::Test {
 protected:
  Records r;
  TempDir dir;
  int parse(const std::string& text) { return parse_options(r.g, text, r.o); }
  std::string dump(std::string_view name) { return dir.write(name, "x"); }
};

TEST_F(ParseOptions, FileTakesCommaListsAndRepeatsInOrder) {
  const std::string a = dump("a.dmp"), b = dump("b.dmp"), c = dump("c d.dmp");
  ASSERT_EQ(parse("FILE=" + a + "," + b + " FILE='" + c + "' "), 0);
  EXPECT_EQ(r.o.exp_fname, (std::vector<std::string>{a, b, c}));
}

TEST_F(ParseOptions, FileQuotedItemsInAList) {
  const std::string a = dump("x y.dmp"), b = dump("z.dmp");
  ASSERT_EQ(parse("FILE='" + a + "','" + b + "' "), 0);
  EXPECT_EQ(r.o.exp_fname, (std::vector<std::string>{a, b}));
}

TEST_F(ParseOptions, FileThatCannotBeOpenedIsRefused) {
  const std::string missing = dir.file("missing.dmp");
  EXPECT_EQ(parse("FILE=" + missing), -1);
  EXPECT_EQ(r.last_message(), "ZUL-03100: dumpファイルオープンエラー(\"" + missing + "\")。処理を中断します。");
  Records r2;
  EXPECT_EQ(parse_options(r2.g, "FILE=" + dir.path().string(), r2.o), -1) << "a folder is no dump";
  EXPECT_NE(r2.last_message().find("ZUL-03100"), std::string::npos);
}

TEST_F(ParseOptions, FileEmptyOrTooLongIsMessage3) {
  EXPECT_EQ(parse("FILE= "), -1);
  EXPECT_EQ(r.last_message(), msg3("FILE"));
  Records r2;
  EXPECT_EQ(parse_options(r2.g, "FILE=" + std::string(512, 'a'), r2.o), -1);
  EXPECT_EQ(r2.last_message(), msg3("FILE"));
}

TEST_F(ParseOptions, HundredthFileIsRefusedWith1910) {
  // A name short enough for 99 of them in one argument, whatever the
  // temporary folder's path.
  dump("a.dmp");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  struct Back {
    std::filesystem::path to;
    ~Back() { std::filesystem::current_path(to); }
  } back{before};
  const std::string a = "a.dmp";
  std::string list = a;
  for (int i = 1; i < 99; ++i) list += "," + a;
  ASSERT_EQ(parse("FILE=" + list), 0);
  EXPECT_EQ(r.o.exp_fname_count(), 99);
  EXPECT_EQ(parse("FILE=" + a), -1);
  EXPECT_EQ(r.last_message(), "ZUL-01910: 対象ファイル数が制限(\"99\")を超えました。");
  EXPECT_EQ(r.o.exp_fname_count(), 99);
}

TEST_F(ParseOptions, OutFile) {
  ASSERT_EQ(parse("OUT_FILE='out file.csv' "), 0);
  EXPECT_EQ(r.o.out_file, "out file.csv");
  EXPECT_TRUE(r.o.out_fname.empty()) << "recorded only once the run opens it";
  EXPECT_EQ(parse("OUT_FILE=" + std::string(512, 'o')), -1);
  EXPECT_EQ(r.last_message(), msg3("OUT_FILE"));
}

TEST_F(ParseOptions, OutCharsetNames) {
  ASSERT_EQ(parse("OUT_CHARSET=sjis"), 0);
  EXPECT_EQ(r.o.out_charset, kCharsetSjis);
  ASSERT_EQ(parse("OUT_CHARSET=EUC"), 0);
  EXPECT_EQ(r.o.out_charset, kCharsetEucJp);
  ASSERT_EQ(parse("OUT_CHARSET=UTF8"), 0);
  EXPECT_EQ(r.o.out_charset, kCharsetUtf8);
}

// A value that is no value of its keyword is refused with the keyword, and
// leaves the field as it was.
TEST_F(ParseOptions, ValuesOutsideTheirKeywordAreMessage3) {
  const std::pair<const char*, const char*> cases[] = {
      {"OUT_CHARSET=KLINGON", "OUT_CHARSET"}, {"OUT_CHARSET=JIS", "OUT_CHARSET"},
      {"MAX_RECORD=-1", "MAX_RECORD"},        {"MAX_RECORD=99999999999", "MAX_RECORD"},
      {"MAX_RECORD=abc", "MAX_RECORD"},       {"MAX_RECORD=2147483648", "MAX_RECORD"},
      {"RAW_LENGTH=1000", "RAW_LENGTH"},      {"RAW_LENGTH=x", "RAW_LENGTH"},
      {"RAW_LENGTH=-3", "RAW_LENGTH"},        {"PROPERTY=maybe", "PROPERTY"},
      {"BOM=0", "BOM"},                       {"PROGRESS=always", "PROGRESS"},
  };
  for (const auto& [text, keyword] : cases) {
    Records fresh;
    EXPECT_EQ(parse_options(fresh.g, text, fresh.o), -1) << text;
    EXPECT_EQ(fresh.last_message(), msg3(keyword)) << text;
    EXPECT_EQ(fresh.o.out_charset, kCharsetUtf8) << text;
    EXPECT_EQ(fresh.o.max_record, -1) << text;
    EXPECT_EQ(fresh.o.raw_length, 20) << text;
  }
}

TEST_F(ParseOptions, TableNamesAreUpperCasedUnlessQuoted) {
  ASSERT_EQ(parse("TABLE=emp"), 0);
  EXPECT_EQ(r.o.table_id, "EMP");
  ASSERT_EQ(parse("TABLE=\"MixedCase\""), 0);
  EXPECT_EQ(r.o.table_id, "MixedCase");
  ASSERT_EQ(parse("TABLE=" + std::string(128, 't')), 0) << "128-byte names are valid";
  EXPECT_EQ(parse("TABLE=" + std::string(129, 't')), -1);
  EXPECT_EQ(r.last_message(), msg3("TABLE"));
}

TEST_F(ParseOptions, YesOnlySwitches) {
  ASSERT_EQ(parse("LIST=Y header=y DEBUG=Y"), 0);
  EXPECT_TRUE(is_on(r.o.is_tbl_list));
  EXPECT_TRUE(is_on(r.o.is_header));
  EXPECT_TRUE(is_on(r.g.debug_mode));
  for (const char* kw : {"LIST", "HEADER", "DEBUG", "HELP"}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, std::string(kw) + "=N", r2.o), -1) << kw;
    EXPECT_EQ(r2.last_message(), msg3(kw));
  }
}

TEST_F(ParseOptions, YesNoSwitches) {
  ASSERT_EQ(parse("TRIM=Y QUOTE=Y"), 0);
  EXPECT_TRUE(is_on(r.o.is_trim));
  EXPECT_TRUE(is_on(r.o.is_quote));
  ASSERT_EQ(parse("TRIM=N QUOTE=n"), 0);
  EXPECT_FALSE(is_on(r.o.is_trim));
  EXPECT_FALSE(is_on(r.o.is_quote));
  EXPECT_EQ(parse("TRIM=YES"), -1);
  EXPECT_EQ(r.last_message(), msg3("TRIM"));
  EXPECT_EQ(parse("QUOTE=1"), -1);
  EXPECT_EQ(r.last_message(), msg3("QUOTE"));
}

TEST_F(ParseOptions, Delimiter) {
  const std::pair<const char*, char> good[] = {
      {"DELIMITER=COMMA", ','}, {"DELIMITER=space", ' '}, {"DELIMITER=TAB", '\t'},
      {"DELIMITER=|", '|'},     {"DELIMITER=,", ','},     {"DELIMITER=x", 'x'}};
  for (const auto& [text, expected] : good) {
    r.o.delimiter = '?';
    ASSERT_EQ(parse(text), 0) << text;
    EXPECT_EQ(r.o.delimiter, expected) << text;
  }
  EXPECT_EQ(parse("DELIMITER=ab"), -1);
  EXPECT_EQ(r.last_message(), msg3("DELIMITER"));
}

TEST_F(ParseOptions, MaxRecordZeroIsUnlimited) {
  ASSERT_EQ(parse("MAX_RECORD=0"), 0);
  EXPECT_TRUE(is_on(r.o.is_unlimited));
  EXPECT_EQ(r.o.max_record, -1);
  ASSERT_EQ(parse("MAX_RECORD=25"), 0);
  EXPECT_FALSE(is_on(r.o.is_unlimited));
  EXPECT_EQ(r.o.max_record, 25);
  ASSERT_EQ(parse("MAX_RECORD=2147483647"), 0);
  EXPECT_EQ(r.o.max_record, 2147483647);
}

TEST_F(ParseOptions, PreviewDefaultsToFiveRows) {
  ASSERT_EQ(parse("PREVIEW=Y"), 0);
  EXPECT_TRUE(is_on(r.o.is_preview));
  EXPECT_EQ(r.o.max_record, 5);
  EXPECT_FALSE(is_on(r.o.is_unlimited));
  Records r2;
  ASSERT_EQ(parse_options(r2.g, "MAX_RECORD=3 PREVIEW=Y", r2.o), 0);
  EXPECT_EQ(r2.o.max_record, 3);
  EXPECT_EQ(parse("PREVIEW=X"), -1);
  EXPECT_EQ(r.last_message(), msg3("PREVIEW"));
}

TEST_F(ParseOptions, DateFormatIsCheckedThroughToChar) {
  ASSERT_EQ(parse("DATE_FORMAT='DD.MM.YYYY HH24:MI' "), 0);
  EXPECT_EQ(r.o.date_format, "DD.MM.YYYY HH24:MI");
  EXPECT_EQ(r.o.date_format_kind, -1);
  for (const std::string& bad : std::vector<std::string>{"DATE_FORMAT=AM", "DATE_FORMAT=YYYY/QQ", "DATE_FORMAT=''",
                                "DATE_FORMAT=" + std::string(40, 'Y') + std::string(40, 'Y')}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, bad, r2.o), -1) << bad;
    EXPECT_EQ(r2.last_message(), msg3("DATE_FORMAT")) << bad;
    EXPECT_EQ(r2.o.date_format, "YYYY/MM/DD HH24:MI:SS");
  }
}

TEST_F(ParseOptions, ErrlogValueIsLimited) {
  ASSERT_EQ(parse("ERRLOG='my log.txt' "), 0);
  EXPECT_EQ(r.o.err_fname, "my log.txt");
  EXPECT_EQ(parse("ERRLOG=" + std::string(600, 'e')), -1);
  EXPECT_EQ(r.last_message(), msg3("ERRLOG"));
}

TEST_F(ParseOptions, ModeAndDbms) {
  const std::pair<const char*, int> modes[] = {
      {"CSV", kOutCsv}, {"csv_batch", kOutCsvBatch}, {"INSERT", kOutInsert}, {"DDL", kOutDdl}};
  for (const auto& [word, mode] : modes) {
    ASSERT_EQ(parse(std::string("MODE=") + word), 0) << word;
    EXPECT_EQ(r.o.output_mode, mode) << word;
  }
  EXPECT_EQ(parse("MODE=XML"), -1);
  EXPECT_EQ(r.last_message(), msg3("MODE"));

  EXPECT_EQ(r.o.dbms_type, 0) << "ORACLE by default";
  const std::pair<const char*, int> dialects[] = {
      {"DB2", 3}, {"SQLSERVER", 6}, {"PostgreSQL", 4}, {"MYSQL", 5}, {"ORACLE", 0}};
  for (const auto& [word, type] : dialects) {
    ASSERT_EQ(parse(std::string("DBMS=") + word), 0) << word;
    EXPECT_EQ(r.o.dbms_type, type) << word;
  }
  EXPECT_EQ(parse("DBMS=SQLITE"), -1);
  EXPECT_EQ(r.last_message(), msg3("DBMS"));
}

TEST_F(ParseOptions, DdlKinds) {
  ASSERT_EQ(parse("DDL=TABLE|index"), 0);
  EXPECT_EQ(r.o.ddl_kinds, kDdlTable | kDdlIndex);
  ASSERT_EQ(parse("DDL=PACKAGE|FUNCTION|PROCEDURE|VIEW|SEQUENCE|SYNONYM"), 0);
  EXPECT_EQ(r.o.ddl_kinds, kDdlPackage | kDdlFunction | kDdlProcedure | kDdlView | kDdlSequence | kDdlSynonym);
  ASSERT_EQ(parse("DDL=ALL"), 0);
  EXPECT_EQ(r.o.ddl_kinds, kDdlAll);
  for (const char* bad : {"DDL=TABLE|TRIGGER", "DDL=TABLE||INDEX", "DDL="}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, bad, r2.o), -1) << bad;
    EXPECT_EQ(r2.last_message(), msg3("DDL")) << bad;
  }
}

TEST_F(ParseOptions, RawFormatAndLength) {
  ASSERT_EQ(parse("RAW_FORMAT=ASCII"), 0);
  EXPECT_EQ(r.o.raw_format, kRawAscii);
  ASSERT_EQ(parse("RAW_FORMAT=ignore"), 0);
  EXPECT_EQ(r.o.raw_format, kRawIgnore);
  ASSERT_EQ(parse("RAW_FORMAT=HEX"), 0);
  EXPECT_EQ(r.o.raw_format, kRawHex);
  EXPECT_EQ(parse("RAW_FORMAT=BASE64"), -1);
  EXPECT_EQ(r.last_message(), msg3("RAW_FORMAT"));

  ASSERT_EQ(parse("RAW_LENGTH=999"), 0);
  EXPECT_EQ(r.o.raw_length, 999);
  ASSERT_EQ(parse("RAW_LENGTH=0"), 0);
  EXPECT_EQ(r.o.raw_length, 0);
  EXPECT_EQ(r.o.threads, 0);
  ASSERT_EQ(parse("THREADS=1"), 0);
  EXPECT_EQ(r.o.threads, 1);
  EXPECT_EQ(parse("THREADS=-2"), -1);
  EXPECT_EQ(r.last_message(), msg3("THREADS"));
}

TEST_F(ParseOptions, LobFilePattern) {
  ASSERT_EQ(parse("LOB_FILE=img_%ID%.jpg"), 0);
  EXPECT_EQ(r.o.lob_fname, "img_%ID%.jpg");
  EXPECT_EQ(r.o.lob_fname1, "img_");
  EXPECT_EQ(r.o.lob_name_col, "ID");
  EXPECT_EQ(r.o.lob_fname2, ".jpg");
  ASSERT_EQ(parse("LOB_FILE=plain.bin"), 0);
  EXPECT_EQ(r.o.lob_fname1, "");  // files are named by the first column alone
  EXPECT_EQ(r.o.lob_name_col, "");
  EXPECT_EQ(r.o.lob_fname2, "");
  EXPECT_EQ(parse("LOB_FILE=a%" + std::string(129, 'C') + "%b"), -1);
  EXPECT_EQ(r.last_message(), msg3("LOB_FILE"));
}

TEST_F(ParseOptions, LobFilePercentInsideMultibyteDoesNotCount) {
  r.g.os_charset = kCharsetSjis;
  // 0x83 0x25 is one Shift_JIS character whose second byte is "%".
  ASSERT_EQ(parse("LOB_FILE=a\x83\x25%COL%b"), 0);
  EXPECT_EQ(r.o.lob_fname1, "a\x83\x25");
  EXPECT_EQ(r.o.lob_name_col, "COL");
  EXPECT_EQ(r.o.lob_fname2, "b");
}

TEST_F(ParseOptions, LobDirGetsOneSeparator) {
#ifdef _WIN32
  ASSERT_EQ(parse("LOB_DIR=C:\\out"), 0);
  EXPECT_EQ(r.o.lob_dir, "C:\\out\\");
  ASSERT_EQ(parse("LOB_DIR=C:\\out\\"), 0);
  EXPECT_EQ(r.o.lob_dir, "C:\\out\\");
  ASSERT_EQ(parse("LOB_DIR=C:/out/"), 0);
  EXPECT_EQ(r.o.lob_dir, "C:/out/");
  // The second byte of a Shift_JIS character is no separator.
  r.g.os_charset = kCharsetSjis;
  ASSERT_EQ(parse("LOB_DIR=C:\\\x95\x5C"), 0);
  EXPECT_EQ(r.o.lob_dir, "C:\\\x95\x5C\\");
  r.g.os_charset = kCharsetUtf8;
#else
  ASSERT_EQ(parse("LOB_DIR=/tmp/out"), 0);
  EXPECT_EQ(r.o.lob_dir, "/tmp/out/");
  ASSERT_EQ(parse("LOB_DIR=/tmp/out/"), 0);
  EXPECT_EQ(r.o.lob_dir, "/tmp/out/");
#endif
  ASSERT_EQ(parse("LOB_DIR=" + std::string(510, 'd')), 0);
  EXPECT_EQ(r.o.lob_dir.size(), 511u);
  EXPECT_EQ(parse("LOB_DIR=" + std::string(511, 'd')), -1);
  EXPECT_EQ(r.last_message(), msg3("LOB_DIR"));
}

TEST_F(ParseOptions, LobTarget) {
  ASSERT_EQ(parse("LOB_TARGET=emp.photo"), 0);
  EXPECT_EQ(r.o.lob_table_name, "EMP");
  EXPECT_EQ(r.o.lob_target_col_name, "PHOTO");
  EXPECT_EQ(r.o.output_mode, kOutLobFiles);
  ASSERT_EQ(parse("LOB_TARGET=DOC"), 0);
  EXPECT_EQ(r.o.lob_table_name, "");
  EXPECT_EQ(r.o.lob_target_col_name, "DOC");
  EXPECT_EQ(parse("LOB_TARGET=T." + std::string(129, 'c')), -1);
  EXPECT_EQ(r.last_message(), msg3("LOB_TARGET"));
  EXPECT_EQ(parse("LOB_TARGET=T."), -1);
}

TEST_F(ParseOptions, WhereAddsASelectedTableCondition) {
  ASSERT_EQ(parse("WHERE=\"[emp]SAL > 1000 AND NAME = 'A B'\" HEADER=Y"), 0);
  ASSERT_EQ(r.o.where_count(), 1);
  EXPECT_EQ(r.o.where_statement[0].table_name, "EMP");
  EXPECT_EQ(r.o.where_statement[0].where_text, "SAL > 1000 AND NAME = 'A B'");
  EXPECT_NE(r.o.where_statement[0].is_selected, 0);
  EXPECT_TRUE(is_on(r.o.is_condition));
  EXPECT_TRUE(is_on(r.o.is_header));
  ASSERT_EQ(parse("WHERE=[\"Dept\"]DEPTNO=10"), 0) << "unquoted value without blanks";
  EXPECT_EQ(r.o.where_statement[1].table_name, "Dept");
  EXPECT_EQ(r.o.where_statement[1].where_text, "DEPTNO=10");
}

TEST_F(ParseOptions, WhereWithoutTablePrefixOrTooManyIsRefused) {
  for (const char* bad : {"WHERE='SAL > 1000'", "WHERE=[EMP SAL", "WHERE='[]X=1'", "WHERE='[EMP]X = 1"}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, bad, r2.o), -1) << bad;
    EXPECT_EQ(r2.last_message(), msg3("WHERE")) << bad;
  }
  for (int i = 0; i < 100; ++i) ASSERT_EQ(parse("WHERE=[T" + std::to_string(i) + "]X=1"), 0);
  EXPECT_EQ(parse("WHERE=[LAST]X=1"), -1);
  EXPECT_EQ(r.last_message(), msg3("WHERE"));
  EXPECT_EQ(parse("WHERE='[T]" + std::string(4097, 'x') + "'"), -1);
}

TEST_F(ParseOptions, ColumnAndGrep) {
  ASSERT_EQ(parse("COLUMN=EMPNO,ENAME,-SAL GREP='New York' "), 0);
  EXPECT_EQ(r.o.select_list, "EMPNO,ENAME,-SAL");
  EXPECT_TRUE(is_on(r.o.is_select_list));
  EXPECT_EQ(r.o.grep_text, "New York");
  EXPECT_TRUE(is_on(r.o.is_grep));
  EXPECT_EQ(parse("COLUMN="), -1);
  EXPECT_EQ(r.last_message(), msg3("COLUMN"));
  EXPECT_EQ(parse("GREP=''"), -1);
  EXPECT_EQ(r.last_message(), msg3("GREP"));
  EXPECT_EQ(parse("GREP='" + std::string(4097, 'g') + "'"), -1);
}

TEST_F(ParseOptions, QueryRunsToItsClosingParenthesis) {
  ASSERT_EQ(parse("QUERY=(SELECT * FROM EMP WHERE (SAL > 1000) AND NAME = ')') HEADER=Y"), 0);
  EXPECT_EQ(r.o.query, "SELECT * FROM EMP WHERE (SAL > 1000) AND NAME = ')'");
  EXPECT_TRUE(is_on(r.o.is_header));
  ASSERT_EQ(parse("QUERY=( (SELECT 1 FROM DUAL) )"), 0);
  EXPECT_EQ(r.o.query, "SELECT 1 FROM DUAL");
  for (const char* bad : {"QUERY=(SELECT * FROM EMP", "QUERY=SELECT", "QUERY=()", "QUERY="}) {
    Records r2;
    EXPECT_EQ(parse_options(r2.g, bad, r2.o), -1) << bad;
    EXPECT_EQ(r2.last_message(), msg3("QUERY")) << bad;
  }
}

TEST_F(ParseOptions, PropertyBomAndProgressTakeYesOrNo) {
  EXPECT_EQ(r.o.progress, kProgressOnTerminal);
  ASSERT_EQ(parse("PROPERTY=N BOM=Y PROGRESS=N"), 0);
  EXPECT_FALSE(is_on(r.o.is_property));
  EXPECT_TRUE(is_on(r.o.is_output_bom));
  EXPECT_EQ(r.o.progress, kNo);
  ASSERT_EQ(parse("PROPERTY=Y BOM=N PROGRESS=y"), 0);
  EXPECT_TRUE(is_on(r.o.is_property));
  EXPECT_FALSE(is_on(r.o.is_output_bom));
  EXPECT_EQ(r.o.progress, kYes);
}

TEST_F(ParseOptions, KeywordRules) {
  EXPECT_EQ(parse("SHOW_VERSION"), 0);
  EXPECT_EQ(parse("COLOR=RED"), -1);
  EXPECT_EQ(r.last_message(), "ZUL-00006: 不明なパラメータ名です(\"COLOR\")。処理を中断します。");
  EXPECT_EQ(parse("HEADER Y"), -1) << "every option but SHOW_VERSION needs =";
  EXPECT_EQ(r.last_message(), msg3("HEADER"));
  EXPECT_EQ(parse("HEADER"), -1);
  EXPECT_EQ(r.last_message(), msg3("HEADER"));
}

TEST_F(ParseOptions, OptionsBeforeAFailureHaveTakenEffect) {
  EXPECT_EQ(parse("HEADER=Y MODE=BAD TRIM=Y"), -1);
  EXPECT_TRUE(is_on(r.o.is_header));
  EXPECT_FALSE(is_on(r.o.is_trim));
}

TEST_F(ParseOptions, LastValueWins) {
  ASSERT_EQ(parse("MODE=DDL MODE=CSV TABLE=A TABLE=B"), 0);
  EXPECT_EQ(r.o.output_mode, kOutCsv);
  EXPECT_EQ(r.o.table_id, "B");
}

class HelpOutput : public ::testing::Test {
 protected:
  Records r;
  TempDir dir;
  std::string captured(const std::string& text, int expected_rc) {
    const std::string path = dir.file("out.txt");
    std::FILE* f = std::fopen(path.c_str(), "w");
    r.g.out_stream = f;
    EXPECT_EQ(parse_options(r.g, text, r.o), expected_rc);
    std::fclose(f);
    r.g.out_stream = stdout;
    return testing_cli::read_file(path);
  }
};

TEST_F(HelpOutput, HelpTextLinesAsStored) {
  r.o.start_time = "2026/01/02 03:04:05";
  const std::string out = captured("HELP=Y MODE=BAD", kParseStop);
  const std::string head = "\nQuillon: Release 2.9.8.0 - Production on 2026/01/02 03:04:05\n\n\n\n\n";
  ASSERT_EQ(out.substr(0, head.size()), head);
  const char* lines[] = {
      "キーワード  摘要(デフォルト)         キーワード  摘要(デフォルト)\n",
      "----------------------------------------------------------------------------\n",
      "FILE        入力ファイル             TABLE       テーブル名\n",
      "LIST        テーブル名一覧表示(N)    HEADER      CSVヘッダ出力(N)\n",
      "OUT_FILE    出力ファイル(標準出力)   OUT_CHARSET 出力キャラクタセット(SJIS|EUC|UTF8)\n",
      "TRIM        前後空白削除(N)          DELIMITER   デリミタ(COMMA|TAB|SPACE|x)\n\n",
      "MAX_RECORD  最大出力件数(無制限)     QUOTE       文字列引用符(N)\n",
      "DATE_FORMAT 日付型出力フォーマット   PARFILE     パラメータ・ファイル名\n",
      "PREVIEW     プレビュー表示(N)        PROPERTY    プロパティ表示(N)\n",
      "DB_CHARSET  ダンプのキャラクタセット(ダンプの宣言より優先 例:JA16SJIS)\n",
      "BOM         出力キャラクタセットUTF8時のバイトオーダーマーク出力(Y)\n",
      "MODE        出力モード(CSV|CSV_BATCH|INSERT|DDL)\n",
      "DBMS        INSERT文の対象DBMS(ORACLE|DB2|SQLSERVER|POSTGRESQL|MYSQL)\n",
      "DDL         出力DDL(ALL|TABLE|INDEX|VIEW|SEQUENCE|SYNONYM|PACKAGE|FUNCTION|PROCEDURE)\n",
      "RAW_FORMAT  バイナリカラム出力フォーマット(HEX|ASCII|IGNORE)\n",
      "RAW_LENGTH  バイナリカラム出力最大バイト数\n",
      "LOB_FILE    バイナリカラム出力ファイル名\n",
      "LOB_DIR     バイナリカラム出力フォルダ\n",
      "LOB_TARGET  バイナリカラム出力テーブルカラム\n",
      "ERRLOG      エラーログファイル名\n",
      "WHERE       WHERE条件式              WHERE=\"[TABLE]COLUMN = 'value'\"\n",
      "COLUMN      選択カラム               COLUMN=COL1,COL2,COL3..-COL8,-COL9\n",
      "GREP        検索文字列\n",
      "QUERY       SELECT文                 QUERY=(SELECT COL1,COL2 FROM TABLE WHERE ...)\n",
  };
  std::size_t at = head.size();
  for (const char* line : lines) {
    ASSERT_EQ(out.compare(at, std::string(line).size(), line), 0) << "expected at " << at << ": " << line;
    at += std::string(line).size();
  }
  EXPECT_NE(out.find("終了コード", at), std::string::npos);
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(r.g.message_count, 0) << "options after HELP=Y are not looked at";
}

// Both languages name every keyword the parser takes, and every exit code.
TEST_F(HelpOutput, EveryKeywordAndExitCodeInBothLanguages) {
  for (const Language lang : {Language::kJapanese, Language::kEnglish}) {
    r.g.language = lang;
    const std::string help = captured("--help", kParseStop);
    for (const std::string_view keyword : option_keywords()) {
      if (keyword == "SHOW_VERSION") continue;  // accepted and ignored
      const std::regex word("(^|[\n ])" + std::string(keyword) + "[ =]");
      EXPECT_TRUE(std::regex_search(help, word)) << keyword;
    }
    for (const char* code : {" 0:", " 1:", " 255"}) EXPECT_NE(help.find(code), std::string::npos) << code;
    if (lang == Language::kEnglish) {
      EXPECT_TRUE(std::all_of(help.begin(), help.end(), [](char c) { return (c & 0x80) == 0; }));
      EXPECT_NE(help.find("GREP        rows that hold this text\n"), std::string::npos);
    }
  }
}

// The manual page describes every keyword, exit code and environment variable.
TEST(ManualPage, NamesEveryKeywordExitCodeAndVariable) {
  const std::string page = testing_cli::read_file(std::string(QLN_SOURCE_DIR) + "/docs/quillon-cli.1");
  ASSERT_FALSE(page.empty());
  for (const std::string_view keyword : option_keywords()) {
    EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.B[IR]? " + std::string(keyword) + "[= \n]"))) << keyword;
  }
  for (const char* code : {"0", "1", "255"}) EXPECT_NE(page.find("\n.B " + std::string(code) + "\n"), std::string::npos);
  for (const char* var : {"QLN_LANG", "LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LANG", "NLS_DATE_FORMAT", "QLN_DEBUG_MODE",
                          "TMPDIR"}) {
    EXPECT_NE(page.find(var), std::string::npos) << var;
  }
}

TEST_F(HelpOutput, DashHelpAndVersion) {
  const std::string help = captured("--help", kParseStop);
  EXPECT_NE(help.find("GREP        検索文字列\n"), std::string::npos);
  EXPECT_EQ(captured("-h", kParseStop), help);
  r.o.start_time = "2026/01/02 03:04:05";
  EXPECT_EQ(captured("--version", kParseStop),
            "\nQuillon: Release 2.9.8.0 - Production on 2026/01/02 03:04:05\n\n\n");
  captured("HELP=N", -1);
  EXPECT_EQ(r.last_message(), msg3("HELP"));
}

TEST(JoinArguments, OneBlankAfterEachAndQuotesPutBack) {
  Records r;
  std::string text;
  const std::vector<std::string> args = {"FILE=a.dmp", "WHERE=[EMP]SAL > 1", "GREP=it's here",
                                         "QUERY=(SELECT * FROM T)", "OUT_FILE='x y'", "plain word"};
  ASSERT_EQ(join_arguments(r.g, args, text), 0);
  EXPECT_EQ(text,
            "FILE=a.dmp WHERE='[EMP]SAL > 1' GREP=\"it's here\" QUERY=(SELECT * FROM T) "
            "OUT_FILE='x y' plain word ");
}

TEST(JoinArguments, FileListsAreQuotedPathByPath) {
  Records r;
  TempDir dir;
  const std::string a = dir.write("first dump.dmp", "x"), b = dir.write("second.dmp", "x");
  std::string text;
  ASSERT_EQ(join_arguments(r.g, std::vector<std::string>{"FILE=" + a + "," + b}, text), 0);
  EXPECT_EQ(text, "FILE='" + a + "'," + b + " ");
  ASSERT_EQ(parse_options(r.g, text, r.o), 0);
  EXPECT_EQ(r.o.exp_fname, (std::vector<std::string>{a, b}));
}

TEST(JoinArguments, LongerThan4096BytesIsMessage5) {
  Records r;
  std::string text;
  ASSERT_EQ(join_arguments(r.g, std::vector<std::string>{std::string(4095, 'a')}, text), 0);
  EXPECT_EQ(text.size(), 4096u);
  EXPECT_EQ(join_arguments(r.g, std::vector<std::string>{std::string(4096, 'a')}, text), -1);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(r.last_message(), "ZUL-00005: 引数が長すぎます。処理を中断します。");
}

TEST(ErrlogPrescan, LaterErrlogWinsAndValuesAreNotKeywords) {
  Records r;
  TempDir dir;
  const std::string first = dir.file("first.log"), second = dir.file("second.log");
  OwnedFile log;
  const std::string text = "GREP=ERRLOG ERRLOG=" + first + " HEADER=Y ERRLOG='" + second + "' ";
  ASSERT_EQ(parse_errlog_option(r.g, text, r.o, log), 0);
  EXPECT_EQ(r.o.err_fname, second);
  ASSERT_TRUE(log);
  EXPECT_EQ(r.g.err_stream, log.get());
  EXPECT_FALSE(std::filesystem::exists(first)) << "the earlier log stays empty and goes";
  r.g.err_stream = stderr;
}

TEST(ErrlogPrescan, UnopenableFileKeepsStandardErrorAndMissingValueFails) {
  Records r;
  OwnedFile log;
  ASSERT_EQ(parse_errlog_option(r.g, "ERRLOG=/nonexistent-dir/x.log ", r.o, log), 0);
  EXPECT_FALSE(log);
  EXPECT_EQ(r.g.err_stream, stderr);
  EXPECT_EQ(r.g.message_count, 0);
  EXPECT_EQ(parse_errlog_option(r.g, "ERRLOG x.log", r.o, log), -1);
  EXPECT_EQ(r.last_message(), msg3("ERRLOG"));
}

}  // namespace
}  // namespace qln
