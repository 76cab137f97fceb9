#pragma once
#ifdef _WIN32
#include <string>
#include <string_view>

namespace qln {

// The code page of the user's character set: 932 when the active code page
// is 932, else UTF-8 (65001), so that any name survives.
unsigned user_code_page();

// Between the user's character set and the wide names of the Windows API.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

}  // namespace qln
#endif
