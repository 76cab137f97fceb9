#include "core/messages.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

#include "core/multibyte.hpp"
#include "core/platform.hpp"

namespace qln {

namespace {

struct MessageEntry {
  int code;
  std::string_view ja;
  std::string_view en;
};

// Sorted by code; each text holds at most one "%s", where the caller's text
// goes. Every message has both languages (a test checks it).
constexpr MessageEntry kMessageTable[] = {
    {1, "%s初期化エラー。処理を中断します。",
     "%s initialisation error. Processing is aborted."},
    {2, "メモリ不足です。処理を中断します。",
     "Out of memory. Processing is aborted."},
    {3, "引数が不正です(\"%s\")。処理を中断します。",
     "Invalid argument (\"%s\"). Processing is aborted."},
    {4, "引数が指定されていません。処理を中断します。",
     "No arguments were given. Processing is aborted."},
    {5, "引数が長すぎます。処理を中断します。",
     "The arguments are too long. Processing is aborted."},
    {6, "不明なパラメータ名です(\"%s\")。処理を中断します。",
     "Unknown parameter name (\"%s\"). Processing is aborted."},
    {7, "サポート外のキャラクタセットです(\"%s\")。処理を中断します。",
     "Unsupported character set (\"%s\"). Processing is aborted."},
    {8, "FILEとOUT_FILEで指定されたファイル数が一致しません。 ",
     "FILE and OUT_FILE name different numbers of files. "},
    {9, "書式が不正です(\"%s\")。処理を中断します。",
     "Invalid format (\"%s\"). Processing is aborted."},
    {10, "外部コマンド(\"%s\")が存在しません。",
     "The external command (\"%s\") does not exist."},
    {11, "サポート外のファイルです。処理を中断します。",
     "Unsupported file. Processing is aborted."},
    {12, "ユーザー名/パスワードが指定されていません。",
     "No user name/password was given."},
    {15, "引数が不足しています(\"%s\")。処理を中断します。",
     "Missing argument (\"%s\"). Processing is aborted."},
    {16, "データポンプ(EXPDP)ダンプに対して(\"%s\")機能は使用できません。",
     "The (\"%s\") function cannot be used on a Data Pump (EXPDP) dump."},
    {17, "分割エクスポートダンプに対して(\"%s\")機能は使用できません。",
     "The (\"%s\") function cannot be used on a split export dump."},
    {20, "データベース(\"%s\")に接続できません。",
     "Cannot connect to the database (\"%s\")."},
    {21, "動的パフォーマンスビューにアクセスできません。",
     "Cannot access the dynamic performance views."},
    {22, "STATSPACKにアクセスできません。",
     "Cannot access STATSPACK."},
    {23, "Automatic Workload Repositoryにアクセスできません。",
     "Cannot access the Automatic Workload Repository."},
    {24, "ディクショナリ表にアクセスできません。",
     "Cannot access the dictionary tables."},
    {30, "データベース接続文字列の書式が不正です。",
     "Invalid database connect string."},
    {31, "サポート外のバージョンです。",
     "Unsupported version."},
    {1000, "処理が終了しました。",
     "Processing has finished."},
    {1001, "ユーザー名/パスワードが無効です。ログオンは拒否されました。",
     "Invalid user name/password. Logon denied."},
    {1002, "3回試行しましたが接続できませんでした。%sを終了します。",
     "Could not connect after 3 tries. %s ends."},
    {1003, "ログオンされていません。",
     "Not logged on."},
    {1004, "DBMSエラー(\"%s\")。",
     "DBMS error (\"%s\")."},
    {1010, "コマンドが無効です。",
     "Invalid command."},
    {1020, "コマンドの長さが制限を超えました。",
     "The command is longer than the limit."},
    {1030, "コマンド解析でエラーが発生しました。",
     "An error occurred while parsing the command."},
    {1031, "コマンド実行中にエラーが発生しました。",
     "An error occurred while executing the command."},
    {1032, "不明なコマンドです(\"%s\")。行の残りは無視されました。",
     "Unknown command (\"%s\"). The rest of the line was ignored."},
    {1033, "サポート外のコマンドです(\"%s\")。",
     "Unsupported command (\"%s\")."},
    {1050, "不明なSETオプションです(\"%s\")。",
     "Unknown SET option (\"%s\")."},
    {1060, "ファイル(\"%s\")をオープンできません。",
     "Cannot open the file (\"%s\")."},
    {1061, "SPOOLファイル(\"%s\")を作成できません。",
     "Cannot create the SPOOL file (\"%s\")."},
    {1100, "CREATE %s は実行できません。",
     "CREATE %s cannot be executed."},
    {1101, "CREATE文が不正です(\"%s\")。",
     "Invalid CREATE statement (\"%s\")."},
    {1102, "DROP %s は実行できません。",
     "DROP %s cannot be executed."},
    {1103, "DROP文が不正です(\"%s\")。",
     "Invalid DROP statement (\"%s\")."},
    {1104, "UPLOAD文が不正です(\"%s\")。",
     "Invalid UPLOAD statement (\"%s\")."},
    {1105, "DOWNLOAD文が不正です(\"%s\")。",
     "Invalid DOWNLOAD statement (\"%s\")."},
    {1106, "LIST文が不正です(\"%s\")。",
     "Invalid LIST statement (\"%s\")."},
    {1107, "ALTER %s は実行できません。",
     "ALTER %s cannot be executed."},
    {1108, "COPY文が不正です(\"%s\")。",
     "Invalid COPY statement (\"%s\")."},
    {1109, "REMOVE文が不正です(\"%s\")。",
     "Invalid REMOVE statement (\"%s\")."},
    {1110, "MOVE文が不正です(\"%s\")。",
     "Invalid MOVE statement (\"%s\")."},
    {1111, "STATUS文が不正です(\"%s\")。",
     "Invalid STATUS statement (\"%s\")."},
    {1112, "ALTER文が不正です。",
     "Invalid ALTER statement."},
    {1113, "UNLOAD文が不正です(\"%s\")。",
     "Invalid UNLOAD statement (\"%s\")."},
    {1200, "CONNECT文が不正です。",
     "Invalid CONNECT statement."},
    {1201, "COMMIT文が不正です。",
     "Invalid COMMIT statement."},
    {1202, "ROLLBACK文が不正です。",
     "Invalid ROLLBACK statement."},
    {1300, "オプション(\"%s\")は無効です。",
     "The option (\"%s\") is invalid."},
    {1301, "カラムIDが重複しています。",
     "Duplicate column ID."},
    {1900, "パスの長さが制限を超えました(\"%s\")。",
     "The path is longer than the limit (\"%s\")."},
    {1901, "テーブル名の長さが制限を超えました(\"%s\")。",
     "The table name is longer than the limit (\"%s\")."},
    {1902, "オブジェクト名の長さが制限を超えました(\"%s\")。",
     "The object name is longer than the limit (\"%s\")."},
    {1903, "SQL条件式の長さが制限を超えました(\"%s\")。",
     "The SQL condition is longer than the limit (\"%s\")."},
    {1904, "名称の長さが制限を超えました(\"%s\")。",
     "The name is longer than the limit (\"%s\")."},
    {1905, "SQL条件式の要素数がスタック制限(\"%s\")を超えました。",
     "The SQL condition has more elements than the stack limit (\"%s\")."},
    {1906, "SQL条件式の右辺が不正です(\"%s\")。",
     "Invalid right-hand side of the SQL condition (\"%s\")."},
    {1907, "SQL条件式の左辺が不正です(\"%s\")。",
     "Invalid left-hand side of the SQL condition (\"%s\")."},
    {1908, "SQL関数引数列の長さが制限を超えました(\"%s\")。",
     "The argument list of the SQL function is longer than the limit (\"%s\")."},
    {1909, "カラムの指定数が制限(\"%s\")を超えました。",
     "More columns were given than the limit (\"%s\")."},
    {1910, "対象ファイル数が制限(\"%s\")を超えました。",
     "More target files than the limit (\"%s\")."},
    {1920, "すでに使用されているオブジェクト名です(\"%s\")。",
     "The object name is already in use (\"%s\")."},
    {1921, "有効なWHERE条件式が存在していません。",
     "There is no valid WHERE condition."},
    {2000, "SQLの構文に誤りがあります。",
     "SQL syntax error."},
    {2001, "SQL解析でエラーが発生しました。",
     "An error occurred during SQL analysis."},
    {2008, "%s型は選択されたマスク方式をサポートしていません。",
     "The %s type does not support the chosen masking method."},
    {2009, "%sはサポートしていません。",
     "%s is not supported."},
    {2100, "%s型はサポートしていません。",
     "The %s type is not supported."},
    {2102, "%s型のカラムは検索できません。",
     "Columns of the %s type cannot be searched."},
    {2103, "サブクエリはサポートしていません。",
     "Sub-queries are not supported."},
    {2104, "複数テーブルの検索はサポートしていません。",
     "Queries over several tables are not supported."},
    {2105, "GROUP BY構文はサポートしていません。",
     "GROUP BY is not supported."},
    {2106, "ORDER BY構文はサポートしていません。",
     "ORDER BY is not supported."},
    {2107, "HAVING構文はサポートしていません。",
     "HAVING is not supported."},
    {2108, "START WITH構文はサポートしていません。",
     "START WITH is not supported."},
    {2109, "条件式の複数カラムはサポートしていません。",
     "Several columns in one condition are not supported."},
    {2110, "SQL関数%sはサポートしていません。",
     "The SQL function %s is not supported."},
    {2111, "サポートしていない演算子が含まれています(\"%s\")。",
     "Contains an unsupported operator (\"%s\")."},
    {2112, "サポートしていないデータ型が含まれています(\"%s\")。",
     "Contains an unsupported data type (\"%s\")."},
    {2113, "日付書式が不正です。デフォルト値(\"YYYY/MM/DD HH24:MI:SS\")を設定します。",
     "Invalid date format. The default (\"YYYY/MM/DD HH24:MI:SS\") is set."},
    {2115, "ディクショナリ表(\"%s\")のアクセスでエラーが発生しました。",
     "An error occurred while accessing the dictionary table (\"%s\")."},
    {2126, "LIKE演算子は文字列型にのみ使用可能です(\"%s\")。",
     "The LIKE operator can only be used on character types (\"%s\")."},
    {2128, "テーブルの数が制限(\"%s\")を超えました。",
     "More tables than the limit (\"%s\")."},
    {2130, "カラムのテーブル別名が不正です。(\"%s\")。",
     "Invalid table alias of a column (\"%s\")."},
    {2132, "必要なビットマップレコード長は(%sbyte)以上です。",
     "The bitmap record length needed is at least (%sbyte)."},
    {2135, "選択列(\"%s\")をテーブル名または別名で修飾してください。",
     "Qualify the selected column (\"%s\") with the table name or alias."},
    {2136, "複数のCSVファイルは指定できません。",
     "Several CSV files cannot be given."},
    {2137, "SQL関数(\"%s\")の引数の数が不正です。",
     "Wrong number of arguments of the SQL function (\"%s\")."},
    {2138, "SQL関数(\"%s\")の引数が不正です。",
     "Invalid argument of the SQL function (\"%s\")."},
    {2139, "カラムの数が制限(\"%s\")を超えました。",
     "More columns than the limit (\"%s\")."},
    {2199, "サポートされていないSQLが入力されました。",
     "An unsupported SQL statement was entered."},
    {2200, "%sより多いカラムは指定できません。",
     "No more than %s columns can be given."},
    {2201, "先頭%sカラムを表示します。",
     "The first %s columns are shown."},
    {2202, "デリミタ文字(\"%s\")が不正です。",
     "Invalid delimiter character (\"%s\")."},
    {2203, "レコード長が不正です(%sbyte)。",
     "Invalid record length (%sbyte)."},
    {2204, "カラムが指定されていません。",
     "No columns were given."},
    {2205, "WHERE条件式が制限値(%sbyte)を超えています。",
     "The WHERE condition exceeds the limit (%sbyte)."},
    {2208, "数値(\"%s\")が不正です。",
     "Invalid number (\"%s\")."},
    {2209, "値が指定されていません。",
     "No value was given."},
    {2210, "数字でカラム番号を指定する必要があります。",
     "A column number must be given as digits."},
    {2211, "ファイルのフィールド数が0です。",
     "The file has 0 fields."},
    {2212, "PATHオプションにはクォーテーションが必要です。",
     "The PATH option needs quotes."},
    {2213, "値(\"%s\")が不正です。",
     "Invalid value (\"%s\")."},
    {2214, "WHERE条件式に%sより多いカラムは指定できません。",
     "No more than %s columns can be used in a WHERE condition."},
    {2215, "サポートしていないDDL構文が含まれているテーブルです。(\"%s\")。",
     "The table contains unsupported DDL syntax (\"%s\")."},
    {3000, "SQLカーソルオープンエラー。",
     "SQL cursor open error."},
    {3001, "SQL更新エラー。",
     "SQL update error."},
    {3002, "SQL挿入エラー。",
     "SQL insert error."},
    {3003, "SQL削除エラー。",
     "SQL delete error."},
    {3004, "SQL関数(\"%s\")エラー。",
     "SQL function (\"%s\") error."},
    {3005, "SQL検索エラー。",
     "SQL search error."},
    {3006, "サブクエリ検索エラー。",
     "Sub-query search error."},
    {3010, "パラメータ・ファイル'%s'をオープンできません。",
     "Cannot open the parameter file '%s'."},
    {3011, "リストファイル'%s'をオープンできません。",
     "Cannot open the list file '%s'."},
    {3012, "リストファイル%sが設定されていません。",
     "The list file %s is not set."},
    {3100, "dumpファイルオープンエラー(\"%s\")。処理を中断します。",
     "Dump file open error (\"%s\"). Processing is aborted."},
    {3101, "dumpファイルヘッダ書式エラー。",
     "Dump file header format error."},
    {3102, "dumpファイル書式エラー%s。処理を中断します。",
     "Dump file format error%s. Processing is aborted."},
    {3103, "指定されたテーブル(\"%s\")がdumpファイルから見つかりません。",
     "The specified table (\"%s\") was not found in the dump file."},
    {3104, "指定されたカラム(\"%s\")が存在しません。",
     "The specified column (\"%s\") does not exist."},
    {3105, "指定されたテーブル(\"%s\")が存在しません。",
     "The specified table (\"%s\") does not exist."},
    {3106, "指定された索引(\"%s\")が存在しません。",
     "The specified index (\"%s\") does not exist."},
    {3107, "指定されたオブジェクト(\"%s\")が存在しません。",
     "The specified object (\"%s\") does not exist."},
    {3108, "指定されたデータベース接続情報(\"%s\")が存在しません。",
     "The specified database connection information (\"%s\") does not exist."},
    {3109, "dumpファイルバッファーオーバー(\"%s\")。",
     "Dump file buffer overflow (\"%s\")."},
    {3110, "dumpファイルサイズオーバー。",
     "Dump file too large."},
    {3111, "dumpファイル名書式エラー。処理を中断します。",
     "Dump file name format error. Processing is aborted."},
    {3112, "dumpファイル読み込みエラー(\"%s\")。",
     "Dump file read error (\"%s\")."},
    {3113, "指定されたバイナリカラム(\"%s\")が見つかりません。",
     "The specified binary column (\"%s\") was not found."},
    {3114, "dumpファイルが終了レコードの前で終わっています。エクスポートが途中で停止した可能性があります。",
     "The dump file ends before its closing record. The export may have stopped early."},
    {3115, "出力ファイル(\"%s\")がdumpファイルまたは他の出力ファイルと同じです。処理を中断します。",
     "The output file (\"%s\") is the dump file or another output file. Processing is aborted."},
    {3116, "バイナリファイル名が重複したため、番号を付けて出力しました(\"%s\")。",
     "Large-object file names collided; the file was written under a numbered name (\"%s\")."},
    {3117, "LOB_FILEに絶対パスまたは\"..\"は指定できません(\"%s\")。処理を中断します。",
     "LOB_FILE may not be an absolute path nor contain \"..\" (\"%s\"). Processing is aborted."},
    {3118, "エラーログファイル(\"%s\")をオープンできません。メッセージを標準エラー出力に出力します。",
     "The error log file (\"%s\") cannot be opened. Messages are written to standard error."},
    {3119, "標準出力書き込みエラー。処理を中断します。",
     "Error writing to standard output. Processing is aborted."},
    {3120, "COMMIT FILEエラー。",
     "COMMIT FILE error."},
    {3121, "CREATE FILEエラー。",
     "CREATE FILE error."},
    {3122, "INSERT FILE構文エラー(\"%s\")。",
     "INSERT FILE syntax error (\"%s\")."},
    {3123, "変換できなかったテーブルがあります(%s)。",
     "Some tables could not be converted (%s)."},
    {3124, "DROP FILEエラー。",
     "DROP FILE error."},
    {3125, "UPLOAD FILEエラー。",
     "UPLOAD FILE error."},
    {3126, "DOWNLOAD FILEエラー。",
     "DOWNLOAD FILE error."},
    {3127, "名前(\"%s\")が出力先データベースの長さ制限を超えています。",
     "The name (\"%s\") is longer than the target database allows."},
    {3128, "カラム(\"%s\")の値はINSERT文に出力できません。NULLを出力します。",
     "The value of column (\"%s\") cannot be written in an INSERT statement. NULL is written."},
    {3129, "CSV/固定長ファイルのレコード長が制限(%sbyte)を超えました。",
     "The record length of the CSV/fixed-length file exceeds the limit (%sbyte)."},
    {3130, "CSV/固定長ファイルオープンエラー(\"%s\")。",
     "CSV/fixed-length file open error (\"%s\")."},
    {3131, "ファイルオープンエラー(\"%s\")。",
     "File open error (\"%s\")."},
    {3132, "CSV/固定長ファイル書式エラー(\"%s\")。",
     "CSV/fixed-length file format error (\"%s\")."},
    {3133, "ファイル書き込みエラー(\"%s\")。",
     "File write error (\"%s\")."},
    {3134, "ファイル読み込みエラー(\"%s\")。",
     "File read error (\"%s\")."},
    {3135, "バイナリファイルサイズ不正(\"%s\")。処理を中断します。",
     "Invalid binary file size (\"%s\"). Processing is aborted."},
    {3136, "バイナリファイルが上書き禁止されています(\"%s\")。処理を中断します。",
     "The binary file may not be overwritten (\"%s\"). Processing is aborted."},
    {3137, "NOT NULLカラム(\"%s\")の値はINSERT文に出力できません。処理を中断します。",
     "The value of NOT NULL column (\"%s\") cannot be written in an INSERT statement. Processing is aborted."},
    {3138, "ファイル圧縮エラー(\"%s\")。",
     "File compression error (\"%s\")."},
    {3139, "ファイル解凍エラー(\"%s\")。",
     "File decompression error (\"%s\")."},
    {3140, "ファイル暗号化エラー(\"%s\")。",
     "File encryption error (\"%s\")."},
    {3141, "ファイル複合化エラー(\"%s\")。",
     "File decryption error (\"%s\")."},
    {3142, "バイナリファイル出力フォルダ(\"%s\")が存在しません。処理を中断します。",
     "The folder of the binary column files (\"%s\") does not exist. Processing is aborted."},
    {3143, "CSV/固定長ファイル書き込みエラー(\"%s\")。",
     "CSV/fixed-length file write error (\"%s\")."},
    {3144, "CSV/固定長ファイル読み込みエラー(\"%s\")。",
     "CSV/fixed-length file read error (\"%s\")."},
    {3145, "CSV/固定長ファイルレコード書式エラー。列番号(\"%s\")。",
     "CSV/fixed-length file record format error. Column number (\"%s\")."},
    {3146, "CSV/固定長ファイルが上書き禁止されています(\"%s\")。処理を中断します。",
     "The CSV/fixed-length file may not be overwritten (\"%s\"). Processing is aborted."},
    {3147, "ビットマップ索引のレコード件数が制限(%s)を超えました。",
     "The number of bitmap index records exceeds the limit (%s)."},
    {3148, "COPY FILEエラー。",
     "COPY FILE error."},
    {3149, "REMOVE FILEエラー。",
     "REMOVE FILE error."},
    {3150, "LIST FILEエラー。",
     "LIST FILE error."},
    {3151, "ワークテーブル(\"%s\")検索エラー。",
     "Work table (\"%s\") search error."},
    {3152, "ワークテーブル(\"%s\")更新エラー。",
     "Work table (\"%s\") update error."},
    {3153, "一時ファイル書き込みエラー(\"%s\")。",
     "Temporary file write error (\"%s\")."},
    {3154, "クリップボードオープンエラー。",
     "Clipboard open error."},
    {3180, "チェックしたテーブル名が重複しています(\"%s\")。",
     "The checked table names are duplicated (\"%s\")."},
    {3181, "テーブル名・WHERE条件式・選択カラムが長すぎます(\"%s\")。",
     "The table name, WHERE condition or column list is too long (\"%s\")."},
    {3182, "カラムが1つも選択されていません。",
     "No column is selected."},
    {3200, "WHERE条件式実行エラー。",
     "WHERE condition execution error."},
    {3201, "CSVファイルが存在していません(\"%s\")。",
     "The CSV file does not exist (\"%s\")."},
    {3900, "処理中にエラーが発生しました。処理を中断します。",
     "An error occurred during processing. Processing is aborted."},
    {3901, "処理が中断されました。出力ファイルは作成されていません。",
     "Processing was stopped. No output files were created."},
    {4000, "内部処理エラー(\"%s\")。",
     "Internal processing error (\"%s\")."},
};

constexpr bool table_is_sorted() {
  for (std::size_t i = 1; i < std::size(kMessageTable); ++i) {
    if (kMessageTable[i - 1].code >= kMessageTable[i].code) return false;
  }
  return true;
}
static_assert(table_is_sorted(), "lookup_message searches the table by halves");

constexpr std::string_view kDebugLogName = "QLNdebug.log";
constexpr std::string_view kAnalyserDebugLogName = "TEFdebug.log";
constexpr int kRunModeAnalyser = 0;
constexpr int kRunModeQuillonLast = 42;
constexpr std::size_t kDebugMessageLen = 4099;  // formatted into a 4100-byte buffer

std::string code_text(const char* format, int code) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, code);
  return buf;
}

