#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "gui/progress.hpp"

namespace qln::gui {

inline constexpr int kStatusLineId = 301;
inline constexpr int kFileLineId = 302;
inline constexpr int kProgressBarId = 101;
inline constexpr int kStopButtonId = 298;
inline constexpr wchar_t kProgressClass[] = L"QLN_PROGRESS";
// Posted by the run's thread: the newest progress is in the window's state.
inline constexpr UINT kProgressMessage = WM_APP + 1;

// The small window shown while a dump is read. The run reports from its own
// thread; the window reads the newest report when it is told one is there.
class ProgressWindow {
 public:
  ProgressWindow(HINSTANCE instance, ProgressTask task, std::vector<std::string> volumes,
                 std::atomic<bool>& stop);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  bool created() const { return window_ != nullptr; }
  HWND handle() const { return window_; }
  // Any thread: records the report and wakes the window.
  void report(const ReadProgress& progress);
  // Whether the user confirmed the stop.
  bool stopping() const { return stop_.load(); }

 private:
  static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
  void show_progress();
  void ask_stop();

  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  ProgressTask task_;
  std::vector<std::string> volumes_;
  std::atomic<bool>& stop_;
  std::atomic<std::int64_t> bytes_{0};
  std::atomic<std::int64_t> total_{0};
  std::atomic<int> volume_{0};
  std::atomic<bool> posted_{false};
  ProgressView view_;
};

}  // namespace qln::gui
