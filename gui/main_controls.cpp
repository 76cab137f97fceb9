#include "gui/main_controls.hpp"

#include <charconv>
#include <cstdio>

#include "core/blanks.hpp"
#include "core/messages.hpp"
#include "values/date_text.hpp"

namespace qln::gui {

ControlStates control_states(const MainControls& c) {
  ControlStates st;
  st.max_record = !c.unlimited;
  // A condition or keyword chooses the tables itself, and a batch takes them all.
  st.table_radios = c.condition == kConditionOff && c.viewer != kViewerBatch;
  st.grep = c.condition == kConditionGrep;
  st.select_list = c.condition != kConditionWhere;
  return st;
}

bool controls_to_options(const MainControls& c, Settings& s) {
  s.header = c.header;
  s.trim = c.trim;
  s.to_sjis = c.to_sjis;
  s.quote = c.quote;

  const std::string_view rows = trim_blanks_view(c.max_record);
  std::int32_t n = 0;
  const auto [end, ec] = std::from_chars(rows.data(), rows.data() + rows.size(), n);
  if (ec == std::errc() && end == rows.data() + rows.size() && n > 0) s.max_record = n;
  s.unlimited = c.unlimited;

  const std::string format(trim_blanks_view(c.date_format));
  const bool date_ok = !format.empty() && is_valid_date_format(format, kCharsetUtf8);
  s.date_format = date_ok ? format : std::string(kDefaultDateFormat);

  if (c.program_path.size() <= kMaxPath) s.view_program_path = c.program_path;
  switch (c.viewer) {
    case kViewerExcel: s.view_program = ViewProgram::kSpreadsheet; break;
    case kViewerNotepad: s.view_program = ViewProgram::kTextEditor; break;
    case kViewerNone: s.view_program = ViewProgram::kNone; break;
    case kViewerUser: s.view_program = ViewProgram::kUser; break;
    default: break;  // the batch keeps the viewer chosen before
  }
  s.batch_output = c.viewer == kViewerBatch;

  s.preview = c.table == kTablePreview;
  s.table_mode = c.table == kTableFirst     ? TableMode::kFirst
                 : c.table == kTablePreview ? TableMode::kPreview
                                            : TableMode::kSelect;
  s.delimiter = c.delimiter == kDelimiterComma ? ',' : '\t';

  s.grep_on = false;
  s.where_condition = c.condition == kConditionWhere;
  if (c.condition == kConditionGrep && c.grep.size() <= kMaxWhereText + 1) {
    s.grep = c.grep;
    s.grep_on = !s.grep.empty();
  }
  if (c.condition != kConditionOff) s.preview = false;

  s.delete_csv = c.delete_csv;
  if (s.preview) {
    s.preview_saved_max_record = s.max_record;
    s.max_record = 5;
  }
  if (c.select_list.size() <= kMaxColumnText) {
    // A settings line holds the list: line breaks typed in the edit become blanks.
    s.select_list = c.select_list;
    for (char& ch : s.select_list) {
      if (ch == '\r' || ch == '\n') ch = ' ';
    }
  }
  s.select_list_on = c.select_list_on;
  return date_ok;
}

MainControls options_to_controls(Settings& s, const char* preview_program) {
  MainControls c;
  c.header = s.header;
  c.trim = s.trim;
  c.to_sjis = s.to_sjis;
  c.quote = s.quote;
  const std::int32_t rows = s.preview ? s.preview_saved_max_record : s.max_record;
  if (rows > 0) c.max_record = std::to_string(rows);
  c.unlimited = s.unlimited;
  c.date_format = s.date_format;
  c.delete_csv = s.delete_csv;

  if (preview_program != nullptr && *preview_program != '\0') {
    s.view_program_path = preview_program;
    s.view_program = ViewProgram::kUser;
  }
  c.program_path = s.view_program_path;
  if (s.batch_output) {
    c.viewer = kViewerBatch;
  } else {
    switch (s.view_program) {
      case ViewProgram::kSpreadsheet: c.viewer = kViewerExcel; break;
      case ViewProgram::kTextEditor: c.viewer = kViewerNotepad; break;
      case ViewProgram::kNone: c.viewer = kViewerNone; break;
      case ViewProgram::kUser: c.viewer = kViewerUser; break;
    }
  }
  c.table = s.table_mode == TableMode::kFirst     ? kTableFirst
            : s.table_mode == TableMode::kPreview ? kTablePreview
                                                  : kTableSelect;
  if (s.delimiter == '\t') {
    c.delimiter = kDelimiterTab;
  } else {
    c.delimiter = kDelimiterComma;
    s.delimiter = ',';
  }
  c.condition = s.where_condition ? kConditionWhere : s.grep_on ? kConditionGrep : kConditionOff;
  c.grep = s.grep;
  c.select_list = s.select_list;
  c.select_list_on = s.select_list_on;
  return c;
}

std::string gui_message(int code, std::string_view text) {
  std::string body;
  if (lookup_message(code, body, detect_language()) != 0) body = "%s";
  if (const std::size_t at = body.find("%s"); at != std::string::npos) body.replace(at, 2, text);
  char number[16];
  std::snprintf(number, sizeof(number), "ZUL-%05d: ", code);
  return number + body;
}

}  // namespace qln::gui