// At most 80 bytes of whole characters, and nothing from the first line feed on.
std::string_view prepare_caller_text(const GlobalParams& g, std::string_view text) {
  text = text.substr(0, cut_at_char_boundary(g.os_charset, text, kMaxReportTextLen));
  if (const auto lf = text.find('\n'); lf != std::string_view::npos) text = text.substr(0, lf);
  return text;
}

std::string format_message(const GlobalParams& g, int code, std::string_view text) {
  if (code == 0) return std::string(text);
  std::string table_text;
  if (lookup_message(code, table_text, g.language) != 0) {
    return code_text("ZUL-%05d: ", code).append(text);
  }
  std::string_view prefix = table_text;
  std::string_view suffix;
  if (const auto at = prefix.find("%s"); at != std::string_view::npos) {
    suffix = prefix.substr(at + 2);
    prefix = prefix.substr(0, at);
  }
  std::string message = code_text("ZUL-%05d: ", code);
  message += message_text_in_os_charset(g, prefix);
  message += text;
  message += message_text_in_os_charset(g, suffix);
  return message;
}

void queue_message(GlobalParams& g, std::string message) {
  auto& slots = g.messages;
  int count = std::clamp<int>(g.message_count, 0, kMaxMessages);
  if (count == kMaxMessages) {
    std::move(slots.begin() + 1, slots.end(), slots.begin());
    count = kMaxMessages - 1;
  }
  slots[static_cast<std::size_t>(count)] = std::move(message);
  g.message_count = count + 1;
}

