#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/conversion.hpp"
#include "gui/progress.hpp"
#include "gui/settings.hpp"

namespace qln::gui {

// How the program shows a message box; the window tests answer in its place.
using MessageBoxFunction = std::function<int(HWND owner, const std::wstring& text, UINT type)>;
int system_message_box(HWND owner, const std::wstring& text, UINT type);

struct RunOutcome {
  Status status;
  Results results;
  std::vector<std::string> messages;  // the run's numbered messages, in order
  bool stopped = false;               // the user stopped it: its output is gone
  bool window_failed = false;         // the progress window could not be made
};

// Runs `request` on a worker thread while this thread keeps the progress
// window alive, and returns once the run has ended.
RunOutcome run_with_progress(HINSTANCE instance, const Request& request, ProgressTask task);

// The task the progress window names for a request.
ProgressTask progress_task(const Request& request);

// Shows `files` in the viewer the settings choose: 0, or -1 when a file is
// missing or no program could be started.
int launch_viewer(const Settings& s, const std::vector<std::string>& files, const MessageBoxFunction& box);

// What follows a finished CSV run: its messages, then the "finished" box for a
// batch or without a viewer, else the viewer on the file (deleted afterwards
// when the settings ask). 0, or 1 when the run or the viewer failed.
int finish_csv_run(HWND owner, const Settings& s, const Request& request, const RunOutcome& run,
                   const MessageBoxFunction& box);

// The folder of the running program (UTF-8), empty when unknown.
std::string executable_folder();

}  // namespace qln::gui
