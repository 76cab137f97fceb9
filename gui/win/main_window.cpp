#include "gui/win/main_window.hpp"

#include <commdlg.h>
#include <shellapi.h>

#include <array>

#include "gui/run_request.hpp"
#include "gui/win/wide.hpp"

namespace qln::gui {
namespace {

constexpr int kIconId = 100;
constexpr int kBitmapId = 101;
constexpr int kBitmapX = 580;
constexpr int kBitmapY = 280;

struct ControlSpec {
  int id;
  const wchar_t* cls;
  const wchar_t* text;
  DWORD style;
  int x, y, w, h;
};

constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kFirstRadio = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kGroup = BS_GROUPBOX;

// Group frames first, so the buttons inside them are drawn over them.
constexpr std::array<ControlSpec, 31> kControls = {{
    {301, L"BUTTON", L"表示プログラム", kGroup, 20, 107, 160, 148},
    {302, L"BUTTON", L"検索条件", kGroup, 190, 107, 330, 105},
    {303, L"BUTTON", L"デリミタ", kGroup, 530, 107, 160, 75},
    {304, L"BUTTON", L"表示テーブル", kGroup, 20, 267, 160, 100},
    {kHeaderBox, L"BUTTON", L"ヘッダ行出力", kCheck | WS_GROUP, 20, 20, 160, 18},
    {kTrimBox, L"BUTTON", L"空白トリム", kCheck, 190, 20, 160, 18},
    {kSjisBox, L"BUTTON", L"SJISコード変換", kCheck, 360, 20, 160, 18},
    {kQuoteBox, L"BUTTON", L"クォーテーション付加", kCheck, 530, 20, 170, 18},
    {kMaxRecordEdit, L"EDIT", L"", kEdit | ES_NUMBER, 20, 70, 150, 22},
    {kUnlimitedBox, L"BUTTON", L"無制限", kCheck, 190, 75, 150, 18},
    {kDateFormatEdit, L"EDIT", L"", kEdit, 360, 70, 160, 22},
    {kDeleteCsvBox, L"BUTTON", L"CSVファイル削除", kCheck, 530, 75, 170, 18},
    {kViewerExcel, L"BUTTON", L"Excel", kFirstRadio, 30, 127, 145, 18},
    {kViewerNotepad, L"BUTTON", L"メモ帳", kRadio, 30, 151, 145, 18},
    {kViewerNone, L"BUTTON", L"CSV変換のみ", kRadio, 30, 175, 145, 18},
    {kViewerBatch, L"BUTTON", L"CSV一括変換", kRadio, 30, 199, 145, 18},
    {kViewerUser, L"BUTTON", L"指定プログラム起動", kRadio, 30, 223, 145, 18},
    {kConditionOff, L"BUTTON", L"無効", kFirstRadio, 200, 127, 150, 18},
    {kConditionWhere, L"BUTTON", L"有効(WHERE)", kRadio, 200, 152, 150, 18},
    {kConditionGrep, L"BUTTON", L"キーワード(GREP)", kRadio, 200, 180, 150, 18},
    {kCmdWhere, L"BUTTON", L"WHERE条件式", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 360, 149, 150, 24},
    {kGrepEdit, L"EDIT", L"", kEdit, 360, 178, 150, 22},
    {kDelimiterComma, L"BUTTON", L"カンマ", kFirstRadio, 540, 127, 140, 18},
    {kDelimiterTab, L"BUTTON", L"タブ", kRadio, 540, 151, 140, 18},
    {kProgramPathEdit, L"EDIT", L"", kEdit | WS_GROUP, 190, 220, 460, 22},
    {kCmdPickViewer, L"BUTTON", L"...", BS_PUSHBUTTON | WS_TABSTOP, 660, 220, 30, 22},
    {kTableFirst, L"BUTTON", L"最初のテーブルを表示", kFirstRadio, 28, 287, 150, 18},
    {kTableSelect, L"BUTTON", L"テーブルを選択して表示", kRadio, 28, 311, 150, 18},
    {kTablePreview, L"BUTTON", L"全テーブルを5行表示", kRadio, 28, 335, 150, 18},
    {kSelectListBox, L"BUTTON", L"選択カラム有効", kCheck | WS_GROUP, 360, 265, 170, 18},
    {kSelectListEdit, L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, 190, 282, 340, 85},
}};

struct Label {
  int x, y;
  const wchar_t* text;
};
constexpr std::array<Label, 3> kLabels = {{
    {20, 53, L"最大出力行数"},
    {360, 53, L"DATE型書式"},
    {190, 266, L"選択カラム"},
}};

constexpr std::array<int, 5> kViewerRadios = {kViewerExcel, kViewerNotepad, kViewerNone, kViewerBatch, kViewerUser};
constexpr std::array<int, 3> kConditionRadios = {kConditionOff, kConditionWhere, kConditionGrep};
constexpr std::array<int, 2> kDelimiterRadios = {kDelimiterComma, kDelimiterTab};
constexpr std::array<int, 3> kTableRadios = {kTableFirst, kTableSelect, kTablePreview};

std::optional<std::string> system_file_dialog(HWND owner, FileDialog kind) {
  wchar_t path[MAX_PATH * 4] = L"";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFile = path;
  ofn.nMaxFile = static_cast<DWORD>(std::size(path));
  ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  bool save = false;
  switch (kind) {
    case FileDialog::kDump:
      ofn.lpstrFilter = L"dump(*.dmp)\0*.dmp\0";
      ofn.lpstrTitle = L"Quillon ダンプファイル";
      ofn.lpstrDefExt = L"dmp";
      ofn.Flags |= OFN_FILEMUSTEXIST;
      break;
    case FileDialog::kDdlFile:
    case FileDialog::kSqlFile:
      ofn.lpstrFilter = L"SQL(*.sql)\0*.sql\0";
      ofn.lpstrTitle = kind == FileDialog::kDdlFile ? L"Quillon DDLファイル" : L"Quillon SQLファイル";
      ofn.lpstrDefExt = L"sql";
      save = true;
      break;
    case FileDialog::kViewerProgram:
      ofn.lpstrFilter = L"All files(*.*)\0*.*\0";
      ofn.lpstrTitle = L"Quillon 閲覧プログラム";
      ofn.Flags |= OFN_FILEMUSTEXIST;
      break;
  }
  const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return std::nullopt;
  return narrow(path);
}

bool file_exists(const std::string& path) {
  return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

MainWindowHooks system_hooks() {
  MainWindowHooks h;
  h.choose_file = system_file_dialog;
  h.message_box = system_message_box;
  h.open_help = [](const std::string& path) {
    const auto r = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32;
  };
  h.choose_table = win::choose_table;
  h.edit_where = win::edit_where;
  h.choose_ddl_kinds = win::choose_ddl_kinds;
  h.choose_dbms = win::choose_dbms;
  h.edit_binary_output = win::edit_binary_output;
  h.show_properties = win::show_properties;
  return h;
}

MainWindow::MainWindow(HINSTANCE instance, Settings& settings, std::string settings_path,
                       std::string help_folder, MainWindowHooks hooks)
    : instance_(instance),
      settings_(settings),
      settings_path_(std::move(settings_path)),
      condition_file_(settings_path_),
      help_folder_(std::move(help_folder)),
      hooks_(std::move(hooks)) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &MainWindow::procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = L"QLN_DIALOG_01";
  wc.lpszClassName = kMainClass;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, kMainClass, &existing) && RegisterClassExW(&wc) == 0) return;
  accelerators_ = LoadAcceleratorsW(instance, L"QLN_ACCEL");
  if (accelerators_ == nullptr) return;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&r, style, TRUE);
  font_ = CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kJapaneseFace);
  bitmap_ = LoadBitmapW(instance, MAKEINTRESOURCEW(kBitmapId));
  window_ = CreateWindowExW(0, kMainClass, L"Quillon", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return;
  create_controls();
  const wchar_t* preview = _wgetenv(L"QLN_PREVIEW_PROGRAM");
  const std::string preview_program = preview != nullptr ? narrow(preview) : std::string();
  show_controls(options_to_controls(settings_, preview != nullptr ? preview_program.c_str() : nullptr));
  DragAcceptFiles(window_, TRUE);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

MainWindow::~MainWindow() {
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);  // no quit message for a window that is only let go
    DestroyWindow(window_);
  }
  if (font_ != nullptr) DeleteObject(font_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  // The accelerators came from the resources: the system frees them.
}

