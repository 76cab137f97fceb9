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

// A table as the lists name it: NAME (of `owner` when given), or "+" and a partition.
TableSelector table_selector(const std::string& name, const std::string& owner = {});

// Whether Open asks the user for the table: no condition, keyword or batch
// chooses them, and the table mode is SELECT.
bool tables_chosen_by_user(const Settings& s);
// Whether conditions are on but none is selected, so nothing would be converted.
bool lacks_selected_condition(const Settings& s);

// The runs of the main window's commands on one dump.
Request open_request(const Settings& s, const std::string& dump, const std::string& table,
                     const std::vector<std::string>& columns);
Request ddl_request(const Settings& s, const std::string& dump, const std::string& out_file);
// An empty table: the first one.
Request insert_request(const Settings& s, const std::string& dump, const std::string& table,
                       const std::string& out_file, SqlDialect dialect);
Request lob_request(const Settings& s, const std::string& dump);
// Every table with its row count and columns; the header alone.
Request table_list_request(const Settings& s, const std::string& dump);
Request header_request(const std::string& dump);

}  // namespace qln::gui
