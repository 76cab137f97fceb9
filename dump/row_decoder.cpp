#include "dump/row_decoder.hpp"

#include <span>

#include "core/messages.hpp"
#include "eval/grep_row.hpp"

namespace qln {

int decode_row(GlobalParams& g, const ConvOptions& o, const RowBuffer& row, RowValues& values,
               bool& rejected) {
  values.clear();
  rejected = false;
  const int ncols = static_cast<int>(o.table.columns.size());
  const unsigned char* p = row.data.data();
  std::size_t at = 0;
  while (at + 2 <= row.used && values.size() < ncols) {
    std::uint16_t len = static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
    at += 2;
    if (len == kNullLength) {
      values.add_null();
      continue;
    }
    if (len > kMaxRowValueLen || at + len > row.used) return fail(g, 3102, "");
    const int queued = g.message_count;
    if (decode_value(g, o, values.size(), std::span<const std::uint8_t>(p + at, len), values) != 0)
      return g.message_count == queued ? fail(g, 4000, "decode_row() decode_value()") : -1;
    at += len;
  }
  for (int col = values.size(); col < ncols; ++col)
    add_placeholder(values, o.table.columns[static_cast<std::size_t>(col)].type, col + 1);

  if (is_on(o.is_grep)) {
    int selected = -1;
    grep_row(std::span<const SqlValue>(values.values.data(), static_cast<std::size_t>(values.size())),
             o.grep_text, selected);
    rejected = !is_on(selected);
  }
  return 0;
}

}  // namespace qln
