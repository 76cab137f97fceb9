#include "gui/dialog_choices.hpp"

#include <cstdio>

#include "core/global_params.hpp"
#include "core/messages.hpp"
#include "output/lob_files.hpp"
#include "values/charset.hpp"

namespace qln::gui {

std::uint8_t ddl_kinds_of(const std::array<bool, 8>& boxes, bool all) {
  if (all) return kDdlAll;
  std::uint8_t kinds = 0;
  for (std::size_t i = 0; i < boxes.size(); ++i)
    if (boxes[i]) kinds = static_cast<std::uint8_t>(kinds | kDdlBoxBits[i]);
  return kinds;
}

BinaryOutput binary_output_of(const Settings& s) { return {s.lob_table, s.lob_column, s.lob_file, s.lob_dir}; }

int apply_binary_output(const BinaryOutput& b, Settings& s, ConvOptions& parts) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;
  if (split_lob_pattern(g, parts, b.file) != 0) return -1;
  s.lob_table = b.table;
  s.lob_column = b.column;
  s.lob_file = b.file;
  s.lob_dir = b.dir;
  // An empty folder stays empty (the current one) rather than the root.
  if (!s.lob_dir.empty() && s.lob_dir.back() != '\\' && s.lob_dir.back() != '/') s.lob_dir += '\\';
  return 0;
}

namespace {

struct Texts {
  const char* ja;
  const char* en;
};

std::string pick(const Texts& t, Language lang) { return lang == Language::kJapanese ? t.ja : t.en; }

}  // namespace

std::array<std::string, 7> property_texts(const DumpInfo& dump, Language lang) {
  static constexpr Texts kKinds[] = {{"エクスポート", "Export"},
                                     {"ダイレクトモード・エクスポート", "Direct-mode export"},
                                     {"データポンプ", "Data Pump"}};
  static constexpr Texts kModes[] = {{"テーブル", "Table"}, {"ユーザ", "User"}, {"データベース", "Database"}};
  static constexpr Texts kUnknown = {"不明", "Unknown"};
  const int kind = static_cast<int>(dump.kind);
  const int mode = static_cast<int>(dump.mode);
  std::array<std::string, 7> t;
  t[0] = kind >= 0 && kind <= 2 ? pick(kKinds[kind], lang) : pick(kUnknown, lang);
  if (kind <= 1) t[1] = mode >= 0 && mode <= 2 ? pick(kModes[mode], lang) : pick(kUnknown, lang);
  t[2] = dump.version_text;
  t[3] = dump.user;
  t[4] = std::string(charset_display_name(dump.db_charset));
  t[5] = std::string(charset_display_name(dump.nls_charset));
  t[6] = dump.date;
  return t;
}

std::string numbered_message(int code, std::string_view text, Language lang) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "ZUL-%05d: ", code);
  std::string table;
  if (lookup_message(code, table, lang) != 0) return prefix + std::string(text);
  if (const auto at = table.find("%s"); at != std::string::npos) table.replace(at, 2, text);
  return prefix + table;
}

}  // namespace qln::gui
