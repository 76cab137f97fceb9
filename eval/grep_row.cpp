#include "eval/grep_row.hpp"

namespace qln {

int grep_row(std::span<const SqlValue> values, std::string_view keyword, int& selected) {
  selected = keyword.empty() ? 0 : -1;
  if (selected == 0) return 0;
  for (const SqlValue& v : values) {
    if (v.type != VT_TEXT && v.type != VT_BYTES) continue;
    if (v.is_error()) continue;
    std::string_view text = v.view();
    if (text.find(keyword) != std::string_view::npos) {
      selected = 0;
      return 0;
    }
  }
  return 0;
}

}  // namespace qln
