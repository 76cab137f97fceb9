#pragma once
// Helpers for the window tests: they run under wine on a virtual display and
// drive the program's windows by messages.
#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "gui/win/wide.hpp"

namespace qln::test_gui {

using gui::narrow;
using gui::widen;

// A folder of the build for one test's files, emptied first.
inline std::filesystem::path work_folder(const std::string& name) {
  const std::filesystem::path p = std::filesystem::u8path(QLN_BINARY_DIR) / "gui-win-work" / name;
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
  std::filesystem::create_directories(p);
  return p;
}

inline std::filesystem::path real_dump(const char* name) {
  return std::filesystem::u8path(QLN_DUMPS_DIR) / name;
}

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Windows spelling of a path: backslashes.
inline std::string windows_path(const std::filesystem::path& p) {
  const std::u8string u = p.u8string();
  std::string s(u.begin(), u.end());
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
}

// Handles what is waiting for this thread's windows (and drops a quit
// message, which would end the next message loop at once).
inline void pump_messages(int milliseconds = 0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (milliseconds > 0) Sleep(10);
  } while (std::chrono::steady_clock::now() < end);
}

// A menu command or a button click, as the window receives it; returns
// when the window has handled it (a whole run included).
inline void send_command(HWND window, int id) {
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

inline std::string control_text(HWND window, int id) {
  HWND c = GetDlgItem(window, id);
  std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
  w.resize(static_cast<std::size_t>(GetWindowTextW(c, w.data(), static_cast<int>(w.size()))));
  return narrow(w);
}

inline void set_control_text(HWND window, int id, const std::string& text) {
  SetDlgItemTextW(window, id, widen(text).c_str());
}

inline bool is_checked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

// A box or radio clicked by the user: checked, and the window told.
inline void click(HWND window, int id) {
  HWND c = GetDlgItem(window, id);
  SendMessageW(c, BM_CLICK, 0, 0);
}

// A control's rectangle in its parent's client coordinates.
inline RECT control_rect(HWND window, int id) {
  RECT r{};
  GetWindowRect(GetDlgItem(window, id), &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Waits until a top-level window of this process with `title` is there.
inline HWND wait_for_window(const wchar_t* cls, const wchar_t* title, int milliseconds = 5000) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    if (HWND w = FindWindowW(cls, title)) return w;
    Sleep(20);
  }
  return nullptr;
}

// Answers a modal dialog from another thread while the test's thread sits
// in the dialog's own message loop: waits for the dialog titled `title`, then
// calls `act` with it (use SendMessage/PostMessage there, e.g. post IDOK).
class DialogDriver {
 public:
  DialogDriver(std::wstring title, std::function<void(HWND)> act)
      : thread_([this, title = std::move(title), act = std::move(act)] {
          if (HWND d = wait_for_window(L"#32770", title.c_str(), 10000)) {
            found_ = true;
            act(d);
          }
        }) {}
  ~DialogDriver() { thread_.join(); }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

// Starts a program and waits for its end; its exit code, or -1.
inline int run_process(const std::string& command_line) {
  std::wstring cmd = widen(command_line);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

// quillon-cli with `args` (keyword=value, each quoted); its exit code.
inline int run_cli(const std::vector<std::string>& args) {
  std::string cmd = "\"" + windows_path(std::filesystem::u8path(QLN_CLI_PATH)) + "\"";
  for (const std::string& a : args) cmd += " \"" + a + "\"";
  return run_process(cmd);
}

namespace png {

inline std::uint32_t crc(const std::uint8_t* p, std::size_t n, std::uint32_t c = 0xFFFFFFFFu) {
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c;
}

inline void put32(std::string& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += static_cast<char>((v >> s) & 0xFF);
}

inline void chunk(std::string& out, const char* type, const std::string& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  put32(out, crc(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()) ^ 0xFFFFFFFFu);
}

// RGB rows, top to bottom, in a PNG with uncompressed deflate blocks.
inline std::string encode(int width, int height, const std::vector<std::uint8_t>& rgb) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * width * 3,
               static_cast<std::size_t>(width) * 3);
  }
  std::string z = "\x78\x01";
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF), z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF), z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(raw, at, n);
    if (raw.empty()) break;
  }
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  put32(z, (b << 16) | a);
  std::string ihdr;
  put32(ihdr, static_cast<std::uint32_t>(width));
  put32(ihdr, static_cast<std::uint32_t>(height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  std::string out = "\x89PNG\r\n\x1a\n";
  chunk(out, "IHDR", ihdr);
  chunk(out, "IDAT", z);
  chunk(out, "IEND", {});
  return out;
}

}  // namespace png

// A rectangle of the screen into a PNG file; false when it could not be
// captured. Returns the pixels too, for tests that look at them.
inline bool save_screen_png(const RECT& r, const std::filesystem::path& file,
                            std::vector<std::uint8_t>* pixels = nullptr) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  const bool ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
  GdiFlush();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  const auto* bgra = static_cast<const std::uint8_t*>(bits);
  for (std::size_t i = 0; ok && i < static_cast<std::size_t>(w) * h; ++i) {
    rgb[i * 3] = bgra[i * 4 + 2], rgb[i * 3 + 1] = bgra[i * 4 + 1], rgb[i * 3 + 2] = bgra[i * 4];
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (!ok) return false;
  std::ofstream(file, std::ios::binary) << png::encode(w, h, rgb);
  if (pixels != nullptr) *pixels = std::move(rgb);
  return true;
}

// The window as it is on the screen, frame and menu included.
inline bool save_window_png(HWND window, const std::filesystem::path& file,
                            std::vector<std::uint8_t>* pixels = nullptr) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pump_messages(200);
  RECT r{};
  GetWindowRect(window, &r);
  return save_screen_png(r, file, pixels);
}

// The client area only: without a window manager nobody draws the frame.
inline bool save_client_png(HWND window, const std::filesystem::path& file) {
  RECT r{};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return save_screen_png(r, file);
}

}  // namespace qln::test_gui
