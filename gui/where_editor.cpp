#include "gui/where_editor.hpp"

#include <algorithm>

#include "gui/table_choice.hpp"

namespace qln::gui {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The settings file keeps a condition on one line.
std::string one_line(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    out += (s[i] == '\r' || s[i] == '\n') ? ' ' : s[i];
  }
  return out;
}

}  // namespace

WhereEditor::WhereEditor(std::vector<TableCondition> entries) : entries_(std::move(entries)) { sort(); }

void WhereEditor::sort() {
  std::stable_sort(entries_.begin(), entries_.end(), [](const TableCondition& a, const TableCondition& b) {
    const std::string ua = upper(a.table), ub = upper(b.table);
    return ua != ub ? ua < ub : a.where < b.where;
  });
}

AddResult WhereEditor::add(std::string_view table, std::string_view where, std::string_view columns) {
  TableCondition e;
  e.table = filter_key(table);
  e.where = one_line(trimmed(where));
  e.columns = upper(one_line(trimmed(columns)));
  e.selected = false;
  if (e.table.empty()) return AddResult::kNoTable;
  for (const TableCondition& c : entries_)
    if (upper(c.table) == e.table && upper(c.where) == upper(e.where)) return AddResult::kDuplicate;
  if (entries_.size() >= kMaxConditions) return AddResult::kFull;
  if (e.table.size() > kMaxTableName || e.where.size() > kMaxWhereText || e.columns.size() > kMaxColumnText)
    return AddResult::kTooLong;
  entries_.push_back(std::move(e));
  sort();
  modified_ = true;
  return AddResult::kAdded;
}

TableCondition WhereEditor::take(std::size_t index) {
  TableCondition e = std::move(entries_.at(index));
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  modified_ = true;
  return e;
}

void WhereEditor::set_checked(std::size_t index, bool checked) { entries_.at(index).selected = checked; }

std::optional<std::string> WhereEditor::duplicate_checked() const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    for (std::size_t j = i + 1; j < entries_.size(); ++j)
      if (entries_[i].selected && entries_[j].selected && upper(entries_[i].table) == upper(entries_[j].table))
        return entries_[i].table;
  return std::nullopt;
}

int WhereEditor::load(const std::string& path) {
  Settings read;
  if (read_settings(read, path, true) != 0) return -1;
  entries_ = std::move(read.conditions);
  sort();
  modified_ = false;
  return 0;
}

int WhereEditor::save(const std::string& path, const Settings& base) {
  Settings s = base;
  s.conditions = entries_;
  if (write_settings(s, path, true, true) != 0) return -1;
  modified_ = false;
  return 0;
}

}  // namespace qln::gui
