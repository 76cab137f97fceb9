#include "dump/properties.hpp"

#include <string_view>
#include <utility>

#include "values/charset.hpp"

namespace qln {
namespace {

std::string_view export_mode_name(int mode) noexcept {
  switch (mode) {
    case 0: return "テーブル";
    case 1: return "ユーザ";
    case 2: return "データベース";
    default: return "不明";
  }
}

std::string_view dump_kind_line(int dump_type) noexcept {
  switch (dump_type) {
    case kDumpConventional: return "ファイル種別        エクスポート";
    case kDumpDirect: return "ダンプ種別          ダイレクトモード・エクスポート";
    case kDumpDataPump: return "ダンプ種別          データポンプ";
    default: return "ファイル種別        不明";
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
  PropertyWriter w(g.os_charset);
  w.line(dump_kind_line(o.dump_type));
  const bool data_pump = o.dump_type == kDumpDataPump;
  if (!data_pump) w.label_line("エクスポートモード  ", export_mode_name(o.exp_mode));
  w.line("Oracleバージョン    ", o.exp_version_str);
  w.line("ユーザ名            ", o.exp_user);
  w.label_line("キャラクタセット    ", charset_display_name(g.db_charset));
  if (!data_pump) {
    w.label_line("NLSキャラクタセット ", charset_display_name(g.nls_charset));
    w.line("作成日時            ", o.exp_date);
  }
  return w.take();
}

int print_properties(const GlobalParams& g, const ConvOptions& o, std::FILE* stream) {
  if (stream == nullptr) return -1;
  const std::string text = format_properties(g, o);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) return -1;
  return std::fflush(stream) == 0 ? 0 : -1;
}

}  // namespace qln
