#pragma once
#include <string>

#include "gui/settings.hpp"

namespace qln::gui {

// Ids of the main window's menu commands and controls.
enum CommandId : int {
  kCmdOpen = 400,
  kCmdSave = 402,
  kCmdExit = 403,
  kCmdVersion = 404,
  kCmdDdl = 405,
  kCmdInsert = 406,
  kCmdBinary = 407,
  kCmdProperties = 408,
  kCmdHelp = 409,
  kCmdPickViewer = 202,
  kCmdWhere = 205,
};

enum ControlId : int {
  kHeaderBox = 351,
  kTrimBox = 352,
  kSjisBox = 353,
  kUnlimitedBox = 354,
  kDeleteCsvBox = 355,
  kQuoteBox = 356,
  kSelectListBox = 357,
  kMaxRecordEdit = 371,
  kDateFormatEdit = 372,
  kProgramPathEdit = 373,
  kGrepEdit = 374,
  kSelectListEdit = 375,
  kViewerExcel = 311,
  kViewerNotepad = 312,
  kViewerNone = 313,
  kViewerBatch = 314,
  kViewerUser = 315,
  kTableFirst = 321,
  kTableSelect = 322,
  kTablePreview = 323,
  kDelimiterComma = 331,
  kDelimiterTab = 332,
  kConditionOff = 341,
  kConditionWhere = 342,
  kConditionGrep = 343,
};

// What the main window's controls hold: check states, edit texts and the
// chosen radio button of each group (its id).
struct MainControls {
  bool header = false;
  bool trim = false;
  bool to_sjis = false;
  bool quote = false;
  bool unlimited = false;
  bool delete_csv = false;
  bool select_list_on = false;
  std::string max_record;
  std::string date_format;
  std::string program_path;
  std::string grep;
  std::string select_list;
  int viewer = kViewerExcel;
  int condition = kConditionOff;
  int delimiter = kDelimiterComma;
  int table = kTableSelect;
  bool operator==(const MainControls&) const = default;
};

// Which dependent controls can be used with the radios and boxes chosen.
struct ControlStates {
  bool max_record = true;
  bool table_radios = true;
  bool grep = false;
  bool select_list = true;
};
ControlStates control_states(const MainControls& c);

// The controls into the settings. False when the DATE format was invalid:
// the settings then hold the default format, and the window says so and
// shows it.
bool controls_to_options(const MainControls& c, Settings& s);

// The settings as the controls show them. QLN_PREVIEW_PROGRAM (`preview_program`,
// may be null) names the viewer; a delimiter other than a tab becomes a comma.
MainControls options_to_controls(Settings& s, const char* preview_program);

}  // namespace qln::gui

namespace qln::gui {

// A numbered message of the windowed program itself, as its box shows it
// ("ZUL-01921: ..."), in the user's language; `text` fills its "%s".
std::string gui_message(int code, std::string_view text = {});

}  // namespace qln::gui
