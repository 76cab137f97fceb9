#pragma once
#include <optional>
#include <string>
#include <vector>

#include "gui/settings.hpp"

namespace qln::gui {

// Where the spreadsheet program's command is looked up; the windowed program
// reads the registry, tests answer from a table.
class ProgramRegistry {
 public:
  virtual ~ProgramRegistry() = default;
  // The default value of a key under HKEY_LOCAL_MACHINE; nullopt when missing.
  virtual std::optional<std::string> machine_value(const std::string& key) const = 0;
};

// One program to start with the files.
struct ViewerLaunch {
  std::string command_line;
  bool wait = false;  // the CSV files are deleted once it ends
  bool spreadsheet = false;  // started as the spreadsheet: the text editor is the fallback
};

struct ViewerPlan {
  std::vector<ViewerLaunch> launches;  // tried in order; the first failure ends the series
  std::vector<ViewerLaunch> fallback;  // when the spreadsheet cannot be started
  bool only_first_shown = false;       // tell the user only the first table is shown
};

// The spreadsheet's command from the registry, or nullopt.
std::optional<std::string> spreadsheet_command(const ProgramRegistry& registry);

// Which programs show `files`: QLN_PREVIEW_PROGRAM (`preview_program`, may be
// null) first, then the settings' choice.
ViewerPlan plan_viewer(const Settings& s, const std::vector<std::string>& files,
                       const char* preview_program, const ProgramRegistry& registry);

}  // namespace qln::gui
