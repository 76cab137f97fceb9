#include "gui/run_request.hpp"

#include <algorithm>

#include "core/language.hpp"
#include "values/charset.hpp"

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

namespace {

// What every run takes from the settings.
Request base_request(const Settings& s, std::vector<std::string> dumps) {
  Request r;
  r.volumes = std::move(dumps);
  r.language = detect_language();
  if (!s.db_charset.empty()) r.db_charset = charset_id_from_name(s.db_charset);
  r.header = s.header;
  r.quote = s.quote;
  r.trim = s.trim;
  r.delimiter = s.delimiter;
  r.date_format = s.date_format;
  r.out_charset = s.to_sjis ? kCharsetSjis : kCharsetUtf8;
  r.bom = !s.to_sjis;
  return r;
}

}  // namespace

TableSelector table_selector(const std::string& name, const std::string& owner) {
  if (name.empty()) return TableSelector::first();
  if (name.front() == '+') return TableSelector::partition(name.substr(1));
  return TableSelector::named(name, owner);
}

bool tables_chosen_by_user(const Settings& s) {
  return !s.where_condition && !s.grep_on && s.table_mode == TableMode::kSelect && !s.batch_output;
}

bool lacks_selected_condition(const Settings& s) {
  return s.where_condition && !s.batch_output &&
         std::none_of(s.conditions.begin(), s.conditions.end(), [](const TableCondition& c) { return c.selected; });
}

Request csv_request(const Settings& s, const CommandLine& cmd) {
  Request r = base_request(s, cmd.dumps);
  r.job = Job::kConvert;
  if (s.preview) {
    r.preview = true;
    r.max_record = 5;
  } else {
    r.max_record = s.unlimited || s.max_record <= 0 ? -1 : s.max_record;
  }
  if (s.grep_on && !s.where_condition) r.grep = s.grep;
  if (s.select_list_on) r.columns = s.select_list;
  if (!cmd.table.empty()) {
    r.table = table_selector(cmd.table);
  } else if (s.where_condition) {
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

namespace qln::gui {

Request open_request(const Settings& s, const std::string& dump, const std::string& table,
                     const std::vector<std::string>& columns) {
  Request r = csv_request(s, CommandLine{{dump}, table});
  if (!columns.empty()) {
    r.columns.clear();
    for (const std::string& c : columns) r.columns += (r.columns.empty() ? "" : ",") + c;
  }
  return r;
}

Request ddl_request(const Settings& s, const std::string& dump, const std::string& out_file) {
  Request r = base_request(s, {dump});
  r.output = OutputKind::kDdl;
  r.ddl_kinds = s.ddl_kinds;
  r.out_file = out_file;
  return r;
}

Request insert_request(const Settings& s, const std::string& dump, const std::string& table,
                       const std::string& out_file, SqlDialect dialect) {
  Request r = csv_request(s, CommandLine{{dump}, table});
  r.output = OutputKind::kInsert;
  r.out_dir.clear();
  r.out_file = out_file;
  r.dialect = dialect;
  r.preview = false;
  if (s.preview) r.max_record = s.unlimited || s.preview_saved_max_record <= 0 ? -1 : s.preview_saved_max_record;
  return r;
}

Request lob_request(const Settings& s, const std::string& dump) {
  Request r = base_request(s, {dump});
  r.output = OutputKind::kLobFiles;
  r.out_file = csv_path_for(dump);
  r.lob = {s.lob_table, s.lob_column, s.lob_dir, s.lob_file};
  if (s.where_condition) {
    for (const TableCondition& c : s.conditions) r.conditions.push_back({c.table, c.where, c.selected});
  }
  return r;
}

Request table_list_request(const Settings& s, const std::string& dump) {
  Request r = base_request(s, {dump});
  r.job = Job::kTableColumns;
  return r;
}

Request header_request(const std::string& dump) {
  Request r;
  r.volumes = {dump};
  r.language = detect_language();
  r.job = Job::kReadHeader;
  return r;
}

}  // namespace qln::gui
