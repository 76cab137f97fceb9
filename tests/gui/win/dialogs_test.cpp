// The dialogs driven by messages from a second thread while the test's
// thread runs them modally, as the main window does; a PNG of each is left
// in the build folder.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "engine/conversion.hpp"
#include "gui/dialog_choices.hpp"
#include "gui/win/dialogs.hpp"
#include "gui/win/wide.hpp"
#include "gui/win/window_test_support.hpp"

namespace qln::gui::win {
namespace {

namespace id = dialog_id;

// --- small helpers until the window tests share theirs ---

HWND wait_dialog(const wchar_t* title) {
  for (int i = 0; i < 600; ++i) {  // a fresh wine prefix is slow at first
    if (HWND w = FindWindowW(L"#32770", title); w != nullptr && IsWindowVisible(w)) {
      Sleep(200);  // let it paint
      return w;
    }
    Sleep(50);
  }
  return nullptr;
}

std::wstring text_of(HWND dialog, int control) {
  wchar_t buf[4096] = {};
  GetDlgItemTextW(dialog, control, buf, 4096);
  return buf;
}

int rows_of(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring cell(HWND list, int row, int column) {
  wchar_t buf[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buf;
}

bool checked(HWND list, int row) {
  return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void set_row(HWND list, int row, UINT mask, UINT state) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
void check(HWND list, int row, bool on) { set_row(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(on ? 2 : 1)); }
void select(HWND list, int row) { set_row(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }

// A click the dialog handles on its own thread: never waits for it, so a
// nested dialog or message box does not hold the driver.
void press(HWND dialog, int control) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

// A message box of `owner`'s thread: its texts, then closed with `answer`.
std::wstring answer_box(HWND owner, int answer) {
  struct Find {
    HWND owner, box = nullptr;
  } f{owner};
  for (int i = 0; i < 200 && f.box == nullptr; ++i) {
    Sleep(50);
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), [](HWND w, LPARAM p) -> BOOL {
      auto* f = reinterpret_cast<Find*>(p);
      wchar_t cls[16] = {};
      GetClassNameW(w, cls, 16);
      if (w != f->owner && IsWindowVisible(w) && std::wstring(cls) == L"#32770") f->box = w;
      return f->box == nullptr;
    }, reinterpret_cast<LPARAM>(&f));
  }
  if (f.box == nullptr) return L"(no message box)";
  std::wstring text;
  EnumChildWindows(f.box, [](HWND c, LPARAM p) -> BOOL {
    wchar_t buf[1024] = {};
    GetWindowTextW(c, buf, 1024);
    *reinterpret_cast<std::wstring*>(p) += std::wstring(buf) + L"|";
    return TRUE;
  }, reinterpret_cast<LPARAM>(&text));
  PostMessageW(f.box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  for (int i = 0; i < 100 && IsWindow(f.box); ++i) Sleep(20);
  return text;
}

void screenshot(HWND window, const std::string& name) {
  test_gui::save_client_png(window, std::filesystem::path(QLN_BINARY_DIR) / name);
}

// Runs `driver` on its own thread while `open` shows a dialog here.
template <class Open>
auto drive(Open open, const std::function<void()>& driver) {
  std::thread t(driver);
  auto r = open();
  t.join();
  return r;
}

const std::string kDump = std::string(QLN_DUMPS_DIR) + "/alphaoffice.dmp";

Results read_dump(Job job, const std::string& table = {}) {
  Request r;
  r.volumes = {kDump};
  r.job = job;
  r.out_file = "NUL";
  if (!table.empty()) r.table = TableSelector::named(table);
  Results res;
  EXPECT_TRUE(run_conversion(r, res).ok());
  return res;
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kDump)) GTEST_SKIP() << "skipped: no " << kDump;
    _wputenv(L"QLN_LANG=ja");
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
  }
};

TEST_F(Dialogs, TableFilterChoiceAndColumns) {
  const std::vector<TableListEntry> tables = read_dump(Job::kListTables).tables;
  std::vector<std::string> loaded;
  const ColumnLoader loader = [&](const std::string& table, std::vector<ColumnDef>& columns) {
    columns = read_dump(Job::kDescribeTable, table).table.columns;
    for (const ColumnDef& c : columns) loaded.push_back(c.name);
    return !columns.empty();
  };
  TableChoice choice;
  DialogResult r = drive([&] { return choose_table(nullptr, tables, false, loader, choice); }, [&] {
    HWND d = wait_dialog(L"Quillon テーブル選択");
    ASSERT_NE(d, nullptr);
    HWND list = GetDlgItem(d, id::kTableList);
    EXPECT_EQ(rows_of(list), 19);
    SetDlgItemTextW(d, id::kNameFilter, L"sales_order");
    ASSERT_EQ(rows_of(list), 2);
    EXPECT_EQ(cell(list, 0, 0), L"SALES_ORDER_HEADER");
    EXPECT_EQ(cell(list, 1, 1), L"21456");
    SetDlgItemTextW(d, id::kNameFilter, L"Addr");
    ASSERT_EQ(rows_of(list), 2);
    select(list, 1);
    CheckDlgButton(d, id::kChooseColumns, BST_CHECKED);
    Sleep(200);
    screenshot(d, "dialog-table.png");
    press(d, IDOK);
    HWND c = wait_dialog(L"Quillon カラム選択");
    ASSERT_NE(c, nullptr);
    HWND cols = GetDlgItem(c, id::kColumnList);
    ASSERT_GE(rows_of(cols), 3);
    EXPECT_TRUE(checked(cols, 0) && checked(cols, rows_of(cols) - 1)) << "all columns checked at first";
    SendMessageW(c, WM_COMMAND, id::kClearAll, 0);
    EXPECT_FALSE(checked(cols, 0));
    check(cols, 0, true);
    check(cols, 2, true);
    Sleep(200);
    screenshot(c, "dialog-column.png");
    press(c, IDOK);
  });
  EXPECT_EQ(r, DialogResult::kOkWithColumns);
  EXPECT_EQ(choice.table, "ADDRESS_USAGES");
  ASSERT_GE(loaded.size(), 3u);
  EXPECT_EQ(choice.columns, (std::vector<std::string>{loaded[0], loaded[2]}));

  // INSERT output: no column choice; the close box and Cancel say so.
  r = drive([&] { return choose_table(nullptr, tables, true, loader, choice); }, [&] {
    HWND d = wait_dialog(L"Quillon テーブル選択");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, id::kChooseColumns)));
    press(d, IDOK);  // no row chosen: stays open
    Sleep(200);
    EXPECT_TRUE(IsWindow(d));
    PostMessageW(d, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(r, DialogResult::kClosed);
  r = drive([&] { return choose_table(nullptr, tables, true, loader, choice); }, [&] {
    HWND d = wait_dialog(L"Quillon テーブル選択");
    ASSERT_NE(d, nullptr);
    SetDlgItemTextW(d, id::kNameFilter, L"ORDERS");
    select(GetDlgItem(d, id::kTableList), 0);
    NMHDR dbl{GetDlgItem(d, id::kTableList), static_cast<UINT_PTR>(id::kTableList), static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(d, WM_NOTIFY, id::kTableList, reinterpret_cast<LPARAM>(&dbl));
  });
  EXPECT_EQ(r, DialogResult::kOk);
  EXPECT_EQ(choice.table, "ORDERS");
  EXPECT_TRUE(choice.columns.empty());
}

TEST_F(Dialogs, WhereEditorAddsTakesRefusesDuplicatesAndSaves) {
  Settings s;
  s.conditions = {{"EMP", "SAL > 1", "", true}};
  std::string file;
  const std::string saved = std::string(QLN_BINARY_DIR) + "/dialog-conditions.ini";
  std::filesystem::remove(saved);
  std::string backslashed = saved;
  for (char& c : backslashed) c = c == '/' ? '\\' : c;
  const DialogResult r = drive([&] { return edit_where(nullptr, s, file); }, [&] {
    HWND d = wait_dialog(L"Quillon WHERE条件式");
    ASSERT_NE(d, nullptr);
    HWND list = GetDlgItem(d, id::kTableList);
    ASSERT_EQ(rows_of(list), 1);
    EXPECT_TRUE(checked(list, 0));
    const auto add = [&](const wchar_t* t, const wchar_t* w, const wchar_t* c) {
      SetDlgItemTextW(d, id::kTableName, t);
      SetDlgItemTextW(d, id::kWhereText, w);
      SetDlgItemTextW(d, id::kColumnText, c);
      SendMessageW(d, WM_COMMAND, id::kAdd, 0);
    };
    add(L"addresses", L"CITY = 'San Francisco'", L"address_id, city");
    ASSERT_EQ(rows_of(list), 2);
    EXPECT_EQ(cell(list, 0, 1), L"ADDRESSES");
    EXPECT_EQ(cell(list, 0, 3), L"ADDRESS_ID, CITY");
    EXPECT_FALSE(checked(list, 0));
    EXPECT_EQ(text_of(d, id::kTableName), L"");
    add(L"Addresses", L"city = 'san francisco'", L"");
    EXPECT_EQ(rows_of(list), 2) << "the same table and condition again";
    add(L"emp", L"SAL > 2", L"");
    ASSERT_EQ(rows_of(list), 3);
    select(list, 2);
    SendMessageW(d, WM_COMMAND, id::kTake, 0);
    EXPECT_EQ(rows_of(list), 2);
    EXPECT_EQ(text_of(d, id::kWhereText), L"SAL > 2");
    SendMessageW(d, WM_COMMAND, id::kAdd, 0);
    ASSERT_EQ(rows_of(list), 3);

    // Two checked entries of EMP: refused, the dialog stays.
    check(list, 1, true);
    check(list, 2, true);
    press(d, id::kWhereOk);
    EXPECT_NE(answer_box(d, IDYES).find(L"保存"), std::wstring::npos) << "asks before leaving unsaved";
    EXPECT_NE(answer_box(d, IDOK).find(L"ZUL-03180"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(d));

    check(list, 2, false);
    SetDlgItemTextW(d, id::kConditionFile, widen(saved).c_str());
    press(d, id::kSave);
    for (int i = 0; i < 100 && !std::filesystem::exists(saved); ++i) Sleep(50);
    Sleep(200);
    screenshot(d, "dialog-where.png");

    // Taken out, then loaded back from the file through the open-file dialog.
    select(list, 0);
    SendMessageW(d, WM_COMMAND, id::kTake, 0);
    ASSERT_EQ(rows_of(list), 2);
    SetDlgItemTextW(d, id::kConditionFile, L"");
    press(d, id::kBrowse);
    HWND open = wait_dialog(L"Quillon 検索条件パラメータファイル");
    ASSERT_NE(open, nullptr);
    // The file name: the edit inside the dialog's name box.
    HWND name = nullptr;
    EnumChildWindows(open, [](HWND c, LPARAM p) -> BOOL {
      wchar_t cls[16] = {};
      GetClassNameW(c, cls, 16);
      if (GetDlgCtrlID(c) == 0x47C && std::wstring(cls) == L"Edit") *reinterpret_cast<HWND*>(p) = c;
      return TRUE;
    }, reinterpret_cast<LPARAM>(&name));
    ASSERT_NE(name, nullptr);
    SetWindowTextW(name, widen(backslashed).c_str());
    PostMessageW(open, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(open); ++i) Sleep(50);
    if (IsWindow(open)) ADD_FAILURE() << "the open-file dialog did not take the name", press(open, IDCANCEL);
    for (int i = 0; i < 100 && rows_of(list) != 3; ++i) Sleep(50);
    EXPECT_EQ(rows_of(list), 3);
    EXPECT_EQ(cell(list, 0, 1), L"ADDRESSES");
    EXPECT_EQ(text_of(d, id::kConditionFile), widen(backslashed));
    press(d, id::kWhereOk);  // loaded: nothing unsaved
  });
  EXPECT_EQ(r, DialogResult::kOk);
  EXPECT_EQ(file, backslashed) << "the file the conditions were loaded from";
  ASSERT_EQ(s.conditions.size(), 3u);
  EXPECT_EQ(s.conditions[0], (TableCondition{"ADDRESSES", "CITY = 'San Francisco'", "ADDRESS_ID, CITY", false}));
  EXPECT_TRUE(s.conditions[1].selected);
  EXPECT_FALSE(s.conditions[2].selected);
  Settings back;
  ASSERT_EQ(read_settings(back, saved, true), 0);
  EXPECT_EQ(back.conditions, s.conditions);
}

TEST_F(Dialogs, DdlKindsAndTargetDatabase) {
  std::uint8_t kinds = kDdlTable | kDdlView;
  DialogResult r = drive([&] { return choose_ddl_kinds(nullptr, kinds); }, [&] {
    HWND d = wait_dialog(L"Quillon DDL出力対象");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(IsDlgButtonChecked(d, 391) && IsDlgButtonChecked(d, 393));
    EXPECT_FALSE(IsDlgButtonChecked(d, 392) || IsDlgButtonChecked(d, 399));
    CheckDlgButton(d, 396, BST_CHECKED);
    Sleep(200);
    screenshot(d, "dialog-ddl.png");
    press(d, IDOK);
  });
  EXPECT_EQ(r, DialogResult::kOk);
  EXPECT_EQ(kinds, kDdlTable | kDdlView | kDdlPackage);
  r = drive([&] { return choose_ddl_kinds(nullptr, kinds); }, [&] {
    HWND d = wait_dialog(L"Quillon DDL出力対象");
    ASSERT_NE(d, nullptr);
    SendDlgItemMessageW(d, 399, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsDlgButtonChecked(d, 398));
    press(d, IDOK);
  });
  EXPECT_EQ(kinds, kDdlAll);

  int dbms = 5;
  r = drive([&] { return choose_dbms(nullptr, dbms); }, [&] {
    HWND d = wait_dialog(L"Quillon SQL出力");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(IsDlgButtonChecked(d, 311)) << "opens on Oracle";
    SendDlgItemMessageW(d, 313, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsDlgButtonChecked(d, 311));
    Sleep(200);
    screenshot(d, "dialog-sql.png");
    press(d, IDOK);
  });
  EXPECT_EQ(r, DialogResult::kOk);
  EXPECT_EQ(dbms, 6) << "SQL Server";
  r = drive([&] { return choose_dbms(nullptr, dbms); }, [&] {
    HWND d = wait_dialog(L"Quillon SQL出力");
    ASSERT_NE(d, nullptr);
    SendDlgItemMessageW(d, 314, BM_CLICK, 0, 0);
    press(d, IDCANCEL);
  });
  EXPECT_EQ(r, DialogResult::kCancel);
  EXPECT_EQ(dbms, 6);
}

TEST_F(Dialogs, BinaryOutputAndProperties) {
  Settings s;
  s.lob_table = "PRODUCT_IMAGES";
  s.lob_column = "IMAGE";
  DialogResult r = drive([&] { return edit_binary_output(nullptr, s); }, [&] {
    HWND d = wait_dialog(L"Quillon バイナリカラム出力");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(text_of(d, id::kLobTable), L"PRODUCT_IMAGES");
    EXPECT_EQ(text_of(d, id::kLobColumn), L"IMAGE");
    SetDlgItemTextW(d, id::kLobFile, L"IMG_%PRODUCT_ID%.jpg");
    SetDlgItemTextW(d, id::kLobDir, L"C:\\画像");
    Sleep(200);
    screenshot(d, "dialog-binary.png");
    press(d, IDOK);
  });
  EXPECT_EQ(r, DialogResult::kOk);
  EXPECT_EQ(s.lob_file, "IMG_%PRODUCT_ID%.jpg");
  EXPECT_EQ(s.lob_dir, "C:\\画像\\");

  const DumpInfo dump = read_dump(Job::kListTables).dump;
  const auto texts = property_texts(dump, Language::kJapanese);
  drive([&] { show_properties(nullptr, dump); return 0; }, [&] {
    HWND d = wait_dialog(L"Quillon プロパティ");
    ASSERT_NE(d, nullptr);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(narrow(text_of(d, id::kPropertyFirst + i)), texts[static_cast<std::size_t>(i)]);
    EXPECT_EQ(text_of(d, 361), L"エクスポート");
    EXPECT_EQ(text_of(d, 362), L"ユーザ");
    EXPECT_EQ(text_of(d, 364), L"ALPHA");
    screenshot(d, "dialog-property.png");
    press(d, id::kPropertyOk);
  });
}

}  // namespace
}  // namespace qln::gui::win
