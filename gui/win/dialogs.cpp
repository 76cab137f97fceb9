#include "gui/win/dialogs.hpp"

#include <shlobj.h>

#include <array>

#include "gui/table_choice.hpp"
#include "gui/win/dialog_support.hpp"

// The table and column choice, and the four small dialogs; the WHERE editor
// is in dialog_where.cpp.
namespace qln::gui::win {
namespace {

namespace id = dialog_id;

struct ColumnState {
  const std::vector<ColumnDef>& columns;
  std::vector<std::string> chosen;
};

INT_PTR CALLBACK column_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<ColumnState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  const HWND list = GetDlgItem(dialog, id::kColumnList);
  const auto check_all = [&](bool on) {
    for (int i = 0; i < static_cast<int>(st->columns.size()); ++i) check_row(list, i, on);
  };
  switch (message) {
    case WM_INITDIALOG:
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
      add_list_column(list, 0, L" ", 20);
      add_list_column(list, 1, L"選択カラム", 290);
      for (int i = 0; i < static_cast<int>(st->columns.size()); ++i) {
        set_list_cell(list, i, 0, "");
        set_list_cell(list, i, 1, st->columns[static_cast<std::size_t>(i)].name);
      }
      check_all(true);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case id::kSelectAll: check_all(true); return TRUE;
        case id::kClearAll: check_all(false); return TRUE;
        case IDOK: {
          std::vector<bool> checked(st->columns.size());
          for (std::size_t i = 0; i < checked.size(); ++i) checked[i] = row_checked(list, static_cast<int>(i));
          st->chosen = chosen_columns(st->columns, checked);
          // Rows without a single column would be no rows at all.
          if (st->chosen.empty()) {
            show_message(dialog, code_number(MessageCode::kNoColumnChosen));
            return TRUE;
          }
          return end_dialog(dialog, DialogResult::kOk);
        }
        case IDCANCEL: return end_dialog(dialog, DialogResult::kCancel);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

struct TableState {
  const std::vector<TableListEntry>& tables;
  bool insert_output;
  const ColumnLoader& load_columns;
  TableChoice& choice;
  std::vector<TableRow> rows;
};

void fill_tables(HWND dialog, TableState& st) {
  const HWND list = GetDlgItem(dialog, id::kTableList);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  st.rows = table_rows(st.tables, control_text(dialog, id::kNameFilter));
  for (int i = 0; i < static_cast<int>(st.rows.size()); ++i) {
    const TableRow& r = st.rows[static_cast<std::size_t>(i)];
    set_list_cell(list, i, 0, r.name);
    set_list_cell(list, i, 1, std::to_string(r.rows));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

void choose(HWND dialog, TableState& st) {
  const int row = chosen_row(GetDlgItem(dialog, id::kTableList));
  if (row < 0 || row >= static_cast<int>(st.rows.size())) return;
  const TableListEntry& e = st.tables[st.rows[static_cast<std::size_t>(row)].entry];
  if (!is_checked(dialog, id::kChooseColumns)) {
    st.choice = {e.name, e.owner, {}};
    EndDialog(dialog, static_cast<INT_PTR>(DialogResult::kOk));
    return;
  }
  std::vector<ColumnDef> columns;
  if (!st.load_columns || !st.load_columns(e.name, columns)) {
    show_message(dialog, code_number(MessageCode::kProcessing));
    return;
  }
  ColumnState cs{columns, {}};
  if (run_dialog(L"COLUMNDLG", dialog, column_procedure, &cs) != DialogResult::kOk) return;
  st.choice = {e.name, e.owner, std::move(cs.chosen)};
  EndDialog(dialog, static_cast<INT_PTR>(DialogResult::kOkWithColumns));
}

INT_PTR CALLBACK table_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<TableState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      const HWND list = GetDlgItem(dialog, id::kTableList);
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      add_list_column(list, 0, L"テーブル名", 245);
      add_list_column(list, 1, L"件数", 82, LVCFMT_RIGHT);
      fill_tables(dialog, *st);
      if (st->insert_output) EnableWindow(GetDlgItem(dialog, id::kChooseColumns), FALSE);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(lparam);
      if (n->idFrom == id::kTableList && n->code == NM_DBLCLK) choose(dialog, *st);
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case id::kNameFilter:
          if (HIWORD(wparam) == EN_CHANGE) fill_tables(dialog, *st);
          return TRUE;
        case IDOK: choose(dialog, *st); return TRUE;
        case IDCANCEL: return end_dialog(dialog, DialogResult::kCancel);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

struct DdlState {
  std::uint8_t& kinds;
};

INT_PTR CALLBACK ddl_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<DdlState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      for (std::size_t i = 0; i < kDdlBoxBits.size(); ++i)
        CheckDlgButton(dialog, id::kDdlFirst + static_cast<int>(i),
                       (st->kinds & kDdlBoxBits[i]) != 0 ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, id::kDdlAll, st->kinds == kDdlAll ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case id::kDdlAll:
          if (is_checked(dialog, id::kDdlAll))
            for (std::size_t i = 0; i < kDdlBoxBits.size(); ++i)
              CheckDlgButton(dialog, id::kDdlFirst + static_cast<int>(i), BST_CHECKED);
          return TRUE;
        case IDOK: {
          std::array<bool, 8> boxes{};
          for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i] = is_checked(dialog, id::kDdlFirst + static_cast<int>(i));
          st->kinds = ddl_kinds_of(boxes, is_checked(dialog, id::kDdlAll));
          return end_dialog(dialog, DialogResult::kOk);
        }
        case IDCANCEL: return end_dialog(dialog, DialogResult::kCancel);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

struct DbmsState {
  int& dbms_type;
};

INT_PTR CALLBACK dbms_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<DbmsState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  const int last = id::kDbmsFirst + static_cast<int>(kDbmsIds.size()) - 1;
  switch (message) {
    case WM_INITDIALOG: CheckRadioButton(dialog, id::kDbmsFirst, last, id::kDbmsFirst); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          for (std::size_t i = 0; i < kDbmsIds.size(); ++i)
            if (is_checked(dialog, id::kDbmsFirst + static_cast<int>(i))) st->dbms_type = kDbmsIds[i];
          return end_dialog(dialog, DialogResult::kOk);
        case IDCANCEL: return end_dialog(dialog, DialogResult::kCancel);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

struct BinaryState {
  Settings& settings;
};

void browse_folder(HWND dialog) {
  BROWSEINFOW bi{};
  bi.hwndOwner = dialog;
  bi.lpszTitle = L"Quillon バイナリカラムファイル出力フォルダ";
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  struct Com {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Com() {
      if (SUCCEEDED(hr)) CoUninitialize();
    }
  } com;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  if (chosen == nullptr) return;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (!ok) return;
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  SetDlgItemTextW(dialog, id::kLobDir, folder.c_str());
}

INT_PTR CALLBACK binary_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<BinaryState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      const BinaryOutput b = binary_output_of(st->settings);
      set_control_text(dialog, id::kLobTable, b.table);
      set_control_text(dialog, id::kLobColumn, b.column);
      set_control_text(dialog, id::kLobFile, b.file);
      set_control_text(dialog, id::kLobDir, b.dir);
      for (int c : {id::kLobTable, id::kLobColumn, id::kLobFile, id::kLobDir})
        SendDlgItemMessageW(dialog, c, EM_LIMITTEXT, c == id::kLobTable || c == id::kLobColumn ? kMaxTableName : kMaxPath, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case id::kBrowse: browse_folder(dialog); return TRUE;
        case IDOK: {
          const BinaryOutput b{control_text(dialog, id::kLobTable), control_text(dialog, id::kLobColumn),
                               control_text(dialog, id::kLobFile), control_text(dialog, id::kLobDir)};
          ConvOptions parts;
          if (apply_binary_output(b, st->settings, parts) != 0) {
            show_message(dialog, code_number(MessageCode::kNameTooLong), b.file);
            return TRUE;
          }
          return end_dialog(dialog, DialogResult::kOk);
        }
        case IDCANCEL: return end_dialog(dialog, DialogResult::kCancel);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

INT_PTR CALLBACK property_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto* dump = state_of<const DumpInfo>(dialog, message, lparam);
  if (dump == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      const std::array<std::string, 7> texts = property_texts(*dump, detect_language());
      for (std::size_t i = 0; i < texts.size(); ++i)
        set_control_text(dialog, id::kPropertyFirst + static_cast<int>(i), texts[i]);
      SetFocus(GetDlgItem(dialog, id::kPropertyOk));
      return FALSE;
    }
    case WM_COMMAND:
      // A field's text shows nothing chosen: the edits would select all of it.
      if (HIWORD(wparam) == EN_SETFOCUS) {
        SendMessageW(reinterpret_cast<HWND>(lparam), EM_SETSEL, 0, 0);
        return TRUE;
      }
      if (LOWORD(wparam) == id::kPropertyOk || LOWORD(wparam) == IDCANCEL) {
        return end_dialog(dialog, DialogResult::kOk);
      }
      return FALSE;
    case WM_CLOSE: return end_dialog(dialog, DialogResult::kClosed);
  }
  return FALSE;
}

}  // namespace

DialogResult choose_table(HWND owner, const std::vector<TableListEntry>& tables, bool insert_output,
                          const ColumnLoader& load_columns, TableChoice& choice) {
  TableState st{tables, insert_output, load_columns, choice, {}};
  return run_dialog(L"TABLEDLG", owner, table_procedure, &st);
}

DialogResult choose_ddl_kinds(HWND owner, std::uint8_t& kinds) {
  DdlState st{kinds};
  return run_dialog(L"DDLDLG", owner, ddl_procedure, &st);
}

DialogResult choose_dbms(HWND owner, int& dbms_type) {
  DbmsState st{dbms_type};
  return run_dialog(L"SQLDLG", owner, dbms_procedure, &st);
}

DialogResult edit_binary_output(HWND owner, Settings& settings) {
  BinaryState st{settings};
  return run_dialog(L"BINARYDLG", owner, binary_procedure, &st);
}

void show_properties(HWND owner, const DumpInfo& dump) {
  run_dialog(L"PROPERTYDLG", owner, property_procedure, const_cast<DumpInfo*>(&dump));
}

}  // namespace qln::gui::win
