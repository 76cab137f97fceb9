// The windowed program: converts the dumps named on its command line under
// the progress window and shows the CSV in the chosen viewer; without
// arguments it opens the main window.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "gui/main_controls.hpp"
#include "gui/run_request.hpp"
#include "gui/settings.hpp"
#include "gui/win/main_window.hpp"
#include "gui/win/run_window.hpp"
#include "gui/win/wide.hpp"

namespace qln::gui {
namespace {

std::optional<std::string> settings_path() {
  const wchar_t* env = _wgetenv(L"QLN_INIFILE_PATH");
  const std::string value = env != nullptr ? narrow(env) : std::string();
  return standard_settings_path(env != nullptr ? value.c_str() : nullptr, executable_folder());
}

int convert_command_line(HINSTANCE instance, const CommandLine& cmd, const Settings& s) {
  const Request request = csv_request(s, cmd);
  const RunOutcome run = run_with_progress(instance, request, progress_task(request));
  return finish_csv_run(nullptr, s, request, run, system_message_box);
}

int run_program(HINSTANCE instance) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"QuillonGUI");
  if (mutex == nullptr) return 1;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {  // another instance runs
    CloseHandle(mutex);
    return 0;
  }
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    std::string a = narrow(argv[i]);
    if (a.size() <= 4096) args.push_back(std::move(a));
  }
  LocalFree(argv);

  Settings settings;
  const auto path = settings_path();
  if (path) read_settings(settings, *path, false);
  int status = 0;
  if (!args.empty()) {
    status = convert_command_line(instance, parse_command_line(args), settings);
  } else {
    MainWindow window(instance, settings, path.value_or(std::string()), executable_folder(), system_hooks());
    if (!window.created()) {
      system_message_box(nullptr, widen(gui_message(1, "InitInstance() ")), MB_OK | MB_ICONSTOP);
      status = 1;
    } else {
      status = window.message_loop();
    }
  }
  CloseHandle(mutex);
  return status;
}

}  // namespace
}  // namespace qln::gui

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return qln::gui::run_program(instance); }