void MainWindow::create_controls() {
  for (const ControlSpec& c : kControls) {
    const DWORD ex = std::wstring_view(c.cls) == L"EDIT" ? WS_EX_CLIENTEDGE : 0;
    HWND h = CreateWindowExW(ex, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.w, c.h, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
    if (h != nullptr) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  SendDlgItemMessageW(window_, kGrepEdit, EM_LIMITTEXT, kMaxWhereText + 1, 0);
  SendDlgItemMessageW(window_, kSelectListEdit, EM_LIMITTEXT, kMaxColumnText, 0);
  SendDlgItemMessageW(window_, kProgramPathEdit, EM_LIMITTEXT, kMaxPath, 0);
}

int MainWindow::message_loop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(window_, accelerators_, &msg)) continue;
    if (IsDialogMessageW(window_, &msg)) continue;  // Tab and the arrow keys move between controls
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

MainControls MainWindow::read_controls() const {
  MainControls c;
  auto checked = [&](int id) { return IsDlgButtonChecked(window_, id) == BST_CHECKED; };
  auto text = [&](int id) {
    HWND h = GetDlgItem(window_, id);
    std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    w.resize(static_cast<std::size_t>(GetWindowTextW(h, w.data(), static_cast<int>(w.size()))));
    return narrow(w);
  };
  auto radio = [&](const auto& ids, int fallback) {
    for (int id : ids) {
      if (checked(id)) return id;
    }
    return fallback;
  };
  c.header = checked(kHeaderBox);
  c.trim = checked(kTrimBox);
  c.to_sjis = checked(kSjisBox);
  c.quote = checked(kQuoteBox);
  c.unlimited = checked(kUnlimitedBox);
  c.delete_csv = checked(kDeleteCsvBox);
  c.select_list_on = checked(kSelectListBox);
  c.max_record = text(kMaxRecordEdit);
  c.date_format = text(kDateFormatEdit);
  c.program_path = text(kProgramPathEdit);
  c.grep = text(kGrepEdit);
  c.select_list = text(kSelectListEdit);
  c.viewer = radio(kViewerRadios, kViewerExcel);
  c.condition = radio(kConditionRadios, kConditionOff);
  c.delimiter = radio(kDelimiterRadios, kDelimiterComma);
  c.table = radio(kTableRadios, kTableSelect);
  return c;
}

void MainWindow::show_controls(const MainControls& c) {
  auto check = [&](int id, bool on) { CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED); };
  auto text = [&](int id, const std::string& t) { SetDlgItemTextW(window_, id, widen(t).c_str()); };
  check(kHeaderBox, c.header);
  check(kTrimBox, c.trim);
  check(kSjisBox, c.to_sjis);
  check(kQuoteBox, c.quote);
  check(kUnlimitedBox, c.unlimited);
  check(kDeleteCsvBox, c.delete_csv);
  check(kSelectListBox, c.select_list_on);
  text(kMaxRecordEdit, c.max_record);
  text(kDateFormatEdit, c.date_format);
  text(kProgramPathEdit, c.program_path);
  text(kGrepEdit, c.grep);
  text(kSelectListEdit, c.select_list);
  CheckRadioButton(window_, kViewerExcel, kViewerUser, c.viewer);
  CheckRadioButton(window_, kConditionOff, kConditionGrep, c.condition);
  CheckRadioButton(window_, kDelimiterComma, kDelimiterTab, c.delimiter);
  CheckRadioButton(window_, kTableFirst, kTablePreview, c.table);
  apply_states();
}

