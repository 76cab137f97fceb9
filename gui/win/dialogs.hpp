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
  std::vector<std::string> columns;
};

// Reads the columns of one table (a second pass over the dump, with
// progress); false when that read failed.
using ColumnLoader = std::function<bool(const std::string& table, std::vector<ColumnDef>& columns)>;

DialogResult choose_table(HWND owner, const std::vector<TableListEntry>& tables, bool insert_output,
                          const ColumnLoader& load_columns, TableChoice& choice);
// Edits settings.conditions (and the condition file they were loaded from).
DialogResult edit_where(HWND owner, Settings& settings);
DialogResult choose_ddl_kinds(HWND owner, std::uint8_t& kinds);
DialogResult choose_dbms(HWND owner, int& dbms_type);
// Edits settings.lob_table, lob_column, lob_file and lob_dir.
DialogResult edit_binary_output(HWND owner, Settings& settings);
void show_properties(HWND owner, const DumpInfo& dump);

}  // namespace qln::gui::win