void write_line(std::FILE* stream, std::string_view text) {
  write_user_text(stream, text);
  std::fputc('\n', stream);
}

}  // namespace

int lookup_message(int code, std::string& out, Language lang) {
  const auto* end = std::end(kMessageTable);
  const auto* it = std::lower_bound(std::begin(kMessageTable), end, code,
                                    [](const MessageEntry& e, int c) { return e.code < c; });
  if (it == end || it->code != code) return -1;
  out.assign(lang == Language::kJapanese ? it->ja : it->en);
  return 0;
}

std::vector<int> message_codes() {
  std::vector<int> codes;
  codes.reserve(std::size(kMessageTable));
  for (const MessageEntry& e : kMessageTable) codes.push_back(e.code);
  return codes;
}

std::string message_text_in_os_charset(const GlobalParams& g, std::string_view utf8_text) {
  if (g.os_charset == kCharsetUtf8 || g.message_converter == nullptr) return std::string(utf8_text);
  return g.message_converter(g.os_charset, utf8_text);
}

std::string user_text(const GlobalParams& g, const BilingualText& text) {
  return message_text_in_os_charset(g, text.in(g.language));
}

int report_error(GlobalParams& g, std::string_view text) {
  std::string message = format_message(g, g.zulcode, prepare_caller_text(g, text));
  // A queued message has room for kMessageSize - 1 bytes.
  message.resize(cut_at_char_boundary(g.os_charset, message, kMessageSize - 1));
  queue_message(g, std::move(message));
  g.zulcode = 0;
  return 0;
}

