#include "gui/win/dialogs.hpp"

// Placeholders until the dialog templates exist: every dialog is cancelled.
namespace qln::gui::win {

DialogResult choose_table(HWND, const std::vector<TableListEntry>&, bool, const ColumnLoader&, TableChoice&) {
  return DialogResult::kCancel;
}
DialogResult edit_where(HWND, Settings&) { return DialogResult::kCancel; }
DialogResult choose_ddl_kinds(HWND, std::uint8_t&) { return DialogResult::kCancel; }
DialogResult choose_dbms(HWND, int&) { return DialogResult::kCancel; }
DialogResult edit_binary_output(HWND, Settings&) { return DialogResult::kCancel; }
void show_properties(HWND, const DumpInfo&) {}

}  // namespace qln::gui::win
