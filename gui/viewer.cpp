#include "gui/viewer.hpp"

namespace qln::gui {
namespace {

std::string with_files(std::string command, const std::vector<std::string>& files) {
  command += ' ';
  for (const std::string& f : files) command += "\"" + f + "\" ";
  return command;
}

std::vector<ViewerLaunch> text_editor(const Settings& s, const std::vector<std::string>& files,
                                      bool& only_first) {
  std::vector<ViewerLaunch> out;
  if (s.delete_csv) {
    only_first = files.size() > 1;
    out.push_back({with_files("notepad.exe", {files.front()}), true, false});
    return out;
  }
  for (const std::string& f : files) out.push_back({with_files("notepad.exe", {f}), false, false});
  return out;
}

}  // namespace

std::optional<std::string> spreadsheet_command(const ProgramRegistry& registry) {
  const auto clsid = registry.machine_value("Software\\Classes\\Excel.Application\\CLSID");
  if (!clsid || clsid->empty() || clsid->size() > 256) return std::nullopt;
  auto command = registry.machine_value("Software\\Classes\\CLSID\\" + *clsid + "\\LocalServer32");
  if (!command || command->empty()) return std::nullopt;
  return command;
}

ViewerPlan plan_viewer(const Settings& s, const std::vector<std::string>& files,
                       const char* preview_program, const ProgramRegistry& registry) {
  ViewerPlan plan;
  if (files.empty()) return plan;
  if (preview_program != nullptr) {
    plan.launches.push_back({with_files(preview_program, files), false, false});
    return plan;
  }
  switch (s.view_program) {
    case ViewProgram::kNone:
      return plan;
    case ViewProgram::kTextEditor:
      plan.launches = text_editor(s, files, plan.only_first_shown);
      return plan;
    case ViewProgram::kUser:
      if (!s.view_program_path.empty()) {
        plan.launches.push_back({with_files(s.view_program_path, files), s.delete_csv, false});
      }
      return plan;
    case ViewProgram::kSpreadsheet:
      break;
  }
  if (auto command = spreadsheet_command(registry)) {
    plan.launches.push_back({with_files(*command, files), s.delete_csv, true});
    plan.fallback = text_editor(s, files, plan.only_first_shown);
  } else {
    plan.launches = text_editor(s, files, plan.only_first_shown);
  }
  return plan;
}

}  // namespace qln::gui
