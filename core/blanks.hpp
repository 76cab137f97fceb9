#pragma once
#include <string>
#include <string_view>

namespace qln {

// Removes leading and trailing blanks, TABs and LFs.
void trim_blanks(std::string& text);
std::string_view trim_blanks_view(std::string_view text) noexcept;

// "NAME" -> NAME when the text begins and ends with a double quote; texts of
// 4,097 bytes or more are left alone.
void strip_name_quotes(std::string& text);

}  // namespace qln
