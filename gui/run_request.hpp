#pragma once
#include <string>
#include <vector>

#include "engine/conversion.hpp"
#include "gui/settings.hpp"

namespace qln::gui {

// The windowed program's command line after the program name: TABLE=NAME
// chooses the table, COLUMN=... is ignored, anything else is a dump file
// (enclosing double quotes removed). The files come back in byte order.
struct CommandLine {
  std::vector<std::string> dumps;
  std::string table;
};
CommandLine parse_command_line(const std::vector<std::string>& args);

// The CSV file a single-file conversion writes: beside the first dump, its
// name up to the last "." followed by ".csv".
std::string csv_path_for(const std::string& dump);

// The engine request for converting `cmd.dumps` to CSV with `s`.
Request csv_request(const Settings& s, const CommandLine& cmd);

}  // namespace qln::gui