void MainWindow::apply_states() {
  const ControlStates st = control_states(read_controls());
  EnableWindow(GetDlgItem(window_, kMaxRecordEdit), st.max_record);
  EnableWindow(GetDlgItem(window_, kGrepEdit), st.grep);
  EnableWindow(GetDlgItem(window_, kSelectListEdit), st.select_list);
  for (int id : kTableRadios) EnableWindow(GetDlgItem(window_, id), st.table_radios);
}

void MainWindow::enable_main_controls(bool enable) {
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    EnableWindow(child, enable);
  }
  HMENU menu = GetMenu(window_);
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
  }
  DrawMenuBar(window_);
  if (enable) apply_states();
}

LRESULT CALLBACK MainWindow::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<MainWindow*>(cs->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->handle_message(msg, wp, lp);
}

LRESULT MainWindow::handle_message(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_COMMAND:
      command(LOWORD(wp));
      return 0;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wp);
      std::wstring path(static_cast<std::size_t>(DragQueryFileW(drop, 0, nullptr, 0)) + 1, L'\0');
      path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
      DragFinish(drop);
      if (!path.empty() && !busy_) open_dump(narrow(path));
      return 0;
    }
    case WM_CLOSE:
      if (!busy_) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, msg, wp, lp);
  }
}

void MainWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  HGDIOBJ old_font = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (const Label& l : kLabels) TextOutW(dc, l.x, l.y, l.text, static_cast<int>(wcslen(l.text)));
  SelectObject(dc, old_font);
  if (bitmap_ != nullptr) {
    BITMAP bm{};
    GetObjectW(bitmap_, sizeof(bm), &bm);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap_);
    BitBlt(dc, kBitmapX, kBitmapY, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  EndPaint(window_, &ps);
}

