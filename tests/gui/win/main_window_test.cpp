#include "gui/win/main_window.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>

#include "gui/win/window_test_support.hpp"

namespace qln::gui {
namespace {

using namespace test_gui;

// Hooks that answer for the user and record what the window said.
struct Answers {
  std::vector<std::string> boxes;
  std::vector<std::string> files;  // handed out in order by the file dialogs
  std::vector<FileDialog> asked;
  std::string help;
  win::TableChoice table;
  win::DialogResult table_result = win::DialogResult::kOk;
  bool insert_dialog = false;
  std::vector<TableListEntry> listed;
  std::vector<ColumnDef> loaded_columns;
  std::vector<TableCondition> conditions;
  std::string condition_file;
  std::uint8_t ddl_kinds = kDdlAll;
  int dbms = 0;
  std::string lob_table, lob_column, lob_dir;
  DumpInfo properties;

  MainWindowHooks hooks() {
    MainWindowHooks h;
    h.choose_file = [this](HWND, FileDialog kind) -> std::optional<std::string> {
      asked.push_back(kind);
      if (files.empty()) return std::nullopt;
      std::string f = files.front();
      files.erase(files.begin());
      return f;
    };
    h.message_box = [this](HWND, const std::wstring& text, UINT) {
      boxes.push_back(narrow(text));
      return IDYES;
    };
    h.open_help = [this](const std::string& path) {
      help = path;
      return true;
    };
    h.choose_table = [this](HWND, const std::vector<TableListEntry>& tables, bool insert,
                            const win::ColumnLoader& load, win::TableChoice& choice) {
      listed = tables;
      insert_dialog = insert;
      load(table.table, loaded_columns);
      choice = table;
      for (const TableListEntry& t : tables) {
        if (t.name == table.table) choice.owner = t.owner;  // as the dialog hands it back
      }
      return table_result;
    };
    h.edit_where = [this](HWND, Settings& s, std::string& file) {
      condition_file = file;
      s.conditions = conditions;
      return win::DialogResult::kOk;
    };
    h.choose_ddl_kinds = [this](HWND, std::uint8_t& k) {
      k = ddl_kinds;
      return win::DialogResult::kOk;
    };
    h.choose_dbms = [this](HWND, int& d) {
      d = dbms;
      return win::DialogResult::kOk;
    };
    h.edit_binary_output = [this](HWND, Settings& s) {
      s.lob_table = lob_table, s.lob_column = lob_column, s.lob_dir = lob_dir;
      return win::DialogResult::kOk;
    };
    h.show_properties = [this](HWND, const DumpInfo& d) { properties = d; };
    return h;
  }
};

std::string menu_text(HMENU menu, int id) {
  wchar_t buf[128];
  const int n = GetMenuStringW(menu, static_cast<UINT>(id), buf, 128, MF_BYCOMMAND);
  return narrow(std::wstring(buf, static_cast<std::size_t>(n > 0 ? n : 0)));
}

TEST(MainWindow, LayoutMenuAcceleratorsAndControlsAsDescribed) {
  Settings s;
  parse_settings("HEADER=Y\nDELIMITER=TAB\nTABLE_MODE=PREVIEW\nMAX_RECORD=100\nUNLIMITED=N\n"
                 "VIEW_PROGRAM=NOTEPAD\nWHERE_CONDITION=Y\nSELECT_LIST=ENAME\n",
                 s);
  Answers a;
  MainWindow w(GetModuleHandleW(nullptr), s, "", QLN_BINARY_DIR, a.hooks());
  ASSERT_TRUE(w.created());
  HWND h = w.handle();
  wchar_t cls[32];
  GetClassNameW(h, cls, 32);
  EXPECT_STREQ(cls, L"QLN_MAIN");
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 710);
  EXPECT_EQ(client.bottom, 415);
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

