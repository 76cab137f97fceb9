#include "engine/row_decoder.hpp"

#include <span>

#include "core/messages.hpp"
#include "eval/grep_row.hpp"

namespace qln {

namespace {

// The values of `row` in the order they come, each decoded as the table
// column `col_of(position)`.
template <typename ColOf, typename Wanted>
int decode_values(GlobalParams& g, const ConvOptions& o, std::span<const unsigned char> row,
                  RowValues& values, int count, ColOf col_of, Wanted wanted) {
  const unsigned char* p = row.data();
  const std::size_t used = row.size();
  std::size_t at = 0;
  while (at + 2 <= used && values.size() < count) {
    std::uint16_t len = static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
    at += 2;
    if (len == kNullLength) {
      values.add_null();
      continue;
    }
    if (len > kMaxRowValueLen || at + len > used) return fail(g, MessageCode::kDumpFormat);
    if (!wanted(values.size())) {
      values.add_null();
      at += len;
      continue;
    }
    const int queued = g.message_count;
    if (decode_value(g, o, col_of(values.size()), std::span<const std::uint8_t>(p + at, len),
                     values) != 0)
      return g.message_count == queued ? fail(g, MessageCode::kInternal, "decode_row() decode_value()") : -1;
    at += len;
  }
  return 0;
}

}  // namespace

int decode_row(GlobalParams& g, const ConvOptions& o, const RowBuffer& row, RowValues& values,
               bool& rejected, DataColumns* columns) {
  return decode_row(g, o, std::span<const unsigned char>(row.data.data(), row.used), values,
                    rejected, columns);
}

int decode_row(GlobalParams& g, const ConvOptions& o, std::span<const unsigned char> row,
               RowValues& values, bool& rejected, DataColumns* columns) {
  values.clear();
  rejected = false;
  const int ncols = static_cast<int>(o.table.columns.size());
  if (columns == nullptr || columns->table_col.empty()) {
    if (decode_values(g, o, row, values, ncols, [](int i) { return i; }, [](int) { return true; }) != 0)
      return -1;
    for (int col = values.size(); col < ncols; ++col)
      add_placeholder(values, o.table.columns[static_cast<std::size_t>(col)].type, col + 1);
  } else {
    RowValues& data = columns->scratch;
    data.clear();
    const auto& table_col = columns->table_col;
    if (decode_values(g, o, row, data, static_cast<int>(table_col.size()),
                      [&](int i) { return table_col[static_cast<std::size_t>(i)]; },
                      [](int) { return true; }) != 0)
      return -1;
    for (int col = 0; col < ncols; ++col) {
      const int at = columns->data_pos[static_cast<std::size_t>(col)];
      if (at >= 0 && at < data.size()) {
        std::swap(values.next(), data[at]);
      } else {
        add_placeholder(values, o.table.columns[static_cast<std::size_t>(col)].type, col + 1);
      }
    }
  }

  if (is_on(o.is_grep)) {
    int selected = -1;
    grep_row(std::span<const SqlValue>(values.values.data(), static_cast<std::size_t>(values.size())),
             o.grep_text, selected);
    rejected = !is_on(selected);
  }
  return 0;
}

int decode_row_columns(GlobalParams& g, const ConvOptions& o, std::span<const unsigned char> row,
                       RowValues& values, const std::vector<char>& wanted) {
  values.clear();
  const int ncols = static_cast<int>(o.table.columns.size());
  auto is_wanted = [&](int i) { return static_cast<std::size_t>(i) < wanted.size() && wanted[static_cast<std::size_t>(i)]; };
  if (decode_values(g, o, row, values, ncols, [](int i) { return i; }, is_wanted) != 0) return -1;
  for (int col = values.size(); col < ncols; ++col) values.add_null();
  return 0;
}

}  // namespace qln
