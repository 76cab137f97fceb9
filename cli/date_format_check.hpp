#pragma once
#include <string_view>

#include "core/global_params.hpp"

namespace qln {

// True when `format` formats the date 1990-03-25 00:00:00 without error
// through the date formatting of TO_CHAR.
bool check_date_format(const GlobalParams& g, std::string_view format);

}  // namespace qln
