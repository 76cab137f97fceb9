#include "cli/help.hpp"

#include "core/messages.hpp"
#include "core/platform.hpp"

namespace qln {

namespace {

// Each line as shown, line feeds included.
constexpr BilingualText kHelpLines[] = {
    {"キーワード  摘要(デフォルト)         キーワード  摘要(デフォルト)\n",
     "Keyword     Description (default)    Keyword     Description (default)\n"},
    {"----------------------------------------------------------------------------\n",
     "----------------------------------------------------------------------------\n"},
    {"FILE        入力ファイル             TABLE       テーブル名\n",
     "FILE        dump file(s) a,b,...     TABLE       table name\n"},
    {"LIST        テーブル名一覧表示(N)    HEADER      CSVヘッダ出力(N)\n",
     "LIST        list the tables (N)      HEADER      CSV header line (N)\n"},
    {"OUT_FILE    出力ファイル(標準出力)   OUT_CHARSET 出力キャラクタセット(SJIS|EUC|UTF8)\n",
     "OUT_FILE    output file (stdout)     OUT_CHARSET output character set (SJIS|EUC|UTF8)\n"},
    {"TRIM        前後空白削除(N)          DELIMITER   デリミタ(COMMA|TAB|SPACE|x)\n\n",
     "TRIM        trim blanks (N)          DELIMITER   delimiter (COMMA|TAB|SPACE|x)\n\n"},
    {"MAX_RECORD  最大出力件数(無制限)     QUOTE       文字列引用符(N)\n",
     "MAX_RECORD  most rows (unlimited)    QUOTE       quote strings (N)\n"},
    {"DATE_FORMAT 日付型出力フォーマット   PARFILE     パラメータ・ファイル名\n",
     "DATE_FORMAT date output format       PARFILE     parameter file name\n"},
    {"PREVIEW     プレビュー表示(N)        PROPERTY    プロパティ表示(N)\n",
     "PREVIEW     first 5 rows (N)         PROPERTY    show the dump's properties (N)\n"},
    {"DB_CHARSET  ダンプのキャラクタセット(ダンプの宣言より優先 例:JA16SJIS)\n",
     "DB_CHARSET  the dump's character set, over what it declares (e.g. JA16SJIS)\n"},
    {"BOM         出力キャラクタセットUTF8時のバイトオーダーマーク出力(Y)\n",
     "BOM         byte-order mark at the head of UTF8 CSV output (Y)\n"},
    {"MODE        出力モード(CSV|CSV_BATCH|INSERT|DDL)\n",
     "MODE        output mode (CSV|CSV_BATCH|INSERT|DDL)\n"},
    {"DBMS        INSERT文の対象DBMS(ORACLE|DB2|SQLSERVER|POSTGRESQL|MYSQL)\n",
     "DBMS        target DBMS of INSERT (ORACLE|DB2|SQLSERVER|POSTGRESQL|MYSQL)\n"},
    {"DDL         出力DDL(ALL|TABLE|INDEX|VIEW|SEQUENCE|SYNONYM|PACKAGE|FUNCTION|PROCEDURE)\n",
     "DDL         DDL to write (ALL|TABLE|INDEX|VIEW|SEQUENCE|SYNONYM|PACKAGE|FUNCTION|PROCEDURE)\n"},
    {"RAW_FORMAT  バイナリカラム出力フォーマット(HEX|ASCII|IGNORE)\n",
     "RAW_FORMAT  binary column output format (HEX|ASCII|IGNORE)\n"},
    {"RAW_LENGTH  バイナリカラム出力最大バイト数\n",
     "RAW_LENGTH  most bytes written of a binary column (20)\n"},
    {"LOB_FILE    バイナリカラム出力ファイル名\n",
     "LOB_FILE    binary column file name, e.g. IMG_%ID%.jpg\n"},
    {"LOB_DIR     バイナリカラム出力フォルダ\n",
     "LOB_DIR     folder of the binary column files (it must exist)\n"},
    {"LOB_TARGET  バイナリカラム出力テーブルカラム\n",
     "LOB_TARGET  binary column written to files: TABLE.COLUMN\n"},
    {"ERRLOG      エラーログファイル名\n",
     "ERRLOG      error log file name\n"},
    {"WHERE       WHERE条件式              WHERE=\"[TABLE]COLUMN = 'value'\"\n",
     "WHERE       row condition            WHERE=\"[TABLE]COLUMN = 'value'\"\n"},
    {"COLUMN      選択カラム               COLUMN=COL1,COL2,COL3..-COL8,-COL9\n",
     "COLUMN      selected columns         COLUMN=COL1,COL2,COL3..-COL8,-COL9\n"},
    {"GREP        検索文字列\n",
     "GREP        rows that hold this text\n"},
    {"QUERY       SELECT文                 QUERY=(SELECT COL1,COL2 FROM TABLE WHERE ...)\n",
     "QUERY       SELECT statement         QUERY=(SELECT COL1,COL2 FROM TABLE WHERE ...)\n"},
    {"PROGRESS    進捗表示(端末時Y)        DEBUG       デバッグログ出力(N)\n",
     "PROGRESS    progress (Y on a tty)    DEBUG       debug log (N)\n"},
    {"THREADS     変換スレッド数(CPU数)\n",
     "THREADS     conversion threads (number of CPUs)\n"},
    {"\n", "\n"},
    {"終了コード  0:正常終了  1:処理失敗  255(-1):引数・ファイルのエラー\n",
     "Exit codes  0: success (also HELP, PROPERTY, --version, no arguments)\n"
     "            1: the conversion failed; the messages say why, its output files are removed\n"
     "            255 (-1): an argument, option, dump or output file error; no output is kept\n"},
    {"HELP=Y      このヘルプを表示(--help, -h)  --version   バージョンを表示\n",
     "HELP=Y      show this help (--help, -h)   --version   show the version\n"},
    {"環境変数    QLN_LANG=ja|en(表示言語)  NLS_DATE_FORMAT  QLN_DEBUG_MODE\n",
     "Environment QLN_LANG=ja|en (language; else LC_ALL, LC_MESSAGES, LANG)\n"
     "            NLS_DATE_FORMAT (date format)  QLN_DEBUG_MODE (debug log)\n"},
    {"\n", "\n"},
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
  for (const BilingualText& line : kHelpLines) write_user_text(out, user_text(g, line));
  std::fflush(out);
  return 0;
}

}  // namespace qln