  HMENU menu = GetMenu(h);
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  const std::map<int, std::string> captions = {
      {400, "開く(&O)\t\tCtrl+O"},         {405, "DDL出力(&D)\t\tCtrl+D"},
      {406, "INSERT SQL出力(&Q)\t\tCtrl+Q"}, {407, "バイナリカラムファイル出力(&B)\t\tCtrl+B"},
      {408, "プロパティ(&R)\t\tCtrl+R"},     {402, "設定保存(&S)\t\tCtrl+S"},
      {403, "終了(&X)\t\tCtrl+X"},           {409, "ヘルプ(&H)\t\tF1"},
      {404, "バージョン情報(&A)\t\tCtrl+A"}};
  for (const auto& [id, text] : captions) EXPECT_EQ(menu_text(menu, id), text) << id;
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 9);  // seven commands, two separators
  EXPECT_TRUE(GetMenuState(GetSubMenu(menu, 0), 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(GetSubMenu(menu, 0), 6, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(GetSubMenu(menu, 1), 1, MF_BYPOSITION) & MF_SEPARATOR);

  HACCEL accel = LoadAcceleratorsW(GetModuleHandleW(nullptr), L"QLN_ACCEL");
  std::array<ACCEL, 16> keys{};
  const int n = CopyAcceleratorTableW(accel, keys.data(), 16);
  ASSERT_EQ(n, 9);
  std::map<int, WORD> key_of;
  for (int i = 0; i < n; ++i) key_of[keys[i].cmd] = keys[i].key;
  EXPECT_EQ(key_of[400], 'O');
  EXPECT_EQ(key_of[403], 'X');
  EXPECT_EQ(key_of[409], VK_F1);

  // Positions and labels of the controls.
  const std::map<int, std::pair<POINT, std::string>> controls = {
      {351, {{20, 20}, "ヘッダ行出力"}},   {352, {{190, 20}, "空白トリム"}},
      {353, {{360, 20}, "SJISコード変換"}}, {356, {{530, 20}, "クォーテーション付加"}},
      {371, {{20, 70}, ""}},               {354, {{190, 75}, "無制限"}},
      {372, {{360, 70}, ""}},              {355, {{530, 75}, "CSVファイル削除"}},
      {373, {{190, 220}, ""}},             {202, {{660, 220}, "..."}},
      {205, {{360, 149}, "WHERE条件式"}},  {374, {{360, 178}, ""}},
      {357, {{360, 265}, "選択カラム有効"}}, {375, {{190, 282}, ""}},
      {315, {{30, 223}, "指定プログラム起動"}}, {323, {{28, 335}, "全テーブルを5行表示"}}};
  for (const auto& [id, want] : controls) {
    const RECT r = control_rect(h, id);
    EXPECT_EQ(r.left, want.first.x) << id;
    EXPECT_EQ(r.top, want.first.y) << id;
    if (!want.second.empty()) {
      EXPECT_EQ(control_text(h, id), want.second) << id;
    }
  }
  const RECT list = control_rect(h, 375);
  EXPECT_EQ(list.right - list.left, 340);
  EXPECT_EQ(list.bottom - list.top, 85);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(h, 351, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, 12);
  EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);

  // The settings as shown, and the controls that depend on the radios.
  EXPECT_TRUE(is_checked(h, 351) && is_checked(h, 332) && is_checked(h, 323) && is_checked(h, 312));
  EXPECT_TRUE(is_checked(h, 342));
  EXPECT_EQ(control_text(h, 371), "100");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 321)));  // WHERE: tables come from the conditions
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 375)));
  click(h, 343);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 374)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 375)));
  click(h, 341);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 374)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 321)));
  click(h, 314);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 321)));
  w.enable_main_controls(false);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 351)));
  EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
  w.enable_main_controls(true);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 351)));

  EXPECT_TRUE(save_window_png(h, std::filesystem::u8path(QLN_BINARY_DIR) / "quillon-main.png"));

  // Version, help, save, and the date format put right.
  send_command(h, kCmdVersion);
  ASSERT_EQ(a.boxes.size(), 1u);
  EXPECT_EQ(a.boxes[0], "Quillon\nバージョン : 2.9.8.0");
  // Help: the compiled help of the build when there is one, else its HTML page.
  send_command(h, kCmdHelp);
  const std::filesystem::path chm = std::filesystem::u8path(QLN_BINARY_DIR) / "Quillon.chm";
  if (std::filesystem::exists(chm)) {
    EXPECT_EQ(windows_path(std::filesystem::u8path(a.help)), windows_path(chm));
    EXPECT_EQ(read_file(chm).substr(0, 4), "ITSF");
  } else {
    EXPECT_EQ(windows_path(std::filesystem::u8path(a.help)), windows_path(chm.parent_path() / "Quillon.html"));
  }
  EXPECT_EQ(a.boxes.size(), 1u);
  const auto work = work_folder("settings");
  std::ofstream(work / "Quillon.html") << "<html></html>";
  MainWindow w2(GetModuleHandleW(nullptr), s, windows_path(work / "Quillon.ini"), windows_path(work), a.hooks());
  send_command(w2.handle(), kCmdHelp);
  EXPECT_EQ(a.help, windows_path(work / "Quillon.html"));
  set_control_text(w2.handle(), 372, "YYYY/QQ");
  set_control_text(w2.handle(), 373, "C:\\v.exe");
  click(w2.handle(), 311);
  click(w2.handle(), 341);  // preview is only in force without a condition
  send_command(w2.handle(), kCmdSave);
  ASSERT_EQ(a.boxes.size(), 2u);
  EXPECT_EQ(a.boxes[1].substr(0, 11), "ZUL-02113: ");
  EXPECT_EQ(control_text(w2.handle(), 372), "YYYY/MM/DD HH24:MI:SS");
  Settings back;
  ASSERT_EQ(read_settings(back, windows_path(work / "Quillon.ini"), true), 0);
  EXPECT_EQ(back, s);
  EXPECT_TRUE(back.header && back.preview && back.view_program == ViewProgram::kSpreadsheet);
  EXPECT_EQ(back.view_program_path, "C:\\v.exe");

  // The real message box, answered from another thread as a person would.
  {
    DialogDriver yes(L"Quillon", [](HWND box) { PostMessageW(box, WM_COMMAND, IDYES, 0); });
    EXPECT_EQ(system_hooks().message_box(w2.handle(), L"既存のSQLファイルを上書きしますか？", MB_YESNO), IDYES);
  }

  send_command(w2.handle(), kCmdExit);
  EXPECT_FALSE(IsWindow(w2.handle()));
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop would end
}

