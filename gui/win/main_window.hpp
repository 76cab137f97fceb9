#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "gui/main_controls.hpp"
#include "gui/settings.hpp"
#include "gui/win/dialogs.hpp"
#include "gui/win/run_window.hpp"

namespace qln::gui {

inline constexpr wchar_t kMainClass[] = L"QLN_MAIN";
inline constexpr int kClientWidth = 710;
inline constexpr int kClientHeight = 415;
inline constexpr char kVersionText[] = "2.9.8.0";

enum class FileDialog { kDump, kDdlFile, kSqlFile, kViewerProgram };

// Everything the main window asks the user or the system for. The program
// uses the real dialogs; the window tests answer in their place.
struct MainWindowHooks {
  std::function<std::optional<std::string>(HWND, FileDialog)> choose_file;
  MessageBoxFunction message_box;
  std::function<bool(const std::string& path)> open_help;
  std::function<win::DialogResult(HWND, const std::vector<TableListEntry>&, bool, const win::ColumnLoader&,
                                  win::TableChoice&)>
      choose_table;
  std::function<win::DialogResult(HWND, Settings&, std::string& condition_file)> edit_where;
  std::function<win::DialogResult(HWND, std::uint8_t&)> choose_ddl_kinds;
  std::function<win::DialogResult(HWND, int&)> choose_dbms;
  std::function<win::DialogResult(HWND, Settings&)> edit_binary_output;
  std::function<void(HWND, const DumpInfo&)> show_properties;
};
MainWindowHooks system_hooks();

// The main window: its controls show the settings, its menu runs the commands.
class MainWindow {
 public:
  // `settings_path`: the standard settings file (empty: not saved);
  // `help_folder`: where Quillon.chm or Quillon.html is.
  MainWindow(HINSTANCE instance, Settings& settings, std::string settings_path, std::string help_folder,
             MainWindowHooks hooks);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  bool created() const { return window_ != nullptr; }
  HWND handle() const { return window_; }
  // Until the window is closed; every message meets the accelerators first.
  int message_loop();

  MainControls read_controls() const;
  void show_controls(const MainControls& c);
  // Disables every control and both menus while a dialog or a run is active.
  void enable_main_controls(bool enable);

 private:
  static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle_message(UINT msg, WPARAM wp, LPARAM lp);
  void create_controls();
  void paint();
  void command(int id);
  void take_controls();  // the controls into the settings (an invalid DATE format is put right)
  void open_dump(std::optional<std::string> dropped);
  void output_ddl();
  void output_insert();
  void output_binary();
  void show_dump_properties();
  void save_settings();
  void open_help();
  std::optional<std::string> output_file(FileDialog kind, const wchar_t* overwrite_question);
  // Lists the dump's tables and lets the user choose one; nullopt when cancelled or failed.
  std::optional<win::TableChoice> choose_table(const std::string& dump, bool insert_output,
                                               win::DialogResult& result);
  RunOutcome run(const Request& request);
  void show_run_messages(const RunOutcome& run);
  void apply_states();
  int box(const std::wstring& text, UINT type) { return hooks_.message_box(window_, text, type); }

  HINSTANCE instance_;
  Settings& settings_;
  std::string settings_path_;
  std::string condition_file_;  // the WHERE dialog's file; the standard file until another is chosen
  std::string help_folder_;
  MainWindowHooks hooks_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HACCEL accelerators_ = nullptr;
  bool busy_ = false;
};

}  // namespace qln::gui
