// The windowed program: converts the dumps named on its command line under
// the progress window, then shows the CSV files in the chosen viewer.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/conversion.hpp"
#include "gui/run_request.hpp"
#include "gui/settings.hpp"
#include "gui/viewer.hpp"
#include "gui/win/progress_window.hpp"
#include "gui/win/wide.hpp"

namespace qln::gui {
namespace {

constexpr UINT kRunEnded = WM_APP + 2;

// Messages of the run, shown in message boxes once the run has ended.
class BoxSink final : public MessageSink {
 public:
  void message(MessageCode code, std::string_view line) override { sink_.message(code, line); }
  void show(HWND owner) const {
    for (const auto& e : sink_.entries()) {
      MessageBoxW(owner, widen(e.line).c_str(), L"Quillon", MB_OK | MB_ICONEXCLAMATION);
    }
  }

 private:
  CollectingSink sink_;
};

class RegistryOfMachine final : public ProgramRegistry {
 public:
  std::optional<std::string> machine_value(const std::string& key) const override {
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, widen(key).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return narrow(buffer);
  }
};

std::string executable_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::string() : narrow(path.substr(0, slash));
}

std::optional<std::string> environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  if (value == nullptr) return std::nullopt;
  return narrow(value);
}

bool start_program(const ViewerLaunch& launch) {
  std::wstring command = widen(launch.command_line);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &si, &pi)) {
    return false;
  }
  if (launch.wait) WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// 0, or -1 when a file is missing or a program could not be started.
int launch_viewer(const Settings& s, const std::vector<std::string>& files) {
  for (const std::string& f : files) {
    if (GetFileAttributesW(widen(f).c_str()) == INVALID_FILE_ATTRIBUTES) {
      const std::string text = "ZUL-03201: CSVファイルが存在していません(\"" + f + "\")。";
      MessageBoxW(nullptr, widen(text).c_str(), L"Quillon", MB_OK | MB_ICONEXCLAMATION);
      return -1;
    }
  }
  const auto preview = environment(L"QLN_PREVIEW_PROGRAM");
  const ViewerPlan plan =
      plan_viewer(s, files, preview ? preview->c_str() : nullptr, RegistryOfMachine());
  if (plan.only_first_shown) {
    MessageBoxW(nullptr, L"CSVファイル削除が指定されているため、先頭テーブルのみを表示します。", L"Quillon",
                MB_OK | MB_ICONINFORMATION);
  }
  bool started = true;
  for (const ViewerLaunch& l : plan.launches) {
    if (!(started = start_program(l))) break;
  }
  if (!started && !plan.fallback.empty()) {
    started = true;
    for (const ViewerLaunch& l : plan.fallback) {
      if (!(started = start_program(l))) break;
    }
  }
  return started ? 0 : -1;
}

// Converts the dumps of the command line with the progress window up; the
// run works on its own thread so the window stays alive.
int convert_command_line(HINSTANCE instance, const CommandLine& cmd, const Settings& s) {
  const Request request = csv_request(s, cmd);
  std::atomic<bool> stop{false};
  ProgressWindow window(instance, ProgressTask::kCsv, request.volumes, stop);
  if (!window.created()) {
    MessageBoxW(nullptr, L"ZUL-00001: InitInstance() 初期化エラー。処理を中断します。", L"Quillon",
                MB_OK | MB_ICONSTOP);
    return 1;
  }
  BoxSink sink;
  Results results;
  Status status = Status::failure(MessageCode::kStopped);
  const DWORD ui_thread = GetCurrentThreadId();
  std::thread worker([&] {
    RunCallbacks cb;
    cb.messages = &sink;
    cb.progress = [&](const ReadProgress& p) { window.report(p); };
    cb.stop = &stop;
    status = run_conversion(request, results, cb);
    PostThreadMessageW(ui_thread, kRunEnded, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kRunEnded) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  worker.join();
  if (stop) return 0;  // stopped by the user: the run removed its output
  ShowWindow(window.handle(), SW_HIDE);
  sink.show(nullptr);
  if (!status.ok()) return 1;
  if (request.output == OutputKind::kCsvBatch || s.view_program == ViewProgram::kNone) {
    MessageBoxW(nullptr, L"CSV変換処理が終了しました。", L"Quillon", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  const std::vector<std::string> files = {request.out_file};
  const int viewer = launch_viewer(s, files);
  if (s.delete_csv) {
    for (const std::string& f : files) DeleteFileW(widen(f).c_str());
  }
  return viewer == 0 ? 0 : 1;
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
  const auto env_path = environment(L"QLN_INIFILE_PATH");
  if (const auto path = standard_settings_path(env_path ? env_path->c_str() : nullptr, executable_folder())) {
    read_settings(settings, *path, false);
  }
  int status = 0;
  if (!args.empty()) {
    status = convert_command_line(instance, parse_command_line(args), settings);
  } else {
    // The main window comes with the dialogs; until then the program says how to use it.
    MessageBoxW(nullptr, L"Quillon DUMPFILE [TABLE=NAME]", L"Quillon", MB_OK | MB_ICONINFORMATION);
  }
  CloseHandle(mutex);
  return status;
}

}  // namespace
}  // namespace qln::gui

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return qln::gui::run_program(instance); }
