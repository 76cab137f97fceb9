#pragma once
// What the dialog procedures share: the state pointer, control texts,
// list views and message boxes.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>

#include "core/language.hpp"
#include "gui/dialog_choices.hpp"
#include "gui/win/dialogs.hpp"
#include "gui/win/wide.hpp"

namespace qln::gui::win {

// The dialog's state object, handed over with WM_INITDIALOG.
template <class State>
State* state_of(HWND dialog, UINT message, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
  return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Ends a modal dialog with its result; TRUE, as a dialog procedure answers.
inline INT_PTR end_dialog(HWND dialog, DialogResult result) {
  EndDialog(dialog, static_cast<INT_PTR>(result));
  return TRUE;
}

inline std::string control_text(HWND dialog, int id) {
  const HWND c = GetDlgItem(dialog, id);
  std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
  w.resize(static_cast<std::size_t>(GetWindowTextW(c, w.data(), static_cast<int>(w.size()))));
  return narrow(w);
}

inline void set_control_text(HWND dialog, int id, std::string_view utf8) {
  SetDlgItemTextW(dialog, id, widen(utf8).c_str());
}

inline bool is_checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

inline void add_list_column(HWND list, int index, const wchar_t* title, int width, int format = LVCFMT_LEFT) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
  c.fmt = format;
  c.pszText = const_cast<wchar_t*>(title);
  c.cx = width;
  c.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
}

// Row `row`'s cell `column`: a new row for column 0, else a cell of it.
inline void set_list_cell(HWND list, int row, int column, std::string_view utf8) {
  std::wstring w = widen(utf8);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = w.data();
  SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

inline int chosen_row(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

inline bool row_checked(HWND list, int row) {
  return ((SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
}

inline void check_row(HWND list, int row, bool checked) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

inline int ask(HWND dialog, std::string_view utf8, UINT style) {
  return MessageBoxW(dialog, widen(utf8).c_str(), L"Quillon", style);
}

inline void show_message(HWND dialog, int code, std::string_view text = {}) {
  ask(dialog, numbered_message(code, text, detect_language()), MB_OK | MB_ICONEXCLAMATION);
}

// The module holding the dialog templates: the program's own.
inline HINSTANCE resources() { return GetModuleHandleW(nullptr); }

inline DialogResult run_dialog(const wchar_t* name, HWND owner, DLGPROC procedure, void* state) {
  const INT_PTR r = DialogBoxParamW(resources(), name, owner, procedure, reinterpret_cast<LPARAM>(state));
  return r <= 0 ? DialogResult::kCancel : static_cast<DialogResult>(r);
}

}  // namespace qln::gui::win