void MainWindow::command(int id) {
  if (busy_) return;
  switch (id) {
    case kCmdOpen: open_dump(std::nullopt); break;
    case kCmdSave: save_settings(); break;
    case kCmdExit: DestroyWindow(window_); break;
    case kCmdVersion:
      box(widen(std::string("Quillon\nバージョン : ") + kVersionText), MB_OK | MB_ICONINFORMATION);
      break;
    case kCmdDdl: output_ddl(); break;
    case kCmdInsert: output_insert(); break;
    case kCmdBinary: output_binary(); break;
    case kCmdProperties: show_dump_properties(); break;
    case kCmdHelp: open_help(); break;
    case kCmdPickViewer:
      if (auto path = hooks_.choose_file(window_, FileDialog::kViewerProgram)) {
        SetDlgItemTextW(window_, kProgramPathEdit, widen(*path).c_str());
      }
      break;
    case kCmdWhere:
      take_controls();
      enable_main_controls(false);
      hooks_.edit_where(window_, settings_, condition_file_);
      enable_main_controls(true);
      break;
    default:
      // A radio or box changes which controls can be used.
      if ((id >= kViewerExcel && id <= kConditionGrep) || id == kUnlimitedBox) apply_states();
      break;
  }
}

void MainWindow::take_controls() {
  if (!controls_to_options(read_controls(), settings_)) {
    box(widen(gui_message(2113)), MB_OK | MB_ICONEXCLAMATION);
    SetDlgItemTextW(window_, kDateFormatEdit, widen(kDefaultDateFormat).c_str());
  }
}

RunOutcome MainWindow::run(const Request& request) {
  busy_ = true;
  enable_main_controls(false);
  ShowWindow(window_, SW_HIDE);
  RunOutcome out = run_with_progress(instance_, request, progress_task(request));
  ShowWindow(window_, SW_SHOW);
  enable_main_controls(true);
  busy_ = false;
  return out;
}

void MainWindow::show_run_messages(const RunOutcome& run) {
  if (run.stopped || run.messages.empty()) return;
  std::string text;
  for (const std::string& l : run.messages) text += (text.empty() ? "" : "\n") + l;
  box(widen(text), MB_OK | MB_ICONEXCLAMATION);
}

std::optional<win::TableChoice> MainWindow::choose_table(const std::string& dump, bool insert_output,
                                                         win::DialogResult& result) {
  const RunOutcome list = run(table_list_request(settings_, dump));
  if (list.stopped) return std::nullopt;
  if (!list.status.ok()) {
    show_run_messages(list);
    return std::nullopt;
  }
  const std::vector<TableListEntry>& tables = list.results.tables;
  // The list pass kept every table's columns: the column choice needs no second read.
  const win::ColumnLoader columns = [&tables](const std::string& name, std::vector<ColumnDef>& out) {
    for (const TableListEntry& t : tables) {
      if (t.name == name) {
        out = t.columns;
        return true;
      }
    }
    return false;
  };
  win::TableChoice choice;
  enable_main_controls(false);
  result = hooks_.choose_table(window_, tables, insert_output, columns, choice);
  enable_main_controls(true);
  if (result != win::DialogResult::kOk && result != win::DialogResult::kOkWithColumns) return std::nullopt;
  if (result != win::DialogResult::kOkWithColumns) choice.columns.clear();
  return choice;
}

