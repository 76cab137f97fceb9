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
  std::string_view text;
};

// Sorted by code; a text holds at most one "%s", where the caller's text goes.
constexpr MessageEntry kMessageTable[] = {
    {1, "%s初期化エラー。処理を中断します。"},
    {2, "メモリ不足です。処理を中断します。"},
    {3, "引数が不正です(\"%s\")。処理を中断します。"},
    {4, "引数が指定されていません。処理を中断します。"},
    {5, "引数が長すぎます。処理を中断します。"},
    {6, "不明なパラメータ名です(\"%s\")。処理を中断します。"},
    {7, "サポート外のキャラクタセットです(\"%s\")。処理を中断します。"},
    {8, "FILEとOUT_FILEで指定されたファイル数が一致しません。 "},
    {9, "書式が不正です(\"%s\")。処理を中断します。"},
    {10, "外部コマンド(\"%s\")が存在しません。"},
    {11, "サポート外のファイルです。処理を中断します。"},
    {12, "ユーザー名/パスワードが指定されていません。"},
    {15, "引数が不足しています(\"%s\")。処理を中断します。"},
    {16, "データポンプ(EXPDP)ダンプに対して(\"%s\")機能は使用できません。"},
    {17, "分割エクスポートダンプに対して(\"%s\")機能は使用できません。"},
    {20, "データベース(\"%s\")に接続できません。"},
    {21, "動的パフォーマンスビューにアクセスできません。"},
    {22, "STATSPACKにアクセスできません。"},
    {23, "Automatic Workload Repositoryにアクセスできません。"},
    {24, "ディクショナリ表にアクセスできません。"},
    {30, "データベース接続文字列の書式が不正です。"},
    {31, "サポート外のバージョンです。"},
    {1000, "処理が終了しました。"},
    {1001, "ユーザー名/パスワードが無効です。ログオンは拒否されました。"},
    {1002, "3回試行しましたが接続できませんでした。%sを終了します。"},
    {1003, "ログオンされていません。"},
    {1004, "DBMSエラー(\"%s\")。"},
    {1010, "コマンドが無効です。"},
    {1020, "コマンドの長さが制限を超えました。"},
    {1030, "コマンド解析でエラーが発生しました。"},
    {1031, "コマンド実行中にエラーが発生しました。"},
    {1032, "不明なコマンドです(\"%s\")。行の残りは無視されました。"},
    {1033, "サポート外のコマンドです(\"%s\")。"},
    {1050, "不明なSETオプションです(\"%s\")。"},
    {1060, "ファイル(\"%s\")をオープンできません。"},
    {1061, "SPOOLファイル(\"%s\")を作成できません。"},
    {1100, "CREATE %s は実行できません。"},
    {1101, "CREATE文が不正です(\"%s\")。"},
    {1102, "DROP %s は実行できません。"},
    {1103, "DROP文が不正です(\"%s\")。"},
    {1104, "UPLOAD文が不正です(\"%s\")。"},
    {1105, "DOWNLOAD文が不正です(\"%s\")。"},
    {1106, "LIST文が不正です(\"%s\")。"},
    {1107, "ALTER %s は実行できません。"},
    {1108, "COPY文が不正です(\"%s\")。"},
    {1109, "REMOVE文が不正です(\"%s\")。"},
    {1110, "MOVE文が不正です(\"%s\")。"},
    {1111, "STATUS文が不正です(\"%s\")。"},
    {1112, "ALTER文が不正です。"},
    {1113, "UNLOAD文が不正です(\"%s\")。"},
    {1200, "CONNECT文が不正です。"},
    {1201, "COMMIT文が不正です。"},
    {1202, "ROLLBACK文が不正です。"},
    {1300, "オプション(\"%s\")は無効です。"},
    {1301, "カラムIDが重複しています。"},
    {1900, "パスの長さが制限を超えました(\"%s\")。"},
    {1901, "テーブル名の長さが制限を超えました(\"%s\")。"},
    {1902, "オブジェクト名の長さが制限を超えました(\"%s\")。"},
    {1903, "SQL条件式の長さが制限を超えました(\"%s\")。"},
    {1904, "名称の長さが制限を超えました(\"%s\")。"},
    {1905, "SQL条件式の要素数がスタック制限(\"%s\")を超えました。"},
    {1906, "SQL条件式の右辺が不正です(\"%s\")。"},
    {1907, "SQL条件式の左辺が不正です(\"%s\")。"},
    {1908, "SQL関数引数列の長さが制限を超えました(\"%s\")。"},
    {1909, "カラムの指定数が制限(\"%s\")を超えました。"},
    {1910, "対象ファイル数が制限(\"%s\")を超えました。"},
    {1920, "すでに使用されているオブジェクト名です(\"%s\")。"},
    {1921, "有効なWHERE条件式が存在していません。"},
    {2000, "SQLの構文に誤りがあります。"},
    {2001, "SQL解析でエラーが発生しました。"},
    {2008, "%s型は選択されたマスク方式をサポートしていません。"},
    {2009, "%sはサポートしていません。"},
    {2100, "%s型はサポートしていません。"},
    {2102, "%s型のカラムは検索できません。"},
    {2103, "サブクエリはサポートしていません。"},
    {2104, "複数テーブルの検索はサポートしていません。"},
    {2105, "GROUP BY構文はサポートしていません。"},
    {2106, "ORDER BY構文はサポートしていません。"},
    {2107, "HAVING構文はサポートしていません。"},
    {2108, "START WITH構文はサポートしていません。"},
    {2109, "条件式の複数カラムはサポートしていません。"},
    {2110, "SQL関数%sはサポートしていません。"},
    {2111, "サポートしていない演算子が含まれています(\"%s\")。"},
    {2112, "サポートしていないデータ型が含まれています(\"%s\")。"},
    {2113, "日付書式が不正です。デフォルト値(\"YYYY/MM/DD HH24:MI:SS\")を設定します。"},
    {2115, "ディクショナリ表(\"%s\")のアクセスでエラーが発生しました。"},
    {2126, "LIKE演算子は文字列型にのみ使用可能です(\"%s\")。"},
    {2128, "テーブルの数が制限(\"%s\")を超えました。"},
    {2130, "カラムのテーブル別名が不正です。(\"%s\")。"},
    {2132, "必要なビットマップレコード長は(%sbyte)以上です。"},
    {2135, "選択列(\"%s\")をテーブル名または別名で修飾してください。"},
    {2136, "複数のCSVファイルは指定できません。"},
    {2137, "SQL関数(\"%s\")の引数の数が不正です。"},
    {2138, "SQL関数(\"%s\")の引数が不正です。"},
    {2139, "カラムの数が制限(\"%s\")を超えました。"},
    {2199, "サポートされていないSQLが入力されました。"},
    {2200, "%sより多いカラムは指定できません。"},
    {2201, "先頭%sカラムを表示します。"},
    {2202, "デリミタ文字(\"%s\")が不正です。"},
    {2203, "レコード長が不正です(%sbyte)。"},
    {2204, "カラムが指定されていません。"},
    {2205, "WHERE条件式が制限値(%sbyte)を超えています。"},
    {2208, "数値(\"%s\")が不正です。"},
    {2209, "値が指定されていません。"},
    {2210, "数字でカラム番号を指定する必要があります。"},
    {2211, "ファイルのフィールド数が0です。"},
    {2212, "PATHオプションにはクォーテーションが必要です。"},
    {2213, "値(\"%s\")が不正です。"},
    {2214, "WHERE条件式に%sより多いカラムは指定できません。"},
    {2215, "サポートしていないDDL構文が含まれているテーブルです。(\"%s\")。"},
    {3000, "SQLカーソルオープンエラー。"},
    {3001, "SQL更新エラー。"},
    {3002, "SQL挿入エラー。"},
    {3003, "SQL削除エラー。"},
    {3004, "SQL関数(\"%s\")エラー。"},
    {3005, "SQL検索エラー。"},
    {3006, "サブクエリ検索エラー。"},
    {3010, "パラメータ・ファイル'%s'をオープンできません。"},
    {3011, "リストファイル'%s'をオープンできません。"},
    {3012, "リストファイル%sが設定されていません。"},
    {3100, "dumpファイルオープンエラー(\"%s\")。処理を中断します。"},
    {3101, "dumpファイルヘッダ書式エラー。"},
    {3102, "dumpファイル書式エラー。処理を中断します。"},
    {3103, "指定されたテーブル(\"%s\")がdumpファイルから見つかりません。"},
    {3104, "指定されたカラム(\"%s\")が存在しません。"},
    {3105, "指定されたテーブル(\"%s\")が存在しません。"},
    {3106, "指定された索引(\"%s\")が存在しません。"},
    {3107, "指定されたオブジェクト(\"%s\")が存在しません。"},
    {3108, "指定されたデータベース接続情報(\"%s\")が存在しません。"},
    {3109, "dumpファイルバッファーオーバー(\"%s\")。"},
    {3110, "dumpファイルサイズオーバー。"},
    {3111, "dumpファイル名書式エラー。処理を中断します。"},
    {3112, "dumpファイル読み込みエラー(\"%s\")。"},
    {3113, "指定されたバイナリカラム(\"%s\")が見つかりません。"},
    {3120, "COMMIT FILEエラー。"},
    {3121, "CREATE FILEエラー。"},
    {3122, "INSERT FILE構文エラー(\"%s\")。"},
    {3124, "DROP FILEエラー。"},
    {3125, "UPLOAD FILEエラー。"},
    {3126, "DOWNLOAD FILEエラー。"},
    {3127, "名前(\"%s\")が出力先データベースの長さ制限を超えています。"},
    {3128, "カラム(\"%s\")の値はINSERT文に出力できません。NULLを出力します。"},
    {3129, "CSV/固定長ファイルのレコード長が制限(%sbyte)を超えました。"},
    {3130, "CSV/固定長ファイルオープンエラー(\"%s\")。"},
    {3131, "ファイルオープンエラー(\"%s\")。"},
    {3132, "CSV/固定長ファイル書式エラー(\"%s\")。"},
    {3133, "ファイル書き込みエラー(\"%s\")。"},
    {3134, "ファイル読み込みエラー(\"%s\")。"},
    {3135, "バイナリファイルサイズ不正(\"%s\")。処理を中断します。"},
    {3136, "バイナリファイルが上書き禁止されています(\"%s\")。処理を中断します。"},
    {3137, "NOT NULLカラム(\"%s\")の値はINSERT文に出力できません。処理を中断します。"},
    {3138, "ファイル圧縮エラー(\"%s\")。"},
    {3139, "ファイル解凍エラー(\"%s\")。"},
    {3140, "ファイル暗号化エラー(\"%s\")。"},
    {3141, "ファイル複合化エラー(\"%s\")。"},
    {3143, "CSV/固定長ファイル書き込みエラー(\"%s\")。"},
    {3144, "CSV/固定長ファイル読み込みエラー(\"%s\")。"},
    {3145, "CSV/固定長ファイルレコード書式エラー。列番号(\"%s\")。"},
    {3146, "CSV/固定長ファイルが上書き禁止されています(\"%s\")。処理を中断します。"},
    {3147, "ビットマップ索引のレコード件数が制限(%s)を超えました。"},
    {3148, "COPY FILEエラー。"},
    {3149, "REMOVE FILEエラー。"},
    {3150, "LIST FILEエラー。"},
    {3151, "ワークテーブル(\"%s\")検索エラー。"},
    {3152, "ワークテーブル(\"%s\")更新エラー。"},
    {3153, "一時ファイル書き込みエラー(\"%s\")。"},
    {3154, "クリップボードオープンエラー。"},
    {3200, "WHERE条件式実行エラー。"},
    {3201, "CSVファイルが存在していません(\"%s\")。"},
    {3900, "処理中にエラーが発生しました。処理を中断します。"},
    {3901, "処理が中断されました。出力ファイルは作成されていません。"},
    {4000, "内部処理エラー(\"%s\")。"},
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
  if (lookup_message(code, table_text) != 0) {
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

int lookup_message(int code, std::string& out) {
  const auto* end = std::end(kMessageTable);
  const auto* it = std::lower_bound(std::begin(kMessageTable), end, code,
                                    [](const MessageEntry& e, int c) { return e.code < c; });
  if (it == end || it->code != code) return -1;
  out.assign(it->text);
  return 0;
}

std::string message_text_in_os_charset(const GlobalParams& g, std::string_view utf8_text) {
  if (g.os_charset == kCharsetUtf8 || g.message_converter == nullptr) return std::string(utf8_text);
  return g.message_converter(g.os_charset, utf8_text);
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
