#include "cli/help.hpp"

#include <array>

#include "core/messages.hpp"
#include "core/platform.hpp"

namespace qln {

namespace {

// Each line as shown, line feeds included.
constexpr std::array<const char*, 27> kHelpLines = {
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
    "LOB_TARGET  バイナリカラム出力テーブルカラム\n",
    "ERRLOG      エラーログファイル名\n",
    "WHERE       WHERE条件式              WHERE=\"[TABLE]COLUMN = 'value'\"\n",
    "COLUMN      選択カラム               COLUMN=COL1,COL2,COL3..-COL8,-COL9\n",
    "GREP        検索文字列\n",
    "QUERY       SELECT文                 QUERY=(SELECT COL1,COL2 FROM TABLE WHERE ...)\n",
    "\n",
    "終了コード  0:正常終了  1:処理失敗  255(-1):引数・ファイルのエラー\n",
    "--help, -h  このヘルプを表示         --version   バージョンを表示\n",
    "\n",
};

}  // namespace

std::string banner_text(const GlobalParams& g, const ConvOptions& o) {
  return g.product_name + ": Release " + kProductVersion + " - Production on " + o.start_time +
         "\n\n";
}

void print_banner(std::FILE* stream, const GlobalParams& g, const ConvOptions& o) {
  std::fputs("\n", stream);
  std::fputs(banner_text(g, o).c_str(), stream);
  std::fputs("\n", stream);
  std::fflush(stream);
}

int print_help(GlobalParams& g, const ConvOptions& o) {
  std::FILE* out = g.out_stream;
  std::fputs("\n", out);
  std::fputs(banner_text(g, o).c_str(), out);
  std::fputs("\n\n\n", out);
  for (const char* line : kHelpLines) write_user_text(out, message_text_in_os_charset(g, line));
  std::fflush(out);
  return 0;
}

}  // namespace qln
