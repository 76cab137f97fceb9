#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dump/format_reader.hpp"

namespace qln::gui {

enum class ProgressTask : std::uint8_t { kTableList, kDdl, kLobFiles, kCsv };

// The status line's text (UTF-8) for what the run does.
std::string_view progress_status_text(ProgressTask task);

// A dump file's name as the file line shows it: at most `limit` characters,
// a longer one keeps its tail behind "...". UTF-8 characters stay whole.
std::string shortened_file_name(std::string_view path, std::size_t limit = 110);

// What the progress window shows, worked out from the reader's reports.
struct ProgressView {
  int percent = -1;             // -1: nothing shown yet
  int volume = -1;              // the volume whose name is shown
  bool file_line_changed = false;
  bool bar_changed = false;
};

// Takes one report in: percent of all volumes' bytes, and whether the file
// line or the bar must be redrawn. The bar never moves back.
void update_progress(ProgressView& view, const ReadProgress& progress);

}  // namespace qln::gui
