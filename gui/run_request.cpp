#include "gui/run_request.hpp"

#include <algorithm>

namespace qln::gui {

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine cmd;
  for (const std::string& a : args) {
    if (a.starts_with("TABLE=")) {
      cmd.table = a.substr(6);
    } else if (a.starts_with("COLUMN=")) {
      continue;
    } else if (a.size() >= 2 && a.front() == '"' && a.back() == '"') {
      cmd.dumps.push_back(a.substr(1, a.size() - 2));
    } else if (!a.empty()) {
      cmd.dumps.push_back(a);
    }
  }
  std::sort(cmd.dumps.begin(), cmd.dumps.end());
  return cmd;
}

std::string csv_path_for(const std::string& dump) {
  const std::size_t slash = dump.find_last_of("\\/");
  const std::size_t dot = dump.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return dump + ".csv";
  return dump.substr(0, dot) + ".csv";
}

Request csv_request(const Settings& s, const CommandLine& cmd) {
  Request r;
  r.volumes = cmd.dumps;
  r.job = Job::kConvert;
  r.header = s.header;
  r.quote = s.quote;
  r.trim = s.trim;
  r.delimiter = s.delimiter;
  r.date_format = s.date_format;
  r.out_charset = s.to_sjis ? kCharsetSjis : kCharsetUtf8;
  r.bom = !s.to_sjis;
  if (s.preview) {
    r.preview = true;
    r.max_record = 5;
  } else {
    r.max_record = s.unlimited || s.max_record <= 0 ? -1 : s.max_record;
  }
  if (s.grep_on && !s.where_condition) r.grep = s.grep;
  if (s.select_list_on) r.columns = s.select_list;
  if (!cmd.table.empty()) {
    r.table = TableSelector::named(cmd.table);
  } else if (s.where_condition && s.table_mode == TableMode::kSelect) {
    for (const TableCondition& c : s.conditions) r.conditions.push_back({c.table, c.where, c.selected});
  }
  if (s.batch_output && !cmd.dumps.empty()) {
    r.output = OutputKind::kCsvBatch;
    const std::string& first = cmd.dumps.front();
    const std::size_t slash = first.find_last_of("\\/");
    r.out_dir = slash == std::string::npos ? std::string() : first.substr(0, slash + 1);
  } else if (!cmd.dumps.empty()) {
    r.output = OutputKind::kCsv;
    r.out_file = csv_path_for(cmd.dumps.front());
  }
  return r;
}

}  // namespace qln::gui
