#include "gui/progress.hpp"

#include <algorithm>

namespace qln::gui {

std::string_view progress_status_text(ProgressTask task) {
  switch (task) {
    case ProgressTask::kTableList: return "　　　ダンプファイルテーブル取得中";
    case ProgressTask::kDdl: return "　　    ダンプファイルDDL抽出中";
    case ProgressTask::kLobFiles: return "　　     バイナリカラム出力中";
    case ProgressTask::kCsv: break;
  }
  return "　　　　ダンプファイルCSV変換中";
}

std::string shortened_file_name(std::string_view path, std::size_t limit) {
  // Character starts, counted from the end.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if ((static_cast<unsigned char>(path[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  if (starts.size() <= limit) return std::string(path);
  const std::size_t keep = limit > 3 ? limit - 3 : 0;
  return "..." + std::string(path.substr(starts[starts.size() - keep]));
}

void update_progress(ProgressView& view, const ReadProgress& progress) {
  const bool first = view.percent < 0;
  view.file_line_changed = first || progress.volume != view.volume;
  view.volume = progress.volume;
  int percent = 0;
  if (progress.total_bytes > 0) {
    const std::int64_t p = progress.bytes_read * 100 / progress.total_bytes;
    percent = static_cast<int>(std::clamp<std::int64_t>(p, 0, 100));
  }
  view.bar_changed = first || percent > view.percent;
  if (view.bar_changed) view.percent = std::max(percent, view.percent);
}

}  // namespace qln::gui