int fail(GlobalParams& g, int code, std::string_view text) {
  g.zulcode = code;
  report_error(g, text);
  return -1;
}

Status last_failure(const GlobalParams& g) {
  const int count = std::clamp<int>(g.message_count, 0, kMaxMessages);
  if (count == 0) return Status::failure(MessageCode::kProcessing);
  const std::string& last = g.messages[static_cast<std::size_t>(count - 1)];
  const std::size_t at = last.find("ZUL-");
  if (at == std::string::npos || at + 9 > last.size()) return Status::failure(MessageCode::kProcessing);
  int code = 0;
  for (std::size_t i = at + 4; i < at + 9; ++i) {
    if (last[i] < '0' || last[i] > '9') return Status::failure(MessageCode::kProcessing);
    code = code * 10 + (last[i] - '0');
  }
  return Status::failure(static_cast<MessageCode>(code), last);
}

int flush_messages(GlobalParams& g, std::FILE* stream) {
  const int count = std::clamp<int>(g.message_count, 0, kMaxMessages);
  if (windowed(g)) {
    if (count > 0) {
      const std::string& last = g.messages[static_cast<std::size_t>(count - 1)];
      if (g.message_box != nullptr) {
        g.message_box(g, last);
      } else if (stream != nullptr) {
        write_line(stream, last);
      }
    }
  } else if (stream != nullptr) {
    for (int i = 0; i < count; ++i) write_line(stream, g.messages[static_cast<std::size_t>(i)]);
    std::fputc('\n', stream);
    std::fflush(stream);
  }
  for (auto& m : g.messages) m.clear();
  g.message_count = 0;
  g.rtncode = 0;
  g.sqlcode = 0;
  g.zulcode = 0;
  return 0;
}

