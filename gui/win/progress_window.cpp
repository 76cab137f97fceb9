#include "gui/win/progress_window.hpp"

#include <commctrl.h>

#include "gui/win/wide.hpp"

namespace qln::gui {
namespace {

constexpr int kClientWidth = 700;
constexpr int kClientHeight = 150;

HWND make_control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                  int h, int id, HFONT font) {
  HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (c != nullptr) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return c;
}

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE instance, ProgressTask task, std::vector<std::string> volumes,
                               std::atomic<bool>& stop)
    : task_(task), volumes_(std::move(volumes)), stop_(stop) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &ProgressWindow::procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(100));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kProgressClass;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, kProgressClass, &existing) && RegisterClassExW(&wc) == 0) return;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&r, style, FALSE);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  window_ = CreateWindowExW(0, kProgressClass, L"Quillon", style, x, y, w, h, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return;
  font_ = CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kJapaneseFace);
  make_control(window_, L"STATIC", L"", SS_LEFT, 250, 10, 200, 16, kStatusLineId, font_);
  make_control(window_, L"STATIC", L"", SS_LEFT, 20, 35, 660, 15, kFileLineId, font_);
  HWND bar = make_control(window_, PROGRESS_CLASSW, L"", 0, 20, 65, 660, 15, kProgressBarId, font_);
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(bar, PBM_SETSTEP, 1, 0);
  make_control(window_, L"BUTTON", L"処理中止", BS_PUSHBUTTON, 580, 110, 98, 25, kStopButtonId, font_);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

ProgressWindow::~ProgressWindow() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (font_ != nullptr) DeleteObject(font_);
}

void ProgressWindow::report(const ReadProgress& progress) {
  bytes_ = progress.bytes_read;
  total_ = progress.total_bytes;
  volume_ = progress.volume;
  // One message in the queue at a time: the window always shows the newest.
  if (!posted_.exchange(true)) PostMessageW(window_, kProgressMessage, 0, 0);
}

void ProgressWindow::show_progress() {
  posted_ = false;
  update_progress(view_, {bytes_.load(), total_.load(), volume_.load()});
  if (view_.file_line_changed) {
    SetDlgItemTextW(window_, kStatusLineId, widen(progress_status_text(task_)).c_str());
    const auto v = static_cast<std::size_t>(view_.volume);
    const std::string name = v < volumes_.size() ? shortened_file_name(volumes_[v]) : std::string();
    SetDlgItemTextW(window_, kFileLineId, widen(name).c_str());
  }
  if (view_.bar_changed) SendDlgItemMessageW(window_, kProgressBarId, PBM_SETPOS, view_.percent, 0);
}

void ProgressWindow::ask_stop() {
  if (stop_) return;
  if (MessageBoxW(window_, L"CSV変換を中止しますか？", L"Quillon", MB_YESNO | MB_ICONQUESTION) == IDYES) {
    stop_ = true;
  }
}

LRESULT CALLBACK ProgressWindow::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    switch (msg) {
      case kProgressMessage:
        self->show_progress();
        return 0;
      case WM_COMMAND:
        if (LOWORD(wp) == kStopButtonId) self->ask_stop();
        return 0;
      case WM_CLOSE:
        self->ask_stop();  // the run ends, cleans up, and the program closes the window
        return 0;
      case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace qln::gui
