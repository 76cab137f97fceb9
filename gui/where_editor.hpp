#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/settings.hpp"

namespace qln::gui {

enum class AddResult { kAdded, kNoTable, kDuplicate, kFull, kTooLong };

// The WHERE-condition dialog's working copy of the per-table conditions:
// what the list shows, kept sorted by table and condition.
class WhereEditor {
 public:
  explicit WhereEditor(std::vector<TableCondition> entries);

  const std::vector<TableCondition>& entries() const { return entries_; }
  bool modified() const { return modified_; }

  // A new, unchecked entry; blanks at both ends removed, the table name
  // upper-cased. The same table and condition (ignoring case) is not added
  // twice, nor more than kMaxConditions entries, nor texts the file cannot keep.
  AddResult add(std::string_view table, std::string_view where, std::string_view columns);
  // Takes an entry out of the list, for editing.
  TableCondition take(std::size_t index);
  void set_checked(std::size_t index, bool checked);
  // A table named by two checked entries (ignoring case), if any.
  std::optional<std::string> duplicate_checked() const;

  // Loads the conditions of a condition file (they replace the list); -1
  // when it cannot be read, the list then unchanged.
  int load(const std::string& path);
  // Writes the conditions into `path` with the other settings of `base`;
  // 0 clears the modified flag, -1 when the file cannot be written.
  int save(const std::string& path, const Settings& base);

 private:
  void sort();
  std::vector<TableCondition> entries_;
  bool modified_ = false;
};

}  // namespace qln::gui
