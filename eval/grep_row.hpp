#pragma once
#include <span>
#include <string_view>

#include "values/sql_value.hpp"

namespace qln {

// GREP: sets `selected` to 0 when `keyword` occurs, byte for byte and case
// sensitive, in the text of a VT_TEXT or VT_BYTES value of the row, else -1.
// Numbers, dates, timestamps and NULLs are not searched. The keyword must be
// in the character set of the values (the output character set). Returns 0.
int grep_row(std::span<const SqlValue> values, std::string_view keyword, int& selected);

}  // namespace qln
