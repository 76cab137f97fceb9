#pragma once
// The seven modal dialogs the main window opens. Each is a dialog template
// of the program's resources; each returns how it ended.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/conversion.hpp"
#include "gui/settings.hpp"

namespace qln::gui::win {

enum class DialogResult : int {
  kOpen = 0,
  kOk = 1,
  kOkWithColumns = 2,  // the table dialog, after the column choice too
  kCancel = 3,
  kClosed = 4,  // the window's close box
};

// The table the user chose, and with kOkWithColumns the columns checked.
struct TableChoice {
  std::string table;  // a table name, or "+" and a partition name
  std::string owner;  // the entry's owner as the engine listed it
  std::vector<std::string> columns;
};

// Reads the columns of one table (a second pass over the dump, with
// progress); false when that read failed.
using ColumnLoader = std::function<bool(const std::string& table, std::vector<ColumnDef>& columns)>;

DialogResult choose_table(HWND owner, const std::vector<TableListEntry>& tables, bool insert_output,
                          const ColumnLoader& load_columns, TableChoice& choice);
// Edits settings.conditions and the condition file they were loaded from or
// saved to (shown, loaded and saved by the dialog).
DialogResult edit_where(HWND owner, Settings& settings, std::string& condition_file);
DialogResult choose_ddl_kinds(HWND owner, std::uint8_t& kinds);
DialogResult choose_dbms(HWND owner, int& dbms_type);
// Edits settings.lob_table, lob_column, lob_file and lob_dir.
DialogResult edit_binary_output(HWND owner, Settings& settings);
void show_properties(HWND owner, const DumpInfo& dump);

// Control ids of the dialog templates (dialogs.rc).
namespace dialog_id {
inline constexpr int kLabel = 301, kNameFilter = 363, kTableList = 382, kChooseColumns = 391;
inline constexpr int kColumnList = 383, kSelectAll = 208, kClearAll = 209;
inline constexpr int kConditionFile = 361, kBrowse = 202, kSave = 207, kAdd = 203, kTake = 204;
inline constexpr int kTableName = 362, kWhereText = 363, kColumnText = 364, kWhereCancel = 298, kWhereOk = 299;
inline constexpr int kDdlFirst = 391, kDdlAll = 399;
inline constexpr int kDbmsGroup = 301, kDbmsFirst = 311;
inline constexpr int kLobTable = 361, kLobColumn = 362, kLobFile = 363, kLobDir = 364;
inline constexpr int kPropertyFirst = 361, kPropertyOk = 299;
}  // namespace dialog_id

}  // namespace qln::gui::win
