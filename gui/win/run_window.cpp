#include "gui/win/run_window.hpp"

#include <atomic>
#include <optional>
#include <thread>

#include "gui/main_controls.hpp"
#include "gui/viewer.hpp"
#include "gui/win/progress_window.hpp"
#include "gui/win/wide.hpp"

namespace qln::gui {
namespace {

constexpr UINT kRunEnded = WM_APP + 2;

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

void show_messages(HWND owner, const std::vector<std::string>& lines, const MessageBoxFunction& box) {
  if (lines.empty()) return;
  std::string text;
  for (const std::string& l : lines) text += (text.empty() ? "" : "\n") + l;
  box(owner, widen(text), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int system_message_box(HWND owner, const std::wstring& text, UINT type) {
  return MessageBoxW(owner, text.c_str(), L"Quillon", type);
}

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

ProgressTask progress_task(const Request& request) {
  if (request.job != Job::kConvert) return ProgressTask::kTableList;
  if (request.output == OutputKind::kDdl) return ProgressTask::kDdl;
  if (request.output == OutputKind::kLobFiles) return ProgressTask::kLobFiles;
  return ProgressTask::kCsv;
}

RunOutcome run_with_progress(HINSTANCE instance, const Request& request, ProgressTask task) {
  RunOutcome out;
  std::atomic<bool> stop{false};
  ProgressWindow window(instance, task, request.volumes, stop);
  if (!window.created()) {
    out.window_failed = true;
    out.status = Status::failure(MessageCode::kProcessing);
    out.messages.push_back(gui_message(1, "InitInstance() "));
    return out;
  }
  CollectingSink sink;
  const DWORD ui_thread = GetCurrentThreadId();
  std::thread worker([&] {
    RunCallbacks cb;
    cb.messages = &sink;
    cb.progress = [&](const ReadProgress& p) { window.report(p); };
    cb.stop = &stop;
    out.status = run_conversion(request, out.results, cb);
    PostThreadMessageW(ui_thread, kRunEnded, 0, 0);
  });
  MSG msg;
  bool quit = false;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kRunEnded) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (msg.message == WM_QUIT) quit = true;
  worker.join();
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
  ShowWindow(window.handle(), SW_HIDE);
  out.stopped = stop.load();
  if (!out.stopped) {
    for (const auto& e : sink.entries()) out.messages.push_back(e.line);
  }
  return out;
}

int launch_viewer(const Settings& s, const std::vector<std::string>& files, const MessageBoxFunction& box) {
  for (const std::string& f : files) {
    if (GetFileAttributesW(widen(f).c_str()) == INVALID_FILE_ATTRIBUTES) {
      box(nullptr, widen(gui_message(3201, f)), MB_OK | MB_ICONEXCLAMATION);
      return -1;
    }
  }
  const auto preview = environment(L"QLN_PREVIEW_PROGRAM");
  const ViewerPlan plan = plan_viewer(s, files, preview ? preview->c_str() : nullptr, RegistryOfMachine());
  if (plan.only_first_shown) {
    box(nullptr, L"CSVファイル削除が指定されているため、先頭テーブルのみを表示します。", MB_OK | MB_ICONINFORMATION);
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

int finish_csv_run(HWND owner, const Settings& s, const Request& request, const RunOutcome& run,
                   const MessageBoxFunction& box) {
  if (run.stopped) return 0;  // the run removed its output
  show_messages(owner, run.messages, box);
  if (!run.status.ok()) return 1;
  if (request.output == OutputKind::kCsvBatch || s.view_program == ViewProgram::kNone) {
    box(owner, L"CSV変換処理が終了しました。", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  const std::vector<std::string> files = {request.out_file};
  const int viewer = launch_viewer(s, files, box);
  if (s.delete_csv) {
    for (const std::string& f : files) DeleteFileW(widen(f).c_str());
  }
  return viewer == 0 ? 0 : 1;
}

}  // namespace qln::gui