// Commands run on a real dump write what quillon-cli writes for the same options.
class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(real_dump("alphaoffice.dmp"))) GTEST_SKIP() << "no real dumps";
    work = work_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    // Written anew, not copied: a copy would keep the read-only bit of the shared dumps.
    // The window's copy sits in a folder with a Japanese name.
    gui = work / u8"日本語";
    std::filesystem::create_directories(gui);
    const std::string bytes = read_file(real_dump("alphaoffice.dmp"));
    std::ofstream(gui / "alpha.dmp", std::ios::binary) << bytes;
    std::ofstream(work / "alpha.dmp", std::ios::binary) << bytes;
    dump = windows_path(gui / "alpha.dmp");
  }
  std::string cli_file(std::vector<std::string> args) {
    args.insert(args.begin(), "FILE=" + windows_path(work / "alpha.dmp"));
    args.push_back("OUT_FILE=" + windows_path(work / "cli.out"));
    EXPECT_EQ(run_cli(args), 0);
    return read_file(work / "cli.out");
  }
  std::filesystem::path work, gui;
  std::string dump;
  Answers a;
  Settings s;
};

TEST_F(Commands, OpenWithTableAndColumnsOrConditionsWritesTheCsvOfTheCommandLine) {
  MainWindow w(GetModuleHandleW(nullptr), s, "", QLN_BINARY_DIR, a.hooks());
  HWND h = w.handle();
  click(h, 351);  // header
  click(h, 356);  // quotes
  click(h, 313);  // CSV only: no viewer
  click(h, 322);  // choose the table
  a.files = {dump};
  a.table = {"ADDRESSES", "", {"ADDRESS_ID", "CITY"}};
  a.table_result = win::DialogResult::kOkWithColumns;
  send_command(h, kCmdOpen);
  EXPECT_EQ(a.listed.size(), 19u);
  EXPECT_FALSE(a.insert_dialog);
  EXPECT_FALSE(a.loaded_columns.empty());
  ASSERT_EQ(a.boxes, std::vector<std::string>{"CSV変換処理が終了しました。"});
  const std::string csv = read_file(gui / "alpha.csv");
  EXPECT_EQ(csv, cli_file({"TABLE=ADDRESSES", "HEADER=Y", "QUOTE=Y", "COLUMN=ADDRESS_ID,CITY"}));
  EXPECT_EQ(csv.find("ADDRESS_ID,CITY\r\n"), 3u);  // after the BOM: the chosen columns only

  // A WHERE condition chosen in its dialog: Open converts the tables it names.
  a.conditions = {{"ADDRESSES", "CITY = 'San Francisco'", "", false}};
  send_command(h, kCmdWhere);
  click(h, 342);
  a.files = {dump};
  send_command(h, kCmdOpen);
  EXPECT_EQ(a.boxes.back().substr(0, 11), "ZUL-01921: ");  // none of them selected
  EXPECT_EQ(a.files.size(), 1u);                          // and no file was asked for
  a.conditions[0].selected = true;
  send_command(h, kCmdWhere);
  send_command(h, kCmdOpen);
  EXPECT_EQ(read_file(gui / "alpha.csv"),
            cli_file({"WHERE=[ADDRESSES]CITY = 'San Francisco'", "HEADER=Y", "QUOTE=Y"}));

  // A dropped dump with the first table, tab-separated, five rows.
  click(h, 341);
  click(h, 321);
  click(h, 332);
  if (is_checked(h, 354)) click(h, 354);
  set_control_text(h, 371, "5");
  HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + (dump.size() + 2) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  const std::wstring wide = widen(dump);
  std::copy(wide.begin(), wide.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(mem);
  SendMessageW(h, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
  EXPECT_EQ(read_file(gui / "alpha.csv"), cli_file({"HEADER=Y", "QUOTE=Y", "DELIMITER=TAB", "MAX_RECORD=5"}));
}

TEST_F(Commands, DdlInsertAndPropertiesWriteWhatTheCommandLineWrites) {
  MainWindow w(GetModuleHandleW(nullptr), s, "", QLN_BINARY_DIR, a.hooks());
  HWND h = w.handle();
  const std::string ddl = windows_path(gui / "alpha.sql");
  a.ddl_kinds = kDdlTable | kDdlIndex;
  a.files = {dump, ddl};
  send_command(h, kCmdDdl);
  EXPECT_EQ(a.asked, (std::vector<FileDialog>{FileDialog::kDump, FileDialog::kDdlFile}));
  EXPECT_EQ(read_file(gui / "alpha.sql"), cli_file({"MODE=DDL", "DDL=TABLE|INDEX"}));
  EXPECT_NE(read_file(gui / "alpha.sql").find("CREATE TABLE"), std::string::npos);

  // INSERT for PostgreSQL of a chosen table, over the file just written (after asking).
  a.dbms = 4;
  a.table = {"ORDERS", "", {}};
  a.table_result = win::DialogResult::kOk;
  a.files = {dump, ddl};
  click(h, 322);
  send_command(h, kCmdInsert);
  EXPECT_TRUE(a.insert_dialog);
  ASSERT_GE(a.boxes.size(), 2u);
  EXPECT_EQ(a.boxes[0], "既存のSQLファイルを上書きしますか？");
  EXPECT_EQ(a.boxes.back(), "INSERT SQL出力処理が終了しました。");
  const std::string sql = read_file(gui / "alpha.sql");
  EXPECT_EQ(sql, cli_file({"MODE=INSERT", "DBMS=POSTGRESQL", "TABLE=ORDERS"}));
  EXPECT_NE(sql.find("INSERT INTO"), std::string::npos);

  // Column files: an empty large-object column writes none and says nothing;
  // a column that is none is refused with the engine's message.
  a.lob_table = "PRODUCT_IMAGES", a.lob_column = "IMAGE", a.lob_dir = windows_path(gui) + "\\";
  a.files = {dump};
  std::size_t boxes = a.boxes.size();
  send_command(h, kCmdBinary);
  EXPECT_EQ(a.boxes.size(), boxes) << a.boxes.back();
  a.lob_table = "ADDRESSES", a.lob_column = "ADDRESS1";
  a.files = {dump};
  send_command(h, kCmdBinary);
  ASSERT_EQ(a.boxes.size(), boxes + 1);
  EXPECT_EQ(a.boxes.back().substr(0, 11), "ZUL-03113: ");

  a.files = {dump};
  send_command(h, kCmdProperties);
  EXPECT_EQ(a.properties.user, "ALPHA");
  EXPECT_EQ(a.properties.kind, DumpKind::kConventional);
  boxes = a.boxes.size();
  std::ofstream(work / "not.dmp") << "no dump at all";
  a.files = {windows_path(work / "not.dmp")};
  send_command(h, kCmdProperties);
  ASSERT_EQ(a.boxes.size(), boxes + 1);
  EXPECT_EQ(a.boxes.back().substr(0, 11), "ZUL-00011: ");
  // Open, tables chosen by the user: the same message, and no table list.
  a.files = {windows_path(work / "not.dmp")};
  a.listed.clear();
  send_command(h, kCmdOpen);
  ASSERT_EQ(a.boxes.size(), boxes + 2);
  EXPECT_EQ(a.boxes.back().substr(0, 11), "ZUL-00011: ");
  EXPECT_TRUE(a.listed.empty());
}

}  // namespace
}  // namespace qln::gui
