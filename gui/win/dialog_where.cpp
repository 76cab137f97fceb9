#include "gui/win/dialogs.hpp"

#include <commdlg.h>

#include "gui/where_editor.hpp"
#include "gui/win/dialog_support.hpp"

namespace qln::gui::win {
namespace {

namespace id = dialog_id;

constexpr BilingualText kLeaveUnsaved{"編集内容を保存せずに終了しますか？", "Finish without saving the edits?"};

struct WhereState {
  Settings& settings;
  std::string& condition_file;
  WhereEditor editor;
};

HWND list_of(HWND dialog) { return GetDlgItem(dialog, id::kTableList); }

void fill(HWND dialog, const WhereEditor& e) {
  const HWND list = list_of(dialog);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < static_cast<int>(e.entries().size()); ++i) {
    const TableCondition& c = e.entries()[static_cast<std::size_t>(i)];
    set_list_cell(list, i, 0, "");
    set_list_cell(list, i, 1, c.table);
    set_list_cell(list, i, 2, c.where);
    set_list_cell(list, i, 3, c.columns);
    check_row(list, i, c.selected);
  }
}

void store_checks(HWND dialog, WhereEditor& e) {
  for (std::size_t i = 0; i < e.entries().size(); ++i) e.set_checked(i, row_checked(list_of(dialog), static_cast<int>(i)));
}

void browse(HWND dialog, WhereState& st) {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW of{};
  of.lStructSize = sizeof of;
  of.hwndOwner = dialog;
  of.lpstrFilter = L"All files(*.*)\0*.*\0";
  of.lpstrFile = path;
  of.nMaxFile = MAX_PATH;
  of.lpstrTitle = L"Quillon 検索条件パラメータファイル";
  of.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&of)) return;
  const std::string file = narrow(path);
  if (st.editor.load(file) != 0) {
    show_message(dialog, 3010, file);
    return;
  }
  SetDlgItemTextW(dialog, id::kConditionFile, path);
  fill(dialog, st.editor);
}

void add(HWND dialog, WhereState& st) {
  store_checks(dialog, st.editor);
  const std::string table = control_text(dialog, id::kTableName);
  const AddResult r =
      st.editor.add(table, control_text(dialog, id::kWhereText), control_text(dialog, id::kColumnText));
  if (r == AddResult::kTooLong) show_message(dialog, code_number(MessageCode::kWhereEntryTooLong), table);
  if (r != AddResult::kAdded) return;
  fill(dialog, st.editor);
  for (int c : {id::kTableName, id::kWhereText, id::kColumnText}) SetDlgItemTextW(dialog, c, L"");
}

void take(HWND dialog, WhereState& st) {
  const int row = chosen_row(list_of(dialog));
  if (row < 0 || row >= static_cast<int>(st.editor.entries().size())) return;
  store_checks(dialog, st.editor);
  const TableCondition c = st.editor.take(static_cast<std::size_t>(row));
  set_control_text(dialog, id::kTableName, c.table);
  set_control_text(dialog, id::kWhereText, c.where);
  set_control_text(dialog, id::kColumnText, c.columns);
  fill(dialog, st.editor);
}

void save(HWND dialog, WhereState& st) {
  const std::string path = control_text(dialog, id::kConditionFile);
  if (path.empty() || widen(path).size() > kMaxPath) return;
  store_checks(dialog, st.editor);
  if (st.editor.save(path, st.settings) != 0) {
    show_message(dialog, code_number(MessageCode::kFileWrite), path);
    return;
  }
  st.settings.conditions = st.editor.entries();
  st.condition_file = path;
}

bool may_leave(HWND dialog, const WhereState& st) {
  return !st.editor.modified() ||
         ask(dialog, std::string(kLeaveUnsaved.in(detect_language())), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void finish(HWND dialog, WhereState& st) {
  if (!may_leave(dialog, st)) return;
  store_checks(dialog, st.editor);
  if (const auto twice = st.editor.duplicate_checked()) {
    show_message(dialog, code_number(MessageCode::kCheckedTablesTwice), *twice);
    return;
  }
  // Unchecked entries are kept too: they are not converted, but the
  // settings file keeps them for later.
  st.settings.conditions = st.editor.entries();
  st.condition_file = control_text(dialog, id::kConditionFile);
  EndDialog(dialog, static_cast<INT_PTR>(DialogResult::kOk));
}

INT_PTR CALLBACK where_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* st = state_of<WhereState>(dialog, message, lparam);
  if (st == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      const HWND list = list_of(dialog);
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      add_list_column(list, 0, L" ", 20);
      add_list_column(list, 1, L"テーブル名", 225);
      add_list_column(list, 2, L"WHERE条件式", 328);
      add_list_column(list, 3, L"選択カラム", 328);
      SendDlgItemMessageW(dialog, id::kConditionFile, EM_LIMITTEXT, kMaxPath, 0);
      SendDlgItemMessageW(dialog, id::kWhereText, EM_LIMITTEXT, kMaxWhereText, 0);
      SendDlgItemMessageW(dialog, id::kColumnText, EM_LIMITTEXT, kMaxColumnText, 0);
      set_control_text(dialog, id::kConditionFile, st->condition_file);
      fill(dialog, st->editor);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case id::kBrowse: browse(dialog, *st); return TRUE;
        case id::kAdd: add(dialog, *st); return TRUE;
        case id::kTake: take(dialog, *st); return TRUE;
        case id::kSave: save(dialog, *st); return TRUE;
        case id::kWhereOk: finish(dialog, *st); return TRUE;
        case id::kWhereCancel:
        case IDCANCEL:
          if (may_leave(dialog, *st)) EndDialog(dialog, static_cast<INT_PTR>(DialogResult::kCancel));
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      if (may_leave(dialog, *st)) EndDialog(dialog, static_cast<INT_PTR>(DialogResult::kClosed));
      return TRUE;
  }
  return FALSE;
}

}  // namespace

DialogResult edit_where(HWND owner, Settings& settings, std::string& condition_file) {
  WhereState st{settings, condition_file, WhereEditor(settings.conditions)};
  return run_dialog(L"WHEREDLG", owner, where_procedure, &st);
}

}  // namespace qln::gui::win
