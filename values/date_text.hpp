#pragma once
#include <string>
#include <string_view>

#include "values/sql_value.hpp"

namespace qln {

// TO_CHAR of a date, sysdate or timestamp value with a date format (any
// letter case; multibyte characters of `charset` are copied whole). 0 and
// the text in `out`, or -1 for an unknown element or an over-long result.
int format_date(const SqlValue& date, std::string_view format, int charset, std::string& out);

// Where a timestamp's fraction goes in the text of `format`: the offset
// right after its last SS element; npos when it has none, or when an FF
// element places the fraction itself.
std::size_t date_format_fraction_at(std::string_view format, int charset);

// True when `format` is a date format TO_CHAR accepts (tried on the fixed
// date 1990/03/25 00:00:00).
bool is_valid_date_format(std::string_view format, int charset);

}  // namespace qln
