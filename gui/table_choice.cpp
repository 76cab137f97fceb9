#include "gui/table_choice.hpp"

#include "core/global_params.hpp"
#include "sql/sql_text.hpp"

namespace qln::gui {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string upper_outside_quotes(std::string text) {
  GlobalParams g;
  g.os_charset = kCharsetUtf8;  // the windowed program keeps UTF-8
  std::string folded = text;
  // An open quote: what the user typed so far is still a prefix of a name,
  // so everything is folded rather than nothing.
  if (fold_upper_outside_quotes(g, folded) != 0) {
    for (char& c : text)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
  }
  return folded;
}

}  // namespace

std::string filter_key(std::string_view typed) { return upper_outside_quotes(std::string(trimmed(typed))); }

std::vector<TableRow> table_rows(const std::vector<TableListEntry>& tables, std::string_view typed) {
  const std::string key = filter_key(typed);
  std::vector<TableRow> rows;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const TableListEntry& e = tables[i];
    std::int64_t count = e.rows;
    const bool is_partition = e.name.starts_with('+');
    if (!is_partition && i + 1 < tables.size() && tables[i + 1].name.starts_with('+')) {
      count = 0;
      for (std::size_t p = i + 1; p < tables.size() && tables[p].name.starts_with('+'); ++p)
        count += tables[p].rows;
    }
    if (!upper_outside_quotes(e.name).starts_with(key)) continue;
    rows.push_back({i, e.name, count});
  }
  return rows;
}

std::vector<std::string> chosen_columns(const std::vector<ColumnDef>& columns, const std::vector<bool>& checked) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < columns.size() && i < checked.size(); ++i)
    if (checked[i]) names.push_back(columns[i].name);
  return names;
}

}  // namespace qln::gui