void MainWindow::open_dump(std::optional<std::string> dropped) {
  take_controls();
  if (lacks_selected_condition(settings_)) {
    box(widen(gui_message(1921)), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  std::optional<std::string> dump = dropped ? dropped : hooks_.choose_file(window_, FileDialog::kDump);
  if (!dump) return;
  Request request;
  if (tables_chosen_by_user(settings_)) {
    win::DialogResult result{};
    const auto choice = choose_table(*dump, false, result);
    if (!choice) return;
    request = open_request(settings_, *dump, choice->table, choice->columns);
    request.table = table_selector(choice->table, choice->owner);
  } else {
    request = open_request(settings_, *dump, {}, {});
  }
  const RunOutcome out = run(request);
  finish_csv_run(window_, settings_, request, out, hooks_.message_box);
}

std::optional<std::string> MainWindow::output_file(FileDialog kind, const wchar_t* overwrite_question) {
  auto path = hooks_.choose_file(window_, kind);
  if (path && file_exists(*path) && box(overwrite_question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return std::nullopt;
  }
  return path;
}

void MainWindow::output_ddl() {
  take_controls();
  std::uint8_t kinds = settings_.ddl_kinds;
  enable_main_controls(false);
  const win::DialogResult r = hooks_.choose_ddl_kinds(window_, kinds);
  enable_main_controls(true);
  if (r != win::DialogResult::kOk) return;
  settings_.ddl_kinds = kinds;
  const auto dump = hooks_.choose_file(window_, FileDialog::kDump);
  if (!dump) return;
  const auto out = output_file(FileDialog::kDdlFile, L"既存のDDLファイルを上書きしますか？");
  if (!out) return;
  show_run_messages(run(ddl_request(settings_, *dump, *out)));
}

void MainWindow::output_insert() {
  take_controls();
  int dbms = 0;
  enable_main_controls(false);
  const win::DialogResult r = hooks_.choose_dbms(window_, dbms);
  enable_main_controls(true);
  if (r != win::DialogResult::kOk) return;
  const auto dump = hooks_.choose_file(window_, FileDialog::kDump);
  if (!dump) return;
  const auto out = output_file(FileDialog::kSqlFile, L"既存のSQLファイルを上書きしますか？");
  if (!out) return;
  std::string table, owner;
  if (settings_.table_mode != TableMode::kFirst) {
    win::DialogResult result{};
    const auto choice = choose_table(*dump, true, result);
    if (!choice) return;
    table = choice->table;
    owner = choice->owner;
  }
  Request request = insert_request(settings_, *dump, table, *out, static_cast<SqlDialect>(dbms));
  request.table = table_selector(table, owner);
  const RunOutcome run_out = run(request);
  show_run_messages(run_out);
  if (run_out.status.ok()) box(L"INSERT SQL出力処理が終了しました。", MB_OK | MB_ICONINFORMATION);
}

void MainWindow::output_binary() {
  take_controls();
  enable_main_controls(false);
  const win::DialogResult r = hooks_.edit_binary_output(window_, settings_);
  enable_main_controls(true);
  if (r != win::DialogResult::kOk) return;
  const auto dump = hooks_.choose_file(window_, FileDialog::kDump);
  if (!dump) return;
  show_run_messages(run(lob_request(settings_, *dump)));
}

void MainWindow::show_dump_properties() {
  const auto dump = hooks_.choose_file(window_, FileDialog::kDump);
  if (!dump) return;
  enable_main_controls(false);
  CollectingSink sink;
  RunCallbacks cb;
  cb.messages = &sink;
  Results results;
  RunOutcome out;
  out.status = run_conversion(header_request(*dump), results, cb);
  for (const auto& e : sink.entries()) out.messages.push_back(e.line);
  show_run_messages(out);
  if (out.status.ok()) hooks_.show_properties(window_, results.dump);
  enable_main_controls(true);
}

void MainWindow::save_settings() {
  take_controls();
  // Conditions loaded from another file stay out of the standard file, which keeps its own.
  const bool with_conditions = condition_file_.empty() || condition_file_ == settings_path_;
  if (settings_path_.empty() || write_settings(settings_, settings_path_, false, with_conditions) != 0) {
    box(widen(gui_message(3133, settings_path_)), MB_OK | MB_ICONEXCLAMATION);
  }
}

void MainWindow::open_help() {
  for (const char* name : {"Quillon.chm", "Quillon.html"}) {
    const std::string path = help_folder_ + "\\" + name;
    if (file_exists(path)) {
      if (!hooks_.open_help(path)) box(widen(gui_message(1060, path)), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  box(widen(gui_message(1060, help_folder_ + "\\Quillon.chm")), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace qln::gui