std::string debug_log_path(const GlobalParams& g) {
  std::string_view name;
  if (g.run_mode >= kRunModeQuillon && g.run_mode <= kRunModeQuillonLast) {
    name = kDebugLogName;
  } else if (g.run_mode == kRunModeAnalyser) {
    name = kAnalyserDebugLogName;
  } else {
    return {};
  }
  std::string path = temp_dir();
  path += path_separator();
  path += name;
  return path;
}

int debug_log(const GlobalParams& g, std::string_view line) {
  const std::string path = debug_log_path(g);
  if (path.empty()) return -1;
  std::FILE* f = open_named_file(path, "a");
  if (f == nullptr) return -1;
  write_line(f, line);
  return std::fclose(f) == 0 ? 0 : -1;
}

int debug_log_messages(const GlobalParams& g) {
  const int count = std::clamp<int>(g.message_count, 0, kMaxMessages);
  if (count == 0) return 0;
  debug_log(g, "error message >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
  for (int i = 0; i < count; ++i) {
    std::string_view m = g.messages[static_cast<std::size_t>(i)];
    debug_log(g, m.substr(0, cut_at_char_boundary(g.os_charset, m, kDebugMessageLen)));
  }
  debug_log(g, "error message <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
  return 0;
}

int debug_hex_line(const GlobalParams& g, const unsigned char* buffer, std::size_t pos,
                   std::int64_t offset) {
  constexpr int kBytes = 16;
  const unsigned char* b = buffer + pos;
  // Offset and bytes in upper-case hex, then the bytes as text.
  char head[16];
  std::snprintf(head, sizeof head, "%08X  ", static_cast<unsigned>(offset & 0xFFFFFFFF));
  std::string line = head;
  for (int i = 0; i < kBytes; ++i) {
    char cell[8];
    std::snprintf(cell, sizeof cell, "%02X ", b[i]);
    line += cell;
  }
  line += "  ";
  for (int i = 0; i < kBytes; ++i) {
    const unsigned char c = b[i];
    // A lead byte is kept with its follower so that the text column stays
    // readable; NUL and line feed never reach the log line raw.
    if (c >= 0x80 && mb_char_length(g.db_charset, c) > 0 && i < kBytes - 1 && b[i + 1] >= 0x40 &&
        b[i + 1] <= 0xFC) {
      line += static_cast<char>(c);
      line += static_cast<char>(b[i + 1]);
      ++i;
    } else if (c >= 0x20 && c <= 0x7E) {
      line += static_cast<char>(c);
    } else {
      line += '.';
    }
  }
  return debug_log(g, line);
}

}  // namespace qln
