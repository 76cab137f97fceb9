#include "cli/date_format_check.hpp"

#include "eval/sql_functions.hpp"

namespace qln {

bool check_date_format(const GlobalParams& g, std::string_view format) {
  return is_valid_date_format(format, g.os_charset);
}

}  // namespace qln
