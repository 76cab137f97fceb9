#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace qln::gui {

// The face of the windows' one font, the dialogs' too: on every Japanese
// Windows; elsewhere (wine) it is mapped to an installed Japanese face.
inline constexpr wchar_t kJapaneseFace[] = L"ＭＳ Ｐゴシック";

// The program keeps UTF-8 and talks UTF-16 to Windows.
inline std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

inline std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace qln::gui
