#include "dump/properties.hpp"

#include <string_view>
#include <utility>

#include "core/language.hpp"
#include "values/charset.hpp"

namespace qln {
namespace {

constexpr BilingualText kFileType{"ファイル種別        ", "File type           "};
constexpr BilingualText kDumpType{"ダンプ種別          ", "Dump type           "};
constexpr BilingualText kExportMode{"エクスポートモード  ", "Export mode         "};
constexpr BilingualText kVersion{"Oracleバージョン    ", "Oracle version      "};
constexpr BilingualText kUser{"ユーザ名            ", "User name           "};
constexpr BilingualText kCharset{"キャラクタセット    ", "Character set       "};
constexpr BilingualText kNlsCharset{"NLSキャラクタセット ", "NLS character set   "};
constexpr BilingualText kCreated{"作成日時            ", "Created             "};
constexpr BilingualText kUnknown{"不明", "Unknown"};

BilingualText export_mode_name(int mode) noexcept {
  switch (mode) {
    case 0: return {"テーブル", "Table"};
    case 1: return {"ユーザ", "User"};
    case 2: return {"データベース", "Database"};
    default: return kUnknown;
  }
}

std::string dump_kind_line(Language lang, int dump_type) {
  std::string line;
  switch (dump_type) {
    case kDumpConventional:
      return line.append(kFileType.in(lang)).append(lang == Language::kJapanese ? "エクスポート" : "Export");
    case kDumpDirect:
      return line.append(kDumpType.in(lang))
          .append(BilingualText{"ダイレクトモード・エクスポート", "Direct-path export"}.in(lang));
    case kDumpDataPump:
      return line.append(kDumpType.in(lang)).append(BilingualText{"データポンプ", "Data Pump"}.in(lang));
    default:
      return line.append(kFileType.in(lang)).append(kUnknown.in(lang));
  }
}

class PropertyWriter {
 public:
  explicit PropertyWriter(int os_charset) : os_charset_(os_charset) {}

  // `label` is UTF-8 and is printed in the user's set; `value` is printed
  // as the header gave it.
  void line(std::string_view label, std::string_view value = {}) {
    text_ += utf8_to_os_charset(cv_, os_charset_, label);
    text_ += value;
    text_ += '\n';
  }
  void label_line(std::string_view label, std::string_view utf8_value) {
    std::string full(label);
    full += utf8_value;
    line(full);
  }
  std::string take() { return std::move(text_); }

 private:
  int os_charset_;
  CharsetConverter cv_;
  std::string text_;
};

}  // namespace

std::string format_properties(const GlobalParams& g, const ConvOptions& o) {
  const Language lang = g.language;
  PropertyWriter w(g.os_charset);
  w.line(dump_kind_line(lang, o.dump_type));
  const bool data_pump = o.dump_type == kDumpDataPump;
  if (!data_pump) w.label_line(kExportMode.in(lang), export_mode_name(o.exp_mode).in(lang));
  w.line(kVersion.in(lang), o.exp_version_str);
  w.line(kUser.in(lang), o.exp_user);
  w.label_line(kCharset.in(lang), charset_display_name(g.db_charset));
  w.label_line(kNlsCharset.in(lang), charset_display_name(g.nls_charset));
  if (!data_pump) w.line(kCreated.in(lang), o.exp_date);
  return w.take();
}

int print_properties(const GlobalParams& g, const ConvOptions& o, std::FILE* stream) {
  if (stream == nullptr) return -1;
  const std::string text = format_properties(g, o);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) return -1;
  return std::fflush(stream) == 0 ? 0 : -1;
}

}  // namespace qln
